#include "modelfiles/compressed_model_file.h"

#include <wimlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "modelfiles/model_file_reader.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

struct CompressorFree {
  void operator()(wimlib_compressor* c) const { wimlib_free_compressor(c); }
};
struct DecompressorFree {
  void operator()(wimlib_decompressor* d) const { wimlib_free_decompressor(d); }
};
using Compressor = std::unique_ptr<wimlib_compressor, CompressorFree>;
using Decompressor = std::unique_ptr<wimlib_decompressor, DecompressorFree>;

Compressor MakeCompressor(size_t maxBlock) {
  wimlib_compressor* c = nullptr;
  if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_LZMS, maxBlock, 0, &c) != 0) return {};
  return Compressor(c);
}

Decompressor MakeDecompressor(size_t maxBlock) {
  wimlib_decompressor* d = nullptr;
  if (wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_LZMS, maxBlock, &d) != 0) return {};
  return Decompressor(d);
}

template <typename T>
T Load(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void Store(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <typename T>
void AppendValue(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

uint8_t CheckByte(const uint8_t* header) {
  std::array<uint8_t, kLzmsHeaderBytes - 1> covered{};
  std::copy_n(header, 6, covered.begin());
  std::copy_n(header + 7, kLzmsHeaderBytes - 7, covered.begin() + 6);
  return static_cast<uint8_t>(Crc32(covered) & 0xFF);
}

struct FrameHeader {
  uint64_t Total = 0;
  uint32_t Chunk = 0;
  uint64_t Chunks = 0;
};

// The header fields when they are sound, else nothing.
std::optional<FrameHeader> ParseHeader(const uint8_t* header) {
  if (!std::equal(header, header + 4, kLzmsMagic) ||
      Load<uint16_t>(header + 4) != kLzmsHeaderBytes || header[6] != CheckByte(header) ||
      header[7] != kLzmsAlgorithm)
    return std::nullopt;
  FrameHeader h;
  h.Total = Load<uint64_t>(header + 8);
  h.Chunk = Load<uint32_t>(header + 16);
  if (h.Total > kLzmsMaxPlainBytes) return std::nullopt;
  if (h.Total == 0) return h;
  if (h.Chunk == 0 || h.Chunk > kLzmsMaxChunkBytes) return std::nullopt;
  h.Chunks = (h.Total + h.Chunk - 1) / h.Chunk;
  return h;
}

std::string HeaderFor(uint64_t total, uint32_t chunk) {
  std::array<uint8_t, kLzmsHeaderBytes> header{};
  std::copy_n(kLzmsMagic, 4, header.begin());
  Store<uint16_t>(&header[4], kLzmsHeaderBytes);
  header[7] = kLzmsAlgorithm;
  Store<uint64_t>(&header[8], total);
  Store<uint32_t>(&header[16], chunk);
  header[6] = CheckByte(header.data());
  return std::string(header.begin(), header.end());
}

// The codec's result of a chunk it refused, for the message, and whether the
// plain data was refused for its size.
struct Unpacked {
  std::optional<std::string> Plain;
  int CodecFailure = 0;
  bool TooLarge = false;
};

Unpacked Unpack(std::string_view packed, uint64_t maxPlainBytes) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(packed.data());
  const uint64_t size = packed.size();
  if (size < kLzmsHeaderBytes) return {};
  const std::optional<FrameHeader> header = ParseHeader(bytes);
  if (!header) return {};
  // Every chunk takes at least its size word and one byte.
  if (header->Chunks > (size - kLzmsHeaderBytes) / 5) return {};

  // Walk the chunk table before allocating anything for the plain data.
  uint64_t position = kLzmsHeaderBytes;
  for (uint64_t i = 0; i < header->Chunks; ++i) {
    const uint64_t plain = std::min<uint64_t>(header->Chunk, header->Total - i * header->Chunk);
    if (size - position < 4) return {};
    const uint32_t stored = Load<uint32_t>(bytes + position);
    position += 4;
    if (stored == 0 || stored > plain || stored > size - position) return {};
    position += stored;
  }
  if (position != size) return {};
  // A few header bytes declare the plain size: a sound frame of a few dozen
  // bytes may announce gigabytes.
  if (header->Total > maxPlainBytes) {
    Unpacked refused;
    refused.TooLarge = true;
    return refused;
  }

  Unpacked result;
  std::string plain;
  Decompressor decompressor;
  try {
    plain.resize(header->Total);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (header->Total > 0) {
    decompressor = MakeDecompressor(std::min<uint64_t>(header->Chunk, header->Total));
    if (!decompressor) return {};
  }
  position = kLzmsHeaderBytes;
  for (uint64_t i = 0; i < header->Chunks; ++i) {
    const uint64_t offset = i * header->Chunk;
    const uint64_t length = std::min<uint64_t>(header->Chunk, header->Total - offset);
    const uint32_t stored = Load<uint32_t>(bytes + position);
    position += 4;
    if (stored == length) {
      std::memcpy(plain.data() + offset, bytes + position, length);
    } else if (const int failure = wimlib_decompress(
                   bytes + position, stored, plain.data() + offset, length, decompressor.get());
               failure != 0) {
      result.CodecFailure = failure;
      return result;
    }
    position += stored;
  }
  result.Plain = std::move(plain);
  return result;
}

int32_t StoreResult(int32_t replaced) {
  switch (replaced) {
    case kFileReplaced:
      return kCompressOk;
    case kFileTempNotCreated:
      return kCompressTargetNotCreated;
    default:
      return kCompressFailed;
  }
}

int32_t Fail(int32_t code, std::string* error, const char* reason) {
  if (error != nullptr) *error = reason;
  return code;
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes) {
  static constexpr std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const uint8_t b : bytes) crc = kTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::optional<std::string> CompressBytes(std::string_view plain) {
  const uint64_t total = plain.size();
  if (total > kLzmsMaxPlainBytes) return std::nullopt;
  const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(total, kLzmsWriterChunkBytes));
  std::string out = HeaderFor(total, chunk);
  if (total == 0) return out;
  // The compressor's memory grows with its block size: size it to the chunk.
  const Compressor compressor = MakeCompressor(chunk);
  if (!compressor) return std::nullopt;
  std::string packed(chunk, '\0');
  for (uint64_t offset = 0; offset < total; offset += chunk) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk, total - offset));
    // A chunk that does not shrink by at least one byte is stored raw.
    const size_t size = length > 1 ? wimlib_compress(plain.data() + offset, length, packed.data(),
                                                     length - 1, compressor.get())
                                   : 0;
    AppendValue(out, static_cast<uint32_t>(size != 0 ? size : length));
    if (size != 0)
      out.append(packed.data(), size);
    else
      out.append(plain.substr(offset, length));
  }
  return out;
}

std::optional<std::string> DecompressBytes(std::string_view packed) {
  return Unpack(packed, kLzmsMaxPlainBytes).Plain;
}

int32_t CompressFile(std::string_view sourcePath, std::string_view targetPath, std::string* error) {
  const std::optional<std::string> plain = ReadFileBytes(sourcePath);
  if (!plain) return Fail(kCompressSourceUnreadable, error, "cannot read the file to compress");
  if (plain->size() > kLzmsMaxPlainBytes)
    return Fail(kCompressSourceTooLarge, error, "the file is 4 GiB or larger");
  std::optional<std::string> packed;
  try {
    packed = CompressBytes(*plain);
  } catch (const std::bad_alloc&) {
  }
  if (!packed) return Fail(kCompressNoCodec, error, "the compressor cannot be set up");
  return StoreResult(ReplaceFileContents(targetPath, *packed, error));
}

int32_t DecompressFile(std::string_view sourcePath, std::string_view targetPath, std::string* error,
                       uint64_t maxPlainBytes) {
  const std::optional<std::string> packed = ReadFileBytes(sourcePath);
  if (!packed) return Fail(kCompressSourceUnreadable, error, "cannot read the compressed file");
  const Unpacked unpacked = Unpack(*packed, maxPlainBytes);
  if (unpacked.TooLarge)
    return Fail(kCompressSourceTooLarge, error, "the plain data would take too much memory");
  if (unpacked.CodecFailure != 0)
    std::printf("Cannot decompress data: %d.\n", unpacked.CodecFailure);
  if (!unpacked.Plain) return Fail(kCompressBadData, error, "the compressed data is damaged");
  return StoreResult(ReplaceFileContents(targetPath, *unpacked.Plain, error));
}

int32_t IsCompressionApiAvailable(CompressionApiCache& cache) {
  if (cache.Available < 0) {
    constexpr size_t kProbeBlock = 4096;
    cache.Available = MakeCompressor(kProbeBlock) && MakeDecompressor(kProbeBlock) ? 1 : 0;
  }
  return cache.Available;
}

int32_t IsCompressedFile(std::string_view path) {
  ModelFileReader in(path);
  std::array<uint8_t, kLzmsHeaderBytes> header{};
  if (!in.Opened() || !in.ReadBytes(header.data(), header.size())) return 0;
  return ParseHeader(header.data()) ? 1 : 0;
}

}  // namespace vestan
