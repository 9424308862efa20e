// The main thread's timers: each named by its window and its number, as the
// windows number their timers (the run's poll, the stop blink, the view's
// flick rotation). Main thread only.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/clock.h"

namespace vestan {

// A timer's name: the window it belongs to (a number the shell chooses) and
// the timer's own number there.
struct TimerKey {
  int32_t Window = 0;
  int32_t Id = 0;
  auto operator<=>(const TimerKey&) const = default;
};

class TimerTable {
 public:
  explicit TimerTable(const Clock& clock) : clock_(clock) {}
  TimerTable(const TimerTable&) = delete;
  TimerTable& operator=(const TimerTable&) = delete;

  // Starts the timer: its first tick comes one interval from now. A timer
  // already set under the key is restarted with the new interval and
  // callback. Intervals below 1 ms count as 1 ms.
  void Set(TimerKey key, int32_t intervalMs, std::function<void()> callback);
  // Stops the timer; false when none was set. A callback may kill its own
  // timer or any other.
  bool Kill(TimerKey key);
  bool IsSet(TimerKey key) const { return timers_.contains(key); }
  // The interval the timer runs at; none when it is not set.
  std::optional<int32_t> IntervalMs(TimerKey key) const;
  // Ticks every timer that is due, the earliest first, each at most once:
  // ticks missed while the thread was busy are not made up, and the next one
  // comes one interval after this. A timer killed or restarted by an earlier
  // callback of the same call does not tick. Returns the number of ticks.
  int32_t RunDue();
  // The time of the next tick; none when no timer is set.
  std::optional<ClockMs> NextDue() const;
  const Clock& TimeSource() const { return clock_; }

 private:
  struct Timer {
    int32_t IntervalMs = 1;
    ClockMs Due = 0;
    uint64_t Serial = 0;  // changes with every Set, so a stale tick is told apart
    std::shared_ptr<const std::function<void()>> Callback;
  };

  const Clock& clock_;
  std::map<TimerKey, Timer> timers_;
  uint64_t nextSerial_ = 1;
};

}  // namespace vestan
