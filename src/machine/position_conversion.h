// The machine position state converted between program, machine and tool-tip
// coordinates: the update after every step with its four cases, its twins
// for the path drawing, the way back from a tool point to the program
// position, single points through the work offset, into and out of the
// tilted plane, and the copy saved for a later restore.
#pragma once

#include <cstdint>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "definitions/offset_memory.h"
#include "foundation/vector_math.h"
#include "machine/rotary_angles.h"
#include "machine/rotary_axes.h"
#include "machine/rotary_solution.h"
#include "model/dexel_model.h"
#include "model/position_state.h"

namespace vestan {

// The workpiece model's placement in force: model to machine.
struct WorkpiecePlacement {
  int32_t Placed = 0;
  Matrix3 Matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Matrix3 Inverse{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 Translation{};
};

WorkpiecePlacement PlacementOf(const DexelModel& model);

// The tilted working plane as the interpreter builds it: Matrix takes plane
// coordinates into work coordinates (its third column is the plane's tool
// axis), Inverse takes them back, Origin is the plane's translation.
struct TiltedPlaneFrame {
  Matrix3 Matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Matrix3 Inverse{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 Origin{};
};

// Tool-axis codes of the interpreter that a conversion tests.
inline constexpr int32_t kReferencePointReached = 2;    // the reference-return stage
inline constexpr int32_t kToolAxisDirectionCode = 531;  // G53.1 as the last G code

// The interpreter's values a conversion reads, copied by the caller so that
// the machine model needs nothing of the interpreter.
struct PositionModalInputs {
  int32_t ReferenceReturnStage = 0;  // kReferencePointReached: at a reference point
  int32_t MachineCoordinates = 0;    // a plain G53 block
  int32_t LastGCode = 0;
  int32_t ToolAxisMode = 0;   // 0 off, 1 tool tip with angles, 2 with a tool vector
  int32_t ToolTipLength = 0;  // tool-tip control length: the length axis loses the length
  double ToolLengthInForce = 0.0;
  // Tilted working plane: 1 on with tool-vector output, -1 cancelled; whether
  // a plane is in force; mode 2 takes the two stored angles as they are.
  int32_t TiltedPlaneState = 0;
  int32_t TiltedPlaneActive = 0;
  int32_t TiltedPlaneMode = 0;
  RotaryAngles TiltedPlaneAngles{};
  TiltedPlaneFrame TiltedPlane;
  // The run found the rotary axes programmed apart from the plane
  // (HEIDENHAIN): the machine takes the program's rotary angles.
  int32_t RotaryProgrammedDirectly = 0;
  // Polar interpolation with the polar angle offset (degrees).
  int32_t Polar = 0;
  double PolarAngleOffset = 0.0;
  // Cylindrical interpolation: the plane's normal axis becomes machine X;
  // the source axis divided by the divisor (when above 0) is rotary 2.
  int32_t Cylindrical = 0;
  double CylinderDivisor = 0.0;
  int32_t CylinderSourceAxis = 0;
  int32_t PlaneNormalAxis = 2;
  // The tool-length vector and the tool-length axis.
  int32_t LengthVectorInUse = 0;
  Vec3 LengthVector{};
  int32_t LengthAxis = 2;
  // The dialect keeps rotary work offsets out of the table correction
  // (SIEMENS, HEIDENHAIN, OSP).
  int32_t KeepRotaryOffsetsOut = 0;
  // What the rotary solution reads (HEIDENHAIN flag included).
  RotaryModalInputs Rotary;
};

// The machine and the records a conversion reads besides the inputs.
struct PositionConverter {
  const MachineKinematics& Kinematics;
  const ControllerDefinition& Controller;
  const StrokeLimits& Limits;
  const WorkOffsetValues& WorkOffset;  // the composed work offset
  const WorkpiecePlacement& Placement;
  RotarySolveContext& Solve;
  LongRotaryMoveWarning Warn;  // may be empty
};

// Spindle reference point less the tool tip along the spindle: the
// reference length beyond the tool's own length.
double ToolLengthEffect(const MachinePositionState& state);

// What a conversion derived for the interpreter when the machine position
// was the given side: the move's end and the commanded position, which the
// caller stores.
struct DerivedProgramPosition {
  bool Derived = false;
  AxisPosition End{};
  AxisPosition Commanded{};
};

// The rotary sines and the tool's frame (ToolFrame) taken afresh from the
// machine position, as every position update ends.
void RefreshRotaryState(const MachineKinematics& kinematics, const ControllerDefinition& controller,
                        MachinePositionState& state);

// Brings the state up to date from whichever side the interpreter gives:
// at a reference point the machine position (the program position follows
// it); in tool-tip control the tool tip (the program position plus the work
// offset); for a plain block the program position (through polar,
// cylindrical or tilted-plane forms); for G53 and G53.1 the machine
// position. Then the tool tip, the tool axis, the rotary sines and the
// tool's frame follow.
DerivedProgramPosition UpdateMachinePosition(const PositionConverter& converter,
                                             const PositionModalInputs& inputs,
                                             MachinePositionState& state);

// The same four cases for the path drawing, from program and to (or, where
// the machine position is given, from) machine, with the tool tip and axis
// written to tip and axis; the rotary sines stay. Where the program position
// is derived it is written into the state as UpdateMachinePosition does.
// The second form derives it without the tilted plane: it always takes the
// work offset off.
DerivedProgramPosition ConvertProgramToMachine(const PositionConverter& converter,
                                               const PositionModalInputs& inputs,
                                               MachinePositionState& state,
                                               const AxisPosition& program, AxisPosition& machine,
                                               Vec3& tip, Vec3& axis);
DerivedProgramPosition ConvertProgramToMachine2(const PositionConverter& converter,
                                                const PositionModalInputs& inputs,
                                                MachinePositionState& state,
                                                const AxisPosition& program, AxisPosition& machine,
                                                Vec3& tip, Vec3& axis);

// The program position of a tool point and axis in the machine frame: the
// length correction of tool-tip control undone along the axis, the table's
// turn undone, the tool-length effect and the work offset taken off; the
// rotary values from the machine position less the rotary work offsets and
// base angles.
void AdjustPositionOffsets(const PositionConverter& converter, const PositionModalInputs& inputs,
                           MachinePositionState& state, const Vec3& point, const Vec3& axis);

// A machine point into the tilted plane's coordinates (through the
// workpiece placement when placed, else less the work offset), and a plane
// point out again; each undoes the other.
Vec3 ConvertToModelCoordinates(const WorkpiecePlacement& placement, const TiltedPlaneFrame& plane,
                               const WorkOffsetValues& workOffset, const Vec3& point);
Vec3 TransformPositionByMatrix(const WorkpiecePlacement& placement, const TiltedPlaneFrame& plane,
                               const WorkOffsetValues& workOffset, const Vec3& point);

// Element by element, all five axes.
AxisPosition SubtractWorkOffset(const AxisPosition& position, const WorkOffsetValues& workOffset);
AxisPosition AddWorkOffset(const AxisPosition& position, const WorkOffsetValues& workOffset);

// Copies the tool number, the program and machine positions, the active
// work offset, the tool tip and the tool axis into the saved copy.
void SavePositionState(MachinePositionState& state, int32_t toolNumber,
                       const WorkOffsetValues& activeWorkOffset);

}  // namespace vestan
