// The per-step work on a generated 3-axis program of lines and arcs (one
// tool) with the shipped definitions and their checks, the box stock on the
// vice at work pitch 0.1 and move pitch 0.1, without a window (no redraw
// waits): CPU time per step, checked by the step count (worked out from the
// program's geometry) and the removed volume. With the stock in the path
// every step cuts and runs the structure checks against the material, so
// that case takes 400 moves; with the stock moved 1000 mm away each pose's
// cut finds no column to visit, showing the work outside the kernel, over
// 10,000 moves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>

#include "model/cut_statistics.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "platform/recording_host.h"
#include "simulation/move_steps.h"
#include "simulation/session_files.h"

namespace vestan {
namespace {

constexpr double kPitch = 0.1;
constexpr double kToolRadius = 5.0;  // the shipped tool 1, D10
constexpr double kDepth = 1.0;

// A generated program and what its feed moves come to at kPitch.
struct Program {
  std::string Text;
  int64_t Steps = 0;
  double PathLength = 0.0;
};

// Groups of four moves 1 mm deep in the stock (G54 on its top): a line of 5
// mm along +X, a half circle to the next row, the line back and a half
// circle down again; each group starts 5 mm on, 16 across, then one row up.
Program MakeProgram(int moves) {
  Program p;
  double x0 = -10.0, y0 = 10.0;
  // Steps of a feed move of the given length, as the run divides it.
  auto feed = [&](double length) {
    p.Steps += std::max<int64_t>(1, static_cast<int64_t>(std::ceil(length / kPitch)));
    p.PathLength += length;
  };
  auto line = [&](double x, double y) {
    feed(std::sqrt((x - x0) * (x - x0) + (y - y0) * (y - y0)));
    x0 = x;
    y0 = y;
  };
  // In from the side: the shipped tool's cutting-load limit refuses a plunge.
  p.Text = "%\nG90 G54 G00 X-10. Y10. Z5. M03 S3000\nG01 Z-1. F1000\nX10.\n";
  feed(6.0);
  line(10.0, 10.0);
  const double halfCircle = std::numbers::pi * 0.5;
  for (int m = 0; m < moves / 4; ++m) {
    const int x = 10 + 5 * (m % 16);
    const int y = 10 + (m / 16) % 80;
    p.Text += "G01 X" + std::to_string(x + 5) + ". Y" + std::to_string(y) + ".\n";
    line(x + 5, y);
    p.Text += "G02 Y" + std::to_string(y + 1) + ". I0 J0.5\n";
    feed(halfCircle);
    y0 = y + 1;
    p.Text += "G01 X" + std::to_string(x) + ".\n";
    line(x, y + 1);
    p.Text += "G03 Y" + std::to_string(y) + ". I0 J-0.5\n";
    feed(halfCircle);
    y0 = y;
  }
  p.Text += "G00 Z100.\nM30\n%\n";
  return p;
}

void RunProgram(benchmark::State& state, bool farStock, int moves) {
  const std::string data = VESTAN_DATA_DIR;
  const std::string path = std::filesystem::temp_directory_path() / "vestan_move_steps_bench.nc";
  const Program program = MakeProgram(moves);
  std::ofstream(path) << program.Text;
  int64_t steps = 0, firstSteps = -1;
  double removed = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    RecordingHost host;
    auto session = std::make_unique<Session>(host);
    Session& s = *session;
    ReadSettingsInto(s, {data, data + "/vestan9", 0});
    ReadToolTableInto(s);
    ReadControllerInto(s);
    ReadMachineInto(s, 1);
    ReadToolTableInto(s);
    s.Defs.Settings.Pitch.WorkPitch = 0.1;
    s.Defs.Settings.Pitch.MovePitch = kPitch;
    s.Defs.Settings.IgnoreG00 = 1;
    DexelModel& model = s.Work.Workpiece();
    model.SlotCount = 2;
    const double shift = farStock ? 1000.0 : 0.0;
    if (CreateBoxModel(model, {-50 + shift, -50, 80, 50 + shift, 50, 110}, 0.1) != kModelOk)
      std::abort();
    s.Work.WorkPresent = 1;
    PushModelHistory(model);
    s.Defs.Paths.NcProgram = path;
    StartRunPass(s);
    LoadNcProgramText(s.Nc, NcPassOf(s), s.Pass->Reader);
    OpenNcProgram(NcPassOf(s), s.Pass->Reader);
    state.ResumeTiming();
    steps = 0;
    NcModalState& modal = s.Nc.Modal;
    while (modal.EndState != kEndHandled && modal.AlarmCode == kAlarmNone) {
      NextNcMove(s.Nc, NcPassOf(s), s.Pass->Reader, s.Pass->Driver);
      if (modal.AlarmCode != kAlarmNone || modal.EndState == kEndHandled) break;
      // A block that moves nothing leaves the last move's count.
      s.Pass->Steps.Steps = 0;
      const MoveEnd end = SimulateMove(s);
      steps += s.Pass->Steps.Steps;
      if (end != MoveEnd::kNone) break;
    }
    state.PauseTiming();
    removed = -ComputeCutAmountStats(model);
    // Every move taken in the steps its geometry gives, and material removed
    // exactly when the stock lies under the path, at most the tool's width
    // and the depth along the path.
    const double most = program.PathLength * 2.0 * kToolRadius * kDepth +
                        std::numbers::pi * kToolRadius * kToolRadius * kDepth;
    if (modal.EndState != kEndHandled || steps != program.Steps ||
        farStock != (removed == 0.0) || removed > most) {
      std::fprintf(stderr,
                   "run ended at line %lld (alarm %d, end %d), %lld steps of %lld, removed %g\n",
                   static_cast<long long>(CurrentLineNumber(s.Nc)), modal.AlarmCode,
                   static_cast<int>(s.Pass->Steps.End), static_cast<long long>(steps),
                   static_cast<long long>(program.Steps), removed);
      std::abort();
    }
    // The same steps every time.
    if (firstSteps >= 0 && steps != firstSteps) std::abort();
    firstSteps = steps;
    session.reset();
    state.ResumeTiming();
  }
  state.counters["steps"] = static_cast<double>(steps);
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsIterationInvariantRate);
  // CPU time per step.
  state.counters["CPU/step"] = benchmark::Counter(
      static_cast<double>(steps),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["removed mm3"] = removed;
}

void BM_MoveStepsBoxStock(benchmark::State& state) { RunProgram(state, false, 400); }
void BM_MoveStepsNoMaterial(benchmark::State& state) { RunProgram(state, true, 10000); }
BENCHMARK(BM_MoveStepsBoxStock)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MoveStepsNoMaterial)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vestan
