// The command line: definition, macro and model files, values the settings
// would otherwise give (stock, control point, pitches, window placement,
// difference painting), and the unattended work to do (a run mode, a verify
// report, a save, one model job). Only "-" starts an option: every
// absolute path here begins with "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/command_line_options.h"
#include "definitions/settings.h"

namespace vestan {

class Host;

// Longest file name and longest word the command line takes; longer ones
// are refused whole (with a log line), never cut.
inline constexpr size_t kMaxCommandLineName = 255;
inline constexpr size_t kMaxCommandLineToken = 1023;

// What the command line fills.
struct CommandLineTargets {
  CommandLineRequest& Request;
  DefinitionFilePaths& Paths;
  // Stock, STL axis, control point, pitches, window placement.
  Settings& AppSettings;
  DifferenceSettings& Difference;
};

// Reads the command line (the text after the program's name) into the
// request, the file names and the values above. Whatever it cannot take
// (an unknown option, a name too long, a job without what it needs, an NC
// program that does not open) is skipped with a line in the host's log.
void ParseCommandLine(std::string_view commandLine, const CommandLineTargets& targets, Host& log);

// The command line as one text from the program's arguments (argv[1] on):
// an argument with a blank or tab is put in quotes, and after an option the
// quotes close at its first comma, so that "-T" "my tools,5" names the tool
// table "my tools" and tool 5.
std::string JoinCommandLine(int argc, const char* const argv[]);

// A model-file argument: the name with its STL axis and placement options.
struct ModelFileArgument {
  std::string Name;     // ".DME" appended unless it has a model file ending
  int32_t StlAxis = 0;  // +X 1, +Y 2, +Z 3, -X -1, -Y -2, -Z -3; 0 none given
  ModelFileOptions Options;
  bool Refused = false;  // no name, or one too long: nothing is to be taken
  std::vector<std::string> Problems;
};

// Reads a model-file name at cursor (blanks before it skipped; quoted, or
// up to a ",", blank or the end) with its options ",W" ",M" ",MX<n>" ",MY<n>"
// ",MZ<n>" and ",S..." and moves the cursor behind them.
ModelFileArgument ParseModelFileArgument(std::string_view text, size_t& cursor);

// A save argument: the name, the save kind and the coordinates to save in.
struct SaveFileArgument {
  std::string Name;  // ".DME" appended unless it has a model file ending
  int32_t SaveKind = kSaveNone;
  int32_t Coordinates = -1;  // -1 as the settings say, 0 machine, 1 workpiece
  bool Refused = false;
  std::vector<std::string> Problems;
};

// Reads a save name at cursor (quoted, or up to a ",", blank, tab, quote or
// the end) with its options ",W" ",M" and, for STL, ",b" (binary) or ",b2"
// (byte-swapped binary), and moves the cursor behind them.
SaveFileArgument ParseSaveFileArgument(std::string_view text, size_t& cursor);

}  // namespace vestan
