// The forward kinematics of HEAD, TABLE and MIX machines: the tool tip and
// tool axis of a 5-axis machine position, the machine X, Y, Z that put the
// tip at a point for given rotary angles, and turning a work point with the
// table.
#pragma once

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "foundation/vector_math.h"
#include "machine/rotary_axes.h"

namespace vestan {

// Tip and axis of the tool at the machine position; toolLength is the length
// from the spindle's reference point to the tip (the reference tool length,
// or the length in force for tool-tip control). Rotary type 0 takes the MIX
// form: with both angles 0 the tip lies toolLength below the position and
// the axis is the tool direction. Axis components below 1e-9 become 0.
void ComputeToolTipAndAxis(const MachineKinematics& kinematics,
                           const ControllerDefinition& controller, double toolLength,
                           const AxisPosition& machine, Vec3& tip, Vec3& axis);

// Where the machine holds the tool at the machine position (rotary sines and
// cosines as ComputeRotarySinCos gives them): the placement that takes a
// point of the spindle's frame (the tool axis along +Z from the spindle's
// reference point, the tip toolLength down it) to where the kinematics put
// it, so that the tip and the axis stand as ComputeToolTipAndAxis has them.
Placement ComputeToolFrame(const MachineKinematics& kinematics, const RotarySinCos& sinCos,
                           const AxisPosition& machine);

// The machine position whose tool tip is tip at these angles (the inverse of
// ComputeToolTipAndAxis for X, Y, Z); elements 4 and 5 are the angles.
AxisPosition ComputeToolPosture(const MachineKinematics& kinematics,
                                const ControllerDefinition& controller, double toolLength,
                                const Vec3& tip, const RotaryAngles& angles);

// The lengths tool-tip control works with.
struct ToolTipControlLengths {
  double Reference = 0.0;  // ReferenceToolLength
  double InForce = 0.0;    // ToolLengthInForce
  double Value = 0.0;      // ToolLengthValue
};

// ComputeToolPosture for tool-tip control: HEAD and MIX with the length in
// force; TABLE with reference + in force - value along the tool direction.
AxisPosition RotatePointAndAxisThroughRotaryAxes(const MachineKinematics& kinematics,
                                                 const ControllerDefinition& controller,
                                                 const ToolTipControlLengths& lengths,
                                                 const Vec3& tip, const RotaryAngles& angles);

// Turns a work point with the table by the prepared angles tableSinCos:
// TABLE about both table axes (rotary 2 first, about the second table's
// centre, then rotary 1 about the table position); MIX about rotary 2
// through the table position; other types leave it. CorrectRotaryCentre2
// turns it back.
void CorrectRotaryCentre(const MachineKinematics& kinematics, const RotarySinCos& tableSinCos,
                         Vec3& point);
void CorrectRotaryCentre2(const MachineKinematics& kinematics, const RotarySinCos& tableSinCos,
                          Vec3& point);

}  // namespace vestan
