#include "machine/multi_tool_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "modelfiles/stl_facets.h"
#include "platform/recording_host.h"

namespace vestan {
namespace {

TEST(MultiToolStatus, HitsBeforeCutsInTheirOrder) {
  struct Case {
    std::array<int32_t, 4> Hits;
    bool Cut;
    int32_t ArborCheck;
    int32_t Expected;
  };
  const std::vector<Case> cases{
      {{1, 1, 1, 1}, true, 0, 6}, {{0, 1, 1, 1}, true, 0, 9}, {{0, 0, 1, 1}, true, 0, 8},
      {{0, 0, 0, 1}, true, 0, 7}, {{0, 0, 0, 0}, true, 0, 5}, {{0, 0, 0, 0}, true, 2, 0},
      {{0, 0, 0, 0}, false, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MultiToolStatus(c.Hits, c.Cut, c.ArborCheck), c.Expected)
        << c.Hits[0] << c.Hits[1] << c.Hits[2] << c.Hits[3] << " cut " << c.Cut << " arbor check "
        << c.ArborCheck;
}

// Every tool the same: radius 5, rings at 0, 20 and 40 above the tip (the
// arbor from 20), the spindle 40 above the tip.
void FillProfile(ToolProfile& profile) {
  profile = ToolProfile{};
  profile.PointCount = 3;
  profile.ShankEndCount = 1;
  for (int l = 0; l < 3; ++l)
    for (int j = 0; j < kProfileAngleSteps; ++j) {
      const double a = j * 10.0 * kRadiansPerDegree;
      profile.SurfacePoints[static_cast<size_t>(l * kProfileAngleSteps + j)] = {
          5 * std::cos(a), 5 * std::sin(a), 20.0 * l};
    }
  profile.ToolBoxMin = {-5, -5, 0};
  profile.ToolBoxMax = {5, 5, 20};
  profile.ArborBoxMin = {-5, -5, 20};
  profile.ArborBoxMax = {5, 5, 40};
  MakeBoxCorners(profile.ToolBoxMin, profile.ToolBoxMax, profile.ToolCorners);
  MakeBoxCorners(profile.ArborBoxMin, profile.ArborBoxMax, profile.ArborCorners);
}

// Mounts each tool with the profile above and its length value; the cut
// removes what the test says per tool. Tool 1 stands for the current tool
// once the pass unmounts.
class FakeCutting final : public CuttingSeam {
 public:
  const ToolSetUp& MountTool(int32_t tool, double) override {
    Tools.push_back(tool);
    current_ = tool;
    FillProfile(mounted_.Profile);
    mounted_.Lengths.ReferenceLength = 40.0;
    const auto length = Lengths.find(tool);
    mounted_.Lengths.ToolLength = length != Lengths.end() ? length->second : 0.0f;
    return mounted_;
  }
  void UnmountTool() override {
    Tools.push_back(-1);
    current_ = 1;
  }
  void CutPose(const Vec3& tip, const Vec3&) override { Tips[current_] = tip; }
  CutOutputs Outputs() const override {
    CutOutputs out;
    const auto removed = Removed.find(current_);
    if (removed != Removed.end()) out.PoseRemovedVolume = removed->second;
    return out;
  }

  std::vector<int32_t> Tools;  // mounted in turn; -1 back to the current tool
  std::map<int32_t, Vec3> Tips;
  std::map<int32_t, double> Removed;
  std::map<int32_t, float> Lengths;  // each mounted tool's length value

 private:
  ToolSetUp mounted_;
  int32_t current_ = 1;
};

StructureMesh Block(const Vec3& lo, const Vec3& hi) {
  // The top face of the block is all the tool can meet from above.
  StructureMesh mesh;
  mesh.Triangles = {StlTriangle{0, 0, 1, lo[0], lo[1], hi[2], hi[0], lo[1], hi[2], hi[0], hi[1],
                                hi[2]},
                    StlTriangle{0, 0, 1, lo[0], lo[1], hi[2], hi[0], hi[1], hi[2], lo[0], hi[1],
                                hi[2]}};
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  mesh.BoxMin = lo;
  mesh.BoxMax = hi;
  return mesh;
}

// Tools 1 (current) to 5 mounted together: 2 at the current tool's offset,
// 3 over the vice, 4 off to the side, 5 not defined.
class MultiToolPass : public ::testing::Test {
 protected:
  MultiToolPass() {
    Tools.MaxToolNumber = 10;
    AllocToolTables(Tools);
    for (int32_t t = 1; t <= 4; ++t) Tools.Defined[t] = 1;
    Tools.Layout.Count = 5;
    Tools.Layout.Order = {0, 1, 2, 3, 4, 5};
    Tools.Layout.Position[3] = {-40, 0, 0};
    Tools.Layout.Position[4] = {100, 0, 0};
    Tools.Layout.Position[5] = {0, 50, 0};
    Meshes.Vices[0] = Block({-20, 0, 0}, {-10, 50, 30});
    Checks.Pairs.fill(1);
    FillProfile(Profile);
    Position.ReferenceLength = 40.0;
    Position.ProgramPosition = {15, 25, 20, 0, 0};
    Position.MachinePosition = {25, 25, 60, 0, 0};
  }

  bool Run(MultiToolPassState& state) {
    MultiToolPassRecords records{Tools,  Cutting, Profile, Position,   Meshes, Machine, Kinematics,
                                 Controller, Checks, Work, WorkOffset, 1.0, Shell, &Abort};
    return RunMultiToolPass(records, 1, {7, 12}, state);
  }

  ToolTable Tools;
  ToolProfile Profile;
  MachinePositionState Position;
  FakeCutting Cutting;
  MachinePartMeshes Meshes;
  MachineDefinition Machine;
  MachineKinematics Kinematics;
  ControllerDefinition Controller;
  InterferenceCheckSettings Checks;
  WorkDocument Work;
  WorkOffsetValues WorkOffset{10, 0, 0, 0, 0};
  RecordingHost Shell;
  std::atomic<int32_t> Abort{0};
};

TEST_F(MultiToolPass, EachMountedToolIsPlacedCutAndCheckedThenTheCurrentOneAgain) {
  Cutting.Removed[4] = 0.5;
  MultiToolPassState state;
  ASSERT_TRUE(Run(state));
  EXPECT_EQ(Cutting.Tools, (std::vector<int32_t>{3, 4, -1}));
  EXPECT_EQ(state.SharedPosition, 1);
  EXPECT_EQ(Cutting.Tips[3], (Vec3{-15, 25, 20}));
  EXPECT_EQ(Cutting.Tips[4], (Vec3{125, 25, 20}));
  EXPECT_EQ(Cutting.Tips[1], (Vec3{25, 25, 20}));

  const MultiToolPassRecord& overVice = state.Records[3];
  EXPECT_EQ(overVice.Hits, (std::array<int32_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(overVice.Status, kPassHitVice);
  EXPECT_EQ(overVice.Machine, (AxisPosition{-15, 25, 60, 0, 0}));
  EXPECT_EQ(overVice.BlockCounter, 7);
  EXPECT_EQ(overVice.LineCounter, 12u);
  EXPECT_EQ(state.Records[4].Status, kPassCutMaterial);
  EXPECT_EQ(state.Records[1].Status, kPassClear);
  EXPECT_EQ(state.Status, kPassCutMaterial) << "the last non-zero status";
  EXPECT_EQ(Position.MachinePosition, (AxisPosition{25, 25, 60, 0, 0}));

  Checks.ArborCheck = 2;
  Checks.Pairs.fill(0);
  ASSERT_TRUE(Run(state));
  EXPECT_EQ(state.Records[3].Status, kPassClear);
  EXPECT_EQ(state.Records[4].Status, kPassClear);
  EXPECT_EQ(state.Status, kPassClear);
}

// The tool-length effect is the reference length beyond the tool's own
// length value: the current tool (length 10) comes back to where it stands,
// and tool 3 (length 15) stands 5 lower. Its length value and reference
// length are the current tool's again afterwards.
TEST_F(MultiToolPass, EachToolIsRaisedByItsOwnToolLengthEffect) {
  Cutting.Lengths = {{3, 15.0f}, {4, 0.0f}};
  Position.ToolLength = 10.0f;
  Position.MachinePosition = {25, 25, 50, 0, 0};
  MultiToolPassState state;
  ASSERT_TRUE(Run(state));
  EXPECT_EQ(state.Records[1].Machine, (AxisPosition{25, 25, 50, 0, 0}));
  EXPECT_EQ(Cutting.Tips[1], (Vec3{25, 25, 10}));
  EXPECT_EQ(state.Records[3].Machine, (AxisPosition{-15, 25, 45, 0, 0}));
  EXPECT_EQ(Cutting.Tips[3], (Vec3{-15, 25, 5}));
  EXPECT_EQ(Position.MachinePosition, (AxisPosition{25, 25, 50, 0, 0}));
  EXPECT_EQ(Position.ToolLength, 10.0f);
  EXPECT_EQ(Position.ReferenceLength, 40.0);
}

TEST_F(MultiToolPass, WaitsForTheViewAndGivesUpWhenAborted) {
  Shell.BusyPolls = 3;
  MultiToolPassState state;
  ASSERT_TRUE(Run(state));
  EXPECT_EQ(Shell.Texts(RecordingHost::Call::kSleep).size(), 3u);
  EXPECT_EQ(Cutting.Tools.size(), 3u);

  Shell = RecordingHost{};
  Cutting.Tools.clear();
  Shell.BusyPolls = 1000000;
  int sleeps = 0;
  Shell.OnSleep = [this, &sleeps](int32_t) {
    if (++sleeps >= 2) Abort = 1;
  };
  EXPECT_FALSE(Run(state));
  EXPECT_EQ(sleeps, 2);
  EXPECT_TRUE(Cutting.Tools.empty());
}

}  // namespace
}  // namespace vestan
