// The surface of a dexel model as STL facets: the outer faces of the grid
// merged into rectangles, and the loops of every cell the surface crosses
// (surface_cells.h), written in world coordinates through the STL writers.
// The facets form a closed surface with its normals out of the material.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "modelfiles/stl_file.h"
#include "platform/progress.h"

namespace vestan {

// Takes a model point to world coordinates: turned by the placement's
// rotation when rotate, then moved by its translation when translate.
void TransformToWorld(const Placement& placement, bool rotate, bool translate, Vec3& point);

// Writes the surface of the model to the open export writer and adds the
// facets written to facetCount. The outer faces go as maximal rectangles (two
// facets each where nothing else meets their sides), every other piece of
// surface as the triangles of its cell's loops. Long work: while progress is
// given it advances per layer of cells and pumps messages. Returns 1.
int32_t BuildModelTriangleMesh(const DexelModel& model, StlWriterState& writer,
                               uint32_t& facetCount, ProgressState* progress = nullptr);

// The model's surface saved as an STL file at path: stlKind 0 ASCII, 2
// binary with every word byte-swapped, any other value binary little-endian.
// With inWorkCoordinates set and a frame that is offset or rotated, the
// points are taken into the work frame (origin off, then the inverse
// rotation when the frame is rotated). Written to a temporary file beside
// path and renamed into place; any failure on the way leaves a previous
// file whole. Returns kFileReplaced or a negative code of ReplacementFile,
// with the reason in error when given. The model must be allocated.
int32_t SaveModelStl(const DexelModel& model, std::string_view path, int32_t stlKind,
                     int32_t inWorkCoordinates, const WorkOffsetFrame& frame,
                     std::string* error = nullptr, ProgressState* progress = nullptr);

}  // namespace vestan
