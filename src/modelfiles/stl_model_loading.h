// STL meshes onto a dexel grid: the workpiece opened from an STL file (a grid
// sized around the mesh) and a model loaded onto a workpiece's grid widened
// by 5 cells (the basic model of the difference check); the pipeline both
// share, from the sliced raw hits to clean enter/leave pairs.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "modelfiles/model_file_loading.h"
#include "platform/progress.h"

namespace vestan {

// Cells a model loaded onto a workpiece's grid reaches beyond it per side.
inline constexpr int32_t kStlGridMargin = 5;

// The STL path of LoadModelFile. The placement: with import choice 1 the
// work frame; otherwise the given one, replaced by the STL MATRIX file when
// it names one, snapped by NormalizePlacementMatrix. The grid of pitch
// settings.Pitch is sized around the mesh (after the scale and mirror): with
// STL AXIS 0 from the minimum rounded down to a whole number, sliced along
// all three directions, repaired and cleaned; with STL AXIS +-1..3 from the
// minimum exactly (for a minus side, ending at the maximum), sliced from that
// side and the cross sets derived. Every axis gets at least 2 grid points.
// Returns kModelOk; kModelBadGrid for a file that is not a readable STL, has
// no facets, a vertex or matrix value that is not a finite number, a
// placement that cannot be inverted, an unusable grid or a dexel line
// meeting more than kMaxColumnValues facets; kModelNoMemory when the grid or
// the slicing would take more than settings.MemoryLimit; the allocator's
// code. On failure the model is left absent and the reason goes to the log
// of progress's host.
int32_t LoadStlModel(DexelModel& model, std::string_view path, const Placement& placement,
                     const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                     ProgressState* progress = nullptr);

// Loads the STL file into model on the grid of workModel widened by
// kStlGridMargin cells on every side (its grid lines are workModel's), with
// workModel's placement; the file is in machine coordinates, or in work
// coordinates with import choice 1. A one-shot settings.ImportOverride of 0
// or 1 stands in for the import choice for this load and is used up.
// Returns kModelOk, kModelBadGrid for a path not ending in ".STL", an
// absent workModel, a file that is not a readable STL or has no facets (or a
// vertex that is not finite), a line meeting too many facets, or a mesh that
// leaves no material on the grid; kModelNoMemory or the allocator's code.
// On failure the model is left absent.
int32_t LoadStlModelOnGrid(DexelModel& model, std::string_view path, const DexelModel& workModel,
                           int32_t stlAxis, ModelLoadSettings& settings,
                           const WorkOffsetFrame& frame, ProgressState* progress = nullptr);

// Lays out model on workModel's grid widened by the margins (in cells): one
// history slot, workModel's strides and pitch, counts grown by twice the
// margin, the origin moved back by a margin. lowCorner and highCorner get the
// first and last grid coordinates.
void SetupGridAroundModel(const DexelModel& workModel, DexelModel& model, Vec3& lowCorner,
                          Vec3& highCorner, int32_t marginX, int32_t marginY, int32_t marginZ);

// Every column of the Z, X and Y sets sorted, runs of equal values merged
// (flag bytes OR-ed, the kept value's attribute counting the merged ones) in
// columns of 3 or more, a single value made the pair [v, v] and 3 values
// made 2 (the middle one dropped). NormalizeAndClipColumns also clips each
// column to its grid's first and last line.
void NormalizeColumns(DexelModel& model, ProgressState* progress = nullptr);
void NormalizeAndClipColumns(DexelModel& model, ProgressState* progress = nullptr);

// Sorts the first count values ascending, their flag bytes with them
// (attributes stay in place). A single value is also copied, with its flag
// byte, into the second place when there is room (count unchanged).
void SortColumnValues(int32_t count, std::span<double> values, std::span<uint8_t> flags);

// Clips the column of count values to [low, high]: a value outside at either
// end is replaced by the bound (flag byte and attribute 0), values beyond it
// dropped; a column wholly outside becomes empty. count is updated.
void ClipColumnToRange(int32_t& count, std::span<double> values, std::span<uint8_t> flags,
                       std::span<int32_t> attributes, double low, double high);

// Every non-empty column of the Z, X and Y sets keeps its values with flag
// bytes and attributes 0.
void ClearDexelTags(DexelModel& model, ProgressState* progress = nullptr);

}  // namespace vestan
