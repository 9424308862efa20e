// Temporary folders of definition files and a tool table read with recording
// hooks, for the definition reader tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/tool_table_file.h"

namespace vestan::testing {

// A folder of its own under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("vestan_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
             std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes content byte for byte to name (which may hold a subfolder).
  std::string Write(const std::string& name, std::string_view content) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

// A tool table and every record a read touches, with hooks that record what
// the reader asked for.
struct ToolTableHarness {
  ToolTable Table;
  ToolTableFiles Files;
  NcToolNumbers Tools;
  CurrentTool Current;
  MachinePositionState Position;
  SavePositionState SavedPosition;
  ToolListState ToolList;
  PluginState Plugins;
  ToolTableReadOptions Options;
  ToolTableReadHooks Hooks;
  ToolTableLinks Links{Tools, Current, Position, SavedPosition, ToolList, Plugins};
  std::vector<std::pair<int32_t, double>> SetCurrentCalls;
  int DisplayBufferCalls = 0;

  explicit ToolTableHarness(int32_t maxTool = kDefaultMaxToolNumber) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
    Hooks.SetCurrentTool = [this](int32_t tool, double pitch) {
      SetCurrentCalls.emplace_back(tool, pitch);
    };
    Hooks.AllocDisplayBuffers = [this] { ++DisplayBufferCalls; };
  }

  DefinitionReadResult Read(std::string_view fileName) {
    SetCurrentCalls.clear();
    return ReadToolTable(fileName, Table, Files, Links, Options, Hooks);
  }

  const ToolRecord& Record(int32_t tool) const { return Table.Records.at(tool); }
  const ToolShankRecord& Shank(int32_t tool) const { return Table.Shanks.at(tool); }
  const ArborRecord& Arbor(int32_t tool) const { return Table.Arbors.at(tool); }
};

// True when one of the read's notes, as the log shows it, holds text.
inline bool NoteMentions(const DefinitionReadResult& result, std::string_view text) {
  for (const DefinitionNote& note : result.Notes)
    if (FormatNote(note).find(text) != std::string::npos) return true;
  return false;
}

}  // namespace vestan::testing
