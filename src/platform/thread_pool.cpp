#include "platform/thread_pool.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vestan {

namespace {

// A worker that has just finished spins this many rounds for the next Run
// before it sleeps: the kernel runs several a millisecond.
constexpr int kSpinRounds = 4000;

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

int32_t DefaultThreadCount(const char* capVariable) {
  int32_t threads = static_cast<int32_t>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  const char* cap = capVariable != nullptr ? std::getenv(capVariable) : nullptr;
  if (cap != nullptr) {
    int32_t value = 0;
    const char* end = cap + std::strlen(cap);
    const auto [rest, error] = std::from_chars(cap, end, value);
    if (error == std::errc() && rest == end && value >= 1 && value < threads) threads = value;
  }
  return threads;
}

ThreadPool::ThreadPool(int32_t threads) {
  for (int32_t k = 1; k < threads; ++k) workers_.emplace_back([this, k] { Work(k); });
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::TakeTasks(int32_t thread) {
  for (;;) {
    const int32_t k = next_.fetch_add(1);
    if (k >= count_) return;
    (*task_)(k, thread);
  }
}

void ThreadPool::Run(int32_t count, const std::function<void(int32_t, int32_t)>& task) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1) {
    for (int32_t k = 0; k < count; ++k) task(k, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
    task_ = &task;
    next_.store(0);
    busy_.store(static_cast<int32_t>(workers_.size()));
    generation_.fetch_add(1);
  }
  wake_.notify_all();
  TakeTasks(0);
  // The workers may still be in their last task.
  for (int spin = 0; busy_.load() != 0 && spin < kSpinRounds; ++spin) Pause();
  if (busy_.load() != 0) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_.load() == 0; });
  }
}

void ThreadPool::Work(int32_t thread) {
  uint64_t seen = 0;
  for (;;) {
    // Spin a while for the next generation, then sleep until it comes.
    for (int spin = 0; generation_.load() == seen && !stop_.load() && spin < kSpinRounds; ++spin)
      Pause();
    if (generation_.load() == seen && !stop_.load()) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return generation_.load() != seen || stop_.load(); });
    }
    if (stop_.load()) return;
    seen = generation_.load();
    TakeTasks(thread);
    // The last one out wakes the caller; under the lock, so that the wake
    // cannot fall between its test and its wait.
    if (busy_.fetch_sub(1) == 1) {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_one();
    }
  }
}

}  // namespace vestan
