#include "machine/structure_interference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "machine/structure_world.h"
#include "model/stock.h"
#include "model/tool_profile.h"
#include "modelfiles/stl_facets.h"

namespace vestan {
namespace {

// The 12 facets of a box, each face split along its min-min to max-max
// diagonal.
std::vector<StlTriangle> BoxFacets(const Vec3& lo, const Vec3& hi) {
  std::vector<StlTriangle> facets;
  for (int a = 0; a < 3; ++a) {
    const int u = (a + 1) % 3, v = (a + 2) % 3;
    for (const double level : {lo[a], hi[a]}) {
      Vec3 p00, p10, p11, p01;
      p00[a] = p10[a] = p11[a] = p01[a] = level;
      p00[u] = p01[u] = lo[u];
      p10[u] = p11[u] = hi[u];
      p00[v] = p10[v] = lo[v];
      p01[v] = p11[v] = hi[v];
      for (const auto& tri : {std::array<Vec3, 3>{p00, p10, p11}, std::array<Vec3, 3>{p00, p11, p01}}) {
        StlTriangle t{};
        for (int k = 0; k < 3; ++k)
          for (int c = 0; c < 3; ++c) t[3 + 3 * k + c] = tri[k][c];
        facets.push_back(t);
      }
    }
  }
  return facets;
}

StructureMesh Structure(const Vec3& lo, const Vec3& hi) {
  StructureMesh mesh;
  mesh.Triangles = BoxFacets(lo, hi);
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  BuildTriangleBuckets(mesh.Triangles, mesh.Records);
  mesh.BoxMin = lo;
  mesh.BoxMax = hi;
  return mesh;
}

// Two boxes in one file, as a base that stands on both sides of the work.
StructureMesh TwoBoxes(const Vec3& lo1, const Vec3& hi1, const Vec3& lo2, const Vec3& hi2) {
  StructureMesh mesh;
  mesh.Triangles = BoxFacets(lo1, hi1);
  for (const StlTriangle& t : BoxFacets(lo2, hi2)) mesh.Triangles.push_back(t);
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  BuildTriangleBuckets(mesh.Triangles, mesh.Records);
  for (int k = 0; k < 3; ++k) {
    mesh.BoxMin[k] = std::min(lo1[k], lo2[k]);
    mesh.BoxMax[k] = std::max(hi1[k], hi2[k]);
  }
  return mesh;
}

HeadMesh Head(const Vec3& lo, const Vec3& hi) {
  HeadMesh head;
  head.Triangles = BoxFacets(lo, hi);
  head.BoxMin = lo;
  head.BoxMax = hi;
  MakeBoxCorners(lo, hi, head.BoxCorners);
  return head;
}

// A tool of radius 5 whose rings stand at 0, 20 and 40 above the tip: the
// tool from 0 to 20, the arbor from 20 to 40, the spindle 40 above the tip.
constexpr double kToolLength = 40.0;

struct Tool {
  Tool() {
    for (int l = 0; l < 3; ++l)
      for (int j = 0; j < kProfileAngleSteps; ++j) {
        const double a = j * 10.0 * kRadiansPerDegree;
        // Exact quarter points keep the ring on the axis planes.
        const double c = j % 9 == 0 ? std::round(std::cos(a)) : std::cos(a);
        const double s = j % 9 == 0 ? std::round(std::sin(a)) : std::sin(a);
        Points.push_back({5 * c, 5 * s, 20.0 * l});
      }
  }
  ToolRings Rings(int32_t first, int32_t end, double low, double high) const {
    ToolRings rings{Points, first, end, {-5, -5, low}, {5, 5, high}, {}};
    MakeBoxCorners(rings.BoxMin, rings.BoxMax, rings.Corners);
    return rings;
  }
  ToolRings Cutter() const { return Rings(0, 2, 0, 20); }
  ToolRings Arbor() const { return Rings(1, 3, 20, 40); }
  std::vector<Vec3> Points;
};

// A 3-axis machine of boxes: the work (0,0,0)-(50,50,20), a vice block at
// x -20..-10, a post vice far off at x 300, the table well below, and one
// base file, a low block at x 200..250 beside a free box; the head a box
// 60 x 60 x 100 standing on the spindle point.
class BoxMachine : public ::testing::Test, protected testing::StructureRecords {
 protected:
  BoxMachine() {
    Meshes.Vices[0] = Structure({-20, 0, 0}, {-10, 50, 30});
    Meshes.Vices[1] = Structure({300, 0, 0}, {304, 4, 30});
    Meshes.Table = Structure({-100, -100, -120}, {150, 150, -100});
    const std::vector<StlTriangle> base = BoxFacets({200, -50, -120}, {250, 150, -50});
    Meshes.BasicFreeBoxes[0] = {{-150, -150, -120}, {200, 200, 500}};
    PartitionBasicMesh(base, Meshes.BasicFreeBoxes[0].Min, Meshes.BasicFreeBoxes[0].Max,
                       Meshes.Basic);
    Meshes.BasicFileCount = 1;
    Meshes.Head = Head({-30, -30, 0}, {30, 30, 100});
    EXPECT_EQ(CreateBoxModel(Work.Workpiece(), {0, 0, 0, 50, 50, 20}, 1.0), kModelOk);
    Work.WorkPresent = 1;
    Checks.Pairs.fill(1);
    Position.ReferenceLength = kToolLength;
  }

  // Every check at machine position p (rotary angles 0); the names of the
  // raised pairs.
  std::set<std::string> RunAll(const Vec3& p) {
    Position.MachinePosition = {p[0], p[1], p[2], 0, 0};
    const Vec3 tip{p[0], p[1], p[2] - kToolLength};
    ResetInterferenceFlags(Hits);
    StructureCheckContext context = Context();
    CheckHeadInterference(context);
    CheckToolArborInterference(context, tool.Cutter(), tip);
    CheckToolArborInterference(context, tool.Arbor(), tip);
    std::set<std::string> raised;
    for (size_t pair = 0; pair < kNamedPairCount; ++pair)
      if (Hits.Pairs[pair] != 0) {
        std::string key = kPairCheckKeys[pair];
        raised.insert(key.substr(0, key.size() - 6));  // less " CHECK"
      }
    return raised;
  }

  Tool tool;
};

TEST_F(BoxMachine, HitTable) {
  struct Case {
    std::string Name;
    Vec3 Spindle;
    bool XMovesTable;
    std::set<std::string> Raised;
  };
  const std::vector<Case> cases{
      {"clear above everything", {25, 25, 200}, false, {}},
      {"head into the work", {25, 25, 15}, false, {"HEAD-WORK"}},
      {"head face between two Z grid lines", {25.5, 25.5, 15.5}, false, {"HEAD-WORK"}},
      {"head face on the work's top", {25, 25, 20}, false, {"HEAD-WORK"}},
      {"head face just above the work", {25, 25, 20.001}, false, {}},
      {"tool into the vice's top", {-15, 25, 60}, false, {"TOOL-VICE"}},
      {"tool inside the vice, arbor through its top", {-15, 25, 45}, false, {"ARBOR-VICE"}},
      {"shared ring on the vice's top", {-15, 25, 50}, false, {"TOOL-VICE", "ARBOR-VICE"}},
      {"head and tool into the vice", {-15, 25, 25}, false, {"HEAD-VICE", "TOOL-VICE"}},
      {"head into the work and the vice", {-4, 25, 15}, false, {"HEAD-WORK", "HEAD-VICE"}},
      {"post through the middle of a head face", {287, 17, 25}, false, {}},
      {"tool into the table", {-60, -60, -70}, false, {"TOOL-TABLE"}},
      {"head into the table, arbor through its bottom",
       {-60, -60, -105},
       false,
       {"HEAD-TABLE", "ARBOR-TABLE"}},
      {"head into the base", {190, 25, -60}, false, {"HEAD-BASIC"}},
      {"tool onto the base", {198, 25, -20}, false, {"TOOL-BASIC"}},
      {"X moves the table: the base stays clear", {198, 25, -20}, true, {}},
      {"X moves the table: the vice is still hit", {-15, 25, 60}, true, {"TOOL-VICE"}},
  };
  for (const Case& c : cases) {
    Machine.TableMoves = {static_cast<uint8_t>(c.XMovesTable ? 1 : 0), 0, 0};
    EXPECT_EQ(RunAll(c.Spindle), c.Raised) << c.Name;
  }
}

TEST_F(BoxMachine, PairsOffOrTargetsMissingAreNotTested) {
  Checks.Pairs.fill(0);
  EXPECT_EQ(RunAll({25, 25, 15}), std::set<std::string>{});
  Checks.Pairs[kPairHeadVice] = 1;
  EXPECT_EQ(RunAll({-15, 25, 25}), std::set<std::string>{"HEAD-VICE"});
  Checks.Pairs.fill(1);
  Work.WorkState = kWorkIgnored;
  EXPECT_EQ(RunAll({25, 25, 15}), std::set<std::string>{});
  Work.WorkState = kWorkAvailable;
  Meshes.Head = HeadMesh{};
  EXPECT_EQ(RunAll({25, 25, 15}), std::set<std::string>{});
}

TEST_F(BoxMachine, ASingleRingIsNeverReported) {
  Position.MachinePosition = {-15, 25, 60, 0, 0};
  StructureCheckContext context = Context();
  for (const ToolRings& rings : {tool.Rings(0, 1, 0, 0), tool.Rings(2, 3, 40, 40),
                                 tool.Rings(-1, 3, 0, 40)})
    CheckToolArborInterference(context, rings, {-15, 25, 20});
  EXPECT_EQ(AnyInterferenceFlag(Hits), 0);
  // Rings past the points given are not read.
  ToolRings beyond = tool.Rings(0, 9, 0, 20);
  CheckToolArborInterference(context, beyond, {-15, 25, 20});
  EXPECT_NE(Hits.Pairs[kPairToolVice], 0);
}

// Several base files: a segment wholly inside a file's free box cannot meet
// that file and drops out; the tool's other segments are still tested.
TEST_F(BoxMachine, SeveralBaseFilesDropSegmentsInsideTheirFreeBoxes) {
  Meshes.Basic = {};
  Meshes.Basic[0] = Structure({200, -50, -120}, {250, 150, -50});
  Meshes.Basic[1] =
      TwoBoxes({-300, -50, -120}, {-250, 150, -50}, {300, -50, -120}, {350, 150, 400});
  Meshes.BasicFreeBoxes[0] = {{-150, -150, -120}, {200, 200, 500}};
  Meshes.BasicFreeBoxes[1] = {{-250, -150, -120}, {300, 200, 500}};
  Meshes.BasicFileCount = 2;
  EXPECT_EQ(RunAll({25, 25, 200}), std::set<std::string>{});
  EXPECT_EQ(RunAll({198, 25, -20}), std::set<std::string>{"TOOL-BASIC"});
  EXPECT_EQ(RunAll({190, 25, -60}), std::set<std::string>{"HEAD-BASIC"});
  // The first segments (at +X) stand inside free box 1 and inside the
  // second file's box; those at -X reach over its low block.
  EXPECT_EQ(RunAll({-248, 25, -20}), std::set<std::string>{"TOOL-BASIC"});
}

// A TABLE machine with rotary 1 about X turned a quarter: the head and the
// tool are placed in the turned frame of the second table, and only there
// do they reach the block on it.
TEST_F(BoxMachine, TurnedTableSeesTheHeadAndToolTurned) {
  Kinematics.RotaryType = kRotaryTable;
  Meshes = MachinePartMeshes{};
  Meshes.Head = Head({-30, -30, 0}, {30, 30, 100});
  Meshes.Table2 = Structure({-50, -230, -50}, {50, -190, 50});
  const Vec3 tip{0, -200, 0};
  struct Case {
    std::string Name;
    double Angle;
    std::array<double, 4> SinCos;
    std::set<size_t> Raised;
  };
  const std::vector<Case> cases{
      {"angles 0", 0, {0, 1, 0, 1}, {}},
      {"rotary 1 at 90", 90, {1, 0, 0, 1}, {kPairHeadTable2, kPairArborTable2}},
  };
  for (const Case& c : cases) {
    Position.MachinePosition = {0, 0, 200, c.Angle, 0};
    Position.RotarySinCos = c.SinCos;
    ResetInterferenceFlags(Hits);
    StructureCheckContext context = Context();
    CheckHeadInterference(context);
    CheckToolArborInterference(context, tool.Cutter(), tip);
    CheckToolArborInterference(context, tool.Arbor(), tip);
    std::set<size_t> raised;
    for (size_t pair = 0; pair < kNamedPairCount; ++pair)
      if (Hits.Pairs[pair] != 0) raised.insert(pair);
    EXPECT_EQ(raised, c.Raised) << c.Name;
  }
}

// A workpiece turned a quarter about Z and moved by (100, 0, 0): the head
// meets it where it stands, not where its own frame puts it.
TEST_F(BoxMachine, ThePlacedWorkIsMetWhereItStands) {
  Meshes = MachinePartMeshes{};
  Meshes.Head = Head({-30, -30, 0}, {30, 30, 100});
  ASSERT_EQ(CreateBoxModelPlaced(Work.Workpiece(), {0, 0, 0, 50, 20, 20},
                                 {0, 1, 0, -1, 0, 0, 0, 0, 1, 100, 0, 0}, 1.0),
            kModelOk);
  EXPECT_EQ(RunAll({90, 25, 15}), std::set<std::string>{"HEAD-WORK"});
  EXPECT_EQ(RunAll({160, 25, 15}), std::set<std::string>{});
  EXPECT_EQ(RunAll({10, 10, 15}), std::set<std::string>{});
}

// A HEAD machine's HEAD1 (turned by rotary 1 about X) and HEAD2: with both
// angles 0 each is only moved; turned, HEAD1 reaches along -Y into the vice.
TEST_F(BoxMachine, HeadsOfAHeadMachine) {
  Kinematics.RotaryType = kRotaryHead;
  Meshes.Head = HeadMesh{};
  Meshes.Head1 = Head({-20, -20, 0}, {20, 20, 60});
  Meshes.Head2 = Head({-10, -10, 0}, {10, 10, 20});
  struct Case {
    std::string Name;
    AxisPosition Machine;
    std::array<double, 4> SinCos;
    std::set<size_t> Raised;
  };
  const std::vector<Case> cases{
      {"beside the vice", {-21, 71, 15, 0, 0}, {0, 1, 0, 1}, {}},
      {"turned into the vice", {-21, 71, 15, 90, 0}, {1, 0, 0, 1}, {kPairHead1Vice}},
      {"both into the work", {25, 25, 10, 0, 0}, {0, 1, 0, 1}, {kPairHead1Work, kPairHead2Work}},
      {"both into the table", {-60, -60, -105, 0, 0}, {0, 1, 0, 1},
       {kPairHead1Table, kPairHead2Table}},
  };
  for (const Case& c : cases) {
    Position.MachinePosition = c.Machine;
    Position.RotarySinCos = c.SinCos;
    ResetInterferenceFlags(Hits);
    StructureCheckContext context = Context();
    CheckHead1Interference(context);
    CheckHead2Interference(context);
    std::set<size_t> raised;
    for (size_t pair = 0; pair < kNamedPairCount; ++pair)
      if (Hits.Pairs[pair] != 0) raised.insert(pair);
    EXPECT_EQ(raised, c.Raised) << c.Name;
  }
}

}  // namespace
}  // namespace vestan
