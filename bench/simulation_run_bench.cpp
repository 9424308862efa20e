// The whole run, in-process and silent (cut and show result, no window), of a
// generated 3-axis program of about 20,000 moves: a Ø6 flat and a Ø6 ball end
// mill, rows of 2 mm lines joined by half circles, level by level over the
// shipped 100 x 100 x 30 stock, at work pitch 0.2 (the move pitch follows),
// five runs for their median (about a minute; pitch 0.1 takes about 16
// times as long a run). Checked by the removed volume and the count of
// moves. And the NC data check of the same program: blocks per second on
// one core. VESTAN_CUT_THREADS caps the cutting threads.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "model/cut_statistics.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "platform/recording_host.h"
#include "simulation/nc_data_check.h"
#include "simulation/run_loop.h"
#include "simulation/session_files.h"

namespace vestan {
namespace {

constexpr int32_t kLevels = 23;

// Returns the program's text and its count of feed moves.
std::pair<std::string, int64_t> MakeProgram() {
  std::string text = "%\nG90 G54 G00 X0 Y0 Z10.\n";
  int64_t moves = 0;
  char line[96];
  for (int32_t level = 0; level < kLevels; ++level) {
    if (level == kLevels / 2) text += "G00 Z10.\nT2 M6\nG00 X0 Y0 Z10.\n";
    const double z = -0.2 * (level + 1);
    std::snprintf(line, sizeof line, "G00 X5. Y5.\nG01 Z%.3f F800\n", z);
    text += line;
    for (int32_t row = 0; row < 19; ++row) {
      const bool forward = row % 2 == 0;
      for (int32_t k = 1; k <= 45; ++k) {
        std::snprintf(line, sizeof line, "X%.3f\n", forward ? 5.0 + 2 * k : 95.0 - 2 * k);
        text += line;
        ++moves;
      }
      if (row == 18) break;
      // A half circle up to the next row.
      std::snprintf(line, sizeof line, "%s Y%.3f R2.5\n", forward ? "G03" : "G02", 5.0 + 5 * (row + 1));
      text += line;
      text += "G01\n";
      ++moves;
    }
    text += "G00 Z10.\n";
  }
  text += "M30\n%\n";
  return {text, moves};
}

struct BenchSession {
  bench::BenchFolder Folder;
  RecordingHost Host;
  std::unique_ptr<Session> S = std::make_unique<Session>(Host);
  int64_t Moves = 0;

  explicit BenchSession(double pitch) {
    Session& s = *S;
    ReadSettingsInto(s, {Folder.path, std::string(VESTAN_DATA_DIR) + "/vestan9", 0});
    ReadToolTableInto(s);
    ReadControllerInto(s);
    ReadMachineInto(s, 1);
    ReadToolTableInto(s);
    s.Defs.Limits = StrokeLimits{};
    for (ToolLimitRecord& limit : s.Defs.Tools.Limits) limit = ToolLimitRecord{};
    s.Defs.Tools.Records[1].Diameter = 6.0f;  // the Ø6 flat
    s.Defs.Settings.Pitch.WorkPitch = pitch;
    s.Defs.Settings.Pitch.MovePitch = pitch;
    s.Control.CuttingMode.store(kCuttingShowResult);
    auto [text, moves] = MakeProgram();
    Moves = moves;
    s.Defs.Paths.NcProgram = Folder.path + "bench.nc";
    std::ofstream(s.Defs.Paths.NcProgram) << text;
  }

  void FreshStock(double pitch) {
    DexelModel& model = S->Work.Workpiece();
    model = DexelModel{};
    model.SlotCount = 2;
    // The shipped initial stock, on the vice under G54.
    CreateBoxModel(model, S->Defs.Settings.Stock.Box, pitch);
    S->Work.WorkPresent = 1;
    PushModelHistory(model);
    ApplyToolChange(*S, 1, pitch);
    S->Nc.Modal.Tools.CurrentToolNumber = 1;
  }
};

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_WholeRun(benchmark::State& state) {
  const double pitch = state.range(0) / 10.0;
  BenchSession b(pitch);
  double removed = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    b.FreshStock(pitch);
    state.ResumeTiming();
    SimulationThreadProc(*b.S);
    state.PauseTiming();
    removed = -ComputeCutAmountStats(b.S->Work.Workpiece());
    const bool whole = b.S->Nc.Modal.EndState == kEndHandled && removed > 0.0;
    state.ResumeTiming();
    if (!whole) {
      state.SkipWithError("the run did not reach the end of the program or cut nothing");
      break;
    }
  }
  // Poses: the path's length (the data check's) over the move pitch.
  NcCheckResults path;
  CheckNcData(*b.S, kCheckData, path);
  const double poses = (path.FeedLength + path.RapidLength) / pitch;
  state.counters["removed_mm3"] = removed;
  state.counters["moves/s"] =
      benchmark::Counter(static_cast<double>(b.Moves), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["poses/s"] =
      benchmark::Counter(poses, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_WholeRun)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

void BM_CheckNcData(benchmark::State& state) {
  BenchSession b(0.2);
  NcCheckResults results;
  for (auto _ : state) {
    if (CheckNcData(*b.S, kCheckData, results) != kCheckDone || !(results.FeedLength > 0.0))
      state.SkipWithError("the check read no program");
  }
  state.counters["feed_length_mm"] = results.FeedLength;
  state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(results.LineCount),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CheckNcData)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
