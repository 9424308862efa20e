// The message file, the menus it localises, and the menu states of a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/core/menu_model.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

std::vector<std::pair<int32_t, std::string>> Entries(std::string text) {
  MessageFile file;
  file.Open = true;
  file.Text = std::move(text);
  std::vector<std::pair<int32_t, std::string>> entries;
  std::string entry;
  while (int32_t kind = ReadMessageEntry(file, entry)) entries.emplace_back(kind, entry);
  return entries;
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

TEST(MessageFile, EntriesSkipCommentsAndEmptyLines) {
  using E = std::vector<std::pair<int32_t, std::string>>;
  EXPECT_EQ(Entries("# head\r\n[File(&F)]\r\n\r\n Open\r\n#  not a submenu\n\n  Sub menu\n"
                    "xItem with its first letter dropped\n[No close"),
            (E{{kMessageMenuTitle, "File(&F)"},
               {kMessageMenuItem, "Open"},
               {kMessageSubmenuTitle, "Sub menu"},
               {kMessageMenuItem, "Item with its first letter dropped"},
               {kMessageMenuTitle, "No clos"}}));
  // A line past 79 characters keeps its head; its tail is no entry of its own.
  const std::string longLine = " " + std::string(100, 'a');
  EXPECT_EQ(Entries(longLine + "\n Next\n"),
            (E{{kMessageMenuItem, std::string(78, 'a')}, {kMessageMenuItem, "Next"}}));
  EXPECT_EQ(Entries(""), E{});
}

TEST(MessageFile, FoundInTheCurrentOrTheProgramFolderSetsEnglish) {
  testing::ScratchFolder current, program;
  AppState app;
  MessageFile none = OpenMessageFile(app, current.Path(), program.Path());
  EXPECT_FALSE(none.Open);
  EXPECT_EQ(app.EnglishMode, 0);

  program.Write("vestan9.mes", "[P]\n");
  MessageFile fromProgram = OpenMessageFile(app, current.Path(), program.Path());
  EXPECT_EQ(app.EnglishMode, 1);
  EXPECT_EQ(fromProgram.Path, program / "vestan9.mes");

  current.Write("vestan9.mes", "[C]\n");
  EXPECT_EQ(OpenMessageFile(app, current.Path(), program.Path()).Path, current / "vestan9.mes");
}

// The shipped file holds exactly one entry for every title and item of the
// menu, then the command menu's texts: nothing Japanese remains.
TEST(LocalizeMenus, TheShippedMessageFileCoversTheWholeMenu) {
  AppState app;
  MessageFile file = OpenMessageFile(app, std::string(VESTAN_DATA_DIR) + "/", "");
  ASSERT_TRUE(file.Open);
  MenuModel menu = MainMenu();
  LocalizedLabels labels;
  MessageFile probe = file;
  LocalizeMenus(menu, file, app.EnglishMode, labels);
  EXPECT_FALSE(file.Open);

  std::vector<std::string> texts;
  auto collect = [&](auto&& self, const std::vector<MenuItem>& items) -> void {
    for (const MenuItem& item : items) {
      if (item.Kind == MenuItemKind::kSeparator) continue;
      texts.push_back(item.Text);
      self(self, item.Items);
    }
  };
  collect(collect, menu.Bar);
  for (const std::string& text : texts) EXPECT_TRUE(IsAscii(text)) << text;
  for (size_t i = 0; i < kCommandMenuTextCount; ++i) {
    EXPECT_TRUE(IsAscii(labels.CommandMenuText(i))) << labels.CommandMenuText(i);
  }
  for (const std::string& label : labels.ToolParameterLabels) {
    EXPECT_EQ(label.size(), 4u) << label;
    EXPECT_TRUE(IsAscii(label)) << label;
  }
  // No entry left over: the file and the menu agree in length.
  std::string entry;
  size_t count = 0;
  while (ReadMessageEntry(probe, entry) != kMessageEnd) ++count;
  EXPECT_EQ(count, texts.size() + kCommandMenuTextCount);

  EXPECT_EQ(menu.Bar[0].Text, "NC Data(&N)");
  EXPECT_EQ(FindCommand(menu, 32776)->Text, "Cut and Show Result(&T or F5)");
  EXPECT_EQ(labels.CommandMenuText(0), "Menu");
  EXPECT_EQ(labels.CommandMenuText(1), "Home(&R)");
  EXPECT_EQ(labels.CommandMenuText(6), "1st (&1)");
  EXPECT_EQ(labels.CommandMenuText(13), " XZ (&8)");
}

TEST(LocalizeMenus, AShortFileLeavesTheRestInJapanese) {
  MenuModel menu = MainMenu();
  FindCommand(menu, 32772)->Enabled = false;
  LocalizedLabels labels;
  MessageFile file;
  file.Open = true;
  file.Text = "[NC]\n# comment\n\n Select\n Define\n";
  LocalizeMenus(menu, file, 1, labels);
  EXPECT_EQ(menu.Bar[0].Text, "NC");
  EXPECT_EQ(FindCommand(menu, 32771)->Text, "Select");
  EXPECT_EQ(FindCommand(menu, 32772)->Text, "Define");
  EXPECT_FALSE(FindCommand(menu, 32772)->Enabled);  // its grey state kept
  // Past the file's end every text keeps its own, not the last entry read.
  EXPECT_EQ(FindCommand(menu, 32773)->Text, "帳票出力（&V）");
  EXPECT_EQ(menu.Bar[1].Text, "被切削材(&W)");
  EXPECT_EQ(labels.CommandMenuText(1), "初期(&R)");
  EXPECT_EQ(labels.ToolParameterLabels[0], "Dia ");

  // Japanese mode takes nothing from a file.
  MenuModel japanese = MainMenu();
  LocalizedLabels japaneseLabels;
  file.Open = true;
  file.Cursor = 0;
  file.Text = "[NC]\n";
  LocalizeMenus(japanese, file, 0, japaneseLabels);
  EXPECT_EQ(japanese.Bar[0].Text, "NCデータ(&N)");
  EXPECT_EQ(japaneseLabels.ToolParameterLabels[0], "直径");
}

TEST(MenuStates, ARunGreysItsMenusAndGivesThemBack) {
  MenuModel menu = MainMenu();
  DisableMenusWhileRunning(menu);
  for (int32_t id : {32771, 32772, 32773, 32774, 32775, 32776, 32777, 32778, 32911, 32784,
                     32789, 32781, 32783, 138, 32779, 32907}) {
    EXPECT_FALSE(FindCommand(menu, id)->Enabled) << id;
  }
  // Position 5 of the work menu, the stop options, the view and the exit stay.
  for (int32_t id : {32905, 32853, 32857, 32800, 32828, 32901, 105, 104}) {
    EXPECT_TRUE(FindCommand(menu, id)->Enabled) << id;
  }
  EnableMenusAfterRun(menu);
  for (int32_t id : {32771, 32776, 32789, 32781, 32779, 32907}) {
    EXPECT_TRUE(FindCommand(menu, id)->Enabled) << id;
  }

  EnableRunMenuItems(menu, false, false);
  EXPECT_FALSE(FindCommand(menu, 32786)->Enabled);
  EXPECT_TRUE(FindCommand(menu, 32893)->Enabled);  // no basic model: left alone
  EnableRunMenuItems(menu, false, true);
  EXPECT_FALSE(FindCommand(menu, 32893)->Enabled);
}

TEST(MenuStates, ChecksFollowTheState) {
  MenuModel menu = MainMenu();
  MenuCheckFacts f;
  f.StopOption = 3;
  f.ToolTipControlMode = 2;
  f.Perspective = 1;
  UpdateMenuChecks(menu, f);
  EXPECT_TRUE(FindCommand(menu, 32856)->Checked);
  EXPECT_TRUE(FindCommand(menu, 32899)->Checked);
  EXPECT_FALSE(FindCommand(menu, 32897)->Checked);
  EXPECT_TRUE(FindCommand(menu, 32901)->Checked);
  f.StopOption = 0;
  UpdateMenuChecks(menu, f);
  EXPECT_TRUE(FindCommand(menu, 32853)->Checked);
  EXPECT_FALSE(FindCommand(menu, 32856)->Checked);
  // A stop option no item stands for ticks none.
  f.StopOption = 9;
  UpdateMenuChecks(menu, f);
  for (int32_t id = 32853; id <= 32857; ++id) EXPECT_FALSE(FindCommand(menu, id)->Checked);
}

}  // namespace
}  // namespace vestan
