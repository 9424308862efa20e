#include "platform/timers.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vestan {

void TimerTable::Set(TimerKey key, int32_t intervalMs, std::function<void()> callback) {
  Timer& timer = timers_[key];
  timer.IntervalMs = std::max(intervalMs, 1);
  timer.Due = clock_.NowMs() + timer.IntervalMs;
  timer.Serial = nextSerial_++;
  timer.Callback = std::make_shared<const std::function<void()>>(std::move(callback));
}

bool TimerTable::Kill(TimerKey key) { return timers_.erase(key) > 0; }

std::optional<int32_t> TimerTable::IntervalMs(TimerKey key) const {
  const auto it = timers_.find(key);
  if (it == timers_.end()) return std::nullopt;
  return it->second.IntervalMs;
}

int32_t TimerTable::RunDue() {
  struct DueTick {
    ClockMs Due;
    TimerKey Key;
    uint64_t Serial;
  };
  const ClockMs now = clock_.NowMs();
  std::vector<DueTick> due;
  for (const auto& [key, timer] : timers_)
    if (timer.Due <= now) due.push_back({timer.Due, key, timer.Serial});
  std::sort(due.begin(), due.end(), [](const DueTick& a, const DueTick& b) {
    return a.Due != b.Due ? a.Due < b.Due : a.Key < b.Key;
  });

  int32_t ticks = 0;
  for (const DueTick& tick : due) {
    const auto it = timers_.find(tick.Key);
    if (it == timers_.end() || it->second.Serial != tick.Serial) continue;
    it->second.Due = clock_.NowMs() + it->second.IntervalMs;
    // Held here so that a callback killing its own timer keeps running.
    const std::shared_ptr<const std::function<void()>> callback = it->second.Callback;
    if (*callback) (*callback)();
    ++ticks;
  }
  return ticks;
}

std::optional<ClockMs> TimerTable::NextDue() const {
  std::optional<ClockMs> next;
  for (const auto& [key, timer] : timers_)
    if (!next || timer.Due < *next) next = timer.Due;
  return next;
}

}  // namespace vestan
