#include "model/cutting_seam.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/cut_world.h"
#include "model/stock.h"
#include "model/tool_world.h"

namespace vestan {
namespace {

using testing::kBallTool;
using testing::kBullTool;
using testing::kDrillTool;
using testing::kTaperBallTool;
using testing::kFlatTool;
using testing::ToolWorld;

// The kernel behind the seam, cutting a box stock with the fixture tools.
struct SeamWorld {
  ToolWorld Tools;
  ToolLengthChecks Lengths;
  InterferenceCheckSettings Checks;
  RunState Run;
  WorkDocument Document;
  CutContext Cut{CutRecords{Tools.Current, Lengths, Checks, Run, Document}};
  KernelCutting Kernel{SetUpSourcesOf(Tools.Records), Cut, Document};

  SeamWorld() {
    Tools.ReadFixtureTable();
    Run.MotionMode = kMotionLinear;
    EXPECT_EQ(CreateBoxModel(Document.Workpiece(), {0, 0, 0, 40, 30, 20}, 0.25), kModelOk);
    Document.WorkPresent = 1;
  }
};

TEST(KernelCutting, CutsWithTheCurrentToolAndReportsTheRunState) {
  auto w = std::make_unique<SeamWorld>();
  SetCurrentTool(kFlatTool, 0.25, w->Tools.Records);
  CuttingSeam& seam = w->Kernel;

  // Flat tool of diameter 10, 4 deep into the top: pi 5^2 4, within one
  // cell layer over the cut's floor and wall.
  seam.CutPose({20, 15, 16}, {0, 0, 1});
  const CutOutputs first = seam.Outputs();
  const double layer = 0.25 * (kPi * 25 + 2 * kPi * 5 * 4);
  EXPECT_NEAR(first.PoseRemovedVolume, kPi * 25 * 4, layer);
  EXPECT_EQ(first.MoveCutFlag, 1);
  EXPECT_EQ(first, (CutOutputs{w->Run.PoseRemovedVolume, w->Run.MoveCutFlag,
                               w->Run.Hits.BodyHitFlag, w->Run.Hits.ArborHitFlag,
                               w->Run.Hits.HeightHitFlag, w->Run.Hits.ChipWidthHitFlag}));

  // The same pose again finds nothing.
  seam.CutPose({20, 15, 16}, {0, 0, 1});
  EXPECT_EQ(seam.Outputs().PoseRemovedVolume, 0.0);
}

// A mounted tool cuts with its own set-up, the one making it current gives,
// while the current tool, its profile and lengths stay; unmounted, the
// current tool cuts again.
TEST(KernelCutting, AMountedToolCutsBesideTheCurrentOne) {
  auto w = std::make_unique<SeamWorld>();
  ToolWorld& tools = w->Tools;
  SetCurrentTool(kFlatTool, 0.25, tools.Records);
  const double flatReference = tools.Records.Position.ReferenceLength;
  const double flatHeight = tools.Records.Profile.ProfileHeight;
  CuttingSeam& seam = w->Kernel;

  const ToolSetUp& ball = seam.MountTool(kBallTool, 0.25);
  EXPECT_EQ(ball.Tool.Tool.Kind, kToolBall);
  EXPECT_EQ(tools.Current.Tool.Kind, kToolFlat);
  EXPECT_EQ(tools.Records.Position.ReferenceLength, flatReference);
  EXPECT_EQ(tools.Records.Profile.ProfileHeight, flatHeight);
  // It removes what the same pose removes with the ball made current.
  seam.CutPose({10, 10, 17}, {0, 0, 1});
  const double mountedCut = seam.Outputs().PoseRemovedVolume;
  auto other = std::make_unique<SeamWorld>();
  SetCurrentTool(kBallTool, 0.25, other->Tools.Records);
  other->Kernel.CutPose({10, 10, 17}, {0, 0, 1});
  EXPECT_GT(mountedCut, 0.0);
  EXPECT_EQ(mountedCut, other->Kernel.Outputs().PoseRemovedVolume);

  const ToolSetUp mounted = ball;
  SetCurrentTool(kBallTool, 0.25, tools.Records);
  EXPECT_EQ(mounted.Lengths.ReferenceLength, tools.Records.Position.ReferenceLength);
  EXPECT_EQ(mounted.Lengths.ToolLength, tools.Records.Position.ToolLength);
  EXPECT_EQ(mounted.Profile.ProfileHeight, tools.Records.Profile.ProfileHeight);
  EXPECT_EQ(mounted.Tool.EnvelopeRadius, tools.Current.EnvelopeRadius);

  SetCurrentTool(kFlatTool, 0.25, tools.Records);
  seam.UnmountTool();
  seam.CutPose({32, 15, 16}, {0, 0, 1});
  EXPECT_NEAR(seam.Outputs().PoseRemovedVolume, kPi * 25 * 4, 0.25 * (kPi * 25 + 2 * kPi * 5 * 4));
}

// One seam started afresh before each step cuts as a new seam each step
// does, its worker threads kept: several tool kinds mounted in turn (each
// set up over what the one before left), then the current tool, along a
// path in and out of the stock with the main pass spread over threads.
TEST(KernelCutting, StartedAfreshItCutsAsANewSeamWould) {
  auto kept = std::make_unique<SeamWorld>();
  auto fresh = std::make_unique<SeamWorld>();
  for (SeamWorld* w : {kept.get(), fresh.get()}) {
    SetCurrentTool(kFlatTool, 0.25, w->Tools.Records);
    w->Cut.Threads = 3;
    w->Cut.ParallelMinColumns = 1;
  }
  const std::array<int32_t, 4> mounted = {kBallTool, kTaperBallTool, kBullTool, kDrillTool};
  for (int step = 0; step < 12; ++step) {
    const double x = -4.0 + 4.0 * step;
    const Vec3 axis = step % 3 == 2 ? Vec3{0.0, std::sqrt(0.5), std::sqrt(0.5)} : Vec3{0, 0, 1};
    auto cutAll = [&](KernelCutting& seam) {
      std::vector<CutOutputs> outputs;
      for (size_t t = 0; t < mounted.size(); ++t) {
        seam.MountTool(mounted[t], 0.25);
        seam.CutPose({x, 6.0 + 6.0 * static_cast<double>(t), 17.0 - 0.5 * step}, axis);
        outputs.push_back(seam.Outputs());
      }
      seam.UnmountTool();
      seam.CutPose({x, 28.0, 18.0}, axis);
      outputs.push_back(seam.Outputs());
      return outputs;
    };
    kept->Kernel.StartAfresh();
    const std::vector<CutOutputs> got = cutAll(kept->Kernel);
    KernelCutting once(SetUpSourcesOf(fresh->Tools.Records), fresh->Cut, fresh->Document);
    const std::vector<CutOutputs> expected = cutAll(once);
    EXPECT_EQ(got, expected) << "step " << step;
  }
  EXPECT_GT(kept->Run.MoveCutFlag, 0);
  testing::ExpectSameModel(kept->Document.Workpiece(), fresh->Document.Workpiece(), "after the path");
}

}  // namespace
}  // namespace vestan
