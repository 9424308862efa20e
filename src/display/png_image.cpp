#include "display/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include "foundation/text_fields.h"

namespace vestan {

namespace {

// Where the encoder writes, and the first message libpng gave.
struct PngSink {
  std::string* Bytes = nullptr;
  char Message[200] = {};
};

void KeepMessage(PngSink& sink, const char* message) {
  if (sink.Message[0] == '\0' && message != nullptr)
    std::snprintf(sink.Message, sizeof sink.Message, "%s", message);
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  KeepMessage(*static_cast<PngSink*>(png_get_error_ptr(png)), message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  try {
    sink->Bytes->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
}

void OnPngFlush(png_structp) {}

// Encodes the rows (top first) into sink. Only plain data lives in this
// frame, since a libpng error jumps back into it.
bool EncodePng(png_bytepp rows, png_uint_32 width, png_uint_32 height, PngSink& sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError,
                                            OnPngWarning);
  if (png == nullptr) {
    KeepMessage(sink, "libpng could not start a PNG (version " PNG_LIBPNG_VER_STRING ")");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    KeepMessage(sink, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &sink, OnPngWrite, OnPngFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

}  // namespace

int32_t WritePngImage(std::string_view path, std::span<const uint8_t> pixels, size_t bytesPerRow,
                      int32_t width, int32_t height, std::string* error) {
  const size_t rowPixels = 3 * static_cast<size_t>(width > 0 ? width : 0);
  const bool fits = width > 0 && height > 0 && bytesPerRow >= rowPixels &&
                    pixels.size() >= rowPixels &&
                    (pixels.size() - rowPixels) / bytesPerRow >= static_cast<size_t>(height - 1);
  if (!fits) {
    SetError(error, "an image of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels does not fit its " + std::to_string(pixels.size()) + " bytes");
    return kPngBadImage;
  }
  // The frame comes bottom-up; the image starts with its top row.
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t r = 0; r < rows.size(); ++r)
    rows[r] = const_cast<png_bytep>(pixels.data() + (rows.size() - 1 - r) * bytesPerRow);
  std::string bytes;
  PngSink sink;
  sink.Bytes = &bytes;
  if (!EncodePng(rows.data(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 sink)) {
    SetError(error, std::string("the PNG image could not be made: ") + sink.Message);
    return kPngNotEncoded;
  }
  return ReplaceFileContents(path, bytes, error);
}

std::string PngImageName(std::string_view name) {
  std::string result(name);
  constexpr std::string_view kExtension = ".PNG";
  if (name.size() < kExtension.size() ||
      !EqualsIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension))
    result.append(kExtension);
  return result;
}

}  // namespace vestan
