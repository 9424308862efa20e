#include "platform/shortcut_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8 & 0xFF));
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// A shortcut file as the Windows shell writes one: the 76-byte header, an
// optional item id list, then the link info with the local base path (in
// the code page, and in UTF-16 when unicode is given) and the common path
// suffix.
struct ShortcutParts {
  std::string Base;            // cp932 bytes
  std::string Suffix;          // cp932 bytes
  std::u16string Wide;         // the base path in UTF-16; empty: none
  bool IdList = true;          // with an item id list (and its link flag)
  uint32_t LinkInfoFlags = 1;  // volume id and local base path
  uint32_t LinkFlags = 0x2;    // link info
};

ShortcutParts Parts(std::string base, std::string suffix = "") {
  ShortcutParts parts;
  parts.Base = std::move(base);
  parts.Suffix = std::move(suffix);
  return parts;
}

std::string MakeShortcut(const ShortcutParts& parts) {
  std::string out;
  Put32(out, 0x4C);
  out.append("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
  Put32(out, parts.LinkFlags | (parts.IdList ? 0x1 : 0x0));
  out.append(76 - out.size(), '\0');  // attributes, times, size, icon, show, hot key
  if (parts.IdList) {
    Put16(out, 6);
    out.append("\x04\x00\x1F\x50\x00\x00", 6);
  }
  const bool wide = !parts.Wide.empty();
  const uint32_t headerSize = wide ? 0x24 : 0x1C;
  const std::string volume("\x10\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00", 16);
  const uint32_t volumeOffset = headerSize;
  const uint32_t baseOffset = volumeOffset + static_cast<uint32_t>(volume.size());
  const uint32_t suffixOffset = baseOffset + static_cast<uint32_t>(parts.Base.size()) + 1;
  const uint32_t wideOffset = suffixOffset + static_cast<uint32_t>(parts.Suffix.size()) + 1;
  std::string body = volume + parts.Base + '\0' + parts.Suffix + '\0';
  if (wide) {
    for (char16_t unit : parts.Wide) Put16(body, unit);
    Put16(body, 0);
  }
  std::string info;
  Put32(info, headerSize + static_cast<uint32_t>(body.size()));
  Put32(info, headerSize);
  Put32(info, parts.LinkInfoFlags);
  Put32(info, volumeOffset);
  Put32(info, baseOffset);
  Put32(info, 0);  // no network link
  Put32(info, suffixOffset);
  if (wide) {
    Put32(info, wideOffset);
    Put32(info, 0);
  }
  return out + info + body;
}

TEST(Shortcut, TheTargetsLocalPathWithSlashes) {
  struct Case {
    ShortcutParts Parts;
    std::string Target;
  };
  ShortcutParts noIdList = Parts("C:\\work\\A.NC");
  noIdList.IdList = false;
  // The UTF-16 path wins over the code page's.
  ShortcutParts wide = Parts("C:\\x\\?.nc");
  wide.Wide = u"C:\\x\\\u00E9\U0001F600.nc";
  const Case cases[] = {
      {Parts("C:\\work\\A.NC"), "C:/work/A.NC"},
      {noIdList, "C:/work/A.NC"},
      // A cp932 folder name, its second byte a backslash: 表 is 0x95 0x5C.
      {Parts("D:\\\x95\x5C\\a.nc"), "D:/表/a.nc"},
      {wide, "C:/x/é😀.nc"},
      {Parts("C:\\work\\", "A.NC"), "C:/work/A.NC"},
      {Parts("C:\\work", "A.NC"), "C:/work/A.NC"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadShortcutTarget(MakeShortcut(c.Parts)), c.Target) << c.Target;
}

TEST(Shortcut, WhatIsNoShortcutWithALocalPathGivesNothing) {
  const std::string good = MakeShortcut(Parts("C:\\work\\A.NC"));
  std::string wrongClass = good;
  wrongClass[4] = '\x02';
  std::string noEnd = good;
  noEnd.resize(noEnd.size() - 8);  // link info runs past the file
  ShortcutParts network = Parts("C:\\work\\A.NC");
  network.LinkInfoFlags = 2;
  ShortcutParts noInfo = Parts("C:\\work\\A.NC");
  noInfo.LinkFlags = 0;
  ShortcutParts forced = Parts("C:\\work\\A.NC");
  forced.LinkFlags = 0x102;
  const ShortcutParts empty = Parts("");
  const std::string cases[] = {
      "",
      good.substr(0, 75),
      wrongClass,
      noEnd,
      MakeShortcut(network),
      MakeShortcut(noInfo),
      MakeShortcut(forced),
      MakeShortcut(empty),
      "plain text that is no shortcut at all, long enough for a header..."};
  for (const std::string& bytes : cases) EXPECT_FALSE(ReadShortcutTarget(bytes).has_value());
}

TEST(Shortcut, ResolvingReplacesThePathOrLeavesItAsItWas) {
  ScratchFolder scratch;
  std::string path = scratch.Write("A.NC.lnk", MakeShortcut(Parts("C:\\work\\A.NC")));
  EXPECT_TRUE(ResolveShortcut(path));
  EXPECT_EQ(path, "C:/work/A.NC");

  std::string broken = scratch.Write("broken.lnk", "no shortcut");
  const std::string brokenBefore = broken;
  EXPECT_FALSE(ResolveShortcut(broken));
  EXPECT_EQ(broken, brokenBefore);

  std::string missing = scratch / "missing.lnk";
  const std::string missingBefore = missing;
  EXPECT_FALSE(ResolveShortcut(missing));
  EXPECT_EQ(missing, missingBefore);
}

}  // namespace
}  // namespace vestan
