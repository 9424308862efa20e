// The rotary angles that point the tool along a requested tool axis: both
// solutions, filtered by the solution sign, brought next to the previous
// angles and into the rotary ranges, with the long-move warning and the
// choice between two; and the interpreter's direct solution.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "foundation/vector_math.h"
#include "machine/rotary_angles.h"
#include "machine/rotary_axes.h"

namespace vestan {

// The rotary ranges a solution must keep to: the machine strokes of the
// rotary axes, or the controller's own rotary ranges (interpreter calls).
struct RotaryRanges {
  std::array<int32_t, 2> Enabled{};
  std::array<double, 2> Minimum{};
  std::array<double, 2> Maximum{};
};

RotaryRanges MachineRotaryRanges(const StrokeLimits& limits);
RotaryRanges ControllerRotaryRanges(const ControllerDefinition& controller);

// What one run (or one interpreter pass) keeps between solutions: how many
// solutions the previous call accepted. Set to 0 when tool-vector tool-tip
// control starts.
struct RotarySolveContext {
  int32_t PreviousAcceptCount = 0;
};

// Told when the solution jumps: the previous rotary angles and the new ones
// (degrees).
using LongRotaryMoveWarning =
    std::function<void(double previous1, double previous2, double new1, double new2)>;

// Everything a solution reads, and where it keeps its count.
struct RotarySolver {
  const MachineKinematics& Kinematics;
  const ControllerDefinition& Controller;
  const RotaryModalInputs& Modal;
  RotarySolveContext& Context;
  LongRotaryMoveWarning Warn;  // may be empty
};

// The rotary angles (degrees) that point the tool along axis, chosen near
// previous and within ranges; (0, 0) when no solution fits. Plain axes with
// the tool along Z take closed forms; an angle head's tool direction and an
// inner axis about Z are solved on the machine's rotations; inclined axes
// are handed to SolveRotaryAnglesWithCheck. Along the outer axis the outer
// angle stays as it was (under a tilted plane: the plane's angle).
RotaryAngles ChooseRotaryAnglesForToolAxis(const RotarySolver& solver, const Vec3& axis,
                                           const RotaryAngles& previous,
                                           const RotaryRanges& ranges);

// The same for machines with an inclined rotary axis: a head about Z
// carrying an axis tilted toward Z in closed form, any other layout on the
// machine's rotations. An axis out of reach gives (0, 0), no solution.
RotaryAngles SolveRotaryAnglesWithCheck(const RotarySolver& solver, const Vec3& axis,
                                        const RotaryAngles& previous, const RotaryRanges& ranges);

// The interpreter's solution without previous angles: of the solutions the
// solution sign allows and the machine strokes hold (turned one turn into
// them where needed), the one with the smallest |angle1| + |angle2|; (0, 0)
// when none.
RotaryAngles SolveRotaryAnglesFromVector(const MachineKinematics& kinematics,
                                         const ControllerDefinition& controller,
                                         const RotaryModalInputs& modal, const StrokeLimits& limits,
                                         const Vec3& axis);

}  // namespace vestan
