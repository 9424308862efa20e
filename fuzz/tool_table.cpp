// Tool tables (.TTL), read as the session reads them (the real tool change
// makes each tool current), so that the tool set-up and profile see every
// value a table can hold. The outline, holder and mesh files that the seeds name
// stand in the scratch folder beside the table.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "definitions/tool_table_file.h"
#include "fuzz_support.h"
#include "model/tool_records.h"
#include "support/current_folder.h"

using namespace vestan;

namespace {

// A ball end of radius 5 on a shank, the axis at x = 25.1.
constexpr std::string_view kOutline =
    "  0\nARC\n 10\n25.1\n 20\n5\n 40\n5\n 50\n270\n 51\n0\n"
    "  0\nLINE\n 10\n30.1\n 20\n5\n 11\n30.1\n 21\n20\n"
    "  0\nLINE\n  6\nDASHED\n 10\n30.1\n 20\n20\n 11\n30.1\n 21\n40\n"
    "  0\nLINE\n 10\n30.1\n 20\n40\n 11\n25.1\n 21\n40\n"
    "  0\nLINE\n 10\n25.1\n 20\n40\n 11\n25.1\n 21\n0\n  0\nEOF\n";
constexpr std::string_view kHolder = "ARBOR 40,30,60,20\n";
constexpr std::string_view kMesh =
    "solid t\n"
    "facet normal 0 0 -1\nouter loop\nvertex 0 0 0\nvertex 4 0 0\nvertex 0 4 0\nendloop\nendfacet\n"
    "facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 0 4 0\nvertex 0 0 9\nendloop\nendfacet\n"
    "endsolid t\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteScratchFile("ball.dxf", kOutline);
  fuzz::WriteScratchFile("holder.atl", kHolder);
  fuzz::WriteScratchFile("tool.stl", kMesh);
  // Options from the last bytes, the table from the rest.
  FuzzedDataProvider provider(data, size);
  testing::ToolRecords world(30);
  Settings& settings = world.S.Defs.Settings;
  settings.ToolBasePoint = provider.ConsumeIntegralInRange<int32_t>(kBaseBottom, kBaseArborTop);
  world.S.App.EnglishMode = provider.ConsumeBool() ? 1 : 0;
  world.S.CommandLine.initialTool = provider.ConsumeIntegralInRange<int32_t>(-1, 40);
  const double pitches[] = {0.0, 0.1, 0.5, 2.0};
  settings.Pitch.WorkPitch = pitches[provider.ConsumeIntegralInRange<int>(0, 3)];
  const std::string table =
      fuzz::WriteScratchFile("tools.ttl", provider.ConsumeRemainingBytesAsString());

  // Names in the table resolve in the process folder, as in the program's own.
  const testing::CurrentFolder inScratch(fuzz::ProcessFolder().Path());
  const DefinitionReadResult result = world.ReadTable(table);
  FUZZ_CHECK(result.State == kFileRead);
  FUZZ_CHECK(world.Table.Entries() == 31);
  // Every tool once more, as the tool list does.
  for (int32_t tool = 0; tool <= world.Table.MaxMagazineNumber; ++tool)
    world.Change(tool, settings.Pitch.WorkPitch);
  return 0;
}
