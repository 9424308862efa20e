// A fixed set of persistent worker threads that share out numbered tasks
// with the calling thread: for work split into many small independent
// pieces many times a second (the cutting kernel's rows).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace vestan {

// Threads work should use: the machine's processors, capped by the
// environment variable named (a positive whole number) when it is set.
int32_t DefaultThreadCount(const char* capVariable);

class ThreadPool {
 public:
  // threads counts the calling thread: threads - 1 workers are started (none
  // for 1 or less).
  explicit ThreadPool(int32_t threads);
  // Stops and joins every worker.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  int32_t Threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

  // Runs task(k, thread) once for every k in [0, count), spread over at most
  // threads threads (all the pool's for 0 or less, never more than count),
  // the calling thread among them (thread is 0 on the caller, 1.. on the
  // workers; one thread runs one task at a time), and returns when all have
  // returned. Only the workers the run uses are woken. Each thread first
  // takes its own share of consecutive tasks, in ascending order, then helps
  // with what is left of the others': from run to run of the same split a
  // task goes to the same thread unless another is late, so the data it
  // touches stays in that core's cache. One Run at a time.
  void Run(int32_t count, const std::function<void(int32_t task, int32_t thread)>& task,
           int32_t threads = 0);

 private:
  // A thread's share of the current run's tasks: [next, end) not yet taken.
  struct alignas(64) Share {
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> end{0};
  };
  // What wakes a worker and how it waits: its own cache line, so that
  // waiting workers do not disturb each other.
  struct alignas(64) Slot {
    std::atomic<uint32_t> epoch{0};  // raised by each run the worker is asked to, and at stop
    std::atomic<bool> sleeping{false};
    // kIdle, kAsked (by the current run, not yet begun) or kTaking: a
    // worker the caller finds still asked when no task is left is let off.
    std::atomic<uint32_t> state{0};
    int64_t spinNs = 0;  // the worker's own: how long it spins before it sleeps
  };

  void Work(int32_t thread);
  // Waits until the slot's epoch is no longer seen; returns the new one.
  uint32_t Await(Slot& slot, uint32_t seen);
  // Takes and runs tasks of the current run until none is left.
  void TakeTasks(int32_t thread);

  std::unique_ptr<Share[]> shares_;
  std::unique_ptr<Slot[]> slots_;  // [0] unused: the caller has none
  std::atomic<int32_t> parts_{0};  // threads of the current run
  std::atomic<const std::function<void(int32_t, int32_t)>*> task_{nullptr};
  std::atomic<int32_t> pending_{0};  // workers asked by the current run not yet done or let off
  std::atomic<bool> running_{false};  // a run has started and not returned
  std::atomic<int64_t> startedAt_{0};  // when the current run woke its workers, steady clock ns
  std::atomic<bool> callerSleeping_{false};
  std::atomic<bool> stop_{false};
  // Last, so that the records above exist for the workers' whole life.
  std::vector<std::thread> workers_;
};

}  // namespace vestan
