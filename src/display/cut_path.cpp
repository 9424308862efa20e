#include "display/cut_path.h"

#include <algorithm>
#include <cmath>
#include <functional>

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
#include "simulation/run_loop.h"

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
        Changer(session.Changer),
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
  // The tool waiting in the changer and the layout shift, as the run would
  // take them up.
  ToolChangerState Changer;
  NcPassRecords Records;
  MoveStepState Steps;
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
  const std::function<void(int32_t)> load = [&p](int32_t tool) { LoadTool(p, tool); };
  const std::function<void()> preselected;
  ChangeToolByAtcType({p.Nc, p.Records, p.Changer, PlacementOf(p.S.Work.Workpiece()), load,
                       preselected});
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

// The vertex of a step, where the run would cut.
void AddStep(PathPass& p, PathPen& pen, Strip& strip) {
  UpdatePosition(p);
  strip.Add(DisplayPoint(p, pen));
}

// One move stepped as the run steps it; false when the path ends here (a
// move the run would refuse).
bool DrawMove(PathPass& p, PathPen& pen) {
  NcContext& nc = p.Nc;
  const Definitions& defs = p.S.Defs;
  MoveStepPlan plan = PlanMoveSteps(nc, p.Records, p.Steps);
  // Rapids left out with IGNORE G00, and moves within the tolerance: the
  // tool is taken to the end at once, as the run takes it.
  const bool ignored = defs.Settings.IgnoreG00 != 0 && plan.Rapid;
  if (ignored || (plan.Length < defs.Controller.Tolerance && !plan.Forced)) {
    nc.Position.ProgramPosition = plan.End;
    UpdatePosition(p);
    p.Steps.MachineStart = nc.Position.MachinePosition;
    return true;
  }
  if (plan.Count < 0) return false;
  // The second path draws a linear move as one chord.
  const bool linear = plan.Rapid || nc.Run.MotionMode == kMotionLinear;
  SetMoveStepCount(plan, nc, p.Records,
                   pen.Switches.WithoutRotary != 0 && linear ? 1 : plan.Count);

  if (plan.Rapid && pen.Switches.HideRapid == 0) {
    pen.Gl.Enable(GlCapability::kLineStipple);
    pen.Gl.LineStipple(1, kRapidStipple);
  } else {
    pen.Gl.Disable(GlCapability::kLineStipple);
  }
  {
    Strip strip(pen, p, plan.Rapid);
    StepMove(plan, nc, p.Records, [&](int64_t) {
      AddStep(p, pen, strip);
      // The next machine-coordinate move starts from the wrapped angles,
      // as the run's does.
      WrapShortestRouteRotaries(p.Records, nc.Position.MachinePosition);
      return true;
    });
  }
  KeepMoveEnd(plan, nc.Move);
  p.Steps.MachineStart = nc.Position.MachinePosition;
  return true;
}

// A NURBS curve span by span, as the run steps it; false when the path ends
// here.
bool DrawNurbsMove(PathPass& p, PathPen& pen) {
  NcContext& nc = p.Nc;
  const double pitch = p.S.Defs.Settings.Pitch.MovePitch;
  NurbsStepEnd end = NurbsStepEnd::kDone;
  pen.Gl.Disable(GlCapability::kLineStipple);
  {
    Strip strip(pen, p, false);
    end = StepNurbsCurve(
        nc, p.Records, p.Steps, pitch,
        [&](const NurbsStep&) {
          AddStep(p, pen, strip);
          return true;
        },
        [&](const NurbsStep&) { return p.S.Control.Abort.load() == 0; });
  }
  p.Steps.MachineStart = nc.Position.MachinePosition;
  nc.Modal.MotionMode = kMotionRapid;
  nc.Run.MotionMode = kMotionRapid;
  return end == NurbsStepEnd::kDone || end == NurbsStepEnd::kStopped;
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
      if (HandleSpecialBlock({nc, p.Records, p.Steps, PlacementOf(session.Work.Workpiece()),
                              p.Changer, nullptr})) {
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
