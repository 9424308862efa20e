// What a worker pays to have the main thread do something: a send that
// waits for the main thread's result, while the main thread waits for the
// worker (as at the end of a batch job) and serves it; and posts drained by
// the main thread. Each checks that every task ran once.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>

#include "platform/clock.h"
#include "platform/main_thread_queue.h"
#include "platform/worker_thread.h"

namespace vestan {
namespace {

constexpr int32_t kSends = 10000;

void BM_SendFromAWorker(benchmark::State& state) {
  SteadyClock clock;
  MainThreadQueue queue(clock);
  int64_t total = 0;
  for (auto _ : state) {
    WorkerThread worker(queue);
    int64_t handled = 0;  // main thread only
    worker.Start([&] {
      int32_t answered = 0;
      for (int32_t i = 0; i < kSends; ++i)
        answered += queue
                        .SendFor([&handled, i] {
                          ++handled;
                          return i & 1;
                        })
                        .value_or(-1);
      return answered;
    });
    queue.WaitUntil([&] { return worker.Ended(); });
    if (worker.Join() != kSends / 2 || handled != kSends) state.SkipWithError("a send was lost");
    total += handled;
  }
  state.SetItemsProcessed(total);
}
BENCHMARK(BM_SendFromAWorker)->Unit(benchmark::kMillisecond);

void BM_PostAndDrain(benchmark::State& state) {
  SteadyClock clock;
  MainThreadQueue queue(clock);
  int64_t total = 0;
  for (auto _ : state) {
    std::atomic<bool> done{false};
    int64_t ran = 0;
    WorkerThread worker(queue);
    worker.Start([&] {
      for (int32_t i = 0; i < kSends; ++i) queue.Post([&ran] { ++ran; });
      queue.Post([&done] { done = true; });
      return 0;
    });
    queue.WaitUntil([&] { return done.load(); });
    worker.Join();
    if (ran != kSends) state.SkipWithError("a post was lost");
    total += ran;
  }
  state.SetItemsProcessed(total);
}
BENCHMARK(BM_PostAndDrain)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
