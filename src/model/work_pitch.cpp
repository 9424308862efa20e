#include "model/work_pitch.h"

#include <cmath>
#include <limits>

namespace vestan {

namespace {

constexpr uint64_t kTooMany = std::numeric_limits<uint64_t>::max();

// Grid points along one axis: trunc(extent / p + 1.5), at least 2.
uint64_t PointsAlong(double extent, double p) {
  const double points = std::trunc(extent / p + 1.5);
  if (!(points >= 0) || points >= 0x1p63) return kTooMany;  // negative, NaN or huge
  return points < 2 ? 2 : static_cast<uint64_t>(points);
}

uint64_t SaturatingMul(uint64_t a, uint64_t b) {
  uint64_t out;
  return __builtin_mul_overflow(a, b, &out) ? kTooMany : out;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  uint64_t out;
  return __builtin_add_overflow(a, b, &out) ? kTooMany : out;
}

// Column values a model of the extent at pitch p needs: one pair per column of
// the three sets, counted in 64 bits and saturating. A negative or non-finite
// grid count counts as too large.
uint64_t PitchValueCount(const WorkExtent& extent, double p) {
  const uint64_t nx = PointsAlong(extent.Max[0] - extent.Min[0], p);
  const uint64_t ny = PointsAlong(extent.Max[1] - extent.Min[1], p);
  const uint64_t nz = PointsAlong(extent.Max[2] - extent.Min[2], p);
  const uint64_t columns = SaturatingAdd(
      SaturatingAdd(SaturatingMul(nx, ny), SaturatingMul(ny, nz)), SaturatingMul(nx, nz));
  return SaturatingMul(2, columns);
}

}  // namespace

void ChooseWorkPitch(PitchSettings& pitch, const WorkExtent& extent) {
  if (pitch.AutoPitch != 1) {
    pitch.WorkPitch = pitch.WorkPitchSetting;  // no minimum applies to a given pitch
  } else {
    for (double p : kPitchCandidates) {
      if (PitchValueCount(extent, p) <= pitch.ValueBudget) {
        pitch.WorkPitchSetting = p;
        break;
      }
    }
    if (pitch.MinimumPitch > 0 && pitch.WorkPitchSetting <= pitch.MinimumPitch)
      pitch.WorkPitchSetting = pitch.MinimumPitch;
    pitch.WorkPitch = pitch.WorkPitchSetting;
  }
  if (pitch.MovePitchLinked == 1) pitch.MovePitch = pitch.MovePitchFactor * pitch.WorkPitch;
}

}  // namespace vestan
