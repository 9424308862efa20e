// Canned drilling cycles (G73 to G89, HEIDENHAIN cycles 200 to 209) turned
// into the simple moves made at each hole: positioning, approach, drilling
// or pecking, and retract.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/vector_math.h"
#include "model/position_state.h"
#include "nc/nc_context.h"
#include "platform/host.h"

namespace vestan {

// Cycle kind of the HEIDENHAIN-style cycle parameters.
inline constexpr int32_t kCycleKindHeidenhain = 11;
// The HEIDENHAIN cycles 200 to 209 are numbered from here.
inline constexpr int32_t kFirstHeidenhainCycle = 200;

// Return levels: the R level (G99), the initial level (G98), a third level
// kept by the interpreter.
inline constexpr int32_t kReturnToR = 0;
inline constexpr int32_t kReturnToInitial = 1;
inline constexpr int32_t kReturnToThird = 2;

// One canned-cycle block as the expansion reads it.
struct DrillingCycle {
  int32_t Code = 81;     // 73 to 89, or 200 to 209 with the HEIDENHAIN kind
  AxisPosition Start{};  // the current position
  AxisPosition End{};    // the first hole
  // The cycle words: depth Z, R and peck Q (the dwell makes no point).
  double Depth = 0.0;
  double RPoint = 0.0;
  double Peck = 0.0;
  int32_t Repeat = 1;  // K: holes, each moved on by the block's incremental distance
  int32_t Incremental = 0;
  int32_t ReturnLevelMode = kReturnToInitial;
  double InitialLevel = 0.0;  // the normal axis when the cycle started
  double ThirdLevel = 0.0;
  std::array<int32_t, 3> PlaneAxes{0, 1, 2};  // first, second, normal
  // HEIDENHAIN Q200 set-up clearance, Q201 depth, Q203 surface, Q204 second
  // set-up clearance (cycles 200 and above).
  double Q200 = 0.0, Q201 = 0.0, Q203 = 0.0, Q204 = 0.0;
  // The alternative peck of G83: its switch, step and return value.
  int32_t AlternativePeck = 0;
  double AlternativeStep = 0.0;
  double AlternativeReturn = 0.0;
};

// What the controller and the run add.
struct DrillingCycleSettings {
  int32_t CycleKind = 0;
  // Approach clearance per G number less 70.
  std::array<double, 20> Clearance{};
  double ChipBreakReturn = 0.1;  // d73
  double PeckReturn = 0.1;       // d83
  // Skip cutting (2) and cut-and-show (3) drill every peck series in one feed.
  int32_t CuttingMode = 0;
};

// One point of the queue: rapid (0) or feed (1), and where it ends (the
// hole's position on the plane axes, the level on the normal axis).
struct CyclePoint {
  int32_t Mode = 0;
  Vec3 Position{};
};

// Counts the block's points (fill false; at most kMaxCyclePointCapacity,
// beyond which the pecking is drilled in one feed and further holes are
// left out, with a logged warning) or fills
// points with them up to capacity (fill true): a peck series stops once the
// points exceed capacity less 5 and ends in one feed to depth. A peck value
// of 0 or less (never reaching the depth) drills in one feed as well.
// Returns the number of points.
int32_t ExpandDrillingCycle(bool fill, const DrillingCycle& cycle,
                            const DrillingCycleSettings& settings, size_t capacity,
                            std::vector<CyclePoint>& points, Host& host);

}  // namespace vestan
