#include "platform/virtual_keys.h"

#include <initializer_list>
#include <utility>

namespace vestan {

namespace {

struct KeyInfo {
  std::string_view Name;
  char Character = 0;
};

using KeyTable = std::array<KeyInfo, kVirtualKeyCount>;

KeyTable MakeKeyTable() {
  KeyTable table{};
  constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  constexpr std::string_view kDigits = "0123456789";
  for (int32_t i = 0; i < 26; ++i) table['A' + i] = {kLetters.substr(i, 1), kLetters[i]};
  for (int32_t i = 0; i < 10; ++i) table['0' + i] = {kDigits.substr(i, 1), kDigits[i]};
  constexpr std::array<std::string_view, 10> kNumpad = {"NUMPAD0", "NUMPAD1", "NUMPAD2", "NUMPAD3",
                                                        "NUMPAD4", "NUMPAD5", "NUMPAD6", "NUMPAD7",
                                                        "NUMPAD8", "NUMPAD9"};
  for (int32_t i = 0; i < 10; ++i) table[vk::Numpad(i)] = {kNumpad[i], kDigits[i]};
  constexpr std::array<std::string_view, 12> kFunction = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                                          "F7", "F8", "F9", "F10", "F11", "F12"};
  for (int32_t i = 0; i < 12; ++i) table[vk::F(i + 1)] = {kFunction[i], 0};

  const std::initializer_list<std::pair<int32_t, KeyInfo>> named = {
      {vk::kCancel, {"BREAK", 3}},
      {vk::kBack, {"BACKSPACE", 8}},
      {vk::kTab, {"TAB", '\t'}},
      {vk::kReturn, {"RETURN", '\r'}},
      {vk::kShift, {"SHIFT", 0}},
      {vk::kControl, {"CTRL", 0}},
      {vk::kMenu, {"ALT", 0}},
      {vk::kPause, {"PAUSE", 0}},
      {vk::kEscape, {"ESCAPE", 27}},
      {vk::kSpace, {"SPACE", ' '}},
      {vk::kPrior, {"PAGEUP", 0}},
      {vk::kNext, {"PAGEDOWN", 0}},
      {vk::kEnd, {"END", 0}},
      {vk::kHome, {"HOME", 0}},
      {vk::kLeft, {"LEFT", 0}},
      {vk::kUp, {"UP", 0}},
      {vk::kRight, {"RIGHT", 0}},
      {vk::kDown, {"DOWN", 0}},
      {vk::kInsert, {"INSERT", 0}},
      {vk::kDelete, {"DELETE", 0}},
      {vk::kMultiply, {"MULTIPLY", '*'}},
      {vk::kAdd, {"ADD", '+'}},
      {vk::kSubtract, {"SUBTRACT", '-'}},
      {vk::kDecimal, {"DECIMAL", '.'}},
      {vk::kDivide, {"DIVIDE", '/'}},
      {vk::kLeftShift, {"LSHIFT", 0}},
      {vk::kRightShift, {"RSHIFT", 0}},
      {vk::kLeftControl, {"LCTRL", 0}},
      {vk::kRightControl, {"RCTRL", 0}},
      {vk::kLeftMenu, {"LALT", 0}},
      {vk::kRightMenu, {"RALT", 0}},
      {vk::kOemColon, {":", ':'}},
      {vk::kOemSemicolon, {";", ';'}},
      {vk::kOemComma, {",", ','}},
      {vk::kOemMinus, {"-", '-'}},
      {vk::kOemPeriod, {".", '.'}},
      {vk::kOemSlash, {"/", '/'}},
      {vk::kOemAt, {"@", '@'}},
      {vk::kOemOpenBracket, {"[", '['}},
      {vk::kOemYen, {"YEN", '\\'}},
      {vk::kOemCloseBracket, {"]", ']'}},
      {vk::kOemCaret, {"^", '^'}},
      {vk::kOemBackslash, {"\\", '\\'}},
  };
  for (const auto& [code, info] : named) table[code] = info;
  return table;
}

const KeyTable& Keys() {
  static const KeyTable table = MakeKeyTable();
  return table;
}

bool InRange(int32_t code) { return code >= 0 && code < kVirtualKeyCount; }

// The generic code of a sided modifier and its two sides; 0 when none.
struct ModifierSides {
  int32_t Generic;
  int32_t Left;
  int32_t Right;
};
constexpr std::array<ModifierSides, 3> kModifiers = {{
    {vk::kShift, vk::kLeftShift, vk::kRightShift},
    {vk::kControl, vk::kLeftControl, vk::kRightControl},
    {vk::kMenu, vk::kLeftMenu, vk::kRightMenu},
}};

}  // namespace

std::string_view VirtualKeyName(int32_t code) { return InRange(code) ? Keys()[code].Name : ""; }

char VirtualKeyCharacter(int32_t code) { return InRange(code) ? Keys()[code].Character : 0; }

int32_t VirtualKeyForCharacter(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  // The main block's keys come before the numpad's in the table's order,
  // and the yen key before the ro key.
  for (int32_t code = 0; code < kVirtualKeyCount; ++code)
    if (c != 0 && Keys()[code].Character == c && !(code >= vk::kNumpad0 && code <= vk::kDivide))
      return code;
  return 0;
}

void KeyState::Set(int32_t code, uint8_t down) {
  if (InRange(code)) down_[code].store(down);
}

void KeyState::ReleaseAll() {
  for (std::atomic<uint8_t>& key : down_) key.store(0);
}

bool KeyState::IsDown(int32_t code) const {
  if (!InRange(code)) return false;
  if (down_[code].load() != 0) return true;
  for (const ModifierSides& m : kModifiers)
    if (code == m.Generic) return down_[m.Left].load() != 0 || down_[m.Right].load() != 0;
  return false;
}

}  // namespace vestan
