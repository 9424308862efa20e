// The run's state that the cutting kernel reads and writes: the modal values
// it tests, the face flags and attributes of the current move, and what a
// pose removed. The simulation run owns one and fills the rest of it; tests
// build their own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/interference_hits.h"

namespace vestan {

// Motion modes as the cutting code sees them: 0 and below rapid traverse,
// above 0 a cutting feed.
inline constexpr int32_t kMotionRapid = 0;
inline constexpr int32_t kMotionLinear = 1;
inline constexpr int32_t kMotionClockwise = 2;
inline constexpr int32_t kMotionCounterClockwise = 3;
inline constexpr int32_t kMotionNurbs = 0x84;

inline constexpr bool IsArcMotion(int32_t mode) {
  return mode == kMotionClockwise || mode == kMotionCounterClockwise;
}

struct RunState {
  // The motion mode of the move being cut (0 G00, 1-3 G01-G03, 0x84 NURBS)
  // and its NC cutting switch (the controller's OFF/ON CODE M codes), as
  // the move carries them.
  int32_t MotionMode = kMotionRapid;
  int32_t CuttingEnabled = 1;
  // 1 for moves inside an active canned cycle.
  int32_t CycleFeedFlag = 0;
  // Flag byte of the low and the high face a cut makes; the run sets both to
  // the tool's pen tag before each move, the cutters overwrite them per piece.
  std::array<uint8_t, 2> CutFaceFlags{};
  // Line reference of the NC block being executed, for both faces.
  std::array<int32_t, 2> CutFaceAttributes{};
  // Turn of the tool about its own axis at the current position, degrees.
  double ToolSpinAngle = 0.0;

  // Removed volume of the last pose, body and arbor passes included.
  double PoseRemovedVolume = 0.0;
  // 1 once the current move removed material; the run clears it per move.
  int32_t MoveCutFlag = 0;
  // One flag per process (a process begins at each tool change); an entry is
  // set when the process removed material.
  std::vector<int32_t> ProcessCutFlags;
  int32_t CurrentProcess = 0;

  // The step's hits; the kernel sets its cutting checks here, the run
  // reports and clears them.
  InterferenceHits Hits;

  // Sets the current process's cut flag; a process outside the array gets
  // the array grown to hold it (a negative process is ignored).
  void MarkProcessCut() {
    if (CurrentProcess < 0) return;
    const std::size_t index = static_cast<std::size_t>(CurrentProcess);
    if (index >= ProcessCutFlags.size()) ProcessCutFlags.resize(index + 1, 0);
    ProcessCutFlags[index] = 1;
  }
};

}  // namespace vestan
