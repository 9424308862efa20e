#include "nc/position_update.h"

#include "nc/block_end.h"

namespace vestan {

RotaryModalInputs MakeRotaryModalInputs(const NcContext& context, const NcPassRecords& records) {
  const NcModalState& modal = context.Modal;
  const ControllerDefinition& controller = records.Defs.Controller;
  RotaryModalInputs rotary;
  rotary.SolutionSign = modal.TiltedPlane.SolutionSign;
  rotary.Heidenhain = controller.isHeidenhain;
  rotary.Siemens = controller.isSiemens;
  rotary.TiltedPlaneActive = modal.TiltedPlane.Active;
  rotary.SpcAngle = modal.TiltedPlane.Angles[2];
  rotary.SwivelCode = modal.Swivel.OrderCode;
  rotary.SwivelAngles = modal.Swivel.Angles;
  rotary.ToolAxisMode = modal.ToolAxisMode;
  rotary.MotionMode = context.Modal.MotionMode;
  rotary.Incremental = modal.PositioningMode;
  rotary.CuttingMode = records.Control.CuttingMode.load();
  rotary.ShortestRoute = records.Memory.ShortestRoute;
  return rotary;
}

PositionModalInputs MakePositionInputs(const NcContext& context, const NcPassRecords& records) {
  const NcModalState& modal = context.Modal;
  const ControllerDefinition& controller = records.Defs.Controller;
  PositionModalInputs in;
  in.ReferenceReturnStage = modal.ReferenceReturnStage;
  in.MachineCoordinates = modal.MachineCoordinates;
  in.LastGCode = modal.LastGCode;
  in.ToolAxisMode = modal.ToolAxisMode;
  in.ToolTipLength = modal.ToolTipLength;
  in.ToolLengthInForce = modal.Length.PreviousToolLength;
  const TiltedPlaneState& plane = modal.TiltedPlane;
  in.TiltedPlaneState = plane.State;
  in.TiltedPlaneActive = plane.Active;
  in.TiltedPlaneMode = plane.Mode;
  in.TiltedPlaneAngles = {plane.Angles[0], plane.Angles[1]};
  in.TiltedPlane = plane.Frame;
  in.RotaryProgrammedDirectly = plane.RotaryProgrammedDirectly;
  in.Polar = modal.Polar.On;
  in.PolarAngleOffset = modal.Polar.AngleOffset;
  in.Cylindrical = modal.Cylindrical.On;
  in.CylinderDivisor = modal.Cylindrical.Divisor;
  in.CylinderSourceAxis = modal.Cylindrical.SourceAxis;
  in.PlaneNormalAxis = modal.Plane.PlaneAxes[2];
  in.LengthVectorInUse = modal.Length.BAxisLength;
  in.LengthVector = modal.Length.ToolLengthVector;
  in.LengthAxis = modal.Plane.ToolLengthAxis;
  in.KeepRotaryOffsetsOut =
      controller.isSiemens != 0 || controller.isHeidenhain != 0 || controller.isOsp != 0 ? 1 : 0;
  in.Rotary = MakeRotaryModalInputs(context, records);
  // A conversion places the move being executed.
  in.Rotary.MotionMode = context.Run.MotionMode;
  return in;
}

namespace {

PositionConverter ConverterOf(NcContext& context, const NcPassRecords& records,
                              const WorkpiecePlacement& placement) {
  const Definitions& defs = records.Defs;
  return {defs.Kinematics, defs.Controller,     defs.Limits, records.Memory.Offsets.ActiveWorkOffset,
          placement,       context.RotarySolve, RotaryWarningReport(context, records)};
}

}  // namespace

void UpdateMachinePosition(NcContext& context, const NcPassRecords& records,
                           const WorkpiecePlacement& placement) {
  const PositionConverter converter = ConverterOf(context, records, placement);
  const DerivedProgramPosition derived =
      UpdateMachinePosition(converter, MakePositionInputs(context, records), context.Position);
  if (!derived.Derived) return;
  context.Move.End = derived.End;
  context.Modal.ProgramPosition = derived.Commanded;
}

void AdjustProgramPositionToTool(NcContext& context, const NcPassRecords& records,
                                 const WorkpiecePlacement& placement) {
  const PositionConverter converter = ConverterOf(context, records, placement);
  MachinePositionState& position = context.Position;
  AdjustPositionOffsets(converter, MakePositionInputs(context, records), position,
                        position.ToolTip, position.ToolAxis);
}

}  // namespace vestan
