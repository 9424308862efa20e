// What the NC fuzz targets share: the tests' pass world and a controller
// definition read from text the way a file gives it.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "definitions/controller_definition.h"
#include "definitions/definitions.h"
#include "fuzz_support.h"
#include "nc/nc_pass_world.h"
#include "simulation/session_files.h"

namespace vestan::fuzz {

inline constexpr std::array<std::string_view, 5> kNcProducts = {
    "", "PRODUCT=OSP\n", "PRODUCT=MAZAK\n", "PRODUCT=SIEMENS\n", "PRODUCT=HEIDENHAIN\n"};

using testing::NcWorld;

// Reads the controller definition text (written as fileName) into the world.
inline bool ReadNcController(NcWorld& world, std::string_view fileName, std::string_view text) {
  world.Defs.Paths.Controller = WriteScratchFile(fileName, text);
  return ReadControllerInto(world.S).State == kFileRead;
}

}  // namespace vestan::fuzz
