#include "model/tool_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "model/tool_world.h"

namespace vestan {
namespace {

using namespace vestan::testing;  // fixture tool numbers
using Points = std::vector<std::pair<double, double>>;

struct ToolProfileTest : ::testing::Test, ToolWorld {
  void ExpectOutline(const Points& expected, const std::string& what) {
    const Points got = Outline();
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].first, expected[i].first, 1e-6) << what << " point " << i;
      EXPECT_NEAR(got[i].second, expected[i].second, 1e-6) << what << " point " << i;
    }
  }
  void ExpectCounts(int32_t cut, int32_t shankEnd, int32_t points, const std::string& what) {
    EXPECT_EQ(Profile.CutCount, cut) << what;
    EXPECT_EQ(Profile.ShankEndCount, shankEnd) << what;
    EXPECT_EQ(Profile.PointCount, points) << what;
  }
};

TEST_F(ToolProfileTest, FlatToolWithoutShankOrArbor) {
  ReadFixtureTable();
  Kinematics.ToolHolderOffset = 100;
  Set(kFlatTool);  // FLAT 10,25
  ExpectOutline({{0, 0}, {5, 0}, {5, 25}, {5, 30}}, "flat");
  ExpectCounts(3, 4, 4, "flat");
  EXPECT_EQ(Profile.AngleSteps, 36);
  EXPECT_EQ(Profile.SurfacePointCount, 144);
  EXPECT_EQ(Profile.ProfileHeight, 30.0);
  EXPECT_EQ(Position.ReferenceLength, 130.0);
  for (DisplayList list : kSlideAndHeadLists) EXPECT_TRUE(Display.NeedsRebuild(list)) << list;
}

TEST_F(ToolProfileTest, BallArcStepsFollowThePitch) {
  ReadFixtureTable();
  struct Case {
    double pitch;
    int steps;
  } cases[] = {{10, 5}, {1, 5}, {0.6, 8}, {0.5, 10}, {0.001, 10}, {0, 10}};
  for (const Case& c : cases) {
    Pitch.WorkPitch = c.pitch;
    Set(kBallTool);  // radius 5, L 25, LENGTH 50
    const std::string what = "pitch " + std::to_string(c.pitch);
    ExpectCounts(c.steps + 2, c.steps + 3, c.steps + 3, what);
    const double x = 5.0 / c.steps;
    EXPECT_NEAR(Profile.Radius[1], x, 1e-12) << what;
    EXPECT_NEAR(Profile.Height[1], 5.0 - std::sqrt(25.0 - x * x), 1e-12) << what;
    EXPECT_EQ(Profile.Radius[c.steps], 5.0) << what;  // exactly the arc's top
    EXPECT_EQ(Profile.Height[c.steps], 5.0) << what;
    EXPECT_EQ(Profile.ProfileHeight, 50.0) << what;
  }
}

struct OutlineCase {
  int32_t tool;
  Points points;
  int32_t cut, shankEnd, count;
};

// Outlines of the fixture tools at a pitch of 1, worked out by hand.
TEST_F(ToolProfileTest, OutlinesOfTheFixtureTools) {
  ReadFixtureTable();
  auto oval = [](double x) { return (1 - std::sqrt(1 - x * x / 64)) * 4; };
  const double ovalTop = 4 - std::sqrt(39.0) / 2;  // oval(5): the ellipse meets the side
  // RADIUS 20,5,3: Rc = D/2 - R - sqrt(R^2 - (R - H)^2), stored as a float.
  const double radiusTip = static_cast<float>(5 - std::sqrt(21.0));
  // LENGTH3 forms: a neck cone of 10 degrees over the transition length 5.
  const double neckCone = 5 * std::tan(10 * kPi / 180);
  auto radiusArc = [](double k) { return (1 - std::sqrt(1 - (5 - k) * (5 - k) / 25)) * 5; };
  // SPHERE 6,4: the ball of 3 about (0, 3), in five steps each way.
  Points spherePoints{{0, 0}};
  for (double x : {0.6, 1.2, 1.8, 2.4, 3.0}) spherePoints.push_back({x, 3 - std::sqrt(9 - x * x)});
  for (double x : {2.8, 2.6, 2.4, 2.2, 2.0}) spherePoints.push_back({x, 3 + std::sqrt(9 - x * x)});
  spherePoints.insert(spherePoints.end(), {{2, 30}, {2, 45}});
  const OutlineCase cases[] = {
      // Bull: corner arc in 5 steps, neck of 8 up to the holder, two steps.
      {kBullTool,
       {{0, 0},
        {4, 0},
        {4.4, 2 - std::sqrt(3.84)},
        {4.8, 2 - std::sqrt(3.36)},
        {5.2, 0.4},
        {5.6, 0.8},
        {6, 2},
        {6, 30},
        {4, 30},
        {4, 60},
        {4, 60},
        {15, 60},
        {15, 80},
        {20, 80},
        {20, 110}},
       8,
       11,
       15},
      // Drill: 30 degree cone (4 tan 30 = 4 / sqrt 3), LENGTH2 shank, ARBOR2
      // gives only step tops.
      {kDrillTool,
       {{0, 0}, {4, 4 / std::sqrt(3.0)}, {4, 35}, {4, 35}, {6, 40}, {6, 70}, {16, 95}},
       3,
       6,
       7},
      // Vertical: LENGTH3 cones (the shank's at 45 degrees rises as much as it
      // widens), ARBOR3 with a conical first step.
      {kVerticalTool,
       {{0, 0},
        {3, 0},
        {5, 0},
        {5, 20},
        {5, 30},
        {5 + neckCone, 35},
        {8, 35 + (8 - (5 + neckCone))},
        {8, 80},
        {10, 80},
        {12.5, 110},
        {12.5, 150},
        {20, 150}},
       4,
       8,
       12},
      // Oval wider than the tool: ellipse, two join points, LENGTH3A shank.
      {kOvalTool,
       {{0, 0},
        {1, oval(1)},
        {2, oval(2)},
        {3, oval(3)},
        {4, oval(4)},
        {5, oval(5)},
        {5, ovalTop},
        {5, ovalTop},
        {5, 35},
        {5, 35},
        {5, 40},
        {7, 42},
        {7, 70}},
       12,
       13,
       13},
      // T-throw: corner arc, blade flat, lower arc, step in to the neck.
      {kTThrowTool,
       {{0, 0},
        {9, 0},
        {9.2, 1 - std::sqrt(0.96)},
        {9.4, 1 - std::sqrt(0.84)},
        {9.6, 0.2},
        {9.8, 0.4},
        {10, 1},
        {10, 2},
        {9.8, 2.6},
        {9.6, 2.8},
        {9.4, 2 + std::sqrt(0.84)},
        {9.2, 2 + std::sqrt(0.96)},
        {9, 3},
        {4, 3},
        {4, 40}},
       14,
       15,
       15},
      // Radius mill: the tip flat at Ht, then the arc points outside Rc.
      {kRadiusTool,
       {{0, 3},
        {radiusTip, 3},
        {1, 2},
        {2, 1},
        {3, radiusArc(3)},
        {4, radiusArc(4)},
        {5, 0},
        {6, radiusArc(6)},
        {7, radiusArc(7)},
        {8, 1},
        {9, 2},
        {10, 5},
        {10, 30}},
       12,
       13,
       13},
      // The ball's upper half back in to the neck of 2, the neck up to 5 D.
      {kSphereTool, spherePoints, 12, 13, 13},
      // LENGTH3A without shank angle: a flat shoulder at N + T.
      {kNoShankAngleTool,
       {{0, 0}, {6, 0}, {6, 35}, {6, 35}, {6 + neckCone, 40}, {8, 40}, {8, 70}},
       6,
       7,
       7},
  };
  for (const OutlineCase& c : cases) {
    const std::string what = "tool " + std::to_string(c.tool);
    Set(c.tool);
    ExpectOutline(c.points, what);
    ExpectCounts(c.cut, c.shankEnd, c.count, what);
    EXPECT_EQ(Profile.ProfileHeight, c.points.back().second) << what;
  }
}

TEST_F(ToolProfileTest, RadiusPointsInsideTheTipFlatAreSkipped) {
  ToolRecord& radius = Table.Records[1];
  radius.Defined = 1;
  radius.Kind = kToolRadius;
  radius.Diameter = 20;
  radius.CornerRadius = 5;
  radius.CuttingLength = 5;
  struct Case {
    float tipHeight, centreRadius;
    int arcPoints;
  } cases[] = {{10, 0, 10}, {3, 0.41742429f, 10}, {0.2f, 3.6f, 7}, {0, 5, 5}};
  for (const Case& c : cases) {
    radius.TipHeight = c.tipHeight;
    radius.CornerCentreRadius = c.centreRadius;
    Set(1);
    const int tipPoints = c.tipHeight > 5 ? 2 : 1;
    EXPECT_EQ(Profile.CutCount, 1 + tipPoints + c.arcPoints) << c.tipHeight;
    EXPECT_GT(Profile.Radius[1 + tipPoints], c.centreRadius) << c.tipHeight;
  }
}

TEST_F(ToolProfileTest, RadiusWithoutArcHasNoArcPoints) {
  // A radius tool given no radius (from a dialog or a plug-in, not a table):
  // the arc is empty and no height is 0/0.
  ToolRecord& radius = Table.Records[1];
  radius.Defined = 1;
  radius.Kind = kToolRadius;
  radius.Diameter = 20;
  radius.CornerRadius = 0;
  radius.TipHeight = 3;
  radius.CornerCentreRadius = 2;
  radius.CuttingLength = 5;
  Set(1);
  for (int i = 0; i < Profile.PointCount; ++i) {
    EXPECT_FALSE(std::isnan(Profile.Radius[i])) << i;
    EXPECT_FALSE(std::isnan(Profile.Height[i])) << i;
  }
}

TEST_F(ToolProfileTest, OvalNoWiderThanTheToolHasNoJoinPoints) {
  ToolRecord& oval = Table.Records[1];
  oval.Defined = 1;
  oval.Kind = kToolOval;
  oval.Diameter = 10;
  oval.TipHeight = 3;
  oval.CuttingLength = 20;
  for (float rc : {4.0f, 5.0f}) {
    oval.CornerCentreRadius = rc;
    Set(1);
    // Five ellipse points (pitch 1), then the cutting length.
    EXPECT_EQ(Profile.CutCount, 7) << rc;
    EXPECT_EQ(Profile.Radius[5], 5.0) << rc;
    EXPECT_EQ(Profile.Height[5], 3.0) << rc;
    EXPECT_EQ(Profile.Height[6], 20.0) << rc;
  }
  EXPECT_NEAR(Profile.Height[1], (1 - std::sqrt(1 - 1.0 / 25)) * 3, 1e-12);
}

TEST_F(ToolProfileTest, BoxesOfToolAndArbor) {
  ReadFixtureTable();
  // A longer outline first: without an arbor the tool box must stop at the
  // flat tool's last point, not read the point after it.
  Set(kVerticalTool);
  Set(kFlatTool);
  EXPECT_NEAR(Profile.ToolBoxMin[0], -5, 1e-12);
  EXPECT_NEAR(Profile.ToolBoxMin[1], -5, 1e-12);
  EXPECT_EQ(Profile.ToolBoxMin[2], 0.0);
  EXPECT_EQ(Profile.ToolBoxMax[0], 5.0);
  EXPECT_NEAR(Profile.ToolBoxMax[1], 5, 1e-12);
  EXPECT_EQ(Profile.ToolBoxMax[2], 30.0);
  EXPECT_EQ(Profile.ToolCorners[0], Profile.ToolBoxMin);
  EXPECT_EQ(Profile.ToolCorners[7], Profile.ToolBoxMax);
  EXPECT_EQ(Profile.ToolCorners[1], (Vec3{Profile.ToolBoxMax[0], Profile.ToolBoxMin[1], 0}));
  EXPECT_EQ(Profile.ArborBoxMin[2], 1e9);  // no arbor points

  // With an arbor the tool box reaches the first arbor point.
  Set(kVerticalTool);
  EXPECT_EQ(Profile.ToolBoxMax[0], 10.0);
  EXPECT_EQ(Profile.ToolBoxMax[2], 80.0);
  EXPECT_EQ(Profile.ArborBoxMin[2], 80.0);
  EXPECT_EQ(Profile.ArborBoxMax[0], 20.0);
  EXPECT_EQ(Profile.ArborBoxMax[2], 150.0);
  EXPECT_EQ(Profile.ArborCorners[7], Profile.ArborBoxMax);
  EXPECT_EQ(Profile.ArborCorners[0], Profile.ArborBoxMin);
}

TEST_F(ToolProfileTest, RevolvedPointsTurnWithTheAngleHead) {
  ReadFixtureTable();
  Kinematics.ToolDirectionInUse = 1;
  struct Case {
    double a, b, c;
    Vec3 top;  // outline point (5, 30) at angle step 0
  } cases[] = {
      {0, 0, 90, {5, 0, 30}},  // a turn without a tilt is not applied
      {90, 0, 0, {5, -30, 0}},
      {0, -90, 0, {-30, 0, 5}},
      {90, 0, 90, {30, 5, 0}},
  };
  for (const Case& c : cases) {
    Kinematics.AngleHeadA = c.a;
    Kinematics.AngleHeadB = c.b;
    Kinematics.AngleHeadC = c.c;
    Set(kFlatTool);
    EXPECT_EQ(Profile.SurfacePoints[36 * 3], c.top) << c.a << " " << c.b << " " << c.c;
  }
  // The boxes hold the turned points: A = 90 lays the tool along -Y.
  Kinematics.AngleHeadA = 90;
  Kinematics.AngleHeadC = 0;
  Set(kFlatTool);
  EXPECT_EQ(Profile.ToolBoxMin[1], -30.0);
  EXPECT_NEAR(Profile.ToolBoxMax[1], 0.0, 1e-12);
  EXPECT_NEAR(Profile.ToolBoxMax[2], 5.0, 1e-12);
}

TEST_F(ToolProfileTest, ProfileHeightIsRoundedThroughAFloat) {
  ReadFixtureTable();
  Kinematics.ToolHolderOffset = 100;
  Set(kCutterTool);  // no shank: six times the envelope radius
  // The envelope radius: the 10 degree side widens by tan 10 over the cutting
  // length 40 above the 30 degree cone's corner at r = 5.
  const double deg = kPi / 180;
  const double height = 6 * (5 + std::tan(10 * deg) * (40 - 5 * std::tan(30 * deg)));
  EXPECT_NEAR(Profile.Height[Profile.PointCount - 1], height, 1e-9);
  EXPECT_EQ(Profile.ProfileHeight, static_cast<double>(static_cast<float>(height)));
  EXPECT_EQ(Position.ReferenceLength, 100.0 + Profile.ProfileHeight);
}

TEST_F(ToolProfileTest, ImportedMeshToolIsOnePointAtItsLength) {
  ReadFixtureTable();
  ToolRecord& tool = Table.Records[kImportTool];
  tool.CuttingLength = 10;  // as the mesh gives it
  Set(kImportTool);
  ExpectOutline({{3, 10}}, "no shank");
  ExpectCounts(1, 1, 1, "no shank");
  Table.Shanks[kImportTool].Kind = kShankLength;
  Table.Shanks[kImportTool].ProtrusionLength = 40;
  Set(kImportTool);
  ExpectOutline({{3, 10}, {3, 40}}, "with LENGTH");
  ExpectCounts(1, 2, 2, "with LENGTH");
}

TEST_F(ToolProfileTest, UndefinedToolHasNoReferenceLength) {
  CurrentTool tool;
  Position.ReferenceLength = 55;
  BuildToolProfile(tool, Kinematics, 1.0, Profile, Position, Display);
  EXPECT_EQ(Position.ReferenceLength, 0.0);
  tool.Tool.Kind = kToolImportedProfile;
  Position.ReferenceLength = 55;
  BuildToolProfile(tool, Kinematics, 1.0, Profile, Position, Display);
  EXPECT_EQ(Position.ReferenceLength, 0.0);
}

ProfileSegment Line(double x2, double y2, int32_t cls) {
  ProfileSegment s;
  s.Kind = 1;
  s.X2 = x2;
  s.Y2 = y2;
  s.Class = cls;
  return s;
}

ProfileSegment Arc(int32_t kind, double cx, double cy, double radius, double start, double end,
                   int32_t cls) {
  ProfileSegment s;
  s.Kind = kind;
  s.CentreX = cx;
  s.CentreY = cy;
  s.Radius = radius;
  s.StartAngle = start;
  s.EndAngle = end;
  s.X2 = cx + radius * std::cos(end * kPi / 180);
  s.Y2 = cy + radius * std::sin(end * kPi / 180);
  s.Class = cls;
  return s;
}

struct ImportedProfileTest : ToolProfileTest {
  ToolRecord& Tool() { return Table.Records[1]; }
  void Outline(std::vector<ProfileSegment> segments) {
    ToolRecord& t = Tool();
    t.Defined = 1;
    t.Kind = kToolImportedProfile;
    t.Diameter = 14;
    t.CuttingLength = 20;
    t.ProfileCount = t.CuttingSegmentCount = static_cast<int32_t>(segments.size());
    t.ProfileSegments = std::move(segments);
  }
};

TEST_F(ImportedProfileTest, GroupsByClass) {
  Outline({Line(5, 0, 1), Arc(3, 5, 2, 2, -90, 0, 1), Line(7, 20, 1), Line(4, 20, 2),
           Line(4, 40, 2), Line(12, 40, 3), Line(12, 70, 3)});
  Set(1);
  ExpectCounts(13, 15, 17, "classes 1, 2, 3");
  EXPECT_NEAR(Profile.Radius[2], 5 + 2 * std::cos(-81 * kPi / 180), 1e-12);
  EXPECT_NEAR(Profile.Height[2], 2 + 2 * std::sin(-81 * kPi / 180), 1e-12);
  EXPECT_EQ(Profile.Radius[11], 7.0);  // the arc's end point
  EXPECT_EQ(Profile.ProfileHeight, 70.0);
  EXPECT_EQ(Profile.ToolBoxMax[2], 40.0);
  EXPECT_EQ(Profile.ArborBoxMin[2], 40.0);

  // Arbor segments before any shank segment stay in the cutting part.
  Outline({Line(5, 0, 1), Line(5, 20, 3), Line(8, 20, 3), Line(8, 30, 2)});
  Set(1);
  ExpectCounts(4, 5, 5, "class 3 first");
  ExpectOutline({{0, 0}, {5, 0}, {5, 20}, {8, 20}, {8, 30}}, "class 3 first");
}

// A shank without arbor segments still belongs to the outline.
TEST_F(ImportedProfileTest, ShankWithoutArborIsCounted) {
  Outline({Line(5, 0, 1), Line(5, 20, 1), Line(4, 20, 2), Line(4, 40, 2)});
  Set(1);
  ExpectCounts(3, 5, 5, "no arbor");
  EXPECT_EQ(Profile.ToolBoxMax[2], 40.0);
  EXPECT_EQ(Profile.ProfileHeight, 40.0);
}

TEST_F(ImportedProfileTest, ArcSweepDirections) {
  struct Case {
    int32_t kind;
    double start, end, firstAngle;
  } cases[] = {
      {3, 0, 90, 9},       {3, 270, 0, 279},  // counter-clockwise across 0
      {2, 90, 0, 81},      {2, 0, 90, -27},   // clockwise the long way round
      {2, -90, -180, -99},
  };
  for (const Case& c : cases) {
    Outline({Arc(c.kind, 0, 10, 1, c.start, c.end, 1)});
    Set(1);
    EXPECT_EQ(Profile.CutCount, 11) << c.kind << " " << c.start;
    EXPECT_NEAR(Profile.Radius[1], std::cos(c.firstAngle * kPi / 180), 1e-12) << c.kind;
    EXPECT_NEAR(Profile.Height[1], 10 + std::sin(c.firstAngle * kPi / 180), 1e-12) << c.kind;
  }
}

TEST_F(ImportedProfileTest, NoSegmentsAndSkippedSegments) {
  Outline({});
  Set(1);
  ExpectOutline({{0, 0}}, "no segments");
  ExpectCounts(1, 1, 1, "no segments");
  ProfileSegment none = Line(9, 9, 1);
  none.Kind = 0;
  Outline({Line(5, 0, 1), none, Line(5, 20, 1)});
  Set(1);
  ExpectOutline({{0, 0}, {5, 0}, {5, 20}}, "kind 0 skipped");
  // Only the cutting part's segments are read.
  Tool().CuttingSegmentCount = 1;
  Set(1);
  ExpectCounts(2, 2, 2, "first segment");
  Tool().CuttingSegmentCount = 99;  // more than there are
  Set(1);
  ExpectCounts(3, 3, 3, "count beyond the segments");
}

TEST_F(ImportedProfileTest, OutlineStopsAtCapacity) {
  std::vector<ProfileSegment> segments;
  for (int i = 0; i < 60; ++i) segments.push_back(Line(5, i, 1));
  Outline(segments);
  Set(1);
  ExpectCounts(kProfileCapacity, kProfileCapacity, kProfileCapacity, "60 lines");
  EXPECT_EQ(Profile.DroppedPoints, 12);
  EXPECT_EQ(Profile.Height[kProfileCapacity - 1], 47.0);
  EXPECT_EQ(Profile.ProfileHeight, 47.0);

  // A shank and an arbor appended to a full cutting part are dropped too.
  Table.Shanks[1].Kind = kShankLength;
  Table.Shanks[1].ProtrusionLength = 80;
  ArborRecord& arbor = Table.Arbors[1];
  arbor.Present = 1;
  arbor.Form = kArborTriples;
  arbor.StepCount = kMaxArborSteps;
  for (int i = 0; i <= kMaxArborSteps; ++i) arbor.StepDiameter[i] = 20.0f + i;
  for (int i = 0; i < kMaxArborSteps; ++i) arbor.StepLength[i] = 10;
  segments.resize(40);
  Outline(segments);
  Set(1);
  EXPECT_EQ(Profile.CutCount, 41);
  EXPECT_EQ(Profile.ShankEndCount, 42);  // the holder face
  EXPECT_EQ(Profile.PointCount, kProfileCapacity);
  EXPECT_EQ(Profile.DroppedPoints, 1 + 2 * kMaxArborSteps - 7);
  EXPECT_EQ(Profile.SurfacePointCount, kProfileCapacity * 36);
}

}  // namespace
}  // namespace vestan
