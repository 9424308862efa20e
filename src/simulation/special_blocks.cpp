// The blocks that change a coordinate state rather than cut, and the test
// whether a block moves at all.
#include <cmath>

#include "machine/forward_kinematics.h"
#include "machine/path_geometry.h"
#include "machine/position_conversion.h"
#include "machine/rotary_solution.h"
#include "nc/block_end.h"
#include "nc/coordinate_transforms.h"
#include "nc/motion_driver.h"
#include "nc/position_update.h"
#include "simulation/move_steps.h"
#include "simulation/session_files.h"

namespace vestan {

namespace {

// 1 when the mode was switched on by this block, 2 when off, else 0.
int32_t Transition(int32_t now, int32_t& before) {
  const int32_t was = before;
  before = now;
  if ((now != 0) == (was != 0)) return 0;
  return now != 0 ? 1 : 2;
}

void DrawStatusTexts(const SpecialBlockRecords& b) {
  if (b.View == nullptr) return;
  const RunViewHooks& view = *b.View;
  if (view.Window != 0 && view.DrawStatusTexts) view.DrawStatusTexts();
}

void PaintPositionPanes(const SpecialBlockRecords& b) {
  if (b.View == nullptr) return;
  const RunViewHooks& view = *b.View;
  if (view.Window != 0 && view.PaintStatusPosition) view.PaintStatusPosition(0);
}

void UpdatePosition(const SpecialBlockRecords& b) {
  UpdateMachinePosition(b.Nc, b.Records, b.Placement);
}

// G92 shifted the work offset: the tool stays where it stands, so its
// program position, and the place the block end keeps for the next move
// (turned or mirrored), shift the other way.
void KeepToolInPlace(const SpecialBlockRecords& b) {
  NcContext& nc = b.Nc;
  const AxisPosition program = ProgramPositionAtMachine(nc, b.Records, true);
  for (size_t a = 0; a < program.size(); ++a)
    nc.BlockEnd.Current[a] += program[a] - nc.Position.ProgramPosition[a];
  nc.Position.ProgramPosition = program;
}

// The layout offset of a tool: none for a tool off the layout.
Vec3 LayoutOffset(const ToolLayout& layout, int32_t tool) {
  if (tool <= 0 || tool >= kLayoutEntries || layout.Placed[static_cast<size_t>(tool)] == 0)
    return {};
  const std::array<double, 3>& p = layout.Position[static_cast<size_t>(tool)];
  return {p[0], p[1], p[2]};
}

// A layout tool that came in after tool 0 or another layout tool starts
// from the outgoing tool's place moved by the difference of their layout
// offsets, as a rapid; once.
void ApplyLayoutShift(const SpecialBlockRecords& b) {
  ToolChangerState& changer = b.Changer;
  if (changer.LayoutShift == 0) return;
  changer.LayoutShift = 0;
  NcContext& nc = b.Nc;
  const ToolLayout& layout = b.Records.Defs.Tools.Layout;
  const Vec3 now = LayoutOffset(layout, nc.Modal.Tools.CurrentToolNumber);
  const Vec3 before = LayoutOffset(layout, changer.PreviousLayoutTool);
  nc.Run.MotionMode = kMotionRapid;
  nc.Move.MotionMode = kMotionRapid;
  for (size_t a = 0; a < 3; ++a) {
    nc.Move.Start[a] += now[a] - before[a];
    nc.BlockEnd.Previous[a] += now[a] - before[a];
  }
}

// The tool stays at the program position at: start, end, the block end's
// places and the position alike.
void PlaceToolAt(const SpecialBlockRecords& b, const AxisPosition& at) {
  NcContext& nc = b.Nc;
  nc.Move.Start = nc.Move.End = at;
  nc.BlockEnd.Previous = nc.BlockEnd.Current = at;
  nc.Position.ProgramPosition = at;
  UpdatePosition(b);
}

// Tool-tip control takes over. On a table (the second table of a mixed
// machine) the turned table becomes the program's frame: its angle is kept
// as the base angle and the program's rotary value becomes 0; the dialects
// that keep rotary offsets apart only refresh the turn of nonzero offsets.
// The program position then is the one at which tool-tip control puts the
// tool where it stands.
void StartToolCentreControl(const SpecialBlockRecords& b) {
  NcContext& nc = b.Nc;
  MachinePositionState& position = nc.Position;
  const ControllerDefinition& ctl = b.Records.Defs.Controller;
  const int32_t type = b.Records.Defs.Kinematics.RotaryType;
  const WorkOffsetValues& offset = b.Records.Memory.Offsets.ActiveWorkOffset;
  const bool apart = ctl.isSiemens != 0 || IsHeidenhainDialect(ctl) || IsOspDialect(ctl);
  const RotarySinCos turned =
      ComputeRotarySinCos(ctl, {position.ProgramPosition[3] + offset[3],
                                position.ProgramPosition[4] + offset[4]});
  for (size_t r = 0; r < 2; ++r) {
    const bool frame = !apart && (type == kRotaryTable || (type == kRotaryMix && r == 1));
    if (frame) {
      position.RotaryBaseAngles[r] = position.ProgramPosition[3 + r];
      for (AxisPosition* p : {&nc.Move.Start, &nc.Move.End, &nc.Modal.ProgramPosition,
                              &position.ProgramPosition, &nc.BlockEnd.Previous,
                              &nc.BlockEnd.Current})
        (*p)[3 + r] = 0.0;
    }
    if (frame || offset[3 + r] != 0.0) {
      position.TableRotationSinCos[2 * r] = turned[2 * r];
      position.TableRotationSinCos[2 * r + 1] = turned[2 * r + 1];
    }
  }
  AdjustProgramPositionToTool(nc, b.Records, b.Placement);
  for (size_t i = 0; i < 3; ++i) nc.Move.Start[i] = nc.BlockEnd.Previous[i] = position.ProgramPosition[i];
}

// Polar interpolation works on X and Y; outside it X is the radius and the
// second rotary axis the angle (the polar angle offset added), as the
// machine position shows them.
void FromPolarForm(const PolarState& polar, AxisPosition& p) {
  const double angle = (p[4] - polar.AngleOffset) * kPi / 180.0;
  const double radius = p[0];
  p[0] = radius * std::cos(angle);
  p[1] = radius * std::sin(angle);
}

// Cylindrical interpolation works on the cylinder's linear axis: the second
// rotary value times the cylinder's divisor, with the rotary at 0.
void ToCylinderForm(const CylindricalState& cylinder, AxisPosition& p) {
  const int32_t axis = cylinder.SourceAxis;
  if (axis < 0 || axis > 2) return;
  p[static_cast<size_t>(axis)] = p[4] * cylinder.Divisor;
  p[4] = 0.0;
}

void FromCylinderForm(const CylindricalState& cylinder, double divisor, AxisPosition& p) {
  const int32_t axis = cylinder.SourceAxis;
  if (axis < 0 || axis > 2 || !(divisor > 0.0)) return;
  p[4] = p[static_cast<size_t>(axis)] / divisor;
}

// The start or end of polar or cylindrical interpolation: the tool's place
// taken into the form the mode works in (or back), start, end and current
// position alike; nothing is cut.
void ChangeInterpolationForm(const SpecialBlockRecords& b, int32_t polar, int32_t cylindrical) {
  NcContext& nc = b.Nc;
  const NcModalState& modal = nc.Modal;
  NcMove& move = nc.Move;
  AxisPosition at = move.End;
  if (polar == 1) FromPolarForm(modal.Polar, at);
  if (polar == 2) {
    const Vec3& vector = modal.Length.ToolLengthVector;
    const PolarInputs inputs{modal.Polar.AngleOffset, modal.Length.BAxisLength, vector};
    at = ToPolarCoordinates(at, 1, inputs);
  }
  if (cylindrical == 1) ToCylinderForm(modal.Cylindrical, at);
  if (cylindrical == 2)
    FromCylinderForm(modal.Cylindrical, b.Steps.CylinderDivisor, at);
  PlaceToolAt(b, at);
}

// Setting a tilted working plane (G68.2, or G254 from the rotary axes)
// outside the HEIDENHAIN and SIEMENS dialects:
// where the tool stands, in the new plane's coordinates, is where the next
// move starts; this block moves nothing. The program position in a plane
// lies the tool's own length beyond the tip along the tool axis, as the
// position update takes it.
void TakeToolIntoPlane(const SpecialBlockRecords& b, int32_t g) {
  NcContext& nc = b.Nc;
  const MachinePositionState& position = nc.Position;
  Vec3 tip{}, axis{};
  ComputeToolTipAndAxis(b.Records.Defs.Kinematics, b.Records.Defs.Controller,
                        position.ReferenceLength, position.MachinePosition, tip, axis);
  const double length = static_cast<double>(position.ToolLength);
  if (g == 682)
    for (size_t i = 0; i < 3; ++i) tip[i] += length * axis[i];
  Vec3 p = ConvertToModelCoordinates(b.Placement, nc.Modal.TiltedPlane.Frame,
                                     b.Records.Memory.Offsets.ActiveWorkOffset, tip);
  if (g == 254) p[2] += length;
  AxisPosition at = position.ProgramPosition;
  for (size_t i = 0; i < 3; ++i) at[i] = p[i];
  PlaceToolAt(b, at);
  b.Steps.MachineStart = nc.Position.MachinePosition;
}

// Where the work offset was shifted, the tool stays where the machine has
// it: start, end, centre and the block end's places become the machine
// position less the composed work offset.
void TakeProgramPositionFromMachine(const SpecialBlockRecords& b) {
  NcContext& nc = b.Nc;
  const AxisPosition at = SubtractWorkOffset(nc.Position.MachinePosition,
                                             b.Records.Memory.Offsets.ActiveWorkOffset);
  nc.Position.ProgramPosition = at;
  nc.Move.Start = nc.Move.End = at;
  nc.Move.Centre = {at[0], at[1], at[2]};
  nc.BlockEnd.Previous = nc.BlockEnd.Current = at;
  nc.BlockEnd.CentreCopy = nc.Move.Centre;
}

// The work-offset shift: false when the block is not to go on.
bool HandleWorkOffsetShift(const SpecialBlockRecords& b, int32_t g, bool osp) {
  NcModalState& modal = b.Nc.Modal;
  InterpreterState& in = modal.Interp;
  if (in.WorkOffsetShiftState == 2) in.WorkOffsetShiftState = 0;
  if (in.WorkOffsetShiftState != 1) return true;
  if (modal.TiltedPlane.State == 1) {
    in.WorkOffsetShiftAmount = 0.0;
    return false;
  }
  if (g == 354) {
    TakeProgramPositionFromMachine(b);
    in.WorkOffsetShiftState = 0;
    return false;
  }
  if (g == 69 || (g == 126 && osp) || g == 255) {
    in.WorkOffsetShiftState = 0;
    return true;
  }
  if (in.WorkOffsetShiftAmount != 0.0) TakeProgramPositionFromMachine(b);
  return false;
}

// Rotary angles the same within this are the same position.
constexpr double kSameRotaryAngle = 1e-6;

// HEIDENHAIN: a move in the work plane turns the rotary axes it does not
// name to the plane's solution, the program's rotary values taking the
// machine there; once they stand there and the block names neither, the
// plane's solution places the tool again.
void TurnRotariesToPlane(const SpecialBlockRecords& b) {
  NcContext& nc = b.Nc;
  TiltedPlaneState& plane = nc.Modal.TiltedPlane;
  const std::array<int32_t, 5>& given = nc.Modal.Interp.AxisGiven;
  const AxisPosition& machine = nc.Position.MachinePosition;
  const bool there = std::fabs(machine[3] - plane.RotarySolution[0]) <= kSameRotaryAngle &&
                     std::fabs(machine[4] - plane.RotarySolution[1]) <= kSameRotaryAngle;
  if (there && given[3] == 0 && given[4] == 0) {
    plane.RotaryProgrammedDirectly = 0;
    return;
  }
  plane.RotaryProgrammedDirectly = 1;
  const WorkOffsetValues& offset = b.Records.Memory.Offsets.ActiveWorkOffset;
  for (size_t r = 0; r < 2; ++r) {
    if (given[3 + r] != 0) continue;
    nc.Move.End[3 + r] = plane.RotarySolution[r] - offset[3 + r];
    nc.BlockEnd.Current[3 + r] = nc.Move.End[3 + r];
  }
}

// The HEIDENHAIN and SIEMENS planes (G68.2, G254): the rotary angles that
// point the tool along the plane's axis are the plane's solution; where the
// tool tip would stand with them, the machine's X, Y, Z kept, is the move's
// end in the plane. The machine itself has not moved. SIEMENS takes the
// rotary axes to the solution with the block; HEIDENHAIN with its next
// move. False when the block is not to go on.
bool SetDialectPlane(const SpecialBlockRecords& b, int32_t g, bool axisGiven) {
  NcContext& nc = b.Nc;
  const Definitions& defs = b.Records.Defs;
  const bool siemens = defs.Controller.isSiemens != 0;
  MachinePositionState& position = nc.Position;
  TiltedPlaneState& plane = nc.Modal.TiltedPlane;
  const WorkOffsetValues& offset = b.Records.Memory.Offsets.ActiveWorkOffset;
  const Matrix3& m = plane.Frame.Matrix;
  Vec3 planeAxis{m[6], m[7], m[8]};
  if (b.Placement.Placed != 0) planeAxis = MultiplyMatrixVector(b.Placement.Matrix, planeAxis);
  const RotaryModalInputs inputs = MakeRotaryModalInputs(nc, b.Records);
  const RotarySolver solver{defs.Kinematics, defs.Controller, inputs, nc.RotarySolve,
                            RotaryWarningReport(nc, b.Records)};
  plane.RotarySolution = ChooseRotaryAnglesForToolAxis(
      solver, planeAxis, position.PreviousRotaryAngles, MachineRotaryRanges(defs.Limits));
  AxisPosition machine = position.MachinePosition;
  machine[3] = plane.RotarySolution[0];
  machine[4] = plane.RotarySolution[1];
  Vec3 tip{}, axis{};
  ComputeToolTipAndAxis(defs.Kinematics, defs.Controller, position.ReferenceLength, machine, tip,
                        axis);
  const double length = static_cast<double>(position.ToolLength);
  if (g == 682 && length != 0.0)
    for (size_t i = 0; i < 3; ++i) tip[i] += length * axis[i];
  const Vec3 p = ConvertToModelCoordinates(b.Placement, plane.Frame, offset, tip);
  NcMove& move = nc.Move;
  for (size_t i = 0; i < 3; ++i) move.End[i] = p[i];
  if (!siemens && g == 682) {
    FinishMove(nc, b.Records);
  } else if (siemens) {
    BlockEndState& end = nc.BlockEnd;
    for (size_t i = 0; i < 3; ++i) end.Current[i] = p[i];
    const int32_t lengthAxis = nc.Modal.Plane.ToolLengthAxis;
    if (end.ExtraLengthOffset != 0 && nc.Modal.ToolTipLength == 0 && lengthAxis >= 0 &&
        lengthAxis < 3)
      end.Current[static_cast<size_t>(lengthAxis)] += nc.Modal.Length.PreviousToolLength;
  }
  // A block that goes on as a move starts where the tool stands in the
  // plane, not at its place in the coordinates before it.
  for (size_t i = 0; i < 3; ++i) {
    move.Start[i] = position.ProgramPosition[i] = p[i];
    nc.BlockEnd.Previous[i] = nc.BlockEnd.Current[i];
  }
  b.Steps.MachineStart = position.MachinePosition;
  if (siemens) {
    for (size_t r = 0; r < 2; ++r) {
      move.End[3 + r] = plane.RotarySolution[r] - offset[3 + r];
      nc.BlockEnd.Current[3 + r] = move.End[3 + r];
    }
    plane.RotaryProgrammedDirectly = 1;
  }
  return axisGiven;
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

}  // namespace

bool HandleSpecialBlock(const SpecialBlockRecords& b) {
  NcContext& nc = b.Nc;
  NcModalState& modal = nc.Modal;
  NcMove& move = nc.Move;
  MoveStepState& st = b.Steps;
  const ControllerDefinition& ctl = b.Records.Defs.Controller;
  const bool osp = IsOspDialect(ctl);
  const int32_t g = modal.LastGCode;
  const int32_t polar = Transition(modal.Polar.On, st.PolarBefore);
  const int32_t cylindrical = Transition(modal.Cylindrical.On, st.CylindricalBefore);
  if (modal.Cylindrical.On != 0) st.CylinderDivisor = modal.Cylindrical.Divisor;
  const int32_t toolCentre = Transition(modal.ToolAxisMode, st.ToolAxisModeBefore);
  const bool rapidOrLinear = nc.Run.MotionMode == kMotionRapid || nc.Run.MotionMode == kMotionLinear;
  const bool arc = IsArcMotion(nc.Run.MotionMode);
  const bool axisGiven = modal.Interp.AnyAxisGiven != 0;

  // Setting a coordinate system or a rotation moves nothing.
  if (g == 92 || g == 68 || (g == 127 && osp)) {
    // Where the machine position is the program position's plain image.
    if (g == 92 && modal.ToolAxisMode == kToolAxisOff && modal.TiltedPlane.Active == 0 &&
        modal.Polar.On == 0 && modal.Cylindrical.On == 0)
      KeepToolInPlace(b);
    move.Start = nc.Position.ProgramPosition;
    UpdatePosition(b);
    return false;
  }
  // Under a coordinate rotation a block without axis words is no move.
  if (modal.Rotation.State == kRotationActive && modal.Interp.ReferenceReturnMode == kReferenceNone) {
    if (rapidOrLinear && !axisGiven) return false;
    if (arc && move.Length == 0.0) return false;
  }
  if (!HandleWorkOffsetShift(b, g, osp)) return false;
  // Cancelling a rotation or plane without one in force: the program
  // position is the machine position's again, and nothing is cut.
  if ((g == 69 || (g == 126 && osp) || g == 255) && modal.Rotation.State == kRotationNone) {
    const AxisPosition program = ProgramPositionAtMachine(nc, b.Records, true);
    nc.Position.ProgramPosition = program;
    move.Start = move.End = program;
    modal.TiltedPlane.Active = 0;
    DrawStatusTexts(b);
    return false;
  }
  FinishMove(nc, b.Records);
  ApplyLayoutShift(b);

  // Tool-centre-point control: its start takes the tool where it is into
  // the new mode; a start without axis words ends there.
  if (toolCentre == 1) StartToolCentreControl(b);
  if (toolCentre != 0) {
    DrawStatusTexts(b);
    if (toolCentre == 1 && !axisGiven) {
      PlaceToolAt(b, nc.Position.ProgramPosition);
      return false;
    }
  }
  // Polar and cylindrical interpolation begin and end without a cut.
  if (polar != 0 || cylindrical != 0) {
    ChangeInterpolationForm(b, polar, cylindrical);
    DrawStatusTexts(b);
    PaintPositionPanes(b);
    return false;
  }
  if ((modal.Polar.On != 0 || modal.Cylindrical.On != 0 || (g >= 17 && g <= 19)) && !axisGiven)
    return false;

  const bool heidenhain = IsHeidenhainDialect(ctl);
  const bool dialectPlane = heidenhain || ctl.isSiemens != 0;
  const bool machineMove = modal.MachineCoordinates != 0;
  if (heidenhain && modal.TiltedPlane.Active != 0 && g != 682 && axisGiven && !machineMove)
    TurnRotariesToPlane(b);

  // A tilted working plane set outside the HEIDENHAIN and SIEMENS dialects
  // moves nothing; theirs go on as a move when the block names an axis.
  if ((g == 682 || g == 254) && modal.TiltedPlane.Active != 0) {
    if (!dialectPlane) {
      TakeToolIntoPlane(b, g);
      return false;
    }
    if (!SetDialectPlane(b, g, axisGiven)) return false;
  }

  // The motion test.
  if (arc && move.Length == 0.0) return false;
  if (modal.TiltedPlane.Active == 0 && !machineMove) {
    if (rapidOrLinear && g != kToolAxisDirectionCode && !MovesAnyAxis(move) &&
        modal.ReferenceReturnStage != kReferencePointReached)
      return false;
  } else if (modal.TiltedPlane.Active != 0 && !axisGiven && g != kToolAxisDirectionCode && !arc) {
    if (modal.CannedCycle == kNoCannedCycle || !MovesLinearAxis(move)) return false;
  }
  return true;
}

bool HandleSpecialBlock(Session& session) {
  const NcPassRecords records = NcPassOf(session);
  return HandleSpecialBlock({session.Nc, records, session.Pass->Steps, WorkPlacementOf(session),
                             session.Changer, &session.RunView});
}

}  // namespace vestan
