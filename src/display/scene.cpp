#include "display/scene.h"

#include <algorithm>
#include <cmath>

#include "display/machine_lists.h"
#include "display/machine_orientation.h"
#include "display/view_mapping.h"
#include "machine/forward_kinematics.h"
#include "machine/rotary_axes.h"

namespace vestan {

namespace {

constexpr GlColour kRed{1, 0, 0, 1}, kGreen{0, 1, 0, 1}, kBlue{0, 0, 1, 1};
constexpr GlColour kLightRed{1, 0.5f, 0.5f, 1}, kLightGreen{0.5f, 1, 0.5f, 1},
    kLightBlue{0.5f, 0.5f, 1, 1};

Vec3 Times(const Vec3& v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }

Matrix4 Translated(Matrix4 m, const Vec3& by, double scale) {
  TranslateMatrix4(m, Times(by, 1.0 / scale));
  return m;
}

// A map of model points as a matrix on view units.
template <typename Map>
Matrix4 AffineOf(const Map& map, double scale) {
  const Vec3 origin = map(Vec3{0.0, 0.0, 0.0});
  Matrix4 m = IdentityMatrix4();
  for (size_t c = 0; c < 3; ++c) {
    Vec3 e{0.0, 0.0, 0.0};
    e[c] = 1.0;
    const Vec3 image = VectorSub(map(e), origin);
    for (size_t r = 0; r < 3; ++r) m[4 * c + r] = image[r];
  }
  for (size_t r = 0; r < 3; ++r) m[12 + r] = origin[r] / scale;
  return m;
}

Matrix4 InverseAffine(const Matrix4& m) {
  Matrix3 a;
  for (size_t c = 0; c < 3; ++c)
    for (size_t r = 0; r < 3; ++r) a[3 * c + r] = m[4 * c + r];
  const Matrix3 inverse = InvertMatrix3(a);
  const Vec3 t = MultiplyMatrixVector(inverse, {m[12], m[13], m[14]});
  Matrix4 out = IdentityMatrix4();
  for (size_t c = 0; c < 3; ++c)
    for (size_t r = 0; r < 3; ++r) out[4 * c + r] = inverse[3 * c + r];
  for (size_t r = 0; r < 3; ++r) out[12 + r] = -t[r];
  return out;
}

// The tables' turn back by the angles (sc: sine and cosine of each rotary
// angle with its sign), as the kinematics turn the work.
Matrix4 TableTurn(const MachineKinematics& k, const std::array<double, 4>& sc, double scale) {
  const RotarySinCos back{-sc[0], sc[1], -sc[2], sc[3]};
  return AffineOf(
      [&](const Vec3& p) {
        Vec3 q = p;
        CorrectRotaryCentre(k, back, q);
        return q;
      },
      scale);
}

// A turn about rotary axis `rotary` through centre, as the head turns.
Matrix4 HeadTurn(const MachineKinematics& k, size_t rotary, const std::array<double, 4>& sc,
                 const Vec3& centre, double scale) {
  const RotaryAxisFrame axis = DescribeRotaryAxis(k, rotary);
  return AffineOf(
      [&](const Vec3& p) {
        return VectorAdd(centre, RotateThroughRotaryAxis(axis, sc[2 * rotary],
                                                         sc[2 * rotary + 1], VectorSub(p, centre)));
      },
      scale);
}

void SetBlending(GlCalls& gl, int32_t mode) {
  if (mode == 2)
    gl.Enable(GlCapability::kBlend);
  else
    gl.Disable(GlCapability::kBlend);
}

void Line(GlCalls& gl, const Vec3& a, const Vec3& b) {
  gl.Vertex(a);
  gl.Vertex(b);
}

// A frame's three axes from origin, coloured X, Y, Z.
void FrameAxes(GlCalls& gl, const Vec3& origin, const std::array<Vec3, 3>& axes,
               const std::array<GlColour, 3>& colours) {
  for (size_t k = 0; k < 3; ++k) {
    gl.Colour(colours[k]);
    gl.Begin(GlPrimitive::kLines);
    Line(gl, origin, VectorAdd(origin, axes[k]));
    gl.End();
  }
}

double SnappedDegrees(double degrees) {
  for (const double quarter : {0.0, 90.0, 180.0, 270.0, 360.0})
    if (std::abs(degrees - quarter) < 0.1) return quarter;
  return degrees;
}

bool AnyFlag(const DisplayListTable& flags, DisplayList first, DisplayList last) {
  for (int id = first; id <= last; ++id)
    if (flags.NeedsRebuild(static_cast<DisplayList>(id))) return true;
  return false;
}

WorkpieceStyle StyleOf(const Scene& s) {
  return {s.Materials, s.Defs.Colors.Live, s.Defs.Settings.WorkDisplay, s.Defs.Settings.MeshMode,
          s.View.DisplayScale, s.Camera.Zoom};
}

}  // namespace

GlLight SceneLight(int32_t orientation) {
  GlLight light;
  light.Ambient = {0.1f, 0.1f, 0.1f, 1.0f};
  light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
  light.Position = {0.5f, 0.5f, 1.0f, 0.0f};
  switch (orientation) {
    case 1:
    case 3:
      light.Position = {-0.5f, 0.5f, 1.0f, 0.0f};
      break;
    case 10:
    case 12:
      light.Position = {1.0f, 0.5f, 0.5f, 0.0f};
      break;
    case 11:
    case 13:
      light.Position = {0.5f, -1.0f, 0.5f, 0.0f};
      break;
    case 30:
    case 31:
    case 32:
    case 33:
      light.Position = {-0.5f, -1.0f, 0.5f, 0.0f};
      break;
    default:
      break;
  }
  return light;
}

SceneFrames ComputeSceneFrames(const Scene& s) {
  const MachineDefinition& machine = s.Defs.Machine;
  const MachineKinematics& k = s.Defs.Kinematics;
  const double scale = s.View.DisplayScale;
  const AxisPosition& m = s.Position.MachinePosition;
  const std::array<double, 4>& sc = s.Position.RotarySinCos;
  SceneFrames f;

  SetTableShift(machine, m, f.TableShift);
  for (size_t a = 0; a < 3; ++a) f.HeadShift[a] = machine.TableMoves[a] != 0 ? 0.0 : m[a];
  const ToolLayout& layout = s.Defs.Tools.Layout;
  const int32_t tool = s.CurrentToolNumber;
  if (tool >= 0 && tool < kLayoutEntries && layout.Placed[static_cast<size_t>(tool)] != 0) {
    const auto& mount = layout.Position[static_cast<size_t>(tool)];
    f.HeadShift = VectorSub(f.HeadShift, {mount[0], mount[1], mount[2]});
  }

  const Matrix4 turn = k.RotaryType == kRotaryTable || k.RotaryType == kRotaryMix
                           ? TableTurn(k, sc, scale)
                           : IdentityMatrix4();
  f.View = ApplyViewTransform(s.View, s.Camera, machine.MachineOrientation);
  // Following the tables turns the view with them, which the tables' own
  // turn below undoes.
  if (s.Camera.FollowTable != 0) f.View = MultiplyMatrix4(f.View, InverseAffine(turn));
  if (s.Camera.FixedTable != 0) f.View = Translated(f.View, Times(f.TableShift, -1.0), scale);

  for (size_t a = 0; a < 3; ++a) {
    Vec3 along{0.0, 0.0, 0.0};
    along[a] = f.TableShift[a];
    f.TableSlides[a] = Translated(f.View, along, scale);
  }
  f.Table = Translated(f.View, f.TableShift, scale);
  f.Work = MultiplyMatrix4(f.Table, turn);
  f.RotaryTable1 = k.RotaryType == kRotaryTable
                       ? MultiplyMatrix4(f.Table, TableTurn(k, {sc[0], sc[1], 0.0, 1.0}, scale))
                       : f.Work;

  for (size_t a = 0; a < 3; ++a) {
    Vec3 along{0.0, 0.0, 0.0};
    along[a] = f.HeadShift[a];
    f.HeadSlides[a] = Translated(f.View, along, scale);
    Vec3 second = along;
    second[(a + 1) % 3] = f.HeadShift[(a + 1) % 3];
    f.SecondSlides[a] = Translated(f.View, second, scale);
  }
  f.Head = Translated(f.View, f.HeadShift, scale);
  f.Head1 = f.Head;
  f.Tool = f.Head;
  if (k.RotaryType == kRotaryHead) {
    f.Head1 = MultiplyMatrix4(f.Head, HeadTurn(k, 0, sc, {0.0, 0.0, 0.0}, scale));
    f.Tool = MultiplyMatrix4(f.Head1, HeadTurn(k, 1, sc, Times(k.HeadOffset, -1.0), scale));
  } else if (k.RotaryType == kRotaryMix) {
    f.Head1 = MultiplyMatrix4(f.Head, HeadTurn(k, 0, sc, k.HeadPosition, scale));
    f.Tool = f.Head1;
  }
  return f;
}

std::array<double, 2> OverlayAxisDirection(const ViewState& view, int32_t orientation, int32_t k) {
  double sa, ca, se, ce;
  GetAxisSinCos(SnappedDegrees(view.Azimuth), 1, sa, ca);
  GetAxisSinCos(SnappedDegrees(view.Elevation), 1, se, ce);
  Vec3 q{0.0, 0.0, 0.0};
  q[static_cast<size_t>(std::clamp(k, 0, 2))] = 1.0;
  if (orientation > 0) MapToViewOrientation(orientation, q);
  return {ca * q[0] - sa * q[1], ce * (sa * q[0] + ca * q[1]) + se * q[2]};
}

void BuildOverlayList(GlCalls& gl, const ViewState& view, const ViewCamera& camera,
                      int32_t orientation, DisplayListTable& flags) {
  flags.ClearRebuild(kListOverlay);
  if (gl.IsList(kListOverlay)) gl.DeleteList(kListOverlay);
  gl.NewList(kListOverlay);
  const double w = std::max(camera.Width, 1), h = std::max(camera.Height, 1);
  const double ox = 80.0 / w - 1.0, oy = 80.0 / h - 1.0;
  const std::array<GlColour, 3> colours{kRed, kGreen, kBlue};
  for (int32_t k = 0; k < 3; ++k) {
    const auto d = OverlayAxisDirection(view, orientation, k);
    const double length = std::hypot(d[0], d[1]);
    // An axis seen end-on is not drawn.
    if (length < 1e-9) continue;
    const Vec3 tip{ox + d[0] * 60.0 / w, oy + d[1] * 60.0 / h, -1.0};
    const double cx = tip[0] + d[0] / length * 10.0 / w, cy = tip[1] + d[1] / length * 10.0 / h;
    gl.Colour(colours[static_cast<size_t>(k)]);
    gl.Begin(GlPrimitive::kLines);
    Line(gl, {ox, oy, -1.0}, tip);
    gl.End();
    if (k == 0) {
      const double hx = 7.0 / w, hy = 7.0 / h;
      gl.Begin(GlPrimitive::kLines);
      Line(gl, {cx - hx, cy - hy, -1.0}, {cx + hx, cy + hy, -1.0});
      Line(gl, {cx - hx, cy + hy, -1.0}, {cx + hx, cy - hy, -1.0});
      gl.End();
      continue;
    }
    const double hx = 8.0 / w, hy = 8.0 / h;
    if (k == 1) {
      gl.Begin(GlPrimitive::kLines);
      Line(gl, {cx, cy, -1.0}, {cx, cy - hy, -1.0});
      gl.End();
      gl.Begin(GlPrimitive::kLineStrip);
      gl.Vertex({cx - hx, cy + hy, -1.0});
      gl.Vertex({cx, cy, -1.0});
      gl.Vertex({cx + hx, cy + hy, -1.0});
      gl.End();
    } else {
      gl.Begin(GlPrimitive::kLineStrip);
      gl.Vertex({cx - hx, cy + hy, -1.0});
      gl.Vertex({cx + hx, cy + hy, -1.0});
      gl.Vertex({cx - hx, cy - hy, -1.0});
      gl.Vertex({cx + hx, cy - hy, -1.0});
      gl.End();
    }
  }
  gl.EndList();
}

void BuildCoordinateAxesList(GlCalls& gl, const Scene& s) {
  s.Flags.ClearRebuild(kListCoordinateAxes);
  if (gl.IsList(kListCoordinateAxes)) gl.DeleteList(kListCoordinateAxes);
  gl.NewList(kListCoordinateAxes);
  const double scale = s.View.DisplayScale;
  FrameAxes(gl, {0.0, 0.0, 0.0}, {{{1.5, 0, 0}, {0, 1.5, 0}, {0, 0, 1.5}}}, {kRed, kGreen, kBlue});
  if (s.FirstWorkFrame != nullptr)
    FrameAxes(gl, Times(s.FirstWorkFrame->Origin, 1.0 / scale), s.FirstWorkFrame->ScaledAxes,
              {kLightRed, kLightGreen, kLightBlue});
  if (s.TiltedPlaneAxes != nullptr)
    FrameAxes(gl, Times(s.TiltedPlaneAxes->Origin, 1.0 / scale), s.TiltedPlaneAxes->ScaledAxes,
              {kLightRed, kLightGreen, kLightBlue});
  if (s.CurrentWorkFrame != nullptr)
    FrameAxes(gl, Times(s.CurrentWorkFrame->Origin, 1.0 / scale), s.CurrentWorkFrame->ScaledAxes,
              {kRed, kGreen, kBlue});
  gl.EndList();
}

void BuildPickPointList(GlCalls& gl, const Scene& s) {
  s.Flags.ClearRebuild(kListPickPoint);
  if (gl.IsList(kListPickPoint)) gl.DeleteList(kListPickPoint);
  if (s.Pick == nullptr) return;
  gl.NewList(kListPickPoint);
  gl.PointSize(5.0f);
  gl.Colour(kRed);
  gl.Begin(GlPrimitive::kPoints);
  gl.Vertex(Times(s.Pick->Point, 1.0 / s.View.DisplayScale));
  gl.End();
  gl.EndList();
  s.Pick->IndicatorState = 1;
}

void BuildRotationCentreList(GlCalls& gl, const Scene& s) {
  s.Flags.ClearRebuild(kListRotationCentre);
  if (gl.IsList(kListRotationCentre)) gl.DeleteList(kListRotationCentre);
  gl.NewList(kListRotationCentre);
  gl.Colour(kRed);
  gl.PointSize(5.0f);
  gl.Begin(GlPrimitive::kPoints);
  gl.Vertex(s.Camera.Centre);
  gl.End();
  gl.EndList();
}

void BuildExtraModelList(GlCalls& gl, const Scene& s) {
  s.Flags.ClearRebuild(kListExtraModel);
  if (gl.IsList(kListExtraModel)) gl.DeleteList(kListExtraModel);
  const DexelModel& base = s.Work.BasicModel;
  if (s.Work.BasicModelLoaded == 0 || !base.Allocated()) return;
  // The base colour takes the work colour's pen slot for this build only.
  ColourMaterials materials = s.Materials;
  materials.Pens[0] = s.Materials.Base;
  const WorkpieceStyle style{materials, s.Defs.Colors.Live, 1, kMeshSolid, s.View.DisplayScale,
                             s.Camera.Zoom};
  ModelRenderBuffers buffers;
  PrepareModelRenderBuffers(base, buffers);
  const int32_t blocks = base.BlocksX * base.BlocksY * base.BlocksZ;
  CellRange whole = BlockCellRange(base, 0);
  whole.High = BlockCellRange(base, std::max(blocks - 1, 0)).High;
  BuildModelDisplayLists(gl, base, buffers, style, kMeshSolid, whole, kListExtraModel);
}

void DrawZoomRectangle(GlCalls& gl, const ViewCamera& camera, const ZoomRectangle& zoom) {
  if (zoom.Active == 0 || (zoom.From.X == zoom.To.X && zoom.From.Y == zoom.To.Y)) return;
  const double w = std::max(camera.Width, 1), h = std::max(camera.Height, 1);
  const auto ndc = [&](int32_t x, int32_t y) {
    return Vec3{2.0 * x / w - 1.0, 1.0 - 2.0 * y / h, -1.0};
  };
  gl.Colour(kRed);
  gl.LineWidth(2.0f);
  gl.Begin(GlPrimitive::kLineLoop);
  gl.Vertex(ndc(zoom.From.X, zoom.From.Y));
  gl.Vertex(ndc(zoom.To.X, zoom.From.Y));
  gl.Vertex(ndc(zoom.To.X, zoom.To.Y));
  gl.Vertex(ndc(zoom.From.X, zoom.To.Y));
  gl.End();
  gl.LineWidth(1.0f);
}

void DrawScene(GlCalls& gl, const Scene& s, SceneLists& lists) {
  const Definitions& defs = s.Defs;
  const Settings& settings = defs.Settings;
  const MachineKinematics& k = defs.Kinematics;
  DisplayListTable& flags = s.Flags;
  const int32_t orientation = defs.Machine.MachineOrientation;
  const int32_t machineMode = settings.MachineDisplay;
  DexelModel& model = s.Work.Workpiece();
  const bool work = s.Work.WorkPresent != 0 && model.Allocated();
  const bool base = s.Work.BasicModelLoaded != 0 && s.Work.BasicModel.Allocated();
  const WorkpieceStyle style = StyleOf(s);

  // 1. The light stays with the eye.
  gl.LoadMatrix(GlMatrixMode::kModelView, IdentityMatrix4());
  gl.SetLight0(SceneLight(orientation));
  gl.Enable(GlCapability::kCullFace);
  gl.Enable(GlCapability::kNormalize);
  gl.Enable(GlCapability::kLighting);
  gl.Enable(GlCapability::kLight0);
  gl.UseAlphaBlending();
  if (s.ToolInSpindle != lists.ToolInSpindleBuilt) flags.RequestRebuild(kListTool);

  // 2. Where the slides and tables stand.
  const SceneFrames f = ComputeSceneFrames(s);

  // 3. Rebuilds. While the run may be reallocating columns the workpiece
  // keeps the lists it has.
  if (work && s.Frame != SceneFrameKind::kRunBusy && WorkpieceListsStale(model, lists.Work))
    BuildWorkpieceLists(gl, model, lists.Work, style);
  if (settings.BaseDisplay != 0) {
    if (!base) {
      if (gl.IsList(kListExtraModel)) gl.DeleteList(kListExtraModel);
    } else if (flags.NeedsRebuild(kListExtraModel)) {
      BuildExtraModelList(gl, s);
    }
  }
  if (flags.NeedsRebuild(kListOverlay)) BuildOverlayList(gl, s.View, s.Camera, orientation, flags);
  if (flags.NeedsRebuild(kListCoordinateAxes)) BuildCoordinateAxesList(gl, s);
  const MachineListSources machine{defs, s.View, s.Materials, s.Profile, work ? &model : nullptr,
                                   s.Progress};
  if (flags.NeedsRebuild(kListBaseModels)) BuildBaseModelList(gl, machine, flags);
  // The path lists re-run the program through an interpreter of their own,
  // which must not read the program text or the tool table while a run
  // does: during a run their flags wait.
  if (s.PathSource != nullptr && s.Frame == SceneFrameKind::kIdle) {
    if (flags.NeedsRebuild(kListPath))
      lists.PathProgramTime =
          BuildPathList(gl, *s.PathSource, s.Materials, s.HideRapidPath, flags).ProgramTime;
    if (flags.NeedsRebuild(kListPath2))
      lists.Path2ProgramTime =
          BuildSecondPathList(gl, *s.PathSource, s.Materials, s.HideRapidPath, flags).ProgramTime;
  }
  if (flags.NeedsRebuild(kListTool)) {
    const ToolListSources tool{defs,       s.View,     s.Materials,         s.Tool,
                               s.Profile,  s.ToolMesh, s.Position,          s.CurrentToolNumber,
                               s.ToolInSpindle};
    lists.ToolInSpindleBuilt = ShowsToolLayout(defs.Tools, s.CurrentToolNumber)
                                   ? BuildToolLayoutList(gl, tool, flags)
                                   : BuildToolList(gl, tool, flags);
  }
  if (AnyFlag(flags, kListHeadCarrier, kListHeadSlideZX)) BuildMachineSlideLists(gl, machine, flags);
  if (flags.NeedsRebuild(kListHead1)) BuildHead1List(gl, machine, flags);
  if (flags.NeedsRebuild(kListHead2)) BuildHead2List(gl, machine, flags);
  if (AnyFlag(flags, kListTable, kListTableSlideZ)) BuildTableLists(gl, machine, flags);
  if (flags.NeedsRebuild(kListRotaryTable1)) BuildRotaryTable1List(gl, machine, flags);
  if (flags.NeedsRebuild(kListRotaryTable2)) BuildRotaryTable2List(gl, machine, flags);
  if (flags.NeedsRebuild(kListVice)) BuildViceList(gl, machine, flags);
  if (s.Pick != nullptr && s.Pick->IndicatorState == 2) BuildPickPointList(gl, s);
  if (settings.RotationCentreDisplay != 0) BuildRotationCentreList(gl, s);

  // 4. The cleared frame.
  gl.ClearColour(s.Materials.Clear);
  gl.Viewport(s.Camera.Width, s.Camera.Height);
  gl.Clear();
  gl.Enable(GlCapability::kDepthTest);

  // 5. The overlay in screen space.
  gl.LoadMatrix(GlMatrixMode::kProjection, IdentityMatrix4());
  gl.LoadMatrix(GlMatrixMode::kModelView, IdentityMatrix4());
  gl.Disable(GlCapability::kLighting);
  DrawZoomRectangle(gl, s.Camera, s.Zoom);
  gl.CallList(kListOverlay);
  gl.Enable(GlCapability::kLighting);

  // 6-8. Projection and view, with the table options.
  gl.LoadMatrix(GlMatrixMode::kProjection, SetProjection(s.View, s.Camera));
  gl.LoadMatrix(GlMatrixMode::kModelView, f.View);

  // 9. The rotation centre.
  if (settings.RotationCentreDisplay != 0) {
    gl.Disable(GlCapability::kLighting);
    gl.CallList(kListRotationCentre);
    gl.Enable(GlCapability::kLighting);
  }

  // 10. The base structures, the table side and the rotary tables.
  SetBlending(gl, machineMode);
  const bool drawMachine = machineMode >= 1;
  if (drawMachine && !defs.Parts.BasicNames.empty()) gl.CallList(kListBaseModels);
  if (drawMachine) {
    const auto& tables = defs.Parts.Tables;
    const std::array<TablePart, 3> slides{kTableX, kTableY, kTableZ};
    for (size_t a = 0; a < 3; ++a) {
      if (tables[slides[a]].Name.empty()) continue;
      gl.LoadMatrix(GlMatrixMode::kModelView, f.TableSlides[a]);
      gl.CallList(static_cast<uint32_t>(kListTableSlideX + static_cast<int>(a)));
    }
    gl.LoadMatrix(GlMatrixMode::kModelView, f.Table);
    gl.CallList(kListTable);
    if (k.RotaryType == kRotaryTable) {
      gl.LoadMatrix(GlMatrixMode::kModelView, f.RotaryTable1);
      gl.CallList(kListRotaryTable1);
      gl.LoadMatrix(GlMatrixMode::kModelView, f.Work);
      gl.CallList(kListRotaryTable2);
    } else if (k.RotaryType == kRotaryHead || k.RotaryType == kRotaryMix) {
      gl.LoadMatrix(GlMatrixMode::kModelView, f.Work);
      gl.CallList(kListRotaryTable1);
    }
    if (k.RotaryType != kRotaryNone) gl.CallList(kListVice);
  }
  gl.LoadMatrix(GlMatrixMode::kModelView, f.Work);

  // 11. The axes, with blending as the workpiece will want it.
  if (machineMode == 2) gl.Disable(GlCapability::kBlend);
  gl.Disable(GlCapability::kLighting);
  if (settings.BasicAxis != 0) gl.CallList(kListCoordinateAxes);
  gl.Enable(GlCapability::kLighting);

  // 12. The workpiece.
  if (settings.WorkDisplay > 0) {
    SetBlending(gl, settings.WorkDisplay);
    if (settings.MeshMode != kMeshSolid)
      gl.Disable(GlCapability::kLighting);
    else
      gl.Enable(GlCapability::kLighting);
    if (work) CallWorkpieceLists(gl, model, lists.Work, settings.MeshMode);
  }

  // 13. The base workpiece.
  if (settings.BaseDisplay > 0) {
    SetBlending(gl, settings.BaseDisplay);
    gl.Enable(GlCapability::kLighting);
    if (base) gl.CallList(kListExtraModel);
  }

  // 14. Paths and the picked point.
  gl.Disable(GlCapability::kLighting);
  if (flags.PathDisplay.load(std::memory_order_relaxed) != 0) gl.CallList(kListPath);
  if (flags.PathDisplay2.load(std::memory_order_relaxed) != 0) gl.CallList(kListPath2);
  if (s.Pick != nullptr && s.Pick->IndicatorState > 0) gl.CallList(kListPickPoint);
  gl.Enable(GlCapability::kLighting);

  // 15. The head side.
  SetBlending(gl, machineMode);
  if (drawMachine) {
    const auto& heads = defs.Parts.Heads;
    const std::array<HeadPart, 3> slides{kHeadX, kHeadY, kHeadZ};
    const std::array<HeadPart, 3> second{kHeadXY, kHeadYZ, kHeadZX};
    for (size_t a = 0; a < 3; ++a) {
      if (heads[slides[a]].Name.empty()) continue;
      gl.LoadMatrix(GlMatrixMode::kModelView, f.HeadSlides[a]);
      gl.CallList(static_cast<uint32_t>(kListHeadSlideX + static_cast<int>(a)));
      if (heads[second[a]].Name.empty()) continue;
      gl.LoadMatrix(GlMatrixMode::kModelView, f.SecondSlides[a]);
      gl.CallList(static_cast<uint32_t>(kListHeadSlideXY + static_cast<int>(a)));
    }
    gl.LoadMatrix(GlMatrixMode::kModelView, f.Head);
    gl.CallList(kListHeadCarrier);
  }

  // 16. The rotary heads.
  if (drawMachine && k.RotaryType != kRotaryNone) {
    gl.LoadMatrix(GlMatrixMode::kModelView, f.Head1);
    gl.CallList(kListHead1);
    if (k.RotaryType == kRotaryHead) {
      gl.LoadMatrix(GlMatrixMode::kModelView, f.Tool);
      gl.CallList(kListHead2);
    }
  }

  // 17. The tool.
  SetBlending(gl, settings.ToolDisplay);
  if (settings.ToolDisplay >= 1) {
    Matrix4 tool = f.Tool;
    if (s.ToolSpinAngle != 0.0) {
      const Vec3 axis = k.ToolDirectionInUse != 0 ? k.ToolDirection : Vec3{0.0, 0.0, 1.0};
      const double radians = s.ToolSpinAngle * kRadiansPerDegree;
      const double c = std::cos(radians), sn = std::sin(radians);
      // Rodrigues' turn about the tool axis through the frame's origin.
      Matrix4 r = IdentityMatrix4();
      const double len = VectorLength(axis);
      const Vec3 u = len > 0.0 ? Times(axis, 1.0 / len) : Vec3{0.0, 0.0, 1.0};
      for (size_t col = 0; col < 3; ++col)
        for (size_t row = 0; row < 3; ++row) {
          const double cross = row == col ? 0.0
                               : (col + 1) % 3 == row ? u[3 - row - col]
                                                      : -u[3 - row - col];
          r[4 * col + row] =
              (row == col ? c : 0.0) + (1.0 - c) * u[row] * u[col] + sn * cross;
        }
      tool = MultiplyMatrix4(tool, r);
    }
    gl.LoadMatrix(GlMatrixMode::kModelView, tool);
    gl.CallList(kListTool);
  }
  gl.LoadMatrix(GlMatrixMode::kModelView, IdentityMatrix4());
}

}  // namespace vestan
