// Bounded little-endian reading of a binary model file: every read is checked
// against the bytes the file really has, so a count read from the file can be
// weighed against what is left before anything is allocated for it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/file_open.h"

namespace vestan {

class ModelFileReader {
 public:
  // Opens path for reading; Opened() tells whether it worked. Only regular
  // files are read.
  explicit ModelFileReader(std::string_view path);

  bool Opened() const { return stream_ != nullptr; }
  uint64_t Size() const { return size_; }
  uint64_t Position() const { return position_; }
  uint64_t Left() const { return size_ - position_; }

  // Each read fails (false, nothing more read) when fewer bytes are left or
  // the stream fails; the output is then unspecified.
  bool ReadBytes(void* out, size_t count);
  bool ReadI32(int32_t& value) { return ReadBytes(&value, sizeof value); }
  bool ReadF32(float& value) { return ReadBytes(&value, sizeof value); }
  bool ReadF64(double& value) { return ReadBytes(&value, sizeof value); }
  bool Skip(uint64_t count);
  bool Seek(uint64_t position);

 private:
  FileStream stream_;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

}  // namespace vestan
