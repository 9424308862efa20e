#include "model/column_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/dexel_model.h"

namespace vestan {
namespace {

using Values = std::vector<double>;

// Runs the union on a buffer with room for two more values.
Values Unite(Values column, double a, double b) {
  int32_t count = static_cast<int32_t>(column.size());
  column.resize(column.size() + 2, -99);
  EXPECT_TRUE(AddIntervalToColumn(column, count, a, b));
  column.resize(count);
  return column;
}

TEST(ColumnOperations, UnionCases) {
  struct Case {
    const char* name;
    Values column;
    double a, b;
    Values expected;
  };
  const Case cases[] = {
      {"into empty", {}, 1, 2, {1, 2}},
      {"touching below", {2, 5}, 1, 2, {1, 5}},
      {"touching above", {2, 5}, 5, 6, {2, 6}},
      {"apart above", {2, 5}, 6, 7, {2, 5, 6, 7}},
      {"apart below", {2, 5}, 0, 1, {0, 1, 2, 5}},
      {"inside", {2, 5}, 3, 4, {2, 5}},
      {"covers all pairs", {1, 2, 4, 5, 7, 8}, 0, 10, {0, 10}},
      {"between pairs", {1, 2, 5, 6}, 3, 4, {1, 2, 3, 4, 5, 6}},
      {"in front", {1, 2, 5, 6}, -3, 0, {-3, 0, 1, 2, 5, 6}},
      {"appended", {1, 2, 5, 6}, 7, 9, {1, 2, 5, 6, 7, 9}},
      {"bridges two of three", {1, 2, 4, 5, 7, 8}, 1.5, 4, {1, 5, 7, 8}},
      {"touches the next pair", {1, 2, 4, 5, 7, 8}, 5, 7, {1, 2, 4, 8}},
      {"widens a middle pair", {1, 2, 4, 5, 7, 8}, 3, 5.5, {1, 2, 3, 5.5, 7, 8}},
      {"empty interval", {1, 2, 5, 6}, 3, 3, {1, 2, 5, 6}},
      {"reversed interval", {1, 2}, 4, 3, {1, 2}},
  };
  for (const Case& c : cases) EXPECT_EQ(Unite(c.column, c.a, c.b), c.expected) << c.name;
}

// A column of the given number of pairs: [10i, 10i + 5].
Values Pairs(int pairs) {
  Values v;
  for (int i = 0; i < pairs; ++i) {
    v.push_back(10.0 * i);
    v.push_back(10.0 * i + 5);
  }
  return v;
}

TEST(ColumnOperations, GrowthPastTheColumnLimitOrTheBufferIsRefused) {
  // A full column: inserting a pair would take it past the limit.
  Values full = Pairs(kMaxColumnValues / 2);
  const Values before = full;
  full.resize(full.size() + 2);
  int32_t count = kMaxColumnValues;
  EXPECT_FALSE(AddIntervalToColumn(full, count, 6, 7));
  EXPECT_EQ(count, kMaxColumnValues);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), full.begin()));
  // A merge that does not grow it is still done.
  EXPECT_TRUE(AddIntervalToColumn(full, count, 5, 10));
  EXPECT_EQ(count, kMaxColumnValues - 2);

  // A buffer without room for the insertion.
  Values tight{1, 2};
  count = 2;
  EXPECT_FALSE(AddIntervalToColumn(tight, count, 3, 4));
  EXPECT_FALSE(SubtractIntervalFromColumn(tight, count, 1.2, 1.5));
  EXPECT_EQ(tight, (Values{1, 2}));
  EXPECT_EQ(count, 2);

  // A count the buffer cannot hold, or a NaN interval, is not used.
  count = 3;
  EXPECT_FALSE(AddIntervalToColumn(tight, count, 3, 4));
  count = -2;
  EXPECT_FALSE(SubtractIntervalFromColumn(tight, count, 3, 4));
  count = 2;
  EXPECT_FALSE(AddIntervalToColumn(tight, count, std::nan(""), 4));
  EXPECT_FALSE(SubtractIntervalFromColumn(tight, count, 1.2, std::nan("")));
  EXPECT_EQ(tight, (Values{1, 2}));
}

struct Column {
  Values values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
};

// Flags 0x10 * (index + 1) | 1 and attributes 100 + index mark every old
// boundary by its place.
Column Marked(const Values& values) {
  Column c{values, {}, {}};
  for (size_t i = 0; i < values.size(); ++i) {
    c.flags.push_back(static_cast<uint8_t>(0x10 * (i + 1) | 1));
    c.attributes.push_back(static_cast<int32_t>(100 + i));
  }
  return c;
}

// Old boundary i, or a new one (-1).
constexpr int kNew = -1;

void ExpectPayload(const Column& c, const std::vector<int>& origins, const std::string& name,
                   uint8_t newFlag = 0, int32_t newAttribute = 0) {
  ASSERT_EQ(c.flags.size(), origins.size()) << name;
  for (size_t i = 0; i < origins.size(); ++i) {
    const int o = origins[i];
    EXPECT_EQ(c.flags[i], o == kNew ? newFlag : static_cast<uint8_t>(0x10 * (o + 1) | 1))
        << name << " value " << i;
    EXPECT_EQ(c.attributes[i], o == kNew ? newAttribute : 100 + o) << name << " value " << i;
  }
}

TEST(ColumnOperations, SubtractionCases) {
  struct Case {
    const char* name;
    Values column;
    double a, b;
    Values expected;
    std::vector<int> origins;  // where each surviving value came from
  };
  const Case cases[] = {
      {"split", {0, 10}, 2, 3, {0, 2, 3, 10}, {0, kNew, kNew, 1}},
      {"covers the pair", {2, 5}, 0, 10, {}, {}},
      {"touching above", {2, 5}, 5, 8, {2, 5}, {0, 1}},
      {"touching below", {2, 5}, 0, 2, {2, 5}, {0, 1}},
      {"equal to the pair", {2, 5}, 2, 5, {}, {}},
      {"upper end", {2, 5}, 4, 8, {2, 4}, {0, kNew}},
      {"lower end", {2, 5}, 0, 3, {3, 5}, {kNew, 1}},
      {"across three pairs", {0, 1, 2, 3, 4, 5}, 0.5, 4.5, {0, 0.5, 4.5, 5}, {0, kNew, kNew, 5}},
      {"middle pair dropped", {0, 1, 2, 3, 4, 5}, 1.5, 3.5, {0, 1, 4, 5}, {0, 1, 4, 5}},
      {"split of a later pair",
       {0, 1, 2, 10, 12, 13},
       4,
       6,
       {0, 1, 2, 4, 6, 10, 12, 13},
       {0, 1, 2, kNew, kNew, 3, 4, 5}},
      {"single value is no pair", {3}, 0, 10, {}, {}},
  };
  for (const Case& c : cases) {
    // Values only.
    int32_t count = static_cast<int32_t>(c.column.size());
    Values values = c.column;
    values.resize(values.size() + 2);
    ASSERT_TRUE(SubtractIntervalFromColumn(values, count, c.a, c.b)) << c.name;
    values.resize(count);
    EXPECT_EQ(values, c.expected) << c.name;

    // With flags and attributes.
    Column col = Marked(c.column);
    col.values.resize(col.values.size() + 2);
    col.flags.resize(col.values.size());
    col.attributes.resize(col.values.size());
    count = static_cast<int32_t>(c.column.size());
    ASSERT_TRUE(SubtractIntervalKeepAttrs(col.values, col.flags, col.attributes, count, c.a, c.b))
        << c.name;
    col.values.resize(count);
    col.flags.resize(count);
    col.attributes.resize(count);
    EXPECT_EQ(col.values, c.expected) << c.name;
    ExpectPayload(col, c.origins, c.name);
  }
}

TEST(ColumnOperations, ReversedSubtractionChangesNothing) {
  // Removing [5, 3] would have written descending values.
  Values v{0, 10, 0, 0};
  int32_t count = 2;
  EXPECT_FALSE(SubtractIntervalFromColumn(v, count, 5, 3));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(v, (Values{0, 10, 0, 0}));
}

struct CutResult {
  Column column;
  Values removed;
  double volume;
};

CutResult Cut(const Values& values, double a, double b, double pitch = 1.0, double g0 = 0.0,
              double weight = 1.0) {
  CutResult r{Marked(values), {}, 0.5};  // the volume only grows
  r.column.values.resize(values.size() + 2);
  r.column.flags.resize(values.size() + 2);
  r.column.attributes.resize(values.size() + 2);
  Values pieces(values.size() + 2, -99);
  int32_t count = static_cast<int32_t>(values.size());
  int32_t removedCount = -5;
  const Values grid{g0, g0 + pitch};
  EXPECT_TRUE(CutIntervalRecording(r.column.values, r.column.flags, r.column.attributes, count,
                                   pitch, grid, weight, r.volume, pieces, removedCount, {a, b},
                                   {0xA1, 0xB0}, {7001, 7002}));
  r.column.values.resize(count);
  r.column.flags.resize(count);
  r.column.attributes.resize(count);
  pieces.resize(removedCount);
  r.removed = pieces;
  r.volume -= 0.5;
  return r;
}

void ExpectCutPayload(const Column& c, const std::vector<int>& origins, const std::string& name) {
  ASSERT_EQ(c.flags.size(), origins.size()) << name;
  for (size_t i = 0; i < origins.size(); ++i) {
    const int o = origins[i];
    uint8_t flag = static_cast<uint8_t>(0x10 * (o + 1) | 1);
    int32_t attribute = 100 + o;
    if (o == -1) flag = 0xA1, attribute = 7001;  // made at a
    if (o == -2) flag = 0xB0, attribute = 7002;  // made at b
    EXPECT_EQ(c.flags[i], flag) << name << " value " << i;
    EXPECT_EQ(c.attributes[i], attribute) << name << " value " << i;
  }
}

TEST(ColumnOperations, RecordingCutCases) {
  constexpr int kAtA = -1, kAtB = -2;
  struct Case {
    const char* name;
    Values column;
    double a, b;
    Values expected;
    std::vector<int> origins;
    Values removed;
    double volume;  // with weight 2
  };
  const Case cases[] = {
      {"split", {0, 10}, 4, 6, {0, 4, 6, 10}, {0, kAtA, kAtB, 1}, {4, 6}, 4},
      {"thin cut takes the remnant above",
       {0, 4.8},
       4.2,
       4.5,
       {0, 4.2},
       {0, kAtA},
       {4.2, 4.8},
       0.6},
      {"thin cut takes the remnant below",
       {4.1, 10},
       4.2,
       4.5,
       {4.5, 10},
       {kAtB, 1},
       {4.1, 4.5},
       0.6},
      {"thin cut with no remnant in the cell splits",
       {0, 10},
       4.2,
       4.6,
       {0, 4.2, 4.6, 10},
       {0, kAtA, kAtB, 1},
       {4.2, 4.6},
       0.8},
      {"cut across a grid line splits",
       {0, 4.8},
       3.8,
       4.2,
       {0, 3.8, 4.2, 4.8},
       {0, kAtA, kAtB, 1},
       {3.8, 4.2},
       0.8},
      {"meets nothing", {2, 5}, 6, 8, {2, 5}, {0, 1}, {}, 0},
      {"upper end", {2, 5}, 4, 8, {2, 4}, {0, kAtA}, {4, 5}, 2},
      {"lower end", {2, 5}, 0, 3, {3, 5}, {kAtB, 1}, {2, 3}, 2},
      {"across three pairs",
       {0, 1, 2, 3, 4, 5},
       0.5,
       4.5,
       {0, 0.5, 4.5, 5},
       {0, kAtA, kAtB, 5},
       {0.5, 1, 2, 3, 4, 4.5},
       4},
      {"everything", {0, 1, 2, 3}, -1, 10, {}, {}, {0, 1, 2, 3}, 4},
      {"thin cut in a later pair",
       {0, 1, 4.1, 10},
       4.2,
       4.5,
       {0, 1, 4.5, 10},
       {0, 1, kAtB, 3},
       {4.1, 4.5},
       0.6},
  };
  for (const Case& c : cases) {
    const CutResult r = Cut(c.column, c.a, c.b, 1.0, 0.0, 2.0);
    EXPECT_EQ(r.column.values, c.expected) << c.name;
    ExpectCutPayload(r.column, c.origins, c.name);
    ASSERT_EQ(r.removed.size(), c.removed.size()) << c.name;
    for (size_t i = 0; i < c.removed.size(); ++i)
      EXPECT_DOUBLE_EQ(r.removed[i], c.removed[i]) << c.name << " piece value " << i;
    EXPECT_NEAR(r.volume, c.volume, 1e-12) << c.name;
  }
}

TEST(ColumnOperations, ThinCutCellsCountFromTheFirstGridLine) {
  // g0 = 0.3 puts a grid line at 4.3, inside the cut: it splits.
  CutResult r = Cut({0, 4.8}, 4.2, 4.5, 1.0, 0.3);
  EXPECT_EQ(r.column.values, (Values{0, 4.2, 4.5, 4.8}));
  // g0 = 0.15 keeps all three in cell 4.
  r = Cut({0, 4.8}, 4.2, 4.5, 1.0, 0.15);
  EXPECT_EQ(r.column.values, (Values{0, 4.2}));
}

TEST(ColumnOperations, RecordingCutRefusesWhatWouldNotFit) {
  Values values = Pairs(kMaxColumnValues / 2);
  values[1] = 7.8;  // [0, 7.8] strictly contains the cut [2, 5]
  const Values before = values;
  std::vector<uint8_t> flags(values.size(), 3);
  std::vector<int32_t> attributes(values.size(), 4);
  Values pieces(values.size());
  int32_t count = kMaxColumnValues;
  int32_t removedCount = -1;
  double volume = 0;
  const Values grid{0, 1};
  EXPECT_FALSE(CutIntervalRecording(values, flags, attributes, count, 1.0, grid, 1.0, volume,
                                    pieces, removedCount, {2, 5}, {1, 1}, {1, 1}));
  EXPECT_EQ(count, kMaxColumnValues);
  EXPECT_EQ(values, before);
  EXPECT_EQ(removedCount, 0);
  EXPECT_EQ(volume, 0);
  // A thin cut does not grow the column and so still fits.
  EXPECT_TRUE(CutIntervalRecording(values, flags, attributes, count, 1.0, grid, 1.0, volume, pieces,
                                   removedCount, {7.2, 7.5}, {1, 1}, {1, 1}));
  EXPECT_EQ(count, kMaxColumnValues);
  EXPECT_EQ(values[1], 7.2);
  // A removed-pieces buffer shorter than the column is refused.
  Values shortPieces(2);
  EXPECT_FALSE(CutIntervalRecording(values, flags, attributes, count, 1.0, grid, 1.0, volume,
                                    shortPieces, removedCount, {0, 100}, {1, 1}, {1, 1}));
  EXPECT_EQ(count, kMaxColumnValues);
}

// The in-place trim is a shortcut of the recording cut: wherever it takes a
// cut, it leaves exactly what the recording cut leaves; everywhere else it
// leaves the column alone. Random columns on a half-unit lattice (so that ends
// meet, touch within the tolerance and fall into one grid cell), a few
// unsorted or with a NaN, and cuts of every kind.
TEST(ColumnOperations, TrimmingInPlaceMatchesTheRecordingCut) {
  std::mt19937 random(11);
  const auto lattice = [&](int span) {
    return std::uniform_int_distribution<int>(0, span)(random) * 0.5;
  };
  const auto chance = [&](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  int trimmed = 0, declined = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const int count = std::uniform_int_distribution<int>(0, 12)(random);
    Values column(count);
    for (double& v : column) v = lattice(40);
    if (!chance(3)) std::sort(column.begin(), column.end());
    if (count > 0 && chance(2)) column[count / 2] = std::numeric_limits<double>::quiet_NaN();
    RecordingCut cut;
    cut.Interval = {lattice(40) - 0.25 * chance(20), lattice(40) + 1e-10 * chance(20)};
    if (chance(80)) std::sort(cut.Interval.begin(), cut.Interval.end());
    cut.FaceFlags = {0x51, 0x52};
    cut.FaceAttributes = {trial, -trial};
    cut.Pitch = 1.0;
    cut.GridOrigin = chance(50) ? 0.0 : 0.25;
    cut.Weight = 0.75;
    cut.Touching = chance(50) ? kTouchingTolerance : 0.0;

    struct Run {
      Values values;
      std::vector<uint8_t> flags;
      std::vector<int32_t> attributes;
      Values pieces;
      int32_t removed = -7;
      double volume = 1.5;
      DexelColumnEdit edit{};
      void Open(int32_t n) { edit = {values, flags, attributes, n}; }
    };
    const auto make = [&](size_t room) {
      Run r{column, std::vector<uint8_t>(room), std::vector<int32_t>(room), Values(room + 2), -7,
            1.5};
      r.values.resize(room, -99);
      for (int k = 0; k < count; ++k) {
        r.flags[k] = static_cast<uint8_t>(k);
        r.attributes[k] = 100 + k;
      }
      return r;
    };
    // The trim works in the column's own storage, the recording cut with room
    // to split.
    Run trim = make(count), full = make(count + 2);
    trim.Open(count);
    full.Open(count);
    const std::string where = "trial " + std::to_string(trial);
    if (!TrimColumnPairs(trim.edit, cut, trim.volume, trim.pieces, trim.removed)) {
      ++declined;
      const Run untouched = make(count);
      ASSERT_TRUE(std::equal(trim.values.begin(), trim.values.end(), untouched.values.begin(),
                             [](double x, double y) { return std::memcmp(&x, &y, 8) == 0; }))
          << where;
      ASSERT_EQ(trim.flags, untouched.flags) << where;
      ASSERT_EQ(trim.attributes, untouched.attributes) << where;
      ASSERT_EQ(trim.removed, -7) << where;
      ASSERT_EQ(trim.volume, 1.5) << where;
      continue;
    }
    ++trimmed;
    ASSERT_TRUE(CutColumnRecording(full.edit, cut, full.volume, full.pieces, full.removed))
        << where;
    ASSERT_EQ(trim.edit.Count, full.edit.Count) << where;
    for (int k = 0; k < count; ++k) {
      ASSERT_EQ(std::memcmp(&trim.values[k], &full.values[k], 8), 0) << where << " value " << k;
      ASSERT_EQ(trim.flags[k], full.flags[k]) << where << " flag " << k;
      ASSERT_EQ(trim.attributes[k], full.attributes[k]) << where << " attribute " << k;
    }
    ASSERT_EQ(trim.removed, full.removed) << where;
    for (int k = 0; k < full.removed; ++k)
      ASSERT_EQ(std::memcmp(&trim.pieces[k], &full.pieces[k], 8), 0) << where << " piece " << k;
    ASSERT_EQ(std::memcmp(&trim.volume, &full.volume, 8), 0) << where;
  }
  // Both ways were taken often.
  EXPECT_GT(trimmed, 2000);
  EXPECT_GT(declined, 2000);
}

}  // namespace
}  // namespace vestan
