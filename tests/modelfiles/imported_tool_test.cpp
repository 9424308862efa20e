// Tool tables with imported shapes, read with the real STL loader behind the
// reader's mesh hook.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "definitions/definition_test_support.h"
#include "definitions/tool_table_file.h"
#include "modelfiles/imported_tool_stl.h"
#include "modelfiles/stl_file.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::NoteMentions;
using testing::TempFolder;
using testing::ToolTableHarness;

const fs::path kFixtures = VESTAN_FIXTURES_DIR;

// A tool table harness whose IMPORT keys load into its shared mesh.
struct ImportHarness : ToolTableHarness {
  ImportHarness() : ToolTableHarness(20) {
    LoadMesh = [](std::string_view name, const Vec3& offset, ImportedToolMesh& mesh) {
      LoadImportedToolMesh(name, offset, mesh);
    };
  }
};

TEST(ImportedTools, FixtureTableGivesKindsAndDimensions) {
  const CurrentFolder folder(kFixtures / "definitions");
  ImportHarness h;
  const DefinitionReadResult result = h.Read("imported_tools.ttl");
  ASSERT_EQ(result.State, kFileRead);

  // Tool 1: the DXF outline, its dimensions read off the drawing.
  const ToolRecord& outline = h.Record(1);
  EXPECT_EQ(outline.Kind, kToolImportedProfile);
  EXPECT_EQ(outline.ProfileFile, "tool_outline.dxf");
  EXPECT_EQ(outline.Name, "tool_outline.dxf");
  EXPECT_EQ(outline.ProfileCount, 8);
  EXPECT_EQ(outline.ProfileSegments.size(), 8u);
  EXPECT_EQ(outline.CuttingSegmentCount, 8);
  EXPECT_EQ(outline.ProfileClassStart, (std::array<int32_t, 3>{0, 3, 5}));
  EXPECT_EQ(outline.LastOutwardIndex, 7);
  EXPECT_EQ(outline.ProfileMax, (std::array<double, 2>{20, 80}));
  EXPECT_EQ(outline.Diameter, 10.0f);
  EXPECT_EQ(outline.CornerRadius, 2.0f);
  EXPECT_EQ(outline.CuttingLength, 20.0f);
  const int32_t classes[] = {1, 1, 1, 2, 2, 3, 3, 3};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(outline.ProfileSegments[i].Class, classes[i]) << i;
  EXPECT_EQ(h.Shank(1).ShankDiameter, 12.0f);
  EXPECT_EQ(h.Shank(1).ProtrusionLength, 50.0f);
  EXPECT_EQ(h.Arbor(1).StepDiameter[0], 40.0f);
  EXPECT_EQ(h.Arbor(1).StepLength[0], 30.0f);
  EXPECT_EQ(h.Arbor(1).Present, 0);  // no LENGTH key: no holder

  // Tool 2: the same outline; its LENGTH key leaves the cutting part before the shank.
  EXPECT_EQ(h.Record(2).Kind, kToolImportedProfile);
  EXPECT_EQ(h.Record(2).CuttingSegmentCount, 3);
  EXPECT_EQ(h.Shank(2).Kind, kShankLength);
  EXPECT_EQ(h.Shank(2).ProtrusionLength, 60.0f);

  // Tool 3: the ASCII cube, 10 x 10 x 10.
  EXPECT_EQ(h.Record(3).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Record(3).Name, "..\\modelfiles\\cube_ascii.stl");
  EXPECT_EQ(h.Record(3).Diameter, 10.0f);
  EXPECT_EQ(h.Record(3).CuttingLength, 10.0f);

  // Tool 4: a missing outline leaves the kind the tool had and no outline.
  EXPECT_EQ(h.Record(4).Kind, kToolDrill);
  EXPECT_EQ(h.Record(4).ProfileCount, 0);
  EXPECT_TRUE(h.Record(4).ProfileSegments.empty());
  EXPECT_TRUE(NoteMentions(result, "missing.dxf"));

  // Tool 5: a missing STL is still an STL tool, without a size.
  EXPECT_EQ(h.Record(5).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Record(5).Diameter, 0.0f);
  EXPECT_EQ(h.Record(5).CuttingLength, 0.0f);
  EXPECT_EQ(h.Record(5).NeckDiameter, 4.0f);
  EXPECT_TRUE(NoteMentions(result, "missing.stl"));

  // Tool 6: the binary cube moved by (1, 2, 3), found without regard to case;
  // the last IMPORT owns the one mesh.
  EXPECT_EQ(h.Record(6).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Record(6).Diameter, 10.0f);
  EXPECT_EQ(h.Record(6).CuttingLength, 10.0f);
  EXPECT_EQ(h.Mesh.FileName, "../modelfiles/CUBE_BINARY.STL");
  EXPECT_EQ(h.Mesh.StlKind, kStlBinary);
  EXPECT_EQ(h.Mesh.FacetCount, 12);
  EXPECT_EQ(h.Mesh.Triangles.size(), 12u);
  EXPECT_EQ(h.Mesh.BoxMin, (Vec3{-4, -3, 3}));
  EXPECT_EQ(h.Mesh.BoxMax, (Vec3{6, 7, 13}));
  EXPECT_EQ(h.Mesh.BoxCorners[0], (Vec3{-4, -3, 3}));
  EXPECT_EQ(h.Mesh.BoxCorners[1], (Vec3{6, -3, 3}));
  EXPECT_EQ(h.Mesh.BoxCorners[2], (Vec3{-4, 7, 3}));
  EXPECT_EQ(h.Mesh.BoxCorners[4], (Vec3{-4, -3, 13}));
  EXPECT_EQ(h.Mesh.BoxCorners[7], (Vec3{6, 7, 13}));
}

TEST(ImportedTools, OnlyTheLastImportKeepsAMesh) {
  TempFolder folder;
  const std::string cube = (kFixtures / "modelfiles" / "cube_binary.stl").string();
  // A binary STL whose count promises more facets than the file holds.
  std::string lying(80, ' ');
  lying += std::string("\xe8\x03\x00\x00", 4) + std::string(100, '\0');
  const std::string bad = folder.Write("lying.stl", lying);
  ImportHarness h;

  DefinitionReadResult result = h.Read(folder.Write(
      "t.ttl", "MAGAZINE 1 IMPORT \"" + cube + "\"\nMAGAZINE 2 IMPORT \"" + bad + "\"\n"));
  EXPECT_EQ(h.Record(1).Diameter, 10.0f);
  EXPECT_EQ(h.Record(2).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Record(2).Diameter, 0.0f);
  EXPECT_EQ(h.Mesh.FileName, bad);
  EXPECT_EQ(h.Mesh.FacetCount, 0);
  EXPECT_TRUE(h.Mesh.Triangles.empty());
  EXPECT_TRUE(NoteMentions(result, "cannot be read"));

  h.Read(folder.Write(
      "t.ttl", "MAGAZINE 2 IMPORT \"" + bad + "\"\nMAGAZINE 1 IMPORT \"" + cube + "\",0,0,-10\n"));
  EXPECT_EQ(h.Mesh.FileName, cube);
  EXPECT_EQ(h.Mesh.FacetCount, 12);
  EXPECT_EQ(h.Mesh.BoxMin[2], -10.0);

  // A table without STL tools lets the mesh of the previous one go.
  h.Read(folder.Write("t.ttl", "MAGAZINE 1 BALL 10,40\n"));
  EXPECT_EQ(h.Mesh.FacetCount, 0);
  EXPECT_TRUE(h.Mesh.Triangles.empty());
  EXPECT_TRUE(h.Mesh.FileName.empty());

  // IMPORT without a file name: no mesh, and the reader says so.
  result = h.Read(folder.Write("t.ttl", "MAGAZINE 1 IMPORT ,1,2,3\n"));
  EXPECT_EQ(h.Record(1).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Mesh.FacetCount, 0);
  EXPECT_TRUE(NoteMentions(result, "names no STL file"));
}

TEST(ImportedTools, DamagedStlFilesLeaveAnEmptyMesh) {
  TempFolder folder;
  std::string cube;
  {
    std::ifstream in(kFixtures / "modelfiles" / "cube_binary.stl", std::ios::binary);
    cube.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(cube.size(), 84u + 12 * 50);
  struct Case {
    const char* name;
    std::string bytes;
    int32_t kind;
  };
  // The fixture's header holds the word "facet"; these bytes do not.
  const std::string plain = std::string(80, ' ') + cube.substr(80);
  std::string huge = plain;
  huge.replace(80, 4, std::string("\xff\xff\xff\x7f", 4));  // 2^31 - 1 facets promised
  const Case cases[] = {
      {"empty", "", kStlUnreadable},
      {"shorter than its header", plain.substr(0, 60), kStlUnreadable},
      {"count beyond the file", huge, kStlUnreadable},
      {"cut inside a facet", plain.substr(0, 84 + 5 * 50 + 20), kStlUnreadable},
      // With "facet" in its header a cut binary file reads as text, without facets.
      {"cut, facet in the header", cube.substr(0, 84 + 5 * 50 + 20), kStlAscii},
      {"text without facets", "solid x\nfacet\nendsolid x\n", kStlAscii},
  };
  for (const Case& c : cases) {
    ImportedToolMesh mesh;
    mesh.FileName = "previous";
    mesh.FacetCount = 3;
    LoadImportedToolMesh(folder.Write("d.stl", c.bytes), {0, 0, 0}, mesh);
    EXPECT_EQ(mesh.StlKind, c.kind) << c.name;
    EXPECT_EQ(mesh.FacetCount, 0) << c.name;
    EXPECT_TRUE(mesh.Triangles.empty()) << c.name;
  }
  // Trailing bytes after whole facets: the facets promised are read.
  ImportedToolMesh mesh;
  LoadImportedToolMesh(folder.Write("d.stl", cube + std::string(30, 'x')), {0, 0, 0}, mesh);
  EXPECT_EQ(mesh.FacetCount, 12);
  LoadImportedToolMesh(folder.Path().string(), {0, 0, 0}, mesh);  // a folder
  EXPECT_EQ(mesh.StlKind, kStlUnreadable);
  EXPECT_EQ(mesh.FacetCount, 0);
}

TEST(ImportedTools, MeshWithANumberBeyondAFloatGivesNoShape) {
  TempFolder folder;
  const std::string facetStart = "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n";
  folder.Write("huge.stl", facetStart + "vertex 1e999 0 0\nvertex 0 1 0\nendloop\nendfacet\n");
  // A binary facet whose second vertex is not a number.
  std::string binary = std::string(80, ' ') + std::string("\x01\0\0\0", 4);
  std::array<float, 12> facet{0, 0, 1, 0, 0, 0, std::numeric_limits<float>::quiet_NaN(),
                              0, 0, 0, 1, 0};
  binary.append(reinterpret_cast<const char*>(facet.data()), sizeof facet).append(2, '\0');
  folder.Write("nan.stl", binary);
  for (const char* name : {"huge.stl", "nan.stl"}) {
    ImportedToolMesh mesh;
    LoadImportedToolMesh(folder / name, {0, 0, 0}, mesh);
    EXPECT_TRUE(mesh.NotFinite) << name;
    EXPECT_EQ(mesh.FacetCount, 0) << name;
    EXPECT_TRUE(mesh.Triangles.empty()) << name;
  }
  // Through the tool table: the tool keeps its kind and has no size.
  const CurrentFolder here(folder.Path());
  ImportHarness h;
  const DefinitionReadResult result =
      h.Read(folder.Write("t.ttl", "MAGAZINE 4 IMPORT \"huge.stl\" LENGTH 20\n"));
  EXPECT_TRUE(NoteMentions(result,
                           "STL file \"huge.stl\" holds a number that is not finite; "
                           "tool 4 has no shape"));
  EXPECT_EQ(h.Record(4).Kind, kToolImportedMesh);
  EXPECT_EQ(h.Record(4).Diameter, 0.0f);
  EXPECT_EQ(h.Mesh.FacetCount, 0);
}

}  // namespace
}  // namespace vestan
