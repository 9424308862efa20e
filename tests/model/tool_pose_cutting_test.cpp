#include "model/tool_pose_cutting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/box_models.h"
#include "model/cut_statistics.h"
#include "model/cut_world.h"
#include "model/model_history.h"
#include "model/reference_kernel/reference_kernel.h"
#include "model/tool_world.h"

namespace vestan {
namespace {

using testing::CutWorld;
using testing::ExpectSameModel;
using testing::ExpectValues;
using testing::ToolWorld;
using namespace vestan::testing;  // fixture tool numbers

const Vec3 kUp{0, 0, 1};

// A cut world whose current tool comes from the fixture table.
struct PoseWorld : CutWorld {
  ToolWorld Tools;
  PoseWorld() {
    Tools.ReadFixtureTable();
    Run.MotionMode = 1;
  }
  void Use(int32_t tool) {
    Tools.Set(tool);
    Tool = Tools.Current;
  }
  void Pose(const Vec3& tip, const Vec3& axis = kUp) {
    if (Reference)
      reference::CutToolPoseIntoModel(Cut, Model(), tip, axis);
    else
      CutToolPoseIntoModel(Cut, Model(), tip, axis);
  }
  // Cut with the kernel kept in the tests as it stood before its speed work.
  bool Reference = false;
};

TEST(ToolPoseCutting, GuardsLeaveEverythingAlone) {
  struct Case {
    const char* name;
    void (*spoil)(PoseWorld&);
    Vec3 tip, axis;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"cutting off", [](PoseWorld& w) { w.Run.CuttingEnabled = 0; }, {10, 10, 8}, kUp},
      {"no workpiece", [](PoseWorld& w) { w.Document.WorkPresent = 0; }, {10, 10, 8}, kUp},
      {"work ignored", [](PoseWorld& w) { w.Document.WorkState = kWorkIgnored; }, {10, 10, 8}, kUp},
      {"tool undefined", [](PoseWorld& w) { w.Tool.Tool.Defined = 0; }, {10, 10, 8}, kUp},
      {"tip not finite", [](PoseWorld&) {}, {10, nan, 8}, kUp},
      {"axis not finite", [](PoseWorld&) {}, {10, 10, 8}, {0, 0, INFINITY}},
      {"axis zero", [](PoseWorld&) {}, {10, 10, 8}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    PoseWorld w;
    w.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
    w.Use(kFlatTool);
    w.Run.PoseRemovedVolume = 7;
    c.spoil(w);
    w.Pose(c.tip, c.axis);
    EXPECT_EQ(w.Column(kDirectionZ, 10, 10), (std::vector<double>{0, 10})) << c.name;
    EXPECT_EQ(w.Run.PoseRemovedVolume, 7) << c.name;
    EXPECT_EQ(w.Run.MoveCutFlag, 0) << c.name;
  }
}

TEST(ToolPoseCutting, AxisIsCleanedAndTheMainBoxOpensUpTheAxis) {
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 10}, 0.5);
  w.Use(kBallTool);  // radius 5: Point1 5 above the tip
  w.Pose({10, 10, 6}, {0, 0.0001, 1});
  EXPECT_EQ(w.Cut.Pose.Axis, kUp);
  // X and Y: Point1 -+ 5 in cells of 0.5; Z from 11 - 5 up to the extension.
  const std::array<int32_t, 6> box{10, 30, 10, 30, 12, static_cast<int32_t>((11 + 10000.0) / 0.5)};
  EXPECT_EQ(w.Cut.Pose.IndexBox, box);
  const CutGridContext& z = w.Cut.Grids[kContextZ];
  EXPECT_EQ(z.RangeU0, 10);
  EXPECT_EQ(z.RangeU1, 30);
  const CutGridContext& x = w.Cut.Grids[kContextX];
  EXPECT_EQ(x.RangeV0, 12);  // along Z
  EXPECT_EQ(x.RangeV1, 20);  // the grid's top
  // A ball on the column line through Point1: [11 - 5, 11 + 5] joined with
  // the body above it.
  EXPECT_EQ(w.Column(kDirectionZ, 20, 20), (std::vector<double>{0, 6}));
  EXPECT_GT(w.Run.PoseRemovedVolume, 0);
  EXPECT_EQ(w.Run.MoveCutFlag, 1);
  EXPECT_EQ(w.Run.ProcessCutFlags, (std::vector<int32_t>{1}));
}

// Radius of a default-chain tool (cone point, corner arc, taper) at height z
// above its tip, from the derived values of the set-up.
double ToolRadiusAt(const CurrentTool& t, double z) {
  if (t.BottomEdgeHeight > 0 && z < t.BottomEdgeHeight)
    return t.PointFlatRadius + z / t.BottomSlope;
  const double rc = t.CornerRadiusAbs;
  if (rc > 0 && z < t.UpperHeightA) {
    const double dz = t.FullRadiusHeight - z;
    return t.ArcCentreRadius + std::sqrt(std::max(0.0, rc * rc - dz * dz));
  }
  if (t.SideSlope > 0)
    return std::min(t.EnvelopeRadius, t.ArcTopRadius + (z - t.UpperHeightA) / t.SideSlope);
  return t.EnvelopeRadius;
}

// A straight slot of a vertical tool, length L along X, depth d: the swept
// profile L * int 2r dz plus the tool's own volume at the ends, pi int r^2 dz.
double SlotVolume(const CurrentTool& t, double length, double depth) {
  constexpr int kSteps = 20000;
  double sum = 0;
  for (int k = 0; k < kSteps; ++k) {
    const double r = ToolRadiusAt(t, (k + 0.5) * depth / kSteps);
    sum += (length * 2 * r + kPi * r * r) * depth / kSteps;
  }
  return sum;
}

TEST(ToolPoseCutting, StraightSlotMatchesTheAnalyticVolume) {
  constexpr double kPitch = 0.25, kLength = 20, kDepth = 4;
  for (int32_t tool : {kFlatTool, kBallTool, kBullTool, kDrillTool, kTaperBallTool}) {
    PoseWorld w;
    w.MakeBox({0, 0, 0, 40, 30, 20}, kPitch, 2);
    w.Use(tool);
    PushModelHistory(w.Model());
    double poses = 0;
    for (double x = 10; x <= 10 + kLength + 1e-9; x += kPitch) {
      w.Pose({x, 15, 20 - kDepth});
      poses += w.Run.PoseRemovedVolume;
    }
    const double expected = SlotVolume(w.Tool, kLength, kDepth);
    // One cell layer over the slot's surface.
    const double r = w.Tool.EnvelopeRadius;
    const double layer =
        kPitch * (2 * kLength * kDepth + 2 * r * kLength + 2 * kPi * r * kDepth + kPi * r * r);
    const std::string name = "tool " + std::to_string(tool);
    EXPECT_NEAR(poses, expected, layer) << name;
    EXPECT_NEAR(-ComputeCutAmountStats(w.Model()), expected, layer) << name;
    // The slot's walls: a Y line through the middle of the slot at half depth.
    const double half = ToolRadiusAt(w.Tool, kDepth / 2);
    ExpectValues(w.Column(kDirectionY, static_cast<int32_t>(18 / kPitch), 80),
                 {0, 15 - half, 15 + half, 30}, name);
  }
}

// Cutting the same pose again finds nothing left, for the kinds of the
// general cutter and a tilted axis.
TEST(ToolPoseCutting, ThePoseCutTwiceRemovesNothingTheSecondTime) {
  const double s = std::sin(kPi / 6), c = std::cos(kPi / 6);
  for (int32_t tool :
       {kFlatTool, kBallTool, kBullTool, kTaperBallTool, kDrillTool, kTThrowTool, kOvalTool}) {
    for (const Vec3& axis : {kUp, Vec3{s, 0, c}}) {
      PoseWorld w;
      w.MakeBox({0, 0, 0, 30, 30, 20}, 0.5);
      w.Use(tool);
      w.Pose({14.3, 15.1, 12.2}, axis);
      const std::string name =
          "tool " + std::to_string(tool) + " axis x " + std::to_string(axis[0]);
      EXPECT_GT(w.Run.PoseRemovedVolume, 0) << name;
      DexelModel before;
      before = w.Model();
      w.Run.MoveCutFlag = 0;
      w.Pose({14.3, 15.1, 12.2}, axis);
      EXPECT_EQ(w.Run.PoseRemovedVolume, 0) << name;
      EXPECT_EQ(w.Run.MoveCutFlag, 0) << name;
      ExpectSameModel(before, w.Model(), name);
    }
  }
}

TEST(ToolPoseCutting, FacesBeyondTheCuttingLengthAreMarked) {
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 50}, 1.0);
  w.Use(kFlatTool);  // cutting length 25, pen 0
  w.Run.CutFaceAttributes = {31, 31};
  w.Pose({10, 10, 10});
  // X lines 10 and 30 above the tip.
  EXPECT_EQ(w.Flags(kDirectionX, 10, 20), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(w.Flags(kDirectionX, 10, 40), (std::vector<uint8_t>{0, 1, 1, 0}));
  EXPECT_EQ(DexelColumnAttributes(w.Model().XSet(), w.ColumnIndex(kDirectionX, 10, 40))[1], 31);
  // In a canned-cycle feed nothing is marked.
  PoseWorld cycle;
  cycle.MakeBox({0, 0, 0, 20, 20, 50}, 1.0);
  cycle.Use(kFlatTool);
  cycle.Run.CycleFeedFlag = 1;
  cycle.Pose({10, 10, 10});
  EXPECT_EQ(cycle.Flags(kDirectionX, 10, 40), (std::vector<uint8_t>{0, 0, 0, 0}));
}

// FLAT 4 on a straight shank of 6 with a holder of 20, set by hand.
void UseShankedTool(PoseWorld& w, int32_t shankKind) {
  ToolTable& table = w.Tools.Table;
  table.Records[kFlatTool].Diameter = 4;
  table.Shanks[kFlatTool] = {shankKind, 40, 10, 5, 0, 0, 6, -1};
  table.Arbors[kFlatTool] = {1, kArborPairs, 1, {20}, {30}, {}};
  w.Use(kFlatTool);
}

TEST(ToolPoseCutting, ClearanceSearchesGrowTheLengthsAndCutNothing) {
  // The shank touches the stock up to z 30 while its search start lies
  // below: from the tip at 1.05 that is 28.95, so the search stops at 29.
  PoseWorld search, plain;
  for (PoseWorld* w : {&search, &plain}) {
    w->MakeBox({0, 0, 0, 20, 20, 30}, 1.0);
    UseShankedTool(*w, kShankStraight);
  }
  search.Checks.ArborCheck = 1;  // OUTPUT
  search.Pose({10, 10, 1.05});
  plain.Pose({10, 10, 1.05});
  EXPECT_NEAR(search.Lengths.ShankClearLength, 29.0, 1e-9);
  EXPECT_NEAR(search.Lengths.ArborClearLength, 29.0, 1e-9);  // raised to the shank's
  ExpectSameModel(plain.Model(), search.Model(), "search cuts nothing");
  EXPECT_EQ(search.Run.PoseRemovedVolume, plain.Run.PoseRemovedVolume);

  // Beside the grid the main pass is skipped, yet the holder, wider than the
  // tool, reaches the stock and its search grows alone.
  PoseWorld beside;
  beside.MakeBox({0, 0, 0, 20, 20, 30}, 1.0);
  UseShankedTool(beside, kShankStraight);
  beside.Checks.ArborCheck = 1;
  beside.Pose({-8, 10, 1.05});
  EXPECT_EQ(beside.Lengths.ShankClearLength, 0.0);
  EXPECT_NEAR(beside.Lengths.ArborClearLength, 29.0, 1e-9);
  EXPECT_EQ(beside.Column(kDirectionZ, 0, 10), (std::vector<double>{0, 30}));

  // A search that never clears stops at 499.
  PoseWorld tall;
  tall.MakeBox({0, 0, 0, 20, 20, 520}, 4.0);
  UseShankedTool(tall, kShankStraight);
  tall.Checks.ArborCheck = 1;
  tall.Pose({10, 10, 1.05});
  EXPECT_GE(tall.Lengths.ShankClearLength, 499.0);
  EXPECT_LT(tall.Lengths.ShankClearLength, 499.0 + 0.1);
}

TEST(ToolPoseCutting, NeckClearanceFollowsTheNeckCone) {
  // FLAT 10,25 LENGTH3 60,20,1,10,30,12: from 20 above the tip a neck cone
  // of 10 degrees (radius 5 + t / cot 10) over 1, then a 30-degree taper
  // to the shank of 12. One Z line 5.05 from the axis holds material at z
  // 20..20.25: the cone passes it beside once it runs 0.3 long (at 0.2 the
  // taper still reaches 5.064 there).
  PoseWorld w;
  MakeGrid(w.Model(), {0, 0, 0}, {41, 41, 61}, 0.5);
  ASSERT_TRUE(SetDexelColumnInSet(w.Model(), kDirectionZ, 30, 20, std::vector<double>{20, 20.25},
                                  std::vector<uint8_t>(2, 0), std::vector<int32_t>(2, 0)));
  w.Document.WorkPresent = 1;
  BindCutGrids(w.Cut.Grids, w.Model());
  ToolTable& table = w.Tools.Table;
  table.Records[kFlatTool].Diameter = 10;
  table.Shanks[kFlatTool] = {kShankAngled, 60, 20, 1, 10, 30, 12, -1};
  table.Arbors[kFlatTool].Present = 0;
  w.Use(kFlatTool);
  w.Checks.ArborCheck = 1;  // OUTPUT
  w.Pose({9.95, 10, 0});
  EXPECT_NEAR(w.Lengths.NeckClearLength, 0.3, 1e-9);
  EXPECT_NEAR(w.Lengths.ShankClearLength, 20.0, 1e-9);
  EXPECT_EQ(w.Column(kDirectionZ, 30, 20), (std::vector<double>{20, 20.25}));
}

TEST(ToolPoseCutting, BodyAndArborCutAndReportHits) {
  // The tool's axis at x -2.5 lies beside the stock: the cutter (radius 2)
  // misses it, the shank (radius 3) and the holder (radius 10) reach it.
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 30}, 1.0);
  UseShankedTool(w, kShankStraight);
  w.Checks.ArborCheck = 3;  // YES
  w.Pose({-2.5, 10, 1});
  // Z line x 0 lies 2.5 from the axis: the transition cone (radius 2 to 3
  // over 5 from 10 above the tip) reaches it 2.5 up, the shank follows.
  EXPECT_EQ(w.Column(kDirectionZ, 0, 10), (std::vector<double>{0, 13.5}));
  EXPECT_EQ(w.Flags(kDirectionZ, 0, 10), (std::vector<uint8_t>{0, 1}));
  EXPECT_EQ(w.Run.Hits.BodyHitFlag, 1);
  EXPECT_EQ(w.Run.Hits.ArborHitFlag, 0);  // the holder starts 40 above the tip
  EXPECT_GT(w.Run.PoseRemovedVolume, 0);
  EXPECT_EQ(w.Run.MoveCutFlag, 1);
  w.Pose({-2.5, 10, -20});  // the holder now starts at z 20
  EXPECT_EQ(w.Run.Hits.ArborHitFlag, 1);
  EXPECT_EQ(w.Column(kDirectionZ, 5, 10), (std::vector<double>{0, 20}));

  // Cutting shanks (12, 13) cut even with ARBOR CHECK NO; a plain one does
  // not. The angled form without angles has a straight neck of the cutter's
  // radius, so only its shank reaches the line.
  struct Case {
    int32_t kind;
    double top;
  };
  for (const Case c : {Case{kShankStraightCutting, 13.5}, Case{kShankAngledCutting, 16},
                       Case{kShankStraight, 30}}) {
    PoseWorld k;
    k.MakeBox({0, 0, 0, 20, 20, 30}, 1.0);
    UseShankedTool(k, c.kind);
    k.Pose({-2.5, 10, 1});
    EXPECT_EQ(k.Column(kDirectionZ, 0, 10), (std::vector<double>{0, c.top})) << c.kind;
  }
}

TEST(ToolPoseCutting, HolderNarrowingFromTheShankIsBoxedToItsBase) {
  // An ARBOR2 step from the shank's radius 3 down to 1 over 30: its box must
  // reach 3 about the axis, not the step's own radius 1.
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 30}, 1.0);
  UseShankedTool(w, kShankStraight);
  w.Tool.Arbor = {1, kArborPairs2, 1, {2}, {30}, {}};
  w.Checks.ArborCheck = 2;
  w.Pose({10, 10, -20});
  // Z line 2 from the axis: the shank (to z 20) leaves [20, 30], the holder
  // is 2 wide there up to 15 above its base at z 20.
  EXPECT_EQ(w.Column(kDirectionZ, 12, 10), (std::vector<double>{}));
}

TEST(ToolPoseCutting, PoseVolumeIsThePosesOwn) {
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  w.Use(kFlatTool);
  w.Pose({10, 10, 8});
  EXPECT_GT(w.Run.PoseRemovedVolume, 0);
  w.Pose({40, 10, 8});  // beside the grid: nothing cut
  EXPECT_EQ(w.Run.PoseRemovedVolume, 0);
}

TEST(ToolPoseCutting, TThrowBladeWithEqualCornersIsCutWhole) {
  // D 20, corners of 1 at the tip and at the top of the blade, tip at z 6.
  struct Case {
    float blade;
    int direction;
    int32_t a, b;  // the line's grid indexes at pitch 0.5
    std::vector<double> column;
  };
  const double s = std::sqrt(0.75);  // a corner of 1 at 0.5 from its centre
  const Case cases[] = {
      // Blade 3: the X line 2.5 above the tip crosses the top corner at 9 +
      // sqrt(1 - 0.5^2) from the axis; the Z line 9.5 out meets both
      // corners, 1 -+ sqrt(0.75) above the tip and below the top.
      {3, kDirectionX, 20, 17, {0, 10 - 9 - s, 10 + 9 + s, 20}},
      {3, kDirectionZ, 39, 20, {0, 7 - s, 8 + s, 12}},
      // Blade 2, no flat: the Z line 5 out is cut over the whole blade.
      {2, kDirectionZ, 30, 20, {0, 6, 8, 12}},
  };
  for (const Case& c : cases) {
    PoseWorld w;
    w.MakeBox({0, 0, 0, 20, 20, 12}, 0.5);
    w.Tools.Table.Records[kTThrowTool].BladeWidth = c.blade;  // T-THROW 20,3,1,1,8
    w.Use(kTThrowTool);
    w.Pose({10, 10, 6});
    ExpectValues(w.Column(c.direction, c.a, c.b), c.column,
                 "blade " + std::to_string(c.blade) + " direction " + std::to_string(c.direction));
  }
}

TEST(ToolPoseCutting, BallBladeOfATThrowIsCut) {
  // D 2, blade 2, both corners 1: the blade is a ball of radius 1 about
  // Point1, 1 above the tip; the neck (radius 0.5) runs up from Point1.
  PoseWorld w;
  w.MakeBox({0, 0, 0, 20, 20, 10}, 0.5);
  ToolRecord& record = w.Tools.Table.Records[kTThrowTool];
  record.Diameter = 2;
  record.BladeWidth = 2;
  record.CornerRadius = 1;
  record.LowerCornerRadius = 1;
  record.NeckDiameter = 1;
  w.Use(kTThrowTool);
  ASSERT_EQ(w.Tool.BladeFlatHeight, 0);
  ASSERT_EQ(w.Tool.ArcCentreRadius, 0);
  w.Pose({10, 10, 6});
  // The line on the axis loses everything from the tip up.
  EXPECT_EQ(w.Column(kDirectionZ, 20, 20), (std::vector<double>{0, 6}));
  // A line 0.5 from the axis touches the neck and crosses the ball 1 -+
  // sqrt(1 - 0.25) above the tip.
  const double half = std::sqrt(0.75);
  ExpectValues(w.Column(kDirectionZ, 21, 20), {0, 7 - half, 7 + half, 10}, "beside the axis");
}

TEST(ToolPoseCutting, RadiusChipProbeRaisesTheCentreHeightOnly) {
  PoseWorld probe, plain;
  for (PoseWorld* w : {&probe, &plain}) {
    w->MakeBox({0, 0, 0, 40, 40, 20}, 0.5);
    w->Use(kRadiusTool);  // D 20, corner 5
  }
  probe.Checks.ChipWidthCheck = 1;
  probe.Pose({20, 20, 12});
  const double height = probe.Lengths.CentreHeight;
  // The probe climbs in steps of 0.1 while it would still remove material,
  // until the corner's offset D/2 - R - w is 0 at the corner's height 5.
  EXPECT_NEAR(height, 5.0, 0.1 + 1e-9);
  EXPECT_NEAR(std::remainder(height, 0.1), 0.0, 1e-9);
  // The probe changes no column: the axis line keeps what the tip cylinder
  // of a plain cut takes.
  plain.Pose({20, 20, 12});
  EXPECT_NE(probe.Column(kDirectionZ, 40, 40), plain.Column(kDirectionZ, 40, 40));
  EXPECT_EQ(plain.Lengths.CentreHeight, 0.0);
}

// Everything a pose cut writes besides the model: the run's outputs and
// hits, the length checks, each direction's sums and refused writes.
void ExpectSameOutputs(const PoseWorld& a, const PoseWorld& b, const std::string& where) {
  const RunState &ra = a.Run, &rb = b.Run;
  EXPECT_EQ(ra.PoseRemovedVolume, rb.PoseRemovedVolume) << where;
  EXPECT_EQ(ra.MoveCutFlag, rb.MoveCutFlag) << where;
  EXPECT_EQ(ra.ProcessCutFlags, rb.ProcessCutFlags) << where;
  EXPECT_EQ(ra.Hits.BodyHitFlag, rb.Hits.BodyHitFlag) << where;
  EXPECT_EQ(ra.Hits.ArborHitFlag, rb.Hits.ArborHitFlag) << where;
  EXPECT_EQ(ra.Hits.HeightHitFlag, rb.Hits.HeightHitFlag) << where;
  EXPECT_EQ(ra.Hits.ChipWidthHitFlag, rb.Hits.ChipWidthHitFlag) << where;
  EXPECT_EQ(ra.Hits.AttachmentHitFlag, rb.Hits.AttachmentHitFlag) << where;
  EXPECT_EQ(ra.Hits.ContactFlag, rb.Hits.ContactFlag) << where;
  EXPECT_EQ(ra.Hits.RemovalPendingFlag, rb.Hits.RemovalPendingFlag) << where;
  EXPECT_EQ(ra.Hits.StepAlarmFlag, rb.Hits.StepAlarmFlag) << where;
  EXPECT_EQ(ra.Hits.Pairs, rb.Hits.Pairs) << where;
  EXPECT_EQ(ra.Hits.FurtherPairs, rb.Hits.FurtherPairs) << where;
  EXPECT_EQ(ra.CutFaceFlags, rb.CutFaceFlags) << where;
  const ToolLengthChecks &la = a.Lengths, &lb = b.Lengths;
  EXPECT_EQ(la.ShankClearLength, lb.ShankClearLength) << where;
  EXPECT_EQ(la.NeckClearLength, lb.NeckClearLength) << where;
  EXPECT_EQ(la.ArborClearLength, lb.ArborClearLength) << where;
  EXPECT_EQ(la.MaxCutHeight, lb.MaxCutHeight) << where;
  EXPECT_EQ(la.TipWidth, lb.TipWidth) << where;
  EXPECT_EQ(la.CentreHeight, lb.CentreHeight) << where;
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(a.Cut.Grids[c].RemovedVolume, b.Cut.Grids[c].RemovedVolume) << where;
    EXPECT_EQ(a.Cut.Grids[c].RemovedCount, b.Cut.Grids[c].RemovedCount) << where;
  }
  for (int direction : {kDirectionX, kDirectionY, kDirectionZ})
    EXPECT_EQ(a.Document.Workpiece().SetByDirection(direction).RefusedWrites,
              b.Document.Workpiece().SetByDirection(direction).RefusedWrites)
        << where;
}

// Cuts the same poses in two worlds made alike but for what setUp does to
// world k (0 or 1), and expects the same model and outputs after every pose:
// random poses of every kind, with tool body and holder, under each way of
// checking (cutting or searching with body and holder, the height and
// chip-width checks reporting or stopping), in feed and rapid moves; then
// straight paths of a tilted tool, whose body far above the material leaves
// whole rows of lines beyond it (their row states wait for a cut line); poses
// along each axis either way; and tilted paths of the tools without their
// neck steps into the stock from beyond its ends (where a corner's far side
// meets air), the last with a cutting length that ends within the corner.
void ExpectPoseCutsAlike(const std::function<void(PoseWorld&, int)>& setUp,
                         const std::string& what) {
  // The second adds a margin to the tools' necks where the table gives no
  // neck diameter: necks wider than the cutter.
  struct Checks {
    int32_t arbor, height, chipWidth;
    double neckMargin;
  };
  const Checks checks[] = {{3, 1, 2, 0}, {1, 3, 1, 1.5}, {2, 2, 0, 0}};
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  std::normal_distribution<double> normal(0, 1);
  for (const Checks& check : checks) {
    for (int32_t tool : {kFlatTool, kBallTool, kBullTool, kDrillTool, kTaperBallTool, kVerticalTool,
                         kOvalTool, kTThrowTool, kSphereTool, kRadiusTool, kKegakiTool}) {
      std::unique_ptr<PoseWorld> worlds[2] = {std::make_unique<PoseWorld>(),
                                              std::make_unique<PoseWorld>()};
      for (int k = 0; k < 2; ++k) {
        worlds[k]->MakeBox({0, 0, 0, 24, 24, 12}, 0.4);
        if (check.neckMargin > 0) {
          worlds[k]->Tools.Checks.HeightCheckType = 1;
          worlds[k]->Tools.Checks.HeightCheckMargin = check.neckMargin;
        }
        worlds[k]->Use(tool);
        worlds[k]->Checks.ArborCheck = check.arbor;
        worlds[k]->Checks.HeightCheck = check.height;
        worlds[k]->Checks.ChipWidthCheck = check.chipWidth;
        setUp(*worlds[k], k);
      }
      for (int pose = 0; pose < 72; ++pose) {
        Vec3 tip{unit(random) * 30 - 3, unit(random) * 30 - 3, unit(random) * 14 - 1};
        // Deep, so that necks, bodies and holders reach the stock.
        if (pose % 4 == 1) tip[2] -= 28;
        Vec3 axis = pose % 3 == 0 ? kUp : Vec3{normal(random), normal(random), normal(random) + 2};
        if (pose >= 24) {
          // 30 degrees about Y one way, then tilted about X too the other way.
          const bool first = pose < 36;
          const double step = (pose - (first ? 24 : 36)) * 1.1;
          tip = first ? Vec3{step, 12, 9} : Vec3{24 - step, 10, 10};
          axis = first ? Vec3{0.5, 0, std::sqrt(0.75)} : Vec3{-0.5, 0.3, 0.8};
        }
        if (pose >= 48) {
          // Along each axis either way: the tool's solids seen along the
          // lines of one direction and exactly across those of the others.
          const Vec3 axes[] = {{0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, kUp};
          axis = axes[pose % 6];
          tip = {unit(random) * 24, unit(random) * 24, unit(random) * 12};
        }
        if (pose >= 60) {
          // Tilted tools without a neck step (the body the cutter's own
          // width) at the stock's ends, entering from beyond them: up the Y
          // edge leaning along Y, then in from x 0 leaning back, with a
          // cutting length that ends within the cutting part.
          const bool first = pose < 66;
          const double step = (pose - (first ? 60 : 66)) * 0.9;
          tip = first ? Vec3{12, 26 - step, 9} : Vec3{step - 2, 11, 10};
          axis = first ? Vec3{0, 0.5, std::sqrt(0.75)} : Vec3{-0.5, 0.1, 0.85};
          for (auto& w : worlds) {
            w->Tool.NeckRadius = w->Tool.CuttingRadius;
            w->Tool.HasUpperPoint = 0;
            if (!first) w->Tool.Tool.CuttingLength = 2.5;
          }
        }
        const double length = VectorLength(axis);
        for (double& a : axis) a /= length;
        for (auto& w : worlds) {
          // A move per pose, as the run starts one: its kind, its block's
          // attribute and the tool's pen on the faces.
          w->Run.MotionMode = pose % 5 == 4 ? kMotionRapid : kMotionLinear;
          w->Run.CycleFeedFlag = pose % 7 == 6 ? 1 : 0;
          w->Run.CutFaceFlags = {w->Tool.PenTag, w->Tool.PenTag};
          w->Run.CutFaceAttributes = {pose + 1, pose + 1};
          // Drawn since: only this pose's marks count.
          std::fill(w->Model().BlockDirty.begin(), w->Model().BlockDirty.end(), 0);
          w->Pose(tip, axis);
        }
        const std::string where = what + ": checks " + std::to_string(check.arbor) +
                                  std::to_string(check.height) + std::to_string(check.chipWidth) +
                                  " tool " + std::to_string(tool) + " pose " + std::to_string(pose);
        ExpectSameModel(worlds[0]->Model(), worlds[1]->Model(), where);
        ExpectSameOutputs(*worlds[0], *worlds[1], where);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

// The skipping of dexel lines out of the tool's reach changes nothing.
TEST(ToolPoseCutting, SkippingOutOfReachIsBitIdenticalToThePlainScan) {
  ExpectPoseCutsAlike([](PoseWorld& w, int k) { w.Cut.PlainColumnScan = k == 0; }, "skipping");
}

// Up a tilted tool the main pass reaches only as far as the material: a
// stock four times as long costs no more lines at the same pose, and cuts
// the same columns around the tool.
TEST(ToolPoseCutting, TiltedMainPassStopsWhereTheMaterialEnds) {
  const Vec3 axis{0.5, 0, std::sqrt(0.75)};
  int64_t visited[2] = {};
  std::unique_ptr<PoseWorld> worlds[2] = {std::make_unique<PoseWorld>(),
                                          std::make_unique<PoseWorld>()};
  for (int k = 0; k < 2; ++k) {
    PoseWorld& w = *worlds[k];
    w.MakeBox({0, 0, 0, k == 0 ? 30.0 : 120.0, 24, 12}, 0.4);
    w.Use(kBullTool);
    w.Pose({4, 12, 9}, axis);
    for (const CutGridContext& grid : w.Cut.Grids) visited[k] += grid.VisitedColumns;
  }
  EXPECT_EQ(visited[0], visited[1]);
  for (int32_t i : {0, 10, 25, 40})
    EXPECT_EQ(worlds[0]->Column(kDirectionZ, i, 30), worlds[1]->Column(kDirectionZ, i, 30)) << i;
  // Along X the lines differ by their far ends only.
  std::vector<double> shorter = worlds[0]->Column(kDirectionX, 30, 25);
  std::vector<double> longer = worlds[1]->Column(kDirectionX, 30, 25);
  ASSERT_EQ(shorter.size(), 4u);
  ASSERT_EQ(longer.size(), 4u);
  EXPECT_EQ(shorter.back(), 30.0);
  EXPECT_EQ(longer.back(), 120.0);
  shorter.pop_back();
  longer.pop_back();
  EXPECT_EQ(shorter, longer);
}

// What bounds the pass is what the columns were written with, not the grid
// or the model's stored corners: material written far above the grid is
// still cut where the tool's body passes through it, as a plain scan cuts it.
TEST(ToolPoseCutting, MaterialWrittenBeyondTheGridIsStillReached) {
  std::unique_ptr<PoseWorld> worlds[2] = {std::make_unique<PoseWorld>(),
                                          std::make_unique<PoseWorld>()};
  for (int k = 0; k < 2; ++k) {
    PoseWorld& w = *worlds[k];
    w.MakeBox({0, 0, 0, 40, 24, 12}, 0.4);
    w.Use(kBullTool);
    w.Cut.PlainColumnScan = k == 0;
    // At x 24 the axis from (4, 12, 9) is near z 43.6.
    const std::vector<double> values{0, 12, 38, 50};
    const std::vector<uint8_t> flags(4, 0);
    const std::vector<int32_t> attributes(4, 0);
    ASSERT_TRUE(SetDexelColumnInSet(w.Model(), kDirectionZ, 60, 30, values, flags, attributes));
    w.Pose({4, 12, 9}, {0.5, 0, std::sqrt(0.75)});
  }
  EXPECT_NE(worlds[1]->Column(kDirectionZ, 60, 30), (std::vector<double>{0, 12, 38, 50}));
  ExpectSameModel(worlds[0]->Model(), worlds[1]->Model(), "material above the grid");
  ExpectSameOutputs(*worlds[0], *worlds[1], "material above the grid");
}

// The kernel cuts as the kernel kept in the tests as it stood before its
// speed work, bit for bit, on one thread and with the main pass's rows on
// several (every pass spread, however small).
TEST(ToolPoseCutting, KernelIsBitIdenticalToTheReferenceOnAnyThreads) {
  for (int32_t threads : {1, 2, 5}) {
    ExpectPoseCutsAlike(
        [threads](PoseWorld& w, int k) {
          w.Reference = k == 0;
          w.Cut.Threads = threads;
          w.Cut.ParallelMinColumns = 0;
        },
        std::to_string(threads) + " threads");
  }
}

}  // namespace
}  // namespace vestan
