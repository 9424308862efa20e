// The cutting run's view through the program: the movie a run records, and
// the workpiece lists an undo after a run shows.
#include "app/run_display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "app/start_up.h"
#include "model/cut_grid_context.h"
#include "model/model_history.h"
#include "model/stock.h"
#include "simulation/session_runs.h"
#include "support/avi_reader.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

constexpr char kSlots[] =
    "%\nG90 G54 G00 X-60. Y-25. Z10.\nG01 Z-8. F2000\nX60.\nY0.\nX-60.\nY25.\nX60.\nG00 Z10.\n"
    "M30\n%\n";

// A program started in a scratch folder on the shipped definitions, with a
// box stock of three history slots (unless made later) and a small view.
struct CuttingProgram {
  testing::ScratchFolder Folder;
  testing::CurrentFolder Here{Folder.Path()};
  std::unique_ptr<Application> App;

  explicit CuttingProgram(bool stock = true) {
    App = std::make_unique<Application>(
        LaunchArguments{"-I " + (Folder / "vestan.ini"), false}, false);
    StartUp(*App, StartUpSteps());
    Session& s = *App->S;
    testing::ReadShippedDefinitions(s, Folder.Path());
    s.Defs.Limits = StrokeLimits{};
    s.Defs.Tools.Layout = ToolLayout{};
    for (ToolLimitRecord& limit : s.Defs.Tools.Limits) limit = ToolLimitRecord{};
    s.Defs.Checks.Interference = 0;
    s.Defs.Settings.UndoDepth = 3;
    s.Defs.Paths.NcProgram = Folder.Write("slots.nc", kSlots);
    SetViewSize(App->Camera, 160, 120);
    if (stock) MakeStock();
  }

  void MakeStock() {
    Session& s = *App->S;
    DexelModel& model = s.Work.Workpiece();
    model.SlotCount = 3;
    EXPECT_EQ(CreateBoxModel(model, {-50, -50, 80, 50, 50, 110}, 1.0), kModelOk);
    s.Work.WorkPresent = 1;
  }

  void Run(int32_t mode) {
    App->Runs.RunCommand(mode);
    App->Queue.WaitUntil([this] { return !RunActive(*App); });
  }

  // The view as a PNG image's bytes; empty when it could not be drawn.
  std::string Image(const std::string& name) {
    if (SaveApplicationViewImage(*App, Folder / name) != 1) return {};
    std::ifstream in(Folder / (name + ".PNG"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

bool GlMayBeMissing() { return std::getenv("VESTAN_ALLOW_NO_GL") != nullptr; }

// With the movie on, the run thread waits for every frame, and each frame
// the run asks for while the movie records is one frame of the movie; the
// movie is closed at the end and the thread no longer waits. Without it
// nothing is written and the run never waits for the view.
TEST(RunDisplay, TheMovieOfARunHoldsOneFrameForEveryRedraw) {
  for (const bool movieOn : {true, false}) {
    CuttingProgram program;
    Application& app = *program.App;
    Session& s = *app.S;
    s.Movie.FrameOnUpdate = movieOn ? 1 : 0;
    s.Movie.Recording = movieOn ? 1 : 0;
    s.Defs.Settings.VideoNameAuto = 1;
    s.Defs.Paths.VideoFolder = program.Folder.Path();
    int32_t redraws = 0, recorded = 0;
    const std::function<void()> draw = app.Runs.OnNewFrame;
    app.Runs.OnNewFrame = [&] {
      ++redraws;
      if (IsAviRecording(app.Runs.Movie.Recorder)) ++recorded;
      draw();
    };
    app.Runs.RunCommand(kCuttingReal);
    if (movieOn && !IsAviRecording(app.Runs.Movie.Recorder) && GlMayBeMissing()) GTEST_SKIP();
    EXPECT_EQ(s.RunView.Window, movieOn ? 1 : 0);
    EXPECT_EQ(RunHost(app), 0);
    EXPECT_EQ(s.RunView.Window, 0);
    EXPECT_FALSE(IsAviRecording(app.Runs.Movie.Recorder));
    const std::string movie = program.Folder / "slots.AVI";
    if (!movieOn) {
      EXPECT_FALSE(std::filesystem::exists(movie));
      EXPECT_EQ(recorded, 0);
      continue;
    }
    // The backup's redraw comes before the movie; the steps, then the end.
    EXPECT_GT(recorded, 10);
    EXPECT_EQ(recorded, redraws - 1);
    const testing::AviRead read = testing::ReadAvi(movie);
    ASSERT_TRUE(read.Ok) << read.Error;
    EXPECT_EQ(read.Frames.size(), static_cast<size_t>(recorded));
    EXPECT_EQ(read.TotalFrames, static_cast<uint32_t>(recorded));
    EXPECT_EQ(read.Width, 160u);
    EXPECT_EQ(read.Height, 120u);
    // The cut shows: the last frame is not the first.
    EXPECT_TRUE(read.Frames.front() != read.Frames.back());
  }
}

// An undo after a run (as the undo key does it: the slot before, the grids
// bound to it, the view drawn) shows the workpiece as it was before the
// run, whether or not the view had drawn it before: the slot before the
// backup keeps lists of its own that the run's cuts never rebuild. The
// reference is the same run with no workpiece, the stock made after it,
// so that the machine stands where the run left it.
TEST(RunDisplay, AnUndoAfterARunShowsThePreRunWorkpiece) {
  std::string before;
  {
    CuttingProgram reference(false);
    reference.Run(kCuttingShowResult);
    reference.MakeStock();
    before = reference.Image("reference");
  }
  if (before.empty() && GlMayBeMissing()) GTEST_SKIP();
  ASSERT_FALSE(before.empty());
  for (const bool drawnBefore : {true, false}) {
    CuttingProgram program;
    Application& app = *program.App;
    Session& s = *app.S;
    DexelModel& model = s.Work.Workpiece();
    if (drawnBefore) EXPECT_FALSE(program.Image("before").empty());
    program.Run(kCuttingShowResult);
    EXPECT_EQ(model.CurrentSlot, 1);
    EXPECT_TRUE(program.Image("after") != before) << drawnBefore;

    PopModelHistory(model);
    ASSERT_EQ(model.CurrentSlot, 0);
    if (s.Pass) BindCutGrids(s.Pass->Cut.Grids, model);
    EXPECT_TRUE(program.Image("undone") == before) << drawnBefore;
    // A second run after the undo backs up the undone model again.
    program.Run(kCuttingShowResult);
    EXPECT_EQ(model.CurrentSlot, 1);
    EXPECT_TRUE(program.Image("again") != before) << drawnBefore;
    PopModelHistory(model);
    EXPECT_TRUE(program.Image("undone again") == before) << drawnBefore;
  }
}

}  // namespace
}  // namespace vestan
