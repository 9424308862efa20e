#include "platform/timers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"

namespace vestan {
namespace {

constexpr TimerKey kRunPoll{1, 101};
constexpr TimerKey kBlink{1, 5};

class Timers : public ::testing::Test {
 protected:
  ManualClock clock_{1000};
  TimerTable timers_{clock_};
  std::vector<std::string> ticks_;

  void Record(TimerKey key, int32_t intervalMs, std::string name) {
    timers_.Set(key, intervalMs, [this, name] { ticks_.push_back(name); });
  }
};

TEST_F(Timers, TickOneIntervalAfterSettingAndNeverCatchUp) {
  Record(kRunPoll, 5, "poll");
  EXPECT_EQ(timers_.NextDue(), 1005);
  clock_.Advance(4);
  EXPECT_EQ(timers_.RunDue(), 0);
  clock_.Advance(1);
  EXPECT_EQ(timers_.RunDue(), 1);
  // A thread busy for 50 ms gets one tick, and the next one interval later.
  clock_.Advance(50);
  EXPECT_EQ(timers_.RunDue(), 1);
  EXPECT_EQ(timers_.NextDue(), 1060);
  EXPECT_EQ(ticks_.size(), 2u);
}

TEST_F(Timers, SettingAnExistingTimerRestartsItWithTheNewInterval) {
  Record(kRunPoll, 5, "fast");
  clock_.Advance(4);
  // The run switched to mode 3: the poll restarts at 100 ms from now.
  Record(kRunPoll, 100, "slow");
  EXPECT_EQ(timers_.IntervalMs(kRunPoll), 100);
  clock_.Advance(99);
  EXPECT_EQ(timers_.RunDue(), 0);
  clock_.Advance(1);
  EXPECT_EQ(timers_.RunDue(), 1);
  EXPECT_EQ(ticks_, std::vector<std::string>{"slow"});
}

TEST_F(Timers, ACallbackMayKillItselfOrAnotherDueTimer) {
  timers_.Set(kBlink, 5, [this] {
    ticks_.push_back("blink");
    EXPECT_TRUE(timers_.Kill(kBlink));
    EXPECT_TRUE(timers_.Kill(kRunPoll));
  });
  Record(kRunPoll, 5, "poll");
  clock_.Advance(5);
  // The blink comes first (same time, lower number) and stops both.
  EXPECT_EQ(timers_.RunDue(), 1);
  EXPECT_EQ(ticks_, std::vector<std::string>{"blink"});
  EXPECT_FALSE(timers_.IsSet(kBlink));
  EXPECT_FALSE(timers_.NextDue().has_value());
  EXPECT_FALSE(timers_.Kill(kBlink));
}

TEST_F(Timers, ACallbackThatRestartsItselfTicksOnTheNewInterval) {
  int32_t count = 0;
  timers_.Set(kRunPoll, 5, [&] {
    ++count;
    if (count == 1) timers_.Set(kRunPoll, 100, [&] { ++count; });
  });
  clock_.Advance(5);
  timers_.RunDue();
  clock_.Advance(5);
  EXPECT_EQ(timers_.RunDue(), 0);
  clock_.Advance(95);
  timers_.RunDue();
  EXPECT_EQ(count, 2);
}

TEST_F(Timers, TheSameNumberOnTwoWindowsNamesTwoTimers) {
  Record({1, 5}, 500, "main blink");
  Record({3, 5}, 50, "tool list repeat");
  EXPECT_EQ(timers_.IntervalMs({1, 5}), 500);
  EXPECT_EQ(timers_.IntervalMs({3, 5}), 50);
  clock_.Advance(50);
  timers_.RunDue();
  EXPECT_EQ(ticks_, std::vector<std::string>{"tool list repeat"});
  EXPECT_FALSE(timers_.IntervalMs({2, 5}).has_value());
}

}  // namespace
}  // namespace vestan
