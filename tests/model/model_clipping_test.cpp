#include "model/model_clipping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "model/stock.h"

namespace vestan {
namespace {

// Every column of the three sets: values, flags and attributes.
struct Column {
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;
  friend bool operator==(const Column&, const Column&) = default;
};
using Snapshot = std::array<std::vector<Column>, 3>;

Snapshot Take(const DexelModel& m) {
  Snapshot snapshot;
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = m.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      const auto v = DexelColumnValues(set, c);
      const auto f = DexelColumnFlags(set, c);
      const auto a = DexelColumnAttributes(set, c);
      snapshot[static_cast<size_t>(d)].push_back(
          {{v.begin(), v.end()}, {f.begin(), f.end()}, {a.begin(), a.end()}});
    }
  }
  return snapshot;
}

// The cube [0, 10] on grid lines 0, 2, .., 10: every column holds [0, 10].
class ModelClippingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateBoxModel(m_, {0, 0, 0, 10, 10, 10}, 2), kModelOk);
    ASSERT_EQ(m_.CountX, 6);
    ASSERT_EQ(m_.GridX.back(), 10.0);
    // A cut face with its pen and NC line on one Z column (x 4, y 6).
    const std::array<double, 2> values{0, 10};
    const std::array<uint8_t, 2> flags{0x11, 0x21};
    const std::array<int32_t, 2> attributes{7, 8};
    SetDexelColumn(m_.ZSet(), Z(4, 6), values, flags, attributes);
  }
  int32_t Z(double x, double y) const {
    return ColumnIndexZ(m_, static_cast<int32_t>(x / 2), static_cast<int32_t>(y / 2));
  }
  int32_t X(double y, double z) const {
    return ColumnIndexX(m_, static_cast<int32_t>(y / 2), static_cast<int32_t>(z / 2));
  }
  int32_t Y(double z, double x) const {
    return ColumnIndexY(m_, static_cast<int32_t>(z / 2), static_cast<int32_t>(x / 2));
  }
  static std::vector<double> Nothing() { return {}; }
  static std::vector<double> Values(const DexelSet& set, int32_t c) {
    const auto v = DexelColumnValues(set, c);
    return {v.begin(), v.end()};
  }
  void Clip(const Vec3& lo, const Vec3& hi) { ClipWorkModel(m_, lo, hi, settings_, 0, frame_); }

  DexelModel m_;
  ClipSettings settings_;
  WorkOffsetFrame frame_;
};

TEST_F(ModelClippingTest, KeepingTheGridBoxKeepsEverything) {
  const Snapshot before = Take(m_);
  Clip({0, 0, 0}, {10, 10, 10});
  EXPECT_TRUE(Take(m_) == before);
}

TEST_F(ModelClippingTest, KeepEmptiesColumnsOutsideAndTrimsTheRest) {
  Clip({2, 3, -5}, {7, 20, 4.5});
  // Z columns: x on 2, 4, 6 (2 lies on the face: kept), y on 4 .. 10.
  for (double x = 0; x <= 10; x += 2)
    for (double y = 0; y <= 10; y += 2) {
      const bool kept = x >= 2 && x <= 7 && y >= 3;
      const std::vector<double> expected = kept ? std::vector<double>{0, 4.5} : Nothing();
      EXPECT_EQ(Values(m_.ZSet(), Z(x, y)), expected) << x << "," << y;
    }
  // The surviving bottom keeps its pen and line; the new top has none.
  const DexelSet& z = m_.ZSet();
  EXPECT_EQ(std::vector<uint8_t>(DexelColumnFlags(z, Z(4, 6)).begin(),
                                 DexelColumnFlags(z, Z(4, 6)).end()),
            (std::vector<uint8_t>{0x11, 0}));
  EXPECT_EQ(DexelColumnAttributes(z, Z(4, 6))[0], 7);
  EXPECT_EQ(DexelColumnAttributes(z, Z(4, 6))[1], 0);
  // X columns over y 4 .. 10 and z 0 .. 4, trimmed to x [2, 7]; Y columns
  // over z 0 .. 4 and x 2 .. 6, trimmed to y [3, 10].
  EXPECT_EQ(Values(m_.XSet(), X(4, 4)), (std::vector<double>{2, 7}));
  EXPECT_EQ(Values(m_.XSet(), X(2, 4)), Nothing());
  EXPECT_EQ(Values(m_.XSet(), X(4, 6)), Nothing());
  EXPECT_EQ(Values(m_.YSet(), Y(0, 6)), (std::vector<double>{3, 10}));
  EXPECT_EQ(Values(m_.YSet(), Y(0, 8)), Nothing());
}

TEST_F(ModelClippingTest, RemoveWidensABoundOnTheFirstGridLine) {
  // x [0, 4] becomes [-1, 4]: the columns on x = 0 lie strictly inside.
  // z [0, 10] spans the grid (widened to [-1, 11]): Z columns inside the
  // XY rectangle are emptied, not trimmed.
  settings_.RemoveInside = 1;
  Clip({0, 2, 0}, {4, 6, 10});
  for (double x = 0; x <= 10; x += 2)
    for (double y = 0; y <= 10; y += 2) {
      const bool inside = x < 4 && y > 2 && y < 6;
      const std::vector<double> expected = inside ? Nothing() : std::vector<double>{0, 10};
      EXPECT_EQ(Values(m_.ZSet(), Z(x, y)), expected) << x << "," << y;
    }
  // X columns: y strictly in (2, 6), every z (not partial): x [-1, 4] goes.
  for (double z = 0; z <= 10; z += 2)
    EXPECT_EQ(Values(m_.XSet(), X(4, z)), (std::vector<double>{4, 10}));
  EXPECT_EQ(Values(m_.XSet(), X(2, 0)), (std::vector<double>{0, 10}));
  // Y columns: every z, x strictly in (-1, 4): y [2, 6] goes.
  EXPECT_EQ(Values(m_.YSet(), Y(8, 2)), (std::vector<double>{0, 2, 6, 10}));
  EXPECT_EQ(Values(m_.YSet(), Y(8, 4)), (std::vector<double>{0, 10}));
}

TEST_F(ModelClippingTest, ThePlanePathAgreesWithTheBoxPath) {
  DexelModel copy;
  ASSERT_EQ(CreateBoxModel(copy, {0, 0, 0, 10, 10, 10}, 2), kModelOk);
  const std::array<double, 2> values{0, 10};
  const std::array<uint8_t, 2> flags{0x11, 0x21};
  const std::array<int32_t, 2> attributes{7, 8};
  SetDexelColumn(copy.ZSet(), Z(4, 6), values, flags, attributes);

  Clip({2, 3, -5}, {7, 20, 4.5});
  settings_.ModelRotated = 1;  // forces the planes
  settings_.SlabFlags = {1, 0, 0, 1, 1, 1};
  ClipWorkModel(copy, {2, 3, -5}, {7, 20, 4.5}, settings_, 0, frame_);
  EXPECT_TRUE(Take(copy) == Take(m_));
}

TEST_F(ModelClippingTest, AColumnThatWouldOutgrowItsCapacityStaysAsItWas) {
  // 5000 intervals of 0.001 with gaps of 0.001: a split of the first needs
  // two values more than a column may hold.
  std::vector<double> values(kMaxColumnValues);
  for (size_t v = 0; v < values.size(); ++v) values[v] = 0.001 * static_cast<double>(v);
  const std::vector<uint8_t> flags(values.size(), 0);
  const std::vector<int32_t> attributes(values.size(), 0);
  ASSERT_TRUE(SetDexelColumn(m_.ZSet(), Z(4, 6), values, flags, attributes));
  settings_.RemoveInside = 1;
  Clip({3, 5, 0.0004}, {5, 7, 0.0006});
  EXPECT_EQ(Values(m_.ZSet(), Z(4, 6)), values);
  EXPECT_EQ(m_.ZSet().RefusedWrites, 1);
}

TEST_F(ModelClippingTest, PlanePathKeepsEverythingWithoutSlabs) {
  const Snapshot before = Take(m_);
  settings_.ModelRotated = 1;
  Clip({2, 3, -5}, {7, 20, 4.5});
  EXPECT_TRUE(Take(m_) == before);
}

TEST_F(ModelClippingTest, PlanePathRemoveLeavesColumnsOutsideAsTheyWere) {
  settings_.ModelRotated = 1;
  settings_.RemoveInside = 1;
  settings_.SlabFlags = {1, 1, 1, 1, 1, 1};
  const std::array<double, 2> values{0, 10};
  const std::array<uint8_t, 2> flags{0x31, 0x41};
  const std::array<int32_t, 2> attributes{5, 6};
  SetDexelColumn(m_.ZSet(), Z(8, 6), values, flags, attributes);
  Clip({2, 3, -5}, {7, 20, 4.5});
  // x 8 lies outside: column, flags and attributes as they were.
  EXPECT_EQ(Values(m_.ZSet(), Z(8, 6)), (std::vector<double>{0, 10}));
  EXPECT_EQ(DexelColumnFlags(m_.ZSet(), Z(8, 6))[0], 0x31);
  EXPECT_EQ(DexelColumnAttributes(m_.ZSet(), Z(8, 6))[1], 6);
  // Inside: z [0, 4.5] goes; the old top keeps its flag.
  EXPECT_EQ(Values(m_.ZSet(), Z(4, 6)), (std::vector<double>{4.5, 10}));
  EXPECT_EQ(DexelColumnFlags(m_.ZSet(), Z(4, 6))[0], 0);
  EXPECT_EQ(DexelColumnFlags(m_.ZSet(), Z(4, 6))[1], 0x21);
  // A column on the slab's first plane (x = 2) counts as inside.
  EXPECT_EQ(Values(m_.ZSet(), Z(2, 6)), (std::vector<double>{4.5, 10}));
}

TEST_F(ModelClippingTest, AlignedRotationsTakeTheBoxPath) {
  // The model turned 90 degrees about Z and moved, the work offset turned
  // the same way: the planes come out on the model's axes.
  const Placement turned{0, 1, 0, -1, 0, 0, 0, 0, 1, 5, 0, 0};
  DexelModel placed, reference;
  ASSERT_EQ(CreateBoxModelPlaced(placed, {0, 0, 0, 10, 10, 10}, turned, 2), kModelOk);
  ASSERT_EQ(CreateBoxModelPlaced(reference, {0, 0, 0, 10, 10, 10}, turned, 2), kModelOk);
  frame_.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  frame_.Origin = {5, 0, 0};
  const std::array<ClipPlane, 6> planes = BuildClipPlanes({2, 3, -5}, {7, 20, 4.5}, frame_, placed);
  EXPECT_EQ(planes[0], (ClipPlane{1, 0, 0, -2}));
  EXPECT_EQ(planes[3], (ClipPlane{0, 1, 0, -20}));
  settings_.ModelRotated = 1;
  settings_.FrameRotated = 1;
  settings_.SlabFlags = {1, 1, 1, 1, 1, 1};
  ClipWorkModel(placed, {2, 3, -5}, {7, 20, 4.5}, settings_, 1, frame_);
  settings_.FrameRotated = 0;  // the same planes, clipped column by column
  ClipWorkModel(reference, {2, 3, -5}, {7, 20, 4.5}, settings_, 1, frame_);
  EXPECT_TRUE(Take(placed) == Take(reference));
  EXPECT_EQ(Values(placed.ZSet(), ColumnIndexZ(placed, 2, 2)), (std::vector<double>{0, 4.5}));
}

TEST(BuildClipPlanes, PointsPassThroughTheFrameAndThePlacement) {
  DexelModel model;
  model.Placement = {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 20, 30};
  WorkOffsetFrame frame;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // 90 degrees about Z
  frame.Origin = {100, 0, 0};
  // L = (1, 2, 3) turns to (-2, 1, 3), moves to (98, 1, 3) and, less the
  // placement, to (88, -19, -27); X's normal turns to +Y: (0, 1, 0, 19).
  const std::array<ClipPlane, 6> planes = BuildClipPlanes({1, 2, 3}, {4, 5, 6}, frame, model);
  const std::array<ClipPlane, 6> expected{
      {{0, 1, 0, 19}, {0, 1, 0, 16}, {-1, 0, 0, 88}, {-1, 0, 0, 85}, {0, 0, 1, 27}, {0, 0, 1, 24}}};
  EXPECT_EQ(planes, expected);
}

TEST(ClipFlags, ModelPlacementAndRotaryWorkOffsets) {
  DexelModel model;
  EXPECT_EQ(ClassifyModelPlacement(model), 0);
  model.Placement[10] = 50;  // moved only
  EXPECT_EQ(ClassifyModelPlacement(model), 0);
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(ClassifyModelPlacement(model), 1);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    int32_t type;
    double rotary1, rotary2;
    int32_t rotated;
  } cases[] = {
      {kRotaryTable, 5, 0, 1}, {kRotaryTable, 0, nan, 1}, {kRotaryMix, 5, 0, 0},
      {kRotaryMix, 0, 1, 1},   {kRotaryHead, 5, 1, 0},    {kRotaryNone, 5, 5, 0},
  };
  for (const Case& c : cases) {
    MachineKinematics kinematics;
    kinematics.RotaryType = c.type;
    WorkOffsetFrame frame;
    frame.Rotary1 = c.rotary1;
    frame.Rotary2 = c.rotary2;
    EXPECT_EQ(GetRotaryOffsetFlags(kinematics, frame), c.rotated) << c.type << " " << c.rotary1;
  }
}

}  // namespace
}  // namespace vestan
