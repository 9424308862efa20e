// The settings file "vestan.ini" read at start-up, into fresh records.
#include "definitions/settings_world.h"
#include "fuzz_support.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::SettingsWorld world;
  world.Read(fuzz::AsText(data, size));
  FUZZ_CHECK(world.paths.SettingsFile == world.Current() + "vestan.ini");
  return 0;
}
