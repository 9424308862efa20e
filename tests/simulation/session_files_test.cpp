#include "simulation/session_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/recording_host.h"
#include "simulation/session_runs.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using Call = RecordingHost::Call;

// A session started in a scratch folder that holds its definition files.
class SessionFiles : public ::testing::Test, protected testing::FolderSession {
 protected:
  SessionFiles() {
    Defs().Paths.CurrentFolder = Folder.Path();
    Defs().Paths.ToolTable = "atc.ttl";
    Defs().Paths.Controller = "hanuc.ctl";
    Defs().Paths.Machine = "oguma.mtl";
  }
  Definitions& Defs() { return S.Defs; }
  std::string Write(const std::string& name, std::string_view text) {
    return Folder.Write(name, text);
  }
  // The file written anew with its time kept: not changed for the check.
  void Rewrite(const std::string& name, std::string_view text) {
    const fs::file_time_type time = fs::last_write_time(Folder / name);
    Write(name, text);
    fs::last_write_time(Folder / name, time);
  }
  // The file written again since it was read.
  void Touch(const std::string& name) {
    const fs::path path = Folder / name;
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  }
  std::vector<std::string> Messages() const { return Host.Texts(Call::kMessage); }
};

TEST_F(SessionFiles, ATableReadMakesItsStartToolCurrentAndResetsWhatDependsOnTheTable) {
  Write("atc.ttl", "I 3\nMAGAZINE 3 BULL 12,2,30 LENGTH 60\nMAGAZINE 7 FLAT 10,20\n");
  S.ToolList.ViewMode = 2;
  S.Plugins.ToolFromPlugin = 1;
  S.SavedPosition.ToolNumber = 4;
  ASSERT_EQ(ReadToolTableInto(S).State, kFileRead);
  EXPECT_EQ(S.Nc.Modal.Tools.CurrentToolNumber, 3);
  EXPECT_EQ(S.Nc.Modal.Tools.NextToolNumber, 3);
  EXPECT_EQ(S.Tool.Tool.Kind, kToolBull);
  EXPECT_EQ(S.ToolList.ViewMode, 0);
  EXPECT_EQ(S.Plugins.ToolFromPlugin, 0);
  EXPECT_EQ(S.SavedPosition.ToolNumber, -1);

  S.CommandLine.initialTool = 7;  // replaces the table's start tool at every read
  ReadToolTableInto(S);
  EXPECT_EQ(S.Nc.Modal.Tools.CurrentToolNumber, 7);
  EXPECT_EQ(S.Tool.Tool.Kind, kToolFlat);

  // A missing table: the numbers start again, no tool is made current.
  S.ToolList.ViewMode = 2;
  S.SavedPosition.ToolNumber = 4;
  Defs().Paths.ToolTable = "none.ttl";
  EXPECT_EQ(ReadToolTableInto(S).State, kFileMissing);
  EXPECT_EQ(S.Nc.Modal.Tools.CurrentToolNumber, 1);
  EXPECT_EQ(S.SavedPosition.ToolNumber, -1);
  EXPECT_EQ(S.ToolList.ViewMode, 2);
  EXPECT_EQ(S.Tool.Tool.Kind, kToolFlat);
}

// F-CENTER measures to the corner-arc centre the tool set-up derives: the
// ball's radius 5, the bull's corner radius 2; a tool without a shank takes
// nothing. The start tool is current afterwards.
TEST_F(SessionFiles, BasePointLengthsReadWhatTheToolSetUpDerives) {
  Write("atc.ttl",
        "I 2\nMAGAZINE 1 BALL 10,20\nLENGTH 50\nMAGAZINE 2 BULL 10,2,20\nLENGTH 60\n"
        "MAGAZINE 4 BALL 10,20\n");
  Defs().Settings.ToolBasePoint = kBaseFullRadiusCentre;
  ReadToolTableInto(S);
  EXPECT_EQ(Defs().Tools.Lengths[1], 5.0f);
  EXPECT_EQ(Defs().Tools.Lengths[2], 2.0f);
  EXPECT_EQ(Defs().Tools.Lengths[4], 0.0f);
  EXPECT_EQ(S.Tool.Tool.Kind, kToolBull);
}

TEST_F(SessionFiles, AControllerReadSetsTheRouteSwitchesAndTheFrame) {
  Write("hanuc.ctl", "CHAR(A)=B\nROTARY1 ROUTE=SHORTEST\nMEMORY G54= (10,20,30,0,0)\n");
  S.Memory.ShortestRoute = {0, 1};
  ASSERT_EQ(ReadControllerInto(S).State, kFileRead);
  EXPECT_EQ(S.Memory.ShortestRoute, (std::array<uint8_t, 2>{1, 0}));
  EXPECT_EQ(S.Memory.Offsets.WorkOffsets[1][1], 20.0);
  EXPECT_EQ(S.Frame.Origin, (std::array<double, 3>{10, 20, 30}));
}

TEST_F(SessionFiles, AMachineReadLoadsThePartMeshesAnew) {
  Defs().Paths.Machine = std::string(VESTAN_DATA_DIR) + "/oguma.mtl";
  for (size_t pair = 0; pair < Defs().Checks.Pairs.size(); ++pair) Defs().Checks.Pairs[pair] = 1;
  ASSERT_EQ(ReadMachineInto(S, 1).State, kFileRead);
  EXPECT_EQ(S.Meshes.Table.FacetCount(), 12);
  EXPECT_EQ(S.Meshes.Vices[0].FacetCount(), 12);
  // A missing file leaves the machine and its meshes.
  Defs().Paths.Machine = "none.mtl";
  EXPECT_EQ(ReadMachineInto(S, 1).State, kFileMissing);
  EXPECT_EQ(S.Meshes.Table.FacetCount(), 12);
}

// The change check over files the session has read.
class ChangeCheck : public SessionFiles {
 protected:
  ChangeCheck() {
    Write("atc.ttl", "ATL bt40.atl\nMAGAZINE 1 FLAT 10,20\n");
    Write("bt40.atl", "ARBOR 40,30,60,20\n");
    Write("hanuc.ctl", "NAME(MAX20)=ONE\n");
    Write("oguma.mtl", "NAME=FIRST\n");
    Defs().Settings.ToolDisplay = 1;
    S.App.EnglishMode = 1;
    ReadControllerInto(S);
    ReadMachineInto(S, 1);
    ReadToolTableInto(S);
    EXPECT_EQ(Defs().ToolFiles.ArborTable.State, kFileRead);
    Host.Events.clear();
    S.Display.ClearRebuild(kListTool);
  }
  void Check() { CheckDefinitionFilesUpdated(S); }
};

TEST_F(ChangeCheck, NothingChangedNothingHappens) {
  Check();
  EXPECT_TRUE(Host.Events.empty());
  EXPECT_EQ(S.App.ChangeCheckState, kCheckIdle);
}

TEST_F(ChangeCheck, AnotherCurrentFolderStopsTheCheck) {
  Touch("hanuc.ctl");
  fs::create_directory(Folder / "sub");
  {
    CurrentFolder elsewhere(Folder / "sub");
    Check();
    EXPECT_TRUE(Host.Events.empty());
  }
  Defs().Paths.CurrentFolder.pop_back();  // compared without the separator
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Because the CTL-file has been update, it reads."}));
}

// A changed controller is read with the machine and the tool table after
// it, which then count as read; a changed machine alone brings the
// controller, the tool profile and the tool table with it.
TEST_F(ChangeCheck, ControllerAndMachineAreReadAgainWithWhatDependsOnThem) {
  Write("hanuc.ctl", "NAME(MAX20)=TWO\nUNIT=1/10000\n");
  Rewrite("oguma.mtl", "NAME=SECOND\n");
  Rewrite("atc.ttl", "ATL bt40.atl\nMAGAZINE 1 BALL 10,20\n");
  Touch("hanuc.ctl");
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Because the CTL-file has been update, it reads."}));
  EXPECT_EQ(Defs().Controller.LengthDivisor, 10000);
  EXPECT_EQ(Defs().Machine.Name, "SECOND");
  EXPECT_EQ(S.Tool.Tool.Kind, kToolBall);
  EXPECT_EQ(S.App.ChangeCheckState, kCheckIdle);
  EXPECT_EQ(Host.Messages[0].Caption, "VESTAN9");
  EXPECT_TRUE(Host.Messages[0].Topmost);
  EXPECT_EQ(Host.Texts(Call::kSound), (std::vector<std::string>{"workset.wav"}));

  Write("oguma.mtl", "NAME=THIRD\n");
  Rewrite("hanuc.ctl", "NAME(MAX20)=TWO\nUNIT=1/100\n");
  Touch("oguma.mtl");
  Check();
  EXPECT_EQ(Messages().back(), "Because the MTL-file has been update, it reads.");
  EXPECT_EQ(Defs().Machine.Name, "THIRD");
  EXPECT_EQ(Defs().Controller.LengthDivisor, 100);
  EXPECT_EQ(Host.Texts(Call::kSound), (std::vector<std::string>{"workset.wav", "workset.wav"}));
  EXPECT_EQ(Host.Updates(ShellUpdate::kStopViewTimer), 2);
  EXPECT_EQ(Host.Updates(ShellUpdate::kNameBrush), 2);
  EXPECT_EQ(Host.Updates(ShellUpdate::kStatusBar), 2);
  EXPECT_EQ(Host.Updates(ShellUpdate::kInfoPane), 0);  // no sync plug-in
  Host.Events.clear();
  Check();  // everything read again: left alone now
  EXPECT_TRUE(Host.Events.empty());
}

TEST_F(ChangeCheck, AToolTableChangeRebuildsToolAndHeadLists) {
  Write("atc.ttl", "ATL bt40.atl\nMAGAZINE 1 BALL 10,20\n");
  Touch("atc.ttl");
  Defs().Settings.SoundOn = 0;
  Check();
  EXPECT_EQ(S.Tool.Tool.Kind, kToolBall);
  EXPECT_TRUE(S.Display.NeedsRebuild(kListTool));
  for (DisplayList list : kSlideAndHeadLists) EXPECT_TRUE(S.Display.NeedsRebuild(list)) << list;
  EXPECT_TRUE(Host.Texts(Call::kSound).empty());
  EXPECT_EQ(Host.Updates(ShellUpdate::kWindowTitle), 1);
  EXPECT_EQ(Host.Updates(ShellUpdate::kSecondView), 1);
  EXPECT_EQ(Host.Texts(Call::kRedraw).size(), 1u);

  // The arbor table alone, and Japanese texts.
  S.App.EnglishMode = 0;
  Defs().Settings.SoundOn = 1;
  Write("bt40.atl", "ARBOR 50,30,60,20\n");
  Touch("bt40.atl");
  Check();
  EXPECT_EQ(Messages().back(), "アーバー定義ファイルが更新されているので読み込みます。");
  EXPECT_EQ(Host.Texts(Call::kSound), (std::vector<std::string>{"toolchg.wav"}));
  EXPECT_EQ(Defs().Tools.DefaultArbor.StepDiameter[0], 50.0f);
}

TEST_F(ChangeCheck, MissingFilesAreReportedOnceAndAMissingArborTableNever) {
  Defs().ToolFiles.ToolTable.State = kFileMissing;
  Defs().ToolFiles.ArborTable.State = kFileMissing;
  Defs().ControllerFile.State = kFileMissing;
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"The TTL-file is not found.", "The CTL-file is not found."}));
  EXPECT_EQ(Defs().ToolFiles.ToolTable.State, kFileNotWatched);
  EXPECT_EQ(Defs().ToolFiles.ArborTable.State, kFileMissing);
  Check();
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(ChangeCheck, AWatchedFileThatIsGoneCountsAsChanged) {
  fs::remove(Folder / "oguma.mtl");
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Because the MTL-file has been update, it reads."}));
  EXPECT_EQ(Defs().MachineFile.State, kFileMissing);
  Check();
  EXPECT_EQ(Messages().back(), "The MTL-file is not found.");
  Check();
  EXPECT_EQ(Messages().size(), 2u);
}

}  // namespace
}  // namespace vestan
