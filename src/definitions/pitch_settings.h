// The pitch values of the settings file: the work-model pitch, its automatic
// choice and the move pitch.
#pragma once

#include <cstdint>

namespace vestan {

// The pitch values of the settings ("PITCH(WORK)", "PITCH(MOVE)",
// "MINIMUM PITCH(WORK)" of section "Define"), with their defaults.
struct PitchSettings {
  int32_t AutoPitch = 0;          // 1 = choose the work pitch automatically
  uint32_t ValueBudget = 20000;   // most column values an automatic choice may give
  double WorkPitchSetting = 1.0;  // the user's or the last chosen pitch
  double MinimumPitch = 0.01;     // lower bound of an automatic choice; <= 0 none
  double WorkPitch = 1.0;         // the pitch handed to the stock creators
  int32_t MovePitchLinked = 0;    // 1 = move pitch follows the work pitch
  double MovePitchFactor = 1.0;
  double MovePitch = 1.0;
};

}  // namespace vestan
