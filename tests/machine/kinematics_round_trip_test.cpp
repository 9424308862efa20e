// Round trips over machines of every kind: posture and tip, the table turn
// and its reverse, and a tool axis through the rotary solutions and back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "machine/forward_kinematics.h"
#include "machine/rotary_solution.h"
#include "machine_world.h"

namespace vestan {
namespace {

using testing::MachineWorld;

struct MachineCase {
  const char* name;
  const char* machine;
  const char* controller;
};

// The machines, each by its definition text.
const MachineCase kMachines[] = {
    {"HEAD C-A",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=X\nHEAD POSITION=5,-3,150\n"
     "HEAD OFFSET=0,20,-10\n",
     ""},
    {"HEAD C-B, B reversed",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=C\nROTARY AXIS2=B\nHEAD POSITION=0,0,120\n",
     "ROTARY2 DIRECTION=REVERSE\n"},
    {"HEAD B-A", "ROTARY TYPE=HEAD\nROTARY AXIS1=Y\nROTARY AXIS2=X\nHEAD POSITION=0,0,100\n", ""},
    {"TABLE A-C, both reversed",
     "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=10,-20,-180\n"
     "TABLE OFFSET=5,7,30\n",
     "ROTARY1 DIRECTION=REVERSE\nROTARY2 DIRECTION=REVERSE\n"},
    {"TABLE B-A", "ROTARY TYPE=TABLE\nROTARY AXIS1=Y\nROTARY AXIS2=X\nTABLE POSITION=0,0,-100\n",
     ""},
    {"MIX B-C",
     "ROTARY TYPE=MIX\nROTARY AXIS1=Y\nROTARY AXIS2=Z\nHEAD POSITION=0,0,200\n"
     "TABLE POSITION=30,40,-150\n",
     ""},
    {"HEAD C-B with AXIS2 ANGLE 45",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=Y\nAXIS2 ANGLE=45\nHEAD POSITION=0,0,100\n",
     ""},
    {"HEAD C-A with AXIS2 VECTOR 1,0,1",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=X\nAXIS2 VECTOR=1,0,1\n", ""},
    {"HEAD B-B with AXIS2 ANGLE 45",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=Y\nROTARY AXIS2=Y\nAXIS2 ANGLE=45\n", ""},
    {"TABLE B-C with AXIS1 ANGLE 30, B reversed",
     "ROTARY TYPE=TABLE\nROTARY AXIS1=Y\nAXIS1 ANGLE=30\nROTARY AXIS2=Z\n"
     "TABLE POSITION=0,0,-150\nTABLE OFFSET=3,4,0\n",
     "ROTARY1 DIRECTION=REVERSE\n"},
    {"MIX A-C with AXIS1 VECTOR 1,1,1",
     "ROTARY TYPE=MIX\nROTARY AXIS1=X\nAXIS1 VECTOR=1,1,1\nROTARY AXIS2=Z\n"
     "TABLE POSITION=0,10,-50\n",
     ""},
    {"HEAD C-A with an angle head",
     "ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=X\nANGLE HEAD(A)=90\n", ""},
};

const RotaryAngles kPairs[] = {{0, 0},    {30, 20},    {-75, 50}, {120, -35},
                               {200, 95}, {-160, -10}, {90, 90},  {45, -135}};

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << what << " [" << i << "]";
}

TEST(KinematicsRoundTrip, EveryMachineKind) {
  const Vec3 tip{12.5, -40.0, 7.0};
  const double length = 110.0;
  const ToolTipControlLengths lengths{100.0, 90.0, 20.0};
  for (const MachineCase& m : kMachines) {
    MachineWorld world(m.machine, m.controller);
    const MachineKinematics& k = world.Kinematics();
    const ControllerDefinition& c = world.Controller();
    for (const RotaryAngles& pair : kPairs) {
      const std::string what =
          std::string(m.name) + " at " + std::to_string(pair[0]) + ", " + std::to_string(pair[1]);

      // The posture puts the tip where asked.
      const AxisPosition posture = ComputeToolPosture(k, c, length, tip, pair);
      EXPECT_EQ(posture[3], pair[0]) << what;
      EXPECT_EQ(posture[4], pair[1]) << what;
      Vec3 gotTip, axis;
      ComputeToolTipAndAxis(k, c, length, posture, gotTip, axis);
      ExpectNear(gotTip, tip, what + ": posture, tip");
      ExpectNear(axis, RotatePointThroughRotaryAxes2(k, c, pair), what + ": axis");
      EXPECT_NEAR(VectorLength(axis), 1.0, 1e-12) << what;

      // The tool's frame, where a mesh tool is cut, holds the tip and the
      // axis where they stand.
      const Placement frame = ComputeToolFrame(k, ComputeRotarySinCos(c, pair), posture);
      ExpectNear(TransformPointAffine(frame, {0, 0, -length}), tip, what + ": frame, tip");
      ExpectNear(MultiplyMatrixVector(PlacementMatrix(frame), k.ToolDirection), axis,
                 what + ": frame, axis");

      // Tool-tip control: the length in force, on a TABLE the reference
      // length plus the length in force less the tool's own.
      const double tipLength = k.RotaryType == kRotaryTable ? 100.0 + 90.0 - 20.0 : 90.0;
      ComputeToolTipAndAxis(k, c, tipLength,
                            RotatePointAndAxisThroughRotaryAxes(k, c, lengths, tip, pair), gotTip,
                            axis);
      ExpectNear(gotTip, tip, what + ": tool-tip control, tip");

      // The table turn and its reverse.
      const RotarySinCos table = ComputeRotarySinCos(c, pair);
      Vec3 point{15.0, -8.0, 33.0};
      CorrectRotaryCentre(k, table, point);
      CorrectRotaryCentre2(k, table, point);
      ExpectNear(point, {15.0, -8.0, 33.0}, what + ": table turn");

      // The tool axis of the pair solves back to the pair from the pair, and
      // every solution points the tool along it. Along the outer axis any
      // outer angle does; an outer axis about X or Y then takes 0.
      const RotaryRanges free{};
      const RotaryAngles solved = ChooseRotaryAnglesForToolAxis(world.Solver(), axis, pair, free);
      ExpectNear(RotatePointThroughRotaryAxes2(k, c, solved), axis, what + ": solution");
      const size_t outer = k.RotaryType == kRotaryHead ? 0 : 1;
      const Vec3 outerAxis = RotaryAxisDirection(DescribeRotaryAxis(k, outer));
      if (VectorLength(VectorCross(axis, outerAxis)) > 1e-9) {
        EXPECT_NEAR(solved[outer], pair[outer], 1e-9) << what;
      }
      EXPECT_NEAR(solved[1 - outer], pair[1 - outer], 1e-9) << what;
      const RotaryAngles other =
          ChooseRotaryAnglesForToolAxis(world.Solver(), axis, {pair[0] + 170.0, -pair[1]}, free);
      ExpectNear(RotatePointThroughRotaryAxes2(k, c, other), axis, what + ": other solution");
      const RotaryAngles direct =
          SolveRotaryAnglesFromVector(k, c, world.Modal, world.Limits(), axis);
      ExpectNear(RotatePointThroughRotaryAxes2(k, c, direct), axis, what + ": direct solution");
    }
  }
}

TEST(KinematicsRoundTrip, ShippedTableMachine) {
  // The shipped five-axis machine read as it is: A about X carrying C.
  testing::MachineHarness h;
  ASSERT_EQ(h.Read(VESTAN_DATA_DIR "/oguma5x.mtl").State, 1);
  const RotaryModalInputs modal;
  RotarySolveContext context;
  const RotarySolver solver{h.Kinematics, h.Ctl.Controller, modal, context, {}};
  const RotaryRanges strokes = MachineRotaryRanges(h.Limits);
  ASSERT_EQ(strokes.Enabled, (std::array<int32_t, 2>{1, 1}));
  for (const RotaryAngles& pair : {RotaryAngles{-30, 45}, RotaryAngles{-90, -120}}) {
    const Vec3 axis = RotatePointThroughRotaryAxes2(h.Kinematics, h.Ctl.Controller, pair);
    const RotaryAngles solved = ChooseRotaryAnglesForToolAxis(solver, axis, {0, 0}, strokes);
    // A within -120..30 leaves one solution: the pair itself.
    EXPECT_NEAR(solved[0], pair[0], 1e-9);
    EXPECT_NEAR(solved[1], pair[1], 1e-9);
    const Vec3 tip{1, 2, 3};
    Vec3 got, gotAxis;
    ComputeToolTipAndAxis(h.Kinematics, h.Ctl.Controller, 150.0,
                          ComputeToolPosture(h.Kinematics, h.Ctl.Controller, 150.0, tip, solved),
                          got, gotAxis);
    ExpectNear(got, tip, "oguma5x");
  }
}

}  // namespace
}  // namespace vestan
