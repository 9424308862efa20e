#include "model/body_separation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/box_models.h"
#include "model/stock.h"

namespace vestan {
namespace {

using testing::AddBoxes;
using testing::Column;
using testing::ColumnAt;
using testing::MakeGrid;
using Values = std::vector<double>;

// The separation as the view window runs it, on a model of pitch 1.
class Separation : public ::testing::Test {
 protected:
  void TearDown() override { FreeSeparationBuffers(tables_); }

  int Trace(const SegmentStackEntry& seed, std::function<bool()> abort = {}) {
    int32_t bx, by, bz;
    const int64_t total = CountDexelSegments(model_, bx, by, bz);
    BeginProgress(progress_, kProgressGivenTotal, static_cast<uint64_t>(total), "", 0, "J", "E");
    EXPECT_EQ(AllocDexelArrays(model_, bx, by, bz, total, tables_), 1);
    ClearSegmentVisitFlags(model_, tables_);
    const int result = TraceConnectedPiece(model_, seed, tables_, progress_, abort);
    EndProgress(progress_);
    return result;
  }
  // The seed on segment s of the Z column (i, j).
  SegmentStackEntry ZSeed(int32_t i, int32_t j, int32_t s = 0) const {
    return {kDirectionZ, i, j, ColumnAt(model_, kDirectionZ, i, j), s};
  }
  std::vector<int32_t> Counts(int d) const { return model_.SetByDirection(d).Counts; }

  DexelModel model_;
  DexelVisitTables tables_;
  ProgressState progress_;
};

TEST_F(Separation, OneBoxIsOneBody) {
  ASSERT_EQ(CreateBoxModel(model_, {0, 0, 0, 3, 2, 2}, 1), kModelOk);
  const auto before = Counts(kDirectionZ);
  EXPECT_EQ(Trace(ZSeed(1, 1)), kWholeModel);
  // Every segment was traced once: 4 x 3 Z, 3 x 3 X and 4 x 3 Y columns of
  // one pair each.
  EXPECT_EQ(progress_.Counter, 33u);
  EXPECT_EQ(Counts(kDirectionZ), before);
}

TEST_F(Separation, TwoBoxesOnePitchApart) {
  // Box A x 0..3, box B x 4..7; the X lines hold one segment of each.
  for (int32_t mode : {kKeepBody, kRemoveBody}) {
    MakeGrid(model_, {0, 0, 0}, {8, 3, 3}, 1);
    AddBoxes(model_, {{{0, 0, 0}, {3, 2, 2}}, {{4, 0, 0}, {7, 2, 2}}}, 0x30, 7);
    ASSERT_EQ(Column(model_, kDirectionX, 1, 1), (Values{0, 3, 4, 7}));
    ASSERT_EQ(Trace(ZSeed(2, 1)), kSeparateBody) << mode;  // a seed in box A
    std::fill(model_.BlockDirty.begin(), model_.BlockDirty.end(), 0);
    RebuildSeparatedPiece(model_, mode, tables_);
    const Values kept = mode == kKeepBody ? Values{0, 3} : Values{4, 7};
    EXPECT_EQ(Column(model_, kDirectionX, 1, 1), kept);
    EXPECT_EQ(Column(model_, kDirectionZ, 3, 0).empty(), mode == kRemoveBody);
    EXPECT_EQ(Column(model_, kDirectionZ, 4, 0).empty(), mode == kKeepBody);
    EXPECT_EQ(Column(model_, kDirectionY, 0, 5).empty(), mode == kKeepBody);
    // Kept values keep their flags and attributes.
    const int32_t x11 = ColumnAt(model_, kDirectionX, 1, 1);
    EXPECT_EQ(DexelColumnFlags(model_.XSet(), x11)[1], 0x30);
    EXPECT_EQ(DexelColumnAttributes(model_.XSet(), x11)[1], 7);
    // Blocks of 5 cells: x 0..5 is block 0, 5..7 block 1. Box A lies in
    // block 0; box B reaches into both.
    EXPECT_EQ(model_.BlockDirty,
              mode == kKeepBody ? (std::vector<uint8_t>{1, 1}) : (std::vector<uint8_t>{1, 0}));
  }
}

TEST_F(Separation, SegmentsMeetingAtOneGridPointAreConnected) {
  MakeGrid(model_, {0, 0, 0}, {5, 3, 4}, 1);
  const std::vector<uint8_t> flags(2, 0);
  const std::vector<int32_t> attributes(2, 0);
  // A Z segment at (1, 1) from z 0 to 2 and an X segment at (y 1, z 2) from
  // x 1 to 3: both contain the grid point (1, 1, 2).
  SetDexelColumn(model_.ZSet(), ColumnAt(model_, kDirectionZ, 1, 1), Values{0, 2}, flags,
                 attributes);
  SetDexelColumn(model_.XSet(), ColumnAt(model_, kDirectionX, 1, 2), Values{1, 3}, flags,
                 attributes);
  EXPECT_EQ(Trace(ZSeed(1, 1)), kWholeModel);
  FreeSeparationBuffers(tables_);
  // Half a pitch further the X segment no longer contains the point.
  SetDexelColumn(model_.XSet(), ColumnAt(model_, kDirectionX, 1, 2), Values{1.5, 3}, flags,
                 attributes);
  EXPECT_EQ(Trace(ZSeed(1, 1)), kSeparateBody);
}

TEST_F(Separation, ALoneSegmentElsewhereOnTheLineIsNotJoined) {
  // Box A 0..2 and a pin: a Z segment at (5, 1) that no X or Y line sees
  // (thinner than the grid). The X lines at y 1 meet the pin's column only
  // at x 5, where their one segment [0, 2] of box A does not reach.
  MakeGrid(model_, {0, 0, 0}, {7, 3, 3}, 1);
  AddBoxes(model_, {{{0, 0, 0}, {2, 2, 2}}});
  SetDexelColumn(model_.ZSet(), ColumnAt(model_, kDirectionZ, 5, 1), Values{0, 2},
                 std::vector<uint8_t>(2, 0), std::vector<int32_t>(2, 0));
  ASSERT_EQ(Trace(ZSeed(5, 1)), kSeparateBody);
  RebuildSeparatedPiece(model_, kKeepBody, tables_);
  EXPECT_EQ(Column(model_, kDirectionZ, 5, 1), (Values{0, 2}));
  EXPECT_TRUE(Column(model_, kDirectionX, 1, 1).empty());
  EXPECT_TRUE(Column(model_, kDirectionZ, 0, 0).empty());
}

TEST_F(Separation, BadSeedsAndTheAbortKeyLeaveTheModelAlone) {
  ASSERT_EQ(CreateBoxModel(model_, {0, 0, 0, 3, 2, 2}, 1), kModelOk);
  const std::vector<SegmentStackEntry> bad{
      {kDirectionZ, -1, 1, ColumnAt(model_, kDirectionZ, -1, 1), 0},  // negative cross index
      {kDirectionZ, 1, 3, ColumnAt(model_, kDirectionZ, 1, 3), 0},    // beyond the grid
      {kDirectionZ, 1, 1, ColumnAt(model_, kDirectionZ, 1, 1), 1},    // the column has 1 segment
      {kDirectionZ, 1, 1, ColumnAt(model_, kDirectionZ, 1, 1), -1},
      {kDirectionZ, 1, 1, 0, 0},  // another column's index
      {7, 1, 1, 5, 0},
  };
  for (const SegmentStackEntry& seed : bad) {
    EXPECT_EQ(Trace(seed), kBadSeed) << seed.First << " " << seed.Second << " " << seed.Segment;
    FreeSeparationBuffers(tables_);
  }
  int polls = 0;
  const DexelModel before = model_;
  EXPECT_EQ(Trace(ZSeed(1, 1), [&polls] { return ++polls == 3; }), kTraceAborted);
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(model_.ZSet().Values, before.ZSet().Values);
  EXPECT_EQ(model_.XSet().Counts, before.XSet().Counts);
}

TEST_F(Separation, TraceKeepsTheWindowAliveWhileTheShellAllowsIt) {
  ASSERT_EQ(CreateBoxModel(model_, {0, 0, 0, 3, 2, 2}, 1), kModelOk);
  uint32_t now = 10000;
  int taken = 0, cursors = 0;
  progress_.Clock = [&now] { return now += 1000; };
  progress_.Pump.TakeMessage = [&taken](PendingMessage&) { return ++taken, false; };
  progress_.Pump.SetBusyCursor = [&cursors] { ++cursors; };
  EXPECT_EQ(Trace(ZSeed(0, 0)), kWholeModel);
  EXPECT_EQ(taken, 0);
  EXPECT_EQ(cursors, 33);  // once per segment
  progress_.Pump.PumpDuringWork = 1;
  FreeSeparationBuffers(tables_);
  EXPECT_EQ(Trace(ZSeed(0, 0)), kWholeModel);
  // 33 segments, the clock 1000 ms on per call: a pump every fourth segment,
  // from the first: (33 - 1) / 4 + 1.
  EXPECT_EQ(taken, 9);
}

}  // namespace
}  // namespace vestan
