// The machine orientation codes: how a machine is shown lying in the view.
// Code 0 shows it as defined; 1-3 turn it +90, 180, -90 degrees about Z;
// 10-13 turn it +90 about Y, 20-23 -90 about Y, 30-33 +90 about X and 40-43
// -90 about X, each followed by none, +90, 180 or -90 about Z (the last
// digit). Any other code turns nothing.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// A vector of the view frame (as a mouse pan makes it) into the machine
// frame.
void RemapByMachineOrientation(int32_t code, Vec3& v);
// A vector of the machine frame into the view frame: the turn itself; the
// inverse of RemapByMachineOrientation.
void MapToViewOrientation(int32_t code, Vec3& v);

}  // namespace vestan
