#include "platform/main_thread_queue.h"

#include <algorithm>
#include <vector>

namespace vestan {

namespace {

// Longest sleep of an idle Run: Quit and new work wake it sooner.
constexpr int64_t kIdleStepMs = 100;

}  // namespace

MainThreadQueue::MainThreadQueue(const Clock& clock)
    : mainThread_(std::this_thread::get_id()), timers_(clock) {}

MainThreadQueue::~MainThreadQueue() { Close(); }

bool MainThreadQueue::Post(std::function<void()> task) {
  bool waiting = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    tasks_.push_back({std::move(task), nullptr});
    waiting = mainWaiting_;
  }
  // A main thread that is busy finds the task when it looks next.
  if (waiting) workArrived_.notify_all();
  return true;
}

bool MainThreadQueue::Send(std::function<void()> task) {
  if (IsMainThread()) {
    if (task) task();
    return true;
  }
  const auto state = std::make_shared<SendState>();
  bool waiting = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    tasks_.push_back({std::move(task), state});
    waiting = mainWaiting_;
  }
  if (waiting) workArrived_.notify_all();
  std::unique_lock<std::mutex> lock(mutex_);
  sendDone_.wait(lock, [&state] { return state->Done; });
  return state->Ran;
}

bool MainThreadQueue::Take(Entry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (tasks_.empty()) return false;
  entry = std::move(tasks_.front());
  tasks_.pop_front();
  return true;
}

void MainThreadQueue::RunEntry(Entry& entry) {
  // The sender is released however the task ends.
  struct Release {
    MainThreadQueue& queue;
    const std::shared_ptr<SendState>& sender;
    ~Release() {
      if (!sender) return;
      {
        std::lock_guard<std::mutex> lock(queue.mutex_);
        sender->Done = true;
        sender->Ran = true;
      }
      queue.sendDone_.notify_all();
    }
  } release{*this, entry.Sender};
  if (entry.Task) entry.Task();
}

int32_t MainThreadQueue::RunPending() {
  size_t queued = PendingCount();
  int32_t ran = 0;
  Entry entry;
  while (queued-- > 0 && Take(entry)) {
    RunEntry(entry);
    entry = Entry{};
    ++ran;
  }
  return ran;
}

bool MainThreadQueue::RunOne() {
  Entry entry;
  if (!Take(entry)) return false;
  RunEntry(entry);
  return true;
}

int32_t MainThreadQueue::RunOnce() { return timers_.RunDue() + RunPending(); }

void MainThreadQueue::WaitForWork(int64_t maxMs) {
  if (const std::optional<ClockMs> due = timers_.NextDue())
    maxMs = std::min<int64_t>(maxMs, std::max<int64_t>(0, *due - timers_.TimeSource().NowMs()));
  if (maxMs <= 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t seen = wakeSerial_;
  mainWaiting_ = true;
  workArrived_.wait_for(lock, std::chrono::milliseconds(maxMs), [this, seen] {
    return !tasks_.empty() || wakeSerial_ != seen || quit_.load();
  });
  mainWaiting_ = false;
}

bool MainThreadQueue::WaitUntil(const std::function<bool()>& done,
                                std::optional<std::chrono::milliseconds> timeout) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (done()) return true;
    RunOnce();
    if (done()) return true;
    int64_t step = kPollStepMs;
    if (timeout) {
      const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      const int64_t left = (*timeout - waited).count();
      if (left <= 0) return false;
      step = std::min(step, left);
    }
    WaitForWork(step);
  }
}

int32_t MainThreadQueue::Run() {
  while (!quit_.load()) {
    RunOnce();
    if (quit_.load()) break;
    WaitForWork(kIdleStepMs);
  }
  return exitCode_.load();
}

void MainThreadQueue::Quit(int32_t exitCode) {
  exitCode_.store(exitCode);
  quit_.store(true);
  Wake();
}

void MainThreadQueue::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakeSerial_;
  }
  workArrived_.notify_all();
}

size_t MainThreadQueue::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

void MainThreadQueue::Close() {
  std::deque<Entry> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
    for (Entry& entry : dropped)
      if (entry.Sender) entry.Sender->Done = true;  // Ran stays false
  }
  sendDone_.notify_all();
  workArrived_.notify_all();
  // The dropped tasks are destroyed here, outside the lock.
}

bool MainThreadQueue::Closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

}  // namespace vestan
