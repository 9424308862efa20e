// The whole 3-D scene: the fixed display lists rebuilt where their flags say,
// then one frame drawn in a fixed order under the chain of transforms the
// machine's kinematics give (table slides and rotary tables carrying the
// vice and the workpiece, head slides and rotary heads carrying the tool),
// each group in its display mode; the screen overlay's axis triad, the
// coordinate axes, the picked point and the rotation centre.
#pragma once

#include <cstdint>
#include <optional>

#include "definitions/definitions.h"
#include "definitions/display_list_table.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/view_state.h"
#include "display/colour_materials.h"
#include "display/coordinate_frames.h"
#include "display/cut_path.h"
#include "display/gl_calls.h"
#include "display/picking.h"
#include "display/view_camera.h"
#include "display/view_transform.h"
#include "display/workpiece_lists.h"
#include "model/current_tool.h"
#include "model/position_state.h"
#include "model/tool_profile.h"
#include "model/work_document.h"
#include "platform/progress.h"

namespace vestan {

// When a frame is drawn: with no run; in the run's redraw handshake (the run
// thread waits for the frame); or at any other time while a run is active,
// when the run thread may be reallocating columns and resetting the
// interpreter: then the workpiece's existing lists are only called and the
// path lists wait for the run to end.
enum class SceneFrameKind { kIdle, kRunRedraw, kRunBusy };

// The rubber band of a zoom drag, client pixels.
struct ZoomRectangle {
  int32_t Active = 0;
  ClientPoint From, To;
};

// What one frame draws from. The definitions give the machine, its part
// files, the tool table with its layout, the display modes and colours.
struct Scene {
  const Definitions& Defs;
  const ColourMaterials& Materials;
  WorkDocument& Work;
  const ViewState& View;
  ViewCamera& Camera;
  const MachinePositionState& Position;
  const CurrentTool& Tool;
  const ToolProfile& Profile;
  const ImportedToolMesh& ToolMesh;
  // The rebuild flags: set by whoever changes the data, cleared here.
  DisplayListTable& Flags;
  int32_t CurrentToolNumber = 0;
  // Non-zero while the spindle holds a tool.
  int32_t ToolInSpindle = 1;
  // Turn of the tool about its axis, degrees.
  double ToolSpinAngle = 0.0;
  // The external offset's frame, drawn when that offset is set; the frame of
  // the composed work offset, drawn when one is selected and set.
  const CoordinateFrame* FirstWorkFrame = nullptr;
  const CoordinateFrame* CurrentWorkFrame = nullptr;
  // The picked point and its indicator (2 asks for its list, set to 1 once
  // built).
  PickState* Pick = nullptr;
  ZoomRectangle Zoom;
  SceneFrameKind Frame = SceneFrameKind::kIdle;
  ProgressState* Progress = nullptr;
  // The session whose NC program the path lists (31, 32) draw; none: they
  // wait. They are drawn only in frames with no run.
  Session* PathSource = nullptr;
  // 1 while the path display was asked for with Shift: rapids left out.
  int32_t HideRapidPath = 0;
  // The tilted working plane's frame (BuildTiltedPlaneFrame) in the axes
  // list, while a plane is in force.
  const CoordinateFrame* TiltedPlaneAxes = nullptr;
};

// What the scene keeps in one GL context beside the list names.
struct SceneLists {
  WorkpieceDisplayLists Work;
  // The spindle value list 4 was built for; -1 before the first build.
  int32_t ToolInSpindleBuilt = -1;
  // The NC program's last-write time when lists 31 and 32 were drawn: the
  // shell shows a list again without a rebuild only while the file has it.
  std::optional<FileTime> PathProgramTime;
  std::optional<FileTime> Path2ProgramTime;
};

// Light 0, a white directional light whose direction (in eye space) suits
// the way the machine lies in the view.
GlLight SceneLight(int32_t orientation);

// The model-view matrices of one frame, view units: where the tables carry
// the table side (the table and its slides, the rotary tables, the vice and
// the workpiece) and where the heads carry the tool.
struct SceneFrames {
  Matrix4 View{};                 // after the follow-table and fixed-table options
  std::array<Matrix4, 3> TableSlides{};  // each by its own axis's shift
  Matrix4 Table{};                // by the whole table shift: list 21
  Matrix4 RotaryTable1{};         // list 25
  Matrix4 Work{};                 // lists 26, 27, the workpiece and the axes
  std::array<Matrix4, 3> HeadSlides{};
  std::array<Matrix4, 3> SecondSlides{};  // 15 under X, 16 under Y, 17 under Z
  Matrix4 Head{};                 // list 11
  Matrix4 Head1{};                // list 18
  Matrix4 Tool{};                 // lists 19 and 4
  // Shifts of the frame, model units.
  Vec3 TableShift{};
  Vec3 HeadShift{};
};

SceneFrames ComputeSceneFrames(const Scene& scene);

// The screen direction (right, up) of machine axis k (0 X, 1 Y, 2 Z) in the
// view, the angles snapped within 0.1 degree of a quarter turn.
std::array<double, 2> OverlayAxisDirection(const ViewState& view, int32_t orientation, int32_t k);

// List 1: the axis triad 40 pixels in from the lower-left corner, at z = -1 of
// the normalised device coordinates.
void BuildOverlayList(GlCalls& gl, const ViewState& view, const ViewCamera& camera,
                      int32_t orientation, DisplayListTable& flags);
// List 2: the machine origin's axes, the external offset's and the current
// work frame.
void BuildCoordinateAxesList(GlCalls& gl, const Scene& scene);
// List 28: the picked point; the indicator becomes 1.
void BuildPickPointList(GlCalls& gl, const Scene& scene);
// List 30: the view centre.
void BuildRotationCentreList(GlCalls& gl, const Scene& scene);
// List 33: the base workpiece in the base colour, from its whole grid.
void BuildExtraModelList(GlCalls& gl, const Scene& scene);
// The zoom drag's rectangle in red over the frame (not a list).
void DrawZoomRectangle(GlCalls& gl, const ViewCamera& camera, const ZoomRectangle& zoom);

// Rebuilds the flagged lists and draws one frame into the current context.
void DrawScene(GlCalls& gl, const Scene& scene, SceneLists& lists);

}  // namespace vestan
