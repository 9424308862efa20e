// DXF tool outlines: the reader on any file, then the classification and
// dimensions the tool table takes from a chained outline.
#include "definitions/dxf_profile.h"

#include <array>
#include <span>
#include <vector>

#include "definitions/tool_geometry.h"
#include "fuzz_support.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("outline.dxf", fuzz::AsText(data, size));
  int32_t count = -7;
  std::vector<ProfileSegment> segments;
  std::array<double, 2> maximum{-3, -3};
  const DxfProfileRead read = ReadDxfProfile(path, count, segments, maximum);
  if (read.Status != DxfProfileStatus::kRead) {
    FUZZ_CHECK(count == -7 && segments.empty());
    return 0;
  }
  FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= segments.size());
  FUZZ_CHECK(segments.size() <= kMaxProfileSegments);
  if (count < 1) return 0;
  std::span<ProfileSegment> chain(segments.data(), static_cast<size_t>(count));
  const ProfileClassStarts starts = ClassifyProfileSegments(chain);
  for (const int32_t start : starts) FUZZ_CHECK(start >= -1 && start < count);
  DeriveToolFromProfile(chain, starts);
  return 0;
}
