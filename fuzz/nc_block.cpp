// NC blocks through the interpreter in every dialect: the first byte picks
// the dialect and a few controller options, the rest is split into lines,
// interpreted one after another from a pass reset.
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "nc_fuzz_world.h"

using namespace vestan;

namespace {

bool ReadController(fuzz::NcWorld& world, uint8_t choice) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += fuzz::kNcProducts[choice % fuzz::kNcProducts.size()];
  if ((choice & 0x08) != 0) text += "DECIMAL POINT=NORMAL\n";
  if ((choice & 0x10) != 0) text += "TOOL OFFSET MEMORY=C\n";
  if ((choice & 0x20) != 0) text += "R-TOLERANCE=0.01\n";
  if ((choice & 0x40) != 0) text += "G92MODE=YES\n";
  return fuzz::ReadNcController(world, "nc_block.ctl", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto world = std::make_unique<fuzz::NcWorld>();
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
