#include "nc/nc_modal_operations.h"

#include <algorithm>

#include "foundation/text_fields.h"
#include "machine/work_offset_frame.h"
#include "nc/nc_words.h"
#include "nc/tool_length_offset.h"

namespace vestan {

namespace {

constexpr double kFullTurn = 360.0;

// Depth 0 with every level closed; the program folder stays, since the
// program text may be loaded before the reset.
void CloseSubprogramLevels(SubprogramStack& stack) {
  for (SubprogramLevel& level : stack.Levels) level = SubprogramLevel{};
  stack.Depth = 0;
}

// The no-tool entry as no plug-in filled it.
void ClearNoToolEntry(ToolTable& table) {
  if (!table.InRange(0)) return;
  table.Records[0].Kind = -1;
  table.Records[0].Name.reset();
  table.Arbors[0] = ArborRecord{};
}

// The start position in machine coordinates: plus the composed work offset,
// and the tool's reach beyond its reference along the spindle (Z unless the
// machine gives a tool direction).
AxisPosition StartMachinePosition(const AxisPosition& start, const WorkOffsetValues& offset,
                                  const CurrentTool& tool, const MachineKinematics& kinematics) {
  AxisPosition machine;
  for (size_t i = 0; i < machine.size(); ++i) machine[i] = start[i] + offset[i];
  const double reach = tool.Reach - tool.ReachReference;
  if (kinematics.ToolDirectionInUse != 0) {
    for (size_t i = 0; i < 3; ++i) machine[i] += reach * kinematics.ToolDirection[i];
  } else {
    machine[2] += reach;
  }
  return machine;
}

// The tool-axis fields (14, 16-19) travel with a move only in tool-vector
// mode with a lead angle, a tilt angle or a tool-axis interpolation.
bool ToolAxisTravels(const NcModalState& modal) {
  return modal.ToolAxisMode == kToolAxisVector &&
         (modal.LeadAngle != 0.0 || modal.TiltAngle != 0.0 || modal.ToolAxisInterpolation != 0);
}

// The rotation fields (13) travel only while a rotation is in force.
bool RotationTravels(const NcModalState& modal) { return modal.TransformState > 0; }

// Where their conditions fail, the conditional fields of kept replace those
// of into: the rotation fields (13) and the tool-axis vectors (14), and with
// withToolAxisKinds also the tool-axis kinds and angles (16-19).
void KeepWhereNotTravelling(const NcModalState& modal, const NcMove& kept, bool withToolAxisKinds,
                            NcMove& into) {
  if (!RotationTravels(modal)) {
    into.RotationAxis = kept.RotationAxis;
    into.RotatedRadial = kept.RotatedRadial;
  }
  if (ToolAxisTravels(modal)) return;
  into.ToolAxisStart = kept.ToolAxisStart;
  into.ToolAxisEnd = kept.ToolAxisEnd;
  if (!withToolAxisKinds) return;
  into.ToolAxisInterpolation = kept.ToolAxisInterpolation;
  into.LeadAngle = kept.LeadAngle;
  into.TiltKind = kept.TiltKind;
  into.TiltAngle = kept.TiltAngle;
}

// A look-ahead record back into the live move with the state that travels
// with it; geometry, when given, replaces start, end, radii and length.
void RestoreMove(NcContext& context, const NcMove& record, const NcMove* geometry) {
  NcModalState& modal = context.Modal;
  NcMove restored = record;
  KeepWhereNotTravelling(modal, context.Move, true, restored);
  if (geometry != nullptr) {
    restored.Start = geometry->Start;
    restored.End = geometry->End;
    restored.StartRadius = geometry->StartRadius;
    restored.EndRadius = geometry->EndRadius;
    restored.Length = geometry->Length;
  }
  context.Move = restored;
  modal.BlockLine = record.SourceLine;
  if (ToolAxisTravels(modal))
    modal.ToolAxisNormal = VectorCross(restored.ToolAxisStart, restored.ToolAxisEnd);
}

}  // namespace

int32_t CurrentLineNumber(const NcContext& context) {
  const SubprogramStack& stack = context.Subprograms;
  if (stack.Depth > 0 && stack.Depth <= kMaxSubprogramLevels)
    return static_cast<int32_t>(stack.Levels[static_cast<size_t>(stack.Depth - 1)].LineCounter);
  return static_cast<int32_t>(context.Modal.MainLineCounter);
}

void ResetNcModalState(NcContext& context, const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  const Definitions& defs = records.Defs;
  const ControllerDefinition& controller = defs.Controller;
  RunState& run = context.Run;

  modal.CommentPlugin = {};
  modal.Plane.PlaneCode = controller.initialPlane;
  modal.PlaneCodeAtStart = controller.initialPlane;
  CloseSubprogramLevels(context.Subprograms);
  modal.LastGCode = 0;
  if (controller.isHeidenhain != 0)
    ClearRotaryWrapFlags(0, controller, defs.Limits, records.Memory.ShortestRoute);
  SelectPlaneAxes(controller.Planes, modal.Plane);

  modal.ToolAxisMode = controller.ToolCenterControl[0];
  if (controller.Lathe[0] != 0) modal.LatheMode = 1;
  modal.CuttingEnabled = controller.Tables.CuttingEnabledAtStart;
  modal.MotionMode = kMotionRapid;
  context.Move.CuttingEnabled = modal.CuttingEnabled;
  context.Move.MotionMode = kMotionRapid;
  run.CuttingEnabled = modal.CuttingEnabled;
  run.MotionMode = kMotionRapid;
  modal.MoveExists = 0;
  modal.CycleMoveCount = 0;
  modal.OffsetMoveCount = 0;
  modal.PendingEnds.Count = 0;
  modal.PendingEnds.ReadIndex = 0;
  modal.PendingEnds.Entries.clear();
  modal.TransformState = 0;
  modal.Rotation = CoordinateRotation{};
  modal.TiltedPlane = TiltedPlaneState{};
  modal.Polar = PolarState{};
  modal.RadiusOffset = 0.0;
  context.Move.ToolAxisStart = {};
  context.Move.ToolAxisEnd = {};
  modal.ToolAxisNormal = {};
  modal.LeadAngle = 0.0;
  modal.TiltAngle = 0.0;
  modal.Feed = 0.0;
  modal.Interp = InterpreterState{};
  modal.EndState = kEndRunning;
  modal.AlarmCode = kAlarmNone;
  modal.BlockLine = 0;
  modal.ShownLine = 0;
  modal.MainLineCounter = 0;
  std::fill(modal.WorkOffsetTransforms.begin(), modal.WorkOffsetTransforms.end(),
            WorkOffsetValues{});

  modal.WorkCoordinateDisplay = 1;
  modal.ReturnLevel = controller.ReturnLevel;
  modal.RotationAngle = 0.0;
  modal.RotationCos = 1.0;
  modal.RotationSin = 0.0;
  modal.Tools.NextToolNumber = kNoTool;
  modal.ToolChangeState = -1;

  OffsetMemory& offsets = records.Memory.Offsets;
  UpdateWorkOffsetFrame(ComposeWorkOffset(offsets), defs.Kinematics, controller, records.Frame,
                        records.Display);
  modal.SelectedWorkOffsetAtStart = offsets.SelectedWorkOffset;
  modal.WorkOffsetsAtStart = offsets.WorkOffsets;
  modal.WorkOffsetAtStart = offsets.ActiveWorkOffset;

  if (modal.Length.PluginTool == 0) ClearNoToolEntry(records.Tools);
  modal.CannedCycle = kNoCannedCycle;
  modal.HeidenhainCycle = kNoCannedCycle;
  modal.DecimalPointMode = controller.DecimalPointMode;
  modal.ProgramStarted =
      controller.EndOfRecordLetter == ' ' || records.ActiveReadPlugin >= 0 ? 1 : 0;
  modal.SubprogramEnd = 0;

  const AxisPosition& start = records.StartPosition;
  modal.ProgramPosition = start;
  modal.DrawPosition = start;
  context.Move.End = start;
  MachinePositionState& position = context.Position;
  position.ProgramPosition = start;
  position.MachinePosition =
      StartMachinePosition(start, offsets.ActiveWorkOffset, records.Tool, defs.Kinematics);
  position.PreviousRotaryAngles = {position.MachinePosition[3], position.MachinePosition[4]};
  position.RotaryBaseAngles = {};
  context.RotarySolve = RotarySolveContext{};

  modal.ReportCounters = {};
  if (controller.TclVectorInterpolation != 0) modal.ToolAxisInterpolation = 0;

  modal.ProgramLengthWear = 0.0f;
  const bool lengthVectors = modal.Length.BAxisLength != 0;
  if (controller.AutoLengthOffset != 0 || lengthVectors) ApplyToolLengthOffset(modal, records);
  if (lengthVectors) {
    if ((controller.AutomaticToolOffset != 0 || controller.isMazak != 0) &&
        ToUpperAscii(controller.Rotary[0].Letter) == 'B')
      ComputeToolLengthVector(start[3], context, records);
    const Vec3& vector = modal.Length.ToolLengthVector;
    for (AxisPosition* position : {&context.Move.End, &modal.DrawPosition}) {
      (*position)[0] -= vector[0];
      (*position)[2] -= vector[2];
    }
  }
  SelectToolLengthAxis(controller, modal.Plane);
  // No move is in flight after a reset: a line that moves nothing (the
  // program-start mark) must not travel from where the last pass ended.
  context.Move.Start = context.Move.End;

  // The block end's frames start afresh with the pass; the warning report
  // belongs to the run and stays as it is.
  BlockEndState& end = context.BlockEnd;
  end.Previous = context.Move.End;
  end.Current = context.Move.End;
  end.CentreCopy = {};
  end.ArcNormal = {0.0, 0.0, 1.0};
  end.ArcDirection = 1;
  end.OspRotation = OspWorkOffsetRotation{};
  end.AngleCorrection = kOspOff;
  end.Mirror = MirrorImageState{};
  end.RotateAboutOrigin = 0;

  if (modal.CyclePointModes.empty()) {
    modal.CyclePointModes.assign(kCyclePointCapacity, 0);
    modal.CyclePointValues.assign(kCyclePointCapacity, 0.0);
  }
  context.Snapshots = ProcessSnapshotTable{};
  if (records.Control.CuttingMode.load() > kCuttingIdle)
    records.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
}

void ClearRotaryWrapFlags(uint8_t value, const ControllerDefinition& controller,
                          const StrokeLimits& limits, std::array<uint8_t, 2>& shortestRoute) {
  for (size_t k = 0; k < shortestRoute.size(); ++k) {
    if (controller.Rotary[k].ShortestRoute[1] != 0) continue;  // fixed by ROUTE=SHORTEST
    const size_t axis = 3 + k;
    if (limits.Enabled[axis] == 0 || limits.Maximum[axis] - limits.Minimum[axis] >= kFullTurn)
      shortestRoute[k] = value;
  }
}

int32_t EndMotionRecord(NcContext& context, const OffsetMemory& offsets) {
  NcMove& move = context.Move;
  PendingMoveEnds& queue = context.Modal.PendingEnds;
  context.Modal.MotionMode = kMotionRapid;
  move.MotionMode = kMotionRapid;
  context.Run.MotionMode = kMotionRapid;
  move.Start = move.End;
  context.Modal.MoveExists = 0;
  const int32_t held = static_cast<int32_t>(
      std::min<size_t>(queue.Entries.size(), static_cast<size_t>(std::max(queue.Count, 0))));
  if (queue.ReadIndex < 0 || queue.ReadIndex >= held) {
    queue.ReadIndex = 0;
    queue.Count = 0;
    return 0;
  }
  const PendingMoveEnd& entry = queue.Entries[static_cast<size_t>(queue.ReadIndex)];
  for (size_t axis = 0; axis < entry.AxisGiven.size(); ++axis) {
    if (entry.AxisGiven[axis] == 0) continue;
    move.End[axis] = entry.Machine[axis] - offsets.ActiveWorkOffset[axis];
    if (move.End[axis] != move.Start[axis]) context.Modal.MoveExists = 1;
  }
  ++queue.ReadIndex;
  return 1;
}

void ShiftLookAheadMoves(NcContext& context) {
  LookAheadMoves& ahead = context.LookAhead;
  ahead.ProgramPrevious = ahead.ProgramCurrent;
  ahead.OffsetPrevious = ahead.OffsetCurrent;
  NcMove current = context.Move;
  current.SourceLine = CurrentLineNumber(context);
  KeepWhereNotTravelling(context.Modal, ahead.ProgramCurrent, false, current);
  ahead.ProgramCurrent = current;
  ahead.OffsetCurrent = ahead.OffsetNext;
  ahead.ProgramCurrent.Feed = ahead.OffsetNext.Feed;
}

void RestoreCurrentMove(NcContext& context) {
  RestoreMove(context, context.LookAhead.ProgramCurrent, nullptr);
}

void RestoreCurrentOffsetMove(NcContext& context) {
  RestoreMove(context, context.LookAhead.ProgramCurrent, &context.LookAhead.OffsetCurrent);
}

void RestorePreviousOffsetMove(NcContext& context) {
  RestoreMove(context, context.LookAhead.ProgramPrevious, &context.LookAhead.OffsetPrevious);
}

double ReadFeedWord(const ControllerDefinition& controller, const OffsetMemory& offsets,
                    std::string_view line, size_t& position) {
  const size_t start = position;
  const double feed = ParseNcWordRaw(line, position);
  size_t digits = 0;
  for (size_t i = start; i < position && i < line.size(); ++i)
    digits += line[i] >= '0' && line[i] <= '9' ? 1 : 0;
  const int32_t mode = controller.FeedrateMode;
  const bool indexed = mode == 1 || (mode == 2 && digits == 1) || (mode == 3 && digits <= 2);
  if (!indexed) return feed;
  const int32_t index = TruncateToInt32(feed);
  return index >= 0 && static_cast<size_t>(index) < offsets.FTable.size()
             ? offsets.FTable[static_cast<size_t>(index)]
             : 0.0;
}

}  // namespace vestan
