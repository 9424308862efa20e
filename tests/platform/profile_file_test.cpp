#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "foundation/text_fields.h"
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
  // "[X=]" would read back as a section line; any key starting with "[" may.
  EXPECT_FALSE(profile.SetString("Save", "[X", "]"));
  EXPECT_FALSE(profile.SetString("Save", "[X", "1"));
  EXPECT_EQ(profile.Content(), "[Save]\nX=1\n");
  EXPECT_TRUE(profile.SetString("Save", "X[", "]"));  // a "[" inside the key is harmless
  EXPECT_EQ(profile.GetString("Save", "X[", ""), "]");
}

TEST(ProfileFile, ValuesReadBackAsWrittenAndRewritingThemChangesNothing) {
  struct Case {
    std::string_view value;
    std::string_view line;  // as stored
  };
  const Case cases[] = {
      {" v", "K=\" v\""},  // blanks the reader would trim are kept in quotes
      {"v\t", "K=\"v\t\""}, {"\"v\"", "K=\"\"v\"\""},  // quotes the reader would strip are kept
      {"'v'", "K=\"'v'\""}, {"\"v", "K=\"v"},          // a lone quote is read as it stands
      {"a b", "K=a b"},     {"", "K="},
  };
  for (const Case& c : cases) {
    ProfileFile profile("[S]\n");
    ASSERT_TRUE(profile.SetString("S", "K", c.value));
    const std::string once = profile.Content();
    EXPECT_EQ(once, "[S]\n" + std::string(c.line) + "\n") << c.value;
    EXPECT_EQ(profile.Find("S", "K"), c.value);
    ASSERT_TRUE(profile.SetString("S", "K", c.value));
    ASSERT_TRUE(profile.SetString("S", "K", c.value));
    EXPECT_EQ(profile.Content(), once) << c.value;
  }
  // A stored value that reads as the new one is left as the user wrote it.
  ProfileFile user("[S]\nK =  v  \nQ='w'\n");
  ASSERT_TRUE(user.SetString("S", "K", "v"));
  ASSERT_TRUE(user.SetString("S", "Q", "w"));
  EXPECT_EQ(user.Content(), "[S]\nK =  v  \nQ='w'\n");
}

TEST(ProfileFile, NewSectionAfterLastLineEndingInLoneCr) {
  ProfileFile profile("[Save]\r\nX=1\r");
  ASSERT_TRUE(profile.SetString("New", "K", "v"));
  EXPECT_EQ(profile.GetString("Save", "X", ""), "1");
  EXPECT_EQ(profile.GetString("New", "K", ""), "v");
  EXPECT_EQ(profile.Content(), "[Save]\r\nX=1\r\n\r\n[New]\r\nK=v\r\n");
}

// Random sections, keys and values written into a few starting files: every
// write the rules accept reads back as written, every other key keeps its
// value, a refused write changes nothing, and rewriting a stored value
// changes no byte.
TEST(ProfileFile, RandomWritesReadBackAndLeaveOtherKeysAlone) {
  const std::string_view starts[] = {
      "",
      "[Save]\r\nX=1\r\nY = 2 \r\n\r\n[ Mine ]\r\nname=\x90\xDD\x92\xE8\r",
      "\xEF\xBB\xBFtop=0\n[a]\nb=\"q\"\n; comment\n[A]\nlate=1\n[;]\n=\n[b]",
      "[a]\nk=1\r\r",
  };
  // Names and values mostly of a few letters, so that names meet and differ
  // only in case, and now and then a character the rules are about.
  constexpr std::string_view kLetters = "aAbB";
  constexpr std::string_view kNameMarks = "[];= \t\"'\x90\r";
  constexpr std::string_view kValueMarks = "= \t\"'[];\x81\r";
  std::mt19937 random(27);
  const auto pick = [&random](std::string_view chars) {
    return chars[std::uniform_int_distribution<size_t>(0, chars.size() - 1)(random)];
  };
  const auto text = [&](std::string_view marks, int longest) {
    std::string s(std::uniform_int_distribution<int>(0, longest)(random), ' ');
    for (char& c : s) c = random() % 4 == 0 ? pick(marks) : pick(kLetters);
    return s;
  };
  const auto blankAround = [](std::string_view s) {
    return !s.empty() &&
           (s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t');
  };
  const auto lineBreak = [](std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
  };
  const auto upper = [](std::string s) {
    for (char& c : s) c = ToUpperAscii(c);
    return s;
  };

  for (int round = 0; round < 200; ++round) {
    ProfileFile profile{std::string(starts[round % std::size(starts)])};
    // What each key written so far (or present from the start) must read as.
    std::map<std::pair<std::string, std::string>, std::optional<std::string>> expected;
    for (const auto& [section, key] :
         {std::pair{"Save", "X"}, std::pair{"Save", "Y"}, std::pair{"Mine", "name"},
          std::pair{"a", "b"}, std::pair{"a", "k"}, std::pair{"b", "x"}})
      expected[{upper(section), upper(key)}] = profile.Find(section, key);

    for (int write = 0; write < 40; ++write) {
      std::string section = text(kNameMarks, 3), key = text(kNameMarks, 3);
      std::string value = text(kValueMarks, 4);
      // Now and then a key already written, with its own value again.
      if (write % 5 == 4) {
        auto it = expected.begin();
        std::advance(it, std::uniform_int_distribution<size_t>(0, expected.size() - 1)(random));
        section = it->first.first;
        key = it->first.second;
        if (it->second) value = *it->second;
      }
      const bool accepted = !section.empty() && !key.empty() && !blankAround(section) &&
                            !blankAround(key) && section.find(']') == std::string::npos &&
                            key.find('=') == std::string::npos && key.front() != '[' &&
                            !lineBreak(section) && !lineBreak(key) && !lineBreak(value);
      const std::string before = profile.Content();
      const auto slot = std::make_pair(upper(section), upper(key));
      const bool unchanged = expected.contains(slot) && expected[slot] == value;
      ASSERT_EQ(profile.SetString(section, key, value), accepted)
          << "[" << section << "] " << key << "=" << value;
      if (!accepted || unchanged) {
        ASSERT_EQ(profile.Content(), before);
      }
      if (accepted) expected[slot] = value;
      for (const auto& [name, value] : expected)
        ASSERT_EQ(profile.Find(name.first, name.second), value)
            << "[" << name.first << "] " << name.second << " after writing [" << section << "] "
            << key << "\n"
            << profile.Content();
    }
  }
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
