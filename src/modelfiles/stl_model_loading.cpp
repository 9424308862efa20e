#include "modelfiles/stl_model_loading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "model/model_flag_passes.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "model/triangle_geometry.h"
#include "modelfiles/dexel_repair.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/placement_matrix_file.h"
#include "modelfiles/stl_file.h"
#include "modelfiles/stl_slicing.h"

namespace vestan {

namespace {

constexpr std::string_view kReadingJapanese = "STL読み込み計算";
constexpr std::string_view kReadingEnglish = "Reading STL";
// Shown while the sliced columns are cleaned.
constexpr std::string_view kCleaningColumns = "データ整合中";

// The slicing axes of a one-side load: 1 X, 2 Y, 3 Z, either sign.
StlSliceAxes AxesOfSide(int32_t stlAxis) {
  const int32_t axis = std::abs(stlAxis);
  return axis == 1 ? kSliceX : axis == 2 ? kSliceY : kSliceZ;
}

bool IsOneSide(int32_t stlAxis) { return stlAxis != 0 && std::abs(stlAxis) <= 3; }

const std::vector<double>& GridOf(const DexelModel& model, int axis) {
  return axis == kDirectionX ? model.GridX : axis == kDirectionY ? model.GridY : model.GridZ;
}

void ShowStatus(ProgressState& progress, std::string_view text) {
  if (progress.Display != nullptr) progress.Display->SetStatusText(0, text);
}

void PumpAfterSet(ProgressState* progress) {
  if (progress != nullptr && progress->Pump.PumpDuringWork != 0) PumpPendingMessage(*progress);
}

// Leaves the model absent and tells the log why.
int32_t Refuse(DexelModel& model, int32_t code, ProgressState& progress, std::string_view path,
               std::string_view reason) {
  if (progress.Display != nullptr)
    progress.Display->Log("STL " + std::string(path) + ": " + std::string(reason));
  return detail::RefuseModel(model, code);
}

std::string_view SliceFailure(int32_t code) {
  return code == kModelNoMemory ? "the slicing would take more memory than there is"
                                : "a dexel line meets more than 10000 facets";
}

// Memory left for the slicing once the model is allocated.
uint64_t MemoryLeft(const DexelModel& model, uint64_t limit) {
  const uint64_t used = EstimateModelMemory(model);
  return used < limit ? limit - used : 0;
}

// Some column of the model holds material of some length.
bool HasMaterial(const DexelModel& model) {
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& set = model.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      const std::span<const double> v = DexelColumnValues(set, c);
      if (v.size() >= 2 && v.back() > v.front()) return true;
    }
  }
  return false;
}

void NormalizeSets(DexelModel& model, bool clip, ProgressState* progress) {
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    DexelSet& set = model.SetByDirection(d);
    const std::vector<double>& grid = GridOf(model, d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      int32_t n = DexelColumnCount(set, c);
      if (n <= 0) continue;
      const size_t room = static_cast<size_t>(std::max(n, 2));
      values.resize(room);
      flags.resize(room);
      attributes.resize(room);
      GetDexelColumn(set, c, values, flags, attributes);
      SortColumnValues(n, values, flags);
      if (n >= 3) {
        // Hits of one crossing met through shared edges and vertices.
        int32_t kept = 0;
        attributes[0] = 0;
        for (int32_t i = 1; i < n; ++i) {
          if (values[i] == values[kept]) {
            flags[kept] |= flags[i];
            ++attributes[kept];
          } else {
            ++kept;
            values[kept] = values[i];
            flags[kept] = flags[i];
            attributes[kept] = attributes[i];
          }
        }
        n = kept + 1;
      }
      if (n == 1) {
        // A line that only touched the surface: an empty interval there.
        values[1] = values[0];
        flags[1] = flags[0];
        attributes[1] = attributes[0];
        n = 2;
      } else if (n == 3) {
        // A touch between an enter and a leave.
        values[1] = values[2];
        flags[1] = flags[2];
        attributes[1] = attributes[2];
        n = 2;
      }
      if (clip) ClipColumnToRange(n, values, flags, attributes, grid.front(), grid.back());
      SetDexelColumn(set, c, std::span(values).first(n), flags, attributes);
    }
    PumpAfterSet(progress);
  }
}

// The single dropouts of a one-side slice, filled from their neighbours.
void FilterHeights(DexelModel& model, int32_t stlAxis) {
  const StlSliceAxes axes = AxesOfSide(stlAxis);
  DexelSet& set = model.SetByDirection(axes.Line);
  const int32_t w = static_cast<int32_t>(GridOf(model, axes.First).size());
  const int32_t h = static_cast<int32_t>(GridOf(model, axes.Second).size());
  const int slot = stlAxis > 0 ? 1 : 0;
  const double level = stlAxis > 0 ? model.MinCorner()[axes.Line] : model.MaxCorner()[axes.Line];
  std::vector<double> heights(static_cast<size_t>(set.Columns), level);
  for (int32_t c = 0; c < set.Columns; ++c) {
    const std::span<const double> v = DexelColumnValues(set, c);
    if (v.size() == 2) heights[c] = v[slot];
  }
  RepairHeightGrid(stlAxis > 0 ? 1 : 0, w, h, heights, level);
  std::array<double, 2> pair{};
  const std::array<uint8_t, 2> flags{};
  const std::array<int32_t, 2> attributes{};
  for (int32_t c = 0; c < set.Columns; ++c) {
    const std::span<const double> v = DexelColumnValues(set, c);
    if (v.size() != 2 || v[slot] == heights[c]) continue;
    pair = {v[0], v[1]};
    pair[slot] = heights[c];
    SetDexelColumn(set, c, pair, flags, attributes);
  }
}

// From the sliced raw hits to the finished columns.
void CleanSlicedColumns(DexelModel& model, int32_t stlAxis, int32_t filter, bool clip,
                        ProgressState& progress) {
  if (!IsOneSide(stlAxis)) {
    NormalizeSets(model, clip, &progress);
    RepairSlicedModel(model, &progress);
    ClearDexelTags(model, &progress);
    return;
  }
  const StlSliceAxes axes = AxesOfSide(stlAxis);
  if (filter != 0) FilterHeights(model, stlAxis);
  BuildCrossSetsFromHeightsAxes(model, axes, stlAxis);
  RemoveInvertedColumns(model, axes.Line);
  // The side the mesh was seen from is closed now.
  model.SideFlags()[2 * axes.Line + (stlAxis > 0 ? 0 : 1)] = 0;
}

// Slices the file into the allocated model: along all three directions, or
// from one side; the transform (when given) takes the vertices into the
// model's coordinates.
int32_t SliceFile(DexelModel& model, int32_t kind, std::string_view path, int32_t stlAxis,
                  const ModelLoadSettings& settings, StlImportTransform* transform,
                  ProgressState& progress) {
  BeginProgress(progress, kProgressFileBytes, 0, path, IsOneSide(stlAxis) ? 2 : 4, kReadingJapanese,
                kReadingEnglish);
  model.SideFlags() = {1, 1, 1, 1, 1, 1};
  const StlSliceContext context{&settings.StlOptions, transform, &progress,
                                MemoryLeft(model, settings.MemoryLimit)};
  int32_t code = kModelOk;
  if (!IsOneSide(stlAxis)) {
    for (const StlSliceAxes axes : {kSliceZ, kSliceX, kSliceY}) {
      code = SliceStlIntoModel(kind, std::string(path), axes, model, model.MaxCorner(),
                               model.MinCorner(), context);
      if (code != kModelOk) break;
    }
  } else {
    SliceStlIntoModelA(kind, std::string(path), AxesOfSide(stlAxis), stlAxis > 0 ? 1 : -1, model,
                       model.MaxCorner(), model.MinCorner(), context);
  }
  if (transform != nullptr) ResetStlImportFlags(*transform);
  EndProgress(progress);
  return code;
}

void FinishLoadedModel(DexelModel& model, ProgressState& progress) {
  MarkWholeGridChanged(model);
  FinishModelPlacement(model);
  ShowStatus(progress, "");
}

// Puts back the import choice that a one-shot override stood in for.
class ImportOverrideUse {
 public:
  explicit ImportOverrideUse(ModelLoadSettings& settings)
      : settings_(settings), saved_(settings.ImportChoice) {
    if (settings.ImportOverride == 0 || settings.ImportOverride == 1) {
      settings.ImportChoice = settings.ImportOverride;
      settings.ImportOverride = 2;
    }
  }
  ~ImportOverrideUse() {
    if (settings_.ImportOverride == 2) {
      settings_.ImportOverride = -1;
      settings_.ImportChoice = saved_;
    }
  }
  ImportOverrideUse(const ImportOverrideUse&) = delete;
  ImportOverrideUse& operator=(const ImportOverrideUse&) = delete;

 private:
  ModelLoadSettings& settings_;
  int32_t saved_;
};

}  // namespace

int32_t LoadStlModel(DexelModel& model, std::string_view path, const Placement& placement,
                     const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                     ProgressState* progressIn) {
  ProgressState quiet;
  ProgressState& progress = progressIn != nullptr ? *progressIn : quiet;
  FreeDexelModel(model);
  if (settings.ImportChoice == 1) {
    std::copy(frame.Matrix.begin(), frame.Matrix.end(), model.Placement.begin());
    std::copy(frame.Origin.begin(), frame.Origin.end(), model.Placement.begin() + 9);
  } else {
    Placement chosen = placement;
    const PlacementMatrixRead read = ReadPlacementMatrix(settings.StlMatrixFile, chosen);
    if (!read.Error.empty())
      return Refuse(model, kModelBadGrid, progress, path,
                    "the matrix file " + settings.StlMatrixFile + ": " + read.Error);
    NormalizePlacementMatrix(chosen, model.Placement);
  }
  const Matrix3 inverse = InvertMatrix3(PlacementMatrix(model.Placement));
  if (!detail::AllFinite(model.Placement.data(), model.Placement.size()) ||
      !detail::AllFinite(inverse.data(), inverse.size()))
    return Refuse(model, kModelBadGrid, progress, path, "the placement cannot be inverted");

  const int32_t kind = DetectStlKind(std::string(path));
  if (kind == kStlUnreadable)
    return Refuse(model, kModelBadGrid, progress, path, "not a readable STL file");
  Vec3 maximum, minimum;
  if (!MeasureStlBounds(kind, std::string(path), settings.StlOptions, maximum, minimum))
    return Refuse(model, kModelBadGrid, progress, path,
                  "no facets, or a vertex that is not a finite number");

  const double pitch = settings.Pitch;
  const int32_t stlAxis = IsOneSide(settings.StlAxis) ? settings.StlAxis : 0;
  if (!(pitch > 0) || !std::isfinite(pitch))
    return Refuse(model, kModelBadGrid, progress, path, "the pitch is not above 0");
  std::array<double, 3> origin{};
  std::array<int32_t, 3> counts{};
  for (int a = 0; a < 3; ++a) {
    origin[a] = stlAxis == 0 ? std::floor(minimum[a]) : minimum[a];
    const double cells = std::ceil((maximum[a] - origin[a]) / pitch);
    if (!(cells >= 0) || cells >= std::numeric_limits<int32_t>::max() - 1)
      return Refuse(model, kModelBadGrid, progress, path, "the mesh is too large for the pitch");
    counts[a] = std::max(static_cast<int32_t>(cells) + 1, 2);
  }
  if (stlAxis < 0) {
    // Seen from the minus side: the grid ends at the mesh's maximum.
    const int a = AxesOfSide(stlAxis).Line;
    origin[a] = maximum[a] - (counts[a] - 1) * pitch;
  }
  model.Pitch = pitch;
  model.CountX = counts[0];
  model.CountY = counts[1];
  model.CountZ = counts[2];
  model.OriginX = origin[0];
  model.OriginY = origin[1];
  model.OriginZ = origin[2];
  if (const int32_t code = detail::AllocLoadedModel(model, 0, settings.MemoryLimit);
      code != kModelOk)
    return Refuse(model, code, progress, path, "the grid around the mesh cannot be allocated");
  model.MaxCorner() = maximum;
  model.MinCorner() = minimum;

  if (const int32_t code = SliceFile(model, kind, path, stlAxis, settings, nullptr, progress);
      code != kModelOk)
    return Refuse(model, code, progress, path, SliceFailure(code));
  ShowStatus(progress, kCleaningColumns);
  CleanSlicedColumns(model, stlAxis, settings.StlFilter, false, progress);
  FinishLoadedModel(model, progress);
  ComputeMaterialBounds(model, model.MinCorner(), model.MaxCorner());
  return kModelOk;
}

int32_t LoadStlModelOnGrid(DexelModel& model, std::string_view path, const DexelModel& workModel,
                           int32_t stlAxis, ModelLoadSettings& settings,
                           const WorkOffsetFrame& frame, ProgressState* progressIn) {
  ProgressState quiet;
  ProgressState& progress = progressIn != nullptr ? *progressIn : quiet;
  const ImportOverrideUse importChoice(settings);
  FreeDexelModel(model);
  if (!HasFileEnding(path, ".STL"))
    return Refuse(model, kModelBadGrid, progress, path, "the name does not end in .STL");
  if (!workModel.Allocated() || workModel.CountX < 2)
    return Refuse(model, kModelBadGrid, progress, path,
                  "there is no workpiece to take the grid of");
  model.Placement = workModel.Placement;
  model.InverseMatrix = workModel.InverseMatrix;
  model.NegTranslation = workModel.NegTranslation;
  model.Pitch = workModel.Pitch;

  const int32_t kind = DetectStlKind(std::string(path));
  if (kind == kStlUnreadable)
    return Refuse(model, kModelBadGrid, progress, path, "not a readable STL file");
  // The bounds are not needed, only the proof that the file has facets and
  // only finite vertices.
  Vec3 maximum, minimum;
  if (!MeasureStlBounds(kind, std::string(path), StlImportOptions{}, maximum, minimum))
    return Refuse(model, kModelBadGrid, progress, path,
                  "no facets, or a vertex that is not a finite number");
  Vec3 low, high;
  SetupGridAroundModel(workModel, model, low, high, kStlGridMargin, kStlGridMargin, kStlGridMargin);
  if (!IsUsableGrid(model.CountX, model.CountY, model.CountZ, model.Pitch) ||
      !detail::GridLinesFinite(model))
    return Refuse(model, kModelBadGrid, progress, path, "the widened grid is not usable");
  if (!detail::FitsMemory(model, 0, settings.MemoryLimit))
    return Refuse(model, kModelNoMemory, progress, path, "the widened grid does not fit memory");
  if (const int code = InitDexelGridsWhole(model); code != kModelOk)
    return Refuse(model, code, progress, path, "the widened grid cannot be laid out");
  if (const int code = AllocDexelModel(model); code != kModelOk)
    return Refuse(model, code, progress, path, "the widened grid cannot be allocated");
  model.MinCorner() = low;
  model.MaxCorner() = high;

  const int32_t side = IsOneSide(stlAxis) ? stlAxis : 0;
  StlImportTransform transform;
  SetupStlImportTransform(transform, model, settings.ImportChoice, frame);
  if (const int32_t code = SliceFile(model, kind, path, side, settings, &transform, progress);
      code != kModelOk)
    return Refuse(model, code, progress, path, SliceFailure(code));
  ShowStatus(progress, kCleaningColumns);
  CleanSlicedColumns(model, side, settings.StlFilter, true, progress);
  FinishLoadedModel(model, progress);
  if (!HasMaterial(model))
    return Refuse(model, kModelBadGrid, progress, path, "the mesh leaves no material on the grid");
  return kModelOk;
}

void SetupGridAroundModel(const DexelModel& workModel, DexelModel& model, Vec3& lowCorner,
                          Vec3& highCorner, int32_t marginX, int32_t marginY, int32_t marginZ) {
  const auto grown = [](int32_t count, int32_t margin) {
    const int64_t n = static_cast<int64_t>(count) + 2 * static_cast<int64_t>(margin);
    return static_cast<int32_t>(std::clamp<int64_t>(n, 0, std::numeric_limits<int32_t>::max()));
  };
  const double pitch = workModel.Pitch;
  model.SlotCount = 1;
  model.StrideX = workModel.StrideX;
  model.StrideY = workModel.StrideY;
  model.StrideZ = workModel.StrideZ;
  model.Pitch = pitch;
  model.CountX = grown(workModel.CountX, marginX);
  model.CountY = grown(workModel.CountY, marginY);
  model.CountZ = grown(workModel.CountZ, marginZ);
  model.LastX = model.CountX - 1;
  model.LastY = model.CountY - 1;
  model.LastZ = model.CountZ - 1;
  model.OriginX = workModel.OriginX - marginX * pitch;
  model.OriginY = workModel.OriginY - marginY * pitch;
  model.OriginZ = workModel.OriginZ - marginZ * pitch;
  lowCorner = {model.OriginX, model.OriginY, model.OriginZ};
  highCorner = {workModel.OriginX + (workModel.CountX - 1) * pitch + marginX * pitch,
                workModel.OriginY + (workModel.CountY - 1) * pitch + marginY * pitch,
                workModel.OriginZ + (workModel.CountZ - 1) * pitch + marginZ * pitch};
}

void NormalizeColumns(DexelModel& model, ProgressState* progress) {
  NormalizeSets(model, false, progress);
}

void NormalizeAndClipColumns(DexelModel& model, ProgressState* progress) {
  NormalizeSets(model, true, progress);
}

void SortColumnValues(int32_t count, std::span<double> values, std::span<uint8_t> flags) {
  const size_t n = std::min({static_cast<size_t>(std::max(count, 0)), values.size(), flags.size()});
  if (n == 1) {
    if (values.size() >= 2 && flags.size() >= 2) {
      values[1] = values[0];
      flags[1] = flags[0];
    }
    return;
  }
  if (n == 2) {
    if (values[0] > values[1]) {
      std::swap(values[0], values[1]);
      std::swap(flags[0], flags[1]);
    }
    return;
  }
  // Values equal to one another are merged afterwards, so which of their flag
  // bytes stands first does not matter. A value that is not a number sorts
  // last.
  std::vector<std::pair<double, uint8_t>> pairs(n);
  for (size_t i = 0; i < n; ++i) pairs[i] = {values[i], flags[i]};
  std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
    return a.first < b.first || (!std::isnan(a.first) && std::isnan(b.first));
  });
  for (size_t i = 0; i < n; ++i) std::tie(values[i], flags[i]) = pairs[i];
}

void ClipColumnToRange(int32_t& count, std::span<double> values, std::span<uint8_t> flags,
                       std::span<int32_t> attributes, double low, double high) {
  const int32_t n = static_cast<int32_t>(std::min(
      {static_cast<size_t>(std::max(count, 0)), values.size(), flags.size(), attributes.size()}));
  if (n == 0) return;
  if (values[0] >= low && values[n - 1] <= high) return;
  if (values[0] >= high || values[n - 1] <= low) {
    count = 0;
    return;
  }
  const auto bound = [&](int32_t i, double v) {
    values[i] = v;
    flags[i] = 0;
    attributes[i] = 0;
  };
  int32_t start = 0;
  if (low > values[0]) {
    for (int32_t i = 1; i < n; ++i) {
      if (values[i] < low) continue;
      if (values[i] == low) {
        start = i;
      } else {
        bound(i - 1, low);
        start = i - 1;
      }
      break;
    }
  }
  int32_t end = n - 1;
  if (values[n - 1] > high) {
    for (int32_t i = n - 2; i >= 0; --i) {
      if (values[i] > high) continue;
      if (values[i] == high) {
        end = i;
      } else {
        bound(i + 1, high);
        end = i + 1;
      }
      break;
    }
  }
  const int32_t kept = end - start + 1;
  for (int32_t i = 0; i < kept; ++i) {
    values[i] = values[start + i];
    flags[i] = flags[start + i];
    attributes[i] = attributes[start + i];
  }
  count = kept;
}

void ClearDexelTags(DexelModel& model, ProgressState* progress) {
  const std::vector<uint8_t> flags(kMaxColumnValues, 0);
  const std::vector<int32_t> attributes(kMaxColumnValues, 0);
  std::vector<double> values;
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    DexelSet& set = model.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      if (DexelColumnCount(set, c) <= 0) continue;
      const std::span<const double> v = DexelColumnValues(set, c);
      values.assign(v.begin(), v.end());
      SetDexelColumn(set, c, values, flags, attributes);
    }
    PumpAfterSet(progress);
  }
}

}  // namespace vestan
