// The motion driver: interpreted blocks into the moves a run executes, one
// per call, with rapid moves decomposed by the controller's rapid-path kind,
// canned-cycle points, reference returns through an intermediate point, and
// cutter-radius compensation with a look-ahead of one moving block.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/vector_math.h"
#include "nc/drilling_cycles.h"
#include "nc/line_reader.h"
#include "nc/nc_context.h"

namespace vestan {

// Compensation phases.
inline constexpr int32_t kCompensationOff = 0;
inline constexpr int32_t kCompensationOn = 1;
inline constexpr int32_t kCompensationCancelling = 2;

// Rapid-path kinds of the controller definition.
inline constexpr int32_t kRapidWhole = 0;
inline constexpr int32_t kRapidSameSpeed = 1;    // every axis at one speed
inline constexpr int32_t kRapidAccelerated = 2;  // each axis its own speed and acceleration
inline constexpr int32_t kRapidWholeToo = 9;

// Reference-return stages.
inline constexpr int32_t kReferenceIntermediate = 1;

// A rapid move split into sub-moves: their ends, or for the accelerated kind
// the per-axis profiles that give them.
struct RapidSubMoves {
  int32_t Kind = kRapidWhole;
  int32_t Count = 0;
  int32_t Index = 0;
  std::vector<AxisPosition> Ends;  // same-speed kind
  // Accelerated kind.
  AxisPosition Start{};
  AxisPosition End{};
  double TotalTime = 0.0;
  std::array<double, 3> Speed{}, Acceleration{}, AxisTime{}, AccelerationTime{};
};

// What the controller and the machine give a rapid move.
struct RapidMachine {
  std::array<double, 3> RapidRate{};     // per minute
  std::array<double, 3> Acceleration{};  // the machine definition's, times 1000 per second squared
  double Pitch = 1.0;                    // interpolation pitch
};

// A point of the queue: its motion mode and end (X, Y, Z).
struct QueuedPoint {
  int32_t Mode = kMotionLinear;
  Vec3 Position{};
};

// The radius-offset interference alarm and the offset-radius check (alarm
// code 6) are on with the controller definition's CHECK RADIUS OFFSET.
struct MotionDriverOptions {
  int32_t DataCheck = 0;  // a data check is running: no interference alarm
};

struct MotionDriver {
  MotionDriverOptions Options;
  // An inner corner whose offset elements do not meet by more than 0.01:
  // the run writes the "alarm.txt" entry. Empty: nothing is written.
  std::function<void(const NcContext&, double radiusOffset)> RadiusOffsetInterference;

  int32_t Phase = kCompensationOff;
  int32_t CornerArcRequest = 0;  // G39: the next outer corner is an arc
  int32_t OuterCorner = 0;

  std::vector<QueuedPoint> Points;
  int32_t PointIndex = 0;
  Vec3 ArcCentre{};
  int32_t CyclePoints = 0;  // the queue holds a canned cycle's points
  double CycleInitialLevel = 0.0;

  RapidSubMoves Rapid;
  // Moves of the normal axis alone: the value and the motion mode.
  std::vector<std::pair<double, int32_t>> NormalMoves;
  int32_t NormalIndex = 0;
  // Tool-axis changes: start and end vectors.
  std::vector<std::pair<Vec3, Vec3>> ToolAxisChanges;
  int32_t ToolAxisIndex = 0;
};

// Empties the queues and ends compensation, as at the start of a pass.
void ResetMotionDriver(MotionDriver& driver);

// Whether the line is the program-start character (blanks may come
// first); a blank character means the controller has none.
bool IsProgramStartMark(std::string_view line, char mark);

// Leaves the next move in context.Move (context.Modal.MoveExists tells
// whether it moves), its motion mode and cutting switch in context.Run, or,
// at the end of the program, end state 1 or 2.
void NextNcMove(NcContext& context, const NcPassRecords& records, NcReader& reader,
                MotionDriver& driver);

// Whether moves are still queued for the driver to hand out before it reads
// another line: pending move ends, split rapids, cycle, corner and normal-axis
// points, tool-axis changes, a reference return's second move, a
// compensation cancel.
bool MotionDriverHoldsMoves(const NcContext& context, const MotionDriver& driver);

// Splits a rapid move into sub-moves by kind: the same-speed kind into up to
// three straight moves (the smallest travel first), the accelerated kind into
// pitch-long steps along the axes' trapezoid profiles. Other kinds, one
// moving axis, equal travels, an acceleration or speed of 0 or less, or a
// single step leave the rapid whole (Count 0).
RapidSubMoves DecomposeRapidMove(int32_t kind, const AxisPosition& start, const AxisPosition& end,
                                 const RapidMachine& machine);

// The end of sub-move index (0-based) of an accelerated rapid; the last ends
// exactly at the rapid's end.
AxisPosition NextAcceleratedRapidPoint(const RapidSubMoves& rapid, int32_t index);

// The point's two plane axes scaled about the scaling centre (each whose
// scaling is enabled, by the uniform factor when one is set, else its own),
// while scaling is on and the block is not G92. Returns first axis, second
// axis, normal axis in that order.
Vec3 ApplyAxisScaling(const ScalingState& scaling, int32_t lastGCode,
                      const std::array<int32_t, 3>& axes, const Vec3& point);

}  // namespace vestan
