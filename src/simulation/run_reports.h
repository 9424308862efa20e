// The run's report files in the current folder: "alarm.txt" (radius-offset
// interferences), "interference.txt" or, when the user has created it
// beforehand, "interference2.txt" (stop-class interferences), and the
// cutting-limit report "limitp.txt" or "limitsp.txt". They are written as
// the run goes, so that what was found survives an abort, with LF line
// ends; the shell closes them at the end of the run and opens them on the
// desktop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "definitions/settings.h"
#include "definitions/tool_table.h"
#include "foundation/vector_math.h"
#include "nc/nc_context.h"
#include "nc/run_control.h"
#include "platform/file_open.h"
#include "platform/host.h"
#include "simulation/interference_bookkeeping.h"

namespace vestan {

// The report files: "alarm.txt", "interference.txt", "interference2.txt",
// "limitp.txt", "limitsp.txt".
enum ReportFile : size_t {
  kAlarmReport,
  kInterferenceReport,
  kInterference2Report,
  kLimitReport,
  kLimitSpeedReport,
  kReportFileCount
};

// Limit-report kinds, from the tool's cutting-limit type 11 or 12.
inline constexpr int32_t kLimitReportNone = 0;
inline constexpr int32_t kLimitReportSection = 1;  // "limitp.txt"
inline constexpr int32_t kLimitReportRate = 2;     // "limitsp.txt"

// Where a step stands: the tool tip and the two rotary axes' letters and
// machine angles.
struct ReportPose {
  Vec3 Tip{};
  std::array<char, 2> RotaryLetters{' ', ' '};
  std::array<double, 2> RotaryAngles{};
};

struct RunReports {
  // "alarm.txt" and the offset-alarm flag the status bar shows.
  FileStream AlarmStream;
  int32_t OffsetAlarm = 0;

  // The stop-class kinds registered, the report state and the status text.
  InterferenceStopState Stops;
  // "interference.txt" or "interference2.txt": one of them per run.
  FileStream InterferenceStream;
  int32_t DetailedReport = 0;  // 1: "interference2.txt"
  int32_t LastReportedLine = 0;

  FileStream LimitStream;
  int32_t LimitKind = kLimitReportNone;
  int32_t LimitLineCount = 0;

  // A report that could not be created is warned about once per run.
  std::array<uint8_t, kReportFileCount> CreateWarned{};
};

// What the report operations read besides the reports.
struct RunReportLinks {
  Host& Shell;
  // The line counters, the subprogram level and the NC line of the
  // position; the hits, motion, feed and spindle of the step.
  const NcContext& Nc;
  const InterferenceCheckSettings& Checks;
  RunControl& Control;
  int32_t EnglishMode = 0;
  int32_t SoundOn = 0;
  // Under automation no report is opened on the desktop and the second view
  // is not painted.
  int32_t BatchMode = 0;
  // Asked by the command line or a macro: the interference report is not
  // opened on the desktop.
  int32_t NoReportOpening = 0;
};

// The start of a run: the alarm and interference reports forgotten (closed),
// no offset alarm, nothing pending.
void ResetRunReports(RunReports& reports);

// A radius-offset interference of the motion driver during a run: creates
// "alarm.txt" with its header on the first one when alarmReportOption
// ("CHECK RADIUS OFFSET": 1 LIST, 2 OPEN) is on, writes the entry with the
// radius offset in force and the main line, and sets the offset alarm.
void WriteRadiusOffsetAlarm(RunReports& reports, const RunReportLinks& links,
                            int32_t alarmReportOption, double radiusOffset);
// The motion driver's hook for radius-offset interferences: each one
// written by WriteRadiusOffsetAlarm. reports and what links refers to must
// outlive the hook.
std::function<void(const NcContext&, double)> RadiusOffsetAlarmWriter(RunReports& reports,
                                                                      const RunReportLinks& links,
                                                                      int32_t alarmReportOption);
// The end of a run: clears the offset alarm, closes "alarm.txt" and, with
// the option OPEN, opens it on the desktop.
void CloseAlarmReport(RunReports& reports, const RunReportLinks& links, int32_t alarmReportOption);

// After a step with an alarm or interference while no interference report
// is open: when the step holds a stop-class condition, chooses the detailed
// report exactly when a file "interference2.txt" exists (even empty) and
// creates it.
void OpenInterference2Report(RunReports& reports, const RunReportLinks& links);
// Writes the pending stop-class entry into "interference.txt" (created on
// the first), unless the detailed report was chosen; then the status text,
// the stop flags cleared, the second view and the sound, and the state
// written. With no stop-class kind registered since the last entry it does
// nothing.
void WriteInterferenceReport(RunReports& reports, const RunReportLinks& links);
// In the detailed report: the position when the step's line differs from
// the last one reported, then the names of the step's stop-class
// conditions (joined by "+") and ":".
void FormatInterferenceSummary(RunReports& reports, const RunReportLinks& links);
// The step line that follows a summary: "step/steps:X..Y..Z..<a>..<b>..".
void WriteInterferenceStepLine(RunReports& reports, int32_t step, int32_t steps,
                               const ReportPose& pose);
// The end of a run: writes a pending entry, clears the state and the stop
// flags, closes the report and opens it on the desktop.
void CloseInterferenceReport(RunReports& reports, const RunReportLinks& links);

// Creates "limitp.txt" (limit type 11) or "limitsp.txt" (12) for the tool;
// any other type changes nothing.
void OpenCuttingLimitReport(RunReports& reports, const RunReportLinks& links,
                            const ToolTable& tools, int32_t tool);
// One limit excess: the position, the pose and the value over the limit.
void WriteCuttingLimitLine(RunReports& reports, const NcContext& nc, const ReportPose& pose,
                           double value);
// The end of a run: closes the limit report and opens it on the desktop
// when it holds lines.
void CloseCuttingLimitReport(RunReports& reports, const RunReportLinks& links);

}  // namespace vestan
