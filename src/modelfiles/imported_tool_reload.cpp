#include "modelfiles/imported_tool_reload.h"

#include <filesystem>
#include <string>

#include "machine/box_corners.h"

namespace vestan {

void ReloadImportedToolMesh(const ToolRecord& tool, const AngleHeadAngles* angleHead,
                            ImportedToolMesh& mesh) {
  mesh.Release();
  const std::string name = tool.Name.value_or(std::string());
  const std::filesystem::path path(name);
  mesh.FileName = name;
  mesh.StlKind = name.empty() ? kStlUnreadable : DetectStlKind(path);
  const int32_t facets = CountStlFacets(mesh.StlKind, path);
  const Vec3 offset{tool.ImportOffset[0], tool.ImportOffset[1], tool.ImportOffset[2]};
  // One read does what reading the plain facets and then the turned ones
  // would: the mesh ends up holding the turned shape and its box.
  mesh.FacetCount = ReadToolStl(mesh.StlKind, facets, path, offset, mesh.BoxMin, mesh.BoxMax,
                                mesh.Triangles, angleHead);
  mesh.BoxCorners = MakeBoxCorners(mesh.BoxMin, mesh.BoxMax);
}

}  // namespace vestan
