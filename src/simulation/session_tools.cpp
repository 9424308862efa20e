#include "simulation/session_tools.h"

#include "modelfiles/imported_tool_stl.h"
#include "nc/tool_length_offset.h"

namespace vestan {

void ApplyToolChange(Session& session, int32_t tool, double pitch) {
  ToolChangeRecords records = ToolChangeOf(session);
  SetCurrentTool(tool, pitch, records);
  const CurrentTool& current = session.Tool;
  if (current.Tool.Defined == 0) return;

  LengthCompensationState& length = session.Nc.Modal.Length;
  const Definitions& defs = session.Defs;
  if (length.LengthOffsetInForce())
    StoreToolLengthOffset(tool, current, session.Profile.ProfileHeight,
                          defs.Settings.ToolBasePoint, defs.Kinematics.ToolHolderOffset,
                          session.Memory.Offsets, length);
  if (defs.Controller.Rotary[0].Letter == 'B' && length.BAxisLength != 0 &&
      length.LengthCompensationActive != 0)
    ComputeToolLengthVector(length.ProgramRotary1 + length.WorkOffsetRotary1, session.Nc,
                            NcPassOf(session));

  if (current.Tool.Kind == kToolImportedMesh) {
    AngleHeadAngles angles;
    ReloadImportedToolMesh(current.Tool, AngleHeadInUse(defs.Kinematics, angles),
                           session.ToolMesh);
  }
}

}  // namespace vestan
