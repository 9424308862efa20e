#include "model/current_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "model/tool_world.h"

namespace vestan {
namespace {

using testing::ToolWorld;
using namespace vestan::testing;  // fixture tool numbers

constexpr double kTol = 1e-9;

struct ToolChangeTest : ::testing::Test, ToolWorld {};

struct KindCase {
  int32_t tool;
  int32_t kind;
  double bottomRadius, arcCentreRadius, fullRadiusHeight, arcTopRadius, envelopeRadius;
  double neckRadius, shankRadius, neckTopHeight;
  float cuttingLength;  // after the set-up
};

// The derived values of every tool of the fixture table, worked out by hand
// from the table's dimensions.
TEST_F(ToolChangeTest, EveryKindOfTheFixtureTableSetsUp) {
  ReadFixtureTable();
  const double deg = kPi / 180;
  // TAPERBALL 2,45: D = 2R (sin a tan a - tan a + cos a) = 4 (sqrt 2 - 1),
  // stored as a float.
  const double taperR = static_cast<float>(4 * (std::sqrt(2.0) - 1)) / 2.0;
  // The 45 degree side touches the ball R / tan m beyond the corner at r, with
  // m = a/2 + 45 degrees and tan 67.5 degrees = 1 + sqrt 2: R sin a / tan m =
  // 2 - sqrt 2 (for the exact r the sum is R cos a = sqrt 2).
  const double taperArcTop = 2 - std::sqrt(2.0) + taperR;
  // OVAL 10,4,8: the ellipse x^2/8^2 + (y - 4)^2/4^2 = 1 meets the side x = 5
  // at 4 - 4 sqrt(1 - 25/64).
  const double ovalTop = 4 - std::sqrt(39.0) / 2;
  // OVALR 10,4,8,1.5: the join is the root of a quartic, checked by its
  // tangency in SolveOvalJoin.RootsAndFailures. The arc centre (w = 5 - 1.5)
  // stands sqrt(R^2 - (x - w)^2) above the join on the ellipse.
  const double ovalJoin = SolveOvalJoin(8, 4, 1.5, 10);
  const double ovalArcCentreHeight = 4 - 4 * std::sqrt(1 - ovalJoin * ovalJoin / 64) +
                                     std::sqrt(1.5 * 1.5 - (ovalJoin - 3.5) * (ovalJoin - 3.5));
  // CUTTER 10,1,4,1,30;2,10,40: a cone of g = 30 degrees from a point flat of
  // radius 1 and a side of a = 10 degrees meet at r = 5; the corner arc of 1
  // touches both R / tan m from that corner, m = (a + g)/2 + 45 degrees.
  const double g = 30 * deg, a = 10 * deg, m = (a + g) / 2 + kPi / 4;
  const double cutterBottom = 5 - std::cos(g) / std::tan(m);
  // The arc centre lies R along the cone's normal from where the arc touches it.
  const double cutterArcCentre = cutterBottom - std::sin(g);
  const double cutterArcHeight = (cutterBottom - 1) * std::tan(g) + std::cos(g);
  const double cutterArcTop = 5 + std::sin(a) / std::tan(m);
  // The side line widens by tan a over the cutting length above the corner.
  const double cutterEnvelope = 5 + std::tan(a) * (40 - 5 * std::tan(g));
  const KindCase cases[] = {
      {kFlatTool, kToolFlat, 5, 5, 0, 5, 5, 5, 5, 30, 25},
      {kBallTool, kToolBall, 0, 0, 5, 5, 5, 5, 5, 50, 25},
      // Neck diameter 8 behind the LENGTH value.
      {kBullTool, kToolBull, 4, 4, 2, 6, 6, 4, 6, 60, 30},
      // Bottom cone of 30 degrees: height 4 tan 30 = 4 / sqrt 3 at the bottom radius.
      {kDrillTool, kToolDrill, 4, 4, 4 / std::sqrt(3.0), 4, 4, 4, 6, 35, 40},
      // Arc ends where the 45 degree taper touches it; envelope r + L.
      {kTaperBallTool, kToolTaperBall, 0, 0, 2, taperArcTop, taperR + 20, taperR + 20, 5, 25, 30},
      {kVerticalTool, kToolVertical, 5, 5, 0, 5, 5, 5, 8, 30, 20},
      // Ellipse 8 x 4 wider than the tool: it meets the side at height 4 - e.
      {kOvalTool, kToolOval, 5, 5, ovalTop, 5, 5, 5, 7, 35, 42},
      {kOvalRTool, kToolOval, ovalJoin, 3.5, ovalArcCentreHeight, 5, 5, 5, 5, 30, 20},
      {kTThrowTool, kToolTThrow, 9, 9, 1, 10, 10, 4, 4, 40, 15},
      // A ball of 3 about its centre 3 above the tip, on its neck of 2.
      {kSphereTool, kToolSphere, 0, 0, 3, 3, 3, 2, 2, 45, 30},
      {kRadiusTool, kToolRadius, 5, 5, 5, 10, 10, 10, 10, 30, 5},
      {kKegakiTool, kToolKegaki, 0.5, 0.5, 0, 0.5, 0.5, 0.5, 0.5, 3, 5},
      {kCutterTool, kToolDrill, cutterBottom, cutterArcCentre, cutterArcHeight, cutterArcTop,
       cutterEnvelope, cutterEnvelope, cutterEnvelope, 6 * cutterEnvelope, 40},
      {kNoShankAngleTool, kToolFlat, 6, 6, 0, 6, 6, 6, 8, 35, 40},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE("tool " + std::to_string(c.tool));
    Set(c.tool);
    EXPECT_EQ(Current.Tool.Kind, c.kind);
    EXPECT_NEAR(Current.BottomRadius, c.bottomRadius, 1e-7);
    EXPECT_NEAR(Current.ArcCentreRadius, c.arcCentreRadius, 1e-7);
    EXPECT_NEAR(Current.FullRadiusHeight, c.fullRadiusHeight, 1e-7);
    EXPECT_NEAR(Current.ArcTopRadius, c.arcTopRadius, 1e-7);
    EXPECT_NEAR(Current.EnvelopeRadius, c.envelopeRadius, 1e-7);
    EXPECT_NEAR(Current.NeckRadius, c.neckRadius, 1e-7);
    EXPECT_NEAR(Current.ShankRadius, c.shankRadius, 1e-7);
    EXPECT_NEAR(Current.NeckTopHeight, c.neckTopHeight, 1e-5);
    EXPECT_EQ(Current.Tool.CuttingLength, c.cuttingLength);
    EXPECT_EQ(Table.Records[c.tool].CuttingLength, c.cuttingLength);
    EXPECT_TRUE(std::isfinite(Position.ReferenceLength));
  }
}

TEST_F(ToolChangeTest, FlatToolHasNoCornerAndAStraightSide) {
  ReadFixtureTable();
  Set(kFlatTool);
  EXPECT_EQ(Current.CornerRadiusAbs, 0.0);
  EXPECT_EQ(Current.SideSlope, 0.0);
  EXPECT_EQ(Current.SideOffset, 0.0);
  EXPECT_EQ(Current.HasUpperPoint, 0);
  // Without a LENGTH key the shank ends at six times the envelope radius.
  EXPECT_EQ(Current.Shank.ProtrusionLength, 30.0f);
  EXPECT_EQ(Current.ArborBaseHeight, 25.0);
}

TEST_F(ToolChangeTest, TaperBallAt45DegreesHasSlopeOne) {
  ReadFixtureTable();
  Set(kTaperBallTool);
  EXPECT_EQ(Current.SideSlope, 1.0);
  const double r = Current.Tool.Diameter / 2.0;
  EXPECT_DOUBLE_EQ(Current.SideOffset, -r);
  // The side line passes the envelope at the cutting length.
  EXPECT_NEAR(Current.UpperHeightB, 20.0, 1e-12);
  // The side line touches the ball where the arc ends.
  const double u = Current.ArcTopRadius - Current.ArcCentreRadius;
  EXPECT_NEAR(Current.UpperHeightA, Current.FullRadiusHeight - std::sqrt(4.0 - u * u), 1e-7);
}

// The bottom cone, the corner arc and the taper line of a general cutter join
// without a step.
TEST_F(ToolChangeTest, GeneralCutterConeArcAndTaperJoin) {
  ReadFixtureTable();
  Set(kCutterTool);
  EXPECT_EQ(Current.PointFlatRadius, 1.0);  // the ";2" behind the bottom angle
  auto arcHeight = [&](double x) {
    const double u = x - Current.ArcCentreRadius;
    return Current.FullRadiusHeight - std::sqrt(1.0 - u * u);
  };
  EXPECT_NEAR(Current.BottomEdgeHeight, arcHeight(Current.BottomRadius), 1e-9);
  EXPECT_NEAR(Current.UpperHeightA, arcHeight(Current.ArcTopRadius), 1e-9);
  EXPECT_NEAR(Current.SideSlope, 1.0 / std::tan(10.0 * kPi / 180.0), 1e-12);
}

TEST_F(ToolChangeTest, OvalCornerArcIsTangentToTheEllipse) {
  ReadFixtureTable();
  Set(kOvalRTool);
  const double x = Current.BottomRadius;  // the join
  const double rc = 8, ht = 4;
  const double ellipseSlope = ht * x / (rc * rc * std::sqrt(1 - x * x / (rc * rc)));
  const double u = x - Current.ArcCentreRadius;
  const double arcSlope = u / std::sqrt(1.5 * 1.5 - u * u);
  EXPECT_NEAR(ellipseSlope, arcSlope, 1e-9);
  EXPECT_NEAR(Current.OvalJoinHeight, ht - ht * std::sqrt(1 - x * x / (rc * rc)), 1e-12);
  EXPECT_EQ(Current.BottomSlope, -1.0);
}

TEST(SolveOvalJoin, RootsAndFailures) {
  // A circular "ellipse" (Rc = Ht = 6) and a corner of 2 on a diameter of 10
  // touch at 6/4 of the arc centre's radius 3.
  EXPECT_NEAR(SolveOvalJoin(6, 6, 2, 10), 4.5, 1e-12);
  // An ellipse 8 x 4 and a corner of 1.5 on a diameter of 10 (a quartic, no
  // closed form): at the join, the ellipse's inward normal followed for the
  // corner radius ends on the arc centre's radius w = 3.5. That end grows
  // along (w, 5), so this root is the only one there.
  const double x = SolveOvalJoin(8, 4, 1.5, 10);
  EXPECT_GT(x, 3.5);
  EXPECT_LT(x, 5.0);
  const double nx = x / 64, ny = std::sqrt(1 - x * x / 64) / 4;  // normal of x^2/64 + y^2/16
  EXPECT_NEAR(x - 1.5 * nx / std::hypot(nx, ny), 3.5, 1e-12);
  // No corner: nothing lies strictly between D/2 - R and D/2.
  EXPECT_EQ(SolveOvalJoin(8, 4, 0, 10), 0.0);
  // No ellipse radius: no root rather than a division by zero.
  EXPECT_EQ(SolveOvalJoin(0, 4, 1.5, 10), 0.0);
  EXPECT_EQ(SolveOvalJoin(0, 0, 1.5, 10), 0.0);
  EXPECT_EQ(SolveOvalJoin(-4, 4, 1.5, 10), 0.0);
}

TEST_F(ToolChangeTest, OvalNarrowerThanTheToolAndOvalOfTheToolsWidth) {
  ToolRecord& oval = Table.Records[1];
  oval = {};
  oval.Defined = 1;
  oval.Kind = kToolOval;
  oval.Diameter = 10;
  oval.TipHeight = 3;
  oval.CornerCentreRadius = 4;  // Rc < r
  oval.CuttingLength = 20;
  Set(1);
  EXPECT_EQ(Current.FullRadiusHeight, 3.0);
  EXPECT_EQ(Current.SideOffset, 3.0);
  EXPECT_EQ(Current.OvalJoinHeight, 3.0);
  EXPECT_EQ(Current.ArcCentreRadius, 5.0);
  EXPECT_EQ(Current.BottomRadius, 5.0);
  // Rc = r: the corner radius is dropped.
  oval.CornerCentreRadius = 5;
  oval.CornerRadius = 1;
  Set(1);
  EXPECT_EQ(Current.CornerRadiusAbs, 0.0);
  EXPECT_EQ(Current.BottomRadius, 5.0);
  // No ellipse at all: the join is not found, and nothing turns into NaN.
  oval.CornerCentreRadius = 0;
  oval.TipHeight = 0;
  Set(1);
  EXPECT_EQ(Current.BottomRadius, 0.0);
  EXPECT_TRUE(std::isfinite(Current.FullRadiusHeight));
  for (int32_t i = 0; i < Profile.PointCount; ++i)
    EXPECT_TRUE(std::isfinite(Profile.Radius[i]) && std::isfinite(Profile.Height[i])) << i;
  EXPECT_EQ(Profile.ProfileHeight, 30.0);  // six times the radius
}

TEST_F(ToolChangeTest, TThrowBladeValues) {
  ReadFixtureTable();
  Set(kTThrowTool);
  EXPECT_EQ(Current.BladeFlatHeight, 1.0);
  EXPECT_EQ(Current.LowerArcCentreRadius, 9.0);
  EXPECT_EQ(Current.CuttingRadius, 4.0);
  // Blade as wide as both radii with R = R2: no lower arc centre.
  Table.Records[kTThrowTool].BladeWidth = 2;
  Set(kTThrowTool);
  EXPECT_EQ(Current.BladeFlatHeight, 0.0);
  EXPECT_EQ(Current.LowerArcCentreRadius, 0.0);
}

TEST_F(ToolChangeTest, CentreZoneOnlyForVerticalMills) {
  ReadFixtureTable();
  Set(kVerticalTool);
  EXPECT_EQ(Current.CentreZoneRadiusSquared, 9.0);  // (5 - 2)^2
  Set(kFlatTool);
  EXPECT_EQ(Current.CentreZoneRadiusSquared, 0.0);
}

TEST_F(ToolChangeTest, CopiesLengthAndPen) {
  ReadFixtureTable();
  Compensation.PluginTool = 1;
  Set(kShiftPenTool);
  EXPECT_EQ(Current.Tool, Table.Records[kShiftPenTool]);
  EXPECT_EQ(Current.Arbor, Table.Arbors[kShiftPenTool]);
  EXPECT_EQ(Position.ToolLength, 12.5f);
  EXPECT_EQ(Current.PenNumber, 7);
  EXPECT_EQ(Current.PenTag, 0x70);
  EXPECT_EQ(Current.EdgeTags, (std::array<uint8_t, 2>{0x70, 0x70}));
  EXPECT_EQ(Compensation.PluginTool, 0);
  EXPECT_TRUE(Display.NeedsRebuild(kListTool));
}

TEST_F(ToolChangeTest, ToolZeroWithoutLengthOrPen) {
  Table.Records[0] = Table.Records[1] = {};
  Table.Records[0].Defined = Table.Records[1].Defined = 1;
  Table.Records[0].Kind = Table.Records[1].Kind = kToolFlat;
  Table.Pens[1] = 4;
  Set(1);
  Table.Lengths[0] = kNoToolZeroLength;
  Table.Pens[0] = -1;
  Compensation.PluginTool = 1;  // a plug-in tool sits in slot 0
  Set(0);
  EXPECT_EQ(Position.ToolLength, 0.0f);
  EXPECT_EQ(Current.PenNumber, 4);  // keeps the previous pen
  EXPECT_EQ(Compensation.PluginTool, 1);
  Table.Lengths[0] = 7.0f;
  Table.Pens[0] = 2;
  Set(0);
  EXPECT_EQ(Position.ToolLength, 7.0f);
  EXPECT_EQ(Current.PenNumber, 2);
}

TEST_F(ToolChangeTest, ShankFormsRaiseTheCuttingLengthInTheTable) {
  ReadFixtureTable();
  ASSERT_EQ(Table.Records[kTaperBallTool].CuttingLength, 20.0f);
  ASSERT_EQ(Table.Shanks[kTaperBallTool].Kind, kShankStraightCutting);
  const double r = Table.Records[kTaperBallTool].Diameter / 2.0;
  Set(kTaperBallTool);
  // The first set-up derives the shape from L = 20, then raises L to N + T.
  EXPECT_DOUBLE_EQ(Current.EnvelopeRadius, r + 20);
  EXPECT_EQ(Table.Records[kTaperBallTool].CuttingLength, 30.0f);
  Set(kTaperBallTool);
  EXPECT_DOUBLE_EQ(Current.EnvelopeRadius, r + 30);

  // LENGTH3A: N + the shank's rise (2 at 45 degrees, plus T = 5).
  ASSERT_EQ(Table.Shanks[kOvalTool].Kind, kShankAngledCutting);
  Set(kOvalTool);
  EXPECT_EQ(Current.ShankRise, 7.0);
  EXPECT_EQ(Current.NeckTaperRatio, std::numeric_limits<double>::max());  // no neck angle
  EXPECT_EQ(Current.NeckEndRadius, 5.0);
  EXPECT_EQ(Table.Records[kOvalTool].CuttingLength, 42.0f);
}

TEST_F(ToolChangeTest, AngledShankTransition) {
  ReadFixtureTable();
  Set(kVerticalTool);  // LENGTH3 80,30,5,10,45,16
  const double neckRatio = 1.0 / std::tan(10.0 * kPi / 180.0);
  EXPECT_NEAR(Current.NeckTaperRatio, neckRatio, 1e-12);
  EXPECT_NEAR(Current.NeckEndRadius, 5.0 + 5.0 / neckRatio, 1e-12);
  EXPECT_EQ(Current.ShankTaperRatio, 1.0);
  EXPECT_NEAR(Current.ShankRise, 5.0 + (8.0 - Current.NeckEndRadius), 1e-12);
  EXPECT_EQ(Table.Records[kVerticalTool].CuttingLength, 20.0f);  // LENGTH3 raises nothing
}

// A shank angle of 0 is an angle not given: a plain shoulder, never an
// infinite rise written into the table.
TEST_F(ToolChangeTest, AbsentShankAngleGivesAShoulder) {
  ReadFixtureTable();
  Set(kNoShankAngleTool);
  EXPECT_EQ(Current.ShankTaperRatio, 0.0);
  EXPECT_EQ(Current.ShankRise, 5.0);
  EXPECT_EQ(Table.Records[kNoShankAngleTool].CuttingLength, 40.0f);
  Set(kNoShankAngleTool);
  EXPECT_EQ(Current.Tool.CuttingLength, 40.0f);
  EXPECT_TRUE(std::isfinite(Position.ReferenceLength));
}

TEST_F(ToolChangeTest, StraightShankTransition) {
  ReadFixtureTable();
  Set(kDrillTool);  // LENGTH2 70,35,5,12 on a radius of 4
  EXPECT_EQ(Current.ShankRise, 5.0);
  EXPECT_EQ(Current.ShankTaperRatio, 2.5);
  EXPECT_EQ(Current.ArborBaseHeight, 70.0);
}

TEST_F(ToolChangeTest, NeckByHeightCheckType) {
  ReadFixtureTable();
  // The drill's shank (12) is wider than its envelope (8) and no neck
  // diameter is given.
  struct Case {
    int32_t type;
    double margin;
    int32_t tool;
    double neck;
    int32_t upper;
  } cases[] = {
      {0, -0.1, kDrillTool, 4.0, 0},
      {1, -0.1, kDrillTool, 3.9, 1},
      {1, 0.5, kDrillTool, 4.5, 1},
      {2, -0.1, kDrillTool, 0.0, 0},
      // Shank forms 12 and 13 always take the envelope.
      {2, -0.1, kOvalTool, 5.0, 0},
  };
  for (const Case& c : cases) {
    Checks.HeightCheckType = c.type;
    Checks.HeightCheckMargin = c.margin;
    Set(c.tool);
    EXPECT_NEAR(Current.NeckRadius, c.neck, 1e-12) << c.type << " " << c.margin;
    EXPECT_EQ(Current.HasUpperPoint, c.upper) << c.type << " " << c.margin;
  }
}

TEST_F(ToolChangeTest, ArborStepsNeverNarrowDown) {
  ReadFixtureTable();
  Set(kBullTool);  // ARBOR 30,20,40,30 from a holder face at 60
  EXPECT_EQ(Current.ArborStepRadius[0], 15.0);
  EXPECT_EQ(Current.ArborStepRadius[1], 20.0);
  EXPECT_EQ(Current.ArborStepBottom[0], 60.0);
  EXPECT_EQ(Current.ArborStepTop[0], 80.0);
  EXPECT_EQ(Current.ArborStepBottom[1], 80.0);
  EXPECT_EQ(Current.ArborStepTop[1], 110.0);
  Table.Arbors[kBullTool].StepDiameter[1] = 10;  // narrower than the step below
  Set(kBullTool);
  EXPECT_EQ(Current.ArborStepRadius[1], 15.0);
  // The triple form has one radius more than it has steps.
  Set(kVerticalTool);
  EXPECT_EQ(Current.ArborStepRadius[0], 10.0);
  EXPECT_EQ(Current.ArborStepRadius[1], 12.5);
  EXPECT_EQ(Current.ArborStepRadius[2], 20.0);
  EXPECT_EQ(Current.ArborStepTop[1], 150.0);
}

TEST(WidenByArborClearance, ByValueAndByPitch) {
  InterferenceCheckSettings checks;
  EXPECT_EQ(WidenByArborClearance(30, checks, 0.5), 30.0f);
  checks.ArborClearanceMode = 2;
  checks.ArborClearance = 1.5;
  EXPECT_EQ(WidenByArborClearance(30, checks, 0.5), 33.0f);
  checks.ArborClearanceMode = 1;
  EXPECT_EQ(WidenByArborClearance(30, checks, 0.5),
            static_cast<float>(2 * std::sqrt(0.25 * 0.25 + 15.5 * 15.5)));
}

TEST_F(ToolChangeTest, ArborClearanceWidensShankAndHolderSteps) {
  ReadFixtureTable();
  Checks.ArborClearanceMode = 2;
  Checks.ArborClearance = 1;
  // Pitch 0: nothing is widened whatever the setting.
  Set(kVerticalTool, 0.0);
  EXPECT_EQ(Current.Shank.ShankDiameter, 16.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[0], 20.0f);
  Set(kVerticalTool, 0.5);
  EXPECT_EQ(Current.Shank.ShankDiameter, 18.0f);
  // Triples: the diameters 0..StepCount.
  EXPECT_EQ(Current.Arbor.StepDiameter[0], 22.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[1], 27.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[2], 42.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[3], 0.0f);
  EXPECT_EQ(Current.ArborStepRadius[0], 11.0);
  EXPECT_EQ(Table.Arbors[kVerticalTool].StepDiameter[0], 20.0f);  // the table keeps its own
  // Pairs: the diameters 0..StepCount-1; a LENGTH shank (kind 1) stays.
  Set(kBullTool, 0.5);
  EXPECT_EQ(Current.Arbor.StepDiameter[0], 32.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[1], 42.0f);
  EXPECT_EQ(Current.Arbor.StepDiameter[2], 0.0f);
  EXPECT_EQ(Current.Shank.ShankDiameter, 12.0f);
  // NO: unchanged.
  Checks.ArborClearanceMode = 0;
  Set(kBullTool, 0.5);
  EXPECT_EQ(Current.Arbor.StepDiameter[0], 30.0f);
}

TEST_F(ToolChangeTest, UndefinedToolTakesTheHolderOffsetAsReference) {
  ReadFixtureTable();
  Kinematics.ToolHolderOffset = 100;
  Set(kFlatTool);
  EXPECT_EQ(Position.ReferenceLength, 130.0);
  EXPECT_EQ(Profile.ProfileHeight, 30.0);
  Compensation.ToolLengthOffsetOn = 1;
  Compensation.PreviousToolLength = 55;
  Compensation.PluginTool = 1;
  Display.ClearRebuild(kListTool);
  Set(17);  // in the table, never defined
  EXPECT_EQ(Position.ReferenceLength, 100.0);
  EXPECT_EQ(Profile.ProfileHeight, 0.0);
  EXPECT_EQ(Compensation.PreviousToolLength, 0.0);
  EXPECT_EQ(Compensation.PluginTool, 0);
  EXPECT_TRUE(Display.NeedsRebuild(kListTool));
}

// Tool numbers that callers never checked take the undefined-tool path.
TEST_F(ToolChangeTest, ToolNumbersOutsideTheTableAreUndefinedTools) {
  ReadFixtureTable();
  Kinematics.ToolHolderOffset = 100;
  for (int32_t tool :
       {21, 500, -1, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
    Set(kBallTool);
    Set(tool);
    EXPECT_EQ(Current.Tool, ToolRecord{}) << tool;
    EXPECT_EQ(Position.ToolLength, 0.0f) << tool;
    EXPECT_EQ(Position.ReferenceLength, 100.0) << tool;
  }
}

TEST_F(ToolChangeTest, TableStartToolBeyondTheTableIsNeverIndexed) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("vestan_current_tool_" + std::to_string(::getpid()) + ".ttl");
  std::ofstream(file) << "I 99\nMAGAZINE 1 BALL 10,20\n";
  const DefinitionReadResult result = ReadTable(file.string());
  std::filesystem::remove(file);
  EXPECT_EQ(result.Notes.size(), 1u);
  EXPECT_EQ(Tools.CurrentToolNumber, 99);
  EXPECT_EQ(Current.Tool.Defined, 0);
  EXPECT_TRUE(Display.NeedsRebuild(kListTool));
}

TEST_F(ToolChangeTest, HolderOfTheMachineDefinition) {
  ReadFixtureTable();
  ToolHolderRecord holder;
  holder.Present = 1;
  holder.StepCount = 1;
  holder.StepDiameter[0] = 63;
  Machine.Holders = {ToolHolderRecord{}, holder};
  Machine.SelectedHolder = 1;
  Set(kBallTool);  // LENGTH: shank kind 1
  EXPECT_EQ(Current.Holder, holder);
  Set(kFlatTool);  // no shank: no holder
  EXPECT_EQ(Current.Holder.Present, 0);
  EXPECT_EQ(Current.Holder.StepDiameter[0], 63.0f);
  Machine.SelectedHolder = 2;  // no such holder
  Set(kBallTool);
  EXPECT_EQ(Current.Holder, ToolHolderRecord{});
}

// The neck diameter (6) gives every radius of an imported tool; without one
// the tool's diameter does.
TEST_F(ToolChangeTest, ImportedToolRadii) {
  ReadFixtureTable();
  Set(kImportTool);
  for (double radius : {Current.NeckRadius, Current.CuttingRadius, Current.ShankRadius,
                        Current.EnvelopeRadius, Current.ArcTopRadius, Current.BottomRadius})
    EXPECT_EQ(radius, 3.0);
  Table.Records[kImportTool].NeckDiameter = 0;
  Table.Records[kImportTool].Diameter = 10;
  Set(kImportTool);
  EXPECT_EQ(Current.EnvelopeRadius, 5.0);
}

// A negative taper angle is no taper: the side stays straight instead of
// keeping the previous tool's side line.
TEST_F(ToolChangeTest, NegativeTaperAngleGivesAStraightSide) {
  ReadFixtureTable();
  Set(kTaperBallTool);
  ToolRecord& cutter = Table.Records[kCutterTool];
  cutter.TaperAngle = -10;
  Set(kCutterTool);
  EXPECT_EQ(Current.SideSlope, 0.0);
  EXPECT_EQ(Current.EnvelopeRadius, 5.0);
  EXPECT_EQ(Current.ArcTopRadius, 5.0);
  EXPECT_EQ(Current.SideOffset, Current.FullRadiusHeight);
}

}  // namespace
}  // namespace vestan
