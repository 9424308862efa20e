// The cut path drawn from a generated program of 10,000 moves (lines and
// arcs) with the shipped definitions at move pitch 0.1, into a GL seam that
// only counts: vertices per second, checked by the vertex count.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "display/cut_path.h"
#include "null_gl.h"
#include "platform/recording_host.h"
#include "shipped_session.h"
#include "simulation/session_files.h"

namespace vestan {
namespace {

constexpr int kMoves = 10000;

std::string MakeProgram() {
  std::string text = "%\nG90 G54 G00 X-10. Y10. Z5.\nG01 Z-1. F1000\nX10.\n";
  for (int m = 0; m < kMoves / 4; ++m) {
    const int x = 10 + 5 * (m % 16);
    const int y = 10 + (m / 16) % 80;
    text += "G01 X" + std::to_string(x + 5) + ". Y" + std::to_string(y) + ".\n";
    text += "G02 Y" + std::to_string(y + 1) + ". I0 J0.5\n";
    text += "G01 X" + std::to_string(x) + ".\n";
    text += "G03 Y" + std::to_string(y) + ". I0 J-0.5\n";
  }
  return text + "G00 Z100.\nM30\n%\n";
}

// Counts the vertices; every other call does nothing.
class VertexCounter final : public bench::NullGl {
 public:
  int64_t Vertices = 0;
  void Vertex(const Vec3&) override { ++Vertices; }
};

void DrawPath(benchmark::State& state) {
  const std::string path = std::filesystem::temp_directory_path() / "vestan_cut_path_bench.nc";
  std::ofstream(path) << MakeProgram();
  RecordingHost host;
  auto session = bench::ShippedSession(host);
  Session& s = *session;
  ReadToolTableInto(s);
  s.Defs.Settings.Pitch.MovePitch = 0.1;
  s.Defs.Paths.NcProgram = path;
  ColourMaterials materials;
  CreateColourMaterials(s.Defs.Colors, {}, materials);
  int64_t vertices = 0, first = -1;
  for (auto _ : state) {
    VertexCounter gl;
    DrawCutPath(gl, s, materials, {});
    vertices += gl.Vertices;
    if (first < 0) first = gl.Vertices;
    if (gl.Vertices != first) state.SkipWithError("the path differs from one drawing to the next");
  }
  // 2,500 lines of 5 mm and 2,500 half circles of 1.57 mm at pitch 0.1.
  if (first < 150000) state.SkipWithError("too few vertices for the program");
  state.counters["vertices"] = static_cast<double>(first);
  state.counters["vertices_per_s"] = benchmark::Counter(static_cast<double>(vertices),
                                                         benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(DrawPath)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
