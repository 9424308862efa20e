#include "model/block_marking.h"

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
