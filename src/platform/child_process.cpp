#include "platform/child_process.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace vestan {

std::vector<std::string> SplitCommandArguments(std::string_view text) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size()) break;
    std::string part;
    bool quoted = false;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        break;
      } else {
        part += c;
      }
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

ChildResult RunChildProcess(const std::vector<std::string>& arguments) {
  ChildResult result;
  if (arguments.empty() || arguments[0].empty()) {
    result.Error = "no program named";
    return result;
  }
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    result.Error = std::strerror(spawned);
    return result;
  }
  result.Started = true;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      result.Error = std::strerror(errno);
      result.ExitStatus = -1;
      return result;
    }
  }
  if (WIFEXITED(status)) {
    result.ExitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.ExitStatus = 128 + WTERMSIG(status);
  }
  return result;
}

}  // namespace vestan
