#include "nc/line_reader.h"

#include <cstdio>
#include <string>

#include "definitions/definition_file.h"
#include "foundation/text_fields.h"
#include "nc/block_interpreter.h"
#include "nc/comment_commands.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"
#include "nc/plugin_path.h"

namespace vestan {

namespace {

// One line of the stream with its "\n" (none at the end of the file),
// however long; false at the end of the file. Reads bytes, NULs included.
bool ReadStreamLine(std::FILE* stream, std::string& line) {
  line.clear();
  if (stream == nullptr) return false;
  flockfile(stream);
  int ch = 0;
  while ((ch = getc_unlocked(stream)) != EOF) {
    line.push_back(static_cast<char>(ch));
    if (ch == '\n') break;
  }
  funlockfile(stream);
  return !line.empty();
}

// CR LF becomes LF, a lone CR at the end too, and a line without its line
// feed gets one.
void NormaliseLineEnd(std::string& line) {
  if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') {
    line.erase(line.size() - 2, 1);
    return;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty() || line.back() != '\n') line.push_back('\n');
}

bool FollowsRun(const NcPassRecords& records, const NcReader& reader) {
  return records.Control.CuttingMode.load() >= kCuttingReal && reader.Editor.FollowRun != 0;
}

bool PluginActive(const NcPassRecords& records) { return records.ActiveReadPlugin >= 0; }

void CountBlockLine(NcModalState& modal, const NcReader& reader) {
  if (reader.ReplayingCyclePoints == 0) ++modal.BlockLine;
}

int32_t EndOfProgram(NcContext& context, const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  modal.EndState = kEndReached;
  if (modal.CycleMoveCount > 0) return 0;
  modal.EndState = kEndHandled;
  if (IsHeidenhainDialect(records.Defs.Controller))
    ClearRotaryWrapFlags(0, records.Defs.Controller, records.Defs.Limits,
                         records.Memory.ShortestRoute);
  return 0;
}

// kReplacedLine: a line of the text held in memory, replaced when loaded.
enum class LineSource { kLine, kReplacedLine, kEndOfProgram, kEndOfLevel };

// The innermost level is done: closed and forgotten.
LineSource PopLevel(SubprogramStack& stack, NcReader& reader) {
  stack.Levels[static_cast<size_t>(stack.Depth - 1)] = SubprogramLevel{};
  --stack.Depth;
  if (stack.Depth == 0 && reader.Progress != nullptr) EndSubProgress(*reader.Progress);
  return LineSource::kEndOfLevel;
}

// Step 4 of the reader: one raw line from the innermost level.
LineSource ReadRawLine(NcContext& context, const NcPassRecords& records, NcReader& reader,
                       std::string& line) {
  NcModalState& modal = context.Modal;
  SubprogramStack& stack = context.Subprograms;
  const bool countProgress = reader.Progress != nullptr && !PluginActive(records);
  if (stack.Depth <= 0 || stack.Depth > kMaxSubprogramLevels) {
    if (!ReadStreamLine(reader.MainStream.get(), line)) return LineSource::kEndOfProgram;
    ++modal.MainLineCounter;
    CountBlockLine(modal, reader);
    if (FollowsRun(records, reader))
      reader.Editor.CursorMoves.push_back(
          {EditorCursorMove::kStep, static_cast<int32_t>(modal.MainLineCounter)});
    if (countProgress) AddProgress(*reader.Progress, static_cast<int32_t>(line.size()));
    return LineSource::kLine;
  }
  const int32_t depth = stack.Depth;
  SubprogramLevel& level = stack.Levels[static_cast<size_t>(depth - 1)];
  if (level.InMemory != 0) {
    const LoadedNcProgram& program = reader.Program;
    const std::string& text = program.Text;
    size_t start = text.size();
    if (level.ProgramIndex >= 0 && static_cast<size_t>(level.ProgramIndex) < program.Index.size())
      start = program.Index[static_cast<size_t>(level.ProgramIndex)].Offset + level.ByteOffset;
    if (start >= text.size()) {
      // A program held in memory that runs out of text without its return
      // ends like a subprogram file.
      return PopLevel(stack, reader);
    }
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    line.assign(text, start, end - start);
    ++level.LineCounter;
    modal.ShownLine = static_cast<int32_t>(level.LineCounter);
    CountBlockLine(modal, reader);
    line.push_back('\n');
    if (FollowsRun(records, reader) && reader.Editor.FollowSubprograms != 0)
      reader.Editor.CursorMoves.push_back(
          {level.ByteOffset != 0 ? EditorCursorMove::kStep : EditorCursorMove::kJump,
           modal.ShownLine});
    level.ByteOffset += static_cast<uint32_t>(line.size());
    if (depth == 1 && countProgress)
      AddSubProgress(*reader.Progress, static_cast<int32_t>(line.size()));
    return LineSource::kReplacedLine;
  }
  if (!ReadStreamLine(level.Stream.get(), line)) return PopLevel(stack, reader);
  ++level.LineCounter;
  CountBlockLine(modal, reader);
  if (depth == 1 && countProgress)
    AddSubProgress(*reader.Progress, static_cast<int32_t>(line.size()));
  return LineSource::kLine;
}

// A line that does not fit the line buffer is cut at its capacity and
// refused with the character alarm at the first character left out.
bool CutOverlongLine(std::string& line, NcContext& context, const NcPassRecords& records,
                     NcReader& reader) {
  if (line.size() <= kNcLineCapacity) return false;
  const size_t kept = kNcLineCapacity - 1;
  reader.Fault = {static_cast<int32_t>(kept) + 1, line[kept]};
  context.Modal.AlarmCode = kAlarmCharacter;
  const SubprogramStack& stack = context.Subprograms;
  const std::string& file = stack.Depth > 0 && stack.Depth <= kMaxSubprogramLevels
                                ? stack.Levels[static_cast<size_t>(stack.Depth - 1)].Name
                                : records.Defs.Paths.NcProgram;
  records.Shell.Log(file + ":" + std::to_string(CurrentLineNumber(context)) + ": NC line longer than " +
                    std::to_string(kept) + " characters; it is cut there");
  line.resize(kept);
  line.push_back('\n');
  return true;
}

int32_t ReadPluginLine(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  NcModalState& modal = context.Modal;
  int32_t delivered = 0;
  FetchPluginPathRecord(reader, delivered);
  if (reader.Progress != nullptr && reader.Plugin != nullptr &&
      reader.Plugin->Has(ReadPluginEntry::kTotalBlock))
    AdvanceProgress(*reader.Progress);
  modal.MainLineCounter = reader.Record.LineNumber != 0
                              ? static_cast<uint32_t>(reader.Record.LineNumber)
                              : modal.MainLineCounter + 1;
  if (reader.ReplayingCyclePoints == 0)
    modal.BlockLine = static_cast<int32_t>(modal.MainLineCounter);
  if (delivered != 0) return 1;
  return EndOfProgram(context, records);
}

bool HasAt(std::string_view line, size_t pos, std::string_view text) {
  return line.substr(pos).starts_with(text);
}

}  // namespace

FileStream OpenNcFile(const std::string& path) {
  return CanOpenForReading(path) ? OpenFileStream(path, "rb") : FileStream{};
}

int32_t OpenNcProgram(const NcPassRecords& records, NcReader& reader) {
  reader.MainStream.reset();
  if (PluginActive(records)) return kNcProgramFromPlugin;
  const std::string& name = records.Defs.Paths.NcProgram;
  if (!name.empty()) reader.MainStream = OpenNcFile(ResolveDefinitionPath(name).string());
  if (reader.MainStream) return kNcProgramReady;
  HostMessage message;
  message.Text =
      (reader.EnglishMode != 0 ? "Cannot open the NC program.\n" : "NCプログラムを開けません。\n") +
      name;
  message.Icon = MessageIcon::kError;
  message.Topmost = true;
  records.Shell.Log("cannot open the NC program \"" + name + "\"");
  records.Shell.ShowMessage(message);
  return kNcProgramNotOpened;
}

int32_t ReadNcLine(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  if (records.Control.LinePendingAtStop.exchange(0) != 0) return 1;
  if (PluginActive(records)) return ReadPluginLine(context, records, reader);
  const ControllerDefinition& controller = records.Defs.Controller;
  const ControllerTables& tables = controller.Tables;
  NcModalState& modal = context.Modal;
  std::string line;
  line.reserve(128);
  for (;;) {
    const LineSource source = ReadRawLine(context, records, reader, line);
    if (source == LineSource::kEndOfProgram) return EndOfProgram(context, records);
    if (source == LineSource::kEndOfLevel) return 0;
    if (source == LineSource::kLine && !tables.Replace.empty())
      ApplyReplaceTable(line, tables.Replace, controller.ReplaceType);
    NormaliseLineEnd(line);
    if (CutOverlongLine(line, context, records, reader)) {
      context.Line.Assign(line);
      return 0;
    }
    if (controller.CodeCheck != 0 &&
        CheckNcLineSyntax(line, tables.CheckChar, reader.Fault, modal.AlarmCode) != 0) {
      context.Line.Assign(line);
      return 0;
    }
    if (tables.AnySkipLevel != 0 && IsBlockSkipped(line, tables.SkipLevels) != 0) continue;
    context.Line.Assign(line);
    return 1;
  }
}

int32_t CheckNcLineSyntax(std::string_view line, std::string_view checkChar, NcLineFault& fault,
                          int32_t& alarmCode) {
  for (int strip = 0; strip < 2; ++strip) {
    if (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  }
  int32_t points = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    const bool digit = ch >= '0' && ch <= '9';
    if (!checkChar.empty() && !digit && checkChar.find(ch) == std::string_view::npos) {
      fault = {static_cast<int32_t>(i) + 1, ch};
      alarmCode = kAlarmCharacter;
      return 1;
    }
    if (ch == '(') {
      const size_t close = line.find(')', i + 1);
      if (close == std::string_view::npos) return 0;
      i = close;
    } else if (ch == '.') {
      if (++points >= 2) {
        fault = {static_cast<int32_t>(i) + 1, ch};
        alarmCode = kAlarmTwoPoints;
        return 1;
      }
    } else if ((ch >= 'A' && ch <= 'Z') || ch == '#') {
      points = 0;
    }
  }
  return 0;
}

int32_t IsBlockSkipped(std::string_view line,
                       const std::array<uint8_t, kMaxSkipLevel + 1>& switches) {
  if (line.empty() || line[0] != '/') return 0;
  const char next = line.size() > 1 ? line[1] : '\0';
  if (next >= '2' && next <= '9') return switches[static_cast<size_t>(next - '0')] != 0 ? 1 : 0;
  return switches[0] != 0 || switches[1] != 0 ? 1 : 0;
}

void ApplyReplaceTable(std::string& line, const std::vector<ReplaceEntry>& table,
                       int32_t replaceType) {
  if (replaceType == 2) {
    for (const ReplaceEntry& entry : table) {
      if (entry.Search.empty()) continue;
      const size_t at = line.find(entry.Search);
      if (at != std::string::npos) line.replace(at, entry.Search.size(), entry.Replacement);
    }
    return;
  }
  std::string out;
  size_t copied = 0;
  size_t pos = 0;
  bool replaced = false;
  while (pos < line.size()) {
    const ReplaceEntry* match = nullptr;
    for (const ReplaceEntry& entry : table) {
      if (!entry.Search.empty() && HasAt(line, pos, entry.Search)) {
        match = &entry;
        break;
      }
    }
    if (match == nullptr) {
      ++pos;
      continue;
    }
    if (!replaced) out.reserve(line.size() + 16);
    replaced = true;
    out.append(line, copied, pos - copied);
    out.append(match->Replacement);
    copied = pos + match->Search.size();
    // The character right after a match is never tested.
    pos = copied + 1;
  }
  if (!replaced) return;
  out.append(line, copied, std::string::npos);
  line = std::move(out);
}

int32_t IsStopBlock(std::string_view line, NcContext& context, const NcPassRecords& records,
                    NcReader& reader) {
  RunControl& control = records.Control;
  if (control.OneShotStop.load() != 0 || control.StopRequest.load() != 0) {
    control.OneShotStop.store(0);
    return 1;
  }
  const ControllerDefinition& controller = records.Defs.Controller;
  const int32_t option = controller.StopOption;
  const bool plugin = PluginActive(records);
  if (option == 3) return 1;
  if (option == 4) {
    if (plugin) return 0;
    for (const std::string& stop : controller.Tables.StopStrings)
      if (!stop.empty() && line.find(stop) != std::string_view::npos) return 1;
    return 0;
  }
  if (option != 1 && option != 2) return 0;
  if (plugin) return 0;
  if (line.find(option == 1 ? "M0" : "M") == std::string_view::npos) return 0;
  const bool heidenhain = IsHeidenhainDialect(controller);
  const bool semicolonComments = heidenhain || controller.isSiemens != 0;
  const CommentCommandRecords commands{context.Snapshots, context.Run,
                                       context.Modal.Tools.CurrentToolNumber,
                                       records.Defs.Paths.NcProgram};
  const size_t end = line.empty() ? 0 : line.size() - 1;
  int32_t last = -1;  // none
  size_t i = 0;
  while (i < end) {
    const char ch = line[i];
    if (ch == 'M') {
      const char next = i + 1 < line.size() ? line[i + 1] : '\0';
      if (heidenhain && !(next == '0' || (option == 2 && next == '1'))) {
        ++i;
        continue;
      }
      last = ConvertInteger(line.substr(i + 1));
      const size_t stop = line.find_first_of(kWordTerminators, i + 1);
      i = stop == std::string_view::npos ? end : stop;
    } else if (ch == '(') {
      if (!plugin) RunNcCommentPlugin(context, records, reader);
      const size_t close = line.find(')', i + 1);
      const size_t textEnd = close == std::string_view::npos ? line.size() : close;
      ParseCommentCommand(line.substr(i + 1, textEnd - i - 1), commands);
      i = close == std::string_view::npos ? end : close + 1;
    } else if (ch == ';' && semicolonComments) {
      ParseCommentCommand(line.substr(i + 1), commands);
      break;
    } else {
      ++i;
    }
  }
  return last == 0 || (option == 2 && last == 1) ? 1 : 0;
}

void SkipNonMotionBlocks(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  while (ReadNcLine(context, records, reader) == 1) {
    InterpretNcBlock(context, records);
    const NcMove& move = context.Move;
    const bool still = move.Start[0] == move.End[0] && move.Start[1] == move.End[1] &&
                       move.Start[2] == move.End[2];
    if (!still || context.Modal.MotionMode >= kMotionClockwise) return;
  }
}

}  // namespace vestan
