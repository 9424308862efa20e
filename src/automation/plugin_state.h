// Plug-in state that the definition readers touch.
#pragma once

#include <cstdint>

namespace vestan {

struct PluginState {
  // The current tool was delivered by the tool-exchange plug-in; cleared when
  // a tool table is read.
  int32_t ToolFromPlugin = 0;
};

}  // namespace vestan
