// The movie settings: when a frame is taken, and whether recording is on.
#pragma once

#include <cstdint>

namespace vestan {

struct MovieSettings {
  // Frame timings, each 0 or 1, set by the movie settings dialog.
  int32_t FrameOnToolChange = 0;
  int32_t FrameOnAxisChange = 0;
  int32_t FrameEveryBlock = 0;
  int32_t FrameOnUpdate = 0;
  // Non-zero while any frame timing is set.
  int32_t Recording = 0;
};

}  // namespace vestan
