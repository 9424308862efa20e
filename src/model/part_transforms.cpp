#include "model/part_transforms.h"

namespace vestan {

namespace {

constexpr Placement kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

}  // namespace

Vec3 TransformInterferencePart(const AxisPosition& position, const Vec3& point) {
  return {point[0] + position[0], point[1] + position[1], point[2] + position[2]};
}

void TransformPointToModel(const DexelModel& model, Vec3& point) {
  if (model.Placement == kIdentity) return;
  point = MultiplyMatrixVector(model.InverseMatrix, VectorAdd(point, model.NegTranslation));
}

}  // namespace vestan
