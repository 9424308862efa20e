#include "model/model_flag_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/stock.h"

namespace vestan {
namespace {

using Bytes = std::vector<uint8_t>;

// A 3 x 3 x 3 model with one column of the given flags in each set, one of
// them long (12 values).
class FlagPasses : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.SlotCount = 1;
    ASSERT_EQ(CreateBoxModel(model_, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
    Put(model_.ZSet(), 4, {0x91, 0x31, 0x00, 0x0F});
    Bytes longFlags(12, 0x95);
    longFlags[3] = 0x30;
    Put(model_.XSet(), 2, longFlags);
    Put(model_.YSet(), 0, {0x9E, 0xFF});
  }
  static void Put(DexelSet& set, int32_t column, const Bytes& flags) {
    std::vector<double> values(flags.size());
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i);
    ASSERT_TRUE(SetDexelColumn(set, column, values, flags, std::vector<int32_t>(flags.size())));
  }
  static Bytes Flags(const DexelSet& set, int32_t column) {
    const auto f = DexelColumnFlags(set, column);
    return Bytes(f.begin(), f.end());
  }
  DexelModel model_;
};

TEST_F(FlagPasses, ClearingOnePenTagKeepsTheLowBits) {
  ClearDexelTag(model_, 0);  // matches untagged values: nothing visible changes
  EXPECT_EQ(Flags(model_.ZSet(), 4), (Bytes{0x91, 0x31, 0x00, 0x0F}));
  EXPECT_EQ(Flags(model_.ZSet(), 0), (Bytes{0, 0}));  // stock

  ClearDexelTag(model_, 9);
  EXPECT_EQ(Flags(model_.ZSet(), 4), (Bytes{0x01, 0x31, 0x00, 0x0F}));
  Bytes longFlags(12, 0x05);
  longFlags[3] = 0x30;
  EXPECT_EQ(Flags(model_.XSet(), 2), longFlags);
  EXPECT_EQ(Flags(model_.YSet(), 0), (Bytes{0x0E, 0xFF}));

  ClearDexelTag(model_, 25);  // no value has such a tag
  ClearAllDexelTags(model_);
  EXPECT_EQ(Flags(model_.ZSet(), 4), (Bytes{0x01, 0x01, 0x00, 0x0F}));
  longFlags[3] = 0x00;
  EXPECT_EQ(Flags(model_.XSet(), 2), longFlags);
  EXPECT_EQ(Flags(model_.YSet(), 0), (Bytes{0x0E, 0x0F}));
}

TEST_F(FlagPasses, MarksComeAndGoWithoutTouchingTheOtherBits) {
  SetDexelMarks(model_);
  EXPECT_EQ(Flags(model_.ZSet(), 4), (Bytes{0x91, 0x31, 0x01, 0x0F}));
  EXPECT_EQ(Flags(model_.YSet(), 0), (Bytes{0x9F, 0xFF}));
  EXPECT_EQ(Flags(model_.ZSet(), 0), (Bytes{0x01, 0x01}));
  ClearDexelMarks(model_);
  EXPECT_EQ(Flags(model_.ZSet(), 4), (Bytes{0x90, 0x30, 0x00, 0x0E}));
  EXPECT_EQ(Flags(model_.YSet(), 0), (Bytes{0x9E, 0xFE}));
  Bytes longFlags(12, 0x94);
  longFlags[3] = 0x30;
  EXPECT_EQ(Flags(model_.XSet(), 2), longFlags);
}

TEST_F(FlagPasses, SnapshotZeroesEveryValueInTheModelsLayout) {
  DexelFlagSnapshot snapshot;
  ASSERT_EQ(AllocDexelFlagSnapshot(snapshot, model_), 1);
  EXPECT_EQ(snapshot.Z.Bytes.size(), 9u * 8);
  EXPECT_EQ(snapshot.X.Bytes.size(), 9u * 8);
  // Whatever the bytes held before, only the values' bytes are cleared.
  for (DexelFlagLayer* layer : {&snapshot.Z, &snapshot.X, &snapshot.Y})
    std::fill(layer->Bytes.begin(), layer->Bytes.end(), 0xAA);
  Put(model_.ZSet(), 8, {});              // an empty column
  for (int pass = 0; pass < 2; ++pass) {  // a second clear starts over
    ClearDexelFlagSnapshot(model_, snapshot);
    EXPECT_EQ(snapshot.X.Long.size(), 1u);
    EXPECT_EQ(snapshot.Z.Long.size(), 0u);
  }
  const Bytes zeros4(4, 0);
  EXPECT_TRUE(std::equal(zeros4.begin(), zeros4.end(), snapshot.Z.Bytes.begin() + 4 * 8));
  EXPECT_TRUE(std::all_of(snapshot.Z.Bytes.begin() + 4 * 8 + 4, snapshot.Z.Bytes.begin() + 5 * 8,
                          [](uint8_t b) { return b == 0xAA; }));
  EXPECT_TRUE(std::all_of(snapshot.Z.Bytes.begin() + 8 * 8, snapshot.Z.Bytes.begin() + 9 * 8,
                          [](uint8_t b) { return b == 0xAA; }));
  EXPECT_EQ(snapshot.X.Long[0], Bytes(12, 0));

  // Column access follows the model's counts.
  std::span<uint8_t> longColumn = DexelSnapshotColumn(snapshot, model_, kDirectionX, 2);
  ASSERT_EQ(longColumn.size(), 12u);
  longColumn[11] = 7;
  EXPECT_EQ(snapshot.X.Long[0][11], 7);
  EXPECT_EQ(DexelSnapshotColumn(snapshot, model_, kDirectionZ, 4).size(), 4u);
  EXPECT_EQ(DexelSnapshotColumn(snapshot, model_, kDirectionY, 0).size(), 2u);
  EXPECT_TRUE(DexelSnapshotColumn(snapshot, model_, kDirectionZ, 8).empty());
  EXPECT_TRUE(DexelSnapshotColumn(snapshot, model_, kDirectionZ, 99).empty());
  // A column that grew long after the clear is not in the snapshot.
  Put(model_.YSet(), 1, Bytes(10, 0));
  EXPECT_TRUE(DexelSnapshotColumn(snapshot, model_, kDirectionY, 1).empty());

  FreeDexelFlagSnapshot(snapshot, model_);
  EXPECT_TRUE(snapshot.Z.Bytes.empty());
  EXPECT_TRUE(snapshot.X.Long.empty());
}

TEST(MaterialBounds, BoxBoundsFollowThePlacement) {
  DexelModel box;
  ASSERT_EQ(CreateBoxModel(box, {0, 0, 0, 10, 10, 10}, 3), kModelOk);
  Vec3 low, high;
  ComputeMaterialBounds(box, low, high);
  EXPECT_EQ(low, (Vec3{0, 0, 0}));
  EXPECT_EQ(high, (Vec3{10, 10, 10}));

  // Turned 90 degrees about Z: X and Y extents swap.
  DexelModel turned;
  ASSERT_EQ(
      CreateBoxModelPlaced(turned, {0, 0, 0, 10, 4, 2}, {0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 5}, 1),
      kModelOk);
  ComputeMaterialBounds(turned, low, high);
  EXPECT_EQ(low, (Vec3{-4, 0, 5}));
  EXPECT_EQ(high, (Vec3{0, 10, 7}));

  // Without material the start values stay.
  DexelModel empty;
  empty.CountX = empty.CountY = empty.CountZ = 3;
  empty.Pitch = 1;
  ASSERT_EQ(InitDexelGrids(empty), kModelOk);
  ASSERT_EQ(AllocDexelModel(empty), kModelOk);
  ComputeMaterialBounds(empty, low, high);
  EXPECT_EQ(low, (Vec3{1e12, 1e12, 1e12}));
  EXPECT_EQ(high, (Vec3{-1e12, -1e12, -1e12}));
}

TEST(VisitTables, UnreachedSegmentsAreFound) {
  DexelModel m;
  m.CountX = 3;
  m.CountY = 4;
  m.CountZ = 5;
  m.Pitch = 1;
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  DexelVisitTables t;
  ASSERT_EQ(AllocDexelArrays(m, 2, 1, 3, 40, t), 1);
  EXPECT_EQ(t.VisitX.size(), 20u * 2);
  EXPECT_EQ(t.VisitY.size(), 15u * 1);
  EXPECT_EQ(t.VisitZ.size(), 12u * 3);
  EXPECT_EQ(t.RemainingZ.size(), 12u);
  EXPECT_EQ(t.Stack.size(), 40u);
  EXPECT_EQ(TestDexelFlags(m, t), 0);  // every column empty

  // A Z column of two segments: both bytes are tested.
  const std::vector<double> values{0, 1, 2, 3};
  ASSERT_TRUE(SetDexelColumn(m.ZSet(), 5, values, Bytes(4, 0), std::vector<int32_t>(4, 0)));
  EXPECT_EQ(TestDexelFlags(m, t), 1);
  t.VisitZ[5 * 3] = 2;
  EXPECT_EQ(TestDexelFlags(m, t), 1);
  t.VisitZ[5 * 3 + 1] = 1;
  EXPECT_EQ(TestDexelFlags(m, t), 0);
  // The same column in the Y set, whose table has one byte per column: only
  // that byte is tested.
  ASSERT_TRUE(SetDexelColumn(m.YSet(), 14, values, Bytes(4, 0), std::vector<int32_t>(4, 0)));
  EXPECT_EQ(TestDexelFlags(m, t), 1);
  t.VisitY[14] = 2;
  EXPECT_EQ(TestDexelFlags(m, t), 0);

  EXPECT_EQ(AllocDexelArrays(m, -1, 1, 1, 1, t), -1);
  EXPECT_TRUE(t.VisitY.empty());
}

}  // namespace
}  // namespace vestan
