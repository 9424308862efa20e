// The NC data check: the whole program run through the interpreter and the
// motion driver without cutting, collecting the tool tip's extents, the path
// lengths and machining times (with a trapezoidal acceleration model), the
// feed and spindle ranges, the codes used and the tools per process, for the
// verify report and the shell's check result.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/vector_math.h"
#include "simulation/session.h"

namespace vestan {

inline constexpr double kExtentMinSentinel = 9999999.0;
inline constexpr double kExtentMaxSentinel = -9999999.0;
inline constexpr int32_t kMaxCheckProcesses = 200;
inline constexpr int32_t kCheckCodes = 1000;  // D and H codes 1-999

// Check modes: everything, or only the cutting extents.
inline constexpr int32_t kCheckData = 1;
inline constexpr int32_t kCheckMinMax = 2;

struct CheckExtents {
  Vec3 Min{kExtentMinSentinel, kExtentMinSentinel, kExtentMinSentinel};
  Vec3 Max{kExtentMaxSentinel, kExtentMaxSentinel, kExtentMaxSentinel};
  void Add(const Vec3& p) {
    for (size_t i = 0; i < 3; ++i) {
      Min[i] = std::min(Min[i], p[i]);
      Max[i] = std::max(Max[i], p[i]);
    }
  }
};

// Feed moves gathered into one segment while they go on at one feed within
// the smooth angle.
struct PendingFeedSegment {
  int32_t Mode = 0;
  double Length = 0.0;
  double StartSpeed = 0.0;  // mm/min
  double Feed = 0.0;
  Vec3 Start{}, End{}, Direction{};
  int32_t Count = 0;
};

struct CheckProcess {
  int32_t Tool = 0;
  double Time = 0.0;
};

struct NcCheckResults {
  CheckExtents Work, Machine, CuttingWork, CuttingMachine;
  // Path lengths.
  double RapidLength = 0.0;         // G00
  double FeedLength = 0.0;          // G01-G03 and NURBS
  double RapidSpeedLength = 0.0;    // G00 and feeds at or above the rapid feed limit
  double CuttingFeedLength = 0.0;   // feeds below it
  // Times, seconds.
  double RapidTime = 0.0;  // G00 and tool changes
  double FeedTime = 0.0;
  double RapidSpeedTime = 0.0;
  double CuttingFeedTime = 0.0;
  double MaxFeed = kExtentMaxSentinel;
  double MaxCuttingFeed = kExtentMaxSentinel;
  double MinFeed = kExtentMinSentinel;
  double MaxSpindleSpeed = kExtentMaxSentinel;
  std::array<uint8_t, kCheckCodes> DCodes{};
  std::array<uint8_t, kCheckCodes> HCodes{};
  std::vector<uint8_t> ToolCodes;  // 0 to the highest tool number
  std::array<uint8_t, kCodeTableSize> GCodes{};
  std::array<uint8_t, kCodeTableSize> MCodes{};
  // Processes 1 to ProcessCount; a program with more tool changes than the
  // table holds keeps booking into the last one.
  std::array<CheckProcess, kMaxCheckProcesses + 1> Processes{};
  int32_t ProcessCount = 1;
  int32_t ProcessOverflowNoted = 0;
  PendingFeedSegment Pending;
  int32_t LineCount = 0;
  // The last check could read its program; a verify report needs one.
  int32_t ProgramRead = 0;
};

// What the time model reads: the rapid feed limit, the smooth angle and the
// machine's cutting accelerations.
struct TimeModel {
  double RapidFeedLimit = 999999999.0;
  double SmoothAngle = 2.0;
  std::array<double, 3> CuttingAcceleration{0.3, 0.3, 0.3};
};

// Seconds to travel length from startSpeed through maxSpeed to endSpeed
// (mm/s) at acceleration (units of 9800 mm/s^2); a speed of exactly 0 counts
// as 10. An acceleration of 0 or less (or not finite) gives length / maxSpeed.
double ComputeAccelMoveTime(double length, double startSpeed, double maxSpeed, double endSpeed,
                            double acceleration);

// Books the pending segment's time (feeds in mm/min) into the results.
void AccumulateMachiningTime(NcCheckResults& r, const TimeModel& model, int32_t mode, double length,
                             double startFeed, double feed, double endFeed);

// One feed move of length from start to end at feed: merged into the pending
// segment, or the pending one booked and this one begins a new segment. A
// zero direction (arcs, NURBS) never merges.
void ComputeMoveTime(NcCheckResults& r, const TimeModel& model, int32_t mode, double length,
                     double feed, const Vec3& start, const Vec3& end, const Vec3& direction);

// Books the pending segment ending at speed 0 and empties it.
void FlushMoveTime(NcCheckResults& r, const TimeModel& model);

// The coordinate rotations in force (the last given first) and the mirror
// image applied to the control points of the current NURBS curve, as the
// block end applies them to a move's end: the curve's points where the tool
// goes.
void UnwindTransformStack(NcContext& nc);

// Results of CheckNcData.
inline constexpr int32_t kCheckDone = 1;
inline constexpr int32_t kCheckNotOpened = -1;  // the program could not be read

// Runs the check of the session's NC program in mode (kCheckData or
// kCheckMinMax) into results, with the session's progress ("Check Data" or
// "Check Min-Max") over the program's bytes. The session's controller
// memory, position and tools are as before afterwards. A program that
// cannot be opened is reported (name and reason) and gives kCheckNotOpened
// with ProgramRead 0.
int32_t CheckNcData(Session& session, int32_t mode, NcCheckResults& results);

}  // namespace vestan
