#include "model/part_transforms.h"

namespace vestan {

namespace {

constexpr Placement kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

}  // namespace

void TransformPointToModel(const DexelModel& model, Vec3& point) {
  if (model.Placement == kIdentity) return;
  point = MultiplyMatrixVector(model.InverseMatrix, VectorAdd(point, model.NegTranslation));
}

}  // namespace vestan
