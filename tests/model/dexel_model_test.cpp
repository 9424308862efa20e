#include "model/dexel_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace vestan {
namespace {

DexelModel MakeModel(int32_t nx, int32_t ny, int32_t nz, double pitch, int32_t slots = 2) {
  DexelModel m;
  m.CountX = nx;
  m.CountY = ny;
  m.CountZ = nz;
  m.Pitch = pitch;
  m.SlotCount = slots;
  m.OriginX = -1;
  m.OriginY = 2;
  m.OriginZ = 0.5;
  return m;
}

TEST(DexelModel, UpdateBlocksGrowUntilBelowThousand) {
  DexelModel m = MakeModel(101, 101, 101, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  // 5..11 cells give 1000 blocks or more; 12 cells give 9 blocks per axis.
  EXPECT_EQ(m.BlockCellsX, 12);
  EXPECT_EQ(m.BlocksX, 9);
  EXPECT_EQ(m.LastBlockX, 8);
  EXPECT_EQ(m.BlockCount, 729);
  EXPECT_EQ(m.LastBlockCellsX, 4);  // 100 - 8 * 12
  EXPECT_EQ(m.BlockDirty.size(), 729u);
  EXPECT_EQ(m.BlockLists.size(), 2000u);

  struct Point {
    int g, low, high;
  };
  const Point points[] = {{0, 0, 0},  {11, 0, 0}, {12, 0, 1}, {13, 1, 1},
                          {24, 1, 2}, {99, 8, 8}, {100, 8, 8}};
  for (const Point& p : points) {
    EXPECT_EQ(m.BlockLowZ[p.g], p.low) << "grid point " << p.g;
    EXPECT_EQ(m.BlockHighZ[p.g], p.high) << "grid point " << p.g;
  }
}

TEST(DexelModel, SmallAndWholeGridsGiveOneBlock) {
  DexelModel small = MakeModel(6, 6, 6, 1.0);
  ASSERT_EQ(InitDexelGrids(small), kModelOk);
  EXPECT_EQ(small.BlockCount, 1);
  EXPECT_EQ(small.BlockCellsX, 5);
  EXPECT_EQ(small.LastBlockCellsX, 5);

  DexelModel whole = MakeModel(50, 31, 20, 0.5);
  ASSERT_EQ(InitDexelGridsWhole(whole), kModelOk);
  EXPECT_EQ(whole.BlockCount, 1);
  EXPECT_EQ(whole.BlockCellsX, 49);
  EXPECT_EQ(whole.BlockCellsY, 30);
  EXPECT_EQ(whole.BlockCellsZ, 19);
  EXPECT_EQ(whole.LastBlockCellsY, 30);
  EXPECT_EQ(whole.BlockHighX[49], 0);

  // An axis with cells that are not a multiple of the block size.
  DexelModel uneven = MakeModel(13, 3, 3, 1.0);
  ASSERT_EQ(InitDexelGrids(uneven), kModelOk);
  EXPECT_EQ(uneven.BlocksX, 3);  // 12 cells in blocks of 5
  EXPECT_EQ(uneven.LastBlockCellsX, 2);
  EXPECT_EQ(uneven.BlockLowX[10], 1);
  EXPECT_EQ(uneven.BlockHighX[10], 2);
  EXPECT_EQ(uneven.BlockLowX[12], 2);
  EXPECT_EQ(uneven.BlockHighX[12], 2);
}

TEST(DexelModel, RefusesUnusableGrids) {
  struct Case {
    const char* name;
    int32_t nx, ny, nz;
    double pitch;
  };
  const Case cases[] = {
      {"one point", 1, 5, 5, 1.0},
      {"zero pitch", 5, 5, 5, 0.0},
      {"negative pitch", 5, 5, 5, -1.0},
      {"nan pitch", 5, 5, 5, std::numeric_limits<double>::quiet_NaN()},
      {"infinite pitch", 5, 5, 5, std::numeric_limits<double>::infinity()},
      {"columns beyond 32 bits", 50000, 50000, 2, 1.0},
  };
  for (const Case& c : cases) {
    DexelModel m = MakeModel(c.nx, c.ny, c.nz, c.pitch);
    EXPECT_EQ(InitDexelGrids(m), kModelBadGrid) << c.name;
    EXPECT_EQ(m.CountX, 0) << c.name;
    DexelModel n = MakeModel(c.nx, c.ny, c.nz, c.pitch);
    EXPECT_EQ(AllocDexelModel(n), kModelBadGrid) << c.name;
    EXPECT_EQ(n.CountX, 0) << c.name;
    EXPECT_FALSE(n.Allocated()) << c.name;
  }
}

TEST(DexelModel, BytesOfLongColumnsAsTheAllocatorHandsThemOut) {
  // The column's entry (three arrays, 72 bytes) and a block per array: its
  // bytes and an 8-byte header rounded up to 16, at least 32. Measured with
  // the allocator's statistics: 232, 248, 632 and 13112 bytes.
  EXPECT_EQ(LongColumnBytes(8), 0u);  // inline
  EXPECT_EQ(LongColumnBytes(9), 72u + 80 + 32 + 48);
  EXPECT_EQ(LongColumnBytes(10), 72u + 96 + 32 + 48);
  EXPECT_EQ(LongColumnBytes(40), 72u + 336 + 48 + 176);
  EXPECT_EQ(LongColumnBytes(1000), 72u + 8016 + 1008 + 4016);
  // A file's values bound the long columns they fill: long columns of 9 take
  // the most for their values, one per 117 bytes begun.
  EXPECT_EQ(LongColumnBytesWithin(0), 0u);
  EXPECT_EQ(LongColumnBytesWithin(117), 232u);
  EXPECT_EQ(LongColumnBytesWithin(118), 2 * 232u);
  EXPECT_GE(LongColumnBytesWithin(13 * 1000), LongColumnBytes(1000));
  EXPECT_EQ(LongColumnBytesWithin(std::numeric_limits<uint64_t>::max()),
            std::numeric_limits<uint64_t>::max());
}

TEST(DexelModel, BytesOfSlotsAndGridLines) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  constexpr int32_t kMaxCount = std::numeric_limits<int32_t>::max();
  struct Case {
    const char* name;
    int64_t slots;
    int32_t nx, ny, nz;
    uint64_t bytes;
  };
  // Per slot 120 + 48 + 6 and 4 + 13 * 8 = 108 per column; 8 per grid line.
  const Case cases[] = {
      // 4*3 + 3*5 + 4*5 = 47 columns, 12 grid lines.
      {"one slot", 1, 4, 3, 5, 174 + 47 * 108 + 12 * 8},
      {"three slots", 3, 4, 3, 5, 3 * (174 + 47 * 108) + 12 * 8},
      {"no slots", 0, 4, 3, 5, 12 * 8},
      // Only the 3*5 columns of the X set remain.
      {"negative count", 1, -4, 3, 5, 174 + 15 * 108 + 8 * 8},
      // 40000*40000 + 2 * 40000*10001 columns, beyond 32 bits once multiplied.
      {"large grid", 2, 40000, 40000, 10001,
       2 * (174 + 2400080000ull * 108) + (40000 + 40000 + 10001) * 8},
      {"columns beyond 64 bits", 1, kMaxCount, kMaxCount, kMaxCount, kMax},
      {"slots beyond 64 bits", std::numeric_limits<int64_t>::max(), 46340, 46340, 46340, kMax},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DexelModelBytes(c.slots, c.nx, c.ny, c.nz), c.bytes) << c.name;
}

TEST(DexelModel, AllocationDerivesGridAndZeroesEverySlot) {
  DexelModel m = MakeModel(4, 3, 5, 0.25, 0);  // slot count below 1 gets one slot
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  EXPECT_EQ(m.SlotCount, 1);
  EXPECT_EQ(m.Slots.size(), 1u);
  EXPECT_EQ(m.ColumnsZ, 12);
  EXPECT_EQ(m.ColumnsX, 15);
  EXPECT_EQ(m.ColumnsY, 20);
  EXPECT_EQ(m.LastZ, 4);
  EXPECT_EQ(m.PitchSquared, 0.0625);
  EXPECT_EQ(m.GridX, (std::vector<double>{-1, -0.75, -0.5, -0.25}));
  EXPECT_EQ(m.GridY, (std::vector<double>{2, 2.25, 2.5}));
  EXPECT_EQ(m.GridZ.back(), 1.5);
  EXPECT_EQ(m.CurrentSlot, 0);
  EXPECT_EQ(m.HighestSlot, 0);
  for (int direction : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = m.SetByDirection(direction);
    EXPECT_EQ(set.Stride, 8);
    EXPECT_TRUE(std::all_of(set.Counts.begin(), set.Counts.end(), [](int c) { return c == 0; }));
    EXPECT_EQ(set.Values.size(), static_cast<size_t>(set.Columns) * 8);
    EXPECT_TRUE(std::all_of(set.Values.begin(), set.Values.end(), [](double v) { return v == 0; }));
  }
  EXPECT_EQ(m.ZSet().Columns, 12);
  EXPECT_EQ(m.XSet().Columns, 15);
  EXPECT_EQ(m.YSet().Columns, 20);
  EXPECT_EQ(m.MaxCorner(), (Vec3{0, 0, 0}));
  EXPECT_EQ(m.SideFlags(), (std::array<uint8_t, 6>{}));

  FreeDexelModel(m);
  EXPECT_FALSE(m.Allocated());
  EXPECT_EQ(m.CountX, 4);  // plain fields stay
  EXPECT_TRUE(m.GridX.empty());
  EXPECT_TRUE(m.BlockDirty.empty());
}

struct ColumnData {
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
};

ColumnData MakeColumn(int count, double start) {
  ColumnData c;
  for (int i = 0; i < count; ++i) {
    c.values.push_back(start + i);
    c.flags.push_back(static_cast<uint8_t>(0x10 * (i % 16) | (i & 1)));
    c.attributes.push_back(1000 + i);
  }
  return c;
}

void ExpectColumn(const DexelSet& set, int32_t column, const ColumnData& expected,
                  const char* step) {
  const int32_t count = static_cast<int32_t>(expected.values.size());
  ASSERT_EQ(DexelColumnCount(set, column), count) << step;
  std::vector<double> values(kMaxColumnValues, -7);
  std::vector<uint8_t> flags(kMaxColumnValues, 0xEE);
  std::vector<int32_t> attributes(kMaxColumnValues, -7);
  EXPECT_EQ(GetDexelColumn(set, column, values, flags, attributes), count) << step;
  values.resize(count);
  flags.resize(count);
  attributes.resize(count);
  EXPECT_EQ(values, expected.values) << step;
  EXPECT_EQ(flags, expected.flags) << step;
  EXPECT_EQ(attributes, expected.attributes) << step;

  std::vector<double> v2(kMaxColumnValues);
  std::vector<int32_t> a2(kMaxColumnValues);
  std::vector<uint8_t> f2(kMaxColumnValues);
  EXPECT_EQ(GetDexelColumnValuesAttrs(set, column, v2, a2), count) << step;
  EXPECT_TRUE(std::equal(expected.attributes.begin(), expected.attributes.end(), a2.begin()))
      << step;
  EXPECT_EQ(GetDexelColumnValuesFlags(set, column, v2, f2), count) << step;
  EXPECT_TRUE(std::equal(expected.flags.begin(), expected.flags.end(), f2.begin())) << step;
  EXPECT_EQ(GetDexelColumnValues(set, column, v2), count) << step;
  EXPECT_TRUE(std::equal(expected.values.begin(), expected.values.end(), v2.begin())) << step;
}

TEST(DexelModel, ColumnWritesAcrossTheInlineBoundary) {
  DexelModel m = MakeModel(5, 5, 5, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  DexelSet& set = m.ZSet();
  const int32_t column = 7;
  const ColumnData neighbour = MakeColumn(6, 100);
  ASSERT_TRUE(
      SetDexelColumn(set, column - 1, neighbour.values, neighbour.flags, neighbour.attributes));
  ASSERT_TRUE(
      SetDexelColumn(set, column + 1, neighbour.values, neighbour.flags, neighbour.attributes));

  struct Step {
    const char* name;
    int count;
    double start;
  };
  const Step steps[] = {{"9 into empty", 9, 0},   {"9 again", 9, 20},  {"10", 10, 40},
                        {"8 back inline", 8, 60}, {"10 again", 10, 5}, {"0", 0, 0}};
  for (const Step& s : steps) {
    const ColumnData data = MakeColumn(s.count, s.start);
    ASSERT_TRUE(SetDexelColumn(set, column, data.values, data.flags, data.attributes)) << s.name;
    ExpectColumn(set, column, data, s.name);
    ExpectColumn(set, column - 1, neighbour, s.name);
    ExpectColumn(set, column + 1, neighbour, s.name);
    if (s.count > kDexelStride) {
      EXPECT_EQ(DexelColumnValues(set, column).size(), static_cast<size_t>(s.count));
    }
  }
  // Every long-column entry was given back.
  EXPECT_EQ(set.FreeLongColumns.size(), set.LongColumns.size());

  // Readers copy nothing from an empty column.
  std::vector<double> values(4, -7);
  std::vector<uint8_t> flags(4, 0xEE);
  std::vector<int32_t> attributes(4, -7);
  EXPECT_EQ(GetDexelColumn(set, column, values, flags, attributes), 0);
  EXPECT_EQ(values, std::vector<double>(4, -7));
  EXPECT_EQ(flags, std::vector<uint8_t>(4, 0xEE));
  EXPECT_EQ(GetDexelColumnFlags(set, column, flags), 0);
  EXPECT_EQ(flags, std::vector<uint8_t>(4, 0xEE));
}

// A cutter reads a column through its views and writes the result back; the
// views may still point at the storage the write replaces.
TEST(DexelModel, ColumnCanBeRewrittenFromItsOwnViews) {
  DexelModel m = MakeModel(3, 3, 3, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  DexelSet& set = m.ZSet();
  struct Case {
    const char* name;
    int from, to;
  };
  const Case cases[] = {{"long to shorter long", 12, 10},
                        {"long to same length", 12, 12},
                        {"long to inline", 12, 6},
                        {"inline to shorter inline", 8, 4}};
  for (const Case& c : cases) {
    const ColumnData data = MakeColumn(c.from, 3);
    ASSERT_TRUE(SetDexelColumn(set, 4, data.values, data.flags, data.attributes)) << c.name;
    ASSERT_TRUE(SetDexelColumn(set, 4, DexelColumnValues(set, 4).first(c.to),
                               DexelColumnFlags(set, 4).first(c.to),
                               DexelColumnAttributes(set, 4).first(c.to)))
        << c.name;
    const ColumnData expected = MakeColumn(c.to, 3);
    ExpectColumn(set, 4, expected, c.name);
  }
}

TEST(DexelModel, FlagsCanBeReplacedInBothForms) {
  DexelModel m = MakeModel(3, 3, 3, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  DexelSet& set = m.XSet();
  for (int count : {4, 12}) {
    ColumnData data = MakeColumn(count, 0);
    ASSERT_TRUE(SetDexelColumn(set, 2, data.values, data.flags, data.attributes));
    std::vector<uint8_t> marks(count, kFlagMark);
    EXPECT_TRUE(PutDexelColumnFlags(set, 2, marks));
    std::vector<uint8_t> out(count);
    EXPECT_EQ(GetDexelColumnFlags(set, 2, out), count);
    EXPECT_EQ(out, marks) << count;
    data.flags = marks;
    ExpectColumn(set, 2, data, "after put");
    EXPECT_FALSE(PutDexelColumnFlags(set, 2, std::vector<uint8_t>(count - 1, 0)));
  }
}

TEST(DexelModel, OversizedOrShortWritesAndReadsAreRefused) {
  DexelModel m = MakeModel(3, 3, 3, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  DexelSet& set = m.YSet();
  const ColumnData before = MakeColumn(4, 0);
  ASSERT_TRUE(SetDexelColumn(set, 0, before.values, before.flags, before.attributes));
  const ColumnData huge = MakeColumn(kMaxColumnValues + 2, 0);
  EXPECT_FALSE(SetDexelColumn(set, 0, huge.values, huge.flags, huge.attributes));
  EXPECT_EQ(set.RefusedWrites, 1);
  ExpectColumn(set, 0, before, "after refused write");

  const ColumnData full = MakeColumn(kMaxColumnValues, 0);
  EXPECT_TRUE(SetDexelColumn(set, 0, full.values, full.flags, full.attributes));
  std::vector<double> small(kMaxColumnValues - 1);
  EXPECT_EQ(GetDexelColumnValues(set, 0, small), -1);
}

TEST(DexelModel, SetColumnInSetMapsDirections) {
  DexelModel m = MakeModel(4, 5, 6, 1.0);
  ASSERT_EQ(InitDexelGrids(m), kModelOk);
  ASSERT_EQ(AllocDexelModel(m), kModelOk);
  const ColumnData data = MakeColumn(2, 1);
  struct Case {
    int direction;
    int32_t a, b;
    DexelSet* set;
    int32_t column;
  };
  const Case cases[] = {
      {2, 3, 4, &m.ZSet(), 4 * 4 + 3},  // nx*b + a
      {1, 5, 3, &m.YSet(), 6 * 3 + 5},  // nz*b + a
      {0, 4, 5, &m.XSet(), 5 * 5 + 4},  // ny*b + a
      {5, 1, 1, &m.XSet(), 5 * 1 + 1},  // anything else means X
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(
        SetDexelColumnInSet(m, c.direction, c.a, c.b, data.values, data.flags, data.attributes))
        << c.direction;
    EXPECT_EQ(DexelColumnCount(*c.set, c.column), 2) << c.direction;
  }
  EXPECT_FALSE(SetDexelColumnInSet(m, 2, 4, 0, data.values, data.flags, data.attributes));
  EXPECT_FALSE(SetDexelColumnInSet(m, 1, 0, -1, data.values, data.flags, data.attributes));
}

// The value extent is kept from the writes: every value counts (a column out
// of order too), a NaN makes it endless, emptying a set starts it afresh,
// and a copy of the model carries it.
TEST(DexelModel, ValueExtentFollowsEveryWrite) {
  DexelModel model;
  model.CountX = model.CountY = model.CountZ = 4;
  model.Pitch = 1.0;
  ASSERT_EQ(InitDexelGrids(model), kModelOk);
  ASSERT_EQ(AllocDexelModel(model), kModelOk);
  DexelSet& set = model.ZSet();
  EXPECT_GT(set.LowestValue, set.HighestValue);  // nothing written
  const std::vector<uint8_t> flags(4, 0);
  const std::vector<int32_t> attributes(4, 0);
  ASSERT_TRUE(SetDexelColumn(set, 0, std::vector<double>{1, 2}, flags, attributes));
  ASSERT_TRUE(SetDexelColumn(set, 1, std::vector<double>{5, -3, 40, 4}, flags, attributes));
  // Emptied again, the column's values still bound what it may have left.
  ASSERT_TRUE(SetDexelColumn(set, 1, {}, {}, {}));
  EXPECT_EQ(set.LowestValue, -3.0);
  EXPECT_EQ(set.HighestValue, 40.0);
  const DexelModel copy = model;
  EXPECT_EQ(copy.ZSet().HighestValue, 40.0);
  ASSERT_TRUE(SetDexelColumn(set, 2, std::vector<double>{0, std::nan("")}, flags, attributes));
  EXPECT_EQ(set.LowestValue, -INFINITY);
  EXPECT_EQ(set.HighestValue, INFINITY);
  FreeDexelColumns(set);
  EXPECT_GT(set.LowestValue, set.HighestValue);
}

}  // namespace
}  // namespace vestan
