// Controller definitions (.CTL) with their tables and the offset memory,
// read into fresh records. The wait files the reader deletes can only name
// files of the scratch folder, which is current and holds no folders.
#include "definitions/controller_definition.h"

#include "definitions/definition_test_support.h"
#include "fuzz_support.h"
#include "support/current_folder.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("vestan.ctl", fuzz::AsText(data, size));
  const vestan::testing::CurrentFolder inScratch(fuzz::ProcessFolder().Path());
  vestan::testing::ControllerHarness harness;
  FUZZ_CHECK(harness.Read(path).State == kFileRead);
  return 0;
}
