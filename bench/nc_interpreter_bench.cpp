// The block interpreter on a generated 3-axis program of 100,000 blocks:
// lines and arcs by centre and by radius with feeds, G81 drilling cycles and
// a tool change every 10,000 blocks, interpreted without cutting. Checks the
// count of blocks that move and the final position.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <utility>

#include "definitions/definitions.h"
#include "nc/block_interpreter.h"
#include "nc/nc_context.h"
#include "nc/nc_modal_operations.h"
#include "platform/recording_host.h"

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
Program MakeProgram() {
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
  for (int32_t i = 0; i < kBlocks; ++i) {
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
  return program;
}

struct PassWorld {
  Definitions Defs;
  WorkOffsetFrame Frame;
  DisplayListTable Display;
  CurrentTool Tool;
  std::unique_ptr<ToolProfile> Profile = std::make_unique<ToolProfile>();
  RunControl Control;
  RecordingHost Host;
  RunState Run;
  NcContext Context{Run};
  NcPassRecords Records{Defs, Frame, Display, Tool, *Profile, Control, Host};
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

}  // namespace
}  // namespace vestan
