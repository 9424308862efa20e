// Reading the settings file "vestan.ini" at start-up, and the rule that
// turns a definition file name from the settings into a path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/app_state.h"
#include "definitions/color_settings.h"
#include "definitions/command_line_options.h"
#include "definitions/display_list_table.h"
#include "definitions/movie_settings.h"
#include "definitions/settings.h"
#include "definitions/tool_table.h"
#include "definitions/view_state.h"

namespace vestan {

class Host;

// Where the program runs, as start-up finds it.
struct StartupEnvironment {
  std::string CurrentFolder;  // the process's current folder
  std::string ProgramFile;    // the running program's file
  int32_t OsVersionCode = 0;
};

// The current folder and program file of this process.
StartupEnvironment DetectStartupEnvironment(int32_t osVersionCode);

// Everything the reader fills.
struct SettingsTargets {
  Settings& settings;
  DefinitionFilePaths& paths;
  ColorSettings& colors;
  InterferenceCheckSettings& checks;
  DifferenceSettings& difference;
  ToolTable& tools;
  ViewState& view;
  InfoPaneRects& panes;
  DisplayListTable& lists;
  MovieSettings& movie;
};

// Number of coordinate panes the information panes are preset for.
inline constexpr int32_t kCoordinatePaneCount = 5;

// Reads the settings file named in targets.paths.SettingsFile (the command
// line may have replaced the name) and fills the targets; keys the command
// line gave are skipped as it says. A missing file is no error: every key
// takes its default. Values that had to be corrected are logged to host.
// The editor program and option are handed to an editor plug-in by whoever
// loads it, after the read.
void ReadSettingsFile(const SettingsTargets& targets, const CommandLineRequest& commandLine,
                      const StartupEnvironment& environment, Host& host);

// A definition file name from the settings or a dialog, as a path: a name
// with a folder part as it is; else folder + name when that file can be
// read (its name may differ in letter case), else the bare name when it can
// be read, else the program folder + name. Relative paths are taken from
// paths.CurrentFolder.
std::string ResolveFilePath(std::string_view folder, std::string_view name,
                            const DefinitionFilePaths& paths);

}  // namespace vestan
