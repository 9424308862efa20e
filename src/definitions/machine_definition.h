// The machine definition values that the tool set-up and the tool profile
// read: the holder offset, the tool direction of an angle head and the
// holders of the machine. Filled by the machine definition reader.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "definitions/tool_table.h"
#include "foundation/vector_math.h"

namespace vestan {

// A holder of the machine: a stack of steps like a tool's arbor.
struct ToolHolderRecord {
  int32_t Present = 0;
  int32_t StepCount = 0;
  std::array<float, kMaxArborSteps> StepDiameter{};
  std::array<float, kMaxArborSteps> StepLength{};

  friend bool operator==(const ToolHolderRecord&, const ToolHolderRecord&) = default;
};

struct MachineDefinition {
  // The machine's holders and the one in use; none unless the file gives them.
  std::vector<ToolHolderRecord> Holders;
  int32_t SelectedHolder = 0;
};

struct MachineKinematics {
  // Letter of the first rotary axis (blank: none), as the controller
  // definition gives it or the ROTARY AXIS1 line defaults it.
  char Rotary1Letter = ' ';
  // TOOL HOLDER OFFSET: from the spindle gauge line to the holder face.
  double ToolHolderOffset = 0.0;
  // Tool direction of an angle head and its angles in degrees: A tilts about
  // X, B about Y, C turns about Z after the tilt.
  Vec3 ToolDirection{0.0, 0.0, 1.0};
  double AngleHeadA = 0.0;
  double AngleHeadB = 0.0;
  double AngleHeadC = 0.0;
  // 1 when the tool direction differs from +Z.
  int32_t ToolDirectionInUse = 0;
};

}  // namespace vestan
