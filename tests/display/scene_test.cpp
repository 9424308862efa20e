#include "display/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "display/frame_readback.h"
#include "display/machine_lists.h"
#include "machine/forward_kinematics.h"
#include "machine/rotary_axes.h"
#include "gl_recorder.h"
#include "gl_test_support.h"
#include "scene_world.h"
#include "support/scratch_folder.h"
#include "model/stock.h"

namespace vestan {
namespace {

using testing::GlRecorder;

TEST(SceneLight, TheLightFollowsTheWayTheMachineLies) {
  struct Case {
    int32_t code;
    std::array<float, 4> position;
  } cases[] = {
      {0, {0.5f, 0.5f, 1, 0}},    {2, {0.5f, 0.5f, 1, 0}},    {21, {0.5f, 0.5f, 1, 0}},
      {42, {0.5f, 0.5f, 1, 0}},   {99, {0.5f, 0.5f, 1, 0}},   {1, {-0.5f, 0.5f, 1, 0}},
      {3, {-0.5f, 0.5f, 1, 0}},   {10, {1, 0.5f, 0.5f, 0}},   {12, {1, 0.5f, 0.5f, 0}},
      {11, {0.5f, -1, 0.5f, 0}},  {13, {0.5f, -1, 0.5f, 0}},  {30, {-0.5f, -1, 0.5f, 0}},
      {33, {-0.5f, -1, 0.5f, 0}},
  };
  for (const Case& c : cases) {
    const GlLight light = SceneLight(c.code);
    EXPECT_EQ(light.Position, c.position) << c.code;
    EXPECT_EQ(light.Ambient, (GlColour{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(light.Diffuse, (GlColour{1, 1, 1, 1}));
    EXPECT_EQ(light.Specular, (GlColour{0.5f, 0.5f, 0.5f, 1}));
  }
}

// A box stock seen from above on a 3-axis machine, centred, 4 pixels to the
// millimetre in a view of 160 x 120 pixels, with nothing but the workpiece
// shown unless a test switches more on.
struct BoxScene : testing::SceneWorld {
  BoxScene() {
    MakeBox({0, 0, 0, 20, 10, 5}, 1.0);
    LookAt({10, 5, 2.5}, 4.0);
    Defs.Settings.MachineDisplay = 0;
    Defs.Settings.ToolDisplay = 0;
    Defs.Settings.BasicAxis = 0;
  }
};

size_t At(const GlRecorder& gl, const std::string& call) {
  return static_cast<size_t>(std::find(gl.Frame.begin(), gl.Frame.end(), call) -
                             gl.Frame.begin());
}

TEST(DrawScene, SetsTheFrameUpThenCallsTheListsAsTheModesSay) {
  BoxScene box;
  SceneLists lists;
  AllocDisplayListIds(box.Work.Workpiece(), 1, 0, lists.Work);
  GlRecorder gl;
  DrawScene(gl, box.Make(), lists);
  EXPECT_TRUE(gl.Errors.empty());
  EXPECT_FALSE(gl.Made.empty());  // built before the frame, since the model was marked
  const std::vector<std::string> start(gl.Frame.begin(), gl.Frame.begin() + 7);
  EXPECT_EQ(start, (std::vector<std::string>{"LoadModelView", "SetLight0", "Enable CullFace",
                                             "Enable Normalize", "Enable Lighting",
                                             "Enable Light0", "UseAlphaBlending"}));
  EXPECT_LT(At(gl, "Clear"), At(gl, "CallList 1"));
  EXPECT_LT(At(gl, "Viewport 160 120"), At(gl, "Clear"));
  EXPECT_LT(At(gl, "CallList 1"), At(gl, "LoadProjection") + 100);
  EXPECT_LT(At(gl, "Disable Blend"), At(gl, "CallList 35"));
  EXPECT_EQ(gl.Frame.back(), "LoadModelView");
  EXPECT_EQ(gl.ModelView, IdentityMatrix4());

  // Nothing marked: the next frame builds nothing. Translucent outlines:
  // blending on and the lighting off while the lists are called.
  box.Defs.Settings.WorkDisplay = 2;
  box.Defs.Settings.MeshMode = kMeshOutline;
  gl.Frame.clear();
  gl.Made.clear();
  DrawScene(gl, box.Make(), lists);
  EXPECT_TRUE(gl.Made.empty());
  const size_t call = At(gl, "CallList 35");
  EXPECT_LT(At(gl, "Enable Blend"), call);
  EXPECT_EQ(gl.Frame[call - 1], "Disable Lighting");

  // A hidden workpiece is neither built nor drawn.
  box.Defs.Settings.WorkDisplay = 0;
  MarkWorkpieceForRebuild(box.Work.Workpiece(), lists.Work);
  gl.Frame.clear();
  gl.Called.clear();
  DrawScene(gl, box.Make(), lists);
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_EQ(std::count(gl.Called.begin(), gl.Called.end(), 35u), 0);
}

TEST(DrawScene, WhileTheRunMayChangeColumnsTheWorkpieceListsAreOnlyCalled) {
  BoxScene box;
  SceneLists lists;
  AllocDisplayListIds(box.Work.Workpiece(), 1, 0, lists.Work);
  GlRecorder gl;
  Scene scene = box.Make();
  scene.Frame = SceneFrameKind::kRunBusy;
  DrawScene(gl, scene, lists);
  EXPECT_TRUE(std::none_of(gl.Made.begin(), gl.Made.end(), [](uint32_t id) { return id > 33; }));
  EXPECT_TRUE(WorkpieceListsStale(box.Work.Workpiece(), lists.Work));
  // In the run's redraw handshake they are built.
  scene.Frame = SceneFrameKind::kRunRedraw;
  DrawScene(gl, scene, lists);
  EXPECT_FALSE(WorkpieceListsStale(box.Work.Workpiece(), lists.Work));
  EXPECT_EQ(std::count(gl.Made.begin(), gl.Made.end(), 35u), 1);
}

TEST(DrawScene, MachineModeTwoIsTranslucentAndTheWorkpieceKeepsItsOwnMode) {
  BoxScene box;
  box.Defs.Settings.MachineDisplay = 2;
  box.Defs.Settings.BasicAxis = 1;
  SceneLists lists;
  AllocDisplayListIds(box.Work.Workpiece(), 1, 0, lists.Work);
  GlRecorder gl;
  DrawScene(gl, box.Make(), lists);
  const size_t table = At(gl, "CallList 21"), axes = At(gl, "CallList 2");
  const size_t work = At(gl, "CallList 35"), head = At(gl, "CallList 11");
  ASSERT_LT(work, gl.Frame.size());
  const auto lastBlend = [&](size_t before) {
    std::string found;
    for (size_t i = 0; i < before; ++i)
      if (gl.Frame[i].ends_with(" Blend")) found = gl.Frame[i];
    return found;
  };
  EXPECT_EQ(lastBlend(table), "Enable Blend");
  EXPECT_EQ(lastBlend(axes), "Disable Blend");
  EXPECT_EQ(lastBlend(work), "Disable Blend");
  EXPECT_EQ(lastBlend(head), "Enable Blend");
}

TEST(DrawScene, AViceIsBuiltOnEveryMachineButDrawnOnlyOnRotaryOnes) {
  for (const int32_t rotaryType : {kRotaryNone, kRotaryHead, kRotaryTable, kRotaryMix}) {
    BoxScene box;
    box.Defs.Settings.MachineDisplay = 1;
    box.Defs.Kinematics.RotaryType = rotaryType;
    box.Defs.Parts.ViceNames = {"no-such-vice.stl"};
    box.Flags.RequestRebuild(kMachineLists);
    SceneLists lists;
    GlRecorder gl;
    DrawScene(gl, box.Make(), lists);
    EXPECT_EQ(std::count(gl.Made.begin(), gl.Made.end(), 27u), 1) << rotaryType;
    EXPECT_EQ(std::count(gl.Called.begin(), gl.Called.end(), 27u), rotaryType == kRotaryNone ? 0 : 1)
        << rotaryType;
    // A part without a file is an empty list, still called.
    ASSERT_EQ(gl.Lists.count(21), 1u);
    EXPECT_TRUE(gl.Lists[21].Faces.empty());
    EXPECT_EQ(std::count(gl.Called.begin(), gl.Called.end(), 21u), 1);
    EXPECT_FALSE(box.Flags.NeedsRebuild(kListVice));
  }
}

// Where the table side is drawn: a TABLE machine turns the vice and the
// workpiece with its two rotary tables as the picking frame does, the first
// table with the first axis only; at A = 90 the vice's centre moves.
TEST(ComputeSceneFrames, TheRotaryTablesCarryTheViceAsTheKinematicsTurnTheWork) {
  testing::SceneWorld w;
  MachineKinematics& k = w.Defs.Kinematics;
  k.RotaryType = kRotaryTable;
  k.Rotary[0] = RotaryAxisGeometry{0, {1, 2}, {1.0, 0.0, 0.0}};
  k.Rotary[1] = RotaryAxisGeometry{2, {0, 1}, {0.0, 0.0, 1.0}};
  k.TablePosition = {0, 0, -180};
  k.TableOffset = {30, -10, 0};
  w.Defs.Machine.TableMoves = {1, 0, 0};
  const Vec3 viceCentre{40, 20, -100};
  Vec3 centres[2];
  for (const double a : {0.0, 90.0}) {
    w.Position.MachinePosition = {25, 0, 100, a, 30};
    double s1, c1, s2, c2;
    GetAxisSinCos(a, 1, s1, c1);
    GetAxisSinCos(30, 1, s2, c2);
    w.Position.RotarySinCos = {s1, c1, s2, c2};
    const SceneFrames f = ComputeSceneFrames(w.Make());
    const Matrix4 view = ApplyViewTransform(w.View, w.Camera, 0);
    Vec3 shift;
    SetTableShift(w.Defs.Machine, w.Position.MachinePosition, shift);
    const MachineDisplayFrame display =
        MakeMachineDisplayFrame(k, w.Position, shift, w.Camera);
    for (const Vec3& p : {Vec3{0, 0, 0}, viceCentre, Vec3{-70, 5, -150}}) {
      const Vec4 got = TransformVec4(f.Work, {p[0] / 500, p[1] / 500, p[2] / 500, 1});
      const Vec3 q = MachineToDisplayCoordinates(display, p);
      const Vec4 want = TransformVec4(view, {q[0] / 500, q[1] / 500, q[2] / 500, 1});
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-12) << a;
    }
    const Vec4 v = TransformVec4(f.Work, {viceCentre[0] / 500, viceCentre[1] / 500,
                                          viceCentre[2] / 500, 1});
    centres[a == 0.0 ? 0 : 1] = {v[0], v[1], v[2]};
    // The first table turns about A alone: a point on the A axis stays put
    // in it, whatever C is.
    const Vec4 onAxis = TransformVec4(f.RotaryTable1, {0.2, 0, -180.0 / 500, 1});
    const Vec4 plain = TransformVec4(f.Table, {0.2, 0, -180.0 / 500, 1});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(onAxis[c], plain[c], 1e-12) << a;
  }
  EXPECT_GT(VectorLength(VectorSub(centres[0], centres[1])), 0.1);
}

// The tool list is drawn where the kinematics put the tool tip: a HEAD
// machine's two turns through their centres, and the head's slides.
TEST(ComputeSceneFrames, TheToolTipIsDrawnWhereTheKinematicsPutIt) {
  testing::SceneWorld w;
  MachineKinematics& k = w.Defs.Kinematics;
  k.RotaryType = kRotaryHead;
  k.Rotary[0] = RotaryAxisGeometry{2, {0, 1}, {0.0, 0.0, 1.0}};
  k.Rotary[1] = RotaryAxisGeometry{0, {1, 2}, {1.0, 0.0, 0.0}};
  k.HeadPosition = {0, 0, 150};
  k.HeadOffset = {0, 20, 0};
  w.Defs.Controller.Rotary[0].Letter = 'C';
  w.Defs.Controller.Rotary[1].Letter = 'A';
  const double reference = 175.0;
  for (const auto& m : {AxisPosition{10, -20, 300, 0, 0}, AxisPosition{10, -20, 300, 45, -30},
                        AxisPosition{-5, 7, 120, 200, 75}}) {
    w.Position.MachinePosition = m;
    const RotarySinCos sc = ComputeRotarySinCos(w.Defs.Controller, {m[3], m[4]});
    w.Position.RotarySinCos = sc;
    const SceneFrames f = ComputeSceneFrames(w.Make());
    const Vec3 t = ToolTipOffset(k, reference);
    const Vec4 got = TransformVec4(f.Tool, {t[0] / 500, t[1] / 500, t[2] / 500, 1});
    Vec3 tip, axis;
    ComputeToolTipAndAxis(k, w.Defs.Controller, reference, m, tip, axis);
    const Vec4 want =
        TransformVec4(ApplyViewTransform(w.View, w.Camera, 0), {tip[0] / 500, tip[1] / 500,
                                                                  tip[2] / 500, 1});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-12) << m[3] << " " << m[4];
  }
}

TEST(OverlayAxisDirection, AnAxisSeenEndOnHasNoDirection) {
  struct Case {
    double azimuth, elevation;
    int32_t endOn;  // -1 none
  } cases[] = {
      {0, 0, 2},  {315, 0, 2},  {0, 90, 1},   {0, 89.95, 1},
      {90, 90, 0}, {0.05, 90, 1}, {315, 45, -1}, {0, 89.8, -1},
  };
  for (const Case& c : cases) {
    ViewState view;
    view.Azimuth = c.azimuth;
    view.Elevation = c.elevation;
    for (int32_t k = 0; k < 3; ++k) {
      const auto d = OverlayAxisDirection(view, 0, k);
      EXPECT_EQ(d[0] == 0.0 && d[1] == 0.0, k == c.endOn)
          << c.azimuth << " " << c.elevation << " axis " << k;
    }
  }
  // The machine orientation turns the triad: code 1 turns the machine +90
  // degrees about Z, so X shows where Y would.
  ViewState top;
  top.Azimuth = 0;
  top.Elevation = 0;
  const auto x = OverlayAxisDirection(top, 1, 0);
  EXPECT_NEAR(x[0], 0.0, 1e-15);
  EXPECT_NEAR(std::abs(x[1]), 1.0, 1e-15);
}

TEST(BuildOverlayList, EachVisibleAxisIsALineAndItsLetter) {
  ViewState view;
  view.Azimuth = 0;
  view.Elevation = 90;
  ViewCamera camera;
  SetViewSize(camera, 200, 100);
  DisplayListTable flags;
  flags.RequestRebuild(kListOverlay);
  GlRecorder gl;
  BuildOverlayList(gl, view, camera, 0, flags);
  EXPECT_FALSE(flags.NeedsRebuild(kListOverlay));
  const auto& outlines = gl.Lists[kListOverlay].Outlines;
  // X: its line and the two strokes of its letter; Y end-on; Z: its line
  // and the letter's strip.
  ASSERT_EQ(outlines.size(), 4u);
  EXPECT_EQ(outlines[0].Colour, (GlColour{1, 0, 0, 1}));
  EXPECT_EQ(outlines[2].Colour, (GlColour{0, 0, 1, 1}));
  EXPECT_EQ(outlines[3].Kind, GlPrimitive::kLineStrip);
  EXPECT_EQ(outlines[3].P.size(), 4u);
  const Vec3 origin{80.0 / 200 - 1, 80.0 / 100 - 1, -1};
  EXPECT_EQ(outlines[0].P[0], origin);
  EXPECT_NEAR(outlines[0].P[1][0], origin[0] + 60.0 / 200, 1e-15);
  EXPECT_EQ(outlines[1].P.size(), 4u);                   // X's two strokes
  EXPECT_EQ(outlines[2].P.size(), 2u);                   // Z's line, straight up
  EXPECT_NEAR(outlines[2].P[1][1], origin[1] + 60.0 / 100, 1e-15);
}

// The lit colour of an upward face seen from above: the global ambient 0.2
// and the light's ambient 0.1 on the material, and its diffuse 1 times the
// cosine between the face and the light (0.5, 0.5, 1).
int LitTop(float material) {
  const double cosine = 1.0 / std::sqrt(1.5);
  return static_cast<int>(std::lround(std::min(1.0, material * (0.2 + 0.1 + cosine)) * 255));
}

TEST(DrawScene, DrawsTheBoxInItsLitColoursOffscreen) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 160, 120);
  OpenGlCalls gl;
  BoxScene box;
  SceneLists lists;
  AllocDisplayListIds(box.Work.Workpiece(), gl.GenLists(kReservedListNames), 0, lists.Work);
  DexelModel& model = box.Work.Workpiece();
  // Pen 2 on the top's right half.
  for (int32_t j = 0; j < model.CountY; ++j)
    for (int32_t i = 11; i < model.CountX; ++i)
      DexelColumnFlagsMutable(model.ZSet(), ColumnIndexZ(model, i, j)).back() = 0x20;
  const FrameGeometry frame = MakeFrameGeometry(160, 120);
  std::vector<uint8_t> pixels;
  const auto pixel = [&](std::pair<int, int> xy) {
    const uint8_t* p =
        &pixels[static_cast<size_t>(119 - xy.second) * frame.RowBytes + 3 * xy.first];
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  DrawScene(gl, box.Make(), lists);
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));

  const GlColour& work = box.Materials.Pens[0];
  const GlColour& pen = box.Materials.Pens[2];
  const std::array<int, 3> litWork{LitTop(work[0]), LitTop(work[1]), LitTop(work[2])};
  const std::array<int, 3> litPen{LitTop(pen[0]), LitTop(pen[1]), LitTop(pen[2])};
  const auto near = [](std::array<int, 3> got, std::array<int, 3> want) {
    for (int k = 0; k < 3; ++k)
      if (std::abs(got[k] - want[k]) > 2) return false;
    return true;
  };
  EXPECT_TRUE(near(pixel(box.PixelOf({5, 5, 5})), litWork));
  EXPECT_TRUE(near(pixel(box.PixelOf({15, 5, 5})), litPen));
  EXPECT_EQ(pixel(box.PixelOf({-3, 5, 5})), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(pixel(box.PixelOf({5, 12, 5})), (std::array<int, 3>{0, 0, 0}));

  // Translucent over the black background: half the colour.
  box.Defs.Settings.WorkDisplay = 2;
  DrawScene(gl, box.Make(), lists);
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  const std::array<int, 3> half{litWork[0] / 2, litWork[1] / 2, litWork[2] / 2};
  EXPECT_TRUE(near(pixel(box.PixelOf({5, 5, 5})), half));

  // The table moved 8 along X carries the box with it.
  box.Defs.Settings.WorkDisplay = 1;
  const auto before = box.PixelOf({2, 5, 5});
  box.Defs.Machine.TableMoves = {1, 0, 0};
  box.Position.MachinePosition = {-8, 0, 0, 0, 0};
  DrawScene(gl, box.Make(), lists);
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  EXPECT_EQ(pixel(before), (std::array<int, 3>{0, 0, 0}));
  EXPECT_TRUE(near(pixel(box.PixelOf({2, 5, 5})), litWork));
}

// With every display mode 0 the frame holds the overlay's triad alone, in
// the lower-left 80 x 80 pixels, though a machine, a tool and a workpiece
// stand in the view.
TEST(DrawScene, WithEveryModeOffOnlyTheTriadIsDrawn) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 160, 120);
  OpenGlCalls gl;
  testing::ScratchFolder folder;
  testing::SceneWorld w;
  w.MakeBox({-40, -30, 0, 40, 30, 20}, 2.0);
  w.LookAt({0, 0, 10}, 1.0);
  w.View.Azimuth = 315;
  w.View.Elevation = 45;
  UpdateViewAngleTrig(w.View);
  w.UseTool(folder.Path(), "MAGAZINE 1 FLAT 10,30\nLENGTH 60\n", 1);
  w.Defs.Parts.Tables[kTableMain].Name = std::string(VESTAN_DATA_DIR) + "/oguma_table.stl";
  w.Position.MachinePosition = {0, 0, 60, 0, 0};
  w.Defs.Settings.WorkDisplay = w.Defs.Settings.ToolDisplay = 0;
  w.Defs.Settings.MachineDisplay = w.Defs.Settings.BaseDisplay = 0;
  w.Defs.Settings.BasicAxis = 0;
  w.Flags.RequestRebuild(kMachineLists);
  SceneLists lists;
  AllocDisplayListIds(w.Work.Workpiece(), gl.GenLists(kReservedListNames), 0, lists.Work);
  const FrameGeometry frame = MakeFrameGeometry(160, 120);
  std::vector<uint8_t> pixels;
  const auto lit = [&](bool modesOn) {
    const int32_t mode = modesOn ? 1 : 0;
    w.Defs.Settings.WorkDisplay = w.Defs.Settings.ToolDisplay = mode;
    w.Defs.Settings.MachineDisplay = mode;
    DrawScene(gl, w.Make(), lists);
    EXPECT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
    int inside = 0, outside = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) {
        const uint8_t* p = &pixels[static_cast<size_t>(y) * frame.RowBytes + 3 * x];
        if (p[0] + p[1] + p[2] == 0) continue;
        (x < 80 && y < 80 ? inside : outside) += 1;  // rows bottom-up
      }
    return std::pair<int, int>{inside, outside};
  };
  const auto off = lit(false);
  EXPECT_GT(off.first, 30);
  EXPECT_EQ(off.second, 0);
  const auto on = lit(true);
  EXPECT_GT(on.second, 1000);
}

}  // namespace
}  // namespace vestan
