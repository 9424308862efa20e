#include "display/colour_materials.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestan {
namespace {

TEST(ColorRefToGlColor, RedInTheLowByte) {
  const GlColour c = ColorRefToGlColor(0x00336699u, 0.25f);  // B 0x33, G 0x66, R 0x99
  EXPECT_FLOAT_EQ(c[0], 153.0f / 255.0f);
  EXPECT_FLOAT_EQ(c[1], 102.0f / 255.0f);
  EXPECT_FLOAT_EQ(c[2], 51.0f / 255.0f);
  EXPECT_EQ(c[3], 0.25f);
  EXPECT_EQ(ColorRefToGlColor(MakeColour(255, 0, 0), 1.0f), (GlColour{1, 0, 0, 1}));
  // The unused high byte plays no part.
  EXPECT_EQ(ColorRefToGlColor(0xFF00FF00u, 0.5f), (GlColour{0, 1, 0, 0.5f}));
}

TEST(ColourMaterials, EachSlotTakesItsSettingAndAlpha) {
  ColorSettings colors;
  colors.WorkAlpha = 0.1f;
  colors.BaseAlpha = 0.2f;
  colors.ToolAlpha = 0.3f;
  colors.MachineAlpha = 0.4f;
  colors.Live.Vice = MakeColour(255, 255, 255);
  colors.Live.Pens[15] = MakeColour(0, 0, 255);
  ColourMaterials m;
  CreateColourMaterials(colors, {}, m);
  EXPECT_EQ(m.Vice, (GlColour{1, 1, 1, 0.4f}));
  EXPECT_EQ(m.Pens[15], (GlColour{0, 0, 1, 0.1f}));
  EXPECT_EQ(m.Pens[0], ColorRefToGlColor(colors.Live.Pens[0], 0.1f));
  EXPECT_EQ(m.Highlight, ColorRefToGlColor(colors.Live.Penki, 0.1f));
  EXPECT_EQ(m.Base, ColorRefToGlColor(colors.Live.Base, 0.2f));
  EXPECT_EQ(m.Arbor, ColorRefToGlColor(colors.Live.Arbor, 0.3f));
  EXPECT_EQ(m.TopPath[3], 1.0f);
  EXPECT_EQ(m.SecondPath, ColorRefToGlColor(colors.Live.TopPath2, 1.0f));
  EXPECT_EQ(m.Clear, ColorRefToGlColor(colors.Live.Background, 1.0f));
  EXPECT_EQ(m.BackgroundBrush, colors.Live.Background);
  // A new machine alpha changes the machine's colours and nothing else.
  colors.MachineAlpha = 1.0f;
  colors.ToolAlpha = 0.9f;
  ApplyMachineColourAlpha(colors, m);
  for (const GlColour* c : {&m.HeadSlides, &m.SecondSlides, &m.Head, &m.Head1, &m.Head2,
                            &m.TableSlides, &m.Table, &m.Table1, &m.Table2, &m.Vice, &m.Basic})
    EXPECT_EQ((*c)[3], 1.0f);
  EXPECT_EQ(m.ToolTop[3], 0.3f);
  ApplyToolColourAlpha(colors, m);
  EXPECT_EQ(m.ToolTop[3], 0.9f);
  EXPECT_EQ(m.ToolSide[3], 0.9f);
}

TEST(CreateColourPens, ThreePensPerPluginColourUpToTen) {
  ColorSettings colors;
  ColourMaterials m;
  const std::vector<std::vector<Colour>> none = {{}};
  CreateColourPens(colors, none, m);
  EXPECT_TRUE(m.PluginPens.empty());
  std::vector<std::vector<Colour>> modules = {{MakeColour(1, 2, 3)}, {}};
  for (uint32_t n = 0; n < 12; ++n) modules[1].push_back(MakeColour(n, 0, 0));
  CreateColourPens(colors, modules, m);
  ASSERT_EQ(m.PluginPens.size(), 3u * 11u);
  EXPECT_EQ(m.PluginPens[0], (PenSpec{MakeColour(1, 2, 3), PenStyle::kSolid, 1}));
  EXPECT_EQ(m.PluginPens[1].Style, PenStyle::kDot);
  EXPECT_EQ(m.PluginPens[2].Style, PenStyle::kDashDot);
  EXPECT_EQ(m.PluginPens.back().Rgb, MakeColour(9, 0, 0));
}

TEST(RestoreViewCursor, ArrowWithoutAModeElseByMode) {
  EXPECT_EQ(RestoreViewCursor(0), kCursorArrow);
  EXPECT_EQ(RestoreViewCursor(11), 238);
  EXPECT_EQ(RestoreViewCursor(1), 258);
  EXPECT_EQ(RestoreViewCursor(13), 258);
}

}  // namespace
}  // namespace vestan
