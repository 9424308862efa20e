#include "definitions/settings_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <string_view>

#include "foundation/path_text.h"
#include "platform/file_open.h"
#include "platform/host.h"
#include "platform/profile_file.h"

namespace vestan {

namespace {

std::string FormatAlpha(float alpha) {
  char text[64];
  std::snprintf(text, sizeof(text), "%3.1f", static_cast<double>(alpha));
  return text;
}

std::string StockNumbers(const double* values, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text.push_back(',');
    text += FormatStockNumber(values[i]);
  }
  return text;
}

// "(" + inner + ")", built by appending (g++ 12 warns falsely on operator+).
std::string Parenthesised(std::string_view prefix, std::string_view inner) {
  std::string text(prefix);
  text.push_back('(');
  text.append(inner);
  text.push_back(')');
  return text;
}

// A key whose numbers are not all finite is not written: its old value
// stays in the file rather than a text no reader takes back.
bool AllFinite(std::span<const double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

std::string ReferenceWord(int32_t code, std::string_view low, std::string_view high) {
  return std::string(code == -1 ? low : (code == 1 ? high : "CENTER"));
}

class Writer {
 public:
  explicit Writer(ProfileFile& profile) : profile_(profile) {}
  void Put(std::string_view section, std::string_view key, const std::string& value) {
    profile_.SetString(section, key, value);
  }
  void Int(std::string_view key, int32_t value) { Put("Save", key, std::to_string(value)); }
  void Colour(std::string_view key, vestan::Colour colour) {
    Put("Define", key, FormatColour(colour));
  }

 private:
  ProfileFile& profile_;
};

void WriteReferenceStock(Writer& w, const StockDefinition& stock);

void WriteKeys(Writer& w, Settings& s, const ColorSettings& colors,
               const MainWindowPlacement* placement) {
  w.Int("DISPLAY", s.SavePlacement);
  if (s.SavePlacement == 1 && placement != nullptr && !placement->Minimised) {
    s.WindowX = placement->Left;
    s.WindowY = placement->Top;
    s.WindowHeight = placement->Bottom - placement->Top;
    s.WindowWidth = placement->Right - placement->Left;
    s.WindowShow = placement->ShowState;
    w.Int("SHOW", s.WindowShow);
    w.Int("X", s.WindowX);
    w.Int("Y", s.WindowY);
    w.Int("HEIGHT", s.WindowHeight);
    w.Int("WIDE", s.WindowWidth);
  }
  w.Int("VIEW_P", s.ViewP);
  w.Int("VIEW_T", s.ViewT);

  const ColorSet& live = colors.Live;
  w.Int("WORK COLOR", s.SaveWorkColor);
  if (s.SaveWorkColor == 1) {
    w.Colour("WORK COLOR", live.Pens[0]);
    for (int32_t pen = 1; pen < kPenColourCount; ++pen)
      w.Colour("PEN" + std::to_string(pen) + " COLOR", live.Pens[pen]);
    w.Colour("PENKI COLOR", live.Penki);
    w.Colour("BASE COLOR", live.Base);
  }
  w.Int("TOOL COLOR", s.SaveToolColor);
  if (s.SaveToolColor == 1) {
    w.Put("Define", "TOOL-TOP COLOR MODE", s.ToolTopColorMode != 0 ? "SPECIFIED" : "PEN COLOR");
    w.Colour("TOOL-TOP COLOR", live.ToolTop);
    w.Colour("TOOL-SIDE COLOR", live.ToolSide);
    w.Colour("ARBOR COLOR", live.Arbor);
  }
  w.Int("MACHINE COLOR", s.SaveMachineColor);
  if (s.SaveMachineColor == 1) {
    w.Colour("HEAD(*) COLOR", live.HeadStar);
    w.Colour("HEAD(**) COLOR", live.HeadStarStar);
    w.Colour("HEAD COLOR", live.Head);
    w.Colour("HEAD1 COLOR", live.Head1);
    w.Colour("HEAD2 COLOR", live.Head2);
    w.Colour("TABLE(*) COLOR", live.TableStar);
    w.Colour("TABLE COLOR", live.Table);
    w.Colour("TABLE1 COLOR", live.Table1);
    w.Colour("TABLE2 COLOR", live.Table2);
    w.Colour("VICE COLOR", live.Vice);
    w.Colour("BASIC COLOR", live.Basic);
  }
  w.Int("LINE COLOR", s.SaveLineColor);
  if (s.SaveLineColor != 0) {
    w.Put("Define", "TOP-PATH COLOR MODE", s.TopPathColorMode != 0 ? "SPECIFIED" : "PEN COLOR");
    w.Colour("TOP-PATH COLOR", live.TopPath);
    w.Colour("TOP-PATH2 COLOR", live.TopPath2);
    w.Colour("CONSTRUCTION COLOR", live.Construction);
  }
  w.Int("BACKGROUND", s.SaveBackground);
  if (s.SaveBackground == 1) w.Colour("BACKGROUND", live.Background);
  const auto alpha = [&](int32_t save, std::string_view key, float value) {
    if (save == 1 && std::isfinite(value)) w.Put("Define", key, FormatAlpha(value));
  };
  alpha(s.SaveWorkColor, "WORK ALPHA", colors.WorkAlpha);
  alpha(s.SaveToolColor, "TOOL ALPHA", colors.ToolAlpha);
  alpha(s.SaveMachineColor, "MACHINE ALPHA", colors.MachineAlpha);

  const StockDefinition& stock = s.Stock;
  if (AllFinite(stock.Box))
    w.Put("DMEdata", "INITIAL SIZE", Parenthesised("", StockNumbers(stock.Box.data(), 6)));
  if (AllFinite(stock.ReferenceSizes)) WriteReferenceStock(w, stock);
  if (AllFinite(stock.Cylinder)) {
    const char axis[2] = {stock.CylinderAxis == 0 ? 'X' : (stock.CylinderAxis == 1 ? 'Y' : 'Z'),
                          '\0'};
    w.Put("DMEdata", "CYLINDER", Parenthesised(axis, StockNumbers(stock.Cylinder.data(), 6)));
  }
}

void WriteReferenceStock(Writer& w, const StockDefinition& stock) {
  const double* sizes = stock.ReferenceSizes.data();
  std::string reference = ReferenceWord(stock.Reference[0], "LEFT", "RIGHT");
  reference.append(",");
  reference.append(StockNumbers(sizes, 3)).append(",");
  reference.append(ReferenceWord(stock.Reference[1], "FRONT", "BACK")).append(",");
  reference.append(StockNumbers(sizes + 3, 3)).append(",");
  reference.append(ReferenceWord(stock.Reference[2], "BOTTOM", "TOP")).append(",");
  reference.append(StockNumbers(sizes + 6, 3));
  w.Put("DMEdata", "INITIAL SIZE2", Parenthesised("", reference));
}

void ReportFailure(Host& host, const std::string& path, const std::string& reason,
                   int32_t englishMode) {
  HostMessage message;
  message.Text = englishMode != 0
                     ? "The settings could not be saved to " + path + " (" + reason + ")."
                     : "設定を " + path + " に保存できませんでした (" + reason + ")。";
  message.Icon = MessageIcon::kWarning;
  host.ShowMessage(message);
}

}  // namespace

std::string FormatStockNumber(double value) {
  if (std::isfinite(value) && value >= std::numeric_limits<int32_t>::min() &&
      value <= std::numeric_limits<int32_t>::max() && value == static_cast<int32_t>(value))
    return std::to_string(static_cast<int32_t>(value));
  // "%f" of the largest double takes 316 characters: nothing is cut.
  char buffer[400];
  std::snprintf(buffer, sizeof(buffer), "%f", value);
  std::string text(buffer);
  if (text.find('.') != std::string::npos)
    while (!text.empty() && text.back() == '0') text.pop_back();
  return text;
}

int32_t SaveSettings(Settings& settings, const ColorSettings& colors,
                     const DefinitionFilePaths& paths, const MainWindowPlacement* placement,
                     Host& host, int32_t englishMode) {
  const std::string path = PathFrom(paths.CurrentFolder, paths.SettingsFile);
  ProfileFile profile;
  const int32_t loaded = LoadProfileFile(path, profile);
  if (loaded == kProfileUnreadable) {
    ReportFailure(host, paths.SettingsFile, "the file cannot be read", englishMode);
    return kSettingsNotSaved;
  }
  const std::string before = profile.Content();
  Writer writer(profile);
  WriteKeys(writer, settings, colors, placement);
  if (loaded == kProfileLoaded && profile.Content() == before) return kSettingsSaved;
  std::string error;
  if (SaveProfileFile(path, profile, &error) != kFileReplaced) {
    ReportFailure(host, paths.SettingsFile, error, englishMode);
    return kSettingsNotSaved;
  }
  return kSettingsSaved;
}

}  // namespace vestan
