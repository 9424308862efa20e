// The cutting run's view in the program: the workpiece lists turned to the
// history slot the run's undo backup made, the frames the run asks for
// drawn offscreen and recorded into the run's movie, and the movie started
// and closed when the run asks. Everything here runs on the main thread
// while the run thread is held in its redraw handshake or has ended.
#pragma once

#include "display/scene.h"

namespace vestan {

struct Application;

// The application's view as a scene of the given kind, with the materials
// made from the colours now, at the view's size (640 x 480 while it has
// none).
Scene ApplicationScene(Application& app, SceneFrameKind kind);

// Fills the run control's view hooks (the undo backup, the new frame, the
// movie's requests).
void InstallRunDisplay(Application& app);

}  // namespace vestan
