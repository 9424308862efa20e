// A machine read from definition text written in the test, with the
// controller lines read first, and what the rotary solutions need beside it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "definitions/definition_test_support.h"
#include "machine/rotary_solution.h"

namespace vestan::testing {

class MachineWorld {
 public:
  explicit MachineWorld(std::string_view machineText, std::string_view controllerText = "") {
    if (!controllerText.empty()) h_.Ctl.Read(folder_.Write("world.ctl", controllerText));
    const DefinitionReadResult result = h_.Read(folder_.Write("world.mtl", machineText));
    EXPECT_TRUE(result.Notes.empty()) << machineText;
  }
  MachineWorld(const MachineWorld&) = delete;
  MachineWorld& operator=(const MachineWorld&) = delete;

  MachineKinematics& Kinematics() { return h_.Kinematics; }
  ControllerDefinition& Controller() { return h_.Ctl.Controller; }
  StrokeLimits& Limits() { return h_.Limits; }

  RotarySolver Solver(LongRotaryMoveWarning warn = {}) {
    return RotarySolver{h_.Kinematics, h_.Ctl.Controller, Modal, Context, std::move(warn)};
  }

  RotaryModalInputs Modal;
  RotarySolveContext Context;

 private:
  TempFolder folder_;
  MachineHarness h_;
};

}  // namespace vestan::testing
