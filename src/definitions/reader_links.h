// Records of the interpreter, the machine state, the tool list and the
// plug-ins that a tool table read resets: the tool numbers, the saved
// position's tool, the tool list's view mode and the plug-in tool flag.
#pragma once

#include <cstdint>

namespace vestan {

struct NcToolNumbers {
  int32_t CurrentToolNumber = 1;  // the tool in the spindle
  int32_t NextToolNumber = 1;     // the commanded tool
};

// The saved position that a later restore returns to.
struct SavePositionState {
  // Tool of the saved position; -1 after a tool table read, so that a restore
  // never refers to a tool of the previous table.
  int32_t ToolNumber = -1;
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
