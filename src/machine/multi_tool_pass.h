// The pass over the tools mounted together (the tool table's layout list) at
// the current position: each is placed at its mounting offset from the
// current tool, cut into the workpiece and checked against the machine
// structures, and what it met is kept per tool.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "definitions/settings.h"
#include "definitions/tool_table.h"
#include "machine/structure_interference.h"
#include "model/cutting_seam.h"
#include "model/position_state.h"
#include "model/tool_profile.h"
#include "platform/host.h"

namespace vestan {

// Status codes of a tool in the pass, by precedence.
inline constexpr int32_t kPassClear = 0;
inline constexpr int32_t kPassCutMaterial = 5;  // the pose removed material
inline constexpr int32_t kPassHitVice = 6;
inline constexpr int32_t kPassHitTable = 7;  // TABLE or the base
inline constexpr int32_t kPassHitTable1 = 8;
inline constexpr int32_t kPassHitTable2 = 9;

// What the pass found for one tool.
struct MultiToolPassRecord {
  // The cut's own checks: body, arbor, over length, chip width.
  std::array<int32_t, 4> CutChecks{};
  int32_t BlockCounter = 0;
  uint32_t LineCounter = 0;
  AxisPosition Machine{};
  // The tool or its arbor met: a vice, TABLE2, TABLE1, TABLE or the base.
  std::array<int32_t, 4> Hits{};
  int32_t Status = kPassClear;
};

struct MultiToolPassState {
  // Indexed by tool number; grown to the tool table.
  std::vector<MultiToolPassRecord> Records;
  // The last non-zero status of the last pass.
  int32_t Status = kPassClear;
  // Set when a mounted tool shares the current tool's mounting offset (it
  // is not placed then).
  int32_t SharedPosition = 0;
};

// What the pass reads and changes. The seam mounts each layout tool on a
// set-up of its own (its profile, length value and reference length) and
// cuts its pose; the current tool, its Profile and the length in force stay
// as they are. The structure checks see Position as the pass places each
// tool; it is put back afterwards.
struct MultiToolPassRecords {
  const ToolTable& Tools;
  CuttingSeam& Cutting;
  const ToolProfile& Profile;
  MachinePositionState& Position;
  const MachinePartMeshes& Meshes;
  const MachineDefinition& Machine;
  const MachineKinematics& Kinematics;
  const ControllerDefinition& Controller;
  const InterferenceCheckSettings& Checks;
  const WorkDocument& Work;
  const WorkOffsetValues& WorkOffset;  // the composed work offset
  double Pitch = 0.0;                  // the work model's
  Host& Shell;
  // Set once the user or the program gives the work up (the run's abort
  // flag); none: never.
  const std::atomic<int32_t>* Abort = nullptr;
};

// The interpreter's counters the records keep.
struct PassCounters {
  int32_t Block = 0;
  uint32_t Line = 0;
};

// Waits while the view draws (giving up when aborted), then passes over every
// defined layout tool other than currentTool and then currentTool itself,
// which stays current throughout; Position is as it was. Returns false when it
// was given up before anything was touched.
bool RunMultiToolPass(MultiToolPassRecords& records, int32_t currentTool,
                      const PassCounters& counters, MultiToolPassState& state);

// The status of a tool from its hits and its cut, by precedence.
int32_t MultiToolStatus(const std::array<int32_t, 4>& hits, bool cutMaterial,
                        int32_t arborCheck);

}  // namespace vestan
