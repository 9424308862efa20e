#include "platform/avi_writer.h"

#include <array>
#include <cstring>
#include <limits>

namespace vestan {

namespace {

constexpr uint32_t kAviHasIndex = 0x10;  // AVIF_HASINDEX
constexpr uint32_t kKeyFrame = 0x10;     // AVIIF_KEYFRAME
constexpr size_t kMainHeaderBytes = 56;
constexpr size_t kStreamHeaderBytes = 56;
constexpr size_t kBitmapHeaderBytes = 40;
// Offsets of the fields written again at the close.
constexpr uint64_t kRiffSizeAt = 4;
constexpr uint64_t kTotalFramesAt = 12 + 12 + 8 + 16;  // avih's dwTotalFrames
// A frame larger than this is no movie of a view.
constexpr int32_t kMaxSide = 32767;

// Little-endian bytes, as RIFF files hold them.
class Bytes {
 public:
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  Bytes& U16(uint16_t v) {
    out_.push_back(static_cast<char>(v & 0xFF));
    out_.push_back(static_cast<char>(v >> 8));
    return *this;
  }
  Bytes& Code(const char (&fourcc)[5]) {
    out_.append(fourcc, 4);
    return *this;
  }
  Bytes& Raw(std::string_view bytes) {
    out_.append(bytes);
    return *this;
  }
  const std::string& Text() const { return out_; }
  size_t Size() const { return out_.size(); }

 private:
  std::string out_;
};

std::string U32Bytes(uint32_t v) { return Bytes().U32(v).Text(); }

// The headers up to the "movi" list's data; the sizes that only the close
// knows are written as 0.
std::string HeaderBytes(const AviStreamFormat& f, size_t frameBytes) {
  const auto w = static_cast<uint32_t>(f.Width), h = static_cast<uint32_t>(f.Height);
  const auto rate = static_cast<uint32_t>(f.Rate);
  const auto image = static_cast<uint32_t>(frameBytes);
  // The stream's name with its terminating NUL, padded to an even length.
  std::string name = f.Name;
  name.push_back('\0');
  if (name.size() % 2 != 0) name.push_back('\0');

  Bytes strl;
  strl.Code("strh").U32(kStreamHeaderBytes);
  strl.Code("vids").Code("DIB ");  // uncompressed frames
  strl.U32(0).U16(0).U16(0).U32(0);        // flags, priority, language, initial frames
  strl.U32(1).U32(rate).U32(0).U32(0);     // scale, rate, start, length
  strl.U32(image).U32(0xFFFFFFFFu).U32(0);  // buffer size, quality (default), sample size
  strl.U16(0).U16(0).U16(static_cast<uint16_t>(w)).U16(static_cast<uint16_t>(h));
  strl.Code("strf").U32(kBitmapHeaderBytes);
  strl.U32(kBitmapHeaderBytes).U32(w).U32(h);  // positive height: bottom-up rows
  strl.U16(1).U16(24).U32(0).U32(image);       // planes, bits, BI_RGB, image size
  strl.U32(0).U32(0).U32(0).U32(0);            // resolution and colour table
  strl.Code("strn").U32(static_cast<uint32_t>(name.size())).Raw(name);

  Bytes hdrl;
  hdrl.Code("avih").U32(kMainHeaderBytes);
  hdrl.U32(1000000u / rate).U32(image * rate).U32(0).U32(kAviHasIndex);
  hdrl.U32(0).U32(0).U32(1).U32(image);  // total frames, initial frames, streams, buffer
  hdrl.U32(w).U32(h).U32(0).U32(0).U32(0).U32(0);
  hdrl.Code("LIST").U32(static_cast<uint32_t>(4 + strl.Size())).Code("strl").Raw(strl.Text());

  Bytes file;
  file.Code("RIFF").U32(0).Code("AVI ");
  file.Code("LIST").U32(static_cast<uint32_t>(4 + hdrl.Size())).Code("hdrl").Raw(hdrl.Text());
  file.Code("LIST").U32(0).Code("movi");
  return file.Text();
}

}  // namespace

size_t AviRowBytes(int32_t width) {
  if (width <= 0) return 0;
  return (3 * static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
}

int32_t AviWriter::Open(std::string_view path, const AviStreamFormat& format, std::string* error) {
  file_.reset();
  frames_ = 0;
  index_.clear();
  failed_ = false;
  if (format.Width <= 0 || format.Height <= 0 || format.Width > kMaxSide ||
      format.Height > kMaxSide || format.Rate <= 0 || format.Rate > 1000) {
    if (error != nullptr) *error = "a movie frame needs a size of 1 to 32767 pixels and a rate of 1 to 1000";
    return kAviBadFormat;
  }
  format_ = format;
  frameBytes_ = AviRowBytes(format.Width) * static_cast<size_t>(format.Height);
  auto file = std::make_unique<ReplacementFile>();
  const int32_t opened = file->Open(path, error);
  if (opened != kFileReplaced) return opened;
  const std::string header = HeaderBytes(format_, frameBytes_);
  if (!file->Write(header)) {
    std::string reason;
    file->Commit(&reason);  // reports the failed write and removes the file
    if (error != nullptr) *error = reason;
    return kFileNotWritten;
  }
  size_ = header.size();
  moviStart_ = size_ - 8;  // the "movi" list's size field
  file_ = std::move(file);
  return kFileReplaced;
}

bool AviWriter::AddFrame(std::span<const uint8_t> frame) {
  if (!file_ || failed_ || frame.size() != frameBytes_) return false;
  // The RIFF size, the index with one more entry and this chunk must stay
  // within 32 bits.
  const uint64_t after = size_ + 8 + frameBytes_ + 8 + 16 * (static_cast<uint64_t>(frames_) + 1);
  if (after > std::numeric_limits<uint32_t>::max() || frames_ == std::numeric_limits<int32_t>::max())
    return false;
  const uint64_t offset = size_ - (moviStart_ + 4);  // from the "movi" code
  std::string chunk = Bytes().Code("00db").U32(static_cast<uint32_t>(frameBytes_)).Text();
  chunk.append(reinterpret_cast<const char*>(frame.data()), frame.size());
  if (!file_->Write(chunk)) {
    failed_ = true;
    return false;
  }
  size_ += chunk.size();
  const std::string entry = Bytes()
                                .Code("00db")
                                .U32(kKeyFrame)
                                .U32(static_cast<uint32_t>(offset))
                                .U32(static_cast<uint32_t>(frameBytes_))
                                .Text();
  index_.insert(index_.end(), entry.begin(), entry.end());
  ++frames_;
  return true;
}

int32_t AviWriter::Close(std::string* error) {
  if (!file_) {
    if (error != nullptr) *error = "no movie is being written";
    return kAviNotOpen;
  }
  const uint64_t moviSize = size_ - (moviStart_ + 4);
  std::string tail = Bytes().Code("idx1").U32(static_cast<uint32_t>(index_.size())).Text();
  tail.append(reinterpret_cast<const char*>(index_.data()), index_.size());
  bool ok = !failed_ && file_->Write(tail);
  const uint64_t total = size_ + tail.size();
  const auto frames = static_cast<uint32_t>(frames_);
  ok = ok && file_->WriteAt(kRiffSizeAt, U32Bytes(static_cast<uint32_t>(total - 8)));
  ok = ok && file_->WriteAt(kTotalFramesAt, U32Bytes(frames));
  ok = ok && file_->WriteAt(moviStart_, U32Bytes(static_cast<uint32_t>(moviSize)));
  // The stream's length, in frames: 12 RIFF, 12 hdrl, 8 + 56 avih, 12 strl,
  // 8 strh, then 32 bytes into the stream header.
  ok = ok && file_->WriteAt(12 + 12 + 8 + kMainHeaderBytes + 12 + 8 + 32, U32Bytes(frames));
  const int32_t result = file_->Commit(error);
  file_.reset();
  if (!ok && result == kFileReplaced) {
    if (error != nullptr) *error = "the movie could not be written";
    return kFileNotWritten;
  }
  return result;
}

}  // namespace vestan
