#include "definitions/settings_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "settings_world.h"

namespace vestan {
namespace {

using testing::Join;
using testing::ScratchFolder;
using testing::SettingsWorld;

int32_t Save(SettingsWorld& w, const MainWindowPlacement* placement = nullptr) {
  return SaveSettings(w.settings, w.colors, w.paths, placement, w.host, 1);
}

ProfileFile Written(const SettingsWorld& w) {
  return ProfileFile(ScratchFolder::Read(w.Current() + "vestan.ini"));
}

TEST(SettingsWriter, ShippedSettingsWrittenBackUnchanged) {
  SettingsWorld w;
  const std::string shipped = ScratchFolder::Read(VESTAN_DATA_DIR "/vestan.ini");
  w.Read(shipped);
  MainWindowPlacement minimised;
  minimised.Minimised = true;
  EXPECT_EQ(Save(w, &minimised), kSettingsSaved);
  EXPECT_EQ(ScratchFolder::Read(w.Current() + "vestan.ini"), shipped);
  EXPECT_TRUE(w.host.Events.empty());
}

TEST(SettingsWriter, UsersOwnTextStaysByteForByte) {
  SettingsWorld w;
  const std::string_view before =
      "; \x90\xDD\x92\xE8 (mine)\r\n"
      "[Save]\r\n"
      "DISPLAY=1\r\n"
      "X = 5\r\n"
      "\r\n"
      "[Mine]\r\n"
      "KEEP=\x82\xA0 as it is\r\n"
      "[Define]\r\n"
      "WORK COLOR=(1,2,3)01\r\n"
      "UNDO=3\r\n";
  w.Read(before);
  w.colors.Live.Pens[0] = MakeColour(7, 8, 9);
  MainWindowPlacement placement{false, 10, 20, 810, 620, 3};
  ASSERT_EQ(Save(w, &placement), kSettingsSaved);
  const std::string after = ScratchFolder::Read(w.Current() + "vestan.ini");
  const std::string_view start =
      "; \x90\xDD\x92\xE8 (mine)\r\n"
      "[Save]\r\n"
      "DISPLAY=1\r\n"
      "X = 10\r\n"
      "SHOW=3\r\n"
      "Y=20\r\n"
      "HEIGHT=600\r\n";
  EXPECT_EQ(after.substr(0, start.size()), start);
  EXPECT_NE(after.find("\r\n\r\n[Mine]\r\nKEEP=\x82\xA0 as it is\r\n[Define]\r\n"
                       "WORK COLOR=(7,8,9)\r\nUNDO=3\r\nPEN1 COLOR=(0,255,0)\r\n"),
            std::string::npos);
  EXPECT_EQ(after.find('\n'), after.find("\r\n") + 1);
  EXPECT_EQ(after.find("\n\n"), std::string::npos);  // every added line has CR LF
  EXPECT_EQ(w.settings.WindowHeight, 600);
  EXPECT_EQ(w.settings.WindowWidth, 800);
  const ProfileFile profile = Written(w);
  EXPECT_EQ(profile.GetString("Save", "HEIGHT", ""), "600");
  EXPECT_EQ(profile.GetString("Save", "WIDE", ""), "800");
  EXPECT_EQ(profile.GetString("DMEdata", "CYLINDER", ""), "X(-80,0,0,80,100,40)");
}

TEST(SettingsWriter, PlacementOnlyWhenRememberedAndNotMinimised) {
  const MainWindowPlacement normal{false, 10, 20, 810, 620, 1};
  const MainWindowPlacement minimised{true, 10, 20, 810, 620, 2};
  struct Case {
    std::string_view file;
    const MainWindowPlacement* placement;
    std::string_view x, display;
  };
  const Case cases[] = {
      {"[Save]\nDISPLAY=0\nX=5\n", &normal, "5", "0"},
      {"[Save]\nDISPLAY=2\nX=5\n", &normal, "5", "2"},
      {"[Save]\nX=5\n", &minimised, "5", "1"},
      {"[Save]\nX=5\n", nullptr, "5", "1"},
      {"[Save]\nX=5\n", &normal, "10", "1"},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.Read(c.file);
    ASSERT_EQ(Save(w, c.placement), kSettingsSaved);
    const ProfileFile profile = Written(w);
    EXPECT_EQ(profile.GetString("Save", "X", ""), c.x) << c.file;
    EXPECT_EQ(profile.GetString("Save", "DISPLAY", ""), c.display) << c.file;
    EXPECT_EQ(profile.Find("Save", "SHOW").has_value(), c.x == "10") << c.file;
  }
}

TEST(SettingsWriter, ColourGroupsFollowTheirFlags) {
  SettingsWorld w;
  w.Read("[Save]\nWORK COLOR=2\nLINE COLOR=2\nTOOL COLOR=0\nBACKGROUND=1\n");
  w.settings.TopPathColorMode = 0;
  ASSERT_EQ(Save(w), kSettingsSaved);
  const ProfileFile profile = Written(w);
  EXPECT_FALSE(profile.Find("Define", "WORK COLOR"));  // 2 is not 1
  EXPECT_FALSE(profile.Find("Define", "WORK ALPHA"));
  EXPECT_EQ(profile.GetString("Define", "TOP-PATH COLOR", ""), "(255,0,0)");  // non-zero
  EXPECT_EQ(profile.GetString("Define", "TOP-PATH COLOR MODE", ""), "PEN COLOR");
  EXPECT_FALSE(profile.Find("Define", "TOOL-TOP COLOR"));
  EXPECT_FALSE(profile.Find("Define", "TOOL ALPHA"));
  EXPECT_EQ(profile.GetString("Define", "HEAD(**) COLOR", ""), "(163,195,163)");
  EXPECT_EQ(profile.GetString("Define", "MACHINE ALPHA", ""), "0.5");
  EXPECT_FALSE(profile.Find("Define", "BASE ALPHA"));
  EXPECT_EQ(profile.GetString("Define", "BACKGROUND", ""), "(0,0,0)");
  EXPECT_EQ(profile.GetString("Save", "WORK COLOR", ""), "2");
  EXPECT_EQ(profile.GetString("Save", "VIEW_T", ""), "0");
}

TEST(SettingsWriter, StockNumbersAndWords) {
  struct Case {
    double value;
    std::string_view text;
  };
  const Case cases[] = {
      {0.5, "0.5"},
      {-80, "-80"},
      {40.5, "40.5"},
      {-0.25, "-0.25"},
      {0.0, "0"},
      {2147483647.0, "2147483647"},
      {1e12, "1000000000000."},
      {2147483648.0, "2147483648."},
      {-1e20, "-100000000000000000000."},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatStockNumber(c.value), c.text) << c.value;

  SettingsWorld w;
  w.Read("");
  w.settings.Stock.CylinderAxis = 1;
  w.settings.Stock.Cylinder = {-80, 0, 0, 80, 100, 40.5};
  w.settings.Stock.Reference = {0, 0, 0};
  w.settings.Stock.Box = {0, 0, -1e12, 100, 100, 30};
  ASSERT_EQ(Save(w), kSettingsSaved);
  const ProfileFile profile = Written(w);
  EXPECT_EQ(profile.GetString("DMEdata", "CYLINDER", ""), "Y(-80,0,0,80,100,40.5)");
  EXPECT_EQ(profile.GetString("DMEdata", "INITIAL SIZE2", ""),
            "(CENTER,100,0,0,CENTER,200,0,0,CENTER,50,0,0)");
  // Large numbers come back as they went.
  SettingsWorld again;
  again.Read(ScratchFolder::Read(w.Current() + "vestan.ini"));
  EXPECT_EQ(again.settings.Stock.Box, w.settings.Stock.Box);
  EXPECT_EQ(again.settings.Stock.Reference, (std::array<int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(again.settings.Stock.Cylinder, w.settings.Stock.Cylinder);
}

TEST(SettingsWriter, NumbersBeyondADoubleAreNeitherTakenNorWrittenBack) {
  SettingsWorld w;
  const std::string given = ScratchFolder::Read(VESTAN_FIXTURES_DIR "/settings/out_of_range.ini");
  w.Read(given);
  const std::string file = w.paths.SettingsFile + ": ";
  EXPECT_EQ(w.host.Texts(RecordingHost::Call::kLog),
            (std::vector<std::string>{
                file + "INITIAL SIZE: a value is not a finite number; the line is ignored",
                file + "INITIAL SIZE2: a value is not a finite number; the line is ignored",
                file + "CYLINDER: a value is not a finite number; the line is ignored",
                file + "WORK MARGIN(X): a value is not a finite number; the line is ignored",
                file + "VIEW CENTER: a value is not a finite number; the line is ignored",
                file + "SPINDLE CHECK: a value is not a finite number; the line is ignored",
                file + "TOOL CLEARANCE: a value is not a finite number; the line is ignored",
                file + "ANGLE-A: a value is not a finite number; the line is ignored",
            }));
  const StockDefinition defaults;
  EXPECT_EQ(w.settings.Stock.Box, defaults.Box);
  EXPECT_EQ(w.settings.Stock.Reference, defaults.Reference);
  EXPECT_EQ(w.settings.Stock.ReferenceSizes, defaults.ReferenceSizes);
  EXPECT_EQ(w.settings.Stock.Cylinder, defaults.Cylinder);
  EXPECT_EQ(w.settings.Stock.CylinderAxis, 0);
  EXPECT_EQ(w.settings.WorkMargin[0], 0.0f);
  EXPECT_EQ(w.view.Azimuth, 315.0);
  EXPECT_EQ(w.checks.ToolClearanceMode, 0);

  // Saved back, the defaults replace the unreadable values; a value a dialog
  // made infinite is not written at all.
  w.settings.Stock.Cylinder[4] = std::numeric_limits<double>::infinity();
  ASSERT_EQ(Save(w), kSettingsSaved);
  const std::string saved = ScratchFolder::Read(w.Current() + "vestan.ini");
  EXPECT_EQ(saved.find("inf"), std::string::npos);
  EXPECT_EQ(Written(w).GetString("DMEdata", "INITIAL SIZE", ""), "(0,0,0,100,100,30)");
  EXPECT_EQ(Written(w).GetString("DMEdata", "CYLINDER", ""), "Z(-80,0,0,80,100,1e999)");
}

TEST(SettingsWriter, FailureIsReportedAndOldFileStays) {
  SettingsWorld w;
  w.Read();
  w.paths.SettingsFile = w.scratch / "missing/vestan.ini";
  EXPECT_EQ(Save(w), kSettingsNotSaved);
  ASSERT_EQ(w.host.Messages.size(), 1u);
  EXPECT_NE(w.host.Messages[0].Text.find("missing/vestan.ini"), std::string::npos);

  // A settings path that cannot be read is not overwritten.
  SettingsWorld blocked;
  blocked.Read();
  blocked.scratch.Write("cwd/vestan.ini/keep", "k");
  EXPECT_EQ(Save(blocked), kSettingsNotSaved);
  EXPECT_EQ(blocked.host.Messages.size(), 1u);
  EXPECT_EQ(ScratchFolder::Read(blocked.Current() + "vestan.ini/keep"), "k");
}

}  // namespace
}  // namespace vestan
