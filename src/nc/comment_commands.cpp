#include "nc/comment_commands.h"

#include <array>

namespace vestan {

void ParseCommentCommand(std::string_view text, const CommentCommandRecords& records) {
  if (text.starts_with(kCommentCommandPrefix)) {
    ParseSaveEachProcess(text.substr(kCommentCommandPrefix.size()), records);
  } else if (text.starts_with(' ') && text.substr(1).starts_with(kCommentCommandPrefix)) {
    ParseSaveEachProcess(text.substr(1 + kCommentCommandPrefix.size()), records);
  }
}

void ParseSaveEachProcess(std::string_view text, const CommentCommandRecords& records) {
  constexpr std::array<std::string_view, 2> kKeywords = {"SAVE WORK AT EACH PROCESS",
                                                         "SAVE DME AT EACH PROCESS"};
  for (const std::string_view keyword : kKeywords) {
    if (text.starts_with(keyword)) {
      ArmProcessSnapshots(records.Snapshots, records.Run, records.CurrentTool, records.NcProgram);
      return;
    }
  }
}

std::optional<std::string_view> SemicolonCommentText(std::string_view line) {
  if (!line.starts_with(';')) return std::nullopt;
  return line.substr(1);
}

}  // namespace vestan
