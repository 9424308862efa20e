// Collision checks of the machine's moving parts against its structures at
// the current machine position: the heads HEAD, HEAD1 and HEAD2 against the
// workpiece, the vices, the tables and the base, and the tool or its arbor
// (rings of points about the tool axis) against the vices, tables and base.
// A pair is tested when its setting is 1 or more; a hit raises the pair's
// flag and the run's bookkeeping decides what it means.
#pragma once

#include <cstdint>
#include <span>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "definitions/settings.h"
#include "foundation/vector_math.h"
#include "machine/part_models.h"
#include "model/interference_hits.h"
#include "model/position_state.h"
#include "model/tool_profile.h"
#include "model/work_document.h"

namespace vestan {

// What the checks read, and the hits they raise.
struct StructureCheckContext {
  const MachinePartMeshes& Meshes;
  const MachineDefinition& Machine;  // the axes that move the table
  const MachineKinematics& Kinematics;
  const ControllerDefinition& Controller;  // rotary signs, for the tool's own tips
  const InterferenceCheckSettings& Checks;
  const MachinePositionState& Position;  // machine position, RotarySinCos, ReferenceLength
  const WorkDocument& Work;
  InterferenceHits& Hits;
};

// HEAD against WORK, VICE, TABLE2, TABLE1, TABLE and BASIC, in that order;
// HEAD1 against WORK, VICE, TABLE1, TABLE and BASIC; HEAD2 against WORK,
// VICE, TABLE and BASIC. A pair ends at its first hit; a BASIC hit ends the
// check. Nothing is tested for a head without facets. Result 0.
int32_t CheckHeadInterference(StructureCheckContext& context);
int32_t CheckHead1Interference(StructureCheckContext& context);
int32_t CheckHead2Interference(StructureCheckContext& context);

// The tool or the arbor as rings of kProfileAngleSteps points about the tool
// axis (points: ring l point j at l * 36 + j, in the tool's frame with the
// tip at the origin) from ring firstLevel to ring endLevel - 1, tested as the
// segments joining each point to the same point of the next ring. A first
// level of 0 is the tool (the TOOL pairs), a positive one the arbor (the
// ARBOR pairs), a negative one tests nothing; a single ring has no segment.
// boxMin, boxMax and corners are the tested part's box in the tool's frame;
// tip is the tool tip in the machine frame. Result 0.
struct ToolRings {
  std::span<const Vec3> Points;
  int32_t FirstLevel = 0;
  int32_t EndLevel = 0;
  Vec3 BoxMin{};
  Vec3 BoxMax{};
  std::array<Vec3, 8> Corners{};
};
int32_t CheckToolArborInterference(StructureCheckContext& context, const ToolRings& rings,
                                   const Vec3& tip);

// The current tool's rings from its profile: the tool from the tip up to the
// first arbor point (as its box reaches), the arbor from there to the last
// point, so that the two share one ring.
ToolRings CutterRingsOf(const ToolProfile& profile);
ToolRings ArborRingsOf(const ToolProfile& profile);

}  // namespace vestan
