// The worker threads of a pose's main pass and what each keeps: its own
// run and length-check records, cut context and update-block flags, and the
// row ranges (tasks) a pass is split into with what each task removed.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "model/cut_grid_context.h"
#include "platform/thread_pool.h"

namespace vestan {

struct MainPassWorkers {
  // threads counts the calling thread; records are the main cut's, whose
  // tool, settings and document the threads read.
  MainPassWorkers(int32_t threads, const CutRecords& records);

  // Each on cache lines of its own: a thread writes its records and its
  // tasks' as it cuts, and lines shared with another thread's would bounce
  // between the cores.
  struct alignas(64) Thread {
    RunState Run;
    ToolLengthChecks Lengths;
    std::unique_ptr<CutContext> Cut;
    std::vector<uint8_t> Dirty;  // the model's BlockDirty as this thread marks it
  };
  // A range of rows of one context, cut on one thread.
  struct alignas(64) Task {
    int Context = 0;
    int32_t FirstRow = 0, LastRow = -1;
    std::vector<double> VolumeTerms;  // in the order the one-thread cut adds them
    int32_t RemovedCount = 0;
    int64_t Visited = 0;
    bool Stamped = false;  // set the move's face flags, last to FaceFlags
    std::array<uint8_t, 2> FaceFlags{};
  };

  // Row ranges a pass is cut into per thread: enough for a thread that is
  // done early to help a late one.
  static constexpr int32_t kTasksPerThread = 6;

  std::vector<Thread> Threads;
  std::vector<Task> Tasks;
  std::vector<int64_t> RowWork;  // scratch: dexel lines per row
  // The pass's volume sums as the tasks' terms are folded into them in
  // task order: which tasks are done, how many are folded, and whether a
  // thread is folding (the sums are that thread's while it is).
  std::unique_ptr<std::atomic<bool>[]> TaskDone;
  size_t TaskDoneRoom = 0;
  alignas(64) std::atomic<size_t> Folded{0};
  std::atomic<bool> Folding{false};
  std::array<double, 3> Sums{};
  std::mutex ColumnEditLock;
  // Last, so that it goes first: its threads are joined before the records
  // they use.
  ThreadPool Pool;
};

}  // namespace vestan
