// Every record the settings reader fills, with the inputs it takes, for
// tests: a scratch folder holds the current folder "cwd/" and the program in
// "bin/".
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "definitions/settings_file.h"
#include "platform/recording_host.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

// The parts joined (by appending: g++ 12 warns falsely on operator+ chains).
inline std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text.append(part);
  return text;
}

struct SettingsWorld {
  Settings settings;
  DefinitionFilePaths paths;
  ColorSettings colors;
  InterferenceCheckSettings checks;
  DifferenceSettings difference;
  ToolTable tools;
  ViewState view;
  InfoPaneRects panes;
  DisplayListTable lists;
  MovieSettings movie;
  CommandLineRequest commandLine;
  RecordingHost host;
  ScratchFolder scratch;
  StartupEnvironment environment{scratch / "cwd/", scratch / "bin/vestan9", 0};

  SettingsTargets Targets() {
    return {settings, paths, colors, checks, difference, tools, view, panes, lists, movie};
  }
  std::string Current() const { return scratch / "cwd/"; }
  std::string Program() const { return scratch / "bin/"; }
  // Writes vestan.ini into the current folder.
  void WriteSettings(std::string_view content) const { scratch.Write("cwd/vestan.ini", content); }
  void Read() { ReadSettingsFile(Targets(), commandLine, environment, host); }
  void Read(std::string_view content) {
    WriteSettings(content);
    Read();
  }
};

}  // namespace vestan::testing
