// The per-step work on a generated 3-axis program of lines and arcs (one
// tool) with the shipped definitions and their checks, the box stock on the
// vice at work pitch 0.1 and move pitch 0.1, without a window (no redraw
// waits): steps per second and process CPU time per step, checked by the
// step count (worked out from the program's geometry) and the removed
// volume. Each case runs again with a counting stand-in in the kernel's
// place; its CPU time per step is the work outside the kernel, and the
// kernel's share is the rest. The stock lies in the path, or 1000 mm away
// (each pose's cut finds no column to visit); the shipped settings leave
// the structure checks off, the AllChecks cases turn every one on; the Gang
// cases cut with two tools on a gang head.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>

#include "model/cut_statistics.h"
#include "model/model_history.h"
#include "model/cutting_seam.h"
#include "model/stock.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "platform/recording_host.h"
#include "shipped_session.h"
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

// A stand-in for the kernel that counts the poses it is handed and cuts
// nothing: the run with it costs what the steps cost besides the kernel.
class CountingCutter final : public CuttingSeam {
 public:
  int64_t Poses = 0;

  const ToolSetUp& MountTool(int32_t, double) override { return setUp_; }
  void UnmountTool() override {}
  void CutPose(const Vec3&, const Vec3&) override { ++Poses; }
  void StartAfresh() override {}
  CutOutputs Outputs() const override { return {}; }

 private:
  ToolSetUp setUp_;
};

struct Case {
  bool FarStock = false;  // the stock 1000 mm along X, out of the path
  bool AllChecks = false;  // every structure check on, beside the shipped ones
  // Tool 1 on a gang head with a second D10 20 mm along Y, both cutting at
  // every step through the layout tools' pass.
  bool Gang = false;
  int Moves = 0;
};

constexpr const char* kGangTable =
    "I 1\n"
    "MAGAZINE 1 FLAT 10,30 \"FLAT END MILL D10\"\nLENGTH 60\nLAYOUT1 0,0,0\n"
    "MAGAZINE 2 FLAT 10,30 \"FLAT END MILL D10\"\nLENGTH 60\nLAYOUT1 0,20,0\n";

// A session with the shipped definitions, the box stock and the program
// opened, ready for its first move.
std::unique_ptr<Session> ReadySession(Host& host, const Case& c, const std::string& path) {
  auto session = bench::ShippedSession(host);
  Session& s = *session;
  if (c.Gang) {
    s.Defs.Paths.ToolTable = std::filesystem::temp_directory_path() / "vestan_move_steps_gang.ttl";
    std::ofstream(s.Defs.Paths.ToolTable) << kGangTable;
  }
  ReadToolTableInto(s);
  if (c.Gang && s.Defs.Tools.Layout.Count != 2) std::abort();
  s.Defs.Settings.Pitch.WorkPitch = 0.1;
  s.Defs.Settings.Pitch.MovePitch = kPitch;
  s.Defs.Settings.IgnoreG00 = 1;
  if (c.AllChecks) {
    s.Defs.Checks.Pairs.fill(1);
    UpdateMachineCheckFlag(s.Defs.Checks);
  }
  DexelModel& model = s.Work.Workpiece();
  model.SlotCount = 2;
  const double shift = c.FarStock ? 1000.0 : 0.0;
  if (CreateBoxModel(model, {-50 + shift, -50, 80, 50 + shift, 50, 110}, 0.1) != kModelOk)
    std::abort();
  s.Work.WorkPresent = 1;
  PushModelHistory(model);
  s.Defs.Paths.NcProgram = path;
  StartRunPass(s);
  LoadNcProgramText(s.Nc, NcPassOf(s), s.Pass->Reader);
  OpenNcProgram(NcPassOf(s), s.Pass->Reader);
  return session;
}

// The program's moves through the per-step work; the steps taken.
int64_t RunMoves(Session& s) {
  int64_t steps = 0;
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
  return steps;
}

// Every move taken in the steps its geometry gives, and material removed
// exactly when the kernel cuts and the stock lies under the path, at most
// each tool's width and the depth along the path.
double CheckedRemoval(Session& s, const Program& program, int64_t steps, bool cuts, int tools) {
  const double removed = -ComputeCutAmountStats(s.Work.Workpiece());
  const double most = tools * (program.PathLength * 2.0 * kToolRadius * kDepth +
                               std::numbers::pi * kToolRadius * kToolRadius * kDepth);
  const NcModalState& modal = s.Nc.Modal;
  if (modal.EndState != kEndHandled || steps != program.Steps || cuts != (removed > 0.0) ||
      removed < 0.0 || removed > most) {
    std::fprintf(stderr,
                 "run ended at line %lld (alarm %d, end %d), %lld steps of %lld, removed %g\n",
                 static_cast<long long>(CurrentLineNumber(s.Nc)), modal.AlarmCode,
                 static_cast<int>(s.Pass->Steps.End), static_cast<long long>(steps),
                 static_cast<long long>(program.Steps), removed);
    std::abort();
  }
  return removed;
}

double CpuSeconds(std::clock_t from) {
  return static_cast<double>(std::clock() - from) / CLOCKS_PER_SEC;
}

// The timed run with the kernel; then, untimed, the same run with the
// counting stand-in in the kernel's place. CPU time is the process's, the
// kernel's worker threads included.
void RunProgram(benchmark::State& state, const Case& c) {
  const std::string path = std::filesystem::temp_directory_path() / "vestan_move_steps_bench.nc";
  const Program program = MakeProgram(c.Moves);
  std::ofstream(path) << program.Text;
  int64_t steps = 0;
  double removed = 0.0, cpu = 0.0, outsideCpu = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    RecordingHost host;
    std::unique_ptr<Session> session = ReadySession(host, c, path);
    state.ResumeTiming();
    const std::clock_t start = std::clock();
    steps = RunMoves(*session);
    cpu += CpuSeconds(start);
    state.PauseTiming();
    const int tools = c.Gang ? 2 : 1;
    removed = CheckedRemoval(*session, program, steps, !c.FarStock, tools);
    session.reset();

    RecordingHost standInHost;
    std::unique_ptr<Session> standIn = ReadySession(standInHost, c, path);
    CountingCutter counter;
    standIn->Pass->Cutter = &counter;
    const std::clock_t standInStart = std::clock();
    const int64_t standInSteps = RunMoves(*standIn);
    outsideCpu += CpuSeconds(standInStart);
    CheckedRemoval(*standIn, program, standInSteps, false, tools);
    // One pose a tool and step, each handed to the stand-in.
    if (counter.Poses != steps * tools) std::abort();
    standIn.reset();
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations()) * static_cast<double>(steps);
  state.counters["steps"] = static_cast<double>(steps);
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["CPU/step us"] = cpu / runs * 1e6;
  // The same steps with the counting stand-in: the work outside the kernel.
  state.counters["outside/step us"] = outsideCpu / runs * 1e6;
  state.counters["kernel share"] = cpu > 0.0 ? 1.0 - outsideCpu / cpu : 0.0;
  state.counters["removed mm3"] = removed;
}

// With the stock in the path every step cuts, so that case takes 400 moves;
// with it out of the path each pose's cut finds no column to visit, over
// 10,000 moves.
void BM_MoveStepsBoxStock(benchmark::State& state) { RunProgram(state, {false, false, false, 400}); }
void BM_MoveStepsNoMaterial(benchmark::State& state) {
  RunProgram(state, {true, false, false, 10000});
}
void BM_MoveStepsBoxStockAllChecks(benchmark::State& state) {
  RunProgram(state, {false, true, false, 400});
}
void BM_MoveStepsNoMaterialAllChecks(benchmark::State& state) {
  RunProgram(state, {true, true, false, 10000});
}
void BM_MoveStepsBoxStockGang(benchmark::State& state) { RunProgram(state, {false, false, true, 400}); }
void BM_MoveStepsNoMaterialGang(benchmark::State& state) {
  RunProgram(state, {true, false, true, 10000});
}
BENCHMARK(BM_MoveStepsBoxStock)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_MoveStepsNoMaterial)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_MoveStepsBoxStockAllChecks)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_MoveStepsNoMaterialAllChecks)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_MoveStepsBoxStockGang)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_MoveStepsNoMaterialGang)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace vestan
