#include "model/column_cut.h"

#include <algorithm>

#include "model/block_marking.h"
#include "model/column_operations.h"

namespace vestan {

namespace {

// Runs the rule's subtraction on a column; false when its result does not
// fit the room offered (nothing is changed then).
bool Subtract(const CutGridContext& grid, const ColumnCut& c, CutRule rule, DexelColumnEdit& column,
              double& volume, std::span<double> pieces, int32_t& removedCount) {
  if (rule == CutRule::kTouching)
    return SubtractIntervalFromDexel(column.Values, column.Flags, column.Attributes, column.Count,
                                     grid.Pitch, grid.CoordW, c.CellArea, volume, pieces,
                                     removedCount, c.Interval, c.FaceFlags, c.FaceAttributes);
  return CutIntervalRecording(column.Values, column.Flags, column.Attributes, column.Count,
                              grid.Pitch, grid.CoordW, c.CellArea, volume, pieces, removedCount,
                              c.Interval, c.FaceFlags, c.FaceAttributes);
}

bool Ordered(const ColumnCut& c) { return c.Interval[0] <= c.Interval[1]; }

void MarkColumnBlocks(const CutGridContext& grid, int32_t i, int32_t j,
                      std::span<const double> pieces) {
  DexelModel& model = *grid.Model;
  const int32_t lowU = grid.BlockLowU[i], highU = grid.BlockHighU[i];
  const int32_t lowV = grid.BlockLowV[j], highV = grid.BlockHighV[j];
  if (grid.AxisW == kDirectionZ)
    MarkChangedBlocksZ(model, lowU, highU, lowV, highV, pieces);
  else if (grid.AxisW == kDirectionY)
    MarkChangedBlocksY(model, lowU, highU, lowV, highV, pieces);
  else
    MarkChangedBlocks(model, lowU, highU, lowV, highV, pieces);
}

}  // namespace

std::span<const double> CutColumnInterval(CutContext& cut, CutGridContext& grid, const ColumnCut& c,
                                          CutRule rule) {
  if (!Ordered(c)) return {};
  const int32_t column = c.J * grid.CountU + c.I;
  std::span<double> pieces = cut.RemovedPieces;
  int32_t removed = 0;
  const ColumnEditResult result =
      EditDexelColumn(*grid.Set, column, cut.ColumnScratch, [&](DexelColumnEdit& edit) {
        const int32_t before = edit.Count;
        if (!Subtract(grid, c, rule, edit, grid.RemovedVolume, pieces, removed))
          return ColumnEditStatus::kNoRoom;
        return removed > 0 || edit.Count != before ? ColumnEditStatus::kChanged
                                                   : ColumnEditStatus::kUnchanged;
      });
  if (result != ColumnEditResult::kChanged || removed < 1) return {};
  grid.RemovedCount += removed;
  const std::span<const double> done = pieces.first(removed);
  MarkColumnBlocks(grid, c.I, c.J, done);
  return done;
}

std::span<const double> ProbeColumnInterval(CutContext& cut, const CutGridContext& grid,
                                            const ColumnCut& c, CutRule rule, double& volume) {
  if (!Ordered(c)) return {};
  DexelColumnEdit copy =
      CopyDexelColumnForEdit(*grid.Set, c.J * grid.CountU + c.I, cut.ColumnScratch);
  int32_t removed = 0;
  if (!Subtract(grid, c, rule, copy, volume, cut.RemovedPieces, removed)) return {};
  return std::span<const double>(cut.RemovedPieces).first(removed);
}

}  // namespace vestan
