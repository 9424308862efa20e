// The program's clock for timers and waits: a steady clock in the program, a
// clock moved by hand in tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace vestan {

// Milliseconds on a clock that never goes back.
using ClockMs = int64_t;

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed start; never decreases.
  virtual ClockMs NowMs() const = 0;
};

// The system's steady clock.
class SteadyClock : public Clock {
 public:
  ClockMs NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// A clock that stands still until moved; any thread may read or move it.
class ManualClock : public Clock {
 public:
  explicit ManualClock(ClockMs start = 0) : now_(start) {}
  ClockMs NowMs() const override { return now_.load(); }
  // Moves the clock forward; a negative step is ignored.
  void Advance(ClockMs ms) {
    if (ms > 0) now_.fetch_add(ms);
  }

 private:
  std::atomic<ClockMs> now_;
};

}  // namespace vestan
