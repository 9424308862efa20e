#include "platform/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/recording_host.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using Call = RecordingHost::Call;

// A progress state on a recording host with a clock the test moves by hand
// and a sleep that only counts.
class Progress : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.Display = &host_;
    state_.Clock = [this] { return now_; };
    state_.Sleep = [this](int32_t ms) { slept_ += ms; };
    state_.RebuildWindowTitle = [this] { titles_.push_back(state_.TitleLabel); };
  }
  std::vector<std::string> Status(int32_t part) const {
    std::vector<std::string> texts;
    for (const auto& e : host_.Events)
      if (e.Kind == Call::kStatusText && e.Value == part) texts.push_back(e.Text);
    return texts;
  }
  std::vector<int32_t> Positions(int32_t bar) const {
    std::vector<int32_t> positions;
    for (const auto& e : host_.Events)
      if (e.Kind == Call::kProgressPosition && e.Bar == bar) positions.push_back(e.Value);
    return positions;
  }

  RecordingHost host_;
  ProgressState state_;
  uint32_t now_ = 100000;
  int32_t slept_ = 0;
  std::vector<std::string> titles_;  // the title slot at each rebuild
};

TEST_F(Progress, ZeroTotalCountsAsOneAndShowsAHundredAfterOneStep) {
  BeginProgress(state_, kProgressGivenTotal, 0, "", 0, "差分反映中", "Painting Difference");
  EXPECT_EQ(state_.Total, 1u);
  EXPECT_EQ(state_.TitleLabel, "差分反映中");
  EXPECT_EQ(titles_, (std::vector<std::string>{"差分反映中"}));
  AdvanceProgress(state_);
  UpdateProgress(state_, 0);
  EXPECT_EQ(Status(1), (std::vector<std::string>{"100.0%"}));
  // Range 0..1001, then 0 when shown, then the value.
  EXPECT_EQ(Positions(0), (std::vector<int32_t>{0, 1000}));
}

TEST_F(Progress, StatusBarRedrawsOnlyWhenTheValueGrowsUnlessForced) {
  BeginProgress(state_, kProgressGivenTotal, 2000, "", 0, "J", "E");
  UpdateProgress(state_, 0);  // 0 is shown once, with the bar stepped to 10 and back
  UpdateProgress(state_, 0);
  AddProgress(state_, 3);  // 3 * 1000 / 2000 + 0.5 = 2 per mille
  UpdateProgress(state_, 0);
  UpdateProgress(state_, 0);
  EXPECT_EQ(Status(1), (std::vector<std::string>{"  0.0%", "  0.2%"}));
  EXPECT_EQ(Positions(0), (std::vector<int32_t>{0, 10, 0, 2}));
  UpdateProgress(state_, 1);
  UpdateProgress(state_, 1);
  EXPECT_EQ(Status(1), (std::vector<std::string>{"  0.0%", "  0.2%", "  0.2%", "  0.2%"}));
  EXPECT_EQ(GetProgressCount(state_), 3u);

  EndProgress(state_);
  EXPECT_EQ(Status(0), (std::vector<std::string>{""}));
  EXPECT_EQ(Status(1).back(), "");
  EXPECT_TRUE(state_.ProgressText.empty());
  EXPECT_EQ(titles_, (std::vector<std::string>{"J", ""}));
  EXPECT_EQ(host_.Events.back().Kind, Call::kShowProgress);
  EXPECT_EQ(host_.Events.back().Value, 0);
}

TEST_F(Progress, ProgressNameReplacesTheLabelButNotTheTitleSlot) {
  state_.Options.EnglishMode = 1;
  state_.Options.ProgressName = "工程一二三四五六七八九十一二三四五六七八九十";  // 21 characters
  BeginProgress(state_, kProgressGivenTotal, 10, "", 0, "オフセット中", "Offset");
  EXPECT_EQ(state_.Label, "工程一二三四五六七八九十一二三四五六七");  // cut to 19
  EXPECT_EQ(state_.TitleLabel, "Offset");
}

TEST_F(Progress, BatchModeShowsOnlyTheLabelInTheTitle) {
  state_.Options.BatchMode = 1;
  BeginProgress(state_, kProgressGivenTotal, 10, "", 0, "J", "E");
  EXPECT_EQ(host_.Texts(Call::kWindowTitle), (std::vector<std::string>{"J"}));
  EXPECT_TRUE(host_.Texts(Call::kShowProgress).empty());
  EXPECT_TRUE(titles_.empty());
}

TEST_F(Progress, SilentModeWritesTheTitleAboutEvery700Ms) {
  state_.Options.SilentMode = 1;
  state_.Options.EnglishMode = 1;
  BeginProgress(state_, kProgressGivenTotal, 1000, "", 0, "J", "Offset");
  UpdateProgress(state_, 0);
  now_ += 100;
  AddProgress(state_, 1);
  UpdateProgress(state_, 0);  // the first update after 0 is written
  // 100 ms for one update: the next write comes after 1 * 700 / 100 = 7.
  EXPECT_EQ(state_.TitleInterval, 7);
  EXPECT_EQ(slept_, 10);
  for (int i = 0; i < 6; ++i) {
    AddProgress(state_, 1);
    UpdateProgress(state_, 0);
  }
  EXPECT_EQ(host_.Texts(Call::kWindowTitle),
            (std::vector<std::string>{"Offset:  0.0%", "Offset:  0.1%"}));
  AddProgress(state_, 1);
  UpdateProgress(state_, 0);  // the seventh
  AddProgress(state_, 250);   // a jump of more than 20 % is written at once
  UpdateProgress(state_, 0);
  state_.HeldAtStop = [] { return true; };
  AddProgress(state_, 742);  // 100 %
  UpdateProgress(state_, 0);
  EXPECT_EQ(host_.Texts(Call::kWindowTitle),
            (std::vector<std::string>{"Offset:  0.0%", "Offset:  0.1%", "Offset:  0.8%",
                                      "Offset: 25.8%", "Offset:100.0%-STOP!"}));
  EXPECT_TRUE(Status(1).empty());
  EndProgress(state_);  // nothing in silent mode
  EXPECT_TRUE(Status(0).empty());

  state_.Options.EnglishMode = 0;
  state_.Options.ProgressName = "切削";
  BeginProgress(state_, kProgressGivenTotal, 1, "", 0, "J", "E");
  AdvanceProgress(state_);
  UpdateProgress(state_, 0);
  EXPECT_EQ(host_.Texts(Call::kWindowTitle).back(), "切削:100.0%-停止!");
}

TEST_F(Progress, FileProgressFollowsTheReader) {
  testing::ScratchFolder scratch;
  const std::string file = scratch.Write("O1000.NC", std::string(400, 'G'));

  BeginFileProgress(state_, file, "J", "E", {});
  EXPECT_EQ(state_.Total, 400u);  // the file's bytes
  BeginFileProgress(state_, file, "J", "E", {false, std::nullopt, 1, 25});
  EXPECT_EQ(state_.Total, 25u);  // the lines held in memory
  BeginFileProgress(state_, file, "J", "E", {true, 0, 1, 25});
  EXPECT_EQ(state_.Total, 1u);  // the plug-in's count, at least 1
  BeginProgress(state_, kProgressFileBytes, 0, file, 3, "J", "E");
  EXPECT_EQ(state_.Total, 1200u);

  // A plug-in that cannot count its blocks gets no progress at all.
  host_.Events.clear();
  BeginFileProgress(state_, file, "J", "E", {true, std::nullopt, 0, 0});
  UpdateFileProgress(state_, 1);
  EndFileProgress(state_);
  EXPECT_TRUE(host_.Events.empty());
}

TEST_F(Progress, SecondBarShowsTheSubprogramFile) {
  BeginSubProgress(state_, "", 50);
  UpdateSubProgress(state_, 0);
  AddSubProgress(state_, 25);
  UpdateSubProgress(state_, 0);
  UpdateSubProgress(state_, 0);
  EXPECT_EQ(Positions(1), (std::vector<int32_t>{0, 10, 0, 500}));
  EndSubProgress(state_);
  EXPECT_EQ(Status(2), (std::vector<std::string>{""}));

  state_.Options.SilentMode = 1;
  host_.Events.clear();
  BeginSubProgress(state_, "missing.nc", 0);  // an unreadable file counts 1
  AddSubProgress(state_, 1);
  UpdateSubProgress(state_, 0);
  EXPECT_EQ(state_.FileLastShown, 1000);
  EXPECT_TRUE(Positions(1) == (std::vector<int32_t>{0}));  // only the bar's start
}

TEST_F(Progress, PumpTakesOneMessageEveryThreeSecondsAndDropsSome) {
  std::vector<PendingMessage> queue;
  std::vector<uint64_t> dispatched;
  int cursors = 0;
  MessagePump& pump = state_.Pump;
  pump.OsBuildNumber = 19041;
  pump.TakeMessage = [&](PendingMessage& m) {
    if (queue.empty()) return false;
    m = queue.front();
    queue.erase(queue.begin());
    return true;
  };
  pump.DispatchMessage = [&](const PendingMessage& m) { dispatched.push_back(m.Id); };
  pump.SetBusyCursor = [&] { ++cursors; };
  queue = {{false, 1}, {true, 2}, {false, 3}, {false, 4}, {false, 5}};

  PumpPendingMessage(state_);
  now_ += 3000;  // not more than 3000 ms later: nothing
  PumpPendingMessage(state_);
  EXPECT_EQ(dispatched, (std::vector<uint64_t>{1}));
  EXPECT_EQ(cursors, 1);
  now_ += 1;
  PumpPendingMessage(state_);  // a timer tick is taken and dropped
  EXPECT_EQ(queue.size(), 3u);
  now_ += 3001;
  pump.OsBuildNumber = 19040;  // older systems drop what they take
  PumpPendingMessage(state_);
  now_ += 3001;
  pump.OsBuildNumber = 19041;
  pump.ImeVersion = 0;  // IME VERSION = OLD
  PumpPendingMessage(state_);
  EXPECT_EQ(dispatched, (std::vector<uint64_t>{1}));
  EXPECT_EQ(queue.size(), 1u);
  EXPECT_EQ(cursors, 4);

  // A row of whole-model work pumps only while the shell allows it.
  now_ += 3001;
  pump.ImeVersion = 1;
  ProgressRowDone(state_, 7);
  EXPECT_EQ(queue.size(), 1u);
  pump.PumpDuringWork = 1;
  ProgressRowDone(state_, 7);
  EXPECT_EQ(dispatched, (std::vector<uint64_t>{1, 5}));
  EXPECT_EQ(state_.Counter, 14u);
}

TEST(ProgressWithoutHost, ShowsNothingAndStillCounts) {
  ProgressState state;
  BeginProgress(state, kProgressGivenTotal, 4, "", 0, "J", "E");
  ProgressRowDone(state, 2);
  PumpPendingMessage(state);
  EndProgress(state);
  EXPECT_EQ(state.Current, 500);
}

TEST(FormatText, CutsToTwentyFourCharacters) {
  std::string text;
  EXPECT_EQ(FormatText(text, "%5.1f%c", 12.34, '%'), 6);
  EXPECT_EQ(text, " 12.3%");
  EXPECT_EQ(FormatText(text, "%s", "123456789012345678901234"), 24);
  EXPECT_EQ(FormatText(text, "%s-%d", "123456789012345678901234", 5), -1);
  EXPECT_EQ(text, "123456789012345678901234");
}

TEST(HeadlessHost, TitlesCarryTheProgressToStderr) {
  HeadlessHost host("", true);
  ::testing::internal::CaptureStderr();
  host.SetWindowTitle("Offset: 42.0%");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Offset: 42.0%\n");
}

}  // namespace
}  // namespace vestan
