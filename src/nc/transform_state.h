// The interpreter's coordinate transformations as modal state: scaling, the
// coordinate rotation slots of G68, the tilted working plane with the
// swivel parameters that build it, and polar and cylindrical interpolation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "foundation/vector_math.h"
#include "machine/position_conversion.h"

namespace vestan {

// G51 scaling about a centre, uniform or per axis X, Y, Z.
struct ScalingState {
  int32_t On = 0;
  int32_t Uniform = 0;
  double UniformFactor = 1.0;
  Vec3 Factors{1.0, 1.0, 1.0};
  Vec3 Centre{};
  std::array<int32_t, 3> Enabled{1, 1, 1};  // SCALE EFFECT per axis
};

// Coordinate rotation states.
inline constexpr int32_t kRotationNone = 0;
inline constexpr int32_t kRotationSetting = 1;
inline constexpr int32_t kRotationActive = 2;
inline constexpr int32_t kRotationCancelling = 3;
inline constexpr size_t kRotationSlots = 2;

// Axis words of a rotation: none (about the plane's normal, through the
// centre), or I, J, K (about X, Y, Z through the origin, then shifted).
inline constexpr int32_t kRotationAxisNone = 0;
inline constexpr int32_t kRotationAxisI = 1;
inline constexpr int32_t kRotationAxisJ = 2;
inline constexpr int32_t kRotationAxisK = 3;

struct RotationSlot {
  double Angle = 0.0;  // degrees
  double Cos = 1.0;
  double Sin = 0.0;
  // First axis, second axis and the axis turned about.
  std::array<int32_t, 3> Axes{0, 1, 2};
  // Along the first, second and third axis of the slot.
  Vec3 Centre{};
  int32_t AxisWord = kRotationAxisNone;
};

struct CoordinateRotation {
  int32_t State = kRotationNone;
  int32_t Count = 0;  // slots in force
  std::array<RotationSlot, kRotationSlots> Slots{};
  // Set when a second rotation is to stack on one given by an axis word.
  int32_t SecondRotation = 0;
};

// What CYCLE800 and HEIDENHAIN PLANE give to build a tilted plane.
struct TiltedPlaneParams {
  int32_t Additive = 0;            // 1: turn the plane in force further
  int32_t OrderCode = 0;           // which axis each angle turns about
  std::array<double, 3> Angles{};  // degrees, in argument order
  Vec3 ShiftBefore{};              // the shift before the rotation
  Vec3 ShiftAfter{};               // and after it
  int32_t Move = 0;                // 1: the block counts as a move
};

// Tilted-plane forms of the block that sets the plane.
inline constexpr int32_t kTiltedEuler = 0;           // G68.2 with Euler angles I, J, K
inline constexpr int32_t kTiltedRotatedOffset = 2;   // G68.2 writing a rotated work offset
inline constexpr int32_t kTiltedFromRotaryAxes = 3;  // G254
inline constexpr int32_t kTiltedSwivel = 4;          // CYCLE800, PLANE with a sequence
inline constexpr int32_t kTiltedSpatial = 5;         // HEIDENHAIN PLANE SPATIAL

struct TiltedPlaneState {
  int32_t State = 0;   // 1 on, 0 off, -1 being cancelled
  int32_t Active = 0;  // the plane's matrix is in force
  int32_t Form = 0;
  std::array<double, 3> Angles{};  // degrees
  // The block's Q: the Euler convention code of OSP (313, 323), or the
  // target work offset of the rotated-offset form.
  int32_t Code = 0;
  // 2: the rotary angles are the stored angles as given.
  int32_t Mode = 0;
  // HEIDENHAIN SEQ: 1 plus, -1 minus, 0 none.
  int32_t SolutionSign = 0;
  // Set by the run when the rotary axes are programmed apart from the plane,
  // or have still to turn to its solution: the machine then takes the
  // program's rotary angles (the HEIDENHAIN rotary move pending).
  int32_t RotaryProgrammedDirectly = 0;
  // The machine rotary angles (degrees) that point the tool along the
  // plane's tool axis, as the run solved them when the plane was set.
  RotaryAngles RotarySolution{};
  TiltedPlaneFrame Frame;
};

struct PolarState {
  int32_t On = 0;
  double AngleOffset = 0.0;  // degrees
};

struct CylindricalState {
  int32_t On = 0;
  double Divisor = 0.0;  // source length per degree of rotary 2
  int32_t SourceAxis = 0;
};

}  // namespace vestan
