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
  const double low = a - cut.Touching, high = b + cut.Touching;
  double* values = column.Values.data();
  // First make sure that no pair goes or splits (a NaN end leaves it to the
  // subtraction too), then trim.
  for (int32_t r = 0; r < n; r += 2) {
    const double p = values[r], q = values[r + 1];
    if (p >= high || q <= low) continue;
    if (!((p < low && q <= high) || (p >= low && q > high))) return false;
  }
  int32_t removed = 0;
  for (int32_t r = 0; r < n; r += 2) {
    const double p = values[r], q = values[r + 1];
    if (p >= high || q <= low) continue;
    if (p < low) {  // loses its top to the cut's low end
      values[r + 1] = a;
      column.Flags[r + 1] = cut.FaceFlags[0];
      column.Attributes[r + 1] = cut.FaceAttributes[0];
      pieces[removed] = a;
      pieces[removed + 1] = q;
      cut.AddVolume(volume, (q - a) * cut.Weight);
    } else {  // loses its bottom to the cut's high end
      values[r] = b;
      column.Flags[r] = cut.FaceFlags[1];
      column.Attributes[r] = cut.FaceAttributes[1];
      pieces[removed] = p;
      pieces[removed + 1] = b;
      cut.AddVolume(volume, (b - p) * cut.Weight);
    }
    removed += 2;
  }
  removedCount = removed;
  return true;
}

}  // namespace vestan
