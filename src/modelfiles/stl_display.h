// Drawing an STL file straight into the display list being built: each facet
// handed out as a polygon in display units, turned with the display's model
// rotation; and that rotation applied to points and vectors.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "definitions/view_state.h"
#include "foundation/vector_math.h"
#include "platform/progress.h"

namespace vestan {

// One facet to draw: its normal as the file gives it and its three vertices.
struct StlPolygon {
  Vec3 Normal{};
  std::array<Vec3, 3> Vertices{};
};

// Reads the STL file of the given kind (kind 0 draws nothing) and hands every
// facet with three vertices to emit: each vertex moved by offset, turned by
// the model rotation when it is on, and divided by the display scale. While
// progress is given and its pump is on, one waiting message is taken after
// every line of an ASCII file.
void ReadStlToDisplayList(int32_t kind, const std::filesystem::path& path, const Vec3& offset,
                          const ViewState& view, const std::function<void(const StlPolygon&)>& emit,
                          ProgressState* progress = nullptr);

// The model rotation about its centre, applied to a point in place.
void RotateAboutDisplayCentre(const DisplayModelRotation& rotation, Vec3& point);

// The model rotation without its centre, applied to a vector in place.
void RotateInDisplayPlane(const DisplayModelRotation& rotation, Vec3& vector);

}  // namespace vestan
