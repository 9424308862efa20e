// The hits of one interpolation step: the cutting checks the kernel sets for
// the pose it cuts, the contact flag, two flags of the run's step, and the
// structure pairs the machine checks set. Cleared before every step.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "definitions/settings.h"

namespace vestan {

// The structure pairs that have a settings key, in the order of those keys
// (kPairCheckKeys) and of their message codes 11 to 45.
enum InterferencePair : size_t {
  kPairToolVice,
  kPairToolTable2,
  kPairToolTable1,
  kPairToolTable,
  kPairToolBasic,
  kPairArborVice,
  kPairArborTable2,
  kPairArborTable1,
  kPairArborTable,
  kPairArborBasic,
  kPairHead2Work,
  kPairHead2Vice,
  kPairHead2Table,
  kPairHead2Basic,
  kPairHead1Work,
  kPairHead1Vice,
  kPairHead1Table1,
  kPairHead1Table,
  kPairHead1Basic,
  kPairHeadWork,
  kPairHeadVice,
  kPairHeadTable2,
  kPairHeadTable1,
  kPairHeadTable,
  kPairHeadBasic,
  kNamedPairCount
};
static_assert(kNamedPairCount == InterferenceCheckSettings::kPairCount);

// Pairs whose settings have no key (two more per TOOL, ARBOR, HEAD2, HEAD1
// and HEAD group, and two further head groups): no check raises them yet,
// but they count as hits and are cleared with the rest.
inline constexpr size_t kFurtherPairCount = 22;

// Every field is a flag: 0 no hit, anything else a hit. Each has one
// writer: the cutting kernel (model/) for the five cutting checks, the run's
// step for the contact flag and its two step flags, the structure checks
// for the pairs.
struct InterferenceHits {
  // Cutting checks of the pose just cut.
  int32_t ArborHitFlag = 0;       // the arbor (holder) removed material: ARBOR
  int32_t BodyHitFlag = 0;        // the tool body (the taper side) removed material: TAPER
  int32_t AttachmentHitFlag = 0;  // an attachment removed material: ATTACHMENT
  int32_t HeightHitFlag = 0;      // cut above the effective cutting length: OVER LENGTH
  int32_t ChipWidthHitFlag = 0;   // cut with the invalid centre of the bottom: OVER CHIP

  // The step's cut removed material; the rapid, spindle and cutting-check
  // kinds count only while it is set. The run sets it from what its cut
  // removed.
  int32_t ContactFlag = 0;

  // The run's own per-step flags: the kernel's removal still pending, and
  // an alarm raised by the step. Only cleared here.
  int32_t RemovalPendingFlag = 0;
  int32_t StepAlarmFlag = 0;

  // Structure pairs, indexed by InterferencePair.
  std::array<int32_t, kNamedPairCount> Pairs{};
  std::array<int32_t, kFurtherPairCount> FurtherPairs{};
};

// Clears every flag: before each step, and before a single-pose check.
inline void ResetInterferenceFlags(InterferenceHits& hits) { hits = InterferenceHits{}; }

// 1 when a structure pair (a further pair included) is hit, else 0; the
// cutting checks and the contact flag are not looked at.
inline int32_t AnyInterferenceFlag(const InterferenceHits& hits) {
  const auto hit = [](int32_t flag) { return flag != 0; };
  return std::any_of(hits.Pairs.begin(), hits.Pairs.end(), hit) ||
                 std::any_of(hits.FurtherPairs.begin(), hits.FurtherPairs.end(), hit)
             ? 1
             : 0;
}

}  // namespace vestan
