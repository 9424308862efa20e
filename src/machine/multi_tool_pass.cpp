#include "machine/multi_tool_pass.h"

#include <algorithm>

#include "machine/forward_kinematics.h"
#include "machine/position_conversion.h"

namespace vestan {

namespace {

// ARBOR CHECK 2 cuts with the holder's shape: a cut is then no news.
constexpr int32_t kArborCheckCut = 2;

bool AnyToolOrArborPair(const InterferenceCheckSettings& checks) {
  for (size_t pair = kPairToolVice; pair <= kPairArborBasic; ++pair)
    if (checks.Pairs[pair] >= 1) return true;
  return false;
}

Vec3 MountingOffset(const ToolLayout& layout, int32_t tool) {
  if (tool < 0 || tool >= kLayoutEntries) return {};
  const std::array<double, 3>& p = layout.Position[static_cast<size_t>(tool)];
  return {p[0], p[1], p[2]};
}

// The tool being placed: its profile, length value and reference length.
struct PlacedTool {
  const ToolProfile& Profile;
  float ToolLength = 0.0f;
  double ReferenceLength = 0.0;
};

// Places tool shifted by shift from the program position, cuts and checks
// it, and fills its record. Position shows the tool as placed (the caller
// puts it back).
MultiToolPassRecord PassOneTool(MultiToolPassRecords& r, const AxisPosition& program,
                                const Vec3& shift, const PlacedTool& tool,
                                const PassCounters& counters) {
  MachinePositionState& position = r.Position;
  position.ToolLength = tool.ToolLength;
  position.ReferenceLength = tool.ReferenceLength;
  const double length = position.ReferenceLength;
  // As the position conversion does: the spindle rises by the reference
  // length beyond the tool's length value, not by the whole of it.
  const double effect = ToolLengthEffect(position);
  const Vec3 lengthVector = r.Kinematics.ToolDirectionInUse != 0 ? r.Kinematics.ToolDirection
                                                                 : Vec3{0.0, 0.0, 1.0};
  AxisPosition machine{};
  for (int k = 0; k < 5; ++k) machine[k] = program[k] + r.WorkOffset[k];
  for (int k = 0; k < 3; ++k) machine[k] += shift[k] + effect * lengthVector[k];
  position.MachinePosition = machine;
  RefreshRotaryState(r.Kinematics, r.Controller, position);
  ComputeToolTipAndAxis(r.Kinematics, r.Controller, length, machine, position.ToolTip,
                        position.ToolAxis);

  MultiToolPassRecord record;
  record.BlockCounter = counters.Block;
  record.LineCounter = counters.Line;
  record.Machine = machine;
  r.Cutting.CutPose(position.ToolTip, position.ToolAxis);
  const CutOutputs cut = r.Cutting.Outputs();
  record.CutChecks = {cut.BodyHitFlag, cut.ArborHitFlag, cut.HeightHitFlag, cut.ChipWidthHitFlag};

  if (AnyToolOrArborPair(r.Checks)) {
    InterferenceHits hits;
    StructureCheckContext context{r.Meshes, r.Machine,  r.Kinematics, r.Controller,
                                  r.Checks, position,   r.Work,       hits};
    CheckToolArborInterference(context, CutterRingsOf(tool.Profile), position.ToolTip);
    CheckToolArborInterference(context, ArborRingsOf(tool.Profile), position.ToolTip);
    const auto either = [&hits](size_t tool, size_t arbor) {
      return hits.Pairs[tool] != 0 || hits.Pairs[arbor] != 0 ? 1 : 0;
    };
    record.Hits = {either(kPairToolVice, kPairArborVice),
                   either(kPairToolTable2, kPairArborTable2),
                   either(kPairToolTable1, kPairArborTable1),
                   either(kPairToolTable, kPairArborTable) |
                       either(kPairToolBasic, kPairArborBasic)};
  }
  record.Status = MultiToolStatus(record.Hits, cut.PoseRemovedVolume > 0.0, r.Checks.ArborCheck);
  return record;
}

}  // namespace

int32_t MultiToolStatus(const std::array<int32_t, 4>& hits, bool cutMaterial,
                        int32_t arborCheck) {
  if (hits[0] != 0) return kPassHitVice;
  if (hits[1] != 0) return kPassHitTable2;
  if (hits[2] != 0) return kPassHitTable1;
  if (hits[3] != 0) return kPassHitTable;
  if (cutMaterial && arborCheck != kArborCheckCut) return kPassCutMaterial;
  return kPassClear;
}

bool RunMultiToolPass(MultiToolPassRecords& r, int32_t currentTool, const PassCounters& counters,
                      MultiToolPassState& state) {
  const auto aborted = [&r]() { return r.Abort != nullptr && r.Abort->load() != 0; };
  if (!WaitWhileDisplayBusy(r.Shell, aborted)) return false;

  const ToolTable& tools = r.Tools;
  if (state.Records.size() < tools.Entries()) state.Records.resize(tools.Entries());
  state.Status = kPassClear;
  state.SharedPosition = 0;
  const MachinePositionState saved = r.Position;
  const AxisPosition program = saved.ProgramPosition;
  const Vec3 own = MountingOffset(tools.Layout, currentTool);
  const auto keep = [&state](int32_t tool, const MultiToolPassRecord& record) {
    state.Records[static_cast<size_t>(tool)] = record;
    if (record.Status != kPassClear) state.Status = record.Status;
  };

  const int32_t count = std::clamp(tools.Layout.Count, 0, kLayoutEntries - 1);
  for (int32_t n = 1; n <= count; ++n) {
    const int32_t tool = tools.Layout.Order[static_cast<size_t>(n)];
    if (tool == currentTool || !tools.InRange(tool) || tools.Defined[tool] == 0) continue;
    const Vec3 offset = MountingOffset(tools.Layout, tool);
    if (offset == own) {
      state.SharedPosition = 1;
      continue;
    }
    const ToolSetUp& mounted = r.Cutting.MountTool(tool, r.Pitch);
    const PlacedTool placed{mounted.Profile, mounted.Lengths.ToolLength,
                            mounted.Lengths.ReferenceLength};
    keep(tool, PassOneTool(r, program, VectorSub(offset, own), placed, counters));
  }

  // The current tool was never changed: it is cut as it stands.
  r.Cutting.UnmountTool();
  const PlacedTool current{r.Profile, saved.ToolLength, saved.ReferenceLength};
  const MultiToolPassRecord back = PassOneTool(r, program, {}, current, counters);
  if (tools.InRange(currentTool)) keep(currentTool, back);
  r.Position = saved;
  return true;
}

}  // namespace vestan
