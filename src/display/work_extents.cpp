#include "display/work_extents.h"

#include <algorithm>
#include <cmath>

#include "display/dexel_columns.h"
#include "display/view_mapping.h"
#include "foundation/number_text.h"

namespace vestan {

namespace {

void Widen(const DexelModel& model, const WorkOffsetFrame& frame, const Vec3& local, Vec3& min,
           Vec3& max) {
  const Vec3 work = ModelToWorkCoordinates(frame, TransformPointAffine(model.Placement, local));
  for (size_t k = 0; k < 3; ++k) {
    min[k] = std::min(min[k], work[k]);
    max[k] = std::max(max[k], work[k]);
  }
}

// value as printf's "%<width>.<decimals>f" of the C locale.
std::string Fixed(double value, size_t width, int decimals) {
  std::string number;
  AppendFixed(number, value, decimals);
  if (number.size() < width) number.insert(0, width - number.size(), ' ');
  return number;
}

}  // namespace

void ComputeWorkExtents(const DexelModel& model, const WorkOffsetFrame& frame, Vec3& min,
                        Vec3& max) {
  min = {1e12, 1e12, 1e12};
  max = {-1e12, -1e12, -1e12};
  if (!model.Allocated()) return;
  ForEachDexelColumn(model, [&](const DexelColumnView& column) {
    Widen(model, frame, column.PointAt(column.Values.front()), min, max);
    Widen(model, frame, column.PointAt(column.Values.back()), min, max);
    return true;
  });
}

std::string FormatUnitNumber(int32_t unitScale, double value, bool locked) {
  std::string text = locked ? "*\t\t" : "\t\t";
  if (unitScale == 1000) return text + Fixed(value, 9, 3);
  if (unitScale == 100) return text + Fixed(value, 8, 2);
  return text + Fixed(value, 10, 4);
}

std::string FormatCylinderNumber(int32_t unitScale, double value) {
  if (unitScale == 100) return "\t\t" + Fixed(value, 9, 2);
  return FormatUnitNumber(unitScale, value);
}

std::string FormatPlaneRadius(int32_t unitScale, double radius) {
  if (!(std::abs(radius) < kRadiusShownLimit)) return "\t*PLANE*";
  return FormatUnitNumber(unitScale, radius);
}

std::string FormatSpaceRadius(int32_t unitScale, double radius) {
  if (!(std::abs(radius) < kRadiusShownLimit)) return "\t*LINE*";
  if (radius == 0.0) return "\t-";
  return FormatUnitNumber(unitScale, radius);
}

}  // namespace vestan
