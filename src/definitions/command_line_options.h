// What the command line asked for that the settings reader honours: which
// files and values it gave (the matching keys are then not read) and the run
// modes. The command-line parser fills it before the settings are read; file
// names go into DefinitionFilePaths.
#pragma once

#include <cstdint>

namespace vestan {

struct CommandLineRequest {
  // A settings, colour, tool table, controller or machine file was named.
  int32_t settingsGiven = 0;
  int32_t colourFileGiven = 0;
  int32_t toolTableGiven = 0;
  int32_t controllerGiven = 0;
  int32_t machineGiven = 0;
  // A basic model file was named (key "BASIC MODEL" not read).
  int32_t basicModelGiven = 0;
  // Stock given: 1 box by two points, 2 box by reference side, 3 cylinder
  // (key "INITIAL SIZE", "INITIAL SIZE2" or "CYLINDER" and "STL AXIS" not read).
  int32_t stockShapeKind = 0;
  int32_t controlPointGiven = 0;
  int32_t controlPointMachine = 0;
  int32_t offsetValueGiven = 0;
  // Difference settings given (the difference keys but "DIFFERENCE TARGET"
  // not read).
  int32_t differenceJob = 0;
  // Work and move pitch given ("PITCH(WORK)", "PITCH(MOVE)" not read).
  int32_t workPitchGiven = 0;
  int32_t movePitchGiven = 0;
  // Main window placement given ("X", "Y", "HEIGHT", "WIDE" not read).
  int32_t windowRectGiven = 0;
  // Unattended operation.
  int32_t batchMode = 0;
  // No status display; progress goes to a window title.
  int32_t silentMode = 0;
};

}  // namespace vestan
