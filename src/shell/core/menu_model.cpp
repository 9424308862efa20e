#include "shell/core/menu_model.h"

#include <fstream>
#include <iterator>

namespace vestan {

namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

MenuItem Command(int32_t id, std::string text) {
  MenuItem item;
  item.Id = id;
  item.Text = std::move(text);
  return item;
}

MenuItem Separator() {
  MenuItem item;
  item.Kind = MenuItemKind::kSeparator;
  return item;
}

MenuItem Submenu(std::string text, std::vector<MenuItem> items) {
  MenuItem item;
  item.Kind = MenuItemKind::kSubmenu;
  item.Text = std::move(text);
  item.Items = std::move(items);
  return item;
}

template <typename Menu, typename F>
void ForEachCommand(Menu& items, F&& f) {
  for (auto& item : items) {
    if (item.Kind == MenuItemKind::kCommand) f(item);
    if (item.Kind == MenuItemKind::kSubmenu) ForEachCommand(item.Items, f);
  }
}

template <typename Item>
Item* FindIn(std::vector<Item>& items, int32_t id) {
  for (auto& item : items) {
    if (item.Kind == MenuItemKind::kCommand && item.Id == id) return &item;
    if (item.Kind == MenuItemKind::kSubmenu) {
      if (Item* found = FindIn(item.Items, id)) return found;
    }
  }
  return nullptr;
}

void SetChecked(MenuModel& menu, int32_t id, bool checked) {
  if (MenuItem* item = FindCommand(menu, id)) item->Checked = checked;
}

void SetEnabled(MenuModel& menu, int32_t id, bool enabled) {
  if (MenuItem* item = FindCommand(menu, id)) item->Enabled = enabled;
}

// Takes the next entry into text; text stays as it was when the file has
// none left.
void TakeEntry(MessageFile& file, std::string& text) {
  std::string entry;
  if (ReadMessageEntry(file, entry) != kMessageEnd) text = entry;
}

// The items a run greys, by menu and position.
void SetRunMenus(MenuModel& menu, bool enabled) {
  auto set = [&](size_t bar, size_t position) {
    if (bar >= menu.Bar.size() || position >= menu.Bar[bar].Items.size()) return;
    MenuItem& item = menu.Bar[bar].Items[position];
    item.Enabled = enabled;
    ForEachCommand(item.Items, [&](MenuItem& sub) { sub.Enabled = enabled; });
  };
  for (size_t p : {0, 1, 2}) set(0, p);
  if (menu.Bar.size() > 1) {
    for (size_t p = 0; p < menu.Bar[1].Items.size(); ++p) {
      if (p != 5) set(1, p);
    }
  }
  for (size_t p : {0, 1, 2, 6, 7}) set(2, p);
  if (menu.Bar.size() > 3) {
    for (size_t p = 0; p < menu.Bar[3].Items.size(); ++p) set(3, p);
  }
  set(4, 5);
  SetEnabled(menu, 32907, enabled);
}

}  // namespace

MessageFile OpenMessageFile(AppState& app, std::string_view currentFolder,
                            std::string_view programFolder) {
  MessageFile file;
  for (std::string_view folder : {currentFolder, programFolder}) {
    std::string path = std::string(folder) + std::string(kMessageFileName);
    if (ReadWholeFile(path, file.Text)) {
      file.Open = true;
      file.Path = std::move(path);
      app.EnglishMode = 1;
      break;
    }
  }
  return file;
}

int32_t ReadMessageEntry(MessageFile& file, std::string& text) {
  while (file.Open && file.Cursor < file.Text.size()) {
    const size_t end = file.Text.find('\n', file.Cursor);
    const size_t next = end == std::string::npos ? file.Text.size() : end + 1;
    std::string line = file.Text.substr(file.Cursor, next - file.Cursor);
    file.Cursor = next;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMessageLineCharacters) line.resize(kMessageLineCharacters);
    if (line.empty() || line[0] == '\r' || line[0] == '#') continue;
    if (line[0] == '[') {
      // The text between "[" and the line's last character ("]").
      text = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string();
      return kMessageMenuTitle;
    }
    if (line.size() >= 2 && line[0] == ' ' && line[1] == ' ') {
      text = line.substr(2);
      return kMessageSubmenuTitle;
    }
    text = line.substr(1);
    return kMessageMenuItem;
  }
  return kMessageEnd;
}

void CloseMessageFile(MessageFile& file) {
  file.Open = false;
  file.Text.clear();
  file.Cursor = 0;
}

MenuModel MainMenu() {
  MenuModel menu;
  menu.Bar = {
      Submenu("NCデータ(&N)",
              {Command(32771, "選択（&S）"), Command(32772, "選択して最適被切削材定義(&W)"),
               Command(32773, "帳票出力（&V）"), Separator(),
               Command(32813, "エディター編集(&E)"), Separator(), Command(105, "終了（&X）")}),
      Submenu("被切削材(&W)",
              {Command(32911, "ワーク座標原点基準定義(&W)"), Command(32787, "2点指示定義(&D)"),
               Command(32896, "円柱定義(&U)"), Command(32784, "DME,DMF,STL,,,読み込み(&L)"),
               Command(32786, "DME,STL,,,保存(&S)"), Command(32905, "削除/無効化/有効化(&N)"),
               Separator(), Command(32826, "回転(&R)"), Command(32827, "移動(&M)"),
               Command(32788, "オフセット(&O)"), Command(32906, "XYZ値カット(&Z)"), Separator(),
               Submenu("ペンキ(&P)",
                       {Command(32789, "ペンキの全面塗り(&A)"), Command(32790, "ペンキをはがす(&C)"),
                        Command(32820, "ペンの色をはがす(&E)")}),
               Command(32851, "基準形状指定(&B)"), Command(32893, "差分塗り(&F)"),
               Command(32904, "バイス形状(STL)読み込み(&V)")}),
      Submenu("加工(&C)",
              {Command(32774, "実加工(&R)"), Command(32775, "スキップ加工(&S)"),
               Command(32776, "加工して結果表示(&T or F5キー)"), Separator(),
               Submenu("停止位置(&P)",
                       {Command(32853, "ノンストップ(&N)"), Command(32854, "M00停止(&M)　通常モード"),
                        Command(32855, "M01も停止(&O) ｵﾌﾟｼｮﾅﾙｽﾄｯﾌﾟ"),
                        Command(32856, "シングルブロック(&S)"),
                        Command(32857, "指定位置で停止(&D) CTLファイルで定義")}),
               Separator(), Command(32777, "パス表示(&P or F6キー)"),
               Command(32778, "回転成分を補間しないパス表示(&D or F7)"),
               Command(32800, "パスの構成点表示(&C)"), Separator(),
               Command(32902, "回転動作実加工モード(&A)"), Command(32908, "早送り部実加工モード(&0)"),
               Submenu("先端点制御(&T)",
                       {Command(32897, "通常(&N)"), Command(32898, "強制指定-タイプ1(&1)"),
                        Command(32899, "強制指定-タイプ2(&2)")}),
               Command(32852, "オプショナルブロックスキップ設定(&B)")}),
      Submenu("定義ファイル(&D)",
              {Command(32781, "工具設定ファイルの指定(&T) 編集:F2キー"),
               Command(32782, "コントローラー定義ファイルの指定(&C) 編集:F3キー"),
               Command(32783, "機械定義ファイルの指定(&M) 編集:F4キー"), Separator(),
               Command(32841, "工具径補正値設定(&K)"), Command(32842, "工具長補正値設定(&L)"),
               Command(32884, "ワーク座標系設定(&W)"), Command(154, "制御点座標値設定(&X)"),
               Command(138, "ピッチ（精度）指定(&P)"), Separator(),
               Command(32894, "切削干渉チェックの設定(&I)"),
               Command(32912, "構造物干渉チェックの設定(&M)"), Command(208, "起動時の状態設定(&I)")}),
      Submenu("表示(&V)",
              {Command(32828, "座標軸表示(&O)"), Command(32901, "遠近感(&@)"),
               Command(32900, "表示ON/OFF/半透明制御(&P)"), Command(213, "コマンドメニュー表示(&M)"),
               Command(32816, "工具表示ダイアログ表示(&T)"), Command(32779, "色の設定(&W)"),
               Command(32907, "動画保存設定(&V) - 暫定仕様")}),
      Submenu("ヘルプ(&H)",
              {Command(801, "ヘルプ(&H or F1キー)"), Command(32821, "ホームページへ(&G)"),
               Command(104, "バージョン/環境情報(&V)")}),
  };
  return menu;
}

MenuItem* FindCommand(MenuModel& menu, int32_t id) { return FindIn(menu.Bar, id); }
const MenuItem* FindCommand(const MenuModel& menu, int32_t id) {
  return FindIn(const_cast<MenuModel&>(menu).Bar, id);
}

LocalizedLabels::LocalizedLabels() {
  static constexpr std::array<std::string_view, kCommandMenuTextCount> kHeads = {
      "メニュー", "初期", "最大", "ｽﾞｰﾑ", "拡大", "縮小", "第１", "第２", "第３", "第４", "-15 ",
      "+15 ",     "後ろ", " XZ ", " YZ ", " XY ", "上側", "下側", "描画", "遠近", "戻す", "保存"};
  static constexpr std::array<std::string_view, kCommandMenuTextCount> kTails = {
      "",     "(&R)", "(&F)", "(&Z)", "(&W)", "(&S)", "(&1)", "(&2)", "(&3)", "(&4)", "(&5)",
      "(&6)", "(&7)", "(&8)", "(&9)", "(&0)", "(&U)", "(&D)", "(&P)", "(&@)", "(&C)", "(&B)"};
  static constexpr std::array<std::string_view, kToolParameterLabelCount> kLabels = {
      "直径", "角Ｒ", "Ｅ幅", "Ｆ高", "底角", "側角", "有効", "突出", "首下",
      "Tp-L", "Ｓ径", "内高", "上径", "厚み", "下Ｒ", "上Ｒ", "軸径", "TopR",
      "Cp-w", "ARad", "BRad", "Aang", "Bang", "    ", "    "};
  for (size_t i = 0; i < kCommandMenuTextCount; ++i) {
    CommandMenuHeads[i] = kHeads[i];
    CommandMenuTails[i] = kTails[i];
  }
  for (size_t i = 0; i < kToolParameterLabelCount; ++i) ToolParameterLabels[i] = kLabels[i];
}

void LocalizeMenus(MenuModel& menu, MessageFile& file, int32_t englishMode,
                   LocalizedLabels& labels) {
  if (englishMode == 0) return;
  for (MenuItem& bar : menu.Bar) {
    TakeEntry(file, bar.Text);
    for (MenuItem& item : bar.Items) {
      if (item.Kind == MenuItemKind::kSeparator) continue;
      if (item.Kind == MenuItemKind::kSubmenu) {
        TakeEntry(file, item.Text);
        for (MenuItem& sub : item.Items) {
          if (sub.Kind != MenuItemKind::kCommand) continue;
          MenuItem* target = FindCommand(menu, sub.Id);
          TakeEntry(file, target->Text);
        }
        continue;
      }
      TakeEntry(file, FindCommand(menu, item.Id)->Text);
    }
  }
  TakeEntry(file, labels.CommandMenuHeads[0]);
  for (size_t i = 1; i < kCommandMenuTextCount; ++i) {
    std::string entry;
    if (ReadMessageEntry(file, entry) == kMessageEnd) break;
    entry.resize(4, ' ');
    labels.CommandMenuHeads[i] = entry;
  }
  static constexpr std::array<std::string_view, 17> kEnglish = {
      "Dia ", "C-r ", "E-w ", "F-h ", "BotA", "SidA", " H  ", "Len ", " Lu ",
      " Lt ", " Ds ", " Hi ", " Du ", " Th ", "Crl ", "Cru ", " Ra "};
  for (size_t i = 0; i < kEnglish.size(); ++i) labels.ToolParameterLabels[i] = kEnglish[i];
  CloseMessageFile(file);
}

void EnableRunMenuItems(MenuModel& menu, bool enabled, bool basicModelNamed) {
  for (int32_t id : {32905, 32786, 32826, 32827, 32788, 32906, 32789, 32790, 32820, 32851}) {
    SetEnabled(menu, id, enabled);
  }
  if (basicModelNamed) SetEnabled(menu, 32893, enabled);
}

void EnableNcMenuItems(MenuModel& menu, bool enabled) {
  for (int32_t id : {32773, 32813, 32774, 32775, 32776, 32777, 32778}) SetEnabled(menu, id, enabled);
}

void UpdateMenuChecks(MenuModel& menu, const MenuCheckFacts& f) {
  SetChecked(menu, 32777, f.PathDisplay != 0);
  SetChecked(menu, 32778, f.PathWithoutRotary != 0);
  SetChecked(menu, 32800, f.PathPoints != 0);
  SetChecked(menu, 32828, f.CoordinateAxes != 0);
  SetChecked(menu, 32901, f.Perspective != 0);
  SetChecked(menu, 213, f.CommandMenuShown != 0);
  SetChecked(menu, 32816, f.ToolDialogShown != 0);
  SetChecked(menu, 32897, f.ToolTipControlMode == 0);
  SetChecked(menu, 32898, f.ToolTipControlMode == 1);
  SetChecked(menu, 32899, f.ToolTipControlMode != 0 && f.ToolTipControlMode != 1);
  for (int32_t id = 32853; id <= 32857; ++id) SetChecked(menu, id, false);
  if (f.StopOption >= 0 && f.StopOption <= 4) SetChecked(menu, 32853 + f.StopOption, true);
  SetChecked(menu, 32902, f.RotaryRealCutting != 0);
  SetChecked(menu, 32908, f.RapidRealCutting != 0);
  if (f.CommentModuleLoaded != 0) SetChecked(menu, 32931, f.CommentModuleOff != 0);
}

void DisableMenusWhileRunning(MenuModel& menu) { SetRunMenus(menu, false); }
void EnableMenusAfterRun(MenuModel& menu) { SetRunMenus(menu, true); }

}  // namespace vestan
