// NURBS curves of G6.2 blocks: the basis, the curve read from its lines and
// cut span by span, and the curves refused.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "nc/motion_driver.h"
#include "nc/nurbs.h"
#include "simulation/move_steps.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

// The clamped quadratic on knots 0 0 0 1 1 2 2 2 whose control X are the
// knot averages (0, 0.5, 1, 1.5, 2): x(t) = t.
NurbsCurve QuadraticLine() {
  NurbsCurve curve;
  AllocNurbsBuffers(curve);
  curve.Order = 3;
  curve.PointCount = 5;
  curve.KnotCount = 8;
  const std::array<double, 8> knots{0, 0, 0, 1, 1, 2, 2, 2};
  std::copy(knots.begin(), knots.end(), curve.Knots.begin());
  for (size_t j = 0; j < 5; ++j) {
    curve.X[j] = 0.5 * static_cast<double>(j);
    curve.Weights[j] = 1.0;
  }
  return curve;
}

TEST(NurbsCurve, BasisPointsAndLengths) {
  NurbsCurve curve = QuadraticLine();
  std::array<double, 3> basis{};
  ComputeBsplineBasis(curve, 3, 2, 0.5, basis);
  EXPECT_EQ(basis, (std::array<double, 3>{0.25, 0.5, 0.25}));
  const ControllerDefinition controller;
  for (const double t : {0.0, 0.3, 0.75, 1.0}) {
    AxisPosition at{};
    ASSERT_TRUE(EvaluateNurbsPoint(curve, controller, 3, 2, t, at));
    EXPECT_DOUBLE_EQ(at[0], t);
  }
  // The repeated inner knot leaves span 3 of zero width out of the length.
  EXPECT_DOUBLE_EQ(GetNurbsCurveLength(curve, controller), 2.0);
  // A point whose weighted basis sums to 0 is no point.
  std::fill(curve.Weights.begin(), curve.Weights.begin() + 5, 0.0);
  AxisPosition at{7, 7, 7, 7, 7};
  EXPECT_FALSE(EvaluateNurbsPoint(curve, controller, 3, 2, 0.5, at));
  EXPECT_EQ(at, (AxisPosition{7, 7, 7, 7, 7}));
}

struct NurbsRun {
  testing::FolderSession Run;
  Session& S = Run.S;
  std::string Trace;

  NurbsRun() {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Settings.Pitch.MovePitch = 0.3;
    S.Defs.Settings.IgnoreG00 = 1;
  }
  void Program(const std::string& text) {
    testing::StartProgram(S, Run.Folder.Write("n.nc", "%\n" + text + "M30\n%\n"));
    S.Pass->Steps.PoseTrace = &Trace;
    NcModalState& modal = S.Nc.Modal;
    while (modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
      NextNcMove(S.Nc, NcPassOf(S), S.Pass->Reader, S.Pass->Driver);
      if (modal.AlarmCode != kAlarmNone || modal.EndState == kEndHandled) break;
      if (SimulateMove(S) != MoveEnd::kNone) break;
    }
  }
};

TEST(NurbsCurve, ReadFromItsLinesAndCutSpanBySpanLandingOnTheKnots) {
  NurbsRun run;
  // Order 3, five points; Y and Z given on the first line only.
  run.Program(
      "G90 G54 G00 X0 Y0 Z10.\n"
      "G6.2 P3 K0 X0 Y0 Z10. R1. F500\n"
      "K0 X0.5\nK0 X1.\nK1. X1.5\nK1. X2.\nK2.\nK2.\nK2.\n");
  const NurbsCurve& curve = run.S.Nc.Nurbs;
  EXPECT_EQ(curve.Order, 3);
  EXPECT_EQ(curve.PointCount, 5);
  EXPECT_EQ(curve.KnotCount, 8);
  EXPECT_EQ(curve.Z[4], 10.0);
  EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone);
  // Spans [0, 1] and [1, 2] of length 1 take 4 steps each at 0.3; the
  // zero-width span between them is skipped.
  std::string expected;
  for (const double t : {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0}) {
    char line[128];
    std::snprintf(line, sizeof line, "%.4f -50.0000 120.0000 0.0000 0.0000 1.0000 2\n", t - 50);
    expected += line;
  }
  EXPECT_EQ(run.Trace, expected);
  EXPECT_EQ(run.S.Nc.Run.MotionMode, kMotionRapid);
}

TEST(NurbsCurve, OrderDefaultsToFour) {
  NurbsRun run;
  run.Program("G00 X0 Y0 Z10.\nG6.2 K0 X0 Y0 Z10.\nK0 X1.\nK0 X2.\nK0 X3.\nK1.\nK1.\nK1.\nK1.\n");
  EXPECT_EQ(run.S.Nc.Nurbs.Order, 4);
  EXPECT_EQ(run.S.Nc.Nurbs.KnotCount, 8);
  EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone);
}

TEST(NurbsCurve, FeedOfTheFirstLineFollowsTheFeedrateMode) {
  struct Case {
    int32_t Mode;  // DIRECT, INDIRECT, AUTO1, AUTO2
    const char* F;
    double Feed;
  };
  const std::vector<Case> cases = {
      {0, "F5", 5.0},    {1, "F5", 750.0},  {1, "F50", 300.0}, {2, "F5", 750.0},
      {2, "F50", 50.0},  {3, "F50", 300.0}, {3, "F500", 500.0}, {1, "F1000", 0.0},
  };
  for (const Case& c : cases) {
    NurbsRun run;
    run.S.Defs.Controller.FeedrateMode = c.Mode;
    run.S.Memory.Offsets.FTable[5] = 750.0f;
    run.S.Memory.Offsets.FTable[50] = 300.0f;
    run.Program(std::string("G90 G54 G00 X0 Y0 Z10.\nG6.2 P3 K0 X0 Y0 Z10. R1. ") + c.F +
                "\nK0 X0.5\nK0 X1.\nK1.\nK1.\nK1.\n");
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNone) << c.Mode << " " << c.F;
    EXPECT_EQ(run.S.Nc.Modal.Feed, c.Feed) << c.Mode << " " << c.F;
  }
}

TEST(NurbsCurve, CurvesBeyondTheBuffersOrWithoutWeightAreRefused) {
  std::string many = "G6.2 P3 K0 X0 Y0 Z10.\n";
  for (int j = 1; j <= 1000; ++j) many += "K0 X" + std::to_string(j) + ".\n";
  const std::vector<std::string> programs = {
      "G6.2 P17 K0 X0 Y0 Z10.\nK0 X1.\nK1.\n",
      "G6.2 P0 K0 X0 Y0 Z10.\nK0 X1.\nK1.\n",
      "G6.2 P3 K0 X0 Y0 Z10. R0\nK0 X1.\nK1.\n",
      "G6.2 P3 K0 X0 Y0 Z10.\nK0 X1. R-1.\nK1.\n",
      many,
  };
  for (const std::string& program : programs) {
    NurbsRun run;
    run.Program("G00 X0 Y0 Z10.\n" + program);
    EXPECT_EQ(run.S.Nc.Modal.AlarmCode, kAlarmNurbsData) << program.substr(0, 40);
    EXPECT_TRUE(run.Trace.empty());
  }
}

}  // namespace
}  // namespace vestan
