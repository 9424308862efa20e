#include "simulation/interference_bookkeeping.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "simulation/run_world.h"

namespace vestan {
namespace {

using testing::RunWorld;

bool IsBasic(size_t pair) {
  return pair == kPairToolBasic || pair == kPairArborBasic || pair == kPairHead2Basic ||
         pair == kPairHead1Basic || pair == kPairHeadBasic;
}

TEST(InterferenceBookkeepingTest, BreakClassHitsOfTheCuttingKinds) {
  struct Case {
    const char* name;
    std::function<void(RunWorld&)> set;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {"nothing", [](RunWorld&) {}, 0},
      {"G00 cut",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Run.MotionMode = 0;
       },
       1},
      // feed == limit counts (at or above)
      {"feed at the limit",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Nc.Move.Feed = 5000.0;
       },
       1},
      {"feed below the limit",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Nc.Move.Feed = 4999.9;
       },
       0},
      {"G00 without contact",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Run.MotionMode = 0;
         w.Hits().ContactFlag = 0;
       },
       0},
      {"G00 on an ignored workpiece",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Run.MotionMode = 0;
         w.Work.WorkState = kWorkIgnored;
       },
       0},
      {"G00 without a workpiece",
       [](RunWorld& w) {
         w.Checks().Interference = 1;
         w.Run.MotionMode = 0;
         w.Work.WorkPresent = 0;
       },
       0},
      {"G00 with the rapid check at stop",
       [](RunWorld& w) {
         w.Checks().Interference = 2;
         w.Run.MotionMode = 0;
       },
       0},
      {"attachment, arbor check break",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 3;
         w.Hits().AttachmentHitFlag = 1;
       },
       1},
      {"taper, arbor check break",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 3;
         w.Hits().BodyHitFlag = 1;
       },
       1},
      {"arbor, arbor check stop",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 4;
         w.Hits().ArborHitFlag = 1;
       },
       0},
      {"over length, break",
       [](RunWorld& w) {
         w.Checks().HeightCheck = 2;
         w.Hits().HeightHitFlag = 1;
       },
       1},
      {"over length, output only",
       [](RunWorld& w) {
         w.Checks().HeightCheck = 1;
         w.Hits().HeightHitFlag = 1;
       },
       0},
      {"bottom, break",
       [](RunWorld& w) {
         w.Checks().ChipWidthCheck = 2;
         w.Hits().ChipWidthHitFlag = 1;
       },
       1},
      {"spindle stopped",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Nc.Modal.SpindleState = 0;
       },
       1},
      {"speed below the range",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Nc.Modal.SpindleSpeed = 99.9;
       },
       1},
      {"speed at the top of the range",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Nc.Modal.SpindleSpeed = 1000.0;
       },
       0},
      {"speed above the range",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Nc.Modal.SpindleSpeed = 1000.5;
       },
       1},
      {"M04 far outside the range",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Nc.Modal.SpindleState = -1;
         w.Nc.Modal.SpindleSpeed = 5;
       },
       0},
      {"no range given",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 1;
         w.Checks().SpindleLimitsGiven = 0;
         w.Nc.Modal.SpindleSpeed = 5;
       },
       0},
      {"a further pair",
       [](RunWorld& w) {
         w.Checks().PartChecks = {1};
         w.Hits().FurtherPairs[0] = 1;
       },
       0},
  };
  for (const Case& c : cases) {
    RunWorld w;
    w.CuttingStep();
    c.set(w);
    EXPECT_EQ(HasReportableInterference(w.Nc, w.Checks(), w.Work), c.expected) << c.name;
  }
}

TEST(InterferenceBookkeepingTest, OnlyTheTwentyPairsThatAreNotBasicBreakTheRun) {
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    RunWorld w;
    w.Work.WorkPresent = 0;  // the pairs do not need a workpiece
    w.Checks().Pairs[pair] = 1;
    w.Hits().Pairs[pair] = 1;
    EXPECT_EQ(HasReportableInterference(w.Nc, w.Checks(), w.Work), IsBasic(pair) ? 0 : 1)
        << kPairCheckKeys[pair];
    w.Checks().Pairs[pair] = 2;
    EXPECT_EQ(HasReportableInterference(w.Nc, w.Checks(), w.Work), 0) << kPairCheckKeys[pair];
  }
}

TEST(InterferenceBookkeepingTest, SettingsBelowTheirStopValueRegisterNothing) {
  RunWorld w;
  w.CuttingStep();
  InterferenceCheckSettings& c = w.Checks();
  c.Interference = 1;
  c.ArborCheck = 3;
  c.HeightCheck = 2;
  c.ChipWidthCheck = 2;
  c.SpindleCheck = 1;
  c.Pairs.fill(1);
  InterferenceHits& h = w.Hits();
  h.ArborHitFlag = h.BodyHitFlag = h.AttachmentHitFlag = h.HeightHitFlag = h.ChipWidthHitFlag = 1;
  h.Pairs.fill(1);
  w.Run.MotionMode = kMotionRapid;
  w.Nc.Modal.SpindleState = 0;
  UpdateMachineCheckFlag(c);
  ASSERT_EQ(c.MachineCheckStops, 0);
  InterferenceStopState stops;
  EXPECT_EQ(CheckStopOnInterference(w.Nc, c, w.Work, stops), 1);
  // A stop flag left standing by a stale setting changes nothing either.
  c.MachineCheckStops = 1;
  EXPECT_EQ(CheckStopOnInterference(w.Nc, c, w.Work, stops), 1);
  EXPECT_EQ(stops.Flags, InterferenceStopState{}.Flags);
  EXPECT_EQ(stops.ReportState, kReportNothingPending);
}

// The stop flags set, by name.
std::vector<std::string> Registered(const InterferenceStopState& stops) {
  std::vector<std::string> names;
  for (size_t kind = 0; kind < kStopKindCount; ++kind)
    if (stops.Flags[kind] != 0) names.emplace_back(KindOfStop(kind).StopName);
  return names;
}

TEST(InterferenceBookkeepingTest, StopClassHitsAreRegistered) {
  using Names = std::vector<std::string>;
  struct Case {
    const char* name;
    std::function<void(RunWorld&)> set;
    Names registered;
  };
  const std::vector<Case> cases = {
      {"taper before arbor",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 4;
         w.Hits().BodyHitFlag = 1;
         w.Hits().ArborHitFlag = 1;
       },
       {"TAPER"}},
      {"attachment before arbor",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 4;
         w.Hits().AttachmentHitFlag = 1;
         w.Hits().ArborHitFlag = 1;
       },
       {"ATTACHMENT"}},
      {"arbor alone",
       [](RunWorld& w) {
         w.Checks().ArborCheck = 4;
         w.Hits().ArborHitFlag = 1;
       },
       {"ARBOR"}},
      {"over length and bottom",
       [](RunWorld& w) {
         w.Checks().HeightCheck = 3;
         w.Checks().ChipWidthCheck = 3;
         w.Hits().HeightHitFlag = 1;
         w.Hits().ChipWidthHitFlag = 1;
       },
       {"OVER LENGTH", "OVER CHIP"}},
      {"spindle stopped",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 2;
         w.Nc.Modal.SpindleState = 0;
       },
       {"SPINDLE"}},
      {"low spindle",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 2;
         w.Nc.Modal.SpindleSpeed = 50;
       },
       {"LOW SPINDLE"}},
      {"over spindle",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 2;
         w.Nc.Modal.SpindleSpeed = 5000;
       },
       {"OVER SPINDLE"}},
      {"M04 is never a speed hit",
       [](RunWorld& w) {
         w.Checks().SpindleCheck = 2;
         w.Nc.Modal.SpindleState = -1;
         w.Nc.Modal.SpindleSpeed = 5000;
       },
       {}},
      {"G00 cut",
       [](RunWorld& w) {
         w.Checks().Interference = 2;
         w.Run.MotionMode = 0;
       },
       {"RAPID(G00)"}},
      {"too fast",
       [](RunWorld& w) {
         w.Checks().Interference = 2;
         w.Nc.Move.Feed = 5000;
       },
       {"TOO FAST"}},
      {"no contact: only the pairs",
       [](RunWorld& w) {
         w.Hits().ContactFlag = 0;
         w.Checks().HeightCheck = 3;
         w.Hits().HeightHitFlag = 1;
         w.Checks().Pairs[kPairHeadBasic] = 2;
         w.Hits().Pairs[kPairHeadBasic] = 1;
       },
       {"HEADvsBASIC"}},
  };
  for (const Case& c : cases) {
    RunWorld w;
    w.CuttingStep();
    c.set(w);
    UpdateMachineCheckFlag(w.Checks());
    InterferenceStopState stops;
    const int32_t result = CheckStopOnInterference(w.Nc, w.Checks(), w.Work, stops);
    EXPECT_EQ(Registered(stops), c.registered) << c.name;
    // Something registered pauses the run; nothing registered breaks it off.
    EXPECT_EQ(result, c.registered.empty() ? 1 : 0) << c.name;
    EXPECT_EQ(stops.ReportState, c.registered.empty() ? kReportNothingPending : kReportPending)
        << c.name;
  }
}

TEST(InterferenceBookkeepingTest, EveryNamedPairRegistersItsOwnFlag) {
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    RunWorld w;
    w.Checks().Pairs[pair] = 2;
    w.Hits().Pairs[pair] = 1;
    UpdateMachineCheckFlag(w.Checks());
    InterferenceStopState stops;
    EXPECT_EQ(CheckStopOnInterference(w.Nc, w.Checks(), w.Work, stops), 0);
    const std::string key = kPairCheckKeys[pair];  // "HEAD1-TABLE CHECK"
    const std::string group = key.substr(0, key.find('-'));
    const std::string partner = key.substr(key.find('-') + 1, key.find(' ') - key.find('-') - 1);
    const std::string name = group == "TOOL" ? partner : group + "vs" + partner;
    EXPECT_EQ(Registered(stops), std::vector<std::string>{name}) << key;
  }
}

TEST(InterferenceBookkeepingTest, ABreakHitAtAStopStepBreaksTheRunOff) {
  RunWorld w;
  w.CuttingStep();
  w.Checks().Pairs[kPairHeadWork] = 2;
  w.Hits().Pairs[kPairHeadWork] = 1;  // stop
  w.Checks().Pairs[kPairToolVice] = 1;
  w.Hits().Pairs[kPairToolVice] = 1;  // break
  UpdateMachineCheckFlag(w.Checks());
  InterferenceStopState stops;
  stops.ReportState = kReportWritten;  // an earlier entry was written
  EXPECT_EQ(CheckStopOnInterference(w.Nc, w.Checks(), w.Work, stops), 1);
  EXPECT_EQ(Registered(stops), std::vector<std::string>{"HEADvsWORK"});
  EXPECT_EQ(stops.ReportState, kReportWritten) << "raised only from nothing pending";
}

TEST(InterferenceBookkeepingTest, KindNameOfTheFirstStopFlag) {
  struct Case {
    std::vector<size_t> flags;
    int32_t english;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {{kStopOverLength}, 1, "OVER LENGTH"},
      {{kStopOverChip}, 0, "OVER CHIP"},
      {{kStopSpindle}, 1, "SPINDLE"},
      {{kStopLowSpindle}, 1, "LOW SPINDLE"},
      {{kStopOverSpindle}, 0, "OVER SPINDLE"},
      {{kStopTaper}, 1, "TAPER Collide"},
      {{kStopTaper}, 0, "TAPER干渉"},
      {{kStopOverSpindle, kStopRapid}, 1, "RAPID(G00) Collide"},
      {{StopKindOfPair(kPairHead1Vice), StopKindOfPair(kPairHeadWork)}, 1, "HEAD1vsVICE Collide"},
      {{StopKindOfPair(kPairToolTable2)}, 0, "TABLE2干渉"},
  };
  for (const Case& c : cases) {
    InterferenceStopState stops;
    stops.StatusText = "old text";
    for (size_t kind : c.flags) stops.Flags[kind] = 1;
    GetInterferenceKindName(stops, c.english);
    EXPECT_EQ(stops.StatusText, c.expected);
  }
  InterferenceStopState none;
  none.StatusText = "TAPER";
  GetInterferenceKindName(none, 1);
  EXPECT_EQ(none.StatusText, "TAPER Collide") << "with no flag only the suffix is appended";
}

}  // namespace
}  // namespace vestan
