#include "simulation/move_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "machine/forward_kinematics.h"
#include "machine/interference_transforms.h"
#include "machine/multi_tool_pass.h"
#include "machine/path_geometry.h"
#include "machine/position_conversion.h"
#include "machine/rotary_angles.h"
#include "machine/rotary_axes.h"
#include "machine/rotary_solution.h"
#include "machine/structure_interference.h"
#include "nc/block_end.h"
#include "nc/nurbs.h"
#include "nc/position_update.h"
#include "simulation/interference_bookkeeping.h"
#include "simulation/run_reports.h"
#include "simulation/session_files.h"
#include "simulation/session_tools.h"

namespace vestan {

namespace {


// The records one move's steps work on.
struct StepWork {
  explicit StepWork(Session& session)
      : S(session),
        Nc(session.Nc),
        Move(session.Nc.Move),
        Position(session.Nc.Position),
        Pass(*session.Pass),
        St(session.Pass->Steps),
        Defs(session.Defs),
        Checks(session.Defs.Checks),
        Control(session.Control),
        View(session.RunView),
        Records(NcPassOf(session)) {}

  Session& S;
  NcContext& Nc;
  NcMove& Move;
  MachinePositionState& Position;
  RunPass& Pass;
  MoveStepState& St;
  const Definitions& Defs;
  const InterferenceCheckSettings& Checks;
  RunControl& Control;
  const RunViewHooks& View;
  const NcPassRecords Records;

  bool Rapid() const { return Nc.Run.MotionMode <= kMotionRapid; }
  bool Window() const { return View.Window != 0; }
  // A rapid of a canned cycle counts as removing nothing.
  bool CycleRapid() const {
    return Nc.Modal.CannedCycle != kNoCannedCycle && Nc.Run.CycleFeedFlag != 0;
  }
};

double Clean(double v) { return std::fabs(v) < 0.00005 ? 0.0 : v; }

void TracePose(const StepWork& w, int32_t status) {
  if (w.St.PoseTrace == nullptr) return;
  const Vec3& t = w.Position.ToolTip;
  const Vec3& a = w.Position.ToolAxis;
  char line[256];
  std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f %d\n", Clean(t[0]), Clean(t[1]),
                Clean(t[2]), Clean(a[0]), Clean(a[1]), Clean(a[2]), status);
  *w.St.PoseTrace += line;
}

ReportPose PoseOf(const StepWork& w) {
  ReportPose pose;
  pose.Tip = w.Position.ToolTip;
  for (size_t r = 0; r < 2; ++r) {
    pose.RotaryLetters[r] = w.Defs.Controller.Rotary[r].Letter;
    pose.RotaryAngles[r] = w.Position.MachinePosition[3 + r];
  }
  return pose;
}

void RaiseAlarm(StepWork& w, int32_t code, const std::string& why) {
  w.Nc.Modal.AlarmCode = code;
  w.S.Shell.Log("Line " + std::to_string(CurrentLineNumber(w.Nc)) + ": " + why);
}

// The redraw handshake; false when the run was aborted meanwhile.
bool Redraw(StepWork& w) { return WaitForRedraw(w.Control, w.S.Shell); }

void SetStepStatus(StepWork& w, int32_t status) {
  if (w.Control.StepStatus.load() != status) w.Control.StepStatus.store(status);
}

// Feed moves show kStepFeed, rapids kStepRapid, when nothing was touched.
void SetIdleStatus(StepWork& w) { SetStepStatus(w, w.Rapid() ? kStepRapid : kStepFeed); }

void SaveStepPosition(StepWork& w) {
  SavePositionState(w.Position, w.Nc.Modal.Tools.CurrentToolNumber,
                    w.S.Memory.Offsets.ActiveWorkOffset);
}

// The cut attributes of the step: the tool's pen and, for a rapid that is
// no cycle rapid, bit 0; the move's source line.
void SetCutAttributes(StepWork& w) {
  uint8_t flag = w.S.Tool.PenTag;
  if (w.Rapid() && w.Nc.Run.CycleFeedFlag == 0) flag |= 1;
  w.Nc.Run.CutFaceFlags = {flag, flag};
  w.Nc.Run.CutFaceAttributes = {w.Move.SourceLine, w.Move.SourceLine};
}

// Over-stroke at the machine position: false (axis kept) when one is passed.
bool WithinStroke(StepWork& w) {
  if (w.Defs.Limits.AnyLimit == 0 &&
      std::none_of(w.Defs.Limits.Enabled.begin(), w.Defs.Limits.Enabled.end(),
                   [](int32_t e) { return e != 0; }))
    return true;
  char letter = ' ';
  const int32_t axis =
      CheckOverStroke(w.Defs.Limits, w.Defs.Controller, w.Position.MachinePosition, letter);
  if (axis < 0) return true;
  w.St.OverStrokeAxis = axis;
  w.St.OverStrokeLetter = letter;
  return false;
}

bool TurningSetUp(const StepWork& w) {
  const MachineKinematics& k = w.Defs.Kinematics;
  const std::array<int32_t, 2>& lathe = w.Nc.Modal.Interp.LatheModes;
  return k.TableType == kTableLathe || k.SecondTableType == kTableLathe || lathe[0] != 0 ||
         lathe[1] != 0;
}

// The turning revolution of a step: the workpiece turned about the turning
// axis in steps of at most the move pitch at the tool point's radius.
bool CutTurningRevolution(StepWork& w, double pitch) {
  const MachineKinematics& k = w.Defs.Kinematics;
  const std::array<int32_t, 2>& lathe = w.Nc.Modal.Interp.LatheModes;
  size_t axis = 1;
  if (k.RotaryType != kRotaryMix && (k.TableType == kTableLathe || lathe[0] != 0)) axis = 0;
  const std::array<double, 2> radii = ComputeRotaryRadii(
      k, w.Defs.Controller, w.Position.ReferenceLength, w.Position.MachinePosition);
  const int64_t m = InterpolationStepCount(2.0 * kPi * radii[axis], pitch);
  if (m < 0) {
    RaiseAlarm(w, kAlarmMoveSteps, "a turning revolution needs more steps than a move may take");
    return false;
  }
  const double program = w.Position.ProgramPosition[3 + axis];
  double removed = 0.0;
  for (int64_t q = 0; q < m; ++q) {
    const double angle = static_cast<double>(q) * 360.0 / static_cast<double>(m);
    w.Position.ProgramPosition[3 + axis] = angle;
    w.Position.MachinePosition[3 + axis] = angle;
    ComputeToolTipAndAxis(k, w.Defs.Controller, w.Position.ReferenceLength,
                          w.Position.MachinePosition, w.Position.ToolTip, w.Position.ToolAxis);
    w.Pass.Cutter->CutPose(w.Position.ToolTip, w.Position.ToolAxis);
    removed += w.Nc.Run.PoseRemovedVolume;
  }
  w.Nc.Run.PoseRemovedVolume = removed;
  w.Position.ProgramPosition[3 + axis] = program;
  UpdateSessionPosition(w.S);
  return true;
}

bool AnyPairOn(const InterferenceCheckSettings& checks, size_t first, size_t end) {
  for (size_t i = first; i < end; ++i)
    if (checks.Pairs[i] > 0) return true;
  return false;
}

void RunStructureChecks(StepWork& w) {
  const InterferenceCheckSettings& c = w.Checks;
  if (!AnyPairOn(c, kPairToolVice, kPairArborVice) && !AnyPairOn(c, kPairArborVice, kNamedPairCount))
    return;
  StructureCheckContext context = StructureChecksOf(w.S);
  const Vec3 tip = w.Position.ToolTip;
  if (AnyPairOn(c, kPairToolVice, kPairArborVice))
    CheckToolArborInterference(context, CutterRingsOf(w.S.Profile), tip);
  if (AnyPairOn(c, kPairArborVice, kPairHead2Work))
    CheckToolArborInterference(context, ArborRingsOf(w.S.Profile), tip);
  if (AnyPairOn(c, kPairHead2Work, kPairHead1Work)) CheckHead2Interference(context);
  if (AnyPairOn(c, kPairHead1Work, kPairHeadWork)) CheckHead1Interference(context);
  if (AnyPairOn(c, kPairHeadWork, kNamedPairCount)) CheckHeadInterference(context);
}

bool LayoutToolInUse(const StepWork& w) {
  const ToolLayout& layout = w.Defs.Tools.Layout;
  const int32_t tool = w.Nc.Modal.Tools.CurrentToolNumber;
  if (tool == 0) return layout.Count >= 2;
  return tool > 0 && tool < kLayoutEntries && layout.Placed[static_cast<size_t>(tool)] != 0;
}

// The cut of the step; false when the run must end (an alarm of the
// turning revolution).
bool CutStep(StepWork& w, double pitch) {
  if (TurningSetUp(w)) return CutTurningRevolution(w, pitch);
  if (LayoutToolInUse(w)) {
    // The pass's seam, started afresh as a new one would be: a new seam at
    // every step would set up the mounted tool's cut context, and start and
    // join its worker threads, step after step.
    w.Pass.Cutter->StartAfresh();
    MultiToolPassRecords records = MultiToolPassOf(w.S, *w.Pass.Cutter);
    const PassCounters counters{w.Move.SourceLine, w.Nc.Modal.MainLineCounter};
    RunMultiToolPass(records, w.Nc.Modal.Tools.CurrentToolNumber, counters, w.Pass.MultiTool);
  } else {
    w.Pass.Cutter->CutPose(w.Position.ToolTip, w.Position.ToolAxis);
  }
  if (w.Nc.Run.PoseRemovedVolume > 0.0 && !w.CycleRapid()) w.Nc.Run.MarkProcessCut();
  if (!LayoutToolInUse(w)) RunStructureChecks(w);
  return true;
}

bool KernelAlarm(const InterferenceHits& h) {
  return h.ArborHitFlag != 0 || h.BodyHitFlag != 0 || h.AttachmentHitFlag != 0 ||
         h.HeightHitFlag != 0 || h.ChipWidthHitFlag != 0;
}

bool SpindleAlarm(const StepWork& w, bool removed) {
  return w.Checks.SpindleCheck != 0 && removed &&
         SpindleConditionOf(w.Nc, w.Checks) != SpindleCondition::kNone;
}

// The cutting-load limit of the current tool at a step that removed
// material: kinds 1 and 2 raise the alarm, the others write a limit line.
// writeLines: the NURBS curve writes none.
bool CheckCuttingLoad(StepWork& w, double removed, double stepLength, bool writeLines) {
  const int32_t tool = w.Nc.Modal.Tools.CurrentToolNumber;
  const std::vector<ToolLimitRecord>& limits = w.Defs.Tools.Limits;
  if (w.Rapid() || tool < 0 || static_cast<size_t>(tool) >= limits.size()) return false;
  const ToolLimitRecord& limit = limits[static_cast<size_t>(tool)];
  const double value = limit.Values[0];
  if (limit.Kind == 0 || !(value > 0.0) || !(stepLength > 0.0)) return false;
  const double section = removed / stepLength;
  const bool bySection = limit.Kind == 1 || limit.Kind == 11;
  const double measured = bySection ? section : w.Move.Feed * section / 60.0;
  if (!(value < measured)) return false;
  if (limit.Kind == 1 || limit.Kind == 2) {
    w.St.CuttingLoadAlarm = 1;
    w.Nc.Run.Hits.StepAlarmFlag = 1;
    SaveStepPosition(w);
    return true;
  }
  if (!writeLines) return false;
  if (!w.Pass.Reports.LimitStream)
    OpenCuttingLimitReport(w.Pass.Reports, w.Pass.ReportLinks, w.Defs.Tools, tool);
  WriteCuttingLimitLine(w.Pass.Reports, w.Nc, PoseOf(w), measured);
  return false;
}

// The status of a step from what it removed and raised.
int32_t DecideStepStatus(StepWork& w, bool removed, bool armed, bool raised) {
  const InterferenceHits& h = w.Nc.Run.Hits;
  if (!removed && h.RemovalPendingFlag == 0) {
    if (AnyInterferenceFlag(h) != 0) return kStepAlarm;
    return w.Rapid() ? kStepRapid : kStepFeed;
  }
  if ((armed && w.Rapid() && h.RemovalPendingFlag == 0) || raised) return kStepAlarm;
  return kStepCutting;
}

// The redraw of step i of n at the SKIP VIEW interval.
bool StepRedraw(StepWork& w, int64_t i, int64_t n) {
  if (!w.Window()) return true;
  const bool shown = w.Control.CuttingMode.load() == kCuttingReal ||
                     w.Control.ShowSteps.load() != 0 || w.Control.RedrawOnce.load() != 0;
  if (!shown) return true;
  const int64_t every = std::max<int64_t>(1, w.Defs.Settings.SkipView);
  if (every != 1 && i != n && i % every != 0) return true;
  return Redraw(w);
}

// The steps after the last one: the next start, the skip-cutting and
// interference redraws, the interference report, the cutting-load end.
MoveEnd AfterMove(StepWork& w) {
  w.St.MachineStart = w.Position.MachinePosition;
  const bool show = w.Control.ShowSteps.load() != 0;
  if (w.Control.CuttingMode.load() == kCuttingSkip && !show && w.Window()) {
    const int64_t line = CurrentLineNumber(w.Nc);
    if (line - w.St.LastSkipRedrawLine >= w.Defs.Settings.SkipBlock) {
      w.St.LastSkipRedrawLine = line;
      if (!Redraw(w)) return w.St.End = MoveEnd::kAbort;
    }
  }
  const bool reportOn = w.Checks.Interference != 0;
  const bool anyCheck = AnyPairOn(w.Checks, 0, kNamedPairCount) || w.Checks.ArborCheck != 0 ||
                        w.Checks.HeightCheck != 0 || w.Checks.ChipWidthCheck != 0 ||
                        w.Checks.SpindleCheck != 0;
  if (((reportOn && anyCheck) || w.St.BlockAlarm != 0) && w.Window() && w.View.MultiProgram == 0)
    if (!Redraw(w)) return w.St.End = MoveEnd::kAbort;
  // The report writes an entry only for a move that registered stop-class
  // hits; every such move gets its own entry.
  if (reportOn) WriteInterferenceReport(w.Pass.Reports, w.Pass.ReportLinks);
  if (w.St.CuttingLoadAlarm != 0) return w.St.End = MoveEnd::kCuttingLoad;
  return w.St.End = MoveEnd::kNone;
}

// A move not interpolated: the end taken at once, nothing cut.
MoveEnd Jump(StepWork& w, const AxisPosition& end) {
  if (w.Window() && w.View.PaintStatusPosition) w.View.PaintStatusPosition(0);
  w.Nc.Run.PoseRemovedVolume = 0.0;
  SetIdleStatus(w);
  w.Position.ProgramPosition = end;
  UpdateSessionPosition(w.S);
  w.St.MachineStart = w.Position.MachinePosition;
  w.St.Steps = 0;
  return w.St.End = MoveEnd::kNone;
}

// The machine position of a program position, as the update gives it
// (G53 moves: the block's end with the work offset and the tool put back).
AxisPosition MachineEndOf(const NcContext& nc, const NcPassRecords& records,
                          const AxisPosition& end) {
  AxisPosition machine = AddWorkOffset(end, records.Memory.Offsets.ActiveWorkOffset);
  machine[static_cast<size_t>(nc.Modal.Plane.ToolLengthAxis)] += ToolLengthEffect(nc.Position);
  return machine;
}

// The tool axis at a program position's rotary angles.
Vec3 ToolAxisAt(const NcPassRecords& records, const AxisPosition& program) {
  const AxisPosition machine = AddWorkOffset(program, records.Memory.Offsets.ActiveWorkOffset);
  return RotatePointThroughRotaryAxes2(records.Defs.Kinematics, records.Defs.Controller,
                                       {machine[3], machine[4]});
}

ToolVectorMove PrepareToolVectorMove(const NcContext& nc, const NcPassRecords& records,
                                     const AxisPosition& start, const AxisPosition& end,
                                     int64_t n) {
  ToolVectorMove v;
  if (nc.Modal.ToolAxisMode != kToolAxisVector) return v;
  const Vec3 from = ToolAxisAt(records, start), to = ToolAxisAt(records, end);
  if (from == to) return v;
  v.On = true;
  v.Steps.StartVector = from;
  for (size_t k = 0; k < 3; ++k) v.Steps.VectorStep[k] = (to[k] - from[k]) / static_cast<double>(n);
  v.Steps.ArcCentre = nc.Move.Centre;
  v.Steps.PlaneAxes = nc.Modal.Plane.PlaneAxes;
  const Vec3 d{end[0] - start[0], end[1] - start[1], end[2] - start[2]};
  const double length = VectorLength(d);
  if (!IsArcMotion(nc.Run.MotionMode) && (d[0] != 0.0 || d[1] != 0.0) && length > 0.0)
    v.Tangent = {d[0] / length, d[1] / length, d[2] / length};
  const AxisPosition& machine = nc.Position.MachinePosition;
  v.Previous = {machine[3], machine[4]};
  return v;
}

// The rotary angles of step i: the machine angles that point the tool along
// the interpolated axis, less the rotary work offsets.
void PointToolAtStep(NcContext& nc, const NcPassRecords& records, const RotaryModalInputs& inputs,
                     ToolVectorMove& v, int64_t i, AxisPosition& at) {
  const Definitions& defs = records.Defs;
  Vec3 axis{};
  ComputeInterpolationPoint(inputs, v.Steps, {at[0], at[1], at[2]},
                            static_cast<int32_t>(std::min<int64_t>(i, INT32_MAX)), v.Tangent, axis);
  const double length = VectorLength(axis);
  if (!(length > 0.0)) return;
  for (double& c : axis) c /= length;
  const RotarySolver solver{defs.Kinematics, defs.Controller, inputs, nc.RotarySolve, {}};
  const RotaryAngles angles =
      ChooseRotaryAnglesForToolAxis(solver, axis, v.Previous, MachineRotaryRanges(defs.Limits));
  v.Previous = angles;
  const WorkOffsetValues& offset = records.Memory.Offsets.ActiveWorkOffset;
  for (size_t r = 0; r < 2; ++r) at[3 + r] = angles[r] - offset[3 + r];
}

}  // namespace

int64_t InterpolationStepCount(double length, double pitch) {
  if (!(pitch > 0.0) || !std::isfinite(pitch) || !std::isfinite(length)) return -1;
  const double steps = std::ceil(length / pitch);
  if (!(steps <= static_cast<double>(kMaxStepsPerMove))) return -1;
  return std::max<int64_t>(1, static_cast<int64_t>(steps));
}

double RotaryLengthFactor(double startRadius, double endRadius) {
  return (startRadius + endRadius) * kPi / 360.0;
}

void WrapShortestRouteRotaries(const NcPassRecords& records, AxisPosition& at) {
  const StrokeLimits& limits = records.Defs.Limits;
  for (size_t r = 0; r < 2; ++r) {
    if (records.Memory.ShortestRoute[r] == 0 || limits.Enabled[3 + r] == 0) continue;
    WrapAngle360(at[3 + r], limits.Minimum[3 + r], limits.Maximum[3 + r]);
  }
}

MoveStepPlan PlanMoveSteps(NcContext& nc, const NcPassRecords& records, MoveStepState& st) {
  MoveStepPlan plan;
  const Definitions& defs = records.Defs;
  const ControllerDefinition& ctl = defs.Controller;
  const NcModalState& modal = nc.Modal;
  const NcMove& move = nc.Move;
  const WorkOffsetValues& offset = records.Memory.Offsets.ActiveWorkOffset;
  plan.RotaryInputs = MakeRotaryModalInputs(nc, records);

  // Radii, deltas and length factors.
  plan.Transformed = BlockEndTransformed(nc);
  const AxisPosition& start = plan.Start = plan.Transformed ? nc.BlockEnd.Previous : move.Start;
  AxisPosition& end = plan.End = plan.Transformed ? nc.BlockEnd.Current : move.End;
  st.EndRadii = ComputeRotaryRadii(defs.Kinematics, ctl, nc.Position.ReferenceLength,
                                   AddWorkOffset(end, offset));
  std::array<double, 5>& delta = plan.Delta;
  for (size_t a = 0; a < 3; ++a) delta[a] = end[a] - start[a];
  for (size_t r = 0; r < 2; ++r) {
    delta[3 + r] = records.Memory.ShortestRoute[r] != 0
                       ? GetRotaryAngleDelta(plan.RotaryInputs, start[3 + r], end[3 + r])
                       : end[3 + r] - start[3 + r];
    end[3 + r] = start[3 + r] + delta[3 + r];
  }
  WrapShortestRouteRotaries(records, end);
  const double fA = plan.LengthFactorA = RotaryLengthFactor(st.StartRadii[0], st.EndRadii[0]);
  const double fB = plan.LengthFactorB = RotaryLengthFactor(st.StartRadii[1], st.EndRadii[1]);
  st.StartRadii = st.EndRadii;

  // The length and the step count.
  plan.Rapid = nc.Run.MotionMode <= kMotionRapid;
  plan.Arc = IsArcMotion(nc.Run.MotionMode);
  for (size_t k = 0; k < 3; ++k) plan.PlaneAxes[k] = static_cast<size_t>(modal.Plane.PlaneAxes[k]);
  if (plan.Arc) {
    plan.Length = std::hypot(move.Length, delta[plan.PlaneAxes[2]]);
  } else {
    const double ra = delta[3] * fA, rb = delta[4] * fB;
    plan.Length = std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2] +
                            ra * ra + rb * rb);
  }
  plan.MachineMove = modal.MachineCoordinates != 0 || modal.LastGCode == kToolAxisDirectionCode ||
                     modal.ReferenceReturnStage == kReferencePointReached;
  const bool vectorChange = modal.ToolAxisMode == kToolAxisVector && !plan.MachineMove &&
                            ToolAxisAt(records, start) != ToolAxisAt(records, end);
  plan.Forced = modal.TiltedPlane.Active != 0 || plan.MachineMove || vectorChange;

  const double pitch = defs.Settings.Pitch.MovePitch;
  plan.Count = InterpolationStepCount(plan.Length, pitch);
  plan.MachineStart = st.MachineStart;
  if (plan.MachineMove) {
    plan.MachineEnd = MachineEndOf(nc, records, end);
    double machineLength = 0.0;
    for (size_t a = 0; a < 5; ++a) {
      const double d = plan.MachineEnd[a] - plan.MachineStart[a];
      const double f = a == 3 ? fA : a == 4 ? fB : 1.0;
      machineLength += d * f * d * f;
    }
    plan.Count = InterpolationStepCount(std::sqrt(machineLength), pitch);
  }
  return plan;
}

void SetMoveStepCount(MoveStepPlan& plan, const NcContext& nc, const NcPassRecords& records,
                      int64_t n) {
  plan.Count = n;
  const double dn = static_cast<double>(n);
  if (plan.MachineMove)
    for (size_t a = 0; a < 5; ++a)
      plan.MachineStep[a] = (plan.MachineEnd[a] - plan.MachineStart[a]) / dn;
  for (size_t a = 0; a < 5; ++a) plan.Step[a] = plan.Delta[a] / dn;
  const NcMove& move = nc.Move;
  plan.AngleStep = (move.MotionMode == kMotionClockwise ? -1.0 : 1.0) * move.ArcAngle / dn;
  plan.Vector = plan.MachineMove ? ToolVectorMove{}
                                 : PrepareToolVectorMove(nc, records, plan.Start, plan.End, n);
}

void PlaceMoveStep(MoveStepPlan& plan, NcContext& nc, const NcPassRecords& records, int64_t i) {
  const int64_t n = plan.Count;
  const double di = static_cast<double>(i);
  if (plan.MachineMove) {
    AxisPosition at = plan.MachineEnd;
    if (i != n)
      for (size_t a = 0; a < 5; ++a) at[a] = plan.MachineStart[a] + di * plan.MachineStep[a];
    nc.Position.MachinePosition = at;
    return;
  }
  const AxisPosition& start = plan.Start;
  AxisPosition at = plan.End;
  if (i != n) {
    if (plan.Arc) {
      const NcMove& move = nc.Move;
      const size_t a0 = plan.PlaneAxes[0], a1 = plan.PlaneAxes[1], a2 = plan.PlaneAxes[2];
      const double dn = static_cast<double>(n);
      const double angle = di * plan.AngleStep;
      const double r = (1.0 - di / dn) * move.StartRadius + di / dn * move.EndRadius;
      const double u1 = move.StartRadial[a0], u2 = move.StartRadial[a1];
      const double c = std::cos(angle), s = std::sin(angle);
      at[a0] = move.Centre[a0] + r * (u1 * c - u2 * s);
      at[a1] = move.Centre[a1] + r * (u2 * c + u1 * s);
      at[a2] = start[a2] + di * plan.Step[a2];
    } else {
      for (size_t a = 0; a < 3; ++a) at[a] = start[a] + di * plan.Step[a];
    }
    for (size_t r = 3; r < 5; ++r) at[r] = start[r] + di * plan.Step[r];
    if (plan.Vector.On) PointToolAtStep(nc, records, plan.RotaryInputs, plan.Vector, i, at);
    WrapShortestRouteRotaries(records, at);
  }
  nc.Position.ProgramPosition = at;
}

void KeepMoveEnd(const MoveStepPlan& plan, NcMove& move) {
  if (plan.MachineMove) return;
  if (!plan.Transformed) {
    move.End = plan.End;
    return;
  }
  for (size_t r = 3; r < 5; ++r) move.End[r] = plan.End[r];
}

MoveEnd InterpolateMove(Session& session) {
  StepWork w(session);
  NcMove& move = w.Move;
  const ControllerDefinition& ctl = w.Defs.Controller;
  const NcModalState& modal = w.Nc.Modal;
  MoveStepState& st = w.St;
  st.OverStrokeAxis = -1;
  st.CuttingLoadAlarm = 0;
  st.BlockAlarm = 0;
  st.End = MoveEnd::kNone;
  MoveStepPlan plan = PlanMoveSteps(w.Nc, w.Records, st);
  const std::array<double, 5>& delta = plan.Delta;

  // A locked rotary axis may not turn: the run ends before anything is cut.
  if (modal.PendingEnds.Count == 0) {
    if (delta[3] != 0.0 && modal.Interp.RotaryLocked[0] != 0) {
      RaiseAlarm(w, kAlarmRotaryLock, "rotary axis 1 turns while it is locked");
      return st.End = MoveEnd::kAlarm;
    }
    if (delta[4] != 0.0 && modal.Interp.RotaryLocked[1] != 0) {
      RaiseAlarm(w, kAlarmRotaryUnlock, "rotary axis 2 turns while it is locked");
      return st.End = MoveEnd::kAlarm;
    }
  }
  const bool rapid = plan.Rapid;
  const bool armed = w.Checks.Interference != 0 && (rapid || move.Feed >= w.Checks.RapidFeedrate);
  if (w.Defs.Settings.IgnoreG00 != 0 && rapid) return Jump(w, plan.End);
  if (plan.Length < ctl.Tolerance && !plan.Forced) return Jump(w, plan.End);

  const double pitch = w.Defs.Settings.Pitch.MovePitch;
  const int64_t n = plan.Count;
  if (n < 0) {
    RaiseAlarm(w, kAlarmMoveSteps,
               !(pitch > 0.0) ? "the move pitch is 0 or less"
                              : "the move needs more than 100000000 steps at the move pitch");
    return st.End = MoveEnd::kAlarm;
  }
  st.Steps = n;
  const bool showSteps =
      (w.Defs.Settings.RealRotation != 0 && (delta[3] != 0.0 || delta[4] != 0.0)) ||
      (w.Defs.Settings.RealRapid != 0 && rapid && modal.CannedCycle == kNoCannedCycle);
  w.Control.ShowSteps.store(showSteps ? 1 : 0);
  const double stepLength = plan.Length / static_cast<double>(n);
  SetMoveStepCount(plan, w.Nc, w.Records, n);

  bool alarm = false;
  StepMove(plan, w.Nc, w.Records, [&](int64_t i) {
    // 2., 3. Cut attributes and the machine position.
    SetCutAttributes(w);
    UpdateSessionPosition(session);
    WrapShortestRouteRotaries(w.Records, w.Position.MachinePosition);
    // 4. Over-stroke.
    if (!WithinStroke(w)) {
      st.End = MoveEnd::kOverStroke;
      return false;
    }
    // 5., 6. The cut and the structure checks.
    ResetInterferenceFlags(w.Nc.Run.Hits);
    w.Nc.Run.PoseRemovedVolume = 0.0;
    if (!CutStep(w, pitch)) {
      alarm = true;
      return false;
    }
    const double removedVolume = w.CycleRapid() ? 0.0 : w.Nc.Run.PoseRemovedVolume;
    const bool removed = removedVolume > 0.0;
    InterferenceHits& hits = w.Nc.Run.Hits;
    hits.ContactFlag = removed ? 1 : 0;
    // 7. Cutting-load limits.
    if (removed) CheckCuttingLoad(w, removedVolume, stepLength, true);
    // 8. The alarm test.
    const bool spindle = SpindleAlarm(w, removed);
    const bool kernel = KernelAlarm(hits);
    const bool raised =
        (rapid && removed && armed) || spindle || kernel || AnyInterferenceFlag(hits) != 0;
    if (raised) {
      hits.StepAlarmFlag = 1;
      st.BlockAlarm = 1;
      SaveStepPosition(w);
    }
    // 9. StepStatus.
    const int32_t status = DecideStepStatus(w, removed, armed, spindle || kernel || raised);
    SetStepStatus(w, status);
    TracePose(w, status);
    // 10. The detailed interference report and the stop decision.
    if (status == kStepAlarm) {
      RunReports& reports = w.Pass.Reports;
      if (!reports.InterferenceStream) {
        OpenInterference2Report(reports, w.Pass.ReportLinks);
      } else if (reports.DetailedReport == 1) {
        FormatInterferenceSummary(reports, w.Pass.ReportLinks);
        WriteInterferenceStepLine(reports, static_cast<int32_t>(std::min<int64_t>(i, INT32_MAX)),
                                  static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX)), PoseOf(w));
      }
      if (CheckStopOnInterference(w.Nc, w.Checks, session.Work, reports.Stops) != 0) {
        st.End = MoveEnd::kStopHit;
        return false;
      }
    }
    // 11., 12. The redraw handshake and the abort.
    if (!StepRedraw(w, i, n) || w.Control.Abort.load() != 0) {
      st.End = MoveEnd::kAbort;
      return false;
    }
    return true;
  });
  if (alarm) return st.End = MoveEnd::kAlarm;
  KeepMoveEnd(plan, move);
  if (st.End != MoveEnd::kNone) {
    st.MachineStart = w.Position.MachinePosition;
    return st.End;
  }
  return AfterMove(w);
}

MoveEnd InterpolateNurbsMove(Session& session) {
  StepWork w(session);
  MoveStepState& st = w.St;
  const ControllerDefinition& ctl = w.Defs.Controller;
  st.OverStrokeAxis = -1;
  st.CuttingLoadAlarm = 0;
  st.BlockAlarm = 0;
  st.End = MoveEnd::kNone;
  w.Control.ShowSteps.store(0);
  w.Control.LinePendingAtStop.store(0);
  const double pitch = w.Defs.Settings.Pitch.MovePitch;
  const bool armed =
      w.Checks.Interference != 0 && (w.Rapid() || w.Move.Feed >= w.Checks.RapidFeedrate);
  bool stopHit = false;
  // Ends that leave the machine's start as it was.
  bool endedAtOnce = false;
  const auto atStep = [&](const NurbsStep& step) {
    if (w.Window() && w.View.PaintStatusPosition)
      w.View.PaintStatusPosition(static_cast<int32_t>(std::min<int64_t>(step.Index, INT32_MAX)));
    SetCutAttributes(w);
    UpdateSessionPosition(session);
    if (!WithinStroke(w)) {
      w.Nc.Run.Hits.StepAlarmFlag = 1;
      SaveStepPosition(w);
      st.End = MoveEnd::kOverStroke;
      return false;
    }
    ResetInterferenceFlags(w.Nc.Run.Hits);
    w.Nc.Run.PoseRemovedVolume = 0.0;
    w.Pass.Cutter->CutPose(w.Position.ToolTip, w.Position.ToolAxis);
    const bool removed = w.Nc.Run.PoseRemovedVolume > 0.0;
    if (removed) w.Nc.Run.MarkProcessCut();
    InterferenceHits& hits = w.Nc.Run.Hits;
    hits.ContactFlag = removed ? 1 : 0;
    const bool load =
        removed && CheckCuttingLoad(w, w.Nc.Run.PoseRemovedVolume, step.StepLength, false);
    const bool raised = SpindleAlarm(w, removed) || KernelAlarm(hits) || load;
    const int32_t status = DecideStepStatus(w, removed, armed, raised);
    SetStepStatus(w, status);
    TracePose(w, status);
    if (status == kStepAlarm) {
      st.BlockAlarm = 1;
      stopHit = CheckStopOnInterference(w.Nc, w.Checks, session.Work, w.Pass.Reports.Stops) != 0;
      return false;
    }
    if (step.Index == step.Count && step.Span == step.Last) w.Control.RunEndedByCheck.store(0);
    return true;
  };
  const auto afterSpan = [&](const NurbsStep&) {
    if (w.Control.RunEndedByCheck.load() != 0) {
      st.End = MoveEnd::kAlarm;
      endedAtOnce = true;
      return false;
    }
    if (stopHit) st.End = MoveEnd::kStopHit;
    if (w.Control.Abort.load() != 0) st.End = MoveEnd::kAbort;
    if (st.End != MoveEnd::kNone) return false;
    if (ctl.StopOption == 2 && w.Window() && !Redraw(w)) {
      st.End = MoveEnd::kAbort;
      endedAtOnce = true;
      return false;
    }
    return true;
  };
  // The curve starts where the last move left the tool.
  switch (StepNurbsCurve(w.Nc, w.Records, st, pitch, atStep, afterSpan)) {
    case NurbsStepEnd::kTooManySteps:
      RaiseAlarm(w, kAlarmMoveSteps, "a NURBS span needs more steps than a move may take");
      return st.End = MoveEnd::kAlarm;
    case NurbsStepEnd::kNoPoint:
      // No point of the curve here: nothing is cut with it.
      RaiseAlarm(w, kAlarmNurbsData, "a NURBS point whose weighted basis sums to 0");
      return st.End = MoveEnd::kAlarm;
    case NurbsStepEnd::kStopped:
    case NurbsStepEnd::kDone:
      break;
  }
  if (endedAtOnce) return st.End;
  if (st.End != MoveEnd::kNone) {
    st.MachineStart = w.Position.MachinePosition;
    return st.End;
  }
  if (ctl.StopOption == 3 && w.Window() && !Redraw(w)) return st.End = MoveEnd::kAbort;
  const MoveEnd end = AfterMove(w);
  w.Nc.Modal.MotionMode = kMotionRapid;
  w.Nc.Run.MotionMode = kMotionRapid;
  return end;
}

MoveEnd SimulateMove(Session& session) {
  if (!HandleSpecialBlock(session)) return session.Pass->Steps.End = MoveEnd::kNone;
  if (session.Nc.Run.MotionMode == kMotionNurbs) return InterpolateNurbsMove(session);
  return InterpolateMove(session);
}

}  // namespace vestan
