// The workpiece display lists from columns of any content: a small grid
// whose every column the input fills with values taken mostly from the grid
// lines and the points between them (so that values meet lines, ends and
// each other exactly), with any flag bytes, cut into update blocks of a size
// the input chooses. Whatever the columns hold, the lists are made in order
// (no list inside a list, no point outside a primitive) and the blocks
// together draw the same surface, by area and enclosed volume, as one block
// over the whole grid.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "display/gl_recorder.h"
#include "display/workpiece_lists.h"
#include "fuzz_support.h"
#include "model/dexel_model.h"
#include "model/stock.h"

using namespace vestan;

namespace {

double ValueAlong(FuzzedDataProvider& input, int32_t n) {
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<int32_t>(0, n - 1);
    case 1:
      return input.ConsumeIntegralInRange<int32_t>(0, 2 * (n - 1)) / 2.0;
    case 2:
      return input.ConsumeIntegralInRange<int32_t>(0, 4 * (n - 1)) / 4.0;
    default:
      return input.ConsumeFloatingPointInRange<double>(0, n - 1);
  }
}

// Builds every block's list and measures what the lists draw together, in
// model units.
void Draw(DexelModel& model, const WorkpieceStyle& style, double& area, double& volume) {
  WorkpieceDisplayLists lists;
  AllocDisplayListIds(model, 1, 0, lists);
  testing::GlRecorder gl;
  BuildWorkpieceLists(gl, model, lists, style);
  CallWorkpieceLists(gl, model, lists, kMeshSolid);
  FUZZ_CHECK(gl.Errors.empty());
  area = volume = 0;
  for (const testing::GlRecorder::Triangle& t : gl.CalledTriangles()) {
    Vec3 p[3];
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c) p[k][c] = t.P[k][c] * style.DisplayScale;
    volume += VectorDot(p[0], VectorCross(p[1], p[2])) / 6;
    area += VectorLength(VectorCross(VectorSub(p[1], p[0]), VectorSub(p[2], p[0]))) / 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::array<int32_t, 3> counts{input.ConsumeIntegralInRange<int32_t>(2, 7),
                                      input.ConsumeIntegralInRange<int32_t>(2, 7),
                                      input.ConsumeIntegralInRange<int32_t>(2, 7)};
  const std::array<int32_t, 3> blockCells{input.ConsumeIntegralInRange<int32_t>(1, 4),
                                          input.ConsumeIntegralInRange<int32_t>(1, 4),
                                          input.ConsumeIntegralInRange<int32_t>(1, 4)};
  const bool tags = input.ConsumeBool();
  DexelModel model;
  model.SlotCount = 1;
  if (CreateBoxModel(model, {0, 0, 0, counts[0] - 1.0, counts[1] - 1.0, counts[2] - 1.0}, 1.0) !=
      kModelOk)
    return 0;
  for (int axis = 0; axis < 3; ++axis) {
    DexelSet& set = model.SetByDirection(axis);
    for (int32_t c = 0; c < set.Columns && input.remaining_bytes() > 0; ++c) {
      std::vector<double> values(input.ConsumeIntegralInRange<size_t>(0, 6));
      for (double& v : values) v = ValueAlong(input, counts[axis]);
      std::sort(values.begin(), values.end());
      std::vector<uint8_t> flags(values.size(), 0);
      if (tags)
        for (uint8_t& f : flags) f = input.ConsumeIntegral<uint8_t>() & 0x31;
      const std::vector<int32_t> attributes(values.size(), 0);
      SetDexelColumn(set, c, values, flags, attributes);
    }
  }
  ColorSettings colours;
  ColourMaterials materials;
  CreateColourMaterials(colours, {}, materials);
  const WorkpieceStyle style{materials, colours.Live};

  BuildUpdateBlocks(model, blockCells[0], blockCells[1], blockCells[2]);
  double blockArea = 0, blockVolume = 0;
  Draw(model, style, blockArea, blockVolume);
  BuildUpdateBlocks(model, counts[0] - 1, counts[1] - 1, counts[2] - 1);
  double wholeArea = 0, wholeVolume = 0;
  Draw(model, style, wholeArea, wholeVolume);
  // Points reach GL in single precision.
  FUZZ_CHECK(std::fabs(blockArea - wholeArea) <= 1e-4 * (1 + wholeArea));
  FUZZ_CHECK(std::fabs(blockVolume - wholeVolume) <= 1e-4 * (1 + wholeArea));
  return 0;
}
