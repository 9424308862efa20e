// The tool made current at a tool change: copies of its tool table records
// and the values derived from them.
#pragma once

#include <cstdint>

#include "definitions/tool_table.h"
#include "display/display_list_table.h"
#include "machine/position_state.h"
#include "nc/tool_state.h"

namespace vestan {

struct CurrentTool {
  ToolRecord Tool;
  ToolShankRecord Shank;
  ArborRecord Arbor;
  int32_t PenNumber = 0;  // 0-15
  uint8_t PenTag = 0;     // pen << 4, the high nibble of a value's flag byte
  // Height of the corner-arc centre above the tip.
  double FullRadiusHeight = 0.0;
};

// The records a tool change reads and writes.
struct ToolChangeRecords {
  ToolTable& Table;
  CurrentTool& Current;
  MachinePositionState& Position;
  LengthCompensationState& Compensation;
  DisplayListTable& Display;
};

// Makes tool `tool` current. pitch is the model grid pitch when the holder is
// to be widened by the arbor clearance, 0 otherwise. A tool number outside the
// table is an undefined tool.
void SetCurrentTool(int32_t tool, double pitch, ToolChangeRecords& records);

}  // namespace vestan
