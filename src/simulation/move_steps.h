// The per-step work of the run: a move prepared (rotary radii and length
// factors, rotary-lock alarms, rapid-cut arming, length and step count),
// divided into steps at the move pitch and, at each step, the position set,
// the machine position updated, the over-stroke checked, the pose cut, the
// structure checks, the cutting-load limits, the alarm test, StepStatus,
// the detailed interference lines and the redraw handshake; the blocks that
// change coordinate states without cutting; and NURBS curves span by span
// through the same work.
#pragma once

#include <cstdint>

#include "simulation/session.h"
#include "simulation/step_state.h"

namespace vestan {

// Steps for a move of length at pitch: ceiling(length / pitch), at least 1;
// -1 for a pitch of 0 or less, a length or pitch that is not finite, or more
// than kMaxStepsPerMove steps.
int64_t InterpolationStepCount(double length, double pitch);

// The arc length per degree of a rotary axis at the mean of the two radii.
double RotaryLengthFactor(double startRadius, double endRadius);

// The move after its block end: the special blocks handled, then the move
// interpolated (NURBS span by span) with the per-step work. The session's
// pass holds the state (RunPass::Steps); what ends the run is returned and
// kept in it.
MoveEnd SimulateMove(Session& session);

// The coordinate-state blocks: true when the move is to be interpolated.
bool HandleSpecialBlock(Session& session);

// Part of SimulateMove: an ordinary move, and a NURBS curve.
MoveEnd InterpolateMove(Session& session);
MoveEnd InterpolateNurbsMove(Session& session);

}  // namespace vestan
