#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/tool_world.h"
#include "modelfiles/imported_tool_stl.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

const char* const kCube = VESTAN_FIXTURES_DIR "/modelfiles/cube_ascii.stl";

ToolRecord CubeTool(const std::string& name) {
  ToolRecord tool;
  tool.Defined = 1;
  tool.Kind = kToolImportedMesh;
  tool.Name = name;
  tool.ImportOffset = {1, 2, 3};
  return tool;
}

TEST(ReloadImportedToolMesh, ReadsTheShapeWithItsOffset) {
  ImportedToolMesh mesh;
  ReloadImportedToolMesh(CubeTool(kCube), nullptr, mesh);
  EXPECT_EQ(mesh.FileName, kCube);
  EXPECT_EQ(mesh.StlKind, kStlAscii);
  EXPECT_EQ(mesh.FacetCount, 12);
  EXPECT_EQ(mesh.Triangles.size(), 12u);
  // The 10 mm cube from (-5, -5, 0), moved by (1, 2, 3).
  EXPECT_EQ(mesh.BoxMin, (Vec3{-4, -3, 3}));
  EXPECT_EQ(mesh.BoxMax, (Vec3{6, 7, 13}));
  EXPECT_EQ(mesh.BoxCorners[0], mesh.BoxMin);
  EXPECT_EQ(mesh.BoxCorners[7], mesh.BoxMax);
  EXPECT_EQ(mesh.BoxCorners[6], (Vec3{-4, 7, 13}));
}

TEST(ReloadImportedToolMesh, TurnsTheShapeForAnAngleHead) {
  ImportedToolMesh mesh;
  const AngleHeadAngles head{90, 0, 0};  // (y, z) -> (-z, y)
  ReloadImportedToolMesh(CubeTool(kCube), &head, mesh);
  EXPECT_EQ(mesh.BoxMin, (Vec3{-4, -13, -3}));
  EXPECT_EQ(mesh.BoxMax, (Vec3{6, -3, 7}));
}

TEST(ReloadImportedToolMesh, UnreadableFileLeavesNoFacets) {
  ImportedToolMesh mesh;
  ReloadImportedToolMesh(CubeTool(kCube), nullptr, mesh);
  ReloadImportedToolMesh(CubeTool("/nonexistent/tool.stl"), nullptr, mesh);
  EXPECT_EQ(mesh.FileName, "/nonexistent/tool.stl");
  EXPECT_EQ(mesh.StlKind, kStlUnreadable);
  EXPECT_EQ(mesh.FacetCount, 0);
  EXPECT_TRUE(mesh.Triangles.empty());
  ToolRecord unnamed = CubeTool("");
  unnamed.Name.reset();
  ReloadImportedToolMesh(unnamed, nullptr, mesh);
  EXPECT_EQ(mesh.FacetCount, 0);
}

// The tool change reloads the shape of an IMPORT tool.
TEST(ReloadImportedToolMesh, ToolChangeLoadsTheCurrentToolsShape) {
  testing::ToolWorld world;
  world.Table.Records[2] = CubeTool(kCube);
  world.Table.Records[2].NeckDiameter = 6;
  world.Kinematics.ToolDirectionInUse = 1;
  world.Kinematics.AngleHeadB = -90;  // (z, x) -> (x, -z)
  world.Change(2);
  EXPECT_EQ(world.Mesh.FacetCount, 12);
  EXPECT_EQ(world.Mesh.BoxMin, (Vec3{-13, -3, -4}));
  EXPECT_EQ(world.Mesh.BoxMax, (Vec3{-3, 7, 6}));
  // Another tool leaves the mesh; the next IMPORT tool replaces it.
  world.Table.Records[3] = CubeTool("/nonexistent/tool.stl");
  world.Change(3);
  EXPECT_EQ(world.Mesh.FacetCount, 0);
  EXPECT_TRUE(world.Mesh.Triangles.empty());
}

// The tool change on the imported tools of the tool table: outlines from the
// DXF reader, the STL shape reloaded from the name the table gives.
TEST(ImportedToolChange, OutlinesAndShapesOfTheImportedToolsTable) {
  const testing::CurrentFolder folder(VESTAN_FIXTURES_DIR "/definitions");
  testing::ToolWorld world;
  ASSERT_EQ(world.ReadTable("imported_tools.ttl").State, kFileRead);
  const ToolProfile& profile = world.Profile;

  // Tool 1: cutting part (bottom line, corner arc in 10 points, side), the
  // shank's two lines, the arbor's three.
  world.Set(1);
  EXPECT_EQ(profile.CutCount, 13);
  EXPECT_EQ(profile.ShankEndCount, 15);
  EXPECT_EQ(profile.PointCount, 18);
  EXPECT_EQ(profile.Radius[1], 3.0);
  EXPECT_NEAR(profile.Radius[2], 3 + 2 * std::cos(279 * kPi / 180), 1e-12);
  EXPECT_NEAR(profile.Height[2], 2 + 2 * std::sin(279 * kPi / 180), 1e-12);
  EXPECT_EQ(profile.Radius[11], 5.0);
  EXPECT_EQ(profile.Height[12], 20.0);
  EXPECT_EQ(profile.Radius[14], 6.0);
  EXPECT_EQ(profile.Height[14], 50.0);
  EXPECT_EQ(profile.ProfileHeight, 80.0);
  EXPECT_EQ(profile.ArborBoxMin[2], 50.0);
  EXPECT_EQ(profile.ArborBoxMax[0], 20.0);

  // Tool 2: the outline's cutting part, then the LENGTH shank up to 60.
  world.Set(2);
  EXPECT_EQ(profile.CutCount, 13);
  EXPECT_EQ(profile.ShankEndCount, 14);
  EXPECT_EQ(profile.PointCount, 14);
  EXPECT_EQ(profile.Radius[13], 5.0);
  EXPECT_EQ(profile.Height[13], 60.0);

  // Tool 3: the cube's shape, found from the name with "\" separators.
  world.Kinematics.ToolDirectionInUse = 1;
  world.Kinematics.AngleHeadA = 90;  // (y, z) -> (-z, y)
  world.Change(3);
  EXPECT_EQ(world.Mesh.FacetCount, 12);
  EXPECT_EQ(world.Mesh.BoxMin, (Vec3{-5, -10, -5}));
  EXPECT_EQ(world.Mesh.BoxMax, (Vec3{5, 0, 5}));
  EXPECT_EQ(profile.PointCount, 1);
  EXPECT_EQ(profile.Radius[0], 5.0);
  EXPECT_EQ(profile.Height[0], 10.0);
}

}  // namespace
}  // namespace vestan
