#include "definitions/change_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "platform/recording_host.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::ControllerHarness;
using testing::MachineHarness;
using testing::TempFolder;

namespace fs = std::filesystem;

class ChangeCheckTest : public ::testing::Test {
 protected:
  ChangeCheckTest() {
    for (const char* name : {"atc.ttl", "bt40.atl", "hanuc.ctl", "oguma.mtl"})
      folder_.Write(name, "REMARK\n");
    paths_.CurrentFolder = folder_.Path().string();
    paths_.ToolTable = "atc.ttl";
    paths_.Controller = "hanuc.ctl";
    paths_.Machine = "oguma.mtl";
    tools_.ArborTableName = "bt40.atl";
    Watch(tools_.ToolTable, "atc.ttl");
    Watch(tools_.ArborTable, "bt40.atl");
    Watch(controller_, "hanuc.ctl");
    Watch(machine_, "oguma.mtl");
    settings_.ToolDisplay = 1;
    const auto record = [this](std::string call) {
      return [this, call] {
        calls_.push_back(call);
        statesDuringCalls_.push_back(state_);
      };
    };
    hooks_.ReadToolTable = record("ttl");
    hooks_.ReadControllerDefinition = record("ctl");
    hooks_.ReadMachineDefinition = [this](int32_t flag) {
      calls_.push_back("mtl" + std::to_string(flag));
    };
    hooks_.BuildToolProfile = record("profile");
    hooks_.UpdateMachinePosition = record("position");
  }

  // A file as its reader leaves it: read, with its time.
  void Watch(WatchedFile& watch, const std::string& name) {
    watch.State = kFileRead;
    watch.Time = fs::last_write_time(folder_.Path() / name);
  }
  // The file written again since it was read.
  void Touch(const std::string& name) {
    const fs::path path = folder_.Path() / name;
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  }
  void Check() { CheckDefinitionFilesUpdated(records_, hooks_, host_); }
  std::vector<std::string> Messages() const { return host_.Texts(RecordingHost::Call::kMessage); }

  TempFolder folder_;
  testing::CurrentFolder here_{folder_.Path()};
  int32_t state_ = kCheckIdle;
  ToolTableFiles tools_;
  WatchedFile controller_;
  WatchedFile machine_;
  DefinitionFilePaths paths_;
  Settings settings_;
  DisplayListTable display_;
  ChangeCheckRecords records_{state_, tools_,    controller_, machine_,
                              paths_, settings_, display_,    1};
  DefinitionReloadHooks hooks_;
  RecordingHost host_;
  std::vector<std::string> calls_;
  std::vector<int32_t> statesDuringCalls_;
};

TEST_F(ChangeCheckTest, NothingChangedNothingHappens) {
  Check();
  EXPECT_TRUE(host_.Events.empty());
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(state_, kCheckIdle);
}

TEST_F(ChangeCheckTest, AnotherCurrentFolderStopsTheCheck) {
  Touch("hanuc.ctl");
  fs::create_directory(folder_.Path() / "sub");
  {
    testing::CurrentFolder elsewhere(folder_.Path() / "sub");
    Check();
    EXPECT_TRUE(host_.Events.empty());
    EXPECT_TRUE(calls_.empty());
  }
  paths_.CurrentFolder.pop_back();  // compared without the separator
  Check();
  EXPECT_EQ(calls_.front(), "ctl");
}

TEST_F(ChangeCheckTest, ControllerAndMachineChangedReadInTheFixedOrder) {
  Touch("hanuc.ctl");
  Touch("oguma.mtl");
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Because the CTL-file has been update, it reads.",
                                      "Because the MTL-file has been update, it reads."}));
  EXPECT_EQ(calls_, (std::vector<std::string>{"ctl", "mtl0", "ttl", "ctl", "mtl1", "profile", "ttl",
                                              "position"}));
  for (int32_t state : statesDuringCalls_) EXPECT_EQ(state, kCheckRunning);
  EXPECT_EQ(state_, kCheckIdle);
  EXPECT_EQ(host_.Messages[0].Caption, "VESTAN9");
  EXPECT_TRUE(host_.Messages[0].Topmost);
  EXPECT_EQ(host_.Texts(RecordingHost::Call::kSound),
            (std::vector<std::string>{"workset.wav", "workset.wav"}));
  EXPECT_EQ(host_.Updates(ShellUpdate::kStopViewTimer), 2);
  EXPECT_EQ(host_.Updates(ShellUpdate::kNameBrush), 2);
  EXPECT_EQ(host_.Updates(ShellUpdate::kStatusBar), 2);
  EXPECT_EQ(host_.Updates(ShellUpdate::kInfoPane), 0);  // no sync plug-in
}

TEST_F(ChangeCheckTest, ToolTableChangeRebuildsToolAndHeadLists) {
  Touch("atc.ttl");
  settings_.SoundOn = 0;
  Check();
  EXPECT_EQ(calls_, (std::vector<std::string>{"ttl", "position"}));
  EXPECT_TRUE(display_.NeedsRebuild(kListTool));
  for (DisplayList list : kSlideAndHeadLists) EXPECT_TRUE(display_.NeedsRebuild(list)) << list;
  EXPECT_TRUE(host_.Texts(RecordingHost::Call::kSound).empty());
  EXPECT_EQ(host_.Updates(ShellUpdate::kWindowTitle), 1);
  EXPECT_EQ(host_.Updates(ShellUpdate::kSecondView), 1);
  EXPECT_EQ(host_.Texts(RecordingHost::Call::kRedraw).size(), 1u);

  // The arbor table, and Japanese texts.
  Watch(tools_.ToolTable, "atc.ttl");  // as the reader left it
  calls_.clear();
  records_.EnglishMode = 0;
  settings_.SoundOn = 1;
  Touch("bt40.atl");
  Check();
  EXPECT_EQ(calls_, (std::vector<std::string>{"ttl", "position"}));
  EXPECT_EQ(Messages().back(), "アーバー定義ファイルが更新されているので読み込みます。");
  EXPECT_EQ(host_.Texts(RecordingHost::Call::kSound), (std::vector<std::string>{"toolchg.wav"}));
}

TEST_F(ChangeCheckTest, MissingFilesAreReportedOnceAndAMissingArborTableNever) {
  tools_.ToolTable.State = kFileMissing;
  tools_.ArborTable.State = kFileMissing;
  controller_.State = kFileMissing;
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"The TTL-file is not found.", "The CTL-file is not found."}));
  EXPECT_EQ(tools_.ToolTable.State, kFileNotWatched);
  EXPECT_EQ(tools_.ArborTable.State, kFileMissing);
  Check();
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_TRUE(calls_.empty());
}

TEST_F(ChangeCheckTest, ATouchedFileIsReadAgainAndThenLeftAlone) {
  ControllerHarness controller;
  hooks_.ReadControllerDefinition = [&] {
    calls_.push_back("ctl");
    controller.Read(paths_.Controller);
    controller_ = controller.File;
  };
  folder_.Write("hanuc.ctl", "UNIT=1/10000\n");  // same content would do as well
  Touch("hanuc.ctl");
  Check();
  EXPECT_EQ(controller.Controller.LengthDivisor, 10000);
  EXPECT_EQ(controller_.Time, fs::last_write_time(folder_.Path() / "hanuc.ctl"));
  calls_.clear();
  Check();
  EXPECT_TRUE(calls_.empty());
}

TEST_F(ChangeCheckTest, AWatchedFileThatIsGoneCountsAsChanged) {
  MachineHarness machine;
  hooks_.ReadMachineDefinition = [&](int32_t flag) {
    machine.Read(paths_.Machine, flag);
    machine_ = machine.File;
  };
  fs::remove(folder_.Path() / "oguma.mtl");
  Check();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Because the MTL-file has been update, it reads."}));
  EXPECT_EQ(machine_.State, kFileMissing);
  Check();
  EXPECT_EQ(Messages().back(), "The MTL-file is not found.");
  Check();
  EXPECT_EQ(Messages().size(), 2u);
}

}  // namespace
}  // namespace vestan
