#include "automation/batch_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/automation_fakes.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using Calls = std::vector<std::string>;

// The request as the command line leaves it.
struct Request {
  int32_t RunMode = 0;
  int32_t Verify = 0;
  int32_t VerifyAfter = 0;
  int32_t Save = 0;
  int32_t WorkLoad = 0;
  int32_t Nc = 1;
  int32_t SelectOnly = 0;
  int32_t KeepLength = 0;
};

void Fill(CommandLineRequest& r, const Request& q) {
  r.runMode = q.RunMode;
  r.verifyMode = q.Verify;
  r.verifyAfterRun = q.VerifyAfter;
  r.saveKind = q.Save;
  r.workLoadRequested = q.WorkLoad;
  r.ncProgramGiven = q.Nc;
  r.selectOnly = q.SelectOnly;
  r.keepLengthReportClosed = q.KeepLength;
}

TEST(BatchWorker, CommandSequencesByRunMode) {
  struct Case {
    std::string Name;
    Request Q;
    Calls Expected;
    int32_t LogSections = 0;
  };
  const Case cases[] = {
      {"select only", {0}, {"32771 0"}},
      {"mode 1 selects and fits", {1}, {"32772 0"}},
      {"mode 1 select only", {1, 0, 0, 0, 0, 1, 1}, {"32771 0"}},
      {"mode 2", {2}, {"32772 0", "32774 0"}},
      {"mode 2 with 0", {2, 0, 0, 0, 0, 1, 1}, {"32771 0", "32774 0"}},
      {"mode 3 verify after, n", {3, 1, 1, 0, 0, 1, 0, 1}, {"32772 0", "32775 0", "32773 1"}},
      {"mode 4 verify before", {4, 1}, {"32772 0", "32773 0", "32776 0"}},
      {"mode 4 save stays open", {4, 0, 0, 1}, {"32772 0", "32776 0", "32786 1"}},
      {"mode 5 save", {5, 0, 0, 3}, {"32772 0", "32776 0", "32786 3", "end"}, 1},
      {"mode 5 verify before", {5, 1}, {"32772 0", "32773 1", "32776 0", "end"}, 1},
      {"mode 6 work, verify after, save",
       {6, 1, 1, 4, 1},
       {"32784 0", "32772 0", "32776 0", "32773 1", "32786 4", "end"},
       1},
      {"conversion: NC program to a fitted stock", {0, 0, 0, 2}, {"32772 0", "32786 2", "end"}},
      {"conversion: work file", {0, 0, 0, 1, 1, 0}, {"32784 0", "32786 1", "end"}},
      {"verify and quit", {0, 5}, {"32771 0", "32773 1", "end"}},
      {"verify, no quit", {0, 1}, {"32771 0", "32773 0"}},
  };
  for (const Case& c : cases) {
    testing::AutomationWorld w;
    Fill(w.S.CommandLine, c.Q);
    EXPECT_EQ(BatchWorkerThread(w.Context), kAutomationDone) << c.Name;
    EXPECT_EQ(w.Target.Calls, c.Expected) << c.Name;
    EXPECT_EQ(w.Port.LogSectionsEnded, c.LogSections) << c.Name;
    const CommandLineRequest& r = w.S.CommandLine;
    EXPECT_EQ(r.saveKind.load(), 0) << c.Name;
    EXPECT_EQ(r.ncProgramGiven.load(), 0) << c.Name;
  }
}

TEST(BatchWorker, FailuresEndTheJobWithTheirCodes) {
  struct Case {
    std::string Name;
    Request Q;
    bool Unattended;
    std::string WorkFile;
    int32_t FailingId;
    int64_t Result;
    Calls Expected;
    int32_t Code;
  };
  const Case cases[] = {
      {"mode 6 work file missing", {6, 0, 0, 0, 1}, false, "w.dme", 32784, 0, {"32784 0", "end"},
       kAutomationWorkNotLoaded},
      // A box that could not be built: only an unattended run stops for it.
      {"mode 6 box attended", {6, 0, 0, 0, 1}, false, "", 32784, 0,
       {"32784 0", "32772 0", "32776 0", "end"}, kAutomationDone},
      {"mode 6 box unattended", {6, 0, 0, 0, 1}, true, "", 32784, 0, {"32784 0", "end"},
       kAutomationWorkNotLoaded},
      {"mode 4 work file missing unattended", {4, 0, 0, 0, 1}, true, "w.dme", 32784, 0,
       {"32784 0", "end"}, kAutomationWorkNotLoaded},
      {"mode 5 NC errors", {5, 1}, false, "", 32772, -1, {"32772 0", "end"}, kAutomationNcError},
      {"mode 2 NC missing unattended", {2}, true, "", 32772, 0, {"32772 0", "end"}, kAutomationNcError},
      {"mode 2 NC missing attended", {2}, false, "", 32772, 0, {"32772 0", "32774 0"}, kAutomationDone},
      {"verify finds errors", {0, 5}, false, "", 32773, -1, {"32771 0", "32773 1", "end"},
       kAutomationNcError},
      {"mode 6 verify finds errors", {6, 1}, false, "", 32773, -1, {"32772 0", "32773 1", "end"},
       kAutomationNcError},
      {"run refused unattended", {6}, true, "", 32776, 0, {"32772 0", "32776 0", "end"},
       kAutomationCommandFailed},
      {"save fails", {5, 0, 0, 1}, false, "", 32786, 0, {"32772 0", "32776 0", "32786 1", "end"},
       kAutomationCommandFailed},
  };
  for (const Case& c : cases) {
    testing::AutomationWorld w;
    w.Context.Unattended = c.Unattended;
    Fill(w.S.CommandLine, c.Q);
    w.S.Defs.Paths.WorkLoad = c.WorkFile;
    w.Target.Results[c.FailingId] = c.Result;
    EXPECT_EQ(BatchWorkerThread(w.Context), c.Code) << c.Name;
    EXPECT_EQ(w.Target.Calls, c.Expected) << c.Name;
  }
}

TEST(BatchWorker, ModelJobsLoadRunOneJobAndSave) {
  struct Case {
    std::string Name;
    int32_t Move, Rotate, Paint, Pen, Difference;
    std::string JobCall;
  };
  const Case cases[] = {
      {"move", 1, 1, 0, 0, 0, "32827 1"},  // the first job only
      {"rotate", 0, 1, 0, 0, 0, "32826 1"},
      {"paint", 0, 0, 1, 0, 0, "32789 0"},
      {"peel", 0, 0, 2, 0, 0, "32790 0"},
      {"pen", 0, 0, 0, 7, 0, "32820 7"},
      {"difference", 0, 0, 0, 0, 1, "32893 0"},
  };
  for (const Case& c : cases) {
    testing::AutomationWorld w;
    CommandLineRequest& r = w.S.CommandLine;
    r.moveJob = c.Move;
    r.rotateJob = c.Rotate;
    r.paintJob = c.Paint;
    r.penJob = c.Pen;
    r.differenceJob = c.Difference;
    r.workLoadRequested = 1;
    r.saveKind = 2;
    EXPECT_EQ(BatchWorkerThread(w.Context), kAutomationDone) << c.Name;
    EXPECT_EQ(w.Target.Calls, (Calls{"32784 0", c.JobCall, "32786 2", "end"})) << c.Name;
    EXPECT_EQ(r.workLoadRequested.load(), 0) << c.Name;
  }
  // A job on a work file that did not load saves nothing.
  testing::AutomationWorld w;
  w.S.CommandLine.rotateJob = 1;
  w.S.CommandLine.workLoadRequested = 1;
  w.S.CommandLine.saveKind = 1;
  w.S.Defs.Paths.WorkLoad = "w.dme";
  w.Target.Results[32784] = 0;
  EXPECT_EQ(BatchWorkerThread(w.Context), kAutomationWorkNotLoaded);
  EXPECT_EQ(w.Target.Calls, (Calls{"32784 0", "end"}));
}

TEST(BatchWorker, AMacroGivenRunsTheMacro) {
  testing::AutomationWorld w;
  testing::ScratchFolder folder;
  w.S.Defs.Paths.MacroFile = folder.Write("m.mac", "VERIFY\nEXIT\n");
  w.S.CommandLine.macroGiven = 1;
  w.S.CommandLine.workLoadRequested = 1;
  EXPECT_EQ(BatchWorkerThread(w.Context), kAutomationDone);
  EXPECT_EQ(w.Target.Calls, (Calls{"32784 0", "32773 0", "end"}));
  EXPECT_EQ(w.S.CommandLine.macroGiven.load(), 0);
}

}  // namespace
}  // namespace vestan
