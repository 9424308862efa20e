// What the run loop keeps between its moves and shares with the shell: the
// block shown in the status bar (line and text, guarded by a mutex because
// the shell reads it while the run writes it), and the tool changer.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vestan {

// Characters of the block text the status bar shows.
inline constexpr size_t kBlockTextCapacity = 255;

class BlockDisplay {
 public:
  // How far the reading has come when the block was read: the subprogram
  // depth and the counters of the file and sub-file progress.
  struct Progress {
    int32_t Depth = 0;
    uint64_t Counter = 0;
    uint64_t FileCounter = 0;
    uint64_t FileTotal = 1;
  };
  struct Snapshot {
    int32_t Line = 0;
    std::string Text;
    int32_t Updates = 0;  // blocks shown so far in the run
    Progress Read;
  };

  // The line number and the block text without its line end, at most
  // kBlockTextCapacity characters.
  void Show(int32_t line, std::string_view text, const Progress* read = nullptr) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (text.size() > kBlockTextCapacity) text = text.substr(0, kBlockTextCapacity);
    std::lock_guard lock(mutex_);
    shown_.Line = line;
    shown_.Text.assign(text);
    ++shown_.Updates;
    if (read != nullptr) shown_.Read = *read;
  }
  Snapshot Read() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    shown_ = Snapshot{};
  }

 private:
  mutable std::mutex mutex_;
  Snapshot shown_;
};

// The tool waiting in the changer (WAIT and WAIT2 machines) and the layout
// tools' shift; they stay from run to run like the tool in the spindle.
struct ToolChangerState {
  int32_t Preselected = -1;  // none yet: the tool in the spindle
  // A layout tool came in after tool 0 or another layout tool: the next
  // move starts shifted by the difference of their layout offsets.
  int32_t LayoutShift = 0;
  int32_t PreviousLayoutTool = 0;
};

}  // namespace vestan
