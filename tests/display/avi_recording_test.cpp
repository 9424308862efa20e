#include "display/avi_recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "display/offscreen_context.h"
#include "nc/run_control.h"
#include "platform/recording_host.h"
#include "gl_recorder.h"
#include "gl_test_support.h"
#include "support/avi_reader.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::AviRead;
using testing::GlRecorder;
using testing::ReadAvi;
using testing::ScratchFolder;

TEST(AviRecording, MovieNames) {
  struct Case {
    std::string Nc;
    int32_t Automatic;
    std::string Name;
  };
  const std::vector<Case> cases = {
      {"/work/PART.NC", 1, "PART.AVI"},
      {"/work/PART", 1, "PART.AVI"},
      {"C:\\nc\\my.part.nc", 1, "my.AVI"},
      {"/work/PART.", 1, "PART.AVI"},
      {"/work/PART.NC", 0, "VESTAN.AVI"},
      {"", 1, "VESTAN.AVI"},
      {"/work/" + std::string(61, 'a') + ".NC", 1, "VESTAN.AVI"},  // 64: too long for the name
      {"/work/" + std::string(60, 'a') + ".NC", 1, std::string(60, 'a') + ".AVI"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeAviFileName(c.Nc, c.Automatic), c.Name) << c.Nc;

  DefinitionFilePaths paths;
  Settings settings;
  settings.VideoNameAuto = 1;
  paths.NcProgram = "/nc/P1.NC";
  paths.NcFolder = "/nc";
  EXPECT_EQ(AviFilePath(paths, settings), "/nc/P1.AVI") << "no video folder: the NC folder";
  paths.VideoFolder = "C:\\movies\\";
  EXPECT_EQ(AviFilePath(paths, settings), "C:/movies/P1.AVI");
}

// A run's captures: the facts of each call, and the frames the timings take.
TEST(AviRecording, FramesComeWhenTheTimingsSayTheyAreDue) {
  struct Call {
    int32_t Tool, Block;
    Vec3 Axis;
    int32_t Reset = 0;
  };
  const Vec3 z{0, 0, 1}, x{1, 0, 0};
  const std::vector<Call> run = {{1, 10, z}, {1, 10, z}, {1, 11, z}, {2, 12, z},
                                 {2, 12, x}, {2, 12, x}, {2, 12, x, 1}};
  struct Case {
    const char* What;
    MovieSettings Movie;
    std::vector<int> Due;  // the calls that write a frame
    uint32_t Rate;
  };
  const std::vector<Case> cases = {
      {"tool", {1, 0, 0, 0, 1}, {0, 3, 6}, 1},
      {"axis", {0, 1, 0, 0, 1}, {0, 4, 6}, 1},
      {"block", {0, 0, 1, 0, 1}, {0, 2, 3, 6}, 5},
      {"update", {0, 0, 0, 1, 1}, {0, 1, 2, 3, 4, 5, 6}, 5},
      {"tool and axis", {1, 1, 0, 0, 2}, {0, 3, 4, 6}, 1},
      {"recording off", {0, 0, 0, 0, 0}, {}, 1},
  };
  for (const Case& c : cases) {
    ScratchFolder dir;
    AviRecorder recorder;
    GlRecorder gl;
    ASSERT_EQ(StartAviRecording(recorder, c.Movie, dir / "run.avi", MakeFrameGeometry(4, 2)),
              kAviStarted);
    std::vector<int> written;
    for (size_t i = 0; i < run.size(); ++i)
      if (CaptureAviFrame(recorder, gl, c.Movie,
                          {run[i].Tool, run[i].Axis, run[i].Block, run[i].Reset}))
        written.push_back(static_cast<int>(i));
    EXPECT_EQ(written, c.Due) << c.What;
    EXPECT_EQ(recorder.FrameCounter, static_cast<int32_t>(c.Due.size())) << c.What;
    ASSERT_EQ(CloseAviRecording(recorder), kFileReplaced) << c.What;
    EXPECT_FALSE(CaptureAviFrame(recorder, gl, c.Movie, {9, z, 99, 0})) << "closed: " << c.What;
    const AviRead r = ReadAvi(dir / "run.avi");
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Rate, c.Rate) << c.What;
    EXPECT_EQ(r.Frames.size(), c.Due.size()) << c.What;
    EXPECT_EQ(r.Name, "Cutting Simulation");
  }
}

TEST(AviRecording, NothingHappensWhileNotRecording) {
  AviRecorder recorder;
  GlRecorder gl;
  const MovieSettings update{0, 0, 0, 1, 1};
  EXPECT_FALSE(CaptureAviFrame(recorder, gl, update, {}));
  EXPECT_EQ(CloseAviRecording(recorder), kAviNotOpen);
  ScratchFolder dir;
  // A folder that does not exist: the start fails and later captures do
  // nothing.
  std::string error;
  EXPECT_LT(StartAviRecording(recorder, update, dir / "none/run.avi", MakeFrameGeometry(4, 2), &error),
            0);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(IsAviRecording(recorder));
  EXPECT_FALSE(CaptureAviFrame(recorder, gl, update, {}));
}

// The whole path: the run asks, the main thread starts the movie, takes the
// frame of its GL context in the handshake and closes the movie.
TEST(AviRecording, RecordsTheViewOfTheCurrentContext) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 6, 3);
  ScratchFolder dir;
  const std::string old = dir.Write("PART.AVI", "an older movie");
  OpenGlCalls gl;
  MovieSettings movie{0, 0, 1, 0, 1};
  Settings settings;
  settings.VideoNameAuto = 1;
  DefinitionFilePaths paths;
  paths.NcProgram = dir / "PART.NC";
  paths.VideoFolder = dir.Path();
  const AviRecordingSources sources{movie, settings, paths, MakeFrameGeometry(6, 3)};
  AviRecording recording;

  recording.StartRequest.store(1);
  AviServiceResult served = ServeAviRecording(recording, gl, sources, nullptr);
  ASSERT_EQ(served.Started, kAviStarted) << served.Error;
  EXPECT_EQ(recording.StartRequest.load(), 0);
  for (int block = 1; block <= 2; ++block) {
    gl.ClearColour(block == 1 ? GlColour{1, 0, 0, 1} : GlColour{0, 0, 1, 1});
    gl.Clear();
    const AviFrameFacts facts{1, {0, 0, 1}, block, 0};
    EXPECT_TRUE(ServeAviRecording(recording, gl, sources, &facts).FrameWritten);
  }
  EXPECT_EQ(ScratchFolder::Read(old), "an older movie") << "replaced only at the close";
  recording.CloseRequest.store(1);
  served = ServeAviRecording(recording, gl, sources, nullptr);
  ASSERT_EQ(served.Closed, kFileReplaced) << served.Error;
  EXPECT_FALSE(IsAviRecording(recording.Recorder));

  const AviRead r = ReadAvi(old);
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.Width, 6u);
  EXPECT_EQ(r.Height, 3u);
  ASSERT_EQ(r.Frames.size(), 2u);
  ASSERT_EQ(r.Frames[0].size(), 3u * 20u);  // 18 bytes a row, padded to 20
  // Blue, green, red a pixel: red, then blue.
  EXPECT_EQ(r.Frames[0].substr(0, 3), std::string("\x00\x00\xff", 3));
  EXPECT_EQ(r.Frames[1].substr(55, 3), std::string("\xff\x00\x00", 3)) << "the last pixel";
}

// The run thread asks for the recording and waits in the redraw handshake;
// the main thread's timer serves each handshake: it starts the movie, takes
// the block's frame and closes the movie when asked.
TEST(AviRecording, TheRunThreadAsksAndTheMainThreadRecords) {
  ScratchFolder dir;
  RecordingHost host;
  host.OnSleep = [](int32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
  RunControl control;
  AviRecording recording;
  std::atomic<int32_t> block{0};
  std::atomic<int32_t> done{0};
  const MovieSettings movie{0, 0, 1, 0, 1};
  Settings settings;
  DefinitionFilePaths paths;
  paths.VideoFolder = dir.Path();
  const AviRecordingSources sources{movie, settings, paths, MakeFrameGeometry(8, 4)};

  std::thread run([&] {
    recording.StartRequest.store(1);
    for (int32_t b = 1; b <= 3; ++b) {
      block.store(b);
      WaitForRedraw(control, host);
    }
    recording.CloseRequest.store(1);
    WaitForRedraw(control, host);
    done.store(1);
  });
  GlRecorder gl;
  int32_t frames = 0;
  std::string error;
  while (done.load() == 0) {
    if (control.RedrawRequest.load() == 0) {
      std::this_thread::yield();
      continue;
    }
    const AviFrameFacts facts{1, {0, 0, 1}, block.load(), 0};
    const AviServiceResult served = ServeAviRecording(recording, gl, sources, &facts);
    frames += served.FrameWritten ? 1 : 0;
    error += served.Error;
    control.RedrawRequest.store(0);
  }
  run.join();
  EXPECT_EQ(error, "");
  EXPECT_EQ(frames, 3);
  EXPECT_FALSE(IsAviRecording(recording.Recorder));
  const AviRead r = ReadAvi(dir / "VESTAN.AVI");
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.Frames.size(), 3u);
}

}  // namespace
}  // namespace vestan
