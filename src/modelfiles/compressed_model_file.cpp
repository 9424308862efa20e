#include "modelfiles/compressed_model_file.h"

#include <wimlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

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

// A compressed image held in memory, read the way ModelFileReader reads a
// file.
class MemoryReader {
 public:
  explicit MemoryReader(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const { return bytes_.size(); }
  uint64_t Position() const { return position_; }
  uint64_t Left() const { return bytes_.size() - position_; }
  bool ReadBytes(void* out, size_t count) {
    if (count > Left()) return false;
    if (count > 0) std::memcpy(out, bytes_.data() + position_, count);
    position_ += count;
    return true;
  }
  bool Skip(uint64_t count) { return count <= Left() && Seek(position_ + count); }
  bool Seek(uint64_t position) {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
  }

 private:
  std::string_view bytes_;
  uint64_t position_ = 0;
};

// A chunk of stored bytes can hold its plain bytes when it is them (raw), or
// when it is an LZMS stream: 16-bit units, at least two, and shorter than
// the plain data (else it would have been stored raw).
bool ChunkCanHold(uint32_t stored, uint64_t plain) {
  if (stored == plain) return true;
  return stored < plain && stored >= 4 && stored % 2 == 0;
}

// What the walk of a sound frame found: the header, and the buffers that
// decoding it takes.
struct FrameLayout {
  FrameHeader Header;
  uint32_t LargestStored = 0;  // the largest chunk as stored
  uint64_t LargestCoded = 0;   // the largest plain size of an LZMS chunk
};

// Reads the header and walks the chunk table with reads and seeks, so that
// nothing of the plain size a header declares is allocated before the file
// has shown that its chunks add up to its size and can hold that much. The
// reader is left behind the header.
template <typename Reader>
std::optional<FrameLayout> WalkFrame(Reader& in) {
  std::array<uint8_t, kLzmsHeaderBytes> header{};
  if (!in.ReadBytes(header.data(), header.size())) return std::nullopt;
  FrameLayout layout;
  const std::optional<FrameHeader> parsed = ParseHeader(header.data());
  if (!parsed) return std::nullopt;
  layout.Header = *parsed;
  // Every chunk takes at least its size word and one byte.
  if (layout.Header.Chunks > (in.Size() - kLzmsHeaderBytes) / 5) return std::nullopt;
  for (uint64_t i = 0; i < layout.Header.Chunks; ++i) {
    const uint64_t plain =
        std::min<uint64_t>(layout.Header.Chunk, layout.Header.Total - i * layout.Header.Chunk);
    uint32_t stored = 0;
    if (!in.ReadBytes(&stored, sizeof stored) || !ChunkCanHold(stored, plain) || !in.Skip(stored))
      return std::nullopt;
    layout.LargestStored = std::max(layout.LargestStored, stored);
    if (stored != plain) layout.LargestCoded = std::max(layout.LargestCoded, plain);
  }
  if (in.Position() != in.Size() || !in.Seek(kLzmsHeaderBytes)) return std::nullopt;
  return layout;
}

// A buffer left uninitialised: pages the codec never reaches are never
// touched. Empty when the memory cannot be had.
std::unique_ptr<uint8_t[]> Buffer(uint64_t size) {
  if (size > std::numeric_limits<size_t>::max()) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[std::max<uint64_t>(size, 1)]);
}

// How decoding or encoding ended.
struct CodecOutcome {
  int32_t Result = kCompressOk;
  int CodecFailure = 0;  // the codec's code for a chunk it refused
};

// Decodes the chunks of a walked frame in order and hands each chunk's plain
// bytes to sink (false from sink: the output failed). Memory is one stored
// chunk and one plain chunk, whatever the total.
template <typename Reader, typename Sink>
CodecOutcome UnpackChunks(Reader& in, const FrameLayout& layout, Sink&& sink) {
  const FrameHeader& header = layout.Header;
  const std::unique_ptr<uint8_t[]> packed = Buffer(layout.LargestStored);
  std::unique_ptr<uint8_t[]> plain;
  Decompressor decompressor;
  if (layout.LargestCoded > 0) {
    plain = Buffer(layout.LargestCoded);
    decompressor = MakeDecompressor(layout.LargestCoded);
    if (!decompressor) return {kCompressNoCodec};
  }
  if (!packed || (layout.LargestCoded > 0 && !plain)) return {kCompressSourceTooLarge};
  for (uint64_t i = 0; i < header.Chunks; ++i) {
    const uint64_t length = std::min<uint64_t>(header.Chunk, header.Total - i * header.Chunk);
    uint32_t stored = 0;
    // The table is read again: a file that changed since its walk is damaged.
    if (!in.ReadBytes(&stored, sizeof stored) || !ChunkCanHold(stored, length) ||
        stored > layout.LargestStored || !in.ReadBytes(packed.get(), stored))
      return {kCompressBadData};
    if (stored == length) {
      if (!sink(packed.get(), stored)) return {kCompressFailed};
      continue;
    }
    const int failure =
        wimlib_decompress(packed.get(), stored, plain.get(), length, decompressor.get());
    if (failure != 0) return {kCompressBadData, failure};
    if (!sink(plain.get(), length)) return {kCompressFailed};
  }
  return {};
}

// Encodes total bytes from in as a frame, handing its pieces to sink.
template <typename Reader, typename Sink>
CodecOutcome PackChunks(Reader& in, uint64_t total, Sink&& sink) {
  const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(total, kLzmsWriterChunkBytes));
  const std::string header = HeaderFor(total, chunk);
  if (!sink(reinterpret_cast<const uint8_t*>(header.data()), header.size()))
    return {kCompressFailed};
  if (total == 0) return {};
  // The compressor's memory grows with its block size: size it to the chunk.
  const Compressor compressor = MakeCompressor(chunk);
  const std::unique_ptr<uint8_t[]> plain = Buffer(chunk);
  const std::unique_ptr<uint8_t[]> packed = Buffer(chunk);
  if (!compressor || !plain || !packed) return {kCompressNoCodec};
  for (uint64_t offset = 0; offset < total; offset += chunk) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk, total - offset));
    if (!in.ReadBytes(plain.get(), length)) return {kCompressSourceUnreadable};
    // A chunk that does not shrink by at least one byte is stored raw.
    const size_t size = length > 1 ? wimlib_compress(plain.get(), length, packed.get(), length - 1,
                                                     compressor.get())
                                   : 0;
    const uint32_t stored = static_cast<uint32_t>(size != 0 ? size : length);
    if (!sink(reinterpret_cast<const uint8_t*>(&stored), sizeof stored) ||
        !sink(size != 0 ? packed.get() : plain.get(), stored))
      return {kCompressFailed};
  }
  return {};
}

// A sink that appends to a string.
auto AppendTo(std::string& out) {
  return [&out](const uint8_t* bytes, size_t count) {
    out.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  };
}

// A sink that writes to the replacement of a file.
auto WriteTo(ReplacementFile& out) {
  return [&out](const uint8_t* bytes, size_t count) {
    return out.Write({reinterpret_cast<const char*>(bytes), count});
  };
}

int32_t Fail(int32_t code, std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return code;
}

// Makes the target's replacement: kCompressOk, or the failure to make one.
int32_t OpenTarget(ReplacementFile& target, std::string_view path, std::string* error,
                   ReplacementSync sync) {
  std::string reason;
  const int32_t opened = target.Open(path, &reason, sync);
  if (opened == kFileReplaced) return kCompressOk;
  return Fail(opened == kFileTempNotCreated ? kCompressTargetNotCreated : kCompressFailed, error,
              reason);
}

// Puts the written target in place, or says why it could not be; a target
// whose write failed is removed with the reason.
int32_t CommitTarget(ReplacementFile& target, std::string* error) {
  std::string reason;
  if (target.Commit(&reason) == kFileReplaced) return kCompressOk;
  return Fail(kCompressFailed, error, reason);
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
  if (plain.size() > kLzmsMaxPlainBytes) return std::nullopt;
  MemoryReader in(plain);
  std::string out;
  if (PackChunks(in, plain.size(), AppendTo(out)).Result != kCompressOk) return std::nullopt;
  return out;
}

std::optional<std::string> DecompressBytes(std::string_view packed, uint64_t maxPlainBytes) {
  MemoryReader in(packed);
  const std::optional<FrameLayout> layout = WalkFrame(in);
  if (!layout || layout->Header.Total > maxPlainBytes) return std::nullopt;
  std::string plain;
  if (UnpackChunks(in, *layout, AppendTo(plain)).Result != kCompressOk) return std::nullopt;
  return plain;
}

int32_t CompressFile(std::string_view sourcePath, std::string_view targetPath, std::string* error) {
  ModelFileReader in(sourcePath);
  if (!in.Opened())
    return Fail(kCompressSourceUnreadable, error, "cannot read the file to compress");
  if (in.Size() > kLzmsMaxPlainBytes)
    return Fail(kCompressSourceTooLarge, error, "the file is 4 GiB or larger");
  ReplacementFile target;
  if (const int32_t opened = OpenTarget(target, targetPath, error, ReplacementSync::kBeforeRename);
      opened != kCompressOk)
    return opened;
  const CodecOutcome outcome = PackChunks(in, in.Size(), WriteTo(target));
  switch (outcome.Result) {
    case kCompressOk:
      return CommitTarget(target, error);
    case kCompressSourceUnreadable:
      return Fail(outcome.Result, error, "cannot read the file to compress");
    case kCompressNoCodec:
      return Fail(outcome.Result, error, "the compressor cannot be set up");
    default:
      return Fail(kCompressFailed, error, "cannot write the file");
  }
}

int32_t DecompressFile(std::string_view sourcePath, std::string_view targetPath, std::string* error,
                       uint64_t maxPlainBytes) {
  ModelFileReader in(sourcePath);
  if (!in.Opened())
    return Fail(kCompressSourceUnreadable, error, "cannot read the compressed file");
  const std::optional<FrameLayout> layout = WalkFrame(in);
  if (!layout) return Fail(kCompressBadData, error, "the compressed data is damaged");
  // A few header bytes declare the plain size: a sound frame of a few dozen
  // bytes may announce gigabytes.
  if (layout->Header.Total > maxPlainBytes)
    return Fail(kCompressSourceTooLarge, error, "the plain data would take too much memory");
  // The plain file is a working copy for the loaders: it need not wait for
  // the disk.
  ReplacementFile target;
  if (const int32_t opened = OpenTarget(target, targetPath, error, ReplacementSync::kNone);
      opened != kCompressOk)
    return opened;
  const CodecOutcome outcome = UnpackChunks(in, *layout, WriteTo(target));
  switch (outcome.Result) {
    case kCompressOk:
      return CommitTarget(target, error);
    case kCompressBadData:
      if (outcome.CodecFailure != 0)
        std::printf("Cannot decompress data: %d.\n", outcome.CodecFailure);
      return Fail(outcome.Result, error, "the compressed data is damaged");
    case kCompressSourceTooLarge:
      return Fail(outcome.Result, error, "no memory for a chunk of the plain data");
    case kCompressNoCodec:
      return Fail(outcome.Result, error, "the decompressor cannot be set up");
    default:
      return Fail(kCompressFailed, error, "cannot write the file");
  }
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
