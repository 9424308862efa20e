#include "model/cut_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model_history.h"
#include "model/stock.h"

namespace vestan {
namespace {

void Put(DexelSet& set, int32_t column, const std::vector<double>& values) {
  ASSERT_TRUE(SetDexelColumn(set, column, values, std::vector<uint8_t>(values.size()),
                             std::vector<int32_t>(values.size())));
}

// A 0..4 cube at pitch 0.5 (9 points per axis) with its state before the
// cut saved in the ring.
DexelModel CutReady(int32_t slots = 2) {
  DexelModel m;
  m.SlotCount = slots;
  EXPECT_EQ(CreateBoxModel(m, {0, 0, 0, 4, 4, 4}, 0.5), kModelOk);
  PushModelHistory(m);
  return m;
}

TEST(CutStatistics, CellWeightsHalveAtEdgesAndQuarterAtCorners) {
  struct Case {
    const char* name;
    int32_t i, j;
    std::vector<double> after;
    double expected;
  };
  const Case cases[] = {
      {"interior, removed 1", 4, 4, {0, 3}, -0.25},
      {"interior, split", 2, 5, {0, 1, 1.5, 4}, -0.125},
      {"interior, added 1", 3, 3, {-1, 4}, 0.25},
      {"first row", 4, 0, {0, 3}, -0.125},
      {"last position", 8, 3, {0, 3}, -0.125},
      {"corner", 0, 0, {0, 3}, -0.0625},
      {"last corner", 8, 8, {1, 4}, -0.0625},
  };
  for (const Case& c : cases) {
    DexelModel cut = CutReady();
    Put(cut.ZSet(), ColumnIndexZ(cut, c.i, c.j), c.after);
    int32_t changed = -1;
    double amount = -1;
    ComputeCutAmount(cut.Slots[0].Z, cut.ZSet(), cut.CountX, cut.CountY, cut.PitchSquared, changed,
                     amount);
    EXPECT_EQ(changed, 1) << c.name;
    EXPECT_DOUBLE_EQ(amount, c.expected) << c.name;
    EXPECT_DOUBLE_EQ(ComputeCutAmountStats(cut), c.expected) << c.name;
  }
}

TEST(CutStatistics, UnchangedModelGivesNothing) {
  DexelModel m = CutReady();
  int32_t changed = -1;
  double amount = -1;
  ComputeCutAmount(m.Slots[0].X, m.XSet(), m.CountY, m.CountZ, m.PitchSquared, changed, amount);
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(amount, 0);
  EXPECT_EQ(ComputeCutAmountStats(m), 0);
  ComputeCutAmount(m.Slots[0].X, m.XSet(), m.CountY, 0, m.PitchSquared, changed, amount);
  EXPECT_EQ(changed, 0);

  DexelModel absent;
  EXPECT_EQ(ComputeCutAmountStats(absent), 0);
  // One slot: the saved slot is the current one.
  DexelModel single = CutReady(1);
  Put(single.ZSet(), 10, {0, 1});
  EXPECT_EQ(ComputeCutAmountStats(single), 0);
}

TEST(CutStatistics, TheDirectionWithTheMostChangedColumnsIsTaken) {
  struct Case {
    const char* name;
    int x, y, z;  // changed columns per set
    double expected;
  };
  // Each changed column is interior and loses 1, 2 or 3 (X, Y, Z): 0.25 per
  // unit of length.
  const Case cases[] = {
      {"X and Y tie above Z: X", 5, 5, 3, -5 * 0.25},
      {"all tie: Z", 4, 4, 4, -4 * 0.75},
      {"Z and X tie: Z", 3, 1, 3, -3 * 0.75},
      {"Y most", 1, 4, 2, -4 * 0.5},
  };
  for (const Case& c : cases) {
    DexelModel m = CutReady();
    for (int n = 0; n < c.x; ++n) Put(m.XSet(), ColumnIndexX(m, 1 + n, 3), {0, 3});
    for (int n = 0; n < c.y; ++n) Put(m.YSet(), ColumnIndexY(m, 1 + n, 3), {0, 2});
    for (int n = 0; n < c.z; ++n) Put(m.ZSet(), ColumnIndexZ(m, 1 + n, 3), {0, 1});
    EXPECT_DOUBLE_EQ(ComputeCutAmountStats(m), c.expected) << c.name;
  }
}

TEST(CutStatistics, AfterTheRingWrapsTheHighestSlotHoldsTheSavedState) {
  DexelModel m = CutReady(2);  // current 1
  Put(m.ZSet(), ColumnIndexZ(m, 4, 4), {0, 2});
  PushModelHistory(m);  // current 0, slot 1 holds the state before this cut
  ASSERT_EQ(m.CurrentSlot, 0);
  Put(m.ZSet(), ColumnIndexZ(m, 4, 4), {0, 1});
  EXPECT_DOUBLE_EQ(ComputeCutAmountStats(m), -0.25);
}

TEST(CutStatistics, NanLengthCountsAsChanged) {
  DexelModel m = CutReady();
  Put(m.ZSet(), ColumnIndexZ(m, 4, 4), {0, std::nan("")});
  int32_t changed = 0;
  double amount = 0;
  ComputeCutAmount(m.Slots[0].Z, m.ZSet(), m.CountX, m.CountY, m.PitchSquared, changed, amount);
  EXPECT_EQ(changed, 1);
  EXPECT_TRUE(std::isnan(amount));
}

}  // namespace
}  // namespace vestan
