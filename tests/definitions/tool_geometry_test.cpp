#include "definitions/tool_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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

}  // namespace
}  // namespace vestan
