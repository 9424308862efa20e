// The display colours and alphas, with the saved copy that stages a change:
// reading them from the settings file and from colour files (".CTC"), and
// copying between the live and the saved set.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vestan {

class ProfileFile;
struct DisplayListTable;

// 0x00BBGGRR: red in the low byte.
using Colour = uint32_t;

constexpr Colour MakeColour(uint32_t red, uint32_t green, uint32_t blue) {
  return red | (green << 8) | (blue << 16);
}

inline constexpr int32_t kPenColourCount = 16;  // 0 the work colour, 1..15 PEN1..PEN15

// The colours that have a saved copy.
struct ColorSet {
  std::array<Colour, kPenColourCount> Pens = {
      MakeColour(127, 127, 255), MakeColour(0, 255, 0),   MakeColour(255, 255, 0),
      MakeColour(192, 192, 192), MakeColour(191, 191, 0), MakeColour(191, 0, 191),
      MakeColour(0, 191, 191),   MakeColour(255, 0, 127), MakeColour(63, 63, 127),
      MakeColour(0, 127, 0),     MakeColour(127, 127, 0), MakeColour(95, 95, 95),
      MakeColour(95, 95, 0),     MakeColour(95, 0, 95),   MakeColour(0, 95, 95),
      MakeColour(127, 0, 63)};
  // Per pen: 0 hides the surfaces tagged with it; the second flag is read by
  // the path display.
  std::array<int32_t, kPenColourCount> PenShown = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::array<int32_t, kPenColourCount> PenPathFlag = {1, 1, 1, 1, 1, 1, 1, 1,
                                                      1, 1, 1, 1, 1, 1, 1, 1};
  Colour Penki = MakeColour(255, 127, 0);
  Colour Base = MakeColour(128, 128, 0);
  Colour TopPath = MakeColour(255, 0, 0);
  Colour TopPath2 = MakeColour(255, 128, 0);
  Colour Construction = MakeColour(255, 255, 0);
  Colour ToolTop = MakeColour(255, 0, 128);
  Colour ToolSide = MakeColour(128, 128, 192);
  Colour Arbor = MakeColour(0, 128, 0);
  Colour HeadStar = MakeColour(113, 145, 113);      // HEAD(*)
  Colour HeadStarStar = MakeColour(163, 195, 163);  // HEAD(**)
  Colour Head = MakeColour(63, 95, 63);
  Colour Head1 = MakeColour(63, 127, 63);
  Colour Head2 = MakeColour(31, 63, 31);
  Colour TableStar = MakeColour(50, 178, 242);  // TABLE(*)
  Colour Table = MakeColour(0, 128, 192);
  Colour Table1 = MakeColour(127, 127, 127);
  Colour Table2 = MakeColour(0, 63, 63);
  Colour Vice = MakeColour(127, 127, 63);
  Colour Basic = MakeColour(64, 128, 128);
  Colour Background = MakeColour(0, 0, 0);

  bool operator==(const ColorSet&) const = default;
};

struct ColorSettings {
  ColorSet Live;   // what the display uses
  ColorSet Saved;  // staging copy for colour files and the colour dialog
  // Value labels of the tool figure; no saved copy.
  Colour DiameterValue = MakeColour(255, 255, 0);
  Colour LengthValue = MakeColour(255, 0, 255);
  Colour MagazineNumber = MakeColour(0, 255, 255);
  // 0..1
  float WorkAlpha = 0.5f;
  float BaseAlpha = 0.5f;
  float ToolAlpha = 0.5f;
  float MachineAlpha = 0.5f;
};

// A colour as the settings file writes it: "(r,g,b)".
std::string FormatColour(Colour colour);

// Settings-file colour values: "BLACK", "WHITE" or three numbers; a number
// is truncated, above 255 gives 255, a negative one 0. The flagged form also
// reads the two flags after ")" (both 1 first).
void ParseSettingsColour(std::string_view text, Colour& colour);
void ParseSettingsFlaggedColour(std::string_view text, Colour& colour, int32_t& flag1,
                                int32_t& flag2);
// Colour-file values: the same, but a negative number keeps that component.
void ParseColorValue(std::string_view text, Colour& colour);
void ParseFlaggedColorValue(std::string_view text, Colour& colour, int32_t& flag1, int32_t& flag2);

// One colour key of section "Define", defaultText when missing.
void ReadDefineColor(const ProfileFile& profile, std::string_view key, std::string_view defaultText,
                     Colour& colour);
void ReadDefineFlaggedColor(const ProfileFile& profile, std::string_view key,
                            std::string_view defaultText, Colour& colour, int32_t& flag1,
                            int32_t& flag2);
// Every colour key of section "Define", in reading order, into the live set
// and the value colours.
void ReadDefineColors(const ProfileFile& profile, ColorSettings& colors);

// Reads a colour file into the saved set (after copying the live set there,
// so that keys the file lacks keep their live values). 1 when the file was
// read, 0 when it could not be opened (then nothing changes).
int32_t ReadColorSettings(std::string_view path, ColorSettings& colors);

// Live set into the saved set, and back.
void SaveColorSet(ColorSettings& colors);
void LoadColorSet(ColorSettings& colors);

// What ApplyColorSettings changed.
struct ColorChanges {
  bool WorkColours = false;  // work, pen or PENKI colours: the workpiece must be redrawn
  bool PathColours = false;  // path colours or a pen's path flag
  bool ToolColours = false;  // tool-top, tool-side or arbor colour
};

// Takes over every saved colour that differs from the live one and asks for
// the tool list, and the path lists whose display is on, to be rebuilt when
// their colours changed.
ColorChanges ApplyColorSettings(ColorSettings& colors, DisplayListTable& lists);

}  // namespace vestan
