#include "machine/structure_interference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "machine/reference_structure_check/reference_structure_check.h"
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
  IndexStructureMesh(mesh);
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
  IndexStructureMesh(mesh);
  return mesh;
}

HeadMesh Head(const Vec3& lo, const Vec3& hi) {
  HeadMesh head;
  head.Triangles = BoxFacets(lo, hi);
  head.BoxMin = lo;
  head.BoxMax = hi;
  MakeBoxCorners(lo, hi, head.BoxCorners);
  IndexHeadMesh(head);
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

// ------------------------------------------- the checks against the old routine

// Random facets, some flat on an axis plane, about the box [lo, hi]: n
// facets of up to size long, and a few long slivers across the whole box.
std::vector<StlTriangle> FacetCloud(std::mt19937& random, const Vec3& lo, const Vec3& hi, int n,
                                    double size) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto inBox = [&]() {
    Vec3 p;
    for (int k = 0; k < 3; ++k) p[k] = lo[k] + (hi[k] - lo[k]) * unit(random);
    return p;
  };
  std::vector<StlTriangle> facets;
  for (int i = 0; i < n; ++i) {
    const Vec3 a = inBox();
    std::array<Vec3, 3> v{a, a, a};
    for (int j = 1; j < 3; ++j)
      for (int k = 0; k < 3; ++k) v[j][k] += size * (unit(random) - 0.5);
    if (i % 4 == 0) v[1][i % 3] = v[2][i % 3] = a[i % 3];  // on an axis plane
    if (i % 25 == 0) v[2] = inBox();                       // a sliver across the box
    StlTriangle t{};
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) t[3 + 3 * j + k] = v[j][k];
    facets.push_back(t);
  }
  return facets;
}

void Boxed(StructureMesh& mesh, bool indexed) {
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  BuildTriangleBuckets(mesh.Triangles, mesh.Records);
  mesh.BoxMin = {1e11, 1e11, 1e11};
  mesh.BoxMax = {-1e11, -1e11, -1e11};
  for (const StlFacetRecord& r : mesh.Records)
    for (int k = 0; k < 3; ++k) {
      mesh.BoxMin[k] = std::min(mesh.BoxMin[k], r.BoxMin[k]);
      mesh.BoxMax[k] = std::max(mesh.BoxMax[k], r.BoxMax[k]);
    }
  if (indexed) IndexStructureMesh(mesh);
}

StructureMesh CloudMesh(std::mt19937& random, const Vec3& lo, const Vec3& hi, int n, double size,
                        bool indexed) {
  StructureMesh mesh;
  mesh.Triangles = FacetCloud(random, lo, hi, n, size);
  for (const StlTriangle& t : BoxFacets(lo, hi)) mesh.Triangles.push_back(t);
  Boxed(mesh, indexed);
  return mesh;
}

HeadMesh CloudHead(std::mt19937& random, const Vec3& lo, const Vec3& hi, int n, bool indexed) {
  HeadMesh head;
  head.Triangles = FacetCloud(random, lo, hi, n, 15.0);
  for (const StlTriangle& t : BoxFacets(lo, hi)) head.Triangles.push_back(t);
  head.BoxMin = lo;
  head.BoxMax = hi;
  MakeBoxCorners(lo, hi, head.BoxCorners);
  if (indexed) IndexHeadMesh(head);
  return head;
}

// A machine of random facet clouds about the work (0,0,0)-(60,40,30) on
// one rotary type: vices, both tables, the tilting table's groups, the base
// in one file or in three, and the three heads; searched with or without
// their indexes.
struct CloudMachine : testing::StructureRecords {
  CloudMachine(uint32_t seed, int32_t rotaryType, bool indexed, bool severalBaseFiles) {
    std::mt19937 random(seed);
    Kinematics.RotaryType = rotaryType;
    Meshes.Vices[0] = CloudMesh(random, {-30, 0, -5}, {-5, 40, 35}, 60, 8, indexed);
    Meshes.Vices[2] = CloudMesh(random, {65, 0, -5}, {80, 40, 25}, 60, 8, indexed);
    Meshes.Table = CloudMesh(random, {-150, -150, -40}, {200, 200, -5}, 400, 20, indexed);
    Meshes.Table2 = CloudMesh(random, {-120, -100, -30}, {180, 140, -6}, 200, 25, indexed);
    const std::vector<StlTriangle> tilting =
        FacetCloud(random, {-100, -100, -60}, {160, 140, -10}, 300, 20);
    if (rotaryType == kRotaryTable) {
      PartitionTableMesh(tilting, {-100, -100, -60}, {160, 140, -10}, Meshes.Table1);
      Meshes.Table1GroupCount = static_cast<int32_t>(kTable1Groups);
    } else {
      Meshes.Table1[0].Triangles = tilting;
      Boxed(Meshes.Table1[0], indexed);
      Meshes.Table1GroupCount = 1;
    }
    if (!indexed)
      for (StructureMesh& group : Meshes.Table1) group.Grid = {};
    if (severalBaseFiles) {
      for (int i = 0; i < 3; ++i) {
        const double x = -250.0 + 220.0 * i;
        Meshes.Basic[i] = CloudMesh(random, {x, -200, -80}, {x + 60, 250, 200}, 150, 30, indexed);
        Meshes.BasicFreeBoxes[i] = {{x + 60.5, -190, -70}, {x + 219, 240, 190}};
      }
      Meshes.BasicFreeBoxes[2] = {{-250, -190, -70}, {-30, 240, 190}};
      Meshes.BasicFileCount = 3;
    } else {
      std::vector<StlTriangle> base = FacetCloud(random, {-250, -200, -80}, {-190, 250, 200}, 150, 30);
      for (const StlTriangle& t : FacetCloud(random, {190, -200, -80}, {250, 250, 200}, 150, 30))
        base.push_back(t);
      Meshes.BasicFreeBoxes[0] = {{-189, -199, -79}, {189, 249, 199}};
      PartitionBasicMesh(base, Meshes.BasicFreeBoxes[0].Min, Meshes.BasicFreeBoxes[0].Max,
                         Meshes.Basic);
      if (!indexed)
        for (StructureMesh& group : Meshes.Basic) group.Grid = {};
      Meshes.BasicFileCount = 1;
    }
    Meshes.Head = CloudHead(random, {-40, -40, 0}, {40, 40, 120}, 150, indexed);
    Meshes.Head1 = CloudHead(random, {-30, -30, 0}, {30, 30, 60}, 80, indexed);
    Meshes.Head2 = CloudHead(random, {-15, -15, 0}, {15, 15, 25}, 40, indexed);
    EXPECT_EQ(CreateBoxModel(Work.Workpiece(), {0, 0, 0, 60, 40, 30}, 2.0), kModelOk);
    Work.WorkPresent = 1;
    Checks.Pairs.fill(1);
    Position.ReferenceLength = kToolLength;
  }

  // Every check at a position, by the library or by the old routine.
  InterferenceHits Run(const AxisPosition& at, bool old, const Tool& tool) {
    Position.MachinePosition = at;
    const double a = at[3] * kRadiansPerDegree, b = at[4] * kRadiansPerDegree;
    Position.RotarySinCos = {std::sin(a), std::cos(a), std::sin(b), std::cos(b)};
    const Vec3 tip{at[0], at[1], at[2] - kToolLength};
    ResetInterferenceFlags(Hits);
    StructureCheckContext context = Context();
    if (old) {
      reference::CheckHeadInterference(context);
      reference::CheckHead1Interference(context);
      reference::CheckHead2Interference(context);
      reference::CheckToolArborInterference(context, tool.Cutter(), tip);
      reference::CheckToolArborInterference(context, tool.Arbor(), tip);
    } else {
      CheckHeadInterference(context);
      CheckHead1Interference(context);
      CheckHead2Interference(context);
      CheckToolArborInterference(context, tool.Cutter(), tip);
      CheckToolArborInterference(context, tool.Arbor(), tip);
    }
    return Hits;
  }
};

// Over random machines of every rotary type, with and without their search
// indexes, and random positions about the work (half with both rotary
// angles 0), every pair's flag is the old routine's.
TEST(StructureChecks, SameHitsAsTheOldRoutineAtRandomPositions) {
  const Tool tool;
  std::array<int, kNamedPairCount> hits{}, misses{};
  uint32_t seed = 1;
  for (const int32_t type : {kRotaryHead, kRotaryTable, kRotaryMix})
    for (const bool indexed : {true, false})
      for (const bool severalBaseFiles : {false, true}) {
        CloudMachine machine(++seed, type, indexed, severalBaseFiles);
        machine.Machine.TableMoves = {static_cast<uint8_t>(seed % 2), 0,
                                      static_cast<uint8_t>(seed % 3 == 0)};
        std::mt19937 random(seed * 7919);
        std::uniform_real_distribution<double> x(-220, 250), y(-180, 230), z(-60, 150),
            angle(-180, 180);
        for (int i = 0; i < 300; ++i) {
          const bool turned = i % 2 == 1;
          const AxisPosition at{x(random), y(random), z(random), turned ? angle(random) : 0.0,
                                turned && i % 3 != 0 ? angle(random) : 0.0};
          const InterferenceHits expected = machine.Run(at, true, tool);
          const InterferenceHits got = machine.Run(at, false, tool);
          for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
            ASSERT_EQ(got.Pairs[pair] != 0, expected.Pairs[pair] != 0)
                << kPairCheckKeys[pair] << " at " << at[0] << ", " << at[1] << ", " << at[2]
                << ", " << at[3] << ", " << at[4] << "; type " << type << ", indexed " << indexed
                << ", several base files " << severalBaseFiles;
            ++(expected.Pairs[pair] != 0 ? hits : misses)[pair];
          }
        }
      }
  // The positions reach both answers of every head pair, so the comparison
  // says something about each.
  for (const size_t pair : {kPairHeadWork, kPairHeadVice, kPairHeadTable2, kPairHeadTable1,
                            kPairHeadTable, kPairHeadBasic, kPairHead1Work, kPairHead1Table,
                            kPairHead2Work, kPairHead2Basic, kPairToolVice, kPairArborTable})
    EXPECT_TRUE(hits[pair] > 0 && misses[pair] > 0) << kPairCheckKeys[pair];
}

// A mesh copied after its index was built, or changed in place, is searched
// without the index, and the answers stay right.
TEST(StructureChecks, AnIndexBuiltForOtherFacetsIsNotUsed) {
  std::mt19937 random(5);
  StructureMesh built = CloudMesh(random, {0, 0, 0}, {100, 100, 20}, 200, 10, true);
  const StructureMesh copy = built;
  EXPECT_TRUE(GridCurrent(built.Grid, built.Triangles, built.Records.size()));
  EXPECT_FALSE(GridCurrent(copy.Grid, copy.Triangles, copy.Records.size()));
  built.Triangles.pop_back();
  EXPECT_FALSE(GridCurrent(built.Grid, built.Triangles, built.Records.size()));
  HeadMesh head = CloudHead(random, {0, 0, 0}, {10, 10, 10}, 20, true);
  const HeadMesh headCopy = head;
  EXPECT_TRUE(LeavesCurrent(head.Leaves, head.Triangles));
  EXPECT_FALSE(LeavesCurrent(headCopy.Leaves, headCopy.Triangles));
}

}  // namespace
}  // namespace vestan
