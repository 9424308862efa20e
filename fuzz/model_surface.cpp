// The surface of a dexel model as the STL export writes it, from columns of
// any content: a small grid whose every column the input fills with values
// taken mostly from the grid lines and the points between them, so that
// values meet lines, ends and each other exactly. Whatever the columns hold,
// the facets written form a closed surface, every edge used as often in one
// direction as in the other.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "model/dexel_model.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "support/mesh_check.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::array<int32_t, 3> counts{input.ConsumeIntegralInRange<int32_t>(2, 6),
                                      input.ConsumeIntegralInRange<int32_t>(2, 6),
                                      input.ConsumeIntegralInRange<int32_t>(2, 6)};
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
      const std::vector<uint8_t> flags(values.size(), 0);
      const std::vector<int32_t> attributes(values.size(), 0);
      SetDexelColumn(set, c, values, flags, attributes);
    }
  }
  const std::string path = fuzz::ProcessFolder() / "surface.stl";
  FUZZ_CHECK(SaveWorkModel(model, path, 1, 0, WorkOffsetFrame{}) == kSaveOk);
  const testing::MeshReport mesh = testing::CheckMesh(testing::ReadMesh(path));
  FUZZ_CHECK(mesh.UnpairedEdges == 0);
  return 0;
}
