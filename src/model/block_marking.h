// Marking the update blocks that a removal from one column touched, so that
// the display redraws only those blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "model/dexel_model.h"

namespace vestan {

// Each takes the block ranges of the two cross axes (low, high; inclusive)
// and the removed values along the column, ascending (at least one).
// Columns along X: cross axes Y then Z.
void MarkChangedBlocks(DexelModel& model, int32_t lowY, int32_t highY, int32_t lowZ, int32_t highZ,
                       std::span<const double> removed);
// Columns along Y: cross axes Z then X.
void MarkChangedBlocksY(DexelModel& model, int32_t lowZ, int32_t highZ, int32_t lowX, int32_t highX,
                        std::span<const double> removed);
// Columns along Z: cross axes X then Y.
void MarkChangedBlocksZ(DexelModel& model, int32_t lowX, int32_t highX, int32_t lowY, int32_t highY,
                        std::span<const double> removed);

// The update blocks as the columns of one direction see them: cross axes u,
// v (as the direction's marking takes them) and the columns' own axis w,
// each with its block count and its index step in BlockDirty. Valid while
// the model's blocks stay as they are laid out.
struct ColumnBlocks {
  uint8_t* Dirty = nullptr;  // none: the model has no blocks
  int32_t StepU = 0, StepV = 0, StepW = 0;
  int32_t BlocksU = 0, BlocksV = 0, BlocksW = 0;
  // Grid point to block along w, below and above the point.
  const int32_t* LowW = nullptr;
  const int32_t* HighW = nullptr;
  int32_t PointsW = 0;
  double OriginW = 0.0;
  double Pitch = 0.0;
};

// The view of the columns of a direction (2 Z, 1 Y, else X).
ColumnBlocks ColumnBlocksOf(DexelModel& model, int direction);

namespace detail {

// Grid index of a value along the columns, truncated toward zero and kept on
// the grid (a removed value may lie outside the model box; NaN gives 0).
// Truncation keeps a whole g >= 1 and cannot reach the ends before the
// clamps do.
inline int32_t GridPointOf(const ColumnBlocks& blocks, double value) {
  const double g = (value - blocks.OriginW) / blocks.Pitch;
  if (!(g >= 1)) return 0;
  if (g >= blocks.PointsW - 1) return blocks.PointsW - 1;
  return static_cast<int32_t>(g);
}

// Marks the blocks of the ranges (inclusive, clipped to the blocks).
inline void MarkBlockBox(const ColumnBlocks& blocks, int32_t lowU, int32_t highU, int32_t lowV,
                         int32_t highV, int32_t lowW, int32_t highW) {
  // Mostly a removal stays inside one block.
  if (lowU == highU && lowV == highV && lowW == highW && lowU >= 0 && lowV >= 0 && lowW >= 0 &&
      lowU < blocks.BlocksU && lowV < blocks.BlocksV && lowW < blocks.BlocksW) {
    blocks.Dirty[lowU * blocks.StepU + lowV * blocks.StepV + lowW * blocks.StepW] = 1;
    return;
  }
  lowU = std::max(lowU, 0), highU = std::min(highU, blocks.BlocksU - 1);
  lowV = std::max(lowV, 0), highV = std::min(highV, blocks.BlocksV - 1);
  lowW = std::max(lowW, 0), highW = std::min(highW, blocks.BlocksW - 1);
  for (int32_t w = lowW; w <= highW; ++w)
    for (int32_t v = lowV; v <= highV; ++v)
      for (int32_t u = lowU; u <= highU; ++u)
        blocks.Dirty[u * blocks.StepU + v * blocks.StepV + w * blocks.StepW] = 1;
}

}  // namespace detail

// The marking of the direction the view was taken for.
inline void MarkColumnBlocks(const ColumnBlocks& blocks, int32_t lowU, int32_t highU, int32_t lowV,
                             int32_t highV, std::span<const double> removed) {
  if (removed.empty() || blocks.Dirty == nullptr) return;
  detail::MarkBlockBox(blocks, lowU, highU, lowV, highV,
                       blocks.LowW[detail::GridPointOf(blocks, removed.front())],
                       blocks.HighW[detail::GridPointOf(blocks, removed.back())]);
}

// What the cuts of a pass have marked lately, so that a cut whose blocks are
// marked already costs a few comparisons instead of two divisions: for the
// cross ranges held, every block along the columns from LowW to HighW is
// marked. Front and Back bound the values whose blocks lie in that run: the
// grid-to-block tables ascend, so a removal from at least Front starts in a
// block not below LowW and one to at most Back ends in one not above HighW
// (the bounds lie half a cell inside, far beyond the rounding of the
// division that places a value). Holds for one flag array while nothing
// clears it: a pass starts with a fresh one.
struct BlockMarkCache {
  const uint8_t* Dirty = nullptr;  // none: nothing held
  int32_t LowU = 0, HighU = 0, LowV = 0, HighV = 0;
  int32_t LowW = 0, HighW = -1;
  double Front = 0.0, Back = 0.0;
};

namespace detail {

// The marking of a removal the cache does not hold, and the cache's update.
void MarkAndHold(const ColumnBlocks& blocks, BlockMarkCache& cache, int32_t lowU, int32_t highU,
                 int32_t lowV, int32_t highV, double front, double back);

}  // namespace detail

// MarkColumnBlocks through the cache: the same blocks end up marked.
inline void MarkColumnBlocks(const ColumnBlocks& blocks, BlockMarkCache& cache, int32_t lowU,
                             int32_t highU, int32_t lowV, int32_t highV,
                             std::span<const double> removed) {
  if (removed.empty() || blocks.Dirty == nullptr) return;
  const double front = removed.front(), back = removed.back();
  if (cache.Dirty == blocks.Dirty && lowU == cache.LowU && highU == cache.HighU &&
      lowV == cache.LowV && highV == cache.HighV && front >= cache.Front && back <= cache.Back)
    return;
  detail::MarkAndHold(blocks, cache, lowU, highU, lowV, highV, front, back);
}

}  // namespace vestan
