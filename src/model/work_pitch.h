// Choosing the work-model pitch: the finest pitch of a fixed list whose model
// stays within a budget of column values, and the move pitch linked to it.
#pragma once

#include <cstdint>

#include "definitions/pitch_settings.h"
#include "foundation/vector_math.h"

namespace vestan {

// The work definition's minimum and maximum corner, kept by the shell.
struct WorkExtent {
  Vec3 Min{};
  Vec3 Max{};
};

// Candidate pitches, finest first.
inline constexpr double kPitchCandidates[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.025, 0.05, 0.1,
                                              0.2,   0.25,  0.5,   1.0,  1.5,  2.0,   2.5,  3.0,
                                              4.0,   5.0,   6.0,   7.0,  8.0,  9.0,   10.0};

// Sets WorkPitch (and, when linked, MovePitch). With automatic choice the
// first candidate whose model needs at most ValueBudget values becomes
// WorkPitchSetting (unchanged when none fits), raised to MinimumPitch. The
// extent is only read.
void ChooseWorkPitch(PitchSettings& pitch, const WorkExtent& extent);

}  // namespace vestan
