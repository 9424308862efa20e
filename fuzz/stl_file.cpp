// STL files: kind detection, the facet count and the triangle readers of
// every kind on any file, the angle-head turn, and the imported tool mesh.
#include "modelfiles/stl_file.h"

#include <cmath>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "modelfiles/imported_tool_stl.h"

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
    read = ReadToolStl(kind, facets, path, offset, boxMin, boxMax, triangles, &head);
    CheckRead(kind, read, facets, triangles, boxMin, boxMax);
  }
  ImportedToolMesh mesh;
  LoadImportedToolMesh(path, offset, mesh, &head);
  FUZZ_CHECK(mesh.StlKind == detected);
  CheckRead(mesh.StlKind, mesh.FacetCount, mesh.FacetCount, mesh.Triangles, mesh.BoxMin,
            mesh.BoxMax);
  return 0;
}
