// Records of the interpreter, the machine state, the tool list and the
// plug-ins that a tool table read resets: the tool numbers, the saved
// position (whose tool it forgets), the tool list's view mode and the
// plug-in tool flag.
#pragma once

#include <array>
#include <cstdint>

namespace vestan {

struct NcToolNumbers {
  int32_t CurrentToolNumber = 1;  // the tool in the spindle
  int32_t NextToolNumber = 1;     // the commanded tool
};

// The position saved for a later restore, in the order it is copied.
struct SavedPositionState {
  // Tool of the saved position; -1 after a tool table read, so that a restore
  // never refers to a tool of the previous table.
  int32_t ToolNumber = -1;
  std::array<double, 5> ProgramPosition{};
  std::array<double, 5> MachinePosition{};
  std::array<double, 5> ActiveWorkOffset{};
  std::array<double, 3> ToolTip{};
  std::array<double, 3> ToolAxis{};
};

struct ToolListState {
  // 0, 1 or 2, toggled by clicks in the window; back to 0 after a tool table read.
  int32_t ViewMode = 0;
};

struct PluginState {
  // The current tool was delivered by the tool-exchange plug-in; cleared when
  // a tool table is read.
  int32_t ToolFromPlugin = 0;
};

}  // namespace vestan
