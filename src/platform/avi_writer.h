// AVI movie files: one video stream of 24-bit bottom-up DIB frames, each
// frame a key frame in its own "00db" chunk, with the "idx1" index, written
// into a temporary file beside the target and renamed into place when the
// movie is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_open.h"

namespace vestan {

// What a movie's stream is: the frame size in pixels, the frame rate
// (frames per second) and the stream's name.
struct AviStreamFormat {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Rate = 1;
  std::string Name;
};

// Bytes of one frame row: 3 a pixel, raised to a multiple of 4.
size_t AviRowBytes(int32_t width);

// Results beside the file results of ReplacementFile.
inline constexpr int32_t kAviBadFormat = -20;  // a size or rate that cannot be a movie
inline constexpr int32_t kAviNotOpen = -21;    // no movie is being written

class AviWriter {
 public:
  AviWriter() = default;
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Starts a movie at path: kFileReplaced, kAviBadFormat or a file result,
  // with the reason in error. A movie already open is given up.
  int32_t Open(std::string_view path, const AviStreamFormat& format, std::string* error = nullptr);

  // Appends one frame: FrameBytes() bytes, rows bottom-up, blue, green, red
  // a pixel. False (nothing written) for a frame of another size, when no
  // movie is open, after a failed write, or when the file would outgrow the
  // 32-bit sizes of the format.
  bool AddFrame(std::span<const uint8_t> frame);

  // Writes the index and the frame count and renames the movie into place:
  // kFileReplaced, kAviNotOpen or a file result with the reason in error.
  int32_t Close(std::string* error = nullptr);

  bool IsOpen() const { return file_ != nullptr; }
  int32_t FrameCount() const { return frames_; }
  size_t FrameBytes() const { return frameBytes_; }

 private:
  // The temporary file; dropping it removes it.
  std::unique_ptr<ReplacementFile> file_;
  AviStreamFormat format_;
  size_t frameBytes_ = 0;
  int32_t frames_ = 0;
  uint64_t size_ = 0;           // bytes written so far
  uint64_t moviStart_ = 0;      // offset of the "movi" list's size field
  std::vector<uint8_t> index_;  // the "idx1" entries
  bool failed_ = false;
};

}  // namespace vestan
