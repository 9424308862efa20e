#include "model/block_marking.h"

#include <algorithm>
#include <limits>

namespace vestan {

ColumnBlocks ColumnBlocksOf(DexelModel& model, int direction) {
  ColumnBlocks blocks;
  const int32_t count = static_cast<int32_t>(model.BlockDirty.size());
  // Blocks laid out apart from their flags (or none at all) mark nothing.
  if (count == 0 || static_cast<int64_t>(model.BlocksX) * model.BlocksY * model.BlocksZ != count)
    return blocks;
  // Block (x, y, z) is flag (BlocksY z + y) BlocksX + x.
  const int32_t stepX = 1, stepY = model.BlocksX, stepZ = model.BlocksX * model.BlocksY;
  const std::vector<int32_t>* low;
  const std::vector<int32_t>* high;
  if (direction == kDirectionZ) {
    blocks.StepU = stepX, blocks.StepV = stepY, blocks.StepW = stepZ;
    blocks.BlocksU = model.BlocksX, blocks.BlocksV = model.BlocksY, blocks.BlocksW = model.BlocksZ;
    low = &model.BlockLowZ, high = &model.BlockHighZ;
    blocks.OriginW = model.OriginZ;
  } else if (direction == kDirectionY) {
    blocks.StepU = stepZ, blocks.StepV = stepX, blocks.StepW = stepY;
    blocks.BlocksU = model.BlocksZ, blocks.BlocksV = model.BlocksX, blocks.BlocksW = model.BlocksY;
    low = &model.BlockLowY, high = &model.BlockHighY;
    blocks.OriginW = model.OriginY;
  } else {
    blocks.StepU = stepY, blocks.StepV = stepZ, blocks.StepW = stepX;
    blocks.BlocksU = model.BlocksY, blocks.BlocksV = model.BlocksZ, blocks.BlocksW = model.BlocksX;
    low = &model.BlockLowX, high = &model.BlockHighX;
    blocks.OriginW = model.OriginX;
  }
  if (low->empty() || low->size() != high->size()) return blocks;
  blocks.Dirty = model.BlockDirty.data();
  blocks.LowW = low->data();
  blocks.HighW = high->data();
  blocks.PointsW = static_cast<int32_t>(low->size());
  blocks.Pitch = model.Pitch;
  return blocks;
}

namespace detail {

namespace {

// The value bounds of a run of blocks lowW..highW along the columns (both
// taken from the tables), as BlockMarkCache keeps them.
void HeldValueBounds(const ColumnBlocks& blocks, int32_t lowW, int32_t highW, double& front,
                     double& back) {
  const int32_t n = blocks.PointsW;
  // The first grid point whose low block is lowW or above, the last whose
  // high block is highW or below.
  const int32_t first =
      static_cast<int32_t>(std::lower_bound(blocks.LowW, blocks.LowW + n, lowW) - blocks.LowW);
  const int32_t last = static_cast<int32_t>(
      std::upper_bound(blocks.HighW, blocks.HighW + n, highW) - blocks.HighW - 1);
  constexpr double kEndless = std::numeric_limits<double>::infinity();
  front = first <= 0 ? -kEndless : blocks.OriginW + (first + 0.5) * blocks.Pitch;
  back = last >= n - 1 ? kEndless : blocks.OriginW + (last + 0.5) * blocks.Pitch;
}

}  // namespace

void MarkAndHold(const ColumnBlocks& blocks, BlockMarkCache& cache, int32_t lowU, int32_t highU,
                 int32_t lowV, int32_t highV, double front, double back) {
  const int32_t lowW = blocks.LowW[GridPointOf(blocks, front)];
  const int32_t highW = blocks.HighW[GridPointOf(blocks, back)];
  MarkBlockBox(blocks, lowU, highU, lowV, highV, lowW, highW);
  // A removal out of order (or NaN) marks what it marks and is not held.
  if (!(front <= back) || lowW > highW) return;
  const bool held = cache.Dirty == blocks.Dirty && lowU == cache.LowU && highU == cache.HighU &&
                    lowV == cache.LowV && highV == cache.HighV;
  if (held && lowW <= cache.HighW + 1 && highW >= cache.LowW - 1) {
    // Overlapping or adjoining: the marked run grows.
    if (lowW >= cache.LowW && highW <= cache.HighW) return;
    cache.LowW = std::min(cache.LowW, lowW);
    cache.HighW = std::max(cache.HighW, highW);
  } else {
    cache = {blocks.Dirty, lowU, highU, lowV, highV, lowW, highW, 0.0, 0.0};
  }
  HeldValueBounds(blocks, cache.LowW, cache.HighW, cache.Front, cache.Back);
}

}  // namespace detail

void MarkChangedBlocks(DexelModel& model, int32_t lowY, int32_t highY, int32_t lowZ, int32_t highZ,
                       std::span<const double> removed) {
  MarkColumnBlocks(ColumnBlocksOf(model, kDirectionX), lowY, highY, lowZ, highZ, removed);
}

void MarkChangedBlocksY(DexelModel& model, int32_t lowZ, int32_t highZ, int32_t lowX, int32_t highX,
                        std::span<const double> removed) {
  MarkColumnBlocks(ColumnBlocksOf(model, kDirectionY), lowZ, highZ, lowX, highX, removed);
}

void MarkChangedBlocksZ(DexelModel& model, int32_t lowX, int32_t highX, int32_t lowY, int32_t highY,
                        std::span<const double> removed) {
  MarkColumnBlocks(ColumnBlocksOf(model, kDirectionZ), lowX, highX, lowY, highY, removed);
}

}  // namespace vestan
