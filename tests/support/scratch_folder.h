// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vestan::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vestan-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, ending in "/".
  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const {
    std::string file = path_;
    file.append(name);
    return file;
  }

  // Writes bytes to a file of the folder (creating subfolders) and returns
  // its path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::string file = *this / name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

}  // namespace vestan::testing
