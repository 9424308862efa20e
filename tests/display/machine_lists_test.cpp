// The machine's and the tool's lists as recorded calls: the box and
// cylinder shapes, the part lists with and without files, the generated
// heads, and the tool with its colours, alone or with the tool layout.
#include "display/machine_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gl_recorder.h"
#include "scene_world.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::GlRecorder;

// Every face wound counter-clockwise seen from where its normals point (a
// face shrunk to a line, at a tool's tip, has no winding).
void ExpectWoundOutward(const std::vector<GlRecorder::Face>& faces) {
  for (const GlRecorder::Face& f : faces) {
    Vec3 winding{0, 0, 0};
    for (size_t i = 0; i < f.P.size(); ++i)
      winding = VectorAdd(winding, VectorCross(f.P[i], f.P[(i + 1) % f.P.size()]));
    if (VectorLength(winding) < 1e-15) continue;
    for (const Vec3& n : f.N) EXPECT_GT(VectorDot(winding, n), 0.0);
  }
}

TEST(DrawBox, SixFacesWithTheirNormalsWoundOutward) {
  GlRecorder gl;
  gl.NewList(1);
  DrawBox(gl, {-1, -2, -3}, {4, 5, 6});
  gl.EndList();
  const auto& faces = gl.Lists[1].Faces;
  ASSERT_EQ(faces.size(), 6u);
  const std::vector<Vec3> normals{{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(faces[i].N[0], normals[i]) << i;
    // Each face lies on the box's side its normal names.
    for (const Vec3& p : faces[i].P)
      for (int k = 0; k < 3; ++k)
        if (normals[i][k] != 0) {
          EXPECT_EQ(p[k], normals[i][k] > 0 ? (Vec3{4, 5, 6})[k] : (Vec3{-1, -2, -3})[k]);
        }
  }
  ExpectWoundOutward(faces);
}

TEST(DrawCylinder, SidesHalfAStepOffWithRoundOrFlatNormalsAndTwoCaps) {
  for (const int32_t sides : {4, 10, 20}) {
    GlRecorder gl;
    gl.NewList(1);
    DrawCylinder(gl, {1, 2, 3}, 2.0, 1, 5.0, sides);
    gl.EndList();
    const auto& faces = gl.Lists[1].Faces;
    ASSERT_EQ(faces.size(), static_cast<size_t>(sides) + 2) << sides;
    ExpectWoundOutward(faces);
    const double step = 2 * std::acos(-1.0) / sides;
    // Along Y: the plane axes are Z then X; the first corner at step / 2.
    const Vec3& first = faces[0].P[0];
    EXPECT_NEAR(first[2] - 3, 2 * std::cos(step / 2), 1e-12);
    EXPECT_NEAR(first[0] - 1, 2 * std::sin(step / 2), 1e-12);
    EXPECT_EQ(first[1], 2);
    EXPECT_EQ(faces[0].P[2][1], 7);
    // Round from 10 sides: the corners' own normals; else one a face.
    const bool round = sides >= 10;
    EXPECT_EQ(faces[0].N[0] == faces[0].N[1], !round) << sides;
    const GlRecorder::Face& top = faces[static_cast<size_t>(sides)];
    const GlRecorder::Face& bottom = faces[static_cast<size_t>(sides) + 1];
    EXPECT_EQ(top.N[0], (Vec3{0, 1, 0}));
    EXPECT_EQ(bottom.N[0], (Vec3{0, -1, 0}));
    EXPECT_EQ(top.P.size(), static_cast<size_t>(sides));
  }
}

// A HEAD machine without head files: the rotary heads are generated
// cylinders unless their type says NO.
TEST(BuildHeadLists, GeneratedHeadsFollowTheHeadTypes) {
  testing::SceneWorld w;
  testing::ScratchFolder folder;
  w.Defs.Kinematics.RotaryType = kRotaryHead;
  w.Defs.Kinematics.HeadOffset = {0, 20, 0};
  w.UseTool(folder.Path(), "MAGAZINE 1 FLAT 10,30\nLENGTH 60\n", 1);
  const double r = w.Tools.Profile.Radius[static_cast<size_t>(w.Tools.Profile.PointCount - 1)];
  ASSERT_GT(r, 0);
  const MachineListSources sources{w.Defs, w.View, w.Materials, w.Tools.Profile};
  GlRecorder gl;
  BuildHead1List(gl, sources, w.Flags);
  BuildHead2List(gl, sources, w.Flags);
  EXPECT_EQ(gl.Lists[kListHead1].Faces.size(), 22u);
  EXPECT_EQ(gl.Lists[kListHead2].Faces.size(), 22u);
  // Head 2 is centred at minus the head offset along rotary axis 2 (Z).
  double zMin = 1e9, zMax = -1e9;
  for (const auto& f : gl.Lists[kListHead2].Faces)
    for (const Vec3& p : f.P) zMin = std::min(zMin, p[2] * 500), zMax = std::max(zMax, p[2] * 500);
  EXPECT_NEAR(zMin, -r / 2, 1e-9);
  EXPECT_NEAR(zMax, r / 2, 1e-9);

  w.Defs.Kinematics.Head1Type = kHeadNone;
  BuildHead1List(gl, sources, w.Flags);
  EXPECT_EQ(gl.Lists.count(kListHead1), 1u);  // made, and empty
  EXPECT_TRUE(gl.Lists[kListHead1].Faces.empty());
  EXPECT_TRUE(gl.Errors.empty());
}

TEST(BuildToolList, ColoursOfTheToolAndItsTranslucentCuttingPart) {
  testing::ScratchFolder folder;
  struct Case {
    std::string line;
    int32_t toolMode;
    int32_t spindle;
    bool translucentCut;
  } cases[] = {
      {"MAGAZINE 1 FLAT 10,30\nLENGTH 60\n", 1, 1, false},
      {"MAGAZINE 1 FLAT 10,20\nLENGTH2 50,25,5,16\n", 1, 1, false},
      {"MAGAZINE 1 FLAT 10,0\nLENGTH 60\n", 1, 1, true},
      {"MAGAZINE 1 FLAT 10,0\nLENGTH 60\n", 2, 1, true},
      {"MAGAZINE 1 FLAT 10,30\nLENGTH 60\n", 1, 0, false},
  };
  for (const Case& c : cases) {
    testing::SceneWorld w;
    w.UseTool(folder.Path(), c.line, 1);
    w.Defs.Settings.ToolDisplay = c.toolMode;
    w.ToolInSpindle = c.spindle;
    ASSERT_EQ(w.Tools.Current.Tool.CuttingLength == 0.0f, c.translucentCut) << c.line;
    const ToolListSources sources{w.Defs,         w.View,        w.Materials,   w.Tools.Current,
                                  w.Tools.Profile, w.Tools.Mesh, w.Tools.Position, 1,
                                  c.spindle};
    GlRecorder gl;
    EXPECT_EQ(BuildToolList(gl, sources, w.Flags), c.spindle);
    const GlRecorder::List& list = gl.Lists[kListTool];
    const std::string what = c.line + " mode " + std::to_string(c.toolMode);
    const GlColour first = c.spindle != 0 ? w.Materials.ToolTop : w.Materials.Clear;
    EXPECT_EQ(list.Faces.front().Material, first) << what;
    const bool blends =
        std::find(list.Calls.begin(), list.Calls.end(), "Enable Blend") != list.Calls.end();
    EXPECT_EQ(blends, c.translucentCut) << what;
    // The cutting part's last ring pair is half transparent; the shank's
    // faces take the side colour (the arbor's where the holder follows).
    const int32_t side = w.Tools.Profile.CutCount;
    const size_t steps = static_cast<size_t>(w.Tools.Profile.AngleSteps);
    const GlColour& cut = list.Faces[static_cast<size_t>(side - 1) * steps].Material;
    const float alpha = c.toolMode == 2 ? 0.5f * w.Defs.Colors.ToolAlpha : 0.5f;
    if (c.translucentCut) {
      EXPECT_EQ(cut[3], alpha) << what;
    }
    const GlColour& shank =
        side == w.Tools.Profile.ShankEndCount ? w.Materials.Arbor : w.Materials.ToolSide;
    if (side + 1 < w.Tools.Profile.PointCount) {
      EXPECT_EQ(list.Faces[static_cast<size_t>(side) * steps].Material, shank) << what;
    }
    // The top cap: the first colour again for a measured tool.
    EXPECT_EQ(list.Faces.back().Kind, GlPrimitive::kPolygon);
    // The tip is at the reference length below the spindle.
    EXPECT_NEAR(list.Faces.front().P[0][2] * 500, -w.Tools.Position.ReferenceLength, 1e-9);
    ExpectWoundOutward({list.Faces.begin(), list.Faces.end() - 1});
  }

  // No tool: the list is deleted and not made again.
  testing::SceneWorld w;
  GlRecorder gl;
  gl.NewList(kListTool);
  gl.EndList();
  const ToolListSources none{w.Defs,        w.View,       w.Materials,      w.Tools.Current,
                             w.Tools.Profile, w.Tools.Mesh, w.Tools.Position};
  BuildToolList(gl, none, w.Flags);
  EXPECT_EQ(gl.Lists.count(kListTool), 0u);
}

// The layout draws every layout tool at its mounting offset from profiles
// of its own: the current tool, its profile and the run's position are left
// as they were.
TEST(BuildToolLayoutList, DrawsEachLayoutToolWithoutChangingTheCurrentTool) {
  testing::ScratchFolder folder;
  testing::SceneWorld w;
  w.UseTool(folder.Path(),
            "MAGAZINE 1 FLAT 10,30\nLENGTH 60\nLAYOUT1 0,0,0\n"
            "MAGAZINE 2 BALL 6,12\nLENGTH 50\nLAYOUT1 100,0,0\n",
            1);
  ASSERT_EQ(w.Defs.Tools.Layout.Count, 2);
  ASSERT_TRUE(ShowsToolLayout(w.Defs.Tools, 1));
  const CurrentTool before = w.Tools.Current;
  const int32_t points = w.Tools.Profile.PointCount;
  const double reference = w.Tools.Position.ReferenceLength;
  const ToolListSources sources{w.Defs,         w.View,        w.Materials,   w.Tools.Current,
                                w.Tools.Profile, w.Tools.Mesh, w.Tools.Position, 1};
  GlRecorder gl;
  BuildToolLayoutList(gl, sources, w.Flags);
  EXPECT_EQ(w.Tools.Current.Tool.Diameter, before.Tool.Diameter);
  EXPECT_EQ(w.Tools.Current.Tool.Kind, before.Tool.Kind);
  EXPECT_EQ(w.Tools.Profile.PointCount, points);
  EXPECT_EQ(w.Tools.Position.ReferenceLength, reference);
  // Both tools, the second 100 along X.
  double xMax = -1e9;
  for (const auto& f : gl.Lists[kListTool].Faces)
    for (const Vec3& p : f.P) xMax = std::max(xMax, p[0] * 500);
  EXPECT_NEAR(xMax, 100 + 3, 1e-6);
  EXPECT_TRUE(gl.Errors.empty());
}

}  // namespace
}  // namespace vestan
