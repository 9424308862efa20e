// Reading a tool outline drawn in a text DXF file: the half-section of the
// tool (x radial, y along the axis) as LINE and ARC entities, moved to the
// origin and chained into one path from the lowest point.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "definitions/definition_file.h"
#include "definitions/tool_table.h"

namespace vestan {

inline constexpr size_t kMaxProfileSegments = 300;
inline constexpr size_t kMaxLineTypes = 200;
// Linetype names are compared over at most this many characters.
inline constexpr size_t kMaxLineTypeName = 63;

enum class DxfProfileStatus {
  kRead,        // segments read and chained (the chain may still be empty)
  kCannotOpen,  // the file is missing or not a readable file
  kNoElements,  // no LINE or ARC in the file
  kDamaged,     // not a text DXF: a group code or a value that cannot be read
};

struct DxfProfileRead {
  DxfProfileStatus Status = DxfProfileStatus::kCannotOpen;
  // Why the file was refused, and the limits it ran into (more than 300
  // elements, a full linetype table, over-long linetype names).
  std::vector<DefinitionNote> Notes;
};

// Reads the outline of fileName into segments (at most 300 elements; the
// first `count` of them form the chain in path order, the rest did not
// connect), writes the number chained to count and the largest x and y of
// the moved outline to maximum. On any status but kRead, count, segments and
// maximum are left as they were; maximum also when every element was an
// axis line.
DxfProfileRead ReadDxfProfile(std::string_view fileName, int32_t& count,
                              std::vector<ProfileSegment>& segments,
                              std::array<double, 2>& maximum);

// An angle (degrees) whose magnitude is below 1e-5 becomes exactly 0.
void SnapNearZeroAngle(double& angle);

}  // namespace vestan
