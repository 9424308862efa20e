#include "modelfiles/model_file_loading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "definitions/settings.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_reader.h"
#include "modelfiles/stl_model_loading.h"

namespace vestan {

namespace {

constexpr Placement kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

// DMF layout: 16 header bytes, 12 placement doubles, then the grid fields up
// to the first height.
constexpr uint64_t kDmfHeaderBytes = 16;
constexpr uint64_t kDmfFirstHeight = 156;
constexpr uint64_t kDmfTrailerBytes = 8 + 4;  // two unused words, the base level

// The fixed fields of a DMF file.
struct DmfLayout {
  int32_t CountX = 0, CountY = 0;
  double Pitch = 0.0;
  double Scale = 0.0;    // 0: float heights, else integers times Scale
  int32_t TagLevel = 0;  // 1+: a tag byte per sample, 2+: an attribute word too
  int32_t Uniform = 0;   // non-zero: one height for every sample
  uint64_t Samples = 0;  // heights stored
  uint64_t TagsAt = 0, AttributesAt = 0, TrailerAt = 0;
};

// A stored height unrounded (the integer times the scale, or the float) and
// as the columns take it, to float precision. False when either is not a
// finite number.
bool ConvertHeight(const DmfLayout& layout, uint32_t stored, double& height,
                   double* exact = nullptr) {
  double value;
  if (layout.Scale == 0.0) {
    float f;
    std::memcpy(&f, &stored, 4);
    value = f;
  } else {
    int32_t i;
    std::memcpy(&i, &stored, 4);
    value = i * layout.Scale;
  }
  if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return false;
  height = RoundToSingle(value);
  if (exact != nullptr) *exact = value;
  return true;
}

bool ReadDmfLayout(ModelFileReader& in, DmfLayout& layout) {
  int32_t unusedCount = 0;
  double unusedValue = 0.0;
  if (!in.ReadI32(layout.CountX) || !in.ReadI32(layout.CountY) || !in.ReadI32(unusedCount) ||
      !in.ReadF64(layout.Pitch) || !in.ReadF64(unusedValue) || !in.ReadF64(layout.Scale) ||
      !in.ReadI32(layout.TagLevel) || !in.ReadI32(layout.Uniform))
    return false;
  if (!IsUsableGrid(layout.CountX, layout.CountY, 2, layout.Pitch) || !std::isfinite(layout.Scale))
    return false;
  layout.Samples = layout.Uniform != 0 ? 1 : static_cast<uint64_t>(layout.CountX) * layout.CountY;
  layout.TagsAt = kDmfFirstHeight + 4 * layout.Samples;
  layout.AttributesAt = layout.TagsAt + (layout.TagLevel >= 1 ? layout.Samples : 0);
  layout.TrailerAt = layout.AttributesAt + (layout.TagLevel >= 2 ? 4 * layout.Samples : 0);
  return layout.TrailerAt + kDmfTrailerBytes <= in.Size();
}

// First pass: the heights as the columns take them (no more than the file
// holds), the highest, and the base level both as the columns take it and
// unrounded (the grid's origin).
bool ScanDmfHeights(ModelFileReader& in, const DmfLayout& layout, std::vector<double>& heights,
                    double& highest, double& base, double& baseExact) {
  const int32_t rowLength = layout.Uniform != 0 ? 1 : layout.CountX;
  const int32_t rows = layout.Uniform != 0 ? 1 : layout.CountY;
  std::vector<uint32_t> row(rowLength);
  heights.clear();
  heights.reserve(layout.Samples);
  highest = -99999999999.0;
  for (int32_t j = 0; j < rows; ++j) {
    if (!in.ReadBytes(row.data(), row.size() * 4)) return false;
    for (const uint32_t& stored : row) {
      double h;
      if (!ConvertHeight(layout, stored, h)) return false;
      highest = std::max(highest, h);
      heights.push_back(h);
    }
  }
  uint32_t stored = 0;
  return in.Seek(layout.TrailerAt + 8) && in.ReadBytes(&stored, 4) &&
         ConvertHeight(layout, stored, base, &baseExact);
}

// At most the bytes of the columns longer than the stride in the X and Y
// sets that BuildCrossSetsFromHeights (material under the top) derives from
// heights (nx per row, ny rows; one sample when uniform). A column at level
// z(k) holds no more than the two ends of its row and one value for each
// neighbouring pair of samples whose heights differ and span z(k); a pair is
// taken to span one level more on either side, against rounding.
uint64_t CrossSetLongBytes(std::span<const double> heights, int32_t nx, int32_t ny, double z0,
                           double pitch, int32_t nz) {
  constexpr uint64_t kMaxBytes = std::numeric_limits<uint64_t>::max();
  if (heights.size() < 2) return 0;
  std::vector<int32_t> starts(static_cast<size_t>(nz) + 1);
  uint64_t bytes = 0;
  // count samples from first, step apart.
  const auto row = [&](size_t first, size_t step, int32_t count) {
    std::fill(starts.begin(), starts.end(), 0);
    for (int32_t s = 0; s + 1 < count; ++s) {
      const double a = heights[first + s * step], b = heights[first + (s + 1) * step];
      if (a == b) continue;
      const double low = std::max(std::ceil((std::min(a, b) - z0) / pitch) - 1, 0.0);
      const double high = std::min(std::floor((std::max(a, b) - z0) / pitch) + 1, nz - 1.0);
      if (low > high) continue;
      ++starts[static_cast<size_t>(low)];
      --starts[static_cast<size_t>(high) + 1];
    }
    int64_t pairs = 0;
    for (int32_t k = 0; k < nz; ++k) {
      pairs += starts[k];
      const uint64_t column = LongColumnBytes(pairs + 2);
      bytes = column > kMaxBytes - bytes ? kMaxBytes : bytes + column;
    }
  };
  for (int32_t j = 0; j < ny; ++j) row(static_cast<size_t>(j) * nx, 1, nx);
  for (int32_t i = 0; i < nx; ++i) row(i, nx, ny);
  return bytes;
}

// Second pass: every Z column [base, height] with its tag and attribute.
bool FillDmfColumns(ModelFileReader& in, const DmfLayout& layout, double base, DexelModel& model) {
  DexelSet& set = model.ZSet();
  const bool tags = layout.TagLevel >= 1, words = layout.TagLevel >= 2;
  std::array<double, 2> values{base, 0.0};
  std::array<uint8_t, 2> flags{};
  std::array<int32_t, 2> attributes{};
  if (layout.Uniform != 0) {
    // The single sample's tag and attribute follow its height, whatever the
    // tag level says is stored.
    uint32_t stored = 0;
    uint8_t tag = 0;
    int32_t word = 0;
    if (!in.Seek(kDmfFirstHeight) || !in.ReadBytes(&stored, 4) || !in.ReadBytes(&tag, 1) ||
        !in.ReadI32(word) || !ConvertHeight(layout, stored, values[1]))
      return false;
    flags[1] = tags ? tag : 0;
    attributes[1] = words ? word : 0;
    for (int32_t c = 0; c < model.ColumnsZ; ++c) SetDexelColumn(set, c, values, flags, attributes);
    return true;
  }
  const size_t nx = layout.CountX;
  std::vector<uint32_t> heightRow(nx);
  std::vector<uint8_t> tagRow(nx, 0);
  std::vector<int32_t> wordRow(nx, 0);
  for (int32_t j = 0; j < layout.CountY; ++j) {
    const uint64_t first = static_cast<uint64_t>(j) * nx;
    if (!in.Seek(kDmfFirstHeight + 4 * first) || !in.ReadBytes(heightRow.data(), 4 * nx))
      return false;
    if (tags && (!in.Seek(layout.TagsAt + first) || !in.ReadBytes(tagRow.data(), nx))) return false;
    if (words &&
        (!in.Seek(layout.AttributesAt + 4 * first) || !in.ReadBytes(wordRow.data(), 4 * nx)))
      return false;
    for (size_t i = 0; i < nx; ++i) {
      if (!ConvertHeight(layout, heightRow[i], values[1])) return false;
      flags[1] = tagRow[i];
      attributes[1] = wordRow[i];
      SetDexelColumn(set, static_cast<int32_t>(first + i), values, flags, attributes);
    }
  }
  return true;
}

int32_t LoadDmf(DexelModel& model, ModelFileReader& in, const Placement& placement,
                const ModelLoadSettings& settings, const WorkOffsetFrame& frame) {
  Placement stored{};
  DmfLayout layout;
  if (!in.Skip(kDmfHeaderBytes) || !in.ReadBytes(stored.data(), sizeof stored) ||
      !detail::AllFinite(stored.data() + 9, 2) || !ReadDmfLayout(in, layout))
    return detail::RefuseModel(model, kModelBadGrid);
  std::vector<double> heights;
  double highest = 0.0, base = 0.0, baseExact = 0.0;
  if (!ScanDmfHeights(in, layout, heights, highest, base, baseExact))
    return detail::RefuseModel(model, kModelBadGrid);
  const double cells = std::ceil((highest - baseExact) / layout.Pitch);
  if (!(cells >= 1) || cells >= std::numeric_limits<int32_t>::max())
    return detail::RefuseModel(model, kModelBadGrid);

  NormalizePlacementMatrix(placement, model.Placement);
  if (settings.ImportChoice == 1) {
    std::copy(frame.Matrix.begin(), frame.Matrix.end(), model.Placement.begin());
    std::copy(frame.Origin.begin(), frame.Origin.end(), model.Placement.begin() + 9);
  }
  model.CountX = layout.CountX;
  model.CountY = layout.CountY;
  model.CountZ = static_cast<int32_t>(cells) + 1;
  model.Pitch = layout.Pitch;
  // The grid starts at the stored translation, whatever the stored rotation.
  model.OriginX = stored[9];
  model.OriginY = stored[10];
  model.OriginZ = baseExact;
  // The heights may make the cross sets far larger than the slots (a
  // surface going up and down between every two samples): bound them too,
  // once the slots are known to fit, as the bound takes a pass per column.
  uint64_t longBytes = 0;
  if (detail::FitsMemory(model, 0, settings.MemoryLimit) &&
      IsUsableGrid(model.CountX, model.CountY, model.CountZ, model.Pitch))
    longBytes = CrossSetLongBytes(heights, model.CountX, model.CountY, model.OriginZ, model.Pitch,
                                  model.CountZ);
  heights = {};
  if (const int32_t code = detail::AllocLoadedModel(model, longBytes, settings.MemoryLimit);
      code != kModelOk)
    return code;
  model.MinCorner() = {model.OriginX, model.OriginY, model.OriginZ};
  model.MaxCorner() = {model.GridX.back(), model.GridY.back(), highest};

  if (!FillDmfColumns(in, layout, base, model)) return detail::RefuseModel(model, kModelBadGrid);
  BuildCrossSetsFromHeights(model, 1);
  RemoveInvertedColumns(model, kDirectionZ);
  model.SideFlags() = {1, 1, 1, 1, 0, 1};
  MarkWholeGridChanged(model);
  FinishModelPlacement(model);
  return kModelOk;
}

int32_t LoadDme(DexelModel& model, ModelFileReader& in, uint64_t memoryLimit) {
  char tag[12];
  if (!in.ReadBytes(tag, sizeof tag)) return detail::RefuseModel(model, kModelBadGrid);
  if (EqualsIgnoringAsciiCase(std::string_view(tag, 4), "V1.0")) {
    Placement stored{};
    if (!in.ReadBytes(stored.data(), sizeof stored))
      return detail::RefuseModel(model, kModelBadGrid);
    NormalizePlacementMatrix(stored, model.Placement);
  } else {
    // The older layout has no placement block.
    model.Placement = kIdentity;
  }
  return detail::ReadDmeGrid(in, model, memoryLimit);
}

// Profile value of a height column: the stored slot, whatever its count.
double ProfileValue(const DexelSet& set, int32_t column, int slot) {
  return set.Values[static_cast<size_t>(column) * set.Stride + slot];
}

const std::vector<double>& GridOf(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}

// The column of the set along axis line whose grid indexes on the two other
// axes are index[] (index[line] is not read).
int32_t ColumnAlong(const DexelModel& model, int line, const std::array<int32_t, 3>& index) {
  if (line == kDirectionZ) return ColumnIndexZ(model, index[0], index[1]);
  if (line == kDirectionY) return ColumnIndexY(model, index[2], index[0]);
  return ColumnIndexX(model, index[1], index[2]);
}

// Writes, for every grid level of axis level, the intervals along axis along
// where the profile heights (at positions) reach it, into the set along that
// axis; fixed holds the index of the profile on the third axis.
template <typename Finder>
void WriteCrossColumns(DexelModel& model, int along, int level, std::array<int32_t, 3> index,
                       std::span<const double> heights, Finder find) {
  const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
  const double minimum = std::min(9999999999.9, *low);
  const double maximum = std::max(-9999999999.9, *high);
  const std::vector<double>& levels = GridOf(model, level);
  std::vector<double> out;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  DexelSet& set = model.SetByDirection(along);
  for (int32_t k = 0; k < static_cast<int32_t>(levels.size()); ++k) {
    const int32_t n =
        find(heights, minimum, maximum, model.Pitch, levels[k], GridOf(model, along), out);
    flags.assign(n, 0);
    attributes.assign(n, 0);
    index[level] = k;
    SetDexelColumn(set, ColumnAlong(model, along, index), out, flags, attributes);
  }
}

// Where the level crosses between samples s and s + 1 (whose heights
// differ): the sample itself when it lies on the level, else interpolated.
double Crossing(std::span<const double> h, std::span<const double> p, size_t s, double pitch,
                double level) {
  if (h[s] == level) return p[s];
  if (h[s + 1] == level) return p[s + 1];
  if (h[s] < h[s + 1]) return p[s] + (level - h[s]) / (h[s + 1] - h[s]) * pitch;
  return p[s] + (h[s] - level) / (h[s] - h[s + 1]) * pitch;
}

}  // namespace

ModelLoadSettings ModelLoadSettingsFrom(const Settings& settings, double pitch) {
  ModelLoadSettings load;
  load.Pitch = pitch;
  load.StlAxis = settings.StlAxis;
  load.ImportChoice = settings.ImportInWork;
  load.StlFilter = settings.StlFilter;
  load.StlMatrixFile = settings.StlMatrix;
  load.CheckMatrix = settings.CheckMatrix;
  return load;
}

ModelFileKind ModelFileKindOf(std::string_view path) {
  if (HasFileEnding(path, ".DME")) return ModelFileKind::kDme;
  if (HasFileEnding(path, ".DMF")) return ModelFileKind::kDmf;
  if (HasFileEnding(path, ".STL")) return ModelFileKind::kStl;
  return ModelFileKind::kUnknown;
}

int32_t LoadModelFileAs(ModelFileKind kind, DexelModel& model, std::string_view path,
                        const Placement& placement, const ModelLoadSettings& settings,
                        const WorkOffsetFrame& frame, ProgressState* progress) {
  if (kind == ModelFileKind::kStl)
    return LoadStlModel(model, path, placement, settings, frame, progress);
  if (kind != ModelFileKind::kDme && kind != ModelFileKind::kDmf) return kModelBadGrid;
  ModelFileReader in(path);
  if (!in.Opened()) return detail::RefuseModel(model, kModelBadGrid);
  return kind == ModelFileKind::kDme ? LoadDme(model, in, settings.MemoryLimit)
                                     : LoadDmf(model, in, placement, settings, frame);
}

int32_t LoadModelFile(DexelModel& model, std::string_view path, const Placement& placement,
                      const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                      ProgressState* progress) {
  return LoadModelFileAs(ModelFileKindOf(path), model, path, placement, settings, frame, progress);
}

int32_t LoadModelFileIdentity(DexelModel& model, std::string_view path,
                              const ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                              ProgressState* progress) {
  return LoadModelFile(model, path, kIdentity, settings, frame, progress);
}

void BuildCrossSetsFromHeights(DexelModel& model, int32_t useTop) {
  BuildCrossSetsFromHeightsAxes(model, kSliceZ, useTop > 0 ? 1 : -1);
}

void BuildCrossSetsFromHeightsAxes(DexelModel& model, StlSliceAxes axes, int32_t direction) {
  const int a = axes.First, b = axes.Second, c = axes.Line;
  const DexelSet& heightSet = model.SetByDirection(c);
  const int slot = direction > 0 ? 1 : 0;
  const auto find = direction > 0 ? ProfileIntervalsUnderTop : ProfileIntervalsOverBottom;
  const int32_t na = static_cast<int32_t>(GridOf(model, a).size());
  const int32_t nb = static_cast<int32_t>(GridOf(model, b).size());
  std::vector<double> heights;
  std::array<int32_t, 3> index{};
  // Profiles along b, one per index on a.
  for (int32_t i = 0; i < na; ++i) {
    heights.clear();
    for (int32_t j = 0; j < nb; ++j) heights.push_back(ProfileValue(heightSet, j * na + i, slot));
    index[a] = i;
    WriteCrossColumns(model, b, c, index, heights, find);
  }
  // Profiles along a, one per index on b.
  for (int32_t j = 0; j < nb; ++j) {
    heights.clear();
    for (int32_t i = 0; i < na; ++i) heights.push_back(ProfileValue(heightSet, j * na + i, slot));
    index = {};
    index[b] = j;
    WriteCrossColumns(model, a, c, index, heights, find);
  }
}

int32_t ProfileIntervalsUnderTop(std::span<const double> h, double minimum, double maximum,
                                 double pitch, double level, std::span<const double> p,
                                 std::vector<double>& out) {
  out.clear();
  const size_t n = std::min(h.size(), p.size());
  if (n == 0 || level > maximum) return 0;
  if (level < minimum) {
    out = {p[0], p[n - 1]};
    return 2;
  }
  if (h[0] >= level) out.push_back(p[0]);
  for (size_t s = 0; s + 1 < n; ++s) {
    const bool rising = h[s] < level && level <= h[s + 1];
    const bool falling = h[s] >= level && level > h[s + 1];
    if (rising || falling) out.push_back(Crossing(h, p, s, pitch, level));
  }
  if (h[n - 1] >= level) out.push_back(p[n - 1]);
  return static_cast<int32_t>(out.size());
}

int32_t ProfileIntervalsOverBottom(std::span<const double> h, double minimum, double maximum,
                                   double pitch, double level, std::span<const double> p,
                                   std::vector<double>& out) {
  out.clear();
  const size_t n = std::min(h.size(), p.size());
  if (n == 0 || level < minimum) return 0;
  if (level > maximum) {
    out = {p[0], p[n - 1]};
    return 2;
  }
  if (h[0] <= level) out.push_back(p[0]);
  for (size_t s = 0; s + 1 < n; ++s) {
    const bool falling = h[s] > level && level >= h[s + 1];
    const bool rising = h[s] <= level && level < h[s + 1];
    if (rising || falling) out.push_back(Crossing(h, p, s, pitch, level));
  }
  if (h[n - 1] <= level) out.push_back(p[n - 1]);
  return static_cast<int32_t>(out.size());
}

void RemoveInvertedColumns(DexelModel& model, int direction) {
  DexelSet& set = model.SetByDirection(direction);
  for (int32_t c = 0; c < set.Columns; ++c) {
    const std::span<const double> values = DexelColumnValues(set, c);
    if (values.size() == 2 && values[0] > values[1]) SetDexelColumn(set, c, {}, {}, {});
  }
}

}  // namespace vestan
