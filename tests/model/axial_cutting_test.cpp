#include "model/axial_cutting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/cut_face_flags.h"
#include "model/cut_world.h"
#include "model/model_history.h"

namespace vestan {
namespace {

using testing::CutWorld;
using testing::ExpectValues;
using Values = std::vector<double>;

TEST(CutGridContexts, BindPermutesTheModelAxes) {
  CutWorld world;
  // 3 x 2 x 1 cells of pitch 1 from (1, 2, 3): nx 4, ny 3, nz 2.
  world.MakeBox({1, 2, 3, 4, 4, 4}, 1.0);
  const DexelModel& m = world.Model();
  ASSERT_EQ(m.CountX, 4);
  CutGrids& grids = world.Cut.Grids;
  struct Expected {
    int context, u, v, w, countU, countV, countW;
    const std::vector<double>*coordU, *coordV, *coordW;
    const DexelSet* set;
  };
  const Expected expected[] = {
      {kContextX, 1, 2, 0, 3, 2, 4, &m.GridY, &m.GridZ, &m.GridX, &m.XSet()},
      {kContextY, 2, 0, 1, 2, 4, 3, &m.GridZ, &m.GridX, &m.GridY, &m.YSet()},
      {kContextZ, 0, 1, 2, 4, 3, 2, &m.GridX, &m.GridY, &m.GridZ, &m.ZSet()},
  };
  for (const Expected& e : expected) {
    const CutGridContext& g = grids[e.context];
    EXPECT_EQ(g.AxisU, e.u);
    EXPECT_EQ(g.AxisV, e.v);
    EXPECT_EQ(g.AxisW, e.w);
    EXPECT_EQ(g.CountU, e.countU);
    EXPECT_EQ(g.CountV, e.countV);
    EXPECT_EQ(g.CountW, e.countW);
    EXPECT_EQ(g.LastU, e.countU - 1);
    EXPECT_EQ(g.LastV, e.countV - 1);
    EXPECT_EQ(g.CoordU.data(), e.coordU->data());
    EXPECT_EQ(g.CoordV.data(), e.coordV->data());
    EXPECT_EQ(g.CoordW.data(), e.coordW->data());
    EXPECT_EQ(g.Set, e.set);
    EXPECT_EQ(g.Pitch, 1.0);
  }
  EXPECT_EQ(grids[kContextY].BlockLowU.data(), m.BlockLowZ.data());
  EXPECT_EQ(grids[kContextY].BlockHighV.data(), m.BlockHighX.data());
  EXPECT_EQ(ToContextFrame(grids[kContextY], {1, 2, 3}), (Vec3{3, 1, 2}));

  // Binding again changes nothing and leaves the per-pass fields.
  grids[kContextX].RangeU0 = 1;
  grids[kContextX].RemovedVolume = 2.5;
  grids[kContextX].RemovedCount = 4;
  const CutGridContext before = grids[kContextX];
  BindCutGrids(grids, world.Model());
  EXPECT_EQ(grids[kContextX].RangeU0, 1);
  EXPECT_EQ(grids[kContextX].RemovedVolume, 2.5);
  EXPECT_EQ(grids[kContextX].RemovedCount, 4);
  EXPECT_EQ(grids[kContextX].Set, before.Set);
}

// A shank of radius 3 from (10, 10, 2) straight up, cut as body segment 2.
void SetShank(CutWorld& world) {
  world.Tool.ShankRadius = 3;
  world.Tool.Shank.Kind = kShankStraight;
  world.Checks.ArborCheck = 2;  // CUT
  world.Cut.Pose.BodyFaceFlags = {0x31, 0x31};
  world.Run.CutFaceAttributes = {77, 77};
  world.SetSegment({10, 10, 2}, {0, 0, 1}, 2);
  world.Cut.Pose.SegmentLength = 20;
}

void CutAllContexts(CutWorld& world, int32_t (*cutter)(CutContext&, CutGridContext&)) {
  for (CutGridContext& grid : world.Cut.Grids) EXPECT_EQ(cutter(world.Cut, grid), 0);
}

struct ColumnCase {
  const char* name;
  int direction;
  int32_t a, b;
  Values expected;
};

void ExpectColumns(const CutWorld& world, const std::vector<ColumnCase>& cases) {
  for (const ColumnCase& c : cases)
    ExpectValues(world.Column(c.direction, c.a, c.b), c.expected, c.name);
}

const double kRoot5 = std::sqrt(5.0);

TEST(AxialCutting, ShankCylinderLeavesTheAnalyticIntervals) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  SetShank(world);
  CutAllContexts(world, CutDexelGrid2);
  ExpectColumns(world, {
                           // Z lines inside radius 3 keep what lies below the base at z 2.
                           {"Z on the axis", kDirectionZ, 10, 10, {0, 2}},
                           {"Z at rho sqrt 8", kDirectionZ, 12, 12, {0, 2}},
                           {"Z at rho 3 (touching)", kDirectionZ, 13, 10, {0, 10}},
                           // X lines cross the mantle at x = 10 -+ sqrt(9 - (y - 10)^2).
                           {"X through the axis", kDirectionX, 10, 5, {0, 7, 13, 20}},
                           {"X at y 12", kDirectionX, 12, 5, {0, 10 - kRoot5, 10 + kRoot5, 20}},
                           {"X in the base plane", kDirectionX, 10, 2, {0, 7, 13, 20}},
                           {"X below the base", kDirectionX, 10, 1, {0, 20}},
                           {"X beside the shank", kDirectionX, 13, 5, {0, 20}},
                           // Y lines (a along Z, b along X).
                           {"Y through the axis", kDirectionY, 5, 10, {0, 7, 13, 20}},
                           {"Y at x 8", kDirectionY, 5, 8, {0, 10 - kRoot5, 10 + kRoot5, 20}},
                       });
  // The new faces carry the body flags and the move's attribute.
  EXPECT_EQ(world.Flags(kDirectionX, 10, 5), (std::vector<uint8_t>{0, 0x31, 0x31, 0}));
  EXPECT_EQ(DexelColumnAttributes(world.Model().XSet(), world.ColumnIndex(kDirectionX, 10, 5))[1],
            77);
  // 25 grid points lie strictly inside radius 3; each Z line loses 10 - 2.
  const CutGridContext& z = world.Cut.Grids[kContextZ];
  EXPECT_DOUBLE_EQ(z.RemovedVolume, 25 * 8.0);
  EXPECT_EQ(z.RemovedCount, 50);
}

TEST(AxialCutting, ArborConeLeavesTheAnalyticIntervals) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  world.Tool.ShankRadius = 2;
  world.Tool.Arbor.Present = 1;
  world.Tool.Arbor.Form = kArborPairs2;
  world.Tool.Arbor.StepCount = 1;
  world.Tool.Arbor.StepDiameter[0] = 10;
  world.Tool.Arbor.StepLength[0] = 6;
  world.Checks.ArborCheck = 3;
  world.Cut.Pose.BodyFaceFlags = {0x21, 0x21};
  // The step widens from the shank's radius 2 at z 4 to 5 at z 10: slope 0.5.
  world.SetSegment({10, 10, 4}, {0, 0, 1}, 0);
  CutAllContexts(world, CutDexelGrid);
  ExpectColumns(world,
                {
                    // Along the axis the cone is reached at t = (rho - 2) / 0.5.
                    {"Z on the axis", kDirectionZ, 10, 10, {0, 4}},
                    {"Z at rho 3", kDirectionZ, 13, 10, {0, 6}},
                    {"Z at rho 4", kDirectionZ, 14, 10, {0, 8}},
                    {"Z beyond the cone", kDirectionZ, 16, 10, {0, 10}},
                    // Across: at height t the radius is 2 + t / 2.
                    {"X at t 4", kDirectionX, 10, 8, {0, 6, 14, 20}},
                    {"X at t 2, y 12", kDirectionX, 12, 6, {0, 10 - kRoot5, 10 + kRoot5, 20}},
                    {"X below the step", kDirectionX, 10, 3, {0, 20}},
                    {"Y at t 4", kDirectionY, 8, 10, {0, 6, 14, 20}},
                });
  EXPECT_EQ(world.Flags(kDirectionY, 8, 10), (std::vector<uint8_t>{0, 0x21, 0x21, 0}));
}

TEST(AxialCutting, NarrowingArborStepAlongItsAxis) {
  // An ARBOR2 step narrower than the shank: from radius 4 down to 2 over 8.
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  world.Tool.ShankRadius = 4;
  world.Tool.Arbor = {1, kArborPairs2, 1, {4}, {8}, {}};
  world.Checks.ArborCheck = 2;
  world.SetSegment({10, 10, 2}, {0, 0, 1}, 0);
  CutAllContexts(world, CutDexelGrid);
  // rho 3 leaves the cone where 4 - t / 4 = 3: t = 4, so z 2 to 6 goes.
  ExpectColumns(world, {{"Z on the axis", kDirectionZ, 10, 10, {0, 2}},
                        {"Z at rho 3", kDirectionZ, 13, 10, {0, 2, 6, 10}}});
}

TEST(AxialCutting, ClearanceSearchProbesWithoutCutting) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  SetShank(world);
  world.Checks.ArborCheck = 1;  // OUTPUT
  const std::vector<double> before = world.Column(kDirectionX, 10, 5);
  // Shank kinds below 10 only search: the first touch answers 1.
  EXPECT_EQ(CutDexelGrid2(world.Cut, world.Cut.Grids[kContextX]), 1);
  EXPECT_EQ(world.Column(kDirectionX, 10, 5), before);
  EXPECT_EQ(world.Cut.Grids[kContextX].RemovedCount, 2);
  EXPECT_EQ(world.Model().BlockDirty, std::vector<uint8_t>(world.Model().BlockCount, 0));

  // A shank that cuts (kind 12) cuts even then.
  world.Tool.Shank.Kind = kShankStraightCutting;
  EXPECT_EQ(CutDexelGrid2(world.Cut, world.Cut.Grids[kContextX]), 0);
  ExpectValues(world.Column(kDirectionX, 10, 5), {0, 7, 13, 20}, "kind 12");

  // A shank that misses answers 0.
  world.Tool.Shank.Kind = kShankStraight;
  world.SetSegment({10, 10, 12}, {0, 0, 1}, 2);
  EXPECT_EQ(CutDexelGrid2(world.Cut, world.Cut.Grids[kContextZ]), 0);
}

TEST(AxialCutting, CuttingShankMarksFacesBeyondTheCuttingLength) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0);
  SetShank(world);
  world.Tool.Shank.Kind = kShankStraightCutting;
  world.Tool.PenTag = 0x50;
  world.Checks.HeightCheck = 1;  // OUTPUT
  world.Run.MotionMode = 1;
  // Tip plane at z 2, cutting length 5: heights beyond 5 are marked.
  world.SetSegment({10, 10, 2}, {0, 0, 1}, 2, 5.0);
  world.Cut.Pose.SegmentLength = 20;
  EXPECT_EQ(CutDexelGrid2(world.Cut, world.Cut.Grids[kContextX]), 0);
  // X lines at z 5 and z 9 lie 3 and 7 above the tip plane.
  EXPECT_EQ(world.Flags(kDirectionX, 10, 5), (std::vector<uint8_t>{0, 0x50, 0x50, 0}));
  EXPECT_EQ(world.Flags(kDirectionX, 10, 9), (std::vector<uint8_t>{0, 0x51, 0x51, 0}));
  // The highest removed value lies on z 10, 8 above the tip plane.
  EXPECT_DOUBLE_EQ(world.Lengths.MaxCutHeight, 8.0);

  // In rapid traverse the move's flags are used as they stand.
  world.Run.MotionMode = kMotionRapid;
  world.Run.CutFaceFlags = {0x72, 0x73};
  EXPECT_EQ(CutDexelGrid2(world.Cut, world.Cut.Grids[kContextY]), 0);
  EXPECT_EQ(world.Flags(kDirectionY, 9, 10), (std::vector<uint8_t>{0, 0x72, 0x73, 0}));
}

// The contexts follow the model through its history and through a new model:
// a cut after a push, a pop or a replacement lands in the current arrays
// (and under the address sanitizer never touches released ones).
TEST(AxialCutting, CutsFollowTheCurrentSlotAndModel) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 20, 20, 10}, 1.0, 3);
  SetShank(world);
  PushModelHistory(world.Model());
  CutAllContexts(world, CutDexelGrid2);
  ExpectValues(world.Column(kDirectionZ, 10, 10), {0, 2}, "slot 1 cut");
  PopModelHistory(world.Model());
  ExpectValues(world.Column(kDirectionZ, 10, 10), {0, 10}, "slot 0 kept");
  PushModelHistory(world.Model());
  PushModelHistory(world.Model());
  world.SetSegment({10, 10, 5}, {0, 0, 1}, 2);
  CutAllContexts(world, CutDexelGrid2);
  ExpectValues(world.Column(kDirectionZ, 10, 10), {0, 5}, "slot 2 cut");

  // A new, smaller model in the same record.
  FreeDexelModel(world.Model());
  world.Model() = DexelModel{};
  world.Model().SlotCount = 1;
  ASSERT_EQ(CreateBoxModel(world.Model(), {0, 0, 0, 12, 12, 6}, 0.5), kModelOk);
  world.SetSegment({6, 6, 1}, {0, 0, 1}, 2);
  CutAllContexts(world, CutDexelGrid2);
  ExpectValues(world.Column(kDirectionZ, 12, 12), {0, 1}, "new model");
  EXPECT_EQ(world.Cut.Grids[kContextZ].CountU, 25);
}

TEST(AxialCutting, CombineRemovedVolumes) {
  struct Case {
    double x;
    int32_t nx;
    double y;
    int32_t ny;
    double z;
    int32_t nz;
    double expected;
  };
  const Case cases[] = {
      {1, 4, 2, 4, 3, 4, 2},    // Z leads, above both: (1 + 2 + 3) / 3
      {5, 2, 1, 8, 3, 4, 1},    // Y leads, above neither
      {1, 2, 9, 2, 3, 2, 2},    // Z leads (ties go to Z), above X only: (1 + 3) / 2
      {4, 9, 1, 2, 6, 3, 2.5},  // X leads, above Y only: (4 + 1) / 2
      {6, 3, 5, 9, 2, 1, 3.5},  // Y leads, above Z only: (5 + 2) / 2
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(CombineRemovedVolumes(c.x, c.nx, c.y, c.ny, c.z, c.nz), c.expected)
        << c.x << " " << c.y << " " << c.z;
}

TEST(AxialCutting, CleanUnitVector) {
  struct Case {
    Vec3 in;
    Vec3 out;
  };
  const Case cases[] = {
      {{0.0001, 0, -0.3}, {0, 0, -1}},      // X snapped, then Z is all that is left
      {{0, 0.0001, 1}, {0, 0, 1}},          // the example
      {{0.6, 0.8, 0.0002}, {0.6, 0.8, 0}},  // Z snapped; (0.6, 0.8) is unit already
      {{3, 0.0001, 4}, {0.6, 0, 0.8}},      // Y snapped, (X, Z) divided by 5
      {{0, 2, 0.0001}, {0, 1, 0}},          // only Y left
      {{0.3, 0.4, 0.5}, {0.3, 0.4, 0.5}},   // nothing snapped: left as it is
  };
  for (const Case& c : cases) {
    Vec3 v = c.in;
    EXPECT_TRUE(CleanUnitVector(v));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v[k], c.out[k], 1e-15) << c.in[0] << " " << k;
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (Vec3 bad : {Vec3{0, 0, 0}, Vec3{nan, 0, 1}, Vec3{0, INFINITY, 0}}) {
    const Vec3 before = bad;
    EXPECT_FALSE(CleanUnitVector(bad));
    EXPECT_EQ(std::memcmp(&bad, &before, sizeof bad), 0);
  }
}

TEST(CutFaceFlags, BandHeightAndChipChecks) {
  CutWorld world;
  world.Tool.PenTag = 0x30;
  world.Tool.EnvelopeRadius = 5;
  // Vertical axis, tip plane at z 0, cutting length 20.
  world.SetSegment({0, 0, 0}, {0, 0, 1}, 0, 20.0);
  const CutContext& cut = world.Cut;
  // A Z line at the origin: line height 0, a piece from 5 to 25.
  EXPECT_EQ(TestPointOutsideToolBand(cut, 2, 0.0, {5, 25}), (std::array<uint8_t, 2>{0x30, 0x31}));
  world.Run.CycleFeedFlag = 1;
  EXPECT_EQ(TestPointOutsideToolBand(cut, 2, 0.0, {5, 25}), (std::array<uint8_t, 2>{0x30, 0x30}));

  world.Checks.HeightCheck = 1;
  RecordCutHeight(world.Cut, 2, 0.0, std::vector<double>{3, 12});
  RecordCutHeight(world.Cut, 2, 0.0, std::vector<double>{1, 2});
  EXPECT_EQ(world.Lengths.MaxCutHeight, 12);
  world.Checks.HeightCheck = 3;
  RecordCutHeight(world.Cut, 2, 0.0, std::vector<double>{3, 19});
  EXPECT_EQ(world.Run.Hits.HeightHitFlag, 0);
  RecordCutHeight(world.Cut, 2, 0.0, std::vector<double>{3, 21});
  EXPECT_EQ(world.Run.Hits.HeightHitFlag, 1);

  // Chip width: a Z line at (3, 4) lies 5 from the axis.
  world.Checks.ChipWidthCheck = 1;
  RecordChipWidth(world.Cut, 0, 1, 2, 3, 4, std::vector<double>{1, 2});
  EXPECT_DOUBLE_EQ(world.Lengths.TipWidth, 0.0);
  RecordChipWidth(world.Cut, 0, 1, 2, 0, 3, std::vector<double>{1, 2});
  EXPECT_DOUBLE_EQ(world.Lengths.TipWidth, 2.0);  // 5 - 3

  // Without a centre zone (any kind but VERTICAL) nothing is flagged or hit.
  world.Checks.ChipWidthCheck = 2;
  std::array<uint8_t, 2> flags{0x30, 0x30};
  FlagCentreZoneFaces(cut, 0, 1, 2, 0, 0, {1, 2}, flags);
  RecordChipWidth(world.Cut, 0, 1, 2, 0, 0, std::vector<double>{1, 2});
  EXPECT_EQ(flags, (std::array<uint8_t, 2>{0x30, 0x30}));
  EXPECT_EQ(world.Run.Hits.ChipWidthHitFlag, 0);
  // A centre zone of radius 2: the line at (1, 0) lies inside it.
  world.Tool.CentreZoneRadiusSquared = 4;
  FlagCentreZoneFaces(cut, 0, 1, 2, 1, 0, {1, 2}, flags);
  EXPECT_EQ(flags, (std::array<uint8_t, 2>{0x31, 0x31}));
  RecordChipWidth(world.Cut, 0, 1, 2, 3, 0, std::vector<double>{1});
  EXPECT_EQ(world.Run.Hits.ChipWidthHitFlag, 0);
  RecordChipWidth(world.Cut, 0, 1, 2, 1, 0, std::vector<double>{1});
  EXPECT_EQ(world.Run.Hits.ChipWidthHitFlag, 1);
}

}  // namespace
}  // namespace vestan
