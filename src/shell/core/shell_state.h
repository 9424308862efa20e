// The main window's state as data: its menu, texts and the flags the
// commands share (a program selected, a file name already in place). The
// headless host keeps it; the Qt window mirrors it.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/menu_model.h"
#include "shell/core/window_texts.h"

namespace vestan {

// How a status pane of the run is drawn.
enum class PaneLook { kRaised, kFlat };

// The run's panes and block as data: the run control writes them on the
// main thread, the window paints them.
struct RunPanes {
  // The STOP pane's text, raised while running and flat at a stop; the ESC
  // pane flat once an abort ended the run.
  std::string StopText = "\tSTOP";
  PaneLook Stop = PaneLook::kRaised;
  PaneLook Escape = PaneLook::kRaised;
  // The blink state of the stop labels while held at a stop.
  int32_t StopBlinkOn = 0;
  // Why the run stopped: the kind of the interference that asked for it.
  std::string StopReason;
  // The block shown in the NC information pane.
  int32_t ShownLine = 0;
  std::string CurrentBlockText;
  // The result code of the last run's end message; -1 none.
  int32_t LastResultCode = -1;
  // The window's facts the run reads: minimised (nothing is drawn) and in
  // the foreground (the stop key counts).
  int32_t DisplaySuspended = 0;
  int32_t Foreground = 1;
};

// What the window shows, kept as texts: the headless host has no window,
// the Qt window mirrors them.
struct ShellState {
  MenuModel Menu = MainMenu();
  LocalizedLabels Labels;
  MessageFile Messages;
  MacroStatus Macro;
  std::string Title;
  StatusBarTexts Status;
  int32_t DifferencePaintMode = 0;
  // An NC program has been selected.
  int32_t NcSelected = 0;
  // A file name is already in place for the next file command.
  int32_t PathPreset = 0;
  // The definition file check waits for the run to end.
  int32_t DefinitionCheckDeferred = 0;
  // The host is running (the window's first paint has happened).
  int32_t Shown = 0;
  RunPanes Run;
};

}  // namespace vestan
