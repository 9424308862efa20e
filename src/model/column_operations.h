// Interval arithmetic on one dexel column that the caller has copied out of
// its set: union, subtraction with or without flags and attributes, and the
// recording cut of the cutters.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/dexel_model.h"

namespace vestan {

// Interval ends within this distance count as touching in material removal.
inline constexpr double kTouchingTolerance = 1e-9;

// Every operation works in place on values[0, count): ascending pairs, value
// 2m entering material and 2m + 1 leaving it. The spans are the caller's
// buffers; their sizes are the room the column may grow into (a split or an
// insertion needs two values more than count). Flags and attributes, where
// taken, run beside the values and must offer the same room.
//
// Each returns true when it did its work (which may be to change nothing) and
// false, leaving every buffer and count untouched, when the input cannot be
// used (count outside 0..room, a NaN or reversed interval) or when the result
// would not fit: more values than the buffers hold or than a column may hold
// (kMaxColumnValues). The caller counts a refused column (DexelSet's
// RefusedWrites) like a refused write.

// Union of [a, b] into the column. Nothing changes when a >= b. Touching
// intervals merge.
bool AddIntervalToColumn(std::span<double> values, int32_t& count, double a, double b);

// Removes [a, b]; values only.
bool SubtractIntervalFromColumn(std::span<double> values, int32_t& count, double a, double b);

// Removes [a, b]; surviving boundaries keep their flag and attribute, every
// new boundary gets flag 0 and attribute 0.
bool SubtractIntervalKeepAttrs(std::span<double> values, std::span<uint8_t> flags,
                               std::span<int32_t> attributes, int32_t& count, double a, double b);

// Removes the tool interval cut = [a, b] and records what went.
//  pitch, gridLines  the model's pitch and its grid lines along the column's
//                    axis (only entry 0 is read); they place the thin-cut rule:
//                    a cut inside one grid cell also takes the remnant of the
//                    pair above or below it in that cell.
//  weight            cross-section area of the column; removedVolume grows by
//                    each removed length times weight.
//  removedPieces     receives the removed pieces as value pairs from index 0,
//                    removedCount their value count (0 after a refused cut);
//                    it must hold count values.
//  cutFlags, cutAttributes  what a new boundary carries: index 0 for one made
//                    at a, index 1 for one made at b.
bool CutIntervalRecording(std::span<double> values, std::span<uint8_t> flags,
                          std::span<int32_t> attributes, int32_t& count, double pitch,
                          std::span<const double> gridLines, double weight, double& removedVolume,
                          std::span<double> removedPieces, int32_t& removedCount,
                          const std::array<double, 2>& cut, const std::array<uint8_t, 2>& cutFlags,
                          const std::array<int32_t, 2>& cutAttributes);

// The recording cut of the tool body and arbor cutters: as
// CutIntervalRecording, except that a pair end within kTouchingTolerance of
// the interval counts as reached by it (a pair ending just below the interval
// is shortened to the interval's low end, one starting just above it to the
// high end).
bool SubtractIntervalFromDexel(std::span<double> values, std::span<uint8_t> flags,
                               std::span<int32_t> attributes, int32_t& count, double pitch,
                               std::span<const double> gridLines, double cellArea, double& volume,
                               std::span<double> removedPieces, int32_t& removedCount,
                               const std::array<double, 2>& interval,
                               const std::array<uint8_t, 2>& faceFlags,
                               const std::array<int32_t, 2>& faceAttributes);

// A tool interval for the recording cut of a column opened for an edit, and
// what the new faces carry.
struct RecordingCut {
  std::array<double, 2> Interval{};    // a, b
  std::array<uint8_t, 2> FaceFlags{};  // for a boundary made at a, at b
  std::array<int32_t, 2> FaceAttributes{};
  double Pitch = 0.0;
  double GridOrigin = 0.0;  // the column's first grid line: places the thin-cut rule
  double Weight = 0.0;      // cross-section area of the column
  // Pair ends within this distance of the interval count as reached by it:
  // 0 for CutIntervalRecording, kTouchingTolerance for
  // SubtractIntervalFromDexel.
  double Touching = 0.0;
  // When set, each removed piece's volume term (its length times Weight) is
  // appended here instead of being added to the volume: a pass whose rows
  // run on several threads adds them up later in the one-thread order.
  std::vector<double>* VolumeTerms = nullptr;

  void AddVolume(double& volume, double term) const {
    if (VolumeTerms != nullptr)
      VolumeTerms->push_back(term);
    else
      volume += term;
  }
};

// The recording cut on a column opened for an edit (its Values.size() the
// room); pieces must hold the column's count.
bool CutColumnRecording(DexelColumnEdit& column, const RecordingCut& cut, double& volume,
                        std::span<double> pieces, int32_t& removedCount);

namespace detail {

// The trim of TrimColumnPairs on a column's own arrays, n values (even, at
// least 2, within their room); a and b an interval with a <= b, low and high
// the interval widened by the touching distance; each piece's volume term is
// (removed length) * weight, logged in terms when given, else added to
// volume.
struct PairTrim {
  double a, b, low, high;
  std::array<uint8_t, 2> faceFlags;
  std::array<int32_t, 2> faceAttributes;
  double weight;
  std::vector<double>* terms;

  [[gnu::always_inline]] void Add(double& volume, double term) const {
    if (terms != nullptr)
      terms->push_back(term);
    else
      volume += term;
  }
  // Pair r loses its top to a, or its bottom to b; the piece goes to pieces.
  [[gnu::always_inline]] void Top(double* values, uint8_t* flags, int32_t* attributes, int32_t r,
                                  double* pieces, double& volume) const {
    const double q = values[r + 1];
    values[r + 1] = a;
    flags[r + 1] = faceFlags[0];
    attributes[r + 1] = faceAttributes[0];
    pieces[0] = a;
    pieces[1] = q;
    Add(volume, (q - a) * weight);
  }
  [[gnu::always_inline]] void Bottom(double* values, uint8_t* flags, int32_t* attributes, int32_t r,
                                     double* pieces, double& volume) const {
    const double p = values[r];
    values[r] = b;
    flags[r] = faceFlags[1];
    attributes[r] = faceAttributes[1];
    pieces[0] = p;
    pieces[1] = b;
    Add(volume, (b - p) * weight);
  }
  // Whether the cut takes only an end part of pair (p, q) (a NaN end: no).
  bool TakesTop(double p, double q) const { return p < low && q <= high; }
  bool TakesBottom(double p, double q) const { return p >= low && q > high; }
  bool Apart(double p, double q) const { return p >= high || q <= low; }
};

// Trims pair r: its top to a when it starts below low, else its bottom to b.
[[gnu::always_inline]] inline void TrimPair(double* values, uint8_t* flags, int32_t* attributes,
                                            int32_t r, const PairTrim& t, double& volume,
                                            double* pieces) {
  if (values[r] < t.low)
    t.Top(values, flags, attributes, r, pieces, volume);
  else
    t.Bottom(values, flags, attributes, r, pieces, volume);
}

[[gnu::always_inline]] inline bool TrimPairs(double* values, uint8_t* flags, int32_t* attributes,
                                             int32_t n, const PairTrim& t, double& volume,
                                             double* pieces, int32_t& removedCount) {
  if (n == 2) {
    // One pair, the commonest column.
    const double p = values[0], q = values[1];
    if (t.Apart(p, q)) {
      removedCount = 0;
      return true;
    }
    if (t.TakesTop(p, q))
      t.Top(values, flags, attributes, 0, pieces, volume);
    else if (t.TakesBottom(p, q))
      t.Bottom(values, flags, attributes, 0, pieces, volume);
    else
      return false;
    removedCount = 2;
    return true;
  }
  // At most the pair a falls in loses its top and the pair b falls in its
  // bottom: found in one pass, then trimmed (a column out of order may have
  // more, which the full loop takes).
  int32_t first = -1, second = -1;
  bool more = false;
  for (int32_t r = 0; r < n; r += 2) {
    const double p = values[r], q = values[r + 1];
    if (t.Apart(p, q)) continue;
    if (!t.TakesTop(p, q) && !t.TakesBottom(p, q)) return false;
    if (first < 0)
      first = r;
    else if (second < 0)
      second = r;
    else
      more = true;
  }
  int32_t removed = 0;
  if (!more) {
    if (first >= 0) {
      TrimPair(values, flags, attributes, first, t, volume, pieces);
      removed = 2;
    }
    if (second >= 0) {
      TrimPair(values, flags, attributes, second, t, volume, pieces + removed);
      removed += 2;
    }
  } else {
    for (int32_t r = 0; r < n; r += 2) {
      if (t.Apart(values[r], values[r + 1])) continue;
      TrimPair(values, flags, attributes, r, t, volume, pieces + removed);
      removed += 2;
    }
  }
  removedCount = removed;
  return true;
}

}  // namespace detail

// The recording cut in its commonest form, done in place: every pair the cut
// reaches loses only an end part (none goes and none splits), so nothing
// moves and the count stays. Then it writes exactly what CutColumnRecording
// would and returns true; otherwise it changes nothing and returns false.
inline bool TrimColumnPairs(DexelColumnEdit& column, const RecordingCut& cut, double& volume,
                            std::span<double> pieces, int32_t& removedCount) {
  const int32_t n = column.Count;
  const size_t size = static_cast<size_t>(n);
  // What the subtraction would refuse, drop (a dangling odd value) or empty
  // is left to it.
  if (n < 2 || n % 2 != 0 || n > kMaxColumnValues || size > pieces.size() ||
      size > column.Values.size() || size > column.Flags.size() || size > column.Attributes.size())
    return false;
  const double a = cut.Interval[0], b = cut.Interval[1];
  if (!(a <= b)) return false;
  const detail::PairTrim trim{a,
                              b,
                              a - cut.Touching,
                              b + cut.Touching,
                              cut.FaceFlags,
                              cut.FaceAttributes,
                              cut.Weight,
                              cut.VolumeTerms};
  return detail::TrimPairs(column.Values.data(), column.Flags.data(), column.Attributes.data(), n,
                           trim, volume, pieces.data(), removedCount);
}

}  // namespace vestan
