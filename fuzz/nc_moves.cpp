// NC programs through the motion driver and the block end, as a run takes
// them: the first byte picks the dialect, the rapid-path kind, the radius
// offset check and cancel mode, and whether a mirror image is on; the rest is
// the program. Every move is taken, and its block end completed, until the
// program ends or alarms: the driver's queues stay within their bounds.
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_modal_operations.h"
#include "nc_fuzz_world.h"

using namespace vestan;

namespace {

// Moves taken at most: a program may repeat itself through its calls and a
// rapid may split into many sub-moves, never without end, but slowly.
constexpr int kMaxMoves = 20000;

struct World : fuzz::NcWorld {
  LoadedNcProgram Program;
  NcReader Reader{Program};
  BlockInterpreterHooks Hooks;
  MotionDriver Driver;
};

bool ReadController(World& world, uint8_t choice) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += fuzz::kNcProducts[choice % fuzz::kNcProducts.size()];
  static constexpr std::string_view kRapid[] = {"", "G00MODE=ASYNC1\n", "G00MODE=ASYNC2\n",
                                                "G00MODE=NONE\n"};
  text += kRapid[(choice >> 3) & 0x03];
  if ((choice & 0x20) != 0) text += "CHECK RADIUS OFFSET=LIST\n";
  if ((choice & 0x40) != 0) text += "ONLY G40=RESET\n";
  return fuzz::ReadNcController(world, "nc_moves.ctl", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto world = std::make_unique<World>();
  FUZZ_CHECK(ReadController(*world, data[0]));
  OffsetMemory& offsets = world->Memory.Offsets;
  offsets.DGeometry[1] = 5.0f;
  offsets.DGeometry[2] = 0.01f;
  offsets.DGeometry[3] = -6.0f;
  MachineDefinition& machine = world->Defs.Machine;
  machine.RapidRate = {6000.0f, 12000.0f, 3000.0f};
  machine.RapidAcceleration = {0.1f, 0.2f, 0.05f};
  world->Defs.Settings.Pitch.MovePitch = 5.0;
  const std::string_view program = fuzz::AsText(data + 1, size - 1);
  world->Defs.Paths.NcProgram = fuzz::WriteScratchFile("MAIN.NC", program);
  fuzz::WriteScratchFile("SUB.NC", program);
  world->Hooks = MakeNcReaderHooks(world->Reader);
  world->Records.BlockHooks = &world->Hooks;
  NcContext& context = world->Context;
  ResetNcModalState(context, world->Records);
  FUZZ_CHECK(LoadNcProgramText(context, world->Records, world->Reader) == kNcProgramReady);
  FUZZ_CHECK(OpenNcProgram(world->Records, world->Reader) == kNcProgramReady);
  MotionDriver& driver = world->Driver;
  ResetMotionDriver(driver);
  driver.RadiusOffsetInterference = [](const NcContext&, double) {};
  if ((data[0] & 0x80) != 0) {
    MirrorImageState& mirror = context.BlockEnd.Mirror;
    mirror.On = 1;
    mirror.Mirrored = {1, 0, 0};
    mirror.Centre = {2.5, 0, 0};
  }
  NcModalState& modal = context.Modal;
  for (int moves = 0; moves < kMaxMoves; ++moves) {
    NextNcMove(context, world->Records, world->Reader, driver);
    if (modal.AlarmCode != kAlarmNone) break;
    FinishMove(context, world->Records);
    FUZZ_CHECK(driver.Points.size() <= kMaxCyclePointCapacity + 16);
    FUZZ_CHECK(driver.Rapid.Count >= 0 && driver.Rapid.Count <= 1000000);
    FUZZ_CHECK(context.Subprograms.Depth >= 0 && context.Subprograms.Depth <= kMaxSubprogramLevels);
    if (modal.EndState == kEndHandled) break;
  }
  return 0;
}
