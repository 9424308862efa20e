// Telling the user about an interference or an alarm: a top-most message
// box whose caption is the message and whose text is the NC program, or,
// while a list of programs runs in one go, a log line "(line) - message".
// Every text is the language's of EnglishMode.
#pragma once

#include <cstdint>
#include <string_view>

#include "definitions/definitions.h"
#include "nc/nc_context.h"
#include "platform/host.h"

namespace vestan {

// What the run recorded for its messages beyond the records it passes.
struct RunMessageFacts {
  int32_t PreviousTool = 0;          // the tool before the last tool change
  int32_t ToolChangeInProgress = 0;  // the run was changing the tool
  char OverStrokeLetter = ' ';       // the axis the stroke check refused (91)
  int32_t RefusedColumn = 0;         // where the line reader refused a character (104, 105)
  char RefusedCharacter = ' ';       // the character it refused (104)
  int32_t MultiToolPassRunning = 0;  // a multi-tool pass runs the checks
};

struct InterferenceMessageLinks {
  Host& Shell;
  // The main line counter, the current tool, the hits, the spindle speed.
  const NcContext& Nc;
  // The controller (rapid path kind, start character, rotary letters), the
  // spindle range, the gang tools, the NC program's name.
  const Definitions& Defs;
  const RunMessageFacts& Facts;
  int32_t EnglishMode = 0;
  int32_t CuttingMode = 0;
};

// The message of code (an InterferenceKind code) about the NC program text:
// a box, or a log line when toLog is non-zero. Codes without a text show
// nothing.
void ShowInterferenceMessage(const InterferenceMessageLinks& links, int32_t toLog,
                             std::string_view text, int32_t code);

// The message of the first structure pair hit (in code order), or of code 1
// with none; always as a box about the current NC program.
void ShowFirstInterferenceMessage(const InterferenceMessageLinks& links);

// The English or the Japanese message as a box caption over text, or as a
// log line.
void ShowMessageOrLog(const InterferenceMessageLinks& links, int32_t toLog, std::string_view text,
                      std::string_view english, std::string_view japanese);

// The gang-tool variant for codes 8 and 11 to 14: names the first gang tool
// whose hit flag is set, with the current and the previous tool; nothing
// when no gang tool was hit. The box's text names the tools in place of the
// NC program; the log line carries the kind's caption only.
void ShowToolChangeInterference(const InterferenceMessageLinks& links, int32_t toLog, int32_t code);

}  // namespace vestan
