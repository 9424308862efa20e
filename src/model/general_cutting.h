// Cutting the cutting part of the current tool, with the body that continues
// it and its neck step, out of one dexel direction at one pose: the tool's
// outline built from its cutter kind.
#pragma once

#include <cstdint>

#include "model/cut_grid_context.h"

namespace vestan {

// Cuts the current tool's outline at the pose (PosePoints 0-5, PoseAxis)
// from the columns of the context's range, for every cutter kind but the
// imported mesh. Per dexel line it unites up to five solids (tip shape,
// corner torus, taper cone, body, neck step) into at most two intervals and
// removes them, stamping the faces and feeding the height and chip-width
// checks. A RADIUS tool under CHIP-W CHECK OUTPUT raises CentreHeight with
// its chip probe, which changes no column. Always returns 0.
int32_t CutDexelGrid3(CutContext& cut, CutGridContext& grid);
// CutDexelGrid3 on the X, the Y and the Z context, their rows spread over
// the context's threads when the pass is large enough; the result is the
// one-thread result bit for bit.
void CutMainPass(CutContext& cut);

// Where the solids of the current tool's outline lie at the pose (for the
// cutters to skip dexel lines beyond): a distance from the axis none
// reaches, and an axis parameter from the tip none lies below. Unknown when
// the outline has no such bound (the chip probe of a RADIUS tool grows) or
// has lengths below 0.
PassReach GeneralCutReach(const CutContext& cut);

}  // namespace vestan
