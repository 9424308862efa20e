#include "display/view_interaction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "view_world.h"

namespace vestan {
namespace {

using testing::ViewWorld;

class DragTest : public ::testing::Test {
 protected:
  // A drag from (100, 100) to (100 + dx, 100 + dy) in mode.
  void Drag(int32_t dx, int32_t dy, int32_t mode = kDragRotate, uint32_t tick = 5000) {
    DragRotateView(w_.View, w_.Camera, drag_, mode, w_.Orientation,
                   {drag_.OriginX + dx, drag_.OriginY + dy}, tick, lists_);
  }
  void SetUp() override {
    drag_.OriginX = 100;
    drag_.OriginY = 100;
  }
  ViewWorld w_{800, 600};
  ViewDrag drag_;
  DisplayListTable lists_;
};

TEST_F(DragTest, HalfTheHeightUpTurnsTheElevationByNinetyDegrees) {
  Drag(10, -300);
  EXPECT_EQ(w_.View.Elevation, 135);
  EXPECT_EQ(drag_.LastStep, 36);
  EXPECT_EQ(drag_.LastAxis, 2);
  EXPECT_EQ(drag_.LastTime, 5000u);
  EXPECT_DOUBLE_EQ(w_.View.ElevationCos, std::cos(135 * kPi / 180));
  EXPECT_TRUE(lists_.NeedsRebuild(kListOverlay));
  EXPECT_EQ(w_.Camera.RedrawRequested, 1);
  EXPECT_EQ(drag_.OriginX, 110);
  EXPECT_EQ(drag_.OriginY, -200);
}

TEST_F(DragTest, TwoPixelsWaitAndTheThirdAppliesAllThree) {
  SetViewSize(w_.Camera, 800, 100);  // 3 pixels of 50 make two steps
  Drag(0, 2);
  EXPECT_EQ(w_.View.Elevation, 45);
  EXPECT_EQ(drag_.OriginX, 100);
  EXPECT_EQ(drag_.OriginY, 100);
  EXPECT_EQ(w_.Camera.RedrawRequested, 0);
  EXPECT_EQ(drag_.LastTime, 5000u);  // the move is still timed
  Drag(0, 3);
  EXPECT_EQ(w_.View.Elevation, 40);  // down: two steps of -2.5
  EXPECT_EQ(drag_.LastStep, -2);
  EXPECT_EQ(drag_.OriginY, 103);
}

TEST_F(DragTest, SlowMovesGatherUntilAStepIsDue) {
  Drag(0, -4);  // 4 x 36 / 300 rounds to no step
  EXPECT_EQ(w_.View.Elevation, 45);
  EXPECT_EQ(drag_.OriginY, 100);
  Drag(0, -5);
  EXPECT_EQ(w_.View.Elevation, 47.5);
}

TEST_F(DragTest, SeenFromBelowTheAzimuthTurnsTheOtherWay) {
  struct Case {
    double elevation, azimuth;
    int32_t dx;
    double expected;
  } cases[] = {
      {100, 315, 50, 337.5},  // 50 x 72 / 400 + 0.5: 9 steps
      {200, 315, 50, 292.5},
      {200, 315, -50, 337.5},
      {100, 350, 50, 12.5},   // past 360
      {100, 10, -50, 347.5},  // below 0
      {200, 0, 50, 337.5},    // turned back below 0: kept within a turn
  };
  for (const Case& c : cases) {
    w_.View.Elevation = c.elevation;
    w_.View.Azimuth = c.azimuth;
    Drag(c.dx, 0);
    EXPECT_EQ(w_.View.Azimuth, c.expected) << c.elevation << " " << c.azimuth << " " << c.dx;
    EXPECT_EQ(drag_.LastAxis, 1);
    EXPECT_EQ(w_.View.Elevation, c.elevation);
  }
}

// An elevation that reaches 360 is 0, the view from above, where the
// azimuth drag turns the same way as at 0.
TEST_F(DragTest, AnElevationOfAFullTurnIsZero) {
  w_.View.Elevation = 357.5;
  Drag(0, -5);
  EXPECT_EQ(w_.View.Elevation, 0);
  w_.View.Elevation = 1;
  Drag(0, 10);  // -1 step
  EXPECT_EQ(w_.View.Elevation, 358.5);
}

TEST_F(DragTest, ZoomDragsZoomInToTheRightAndDown) {
  Drag(40, 10, kDragZoom);  // 1.1 ^ (20 x 40 / 400)
  EXPECT_NEAR(w_.Camera.Zoom, 1.21, 1e-12);
  EXPECT_EQ(drag_.LastTime, 0u);
  Drag(5, -30, kDragZoom);  // 1.1 ^ (20 x -30 / 300)
  EXPECT_NEAR(w_.Camera.Zoom, 1.0, 1e-12);
  Drag(0, 15, kDragZoom);
  EXPECT_NEAR(w_.Camera.Zoom, 1.1, 1e-12);
}

// A pan drag carries the view with the cursor: a point at the view centre's
// depth follows it pixel for pixel, in both projections and turned
// machines.
TEST_F(DragTest, APanDragMovesTheViewWithTheCursor) {
  for (int32_t perspective : {0, 1}) {
    for (int32_t code : {0, 31}) {
      w_.View.Perspective = perspective;
      w_.Orientation = code;
      w_.Camera.Zoom = 2.5;
      w_.Camera.Centre = {0.1, 0.2, -0.05};
      const Vec3 p = {50, 100, -25};  // the centre, in model units
      const WindowPoint before = ModelToWindow(w_.View, w_.Camera, code, p);
      Drag(37, -21, kDragPan);
      const WindowPoint after = ModelToWindow(w_.View, w_.Camera, code, p);
      const std::string what = std::to_string(perspective) + " " + std::to_string(code);
      EXPECT_NEAR(after.X - before.X, 37, 1e-9) << what;
      EXPECT_NEAR(after.Y - before.Y, -21, 1e-9) << what;
      EXPECT_EQ(drag_.LastTime, 0u);
    }
  }
}

TEST(ZoomViewStep, StepsOfOnePointOne) {
  ViewCamera camera;
  ZoomViewStep(camera, -2);
  EXPECT_NEAR(camera.Zoom, 1 / 1.21, 1e-15);
  EXPECT_EQ(camera.RedrawRequested, 1);
  ZoomViewStep(camera, 3);
  EXPECT_NEAR(camera.Zoom, 1.1, 1e-15);
  ZoomViewStep(camera, 0);
  EXPECT_NEAR(camera.Zoom, 1.1, 1e-15);
}

class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w_.MakeBox({0, 0, 0, 100, 80, 30}, 1.0);
    w_.TopView({50, 40, 15});
  }
  ViewWorld w_;
};

TEST_F(CursorTest, TheCentreMovesToTheWorkpiecePointUnderTheCursor) {
  Vec3 centre = w_.Camera.Centre;
  ASSERT_EQ(CursorToModelAt(w_.Scene(), w_.PixelOf({20, 30, 30}), 0, centre), 1);
  EXPECT_EQ(centre, (Vec3{20.0 / 500, 30.0 / 500, 30.0 / 500}));
}

TEST_F(CursorTest, OffTheWorkpieceOnlyTheFallbackMovesTheCentre) {
  const ClientPoint away{700, 20};
  Vec3 centre = w_.Camera.Centre;
  EXPECT_EQ(CursorToModelAt(w_.Scene(), away, 0, centre), 0);
  EXPECT_EQ(centre, w_.Camera.Centre);
  EXPECT_EQ(CursorToModelAt(w_.Scene(), away, 1, centre), 0);
  // The new centre lies where the cursor was.
  const Vec3 model{centre[0] * 500, centre[1] * 500, centre[2] * 500};
  const WindowPoint at = ModelToWindow(w_.View, w_.Camera, 0, model);
  EXPECT_NEAR(at.X, 700, 1e-9);
  EXPECT_NEAR(at.Y, 20, 1e-9);
}

TEST_F(CursorTest, ACursorOutsideTheViewChangesNothing) {
  for (const ClientPoint cursor : {ClientPoint{-1, 10}, ClientPoint{801, 10}, ClientPoint{10, 601}}) {
    Vec3 centre = w_.Camera.Centre;
    EXPECT_EQ(CursorToModel(w_.Scene(), cursor, 1, centre), 0);
    EXPECT_EQ(centre, w_.Camera.Centre);
  }
  // The edges belong to the view.
  Vec3 centre = w_.Camera.Centre;
  CursorToModel(w_.Scene(), {800, 600}, 1, centre);
  EXPECT_NE(centre, w_.Camera.Centre);
}

TEST(UpdateViewCentre, TheFirstSourceGivenWins) {
  struct Case {
    const char* name;
    bool controller, machine, settings, work;
    int32_t selected;
    Vec3 expected;
  } cases[] = {
      {"controller", true, true, true, true, 1, {1, 2, 3}},
      {"machine", false, true, true, true, 1, {4, 5, 6}},
      {"settings", false, false, true, true, 1, {7, 8, 9}},
      {"workpiece", false, false, false, true, 1, {50, 40, 15}},
      {"offsets", false, false, false, false, 2, {110, 220, 330}},
      {"external offset alone", false, false, false, false, 0, {10, 20, 30}},
      {"selection outside the table", false, false, false, false, 500, {10, 20, 30}},
  };
  for (const Case& c : cases) {
    Definitions defs;
    defs.Controller.ViewCentre = {1, 2, 3};
    defs.Controller.ViewCentreGiven = c.controller;
    defs.Machine.ViewCentre = {4, 5, 6};
    defs.Machine.ViewCentreGiven = c.machine;
    OffsetMemory offsets;
    offsets.WorkOffsets[0] = {10, 20, 30, 0, 0};
    offsets.WorkOffsets[2] = {100, 200, 300, 0, 0};
    offsets.SelectedWorkOffset = c.selected;
    ViewWorld w;
    w.View.ViewCentre = {7, 8, 9};
    w.View.FixedViewCentre = c.settings;
    if (c.work) w.MakeBox({0, 0, 0, 100, 80, 30}, 5.0);
    // The table moves along X and stands at -10.
    w.Display.Shift = {-10, 0, 0};
    UpdateViewCentre(defs, offsets, w.View, w.Work, w.Display, w.Camera);
    const Vec3 expected{(c.expected[0] - 10) / 500, c.expected[1] / 500, c.expected[2] / 500};
    EXPECT_EQ(w.Camera.Centre, expected) << c.name;
  }
}

}  // namespace
}  // namespace vestan
