#include "display/cut_path.h"

#include <algorithm>
#include <cmath>

#include "machine/interference_transforms.h"
#include "machine/position_conversion.h"
#include "machine/rotary_angles.h"
#include "model/tool_profile.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_modal_operations.h"
#include "nc/nurbs.h"
#include "nc/position_update.h"
#include "nc/tool_length_offset.h"
#include "platform/progress.h"
#include "simulation/move_steps.h"

namespace vestan {

namespace {

// The records of one drawing. Its reader gets a run control of its own, so
// that it never takes a line the run holds at a stop nor clears the run's
// one-shot stop, and display flags of its own, so that the offsets and
// tools the program sets rebuild no list of the view.
struct PathPass {
  explicit PathPass(Session& session)
      : S(session),
        Copy(CopyForPass(session)),
        Nc(Run),
        Reader(session.Program),
        Hooks(MakeNcReaderHooks(Reader)),
        Tool(session.Tool),
        Profile(session.Profile),
        Records{session.Defs, Copy.Memory,  Copy.Tools,         session.Defs.Settings.ControlPoint,
                Copy.Frame,   Flags,        Tool,               Profile,
                Control,      session.Shell} {
    Records.BlockHooks = &Hooks;
    Reader.EnglishMode = session.App.EnglishMode;
    Reader.Progress = &session.Progress;
    Driver.Options.DataCheck = 1;
    // The pass starts as a run would: the tool in the spindle, its length
    // compensation and where the machine stands.
    Nc.Position = session.Nc.Position;
    Nc.Modal.Tools = session.Nc.Modal.Tools;
    Nc.Modal.Length = session.Nc.Modal.Length;
    Preselected = Nc.Modal.Tools.CurrentToolNumber;
  }

  Session& S;
  NcPassCopy Copy;
  RunState Run;
  NcContext Nc;
  NcReader Reader;
  BlockInterpreterHooks Hooks;
  MotionDriver Driver;
  RunControl Control;
  DisplayListTable Flags;
  CurrentTool Tool;
  ToolProfile Profile;
  NcPassRecords Records;
  MoveStepState Steps;
  int32_t Preselected = 0;
};

// What a drawing emits and how.
struct PathPen {
  GlCalls& Gl;
  const ColourMaterials& Materials;
  const Settings& Options;
  const ColorSettings& Colours;  // the pens' path flags
  const CutPathSwitches& Switches;
  double Scale = 500.0;
  CutPathResult Result;
};

void UpdatePosition(PathPass& p) {
  UpdateMachinePosition(p.Nc, p.Records, PlacementOf(p.S.Work.Workpiece()));
}

Vec3 DisplayPoint(const PathPass& p, const PathPen& pen) {
  const Vec3& tip = p.Nc.Position.ToolTip;
  return {tip[0] / pen.Scale, tip[1] / pen.Scale, tip[2] / pen.Scale};
}

void WrapRotaries(const PathPass& p, AxisPosition& at) {
  const StrokeLimits& limits = p.S.Defs.Limits;
  for (size_t r = 0; r < 2; ++r) {
    if (p.Copy.Memory.ShortestRoute[r] == 0 || limits.Enabled[3 + r] == 0) continue;
    WrapAngle360(at[3 + r], limits.Minimum[3 + r], limits.Maximum[3 + r]);
  }
}

// The tool change as the run makes it, on the drawing's own tool records:
// the new tool's length places the tips and its pen colours the path.
void LoadTool(PathPass& p, int32_t tool) {
  Definitions& defs = p.S.Defs;
  p.Nc.Modal.Tools.CurrentToolNumber = tool;
  ToolChangeRecords change{p.Copy.Tools,    p.Tool,          p.Profile,
                           p.Nc.Position,   p.Nc.Modal.Length, p.Flags,
                           defs.Machine,    defs.Kinematics, defs.Controller,
                           defs.Checks,     defs.Settings.Pitch};
  // No pitch: only the tool's lengths and pen are needed, not its profile.
  SetCurrentTool(tool, 0.0, change);
}

void ChangeTool(PathPass& p) {
  NcModalState& modal = p.Nc.Modal;
  const int32_t pending = modal.Tools.NextToolNumber;
  if (pending < 0 || modal.PendingEnds.Count != 0) return;
  const ControllerDefinition& ctl = p.S.Defs.Controller;
  const int32_t atc = IsHeidenhainDialect(ctl) ? kAtcDirect : p.S.Defs.Machine.AtcType;
  const bool m6 = modal.LastMCode == 6;
  if (atc == kAtcWait2 && m6 && modal.BlockTool >= 0) {
    LoadTool(p, p.Preselected);
    p.Preselected = pending;
    UpdatePosition(p);
  } else if ((atc == kAtcWait2 || atc == kAtcWait) && !m6) {
    p.Preselected = pending;
  } else {
    p.Preselected = pending;
    LoadTool(p, pending);
    modal.Tools.NextToolNumber = kNoTool;
    if (IsHeidenhainDialect(ctl) || ctl.isSiemens != 0) ApplyToolLengthOffset(modal, p.Records);
    UpdatePosition(p);
  }
}

// 1 when the mode was switched on by this block, 2 when off, else 0.
int32_t Transition(int32_t now, int32_t& before) {
  const int32_t was = before;
  before = now;
  if ((now != 0) == (was != 0)) return 0;
  return now != 0 ? 1 : 2;
}

bool MovesAnyAxis(const NcMove& move) {
  for (size_t a = 0; a < 5; ++a)
    if (move.Start[a] != move.End[a]) return true;
  return move.ToolAxisStart != move.ToolAxisEnd;
}

bool MovesLinearAxis(const NcMove& move) {
  for (size_t a = 0; a < 3; ++a)
    if (move.Start[a] != move.End[a]) return true;
  return false;
}

void StayAtCurrent(PathPass& p) {
  NcMove& move = p.Nc.Move;
  move.Start = move.End;
  p.Nc.Position.ProgramPosition = move.End;
  UpdatePosition(p);
}

// The blocks that set a coordinate state rather than move, handled as the
// run handles them; true when the move is to be stepped.
bool TakeSpecialBlock(PathPass& p) {
  NcContext& nc = p.Nc;
  NcModalState& modal = nc.Modal;
  NcMove& move = nc.Move;
  MoveStepState& st = p.Steps;
  const bool osp = IsOspDialect(p.S.Defs.Controller);
  const int32_t g = modal.LastGCode;
  const int32_t polar = Transition(modal.Polar.On, st.PolarBefore);
  const int32_t cylindrical = Transition(modal.Cylindrical.On, st.CylindricalBefore);
  const int32_t toolCentre = Transition(modal.ToolAxisMode, st.ToolAxisModeBefore);
  const bool rapidOrLinear = nc.Run.MotionMode == kMotionRapid || nc.Run.MotionMode == kMotionLinear;
  const bool arc = IsArcMotion(nc.Run.MotionMode);
  const bool axisGiven = modal.Interp.AnyAxisGiven != 0;

  if (g == 92 || g == 68 || (g == 127 && osp)) {
    move.Start = nc.Position.ProgramPosition;
    UpdatePosition(p);
    return false;
  }
  if (modal.Rotation.State == kRotationActive && modal.Interp.ReferenceReturnMode == kReferenceNone) {
    if (rapidOrLinear && !axisGiven) return false;
    if (arc && move.Length == 0.0) return false;
  }
  if ((g == 69 || (g == 126 && osp) || g == 255) && modal.Rotation.State == kRotationNone) {
    MachinePositionState& position = nc.Position;
    AxisPosition program =
        SubtractWorkOffset(position.MachinePosition, p.Copy.Memory.Offsets.ActiveWorkOffset);
    program[static_cast<size_t>(modal.Plane.ToolLengthAxis)] -= ToolLengthEffect(position);
    position.ProgramPosition = program;
    move.Start = move.End = program;
    modal.TiltedPlane.Active = 0;
    return false;
  }
  FinishMove(nc, p.Records);
  if (toolCentre == 1 && !axisGiven) {
    StayAtCurrent(p);
    return false;
  }
  if (polar != 0 || cylindrical != 0) {
    StayAtCurrent(p);
    return false;
  }
  if ((modal.Polar.On != 0 || modal.Cylindrical.On != 0 || (g >= 17 && g <= 19)) && !axisGiven)
    return false;
  if (arc && move.Length == 0.0) return false;
  const bool machineMove = modal.MachineCoordinates != 0;
  if (modal.TiltedPlane.Active == 0 && !machineMove) {
    if (rapidOrLinear && g != kToolAxisDirectionCode && !MovesAnyAxis(move) &&
        modal.ReferenceReturnStage != kReferencePointReached)
      return false;
  } else if (modal.TiltedPlane.Active != 0 && !axisGiven && g != kToolAxisDirectionCode && !arc) {
    if (modal.CannedCycle == kNoCannedCycle || !MovesLinearAxis(move)) return false;
  }
  return true;
}

// The line strip of one move: its colour, whether its vertices show, and
// the construction point at its start.
class Strip {
 public:
  Strip(PathPen& pen, const PathPass& p, bool rapid) : pen_(pen) {
    const Settings& o = pen.Options;
    const int32_t penIndex = std::clamp(p.Tool.PenNumber, 0, kPenColourCount - 1);
    const bool penColours = o.TopPathColorMode == 0;
    shown_ = !(rapid && pen.Switches.HideRapid != 0) &&
             !(penColours && pen.Colours.Live.PenPathFlag[static_cast<size_t>(penIndex)] == 0);
    if (!shown_) return;
    const ColourMaterials& m = pen.Materials;
    const GlColour colour = pen.Switches.WithoutRotary != 0 ? m.SecondPath
                            : penColours ? m.Pens[static_cast<size_t>(penIndex)]
                                         : m.TopPath;
    const Vec3 start = DisplayPoint(p, pen);
    if (o.ConstructionPoint != 0) {
      pen.Gl.Begin(GlPrimitive::kPoints);
      pen.Gl.Colour(m.Construction);
      pen.Gl.Vertex(start);
      pen.Gl.End();
    }
    pen.Gl.Begin(GlPrimitive::kLineStrip);
    pen.Gl.Colour(colour);
    Add(start);
  }
  ~Strip() {
    if (!shown_) return;
    pen_.Gl.End();
    ++pen_.Result.Moves;
  }
  Strip(const Strip&) = delete;
  Strip& operator=(const Strip&) = delete;

  void Add(const Vec3& point) {
    if (!shown_) return;
    pen_.Gl.Vertex(point);
    ++pen_.Result.Vertices;
  }

 private:
  PathPen& pen_;
  bool shown_ = false;
};

// Whether the block's move is under a transform that the block end
// applies (rotation, mirror image, OSP work-offset rotation): the steps run
// between the places the block end gives.
bool EndTransformed(const NcContext& nc) {
  const bool rotation = nc.Modal.Rotation.State == kRotationActive && nc.Modal.LastGCode != 68;
  return rotation || nc.BlockEnd.Mirror.On != 0 || nc.BlockEnd.OspRotation.State == kOspActive;
}

// One move stepped as the run steps it; false when the path ends here (a
// move the run would refuse).
bool DrawMove(PathPass& p, PathPen& pen) {
  NcContext& nc = p.Nc;
  NcMove& move = nc.Move;
  const NcModalState& modal = nc.Modal;
  const Definitions& defs = p.S.Defs;
  const ControllerDefinition& ctl = defs.Controller;
  MoveStepState& st = p.Steps;
  const RotaryModalInputs rotaryInputs = MakeRotaryModalInputs(nc, p.Records);
  const WorkOffsetValues& offset = p.Copy.Memory.Offsets.ActiveWorkOffset;

  const bool transformed = EndTransformed(nc);
  const AxisPosition start = transformed ? nc.BlockEnd.Previous : move.Start;
  AxisPosition end = transformed ? nc.BlockEnd.Current : move.End;
  st.EndRadii = ComputeRotaryRadii(defs.Kinematics, ctl, nc.Position.ReferenceLength,
                                   AddWorkOffset(end, offset));
  std::array<double, 5> delta{};
  for (size_t a = 0; a < 3; ++a) delta[a] = end[a] - start[a];
  for (size_t r = 0; r < 2; ++r) {
    delta[3 + r] = p.Copy.Memory.ShortestRoute[r] != 0
                       ? GetRotaryAngleDelta(rotaryInputs, start[3 + r], end[3 + r])
                       : end[3 + r] - start[3 + r];
    end[3 + r] = start[3 + r] + delta[3 + r];
  }
  WrapRotaries(p, end);
  const double fA = RotaryLengthFactor(st.StartRadii[0], st.EndRadii[0]);
  const double fB = RotaryLengthFactor(st.StartRadii[1], st.EndRadii[1]);
  st.StartRadii = st.EndRadii;

  const bool rapid = nc.Run.MotionMode <= kMotionRapid;
  const bool linear = rapid || nc.Run.MotionMode == kMotionLinear;
  const bool arc = IsArcMotion(nc.Run.MotionMode);
  const std::array<int32_t, 3> axes = modal.Plane.PlaneAxes;
  const size_t a0 = static_cast<size_t>(axes[0]), a1 = static_cast<size_t>(axes[1]),
               a2 = static_cast<size_t>(axes[2]);
  double length = 0.0;
  if (arc) {
    length = std::hypot(move.Length, delta[a2]);
  } else {
    const double ra = delta[3] * fA, rb = delta[4] * fB;
    length = std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2] +
                       ra * ra + rb * rb);
  }
  const bool machineMove = modal.MachineCoordinates != 0 ||
                           modal.LastGCode == kToolAxisDirectionCode ||
                           modal.ReferenceReturnStage == kReferencePointReached;
  const bool forced = modal.TiltedPlane.Active != 0 || machineMove;
  // Rapids left out with IGNORE G00, and moves within the tolerance: the
  // tool is taken to the end at once, as the run takes it.
  const bool ignored = defs.Settings.IgnoreG00 != 0 && rapid;
  if (ignored || (length < ctl.Tolerance && !forced)) {
    nc.Position.ProgramPosition = end;
    UpdatePosition(p);
    st.MachineStart = nc.Position.MachinePosition;
    return true;
  }

  const double pitch = defs.Settings.Pitch.MovePitch;
  int64_t n = InterpolationStepCount(length, pitch);
  AxisPosition machineStart = st.MachineStart, machineEnd{}, machineStep{};
  if (machineMove) {
    machineEnd = AddWorkOffset(end, offset);
    machineEnd[static_cast<size_t>(modal.Plane.ToolLengthAxis)] += ToolLengthEffect(nc.Position);
    double machineLength = 0.0;
    for (size_t a = 0; a < 5; ++a) {
      const double d = machineEnd[a] - machineStart[a];
      const double f = a == 3 ? fA : a == 4 ? fB : 1.0;
      machineLength += d * f * d * f;
    }
    n = InterpolationStepCount(std::sqrt(machineLength), pitch);
  }
  if (n < 0) return false;
  // The second path draws a linear move as one chord.
  if (pen.Switches.WithoutRotary != 0 && linear) n = 1;
  const double dn = static_cast<double>(n);
  if (machineMove)
    for (size_t a = 0; a < 5; ++a) machineStep[a] = (machineEnd[a] - machineStart[a]) / dn;
  std::array<double, 5> step{};
  for (size_t a = 0; a < 5; ++a) step[a] = delta[a] / dn;
  const double angleStep = (move.MotionMode == kMotionClockwise ? -1.0 : 1.0) * move.ArcAngle / dn;

  if (rapid && pen.Switches.HideRapid == 0) {
    pen.Gl.Enable(GlCapability::kLineStipple);
    pen.Gl.LineStipple(1, kRapidStipple);
  } else {
    pen.Gl.Disable(GlCapability::kLineStipple);
  }
  {
    Strip strip(pen, p, rapid);
    for (int64_t i = 1; i <= n; ++i) {
      const double di = static_cast<double>(i);
      if (machineMove) {
        AxisPosition at = machineEnd;
        if (i != n)
          for (size_t a = 0; a < 5; ++a) at[a] = machineStart[a] + di * machineStep[a];
        nc.Position.MachinePosition = at;
      } else {
        AxisPosition at = end;
        if (i != n) {
          if (arc) {
            const double angle = di * angleStep;
            const double r = (1.0 - di / dn) * move.StartRadius + di / dn * move.EndRadius;
            const double u1 = move.StartRadial[a0], u2 = move.StartRadial[a1];
            const double c = std::cos(angle), s = std::sin(angle);
            at[a0] = move.Centre[a0] + r * (u1 * c - u2 * s);
            at[a1] = move.Centre[a1] + r * (u2 * c + u1 * s);
            at[a2] = start[a2] + di * step[a2];
          } else {
            for (size_t a = 0; a < 3; ++a) at[a] = start[a] + di * step[a];
          }
          for (size_t r = 3; r < 5; ++r) at[r] = start[r] + di * step[r];
          WrapRotaries(p, at);
        }
        nc.Position.ProgramPosition = at;
      }
      UpdatePosition(p);
      strip.Add(DisplayPoint(p, pen));
    }
  }
  if (!machineMove && !transformed) move.End = end;
  if (!machineMove && transformed)
    for (size_t r = 3; r < 5; ++r) move.End[r] = end[r];
  st.MachineStart = nc.Position.MachinePosition;
  return true;
}

// A NURBS curve span by span, as the run steps it; false when the path ends
// here.
bool DrawNurbsMove(PathPass& p, PathPen& pen) {
  NcContext& nc = p.Nc;
  NurbsCurve& curve = nc.Nurbs;
  const ControllerDefinition& ctl = p.S.Defs.Controller;
  const double pitch = p.S.Defs.Settings.Pitch.MovePitch;
  const int32_t last = curve.Allocated != 0 ? LastNurbsSpan(curve) : -1;
  bool ok = true;
  pen.Gl.Disable(GlCapability::kLineStipple);
  {
    Strip strip(pen, p, false);
    AxisPosition current = nc.Position.ProgramPosition;
    for (int32_t span = FirstNurbsSpan(curve); span <= last && ok; ++span) {
      const double k0 = curve.Knots[static_cast<size_t>(span)];
      const double k1 = curve.Knots[static_cast<size_t>(span + 1)];
      // A span of equal knots has no points.
      if (k1 == k0) continue;
      const int64_t n = InterpolationStepCount(GetNurbsSpanLength(curve, ctl, span), pitch);
      if (n < 0) {
        ok = false;
        break;
      }
      for (int64_t j = 1; j <= n; ++j) {
        const double t =
            j == n ? k1 : k0 + static_cast<double>(j) * (k1 - k0) / static_cast<double>(n);
        nc.Move.Start = current;
        nc.Move.End = current;
        if (!EvaluateNurbsPoint(curve, ctl, curve.Order, span, t, nc.Move.End)) {
          ok = false;
          break;
        }
        FinishMove(nc, p.Records);
        current = nc.Move.End;
        nc.Position.ProgramPosition = current;
        UpdatePosition(p);
        strip.Add(DisplayPoint(p, pen));
      }
      if (p.S.Control.Abort.load() != 0) break;
    }
  }
  p.Steps.MachineStart = nc.Position.MachinePosition;
  nc.Modal.MotionMode = kMotionRapid;
  nc.Run.MotionMode = kMotionRapid;
  return ok;
}

}  // namespace

CutPathResult DrawCutPath(GlCalls& gl, Session& session, const ColourMaterials& materials,
                          const CutPathSwitches& switches) {
  PathPen pen{gl, materials, session.Defs.Settings, session.Defs.Colors, switches, session.View.DisplayScale, {}};
  if (!(pen.Scale > 0.0)) pen.Scale = 500.0;
  auto pass = std::make_unique<PathPass>(session);
  PathPass& p = *pass;
  NcContext& nc = p.Nc;
  NcModalState& modal = nc.Modal;
  const std::string& program = session.Defs.Paths.NcProgram;
  if (program.empty() && p.Records.ActiveReadPlugin < 0) return pen.Result;

  ResetNcModalState(nc, p.Records);
  UpdatePosition(p);
  p.Steps.MachineStart = nc.Position.MachinePosition;
  // A program that cannot be read is said so by the open below, as a run
  // says it.
  LoadNcProgramText(nc, p.Records, p.Reader);
  pen.Result.ProgramTime = LastWriteTime(program);
  BeginFileProgress(session.Progress, program, "パス表示", "Draw Path",
                    {p.Records.ActiveReadPlugin >= 0, std::nullopt, 0, 0});
  if (session.Defs.Settings.ConstructionPoint != 0) gl.PointSize(kConstructionPointSize);
  if (OpenNcProgram(p.Records, p.Reader) != kNcProgramNotOpened) {
    while (modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
      NextNcMove(nc, p.Records, p.Reader, p.Driver);
      if (modal.AlarmCode != kAlarmNone) break;
      if (modal.ProgramStarted == 0) continue;
      if (modal.EndState == kEndHandled && modal.MoveExists == 0) continue;
      ChangeTool(p);
      UpdateFileProgress(session.Progress, 0);
      if (TakeSpecialBlock(p)) {
        const bool on = nc.Run.MotionMode == kMotionNurbs ? DrawNurbsMove(p, pen) : DrawMove(p, pen);
        if (!on) break;
      }
      if (session.Control.Abort.load() != 0) {
        pen.Result.Aborted = true;
        break;
      }
    }
  }
  gl.Disable(GlCapability::kLineStipple);
  p.Reader.MainStream = FileStream{};
  EndFileProgress(session.Progress);
  return pen.Result;
}

namespace {

CutPathResult BuildList(GlCalls& gl, Session& session, const ColourMaterials& materials,
                        DisplayList list, const GlColour& material, const CutPathSwitches& switches,
                        DisplayListTable& flags) {
  flags.ClearRebuild(list);
  const auto id = static_cast<uint32_t>(list);
  if (gl.IsList(id)) gl.DeleteList(id);
  gl.NewList(id);
  gl.Material(material);
  const CutPathResult result = DrawCutPath(gl, session, materials, switches);
  gl.EndList();
  return result;
}

}  // namespace

CutPathResult BuildPathList(GlCalls& gl, Session& session, const ColourMaterials& materials,
                            int32_t hideRapid, DisplayListTable& flags) {
  const int32_t pen = std::clamp(session.Tool.PenNumber, 0, kPenColourCount - 1);
  const GlColour& material = session.Defs.Settings.TopPathColorMode == 0
                                 ? materials.Pens[static_cast<size_t>(pen)]
                                 : materials.TopPath;
  return BuildList(gl, session, materials, kListPath, material, {0, hideRapid}, flags);
}

CutPathResult BuildSecondPathList(GlCalls& gl, Session& session, const ColourMaterials& materials,
                                  int32_t hideRapid, DisplayListTable& flags) {
  return BuildList(gl, session, materials, kListPath2, materials.SecondPath, {1, hideRapid},
                   flags);
}

}  // namespace vestan
