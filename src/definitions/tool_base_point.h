// Where a tool's length is measured to: the tool table's TOOL BASE POINT and
// the tool length mode of a length booking follow one rule.
#pragma once

#include <cstdint>

#include "definitions/tool_table.h"

namespace vestan {

enum ToolBasePoint : int32_t {
  kBaseBottom = 0,            // the tip
  kBaseBallCentre = 1,        // corner radius of ball and taper-ball tools
  kBaseFullRadiusCentre = 2,  // height of the corner-arc centre
  kBaseCornerHeight = 3,      // corner radius of a tool without a bottom angle
  kBaseLengthTop = 4,         // protrusion length of the shank
  kBaseArborTop = 5,          // the arbor's top
};

// What the tool set-up derives that two of the rules need.
struct ToolBaseHeights {
  double FullRadiusHeight = 0.0;  // corner-arc centre above the tip
  // What ARBOR-TOP measures to: the table adds the machine's whole reference
  // length, a length booking the profile height (the holder offset apart).
  double ArborTopHeight = 0.0;
};

// Height of the base point above the tip for the mode; 0 for an unknown mode
// and for a rule that does not apply to the tool.
double ToolBasePointHeight(int32_t mode, const ToolRecord& tool, const ToolShankRecord& shank,
                           const ToolBaseHeights& heights);

}  // namespace vestan
