#include "automation/batch_worker.h"

#include <string>

namespace vestan {

namespace {

class BatchJob {
 public:
  explicit BatchJob(AutomationContext& c) : c_(c), r_(c.S.CommandLine) {}

  int32_t Run() {
    if (r_.macroGiven.exchange(0) != 0) return RunMacroFile(c_);
    if (ModelJobSet()) return ModelJob();

    const int32_t runMode = r_.runMode.load();
    if (r_.workLoadRequested.load() != 0 && !LoadWork(runMode > 4)) return End();

    if (r_.ncProgramGiven.load() != 0) {
      const bool fit = runMode == 0 ? r_.workLoadRequested.load() == 0 && r_.saveKind.load() != 0
                                    : r_.selectOnly.load() == 0;
      const int64_t selected =
          c_.Target.SendCommand(fit ? command::kSelectNcAndFit : command::kSelectNc, 0);
      ncError_ = selected != 1;
      if (ncError_) {
        Log(selected == -1 ? "The NC program has errors." : "The NC program was not selected.");
        if (runMode > 4 || r_.verifyMode.load() >= 5 || c_.Unattended) {
          Fail(kAutomationNcError);
          return End();
        }
      }
      r_.workLoadRequested = 0;
      r_.ncProgramGiven = 0;
    }

    const int32_t verifyMode = r_.verifyMode.load();
    if (verifyMode >= 1 && r_.verifyAfterRun.load() == 0 && !ncError_) {
      const bool quiet = runMode >= 5 || verifyMode >= 5 || r_.keepLengthReportClosed.load() != 0;
      Verify(quiet ? 1 : 0);
    }
    if ((runMode >= 5 && ncError_) || (runMode == 0 && verifyMode >= 5) ||
        (c_.Unattended && result_ != kAutomationDone)) {
      return End();
    }
    r_.verifyMode = 0;

    switch (runMode) {
      case 2:
      case 3:
      case 4:
      case 5:
      case 6: {
        const int32_t id =
            runMode == 2 ? command::kRealCut : (runMode == 3 ? command::kSkipCut : command::kResultCut);
        if (c_.Target.SendCommand(id, 0) != 1) {
          Log("The run was not started.");
          Fail(kAutomationCommandFailed);
          if (c_.Unattended) return End();
        }
        if (!WaitWhileRunBusy(c_)) return result_;
        const bool ends = runMode >= 5;
        if (r_.verifyAfterRun.load() != 0 && !ncError_) {
          Verify(ends || r_.keepLengthReportClosed.load() != 0 ? 1 : 0);
          r_.verifyAfterRun = 0;
          r_.verifyMode = 0;
        }
        Save();
        if (ends) {
          c_.Port.EndLogSection();
          return End();
        }
        return result_;
      }
      default:
        if (r_.saveKind.load() != kSaveNone) {
          Save();
          return End();
        }
        return result_;
    }
  }

 private:
  void Log(const std::string& text) { c_.S.Shell.Log(text); }
  void Fail(int32_t code) {
    if (result_ == kAutomationDone) result_ = code;
  }
  int32_t End() {
    c_.Target.PostProgramEnd();
    return result_;
  }

  bool ModelJobSet() const {
    return r_.moveJob.load() != 0 || r_.rotateJob.load() != 0 || r_.paintJob.load() != 0 ||
           r_.penJob.load() != 0 || r_.differenceJob.load() != 0;
  }

  // Sends the work load; false when it failed in a way that ends the job: a
  // named work file that did not load (when named matters), or any failed
  // load when unattended.
  bool LoadWork(bool namedFileMatters) {
    bool named = false;
    c_.Port.OnMainThread([&] { named = !c_.S.Defs.Paths.WorkLoad.empty(); });
    const int64_t loaded = c_.Target.SendCommand(command::kLoadWork, 0);
    if (loaded == 1) return true;
    Log("The workpiece was not loaded.");
    if ((named && namedFileMatters) || c_.Unattended) {
      Fail(kAutomationWorkNotLoaded);
      return false;
    }
    return true;
  }

  int32_t ModelJob() {
    if (!LoadWork(true)) return End();
    r_.workLoadRequested = 0;
    int64_t done = 0;
    if (r_.moveJob.exchange(0) != 0) {
      done = c_.Target.SendCommand(command::kMoveModel, 1);
    } else if (r_.rotateJob.exchange(0) != 0) {
      done = c_.Target.SendCommand(command::kRotateModel, 1);
    } else if (const int32_t paint = r_.paintJob.exchange(0); paint != 0) {
      done = c_.Target.SendCommand(paint == 1 ? command::kPaintAll : command::kPeelPaint, 0);
    } else if (const int32_t pen = r_.penJob.exchange(0); pen != 0) {
      done = c_.Target.SendCommand(command::kPeelPen, pen);
    } else if (r_.differenceJob.exchange(0) != 0) {
      done = c_.Target.SendCommand(command::kDifference, 0);
    }
    if (done != 1) {
      Log("The model job failed.");
      Fail(kAutomationCommandFailed);
      // A model the job did not change is not saved as if it had.
      if (c_.Unattended) return End();
    }
    Save();
    return End();
  }

  void Verify(int64_t quiet) {
    const int64_t result = c_.Target.SendCommand(command::kVerify, quiet);
    if (result == -1) {
      ncError_ = true;
      Log("The verify report found NC errors.");
      Fail(kAutomationNcError);
    } else if (result != 1) {
      Log("No verify report was written.");
      Fail(kAutomationCommandFailed);
    }
  }

  void Save() {
    const int32_t kind = r_.saveKind.load();
    if (kind == kSaveNone) return;
    const int64_t saved = c_.Target.SendCommand(command::kSaveWork, kind);
    r_.saveKind = kSaveNone;
    if (saved != 1) {
      Log("The workpiece was not saved.");
      Fail(kAutomationCommandFailed);
    }
  }

  AutomationContext& c_;
  CommandLineRequest& r_;
  bool ncError_ = false;
  int32_t result_ = kAutomationDone;
};

}  // namespace

int32_t BatchWorkerThread(AutomationContext& context) { return BatchJob(context).Run(); }

}  // namespace vestan
