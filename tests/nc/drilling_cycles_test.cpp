// Canned cycles against point lists written out by hand: each point a rapid
// (R) or a feed (F) to a position.
#include "nc/drilling_cycles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/recording_host.h"

namespace vestan {
namespace {

constexpr int32_t R = 0;  // rapid
constexpr int32_t F = 1;  // feed

using Points = std::vector<CyclePoint>;

// A G98 cycle in G17 from (10, 20, 50), the hole where it stands: R 5, Z -20.
DrillingCycle Cycle(int32_t code) {
  DrillingCycle c;
  c.Code = code;
  c.Start = {10, 20, 50, 0, 0};
  c.End = {10, 20, 50, 0, 0};
  c.RPoint = 5;
  c.Depth = -20;
  c.InitialLevel = 50;
  c.ReturnLevelMode = kReturnToInitial;
  return c;
}

// The same started at the R level.
DrillingCycle AtR(int32_t code) {
  DrillingCycle c = Cycle(code);
  c.Start[2] = 5;
  return c;
}

DrillingCycleSettings Settings(double d73 = 0.5, double d83 = 1.0) {
  DrillingCycleSettings s;
  s.ChipBreakReturn = d73;
  s.PeckReturn = d83;
  return s;
}

// Points on the hole (10, 20) at levels.
Points AtHole(std::initializer_list<std::pair<int32_t, double>> levels, double x = 10,
              double y = 20) {
  Points points;
  for (const auto& [mode, z] : levels) points.push_back({mode, {x, y, z}});
  return points;
}

void ExpectPoints(const Points& got, const Points& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Mode, want[i].Mode) << what << " point " << i;
    for (size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(got[i].Position[k], want[i].Position[k], 1e-9)
          << what << " point " << i << " [" << k << "]";
  }
}

// Both passes: the count, then the fill into a queue sized as the motion
// driver sizes it (1000, or the count and 10 more up to the bound).
Points Expand(const DrillingCycle& cycle, const DrillingCycleSettings& settings,
              RecordingHost& host) {
  Points ignored;
  const int32_t count = ExpandDrillingCycle(false, cycle, settings, 0, ignored, host);
  EXPECT_TRUE(ignored.empty());
  const size_t capacity = std::max(
      kCyclePointCapacity, std::min(static_cast<size_t>(count) + 10, kMaxCyclePointCapacity));
  Points points;
  const int32_t filled = ExpandDrillingCycle(true, cycle, settings, capacity, points, host);
  EXPECT_EQ(filled, count);
  EXPECT_EQ(points.size(), static_cast<size_t>(count));
  return points;
}

struct CycleCase {
  const char* name;
  DrillingCycle cycle;
  DrillingCycleSettings settings;
  Points expected;
};

DrillingCycle With(DrillingCycle c, double peck, int32_t returnMode = kReturnToInitial) {
  c.Peck = peck;
  c.ReturnLevelMode = returnMode;
  return c;
}

TEST(ExpandDrillingCycle, HandWrittenPointLists) {
  DrillingCycle fromAbove = Cycle(81);
  fromAbove.Start = {0, 0, 50, 0, 0};
  DrillingCycleSettings clearance = Settings();
  clearance.Clearance[81 - 70] = 2;

  const std::vector<CycleCase> cases{
      // At the hole and at R: one feed to Z, one rapid to the return level.
      {"G81 at R", AtR(81), Settings(), AtHole({{F, -20}, {R, 50}})},
      {"G81 from elsewhere", fromAbove, Settings(), AtHole({{R, 50}, {R, 5}, {F, -20}, {R, 50}})},
      {"G81 G99", With(Cycle(81), 0, kReturnToR), Settings(), AtHole({{R, 5}, {F, -20}, {R, 5}})},
      {"G81 with clearance 2", Cycle(81), clearance, AtHole({{R, 5}, {R, 3}, {F, -20}, {R, 50}})},
      // Q deeper than the hole: one feed and the retract.
      {"G83 Q30", With(AtR(83), 30), Settings(), AtHole({{F, -20}, {R, 50}})},
      // Pecks to 5 - 10k, back to R and down to 1 above the last.
      {"G83 Q10", With(AtR(83), 10), Settings(),
       AtHole({{F, -5}, {R, 5}, {R, -4}, {F, -15}, {R, 5}, {R, -14}, {F, -20}, {R, 50}})},
      // Chip breaking: up by 0.5 after each peck.
      {"G73 Q10", With(AtR(73), 10), Settings(),
       AtHole({{F, -5}, {R, -4.5}, {F, -15}, {R, -14.5}, {F, -20}, {R, 50}})},
      // G85 feeds back out to R, then (G98) rapids to the initial level.
      {"G85 G98", AtR(85), Settings(), AtHole({{F, -20}, {F, 5}, {R, 50}})},
      {"G85 G99", With(AtR(85), 0, kReturnToR), Settings(), AtHole({{F, -20}, {F, 5}})},
      // No drilling move, only the retract.
      {"G78", AtR(78), Settings(), AtHole({{F, 5}, {R, 50}})},
  };
  for (const CycleCase& c : cases) {
    RecordingHost host;
    ExpectPoints(Expand(c.cycle, c.settings, host), c.expected, c.name);
    EXPECT_TRUE(host.Texts(RecordingHost::Call::kLog).empty()) << c.name;
  }
}

TEST(ExpandDrillingCycle, RepeatsAndPlanes) {
  RecordingHost host;
  {  // G91 X10 K3: each hole moves on by the increment; G99 becomes G98.
    DrillingCycle c = Cycle(81);
    c.Start = {0, 0, 50, 0, 0};
    c.End = {10, 0, 50, 0, 0};
    c.Incremental = 1;
    c.RPoint = -45;  // R = 50 - 45
    c.Depth = -25;   // Z = R - 25
    c.Repeat = 3;
    c.ReturnLevelMode = kReturnToR;
    Points want;
    for (double x : {10.0, 20.0, 30.0})
      for (const CyclePoint& p : AtHole({{R, 50}, {R, 5}, {F, -20}, {R, 50}}, x, 0))
        want.push_back(p);
    ExpectPoints(Expand(c, Settings(), host), want, "K3 incremental");
  }
  {  // Absolute K2: the same hole twice.
    DrillingCycle c = Cycle(81);
    c.Repeat = 2;
    ExpectPoints(Expand(c, Settings(), host),
                 AtHole({{R, 5}, {F, -20}, {R, 50}, {R, 5}, {F, -20}, {R, 50}}), "K2 absolute");
    c.Repeat = 0;
    EXPECT_TRUE(Expand(c, Settings(), host).empty());
  }
  {  // G18: the hole on Z and X, the levels along Y.
    DrillingCycle c = Cycle(81);
    c.PlaneAxes = {2, 0, 1};
    c.Start = {0, 50, 0, 0, 0};
    c.End = {10, 50, 20, 0, 0};
    ExpectPoints(Expand(c, Settings(), host),
                 {{R, {10, 50, 20}}, {R, {10, 5, 20}}, {F, {10, -20, 20}}, {R, {10, 50, 20}}},
                 "G18");
  }
  {  // The third level.
    DrillingCycle c = With(AtR(81), 0, kReturnToThird);
    c.ThirdLevel = 30;
    ExpectPoints(Expand(c, Settings(), host), AtHole({{F, -20}, {R, 30}}), "third level");
  }
}

TEST(ExpandDrillingCycle, HeidenhainCycles) {
  RecordingHost host;
  DrillingCycleSettings h = Settings();
  h.CycleKind = kCycleKindHeidenhain;
  h.Clearance[73 - 70] = 2;  // not used by this kind
  {  // G73: R the initial level 50, Z = 50 - 2 - 100; Q 40 returns by 40 / 50.
    DrillingCycle c = With(Cycle(73), 40);
    c.RPoint = 2;
    c.Depth = -100;
    ExpectPoints(Expand(c, h, host),
                 AtHole({{F, 10}, {R, 10.8}, {F, -30}, {R, -29.2}, {F, -52}, {R, 50}}), "Q40");
    // Q 500 returns by at most 7: Z = 50 - 2 - 1100.
    c.Peck = 500;
    c.Depth = -1100;
    ExpectPoints(Expand(c, h, host),
                 AtHole({{F, -450}, {R, -443}, {F, -950}, {R, -943}, {F, -1052}, {R, 50}}), "Q500");
    // Small pecks return by 0.6.
    c.Peck = 30;
    c.Depth = -60;  // Z = -12
    ExpectPoints(Expand(c, h, host),
                 AtHole({{F, 20}, {R, 20.6}, {F, -10}, {R, -9.4}, {F, -12}, {R, 50}}), "Q30");
  }
  {  // Cycle 200: R = Q203 + Q200, Z = Q203 + Q201, back to Q203 + Q204;
     // pecks of 8 from the surface, returning Q200 above the last.
    DrillingCycle c = With(Cycle(200), 8);
    c.Q200 = 2;
    c.Q201 = -20;
    c.Q203 = 0;
    c.Q204 = 40;
    ExpectPoints(
        Expand(c, h, host),
        AtHole({{R, 2}, {F, -8}, {R, 2}, {R, -6}, {F, -16}, {R, 2}, {R, -14}, {F, -20}, {R, 40}}),
        "200");
    // Cycle 201 drills in one feed and leaves by rapid, to Q203 + Q204 even
    // under G99; 207 feeds back out to R first, and G99 stops there.
    c.Code = 201;
    c.ReturnLevelMode = kReturnToR;
    ExpectPoints(Expand(c, h, host), AtHole({{R, 2}, {F, -20}, {R, 40}}), "201");
    c.Code = 207;
    ExpectPoints(Expand(c, h, host), AtHole({{R, 2}, {F, -20}, {F, 2}}), "207 G99");
    c.ReturnLevelMode = kReturnToInitial;
    ExpectPoints(Expand(c, h, host), AtHole({{R, 2}, {F, -20}, {F, 2}, {R, 40}}), "207");
  }
}

TEST(ExpandDrillingCycle, AlternativePeckSeries) {
  RecordingHost host;
  DrillingCycle c = AtR(83);
  c.Depth = -10;
  c.AlternativePeck = 1;
  c.AlternativeStep = 3;
  c.AlternativeReturn = 5;
  // Steps of 3 from R 5 with 0.5 back after each, and after 5 drilled in a
  // series back to R and down to 1 above.
  ExpectPoints(Expand(c, Settings(), host),
               AtHole({{F, 2},
                       {R, 2.5},
                       {F, -1},
                       {R, 5},
                       {R, 0},
                       {F, -4},
                       {R, -3.5},
                       {F, -7},
                       {R, 5},
                       {R, -6},
                       {F, -10},
                       {R, 50}}),
               "alternative");
  c.AlternativeStep = 0;  // no step: the plain G83 with Q 30
  c.Peck = 30;
  ExpectPoints(Expand(c, Settings(), host), AtHole({{F, -10}, {R, 50}}), "no step");
}

TEST(ExpandDrillingCycle, SkipCuttingDrillsEachSeriesInOneFeed) {
  for (int32_t mode : {2, 3}) {
    RecordingHost host;
    DrillingCycleSettings s = Settings();
    s.CuttingMode = mode;
    ExpectPoints(Expand(With(AtR(83), 2.5), s, host), AtHole({{F, -20}, {R, 50}}),
                 "mode " + std::to_string(mode));
    ExpectPoints(Expand(With(AtR(73), 2.5), s, host), AtHole({{F, -20}, {R, 50}}),
                 "G73 mode " + std::to_string(mode));
  }
}

TEST(ExpandDrillingCycle, APeckThatNeverReachesTheDepthDrillsOnce) {
  // Feeding to R - kQ never reaches Z when Q is 0, negative or no number.
  for (double peck : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
    for (int32_t code : {73, 83}) {
      RecordingHost host;
      std::string what = "G";
      what += std::to_string(code);
      what += " Q";
      what += std::to_string(peck);
      ExpectPoints(Expand(With(AtR(code), peck), Settings(), host), AtHole({{F, -20}, {R, 50}}),
                   what);
    }
  }
  RecordingHost host;
  DrillingCycle c = With(Cycle(200), -8);
  c.Q201 = -20;
  DrillingCycleSettings h = Settings();
  h.CycleKind = kCycleKindHeidenhain;
  ExpectPoints(Expand(c, h, host), AtHole({{R, 0}, {F, -20}, {R, 0}}), "200 Q-8");
}

TEST(ExpandDrillingCycle, TheCountStopsAtItsBoundWithAWarning) {
  {  // 250,000 pecks of 0.0001: the pecking ends in one feed within the bound.
    RecordingHost host;
    Points ignored;
    const DrillingCycle c = With(AtR(83), 0.0001);
    const int32_t count = ExpandDrillingCycle(false, c, Settings(), 0, ignored, host);
    EXPECT_LE(count, static_cast<int32_t>(kMaxCyclePointCapacity));
    EXPECT_GT(count, static_cast<int32_t>(kMaxCyclePointCapacity) - 10);
    ASSERT_EQ(host.Texts(RecordingHost::Call::kLog).size(), 1u);
    EXPECT_NE(host.Texts(RecordingHost::Call::kLog)[0].find("G83"), std::string::npos);
    EXPECT_NE(host.Texts(RecordingHost::Call::kLog)[0].find("50000"), std::string::npos);
    // A smaller queue: its pecking stops 5 short and the hole still ends.
    Points points;
    // Three points a peck while more than 5 are left: 332 pecks, 996
    // points, then the feed to depth and the retract.
    EXPECT_EQ(ExpandDrillingCycle(true, c, Settings(), 1000, points, host), 998);
    ASSERT_EQ(points.size(), 998u);
    EXPECT_EQ(points[996].Mode, F);
    EXPECT_EQ(points[996].Position[2], -20);
    EXPECT_EQ(points[997].Mode, R);
    EXPECT_EQ(points[997].Position[2], 50);
    EXPECT_EQ(host.Texts(RecordingHost::Call::kLog).size(),
              1u);  // the counting pass warns, not the fill
  }
  {  // Holes beyond the bound are left out.
    RecordingHost host;
    Points ignored;
    DrillingCycle c = Cycle(81);
    c.Incremental = 1;
    c.End[0] += 1;
    c.RPoint = -45;
    c.Depth = -25;
    c.Repeat = 1000000;
    EXPECT_EQ(ExpandDrillingCycle(false, c, Settings(), 0, ignored, host),
              static_cast<int32_t>(kMaxCyclePointCapacity));
    EXPECT_EQ(host.Texts(RecordingHost::Call::kLog).size(), 1u);
  }
}

}  // namespace
}  // namespace vestan
