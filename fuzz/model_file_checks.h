// What the model file targets share: opening bytes through the open command
// as the shell calls it, with a memory limit that keeps a declared grid from
// taking the machine, and the checks of what it reports and loads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "model/dexel_model.h"
#include "model/model_history.h"
#include "modelfiles/compressed_model_file.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"

namespace vestan::fuzz {

// Small enough that the largest model an input may declare loads in about a
// second under the sanitizers.
inline constexpr uint64_t kModelMemoryLimit = 64u << 20;
// Larger models are not saved and reloaded, nor larger images compressed:
// they reach no other code, and would only slow the run.
inline constexpr uint64_t kMostRoundTrip = 4u << 20;
inline constexpr size_t kMostCompressed = 1u << 16;

// The work frame by the input's length: trivial, offset, or offset and
// turned a quarter about Z, so that the header letter and the import choice
// take every path.
inline WorkOffsetFrame FrameFor(size_t size) {
  WorkOffsetFrame frame;
  if (size % 3 == 0) return frame;
  frame.Origin = {10.5, -3.25, 0.125};
  frame.FrameOffset = 1;
  if (size % 3 == 2) {
    frame.FrameRotated = 1;
    frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    frame.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  }
  return frame;
}

// Saves the model as DME, reloads it and returns the reloaded model's image.
inline std::string SaveAndReload(const DexelModel& model, const WorkOffsetFrame& frame,
                                 const std::string& image, DexelModel& again) {
  const std::string path = WriteScratchFile("round.DME", image);
  FUZZ_CHECK(LoadDmeFile(again, path, 0, frame, kModelMemoryLimit) == kModelOk);
  FUZZ_CHECK(again.CountX == model.CountX && again.CountY == model.CountY &&
             again.CountZ == model.CountZ);
  return BuildDmeImage(again, 0, frame);
}

// A loaded model takes no more memory than the limit: the loaders' bound of
// what a file makes them allocate holds. A model read from a DME file
// reloads from its save to the same bits, and with viaCompressed also
// through the compressed form. A DMF model may hold values just past its
// grid (its base is rounded to single precision, its origin is not), which
// the DME reader clamps: its save is the same bits from the second save on.
inline void CheckLoaded(const DexelModel& model, const WorkOffsetFrame& frame, bool fromDme,
                        bool viaCompressed, CompressionApiCache& api) {
  FUZZ_CHECK(model.Allocated() && model.CountX >= 2);
  const uint64_t bytes = EstimateModelMemory(model);
  FUZZ_CHECK(bytes <= kModelMemoryLimit);
  if (bytes > kMostRoundTrip) return;
  std::string image = BuildDmeImage(model, 0, frame);
  DexelModel again;
  std::string reloaded = SaveAndReload(model, frame, image, again);
  if (!fromDme) {
    DexelModel third;
    image = std::move(reloaded);
    reloaded = SaveAndReload(again, frame, image, third);
  }
  FUZZ_CHECK(reloaded == image);
  if (!viaCompressed || !fromDme || image.size() > kMostCompressed) return;
  const std::string packed = ProcessFolder() / "round.DMEZ";
  FUZZ_CHECK(SaveWorkModelFile(model, packed, 0, 0, frame, api).Result == kSaveOk);
  ModelLoadSettings settings;
  settings.MemoryLimit = kModelMemoryLimit;
  DexelModel unpacked;
  FUZZ_CHECK(OpenWorkModelFile(unpacked, packed, settings, WorkOffsetFrame{}, api).Result ==
             kModelOk);
  FUZZ_CHECK(BuildDmeImage(unpacked, 0, frame) == image);
}

// Opens the bytes under a name and checks what the command reports.
inline void OpenModelFile(std::string_view name, std::string_view bytes,
                          const WorkOffsetFrame& frame, bool viaCompressed,
                          CompressionApiCache& api) {
  const std::string path = WriteScratchFile(name, bytes);
  ModelLoadSettings settings;
  settings.MemoryLimit = kModelMemoryLimit;
  settings.ImportChoice = frame.FrameOffset;
  DexelModel model;
  const ModelFileOutcome outcome = OpenWorkModelFile(model, path, settings, frame, api);
  if (outcome.Result == kModelOk) {
    FUZZ_CHECK(outcome.Text.empty());
    CheckLoaded(model, frame, HasFileEnding(name, ".DME") || HasFileEnding(name, ".DMEZ"),
                viaCompressed, api);
    return;
  }
  // Refused: nothing is left allocated, and the message says why.
  FUZZ_CHECK(outcome.Result < 0);
  FUZZ_CHECK(!model.Allocated() && model.CountX == 0);
  if (outcome.Text == "Broken Data?") {
    FUZZ_CHECK(outcome.Result == kCompressBadData && outcome.Caption == "Warning");
  } else if (outcome.Result == kModelBadGrid) {
    FUZZ_CHECK(outcome.Text == "Data Destroyed!" && outcome.Caption == "Data error");
  } else {
    FUZZ_CHECK(outcome.Text == "Memory over!" && outcome.Caption == "Data size error");
  }
}

}  // namespace vestan::fuzz
