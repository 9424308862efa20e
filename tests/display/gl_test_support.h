// Support of the display tests that draw: an offscreen context that must
// open (a test fails loudly when it cannot, unless VESTAN_ALLOW_NO_GL is set,
// which turns the failure into a skip), and PNG files read back with libpng.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/offscreen_context.h"

namespace vestan::testing {

// Opens an offscreen context at the size in a test, or ends the test: as a
// failure, or as a skip where VESTAN_ALLOW_NO_GL is set.
#define VESTAN_OPEN_CONTEXT_OR_END(context, width, height)                                   \
  do {                                                                                       \
    std::string gl_reason_;                                                                  \
    if (!(context).Open((width), (height), &gl_reason_)) {                                   \
      if (std::getenv("VESTAN_ALLOW_NO_GL") != nullptr)                                      \
        GTEST_SKIP() << "no offscreen OpenGL here (VESTAN_ALLOW_NO_GL): " << gl_reason_;     \
      FAIL() << "the offscreen OpenGL context could not be made: " << gl_reason_;            \
    }                                                                                        \
  } while (0)

// A PNG file as 8-bit RGB rows, top row first.
struct PngRead {
  bool Ok = false;
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint8_t> Pixels;  // 3 bytes a pixel, rows not padded
  std::string Error;

  const uint8_t* At(uint32_t x, uint32_t y) const { return &Pixels[3 * (y * Width + x)]; }
};

inline PngRead ReadPng(const std::string& path) {
  PngRead out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    out.Error = image.message;
    return out;
  }
  image.format = PNG_FORMAT_RGB;
  out.Width = image.width;
  out.Height = image.height;
  out.Pixels.resize(PNG_IMAGE_SIZE(image));
  out.Ok = png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr) != 0;
  if (!out.Ok) out.Error = image.message;
  png_image_free(&image);
  return out;
}

}  // namespace vestan::testing
