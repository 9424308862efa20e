// The machine's and the tool's display lists: the part model files of the
// machine definition drawn into one list per moving group, the substitute
// boxes and cylinders of heads and rotary tables that have no file, and the
// tool revolved from its profile (or its STL shape), alone or with every
// tool of the tool layout.
#pragma once

#include <cstdint>
#include <string>

#include "definitions/definitions.h"
#include "definitions/display_list_table.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/view_state.h"
#include "display/colour_materials.h"
#include "display/gl_calls.h"
#include "model/current_tool.h"
#include "model/dexel_model.h"
#include "model/position_state.h"
#include "model/tool_profile.h"
#include "platform/progress.h"

namespace vestan {

// The size of the generated tables, model units.
inline constexpr double kGeneratedTableSize = 80.0;

// Six quads with normals +X, +Y, -X, -Y, -Z, +Z, each wound counter-clockwise
// seen from outside.
void DrawBox(GlCalls& gl, const Vec3& min, const Vec3& max);

// A prism of `sides` faces about coordinate axis `axis` (0 X, 1 Y, 2 Z) from
// base to base + length along it, its corners half a step off the first
// plane axis; per-corner normals from 10 sides up (a round look), one normal
// a face below; then the caps, +axis first.
void DrawCylinder(GlCalls& gl, const Vec3& base, double radius, int32_t axis, double length,
                  int32_t sides);

// The STL tool's facets as triangles with their normals, moved by offset
// (model units) and divided by the display scale.
void DrawStlToolFacets(GlCalls& gl, const ImportedToolMesh& mesh, const Vec3& offset,
                       double displayScale);

// Draws the part model file `name` (found as the machine's part readers find
// it) into the list being compiled, its vertices moved by offset; a file that
// does not open draws nothing.
void DrawPartModelFile(GlCalls& gl, const std::string& name, const Vec3& offset,
                       const ViewState& view, ProgressState* progress = nullptr);

// What the machine's lists are built from.
struct MachineListSources {
  const Definitions& Defs;  // part models, kinematics
  const ViewState& View;
  const ColourMaterials& Materials;
  // The topmost ring's radius sizes the generated heads.
  const ToolProfile& Profile;
  // A table turning between centres spans the workpiece's material; none
  // when no workpiece exists.
  const DexelModel* Work = nullptr;
  ProgressState* Progress = nullptr;
};

// Each builder clears its list's flag, deletes the old list and compiles it
// again: 3 the base models, 27 the vices (neither compiled without files),
// 21-24 the table and its slides, 11-17 the head carrier and the slides
// (15-17 only when named), 18 and 19 the rotary heads, 25 and 26 the rotary
// tables.
void BuildBaseModelList(GlCalls& gl, const MachineListSources& sources, DisplayListTable& lists);
void BuildViceList(GlCalls& gl, const MachineListSources& sources, DisplayListTable& lists);
void BuildTableLists(GlCalls& gl, const MachineListSources& sources, DisplayListTable& lists);
void BuildMachineSlideLists(GlCalls& gl, const MachineListSources& sources,
                            DisplayListTable& lists);
void BuildHead1List(GlCalls& gl, const MachineListSources& sources, DisplayListTable& lists);
void BuildHead2List(GlCalls& gl, const MachineListSources& sources, DisplayListTable& lists);
void BuildRotaryTable1List(GlCalls& gl, const MachineListSources& sources,
                           DisplayListTable& lists);
void BuildRotaryTable2List(GlCalls& gl, const MachineListSources& sources,
                           DisplayListTable& lists);

// The centre a rotary axis (0 or 1) turns the tables about, model units: the
// table position, and for the second table of a TABLE machine the table
// offset across its axis added.
Vec3 TableRotaryCentre(const MachineKinematics& kinematics, size_t rotary);

// What the tool list is built from.
struct ToolListSources {
  const Definitions& Defs;  // tool table and layout, kinematics, colour modes
  const ViewState& View;
  const ColourMaterials& Materials;
  const CurrentTool& Tool;
  const ToolProfile& Profile;
  const ImportedToolMesh& Mesh;
  // Reference length and the tool's stored length.
  const MachinePositionState& Position;
  int32_t CurrentToolNumber = 0;
  // Non-zero while the spindle holds a tool; else the tool is drawn in the
  // background colour.
  int32_t ToolInSpindle = 1;
};

// Where the tool list puts the tip: below the spindle by the reference
// length, along the angle head's direction, or past the head offsets of a
// HEAD machine (model units).
Vec3 ToolTipOffset(const MachineKinematics& kinematics, double referenceLength);

// True when list 4 shows the tool layout: it has tools and the tool in use is
// tool 0 or one of them.
bool ShowsToolLayout(const ToolTable& tools, int32_t currentTool);

// List 4: the current tool (deleted and left so when no tool is defined).
// Returns the spindle value it was built for.
int32_t BuildToolList(GlCalls& gl, const ToolListSources& sources, DisplayListTable& lists);

// List 4 with every layout tool at its mounting offset. Each tool's profile
// is derived from a private copy of the tool table: the tool the run cuts
// with is never touched.
int32_t BuildToolLayoutList(GlCalls& gl, const ToolListSources& sources, DisplayListTable& lists);

}  // namespace vestan
