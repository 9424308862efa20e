#include "platform/process_paths.h"

#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"

namespace vestan {

std::string CurrentFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  if (ec || folder.empty()) return {};
  if (!EndsWithPathSeparator(folder)) folder.push_back('/');
  return folder;
}

std::string ProgramFile() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace vestan
