// What the run decides from one step's hits: whether a hit breaks the run
// off or pauses it, which stop-class kinds are registered for the
// interference report, the kinds' names, and the kind table behind the
// messages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "definitions/settings.h"
#include "model/interference_hits.h"
#include "model/work_document.h"
#include "nc/nc_context.h"
#include "simulation/interference_texts.h"

namespace vestan {

// The stop-class kinds, in the order the status text and the interference
// report test them: the ten cutting, rapid and spindle kinds, then the
// named pairs in InterferencePair order.
enum StopKind : size_t {
  kStopRapid,        // "RAPID(G00)"
  kStopArbor,        // "ARBOR"
  kStopOverLength,   // "OVER LENGTH"
  kStopOverChip,     // "OVER CHIP"
  kStopTaper,        // "TAPER"
  kStopTooFast,      // "TOO FAST"
  kStopAttachment,   // "ATTACHMENT"
  kStopSpindle,      // "SPINDLE"
  kStopLowSpindle,   // "LOW SPINDLE"
  kStopOverSpindle,  // "OVER SPINDLE"
  kStopFirstPair,
  kStopKindCount = kStopFirstPair + kNamedPairCount
};

inline constexpr size_t StopKindOfPair(InterferencePair pair) {
  return static_cast<size_t>(kStopFirstPair) + static_cast<size_t>(pair);
}

// InterferenceReportState.
inline constexpr int32_t kReportNothingPending = 0;
inline constexpr int32_t kReportPending = 1;  // stop-class hits registered, not yet written
inline constexpr int32_t kReportWritten = 2;

// What outlives a step: the registered stop-class kinds, the report state
// and the status bar's text of a run standing at a stop-class hit.
struct InterferenceStopState {
  // InterferenceStopFlags, indexed by StopKind.
  std::array<uint8_t, kStopKindCount> Flags{};
  int32_t ReportState = kReportNothingPending;
  std::string StatusText;  // InterferenceStatusText
};

// Settings values the checks compare with.
inline constexpr int32_t kCheckBreak = 1;  // rapid, spindle and the pairs
inline constexpr int32_t kCheckStop = 2;
inline constexpr int32_t kArborCheckBreak = 3;
inline constexpr int32_t kArborCheckStop = 4;
inline constexpr int32_t kLimitCheckBreak = 2;  // height and chip width
inline constexpr int32_t kLimitCheckStop = 3;

// The step's rapid-feed condition (with contact): the move being cut is a
// G00 move, else its feed is at or above the rapid feed limit.
enum class RapidCondition { kNone, kRapidMove, kTooFast };
RapidCondition RapidConditionOf(const NcContext& nc, const InterferenceCheckSettings& checks);

// The step's spindle condition (with contact): stopped, or with a range
// given and the spindle turning forward (M03), below or above it. Never
// raised while the spindle turns backwards (M04).
enum class SpindleCondition { kNone, kStopped, kBelowRange, kAboveRange };
SpindleCondition SpindleConditionOf(const NcContext& nc, const InterferenceCheckSettings& checks);

// 1 when the step holds a break-class hit, else 0. The cutting, rapid and
// spindle kinds count only with a workpiece that may be cut and the contact
// flag set; of the pairs only the twenty that are not BASIC pairs.
int32_t HasReportableInterference(const NcContext& nc, const InterferenceCheckSettings& checks,
                                  const WorkDocument& work);

// Registers the step's stop-class hits in stops (raising its report state
// from nothing pending to pending). Returns 1 to break the run off (a
// break-class hit, nothing registered, or no check set to stop), 0 to pause
// at this step and go on.
int32_t CheckStopOnInterference(const NcContext& nc, const InterferenceCheckSettings& checks,
                                const WorkDocument& work, InterferenceStopState& stops);

// Writes the name of the first registered stop-class kind into the status
// text, followed by " Collide" (English) or "干渉" except for the length,
// chip and spindle kinds. With none registered only the suffix is appended
// to what the text holds.
void GetInterferenceKindName(InterferenceStopState& stops, int32_t englishMode);

// One row of the kind table: the message code, the stop flag's name and the
// pair's group and partner (for the report's grouped names).
struct InterferenceKind {
  int32_t Code = 0;
  std::string_view StopName;
  std::string_view Group;  // "TOOL", "ARBOR", "HEAD2", "HEAD1", "HEAD"; empty for the cutting kinds
  std::string_view Partner;  // "VICE", "TABLE2", "TABLE1", "TABLE", "BASIC", "WORK"
};

// The kind of a stop flag.
const InterferenceKind& KindOfStop(size_t stopKind);
// The plain text of a message code (2 to 9, the named pairs 11 to 45, 101
// and 102); none for codes whose text is built, and for unlisted codes.
std::optional<InterferenceTextId> PlainKindText(int32_t code);
// The message code of a named pair.
int32_t CodeOfPair(InterferencePair pair);

}  // namespace vestan
