// A fixed set of persistent worker threads that share out numbered tasks
// with the calling thread: for work split into many small independent
// pieces many times a second (the cutting kernel's rows).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
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

  // Runs task(k, thread) once for every k in [0, count), spread over the
  // workers and the calling thread (thread is 0 on the caller, 1.. on the
  // workers; one thread runs one task at a time), and returns when all have
  // returned. Tasks are taken in ascending order. One Run at a time.
  void Run(int32_t count, const std::function<void(int32_t task, int32_t thread)>& task);

 private:
  void Work(int32_t thread);
  // Takes and runs tasks of the given generation until none is left.
  void TakeTasks(uint32_t generation, int32_t thread);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  // The current run's generation (high half) and next task (low half), one
  // word: a worker that wakes late takes no task of a later run.
  std::atomic<uint64_t> next_{0};
  std::atomic<int32_t> count_{0};
  std::atomic<int32_t> finished_{0};  // tasks of the current run returned
  std::atomic<const std::function<void(int32_t, int32_t)>*> task_{nullptr};
  std::atomic<bool> stop_{false};
};

}  // namespace vestan
