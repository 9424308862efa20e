#include "definitions/tool_geometry.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "foundation/single_precision.h"
#include "foundation/vector_math.h"

namespace vestan {

bool HasPercentBeforeComma(std::string_view text) {
  const size_t percent = text.find('%');
  const size_t comma = text.find(',');
  return percent != std::string_view::npos && comma != std::string_view::npos && percent < comma;
}

void AngleCosSin(double degrees, double& cosine, double& sine) {
  if (degrees == 0.0 || std::fabs(degrees) == 360.0) {
    cosine = 1.0;
    sine = 0.0;
  } else if (degrees == 90.0 || degrees == -270.0) {
    cosine = 0.0;
    sine = 1.0;
  } else if (degrees == -90.0 || degrees == 270.0) {
    cosine = 0.0;
    sine = -1.0;
  } else if (std::fabs(degrees) == 180.0) {
    cosine = -1.0;
    sine = 0.0;
  } else {
    cosine = std::cos(degrees * kRadiansPerDegree);
    sine = std::sin(degrees * kRadiansPerDegree);
  }
}

double ComputeCornerOffset(double diameter, double cornerRadius, double height) {
  const double r = cornerRadius;
  const double w = height >= r ? r : std::sqrt(std::max(0.0, r * r - (r - height) * (r - height)));
  return diameter / 2.0 - r - w;
}

void ComputeTaperToolWidth(double diameter, double cornerRadius, double bottomAngle,
                           double taperAngle, double height, float& width) {
  const double h = diameter / 2.0;
  const double a = taperAngle * kRadiansPerDegree;
  const double g = bottomAngle * kRadiansPerDegree;
  // Half-way between bottom and taper direction; tan 45° taken as exactly 1.
  const double m = (a + g) / 2.0 + kPi / 4.0;
  const double tanM = a + g == 0.0 ? 1.0 : std::tan(m);
  const double reach = h + std::sin(a) * cornerRadius / tanM;
  width = RoundToSingle(std::max(static_cast<double>(width), 2.0 * reach));
  if (bottomAngle == 45.0 && taperAngle == 45.0) {
    width = RoundToSingle(std::min(static_cast<double>(width), 2.0 * height));
    return;
  }
  const double top = 2.0 * (h + TanDegrees(taperAngle) * (height - TanDegrees(bottomAngle) * h));
  width = RoundToSingle(std::min(static_cast<double>(width), top));
}

double TaperBallDiameter(double cornerRadius, double taperAngle) {
  const double a = taperAngle * kRadiansPerDegree;
  return 2.0 * cornerRadius * (std::sin(a) * std::tan(a) - std::tan(a) + std::cos(a));
}

}  // namespace vestan

namespace vestan {

namespace {

// The drawing attributes that tell the parts of an outline apart.
struct AttributeTriple {
  int32_t LineTypeIndex;
  int32_t LineTypeValue;
  int32_t Colour;

  friend bool operator==(const AttributeTriple&, const AttributeTriple&) = default;
};

AttributeTriple TripleOf(const ProfileSegment& s) {
  return {s.LineTypeIndex, s.LineTypeValue, s.Colour};
}

bool Carries(const ProfileSegment& s, const std::optional<AttributeTriple>& triple) {
  return triple && TripleOf(s) == *triple;
}

}  // namespace

ProfileClassStarts ClassifyProfileSegments(std::span<ProfileSegment> segments) {
  // The first three distinct triples; more than three are treated as three.
  std::vector<AttributeTriple> distinct;
  for (const ProfileSegment& s : segments) {
    if (distinct.size() == 3) break;
    if (std::find(distinct.begin(), distinct.end(), TripleOf(s)) == distinct.end())
      distinct.push_back(TripleOf(s));
  }
  std::optional<AttributeTriple> main, second, third;
  if (!distinct.empty()) main = distinct[0];
  if (distinct.size() >= 2) second = distinct[1];
  if (distinct.size() >= 3) third = distinct[2];
  // Of two triples, a dashed first one is the shank drawn before the cutter.
  if (distinct.size() == 2 && distinct[0].LineTypeValue != distinct[1].LineTypeValue &&
      distinct[0].LineTypeValue != 0)
    std::swap(main, second);

  ProfileClassStarts starts{-1, -1, -1};
  const int32_t n = static_cast<int32_t>(segments.size());
  int state = 0;  // 0 before the cutter, 1 cutter, 2 shank, 3 arbor
  for (int32_t i = 0; i < n; ++i) {
    ProfileSegment& s = segments[static_cast<size_t>(i)];
    if (Carries(s, main)) {
      if (state < 2) {
        s.Class = kProfileCutting;
        if (state == 0) {
          starts[0] = i;
          state = 1;
        }
        continue;
      }
      // A cutter-styled piece between two shank pieces belongs to the shank.
      const bool insideShank = i > 0 && i < n - 1 &&
                               Carries(segments[static_cast<size_t>(i - 1)], second) &&
                               Carries(segments[static_cast<size_t>(i + 1)], second);
      if (insideShank) {
        s.Class = kProfileShank;
      } else {
        s.Class = kProfileArbor;
        if (state == 2) starts[2] = i;
        state = 3;
      }
    } else if (Carries(s, second)) {
      if (state >= 1 && state < 3) {
        s.Class = kProfileShank;
        if (state == 1) {
          starts[1] = i;
          state = 2;
        }
      } else {
        s.Class = kProfileNone;
      }
    } else if (Carries(s, third)) {
      s.Class = kProfileArbor;
      if (state == 2) starts[2] = i;
      state = 3;
    }
  }
  return starts;
}

ProfileDimensions DeriveToolFromProfile(std::span<const ProfileSegment> segments,
                                        const ProfileClassStarts& starts) {
  ProfileDimensions d;
  const int32_t n = static_cast<int32_t>(segments.size());
  if (n < 1) return d;
  const auto at = [&](int32_t i) -> const ProfileSegment& {
    return segments[static_cast<size_t>(i)];
  };
  for (int32_t i = 0; i < n; ++i)
    if (at(i).X2 > at(i).CentreX) d.LastOutwardIndex = i + 1;

  const int32_t c2 = starts[1], c3 = starts[2];
  // The cutting part: everything before the shank, or the whole outline.
  const int32_t cutEnd = c2 < 1 ? n : std::min(c2, n);
  double mx = at(0).X2, my = at(0).Y2, corner = 0.0;
  bool arcSeen = false;
  for (int32_t i = 0; i < cutEnd; ++i) {
    const ProfileSegment& s = at(i);
    mx = std::max(mx, s.X2);
    my = std::max(my, s.Y2);
    if (!arcSeen && (s.Kind == 2 || s.Kind == 3)) {
      corner = s.Kind == 3 ? s.Radius : -s.Radius;
      // A hollow corner ends where its arc rises to the centre's height plus
      // its radius: measured from the tip, not hung below it.
      if (s.Kind == 2) d.TipHeight = RoundToSingle(s.CentreY + s.Radius);
      arcSeen = true;
    }
  }
  d.Diameter = RoundToSingle(2.0 * mx);
  d.CuttingLength = RoundToSingle(my);
  d.CornerRadius = RoundToSingle(corner);

  if (c2 >= 0 && c3 >= 1 && c2 < c3 && c3 < n) {
    d.ShankDiameter = RoundToSingle(2.0 * at(c3).X1);
    d.ProtrusionLength = RoundToSingle(at(c3).Y1);
  } else {
    const ProfileSegment& last = at(n - 1);
    d.ShankDiameter = RoundToSingle(2.0 * std::max(last.X1, last.X2));
    d.ProtrusionLength = RoundToSingle(last.Y2);
  }

  if (c3 >= 1 && c3 < n) {
    double widest = 0.0, longest = 0.0;
    for (int32_t i = c3; i < n; ++i) {
      widest = std::max(widest, at(i).X2);
      longest = std::max(longest, at(i).Y2 - at(c3).Y2);
    }
    d.ArborDiameter = RoundToSingle(2.0 * widest);
    d.ArborLength = RoundToSingle(longest);
  }
  return d;
}

void ComputeProfileBounds(std::span<const ProfileSegment> segments, std::array<double, 2>& min,
                          std::array<double, 2>& max) {
  if (segments.empty()) return;
  min = {1e9, 1e9};
  max = {-1e9, -1e9};
  for (const ProfileSegment& s : segments) {
    min = {std::min({min[0], s.X1, s.X2}), std::min({min[1], s.Y1, s.Y2})};
    max = {std::max({max[0], s.X1, s.X2}), std::max({max[1], s.Y1, s.Y2})};
  }
}

}  // namespace vestan
