// The host: what the program asks of its surroundings (message boxes, status
// texts, progress bars, the log, sounds, the desktop). The window shell gives
// one with widgets; HeadlessHost serves unattended runs; tests record calls
// with RecordingHost. It serves the prompt, sound and shell ports of
// ports.h. The interface is header-only so that every folder may take a
// Host& without linking the platform library.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/ports.h"

namespace vestan {

// The main progress bar and the second one of a file read inside longer work.
enum class ProgressBar { kMain, kFile };

// What the shell rebuilds from the records when asked.
enum class ShellUpdate {
  kStatusBar,        // every pane of the status bar
  kWindowTitle,      // the main window's title from the current file names
  kViewCentre,       // the view centre from the definitions, the work or the offset
  kStatusTextTable,  // the status bar's label table from the axis letters
  kInfoPane,         // the information pane
  kSecondView,       // a paint of the second view window
  kStopViewTimer,    // the view window's periodic timer stopped, its counter zeroed
  kNameBrush,        // the brush behind the controller name, from its colours
  kStatusLabels,     // the status panes' labels of the current mode
  kNcInfo,           // the NC information pane: program, line number, block text
  kPositionPanes,    // the position and feed panes
  kBlockPane,        // the block pane
  kWorkInfoPane,     // the work-information pane
  kMenuChecks,       // the menu check marks from the current state
  kMagazine,         // a repaint of the tool magazine after a preselection
};

class Host : public PromptPort, public SoundPort, public ShellPort {
 public:
  ~Host() override = default;

  // Sets one part of the status bar.
  virtual void SetStatusText(int32_t part, std::string_view text) = 0;
  virtual void SetWindowTitle(std::string_view title) = 0;
  virtual void ShowProgressBar(ProgressBar bar, bool visible) = 0;
  virtual void SetProgressRange(ProgressBar bar, int32_t maximum) = 0;
  virtual void SetProgressPosition(ProgressBar bar, int32_t position) = 0;
  // Asks for the main window and the view to be repainted.
  virtual void RequestRedraw() = 0;
  // One line for the program's log (UTF-8, no line end).
  virtual void Log(std::string_view text) = 0;
  // Asks the shell to bring one of its views up to date; a host without
  // those views does nothing.
  virtual void RequestShellUpdate(ShellUpdate) {}
  // Lets the calling thread wait; the run's waits for the shell sleep here.
  virtual void Sleep(int32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  // True while the view is drawing from the shared records; work that moves
  // the position or the tool waits until it clears. A host without a view
  // never draws.
  virtual bool DisplayBusy() { return false; }
};

// Waits in steps of stepMs while the host's view is drawing. Returns false,
// without waiting further, as soon as aborted() says the work is given up.
template <typename Aborted>
bool WaitWhileDisplayBusy(Host& host, Aborted&& aborted, int32_t stepMs = 10) {
  while (host.DisplayBusy()) {
    if (aborted()) return false;
    host.Sleep(stepMs);
  }
  return true;
}

}  // namespace vestan

namespace vestan {

// The host of an unattended run: message boxes become log lines and take
// their unattended answer, the log goes to a file (cp932, in the log's entry
// form) and to stderr, window titles (which carry the progress of a run
// without a status bar) go to stderr, status texts and bars are not shown,
// nothing plays, and nothing is opened or started (a log line says so).
class HeadlessHost : public Host {
 public:
  explicit HeadlessHost(std::string logPath = "vestan.log", bool echoToStderr = true);

  void SetLogPath(std::string logPath) { logPath_ = std::move(logPath); }
  const std::string& LogPath() const { return logPath_; }

  MessageAnswer ShowMessage(const HostMessage& message) override;
  void SetStatusText(int32_t, std::string_view) override {}
  void SetWindowTitle(std::string_view title) override;
  void ShowProgressBar(ProgressBar, bool) override {}
  void SetProgressRange(ProgressBar, int32_t) override {}
  void SetProgressPosition(ProgressBar, int32_t) override {}
  void RequestRedraw() override {}
  void Log(std::string_view text) override;
  void PlaySound(std::string_view, SoundWait = SoundWait::kNo) override {}
  bool OpenWithDesktop(std::string_view path) override;
  bool StartProgram(const ProgramStart& start) override;

 private:
  std::string logPath_;
  bool echoToStderr_;
};

}  // namespace vestan
