#include "display/measuring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vestan {
namespace {

// The circumradius |ab| |bc| |ca| / (2 |ab x ac|), with the coordinate of
// the plane left out.
double Circumradius(int32_t plane, Vec3 a, Vec3 b, Vec3 c) {
  if (plane >= 0) a[plane] = b[plane] = c[plane] = 0;
  const Vec3 ab = VectorSub(b, a), bc = VectorSub(c, b), ca = VectorSub(a, c);
  return VectorLength(ab) * VectorLength(bc) * VectorLength(ca) /
         (2 * VectorLength(VectorCross(ab, VectorSub(c, a))));
}

TEST(CircleRadiusThroughPoints, AgreesWithTheCircumradius) {
  struct Case {
    Vec3 a, b, c;
  } cases[] = {
      {{10, 0, 0}, {0, 10, 0}, {-10, 0, 0}},          // a circle of 10 about the origin
      {{1, 2, 3}, {4, -1, 7}, {-2, 5, 0.5}},          // in space
      {{100, 0, 5}, {0, 100, -5}, {-100, 0, 20}},     // on a slope
      {{0, 0, 0}, {0.1, 0.3, 0}, {0.4, 0.2, 0.05}},   // small
      {{250, 30, -12}, {-400, 17, 88}, {3, 900, 1}},  // large
  };
  for (const Case& c : cases)
    for (int32_t plane : {kInSpace, kPlaneYZ, kPlaneZX, kPlaneXY}) {
      const double want = Circumradius(plane, c.a, c.b, c.c);
      const double got = CircleRadiusThroughPoints(plane, c.a, c.b, c.c);
      // A circle of 10 about the origin is a line seen along X or Y.
      if (!std::isfinite(want))
        EXPECT_EQ(got, kCollinearRadius) << "plane " << plane << " a " << c.a[0];
      else
        EXPECT_NEAR(got, want, want * 1e-9) << "plane " << plane << " a " << c.a[0];
    }
  EXPECT_NEAR(CircleRadiusThroughPoints(kInSpace, {10, 0, 0}, {0, 10, 0}, {-10, 0, 0}), 10,
              1e-12);
}

TEST(CircleRadiusThroughPoints, PointsOnALineHaveNoCircle) {
  const Vec3 a{0, 0, 0}, b{1, 2, 3}, c{2, 4, 6};
  for (int32_t plane : {kInSpace, kPlaneYZ, kPlaneZX, kPlaneXY})
    EXPECT_EQ(CircleRadiusThroughPoints(plane, a, b, c), kCollinearRadius) << plane;
  // Seen along Z these three points lie on a line, though not in space.
  const Vec3 p{0, 0, 0}, q{1, 1, 5}, r{2, 2, 0};
  EXPECT_EQ(CircleRadiusThroughPoints(kPlaneXY, p, q, r), kCollinearRadius);
  EXPECT_LT(CircleRadiusThroughPoints(kInSpace, p, q, r), kCollinearRadius);
  // Nearly on a line: below the elimination's threshold counts as on it.
  EXPECT_EQ(CircleRadiusThroughPoints(kInSpace, {0, 0, 0}, {1, 0.0004, 0}, {2, 0, 0}),
            kCollinearRadius);
}

TEST(RecordMeasurePoint, TheMeasureModeCountsStepsAndRadii) {
  MeasuredPointList list;
  EXPECT_EQ(RecordMeasurePoint(list, {10, 0, 0}, kMouseModeMeasure, true).Measure, true);
  EXPECT_EQ(list.Count, 1);
  EXPECT_EQ(list.Distance, 0);
  RecordMeasurePoint(list, {0, 10, 0}, kMouseModeMeasure, true);
  EXPECT_EQ(list.Step, (Vec3{-10, 10, 0}));
  EXPECT_NEAR(list.Distance, std::sqrt(200.0), 1e-12);
  EXPECT_EQ(list.SpaceRadius, 0);
  RecordMeasurePoint(list, {-10, 0, 0}, kMouseModeMeasure, true);
  EXPECT_EQ(list.Count, 3);
  EXPECT_NEAR(list.SpaceRadius, 10, 1e-12);
  EXPECT_NEAR(list.PlaneRadii[kPlaneXY], 10, 1e-12);
  EXPECT_EQ(list.PlaneRadii[kPlaneYZ], kCollinearRadius);  // X left out: all on the Y axis
  EXPECT_EQ(list.Flags[2], 1);
  EXPECT_EQ(list.Points[2], (Vec3{-10, 0, 0}));
}

TEST(RecordMeasurePoint, OtherModesOverwriteThePointAfterTheList) {
  MeasuredPointList list;
  RecordMeasurePoint(list, {1, 2, 3}, kMouseModeMeasure, true);
  const MeasureRepaint repaint = RecordMeasurePoint(list, {4, 5, 6}, 5, true);
  EXPECT_TRUE(repaint.Block);
  EXPECT_FALSE(repaint.Measure);
  RecordMeasurePoint(list, {7, 8, 9}, 5, true);
  EXPECT_EQ(list.Count, 1);
  EXPECT_EQ(list.Points[1], (Vec3{7, 8, 9}));
  EXPECT_EQ(list.Distance, 0);
  // With nothing to pick on nothing happens.
  EXPECT_FALSE(RecordMeasurePoint(list, {0, 0, 0}, kMouseModeMeasure, false).Block);
  EXPECT_EQ(list.Points[1], (Vec3{7, 8, 9}));
}

TEST(RecordMeasurePoint, AFullListKeepsItsPoints) {
  MeasuredPointList list;
  list.Count = kMaxMeasuredPoints - 1;
  RecordMeasurePoint(list, {1, 1, 1}, kMouseModeMeasure, true);
  EXPECT_EQ(list.Count, kMaxMeasuredPoints);
  const MeasureRepaint repaint = RecordMeasurePoint(list, {2, 2, 2}, kMouseModeMeasure, true);
  EXPECT_TRUE(repaint.Measure);  // the cells are still repainted
  EXPECT_EQ(list.Count, kMaxMeasuredPoints);
  EXPECT_EQ(list.Points.back(), (Vec3{1, 1, 1}));
}

}  // namespace
}  // namespace vestan
