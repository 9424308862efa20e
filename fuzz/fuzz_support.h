// What the fuzz targets share: a scratch folder of the process for the files
// a reader opens, and a check that stops the run when a property fails.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/scratch_folder.h"

namespace vestan::fuzz {

// A property of the reader that does not hold: libFuzzer reports it as a
// crash and keeps the input that shows it.
#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The process's own folder under the temporary folder, made on first use and
// removed when the process ends normally. Its path ends in "/".
inline const testing::ScratchFolder& ProcessFolder() {
  static const testing::ScratchFolder folder;
  FUZZ_CHECK(!folder.Path().empty());
  return folder;
}

// Writes bytes to a file of the process folder and returns its path.
inline std::string WriteScratchFile(std::string_view name, std::string_view bytes) {
  return ProcessFolder().Write(name, bytes);
}

// A value along an axis of n grid lines 0 .. n - 1: a line, a point between
// two, or any point of the grid's extent.
inline double ValueAlong(FuzzedDataProvider& input, int32_t n) {
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<int32_t>(0, n - 1);
    case 1:
      return input.ConsumeIntegralInRange<int32_t>(0, 2 * (n - 1)) / 2.0;
    case 2:
      return input.ConsumeIntegralInRange<int32_t>(0, 4 * (n - 1)) / 4.0;
    default:
      return input.ConsumeFloatingPointInRange<double>(0, n - 1);
  }
}

}  // namespace vestan::fuzz
