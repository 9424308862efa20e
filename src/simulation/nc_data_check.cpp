#include "simulation/nc_data_check.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "machine/position_conversion.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_modal_operations.h"
#include "nc/position_update.h"
#include "nc/nurbs.h"
#include "nc/tool_length_offset.h"
#include "nc/coordinate_transforms.h"
#include "simulation/session_files.h"

namespace vestan {

double ComputeAccelMoveTime(double length, double vs, double vmax, double ve, double acc) {
  if (vs == 0.0) vs = 10.0;
  if (vmax == 0.0) vmax = 10.0;
  if (ve == 0.0) ve = 10.0;
  // No acceleration from the machine definition: the move at full speed.
  if (!(acc > 0.0) || !std::isfinite(acc)) return length / vmax;
  const double a = acc * 9800.0;
  const double ta = (vmax - vs) / a;
  const double td = (vmax - ve) / a;
  const double da = (vs + vmax) * 0.5 * ta;
  const double dd = (vmax + ve) * 0.5 * td;
  if (length > da + dd) return (length - da - dd) / vmax + ta + td;
  const double vp = std::sqrt(vs * vs * 0.5 + a * length + ve * ve * 0.5);
  return (vp - ve) / a + (vp - vs) / a;
}

namespace {

CheckProcess& CurrentProcess(NcCheckResults& r) {
  return r.Processes[static_cast<size_t>(std::clamp(r.ProcessCount, 1, kMaxCheckProcesses))];
}

void BookLength(NcCheckResults& r, const TimeModel& model, double length, double feed) {
  r.FeedLength += length;
  (feed < model.RapidFeedLimit ? r.CuttingFeedLength : r.RapidSpeedLength) += length;
}

}  // namespace

void AccumulateMachiningTime(NcCheckResults& r, const TimeModel& model, int32_t mode, double length,
                             double f0, double f, double f1) {
  const PendingFeedSegment& p = r.Pending;
  double time = 0.0;
  if (mode == kMotionLinear && p.Count == 1 && length > 0.0) {
    const Vec3 d{p.End[0] - p.Start[0], p.End[1] - p.Start[1], p.End[2] - p.Start[2]};
    const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
    const size_t axis = ax >= ay && ax >= az ? 0 : (ay >= ax && ay >= az ? 1 : 2);
    const double k = std::fabs(d[axis]) / length;
    time = ComputeAccelMoveTime(std::fabs(d[axis]), k * f0 / 60, k * f / 60, k * f1 / 60,
                                model.CuttingAcceleration[axis]);
  } else {
    time = ComputeAccelMoveTime(length, f0 / 60, f / 60, f1 / 60, model.CuttingAcceleration[0]);
  }
  r.FeedTime += time;
  (f < model.RapidFeedLimit ? r.CuttingFeedTime : r.RapidSpeedTime) += time;
  CurrentProcess(r).Time += time;
}

void ComputeMoveTime(NcCheckResults& r, const TimeModel& model, int32_t mode, double length,
                     double f, const Vec3& start, const Vec3& end, const Vec3& direction) {
  PendingFeedSegment& p = r.Pending;
  bool merge = p.Length == 0.0;
  if (p.Length == 0.0) {
    p.Feed = f;
    p.Start = start;
  } else {
    const double n1 = VectorLength(direction), n2 = VectorLength(p.Direction);
    double nextStart = 0.0;
    bool booked = false;
    if (n1 > 0.0 && n2 > 0.0) {
      const double c = std::clamp(VectorDot(direction, p.Direction) / (n1 * n2), -1.0, 1.0);
      if (std::acos(c) * 180.0 / std::numbers::pi <= model.SmoothAngle) {
        if (f == p.Feed) {
          merge = true;
        } else {
          // A feed change on a straight run: joined at the lower feed.
          nextStart = std::min(p.Feed, f);
          AccumulateMachiningTime(r, model, p.Mode, p.Length, p.StartSpeed, p.Feed, nextStart);
          booked = true;
        }
      }
    }
    if (!merge) {
      if (!booked) AccumulateMachiningTime(r, model, p.Mode, p.Length, p.StartSpeed, p.Feed, 0.0);
      BookLength(r, model, p.Length, p.Feed);
      p.Start = start;
      p.End = end;
      p.Count = 1;
      p.Length = length;
      p.Feed = f;
      p.StartSpeed = nextStart;
      p.Direction = direction;
      p.Mode = mode;
      return;
    }
  }
  ++p.Count;
  p.End = end;
  p.Length += length;
  p.Direction = direction;
  p.Mode = mode;
}

void FlushMoveTime(NcCheckResults& r, const TimeModel& model) {
  PendingFeedSegment& p = r.Pending;
  if (p.Length > 0.0) {
    AccumulateMachiningTime(r, model, p.Mode, p.Length, p.StartSpeed, p.Feed, 0.0);
    BookLength(r, model, p.Length, p.Feed);
  }
  p = PendingFeedSegment{};
}

namespace {

// The curve's buffers are sized to their capacity: only the points read count.
size_t ControlPointCount(const NurbsCurve& curve) {
  return std::min({curve.X.size(), curve.Y.size(), curve.Z.size(),
                   static_cast<size_t>(std::max(curve.PointCount, 0))});
}

}  // namespace

void UnwindTransformStack(NcContext& nc) {
  NurbsCurve& curve = nc.Nurbs;
  if (curve.Allocated == 0) return;
  const size_t count = ControlPointCount(curve);
  const CoordinateRotation& rotation = nc.Modal.Rotation;
  if (rotation.State == kRotationActive) {
    const int32_t levels = std::min<int32_t>(rotation.Count, static_cast<int32_t>(kRotationSlots));
    for (int32_t level = levels - 1; level >= 0; --level) {
      const RotationSlot& slot = rotation.Slots[static_cast<size_t>(level)];
      // The points were scaled as they were read, so the centre is scaled alike.
      Vec3 centre = slot.Centre;
      ApplyScalingToAxis(nc.Modal.Scaling, slot.Axes[0], centre[0]);
      ApplyScalingToAxis(nc.Modal.Scaling, slot.Axes[1], centre[1]);
      const bool aboutOrigin = slot.AxisWord != kRotationAxisNone;
      for (size_t i = 0; i < count; ++i) {
        std::array<double, 3> p{curve.X[i], curve.Y[i], curve.Z[i]};
        RotateTranslatePoint(p, slot.Axes, slot.Cos, slot.Sin, centre, aboutOrigin);
        curve.X[i] = p[0];
        curve.Y[i] = p[1];
        curve.Z[i] = p[2];
      }
    }
  }
  const MirrorImageState& mirror = nc.BlockEnd.Mirror;
  if (mirror.On == 0) return;
  std::array<std::vector<double>*, 3> axes{&curve.X, &curve.Y, &curve.Z};
  for (size_t a = 0; a < 3; ++a) {
    if (mirror.Mirrored[a] == 0) continue;
    for (size_t i = 0; i < count; ++i) (*axes[a])[i] = 2.0 * mirror.Centre[a] - (*axes[a])[i];
  }
}

namespace {

Vec3 Xyz(const AxisPosition& p) { return {p[0], p[1], p[2]}; }

// The tool change of the check, by the machine's ATC type; true when a tool
// went into the spindle.
bool CheckToolChange(Session& s, const NcPassRecords& records, int32_t& preselected) {
  NcModalState& modal = s.Nc.Modal;
  const int32_t pending = modal.Tools.NextToolNumber;
  if (pending < 0 || modal.PendingEnds.Count != 0) return false;
  const ControllerDefinition& ctl = s.Defs.Controller;
  const int32_t atc = IsHeidenhainDialect(ctl) ? kAtcDirect : s.Defs.Machine.AtcType;
  const bool m6 = modal.LastMCode == 6;
  int32_t tool = 0;
  if (atc == kAtcWait2 && m6) {
    tool = preselected;
    preselected = pending;
  } else if (atc == kAtcDirect || m6) {
    tool = pending;
    preselected = pending;
    modal.Tools.NextToolNumber = kNoTool;
  } else {
    if (records.ActiveReadPlugin < 0) preselected = pending;
    return false;
  }
  modal.Tools.CurrentToolNumber = tool;
  ToolChangeRecords change = ToolChangeOf(s, records.Tools);
  SetCurrentTool(tool, 0.0, change);
  if (IsHeidenhainDialect(ctl) || ctl.isSiemens != 0) ApplyToolLengthOffset(modal, records);
  return true;
}

}  // namespace

int32_t CheckNcData(Session& s, int32_t mode, NcCheckResults& r) {
  const bool full = mode == kCheckData;
  const MachinePositionState savedPosition = s.Nc.Position;
  const NcToolNumbers savedTools = s.Nc.Modal.Tools;
  NcPassCopy copy = CopyForPass(s);

  if (full) {
    r = NcCheckResults{};
    r.ToolCodes.assign(static_cast<size_t>(std::max(0, s.Defs.Tools.MaxToolNumber)) + 1, 0);
    r.Processes[1].Tool = savedTools.CurrentToolNumber;
  } else {
    r.Work = r.Machine = r.CuttingWork = r.CuttingMachine = r.CuttingSpan = CheckExtents{};
  }
  r.ProgramRead = 0;
  TimeModel model;
  model.RapidFeedLimit = s.Defs.Checks.RapidFeedrate;
  model.SmoothAngle = s.Defs.Controller.SmoothAngle;
  const MachineDefinition& machine = s.Defs.Machine;
  for (size_t i = 0; i < 3; ++i) model.CuttingAcceleration[i] = machine.CuttingAcceleration[i];

  StartRunPass(s, copy.Tools);
  RunPass& pass = *s.Pass;
  pass.Driver.Options.DataCheck = 1;
  // A line held at a stop of an aborted run would be read in place of the
  // program's first.
  s.Control.LinePendingAtStop.store(0);
  const NcPassRecords records = NcPassOf(s, copy);
  NcContext& nc = s.Nc;
  NcModalState& modal = nc.Modal;
  const WorkpiecePlacement placement = WorkPlacementOf(s);
  LoadNcProgramText(nc, records, pass.Reader);
  // The reader counts the program's bytes as it reads them (a read plug-in
  // without a count of its blocks shows no progress).
  NcProgramSource source;
  source.ReadPluginActive = records.ActiveReadPlugin >= 0 && pass.Reader.Plugin != nullptr;
  BeginFileProgress(s.Progress, s.Defs.Paths.NcProgram, full ? "データチェック" : "最大最小チェック",
                    full ? "Check Data" : "Check Min-Max", source);
  const bool opened = OpenNcProgram(records, pass.Reader) != kNcProgramNotOpened;
  int32_t preselected = savedTools.CurrentToolNumber;
  int32_t startMet = 0;
  while (opened && modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
    NextNcMove(nc, records, pass.Reader, pass.Driver);
    if (full) r.MaxSpindleSpeed = std::max(r.MaxSpindleSpeed, modal.SpindleSpeed);
    if (modal.ProgramStarted == 0) continue;
    startMet = 1;
    if (CheckToolChange(s, records, preselected) && full) {
      const double change = machine.ToolChangeTime;
      r.RapidTime += change;
      r.RapidSpeedTime += change;
      if (CurrentProcess(r).Time > 0.0) {
        if (r.ProcessCount < kMaxCheckProcesses) {
          ++r.ProcessCount;
        } else if (r.ProcessOverflowNoted == 0) {
          r.ProcessOverflowNoted = 1;
          s.Shell.Log("the data check counts at most 200 processes; the rest are booked to the last");
        }
      }
    }
    if (full) CurrentProcess(r).Tool = modal.Tools.CurrentToolNumber;
    if (modal.LastGCode == 92) continue;
    const NcMove& move = nc.Move;
    FinishMove(nc, records);
    const Vec3 startTip = nc.Position.ToolTip;
    const int32_t motion = move.MotionMode;
    const bool nurbs = motion == kMotionNurbs && nc.Nurbs.Allocated != 0;
    if (nurbs) UnwindTransformStack(nc);
    UpdateFileProgress(s.Progress, 0);
    // Under a rotation or a mirror image the tool goes to the turned place,
    // as in the run.
    const bool transformed = BlockEndTransformed(nc);
    const AxisPosition& place = transformed ? nc.BlockEnd.Current : move.End;
    nc.Position.ProgramPosition = place;
    UpdateMachinePosition(nc, records, placement);
    if (modal.AlarmCode != kAlarmNone) break;

    const Vec3 tip = nc.Position.ToolTip;
    const AxisPosition& offset = copy.Memory.Offsets.ActiveWorkOffset;
    // Program coordinates to machine ones at this block: work offset and
    // tool length together, as the tip shows them.
    const Vec3 shift{tip[0] - place[0], tip[1] - place[1], tip[2] - place[2]};
    const Vec3 toWork{offset[0], offset[1], offset[2]};
    const bool cutting = motion >= kMotionLinear && move.Feed < model.RapidFeedLimit;
    // A NURBS block moves along its curve whatever its end; like the run,
    // the check goes on in rapid mode after it, so the next block is no
    // curve again.
    const bool moves = modal.MoveExists != 0 || nurbs;
    if (nurbs) {
      modal.MotionMode = kMotionRapid;
      nc.Run.MotionMode = kMotionRapid;
    }
    auto addExtents = [&](const Vec3& machinePoint, bool all) {
      const Vec3 work{machinePoint[0] - toWork[0], machinePoint[1] - toWork[1],
                      machinePoint[2] - toWork[2]};
      if (all && full) {
        r.Work.Add(work);
        r.Machine.Add(machinePoint);
      }
      if (cutting) {
        r.CuttingWork.Add(work);
        r.CuttingMachine.Add(machinePoint);
        r.CuttingSpan.Add(machinePoint);
      }
    };
    const double dwell = modal.Interp.DwellTime;

    if (full) {
      if (modal.Interp.DwellFlag != 0) {
        FlushMoveTime(r, model);
        if (motion == kMotionRapid) {
          r.RapidTime += dwell;
          r.RapidSpeedTime += dwell;
        } else {
          r.FeedTime += dwell;
          r.CuttingFeedTime += dwell;
        }
        CurrentProcess(r).Time += dwell;
      }
      const int32_t d = modal.Interp.RadiusOffsetNumber, h = modal.LengthOffsetNumber;
      if (d > 0 && d < kCheckCodes) r.DCodes[static_cast<size_t>(d)] = 1;
      if (h > 0 && h < kCheckCodes) r.HCodes[static_cast<size_t>(h)] = 1;
      const int32_t t = modal.Tools.CurrentToolNumber;
      if (t >= 0 && static_cast<size_t>(t) < r.ToolCodes.size()) r.ToolCodes[static_cast<size_t>(t)] = 1;
      if (moves) {
        const Vec3 d3{move.End[0] - move.Start[0], move.End[1] - move.Start[1],
                      move.End[2] - move.Start[2]};
        if (motion == kMotionRapid) {
          FlushMoveTime(r, model);
          std::array<double, 2> rot{};
          for (size_t a = 0; a < 2; ++a) {
            double delta = move.End[3 + a] - move.Start[3 + a];
            if (records.Memory.ShortestRoute[a] != 0) delta = std::remainder(delta, 360.0);
            rot[a] = delta * std::numbers::pi / 180.0;  // at radius 1
          }
          const double length = std::sqrt(d3[0] * d3[0] + d3[1] * d3[1] + d3[2] * d3[2] +
                                          rot[0] * rot[0] + rot[1] * rot[1]);
          if (length > 0.0) {
            r.RapidLength += length;
            r.RapidSpeedLength += length;
            const double ax = std::fabs(d3[0]), ay = std::fabs(d3[1]), az = std::fabs(d3[2]);
            const size_t axis = ax > ay && ax > az ? 0 : (ay > ax && ay > az ? 1 : 2);
            const double time = ComputeAccelMoveTime(std::fabs(d3[axis]), 0.0,
                                                     machine.RapidRate[axis] / 60.0, 0.0,
                                                     machine.RapidAcceleration[axis]);
            r.RapidTime += time;
            r.RapidSpeedTime += time;
            CurrentProcess(r).Time += time;
          }
        } else if (motion == kMotionLinear) {
          const double length = VectorLength(d3);
          if (length > 0.0)
            ComputeMoveTime(r, model, motion, length, move.Feed, Xyz(move.Start), Xyz(move.End), d3);
        } else if (IsArcMotion(motion) || motion == kMotionNurbs) {
          double length = 0.0;
          if (motion == kMotionNurbs) {
            length = GetNurbsCurveLength(nc.Nurbs, s.Defs.Controller);
          } else {
            const size_t normal = static_cast<size_t>(modal.Plane.PlaneAxes[2]);
            length = std::hypot(move.End[normal] - move.Start[normal], move.Length);
          }
          if (length > 0.0)
            ComputeMoveTime(r, model, motion, length, move.Feed, Xyz(move.Start), Xyz(move.End),
                            Vec3{});
        }
        if (move.Feed > 0.0) {
          r.MaxFeed = std::max(r.MaxFeed, move.Feed);
          if (move.Feed < model.RapidFeedLimit) r.MaxCuttingFeed = std::max(r.MaxCuttingFeed, move.Feed);
          r.MinFeed = std::min(r.MinFeed, move.Feed);
        }
        const int32_t cycle = modal.CannedCycle;
        if (motion == kMotionLinear && move.Start[2] > move.End[2] &&
            (cycle == 76 || cycle == 82 || cycle == 88 || cycle == 89)) {
          r.FeedTime += dwell;
          r.CuttingFeedTime += dwell;
          CurrentProcess(r).Time += dwell;
        }
      }
    }
    if (!moves) continue;
    if (IsArcMotion(motion) && move.Length > 0.0) {
      const std::array<int32_t, 3>& axes = modal.Plane.PlaneAxes;
      Vec3 lo, hi;
      // The turned arc: its start and end places and its centre with the
      // same treatment.
      const BlockEndState& turned = nc.BlockEnd;
      ComputeArcBoundingBox(axes[0], axes[1], axes[2], motion == kMotionClockwise ? -1 : 1,
                            Xyz(transformed ? turned.Previous : move.Start), Xyz(place),
                            transformed ? turned.CentreCopy : move.Centre, move.StartRadius,
                            move.ArcAngle, lo, hi);
      addExtents(Vec3{lo[0] + shift[0], lo[1] + shift[1], lo[2] + shift[2]}, true);
      addExtents(Vec3{hi[0] + shift[0], hi[1] + shift[1], hi[2] + shift[2]}, true);
    } else if (nurbs) {
      const NurbsCurve& curve = nc.Nurbs;
      const size_t count = ControlPointCount(curve);
      for (size_t i = 0; i < count; ++i)
        addExtents(Vec3{curve.X[i] + shift[0], curve.Y[i] + shift[1], curve.Z[i] + shift[2]}, true);
    } else {
      if (cutting) r.CuttingSpan.Add(startTip);
      addExtents(tip, true);
    }
  }
  r.ProgramRead = opened ? 1 : 0;
  const int32_t alarm = opened && startMet == 0 ? kAlarmNoStartCode : modal.AlarmCode;
  if (full) {
    FlushMoveTime(r, model);
    r.GCodes = modal.Interp.GCodeUsed;
    r.MCodes = modal.Interp.MCodeUsed;
  }
  r.LineCount = static_cast<int32_t>(modal.MainLineCounter);

  // The session as it was: tools, position, a fresh NC state.
  pass.Reader.MainStream = FileStream{};
  EndFileProgress(s.Progress);
  EndSubProgress(s.Progress);
  s.Nc.Modal.Tools = savedTools;
  ToolChangeRecords change = ToolChangeOf(s, copy.Tools);
  SetCurrentTool(savedTools.CurrentToolNumber, s.Defs.Settings.Pitch.WorkPitch, change);
  ResetNcModalState(s.Nc, NcPassOf(s, copy.Tools));
  s.Nc.Modal.Tools = savedTools;
  s.Nc.Position = savedPosition;
  s.Nc.Modal.AlarmCode = alarm;
  return opened ? kCheckDone : kCheckNotOpened;
}

}  // namespace vestan
