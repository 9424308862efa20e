#include "modelfiles/stl_facets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/facet_order_reference.h"

namespace vestan {
namespace {

StlTriangle Facet(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
  return {0, 0, 0, p0[0], p0[1], p0[2], p1[0], p1[1], p1[2], p2[0], p2[1], p2[2]};
}

TEST(BuildFacetRecords, AxisPlanePlaneAndBox) {
  struct Case {
    const char* name;
    StlTriangle facet;
    int32_t axisPlane;
    TrianglePlane plane;
  } cases[] = {
      // Raw normal (0,0,-1) turned positive.
      {"z = 0", Facet({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), kFacetPlaneZ, {0, 0, 1, 0}},
      {"x = 2", Facet({2, 0, 0}, {2, 1, 0}, {2, 0, 1}), kFacetPlaneX, {1, 0, 0, -2}},
      {"y = -3", Facet({0, -3, 0}, {1, -3, 0}, {0, -3, 1}), kFacetPlaneY, {0, 1, 0, 3}},
      // Normal (1,1,1)/sqrt(3), d = -1/sqrt(3).
      {"slanted",
       Facet({1, 0, 0}, {0, 1, 0}, {0, 0, 1}),
       kFacetPlaneGeneral,
       {1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0), -1 / std::sqrt(3.0)}},
  };
  for (const Case& c : cases) {
    std::vector<StlFacetRecord> records;
    BuildFacetRecords(std::vector<StlTriangle>{c.facet}, records);
    ASSERT_EQ(records.size(), 1u) << c.name;
    EXPECT_EQ(records[0].AxisPlane, c.axisPlane) << c.name;
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(records[0].Plane[i], c.plane[i], 1e-15) << c.name;
  }
  std::vector<StlFacetRecord> records;
  BuildFacetRecords(std::vector<StlTriangle>{Facet({1, 5, -2}, {-3, 0, 4}, {2, 1, 0})}, records);
  EXPECT_EQ(records[0].BoxMin, (Vec3{-3, 0, -2}));
  EXPECT_EQ(records[0].BoxMax, (Vec3{2, 5, 4}));
}

// Facets whose tops are the given keys, each carrying its index in the
// normal's x so that the order can be read back.
struct Facets {
  std::vector<StlTriangle> triangles;
  std::vector<StlFacetRecord> records;

  explicit Facets(const std::vector<double>& tops) {
    for (size_t i = 0; i < tops.size(); ++i) {
      StlTriangle t{};
      t[0] = static_cast<double>(i);
      triangles.push_back(t);
      StlFacetRecord r;
      r.BoxMax[2] = tops[i];
      r.AxisPlane = static_cast<int32_t>(i);  // the records move with their triangles
      records.push_back(r);
    }
  }
  std::vector<uint32_t> Order() const {
    std::vector<uint32_t> order;
    for (size_t i = 0; i < triangles.size(); ++i) {
      EXPECT_EQ(records[i].AxisPlane, static_cast<int32_t>(triangles[i][0]));
      order.push_back(static_cast<uint32_t>(triangles[i][0]));
    }
    return order;
  }
};

TEST(SortFacetsByTop, EqualTopsFollowTheFirstOccurrenceAsTheyStand) {
  struct Case {
    std::vector<double> tops;
    std::vector<uint32_t> order;
  } cases[] = {
      // 5 swaps with facet 0, which lands behind facet 1: then 1, 0.
      {{1, 1, 5}, {2, 1, 0}},
      // 5 at 1 swaps with 0; its tie at 2 swaps into place 1 (sending 0 to
      // 2); then the 3s: 0 (now at 2), 3.
      {{3, 5, 5, 3}, {1, 2, 0, 3}},
      {{2, 2, 2}, {0, 1, 2}},
      {{}, {}},
      {{7}, {0}},
  };
  for (const Case& c : cases) {
    Facets f(c.tops);
    SortFacetsByTop(f.triangles, f.records);
    EXPECT_EQ(f.Order(), c.order) << ::testing::PrintToString(c.tops);
  }
}

TEST(BuildTriangleBuckets, BucketCountBySize) {
  const std::pair<int64_t, int32_t> cases[] = {
      {0, 1},     {4999, 1},    {5000, 2},    {14999, 2},
      {15000, 3}, {249999, 49}, {250000, 50}, {10000000, 50},
  };
  for (const auto& [facets, buckets] : cases)
    EXPECT_EQ(TriangleBucketCount(facets), buckets) << facets;
}

// The fast ordering gives exactly the order of the scan and merge done step
// by step, on tops with many ties, for sizes on both sides of the bucket
// limits, with tops no comparison lets win and tops that are not numbers.
TEST(BuildTriangleBuckets, SameOrderAsTheStepByStepScan) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::mt19937 random(24);
  for (const size_t n : {2u, 3u, 17u, 300u, 4999u, 5000u, 7777u, 15001u}) {
    for (int variant = 0; variant < 3; ++variant) {
      std::vector<double> tops(n);
      for (double& top : tops) {
        const uint32_t r = random();
        top = static_cast<double>(r % 40) * 0.5 - 5;
        // Tops that never beat the merge's start of -1e10.
        if (variant == 1 && r % 7 == 0) top = -1e10 - (r % 3) * 1e9;
        if (variant == 2 && r % 11 == 0) top = nan;
        if (variant == 2 && r % 13 == 0) top = -0.0;
      }
      Facets f(tops);
      BuildTriangleBuckets(f.triangles, f.records);
      EXPECT_EQ(f.Order(), testing::ScanBucketOrder(tops)) << n << " variant " << variant;
      if (n < 5000) {
        Facets g(tops);
        SortFacetsByTop(g.triangles, g.records);
        EXPECT_EQ(g.Order(), f.Order()) << n;
      }
    }
  }
}

TEST(BuildTriangleBuckets, TopsComeOutNonIncreasing) {
  std::vector<double> tops(60000);
  std::mt19937 random(7);
  for (double& top : tops) {
    const uint32_t r = random();
    top = r % 5 == 0 ? -1e11 * (1 + r % 3) : static_cast<double>(r % 1000);
  }
  Facets f(tops);
  BuildTriangleBuckets(f.triangles, f.records);
  ASSERT_EQ(f.records.size(), tops.size());
  for (size_t i = 1; i < f.records.size(); ++i)
    ASSERT_GE(f.records[i - 1].BoxMax[2], f.records[i].BoxMax[2]) << i;
}

TEST(TestPointInTriangle, CodesOfTheSpatialTest) {
  const double t = 10.0 / 3;
  struct Case {
    const char* name;
    StlTriangle facet;
    Vec3 point;
    int32_t code;
  } cases[] = {
      {"centroid in z = 5", Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}), {t, t, 5}, kPointInsideXY},
      {"centroid in x = 5", Facet({5, 0, 0}, {5, 10, 0}, {5, 0, 10}), {5, t, t}, kPointInsideYZ},
      {"centroid in y = 5", Facet({0, 5, 0}, {10, 5, 0}, {0, 5, 10}), {t, 5, t}, kPointInsideZX},
      {"on an edge", Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}), {5, 0, 5}, kPointOnEdge},
      // 0.005 * sqrt(2) = 0.00707 from the corner.
      {"near a corner",
       Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}),
       {0.005, 0.005, 5},
       kPointNearVertex},
      {"outside", Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}), {20, 20, 5}, kPointOutside},
      // In line with vertices 1 and 2 beyond 2: u1 x u2 is zero in every
      // component, so no plane can judge it.
      {"in line with an edge", Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}), {20, 0, 5}, kPointOutside},
      {"not a number",
       Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5}),
       {std::numeric_limits<double>::quiet_NaN(), 1, 5},
       kPointOutside},
      // A triangle without area answers by its vertices and edges.
      {"degenerate, on it", Facet({0, 0, 0}, {10, 0, 0}, {20, 0, 0}), {5, 0, 0}, kPointOnEdge},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TestPointInTriangle(std::span<const double, 9>(c.facet.data() + 3, 9), c.point),
              c.code)
        << c.name;
}

TEST(TestPointInTriangle2D, CodesInThePlaneOfTwoAxes) {
  const double t = 10.0 / 3;
  const StlTriangle flat = Facet({0, 0, 5}, {10, 0, 5}, {0, 10, 5});
  const StlTriangle wall = Facet({5, 0, 0}, {5, 10, 0}, {5, 0, 10});
  struct Case {
    const char* name;
    const StlTriangle& facet;
    Vec3 point;
    int a, b;
    int32_t code;
  } cases[] = {
      {"centroid, any height", flat, {t, t, -100}, 0, 1, kPointInsideXY},
      {"wall seen along X", wall, {-40, t, t}, 1, 2, kPointInsideXY},
      {"axes swapped", wall, {0, t, t}, 2, 1, kPointInsideXY},
      {"edge", flat, {0, 5, 99}, 0, 1, kPointOnEdge},
      {"corner", flat, {10.009, 0, 0}, 0, 1, kPointNearVertex},
      {"outside", flat, {6, 6, 5}, 0, 1, kPointOutside},
      // Seen along Y the flat triangle is a line: its angles cancel out.
      {"edge-on", flat, {5, 0, 7}, 0, 2, kPointOutside},
      {"axis out of range", flat, {t, t, 5}, 0, 3, kPointOutside},
  };
  for (const Case& c : cases)
    EXPECT_EQ(
        TestPointInTriangle2D(std::span<const double, 9>(c.facet.data() + 3, 9), c.point, c.a, c.b),
        c.code)
        << c.name;
}

}  // namespace
}  // namespace vestan
