#include "display/machine_lists.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "definitions/definition_file.h"
#include "model/length_compensation.h"
#include "model/model_flag_passes.h"
#include "modelfiles/stl_display.h"
#include "modelfiles/stl_file.h"

namespace vestan {

namespace {

Vec3 Times(const Vec3& v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }

Vec3 Scaled(const Vec3& p, double scale) { return {p[0] / scale, p[1] / scale, p[2] / scale}; }

Vec3 Unit(int32_t axis, double length = 1.0) {
  Vec3 v{0.0, 0.0, 0.0};
  v[static_cast<size_t>(std::clamp(axis, 0, 2))] = length;
  return v;
}

void Quad(GlCalls& gl, const Vec3& normal, const Vec3& a, const Vec3& b, const Vec3& c,
          const Vec3& d) {
  gl.Normal(normal);
  gl.Vertex(a);
  gl.Vertex(b);
  gl.Vertex(c);
  gl.Vertex(d);
}

// Replaces list id with an empty one being compiled, its flag cleared.
void StartList(GlCalls& gl, DisplayListTable& lists, DisplayList id) {
  lists.ClearRebuild(id);
  if (gl.IsList(id)) gl.DeleteList(id);
  gl.NewList(id);
}

void DropList(GlCalls& gl, DisplayListTable& lists, DisplayList id) {
  lists.ClearRebuild(id);
  if (gl.IsList(id)) gl.DeleteList(id);
}

// Sizes in model units, drawn in view units.
struct ShapeDrawer {
  GlCalls& gl;
  double scale;
  void Box(const Vec3& min, const Vec3& max) const {
    DrawBox(gl, Scaled(min, scale), Scaled(max, scale));
  }
  void Cylinder(const Vec3& base, double radius, int32_t axis, double length,
                int32_t sides) const {
    DrawCylinder(gl, Scaled(base, scale), radius / scale, axis, length / scale, sides);
  }
};

// One named part model list: its material and its file.
void BuildFileList(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists,
                   DisplayList id, const GlColour& material, const PartModel& part) {
  StartList(gl, lists, id);
  gl.Material(material);
  if (!part.Name.empty()) DrawPartModelFile(gl, part.Name, part.Offset, s.View, s.Progress);
  gl.EndList();
}

double TopRingRadius(const ToolProfile& profile) {
  const int32_t count = std::clamp(profile.PointCount, 0, kProfileCapacity);
  return count > 0 ? profile.Radius[static_cast<size_t>(count - 1)] : 0.0;
}

// The workpiece's material along `along` (minimum, length) and its size
// across the turning axis, for a table turning between centres.
struct BarExtent {
  bool Present = false;
  double Min = 0.0, Length = 0.0, Across = 50.0;
};

BarExtent WorkBarExtent(const DexelModel* work, int32_t along) {
  BarExtent e;
  if (work == nullptr || !work->Allocated()) return e;
  Vec3 min, max;
  ComputeMaterialBounds(*work, min, max);
  if (!(max[0] >= min[0])) return e;
  const size_t a = static_cast<size_t>(std::clamp(along, 0, 2));
  // Across: X when turning about Z, Z about Y, Y about X.
  const size_t across = a == 2 ? 0 : (a == 1 ? 2 : 1);
  e.Present = true;
  e.Min = min[a];
  e.Length = max[a] - min[a];
  e.Across = max[across] - min[across];
  return e;
}

// A bar of radius E / 6 from `start` over `length` along the axis through
// centre, with a disc of radius E / 2 and thickness E / 10 at either end.
void DrawCentresBar(const ShapeDrawer& draw, const Vec3& centre, int32_t axis, double start,
                    double length, double across) {
  const size_t a = static_cast<size_t>(axis);
  Vec3 base = centre;
  base[a] = start;
  draw.Cylinder(base, across / 6.0, axis, length, 4);
  Vec3 before = base;
  before[a] = start - across / 10.0;
  draw.Cylinder(before, across / 2.0, axis, across / 10.0, 20);
  Vec3 after = base;
  after[a] = start + length;
  draw.Cylinder(after, across / 2.0, axis, across / 10.0, 20);
}

// A 10-sided disc of radius 2.2 R and thickness 20 along the axis.
void DrawTableDisc(const ShapeDrawer& draw, const Vec3& centre, int32_t axis, double start) {
  Vec3 base = centre;
  base[static_cast<size_t>(axis)] = start;
  draw.Cylinder(base, 2.2 * kGeneratedTableSize, axis, 20.0, 10);
}

// Half sizes (X, Y) of a generated box table: 3.2 R along a turning axis X or
// Y and 2.2 R across it, else 2.2 R both ways.
std::array<double, 2> BoxTableHalfSizes(int32_t axis, bool alongTurningAxis) {
  const double r = kGeneratedTableSize;
  if (!alongTurningAxis || axis == 2) return {2.2 * r, 2.2 * r};
  return axis == 0 ? std::array<double, 2>{3.2 * r, 2.2 * r}
                   : std::array<double, 2>{2.2 * r, 3.2 * r};
}

GlColour WithAlpha(GlColour colour, float alpha) {
  colour[3] = alpha;
  return colour;
}

// The colours a tool is drawn with.
struct ToolColours {
  GlColour First{};
  GlColour Side{};
  GlColour Arbor{};
};

// The rings of a profile as quads, the colours changing at the side and
// arbor rings, then the top cap.
struct RingDrawing {
  const ToolProfile& Profile;
  Vec3 Offset{};  // model units
  double Scale = 500.0;
  // Ring before the side ring: blending on and half alpha; -1 none.
  bool TranslucentCut = false;
  bool TranslucentTool = false;
  float ToolAlpha = 1.0f;
};

Vec3 RingPoint(const RingDrawing& d, int32_t ring, int32_t j) {
  const Vec3& p = d.Profile.SurfacePoints[static_cast<size_t>(d.Profile.AngleSteps * ring + j)];
  return Scaled(VectorAdd(p, d.Offset), d.Scale);
}

void DrawToolRings(GlCalls& gl, const RingDrawing& d, const ToolColours& colours,
                   const GlColour* capColour) {
  const ToolProfile& p = d.Profile;
  const int32_t rings = std::clamp(p.PointCount, 0, kProfileCapacity);
  const int32_t steps = std::clamp(p.AngleSteps, 0, kProfileAngleSteps);
  if (rings < 2 || steps < 1) return;
  const int32_t sideRing = p.CutCount;
  const int32_t arborRing = p.ShankEndCount;
  for (int32_t i = 0; i + 1 < rings; ++i) {
    if (d.TranslucentCut && i == sideRing - 1) {
      gl.Enable(GlCapability::kBlend);
      gl.Material(WithAlpha(colours.Side, d.TranslucentTool ? 0.5f * d.ToolAlpha : 0.5f));
    }
    if (i == sideRing) {
      if (d.TranslucentCut && !d.TranslucentTool) gl.Disable(GlCapability::kBlend);
      gl.Material(colours.Side);
    }
    if (i == arborRing) gl.Material(colours.Arbor);
    gl.Begin(GlPrimitive::kQuads);
    for (int32_t j = 0; j < steps; ++j) {
      const int32_t k = (j + 1) % steps;
      const Vec3 a = RingPoint(d, i, j), b = RingPoint(d, i, k);
      const Vec3 c = RingPoint(d, i + 1, k), e = RingPoint(d, i + 1, j);
      Vec3 n = VectorCross(VectorSub(c, a), VectorSub(e, b));
      const double length = VectorLength(n);
      if (length > 0.0)
        for (double& v : n) v /= length;
      Quad(gl, n, a, b, c, e);
    }
    gl.End();
  }
  if (capColour != nullptr) gl.Material(*capColour);
  gl.Begin(GlPrimitive::kPolygon);
  gl.Normal({0.0, 0.0, 1.0});
  for (int32_t j = 0; j < steps; ++j) gl.Vertex(RingPoint(d, rings - 1, j));
  gl.End();
}

GlColour PenColour(const ToolListSources& s, int32_t pen) {
  const size_t slot = static_cast<size_t>(std::clamp(pen, 0, kPenColourCount - 1));
  return WithAlpha(s.Materials.Pens[slot], s.Defs.Colors.ToolAlpha);
}

int32_t ToolModeOf(const ToolListSources& s) { return s.Defs.Settings.ToolDisplay; }

}  // namespace

void DrawBox(GlCalls& gl, const Vec3& a, const Vec3& b) {
  gl.Begin(GlPrimitive::kQuads);
  Quad(gl, {1, 0, 0}, {b[0], a[1], a[2]}, {b[0], b[1], a[2]}, {b[0], b[1], b[2]}, {b[0], a[1], b[2]});
  Quad(gl, {0, 1, 0}, {a[0], b[1], a[2]}, {a[0], b[1], b[2]}, {b[0], b[1], b[2]}, {b[0], b[1], a[2]});
  Quad(gl, {-1, 0, 0}, {a[0], a[1], a[2]}, {a[0], a[1], b[2]}, {a[0], b[1], b[2]},
       {a[0], b[1], a[2]});
  Quad(gl, {0, -1, 0}, {a[0], a[1], a[2]}, {b[0], a[1], a[2]}, {b[0], a[1], b[2]},
       {a[0], a[1], b[2]});
  Quad(gl, {0, 0, -1}, {a[0], a[1], a[2]}, {a[0], b[1], a[2]}, {b[0], b[1], a[2]},
       {b[0], a[1], a[2]});
  Quad(gl, {0, 0, 1}, {a[0], a[1], b[2]}, {b[0], a[1], b[2]}, {b[0], b[1], b[2]}, {a[0], b[1], b[2]});
  gl.End();
}

void DrawCylinder(GlCalls& gl, const Vec3& base, double radius, int32_t axis, double length,
                  int32_t sides) {
  if (sides < 3) return;
  const int32_t k = std::clamp(axis, 0, 2);
  const Vec3 eu = Unit((k + 1) % 3), ev = Unit((k + 2) % 3), ek = Unit(k);
  const double step = 2.0 * std::numbers::pi / sides;
  const auto radial = [&](double angle) {
    return VectorAdd(Times(eu, std::cos(angle)), Times(ev, std::sin(angle)));
  };
  const auto at = [&](double angle, double h) {
    return VectorAdd(VectorAdd(base, Times(radial(angle), radius)), Times(ek, h));
  };
  const bool round = sides >= 10;
  gl.Begin(GlPrimitive::kQuads);
  for (int32_t i = 0; i < sides; ++i) {
    const double a0 = step / 2.0 + i * step, a1 = a0 + step;
    if (round) {
      gl.Normal(radial(a0));
      gl.Vertex(at(a0, 0.0));
      gl.Normal(radial(a1));
      gl.Vertex(at(a1, 0.0));
      gl.Vertex(at(a1, length));
      gl.Normal(radial(a0));
      gl.Vertex(at(a0, length));
    } else {
      Quad(gl, radial(a0 + step / 2.0), at(a0, 0.0), at(a1, 0.0), at(a1, length), at(a0, length));
    }
  }
  gl.End();
  gl.Begin(GlPrimitive::kPolygon);
  gl.Normal(ek);
  for (int32_t i = 0; i < sides; ++i) gl.Vertex(at(step / 2.0 + i * step, length));
  gl.End();
  gl.Begin(GlPrimitive::kPolygon);
  gl.Normal(Times(ek, -1.0));
  for (int32_t i = sides - 1; i >= 0; --i) gl.Vertex(at(step / 2.0 + i * step, 0.0));
  gl.End();
}

void DrawStlToolFacets(GlCalls& gl, const ImportedToolMesh& mesh, const Vec3& offset,
                       double displayScale) {
  for (const StlTriangle& t : mesh.Triangles) {
    gl.Begin(GlPrimitive::kPolygon);
    gl.Normal({t[0], t[1], t[2]});
    for (size_t v = 0; v < 3; ++v)
      gl.Vertex(Scaled(VectorAdd({t[3 + 3 * v], t[4 + 3 * v], t[5 + 3 * v]}, offset),
                       displayScale));
    gl.End();
  }
}

void DrawPartModelFile(GlCalls& gl, const std::string& name, const Vec3& offset,
                       const ViewState& view, ProgressState* progress) {
  const std::filesystem::path path = ResolveDefinitionPath(name);
  ReadStlToDisplayList(
      DetectStlKind(path), path, offset, view,
      [&gl](const StlPolygon& facet) {
        gl.Begin(GlPrimitive::kPolygon);
        gl.Normal(facet.Normal);
        for (const Vec3& v : facet.Vertices) gl.Vertex(v);
        gl.End();
      },
      progress);
}

void BuildBaseModelList(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const MachinePartModels& parts = s.Defs.Parts;
  if (parts.BasicNames.empty()) return DropList(gl, lists, kListBaseModels);
  StartList(gl, lists, kListBaseModels);
  gl.Material(s.Materials.Basic);
  for (const std::string& name : parts.BasicNames)
    DrawPartModelFile(gl, name, parts.BasicOffset, s.View, s.Progress);
  gl.EndList();
}

void BuildViceList(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const MachinePartModels& parts = s.Defs.Parts;
  if (parts.ViceNames.empty()) return DropList(gl, lists, kListVice);
  StartList(gl, lists, kListVice);
  gl.Material(s.Materials.Vice);
  for (size_t i = 0; i < parts.ViceNames.size(); ++i) {
    const Vec3 offset = i < parts.ViceOffsets.size() ? parts.ViceOffsets[i] : Vec3{};
    DrawPartModelFile(gl, parts.ViceNames[i], offset, s.View, s.Progress);
  }
  gl.EndList();
}

void BuildTableLists(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const auto& t = s.Defs.Parts.Tables;
  BuildFileList(gl, s, lists, kListTable, s.Materials.Table, t[kTableMain]);
  BuildFileList(gl, s, lists, kListTableSlideX, s.Materials.TableSlides, t[kTableX]);
  BuildFileList(gl, s, lists, kListTableSlideY, s.Materials.TableSlides, t[kTableY]);
  BuildFileList(gl, s, lists, kListTableSlideZ, s.Materials.TableSlides, t[kTableZ]);
}

void BuildMachineSlideLists(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const auto& heads = s.Defs.Parts.Heads;
  const MachineKinematics& k = s.Defs.Kinematics;
  StartList(gl, lists, kListHeadCarrier);
  gl.Material(s.Materials.Head);
  if (!heads[kHeadMain].Name.empty()) {
    DrawPartModelFile(gl, heads[kHeadMain].Name, heads[kHeadMain].Offset, s.View, s.Progress);
  } else if (k.RotaryType == kRotaryTable && heads[kHead1].Name.empty() && k.HeadType == 2) {
    // A block over the spindle; the head's base height is the spindle's
    // reference point.
    const double half = std::max(50.0, 4.5 * TopRingRadius(s.Profile));
    const double h = 0.0;
    ShapeDrawer{gl, s.View.DisplayScale}.Box({-half, -half, h}, {half, half, h + 50.0});
  }
  gl.EndList();
  BuildFileList(gl, s, lists, kListHeadSlideX, s.Materials.HeadSlides, heads[kHeadX]);
  BuildFileList(gl, s, lists, kListHeadSlideY, s.Materials.HeadSlides, heads[kHeadY]);
  BuildFileList(gl, s, lists, kListHeadSlideZ, s.Materials.HeadSlides, heads[kHeadZ]);
  const std::array<std::pair<DisplayList, HeadPart>, 3> second = {
      {{kListHeadSlideXY, kHeadXY}, {kListHeadSlideYZ, kHeadYZ}, {kListHeadSlideZX, kHeadZX}}};
  for (const auto& [id, part] : second) {
    if (heads[part].Name.empty())
      DropList(gl, lists, id);
    else
      BuildFileList(gl, s, lists, id, s.Materials.SecondSlides, heads[part]);
  }
}

void BuildHead1List(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const PartModel& part = s.Defs.Parts.Heads[kHead1];
  const MachineKinematics& k = s.Defs.Kinematics;
  StartList(gl, lists, kListHead1);
  gl.Material(s.Materials.Head1);
  if (!part.Name.empty()) {
    DrawPartModelFile(gl, part.Name, part.Offset, s.View, s.Progress);
  } else if (k.Head1Type == 2 && (k.RotaryType == kRotaryHead || k.RotaryType == kRotaryMix)) {
    const double r = TopRingRadius(s.Profile);
    const int32_t axis = k.Rotary[0].Axis;
    const double from = k.RotaryType == kRotaryHead ? r : -0.75 * r;
    ShapeDrawer{gl, s.View.DisplayScale}.Cylinder(Unit(axis, from), 1.5 * r, axis, 1.5 * r, 20);
  }
  gl.EndList();
}

void BuildHead2List(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const PartModel& part = s.Defs.Parts.Heads[kHead2];
  const MachineKinematics& k = s.Defs.Kinematics;
  StartList(gl, lists, kListHead2);
  gl.Material(s.Materials.Head2);
  if (!part.Name.empty()) {
    DrawPartModelFile(gl, part.Name, part.Offset, s.View, s.Progress);
  } else if (k.Head2Type == 2 && k.RotaryType == kRotaryHead) {
    const double r = TopRingRadius(s.Profile);
    const int32_t axis = k.Rotary[1].Axis;
    const Vec3 base = VectorAdd(Times(k.HeadOffset, -1.0), Unit(axis, -r / 2.0));
    ShapeDrawer{gl, s.View.DisplayScale}.Cylinder(base, r, axis, r, 20);
  }
  gl.EndList();
}

Vec3 TableRotaryCentre(const MachineKinematics& k, size_t rotary) {
  Vec3 c = k.TablePosition;
  if (rotary == 1 && k.RotaryType == kRotaryTable) {
    const int32_t along = std::clamp(k.Rotary[1].Axis, 0, 2);
    for (int32_t a = 0; a < 3; ++a)
      if (a != along) c[static_cast<size_t>(a)] += k.TableOffset[static_cast<size_t>(a)];
  }
  return c;
}

void BuildRotaryTable1List(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const PartModel& part = s.Defs.Parts.Tables[kTable1];
  const MachineKinematics& k = s.Defs.Kinematics;
  StartList(gl, lists, kListRotaryTable1);
  gl.Material(s.Materials.Table1);
  const ShapeDrawer draw{gl, s.View.DisplayScale};
  const double R = kGeneratedTableSize;
  if (!part.Name.empty()) {
    DrawPartModelFile(gl, part.Name, part.Offset, s.View, s.Progress);
  } else if (k.RotaryType == kRotaryTable || k.RotaryType == kRotaryMix) {
    const int32_t axis = std::clamp(k.Rotary[k.RotaryType == kRotaryMix ? 1 : 0].Axis, 0, 2);
    const size_t a = static_cast<size_t>(axis);
    const Vec3 c = TableRotaryCentre(k, 0);
    const double drop = k.RotaryType == kRotaryTable ? 40.0 : 20.0;
    switch (k.TableType) {
      case kTablePlane: {
        const auto half = BoxTableHalfSizes(axis, true);
        const bool centred = axis != 2;
        const Vec3 min{(centred ? c[0] : 0.0) - half[0], (centred ? c[1] : 0.0) - half[1],
                       c[2] - drop};
        const Vec3 max{(centred ? c[0] : 0.0) + half[0], (centred ? c[1] : 0.0) + half[1],
                       c[2] - drop + 20.0};
        draw.Box(min, max);
        Vec3 before = c, after = c;
        before[a] = min[a] - 0.3 * R;
        after[a] = max[a];
        draw.Cylinder(before, 1.5 * R, axis, 0.3 * R, 20);
        draw.Cylinder(after, 1.5 * R, axis, 0.3 * R, 20);
        break;
      }
      case kTableCircle:
      case kTableLathe:
        DrawTableDisc(draw, c, axis, c[a] - drop);
        break;
      case kTableAxis: {
        const BarExtent e = WorkBarExtent(s.Work, axis);
        if (e.Present)
          DrawCentresBar(draw, c, axis, e.Min - e.Length, 3.0 * e.Length, e.Across);
        else
          DrawCentresBar(draw, c, axis, 0.0, s.View.DisplayScale, e.Across);
        break;
      }
      default:
        break;
    }
  }
  gl.EndList();
}

void BuildRotaryTable2List(GlCalls& gl, const MachineListSources& s, DisplayListTable& lists) {
  const PartModel& part = s.Defs.Parts.Tables[kTable2];
  const MachineKinematics& k = s.Defs.Kinematics;
  StartList(gl, lists, kListRotaryTable2);
  gl.Material(s.Materials.Table2);
  const ShapeDrawer draw{gl, s.View.DisplayScale};
  if (!part.Name.empty()) {
    DrawPartModelFile(gl, part.Name, part.Offset, s.View, s.Progress);
  } else if (k.RotaryType == kRotaryTable) {
    const int32_t axis = std::clamp(k.Rotary[1].Axis, 0, 2);
    const size_t a = static_cast<size_t>(axis);
    const Vec3 c1 = TableRotaryCentre(k, 0);
    const Vec3 c = TableRotaryCentre(k, 1);
    switch (k.SecondTableType) {
      case kTablePlane: {
        const auto half = BoxTableHalfSizes(axis, true);
        draw.Box({-half[0], -half[1], -20.0}, {half[0], half[1], 0.0});
        break;
      }
      case kTableCircle:
      case kTableLathe:
        DrawTableDisc(draw, c, axis, c1[a] - 20.0);
        break;
      case kTableAxis: {
        const BarExtent e = WorkBarExtent(s.Work, axis);
        DrawCentresBar(draw, c, axis, e.Min - e.Length / 2.0, 2.0 * e.Length, e.Across);
        break;
      }
      default:
        break;
    }
  }
  gl.EndList();
}

Vec3 ToolTipOffset(const MachineKinematics& k, double referenceLength) {
  if (k.RotaryType == kRotaryHead) {
    Vec3 t = Times(VectorAdd(k.HeadPosition, k.HeadOffset), -1.0);
    t[2] -= referenceLength;
    return t;
  }
  if (k.ToolDirectionInUse != 0) return Times(k.ToolDirection, -referenceLength);
  return {0.0, 0.0, -referenceLength};
}

bool ShowsToolLayout(const ToolTable& tools, int32_t currentTool) {
  const ToolLayout& layout = tools.Layout;
  if (layout.Count <= 0) return false;
  if (currentTool == 0) return true;
  return currentTool > 0 && currentTool < kLayoutEntries &&
         layout.Placed[static_cast<size_t>(currentTool)] != 0;
}

int32_t BuildToolList(GlCalls& gl, const ToolListSources& s, DisplayListTable& lists) {
  DropList(gl, lists, kListTool);
  if (s.Tool.Tool.Defined == 0) return s.ToolInSpindle;
  const double scale = s.View.DisplayScale;
  const double reference = s.Position.ReferenceLength;
  const Vec3 tip = ToolTipOffset(s.Defs.Kinematics, reference);
  const bool held = s.ToolInSpindle != 0;
  ToolColours colours;
  colours.First = !held ? s.Materials.Clear
                  : s.Defs.Settings.ToolTopColorMode == 0 ? PenColour(s, s.Tool.PenNumber)
                                                          : s.Materials.ToolTop;
  colours.Side = s.Materials.ToolSide;
  colours.Arbor = s.Materials.Arbor;
  gl.NewList(kListTool);
  gl.Material(colours.First);
  if (s.Tool.Tool.Kind == kToolImportedMesh) DrawStlToolFacets(gl, s.Mesh, tip, scale);
  RingDrawing rings{s.Profile, tip, scale};
  rings.TranslucentCut = s.Tool.Tool.CuttingLength == 0.0f;
  rings.TranslucentTool = ToolModeOf(s) == 2;
  rings.ToolAlpha = s.Defs.Colors.ToolAlpha;
  // The cap is in the first colour for a tool as long as it was measured,
  // in the background colour for an empty spindle.
  const GlColour* cap = nullptr;
  if (!held)
    cap = &s.Materials.Clear;
  else if (reference == static_cast<double>(s.Position.ToolLength))
    cap = &colours.First;
  DrawToolRings(gl, rings, colours, cap);
  gl.EndList();
  return s.ToolInSpindle;
}

namespace {

// The profile of a layout tool, derived on a private copy of every record a
// tool change writes.
struct LayoutToolProfile {
  ToolTable Table;
  CurrentTool Current;
  std::unique_ptr<ToolProfile> Profile = std::make_unique<ToolProfile>();
  MachinePositionState Position;
  LengthCompensationState Compensation;
  DisplayListTable Display;

  LayoutToolProfile(const Definitions& defs, int32_t tool) : Table(defs.Tools) {
    ToolChangeRecords records{Table,           Current,         *Profile,    Position,
                              Compensation,    Display,         defs.Machine, defs.Kinematics,
                              defs.Controller, defs.Checks,     defs.Settings.Pitch};
    SetCurrentTool(tool, 0.0, records);
  }
};

}  // namespace

int32_t BuildToolLayoutList(GlCalls& gl, const ToolListSources& s, DisplayListTable& lists) {
  DropList(gl, lists, kListTool);
  const ToolLayout& layout = s.Defs.Tools.Layout;
  const MachineKinematics& k = s.Defs.Kinematics;
  const Vec3 tip = ToolTipOffset(k, s.Position.ReferenceLength);
  const Vec3 axis = k.ToolDirectionInUse != 0 ? k.ToolDirection : Vec3{0.0, 0.0, 1.0};
  const bool pen = s.Defs.Settings.ToolTopColorMode == 0;
  gl.NewList(kListTool);
  const int32_t count = std::clamp(layout.Count, 0, kLayoutEntries - 1);
  for (int32_t n = 1; n <= count; ++n) {
    const int32_t tool = layout.Order[static_cast<size_t>(n)];
    if (tool < 0 || tool >= kLayoutEntries) continue;
    const LayoutToolProfile derived(s.Defs, tool);
    if (derived.Current.Tool.Defined == 0) continue;
    const auto& mount = layout.Position[static_cast<size_t>(tool)];
    Vec3 offset = VectorAdd(tip, {mount[0], mount[1], mount[2]});
    offset = VectorSub(offset, Times(axis, derived.Position.ToolLength));
    ToolColours colours;
    colours.First = pen                              ? PenColour(s, s.Tool.PenNumber)
                    : tool == s.CurrentToolNumber ? s.Materials.ToolTop
                                                  : s.Materials.Arbor;
    colours.Side = s.Materials.ToolSide;
    colours.Arbor = s.Materials.Arbor;
    gl.Material(colours.First);
    DrawToolRings(gl, RingDrawing{*derived.Profile, offset, s.View.DisplayScale}, colours,
                  &colours.First);
  }
  gl.EndList();
  return s.ToolInSpindle;
}

}  // namespace vestan
