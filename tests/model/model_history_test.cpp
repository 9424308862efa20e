#include "model/model_history.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/stock.h"

namespace vestan {
namespace {

using Values = std::vector<double>;

// count values start, start + 1, ... with flags and attributes derived from them.
void Write(DexelSet& set, int32_t column, int count, double start) {
  Values v;
  std::vector<uint8_t> f;
  std::vector<int32_t> a;
  for (int i = 0; i < count; ++i) {
    v.push_back(start + i);
    f.push_back(static_cast<uint8_t>(start) + i);
    a.push_back(static_cast<int32_t>(start) * 100 + i);
  }
  ASSERT_TRUE(SetDexelColumn(set, column, v, f, a));
}

// The column's first value, or -1 when empty; checks the column's payload too.
double First(const DexelSet& set, int32_t column) {
  const auto v = DexelColumnValues(set, column);
  if (v.empty()) return -1;
  const auto f = DexelColumnFlags(set, column);
  const auto a = DexelColumnAttributes(set, column);
  EXPECT_EQ(f.size(), v.size());
  EXPECT_EQ(a.size(), v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i], v[0] + static_cast<double>(i));
    EXPECT_EQ(f[i], static_cast<uint8_t>(v[0]) + i);
    EXPECT_EQ(a[i], static_cast<int32_t>(v[0]) * 100 + static_cast<int32_t>(i));
  }
  return v[0];
}

DexelModel Box(int32_t slots) {
  DexelModel m;
  m.SlotCount = slots;
  EXPECT_EQ(CreateBoxModel(m, {0, 0, 0, 4, 4, 4}, 1), kModelOk);
  return m;
}

TEST(ModelHistory, PushesWrapAndKeepEveryEarlierStateIntact) {
  DexelModel m = Box(4);
  // Each state has a long column (12 values) and a short one of its own.
  const int32_t kLong = 6, kShort = 7;
  Write(m.ZSet(), kLong, 12, 10);
  Write(m.XSet(), kShort, 4, 10);
  m.MaxCorner() = {10, 10, 10};
  m.SideFlags()[2] = 1;
  m.BlockLists[5] = 42;

  const int32_t expectedSlots[] = {1, 2, 3, 0};
  for (int push = 0; push < 4; ++push) {
    PushModelHistory(m);
    ASSERT_EQ(m.CurrentSlot, expectedSlots[push]) << "push " << push;
    // The new slot starts as a copy of the previous state...
    EXPECT_EQ(First(m.ZSet(), kLong), 10.0 + 10 * push) << "push " << push;
    EXPECT_EQ(m.MaxCorner(), (Vec3{10.0 + push, 10, 10})) << "push " << push;
    EXPECT_EQ(m.SideFlags()[2], 1) << "push " << push;
    EXPECT_EQ(m.CurrentBlockLists()[5], 42) << "push " << push;
    // ...and then changes on its own.
    Write(m.ZSet(), kLong, 12 + push, 20.0 + 10 * push);
    Write(m.XSet(), kShort, 2, 20.0 + 10 * push);
    m.MaxCorner()[0] += 1;
  }
  EXPECT_EQ(m.HighestSlot, 3);

  // Slot 0 now holds the fourth state; slots 3, 2, 1 the three before it.
  const double firstValues[] = {40, 30, 20};
  for (double first : firstValues) {
    PopModelHistory(m);
    EXPECT_EQ(First(m.ZSet(), kLong), first) << "slot " << m.CurrentSlot;
    EXPECT_EQ(First(m.XSet(), kShort), first) << "slot " << m.CurrentSlot;
  }
  EXPECT_EQ(m.CurrentSlot, 1);
  PopModelHistory(m);
  PopModelHistory(m);  // from slot 0 back to the highest slot
  EXPECT_EQ(m.CurrentSlot, 3);
  EXPECT_EQ(First(m.ZSet(), kLong), 40);
}

TEST(ModelHistory, PopWalksBackThroughTheSlotsInUse) {
  DexelModel m = Box(3);
  PushModelHistory(m);
  PushModelHistory(m);
  const int32_t visits[] = {1, 0, 2, 1, 0};
  for (int32_t expected : visits) {
    PopModelHistory(m);
    EXPECT_EQ(m.CurrentSlot, expected);
  }
  // A push after pops overwrites the undone state in the slot it moves into.
  Write(m.ZSet(), 0, 2, 50);
  PushModelHistory(m);
  EXPECT_EQ(m.CurrentSlot, 1);
  EXPECT_EQ(First(m.ZSet(), 0), 50);
}

TEST(ModelHistory, OneSlotOrABadSlotCountNeverLeavesTheSlotsThatExist) {
  DexelModel one = Box(1);
  Write(one.ZSet(), 3, 10, 5);
  PushModelHistory(one);
  EXPECT_EQ(one.CurrentSlot, 0);
  EXPECT_EQ(one.HighestSlot, 0);
  EXPECT_EQ(First(one.ZSet(), 3), 5);
  PopModelHistory(one);
  EXPECT_EQ(one.CurrentSlot, 0);

  DexelModel zero = Box(2);
  zero.SlotCount = 0;  // taken as one slot
  PushModelHistory(zero);
  EXPECT_EQ(zero.CurrentSlot, 0);
  zero.SlotCount = 9;  // only two slots exist
  PushModelHistory(zero);
  PushModelHistory(zero);
  EXPECT_EQ(zero.CurrentSlot, 0);
  EXPECT_EQ(zero.HighestSlot, 1);

  DexelModel absent;
  PushModelHistory(absent);
  PopModelHistory(absent);
  EXPECT_EQ(absent.CurrentSlot, 0);
}

TEST(ModelHistory, MemoryEstimateFollowsTheStorageLayout) {
  DexelModel absent;
  EXPECT_EQ(EstimateModelMemory(absent), 0u);

  // 11 x 11 x 11 points, one slot, every column one pair:
  // 120 + 48 + 6 + 33 * 8 + 3 * 121 * (4 + 104).
  DexelModel m = Box(1);
  ASSERT_EQ(CreateBoxModel(m, {0, 0, 0, 10, 10, 10}, 1), kModelOk);
  EXPECT_EQ(EstimateModelMemory(m), 39642u);
  // A long column of 12 values adds its entry (72 bytes) and the allocator's
  // blocks of its arrays: 96, 12 and 48 bytes with an 8-byte header each,
  // rounded up to 16 and at least 32; a second slot its whole layout.
  Write(m.YSet(), 0, 12, 0);
  EXPECT_EQ(EstimateModelMemory(m), 39642u + 72 + 112 + 32 + 64);

  DexelModel two = Box(2);
  ASSERT_EQ(CreateBoxModel(two, {0, 0, 0, 10, 10, 10}, 1), kModelOk);
  Write(two.YSet(), 0, 12, 0);
  PushModelHistory(two);
  EXPECT_EQ(EstimateModelMemory(two), 2 * (39642u + 280) - 33 * 8);
}

}  // namespace
}  // namespace vestan
