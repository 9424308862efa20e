#include "modelfiles/model_file_reader.h"

#include <bit>
#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"

namespace vestan {

// The files are little-endian and are read by copying bytes.
static_assert(std::endian::native == std::endian::little);

ModelFileReader::ModelFileReader(std::string_view path) {
  std::error_code ec;
  const std::filesystem::path native(ToNativePath(path));
  if (path.empty() || !std::filesystem::is_regular_file(native, ec)) return;
  const uintmax_t size = std::filesystem::file_size(native, ec);
  if (ec) return;
  stream_ = OpenFileStream(path, "rb");
  size_ = size;
}

bool ModelFileReader::ReadBytes(void* out, size_t count) {
  if (!stream_ || count > Left()) return false;
  if (count == 0) return true;
  if (std::fread(out, 1, count, stream_.get()) != count) {
    position_ = size_;  // a failing stream reads nothing more
    return false;
  }
  position_ += count;
  return true;
}

bool ModelFileReader::Skip(uint64_t count) {
  if (count > Left()) return false;
  return Seek(position_ + count);
}

bool ModelFileReader::Seek(uint64_t position) {
  if (!stream_ || position > size_) return false;
  if (std::fseek(stream_.get(), static_cast<long>(position), SEEK_SET) != 0) return false;
  position_ = position;
  return true;
}

}  // namespace vestan
