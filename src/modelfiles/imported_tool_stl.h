// Loading the shared mesh of an imported STL tool (the IMPORT key of the tool
// table) from its file.
#pragma once

#include <string_view>

#include "foundation/vector_math.h"
#include "model/imported_tool_mesh.h"

namespace vestan {

// Replaces mesh by the STL file fileName ("\" or "/" separators, matched
// without case where needed): its kind, the facets with offset added to every
// vertex, their box and the box corners. A file that cannot be read leaves
// the mesh empty with FacetCount 0 (StlKind 0 when it is no readable STL).
// Returns mesh.
const ImportedToolMesh& LoadImportedToolMesh(std::string_view fileName, const Vec3& offset,
                                             ImportedToolMesh& mesh);

}  // namespace vestan
