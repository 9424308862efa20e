// Placing machine part points by the machine position and rotary angles for
// the interference checks, the box of a part moved by a position, and the
// tool tip's radii about the rotary axes.
#pragma once

#include <array>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "foundation/vector_math.h"
#include "machine/rotary_axes.h"
#include "model/part_transforms.h"
#include "model/position_state.h"

namespace vestan {

// Everything a part placement reads, taken once per check so that placing a
// point costs no look-up: the rotary type, both axes as the definition turns
// them, the sines and cosines of the current angles (MachinePositionState's
// RotarySinCos: sin 1, cos 1, sin 2, cos 2) and the head and table points.
struct PartTransformFrame {
  int32_t RotaryType = kRotaryNone;
  RotaryAxisFrame First;
  RotaryAxisFrame Second{2, 0, 1};
  RotarySinCos SinCos{0.0, 1.0, 0.0, 1.0};
  Vec3 HeadPosition{};
  Vec3 TablePosition{};
  Vec3 TableOffset{};
  Vec3 HeadOffset{};
};

PartTransformFrame MakePartTransformFrame(const MachineKinematics& kinematics,
                                          const RotarySinCos& sinCos);

// The axis-aligned box of the 8 corners of [boxMin, boxMax] each moved by
// position.
void TransformPartGeometry(const Vec3& boxMin, const Vec3& boxMax, const Vec3& position,
                           Vec3& outMin, Vec3& outMax);

// A part point p (part model coordinates) in machine coordinates at the
// machine position P (X, Y, Z). R1 and R2 turn about rotary 1 and 2 with
// their inclination, R1p and R2p are the plain turns; "on b2, c2" changes
// only the two plane axes of rotary 2.
//
// HEAD1 on MIX machines: R1 about the head position, moved by P, then R2p
// about the table position on b2, c2.
Vec3 TransformInterferencePart(const PartTransformFrame& frame, const Vec3& position,
                               const Vec3& p);
// HEAD2 on HEAD machines: R2 about the head offset (on b2, c2), then R1p,
// moved by P.
Vec3 TransformInterferencePart2(const PartTransformFrame& frame, const Vec3& position,
                                const Vec3& p);
// HEAD in the TABLE2 frame of TABLE machines: moved by P less the table
// position, R1, R2p about the table offset on b2, c2, plus the table
// position.
Vec3 TransformInterferencePart3(const PartTransformFrame& frame, const Vec3& position,
                                const Vec3& p);
// HEAD1 on HEAD machines R1p then moved by P; on other machines R1 about the
// head position, moved by P.
Vec3 TransformInterferencePart4(const PartTransformFrame& frame, const Vec3& position,
                                const Vec3& p);
// HEAD on TABLE machines: moved by P, then R1 about the table position; on
// MIX machines R2p about the table position on b2, c2; else moved only.
Vec3 TransformInterferencePart5(const PartTransformFrame& frame, const Vec3& position,
                                const Vec3& p);

// The distances of the tool tip from rotary axis 1 and 2 at a 5-axis
// position (angles in degrees, taken with the axes' direction signs);
// referenceLength is ReferenceToolLength. Both 0 on a machine without
// rotary type.
std::array<double, 2> ComputeRotaryRadii(const MachineKinematics& kinematics,
                                         const ControllerDefinition& controller,
                                         double referenceLength, const AxisPosition& position);

}  // namespace vestan
