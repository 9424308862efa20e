#include "model/block_marking.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

// Grid index of a value along an axis, truncated toward zero and kept on the
// grid: a removed value may lie outside the model box.
inline int32_t GridIndexOf(double value, double origin, double pitch, int32_t points) {
  const double g = std::trunc((value - origin) / pitch);
  if (!(g > 0)) return 0;  // also NaN
  if (g >= points - 1) return points - 1;
  return static_cast<int32_t>(g);
}

struct BlockRange {
  int32_t low;
  int32_t high;
};

inline BlockRange AlongColumn(std::span<const double> removed, double origin, double pitch,
                              const std::vector<int32_t>& low, const std::vector<int32_t>& high) {
  const int32_t points = static_cast<int32_t>(low.size());
  const int32_t g0 = GridIndexOf(removed.front(), origin, pitch, points);
  const int32_t g1 = GridIndexOf(removed.back(), origin, pitch, points);
  return {low[g0], high[g1]};
}

BlockRange Clamp(int32_t low, int32_t high, int32_t blocks) {
  return {std::max(low, 0), std::min(high, blocks - 1)};
}

// Sets the flags of the box x, y, z (inclusive); an empty range sets nothing.
inline void MarkBox(DexelModel& model, BlockRange x, BlockRange y, BlockRange z) {
  // Mostly a removal stays inside one block.
  if (x.low == x.high && y.low == y.high && z.low == z.high && x.low >= 0 && y.low >= 0 &&
      z.low >= 0 && x.low < model.BlocksX && y.low < model.BlocksY && z.low < model.BlocksZ) {
    model.BlockDirty[(model.BlocksY * z.low + y.low) * model.BlocksX + x.low] = 1;
    return;
  }
  x = Clamp(x.low, x.high, model.BlocksX);
  y = Clamp(y.low, y.high, model.BlocksY);
  z = Clamp(z.low, z.high, model.BlocksZ);
  for (int32_t zb = z.low; zb <= z.high; ++zb)
    for (int32_t yb = y.low; yb <= y.high; ++yb)
      for (int32_t xb = x.low; xb <= x.high; ++xb)
        model.BlockDirty[(model.BlocksY * zb + yb) * model.BlocksX + xb] = 1;
}

}  // namespace

void MarkChangedBlocks(DexelModel& model, int32_t lowY, int32_t highY, int32_t lowZ, int32_t highZ,
                       std::span<const double> removed) {
  if (removed.empty() || model.BlockDirty.empty()) return;
  const BlockRange x =
      AlongColumn(removed, model.OriginX, model.Pitch, model.BlockLowX, model.BlockHighX);
  MarkBox(model, x, {lowY, highY}, {lowZ, highZ});
}

void MarkChangedBlocksY(DexelModel& model, int32_t lowZ, int32_t highZ, int32_t lowX, int32_t highX,
                        std::span<const double> removed) {
  if (removed.empty() || model.BlockDirty.empty()) return;
  const BlockRange y =
      AlongColumn(removed, model.OriginY, model.Pitch, model.BlockLowY, model.BlockHighY);
  MarkBox(model, {lowX, highX}, y, {lowZ, highZ});
}

void MarkChangedBlocksZ(DexelModel& model, int32_t lowX, int32_t highX, int32_t lowY, int32_t highY,
                        std::span<const double> removed) {
  if (removed.empty() || model.BlockDirty.empty()) return;
  const BlockRange z =
      AlongColumn(removed, model.OriginZ, model.Pitch, model.BlockLowZ, model.BlockHighZ);
  MarkBox(model, {lowX, highX}, {lowY, highY}, z);
}

}  // namespace vestan
