// The block interpreter on a generated 3-axis program of 100,000 blocks:
// lines and arcs by centre and by radius with feeds, G81 drilling cycles and
// a tool change every 10,000 blocks, interpreted without cutting. Checks the
// count of blocks that move and the final position. The same program, its
// first half a closed contour under G41, through the motion driver and the
// block end position: moves per second, checked by the final position and
// the same count of moves in every pass.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "definitions/definitions.h"
#include "nc/block_end.h"
#include "nc/block_interpreter.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_context.h"
#include "nc/nc_modal_operations.h"
#include "platform/recording_host.h"
#include "simulation/session.h"

namespace vestan {
namespace {

constexpr int32_t kBlocks = 100000;
constexpr int32_t kToolChangeEvery = 10000;

struct Program {
  std::vector<std::string> Lines;
  int64_t Moves = 0;  // blocks that move an axis
};

// A closed pattern of ten blocks from (0, 0, 0) back to it; all but the
// G80 move. 99,990 pattern blocks end where they started.
Program MakeProgram(bool compensatedHalf = false) {
  static constexpr std::array<const char*, 10> kPattern{"G01 X10. Y0 F500.\n",
                                                        "G02 X20. Y0 I5. J0 F400.\n",
                                                        "G03 X10. Y0 R5.\n",
                                                        "G01 X0 Y0\n",
                                                        "G81 X5. Y5. Z-5. R2. F100.\n",
                                                        "X6. Y6.\n",
                                                        "G80\n",
                                                        "G00 X0 Y0 Z0\n",
                                                        "G91 G01 Z1. F300.\n",
                                                        "G90 Z0\n"};
  Program program;
  program.Lines.reserve(kBlocks);
  size_t next = 0;
  int32_t tool = 1;
  // Walked counter-clockwise from (0, 0) with the offset inside: inner
  // corners, an arc and a normal-axis move between plane moves.
  static constexpr std::array<const char*, 6> kContour{
      "G01 X20. Y0 F500.\n", "Y20.\n", "G02 X0 Y20. I-10. J0 F400.\n",
      "G01 X0 Y0\n",         "Z1.\n",  "Z0\n"};
  size_t contour = 0;
  if (compensatedHalf) program.Lines.emplace_back("G41 D1\n");
  for (int32_t i = 0; i < kBlocks; ++i) {
    if (compensatedHalf && i < kBlocks / 2) {
      if (i == kBlocks / 2 - 1) {
        program.Lines.emplace_back("G40 G01 X0 Y0\n");
        continue;
      }
      // Ends at (0, 0, 0) before the cancel.
      if (i >= kBlocks / 2 - 1 - static_cast<int32_t>((kBlocks / 2 - 1) % kContour.size())) {
        program.Lines.emplace_back("G01 X0 Y0 Z0\n");
        continue;
      }
      program.Lines.emplace_back(kContour[contour++ % kContour.size()]);
      continue;
    }
    if (i % kToolChangeEvery == 0) {
      // Built in steps: GCC 12 warns falsely on a literal plus a temporary.
      std::string change = "T";
      change += std::to_string(tool++);
      change += " M06\n";
      program.Lines.push_back(std::move(change));
      continue;
    }
    const size_t k = next++ % kPattern.size();
    program.Lines.emplace_back(kPattern[k]);
    if (k != 6) ++program.Moves;
  }
  // The shortened pattern stops part way: back to the origin.
  if (compensatedHalf) program.Lines.emplace_back("G80 G90 G00 X0 Y0 Z0\n");
  return program;
}

// One pass's records, out of a session.
struct PassWorld {
  RecordingHost Host;
  Session S{Host};
  Definitions& Defs = S.Defs;
  ControllerMemory& Memory = S.Memory;
  NcContext& Context = S.Nc;
  NcPassRecords Records = NcPassOf(S);
};

void BM_InterpretProgram(benchmark::State& state) {
  const Program program = MakeProgram();
  auto world = std::make_unique<PassWorld>();
  world->Defs.Settings.ControlPoint = {};
  int64_t moves = 0;
  for (auto _ : state) {
    ResetNcModalState(world->Context, world->Records);
    moves = 0;
    for (const std::string& line : program.Lines) {
      world->Context.Line.Assign(line);
      InterpretNcBlock(world->Context, world->Records);
      moves += world->Context.Modal.MoveExists;
    }
    benchmark::DoNotOptimize(moves);
  }
  const AxisPosition& end = world->Context.Move.End;
  if (moves != program.Moves) state.SkipWithError("wrong number of moves");
  if (end[0] != 0.0 || end[1] != 0.0 || end[2] != 0.0) state.SkipWithError("wrong final position");
  state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBlocks,
                                                  benchmark::Counter::kIsRate);
  state.counters["moves"] = static_cast<double>(moves);
}
BENCHMARK(BM_InterpretProgram)->Unit(benchmark::kMillisecond);

void BM_MotionDriver(benchmark::State& state) {
  const Program program = MakeProgram(true);
  const std::string path =
      (std::filesystem::temp_directory_path() / "vestan-motion-bench.nc").string();
  {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : program.Lines) out << line;
  }
  auto world = std::make_unique<PassWorld>();
  world->Defs.Settings.ControlPoint = {};
  world->Defs.Paths.NcProgram = path;
  world->Memory.Offsets.DGeometry[1] = 1.0f;
  LoadedNcProgram loaded;
  NcReader reader(loaded);
  const BlockInterpreterHooks hooks = MakeNcReaderHooks(reader);
  world->Records.BlockHooks = &hooks;
  MotionDriver driver;
  NcContext& context = world->Context;
  int64_t moves = 0, firstMoves = -1;
  bool consistent = true;
  for (auto _ : state) {
    ResetNcModalState(context, world->Records);
    LoadNcProgramText(context, world->Records, reader);
    if (OpenNcProgram(world->Records, reader) != kNcProgramReady) {
      state.SkipWithError("program not opened");
      break;
    }
    ResetMotionDriver(driver);
    moves = 0;
    while (context.Modal.EndState != kEndHandled && context.Modal.AlarmCode == kAlarmNone) {
      NextNcMove(context, world->Records, reader, driver);
      FinishMove(context, world->Records);
      moves += context.Modal.MoveExists;
    }
    benchmark::DoNotOptimize(moves);
    if (firstMoves < 0) firstMoves = moves;
    consistent = consistent && moves == firstMoves;
  }
  std::filesystem::remove(path);
  const AxisPosition& end = context.BlockEnd.Current;
  if (context.Modal.AlarmCode != kAlarmNone) state.SkipWithError("alarm");
  if (!consistent || moves < program.Moves) state.SkipWithError("wrong number of moves");
  if (end[0] != 0.0 || end[1] != 0.0 || end[2] != 0.0) state.SkipWithError("wrong final position");
  state.counters["moves/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(moves),
                         benchmark::Counter::kIsRate);
  state.counters["moves"] = static_cast<double>(moves);
}
BENCHMARK(BM_MotionDriver)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
