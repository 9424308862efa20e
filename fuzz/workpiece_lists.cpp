// The workpiece display lists from columns of any content: a small grid
// whose every column the input fills with values taken mostly from the grid
// lines and the points between them (so that values meet lines, ends and
// each other exactly), with any flag bytes, cut into update blocks of a size
// the input chooses. Whatever the columns hold, the lists are made in order
// (no list inside a list, no point outside a primitive) and the blocks
// together draw the same surface, by area and enclosed volume, as one block
// over the whole grid and as every cell built on its own with its outer
// faces as its own caps (no cell passed over, no rectangles).
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
#include "modelfiles/surface_cells.h"

using namespace vestan;

namespace {

// Adds a triangle's area and its share of the enclosed volume.
void Measure(const Vec3& p0, const Vec3& p1, const Vec3& p2, double& area, double& volume) {
  volume += VectorDot(p0, VectorCross(p1, p2)) / 6;
  area += VectorLength(VectorCross(VectorSub(p1, p0), VectorSub(p2, p0))) / 2;
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
    Measure(p[0], p[1], p[2], area, volume);
  }
}

// The surface of every cell, each built whole: the slow way the lists must
// agree with.
void DrawEveryCell(const DexelModel& model, double& area, double& volume) {
  OuterFaceCells none;
  GridCell cell;
  std::vector<SurfaceSegment> segments;
  CellPolygons polygons;
  area = volume = 0;
  for (int32_t k = 0; k + 1 < model.CountZ; ++k)
    for (int32_t j = 0; j + 1 < model.CountY; ++j)
      for (int32_t i = 0; i + 1 < model.CountX; ++i) {
        const uint8_t caps = CellGridSides(model, i, j, k);
        if (!BuildCellSurface(model, i, j, k, caps, cell, segments, polygons)) continue;
        for (size_t p = 0; p < polygons.Count(); ++p) {
          const std::span<const SurfacePoint> loop = polygons.Polygon(p);
          for (size_t n = 2; n < loop.size(); ++n)
            Measure(loop[0].Position, loop[n - 1].Position, loop[n].Position, area, volume);
        }
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
      for (double& v : values) v = fuzz::ValueAlong(input, counts[axis]);
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
  double cellArea = 0, cellVolume = 0;
  DrawEveryCell(model, cellArea, cellVolume);
  FUZZ_CHECK(std::fabs(cellArea - wholeArea) <= 1e-4 * (1 + wholeArea));
  FUZZ_CHECK(std::fabs(cellVolume - wholeVolume) <= 1e-4 * (1 + wholeArea));
  return 0;
}
