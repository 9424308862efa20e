#include "model/work_pitch.h"

#include <gtest/gtest.h>

#include <limits>

namespace vestan {
namespace {

PitchSettings Automatic(uint32_t budget = 20000, double minimum = 0) {
  PitchSettings s;
  s.AutoPitch = 1;
  s.ValueBudget = budget;
  s.MinimumPitch = minimum;
  s.WorkPitchSetting = 1.0;
  return s;
}

WorkExtent Extent(double dx, double dy, double dz) {
  return {{-1, 2, 3}, {dx - 1, dy + 2, dz + 3}};
}

TEST(WorkPitch, AutomaticChoiceTakesTheFinestPitchWithinTheBudget) {
  struct Case {
    const char* name;
    WorkExtent extent;
    uint32_t budget;
    double minimum;
    double expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      // 1.0 gives 101 x 101 x 51 points and 41006 values; 1.5 gives 18496.
      {"100 x 100 x 50", Extent(100, 100, 50), 20000, 0, 1.5},
      // 0.01 gives 61206 values, 0.02 gives 15606.
      {"1 x 1 x 1", Extent(1, 1, 1), 20000, 0, 0.02},
      {"1 x 1 x 1 with minimum", Extent(1, 1, 1), 20000, 0.05, 0.05},
      {"minimum equal to the choice", Extent(1, 1, 1), 20000, 0.02, 0.02},
      {"minimum below the choice", Extent(1, 1, 1), 20000, 0.01, 0.02},
      {"a point still has two grid points per axis", Extent(0, 0, 0), 24, 0, 0.001},
      {"budget below the smallest model", Extent(0, 0, 0), 23, 0, 1.0},
      // In 32 bits 0.002 wraps to a small count here and would be taken.
      {"counts that wrap 32 bits", Extent(21, 21, 194), 20000, 0, 1.0},
      {"huge extent", Extent(1e300, 1, 1), 4000000000u, 0, 1.0},
      {"infinite extent", Extent(inf, 1, 1), 4000000000u, 0, 1.0},
      // -10 / p + 1.5 is negative (too large) up to 4.0 and truncates to 0
      // (raised to 2 points) at 5.0.
      {"reversed extent", {{10, 0, 0}, {0, 10, 10}}, 20000, 0, 5.0},
  };
  for (const Case& c : cases) {
    PitchSettings s = Automatic(c.budget, c.minimum);
    ChooseWorkPitch(s, c.extent);
    EXPECT_EQ(s.WorkPitch, c.expected) << c.name;
    EXPECT_EQ(s.WorkPitchSetting, c.expected) << c.name;
  }
}

TEST(WorkPitch, NoCandidateFittingKeepsTheLastSettingAndStillAppliesTheMinimum) {
  PitchSettings s = Automatic(100, 0.5);
  s.WorkPitchSetting = 0.25;
  ChooseWorkPitch(s, Extent(1000, 1000, 1000));
  EXPECT_EQ(s.WorkPitch, 0.5);
  EXPECT_EQ(s.WorkPitchSetting, 0.5);
}

TEST(WorkPitch, GivenPitchIsUsedAsItIs) {
  PitchSettings s;
  s.WorkPitchSetting = 0.003;
  s.MinimumPitch = 0.05;  // not applied to a given pitch
  s.MovePitch = 0.7;
  ChooseWorkPitch(s, Extent(100, 100, 100));
  EXPECT_EQ(s.WorkPitch, 0.003);
  EXPECT_EQ(s.WorkPitchSetting, 0.003);
  EXPECT_EQ(s.MovePitch, 0.7);  // not linked
}

TEST(WorkPitch, LinkedMovePitchFollowsTheWorkPitch) {
  PitchSettings s;
  s.WorkPitchSetting = 2;
  s.MovePitchLinked = 1;
  s.MovePitchFactor = 0.5;
  ChooseWorkPitch(s, Extent(10, 10, 10));
  EXPECT_EQ(s.MovePitch, 1);

  PitchSettings a = Automatic();
  a.MovePitchLinked = 1;
  a.MovePitchFactor = 2;
  ChooseWorkPitch(a, Extent(100, 100, 50));
  EXPECT_EQ(a.MovePitch, 3);
}

}  // namespace
}  // namespace vestan
