#include "platform/thread_pool.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vestan {

namespace {

// A worker that has just finished spins this many rounds for the next Run
// before it sleeps: the kernel runs several a millisecond.
constexpr int kSpinRounds = 2000;

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

void ThreadPool::TakeTasks(uint32_t generation, int32_t thread) {
  for (;;) {
    uint64_t word = next_.load();
    if (static_cast<uint32_t>(word >> 32) != generation) return;
    const int32_t k = static_cast<int32_t>(word & 0xffffffffu);
    if (k >= count_.load()) return;
    // Claimed only while the run is still this one.
    if (!next_.compare_exchange_weak(word, word + 1)) continue;
    (*task_.load())(k, thread);
    if (finished_.fetch_add(1) + 1 == count_.load()) {
      // Under the lock, so that the wake cannot fall between the caller's
      // test and its wait.
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_one();
    }
  }
}

void ThreadPool::Run(int32_t count, const std::function<void(int32_t, int32_t)>& task) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1) {
    for (int32_t k = 0; k < count; ++k) task(k, 0);
    return;
  }
  uint32_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation = static_cast<uint32_t>(next_.load() >> 32) + 1;
    task_.store(&task);
    count_.store(count);
    finished_.store(0);
    next_.store(static_cast<uint64_t>(generation) << 32);
  }
  wake_.notify_all();
  TakeTasks(generation, 0);
  // Only tasks taken by others may still run; a worker that has not woken
  // yet is not waited for.
  for (int spin = 0; finished_.load() != count && spin < kSpinRounds; ++spin) Pause();
  if (finished_.load() != count) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return finished_.load() == count; });
  }
}

void ThreadPool::Work(int32_t thread) {
  uint32_t seen = 0;
  const auto current = [this] { return static_cast<uint32_t>(next_.load() >> 32); };
  for (;;) {
    // Spin a while for the next run, then sleep until it comes.
    for (int spin = 0; current() == seen && !stop_.load() && spin < kSpinRounds; ++spin) Pause();
    if (current() == seen && !stop_.load()) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return current() != seen || stop_.load(); });
    }
    if (stop_.load()) return;
    seen = current();
    TakeTasks(seen, thread);
  }
}

}  // namespace vestan
