// PNG images of the view: a frame as read back (RGB rows, bottom-up, each
// padded) written as an 8-bit RGB PNG with its top row first, and the image
// file name the save command writes to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_open.h"

namespace vestan {

// Results of WritePngImage beside the file results of ReplaceFileContents
// (kFileReplaced on success).
inline constexpr int32_t kPngBadImage = -10;     // sizes that do not fit the pixels
inline constexpr int32_t kPngNotEncoded = -11;  // libpng refused the image

// Writes the image to path through a temporary file beside it, so that a
// failure leaves any previous file whole and no partial file behind. pixels
// holds height rows of bytesPerRow bytes, the bottom row first, 3 bytes
// (red, green, blue) a pixel. Returns kFileReplaced or a negative code with
// the reason in error when given.
int32_t WritePngImage(std::string_view path, std::span<const uint8_t> pixels, size_t bytesPerRow,
                      int32_t width, int32_t height, std::string* error = nullptr);

// The name an image is saved under: the name as given when it ends in
// ".PNG" in any case, else with ".PNG" appended.
std::string PngImageName(std::string_view name);

}  // namespace vestan
