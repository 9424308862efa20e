#include "model/cut_statistics.h"

#include <algorithm>

namespace vestan {

namespace {

double MaterialLength(const DexelSet& set, int32_t column) {
  const auto v = DexelColumnValues(set, column);
  double length = 0;
  for (size_t i = 0; i + 1 < v.size(); i += 2) length += v[i + 1] - v[i];
  return length;
}

struct DirectionAmount {
  int32_t changed = 0;
  double amount = 0;
};

}  // namespace

void ComputeCutAmount(const DexelSet& saved, const DexelSet& current, int32_t rowLength,
                      int32_t rowCount, double cellArea, int32_t& changedColumns, double& amount) {
  changedColumns = 0;
  amount = 0;
  if (rowCount < 1 || rowLength < 1) return;
  const int64_t columns = std::min(saved.Columns, current.Columns);
  const int32_t rows = static_cast<int32_t>(std::min<int64_t>(rowCount, columns / rowLength));
  for (int32_t row = 0; row < rows; ++row) {
    const double rowWeight = (row == 0 || row == rowCount - 1) ? cellArea / 2 : cellArea;
    for (int32_t position = 0; position < rowLength; ++position) {
      const int32_t column = row * rowLength + position;
      const double before = MaterialLength(saved, column);
      const double after = MaterialLength(current, column);
      if (after == before) continue;
      const bool edge = position == 0 || position == rowLength - 1;
      ++changedColumns;
      amount += (after - before) * (edge ? rowWeight / 2 : rowWeight);
    }
  }
}

double ComputeCutAmountStats(const DexelModel& model) {
  if (model.CountX == 0 || !model.Allocated()) return 0;
  int32_t saved = model.CurrentSlot - 1;
  if (saved < 0) saved = model.HighestSlot;
  if (saved < 0 || saved >= static_cast<int32_t>(model.Slots.size())) return 0;
  const ModelHistorySlot& before = model.Slots[saved];
  const double area = model.PitchSquared;
  DirectionAmount x, y, z;
  ComputeCutAmount(before.X, model.XSet(), model.CountY, model.CountZ, area, x.changed, x.amount);
  ComputeCutAmount(before.Y, model.YSet(), model.CountZ, model.CountX, area, y.changed, y.amount);
  ComputeCutAmount(before.Z, model.ZSet(), model.CountX, model.CountY, area, z.changed, z.amount);
  if (z.changed >= x.changed && z.changed >= y.changed) return z.amount;
  if (x.changed >= y.changed) return x.amount;
  return y.amount;
}

}  // namespace vestan
