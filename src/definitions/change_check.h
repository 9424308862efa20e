// The definition file change check: when the main window becomes active,
// each definition file changed on disk since it was read is announced and
// read again with what depends on it (the session runs the check and the
// reads in order); a file missing at its last read is announced once.
#pragma once

#include <array>
#include <cstdint>

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

// The files the check looks at, in its order.
enum class DefinitionFile : int32_t { kToolTable, kArborTable, kController, kMachine };
inline constexpr std::array<DefinitionFile, 4> kDefinitionFilesInCheckOrder{
    DefinitionFile::kToolTable, DefinitionFile::kArborTable, DefinitionFile::kController,
    DefinitionFile::kMachine};

// Whether the check may run: relative names mean the start-up folder, so
// not while the process's current folder is another one.
bool MayCheckDefinitionFiles(const ChangeCheckRecords& records);

// Whether file changed on disk since it was read (a file that can no longer
// be read counts as changed: its reader then finds it missing). A file
// missing at its last read is announced once (the arbor table never) and
// no longer watched. Asked file by file in the check's order, after the
// reads of the files before: a tool table read rereads the arbor table.
bool DefinitionFileChanged(DefinitionFile file, const ChangeCheckRecords& records, Host& host);

// Before a changed file is read again: its message, and for the controller
// and the machine definition the view timer stopped.
void AnnounceDefinitionReload(DefinitionFile file, const ChangeCheckRecords& records, Host& host);

// After the reads a changed file sets off (the caller's: the tool table and
// the position for a tool or arbor table; the controller, the machine
// with the part meshes kept, the tool table for a controller; the
// controller, the machine, the tool profile, the tool table and the position
// for a machine), what shows them: the list rebuilds, the window title and
// status texts, the sound and the redraw.
void FinishDefinitionReload(DefinitionFile file, const ChangeCheckRecords& records, Host& host);

}  // namespace vestan
