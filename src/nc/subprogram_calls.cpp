// Subprogram levels pushed by the interpreter's calls and left by its
// returns; the line reader pops a file level itself at the file's end.
#include <algorithm>
#include <cstdio>
#include <string>

#include "definitions/definition_file.h"
#include "nc/block_interpreter.h"
#include "nc/line_reader.h"
#include "nc/nurbs.h"
#include "nc/plugin_path.h"

namespace vestan {

namespace {

// The name as the call wrote it, without the line end the rest of a line
// carries.
std::string_view CalledName(std::string_view name) {
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.remove_suffix(1);
  return name;
}

// Opens the folder's file of that name; the name as written first, then
// matched case-insensitively, "\" and "/" both separating folders. The built
// path becomes the file opened, which the second bar measures.
FileStream OpenSubprogramFile(SubprogramStack& stack, std::string_view name) {
  stack.BuiltPath = stack.Folder + std::string(name);
  const std::string path = ResolveDefinitionPath(stack.BuiltPath).string();
  FileStream stream = OpenNcFile(path);
  if (stream) stack.BuiltPath = path;
  return stream;
}

std::string ProgramName(const char* format, int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, format, number);
  return name;
}

void PushFileLevel(NcContext& context, NcReader& reader, std::string name, FileStream stream) {
  SubprogramStack& stack = context.Subprograms;
  SubprogramLevel& level = stack.Levels[static_cast<size_t>(stack.Depth)];
  level = SubprogramLevel{};
  level.Stream = std::move(stream);
  level.Name = std::move(name);
  ++stack.Depth;
  context.Modal.ShownLine = 0;
  if (reader.Progress != nullptr) BeginSubProgress(*reader.Progress, stack.BuiltPath, 0);
}

void PushMemoryLevel(NcContext& context, NcReader& reader, int32_t number, int32_t entry) {
  SubprogramStack& stack = context.Subprograms;
  const LoadedProgramEntry& program = reader.Program.Index[static_cast<size_t>(entry)];
  SubprogramLevel& level = stack.Levels[static_cast<size_t>(stack.Depth)];
  level = SubprogramLevel{};
  level.Name = ProgramName(number >= 1000 ? "O%d" : "O%04d", number);
  level.LineCounter = static_cast<uint32_t>(program.Line);
  context.Modal.ShownLine = program.Line;
  level.InMemory = 1;
  level.ProgramIndex = entry;
  ++stack.Depth;
  // The bar counts the program's bytes as the lines are read.
  if (reader.Progress != nullptr)
    BeginSubProgress(*reader.Progress, {},
                     static_cast<int32_t>(std::min<size_t>(program.Length, INT32_MAX)));
}

}  // namespace

void PushSubprogram(NcContext& context, const NcPassRecords& records, NcReader& reader,
                    const SubprogramCall& call) {
  SubprogramStack& stack = context.Subprograms;
  if (stack.Depth < 0 || stack.Depth >= kMaxSubprogramLevels) return;
  switch (call.Kind) {
    case SubprogramCallKind::kByName: {
      const std::string name(CalledName(call.Name));
      if (name.empty()) return;
      FileStream stream = OpenSubprogramFile(stack, name);
      if (!stream) {
        records.Shell.Log("subprogram \"" + stack.BuiltPath + "\" not found; the call is ignored");
        return;
      }
      PushFileLevel(context, reader, name, std::move(stream));
      return;
    }
    case SubprogramCallKind::kByNumberMemory: {
      if (records.Defs.Controller.Tables.MemoryRun == 0) return;
      const int32_t entry = FindProgramInIndex(reader.Program, call.Number);
      if (entry < 0) return;
      PushMemoryLevel(context, reader, call.Number, entry);
      return;
    }
    case SubprogramCallKind::kByNumberFile: {
      std::string name = ProgramName("O%d", call.Number);
      FileStream stream = OpenSubprogramFile(stack, name);
      if (!stream && call.Number < 1000) {
        name = ProgramName("O%04d", call.Number);
        stream = OpenSubprogramFile(stack, name);
      }
      if (!stream) {
        records.Shell.Log("subprogram \"" + stack.BuiltPath + "\" not found; the call is ignored");
        return;
      }
      PushFileLevel(context, reader, std::move(name), std::move(stream));
      return;
    }
  }
}

void ReturnFromSubprogram(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  SubprogramStack& stack = context.Subprograms;
  if (stack.Depth <= 0 || stack.Depth > kMaxSubprogramLevels) return;
  const int32_t depth = --stack.Depth;
  const bool callerInMemory =
      depth > 0 && stack.Levels[static_cast<size_t>(depth - 1)].InMemory != 0;
  context.Modal.ShownLine =
      depth == 0 ? static_cast<int32_t>(context.Modal.MainLineCounter)
                 : static_cast<int32_t>(stack.Levels[static_cast<size_t>(depth - 1)].LineCounter);
  // M99 and RTS move the editor; HEIDENHAIN's END PGM does not.
  const ControllerDefinition& controller = records.Defs.Controller;
  const bool heidenhain = IsHeidenhainDialect(controller);
  if (!heidenhain && (depth == 0 || callerInMemory) &&
      records.Control.CuttingMode.load() >= kCuttingReal && reader.Editor.FollowRun != 0 &&
      reader.Editor.FollowSubprograms != 0)
    reader.Editor.CursorMoves.push_back({EditorCursorMove::kJump, context.Modal.ShownLine});
  stack.Levels[static_cast<size_t>(depth)] = SubprogramLevel{};
  if (depth == 0 && reader.Progress != nullptr) EndSubProgress(*reader.Progress);
}

BlockInterpreterHooks MakeNcReaderHooks(NcReader& reader) {
  BlockInterpreterHooks hooks;
  hooks.CallSubprogram = [&reader](NcContext& context, const NcPassRecords& records,
                                   const SubprogramCall& call) {
    PushSubprogram(context, records, reader, call);
  };
  hooks.ReturnFromSubprogram = [&reader](NcContext& context, const NcPassRecords& records) {
    ReturnFromSubprogram(context, records, reader);
  };
  hooks.NextPluginRecord = [&reader](NcContext&, PluginPathRecord& record) {
    if (reader.Record.Delivered == 0) return false;
    record = reader.Record;
    return true;
  };
  hooks.ReadNurbsBlocks = [&reader](NcContext& context, const NcPassRecords& records,
                                    size_t offset, char knotLetter) {
    ReadNurbsBlocks(context, records, reader, offset, knotLetter);
  };
  hooks.SeeComment = [&reader](NcContext& context, const NcPassRecords& records, std::string_view) {
    RunNcCommentPlugin(context, records, reader);
  };
  return hooks;
}

}  // namespace vestan
