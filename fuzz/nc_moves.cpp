// NC programs through the motion driver and the block end, as a run takes
// them, with a controller and a machine definition of their own. The first
// byte picks the dialect, the rapid-path kind, the radius offset check and
// cancel mode, a mirror image with the rotary warning report of a cutting
// run, and the last byte the tool-length-vector switch; then come the
// controller definition's lines and the machine definition (each a
// FuzzedDataProvider string, added to the chosen lines or read alone; empty
// for none) and the program. Every move is taken, its block end completed
// and its end turned into machine coordinates, until the program ends or
// alarms: the point queue and the rapid
// sub-moves stay within their bounds, and while no number of the three texts
// has more than 12 digits or an exponent, the positions stay finite.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <memory>
#include <string>
#include <string_view>

#include "definitions/machine_definition_file.h"
#include "fuzz_support.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_modal_operations.h"
#include "nc/position_update.h"
#include "nc_fuzz_world.h"
#include "simulation/session.h"

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

bool ReadController(World& world, uint8_t choice, std::string_view own) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += fuzz::kNcProducts[choice % fuzz::kNcProducts.size()];
  static constexpr std::string_view kRapid[] = {"", "G00MODE=ASYNC1\n", "G00MODE=ASYNC2\n",
                                                "G00MODE=NONE\n"};
  text += kRapid[(choice >> 3) & 0x03];
  if ((choice & 0x20) != 0) text += "CHECK RADIUS OFFSET=LIST\n";
  if ((choice & 0x40) != 0) text += "ONLY G40=RESET\n";
  text += own;
  return fuzz::ReadNcController(world, "nc_moves.ctl", text);
}

void ReadMachine(World& world, std::string_view text) {
  world.Defs.Paths.Machine = fuzz::WriteScratchFile("nc_moves.mtl", text);
  FUZZ_CHECK(ReadMachineDefinition(world.Defs.Paths.Machine, 1, MachineReadOf(world.S), world.Host)
                 .State == kFileRead);
}

// No number has more than 12 digits or an exponent: every value stays far
// from what a double holds, however the blocks combine them.
bool ShortNumbers(std::string_view text) {
  int digits = 0;
  bool afterNumber = false;
  for (const char c : text) {
    if ((c == 'e' || c == 'E') && afterNumber) return false;
    const bool digit = c >= '0' && c <= '9';
    digits = digit ? digits + 1 : (c == '.' ? digits : 0);
    afterNumber = digit || (c == '.' && afterNumber);
    if (digits > 12) return false;
  }
  return true;
}

template <typename Values>
bool AllFinite(const Values& values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  FuzzedDataProvider provider(data + 1, size - 1);
  // The controller's tool-length-vector switch, from the input's last byte.
  const bool lengthVector = provider.ConsumeBool();
  const std::string controller = provider.ConsumeRandomLengthString(size);
  const std::string machineText = provider.ConsumeRandomLengthString(size);
  const std::string program = provider.ConsumeRemainingBytesAsString();
  const bool finiteInputs =
      ShortNumbers(controller) && ShortNumbers(machineText) && ShortNumbers(program);

  auto world = std::make_unique<World>();
  FUZZ_CHECK(ReadController(*world, choice, controller));
  MachineDefinition& machine = world->Defs.Machine;
  machine.RapidRate = {6000.0f, 12000.0f, 3000.0f};
  machine.RapidAcceleration = {0.1f, 0.2f, 0.05f};
  if (!machineText.empty()) ReadMachine(*world, machineText);
  OffsetMemory& offsets = world->Memory.Offsets;
  offsets.DGeometry[1] = 5.0f;
  offsets.DGeometry[2] = 0.01f;
  offsets.DGeometry[3] = -6.0f;
  offsets.HGeometry[1] = 100.0f;
  world->Defs.Settings.Pitch.MovePitch = 5.0;
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
  if ((choice & 0x80) != 0) {
    MirrorImageState& mirror = context.BlockEnd.Mirror;
    mirror.On = 1;
    mirror.Mirrored = {1, 0, 0};
    mirror.Centre = {2.5, 0, 0};
    // The long rotary movements of a cutting run into the warning report
    // beside the program.
    context.BlockEnd.WarningOption = 1;
    world->Control.CuttingMode.store(kCuttingReal);
  }
  context.Modal.Length.BAxisLength = lengthVector ? 1 : 0;
  NcModalState& modal = context.Modal;
  for (int moves = 0; moves < kMaxMoves; ++moves) {
    NextNcMove(context, world->Records, world->Reader, driver);
    if (modal.AlarmCode != kAlarmNone) break;
    FinishMove(context, world->Records);
    // Into machine coordinates, as the run does with every move: the rotary
    // solutions, the tilted plane and the tool-length vector.
    UpdateMachinePosition(context, world->Records, WorkpiecePlacement{});
    FUZZ_CHECK(driver.Points.size() <= kMaxCyclePointCapacity + 16);
    FUZZ_CHECK(driver.Rapid.Count >= 0 && driver.Rapid.Count <= 1000000);
    FUZZ_CHECK(context.Subprograms.Depth >= 0 && context.Subprograms.Depth <= kMaxSubprogramLevels);
    if (finiteInputs) {
      const MachinePositionState& p = context.Position;
      FUZZ_CHECK(AllFinite(context.Move.Start) && AllFinite(context.Move.End));
      FUZZ_CHECK(AllFinite(p.ProgramPosition) && AllFinite(p.MachinePosition) &&
                 AllFinite(p.ToolTip) && AllFinite(p.ToolAxis));
    }
    if (modal.EndState == kEndHandled) break;
  }
  context.BlockEnd.WarningStream.reset();
  return 0;
}
