// Reading a rendered frame back: the frame's geometry (rows of 3 bytes a
// pixel, each padded to a multiple of 4 bytes, bottom-up as OpenGL gives
// them) and the read itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/gl_calls.h"

namespace vestan {

struct FrameGeometry {
  int32_t Width = 0;
  int32_t Height = 0;
  // 3 x width raised to the next multiple of 4.
  size_t RowBytes = 0;
  // RowBytes x height.
  size_t ImageBytes = 0;
};

// The geometry of a view of width x height pixels; all zero when either is
// not positive.
FrameGeometry MakeFrameGeometry(int32_t width, int32_t height);

// Reads the whole frame of the current context in the given format into
// pixels, which is resized to the image bytes. False (pixels emptied) for an
// empty frame.
bool ReadFrameBuffer(GlCalls& gl, const FrameGeometry& frame, GlPixelFormat format,
                     std::vector<uint8_t>& pixels);

}  // namespace vestan
