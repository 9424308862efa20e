// The main menu as plain data (ids, positions, texts, enabled and checked
// states) that a window only mirrors; the message file "vestan9.mes" that
// switches the program to English and gives the menus their English texts;
// and the rules that enable, grey and tick the items as the state changes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/app_state.h"

namespace vestan {

inline constexpr std::string_view kMessageFileName = "vestan9.mes";
// Characters of one message file line the entries keep.
inline constexpr size_t kMessageLineCharacters = 79;

// The message file's text, read whole when it opens, and how far the entries
// have been taken.
struct MessageFile {
  bool Open = false;
  std::string Path;
  std::string Text;
  size_t Cursor = 0;
};

// Opens "vestan9.mes" in the current folder, else in the program's folder
// (each ending in a separator, or empty); when either opens, EnglishMode
// becomes 1.
MessageFile OpenMessageFile(AppState& app, std::string_view currentFolder,
                            std::string_view programFolder);

// Entry kinds of ReadMessageEntry.
inline constexpr int32_t kMessageEnd = 0;
inline constexpr int32_t kMessageMenuTitle = 1;
inline constexpr int32_t kMessageMenuItem = 2;
inline constexpr int32_t kMessageSubmenuTitle = 3;

// The next entry: comment ("#") and empty lines are passed over; "[Title]"
// is a menu-bar title, a line starting with two blanks a submenu title, any
// other line an item whose text starts after its first character. A line
// longer than kMessageLineCharacters keeps its first characters; the rest
// of it is dropped, never taken as another entry.
int32_t ReadMessageEntry(MessageFile& file, std::string& text);
void CloseMessageFile(MessageFile& file);

enum class MenuItemKind { kCommand, kSeparator, kSubmenu };

struct MenuItem {
  MenuItemKind Kind = MenuItemKind::kCommand;
  int32_t Id = 0;  // command id; 0 for separators and submenus
  std::string Text;
  bool Enabled = true;
  bool Checked = false;
  std::vector<MenuItem> Items;  // a submenu's items
};

// The menu bar: each entry a drop-down menu (kind kSubmenu).
struct MenuModel {
  std::vector<MenuItem> Bar;
};

// The main menu with its Japanese texts, in the order of the message file.
MenuModel MainMenu();

// The first command item with the id anywhere in the menu; null when none.
MenuItem* FindCommand(MenuModel& menu, int32_t id);
const MenuItem* FindCommand(const MenuModel& menu, int32_t id);

// The command menu window's 22 texts and the tool parameter labels.
inline constexpr size_t kCommandMenuTextCount = 22;
inline constexpr size_t kToolParameterLabelCount = 25;
struct LocalizedLabels {
  // Each text is a head of four cp932 bytes (two Japanese or four English
  // characters) and its accelerator tail; the message file replaces the
  // heads (padded with blanks to four), and the first text whole.
  std::array<std::string, kCommandMenuTextCount> CommandMenuHeads;
  std::array<std::string, kCommandMenuTextCount> CommandMenuTails;
  std::array<std::string, kToolParameterLabelCount> ToolParameterLabels;

  LocalizedLabels();
  std::string CommandMenuText(size_t slot) const {
    return CommandMenuHeads[slot] + CommandMenuTails[slot];
  }
};

// In English mode: the message file's entries become the menu's texts in
// menu order, then the command menu texts, and the tool parameter labels
// take their English forms; the file is closed. An item for which the file
// has no entry left keeps its own text. Nothing in Japanese mode.
void LocalizeMenus(MenuModel& menu, MessageFile& file, int32_t englishMode,
                   LocalizedLabels& labels);

// The items that need a workpiece, enabled or greyed; difference painting
// (32893) only when a basic model is named.
void EnableRunMenuItems(MenuModel& menu, bool enabled, bool basicModelNamed);

// The items that need a selected NC program (the data check, the editor,
// the runs and the path displays), enabled or greyed.
void EnableNcMenuItems(MenuModel& menu, bool enabled);

// What the check marks show.
struct MenuCheckFacts {
  int32_t PathDisplay = 0;
  int32_t PathWithoutRotary = 0;
  int32_t PathPoints = 0;
  int32_t CoordinateAxes = 0;
  int32_t Perspective = 0;
  int32_t CommandMenuShown = 0;
  int32_t ToolDialogShown = 0;
  int32_t ToolTipControlMode = 0;
  int32_t StopOption = 0;
  int32_t RotaryRealCutting = 0;
  int32_t RapidRealCutting = 0;
  int32_t CommentModuleLoaded = 0;
  int32_t CommentModuleOff = 0;
};
void UpdateMenuChecks(MenuModel& menu, const MenuCheckFacts& facts);

// Grey (and enable again) the menus a cutting run must not reach: by their
// positions in the menu, and the movie settings by id.
void DisableMenusWhileRunning(MenuModel& menu);
void EnableMenusAfterRun(MenuModel& menu);

}  // namespace vestan
