// Five-axis positions and the machine position state: the program and
// machine positions, the tool tip and axis derived from them, the rotary
// sines and cosines, the current tool's lengths, and the copy saved for a
// later restore.
#pragma once

#include <array>

#include "definitions/reader_links.h"
#include "foundation/vector_math.h"

namespace vestan {

// X, Y, Z, rotary 1, rotary 2; the rotary values in degrees.
using AxisPosition = std::array<double, 5>;

struct MachinePositionState {
  // Length of the current tool, used for length compensation
  // (ToolLengthValue).
  float ToolLength = 0.0f;
  // TOOL HOLDER OFFSET plus the tool's profile height; 0 while no tool is
  // defined (ReferenceToolLength).
  double ReferenceLength = 0.0;

  // Work coordinates: the machine position less the active work offset and
  // the tool-length effect.
  AxisPosition ProgramPosition{};
  // Machine coordinates of the spindle's reference point; the rotary values
  // as the machine turns them.
  AxisPosition MachinePosition{};
  // The tool tip in the machine frame, and the unit tool axis from the tip
  // toward the spindle.
  Vec3 ToolTip{};
  Vec3 ToolAxis{0.0, 0.0, 1.0};
  // Sine and cosine of machine rotary 1, then of rotary 2, each with its
  // axis's direction sign; refreshed by every position update.
  std::array<double, 4> RotarySinCos{0.0, 1.0, 0.0, 1.0};
  // Where the machine holds the tool at the machine position: tool
  // coordinates (the tool axis along +Z, z less the reference length) to
  // machine coordinates, through the rotary axes as they stand; refreshed
  // with the rotary sines. A mesh tool is cut where it places it.
  Placement ToolFrame{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  // The rotary angles of the last solution: the nearest-solution reference.
  std::array<double, 2> PreviousRotaryAngles{};
  // Rotary angles taken into the work coordinates when tool-tip control
  // starts on a table machine; 0 otherwise.
  std::array<double, 2> RotaryBaseAngles{};
  // Sine and cosine (with the axis signs) of the angles the work coordinates
  // turn with the table: the rotary work offsets, or at the start of
  // tool-tip control the program angles plus them.
  std::array<double, 4> TableRotationSinCos{0.0, 1.0, 0.0, 1.0};

  SavedPositionState Saved;
};

}  // namespace vestan
