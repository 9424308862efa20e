#include "model/block_marking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
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

}  // namespace
}  // namespace vestan
