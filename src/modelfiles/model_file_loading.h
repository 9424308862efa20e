// The general model loader: a DME file of either header layout, a DMF height
// map or an STL mesh sliced onto a new grid, chosen by the file's ending, and
// the derivation of the two cross sets of a model whose sets along one axis
// hold one [bottom, top] interval per column.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "modelfiles/stl_slicing.h"
#include "platform/progress.h"
#include "platform/system_memory.h"

namespace vestan {

enum class ModelFileKind { kUnknown, kDme, kDmf, kStl };

struct Settings;

// The kind by the last four characters of path, without regard to case:
// ".DME", ".DMF", ".STL"; anything else is unknown.
ModelFileKind ModelFileKindOf(std::string_view path);

// The settings the loaders read besides the file.
struct ModelLoadSettings {
  double Pitch = 0.0;        // grid pitch of a sliced STL
  int32_t StlAxis = 0;       // the STL AXIS setting: 0 all three directions, +-1..3 one side
  int32_t ImportChoice = 0;  // 1: place a DMF (or STL) in the work frame
  // A coordinate system given with a model file on the command line (0
  // machine, 1 work): it stands in for ImportChoice for one STL load onto a
  // workpiece's grid, 2 while in force, -1 when none.
  int32_t ImportOverride = -1;
  StlImportOptions StlOptions;  // scale and mirror of the STL read settings
  int32_t StlFilter = 0;        // STL FILTER: fill single dropouts of a one-side slice
  std::string StlMatrixFile;    // STL MATRIX: placement of an STL in machine coordinates
  int32_t CheckMatrix = 0;      // CHECK MATRIX: write "matrix.txt" after a DME load
  // A model (or, through the open command, a decompressed file) that would
  // take more bytes than this is refused before it is allocated.
  uint64_t MemoryLimit = PhysicalMemoryBytes();
};

// The load settings the settings file gives (STL AXIS, IMPORT COORDINATE,
// STL FILTER, STL MATRIX, CHECK MATRIX), with the work pitch in force.
ModelLoadSettings ModelLoadSettingsFrom(const Settings& settings, double pitch);

// Loads path by its ending. A DME file keeps its own placement (snapped by
// NormalizePlacementMatrix; the identity for the older header-less layout);
// a DMF file gets the given placement, or the work frame when
// settings.ImportChoice is 1. Returns kModelOk; kModelBadGrid for a file that
// cannot be opened or is damaged (truncated, counts that do not fit the file,
// grid counts below 2, a pitch <= 0, numbers that are not finite),
// kModelNoMemory for a model that could take more than settings.MemoryLimit
// bytes (its slots, and a bound of its long columns: by the file's size for
// DME, by the heights for the cross sets of DMF; refused before anything is
// allocated), the allocator's code when memory runs out; on these failures the model is left
// absent (CountX 0). An STL file is sliced onto a grid around it
// (LoadStlModel). A name with another ending gives kModelBadGrid and leaves
// the model untouched. progress, when given, shows the long passes and
// hears why a file was refused.
int32_t LoadModelFile(DexelModel& model, std::string_view path, const Placement& placement,
                      const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                      ProgressState* progress = nullptr);
// The same for a file whose kind is known apart from its name (a file
// decompressed into a temporary file, a ".DMFZ" file stored plain).
int32_t LoadModelFileAs(ModelFileKind kind, DexelModel& model, std::string_view path,
                        const Placement& placement, const ModelLoadSettings& settings,
                        const WorkOffsetFrame& frame, ProgressState* progress = nullptr);
// LoadModelFile with the identity placement.
int32_t LoadModelFileIdentity(DexelModel& model, std::string_view path,
                              const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                              ProgressState* progress = nullptr);

// Fills the Y and X sets of model from its Z set, which holds [bottom, top]
// per column: the profile value of a Z column is its second value (useTop >
// 0) or its first; every derived value has flag byte 0 and attribute 0.
void BuildCrossSetsFromHeights(DexelModel& model, int32_t useTop);
// The same for the set along axes.Line holding the heights, its columns
// indexed by axes.First and axes.Second (kSliceZ, kSliceY, kSliceX): the two
// other sets get the intervals where the height profiles along First and
// along Second reach each grid level of Line. direction > 0: the material
// lies under each column's second value; otherwise over its first.
void BuildCrossSetsFromHeightsAxes(DexelModel& model, StlSliceAxes axes, int32_t direction);

// The intervals along a row of samples heights[s] at positions[s] (spaced
// pitch) where the material reaches level: at or above it (UnderTop, the
// material lies under a top surface) or at or below it (OverBottom). minimum
// and maximum are those of heights. out receives the enter/leave values;
// returns their number.
int32_t ProfileIntervalsUnderTop(std::span<const double> heights, double minimum, double maximum,
                                 double pitch, double level, std::span<const double> positions,
                                 std::vector<double>& out);
int32_t ProfileIntervalsOverBottom(std::span<const double> heights, double minimum, double maximum,
                                   double pitch, double level, std::span<const double> positions,
                                   std::vector<double>& out);

// Empties every column of the set (2 Z, 1 Y, else X) that holds exactly two
// values with the first greater than the second.
void RemoveInvertedColumns(DexelModel& model, int direction);

}  // namespace vestan
