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
// the definitions' controller and offset memory.
inline void BuildController(Definitions& defs, Dialect dialect, std::string_view lines = {}) {
  ScratchFolder folder;
  const std::string file = folder.Write(
      "test.ctl", "NAME(MAX20)=TEST\n" + std::string(ProductLine(dialect)) + std::string(lines));
  NcPlaneState plane;
  SubprogramStack subprograms;
  StatusAxisLabels labels;
  DisplayListTable display;
  const DefinitionReadResult result = ReadControllerDefinition(
      file,
      {defs.Controller, defs.Offsets, defs.ControllerFile, plane, subprograms, labels, display});
  ASSERT_EQ(result.State, kFileRead) << file;
  ASSERT_TRUE(result.Notes.empty()) << FormatNote(result.Notes.front());
}

// NcWorld holds a tool profile of some size: one per test, on the heap, with
// the dialect's controller read.
inline std::unique_ptr<NcWorld> MakeNcWorld(Dialect dialect = Dialect::kDefault,
                                            std::string_view lines = {}) {
  auto world = std::make_unique<NcWorld>();
  BuildController(world->Defs, dialect, lines);
  return world;
}

}  // namespace vestan::testing
