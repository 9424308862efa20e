#include "model/block_marking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace vestan {
namespace {

// 101 points per axis at pitch 1 from the origin: blocks of 12 cells, 9 per
// axis; grid point 24 lies on the boundary of blocks 1 and 2.
class BlockMarking : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.CountX = model_.CountY = model_.CountZ = 101;
    model_.Pitch = 1.0;
    ASSERT_EQ(InitDexelGrids(model_), kModelOk);
    ASSERT_EQ(model_.BlocksX, 9);
  }
  int Marked() const {
    return std::accumulate(model_.BlockDirty.begin(), model_.BlockDirty.end(), 0);
  }
  bool IsMarked(int xb, int yb, int zb) const {
    return model_.BlockDirty[(model_.BlocksY * zb + yb) * model_.BlocksX + xb] == 1;
  }
  DexelModel model_;
};

TEST_F(BlockMarking, RemovalInsideOneBlockSetsOneFlag) {
  const std::vector<double> removed{13.5, 20.0};
  // Column along Z at x = 30, y = 40 (both inside a block).
  MarkChangedBlocksZ(model_, model_.BlockLowX[30], model_.BlockHighX[30], model_.BlockLowY[40],
                     model_.BlockHighY[40], removed);
  EXPECT_EQ(Marked(), 1);
  EXPECT_TRUE(IsMarked(2, 3, 1));
}

TEST_F(BlockMarking, RemovalFromABoundaryPointMarksTheBlockBelow) {
  const std::vector<double> removed{24.0, 30.0};
  MarkChangedBlocksZ(model_, model_.BlockLowX[30], model_.BlockHighX[30], model_.BlockLowY[40],
                     model_.BlockHighY[40], removed);
  EXPECT_EQ(Marked(), 2);
  EXPECT_TRUE(IsMarked(2, 3, 1));
  EXPECT_TRUE(IsMarked(2, 3, 2));
}

TEST_F(BlockMarking, EachVariantUsesItsOwnAxes) {
  // A run over three blocks along the column, at a cross coordinate on a block
  // boundary: 3 x 2 blocks.
  const std::vector<double> removed{13.0, 40.0};
  MarkChangedBlocks(model_, model_.BlockLowY[24], model_.BlockHighY[24], model_.BlockLowZ[50],
                    model_.BlockHighZ[50], removed);
  EXPECT_EQ(Marked(), 6);
  for (int xb = 1; xb <= 3; ++xb) {
    EXPECT_TRUE(IsMarked(xb, 1, 4)) << xb;
    EXPECT_TRUE(IsMarked(xb, 2, 4)) << xb;
  }

  model_.BlockDirty.assign(model_.BlockDirty.size(), 0);
  // Along Y: cross axes Z then X.
  MarkChangedBlocksY(model_, model_.BlockLowZ[5], model_.BlockHighZ[5], model_.BlockLowX[90],
                     model_.BlockHighX[90], removed);
  EXPECT_EQ(Marked(), 3);
  for (int yb = 1; yb <= 3; ++yb) EXPECT_TRUE(IsMarked(7, yb, 0)) << yb;
}

TEST_F(BlockMarking, ValuesOutsideTheGridAreKeptOnIt) {
  const std::vector<double> removed{-50.0, 400.0};
  MarkChangedBlocksZ(model_, 0, 0, 0, 0, removed);
  EXPECT_EQ(Marked(), 9);
  const std::vector<double> nan{std::nan(""), std::nan("")};
  MarkChangedBlocksZ(model_, 8, 8, 8, 8, nan);
  EXPECT_TRUE(IsMarked(8, 8, 0));
}

TEST_F(BlockMarking, EmptyCrossRangeSetsNothing) {
  const std::vector<double> removed{10.0, 20.0};
  MarkChangedBlocksZ(model_, 3, 2, 0, 0, removed);
  EXPECT_EQ(Marked(), 0);
}

// Flags that do not match the block layout (a model whose blocks were never
// laid out, or were laid out anew without their flags) are not written past.
TEST_F(BlockMarking, FlagsApartFromTheLayoutMarkNothing) {
  const std::vector<double> removed{10.0, 20.0};
  model_.BlockDirty.assign(8, 0);  // 9 x 9 x 9 blocks would need 729
  MarkChangedBlocksZ(model_, 8, 8, 8, 8, removed);
  MarkChangedBlocks(model_, 0, 8, 0, 8, removed);
  EXPECT_EQ(Marked(), 0);
}

// Marking through the cache of a pass marks exactly what marking every
// removal on its own marks: runs that grow by overlap or by an adjoining
// block, a gap between two removals of the same column range (the blocks
// between stay unmarked), cross ranges that change and come back, values off
// the grid, reversed and NaN removals, and a second flag array.
TEST_F(BlockMarking, CachedMarkingMarksWhatPlainMarkingMarks) {
  struct Removal {
    int32_t lowU, highU, lowV, highV;
    double front, back;
  };
  const double nan = std::nan("");
  std::vector<Removal> removals = {
      {2, 2, 3, 3, 13.5, 20.0}, {2, 2, 3, 3, 14.0, 19.0},  {2, 2, 3, 3, 30.0, 35.0},
      {2, 2, 3, 3, 50.0, 55.0}, {2, 2, 3, 3, 20.0, 60.0},  {2, 2, 3, 3, 70.0, 71.0},
      {1, 2, 3, 3, 15.0, 16.0}, {2, 2, 3, 3, 24.0, 24.0},  {2, 2, 3, 3, -50.0, 5.0},
      {2, 2, 3, 3, 90.0, 400.0}, {2, 2, 3, 3, 40.0, 30.0}, {2, 2, 3, 3, nan, 10.0},
      {2, 2, 3, 3, 10.0, nan},  {3, 2, 3, 3, 10.0, 20.0},  {2, 2, 4, 5, 36.0, 47.9},
  };
  std::mt19937 random(3);
  std::uniform_int_distribution<int32_t> block(0, 8);
  std::uniform_real_distribution<double> value(-5, 105);
  for (int k = 0; k < 400; ++k) {
    const int32_t u = block(random), v = block(random);
    double a = value(random), b = value(random);
    if (k % 7 != 0 && a > b) std::swap(a, b);
    removals.push_back({u, u + (k % 5 == 0), v, v, a, b});
  }
  DexelModel plain = model_;
  ColumnBlocks blocks = ColumnBlocksOf(model_, kDirectionZ);
  ColumnBlocks plainBlocks = ColumnBlocksOf(plain, kDirectionZ);
  BlockMarkCache cache;
  std::vector<uint8_t> other(model_.BlockDirty.size(), 0), plainOther = other;
  for (size_t k = 0; k < removals.size(); ++k) {
    const Removal& r = removals[k];
    const std::vector<double> removed{r.front, r.back};
    // Halfway the cutter marks into a flag array of its own.
    if (k == removals.size() / 2) {
      blocks.Dirty = other.data();
      plainBlocks.Dirty = plainOther.data();
    }
    MarkColumnBlocks(blocks, cache, r.lowU, r.highU, r.lowV, r.highV, removed);
    MarkColumnBlocks(plainBlocks, r.lowU, r.highU, r.lowV, r.highV, removed);
    ASSERT_EQ(model_.BlockDirty, plain.BlockDirty) << "after removal " << k;
    ASSERT_EQ(other, plainOther) << "after removal " << k;
  }
}
// Runs of overlapping removals walking along and across block boundaries
// (the cache holds a run of blocks and the values that lie inside it), gaps
// that must stay unmarked, cross-range changes, removals out of order or NaN,
// on a pitch that is no power of two and an origin off zero.
TEST(BlockMarkingRuns, CachedMarkingOfWalkingRunsMarksWhatPlainMarkingMarks) {
  DexelModel model;
  model.CountX = model.CountY = model.CountZ = 301;
  model.Pitch = 0.1;
  model.OriginY = -7.3;
  ASSERT_EQ(InitDexelGrids(model), kModelOk);
  DexelModel plain = model;
  const ColumnBlocks blocks = ColumnBlocksOf(model, kDirectionY);
  const ColumnBlocks plainBlocks = ColumnBlocksOf(plain, kDirectionY);
  ASSERT_GT(blocks.BlocksW, 3);
  const double nan = std::nan("");
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> block(0, blocks.BlocksU - 1);
  std::uniform_real_distribution<double> unit(0, 1);
  BlockMarkCache cache;
  int32_t u = 2, v = 3;
  double at = 0.0;
  for (int k = 0; k < 4000; ++k) {
    const double draw = unit(random);
    if (draw < 0.03)
      u = block(random);
    else if (draw < 0.05)
      v = block(random);
    else if (draw < 0.1)
      at = unit(random) * 34 - 9;  // a gap
    // Mostly the next removal overlaps the last or lies just beyond it.
    const double front = at + (unit(random) - 0.3) * 0.6, back = front + unit(random) * 0.5;
    at = back;
    std::vector<double> removed{front, back};
    if (k % 97 == 13) removed = {back, front};
    if (k % 131 == 7) removed = {nan, back};
    if (k % 53 == 0) removed = {model.OriginY + 12 * model.Pitch * (k % 20), back};
    MarkColumnBlocks(blocks, cache, u, u + (k % 11 == 0), v, v, removed);
    MarkColumnBlocks(plainBlocks, u, u + (k % 11 == 0), v, v, removed);
    ASSERT_EQ(model.BlockDirty, plain.BlockDirty) << "after removal " << k;
    if (k % 300 == 299) {
      // Drawn: the next run starts on clear flags and a fresh cache.
      std::fill(model.BlockDirty.begin(), model.BlockDirty.end(), 0);
      std::fill(plain.BlockDirty.begin(), plain.BlockDirty.end(), 0);
      cache = {};
    }
  }
}

}  // namespace
}  // namespace vestan
