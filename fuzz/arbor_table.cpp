// Arbor tables: the file reader, and the step notation of each form on every
// line of the input.
#include "definitions/arbor_table.h"

#include <string>

#include "foundation/text_fields.h"
#include "fuzz_support.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const std::string tables = fuzz::WriteScratchFile("tools.ttl", "");
  fuzz::WriteScratchFile("holder.atl", text);
  const auto checkSteps = [](const ArborRecord& arbor) {
    FUZZ_CHECK(arbor.StepCount >= 0 && arbor.StepCount <= kMaxArborSteps);
  };

  // A name without a folder is taken from the tool table's folder.
  std::string name = "holder.atl";
  ArborRecord arbor;
  WatchedFile watch;
  FUZZ_CHECK(ReadArborTable(name, tables, arbor, &watch) == kFileRead);
  FUZZ_CHECK(watch.State == kFileRead);
  checkSteps(arbor);

  for (const std::string& line : SplitLines(text)) {
    for (const ArborForm form : {kArborPairs, kArborPairs2, kArborTriples}) {
      ArborRecord steps;
      int32_t cursor = 0;
      ReadArborSteps(form, cursor, line, steps);
      checkSteps(steps);
    }
  }
  return 0;
}
