// Saving the view as a PNG image with no window, from files to file: the
// shipped settings, controller and machine definitions, a cut workpiece
// saved as DME and opened again, the view drawn offscreen and written, and
// the image read back with libpng.
#include "display/view_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "definitions/definition_test_support.h"
#include "definitions/settings_world.h"
#include "display/png_image.h"
#include "display/view_interaction.h"
#include "gl_test_support.h"
#include "machine/work_offset_frame.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "modelfiles/surface_mesh_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

// A stock on the vice of the shipped machine (x -40..40, y -30..30, z
// 80..110) with a pocket 20 deep at x -20..20, y -10..10 whose floor a
// tool of pen 2 has cut; saved as DME.
std::string WritePocketedStock(const testing::ScratchFolder& folder) {
  DexelModel model;
  testing::MakeSolidModel(model, {-40, -30, 80}, {40, 30, 110}, 1.0,
                          testing::Minus(testing::Box({-40, -30, 80}, {40, 30, 110}),
                                         {testing::BoxCut({-20, -10, 90}, {20, 10, 120})}));
  for (int axis = 0; axis < 3; ++axis) {
    DexelSet& set = model.SetByDirection(axis);
    for (int32_t c = 0; c < set.Columns; ++c)
      for (uint8_t& flag : DexelColumnFlagsMutable(set, c)) flag = 0;
  }
  for (int32_t j = 0; j < model.CountY; ++j)
    for (int32_t i = 0; i < model.CountX; ++i) {
      const int32_t c = ColumnIndexZ(model, i, j);
      const std::span<const double> values = DexelColumnValues(model.ZSet(), c);
      if (!values.empty() && values.back() == 90) DexelColumnFlagsMutable(model.ZSet(), c).back() = 0x20;
    }
  const std::string path = folder / "pocket.dme";
  std::string error;
  EXPECT_EQ(SaveWorkModel(model, path, 1, 0, WorkOffsetFrame{}, &error), kFileReplaced) << error;
  return path;
}

std::string Shipped(const std::string& name) {
  return testing::ScratchFolder::Read(std::string(VESTAN_DATA_DIR) + "/" + name);
}

TEST(SaveViewImage, ThePocketedWorkpieceOfTheShippedMachineAsAPng) {
  testing::SettingsWorld settings;
  settings.Read(Shipped("vestan.ini"));
  testing::MachineHarness h;
  ASSERT_EQ(h.Ctl.Read(std::string(VESTAN_DATA_DIR) + "/hanuc.ctl").State, kFileRead);
  ASSERT_EQ(h.Read(std::string(VESTAN_DATA_DIR) + "/oguma.mtl").State, kFileRead);
  Definitions defs;
  defs.Controller = h.Ctl.Controller;
  defs.Machine = h.Machine;
  const OffsetMemory& offsets = h.Ctl.Offsets;
  DisplayListTable displayLists;
  WorkOffsetFrame workFrame;
  UpdateWorkOffsetFrame(offsets.ActiveWorkOffset, h.Kinematics, defs.Controller, workFrame,
                        displayLists);

  // The workpiece file opened as the program opens it.
  testing::ScratchFolder folder;
  WorkDocument work;
  ModelLoadSettings load = ModelLoadSettingsFrom(settings.settings, 1.0);
  CompressionApiCache api;
  const ModelFileOutcome opened =
      OpenWorkModelFile(work.Workpiece(), WritePocketedStock(folder), load, workFrame, api);
  ASSERT_EQ(opened.Result, kModelOk) << opened.Text;
  work.WorkPresent = 1;

  // The table at X 50, Y -20; the view as the settings give it, centred on
  // the workpiece.
  MachinePositionState position;
  position.MachinePosition = {50, -20, 200, 0, 0};
  Vec3 tableShift;
  SetTableShift(defs.Machine, position.MachinePosition, tableShift);
  ViewCamera camera;
  ASSERT_TRUE(SetViewSize(camera, 320, 240));
  const MachineDisplayFrame display =
      MakeMachineDisplayFrame(h.Kinematics, position, tableShift, camera);
  ViewState& view = settings.view;
  UpdateViewCentre(defs, offsets, view, work, display, camera);
  camera.Zoom = 4;

  ColourMaterials materials;
  CreateColourMaterials(settings.colors, {}, materials);
  WorkpieceStyle style{materials, settings.colors.Live, settings.settings.WorkDisplay,
                       settings.settings.MeshMode, view.DisplayScale, camera.Zoom};
  const int32_t orientation = defs.Machine.MachineOrientation;
  const WorkpieceScene scene{work.Workpiece(), work.WorkPresent, view, camera, orientation,
                             display, style};

  OffscreenView offscreen;
  std::string error, written;
  const int32_t saved = SaveViewImage(offscreen, scene, folder / "view", &error, &written);
  if (saved == kImageNotDrawn && std::getenv("VESTAN_ALLOW_NO_GL") != nullptr)
    GTEST_SKIP() << error;
  ASSERT_EQ(saved, kFileReplaced) << error;
  EXPECT_EQ(written, folder / "view.PNG");
  testing::PngRead png = testing::ReadPng(written);
  ASSERT_TRUE(png.Ok) << png.Error;
  ASSERT_EQ(png.Width, 320u);
  ASSERT_EQ(png.Height, 240u);
  const auto rgb = [&](uint32_t x, uint32_t y) {
    const uint8_t* p = png.At(x, y);
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  // The image pixel (top row first) where the view shows a machine point.
  const auto at = [&](const Vec3& p) {
    const WindowPoint w = ModelToWindow(view, camera, orientation,
                                        MachineToDisplayCoordinates(display, p));
    return rgb(static_cast<uint32_t>(w.X), static_cast<uint32_t>(w.Y));
  };
  const std::array<int, 3> background{0, 0, 0};
  EXPECT_EQ(rgb(0, 0), background);
  EXPECT_NE(at({-30, 0, 110}), background);  // the top beside the pocket
  EXPECT_NE(at({0, 0, 90}), background);     // the pocket's floor

  // From straight above, the floor shows the yellow of pen 2 and the top the
  // work colour; the workpiece, moved up in the view, fills the image's top
  // rows and leaves its bottom rows empty.
  view.Azimuth = 0;
  view.Elevation = 0;
  view.Perspective = 0;
  UpdateViewAngleTrig(view);
  camera.Zoom = 1.5 * view.DisplayScale / camera.HalfHeight;
  camera.Centre[1] -= 50 / view.DisplayScale;
  ASSERT_EQ(SaveViewImage(offscreen, scene, folder / "top.png", &error, &written), kFileReplaced)
      << error;
  EXPECT_EQ(written, folder / "top.png");
  png = testing::ReadPng(written);
  ASSERT_TRUE(png.Ok) << png.Error;
  const std::array<int, 3> floor = at({0, 0, 90});
  const std::array<int, 3> top = at({-30, 0, 110});
  EXPECT_GT(floor[0], 200);
  EXPECT_GT(floor[1], 200);
  EXPECT_LT(floor[2], 30);
  EXPECT_GT(top[2], floor[2]);
  EXPECT_NE(at({0, 25, 110}), background);
  const WindowPoint below =
      ModelToWindow(view, camera, orientation, MachineToDisplayCoordinates(display, {0, -30, 110}));
  ASSERT_LT(below.Y, 200);
  for (uint32_t y = static_cast<uint32_t>(below.Y) + 2; y < 240; ++y)
    for (uint32_t x = 0; x < 320; x += 7)
      ASSERT_EQ(rgb(x, y), background) << x << ", " << y;

  // A folder that does not exist: an error, and no image.
  error.clear();
  EXPECT_LT(SaveViewImage(offscreen, scene, folder / "missing/view.png", &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(SaveViewImage, AViewWithoutSizeDrawsNothing) {
  DexelModel model;
  ViewState view;
  ViewCamera camera;
  MachineDisplayFrame display;
  ColorSettings colours;
  ColourMaterials materials;
  WorkpieceStyle style{materials, colours.Live};
  OffscreenView offscreen;
  std::string error;
  EXPECT_EQ(SaveViewImage(offscreen, {model, 0, view, camera, 0, display, style}, "x.png", &error),
            kImageNotDrawn);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(offscreen.Context.IsOpen());
}

}  // namespace
}  // namespace vestan
