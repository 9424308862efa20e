// The main window's title and the texts of its status bar, built as plain
// texts from what they show; the window (or the headless host) only puts
// them up. Texts are UTF-8, English or Japanese by EnglishMode.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vestan {

struct Session;

// The status bar's parts; this module writes parts 2 to 9.
inline constexpr size_t kStatusBarParts = 10;
using StatusBarTexts = std::array<std::string, kStatusBarParts>;

// The macro runner's state as the status bar reports it. Broken and
// completed are reported once, then cleared.
struct MacroStatus {
  int32_t Running = 0;
  int32_t Broken = 0;
  int32_t Completed = 0;
  std::string Name;
};

// What the title shows.
struct TitleFacts {
  int32_t EnglishMode = 0;
  // Display suspended (window minimised): no title while a run or a
  // progress is active.
  int32_t DisplaySuspended = 0;
  int32_t ProgressActive = 0;
  std::string MachineName;
  std::string NcProgram;  // empty: none selected
  std::string WorkFile;   // the loaded workpiece file, empty when none
  std::string ToolTable;
  std::string Controller;
  std::string Machine;
  int32_t CuttingMode = 0;
  int32_t SkipView = 0;
  int32_t SkipBlock = 0;
  std::string ProgressLabel;
  // "INTERFERENCE", "ARBOR CHECK", "HEIGHT CHECK", "CHIP-W CHECK".
  std::array<int32_t, 4> Checks{};
};

// The machining mode part 6 names.
enum class MachiningMode {
  kNormal,
  kToolCentreType1,
  kToolCentreType2,
  kWorkPlane,
  kAngleCorrection,  // OSP only
  kCoordinateRotation,
  kPolar,
  kCylindrical,
};

// What the status bar shows.
struct StatusFacts {
  int32_t EnglishMode = 0;
  int32_t DisplaySuspended = 0;
  // Held at a stop block (line pending), and why.
  int32_t HeldAtStop = 0;
  int32_t RadiusOffsetAlarm = 0;
  std::string InterferenceStopText;  // empty unless an interference asked for the stop
  int32_t StopBlinkOn = 0;
  // Part 7.
  std::string BasicModelTitle;  // empty: none
  int32_t DifferencePaintMode = 0;
  // Part 8: the scene's three display flags and its view layout.
  std::array<int32_t, 3> DisplayFlags{};
  int32_t ViewLayout = 0;
  int32_t Perspective = 0;
  // Part 5.
  int32_t ProductCode = 0;
  int32_t WorkCoordinate = 0;
  // Part 6.
  int32_t ToolCentreType = 0;  // 0 off, 1, 2
  int32_t Siemens = 0;
  int32_t Osp = 0;
  // The SIEMENS orientation form: 0 none (vector), 1 Euler, 2 RPY, 3 RPY2.
  int32_t OrientationForm = 0;
  int32_t WorkPlane = 0;
  int32_t AngleCorrection = 0;
  int32_t CoordinateRotation = 0;
  int32_t Polar = 0;
  int32_t Cylindrical = 0;
  int32_t PlaneCode = 17;
};

// The title; none while display is suspended and a run or a progress is
// active (the title then stays as it was).
std::optional<std::string> UpdateWindowTitle(const TitleFacts& facts);

// Parts 2 to 9 of the status bar (parts 0 and 1 stay empty: they belong to
// the progress). Clears the macro's one-shot flags it reports.
StatusBarTexts UpdateStatusBar(const StatusFacts& facts, MacroStatus& macro);

// The four check letters of the title.
std::string CheckLetters(const std::array<int32_t, 4>& checks);
// Part 5's text for a work coordinate number.
std::string WorkCoordinateText(int32_t number, int32_t productCode, int32_t englishMode);
// Part 6's text for a machining mode.
std::string MachiningModeText(const StatusFacts& facts);

// The facts as the session holds them; what the session does not hold (the
// scene's flags, the macro, the stop reason) stays at its default for the
// caller to fill.
TitleFacts TitleFactsOf(const Session& session);
StatusFacts StatusFactsOf(const Session& session);

// Drops the basic model of difference painting and its difference model,
// clears the paint mode and the basic model's name, and returns the warning
// to show when warn is set (empty otherwise). The caller greys command
// 32893 and updates the status bar.
std::string ResetDifferencePaint(Session& session, int32_t& differencePaintMode, bool warn);

}  // namespace vestan
