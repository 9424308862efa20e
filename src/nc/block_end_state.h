// What completing a block's end position keeps from one block to the next:
// the current and previous program positions, the arc centre's working copy
// and normal, the OSP work-offset rotation and angle correction, the
// programmable mirror image, and the rotary warning report.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"
#include "model/position_state.h"
#include "platform/file_open.h"

namespace vestan {

// OSP work-offset rotation and angle correction states.
inline constexpr int32_t kOspOff = 0;
inline constexpr int32_t kOspStarting = 1;
inline constexpr int32_t kOspActive = 2;
inline constexpr int32_t kOspEnding = 3;

struct OspWorkOffsetRotation {
  int32_t State = kOspOff;
  // First and second axis of the rotation plane, then the third.
  std::array<int32_t, 3> Axes{0, 1, 2};
  double Angle = 0.0;  // degrees
  double Cos = 1.0;
  double Sin = 0.0;
};

struct MirrorImageState {
  int32_t On = 0;
  std::array<int32_t, 3> Mirrored{};  // X, Y, Z
  Vec3 Centre{};
  // One-shot, set by the motion driver for each arc.
  int32_t ReverseArc = 0;
};

struct BlockEndState {
  // The move's start and where the block leaves the tool, with the tool
  // length, rotation and mirror image applied.
  AxisPosition Previous{};
  AxisPosition Current{};
  Vec3 CentreCopy{};  // the arc centre with the same treatment
  Vec3 ArcNormal{0.0, 0.0, 1.0};
  int32_t ArcDirection = 1;  // -1 once a mirror image reversed the arc

  OspWorkOffsetRotation OspRotation;
  int32_t AngleCorrection = kOspOff;  // shown as "Angle Hosei"
  MirrorImageState Mirror;
  // The rotation being ended turned about the origin (an axis word).
  int32_t RotateAboutOrigin = 0;
  // The extra offset: the previous tool length added on the length axis.
  int32_t ExtraLengthOffset = 0;

  // The rotary warning report, opened by the first long rotary movement.
  int32_t WarningOption = 0;  // 1 or more: on
  FileStream WarningStream;
  int32_t WarningCount = 0;
};

}  // namespace vestan
