// The NURBS curve of a G6.2 block as read from its lines: control points,
// weights, knots and order, in bounded buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vestan {

inline constexpr size_t kNurbsMaxPoints = 1000;
inline constexpr size_t kNurbsMaxKnots = 1010;
inline constexpr int32_t kNurbsDefaultOrder = 4;
// The basis table holds this many orders.
inline constexpr int32_t kNurbsMaxOrder = 16;

struct NurbsCurve {
  // Control coordinates in program coordinates, their weights (1.0 when not
  // given) and the knot vector; sized to their capacities while allocated.
  std::vector<double> X, Y, Z, Weights;
  std::vector<double> Knots;
  int32_t Order = kNurbsDefaultOrder;
  int32_t PointCount = 0;
  int32_t KnotCount = 0;  // PointCount + Order
  int32_t Allocated = 0;
};

}  // namespace vestan
