// Dropped files, function keys and the definition check on activation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/virtual_keys.h"
#include "shell/core/main_window_rules.h"

namespace vestan {
namespace {

std::vector<int32_t> Commands(const DropPlan& plan) {
  std::vector<int32_t> ids;
  for (const DropAction& a : plan.Actions) ids.push_back(a.Command);
  return ids;
}

const auto kNoLinks = [](std::string&) { return false; };

TEST(DroppedFiles, DefinitionsComeFirstThenTheWorkThenTheProgram) {
  const DropPlan plan =
      ClassifyDroppedFiles({"/a/prog.nc", "/a/tools.TTL", "/a/second.nc", "/a/m.mtl"}, {}, kNoLinks);
  EXPECT_EQ(Commands(plan), (std::vector<int32_t>{32783, 32781, 32771}));
  EXPECT_EQ(plan.Actions[0].Path, "/a/m.mtl");
  EXPECT_EQ(plan.Actions[2].Path, "/a/prog.nc");  // the first of the programs
  EXPECT_EQ(plan.Refused, "");
}

TEST(DroppedFiles, EachKindOfFile) {
  struct Case {
    const char* Name;
    std::vector<std::string> Files;
    DropFacts Facts;
    std::vector<int32_t> Commands;
  };
  DropFacts ctrlWithWork;
  ctrlWithWork.CtrlHeld = true;
  ctrlWithWork.WorkPresent = true;
  DropFacts ctrlOnly;
  ctrlOnly.CtrlHeld = true;
  DropFacts user;
  user.UserModelExtensions = {"abc"};
  const std::vector<Case> cases = {
      {"controller and colours", {"x.ctc", "y.Ctl"}, {}, {32782, 0}},
      {"a workpiece of every ending", {"w.dmfz", "p.nc"}, {}, {32784, 32771}},
      {"STL with Ctrl over a workpiece", {"b.stl"}, ctrlWithWork, {32851}},
      {"STL with Ctrl and no workpiece", {"b.stl"}, ctrlOnly, {32784}},
      {"the user's model ending", {"m.ABC"}, user, {32784}},
      {"no ending is a program", {"/nc.d/O1234"}, {}, {32771}},
      {"a macro", {"job.mac"}, {}, {0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Commands(ClassifyDroppedFiles(c.Files, c.Facts, kNoLinks)), c.Commands) << c.Name;
  }
}

TEST(DroppedFiles, AShortcutIsReadAsItsTarget) {
  const auto resolve = [](std::string& path) {
    if (path != "/d/tools.lnk") return false;
    path = "/real/atc.ttl";
    return true;
  };
  const DropPlan plan = ClassifyDroppedFiles({"/d/tools.lnk"}, {}, resolve);
  ASSERT_EQ(Commands(plan), std::vector<int32_t>{32781});
  EXPECT_EQ(plan.Actions[0].Path, "/real/atc.ttl");
}

TEST(DroppedFiles, NothingWhileARunUsesTheTablesAndNoSecondMacro) {
  DropFacts running;
  running.RunActive = true;
  DropPlan plan = ClassifyDroppedFiles({"m.mtl", "job.mac", "p.nc"}, running, kNoLinks);
  EXPECT_TRUE(plan.Actions.empty());
  EXPECT_NE(plan.Refused, "");

  DropFacts worker;
  worker.WorkerRunning = true;
  plan = ClassifyDroppedFiles({"job.MAC", "t.ttl"}, worker, kNoLinks);
  EXPECT_EQ(Commands(plan), std::vector<int32_t>{32781});
  EXPECT_NE(plan.Refused.find("job.MAC"), std::string::npos);

  DropFacts macro;
  macro.MacroRunning = true;
  EXPECT_TRUE(ClassifyDroppedFiles({"job.mac"}, macro, kNoLinks).Actions.empty());

  // A macro path the runner could not hold whole is refused, not cut.
  const std::string longPath = "/" + std::string(251, 'd') + ".mac";
  plan = ClassifyDroppedFiles({longPath}, {}, kNoLinks);
  EXPECT_TRUE(plan.Actions.empty());
  EXPECT_NE(plan.Refused, "");
  EXPECT_EQ(ClassifyDroppedFiles({longPath.substr(1)}, {}, kNoLinks).Actions.size(), 1u);
}

TEST(FunctionKeys, PostTheirCommandsOnlyWithAProgram) {
  FunctionKeyFacts f;
  EXPECT_EQ(FunctionKeyCommand(vk::F(5), f), 0);
  f.NcSelected = true;
  EXPECT_EQ(FunctionKeyCommand(vk::F(5), f), 32776);
  EXPECT_EQ(FunctionKeyCommand(vk::F(6), f), 32777);
  EXPECT_EQ(FunctionKeyCommand(vk::F(7), f), 32778);
  EXPECT_EQ(FunctionKeyCommand(vk::F(8), f), 0);
  EXPECT_EQ(FunctionKeyCommand(vk::F(4), f), 0);
  f.SimPlugin1 = f.SimPlugin2 = true;
  EXPECT_EQ(FunctionKeyCommand(vk::F(8), f), kPluginCommandFirst);  // not perspective
  EXPECT_EQ(FunctionKeyCommand(vk::F(9), f), kPluginCommandFirst + 1);
  f.ViewModal = true;
  EXPECT_EQ(FunctionKeyCommand(vk::F(5), f), 0);
}

TEST(ActivationCheck, WaitsForTheRun) {
  EXPECT_EQ(CheckOnActivation(true, false, true, false), DefinitionCheck::kNow);
  EXPECT_EQ(CheckOnActivation(true, false, true, true), DefinitionCheck::kDeferred);
  EXPECT_EQ(CheckOnActivation(false, false, true, false), DefinitionCheck::kNone);
  EXPECT_EQ(CheckOnActivation(true, true, true, false), DefinitionCheck::kNone);
  EXPECT_EQ(CheckOnActivation(true, false, false, false), DefinitionCheck::kNone);
}

}  // namespace
}  // namespace vestan
