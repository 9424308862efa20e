// A Host for tests: records every call in order and answers message boxes
// from a queue (the message's unattended answer once the queue is empty).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace vestan {

class RecordingHost : public Host {
 public:
  enum class Call {
    kMessage,
    kStatusText,
    kWindowTitle,
    kShowProgress,
    kProgressRange,
    kProgressPosition,
    kRedraw,
    kLog,
    kSound,
    kStopSound,
    kOpen,
    kStartProgram,
    kShellUpdate,
    kSleep
  };
  struct Event {
    Call Kind;
    // Message text, status text, title, log line, sound, path, or a program
    // with its arguments, each after one blank.
    std::string Text;
    // Status part, progress value, visibility, shell update, sleep, 1 for a
    // sound played to its end.
    int32_t Value = 0;
    int32_t Bar = 0;  // progress bar (0 main, 1 file)
  };

  std::vector<Event> Events;
  std::vector<HostMessage> Messages;
  std::deque<MessageAnswer> Answers;
  bool OpenSucceeds = true;
  bool StartSucceeds = true;
  // Runs at every sleep, in place of the wait: a test plays the other thread
  // here (clears a flag, sets abort).
  std::function<void(int32_t milliseconds)> OnSleep;
  // How many more times DisplayBusy answers true; each question counts.
  int32_t BusyPolls = 0;

  // The texts of all events of one kind, in order.
  std::vector<std::string> Texts(Call kind) const {
    std::vector<std::string> texts;
    for (const Event& e : Events)
      if (e.Kind == kind) texts.push_back(e.Text);
    return texts;
  }

  MessageAnswer ShowMessage(const HostMessage& message) override {
    Messages.push_back(message);
    Events.push_back({Call::kMessage, message.Text});
    if (Answers.empty()) return message.UnattendedAnswer;
    const MessageAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void SetStatusText(int32_t part, std::string_view text) override {
    Events.push_back({Call::kStatusText, std::string(text), part});
  }
  void SetWindowTitle(std::string_view title) override {
    Events.push_back({Call::kWindowTitle, std::string(title)});
  }
  void ShowProgressBar(ProgressBar bar, bool visible) override {
    Events.push_back({Call::kShowProgress, {}, visible ? 1 : 0, BarIndex(bar)});
  }
  void SetProgressRange(ProgressBar bar, int32_t maximum) override {
    Events.push_back({Call::kProgressRange, {}, maximum, BarIndex(bar)});
  }
  void SetProgressPosition(ProgressBar bar, int32_t position) override {
    Events.push_back({Call::kProgressPosition, {}, position, BarIndex(bar)});
  }
  void RequestRedraw() override { Events.push_back({Call::kRedraw, {}}); }
  void Log(std::string_view text) override { Events.push_back({Call::kLog, std::string(text)}); }
  void PlaySound(std::string_view name, SoundWait wait = SoundWait::kNo) override {
    Events.push_back({Call::kSound, std::string(name), wait == SoundWait::kUntilPlayed ? 1 : 0});
  }
  void StopSound() override { Events.push_back({Call::kStopSound, {}}); }
  bool OpenWithDesktop(std::string_view path) override {
    Events.push_back({Call::kOpen, std::string(path)});
    return OpenSucceeds;
  }
  bool StartProgram(const ProgramStart& start) override {
    std::string text = start.Program;
    for (const std::string& argument : start.Arguments) text += " " + argument;
    Events.push_back({Call::kStartProgram, text});
    return StartSucceeds;
  }
  void RequestShellUpdate(ShellUpdate what) override {
    Events.push_back({Call::kShellUpdate, {}, static_cast<int32_t>(what)});
  }
  bool DisplayBusy() override {
    if (BusyPolls <= 0) return false;
    --BusyPolls;
    return true;
  }
  void Sleep(int32_t milliseconds) override {
    Events.push_back({Call::kSleep, {}, milliseconds});
    if (OnSleep) OnSleep(milliseconds);
  }
  // How many events of one kind were recorded.
  int32_t Count(Call kind) const {
    int32_t count = 0;
    for (const Event& e : Events)
      if (e.Kind == kind) ++count;
    return count;
  }
  // How often one shell update was asked for.
  int32_t Updates(ShellUpdate what) const {
    int32_t count = 0;
    for (const Event& e : Events)
      if (e.Kind == Call::kShellUpdate && e.Value == static_cast<int32_t>(what)) ++count;
    return count;
  }

 private:
  static int32_t BarIndex(ProgressBar bar) { return bar == ProgressBar::kMain ? 0 : 1; }
};

}  // namespace vestan
