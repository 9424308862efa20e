// The per-step work of the run: a move prepared (rotary radii and length
// factors, rotary-lock alarms, rapid-cut arming, length and step count),
// divided into steps at the move pitch and, at each step, the position set,
// the machine position updated, the over-stroke checked, the pose cut, the
// structure checks, the cutting-load limits, the alarm test, StepStatus,
// the detailed interference lines and the redraw handshake; the blocks that
// change coordinate states without cutting; and NURBS curves span by span
// through the same work.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "machine/path_geometry.h"
#include "machine/rotary_angles.h"
#include "machine/rotary_axes.h"
#include "nc/block_end.h"
#include "nc/nc_context.h"
#include "nc/nurbs.h"
#include "simulation/session.h"
#include "simulation/step_state.h"

namespace vestan {

// Steps for a move of length at pitch: ceiling(length / pitch), at least 1;
// -1 for a pitch of 0 or less, a length or pitch that is not finite, or more
// than kMaxStepsPerMove steps.
int64_t InterpolationStepCount(double length, double pitch);

// The arc length per degree of a rotary axis at the mean of the two radii.
double RotaryLengthFactor(double startRadius, double endRadius);

// Tool-vector mode: the tool axis of a move turns from the axis of its
// start angles to that of its end angles step by step (turned by the path
// angle where the mode has one), and the rotary angles follow it.
struct ToolVectorMove {
  bool On = false;
  ToolVectorSteps Steps;
  Vec3 Tangent{};
  RotaryAngles Previous{};  // machine angles of the step before
};

// The steps of an ordinary move as its block gives them. The run and the
// path drawing both step through this, so the drawn path is the run's.
struct MoveStepPlan {
  // Under a rotation, a mirror image or an OSP work-offset rotation the
  // steps run between the places the block end gives.
  bool Transformed = false;
  AxisPosition Start{};
  AxisPosition End{};  // its rotary axes by the route taken
  std::array<double, 5> Delta{};
  double LengthFactorA = 0.0;
  double LengthFactorB = 0.0;
  bool Rapid = false;
  bool Arc = false;
  // G53, a tool-axis direction block or a move from the reference point:
  // the steps run in machine coordinates.
  bool MachineMove = false;
  // A move below the tolerance that is stepped all the same.
  bool Forced = false;
  double Length = 0.0;
  std::array<size_t, 3> PlaneAxes{0, 1, 2};
  // -1: more steps than a move may take, or no pitch.
  int64_t Count = 0;
  AxisPosition MachineStart{};
  AxisPosition MachineEnd{};
  AxisPosition MachineStep{};
  std::array<double, 5> Step{};
  double AngleStep = 0.0;
  RotaryModalInputs RotaryInputs;
  ToolVectorMove Vector;
};

// The move of the context worked out for stepping at the move pitch; the
// rotary radii move on in st (the end radii become the next start radii).
MoveStepPlan PlanMoveSteps(NcContext& nc, const NcPassRecords& records, MoveStepState& st);

// Divides the plan into n steps (n >= 1).
void SetMoveStepCount(MoveStepPlan& plan, const NcContext& nc, const NcPassRecords& records,
                      int64_t n);

// Sets the position of step i (1..Count): the machine position of a
// machine-coordinate move, else the program position. The machine position
// of a program position is the caller's to update.
void PlaceMoveStep(MoveStepPlan& plan, NcContext& nc, const NcPassRecords& records, int64_t i);

// Steps through the plan; atStep(i) does the step's work once its position
// is set and returns false to stop the move there.
template <class AtStep>
void StepMove(MoveStepPlan& plan, NcContext& nc, const NcPassRecords& records, AtStep&& atStep) {
  for (int64_t i = 1; i <= plan.Count; ++i) {
    PlaceMoveStep(plan, nc, records, i);
    if (!atStep(i)) break;
  }
}

// The next block reads on from the commanded end: a transformed end gives
// it only the rotary axes' route.
void KeepMoveEnd(const MoveStepPlan& plan, NcMove& move);

// A shortest-route rotary axis with an enabled stroke is kept in it.
void WrapShortestRouteRotaries(const NcPassRecords& records, AxisPosition& at);

// How stepping a NURBS curve ended.
enum class NurbsStepEnd { kDone, kStopped, kTooManySteps, kNoPoint };

// Step j (1..Count) of span Span; Last is the curve's last span.
struct NurbsStep {
  int32_t Span = 0;
  int32_t Last = 0;
  int64_t Index = 0;
  int64_t Count = 0;
  double StepLength = 0.0;
};

// A NURBS curve of the context stepped span by span from where the tool
// stands (spans of equal knots have no points): at each step the point is
// the move's end and the program position, and atStep(step) does the
// step's work, false ending the span; afterSpan(step) after each span,
// false ending the curve (kStopped). st.Steps is the span's count.
template <class AtStep, class AfterSpan>
NurbsStepEnd StepNurbsCurve(NcContext& nc, const NcPassRecords& records, MoveStepState& st,
                            double pitch, AtStep&& atStep, AfterSpan&& afterSpan) {
  NurbsCurve& curve = nc.Nurbs;
  const ControllerDefinition& ctl = records.Defs.Controller;
  NurbsStep step;
  step.Last = curve.Allocated != 0 ? LastNurbsSpan(curve) : -1;
  AxisPosition current = nc.Position.ProgramPosition;
  for (step.Span = FirstNurbsSpan(curve); step.Span <= step.Last; ++step.Span) {
    const double k0 = curve.Knots[static_cast<size_t>(step.Span)];
    const double k1 = curve.Knots[static_cast<size_t>(step.Span + 1)];
    if (k1 == k0) continue;
    const double spanLength = GetNurbsSpanLength(curve, ctl, step.Span);
    const int64_t n = InterpolationStepCount(spanLength, pitch);
    if (n < 0) return NurbsStepEnd::kTooManySteps;
    st.Steps = step.Count = n;
    step.StepLength = spanLength / static_cast<double>(n);
    for (step.Index = 1; step.Index <= n; ++step.Index) {
      const double di = static_cast<double>(step.Index);
      const double t = step.Index == n ? k1 : k0 + di * (k1 - k0) / static_cast<double>(n);
      nc.Move.Start = current;
      nc.Move.End = current;
      if (!EvaluateNurbsPoint(curve, ctl, curve.Order, step.Span, t, nc.Move.End))
        return NurbsStepEnd::kNoPoint;
      FinishMove(nc, records);
      current = nc.Move.End;
      nc.Position.ProgramPosition = current;
      if (!atStep(static_cast<const NurbsStep&>(step))) break;
    }
    if (!afterSpan(static_cast<const NurbsStep&>(step))) return NurbsStepEnd::kStopped;
  }
  return NurbsStepEnd::kDone;
}

// The move after its block end: the special blocks handled, then the move
// interpolated (NURBS span by span) with the per-step work. The session's
// pass holds the state (RunPass::Steps); what ends the run is returned and
// kept in it.
MoveEnd SimulateMove(Session& session);

// What the coordinate-state blocks work on.
struct SpecialBlockRecords {
  NcContext& Nc;
  const NcPassRecords& Records;
  MoveStepState& Steps;
  WorkpiecePlacement Placement;
  // The layout tools' shift the tool change left.
  ToolChangerState& Changer;
  // The run's status panes; none for a pass that shows nothing.
  const RunViewHooks* View = nullptr;
};

// The coordinate-state blocks: true when the move is to be interpolated.
bool HandleSpecialBlock(const SpecialBlockRecords& blocks);
bool HandleSpecialBlock(Session& session);

// Part of SimulateMove: an ordinary move, and a NURBS curve.
MoveEnd InterpolateMove(Session& session);
MoveEnd InterpolateNurbsMove(Session& session);

}  // namespace vestan
