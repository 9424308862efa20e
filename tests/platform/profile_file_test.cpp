#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include "platform/file_open.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

TEST(ProfileFile, ReadsLikeTheProfileCalls) {
  const ProfileFile profile(
      "top=outside any section\n"
      "[Table]\n"
      "  Tool_Table =  atc.ttl  \n"
      "TOOL_TABLE=second.ttl\n"
      "EMPTY=\n"
      "QUOTED=\"  spaced  \"\n"
      "SINGLE='x'\n"
      "HALF=\"x\n"
      "no equals sign\n"
      "[ table ]\n"
      "LATE=from the second section\n"
      "[Save]\n"
      "X=-12\n"
      "Y=12abc\n"
      "Z=\n"
      "HUGE=99999999999\n");
  struct Case {
    std::string_view section, key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"TABLE", "tool_table", "atc.ttl"},  // names without case, first match, blanks trimmed
      {"Table", "EMPTY", ""},              // an empty value is a value
      {"Table", "QUOTED", "  spaced  "},   // one pair of quotes removed
      {"Table", "SINGLE", "x"},
      {"Table", "HALF", "\"x"},
      {"Table", "LATE", std::nullopt},  // only the first section of a name counts
      {"Table", "top", std::nullopt},
      {"Table", "no equals sign", std::nullopt},
      {"Missing", "X", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(profile.Find(c.section, c.key), c.value) << c.key;
  EXPECT_EQ(profile.GetString("Table", "NONE", "default"), "default");
  EXPECT_EQ(profile.GetInt("Save", "X", 5), -12);
  EXPECT_EQ(profile.GetInt("Save", "Y", 5), 12);
  EXPECT_EQ(profile.GetInt("Save", "Z", 5), 5);  // empty: the default
  EXPECT_EQ(profile.GetInt("Save", "W", 5), 5);
  EXPECT_EQ(profile.GetInt("Save", "HUGE", 5), 2147483647);
}

TEST(ProfileFile, ReadsCrLfFileWithByteOrderMark) {
  const ProfileFile profile("\xEF\xBB\xBF[Define]\r\nUNDO=3\r\nSTL MATRIX=m.txt");
  EXPECT_EQ(profile.GetString("Define", "UNDO", ""), "3");
  EXPECT_EQ(profile.GetString("Define", "STL MATRIX", ""), "m.txt");
}

// A user's file: comments, an own section, CR LF line ends and cp932 bytes
// ("設定" is 0x90 0xDD 0x92 0xE8).
constexpr std::string_view kUserFile =
    "; \x90\xDD\x92\xE8\r\n"
    "[Save]\r\n"
    "  Display = 1   \r\n"
    "X=10\r\n"
    "\r\n"
    "[Mine]\r\n"
    "name=\x90\xDD\x92\xE8\r\n";

TEST(ProfileFile, WriteReplacesValueWhereTheKeyStands) {
  ProfileFile profile{std::string(kUserFile)};
  ASSERT_TRUE(profile.SetString("SAVE", "DISPLAY", "0"));
  ASSERT_TRUE(profile.SetString("Save", "X", "10"));  // same value: untouched
  EXPECT_EQ(profile.Content(),
            "; \x90\xDD\x92\xE8\r\n"
            "[Save]\r\n"
            "  Display = 0\r\n"
            "X=10\r\n"
            "\r\n"
            "[Mine]\r\n"
            "name=\x90\xDD\x92\xE8\r\n");
}

TEST(ProfileFile, WriteAddsKeyAtEndOfSectionAndMissingSection) {
  ProfileFile profile{std::string(kUserFile)};
  ASSERT_TRUE(profile.SetString("Save", "Y", "20"));
  ASSERT_TRUE(profile.SetString("Define", "WORK ALPHA", "0.5"));
  EXPECT_EQ(profile.Content(),
            "; \x90\xDD\x92\xE8\r\n"
            "[Save]\r\n"
            "  Display = 1   \r\n"
            "X=10\r\n"
            "Y=20\r\n"
            "\r\n"
            "[Mine]\r\n"
            "name=\x90\xDD\x92\xE8\r\n"
            "\r\n"
            "[Define]\r\n"
            "WORK ALPHA=0.5\r\n");
  EXPECT_EQ(profile.GetString("define", "work alpha", ""), "0.5");
}

TEST(ProfileFile, WriteIntoSectionWithoutKeysAndFileWithoutLastNewline) {
  ProfileFile empty;
  ASSERT_TRUE(empty.SetString("Save", "X", "1"));
  EXPECT_EQ(empty.Content(), "[Save]\nX=1\n");

  ProfileFile headerOnly("[Save]\n[Define]\nUNDO=1");
  ASSERT_TRUE(headerOnly.SetString("Save", "X", "1"));
  ASSERT_TRUE(headerOnly.SetString("Define", "MAX MAGAZINE", "300"));
  EXPECT_EQ(headerOnly.Content(), "[Save]\nX=1\n[Define]\nUNDO=1\nMAX MAGAZINE=300");

  // A last line ending in a lone CR: the new key still gets a line of its own.
  ProfileFile loneCr("[Save]\r\nX=1\r");
  ASSERT_TRUE(loneCr.SetString("Save", "Y", "2"));
  EXPECT_EQ(loneCr.GetString("Save", "X", ""), "1");
  EXPECT_EQ(loneCr.GetString("Save", "Y", ""), "2");
}

TEST(ProfileFile, RefusesNamesAndValuesThatWouldBreakLines) {
  ProfileFile profile("[Save]\nX=1\n");
  EXPECT_FALSE(profile.SetString("Save", "X", "1\n[Evil]"));
  EXPECT_FALSE(profile.SetString("Sa]ve", "X", "1"));
  EXPECT_FALSE(profile.SetString("Save", "A=B", "1"));
  EXPECT_FALSE(profile.SetString("Save", "", "1"));
  EXPECT_FALSE(profile.SetString("Save", " X", "1"));
  EXPECT_EQ(profile.Content(), "[Save]\nX=1\n");
}

TEST(ProfileFile, WriteGoesThroughTemporaryFile) {
  ScratchFolder scratch;
  const std::string path = scratch.Write("vestan.ini", kUserFile);
  EXPECT_EQ(WriteProfileString(path, "Mine", "other", "2"), kFileReplaced);
  ProfileFile profile;
  EXPECT_EQ(LoadProfileFile(path, profile), kProfileLoaded);
  EXPECT_EQ(profile.GetString("Mine", "other", ""), "2");
  EXPECT_EQ(profile.GetString("Mine", "name", ""), "\x90\xDD\x92\xE8");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1);

  // A new file is created; a folder in the way is neither read nor replaced.
  EXPECT_EQ(WriteProfileString(scratch / "new.ini", "Save", "X", "1"), kFileReplaced);
  EXPECT_EQ(ScratchFolder::Read(scratch / "new.ini"), "[Save]\nX=1\n");
  scratch.Write("dir.ini/keep", "k");
  std::string error;
  EXPECT_EQ(WriteProfileString(scratch / "dir.ini", "Save", "X", "1", &error), kProfileUnreadable);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(LoadProfileFile(scratch / "none.ini", profile), kProfileMissing);
  EXPECT_TRUE(profile.Content().empty());
}

}  // namespace
}  // namespace vestan
