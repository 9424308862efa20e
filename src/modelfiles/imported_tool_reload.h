// Reading the STL shape of an IMPORT tool into the program's one imported
// tool mesh when the tool is made current.
#pragma once

#include "definitions/tool_table.h"
#include "model/imported_tool_mesh.h"
#include "modelfiles/stl_file.h"

namespace vestan {

// Reads the STL file named by the tool into mesh (released first): the
// facets with the tool's offset added, turned by the angle head when one is
// given, their box and its corners. An unreadable file leaves kind 0 and no
// facets.
void ReloadImportedToolMesh(const ToolRecord& tool, const AngleHeadAngles* angleHead,
                            ImportedToolMesh& mesh);

}  // namespace vestan
