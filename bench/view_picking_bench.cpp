// Picking under the mouse and the workpiece's extents in work coordinates on
// a finely gridded stock: every value of the model is mapped to the window
// for a pick, and every column's ends for the extents.
#include <benchmark/benchmark.h>

#include <cmath>

#include "definitions/view_state.h"
#include "display/picking.h"
#include "display/view_camera.h"
#include "display/view_mapping.h"
#include "display/work_extents.h"
#include "model/stock.h"
#include "model/work_document.h"

namespace vestan {
namespace {

// A 100 x 80 x 30 stock at pitch 0.2: 501 x 401 x 151 grid points, about
// 0.67 million values; seen from the default angles with the picked corner
// under the cursor.
struct PickBench {
  WorkDocument Work;
  ViewState View;
  ViewCamera Camera;
  MachineDisplayFrame Display;
  bool Ready = false;

  PickBench() {
    Ready = CreateBoxModel(Work.Workpiece(), {0, 0, 0, 100, 80, 30}, 0.2) == kModelOk;
    Work.WorkPresent = 1;
    UpdateViewAngleTrig(View);
    SetViewSize(Camera, 1200, 900);
    Camera.Zoom = 4;
    Camera.Centre = {0.1, 0.08, 0.03};
  }
  PickScene Scene() const { return {Work, {}, View, Camera, 0, Display}; }
  ClientPoint PixelOf(const Vec3& p) const {
    const WindowPoint w = ModelToWindow(View, Camera, 0, p);
    return {static_cast<int32_t>(std::lround(w.X)), static_cast<int32_t>(std::lround(w.Y))};
  }
};

void BM_PickPointOnWork(benchmark::State& state) {
  PickBench b;
  if (!b.Ready) {
    state.SkipWithError("model creation failed");
    return;
  }
  const ClientPoint mouse = b.PixelOf({100, 0, 30});
  for (auto _ : state) {
    PickState picked;
    if (PickPointOnWork(b.Scene(), {}, mouse, picked) != 1 ||
        picked.Point != Vec3{100, 0, 30}) {
      state.SkipWithError("the corner was not picked");
      return;
    }
    benchmark::DoNotOptimize(picked);
  }
}
BENCHMARK(BM_PickPointOnWork)->Unit(benchmark::kMillisecond);

void BM_ComputeWorkExtents(benchmark::State& state) {
  PickBench b;
  if (!b.Ready) {
    state.SkipWithError("model creation failed");
    return;
  }
  WorkOffsetFrame frame;
  frame.Origin = {-250, -150, -300};
  for (auto _ : state) {
    Vec3 min, max;
    ComputeWorkExtents(b.Work.Workpiece(), frame, min, max);
    if (min != Vec3{250, 150, 300} || max != Vec3{350, 230, 330}) {
      state.SkipWithError("wrong extents");
      return;
    }
    benchmark::DoNotOptimize(max);
  }
}
BENCHMARK(BM_ComputeWorkExtents)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
