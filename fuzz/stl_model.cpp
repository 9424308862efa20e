// STL files sliced onto a dexel grid: the bytes opened as the workpiece
// through the open command (along all three directions and from one side
// chosen by the input's length), and loaded as the basic model onto a small
// workpiece's grid, within a 64 MB memory limit. A loaded model's columns
// ascend and, from the three-direction slicing, pair up; a refusal leaves
// no model and says why.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "model/work_document.h"
#include "modelfiles/model_file_commands.h"

using namespace vestan;

namespace {

constexpr uint64_t kMemoryLimit = 64u << 20;

// Every column ascends; with pairs, every column holds an even count.
void CheckColumns(const DexelModel& model, bool pairs) {
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& set = model.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      const auto v = DexelColumnValues(set, c);
      FUZZ_CHECK(static_cast<int32_t>(v.size()) <= kMaxColumnValues);
      if (pairs) FUZZ_CHECK(v.size() % 2 == 0);
      for (size_t i = 1; i < v.size(); ++i) FUZZ_CHECK(v[i - 1] <= v[i]);
    }
  }
}

void CheckRefused(const DexelModel& model, const ModelFileOutcome& outcome) {
  FUZZ_CHECK(outcome.Result < 0);
  FUZZ_CHECK(!model.Allocated() && model.CountX == 0);
  if (outcome.Result == kModelBadGrid)
    FUZZ_CHECK(outcome.Text == "Data Destroyed!");
  else
    FUZZ_CHECK(outcome.Text == "Memory over!");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("part.stl", fuzz::AsText(data, size));
  ModelLoadSettings settings;
  settings.MemoryLimit = kMemoryLimit;
  settings.Pitch = 0.5;
  // 0 along all three directions, else from one side.
  settings.StlAxis = static_cast<int32_t>(size % 7) - 3;
  settings.StlFilter = static_cast<int32_t>(size % 2);
  WorkOffsetFrame frame;
  CompressionApiCache api;

  DexelModel model;
  const ModelFileOutcome opened = OpenWorkModelFile(model, path, settings, frame, api);
  if (opened.Result == kModelOk) {
    FUZZ_CHECK(model.Allocated() && model.CountX >= 2 && model.CountY >= 2 && model.CountZ >= 2);
    FUZZ_CHECK(EstimateModelMemory(model) <= kMemoryLimit);
    CheckColumns(model, settings.StlAxis == 0);
  } else {
    CheckRefused(model, opened);
  }

  // The basic model on a small workpiece's grid, the file in work
  // coordinates of an offset frame.
  WorkDocument document;
  FUZZ_CHECK(CreateBoxModel(document.Workpiece(), {-10, -10, -10, 10, 10, 10}, 1.0) == kModelOk);
  frame.Origin = {0.5, -0.25, 1};
  frame.FrameOffset = 1;
  settings.ImportOverride = 1;
  const ModelFileOutcome basic = OpenBasicModelFile(document, path, settings, frame);
  FUZZ_CHECK(settings.ImportOverride == -1 && settings.ImportChoice == 0);
  if (basic.Result == kModelOk) {
    FUZZ_CHECK(document.BasicModelLoaded == 1);
    FUZZ_CHECK(document.BasicModel.CountX == document.Workpiece().CountX + 10);
    CheckColumns(document.BasicModel, true);
  } else {
    FUZZ_CHECK(document.BasicModelLoaded == 0);
    CheckRefused(document.BasicModel, basic);
  }
  return 0;
}
