// One NC pass's context with every record it reads and writes besides, for
// the NC tests and fuzz targets (no test framework needed).
#pragma once

#include "definitions/definitions.h"
#include "nc/nc_context.h"
#include "platform/recording_host.h"

namespace vestan::testing {

struct NcWorld {
  Definitions Defs;
  WorkOffsetFrame Frame;
  DisplayListTable Display;
  CurrentTool Tool;
  ToolProfile Profile;
  RunControl Control;
  RecordingHost Host;
  RunState Run;
  NcContext Context{Run};
  MachinePositionState& Position = Context.Position;
  NcPassRecords Records{Defs, Frame, Display, Tool, Profile, Control, Host};

  NcModalState& Modal() { return Context.Modal; }
};

}  // namespace vestan::testing
