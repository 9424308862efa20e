#include "machine/rotary_solution.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

constexpr double kLongRotaryMove = 160.0;
constexpr double kTieTolerance = 1e-6;
// Below this a projection or a circle counts as a point.
constexpr double kDegenerate = 1e-12;

// One solution: the machine angles of rotary 1 and 2 (radians, signs
// applied).
struct Candidate {
  double A1 = 0.0;
  double A2 = 0.0;
};

struct Candidates {
  std::array<Candidate, 2> Items{};
  size_t Count = 0;
  void Add(const Candidate& c) {
    if (Count < Items.size()) Items[Count++] = c;
  }
};

// The rotary axes as the solutions see them. The outer axis is the one the
// tool axis is turned by last: rotary 1 on a HEAD, rotary 2 otherwise.
struct Layout {
  const MachineKinematics& Kinematics;
  std::array<RotaryAxisFrame, 2> Axes;
  std::array<int32_t, 2> Signs;
  size_t Outer;
  size_t Inner;

  Layout(const MachineKinematics& k, const ControllerDefinition& c)
      : Kinematics(k),
        Axes{DescribeRotaryAxis(k, 0), DescribeRotaryAxis(k, 1)},
        Signs(RotarySigns(c)),
        Outer(k.RotaryType == kRotaryHead ? 0 : 1),
        Inner(k.RotaryType == kRotaryHead ? 1 : 0) {}

  const RotaryAxisFrame& OuterAxis() const { return Axes[Outer]; }
  const RotaryAxisFrame& InnerAxis() const { return Axes[Inner]; }
  // The machine angles of a pair of geometric angles about the outer and
  // the inner axis.
  Candidate FromGeometric(double outer, double inner) const {
    Candidate c;
    (Outer == 0 ? c.A1 : c.A2) = outer * Signs[Outer];
    (Inner == 0 ? c.A1 : c.A2) = inner * Signs[Inner];
    return c;
  }
};

enum class Method {
  kNone,          // no solution exists for this layout
  kClosedForm,    // plain axes, tool along Z: the closed forms by axis pair
  kNutatingHead,  // a HEAD about Z carrying an axis tilted toward Z
  kGeneral,       // any other layout, solved on its own rotations
};

Method ChooseMethod(const Layout& layout) {
  const RotaryAxisFrame& outer = layout.OuterAxis();
  const RotaryAxisFrame& inner = layout.InnerAxis();
  if (outer.Axis < 0 || inner.Axis < 0) return Method::kNone;
  const bool plain = outer.Inclination == RotaryInclination::kNone &&
                     inner.Inclination == RotaryInclination::kNone;
  const bool toolAlongZ = layout.Kinematics.ToolDirectionInUse == 0;
  if (plain && toolAlongZ) {
    if (outer.Axis == inner.Axis) return Method::kNone;
    // An inner axis about Z does not move a tool along Z.
    return inner.Axis == 2 ? Method::kGeneral : Method::kClosedForm;
  }
  const bool tiltedTowardZ = (inner.Inclination == RotaryInclination::kAngle && inner.Axis == 1) ||
                             (inner.Inclination == RotaryInclination::kVector &&
                              inner.AzimuthSin == 0.0 && inner.AzimuthCos > 0.0);
  if (layout.Kinematics.RotaryType == kRotaryHead && toolAlongZ && outer.Axis == 2 &&
      outer.Inclination == RotaryInclination::kNone && tiltedTowardZ)
    return Method::kNutatingHead;
  return Method::kGeneral;
}

double Radians(double degrees) { return degrees * kRadiansPerDegree; }

// The outer angle (degrees, geometric) when the tool axis lies along the
// outer axis and any outer angle would do.
double FreeOuterAngle(const Layout& layout, const RotaryModalInputs& modal,
                      const RotaryAngles& previous) {
  const double held = previous[layout.Outer] * layout.Signs[layout.Outer];
  double angle = held;
  if (layout.Outer == 1 && layout.Axes[0].Axis == 1) angle = 0.0;
  if (modal.Heidenhain != 0 && modal.TiltedPlaneActive != 0) angle = modal.SpcAngle;
  if (modal.Siemens != 0 && modal.TiltedPlaneActive != 0) angle = GetTiltRotationAngle(modal, held);
  return angle;
}

// atan(num / den) with the fixed answers of a zero denominator (+90 or -90
// degrees by denZeroSign, the sign of the numerator's component) and of a
// zero numerator.
double OuterAngle(double num, double den, double denZeroSign, double numZeroAngle) {
  if (den == 0.0 && denZeroSign != 0.0) return denZeroSign > 0.0 ? kHalfPi : -kHalfPi;
  if (num == 0.0) return numZeroAngle;
  return std::atan(num / den);
}

double Sign(double x) { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }

// The right-handed angle about the inner axis that takes Z to the turned
// tool axis.
double InnerAngle(int innerAxis, const Vec3& v) {
  const double num = innerAxis == 0 ? -v[1] : v[0];
  const double den = v[2];
  if (den == 0.0) return num > 0.0 ? kHalfPi : (num < 0.0 ? -kHalfPi : 0.0);
  double phi = std::atan(num / den);
  if (den < 0.0) phi += phi <= 0.0 ? kPi : -kPi;
  return phi;
}

// Closed forms for plain axes and a tool along Z. The second outer angle is
// the first turned half a turn: both then point the tool along v.
void ClosedFormCandidates(const Layout& layout, const Vec3& v, const RotaryAngles* previous,
                          const RotaryModalInputs& modal, Candidates& out) {
  const RotaryAxisFrame& outer = layout.OuterAxis();
  const int innerAxis = layout.InnerAxis().Axis;
  const size_t p = static_cast<size_t>(outer.P), q = static_cast<size_t>(outer.Q);
  const double x = v[0], y = v[1], z = v[2];
  std::array<double, 2> thetas{};
  size_t count = 2;
  if (previous != nullptr && outer.Axis == 2 && v[p] == 0.0 && v[q] == 0.0) {
    thetas[0] = Radians(FreeOuterAngle(layout, modal, *previous));
    count = 1;
  } else {
    if (outer.Axis == 2)
      thetas[0] =
          innerAxis == 0 ? OuterAngle(-x, y, -Sign(x), 0.0) : OuterAngle(y, x, Sign(y), 0.0);
    else if (outer.Axis == 0)
      thetas[0] = OuterAngle(-y, z, Sign(y), z < 0.0 ? kPi : 0.0);
    else
      thetas[0] = OuterAngle(x, z, Sign(x), z < 0.0 ? kPi : 0.0);
    thetas[1] = thetas[0] >= 0.0 ? thetas[0] - kPi : thetas[0] + kPi;
  }
  for (size_t i = 0; i < count; ++i) {
    const double c = std::cos(thetas[i]), s = std::sin(thetas[i]);
    Vec3 turned = v;
    turned[p] = v[p] * c + v[q] * s;
    turned[q] = v[q] * c - v[p] * s;
    out.Add(layout.FromGeometric(thetas[i], InnerAngle(innerAxis, turned)));
  }
}

// A HEAD turning about Z and carrying an axis tilted by t toward Z: the tilt
// fixes the inner angle from the Z component, the outer one turns the
// inner's image of Z onto the tool axis in the XY plane. v is a unit vector.
void NutatingHeadCandidates(const Layout& layout, const Vec3& v, const RotaryAngles* previous,
                            Candidates& out) {
  const RotaryAxisFrame& inner = layout.InnerAxis();
  const double ct = inner.TiltCos, st = inner.TiltSin;
  if (ct == 0.0) return;
  const double height = (v[2] - st * st) / (ct * ct);
  // Beyond the cone the head sweeps there is no pair (not one for another axis).
  if (!(std::fabs(height) <= 1.0 + 1e-12)) return;
  const double base = std::acos(std::clamp(height, -1.0, 1.0));
  for (const double a2 : {base, -base}) {
    const double turned = st * ct * (1.0 - std::cos(a2));
    const double across = ct * std::sin(a2);
    const std::array<double, 2> h = inner.Axis == 1 ? std::array<double, 2>{across, turned}
                                                    : std::array<double, 2>{turned, -across};
    double a1;
    if (h[0] == 0.0 && h[1] == 0.0) {
      a1 = previous != nullptr ? Radians((*previous)[0] * layout.Signs[0]) : 0.0;
    } else {
      const double cosine = (h[0] * v[0] + h[1] * v[1]) / (h[0] * h[0] + h[1] * h[1]);
      a1 = std::acos(std::clamp(cosine, -1.0, 1.0));
      if (h[0] * v[1] - h[1] * v[0] < 0.0) a1 = -a1;
    }
    out.Add(layout.FromGeometric(a1, a2));
  }
}

// How far (as a unit vector) a pair's tool axis may miss the one asked for.
constexpr double kReachTolerance = 1e-7;

Vec3 Scaled(const Vec3& v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }

// v less its part along the unit vector u.
Vec3 Across(const Vec3& v, const Vec3& u) { return VectorSub(v, Scaled(u, VectorDot(u, v))); }

// Any two rotary axes and tool direction, on the rotations themselves: the
// inner axis turns the tool direction on a circle, of which the points with
// the tool axis's height along the outer axis are the inner angles; the
// outer angle then turns such a point onto the tool axis. Each pair is
// checked by turning the tool direction through it: an axis out of reach
// gives no pair rather than a pair for some other axis. v is a unit vector.
void GeneralCandidates(const Layout& layout, const Vec3& v, const RotaryAngles* previous,
                       const RotaryModalInputs& modal, Candidates& out) {
  const RotaryAxisFrame& inner = layout.InnerAxis();
  const Vec3 uo = RotaryAxisDirection(layout.OuterAxis());
  const Vec3& direction = layout.Kinematics.ToolDirection;
  const double directionLength = VectorLength(direction);
  if (!(directionLength > 0.0)) return;
  const Vec3 d = Scaled(direction, 1.0 / directionLength);
  // The circle: w(a) = centre + cos a * first + sin a * second.
  const Vec3 w0 = RotateThroughRotaryAxis(inner, 0.0, 1.0, d);
  const Vec3 w90 = RotateThroughRotaryAxis(inner, 1.0, 0.0, d);
  const Vec3 w180 = RotateThroughRotaryAxis(inner, 0.0, -1.0, d);
  const Vec3 centre = Scaled(VectorAdd(w0, w180), 0.5);
  const Vec3 first = Scaled(VectorSub(w0, w180), 0.5);
  const Vec3 second = VectorSub(w90, centre);
  const double b = VectorDot(uo, first), c = VectorDot(uo, second);
  const double radius = std::hypot(b, c);
  std::array<double, 2> inners{};
  size_t count = 2;
  if (radius <= kDegenerate) {
    inners[0] =
        previous != nullptr ? Radians((*previous)[layout.Inner] * layout.Signs[layout.Inner]) : 0.0;
    count = 1;
  } else {
    const double height = (VectorDot(uo, v) - VectorDot(uo, centre)) / radius;
    const double middle = std::atan2(c, b);
    const double spread = std::acos(std::clamp(height, -1.0, 1.0));
    inners = {std::remainder(middle + spread, kTwoPi), std::remainder(middle - spread, kTwoPi)};
  }
  const Vec3 vp = Across(v, uo);
  for (size_t i = 0; i < count; ++i) {
    const Vec3 w = RotateThroughRotaryAxis(inner, std::sin(inners[i]), std::cos(inners[i]), d);
    const Vec3 wp = Across(w, uo);
    double outer;
    if (VectorLength(vp) <= kDegenerate || VectorLength(wp) <= kDegenerate) {
      outer = previous != nullptr ? Radians(FreeOuterAngle(layout, modal, *previous)) : 0.0;
    } else {
      outer = std::atan2(VectorDot(uo, VectorCross(wp, vp)), VectorDot(wp, vp));
    }
    // w turned by the outer angle about uo (Rodrigues) must be v.
    const double co = std::cos(outer), so = std::sin(outer);
    const Vec3 turned = VectorAdd(VectorAdd(Scaled(w, co), Scaled(VectorCross(uo, w), so)),
                                  Scaled(uo, VectorDot(uo, w) * (1.0 - co)));
    if (VectorLength(VectorSub(turned, v)) > kReachTolerance) continue;
    out.Add(layout.FromGeometric(outer, inners[i]));
  }
}

// The candidates of a layout. The closed forms take the tool axis as
// given; the others take it as a unit vector.
Candidates GenerateCandidates(const Layout& layout, const Vec3& axis, const RotaryAngles* previous,
                              const RotaryModalInputs& modal) {
  Candidates out;
  const Method method = ChooseMethod(layout);
  if (method == Method::kNone) return out;
  if (method == Method::kClosedForm) {
    ClosedFormCandidates(layout, axis, previous, modal, out);
    return out;
  }
  const double length = VectorLength(axis);
  if (!(length > 0.0) || !std::isfinite(length)) return out;
  const Vec3 v = Scaled(axis, 1.0 / length);
  if (method == Method::kNutatingHead)
    NutatingHeadCandidates(layout, v, previous, out);
  else
    GeneralCandidates(layout, v, previous, modal, out);
  return out;
}

bool Differ(double a, double b) { return std::fabs(a - b) > kTieTolerance; }

double ReducedSize(double a) { return std::fabs(a - std::trunc(a / 360.0) * 360.0); }

// Of two accepted pairs (degrees), the one the decision order prefers.
const RotaryAngles& ChooseBetween(const RotarySolver& solver, const RotaryAngles& previous,
                                  const std::array<RotaryAngles, 2>& pairs) {
  const ControllerDefinition& controller = solver.Controller;
  const bool mix = solver.Kinematics.RotaryType == kRotaryMix;
  const size_t primary =
      (controller.AngleDecision == 0 && mix) || (controller.AngleDecision == 1 && !mix) ? 1 : 0;
  const size_t secondary = 1 - primary;
  const auto move = [&](size_t i, size_t k) {
    if (solver.Modal.ShortestRoute[k] != 0)
      return std::fabs(GetRotaryAngleDelta(solver.Modal, previous[k], pairs[i][k]));
    return std::fabs(pairs[i][k] - previous[k]);
  };
  for (const size_t k : {primary, secondary}) {
    const double m0 = move(0, k), m1 = move(1, k);
    if (Differ(m0, m1)) return m0 < m1 ? pairs[0] : pairs[1];
  }
  const double p0 = ReducedSize(pairs[0][primary]), p1 = ReducedSize(pairs[1][primary]);
  if (Differ(p0, p1)) return p0 < p1 ? pairs[0] : pairs[1];
  const double s0 = ReducedSize(pairs[0][secondary]), s1 = ReducedSize(pairs[1][secondary]);
  return Differ(s0, s1) && s1 < s0 ? pairs[1] : pairs[0];
}

// Filters, places, warns and chooses. cuttingModeTest: the warning also
// needs a running cut (the plain solver's rule).
RotaryAngles FinishSolution(const RotarySolver& solver, const Candidates& candidates,
                            const RotaryAngles& previous, const RotaryRanges& ranges,
                            bool cuttingModeTest) {
  const RotaryModalInputs& modal = solver.Modal;
  std::array<RotaryAngles, 2> accepted{};
  size_t count = 0;
  for (size_t i = 0; i < candidates.Count; ++i) {
    double a1 = candidates.Items[i].A1, a2 = candidates.Items[i].A2;
    if (modal.Heidenhain != 0 &&
        IsRotarySignAllowed(solver.Kinematics, modal.SolutionSign, a1, a2) == 0)
      continue;
    if (ChooseRotaryAngleNear(previous[0], ranges.Enabled[0], ranges.Minimum[0], ranges.Maximum[0],
                              a1) == 0 ||
        ChooseRotaryAngleNear(previous[1], ranges.Enabled[1], ranges.Minimum[1], ranges.Maximum[1],
                              a2) == 0)
      continue;
    accepted[count++] = {a1 * kDegreesPerRadian, a2 * kDegreesPerRadian};
  }

  RotarySolveContext& context = solver.Context;
  const bool longMove = count == 1 && (std::fabs(accepted[0][0] - previous[0]) > kLongRotaryMove ||
                                       std::fabs(accepted[0][1] - previous[1]) > kLongRotaryMove);
  if (modal.MotionMode != 0 && modal.ToolAxisMode == 2 &&
      (!cuttingModeTest || modal.CuttingMode >= 1) &&
      (ranges.Enabled[0] != 0 || ranges.Enabled[1] != 0) && context.PreviousAcceptCount == 2 &&
      longMove && solver.Warn)
    solver.Warn(previous[0], previous[1], accepted[0][0], accepted[0][1]);
  context.PreviousAcceptCount = static_cast<int32_t>(count);

  if (count == 0) return {0.0, 0.0};
  if (count == 1) return accepted[0];
  return ChooseBetween(solver, previous, accepted);
}

}  // namespace

RotaryRanges MachineRotaryRanges(const StrokeLimits& limits) {
  RotaryRanges ranges;
  for (size_t k = 0; k < 2; ++k) {
    ranges.Enabled[k] = limits.Enabled[3 + k];
    ranges.Minimum[k] = limits.Minimum[3 + k];
    ranges.Maximum[k] = limits.Maximum[3 + k];
  }
  return ranges;
}

RotaryRanges ControllerRotaryRanges(const ControllerDefinition& controller) {
  RotaryRanges ranges;
  for (size_t k = 0; k < 2; ++k) {
    ranges.Enabled[k] = controller.Rotary[k].RangeGiven;
    ranges.Minimum[k] = controller.Rotary[k].RangeMinimum;
    ranges.Maximum[k] = controller.Rotary[k].RangeMaximum;
  }
  return ranges;
}

RotaryAngles ChooseRotaryAnglesForToolAxis(const RotarySolver& solver, const Vec3& axis,
                                           const RotaryAngles& previous,
                                           const RotaryRanges& ranges) {
  if (AnyRotaryAxisInclined(solver.Kinematics))
    return SolveRotaryAnglesWithCheck(solver, axis, previous, ranges);
  const Layout layout(solver.Kinematics, solver.Controller);
  return FinishSolution(solver, GenerateCandidates(layout, axis, &previous, solver.Modal), previous,
                        ranges, true);
}

RotaryAngles SolveRotaryAnglesWithCheck(const RotarySolver& solver, const Vec3& axis,
                                        const RotaryAngles& previous, const RotaryRanges& ranges) {
  const Layout layout(solver.Kinematics, solver.Controller);
  return FinishSolution(solver, GenerateCandidates(layout, axis, &previous, solver.Modal), previous,
                        ranges, false);
}

RotaryAngles SolveRotaryAnglesFromVector(const MachineKinematics& kinematics,
                                         const ControllerDefinition& controller,
                                         const RotaryModalInputs& modal, const StrokeLimits& limits,
                                         const Vec3& axis) {
  const Layout layout(kinematics, controller);
  const Candidates candidates = GenerateCandidates(layout, axis, nullptr, modal);
  double best = 9999999.0;
  bool found = false;
  Candidate kept;
  for (size_t i = 0; i < candidates.Count; ++i) {
    Candidate c = candidates.Items[i];
    if (modal.Heidenhain != 0 && modal.SolutionSign != 0 &&
        IsRotarySignAllowed(kinematics, modal.SolutionSign, c.A1, c.A2) == 0)
      continue;
    if (WrapRotaryAngleIntoStroke(limits, c.A1, c.A2) == 0) continue;
    const double size = std::fabs(c.A1) + std::fabs(c.A2);
    if (size < best) {
      best = size;
      kept = c;
      found = true;
    }
  }
  if (!found) return {0.0, 0.0};
  return {kept.A1 * kDegreesPerRadian, kept.A2 * kDegreesPerRadian};
}

}  // namespace vestan
