// The values of the settings file "vestan.ini": folders and definition file
// names, stock definitions, display, pitch, check and key settings. The
// reader is in settings_file.h, the writer in settings_writer.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "definitions/pitch_settings.h"
#include "foundation/shared_value.h"

namespace vestan {

// The current file names and folders. Folders end in a separator where the
// program made them; names are kept whole.
struct DefinitionFilePaths {
  std::string ProgramFolder;  // with trailing separator
  std::string CurrentFolder;  // at start, with trailing separator
  std::string ProgramFile;
  std::string SettingsFile = "vestan.ini";  // the name, then the path found
  std::string HelpFile;
  std::string ColourFile;  // named on the command line
  std::string ToolTable;
  std::string ArborTable;
  std::string Controller;
  std::string Machine;
  std::string BasicModel;
  std::string BasicModelTitle;  // its file name, shown with it
  std::string NcProgram;
  std::string WorkLoad;
  std::string WorkSave;
  std::string MacroFile;
  // Folders.
  std::string ToolTableFolder;
  std::string ControllerFolder;
  std::string MachineFolder;
  std::string WorkModelFolder;
  std::string WorkSaveFolder;
  std::string NcFolder;
  std::string LogFolder;
  std::string LengthReportFolder;
  std::string VerifyReportFolder;
  std::string VideoFolder;
};

// The three stock shapes of the work definition.
struct StockDefinition {
  // "INITIAL SIZE": minimum X, Y, Z, then maximum X, Y, Z.
  std::array<double, 6> Box = {0, 0, 0, 100, 100, 30};
  // "INITIAL SIZE2": per axis X, Y, Z the reference side (-1 left/front/
  // bottom, 0 centre, +1 right/back/top), then width (height), low margin and
  // high margin.
  std::array<int32_t, 3> Reference = {-1, -1, -1};
  std::array<double, 9> ReferenceSizes = {100, 0, 0, 200, 0, 0, 50, 0, 0};
  // "CYLINDER": axis (0 X, 1 Y, 2 Z), then base point X, Y, Z, length, outer
  // and inner diameter.
  int32_t CylinderAxis = 0;
  std::array<double, 6> Cylinder = {-80, 0, 0, 80, 100, 40};
};

// Widths and depths of the tool-trace tools.
struct ToolTraceSettings {
  double WeldingHeight = 0.5;
  double WeldingWidth = 5.0;
  double GrinderDepth = 1.0;
  double GrinderWidth = 3.0;
  double PaperDepth = 0.1;
  double PaperWidth = 1.0;
  double BrushWidth = 1.0;
  double HeraWidth = 1.0;
};

// External editors.
struct EditorSettings {
  std::string ExecProgram = "notepad";
  std::string ExecOption = "%1";
  int32_t MacroNumber = -1;
  std::string MacroName = "VESTANJUMP.MAC";
  int32_t SelectOpen = 0;
  int32_t CloseEnd = 0;
  std::string TtlEditor;
  std::string CtlEditor;
  std::string MtlEditor;
  std::string IniEditor;
  std::string DefEditor;
  // 99 when the editor plug-in takes the program text.
  int32_t EditorKind = 0;
  // Options used when the program starts another copy of itself.
  std::string SelfExecOption = "-X2 sample.nc";
};

// Per pair of machine parts and per kind of check: 0 off, 1 check and
// report, 2 check and stop, or a kind-specific value.
struct InterferenceCheckSettings {
  static constexpr int32_t kPairCount = 25;
  int32_t Interference = 1;  // tool/work: 0 no, 1 check, 2 stop
  int32_t ArborCheck = 0;    // 0 no, 1 output, 2 cut, 3 yes, 4 stop
  int32_t HeightCheckType = 0;
  double HeightCheckMargin = -0.1;
  int32_t HeightCheck = 0;     // 0 no, 1 output, 2 check, 3 stop
  int32_t ChipWidthCheck = 0;  // as HeightCheck
  int32_t SpindleCheck = 0;    // 0 no, 1 check, 2 stop
  std::array<double, 2> SpindleLimits = {0, 0};
  int32_t SpindleLimitsGiven = 0;
  // In the order of the settings keys "TOOL-VICE CHECK" .. "HEAD-BASIC CHECK".
  std::array<int32_t, kPairCount> Pairs{};
  // Further per-part checks set by the shell, the machine model and the
  // dialogs, same coding, in the order of the further pair hits: two more
  // for each of the TOOL, ARBOR, HEAD2, HEAD1 and HEAD groups, then two
  // further head groups of six (WORK, VICE, TABLE2, TABLE1, TABLE, BASIC).
  std::vector<int32_t> PartChecks;
  double RapidFeedrate = 999999999.0;
  int32_t ToolClearanceMode = 0;  // 0 no, 1 yes, 2 by value
  double ToolClearance = 0.0;
  int32_t ArborClearanceMode = 0;
  double ArborClearance = 0.0;
  // 1 when some check stops the run.
  int32_t MachineCheckStops = 0;
};

// The settings keys of the pair checks, in reading order.
inline constexpr std::array<const char*, InterferenceCheckSettings::kPairCount> kPairCheckKeys = {
    "TOOL-VICE CHECK",    "TOOL-TABLE2 CHECK", "TOOL-TABLE1 CHECK",  "TOOL-TABLE CHECK",
    "TOOL-BASIC CHECK",   "ARBOR-VICE CHECK",  "ARBOR-TABLE2 CHECK", "ARBOR-TABLE1 CHECK",
    "ARBOR-TABLE CHECK",  "ARBOR-BASIC CHECK", "HEAD2-WORK CHECK",   "HEAD2-VICE CHECK",
    "HEAD2-TABLE CHECK",  "HEAD2-BASIC CHECK", "HEAD1-WORK CHECK",   "HEAD1-VICE CHECK",
    "HEAD1-TABLE1 CHECK", "HEAD1-TABLE CHECK", "HEAD1-BASIC CHECK",  "HEAD-WORK CHECK",
    "HEAD-VICE CHECK",    "HEAD-TABLE2 CHECK", "HEAD-TABLE1 CHECK",  "HEAD-TABLE CHECK",
    "HEAD-BASIC CHECK"};

// The BASIC checks of the two further head groups among PartChecks.
inline constexpr std::array<size_t, 2> kFurtherBasicChecks = {15, 21};

// Sets MachineCheckStops from the checks; run after they change.
void UpdateMachineCheckFlag(InterferenceCheckSettings& checks);

// The difference painting's settings.
struct DifferenceSettings {
  int32_t Area = 1;  // +1 against the reference grown by Margin, -1 shrunk
  double Margin = 0.1;
  int32_t BuiltArea = 0;
  double BuiltMargin = 0.1;
  int32_t PenColouring = 0;
  int32_t Pen = 1;
  int32_t ClearPrevious = 1;
  double EmphasisWidth = 0.0;
  int32_t TargetByPen = 0;
  int32_t TargetPen = 1;
};

// Largest "MAX MAGAZINE": a larger value is taken as this.
inline constexpr int32_t kMaxMagazineLimit = 9999;
// Largest undo depth ("UNDO" + 1): each slot holds a whole model copy.
inline constexpr int32_t kMaxUndoDepth = 1000;

struct Settings {
  // Section "DMEdata".
  int32_t DmeSelect = 0;
  int32_t DmfSelect = 1;
  int32_t StlSelect = 1;
  int32_t StlAxis = 0;  // +X 1, -X -1, +Y 2, -Y -2, +Z 3, -Z -3, 0 none
  int32_t StlFilter = 0;
  int32_t ImportInWork = 0;
  int32_t ExportInWork = 0;
  int32_t InputInWork = 0;
  int32_t RotationInWork = 0;
  StockDefinition Stock;
  int32_t BasicModelGiven = 0;

  // Section "OUTPUTdata".
  std::string VerifySuffix = "txt";
  int32_t CreateModeLength = 0;  // 1 append
  int32_t CreateModeVerify = 0;
  int32_t NamingModeLength = 0;  // 1 fixed, 2 auto
  int32_t NamingModeVerify = 1;

  EditorSettings Editor;

  // Section "Video".
  int32_t VideoNameAuto = 0;
  int32_t LapDialog = 0;

  // Section "Mouse".
  int32_t MoveSwitch = 0;  // 1 move on right button down, 0 on click
  int32_t WheelZoomReverse = 0;

  // Section "Save".
  int32_t SavePlacement = 1;  // "DISPLAY"
  int32_t SaveWorkColor = 1;
  int32_t SaveToolColor = 1;
  int32_t SaveMachineColor = 1;
  int32_t SaveLineColor = 1;
  int32_t SaveBackground = 1;
  int32_t WindowX = -1;
  int32_t WindowY = -1;
  int32_t WindowHeight = -1;
  int32_t WindowWidth = -1;
  int32_t WindowShow = 1;
  int32_t ViewP = 0;
  int32_t ViewT = 0;

  // Section "Define": display.
  int32_t OptimizeDrawing = 0;
  // The run's step counts: the run keys change them while the run reads them.
  SharedValue<int32_t> SkipBlock = 5;
  SharedValue<int32_t> SkipView = 5;
  int32_t RealRotation = 0;
  int32_t RealRapid = 0;
  int32_t MeshMode = 0;
  int32_t ColorMode = 0;
  int32_t TopPathColorMode = 1;  // 0 paths in pen colours
  int32_t ToolTopColorMode = 1;
  std::array<float, 3> WorkMargin = {0, 0, 0};
  std::array<double, 5> ControlPoint = {0, 0, 200, 0, 0};
  int32_t ControlPointMachine = 0;
  int32_t NewControlPointD = 0;  // 0 box top, 1 current, 2 specified
  int32_t NewControlPoint = 0;
  std::array<double, 3> SpecifiedPointD = {0, 0, 100};
  std::array<double, 3> SpecifiedPoint = {0, 0, 100};
  int32_t ToolBasePoint = 0;
  int32_t ToolBasePointGiven = 0;
  int32_t ToolDisplay = 1;  // 0 hidden, 1 opaque, 2 translucent
  int32_t MachineDisplay = 1;
  int32_t WorkDisplay = 1;
  int32_t BaseDisplay = 0;
  int32_t RotationCentreDisplay = 0;
  int32_t ConstructionPoint = 0;
  int32_t BasicAxis = 1;
  std::string ProgressName;
  int32_t SoundOn = 1;
  int32_t IgnoreG00 = 0;
  int32_t VolumeUnit = 0;  // 0 mm3, 1 m3
  double OffsetValue = 5.0;
  int32_t FullViewWork = 0;
  int32_t OpenGlBuffer = 2;  // 1 not specified, 2 double
  int32_t ImeVersion = 1;    // 0 old
  double ToolDialogZoomRate = 2.0;
  double ExpandRate = 5.0;

  PitchSettings Pitch;
  ToolTraceSettings ToolTrace;

  // Keys, undo, files.
  int32_t StopKey = 17;
  int32_t EscapeKey = 27;
  int32_t UndoDepth = 2;  // history slots: "UNDO" + 1, at least 1
  // One display-list flag per undo slot.
  std::vector<uint8_t> UndoListFlags = std::vector<uint8_t>(2, 0);
  int32_t CheckMac = 0;
  int32_t CheckMatrix = 0;
  std::string StlMatrix;
};

}  // namespace vestan
