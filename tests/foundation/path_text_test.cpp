#include "foundation/path_text.h"

#include <gtest/gtest.h>

namespace vestan {
namespace {

// "表" in cp932 is 0x95 0x5C: its second byte is a backslash.
constexpr std::string_view kCp932Hyo = "\x95\x5C";

TEST(PathText, JoinPath) {
  struct Case {
    std::string_view folder, name, joined;
  };
  const Case cases[] = {
      {"", "atc.ttl", "atc.ttl"},
      {"/data", "atc.ttl", "/data/atc.ttl"},
      {"/data/", "atc.ttl", "/data/atc.ttl"},
      {"C:\\tools\\", "atc.ttl", "C:\\tools\\atc.ttl"},
      {"C:\\tools", "atc.ttl", "C:\\tools/atc.ttl"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
}

TEST(PathText, Cp932SecondByteIsNoSeparator) {
  const std::string folder = "D:\\" + std::string(kCp932Hyo);  // D:\表
  EXPECT_FALSE(EndsWithPathSeparator(folder));
  EXPECT_EQ(JoinPath(folder, "a.nc"), folder + "/a.nc");
  EXPECT_EQ(ToNativePath(folder + "\\a.nc"), "D:/" + std::string(kCp932Hyo) + "/a.nc");
  EXPECT_FALSE(HasFolderPart(std::string(kCp932Hyo) + ".ttl"));
  // UTF-8 names have no such bytes: every backslash separates.
  EXPECT_EQ(ToNativePath("データ\\a.nc"), "データ/a.nc");
}

TEST(PathText, FolderPartAndRelativePaths) {
  EXPECT_EQ(FolderPart("/opt/vestan/vestan9"), "/opt/vestan/");
  EXPECT_EQ(FolderPart("vestan9"), "");
  EXPECT_EQ(FolderPart("C:\\nc\\tables/atc.ttl"), "C:\\nc\\tables/");
  EXPECT_EQ(FolderPart("C:\\work\\A.NC"), "C:\\work\\");
  EXPECT_EQ(FileNamePart("C:\\work\\A.NC"), "A.NC");
  EXPECT_EQ(FileNamePart("A.NC"), "A.NC");
  EXPECT_EQ(FileNamePart("/opt/vestan/"), "");
  EXPECT_EQ(FileNamePart("D:\\" + std::string(kCp932Hyo) + ".nc"), std::string(kCp932Hyo) + ".nc");
  EXPECT_TRUE(HasFolderPart("data\\atc.ttl"));
  EXPECT_TRUE(HasFolderPart("data/atc.ttl"));
  EXPECT_FALSE(HasFolderPart("atc.ttl"));
  EXPECT_EQ(PathFrom("/work/", "tools/atc.ttl"), "/work/tools/atc.ttl");
  EXPECT_EQ(PathFrom("/work/", "/abs/atc.ttl"), "/abs/atc.ttl");
}

}  // namespace
}  // namespace vestan
