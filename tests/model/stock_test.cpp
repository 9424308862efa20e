#include "model/stock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vestan {
namespace {

using Values = std::vector<double>;

Values ColumnOf(const DexelSet& set, int32_t column) {
  const auto v = DexelColumnValues(set, column);
  return Values(v.begin(), v.end());
}

// Every stock value carries flag 0 and attribute 0.
void ExpectStockPayload(const DexelModel& m) {
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = m.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      for (uint8_t f : DexelColumnFlags(set, c)) ASSERT_EQ(f, 0) << d << " column " << c;
      for (int32_t a : DexelColumnAttributes(set, c)) ASSERT_EQ(a, 0) << d << " column " << c;
    }
  }
}

TEST(Stock, BoxLeavesTheGridLineBeyondItEmpty) {
  DexelModel m;
  m.SlotCount = 2;
  ASSERT_EQ(CreateBoxModel(m, {0, 0, 0, 10, 10, 10}, 3), kModelOk);
  EXPECT_EQ(m.CountX, 5);
  EXPECT_EQ(m.CountY, 5);
  EXPECT_EQ(m.CountZ, 5);
  EXPECT_EQ(m.GridX.back(), 12);
  EXPECT_EQ(m.MinCorner(), (Vec3{0, 0, 0}));
  EXPECT_EQ(m.MaxCorner(), (Vec3{10, 10, 10}));
  EXPECT_EQ(m.Placed, 0);
  EXPECT_EQ(m.RangeLastX, 4);
  EXPECT_EQ(m.RangeLastZ, 4);
  EXPECT_EQ(m.Slots.size(), 2u);
  // Column (a, b) of each set: empty when either cross index is the last.
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = m.SetByDirection(d);
    for (int32_t b = 0; b < 5; ++b)
      for (int32_t a = 0; a < 5; ++a) {
        const Values expected = (a == 4 || b == 4) ? Values{} : Values{0, 10};
        EXPECT_EQ(ColumnOf(set, 5 * b + a), expected)
            << "set " << d << " (" << a << "," << b << ")";
      }
  }
  ExpectStockPayload(m);
}

TEST(Stock, BoxOfWholePitchesFillsEveryColumnAndKeepsItsPlacement) {
  const Placement turned{0, 1, 0, -1, 0, 0, 0, 0, 1, 5, 6, 7};  // 90 degrees about Z, moved
  DexelModel m;
  ASSERT_EQ(CreateBoxModelPlaced(m, {1, -2, 0, 11, 2, 2}, turned, 2), kModelOk);
  EXPECT_EQ(m.CountX, 6);
  EXPECT_EQ(m.CountY, 3);
  EXPECT_EQ(m.CountZ, 2);
  EXPECT_EQ(m.OriginX, 1);
  EXPECT_EQ(m.OriginY, -2);
  for (int32_t c = 0; c < m.ColumnsZ; ++c) EXPECT_EQ(ColumnOf(m.ZSet(), c), (Values{0, 2}));
  for (int32_t c = 0; c < m.ColumnsX; ++c) EXPECT_EQ(ColumnOf(m.XSet(), c), (Values{1, 11}));
  for (int32_t c = 0; c < m.ColumnsY; ++c) EXPECT_EQ(ColumnOf(m.YSet(), c), (Values{-2, 2}));
  EXPECT_EQ(m.Placement, turned);
  EXPECT_EQ(m.Placed, 1);
  EXPECT_EQ(m.NegTranslation, (Vec3{-5, -6, -7}));
  EXPECT_EQ(m.InverseMatrix, (Matrix3{0, -1, 0, 1, 0, 0, 0, 0, 1}));

  // A translation alone also counts as placed.
  DexelModel moved;
  ASSERT_EQ(CreateBoxModelPlaced(moved, {0, 0, 0, 1, 1, 1},
                                 {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1e-300}, 0.5),
            kModelOk);
  EXPECT_EQ(moved.Placed, 1);
}

TEST(Stock, CylinderAlongZ) {
  DexelModel m;
  ASSERT_EQ(CreateCylinderModel(m, {0, 0, 0}, 2, 7, 5, 0, 2), kCylinderOk);
  EXPECT_EQ(m.CountX, 7);
  EXPECT_EQ(m.CountY, 7);
  EXPECT_EQ(m.CountZ, 5);
  EXPECT_EQ(m.GridX.front(), -6);
  EXPECT_EQ(m.GridZ.back(), 8);
  EXPECT_EQ(m.MinCorner(), (Vec3{-5, -5, 0}));
  EXPECT_EQ(m.MaxCorner(), (Vec3{5, 5, 7}));
  EXPECT_EQ(m.Placed, 0);
  // Z columns: distance 2.83 (grid (2, 2)) holds the length, 5.66 is empty.
  EXPECT_EQ(ColumnOf(m.ZSet(), ColumnIndexZ(m, 2, 2)), (Values{0, 7}));
  EXPECT_EQ(ColumnOf(m.ZSet(), ColumnIndexZ(m, 3, 3)), (Values{0, 7}));
  EXPECT_EQ(ColumnOf(m.ZSet(), ColumnIndexZ(m, 1, 1)), Values{});
  // X and Y columns: a chord at each height up to 6; the line at 8 is empty.
  EXPECT_EQ(ColumnOf(m.XSet(), ColumnIndexX(m, 3, 0)), (Values{-5, 5}));
  EXPECT_EQ(ColumnOf(m.YSet(), ColumnIndexY(m, 3, 3)), (Values{-5, 5}));
  const Values chord = ColumnOf(m.XSet(), ColumnIndexX(m, 5, 3));  // y = 4
  ASSERT_EQ(chord.size(), 2u);
  EXPECT_DOUBLE_EQ(chord[1], 3);
  EXPECT_EQ(ColumnOf(m.XSet(), ColumnIndexX(m, 3, 4)), Values{});
  EXPECT_EQ(ColumnOf(m.YSet(), ColumnIndexY(m, 4, 3)), Values{});
  ExpectStockPayload(m);
}

TEST(Stock, TubeHasItsBoreInEverySet) {
  DexelModel m;
  ASSERT_EQ(CreateCylinderModel(m, {0, 0, 0}, 2, 7, 5, 2, 2), kCylinderOk);
  EXPECT_EQ(ColumnOf(m.ZSet(), ColumnIndexZ(m, 3, 3)), Values{});                // through the axis
  EXPECT_EQ(ColumnOf(m.ZSet(), ColumnIndexZ(m, 3, 4)), (Values{0, 7}));          // on the bore
  EXPECT_EQ(ColumnOf(m.XSet(), ColumnIndexX(m, 3, 1)), (Values{-5, -2, 2, 5}));  // y = 0
  EXPECT_EQ(ColumnOf(m.YSet(), ColumnIndexY(m, 1, 3)), (Values{-5, -2, 2, 5}));  // x = 0
  // At y = 2 the bore is only touched: one chord of half-length sqrt(21).
  const Values chord = ColumnOf(m.XSet(), ColumnIndexX(m, 4, 1));
  ASSERT_EQ(chord.size(), 2u);
  EXPECT_DOUBLE_EQ(chord[0], -std::sqrt(21.0));
  EXPECT_DOUBLE_EQ(chord[1], std::sqrt(21.0));
}

TEST(Stock, CylinderAlongXAndY) {
  // Along X from (1, 2, 3), length 4, radius 1, pitch 0.5.
  DexelModel x;
  ASSERT_EQ(CreateCylinderModel(x, {1, 2, 3}, 0, 4, 1, 0, 0.5), kCylinderOk);
  EXPECT_EQ(x.CountX, 9);
  EXPECT_EQ(x.CountY, 5);
  EXPECT_EQ(x.CountZ, 5);
  EXPECT_EQ((Vec3{x.OriginX, x.OriginY, x.OriginZ}), (Vec3{1, 1, 2}));
  EXPECT_EQ(x.MinCorner(), (Vec3{1, 1, 2}));
  EXPECT_EQ(x.MaxCorner(), (Vec3{5, 3, 4}));
  EXPECT_EQ(ColumnOf(x.XSet(), ColumnIndexX(x, 2, 2)), (Values{1, 5}));
  EXPECT_EQ(ColumnOf(x.ZSet(), ColumnIndexZ(x, 0, 2)), (Values{2, 4}));  // x = 1, y = 2
  EXPECT_EQ(ColumnOf(x.YSet(), ColumnIndexY(x, 2, 8)), (Values{1, 3}));  // z = 3, x = 5
  EXPECT_EQ(ColumnOf(x.ZSet(), ColumnIndexZ(x, 2, 0)), (Values{3, 3}));  // y = 1: a tangent

  // Along Y from (0, 0, 0), length 3, radius 2, pitch 1: X and Z across.
  DexelModel y;
  ASSERT_EQ(CreateCylinderModel(y, {0, 0, 0}, 1, 3, 2, 0, 1), kCylinderOk);
  EXPECT_EQ(y.CountX, 5);
  EXPECT_EQ(y.CountY, 4);
  EXPECT_EQ(y.CountZ, 5);
  EXPECT_EQ(ColumnOf(y.YSet(), ColumnIndexY(y, 2, 2)), (Values{0, 3}));
  EXPECT_EQ(ColumnOf(y.XSet(), ColumnIndexX(y, 3, 2)), (Values{-2, 2}));  // y = 3, z = 0
  EXPECT_EQ(ColumnOf(y.ZSet(), ColumnIndexZ(y, 2, 1)), (Values{-2, 2}));  // x = 0, y = 1
}

TEST(Stock, UnusableInputLeavesTheModelAbsent) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct BoxCase {
    const char* name;
    std::array<double, 6> box;
    double pitch;
  };
  const BoxCase boxes[] = {
      {"zero pitch", {0, 0, 0, 1, 1, 1}, 0},
      {"negative pitch", {0, 0, 0, 1, 1, 1}, -1},
      {"nan pitch", {0, 0, 0, 1, 1, 1}, nan},
      {"infinite pitch", {0, 0, 0, 1, 1, 1}, inf},
      {"flat box", {0, 0, 0, 1, 0, 1}, 0.1},
      {"reversed box", {0, 0, 2, 1, 1, 1}, 0.1},
      {"nan corner", {0, nan, 0, 1, 1, 1}, 0.1},
      {"infinite corner", {0, 0, 0, inf, 1, 1}, 0.1},
      {"grid too large", {0, 0, 0, 1000, 1000, 1000}, 1e-6},
  };
  for (const BoxCase& c : boxes) {
    DexelModel m;
    ASSERT_EQ(CreateBoxModel(m, {0, 0, 0, 1, 1, 1}, 0.5), kModelOk);  // a previous model
    EXPECT_EQ(CreateBoxModel(m, c.box, c.pitch), kModelBadGrid) << c.name;
    EXPECT_EQ(m.CountX, 0) << c.name;
    EXPECT_FALSE(m.Allocated()) << c.name;
  }
  struct CylinderCase {
    const char* name;
    Vec3 base;
    int axis;
    double length, outer, inner, pitch;
  };
  const CylinderCase cylinders[] = {
      {"axis 3", {0, 0, 0}, 3, 1, 1, 0, 0.5},
      {"axis -1", {0, 0, 0}, -1, 1, 1, 0, 0.5},
      {"zero length", {0, 0, 0}, 2, 0, 1, 0, 0.5},
      {"negative length", {0, 0, 0}, 2, -3, 1, 0, 0.5},
      {"zero radius", {0, 0, 0}, 2, 1, 0, 0, 0.5},
      {"inner above outer", {0, 0, 0}, 2, 1, 1, 1.5, 0.5},
      {"negative inner", {0, 0, 0}, 2, 1, 1, -0.5, 0.5},
      {"nan radius", {0, 0, 0}, 2, 1, nan, 0, 0.5},
      {"nan base", {0, nan, 0}, 2, 1, 1, 0, 0.5},
      {"zero pitch", {0, 0, 0}, 2, 1, 1, 0, 0},
      {"grid too large", {0, 0, 0}, 2, 1, 1e6, 0, 1e-3},
  };
  for (const CylinderCase& c : cylinders) {
    DexelModel m;
    EXPECT_LT(CreateCylinderModel(m, c.base, c.axis, c.length, c.outer, c.inner, c.pitch), 0)
        << c.name;
    EXPECT_EQ(m.CountX, 0) << c.name;
    EXPECT_FALSE(m.Allocated()) << c.name;
  }
}

TEST(Stock, TranslationThereAndBackIsExact) {
  DexelModel m;
  ASSERT_EQ(CreateBoxModel(m, {0, 0, 0, 4, 4, 4}, 1), kModelOk);
  const Placement before = m.Placement;
  TranslateModel(m, {1, 2, 3});
  EXPECT_EQ(m.Placement[9], 1);
  EXPECT_EQ(m.Placement[11], 3);
  EXPECT_EQ(m.NegTranslation, (Vec3{-1, -2, -3}));
  EXPECT_EQ(m.MinCorner(), (Vec3{1, 2, 3}));
  EXPECT_EQ(m.MaxCorner(), (Vec3{5, 6, 7}));
  EXPECT_EQ(m.Placed, 0);   // the caller decides
  EXPECT_EQ(m.OriginX, 0);  // columns and grid stay in model coordinates
  TranslateModel(m, {-1, -2, -3});
  EXPECT_EQ(m.Placement, before);
  EXPECT_EQ(m.NegTranslation, (Vec3{0, 0, 0}));
  EXPECT_EQ(m.MinCorner(), (Vec3{0, 0, 0}));
  EXPECT_EQ(m.MaxCorner(), (Vec3{4, 4, 4}));

  DexelModel absent;  // no slots: only the placement moves
  TranslateModel(absent, {1, 1, 1});
  EXPECT_EQ(absent.Placement[10], 1);
}

TEST(Stock, PlacementSnapping) {
  Placement p{0.99995, 0.00003, 1e-10, -0.99996, 0.5, 0.2, 0.1, 1.00002, -0.3, 5e-10, 1.00009, 3};
  NormalizePlacementMatrix(p, p);  // in place
  EXPECT_EQ(p, (Placement{1, 0, 0, -1, 0, 0, 0, 1, 0, 0, 1, 3}));

  // An element equal to +-1 only clears the others of its own image.
  const Placement q{0.5, 0.5, 0.5, 0.2, 0.3, -1, 0, 0, 0.7, 1.5, -2, 0};
  Placement out{};
  NormalizePlacementMatrix(q, out);
  EXPECT_EQ(out, (Placement{0.5, 0.5, 0.5, 0, 0, -1, 0, 0, 0.7, 1.5, -2, 0}));
}

}  // namespace
}  // namespace vestan
