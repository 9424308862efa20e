#include "definitions/tool_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vestan {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// tan of an angle given in degrees, with tan 45° exactly 1.
double TanDegrees(double degrees) {
  return degrees == 45.0 ? 1.0 : std::tan(degrees * kRadiansPerDegree);
}

}  // namespace

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
  const double m = (a + g) / 2.0 + std::numbers::pi / 4.0;
  const double tanM = a + g == 0.0 ? 1.0 : std::tan(m);
  const double reach = h + std::sin(a) * cornerRadius / tanM;
  width = static_cast<float>(std::max(static_cast<double>(width), 2.0 * reach));
  if (bottomAngle == 45.0 && taperAngle == 45.0) {
    width = static_cast<float>(std::min(static_cast<double>(width), 2.0 * height));
    return;
  }
  const double top = 2.0 * (h + TanDegrees(taperAngle) * (height - TanDegrees(bottomAngle) * h));
  width = static_cast<float>(std::min(static_cast<double>(width), top));
}

double TaperBallDiameter(double cornerRadius, double taperAngle) {
  const double a = taperAngle * kRadiansPerDegree;
  return 2.0 * cornerRadius * (std::sin(a) * std::tan(a) - std::tan(a) + std::cos(a));
}

}  // namespace vestan
