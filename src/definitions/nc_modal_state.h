// The NC interpreter's modal state and subprogram levels as far as the
// definition readers set them: the working plane with its axes, the
// tool-length axis, the pending end-of-move queue, and the call levels that a
// controller definition read clears. The interpreter completes both records.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vestan {

// The controller's mapping of the program planes onto the machine: the
// signed machine plane code of G17, G18 and G19 (negative: one axis
// reversed), and the machine axes of program X and Y (in cyclic order) and of
// program Z.
struct PlaneMapping {
  std::array<int32_t, 3> Codes{17, 18, 19};
  std::array<int32_t, 3> ProgramAxes{0, 1, 2};
};

struct NcModalState {
  // 17 XY, 18 ZX, 19 YZ; negative when the machine plane has a reversed axis.
  int32_t PlaneCode = 17;
  // First, second and normal axis of the plane (0 X, 1 Y, 2 Z).
  std::array<int32_t, 3> PlaneAxes{0, 1, 2};
  int32_t ToolLengthAxis = 2;
  // Pending end-of-move entries and the next one to run.
  int32_t PendingMoveEndCount = 0;
  int32_t PendingMoveEndIndex = 0;
};

inline constexpr int32_t kMaxSubprogramLevels = 4;

struct SubprogramLevel {
  int32_t InMemory = 0;
  std::string Name;  // at most 32 characters
  uint32_t CallerLine = 0;
};

struct SubprogramStack {
  int32_t Depth = 0;  // 0: the main program
  std::array<SubprogramLevel, kMaxSubprogramLevels> Levels{};
  std::string Folder;     // of the NC program, with its separator
  std::string BuiltPath;  // folder + called name
};

inline void ClearSubprogramStack(SubprogramStack& stack) { stack = SubprogramStack{}; }

// Maps the plane code (17, 18, anything else counts as 19) through the
// controller's plane codes to the machine plane and sets the plane's axes:
// the first mapping whose code is the plane or its negative gives the plane
// (17 with axes 0, 1, 2; 18 with 2, 0, 1; 19 with 1, 2, 0), signed as found.
inline void SelectPlaneAxes(const PlaneMapping& mapping, NcModalState& state) {
  const int32_t plane = state.PlaneCode == 17 || state.PlaneCode == 18 ? state.PlaneCode : 19;
  const auto sign = [plane](int32_t code) { return code == plane ? 1 : -1; };
  if (mapping.Codes[0] == plane || mapping.Codes[0] == -plane) {
    state.PlaneCode = 17 * sign(mapping.Codes[0]);
    state.PlaneAxes = {0, 1, 2};
  } else if (mapping.Codes[1] == plane || mapping.Codes[1] == -plane) {
    state.PlaneCode = 18 * sign(mapping.Codes[1]);
    state.PlaneAxes = {2, 0, 1};
  } else {
    state.PlaneCode = mapping.Codes[2] == plane ? 19 : -19;
    state.PlaneAxes = {1, 2, 0};
  }
}

}  // namespace vestan
