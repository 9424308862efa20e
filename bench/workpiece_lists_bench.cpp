// Drawing the cut workpiece offscreen: the display lists of a 2-million-column
// model cut by 1,000 poses of a ball end mill built whole and, as a run does,
// only for the blocks one more pose touched; and a 1280 x 800 frame of it
// drawn and read back, and saved as PNG. Figures: lists/s and triangles/s,
// frames/s. The surface the lists hold is checked once against the model's
// material, and every frame for the workpiece at the middle of the view.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "null_gl.h"
#include "display/frame_readback.h"
#include "display/view_image.h"
#include "model/stock.h"
#include "support/mesh_check.h"

namespace vestan {
namespace {

// Counts what the builders emit and keeps the surface in model units for the
// volume check, forwarding nothing: the check runs once, apart from the
// timed builds.
class SurfaceCounter final : public bench::NullGl {
 public:
  std::vector<StlTriangle> Facets;
  void Triangles(std::span<const float>, std::span<const float> vertices) override {
    for (size_t t = 0; t + 9 <= vertices.size(); t += 9) {
      StlTriangle facet{};
      for (int k = 0; k < 9; ++k) facet[3 + k] = vertices[t + k] * 500.0;
      Facets.push_back(facet);
    }
  }
};

// 100 x 100 x 50 at pitch 0.1 (1.0 million Z columns, 0.5 million in each of
// X and Y, 1,000 update blocks of about 84 cells a side), ten overlapping
// passes of 100 ball poses 1 apart, 3 deep.
struct CutWorkpiece {
  std::unique_ptr<bench::KernelWorld> World =
      std::make_unique<bench::KernelWorld>(kToolBall, 10, 5);
  ViewState View;
  ViewCamera Camera;
  MachineDisplayFrame Display;
  ColorSettings Colours;
  ColourMaterials Materials;
  WorkpieceStyle Style{Materials, Colours.Live};
  OffscreenView Offscreen;
  std::vector<uint8_t> PoseBlocks;
  std::string Error;
  // The rest of the scene: a 3-axis machine without part files, no tool.
  Definitions Defs;
  MachinePositionState Position;
  CurrentTool Tool;
  std::unique_ptr<ToolProfile> Profile = std::make_unique<ToolProfile>();
  ImportedToolMesh Mesh;
  DisplayListTable Flags;

  DexelModel& Model() { return World->Document.Workpiece(); }

  void Cut(const Vec3& tip) {
    World->HoldAt(tip);
    CutToolPoseIntoModel(World->Cut, Model(), tip, {0, 0, 1});
  }

  CutWorkpiece() {
    if (CreateBoxModel(Model(), {0, 0, 0, 100, 100, 50}, 0.1) != kModelOk) {
      Error = "model creation failed";
      return;
    }
    BindCutGrids(World->Cut.Grids, Model());
    for (int pass = 0; pass < 10; ++pass)
      for (int k = 0; k < 100; ++k) Cut({k + 0.5, 10 + 8.0 * pass, 47});
    // One more pose, 1 deeper in the middle of the cut: the blocks it marks.
    std::fill(Model().BlockDirty.begin(), Model().BlockDirty.end(), 0);
    Cut({50.25, 50.25, 46});
    PoseBlocks = Model().BlockDirty;
    CreateColourMaterials(Colours, {}, Materials);
    UpdateViewAngleTrig(View);
    SetViewSize(Camera, 1280, 800);
    Camera.Zoom = 2.5;
    Camera.Centre = {0.1, 0.1, 0.05};
    Defs.Colors = Colours;
    World->Document.WorkPresent = 1;
    if (!PrepareOffscreenView(Offscreen, 1280, 800, Flags, &Error)) return;
    AttachWorkpiece(Offscreen, Model());
  }
  Scene Frame() {
    return {Defs,  Materials, World->Document, View,    Camera,  Position, Tool,
            *Profile, Mesh, Flags,           0,       1,       0.0,      nullptr,
            nullptr,  nullptr, {},           SceneFrameKind::kIdle, nullptr};
  }
};

CutWorkpiece& Workpiece() {
  static CutWorkpiece w;
  return w;
}

int64_t Triangles(const DexelModel& m) {
  int64_t sum = 0;
  const size_t base = static_cast<size_t>(m.CurrentSlot) * kBlockListsPerSlot;
  for (int32_t b = 0; b < m.BlockCount; ++b) sum += std::max(m.BlockLists[base + b], 0);
  return sum;
}

// The lists' surface against the material, once: the cut faces lie within a
// cell of the true surface.
bool SurfaceHoldsTheMaterial(CutWorkpiece& w, std::string& why) {
  SurfaceCounter counter;
  DexelModel& m = w.Model();
  WorkpieceDisplayLists lists;
  AllocDisplayListIds(m, 1, 0, lists);
  BuildWorkpieceLists(counter, m, lists, w.Style);
  double volume = 0, area = 0;
  for (const StlTriangle& t : counter.Facets) testing::AddVolumeAndArea(t, volume, area);
  const double material = bench::MaterialVolume(m);
  why = "enclosed volume " + std::to_string(volume) + " against material " +
        std::to_string(material);
  return !counter.Facets.empty() && std::fabs(volume - material) < area * m.Pitch;
}

void BM_BuildAllWorkpieceLists(benchmark::State& state) {
  CutWorkpiece& w = Workpiece();
  std::string why;
  if (!w.Error.empty() || !SurfaceHoldsTheMaterial(w, why)) {
    state.SkipWithError((w.Error.empty() ? why : w.Error).c_str());
    return;
  }
  DexelModel& m = w.Model();
  w.Offscreen.Context.MakeCurrent();
  int64_t lists = 0, triangles = 0;
  for (auto _ : state) {
    MarkWorkpieceForRebuild(m, w.Offscreen.Lists.Work);
    BuildWorkpieceLists(w.Offscreen.Gl, m, w.Offscreen.Lists.Work, w.Style);
    triangles += Triangles(m);
    lists += m.BlockCount;
  }
  state.counters["lists/s"] =
      benchmark::Counter(static_cast<double>(lists), benchmark::Counter::kIsRate);
  state.counters["triangles/s"] =
      benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kIsRate);
  state.counters["triangles"] = static_cast<double>(Triangles(m));
}

// One more pose in the middle of the cut marks the blocks around it; only
// those are built again, as on each frame of a run.
void BM_BuildCutBlocks(benchmark::State& state) {
  CutWorkpiece& w = Workpiece();
  if (!w.Error.empty()) {
    state.SkipWithError(w.Error.c_str());
    return;
  }
  DexelModel& m = w.Model();
  w.Offscreen.Context.MakeCurrent();
  BuildWorkpieceLists(w.Offscreen.Gl, m, w.Offscreen.Lists.Work, w.Style);
  const std::vector<uint8_t>& marked = w.PoseBlocks;
  int64_t lists = 0, triangles = 0;
  for (auto _ : state) {
    m.BlockDirty = marked;
    for (const uint8_t d : marked) lists += d;
    BuildWorkpieceLists(w.Offscreen.Gl, m, w.Offscreen.Lists.Work, w.Style);
    const size_t base = static_cast<size_t>(m.CurrentSlot) * kBlockListsPerSlot;
    for (size_t b = 0; b < marked.size(); ++b)
      if (marked[b] != 0) triangles += std::max(m.BlockLists[base + b], 0);
  }
  if (lists == 0) state.SkipWithError("the pose marked no block");
  state.counters["lists/s"] =
      benchmark::Counter(static_cast<double>(lists), benchmark::Counter::kIsRate);
  state.counters["triangles/s"] =
      benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kIsRate);
}

// A frame drawn from the built lists and read back; the middle of the view
// shows the workpiece.
void BM_DrawAndReadFrame(benchmark::State& state) {
  CutWorkpiece& w = Workpiece();
  if (!w.Error.empty()) {
    state.SkipWithError(w.Error.c_str());
    return;
  }
  w.Offscreen.Context.MakeCurrent();
  const FrameGeometry frame = MakeFrameGeometry(1280, 800);
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    DrawScene(w.Offscreen.Gl, w.Frame(), w.Offscreen.Lists);
    ReadFrameBuffer(w.Offscreen.Gl, frame, GlPixelFormat::kRgb, pixels);
    const uint8_t* middle = &pixels[400 * frame.RowBytes + 3 * 640];
    if (middle[0] + middle[1] + middle[2] == 0) {
      state.SkipWithError("the middle of the frame is background");
      return;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}

// The save image command: a frame drawn, read back and written as PNG.
void BM_SaveViewImage(benchmark::State& state) {
  CutWorkpiece& w = Workpiece();
  if (!w.Error.empty()) {
    state.SkipWithError(w.Error.c_str());
    return;
  }
  bench::BenchFolder folder;
  std::string error;
  for (auto _ : state) {
    if (SaveViewImage(w.Offscreen, w.Frame(), folder.path + "view.png", &error) !=
        kFileReplaced) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BuildAllWorkpieceLists)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BuildCutBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawAndReadFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveViewImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vestan
