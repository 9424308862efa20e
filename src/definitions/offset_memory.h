// The controller's offset memory: tool radius (D) and length (H) offsets,
// the F table, reference points and work offsets; its "MEMORY" lines in the
// controller definition file, composing the active work offset, and writing
// the offsets back into that file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_file.h"

namespace vestan {

struct ControllerDefinition;

inline constexpr int32_t kOffsetNumbers = 1000;     // D, H and F numbers index 0..999
inline constexpr int32_t kWorkOffsetEntries = 201;  // EXOFS, G54-G59, WK7-WK200
inline constexpr int32_t kReferencePointCount = 4;

// X, Y, Z, rotary 1, rotary 2.
using WorkOffsetValues = std::array<double, 5>;

struct ReferencePoint {
  int32_t Given = 0;
  std::array<float, 5> Values{};

  friend bool operator==(const ReferencePoint&, const ReferencePoint&) = default;
};

struct OffsetMemory {
  // Indexed by the D or H number 1-999 (0 unused) and the F number 0-999.
  std::vector<float> DGeometry = std::vector<float>(kOffsetNumbers, 0.0f);
  std::vector<float> DWear = std::vector<float>(kOffsetNumbers, 0.0f);
  std::vector<float> HGeometry = std::vector<float>(kOffsetNumbers, 0.0f);
  std::vector<float> HWear = std::vector<float>(kOffsetNumbers, 0.0f);
  std::vector<float> FTable = std::vector<float>(kOffsetNumbers, 0.0f);
  std::array<ReferencePoint, kReferencePointCount> ReferencePoints{};
  // Entry 0 the external offset, 1-6 G54-G59, 7-200 the extended offsets.
  std::vector<WorkOffsetValues> WorkOffsets =
      std::vector<WorkOffsetValues>(kWorkOffsetEntries, WorkOffsetValues{});
  // 0 none, 1-6 G54-G59, otherwise the extended number.
  int32_t SelectedWorkOffset = 1;
  WorkOffsetValues ActiveWorkOffset{};

  friend bool operator==(const OffsetMemory&, const OffsetMemory&) = default;
};

// What a controller definition read clears: the D and H offsets, every work
// offset and the reference points' given flags; G54 is selected again. The
// F table keeps its values.
void ClearOffsetMemoryForRead(OffsetMemory& memory);

// Reads one offset line from `cursor`: behind "MEMORY" and its blanks and
// "=", or at the start of a line that begins with D, H or F and a digit.
// Numbers outside their table are refused with a message in refused; a line
// of no known form changes nothing. Returns false for such a line.
bool ReadOffsetMemoryLine(std::string_view line, size_t cursor, OffsetMemory& memory,
                          std::vector<std::string>& refused);

// Recomputes the active work offset: the external offset plus the selected
// one (the external offset alone when none is selected or the selection is
// outside the table), and returns it. The work offset frame follows it in
// the caller, which has the machine's kinematics (UpdateWorkOffsetFrame).
const WorkOffsetValues& ComposeWorkOffset(OffsetMemory& memory);

// Appends "(x,y,z,r1,r2)" with each value printed to six decimals and then
// trimmed of trailing zeros (and of the point when nothing follows it),
// then the line end.
void WriteOffsetValues(std::string& out, const WorkOffsetValues& values, std::string_view lineEnd);

// Results of the writers.
inline constexpr int32_t kOffsetsSaved = 1;
inline constexpr int32_t kOffsetsNotRead = -1;      // the file could not be read
inline constexpr int32_t kOffsetsNotWritten = -2;   // ".new" could not be written whole
inline constexpr int32_t kOffsetsNotReplaced = -3;  // a rename failed; the file is as before
inline constexpr int32_t kOffsetsNotFinite = -4;    // a value is no finite number; nothing written

enum class ToolOffsetKind : int32_t { kRadius = 0, kLength = 1 };

// Rewrite the offset lines of the controller definition file fileName: the
// D (kind 0) or H (kind 1) lines, or the work offset lines. Every other line
// stays as it was, in its place and with its line ending; a line whose
// offset is now zero is dropped and offsets not yet in the file are added at
// the end; an offset whose values print as 0 counts as zero. An offset that
// is not a finite number would not read back: the writer then saves nothing
// (kOffsetsNotFinite). The new text goes to fileName + ".new", the old file
// becomes fileName + ".bak" and ".new" takes its place; the stored time is
// then refreshed so the change check does not read the file again. On failure
// the file, ".bak" and the stored time stay as they were, and error (when
// given) says why.
int32_t SaveToolOffsetMemory(ToolOffsetKind kind, std::string_view fileName,
                             const OffsetMemory& memory, const ControllerDefinition& controller,
                             WatchedFile& watch, std::string* error = nullptr);
int32_t SaveWorkOffsetMemory(std::string_view fileName, const OffsetMemory& memory,
                             const ControllerDefinition& controller, WatchedFile& watch,
                             std::string* error = nullptr);

}  // namespace vestan
