// Growing a dexel model outward by a distance (swept by a ball, stretched
// along Z, or swept by a horizontal disc) or shrinking it inward, column by
// column on the grid lines, and the pass that closes gaps the grid cannot
// hold.
//
// Sets are named by their direction (kDirectionZ, kDirectionX, kDirectionY),
// which is also the axis their values run along. A set's columns are
// addressed by an inner and an outer grid index: Z (ix, iy), X (iy, iz),
// Y (iz, ix). For a source set, its inner-axis set is the one whose lines run
// along the source's inner axis (Z: X, X: Y, Y: Z) and its outer-axis set the
// one along its outer axis (Z: Y, X: Z, Y: X).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/dexel_model.h"
#include "platform/progress.h"

namespace vestan {

// Shapes of growth; any kind other than kOffsetNormal and kOffsetZ grows as
// kOffsetHorizon. Shrinking always uses the ball.
inline constexpr int32_t kOffsetNormal = 1;   // ball: every surface moves out along its normal
inline constexpr int32_t kOffsetZ = 2;        // stretched up and down only
inline constexpr int32_t kOffsetHorizon = 3;  // horizontal disc: sideways only

// How the growth passes visit their work. kPlain follows each kernel's
// definition: for every source column and every contribution it reads the
// target column, unites one interval and writes it back (leaving out a
// write that would change nothing). kSwept gathers all
// contributions of a kernel to one target column, folding runs of neighbours
// whose intervals overlap, and writes the column once: the union of the same
// intervals, so the result is the same. Shrinking and the fill passes always
// run plain; a clamped kernel runs swept only while every value of the sets
// it reads and writes lies within its limits (clamping once after all unions
// then equals clamping after each).
enum class OffsetPasses { kPlain, kSwept };

// What one offset run carries from pass to pass: the column buffers, the
// progress and the count of interval operations done.
struct OffsetWork {
  explicit OffsetWork(ProgressState& progress, OffsetPasses passes = OffsetPasses::kSwept);

  ProgressState& Progress;
  OffsetPasses Passes;
  // Column buffers of kMaxColumnValues values, and as many zero flags and
  // attributes for the columns written.
  std::vector<double> Source;
  std::vector<double> Target;
  std::vector<uint8_t> ZeroFlags;
  std::vector<int32_t> ZeroAttributes;
  // Intervals united into or subtracted from columns, one per contribution.
  // The swept passes count one per centre where a column has several
  // segments in reach, and each neighbour a folded run stands for.
  int64_t Unions = 0;
};

// Copies every column (values, flags, attributes) of source into the same set
// of target at grid indexes moved by shift on both cross axes; columns of the
// target outside that area stay as they are. Returns false, copying nothing,
// when target is not allocated with at least source's counts + 2 * shift.
bool CopyModelIntoGrid(const DexelModel& source, int32_t shift, DexelModel& target);

// Runs the passes of kind on target, reading source (a different model).
// k = ceil(|d| / pitch). For d > 0 target's grid is source's enlarged by k
// cells on every side, else the same; it starts as source's copy
// (CopyModelIntoGrid with shift k or 0). Every column a pass writes carries
// flag 0 and attribute 0. Each kernel advances the progress per source row;
// the caller opens and closes the progress run. A column that would grow past
// kMaxColumnValues is left as it was and counted in its set's RefusedWrites
// (the swept passes refuse a column's gathered union whole, the plain ones
// the one interval that would not fit).
void OffsetWorkModel(const DexelModel& source, int32_t k, int32_t kind, double d,
                     DexelModel& target, OffsetWork& work);

// Lays out target for an offset of source by d (one history slot, source's
// placement and pitch; the grid enlarged by k = ceil(|d| / pitch) cells on
// every side for d > 0, else the same) and copies source into it. Returns
// kModelOk with k set, kModelBadGrid for an absent source or a d that is 0 or
// not finite, or the code of the failed allocation; then target is absent.
int PrepareOffsetTarget(const DexelModel& source, double d, DexelModel& target, int32_t& k);

// The offset as a whole: lays out target (one history slot, source's
// placement), copies source into it, runs OffsetWorkModel under a progress run
// ("Offset") and gives target its bounds: its first and last grid points, the
// full ranges and no open sides. Returns kModelOk, 0 for d = 0 (nothing
// done), kModelBadGrid for an absent source or a d that is not finite, or the
// code of the failed allocation; then target is absent (CountX 0).
int MakeOffsetModel(const DexelModel& source, int32_t kind, double d, DexelModel& target,
                    ProgressState& progress, OffsetPasses passes = OffsetPasses::kSwept);

// --- Kernels ---------------------------------------------------------------
// Each reads the source set of direction (where it takes one) and writes the
// target set named. Growth kernels place source column (i, j) at target
// (i + k, j + k); shrink kernels work on one grid.

// Shrink (d < 0, r = |d|): every value removes the ball of radius r about it.
void OffsetDexelsBySphere(const DexelModel& source, int direction, int32_t k, double d,
                          DexelModel& target, OffsetWork& work);
void ErodeInnerAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                               DexelModel& target, OffsetWork& work);
void ErodeOuterAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                               DexelModel& target, OffsetWork& work);

// Normal: each segment sweeps a ball of radius d.
void DilateSameSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                           DexelModel& target, OffsetWork& work);
void DilateInnerAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                                DexelModel& target, OffsetWork& work);
void DilateOuterAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                                DexelModel& target, OffsetWork& work);

// The Normal kernels on one grid (source column (i, j) is target (i, j);
// neighbours and levels kept on the grid), each column's first value raised
// to at least low and its last lowered to at most high after every union.
void DilateSameSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                  double low, double high, DexelModel& target, OffsetWork& work);
void DilateInnerAxisSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                       double low, double high, DexelModel& target,
                                       OffsetWork& work);
void DilateOuterAxisSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                       double low, double high, DexelModel& target,
                                       OffsetWork& work);

// Horizon: a horizontal disc of radius d.
void DilateZSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateZToXByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateZToYByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateXSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateYSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateXToYByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);
void DilateYToXByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work);

// Z: the Z segments lengthen by d at both ends; the X and Y lines are copied
// m = trunc(d / pitch) levels up and down.
void StretchZSet(const DexelModel& source, int32_t k, double d, DexelModel& target,
                 OffsetWork& work);
void CopyYColumnsVertically(const DexelModel& source, int32_t k, int32_t m, DexelModel& target,
                            OffsetWork& work);
void CopyXColumnsVertically(const DexelModel& source, int32_t k, int32_t m, DexelModel& target,
                            OffsetWork& work);

// Fill passes on the target alone: the Z lines between two levels whose X (or
// Y) lines are both inside material there; the X and Y lines between two Z
// columns both inside material at a level.
void FillZSetFromSideSets(DexelModel& target, OffsetWork& work);
void FillSideSetsFromZSet(DexelModel& target, OffsetWork& work);

// --- Gap removal -------------------------------------------------------------

// Closes, in every column, gaps that hold no grid line strictly inside them
// (but keeps a kept pair that ends exactly where the next one starts on a
// grid line apart). Columns it changes are written with flag 0 and attribute
// 0.
void MergeNarrowGaps(DexelModel& model);

// The two steps on one column's values, with g0 the first grid line of the
// column's axis and pitch its spacing; each writes to out (room for count
// values) and returns the new count. 2 values are copied, 1 or 3 give none.
int32_t CloseOneCellGaps(std::span<const double> values, double g0, double pitch,
                         std::span<double> out);
int32_t MergeGapsWithinCell(std::span<const double> values, double g0, double pitch,
                            std::span<double> out);

}  // namespace vestan
