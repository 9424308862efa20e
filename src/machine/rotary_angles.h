// Rotary angles one at a time: the interpreter's modal values the solutions
// read, bringing an angle next to the previous one and into its stroke,
// wrapping and comparing angles, the solution-sign filter, the swivel
// cycle's rotation angle, and the over-stroke test of all five axes.
#pragma once

#include <array>
#include <cstdint>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "machine/rotary_axes.h"

namespace vestan {

// The path-angle values of a tool-vector move: start and end angle and the
// angle step per interpolation step (radians), and the mode of
// TurnVectorByPathAngle.
struct PathAngleValues {
  double Start = 0.0;
  double End = 0.0;
  double Step = 0.0;
  int32_t Mode = 0;
};

// The interpreter's modal values that the rotary solutions read, copied by
// the caller so that the machine model needs nothing of the interpreter.
struct RotaryModalInputs {
  // The HEIDENHAIN spatial plane's "SEQ": 1 plus, -1 minus, 0 none.
  int32_t SolutionSign = 0;
  int32_t Heidenhain = 0;
  int32_t Siemens = 0;
  int32_t TiltedPlaneActive = 0;
  double SpcAngle = 0.0;  // the plane-spatial third angle, degrees
  // The swivel cycle's rotation-order code and its three angles (degrees).
  int32_t SwivelCode = 0;
  std::array<double, 3> SwivelAngles{};
  int32_t ToolAxisMode = 0;  // 0 off, 1 rotary angles, 2 tool vector
  int32_t MotionMode = 0;    // 0 rapid, 1 linear, 2 and 3 arcs
  int32_t Incremental = 0;   // 1 under G91
  int32_t CuttingMode = 0;   // the run's: 0 idle, 1 to 3 running
  // Per rotary axis: 1 turns the shortest way (the controller memory's
  // switch).
  std::array<uint8_t, 2> ShortestRoute{};
  PathAngleValues PathAngles;
};

// Brings angle (radians) within half a turn of previous (degrees), then,
// when check is set, whole turns into [minimum, maximum] (degrees): 1 when
// it lies there or was turned in, 0 when no whole turn fits; after 1000
// turns the last value is taken. A non-finite angle or previous angle is
// refused (0, angle unchanged). Far angles are reduced in one step.
int32_t ChooseRotaryAngleNear(double previous, int32_t check, double minimum, double maximum,
                              double& angle);

// Each angle (radians) whose rotary axis has an enabled machine stroke must
// lie in it, as it is or one turn away (then turned there): 1 when both do.
int32_t WrapRotaryAngleIntoStroke(const StrokeLimits& limits, double& angle1, double& angle2);

// Whole turns of 360 added to an angle (degrees) below minimum until it is
// not, or taken from one above maximum until it is not. 0 and the angle
// unchanged when it or a bound is not finite; 1 otherwise.
int32_t WrapAngle360(double& angle, double minimum, double maximum);

// The move from one rotary angle to another (degrees): the plain difference
// under G91, else the shortest way round. Half a turn keeps the sign of the
// difference of the angles reduced to one turn, except that under HEIDENHAIN
// it is -180 when from > to and 180 when to > from >= 0.
double GetRotaryAngleDelta(const RotaryModalInputs& modal, double from, double to);

// 1 when the solution sign allows the pair (any units): plus refuses a
// negative angle, minus a positive one, of an axis about X or Y.
int32_t IsRotarySignAllowed(const MachineKinematics& kinematics, int32_t solutionSign,
                            double angle1, double angle2);

// The swivel cycle's angle for its rotation-order code, or fallback for a
// code that names none.
double GetTiltRotationAngle(const RotaryModalInputs& modal, double fallback);

// The first axis (0 X ... 4 rotary 2) with an enabled stroke that position
// passes by more than 1e-5, its letter in overStrokeLetter; -1 when none.
int32_t CheckOverStroke(const StrokeLimits& limits, const ControllerDefinition& controller,
                        const AxisPosition& position, char& overStrokeLetter);

}  // namespace vestan
