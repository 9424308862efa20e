// State of the tool list window that other parts reset.
#pragma once

#include <cstdint>

namespace vestan {

struct ToolListState {
  // 0, 1 or 2, toggled by clicks in the window; back to 0 after a tool table read.
  int32_t ViewMode = 0;
};

}  // namespace vestan
