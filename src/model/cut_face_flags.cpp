#include "model/cut_face_flags.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

// Squared distance of the model point (u, v, value) from the tool axis.
double AxisDistanceSquared(const ToolPose& pose, int32_t axisU, int32_t axisV, int32_t axisW,
                           double u, double v, double value) {
  Vec3 x{};
  x[axisU] = u;
  x[axisV] = v;
  x[axisW] = value;
  const Vec3 d = VectorSub(pose.Point1, x);
  const double along = VectorDot(d, pose.Axis);
  return VectorDot(d, d) - along * along / pose.AxisLengthSquared;
}

}  // namespace

void FlagCentreZoneFaces(const CutContext& cut, int32_t axisU, int32_t axisV, int32_t axisW,
                         double u, double v, const std::array<double, 2>& faces,
                         std::array<uint8_t, 2>& flags) {
  const double zone = cut.Records.Tool.CentreZoneRadiusSquared;
  for (int k = 0; k < 2; ++k) {
    if (zone > AxisDistanceSquared(cut.Pose, axisU, axisV, axisW, u, v, faces[k]))
      flags[k] |= kFlagMark;
  }
}

void RecordCutHeight(CutContext& cut, int32_t axisW, double lineHeight,
                     std::span<const double> removed) {
  const int32_t check = cut.Records.Checks.HeightCheck;
  if (check == 1) {
    double& highest = cut.Records.Lengths.MaxCutHeight;
    for (double z : removed) {
      const double h =
          std::fabs(HeightAboveTip(cut.Pose, axisW, lineHeight, z)) / cut.Pose.AxisLength;
      highest = std::max(highest, h);
    }
  } else if (check >= 2) {
    for (double z : removed) {
      if (std::fabs(HeightAboveTip(cut.Pose, axisW, lineHeight, z)) > cut.Pose.CutLimit) {
        cut.Records.Run.Hits.HeightHitFlag = 1;
        return;
      }
    }
  }
}

void RecordChipWidth(CutContext& cut, int32_t axisU, int32_t axisV, int32_t axisW, double u,
                     double v, std::span<const double> removed) {
  const int32_t check = cut.Records.Checks.ChipWidthCheck;
  if (check == 1) {
    double& widest = cut.Records.Lengths.TipWidth;
    for (double z : removed) {
      const double d2 = AxisDistanceSquared(cut.Pose, axisU, axisV, axisW, u, v, z);
      widest = std::max(widest, cut.Records.Tool.EnvelopeRadius - std::sqrt(d2));
    }
  } else if (check >= 2) {
    for (double z : removed) {
      if (cut.Records.Tool.CentreZoneRadiusSquared >
          AxisDistanceSquared(cut.Pose, axisU, axisV, axisW, u, v, z)) {
        cut.Records.Run.Hits.ChipWidthHitFlag = 1;
        return;
      }
    }
  }
}

}  // namespace vestan
