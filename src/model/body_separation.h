// Splitting a cut workpiece into the bodies that no longer touch: the
// segments of the three dexel directions are joined where they share a grid
// point, a flood fill from a picked segment finds its body, and the model is
// rebuilt keeping only that body or everything but it.
//
// Calling order: CountDexelSegments, BeginProgress with the total,
// AllocDexelArrays (model_flag_passes.h) with the largest counts as the visit
// bytes and the total as the stack, ClearSegmentVisitFlags,
// TraceConnectedPiece, EndProgress; on kSeparateBody PushModelHistory and
// RebuildSeparatedPiece; FreeSeparationBuffers.
#pragma once

#include <cstdint>
#include <functional>

#include "model/dexel_model.h"
#include "model/model_flag_passes.h"
#include "platform/progress.h"

namespace vestan {

// Results of TraceConnectedPiece.
inline constexpr int kSeparateBody = 1;  // some segments stayed unreached
inline constexpr int kWholeModel = -1;    // the model is one body
inline constexpr int kBadSeed = -2;       // the seed is not a segment of the model
inline constexpr int kTraceAborted = -3;  // the abort key stopped the trace

// Modes of RebuildSeparatedPiece.
inline constexpr int32_t kKeepBody = 0;    // remain: only the traced body stays
inline constexpr int32_t kRemoveBody = 1;  // unused: the traced body goes

// Visit bytes of a segment.
inline constexpr uint8_t kSegmentUnreached = 0;
inline constexpr uint8_t kSegmentQueued = 1;
inline constexpr uint8_t kSegmentDone = 2;

// Number of segments (value pairs) of the model; the largest count of one
// column per direction goes to the outputs.
int64_t CountDexelSegments(const DexelModel& model, int32_t& largestX, int32_t& largestY,
                           int32_t& largestZ);

// Every segment unreached; every column's remaining count = its segments.
void ClearSegmentVisitFlags(const DexelModel& model, DexelVisitTables& tables);

// Flood fill from seed (its segment index is the picked value index halved).
// Advances the progress per segment and pumps while the shell allows it.
// abortKeyDown (may be empty) is polled per segment: true stops the trace.
// The model is never changed.
int TraceConnectedPiece(const DexelModel& model, const SegmentStackEntry& seed,
                        DexelVisitTables& tables, ProgressState& progress,
                        const std::function<bool()>& abortKeyDown);

// Removes the unreached segments (kKeepBody) or the reached ones
// (kRemoveBody) and marks the update blocks they covered. Kept values keep
// their flags and attributes.
void RebuildSeparatedPiece(DexelModel& model, int32_t mode, const DexelVisitTables& tables);

// Releases the visit tables and the stack.
void FreeSeparationBuffers(DexelVisitTables& tables);

}  // namespace vestan
