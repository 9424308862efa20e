#include "definitions/color_settings.h"

#include <gtest/gtest.h>

#include "definitions/display_list_table.h"
#include "platform/profile_file.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

TEST(ColourValue, SettingsAndColourFileVariants) {
  struct Case {
    std::string_view text;
    Colour settings;  // starting from 0x00332211
    Colour file;
  };
  const Colour start = MakeColour(0x11, 0x22, 0x33);
  const Case cases[] = {
      {"(300,-5,12.9)", MakeColour(255, 0, 12), MakeColour(255, 0x22, 12)},
      {"white", MakeColour(255, 255, 255), MakeColour(255, 255, 255)},
      {"Black", 0, 0},
      {"WHITEX", 0, 0},  // a longer word: three numbers, all missing
      {"(1,2)", MakeColour(1, 2, 0), MakeColour(1, 2, 0)},
      {"(-0.5,1e9,+7)", MakeColour(0, 255, 7), MakeColour(0, 255, 7)},
  };
  for (const Case& c : cases) {
    Colour settings = start;
    ParseSettingsColour(c.text, settings);
    EXPECT_EQ(settings, c.settings) << c.text;
    Colour file = start;
    ParseColorValue(c.text, file);
    EXPECT_EQ(file, c.file) << c.text;
  }
}

TEST(ColourValue, FlagsAfterClosingParenthesis) {
  struct Case {
    std::string_view text;
    int32_t flag1, flag2;
  };
  const Case cases[] = {
      {"(255,0,0)10", 1, 0}, {"(255,0,0)0", 0, 1},  {"(255,0,0)00", 0, 0},
      {"(255,0,0)", 1, 1},   {"(255,0,0)x0", 1, 1}, {"WHITE", 1, 1},
  };
  for (const Case& c : cases) {
    Colour colour = 0;
    int32_t flag1 = 7, flag2 = 7;
    ParseSettingsFlaggedColour(c.text, colour, flag1, flag2);
    EXPECT_EQ(flag1, c.flag1) << c.text;
    EXPECT_EQ(flag2, c.flag2) << c.text;
  }
}

TEST(ColourSettings, DefineKeysFillLiveSet) {
  const ProfileFile profile(
      "[Define]\nWORK COLOR=(1,2,3)01\nPEN10 COLOR=white\nTOP-PATH2 COLOR=(300,-5,12.9)\n"
      "BACKGROUND=(9,9,9)\nMAGAZINE NUMBER COLOR=BLACK\n");
  ColorSettings colors;
  ReadDefineColors(profile, colors);
  EXPECT_EQ(colors.Live.Pens[0], MakeColour(1, 2, 3));
  EXPECT_EQ(colors.Live.PenShown[0], 0);
  EXPECT_EQ(colors.Live.PenPathFlag[0], 1);
  EXPECT_EQ(colors.Live.Pens[10], MakeColour(255, 255, 255));
  EXPECT_EQ(colors.Live.Pens[1], MakeColour(0, 255, 0));  // default
  EXPECT_EQ(colors.Live.TopPath2, MakeColour(255, 0, 12));
  EXPECT_EQ(colors.Live.Background, MakeColour(9, 9, 9));
  EXPECT_EQ(colors.MagazineNumber, 0u);
  EXPECT_EQ(colors.Saved, ColorSet{});  // the saved set is not touched
}

TEST(ColourFile, ReadsIntoSavedSetOverLiveValues) {
  ScratchFolder scratch;
  const std::string path = scratch.Write("colours.ctc",
                                         "WORK COLOR=(10,20,30)10\r\n"
                                         "PEN1 COLOR=(1,1,1)\r\n"
                                         "PEN10 COLOR (300,-5,12.9)\r\n"
                                         "BACKGROUND COLOR=white\r\n"
                                         "CUT-PATH COLOR=(5,6,7)\r\n"
                                         "BASE COLOR=(1,2,3)\r\n"  // no such key in colour files
                                         "# comment\r\n");
  ColorSettings colors;
  colors.Live.Pens[10] = MakeColour(100, 100, 100);
  colors.Live.Arbor = MakeColour(4, 4, 4);
  colors.Saved.Arbor = MakeColour(8, 8, 8);  // replaced by the live value first
  ASSERT_EQ(ReadColorSettings(path, colors), 1);
  const ColorSet& saved = colors.Saved;
  EXPECT_EQ(saved.Pens[0], MakeColour(10, 20, 30));
  EXPECT_EQ(saved.PenShown[0], 1);
  EXPECT_EQ(saved.PenPathFlag[0], 0);
  EXPECT_EQ(saved.Pens[1], MakeColour(1, 1, 1));
  EXPECT_EQ(saved.Pens[10], MakeColour(255, 100, 12));  // green kept
  EXPECT_EQ(saved.Pens[11], ColorSet{}.Pens[11]);
  EXPECT_EQ(saved.Background, MakeColour(255, 255, 255));
  EXPECT_EQ(saved.TopPath2, MakeColour(5, 6, 7));
  EXPECT_EQ(saved.Base, ColorSet{}.Base);
  EXPECT_EQ(saved.Arbor, MakeColour(4, 4, 4));
  EXPECT_EQ(colors.Live.Pens[0], ColorSet{}.Pens[0]);  // live set unchanged
}

TEST(ColourFile, PenKeysDoNotShareLines) {
  struct Case {
    std::string_view line;
    int32_t pen;  // the one pen the line sets
  };
  const Case cases[] = {{"PEN1 COLOR=(1,1,1)", 1},
                        {"PEN10 COLOR=(1,1,1)", 10},
                        {"pen15 color=(1,1,1)", 15},
                        {"PEN1COLOR=(1,1,1)", -1}};
  for (const Case& c : cases) {
    ScratchFolder scratch;
    ColorSettings colors;
    ASSERT_EQ(ReadColorSettings(scratch.Write("pens.ctc", c.line), colors), 1);
    for (int32_t pen = 0; pen < kPenColourCount; ++pen)
      EXPECT_EQ(colors.Saved.Pens[pen] == MakeColour(1, 1, 1), pen == c.pen)
          << c.line << " pen " << pen;
  }
}

TEST(ColourFile, EmptyFileChangesNothingMissingFileReturnsZero) {
  ScratchFolder scratch;
  ColorSettings colors;
  colors.Live.Vice = MakeColour(1, 2, 3);
  colors.Saved.Vice = MakeColour(7, 7, 7);
  EXPECT_EQ(ReadColorSettings(scratch / "none.ctc", colors), 0);
  EXPECT_EQ(colors.Saved.Vice, MakeColour(7, 7, 7));
  EXPECT_EQ(ReadColorSettings(scratch.Write("empty.ctc", ""), colors), 1);
  EXPECT_EQ(colors.Saved, colors.Live);
  EXPECT_EQ(colors.Live.Vice, MakeColour(1, 2, 3));
}

TEST(ColourSet, CopiesAndApplyFlagsChangedLists) {
  ColorSettings colors;
  colors.Live.Pens[3] = 5;
  SaveColorSet(colors);
  EXPECT_EQ(colors.Saved.Pens[3], 5u);
  colors.Saved.Pens[3] = 6;
  LoadColorSet(colors);
  EXPECT_EQ(colors.Live.Pens[3], 6u);

  DisplayListTable lists;
  lists.PathDisplay = 1;
  colors.Saved.TopPath = 1;
  colors.Saved.PenPathFlag[2] = 0;
  colors.Saved.ToolSide = 2;
  colors.Saved.Vice = 3;
  const ColorChanges changes = ApplyColorSettings(colors, lists);
  EXPECT_FALSE(changes.WorkColours);
  EXPECT_TRUE(changes.PathColours);
  EXPECT_TRUE(changes.ToolColours);
  EXPECT_EQ(colors.Live, colors.Saved);
  EXPECT_TRUE(lists.NeedsRebuild(kListPath));
  EXPECT_FALSE(lists.NeedsRebuild(kListPath2));  // its display is off
  EXPECT_TRUE(lists.NeedsRebuild(kListTool));

  DisplayListTable quiet;
  colors.Saved.PenShown[4] = 0;
  EXPECT_TRUE(ApplyColorSettings(colors, quiet).WorkColours);
  EXPECT_FALSE(quiet.NeedsRebuild(kListPath));
  EXPECT_FALSE(quiet.NeedsRebuild(kListTool));
}

}  // namespace
}  // namespace vestan
