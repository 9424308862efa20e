// One NC pass over a program file: the world with its dialect's controller,
// the program held in memory, the reader and its hooks wired into the
// interpreter.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "nc/line_reader.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_world.h"

namespace vestan::testing {

struct NcReaderPass {
  explicit NcReaderPass(Dialect dialect = Dialect::kDefault, std::string_view lines = {})
      : World(MakeNcWorld(dialect, lines)) {
    Hooks = MakeNcReaderHooks(Reader);
    World->Records.BlockHooks = &Hooks;
    World->Defs.Settings.ControlPoint = {};
  }

  // Resets the pass, loads and opens the program.
  void Start(const std::string& program) {
    World->Defs.Paths.NcProgram = program;
    ResetNcModalState(World->Context, World->Records);
    LoadNcProgramText(World->Context, World->Records, Reader);
    ASSERT_EQ(OpenNcProgram(World->Records, Reader), kNcProgramReady) << program;
  }

  int32_t Read() { return ReadNcLine(World->Context, World->Records, Reader); }
  NcModalState& Modal() { return World->Modal(); }
  ControllerDefinition& Controller() { return World->Defs.Controller; }
  std::string Line() const {
    std::string text = World->Context.Line.Text;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  std::unique_ptr<NcWorld> World;
  LoadedNcProgram Program;
  NcReader Reader{Program};
  BlockInterpreterHooks Hooks;
};

}  // namespace vestan::testing
