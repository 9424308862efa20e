#include "model/cut_grid_context.h"

#include "model/main_pass_workers.h"

namespace vestan {

namespace {

struct AxisTables {
  int32_t count;
  const std::vector<double>& grid;
  const std::vector<int32_t>& blockLow;
  const std::vector<int32_t>& blockHigh;
};

AxisTables TablesOf(const DexelModel& model, int axis) {
  switch (axis) {
    case 0:
      return {model.CountX, model.GridX, model.BlockLowX, model.BlockHighX};
    case 1:
      return {model.CountY, model.GridY, model.BlockLowY, model.BlockHighY};
    default:
      return {model.CountZ, model.GridZ, model.BlockLowZ, model.BlockHighZ};
  }
}

bool Usable(const AxisTables& axis) {
  const size_t count = axis.count > 0 ? static_cast<size_t>(axis.count) : 0;
  return count > 0 && axis.grid.size() == count && axis.blockLow.size() == count &&
         axis.blockHigh.size() == count;
}

void Bind(CutGridContext& grid, DexelModel& model, int axisU, int axisV, int axisW) {
  const AxisTables u = TablesOf(model, axisU), v = TablesOf(model, axisV),
                   w = TablesOf(model, axisW);
  // A freed model keeps its counts but has no arrays: it offers no column.
  const bool usable = model.Allocated() && Usable(u) && Usable(v) && Usable(w) &&
                      model.SetByDirection(axisW).Counts.size() ==
                          static_cast<size_t>(u.count) * static_cast<size_t>(v.count);
  grid.Model = &model;
  grid.AxisU = axisU;
  grid.AxisV = axisV;
  grid.AxisW = axisW;
  grid.CountU = usable ? u.count : 0;
  grid.CountV = usable ? v.count : 0;
  grid.LastU = grid.CountU - 1;
  grid.LastV = grid.CountV - 1;
  grid.CountW = usable ? w.count : 0;
  grid.Pitch = model.Pitch;
  grid.CoordU = usable ? std::span<const double>(u.grid) : std::span<const double>();
  grid.CoordV = usable ? std::span<const double>(v.grid) : std::span<const double>();
  grid.CoordW = usable ? std::span<const double>(w.grid) : std::span<const double>();
  grid.Set = usable ? &model.SetByDirection(axisW) : nullptr;
  grid.BlockLowU = usable ? std::span<const int32_t>(u.blockLow) : std::span<const int32_t>();
  grid.BlockHighU = usable ? std::span<const int32_t>(u.blockHigh) : std::span<const int32_t>();
  grid.BlockLowV = usable ? std::span<const int32_t>(v.blockLow) : std::span<const int32_t>();
  grid.BlockHighV = usable ? std::span<const int32_t>(v.blockHigh) : std::span<const int32_t>();
  grid.Blocks = usable ? ColumnBlocksOf(model, axisW) : ColumnBlocks{};
  grid.MarkCache = {};
}

template <typename T>
bool Same(std::span<const T> view, const std::vector<T>& array) {
  return view.data() == array.data() && view.size() == array.size();
}

// The binding still views the model's live arrays of its current slot.
bool IsCurrent(const CutGridContext& grid) {
  const DexelModel& model = *grid.Model;
  if (!model.Allocated()) return grid.Set == nullptr;
  if (grid.Set != &model.SetByDirection(grid.AxisW) || grid.Pitch != model.Pitch) return false;
  const AxisTables u = TablesOf(model, grid.AxisU), v = TablesOf(model, grid.AxisV),
                   w = TablesOf(model, grid.AxisW);
  return Same(grid.CoordU, u.grid) && Same(grid.CoordV, v.grid) && Same(grid.CoordW, w.grid) &&
         Same(grid.BlockLowU, u.blockLow) && Same(grid.BlockHighU, u.blockHigh) &&
         Same(grid.BlockLowV, v.blockLow) && Same(grid.BlockHighV, v.blockHigh) &&
         grid.CountU == u.count && grid.CountV == v.count && grid.CountW == w.count;
}

}  // namespace

void RefreshCutGrid(CutGridContext& grid) {
  if (grid.Model == nullptr) return;
  if (!IsCurrent(grid))
    Bind(grid, *grid.Model, grid.AxisU, grid.AxisV, grid.AxisW);
  else if (grid.Set != nullptr)
    grid.Blocks = ColumnBlocksOf(*grid.Model, grid.AxisW);
  // The flags may have been drawn and cleared since the last pass.
  grid.MarkCache = {};
}

void BindCutGrids(CutGrids& grids, DexelModel& model) {
  Bind(grids[kContextX], model, 1, 2, 0);
  Bind(grids[kContextY], model, 2, 0, 1);
  Bind(grids[kContextZ], model, 0, 1, 2);
}

CutContext::CutContext(const CutRecords& records)
    : Records(records), RemovedPieces(kMaxColumnValues) {}

CutContext::~CutContext() = default;

}  // namespace vestan
