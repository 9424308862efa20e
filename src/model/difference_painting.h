// Painting where the cut workpiece departs from the basic model: surface
// values outside the basic model grown by the margin (Area +1) or inside it
// shrunk by the margin (Area -1) get the mark bit or a pen tag, optionally
// with every surface value within a width of them.
#pragma once

#include <cstdint>

#include "definitions/settings.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "model/model_flag_passes.h"
#include "model/work_document.h"
#include "platform/progress.h"

namespace vestan {

// Compares every value of the workpiece with the difference model (built or
// reused by UpdateDifferenceModel), removes the earlier paint as
// settings.ClearPrevious asks, and paints what differs (with the emphasis
// when settings.EmphasisWidth > 0). Only flag bytes of the workpiece change.
// Returns kModelOk; 0, painting nothing, without a basic model or a
// workpiece; a negative code, painting nothing, when the difference model or
// the paint layer cannot be had.
int PaintModelDifference(WorkDocument& document, DifferenceSettings& settings,
                         ProgressState& progress);

// Applies the layer's non-zero bytes to the model's flags: the mark bit
// (PenColouring 0) or pen tag Pen (PenColouring 1), with TargetByPen only on
// values whose pen tag is TargetPen.
void MergePaintLayer(DexelModel& model, DexelFlagSnapshot& layer,
                     const DifferenceSettings& settings);

// Paints a ball of radius width about every value whose layer byte is set.
void PaintEmphasisRange(DexelModel& model, double width, DexelFlagSnapshot& layer,
                        const DifferenceSettings& settings, ProgressState& progress);

// Paints every value of the three sets within radius (inclusive) of centre
// (model coordinates), whatever its pen: the mark bit, or pen tag Pen.
void PaintSphere(DexelModel& model, const Vec3& centre, double radius,
                 const DifferenceSettings& settings);

// Clears the mark bit of every value whose pen tag is targetPen.
void ClearMarksOfPen(DexelModel& model, int32_t targetPen);

}  // namespace vestan
