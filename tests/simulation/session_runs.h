// A session run from a folder of its own, with the shipped definitions and
// a box stock, and an NC program run through its pass as far as the run
// takes it before its per-step work: the pass started, the program opened, each move
// handed out by the motion driver and finished at its block end; and the
// poses of a move cut into the workpiece at steps of the move pitch.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "model/model_history.h"
#include "model/stock.h"
#include "model/tool_pose_cutting.h"
#include "nc/block_end.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "simulation/session.h"
#include "platform/recording_host.h"
#include "simulation/session_files.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

// A session over a recording host, run from a scratch folder of its own
// (where its reports go).
struct FolderSession {
  ScratchFolder Folder;
  CurrentFolder Here{Folder.Path()};
  RecordingHost Host;
  std::unique_ptr<Session> Owned = std::make_unique<Session>(Host);
  Session& S = *Owned;
};

// The shipped definitions read in the start-up order (settings, tool table,
// controller, machine, tool table again), as started from folder: the
// settings and the files they name come from the program's folder, data/.
inline void ReadShippedDefinitions(Session& session, const std::string& folder) {
  ReadSettingsInto(session, {folder, std::string(VESTAN_DATA_DIR) + "/vestan9", 0});
  ASSERT_EQ(ReadToolTableInto(session).State, kFileRead);
  ASSERT_EQ(ReadControllerInto(session).State, kFileRead);
  ASSERT_EQ(ReadMachineInto(session, 1).State, kFileRead);
  ASSERT_EQ(ReadToolTableInto(session).State, kFileRead);
}

// A box stock as the workpiece, from minimum to maximum corner (machine
// coordinates), with a history slot to measure the cut against.
inline void MakeBoxStock(Session& session, const std::array<double, 6>& box, double pitch) {
  DexelModel& model = session.Work.Workpiece();
  model.SlotCount = 2;
  ASSERT_EQ(CreateBoxModel(model, box, pitch), kModelOk);
  session.Work.WorkPresent = 1;
  PushModelHistory(model);
}

// Starts a pass over the program file at path.
inline void StartProgram(Session& session, const std::string& path) {
  session.Defs.Paths.NcProgram = path;
  StartRunPass(session);
  LoadNcProgramText(session.Nc, NcPassOf(session), session.Pass->Reader);
  ASSERT_EQ(OpenNcProgram(NcPassOf(session), session.Pass->Reader), kNcProgramReady) << path;
}

// The next move of the pass; false once the program has ended or an alarm
// is set.
inline bool NextMove(Session& session) {
  NcModalState& modal = session.Nc.Modal;
  if (modal.EndState == kEndHandled || modal.AlarmCode != kAlarmNone) return false;
  NextNcMove(session.Nc, NcPassOf(session), session.Pass->Reader, session.Pass->Driver);
  if (modal.AlarmCode != kAlarmNone) return false;
  FinishMove(session.Nc, NcPassOf(session));
  return true;
}

// Cuts the live move, a straight one, at steps of at most the move pitch
// from its start to its end: each program position made the machine's, the
// tool pose at its tip cut into the workpiece. The hits of the last pose
// that touched material stay (the step's checks read them); returns whether
// any pose touched material (the contact flag of its hits set).
inline bool CutLiveMove(Session& session) {
  const NcMove& move = session.Nc.Move;
  double length = 0.0;
  for (size_t i = 0; i < 3; ++i) length += (move.End[i] - move.Start[i]) * (move.End[i] - move.Start[i]);
  length = std::sqrt(length);
  const double pitch = session.Defs.Settings.Pitch.MovePitch;
  const int32_t steps = std::max(1, static_cast<int32_t>(std::ceil(length / pitch)));
  bool touched = false;
  InterferenceHits touching;
  for (int32_t k = 1; k <= steps; ++k) {
    AxisPosition at = move.End;
    for (size_t i = 0; i < 3; ++i) at[i] = move.Start[i] + (move.End[i] - move.Start[i]) * k / steps;
    session.Nc.Position.ProgramPosition = at;
    UpdateSessionPosition(session);
    session.Run.Hits = InterferenceHits{};
    const MachinePositionState& position = session.Nc.Position;
    CutToolPoseIntoModel(session.Pass->Cut, session.Work.Workpiece(), position.ToolTip,
                         position.ToolAxis);
    // The step touched what its cut removed.
    if (session.Run.PoseRemovedVolume > 0.0) {
      session.Run.Hits.ContactFlag = 1;
      touched = true;
      touching = session.Run.Hits;
    }
  }
  if (touched) session.Run.Hits = touching;
  return touched;
}

}  // namespace vestan::testing
