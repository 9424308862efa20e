#include "machine/rotary_angles.h"

#include <cmath>

namespace vestan {

namespace {

// Turns taken one at a time, as they always were, so that the rounding of
// every angle a program can reasonably reach stays as it was; an angle
// further away is reduced in one step instead of looping (for ever, once
// the turn no longer changes it).
constexpr int kSteppedTurns = 64;
constexpr int kMaxStrokeTurns = 1000;
constexpr double kStrokeTolerance = 1e-5;

// angle (radians) moved by whole turns to within half a turn of reference.
double BringWithinHalfTurn(double angle, double reference) {
  int steps = 0;
  if (angle - reference > kPi) {
    for (; steps < kSteppedTurns && angle - reference > kPi; ++steps) angle -= kTwoPi;
    if (!(angle - reference > kPi)) return angle;
  } else if (reference - angle > kPi) {
    for (; steps < kSteppedTurns && reference - angle > kPi; ++steps) angle += kTwoPi;
    if (!(reference - angle > kPi)) return angle;
  } else {
    return angle;
  }
  const double apart = std::remainder(angle, kTwoPi) - std::remainder(reference, kTwoPi);
  return reference + std::remainder(apart, kTwoPi);
}

// (a - b) modulo 360 in [0, 360), without forming a - b (which may not
// exist for far values).
double TurnsApart(double a, double b) {
  double r = std::fmod(std::fmod(a, 360.0) - std::fmod(b, 360.0), 360.0);
  if (r < 0.0) r += 360.0;
  return r;
}

bool InRange(double value, double minimum, double maximum) {
  return value >= minimum && value <= maximum;
}

double ReduceTo360(double x) {
  if (x > 0.0) return x - std::trunc(x / 360.0) * 360.0;
  if (x < 0.0) return x - std::trunc(x / 360.0) * 360.0 + 360.0;
  return x;
}

}  // namespace

int32_t ChooseRotaryAngleNear(double previous, int32_t check, double minimum, double maximum,
                              double& angle) {
  if (!std::isfinite(angle) || !std::isfinite(previous)) return 0;
  double a = BringWithinHalfTurn(angle, previous * kRadiansPerDegree);
  if (check != 0) {
    double degrees = a * kDegreesPerRadian;
    if (degrees < minimum) {
      for (int i = 0; i < kMaxStrokeTurns; ++i) {
        a += kTwoPi;
        degrees = a * kDegreesPerRadian;
        if (degrees > maximum) return 0;
        if (degrees >= minimum) break;
      }
    } else if (degrees > maximum) {
      for (int i = 0; i < kMaxStrokeTurns; ++i) {
        a -= kTwoPi;
        degrees = a * kDegreesPerRadian;
        if (degrees < minimum) return 0;
        if (degrees <= maximum) break;
      }
    }
  }
  angle = a;
  return 1;
}

int32_t WrapRotaryAngleIntoStroke(const StrokeLimits& limits, double& angle1, double& angle2) {
  std::array<double*, 2> angles{&angle1, &angle2};
  for (size_t k = 0; k < 2; ++k) {
    if (limits.Enabled[3 + k] == 0) continue;
    double& a = *angles[k];
    const double degrees = a * kDegreesPerRadian;
    const double minimum = limits.Minimum[3 + k], maximum = limits.Maximum[3 + k];
    if (InRange(degrees, minimum, maximum)) continue;
    if (a > 0.0 && InRange(degrees - 360.0, minimum, maximum))
      a -= kTwoPi;
    else if (a < 0.0 && InRange(degrees + 360.0, minimum, maximum))
      a += kTwoPi;
    else
      return 0;
  }
  return 1;
}

int32_t WrapAngle360(double& angle, double minimum, double maximum) {
  if (!std::isfinite(angle) || !std::isfinite(minimum) || !std::isfinite(maximum)) return 0;
  double a = angle;
  if (a < minimum) {
    for (int i = 0; i < kSteppedTurns && a < minimum; ++i) a += 360.0;
    if (a < minimum) a = minimum + TurnsApart(a, minimum);
    for (int i = 0; i < 2 && a < minimum; ++i) a += 360.0;
  } else if (a > maximum) {
    for (int i = 0; i < kSteppedTurns && a > maximum; ++i) a -= 360.0;
    if (a > maximum) a = maximum - TurnsApart(maximum, a);
    for (int i = 0; i < 2 && a > maximum; ++i) a -= 360.0;
  }
  angle = a;
  return 1;
}

double GetRotaryAngleDelta(const RotaryModalInputs& modal, double from, double to) {
  if (modal.Incremental != 0) return to - from;
  double d = ReduceTo360(to) - ReduceTo360(from);
  if (d > 180.0)
    d -= 360.0;
  else if (d < -180.0)
    d += 360.0;
  if (modal.Heidenhain != 0) {
    if (d == 180.0 && from > to) return -180.0;
    if (d == -180.0 && to > from && from >= 0.0) return 180.0;
  }
  return d;
}

int32_t IsRotarySignAllowed(const MachineKinematics& kinematics, int32_t solutionSign,
                            double angle1, double angle2) {
  if (solutionSign == 0) return 1;
  const std::array<double, 2> angles{angle1, angle2};
  for (size_t k = 0; k < 2; ++k) {
    if (kinematics.Rotary[k].Axis >= 2) continue;
    if (solutionSign == 1 && angles[k] < 0.0) return 0;
    if (solutionSign == -1 && angles[k] > 0.0) return 0;
  }
  return 1;
}

double GetTiltRotationAngle(const RotaryModalInputs& modal, double fallback) {
  switch (modal.SwivelCode) {
    case 27:
    case 155:
    case 125:
    case 39:
    case 167:
      return modal.SwivelAngles[0];
    case 30:
    case 158:
    case 54:
    case 182:
      return modal.SwivelAngles[1];
    case 57:
    case 185:
    case 45:
    case 173:
      return modal.SwivelAngles[2];
    default:
      return fallback;
  }
}

int32_t CheckOverStroke(const StrokeLimits& limits, const ControllerDefinition& controller,
                        const AxisPosition& position, char& overStrokeLetter) {
  for (size_t axis = 0; axis < 5; ++axis) {
    if (limits.Enabled[axis] == 0) continue;
    const double value = position[axis];
    if (limits.Minimum[axis] - value > kStrokeTolerance ||
        value - limits.Maximum[axis] > kStrokeTolerance) {
      overStrokeLetter =
          axis < 3 ? controller.AddressLetters[axis] : controller.Rotary[axis - 3].Letter;
      return static_cast<int32_t>(axis);
    }
  }
  return -1;
}

}  // namespace vestan
