// Recording a cutting run as an AVI movie: the movie's file name, its start,
// the frames taken from the view at the moments the movie settings choose,
// its close; and the requests by which the run thread asks the main thread,
// which owns the GL context, to start and close a recording.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/movie_settings.h"
#include "definitions/settings.h"
#include "display/frame_readback.h"
#include "display/gl_calls.h"
#include "foundation/vector_math.h"
#include "platform/avi_writer.h"

namespace vestan {

// The last-seen values' start: the first due test finds every value changed.
inline constexpr int32_t kAviUnseen = -9999;
inline constexpr double kAviUnseenAxis = -9999.0;

// The movie's frames per second: 5 when a frame may come at every block or
// update, else 1.
inline constexpr int32_t kAviSlowRate = 1;
inline constexpr int32_t kAviFastRate = 5;

inline constexpr char kAviStreamName[] = "Cutting Simulation";
inline constexpr char kAviFixedName[] = "VESTAN.AVI";

// StartAviRecording's result on success; otherwise a negative result of
// AviWriter::Open.
inline constexpr int32_t kAviStarted = 0;

// The one recording of the program. Not recording while the frame buffer is
// empty.
struct AviRecorder {
  AviWriter Writer;
  // The frame geometry the movie was started with; a later view resize
  // does not change it.
  FrameGeometry Frame;
  std::vector<uint8_t> Buffer;
  int32_t FrameCounter = 0;
  int32_t LastTool = kAviUnseen;
  Vec3 LastAxis{kAviUnseenAxis, kAviUnseenAxis, kAviUnseenAxis};
  int32_t LastBlock = kAviUnseen;
  // The movie's path, for the messages.
  std::string Path;
};

inline bool IsAviRecording(const AviRecorder& recorder) { return !recorder.Buffer.empty(); }

// The movie's file name: with automatic naming and an NC program chosen, the
// program's file name with everything after its first "." (or, without one,
// after a "." appended) replaced by "AVI"; else "VESTAN.AVI", as also for a
// file name of 64 characters or more, which the name would not hold.
std::string MakeAviFileName(std::string_view ncProgram, int32_t automatic);

// Where the movie goes: the video folder ("Target_VIDEOdir"), or when that
// is empty the NC folder, joined with MakeAviFileName ("NAME MODE").
std::string AviFilePath(const DefinitionFilePaths& paths, const Settings& settings);

// Starts recording into path at the frame geometry (the view's size), the
// rate by the timings: kAviStarted, or a negative result (nothing recorded,
// the reason in error). A recording already running is closed first. An
// existing movie of that name is replaced only when the new one is closed.
int32_t StartAviRecording(AviRecorder& recorder, const MovieSettings& movie, std::string_view path,
                          const FrameGeometry& frame, std::string* error = nullptr);

// What the run shows at a capture: the tool in the spindle, the tool-axis
// direction, the block number (the innermost subprogram level's line
// counter while a subprogram runs, else the main program's line number);
// Reset when the path-drawing mode is 4 or the interpreter's block-end
// state is above 0, which makes every value count as changed.
struct AviFrameFacts {
  int32_t Tool = 0;
  Vec3 ToolAxis{0.0, 0.0, 1.0};
  int32_t Block = 0;
  int32_t Reset = 0;
};

// Appends the frame of the current GL context (read back blue first) when
// the timings say one is due: the tool, the tool axis or the block differs
// from the one last seen (each remembered whatever its timing), or UPDATE
// timing is on. True when a frame was written; nothing while not recording.
bool CaptureAviFrame(AviRecorder& recorder, GlCalls& gl, const MovieSettings& movie,
                     const AviFrameFacts& facts);

// Ends the recording and renames the movie into place: kFileReplaced, or
// a negative result with the reason in error; kAviNotOpen while not
// recording.
int32_t CloseAviRecording(AviRecorder& recorder, std::string* error = nullptr);

// The recording as the run and the main thread share it. The run thread
// only sets the requests; the main thread serves them (ServeAviRecording)
// in its run timer and inside the redraw handshake, after the frame has
// been drawn and before it answers the handshake.
struct AviRecording {
  AviRecorder Recorder;  // main thread only
  std::atomic<int32_t> StartRequest{0};
  std::atomic<int32_t> CloseRequest{0};
};

// What one service reads: the movie settings, the file settings and paths,
// and the view's frame geometry now.
struct AviRecordingSources {
  const MovieSettings& Movie;
  const Settings& Options;  // the automatic name ("NAME MODE")
  const DefinitionFilePaths& Paths;
  FrameGeometry Frame;
};

// What a service did.
struct AviServiceResult {
  // StartAviRecording's result when a start was served, else kAviStarted.
  int32_t Started = kAviStarted;
  // CloseAviRecording's result when a close was served, else kFileReplaced.
  int32_t Closed = kFileReplaced;
  bool FrameWritten = false;
  std::string Error;
};

// Serves the requests in order: a requested start (while a timing is on),
// a frame when one is due (facts given: in the redraw handshake), then a
// requested close.
AviServiceResult ServeAviRecording(AviRecording& recording, GlCalls& gl,
                                   const AviRecordingSources& sources,
                                   const AviFrameFacts* facts);

}  // namespace vestan
