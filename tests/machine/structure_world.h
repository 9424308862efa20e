// The records the structure checks read, out of a session, for the checks'
// tests and benchmark.
#pragma once

#include "machine/structure_interference.h"
#include "platform/recording_host.h"
#include "simulation/session.h"

namespace vestan::testing {

struct StructureRecords {
  RecordingHost Host;
  Session S{Host};
  MachinePartMeshes& Meshes = S.Meshes;
  MachineDefinition& Machine = S.Defs.Machine;
  MachineKinematics& Kinematics = S.Defs.Kinematics;
  ControllerDefinition& Controller = S.Defs.Controller;
  InterferenceCheckSettings& Checks = S.Defs.Checks;
  MachinePositionState& Position = S.Nc.Position;
  WorkDocument& Work = S.Work;
  InterferenceHits& Hits = S.Run.Hits;

  StructureCheckContext Context() { return StructureChecksOf(S); }
};

}  // namespace vestan::testing
