// Starting a program as a child process without a shell and waiting for it:
// the program and its arguments are handed over as they are, so no blank,
// quote or "$" in them is interpreted twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vestan {

// Splits a command text into the program and its arguments at blanks and
// tabs; a part in double quotes keeps its blanks (the quotes themselves are
// dropped), so "\"my tool\" -a \"b c\"" gives {"my tool", "-a", "b c"}. An
// unclosed quote runs to the end of the text.
std::vector<std::string> SplitCommandArguments(std::string_view text);

// What became of a started program.
struct ChildResult {
  bool Started = false;
  // The program's exit status; 128 + the signal's number when a signal
  // ended it.
  int32_t ExitStatus = 0;
  // Why it could not be started (empty when it was).
  std::string Error;
};

// Starts arguments[0] (looked up on PATH when it names no folder) with the
// rest as its arguments, in the current folder, and waits for it to end,
// however long it takes.
ChildResult RunChildProcess(const std::vector<std::string>& arguments);

}  // namespace vestan
