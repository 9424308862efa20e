#include "model/cutting_seam.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/stock.h"
#include "model/tool_world.h"

namespace vestan {
namespace {

using testing::kBallTool;
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
  KernelCutting Kernel{Tools.Records, Cut, Document};

  SeamWorld() {
    Tools.ReadFixtureTable();
    Run.MotionMode = kMotionLinear;
    EXPECT_EQ(CreateBoxModel(Document.Workpiece(), {0, 0, 0, 40, 30, 20}, 0.25), kModelOk);
    Document.WorkPresent = 1;
  }
};

TEST(KernelCutting, SetsTheToolCutsAndReportsTheRunState) {
  auto w = std::make_unique<SeamWorld>();
  CuttingSeam& seam = w->Kernel;
  seam.SetTool(kFlatTool, 0.25);
  EXPECT_EQ(w->Tools.Current.Tool.Kind, kToolFlat);

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

  // The same pose again finds nothing; another tool is set through the seam.
  seam.CutPose({20, 15, 16}, {0, 0, 1});
  EXPECT_EQ(seam.Outputs().PoseRemovedVolume, 0.0);
  seam.SetTool(kBallTool, 0.25);
  EXPECT_EQ(w->Tools.Current.Tool.Kind, kToolBall);
}

}  // namespace
}  // namespace vestan
