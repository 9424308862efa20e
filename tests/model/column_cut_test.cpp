#include "model/column_cut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "model/column_operations.h"
#include "model/cut_world.h"
#include "model/dexel_model.h"

namespace vestan {
namespace {

using testing::CutWorld;
using testing::ExpectValues;
using Values = std::vector<double>;

struct Subtraction {
  Values column;
  std::vector<uint8_t> flags;
  int32_t removedCount = 0;
  Values pieces;
  double volume = 0;
};

// SubtractIntervalFromDexel on a copy with room for two more values; pitch 1,
// grid origin 0, cell area 2; new faces get flags 0x21/0x22.
Subtraction Subtract(Values column, double low, double high) {
  Subtraction s;
  int32_t count = static_cast<int32_t>(column.size());
  column.resize(count + 2);
  std::vector<uint8_t> flags(count + 2, 0x10);
  std::vector<int32_t> attributes(count + 2, 5);
  const std::vector<double> grid{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  Values pieces(kMaxColumnValues);
  EXPECT_TRUE(SubtractIntervalFromDexel(column, flags, attributes, count, 1.0, grid, 2.0, s.volume,
                                        pieces, s.removedCount, {low, high}, {0x21, 0x22}, {7, 8}));
  s.column.assign(column.begin(), column.begin() + count);
  s.flags.assign(flags.begin(), flags.begin() + count);
  s.pieces.assign(pieces.begin(), pieces.begin() + s.removedCount);
  return s;
}

TEST(ColumnCut, SubtractIntervalFromDexel) {
  struct Case {
    const char* name;
    Values column;
    double low, high;
    Values expected;
    std::vector<uint8_t> flags;
    Values pieces;
    double volume;  // removed length times the cell area 2
  };
  const Case cases[] = {
      // lo and hi in cell 4, 10 not in it, 0 not in ceiling cell 5: a split.
      {"split", {0, 10}, 4.2, 4.6, {0, 4.2, 4.6, 10}, {0x10, 0x21, 0x22, 0x10}, {4.2, 4.6}, 0.8},
      // 4.9 lies in the cut's cell: the rest of the cell goes, the volume
      // counts the cut's own length.
      {"same cell above", {0, 4.9}, 4.2, 4.6, {0, 4.2}, {0x10, 0x21}, {4.2, 4.9}, 0.8},
      // ceil(4.1) = ceil(4.6) = 5: the material below goes.
      {"ceiling cell below", {4.1, 10}, 4.2, 4.6, {4.6, 10}, {0x22, 0x10}, {4.1, 4.6}, 0.8},
      {"apart", {2, 5}, 6, 8, {2, 5}, {0x10, 0x10}, {}, 0},
      {"upper end", {2, 5}, 4, 8, {2, 4}, {0x10, 0x21}, {4, 5}, 2},
      // An end within 1e-9 below the column still reaches it: the column now
      // starts at the cut's end, a hair below 2 (removed length -5e-10).
      {"touching below", {2, 5}, 0, 2 - 5e-10, {2 - 5e-10, 5}, {0x22, 0x10}, {2, 2 - 5e-10}, -1e-9},
      {"across three pairs",
       {0, 1, 2, 3, 4, 5},
       0.5,
       4.5,
       {0, 0.5, 4.5, 5},
       {0x10, 0x21, 0x22, 0x10},
       {0.5, 1, 2, 3, 4, 4.5},
       2 * (0.5 + 1 + 0.5)},
      {"everything", {0, 1, 2, 3}, -1, 10, {}, {}, {0, 1, 2, 3}, 4},
  };
  for (const Case& c : cases) {
    const Subtraction s = Subtract(c.column, c.low, c.high);
    ExpectValues(s.column, c.expected, c.name);
    EXPECT_EQ(s.flags, c.flags) << c.name;
    ExpectValues(s.pieces, c.pieces, c.name);
    EXPECT_EQ(s.removedCount, static_cast<int32_t>(c.pieces.size())) << c.name;
    EXPECT_NEAR(s.volume, c.volume, 1e-12) << c.name;
  }
}

// One Z column of a small model, edited through the model's column edit.
struct EditWorld {
  DexelModel model;
  ColumnEditScratch scratch;
  EditWorld() {
    model.CountX = model.CountY = model.CountZ = 2;
    model.Pitch = 1;
    EXPECT_EQ(InitDexelGrids(model), kModelOk);
    EXPECT_EQ(AllocDexelModel(model), kModelOk);
  }
  DexelSet& Set() { return model.ZSet(); }
  void Write(const Values& values) {
    ASSERT_TRUE(SetDexelColumn(Set(), 0, values, std::vector<uint8_t>(values.size(), 0x30),
                               std::vector<int32_t>(values.size(), 9)));
  }
  Values Read() {
    const std::span<const double> v = DexelColumnValues(Set(), 0);
    return {v.begin(), v.end()};
  }
  // Removes [a, b]; reports a change when the values changed.
  ColumnEditResult Cut(double a, double b) {
    return EditDexelColumn(Set(), 0, scratch, [&](DexelColumnEdit& edit) {
      before_.assign(edit.Values.begin(), edit.Values.begin() + edit.Count);
      if (!SubtractIntervalKeepAttrs(edit.Values, edit.Flags, edit.Attributes, edit.Count, a, b))
        return ColumnEditStatus::kNoRoom;
      const bool same = std::equal(before_.begin(), before_.end(), edit.Values.begin(),
                                   edit.Values.begin() + edit.Count);
      return same ? ColumnEditStatus::kUnchanged : ColumnEditStatus::kChanged;
    });
  }

 private:
  Values before_;
};

Values Pairs(int32_t pairs) {
  Values v(2 * pairs);
  std::iota(v.begin(), v.end(), 0.0);
  return v;
}

TEST(ColumnCut, EditWorksInPlaceAndGrowsOnlyWhenItMust) {
  EditWorld w;
  // An inline column shortened in its own slots: the slot storage is edited.
  w.Write({0, 10});
  const double* slots = w.Set().Values.data();
  EXPECT_EQ(w.Cut(6, 12), ColumnEditResult::kChanged);
  EXPECT_EQ(w.Read(), (Values{0, 6}));
  EXPECT_EQ(w.Set().Values.data(), slots);
  // A cut that misses changes nothing and writes nothing.
  EXPECT_EQ(w.Cut(7, 8), ColumnEditResult::kUnchanged);
  EXPECT_EQ(w.Read(), (Values{0, 6}));

  // Eight values split into ten: the column grows into its own arrays with
  // flags and attributes carried along.
  w.Write(Pairs(4));
  EXPECT_EQ(w.Cut(4.25, 4.5), ColumnEditResult::kChanged);
  EXPECT_EQ(w.Read(), (Values{0, 1, 2, 3, 4, 4.25, 4.5, 5, 6, 7}));
  EXPECT_EQ(w.Set().LongColumns.size(), 1u);
  const std::span<const int32_t> attributes = DexelColumnAttributes(w.Set(), 0);
  EXPECT_EQ(std::vector<int32_t>(attributes.begin(), attributes.end()),
            (std::vector<int32_t>{9, 9, 9, 9, 9, 0, 0, 9, 9, 9}));

  // A long column cut back to eight values returns to its slots.
  EXPECT_EQ(w.Cut(3.5, 4.75), ColumnEditResult::kChanged);
  // [4, 4.25] goes, [4.5, 5] becomes [4.75, 5].
  EXPECT_EQ(w.Read(), (Values{0, 1, 2, 3, 4.75, 5, 6, 7}));
  EXPECT_EQ(DexelColumnCount(w.Set(), 0), 8);
  EXPECT_EQ(w.Set().FreeLongColumns.size(), 1u);

  // A long column split stays long, two values longer.
  w.Write(Pairs(6));
  EXPECT_EQ(w.Cut(0.25, 0.5), ColumnEditResult::kChanged);
  EXPECT_EQ(DexelColumnCount(w.Set(), 0), 14);
  EXPECT_EQ(w.Read()[2], 0.5);
}

TEST(ColumnCut, EditRefusesAColumnPastTheLimitAndCountsIt) {
  EditWorld w;
  w.Write(Pairs(kMaxColumnValues / 2));
  EXPECT_EQ(w.Cut(0.25, 0.5), ColumnEditResult::kRefused);
  EXPECT_EQ(w.Set().RefusedWrites, 1);
  EXPECT_EQ(w.Read(), Pairs(kMaxColumnValues / 2));
  // A cut that shortens it still goes through.
  EXPECT_EQ(w.Cut(-1, 0.5), ColumnEditResult::kChanged);
  EXPECT_EQ(DexelColumnCount(w.Set(), 0), kMaxColumnValues);
  EXPECT_EQ(w.Read()[0], 0.5);
}

TEST(ColumnCut, CutColumnIntervalBooksVolumeCountAndBlocks) {
  CutWorld world;
  // 10 x 10 x 10 cells of pitch 1: two update blocks of 5 cells per axis.
  world.MakeBox({0, 0, 0, 10, 10, 10}, 1.0);
  ASSERT_EQ(world.Model().BlocksX, 2);
  CutGridContext& z = world.Cut.Grids[kContextZ];
  // Column (3, 4) loses [6, 7.5]: area 1, blocks x 0, y 0, z 1.
  const ColumnCut c = MakeColumnCut(z, 3, 4, {6, 7.5}, {0x41, 0x40}, {12, 12}, CutRule::kRecording);
  const std::span<const double> pieces = CutColumnInterval(world.Cut, z, c);
  ExpectValues({pieces.begin(), pieces.end()}, {6, 7.5}, "pieces");
  ExpectValues(world.Column(kDirectionZ, 3, 4), {0, 6, 7.5, 10}, "column");
  EXPECT_EQ(world.Flags(kDirectionZ, 3, 4), (std::vector<uint8_t>{0, 0x41, 0x40, 0}));
  EXPECT_EQ(z.RemovedCount, 2);
  EXPECT_DOUBLE_EQ(z.RemovedVolume, 1.5);
  std::vector<uint8_t> dirty(8, 0);
  dirty[4] = 1;  // block (0, 0, 1)
  EXPECT_EQ(world.Model().BlockDirty, dirty);

  // Edge columns weigh half, corners a quarter; a cut that misses books nothing.
  EXPECT_DOUBLE_EQ(CellArea(z, 0, 4), 0.5);
  EXPECT_DOUBLE_EQ(CellArea(z, 10, 10), 0.25);
  const ColumnCut miss = MakeColumnCut(z, 3, 4, {6.5, 7}, {0, 0}, {0, 0}, CutRule::kRecording);
  EXPECT_TRUE(CutColumnInterval(world.Cut, z, miss).empty());
  // A solid touched at one point gives an interval of no length: it does not
  // split the column into two touching pairs.
  const ColumnCut point = MakeColumnCut(z, 5, 5, {4, 4}, {0, 0}, {0, 0}, CutRule::kTouching);
  EXPECT_TRUE(CutColumnInterval(world.Cut, z, point).empty());
  EXPECT_EQ(world.Column(kDirectionZ, 5, 5), (std::vector<double>{0, 10}));
  EXPECT_EQ(z.RemovedCount, 2);
}

// A pair end within touching distance below a tool body's interval moves up
// to it: the set's value extent follows, so no material lies beyond it.
TEST(ColumnCut, TouchingCutKeepsTheValueExtentAroundTheMaterial) {
  CutWorld world;
  world.MakeBox({0, 0, 0, 10, 10, 10}, 1.0);
  CutGridContext& z = world.Cut.Grids[kContextZ];
  const DexelSet& set = world.Model().ZSet();
  ASSERT_EQ(set.HighestValue, 10.0);
  const double above = 10 + kTouchingTolerance / 2;
  const ColumnCut c =
      MakeColumnCut(z, 3, 4, {above, 12}, {0x41, 0x41}, {1, 1}, CutRule::kTouching);
  CutColumnInterval(world.Cut, z, c);
  const double top = world.Column(kDirectionZ, 3, 4).back();
  EXPECT_GT(top, 10.0);
  EXPECT_GE(set.HighestValue, top);
}

}  // namespace
}  // namespace vestan
