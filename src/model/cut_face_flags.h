// The flags of the faces a cut makes, and the checks a cut feeds: cutting
// height (HEIGHT CHECK), chip width (CHIP-W CHECK) and faces cut beyond the
// cutting length.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <span>

#include "model/cut_grid_context.h"

namespace vestan {

// Axis numbers are model axes (0 = X). A dexel line has its coordinate u on
// axisU, v on axisV and its values on axisW; lineHeight is the height of the
// line's point at value 0 above the tip plane: Normal[axisU] * u +
// Normal[axisV] * v + PlaneConstant.

// Height of the line's point at a value above the tip plane, along the axis.
inline double HeightAboveTip(const ToolPose& pose, int32_t axisW, double lineHeight, double value) {
  return pose.Normal[axisW] * value + lineHeight;
}

// Both face flags are the tool's pen tag; outside a canned-cycle feed, a face
// whose height exceeds the cutting length gets bit 0.
inline std::array<uint8_t, 2> TestPointOutsideToolBand(const CutContext& cut, int32_t axisW,
                                                       double lineHeight,
                                                       const std::array<double, 2>& faces) {
  const uint8_t pen = cut.Records.Tool.PenTag;
  uint32_t low = pen, high = pen;
  if (cut.Records.Run.CycleFeedFlag == 0) {
    if (std::fabs(HeightAboveTip(cut.Pose, axisW, lineHeight, faces[0])) > cut.Pose.CutLimit)
      low |= kFlagMark;
    if (std::fabs(HeightAboveTip(cut.Pose, axisW, lineHeight, faces[1])) > cut.Pose.CutLimit)
      high |= kFlagMark;
  }
  // Put together in a register: two byte stores read back as one pair would
  // stall on store forwarding.
  const uint32_t pair = std::endian::native == std::endian::little ? low | high << 8 : high | low << 8;
  return std::bit_cast<std::array<uint8_t, 2>>(static_cast<uint16_t>(pair));
}

// Sets bit 0 of a face that lies strictly inside the tool's centre zone (the
// non-cutting centre of a VERTICAL tool); other bits stay.
void FlagCentreZoneFaces(const CutContext& cut, int32_t axisU, int32_t axisV, int32_t axisW,
                         double u, double v, const std::array<double, 2>& faces,
                         std::array<uint8_t, 2>& flags);

// The height check over removed values: HEIGHT CHECK OUTPUT raises
// MaxCutHeight, a stopping check sets HeightHitFlag for a value beyond the
// cutting length.
void RecordCutHeight(CutContext& cut, int32_t axisW, double lineHeight,
                     std::span<const double> removed);

// The chip-width check over removed values: CHIP-W CHECK OUTPUT raises
// TipWidth, a stopping check sets ChipWidthHitFlag for a value inside the
// centre zone.
void RecordChipWidth(CutContext& cut, int32_t axisU, int32_t axisV, int32_t axisW, double u,
                     double v, std::span<const double> removed);

}  // namespace vestan
