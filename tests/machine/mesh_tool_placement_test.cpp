// An STL tool on the shipped table machine, from the files a user gives to
// the cut model: placed by the machine's tool frame, it cuts where the tool
// of the same shape described by its dimensions cuts.
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <sstream>
#include <string>

#include "definitions/definition_test_support.h"
#include "machine/forward_kinematics.h"
#include "machine/position_conversion.h"
#include "model/cut_world.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_world.h"
#include "modelfiles/imported_tool_stl.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

// An ASCII STL of a closed cylinder about Z from z 0 to height, n sides.
std::string CylinderStl(double radius, double height, int n) {
  std::ostringstream out;
  out.precision(17);
  const auto vertex = [&](double x, double y, double z) {
    out << "      vertex " << x << ' ' << y << ' ' << z << '\n';
  };
  const auto facet = [&](const Vec3& a, const Vec3& b, const Vec3& c) {
    out << "  facet normal 0 0 0\n    outer loop\n";
    for (const Vec3* p : {&a, &b, &c}) vertex((*p)[0], (*p)[1], (*p)[2]);
    out << "    endloop\n  endfacet\n";
  };
  out << "solid cylinder\n";
  const auto rim = [&](int k, double z) {
    const double a = kTwoPi * (k + 0.25) / n;
    return Vec3{radius * std::cos(a), radius * std::sin(a), z};
  };
  for (int k = 0; k < n; ++k) {
    const Vec3 b0 = rim(k, 0), b1 = rim(k + 1, 0), t0 = rim(k, height), t1 = rim(k + 1, height);
    facet(b0, b1, t1);
    facet(b0, t1, t0);
    facet({0, 0, 0}, b1, b0);
    facet({0, 0, height}, t0, t1);
  }
  out << "endsolid cylinder\n";
  return out.str();
}

// The machine and the tool table read from their files, a box stock, and
// one pose of the current tool with its tip at tip in the work, the table
// turned by angles.
struct MachineCut : testing::CutWorld {
  testing::MachineHarness Machine;
  testing::ToolWorld Tools;

  MachineCut(const std::string& folder, int32_t tool) {
    EXPECT_EQ(Machine.Read(VESTAN_DATA_DIR "/oguma5x.mtl").State, kFileRead);
    Tools.Kinematics = Machine.Kinematics;
    const testing::CurrentFolder in(folder);
    EXPECT_EQ(Tools.ReadTable("tools.ttl").State, kFileRead);
    Tools.Change(tool);
    Tool = Tools.Current;
    Cut.Records.Mesh = &Tools.Mesh;
    Cut.Records.Position = &Tools.Position;
    Run.MotionMode = 1;
  }

  void Pose(const Vec3& tip, const RotaryAngles& angles) {
    const MachineKinematics& k = Machine.Kinematics;
    const ControllerDefinition& c = Machine.Ctl.Controller;
    MachinePositionState& state = Tools.Position;
    state.MachinePosition = ComputeToolPosture(k, c, state.ReferenceLength, tip, angles);
    RefreshRotaryState(k, c, state);
    ComputeToolTipAndAxis(k, c, state.ReferenceLength, state.MachinePosition, state.ToolTip,
                          state.ToolAxis);
    CutToolPoseIntoModel(Cut, Model(), state.ToolTip, state.ToolAxis);
  }
};

TEST(MeshToolOnTheMachine, TheStlToolOnTheTurnedTableCutsAsItsFlatTwin) {
  testing::TempFolder folder;
  folder.Write("cylinder.stl", CylinderStl(5, 60, 256));
  folder.Write("tools.ttl",
               "MAGAZINE 1 IMPORT \"cylinder.stl\",0,0,0,0\n"
               "MAGAZINE 2 FLAT 10,60\n");
  MachineCut mesh(folder.Path().string(), 1), flat(folder.Path().string(), 2);
  ASSERT_EQ(mesh.Tools.Mesh.FacetCount, 4 * 256);
  // A tilted by -30 degrees, C turned by 50: in the work the tool leans.
  for (MachineCut* w : {&mesh, &flat}) {
    w->MakeBox({0, 0, 0, 30, 30, 20}, 0.5);
    w->Pose({15.2, 14.7, 11.3}, {-30, 50});
  }
  const Vec3& axis = mesh.Tools.Position.ToolAxis;
  ASSERT_GT(std::hypot(axis[0], axis[1]), 0.4);
  EXPECT_EQ(axis, flat.Tools.Position.ToolAxis);

  // Every line the tools cut is cut alike, to within the polygon's chord
  // depth; lines grazing the cylinder may keep a sliver more or less.
  int64_t cut = 0, alike = 0;
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& a = mesh.Model().SetByDirection(d);
    const DexelSet& b = flat.Model().SetByDirection(d);
    for (int32_t c = 0; c < a.Columns; ++c) {
      const auto va = DexelColumnValues(a, c), vb = DexelColumnValues(b, c);
      const double top = d == kDirectionZ ? 20 : 30;
      const auto whole = [top](std::span<const double> v) {
        return v.size() == 2 && v[0] == 0 && v[1] == top;
      };
      if (whole(va) && whole(vb)) continue;
      ++cut;
      bool same = va.size() == vb.size();
      for (size_t k = 0; same && k < va.size(); ++k) same = std::fabs(va[k] - vb[k]) < 0.01;
      if (same) ++alike;
    }
  }
  EXPECT_GT(cut, 1000);
  EXPECT_GE(alike, cut * 99 / 100) << alike << " of " << cut;
}

}  // namespace
}  // namespace vestan
