// Machine definitions (.MTL) read into fresh records, with the part meshes
// they name left unloaded.
#include "definitions/definition_test_support.h"
#include "definitions/machine_definition_file.h"
#include "fuzz_support.h"
#include "support/current_folder.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("vestan.mtl", fuzz::AsText(data, size));
  const vestan::testing::CurrentFolder inScratch(fuzz::ProcessFolder().Path());
  vestan::testing::MachineHarness harness;
  FUZZ_CHECK(harness.Read(path).State == kFileRead);
  return 0;
}
