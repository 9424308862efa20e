// Cutter-radius compensation of the motion driver: offset records, outer
// and inner corners, and the start-up, run and cancel of compensation over
// the look-ahead moves.
#pragma once

#include <cstdint>
#include <vector>

#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_context.h"

namespace vestan {

// ComputeOffsetCorner modes.
inline constexpr int32_t kOffsetStart = 0;  // start of compensation: start not displaced
inline constexpr int32_t kOffsetBoth = 1;
inline constexpr int32_t kOffsetEnd = 2;  // cancel: from the last offset end to the programmed end

// The live move displaced by the radius offset into the offset stream's next
// record. An offset arc whose radius turns negative raises alarm 6 while the
// check is on.
void ComputeOffsetCorner(NcContext& context, const NcPassRecords& records, int32_t mode);

// 1 when the corner between the previous and the current programmed move
// turns away from the offset side (the offset paths part there), else 0.
int32_t DetectOuterCorner(const NcContext& context);

// Appends the points (mode 1) that join an outer corner with straight
// extensions: from p1 (the previous offset end) to p2 (the current offset
// start) about the programmed corner c with offset radius r, in the plane of
// axes first and second; direction 2 clockwise, 3 counter-clockwise.
void ComputeOuterCornerPoints(int32_t direction, const Vec3& p1, const Vec3& p2, const Vec3& c,
                              double r, int32_t first, int32_t second,
                              std::vector<QueuedPoint>& points);

// The next collected normal-axis move or tool-axis change as the live move;
// false when none is pending. With a work-offset change pending the moves run
// under the old offset, and the last one takes the new one.
bool TakeCollectedMove(NcContext& context, const NcPassRecords& records, MotionDriver& driver);

// How a move uses a pending work-offset change.
enum class OffsetChangeUse {
  kOld,         // programmed before the change: the old offset stays in force
  kNew,         // the first move after it: the new offset, the live end shifted into it
  kNewInPlace,  // the live move is in the new coordinates already
};

// Puts the composed work offset the move runs under in force; kNew and
// kNewInPlace clear the change. Returns what the live end moved by (old -
// new), zero when it did not move.
AxisPosition ApplyWorkOffsetChange(NcContext& context, const NcPassRecords& records,
                                   OffsetChangeUse use);

// The block just interpreted switched compensation on: reads ahead to the
// next block that moves in the plane and leaves the start-up move.
void StartCompensation(NcContext& context, const NcPassRecords& records, NcReader& reader,
                       MotionDriver& driver);

// With compensation on or being cancelled: the previous offset move, its
// corner queued behind it, or the cancel move.
void ContinueCompensation(NcContext& context, const NcPassRecords& records, NcReader& reader,
                          MotionDriver& driver);

}  // namespace vestan
