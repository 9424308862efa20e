// The main thread's queue and loop: other threads hand it work (post, or send
// and wait for it to be done), the main thread runs that work and its timers,
// and it can wait for another thread without blocking the work that thread
// still sends it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/clock.h"
#include "platform/timers.h"

namespace vestan {

class MainThreadQueue {
 public:
  // The thread that makes the queue is its main thread; its timers run on
  // clock.
  explicit MainThreadQueue(const Clock& clock);
  // Closes the queue: senders still waiting are released.
  ~MainThreadQueue();
  MainThreadQueue(const MainThreadQueue&) = delete;
  MainThreadQueue& operator=(const MainThreadQueue&) = delete;

  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

  // Any thread: queues the task for the main thread and returns at once.
  // False, and the task dropped, when the queue is closed.
  bool Post(std::function<void()> task);
  // Any thread: runs the task on the main thread and returns when it has
  // run. On the main thread it runs at once. False, without running it, when
  // the queue is closed before the main thread comes to it.
  bool Send(std::function<void()> task);
  // Send with the task's result; none when the task did not run.
  template <typename F>
  auto SendFor(F&& task) -> std::optional<std::invoke_result_t<F&>> {
    std::optional<std::invoke_result_t<F&>> result;
    Send([&result, &task] { result.emplace(task()); });
    return result;
  }

  // The main thread's timers, ticked by Run, RunOnce and WaitUntil.
  TimerTable& Timers() { return timers_; }

  // Main thread: runs the tasks queued when it is called (tasks they queue
  // wait for the next call). Returns how many ran.
  int32_t RunPending();
  // Main thread: runs the oldest queued task; false when none was queued.
  bool RunOne();
  // Main thread: the due timers, then the queued tasks. Returns how many of
  // both ran.
  int32_t RunOnce();
  // Main thread: waits until done() holds, running queued tasks and due
  // timers meanwhile, so a thread that sends while the main thread waits for
  // it goes on. done() is tested after each round and at least every
  // kPollStepMs. False when timeout (real time) passed first; no timeout
  // waits as long as it takes.
  bool WaitUntil(const std::function<bool()>& done,
                 std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Main thread: runs tasks and timers until Quit is called; returns its
  // exit code.
  int32_t Run();
  // Any thread: Run returns with exitCode once the work in hand is done.
  void Quit(int32_t exitCode);
  bool QuitRequested() const { return quit_.load(); }

  // Any thread: a waiting main thread tests its condition again now.
  void Wake();
  // Any thread: tasks queued and not yet run.
  size_t PendingCount() const;

  // Main thread, at exit: refuses new tasks, drops the queued ones and
  // releases every waiting sender (its Send returns false).
  void Close();
  bool Closed() const;

  // Longest time a wait sleeps before it tests its condition again.
  static constexpr int32_t kPollStepMs = 10;

 private:
  struct SendState {
    bool Done = false;
    bool Ran = false;
  };
  struct Entry {
    std::function<void()> Task;
    std::shared_ptr<SendState> Sender;  // empty for a posted task
  };

  // Takes the oldest entry; false when none.
  bool Take(Entry& entry);
  void RunEntry(Entry& entry);
  // Sleeps until a task comes, Wake or Quit is called, the next timer is due
  // or maxMs passed.
  void WaitForWork(int64_t maxMs);

  const std::thread::id mainThread_;
  TimerTable timers_;
  mutable std::mutex mutex_;
  std::condition_variable workArrived_;
  std::condition_variable sendDone_;
  std::deque<Entry> tasks_;
  uint64_t wakeSerial_ = 0;
  bool mainWaiting_ = false;  // the main thread sleeps in WaitForWork
  bool closed_ = false;
  std::atomic<bool> quit_{false};
  std::atomic<int32_t> exitCode_{0};
};

}  // namespace vestan
