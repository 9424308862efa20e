#include "shell/core/command_dispatcher.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>

#include "foundation/path_text.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "simulation/session_files.h"

namespace vestan {

namespace {

// The dialogs whose work is theirs alone: the dispatcher opens them and
// redraws after OK.
constexpr int32_t kDialogCommands[] = {32779, 32788, 32812, 32813, 32819, 32821, 32841, 32842,
                                       32852, 32884, 32894, 32900, 32904, 32905, 32906, 32907,
                                       32912, 104,   122,   128,   138,   154,   208};

// The commands that take a file name, which clear the path preset when done.
constexpr int32_t kFileCommands[] = {32771, 32772, 32781, 32782, 32783,
                                     32784, 32786, 32851, 32889, 32904};

bool IsOneOf(int32_t id, std::span<const int32_t> ids) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::filesystem::file_time_type FileTimeOf(const std::string& path) {
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(ToNativePath(path), ec);
  return ec ? std::filesystem::file_time_type{} : time;
}

// The commands that change what a run reads: refused while one is going.
constexpr int32_t kRunDataCommands[] = {32771, 32772, 32773, 32781, 32782, 32783, 32784,
                                        32786, 32787, 32788, 32789, 32790, 32820, 32826,
                                        32827, 32851, 32893, 32896, 32897, 32898, 32899,
                                        32904, 32905, 32906, 32911, 32912};

// The view's mouse modes of the command menu window's buttons.
int32_t MouseModeOf(int32_t id) {
  switch (id) {
    case 248:
      return 8;
    case 249:
      return 9;
    case 257:
      return 11;
    case 261:
      return 14;
    default:
      return id >= 250 && id <= 256 ? id - 249 : 0;
  }
}

}  // namespace

CommandDispatcher::CommandDispatcher(Session& session, ShellState& shell, DialogPort& dialogs)
    : s_(session), shell_(shell), dialogs_(dialogs) {}

bool CommandDispatcher::Automated() const {
  return Automation.load() != 0 || s_.CommandLine.batchMode.load() != 0;
}

DocumentContext CommandDispatcher::Context() {
  return DocumentContext{s_, shell_, dialogs_, Compression, Automated()};
}

bool CommandDispatcher::RunBusy() const {
  return run_ != nullptr ? run_->RunBusy() : s_.Control.CuttingMode.load() != kCuttingIdle;
}

MenuCheckFacts CommandDispatcher::CheckFacts() const {
  MenuCheckFacts f;
  f.PathDisplay = s_.Display.PathDisplay.load();
  f.PathWithoutRotary = s_.Display.PathDisplay2.load();
  f.PathPoints = s_.Defs.Settings.ConstructionPoint;
  f.CoordinateAxes = Toggles.CoordinateAxes;
  f.Perspective = s_.View.Perspective;
  f.CommandMenuShown = Toggles.CommandMenuShown;
  f.ToolDialogShown = Toggles.ToolDialogShown;
  f.ToolTipControlMode = s_.Defs.Controller.ToolCenterControl[0];
  f.StopOption = s_.Defs.Controller.StopOption;
  f.RotaryRealCutting = s_.Defs.Settings.RealRotation;
  f.RapidRealCutting = s_.Defs.Settings.RealRapid;
  return f;
}

void CommandDispatcher::UpdateChecks() {
  UpdateMenuChecks(shell_.Menu, CheckFacts());
  s_.Shell.RequestShellUpdate(ShellUpdate::kMenuChecks);
}

int64_t CommandDispatcher::Execute(int32_t id, int64_t lParam) {
  if (IsOneOf(id, kRunDataCommands) && RunBusy()) {
    s_.Shell.Log("Command " + std::to_string(id) + " refused: a run is going.");
    return kCommandNotDone;
  }
  int64_t result = kCommandUnknown;
  DocumentContext context = Context();
  bool ncErrors = false;
  switch (id) {
    case 32771:
    case 32772:
      NcErrorReported.store(0);
      result = SelectNcProgram(context, id == 32772, ncErrors);
      if (result == kCommandNotDone) break;
      ncFileTime_ = FileTimeOf(s_.Defs.Paths.NcProgram);
      // The program opens in the editor at selection when the user asks so.
      if (s_.CommandLine.batchMode.load() == 0 && s_.Defs.Settings.Editor.SelectOpen != 0)
        dialogs_.Open(32813);
      break;
    case 32773:
      NcErrorReported.store(0);
      if (shell_.NcSelected == 0) {
        s_.Shell.Log("The data check needs a selected NC program.");
        result = kCommandNotDone;
        break;
      }
      result = WriteProgramVerifyReport(context, lParam != 0 ? 1 : 0, ncErrors);
      break;
    case 32774:
    case 32775:
    case 32776:
      result = RunCommand(id);
      break;
    case 32777:
    case 32778:
      result = TogglePath(id);
      break;
    case 32781:
    case 32782:
    case 32783:
      result = ReadDefinitionFileCommand(context, id);
      break;
    case 32784:
      result = LoadWorkpiece(context);
      break;
    case 32786:
      result = SaveWorkpiece(context);
      break;
    case 32787:
      result = DefineStockWorkpiece(context, StockShape::kTwoPointBox);
      break;
    case 32789:
    case 32790:
      result = PaintWholeWorkpiece(context, id == 32789);
      break;
    case 32820:
      result = PeelPen(context);
      break;
    case 32826:
      result = RotateWorkpiece(context);
      break;
    case 32827:
      result = MoveWorkpiece(context);
      break;
    case 32851:
      result = LoadBasicModel(context);
      break;
    case 32853:
    case 32854:
    case 32855:
    case 32856:
    case 32857:
      s_.Defs.Controller.StopOption = id - 32853;
      s_.Shell.RequestShellUpdate(ShellUpdate::kStatusLabels);
      UpdateChecks();
      result = kCommandDone;
      break;
    case 32889:
      result = SaveViewImageCommand();
      break;
    case 32893:
      result = PaintDifference(context);
      break;
    case 32896:
      result = DefineStockWorkpiece(context, StockShape::kCylinder);
      break;
    case 32897:
    case 32898:
    case 32899: {
      // The mode in force and the one each run starts again from.
      std::array<int32_t, 2>& mode = s_.Defs.Controller.ToolCenterControl;
      mode[0] = mode[1] = id - 32897;
      UpdateSessionPosition(s_);
      s_.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
      UpdateChecks();
      s_.Shell.RequestRedraw();
      result = kCommandDone;
      break;
    }
    case 32911:
      result = DefineStockWorkpiece(context, StockShape::kOriginBox);
      break;
    case 105:
      if (Exit) Exit();
      result = Exit ? kCommandDone : kCommandNotDone;
      break;
    case 801:
      result = s_.Shell.OpenWithDesktop(s_.Defs.Paths.HelpFile) ? kCommandDone : kCommandNotDone;
      break;
    case 32951:
    case 32952:
    case 32953:
      // The modifier plug-ins' items act in the plug-ins alone.
      result = kCommandNotDone;
      break;
    default:
      if (IsOneOf(id, kDialogCommands)) {
        result = dialogs_.Open(id) ? kCommandDone : kCommandNotDone;
        if (result == kCommandDone) s_.Shell.RequestRedraw();
      } else if (id >= kPluginCommandFirst && id <= kPluginCommandLast) {
        s_.Shell.Log("No simulation plug-in takes menu item " +
                     std::to_string(id - kPluginCommandFirst) + ".");
        result = kCommandNotDone;
      } else {
        result = ToggleCommand(id);
        if (result == kCommandUnknown) result = WindowCommand(id);
      }
      break;
  }
  if (ncErrors) NcErrorReported.store(1);
  if (IsOneOf(id, kFileCommands)) shell_.PathPreset = 0;
  return result;
}

int64_t CommandDispatcher::RunCommand(int32_t id) {
  const char* refusal = nullptr;
  if (run_ == nullptr) {
    refusal = "no run control";
  } else if (shell_.NcSelected == 0) {
    refusal = "no NC program selected";
  }
  if (refusal != nullptr) {
    s_.Shell.Log("Run command " + std::to_string(id) + " refused: " + refusal + ".");
    return kCommandNotDone;
  }
  run_->RunCommand(id - 32773);
  return kCommandDone;
}

int64_t CommandDispatcher::TogglePath(int32_t id) {
  std::atomic<int32_t>& flag = id == 32777 ? s_.Display.PathDisplay : s_.Display.PathDisplay2;
  flag.store(flag.load() != 0 ? 0 : 1);
  const bool running = RunBusy();
  // During a run the path is drawn again only from the program that was
  // selected, not from one changed on disk since.
  if (!running || FileTimeOf(s_.Defs.Paths.NcProgram) == ncFileTime_) {
    s_.Display.RequestRebuild(id == 32777 ? kListPath : kListPath2);
  }
  Toggles.PathShift = ShiftHeld && ShiftHeld() ? 1 : 0;
  s_.Shell.RequestRedraw();
  UpdateChecks();
  return kCommandDone;
}

int64_t CommandDispatcher::SaveViewImageCommand() {
  std::string path = ImageFile;
  if (shell_.PathPreset == 0 && !Automated() &&
      !dialogs_.SelectFile(FileDialogKind::kImage, true, path))
    return kCommandNotDone;
  if (path.empty()) return kCommandNotDone;
  if (!HasFileEnding(path, ".PNG")) path += ".PNG";
  if (!SaveImage) {
    s_.Shell.Log("The view cannot be saved as an image here: " + path);
    return kCommandNotDone;
  }
  ImageFile = path;
  return SaveImage(path) == 1 ? kCommandDone : kCommandNotDone;
}

int64_t CommandDispatcher::ToggleCommand(int32_t id) {
  Settings& settings = s_.Defs.Settings;
  const bool running = RunBusy();
  switch (id) {
    case 32794:
      settings.SoundOn = settings.SoundOn != 0 ? 0 : 1;
      if (settings.SoundOn == 0) s_.Shell.StopSound();
      return kCommandDone;
    case 32800:
      if (running) return kCommandNotDone;
      settings.ConstructionPoint = settings.ConstructionPoint != 0 ? 0 : 1;
      s_.Display.RequestRebuild(std::array<DisplayList, 2>{kListPath, kListPath2});
      break;
    case 32828:
      Toggles.CoordinateAxes = Toggles.CoordinateAxes != 0 ? 0 : 1;
      break;
    case 32872:
      Toggles.ColouringMode = (Toggles.ColouringMode + 1) % 6;
      if (s_.Work.WorkPresent != 0 && s_.Work.Workpiece().Allocated())
        MarkWholeGridChanged(s_.Work.Workpiece());
      break;
    case 32879:
      Toggles.WorkDisplayFlag = Toggles.WorkDisplayFlag != 0 ? 0 : 1;
      break;
    case 32901:
      s_.View.Perspective = s_.View.Perspective != 0 ? 0 : 1;
      break;
    case 32902:
      settings.RealRotation = settings.RealRotation != 0 ? 0 : 1;
      break;
    case 32908:
      settings.RealRapid = settings.RealRapid != 0 ? 0 : 1;
      break;
    case 32931:
      if (Toggles.PluginToolData == 0) {
        s_.Shell.Log("No tool plug-in gives tool data.");
        return kCommandNotDone;
      }
      Toggles.PluginToolData = 0;
      ReadToolTableInto(s_);
      shell_.PathPreset = 0;
      s_.Shell.RequestShellUpdate(ShellUpdate::kWindowTitle);
      break;
    default:
      return kCommandUnknown;
  }
  s_.Shell.RequestRedraw();
  UpdateChecks();
  return kCommandDone;
}

int64_t CommandDispatcher::WindowCommand(int32_t id) {
  Settings& settings = s_.Defs.Settings;
  switch (id) {
    case 213:
      Toggles.CommandMenuShown = Toggles.CommandMenuShown != 0 ? 0 : 1;
      settings.ViewP = Toggles.CommandMenuShown;
      break;
    case 32816:
      Toggles.ToolDialogShown = Toggles.ToolDialogShown != 0 ? 0 : 1;
      settings.ViewT = Toggles.ToolDialogShown;
      break;
    case 32883:
      Toggles.ToolDialogShown = 0;
      settings.ViewT = 0;
      break;
    default: {
      const int32_t mode = MouseModeOf(id);
      if (mode == 0) return kCommandUnknown;
      Toggles.MouseMode = mode;
      if (id == 248) Toggles.MouseSide = 1;
      if (id == 249) Toggles.MouseSide = 0;
      if (id != 257 && id != 261) s_.Shell.RequestShellUpdate(ShellUpdate::kBlockPane);
      return kCommandDone;
    }
  }
  UpdateChecks();
  return kCommandDone;
}

}  // namespace vestan
