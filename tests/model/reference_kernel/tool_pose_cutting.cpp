// The reference kernel (see reference_kernel.h): unchanged but for its namespace.
#include "model/reference_kernel/reference_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/mesh_tool_cutting.h"

namespace vestan::reference {

namespace {

// Reach of the main pass's index box along the axis beyond the tool.
constexpr double kMainExtension = 10000.0;
// The clearance searches: step, and where they give up.
constexpr double kSearchStep = 0.1;
constexpr double kClearLimit = 499.0;
constexpr double kNeckClearLimit = 199.0;
constexpr double kSearchShankLength = 500.0;
constexpr int32_t kArborCheckOutput = 1;
constexpr int32_t kArborCheckCut = 2;
constexpr int32_t kArborCheckYes = 3;

Vec3 AlongAxis(const ToolPose& pose, double s) {
  return {pose.Tip[0] + pose.Axis[0] * s, pose.Tip[1] + pose.Axis[1] * s,
          pose.Tip[2] + pose.Axis[2] * s};
}

bool Finite(const Vec3& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// One pose's work on the model.
class PoseCutter {
 public:
  PoseCutter(CutContext& cut, DexelModel& model)
      : cut_(cut),
        model_(model),
        pose_(cut.Pose),
        tool_(cut.Records.Tool),
        run_(cut.Records.Run),
        lengths_(cut.Records.Lengths),
        arborCheck_(cut.Records.Checks.ArborCheck) {}

  void Cut(Vec3 tip, Vec3 axis) {
    if (model_.Placed != 0) {
      tip = MultiplyMatrixVector(model_.InverseMatrix, VectorAdd(tip, model_.NegTranslation));
      axis = MultiplyMatrixVector(model_.InverseMatrix, axis);
    }
    if (!Finite(tip) || !CleanUnitVector(axis)) return;
    BindCutGrids(cut_.Grids, model_);
    run_.PoseRemovedVolume = 0.0;
    SetPose(tip, axis);
    MainPass();
    const int32_t shank = tool_.Shank.Kind;
    if ((arborCheck_ > 0 && shank > 1) || shank > 10) {
      if (arborCheck_ == kArborCheckOutput && shank >= 2 && shank <= 9)
        SearchBodyClearance();
      else
        CutBody();
    }
    if (arborCheck_ >= kArborCheckOutput && tool_.Arbor.Present != 0) {
      if (arborCheck_ >= kArborCheckCut)
        CutArbor();
      else
        SearchArborClearance();
    }
  }

 private:
  // --- The pose -------------------------------------------------------------

  void SetPose(const Vec3& tip, const Vec3& axis) {
    const ToolRecord& t = tool_.Tool;
    pose_.Tip = tip;
    pose_.Axis = pose_.Normal = axis;
    pose_.PlaneConstant = -VectorDot(tip, axis);
    pose_.AxisLengthSquared = VectorDot(axis, axis);
    pose_.AxisLength = std::sqrt(pose_.AxisLengthSquared);
    pose_.CutLimit = (t.Kind == kToolTThrow ? t.BladeWidth : t.CuttingLength) * pose_.AxisLength;

    const double h = tool_.FullRadiusHeight, rc = tool_.CornerRadiusAbs;
    const bool hollow = t.CornerRadius < 0;
    pose_.Point1 = AlongAxis(pose_, h);
    if (t.Kind == kToolTThrow) {
      pose_.Point2 = AlongAxis(pose_, t.BladeWidth - 2 * t.LowerCornerRadius);
      pose_.Point3 = AlongAxis(pose_, t.BladeWidth - t.LowerCornerRadius);
    } else {
      if (t.Kind == kToolRadius)
        pose_.Point2 = AlongAxis(pose_, cut_.Records.Checks.ChipWidthCheck == 1
                                            ? lengths_.CentreHeight
                                            : static_cast<double>(t.TipHeight));
      else
        pose_.Point2 = AlongAxis(pose_, h - rc);
      pose_.Point3 = AlongAxis(pose_, hollow ? h - 2 * rc : tool_.UpperHeightA);
    }
    pose_.Point4 = AlongAxis(pose_, hollow ? h - rc : tool_.UpperHeightB);
    if (tool_.HasUpperPoint != 0) pose_.Point5 = AlongAxis(pose_, t.CuttingLength);
    const std::array<const Vec3*, 6> points{&pose_.Tip,    &pose_.Point1, &pose_.Point2,
                                            &pose_.Point3, &pose_.Point4, &pose_.Point5};
    for (CutGridContext& grid : cut_.Grids) {
      for (size_t k = 0; k < points.size(); ++k)
        grid.PosePoints[k] = ToContextFrame(grid, *points[k]);
      grid.PoseAxis = ToContextFrame(grid, axis);
    }
  }

  // --- Index boxes ----------------------------------------------------------

  // The grid indexes along one axis that a pass reaching r around a point at
  // d from the origin can touch; up the axis (component a) it reaches length
  // further, the main pass at least kMainExtension.
  struct IndexSpan {
    int32_t first;
    int32_t last;
  };
  IndexSpan AxisSpan(double d, double a, double r, double length, bool main) const {
    const double p = model_.Pitch;
    IndexSpan span{CeilIndex((d - r) / p), TruncIndex((d + r) / p)};
    if (a > 0) {
      span.last = TruncIndex((length * a + d + r) / p);
      if (main) span.last = std::max(TruncIndex((d + kMainExtension) / p), span.last);
    } else if (a < 0) {
      span.first = CeilIndex((length * a + d - r) / p);
      if (main) span.first = std::min(span.first, CeilIndex((d - kMainExtension) / p));
    }
    return span;
  }

  // Sets the pose's index box around ref and, when it meets the grid, the
  // contexts' ranges; false when it misses.
  bool SetPassBox(const Vec3& ref, double r, double length, bool main) {
    const std::array<double, 3> origin{model_.OriginX, model_.OriginY, model_.OriginZ};
    const std::array<int32_t, 3> points{model_.CountX, model_.CountY, model_.CountZ};
    std::array<IndexSpan, 3> spans{};
    bool meets = true;
    for (int k = 0; k < 3; ++k) {
      spans[k] = AxisSpan(ref[k] - origin[k], pose_.Axis[k], r, length, main);
      pose_.IndexBox[2 * k] = spans[k].first;
      pose_.IndexBox[2 * k + 1] = spans[k].last;
      if (spans[k].first >= points[k] || spans[k].last < 0) meets = false;
    }
    if (!meets) return false;
    const auto clip = [&](int32_t index, int axis) {
      return std::clamp(index, 0, points[axis] - 1);
    };
    for (CutGridContext& grid : cut_.Grids) {
      grid.RangeU0 = clip(spans[grid.AxisU].first, grid.AxisU);
      grid.RangeU1 = clip(spans[grid.AxisU].last, grid.AxisU);
      grid.RangeV0 = clip(spans[grid.AxisV].first, grid.AxisV);
      grid.RangeV1 = clip(spans[grid.AxisV].last, grid.AxisV);
    }
    return true;
  }

  void SetReach(const PassReach& reach) { cut_.Reach = cut_.PlainColumnScan ? PassReach{} : reach; }

  // --- Sums -------------------------------------------------------------------

  void ZeroSums() {
    for (CutGridContext& grid : cut_.Grids) {
      grid.RemovedVolume = 0.0;
      grid.RemovedCount = 0;
    }
  }
  bool AnyRemoved() const {
    return std::any_of(cut_.Grids.begin(), cut_.Grids.end(),
                       [](const CutGridContext& grid) { return grid.RemovedVolume > 0; });
  }
  double Combined() const {
    const CutGrids& g = cut_.Grids;
    return CombineRemovedVolumes(g[kContextX].RemovedVolume, g[kContextX].RemovedCount,
                                 g[kContextY].RemovedVolume, g[kContextY].RemovedCount,
                                 g[kContextZ].RemovedVolume, g[kContextZ].RemovedCount);
  }
  // A body or arbor pass's volume joins the pose's.
  void BookPassVolume() {
    run_.PoseRemovedVolume += Combined();
    if (run_.PoseRemovedVolume > 0) run_.MoveCutFlag = 1;
    if (run_.PoseRemovedVolume > 0 || run_.MoveCutFlag == 1) run_.MarkProcessCut();
  }

  // --- Main pass ------------------------------------------------------------

  void MainPass() {
    const ToolRecord& t = tool_.Tool;
    const Vec3& ref = t.CornerRadius < 0 ? pose_.Tip : pose_.Point1;
    double r = tool_.EnvelopeRadius;
    if (t.Kind == kToolImportedMesh) {
      const ImportedToolMesh* mesh = cut_.Records.Mesh;
      r = mesh == nullptr
              ? 0.0
              : std::max(mesh->BoxMax[0] - mesh->BoxMin[0], mesh->BoxMax[1] - mesh->BoxMin[1]);
    } else if (t.Kind == kToolTThrow && t.TaperWidth > t.Diameter) {
      r = t.TaperWidth * 0.5;
    }
    pose_.Radius = r;
    if (!SetPassBox(ref, r, tool_.Shank.ProtrusionLength, true)) return;
    pose_.RadiusSquared = r * r;
    ZeroSums();
    if (t.Kind != kToolImportedMesh) {
      SetReach(reference::GeneralCutReach(cut_));
      for (CutGridContext& grid : cut_.Grids) reference::CutDexelGrid3(cut_, grid);
      run_.PoseRemovedVolume = Combined();
      if (AnyRemoved()) {
        run_.MoveCutFlag = 1;
        run_.MarkProcessCut();
      }
      return;
    }
    CutWithMeshTool(cut_, model_);
    if (AnyRemoved()) {
      run_.MoveCutFlag = 1;
      run_.MarkProcessCut();
    } else if (run_.MoveCutFlag == 1) {
      run_.MarkProcessCut();
    }
    // In rapid traverse a negligible removal does not count.
    if (run_.MotionMode <= kMotionRapid) {
      const double x = cut_.Grids[kContextX].RemovedVolume;
      const double y = cut_.Grids[kContextY].RemovedVolume;
      const double z = cut_.Grids[kContextZ].RemovedVolume;
      constexpr double kNegligible = 0.001;
      if ((x == 0 && y < kNegligible && z < kNegligible) ||
          (x < kNegligible && y == 0 && z < kNegligible) ||
          (x < kNegligible && y < kNegligible && z == 0))
        run_.MoveCutFlag = 0;
    }
  }

  // --- Tool body ------------------------------------------------------------

  struct Segment {
    int32_t number;
    double start;  // along the axis from the tip
    double length;
    double startRadius;
    double endRadius;
    double bound;  // radius the segment stays within
    double End() const { return start + length; }
  };

  // The body's segments: transition (from neckStart over neckLength to
  // neckEnd), shank taper (not for the straight shanks) and shank.
  std::vector<Segment> BodySegments(double neckStart, double neckLength, double neckEnd,
                                    double shankLength) const {
    const int32_t kind = tool_.Shank.Kind;
    const double shankRadius = tool_.ShankRadius;
    std::vector<Segment> segments;
    segments.push_back({0, neckStart, neckLength, tool_.CuttingRadius, neckEnd,
                        std::max(tool_.CuttingRadius, neckEnd)});
    if (kind != kShankStraight && kind != kShankStraightCutting)
      segments.push_back({1, segments.back().End(), (shankRadius - neckEnd) * tool_.ShankTaperRatio,
                          neckEnd, shankRadius, std::max(neckEnd, shankRadius)});
    const double start = segments.back().End();
    const double length = shankLength >= 0 ? shankLength : tool_.Shank.ProtrusionLength - start;
    segments.push_back({2, start, length, shankRadius, shankRadius, shankRadius});
    return segments;
  }

  double StraightNeckEnd() const {
    const int32_t kind = tool_.Shank.Kind;
    return kind == kShankStraight || kind == kShankStraightCutting ? tool_.ShankRadius
                                                                   : tool_.NeckEndRadius;
  }

  // Points the contexts at a segment from start along the axis; false when
  // it has no length or misses the grid.
  bool PrepareSegment(int32_t number, double start, double length, double bound) {
    pose_.Point1 = AlongAxis(pose_, start);
    for (CutGridContext& grid : cut_.Grids) {
      grid.PosePoints[0] = ToContextFrame(grid, pose_.Point1);
      grid.Segment = number;
    }
    ZeroSums();
    if (!(length > 0) || !SetPassBox(pose_.Point1, bound, length, false)) return false;
    // The segment runs up the axis from its base.
    SetReach({bound, 0.0});
    return true;
  }

  bool PrepareBody(const Segment& s) {
    pose_.SegmentLength = s.length;
    pose_.SegmentStartRadius = s.startRadius;
    pose_.SegmentEndRadius = s.endRadius;
    pose_.RadiusSquared = s.endRadius * s.endRadius;
    if (s.number == 1) pose_.Radius = s.startRadius;
    if (s.number == 2) pose_.Radius = s.endRadius;
    return PrepareSegment(s.number, s.start, s.length, s.bound);
  }

  void CutBody() {
    pose_.BodyFaceFlags = {static_cast<uint8_t>(tool_.PenTag | kFlagMark),
                           static_cast<uint8_t>(tool_.PenTag | kFlagMark)};
    for (const Segment& s : BodySegments(tool_.Shank.NeckLength, tool_.Shank.TransitionLength,
                                         StraightNeckEnd(), -1)) {
      if (!PrepareBody(s)) continue;
      for (CutGridContext& grid : cut_.Grids) reference::CutDexelGrid2(cut_, grid);
      if (arborCheck_ >= kArborCheckYes && tool_.Shank.Kind < 10 && AnyRemoved())
        run_.Hits.BodyHitFlag = 1;
      BookPassVolume();
    }
  }

  // True when a segment of the body touches material (Z, Y, X contexts).
  bool BodyTouches(const std::vector<Segment>& segments) {
    for (const Segment& s : segments) {
      if (!PrepareBody(s)) continue;
      for (int c : {kContextZ, kContextY, kContextX})
        if (reference::CutDexelGrid2(cut_, cut_.Grids[c]) == 1) return true;
    }
    return false;
  }

  void SearchBodyClearance() {
    double& shank = lengths_.ShankClearLength;
    for (;;) {
      const bool touched = BodyTouches(
          BodySegments(shank, tool_.Shank.TransitionLength, StraightNeckEnd(), kSearchShankLength));
      if (shank >= kClearLimit || !touched) break;
      shank += kSearchStep;
    }
    double& neck = lengths_.NeckClearLength;
    if (neck < 0) return;
    for (;;) {
      // The neck cone widens by 1 / NeckTaperRatio (a cotangent) per unit of
      // length; a ratio of 0 (no cone) leaves it straight.
      const double ratio = tool_.NeckTaperRatio;
      const double end = tool_.Shank.Kind == kShankStraight ? tool_.ShankRadius
                         : ratio != 0.0                     ? tool_.EnvelopeRadius + neck / ratio
                                                            : tool_.EnvelopeRadius;
      if (end > tool_.ShankRadius) {
        neck = -1.0;
        return;
      }
      if (!BodyTouches(BodySegments(tool_.Shank.NeckLength, neck, end, kSearchShankLength))) return;
      if (neck >= kNeckClearLimit) {
        neck = -1.0;
        return;
      }
      neck += kSearchStep;
    }
  }

  // --- Arbor ----------------------------------------------------------------

  // The radius arbor step i stays within. A cone from a wider step below
  // (ARBOR2) reaches that step's radius at its base.
  double ArborBound(int32_t i) const {
    const ArborRecord& arbor = tool_.Arbor;
    float diameter = arbor.StepDiameter[i];
    if (arbor.StepFlag[i] != 0) diameter = std::max(diameter, arbor.StepDiameter[i + 1]);
    double bound = diameter / 2.0f;
    if (arbor.Form == kArborPairs2)
      bound = std::max(bound, i == 0 ? tool_.ShankRadius : arbor.StepDiameter[i - 1] / 2.0);
    return bound;
  }

  bool PrepareArborStep(int32_t i, double start) {
    const double bound = ArborBound(i);
    pose_.Radius = bound;
    pose_.RadiusSquared = bound * bound;
    return PrepareSegment(i, start, tool_.Arbor.StepLength[i], bound);
  }

  void CutArbor() {
    pose_.BodyFaceFlags = {static_cast<uint8_t>(tool_.PenTag | kFlagMark),
                           static_cast<uint8_t>(tool_.PenTag | kFlagMark)};
    double start = tool_.Shank.ProtrusionLength;
    for (int32_t i = 0; i < tool_.Arbor.HeldSteps(); ++i) {
      if (PrepareArborStep(i, start)) {
        for (CutGridContext& grid : cut_.Grids) reference::CutDexelGrid(cut_, grid);
        if (arborCheck_ >= kArborCheckYes && AnyRemoved()) run_.Hits.ArborHitFlag = 1;
        BookPassVolume();
      }
      start += tool_.Arbor.StepLength[i];
    }
  }

  void SearchArborClearance() {
    double& arbor = lengths_.ArborClearLength;
    arbor = std::max(arbor, lengths_.ShankClearLength);
    for (;;) {
      bool touched = false;
      double start = arbor;
      for (int32_t i = 0; i < tool_.Arbor.HeldSteps() && !touched; ++i) {
        if (PrepareArborStep(i, start)) {
          for (CutGridContext& grid : cut_.Grids) {
            if (reference::CutDexelGrid(cut_, grid) == 1) {
              touched = true;
              break;
            }
          }
        }
        start += tool_.Arbor.StepLength[i];
      }
      if (arbor >= kClearLimit || !touched) break;
      arbor += kSearchStep;
    }
  }

  CutContext& cut_;
  DexelModel& model_;
  ToolPose& pose_;
  const CurrentTool& tool_;
  RunState& run_;
  ToolLengthChecks& lengths_;
  const int32_t arborCheck_;
};

}  // namespace

void CutToolPoseIntoModel(CutContext& cut, DexelModel& model, const Vec3& tip, const Vec3& axis) {
  const CutRecords& records = cut.Records;
  if (records.Run.CuttingEnabled == 0 || records.Document.WorkPresent == 0 ||
      records.Document.WorkState > kWorkAvailable || records.Tool.Tool.Defined == 0)
    return;
  if (!model.Allocated() || !Finite(tip) || !Finite(axis)) return;
  PoseCutter(cut, model).Cut(tip, axis);
}

}  // namespace vestan::reference
