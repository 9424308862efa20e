// NC programs through the line reader: the first byte picks the dialect,
// the REPLACE type and a few table entries, the character check, block skip,
// programs held in memory and the stop option; the rest is the program,
// written also as the subprogram files "SUB.NC" and "O0012" so that calls
// nest to the deepest level. Every line is read, tested as a stop block and
// interpreted until the program ends.
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "nc/block_interpreter.h"
#include "nc/line_reader.h"
#include "nc/nc_modal_operations.h"
#include "nc_fuzz_world.h"

using namespace vestan;

namespace {

// Reads and interprets at most this many lines: programs may repeat
// themselves through their calls, never without end, but slowly.
constexpr int kMaxReads = 20000;

struct World : fuzz::NcWorld {
  LoadedNcProgram Program;
  NcReader Reader{Program};
  BlockInterpreterHooks Hooks;
};

bool ReadController(World& world, uint8_t choice) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += fuzz::kNcProducts[choice % fuzz::kNcProducts.size()];
  if (!fuzz::ReadNcController(world, "nc_lines.ctl", text)) return false;
  ControllerDefinition& controller = world.Defs.Controller;
  ControllerTables& tables = controller.Tables;
  if ((choice & 0x08) != 0) {
    controller.ReplaceType = 2;
    tables.Replace = {{"G", "G0"}, {"X", ""}, {"(", "(("}};
  } else {
    tables.Replace = {{"M", "MM"}, {"/", "/2"}};
  }
  controller.CodeCheck = (choice & 0x10) != 0 ? 1 : 0;
  if ((choice & 0x10) != 0) tables.CheckChar = "GMXYZNOP<>. ()";
  tables.SkipLevels[2] = (choice & 0x20) != 0 ? 1 : 0;
  tables.AnySkipLevel = tables.SkipLevels[2];
  tables.MemoryRun = (choice & 0x40) != 0 ? 1 : 0;
  controller.StopOption = (choice & 0x80) != 0 ? 2 : 4;
  tables.StopStrings = {"M0"};
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto world = std::make_unique<World>();
  FUZZ_CHECK(ReadController(*world, data[0]));
  const std::string_view program = fuzz::AsText(data + 1, size - 1);
  world->Defs.Paths.NcProgram = fuzz::WriteScratchFile("MAIN.NC", program);
  fuzz::WriteScratchFile("SUB.NC", program);
  fuzz::WriteScratchFile("O0012", program);
  world->Hooks = MakeNcReaderHooks(world->Reader);
  world->Records.BlockHooks = &world->Hooks;
  ResetNcModalState(world->Context, world->Records);
  FUZZ_CHECK(LoadNcProgramText(world->Context, world->Records, world->Reader) == kNcProgramReady);
  FUZZ_CHECK(OpenNcProgram(world->Records, world->Reader) == kNcProgramReady);
  NcModalState& modal = world->Context.Modal;
  for (int reads = 0; reads < kMaxReads; ++reads) {
    if (ReadNcLine(world->Context, world->Records, world->Reader) == 1) {
      const std::string& line = world->Context.Line.Text;
      FUZZ_CHECK(!line.empty() && line.size() <= kNcLineCapacity && line.back() == '\n');
      IsStopBlock(line, world->Context, world->Records, world->Reader);
      InterpretNcBlock(world->Context, world->Records);
    } else if (modal.EndState != kEndRunning) {
      break;
    }
    FUZZ_CHECK(world->Context.Subprograms.Depth >= 0 &&
               world->Context.Subprograms.Depth <= kMaxSubprogramLevels);
    // An alarm ends a run; reading on shows that the reader stays sound after it.
    modal.AlarmCode = kAlarmNone;
  }
  return 0;
}
