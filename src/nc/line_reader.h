// Getting NC lines to the interpreter: from the main program file, from a
// subprogram level (a file, or a program held in memory) or from a read
// plug-in, with the line counters, the REPLACE table, the character check,
// block skip and the line end; the program held in memory with its index of
// programs; the stop blocks; and the hooks that let the block interpreter
// push and leave subprogram levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/controller_definition.h"
#include "definitions/definition_file.h"
#include "nc/nc_context.h"
#include "nc/plugin_interfaces.h"
#include "platform/file_open.h"
#include "platform/progress.h"

namespace vestan {

// One program found after the main program in the same file.
struct LoadedProgramEntry {
  int32_t Number = 0;  // of its "O" word
  size_t Offset = 0;   // of its "O" line in the text
  int32_t Line = 0;    // 0-based line number of its "O" line
  size_t Length = 0;   // bytes of the program in the file
};

// The NC program's text kept in memory between passes, with the index of
// the programs that follow the main program.
struct LoadedNcProgram {
  // The file and its last-write time when the text was loaded; a different
  // file or time loads it again.
  std::string Path;
  std::optional<FileTime> Time;
  // Every line after REPLACE, each followed by one NUL (a CR LF or LF line
  // end, and any other CR or LF, became the NUL).
  std::string Text;
  // The controller's REPLACE table and type and whether RTS closes a
  // program, as the text was built with them: another controller builds it
  // again.
  std::vector<ReplaceEntry> Replace;
  int32_t ReplaceType = 0;
  bool OspReturns = false;
  size_t PrologueLength = 0;  // bytes of the file before the first indexed program
  std::vector<LoadedProgramEntry> Index;
};

// One move of the external editor's cursor: one line down, or a jump to a
// line.
struct EditorCursorMove {
  enum Kind : uint8_t { kStep, kJump };
  Kind Move = kStep;
  int32_t Line = 0;
  bool operator==(const EditorCursorMove&) const = default;
};

// The external editor as the reader moves it. The reader only records the
// moves, in order; the editor link takes them (and clears the list) as it
// passes them on to the editor.
struct NcEditorLink {
  int32_t FollowRun = 0;
  int32_t FollowSubprograms = 0;
  std::vector<EditorCursorMove> CursorMoves;
};

// Where the reader refused a line: the 1-based column and the character
// (alarm codes 4 and 5).
struct NcLineFault {
  int32_t Column = 0;
  char Character = ' ';
};

// What the reader works with besides the pass's context. The loaded program
// outlives the pass; the rest is set up for it.
struct NcReader {
  explicit NcReader(LoadedNcProgram& program) : Program(program) {}
  NcReader(const NcReader&) = delete;
  NcReader& operator=(const NcReader&) = delete;

  LoadedNcProgram& Program;
  // The main program file; none when a read plug-in supplies the program.
  FileStream MainStream;
  // The module of the active read plug-in (NcPassRecords::ActiveReadPlugin
  // chooses whether it is used) and the NC-comment plug-in with its switch.
  ReadPlugin* Plugin = nullptr;
  CommentPlugin* CommentTools = nullptr;
  int32_t CommentPluginOn = 0;
  // The last path record fetched for the interpreter, and the view's preview.
  PluginPathRecord Record;
  PluginPathRecord Preview;
  // Makes tool entry 0 the current tool after a plug-in delivered it.
  std::function<void()> MakePluginToolCurrent;
  ProgressState* Progress = nullptr;  // none: nothing is counted
  NcEditorLink Editor;
  // The motion driver replays canned-cycle points: the block line stays.
  int32_t ReplayingCyclePoints = 0;
  int32_t EnglishMode = 0;
  NcLineFault Fault;
};

// Results of OpenNcProgram and LoadNcProgramText.
inline constexpr int32_t kNcProgramReady = 1;
inline constexpr int32_t kNcProgramFromPlugin = 0;  // nothing to open or load
inline constexpr int32_t kNcProgramNotOpened = -1;

// Opens an NC program or subprogram file untranslated; none when the path
// names no regular file (a folder would open as a stream that reads nothing).
FileStream OpenNcFile(const std::string& path);

// Opens the NC program file (Defs.Paths.NcProgram) as the main stream,
// untranslated. A file that cannot be opened is reported through the host
// with its path and gives kNcProgramNotOpened; with a read plug-in active
// nothing is opened.
int32_t OpenNcProgram(const NcPassRecords& records, NcReader& reader);

// The next line into context.Line: 1 when one is there; 0 at the end of the
// program (end state 1, or 2 when no cycle points are pending), at the end
// of a subprogram file (the next call reads on in the calling level), after
// a character alarm (alarm code 4 or 5 with reader.Fault), or when the read
// plug-in delivered no record. A line is read whole; one that does not fit
// kNcLineCapacity, after REPLACE, is cut there and raises alarm 4.
int32_t ReadNcLine(NcContext& context, const NcPassRecords& records, NcReader& reader);

// 1 when the line breaks the character check: a character outside
// checkChar (when it is not empty) and not a digit, alarm 4; a second
// decimal point in one word, alarm 5; fault and alarmCode set. Text in
// parentheses is not checked. 0 otherwise.
int32_t CheckNcLineSyntax(std::string_view line, std::string_view checkChar, NcLineFault& fault,
                          int32_t& alarmCode);

// 1 when the line is skipped by the block-skip switches (switch 0 the plain
// "/", 1 to 9 "/1" to "/9").
int32_t IsBlockSkipped(std::string_view line,
                       const std::array<uint8_t, kMaxSkipLevel + 1>& switches);

// The REPLACE table applied to line, byte-wise and case-sensitive. Type 2:
// each entry in turn replaces its first occurrence in the line as the earlier
// entries left it. Any other type: one scan from the left, the first entry
// matching at a position replaces there and the scan goes on after the
// matched text and one further character. The line may grow.
void ApplyReplaceTable(std::string& line, const std::vector<ReplaceEntry>& table,
                       int32_t replaceType);

// Loads the NC program file into records' reader.Program unless the text held
// is of the same file and last-write time, built with the same REPLACE table
// and dialect, and gives the subprogram levels the program's folder.
// kNcProgramNotOpened (reported through the host) when the file cannot be
// read; the text is then dropped.
int32_t LoadNcProgramText(NcContext& context, const NcPassRecords& records, NcReader& reader);

// The entry of the program number in the index, or -1.
int32_t FindProgramInIndex(const LoadedNcProgram& program, int32_t number);

// 1 when the run stops before this line, by the one-shot stop, the stop
// request or the controller's stop option.
int32_t IsStopBlock(std::string_view line, NcContext& context, const NcPassRecords& records,
                    NcReader& reader);

// Reads and interprets lines until one moves (or none comes).
void SkipNonMotionBlocks(NcContext& context, const NcPassRecords& records, NcReader& reader);

// The interpreter's hooks for subprogram calls and returns, the read
// plug-in's records and the NC-comment plug-in, served by the reader. The
// reader must outlive them.
BlockInterpreterHooks MakeNcReaderHooks(NcReader& reader);

// Pushes a level for the call, when its program can be found: a file in the
// NC program's folder (looked up case-insensitively when not found as
// written), or a program held in memory. A call that finds nothing is
// ignored.
void PushSubprogram(NcContext& context, const NcPassRecords& records, NcReader& reader,
                    const SubprogramCall& call);

// Leaves the innermost level (M99, OSP RTS, HEIDENHAIN END PGM).
void ReturnFromSubprogram(NcContext& context, const NcPassRecords& records, NcReader& reader);

}  // namespace vestan
