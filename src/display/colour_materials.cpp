#include "display/colour_materials.h"

#include "foundation/single_precision.h"

namespace vestan {

namespace {

float Component(Colour colour, int shift) { return RoundToSingle(((colour >> shift) & 0xFF) / 255.0); }

}  // namespace

GlColour ColorRefToGlColor(Colour colour, float alpha) {
  return {Component(colour, 0), Component(colour, 8), Component(colour, 16), alpha};
}

void ApplyMachineColourAlpha(const ColorSettings& colors, ColourMaterials& m) {
  const ColorSet& c = colors.Live;
  const float a = colors.MachineAlpha;
  m.HeadSlides = ColorRefToGlColor(c.HeadStar, a);
  m.SecondSlides = ColorRefToGlColor(c.HeadStarStar, a);
  m.Head = ColorRefToGlColor(c.Head, a);
  m.Head1 = ColorRefToGlColor(c.Head1, a);
  m.Head2 = ColorRefToGlColor(c.Head2, a);
  m.TableSlides = ColorRefToGlColor(c.TableStar, a);
  m.Table = ColorRefToGlColor(c.Table, a);
  m.Table1 = ColorRefToGlColor(c.Table1, a);
  m.Table2 = ColorRefToGlColor(c.Table2, a);
  m.Vice = ColorRefToGlColor(c.Vice, a);
  m.Basic = ColorRefToGlColor(c.Basic, a);
}

void ApplyToolColourAlpha(const ColorSettings& colors, ColourMaterials& m) {
  const ColorSet& c = colors.Live;
  m.ToolTop = ColorRefToGlColor(c.ToolTop, colors.ToolAlpha);
  m.ToolSide = ColorRefToGlColor(c.ToolSide, colors.ToolAlpha);
  m.Arbor = ColorRefToGlColor(c.Arbor, colors.ToolAlpha);
}

void CreateColourPens(const ColorSettings& colors,
                      std::span<const std::vector<Colour>> pluginPenColours,
                      ColourMaterials& m) {
  m.PluginPens.clear();
  for (const std::vector<Colour>& module : pluginPenColours)
    for (size_t n = 0; n < module.size() && n < kMaxPluginPenColours; ++n)
      for (PenStyle style : {PenStyle::kSolid, PenStyle::kDot, PenStyle::kDashDot})
        m.PluginPens.push_back({module[n], style, 1});
  const ColorSet& c = colors.Live;
  for (size_t pen = 0; pen < m.Pens.size(); ++pen)
    m.Pens[pen] = ColorRefToGlColor(c.Pens[pen], colors.WorkAlpha);
  m.Base = ColorRefToGlColor(c.Base, colors.BaseAlpha);
  m.Highlight = ColorRefToGlColor(c.Penki, colors.WorkAlpha);
}

void CreateColourMaterials(const ColorSettings& colors,
                           std::span<const std::vector<Colour>> pluginPenColours,
                           ColourMaterials& m) {
  const ColorSet& c = colors.Live;
  m.TopPath = ColorRefToGlColor(c.TopPath, 1.0f);
  m.SecondPath = ColorRefToGlColor(c.TopPath2, 1.0f);
  m.Construction = ColorRefToGlColor(c.Construction, 1.0f);
  ApplyToolColourAlpha(colors, m);
  m.Base = ColorRefToGlColor(c.Base, colors.BaseAlpha);
  ApplyMachineColourAlpha(colors, m);
  CreateColourPens(colors, pluginPenColours, m);
  m.BackgroundBrush = c.Background;
  m.Clear = ColorRefToGlColor(c.Background, 1.0f);
}

int32_t RestoreViewCursor(int32_t mouseMode) {
  if (mouseMode == 0) return kCursorArrow;
  return mouseMode == 11 ? 238 : 258;
}

}  // namespace vestan
