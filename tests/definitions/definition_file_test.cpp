#include "definitions/definition_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition_test_support.h"

namespace vestan {
namespace {

using testing::TempFolder;

TEST(DefinitionFile, NamesResolveWhateverTheirCaseAndSeparator) {
  TempFolder folder;
  const std::string file = folder.Write("Defs/Machine/OGUMA.MTL", "x\n");
  const std::string base = folder.Path().string();
  struct Case {
    std::string name;
    bool found;
  };
  const Case cases[] = {
      {file, true},
      {base + "\\Defs\\Machine\\OGUMA.MTL", true},
      {base + "/defs/machine/oguma.mtl", true},
      {base + "\\DEFS\\machine\\Oguma.Mtl", true},
      {base + "/defs/machine/oguma.mtl  ", true},  // trailing blanks, as the original platform
      {base + "/defs/machine/oguma.mtl.", true},
      {base + "/defs/other/oguma.mtl", false},
      {base + "/defs/machine/oguma", false},
  };
  for (const Case& c : cases) {
    const std::filesystem::path resolved = ResolveDefinitionPath(c.name);
    if (c.found)
      EXPECT_TRUE(std::filesystem::equivalent(resolved, file)) << c.name;
    else
      EXPECT_FALSE(std::filesystem::exists(resolved)) << c.name;
  }
  EXPECT_EQ(ResolveDefinitionPath(""), std::filesystem::path());
}

TEST(DefinitionFile, LinesAndTimes) {
  TempFolder folder;
  const std::string path = folder.Write("a.ttl", "A 1\r\nB 2");
  const auto lines = ReadDefinitionLines(path);
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(*lines, (std::vector<std::string>{"A 1\n", "B 2\n"}));
  EXPECT_EQ(LastWriteTime(path), std::filesystem::last_write_time(path));

  EXPECT_FALSE(ReadDefinitionLines(folder.Path() / "none").has_value());
  EXPECT_FALSE(LastWriteTime(folder.Path() / "none").has_value());
  EXPECT_FALSE(ReadDefinitionLines(folder.Path()).has_value());  // a folder is no file
  const std::string empty = folder.Write("empty.ttl", "");
  ASSERT_TRUE(ReadDefinitionLines(empty).has_value());
  EXPECT_TRUE(ReadDefinitionLines(empty)->empty());
}

TEST(DefinitionFile, NotesNameFileAndLine) {
  EXPECT_EQ(FormatNote({"atc.ttl", 12, "bad"}), "atc.ttl:12: bad");
  EXPECT_EQ(FormatNote({"atc.ttl", 0, "bad"}), "atc.ttl: bad");
}

}  // namespace
}  // namespace vestan
