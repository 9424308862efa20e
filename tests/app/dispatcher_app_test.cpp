// The program's own dispatcher, from files to files: the shipped definitions
// copied into a folder of the program's own, an NC program selected with a
// box fitted to it, its verify report, the workpiece saved and the view
// saved as an image, each command sent as the batch worker sends it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/start_up.h"
#include "display/gl_test_support.h"
#include "simulation/verify_report.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

// The shipped definitions copied into a scratch folder, the current one,
// and the program started there.
struct ShippedApplication {
  testing::ScratchFolder folder;
  bool copied = [this] {
    for (const auto& entry : std::filesystem::directory_iterator(VESTAN_DATA_DIR))
      std::filesystem::copy(entry.path(), folder / entry.path().filename().string());
    return true;
  }();
  testing::CurrentFolder here{folder.Path()};
  Application app{LaunchArguments{"-I " + (folder / "vestan.ini"), false}, false};
  ShippedApplication() { StartUp(app, StartUpSteps()); }
};

TEST(ApplicationDispatcher, SelectFitCheckSaveAndImageFromTheProgram) {
  ShippedApplication shipped;
  testing::ScratchFolder& folder = shipped.folder;
  Application& app = shipped.app;
  Session& s = *app.S;
  ASSERT_FALSE(s.Defs.Tools.Records.empty());
  CommandDispatcher& d = *app.Dispatcher;
  d.Automation.store(1);
  // The menu's check marks come from the dispatcher's state.
  EXPECT_EQ(FindCommand(app.Shell.Menu, 32853 + s.Defs.Controller.StopOption)->Checked, true);

  auto preset = [&app](std::string& slot, const std::string& path) {
    slot = path;
    app.Shell.PathPreset = 1;
  };
  preset(s.Defs.Paths.NcProgram, folder / "example.nc");
  ASSERT_EQ(d.Execute(32772, 0), 1);
  ASSERT_EQ(s.Work.WorkPresent, 1);
  EXPECT_EQ(d.Execute(32773, 1), 1);
  EXPECT_TRUE(std::filesystem::exists(VerifyReportPath(s.Defs)));

  preset(s.Defs.Paths.WorkSave, folder / "fitted.dme");
  EXPECT_EQ(d.Execute(32786, 0), 1);
  EXPECT_GT(std::filesystem::file_size(folder / "fitted.dme"), 0u);

  d.ImageFile = folder / "view";
  app.Shell.PathPreset = 1;
  const int64_t image = d.Execute(32889, 0);
  if (image == 0 && std::getenv("VESTAN_ALLOW_NO_GL") != nullptr) GTEST_SKIP();
  EXPECT_EQ(image, 1);
  EXPECT_TRUE(std::filesystem::exists(folder / "view.PNG"));

  EXPECT_EQ(d.Execute(105, 0), 1);
  EXPECT_EQ(app.DestroyRequested.load(), 1);
  EXPECT_EQ(RunHost(app), 0);
}

// The view image with the path display on shows the program's path over
// the view it shows with the display off: the same size, pixels changed.
TEST(ApplicationDispatcher, TheViewImageShowsThePathWhileItsDisplayIsOn) {
  ShippedApplication shipped;
  testing::ScratchFolder& folder = shipped.folder;
  Application& app = shipped.app;
  Session& s = *app.S;
  CommandDispatcher& d = *app.Dispatcher;
  d.Automation.store(1);
  s.Defs.Paths.NcProgram = folder / "example.nc";
  app.Shell.PathPreset = 1;
  ASSERT_EQ(d.Execute(32772, 0), 1);

  auto image = [&](const std::string& name) {
    d.ImageFile = folder / name;
    app.Shell.PathPreset = 1;
    return d.Execute(32889, 0);
  };
  const int64_t saved = image("off");
  if (saved == 0 && std::getenv("VESTAN_ALLOW_NO_GL") != nullptr) GTEST_SKIP();
  ASSERT_EQ(saved, 1);
  ASSERT_EQ(d.Execute(32777, 0), 1);
  ASSERT_EQ(s.Display.PathDisplay.load(), 1);
  ASSERT_EQ(image("on"), 1);

  const testing::PngRead off = testing::ReadPng(folder / "off.PNG");
  const testing::PngRead on = testing::ReadPng(folder / "on.PNG");
  ASSERT_TRUE(off.Ok) << off.Error;
  ASSERT_TRUE(on.Ok) << on.Error;
  ASSERT_EQ(on.Width, off.Width);
  ASSERT_EQ(on.Height, off.Height);
  size_t changed = 0;
  for (size_t i = 0; i + 2 < on.Pixels.size(); i += 3)
    if (on.Pixels[i] != off.Pixels[i] || on.Pixels[i + 1] != off.Pixels[i + 1] ||
        on.Pixels[i + 2] != off.Pixels[i + 2])
      ++changed;
  // The example's moves run over much of the stock: far more than a few
  // stray pixels.
  EXPECT_GT(changed, 200u);
}

}  // namespace
}  // namespace vestan
