#include "modelfiles/dme_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/text_fields.h"
#include "model/stock.h"
#include "modelfiles/model_triangulation.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

constexpr size_t kDmeTagBytes = 12;
constexpr double kNoHighest = -99999999999.0;
constexpr double kNoLowest = 99999999999.0;

template <typename T>
void Append(std::string& out, const T* values, size_t count) {
  out.append(reinterpret_cast<const char*>(values), count * sizeof(T));
}

template <typename T>
void AppendOne(std::string& out, T value) {
  Append(out, &value, 1);
}

uint64_t SetRecordBytes(const DexelSet& set) {
  uint64_t bytes = static_cast<uint64_t>(set.Columns) * 4;
  for (int32_t c = 0; c < set.Columns; ++c) bytes += 13ull * std::max(set.Counts[c], 0);
  return bytes;
}

// The header letter and the placement a save stores.
std::pair<char, Placement> StoredPlacement(const DexelModel& model, int32_t inWorkCoordinates,
                                           const WorkOffsetFrame& frame) {
  if (inWorkCoordinates == 0) return {'M', model.Placement};
  if (frame.Origin == Vec3{0, 0, 0} && frame.FrameRotated == 0) return {'N', model.Placement};
  Placement stored = model.Placement;
  Vec3 t{model.Placement[9] - frame.Origin[0], model.Placement[10] - frame.Origin[1],
         model.Placement[11] - frame.Origin[2]};
  if (frame.FrameRotated != 0) {
    const Matrix3 rotation = MultiplyMatrix3(PlacementMatrix(model.Placement), frame.InverseMatrix);
    std::copy(rotation.begin(), rotation.end(), stored.begin());
    t = MultiplyMatrixVector(frame.InverseMatrix, t);
  }
  std::copy(t.begin(), t.end(), stored.begin() + 9);
  return {'W', stored};
}

// Takes a placement stored in the work frame back into machine space:
// rotation first, then the origin (the inverse of a "W" save).
void ApplyLoadFrame(Placement& placement, const WorkOffsetFrame& frame) {
  Vec3 t{placement[9], placement[10], placement[11]};
  if (frame.FrameRotated != 0) {
    const Matrix3 rotation = MultiplyMatrix3(PlacementMatrix(placement), frame.Matrix);
    std::copy(rotation.begin(), rotation.end(), placement.begin());
    t = MultiplyMatrixVector(frame.Matrix, t);
  }
  for (int k = 0; k < 3; ++k) placement[9 + k] = t[k] + frame.Origin[k];
}

}  // namespace

namespace detail {

int32_t RefuseModel(DexelModel& model, int32_t code) {
  FreeDexelModel(model);
  model.CountX = 0;
  return code;
}

bool AllFinite(const double* values, size_t count) {
  return std::all_of(values, values + count, [](double v) { return std::isfinite(v); });
}

bool GridLinesFinite(const DexelModel& model) {
  return std::isfinite(model.OriginX + (model.CountX - 1) * model.Pitch) &&
         std::isfinite(model.OriginY + (model.CountY - 1) * model.Pitch) &&
         std::isfinite(model.OriginZ + (model.CountZ - 1) * model.Pitch);
}

bool FitsMemory(const DexelModel& model, uint64_t longBytes, uint64_t memoryLimit) {
  const int64_t slots = std::max(model.SlotCount, 1);
  const uint64_t slotBytes = DexelModelBytes(slots, model.CountX, model.CountY, model.CountZ);
  return slotBytes <= memoryLimit && longBytes <= memoryLimit - slotBytes;
}

int32_t AllocLoadedModel(DexelModel& model, uint64_t longBytes, uint64_t memoryLimit) {
  if (!IsUsableGrid(model.CountX, model.CountY, model.CountZ, model.Pitch) ||
      !GridLinesFinite(model))
    return RefuseModel(model, kModelBadGrid);
  // A few header bytes can declare a grid of any size: refuse one that
  // cannot fit before trying to allocate it.
  if (!FitsMemory(model, longBytes, memoryLimit)) return RefuseModel(model, kModelNoMemory);
  if (const int code = InitDexelGrids(model); code != kModelOk) return RefuseModel(model, code);
  if (const int code = AllocDexelModel(model); code != kModelOk) return RefuseModel(model, code);
  return kModelOk;
}

int32_t ReadDmeGrid(ModelFileReader& in, DexelModel& model, uint64_t memoryLimit) {
  std::array<int32_t, 3> counts{};
  double pitch = 0.0;
  std::array<double, 3> origin{};
  // A rotation without an inverse (a lost axis) would turn every tool pose
  // taken into model coordinates into NaN.
  const Matrix3 inverse = InvertMatrix3(PlacementMatrix(model.Placement));
  if (!in.ReadBytes(counts.data(), sizeof counts) || !in.ReadF64(pitch) ||
      !in.ReadBytes(origin.data(), sizeof origin) || !AllFinite(origin.data(), 3) ||
      !AllFinite(model.Placement.data(), model.Placement.size()) ||
      !AllFinite(inverse.data(), inverse.size()) ||
      !IsUsableGrid(counts[0], counts[1], counts[2], pitch))
    return RefuseModel(model, kModelBadGrid);
  // Every column record is at least its count: a file too short for that
  // is refused before anything is allocated.
  const int64_t nx = counts[0], ny = counts[1], nz = counts[2];
  const uint64_t countBytes = static_cast<uint64_t>(nx * ny + nx * nz + ny * nz) * 4;
  if (countBytes > in.Left()) return RefuseModel(model, kModelBadGrid);

  model.CountX = counts[0];
  model.CountY = counts[1];
  model.CountZ = counts[2];
  model.Pitch = pitch;
  model.OriginX = origin[0];
  model.OriginY = origin[1];
  model.OriginZ = origin[2];
  // A value takes 13 bytes in the file, and every column's count 4 more:
  // what is left of the file bounds the values of the long columns, and so
  // their memory.
  if (const int32_t code =
          AllocLoadedModel(model, LongColumnBytesWithin(in.Left() - countBytes), memoryLimit);
      code != kModelOk)
    return code;

  Vec3& low = model.MinCorner();
  Vec3& high = model.MaxCorner();
  std::array<uint8_t, 6>& sides = model.SideFlags();
  const bool read = ReadDexelSet(in, model.ZSet(), model.GridZ.front(), model.GridZ.back(), low[2],
                                 high[2], sides[4], sides[5]) &&
                    ReadDexelSet(in, model.YSet(), model.GridY.front(), model.GridY.back(), low[1],
                                 high[1], sides[2], sides[3]) &&
                    ReadDexelSet(in, model.XSet(), model.GridX.front(), model.GridX.back(), low[0],
                                 high[0], sides[0], sides[1]);
  if (!read) return RefuseModel(model, kModelBadGrid);
  ComputeModelBounds(model, low, high);
  MarkWholeGridChanged(model);
  FinishModelPlacement(model);
  return kModelOk;
}

}  // namespace detail

bool HasFileEnding(std::string_view path, std::string_view ending) {
  return path.size() >= ending.size() &&
         EqualsIgnoringAsciiCase(path.substr(path.size() - ending.size()), ending);
}

void WriteDexelGrid(const DexelSet& set, std::string& out) {
  for (int32_t c = 0; c < set.Columns; ++c) {
    const int32_t count = DexelColumnCount(set, c);
    AppendOne(out, count);
    if (count <= 0) continue;
    const std::span<const double> values = DexelColumnValues(set, c);
    const std::span<const uint8_t> flags = DexelColumnFlags(set, c);
    const std::span<const int32_t> attributes = DexelColumnAttributes(set, c);
    Append(out, values.data(), values.size());
    Append(out, flags.data(), flags.size());
    Append(out, attributes.data(), attributes.size());
  }
}

std::string BuildDmeImage(const DexelModel& model, int32_t inWorkCoordinates,
                          const WorkOffsetFrame& frame) {
  const auto [letter, placement] = StoredPlacement(model, inWorkCoordinates, frame);
  std::string out;
  out.reserve(kDmeHeaderBytes + SetRecordBytes(model.ZSet()) + SetRecordBytes(model.YSet()) +
              SetRecordBytes(model.XSet()));
  out += "V1.0";
  out += letter;
  out.append(kDmeTagBytes - 5, ' ');
  Append(out, placement.data(), placement.size());
  AppendOne(out, model.CountX);
  AppendOne(out, model.CountY);
  AppendOne(out, model.CountZ);
  AppendOne(out, model.Pitch);
  AppendOne(out, model.OriginX);
  AppendOne(out, model.OriginY);
  AppendOne(out, model.OriginZ);
  WriteDexelGrid(model.ZSet(), out);
  WriteDexelGrid(model.YSet(), out);
  WriteDexelGrid(model.XSet(), out);
  return out;
}

int32_t SaveWorkModel(const DexelModel& model, std::string_view path, int32_t stlKind,
                      int32_t inWorkCoordinates, const WorkOffsetFrame& frame, std::string* error,
                      ProgressState* progress) {
  const auto fail = [error](int32_t code, const char* reason) {
    if (error != nullptr) *error = reason;
    return code;
  };
  const bool stl = HasFileEnding(path, ".STL");
  if (!stl && !HasFileEnding(path, ".DME"))
    return fail(kSaveUnknownKind, "the name ends in neither .DME nor .STL");
  if (model.CountX == 0 || !model.Allocated()) return fail(kSaveNoModel, "there is no model");

  int32_t written = kFileNotWritten;
  try {
    if (stl) {
      written = SaveModelStl(model, path, stlKind, inWorkCoordinates, frame, error, progress);
    } else {
      written = ReplaceFileContents(path, BuildDmeImage(model, inWorkCoordinates, frame), error);
    }
  } catch (const std::bad_alloc&) {
    return fail(kSaveNotWritten, "not enough memory for the file");
  }
  switch (written) {
    case kFileReplaced:
      return kSaveOk;
    case kFileTempNotCreated:
      return kSaveTempNotCreated;
    case kFileNotRenamed:
      return kSaveNotRenamed;
    default:
      return kSaveNotWritten;
  }
}

bool ReadDexelSet(ModelFileReader& in, DexelSet& set, double lowBound, double highBound,
                  double& lowestValue, double& highestValue, uint8_t& lowFlag, uint8_t& highFlag) {
  highestValue = kNoHighest;
  lowestValue = kNoLowest;
  lowFlag = highFlag = 0;
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  for (int32_t c = 0; c < set.Columns; ++c) {
    int32_t count = 0;
    if (!in.ReadI32(count) || count < 0 || count > kMaxColumnValues ||
        static_cast<uint64_t>(count) * 13 > in.Left())
      return false;
    if (count == 0) {
      SetDexelColumn(set, c, {}, {}, {});
      continue;
    }
    values.resize(count);
    flags.resize(count);
    attributes.resize(count);
    if (!in.ReadBytes(values.data(), count * sizeof(double)) ||
        !in.ReadBytes(flags.data(), count) ||
        !in.ReadBytes(attributes.data(), count * sizeof(int32_t)) ||
        !detail::AllFinite(values.data(), values.size()))
      return false;
    // Column values ascend; descending ones are damage the cutting code must
    // never see.
    if (!std::is_sorted(values.begin(), values.end())) return false;
    double& first = values.front();
    double& last = values.back();
    lowestValue = std::min(lowestValue, first);
    highestValue = std::max(highestValue, last);
    // Values beyond the grid are clamped to it; clamping every one, not only
    // the ends, keeps a column that lies past a bound ascending (else its
    // save would not load again).
    for (double& value : values) value = std::clamp(value, lowBound, highBound);
    if (first > lowBound) lowFlag = 1;
    if (last < highBound) highFlag = 1;
    SetDexelColumn(set, c, values, flags, attributes);
  }
  return true;
}

void ComputeModelBounds(const DexelModel& model, Vec3& low, Vec3& high) {
  const Vec3 a = low, b = high;
  low = {1e11, 1e11, 1e11};
  high = {-1e11, -1e11, -1e11};
  for (int corner = 0; corner < 8; ++corner) {
    const Vec3 p{(corner & 1) ? b[0] : a[0], (corner & 2) ? b[1] : a[1],
                 (corner & 4) ? b[2] : a[2]};
    const Vec3 w = TransformPointAffine(model.Placement, p);
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], w[k]);
      high[k] = std::max(high[k], w[k]);
    }
  }
}

int32_t LoadDmeFile(DexelModel& model, std::string_view path, int32_t loadMode,
                    const WorkOffsetFrame& frame, uint64_t memoryLimit) {
  ModelFileReader in(path);
  char tag[kDmeTagBytes];
  if (!in.Opened() || !in.ReadBytes(tag, sizeof tag) ||
      !in.ReadBytes(model.Placement.data(), sizeof model.Placement))
    return detail::RefuseModel(model, kModelBadGrid);
  if (loadMode != 0) ApplyLoadFrame(model.Placement, frame);
  return detail::ReadDmeGrid(in, model, memoryLimit);
}

int32_t GetDmeVariant(std::string_view path) {
  ModelFileReader in(path);
  char tag[kDmeTagBytes];
  if (!in.Opened() || !in.ReadBytes(tag, sizeof tag)) return kDmeVariantNone;
  switch (tag[4]) {
    case 'M':
      return kDmeVariantMachine;
    case 'W':
      return kDmeVariantWork;
    case 'N':
      return kDmeVariantWorkPlain;
    default:
      return kDmeVariantNone;
  }
}

}  // namespace vestan
