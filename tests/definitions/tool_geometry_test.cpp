#include "definitions/tool_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "definitions/tool_table.h"

namespace vestan {
namespace {

TEST(ToolTableStorage, HoldsOneEntryPerToolNumberFromZero) {
  ToolTable table;
  table.MaxToolNumber = 0;
  AllocToolTables(table);
  EXPECT_EQ(table.Entries(), 1u);
  EXPECT_TRUE(table.InRange(0));
  EXPECT_FALSE(table.InRange(1));
  EXPECT_FALSE(table.InRange(-1));

  table.MaxToolNumber = -5;  // a broken setting still gives tool 0 only
  AllocToolTables(table);
  EXPECT_EQ(table.Entries(), 1u);

  table.MaxToolNumber = 200;
  AllocToolTables(table);
  EXPECT_EQ(table.Records.size(), 201u);
  EXPECT_TRUE(table.InRange(200));
  EXPECT_FALSE(table.InRange(201));
}

TEST(ToolTableStorage, ReleaseDropsNamesAndOutlinesAndReportsTheSharedMesh) {
  ToolTable table;
  table.MaxToolNumber = 3;
  AllocToolTables(table);
  table.Records[1].Name = std::string("A");
  table.Records[1].ProfileFile = std::string("a.dxf");
  table.Records[1].ProfileSegments.resize(4);
  table.Records[1].ProfileCount = 4;
  table.Records[1].CuttingSegmentCount = 2;
  table.Records[2].Kind = kToolImportedMesh;
  table.Records[3].Kind = kToolImportedMesh;

  EXPECT_TRUE(ReleaseToolBuffers(table));  // one answer for both STL tools
  EXPECT_FALSE(table.Records[1].Name.has_value());
  EXPECT_FALSE(table.Records[1].ProfileFile.has_value());
  EXPECT_TRUE(table.Records[1].ProfileSegments.empty());
  EXPECT_EQ(table.Records[1].ProfileCount, 0);
  EXPECT_EQ(table.Records[1].CuttingSegmentCount, 0);
  ReleaseToolBuffers(table);  // again: nothing left to drop
  EXPECT_EQ(table.Entries(), 4u);

  FreeToolTables(table);
  EXPECT_EQ(table.Entries(), 0u);
  EXPECT_FALSE(table.InRange(0));
}

TEST(ToolGeometry, PercentBeforeComma) {
  EXPECT_TRUE(HasPercentBeforeComma("50%,20"));
  EXPECT_FALSE(HasPercentBeforeComma("50,20%"));
  EXPECT_FALSE(HasPercentBeforeComma("50%"));  // no comma at all
  EXPECT_FALSE(HasPercentBeforeComma("50,20"));
  EXPECT_FALSE(HasPercentBeforeComma(""));
}

TEST(ToolGeometry, QuadrantAnglesAreExact) {
  struct Case {
    double degrees, cosine, sine;
  };
  const Case cases[] = {{0, 1, 0},    {360, 1, 0},  {-360, 1, 0}, {90, 0, 1},   {-270, 0, 1},
                        {-90, 0, -1}, {270, 0, -1}, {180, -1, 0}, {-180, -1, 0}};
  for (const Case& c : cases) {
    double cosine = 9, sine = 9;
    AngleCosSin(c.degrees, cosine, sine);
    EXPECT_EQ(cosine, c.cosine) << c.degrees;
    EXPECT_EQ(sine, c.sine) << c.degrees;
  }
  double cosine = 0, sine = 0;
  AngleCosSin(45, cosine, sine);
  EXPECT_EQ(cosine, std::cos(45 * std::numbers::pi / 180));
  EXPECT_EQ(sine, std::sin(45 * std::numbers::pi / 180));
}

TEST(ToolGeometry, CornerOffset) {
  EXPECT_EQ(ComputeCornerOffset(20, 5, 5), 0.0);  // h >= R: D/2 - 2R
  EXPECT_EQ(ComputeCornerOffset(20, 5, 12), 0.0);
  EXPECT_EQ(ComputeCornerOffset(20, 5, 0), 5.0);                // h = 0: D/2 - R
  EXPECT_DOUBLE_EQ(ComputeCornerOffset(20, 5, 1), 10 - 5 - 3);  // sqrt(25 - 16)
}

TEST(ToolGeometry, TaperToolWidth) {
  float width = 1000.0f;
  ComputeTaperToolWidth(10, 1, 45, 45, 7, width);
  EXPECT_EQ(width, 14.0f);  // both angles 45: twice the height

  // Taper 10°, no bottom angle: the width at height H follows the side line.
  width = 1000.0f;
  ComputeTaperToolWidth(4, 1, 0, 10, 20, width);
  const double top = 2 * (2 + std::tan(10 * std::numbers::pi / 180) * 20);
  EXPECT_EQ(width, static_cast<float>(top));

  // A width below the corner's reach is raised to it.
  width = 0.0f;
  ComputeTaperToolWidth(4, 1, 0, 10, 20, width);
  const double a = 10 * std::numbers::pi / 180;
  const double reach = 2 * (2 + std::sin(a) * 1 / std::tan(a / 2 + std::numbers::pi / 4));
  EXPECT_EQ(width, static_cast<float>(reach));

  // No angles at all: tan 45° is exactly 1, so the corner adds nothing.
  width = 0.0f;
  ComputeTaperToolWidth(4, 1, 0, 0, 20, width);
  EXPECT_EQ(width, 4.0f);
}

ProfileSegment Segment(int kind, double x1, double y1, double x2, double y2, int lineTypeValue,
                       int colour, double centreX = 0, double radius = 0) {
  ProfileSegment s;
  s.Kind = kind;
  s.X1 = x1;
  s.Y1 = y1;
  s.X2 = x2;
  s.Y2 = y2;
  s.LineTypeIndex = lineTypeValue;  // one linetype entry per value
  s.LineTypeValue = lineTypeValue;
  s.Colour = colour;
  s.CentreX = centreX;
  s.Radius = radius;
  return s;
}

TEST(ProfileGeometry, OneAttributeTripleIsAllCuttingPart) {
  std::vector<ProfileSegment> outline{Segment(1, 0, 0, 3, 0, 0, 7),
                                      Segment(3, 3, 0, 5, 2, 0, 7, 3, 2)};
  const ProfileClassStarts starts = ClassifyProfileSegments(outline);
  EXPECT_EQ(starts, (ProfileClassStarts{0, -1, -1}));
  EXPECT_EQ(outline[0].Class, kProfileCutting);
  EXPECT_EQ(outline[1].Class, kProfileCutting);
  const ProfileDimensions d = DeriveToolFromProfile(outline, starts);
  EXPECT_EQ(d.LastOutwardIndex, 2);
  EXPECT_EQ(d.Diameter, 10.0f);
  EXPECT_EQ(d.CuttingLength, 2.0f);
  EXPECT_EQ(d.CornerRadius, 2.0f);
  EXPECT_EQ(d.TipHeight, 0.0f);       // a rounded corner starts at the tip
  EXPECT_EQ(d.ShankDiameter, 10.0f);  // from the last segment
  EXPECT_EQ(d.ProtrusionLength, 2.0f);
  EXPECT_EQ(d.ArborDiameter, 0.0f);
  EXPECT_EQ(d.ArborLength, 0.0f);
}

TEST(ProfileGeometry, TwoTriplesTakeTheContinuousOneForTheCutter) {
  struct Case {
    const char* name;
    int firstValue, firstColour, secondValue;
    std::array<int32_t, 3> classes;
    ProfileClassStarts starts;
  };
  const Case cases[] = {
      // A dashed first triple is the shank drawn first; it comes before any cutter: class 0.
      {"dashed first", 2, 3, 0, {0, 1, 1}, {1, -1, -1}},
      {"continuous first", 0, 3, 2, {1, 2, 2}, {0, 1, -1}},
      {"same value, other colour", 0, 3, 0, {1, 2, 2}, {0, 1, -1}},
  };
  for (const Case& c : cases) {
    std::vector<ProfileSegment> outline{Segment(1, 0, 0, 1, 0, c.firstValue, c.firstColour),
                                        Segment(1, 1, 0, 1, 1, c.secondValue, 7),
                                        Segment(1, 1, 1, 1, 2, c.secondValue, 7)};
    EXPECT_EQ(ClassifyProfileSegments(outline), c.starts) << c.name;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(outline[i].Class, c.classes[i]) << c.name << " " << i;
  }
}

TEST(ProfileGeometry, CutterShankAndArborFromThreeTriples) {
  // Cutter (continuous), shank (dashed), arbor (value 6), then a shank piece
  // after the arbor and a fourth triple.
  std::vector<ProfileSegment> outline{
      Segment(1, 0, 0, 4, 0, 0, 7),     Segment(2, 4, 0, 5, 1, 0, 7, 4, 1),
      Segment(1, 5, 1, 5, 10, 0, 7),    Segment(1, 5, 10, 4, 12, 2, 3),
      Segment(1, 4, 12, 4, 14, 0, 7),  // cutter-styled, between two shank pieces
      Segment(1, 4, 14, 4, 30, 2, 3),   Segment(1, 4, 30, 15, 30, 6, 5),
      Segment(1, 15, 30, 15, 45, 6, 5), Segment(1, 15, 45, 0, 45, 0, 7),
      Segment(1, 0, 45, 0, 46, 2, 3),   Segment(1, 0, 46, 0, 47, 9, 9),
  };
  outline.back().Class = 10;  // as the chaining left it
  outline[1].CentreY = 1.5;
  const ProfileClassStarts starts = ClassifyProfileSegments(outline);
  EXPECT_EQ(starts, (ProfileClassStarts{0, 3, 6}));
  const int32_t classes[] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 0, 10};
  for (size_t i = 0; i < outline.size(); ++i) EXPECT_EQ(outline[i].Class, classes[i]) << i;

  const ProfileDimensions d = DeriveToolFromProfile(outline, starts);
  EXPECT_EQ(d.Diameter, 10.0f);
  EXPECT_EQ(d.CuttingLength, 10.0f);
  EXPECT_EQ(d.CornerRadius, -1.0f);  // clockwise arc
  EXPECT_EQ(d.TipHeight, 2.5f);      // a hollow corner: up to its centre plus its radius
  EXPECT_EQ(d.ShankDiameter, 8.0f);  // where the arbor starts
  EXPECT_EQ(d.ProtrusionLength, 30.0f);
  EXPECT_EQ(d.ArborDiameter, 30.0f);
  EXPECT_EQ(d.ArborLength, 17.0f);  // up to the top of the last segment
  EXPECT_EQ(d.LastOutwardIndex, 8);
}

TEST(ProfileGeometry, BoundsOfAllEndPoints) {
  std::array<double, 2> min{7, 7}, max{7, 7};
  ComputeProfileBounds({}, min, max);
  EXPECT_EQ(min, (std::array<double, 2>{7, 7}));  // nothing to bound: unchanged
  const std::vector<ProfileSegment> outline{Segment(1, 2, -1, 4, 3, 0, 0),
                                            Segment(3, 4, 3, -5, 8, 0, 0, 0, 20)};
  ComputeProfileBounds(outline, min, max);
  EXPECT_EQ(min, (std::array<double, 2>{-5, -1}));
  EXPECT_EQ(max, (std::array<double, 2>{4, 8}));  // arc bulges are not counted
}

}  // namespace
}  // namespace vestan
