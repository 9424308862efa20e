// The definition file change check: when the main window becomes active,
// each definition file changed on disk since it was read is announced and
// read again with what depends on it; a file missing at its last read is
// announced once.
#pragma once

#include <cstdint>
#include <functional>

#include "definitions/definition_file.h"
#include "definitions/display_list_table.h"
#include "definitions/settings.h"
#include "definitions/tool_table_file.h"

namespace vestan {

class Host;

// ChangeCheckState values: the shell runs the check only while it is
// kCheckIdle.
inline constexpr int32_t kCheckIdle = 1;
inline constexpr int32_t kCheckRunning = 2;

// The records the check compares and refreshes.
struct ChangeCheckRecords {
  int32_t& ChangeCheckState;
  ToolTableFiles& ToolFiles;  // the tool table and the default holder's arbor table
  WatchedFile& Controller;
  WatchedFile& Machine;
  // The start-up folder (CurrentFolder) and the definition file names.
  const DefinitionFilePaths& Paths;
  // TOOL DISPLAY and SOUND.
  const Settings& AppSettings;
  DisplayListTable& Display;
  int32_t EnglishMode = 0;
  bool SyncPluginLoaded = false;
};

// The reads and rebuilds a change sets off, bound by the caller to its
// records; each may be empty.
struct DefinitionReloadHooks {
  std::function<void()> ReadToolTable;  // also reads the default holder's arbor table
  std::function<void()> ReadControllerDefinition;
  std::function<void(int32_t clearFlag)> ReadMachineDefinition;
  std::function<void()> BuildToolProfile;
  std::function<void()> UpdateMachinePosition;
};

// Runs the check unless the process's current folder is another than the
// start-up folder: tool table, arbor table, controller and machine
// definition in turn. A changed file (a file that can no longer be read
// counts as changed) is announced and read again, a controller or machine
// definition together with the files that depend on it; a missing one is
// announced once. ChangeCheckState is kCheckRunning meanwhile.
void CheckDefinitionFilesUpdated(const ChangeCheckRecords& records,
                                 const DefinitionReloadHooks& hooks, Host& host);

}  // namespace vestan
