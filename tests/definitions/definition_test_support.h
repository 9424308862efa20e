// Temporary folders of definition files and a tool table read with recording
// hooks, for the definition reader tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/tool_table_file.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

// A scratch folder that the definition tests address as a filesystem path.
class TempFolder : public ScratchFolder {
 public:
  std::filesystem::path Path() const { return std::filesystem::path(ScratchFolder::Path()); }
};

// A tool table and every record a read touches, with hooks that record what
// the reader asked for.
struct ToolTableHarness {
  ToolTable Table;
  ToolTableFiles Files;
  NcToolNumbers Tools;
  SavePositionState SavedPosition;
  ToolListState ToolList;
  PluginState Plugins;
  ToolTableReadOptions Options;
  ToolTableReadHooks Hooks;
  ToolTableLinks Links{Tools, SavedPosition, ToolList, Plugins};
  std::vector<std::pair<int32_t, double>> SetCurrentCalls;
  int DisplayBufferCalls = 0;

  explicit ToolTableHarness(int32_t maxTool = kDefaultMaxToolNumber) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
    Hooks.SetCurrentTool = [this](int32_t tool, double pitch) {
      SetCurrentCalls.emplace_back(tool, pitch);
      return ToolBaseHeights{};
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
