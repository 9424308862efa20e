#include "platform/thread_pool.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace vestan {
namespace {

// Many runs in a row, as the kernel makes them: every task runs exactly
// once per run, on a thread numbered within the pool, one task at a time per
// thread, and what the tasks wrote is seen by the caller when Run returns.
TEST(ThreadPool, EveryTaskRunsOnceInEveryRun) {
  for (int32_t threads : {1, 2, 5}) {
    ThreadPool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (int32_t count : {0, 1, 3, 64, 1000}) {
      for (int run = 0; run < 20; ++run) {
        std::vector<int32_t> ran(static_cast<size_t>(count), 0);
        std::vector<std::atomic<int32_t>> inTask(static_cast<size_t>(threads));
        std::atomic<int32_t> overlaps{0};
        pool.Run(count, [&](int32_t task, int32_t thread) {
          ASSERT_GE(thread, 0);
          ASSERT_LT(thread, threads);
          if (inTask[static_cast<size_t>(thread)].fetch_add(1) != 0) ++overlaps;
          ++ran[static_cast<size_t>(task)];  // each task's own slot: no race
          inTask[static_cast<size_t>(thread)].fetch_sub(1);
        });
        EXPECT_EQ(overlaps.load(), 0);
        for (int32_t k = 0; k < count; ++k)
          ASSERT_EQ(ran[static_cast<size_t>(k)], 1) << threads << " threads, task " << k;
      }
    }
  }
}

// A run asked to use fewer threads than the pool has runs on the caller and
// the lowest-numbered workers only, and still runs every task once; the
// workers left out take part again in the next full run.
TEST(ThreadPool, ARunUsesNoMoreThreadsThanItIsGiven) {
  ThreadPool pool(5);
  for (int32_t limit : {1, 2, 3, 5, 9, 0}) {
    const int32_t most = limit > 0 ? std::min(limit, 5) : 5;
    for (int run = 0; run < 20; ++run) {
      std::vector<int32_t> ran(300, 0);
      std::atomic<int32_t> beyond{0};
      pool.Run(
          300,
          [&](int32_t task, int32_t thread) {
            if (thread >= most) ++beyond;
            ++ran[static_cast<size_t>(task)];
          },
          limit);
      EXPECT_EQ(beyond.load(), 0) << "limit " << limit;
      for (int32_t k = 0; k < 300; ++k) ASSERT_EQ(ran[static_cast<size_t>(k)], 1) << k;
    }
  }
}

// Workers asleep after a pause still take the next run's tasks, and a pool
// destroyed at once after a run, or without any, joins its workers.
TEST(ThreadPool, WakesAfterSleepingAndJoinsOnDestruction) {
  { ThreadPool idle(4); }
  ThreadPool pool(4);
  std::atomic<int32_t> sum{0};
  pool.Run(100, [&](int32_t task, int32_t) { sum += task; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::set<int32_t> threads;
  std::mutex mutex;
  pool.Run(400, [&](int32_t task, int32_t thread) {
    sum += task;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    std::lock_guard<std::mutex> lock(mutex);
    threads.insert(thread);
  });
  EXPECT_EQ(sum.load(), 4950 + 79800);
  EXPECT_GT(threads.size(), 1u);
}

TEST(ThreadPool, DefaultCountIsCappedByTheVariable) {
  const int32_t all = DefaultThreadCount(nullptr);
  EXPECT_GE(all, 1);
  ::setenv("VESTAN_TEST_THREADS", "1", 1);
  EXPECT_EQ(DefaultThreadCount("VESTAN_TEST_THREADS"), 1);
  // Not a positive whole number, or above the processors: no cap.
  for (const char* value : {"0", "-2", "x", "3x", "100000"}) {
    ::setenv("VESTAN_TEST_THREADS", value, 1);
    EXPECT_EQ(DefaultThreadCount("VESTAN_TEST_THREADS"), all) << value;
  }
  ::unsetenv("VESTAN_TEST_THREADS");
  EXPECT_EQ(DefaultThreadCount("VESTAN_TEST_THREADS"), all);
}

}  // namespace
}  // namespace vestan
