// Model files: the bytes opened as a DME and a DMF through the open command
// as the shell calls it, with a memory limit that keeps a declared grid from
// taking the machine. Every model that loads saves as DME and reloads to the
// same bits. Compressed files have a target of their own
// (compressed_model_files): the codec is not set up here.
#include <cstdint>

#include "model_file_checks.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  // A compressed file would be decoded before loading: that is the other
  // target's work.
  if (IsCompressedFile(fuzz::WriteScratchFile("probe.DME", bytes)) != 0) return 0;
  const WorkOffsetFrame frame = fuzz::FrameFor(size);
  CompressionApiCache api;
  fuzz::OpenModelFile("model.DME", bytes, frame, false, api);
  fuzz::OpenModelFile("model.DMF", bytes, frame, false, api);
  // A plain file named ".DMEZ" is refused without the codec.
  fuzz::OpenModelFile("model.DMEZ", bytes, frame, false, api);
  FUZZ_CHECK(api.Available < 0);
  return 0;
}
