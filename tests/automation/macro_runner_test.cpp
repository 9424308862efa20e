#include "automation/macro_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/automation_fakes.h"
#include "automation/macro_arguments.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using Calls = std::vector<std::string>;

struct MacroWorld : testing::AutomationWorld {
  testing::ScratchFolder Folder;
  // Writes the macro and runs it; returns the runner's result.
  int32_t Run(const std::string& text) {
    S.Defs.Paths.MacroFile = Folder.Write("job.mac", text);
    return RunMacroFile(Context);
  }
};

TEST(MacroArguments, ReadsAndExpandsTheArgument) {
  const PathVariables folders{"/nc/", "/work/"};
  struct Case {
    std::string Line;
    MacroArgumentStatus Status;
    std::string Target;
  };
  const std::string longName(256, 'a');
  const Case cases[] = {
      {"KEY", MacroArgumentStatus::kNone, "before"},       // nothing follows
      {"KEYx.nc", MacroArgumentStatus::kNone, "before"},   // no blank first
      {"KEY \tplain name.nc", MacroArgumentStatus::kRead, "plain name.nc"},
      {"KEY \"q b.nc\",b2", MacroArgumentStatus::kRead, "q b.nc"},
      {"KEY \"open", MacroArgumentStatus::kRead, "open"},
      {"KEY $(NCDIR)a.nc", MacroArgumentStatus::kRead, "/nc/a.nc"},
      {"KEY $(workdirectory)b.dme", MacroArgumentStatus::kRead, "/work/b.dme"},
      {"KEY $(home)c", MacroArgumentStatus::kRead, "c"},            // unknown: dropped
      {"KEY $(ncdir", MacroArgumentStatus::kRead, "$(ncdir"},        // unclosed: as written
      {"KEY $(ncdir_and_much_more)x", MacroArgumentStatus::kRead, "$(ncdir_and_much_more)x"},
      {"KEY " + longName, MacroArgumentStatus::kTooLong, ""},
      {"KEY " + longName.substr(0, 255), MacroArgumentStatus::kRead, longName.substr(0, 255)},
  };
  for (const Case& c : cases) {
    std::string target = "before";
    const MacroArgumentResult result = ReadMacroArgument(c.Line, 3, folders, target);
    EXPECT_EQ(result.Status, c.Status) << c.Line;
    EXPECT_EQ(target, c.Target) << c.Line;
  }
  std::string target;
  EXPECT_EQ(ReadMacroArgument("SAVE \"x.stl\",b", 4, folders, target).End, 12u);
  // Short as written, too long once the folder is in.
  const std::string deepFolder(40, 'd');
  EXPECT_EQ(ReadMacroArgument("KEY " + longName.substr(0, 240) + "$(ncdir)", 3, {deepFolder, ""}, target).Status,
            MacroArgumentStatus::kTooLong);
  EXPECT_EQ(target, "");
}

TEST(MacroArguments, CheckLettersSetTheFourChecks) {
  struct Case {
    std::string_view Text;
    int32_t Interference, Arbor, Height, ChipWidth;
  };
  const Case cases[] = {
      {"YSNN", 1, 4, 0, 0},
      {" \tSCYS", 2, 2, 2, 3},
      {"NOOO", 0, 1, 1, 1},
      {"OYSY", 0, 3, 3, 2},  // O is no interference value
      {"ycsy", 1, 2, 3, 2},
      {"Y", 1, 0, 0, 0},  // missing letters turn their checks off
  };
  for (const Case& c : cases) {
    InterferenceCheckSettings checks;
    checks.ArborCheck = checks.HeightCheck = checks.ChipWidthCheck = 9;
    SetInterferenceCheckModes(c.Text, checks);
    EXPECT_EQ(checks.Interference, c.Interference) << c.Text;
    EXPECT_EQ(checks.ArborCheck, c.Arbor) << c.Text;
    EXPECT_EQ(checks.HeightCheck, c.Height) << c.Text;
    EXPECT_EQ(checks.ChipWidthCheck, c.ChipWidth) << c.Text;
  }
}

TEST(MacroRunner, EachKeywordSendsItsCommand) {
  struct Case {
    std::string Line;
    Calls Expected;
  };
  const Case cases[] = {
      {"LOAD_TTL tools.ttl", {"32781 0"}},
      {"load_ctl", {"32782 0"}},
      {"LOAD_MTL m.mtl", {"32783 0"}},
      {"SELECT_NCDATA a.nc", {"32771 0"}},
      {"VERIFY", {"32773 0"}},
      {"VERIFY SILENT", {"32773 1"}},
      {"CUT(REAL)", {"32774 0"}},
      {"CUT(SKIP)", {"32775 0"}},
      {"CUT(RESULT)", {"32776 0"}},
      {"KEY F5", {"view key 116"}},
      {"KEY F9", {"view key 120"}},
      {"KEY a", {"key 65"}},  // the A key, not numpad 1 (code 97)
      {"KEY F", {"key 70"}},
      {"KEY 1", {"key 49"}},
      {"KEY m", {}},
      {"KEY Z", {}},
      {"UNDO", {"key 67"}},
      {"MINIMIZE_WINDOW", {"system 61472"}},
      {"MAXIMIZE_WINDOW", {"system 61488"}},
      {"RESTORE_WINDOW", {"system 61728"}},
      {"SAVE_IMAGE view", {"32889 0"}},
      {"EXIT", {"end"}},
      {"# CUT(REAL)", {}},
      {"SET_MACHINE_CHECK YES", {}},
      {"NO_SUCH_KEYWORD", {}},
      {"SLEEP 1", {}},
  };
  for (const Case& c : cases) {
    MacroWorld w;
    EXPECT_EQ(w.Run(c.Line + "\n"), kAutomationDone) << c.Line;
    EXPECT_EQ(w.Target.Calls, c.Expected) << c.Line;
    EXPECT_EQ(w.Shell.Macro.Completed, 1) << c.Line;
    EXPECT_EQ(w.Shell.Macro.Running, 0) << c.Line;
  }
}

TEST(MacroRunner, FileKeywordsSetTheirPathsBeforeTheCommand) {
  MacroWorld w;
  w.S.Defs.Paths.NcFolder = "/jobs/nc/";
  std::vector<std::string> seen;
  w.Target.OnCommand = [&](int32_t id, int64_t) {
    const DefinitionFilePaths& p = w.S.Defs.Paths;
    const CommandLineRequest& r = w.S.CommandLine;
    if (id == 32784) seen.push_back("load " + p.WorkLoad + " " + std::to_string(r.workLoadRequested.load()));
    if (id == 32771) seen.push_back("nc " + p.NcProgram + " " + std::to_string(r.ncProgramGiven.load()));
    if (id == 32781) seen.push_back("ttl " + p.ToolTable + " " + std::to_string(w.Shell.PathPreset));
    if (id == 32889) seen.push_back("image " + w.ImageFile);
  };
  ASSERT_EQ(w.Run("LOAD_WORK \"stock 1.dme\"\r\nSELECT_NCDATA $(ncdir)part.nc  \t\nLOAD_TTL t.ttl\n"
                  "SAVE_IMAGE out.png\n"),
            kAutomationDone);
  EXPECT_EQ(seen, (Calls{"load stock 1.dme 1", "nc /jobs/nc/part.nc 1", "ttl t.ttl 1", "image out.png"}));
  EXPECT_EQ(w.S.CommandLine.workLoadRequested.load(), 0);
  EXPECT_EQ(w.S.CommandLine.ncProgramGiven.load(), 0);
}

TEST(MacroRunner, SaveWorkNamesAndKinds) {
  struct Case {
    std::string Argument;
    std::string Name;
    int32_t Kind;
  };
  const Case cases[] = {
      {"x.STL,b2", "x.STL", 4},
      {"x.stl,B", "x.stl", 3},
      {"\"my part.stl\",b", "my part.stl", 3},
      {"\"my part.stl\",b2", "my part.stl", 4},
      {"y.stl", "y.stl", 2},
      {"part", "part.DME", 1},
      {"out.dmez", "out.dmez", 1},
  };
  for (const Case& c : cases) {
    MacroWorld w;
    std::string savedAs;
    w.Target.OnCommand = [&](int32_t, int64_t) { savedAs = w.S.Defs.Paths.WorkSave; };
    ASSERT_EQ(w.Run("SAVE_WORK " + c.Argument + "\n"), kAutomationDone) << c.Argument;
    EXPECT_EQ(w.Target.Calls, Calls{"32786 " + std::to_string(c.Kind)}) << c.Argument;
    EXPECT_EQ(savedAs, c.Name) << c.Argument;
    EXPECT_EQ(w.S.CommandLine.saveKind.load(), kSaveNone) << c.Argument;
  }
}

TEST(MacroRunner, PitchKeywords) {
  struct Case {
    std::string Line;
    double Work, Move;
    int32_t Linked;
  };
  // Starting from work 1.0, move 3.0 unlinked, automatic work pitch on.
  const Case cases[] = {
      {"SET_PITCH 0.5", 0.5, 0.5, 1},
      {"SET_PITCH 0.5,0.2", 0.5, 0.2, 0},
      {"SET_PITCH 0.5 , 0.2", 0.5, 0.2, 0},
      {"SET_WORK_PITCH 0.25", 0.25, 3.0, 0},
      {"SET_MOVE_PITCH 0.1", 1.0, 0.1, 0},
      {"SET_PITCH", 1.0, 3.0, 0},         // no number: nothing changes
      {"SET_PITCH -1", 1.0, 3.0, 0},      // no pitch
      {"SET_PITCH 0.5,0", 1.0, 3.0, 0},   // the move pitch is no pitch: the line is skipped
  };
  for (const Case& c : cases) {
    MacroWorld w;
    PitchSettings& pitch = w.S.Defs.Settings.Pitch;
    pitch.WorkPitch = pitch.WorkPitchSetting = 1.0;
    pitch.MovePitch = 3.0;
    pitch.MovePitchLinked = 0;
    pitch.AutoPitch = 1;
    w.Run(c.Line + "\n");
    EXPECT_EQ(pitch.WorkPitch, c.Work) << c.Line;
    EXPECT_EQ(pitch.WorkPitchSetting, c.Work) << c.Line;
    EXPECT_EQ(pitch.MovePitch, c.Move) << c.Line;
    EXPECT_EQ(pitch.MovePitchLinked, c.Linked) << c.Line;
    EXPECT_EQ(pitch.AutoPitch, c.Work == 1.0 ? 1 : 0) << c.Line;
  }
}

TEST(MacroRunner, SilentCutRunsCutAndShowResultAndWaitsForTheRun) {
  MacroWorld w;
  w.S.CommandLine.silentMode = 1;
  w.Target.BusyPolls = 2;
  std::vector<int32_t> atSend;
  w.Target.OnCommand = [&](int32_t, int64_t) {
    const CommandLineRequest& r = w.S.CommandLine;
    atSend = {r.runMode.load(), r.keepLengthReportClosed.load(),
              r.keepInterferenceReportClosed.load(), r.batchMode.load()};
  };
  ASSERT_EQ(w.Run("CUT(REAL)\nVERIFY\nCUT(RESULT) SILENT\n"), kAutomationDone);
  EXPECT_EQ(w.Target.Calls, (Calls{"32776 0", "32773 1", "32776 0"}));
  EXPECT_EQ(atSend, (std::vector<int32_t>{6, 1, 1, 1}));
  EXPECT_EQ(w.S.CommandLine.batchMode.load(), 0);
  EXPECT_EQ(w.Target.BusyLeft, -1);  // polled until the run was idle
  EXPECT_EQ(w.Port.LogSectionsEnded, 2);
  EXPECT_EQ(w.Port.StatusRefreshes, 0);  // silent: no status updates
}

TEST(MacroRunner, CutResultSilentChoosesRunMode5) {
  MacroWorld w;
  int32_t runMode = 0;
  w.Target.OnCommand = [&](int32_t, int64_t) { runMode = w.S.CommandLine.runMode.load(); };
  w.Run("CUT(RESULT) SILENT\n");
  EXPECT_EQ(runMode, 5);
  w.Run("CUT(RESULT)\n");
  EXPECT_EQ(runMode, 4);
}

TEST(MacroRunner, AfterARunThatStoppedEarlyOnlyContinueGoesOn) {
  {
    MacroWorld w;
    w.Target.OnCommand = [&](int32_t id, int64_t) { w.Port.StoppedEarly = id == 32774; };
    EXPECT_EQ(w.Run("CUT(REAL)\nCONTINUE\nVERIFY\n"), kAutomationDone);
    EXPECT_EQ(w.Target.Calls, (Calls{"32774 0", "32773 0"}));
    EXPECT_EQ(w.Shell.Macro.Completed, 1);
    EXPECT_EQ(w.Shell.Macro.Broken, 0);
  }
  {
    MacroWorld w;
    w.Target.OnCommand = [&](int32_t id, int64_t) { w.Port.StoppedEarly = id == 32774; };
    EXPECT_EQ(w.Run("CUT(REAL)\nVERIFY\nEXIT\n"), kAutomationMacroFailed);
    EXPECT_EQ(w.Target.Calls, Calls{"32774 0"});
    EXPECT_EQ(w.Shell.Macro.Completed, 0);
    EXPECT_EQ(w.Shell.Macro.Broken, 1);
    EXPECT_EQ(w.Shell.Macro.Running, 0);
  }
}

TEST(MacroRunner, AMacroFileThatDoesNotOpenIsABreakNotACompletion) {
  MacroWorld w;
  w.S.Defs.Paths.MacroFile = w.Folder / "missing.mac";
  EXPECT_EQ(RunMacroFile(w.Context), kAutomationMacroFailed);
  EXPECT_TRUE(w.Target.Calls.empty());
  EXPECT_EQ(w.Shell.Macro.Broken, 1);
  EXPECT_EQ(w.Shell.Macro.Completed, 0);
  EXPECT_EQ(w.Shell.Macro.Name, "missing.mac");
  EXPECT_NE(w.LogText().find("missing.mac could not be opened"), std::string::npos) << w.LogText();
  EXPECT_EQ(w.Port.StatusRefreshes, 1);
}

TEST(MacroRunner, UnattendedAFailureEndsTheMacroWithItsCode) {
  struct Case {
    int32_t FailingId;
    int64_t Result;
    std::string Line;
    int32_t Code;
  };
  const Case cases[] = {
      {32784, 0, "LOAD_WORK w.dme", kAutomationWorkNotLoaded},
      {32771, 0, "SELECT_NCDATA a.nc", kAutomationNcError},
      {32773, -1, "VERIFY", kAutomationNcError},
      {32786, 0, "SAVE_WORK out.dme", kAutomationCommandFailed},
      {32774, 0, "CUT(REAL)", kAutomationCommandFailed},
  };
  for (const Case& c : cases) {
    MacroWorld w;
    w.Context.Unattended = true;
    w.Target.Results[c.FailingId] = c.Result;
    EXPECT_EQ(w.Run(c.Line + "\nVERIFY\nEXIT\n"), c.Code) << c.Line;
    EXPECT_EQ(w.Target.Calls.size(), 1u) << c.Line;  // nothing after the failure
    EXPECT_EQ(w.Shell.Macro.Broken, 1) << c.Line;
  }
  // Attended, the macro goes on past a failed load.
  MacroWorld w;
  w.Target.Results[32784] = 0;
  EXPECT_EQ(w.Run("LOAD_WORK w.dme\nCUT(REAL)\n"), kAutomationDone);
  EXPECT_EQ(w.Target.Calls, (Calls{"32784 0", "32774 0"}));
}

TEST(MacroRunner, AnArgumentTooLongSkipsTheLine) {
  MacroWorld w;
  const std::string name(300, 'n');
  w.S.Defs.Paths.NcProgram = "old.nc";
  EXPECT_EQ(w.Run("SELECT_NCDATA " + name + "\nVERIFY\n"), kAutomationDone);
  EXPECT_EQ(w.Target.Calls, Calls{"32773 0"});
  EXPECT_EQ(w.S.Defs.Paths.NcProgram, "old.nc");
  EXPECT_NE(w.LogText().find("longer than 255"), std::string::npos);
}

TEST(MacroRunner, BasicModelOnlyWithAWorkpiece) {
  MacroWorld w;
  FindCommand(w.Shell.Menu, 32893)->Enabled = false;
  w.Run("SELECT_BASIC_MODEL design.stl\nDIFF +0.2H3\n");
  EXPECT_TRUE(w.S.Defs.Paths.BasicModel.empty());
  EXPECT_TRUE(w.Target.Calls.empty());  // no basic model: no difference painting

  w.S.Work.WorkPresent = 1;
  w.Run("SELECT_BASIC_MODEL \"$(workdir)design.stl\"\nDIFF +0.2H3\n");
  EXPECT_EQ(w.S.Defs.Paths.BasicModel, w.S.Defs.Paths.WorkModelFolder + "design.stl");
  EXPECT_EQ(w.S.Defs.Paths.BasicModelTitle, "design.stl");
  EXPECT_TRUE(FindCommand(w.Shell.Menu, 32893)->Enabled);
  EXPECT_EQ(w.Target.Calls, Calls{"32893 0"});
  EXPECT_EQ(w.S.Defs.Difference.Margin, 0.2);
  EXPECT_EQ(w.S.Defs.Difference.Pen, 3);
}

// The program is started as a process of its own, without a shell, and the
// runner waits for it.
TEST(MacroRunner, ExecWaitsForTheProgramAndPassesQuotedArguments) {
  MacroWorld w;
  w.S.Defs.Paths.WorkModelFolder = w.Folder.Path();
  const std::string marker = w.Folder / "waited";
  ASSERT_EQ(w.Run("EXEC touch \"$(workdir)a b.txt\"\n"
                  "EXEC sh -c \"sleep 0.3; echo done > '" + marker + "'\"\n"),
            kAutomationDone);
  EXPECT_TRUE(std::filesystem::exists(w.Folder / "a b.txt"));
  EXPECT_FALSE(std::filesystem::exists(w.Folder / "a"));
  EXPECT_EQ(testing::ScratchFolder::Read(marker), "done\n");

  MacroWorld u;
  u.Context.Unattended = true;
  EXPECT_EQ(u.Run("EXEC /no/such/program\nVERIFY\n"), kAutomationCommandFailed);
  EXPECT_TRUE(u.Target.Calls.empty());
}

}  // namespace
}  // namespace vestan
