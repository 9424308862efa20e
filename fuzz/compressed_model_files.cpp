// Compressed model files (.DMEZ, .DMFZ): the bytes, their header's check byte
// made right so that the fields behind it are reached, decompressed on their
// own and opened through the open command as DMEZ and DMFZ. Decompressing
// keeps the heap within one stored and one plain chunk of what the header
// declares, whatever the total; the file and the memory paths agree; plain
// data that decodes (else the input bytes themselves) compresses and decodes
// back to the same bytes. A model that loads saves and reloads through the
// compressed form to the same bits.
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "model_file_checks.h"

using namespace vestan;

namespace {

// The heap in use while a decompression is watched, and its peak, from the
// sanitizer allocator's hooks (the codec's own allocations included).
int64_t liveBytes = 0;
int64_t peakBytes = 0;
bool watching = false;

void OnMalloc(const volatile void*, size_t size) {
  if (!watching) return;
  liveBytes += static_cast<int64_t>(size);
  peakBytes = std::max(peakBytes, liveBytes);
}

void OnFree(const volatile void* block) {
  if (watching)
    liveBytes -=
        static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(block)));
}

// The codec's state and the few names and messages around it.
constexpr int64_t kDecoderOverhead = 2 << 20;

// The bytes with a correct check byte when they begin with the magic.
std::string WithCheckByte(std::string_view bytes) {
  std::string fixed(bytes);
  if (fixed.size() < kLzmsHeaderBytes || !std::equal(kLzmsMagic, kLzmsMagic + 4, fixed.begin()))
    return fixed;
  std::string covered = fixed.substr(0, 6) + fixed.substr(7, kLzmsHeaderBytes - 7);
  fixed[6] = static_cast<char>(
      Crc32({reinterpret_cast<const uint8_t*>(covered.data()), covered.size()}) & 0xFF);
  return fixed;
}

// The plain bytes one stored and one plain chunk of the header may take.
int64_t ChunkBound(std::string_view bytes) {
  if (bytes.size() < kLzmsHeaderBytes) return 0;
  uint64_t total = 0;
  uint32_t chunk = 0;
  std::memcpy(&total, bytes.data() + 8, sizeof total);
  std::memcpy(&chunk, bytes.data() + 16, sizeof chunk);
  return 2 * static_cast<int64_t>(std::min<uint64_t>({total, chunk, fuzz::kModelMemoryLimit}));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = WithCheckByte(fuzz::AsText(data, size));
  const std::string packed = fuzz::WriteScratchFile("packed.DMEZ", bytes);
  const std::string plainPath = fuzz::ProcessFolder() / "plain.dme";
  std::filesystem::remove(plainPath);

  liveBytes = peakBytes = 0;
  watching = true;
  const int32_t result = DecompressFile(packed, plainPath, nullptr, fuzz::kModelMemoryLimit);
  watching = false;
  FUZZ_CHECK(peakBytes <= kDecoderOverhead + ChunkBound(bytes));

  // The memory path decodes what the file path does.
  const std::optional<std::string> plain = DecompressBytes(bytes, fuzz::kModelMemoryLimit);
  if (result == kCompressOk) {
    FUZZ_CHECK(plain && vestan::testing::ScratchFolder::Read(plainPath) == *plain);
    FUZZ_CHECK(IsCompressedFile(packed) == 1);
  } else {
    FUZZ_CHECK(result == kCompressBadData || result == kCompressSourceTooLarge);
    FUZZ_CHECK(!std::filesystem::exists(plainPath) && !plain);
  }
  // Bytes compress and decode back: the plain data when there is some, else
  // the input itself (one compressor a run: setting one up costs more than
  // the rest of the run).
  const std::string& original = plain ? *plain : bytes;
  if (original.size() <= fuzz::kMostCompressed) {
    const std::optional<std::string> again = CompressBytes(original);
    FUZZ_CHECK(again && IsCompressedFile(fuzz::WriteScratchFile("again.DMEZ", *again)) == 1);
    FUZZ_CHECK(DecompressBytes(*again) == std::optional<std::string>(original));
  }

  if (IsCompressedFile(packed) == 0) return 0;
  const WorkOffsetFrame frame = fuzz::FrameFor(size);
  CompressionApiCache api;
  fuzz::OpenModelFile("model.DMEZ", bytes, frame, true, api);
  fuzz::OpenModelFile("model.DMFZ", bytes, frame, true, api);
  return 0;
}
