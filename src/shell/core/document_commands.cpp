#include "shell/core/document_commands.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"
#include "machine/model_placement.h"
#include "machine/work_offset_frame.h"
#include "model/difference_painting.h"
#include "model/model_flag_passes.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "model/work_pitch.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "platform/profile_file.h"
#include "shell/core/window_texts.h"
#include "simulation/interference_messages.h"
#include "simulation/session_files.h"
#include "simulation/session_tools.h"
#include "simulation/verify_report.h"

namespace vestan {

namespace {

std::string Say(const DocumentContext& c, std::string_view english, std::string_view japanese) {
  return std::string(c.S.App.EnglishMode != 0 ? english : japanese);
}

}  // namespace

void TellUser(DocumentContext& c, const std::string& text, const std::string& caption) {
  if (c.Automated) {
    c.S.Shell.Log(text.empty() ? caption : text + " - " + caption);
    return;
  }
  HostMessage message;
  message.Caption = caption.empty() ? std::string(kProductCaption) : caption;
  message.Text = text;
  message.Topmost = true;
  c.S.Shell.ShowMessage(message);
}

namespace {

// A yes/no question; under automation nobody is asked: the answer is no and
// the log says what was not asked.
bool AskYes(DocumentContext& c, const std::string& text, const std::string& caption) {
  if (c.Automated) {
    c.S.Shell.Log(text + " - " + caption + " (not asked: no)");
    return false;
  }
  HostMessage message;
  message.Caption = caption;
  message.Text = text;
  message.Buttons = MessageButtons::kYesNo;
  message.Icon = MessageIcon::kQuestion;
  message.Topmost = true;
  message.UnattendedAnswer = MessageAnswer::kNo;
  return c.S.Shell.ShowMessage(message) == MessageAnswer::kYes;
}

// The file a file command works on: the path already in place when it is
// preset or the automation runs, else the dialog's choice (false: cancelled).
bool ChooseFile(DocumentContext& c, FileDialogKind kind, bool save, std::string& path) {
  if (c.Shell.PathPreset != 0 || c.Automated) return true;
  return c.Dialogs.SelectFile(kind, save, path);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(ToNativePath(path), ec);
}

// Finds the file as named (a relative name against folder); when it is only
// in the program's own folder, the user may take that one. Empty when it is
// taken from nowhere; a file found nowhere is reported with caption, or
// logged as "<path> - <log text>" under automation.
std::string FindNamedFile(DocumentContext& c, const std::string& name, const std::string& folder,
                          const std::string& caption, const std::string& logText) {
  const std::string path = PathFrom(folder, name);
  if (FileExists(path)) return path;
  const std::string beside = JoinPath(c.S.Defs.Paths.ProgramFolder, FileNamePart(name));
  if (!c.S.Defs.Paths.ProgramFolder.empty() && FileExists(beside)) {
    if (AskYes(c, beside,
               Say(c, "Is the one of the program side folder acceptable?",
                   "プログラム側ディレクトリのものでもよいですか？")))
      return beside;
    return {};
  }
  if (c.Automated) {
    c.S.Shell.Log(path + logText);
  } else {
    TellUser(c, path, caption);
  }
  return {};
}

// The work offset composed, its frame followed and the machine position
// brought up to date.
void ComposeOffsetAndPosition(Session& s) {
  ComposeWorkOffset(s.Memory.Offsets);
  UpdateWorkOffsetFrame(s.Memory.Offsets.ActiveWorkOffset, s.Defs.Kinematics, s.Defs.Controller,
                        s.Frame, s.Display);
  UpdateSessionPosition(s);
}

// Drops the difference painting's basic model and greys its command.
void ForgetDifferencePainting(DocumentContext& c) {
  ResetDifferencePaint(c.S, c.Shell.DifferencePaintMode, false);
  EnableRunMenuItems(c.Shell.Menu, c.S.Work.WorkPresent != 0, false);
}

// The workpiece changed as a whole: its bounds, its display and the menus
// that need it.
void WorkpieceChanged(DocumentContext& c) {
  Session& s = c.S;
  DexelModel& model = s.Work.Workpiece();
  ComputeMaterialBounds(model, model.MinCorner(), model.MaxCorner());
  MarkWholeGridChanged(model);
  EnableRunMenuItems(c.Shell.Menu, s.Work.WorkPresent != 0, !s.Defs.Paths.BasicModel.empty());
  s.Shell.RequestShellUpdate(ShellUpdate::kViewCentre);
  s.Shell.RequestShellUpdate(ShellUpdate::kWindowTitle);
  s.Shell.RequestRedraw();
}

void FreeWorkpiece(Session& s) {
  FreeDexelModel(s.Work.Workpiece());
  s.Work.Workpiece().CountX = 0;
  s.Work.WorkPresent = 0;
}

// A new model takes one history slot per undo step.
int32_t HistorySlots(const Settings& settings) { return std::max(1, settings.UndoDepth); }

bool NeedWorkpiece(DocumentContext& c) {
  if (c.S.Work.WorkPresent != 0 && c.S.Work.Workpiece().Allocated()) return true;
  c.S.Shell.Log("No workpiece: the command needs one.");
  return false;
}

void ShowBuildFailure(DocumentContext& c) { TellUser(c, "Memory over!", "Data size error"); }

// Takes a model just made or loaded as the workpiece: the current tool set
// up at its pitch, the work offset composed, the control point placed.
void TakeNewWorkpiece(DocumentContext& c) {
  Session& s = c.S;
  s.Work.WorkPresent = 1;
  ApplyToolChange(s, s.Nc.Modal.Tools.CurrentToolNumber, s.Defs.Settings.Pitch.WorkPitch);
  ComposeOffsetAndPosition(s);
  // The control point stands on the bounds just found.
  WorkpieceChanged(c);
  PlaceControlPoint(c);
}

// The new stock's placement: turned with the table when the work frame is
// rotated.
void PlaceNewStock(Session& s) {
  DexelModel& model = s.Work.Workpiece();
  if (s.Frame.FrameRotated == 0) return;
  ComputeModelPlacementMatrix(model, s.Defs.Kinematics, s.Defs.Controller,
                              s.Memory.Offsets.ActiveWorkOffset);
  model.Placed = 1;
}

bool BuildCylinderWorkpiece(DocumentContext& c, const StockDefinition& stock) {
  Session& s = c.S;
  const int32_t axis = std::clamp(stock.CylinderAxis, 0, 2);
  Vec3 base{stock.Cylinder[0], stock.Cylinder[1], stock.Cylinder[2]};
  double length = stock.Cylinder[3];
  // A negative length runs from the far end.
  if (length < 0.0) {
    base[static_cast<size_t>(axis)] += length;
    length = -length;
  }
  const double outer = stock.Cylinder[4] / 2.0, inner = stock.Cylinder[5] / 2.0;
  WorkExtent extent;
  for (size_t i = 0; i < 3; ++i) {
    const bool along = static_cast<int32_t>(i) == axis;
    extent.Min[i] = along ? base[i] : base[i] - outer;
    extent.Max[i] = along ? base[i] + length : base[i] + outer;
  }
  ComposeOffsetAndPosition(s);
  FreeWorkpiece(s);
  ForgetDifferencePainting(c);
  ChooseWorkPitch(s.Defs.Settings.Pitch, extent);
  s.Work.Extent = extent;
  DexelModel& model = s.Work.Workpiece();
  model.SlotCount = HistorySlots(s.Defs.Settings);
  if (CreateCylinderModel(model, base, axis, length, outer, inner,
                          s.Defs.Settings.Pitch.WorkPitch) < 0) {
    ShowBuildFailure(c);
    return false;
  }
  PlaceNewStock(s);
  TakeNewWorkpiece(c);
  return true;
}

// The box of the origin definition: per axis from the work origin, placed by
// its reference side, widened by its two margins.
std::array<double, 6> OriginBox(const Session& s) {
  const StockDefinition& stock = s.Defs.Settings.Stock;
  const WorkOffsetValues& origin = s.Memory.Offsets.ActiveWorkOffset;
  std::array<double, 6> box{};
  for (size_t i = 0; i < 3; ++i) {
    const double size = stock.ReferenceSizes[3 * i];
    const double low = stock.ReferenceSizes[3 * i + 1], high = stock.ReferenceSizes[3 * i + 2];
    const int32_t side = stock.Reference[i];
    const double shift = side < 0 ? 0.0 : (side == 0 ? -size / 2.0 : -size);
    box[i] = origin[i] + shift - low;
    box[i + 3] = box[i] + low + size + high;
  }
  return box;
}

bool BuildStock(DocumentContext& c, StockShape shape) {
  Session& s = c.S;
  StockDefinition& stock = s.Defs.Settings.Stock;
  switch (shape) {
    case StockShape::kCylinder:
      return BuildCylinderWorkpiece(c, stock);
    case StockShape::kTwoPointBox:
      return BuildBoxWorkpiece(c, stock.Box);
    case StockShape::kOriginBox: {
      ComposeWorkOffset(s.Memory.Offsets);
      const std::array<double, 6> box = OriginBox(s);
      if (!BuildBoxWorkpiece(c, box)) return false;
      // The two-point definition shows the box just made.
      stock.Box = box;
      return true;
    }
  }
  return false;
}

void WriteSettingsKey(DocumentContext& c, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string& path = c.S.Defs.Paths.SettingsFile;
  ProfileFile profile;
  if (LoadProfileFile(path, profile) == kProfileUnreadable) return;
  if (!profile.SetString(section, key, value)) return;
  std::string error;
  if (SaveProfileFile(path, profile, &error) < 0) c.S.Shell.Log(path + ": " + error);
}

int32_t StlKindOfSave(int32_t saveKind) {
  switch (saveKind) {
    case kSaveStlBinary:
      return 1;
    case kSaveStlBinaryBigEndian:
      return 2;
    default:
      return 0;
  }
}

// The command line's options of its work file put into the load: its
// coordinates for any model file, its scale for an STL file (whose move
// follows the load). A move or scale given with another kind of file is
// logged as not applied.
ModelFileOptions CommandLineModelOptions(DocumentContext& c, const std::string& path, bool stl,
                                         ModelLoadSettings& load) {
  ModelFileOptions given = c.S.CommandLine.workFileOptions;
  ResolveControllerScale(given, c.S.Defs.Controller);
  if (given.CoordinateSystem >= 0) load.ImportChoice = given.CoordinateSystem;
  const bool placed =
      given.MoveOn != std::array<int32_t, 3>{} || given.ScaleOn != std::array<int32_t, 3>{};
  if (!stl) {
    if (placed)
      c.S.Shell.Log(path + ": the move and scale options are for STL files; not applied.");
    given.MoveOn = {};
    return given;
  }
  for (size_t i = 0; i < 3; ++i) {
    load.StlOptions.Scale[i] = given.ScaleOn[i];
    load.StlOptions.ScaleRate[i] = given.ScaleRate[i];
    load.StlOptions.ScaleCentre[i] = given.ScaleCentre[i];
  }
  return given;
}

void ReportNcErrors(DocumentContext& c) {
  Session& s = c.S;
  const bool toLog = c.Automated || s.CommandLine.runMode.load() >= 4;
  if (toLog) s.Shell.Log(s.Defs.Paths.NcProgram);
  RunMessageFacts facts;
  ShowInterferenceMessage(MessageLinksOf(s, facts), toLog ? 1 : 0, s.Defs.Paths.NcProgram,
                          100 + s.Nc.Modal.AlarmCode);
}

}  // namespace

int64_t SelectNcProgram(DocumentContext& c, bool defineWork, bool& ncErrors) {
  Session& s = c.S;
  DefinitionFilePaths& paths = s.Defs.Paths;
  std::string name = paths.NcProgram;
  if (!ChooseFile(c, FileDialogKind::kNcProgram, false, name)) return kCommandNotDone;
  const std::string folder = paths.NcFolder.empty() ? paths.CurrentFolder : paths.NcFolder;
  const std::string path =
      FindNamedFile(c, name, folder, Say(c, "The NC data does not exist.", "NCデータが存在しません"),
                    Say(c, " - The NC data does not exist.", " - NCデータが存在しません"));
  if (path.empty()) return kCommandNotDone;

  paths.NcProgram = path;
  s.Nc.Modal.MainLineCounter = 0;
  s.Display.PathDisplay.store(0);
  s.Display.PathDisplay2.store(0);
  EnableNcMenuItems(c.Shell.Menu, true);
  c.Shell.PathPreset = 0;
  c.Shell.NcSelected = 1;
  c.ProgramSelected = true;
  s.Shell.RequestShellUpdate(ShellUpdate::kWindowTitle);
  s.Shell.RequestShellUpdate(ShellUpdate::kNcInfo);
  {
    NcReader reader(s.Program);
    LoadNcProgramText(s.Nc, NcPassOf(s), reader);
  }
  if (!defineWork) return kCommandDone;

  if (s.Work.WorkPresent != 0 &&
      !AskYes(c, Say(c, "Do you update the work?", "被切削材を更新してよいですね？"), "VESTAN9"))
    return kCommandDone;
  NcCheckResults results;
  if (CheckNcData(s, kCheckData, results) != kCheckDone) return kCommandDone;
  if (s.Nc.Modal.AlarmCode != kAlarmNone) {
    ncErrors = true;
    ReportNcErrors(c);
    return kCommandNcErrors;
  }
  std::array<double, 6> box{};
  if (!BoxAroundProgram(results, s.Defs.Settings, box)) {
    TellUser(c, paths.NcProgram,
             Say(c, "The NC data has no moves: no workpiece is fitted to it.",
                 "NCデータに移動がないため被切削材を定義できません"));
    return kCommandDone;
  }
  if (box[5] <= box[2]) {
    TellUser(c, paths.NcProgram,
             Say(c, "The cutting moves lie at one height: no workpiece is fitted to them.",
                 "切削移動が同じ高さにあるため被切削材を定義できません"));
    return kCommandDone;
  }
  // The old workpiece is gone when the box cannot be built: not done.
  return BuildBoxWorkpiece(c, box) ? kCommandDone : kCommandNotDone;
}

bool BoxAroundProgram(const NcCheckResults& r, const Settings& settings,
                      std::array<double, 6>& box) {
  // The box spans the cutting points (the tool tip after each cutting move).
  const bool cutting = r.CuttingMachine.Min[0] <= r.CuttingMachine.Max[0];
  const CheckExtents& extent = cutting ? r.CuttingMachine : r.Machine;
  if (extent.Min[0] > extent.Max[0]) return false;
  for (size_t i = 0; i < 2; ++i) {
    box[i] = extent.Min[i] - settings.WorkMargin[i];
    box[i + 3] = extent.Max[i] + settings.WorkMargin[i];
  }
  if (cutting) {
    box[2] = extent.Min[2];
    box[5] = extent.Max[2];
    // Cuts that all end at one height (a pocket at one depth) leave no
    // height: the box then reaches up to where those cuts began.
    if (box[5] <= box[2]) box[5] = std::max(box[5], r.CuttingSpan.Max[2]);
  } else {
    box[5] = extent.Min[2] - 5.0;
    box[2] = box[5] - 10.0;
  }
  return true;
}

bool BuildBoxWorkpiece(DocumentContext& c, const std::array<double, 6>& box) {
  Session& s = c.S;
  ComposeOffsetAndPosition(s);
  FreeWorkpiece(s);
  ForgetDifferencePainting(c);
  WorkExtent extent{{box[0], box[1], box[2]}, {box[3], box[4], box[5]}};
  ChooseWorkPitch(s.Defs.Settings.Pitch, extent);
  s.Work.Extent = extent;
  DexelModel& model = s.Work.Workpiece();
  model.SlotCount = HistorySlots(s.Defs.Settings);
  if (CreateBoxModel(model, box, s.Defs.Settings.Pitch.WorkPitch) < 0) {
    ShowBuildFailure(c);
    EnableRunMenuItems(c.Shell.Menu, false, false);
    return false;
  }
  PlaceNewStock(s);
  TakeNewWorkpiece(c);
  return true;
}

void PlaceControlPoint(DocumentContext& c) {
  Session& s = c.S;
  Settings& settings = s.Defs.Settings;
  const DexelModel& model = s.Work.Workpiece();
  const WorkOffsetValues& offset = s.Memory.Offsets.ActiveWorkOffset;
  // The workpiece's corners in program coordinates; the tool stands its
  // length above the top.
  const Vec3 low{model.MinCorner()[0] - offset[0], model.MinCorner()[1] - offset[1], 0.0};
  const double top = model.MaxCorner()[2] - offset[2] + s.Nc.Position.ToolLength;
  std::array<double, 5>& point = settings.ControlPoint;
  const char* word = "BOX-TOP";
  switch (settings.NewControlPoint) {
    case 1:
      word = "CURRENT";
      point[2] = std::max(point[2], top);
      break;
    case 2:
      word = "SPECIFY";
      for (size_t i = 0; i < 3; ++i) point[i] = settings.SpecifiedPoint[i];
      break;
    default:
      point[0] = low[0];
      point[1] = low[1];
      point[2] = top;
      break;
  }
  settings.ControlPointMachine = 0;
  for (size_t i = 0; i < 5; ++i) s.Nc.Position.ProgramPosition[i] = point[i];
  UpdateSessionPosition(s);
  WriteSettingsKey(c, "Define", "NEW CONTROL POINT", word);
}

int64_t WriteProgramVerifyReport(DocumentContext& c, int32_t noOpen, bool& ncErrors) {
  Session& s = c.S;
  NcCheckResults results;
  if (CheckNcData(s, kCheckData, results) != kCheckDone) return kCommandNotDone;
  if (s.Nc.Modal.AlarmCode != kAlarmNone) {
    ncErrors = true;
    ReportNcErrors(c);
    return kCommandNcErrors;
  }
  return WriteVerifyReport(s, results, noOpen) == kVerifyWritten ? kCommandDone : kCommandNotDone;
}

int64_t ReadDefinitionFileCommand(DocumentContext& c, int32_t command) {
  Session& s = c.S;
  DefinitionFilePaths& paths = s.Defs.Paths;
  std::string* name = command == 32781 ? &paths.ToolTable
                      : command == 32782 ? &paths.Controller
                                         : &paths.Machine;
  const FileDialogKind kind = command == 32781   ? FileDialogKind::kToolTable
                              : command == 32782 ? FileDialogKind::kController
                                                 : FileDialogKind::kMachine;
  std::string chosen = *name;
  if (!ChooseFile(c, kind, false, chosen)) return kCommandNotDone;
  *name = chosen;
  c.Shell.PathPreset = 0;
  int32_t state = kFileRead;
  if (command == 32781) {
    state = ReadToolTableInto(s).State;
  } else {
    s.Shell.RequestShellUpdate(ShellUpdate::kStopViewTimer);
    state = ReadControllerInto(s).State;
    if (command == 32782) {
      s.Shell.RequestShellUpdate(ShellUpdate::kNameBrush);
      s.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
    }
    const int32_t machine = ReadMachineInto(s, command == 32783 ? 1 : 0).State;
    if (command == 32783) state = machine;
    ReadToolTableInto(s);
  }
  UpdateSessionPosition(s);
  s.Shell.RequestShellUpdate(ShellUpdate::kWindowTitle);
  s.Shell.RequestShellUpdate(ShellUpdate::kInfoPane);
  s.Shell.RequestRedraw();
  return state == kFileRead ? kCommandDone : kCommandNotDone;
}

int64_t LoadWorkpiece(DocumentContext& c) {
  Session& s = c.S;
  DefinitionFilePaths& paths = s.Defs.Paths;
  std::string name = paths.WorkLoad;
  // A stock given on the command line without a file is built, not read.
  const int32_t stockKind = s.CommandLine.stockShapeKind.load();
  if (c.Automated && name.empty() && stockKind >= 1 && stockKind <= 3) {
    c.Shell.PathPreset = 0;
    const StockShape shape = stockKind == 1   ? StockShape::kTwoPointBox
                             : stockKind == 2 ? StockShape::kOriginBox
                                              : StockShape::kCylinder;
    return BuildStock(c, shape) ? kCommandDone : kCommandNotDone;
  }
  WorkLoadOptions& options = c.Shell.WorkLoad;
  // The command line's options belong to the file it named, not to one
  // picked in the dialog.
  const bool fromDialog = c.Shell.PathPreset == 0 && !c.Automated;
  const bool chosen = !fromDialog || c.Dialogs.SelectWorkFile(name, options);
  c.Shell.PathPreset = 0;
  // The rotate request lasts one load.
  struct RotateRequestEnds {
    WorkLoadOptions& Options;
    ~RotateRequestEnds() { Options.Rotate = 0; }
  } rotateEnds{options};
  if (!chosen) return kCommandNotDone;
  if (options.Reverse != 0 && !c.Dialogs.EditReverse(options)) {
    options.Reverse = 0;
    return kCommandNotDone;
  }
  if (options.Rotate != 0) {
    if (!c.Dialogs.EditRotaryCentre(options)) return kCommandNotDone;
    GetAxisSinCos(options.RotaryAngle, 1, options.RotarySin, options.RotaryCos);
  }
  const std::string folder = paths.WorkModelFolder.empty() ? paths.CurrentFolder : paths.WorkModelFolder;
  const std::string path = FindNamedFile(
      c, name, folder, Say(c, "The Work data does not exist.", "被切削材データが存在しません"),
      Say(c, " - The Work data does not exist.", " - 被切削材データが存在しません"));
  if (path.empty()) return kCommandNotDone;

  ModelLoadSettings load = ModelLoadSettingsFrom(s.Defs.Settings, s.Defs.Settings.Pitch.WorkPitch);
  const bool stl = HasFileEnding(path, ".STL");
  ModelFileOptions given;
  if (!fromDialog && s.CommandLine.workLoadRequested.load() != 0)
    given = CommandLineModelOptions(c, path, stl, load);
  // The read settings of the file's kind; a DMF or DME file is asked about
  // only while the work frame is shifted or turned.
  const Settings& settings = s.Defs.Settings;
  const bool shifted = s.Frame.FrameOffset != 0 || s.Frame.FrameRotated != 0;
  int32_t readDialog = 0;
  if (stl) {
    if (settings.StlSelect != 0) readDialog = 282;
  } else if (HasFileEnding(path, ".DMF") || HasFileEnding(path, ".DMFZ")) {
    if (settings.DmfSelect != 0 && shifted) readDialog = 288;
  } else if (settings.DmeSelect != 0 && shifted) {
    readDialog = 288;
  }
  if (readDialog != 0 && !c.Dialogs.EditModelRead(readDialog, load)) return kCommandNotDone;

  // Read beside the old workpiece, which stays when the file cannot be had.
  s.Progress.Label = Say(c, "Reading WORK", "WORK読み込み中");
  DexelModel loaded;
  loaded.SlotCount = HistorySlots(s.Defs.Settings);
  const ModelFileOutcome outcome =
      OpenWorkModelFile(loaded, path, load, s.Frame, c.Compression, &s.Progress);
  if (outcome.Result != kModelOk || !loaded.Allocated()) {
    FreeDexelModel(loaded);
    TellUser(c, outcome.Text.empty() ? path : outcome.Text,
             outcome.Caption.empty() ? std::string("Data error") : outcome.Caption);
    return kCommandNotDone;
  }
  ForgetDifferencePainting(c);
  FreeWorkpiece(s);
  std::swap(s.Work.Workpiece(), loaded);
  paths.WorkLoad = path;
  if (stl) {
    Vec3 move{};
    for (size_t i = 0; i < 3; ++i)
      if (given.MoveOn[i] != 0 && std::isfinite(given.Move[i])) move[i] = given.Move[i];
    if (move != Vec3{}) {
      TranslateModel(s.Work.Workpiece(), move);
      s.Work.Workpiece().Placed = 1;
    }
  }
  // The file's grid sets the pitch the workpiece is cut at.
  PitchSettings& pitch = s.Defs.Settings.Pitch;
  pitch.WorkPitch = s.Work.Workpiece().Pitch;
  if (pitch.MovePitchLinked == 1) pitch.MovePitch = pitch.MovePitchFactor * pitch.WorkPitch;
  TakeNewWorkpiece(c);
  s.Work.Extent = {s.Work.Workpiece().MinCorner(), s.Work.Workpiece().MaxCorner()};
  s.Shell.Log(Say(c, "Read End", "WORK読み込み完了") + ": " + path);
  return kCommandDone;
}

int64_t SaveWorkpiece(DocumentContext& c) {
  Session& s = c.S;
  DefinitionFilePaths& paths = s.Defs.Paths;
  std::string name = paths.WorkSave.empty() ? paths.WorkLoad : paths.WorkSave;
  const bool chosen = ChooseFile(c, FileDialogKind::kWork, true, name);
  c.Shell.PathPreset = 0;
  if (!chosen || name.empty()) return kCommandNotDone;
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  const std::string& folder = paths.WorkSaveFolder.empty() ? paths.WorkModelFolder : paths.WorkSaveFolder;
  const std::string path = HasFolderPart(name) || folder.empty() ? name : JoinPath(folder, name);
  const int32_t coordinates = s.CommandLine.saveCoordinates.load();
  const int32_t inWork = coordinates >= 0 ? coordinates : s.Defs.Settings.ExportInWork;
  const ModelFileOutcome outcome =
      SaveWorkModelFile(s.Work.Workpiece(), path, StlKindOfSave(s.CommandLine.saveKind.load()),
                        inWork, s.Frame, c.Compression, &s.Progress);
  if (outcome.Result != kSaveOk) {
    TellUser(c, outcome.Text.empty() ? path : outcome.Text,
             outcome.Caption.empty() ? std::string("Save error") : outcome.Caption);
    return kCommandNotDone;
  }
  paths.WorkSave = path;
  return kCommandDone;
}

int64_t DefineStockWorkpiece(DocumentContext& c, StockShape shape) {
  Session& s = c.S;
  Settings& settings = s.Defs.Settings;
  const int32_t command = shape == StockShape::kOriginBox     ? 32911
                          : shape == StockShape::kTwoPointBox ? 32787
                                                              : 32896;
  if (!c.Dialogs.EditStock(command, settings.Stock, settings.NewControlPoint))
    return kCommandNotDone;
  if (shape == StockShape::kTwoPointBox) {
    for (size_t i = 0; i < 3; ++i) {
      if (settings.Stock.Box[i] < settings.Stock.Box[i + 3]) continue;
      static constexpr const char* kJapanese[] = {"X値の最大最小が逆転しています",
                                                  "Y値の最大最小が逆転しています",
                                                  "Z値の最大最小が逆転しています"};
      const std::string english = std::string("The maximum and the minimum of ") +
                                  "XYZ"[i] + " value are reversed.";
      TellUser(c, Say(c, english, kJapanese[i]), "VESTAN9");
      return kCommandNotDone;
    }
  }
  return BuildStock(c, shape) ? kCommandDone : kCommandNotDone;
}

int64_t PaintWholeWorkpiece(DocumentContext& c, bool paint) {
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  DexelModel& model = c.S.Work.Workpiece();
  if (paint) {
    SetDexelMarks(model);
  } else {
    ClearDexelMarks(model);
  }
  MarkWholeGridChanged(model);
  c.S.Shell.RequestRedraw();
  return kCommandDone;
}

int64_t PeelPen(DocumentContext& c) {
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  int32_t pen = c.S.CommandLine.penJob.load();
  if (!c.Dialogs.ChoosePen(pen) || pen < 1 || pen > 16) return kCommandNotDone;
  DexelModel& model = c.S.Work.Workpiece();
  if (pen == 16) {
    ClearAllDexelTags(model);
  } else {
    ClearDexelTag(model, pen);
  }
  MarkWholeGridChanged(model);
  c.S.Shell.RequestRedraw();
  return kCommandDone;
}

int64_t RotateWorkpiece(DocumentContext& c) {
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  Session& s = c.S;
  int32_t axis = s.CommandLine.rotateAxis;
  double angle = s.CommandLine.rotateAngle;
  if (!c.Dialogs.EditRotation(axis, angle) || axis < 0 || axis > 2 || !std::isfinite(angle))
    return kCommandNotDone;
  double sn = 0.0, cs = 1.0;
  GetAxisSinCos(angle, 1, sn, cs);
  // Images of X, Y and Z under the turn about the axis.
  Matrix3 turn{1, 0, 0, 0, 1, 0, 0, 0, 1};
  if (axis == 0) turn = {1, 0, 0, 0, cs, sn, 0, -sn, cs};
  if (axis == 1) turn = {cs, 0, -sn, 0, 1, 0, sn, 0, cs};
  if (axis == 2) turn = {cs, sn, 0, -sn, cs, 0, 0, 0, 1};
  // In work coordinates the workpiece turns about the work origin, else
  // about the machine's.
  const Vec3 centre = s.Defs.Settings.RotationInWork != 0 ? s.Frame.Origin : Vec3{};
  DexelModel& model = s.Work.Workpiece();
  Placement& p = model.Placement;
  const Matrix3 turned = MultiplyMatrix3(PlacementMatrix(p), turn);
  const Vec3 moved = VectorAdd(MultiplyMatrixVector(turn, VectorSub({p[9], p[10], p[11]}, centre)),
                               centre);
  for (size_t i = 0; i < 9; ++i) p[i] = turned[i];
  for (size_t i = 0; i < 3; ++i) p[9 + i] = moved[i];
  NormalizePlacementMatrix(p, p);
  FinishModelPlacement(model);
  ForgetDifferencePainting(c);
  WorkpieceChanged(c);
  return kCommandDone;
}

int64_t MoveWorkpiece(DocumentContext& c) {
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  Session& s = c.S;
  Vec3 amount = s.CommandLine.moveAmount;
  if (!c.Dialogs.EditMove(amount)) return kCommandNotDone;
  for (double v : amount)
    if (!std::isfinite(v)) return kCommandNotDone;
  DexelModel& model = s.Work.Workpiece();
  TranslateModel(model, amount);
  model.Placed = 1;
  s.Work.Extent.Min = VectorAdd(s.Work.Extent.Min, amount);
  s.Work.Extent.Max = VectorAdd(s.Work.Extent.Max, amount);
  ForgetDifferencePainting(c);
  WorkpieceChanged(c);
  return kCommandDone;
}

int64_t LoadBasicModel(DocumentContext& c) {
  Session& s = c.S;
  std::string name = s.Defs.Paths.BasicModel;
  const bool chosen = ChooseFile(c, FileDialogKind::kStl, false, name);
  c.Shell.PathPreset = 0;
  if (!chosen || name.empty() || !NeedWorkpiece(c)) return kCommandNotDone;
  ModelLoadSettings load = ModelLoadSettingsFrom(s.Defs.Settings, s.Defs.Settings.Pitch.WorkPitch);
  // The coordinate system given with the basic model on the command line.
  if (s.CommandLine.basicModelGiven.load() != 0)
    load.ImportOverride = s.CommandLine.basicModelOptions.CoordinateSystem;
  const ModelFileOutcome outcome = OpenBasicModelFile(s.Work, name, load, s.Frame, &s.Progress);
  if (s.Work.BasicModelLoaded == 0) {
    TellUser(c, outcome.Text.empty() ? name : outcome.Text,
             outcome.Caption.empty() ? std::string("Data error") : outcome.Caption);
    return kCommandNotDone;
  }
  s.Defs.Paths.BasicModel = name;
  s.Defs.Paths.BasicModelTitle = FileNamePart(name);
  EnableRunMenuItems(c.Shell.Menu, true, true);
  s.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
  return kCommandDone;
}

int64_t PaintDifference(DocumentContext& c) {
  if (!NeedWorkpiece(c)) return kCommandNotDone;
  Session& s = c.S;
  if (!c.Dialogs.EditDifference(s.Defs.Difference)) return kCommandNotDone;
  if (s.Work.BasicModelLoaded == 0) {
    if (s.Defs.Paths.BasicModel.empty()) {
      TellUser(c, "", Say(c, "No basic model is given.", "基準形状が指定されていません"));
      return kCommandNotDone;
    }
    c.Shell.PathPreset = 1;
    if (LoadBasicModel(c) != kCommandDone) return kCommandNotDone;
  }
  DexelModel& model = s.Work.Workpiece();
  s.Shell.SetStatusText(0, Say(c, "Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)"));
  PushModelHistory(model);
  const int result = PaintModelDifference(s.Work, s.Defs.Difference, s.Progress);
  s.Shell.SetStatusText(0, "");
  if (result != kModelOk) return kCommandNotDone;
  c.Shell.DifferencePaintMode = 1;
  MarkWholeGridChanged(model);
  s.Shell.RequestRedraw();
  return kCommandDone;
}

}  // namespace vestan
