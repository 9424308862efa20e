// Reading a tool table file (.TTL) into the ToolTable, and the base-point
// lengths its tools take once the caller can make each current.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "definitions/definition_file.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/tool_base_point.h"
#include "definitions/tool_table.h"
#include "foundation/vector_math.h"

namespace vestan {

// The files behind the table: the tool table itself and the default holder's
// arbor table, each with its state and time for the change check.
struct ToolTableFiles {
  WatchedFile ToolTable;
  WatchedFile ArborTable;
  // The arbor table named before the first tool, completed with the tool
  // table's folder when it has none; at most 255 characters as written.
  std::string ArborTableName;
};

struct ToolTableReadOptions {
  int32_t CommandLineToolNumber = 0;  // above 0: replaces the start tool
  bool EnglishMode = false;
};

// Loads the STL solid of an IMPORT tool into mesh, replacing what it held:
// the file fileName with offset added to every vertex; a file that cannot
// be read leaves it empty (no facets). Model files lie above this folder:
// the caller gives the loader.
using ImportedMeshLoader =
    std::function<void(std::string_view fileName, const Vec3& offset, ImportedToolMesh& mesh)>;

// What a read leaves to its caller, beside its state and notes. Whatever the
// state, the current and the next tool number become StartTool and the saved
// position forgets its tool. When the file was read, the tools take their
// base-point lengths (AddToolBasePointLength; two rules read what making
// the tool current derives), StartTool is made current, the tool list's view
// mode goes back to 0 and the plug-in tool flag is cleared.
struct ToolTableReadResult : DefinitionReadResult {
  // The file's start tool ("I"), or the command line's; 1 for a missing
  // file.
  int32_t StartTool = 1;
};

// Reads the tool table file `fileName` into table, from a cleared table: the
// table-wide lines, each tool's keys, the default holder and the layout;
// then the post-processing (holders only with a shank). The mesh of an
// imported STL tool of the previous table is released; IMPORT keys load
// theirs through loadMesh (none: no tool gets a shape). Never reads or writes
// past a line or an array: out-of-range numbers and over-long names are
// refused and noted.
ToolTableReadResult ReadToolTable(std::string_view fileName, ToolTable& table,
                                  ToolTableFiles& files, ImportedToolMesh& mesh,
                                  const ToolTableReadOptions& options,
                                  const ImportedMeshLoader& loadMesh);

// Whether tool t's length takes the height of the base point of mode: a
// tool with a shank, or an imported STL tool, under BALL-CENTER to
// ARBOR-TOP.
bool TakesBasePointLength(const ToolTable& table, size_t t, int32_t mode);

// Whether the rule of mode reads the heights making a tool current derives
// (F-CENTER and ARBOR-TOP).
bool BasePointReadsToolSetUp(int32_t mode);

// Adds the height of the base point of mode to tool t's length; false, with
// the length left as it was, when the sum is no finite float.
bool AddToolBasePointLength(ToolTable& table, size_t t, int32_t mode,
                            const ToolBaseHeights& heights);

}  // namespace vestan
