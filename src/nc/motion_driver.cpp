#include "nc/motion_driver.h"

#include <algorithm>
#include <cmath>

#include "nc/arc_geometry.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_modal_operations.h"
#include "nc/radius_compensation.h"

namespace vestan {
namespace {

// Sub-moves of one accelerated rapid; more would only slow the run down.
constexpr double kMaxRapidSteps = 1e6;
// Within this of its end an axis of a same-speed rapid has arrived.
constexpr double kArrived = 1e-5;

size_t Axis(const NcModalState& modal, size_t k) {
  return static_cast<size_t>(modal.Plane.PlaneAxes[k]);
}

RapidMachine MachineForRapids(const NcPassRecords& records) {
  const MachineDefinition& machine = records.Defs.Machine;
  RapidMachine m;
  for (size_t i = 0; i < 3; ++i) {
    m.RapidRate[i] = machine.RapidRate[i];
    m.Acceleration[i] = static_cast<double>(machine.RapidAcceleration[i]) * 1000.0;
  }
  m.Pitch = records.Defs.Settings.Pitch.MovePitch;
  return m;
}

// Where an axis of travel d with speed v and acceleration a stands at time t
// of its own profile lasting total, accelerating for accelTime.
double ProfilePosition(double d, double v, double a, double total, double accelTime, double t) {
  if (t >= total) return d;
  const double accelDistance = a * accelTime * accelTime / 2.0;
  if (t < accelTime) return a * t * t / 2.0;
  if (t < total - accelTime) return accelDistance + v * (t - accelTime);
  return d - a * (total - t) * (total - t) / 2.0;
}

void TakeRapidSubMove(NcContext& context, MotionDriver& driver) {
  RapidSubMoves& rapid = driver.Rapid;
  NcMove& move = context.Move;
  move.Start = move.End;
  move.MotionMode = kMotionRapid;
  move.End = rapid.Kind == kRapidAccelerated ? NextAcceleratedRapidPoint(rapid, rapid.Index)
                                             : rapid.Ends[static_cast<size_t>(rapid.Index)];
  context.Modal.MoveExists = 1;
  if (++rapid.Index >= rapid.Count) {
    rapid.Count = 0;
    rapid.Index = 0;
  }
}

// Splits the live rapid move when the controller's kind asks for it and no
// coordinate transformation is in force; the first sub-move is taken now.
void DecomposeLiveRapid(NcContext& context, const NcPassRecords& records, MotionDriver& driver) {
  const NcModalState& modal = context.Modal;
  if (modal.TransformState != 0 || modal.Rotation.State == kRotationActive) return;
  driver.Rapid = DecomposeRapidMove(records.Defs.Controller.G00Mode, context.Move.Start,
                                    context.Move.End, MachineForRapids(records));
  if (driver.Rapid.Count == 0) return;
  context.Move.End = context.Move.Start;
  TakeRapidSubMove(context, driver);
}

void TakeQueuedPoint(NcContext& context, const NcPassRecords& records, MotionDriver& driver) {
  NcMove& move = context.Move;
  const size_t index = static_cast<size_t>(driver.PointIndex);
  const QueuedPoint& point = driver.Points[index];
  // The point is in the new coordinates; the current end is not yet.
  ApplyWorkOffsetChange(context, records, OffsetChangeUse::kNew);
  move.Start = move.End;
  move.MotionMode = point.Mode;
  for (size_t i = 0; i < 3; ++i) move.End[i] = point.Position[i];
  context.Modal.MoveExists = 1;
  if (IsArcMotion(point.Mode)) {
    move.Centre = driver.ArcCentre;
    ComputeArcSweep(move, context.Modal.Plane.PlaneAxes, 0.0);
  } else {
    move.ArcAngle = 0.0;
    move.Length = 0.0;
  }
  if (driver.CyclePoints != 0) {
    // A rise, or a fall from the third point on, is a cycle motion.
    const size_t n = Axis(context.Modal, 2);
    const bool rises = move.End[n] > move.Start[n];
    const bool falls = move.End[n] < move.Start[n] && index >= 2;
    context.Run.CycleFeedFlag = rises || falls ? 1 : 0;
  }
  if (++driver.PointIndex >= static_cast<int32_t>(driver.Points.size())) {
    driver.Points.clear();
    driver.PointIndex = 0;
    driver.CyclePoints = 0;
  }
}

// Expands the block's canned cycle into the point queue and takes the first.
void QueueCannedCycle(NcContext& context, const NcPassRecords& records, MotionDriver& driver) {
  NcModalState& modal = context.Modal;
  const InterpreterState& in = modal.Interp;
  const ControllerDefinition& ctl = records.Defs.Controller;
  NcMove& move = context.Move;
  const size_t n = Axis(modal, 2);
  if (in.CycleStarted != 0) driver.CycleInitialLevel = move.Start[n];
  DrillingCycle cycle;
  cycle.Code = modal.CannedCycle;
  cycle.Start = move.Start;
  cycle.End = move.End;
  cycle.Depth = in.CycleDepth;
  cycle.RPoint = in.CycleRPoint;
  cycle.Peck = in.CycleQ;
  cycle.Repeat = in.RepeatCount;
  cycle.Incremental = modal.PositioningMode;
  cycle.ReturnLevelMode = modal.ReturnLevel;
  cycle.InitialLevel = driver.CycleInitialLevel;
  cycle.PlaneAxes = modal.Plane.PlaneAxes;
  DrillingCycleSettings settings;
  // The HEIDENHAIN cycles 200 to 209 take their levels, plunge and returns
  // from the cycle parameters.
  if (IsHeidenhainDialect(ctl) && cycle.Code >= kFirstHeidenhainCycle) {
    settings.CycleKind = kCycleKindHeidenhain;
    cycle.Q200 = in.CycleParameter(200);
    cycle.Q201 = in.CycleParameter(201);
    cycle.Q203 = in.CycleParameter(203);
    cycle.Q204 = in.CycleParameter(204);
    cycle.Peck = in.CycleParameter(202);
  }
  settings.Clearance = ctl.CycleClearance;
  settings.ChipBreakReturn = ctl.G73D;
  settings.PeckReturn = ctl.G83D;
  settings.CuttingMode = records.Control.CuttingMode.load();
  std::vector<CyclePoint> points;
  const int32_t count = ExpandDrillingCycle(false, cycle, settings, 0, points, records.Shell);
  const size_t capacity =
      std::max(kCyclePointCapacity,
               std::min(static_cast<size_t>(std::max(count, 0)) + 10, kMaxCyclePointCapacity));
  ExpandDrillingCycle(true, cycle, settings, capacity, points, records.Shell);
  ShiftLookAheadMoves(context);
  move.End = move.Start;
  if (points.empty()) {
    modal.MoveExists = 0;
    return;
  }
  driver.Points.clear();
  for (const CyclePoint& p : points) driver.Points.push_back({p.Mode, p.Position});
  driver.PointIndex = 0;
  driver.CyclePoints = 1;
  modal.ProgramPosition[n] = points.back().Position[n];
  TakeQueuedPoint(context, records, driver);
  if (move.MotionMode == kMotionRapid) DecomposeLiveRapid(context, records, driver);
}

// A reference return's first move: the named axes to the intermediate point.
void StartReferenceReturn(NcContext& context) {
  NcModalState& modal = context.Modal;
  const InterpreterState& in = modal.Interp;
  NcMove& move = context.Move;
  modal.ReferenceReturnStage = kReferenceIntermediate;
  move.MotionMode = kMotionRapid;
  for (size_t i = 0; i < 5; ++i) {
    if (in.IntermediateGiven[i] == 0) continue;
    move.End[i] = in.IntermediatePoint[i];
    if (i < 3 && modal.Length.BAxisLength != 0) move.End[i] -= modal.Length.ToolLengthVector[i];
  }
  modal.MoveExists = move.End != move.Start ? 1 : 0;
}

// The move after the intermediate point: on to the target point, to the
// reference point, or to the start position when the point is not defined.
void FinishReferenceReturn(NcContext& context, const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  InterpreterState& in = modal.Interp;
  NcMove& move = context.Move;
  const OffsetMemory& offsets = records.Memory.Offsets;
  move.Start = move.End;
  move.MotionMode = kMotionRapid;
  const int32_t number = in.ReferencePointNumber;
  const bool toTarget = in.ReferenceReturnMode == kReturnFromReference;
  const bool defined = !toTarget && number >= 0 && number < kReferencePointCount &&
                       offsets.ReferencePoints[static_cast<size_t>(number)].Given != 0;
  modal.ReferenceReturnStage = defined ? kReferencePointReached : 0;
  if (!defined) in.ReferenceReturnMode = kReferenceNone;
  for (size_t i = 0; i < 5; ++i) {
    if (in.IntermediateGiven[i] == 0) continue;
    if (toTarget) {
      move.End[i] = in.TargetPoint[i];
    } else if (defined) {
      move.End[i] = offsets.ReferencePoints[static_cast<size_t>(number)].Values[i] -
                    offsets.ActiveWorkOffset[i];
    } else {
      move.End[i] = records.StartPosition[i];
      if (i == static_cast<size_t>(modal.Plane.ToolLengthAxis) &&
          modal.Length.LengthOffsetInForce() && modal.Length.BAxisLength == 0)
        move.End[i] -= modal.Length.PreviousToolLength;
    }
    modal.ProgramPosition[i] = move.End[i];
  }
  modal.MoveExists = move.End != move.Start ? 1 : 0;
}

// The program-start character (alone or after blanks) opens and closes the
// program. True when the line was one.
bool ProgramStartLine(NcContext& context, const NcPassRecords& records,
                      const MotionDriver& driver) {
  if (!IsProgramStartMark(context.Line.View(), records.Defs.Controller.EndOfRecordLetter))
    return false;
  NcModalState& modal = context.Modal;
  if (modal.ProgramStarted == 0) {
    modal.ProgramStarted = 1;
    modal.SubprogramEnd = 1;
  } else if (context.Subprograms.Depth > 0) {
    modal.SubprogramEnd = 1;
  } else {
    modal.EndState = driver.Points.empty() ? kEndHandled : kEndReached;
  }
  return true;
}

// Whether a later call still has a move to give without reading a line.
bool MovesQueued(const NcContext& context, const MotionDriver& driver) {
  const NcModalState& modal = context.Modal;
  return modal.PendingEnds.Count > 0 || driver.Rapid.Count > 0 ||
         driver.NormalIndex < static_cast<int32_t>(driver.NormalMoves.size()) ||
         driver.ToolAxisIndex < static_cast<int32_t>(driver.ToolAxisChanges.size()) ||
         driver.PointIndex < static_cast<int32_t>(driver.Points.size()) ||
         modal.ReferenceReturnStage == kReferenceIntermediate ||
         driver.Phase == kCompensationCancelling;
}

bool CompensationSwitchedOn(const NcContext& context, const MotionDriver& driver) {
  return driver.Phase == kCompensationOff && context.Modal.Interp.CompensationStart != 0;
}

}  // namespace

void ResetMotionDriver(MotionDriver& driver) {
  driver.Phase = kCompensationOff;
  driver.CornerArcRequest = 0;
  driver.OuterCorner = 0;
  driver.Points.clear();
  driver.PointIndex = 0;
  driver.CyclePoints = 0;
  driver.Rapid = RapidSubMoves{};
  driver.NormalMoves.clear();
  driver.NormalIndex = 0;
  driver.ToolAxisChanges.clear();
  driver.ToolAxisIndex = 0;
}

namespace {

void ProduceNextMove(NcContext& context, const NcPassRecords& records, NcReader& reader,
                     MotionDriver& driver) {
  NcModalState& modal = context.Modal;
  NcMove& move = context.Move;
  if (modal.PendingEnds.Count > 0) {
    EndMotionRecord(context, records.Memory.Offsets);
    return;
  }
  move.ArcAngle = 0.0;
  move.Length = 0.0;
  modal.Interp.RepeatCount = 1;
  context.Run.CycleFeedFlag = 0;
  modal.SubprogramEnd = 0;
  modal.BlockTool = 0;
  modal.MoveExists = 0;
  modal.LastGCode = 0;
  modal.LastMCode = -1;
  if (modal.ReferenceReturnStage == kReferencePointReached) modal.ReferenceReturnStage = 0;

  if (driver.Rapid.Count > 0) {
    TakeRapidSubMove(context, driver);
    return;
  }
  if (TakeCollectedMove(context, records, driver)) return;
  if (driver.PointIndex < static_cast<int32_t>(driver.Points.size())) {
    TakeQueuedPoint(context, records, driver);
    return;
  }
  if (modal.ReferenceReturnStage == kReferenceIntermediate) {
    FinishReferenceReturn(context, records);
    return;
  }
  // A cancel move still to come runs before the end.
  if (modal.EndState == kEndReached && driver.Phase != kCompensationCancelling) {
    modal.EndState = kEndHandled;
    const ControllerDefinition& ctl = records.Defs.Controller;
    if (ctl.isHeidenhain != 0)
      ClearRotaryWrapFlags(0, ctl, records.Defs.Limits, records.Memory.ShortestRoute);
    return;
  }
  // No queued move took the change that ended the look-ahead: the next block
  // does.
  ApplyWorkOffsetChange(context, records, OffsetChangeUse::kNew);
  if (driver.Phase != kCompensationCancelling && ReadNcLine(context, records, reader) != 1) return;
  if (ProgramStartLine(context, records, driver) || modal.ProgramStarted == 0) return;

  if (driver.Phase != kCompensationOff) {
    ContinueCompensation(context, records, reader, driver);
    return;
  }
  InterpretNcBlock(context, records);
  modal.BlockLine = CurrentLineNumber(context);
  // Without compensation no move is in flight in the old coordinates.
  ApplyWorkOffsetChange(context, records, OffsetChangeUse::kNewInPlace);
  if (CompensationSwitchedOn(context, driver)) {
    StartCompensation(context, records, reader, driver);
    return;
  }
  if (modal.CannedCycle != kNoCannedCycle &&
      (modal.Interp.AnyAxisGiven != 0 || modal.Interp.CycleStarted != 0)) {
    QueueCannedCycle(context, records, driver);
    return;
  }
  if (modal.Interp.ReferenceReturnMode == kReferenceReturn ||
      modal.Interp.ReferenceReturnMode == kReturnFromReference) {
    StartReferenceReturn(context);
    return;
  }
  if (move.MotionMode == kMotionRapid && modal.MoveExists != 0 &&
      (modal.Interp.CompensationStart == 0 || modal.RadiusOffset == 0.0))
    DecomposeLiveRapid(context, records, driver);
}

}  // namespace

bool IsProgramStartMark(std::string_view line, char mark) {
  if (mark == ' ') return false;
  const size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && line[first] == mark;
}

void NextNcMove(NcContext& context, const NcPassRecords& records, NcReader& reader,
                MotionDriver& driver) {
  ProduceNextMove(context, records, reader, driver);
  // The move is cut with its own mode and cutting switch: under compensation
  // the interpreter's are already those of the block read ahead.
  context.Run.MotionMode = context.Move.MotionMode;
  context.Run.CuttingEnabled = context.Move.CuttingEnabled;
  // The program's end was read while moves are still queued (read ahead by
  // compensation, split rapids, cycle or corner points): they run first.
  if (context.Modal.EndState == kEndHandled && MovesQueued(context, driver))
    context.Modal.EndState = kEndReached;
  // Each arc may be reversed once by a mirror image at its block end.
  if (context.Modal.MoveExists != 0 && IsArcMotion(context.Move.MotionMode))
    context.BlockEnd.Mirror.ReverseArc = 1;
}

bool MotionDriverHoldsMoves(const NcContext& context, const MotionDriver& driver) {
  return MovesQueued(context, driver);
}

RapidSubMoves DecomposeRapidMove(int32_t kind, const AxisPosition& start, const AxisPosition& end,
                                 const RapidMachine& machine) {
  RapidSubMoves rapid;
  rapid.Kind = kind;
  std::array<double, 3> travel{};
  for (size_t i = 0; i < 3; ++i) {
    travel[i] = std::fabs(end[i] - start[i]);
    // Out beyond any machine (values at the limit of a double): kept whole.
    if (!std::isfinite(travel[i])) return RapidSubMoves{};
  }
  if (kind == kRapidSameSpeed) {
    std::array<double, 3> levels = travel;
    std::sort(levels.begin(), levels.end());
    AxisPosition at = start;
    double previous = 0.0;
    for (const double level : levels) {
      if (level <= previous) continue;
      for (size_t i = 0; i < 3; ++i) {
        const double step = std::min(level, travel[i]);
        at[i] = start[i] + std::copysign(step, end[i] - start[i]);
        if (std::fabs(end[i] - at[i]) < kArrived) at[i] = end[i];
      }
      rapid.Ends.push_back(at);
      previous = level;
    }
    if (rapid.Ends.size() < 2) return RapidSubMoves{};
    // The rotary axes go with the last sub-move.
    rapid.Ends.back() = end;
    rapid.Count = static_cast<int32_t>(rapid.Ends.size());
    return rapid;
  }
  if (kind != kRapidAccelerated) return RapidSubMoves{};
  size_t lead = 0;
  for (size_t i = 0; i < 3; ++i) {
    const double v = machine.RapidRate[i] / 60.0, a = machine.Acceleration[i];
    // A speed or acceleration of 0 or less gives no profile: the rapid stays whole.
    if (!(v > 0.0) || !(a > 0.0)) return RapidSubMoves{};
    const double d = travel[i];
    rapid.Speed[i] = v;
    rapid.Acceleration[i] = a;
    rapid.AxisTime[i] = d == 0.0              ? 0.0
                        : d - v * v / a > 0.0 ? 2.0 * v / a + (d - v * v / a) / v
                                              : 2.0 * std::sqrt(d / a);
    rapid.AccelerationTime[i] = d - v * v / a > 0.0 ? v / a : std::sqrt(d / a);
    if (rapid.AxisTime[i] > rapid.AxisTime[lead]) lead = i;
  }
  if (!(machine.Pitch > 0.0)) return RapidSubMoves{};
  const double steps = std::clamp(std::ceil(travel[lead] / machine.Pitch), 1.0, kMaxRapidSteps);
  if (steps <= 1.0) return RapidSubMoves{};
  rapid.Count = static_cast<int32_t>(steps);
  rapid.Start = start;
  rapid.End = end;
  rapid.TotalTime = rapid.AxisTime[lead];
  return rapid;
}

AxisPosition NextAcceleratedRapidPoint(const RapidSubMoves& rapid, int32_t index) {
  if (index + 1 >= rapid.Count) return rapid.End;
  const double t = (index + 1) * (rapid.TotalTime / rapid.Count);
  AxisPosition at = rapid.Start;
  for (size_t i = 0; i < 3; ++i) {
    const double d = std::fabs(rapid.End[i] - rapid.Start[i]);
    if (d == 0.0) continue;
    const double s = ProfilePosition(d, rapid.Speed[i], rapid.Acceleration[i], rapid.AxisTime[i],
                                     rapid.AccelerationTime[i], t);
    at[i] = rapid.Start[i] + std::copysign(s, rapid.End[i] - rapid.Start[i]);
  }
  return at;
}

Vec3 ApplyAxisScaling(const ScalingState& scaling, int32_t lastGCode,
                      const std::array<int32_t, 3>& axes, const Vec3& point) {
  Vec3 out{};
  for (size_t k = 0; k < 3; ++k) {
    const size_t axis = static_cast<size_t>(axes[k]);
    out[k] = point[axis];
    if (k == 2 || lastGCode == 92) continue;
    ApplyScalingToAxis(scaling, axes[k], out[k]);
  }
  return out;
}

}  // namespace vestan
