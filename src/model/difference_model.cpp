#include "model/difference_model.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/dexel_axes.h"

namespace vestan {

namespace {

// Ends of a column along axis are held within 0.1 of the grid's box.
constexpr double kClampMargin = 0.1;

}  // namespace

int UpdateDifferenceModel(const DexelModel& work, const DexelModel& reference,
                          DexelModel& difference, DifferenceSettings& settings,
                          ProgressState& progress) {
  if (DifferenceModelBuilt(difference)) {
    if (settings.Area == settings.BuiltArea && settings.Margin == settings.BuiltMargin)
      return kModelOk;
    FreeDexelModel(difference);
    difference.CountX = 0;
  }
  const auto unbuilt = [&difference](int code) {
    FreeDexelModel(difference);
    difference.CountX = 0;
    return code;
  };
  if (!reference.Allocated() || !work.Allocated()) return unbuilt(kModelBadGrid);
  difference = DexelModel{};
  difference.SlotCount = 1;
  difference.Pitch = work.Pitch;
  difference.CountX = reference.CountX;
  difference.CountY = reference.CountY;
  difference.CountZ = reference.CountZ;
  if (const int code = InitDexelGrids(difference); code != kModelOk) return unbuilt(code);
  difference.Placement = work.Placement;
  difference.OriginX = reference.OriginX;
  difference.OriginY = reference.OriginY;
  difference.OriginZ = reference.OriginZ;
  if (const int code = AllocDexelModel(difference); code != kModelOk) return unbuilt(code);

  CopyModelIntoGrid(reference, 0, difference);
  if (settings.Margin != 0) {
    const uint64_t total = 3 * (static_cast<uint64_t>(reference.ColumnsZ) + reference.ColumnsX +
                                static_cast<uint64_t>(reference.ColumnsY));
    BeginProgress(progress, kProgressGivenTotal, total, "", 0, "差分データ作成中",
                  "Creating Difference");
    OffsetWork offset(progress);
    // Neighbours further than the grid is long never land on it.
    const double cells = std::ceil(std::fabs(settings.Margin) / reference.Pitch);
    const int32_t reach = std::max({reference.CountX, reference.CountY, reference.CountZ});
    const int32_t k = cells < reach ? static_cast<int32_t>(cells) : reach;
    BuildOffsetDifferenceModel(reference, k, settings.Area * settings.Margin, difference, offset);
    EndProgress(progress);
  }
  ClearModelFlags(difference);
  settings.BuiltMargin = settings.Margin;
  settings.BuiltArea = settings.Area;
  return kModelOk;
}

void BuildOffsetDifferenceModel(const DexelModel& source, int32_t k, double d, DexelModel& target,
                                OffsetWork& work) {
  if (!source.Allocated() || !target.Allocated()) return;
  if (d > 0) {
    // The clamp limits of a pass are those of its target set's axis.
    const auto low = [&target](int axis) {
      return GridLinesOf(target, axis).front() - kClampMargin;
    };
    const auto high = [&target](int axis) {
      return GridLinesOf(target, axis).back() + kClampMargin;
    };
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      const int inner = InnerAxis(dir), outer = OuterAxis(dir);
      DilateSameSetBySphereClamped(source, dir, k, d, low(dir), high(dir), target, work);
      DilateInnerAxisSetBySphereClamped(source, dir, k, d, low(inner), high(inner), target, work);
      DilateOuterAxisSetBySphereClamped(source, dir, k, d, low(outer), high(outer), target, work);
    }
  } else {
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      OffsetDexelsBySphere(source, dir, k, d, target, work);
      ErodeInnerAxisSetBySphere(source, dir, k, d, target, work);
      ErodeOuterAxisSetBySphere(source, dir, k, d, target, work);
    }
  }
  MergeNarrowGaps(target);
}

void ClearModelFlags(DexelModel& model) {
  if (!model.Allocated()) return;
  const std::vector<uint8_t> zero(kMaxColumnValues, 0);
  for (DexelSet* set : {&model.ZSet(), &model.XSet(), &model.YSet()})
    for (int32_t c = 0; c < set->Columns; ++c)
      if (set->Counts[c] > 0) PutDexelColumnFlags(*set, c, zero);
}

}  // namespace vestan
