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

void Show(const Texts& texts, const ChangeCheckRecords& r, Host& host) {
  HostMessage message;
  message.Text = std::string(r.EnglishMode != 0 ? texts.English : texts.Japanese);
  message.Topmost = true;
  host.ShowMessage(message);
}

void Sound(std::string_view name, const ChangeCheckRecords& r, Host& host) {
  if (r.AppSettings.SoundOn == 0) return;
  host.PlaySound(name);
  std::this_thread::yield();
}

void RebuildToolList(const ChangeCheckRecords& r) {
  if (r.AppSettings.ToolDisplay > 0) r.Display.RequestRebuild(kListTool);
}

// Whether the file read last changed since; a file missing at its last
// read is announced (when missing is given) and then no longer watched.
bool Changed(WatchedFile& watch, std::string_view fileName, const Texts* missing,
             const ChangeCheckRecords& r, Host& host) {
  if (watch.State == kFileMissing && missing != nullptr) {
    Show(*missing, r, host);
    watch.State = kFileNotWatched;
    return false;
  }
  if (watch.State != kFileRead) return false;
  // A file whose time cannot be read any more counts as changed: its reader
  // then finds it missing.
  const std::optional<FileTime> time = LastWriteTime(ResolveDefinitionPath(fileName));
  return !time || *time != watch.Time;
}

}  // namespace

bool MayCheckDefinitionFiles(const ChangeCheckRecords& records) {
  const std::string current = CurrentFolder();
  return EqualsIgnoringAsciiCase(WithoutTrailingSeparator(current),
                                 WithoutTrailingSeparator(records.Paths.CurrentFolder));
}

bool DefinitionFileChanged(DefinitionFile file, const ChangeCheckRecords& r, Host& host) {
  switch (file) {
    case DefinitionFile::kToolTable:
      return Changed(r.ToolFiles.ToolTable, r.Paths.ToolTable, &kToolTableMissing, r, host);
    case DefinitionFile::kArborTable:
      // A missing arbor table is never announced.
      return Changed(r.ToolFiles.ArborTable, r.ToolFiles.ArborTableName, nullptr, r, host);
    case DefinitionFile::kController:
      return Changed(r.Controller, r.Paths.Controller, &kControllerMissing, r, host);
    case DefinitionFile::kMachine:
      return Changed(r.Machine, r.Paths.Machine, &kMachineMissing, r, host);
  }
  return false;
}

void AnnounceDefinitionReload(DefinitionFile file, const ChangeCheckRecords& r, Host& host) {
  switch (file) {
    case DefinitionFile::kToolTable:
      Show(kToolTableChanged, r, host);
      return;
    case DefinitionFile::kArborTable:
      Show(kArborTableChanged, r, host);
      return;
    case DefinitionFile::kController:
      Show(kControllerChanged, r, host);
      host.RequestShellUpdate(ShellUpdate::kStopViewTimer);
      return;
    case DefinitionFile::kMachine:
      Show(kMachineChanged, r, host);
      host.RequestShellUpdate(ShellUpdate::kStopViewTimer);
      return;
  }
}

void FinishDefinitionReload(DefinitionFile file, const ChangeCheckRecords& r, Host& host) {
  switch (file) {
    case DefinitionFile::kToolTable:
      RebuildToolList(r);
      r.Display.RequestRebuild(kSlideAndHeadLists);
      host.RequestShellUpdate(ShellUpdate::kWindowTitle);
      Sound("toolchg.wav", r, host);
      host.RequestShellUpdate(ShellUpdate::kSecondView);
      host.RequestRedraw();
      return;
    case DefinitionFile::kArborTable:
      host.RequestShellUpdate(ShellUpdate::kWindowTitle);
      Sound("toolchg.wav", r, host);
      host.RequestShellUpdate(ShellUpdate::kSecondView);
      host.RequestRedraw();
      return;
    case DefinitionFile::kController:
      host.RequestShellUpdate(ShellUpdate::kNameBrush);
      host.RequestShellUpdate(ShellUpdate::kStatusBar);
      Sound("workset.wav", r, host);
      host.RequestRedraw();
      return;
    case DefinitionFile::kMachine:
      host.RequestShellUpdate(ShellUpdate::kNameBrush);
      host.RequestShellUpdate(ShellUpdate::kStatusBar);
      RebuildToolList(r);
      if (r.SyncPluginLoaded) host.RequestShellUpdate(ShellUpdate::kInfoPane);
      host.RequestShellUpdate(ShellUpdate::kWindowTitle);
      Sound("workset.wav", r, host);
      host.RequestRedraw();
      host.RequestShellUpdate(ShellUpdate::kSecondView);
      return;
  }
}

}  // namespace vestan
