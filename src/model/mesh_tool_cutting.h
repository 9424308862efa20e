// Cutting an imported mesh tool (cutter kind 999) out of the model at one
// pose: the mesh is placed where the machine holds the tool, every dexel line
// under it is crossed with its facets, and the crossings, taken in pairs, are
// removed from the columns.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/vector_math.h"
#include "model/cut_grid_context.h"

namespace vestan {

// Cuts the current tool's mesh (the records' Mesh, turned by the run's
// ToolSpinAngle, lowered by the reference length and placed by the
// position's ToolFrame) from the columns of the three contexts' ranges,
// adding to their sums; the new faces carry the run's CutFaceFlags and
// CutFaceAttributes. Nothing happens without a mesh or a position, or while
// NC cutting is off or the workpiece may not be cut. Always returns 0.
int32_t CutWithMeshTool(CutContext& cut, DexelModel& model);

// The point turned about the tool axis (Z) by degrees: exact for 0 and every
// multiple of 90 up to a full turn either way.
Vec3 SpinToolPoint(double degrees, const Vec3& point);

// The steps of CutWithMeshTool, in its order.

// Places the mesh and collects where each column holding material crosses
// its facets into cut.MeshCrossings (the lists are sized for the model
// first when they do not fit it). False, collecting nothing, when nothing is
// to be cut.
bool CollectMeshToolCrossings(CutContext& cut, DexelModel& model);

// Turns each crossed column's list into ascending enter/leave values: a list
// that misses the column's material (set, the model's set of the direction)
// or has no length is emptied, equal ends are dropped and equal neighbours
// collapsed. A single crossing stays as it is (it is not cut).
void UpdateColumnExtents(const DexelSet& set, CrossingSet& crossings);

// Sorts ascending in place.
void SortValues(std::span<double> values);

// Collapses each run of equal neighbours (within kTouchingTolerance) among
// values[0, count) into its first value, so touching intervals (a, b) and
// (b, c) become a, b, c; fewer than 2 values left give count 0.
void MergeTouchingIntervals(int32_t& count, std::span<double> values);

// Removes the pairs of every crossed column inside the context's range from
// the model (three values: one interval from the first to the last; a last
// odd value is not cut), with the cell weight of the column. The columns go
// rows outer where the crossed ones fill enough of their box.
void ApplyMeshToolIntervals(CutContext& cut, CutGridContext& grid, CrossingSet& crossings);

// Empties every list and releases the long ones.
void ClearMeshToolCrossings(MeshToolCrossings& crossings);

}  // namespace vestan
