// The current tool's outline from tip to holder as (radius, height) points,
// revolved about the axis into the point grid that gives the tool and arbor
// boxes.
#pragma once

#include <array>
#include <cstdint>

#include "definitions/display_list_table.h"
#include "definitions/machine_definition.h"
#include "definitions/tool_table.h"
#include "foundation/vector_math.h"
#include "model/current_tool.h"
#include "model/position_state.h"

namespace vestan {

inline constexpr int kProfileCapacity = 49;
inline constexpr int kProfileAngleSteps = 36;  // 10 degree steps

struct ToolProfile {
  // Outline points, point 0 first: radius from the axis, height above the tip.
  std::array<double, kProfileCapacity> Radius{};
  std::array<double, kProfileCapacity> Height{};
  int32_t CutCount = 0;       // points 0..CutCount-1 are the cutting part
  int32_t ShankEndCount = 0;  // point ShankEndCount-1 lies at the holder face
  int32_t PointCount = 0;     // points ShankEndCount..PointCount-1 are the arbor
  int32_t AngleSteps = kProfileAngleSteps;
  int32_t SurfacePointCount = 0;
  // Revolved points: index 36 * i + j for outline point i and angle step j.
  std::array<Vec3, kProfileCapacity * kProfileAngleSteps> SurfacePoints{};
  Vec3 ToolBoxMin{}, ToolBoxMax{};
  Vec3 ArborBoxMin{}, ArborBoxMax{};
  std::array<Vec3, 8> ToolCorners{};
  std::array<Vec3, 8> ArborCorners{};
  // Height of the last outline point, rounded through a float.
  double ProfileHeight = 0.0;
  // Points the last build could not hold (an outline longer than the capacity).
  int32_t DroppedPoints = 0;
};

// Builds the whole profile of the current tool: outline by cutter kind,
// shank and arbor, revolution (turned for an angle head), boxes, the profile
// height and the machine position's reference length. gridPitch spaces the
// points of the arcs.
void BuildToolProfile(const CurrentTool& tool, const MachineKinematics& machine, double gridPitch,
                      ToolProfile& profile, MachinePositionState& position,
                      DisplayListTable& display);

// The outline of an IMPORT-TOOL from the segments of its cutting part: the
// points and the three counts.
void BuildImportedToolProfile(const ToolRecord& tool, ToolProfile& profile,
                              MachinePositionState& position);

}  // namespace vestan
