// The program's start-up, host and shut-down, run inside the test process
// from a folder of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/start_up.h"
#include "simulation/session_runs.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

// A program started in a scratch folder; its settings file is named there,
// so the settings it writes at its end stay there.
struct Started {
  testing::ScratchFolder Folder;
  testing::CurrentFolder Here{Folder.Path()};
  std::unique_ptr<Application> App;

  void Make(const std::string& commandLine = "") {
    App = std::make_unique<Application>(
        LaunchArguments{"-I " + (Folder / "vestan.ini") + " " + commandLine, false}, false);
  }
};

// Each step wrapped to record its name and what was in place when it ran.
TEST(StartUp, StepsRunInOrderEachOnWhatTheEarlierOnesPrepared) {
  Started run;
  run.Folder.Write("vestan9.mes", "[NC]\n");
  run.Folder.Write("prog.nc", "G0X0\n");
  run.Make("prog.nc");
  Application& app = *run.App;
  std::vector<std::string> names;
  std::vector<StartUpStep> steps = StartUpSteps();
  for (StartUpStep& step : steps) {
    step.Run = [&names, name = step.Name, real = step.Run](Application& a) {
      names.push_back(name);
      if (name == "settings") {
        EXPECT_EQ(a.S->App.EnglishMode, 1);  // the language before any text
        EXPECT_EQ(a.S->Defs.Paths.NcProgram, "prog.nc");  // the command line before the files
      }
      if (name == "main window") {
        EXPECT_TRUE(a.BatchWorker.Suspended());
      }
      real(a);
    };
  }
  StartUp(app, steps);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "message file", "system version", "resets", "command line", "processor",
                       "view zoom", "settings", "tool table", "controller", "status texts",
                       "machine and tool table", "sounds", "measured points", "view centre",
                       "batch worker", "main window"}));
  EXPECT_EQ(app.Shell.Menu.Bar[0].Text, "NC");
  EXPECT_EQ(app.Measured.Flags[0], 1);
  // The worker starts with the host, not before.
  int32_t ranOnHost = 0;
  app.BatchWork = [&ranOnHost](Application& a) {
    ranOnHost = a.Shell.Shown;
    return 0;
  };
  EXPECT_EQ(RunHost(app), 0);
  EXPECT_EQ(ranOnHost, 1);
}

TEST(StartUp, WithNoFilesAtAllTheProgramRunsOnDefaultsAndEnds) {
  Started run;
  run.Make();
  Application& app = *run.App;
  StartUp(app, StartUpSteps());
  EXPECT_EQ(app.S->App.EnglishMode, 0);
  EXPECT_FALSE(app.BatchWorker.Exists());
  EXPECT_EQ(app.Shell.Menu.Bar[0].Text, "NCデータ(&N)");
  EXPECT_FALSE(FindCommand(app.Shell.Menu, 32776)->Enabled);  // no program yet
  EXPECT_EQ(RunHost(app), 0);
  EXPECT_NE(app.Shell.Title.find("NCデータ未選択"), std::string::npos) << app.Shell.Title;
  EXPECT_EQ(app.Shell.Status[6], "通常加工モード");
  EXPECT_EQ(app.SettingsSaved, 1);
  EXPECT_TRUE(std::filesystem::exists(run.Folder / "vestan.ini"));
  EXPECT_TRUE(std::filesystem::exists(run.Folder / "vestan.log"));
}

// The run thread reads the tables until it is told to stop; shut-down asks
// it, joins it, and only then frees them.
TEST(ShutDown, AbortsAndJoinsARunningRunBeforeFreeingItsTables) {
  Started run;
  run.Folder.Write("t.ttl", "MAX TOOL=10\n");
  run.Make("-T t.ttl");
  Application& app = *run.App;
  StartUp(app, StartUpSteps());
  const size_t tools = app.S->Defs.Tools.Records.size();
  ASSERT_GT(tools, 0u);
  std::atomic<int32_t> started{0};
  std::atomic<int32_t> intactToTheEnd{1};
  Session& s = *app.S;
  ASSERT_TRUE(app.RunThread.Start([&] {
    started.store(1);
    while (s.Control.Abort.load() == 0) {
      if (s.Defs.Tools.Records.size() != tools) intactToTheEnd.store(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (s.Defs.Tools.Records.size() != tools) intactToTheEnd.store(0);
    return 0;
  }));
  while (started.load() == 0) std::this_thread::yield();
  EXPECT_TRUE(RunActive(app));
  RequestExit(app, -1);
  EXPECT_EQ(RunHost(app), -1);
  EXPECT_FALSE(app.RunThread.Exists());
  EXPECT_EQ(intactToTheEnd.load(), 1);
}

// The worker keeps sending to the main thread while the host waits for it
// to end: the wait serves it, and the worker's failure becomes the exit code.
TEST(Host, EndsAfterAWorkerThatStillSendsWithItsResult) {
  Started run;
  run.Folder.Write("prog.nc", "G0X0\n");
  run.Make("prog.nc -X6");
  Application& app = *run.App;
  StartUp(app, StartUpSteps());
  ASSERT_TRUE(app.S->CommandLine.batchMode.load());
  std::atomic<int32_t> served{0};
  app.BatchWork = [&served](Application& a) {
    for (int32_t i = 0; i < 20; ++i) {
      a.Queue.Send([&served] { served.fetch_add(1); });
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
  };
  EXPECT_EQ(RunHost(app), -1);
  EXPECT_EQ(served.load(), 20);
  // An unattended run leaves the settings file alone.
  EXPECT_EQ(app.SettingsSaved, 0);
  EXPECT_FALSE(std::filesystem::exists(run.Folder / "vestan.ini"));
}

TEST(Host, TheDefinitionCheckWaitsForTheRun) {
  Started run;
  run.Make();
  Application& app = *run.App;
  StartUp(app, StartUpSteps());
  app.S->Control.CuttingMode.store(kCuttingShowResult);
  CheckDefinitionsOnActivation(app);
  EXPECT_EQ(app.Shell.DefinitionCheckDeferred, 1);
  RunDeferredDefinitionCheck(app);
  EXPECT_EQ(app.Shell.DefinitionCheckDeferred, 1);
  app.S->Control.CuttingMode.store(kCuttingIdle);
  RunDeferredDefinitionCheck(app);
  EXPECT_EQ(app.Shell.DefinitionCheckDeferred, 0);
}

// A cutting run through the program: the run command, the run timer on the
// host's loop, the end; the host ends once the run has. In run mode 5 a run
// that a check breaks off fails the program's exit code.
TEST(Host, CuttingRunEndsThroughTheRunTimerWithItsExitCode) {
  struct Case {
    const char* Name;
    const char* Program;
    int32_t ExitCode;
  };
  const Case cases[] = {
      {"a slot", "G90 G54 G00 X-10. Y50. Z10.\nG01 Z-5. F500\nX60.\n", 0},
      {"a rapid move into the stock", "G90 G54 G00 X20. Y20. Z10.\nZ-5.\n", -1},
  };
  for (const Case& c : cases) {
    Started run;
    run.Make();
    Application& app = *run.App;
    StartUp(app, StartUpSteps());
    Session& s = *app.S;
    testing::ReadShippedDefinitions(s, run.Folder.Path());
    s.Defs.Limits = StrokeLimits{};
    s.Defs.Tools.Layout = ToolLayout{};
    for (ToolLimitRecord& limit : s.Defs.Tools.Limits) limit = ToolLimitRecord{};
    s.Defs.Checks.Interference = 1;
    s.Defs.Settings.IgnoreG00 = 0;
    testing::MakeBoxStock(s, {-50, -50, 80, 50, 50, 110}, 1.0);
    s.Defs.Paths.NcProgram = run.Folder.Write("p.nc", std::string("%\n") + c.Program + "M30\n%\n");
    s.CommandLine.runMode.store(5);
    app.Runs.RunCommand(kCuttingShowResult);
    EXPECT_TRUE(RunActive(app)) << c.Name;
    EXPECT_EQ(RunHost(app), c.ExitCode) << c.Name;
    EXPECT_FALSE(RunActive(app)) << c.Name;
    EXPECT_FALSE(app.RunThread.Exists()) << c.Name;
  }
}

}  // namespace
}  // namespace vestan
