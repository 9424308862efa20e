#include "model/dexel_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace vestan {

namespace {

int32_t CeilDiv(int32_t a, int32_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// Fills the low/high block tables of one axis: a grid point on a block
// boundary belongs to the block below it (low) and the block above it (high).
void FillBlockTables(int32_t points, int32_t cells, int32_t blocks, std::vector<int32_t>& low,
                     std::vector<int32_t>& high) {
  low.assign(points, 0);
  high.assign(points, 0);
  for (int32_t g = 0; g < points; ++g) {
    const int32_t q = g / cells;
    if (q == 0) {
      low[g] = high[g] = 0;
    } else if (q == blocks) {
      low[g] = high[g] = blocks - 1;
    } else if (g % cells == 0) {
      low[g] = q - 1;
      high[g] = q;
    } else {
      low[g] = high[g] = q;
    }
  }
}

int32_t LastBlockCells(int32_t cells, int32_t blocks, int32_t size) {
  return static_cast<int64_t>(blocks) * size != cells ? cells - (blocks - 1) * size : size;
}

int InitGrids(DexelModel& model, int32_t cellsX, int32_t cellsY, int32_t cellsZ, bool whole) {
  if (!IsUsableGrid(model.CountX, model.CountY, model.CountZ, model.Pitch)) {
    model.CountX = 0;
    return kModelBadGrid;
  }
  model.SlotCount = std::max(model.SlotCount, 1);
  model.LastX = model.CountX - 1;
  model.LastY = model.CountY - 1;
  model.LastZ = model.CountZ - 1;
  model.PitchSquared = model.Pitch * model.Pitch;
  model.StrideX = model.StrideY = model.StrideZ = kDexelStride;
  model.ColumnsZ = model.CountX * model.CountY;
  model.ColumnsX = model.CountY * model.CountZ;
  model.ColumnsY = model.CountX * model.CountZ;
  if (whole) {
    cellsX = model.CountX;
    cellsY = model.CountY;
    cellsZ = model.CountZ;
  }
  try {
    BuildUpdateBlocks(model, cellsX, cellsY, cellsZ);
  } catch (const std::bad_alloc&) {
    // The per-slot handle tables grow with the slot count.
    model.CountX = 0;
    return kModelNoMemory;
  }
  return kModelOk;
}

// Index of the long-column entry of a column that is in long form.
int32_t& LongIndex(DexelSet& set, int32_t column) {
  return set.Attributes[static_cast<size_t>(column) * set.Stride];
}
int32_t LongIndex(const DexelSet& set, int32_t column) {
  return set.Attributes[static_cast<size_t>(column) * set.Stride];
}

void ReleaseLongEntry(DexelSet& set, int32_t index) {
  set.LongColumns[index] = LongColumn{};  // give the memory back
  set.FreeLongColumns.push_back(index);
}

LongColumn& AcquireLong(DexelSet& set, int32_t column) {
  int32_t index;
  if (!set.FreeLongColumns.empty()) {
    index = set.FreeLongColumns.back();
    set.FreeLongColumns.pop_back();
  } else {
    index = static_cast<int32_t>(set.LongColumns.size());
    set.LongColumns.emplace_back();
  }
  // The inline slots of a long column hold nothing but its entry index.
  const size_t base = static_cast<size_t>(column) * set.Stride;
  std::fill_n(set.Values.begin() + base, set.Stride, 0.0);
  std::fill_n(set.Flags.begin() + base, set.Stride, uint8_t{0});
  std::fill_n(set.Attributes.begin() + base, set.Stride, 0);
  LongIndex(set, column) = index;
  return set.LongColumns[index];
}

template <typename T>
std::vector<T> ExactCopy(std::span<const T> source, size_t count) {
  return std::vector<T>(source.begin(), source.begin() + count);
}

template <typename T>
bool CopyOut(std::span<const T> source, std::span<T> out) {
  if (out.size() < source.size()) return false;
  std::copy(source.begin(), source.end(), out.begin());
  return true;
}

}  // namespace

DexelSet& DexelModel::SetByDirection(int direction) {
  return direction == kDirectionZ ? ZSet() : direction == kDirectionY ? YSet() : XSet();
}

const DexelSet& DexelModel::SetByDirection(int direction) const {
  return direction == kDirectionZ ? ZSet() : direction == kDirectionY ? YSet() : XSet();
}

bool IsUsableGrid(int64_t nx, int64_t ny, int64_t nz, double pitch) {
  if (nx < 2 || ny < 2 || nz < 2) return false;
  if (!std::isfinite(pitch) || pitch <= 0) return false;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (nx > kMax || ny > kMax || nz > kMax) return false;
  return nx * ny <= kMax && ny * nz <= kMax && nx * nz <= kMax;
}

uint64_t DexelModelBytes(int64_t slots, int32_t nx, int32_t ny, int32_t nz) {
  constexpr uint64_t kMaxBytes = std::numeric_limits<uint64_t>::max();
  constexpr uint64_t kSlotBytes = 120 + 48 + 6;
  constexpr uint64_t kColumnBytes = 4 + 13 * kDexelStride;
  const auto count = [](int64_t n) { return static_cast<uint64_t>(std::max<int64_t>(n, 0)); };
  const uint64_t x = count(nx), y = count(ny), z = count(nz);
  // Counts below 2^31: the three products and their sum stay below 2^64.
  const uint64_t columns = x * y + y * z + x * z;
  if (columns > (kMaxBytes - kSlotBytes) / kColumnBytes) return kMaxBytes;
  const uint64_t perSlot = kSlotBytes + columns * kColumnBytes;
  const uint64_t lines = (x + y + z) * 8;
  if (count(slots) > (kMaxBytes - lines) / perSlot) return kMaxBytes;
  return count(slots) * perSlot + lines;
}

int InitDexelGrids(DexelModel& model) { return InitGrids(model, 5, 5, 5, false); }

int InitDexelGridsWhole(DexelModel& model) { return InitGrids(model, 0, 0, 0, true); }

void BuildUpdateBlocks(DexelModel& model, int32_t cellsX, int32_t cellsY, int32_t cellsZ) {
  const int32_t cx = model.CountX - 1;
  const int32_t cy = model.CountY - 1;
  const int32_t cz = model.CountZ - 1;
  int32_t sx = std::max(cellsX, 1), sy = std::max(cellsY, 1), sz = std::max(cellsZ, 1);
  int32_t bx, by, bz;
  for (;;) {
    sx = std::min(sx, cx);
    sy = std::min(sy, cy);
    sz = std::min(sz, cz);
    bx = CeilDiv(cx, sx);
    by = CeilDiv(cy, sy);
    bz = CeilDiv(cz, sz);
    if (static_cast<int64_t>(bx) * by * bz < kMaxUpdateBlocks) break;
    ++sx;
    ++sy;
    ++sz;
  }
  model.BlocksX = bx;
  model.BlocksY = by;
  model.BlocksZ = bz;
  model.LastBlockX = bx - 1;
  model.LastBlockY = by - 1;
  model.LastBlockZ = bz - 1;
  model.BlockCellsX = sx;
  model.BlockCellsY = sy;
  model.BlockCellsZ = sz;
  model.BlockCount = bx * by * bz;
  model.LastBlockCellsX = LastBlockCells(cx, bx, sx);
  model.LastBlockCellsY = LastBlockCells(cy, by, sy);
  model.LastBlockCellsZ = LastBlockCells(cz, bz, sz);
  model.BlockDirty.assign(model.BlockCount, 0);
  model.BlockLists.assign(static_cast<size_t>(std::max(model.SlotCount, 1)) * kBlockListsPerSlot,
                          0);
  FillBlockTables(model.CountX, sx, bx, model.BlockLowX, model.BlockHighX);
  FillBlockTables(model.CountY, sy, by, model.BlockLowY, model.BlockHighY);
  FillBlockTables(model.CountZ, sz, bz, model.BlockLowZ, model.BlockHighZ);
}

int AllocDexelModel(DexelModel& model) {
  if (!IsUsableGrid(model.CountX, model.CountY, model.CountZ, model.Pitch)) {
    model.CountX = 0;
    return kModelBadGrid;
  }
  model.SlotCount = std::max(model.SlotCount, 1);
  model.Slots.clear();
  model.CurrentSlot = model.HighestSlot = 0;

  int code = 0;
  const auto fail = [&model](int result) {
    model.Slots.clear();
    model.Slots.shrink_to_fit();
    model.GridX.clear();
    model.GridY.clear();
    model.GridZ.clear();
    return result;
  };
  // Zero-filled arrays of one set; the codes follow counts, values, flags,
  // attributes of the set whose first code is given.
  const auto allocSet = [&code](DexelSet& set, int32_t columns, int firstCode) {
    set = DexelSet{};
    set.Columns = columns;
    const size_t slots = static_cast<size_t>(columns) * set.Stride;
    try {
      code = firstCode;
      set.Counts.assign(columns, 0);
      code = firstCode - 1;
      set.Values.assign(slots, 0.0);
      code = firstCode - 2;
      set.Flags.assign(slots, 0);
      code = firstCode - 3;
      set.Attributes.assign(slots, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  };

  try {
    code = -12;
    model.Slots.resize(model.SlotCount);
  } catch (const std::bad_alloc&) {
    return fail(code);
  }
  for (ModelHistorySlot& slot : model.Slots) {
    if (!allocSet(slot.Z, model.ColumnsZ, -1) || !allocSet(slot.X, model.ColumnsX, -5) ||
        !allocSet(slot.Y, model.ColumnsY, -9))
      return fail(code);
  }
  const auto fillGrid = [](std::vector<double>& grid, int32_t count, double origin, double pitch) {
    grid.resize(count);
    for (int32_t i = 0; i < count; ++i) grid[i] = origin + i * pitch;
  };
  try {
    code = -10001;
    fillGrid(model.GridZ, model.CountZ, model.OriginZ, model.Pitch);
    code = -10002;
    fillGrid(model.GridY, model.CountY, model.OriginY, model.Pitch);
    code = -10003;
    fillGrid(model.GridX, model.CountX, model.OriginX, model.Pitch);
  } catch (const std::bad_alloc&) {
    return fail(code);
  }
  SelectModelHistorySlot(model);
  return kModelOk;
}

void FreeDexelColumns(DexelSet& set) {
  set.LowestValue = std::numeric_limits<double>::infinity();
  set.HighestValue = -std::numeric_limits<double>::infinity();
  set.Counts = {};
  set.Values = {};
  set.Flags = {};
  set.Attributes = {};
  set.LongColumns = {};
  set.FreeLongColumns = {};
}

void FreeDexelModel(DexelModel& model) {
  model.Slots = {};
  model.GridX = {};
  model.GridY = {};
  model.GridZ = {};
  model.BlockDirty = {};
  model.BlockLists = {};
  model.BlockLowX = {};
  model.BlockHighX = {};
  model.BlockLowY = {};
  model.BlockHighY = {};
  model.BlockLowZ = {};
  model.BlockHighZ = {};
}

void SelectModelHistorySlot(DexelModel& model) {
  // The working sets are always those of CurrentSlot; keep it inside the ring.
  const int32_t slots = static_cast<int32_t>(model.Slots.size());
  if (model.CurrentSlot < 0 || model.CurrentSlot >= slots) model.CurrentSlot = 0;
}

namespace detail {

const LongColumn& LongColumnOf(const DexelSet& set, int32_t column) {
  return set.LongColumns[LongIndex(set, column)];
}
LongColumn& LongColumnOf(DexelSet& set, int32_t column) {
  return set.LongColumns[LongIndex(set, column)];
}

}  // namespace detail

std::span<uint8_t> DexelColumnFlagsMutable(DexelSet& set, int32_t column) {
  const int32_t count = set.Counts[column];
  if (count < 1) return {};
  if (count > set.Stride) return set.LongColumns[LongIndex(set, column)].Flags;
  return std::span<uint8_t>(set.Flags).subspan(static_cast<size_t>(column) * set.Stride, count);
}

bool SetDexelColumn(DexelSet& set, int32_t column, std::span<const double> values,
                    std::span<const uint8_t> flags, std::span<const int32_t> attributes) {
  const size_t newCount = values.size();
  if (newCount > static_cast<size_t>(kMaxColumnValues) || flags.size() < newCount ||
      attributes.size() < newCount) {
    ++set.RefusedWrites;
    return false;
  }
  const int32_t oldCount = set.Counts[column];
  const int32_t count = static_cast<int32_t>(newCount);
  // Every value, not only the ends: a column is not always in order.
  for (const double value : values) WidenDexelSetExtent(set, value, value);
  // The new data may be a view of this very column (a cutter writing back a
  // shortened column): read it completely before the old storage goes.
  if (count > set.Stride) {
    if (oldCount == count) {
      // Same length: overwrite the own arrays in place.
      LongColumn& own = set.LongColumns[LongIndex(set, column)];
      for (int32_t i = 0; i < count; ++i) {
        own.Values[i] = values[i];
        own.Flags[i] = flags[i];
        own.Attributes[i] = attributes[i];
      }
    } else {
      LongColumn fresh{ExactCopy(values, newCount), ExactCopy(flags, newCount),
                       ExactCopy(attributes, newCount)};
      if (oldCount > set.Stride) ReleaseLongEntry(set, LongIndex(set, column));
      AcquireLong(set, column) = std::move(fresh);
    }
  } else {
    const int32_t oldEntry = oldCount > set.Stride ? LongIndex(set, column) : -1;
    const size_t base = static_cast<size_t>(column) * set.Stride;
    for (int32_t i = 0; i < count; ++i) {
      set.Values[base + i] = values[i];
      set.Flags[base + i] = flags[i];
      set.Attributes[base + i] = attributes[i];
    }
    if (oldEntry >= 0) ReleaseLongEntry(set, oldEntry);
  }
  set.Counts[column] = count;
  return true;
}

bool SetDexelColumnInSet(DexelModel& model, int direction, int32_t a, int32_t b,
                         std::span<const double> values, std::span<const uint8_t> flags,
                         std::span<const int32_t> attributes) {
  int32_t acrossA, acrossB;  // grid counts of the two indexes
  if (direction == kDirectionZ) {
    acrossA = model.CountX;
    acrossB = model.CountY;
  } else if (direction == kDirectionY) {
    acrossA = model.CountZ;
    acrossB = model.CountX;
  } else {
    acrossA = model.CountY;
    acrossB = model.CountZ;
  }
  if (a < 0 || b < 0 || a >= acrossA || b >= acrossB) return false;
  return SetDexelColumn(model.SetByDirection(direction), acrossA * b + a, values, flags,
                        attributes);
}

namespace detail {

void CloseDexelColumn(DexelSet& set, int32_t column, int32_t newCount) {
  const int32_t oldCount = set.Counts[column];
  if (oldCount > set.Stride) {
    const int32_t entry = LongIndex(set, column);
    LongColumn& own = set.LongColumns[entry];
    if (newCount > set.Stride) {
      // Shortened in its own arrays: drop the tail, keep the arrays.
      own.Values.resize(newCount);
      own.Flags.resize(newCount);
      own.Attributes.resize(newCount);
    } else {
      const size_t base = static_cast<size_t>(column) * set.Stride;
      std::copy_n(own.Values.begin(), newCount, set.Values.begin() + base);
      std::copy_n(own.Flags.begin(), newCount, set.Flags.begin() + base);
      std::copy_n(own.Attributes.begin(), newCount, set.Attributes.begin() + base);
      ReleaseLongEntry(set, entry);
    }
  }
  set.Counts[column] = newCount;
}

}  // namespace detail

DexelColumnEdit CopyDexelColumnForEdit(const DexelSet& set, int32_t column,
                                       ColumnEditScratch& scratch) {
  const int32_t count = std::max(set.Counts[column], 0);
  const size_t room = std::min(count + 2, std::max(count, kMaxColumnValues));
  scratch.Values.resize(room);
  scratch.Flags.resize(room);
  scratch.Attributes.resize(room);
  CopyOut(DexelColumnValues(set, column), std::span<double>(scratch.Values));
  CopyOut(DexelColumnFlags(set, column), std::span<uint8_t>(scratch.Flags));
  CopyOut(DexelColumnAttributes(set, column), std::span<int32_t>(scratch.Attributes));
  return {scratch.Values, scratch.Flags, scratch.Attributes, count};
}

int32_t GetDexelColumn(const DexelSet& set, int32_t column, std::span<double> outValues,
                       std::span<uint8_t> outFlags, std::span<int32_t> outAttributes) {
  const int32_t count = set.Counts[column];
  if (count < 1) return count;
  const size_t n = count;
  if (outValues.size() < n || outFlags.size() < n || outAttributes.size() < n) return -1;
  CopyOut(DexelColumnValues(set, column), outValues);
  CopyOut(DexelColumnFlags(set, column), outFlags);
  CopyOut(DexelColumnAttributes(set, column), outAttributes);
  return count;
}

int32_t GetDexelColumnValues(const DexelSet& set, int32_t column, std::span<double> outValues) {
  const int32_t count = set.Counts[column];
  if (count < 1) return count;
  return CopyOut(DexelColumnValues(set, column), outValues) ? count : -1;
}

int32_t GetDexelColumnValuesAttrs(const DexelSet& set, int32_t column, std::span<double> outValues,
                                  std::span<int32_t> outAttributes) {
  const int32_t count = set.Counts[column];
  if (count < 1) return count;
  const size_t n = count;
  if (outValues.size() < n || outAttributes.size() < n) return -1;
  CopyOut(DexelColumnValues(set, column), outValues);
  CopyOut(DexelColumnAttributes(set, column), outAttributes);
  return count;
}

int32_t GetDexelColumnValuesFlags(const DexelSet& set, int32_t column, std::span<double> outValues,
                                  std::span<uint8_t> outFlags) {
  const int32_t count = set.Counts[column];
  if (count < 1) return count;
  const size_t n = count;
  if (outValues.size() < n || outFlags.size() < n) return -1;
  CopyOut(DexelColumnValues(set, column), outValues);
  CopyOut(DexelColumnFlags(set, column), outFlags);
  return count;
}

int32_t GetDexelColumnFlags(const DexelSet& set, int32_t column, std::span<uint8_t> outFlags) {
  const int32_t count = set.Counts[column];
  if (count < 1) return count;
  return CopyOut(DexelColumnFlags(set, column), outFlags) ? count : -1;
}

bool PutDexelColumnFlags(DexelSet& set, int32_t column, std::span<const uint8_t> inFlags) {
  std::span<uint8_t> flags = DexelColumnFlagsMutable(set, column);
  if (inFlags.size() < flags.size()) return false;
  std::copy_n(inFlags.begin(), flags.size(), flags.begin());
  return true;
}

}  // namespace vestan
