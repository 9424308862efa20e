// The parts of the NC interpreter's state that the definition readers set:
// the working plane with its axes and the tool-length axis, the pending
// end-of-move queue, and the subprogram levels that a controller definition
// read clears. The interpreter's modal state (nc/) contains the first two.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_open.h"

namespace vestan {

// The controller's mapping of the program planes onto the machine: the
// signed machine plane code of G17, G18 and G19 (negative: one axis
// reversed), and the machine axes of program X and Y (in cyclic order) and of
// program Z.
struct PlaneMapping {
  std::array<int32_t, 3> Codes{17, 18, 19};
  std::array<int32_t, 3> ProgramAxes{0, 1, 2};

  friend bool operator==(const PlaneMapping&, const PlaneMapping&) = default;
};

struct NcPlaneState {
  // 17 XY, 18 ZX, 19 YZ; negative when the machine plane has a reversed axis.
  int32_t PlaneCode = 17;
  // First, second and normal axis of the plane (0 X, 1 Y, 2 Z).
  std::array<int32_t, 3> PlaneAxes{0, 1, 2};
  int32_t ToolLengthAxis = 2;

  friend bool operator==(const NcPlaneState&, const NcPlaneState&) = default;
};

// One queued end of move: the axes it sets and their machine positions
// (X, Y, Z, rotary 1, rotary 2).
struct PendingMoveEnd {
  std::array<int32_t, 5> AxisGiven{};
  std::array<double, 5> Machine{};
};

// End-of-move entries the interpreter queues; while Count is above 0 the run
// takes them one by one (from ReadIndex) instead of reading a line.
struct PendingMoveEnds {
  int32_t Count = 0;
  int32_t ReadIndex = 0;
  std::vector<PendingMoveEnd> Entries;
};

inline constexpr int32_t kMaxSubprogramLevels = 4;

struct SubprogramLevel {
  // Non-zero: the level reads the program held in memory, not a file.
  int32_t InMemory = 0;
  FileStream Stream;  // the level's file; none for an in-memory level
  std::string Name;   // as called, whole
  // Lines read at this level; an in-memory level starts at its "O" line's
  // number.
  uint32_t LineCounter = 0;
  // In-memory levels: the program's entry in the loaded program's index and
  // the bytes consumed from its "O" line on.
  int32_t ProgramIndex = 0;
  uint32_t ByteOffset = 0;
};

struct SubprogramStack {
  int32_t Depth = 0;  // 0: the main program
  std::array<SubprogramLevel, kMaxSubprogramLevels> Levels{};
  std::string Folder;     // of the NC program, with its separator
  std::string BuiltPath;  // folder + called name
};

// Every level closed and forgotten, the folder too.
inline void ClearSubprogramStack(SubprogramStack& stack) { stack = SubprogramStack{}; }

// Maps the plane code (17, 18, anything else counts as 19) through the
// controller's plane codes to the machine plane and sets the plane's axes:
// the first mapping whose code is the plane or its negative gives the plane
// (17 with axes 0, 1, 2; 18 with 2, 0, 1; 19 with 1, 2, 0), signed as found.
inline void SelectPlaneAxes(const PlaneMapping& mapping, NcPlaneState& state) {
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
