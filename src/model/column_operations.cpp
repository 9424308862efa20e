#include "model/column_operations.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/dexel_model.h"

namespace vestan {

namespace {

// The caller's column buffers; flags and attributes travel with the values
// only when the operation carries them (fixed per operation, so that the
// loops test nothing for it).
template <bool kCarries>
struct Column {
  std::span<double> values;
  std::span<uint8_t> flags;
  std::span<int32_t> attributes;

  // Values the column may hold in these buffers.
  int32_t Room() const {
    size_t room = std::min(values.size(), static_cast<size_t>(kMaxColumnValues));
    if constexpr (kCarries) room = std::min({room, flags.size(), attributes.size()});
    return static_cast<int32_t>(room);
  }
  void Move(int32_t from, int32_t to) const {
    if (from == to) return;
    values[to] = values[from];
    if constexpr (kCarries) {
      flags[to] = flags[from];
      attributes[to] = attributes[from];
    }
  }
  // Moves [from, end) to start at to, either way, like memmove.
  void MoveRange(int32_t from, int32_t end, int32_t to) const {
    if (to > from) {
      for (int32_t i = end - 1; i >= from; --i) Move(i, i - from + to);
    } else {
      for (int32_t i = from; i < end; ++i) Move(i, i - from + to);
    }
  }
  void Put(int32_t at, double value, uint8_t flag, int32_t attribute) const {
    values[at] = value;
    if constexpr (kCarries) {
      flags[at] = flag;
      attributes[at] = attribute;
    }
  }
};
using ValueColumn = Column<false>;
using CarriedColumn = Column<true>;

// Optional bookkeeping of the recording cut.
struct Recording {
  const RecordingCut& cut;
  bool hasGrid;  // the thin-cut rule needs the grid's origin
  double& volume;
  double* pieces;
  size_t room;  // pieces the buffer holds
  int32_t& count;

  void Add(double low, double high, double length) {
    pieces[count] = low;
    pieces[count + 1] = high;
    count += 2;
    cut.AddVolume(volume, length * cut.Weight);
  }
};

enum class ThinCut { kNone, kAbove, kBelow };

// The thin-cut rule for a pair [p, q] that strictly contains a cut [a, b]
// lying inside one grid cell: the remnant above the cut goes when q lies in
// the cut's cell, else the remnant below when p lies in it.
ThinCut ThinCutSide(const Recording* rec, double p, double q, double a, double b) {
  if (rec == nullptr || !rec->hasGrid || !(rec->cut.Pitch > b - a)) return ThinCut::kNone;
  const double g0 = rec->cut.GridOrigin;
  const double pitch = rec->cut.Pitch;
  // Cell numbers stay doubles: they are whole numbers, compared exactly, and
  // a far-off value cannot overflow a conversion.
  const double ia = std::trunc((a - g0) / pitch);
  const double ib = std::ceil((b - g0) / pitch);
  if (ia + 1 != ib) return ThinCut::kNone;
  if (std::trunc((q - g0) / pitch) == ia) return ThinCut::kAbove;
  if (std::ceil((p - g0) / pitch) == ib) return ThinCut::kBelow;
  return ThinCut::kNone;
}

// The cut [a, b] widened by the touching tolerance: what the pairs are
// compared with.
struct Reach {
  double low;
  double high;
};

Reach ReachOf(double a, double b, const Recording* rec) {
  const double touching = rec != nullptr ? rec->cut.Touching : 0.0;
  return {a - touching, b + touching};
}

// True when the cut of [a, b] would split a pair (and so grow the column).
template <bool kCarries>
bool WouldSplit(const Column<kCarries>& col, int32_t n, double a, double b, const Recording* rec) {
  const Reach reach = ReachOf(a, b, rec);
  for (int32_t i = 0; i < n; i += 2) {
    const double p = col.values[i], q = col.values[i + 1];
    if (p >= reach.high || q <= reach.low) continue;
    if (p >= reach.low && q <= reach.high) continue;
    if (p < reach.low && q > reach.high) return ThinCutSide(rec, p, q, a, b) == ThinCut::kNone;
  }
  return false;
}

// The three subtractions. newFlags and newAttributes go to boundaries made
// at a (index 0) and at b (index 1). kRecords: rec is given.
template <bool kCarries, bool kRecords>
bool Subtract(const Column<kCarries>& col, int32_t& count, double a, double b,
              const std::array<uint8_t, 2>& newFlags, const std::array<int32_t, 2>& newAttributes,
              Recording* rec) {
  const int32_t room = col.Room();
  if (count < 0 || count > room || !(a <= b)) return false;
  if (kRecords && count >= 2 && rec->room < static_cast<size_t>(count)) return false;
  if (count < 2) {
    count = 0;
    return true;
  }
  const int32_t n = count / 2 * 2;  // a dangling odd value is not a pair
  if (n + 2 > room && WouldSplit(col, n, a, b, rec)) return false;

  const Reach reach = ReachOf(a, b, rec);
  int32_t w = 0;
  for (int32_t r = 0; r < n; r += 2) {
    const double p = col.values[r], q = col.values[r + 1];
    if (p >= reach.high || q <= reach.low) {  // apart or touching
      col.Move(r, w);
      col.Move(r + 1, w + 1);
      w += 2;
    } else if (p >= reach.low && q <= reach.high) {  // inside the cut
      if constexpr (kRecords) rec->Add(p, q, q - p);
    } else if (p < reach.low && q > reach.high) {  // strictly contains the cut
      // A thin cut books its one piece alone: only a pair that a touching end
      // stretched can stand before it.
      switch (kRecords ? ThinCutSide(rec, p, q, a, b) : ThinCut::kNone) {
        case ThinCut::kAbove:
          col.Move(r, w);
          col.Put(w + 1, a, newFlags[0], newAttributes[0]);
          rec->count = 0;
          rec->Add(a, q, b - a);
          col.MoveRange(r + 2, n, w + 2);
          count = n - (r - w);
          return true;
        case ThinCut::kBelow:
          col.Put(w, b, newFlags[1], newAttributes[1]);
          col.Move(r + 1, w + 1);
          rec->count = 0;
          rec->Add(p, b, b - a);
          col.MoveRange(r + 2, n, w + 2);
          count = n - (r - w);
          return true;
        case ThinCut::kNone:
          break;
      }
      // Split: p, a, b, q in place of p, q; later values move up two places.
      col.Move(r, w);
      col.MoveRange(r + 1, n, w + 3);
      col.Put(w + 1, a, newFlags[0], newAttributes[0]);
      col.Put(w + 2, b, newFlags[1], newAttributes[1]);
      if constexpr (kRecords) rec->Add(a, b, b - a);
      count = n - (r - w) + 2;
      return true;
    } else if (p >= reach.low) {  // overlaps the upper end of the cut
      col.Put(w, b, newFlags[1], newAttributes[1]);
      col.Move(r + 1, w + 1);
      if constexpr (kRecords) rec->Add(p, b, b - p);
      w += 2;
    } else {  // overlaps the lower end
      col.Move(r, w);
      col.Put(w + 1, a, newFlags[0], newAttributes[0]);
      if constexpr (kRecords) rec->Add(a, q, q - a);
      w += 2;
    }
  }
  count = w;
  return true;
}

}  // namespace

bool AddIntervalToColumn(std::span<double> values, int32_t& count, double a, double b) {
  ValueColumn col{values, {}, {}};
  const int32_t room = col.Room();
  if (count < 0 || count > room || std::isnan(a) || std::isnan(b)) return false;
  if (a >= b) return true;
  const int32_t n = count / 2 * 2;
  if (n == 0) {
    if (room < 2) return false;
    values[0] = a;
    values[1] = b;
    count = 2;
    return true;
  }
  const int32_t pairs = n / 2;
  // First pair whose upper value reaches a; a beyond the last value appends.
  int32_t i = 0;
  while (i < pairs && values[2 * i + 1] < a) ++i;
  if (i == pairs || values[2 * i] > b) {
    // [a, b] meets nothing: insert it before pair i.
    if (n + 2 > room) return false;
    col.MoveRange(2 * i, n, 2 * i + 2);
    values[2 * i] = a;
    values[2 * i + 1] = b;
    count = n + 2;
    return true;
  }
  // Merge with pair i and absorb every following pair that the merged
  // interval reaches.
  const double low = std::min(a, values[2 * i]);
  double high = std::max(b, values[2 * i + 1]);
  int32_t j = i + 1;
  while (j < pairs && values[2 * j] <= high) {
    high = std::max(high, values[2 * j + 1]);
    ++j;
  }
  values[2 * i] = low;
  values[2 * i + 1] = high;
  col.MoveRange(2 * j, n, 2 * i + 2);
  count = n - 2 * (j - i - 1);
  return true;
}

bool SubtractIntervalFromColumn(std::span<double> values, int32_t& count, double a, double b) {
  return Subtract<false, false>(ValueColumn{values, {}, {}}, count, a, b, {0, 0}, {0, 0}, nullptr);
}

bool SubtractIntervalKeepAttrs(std::span<double> values, std::span<uint8_t> flags,
                               std::span<int32_t> attributes, int32_t& count, double a, double b) {
  return Subtract<true, false>(CarriedColumn{values, flags, attributes}, count, a, b, {0, 0},
                               {0, 0}, nullptr);
}

bool CutColumnRecording(DexelColumnEdit& column, const RecordingCut& cut, double& volume,
                        std::span<double> pieces, int32_t& removedCount) {
  removedCount = 0;
  Recording rec{cut, true, volume, pieces.data(), pieces.size(), removedCount};
  const CarriedColumn col{column.Values, column.Flags, column.Attributes};
  return Subtract<true, true>(col, column.Count, cut.Interval[0], cut.Interval[1], cut.FaceFlags,
                              cut.FaceAttributes, &rec);
}

namespace {

bool CutWithTolerance(std::span<double> values, std::span<uint8_t> flags,
                      std::span<int32_t> attributes, int32_t& count, double pitch,
                      std::span<const double> gridLines, double weight, double& volume,
                      std::span<double> pieces, int32_t& removedCount,
                      const std::array<double, 2>& interval,
                      const std::array<uint8_t, 2>& faceFlags,
                      const std::array<int32_t, 2>& faceAttributes, double touching) {
  removedCount = 0;
  const RecordingCut cut{
      interval, faceFlags, faceAttributes, pitch, gridLines.empty() ? 0.0 : gridLines[0],
      weight,   touching};
  Recording rec{cut, !gridLines.empty(), volume, pieces.data(), pieces.size(), removedCount};
  return Subtract<true, true>(CarriedColumn{values, flags, attributes}, count, interval[0],
                              interval[1], faceFlags, faceAttributes, &rec);
}

}  // namespace

bool CutIntervalRecording(std::span<double> values, std::span<uint8_t> flags,
                          std::span<int32_t> attributes, int32_t& count, double pitch,
                          std::span<const double> gridLines, double weight, double& removedVolume,
                          std::span<double> removedPieces, int32_t& removedCount,
                          const std::array<double, 2>& cut, const std::array<uint8_t, 2>& cutFlags,
                          const std::array<int32_t, 2>& cutAttributes) {
  return CutWithTolerance(values, flags, attributes, count, pitch, gridLines, weight, removedVolume,
                          removedPieces, removedCount, cut, cutFlags, cutAttributes, 0.0);
}

bool SubtractIntervalFromDexel(std::span<double> values, std::span<uint8_t> flags,
                               std::span<int32_t> attributes, int32_t& count, double pitch,
                               std::span<const double> gridLines, double cellArea, double& volume,
                               std::span<double> removedPieces, int32_t& removedCount,
                               const std::array<double, 2>& interval,
                               const std::array<uint8_t, 2>& faceFlags,
                               const std::array<int32_t, 2>& faceAttributes) {
  return CutWithTolerance(values, flags, attributes, count, pitch, gridLines, cellArea, volume,
                          removedPieces, removedCount, interval, faceFlags, faceAttributes,
                          kTouchingTolerance);
}

}  // namespace vestan
