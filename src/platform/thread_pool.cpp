#include "platform/thread_pool.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vestan {

namespace {

using Clock = std::chrono::steady_clock;

// A worker that has finished spins a while for its next run before it
// sleeps: waking it costs the caller a system call and the run the
// scheduler's latency. It spins for twice the last pause between its runs,
// within these bounds, and for the least after a long pause: a steady
// stream of runs (the kernel cuts a pose every few tens of microseconds)
// finds it awake, and an idle pool soon stops burning processor time.
constexpr int64_t kMinSpinNs = 2'000;
constexpr int64_t kMaxSpinNs = 40'000;
// The caller waits for the workers it woke this long before it sleeps, and
// a worker done with its run's tasks as long for the run to end: the idle
// time after it is what the spin above bounds.
constexpr int64_t kRunSpinNs = 200'000;

constexpr uint32_t kIdle = 0;
constexpr uint32_t kAsked = 1;
constexpr uint32_t kTaking = 2;

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Spins until done() or until limitNs have passed; whether done(). After
// the first few microseconds it yields the processor now and then: on a
// machine with more threads than processors the thread it waits for may
// be the one waiting for a processor.
template <typename Done>
bool SpinUntil(const Done& done, int64_t limitNs) {
  constexpr std::chrono::nanoseconds kYieldAfter{5'000};
  const Clock::time_point start = Clock::now();
  for (int round = 1;; ++round) {
    if (done()) return true;
    Pause();
    // The clock is read now and then: it costs more than a pause.
    if (round % 16 == 0) {
      const Clock::duration spun = Clock::now() - start;
      if (spun > std::chrono::nanoseconds(limitNs)) return done();
      if (spun > kYieldAfter) std::this_thread::yield();
    }
  }
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
  const int32_t all = std::max(threads, 1);
  shares_ = std::make_unique<Share[]>(static_cast<size_t>(all));
  slots_ = std::make_unique<Slot[]>(static_cast<size_t>(all));
  for (int32_t k = 1; k < all; ++k) {
    slots_[static_cast<size_t>(k)].spinNs = kMaxSpinNs;
    workers_.emplace_back([this, k] { Work(k); });
  }
}

ThreadPool::~ThreadPool() {
  stop_.store(true);
  for (size_t k = 1; k <= workers_.size(); ++k) {
    slots_[k].epoch.fetch_add(1);
    slots_[k].epoch.notify_one();
  }
  for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::TakeTasks(int32_t thread) {
  const int32_t parts = parts_.load(std::memory_order_relaxed);
  const auto& task = *task_.load(std::memory_order_relaxed);
  // The thread's own share first, then the others' in turn.
  for (int32_t step = 0; step < parts; ++step) {
    Share& share = shares_[static_cast<size_t>((thread + step) % parts)];
    const int32_t end = share.end.load(std::memory_order_relaxed);
    if (share.next.load(std::memory_order_relaxed) >= end) continue;
    for (int32_t k; (k = share.next.fetch_add(1, std::memory_order_relaxed)) < end;)
      task(k, thread);
  }
}

void ThreadPool::Run(int32_t count, const std::function<void(int32_t, int32_t)>& task,
                     int32_t threads) {
  if (count <= 0) return;
  int32_t parts = threads > 0 ? std::min(threads, Threads()) : Threads();
  parts = std::min(parts, count);
  if (parts <= 1) {
    for (int32_t k = 0; k < count; ++k) task(k, 0);
    return;
  }
  // Written before the workers are woken: the epoch's raise publishes them.
  task_.store(&task, std::memory_order_relaxed);
  parts_.store(parts, std::memory_order_relaxed);
  for (int32_t p = 0; p < parts; ++p) {
    Share& share = shares_[static_cast<size_t>(p)];
    share.next.store(static_cast<int32_t>(int64_t{count} * p / parts), std::memory_order_relaxed);
    share.end.store(static_cast<int32_t>(int64_t{count} * (p + 1) / parts),
                    std::memory_order_relaxed);
  }
  pending_.store(parts - 1);
  running_.store(true);
  startedAt_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
  for (int32_t w = 1; w < parts; ++w) {
    Slot& slot = slots_[static_cast<size_t>(w)];
    slot.state.store(kAsked);
    slot.epoch.fetch_add(1);
    // A worker still spinning sees the raise itself; against one going to
    // sleep, its flag is set before it looks at the epoch a last time.
    if (slot.sleeping.load()) slot.epoch.notify_one();
  }
  TakeTasks(0);
  // Every task is taken: a worker that has not begun yet (asleep still, or
  // without a processor) is not waited for.
  for (int32_t w = 1; w < parts; ++w) {
    uint32_t asked = kAsked;
    if (slots_[static_cast<size_t>(w)].state.compare_exchange_strong(asked, kIdle))
      pending_.fetch_sub(1);
  }
  // Only tasks other threads took may still run.
  if (!SpinUntil([this] { return pending_.load() == 0; }, kRunSpinNs)) {
    callerSleeping_.store(true);
    for (int32_t left; (left = pending_.load()) != 0;) pending_.wait(left);
    callerSleeping_.store(false);
  }
  running_.store(false);
}

uint32_t ThreadPool::Await(Slot& slot, uint32_t seen) {
  SpinUntil([&] { return !running_.load(); }, kRunSpinNs);
  const Clock::time_point idle = Clock::now();
  if (!SpinUntil([&] { return slot.epoch.load() != seen; }, slot.spinNs)) {
    slot.sleeping.store(true);
    for (uint32_t now; (now = slot.epoch.load()) == seen;) slot.epoch.wait(seen);
    slot.sleeping.store(false);
  }
  // Next time spin for twice the pause between runs just seen (to when the
  // run started, not to when the worker got a processor), unless it was
  // long.
  const int64_t gap = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          Clock::duration(startedAt_.load(std::memory_order_relaxed)) -
                          idle.time_since_epoch())
                          .count();
  slot.spinNs = gap > kMaxSpinNs ? kMinSpinNs : std::clamp(2 * gap, kMinSpinNs, kMaxSpinNs);
  return slot.epoch.load();
}

void ThreadPool::Work(int32_t thread) {
  Slot& slot = slots_[static_cast<size_t>(thread)];
  uint32_t seen = 0;
  for (;;) {
    seen = Await(slot, seen);
    if (stop_.load()) return;
    // Not when let off: the run may have returned.
    uint32_t asked = kAsked;
    if (!slot.state.compare_exchange_strong(asked, kTaking)) continue;
    TakeTasks(thread);
    slot.state.store(kIdle);
    // The caller may be asleep on the count: the last to finish wakes it.
    if (pending_.fetch_sub(1) == 1 && callerSleeping_.load()) pending_.notify_one();
  }
}

}  // namespace vestan
