// The box of a work model's material in the current work coordinates, and
// the texts of the status bar's number cells: positions, the workpiece's
// extents and the measured values, with as many decimals as the
// controller's unit has.
#pragma once

#include <cstdint>
#include <string>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// The material's box in work coordinates: the first and last value of every
// column of the three sets, placed and taken into the work frame. Empty
// (min 1e12, max -1e12) when nothing is there.
void ComputeWorkExtents(const DexelModel& model, const WorkOffsetFrame& frame, Vec3& min,
                        Vec3& max);

// A cell's number: "\t\t%9.3f" for unit scale 1000, "\t\t%8.2f" for 100,
// "\t\t%10.4f" otherwise; locked puts "*" in front (a pick axis lock).
std::string FormatUnitNumber(int32_t unitScale, double value, bool locked = false);
// The position cell of a cylindrically interpolated axis: "\t\t%9.2f" in
// place of "\t\t%8.2f" for unit scale 100.
std::string FormatCylinderNumber(int32_t unitScale, double value);

// Radii at or beyond this are shown as no circle.
inline constexpr double kRadiusShownLimit = 10000.0;
// A radius cell: with one coordinate left out "\t*PLANE*" for no circle; in
// space "\t*LINE*" for no circle and "\t-" for 0 (fewer than three points).
std::string FormatPlaneRadius(int32_t unitScale, double radius);
std::string FormatSpaceRadius(int32_t unitScale, double radius);

}  // namespace vestan
