// The tool table of the running program: per-tool arrays indexed by tool
// number 0..MaxToolNumber.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vestan {

inline constexpr int32_t kDefaultMaxToolNumber = 200;

struct ToolTable {
  // Highest tool number (the setting "MAX MAGAZINE"); fixed once allocated.
  int32_t MaxToolNumber = kDefaultMaxToolNumber;
  std::vector<uint8_t> Defined;
  std::vector<float> Lengths;
  std::vector<int32_t> Pens;

  // True for a tool number that indexes the arrays.
  bool InRange(int32_t tool) const {
    return tool >= 0 && static_cast<size_t>(tool) < Defined.size();
  }
};

// Sizes every array for MaxToolNumber + 1 tools.
void AllocToolTables(ToolTable& table);

}  // namespace vestan
