// Helpers of the model file tests: little-endian files written by hand, a
// sample model with short, long and placed columns, and a bit-for-bit model
// comparison.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/dexel_model.h"
#include "model/stock.h"

namespace vestan::testing {

// Bytes of a hand-made file, appended field by field.
struct FileBytes {
  std::string Data;
  template <typename T>
  FileBytes& Put(T value) {
    Data.append(reinterpret_cast<const char*>(&value), sizeof value);
    return *this;
  }
  FileBytes& Text(const std::string& text) {
    Data += text;
    return *this;
  }
  // One DME column record.
  FileBytes& Column(const std::vector<double>& values, uint8_t flag = 0, int32_t attribute = 0) {
    Put(static_cast<int32_t>(values.size()));
    for (double v : values) Put(v);
    for (size_t i = 0; i < values.size(); ++i) Put(flag);
    for (size_t i = 0; i < values.size(); ++i) Put(attribute);
    return *this;
  }
};

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every count, value, flag byte and attribute, the grid and the placement,
// compared bit for bit.
inline void ExpectSameModel(const DexelModel& a, const DexelModel& b) {
  ASSERT_EQ(a.CountX, b.CountX);
  ASSERT_EQ(a.CountY, b.CountY);
  ASSERT_EQ(a.CountZ, b.CountZ);
  EXPECT_TRUE(SameBits(a.Pitch, b.Pitch));
  EXPECT_TRUE(SameBits(a.OriginX, b.OriginX) && SameBits(a.OriginY, b.OriginY) &&
              SameBits(a.OriginZ, b.OriginZ));
  for (int k = 0; k < 12; ++k) EXPECT_TRUE(SameBits(a.Placement[k], b.Placement[k])) << k;
  for (int direction : {kDirectionZ, kDirectionY, kDirectionX}) {
    const DexelSet& sa = a.SetByDirection(direction);
    const DexelSet& sb = b.SetByDirection(direction);
    ASSERT_EQ(sa.Columns, sb.Columns);
    for (int32_t c = 0; c < sa.Columns; ++c) {
      ASSERT_EQ(DexelColumnCount(sa, c), DexelColumnCount(sb, c)) << direction << " " << c;
      const auto va = DexelColumnValues(sa, c), vb = DexelColumnValues(sb, c);
      for (size_t i = 0; i < va.size(); ++i)
        ASSERT_TRUE(SameBits(va[i], vb[i])) << direction << " " << c << " " << i;
      const auto fa = DexelColumnFlags(sa, c), fb = DexelColumnFlags(sb, c);
      const auto ta = DexelColumnAttributes(sa, c), tb = DexelColumnAttributes(sb, c);
      ASSERT_TRUE(std::equal(fa.begin(), fa.end(), fb.begin())) << direction << " " << c;
      ASSERT_TRUE(std::equal(ta.begin(), ta.end(), tb.begin())) << direction << " " << c;
    }
  }
}

// A column of count values from low upward in steps of step, with flag
// bytes and attributes that differ per value.
inline void PutTestColumn(DexelModel& model, int direction, int32_t a, int32_t b, int count,
                          double low, double step) {
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  for (int i = 0; i < count; ++i) {
    values.push_back(low + i * step);
    flags.push_back(static_cast<uint8_t>(0x11 * (i + 1)));
    attributes.push_back(-1000 * i - 7);
  }
  ASSERT_TRUE(SetDexelColumnInSet(model, direction, a, b, values, flags, attributes));
}

// One column's values, flag bytes and attributes, copied out.
struct ColumnContents {
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;
};

inline ColumnContents ReadColumn(const DexelModel& model, int direction, int32_t column) {
  const DexelSet& set = model.SetByDirection(direction);
  const auto v = DexelColumnValues(set, column);
  const auto f = DexelColumnFlags(set, column);
  const auto a = DexelColumnAttributes(set, column);
  return {{v.begin(), v.end()}, {f.begin(), f.end()}, {a.begin(), a.end()}};
}

// A 5 x 4 x 3 box with pitch 0.1 (values that are not exact in binary), a
// Z column of 8 values (inline), one of 9 (own arrays), flagged values in
// the other sets and, when placed, a rotated and moved placement.
inline void MakeSampleModel(DexelModel& model, bool placed) {
  ASSERT_EQ(CreateBoxModel(model, {0.0, 0.0, 0.0, 0.4, 0.3, 0.2}, 0.1), kModelOk);
  PutTestColumn(model, kDirectionZ, 1, 1, 8, 0.0, 0.025);
  PutTestColumn(model, kDirectionZ, 2, 1, 9, 0.0, 0.02);
  PutTestColumn(model, kDirectionY, 1, 2, 4, 0.05, 0.05);
  PutTestColumn(model, kDirectionX, 3, 1, 2, 0.1 + 0.2 - 0.25, 0.3);
  if (placed) {
    // A quarter turn about Z, then moved.
    model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 12.5, -3.25, 0.1};
    FinishModelPlacement(model);
  }
}

}  // namespace vestan::testing
