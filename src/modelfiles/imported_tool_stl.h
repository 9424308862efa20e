// Loading the shared mesh of an imported STL tool from its file: for the
// IMPORT key of the tool table and when the tool is made current.
#pragma once

#include <string_view>

#include "definitions/imported_tool_mesh.h"
#include "definitions/tool_table.h"
#include "foundation/vector_math.h"
#include "modelfiles/stl_file.h"

namespace vestan {

// Replaces mesh by the STL file fileName ("\" or "/" separators, matched
// without case where needed): its kind, the facets with offset added to every
// vertex (and turned by the angle head when one is given), their box and the
// box corners. A file that cannot be read leaves the mesh empty with
// FacetCount 0 (StlKind 0 when it is no readable STL). Returns mesh.
const ImportedToolMesh& LoadImportedToolMesh(std::string_view fileName, const Vec3& offset,
                                             ImportedToolMesh& mesh,
                                             const AngleHeadAngles* angleHead = nullptr);

// The tool change's reload of an IMPORT tool's shape: the STL file its name
// gives, moved by its import offset and turned by the angle head in use.
void ReloadImportedToolMesh(const ToolRecord& tool, const AngleHeadAngles* angleHead,
                            ImportedToolMesh& mesh);

}  // namespace vestan
