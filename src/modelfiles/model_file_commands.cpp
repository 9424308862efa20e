#include "modelfiles/model_file_commands.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "modelfiles/dme_file.h"
#include "modelfiles/placement_matrix_file.h"
#include "modelfiles/stl_model_loading.h"

namespace vestan {

namespace {

constexpr Placement kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

// A fresh, uniquely named file in the system's temporary folder, removed
// when it goes. ending is kept at the end of the name.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string_view ending) {
    std::error_code ec;
    std::string pattern =
        (std::filesystem::temp_directory_path(ec) / "vestan-model-XXXXXX").string();
    pattern.append(ending);
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(ending.size()));
    if (fd < 0) return;
    ::close(fd);
    path_ = pattern;
  }
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Created() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

ModelFileOutcome Outcome(int32_t result, std::string text = {}, std::string caption = {}) {
  return ModelFileOutcome{result, std::move(text), std::move(caption)};
}

ModelFileOutcome LoadOutcome(int32_t result) {
  if (result == kModelBadGrid) return Outcome(result, "Data Destroyed!", "Data error");
  if (result < 0) return Outcome(result, "Memory over!", "Data size error");
  return Outcome(result);
}

int32_t LoadPlainDme(DexelModel& model, const std::string& plain, ModelLoadSettings& settings,
                     const WorkOffsetFrame& frame) {
  const int32_t variant = GetDmeVariant(plain);
  if ((frame.FrameOffset != 0 || frame.FrameRotated != 0) && variant != kDmeVariantNone)
    settings.ImportChoice = variant == kDmeVariantMachine ? 0 : 1;
  if (variant == kDmeVariantNone)
    return LoadModelFileAs(ModelFileKind::kDme, model, plain, kIdentity, settings, frame);
  return LoadDmeFile(model, plain, settings.ImportChoice, frame, settings.MemoryLimit);
}

ModelFileOutcome SaveFailure(int32_t result, std::string_view path, const std::string& reason) {
  return Outcome(result, "Cannot save " + std::string(path) + ": " + reason, "Save error");
}

}  // namespace

ModelFileOutcome OpenWorkModelFile(DexelModel& model, std::string_view path,
                                   ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                                   CompressionApiCache& api, ProgressState* progress) {
  const bool dmeKind = HasFileEnding(path, ".DME") || HasFileEnding(path, ".DMEZ");
  const bool dmfKind = HasFileEnding(path, ".DMF") || HasFileEnding(path, ".DMFZ");
  if (!dmeKind && !dmfKind)
    return LoadOutcome(LoadModelFileIdentity(model, path, settings, frame, progress));

  std::string plain(path);
  std::optional<TemporaryFile> temporary;
  if (IsCompressedFile(path) != 0) {
    if (IsCompressionApiAvailable(api) == 0)
      return Outcome(kCompressNoCodec, "Please run on Windows 8 or later.",
                     dmeKind ? "Compressed DME?" : "Compressed DMF?");
    temporary.emplace(dmeKind ? ".dme" : ".dmf");
    if (!temporary->Created()) return Outcome(kCompressTargetNotCreated, "Broken Data?", "Warning");
    const int32_t unpacked = DecompressFile(path, temporary->Path(), nullptr, settings.MemoryLimit);
    if (unpacked == kCompressSourceTooLarge) return LoadOutcome(unpacked);
    if (unpacked != kCompressOk) return Outcome(kCompressBadData, "Broken Data?", "Warning");
    plain = temporary->Path();
  } else if (dmeKind && HasFileEnding(path, ".DMEZ")) {
    return Outcome(kCompressBadData, "Broken Data?", "Warning");
  }
  if (dmeKind) {
    const int32_t loaded = LoadPlainDme(model, plain, settings, frame);
    if (loaded == kModelOk) WriteMatrixDebug(model.Placement, settings.CheckMatrix);
    return LoadOutcome(loaded);
  }
  return LoadOutcome(
      LoadModelFileAs(ModelFileKind::kDmf, model, plain, kIdentity, settings, frame, progress));
}

ModelFileOutcome OpenBasicModelFile(WorkDocument& document, std::string_view path,
                                    ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                                    ProgressState* progress) {
  FreeDexelModel(document.BasicModel);
  document.BasicModel.CountX = 0;
  FreeDexelModel(document.DifferenceModel);
  document.DifferenceModel.CountX = 0;
  document.BasicModelLoaded = 0;
  const int32_t loaded = LoadStlModelOnGrid(document.BasicModel, path, document.Workpiece(), 0,
                                            settings, frame, progress);
  if (loaded == kModelOk) {
    document.BasicModelLoaded = 1;
    document.ReferenceShift = {kStlGridMargin, kStlGridMargin, kStlGridMargin};
  }
  return LoadOutcome(loaded);
}

ModelFileOutcome SaveWorkModelFile(const DexelModel& model, std::string_view path, int32_t stlKind,
                                   int32_t exportCoordinate, const WorkOffsetFrame& frame,
                                   CompressionApiCache& api, ProgressState* progress) {
  std::string reason;
  if (!HasFileEnding(path, ".DMEZ")) {
    const int32_t result =
        SaveWorkModel(model, path, stlKind, exportCoordinate, frame, &reason, progress);
    return result == kSaveOk ? Outcome(result) : SaveFailure(result, path, reason);
  }
  if (IsCompressionApiAvailable(api) == 0)
    return SaveFailure(kCompressNoCodec, path, "the compressor is not available");
  TemporaryFile temporary(".dme");
  if (!temporary.Created())
    return SaveFailure(kSaveTempNotCreated, path, "no temporary file can be made");
  const int32_t saved =
      SaveWorkModel(model, temporary.Path(), stlKind, exportCoordinate, frame, &reason);
  if (saved != kSaveOk) return SaveFailure(saved, path, reason);
  const int32_t packed = CompressFile(temporary.Path(), path, &reason);
  return packed == kCompressOk ? Outcome(kSaveOk) : SaveFailure(packed, path, reason);
}

}  // namespace vestan
