// Whole-model passes that leave the material alone: pen tags and marks of
// every value, the flag snapshot (one byte per value), the world-space
// material bounds, and the visit tables of the body separation.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// --- Flag passes (Z set, then X, then Y; the current slot) ----------------

// Every value whose pen tag (bits 4-7) equals tag gets pen tag 0; the low four
// bits stay.
void ClearDexelTag(DexelModel& model, int32_t tag);
// Every value gets pen tag 0.
void ClearAllDexelTags(DexelModel& model);
// Clears / sets the mark (bit 0) of every value.
void ClearDexelMarks(DexelModel& model);
void SetDexelMarks(DexelModel& model);

// --- Flag snapshot ----------------------------------------------------------

// One byte per value of one set, laid out like the set's flags: Stride bytes
// per column; a column longer than the stride has an array of its own. Which
// columns are long is judged by the model's counts, which must not change
// while the snapshot is in use.
struct DexelFlagLayer {
  int32_t Stride = kDexelStride;
  std::vector<uint8_t> Bytes;
  std::vector<std::vector<uint8_t>> Long;  // own arrays; the column's block holds the index
};

struct DexelFlagSnapshot {
  DexelFlagLayer Z, X, Y;
};

// Allocates the three layers for the model's sets. Returns 1, or -1, -2, -3
// when the Z, X or Y layer cannot be had (the layers already taken are freed).
int AllocDexelFlagSnapshot(DexelFlagSnapshot& snapshot, const DexelModel& model);
// Zeroes the bytes of every value, giving long columns their own arrays. Bytes
// of a short column beyond its count are left as they were.
void ClearDexelFlagSnapshot(const DexelModel& model, DexelFlagSnapshot& snapshot);
// Releases the long columns' arrays and the three layers.
void FreeDexelFlagSnapshot(DexelFlagSnapshot& snapshot, const DexelModel& model);
// The snapshot bytes of one column of the set of direction (2 Z, 1 Y, else X),
// as many as the column has values; empty for an empty column or one the
// snapshot does not hold (cleared before the column grew).
std::span<uint8_t> DexelSnapshotColumn(DexelFlagSnapshot& snapshot, const DexelModel& model,
                                       int direction, int32_t column);

// --- Bounds -----------------------------------------------------------------

// World-space box of the material: the first and last value of every
// non-empty column, placed at the column's grid coordinates and mapped by the
// model's placement. Without material minOut stays (1e12, 1e12, 1e12) and
// maxOut (-1e12, -1e12, -1e12).
void ComputeMaterialBounds(const DexelModel& model, Vec3& minOut, Vec3& maxOut);

// --- Visit tables of the body separation ------------------------------------

// One entry of the separation's stack: set direction (0 X, 1 Y, 2 Z), the
// column's two cross indexes, its index in the set and the segment index.
struct SegmentStackEntry {
  int32_t Direction = 0;
  int32_t First = 0;
  int32_t Second = 0;
  int32_t Column = 0;
  int32_t Segment = 0;
};

struct DexelVisitTables {
  int32_t BytesX = 0, BytesY = 0, BytesZ = 0;   // visit bytes per column, one per segment
  std::vector<uint8_t> VisitX, VisitY, VisitZ;  // 0 = unreached
  std::vector<int32_t> RemainingX, RemainingY, RemainingZ;  // unreached segments per column
  std::vector<SegmentStackEntry> Stack;
};

// Allocates the tables, zeroed: Columns * bytes visit bytes per set, a
// remaining count per column and stackEntries stack entries. Returns 1, or -1
// (tables left empty) for a negative size or when the memory cannot be had.
int AllocDexelArrays(const DexelModel& model, int32_t bytesX, int32_t bytesY, int32_t bytesZ,
                     int64_t stackEntries, DexelVisitTables& tables);

// 1 when some segment of some non-empty column is still unreached (visit
// byte 0), else 0. Sets X, Y, then Z; a column's first count / 2 bytes are
// tested, never more than its share of the table.
int TestDexelFlags(const DexelModel& model, const DexelVisitTables& tables);

}  // namespace vestan
