#include "display/offscreen_context.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/frame_readback.h"
#include "display/gl_calls.h"
#include "gl_test_support.h"

namespace vestan {
namespace {

// The frame's pixel (x, y from the bottom).
const uint8_t* PixelAt(const std::vector<uint8_t>& pixels, const FrameGeometry& frame, int x,
                       int y) {
  return &pixels[static_cast<size_t>(y) * frame.RowBytes + 3 * static_cast<size_t>(x)];
}

TEST(OffscreenContext, ClearsAndReadsBackAFrameInBothByteOrders) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 5, 3);
  EXPECT_EQ(context.Width(), 5);
  EXPECT_EQ(context.Height(), 3);
  EXPECT_NE(context.Description().find("OpenGL"), std::string::npos) << context.Description();

  OpenGlCalls gl;
  gl.ClearColour({1.0f, 0.5f, 0.0f, 1.0f});
  gl.Clear();
  const FrameGeometry frame = MakeFrameGeometry(5, 3);
  std::vector<uint8_t> pixels;
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  ASSERT_EQ(pixels.size(), 48u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const uint8_t* p = PixelAt(pixels, frame, x, y);
      EXPECT_EQ(p[0], 255);
      EXPECT_NEAR(p[1], 128, 1);
      EXPECT_EQ(p[2], 0);
    }
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kBgr, pixels));
  EXPECT_EQ(PixelAt(pixels, frame, 4, 2)[0], 0);
  EXPECT_EQ(PixelAt(pixels, frame, 4, 2)[2], 255);
}

TEST(OffscreenContext, ResizesKeepingItsListsAndRefusesASizeItCannotHave) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 16, 16);
  OpenGlCalls gl;
  const uint32_t base = gl.GenLists(400034);
  ASSERT_NE(base, 0u);
  gl.NewList(base + 34);
  gl.ClearColour({0, 0, 1, 1});
  gl.EndList();

  // A list ended that was never begun leaves a GL error behind, which is
  // not the new framebuffer's.
  gl.EndList();
  std::string error;
  ASSERT_TRUE(context.Resize(40, 20, &error)) << error;
  EXPECT_EQ(context.Width(), 40);
  EXPECT_TRUE(gl.IsList(base + 34));

  EXPECT_FALSE(context.Resize(1000000, 20, &error));
  EXPECT_NE(error.find("1000000 x 20"), std::string::npos) << error;
  // The old framebuffer stays in use.
  EXPECT_EQ(context.Width(), 40);
  gl.CallList(base + 34);
  gl.Clear();
  std::vector<uint8_t> pixels;
  ASSERT_TRUE(ReadFrameBuffer(gl, MakeFrameGeometry(40, 20), GlPixelFormat::kRgb, pixels));
  EXPECT_EQ(pixels[2], 255);

  // A second context beside the first, and the first still works after the
  // second has gone.
  {
    OffscreenContext other;
    VESTAN_OPEN_CONTEXT_OR_END(other, 8, 8);
    EXPECT_FALSE(gl.IsList(base + 34));  // lists belong to their context
  }
  ASSERT_TRUE(context.MakeCurrent());
  EXPECT_TRUE(gl.IsList(base + 34));
}

TEST(OffscreenContext, AnEmptyViewIsRefusedWithItsReason) {
  OffscreenContext context;
  std::string error;
  EXPECT_FALSE(context.Open(0, 10, &error));
  EXPECT_FALSE(context.IsOpen());
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(context.MakeCurrent());
}

}  // namespace
}  // namespace vestan
