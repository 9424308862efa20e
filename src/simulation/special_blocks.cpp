// The blocks that change a coordinate state rather than cut, and the test
// whether a block moves at all.
#include "machine/position_conversion.h"
#include "nc/block_end.h"
#include "nc/motion_driver.h"
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

void DrawStatusTexts(const Session& session) {
  const RunViewHooks& view = session.RunView;
  if (view.Window != 0 && view.DrawStatusTexts) view.DrawStatusTexts();
}

void PaintPositionPanes(const Session& session) {
  const RunViewHooks& view = session.RunView;
  if (view.Window != 0 && view.PaintStatusPosition) view.PaintStatusPosition(0);
}

// The block leaves the tool where it is: start, end and current alike.
void StayAtCurrent(Session& session) {
  NcMove& move = session.Nc.Move;
  move.Start = move.End;
  session.Nc.Position.ProgramPosition = move.End;
  UpdateSessionPosition(session);
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

bool HandleSpecialBlock(Session& session) {
  NcContext& nc = session.Nc;
  NcModalState& modal = nc.Modal;
  NcMove& move = nc.Move;
  MoveStepState& st = session.Pass->Steps;
  const ControllerDefinition& ctl = session.Defs.Controller;
  const bool osp = IsOspDialect(ctl);
  const int32_t g = modal.LastGCode;
  const int32_t polar = Transition(modal.Polar.On, st.PolarBefore);
  const int32_t cylindrical = Transition(modal.Cylindrical.On, st.CylindricalBefore);
  const int32_t toolCentre = Transition(modal.ToolAxisMode, st.ToolAxisModeBefore);
  const bool rapidOrLinear = nc.Run.MotionMode == kMotionRapid || nc.Run.MotionMode == kMotionLinear;
  const bool arc = IsArcMotion(nc.Run.MotionMode);
  const bool axisGiven = modal.Interp.AnyAxisGiven != 0;

  // Setting a coordinate system or a rotation moves nothing.
  if (g == 92 || g == 68 || (g == 127 && osp)) {
    move.Start = nc.Position.ProgramPosition;
    UpdateSessionPosition(session);
    return false;
  }
  // Under a coordinate rotation a block without axis words is no move.
  if (modal.Rotation.State == kRotationActive && modal.Interp.ReferenceReturnMode == kReferenceNone) {
    if (rapidOrLinear && !axisGiven) return false;
    if (arc && move.Length == 0.0) return false;
  }
  // Cancelling a rotation or plane without one in force: the program
  // position is the machine position's again, and nothing is cut.
  if ((g == 69 || (g == 126 && osp) || g == 255) && modal.Rotation.State == kRotationNone) {
    MachinePositionState& position = nc.Position;
    AxisPosition program =
        SubtractWorkOffset(position.MachinePosition, session.Memory.Offsets.ActiveWorkOffset);
    program[static_cast<size_t>(modal.Plane.ToolLengthAxis)] -= ToolLengthEffect(position);
    position.ProgramPosition = program;
    move.Start = move.End = program;
    modal.TiltedPlane.Active = 0;
    DrawStatusTexts(session);
    return false;
  }
  FinishMove(nc, NcPassOf(session));

  // Tool-centre-point control: its start takes the tool where it is into
  // the new mode; a start without axis words ends there.
  if (toolCentre != 0) {
    DrawStatusTexts(session);
    if (toolCentre == 1 && !axisGiven) {
      StayAtCurrent(session);
      return false;
    }
  }
  // Polar and cylindrical interpolation begin and end without a cut.
  if (polar != 0 || cylindrical != 0) {
    StayAtCurrent(session);
    DrawStatusTexts(session);
    PaintPositionPanes(session);
    return false;
  }
  if ((modal.Polar.On != 0 || modal.Cylindrical.On != 0 || (g >= 17 && g <= 19)) && !axisGiven)
    return false;

  // The motion test.
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

}  // namespace vestan
