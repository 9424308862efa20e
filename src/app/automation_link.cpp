#include "app/automation_link.h"

#include <cstdio>
#include <string>

#include "app/start_up.h"
#include "automation/batch_worker.h"
#include "platform/file_open.h"
#include "platform/virtual_keys.h"

namespace vestan {

int64_t AutomationLink::SendCommand(int32_t id, int64_t lParam) {
  const std::optional<int64_t> result =
      app_.Queue.SendFor([this, id, lParam] { return app_.Dispatcher->Execute(id, lParam); });
  return result.value_or(0);
}

void AutomationLink::SendKey(int32_t virtualKey, bool toView) {
  OnMainThread([&] {
    if (toView && virtualKey >= vk::F(5) && virtualKey <= vk::F(9)) {
      FunctionKeyFacts facts;
      facts.NcSelected = app_.Shell.NcSelected != 0;
      if (const int32_t id = FunctionKeyCommand(virtualKey, facts); id != 0) {
        app_.Dispatcher->Execute(id, 0);
        return;
      }
    }
    if (!toView && app_.Runs.KeyDown(virtualKey, false)) return;
    // The help, the editors and the view's own keys need the window.
    app_.Host.Log("Key " + std::string(VirtualKeyName(virtualKey)) +
                  " has no effect without a window.");
  });
}

void AutomationLink::SendSystemCommand(int32_t command) {
  app_.Host.Log("Window command " + std::to_string(command) + " has no effect without a window.");
}

void AutomationLink::PostProgramEnd() {
  Application& app = app_;
  app.Queue.Post([&app] { EndAfterBatchWorker(app); });
}

bool AutomationLink::RunBusy() { return RunActive(app_); }

void AutomationLink::OnMainThread(const std::function<void()>& change) {
  if (app_.Queue.IsMainThread()) {
    change();
  } else {
    app_.Queue.Send(change);
  }
}

void AutomationLink::RefreshStatusBar() {
  OnMainThread([this] { UpdateWindowTexts(app_); });
}

void AutomationLink::EndLogSection() {
  OnMainThread([this] {
    if (FileStream log = OpenFileStream(app_.Host.LogPath(), "a")) std::fputs("\n", log.get());
  });
}

bool AutomationLink::RunStoppedEarly() {
  // The end message of a check or alarm was given, or an abort ended the run.
  bool early = false;
  OnMainThread([&] {
    early = app_.Shell.Run.LastResultCode >= 0 || app_.Shell.Run.Escape == PaneLook::kFlat;
  });
  return early;
}

bool AutomationLink::Stopping() { return app_.AbortWork.load() != 0; }

int32_t RunBatchWork(Application& app) {
  AutomationLink link(app);
  AutomationContext context{link, link, *app.S, app.Shell, true, nullptr};
  link.OnMainThread([&] {
    context.ImageFile = &app.Dispatcher->ImageFile;
    app.Dispatcher->Automation = 1;
  });
  const int32_t result = BatchWorkerThread(context);
  link.OnMainThread([&] { app.Dispatcher->Automation = 0; });
  return result;
}

}  // namespace vestan
