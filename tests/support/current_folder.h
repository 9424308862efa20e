// Runs a test from another current folder, as the program runs from its own,
// and returns to the previous one when the test ends.
#pragma once

#include <filesystem>

namespace vestan::testing {

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() { std::filesystem::current_path(saved_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path saved_;
};

}  // namespace vestan::testing
