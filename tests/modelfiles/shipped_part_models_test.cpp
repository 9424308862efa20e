// The part meshes shipped with the machine definitions in data/.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "modelfiles/stl_file.h"

namespace vestan {
namespace {

TEST(ShippedPartModels, ReadAsAsciiMeshesOfTheirSize) {
  struct Case {
    const char* file;
    int32_t facets;  // 12 per box; 4 per edge of a prism
    Vec3 min, max;
  } cases[] = {
      {"oguma_table.stl", 12, {-400, -200, -50}, {400, 200, 0}},
      {"oguma_vice.stl", 12, {-75, -50, 0}, {75, 50, 80}},
      {"oguma_head.stl", 12, {-100, -100, 0}, {100, 150, 300}},
      {"oguma5x_trunnion.stl", 36, {-290, -150, -220}, {290, 150, 60}},  // base and two cheeks
      {"oguma5x_rotary.stl",
       32,
       {-150 * std::cos(std::numbers::pi / 8), -150 * std::cos(std::numbers::pi / 8), -180},
       {150 * std::cos(std::numbers::pi / 8), 150 * std::cos(std::numbers::pi / 8),
        0}},  // an octagon of radius 150
  };
  for (const Case& c : cases) {
    const std::string path = std::string(VESTAN_DATA_DIR) + "/" + c.file;
    const int32_t kind = DetectStlKind(path);
    ASSERT_EQ(kind, kStlAscii) << c.file;
    const int32_t count = CountStlFacets(kind, path);
    EXPECT_EQ(count, c.facets) << c.file;
    Vec3 min, max;
    std::vector<StlTriangle> triangles;
    ASSERT_EQ(ReadStlTriangles(kind, count, path, {0, 0, 0}, min, max, triangles), c.facets);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(min[i], c.min[i], 1e-4) << c.file << " " << i;
      EXPECT_NEAR(max[i], c.max[i], 1e-4) << c.file << " " << i;
    }
    // Every normal is the unit vector of (p1 - p0) x (p2 - p0).
    for (const StlTriangle& t : triangles) {
      const Vec3 u{t[6] - t[3], t[7] - t[4], t[8] - t[5]};
      const Vec3 v{t[9] - t[3], t[10] - t[4], t[11] - t[5]};
      const Vec3 n = VectorCross(u, v);
      const double length = VectorLength(n);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(t[i], n[i] / length, 1e-5) << c.file;
    }
  }
}

}  // namespace
}  // namespace vestan
