// Every English and Japanese text of the interference and alarm messages
// and of the run reports' warnings, in one table (UTF-8). Texts with
// conversions are printf formats; the comment of each id names its
// arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vestan {

struct BilingualText {
  const char* English;
  const char* Japanese;

  // The text of the language EnglishMode chooses.
  const char* In(int32_t englishMode) const { return englishMode != 0 ? English : Japanese; }
};

enum class InterferenceTextId : size_t {
  // Plain kinds, by message code.
  kArbor,        // 2
  kOverLength,   // 3
  kBottom,       // 4
  kTaper,        // 5
  kTooFast,      // 6
  kOverload,     // 7
  kAttachment,   // 8
  kSpindleStop,  // 9
  kLowSpindle,   // 10, speed below the range
  kOverSpindle,  // 10, speed above the range
  kToolVice,     // 11 ..
  kToolTable2,
  kToolTable1,
  kToolTable,
  kToolBasic,  // 17
  kArborVice,
  kArborTable2,
  kArborTable1,
  kArborTable,
  kArborBasic,
  kHead2Work,
  kHead2Vice,
  kHead2Table,
  kHead2Basic,
  kHead1Work,
  kHead1Vice,
  kHead1Table1,
  kHead1Table,
  kHead1Basic,
  kHeadWork,
  kHeadVice,
  kHeadTable2,
  kHeadTable1,
  kHeadTable,
  kHeadBasic,  // .. 45
  kArcError,   // 101
  kZeroFeed,   // 102
  // Formatted alarms.
  kOverStroke,        // 91: axis letter (%c)
  kStartCodeBox,      // 103 in a box: start code (%s)
  kStartCodeLog,      // 103 in the log: start code (%s)
  kInvalidCharacter,  // 104: column (%d), character (%c)
  kDoublePoint,       // 105: column (%d)
  kReverseArc,        // 106: line (%d)
  kOffsetAlarm,       // 107: line (%d)
  kRotaryLock,        // 108, 109: rotary letter (%c), line (%d)
  // Code 1 (the rapid move cut). During a run the texts take the tool
  // before the change, the current tool and the current tool (%02d each);
  // only the Japanese tool-change texts use them.
  kRapidPossible,  // the controller has no rapid path (G00 mode 9)
  kRapidPossibleToolChange,
  kRapidDamaged,
  kRapidDamagedToolChange,
  kJumpKeyHint,  // follows the Japanese text in a box during a run
  kRapidOutsideRun,
  // Kinds 2, 4 and 5 during a tool change: the tool before the change, the
  // current tool, the current tool (%02d each).
  kArborToolChange,
  kBottomToolChange,
  kTaperToolChange,
  // Gang-tool texts. English: the gang tool first; Japanese: the gang tool
  // last (see ShowToolChangeInterference).
  kGangToolChange,  // En: gang, previous, current; Ja: previous, current, gang
  kGangCutting,     // En: gang, current; Ja: current, gang
  kGangNoTool,      // gang
  kGangSelecting,   // En: gang, current; Ja: current, gang
  kGangVice,        // captions by kind: 11
  kGangTable2,      // 12
  kGangTable1,      // 13
  kGangTable,       // 14
  kGangOther,       // any other kind (8)
  // The status bar's suffix of a colliding kind.
  kCollideSuffix,
  // Report files: file name (%s).
  kReportNotCreated,
  kReportNotWritten,
  kTextCount
};

const BilingualText& InterferenceText(InterferenceTextId id);

// The language's text of id formatted with the arguments its comment names
// (int for %d, %02d and %c, a C string for %s).
std::string FormatInterferenceText(InterferenceTextId id, int32_t englishMode, ...);

}  // namespace vestan
