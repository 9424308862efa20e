// Progress of long work (a per-mille value on the status bar and the progress
// bar, or in the window title when there is no status bar, and a second bar
// for a file read inside the work) and the message pump that keeps the window
// alive while the work runs on the window thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace vestan {

// Progress kinds of BeginProgress. Kinds 1, 2 and 1000 take the given total;
// every other kind counts the bytes of the file times a factor.
inline constexpr int32_t kProgressGivenTotal = 1;
inline constexpr int32_t kProgressPluginBlocks = 2;
inline constexpr int32_t kProgressProgramLines = 1000;
inline constexpr int32_t kProgressFileBytes = 0;

// Characters the operation label keeps.
inline constexpr size_t kProgressLabelCharacters = 19;
// The pump takes a message only when more than this has passed since the last.
inline constexpr uint32_t kPumpIntervalMs = 3000;
// The first build number whose input method takes messages from the pump.
inline constexpr int32_t kPumpDispatchBuild = 19041;

// What the shell sets once from the command line, the language and the
// settings (the platform layer cannot read them itself).
struct ProgressOptions {
  int32_t EnglishMode = 0;
  // No status bar: the progress goes to the window title.
  int32_t SilentMode = 0;
  // An automation run: the title shows only the label.
  int32_t BatchMode = 0;
  // The PROGRESS NAME setting; when not empty it replaces every label.
  std::string ProgressName;
};

// One waiting message of the window thread as the shell's queue hands it out.
struct PendingMessage {
  bool Timer = false;  // a timer tick: the pump never dispatches it
  uint64_t Id = 0;     // the shell's own handle of the message
};

// The message pump of long work on the window thread. The shell fills the
// hooks; without them (headless) pumping does nothing but keep its time.
struct MessagePump {
  // Set by the shell while it creates the main window; long work pumps only
  // while it is non-zero.
  int32_t PumpDuringWork = 0;
  // The system's build number and the IME VERSION setting (0 = OLD): a taken
  // message is dispatched only from build kPumpDispatchBuild on and with a
  // newer input method, else dropped.
  int32_t OsBuildNumber = 0;
  int32_t ImeVersion = 1;
  // Removes the oldest waiting message; false when none waits.
  std::function<bool(PendingMessage&)> TakeMessage;
  std::function<void(const PendingMessage&)> DispatchMessage;
  std::function<void()> SetBusyCursor;
  uint32_t LastPump = 0;  // clock at the last pump
};

// The progress of one operation at a time, with its second bar. The shell
// owns one and passes it to every long operation; tests build their own.
struct ProgressState {
  // Where bars, texts and titles go; none: nothing is shown.
  Host* Display = nullptr;
  ProgressOptions Options;
  MessagePump Pump;
  // Milliseconds of a steady clock; empty: the system's. Tests give their own.
  std::function<uint32_t()> Clock;
  // Waits the given milliseconds; empty: the thread sleeps.
  std::function<void(int32_t)> Sleep;
  // True while a run is held at a stop block; empty: never.
  std::function<bool()> HeldAtStop;
  // Rebuilds the main window title from TitleLabel; empty: nothing.
  std::function<void()> RebuildWindowTitle;

  // The main bar.
  uint64_t Counter = 0;
  uint64_t Total = 1;
  double Scale = 1000.0;
  int32_t Current = 0;
  int32_t LastShown = 0;
  int32_t ZeroShown = 0;
  std::string Label;       // the operation label
  std::string TitleLabel;  // the label in the main window title while progress runs
  std::string TitleText;
  std::string ProgressText;
  int32_t CallsSinceTitle = 0;
  int32_t TitleInterval = 1;
  uint32_t LastTitleTick = 0;
  // False while the NC program is read by a plug-in that cannot count its
  // blocks: its update and end calls then do nothing.
  bool FileProgressShown = true;

  // The second bar.
  uint64_t FileCounter = 0;
  uint64_t FileTotal = 1;
  double FileScale = 1000.0;
  int32_t FileCurrent = 0;
  int32_t FileLastShown = 0;
  int32_t FileZeroShown = 0;
};

// How the NC program is read, for BeginFileProgress.
struct NcProgramSource {
  bool ReadPluginActive = false;
  // The read plug-in's count of blocks; none when it has no counting entry.
  std::optional<uint64_t> PluginTotalBlocks;
  int32_t ProgramInMemory = 0;
  int32_t LineCount = 0;
};

// Starts a progress run. kind: kProgressGivenTotal, kProgressPluginBlocks and
// kProgressProgramLines take total; any other kind the size in bytes (low 32
// bits) of file times factor. A total of 0 counts as 1.
void BeginProgress(ProgressState& state, int32_t kind, uint64_t total, std::string_view file,
                   int32_t factor, std::string_view labelJapanese, std::string_view labelEnglish);
// Starts the progress of reading an NC program.
void BeginFileProgress(ProgressState& state, std::string_view file, std::string_view labelJapanese,
                       std::string_view labelEnglish, const NcProgramSource& source);
void AddProgress(ProgressState& state, int32_t n);
void AdvanceProgress(ProgressState& state);
uint32_t GetProgressCount(const ProgressState& state);
// Shows the value when it grew since it was last shown, or always with force.
void UpdateProgress(ProgressState& state, int32_t force);
void UpdateFileProgress(ProgressState& state, int32_t force);
void EndProgress(ProgressState& state);
void EndFileProgress(ProgressState& state);
// Puts the percentage back into the status bar.
void RestoreStatusText(ProgressState& state);

// The second bar. inMemoryLines: the line count of the called subprogram when
// its text is held in memory, else 0 (the file's size counts).
void BeginSubProgress(ProgressState& state, std::string_view file, int32_t inMemoryLines);
void AddSubProgress(ProgressState& state, int32_t n);
void UpdateSubProgress(ProgressState& state, int32_t force);
void EndSubProgress(ProgressState& state);

// Takes at most one waiting message when more than kPumpIntervalMs passed
// since the last pump (Pump.PumpDuringWork is the caller's test).
void PumpPendingMessage(ProgressState& state);

// After one row of a whole-model operation: counts its columns, shows the
// progress and pumps once while the shell allows it.
void ProgressRowDone(ProgressState& state, int64_t columns);

// printf into text with room for 24 characters: a longer result is cut to 24
// and -1 is returned, else its length.
int32_t FormatText(std::string& text, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace vestan
