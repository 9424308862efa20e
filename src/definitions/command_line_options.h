// What the command line asked for: which files and values it gave (the
// settings reader then leaves their keys unread), the unattended work to do
// (run mode, verify, save, one model job) and the options of the model files
// it named. The command-line parser fills it before the settings are read;
// file names go into DefinitionFilePaths. The batch worker and the main
// window read and clear the flags as they carry them out, the simulation
// run reads the batch and silent modes: every flag is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace vestan {

struct ControllerDefinition;

// The placement of a model file that the command line gives with its name
// (",W", ",M", ",MX10", ",S2"...), applied when the file is loaded.
struct ModelFileOptions {
  // -1 as the settings say, 0 machine coordinates, 1 workpiece coordinates.
  int32_t CoordinateSystem = -1;
  // A move of the model along X, Y, Z.
  std::array<int32_t, 3> MoveOn{};
  std::array<double, 3> Move{};
  // A scale per axis about the centre: on for each factor other than 1.0.
  std::array<int32_t, 3> ScaleOn{};
  std::array<double, 3> ScaleRate{1.0, 1.0, 1.0};
  std::array<double, 3> ScaleCentre{};
  // "S" alone: the factors are those the controller definition enables,
  // which is read only after the command line; ResolveControllerScale takes
  // them when the file is loaded.
  int32_t ScaleFromController = 0;
};

// Takes the controller's factor for each axis whose scaling it enables
// (the others stay 1.0) when the options ask for it, and clears the request.
void ResolveControllerScale(ModelFileOptions& options, const ControllerDefinition& controller);

// Save kinds.
inline constexpr int32_t kSaveNone = 0;
inline constexpr int32_t kSaveDme = 1;
inline constexpr int32_t kSaveStlText = 2;
inline constexpr int32_t kSaveStlBinary = 3;           // little-endian
inline constexpr int32_t kSaveStlBinaryBigEndian = 4;  // byte-swapped

struct CommandLineRequest {
  using Flag = std::atomic<int32_t>;

  // A settings, colour, tool table, controller or machine file was named.
  Flag settingsGiven{0};
  Flag colourFileGiven{0};
  Flag toolTableGiven{0};
  Flag controllerGiven{0};
  Flag machineGiven{0};
  // A basic model file was named (key "BASIC MODEL" not read).
  Flag basicModelGiven{0};
  // Stock given: 1 box by two points, 2 box by reference side, 3 cylinder
  // (key "INITIAL SIZE", "INITIAL SIZE2" or "CYLINDER" not read); 0 a work
  // file.
  Flag stockShapeKind{0};
  Flag controlPointGiven{0};
  Flag controlPointMachine{0};
  Flag offsetValueGiven{0};
  // Work and move pitch given ("PITCH(WORK)", "PITCH(MOVE)" not read).
  Flag workPitchGiven{0};
  Flag movePitchGiven{0};
  // Main window placement given ("X", "Y", "HEIGHT", "WIDE" not read).
  Flag windowRectGiven{0};

  // A workpiece is to be defined or loaded (key "STL AXIS" not read).
  Flag workLoadRequested{0};
  // An NC program is to be selected.
  Flag ncProgramGiven{0};
  // A macro file is to be run.
  Flag macroGiven{0};
  // 0 none; 1 select the NC program; 2 real cutting; 3 skip cutting; 4 cut
  // and show result; 5 as 4, then save, log and quit; 6 as 5 without window
  // updates.
  Flag runMode{0};
  // Select the NC program without fitting a workpiece to it.
  Flag selectOnly{0};
  Flag keepLengthReportClosed{0};
  Flag keepInterferenceReportClosed{0};
  // A finished run sets the process's exit code to -1 when aborted.
  Flag exitCodeFlag{0};
  // 0 none; 1 verify report; 5 verify report, then quit; 6 as 5 without
  // window updates.
  Flag verifyMode{0};
  Flag verifyAfterRun{0};
  // kSaveNone .. kSaveStlBinaryBigEndian.
  Flag saveKind{0};
  // -1 as the settings say, 0 machine, 1 workpiece coordinates for the save.
  Flag saveCoordinates{-1};
  // One model job on the loaded workpiece before it is saved.
  Flag moveJob{0};
  Flag rotateJob{0};
  Flag paintJob{0};  // 1 paint all, 2 peel the paint
  Flag penJob{0};    // pen 1-15 to peel, 16 every pen
  // Difference settings given (the difference keys but "DIFFERENCE TARGET"
  // not read); a difference painting job.
  Flag differenceJob{0};
  // Unattended operation.
  Flag batchMode{0};
  // No status display; progress goes to a window title.
  Flag silentMode{0};
  // Start-up creates the batch worker.
  Flag startWorker{0};
  Flag noMenu{0};
  // The tool the tool table reader makes current (none when 0 or less).
  Flag initialTool{0};
  // Height of the information-pane font; 13 when 0.
  Flag infoFontHeight{0};
  // Processor number for the main thread.
  Flag idealProcessor{0};

  // The jobs' values, set while the command line is read, before any other
  // thread runs.
  std::array<double, 3> moveAmount{};
  int32_t rotateAxis = 0;  // 0 X, 1 Y, 2 Z
  double rotateAngle = 0.0;
  ModelFileOptions workFileOptions;
  ModelFileOptions basicModelOptions;
};

}  // namespace vestan
