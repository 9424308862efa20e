// The vestan9 executable: the command line handed to the start-up, its exit
// code returned to the shell (-1 shows as 255).
#include <cstdlib>
#include <string_view>

#include "app/start_up.h"
#include "automation/command_line.h"

int main(int argc, char* argv[]) {
  vestan::LaunchArguments arguments;
  arguments.CommandLine = vestan::JoinCommandLine(argc, argv);
  const char* trace = std::getenv("VESTAN_TRACE");
  arguments.Trace = trace != nullptr && std::string_view(trace) == "1";
  return vestan::RunVestan9(std::move(arguments));
}
