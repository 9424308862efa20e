// The workpiece drawn as OpenGL display lists: one list per update block of
// the dexel model and history slot, rebuilt only for the blocks a cut has
// changed; the ring of list ids that lets an undone slot show its old lists;
// each block's surface as the triangles of its cells (coloured by the tags
// of their points) and the grid's flat outer faces merged into rectangles;
// and the point views of the mesh modes.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "definitions/color_settings.h"
#include "display/colour_materials.h"
#include "display/gl_calls.h"
#include "model/dexel_model.h"
#include "modelfiles/surface_cells.h"

namespace vestan {

// List names reserved when a context is made: the fixed lists 1-33, then for
// each of the 20 work models 20000 workpiece lists (20 slots of 1000 blocks).
inline constexpr int32_t kReservedListNames = 400034;
inline constexpr uint32_t kFirstWorkpieceList = 34;
inline constexpr uint32_t kWorkpieceListsPerModel = 20000;

// Mesh modes: 0 solid, 1 every triangle as an outline, 2-5 the dexel end
// points of the X, Y, Z or all three sets.
inline constexpr int32_t kMeshSolid = 0;
inline constexpr int32_t kMeshOutline = 1;
inline constexpr int32_t kMeshPointsX = 2;
inline constexpr int32_t kMeshPointsAll = 5;

// Block counts: -1 the block holds no material (it is never rebuilt, since
// material is only removed), 0 nothing drawn, above 0 triangles in its list.
inline constexpr int32_t kBlockEmpty = -1;

// What a build works with beside the model: the outer face cells drawn as
// rectangles, and the scratch of the cells and of the triangles. A model's
// lists keep theirs from build to build.
struct ModelRenderBuffers {
  OuterFaceCells Outer;
  // Scratch of the cell scan.
  GridCell Cell;
  std::vector<SurfaceSegment> Segments;
  CellPolygons Polygons;
  std::array<std::vector<uint8_t>, 2> XEdges, YEdges, XRows, YRows, Held, Corners;
  std::vector<uint8_t> ZEdges, ZHeld, EdgeRun, EdgeHeld, FaceU, FaceV;
  std::vector<uint16_t> FaceCells;
  std::vector<std::vector<int32_t>> ZEvents;
  std::vector<Vec3> LoopPoints;
  // The run of triangles of one colour: three points a triangle, each with
  // the triangle's normal.
  std::vector<float> RunPoints, RunNormals;
};

// The list ids of one work model in one GL context.
struct WorkpieceDisplayLists {
  // The first of the names reserved at context creation.
  uint32_t ListBase = 0;
  // The model's index in WorkModels.
  int32_t WorkIndex = 0;
  // Slot s, block b at s x kBlockListsPerSlot + b.
  std::vector<uint32_t> Ids;
  // Per history slot: 1 = the lists must be rebuilt before the next frame.
  // Set by whoever changes the model (the run's thread too).
  std::vector<std::atomic<uint8_t>> SlotDirty;
  // The one list of the point views (mesh modes 2-5); 0 until made.
  uint32_t PointList = 0;
  ModelRenderBuffers Buffers;

  // The fresh id of block b: the model's own range, one id per block.
  uint32_t FreshId(int32_t block) const {
    return ListBase + kFirstWorkpieceList +
           static_cast<uint32_t>(WorkIndex) * kWorkpieceListsPerModel +
           static_cast<uint32_t>(block);
  }
  // True when the ids cover every slot of the model.
  bool Covers(const DexelModel& model) const;
};

// How the workpiece is drawn: its colours, the pens switched off, its display
// and mesh modes, and the display scale and zoom of the view.
struct WorkpieceStyle {
  const ColourMaterials& Materials;  // Pens (slot 0 the work colour), Highlight
  const ColorSet& Colours;           // PenShown
  int32_t WorkDisplay = 1;           // 0 hidden, 1 opaque, 2 translucent
  int32_t MeshMode = kMeshSolid;
  double DisplayScale = 500.0;
  double Zoom = 1.0;
};

// A range of cells, low and high indexes per axis, both included.
struct CellRange {
  std::array<int32_t, 3> Low{};
  std::array<int32_t, 3> High{};
};

// The pen index of fan triangle (p0, p1, p2) of a cell loop from the tags of
// its points: the work colour (0) when p0, p1 or p2 carries none; else the
// tag that two of them share, the work colour when no two do.
int32_t LoopTriangleColour(int32_t t0, int32_t t1, int32_t t2);

// The cells of update block b.
CellRange BlockCellRange(const DexelModel& model, int32_t block);

// Gives the model its ids: slots x 1000, slot 0 numbered with the fresh ids,
// the other slots 0; every block counted as not drawn and marked for a
// rebuild, since a new model has no lists yet. For a model that was just
// created or loaded.
void AllocDisplayListIds(DexelModel& model, uint32_t listBase, int32_t workIndex,
                         WorkpieceDisplayLists& lists);

// After a history push: the ids of every block of the previous slot (current
// - 1; the highest used slot for slot 0) become those of the current slot,
// which starts by showing the same lists.
void RotateDisplayListBuffer(const DexelModel& model, WorkpieceDisplayLists& lists);

// Marks every block and the current slot for a rebuild (a new colour, mesh
// mode or a change made to the whole model).
void MarkWorkpieceForRebuild(DexelModel& model, WorkpieceDisplayLists& lists);

// True when the next frame must rebuild lists: the current slot is marked, or
// a cut marked a block.
bool WorkpieceListsStale(const DexelModel& model, const WorkpieceDisplayLists& lists);

// Sizes the buffers for a build of the model's lists.
void PrepareModelRenderBuffers(const DexelModel& model, ModelRenderBuffers& buffers);

// Builds list listId from the cells of range in mode kMeshSolid or
// kMeshOutline: the grid's outer faces within the range as merged
// rectangles, then the surface of every cell the surface crosses. The list is
// made only before its first triangle. Returns the triangles drawn, or
// kBlockEmpty when no cell of the range holds material.
int32_t BuildModelDisplayLists(GlCalls& gl, const DexelModel& model, ModelRenderBuffers& buffers,
                               const WorkpieceStyle& style, int32_t mode, const CellRange& range,
                               uint32_t listId);

// Rebuilds the list of every marked block of the current slot in mode
// kMeshSolid or kMeshOutline, each under an id no other slot shows, and
// stores its count; a block found empty is counted kBlockEmpty and skipped
// from then on.
void BuildWorkpieceBlockLists(GlCalls& gl, DexelModel& model, WorkpieceDisplayLists& lists,
                              const WorkpieceStyle& style, int32_t mode);

// Rebuilds what the mesh mode draws (nothing while the workpiece is hidden)
// and clears the current slot's mark: the block lists in modes 0 and 1, the
// point view list in modes 2-5.
void BuildWorkpieceLists(GlCalls& gl, DexelModel& model, WorkpieceDisplayLists& lists,
                         const WorkpieceStyle& style);

// Calls what the mesh mode draws: the point view list in modes 2-5, else the
// list of every block of the current slot that holds triangles.
void CallWorkpieceLists(GlCalls& gl, const DexelModel& model, const WorkpieceDisplayLists& lists,
                        int32_t meshMode);

}  // namespace vestan
