#include "definitions/change_check.h"

#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "foundation/path_text.h"
#include "foundation/text_fields.h"
#include "platform/host.h"
#include "platform/process_paths.h"

namespace vestan {

namespace {

struct Texts {
  std::string_view English;
  std::string_view Japanese;
};

constexpr Texts kToolTableChanged{"Because the TTL-file has been update, it reads.",
                                  "工具設定ファイルが更新されているので読み込みます。"};
constexpr Texts kToolTableMissing{"The TTL-file is not found.",
                                  "工具設定ファイルが見つかりません。"};
constexpr Texts kArborTableChanged{"Because the ATL-file has been update, it reads.",
                                   "アーバー定義ファイルが更新されているので読み込みます。"};
constexpr Texts kControllerChanged{"Because the CTL-file has been update, it reads.",
                                   "コントローラー定義ファイルが更新されているので読み込みます。"};
constexpr Texts kControllerMissing{"The CTL-file is not found.",
                                   "コントローラー定義ファイルが見つかりません。"};
constexpr Texts kMachineChanged{"Because the MTL-file has been update, it reads.",
                                "機械定義ファイルが更新されているので読み込みます。"};
constexpr Texts kMachineMissing{"The MTL-file is not found.", "機械定義ファイルが見つかりません。"};

std::string_view WithoutTrailingSeparator(std::string_view folder) {
  while (folder.size() > 1 && EndsWithPathSeparator(folder)) folder.remove_suffix(1);
  return folder;
}

class ChangeCheck {
 public:
  ChangeCheck(const ChangeCheckRecords& records, const DefinitionReloadHooks& hooks, Host& host)
      : r_(records), hooks_(hooks), host_(host) {}

  void Run();

 private:
  void Show(const Texts& texts) {
    HostMessage message;
    message.Text = std::string(r_.EnglishMode != 0 ? texts.English : texts.Japanese);
    message.Topmost = true;
    host_.ShowMessage(message);
  }
  static void Call(const std::function<void()>& hook) {
    if (hook) hook();
  }
  void ReadMachine(int32_t clearFlag) {
    if (hooks_.ReadMachineDefinition) hooks_.ReadMachineDefinition(clearFlag);
  }
  void Sound(std::string_view name) {
    if (r_.AppSettings.SoundOn == 0) return;
    host_.PlaySound(name);
    std::this_thread::yield();
  }
  void RebuildToolList() {
    if (r_.AppSettings.ToolDisplay > 0) r_.Display.RequestRebuild(kListTool);
  }
  void Redraw() { host_.RequestRedraw(); }
  // The controller reread, with what shows it (shared by both branches).
  void ReloadController() {
    host_.RequestShellUpdate(ShellUpdate::kStopViewTimer);
    Call(hooks_.ReadControllerDefinition);
    host_.RequestShellUpdate(ShellUpdate::kNameBrush);
    host_.RequestShellUpdate(ShellUpdate::kStatusBar);
  }
  // Whether the file read last changed since; a file missing at its last
  // read is announced (when missing is given) and then no longer watched.
  bool Changed(WatchedFile& watch, std::string_view fileName, const Texts* missing);
  void CheckToolTable();
  void CheckArborTable();
  void CheckController();
  void CheckMachine();

  const ChangeCheckRecords& r_;
  const DefinitionReloadHooks& hooks_;
  Host& host_;
};

bool ChangeCheck::Changed(WatchedFile& watch, std::string_view fileName, const Texts* missing) {
  if (watch.State == kFileMissing && missing != nullptr) {
    Show(*missing);
    watch.State = kFileNotWatched;
    return false;
  }
  if (watch.State != kFileRead) return false;
  // A file whose time cannot be read any more counts as changed: its reader
  // then finds it missing.
  const std::optional<FileTime> time = LastWriteTime(ResolveDefinitionPath(fileName));
  return !time || *time != watch.Time;
}

void ChangeCheck::CheckToolTable() {
  if (!Changed(r_.ToolFiles.ToolTable, r_.Paths.ToolTable, &kToolTableMissing)) return;
  Show(kToolTableChanged);
  Call(hooks_.ReadToolTable);
  RebuildToolList();
  Call(hooks_.UpdateMachinePosition);
  r_.Display.RequestRebuild(kSlideAndHeadLists);
  host_.RequestShellUpdate(ShellUpdate::kWindowTitle);
  Sound("toolchg.wav");
  host_.RequestShellUpdate(ShellUpdate::kSecondView);
  Redraw();
}

void ChangeCheck::CheckArborTable() {
  // A missing arbor table is never announced.
  if (!Changed(r_.ToolFiles.ArborTable, r_.ToolFiles.ArborTableName, nullptr)) return;
  Show(kArborTableChanged);
  Call(hooks_.ReadToolTable);
  Call(hooks_.UpdateMachinePosition);
  host_.RequestShellUpdate(ShellUpdate::kWindowTitle);
  Sound("toolchg.wav");
  host_.RequestShellUpdate(ShellUpdate::kSecondView);
  Redraw();
}

void ChangeCheck::CheckController() {
  if (!Changed(r_.Controller, r_.Paths.Controller, &kControllerMissing)) return;
  Show(kControllerChanged);
  ReloadController();
  ReadMachine(0);
  Call(hooks_.ReadToolTable);
  Sound("workset.wav");
  Redraw();
}

void ChangeCheck::CheckMachine() {
  if (!Changed(r_.Machine, r_.Paths.Machine, &kMachineMissing)) return;
  Show(kMachineChanged);
  ReloadController();
  ReadMachine(1);
  Call(hooks_.BuildToolProfile);
  RebuildToolList();
  Call(hooks_.ReadToolTable);
  Call(hooks_.UpdateMachinePosition);
  if (r_.SyncPluginLoaded) host_.RequestShellUpdate(ShellUpdate::kInfoPane);
  host_.RequestShellUpdate(ShellUpdate::kWindowTitle);
  Sound("workset.wav");
  Redraw();
  host_.RequestShellUpdate(ShellUpdate::kSecondView);
}

void ChangeCheck::Run() {
  // Relative names mean the start-up folder; elsewhere (after a file
  // dialog moved the current folder) they would name other files.
  const std::string current = CurrentFolder();
  if (!EqualsIgnoringAsciiCase(WithoutTrailingSeparator(current),
                               WithoutTrailingSeparator(r_.Paths.CurrentFolder)))
    return;
  r_.ChangeCheckState = kCheckRunning;
  CheckToolTable();
  CheckArborTable();
  CheckController();
  CheckMachine();
  r_.ChangeCheckState = kCheckIdle;
}

}  // namespace

void CheckDefinitionFilesUpdated(const ChangeCheckRecords& records,
                                 const DefinitionReloadHooks& hooks, Host& host) {
  ChangeCheck(records, hooks, host).Run();
}

}  // namespace vestan
