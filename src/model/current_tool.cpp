#include "model/current_tool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "foundation/single_precision.h"
#include "model/tool_profile.h"

namespace vestan {
namespace {

constexpr double kQuarterPi = 0.7853981633974483;

// Holder clearance set: ARBOR CLEARANCE is YES or a value.
bool WidensHolder(const InterferenceCheckSettings& checks) {
  return checks.ArborClearanceMode == 1 || checks.ArborClearanceMode == 2;
}

void WidenHolderParts(CurrentTool& c, const InterferenceCheckSettings& checks, double gridPitch) {
  if (c.Shank.Kind >= kShankStraight && c.Shank.Kind <= 9)
    c.Shank.ShankDiameter = WidenByArborClearance(c.Shank.ShankDiameter, checks, gridPitch);
  if (c.Arbor.Present == 0) return;
  // The triple form holds one diameter more than it has steps.
  const int32_t last = c.Arbor.HeldSteps() + (c.Arbor.Form == kArborTriples ? 1 : 0);
  for (int32_t i = 0; i < last; ++i)
    c.Arbor.StepDiameter[i] = WidenByArborClearance(c.Arbor.StepDiameter[i], checks, gridPitch);
}

// Radii, heights and slopes of the cutting part by cutter kind.
void DeriveCutterShape(CurrentTool& c) {
  const ToolRecord& t = c.Tool;
  const bool oval = t.Kind == kToolOval;
  // A sphere is a ball of its whole diameter.
  const double D = t.Diameter, R2 = t.LowerCornerRadius;
  const double R = t.Kind == kToolSphere ? D / 2.0 : t.CornerRadius;
  const double Rc = t.CornerCentreRadius, Ht = t.TipHeight, G2 = t.BottomAngleWidth;
  const double W = t.TaperWidth, S = t.SideParam, B = t.BladeWidth, L = t.CuttingLength;
  // An oval's ellipse replaces any bottom or taper angle.
  const double G = oval ? 0.0 : t.BottomAngle;
  const double A = oval ? 0.0 : t.TaperAngle;
  const double r = D / 2.0;
  const double g = G * kRadiansPerDegree, a = A * kRadiansPerDegree;
  const double m = (a + g) / 2.0 + kQuarterPi;
  const double tanG = TanDegrees(G);

  c.CornerRadiusAbs = std::fabs(R);
  c.PointFlatRadius = (t.Kind == kToolDrill && G > 0.0 && G2 > 0.0) ? G2 / 2.0 : 0.0;
  if (oval) {
    c.OvalHeight = Ht;
    c.OvalRadius = Rc;
    if (Rc == r) c.CornerRadiusAbs = 0.0;
  }
  const double cra = c.CornerRadiusAbs;
  const bool ballEnd = G == 0.0 && A == 0.0 && std::fabs(r - cra) < 0.001;

  c.BottomSlope = oval ? -1.0 : tanG;
  c.BottomOffset = G2 > 0.0 ? -c.BottomSlope * c.PointFlatRadius : 0.0;
  if (A > 0.0) {
    c.SideSlope = 1.0 / TanDegrees(A);
    c.SideOffset = (tanG - c.SideSlope) * r - c.BottomSlope * c.PointFlatRadius;
  }

  if (t.Kind == kToolBall || t.Kind == kToolTaperBall)
    c.BottomRadius = 0.0;
  else if (oval)
    c.BottomRadius = cra == 0.0 ? r : SolveOvalJoin(Rc, Ht, cra, D);
  else if (G == 0.0 && A == 0.0)
    c.BottomRadius = r - std::cos(g) * cra;
  else
    c.BottomRadius = r - std::cos(g) * cra / std::tan(m);

  if (!oval) {
    c.ArcCentreRadius = c.BottomRadius - std::sin(g) * cra;
    if (ballEnd) c.ArcCentreRadius = c.BottomRadius = 0.0;
    c.FullRadiusHeight =
        R >= 0.0 ? std::cos(g) * cra + (c.BottomRadius - c.PointFlatRadius) * c.BottomSlope : Ht;
    if (A > 0.0) {
      c.ArcTopRadius = std::sin(a) * cra / std::tan(m) + r;
      if (W > 0.0)
        c.EnvelopeRadius = W / 2.0;
      else if (A == 45.0 && G == 45.0)
        c.EnvelopeRadius = L;
      else
        c.EnvelopeRadius = r + TanDegrees(A) * (L - tanG * r);
    } else {
      // No taper (a negative taper angle included): a straight side.
      c.SideSlope = 0.0;
      c.SideOffset = c.FullRadiusHeight;
      c.ArcTopRadius = r;
      c.EnvelopeRadius = r;
    }
    if (t.Kind == kToolTThrow) {
      c.BladeFlatHeight = B - R - R2;
      c.LowerArcCentreRadius = (c.BladeFlatHeight == 0.0 && R == R2) ? 0.0 : r - R2;
    }
  } else {
    if (Rc > r) {
      c.ArcCentreRadius = r - cra;
      const double br = c.BottomRadius;
      // Clamped: a join that was not found (radius 0) leaves the arc out of reach.
      const double e = std::sqrt(std::max(0.0, 1.0 - br * br / (Rc * Rc))) * Ht;
      const double u = br - c.ArcCentreRadius;
      c.FullRadiusHeight = Ht - (e - std::sqrt(std::max(0.0, cra * cra - u * u)));
      c.SideOffset = c.FullRadiusHeight;
      c.OvalJoinHeight = Ht - e;
    } else {
      c.FullRadiusHeight = c.SideOffset = c.OvalJoinHeight = Ht;
      c.ArcCentreRadius = r;
    }
    c.ArcTopRadius = c.EnvelopeRadius = r;
    c.SideSlope = 0.0;
  }

  c.BottomEdgeHeight = c.BottomRadius * c.BottomSlope + c.BottomOffset;
  c.UpperHeightA = c.ArcTopRadius * c.SideSlope + c.SideOffset;
  c.UpperHeightB = c.EnvelopeRadius * c.SideSlope + c.SideOffset;

  c.CentreZoneRadiusSquared = t.Kind == kToolVertical ? (r - S) * (r - S) : 0.0;
}

void DeriveNeck(CurrentTool& c, const InterferenceCheckSettings& checks) {
  const ToolRecord& t = c.Tool;
  if (t.Kind == kToolTThrow) {
    c.CuttingRadius = c.NeckRadius = c.ShankRadius = t.NeckDiameter / 2.0;
  } else if (t.Kind == kToolSphere) {
    // The ball sits on its neck; without a neck diameter the neck is as wide.
    c.CuttingRadius = c.NeckRadius = c.ShankRadius =
        (t.NeckDiameter > 0.0f ? t.NeckDiameter : t.Diameter) / 2.0;
  } else if (t.Kind == kToolImportedMesh) {
    const double radius = (t.NeckDiameter > 0.0f ? t.NeckDiameter : t.Diameter) / 2.0;
    c.NeckRadius = c.CuttingRadius = c.ShankRadius = radius;
    c.EnvelopeRadius = c.ArcTopRadius = c.BottomRadius = radius;
  } else {
    c.CuttingRadius = c.ShankRadius = c.EnvelopeRadius;
    if (c.EnvelopeRadius > c.Shank.ShankDiameter / 2.0) {
      c.NeckRadius = c.EnvelopeRadius;
    } else if (c.Shank.NeckDiameter < 0.0f) {
      // No neck diameter given: the height check type decides.
      if (checks.HeightCheckType == 1 && c.Shank.Kind <= 10)
        c.NeckRadius = c.EnvelopeRadius + checks.HeightCheckMargin;
      else if (checks.HeightCheckType == 2 && c.Shank.Kind <= 10)
        c.NeckRadius = 0.0;
      else
        c.NeckRadius = c.EnvelopeRadius;
    } else {
      c.NeckRadius = c.Shank.NeckDiameter / 2.0;
    }
  }
  c.HasUpperPoint = (c.NeckRadius != c.CuttingRadius && c.NeckRadius > 0.0) ? 1 : 0;
}

double Cotangent(double degrees) { return 1.0 / TanDegrees(degrees); }

// Neck and shank steps; the shank forms 12 and 13 may raise the cutting
// length, also in the table.
void DeriveShank(CurrentTool& c) {
  ToolShankRecord& s = c.Shank;
  if (s.Kind < kShankLength) {
    c.NeckTopHeight = 6.0 * c.EnvelopeRadius;
    s.ProtrusionLength = RoundToSingle(c.NeckTopHeight);
    return;
  }
  c.NeckTopHeight = s.ProtrusionLength;
  c.ShankRise = 0.0;
  float raised = c.Tool.CuttingLength;
  if (s.Kind == kShankStraight || s.Kind == kShankStraightCutting) {
    c.NeckTopHeight = s.NeckLength;
    c.ShankRise = s.TransitionLength;
    c.ShankRadius = s.ShankDiameter / 2.0;
    c.ShankTaperRatio = c.ShankRadius > c.EnvelopeRadius
                            ? s.TransitionLength / (c.ShankRadius - c.EnvelopeRadius)
                            : 0.0;
    if (s.Kind == kShankStraightCutting)
      raised = std::max(raised, s.NeckLength + s.TransitionLength);
  } else if (s.Kind == kShankAngled || s.Kind == kShankAngledCutting) {
    c.NeckTopHeight = s.NeckLength;
    c.ShankRadius = s.ShankDiameter / 2.0;
    if (c.ShankRadius > c.EnvelopeRadius) {
      // An angle of 0 is an angle not given: a plain shoulder for the shank,
      // a straight neck.
      c.ShankTaperRatio = s.ShankAngle == 0.0f ? 0.0 : Cotangent(s.ShankAngle);
      if (s.NeckAngle == 0.0f) {
        c.NeckTaperRatio = std::numeric_limits<double>::max();
        c.NeckEndRadius = c.EnvelopeRadius;
      } else {
        c.NeckTaperRatio = Cotangent(s.NeckAngle);
        c.NeckEndRadius = s.TransitionLength / c.NeckTaperRatio + c.EnvelopeRadius;
      }
    } else {
      c.NeckEndRadius = c.ShankRadius = c.EnvelopeRadius;
      c.NeckTaperRatio = c.ShankTaperRatio = 0.0;
    }
    c.ShankRise = (c.ShankRadius - c.NeckEndRadius) * c.ShankTaperRatio + s.TransitionLength;
    if (s.Kind == kShankAngledCutting)
      raised = std::max(raised, RoundToSingle(s.NeckLength + c.ShankRise));
  }
  c.Tool.CuttingLength = raised;
}

void DeriveArborSteps(CurrentTool& c) {
  if (c.Arbor.Present == 0) return;
  const int32_t steps = c.Arbor.HeldSteps();
  double below = c.ShankRadius;
  double bottom = c.ArborBaseHeight;
  for (int32_t i = 0; i < steps; ++i) {
    c.ArborStepRadius[i] = std::max(c.Arbor.StepDiameter[i] / 2.0, below);
    below = c.ArborStepRadius[i];
    c.ArborStepBottom[i] = bottom;
    c.ArborStepTop[i] = bottom + c.Arbor.StepLength[i];
    bottom = c.ArborStepTop[i];
  }
  if (c.Arbor.Form == kArborTriples)
    c.ArborStepRadius[steps] = std::max(c.Arbor.StepDiameter[steps] / 2.0, below);
}

void SetPen(CurrentTool& c, int32_t pen) {
  c.PenNumber = std::clamp(pen, 0, 15);
  c.PenTag = static_cast<uint8_t>(c.PenNumber << 4);
  c.EdgeTags = {c.PenTag, c.PenTag};
}

}  // namespace

float WidenByArborClearance(float diameter, const InterferenceCheckSettings& checks,
                            double gridPitch) {
  const double d = diameter;
  if (checks.ArborClearanceMode == 2) return RoundToSingle(d + 2.0 * checks.ArborClearance);
  if (checks.ArborClearanceMode == 1) {
    const double q = gridPitch;
    return RoundToSingle(2.0 * std::sqrt((q / 2.0) * (q / 2.0) + (d / 2.0 + q) * (d / 2.0 + q)));
  }
  return diameter;
}

double SolveOvalJoin(double ovalRadius, double ovalHeight, double cornerRadius, double diameter) {
  const double rc = ovalRadius, ht = ovalHeight, r = cornerRadius;
  const double delta = rc * rc - ht * ht;
  // Without an ellipse radius (or with |Rc| = |Ht| of opposite signs) the
  // equation has no usable form.
  if (rc == 0.0 || (rc != ht && delta == 0.0)) return 0.0;
  const double w = diameter / 2.0 - r;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  std::array<Complex, 4> roots{};
  for (Complex& root : roots) root = {kNone, 0.0};
  int count = 4;
  if (rc != ht) {
    const double rc4 = rc * rc * rc * rc;
    SolveQuartic(1.0, -2.0 * w, w * w - rc4 / delta + ht * ht * r * r / delta,
                 2.0 * rc4 * w / delta, -rc4 * w * w / delta, roots);
  } else {
    const double a = (ht / rc) * (ht / rc) * (r / rc) * (r / rc) - 1.0;
    std::array<Complex, 2> two{roots[0], roots[1]};
    SolveQuadratic(a, 2.0 * w, -w * w, two);
    roots[0] = two[0];
    roots[1] = two[1];
    count = a == 0.0 ? 1 : 2;
  }
  for (int i = 0; i < count; ++i) {
    const double x = roots[i].re;
    if (x > w && x < diameter / 2.0) return x;
  }
  return 0.0;
}

namespace {

// Tool `tool`'s set-up into current, profile and position (its length value
// and reference length), reading nothing but sources; false for an undefined
// tool, whose shape is left as it was.
bool SetUpTool(int32_t tool, double pitch, const ToolSetUpSources& sources, CurrentTool& current,
               ToolProfile& profile, MachinePositionState& position, DisplayListTable& display) {
  const ToolTable& table = sources.Table;
  const bool inRange = table.InRange(tool);
  const size_t t = inRange ? static_cast<size_t>(tool) : 0;

  if (inRange) {
    current.Tool = table.Records[t];
    current.Shank = table.Shanks[t];
    current.Arbor = table.Arbors[t];
    const bool noLength = tool == 0 && table.Lengths[0] == kNoToolZeroLength;
    position.ToolLength = noLength ? 0.0f : table.Lengths[t];
    // Tool 0 with a negative pen keeps the pen of the previous tool.
    if (tool > 0 || table.Pens[0] >= 0) SetPen(current, table.Pens[t]);
  } else {
    // A tool number the table does not hold is an undefined tool.
    current.Tool = ToolRecord{};
    current.Shank = ToolShankRecord{};
    current.Arbor = ArborRecord{};
    position.ToolLength = 0.0f;
  }

  const MachineDefinition& machine = sources.Machine;
  const bool holderSelected = machine.SelectedHolder >= 0 &&
                              static_cast<size_t>(machine.SelectedHolder) < machine.Holders.size();
  current.Holder = holderSelected ? machine.Holders[static_cast<size_t>(machine.SelectedHolder)]
                                  : ToolHolderRecord{};
  if (current.Shank.Kind == kShankNone) current.Holder.Present = 0;

  if (current.Tool.Defined == 0) {
    position.ReferenceLength = sources.Kinematics.ToolHolderOffset;
    profile.ProfileHeight = 0.0;
    return false;
  }

  const double gridPitch = sources.Pitch.WorkPitch;
  if (pitch > 0.0 && WidensHolder(sources.Checks))
    WidenHolderParts(current, sources.Checks, gridPitch);
  DeriveCutterShape(current);
  DeriveNeck(current, sources.Checks);
  current.ArborBaseHeight = current.Shank.ProtrusionLength != 0.0f ? current.Shank.ProtrusionLength
                                                                   : current.Tool.CuttingLength;
  DeriveShank(current);
  DeriveArborSteps(current);

  BuildToolProfile(current, sources.Kinematics, gridPitch, profile, position, display);
  return true;
}

}  // namespace

void SetCurrentTool(int32_t tool, double pitch, ToolChangeRecords& records) {
  CurrentTool& current = records.Current;
  const bool defined =
      SetUpTool(tool, pitch, SetUpSourcesOf(records), current, records.Profile, records.Position, records.Display);
  LengthCompensationState& compensation = records.Compensation;
  if (!defined) {
    if (tool >= 1) compensation.PluginTool = 0;
    if (compensation.LengthOffsetInForce()) compensation.PreviousToolLength = 0.0;
    records.Display.RequestRebuild(kListTool);
    return;
  }
  // Kinds 12 and 13 raise the cutting length in the table too, so that the
  // next set-up of the tool starts from the raised length.
  records.Table.Records[static_cast<size_t>(tool)].CuttingLength = current.Tool.CuttingLength;

  if (tool >= 1) compensation.PluginTool = 0;
  records.Display.RequestRebuild(kListTool);
}

void DeriveToolSetUp(int32_t tool, double pitch, const ToolSetUpSources& sources,
                     CurrentTool& setUp, ToolProfile& profile, MachinePositionState& lengths) {
  // The profile's rebuild requests are the current tool's business.
  DisplayListTable unused;
  SetUpTool(tool, pitch, sources, setUp, profile, lengths, unused);
}

}  // namespace vestan
