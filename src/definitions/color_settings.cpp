#include "definitions/color_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "definitions/display_list_table.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"
#include "platform/profile_file.h"

namespace vestan {

namespace {

constexpr std::string_view kDefine = "Define";

enum class Syntax { kSettings, kColourFile };

// A colour of the saved set that is not a pen.
struct NamedColour {
  std::string_view Key;
  Colour ColorSet::*Member;
};

// In the settings file's reading order (after the work and pen colours).
constexpr NamedColour kNamedColours[] = {
    {"PENKI COLOR", &ColorSet::Penki},
    {"BASE COLOR", &ColorSet::Base},
    {"TOP-PATH COLOR", &ColorSet::TopPath},
    {"TOP-PATH2 COLOR", &ColorSet::TopPath2},
    {"CONSTRUCTION COLOR", &ColorSet::Construction},
    {"TOOL-TOP COLOR", &ColorSet::ToolTop},
    {"TOOL-SIDE COLOR", &ColorSet::ToolSide},
    {"ARBOR COLOR", &ColorSet::Arbor},
    {"HEAD(*) COLOR", &ColorSet::HeadStar},
    {"HEAD(**) COLOR", &ColorSet::HeadStarStar},
    {"HEAD COLOR", &ColorSet::Head},
    {"HEAD1 COLOR", &ColorSet::Head1},
    {"HEAD2 COLOR", &ColorSet::Head2},
    {"TABLE(*) COLOR", &ColorSet::TableStar},
    {"TABLE COLOR", &ColorSet::Table},
    {"TABLE1 COLOR", &ColorSet::Table1},
    {"TABLE2 COLOR", &ColorSet::Table2},
    {"VICE COLOR", &ColorSet::Vice},
    {"BASIC COLOR", &ColorSet::Basic},
};

// The order in which a colour file's lines are tested, after WORK COLOR and
// before PEN15 COLOR .. PEN1 COLOR.
constexpr NamedColour kFileOrder[] = {
    {"PENKI COLOR", &ColorSet::Penki},
    {"TOOL-TOP COLOR", &ColorSet::ToolTop},
    {"TOOL-SIDE COLOR", &ColorSet::ToolSide},
    {"ARBOR COLOR", &ColorSet::Arbor},
    {"HEAD COLOR", &ColorSet::Head},
    {"HEAD1 COLOR", &ColorSet::Head1},
    {"HEAD2 COLOR", &ColorSet::Head2},
    {"TABLE COLOR", &ColorSet::Table},
    {"TABLE1 COLOR", &ColorSet::Table1},
    {"TABLE2 COLOR", &ColorSet::Table2},
    {"VICE COLOR", &ColorSet::Vice},
    {"BASIC COLOR", &ColorSet::Basic},
    {"TOP-PATH COLOR", &ColorSet::TopPath},
    {"CUT-PATH COLOR", &ColorSet::TopPath2},
    {"CONSTRUCTION COLOR", &ColorSet::Construction},
    {"BACKGROUND COLOR", &ColorSet::Background},
};

std::string PenKey(int32_t pen) {
  return pen == 0 ? std::string("WORK COLOR") : "PEN" + std::to_string(pen) + " COLOR";
}

// One component from a parsed number: truncated, at most 255; a negative
// one is 0 (settings) or leaves the component (colour files).
void SetComponent(double value, Syntax syntax, Colour& colour, int shift) {
  const double whole = std::trunc(value);
  uint32_t component = 0;
  if (whole < 0) {
    if (syntax == Syntax::kColourFile) return;
    component = 0;
  } else {
    component = whole > 255 ? 255 : static_cast<uint32_t>(whole);
  }
  colour = (colour & ~(Colour{0xFF} << shift)) | (component << shift);
}

void ParseColour(std::string_view text, Syntax syntax, Colour& colour, int32_t* flag1,
                 int32_t* flag2) {
  if (flag1 != nullptr) *flag1 = 1;
  if (flag2 != nullptr) *flag2 = 1;
  if (EqualsIgnoringAsciiCase(text, "BLACK")) {
    colour = MakeColour(0, 0, 0);
    return;
  }
  if (EqualsIgnoringAsciiCase(text, "WHITE")) {
    colour = MakeColour(255, 255, 255);
    return;
  }
  int32_t cursor = 0;
  const double red = ParseNumber(cursor, text);
  const double green = ParseNumberAfterComma(cursor, text);
  const double blue = ParseNumberAfterComma(cursor, text);
  SetComponent(red, syntax, colour, 0);
  SetComponent(green, syntax, colour, 8);
  SetComponent(blue, syntax, colour, 16);
  if (flag1 == nullptr || flag2 == nullptr) return;
  const size_t close = text.find(')', static_cast<size_t>(cursor));
  if (close == std::string_view::npos || close + 1 >= text.size()) return;
  const char first = text[close + 1];
  if (first == '0') {
    *flag1 = 0;
  } else if (first != '1') {
    return;
  }
  if (close + 2 < text.size() && text[close + 2] == '0') *flag2 = 0;
}

// A colour file line's value: after the key and one separator character, to
// the line end, without trailing blanks.
std::string_view LineValue(std::string_view line, std::string_view key) {
  std::string_view value = line.substr(std::min(line.size(), key.size() + 1));
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' ' ||
                            value.back() == '\t'))
    value.remove_suffix(1);
  return value;
}

}  // namespace

std::string FormatColour(Colour colour) {
  char text[48];
  std::snprintf(text, sizeof(text), "(%u,%u,%u)", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return text;
}

void ParseSettingsColour(std::string_view text, Colour& colour) {
  ParseColour(text, Syntax::kSettings, colour, nullptr, nullptr);
}

void ParseSettingsFlaggedColour(std::string_view text, Colour& colour, int32_t& flag1,
                                int32_t& flag2) {
  ParseColour(text, Syntax::kSettings, colour, &flag1, &flag2);
}

void ParseColorValue(std::string_view text, Colour& colour) {
  ParseColour(text, Syntax::kColourFile, colour, nullptr, nullptr);
}

void ParseFlaggedColorValue(std::string_view text, Colour& colour, int32_t& flag1, int32_t& flag2) {
  ParseColour(text, Syntax::kColourFile, colour, &flag1, &flag2);
}

void ReadDefineColor(const ProfileFile& profile, std::string_view key, std::string_view defaultText,
                     Colour& colour) {
  ParseSettingsColour(profile.GetString(kDefine, key, defaultText), colour);
}

void ReadDefineFlaggedColor(const ProfileFile& profile, std::string_view key,
                            std::string_view defaultText, Colour& colour, int32_t& flag1,
                            int32_t& flag2) {
  ParseSettingsFlaggedColour(profile.GetString(kDefine, key, defaultText), colour, flag1, flag2);
}

void ReadDefineColors(const ProfileFile& profile, ColorSettings& colors) {
  const ColorSet defaults;
  const ColorSettings defaultSettings;
  ColorSet& live = colors.Live;
  for (int32_t pen = 0; pen < kPenColourCount; ++pen)
    ReadDefineFlaggedColor(profile, PenKey(pen), FormatColour(defaults.Pens[pen]), live.Pens[pen],
                           live.PenShown[pen], live.PenPathFlag[pen]);
  for (const NamedColour& named : kNamedColours)
    ReadDefineColor(profile, named.Key, FormatColour(defaults.*named.Member), live.*named.Member);
  ReadDefineColor(profile, "DIAMETER VALUE COLOR", FormatColour(defaultSettings.DiameterValue),
                  colors.DiameterValue);
  ReadDefineColor(profile, "LENGTH VALUE COLOR", FormatColour(defaultSettings.LengthValue),
                  colors.LengthValue);
  ReadDefineColor(profile, "MAGAZINE NUMBER COLOR", FormatColour(defaultSettings.MagazineNumber),
                  colors.MagazineNumber);
  ReadDefineColor(profile, "BACKGROUND", FormatColour(defaults.Background), live.Background);
}

int32_t ReadColorSettings(std::string_view path, ColorSettings& colors) {
  const auto content = ReadFileBytes(path);
  if (!content) return 0;
  SaveColorSet(colors);
  ColorSet& saved = colors.Saved;
  for (const std::string& line : SplitLines(*content)) {
    if (MatchesKey(line, "WORK COLOR")) {
      ParseFlaggedColorValue(LineValue(line, "WORK COLOR"), saved.Pens[0], saved.PenShown[0],
                             saved.PenPathFlag[0]);
      continue;
    }
    bool taken = false;
    for (const NamedColour& named : kFileOrder) {
      if (!MatchesKey(line, named.Key)) continue;
      ParseColorValue(LineValue(line, named.Key), saved.*named.Member);
      taken = true;
      break;
    }
    for (int32_t pen = kPenColourCount - 1; pen >= 1 && !taken; --pen) {
      const std::string key = PenKey(pen);
      if (!MatchesKey(line, key)) continue;
      ParseFlaggedColorValue(LineValue(line, key), saved.Pens[pen], saved.PenShown[pen],
                             saved.PenPathFlag[pen]);
      taken = true;
    }
  }
  return 1;
}

void SaveColorSet(ColorSettings& colors) { colors.Saved = colors.Live; }

void LoadColorSet(ColorSettings& colors) { colors.Live = colors.Saved; }

ColorChanges ApplyColorSettings(ColorSettings& colors, DisplayListTable& lists) {
  ColorChanges changes;
  ColorSet& live = colors.Live;
  const ColorSet& saved = colors.Saved;
  for (int32_t pen = 0; pen < kPenColourCount; ++pen) {
    if (live.Pens[pen] != saved.Pens[pen] || live.PenShown[pen] != saved.PenShown[pen]) {
      live.Pens[pen] = saved.Pens[pen];
      live.PenShown[pen] = saved.PenShown[pen];
      changes.WorkColours = true;
    }
    if (live.PenPathFlag[pen] != saved.PenPathFlag[pen]) {
      live.PenPathFlag[pen] = saved.PenPathFlag[pen];
      changes.PathColours = true;
    }
  }
  const auto take = [&](Colour ColorSet::*member, bool& changed) {
    if (live.*member == saved.*member) return;
    live.*member = saved.*member;
    changed = true;
  };
  bool otherColours = false;
  take(&ColorSet::Penki, changes.WorkColours);
  for (Colour ColorSet::*member :
       {&ColorSet::TopPath, &ColorSet::TopPath2, &ColorSet::Construction})
    take(member, changes.PathColours);
  for (Colour ColorSet::*member : {&ColorSet::ToolTop, &ColorSet::ToolSide, &ColorSet::Arbor})
    take(member, changes.ToolColours);
  for (Colour ColorSet::*member :
       {&ColorSet::Base, &ColorSet::HeadStar, &ColorSet::HeadStarStar, &ColorSet::Head,
        &ColorSet::Head1, &ColorSet::Head2, &ColorSet::TableStar, &ColorSet::Table,
        &ColorSet::Table1, &ColorSet::Table2, &ColorSet::Vice, &ColorSet::Basic,
        &ColorSet::Background})
    take(member, otherColours);
  if (changes.PathColours) {
    if (lists.PathDisplay.load() != 0) lists.RequestRebuild(kListPath);
    if (lists.PathDisplay2.load() != 0) lists.RequestRebuild(kListPath2);
  }
  if (changes.ToolColours) lists.RequestRebuild(kListTool);
  return changes;
}

}  // namespace vestan
