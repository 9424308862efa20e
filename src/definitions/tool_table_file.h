// Reading a tool table file (.TTL) into the ToolTable and making its start
// tool current.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "definitions/definition_file.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/reader_links.h"
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
  double WorkPitch = 0.0;             // PITCH(WORK), for setting up the start tool
  int32_t BasePoint = kBaseBottom;
  bool EnglishMode = false;
};

// Actions of other subsystems that a read triggers; each may be empty.
struct ToolTableReadHooks {
  // Makes a tool current (SetCurrentTool with the caller's records) and
  // returns the heights its base-point rules read: the corner-arc centre
  // height and, for ARBOR-TOP, the machine's reference length.
  std::function<ToolBaseHeights(int32_t tool, double pitch)> SetCurrentTool;
  // (Re)allocates the tool-profile and display buffers.
  std::function<void()> AllocDisplayBuffers;
  // Releases the shared mesh of an imported STL tool of the previous table.
  std::function<void()> ReleaseImportedMesh;
  // Replaces the shared mesh of an imported STL tool by the STL file named
  // (its vertices moved by offset) and returns it; an unreadable file leaves
  // it empty (no facets).
  std::function<const ImportedToolMesh&(std::string_view fileName, const Vec3& offset)>
      LoadImportedMesh;
  // Sets up the mesh-cut work arrays after a table with an STL tool was read.
  std::function<void()> AllocCutWorkArrays;
};

// Records of other subsystems that a read writes or consults.
struct ToolTableLinks {
  NcToolNumbers& Tools;               // current and next tool
  SavedPositionState& SavedPosition;  // forgets its tool
  ToolListState& ToolList;            // view mode back to 0
  PluginState& Plugins;               // the plug-in tool flag is cleared
};

// Reads the tool table file `fileName` into table, from a cleared table: the
// table-wide lines, each tool's keys, the default holder and the layout;
// then the post-processing (holders only with a shank, tool base point) and
// the start tool (or the command-line tool) is made current. A missing file
// leaves the cleared table and makes no tool current. Never reads or writes
// past a line or an array: out-of-range numbers and over-long names are
// refused and noted.
DefinitionReadResult ReadToolTable(std::string_view fileName, ToolTable& table,
                                   ToolTableFiles& files, ToolTableLinks& links,
                                   const ToolTableReadOptions& options,
                                   const ToolTableReadHooks& hooks);

}  // namespace vestan
