#include "model/model_offset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "model/box_models.h"
#include "model/column_operations.h"
#include "model/stock.h"

namespace vestan {
namespace {

using testing::AddBoxes;
using testing::Column;
using testing::MakeGrid;
using Values = std::vector<double>;

// Index of a coordinate on a grid of pitch 1 starting at origin.
int32_t At(double coordinate, double origin) {
  return static_cast<int32_t>(std::lround(coordinate - origin));
}

class Offset : public ::testing::Test {
 protected:
  // The offset of source into result_; result_'s grid starts at origin_.
  void Grow(const DexelModel& source, int32_t kind, double d,
            OffsetPasses passes = OffsetPasses::kSwept) {
    ASSERT_EQ(MakeOffsetModel(source, kind, d, result_, progress_, passes), kModelOk);
    origin_ = {result_.OriginX, result_.OriginY, result_.OriginZ};
  }
  // The column of result_ through world coordinates (pitch 1).
  Values Z(double x, double y) const {
    return Column(result_, kDirectionZ, At(x, origin_[0]), At(y, origin_[1]));
  }
  Values X(double y, double z) const {
    return Column(result_, kDirectionX, At(y, origin_[1]), At(z, origin_[2]));
  }
  Values Y(double z, double x) const {
    return Column(result_, kDirectionY, At(z, origin_[2]), At(x, origin_[0]));
  }

  DexelModel result_;
  ProgressState progress_;
  Vec3 origin_{};
};

TEST_F(Offset, NormalSweepsABallOverTheCube) {
  DexelModel cube;
  ASSERT_EQ(CreateBoxModel(cube, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
  Grow(cube, kOffsetNormal, 2);  // k = 2: the grid grows by 2 cells each side
  EXPECT_EQ(result_.CountX, 7);
  EXPECT_EQ(origin_, (Vec3{-2, -2, -2}));
  EXPECT_EQ(Z(1, 1), (Values{-2, 4}));  // both faces move out by d
  EXPECT_EQ(X(1, 1), (Values{-2, 4}));
  // A line at exactly d beside a face gets the face's interval (h = 0).
  EXPECT_EQ(Z(-2, 1), (Values{0, 2}));
  EXPECT_EQ(Y(1, 4), (Values{0, 2}));
  // A line sqrt 2 from an edge: h^2 = 2^2 - 1 - 1.
  const double h = std::sqrt(4.0 - 1 - 1);
  EXPECT_EQ(Z(-1, -1), (Values{-h, 2 + h}));
  EXPECT_EQ(X(3, 3), (Values{-h, 2 + h}));
  EXPECT_TRUE(Z(-2, -1).empty());  // sqrt 5 from the edge: out of reach
  // Every rebuilt value carries flag 0 and attribute 0; the progress ran
  // through 3 passes per set.
  EXPECT_EQ(progress_.Counter, 3u * (9 + 9 + 9));
  EXPECT_EQ(result_.MinCorner(), (Vec3{-2, -2, -2}));
  EXPECT_EQ(result_.MaxCorner(), (Vec3{4, 4, 4}));
}

TEST_F(Offset, ShrinkEmptiesASlabOneAndAHalfCellsThick) {
  // The enter value 0 removes [-1, 1], the leave value 1.5 removes [0.5, 2.5].
  DexelModel slab;
  MakeGrid(slab, {0, 0, 0}, {5, 5, 3}, 1);
  AddBoxes(slab, {{{0, 0, 0}, {4, 4, 1.5}}});
  ASSERT_EQ(Column(slab, kDirectionZ, 2, 2), (Values{0, 1.5}));
  Grow(slab, kOffsetNormal, -1);
  EXPECT_EQ(result_.CountX, 5);  // the same grid
  for (const DexelSet* set : {&result_.ZSet(), &result_.XSet(), &result_.YSet()})
    for (int32_t c = 0; c < set->Columns; ++c) EXPECT_EQ(DexelColumnCount(*set, c), 0) << c;
}

TEST_F(Offset, ShrinkKeepsTheCoreOfABox) {
  DexelModel box;
  ASSERT_EQ(CreateBoxModel(box, {0, 0, 0, 6, 6, 6}, 1), kModelOk);
  Grow(box, kOffsetNormal, -1.5);
  EXPECT_EQ(Z(3, 3), (Values{1.5, 4.5}));
  EXPECT_EQ(Y(2, 2), (Values{1.5, 4.5}));
  // The line x = 1, y = 3 is 1 from the face x = 0: the ball about the face
  // value reaches it.
  EXPECT_TRUE(Z(1, 3).empty());
}

TEST_F(Offset, ZKindStretchesTheZLinesAndCopiesTheOthers) {
  DexelModel cube;
  ASSERT_EQ(CreateBoxModel(cube, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
  Grow(cube, kOffsetZ, 2.5);  // k = 3, m = 2
  EXPECT_EQ(Z(1, 1), (Values{-2.5, 4.5}));
  EXPECT_TRUE(Z(-1, 1).empty());        // no growth sideways
  EXPECT_EQ(X(1, -2), (Values{0, 2}));  // copied 2 levels down
  EXPECT_EQ(Y(4, 1), (Values{0, 2}));   // and up
  EXPECT_TRUE(X(1, -3).empty());
  EXPECT_TRUE(X(1, 5).empty());
}

TEST_F(Offset, HorizonGrowsSidewaysOnly) {
  DexelModel cube;
  ASSERT_EQ(CreateBoxModel(cube, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
  Grow(cube, kOffsetHorizon, 1.5);  // k = 2
  EXPECT_EQ(Z(1, 1), (Values{0, 2}));
  EXPECT_EQ(Z(-1, 1), (Values{0, 2}));
  EXPECT_TRUE(Z(-2, 1).empty());
  EXPECT_EQ(X(1, 1), (Values{-1.5, 3.5}));
  const double h = std::sqrt(1.5 * 1.5 - 1);  // one line beside the faces
  EXPECT_EQ(X(-1, 1), (Values{-h, 2 + h}));
  EXPECT_EQ(Y(1, 3), (Values{-h, 2 + h}));
  // Nothing above or below the cube.
  for (int32_t c = 0; c < result_.ColumnsZ; ++c) {
    const auto v = DexelColumnValues(result_.ZSet(), c);
    if (v.empty()) continue;
    EXPECT_GE(v.front(), 0);
    EXPECT_LE(v.back(), 2);
  }
  EXPECT_TRUE(X(1, 3).empty());
  EXPECT_TRUE(Y(-1, 1).empty());

  // Any kind but Normal and Z grows as Horizon.
  DexelModel seven;
  ASSERT_EQ(MakeOffsetModel(cube, 7, 1.5, seven, progress_), kModelOk);
  EXPECT_EQ(seven.ZSet().Values, result_.ZSet().Values);
  EXPECT_EQ(seven.XSet().Values, result_.XSet().Values);
  EXPECT_EQ(seven.YSet().Counts, result_.YSet().Counts);
}

// Material length of a column.
double Length(std::span<const double> v) {
  double length = 0;
  for (size_t p = 0; p + 1 < v.size(); p += 2) length += v[p + 1] - v[p];
  return length;
}

TEST_F(Offset, GrowingAndShrinkingABoxGivesItBackWithinACell) {
  // Box 4 x 3 x 2 at pitch 0.5, grown and shrunk by 1.2 (k = 3). Every line
  // of the result holds about the material the box holds on it, and nothing
  // more than a cell outside the box. (Lines in the box's faces may come back
  // in pieces split at the grid levels: their material lies exactly d from
  // the grown surface.)
  DexelModel box, grown;
  ASSERT_EQ(CreateBoxModel(box, {0, 0, 0, 4, 3, 2}, 0.5), kModelOk);
  ASSERT_EQ(MakeOffsetModel(box, kOffsetNormal, 1.2, grown, progress_), kModelOk);
  ASSERT_EQ(MakeOffsetModel(grown, kOffsetNormal, -1.2, result_, progress_), kModelOk);
  const Vec3 low{0, 0, 0}, high{4, 3, 2};
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const int u = (d + 1) % 3, w = (d + 2) % 3;
    const auto& gridU = GridLinesOf(result_, u);
    const auto& gridW = GridLinesOf(result_, w);
    for (size_t j = 0; j < gridW.size(); ++j)
      for (size_t i = 0; i < gridU.size(); ++i) {
        const auto v = DexelColumnValues(
            result_.SetByDirection(d),
            testing::ColumnAt(result_, d, static_cast<int32_t>(i), static_cast<int32_t>(j)));
        const bool inBox =
            low[u] <= gridU[i] && gridU[i] <= high[u] && low[w] <= gridW[j] && gridW[j] <= high[w];
        EXPECT_NEAR(Length(v), inBox ? high[d] - low[d] : 0.0, 0.5) << d << " " << i << " " << j;
        if (v.empty()) continue;
        EXPECT_GE(v.front(), low[d] - 0.5);
        EXPECT_LE(v.back(), high[d] + 0.5);
      }
  }
}

TEST(MergeNarrowGaps, ClosesGapsWithoutAGridLineInside) {
  struct Case {
    Values column;
    Values expected;
  };
  const std::vector<Case> cases{
      {{0, 1, 1.5, 3}, {0, 3}},      // 1.5 lies in cell 1 with E = 1
      {{0, 1, 2, 3}, {0, 3}},        // 2 on the next grid line
      {{0, 1, 3, 4}, {0, 1, 3, 4}},  // a whole cell between
      {{0, 1, 1, 2}, {0, 1, 1, 2}},  // pairs meeting on a grid line stay apart
      {{0, 0.5, 0.7, 1}, {0, 1}},    // within one cell
      {{0.2, 0.2, 1, 2}, {0.2, 2}},
      {{0, 1, 2, 2}, {0, 2}},  // a pair of no length on the next line
      {{0, 1}, {0, 1}},
      {{0, 1, 2}, {}},
      {{5}, {}},
  };
  DexelModel model;
  MakeGrid(model, {0, 0, 0}, {2, 2, 6}, 1);
  const std::vector<uint8_t> flags(4, 0x51);
  const std::vector<int32_t> attributes(4, 3);
  for (const Case& c : cases) {
    ASSERT_TRUE(SetDexelColumn(model.ZSet(), 0, c.column, flags, attributes));
    MergeNarrowGaps(model);
    EXPECT_EQ(Column(model, kDirectionZ, 0, 0), c.expected)
        << c.column.size() << " " << c.column[0];
    // Only a changed column is written, with flag 0.
    if (!c.expected.empty()) {
      EXPECT_EQ(DexelColumnFlags(model.ZSet(), 0)[0], c.expected == c.column ? 0x51 : 0);
    }
  }
}

TEST(CopyModelIntoGrid, MovesEveryColumnBySomeCells) {
  DexelModel source, target;
  MakeGrid(source, {0, 0, 0}, {3, 3, 3}, 1);
  AddBoxes(source, {{{0, 0, 0}, {1, 2, 2}}}, 0x21, 42);
  MakeGrid(target, {-1, -1, -1}, {5, 5, 5}, 1);
  ASSERT_TRUE(CopyModelIntoGrid(source, 1, target));
  EXPECT_EQ(Column(target, kDirectionY, 1, 2), (Values{0, 2}));  // z 0, x 1
  EXPECT_EQ(DexelColumnFlags(target.YSet(), testing::ColumnAt(target, kDirectionY, 1, 2))[1], 0x21);
  EXPECT_EQ(DexelColumnAttributes(target.XSet(), testing::ColumnAt(target, kDirectionX, 1, 1))[0],
            42);
  EXPECT_TRUE(Column(target, kDirectionZ, 0, 1).empty());
  DexelModel small;
  MakeGrid(small, {0, 0, 0}, {4, 5, 5}, 1);
  EXPECT_FALSE(CopyModelIntoGrid(source, 1, small));  // 3 + 2 > 4
}

TEST(MakeOffsetModel, RefusesWhatItCannotOffset) {
  ProgressState progress;
  DexelModel box, target;
  ASSERT_EQ(CreateBoxModel(box, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
  EXPECT_EQ(MakeOffsetModel(box, kOffsetNormal, 0, target, progress), 0);
  EXPECT_FALSE(target.Allocated());
  EXPECT_EQ(MakeOffsetModel(box, kOffsetNormal, std::nan(""), target, progress), kModelBadGrid);
  EXPECT_EQ(MakeOffsetModel(box, kOffsetNormal, 1e300, target, progress), kModelBadGrid);
  EXPECT_EQ(target.CountX, 0);
  EXPECT_EQ(MakeOffsetModel(DexelModel{}, kOffsetNormal, 1, target, progress), kModelBadGrid);
}

TEST(OffsetLimits, AColumnThatWouldOverflowStaysAsItWas) {
  // 5001 pins along X, one per grid line, each a Z segment [0, 1]. Grown by
  // 0.3 (less than half a pitch) each gives the X line at z 0 an interval of
  // its own: 10002 values, more than a column holds.
  DexelModel pins;
  MakeGrid(pins, {0, 0, 0}, {5001, 2, 2}, 1);
  for (int32_t i = 0; i < 5001; ++i)
    SetDexelColumn(pins.ZSet(), i, Values{0, 1}, std::vector<uint8_t>(2, 0),
                   std::vector<int32_t>(2, 0));
  for (OffsetPasses passes : {OffsetPasses::kPlain, OffsetPasses::kSwept}) {
    ProgressState progress;
    DexelModel grown;
    ASSERT_EQ(MakeOffsetModel(pins, kOffsetNormal, 0.3, grown, progress, passes), kModelOk);
    EXPECT_GE(grown.XSet().RefusedWrites, 1);
    for (int32_t c = 0; c < grown.ColumnsX; ++c)
      EXPECT_LE(DexelColumnCount(grown.XSet(), c), kMaxColumnValues);
    // The pins themselves grew.
    EXPECT_EQ(Column(grown, kDirectionZ, 1 + 7, 1), (Values{-0.3, 1.3}));
  }
}

TEST(OffsetPasses, SweptPassesGiveThePlainResultToTheBit) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    DexelModel source;
    testing::MakeRandomModel(source, seed);
    for (int32_t kind : {kOffsetNormal, kOffsetHorizon, kOffsetZ}) {
      for (double d : {0.5, 0.8, 1.25, 1.5}) {
        ProgressState progress;
        DexelModel plain, swept;
        ASSERT_EQ(MakeOffsetModel(source, kind, d, plain, progress, OffsetPasses::kPlain),
                  kModelOk);
        ASSERT_EQ(MakeOffsetModel(source, kind, d, swept, progress, OffsetPasses::kSwept),
                  kModelOk);
        testing::ExpectSameColumns(plain, swept,
                                   ::testing::PrintToString(std::vector<double>{
                                       static_cast<double>(seed), static_cast<double>(kind), d}));
      }
    }
  }
}

TEST(OffsetPasses, KernelsReportProgressPerSourceRow) {
  DexelModel source;
  testing::MakeRandomModel(source, 10);
  const int32_t k = 3;  // ceil(1.4 / 0.5)
  int64_t unions[2] = {};
  for (OffsetPasses passes : {OffsetPasses::kPlain, OffsetPasses::kSwept}) {
    DexelModel target;
    int32_t cells;
    ASSERT_EQ(PrepareOffsetTarget(source, 1.4, target, cells), kModelOk);
    ASSERT_EQ(cells, k);
    ProgressState progress;
    OffsetWork work(progress, passes);
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      DilateSameSetBySphere(source, dir, k, 1.4, target, work);
      DilateInnerAxisSetBySphere(source, dir, k, 1.4, target, work);
      DilateOuterAxisSetBySphere(source, dir, k, 1.4, target, work);
    }
    unions[passes == OffsetPasses::kSwept] = work.Unions;
    EXPECT_EQ(progress.Counter, 3u * (source.ColumnsZ + source.ColumnsX + source.ColumnsY));
  }
  // The swept passes count one interval per centre where a column has two
  // segments in reach of a level; the plain passes count both.
  EXPECT_GT(unions[1], 0);
  EXPECT_LE(unions[1], unions[0]);
}

}  // namespace
}  // namespace vestan
