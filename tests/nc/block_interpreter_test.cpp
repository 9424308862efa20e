#include "nc/block_interpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "nc/block_end.h"
#include "nc/block_trace.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_world.h"
#include "nc/position_update.h"

namespace vestan::testing {
namespace {

constexpr double kPi = std::numbers::pi;

// A world of the dialect, reset for a run.
std::unique_ptr<NcWorld> Ready(Dialect dialect = Dialect::kDefault, std::string_view lines = {}) {
  auto world = MakeNcWorld(dialect, lines);
  world->Defs.Settings.ControlPoint = {};
  ResetNcModalState(world->Context, world->Records);
  return world;
}

void Interpret(NcWorld& world, const std::vector<std::string_view>& lines) {
  InterpretBlocks(world.Context, world.Records, lines);
}

const NcMove& Move(NcWorld& world) { return world.Context.Move; }

// One row per block: the dialect, further controller lines, the blocks
// before it, the block and the trace line after it.
struct TraceRow {
  Dialect Kind;
  std::string_view Controller;
  std::vector<std::string_view> Blocks;
  std::string_view Trace;
};

TEST(BlockInterpreter, DialectBlockTable) {
  const TraceRow rows[] = {
      {Dialect::kDefault,
       "",
       {"G90 G00 X5.", "G91 X10."},
       "mm=0 G=91 M=-1 pl=17 inc=1 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(15.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G01 X10. Y5. F200."},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=200.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 "
       "end=(10.0000,5.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G17 G02 X10. Y0 I5. J0 F100."},
       "mm=2 G=2 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=100.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 "
       "end=(10.0000,0.0000,0.0000,0.0000,0.0000) ctr=(5.0000,0.0000,0.0000) ang=3.1416 "
       "arc=15.7080 r=5.0000/5.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G18 G03 X10. Z0 I5. K0"},
       "mm=3 G=3 M=-1 pl=18 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10100 end=(10.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(5.0000,0.0000,0.0000) ang=3.1416 arc=15.7080 r=5.0000/5.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G99 G81 X10. Y10. Z-5. R2. F100. K3"},
       "mm=0 G=81 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=100.0000 S=0 cyc=81 R=2.0000 Q=0.0000 K=3 ax=11100 "
       "end=(10.0000,10.0000,-5.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 "
       "arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G83 Q1.5 Z-10. R1."},
       "mm=0 G=83 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=83 R=1.0000 Q=1.5000 K=1 ax=00100 end=(0.0000,0.0000,-10.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G43 H1 T12 M06 S3000 M03"},
       "mm=0 G=43 M=3 pl=17 inc=0 wo=1 T=12/12 D=0 H=1 los=1 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=3000 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 end=(0.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"X1000 Y-250"},
       "mm=0 G=0 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 end=(1.0000,-0.2500,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"E5. X2. G07 G05.5"},
       "mm=0 G=5 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(2.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"(COMMENT X99.) X3."},
       "mm=0 G=0 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(3.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G51 X0 Y0 P2000", "G01 X5."},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(10.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G68 X0 Y0 R90.", "G01 X10. Y0"},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 end=(10.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"M30 X1."},
       "mm=0 G=0 M=30 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(1.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "RUN TYPE=MEMORY\n",
       {"M30 X1."},
       "mm=0 G=0 M=30 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 end=(0.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=2"},
      {Dialect::kDefault,
       "",
       {"G90 X5.", "G54.1 P3"},
       "mm=0 G=54 M=-1 pl=17 inc=0 wo=9 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 end=(5.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G92 X0 Y0 Z0"},
       "mm=0 G=92 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11100 end=(0.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kDefault,
       "",
       {"G41 D1 G01 X5. Y5."},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=1 H=0 los=0 side=1 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 end=(5.0000,5.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kMazak,
       "",
       {"G123.1 X10. T1 T0"},
       "mm=0 G=123 M=-1 pl=17 inc=0 wo=1 T=1/1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(5.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kOsp,
       "",
       {"G132 X10. Y0 I5."},
       "mm=2 G=132 M=-1 pl=17 inc=0 wo=0 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=0.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 "
       "end=(10.0000,0.0000,0.0000,0.0000,0.0000) ctr=(5.0000,0.0000,0.0000) ang=3.1416 "
       "arc=15.7080 r=5.0000/5.0000 mis=0 es=0"},
      {Dialect::kOsp,
       "",
       {"G101 X1. M52"},
       "mm=1 G=101 M=52 pl=17 inc=0 wo=0 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=0.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 "
       "end=(1.0000,0.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kOsp,
       "",
       {"G15 H3 G16 X1."},
       "mm=0 G=16 M=-1 pl=17 inc=0 wo=0 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(1.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kOsp,
       "",
       {"G00 X1.", "CALL OO88 PH=0 PP=5 PX=10. W5"},
       "mm=0 G=8110 M=-1 pl=17 inc=0 wo=5 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 "
       "F=0.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 "
       "end=(-9.0000,0.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kSiemens,
       "",
       {"T=5 D2 G01 X1. F50. ; X9."},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=5/5 D=2 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=50.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(1.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kSiemens,
       "",
       {"SUPA G00 Z100."},
       "mm=0 G=0 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00100 end=(0.0000,0.0000,100.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kSiemens,
       "",
       {"CYCLE800(1,\"TC1\",100000,57,0,0,0,0,45,0,0,0,0,-1,100)"},
       "mm=0 G=682 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=1 los=1 side=0 len=0.0000 rad=0.0000 "
       "F=0.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 "
       "end=(0.0000,0.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"L X+10 Y+5 F200 M3"},
       "mm=1 G=1 M=3 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=1 side=0 len=0.0000 rad=0.0000 F=200.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 end=(10.0000,5.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"L X+10 Y+0 F200", "CC X+0 Y+0", "C X+0 Y+10 DR+"},
       "mm=3 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=1 side=0 len=0.0000 rad=0.0000 "
       "F=200.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=11000 "
       "end=(0.0000,10.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=1.5708 "
       "arc=15.7080 r=10.0000/10.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"L X+10 Y+0 F200", "CC X+0 Y+0", "LP PR+10 PA+90"},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=1 side=0 len=0.0000 rad=0.0000 "
       "F=200.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 "
       "end=(0.0000,10.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"TOOL CALL 5 Z S2000"},
       "mm=0 G=0 M=-1 pl=17 inc=0 wo=1 T=5/5 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 end=(0.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"L Z+50 FMAX"},
       "mm=0 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=1 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00100 end=(0.0000,0.0000,50.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"L X+10 RL F100", "* X5"},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=1 side=1 len=0.0000 rad=0.0000 "
       "F=100.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 "
       "end=(10.0000,0.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"CYCL DEF 200 DRILLING", "Q201=-20", "CYCL CALL"},
       "mm=0 G=0 M=0 pl=17 inc=0 wo=1 T=0/-1 D=0 H=0 los=0 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=200 R=0.0000 Q=0.0000 K=1 ax=00000 end=(0.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"PLANE SPATIAL SPA+0 SPB+45 SPC+0 SEQ- TURN F2000"},
       "mm=0 G=682 M=-1 pl=17 inc=0 wo=1 T=0/-1 D=0 H=1 los=1 side=0 len=0.0000 rad=0.0000 "
       "F=0.0000 S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=00000 "
       "end=(0.0000,0.0000,0.0000,0.0000,0.0000) ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 "
       "r=0.0000/0.0000 mis=0 es=0"},
      {Dialect::kHeidenhain,
       "",
       {"CYCL DEF 7.1 #3", "L X+1"},
       "mm=1 G=1 M=-1 pl=17 inc=0 wo=3 T=0/-1 D=0 H=0 los=1 side=0 len=0.0000 rad=0.0000 F=0.0000 "
       "S=0 cyc=80 R=0.0000 Q=0.0000 K=1 ax=10000 end=(1.0000,0.0000,0.0000,0.0000,0.0000) "
       "ctr=(0.0000,0.0000,0.0000) ang=0.0000 arc=0.0000 r=0.0000/0.0000 mis=0 es=0"},
  };
  for (const TraceRow& row : rows) {
    auto w = Ready(row.Kind, row.Controller);
    const std::vector<std::string> traces = InterpretBlocks(w->Context, w->Records, row.Blocks);
    EXPECT_EQ(traces.back(), row.Trace) << row.Blocks.back();
  }
}

TEST(BlockInterpreter, ReversedPlaneTurnsClockwiseArcsCounterClockwise) {
  auto w = Ready();
  w->Defs.Controller.Planes.Codes = {-17, 18, 19};
  Interpret(*w, {"G17 G02 X10. Y0 I5."});
  EXPECT_EQ(w->Modal().Plane.PlaneCode, -17);
  EXPECT_EQ(Move(*w).MotionMode, kMotionCounterClockwise);
  Interpret(*w, {"G03 X0 Y0 R5."});
  EXPECT_EQ(Move(*w).MotionMode, kMotionClockwise);
}

TEST(BlockInterpreter, WorkOffsetSelectionKeepsTheMachineWhereItIs) {
  auto w = Ready();
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.WorkOffsets[1] = {10.0, 0.0, 0.0, 0.0, 0.0};
  offsets.WorkOffsets[2] = {30.0, 0.0, 0.0, 0.0, 0.0};
  offsets.WorkOffsets[7] = {1.0, 0.0, 0.0, 0.0, 0.0};
  offsets.WorkOffsets[9] = {3.0, 0.0, 0.0, 0.0, 0.0};
  Interpret(*w, {"G54 G90 X5."});
  EXPECT_EQ(offsets.SelectedWorkOffset, 1);
  Interpret(*w, {"G55"});
  EXPECT_EQ(offsets.SelectedWorkOffset, 2);
  // Machine X 15 stays: 15 - 30.
  EXPECT_DOUBLE_EQ(Move(*w).End[0], -15.0);
  EXPECT_DOUBLE_EQ(w->Modal().ProgramPosition[0], -15.0);
  EXPECT_DOUBLE_EQ(offsets.ActiveWorkOffset[0], 30.0);
  Interpret(*w, {"G54.1"});
  EXPECT_EQ(offsets.SelectedWorkOffset, 7);
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 14.0);
  Interpret(*w, {"G54.1 P3"});
  EXPECT_EQ(offsets.SelectedWorkOffset, 9);
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 12.0);
  // A P beyond the 201-entry table is ignored and logged.
  Interpret(*w, {"G54.1 P195"});
  EXPECT_EQ(offsets.SelectedWorkOffset, 7);
  Interpret(*w, {"G54.1 P194"});
  EXPECT_EQ(offsets.SelectedWorkOffset, 200);
  EXPECT_FALSE(w->Host.Texts(RecordingHost::Call::kLog).empty());
  // A P at the integer limit is outside too, not wrapped into the table.
  Interpret(*w, {"G54.1 P2147483647", "G10 L20 P2147483647 X1."});
  EXPECT_EQ(offsets.SelectedWorkOffset, 7);
}

TEST(BlockInterpreter, SiemensTrafoofConsumesTheWholeWord) {
  auto w = Ready(Dialect::kSiemens);
  Interpret(*w, {"G01 F250.", "TRAORI"});
  EXPECT_EQ(w->Modal().ToolAxisMode, kToolAxisAngles);
  EXPECT_EQ(w->Modal().Length.LengthCompensationActive, 1);
  Interpret(*w, {"TRAFOOF"});
  EXPECT_EQ(w->Modal().ToolAxisMode, kToolAxisOff);
  EXPECT_EQ(w->Modal().Length.LengthCompensationActive, 0);
  // Its last letter is no F word.
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 250.0);
}

TEST(BlockInterpreter, ArcsByCentreAndByRadius) {
  struct Case {
    const char* name;
    std::vector<std::string_view> blocks;
    double angle, length, centreX, centreY;
  } cases[] = {
      {"full circle by centre", {"G90 G00 X10. Y0", "G02 X10. Y0 I-5."}, 2 * kPi, 10 * kPi, 5, 0},
      {"same point by R: no arc", {"G90 G00 X10. Y0", "G02 X10. Y0 R5."}, 0, 0, 0, 0},
      {"quarter by R", {"G90 G00 X0 Y0", "G02 X5. Y5. R5."}, kPi / 2, 2.5 * kPi, 5, 0},
      {"negative R: the larger arc",
       {"G90 G00 X0 Y0", "G02 X5. Y5. R-5."},
       1.5 * kPi,
       7.5 * kPi,
       0,
       5},
      {"G03 quarter by R", {"G90 G00 X0 Y0", "G03 X5. Y5. R5."}, kPi / 2, 2.5 * kPi, 0, 5},
      {"short R: centre at the chord's midpoint",
       {"G90 G00 X0 Y0", "G02 X10. Y0 R2."},
       kPi,
       5 * kPi,
       5,
       0},
  };
  for (const Case& c : cases) {
    auto w = Ready();
    Interpret(*w, c.blocks);
    const NcMove& m = Move(*w);
    EXPECT_NEAR(m.ArcAngle, c.angle, 1e-12) << c.name;
    EXPECT_NEAR(m.Length, c.length, 1e-9) << c.name;
    if (c.length > 0) {
      EXPECT_NEAR(m.Centre[0], c.centreX, 1e-12) << c.name;
      EXPECT_NEAR(m.Centre[1], c.centreY, 1e-12) << c.name;
    }
    EXPECT_EQ(w->Modal().Interp.RadiusMismatch, 0) << c.name;
  }
}

TEST(BlockInterpreter, RadiusMismatchAtTheTolerance) {
  for (const auto& [tolerance, flagged] :
       {std::pair{0.01f, 1}, std::pair{0.09f, 1}, std::pair{0.5f, 0}, std::pair{0.0f, 0}}) {
    auto w = Ready();
    w->Defs.Controller.RTolerance = tolerance;
    // Start radius 5, end radius 5.1 about (5, 0).
    Interpret(*w, {"G90 G00 X0 Y0", "G02 X10.1 Y0 I5."});
    EXPECT_EQ(w->Modal().Interp.RadiusMismatch, flagged) << tolerance;
    EXPECT_EQ(w->Modal().AlarmCode, flagged != 0 ? kAlarmArcRadii : kAlarmNone) << tolerance;
  }
}

TEST(BlockInterpreter, G10DataInput) {
  auto w = Ready(Dialect::kDefault, "TOOL OFFSET MEMORY=C\n");
  OffsetMemory& offsets = w->Memory.Offsets;
  Interpret(*w, {"G10 L2 P1 X5."});
  EXPECT_DOUBLE_EQ(offsets.WorkOffsets[1][0], 5.0);
  // The entry in force was written: the composed offset follows.
  EXPECT_DOUBLE_EQ(offsets.ActiveWorkOffset[0], 5.0);
  Interpret(*w, {"G91 G10 L2 P1 X5.", "G90"});
  EXPECT_DOUBLE_EQ(offsets.WorkOffsets[1][0], 10.0);
  Interpret(*w, {"G10 L20 P2 Y7."});
  EXPECT_DOUBLE_EQ(offsets.WorkOffsets[8][1], 7.0);
  Interpret(*w, {"G10 L20 P195 Y7."});  // entry 201: outside the table
  EXPECT_EQ(w->Memory.Offsets.WorkOffsets.size(), static_cast<size_t>(kWorkOffsetEntries));
  // P before L numbers the same entries, and is checked the same way.
  Interpret(*w, {"G10 P3 L20 Y9."});
  EXPECT_DOUBLE_EQ(offsets.WorkOffsets[9][1], 9.0);
  Interpret(*w, {"G10 P2147483647 L2 X1.", "G10 P195 L20 Y7."});
  EXPECT_EQ(w->Memory.Offsets.WorkOffsets.size(), static_cast<size_t>(kWorkOffsetEntries));
  Interpret(*w, {"G10 L12 P3 R5.", "G10 L10 P3 R50.", "G10 L11 P3 R-.5", "G10 L13 P3 R.1"});
  EXPECT_FLOAT_EQ(offsets.DGeometry[3], 5.0f);
  EXPECT_FLOAT_EQ(offsets.HGeometry[3], 50.0f);
  EXPECT_FLOAT_EQ(offsets.HWear[3], -0.5f);
  EXPECT_FLOAT_EQ(offsets.DWear[3], 0.1f);
  Interpret(*w, {"G91 G10 L12 P3 R1.", "G90"});
  EXPECT_FLOAT_EQ(offsets.DGeometry[3], 6.0f);
  // No block moved the tool: it stands at X -10 of the entry now 10 along.
  EXPECT_EQ(Move(*w).End, (AxisPosition{-10, 0, 0, 0, 0}));
}

TEST(BlockInterpreter, G10OneValuePerNumber) {
  auto w = Ready(Dialect::kDefault, "TOOL OFFSET MEMORY=A\n");
  Interpret(*w, {"G10 L11 P4 R2."});
  EXPECT_FLOAT_EQ(w->Memory.Offsets.DGeometry[4], 2.0f);
  EXPECT_FLOAT_EQ(w->Memory.Offsets.HGeometry[4], 2.0f);
}

TEST(BlockInterpreter, OffsetNumbersOutsideTheMemory) {
  auto w = Ready();
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.DGeometry[5] = 4.0f;
  offsets.HGeometry[5] = 100.0f;
  offsets.HWear[5] = 0.5f;
  Interpret(*w, {"G41 D5", "G43 H5"});
  EXPECT_DOUBLE_EQ(w->Modal().RadiusOffset, 4.0);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, 100.5);
  // At or above 1000: D numbers none, H cancels, as D0 and H0 do.
  Interpret(*w, {"D1000 H1234"});
  EXPECT_EQ(w->Modal().Interp.RadiusOffsetNumber, 0);
  EXPECT_DOUBLE_EQ(w->Modal().RadiusOffset, 0.0);
  EXPECT_EQ(w->Modal().LengthOffsetNumber, 0);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, 0.0);
  // Negative: the same.
  Interpret(*w, {"G41 D5 G43 H5", "D-3 H-2"});
  EXPECT_EQ(w->Modal().Interp.RadiusOffsetNumber, 0);
  EXPECT_DOUBLE_EQ(w->Modal().RadiusOffset, 0.0);
  EXPECT_EQ(w->Modal().LengthOffsetNumber, 0);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, 0.0);
  // G44 books the length negative; G42 the radius on the other side.
  Interpret(*w, {"G42 D5 G44 H5"});
  EXPECT_DOUBLE_EQ(w->Modal().RadiusOffset, -4.0);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, -100.5);
}

TEST(BlockInterpreter, CodeTablesHoldOnlyTheirCodes) {
  auto w = Ready(Dialect::kOsp, "CODE CHECK=YES\n");
  ASSERT_NE(w->Defs.Controller.CodeCheck, 0);
  Interpret(*w, {"G254 G353 G468 G01 M200 M03 G199"});
  const InterpreterState& in = w->Modal().Interp;
  EXPECT_EQ(in.GCodeUsed[1], 1);
  EXPECT_EQ(in.GCodeUsed[199], 1);
  EXPECT_EQ(in.MCodeUsed[3], 1);
  int32_t used = 0;
  for (uint8_t flag : in.GCodeUsed) used += flag;
  EXPECT_EQ(used, 2);
}

TEST(BlockInterpreter, ToolNumbersAndReferencePoints) {
  auto w = Ready();
  const int32_t highest = w->Defs.Tools.MaxToolNumber;
  Interpret(*w, {"T" + std::to_string(highest)});
  EXPECT_EQ(w->Modal().Tools.NextToolNumber, highest);
  const std::string beyond = "T" + std::to_string(highest + 1);
  Interpret(*w, {beyond});
  EXPECT_EQ(w->Modal().BlockTool, highest + 1);
  EXPECT_EQ(w->Modal().Tools.NextToolNumber, 0);
  Interpret(*w, {"G30 P2 Z0"});
  EXPECT_EQ(w->Modal().Interp.ReferencePointNumber, 1);
  EXPECT_EQ(w->Modal().Interp.ReferenceReturnMode, kReferenceReturn);
  // P beyond the machine's reference points is ignored: G30's second point.
  Interpret(*w, {"G30 P9 Z0"});
  EXPECT_EQ(w->Modal().Interp.ReferencePointNumber, 1);
  Interpret(*w, {"G28 Z0"});
  EXPECT_EQ(w->Modal().Interp.ReferencePointNumber, 0);
  Interpret(*w, {"X1."});
  EXPECT_EQ(w->Modal().Interp.ReferenceReturnMode, kReferenceNone);
}

TEST(BlockInterpreter, UserCodeStrings) {
  auto w = Ready(Dialect::kDefault,
                 "LATHE ON CODE=M130\nLATHE OFF CODE=M131\nCUT ON CODE=M150\n"
                 "CUT OFF CODE=M151\nROTARY1 LOCK=M10\nROTARY1 UNLOCK=M11\n");
  EXPECT_EQ(w->Modal().CuttingEnabled, 0);  // only an ON code before the OFF code
  Interpret(*w, {"M150 M130 M10 X1."});
  EXPECT_EQ(w->Modal().CuttingEnabled, 1);
  EXPECT_EQ(Move(*w).CuttingEnabled, 1);
  EXPECT_EQ(w->Modal().LatheMode, 1);
  EXPECT_EQ(w->Modal().Interp.RotaryLocked[0], 1);
  EXPECT_EQ(w->Modal().Interp.CutStateChanged, 1);
  // The codes are not read as M words.
  EXPECT_EQ(w->Modal().LastMCode, -1);
  Interpret(*w, {"M151 M131 M11"});
  EXPECT_EQ(w->Modal().CuttingEnabled, 0);
  // The next block's move carries the switch in force.
  Interpret(*w, {"X2."});
  EXPECT_EQ(Move(*w).CuttingEnabled, 0);
  EXPECT_EQ(w->Modal().LatheMode, 0);
  EXPECT_EQ(w->Modal().Interp.RotaryLocked[0], 0);
}

TEST(BlockInterpreter, CoordinateSettingAndLocalShift) {
  auto w = Ready();
  Interpret(*w, {"G90 G00 X10. Y20.", "G92 X0 Y0"});
  EXPECT_EQ(Move(*w).End, (AxisPosition{0, 0, 0, 0, 0}));
  EXPECT_EQ(Move(*w).Start, Move(*w).End);
  EXPECT_DOUBLE_EQ(w->Memory.Offsets.ActiveWorkOffset[0], 10.0);
  EXPECT_DOUBLE_EQ(w->Modal().Interp.G92Shift[1], 20.0);
  // A work offset change keeps the G92 shift.
  Interpret(*w, {"G55"});
  EXPECT_DOUBLE_EQ(w->Memory.Offsets.ActiveWorkOffset[0], 10.0);
  Interpret(*w, {"G52 X5.", "X1."});
  EXPECT_DOUBLE_EQ(w->Memory.Offsets.ActiveWorkOffset[0], 15.0);
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 1.0);
}

TEST(BlockInterpreter, SubprogramCallsGoThroughTheHooks) {
  auto w = Ready();
  std::vector<std::string> calls;
  int32_t returns = 0;
  BlockInterpreterHooks hooks;
  hooks.CallSubprogram = [&](NcContext& context, const NcPassRecords&, const SubprogramCall& call) {
    calls.push_back(std::string(call.Name) + "/" + std::to_string(call.Number));
    ++context.Subprograms.Depth;
  };
  hooks.ReturnFromSubprogram = [&](NcContext& context, const NcPassRecords&) {
    ++returns;
    --context.Subprograms.Depth;
  };
  w->Records.BlockHooks = &hooks;
  Interpret(*w,
            {"M99 X1.", "M98 P100 X5.", "M98 <SUB1>", "M198 P12", "M98 P3", "M98 P4", "M99 X9."});
  EXPECT_EQ(calls, (std::vector<std::string>{"/100", "SUB1/0", "/12", "/3"}));
  EXPECT_EQ(returns, 1);
  // M99 at depth 0 goes on with the block; the call and the return end it.
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 1.0);
  EXPECT_EQ(w->Context.Subprograms.Depth, 3);
}

// The interpreter keeps the end in program coordinates and leaves the
// rotation for the block end to apply once, counter-clockwise for a
// positive angle.
TEST(BlockInterpreter, CoordinateRotationAboutTheGivenCentre) {
  struct Case {
    Dialect kind;
    std::string_view controller;
    std::vector<std::string_view> blocks;
    AxisPosition end;
  } cases[] = {
      {Dialect::kDefault, "", {"G68 X10. Y0 R90.", "G01 X20. Y0"}, {10, 10, 0, 0, 0}},
      // The centre's words by program axis, the plane's axes (Z, X) turned.
      {Dialect::kDefault, "", {"G18 G68 X0 Z10. R90.", "G01 X0 Z20."}, {10, 0, 10, 0, 0}},
      // OSP starts the rotation with G69, by the default angle.
      {Dialect::kOsp, "ROTATION ANGLE=90\n", {"G69 X10.", "G01 X20."}, {10, 10, 0, 0, 0}},
      {Dialect::kOsp, "ROTATION ANGLE=90\n", {"G69 X10.", "G68", "G01 X20."}, {20, 0, 0, 0, 0}},
      // OSP G127 on the cylinder turns about Y by B; G126 ends it.
      {Dialect::kOsp, "", {"NCYL", "G127 B90.", "G01 X10."}, {0, 0, -10, 0, 0}},
      {Dialect::kOsp, "", {"NCYL", "G127 B90.", "G126", "G01 X10."}, {10, 0, 0, 0, 0}},
      {Dialect::kOsp, "", {"G127 B90.", "G01 X10."}, {10, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    auto w = Ready(c.kind, c.controller);
    NcContext& context = w->Context;
    for (std::string_view block : c.blocks) {
      Interpret(*w, {block});
      FinishMove(context, w->Records);
    }
    for (size_t i = 0; i < 5; ++i)
      EXPECT_NEAR(context.BlockEnd.Current[i], c.end[i], 1e-12) << c.blocks.front() << " axis " << i;
  }
}

// G51.1 mirrors the axes it names about their values, G50.1 ends the named
// axes' mirror or, naming none, all; neither block moves the tool, and the
// moves after them go where the program says in the frame then in force.
TEST(BlockInterpreter, MirrorImageWords) {
  auto w = Ready();
  NcContext& context = w->Context;
  const MirrorImageState& mirror = context.BlockEnd.Mirror;
  const auto run = [&](std::string_view block) {
    Interpret(*w, {block});
    FinishMove(context, w->Records);
    const AxisPosition& at = context.BlockEnd.Current;
    return std::array<double, 2>{at[0], at[1]};
  };
  using XY = std::array<double, 2>;
  run("G01 X1. Y1.");
  EXPECT_EQ(run("G51.1 X5. Y-2."), (XY{1, 1}));
  EXPECT_EQ(w->Modal().MoveExists, 0);
  EXPECT_EQ(mirror.On, 1);
  EXPECT_EQ(mirror.Mirrored, (std::array<int32_t, 3>{1, 1, 0}));
  EXPECT_EQ(mirror.Centre, (Vec3{5, -2, 0}));
  EXPECT_EQ(run("G01 X3. Y0"), (XY{7, -4}));
  EXPECT_EQ(run("G91 X1. Y1."), (XY{6, -5}));
  EXPECT_EQ(run("G90 G50.1 X0"), (XY{6, -5}));
  EXPECT_EQ(mirror.Mirrored, (std::array<int32_t, 3>{0, 1, 0}));
  EXPECT_EQ(mirror.On, 1);
  EXPECT_EQ(run("G01 X3. Y0"), (XY{3, -4}));
  EXPECT_EQ(run("G50.1"), (XY{3, -4}));
  EXPECT_EQ(mirror.Mirrored, (std::array<int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(mirror.On, 0);
  EXPECT_EQ(run("G01 X3. Y0"), (XY{3, 0}));
  // Under scaling the centre is scaled like the axis words: mirroring X10
  // about 5 at factor 2 about 0 gives 0.
  auto scaled = Ready();
  Interpret(*scaled, {"G51 X0 Y0 P2000", "G51.1 X5.", "G01 X10."});
  FinishMove(scaled->Context, scaled->Records);
  EXPECT_EQ(scaled->Context.BlockEnd.Current[0], 0.0);
  // Elsewhere G50 and G51 stay scaling.
  auto osp = Ready(Dialect::kOsp);
  Interpret(*osp, {"G51.1 X5."});
  EXPECT_EQ(osp->Context.BlockEnd.Mirror.On, 0);
}

// A circle given by its centre ends where it starts, and still moves.
TEST(BlockInterpreter, FullCircleMoves) {
  auto w = Ready();
  Interpret(*w, {"G00 X10. Y0", "G02 I-10. J0"});
  EXPECT_EQ(w->Modal().MoveExists, 1);
  EXPECT_NEAR(Move(*w).ArcAngle, 2 * kPi, 1e-12);
  Interpret(*w, {"G02 X10. Y0 R10."});  // by R: no circle, no move
  EXPECT_EQ(w->Modal().MoveExists, 0);
}

TEST(BlockInterpreter, MazakDiameterInputAndOspPolarEnd) {
  auto w = Ready(Dialect::kMazak);
  Interpret(*w, {"G10.9 X1", "X10."});
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 5.0);
  Interpret(*w, {"G10.9 X0", "X10."});
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 10.0);
  auto osp = Ready(Dialect::kOsp);
  Interpret(*osp, {"G137", "G01 X5. Y3.", "G136"});
  EXPECT_EQ(osp->Modal().Polar.On, 0);
  EXPECT_DOUBLE_EQ(Move(*osp).End[1], 0.0);
  EXPECT_EQ(osp->Modal().MoveExists, 1);
}

TEST(BlockInterpreter, HeidenhainPolarWords) {
  auto w = Ready(Dialect::kHeidenhain);
  Interpret(*w, {"L X+10 Y+0 F200", "CC X+0 Y+0", "LP PR+10 PA+90", "LP IPA+90 IPR+5"});
  EXPECT_NEAR(Move(*w).End[0], -15.0, 1e-12);
  EXPECT_NEAR(Move(*w).End[1], 0.0, 1e-12);
  EXPECT_EQ(w->Modal().Interp.CentreGiven, 0);
  // A polar circle about the pole: a quarter counter-clockwise.
  Interpret(*w, {"CP IPA+90 DR+"});
  EXPECT_NEAR(Move(*w).End[1], -15.0, 1e-12);
  EXPECT_NEAR(Move(*w).ArcAngle, std::numbers::pi / 2, 1e-12);
  // A new pole while the circle is modal sweeps nothing.
  Interpret(*w, {"CC X+5 Y+5"});
  EXPECT_EQ(Move(*w).Length, 0.0);
  EXPECT_EQ(Move(*w).ArcAngle, 0.0);
}

TEST(BlockInterpreter, DwellWords) {
  auto w = Ready();
  Interpret(*w, {"G04 P1500"});
  EXPECT_EQ(w->Modal().Interp.DwellFlag, 1);
  EXPECT_DOUBLE_EQ(w->Modal().Interp.DwellTime, 1.5);
  // X is the dwell in the common dialect, not a move.
  Interpret(*w, {"G04 X2."});
  EXPECT_DOUBLE_EQ(w->Modal().Interp.DwellTime, 2.0);
  EXPECT_EQ(Move(*w).End, (AxisPosition{0, 0, 0, 0, 0}));
  Interpret(*w, {"X1."});
  EXPECT_EQ(w->Modal().Interp.DwellFlag, 0);
  auto osp = Ready(Dialect::kOsp);
  Interpret(*osp, {"G04 F500"});
  EXPECT_DOUBLE_EQ(osp->Modal().Interp.DwellTime, 0.5);
}

TEST(BlockInterpreter, SiemensOrientationWords) {
  auto w = Ready(Dialect::kSiemens);
  Interpret(*w, {"ORIRPY2", "G01 A3=0 B3=-1 C3=0 A4=5 X1."});
  const InterpreterState& in = w->Modal().Interp;
  EXPECT_EQ(in.OrientationConvention, kOrientRpy2);
  EXPECT_EQ(w->Modal().ToolAxisMode, kToolAxisVector);
  EXPECT_EQ(in.OrientationForm, 2);
  EXPECT_EQ(in.OrientationValues, (Vec3{0.0, -1.0, 0.0}));
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 1.0);
  Interpret(*w, {"A2=30"});
  EXPECT_EQ(in.OrientationForm, 1);
  EXPECT_EQ(in.OrientationValues, (Vec3{30.0, 0.0, 0.0}));
}

// G68.2 takes its I, J, K as Euler angles Z-X-Z whatever form G254 (or
// CYCLE800) left: J30 alone turns about X.
TEST(BlockInterpreter, G68Point2SetsItsOwnForm) {
  for (const bool after254 : {false, true}) {
    auto w = Ready();
    if (after254) Interpret(*w, {"G254", "G255"});
    Interpret(*w, {"G68.2 X0 Y0 Z0 I0. J30. K0."});
    const TiltedPlaneState& plane = w->Modal().TiltedPlane;
    EXPECT_EQ(plane.Form, kTiltedEuler) << after254;
    EXPECT_EQ(plane.Active, 1) << after254;
    const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
    // Columns: X stays, Y to (0, c, s), Z to (0, -s, c).
    const Matrix3 want{1, 0, 0, 0, c, s, 0, -s, c};
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(plane.Frame.Matrix[i], want[i], 1e-12) << i;
  }
}

// PLANE RESET ends the plane: X10 is X10 on the machine again.
TEST(BlockInterpreter, PlaneResetEndsTheTiltedPlane) {
  const auto machineX10 = [](bool reset) {
    auto w = Ready(Dialect::kHeidenhain);
    Interpret(*w, {"PLANE SPATIAL SPA+0 SPB+45 SPC+0 STAY"});
    EXPECT_EQ(w->Modal().TiltedPlane.Active, 1);
    if (reset) Interpret(*w, {"PLANE RESET STAY"});
    Interpret(*w, {"L X+10 FMAX"});
    w->Position.ProgramPosition = Move(*w).End;
    UpdateMachinePosition(w->Context, w->Records, WorkpiecePlacement{});
    if (reset) {
      EXPECT_EQ(w->Modal().TiltedPlane.State, 0);
      EXPECT_EQ(w->Modal().TiltedPlane.Active, 0);
    }
    const AxisPosition& m = w->Position.MachinePosition;
    return Vec3{m[0], m[1], m[2]};
  };
  const Vec3 tilted = machineX10(false);
  EXPECT_GT(std::fabs(tilted[2]), 1.0);  // the plane in force turns it
  const Vec3 plain = machineX10(true);
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(plain[i], i == 0 ? 10.0 : 0.0, 1e-12) << i;
}

// OSP G16: the block's axis words in the offset in force (here G15 H3),
// then entry 0 in force with the tool where those words put it.
TEST(BlockInterpreter, OspG16TakesEntryZeroWithTheMachineKept) {
  auto w = Ready(Dialect::kOsp);
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.WorkOffsets[0] = {1, 0, 0, 0, 0};
  offsets.WorkOffsets[3] = {100, 0, 0, 0, 0};
  Interpret(*w, {"G15 H3", "G00 X10."});
  EXPECT_EQ(offsets.SelectedWorkOffset, 3);
  Interpret(*w, {"G16 X5."});
  EXPECT_EQ(offsets.SelectedWorkOffset, 0);
  EXPECT_DOUBLE_EQ(offsets.ActiveWorkOffset[0], 1.0);
  // Machine X 106 (5 in the frame of 101) is X 105 in the frame of 1.
  EXPECT_DOUBLE_EQ(Move(*w).End[0], 105.0);
  EXPECT_DOUBLE_EQ(Move(*w).Start[0], 110.0);  // machine 111, unmoved
  EXPECT_DOUBLE_EQ(w->Modal().ProgramPosition[0], 105.0);
}

// OSP CALL OO88 with W: the work offset of the W code (56 is entry 3) is the
// offset in force plus the block's end, turned by rotaries at 0 here.
TEST(BlockInterpreter, OspOo88WritesItsWTarget) {
  auto w = Ready(Dialect::kOsp);
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.WorkOffsets[1] = {10, 0, 0, 0, 0};
  Interpret(*w, {"G15 H1", "G00 X0 Y0", "W56 CALL OO88 PH=1 PP=2 PX=5."});
  EXPECT_EQ(offsets.WorkOffsets[2], (WorkOffsetValues{15, 0, 0, 0, 0}));
  EXPECT_EQ(offsets.SelectedWorkOffset, 2);
  // The tool stays at machine X 10: X -5 under entry 2.
  EXPECT_EQ(Move(*w).End, (AxisPosition{-5, 0, 0, 0, 0}));
  EXPECT_EQ(Move(*w).Start, Move(*w).End);
  EXPECT_EQ(offsets.WorkOffsets[3], (WorkOffsetValues{10, 0, 0, 0, 0}));
  // A W code that names no entry writes nothing and says so.
  const std::vector<WorkOffsetValues> before = offsets.WorkOffsets;
  Interpret(*w, {"W99 CALL OO88 PH=2 PP=2"});
  EXPECT_EQ(offsets.WorkOffsets, before);
  EXPECT_FALSE(w->Host.Texts(RecordingHost::Call::kLog).empty());
}

TEST(BlockInterpreter, ToolTipControlNeedsRotaryAxes) {
  auto plain = Ready();
  Interpret(*plain, {"G43.4 H1"});
  EXPECT_EQ(plain->Modal().ToolAxisMode, kToolAxisOff);
  EXPECT_EQ(plain->Modal().Length.LengthCompensationActive, 1);  // as G43
  EXPECT_FALSE(plain->Host.Texts(RecordingHost::Call::kLog).empty());
  auto head = Ready();
  head->Defs.Kinematics.RotaryType = kRotaryHead;
  Interpret(*head, {"G43.4 H1"});
  EXPECT_EQ(head->Modal().ToolAxisMode, kToolAxisAngles);
  Interpret(*head, {"G43.5"});
  EXPECT_EQ(head->Modal().ToolAxisMode, kToolAxisVector);
}

// OSP G53 cancels the length offset alone; G170 ends the tool-centre mode.
TEST(BlockInterpreter, OspG53CancelsTheLengthOnly) {
  auto w = Ready(Dialect::kOsp);
  w->Memory.Offsets.HGeometry[2] = 100.0f;
  Interpret(*w, {"G169", "G56 H2"});
  const int32_t mode = w->Modal().ToolAxisMode;
  ASSERT_NE(mode, kToolAxisOff);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, 100.0);
  Interpret(*w, {"G53"});
  EXPECT_EQ(w->Modal().Length.LengthCompensationActive, 0);
  EXPECT_DOUBLE_EQ(w->Modal().Length.PreviousToolLength, 0.0);
  EXPECT_EQ(w->Modal().ToolAxisMode, mode);
  Interpret(*w, {"G170"});
  EXPECT_EQ(w->Modal().ToolAxisMode, kToolAxisOff);
}

// A HEIDENHAIN line with M91 or M92 moves in machine coordinates and keeps
// which of the two it was.
TEST(BlockInterpreter, HeidenhainMachineCoordinateLines) {
  auto w = Ready(Dialect::kHeidenhain);
  w->Memory.Offsets.WorkOffsets[1] = {0, 0, 30, 0, 0};
  ResetNcModalState(w->Context, w->Records);
  struct Case {
    std::string_view Line;
    int32_t Kind;
    double Z;
  };
  for (const Case& c : {Case{"L Z+100 FMAX M91", 91, 70.0}, Case{"L Z+100 FMAX M92", 92, 70.0},
                        Case{"L Z+100 FMAX M3", 0, 100.0}}) {
    Interpret(*w, {c.Line});
    EXPECT_EQ(w->Modal().MachineCoordinates, c.Kind) << c.Line;
    EXPECT_DOUBLE_EQ(Move(*w).End[2], c.Z) << c.Line;
  }
}

// OSP: a rotation started in the G11 plane-rotation mode turns in the plane
// G11 saw, whatever plane came after it.
TEST(BlockInterpreter, OspG11KeepsItsPlaneForTheRotation) {
  for (const bool g11 : {true, false}) {
    auto w = Ready(Dialect::kOsp);
    Interpret(*w, {g11 ? "G17 G11" : "G17", "G18", "G69 X0 Y0 Z0"});
    const RotationSlot& slot = w->Modal().Rotation.Slots[0];
    EXPECT_EQ(slot.Axes,
              g11 ? (std::array<int32_t, 3>{0, 1, 2}) : (std::array<int32_t, 3>{2, 0, 1}))
        << g11;
  }
}

// OSP G137 C: the C angle polar interpolation turns from, not a C move.
TEST(BlockInterpreter, OspG137CIsThePolarAngle) {
  auto w = Ready(Dialect::kOsp, "ROTARY2 CHAR=C\n");
  Interpret(*w, {"G137 C30.", "G01 X10. Y0 F100."});
  EXPECT_EQ(w->Modal().Polar.On, 1);
  EXPECT_DOUBLE_EQ(w->Modal().Polar.AngleOffset, 30.0);
  EXPECT_DOUBLE_EQ(Move(*w).End[4], 0.0);
  w->Position.ProgramPosition = Move(*w).End;
  UpdateMachinePosition(w->Context, w->Records, WorkpiecePlacement{});
  EXPECT_DOUBLE_EQ(w->Position.MachinePosition[0], 10.0);
  EXPECT_DOUBLE_EQ(w->Position.MachinePosition[4], 30.0);
}

// MAZAK AB= and AC= give the B and C positions as written (no angle unit);
// AT= is read without moving anything.
TEST(BlockInterpreter, MazakRotaryForms) {
  auto w = Ready(Dialect::kMazak, "ROTARY1 CHAR=B\nROTARY2 CHAR=C\n");
  Interpret(*w, {"G00 AB=30 AC=45.5"});
  EXPECT_DOUBLE_EQ(Move(*w).End[3], 30.0);
  EXPECT_DOUBLE_EQ(Move(*w).End[4], 45.5);
  Interpret(*w, {"G00 AT=1 X1."});
  EXPECT_EQ(Move(*w).End, (AxisPosition{1, 0, 0, 30, 45.5}));
  Interpret(*w, {"G00 B30"});  // the plain word keeps its unit
  EXPECT_DOUBLE_EQ(Move(*w).End[3], 0.03);
}

// A HEIDENHAIN cycle call feeds at Q206; without it at the feed in force.
TEST(BlockInterpreter, HeidenhainCycleCallFeed) {
  auto w = Ready(Dialect::kHeidenhain);
  Interpret(*w, {"L Z+10 F500", "CYCL DEF 200 DRILLING", "CYCL CALL"});
  EXPECT_EQ(w->Modal().CannedCycle, 200);
  EXPECT_EQ(w->Modal().Interp.CycleStarted, 1);
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 500.0);
  Interpret(*w, {"Q206=150 ;FEED", "L X+5 FMAX M99"});
  EXPECT_EQ(w->Modal().CannedCycle, 200);
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 150.0);
  Interpret(*w, {"L X+9 FMAX"});
  EXPECT_EQ(w->Modal().CannedCycle, kNoCannedCycle);
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 500.0);  // the lines' own feed again
}

// A cycle block repeated 0 times (K0 or L0) keeps its words but leaves the
// tool and the programmed position where they were, in G91 too; a motion
// code then ends the cycle.
TEST(BlockInterpreter, CycleRepeatedZeroTimesMovesNothing) {
  for (const char* block :
       {"G91 G81 X10. Y4. Z-7. R-3. F100. K0", "G91 G81 X10. Y4. Z-7. R-3. L0"}) {
    auto w = Ready();
    Interpret(*w, {"G90 G00 X1. Y2. Z5.", block});
    EXPECT_EQ(Move(*w).End, Move(*w).Start) << block;
    EXPECT_EQ(w->Modal().ProgramPosition, (AxisPosition{1, 2, 5, 0, 0})) << block;
    EXPECT_EQ(w->Modal().MoveExists, 0) << block;
    EXPECT_EQ(w->Modal().CannedCycle, 81) << block;
    EXPECT_DOUBLE_EQ(w->Modal().Interp.CycleDepth, -7.0) << block;  // the word, in G91
    EXPECT_DOUBLE_EQ(w->Modal().Interp.CycleRPoint, -3.0) << block;
    Interpret(*w, {"G00 X5."});
    EXPECT_EQ(w->Modal().CannedCycle, kNoCannedCycle) << block;
    EXPECT_DOUBLE_EQ(Move(*w).End[0], 6.0) << block;
  }
}

TEST(BlockInterpreter, ReadPluginRecords) {
  auto w = Ready();
  w->Records.ActiveReadPlugin = 0;
  std::vector<PluginPathRecord> records(3);
  records[0].Type = 1005;
  // Each record brings its plane and its feed.
  records[1].Type = kMotionLinear;
  records[1].Kind = 18;
  records[1].Feed = 250.0;
  records[1].End = {10, 0, 0, 0, 0};
  records[2].Type = kMotionCounterClockwise;
  records[2].Kind = 17;
  records[2].Feed = 80.0;
  records[2].End = {0, 10, 0, 0, 0};
  records[2].Centre = {0, 0, 0};
  size_t next = 0;
  BlockInterpreterHooks hooks;
  hooks.NextPluginRecord = [&](NcContext&, PluginPathRecord& record) {
    if (next >= records.size()) return false;
    record = records[next++];
    return true;
  };
  w->Records.BlockHooks = &hooks;
  Interpret(*w, {"X99."});
  EXPECT_EQ(w->Modal().Tools.NextToolNumber, 5);
  EXPECT_EQ(Move(*w).End, (AxisPosition{0, 0, 0, 0, 0}));
  Interpret(*w, {""});
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 250.0);
  EXPECT_EQ(w->Modal().Plane.PlaneCode, 18);
  EXPECT_EQ(w->Modal().Plane.PlaneAxes, (std::array<int32_t, 3>{2, 0, 1}));
  Interpret(*w, {""});
  EXPECT_DOUBLE_EQ(Move(*w).Feed, 80.0);
  EXPECT_EQ(w->Modal().Plane.PlaneCode, 17);
  EXPECT_EQ(Move(*w).Start, (AxisPosition{10, 0, 0, 0, 0}));
  EXPECT_NEAR(Move(*w).ArcAngle, kPi / 2, 1e-12);
  EXPECT_NEAR(Move(*w).Length, 5 * kPi, 1e-12);
}

}  // namespace
}  // namespace vestan::testing

namespace vestan::testing {
namespace {

// Snapshots armed from a comment are named after the program being run,
// whichever dialect carries the comment.
TEST(BlockInterpreter, CommentCommandsNameSnapshotsAfterTheProgram) {
  for (const Dialect dialect : {Dialect::kDefault, Dialect::kHeidenhain}) {
    auto world = Ready(dialect);
    world->Defs.Paths.NcProgram = "/jobs/part7/op1.nc";
    Interpret(*world, {dialect == Dialect::kHeidenhain ? ";VESTAN:SAVE WORK AT EACH PROCESS"
                                                        : "(VESTAN:SAVE DME AT EACH PROCESS)"});
    EXPECT_EQ(world->Context.Snapshots.SaveEachProcess, 1);
    EXPECT_EQ(world->Context.Snapshots.BaseName, "/jobs/part7/op1");
  }
}

}  // namespace
}  // namespace vestan::testing
