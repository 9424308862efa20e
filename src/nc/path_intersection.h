// Where two consecutive path elements (lines or arcs) meet in the working
// plane, as the inner corners of cutter-radius compensation need it.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// A line, or an arc for motion modes 2 (clockwise) and 3 (counter-clockwise).
struct PathElement {
  int32_t MotionMode = 1;
  Vec3 Start{};
  Vec3 End{};
  Vec3 Centre{};  // arcs only
  double Radius = 0.0;
};

// Status of an intersection.
inline constexpr int32_t kIntersectionUsable = 0;
// The supporting lines or circles meet outside the elements.
inline constexpr int32_t kIntersectionOutside = -1;
// Parallel lines, a zero-length line or concentric arcs.
inline constexpr int32_t kIntersectionDegenerate = -2;

struct PathIntersections {
  int32_t Count = 0;  // 0 to 2
  // Per intersection: the parameter (0 at the start, 1 at the end) and the
  // point, on the first element [0] and on the second [1]. The normal axis of
  // each point is interpolated along its own element.
  std::array<std::array<double, 2>, 2> Parameters{};
  std::array<std::array<Vec3, 2>, 2> Points{};
  int32_t Status = kIntersectionUsable;
};

// Intersections of the two elements in the plane of axes first and second
// (the normal axis is the third). A pair of candidates is ordered toward the
// start of the line (line and arc) or by the normal of the line of centres
// (two arcs); a candidate outside either element is dropped, and when the
// first lies outside and no second lies inside both the status is
// kIntersectionOutside with no intersection.
PathIntersections IntersectPathElements(const PathElement& first, const PathElement& second,
                                        int32_t firstAxis, int32_t secondAxis);

}  // namespace vestan
