#include "modelfiles/stl_display.h"

#include <string>

#include "modelfiles/stl_file.h"
#include "modelfiles/stl_parsing.h"

namespace vestan {

namespace {

using detail::StlKeyword;

Vec3 DisplayVertex(const ViewState& view, const Vec3& offset, const Vec3& read) {
  Vec3 p = VectorAdd(read, offset);
  if (view.ModelRotation.Mode == 1) RotateAboutDisplayCentre(view.ModelRotation, p);
  for (double& c : p) c /= view.DisplayScale;
  return p;
}

void DrawBinary(bool swapped, const std::filesystem::path& path, const Vec3& offset,
                const ViewState& view, const std::function<void(const StlPolygon&)>& emit) {
  detail::BinaryStlFacets facets(path, swapped, UINT64_MAX);
  std::array<float, 12> v;
  while (facets.Next(v)) {
    // The normal goes out as read, a zero one included.
    StlPolygon polygon;
    polygon.Normal = {v[0], v[1], v[2]};
    for (size_t k = 0; k < 3; ++k)
      polygon.Vertices[k] = DisplayVertex(view, offset, {v[3 + 3 * k], v[4 + 3 * k], v[5 + 3 * k]});
    emit(polygon);
  }
}

void DrawAscii(const std::filesystem::path& path, const Vec3& offset, const ViewState& view,
               const std::function<void(const StlPolygon&)>& emit, ProgressState* progress) {
  detail::StlTextLines lines(path);
  StlPolygon polygon;
  size_t vertex = 0;
  std::string line;
  while (lines.Next(line)) {
    const detail::StlKeywordAt k = detail::FindStlKeyword(line);
    if (k.keyword == StlKeyword::kEndSolid) break;
    switch (k.keyword) {
      case StlKeyword::kFacet:
        polygon.Normal = detail::ParseStlTriple(line, k.start);
        break;
      case StlKeyword::kOuter:
        vertex = 0;
        break;
      case StlKeyword::kVertex:
        // A polygon holds three vertices; further vertex lines are ignored.
        if (vertex < 3)
          polygon.Vertices[vertex] =
              DisplayVertex(view, offset, detail::ParseStlTriple(line, k.start));
        ++vertex;
        break;
      case StlKeyword::kEndLoop:
        // A loop of fewer vertices has nothing to draw, and none of its
        // slots may keep the last facet's vertices.
        if (vertex >= 3) emit(polygon);
        vertex = 0;
        break;
      default:
        break;
    }
    if (progress != nullptr && progress->Pump.PumpDuringWork != 0) PumpPendingMessage(*progress);
  }
}

}  // namespace

void ReadStlToDisplayList(int32_t kind, const std::filesystem::path& path, const Vec3& offset,
                          const ViewState& view, const std::function<void(const StlPolygon&)>& emit,
                          ProgressState* progress) {
  if (kind == kStlBinary || kind == kStlBinarySwapped)
    DrawBinary(kind == kStlBinarySwapped, path, offset, view, emit);
  else if (kind == kStlAscii)
    DrawAscii(path, offset, view, emit, progress);
}

void RotateAboutDisplayCentre(const DisplayModelRotation& rotation, Vec3& point) {
  Vec3 v = VectorSub(point, rotation.Centre);
  RotateInDisplayPlane(rotation, v);
  point = VectorAdd(v, rotation.Centre);
}

void RotateInDisplayPlane(const DisplayModelRotation& rotation, Vec3& vector) {
  const double c = rotation.Cos, s = rotation.Sin;
  const double x = vector[0], y = vector[1], z = vector[2];
  switch (rotation.Axis) {
    case 0:
      vector = {x, y * c - z * s, y * s + z * c};
      break;
    case 1:
      vector = {x * c + z * s, y, z * c - x * s};
      break;
    default:
      vector = {x * c - y * s, x * s + y * c, z};
      break;
  }
}

}  // namespace vestan
