// Commands for the simulator written in NC comments: "VESTAN:" followed by a
// keyword. The only keywords arm the per-process workpiece snapshots.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/run_state.h"
#include "nc/run_control.h"

namespace vestan {

inline constexpr std::string_view kCommentCommandPrefix = "VESTAN:";

// What a comment command reads and writes.
struct CommentCommandRecords {
  ProcessSnapshotTable& Snapshots;
  RunState& Run;
  int32_t CurrentTool = 0;
  std::string_view NcProgram;  // the NC program's path
};

// text: the comment after its opening character. The prefix counts at the
// very start or after exactly one blank, in exact case; what follows it
// goes to ParseSaveEachProcess. Anything else does nothing.
void ParseCommentCommand(std::string_view text, const CommentCommandRecords& records);

// text: what follows the prefix. "SAVE WORK AT EACH PROCESS" or "SAVE DME AT
// EACH PROCESS" right at its start arms the snapshots (ArmProcessSnapshots);
// anything else does nothing.
void ParseSaveEachProcess(std::string_view text, const CommentCommandRecords& records);

// The comment text a line offers to ParseCommentCommand in the SIEMENS and
// HEIDENHAIN dialects: the line after a ";" in its first column; none
// otherwise.
std::optional<std::string_view> SemicolonCommentText(std::string_view line);

}  // namespace vestan
