// The tri-dexel model record: grid, three column sets per history slot,
// update blocks, allocation and the accessors that read and write one column.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "foundation/vector_math.h"

namespace vestan {

inline constexpr int32_t kDexelStride = 8;          // values stored inline per column
inline constexpr int32_t kMaxColumnValues = 10000;  // values one column may hold
inline constexpr int32_t kMaxUpdateBlocks = 1000;   // blocks per model stay below this
inline constexpr int32_t kBlockListsPerSlot = 1000;
inline constexpr int kWorkModelCount = 20;

// Result codes of model creation.
inline constexpr int kModelOk = 1;
inline constexpr int kModelBadGrid = -20;   // grid counts, pitch or column count unusable
inline constexpr int kModelNoMemory = -12;  // the slots or their tables could not be allocated

// Directions as operations take them: 2 the Z set, 1 the Y set, anything else X.
inline constexpr int kDirectionX = 0;
inline constexpr int kDirectionY = 1;
inline constexpr int kDirectionZ = 2;

// The own arrays of a column longer than its set's stride, exactly as long as
// the column.
struct LongColumn {
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;
};

// The columns of one direction. Column c owns Stride slots in Values, Flags
// and Attributes starting at c*Stride. A column of at most Stride values keeps
// them there; a longer one keeps them in LongColumns, and its first attribute
// slot holds the index of its entry. The count alone tells which form a
// column is in.
struct DexelSet {
  int32_t Stride = kDexelStride;
  int32_t Columns = 0;
  std::vector<int32_t> Counts;
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;
  std::vector<LongColumn> LongColumns;
  std::vector<int32_t> FreeLongColumns;  // entries of LongColumns free for reuse
  // Writes refused because they would take a column past kMaxColumnValues.
  int64_t RefusedWrites = 0;
  // Every value a column of the set has held since the set was laid out lies
  // in [LowestValue, HighestValue]: every write widens them and a cut only
  // takes material away (or widens them itself), so the cutters may skip
  // what lies beyond. Kept from the writes themselves, never read from a
  // file. Empty (lowest above highest) while nothing was written.
  double LowestValue = std::numeric_limits<double>::infinity();
  double HighestValue = -std::numeric_limits<double>::infinity();
};

// Widens the set's value extent to [low, high]; a NaN makes it endless.
inline void WidenDexelSetExtent(DexelSet& set, double low, double high) {
  if (low < set.LowestValue) set.LowestValue = low;
  if (high > set.HighestValue) set.HighestValue = high;
  if (std::isnan(low) || std::isnan(high)) {
    set.LowestValue = -std::numeric_limits<double>::infinity();
    set.HighestValue = std::numeric_limits<double>::infinity();
  }
}

// One undo state: the three sets, the material bounds and the side flags.
struct ModelHistorySlot {
  DexelSet Z;
  DexelSet X;
  DexelSet Y;
  Vec3 MaxCorner{};
  Vec3 MinCorner{};
  // X min, X max, Y min, Y max, Z min, Z max.
  std::array<uint8_t, 6> SideFlags{};
};

// Per-value flag byte: bit 0 the mark, bits 4-7 the pen tag.
inline constexpr uint8_t kFlagMark = 0x01;
inline constexpr int kPenTagShift = 4;

struct DexelModel {
  ::vestan::Placement Placement{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};  // model to world
  int32_t StrideX = kDexelStride, StrideY = kDexelStride, StrideZ = kDexelStride;
  int32_t CountX = 0, CountY = 0, CountZ = 0;  // grid points nx, ny, nz; nx 0 = no model
  double Pitch = 0.0;
  double OriginX = 0.0, OriginY = 0.0, OriginZ = 0.0;
  int32_t ColumnsZ = 0, ColumnsX = 0, ColumnsY = 0;  // nx*ny, ny*nz, nx*nz
  int32_t LastX = 0, LastY = 0, LastZ = 0;
  double PitchSquared = 0.0;
  int32_t RangeLastX = 0, RangeLastY = 0, RangeLastZ = 0;
  int32_t RangeReserved = 0;
  double RangeReservedValue = 0.0;
  std::vector<double> GridZ, GridY, GridX;
  Matrix3 InverseMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 NegTranslation{};
  int32_t Placed = 0;

  // History ring: SlotCount slots, the working sets are those of CurrentSlot.
  int32_t SlotCount = 1;
  int32_t CurrentSlot = 0;
  int32_t HighestSlot = 0;
  std::vector<ModelHistorySlot> Slots;

  // Update blocks.
  std::vector<uint8_t> BlockDirty;  // one per block, 1 = changed since last drawn
  std::vector<int32_t> BlockLists;  // SlotCount x 1000 display handles, 0 = none
  int32_t BlockCount = 0;
  int32_t BlocksX = 0, BlocksY = 0, BlocksZ = 0;
  int32_t LastBlockX = 0, LastBlockY = 0, LastBlockZ = 0;
  int32_t BlockCellsX = 0, BlockCellsY = 0, BlockCellsZ = 0;
  int32_t LastBlockCellsX = 0, LastBlockCellsY = 0, LastBlockCellsZ = 0;
  std::vector<int32_t> BlockLowX, BlockHighX;
  std::vector<int32_t> BlockLowY, BlockHighY;
  std::vector<int32_t> BlockLowZ, BlockHighZ;

  // True between a successful AllocDexelModel and FreeDexelModel.
  bool Allocated() const { return !Slots.empty(); }

  // The working sets, bounds and side flags (those of the current slot).
  DexelSet& ZSet() { return Slots[CurrentSlot].Z; }
  DexelSet& XSet() { return Slots[CurrentSlot].X; }
  DexelSet& YSet() { return Slots[CurrentSlot].Y; }
  const DexelSet& ZSet() const { return Slots[CurrentSlot].Z; }
  const DexelSet& XSet() const { return Slots[CurrentSlot].X; }
  const DexelSet& YSet() const { return Slots[CurrentSlot].Y; }
  DexelSet& SetByDirection(int direction);
  const DexelSet& SetByDirection(int direction) const;
  Vec3& MaxCorner() { return Slots[CurrentSlot].MaxCorner; }
  Vec3& MinCorner() { return Slots[CurrentSlot].MinCorner; }
  const Vec3& MaxCorner() const { return Slots[CurrentSlot].MaxCorner; }
  const Vec3& MinCorner() const { return Slots[CurrentSlot].MinCorner; }
  std::array<uint8_t, 6>& SideFlags() { return Slots[CurrentSlot].SideFlags; }
  const std::array<uint8_t, 6>& SideFlags() const { return Slots[CurrentSlot].SideFlags; }

  // Display handles of the current slot's update blocks (empty when the
  // tables do not cover the slot).
  std::span<int32_t> CurrentBlockLists() {
    const size_t first = static_cast<size_t>(CurrentSlot) * kBlockListsPerSlot;
    if (CurrentSlot < 0 || first + kBlockListsPerSlot > BlockLists.size()) return {};
    return std::span<int32_t>(BlockLists).subspan(first, kBlockListsPerSlot);
  }
};

// The fixed array of models; record 0 is the workpiece.
struct WorkModels {
  std::array<DexelModel, kWorkModelCount> Models;
  int32_t Current = 0;
  DexelModel& Work() { return Models[0]; }
  const DexelModel& Work() const { return Models[0]; }
};

// Column indexes (see the storage table): Z set nx*j + i, X set ny*k + j,
// Y set nz*i + k.
inline int32_t ColumnIndexZ(const DexelModel& m, int32_t i, int32_t j) { return m.CountX * j + i; }
inline int32_t ColumnIndexX(const DexelModel& m, int32_t j, int32_t k) { return m.CountY * k + j; }
inline int32_t ColumnIndexY(const DexelModel& m, int32_t k, int32_t i) { return m.CountZ * i + k; }

// --- Layout and life cycle -------------------------------------------------

// Checks nx, ny, nz >= 2, a finite pitch > 0 and column counts within 32 bits.
bool IsUsableGrid(int64_t nx, int64_t ny, int64_t nz, double pitch);

// Expects CountX..CountZ, Pitch and SlotCount set; derives the last indexes,
// PitchSquared, strides and column counts, then lays out update blocks of 5
// cells. Returns kModelOk, or kModelBadGrid (CountX set to 0) for an unusable
// grid, kModelNoMemory (CountX 0) when the block tables cannot be allocated.
int InitDexelGrids(DexelModel& model);
// The same with a single update block for the whole grid.
int InitDexelGridsWhole(DexelModel& model);
// Lays out the update blocks from a starting block size in cells, growing
// the size until fewer than 1000 blocks remain.
void BuildUpdateBlocks(DexelModel& model, int32_t cellsX, int32_t cellsY, int32_t cellsZ);

// Bytes the history slots and grid lines of a model of nx x ny x nz points
// take with slots slots and no column longer than its stride, by the layout
// of the original storage: per slot 15 table pointers (120), two corners (48)
// and six side flags, and per set of a slot columns * (4 + 13 * stride); 8 per
// grid line. This is what AllocDexelModel allocates, so a loader can refuse a
// model too large for memory before allocating anything. Counts below 0 count
// as 0; a total beyond 64 bits gives the largest value.
uint64_t DexelModelBytes(int64_t slots, int32_t nx, int32_t ny, int32_t nz);

// Bytes a heap block of size bytes takes from the C library's allocator:
// the size and an 8-byte header, rounded up to 16, at least 32; nothing for
// an empty array.
inline uint64_t HeapBlockBytes(uint64_t size) {
  if (size == 0) return 0;
  return std::max<uint64_t>(32, (size + 8 + 15) / 16 * 16);
}

// Bytes a column of count values takes beyond its set's inline slots once it
// is longer than the stride: its entry in the set's long columns and the
// heap blocks of its values, flags and attributes (8, 1 and 4 bytes each);
// else 0.
inline uint64_t LongColumnBytes(int64_t count, int32_t stride = kDexelStride) {
  if (count <= stride) return 0;
  const uint64_t n = static_cast<uint64_t>(count);
  return sizeof(LongColumn) + HeapBlockBytes(8 * n) + HeapBlockBytes(n) + HeapBlockBytes(4 * n);
}

// The most the long columns can take whose values a file stores in
// valueBytes (13 bytes a value): the shortest long columns take the most
// for their values, so at most one of them per 13 (stride + 1) bytes.
inline uint64_t LongColumnBytesWithin(uint64_t valueBytes, int32_t stride = kDexelStride) {
  const uint64_t shortest = 13 * (static_cast<uint64_t>(stride) + 1);
  const uint64_t columns = valueBytes / shortest + (valueBytes % shortest != 0 ? 1 : 0);
  const uint64_t each = LongColumnBytes(stride + 1, stride);
  constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
  return columns > kMost / each ? kMost : columns * each;
}

// Allocates every history slot (all columns empty, everything zeroed) and the
// grid lines, and makes slot 0 current. Returns kModelOk or a negative code:
// -1..-12 for a failed set array, -10001..-10003 for a grid-line array,
// kModelBadGrid for an unusable grid (then CountX is 0).
int AllocDexelModel(DexelModel& model);
// Releases everything the model owns; its plain fields stay as they were.
void FreeDexelModel(DexelModel& model);
// Empties every column of a set and releases its arrays.
void FreeDexelColumns(DexelSet& set);
// Makes the slot CurrentSlot the working one.
void SelectModelHistorySlot(DexelModel& model);

// --- Column accessors ------------------------------------------------------

inline int32_t DexelColumnCount(const DexelSet& set, int32_t column) { return set.Counts[column]; }

namespace detail {
// The own arrays of a column longer than its set's stride.
const LongColumn& LongColumnOf(const DexelSet& set, int32_t column);
LongColumn& LongColumnOf(DexelSet& set, int32_t column);

template <typename T>
std::span<T> InlineSlots(std::vector<T>& slots, const DexelSet& set, int32_t column, size_t count) {
  return {slots.data() + static_cast<size_t>(column) * set.Stride, count};
}
template <typename T>
std::span<const T> InlineSlots(const std::vector<T>& slots, const DexelSet& set, int32_t column,
                               size_t count) {
  return {slots.data() + static_cast<size_t>(column) * set.Stride, count};
}
}  // namespace detail

// Read-only views of a column's values, flags and attributes (empty for an
// empty column). Valid until the column is written.
inline std::span<const double> DexelColumnValues(const DexelSet& set, int32_t column) {
  const int32_t count = set.Counts[column];
  if (count < 1) return {};
  if (count > set.Stride) return detail::LongColumnOf(set, column).Values;
  return detail::InlineSlots(set.Values, set, column, count);
}
inline std::span<const uint8_t> DexelColumnFlags(const DexelSet& set, int32_t column) {
  const int32_t count = set.Counts[column];
  if (count < 1) return {};
  if (count > set.Stride) return detail::LongColumnOf(set, column).Flags;
  return detail::InlineSlots(set.Flags, set, column, count);
}
inline std::span<const int32_t> DexelColumnAttributes(const DexelSet& set, int32_t column) {
  const int32_t count = set.Counts[column];
  if (count < 1) return {};
  if (count > set.Stride) return detail::LongColumnOf(set, column).Attributes;
  return detail::InlineSlots(set.Attributes, set, column, count);
}
// Writable view of a column's flags (count and values stay).
std::span<uint8_t> DexelColumnFlagsMutable(DexelSet& set, int32_t column);

// Replaces the column by values.size() values with their flags and attributes
// (flags and attributes must be as long as values). A write of more than
// kMaxColumnValues values leaves the column unchanged, counts the event in
// RefusedWrites and returns false.
bool SetDexelColumn(DexelSet& set, int32_t column, std::span<const double> values,
                    std::span<const uint8_t> flags, std::span<const int32_t> attributes);
// Picks the set by direction (2: Z, column nx*b + a; 1: Y, column nz*b + a;
// else X, column ny*b + a) and writes the column. Returns false when the
// column is outside the set or the write is refused.
bool SetDexelColumnInSet(DexelModel& model, int direction, int32_t a, int32_t b,
                         std::span<const double> values, std::span<const uint8_t> flags,
                         std::span<const int32_t> attributes);

// --- Editing a column in place ------------------------------------------
//
// The one way a cutter changes a column. An edit works on the column's own
// storage when the result fits it (a cut mostly shortens a column), so an
// unchanged column costs no copy and no write; only a column that must grow
// past its storage is staged in scratch and written back.

// A column opened for an edit: Values, Flags and Attributes offer room for
// Values.size() values, of which the first Count are the column's.
struct DexelColumnEdit {
  std::span<double> Values;
  std::span<uint8_t> Flags;
  std::span<int32_t> Attributes;
  int32_t Count = 0;
};

// What an edit reports. kNoRoom promises that the edit changed nothing: its
// result would not fit the room offered.
enum class ColumnEditStatus { kUnchanged, kChanged, kNoRoom };

// What EditDexelColumn did: kRefused when the column would have grown past
// kMaxColumnValues (the column is unchanged and the set's RefusedWrites
// counts the event).
enum class ColumnEditResult { kUnchanged, kChanged, kRefused };

// Buffers a growing column is staged in; reused from edit to edit.
struct ColumnEditScratch {
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;
};

namespace detail {
// The column's own storage: its inline slots (room Stride) or its long arrays.
inline DexelColumnEdit OpenDexelColumn(DexelSet& set, int32_t column) {
  const int32_t count = set.Counts[column];
  if (count > set.Stride) {
    LongColumn& own = LongColumnOf(set, column);
    return {own.Values, own.Flags, own.Attributes, count};
  }
  const size_t room = set.Stride;
  return {InlineSlots(set.Values, set, column, room), InlineSlots(set.Flags, set, column, room),
          InlineSlots(set.Attributes, set, column, room), count < 0 ? 0 : count};
}
// Settles the column at newCount values after an edit of its own storage.
void CloseDexelColumn(DexelSet& set, int32_t column, int32_t newCount);
}  // namespace detail

// A copy of the column in scratch, opened for an edit with room for two more
// values (within kMaxColumnValues). The column itself stays as it is.
DexelColumnEdit CopyDexelColumnForEdit(const DexelSet& set, int32_t column,
                                       ColumnEditScratch& scratch);

// Runs edit (ColumnEditStatus(DexelColumnEdit&)) on the column: first on its
// own storage, and when that has no room, once more on a copy with room for
// two more values that is then written back.
template <typename Edit>
ColumnEditResult EditDexelColumn(DexelSet& set, int32_t column, ColumnEditScratch& scratch,
                                 Edit&& edit) {
  DexelColumnEdit view = detail::OpenDexelColumn(set, column);
  ColumnEditStatus status = edit(view);
  if (status == ColumnEditStatus::kChanged) {
    if (set.Counts[column] > set.Stride)
      detail::CloseDexelColumn(set, column, view.Count);
    else
      set.Counts[column] = view.Count;  // edited in its slots
    return ColumnEditResult::kChanged;
  }
  if (status == ColumnEditStatus::kUnchanged) return ColumnEditResult::kUnchanged;
  view = CopyDexelColumnForEdit(set, column, scratch);
  status = edit(view);
  if (status == ColumnEditStatus::kUnchanged) return ColumnEditResult::kUnchanged;
  if (status == ColumnEditStatus::kNoRoom) {
    ++set.RefusedWrites;
    return ColumnEditResult::kRefused;
  }
  // SetDexelColumn counts a refusal itself.
  return SetDexelColumn(set, column, view.Values.first(view.Count), view.Flags, view.Attributes)
             ? ColumnEditResult::kChanged
             : ColumnEditResult::kRefused;
}

// Copying readers: each copies the column into its outputs and returns the
// count. Outputs must hold the count: if one is shorter, nothing is copied and
// the result is -1. Nothing is copied for an empty column.
int32_t GetDexelColumn(const DexelSet& set, int32_t column, std::span<double> outValues,
                       std::span<uint8_t> outFlags, std::span<int32_t> outAttributes);
int32_t GetDexelColumnValues(const DexelSet& set, int32_t column, std::span<double> outValues);
int32_t GetDexelColumnValuesAttrs(const DexelSet& set, int32_t column, std::span<double> outValues,
                                  std::span<int32_t> outAttributes);
int32_t GetDexelColumnValuesFlags(const DexelSet& set, int32_t column, std::span<double> outValues,
                                  std::span<uint8_t> outFlags);
int32_t GetDexelColumnFlags(const DexelSet& set, int32_t column, std::span<uint8_t> outFlags);
// Overwrites the column's flags with the first count entries of inFlags;
// returns false (nothing written) when inFlags is shorter than the column.
bool PutDexelColumnFlags(DexelSet& set, int32_t column, std::span<const uint8_t> inFlags);

}  // namespace vestan
