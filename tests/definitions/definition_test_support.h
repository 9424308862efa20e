// Temporary folders of definition files and a tool table read with recording
// hooks, for the definition reader tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition_file.h"
#include "definitions/tool_table_file.h"
#include "definitions/work_offset_frame.h"
#include "platform/recording_host.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

// A scratch folder that the definition tests address as a filesystem path.
class TempFolder : public ScratchFolder {
 public:
  std::filesystem::path Path() const { return std::filesystem::path(ScratchFolder::Path()); }
};

// A tool table and every record a read touches; the start tool of the last
// read is kept.
struct ToolTableHarness {
  ToolTable Table;
  ToolTableFiles Files;
  ImportedToolMesh Mesh;
  ToolTableReadOptions Options;
  ImportedMeshLoader LoadMesh;
  int32_t StartTool = 0;

  explicit ToolTableHarness(int32_t maxTool = kDefaultMaxToolNumber) {
    Table.MaxToolNumber = maxTool;
    AllocToolTables(Table);
  }

  ToolTableReadResult Read(std::string_view fileName) {
    ToolTableReadResult result = ReadToolTable(fileName, Table, Files, Mesh, Options, LoadMesh);
    StartTool = result.StartTool;
    return result;
  }

  const ToolRecord& Record(int32_t tool) const { return Table.Records.at(tool); }
  const ToolShankRecord& Shank(int32_t tool) const { return Table.Shanks.at(tool); }
  const ArborRecord& Arbor(int32_t tool) const { return Table.Arbors.at(tool); }
};

// What a reader's caller does after a read: bring the work offset frame up
// to date. The turns of a table machine belong to the machine model; here
// the frame is that of a machine without rotary turns.
inline void FollowWorkOffset(const OffsetMemory& offsets, WorkOffsetFrame& frame) {
  const WorkOffsetValues& composed = offsets.ActiveWorkOffset;
  frame = WorkOffsetFrame{};
  frame.Origin = {composed[0], composed[1], composed[2]};
  frame.Rotary1 = composed[3];
  frame.Rotary2 = composed[4];
}

// A controller definition and every record its read writes; the read's
// caller keeps the frame of the composed work offset.
struct ControllerHarness {
  ControllerDefinition Controller;
  OffsetMemory Offsets;
  WatchedFile File;
  NcPlaneState Plane;
  PendingMoveEnds PendingEnds;
  SubprogramStack Subprograms;
  WorkOffsetFrame Frame;
  StatusAxisLabels AxisLabels;
  DisplayListTable Display;
  ControllerReadRecords Records{Controller, Offsets, File, Plane, Subprograms, AxisLabels, Display};

  DefinitionReadResult Read(std::string_view fileName) {
    DefinitionReadResult result = ReadControllerDefinition(fileName, Records);
    if (result.State == kFileRead) FollowWorkOffset(Offsets, Frame);
    return result;
  }
};

// The machine records, the controller records the machine reader uses, and
// a host that records messages and requests.
struct MachineHarness {
  ControllerHarness Ctl;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  StrokeLimits Limits;
  MachinePartModels Parts;
  WatchedFile File;
  Settings AppSettings;
  RecordingHost Host;
  MachineReadRecords Records{Machine,        Kinematics,     Limits,      Parts,
                             File,           Ctl.Controller, AppSettings, Ctl.PendingEnds,
                             Ctl.AxisLabels, Ctl.Display};

  DefinitionReadResult Read(std::string_view fileName, int32_t clearFlag = 1) {
    DefinitionReadResult result = ReadMachineDefinition(fileName, clearFlag, Records, Host);
    if (result.State == kFileRead) FollowWorkOffset(Ctl.Offsets, Ctl.Frame);
    return result;
  }
};

// Deterministic noise of every byte value, NUL, CR and LF included.
inline std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// The lines of a text, without their newlines.
inline std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Each line's key (up to its "="), with value behind it, as a file.
inline std::string WithValues(std::string_view keyLines, const std::string& value) {
  std::string content;
  for (const std::string& line : LinesOf(keyLines))
    content += line.substr(0, line.find('=') + 1) + value + "\n";
  return content;
}

// The notes of a read, as "line: message".
inline std::vector<std::string> NoteLines(const DefinitionReadResult& result) {
  std::vector<std::string> lines;
  for (const DefinitionNote& note : result.Notes)
    lines.push_back(std::to_string(note.Line) + ": " + note.Message);
  return lines;
}

#ifdef VESTAN_FIXTURES_DIR  // the fuzz targets share this file but have no fixtures
// A copy in folder of the fixture "definitions/name", which the reader may
// then rewrite; its path.
inline std::string CopyFixture(TempFolder& folder, const std::string& name) {
  return folder.Write(name,
                      TempFolder::Read(std::string(VESTAN_FIXTURES_DIR) + "/definitions/" + name));
}
#endif

// True when one of the read's notes, as the log shows it, holds text.
inline bool NoteMentions(const DefinitionReadResult& result, std::string_view text) {
  for (const DefinitionNote& note : result.Notes)
    if (FormatNote(note).find(text) != std::string::npos) return true;
  return false;
}

}  // namespace vestan::testing
