// The crossing lists of the mesh-tool cut: per dexel direction, where each
// column's line crosses the tool mesh, kept only for the columns one pose
// touched.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/dexel_model.h"

namespace vestan {

// The crossings of one column's line, ascending once sorted. They stand in
// Inline while they fit it; a longer list moves whole into Spill.
struct CrossingColumn {
  int32_t Column = 0;  // the column's number in its set
  int32_t Count = 0;
  std::vector<double> Spill;
  std::array<double, kDexelStride> Inline{};

  std::span<double> Values() {
    return Count > kDexelStride ? std::span<double>(Spill).first(static_cast<size_t>(Count))
                                : std::span<double>(Inline).first(static_cast<size_t>(Count));
  }
  std::span<const double> Values() const {
    return Count > kDexelStride ? std::span<const double>(Spill).first(static_cast<size_t>(Count))
                                : std::span<const double>(Inline).first(static_cast<size_t>(Count));
  }
};

// The crossings of one direction's columns; column u of row v is number
// v * RowLength + u, as in the direction's cut context.
struct CrossingSet {
  int32_t RowLength = 0;
  // Per column of the set: its entry in Touched, -1 while it has none.
  std::vector<int32_t> Entry;
  // The first Used entries are the columns crossed so far, in the order they
  // were first crossed; the others are kept for reuse.
  std::vector<CrossingColumn> Touched;
  int32_t Used = 0;
  // A box (inclusive) holding every crossed column, where the crossing code
  // gave one (Cover); empty when LowU > HighU.
  int32_t LowU = 0, HighU = -1, LowV = 0, HighV = -1;
  // Scratch: the crossed columns' entries in column order.
  std::vector<int32_t> Order;

  std::span<CrossingColumn> Columns() {
    return std::span<CrossingColumn>(Touched).first(static_cast<size_t>(Used));
  }
  std::span<const CrossingColumn> Columns() const {
    return std::span<const CrossingColumn>(Touched).first(static_cast<size_t>(Used));
  }
  // Widens the box to hold columns lowU..highU of rows lowV..highV.
  void Cover(int32_t lowU, int32_t highU, int32_t lowV, int32_t highV) {
    if (LowU > HighU) {
      LowU = lowU;
      HighU = highU;
      LowV = lowV;
      HighV = highV;
      return;
    }
    LowU = std::min(LowU, lowU);
    HighU = std::max(HighU, highU);
    LowV = std::min(LowV, lowV);
    HighV = std::max(HighV, highV);
  }
  // The crossing list of column u of row v, made (empty) when it has none
  // yet.
  CrossingColumn& Open(int32_t u, int32_t v) {
    const int32_t entry = Entry[static_cast<size_t>(v) * RowLength + u];
    return entry >= 0 ? Touched[static_cast<size_t>(entry)] : Add(u, v);
  }

 private:
  CrossingColumn& Add(int32_t u, int32_t v) {
    if (static_cast<size_t>(Used) == Touched.size()) Grow();
    const int32_t column = v * RowLength + u;
    CrossingColumn& fresh = Touched[static_cast<size_t>(Used)];
    fresh.Column = column;
    fresh.Count = 0;
    Entry[static_cast<size_t>(column)] = Used++;
    return fresh;
  }
  void Grow();
};

// Per direction, in the order of the cut contexts (X, Y, Z). Between two cuts
// no column holds a crossing.
struct MeshToolCrossings {
  std::array<CrossingSet, 3> Directions;
  // Crossings left out because their column already held kMaxColumnValues.
  int64_t IgnoredCrossings = 0;
};

// Sizes the lists for the model's column sets (X: ny*nz, Y: nx*nz, Z: nx*ny
// columns), every column without crossings; a model without sets gets none.
void AllocCutWorkArrays(MeshToolCrossings& crossings, const DexelModel& model);
// Releases every list.
void FreeCutWorkArrays(MeshToolCrossings& crossings);

namespace detail {
bool AppendLongCrossing(CrossingColumn& column, double value);
}  // namespace detail

// Appends one crossing to a column's list. A list that already holds
// kMaxColumnValues keeps them and the value is left out: false.
inline bool AppendDoubleToArray(CrossingColumn& column, double value) {
  if (column.Count >= kDexelStride) return detail::AppendLongCrossing(column, value);
  column.Inline[static_cast<size_t>(column.Count++)] = value;
  return true;
}

}  // namespace vestan
