#include "machine/interference_transforms.h"

#include <algorithm>
#include <cmath>

#include "foundation/geometry.h"

namespace vestan {

namespace {

Vec3 R1(const PartTransformFrame& f, const Vec3& v) {
  return RotateThroughRotaryAxis(f.First, f.SinCos[0], f.SinCos[1], v);
}
Vec3 R2(const PartTransformFrame& f, const Vec3& v) {
  return RotateThroughRotaryAxis(f.Second, f.SinCos[2], f.SinCos[3], v);
}
Vec3 R1p(const PartTransformFrame& f, const Vec3& v) {
  return RotateInAxisPlane(v, f.SinCos[1], f.SinCos[0], f.First.Axis, f.First.P, f.First.Q);
}

bool IsAxis(int a) { return a >= 0 && a <= 2; }

// R2p about centre on the plane axes of rotary 2 only: the axis coordinate
// is left exactly as it was rather than moved out and back.
void TurnPlaneOfSecondAbout(const PartTransformFrame& f, const Vec3& centre, Vec3& q) {
  const int b = f.Second.P, c = f.Second.Q;
  if (!IsAxis(f.Second.Axis) || !IsAxis(b) || !IsAxis(c)) return;
  const double u = q[b] - centre[b], w = q[c] - centre[c];
  q[b] = f.SinCos[3] * u - f.SinCos[2] * w + centre[b];
  q[c] = f.SinCos[2] * u + f.SinCos[3] * w + centre[c];
}

void ShiftPlaneOfSecond(const PartTransformFrame& f, const Vec3& by, double sign, Vec3& q) {
  const int b = f.Second.P, c = f.Second.Q;
  if (!IsAxis(b) || !IsAxis(c)) return;
  q[b] += sign * by[b];
  q[c] += sign * by[c];
}

double PlaneLength(const Vec3& v, int b, int c) {
  if (!IsAxis(b) || !IsAxis(c)) return 0.0;
  return std::sqrt(v[b] * v[b] + v[c] * v[c]);
}

}  // namespace

PartTransformFrame MakePartTransformFrame(const MachineKinematics& kinematics,
                                          const RotarySinCos& sinCos) {
  PartTransformFrame frame;
  frame.RotaryType = kinematics.RotaryType;
  frame.First = DescribeRotaryAxis(kinematics, 0);
  frame.Second = DescribeRotaryAxis(kinematics, 1);
  frame.SinCos = sinCos;
  frame.HeadPosition = kinematics.HeadPosition;
  frame.TablePosition = kinematics.TablePosition;
  frame.TableOffset = kinematics.TableOffset;
  frame.HeadOffset = kinematics.HeadOffset;
  return frame;
}

void TransformPartGeometry(const Vec3& boxMin, const Vec3& boxMax, const Vec3& position,
                           Vec3& outMin, Vec3& outMax) {
  std::array<Vec3, 8> corners;
  MakeBoxCorners(boxMin, boxMax, corners);
  outMin = {1e12, 1e12, 1e12};
  outMax = {-1e12, -1e12, -1e12};
  for (const Vec3& corner : corners) {
    const Vec3 q = VectorAdd(corner, position);
    for (int k = 0; k < 3; ++k) {
      outMin[k] = std::min(outMin[k], q[k]);
      outMax[k] = std::max(outMax[k], q[k]);
    }
  }
}

Vec3 TransformInterferencePart(const PartTransformFrame& f, const Vec3& position, const Vec3& p) {
  Vec3 q = R1(f, VectorSub(p, f.HeadPosition));
  q = VectorAdd(VectorAdd(q, f.HeadPosition), position);
  TurnPlaneOfSecondAbout(f, f.TablePosition, q);
  return q;
}

Vec3 TransformInterferencePart2(const PartTransformFrame& f, const Vec3& position,
                                const Vec3& p) {
  Vec3 q = p;
  ShiftPlaneOfSecond(f, f.HeadOffset, 1.0, q);
  q = R2(f, q);
  ShiftPlaneOfSecond(f, f.HeadOffset, -1.0, q);
  return VectorAdd(R1p(f, q), position);
}

Vec3 TransformInterferencePart3(const PartTransformFrame& f, const Vec3& position,
                                const Vec3& p) {
  Vec3 q = R1(f, VectorSub(VectorAdd(p, position), f.TablePosition));
  TurnPlaneOfSecondAbout(f, f.TableOffset, q);
  return VectorAdd(q, f.TablePosition);
}

Vec3 TransformInterferencePart4(const PartTransformFrame& f, const Vec3& position,
                                const Vec3& p) {
  if (f.RotaryType == kRotaryHead) return VectorAdd(R1p(f, p), position);
  return VectorAdd(VectorAdd(R1(f, VectorSub(p, f.HeadPosition)), f.HeadPosition), position);
}

Vec3 TransformInterferencePart5(const PartTransformFrame& f, const Vec3& position,
                                const Vec3& p) {
  Vec3 q = VectorAdd(p, position);
  if (f.RotaryType == kRotaryTable)
    return VectorAdd(R1(f, VectorSub(q, f.TablePosition)), f.TablePosition);
  if (f.RotaryType == kRotaryMix) TurnPlaneOfSecondAbout(f, f.TablePosition, q);
  return q;
}

std::array<double, 2> ComputeRotaryRadii(const MachineKinematics& kinematics,
                                         const ControllerDefinition& controller,
                                         double referenceLength, const AxisPosition& position) {
  const RotarySinCos sinCos = ComputeRotarySinCos(controller, {position[3], position[4]});
  const PartTransformFrame f = MakePartTransformFrame(kinematics, sinCos);
  const Vec3 p{position[0], position[1], position[2]};
  const Vec3& hp = f.HeadPosition;
  const Vec3 fromHead{-hp[0], -hp[1], -(hp[2] + referenceLength)};
  const int b1 = f.First.P, c1 = f.First.Q, b2 = f.Second.P, c2 = f.Second.Q;
  std::array<double, 2> radii{};
  switch (f.RotaryType) {
    case kRotaryHead: {
      radii[1] = PlaneLength(fromHead, b2, c2);
      radii[0] = PlaneLength(VectorSub(R2(f, fromHead), f.HeadOffset), b1, c1);
      break;
    }
    case kRotaryTable: {
      const Vec3 s = VectorSub(p, f.TablePosition);
      radii[0] = PlaneLength(s, b1, c1);
      Vec3 q = R1(f, s);
      ShiftPlaneOfSecond(f, f.TableOffset, -1.0, q);
      radii[1] = PlaneLength(q, b2, c2);
      break;
    }
    case kRotaryMix: {
      radii[0] = PlaneLength(fromHead, b1, c1);
      const Vec3 q = VectorAdd(VectorAdd(R1(f, fromHead), hp), p);
      radii[1] = PlaneLength(VectorSub(q, f.TablePosition), b2, c2);
      break;
    }
    default:
      break;
  }
  return radii;
}

}  // namespace vestan
