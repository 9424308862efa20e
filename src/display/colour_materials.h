// The colours the scene draws with: the colour settings as RGBA float
// materials with their alphas, the pen colour table of the workpiece tags,
// the pens and brush of the 2-D drawings as data, and the view's cursor.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "definitions/color_settings.h"

namespace vestan {

// Red, green, blue, alpha.
using GlColour = std::array<float, 4>;

// A colour setting (0x00BBGGRR) as (R / 255, G / 255, B / 255, alpha).
GlColour ColorRefToGlColor(Colour colour, float alpha);

enum class PenStyle { kNull, kSolid, kDot, kDashDot };

// A 1-pixel pen of the 2-D drawings.
struct PenSpec {
  Colour Rgb = 0;
  PenStyle Style = PenStyle::kSolid;
  int32_t Width = 1;

  bool operator==(const PenSpec&) const = default;
};

// The four standard pens: none, light grey, grey, dotted grey.
inline constexpr std::array<PenSpec, 4> kStandardPens = {{
    {0, PenStyle::kNull, 1},
    {MakeColour(191, 191, 191), PenStyle::kSolid, 1},
    {MakeColour(127, 127, 127), PenStyle::kSolid, 1},
    {MakeColour(127, 127, 127), PenStyle::kDot, 1},
}};

// Pen colours a plug-in module uses; up to this many per module count.
inline constexpr size_t kMaxPluginPenColours = 10;

struct ColourMaterials {
  GlColour TopPath{};       // alpha 1
  GlColour SecondPath{};    // alpha 1
  GlColour Construction{};  // alpha 1
  GlColour ToolTop{};       // "TOOL ALPHA"
  GlColour ToolSide{};
  GlColour Arbor{};
  GlColour Base{};       // "BASE ALPHA"
  GlColour Highlight{};  // PENKI, "WORK ALPHA"
  // The machine, with "MACHINE ALPHA".
  GlColour HeadSlides{};  // HEAD(*)
  GlColour SecondSlides{};  // HEAD(**)
  GlColour Head{};
  GlColour Head1{};
  GlColour Head2{};
  GlColour TableSlides{};  // TABLE(*)
  GlColour Table{};
  GlColour Table1{};
  GlColour Table2{};
  GlColour Vice{};
  GlColour Basic{};
  GlColour Clear{};  // the background, alpha 1
  // Slot 0 the work colour, 1-15 the pens, all with "WORK ALPHA": indexed
  // by a dexel flag's tag and by the current pen.
  std::array<GlColour, kPenColourCount> Pens{};
  // Per plug-in module and pen colour: a solid, a dotted and a dash-dot pen.
  std::vector<PenSpec> PluginPens;
  // The background brush of the 2-D drawings.
  Colour BackgroundBrush = 0;
};

// The eleven machine colours with "MACHINE ALPHA" (at start and when the
// alpha changes).
void ApplyMachineColourAlpha(const ColorSettings& colors, ColourMaterials& materials);
// Tool top, tool side and arbor with "TOOL ALPHA".
void ApplyToolColourAlpha(const ColorSettings& colors, ColourMaterials& materials);
// The plug-in pens from each module's pen colours, and the pen table, the
// base and the highlight colours from the settings.
void CreateColourPens(const ColorSettings& colors,
                      std::span<const std::vector<Colour>> pluginPenColours,
                      ColourMaterials& materials);
// Every colour at start, in the order the materials depend on each other.
void CreateColourMaterials(const ColorSettings& colors,
                           std::span<const std::vector<Colour>> pluginPenColours,
                           ColourMaterials& materials);

// Cursors: the system arrow and wait cursor, and the program's own ones by
// resource number (one per mouse mode and drag state).
inline constexpr int32_t kCursorArrow = 32512;
inline constexpr int32_t kCursorWait = 32514;
inline constexpr std::array<int32_t, 22> kViewCursors = {238, 239, 240, 241, 242, 243, 244, 245,
                                                         246, 247, 248, 249, 250, 251, 252, 253,
                                                         254, 255, 257, 258, 265, 266};
// The view's cursor after a drag or a tool press: the arrow with no mouse
// mode, 238 in the rotation mode, 258 in any other.
int32_t RestoreViewCursor(int32_t mouseMode);

}  // namespace vestan
