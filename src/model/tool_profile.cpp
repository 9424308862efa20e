#include "model/tool_profile.h"

#include <algorithm>
#include <cmath>

#include "foundation/geometry.h"
#include "foundation/single_precision.h"

namespace vestan {
namespace {

constexpr double kAngleStep = 0.17453292519943295;  // 10 degrees

// Appends outline points, never past the capacity: a point that does not fit
// is counted and dropped.
class Outline {
 public:
  explicit Outline(ToolProfile& profile) : p_(profile) {}

  void Add(double x, double y) {
    if (p_.PointCount >= kProfileCapacity) {
      ++p_.DroppedPoints;
      return;
    }
    p_.Radius[p_.PointCount] = x;
    p_.Height[p_.PointCount] = y;
    ++p_.PointCount;
  }
  int32_t Count() const { return p_.PointCount; }
  double LastRadius() const { return p_.Radius[p_.PointCount - 1]; }
  double LastHeight() const { return p_.Height[p_.PointCount - 1]; }

 private:
  ToolProfile& p_;
};

// Number of arc divisions: the span in grid pitches, truncated and kept to
// [lo, hi]; a pitch of 0 or less counts as infinitely fine.
int DivisionCount(double span, double pitch, int lo, int hi) {
  if (!(pitch > 0.0)) return hi;
  const double q = span / pitch;
  if (!(q < hi)) return hi;
  if (!(q > lo)) return lo;
  return static_cast<int>(q);
}

// RADIUS: the tip flat at height Ht, then the concave arc outside Rc.
void AddRadiusPoints(const CurrentTool& c, ToolProfile& profile, Outline& out) {
  const ToolRecord& t = c.Tool;
  const double D = t.Diameter, R = t.CornerRadius, Rc = t.CornerCentreRadius, Ht = t.TipHeight;
  out.Add(Rc, Ht);
  profile.Height[0] = Ht;
  if (Ht > R) out.Add(Rc, R);
  if (!(R > 0.0)) return;  // no arc: its heights would be 0/0
  const double q = R / 5.0;
  for (int k = 0; k <= 10; ++k) {
    const double x = D / 2.0 - 2.0 * R + k * q;
    if (!(x > Rc)) continue;
    double y = c.FullRadiusHeight;
    if (k != 0 && k != 10) {
      const double u = R - k * q;
      y = (1.0 - std::sqrt(1.0 - u * u / (R * R))) * c.FullRadiusHeight;
    }
    out.Add(x, y);
  }
}

// OVAL: the ellipse up to the join, then the corner arc when the ellipse is
// wider than the tool.
void AddOvalPoints(const CurrentTool& c, double pitch, Outline& out) {
  const ToolRecord& t = c.Tool;
  const double D = t.Diameter, R = t.CornerRadius, Rc = t.CornerCentreRadius, Ht = t.TipHeight;
  const double br = c.BottomRadius;
  const int n = DivisionCount(br, pitch, 4, 6);
  for (int i = 1; i <= n; ++i) {
    const double x = i == n ? br : i * br / n;
    const double y = Rc > x ? (1.0 - std::sqrt(1.0 - x * x / (Rc * Rc))) * Ht : Ht;
    out.Add(x, y);
  }
  if (!(Rc > D / 2.0)) return;
  const int m = DivisionCount(D / 2.0 - br, pitch, 2, 4);
  for (int k = 1; k <= m; ++k) {
    if (k == m) {
      out.Add(c.ArcTopRadius, c.FullRadiusHeight);
      continue;
    }
    const double x = br + k * (D / 2.0 - br) / m;
    const double u = x - c.ArcCentreRadius;
    out.Add(x, c.FullRadiusHeight - std::sqrt(std::max(0.0, R * R - u * u)));
  }
}

// The flat or conical bottom, then the corner arc.
void AddBottomAndArc(const CurrentTool& c, double pitch, Outline& out) {
  const double br = c.BottomRadius, top = c.ArcTopRadius, cra = c.CornerRadiusAbs;
  const double acr = c.ArcCentreRadius, frh = c.FullRadiusHeight;
  if (br > 0.0) {
    if (c.PointFlatRadius > 0.0) {
      out.Add(c.PointFlatRadius, 0.0);
      out.Add(br, c.BottomSlope * br + c.BottomOffset);
    } else {
      out.Add(br, c.BottomSlope * br);
    }
  }
  if (!(top > br)) return;
  const int n = DivisionCount(top - br, pitch, 5, 10);
  const bool concave = c.Tool.CornerRadius < 0.0f;
  for (int i = concave ? 0 : 1; i <= n; ++i) {
    const double x = i == n ? top : br + i * (top - br) / n;
    double y;
    if (acr != 0.0 && c.Tool.CornerRadius <= 0.0f) {
      const double u = cra - x + acr;
      y = cra > u ? std::sqrt(std::max(0.0, cra * cra - u * u)) + frh - cra : frh - cra;
    } else {
      const double u = x - acr;
      y = cra > u ? frh - std::sqrt(std::max(0.0, cra * cra - u * u)) : frh;
    }
    out.Add(x, y);
  }
}

// T-THROW: the blade's flat side, its lower arc and the step in to the neck.
void AddTThrowBlade(const CurrentTool& c, Outline& out) {
  const ToolRecord& t = c.Tool;
  const double D = t.Diameter, W = t.TaperWidth, R2 = t.LowerCornerRadius, B = t.BladeWidth;
  if (c.BladeFlatHeight > 0.0) out.Add((W == 0.0 || W == D) ? D / 2.0 : W / 2.0, B - R2);
  if (R2 > 0.0) {
    const double q = R2 / 5.0;
    for (int k = 1; k <= 5; ++k) {
      const double u = (5 - k) * q;
      out.Add(D / 2.0 - k * q, B - R2 + std::sqrt(std::max(0.0, R2 * R2 - u * u)));
    }
  }
  out.Add(t.NeckDiameter / 2.0, B);
}

// SPHERE: the ball's upper half back in to its neck.
void AddSphereTop(const CurrentTool& c, Outline& out) {
  const double r = c.CornerRadiusAbs, neck = c.CuttingRadius;
  if (!(neck < r)) {
    out.Add(neck, r);
    return;
  }
  const double q = (r - neck) / 5.0;
  for (int k = 1; k <= 5; ++k) {
    const double x = k == 5 ? neck : r - k * q;
    out.Add(x, r + std::sqrt(std::max(0.0, r * r - x * x)));
  }
}

// Top of the cutting part: the end of the taper and the cutting length (a
// sphere's neck up to it).
void AddCuttingTop(const CurrentTool& c, ToolProfile& profile, Outline& out) {
  const double er = c.Tool.Kind == kToolSphere ? c.CuttingRadius : c.EnvelopeRadius;
  const double L = c.Tool.CuttingLength;
  if (er > c.ArcTopRadius) out.Add(er, c.SideSlope * er + c.SideOffset);
  if (L > out.LastHeight() && c.Tool.Kind != kToolTThrow) {
    const int32_t shank = c.Shank.Kind;
    const bool stepped = shank == kShankStraight || shank == kShankAngled ||
                         shank == kShankStraightCutting || shank == kShankAngledCutting;
    out.Add(er, stepped ? std::min(L, static_cast<double>(c.Shank.NeckLength)) : L);
  }
  profile.CutCount = out.Count();
}

// The neck and the stepped shank up to the holder.
void AddShank(const CurrentTool& c, ToolProfile& profile, Outline& out) {
  const ToolShankRecord& s = c.Shank;
  profile.ShankEndCount = out.Count();
  if (c.HasUpperPoint != 0) {
    out.Add(c.NeckRadius, out.LastHeight());
    out.Add(c.NeckRadius, c.NeckTopHeight);
  }
  if (s.Kind < kShankStraight) return;
  out.Add(c.CuttingRadius, s.NeckLength);
  // Summed in single precision, as the set-up raised the cutting length.
  const float h = s.NeckLength + s.TransitionLength;
  const double rs = s.ShankDiameter / 2.0;
  const float L = c.Tool.CuttingLength;
  switch (s.Kind) {
    case kShankStraight:
      out.Add(rs, h);
      break;
    case kShankStraightCutting:
      out.Add(rs, h);
      if (L > h) out.Add(rs, L);
      profile.CutCount = out.Count();
      break;
    case kShankAngled:
    case kShankAngledCutting:
      out.Add(c.NeckEndRadius, h);
      out.Add(rs, (rs - c.NeckEndRadius) * c.ShankTaperRatio + h);
      if (s.Kind == kShankAngledCutting) {
        if (L > RoundToSingle(s.NeckLength + c.ShankRise)) out.Add(rs, L);
        profile.CutCount = out.Count();
      }
      break;
    default:
      break;
  }
}

// The holder face and the arbor steps, or the end of a tool without arbor.
void AddHolderAndArbor(const CurrentTool& c, ToolProfile& profile, Outline& out) {
  const double last = out.LastRadius();
  const ArborRecord& arbor = c.Arbor;
  if (arbor.Present == 0) {
    if (c.Shank.Kind != kShankNone)
      out.Add(last, c.Shank.ProtrusionLength);
    else if (c.Tool.Kind != kToolImportedMesh)
      out.Add(last, 6.0 * last);
    profile.ShankEndCount = profile.PointCount = out.Count();
    return;
  }
  out.Add(last, c.ArborBaseHeight);
  profile.ShankEndCount = out.Count();
  const int32_t steps = arbor.HeldSteps();
  if (arbor.Form == kArborTriples) {
    out.Add(c.ArborStepRadius[0], c.ArborBaseHeight);
    for (int32_t i = 0; i < steps; ++i) {
      if (arbor.StepFlag[i] == 0) out.Add(c.ArborStepRadius[i], c.ArborStepTop[i]);
      out.Add(c.ArborStepRadius[i + 1], c.ArborStepTop[i]);
    }
  } else {
    for (int32_t i = 0; i < steps; ++i) {
      if (!(c.ArborStepRadius[i] > 0.0)) continue;
      if (arbor.Form == kArborPairs) out.Add(c.ArborStepRadius[i], c.ArborStepBottom[i]);
      out.Add(c.ArborStepRadius[i], c.ArborStepTop[i]);
    }
  }
  profile.PointCount = out.Count();
}

void Extend(const Vec3& p, Vec3& boxMin, Vec3& boxMax) {
  for (int k = 0; k < 3; ++k) {
    boxMin[k] = std::min(boxMin[k], p[k]);
    boxMax[k] = std::max(boxMax[k], p[k]);
  }
}

// Revolution, boxes, profile height and the reference length.
void FinishProfile(const MachineKinematics& machine, ToolProfile& profile,
                   MachinePositionState& position, DisplayListTable& display) {
  const int32_t count = std::clamp(profile.PointCount, 0, kProfileCapacity);
  profile.AngleSteps = kProfileAngleSteps;
  profile.SurfacePointCount = kProfileAngleSteps * count;
  const bool turned = machine.ToolDirectionInUse != 0;
  for (int32_t i = 0; i < count; ++i) {
    for (int j = 0; j < kProfileAngleSteps; ++j) {
      const double angle = j * kAngleStep;
      Vec3& p = profile.SurfacePoints[static_cast<size_t>(kProfileAngleSteps * i + j)];
      p = {profile.Radius[i] * std::cos(angle), profile.Radius[i] * std::sin(angle),
           profile.Height[i]};
      if (turned)
        TurnByAngleHead(machine.AngleHeadA, machine.AngleHeadB, machine.AngleHeadC, p[0], p[1],
                        p[2]);
    }
  }

  const Vec3 far{1e9, 1e9, 1e9}, near{-1e9, -1e9, -1e9};
  profile.ToolBoxMin = profile.ArborBoxMin = far;
  profile.ToolBoxMax = profile.ArborBoxMax = near;
  // The tool box reaches the first arbor point; without an arbor it stops at
  // the last outline point.
  const int32_t toolEnd = std::min(profile.ShankEndCount, count - 1);
  for (int32_t i = 0; i < count; ++i) {
    for (int j = 0; j < kProfileAngleSteps; ++j) {
      const Vec3& p = profile.SurfacePoints[static_cast<size_t>(kProfileAngleSteps * i + j)];
      if (i <= toolEnd) Extend(p, profile.ToolBoxMin, profile.ToolBoxMax);
      if (i >= profile.ShankEndCount) Extend(p, profile.ArborBoxMin, profile.ArborBoxMax);
    }
  }
  MakeBoxCorners(profile.ToolBoxMin, profile.ToolBoxMax, profile.ToolCorners);
  if (profile.ShankEndCount < count)
    MakeBoxCorners(profile.ArborBoxMin, profile.ArborBoxMax, profile.ArborCorners);

  display.RequestRebuild(kSlideAndHeadLists);
  profile.ProfileHeight = count > 0 ? RoundToSingle(profile.Height[count - 1]) : 0.0f;
  position.ReferenceLength = machine.ToolHolderOffset + profile.ProfileHeight;
}

}  // namespace

void BuildImportedToolProfile(const ToolRecord& tool, ToolProfile& profile,
                              MachinePositionState& position) {
  profile.DroppedPoints = 0;
  if (tool.Defined == 0) {
    position.ReferenceLength = 0.0;
    return;
  }
  profile.Radius[0] = 0.0;
  profile.Height[0] = 0.0;
  const int32_t segments =
      std::clamp(tool.CuttingSegmentCount, 0, static_cast<int32_t>(tool.ProfileSegments.size()));
  if (segments < 1) {
    profile.CutCount = profile.ShankEndCount = profile.PointCount = 1;
    return;
  }
  enum Group { kCutting = 0, kShank = 1, kArbor = 2 };
  int32_t positions[3] = {1, 1, 1};
  Group group = kCutting;
  auto put = [&](double x, double y) {
    int32_t& at = positions[group];
    if (at >= kProfileCapacity) {
      ++profile.DroppedPoints;
      return;
    }
    profile.Radius[at] = x;
    profile.Height[at] = y;
    ++at;
  };
  for (int32_t i = 0; i < segments; ++i) {
    const ProfileSegment& s = tool.ProfileSegments[static_cast<size_t>(i)];
    if (s.Class == 2 && group == kCutting) {
      group = kShank;
      positions[kShank] = positions[kCutting];
    } else if (s.Class == 3 && group == kShank) {
      group = kArbor;
      positions[kArbor] = positions[kShank];
    }
    if (s.Kind <= 0) continue;
    if (s.Kind != 1) {
      double sweep = s.EndAngle - s.StartAngle;
      if (s.Kind == 2 && s.EndAngle > s.StartAngle) sweep -= 360.0;
      if (s.Kind == 3 && s.StartAngle > s.EndAngle) sweep += 360.0;
      for (int k = 1; k <= 9; ++k) {
        const double theta = (s.StartAngle + k * sweep / 10.0) * kRadiansPerDegree;
        put(s.CentreX + s.Radius * std::cos(theta), s.CentreY + s.Radius * std::sin(theta));
      }
    }
    put(s.X2, s.Y2);
  }
  profile.CutCount = positions[kCutting];
  profile.ShankEndCount = std::max(positions[kShank], positions[kCutting]);
  // The shank counts too when no arbor segment follows it.
  profile.PointCount = std::max({positions[kArbor], positions[kShank], positions[kCutting]});
}

void BuildToolProfile(const CurrentTool& c, const MachineKinematics& machine, double gridPitch,
                      ToolProfile& profile, MachinePositionState& position,
                      DisplayListTable& display) {
  const ToolRecord& t = c.Tool;
  Outline out(profile);
  if (t.Kind == kToolImportedProfile) {
    BuildImportedToolProfile(t, profile, position);
    if (t.Defined == 0) return;
    if (c.Shank.Kind > kShankNone) {
      // The shank and arbor follow the cutting part of the outline.
      profile.PointCount = profile.CutCount;
      AddShank(c, profile, out);
      AddHolderAndArbor(c, profile, out);
    }
    FinishProfile(machine, profile, position, display);
    return;
  }
  if (t.Defined == 0) {
    position.ReferenceLength = 0.0;
    return;
  }
  profile.DroppedPoints = 0;
  profile.PointCount = 0;
  if (t.Kind == kToolImportedMesh) {
    out.Add((t.NeckDiameter > 0.0f ? t.NeckDiameter : t.Diameter) / 2.0, t.CuttingLength);
    profile.CutCount = 1;
  } else {
    out.Add(0.0, 0.0);
    if (t.Kind == kToolVertical) out.Add(c.BottomRadius - t.SideParam, 0.0);
    if (t.Kind == kToolRadius) {
      AddRadiusPoints(c, profile, out);
      // The radius mill's outline ends with its arc.
      profile.CutCount = out.Count();
    } else {
      if (t.Kind == kToolOval) {
        AddOvalPoints(c, gridPitch, out);
      } else {
        AddBottomAndArc(c, gridPitch, out);
        if (t.Kind == kToolTThrow) AddTThrowBlade(c, out);
        if (t.Kind == kToolSphere) AddSphereTop(c, out);
      }
      AddCuttingTop(c, profile, out);
    }
  }
  AddShank(c, profile, out);
  AddHolderAndArbor(c, profile, out);
  FinishProfile(machine, profile, position, display);
}

}  // namespace vestan
