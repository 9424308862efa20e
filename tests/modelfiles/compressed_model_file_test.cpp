// The compressed model file framing: header fields, check byte, raw and LZMS
// chunks, round trips and damaged input.
#include "modelfiles/compressed_model_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "modelfiles/model_file_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::FileBytes;
using testing::ScratchFolder;

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A header with the given fields and a correct check byte.
std::string Header(uint64_t total, uint32_t chunk, uint8_t algorithm = 5, uint16_t size = 24) {
  FileBytes b;
  for (uint8_t m : kLzmsMagic) b.Put(m);
  b.Put(size).Put(uint8_t{0}).Put(algorithm).Put(total).Put(chunk).Put(uint32_t{0});
  std::string covered = b.Data.substr(0, 6) + b.Data.substr(7);
  b.Data[6] = static_cast<char>(Crc32(AsBytes(covered)) & 0xFF);
  return b.Data;
}

std::string Chunk(std::string_view stored) {
  FileBytes b;
  b.Put(static_cast<uint32_t>(stored.size()));
  return b.Data + std::string(stored);
}

// Text that compresses well.
std::string Repetitive(size_t size) {
  std::string text;
  while (text.size() < size) text += "dexel column " + std::to_string(text.size() % 97) + "; ";
  text.resize(size);
  return text;
}

std::string Random(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(CompressedFile, Crc32CheckValue) {
  EXPECT_EQ(Crc32(AsBytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
}

TEST(CompressedFile, HeaderFields) {
  const std::string plain = Repetitive(5000);
  const std::optional<std::string> packed = CompressBytes(plain);
  ASSERT_TRUE(packed);
  // Total 5000 below the block size: one chunk of 5000.
  EXPECT_EQ(packed->substr(0, 24), Header(5000, 5000));
  uint32_t stored = 0;
  std::memcpy(&stored, packed->data() + 24, 4);
  EXPECT_LT(stored, 5000u);
  EXPECT_EQ(packed->size(), 24u + 4 + stored);
}

TEST(CompressedFile, RoundTrips) {
  struct Case {
    const char* name;
    std::string plain;
    bool raw;  // stored as it is: it does not shrink
  };
  const std::vector<Case> cases = {
      {"empty", "", false},
      {"one byte", "x", true},
      {"random bytes", Random(3000, 1), true},
      {"repetitive text", Repetitive(100000), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::string> packed = CompressBytes(c.plain);
    ASSERT_TRUE(packed);
    if (c.raw) {
      EXPECT_EQ(packed->substr(24), Chunk(c.plain));
    }
    const std::optional<std::string> plain = DecompressBytes(*packed);
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, c.plain);
  }
}

TEST(CompressedFile, ReaderFollowsTheChunkSizeField) {
  // Three chunks of 64, 64 and 10 bytes: raw, LZMS, raw. The LZMS chunk is
  // the stream of a 64-byte compression, made with a compressor of that size.
  const std::string raw = Random(64, 7);
  const std::string equal(64, 'a');
  const std::string packedPiece = *CompressBytes(equal);
  const std::string stream = packedPiece.substr(28);
  ASSERT_LT(stream.size(), 64u);
  const std::string frame = Header(138, 64) + Chunk(raw) + Chunk(stream) + Chunk("0123456789");
  EXPECT_EQ(DecompressBytes(frame), std::optional<std::string>(raw + equal + "0123456789"));
  // Behind a raw chunk of an odd length the stream stands at an odd offset,
  // which the codec does not take as it is.
  const std::string odd = Random(65, 8);
  const std::string oddEqual(65, 'a');
  const std::string oddStream = CompressBytes(oddEqual)->substr(28);
  EXPECT_EQ(DecompressBytes(Header(130, 65) + Chunk(odd) + Chunk(oddStream)),
            std::optional<std::string>(odd + oddEqual));
  // The same frames through files.
  ScratchFolder scratch;
  const std::string packed = scratch.Write("three.DMEZ", frame);
  ASSERT_EQ(DecompressFile(packed, scratch / "three.dme"), kCompressOk);
  EXPECT_EQ(ScratchFolder::Read(scratch / "three.dme"), raw + equal + "0123456789");
}

TEST(CompressedFile, DamagedFramesAreRefused) {
  const std::string body = Chunk("0123") + Chunk("45");
  const std::string good = Header(6, 4) + body;
  ASSERT_EQ(DecompressBytes(good), std::optional<std::string>("012345"));
  std::string badMagic = good;
  badMagic[1] = 0x52;
  std::string badCheck = good;
  badCheck[6] = static_cast<char>(badCheck[6] ^ 1);
  std::string sizeChanged = good;
  sizeChanged[8] = 7;  // total 7 under the old check byte
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"magic", badMagic},
      {"check byte", badCheck},
      {"total changed after the check byte", sizeChanged},
      {"algorithm", Header(6, 4, 4) + body},
      {"header size", Header(6, 4, 5, 32) + body},
      {"total of 4 GiB", Header(1ull << 32, 1u << 30) + body},
      {"chunk size 0", Header(6, 0) + body},
      {"chunk size beyond the codec", Header(6, (1u << 30) + 1) + body},
      {"zero-length chunk", Header(6, 4) + Chunk("") + Chunk("45")},
      {"chunk larger than its plain size", Header(6, 4) + Chunk("01234") + Chunk("5")},
      {"chunk missing", Header(10, 4) + body},
      {"byte after the last chunk", good + "!"},
      {"more chunks announced than bytes", Header(4000000000ull, 1) + body},
      // A stored chunk shorter than its plain data is an LZMS stream: 16-bit
      // units, two at least.
      {"coded chunk of one byte", Header(6, 4) + Chunk("0") + Chunk("45")},
      {"coded chunk of an odd length", Header(12, 6) + Chunk("01234") + Chunk("678912")},
  };
  for (const Case& c : cases) EXPECT_FALSE(DecompressBytes(c.bytes)) << c.name;
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(DecompressBytes(good.substr(0, length))) << length;
}

TEST(CompressedFile, NoiseInTheStreamNeverCrashes) {
  const std::string plain = Repetitive(20000);
  const std::string packed = *CompressBytes(plain);
  for (size_t length = 0; length < packed.size(); ++length)
    ASSERT_FALSE(DecompressBytes(packed.substr(0, length))) << length;
  std::mt19937 random(104);
  for (int round = 0; round < 300; ++round) {
    std::string noisy = packed;
    for (int hit = 0; hit < 3; ++hit)
      noisy[28 + random() % (noisy.size() - 28)] = static_cast<char>(random());
    // The stream carries no check of its own: damage is refused or decodes
    // to other bytes of the same length.
    const std::optional<std::string> result = DecompressBytes(noisy);
    if (result) {
      ASSERT_EQ(result->size(), plain.size());
    }
  }
}

TEST(CompressedFile, FilesRoundTripAndFailuresKeepTheTarget) {
  ScratchFolder scratch;
  const std::string plain = Repetitive(70000);
  const std::string source = scratch.Write("plain.DME", plain);
  ASSERT_EQ(CompressFile(source, scratch / "packed.DMEZ"), kCompressOk);
  EXPECT_EQ(IsCompressedFile(scratch / "packed.DMEZ"), 1);
  ASSERT_EQ(DecompressFile(scratch / "packed.DMEZ", scratch / "back.dme"), kCompressOk);
  EXPECT_EQ(ScratchFolder::Read(scratch / "back.dme"), plain);

  std::string error;
  EXPECT_EQ(CompressFile(scratch / "missing.DME", scratch / "x.DMEZ", &error),
            kCompressSourceUnreadable);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(CompressFile(source, scratch / "no/folder/x.DMEZ"), kCompressTargetNotCreated);
  // A damaged source leaves an existing target as it was.
  std::string packed = ScratchFolder::Read(scratch / "packed.DMEZ");
  const std::string target = scratch.Write("target.dme", "previous");
  const std::string truncated = scratch.Write("cut.DMEZ", packed.substr(0, packed.size() - 1));
  EXPECT_EQ(DecompressFile(truncated, target), kCompressBadData);
  EXPECT_EQ(ScratchFolder::Read(target), "previous");
}

TEST(CompressedFile, TotalBeyondWhatTheChunksHoldIsRefusedBeforeAllocating) {
  ScratchFolder scratch;
  const std::string target = scratch.Write("target.dme", "previous");
  // A sound header of 44 bytes announcing 4 GiB - 1 in four chunks of 1 GiB,
  // each one stored byte: no chunk can hold its share.
  const std::string huge = scratch.Write("huge.DMEZ", Header(0xFFFFFFFFull, 1u << 30) + Chunk("a") +
                                                          Chunk("b") + Chunk("c") + Chunk("d"));
  std::string error;
  EXPECT_EQ(DecompressFile(huge, target, &error), kCompressBadData);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ScratchFolder::Read(target), "previous");
  // Four-byte streams may hold a gigabyte each: the caller's limit refuses
  // the total before anything is decoded.
  const std::string coded =
      scratch.Write("coded.DMEZ", Header(0xFFFFFFFFull, 1u << 30) + Chunk("abcd") + Chunk("efgh") +
                                      Chunk("ijkl") + Chunk("mnop"));
  EXPECT_EQ(DecompressFile(coded, target, &error, 256u << 20), kCompressSourceTooLarge);
  EXPECT_EQ(ScratchFolder::Read(target), "previous");
  // The limit is on the plain size: 6 bytes pass a limit of 6, not of 5.
  const std::string six = scratch.Write("six.DMEZ", Header(6, 4) + Chunk("0123") + Chunk("45"));
  EXPECT_EQ(DecompressFile(six, target, nullptr, 5), kCompressSourceTooLarge);
  EXPECT_EQ(ScratchFolder::Read(target), "previous");
  ASSERT_EQ(DecompressFile(six, target, nullptr, 6), kCompressOk);
  EXPECT_EQ(ScratchFolder::Read(target), "012345");
}

// The peak resident size of the process, in bytes.
uint64_t PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

TEST(CompressedFile, LargePlainDataIsDecodedChunkByChunk) {
  // A file of 16 KiB declaring 128 MiB in chunks of 64 KiB, each a stream of
  // four bytes that the codec expands to a whole chunk: the plain data goes
  // to the target chunk by chunk, never whole into memory.
  constexpr uint32_t kChunk = 64u << 10;
  constexpr uint64_t kTotal = 128ull << 20;
  std::string frame = Header(kTotal, kChunk);
  for (uint64_t i = 0; i < kTotal / kChunk; ++i) frame += Chunk(std::string(4, '\0'));
  ScratchFolder scratch;
  const std::string packed = scratch.Write("large.DMEZ", frame);
  const uint64_t before = PeakResidentBytes();
  ASSERT_EQ(DecompressFile(packed, scratch / "large.dme"), kCompressOk);
  EXPECT_LT(PeakResidentBytes() - before, 32ull << 20);
  EXPECT_EQ(std::filesystem::file_size(scratch / "large.dme"), kTotal);
}

TEST(CompressedFile, RecognisedByTheWholeHeader) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    std::string bytes;
    int32_t compressed;
  };
  std::string badCheck = Header(6, 4);
  badCheck[6] = static_cast<char>(badCheck[6] + 1);
  const std::vector<Case> cases = {
      {"compressed", *CompressBytes(Repetitive(1000)), 1},
      {"header alone", Header(6, 4), 1},
      {"empty", "", 0},
      {"first byte only", "\x0A plain DME file with a newline first........", 0},
      {"plain DME", "V1.0M       " + std::string(200, '\0'), 0},
      {"bad check byte", badCheck, 0},
      {"total of 4 GiB", Header(1ull << 32, 1u << 26), 0},
      {"short header", Header(6, 4).substr(0, 23), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsCompressedFile(scratch.Write("f.DMEZ", c.bytes)), c.compressed) << c.name;
  EXPECT_EQ(IsCompressedFile(scratch / "missing.DMEZ"), 0);
}

TEST(CompressedFile, AvailabilityIsAskedOnce) {
  CompressionApiCache cache;
  EXPECT_EQ(IsCompressionApiAvailable(cache), 1);
  EXPECT_EQ(cache.Available, 1);
  cache.Available = 0;  // a cached answer is not asked again
  EXPECT_EQ(IsCompressionApiAvailable(cache), 0);
}

}  // namespace
}  // namespace vestan
