// NC blocks through the interpreter in every dialect: the first byte picks
// the dialect and a few controller options, the rest is split into lines,
// interpreted one after another from a pass reset.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "definitions/controller_definition.h"
#include "definitions/definitions.h"
#include "fuzz_support.h"
#include "nc/block_interpreter.h"
#include "nc/nc_context.h"
#include "nc/nc_modal_operations.h"
#include "platform/recording_host.h"

using namespace vestan;

namespace {

constexpr std::array<std::string_view, 5> kProducts = {"", "PRODUCT=OSP\n", "PRODUCT=MAZAK\n",
                                                       "PRODUCT=SIEMENS\n", "PRODUCT=HEIDENHAIN\n"};

struct World {
  Definitions Defs;
  WorkOffsetFrame Frame;
  DisplayListTable Display;
  CurrentTool Tool;
  ToolProfile Profile;
  RunControl Control;
  RecordingHost Host;
  RunState Run;
  NcContext Context{Run};
  NcPassRecords Records{Defs, Frame, Display, Tool, Profile, Control, Host};
};

bool ReadController(World& world, uint8_t choice) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += kProducts[choice % kProducts.size()];
  if ((choice & 0x08) != 0) text += "DECIMAL POINT=NORMAL\n";
  if ((choice & 0x10) != 0) text += "TOOL OFFSET MEMORY=C\n";
  if ((choice & 0x20) != 0) text += "R-TOLERANCE=0.01\n";
  if ((choice & 0x40) != 0) text += "G92MODE=YES\n";
  const std::string path = fuzz::WriteScratchFile("nc_block.ctl", text);
  NcPlaneState plane;
  SubprogramStack subprograms;
  StatusAxisLabels labels;
  const DefinitionReadResult result = ReadControllerDefinition(
      path, {world.Defs.Controller, world.Defs.Offsets, world.Defs.ControllerFile, plane,
             subprograms, labels, world.Display});
  return result.State == kFileRead;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto world = std::make_unique<World>();
  FUZZ_CHECK(ReadController(*world, data[0]));
  ResetNcModalState(world->Context, world->Records);
  std::string_view rest = fuzz::AsText(data + 1, size - 1);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    std::string block(line);
    block += '\n';
    if (!world->Context.Line.Assign(block)) continue;
    InterpretNcBlock(world->Context, world->Records);
  }
  return 0;
}
