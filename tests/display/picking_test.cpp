#include "display/picking.h"

#include <gtest/gtest.h>

#include <vector>

#include "display/measuring.h"
#include "view_world.h"

namespace vestan {
namespace {

using testing::ViewWorld;

TEST(PickRadius, SevenTenthsOfACellAcrossTheWidthWithinOnePixelAndTheHeight) {
  struct Case {
    int32_t width, height;
    double zoom;
    int32_t cells;
    double radius;
  } cases[] = {
      {800, 600, 1.0, 100, 5.6},      // 800 x 0.7 / 100
      {800, 600, 1.0, 100000, 1.0},   // never below a pixel
      {40, 3, 50.0, 2, 3.0},          // never above the view's height
      {800, 600, 2.5, 200, 7.0},
  };
  for (const Case& c : cases) {
    ViewCamera camera;
    SetViewSize(camera, c.width, c.height);
    camera.Zoom = c.zoom;
    DexelModel model;
    model.CountX = 2;
    model.CountY = c.cells;
    model.CountZ = 3;
    EXPECT_NEAR(PickRadius(camera, model), c.radius, 1e-12) << c.cells;
  }
}

class PickingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w_.MakeBox({0, 0, 0, 100, 80, 30}, 1.0);
    w_.TopView({50, 40, 15});
  }
  ViewWorld w_;
};

TEST_F(PickingTest, TheNearestCandidateIsTheCornerUnderTheCursor) {
  // From azimuth 315 and elevation 45 the top corner at +X, -Y is the one
  // nearest the eye.
  w_.View.Azimuth = 315;
  w_.View.Elevation = 45;
  UpdateViewAngleTrig(w_.View);
  const Vec3 corner{100, 0, 30};
  PickCandidates candidates;
  CollectWorkPickCandidates(w_.Scene(), w_.PixelOf(corner), candidates);
  ASSERT_GT(candidates.Count(), 0u);
  ASSERT_LT(candidates.Count(), kMaxWorkPickHits);
  EXPECT_EQ(candidates.Attributes.size(), candidates.Count());
  Vec3 point;
  PickSource source;
  ASSERT_EQ(PickNearestWorkPoint(w_.Scene(), w_.PixelOf(corner), point, source), 1);
  EXPECT_EQ(point, corner);
  // Found first in the Z set: column (100, 0), its top value.
  EXPECT_EQ(source.Set, 2);
  EXPECT_EQ(source.First, 100);
  EXPECT_EQ(source.Second, 0);
  EXPECT_EQ(source.Column, 100);
  EXPECT_EQ(source.Value, 1);
  // Far from the box nothing is near.
  EXPECT_EQ(PickNearestWorkPoint(w_.Scene(), {2, 2}, point, source), 0);
}

TEST_F(PickingTest, PickingTheSamePointTwiceChangesNothing) {
  const Vec3 corner{20, 30, 30};
  PickState state;
  const PickRequest request{kMouseModeMeasure, false, {}};
  ASSERT_EQ(PickPointOnWork(w_.Scene(), request, w_.PixelOf(corner), state), 1);
  EXPECT_EQ(state.Point, corner);
  EXPECT_EQ(state.IndicatorState, 2);
  state.IndicatorState = 1;  // the scene built the indicator
  EXPECT_EQ(PickPointOnWork(w_.Scene(), request, w_.PixelOf(corner), state), 1);
  EXPECT_EQ(state.IndicatorState, 1);
  EXPECT_EQ(PickPointOnWork(w_.Scene(), request, {1, 1}, state), 0);
  EXPECT_EQ(state.Point, corner);
}

// The picked point starts at the origin; a first pick there is still a new
// point to show.
TEST(Picking, AFirstPickAtTheOriginIsShown) {
  ViewWorld w;
  w.MakeBox({0, 0, -30, 100, 80, 0}, 1.0);
  w.TopView({50, 40, -15});
  PickState state;
  ASSERT_EQ(PickPointOnWork(w.Scene(), {}, w.PixelOf({0, 0, 0}), state), 1);
  EXPECT_EQ(state.Point, (Vec3{0, 0, 0}));
  EXPECT_EQ(state.IndicatorState, 2);
}

TEST_F(PickingTest, AnAxisLockAdmitsOnlyPointsOnThePickedCoordinate) {
  PickState state;
  ASSERT_EQ(PickPointOnWork(w_.Scene(), {}, w_.PixelOf({50, 0, 30}), state), 1);
  ASSERT_EQ(state.Point, (Vec3{50, 0, 30}));
  // With X locked, a pick at (55, 4, 30) takes the nearest point on X = 50.
  PickRequest locked;
  locked.AxisLocks = {1, 0, 0};
  ASSERT_EQ(PickPointOnWork(w_.Scene(), locked, w_.PixelOf({55, 4, 30}), state), 1);
  EXPECT_EQ(state.Point, (Vec3{50, 4, 30}));
  // Nothing on that coordinate near the cursor: no pick.
  EXPECT_EQ(PickPointOnWork(w_.Scene(), locked, w_.PixelOf({100, 80, 30}), state), 0);
}

TEST_F(PickingTest, APlacedModelIsPickedWhereItIsPlaced) {
  // The box turned a quarter about Z and moved by (200, 0, 0).
  DexelModel& model = w_.Work.Workpiece();
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 200, 0, 0};
  model.Placed = 1;
  Vec3 point;
  PickSource source;
  // Grid point (100, 80, 30) lies at (200 - 80, 100, 30).
  ASSERT_EQ(PickNearestWorkPoint(w_.Scene(), w_.PixelOf({120, 100, 30}), point, source), 1);
  EXPECT_EQ(point, (Vec3{120, 100, 30}));
}

TEST(Picking, TheMeasureModeWithShiftPicksTheVices) {
  ViewWorld w;
  w.MakeBox({0, 0, 0, 100, 80, 30}, 1.0);
  w.TopView({0, 0, 0});
  std::vector<StructureMesh> vices(2);
  vices[1].Triangles.push_back({0, 0, 1, -50, -50, 0, -40, -50, 0, -50, -40, 0});
  PickState state;
  PickRequest request{kMouseModeMeasure, true, {}};
  ASSERT_EQ(PickPointOnWork(w.Scene(vices), request, w.PixelOf({-40, -50, 0}), state), 1);
  EXPECT_EQ(state.Point, (Vec3{-40, -50, 0}));
  EXPECT_EQ(state.Attribute, 0);
  // Without Shift the workpiece is picked, and nothing of it is there.
  request.ShiftDown = false;
  EXPECT_EQ(PickPointOnWork(w.Scene(vices), request, w.PixelOf({-40, -50, 0}), state), 0);
  // Without a workpiece the measure mode picks the vices, Shift or not.
  w.Work.WorkPresent = 0;
  EXPECT_EQ(PickPointOnWork(w.Scene(vices), request, w.PixelOf({-50, -40, 0}), state), 1);
  EXPECT_EQ(state.Point, (Vec3{-50, -40, 0}));
}

// A small, finely gridded workpiece puts more values under the cursor than
// the collection keeps: it stops at the limit, in the Z set's column order.
TEST(Picking, CollectionStopsAtItsLimit) {
  ViewWorld w;
  w.MakeBox({0, 0, 0, 4, 4, 4}, 0.02);
  w.Camera.Zoom = 1;
  PickCandidates candidates;
  CollectWorkPickCandidates(w.Scene(), w.PixelOf({2, 2, 4}), candidates);
  EXPECT_EQ(candidates.Count(), kMaxWorkPickHits);
  EXPECT_EQ(candidates.Sources.back().Set, 2);
}

}  // namespace
}  // namespace vestan
