// The main window's state as data: its menu, texts and the flags the
// commands share (a program selected, a file name already in place). The
// headless host keeps it; the Qt window mirrors it.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/menu_model.h"
#include "shell/core/window_texts.h"

namespace vestan {

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
};

}  // namespace vestan
