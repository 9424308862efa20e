// The title and status bar texts, from their facts and from a session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/recording_host.h"
#include "shell/core/window_texts.h"
#include "simulation/session.h"

namespace vestan {
namespace {

TitleFacts ShippedTitle() {
  TitleFacts f;
  f.MachineName = "OGUMA";
  f.ToolTable = "/data/atc.ttl";
  f.Controller = "C:\\defs\\hanuc.ctl";
  f.Machine = "oguma";
  f.Checks = {1, 0, 0, 0};
  return f;
}

TEST(WindowTitle, NamesTheFilesTheRunAndTheChecks) {
  TitleFacts f = ShippedTitle();
  EXPECT_EQ(UpdateWindowTitle(f), "OGUMA - NCデータ未選択(atc,hanuc,oguma) 干渉チェック-YNNN");
  f.EnglishMode = 1;
  EXPECT_EQ(UpdateWindowTitle(f), "OGUMA - Not Selected(atc,hanuc,oguma)Check-YNNN");

  f.NcProgram = "/work/nc/part.a.nc";
  f.WorkFile = "/work/w.dme";
  f.ProgressLabel = "Reading WORK";
  EXPECT_EQ(UpdateWindowTitle(f),
            "OGUMA - part.a.nc/w.dme(atc,hanuc,oguma) - Reading WORKCheck-YNNN");
  // During a run the mode replaces the progress label.
  struct Case {
    int32_t Mode;
    const char* Text;
  };
  for (const Case& c : std::vector<Case>{{1, " - Cutting : Real:7"},
                                         {2, " - Cutting : Skip:9"},
                                         {3, " - Cutting : Result"},
                                         {4, " - "}}) {
    f.CuttingMode = c.Mode;
    f.SkipView = 7;
    f.SkipBlock = 9;
    EXPECT_EQ(UpdateWindowTitle(f),
              std::string("OGUMA - part.a.nc/w.dme(atc,hanuc,oguma)") + c.Text + "Check-YNNN")
        << c.Mode;
  }
  // Minimised during a run: the title stays as it was.
  f.DisplaySuspended = 1;
  EXPECT_EQ(UpdateWindowTitle(f), std::nullopt);
  f.CuttingMode = 0;
  f.ProgressLabel.clear();
  EXPECT_TRUE(UpdateWindowTitle(f).has_value());
}

TEST(WindowTitle, CheckLettersFollowEachSettingsTable) {
  // Per value 0..4, the letters of INTERFERENCE, ARBOR, HEIGHT, CHIP-W.
  const char* expected[] = {"NNNN", "YOOO", "SCYY", "SYSS", "SSSS"};
  for (int32_t v = 0; v <= 4; ++v) {
    EXPECT_EQ(CheckLetters({v, v, v, v}), expected[v]) << v;
  }
  EXPECT_EQ(CheckLetters({-1, 99, 2, 0}), "SSYN");
}

TEST(StatusBar, WorkCoordinateTexts) {
  struct Case {
    int32_t Number, Product, English;
    const char* Text;
  };
  for (const Case& c : std::vector<Case>{{0, 0, 1, "No Workpiece"},
                                         {1, 0, 1, "Workpiece(G54)"},
                                         {6, 0, 1, "Workpiece(G59)"},
                                         {7, 0, 1, "Workpiece(P1)"},
                                         {54, 0, 0, "座標系(P48)"},
                                         {0, 0, 0, "座標系なし"},
                                         {3, 1, 1, "Workpiece3"},
                                         {-2, 0, 1, "No Workpiece"}}) {
    EXPECT_EQ(WorkCoordinateText(c.Number, c.Product, c.English), c.Text) << c.Number;
  }
}

TEST(StatusBar, MachiningModeTakesTheFirstThatApplies) {
  struct Case {
    const char* Name;
    void (*Set)(StatusFacts&);
    const char* English;
    const char* Japanese;
  };
  const std::vector<Case> cases = {
      {"normal", [](StatusFacts&) {}, "Normal", "通常加工モード"},
      {"type 1 over everything",
       [](StatusFacts& f) { f.ToolCentreType = 1, f.WorkPlane = 1, f.Polar = 1; }, "TCL TYPE1",
       "先端点制御タイプ1"},
      {"type 1 SIEMENS", [](StatusFacts& f) { f.ToolCentreType = 1, f.Siemens = 1; },
       "TCL(AXIS-ROT)", "先端点制御(AXIS-ROT)"},
      {"type 2 SIEMENS RPY2",
       [](StatusFacts& f) { f.ToolCentreType = 2, f.Siemens = 1, f.OrientationForm = 3; },
       "TCL(RPY2)", "先端点制御(RPY2)"},
      {"type 2 SIEMENS Euler",
       [](StatusFacts& f) { f.ToolCentreType = 2, f.Siemens = 1, f.OrientationForm = 1; },
       "TCL(EULER)", "TCL(EULER)"},
      {"work plane over rotation", [](StatusFacts& f) { f.WorkPlane = 1, f.CoordinateRotation = 1; },
       "Work Plane", "傾斜面加工"},
      {"OSP angle correction with rotation",
       [](StatusFacts& f) { f.Osp = 1, f.AngleCorrection = 1, f.CoordinateRotation = 1; },
       "Angle Hosei(Rot)", "旋回補正(回転)"},
      {"angle correction outside OSP", [](StatusFacts& f) { f.AngleCorrection = 1; }, "Normal",
       "通常加工モード"},
      {"OSP rotation", [](StatusFacts& f) { f.Osp = 1, f.CoordinateRotation = 1; },
       "Coordinate Rotation", "傾斜加工"},
      {"polar", [](StatusFacts& f) { f.Polar = 1; }, "Polar Coordinate", "極座標補間"},
      {"cylindrical ZX reversed", [](StatusFacts& f) { f.Cylindrical = 1, f.PlaneCode = -18; },
       "Cylindrical(Z-C)", "円筒補間(ZC)"},
      {"OSP cylindrical XY", [](StatusFacts& f) { f.Cylindrical = 1, f.Osp = 1; },
       "Cylindrical(C-Z)", "側面創成加工(外面選択)"},
  };
  for (const Case& c : cases) {
    StatusFacts f;
    c.Set(f);
    EXPECT_EQ(MachiningModeText(f), c.Japanese) << c.Name;
    f.EnglishMode = 1;
    EXPECT_EQ(MachiningModeText(f), c.English) << c.Name;
  }
}

TEST(StatusBar, StopReasonBasicModelAndDisplayMarks) {
  StatusFacts f;
  f.EnglishMode = 1;
  MacroStatus macro;
  StatusBarTexts parts = UpdateStatusBar(f, macro);
  EXPECT_EQ(parts[3], "");
  EXPECT_EQ(parts[7], "Basic:NONE");
  EXPECT_EQ(parts[8], "Disp|○ ");
  EXPECT_EQ(parts[0] + parts[1] + parts[2] + parts[4] + parts[9], "");

  f.HeldAtStop = 1;
  f.StopBlinkOn = 1;
  f.InterferenceStopText = "Holder interference";
  f.BasicModelTitle = "basic.stl";
  f.DifferencePaintMode = 1;
  f.DisplayFlags = {1, 1, 1};
  f.Perspective = 1;
  parts = UpdateStatusBar(f, macro);
  EXPECT_EQ(parts[3], "Holder interference");
  EXPECT_EQ(parts[4], "G or ESC");
  EXPECT_EQ(parts[7], "Basic:basic.stl + -");
  EXPECT_EQ(parts[8], "Disp[◎]");

  f.RadiusOffsetAlarm = 1;
  f.StopBlinkOn = 0;
  f.DifferencePaintMode = 5;
  f.DisplayFlags = {1, 0, 0};
  f.ViewLayout = 1;
  parts = UpdateStatusBar(f, macro);
  EXPECT_EQ(parts[3], "OFFSET ALARM");
  EXPECT_EQ(parts[4], "");
  EXPECT_EQ(parts[7], "Basic:basic.stl -");
  EXPECT_EQ(parts[8], "Disp ◎|");

  f = StatusFacts{};
  f.HeldAtStop = 1;
  EXPECT_EQ(UpdateStatusBar(f, macro)[3], "停止");
}

TEST(StatusBar, AFinishedMacroIsReportedOnce) {
  StatusFacts f;
  f.EnglishMode = 1;
  MacroStatus macro;
  macro.Name = "job.mac";
  macro.Running = 1;
  macro.Completed = 1;
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "Runnning MAC:job.mac");
  macro.Running = 0;
  // Not while minimised: the report waits for the window.
  f.DisplaySuspended = 1;
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "");
  f.DisplaySuspended = 0;
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "Complete Macro");
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "");
  macro.Broken = 1;
  f.EnglishMode = 0;
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "マクロ中断:job.mac");
  EXPECT_EQ(UpdateStatusBar(f, macro)[9], "");
}

TEST(WindowTexts, FactsComeFromTheSession) {
  RecordingHost host;
  Session s(host);
  s.App.EnglishMode = 1;
  s.Defs.Machine.Name = "M1";
  s.Defs.Paths.ToolTable = "t.ttl";
  s.Defs.Paths.Controller = "c.ctl";
  s.Defs.Paths.Machine = "m.mtl";
  s.Defs.Paths.WorkLoad = "w.dme";  // no workpiece: not shown
  s.Defs.Checks.Interference = 2;
  s.Defs.Checks.ArborCheck = 3;
  s.Memory.Offsets.SelectedWorkOffset = 7;
  s.Nc.Modal.Polar.On = 1;
  s.Defs.Paths.BasicModelTitle = "b.stl";
  EXPECT_EQ(UpdateWindowTitle(TitleFactsOf(s)), "M1 - Not Selected(t,c,m)Check-SYNN");
  MacroStatus macro;
  const StatusBarTexts parts = UpdateStatusBar(StatusFactsOf(s), macro);
  EXPECT_EQ(parts[5], "Workpiece(P1)");
  EXPECT_EQ(parts[6], "Polar Coordinate");
  EXPECT_EQ(parts[7], "Basic:b.stl");

  int32_t paintMode = 2;
  EXPECT_EQ(ResetDifferencePaint(s, paintMode, true),
            "When you use function of [Paint Difference]. Please respecify Basic Model.");
  EXPECT_EQ(paintMode, 0);
  EXPECT_EQ(s.Defs.Paths.BasicModelTitle, "");
  EXPECT_EQ(ResetDifferencePaint(s, paintMode, false), "");
}

}  // namespace
}  // namespace vestan
