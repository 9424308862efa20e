// Repairing sliced columns whose hits do not pair up, by asking the two
// other directions about each segment.
#include "modelfiles/dexel_repair.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/box_models.h"

namespace vestan {
namespace {

using testing::Box;
using testing::Column;
using testing::ColumnAt;

// A 5 x 5 x 12 grid at pitch 1 holding the box in all three sets.
void MakeBoxModel(DexelModel& model, const Box& box) {
  testing::MakeGrid(model, {0, 0, 0}, {5, 5, 12}, 1.0);
  testing::AddBoxes(model, {box});
}

void PutZ(DexelModel& model, int32_t i, int32_t j, const std::vector<double>& values,
          uint8_t flag = 0) {
  ASSERT_TRUE(SetDexelColumn(model.ZSet(), ColumnAt(model, kDirectionZ, i, j), values,
                             std::vector<uint8_t>(values.size(), flag),
                             std::vector<int32_t>(values.size(), 0)));
}

TEST(DexelRepair, SegmentsTheProbesCallMaterialAreJoined) {
  DexelModel model;
  MakeBoxModel(model, {{0, 0, 0}, {4, 4, 10}});
  PutZ(model, 2, 2, {0, 4, 6, 10});
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  EXPECT_EQ(ComputeSegmentVerdicts(model, kDirectionZ, ColumnAt(model, kDirectionZ, 2, 2), state),
            (std::vector<uint8_t>{kSegmentMaterial, kSegmentMaterial, kSegmentMaterial}));
  RepairDexelModel(model, 0, state);
  EXPECT_EQ(Column(model, kDirectionZ, 2, 2), (std::vector<double>{0, 10}));
  EXPECT_EQ(state.OddSets, (std::array<int32_t, 3>{0, 0, 0}));
}

TEST(DexelRepair, AnEmptyLastSegmentIsDropped) {
  DexelModel model;
  MakeBoxModel(model, {{0, 0, 0}, {4, 4, 4}});
  PutZ(model, 2, 2, {0, 4, 10});
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  EXPECT_EQ(ComputeSegmentVerdicts(model, kDirectionZ, ColumnAt(model, kDirectionZ, 2, 2), state),
            (std::vector<uint8_t>{kSegmentMaterial, kSegmentEmptyFirstFew}));
  RepairDexelModel(model, 0, state);
  EXPECT_EQ(Column(model, kDirectionZ, 2, 2), (std::vector<double>{0, 4}));
}

TEST(DexelRepair, ValuesBetweenTheSameGridLinesAreUndecided) {
  DexelModel model;
  MakeBoxModel(model, {{0, 0, 0}, {4, 4, 10}});
  // A flagged value in an undecided segment is dropped, an unflagged one kept.
  const std::vector<double> values{0, 4.2, 4.6, 10};
  ASSERT_TRUE(SetDexelColumn(model.ZSet(), ColumnAt(model, kDirectionZ, 2, 2), values,
                             std::vector<uint8_t>{0, 0, 1, 0}, std::vector<int32_t>(4, 0)));
  ASSERT_TRUE(SetDexelColumn(model.ZSet(), ColumnAt(model, kDirectionZ, 1, 2), values,
                             std::vector<uint8_t>{0, 0, 0, 0}, std::vector<int32_t>(4, 0)));
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  EXPECT_EQ(ComputeSegmentVerdicts(model, kDirectionZ, ColumnAt(model, kDirectionZ, 2, 2), state),
            (std::vector<uint8_t>{kSegmentMaterial, kSegmentNoGridLine, kSegmentMaterial}));
  RepairDexelModel(model, 0, state);
  EXPECT_EQ(Column(model, kDirectionZ, 2, 2), (std::vector<double>{0, 10}));
  // Kept as a real boundary: the interval ends there, and the next material
  // segment extends the new one.
  EXPECT_EQ(Column(model, kDirectionZ, 1, 2), (std::vector<double>{0, 4.2, 4.6, 10}));
}

TEST(DexelRepair, AColumnStillOddIsEmptiedInTheSecondPass) {
  DexelModel model;
  MakeBoxModel(model, {{0, 0, 0}, {4, 4, 4}});
  // [0, 4] material, [4, 6] and [6, 10] empty: pass 0 leaves 0, 4, 6, which
  // pass 1 rebuilds to [0, 4].
  PutZ(model, 2, 2, {0, 4, 6, 10});
  // Above the box every segment is empty: pass 0 leaves the single 6.5,
  // which pass 1 empties.
  PutZ(model, 1, 2, {4.5, 6.5, 8.5});
  // Two values are never touched, whatever they say.
  PutZ(model, 3, 3, {0.5, 0.7}, 3);
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  RepairDexelModel(model, 0, state);
  EXPECT_EQ(Column(model, kDirectionZ, 2, 2), (std::vector<double>{0, 4, 6}));
  EXPECT_EQ(Column(model, kDirectionZ, 1, 2), (std::vector<double>{6.5}));
  EXPECT_EQ(state.OddSets, (std::array<int32_t, 3>{0, 0, 1}));
  EXPECT_EQ(Column(model, kDirectionZ, 3, 3), (std::vector<double>{0.5, 0.7}));
  // An even column of four is left alone by the second pass.
  PutZ(model, 1, 1, {0, 1, 3, 4}, 5);
  RepairDexelModel(model, 1, state);
  EXPECT_EQ(Column(model, kDirectionZ, 2, 2), (std::vector<double>{0, 4}));
  EXPECT_TRUE(Column(model, kDirectionZ, 1, 2).empty());
  EXPECT_EQ(Column(model, kDirectionZ, 1, 1), (std::vector<double>{0, 1, 3, 4}));
  const auto flags = DexelColumnFlags(model.ZSet(), ColumnAt(model, kDirectionZ, 1, 1));
  EXPECT_EQ(std::vector<uint8_t>(flags.begin(), flags.end()), (std::vector<uint8_t>(4, 5)));
}

TEST(DexelRepair, TheSecondProbeDecidesWhenTheFirstHasNoEvenColumn) {
  DexelModel model;
  MakeBoxModel(model, {{0, 0, 0}, {4, 4, 7}});
  // Every X column at y = 2 odd: the Y set must answer.
  for (int32_t k = 0; k < model.CountZ; ++k)
    ASSERT_TRUE(SetDexelColumn(model.XSet(), ColumnAt(model, kDirectionX, 2, k),
                               std::vector<double>{0, 1, 4}, std::vector<uint8_t>(3, 0),
                               std::vector<int32_t>(3, 0)));
  PutZ(model, 2, 2, {0, 5, 8, 11});
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  EXPECT_EQ(ComputeSegmentVerdicts(model, kDirectionZ, ColumnAt(model, kDirectionZ, 2, 2), state),
            (std::vector<uint8_t>{kSegmentMaterial, kSegmentMaterial, kSegmentEmptySecondFew}));
}

}  // namespace
}  // namespace vestan
