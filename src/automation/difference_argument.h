// The difference-painting argument of the command line's -XD and the macro
// keyword DIFF: "+0.1H5K,0.2" paints where the work lies 0.1 outside the
// basic model with pen 5, keeps same-coloured paint, and emphasises 0.2.
#pragma once

#include <cstdint>
#include <string_view>

#include "definitions/settings.h"

namespace vestan {

// Fills the values the difference keys of the settings would give: an
// optional "+" or "-" (the side), the margin, then after the next "H" or "N"
// either "P" (paint with the penki colour) or a pen number of one or two
// digits, an optional "K" (keep same colour) and an optional "," with the
// emphasis width. Without "H" or "N" only the side and margin change; with
// nothing after it the penki colour is chosen. A pen outside 1-15 is taken
// as pen 1, as the settings reader does. Returns 1 when text follows what
// was read, else 0.
int32_t ParseDiffArgument(std::string_view text, DifferenceSettings& difference);

}  // namespace vestan
