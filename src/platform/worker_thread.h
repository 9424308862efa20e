// A thread of the program's own (the batch worker, a macro run, the
// simulation run): prepared first and started later, it tells the main
// thread when its work has ended and is always joined before it goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/main_thread_queue.h"

namespace vestan {

enum class ThreadPriority {
  kNormal,
  // Below the main thread, so a long run leaves the window responsive.
  kBelowNormal,
};

class WorkerThread {
 public:
  // queue is the main thread's: it is woken when the work ends, and a join
  // on the main thread keeps running what the worker sends it.
  explicit WorkerThread(MainThreadQueue& queue) : queue_(queue) {}
  // Joins the thread (see Join).
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Prepares the thread with its work, not yet running. False when a thread
  // is already prepared, running, or ended and not yet joined.
  bool Create(std::function<int32_t()> body, ThreadPriority priority = ThreadPriority::kNormal);
  // Starts the prepared thread; false when none is prepared.
  bool Resume();
  // Create and Resume.
  bool Start(std::function<int32_t()> body, ThreadPriority priority = ThreadPriority::kNormal) {
    return Create(std::move(body), priority) && Resume();
  }

  // Any thread. Prepared, running or ended, and not yet joined.
  bool Exists() const { return state_.load() != kEmpty; }
  bool Suspended() const { return state_.load() == kSuspended; }
  // Started and its work not yet returned.
  bool Running() const { return state_.load() == kRunning; }
  // Its work has returned; Result holds what it returned.
  bool Ended() const { return state_.load() == kEnded; }
  int32_t Result() const { return result_.load(); }

  // Waits for the work to return and joins the thread. On the main thread
  // the queue's tasks and timers keep running while it waits, so a worker
  // that still sends cannot deadlock. A prepared thread that never started
  // is discarded. Returns the work's result (0 when it never ran).
  int32_t Join();

 private:
  static constexpr int32_t kEmpty = 0;
  static constexpr int32_t kSuspended = 1;
  static constexpr int32_t kRunning = 2;
  static constexpr int32_t kEnded = 3;

  MainThreadQueue& queue_;
  std::thread thread_;
  std::function<int32_t()> body_;
  ThreadPriority priority_ = ThreadPriority::kNormal;
  std::atomic<int32_t> state_{kEmpty};
  std::atomic<int32_t> result_{0};
};

}  // namespace vestan
