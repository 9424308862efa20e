#include "display/work_extents.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "machine/machine_world.h"
#include "machine/work_offset_frame.h"
#include "model/stock.h"

namespace vestan {
namespace {

using testing::MachineWorld;

TEST(ComputeWorkExtents, TheMaterialBoxInWorkCoordinates) {
  DexelModel model;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 100, 80, 30}, 2.0), kModelOk);
  Vec3 min, max;
  // Shifted work origin.
  WorkOffsetFrame shifted;
  shifted.Origin = {10, 20, -5};
  ComputeWorkExtents(model, shifted, min, max);
  EXPECT_EQ(min, (Vec3{-10, -20, 5}));
  EXPECT_EQ(max, (Vec3{90, 60, 35}));
  // A work frame turned a quarter about Z on a table machine: machine X is
  // work -Y, machine Y is work X.
  MachineWorld world("ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=0,0,0\n");
  const WorkOffsetFrame turned =
      ComputeWorkOffsetFrame({0, 0, 0, 0, 90}, world.Kinematics(), world.Controller());
  ComputeWorkExtents(model, turned, min, max);
  const Vec3 wantMin{0, -100, 0}, wantMax{80, 0, 30};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(min[k], wantMin[k], 1e-12) << k;
    EXPECT_NEAR(max[k], wantMax[k], 1e-12) << k;
  }
  // The placement counts: the model moved by (5, 0, 0).
  model.Placement[9] = 5;
  ComputeWorkExtents(model, shifted, min, max);
  EXPECT_EQ(min[0], -5);
  // Nothing there: the empty box.
  ComputeWorkExtents(DexelModel{}, shifted, min, max);
  EXPECT_EQ(min, (Vec3{1e12, 1e12, 1e12}));
  EXPECT_EQ(max, (Vec3{-1e12, -1e12, -1e12}));
}

TEST(StatusNumbers, FormatsByTheUnitScale) {
  struct Case {
    int32_t unitScale;
    double value;
    bool locked;
    const char* text;
  } cases[] = {
      {1000, 12.5, false, "\t\t   12.500"},
      {1000, -1234.5678, false, "\t\t-1234.568"},
      {100, 12.5, false, "\t\t   12.50"},
      {10000, 12.5, false, "\t\t   12.5000"},
      {1, -0.00005, false, "\t\t   -0.0001"},
      {1000, 3, true, "*\t\t    3.000"},
      {100, 3, true, "*\t\t    3.00"},
      {10000, 123456789.0, false, "\t\t123456789.0000"},  // wider than the field
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatUnitNumber(c.unitScale, c.value, c.locked), c.text) << c.value;
  // A value of any size is written whole.
  EXPECT_EQ(FormatUnitNumber(1000, 1e300).size(), 2u + 301u + 4u);
  EXPECT_EQ(FormatCylinderNumber(100, 12.5), "\t\t    12.50");
  EXPECT_EQ(FormatCylinderNumber(1000, 12.5), "\t\t   12.500");
}

TEST(StatusNumbers, RadiiWithoutACircle) {
  EXPECT_EQ(FormatSpaceRadius(1000, 0.0), "\t-");
  EXPECT_EQ(FormatSpaceRadius(1000, 12000.0), "\t*LINE*");
  EXPECT_EQ(FormatSpaceRadius(1000, 9999.5), "\t\t 9999.500");
  EXPECT_EQ(FormatPlaneRadius(1000, 12000.0), "\t*PLANE*");
  EXPECT_EQ(FormatPlaneRadius(1000, 10000.0), "\t*PLANE*");
  EXPECT_EQ(FormatPlaneRadius(100, 0.0), "\t\t    0.00");
  EXPECT_EQ(FormatPlaneRadius(1000, std::numeric_limits<double>::quiet_NaN()), "\t*PLANE*");
}

}  // namespace
}  // namespace vestan
