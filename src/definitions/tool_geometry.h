// Stateless geometry of tool table values: percentages, exact quadrant
// angles, corner-arc offsets and the width of tapered tools.
#pragma once

#include <string_view>

namespace vestan {

// True when the text holds a '%' and a ',' and the first '%' comes first.
bool HasPercentBeforeComma(std::string_view text);

// Cosine and sine of an angle in degrees, exact at the quadrant angles
// (0, ±90, ±180, ±270, ±360).
void AngleCosSin(double degrees, double& cosine, double& sine);

// Radial offset D/2 - R - w of a corner arc of radius R at height h above the
// tip, where w is the arc's horizontal reach at that height (R when h >= R).
double ComputeCornerOffset(double diameter, double cornerRadius, double height);

// Adjusts width (in and out) to the width of a tapered tool of diameter D,
// corner radius R, bottom angle G and taper angle A (degrees) at height H.
void ComputeTaperToolWidth(double diameter, double cornerRadius, double bottomAngle,
                           double taperAngle, double height, float& width);

// Diameter of a taper ball end mill of ball radius R and taper angle A
// (degrees): 2R(sin a tan a - tan a + cos a).
double TaperBallDiameter(double cornerRadius, double taperAngle);

}  // namespace vestan
