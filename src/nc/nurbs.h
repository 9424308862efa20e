// NURBS curves of G6.2 (and G132) blocks: reading the control points,
// weights and knots from the block's lines into the pass's curve, the
// B-spline basis, points on the curve and the lengths of its spans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "definitions/controller_definition.h"
#include "model/position_state.h"
#include "nc/line_reader.h"
#include "nc/nc_context.h"
#include "nc/nurbs_curve.h"

namespace vestan {

// Sizes the buffers to their capacities (once) and sets Allocated.
void AllocNurbsBuffers(NurbsCurve& curve);
// Frees them and clears Allocated.
void FreeNurbsBuffers(NurbsCurve& curve);

// Reads the curve from offset in the current line (where the words after
// G6.2 begin) and the lines that follow: P the order (first line only), the
// knot letter a knot, X, Y and Z the control coordinates (reversed,
// incremental and scaled as axis words are; a coordinate a point line does
// not give repeats the previous one), R the weight, F the feed (first line
// only). Lines with no coordinate and no weight carry only knots until
// points + order knots have been read. Each point is also the move's end
// and the program position. Returns 1 when the knot list is complete, 0
// when the program ended first or the curve was refused (alarm
// kAlarmNurbsData, with a log line naming the line).
int32_t ReadNurbsBlocks(NcContext& context, const NcPassRecords& records, NcReader& reader,
                        size_t offset, char knotLetter);

// The order basis functions non-zero on span (knots span and span + 1) at
// t, for the control points span - order + 1 .. span, by the Cox-de Boor
// recursion; a term over a knot difference of 0 adds nothing. out holds
// order values. Order must be 1 to kNurbsMaxOrder.
void ComputeBsplineBasis(const NurbsCurve& curve, int32_t order, int32_t span, double t,
                         std::span<double> out);

// The curve point at t on span: written into out at the machine axis slots
// that the controller's address letters give X, Y and Z. False (out
// unchanged) when the weighted basis sums to 0 or the point is not finite.
bool EvaluateNurbsPoint(const NurbsCurve& curve, const ControllerDefinition& controller,
                        int32_t order, int32_t span, double t, AxisPosition& out);

// The length of span as 10 chords.
double GetNurbsSpanLength(const NurbsCurve& curve, const ControllerDefinition& controller,
                          int32_t span);
// The sum over the spans of non-zero width.
double GetNurbsCurveLength(const NurbsCurve& curve, const ControllerDefinition& controller);

// The first and the last span of the curve (last below first: none).
inline int32_t FirstNurbsSpan(const NurbsCurve& curve) { return curve.Order - 1; }
inline int32_t LastNurbsSpan(const NurbsCurve& curve) {
  return curve.KnotCount - curve.Order - 1;
}

}  // namespace vestan
