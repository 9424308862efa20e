#include <gtest/gtest.h>

#include <cmath>

#include "settings_world.h"

namespace vestan {
namespace {

using testing::Join;
using testing::ScratchFolder;
using testing::SettingsWorld;

TEST(SettingsDefine, EveryKeyReadsIntoItsRecord) {
  SettingsWorld w;
  w.Read(ScratchFolder::Read(VESTAN_FIXTURES_DIR "/settings/define_keys.ini"));
  const InterferenceCheckSettings& c = w.checks;
  EXPECT_EQ(c.Interference, 2);
  EXPECT_EQ(c.ArborCheck, 2);
  EXPECT_EQ(c.HeightCheckType, 1);
  EXPECT_EQ(c.HeightCheckMargin, 0.5);
  EXPECT_EQ(c.HeightCheck, 1);
  EXPECT_EQ(c.ChipWidthCheck, 3);
  EXPECT_EQ(c.SpindleCheck, 1);
  EXPECT_EQ(c.SpindleLimits, (std::array<double, 2>{100, 2500}));
  EXPECT_EQ(c.SpindleLimitsGiven, 1);
  for (size_t i = 0; i < c.Pairs.size(); ++i)
    EXPECT_EQ(c.Pairs[i], static_cast<int32_t>(i % 3)) << kPairCheckKeys[i];
  EXPECT_EQ(c.MachineCheckStops, 1);
  EXPECT_EQ(c.RapidFeedrate, 20000);
  EXPECT_EQ(c.ToolClearanceMode, 2);
  EXPECT_EQ(c.ToolClearance, 0.3);
  EXPECT_EQ(c.ArborClearanceMode, 1);

  const Settings& s = w.settings;
  EXPECT_EQ(s.OptimizeDrawing, 0);
  EXPECT_EQ(s.SkipBlock, 10);
  EXPECT_EQ(s.SkipView, 20);
  EXPECT_EQ(s.RealRotation, 1);
  EXPECT_EQ(s.RealRapid, 1);
  EXPECT_EQ(s.MeshMode, 1);
  EXPECT_EQ(s.ColorMode, 0);
  EXPECT_EQ(s.TopPathColorMode, 0);
  EXPECT_EQ(s.ToolTopColorMode, 0);
  EXPECT_EQ(w.colors.WorkAlpha, 1.0f);
  EXPECT_EQ(w.colors.BaseAlpha, 0.3f);
  EXPECT_EQ(w.colors.ToolAlpha, 1.0f);
  EXPECT_EQ(w.colors.MachineAlpha, 0.0f);
  EXPECT_EQ(s.WorkMargin, (std::array<float, 3>{1.5f, 2.5f, -0.5f}));
  EXPECT_EQ(s.ControlPoint, (std::array<double, 5>{10, 20, 300, 45, 90}));
  EXPECT_EQ(s.ControlPointMachine, 1);
  EXPECT_EQ(s.NewControlPointD, 2);
  EXPECT_EQ(s.NewControlPoint, 1);
  EXPECT_EQ(s.SpecifiedPointD, (std::array<double, 3>{1.5, 2.5, 3.5}));
  EXPECT_EQ(s.SpecifiedPoint, (std::array<double, 3>{4, 5, 6}));
  EXPECT_EQ(s.ToolBasePoint, 3);
  EXPECT_EQ(s.ToolBasePointGiven, 1);
  EXPECT_EQ(s.ToolDisplay, 2);
  EXPECT_EQ(s.MachineDisplay, 0);
  EXPECT_EQ(s.WorkDisplay, 1);  // PERS with alpha 1
  EXPECT_EQ(s.BaseDisplay, 2);  // PERS with alpha 0.3
  EXPECT_EQ(s.RotationCentreDisplay, 1);
  EXPECT_EQ(s.ConstructionPoint, 1);
  EXPECT_EQ(s.BasicAxis, 0);
  EXPECT_EQ(s.ProgressName, "Cutting job");
  EXPECT_EQ(s.SoundOn, 1);
  EXPECT_EQ(s.IgnoreG00, 1);
  EXPECT_EQ(s.VolumeUnit, 1);
  EXPECT_EQ(s.OffsetValue, 2.5);
  EXPECT_EQ(w.view.Perspective, 0);
  EXPECT_EQ(w.view.FixedViewCentre, 1);
  EXPECT_EQ(w.view.ViewCentre, (Vec3{10, 20, 30}));
  EXPECT_EQ(s.FullViewWork, 1);
  EXPECT_EQ(s.OpenGlBuffer, 1);
  EXPECT_EQ(s.ImeVersion, 0);
  EXPECT_EQ(s.ToolDialogZoomRate, 9999.0);
  EXPECT_EQ(w.view.Azimuth, 30);
  EXPECT_EQ(w.view.HomeAzimuth, 30);
  EXPECT_EQ(w.view.Elevation, 60);
  EXPECT_EQ(w.view.HomeElevation, 60);
  EXPECT_NEAR(w.view.AzimuthSin, 0.5, 1e-15);
  EXPECT_NEAR(w.view.ElevationCos, 0.5, 1e-15);
  EXPECT_EQ(s.ExpandRate, 2.5);

  const PitchSettings& p = s.Pitch;
  EXPECT_EQ(p.MinimumPitch, 0.05);
  EXPECT_EQ(p.AutoPitch, 1);
  EXPECT_EQ(p.ValueBudget, 30000u);
  EXPECT_EQ(p.WorkPitch, 1.0);
  EXPECT_EQ(p.MovePitchLinked, 1);
  EXPECT_EQ(p.MovePitchFactor, 0.5);
  EXPECT_EQ(p.MovePitch, 0.5);
  const ToolTraceSettings& t = s.ToolTrace;
  EXPECT_EQ((std::array<double, 8>{t.WeldingHeight, t.WeldingWidth, t.GrinderDepth, t.GrinderWidth,
                                   t.PaperDepth, t.PaperWidth, t.BrushWidth, t.HeraWidth}),
            (std::array<double, 8>{0.7, 6, 1.5, 3.5, 0.2, 1.2, 1.4, 1.6}));

  const DifferenceSettings& d = w.difference;
  EXPECT_EQ(d.Area, -1);
  EXPECT_EQ(d.Margin, 0.25);
  EXPECT_EQ(d.BuiltMargin, 0.25);
  EXPECT_EQ(d.PenColouring, 1);
  EXPECT_EQ(d.Pen, 7);
  EXPECT_EQ(d.ClearPrevious, 0);
  EXPECT_EQ(d.EmphasisWidth, 1.5);
  EXPECT_EQ(d.TargetByPen, 1);
  EXPECT_EQ(d.TargetPen, 3);

  EXPECT_EQ(s.StopKey, 32);
  EXPECT_EQ(s.EscapeKey, 3);
  EXPECT_EQ(s.UndoDepth, 5);
  EXPECT_EQ(s.UndoListFlags, std::vector<uint8_t>(5, 0));
  EXPECT_EQ(w.tools.MaxToolNumber, 300);
  EXPECT_EQ(w.tools.Defined.size(), 301u);
  EXPECT_EQ(s.CheckMac, 1);
  EXPECT_EQ(s.CheckMatrix, 1);
  EXPECT_EQ(s.StlMatrix, "matrix.txt");
  EXPECT_TRUE(w.host.Events.empty());
}

TEST(SettingsDefine, MissingKeysTakeTheirDefaults) {
  SettingsWorld w;
  w.Read();  // no settings file at all
  const Settings& s = w.settings;
  const InterferenceCheckSettings& c = w.checks;
  EXPECT_EQ(c.Interference, 1);
  EXPECT_EQ(c.ArborCheck, 0);
  EXPECT_EQ(c.HeightCheckType, 0);
  EXPECT_EQ(c.HeightCheckMargin, -0.1);
  EXPECT_EQ(c.Pairs, (std::array<int32_t, 25>{}));
  EXPECT_EQ(c.MachineCheckStops, 0);
  EXPECT_EQ(c.RapidFeedrate, 999999999.0);
  EXPECT_EQ(s.OptimizeDrawing, 1);
  EXPECT_EQ(s.TopPathColorMode, 1);
  EXPECT_EQ(s.NewControlPointD, 1);
  EXPECT_EQ(s.NewControlPoint, 0);
  EXPECT_EQ(s.SoundOn, 0);  // "SOUND" defaults to OFF
  EXPECT_EQ(s.BasicAxis, 1);
  EXPECT_EQ(s.ToolDialogZoomRate, 2.0);
  EXPECT_EQ(s.Pitch.AutoPitch, 0);
  EXPECT_EQ(s.Pitch.WorkPitch, 1.0);
  EXPECT_EQ(s.Pitch.MovePitch, 1.0);
  EXPECT_EQ(s.UndoDepth, 2);
  EXPECT_EQ(w.tools.Defined.size(), 201u);
  EXPECT_EQ(w.difference.Pen, 1);
  EXPECT_EQ(w.difference.PenColouring, 0);
  EXPECT_EQ(w.view.Azimuth, 315.0);
  EXPECT_NEAR(w.view.ElevationSin, std::sqrt(0.5), 1e-15);
  EXPECT_EQ(w.view.Perspective, 1);
  EXPECT_EQ(w.view.FixedViewCentre, 0);
  EXPECT_EQ(w.colors.Live, ColorSet{});
  EXPECT_EQ(w.colors.WorkAlpha, 0.5f);
}

TEST(SettingsDefine, WordCodings) {
  struct Case {
    std::string_view line;
    int32_t InterferenceCheckSettings::*member;
    int32_t expected;
  };
  const Case cases[] = {
      {"TOOL-VICE CHECK=stop", nullptr, 2},  // the first pair value
      {"TOOL-VICE CHECK=STOPPING", nullptr, 2},
      {"TOOL-VICE CHECK=YES", nullptr, 1},
      {"TOOL-VICE CHECK=NOT NOW", nullptr, 0},
      {"TOOL-VICE CHECK=whatever", nullptr, 1},
      {"INTERFERENCE=ARBOR", &InterferenceCheckSettings::Interference, 0},
      {"INTERFERENCE=TOOL", &InterferenceCheckSettings::Interference, 1},
      {"INTERFERENCE=", &InterferenceCheckSettings::Interference, 1},
      {"ARBOR CHECK=OUTPUT", &InterferenceCheckSettings::ArborCheck, 1},
      {"ARBOR CHECK=STOP", &InterferenceCheckSettings::ArborCheck, 4},
      {"ARBOR CHECK=YES", &InterferenceCheckSettings::ArborCheck, 3},
      {"HEIGHT CHECK=maybe", &InterferenceCheckSettings::HeightCheck, 2},
      {"SPINDLE CHECK=STOP", &InterferenceCheckSettings::SpindleCheck, 2},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.Read(Join({"[Define]\n", c.line, "\n"}));
    const int32_t actual = c.member ? w.checks.*c.member : w.checks.Pairs[0];
    EXPECT_EQ(actual, c.expected) << c.line;
  }
}

TEST(SettingsDefine, MachineCheckFlagFollowsEveryStoppingCheck) {
  using Set = void (*)(InterferenceCheckSettings&);
  const Set stoppers[] = {
      [](InterferenceCheckSettings& c) { c.Interference = 2; },
      [](InterferenceCheckSettings& c) { c.ArborCheck = 4; },
      [](InterferenceCheckSettings& c) { c.HeightCheck = 3; },
      [](InterferenceCheckSettings& c) { c.ChipWidthCheck = 3; },
      [](InterferenceCheckSettings& c) { c.SpindleCheck = 2; },
      [](InterferenceCheckSettings& c) { c.Pairs[24] = 2; },
      [](InterferenceCheckSettings& c) {
        c.PartChecks = {0, 1, 2};
      },
  };
  for (size_t i = 0; i < std::size(stoppers); ++i) {
    InterferenceCheckSettings checks;
    checks.MachineCheckStops = 1;
    UpdateMachineCheckFlag(checks);
    EXPECT_EQ(checks.MachineCheckStops, 0);
    stoppers[i](checks);
    UpdateMachineCheckFlag(checks);
    EXPECT_EQ(checks.MachineCheckStops, 1) << "case " << i;
  }
}

TEST(SettingsDefine, HeightCheckTypeMargin) {
  struct Case {
    std::string_view value;
    int32_t type;
    double margin;
  };
  const Case cases[] = {
      {"B0.5", 1, 0.5}, {"b", 1, -0.1}, {"B0", 0, 0.0}, {"B -0.2", 1, -0.2},
      {"B.", 1, -0.1},  {"C", 2, -0.1}, {"A", 0, -0.1},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.Read(Join({"[Define]\nHEIGHT CHECK TYPE=", c.value, "\n"}));
    EXPECT_EQ(w.checks.HeightCheckType, c.type) << c.value;
    EXPECT_EQ(w.checks.HeightCheckMargin, c.margin) << c.value;
  }
}

TEST(SettingsDefine, DifferencePens) {
  struct Case {
    std::string_view colour, target;
    int32_t colouring, pen, byPen, targetPen;
  };
  const Case cases[] = {
      {"PEN16", "PEN0", 1, 1, 1, 1},
      {"PEN15", "PEN 12", 1, 15, 1, 12},
      {"PENKI", "NO", 0, 1, 0, 1},
      {"pen3", "pen", 1, 3, 1, 1},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.Read(Join({"[Define]\nDIFFERENCE COLOR=", c.colour, "\nDIFFERENCE TARGET=", c.target, "\n"}));
    EXPECT_EQ(w.difference.PenColouring, c.colouring) << c.colour;
    EXPECT_EQ(w.difference.Pen, c.pen) << c.colour;
    EXPECT_EQ(w.difference.TargetByPen, c.byPen) << c.target;
    EXPECT_EQ(w.difference.TargetPen, c.targetPen) << c.target;
  }
}

TEST(SettingsDefine, UnusableSizesAndPitchesAreCorrectedAndLogged) {
  struct Case {
    std::string_view lines;
    int32_t undoDepth, maxTool;
    double workPitch, movePitch;
    bool logged;
  };
  const Case cases[] = {
      {"UNDO=0\n", 1, 200, 1.0, 1.0, false},
      {"UNDO=-5\n", 1, 200, 1.0, 1.0, true},
      {"UNDO=2147483647\n", kMaxUndoDepth, 200, 1.0, 1.0, true},
      {"MAX MAGAZINE=-5\n", 2, 200, 1.0, 1.0, true},
      {"MAX MAGAZINE=0\n", 2, 0, 1.0, 1.0, false},
      {"MAX MAGAZINE=100000\n", 2, kMaxMagazineLimit, 1.0, 1.0, true},
      {"PITCH(WORK)=0\nPITCH(MOVE)=-1\n", 2, 200, 1.0, 1.0, true},
      {"PITCH(WORK)=2\nPITCH(MOVE)=AUTO0.5\n", 2, 200, 2.0, 1.0, false},
      {"PITCH(WORK)=2\nPITCH(MOVE)=AUTO\n", 2, 200, 2.0, 2.0, false},
      {"PITCH(WORK)=0.5\nPITCH(MOVE)=0.25\n", 2, 200, 0.5, 0.25, false},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.Read(Join({"[Define]\n", c.lines}));
    EXPECT_EQ(w.settings.UndoDepth, c.undoDepth) << c.lines;
    EXPECT_EQ(w.settings.UndoListFlags.size(), static_cast<size_t>(c.undoDepth)) << c.lines;
    EXPECT_EQ(w.tools.MaxToolNumber, c.maxTool) << c.lines;
    EXPECT_EQ(w.tools.Defined.size(), static_cast<size_t>(c.maxTool) + 1) << c.lines;
    EXPECT_EQ(w.settings.Pitch.WorkPitch, c.workPitch) << c.lines;
    EXPECT_EQ(w.settings.Pitch.MovePitch, c.movePitch) << c.lines;
    EXPECT_EQ(!w.host.Texts(RecordingHost::Call::kLog).empty(), c.logged) << c.lines;
  }
}

TEST(SettingsDefine, AutomaticPitchBudget) {
  struct Case {
    std::string_view value;
    uint32_t budget;
  };
  const Case cases[] = {
      {"AUTO", 20000}, {"AUTO 0", 20000}, {"AUTO-5", 20000}, {"auto 50000", 50000}};
  for (const Case& c : cases) {
    SettingsWorld w;
    w.settings.Pitch.WorkPitch = 3.0;
    w.Read(Join({"[Define]\nPITCH(WORK)=", c.value, "\n"}));
    EXPECT_EQ(w.settings.Pitch.AutoPitch, 1) << c.value;
    EXPECT_EQ(w.settings.Pitch.ValueBudget, c.budget) << c.value;
    EXPECT_EQ(w.settings.Pitch.WorkPitchSetting, 1.0) << c.value;
  }
}

}  // namespace
}  // namespace vestan
