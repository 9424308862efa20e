#include "machine/part_models.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_test_support.h"
#include "model/interference_hits.h"
#include "modelfiles/stl_file.h"
#include "platform/file_open.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

void SetPair(InterferenceCheckSettings& checks, std::string_view key, int32_t value) {
  for (size_t i = 0; i < kPairCheckKeys.size(); ++i)
    if (kPairCheckKeys[i] == key) checks.Pairs[i] = value;
}

// A small triangle with its corner at c, lying in every band c lies in.
StlTriangle Near(const Vec3& c) {
  return {0, 0, 1, c[0], c[1], c[2], c[0] + 1, c[1], c[2], c[0], c[1] + 1, c[2]};
}

// The 12 facets of a box, in an ASCII STL file.
std::string WriteBox(testing::TempFolder& folder, std::string_view name, const Vec3& lo,
                     const Vec3& hi) {
  StlWriterState state;
  BeginStlFile(state);
  uint32_t count = 0;
  const auto corner = [&](int i) {
    return Vec3{(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]};
  };
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    WriteStlTriangle(state, count, corner(q[0]), corner(q[1]), corner(q[2]));
    WriteStlTriangle(state, count, corner(q[0]), corner(q[2]), corner(q[3]));
  }
  const std::string path = folder.Path().string() + std::string(name);
  EXPECT_EQ(FinishStlFile(state, path), kFileReplaced);
  return path;
}

TEST(NeededMachineParts, ChecksAndRotaryTypes) {
  struct Case {
    const char* pair;
    int32_t rotaryType;
    bool MachinePartNeeds::*part;
    bool needed;
  } cases[] = {
      {"TOOL-TABLE1 CHECK", kRotaryHead, &MachinePartNeeds::Table1, false},  // no tilting table
      {"TOOL-TABLE1 CHECK", kRotaryNone, &MachinePartNeeds::Table1, false},
      {"ARBOR-TABLE1 CHECK", kRotaryTable, &MachinePartNeeds::Table1, true},
      {"HEAD1-TABLE1 CHECK", kRotaryMix, &MachinePartNeeds::Table1, true},
      {"HEAD-TABLE2 CHECK", kRotaryTable, &MachinePartNeeds::Table2, true},
      {"HEAD-TABLE2 CHECK", kRotaryMix, &MachinePartNeeds::Table2, false},
      {"HEAD2-VICE CHECK", kRotaryHead, &MachinePartNeeds::Head2, true},
      {"HEAD2-VICE CHECK", kRotaryMix, &MachinePartNeeds::Head2, false},
      {"HEAD1-WORK CHECK", kRotaryNone, &MachinePartNeeds::Head1, true},
      {"HEAD1-WORK CHECK", kRotaryTable, &MachinePartNeeds::Head1, false},
      {"HEAD2-TABLE CHECK", kRotaryNone, &MachinePartNeeds::Table, true},
      {"HEAD-WORK CHECK", kRotaryTable, &MachinePartNeeds::Head, true},
      {"HEAD2-BASIC CHECK", kRotaryNone, &MachinePartNeeds::Basic, true},
      {"TOOL-VICE CHECK", kRotaryNone, &MachinePartNeeds::Head, false},
  };
  for (const Case& c : cases) {
    for (const int32_t value : {1, 2}) {
      InterferenceCheckSettings checks;
      SetPair(checks, c.pair, value);
      EXPECT_EQ(NeededMachineParts(checks, c.rotaryType).*c.part, c.needed)
          << c.pair << " type " << c.rotaryType << " value " << value;
    }
  }
  const MachinePartNeeds none = NeededMachineParts(InterferenceCheckSettings{}, kRotaryTable);
  EXPECT_FALSE(none.Table || none.Table1 || none.Table2 || none.Head || none.Head1 || none.Head2 ||
               none.Basic);
  // The BASIC checks of the two further head groups (the last of each six)
  // load the base too; their other checks load nothing.
  for (size_t check = 0; check < kFurtherPairCount; ++check) {
    InterferenceCheckSettings checks;
    checks.PartChecks.assign(kFurtherPairCount, 0);
    checks.PartChecks[check] = 2;
    const MachinePartNeeds needs = NeededMachineParts(checks, kRotaryHead);
    EXPECT_EQ(needs.Basic, check == 15 || check == 21) << check;
    EXPECT_FALSE(needs.Table || needs.Head || needs.Head1 || needs.Head2) << check;
  }
}

// Facets in every band of the box [0, 30]^3 (thirds at 10 and 20), or around
// the free box [10, 20]^3: the group each goes to.
struct BandCase {
  Vec3 corner;
  size_t group;
};
const BandCase kBandCases[] = {
    {{25, 15, 25}, 11}, {{5, 15, 25}, 10}, {{15, 25, 25}, 13}, {{15, 5, 25}, 12}, {{15, 15, 25}, 5},
    {{25, 15, 5}, 7},   {{5, 15, 5}, 6},   {{15, 25, 5}, 9},   {{15, 5, 5}, 8},   {{15, 15, 5}, 2},
    {{25, 25, 15}, 17}, {{25, 5, 15}, 16}, {{25, 15, 15}, 3},  {{5, 25, 15}, 15}, {{5, 5, 15}, 14},
    {{5, 15, 15}, 0},   {{15, 25, 15}, 4}, {{15, 5, 15}, 1},
};

TEST(PartitionTableMesh, EachBandHasItsGroup) {
  std::vector<StlTriangle> facets;
  for (const BandCase& c : kBandCases) facets.push_back(Near(c.corner));
  facets.push_back(Near({15, 15, 15}));
  // Across the thirds on every axis: the middle group too.
  facets.push_back({0, 0, 1, 0, 0, 0, 30, 0, 15, 0, 30, 30});
  std::array<StructureMesh, kTable1Groups> groups;
  PartitionTableMesh(facets, {0, 0, 0}, {30, 30, 30}, groups);
  for (const BandCase& c : kBandCases) {
    ASSERT_EQ(groups[c.group].FacetCount(), 1) << c.group;
    EXPECT_EQ(groups[c.group].Triangles[0], Near(c.corner)) << c.group;
    EXPECT_EQ(groups[c.group].Records.size(), 1u);
    EXPECT_EQ(groups[c.group].BoxMin, c.corner) << c.group;
    EXPECT_EQ(groups[c.group].BoxMax, VectorAdd(c.corner, {1, 1, 0})) << c.group;
  }
  ASSERT_EQ(groups[18].FacetCount(), 2);
  EXPECT_EQ(groups[18].BoxMin, (Vec3{0, 0, 0}));
  EXPECT_EQ(groups[18].BoxMax, (Vec3{30, 30, 30}));
  // Ordered by top: the slanted facet reaches 30.
  EXPECT_EQ(groups[18].Records[0].BoxMax[2], 30);
}

TEST(PartitionBasicMesh, GroupsAroundTheFreeBox) {
  std::vector<StlTriangle> facets;
  for (const BandCase& c : kBandCases) facets.push_back(Near(c.corner));
  facets.push_back(Near({15, 15, 15}));  // inside the free box: group 0
  std::array<StructureMesh, kBasicGroups> groups;
  PartitionBasicMesh(facets, {10, 10, 10}, {20, 20, 20}, groups);
  for (const BandCase& c : kBandCases) {
    if (c.group == 0) continue;
    EXPECT_EQ(groups[c.group].FacetCount(), 1) << c.group;
  }
  ASSERT_EQ(groups[0].FacetCount(), 2);
  EXPECT_EQ(groups[0].Triangles[1], Near({15, 15, 15}));  // input order kept
  // Empty groups keep nothing and the start box.
  std::array<StructureMesh, kBasicGroups> empty;
  PartitionBasicMesh({}, {10, 10, 10}, {20, 20, 20}, empty);
  EXPECT_EQ(empty[5].FacetCount(), 0);
  EXPECT_EQ(empty[5].BoxMin, (Vec3{1e9, 1e9, 1e9}));
  EXPECT_EQ(empty[5].BoxMax, (Vec3{-1e9, -1e9, -1e9}));
}

TEST(ComputeFreeBox, FacetsNarrowItFromOutside) {
  const std::vector<StlTriangle> facets{
      // A floor 10 below: z is its only separation (side -1), the minimum rises.
      {0, 0, 1, -100, -100, -10, 100, -100, -10, 0, 100, -10},
      // A wall 50 along +x: the maximum falls to it.
      {1, 0, 0, 50, -100, -10, 50, 100, -10, 50, 0, 100},
      // 30 away on x and on y: x is taken first.
      {0, 0, 1, 30, 30, 0, 31, 30, 0, 30, 31, 0},
      // 40 along +y, but spanning the box on x and z: passed over.
      {0, 1, 0, -2e11, 40, -2e11, 2e11, 40, -2e11, 0, 40, 2e11},
  };
  Vec3 lo, hi;
  ComputeFreeBox(facets, {0, 0, 0}, lo, hi);
  EXPECT_EQ(lo, (Vec3{-1e11, -1e11, -10}));  // nothing narrows -x, -y: they stay
  EXPECT_EQ(hi, (Vec3{30, 1e11, 1e11}));
  ComputeFreeBox({}, {0, 0, 0}, lo, hi);
  EXPECT_EQ(lo, (Vec3{-1e11, -1e11, -1e11}));
}

class PartModels : public ::testing::Test {
 protected:
  MachinePartSources Sources() { return {h_.Parts, h_.Kinematics, checks_}; }
  // A machine read as the session reads one: the meshes loaded anew after.
  DefinitionReadResult ReadFile(const std::string& path) {
    const DefinitionReadResult result = h_.Read(path);
    if (result.State == kFileRead) {
      FreeMachineModel(meshes_);
      LoadMachinePartModels(Sources(), meshes_);
    }
    return result;
  }
  void Read(std::string_view text) {
    const DefinitionReadResult result = ReadFile(folder_.Write("m.mtl", text));
    EXPECT_TRUE(result.Notes.empty()) << text;
  }
  void On(std::string_view pair) { SetPair(checks_, pair, 1); }

  testing::TempFolder folder_;
  // The meshes are named from the current folder, as written.
  testing::CurrentFolder current_{folder_.Path()};
  testing::MachineHarness h_;
  InterferenceCheckSettings checks_;
  MachinePartMeshes meshes_;
};

TEST_F(PartModels, ShippedMachinesLoadTheirParts) {
  for (const std::string_view pair : kPairCheckKeys) On(pair);
  ReadFile(std::string(VESTAN_DATA_DIR) + "/oguma.mtl");
  EXPECT_EQ(meshes_.Table.FacetCount(), 12);
  EXPECT_EQ(meshes_.Table.Records.size(), 12u);
  EXPECT_EQ(meshes_.Table.BoxMax, (Vec3{400, 200, 0}));
  EXPECT_EQ(meshes_.Vices[0].FacetCount(), 12);
  EXPECT_EQ(meshes_.Head.FacetCount(), 12);
  EXPECT_EQ(meshes_.Head.BoxCorners[7], (Vec3{100, 150, 300}));
  EXPECT_EQ(meshes_.Table1GroupCount, 0);

  ReadFile(std::string(VESTAN_DATA_DIR) + "/oguma5x.mtl");
  EXPECT_EQ(meshes_.Table.FacetCount(), 0);  // freed with the old machine
  EXPECT_EQ(meshes_.Vices[0].FacetCount(), 0);
  ASSERT_EQ(meshes_.Table1GroupCount, 19);
  int32_t trunnion = 0;
  for (const StructureMesh& group : meshes_.Table1) trunnion += group.FacetCount();
  EXPECT_EQ(trunnion, 36);
  EXPECT_EQ(meshes_.Table2.FacetCount(), 32);
  EXPECT_EQ(meshes_.Head.FacetCount(), 12);
}

TEST_F(PartModels, OffsetsRotaryTypesAndChecksDecideWhatIsLoaded) {
  WriteBox(folder_, "t1.stl", {-100, -100, -100}, {100, 100, 0});
  WriteBox(folder_, "v.stl", {0, 0, 0}, {10, 10, 10});
  WriteBox(folder_, "h.stl", {-5, -5, 0}, {5, 5, 50});
  On("TOOL-TABLE1 CHECK");
  const std::string parts =
      "TABLE1 MODEL=t1.stl\nVICE MODEL=v.stl\nVICE MODEL=v.stl\nVICE MODEL OFFSET=1,2,3\n"
      "VICE MODEL OFFSET=0,0,100\nHEAD MODEL OFFSET=0,0,200\nHEAD MODEL=h.stl\n";
  Read("ROTARY TYPE=HEAD\n" + parts);
  EXPECT_EQ(meshes_.Table1GroupCount, 0);   // a HEAD machine has no tilting table
  EXPECT_EQ(meshes_.Head.FacetCount(), 0);  // no HEAD pair is on
  // Vices are always loaded, each with its own offset.
  EXPECT_EQ(meshes_.Vices[0].BoxMin, (Vec3{1, 2, 3}));
  EXPECT_EQ(meshes_.Vices[1].BoxMin, (Vec3{0, 0, 100}));

  Read("ROTARY TYPE=MIX\n" + parts);
  ASSERT_EQ(meshes_.Table1GroupCount, 1);
  EXPECT_EQ(meshes_.Table1[0].FacetCount(), 12);
  EXPECT_EQ(meshes_.Table1[0].BoxMax, (Vec3{100, 100, 0}));

  // A check turned on later loads its part; what is loaded stays.
  const std::vector<StlTriangle> table1 = meshes_.Table1[0].Triangles;
  On("HEAD-WORK CHECK");
  BuildMachineModel(Sources(), meshes_);
  EXPECT_EQ(meshes_.Head.FacetCount(), 12);
  EXPECT_EQ(meshes_.Head.BoxMin, (Vec3{-5, -5, 200}));
  EXPECT_EQ(meshes_.Head.BoxCorners[1], (Vec3{5, -5, 200}));
  EXPECT_EQ(meshes_.Table1[0].Triangles, table1);
  // Facets ordered by decreasing top, records along.
  for (size_t i = 1; i < table1.size(); ++i)
    EXPECT_GE(meshes_.Table1[0].Records[i - 1].BoxMax[2], meshes_.Table1[0].Records[i].BoxMax[2]);

  FreeMachineModel(meshes_);
  EXPECT_EQ(meshes_.Table1GroupCount, 0);
  EXPECT_EQ(meshes_.Vices[1].FacetCount(), 0);
  EXPECT_EQ(meshes_.Head.FacetCount(), 0);
}

TEST_F(PartModels, OneBaseFileIsPartitionedAroundTheTable) {
  // The table's centre top (0, 0, 0) is the reference of the free box.
  WriteBox(folder_, "table.stl", {-100, -50, -20}, {100, 50, 0});
  WriteBox(folder_, "floor.stl", {-500, -500, -300}, {500, 500, -200});
  On("HEAD-TABLE CHECK");
  On("TOOL-BASIC CHECK");
  Read("ROTARY TYPE=HEAD\nTABLE MODEL=table.stl\nBASIC MODEL=floor.stl\n");
  // Faces in file order: the bottom and top raise the minimum z to -200; the
  // faces at y = -500 and +500 lie farthest along y and narrow it; those at
  // x = -500 and +500 span the box on y by then, but not on z, so they narrow
  // x. Nothing closes the box above.
  const FreeBox& free = meshes_.BasicFreeBoxes[0];
  EXPECT_EQ(free.Min, (Vec3{-500, -500, -200}));
  EXPECT_EQ(free.Max, (Vec3{500, 500, 1e11}));
  // Every facet lies at or below -200: the groups below the free box.
  const std::pair<size_t, int32_t> groups[] = {{2, 4}, {6, 2}, {7, 2}, {8, 2}, {9, 2}};
  int32_t total = 0;
  for (const StructureMesh& slot : meshes_.Basic) total += slot.FacetCount();
  EXPECT_EQ(total, 12);
  for (const auto& [group, facets] : groups)
    EXPECT_EQ(meshes_.Basic[group].FacetCount(), facets) << group;
}

TEST_F(PartModels, TableNamedButNotLoadedGivesTheOriginAsReference) {
  WriteBox(folder_, "table.stl", {-100, -50, -20}, {100, 50, 0});
  WriteBox(folder_, "column.stl", {300, -100, -200}, {400, 100, 600});
  On("TOOL-BASIC CHECK");  // no TABLE pair: the table's mesh stays unloaded
  Read(
      "ROTARY TYPE=HEAD\nTABLE MODEL OFFSET=1000,0,0\nTABLE MODEL=table.stl\n"
      "BASIC MODEL=column.stl\n");
  EXPECT_EQ(meshes_.Table.FacetCount(), 0);
  // About (0, 0, 0): the bottom face (z = -200) lies 300 along +x and only
  // 200 below, so x ends at 300; the top face lies 600 above, farther than
  // its 300 along x, so z ends at 600. Nothing lies on the minus sides.
  EXPECT_EQ(meshes_.BasicFreeBoxes[0].Min, (Vec3{-1e11, -1e11, -1e11}));
  EXPECT_EQ(meshes_.BasicFreeBoxes[0].Max, (Vec3{300, 1e11, 600}));
}

TEST_F(PartModels, SeveralBaseFilesEachWholeWithAFreeBox) {
  WriteBox(folder_, "floor.stl", {-500, -500, -300}, {500, 500, -200});
  WriteBox(folder_, "column.stl", {300, -100, -200}, {400, 100, 600});
  On("HEAD-BASIC CHECK");
  // A TABLE machine without a rotary table model: the reference is the
  // table position with the table offset on rotary axis 2's plane axes.
  Read(
      "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=0,0,-100\n"
      "TABLE OFFSET=50,0,7\nBASIC MODEL=floor.stl\nBASIC MODEL=column.stl\nBASIC MODEL "
      "OFFSET=0,0,1\n");
  ASSERT_EQ(meshes_.Basic[0].FacetCount(), 12);
  ASSERT_EQ(meshes_.Basic[1].FacetCount(), 12);
  EXPECT_EQ(meshes_.Basic[2].FacetCount(), 0);
  EXPECT_EQ(meshes_.Basic[1].BoxMin, (Vec3{300, -100, -199}));
  // Reference (50, 0, -100): the floor's top at -199 is 99 below it.
  EXPECT_EQ(meshes_.BasicFreeBoxes[0].Min[2], -199);
  // The column's near face at x = 300 is 250 beyond it.
  EXPECT_EQ(meshes_.BasicFreeBoxes[1].Max[0], 300);
}

}  // namespace
}  // namespace vestan
