// The DME model file: a whole dexel model (placement, grid, and every value,
// flag byte and attribute of its three column sets) written and read back bit
// for bit, and the header letter that tells how a file was saved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "modelfiles/model_file_reader.h"
#include "platform/progress.h"
#include "platform/system_memory.h"

namespace vestan {

// How a DME file was saved: the letter at byte 4 of its header.
inline constexpr int32_t kDmeVariantNone = 0;
inline constexpr int32_t kDmeVariantMachine = 1;    // "M": placement as it is
inline constexpr int32_t kDmeVariantWork = 2;       // "W": placement in the work frame
inline constexpr int32_t kDmeVariantWorkPlain = 3;  // "N": work coordinates, trivial frame

// Results of SaveWorkModel.
inline constexpr int32_t kSaveOk = 1;
inline constexpr int32_t kSaveUnknownKind = -1;     // the name ends in neither ".DME" nor ".STL"
inline constexpr int32_t kSaveNoModel = -2;         // the model is absent
inline constexpr int32_t kSaveTempNotCreated = -3;  // no temporary file beside the target
inline constexpr int32_t kSaveNotWritten = -4;      // writing the temporary file failed
inline constexpr int32_t kSaveNotRenamed = -5;  // the temporary file could not replace the target

// Bytes before the first column record of a DME file.
inline constexpr uint64_t kDmeHeaderBytes = 152;

// Writes the model by the ending of path (compared without case): ".DME" the
// DME file; ".STL" the model's surface as STL (SaveModelStl: stlKind 0 ASCII,
// 1 binary, 2 byte-swapped binary; in world coordinates, or in the work frame
// when inWorkCoordinates is set and the frame is offset or rotated). For DME,
// with inWorkCoordinates 0 the header is "V1.0M" and the placement is stored
// as it is; otherwise "V1.0N" with the placement as it is when the frame's
// origin is exactly (0, 0, 0) and it is not rotated, else "V1.0W" with the
// placement expressed in the frame. The file is written to a temporary file
// beside path and renamed into place, so a failed save leaves any previous
// file as it was. On failure the reason is stored in error when given. The
// STL surface is long work: progress, when given, advances while it is built.
int32_t SaveWorkModel(const DexelModel& model, std::string_view path, int32_t stlKind,
                      int32_t inWorkCoordinates, const WorkOffsetFrame& frame,
                      std::string* error = nullptr, ProgressState* progress = nullptr);

// The DME image of the model (header, placement, grid, column records), as
// SaveWorkModel writes it. The model must be allocated.
std::string BuildDmeImage(const DexelModel& model, int32_t inWorkCoordinates,
                          const WorkOffsetFrame& frame);

// Appends the column records of one set (count, values, flag bytes,
// attributes) in column order.
void WriteDexelGrid(const DexelSet& set, std::string& out);

// Reads a DME file into model. loadMode 0 keeps the stored placement; any
// other value places it back into the frame (the inverse of a "W" save).
// Returns kModelOk, kModelBadGrid for a file that cannot be opened, is
// truncated, holds unusable grid counts or pitch, non-finite numbers (grid
// lines included), a placement rotation without an inverse or a column that
// does not fit the file, kModelNoMemory for a model that could take more
// than memoryLimit bytes (its slots, and its long columns bounded by the
// file's size; refused before anything is allocated), or the allocator's
// negative code. On every failure the model is left absent (released,
// CountX 0).
int32_t LoadDmeFile(DexelModel& model, std::string_view path, int32_t loadMode,
                    const WorkOffsetFrame& frame, uint64_t memoryLimit = PhysicalMemoryBytes());

// Reads the column records of one set into set (allocated for its columns).
// The first value of a column below lowBound is raised to it and the last
// above highBound lowered to it; lowestValue and highestValue get the extreme
// first and last values before that (99999999999.0 and -99999999999.0 when
// every column is empty); lowFlag / highFlag become 1 when some column starts
// above lowBound / ends below highBound. False for a truncated set, a count
// below 0, above kMaxColumnValues or beyond the bytes left, a value that is
// not finite or values that do not ascend.
bool ReadDexelSet(ModelFileReader& in, DexelSet& set, double lowBound, double highBound,
                  double& lowestValue, double& highestValue, uint8_t& lowFlag, uint8_t& highFlag);

// Replaces the box low..high (model coordinates) by the world-space box of
// its eight corners under the model's placement.
void ComputeModelBounds(const DexelModel& model, Vec3& low, Vec3& high);

// The header letter of a DME file; kDmeVariantNone when the file cannot be
// opened, is shorter than a header or has another letter at byte 4.
int32_t GetDmeVariant(std::string_view path);

// True when the last four characters of path equal ending without regard to
// ASCII case (".DME", ".DMF", ".STL").
bool HasFileEnding(std::string_view path, std::string_view ending);

namespace detail {

// Reads what follows the placement of a DME file (counts, pitch, origin, the
// three sets) into model, whose Placement is already set, and finishes it
// (material bounds, changed region, derived placement). Returns kModelOk or
// the failure code; on failure the model is left absent.
int32_t ReadDmeGrid(ModelFileReader& in, DexelModel& model, uint64_t memoryLimit);

// Whether a model of the counts and SlotCount set fits memoryLimit bytes
// when its columns longer than their stride take longBytes: what
// EstimateModelMemory will say of it once read, or more.
bool FitsMemory(const DexelModel& model, uint64_t longBytes, uint64_t memoryLimit);

// Lays out and allocates a model read from a file, whose counts, pitch,
// origin and SlotCount are set and whose long columns will take at most
// longBytes: kModelBadGrid for an unusable grid or one whose far grid lines
// are not finite, kModelNoMemory when it does not fit memoryLimit
// (FitsMemory, checked before anything is allocated), else the grid
// set-up's or the allocator's code. On failure the model is left absent.
int32_t AllocLoadedModel(DexelModel& model, uint64_t longBytes, uint64_t memoryLimit);

// Leaves the model absent (released, CountX 0) and returns code.
int32_t RefuseModel(DexelModel& model, int32_t code);

// True when every element is finite.
bool AllFinite(const double* values, size_t count);

// True when the last grid line of each axis (origin + (count - 1) * pitch) of
// the model's counts, pitch and origin is finite: a huge pitch or origin
// would otherwise put the far faces of the grid at infinity.
bool GridLinesFinite(const DexelModel& model);

}  // namespace detail

}  // namespace vestan
