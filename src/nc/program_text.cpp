// The NC program held in memory: its text and the index of the programs
// that follow the main program in the same file.
#include <algorithm>
#include <string>

#include "definitions/definition_file.h"
#include "foundation/path_text.h"
#include "foundation/text_fields.h"
#include "nc/line_reader.h"

namespace vestan {

namespace {

bool OspReturns(const ControllerDefinition& controller) { return IsOspDialect(controller); }


// The first letter, "(", ";" or line feed from pos on; the line's end when
// none.
size_t FindWordStart(std::string_view line, size_t pos) {
  while (pos < line.size()) {
    const char c = line[pos];
    if (IsAsciiLetter(c) || c == '(' || c == ';' || c == '\n') return pos;
    ++pos;
  }
  return pos;
}

// The index builder's states: before the main program's end, between
// programs, inside an indexed program.
enum class IndexState { kMainProgram, kBetween, kInProgram };

class ProgramIndexer {
 public:
  ProgramIndexer(LoadedNcProgram& program, const ControllerDefinition& controller)
      : program_(program), controller_(controller) {}

  void AddLine(std::string line, int32_t number) {
    if (program_.Index.empty() && state_ == IndexState::kMainProgram)
      program_.PrologueLength += line.size();
    if (!controller_.Tables.Replace.empty())
      ApplyReplaceTable(line, controller_.Tables.Replace, controller_.ReplaceType);
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') line.pop_back();
    const size_t offset = program_.Text.size();
    const size_t length = line.size();
    program_.Text.append(line);
    if (line.empty() || (line.back() != '\n' && line.back() != '\r')) program_.Text.push_back('\0');

    size_t pos = FindWordStart(line, 0);
    if (pos < line.size() && (line[pos] == 'N' || line[pos] == 'n'))
      pos = FindWordStart(line, pos + 1);
    const char word = pos < line.size() ? line[pos] : '\0';
    if (word == 'O' && state_ != IndexState::kMainProgram) {
      open_ = {ConvertInteger(std::string_view(line).substr(pos + 1)), offset, number - 1, length};
      state_ = IndexState::kInProgram;
      return;
    }
    if (word == 'M') {
      AddToProgram(length);
      const int32_t code = ConvertInteger(std::string_view(line).substr(pos + 1));
      if (code == 30 || code == 2) {
        state_ = IndexState::kBetween;
      } else if (code == 99 && state_ == IndexState::kInProgram) {
        CloseProgram();
      }
      return;
    }
    if (word == 'R' && OspReturns(controller_) &&
        std::string_view(line).substr(pos).starts_with("RTS") && state_ == IndexState::kInProgram) {
      AddToProgram(length);
      CloseProgram();
      return;
    }
    AddToProgram(length);
  }

 private:
  void AddToProgram(size_t length) {
    if (state_ == IndexState::kInProgram) open_.Length += length;
  }
  void CloseProgram() {
    program_.Index.push_back(open_);
    state_ = IndexState::kBetween;
  }

  LoadedNcProgram& program_;
  const ControllerDefinition& controller_;
  IndexState state_ = IndexState::kMainProgram;
  LoadedProgramEntry open_;
};

}  // namespace

int32_t LoadNcProgramText(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  if (records.ActiveReadPlugin >= 0) return kNcProgramFromPlugin;
  LoadedNcProgram& program = reader.Program;
  const std::string& name = records.Defs.Paths.NcProgram;
  const std::string path = ResolveDefinitionPath(name).string();
  // The levels of every pass look for subprograms beside the program.
  context.Subprograms.Folder = FolderPart(name);
  const std::optional<FileTime> time = LastWriteTime(path);
  const ControllerDefinition& controller = records.Defs.Controller;
  if (time && program.Time == time && program.Path == path &&
      program.Replace == controller.Tables.Replace &&
      program.ReplaceType == controller.ReplaceType && program.OspReturns == OspReturns(controller))
    return kNcProgramReady;

  program = LoadedNcProgram{};
  const std::optional<std::string> bytes = time ? ReadFileBytes(path) : std::nullopt;
  if (!bytes) {
    records.Shell.Log("cannot read the NC program \"" + name + "\"");
    return kNcProgramNotOpened;
  }
  program.Path = path;
  program.Time = time;
  program.Replace = controller.Tables.Replace;
  program.ReplaceType = controller.ReplaceType;
  program.OspReturns = OspReturns(controller);
  program.Text.reserve(bytes->size() + bytes->size() / 8 + 1);
  ProgramIndexer indexer(program, controller);
  const std::string_view all = *bytes;
  size_t start = 0;
  int32_t number = 1;
  while (start < all.size()) {
    const size_t feed = all.find('\n', start);
    const size_t end = feed == std::string_view::npos ? all.size() : feed + 1;
    indexer.AddLine(std::string(all.substr(start, end - start)), number);
    start = end;
    if (number < INT32_MAX) ++number;
  }
  std::replace_if(
      program.Text.begin(), program.Text.end(), [](char c) { return c == '\r' || c == '\n'; },
      '\0');
  return kNcProgramReady;
}

int32_t FindProgramInIndex(const LoadedNcProgram& program, int32_t number) {
  for (size_t i = 0; i < program.Index.size(); ++i)
    if (program.Index[i].Number == number) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace vestan
