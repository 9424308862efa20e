#include "display/workpiece_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "display/frame_readback.h"
#include "gl_recorder.h"
#include "gl_test_support.h"
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

TEST(DisplayFrameMatrix, PlacesViewUnitsWhereTheDisplayFramePutsTheModelPoint) {
  MachineDisplayFrame frame;
  frame.Shift = {-50, 20, 0};
  frame.Turned = 1;
  frame.Rotation = {0, 0, -1, 0, 1, 0, 1, 0, 0};  // a quarter turn about Y
  frame.Translation = {100, 0, -30};
  for (const int turned : {0, 1}) {
    frame.Turned = turned;
    const Matrix4 m = DisplayFrameMatrix(frame, 500);
    for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{10, -20, 30}, Vec3{-7.5, 3, 1}}) {
      const Vec4 got = TransformVec4(m, {p[0] / 500, p[1] / 500, p[2] / 500, 1});
      const Vec3 expected = MachineToDisplayCoordinates(frame, p);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k] * 500, expected[k], 1e-12) << turned;
    }
  }
}

// A box stock seen from above, centred, 4 pixels to the millimetre in a
// view of 160 x 120 pixels.
struct BoxScene {
  DexelModel Model;
  ViewState View;
  ViewCamera Camera;
  MachineDisplayFrame Display;
  ColorSettings Colours;
  ColourMaterials Materials;
  WorkpieceStyle Style{Materials, Colours.Live};
  WorkpieceDisplayLists Lists;

  BoxScene() {
    EXPECT_EQ(CreateBoxModel(Model, {0, 0, 0, 20, 10, 5}, 1.0), kModelOk);
    CreateColourMaterials(Colours, {}, Materials);
    View.Perspective = 0;
    View.Azimuth = 0;
    View.Elevation = 0;
    UpdateViewAngleTrig(View);
    SetViewSize(Camera, 160, 120);
    Camera.Zoom = 4.0 * View.DisplayScale / Camera.HalfHeight;
    Camera.Centre = {10 / View.DisplayScale, 5 / View.DisplayScale, 2.5 / View.DisplayScale};
  }
  WorkpieceScene Scene() { return {Model, 1, View, Camera, 0, Display, Style}; }
  // The pixel (x right, y down) of a model point of the top.
  std::pair<int, int> PixelOf(const Vec3& p) const {
    const WindowPoint w =
        ModelToWindow(View, Camera, 0, MachineToDisplayCoordinates(Display, p));
    return {static_cast<int>(std::floor(w.X)), static_cast<int>(std::floor(w.Y))};
  }
};

TEST(DrawWorkpieceScene, SetsTheFrameUpThenCallsTheListsAsTheModesSay) {
  BoxScene box;
  AllocDisplayListIds(box.Model, 1, 0, box.Lists);
  GlRecorder gl;
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
  EXPECT_TRUE(gl.Errors.empty());
  EXPECT_FALSE(gl.Made.empty());  // built before the frame, since the model was marked
  const std::vector<std::string> start(gl.Frame.begin(), gl.Frame.begin() + 7);
  EXPECT_EQ(start, (std::vector<std::string>{"LoadModelView", "SetLight0", "Enable CullFace",
                                             "Enable Normalize", "Enable Lighting",
                                             "Enable Light0", "UseAlphaBlending"}));
  const auto at = [&](const std::string& call) {
    return std::find(gl.Frame.begin(), gl.Frame.end(), call) - gl.Frame.begin();
  };
  EXPECT_LT(at("Clear"), at("LoadProjection"));
  EXPECT_LT(at("Viewport 160 120"), at("Clear"));
  EXPECT_LT(at("Disable Blend"), at("CallList 35"));
  EXPECT_EQ(gl.Frame.back(), "LoadModelView");
  EXPECT_EQ(gl.ModelView, IdentityMatrix4());

  // Nothing marked: the next frame builds nothing. Translucent outlines:
  // blending on and the lighting off while the lists are called.
  box.Style.WorkDisplay = 2;
  box.Style.MeshMode = kMeshOutline;
  gl.Frame.clear();
  gl.Made.clear();
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_LT(at("Enable Blend"), at("CallList 35"));
  EXPECT_LT(at("Disable Lighting"), at("CallList 35"));

  // A hidden workpiece is neither built nor drawn.
  box.Style.WorkDisplay = 0;
  MarkWorkpieceForRebuild(box.Model, box.Lists);
  gl.Frame.clear();
  gl.Called.clear();
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
  EXPECT_TRUE(gl.Made.empty());
  EXPECT_TRUE(gl.Called.empty());
}

// The lit colour of an upward face seen from above: the global ambient 0.2
// and the light's ambient 0.1 on the material, and its diffuse 1 times the
// cosine between the face and the light (0.5, 0.5, 1).
int LitTop(float material) {
  const double cosine = 1.0 / std::sqrt(1.5);
  return static_cast<int>(std::lround(std::min(1.0, material * (0.2 + 0.1 + cosine)) * 255));
}

TEST(DrawWorkpieceScene, DrawsTheBoxInItsLitColoursOffscreen) {
  OffscreenContext context;
  VESTAN_OPEN_CONTEXT_OR_END(context, 160, 120);
  OpenGlCalls gl;
  BoxScene box;
  AllocDisplayListIds(box.Model, gl.GenLists(kReservedListNames), 0, box.Lists);
  // Pen 2 on the top's right half.
  for (int32_t j = 0; j < box.Model.CountY; ++j)
    for (int32_t i = 11; i < box.Model.CountX; ++i)
      DexelColumnFlagsMutable(box.Model.ZSet(), ColumnIndexZ(box.Model, i, j)).back() = 0x20;
  const FrameGeometry frame = MakeFrameGeometry(160, 120);
  std::vector<uint8_t> pixels;
  const auto pixel = [&](std::pair<int, int> xy) {
    const uint8_t* p =
        &pixels[static_cast<size_t>(119 - xy.second) * frame.RowBytes + 3 * xy.first];
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
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
  box.Style.WorkDisplay = 2;
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  const std::array<int, 3> half{litWork[0] / 2, litWork[1] / 2, litWork[2] / 2};
  EXPECT_TRUE(near(pixel(box.PixelOf({5, 5, 5})), half));

  // The table moved 8 along X carries the box with it.
  box.Style.WorkDisplay = 1;
  const auto before = box.PixelOf({2, 5, 5});
  box.Display.Shift = {8, 0, 0};
  DrawWorkpieceScene(gl, box.Scene(), box.Lists);
  ASSERT_TRUE(ReadFrameBuffer(gl, frame, GlPixelFormat::kRgb, pixels));
  EXPECT_EQ(pixel(before), (std::array<int, 3>{0, 0, 0}));
  EXPECT_TRUE(near(pixel(box.PixelOf({2, 5, 5})), litWork));
}

}  // namespace
}  // namespace vestan
