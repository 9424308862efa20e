// The cutting kernel's working records: the tool pose in model coordinates,
// the three per-direction views of a model's column sets, and the cut context
// that carries them with the records a cut reads and writes.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "definitions/imported_tool_mesh.h"
#include "definitions/settings.h"
#include "foundation/vector_math.h"
#include "model/block_marking.h"
#include "model/current_tool.h"
#include "model/dexel_model.h"
#include "model/mesh_tool_crossings.h"
#include "model/position_state.h"
#include "model/run_state.h"
#include "model/work_document.h"

namespace vestan {

// The pose being cut, in model coordinates; rewritten by every pose.
struct ToolPose {
  Vec3 Tip{};
  // Tip + Axis * FullRadiusHeight; during the body and arbor passes the base
  // point of the segment being cut.
  Vec3 Point1{};
  // Further points of the tool's outline on the axis.
  Vec3 Point2{}, Point3{}, Point4{}, Point5{};
  Vec3 Axis{};  // unit after clean-up
  // Bounding radius of the main pass and of an arbor step.
  double Radius = 0.0;
  double RadiusSquared = 0.0;  // of the current pass
  Vec3 Normal{};               // normal of the tip plane: the axis
  // Normal . p + PlaneConstant is the height of p above the tip plane.
  double PlaneConstant = 0.0;
  double AxisLength = 0.0;
  double CutLimit = 0.0;  // cutting length times AxisLength
  double AxisLengthSquared = 0.0;
  // The current body segment.
  double SegmentLength = 0.0;
  double SegmentStartRadius = 0.0;
  double SegmentEndRadius = 0.0;
  // First and last grid index along X, Y and Z the current pass can reach,
  // before clipping to the grid.
  std::array<int32_t, 6> IndexBox{};
  // Flags of the low and high face of a piece removed by the tool body (shank
  // kinds up to 10) or the arbor.
  std::array<uint8_t, 2> BodyFaceFlags{};
};

// Contexts in the order the kernel visits them.
inline constexpr int kContextX = 0;
inline constexpr int kContextY = 1;
inline constexpr int kContextZ = 2;

// A view of one column set in a frame (u, v, w) of its own: w is the
// direction of the dexel lines, u the column axis, v the row axis, a cyclic
// permutation of (x, y, z). A model point p is (p[AxisU], p[AxisV], p[AxisW])
// here. The column at (i along u, j along v) is number j * CountU + i.
struct CutGridContext {
  // Bound from the model.
  DexelModel* Model = nullptr;
  int32_t AxisU = 0, AxisV = 0, AxisW = 0;  // model axes, 0 = X
  int32_t CountU = 0, CountV = 0;
  int32_t LastU = -1, LastV = -1;
  int32_t CountW = 0;
  double Pitch = 0.0;
  std::span<const double> CoordU, CoordV, CoordW;  // grid lines along u, v, w
  DexelSet* Set = nullptr;                         // the set of the current slot
  // Grid point to update block along u and v: the block below and above it.
  std::span<const int32_t> BlockLowU, BlockHighU, BlockLowV, BlockHighV;
  // The model's update blocks as this direction's columns mark them, and
  // what the current pass has marked lately.
  ColumnBlocks Blocks;
  BlockMarkCache MarkCache;

  // Set per pass.
  int32_t RangeU0 = 0, RangeU1 = -1;  // columns visited, inclusive
  int32_t RangeV0 = 0, RangeV1 = -1;  // rows visited, inclusive
  int32_t Segment = 0;                // body segment or arbor step being cut
  // The pose's points in this frame: 0 the tip (or the base of the segment
  // being cut), 1-5 Point1..Point5.
  std::array<Vec3, 6> PosePoints{};
  Vec3 PoseAxis{};
  // Added to by the cutters: removed length times cell area, and removed
  // interval ends (two per removed piece).
  double RemovedVolume = 0.0;
  int32_t RemovedCount = 0;
  // Dexel lines the cutters have examined, a running total for measuring;
  // the mesh-tool cutter counts a line once for each facet that tries it.
  int64_t VisitedColumns = 0;
  // When set, the cutters log each removed piece's volume term here rather
  // than adding it to RemovedVolume (a row range cut on a worker thread).
  std::vector<double>* VolumeTerms = nullptr;
};

using CutGrids = std::array<CutGridContext, 3>;  // X, Y, Z

// Binds the three contexts to the model's current slot: axes, counts, pitch,
// grid lines, set and block tables. The per-pass fields stay as they were.
// The kernel binds at every pose, so no binding outlives the slot or the
// model it was taken from.
void BindCutGrids(CutGrids& grids, DexelModel& model);

// Binds the context again from its model when the model's current slot or
// arrays are no longer those it was bound to (a history push or pop, a model
// made anew), and takes the model's update blocks afresh (and forgets what
// was marked); every cutter starts with it.
void RefreshCutGrid(CutGridContext& grid);

// Grid index of a coordinate's index value: the conversion toward zero, and
// of its ceiling, saturating instead of overflowing.
inline int32_t TruncIndex(double x) {
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  if (!(x > kLow)) return std::numeric_limits<int32_t>::min();
  if (!(x < kHigh)) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(x);
}
inline int32_t CeilIndex(double x) { return TruncIndex(std::ceil(x)); }

// A model point in the context's frame.
inline Vec3 ToContextFrame(const CutGridContext& grid, const Vec3& p) {
  return {p[grid.AxisU], p[grid.AxisV], p[grid.AxisW]};
}

// Cell area of column i, row j: the pitch squared, halved on a first or last
// index of either axis.
inline double CellArea(const CutGridContext& grid, int32_t i, int32_t j) {
  // Times 1 or 0.5, both exact: the same as halving where it applies.
  const double rowShare = j == 0 || j == grid.LastV ? 0.5 : 1.0;
  const double columnShare = i == 0 || i == grid.LastU ? 0.5 : 1.0;
  return grid.Pitch * grid.Pitch * rowShare * columnShare;
}

// Where the solids of a pass lie, about the axis line through PosePoints[0]
// along PoseAxis.
struct PassReach {
  // No solid lies farther from the axis line. Negative: not known, every
  // column of a pass's range is visited.
  double Radius = -1.0;
  // No solid lies below this axis parameter.
  double AxialLow = -std::numeric_limits<double>::infinity();
};

// The records one cut reads and writes besides the model.
struct CutRecords {
  const CurrentTool& Tool;
  ToolLengthChecks& Lengths;                // raised by the checks and the clearance searches
  const InterferenceCheckSettings& Checks;  // ARBOR, HEIGHT and CHIP-W CHECK
  RunState& Run;
  const WorkDocument& Document;  // whether a workpiece exists and may be cut
  // The shape of an imported mesh tool; none: the tool has no mesh.
  const ImportedToolMesh* Mesh = nullptr;
  // Where the machine holds the mesh tool: the tool's frame at the machine
  // position and the reference length; none: a mesh tool cuts nothing.
  const MachinePositionState* Position = nullptr;
};

// The worker threads of a pose's main pass and their records.
struct MainPassWorkers;

// Everything one pose cut works with. No state lives outside it, so a cut
// needs nothing but the context and the model.
struct CutContext {
  explicit CutContext(const CutRecords& records);
  ~CutContext();
  CutContext(const CutContext&) = delete;
  CutContext& operator=(const CutContext&) = delete;

  CutRecords Records;
  ToolPose Pose;
  CutGrids Grids;
  // Scratch of the cutters: the removed pieces of one column, and a column
  // staged to grow or to be probed.
  std::vector<double> RemovedPieces;
  ColumnEditScratch ColumnScratch;
  // The general cutter's lines of the current row whose row-state updates
  // wait for a line that is cut.
  std::vector<int32_t> DeferredLines;
  // Where the dexel lines cross an imported tool mesh at the pose.
  MeshToolCrossings MeshCrossings;
  // Where the current pass's solids lie; the cutters skip the dexel lines
  // beyond it.
  PassReach Reach;
  // Visit every column of each pass's range (the reference the skipping is
  // checked against).
  bool PlainColumnScan = false;

  // Threads the main pass's rows are spread over: 0 the machine's
  // processors (capped by VESTAN_CUT_THREADS), 1 the calling thread alone.
  // The result is the same bit for bit whatever the count.
  int32_t Threads = 0;
  // A main pass that may visit fewer dexel lines than this stays on the
  // calling thread: waking the workers would cost more than they save.
  int64_t ParallelMinColumns = kParallelMinColumns;
  static constexpr int64_t kParallelMinColumns = 6000;
  // Started at the first pass that uses them; joined when the context goes.
  std::unique_ptr<MainPassWorkers> Workers;
  // Held around a column's growth or shrinking through the model's column
  // edit while rows are cut on several threads (the long columns are the
  // set's, shared by its rows); none on one thread.
  std::mutex* ColumnEditLock = nullptr;
};

}  // namespace vestan
