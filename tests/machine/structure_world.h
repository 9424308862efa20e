// The records the structure checks read, owned together, for the checks'
// tests and benchmark.
#pragma once

#include "machine/structure_interference.h"

namespace vestan::testing {

struct StructureRecords {
  MachinePartMeshes Meshes;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  ControllerDefinition Controller;
  InterferenceCheckSettings Checks;
  MachinePositionState Position;
  WorkDocument Work;
  InterferenceHits Hits;

  StructureCheckContext Context() {
    return {Meshes, Machine, Kinematics, Controller, Checks, Position, Work, Hits};
  }
};

}  // namespace vestan::testing
