// Where the running program is: its current folder and its own file.
#pragma once

#include <string>

namespace vestan {

// The process's current folder, ending in "/"; empty when it is unknown.
std::string CurrentFolder();
// The running program's file (from /proc/self/exe); empty when unknown.
std::string ProgramFile();

}  // namespace vestan
