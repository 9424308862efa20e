// A recording command target and automation port for the batch worker and
// macro runner tests: every command, key and end request in order, with
// the results and run behaviour a test scripts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation/macro_runner.h"
#include "platform/recording_host.h"

namespace vestan::testing {

class RecordingTarget : public CommandTarget {
 public:
  // "32784 0", "key 65", "view key 116", "system 61472", "end".
  std::vector<std::string> Calls;
  // A command's result; 1 when not listed.
  std::map<int32_t, int64_t> Results;
  // Runs when a command arrives, before its result is returned.
  std::function<void(int32_t id, int64_t lParam)> OnCommand;
  // Polls of RunBusy that report busy after each run command.
  int32_t BusyPolls = 0;
  int32_t BusyLeft = 0;

  int64_t SendCommand(int32_t id, int64_t lParam) override {
    Calls.push_back(std::to_string(id) + " " + std::to_string(lParam));
    if (OnCommand) OnCommand(id, lParam);
    if (id >= 32774 && id <= 32776) BusyLeft = BusyPolls;
    const auto it = Results.find(id);
    return it == Results.end() ? 1 : it->second;
  }
  void SendKey(int32_t virtualKey, bool toView) override {
    Calls.push_back(std::string(toView ? "view key " : "key ") + std::to_string(virtualKey));
  }
  void SendSystemCommand(int32_t command) override {
    Calls.push_back("system " + std::to_string(command));
  }
  void PostProgramEnd() override { Calls.push_back("end"); }
  bool RunBusy() override { return BusyLeft-- > 0; }
};

class RecordingPort : public AutomationPort {
 public:
  int32_t StatusRefreshes = 0;
  int32_t LogSectionsEnded = 0;
  bool StoppedEarly = false;

  void OnMainThread(const std::function<void()>& change) override { change(); }
  void RefreshStatusBar() override { ++StatusRefreshes; }
  void EndLogSection() override { ++LogSectionsEnded; }
  bool RunStoppedEarly() override { return StoppedEarly; }
  bool Stopping() override { return false; }
};

// A session with its host, shell state, target and port, and the context
// over them.
struct AutomationWorld {
  RecordingHost Host;
  Session S{Host};
  ShellState Shell;
  RecordingTarget Target;
  RecordingPort Port;
  std::string ImageFile;
  AutomationContext Context{Target, Port, S, Shell, false, &ImageFile};

  std::string LogText() const {
    std::string text;
    for (const std::string& line : Host.Texts(RecordingHost::Call::kLog)) text += line + "\n";
    return text;
  }
};

}  // namespace vestan::testing
