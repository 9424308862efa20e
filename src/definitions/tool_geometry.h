// Stateless geometry of tool table values: percentages, exact quadrant
// angles, corner-arc offsets, the width of tapered tools, and the
// classification and dimensions of an imported 2-D tool outline.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "definitions/tool_table.h"

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

// Classes of outline segments.
enum ProfileClass : int32_t {
  kProfileUnclassified = -1,
  kProfileNone = 0,
  kProfileCutting = 1,
  kProfileShank = 2,
  kProfileArbor = 3,
};

// First segment index of the cutting part, the shank and the arbor (-1 where
// there is none).
using ProfileClassStarts = std::array<int32_t, 3>;

// Sorts a chained outline into cutting part, shank and arbor by the drawing
// attributes (linetype index, linetype value, colour) of its segments: the
// first attribute triple met is the cutting part's unless the outline holds
// exactly two and the first is dashed. Writes each segment's Class and
// returns the first index of each class.
ProfileClassStarts ClassifyProfileSegments(std::span<ProfileSegment> segments);

// Tool dimensions read off a classified outline.
struct ProfileDimensions {
  int32_t LastOutwardIndex = 0;  // 1 + last segment ending right of its centre
  float Diameter = 0.0f;
  float CornerRadius = 0.0f;  // first arc of the cutting part; negative when clockwise
  // A hollow (clockwise) corner: the height of its arc's top, where the
  // tool's full radius begins; 0 otherwise.
  float TipHeight = 0.0f;
  float CuttingLength = 0.0f;
  float ShankDiameter = 0.0f;
  float ProtrusionLength = 0.0f;
  float ArborDiameter = 0.0f;
  float ArborLength = 0.0f;
};

ProfileDimensions DeriveToolFromProfile(std::span<const ProfileSegment> segments,
                                        const ProfileClassStarts& starts);

// Bounding rectangle (x, y) of all start and end points; min and max are left
// as they are when there is no segment.
void ComputeProfileBounds(std::span<const ProfileSegment> segments, std::array<double, 2>& min,
                          std::array<double, 2>& max);

}  // namespace vestan
