#include "modelfiles/imported_tool_stl.h"

#include <string>

#include "definitions/definition_file.h"
#include "machine/box_corners.h"
#include "modelfiles/stl_file.h"

namespace vestan {

const ImportedToolMesh& LoadImportedToolMesh(std::string_view fileName, const Vec3& offset,
                                             ImportedToolMesh& mesh) {
  mesh.Release();
  mesh.FileName = std::string(fileName);
  if (fileName.empty()) return mesh;
  const std::filesystem::path path = ResolveDefinitionPath(fileName);
  mesh.StlKind = DetectStlKind(path);
  const int32_t facets = CountStlFacets(mesh.StlKind, path);
  // The count only bounds the read; the facets actually read are what counts.
  mesh.FacetCount = ReadStlTriangles(mesh.StlKind, facets, path, offset, mesh.BoxMin, mesh.BoxMax,
                                     mesh.Triangles);
  MakeBoxCorners(mesh.BoxMin, mesh.BoxMax, mesh.BoxCorners);
  return mesh;
}

}  // namespace vestan
