#include "simulation/interference_bookkeeping.h"

#include <algorithm>

namespace vestan {

namespace {

constexpr std::array<InterferenceKind, kStopKindCount> kStopKinds = {{
    {1, "RAPID(G00)", "", ""},
    {2, "ARBOR", "", ""},
    {3, "OVER LENGTH", "", ""},
    {4, "OVER CHIP", "", ""},
    {5, "TAPER", "", ""},
    {6, "TOO FAST", "", ""},
    {8, "ATTACHMENT", "", ""},
    {9, "SPINDLE", "", ""},
    {10, "LOW SPINDLE", "", ""},
    {10, "OVER SPINDLE", "", ""},
    // The TOOL pairs go by their partner alone.
    {11, "VICE", "TOOL", "VICE"},
    {12, "TABLE2", "TOOL", "TABLE2"},
    {13, "TABLE1", "TOOL", "TABLE1"},
    {14, "TABLE", "TOOL", "TABLE"},
    {17, "BASIC", "TOOL", "BASIC"},
    {18, "ARBORvsVICE", "ARBOR", "VICE"},
    {19, "ARBORvsTABLE2", "ARBOR", "TABLE2"},
    {20, "ARBORvsTABLE1", "ARBOR", "TABLE1"},
    {21, "ARBORvsTABLE", "ARBOR", "TABLE"},
    {24, "ARBORvsBASIC", "ARBOR", "BASIC"},
    {25, "HEAD2vsWORK", "HEAD2", "WORK"},
    {26, "HEAD2vsVICE", "HEAD2", "VICE"},
    {27, "HEAD2vsTABLE", "HEAD2", "TABLE"},
    {30, "HEAD2vsBASIC", "HEAD2", "BASIC"},
    {31, "HEAD1vsWORK", "HEAD1", "WORK"},
    {32, "HEAD1vsVICE", "HEAD1", "VICE"},
    {33, "HEAD1vsTABLE1", "HEAD1", "TABLE1"},
    {34, "HEAD1vsTABLE", "HEAD1", "TABLE"},
    {37, "HEAD1vsBASIC", "HEAD1", "BASIC"},
    {38, "HEADvsWORK", "HEAD", "WORK"},
    {39, "HEADvsVICE", "HEAD", "VICE"},
    {40, "HEADvsTABLE2", "HEAD", "TABLE2"},
    {41, "HEADvsTABLE1", "HEAD", "TABLE1"},
    {42, "HEADvsTABLE", "HEAD", "TABLE"},
    {45, "HEADvsBASIC", "HEAD", "BASIC"},
}};

// The pairs' texts stand in pair order.
static_assert(static_cast<size_t>(InterferenceTextId::kHeadBasic) -
                  static_cast<size_t>(InterferenceTextId::kToolVice) + 1 ==
              kNamedPairCount);

// The status text of these kinds carries no " Collide".
bool NamedWithoutSuffix(size_t kind) {
  return kind == kStopOverLength || kind == kStopOverChip || kind == kStopSpindle ||
         kind == kStopLowSpindle || kind == kStopOverSpindle;
}

bool IsBasicPair(size_t pair) {
  return pair == kPairToolBasic || pair == kPairArborBasic || pair == kPairHead2Basic ||
         pair == kPairHead1Basic || pair == kPairHeadBasic;
}

// The cutting, rapid and spindle kinds are looked at only when the step cut
// a workpiece that may be cut.
bool CountsCuttingKinds(const NcContext& nc, const WorkDocument& work) {
  return work.MayCut() && nc.Run.Hits.ContactFlag != 0;
}

}  // namespace

RapidCondition RapidConditionOf(const NcContext& nc, const InterferenceCheckSettings& checks) {
  if (nc.Run.MotionMode <= kMotionRapid) return RapidCondition::kRapidMove;
  if (nc.Move.Feed >= checks.RapidFeedrate) return RapidCondition::kTooFast;
  return RapidCondition::kNone;
}

SpindleCondition SpindleConditionOf(const NcContext& nc, const InterferenceCheckSettings& checks) {
  const int32_t state = nc.Modal.SpindleState;
  if (state == 0) return SpindleCondition::kStopped;
  if (checks.SpindleLimitsGiven == 0 || state != 1) return SpindleCondition::kNone;
  if (nc.Modal.SpindleSpeed < checks.SpindleLimits[0]) return SpindleCondition::kBelowRange;
  if (nc.Modal.SpindleSpeed > checks.SpindleLimits[1]) return SpindleCondition::kAboveRange;
  return SpindleCondition::kNone;
}

int32_t HasReportableInterference(const NcContext& nc, const InterferenceCheckSettings& checks,
                                  const WorkDocument& work) {
  const InterferenceHits& hits = nc.Run.Hits;
  if (CountsCuttingKinds(nc, work)) {
    if (checks.Interference == kCheckBreak && RapidConditionOf(nc, checks) != RapidCondition::kNone)
      return 1;
    if (checks.ArborCheck == kArborCheckBreak &&
        (hits.BodyHitFlag != 0 || hits.AttachmentHitFlag != 0 || hits.ArborHitFlag != 0))
      return 1;
    if (checks.HeightCheck == kLimitCheckBreak && hits.HeightHitFlag != 0) return 1;
    if (checks.ChipWidthCheck == kLimitCheckBreak && hits.ChipWidthHitFlag != 0) return 1;
    if (checks.SpindleCheck == kCheckBreak &&
        SpindleConditionOf(nc, checks) != SpindleCondition::kNone)
      return 1;
  }
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    if (!IsBasicPair(pair) && checks.Pairs[pair] == kCheckBreak && hits.Pairs[pair] != 0) return 1;
  }
  return 0;
}

int32_t CheckStopOnInterference(const NcContext& nc, const InterferenceCheckSettings& checks,
                                const WorkDocument& work, InterferenceStopState& stops) {
  if (checks.MachineCheckStops == 0) return 1;
  const InterferenceHits& hits = nc.Run.Hits;
  bool registered = false;
  const auto enter = [&](size_t kind) {
    stops.Flags[kind] = 1;
    registered = true;
    if (stops.ReportState == kReportNothingPending) stops.ReportState = kReportPending;
  };
  if (CountsCuttingKinds(nc, work)) {
    if (checks.ArborCheck == kArborCheckStop) {
      // One of the three at most: the taper before the attachment before the arbor.
      if (hits.BodyHitFlag != 0)
        enter(kStopTaper);
      else if (hits.AttachmentHitFlag != 0)
        enter(kStopAttachment);
      else if (hits.ArborHitFlag != 0)
        enter(kStopArbor);
    }
    if (checks.HeightCheck == kLimitCheckStop && hits.HeightHitFlag != 0) enter(kStopOverLength);
    if (checks.ChipWidthCheck == kLimitCheckStop && hits.ChipWidthHitFlag != 0)
      enter(kStopOverChip);
    if (checks.SpindleCheck == kCheckStop) {
      switch (SpindleConditionOf(nc, checks)) {
        case SpindleCondition::kStopped:
          enter(kStopSpindle);
          break;
        case SpindleCondition::kBelowRange:
          enter(kStopLowSpindle);
          break;
        case SpindleCondition::kAboveRange:
          enter(kStopOverSpindle);
          break;
        case SpindleCondition::kNone:
          break;
      }
    }
    if (checks.Interference == kCheckStop) {
      switch (RapidConditionOf(nc, checks)) {
        case RapidCondition::kRapidMove:
          enter(kStopRapid);
          break;
        case RapidCondition::kTooFast:
          enter(kStopTooFast);
          break;
        case RapidCondition::kNone:
          break;
      }
    }
  }
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    if (checks.Pairs[pair] == kCheckStop && hits.Pairs[pair] != 0)
      enter(StopKindOfPair(static_cast<InterferencePair>(pair)));
  }
  if (HasReportableInterference(nc, checks, work) != 0) return 1;
  return registered ? 0 : 1;
}

void GetInterferenceKindName(InterferenceStopState& stops, int32_t englishMode) {
  const char* suffix = InterferenceText(InterferenceTextId::kCollideSuffix).In(englishMode);
  const auto first =
      std::find_if(stops.Flags.begin(), stops.Flags.end(), [](uint8_t flag) { return flag != 0; });
  if (first == stops.Flags.end()) {
    stops.StatusText += suffix;
    return;
  }
  const size_t kind = static_cast<size_t>(first - stops.Flags.begin());
  stops.StatusText = kStopKinds[kind].StopName;
  if (!NamedWithoutSuffix(kind)) stops.StatusText += suffix;
}

const InterferenceKind& KindOfStop(size_t stopKind) { return kStopKinds[stopKind]; }

int32_t CodeOfPair(InterferencePair pair) { return kStopKinds[StopKindOfPair(pair)].Code; }

std::optional<InterferenceTextId> PlainKindText(int32_t code) {
  using Id = InterferenceTextId;
  switch (code) {
    case 2:
      return Id::kArbor;
    case 3:
      return Id::kOverLength;
    case 4:
      return Id::kBottom;
    case 5:
      return Id::kTaper;
    case 6:
      return Id::kTooFast;
    case 7:
      return Id::kOverload;
    case 8:
      return Id::kAttachment;
    case 9:
      return Id::kSpindleStop;
    case 101:
      return Id::kArcError;
    case 102:
      return Id::kZeroFeed;
    default:
      break;
  }
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    if (CodeOfPair(static_cast<InterferencePair>(pair)) == code)
      return static_cast<Id>(static_cast<size_t>(Id::kToolVice) + pair);
  }
  return std::nullopt;
}

}  // namespace vestan
