// Measuring on the view: the list of measured points, the step and distance
// between the last two, and the radius of the circle through the last three,
// in space and projected on the three coordinate planes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/vector_math.h"

namespace vestan {

inline constexpr int32_t kMaxMeasuredPoints = 10000;
// The radius of three points on a line.
inline constexpr double kCollinearRadius = 100000.0;
// The mouse mode that measures.
inline constexpr int32_t kMouseModeMeasure = 1;

// Planes of CircleRadiusThroughPoints: the coordinate left out.
inline constexpr int32_t kInSpace = -1;
inline constexpr int32_t kPlaneYZ = 0;
inline constexpr int32_t kPlaneZX = 1;
inline constexpr int32_t kPlaneXY = 2;

struct MeasuredPointList {
  std::vector<Vec3> Points = std::vector<Vec3>(kMaxMeasuredPoints);
  // 1 while the button that picked the point is held.
  std::vector<uint8_t> Flags = std::vector<uint8_t>(kMaxMeasuredPoints, 0);
  int32_t Count = 0;
  // From the previous point to the last: dx, dy, dz and the distance.
  Vec3 Step{};
  double Distance = 0.0;
  // Through the last three points: in space, and with X, Y or Z left out.
  double SpaceRadius = 0.0;
  std::array<double, 3> PlaneRadii{};
};

// The radius of the circle through a, b and c, in space (kInSpace) or with
// one coordinate left out (kPlaneYZ, kPlaneZX, kPlaneXY);
// kCollinearRadius when the points lie on a line.
double CircleRadiusThroughPoints(int32_t plane, const Vec3& a, const Vec3& b, const Vec3& c);

// What a recorded point asks to be repainted.
struct MeasureRepaint {
  bool Block = false;    // the count and point cells
  bool Measure = false;  // the step, distance and radius cells
};

// Adds the picked point to the list. In the measure mode it counts, and the
// step from the previous point and the radii through the two before it are
// computed; in other modes it only stands at the end of the list until the
// next pick overwrites it. A full list keeps its points. Nothing when there
// is neither a workpiece nor a vice to pick on.
MeasureRepaint RecordMeasurePoint(MeasuredPointList& list, const Vec3& picked, int32_t mouseMode,
                                  bool somethingToPick);

}  // namespace vestan
