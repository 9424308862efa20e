// Writing the settings back into "vestan.ini" at exit: window placement,
// view options, colours and alphas, and the three stock definitions. Every
// other key, section, comment and byte of the file stays as it was.
#pragma once

#include <cstdint>
#include <string>

#include "definitions/color_settings.h"
#include "definitions/settings.h"

namespace vestan {

class Host;

// The main window's placement when the settings are saved.
struct MainWindowPlacement {
  bool Minimised = false;
  // The window's normal position (not maximised, not minimised).
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t ShowState = 1;
};

inline constexpr int32_t kSettingsSaved = 1;
inline constexpr int32_t kSettingsNotSaved = -1;

// Writes the keys to paths.SettingsFile (through a temporary file, so a
// failure leaves the old file whole). placement is null when there is no main
// window. A failure is shown through host (English when englishMode) and
// gives kSettingsNotSaved.
int32_t SaveSettings(Settings& settings, const ColorSettings& colors,
                     const DefinitionFilePaths& paths, const MainWindowPlacement* placement,
                     Host& host, int32_t englishMode);

// A stock number: "%d" when it is a 32-bit integer, else "%f" without its
// trailing zeros (0.5, not 0.500000), never cut short.
std::string FormatStockNumber(double value);

}  // namespace vestan
