// One NC pass's context with every record it reads and writes besides, for
// the NC tests and fuzz targets (no test framework needed): a session over a
// recording host, with the records it hands out named.
#pragma once

#include "platform/recording_host.h"
#include "simulation/session.h"

namespace vestan::testing {

struct NcWorld {
  RecordingHost Host;
  Session S{Host};
  Definitions& Defs = S.Defs;
  ControllerMemory& Memory = S.Memory;
  WorkOffsetFrame& Frame = S.Frame;
  DisplayListTable& Display = S.Display;
  CurrentTool& Tool = S.Tool;
  ToolProfile& Profile = S.Profile;
  RunControl& Control = S.Control;
  RunState& Run = S.Run;
  NcContext& Context = S.Nc;
  MachinePositionState& Position = S.Nc.Position;
  NcPassRecords Records = NcPassOf(S);

  NcModalState& Modal() { return Context.Modal; }
};

}  // namespace vestan::testing
