#include "platform/main_thread_queue.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/worker_thread.h"

namespace vestan {
namespace {

using std::chrono::milliseconds;

class MainThread : public ::testing::Test {
 protected:
  SteadyClock clock_;
  MainThreadQueue queue_{clock_};
};

TEST_F(MainThread, PostedTasksRunInOrderOnTheMainThread) {
  std::vector<int32_t> order;
  std::atomic<bool> onMain{true};
  std::thread poster([&] {
    for (int32_t i = 0; i < 3; ++i)
      queue_.Post([&, i] {
        order.push_back(i);
        if (!queue_.IsMainThread()) onMain = false;
      });
  });
  poster.join();
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(queue_.RunPending(), 3);
  EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_TRUE(onMain);
}

TEST_F(MainThread, RunPendingLeavesTasksQueuedByItsTasksForTheNextRound) {
  int32_t runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    queue_.Post(again);
  };
  queue_.Post(again);
  EXPECT_EQ(queue_.RunPending(), 1);
  EXPECT_EQ(queue_.RunPending(), 1);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(queue_.PendingCount(), 1u);
}

TEST_F(MainThread, SendOnTheMainThreadRunsAtOnce) {
  int32_t value = 0;
  EXPECT_TRUE(queue_.Send([&] { value = 7; }));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(queue_.SendFor([] { return 32772; }), 32772);
  EXPECT_EQ(queue_.PendingCount(), 0u);
}

// The batch worker sends commands and the main window waits for it to end
// (the end request): the wait keeps serving the sends, so both go on.
TEST_F(MainThread, AWorkerThatSendsWhileTheMainThreadWaitsForItEnds) {
  WorkerThread worker(queue_);
  int32_t handled = 0;  // main thread only
  ASSERT_TRUE(worker.Start([&] {
    int32_t sum = 0;
    for (int32_t command = 1; command <= 50; ++command) {
      const std::optional<int32_t> answer = queue_.SendFor([&, command] {
        ++handled;
        return command * 2;
      });
      if (!answer) return -1;
      sum += *answer;
    }
    return sum;
  }));
  EXPECT_TRUE(queue_.WaitUntil([&] { return worker.Ended(); }));
  EXPECT_EQ(worker.Join(), 2550);
  EXPECT_EQ(handled, 50);
  EXPECT_FALSE(worker.Exists());
}

TEST_F(MainThread, ClosingReleasesAWaitingSenderWithoutRunningItsTask) {
  std::atomic<bool> ran{false};
  std::atomic<int32_t> sent{-1};
  std::thread sender([&] { sent = queue_.Send([&] { ran = true; }) ? 1 : 0; });
  // Not a wait of the queue's own: that would run the task.
  while (queue_.PendingCount() == 0) std::this_thread::sleep_for(milliseconds(1));
  queue_.Close();
  sender.join();
  EXPECT_EQ(sent, 0);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(queue_.Post([] {}));
}

TEST_F(MainThread, WaitUntilGivesUpAfterItsTimeout) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(queue_.WaitUntil([] { return false; }, milliseconds(30)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(30));
}

TEST_F(MainThread, RunServesTimersAndTasksUntilQuitFromAnotherThread) {
  int32_t ticks = 0;
  queue_.Timers().Set({1, 101}, 1, [&] { ++ticks; });
  WorkerThread worker(queue_);
  ASSERT_TRUE(worker.Start([&] {
    // Ask the main thread how far its timer got until it ticked three times.
    while (queue_.SendFor([&] { return ticks; }).value_or(3) < 3)
      std::this_thread::sleep_for(milliseconds(1));
    queue_.Quit(-1);
    return 0;
  }));
  EXPECT_EQ(queue_.Run(), -1);
  EXPECT_GE(ticks, 3);
  worker.Join();
}

// A timer that the wait runs stops itself, the way the run's poll ends.
TEST_F(MainThread, WaitUntilTicksTimersOnAManualClock) {
  ManualClock manual;
  MainThreadQueue queue(manual);
  int32_t ticks = 0;
  queue.Timers().Set({1, 6}, 50, [&] {
    if (++ticks == 2) queue.Timers().Kill({1, 6});
  });
  std::thread mover([&] {
    for (int32_t i = 0; i < 4; ++i) {
      manual.Advance(50);
      queue.Wake();
      std::this_thread::sleep_for(milliseconds(2));
    }
  });
  EXPECT_TRUE(queue.WaitUntil([&] { return !queue.Timers().IsSet({1, 6}); }, milliseconds(5000)));
  mover.join();
  EXPECT_EQ(ticks, 2);
}

TEST(WorkerThread, APreparedThreadRunsOnlyOnceResumed) {
  SteadyClock clock;
  MainThreadQueue queue(clock);
  WorkerThread worker(queue);
  std::atomic<bool> ran{false};
  ASSERT_TRUE(worker.Create([&] {
    ran = true;
    return 5;
  }));
  EXPECT_TRUE(worker.Suspended());
  EXPECT_FALSE(worker.Create([] { return 0; }));
  std::this_thread::sleep_for(milliseconds(5));
  EXPECT_FALSE(ran);
  ASSERT_TRUE(worker.Resume());
  EXPECT_FALSE(worker.Resume());
  EXPECT_TRUE(queue.WaitUntil([&] { return worker.Ended(); }, milliseconds(5000)));
  EXPECT_EQ(worker.Result(), 5);
  EXPECT_EQ(worker.Join(), 5);
  // Joined: the slot takes a new thread.
  EXPECT_TRUE(worker.Create([] { return 0; }));
  // One that never ran is discarded at the join.
  EXPECT_EQ(worker.Join(), 0);
}

TEST(WorkerThread, IsJoinedWhenItGoesEvenWhileItStillSends) {
  SteadyClock clock;
  MainThreadQueue queue(clock);
  std::atomic<int32_t> sends{0};
  {
    WorkerThread worker(queue);
    ASSERT_TRUE(worker.Start([&] {
      for (int32_t i = 0; i < 20; ++i)
        if (queue.Send([] {})) ++sends;
      return 0;
    }));
  }  // the destructor serves the sends while it joins
  EXPECT_EQ(sends, 20);
}

TEST(WorkerThread, BelowNormalRunsNicerThanTheMainThread) {
  SteadyClock clock;
  MainThreadQueue queue(clock);
  WorkerThread worker(queue);
  errno = 0;
  const int mainNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  std::atomic<int> workerNice{-100};
  ASSERT_TRUE(worker.Start(
      [&] {
        workerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        return 0;
      },
      ThreadPriority::kBelowNormal));
  worker.Join();
  // Niceness tops out at 19.
  EXPECT_EQ(workerNice, std::min(mainNice + 5, 19));
}

}  // namespace
}  // namespace vestan
