// Controller definitions of the five dialects, read from a written .CTL the
// way a file gives them, and one NC pass's world (nc_pass_world.h) with its
// controller read, for the NC tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "definitions/controller_definition.h"
#include "definitions/definitions.h"
#include "nc/nc_context.h"
#include "nc/nc_pass_world.h"
#include "platform/recording_host.h"
#include "simulation/session_files.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

enum class Dialect { kDefault, kOsp, kMazak, kSiemens, kHeidenhain };

inline std::string_view ProductLine(Dialect dialect) {
  switch (dialect) {
    case Dialect::kOsp:
      return "PRODUCT=OSP\n";
    case Dialect::kMazak:
      return "PRODUCT=MAZAK\n";
    case Dialect::kSiemens:
      return "PRODUCT=SIEMENS\n";
    case Dialect::kHeidenhain:
      return "PRODUCT=HEIDENHAIN\n";
    case Dialect::kDefault:
      break;
  }
  return "";
}

// Reads a controller definition of the dialect with the further lines into
// the world's session, as the session reads one.
inline void BuildController(NcWorld& world, Dialect dialect, std::string_view lines = {}) {
  ScratchFolder folder;
  world.Defs.Paths.Controller = folder.Write(
      "test.ctl", "NAME(MAX20)=TEST\n" + std::string(ProductLine(dialect)) + std::string(lines));
  const DefinitionReadResult result = ReadControllerInto(world.S);
  ASSERT_EQ(result.State, kFileRead) << world.Defs.Paths.Controller;
  ASSERT_TRUE(result.Notes.empty()) << FormatNote(result.Notes.front());
}

// NcWorld holds a session of some size: one per test, on the heap, with the
// dialect's controller read.
inline std::unique_ptr<NcWorld> MakeNcWorld(Dialect dialect = Dialect::kDefault,
                                            std::string_view lines = {}) {
  auto world = std::make_unique<NcWorld>();
  BuildController(*world, dialect, lines);
  return world;
}

}  // namespace vestan::testing
