// The arguments of macro lines: a file name or value behind the keyword,
// with the folder variables "$(ncdir)" and "$(workdir)" expanded, and the
// four check letters of SET_INTERFERENCE_CHECK.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "definitions/settings.h"

namespace vestan {

// Room of the argument buffer: 255 characters and its end.
inline constexpr size_t kMacroArgumentCapacity = 256;
inline constexpr size_t kMacroArgumentMaxLength = kMacroArgumentCapacity - 1;
// Longest variable name between "$(" and ")".
inline constexpr size_t kMacroVariableNameMax = 15;

// The folders the variables stand for: the NC folder ("Target_NCdir") and
// the work folder ("Target_DMEdir").
struct PathVariables {
  std::string_view NcFolder;
  std::string_view WorkFolder;
};

// Expands the variables of text into out: a name beginning with "ncdir"
// (5 characters, any case) gives the NC folder, one beginning with
// "workdir" (7) the work folder, any other name is dropped. A "$(" with no
// ")" within 15 characters is no variable and stays as written. False, and
// out emptied, when the result would pass 255 characters: a name is refused
// whole, never cut into another one.
bool ExpandPathVariables(std::string_view text, const PathVariables& variables, std::string& out);

enum class MacroArgumentStatus {
  kNone,     // no argument: the target is left as it was
  kRead,     // the target holds the expanded argument
  kTooLong,  // the argument or its expansion passes 255 characters: target emptied
};

struct MacroArgumentResult {
  MacroArgumentStatus Status = MacroArgumentStatus::kNone;
  // Just behind the argument (behind the closing quote when quoted).
  size_t End = 0;
};

// Reads the argument that starts at position `at` of source (right behind
// the keyword). It must begin with a blank or tab, else there is none.
// After the blanks a quoted argument runs to its closing quote (or the end),
// an unquoted one to the end of the line.
MacroArgumentResult ReadMacroArgument(std::string_view source, size_t at,
                                      const PathVariables& variables, std::string& target);

// The four letters (leading blanks and tabs skipped) of the interference,
// arbor, height and chip-width checks: N no, O output, C cut, Y yes, S stop,
// either case; a letter a check does not take, or a missing one, turns it
// off. Updates the machine-check flag.
void SetInterferenceCheckModes(std::string_view text, InterferenceCheckSettings& checks);

}  // namespace vestan
