// STL files: kind detection, the facet count and the triangle readers of
// every kind on any file, the angle-head turn, the imported tool mesh, the
// facet records and their ordering, the point tests, and drawing for display.
#include "modelfiles/stl_file.h"

#include <cmath>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "modelfiles/imported_tool_stl.h"
#include "modelfiles/stl_display.h"
#include "modelfiles/stl_facets.h"

using namespace vestan;

namespace {

// An ASCII facet without its vertex lines keeps zeros that were never read
// and so are not in the box; every vertex of a binary facet is read.
void CheckRead(int32_t kind, int32_t read, int32_t facets,
               const std::vector<StlTriangle>& triangles, const Vec3& boxMin, const Vec3& boxMax) {
  FUZZ_CHECK(read >= 0 && read <= std::max(facets, 0));
  FUZZ_CHECK(static_cast<size_t>(read) == triangles.size());
  if (kind == kStlAscii) return;
  for (const StlTriangle& t : triangles)
    for (int v = 1; v < 4; ++v)
      for (int a = 0; a < 3; ++a) {
        const double x = t[3 * v + a];
        FUZZ_CHECK(std::isnan(x) || (boxMin[a] <= x && x <= boxMax[a]));
      }
}

// Records for every facet, kept with their facets through the ordering, and
// the tops non-increasing (a top is never a non-number: the box skips them).
void CheckOrdering(std::vector<StlTriangle> triangles) {
  std::vector<StlFacetRecord> records;
  BuildFacetRecords(triangles, records);
  const std::vector<StlTriangle> before = triangles;
  BuildTriangleBuckets(triangles, records);
  FUZZ_CHECK(records.size() == triangles.size() && triangles.size() == before.size());
  for (size_t i = 0; i < records.size(); ++i) {
    FUZZ_CHECK(!std::isnan(records[i].BoxMax[2]));
    if (i > 0) FUZZ_CHECK(records[i - 1].BoxMax[2] >= records[i].BoxMax[2]);
  }
  if (triangles.empty()) return;
  const Vec3 point{triangles[0][3], triangles[0][7], triangles[0][11]};
  const std::span<const double, 9> corners(triangles[0].data() + 3, 9);
  const int32_t spatial = TestPointInTriangle(corners, point);
  FUZZ_CHECK(spatial == 0 || spatial == 1 || spatial == 2 || (spatial >= 21 && spatial <= 23));
  const int32_t planar = TestPointInTriangle2D(corners, point, 2, 0);
  FUZZ_CHECK(planar == 0 || planar == 1 || planar == 2 || planar == 21);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("model.stl", fuzz::AsText(data, size));
  const int32_t detected = DetectStlKind(path);
  FUZZ_CHECK(detected == kStlUnreadable || detected == kStlAscii || detected == kStlBinary ||
             detected == kStlBinarySwapped);
  const Vec3 offset{1.5, -2.0, 0.25};
  const AngleHeadAngles head{30.0, 45.0, 60.0};
  for (const int32_t kind : {kStlAscii, kStlBinary, kStlBinarySwapped}) {
    const int32_t facets = CountStlFacets(kind, path);
    FUZZ_CHECK(facets >= 0);
    std::vector<StlTriangle> triangles;
    Vec3 boxMin, boxMax;
    int32_t read = ReadStlTriangles(kind, facets, path, offset, boxMin, boxMax, triangles);
    CheckRead(kind, read, facets, triangles, boxMin, boxMax);
    CheckOrdering(triangles);
    read = ReadToolStl(kind, facets, path, offset, boxMin, boxMax, triangles, &head);
    CheckRead(kind, read, facets, triangles, boxMin, boxMax);
    ViewState view;
    view.ModelRotation = {1, offset, 1, 0.6, 0.8};
    int32_t polygons = 0;
    ReadStlToDisplayList(kind, path, offset, view, [&polygons](const StlPolygon&) { ++polygons; });
    // Every binary facet is drawn; an ASCII loop at most once per "endloop".
    if (kind != kStlAscii) FUZZ_CHECK(polygons == facets);
  }
  ImportedToolMesh mesh;
  LoadImportedToolMesh(path, offset, mesh, &head);
  FUZZ_CHECK(mesh.StlKind == detected);
  CheckRead(mesh.StlKind, mesh.FacetCount, mesh.FacetCount, mesh.Triangles, mesh.BoxMin,
            mesh.BoxMax);
  return 0;
}
