// The reference kernel (see reference_kernel.h): unchanged but for its namespace.
#include "model/reference_kernel/reference_kernel.h"
#include <cmath>

#include "model/cut_face_flags.h"
#include "model/dexel_intersections.h"

namespace vestan::reference {

namespace {

// A cone of start radius r0 and slope k over length; the widening routine
// takes a rising or level slope, the narrowing one a falling slope (the
// widening one would mistake the inside of a narrowing cone seen along its
// axis for the outside).
DexelCrossings Cone(const Vec3& base, const Vec3& axis, double r0, double k, double length,
                    double u, double v) {
  return k < 0 ? IntersectDexelWithNarrowingCone(base, axis, r0, k, length, u, v)
               : IntersectDexelWithCone(base, axis, r0, k, length, u, v);
}

// The solid of the tool-body segment the context cuts.
DexelCrossings BodySegment(const CutContext& cut, const CutGridContext& grid, double u, double v) {
  const CurrentTool& tool = cut.Records.Tool;
  const ToolPose& pose = cut.Pose;
  const Vec3& base = grid.PosePoints[0];
  const Vec3& axis = grid.PoseAxis;
  const double length = pose.SegmentLength;
  switch (grid.Segment) {
    case 0: {
      const double r0 = tool.CuttingRadius, r1 = pose.SegmentEndRadius;
      if (r1 > r0) return IntersectDexelWithCone(base, axis, r0, (r1 - r0) / length, length, u, v);
      if (r0 > r1)
        return IntersectDexelWithNarrowingCone(base, axis, r0, (r1 - r0) / length, length, u, v);
      return IntersectDexelWithEndlessCylinder(base, axis, r0, u, v);
    }
    case 1:
      return IntersectDexelWithCone(base, axis, pose.SegmentStartRadius,
                                    (pose.SegmentEndRadius - pose.SegmentStartRadius) / length,
                                    length, u, v);
    case 2:
      return IntersectDexelWithCylinder(base, axis, tool.ShankRadius, length, u, v);
    default:
      return {};
  }
}

// The solid of the arbor step the context cuts. Diameters and lengths are
// the table's single-precision values, halved in single precision.
DexelCrossings ArborStep(const CutContext& cut, const CutGridContext& grid, double u, double v) {
  const CurrentTool& tool = cut.Records.Tool;
  const ArborRecord& arbor = tool.Arbor;
  const int32_t i = grid.Segment;
  if (i < 0 || i >= kMaxArborSteps) return {};
  const Vec3& base = grid.PosePoints[0];
  const Vec3& axis = grid.PoseAxis;
  const double radius = arbor.StepDiameter[i] / 2.0f;
  const double length = arbor.StepLength[i];
  if (arbor.Form == kArborPairs)
    return IntersectDexelWithCylinder(base, axis, radius, length, u, v);
  if (arbor.Form == kArborPairs2) {
    const double r0 = i == 0 ? tool.ShankRadius : arbor.StepDiameter[i - 1] / 2.0f;
    return Cone(base, axis, r0, (radius - r0) / length, length, u, v);
  }
  if (arbor.StepFlag[i] == 0) return IntersectDexelWithCylinder(base, axis, radius, length, u, v);
  const double next = arbor.StepDiameter[i + 1] / 2.0f;
  return Cone(base, axis, radius, (next - radius) / length, length, u, v);
}

// Clearance search: ARBOR CHECK OUTPUT probes instead of cutting.
constexpr int32_t kArborCheckOutput = 1;

}  // namespace

int32_t CutDexelGrid2(CutContext& cut, CutGridContext& grid) {
  RefreshCutGrid(grid);
  const CurrentTool& tool = cut.Records.Tool;
  RunState& run = cut.Records.Run;
  const int32_t shank = tool.Shank.Kind;
  const bool probe = cut.Records.Checks.ArborCheck == kArborCheckOutput && shank < 10;
  const bool heightCheck = cut.Records.Checks.HeightCheck > 0 && shank > 10;
  const bool touched = VisitRangeColumns(grid, cut.Reach, [&](int32_t i, int32_t j) {
    const double lineHeight = LineHeightOf(cut.Pose, grid, i, j);
    const DexelCrossings solid = BodySegment(cut, grid, grid.CoordU[i], grid.CoordV[j]);
    if (solid.Count != 2) return false;
    const std::array<double, 2> interval{solid.W[0], solid.W[1]};
    // A shank that cuts marks its faces like the cutting part does.
    if (shank > 10 && run.MotionMode > kMotionRapid)
      run.CutFaceFlags = TestPointOutsideToolBand(cut, grid.AxisW, lineHeight, interval);
    const ColumnCut c =
        MakeColumnCut(grid, i, j, interval, shank > 10 ? run.CutFaceFlags : cut.Pose.BodyFaceFlags,
                      run.CutFaceAttributes, CutRule::kTouching);
    if (probe) {
      const std::span<const double> pieces = ProbeColumnInterval(cut, grid, c, grid.RemovedVolume);
      grid.RemovedCount += static_cast<int32_t>(pieces.size());
      return !pieces.empty();
    }
    const std::span<const double> pieces = CutColumnInterval(cut, grid, c);
    if (!pieces.empty() && heightCheck) RecordCutHeight(cut, grid.AxisW, lineHeight, pieces);
    return false;
  });
  return touched ? 1 : 0;
}

int32_t CutDexelGrid(CutContext& cut, CutGridContext& grid) {
  RefreshCutGrid(grid);
  const bool probe = cut.Records.Checks.ArborCheck == kArborCheckOutput;
  const bool touched = VisitRangeColumns(grid, cut.Reach, [&](int32_t i, int32_t j) {
    const DexelCrossings solid = ArborStep(cut, grid, grid.CoordU[i], grid.CoordV[j]);
    if (solid.Count != 2) return false;
    // The arbor's faces carry the body flags; the move's face flags are the
    // cutting edge's and stay as the cutting part left them.
    const ColumnCut c = MakeColumnCut(grid, i, j, {solid.W[0], solid.W[1]}, cut.Pose.BodyFaceFlags,
                                      cut.Records.Run.CutFaceAttributes, CutRule::kTouching);
    if (probe) {
      const std::span<const double> pieces = ProbeColumnInterval(cut, grid, c, grid.RemovedVolume);
      grid.RemovedCount += static_cast<int32_t>(pieces.size());
      return !pieces.empty();
    }
    CutColumnInterval(cut, grid, c);
    return false;
  });
  return touched ? 1 : 0;
}

double CombineRemovedVolumes(double volumeX, int32_t countX, double volumeY, int32_t countY,
                             double volumeZ, int32_t countZ) {
  // The leader, then the other two in their X, Y, Z order.
  double lead, first, second;
  if (countZ >= countX && countZ >= countY) {
    lead = volumeZ, first = volumeX, second = volumeY;
  } else if (countX < countY || countX < countZ) {
    lead = volumeY, first = volumeX, second = volumeZ;
  } else {
    lead = volumeX, first = volumeY, second = volumeZ;
  }
  const bool aboveFirst = lead > first, aboveSecond = lead > second;
  if (aboveFirst && aboveSecond) return (volumeX + volumeY + volumeZ) / 3;
  if (aboveFirst) return (first + lead) / 2;
  if (aboveSecond) return (second + lead) / 2;
  return lead;
}

bool CleanUnitVector(Vec3& vector) {
  double& x = vector[0];
  double& y = vector[1];
  double& z = vector[2];
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
  if (x == 0.0 && y == 0.0 && z == 0.0) return false;
  bool snapped = false;
  for (double& c : vector) {
    if (c != 0.0 && std::fabs(c) < 0.00025) {
      c = 0.0;
      snapped = true;
    }
  }
  if (!snapped) return true;
  const auto unit = [](double c) { return c > 0 ? 1.0 : -1.0; };
  if (x == 0.0 && y == 0.0) {
    z = unit(z);
  } else if (x == 0.0 && z == 0.0) {
    y = unit(y);
  } else if (x == 0.0) {
    const double length = std::sqrt(y * y + z * z);
    y /= length;
    z /= length;
  } else if (y == 0.0 && z == 0.0) {
    x = unit(x);
  } else if (y == 0.0) {
    const double length = std::sqrt(x * x + z * z);
    x /= length;
    z /= length;
  } else {
    const double length = std::sqrt(x * x + y * y);
    x /= length;
    y /= length;
  }
  return true;
}

}  // namespace vestan::reference
