// The geometry of an arc move in its working plane: the centre from a
// radius word, and the radial vectors, radii, swept angle and length from
// the centre.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"
#include "nc/nc_context.h"

namespace vestan {

// The centre of an arc from start to end by radius word r in the plane of
// axes (first, second, normal): the chord's midpoint moved sideways by the
// remaining height; a negative r takes the arc of more than 180 degrees, an
// r shorter than half the chord leaves the centre at the midpoint. The
// normal component is the start's.
Vec3 ArcCentreFromRadius(const AxisPosition& start, const AxisPosition& end,
                         const std::array<int32_t, 3>& axes, double r, int32_t motionMode);

// From move.Centre: the radial unit vectors, radii, swept angle (2 pi for a
// full circle) and length ((r1 + r2) / 2 * angle). Returns true when the
// radii differ by at least tolerance (a tolerance of 0 or less: never).
bool ComputeArcSweep(NcMove& move, const std::array<int32_t, 3>& axes, double tolerance);

}  // namespace vestan
