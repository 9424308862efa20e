// The per-step work on a generated 3-axis program of 10,000 moves (lines and
// arcs, one tool) with the shipped definitions and their checks, the box
// stock on the vice at work pitch 0.1 and move pitch 0.1, without a window
// (no redraw waits): steps per second, checked by the step count and the
// removed volume; and the same with the stock moved 1000 mm away, where each
// pose's cut finds no column to visit, to show the work outside the kernel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
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

constexpr int kMoves = 10000;

// Groups of four moves 1 mm deep in the stock (G54 on its top): a line of 5
// mm along +X, a half circle to the next row, the line back and a half
// circle down again; each group starts 5 mm on, 16 across, then one row up.
std::string MakeProgram() {
  // In from the side: the shipped tool's cutting-load limit refuses a plunge.
  std::string text = "%\nG90 G54 G00 X-10. Y10. Z5. M03 S3000\nG01 Z-1. F1000\nX10.\n";
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

void RunProgram(benchmark::State& state, bool farStock) {
  const std::string data = VESTAN_DATA_DIR;
  const std::string path = std::filesystem::temp_directory_path() / "vestan_move_steps_bench.nc";
  std::ofstream(path) << MakeProgram();
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
    s.Defs.Settings.Pitch.MovePitch = 0.1;
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
      const MoveEnd end = SimulateMove(s);
      steps += s.Pass->Steps.Steps;
      if (end != MoveEnd::kNone) break;
    }
    state.PauseTiming();
    removed = -ComputeCutAmountStats(model);
    // Every move taken, and material removed exactly when the stock lies
    // under the path.
    if (modal.EndState != kEndHandled || farStock != (removed == 0.0)) {
      std::fprintf(stderr, "run ended at line %lld (alarm %d, end %d), removed %g\n",
                   static_cast<long long>(CurrentLineNumber(s.Nc)), modal.AlarmCode,
                   static_cast<int>(s.Pass->Steps.End), removed);
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
  state.counters["removed mm3"] = removed;
}

void BM_MoveStepsBoxStock(benchmark::State& state) { RunProgram(state, false); }
void BM_MoveStepsNoMaterial(benchmark::State& state) { RunProgram(state, true); }
BENCHMARK(BM_MoveStepsBoxStock)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MoveStepsNoMaterial)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vestan
