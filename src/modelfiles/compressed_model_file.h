// Whole-file compression of model files (".DMEZ", ".DMFZ"): the LZMS codec of
// wimlib inside the framing described below, compressing a finished plain
// file into its target and decompressing one back into a plain file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vestan {

// The framing (all numbers little-endian):
//   offset 0, 4 bytes   magic 0x0A 0x51 0xE5 0xC0
//   offset 4, u16       header size, 24
//   offset 6, u8        check byte: the low 8 bits of the CRC-32 (the zlib
//                       polynomial) of bytes 0-5 followed by bytes 7-23
//   offset 7, u8        algorithm, 5 (LZMS)
//   offset 8, u64       total plain size
//   offset 16, u32      chunk size: min(total, the writer's block size)
//   offset 20, u32      0
//   from 24             per chunk: u32 stored size, then that many bytes.
// Every chunk holds chunk-size plain bytes except the last, which holds the
// rest; each is an independent LZMS stream (an even number of bytes, at
// least 4, fewer than its plain bytes), except that a chunk whose stored size
// equals its plain size is stored raw. Files written here use chunks of
// at most kLzmsWriterChunkBytes; a reader follows the chunk size field up to
// the codec's limit.
inline constexpr uint8_t kLzmsMagic[4] = {0x0A, 0x51, 0xE5, 0xC0};
inline constexpr uint32_t kLzmsHeaderBytes = 24;
inline constexpr uint8_t kLzmsAlgorithm = 5;
inline constexpr uint32_t kLzmsWriterChunkBytes = 1u << 26;
inline constexpr uint32_t kLzmsMaxChunkBytes = 1u << 30;
// Plain files of 4 GiB or more are neither written nor accepted.
inline constexpr uint64_t kLzmsMaxPlainBytes = 0xFFFFFFFFull;

// Results of CompressFile and DecompressFile.
inline constexpr int32_t kCompressOk = 1;
inline constexpr int32_t kCompressNoCodec = -1;  // the codec cannot be set up
inline constexpr int32_t kCompressFailed = -2;   // (de)compressing or writing failed
inline constexpr int32_t kCompressSourceUnreadable = -3;
// Compressing: the source is 4 GiB or larger; decompressing: its plain data
// would be larger than the caller allows.
inline constexpr int32_t kCompressSourceTooLarge = -4;
inline constexpr int32_t kCompressTargetNotCreated = -5;
inline constexpr int32_t kCompressBadData = -6;  // the source is not a valid compressed file

// Whether the codec can be used: -1 until first asked, then 1 or 0. The
// application keeps one; a test its own.
struct CompressionApiCache {
  int32_t Available = -1;
};

// Compresses the whole of sourcePath into targetPath, chunk by chunk
// (written to a temporary file beside it and renamed into place; an old
// target stays as it was on failure). Returns kCompressOk or a negative code,
// with the reason in error when given.
int32_t CompressFile(std::string_view sourcePath, std::string_view targetPath,
                     std::string* error = nullptr);
// The reverse. The source's chunk table is walked first (header, check byte,
// every chunk's size and place within the file, and that each chunk can hold
// its share of the plain data: stored whole, or an LZMS stream of 16-bit units
// and at least 4 bytes) before anything is allocated for the plain data,
// whose size must not exceed maxPlainBytes (else kCompressSourceTooLarge).
// The chunks are then decoded one at a time into the target: memory stays
// within one stored and one plain chunk. A damaged source leaves the target as
// it was. The target is a working copy for the loaders, renamed into place
// without waiting for the disk.
int32_t DecompressFile(std::string_view sourcePath, std::string_view targetPath,
                       std::string* error = nullptr, uint64_t maxPlainBytes = kLzmsMaxPlainBytes);

// 1 when the codec can compress and decompress, else 0; asked once, then
// answered from cache.
int32_t IsCompressionApiAvailable(CompressionApiCache& cache);

// 1 when path opens and starts with a valid header (magic, header size, check
// byte, algorithm, a total below 4 GiB and a usable chunk size); else 0.
int32_t IsCompressedFile(std::string_view path);

// The framing in memory: the compressed image of plain, or nothing when the
// codec fails. Plain must be below kLzmsMaxPlainBytes.
std::optional<std::string> CompressBytes(std::string_view plain);
// The plain bytes of a compressed image, or nothing when it is damaged or
// they would be more than maxPlainBytes.
std::optional<std::string> DecompressBytes(std::string_view packed,
                                           uint64_t maxPlainBytes = kLzmsMaxPlainBytes);

// The standard CRC-32 (reflected polynomial 0xEDB88320, as zlib's crc32).
uint32_t Crc32(std::span<const uint8_t> bytes);

}  // namespace vestan
