#include "display/frame_readback.h"

namespace vestan {

FrameGeometry MakeFrameGeometry(int32_t width, int32_t height) {
  FrameGeometry frame;
  if (width <= 0 || height <= 0) return frame;
  frame.Width = width;
  frame.Height = height;
  frame.RowBytes = (3 * static_cast<size_t>(width) + 3) / 4 * 4;
  frame.ImageBytes = frame.RowBytes * static_cast<size_t>(height);
  return frame;
}

bool ReadFrameBuffer(GlCalls& gl, const FrameGeometry& frame, GlPixelFormat format,
                     std::vector<uint8_t>& pixels) {
  if (frame.ImageBytes == 0) {
    pixels.clear();
    return false;
  }
  // A framebuffer object has one colour buffer: no front or back to choose.
  pixels.assign(frame.ImageBytes, 0);
  gl.ReadPixels(frame.Width, frame.Height, format, pixels);
  return true;
}

}  // namespace vestan
