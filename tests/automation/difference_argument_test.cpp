#include "automation/difference_argument.h"

#include <gtest/gtest.h>

namespace vestan {
namespace {

TEST(DifferenceArgument, FillsTheDifferenceSettings) {
  struct Case {
    std::string_view Text;
    int32_t Area;
    double Margin;
    int32_t PenColouring, Pen, ClearPrevious;
    double Emphasis;
    int32_t Result;
  };
  // Starting from the settings' defaults: +1, 0.1, penki, pen 1, clear, 0.
  const Case cases[] = {
      {"+0.1H5K,0.2", 1, 0.1, 1, 5, 0, 0.2, 0},
      {"-0.05NP", -1, 0.05, 0, 1, 1, 0.0, 0},
      {"0.3h12", 1, 0.3, 1, 12, 1, 0.0, 0},
      {"-2N", -1, 2, 0, 1, 1, 0.0, 0},       // nothing after N: penki
      {"+0.5", 1, 0.5, 0, 1, 1, 0.0, 0},     // no H or N: side and margin only
      {"0.5 xyz", 1, 0.5, 0, 1, 1, 0.0, 1},  // text follows
      {"0.1H7Kx", 1, 0.1, 1, 7, 0, 0.0, 1},
      {"0.1H99", 1, 0.1, 1, 1, 1, 0.0, 0},  // no pen 99: pen 1
      {"0.1HP,1.5", 1, 0.1, 0, 1, 1, 1.5, 0},
  };
  for (const Case& c : cases) {
    DifferenceSettings d;
    d.EmphasisWidth = 9.0;
    const int32_t result = ParseDiffArgument(c.Text, d);
    EXPECT_EQ(d.Area, c.Area) << c.Text;
    EXPECT_EQ(d.Margin, c.Margin) << c.Text;
    EXPECT_EQ(d.BuiltMargin, c.Margin) << c.Text;
    EXPECT_EQ(d.PenColouring, c.PenColouring) << c.Text;
    EXPECT_EQ(d.Pen, c.Pen) << c.Text;
    EXPECT_EQ(d.ClearPrevious, c.ClearPrevious) << c.Text;
    if (c.Text.find_first_of("HhNn") != std::string_view::npos)
      EXPECT_EQ(d.EmphasisWidth, c.Emphasis) << c.Text;
    else
      EXPECT_EQ(d.EmphasisWidth, 9.0) << c.Text;  // untouched without H or N
    EXPECT_EQ(result, c.Result) << c.Text;
  }
}

}  // namespace
}  // namespace vestan
