#include "machine/position_conversion.h"

#include "machine/forward_kinematics.h"
#include "machine/path_geometry.h"

namespace vestan {

namespace {

Vec3 Linear(const AxisPosition& p) { return {p[0], p[1], p[2]}; }
Vec3 Scaled(const Vec3& v, double s) { return {v[0] * s, v[1] * s, v[2] * s}; }

AxisPosition ShiftedBy(const AxisPosition& position, const WorkOffsetValues& offset, double sign) {
  AxisPosition out;
  for (size_t i = 0; i < out.size(); ++i) out[i] = position[i] + sign * offset[i];
  return out;
}

bool RotaryOffsetsKeptOut(const PositionModalInputs& inputs, const WorkOffsetValues& offset) {
  return inputs.KeepRotaryOffsetsOut != 0 && offset[3] == 0.0 && offset[4] == 0.0;
}

// Whether the work point turns with the table: TABLE when either machine
// angle differs from the program's, MIX when the second does.
bool TableTurnsWorkPoint(const PositionConverter& c, const PositionModalInputs& inputs,
                         const AxisPosition& program, const AxisPosition& machine) {
  if (RotaryOffsetsKeptOut(inputs, c.WorkOffset)) return false;
  if (c.Kinematics.RotaryType == kRotaryTable)
    return machine[3] != program[3] || machine[4] != program[4];
  if (c.Kinematics.RotaryType == kRotaryMix) return machine[4] != program[4];
  return false;
}

// The tool length along the spindle: along the tool direction when the
// machine gives one, else along Z.
void AddToolLength(const MachineKinematics& k, double length, AxisPosition& machine) {
  if (k.ToolDirectionInUse != 0) {
    for (size_t i = 0; i < 3; ++i) machine[i] += length * k.ToolDirection[i];
  } else {
    machine[2] += length;
  }
}

// Reference point: the machine position is given.
DerivedProgramPosition FromReferencePoint(const PositionConverter& c,
                                          const PositionModalInputs& inputs,
                                          MachinePositionState& state, const AxisPosition& machine,
                                          Vec3& tip, Vec3& axis) {
  ComputeToolTipAndAxis(c.Kinematics, c.Controller, state.ReferenceLength, machine, tip, axis);
  state.ProgramPosition = SubtractWorkOffset(machine, c.WorkOffset);
  DerivedProgramPosition derived{true, state.ProgramPosition, state.ProgramPosition};
  if (inputs.LengthVectorInUse != 0) {
    derived.End[0] -= inputs.LengthVector[0];
    derived.End[2] -= inputs.LengthVector[2];
  } else if (inputs.ToolTipLength != 0 && inputs.LengthAxis >= 0 && inputs.LengthAxis < 3) {
    derived.End[static_cast<size_t>(inputs.LengthAxis)] -= inputs.ToolLengthInForce;
  }
  const double effect = ToolLengthEffect(state);
  if (c.Kinematics.ToolDirectionInUse != 0) {
    for (size_t i = 0; i < 3; ++i) {
      derived.End[i] -= effect * c.Kinematics.ToolDirection[i];
      derived.Commanded[i] -= effect * c.Kinematics.ToolDirection[i];
    }
  } else {
    derived.End[2] -= effect;
    derived.Commanded[2] -= effect;
  }
  return derived;
}

// Tool-tip control: the program position is the tool tip.
void FromToolTip(const PositionConverter& c, const PositionModalInputs& inputs,
                 const MachinePositionState& state, const AxisPosition& program,
                 AxisPosition& machine, Vec3& tip, Vec3& axis) {
  const MachineKinematics& k = c.Kinematics;
  const WorkOffsetValues& offset = c.WorkOffset;
  tip = {program[0] + offset[0], program[1] + offset[1], program[2] + offset[2]};
  const RotaryAngles angles{program[3] + offset[3] + state.RotaryBaseAngles[0],
                            program[4] + offset[4] + state.RotaryBaseAngles[1]};
  if (k.RotaryType != kRotaryTable) tip[2] += ToolLengthEffect(state);
  AxisPosition turned = program;
  turned[3] = angles[0];
  turned[4] = angles[1];
  if (TableTurnsWorkPoint(c, inputs, program, turned))
    CorrectRotaryCentre(k, state.TableRotationSinCos, tip);
  const double value = static_cast<double>(state.ToolLength);
  const ToolTipControlLengths lengths{state.ReferenceLength, inputs.ToolLengthInForce, value};
  machine = RotatePointAndAxisThroughRotaryAxes(k, c.Controller, lengths, tip, angles);
  axis = RotatePointThroughRotaryAxes2(k, c.Controller, angles);
  const double d =
      (k.RotaryType == kRotaryTable ? value : state.ReferenceLength) - inputs.ToolLengthInForce;
  if (d != 0.0) tip = VectorSub(tip, Scaled(axis, d));
}

// A plain block outside the tilted plane: the program position is given.
void FromProgramPosition(const PositionConverter& c, const PositionModalInputs& inputs,
                         const MachinePositionState& state, const AxisPosition& program,
                         AxisPosition& machine, Vec3& tip, Vec3& axis) {
  if (inputs.Polar != 0) {
    const PolarInputs polar{inputs.PolarAngleOffset, inputs.LengthVectorInUse, inputs.LengthVector};
    machine = AddWorkOffset(ToPolarCoordinates(program, 1, polar), c.WorkOffset);
  } else if (inputs.Cylindrical != 0) {
    AxisPosition cylinder = program;
    if (inputs.PlaneNormalAxis >= 0 && inputs.PlaneNormalAxis < 3)
      cylinder[0] = program[static_cast<size_t>(inputs.PlaneNormalAxis)];
    cylinder[1] = 0.0;
    if (inputs.CylinderDivisor > 0.0 && inputs.CylinderSourceAxis >= 0 &&
        inputs.CylinderSourceAxis < 5)
      cylinder[4] =
          program[static_cast<size_t>(inputs.CylinderSourceAxis)] / inputs.CylinderDivisor;
    machine = AddWorkOffset(cylinder, c.WorkOffset);
  } else {
    machine = AddWorkOffset(program, c.WorkOffset);
  }
  AddToolLength(c.Kinematics, ToolLengthEffect(state), machine);
  ComputeToolTipAndAxis(c.Kinematics, c.Controller, state.ReferenceLength, machine, tip, axis);
}

// A plain block in the tilted plane with tool-vector output: the program
// position lies in the plane.
void FromTiltedPlane(const PositionConverter& c, const PositionModalInputs& inputs,
                     const MachinePositionState& state, const AxisPosition& program,
                     AxisPosition& machine, Vec3& tip, Vec3& axis) {
  const MachineKinematics& k = c.Kinematics;
  tip = TransformPositionByMatrix(c.Placement, inputs.TiltedPlane, c.WorkOffset, Linear(program));
  RotaryAngles angles{0.0, 0.0};
  if (inputs.TiltedPlaneActive != 0) {
    const Matrix3& m = inputs.TiltedPlane.Matrix;
    axis = {m[6], m[7], m[8]};
    if (c.Placement.Placed != 0) axis = MultiplyMatrixVector(c.Placement.Matrix, axis);
    if (inputs.TiltedPlaneMode == 2) {
      angles = inputs.TiltedPlaneAngles;
    } else {
      const RotarySolver solver{k, c.Controller, inputs.Rotary, c.Solve, c.Warn};
      angles = ChooseRotaryAnglesForToolAxis(solver, axis, state.PreviousRotaryAngles,
                                             MachineRotaryRanges(c.Limits));
    }
  } else {
    axis = k.ToolDirection;
  }
  tip = VectorSub(tip, Scaled(axis, static_cast<double>(state.ToolLength)));
  machine = ComputeToolPosture(k, c.Controller, state.ReferenceLength, tip, angles);
  if (inputs.RotaryProgrammedDirectly != 0) {
    machine[3] = program[3] + c.WorkOffset[3];
    machine[4] = program[4] + c.WorkOffset[4];
    // The rotary axes stand elsewhere than the plane's solution: the tool
    // is where they put it, and that pose is the one cut.
    ComputeToolTipAndAxis(k, c.Controller, state.ReferenceLength, machine, tip, axis);
  }
}

// G53 or G53.1: the machine position is given.
DerivedProgramPosition FromMachinePosition(const PositionConverter& c,
                                           const PositionModalInputs& inputs,
                                           MachinePositionState& state, const AxisPosition& machine,
                                           bool withTiltedPlane, Vec3& tip, Vec3& axis) {
  ComputeToolTipAndAxis(c.Kinematics, c.Controller, state.ReferenceLength, machine, tip, axis);
  const bool plain = !withTiltedPlane || inputs.TiltedPlaneState != 1 ||
                     (inputs.MachineCoordinates != 0 && inputs.Rotary.Heidenhain == 0);
  DerivedProgramPosition derived;
  derived.Derived = true;
  if (plain) {
    state.ProgramPosition = SubtractWorkOffset(machine, c.WorkOffset);
    state.ProgramPosition[2] -= ToolLengthEffect(state);
    derived.End = derived.Commanded = state.ProgramPosition;
    if (inputs.LengthVectorInUse != 0) {
      derived.End[0] -= inputs.LengthVector[0];
      derived.End[2] -= inputs.LengthVector[2];
      return derived;
    }
  } else {
    const Vec3 p = ConvertToModelCoordinates(c.Placement, inputs.TiltedPlane, c.WorkOffset, tip);
    state.ProgramPosition[0] = p[0];
    state.ProgramPosition[1] = p[1];
    state.ProgramPosition[2] = p[2] + static_cast<double>(state.ToolLength);
    derived.End = derived.Commanded = state.ProgramPosition;
  }
  if (inputs.ToolTipLength != 0 && inputs.LengthAxis >= 0 && inputs.LengthAxis < 3)
    derived.End[static_cast<size_t>(inputs.LengthAxis)] -= inputs.ToolLengthInForce;
  return derived;
}

DerivedProgramPosition Convert(const PositionConverter& c, const PositionModalInputs& inputs,
                               MachinePositionState& state, const AxisPosition& program,
                               AxisPosition& machine, Vec3& tip, Vec3& axis, bool withTiltedPlane) {
  if (inputs.ReferenceReturnStage == kReferencePointReached)
    return FromReferencePoint(c, inputs, state, machine, tip, axis);
  if (inputs.ToolAxisMode == 1 || inputs.ToolAxisMode == 2) {
    FromToolTip(c, inputs, state, program, machine, tip, axis);
    return {};
  }
  if (inputs.MachineCoordinates == 0 && inputs.LastGCode != kToolAxisDirectionCode) {
    if (inputs.TiltedPlaneState == 1)
      FromTiltedPlane(c, inputs, state, program, machine, tip, axis);
    else
      FromProgramPosition(c, inputs, state, program, machine, tip, axis);
    return {};
  }
  return FromMachinePosition(c, inputs, state, machine, withTiltedPlane, tip, axis);
}

}  // namespace

double ToolLengthEffect(const MachinePositionState& state) {
  return state.ReferenceLength - static_cast<double>(state.ToolLength);
}

WorkpiecePlacement PlacementOf(const DexelModel& model) {
  WorkpiecePlacement placement;
  placement.Placed = model.Placed;
  placement.Matrix = PlacementMatrix(model.Placement);
  placement.Inverse = model.InverseMatrix;
  placement.Translation = {model.Placement[9], model.Placement[10], model.Placement[11]};
  return placement;
}

DerivedProgramPosition UpdateMachinePosition(const PositionConverter& converter,
                                             const PositionModalInputs& inputs,
                                             MachinePositionState& state) {
  const AxisPosition program = state.ProgramPosition;
  const DerivedProgramPosition derived =
      Convert(converter, inputs, state, program, state.MachinePosition, state.ToolTip,
              state.ToolAxis, true);
  RefreshRotaryState(converter.Kinematics, converter.Controller, state);
  return derived;
}

void RefreshRotaryState(const MachineKinematics& kinematics, const ControllerDefinition& controller,
                        MachinePositionState& state) {
  const AxisPosition& machine = state.MachinePosition;
  state.RotarySinCos = ComputeRotarySinCos(controller, {machine[3], machine[4]});
  state.ToolFrame = ComputeToolFrame(kinematics, state.RotarySinCos, machine);
}

DerivedProgramPosition ConvertProgramToMachine(const PositionConverter& converter,
                                               const PositionModalInputs& inputs,
                                               MachinePositionState& state,
                                               const AxisPosition& program, AxisPosition& machine,
                                               Vec3& tip, Vec3& axis) {
  const AxisPosition given = program;
  return Convert(converter, inputs, state, given, machine, tip, axis, true);
}

DerivedProgramPosition ConvertProgramToMachine2(const PositionConverter& converter,
                                                const PositionModalInputs& inputs,
                                                MachinePositionState& state,
                                                const AxisPosition& program, AxisPosition& machine,
                                                Vec3& tip, Vec3& axis) {
  const AxisPosition given = program;
  return Convert(converter, inputs, state, given, machine, tip, axis, false);
}

void AdjustPositionOffsets(const PositionConverter& converter, const PositionModalInputs& inputs,
                           MachinePositionState& state, const Vec3& point, const Vec3& axis) {
  const MachineKinematics& k = converter.Kinematics;
  const double value = static_cast<double>(state.ToolLength);
  const double inForce = inputs.ToolLengthInForce;
  Vec3 p = point;
  if (k.RotaryType == kRotaryTable) {
    if (inForce != value) p = VectorAdd(p, Scaled(axis, value - inForce));
  } else if (inForce != state.ReferenceLength) {
    p = VectorAdd(p, Scaled(axis, state.ReferenceLength - inForce));
  }
  if (TableTurnsWorkPoint(converter, inputs, state.ProgramPosition, state.MachinePosition))
    CorrectRotaryCentre2(k, state.TableRotationSinCos, p);
  if (k.RotaryType != kRotaryTable) p[2] -= ToolLengthEffect(state);
  const WorkOffsetValues& offset = converter.WorkOffset;
  for (size_t i = 0; i < 3; ++i) state.ProgramPosition[i] = p[i] - offset[i];
  for (size_t r = 0; r < 2; ++r)
    state.ProgramPosition[3 + r] =
        state.MachinePosition[3 + r] - offset[3 + r] - state.RotaryBaseAngles[r];
}

Vec3 ConvertToModelCoordinates(const WorkpiecePlacement& placement, const TiltedPlaneFrame& plane,
                               const WorkOffsetValues& workOffset, const Vec3& point) {
  if (placement.Placed != 0) {
    const Vec3 q = MultiplyMatrixVector(placement.Inverse, VectorSub(point, placement.Translation));
    return MultiplyMatrixVector(plane.Inverse, VectorSub(q, plane.Origin));
  }
  const Vec3 shifted = VectorSub(VectorSub(point, plane.Origin), Linear(workOffset));
  return MultiplyMatrixVector(plane.Inverse, shifted);
}

Vec3 TransformPositionByMatrix(const WorkpiecePlacement& placement, const TiltedPlaneFrame& plane,
                               const WorkOffsetValues& workOffset, const Vec3& point) {
  const Vec3 inPlane = VectorAdd(MultiplyMatrixVector(plane.Matrix, point), plane.Origin);
  if (placement.Placed != 0)
    return VectorAdd(MultiplyMatrixVector(placement.Matrix, inPlane), placement.Translation);
  return VectorAdd(inPlane, Linear(workOffset));
}

AxisPosition SubtractWorkOffset(const AxisPosition& position, const WorkOffsetValues& workOffset) {
  return ShiftedBy(position, workOffset, -1.0);
}

AxisPosition AddWorkOffset(const AxisPosition& position, const WorkOffsetValues& workOffset) {
  return ShiftedBy(position, workOffset, 1.0);
}

void SavePositionState(MachinePositionState& state, int32_t toolNumber,
                       const WorkOffsetValues& activeWorkOffset) {
  SavedPositionState& saved = state.Saved;
  saved.ToolNumber = toolNumber;
  saved.ProgramPosition = state.ProgramPosition;
  saved.MachinePosition = state.MachinePosition;
  saved.ActiveWorkOffset = activeWorkOffset;
  saved.ToolTip = state.ToolTip;
  saved.ToolAxis = state.ToolAxis;
}

}  // namespace vestan
