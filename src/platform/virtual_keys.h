// Key codes as the settings, the macros and the key handlers name them (the
// virtual-key numbers of the original platform: "STOP KEY" 17 is Ctrl,
// "ESCAPE KEY" 27 is Esc), their names and characters, and which keys are
// held down now, with no window system behind it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

namespace vestan {

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
namespace vk {
inline constexpr int32_t kCancel = 3;  // Break
inline constexpr int32_t kBack = 8;
inline constexpr int32_t kTab = 9;
inline constexpr int32_t kReturn = 13;
inline constexpr int32_t kShift = 16;
inline constexpr int32_t kControl = 17;
inline constexpr int32_t kMenu = 18;  // Alt
inline constexpr int32_t kPause = 19;
inline constexpr int32_t kEscape = 27;
inline constexpr int32_t kSpace = 32;
inline constexpr int32_t kPrior = 33;  // Page Up
inline constexpr int32_t kNext = 34;   // Page Down
inline constexpr int32_t kEnd = 35;
inline constexpr int32_t kHome = 36;
inline constexpr int32_t kLeft = 37;
inline constexpr int32_t kUp = 38;
inline constexpr int32_t kRight = 39;
inline constexpr int32_t kDown = 40;
inline constexpr int32_t kInsert = 45;
inline constexpr int32_t kDelete = 46;
inline constexpr int32_t kNumpad0 = 96;  // to kNumpad0 + 9
inline constexpr int32_t kMultiply = 106;
inline constexpr int32_t kAdd = 107;
inline constexpr int32_t kSubtract = 109;
inline constexpr int32_t kDecimal = 110;
inline constexpr int32_t kDivide = 111;
inline constexpr int32_t kF1 = 112;  // to kF1 + 11 (F12)
inline constexpr int32_t kLeftShift = 160;
inline constexpr int32_t kRightShift = 161;
inline constexpr int32_t kLeftControl = 162;
inline constexpr int32_t kRightControl = 163;
inline constexpr int32_t kLeftMenu = 164;
inline constexpr int32_t kRightMenu = 165;
// The punctuation keys, named by what they type on the Japanese layout.
inline constexpr int32_t kOemColon = 186;      // ":"
inline constexpr int32_t kOemSemicolon = 187;  // ";"
inline constexpr int32_t kOemComma = 188;
inline constexpr int32_t kOemMinus = 189;
inline constexpr int32_t kOemPeriod = 190;
inline constexpr int32_t kOemSlash = 191;
inline constexpr int32_t kOemAt = 192;            // "@"
inline constexpr int32_t kOemOpenBracket = 219;   // "["
inline constexpr int32_t kOemYen = 220;           // "\" (the yen key)
inline constexpr int32_t kOemCloseBracket = 221;  // "]"
inline constexpr int32_t kOemCaret = 222;         // "^"
inline constexpr int32_t kOemBackslash = 226;     // "\" (the ro key)

inline constexpr int32_t F(int32_t n) { return kF1 + n - 1; }
inline constexpr int32_t Numpad(int32_t digit) { return kNumpad0 + digit; }
}  // namespace vk

inline constexpr int32_t kVirtualKeyCount = 256;

// The key's name for logs and messages ("ESCAPE", "F5", "A"); empty for a
// code the table does not know.
std::string_view VirtualKeyName(int32_t code);
// The character the key types without Shift on the Japanese layout ("A" for
// the A key, "@" for kOemAt, "1" for the numpad 1, 27 for Esc); 0 for keys
// that type nothing and for unknown codes.
char VirtualKeyCharacter(int32_t code);
// The key that types the character without Shift (either case for letters);
// 0 when no key does.
int32_t VirtualKeyForCharacter(char c);

// Which keys are held down now, as the window reports presses and releases.
// Any thread may ask (the run's stop key is polled while it cuts); a key's
// generic code (Shift, Ctrl, Alt) counts as down while either of its sides
// is.
class KeyState {
 public:
  void Press(int32_t code) { Set(code, 1); }
  void Release(int32_t code) { Set(code, 0); }
  // Every key up, as when the window loses the keyboard.
  void ReleaseAll();
  bool IsDown(int32_t code) const;

 private:
  void Set(int32_t code, uint8_t down);
  std::array<std::atomic<uint8_t>, kVirtualKeyCount> down_{};
};

}  // namespace vestan
