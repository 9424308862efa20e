#include "model/model_flag_passes.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace vestan {

namespace {

// Applies op to the flag byte of every value of the current slot.
template <typename Op>
void ForEachFlag(DexelModel& model, Op op) {
  if (!model.Allocated()) return;
  for (DexelSet* set : {&model.ZSet(), &model.XSet(), &model.YSet()}) {
    for (int32_t c = 0; c < set->Columns; ++c) {
      if (set->Counts[c] < 1) continue;
      for (uint8_t& flag : DexelColumnFlagsMutable(*set, c)) op(flag);
    }
  }
}

constexpr uint8_t kLowNibble = 0x0F;

// The layer of direction: 2 Z, 1 Y, anything else X (as the model's sets).
DexelFlagLayer& LayerOf(DexelFlagSnapshot& snapshot, int direction) {
  return direction == kDirectionZ ? snapshot.Z : direction == kDirectionY ? snapshot.Y : snapshot.X;
}

bool LayerFits(const DexelFlagLayer& layer, const DexelSet& set) {
  return layer.Stride == set.Stride &&
         layer.Bytes.size() >= static_cast<size_t>(set.Columns) * set.Stride;
}

// A long column's block holds the index of its own array.
void PutLongIndex(DexelFlagLayer& layer, int32_t column, int32_t index) {
  std::memcpy(&layer.Bytes[static_cast<size_t>(column) * layer.Stride], &index, sizeof index);
}
int32_t LongIndexOf(const DexelFlagLayer& layer, int32_t column) {
  int32_t index;
  std::memcpy(&index, &layer.Bytes[static_cast<size_t>(column) * layer.Stride], sizeof index);
  return index;
}

void ClearLayer(const DexelSet& set, DexelFlagLayer& layer) {
  layer.Long.clear();  // arrays of an earlier clear
  if (!LayerFits(layer, set)) return;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const int32_t n = set.Counts[c];
    if (n > set.Stride) {
      PutLongIndex(layer, c, static_cast<int32_t>(layer.Long.size()));
      layer.Long.emplace_back(n, uint8_t{0});
    } else if (n >= 1) {
      std::fill_n(layer.Bytes.begin() + static_cast<size_t>(c) * layer.Stride, n, uint8_t{0});
    }
  }
}

// Lowers minOut and raises maxOut by the world image of a model point.
void Include(const DexelModel& model, const Vec3& point, Vec3& minOut, Vec3& maxOut) {
  const Vec3 world = TransformPointAffine(model.Placement, point);
  for (int k = 0; k < 3; ++k) {
    minOut[k] = std::min(minOut[k], world[k]);
    maxOut[k] = std::max(maxOut[k], world[k]);
  }
}

// Whether some segment of a column of the set is unreached in visit.
bool AnyUnreached(const DexelSet& set, int32_t bytes, const std::vector<uint8_t>& visit) {
  if (bytes < 1) return false;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const int32_t n = set.Counts[c];
    if (n < 1) continue;
    const size_t base = static_cast<size_t>(c) * bytes;
    if (base + bytes > visit.size()) break;  // tables of another grid
    const int32_t segments = std::min(n / 2, bytes);
    for (int32_t s = 0; s < segments; ++s)
      if (visit[base + s] == 0) return true;
  }
  return false;
}

}  // namespace

void ClearDexelTag(DexelModel& model, int32_t tag) {
  ForEachFlag(model, [tag](uint8_t& flag) {
    if ((flag >> kPenTagShift) == tag) flag &= kLowNibble;
  });
}

void ClearAllDexelTags(DexelModel& model) {
  ForEachFlag(model, [](uint8_t& flag) { flag &= kLowNibble; });
}

void ClearDexelMarks(DexelModel& model) {
  ForEachFlag(model, [](uint8_t& flag) { flag &= static_cast<uint8_t>(~kFlagMark); });
}

void SetDexelMarks(DexelModel& model) {
  ForEachFlag(model, [](uint8_t& flag) { flag |= kFlagMark; });
}

int AllocDexelFlagSnapshot(DexelFlagSnapshot& snapshot, const DexelModel& model) {
  snapshot = DexelFlagSnapshot{};
  if (!model.Allocated()) return 1;
  const DexelSet* sets[] = {&model.ZSet(), &model.XSet(), &model.YSet()};
  DexelFlagLayer* layers[] = {&snapshot.Z, &snapshot.X, &snapshot.Y};
  for (int i = 0; i < 3; ++i) {
    try {
      layers[i]->Stride = sets[i]->Stride;
      layers[i]->Bytes.assign(static_cast<size_t>(sets[i]->Columns) * sets[i]->Stride, 0);
    } catch (const std::bad_alloc&) {
      snapshot = DexelFlagSnapshot{};
      return -1 - i;
    }
  }
  return 1;
}

void ClearDexelFlagSnapshot(const DexelModel& model, DexelFlagSnapshot& snapshot) {
  if (!model.Allocated()) return;
  ClearLayer(model.ZSet(), snapshot.Z);
  ClearLayer(model.XSet(), snapshot.X);
  ClearLayer(model.YSet(), snapshot.Y);
}

void FreeDexelFlagSnapshot(DexelFlagSnapshot& snapshot, const DexelModel&) {
  snapshot = DexelFlagSnapshot{};
}

std::span<uint8_t> DexelSnapshotColumn(DexelFlagSnapshot& snapshot, const DexelModel& model,
                                       int direction, int32_t column) {
  if (!model.Allocated()) return {};
  const DexelSet& set = model.SetByDirection(direction);
  DexelFlagLayer& layer = LayerOf(snapshot, direction);
  if (column < 0 || column >= set.Columns || !LayerFits(layer, set)) return {};
  const int32_t n = set.Counts[column];
  if (n < 1) return {};
  if (n <= set.Stride)
    return std::span<uint8_t>(layer.Bytes).subspan(static_cast<size_t>(column) * set.Stride, n);
  const int32_t index = LongIndexOf(layer, column);
  if (index < 0 || static_cast<size_t>(index) >= layer.Long.size() ||
      layer.Long[index].size() != static_cast<size_t>(n))
    return {};
  return layer.Long[index];
}

void ComputeMaterialBounds(const DexelModel& model, Vec3& minOut, Vec3& maxOut) {
  minOut = {1e12, 1e12, 1e12};
  maxOut = {-1e12, -1e12, -1e12};
  if (!model.Allocated()) return;
  const int32_t nx = model.CountX, ny = model.CountY, nz = model.CountZ;
  for (int32_t j = 0; j < ny; ++j)
    for (int32_t i = 0; i < nx; ++i) {
      const auto v = DexelColumnValues(model.ZSet(), nx * j + i);
      if (v.empty()) continue;
      Include(model, {model.GridX[i], model.GridY[j], v.front()}, minOut, maxOut);
      Include(model, {model.GridX[i], model.GridY[j], v.back()}, minOut, maxOut);
    }
  for (int32_t k = 0; k < nz; ++k)
    for (int32_t j = 0; j < ny; ++j) {
      const auto v = DexelColumnValues(model.XSet(), ny * k + j);
      if (v.empty()) continue;
      Include(model, {v.front(), model.GridY[j], model.GridZ[k]}, minOut, maxOut);
      Include(model, {v.back(), model.GridY[j], model.GridZ[k]}, minOut, maxOut);
    }
  for (int32_t i = 0; i < nx; ++i)
    for (int32_t k = 0; k < nz; ++k) {
      const auto v = DexelColumnValues(model.YSet(), nz * i + k);
      if (v.empty()) continue;
      Include(model, {model.GridX[i], v.front(), model.GridZ[k]}, minOut, maxOut);
      Include(model, {model.GridX[i], v.back(), model.GridZ[k]}, minOut, maxOut);
    }
}

int AllocDexelArrays(const DexelModel& model, int32_t bytesX, int32_t bytesY, int32_t bytesZ,
                     int64_t stackEntries, DexelVisitTables& tables) {
  tables = DexelVisitTables{};
  if (bytesX < 0 || bytesY < 0 || bytesZ < 0 || stackEntries < 0) return -1;
  try {
    tables.VisitX.assign(static_cast<size_t>(model.ColumnsX) * bytesX, 0);
    tables.VisitY.assign(static_cast<size_t>(model.ColumnsY) * bytesY, 0);
    tables.VisitZ.assign(static_cast<size_t>(model.ColumnsZ) * bytesZ, 0);
    tables.RemainingX.assign(model.ColumnsX, 0);
    tables.RemainingY.assign(model.ColumnsY, 0);
    tables.RemainingZ.assign(model.ColumnsZ, 0);
    tables.Stack.resize(static_cast<size_t>(stackEntries));
  } catch (const std::bad_alloc&) {
    tables = DexelVisitTables{};
    return -1;
  } catch (const std::length_error&) {
    tables = DexelVisitTables{};
    return -1;
  }
  tables.BytesX = bytesX;
  tables.BytesY = bytesY;
  tables.BytesZ = bytesZ;
  return 1;
}

int TestDexelFlags(const DexelModel& model, const DexelVisitTables& tables) {
  if (!model.Allocated()) return 0;
  if (AnyUnreached(model.XSet(), tables.BytesX, tables.VisitX)) return 1;
  if (AnyUnreached(model.YSet(), tables.BytesY, tables.VisitY)) return 1;
  if (AnyUnreached(model.ZSet(), tables.BytesZ, tables.VisitZ)) return 1;
  return 0;
}

}  // namespace vestan
