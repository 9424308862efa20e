#include "app/run_display.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "app/start_up.h"
#include "display/avi_recording.h"
#include "display/view_image.h"
#include "model/cut_grid_context.h"
#include "nc/nc_context.h"

namespace vestan {

namespace {

AviRecordingSources MovieSources(Application& app) {
  const Session& s = *app.S;
  return {s.Movie, s.Defs.Settings, s.Defs.Paths,
          MakeFrameGeometry(app.Camera.Width, app.Camera.Height)};
}

// Serves the movie's requests, with a frame of the view just drawn when
// facts are given.
void ServeMovie(Application& app, const AviFrameFacts* facts) {
  const AviServiceResult served =
      ServeAviRecording(app.Runs.Movie, app.Offscreen.Gl, MovieSources(app), facts);
  if (!served.Error.empty()) app.Host.Log(served.Error);
}

// After the run's undo backup: the new slot shows the previous slot's lists
// until its blocks are cut, and builds its own under the slot's ids, so an
// undo finds the old slot's lists as they were.
void RotateWorkpieceLists(Application& app) {
  Session& s = *app.S;
  DexelModel& model = s.Work.Workpiece();
  WorkpieceDisplayLists& lists = app.Offscreen.Lists.Work;
  if (s.Pass) BindCutGrids(s.Pass->Cut.Grids, model);
  if (lists.Covers(model)) {
    RotateDisplayListBuffer(model, lists);
    return;
  }
  // The view never drew this workpiece, so the slot before the backup has
  // no lists an undo could show. The new slot is its copy: it is drawn now
  // and the slot before shows the same lists, which the run's cuts then
  // leave alone.
  const int32_t current = model.CurrentSlot;
  const int32_t previous = current > 0 ? current - 1 : model.HighestSlot;
  std::string error;
  if (previous == current ||
      DrawOffscreenView(app.Offscreen, ApplicationScene(app, SceneFrameKind::kIdle), &error) !=
          kFileReplaced ||
      !lists.Covers(model))
    return;
  const auto from = static_cast<ptrdiff_t>(current) * kBlockListsPerSlot;
  const auto to = static_cast<ptrdiff_t>(previous) * kBlockListsPerSlot;
  std::copy_n(lists.Ids.begin() + from, kBlockListsPerSlot, lists.Ids.begin() + to);
  std::copy_n(model.BlockLists.begin() + from, kBlockListsPerSlot, model.BlockLists.begin() + to);
}

// A frame the run asked for: the workpiece's current slot rebuilt, and while
// a movie records the view drawn and taken into it.
void DrawRunFrame(Application& app) {
  Session& s = *app.S;
  DexelModel& model = s.Work.Workpiece();
  WorkpieceDisplayLists& lists = app.Offscreen.Lists.Work;
  if (s.Work.WorkPresent != 0 && lists.Covers(model))
    lists.SlotDirty[static_cast<size_t>(model.CurrentSlot)].store(1);
  // Nothing but the movie shows the offscreen view; a minimised window
  // takes no frames.
  if (!IsAviRecording(app.Runs.Movie.Recorder) || app.Shell.Run.DisplaySuspended != 0) return;
  const SceneFrameKind kind =
      app.RunThread.Running() ? SceneFrameKind::kRunRedraw : SceneFrameKind::kIdle;
  std::string error;
  if (DrawOffscreenView(app.Offscreen, ApplicationScene(app, kind), &error) != kFileReplaced) {
    app.Host.Log("The view could not be drawn for the movie: " + error);
    return;
  }
  const AviFrameFacts facts{s.Nc.Modal.Tools.CurrentToolNumber, s.Nc.Position.ToolAxis,
                            CurrentLineNumber(s.Nc), 0};
  ServeMovie(app, &facts);
}

// A movie's start or close. The thread waits for the view's frames only
// while a movie records (the program shows no other view), so a run
// without one is not slowed by the handshake.
void ServeMovieRequest(Application& app) {
  // The movie's size is the view's, as its frames will be drawn.
  ApplicationScene(app, SceneFrameKind::kIdle);
  const bool before = IsAviRecording(app.Runs.Movie.Recorder);
  ServeMovie(app, nullptr);
  const bool after = IsAviRecording(app.Runs.Movie.Recorder);
  if (before != after) app.S->RunView.Window = after ? 1 : 0;
}

}  // namespace

Scene ApplicationScene(Application& app, SceneFrameKind kind) {
  Session& s = *app.S;
  if (app.Camera.Width <= 0 || app.Camera.Height <= 0) SetViewSize(app.Camera, 640, 480);
  CreateColourMaterials(s.Defs.Colors, {}, app.Materials);
  return Scene{s.Defs,        app.Materials, s.Work,    s.View,     app.Camera,
               s.Nc.Position, s.Tool,        s.Profile, s.ToolMesh, s.Display,
               s.Nc.Modal.Tools.CurrentToolNumber, 1, 0.0, nullptr, nullptr,
               nullptr,       {},            kind,      &s.Progress};
}

void InstallRunDisplay(Application& app) {
  app.Runs.OnModelBackup = [&app] { RotateWorkpieceLists(app); };
  app.Runs.OnNewFrame = [&app] { DrawRunFrame(app); };
  app.Runs.OnRecordingRequest = [&app] { ServeMovieRequest(app); };
}

}  // namespace vestan
