// The view from the shipped files: the settings, controller and machine
// definitions read as the program reads them, a stock on the vice, and the
// user's view work on it: centring, picking, measuring, the workpiece's
// extents in work coordinates and the texts of their status cells.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "definitions/definition_test_support.h"
#include "definitions/settings_world.h"
#include "display/measuring.h"
#include "display/picking.h"
#include "display/view_interaction.h"
#include "display/work_extents.h"
#include "machine/part_models.h"
#include "machine/work_offset_frame.h"
#include "model/stock.h"

namespace vestan {
namespace {

std::string Shipped(const std::string& name) {
  std::ifstream in(std::string(VESTAN_DATA_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ShippedView, CentrePickMeasureAndExtentsOnTheShippedMachine) {
  testing::SettingsWorld settings;
  settings.Read(Shipped("vestan.ini"));
  ViewState& view = settings.view;
  ASSERT_EQ(view.Azimuth, 315);
  ASSERT_EQ(view.Perspective, 1);

  testing::MachineHarness h;
  MachinePartMeshes meshes;
  InterferenceCheckSettings checks;
  ASSERT_EQ(h.Ctl.Read(std::string(VESTAN_DATA_DIR) + "/hanuc.ctl").State, kFileRead);
  ASSERT_EQ(h.Read(std::string(VESTAN_DATA_DIR) + "/oguma.mtl").State, kFileRead);
  LoadMachinePartModels({h.Parts, h.Kinematics, checks}, meshes);
  ASSERT_GT(meshes.Vices[0].FacetCount(), 0);
  Definitions defs;
  defs.Controller = h.Ctl.Controller;
  defs.Machine = h.Machine;
  const OffsetMemory& offsets = h.Ctl.Offsets;
  DisplayListTable lists;
  WorkOffsetFrame workFrame;
  UpdateWorkOffsetFrame(offsets.ActiveWorkOffset, h.Kinematics, defs.Controller, workFrame,
                        lists);

  // A stock on the vice, with the table moved to X 50, Y -20.
  WorkDocument work;
  ASSERT_EQ(CreateBoxModel(work.Workpiece(), {-40, -30, 80, 40, 30, 110}, 1.0), kModelOk);
  work.WorkPresent = 1;
  MachinePositionState position;
  position.MachinePosition = {50, -20, 200, 0, 0};
  Vec3 tableShift;
  SetTableShift(defs.Machine, position.MachinePosition, tableShift);
  ASSERT_EQ(tableShift, (Vec3{-50, 20, 0}));
  ViewCamera camera;
  ASSERT_TRUE(SetViewSize(camera, 800, 600));
  const MachineDisplayFrame display =
      MakeMachineDisplayFrame(h.Kinematics, position, tableShift, camera);

  // Centred on the workpiece, as the table carries it.
  UpdateViewCentre(defs, offsets, view, work, display, camera);
  EXPECT_EQ(camera.Centre, (Vec3{-50.0 / 500, 20.0 / 500, 95.0 / 500}));

  // Looking down, zoomed in.
  view.Azimuth = 0;
  view.Elevation = 0;
  UpdateViewAngleTrig(view);
  ZoomViewStep(camera, 15);
  const int32_t orientation = defs.Machine.MachineOrientation;
  const PickScene scene{work, meshes.Vices, view, camera, orientation, display};
  const auto pixelOf = [&](const Vec3& p) {
    const WindowPoint w =
        ModelToWindow(view, camera, orientation, MachineToDisplayCoordinates(display, p));
    return ClientPoint{static_cast<int32_t>(std::lround(w.X)),
                       static_cast<int32_t>(std::lround(w.Y))};
  };

  // Three corners of the top measured in turn.
  PickState picked;
  MeasuredPointList measured;
  const PickRequest measure{kMouseModeMeasure, false, {}};
  for (const Vec3& corner : {Vec3{40, -30, 110}, Vec3{-40, -30, 110}, Vec3{-40, 30, 110}}) {
    ASSERT_EQ(PickPointOnWork(scene, measure, pixelOf(corner), picked), 1);
    ASSERT_EQ(picked.Point, corner);
    ASSERT_EQ(picked.IndicatorState, 2);
    EXPECT_TRUE(RecordMeasurePoint(measured, picked.Point, kMouseModeMeasure, true).Measure);
    picked.IndicatorState = 1;
  }
  const int32_t unit = defs.Controller.LengthDivisor;
  EXPECT_EQ(measured.Count, 3);
  EXPECT_EQ(FormatUnitNumber(unit, measured.Distance), "\t\t   60.000");
  EXPECT_EQ(FormatSpaceRadius(unit, measured.SpaceRadius), "\t\t   50.000");
  EXPECT_EQ(FormatPlaneRadius(unit, measured.PlaneRadii[kPlaneXY]), "\t\t   50.000");
  EXPECT_EQ(FormatPlaneRadius(unit, measured.PlaneRadii[kPlaneYZ]), "\t*PLANE*");

  // With Shift the vice's corner is measured.
  const PickRequest vice{kMouseModeMeasure, true, {}};
  ASSERT_EQ(PickPointOnWork(scene, vice, pixelOf({75, -50, 80}), picked), 1);
  EXPECT_EQ(picked.Point, (Vec3{75, -50, 80}));

  // The centre moves to the point under the cursor.
  ASSERT_EQ(CursorToModel(scene, pixelOf({10, 10, 110}), 0, camera.Centre), 1);
  EXPECT_EQ(camera.Centre, (Vec3{-40.0 / 500, 30.0 / 500, 110.0 / 500}));

  // The workpiece in G54 coordinates.
  Vec3 min, max;
  ComputeWorkExtents(work.Workpiece(), workFrame, min, max);
  EXPECT_EQ(FormatUnitNumber(unit, min[0]), "\t\t   10.000");
  EXPECT_EQ(FormatUnitNumber(unit, max[1]), "\t\t   80.000");
  EXPECT_EQ(FormatUnitNumber(unit, max[2]), "\t\t    0.000");
}

}  // namespace
}  // namespace vestan
