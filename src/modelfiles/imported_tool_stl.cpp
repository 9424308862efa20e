#include "modelfiles/imported_tool_stl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "definitions/definition_file.h"
#include "foundation/geometry.h"
#include "modelfiles/stl_file.h"

namespace vestan {

const ImportedToolMesh& LoadImportedToolMesh(std::string_view fileName, const Vec3& offset,
                                             ImportedToolMesh& mesh,
                                             const AngleHeadAngles* angleHead) {
  mesh.Release();
  mesh.FileName = std::string(fileName);
  if (fileName.empty()) return mesh;
  const std::filesystem::path path = ResolveDefinitionPath(fileName);
  mesh.StlKind = DetectStlKind(path);
  const int32_t facets = CountStlFacets(mesh.StlKind, path);
  // The count only bounds the read; the facets actually read are what counts.
  mesh.FacetCount = ReadToolStl(mesh.StlKind, facets, path, offset, mesh.BoxMin, mesh.BoxMax,
                                mesh.Triangles, angleHead);
  // A vertex beyond any float, or none, would carry into every cut and box:
  // such a file gives no shape at all.
  const auto finite = [](const StlTriangle& t) {
    return std::all_of(t.begin(), t.end(), [](double v) { return std::isfinite(v); });
  };
  if (!std::all_of(mesh.Triangles.begin(), mesh.Triangles.end(), finite)) {
    const int32_t kind = mesh.StlKind;
    mesh.Release();
    mesh.FileName = std::string(fileName);
    mesh.StlKind = kind;
    mesh.NotFinite = true;
  }
  MakeBoxCorners(mesh.BoxMin, mesh.BoxMax, mesh.BoxCorners);
  return mesh;
}

void ReloadImportedToolMesh(const ToolRecord& tool, const AngleHeadAngles* angleHead,
                            ImportedToolMesh& mesh) {
  // One read does what reading the plain facets and then the turned ones
  // would: the mesh ends up holding the turned shape and its box.
  const Vec3 offset{tool.ImportOffset[0], tool.ImportOffset[1], tool.ImportOffset[2]};
  LoadImportedToolMesh(tool.Name.value_or(std::string()), offset, mesh, angleHead);
}

}  // namespace vestan
