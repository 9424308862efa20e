#include "foundation/geometry.h"

#include <gtest/gtest.h>

namespace vestan {
namespace {

TEST(MakeBoxCorners, XVariesFastestThenYThenZ) {
  std::array<Vec3, 8> corners{};
  MakeBoxCorners({1, 2, 3}, {4, 5, 6}, corners);
  const std::array<Vec3, 8> expected = {
      {{1, 2, 3}, {4, 2, 3}, {1, 5, 3}, {4, 5, 3}, {1, 2, 6}, {4, 2, 6}, {1, 5, 6}, {4, 5, 6}}};
  EXPECT_EQ(corners, expected);
}

}  // namespace
}  // namespace vestan
