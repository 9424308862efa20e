// The batch worker's and the macro runner's way into the program: each
// command runs through the dispatcher on the main thread and returns once
// carried out, as a sent window message does; keys go to the function and
// run keys; the records the worker sets are written on the main thread.
#pragma once

#include <cstdint>
#include <functional>

#include "automation/macro_runner.h"
#include "shell/core/command_ports.h"

namespace vestan {

struct Application;

class AutomationLink : public CommandTarget, public AutomationPort {
 public:
  explicit AutomationLink(Application& app) : app_(app) {}

  int64_t SendCommand(int32_t id, int64_t lParam) override;
  void SendKey(int32_t virtualKey, bool toView) override;
  void SendSystemCommand(int32_t command) override;
  void PostProgramEnd() override;
  bool RunBusy() override;

  void OnMainThread(const std::function<void()>& change) override;
  void RefreshStatusBar() override;
  void EndLogSection() override;
  bool RunStoppedEarly() override;
  bool Stopping() override;

 private:
  Application& app_;
};

// The batch worker's work: the command line's job (or its macro) carried
// out unattended, the dispatcher told so while it lasts. Returns the
// worker's result (kAutomationDone or the first failure).
int32_t RunBatchWork(Application& app);

}  // namespace vestan
