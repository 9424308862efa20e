#include "modelfiles/imported_tool_reload.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/tool_world.h"

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

// The tool change reloads the shape of an IMPORT tool through the hook.
TEST(ReloadImportedToolMesh, ToolChangeLoadsTheCurrentToolsShape) {
  testing::ToolWorld world;
  world.Records.Hooks.ReloadImportedMesh = ReloadImportedToolMesh;
  world.Table.Records[2] = CubeTool(kCube);
  world.Table.Records[2].NeckDiameter = 6;
  world.Kinematics.ToolDirectionInUse = 1;
  world.Kinematics.AngleHeadB = -90;  // (z, x) -> (x, -z)
  world.Set(2);
  EXPECT_EQ(world.Mesh.FacetCount, 12);
  EXPECT_EQ(world.Mesh.BoxMin, (Vec3{-13, -3, -4}));
  EXPECT_EQ(world.Mesh.BoxMax, (Vec3{-3, 7, 6}));
  // Another tool leaves the mesh; the next IMPORT tool replaces it.
  world.Table.Records[3] = CubeTool("/nonexistent/tool.stl");
  world.Set(3);
  EXPECT_EQ(world.Mesh.FacetCount, 0);
  EXPECT_TRUE(world.Mesh.Triangles.empty());
}

}  // namespace
}  // namespace vestan
