#include "nc/arc_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vestan {

Vec3 ArcCentreFromRadius(const AxisPosition& start, const AxisPosition& end,
                         const std::array<int32_t, 3>& axes, double r, int32_t motionMode) {
  const size_t a = static_cast<size_t>(axes[0]);
  const size_t b = static_cast<size_t>(axes[1]);
  const size_t n = static_cast<size_t>(axes[2]);
  const double ha = (end[a] - start[a]) / 2.0;
  const double hb = (end[b] - start[b]) / 2.0;
  const double d2 = ha * ha + hb * hb;
  const double rest = r * r - d2;
  const double t = rest > 0.0 ? std::sqrt(rest) : 0.0;
  const double d = std::sqrt(d2);
  double ua = d > 0.0 ? hb / d : 0.0;
  double ub = d > 0.0 ? -ha / d : 0.0;
  if ((motionMode == kMotionClockwise && r < 0.0) ||
      (motionMode == kMotionCounterClockwise && r > 0.0)) {
    ua = -ua;
    ub = -ub;
  }
  Vec3 centre{};
  centre[a] = start[a] + ha + t * ua;
  centre[b] = start[b] + hb + t * ub;
  centre[n] = start[n];
  return centre;
}

bool ComputeArcSweep(NcMove& move, const std::array<int32_t, 3>& axes, double tolerance) {
  const size_t a = static_cast<size_t>(axes[0]);
  const size_t b = static_cast<size_t>(axes[1]);
  const double sa = move.Start[a] - move.Centre[a], sb = move.Start[b] - move.Centre[b];
  const double ea = move.End[a] - move.Centre[a], eb = move.End[b] - move.Centre[b];
  const double r1 = std::hypot(sa, sb);
  const double r2 = std::hypot(ea, eb);
  move.StartRadius = r1;
  move.EndRadius = r2;
  move.StartRadial = {};
  move.EndRadial = {};
  if (r1 > 0.0) {
    move.StartRadial[a] = sa / r1;
    move.StartRadial[b] = sb / r1;
  }
  if (r2 > 0.0) {
    move.EndRadial[a] = ea / r2;
    move.EndRadial[b] = eb / r2;
  }
  const double dot =
      move.StartRadial[a] * move.EndRadial[a] + move.StartRadial[b] * move.EndRadial[b];
  const double cross =
      move.StartRadial[a] * move.EndRadial[b] - move.StartRadial[b] * move.EndRadial[a];
  double angle = std::acos(std::clamp(dot, -1.0, 1.0));
  if ((move.MotionMode == kMotionClockwise && cross > 0.0) ||
      (move.MotionMode == kMotionCounterClockwise && cross < 0.0))
    angle = 2.0 * std::numbers::pi - angle;
  const bool fullCircle = move.Start[a] == move.End[a] && move.Start[b] == move.End[b];
  if (fullCircle || angle == 0.0) angle = 2.0 * std::numbers::pi;
  move.ArcAngle = angle;
  move.Length = (r1 + r2) / 2.0 * angle;
  // No tolerance given (0) checks nothing: rounding alone would otherwise
  // stop a run on arcs that are exact as written.
  return tolerance > 0.0 && std::fabs(r1 - r2) >= tolerance;
}

}  // namespace vestan
