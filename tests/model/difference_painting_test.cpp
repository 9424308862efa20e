#include "model/difference_painting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/box_models.h"
#include "model/difference_model.h"
#include "model/stock.h"

namespace vestan {
namespace {

using testing::AddBoxes;
using testing::Box;
using testing::Column;
using testing::ColumnAt;
using testing::MakeGrid;
using Bytes = std::vector<uint8_t>;
using Values = std::vector<double>;

// A 10 x 10 x 10 workpiece at pitch 1 and a basic model on a grid 5 cells
// larger on each side, by default the design part 10 x 10 x 6: the top four
// cells of the workpiece still stand.
class Painting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateBoxModel(doc_.Workpiece(), {0, 0, 0, 10, 10, 10}, 1), kModelOk);
    doc_.WorkPresent = 1;
    MakeBasic({{{0, 0, 0}, {10, 10, 6}}});
    settings_.Margin = 0.2;
    progress_.RebuildWindowTitle = [this] { labels_.push_back(progress_.TitleLabel); };
  }
  void MakeBasic(const std::vector<Box>& boxes, uint8_t flag = 0) {
    MakeGrid(doc_.BasicModel, {-5, -5, -5}, {21, 21, 21}, 1);
    AddBoxes(doc_.BasicModel, boxes, flag, 0);
    doc_.BasicModelLoaded = 1;
    FreeDexelModel(doc_.DifferenceModel);
    doc_.DifferenceModel.CountX = 0;
  }
  int Paint() { return PaintModelDifference(doc_, settings_, progress_); }
  DexelModel& Work() { return doc_.Workpiece(); }
  Bytes Flags(int d, int32_t first, int32_t second) {
    const auto f = DexelColumnFlags(Work().SetByDirection(d), ColumnAt(Work(), d, first, second));
    return Bytes(f.begin(), f.end());
  }
  void SetFlags(int d, int32_t first, int32_t second, const Bytes& flags) {
    ASSERT_TRUE(
        PutDexelColumnFlags(Work().SetByDirection(d), ColumnAt(Work(), d, first, second), flags));
  }
  // Difference model builds so far (each runs under its own progress label).
  int64_t Builds() const { return std::count(labels_.begin(), labels_.end(), "差分データ作成中"); }

  WorkDocument doc_;
  DifferenceSettings settings_;
  ProgressState progress_;
  std::vector<std::string> labels_;
};

TEST_F(Painting, PlusMarksMaterialBeyondTheGrownDesign) {
  ASSERT_EQ(Paint(), kModelOk);
  // The design grown by 0.2 holds z -0.2..6.2 on the Z lines: the bottom
  // value is in it, the top value 10 is not.
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, kFlagMark}));
  EXPECT_EQ(Flags(kDirectionX, 5, 6), (Bytes{0, 0}));  // the design's top layer
  EXPECT_EQ(Flags(kDirectionX, 5, 8), (Bytes{kFlagMark, kFlagMark}));
  EXPECT_EQ(Flags(kDirectionY, 7, 0), (Bytes{kFlagMark, kFlagMark}));
  EXPECT_EQ(Column(doc_.DifferenceModel, kDirectionZ, 10, 10), (Values{-0.2, 6 + 0.2}));
  EXPECT_EQ(settings_.BuiltArea, 1);
  EXPECT_EQ(settings_.BuiltMargin, 0.2);
}

TEST_F(Painting, EndsOfTheDesignCountAsInside) {
  settings_.Margin = 0;  // the difference model is the design itself
  MakeBasic({{{0, 0, 0}, {10, 10, 10}}});
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, 0}));  // w = a and w = b
  MakeBasic({{{0, 0, 0}, {10, 10, 9.999}}});
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, kFlagMark}));
}

TEST_F(Painting, MinusMarksCutsDeeperThanTheShrunkDesign) {
  settings_.Area = -1;
  settings_.Margin = 0;
  // A cut down to z 3 in one Z line.
  const int32_t z55 = ColumnAt(Work(), kDirectionZ, 5, 5);
  ASSERT_TRUE(
      SetDexelColumn(Work().ZSet(), z55, Values{0, 3}, Bytes(2, 0), std::vector<int32_t>(2, 0)));
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, kFlagMark}));  // 0 on the end, 3 inside
  EXPECT_EQ(Flags(kDirectionX, 5, 3), (Bytes{0, 0}));          // both on the ends
  EXPECT_EQ(Flags(kDirectionZ, 4, 4), (Bytes{0, 0}));          // 10 beyond the design

  // Shrunk by 0.2: the build passes d = -0.2 with k = 1.
  settings_.Margin = 0.2;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Column(doc_.DifferenceModel, kDirectionZ, 10, 10), (Values{0 + 0.2, 6 - 0.2}));
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, kFlagMark}));
}

TEST_F(Painting, TheDifferenceModelIsBuiltOnlyWhenAreaOrMarginChange) {
  ASSERT_EQ(Paint(), kModelOk);
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Builds(), 1);
  settings_.Area = -1;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Builds(), 2);
  settings_.Margin = 0.3;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Builds(), 3);
  EXPECT_EQ(settings_.BuiltMargin, 0.3);
  EXPECT_EQ(settings_.BuiltArea, -1);
}

TEST_F(Painting, MarginZeroCopiesTheDesignWithItsFlagsCleared) {
  settings_.Margin = 0;
  MakeBasic({{{0, 0, 0}, {10, 10, 6}}}, 0x31);
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Builds(), 0);  // a copy runs without a progress of its own
  const DexelModel& d = doc_.DifferenceModel;
  for (int dir : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& copy = d.SetByDirection(dir);
    const DexelSet& design = doc_.BasicModel.SetByDirection(dir);
    ASSERT_EQ(copy.Counts, design.Counts);
    for (int32_t c = 0; c < copy.Columns; ++c) {
      const auto a = DexelColumnValues(copy, c), b = DexelColumnValues(design, c);
      EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
      for (uint8_t f : DexelColumnFlags(copy, c)) EXPECT_EQ(f, 0);
    }
  }
}

TEST_F(Painting, GrowthStopsATenthBeyondTheGrid) {
  // A design from the grid's first line z = -5 up to 0, grown by 2.
  MakeBasic({{{0, 0, -5}, {10, 10, 0}}});
  settings_.Margin = 2;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Column(doc_.DifferenceModel, kDirectionZ, 10, 10), (Values{-5 - 0.1, 0 + 2.0}));
}

TEST_F(Painting, PreviousPaintIsClearedAsTheSettingsSay) {
  // Column A = Z (2, 2), column B = Z (3, 3); in each, value 0 is inside the
  // design and value 10 differs.
  struct Case {
    int32_t penColouring, targetByPen, clearPrevious;
    Bytes a, b, expectedA, expectedB;
  };
  const std::vector<Case> cases{
      {0, 0, 1, {0x31, 0x50}, {0x01, 0x00}, {0x30, 0x51}, {0x00, 0x01}},
      {0, 1, 1, {0x21, 0x20}, {0x41, 0x40}, {0x20, 0x21}, {0x41, 0x40}},  // only pen 2
      {1, 0, 1, {0x31, 0x51}, {0x50, 0x00}, {0x01, 0x31}, {0x50, 0x30}},  // pen 3 first cleared
      {1, 1, 1, {0x30, 0x20}, {0x00, 0x40}, {0x30, 0x30}, {0x00, 0x40}},  // nothing cleared
      {0, 0, 0, {0x01, 0x00}, {0x00, 0x00}, {0x01, 0x01}, {0x00, 0x01}},  // earlier paint kept
      {1, 0, 0, {0x30, 0x50}, {0x00, 0x00}, {0x30, 0x30}, {0x00, 0x30}},
  };
  settings_.Pen = 3;
  settings_.TargetPen = 2;
  for (const Case& c : cases) {
    settings_.PenColouring = c.penColouring;
    settings_.TargetByPen = c.targetByPen;
    settings_.ClearPrevious = c.clearPrevious;
    SetFlags(kDirectionZ, 2, 2, c.a);
    SetFlags(kDirectionZ, 3, 3, c.b);
    ASSERT_EQ(Paint(), kModelOk);
    const auto name = ::testing::Message() << c.penColouring << c.targetByPen << c.clearPrevious;
    EXPECT_EQ(Flags(kDirectionZ, 2, 2), c.expectedA) << name;
    EXPECT_EQ(Flags(kDirectionZ, 3, 3), c.expectedB) << name;
  }
}

TEST_F(Painting, EmphasisPaintsEveryDifferentValueWhateverItsPen) {
  settings_.EmphasisWidth = 0.5;
  settings_.TargetByPen = 1;  // merging would paint nothing: no value has pen 9
  settings_.TargetPen = 9;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, kFlagMark}));
  EXPECT_EQ(Flags(kDirectionX, 5, 8), (Bytes{kFlagMark, kFlagMark}));
}

TEST_F(Painting, FacingColumnsOffTheGridAreEmpty) {
  doc_.ReferenceShift = {-8, 5, 5};  // workpiece x 0..7 face lines before the grid
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 2, 5), (Bytes{kFlagMark, kFlagMark}));
  settings_.Area = -1;
  settings_.ClearPrevious = 1;
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Flags(kDirectionZ, 2, 5), (Bytes{0, 0}));
}

TEST_F(Painting, NothingIsPaintedWithoutABasicModel) {
  doc_.BasicModelLoaded = 0;
  EXPECT_EQ(Paint(), 0);
  EXPECT_EQ(Flags(kDirectionZ, 5, 5), (Bytes{0, 0}));
  EXPECT_FALSE(DifferenceModelBuilt(doc_.DifferenceModel));
}

TEST_F(Painting, AFailedBuildLeavesTheModelUnbuiltAndIsTriedAgain) {
  DexelModel badWork = Work();
  badWork.Pitch = 0;  // no grid can be laid out with it
  EXPECT_EQ(
      UpdateDifferenceModel(badWork, doc_.BasicModel, doc_.DifferenceModel, settings_, progress_),
      kModelBadGrid);
  EXPECT_FALSE(DifferenceModelBuilt(doc_.DifferenceModel));
  EXPECT_EQ(settings_.BuiltArea, 0);
  EXPECT_EQ(settings_.BuiltMargin, 0.1);
  ASSERT_EQ(Paint(), kModelOk);
  EXPECT_EQ(Builds(), 1);
}

TEST(DifferenceModel, SweptBuildGivesThePlainResultToTheBit) {
  // Grown with clamping (swept while the model lies within the limits) and
  // shrunk, on one grid.
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    for (const bool withinGrid : {true, false}) {
      DexelModel reference;
      testing::MakeRandomModel(reference, seed, withinGrid);
      for (double d : {0.4, 1.0, -0.7}) {
        const int32_t k = static_cast<int32_t>(std::ceil(std::fabs(d) / reference.Pitch));
        DexelModel built[2];
        for (int swept = 0; swept < 2; ++swept) {
          MakeGrid(built[swept], {reference.OriginX, reference.OriginY, reference.OriginZ},
                   {reference.CountX, reference.CountY, reference.CountZ}, reference.Pitch);
          ASSERT_TRUE(CopyModelIntoGrid(reference, 0, built[swept]));
          ProgressState progress;
          OffsetWork work(progress, swept ? OffsetPasses::kSwept : OffsetPasses::kPlain);
          BuildOffsetDifferenceModel(reference, k, d, built[swept], work);
        }
        testing::ExpectSameColumns(built[0], built[1],
                                   ::testing::PrintToString(std::vector<double>{
                                       static_cast<double>(seed), withinGrid ? 1.0 : 0.0, d}));
      }
    }
  }
}

TEST(PaintSphere, ReachesValuesOfEverySetWithinTheRadius) {
  // Box 4 x 4 x 4 at pitch 0.5; the centre is the point (4, 2, 4) on its top
  // edge along Y.
  DexelModel model;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 4, 4, 4}, 0.5), kModelOk);
  DifferenceSettings settings;
  settings.TargetByPen = 1;
  settings.TargetPen = 9;
  PaintSphere(model, {4, 2, 4}, 0.5, settings);
  const auto flags = [&model](int d, int32_t first, int32_t second) {
    const auto f = DexelColumnFlags(model.SetByDirection(d), ColumnAt(model, d, first, second));
    return Bytes(f.begin(), f.end());
  };
  EXPECT_EQ(flags(kDirectionZ, 8, 4), (Bytes{0, 1}));  // (4, 2): its top at distance 0
  EXPECT_EQ(flags(kDirectionZ, 7, 4), (Bytes{0, 1}));  // (3.5, 2): 0.5 counts
  EXPECT_EQ(flags(kDirectionZ, 8, 5), (Bytes{0, 1}));  // (4, 2.5)
  EXPECT_EQ(flags(kDirectionZ, 7, 5), (Bytes{0, 0}));  // (3.5, 2.5): sqrt 0.5
  EXPECT_EQ(flags(kDirectionX, 4, 8), (Bytes{0, 1}));  // y 2, z 4: x = 4
  EXPECT_EQ(flags(kDirectionX, 4, 7), (Bytes{0, 1}));  // y 2, z 3.5
  EXPECT_EQ(flags(kDirectionY, 8, 8), (Bytes{0, 0}));  // z 4, x 4: y 0 and 4 are 2 away

  settings.PenColouring = 1;
  settings.Pen = 6;
  PaintSphere(model, {0, 0, 0}, 0, settings);  // radius 0 reaches the corner only
  EXPECT_EQ(flags(kDirectionZ, 0, 0), (Bytes{0x60, 0}));
  EXPECT_EQ(flags(kDirectionZ, 1, 0), (Bytes{0, 0}));
}

TEST(PaintLayer, MergeFollowsThePaintRule) {
  DexelModel model;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 2, 2, 2}, 1), kModelOk);
  ASSERT_TRUE(PutDexelColumnFlags(model.ZSet(), 0, Bytes{0x21, 0x48}));
  DexelFlagSnapshot layer;
  ASSERT_EQ(AllocDexelFlagSnapshot(layer, model), 1);
  ClearDexelFlagSnapshot(model, layer);
  std::span<uint8_t> paint = DexelSnapshotColumn(layer, model, kDirectionZ, 0);
  paint[0] = paint[1] = 1;
  struct Case {
    int32_t penColouring, targetByPen;
    Bytes expected;
  };
  const std::vector<Case> cases{
      {0, 0, {0x21, 0x49}},
      {0, 1, {0x21, 0x48}},  // only pen 2, which is marked already
      {1, 0, {0x71, 0x78}},
      {1, 1, {0x71, 0x48}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PutDexelColumnFlags(model.ZSet(), 0, Bytes{0x21, 0x48}));
    DifferenceSettings settings;
    settings.PenColouring = c.penColouring;
    settings.TargetByPen = c.targetByPen;
    settings.Pen = 7;
    settings.TargetPen = 2;
    MergePaintLayer(model, layer, settings);
    const auto f = DexelColumnFlags(model.ZSet(), 0);
    EXPECT_EQ(Bytes(f.begin(), f.end()), c.expected) << c.penColouring << c.targetByPen;
    EXPECT_EQ(DexelColumnFlags(model.ZSet(), 1)[1], 0);  // no paint in its layer
  }
  FreeDexelFlagSnapshot(layer, model);

  ASSERT_TRUE(PutDexelColumnFlags(model.ZSet(), 0, Bytes{0x21, 0x41}));
  ClearMarksOfPen(model, 4);
  const auto f = DexelColumnFlags(model.ZSet(), 0);
  EXPECT_EQ(Bytes(f.begin(), f.end()), (Bytes{0x21, 0x40}));
}

}  // namespace
}  // namespace vestan
