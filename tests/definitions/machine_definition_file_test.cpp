#include "definitions/machine_definition_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::CurrentFolder;
using testing::MachineHarness;
using testing::NoteMentions;
using testing::TempFolder;

class MachineDefinitionTest : public ::testing::Test {
 protected:
  DefinitionReadResult ReadText(std::string_view content, int32_t clearFlag = 1) {
    path_ = folder_.Write("oguma.mtl", content);
    return h_.Read(path_, clearFlag);
  }
  // Gives the controller these lines first.
  void Controller(std::string_view content) { h_.Ctl.Read(folder_.Write("hanuc.ctl", content)); }
  std::string Part(std::string_view name) { return folder_.Write(name, "solid p\nendsolid p\n"); }
  std::vector<std::string> Messages() const { return h_.Host.Texts(RecordingHost::Call::kMessage); }

  TempFolder folder_;
  MachineHarness h_;
  std::string path_;
};

TEST_F(MachineDefinitionTest, AxisDirectionWords) {
  struct Case {
    const char* word;
    int32_t code;
  } cases[] = {{"RIGHT+Z,BACK-X", 13}, {"RIGHT-Y,BACK+X", 1},  {"right+y,back+z", 43},
               {"RIGHT-Z,BACK-Y", 22}, {"RIGHT+X,BACK-Z", 30}, {"LEFT+X,BACK+Y", 0}};
  for (const Case& c : cases) {
    ReadText(std::string("AXIS DIRECTION=") + c.word + "\n");
    EXPECT_EQ(h_.Machine.MachineOrientation, c.code) << c.word;
  }
}

TEST_F(MachineDefinitionTest, SpeedsAreKeptFromFileToFile) {
  ReadText(
      "MAXIMUM FEEDRATE=5000\nMAXIMUM FEEDRATE(Z)=2000\nRAPID(Y)=24000\n"
      "RAPID ACCELERATION(X)=0.6\nMAXIMUM ACCELERATION(Z)=0.2\nACCELERATION(X)=0.4\n"
      "TOOL CHANGE TIME=4\nNAME=FIRST\n");
  EXPECT_EQ(h_.Machine.MaximumFeedrate, (std::array<float, 3>{5000, 5000, 2000}));
  EXPECT_EQ(h_.Machine.RapidRate, (std::array<float, 3>{10000, 24000, 10000}));
  EXPECT_EQ(h_.Machine.RapidAcceleration, (std::array<float, 3>{0.6f, 0.1f, 0.1f}));
  EXPECT_EQ(h_.Machine.CuttingAcceleration, (std::array<float, 3>{0.4f, 0.3f, 0.2f}));
  ReadText("NAME=SECOND\n");
  EXPECT_EQ(h_.Machine.Name, "SECOND");
  EXPECT_EQ(h_.Machine.MaximumFeedrate, (std::array<float, 3>{5000, 5000, 2000}));
  EXPECT_EQ(h_.Machine.RapidRate[1], 24000.0f);
  EXPECT_EQ(h_.Machine.ToolChangeTime, 4.0f);
}

TEST_F(MachineDefinitionTest, StrokeRangesOfLinearAndRotaryAxes) {
  const DefinitionReadResult result = ReadText(
      "STROKE RANGE(B)=-120,30\n"  // before the axis that names B
      "STROKE RANGE(X)=-500,500\n"
      "STROKE RANGE(Q)=1,2\n"  // no such axis: dropped
      "STROKE RANGE(Z\n"       // too short for its values
      "ROTARY AXIS2=Y\n");
  EXPECT_EQ(h_.Ctl.Controller.Rotary[1].Letter, 'B');
  EXPECT_EQ(h_.Limits.Enabled, (std::array<int32_t, 5>{1, 0, 0, 0, 1}));
  EXPECT_EQ(h_.Limits.AnyLimit, 1);
  EXPECT_EQ(h_.Limits.Minimum[0], -500.0);
  EXPECT_EQ(h_.Limits.Maximum[0], 500.0);
  EXPECT_EQ(h_.Limits.Minimum[4], -120.0);
  EXPECT_EQ(h_.Limits.Maximum[4], 30.0);
  EXPECT_TRUE(NoteMentions(result, "oguma.mtl:4:"));

  // The controller's address letters name the linear axes.
  Controller("CHAR(X)=U\n");
  ReadText("STROKE RANGE(U)=-1,1\nSTROKE RANGE(X)=-2,2\n");
  EXPECT_EQ(h_.Limits.Enabled, (std::array<int32_t, 5>{1, 0, 0, 0, 0}));
  EXPECT_EQ(h_.Limits.Maximum[0], 1.0);
  ReadText("NAME=NONE\n");
  EXPECT_EQ(h_.Limits.AnyLimit, 0);
}

TEST_F(MachineDefinitionTest, AngleHeadAndToolDirection) {
  ReadText("ANGLE HEAD(A)=30\nANGLE HEAD(B)=45\n");
  EXPECT_EQ(h_.Kinematics.AngleHeadA, 0.0);  // the one not just set
  EXPECT_EQ(h_.Kinematics.AngleHeadB, 45.0);
  EXPECT_EQ(h_.Kinematics.ToolDirectionInUse, 1);
  // B alone tilts +Z about Y: (sin 45, 0, cos 45).
  EXPECT_NEAR(h_.Kinematics.ToolDirection[0], std::sqrt(0.5), 1e-15);
  EXPECT_EQ(h_.Kinematics.ToolDirection[1], 0.0);
  EXPECT_NEAR(h_.Kinematics.ToolDirection[2], std::sqrt(0.5), 1e-15);

  // X names A, Z names C; the tilt by A gives (0, -sin 30, cos 30), turned
  // by 90 about Z: (sin 30, 0, cos 30).
  ReadText("ANGLE HEAD(X)=30\nANGLE HEAD(Z)=90\nANGLE HEAD(\nANGLE HEAD(B\n");
  EXPECT_EQ(h_.Kinematics.AngleHeadA, 30.0);
  EXPECT_EQ(h_.Kinematics.AngleHeadB, 0.0);
  EXPECT_EQ(h_.Kinematics.AngleHeadC, 90.0);
  EXPECT_NEAR(h_.Kinematics.ToolDirection[0], 0.5, 1e-15);
  EXPECT_NEAR(h_.Kinematics.ToolDirection[1], 0.0, 1e-15);
  EXPECT_NEAR(h_.Kinematics.ToolDirection[2], std::sqrt(0.75), 1e-15);

  ReadText("TOOL DIRECTION=0,0,1\n");
  EXPECT_EQ(h_.Kinematics.ToolDirectionInUse, 0);
  // (1, 0, 1): turn 90 (y = 0, x > 0), tilt atan(1 / 1) = 45.
  ReadText("TOOL DIRECTION=1,0,1\n");
  EXPECT_EQ(h_.Kinematics.ToolDirectionInUse, 1);
  EXPECT_EQ(h_.Kinematics.AngleHeadC, 90.0);
  EXPECT_NEAR(h_.Kinematics.AngleHeadA, 45.0, 1e-12);
}

TEST_F(MachineDefinitionTest, RotaryAxesAndTheirLetters) {
  ReadText("ROTARY AXIS1=B\n");
  EXPECT_EQ(h_.Kinematics.Rotary[0].Axis, 1);
  EXPECT_EQ(h_.Kinematics.Rotary[0].OtherAxes, (std::array<int32_t, 2>{2, 0}));
  EXPECT_EQ(h_.Kinematics.Rotary[0].Vector, (Vec3{0, 1, 0}));
  EXPECT_EQ(h_.Ctl.Controller.Rotary[0].Letter, 'B');
  EXPECT_EQ(h_.Ctl.AxisLabels.Labels[3], "\tB");

  // A letter the controller gives stays; the status label shows it.
  Controller("ROTARY1 CHAR=D\nD-CODE VALUE=AUTO\n");
  ReadText("ROTARY AXIS1=Z\nROTARY AXIS2=Q\n");
  EXPECT_EQ(h_.Ctl.Controller.Rotary[0].Letter, 'D');
  EXPECT_EQ(h_.Kinematics.Rotary[0].Axis, 2);
  EXPECT_EQ(h_.Ctl.AxisLabels.Labels[3], "\tD");
  // An unknown axis keeps the default axis (Z for rotary 2) and letter.
  EXPECT_EQ(h_.Kinematics.Rotary[1].Axis, 2);
  EXPECT_EQ(h_.Kinematics.Rotary[1].Vector, (Vec3{0, 0, 1}));
  EXPECT_EQ(h_.Ctl.Controller.Rotary[1].Letter, ' ');

  // The reverse flag of the letter the machine gave.
  Controller("A-CODE=-A\n");
  ReadText("ROTARY AXIS1=X\n");
  EXPECT_EQ(h_.Ctl.Controller.Rotary[0].Letter, 'A');
  EXPECT_EQ(h_.Ctl.Controller.Rotary[0].Reverse, 1);
}

TEST_F(MachineDefinitionTest, TiltsFromAnglesAndVectors) {
  // AXIS1 ANGLE=30 about X: cos 30 on X, sin 30 on Y (the first other axis).
  ReadText("ROTARY AXIS1=X\nAXIS1 ANGLE=30\nAXIS2 ANGLE=10\n");
  const RotaryAxisGeometry& r1 = h_.Kinematics.Rotary[0];
  EXPECT_NEAR(r1.Vector[0], std::sqrt(0.75), 1e-15);
  EXPECT_NEAR(r1.Vector[1], 0.5, 1e-15);
  EXPECT_EQ(r1.Vector[2], 0.0);
  EXPECT_EQ(r1.Tilted, 1);
  EXPECT_EQ(h_.Kinematics.Rotary[1].Tilted, 0);  // one axis only

  // AXIS1 VECTOR=0,1,1 about X: divided by 2 to (0, 0.5, 0.5); t = 45,
  // u = +90: (cos t cos u, cos t sin u, sin t).
  ReadText("ROTARY AXIS1=X\nAXIS1 VECTOR=0,1,1\n");
  EXPECT_EQ(r1.GivenVector, (Vec3{0, 0.5, 0.5}));
  EXPECT_NEAR(r1.Vector[0], 0.0, 1e-15);
  EXPECT_NEAR(r1.Vector[1], std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(r1.Vector[2], std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(r1.TurnSin, 1.0, 1e-15);

  // About Y, given (-1, 0, 0) / 1: t = 0, component on Y 0 and on X not
  // above 0: u = -90; the axis ends along -X.
  ReadText("ROTARY AXIS1=Y\nAXIS1 VECTOR=-1,0,0\n");
  EXPECT_NEAR(r1.Vector[0], -1.0, 1e-15);
  EXPECT_NEAR(r1.Vector[1], 0.0, 1e-15);
  EXPECT_NEAR(r1.Vector[2], 0.0, 1e-15);

  // An axis about Z has no partner for the turn: the vector is refused.
  const DefinitionReadResult result = ReadText("ROTARY AXIS2=Z\nAXIS2 VECTOR=1,1,1\n");
  EXPECT_EQ(h_.Kinematics.Rotary[1].Vector, (Vec3{0, 0, 1}));
  EXPECT_TRUE(NoteMentions(result, "AXIS2 VECTOR"));
  ReadText("AXIS1 VECTOR=0,0,0\n");
  EXPECT_EQ(h_.Kinematics.Rotary[0].VectorGiven, 0);
}

TEST_F(MachineDefinitionTest, RotaryTypeTablesAndHeads) {
  ReadText("ROTARY TYPE=HEAD\n");
  EXPECT_EQ(h_.Kinematics.RotaryType, kRotaryHead);
  EXPECT_EQ(h_.AppSettings.ToolBasePoint, 5);  // ARBOR-TOP
  h_.AppSettings.ToolBasePointGiven = 1;
  h_.AppSettings.ToolBasePoint = 2;
  ReadText("ROTARY TYPE=MIX\n");
  EXPECT_EQ(h_.AppSettings.ToolBasePoint, 2);
  h_.AppSettings.ToolBasePointGiven = 0;

  // The second table's centre: the table position, with the table offset
  // on rotary 2's other axes (X and Y for an axis about Z).
  ReadText(
      "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=10,20,30\n"
      "TABLE OFFSET=1,2,3\nTABLE TYPE=LATHE\nTABLE2 TYPE=SPHERE\nHEAD1 TYPE=NO\n"
      "HEAD POSITION=4,5,6\nHEAD OFFSET=7,8,9\nTOOL HOLDER OFFSET=120\n");
  EXPECT_EQ(h_.AppSettings.ToolBasePoint, 0);
  EXPECT_EQ(h_.Kinematics.SecondTableCentre, (Vec3{11, 22, 30}));
  EXPECT_EQ(h_.Kinematics.TableType, kTableLathe);
  EXPECT_EQ(h_.Kinematics.SecondTableType, kTableOther);
  EXPECT_EQ(h_.Kinematics.HeadType, 2);
  EXPECT_EQ(h_.Kinematics.Head1Type, kHeadNone);
  EXPECT_EQ(h_.Kinematics.HeadPosition, (Vec3{4, 5, 6}));
  EXPECT_EQ(h_.Kinematics.HeadOffset, (Vec3{7, 8, 9}));
  EXPECT_EQ(h_.Kinematics.ToolHolderOffset, 120.0);
}

TEST_F(MachineDefinitionTest, ToolChangerKeys) {
  Controller("PRODUCT=HEIDENHAIN\n");
  ReadText("ATC TYPE=WAIT\n");
  EXPECT_EQ(h_.Machine.AtcType, kAtcDirect);  // HEIDENHAIN keeps ATC 1
  Controller("");
  ReadText("ATC TYPE=WAIT2\n");
  EXPECT_EQ(h_.Machine.AtcType, kAtcWait2);
  ReadText(
      "ATC TYPE=DIRECT T12,3\nTOOL CHANGE POSITION=1,2,3,4,5\nTOOL CHANGE ROUTE=Z-XY\n"
      "MOVE(X)=TABLE\nMOVE(Z)=TABLE\nMOVE(Y)=HEAD\nVIEW CENTER=1,2,3\n");
  EXPECT_EQ(h_.Machine.AtcSubType, 4);
  EXPECT_EQ(h_.Machine.AtcNumbers, (std::array<int32_t, 2>{12, 3}));
  EXPECT_EQ(h_.Machine.ToolChangePosition, (std::array<double, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(h_.Machine.Route.StepCount, 2);
  EXPECT_EQ(h_.Machine.Route.Steps[0], (std::array<int32_t, 5>{0, 0, 1, 0, 0}));
  EXPECT_EQ(h_.Machine.TableMoves, (std::array<uint8_t, 3>{1, 0, 1}));
  EXPECT_EQ(h_.Machine.TableMoveCount, 2);
  EXPECT_EQ(h_.Machine.ViewCentreGiven, 1);
  // Without a tool change position no route is made; the route text keeps
  // its first 16 characters.
  const DefinitionReadResult result = ReadText("TOOL CHANGE ROUTE=Z-X-Y-X-Y-Z-X-Y-Z\n");
  EXPECT_EQ(h_.Machine.Route.StepCount, 0);
  EXPECT_EQ(h_.Machine.RouteText, "Z-X-Y-X-Y-Z-X-Y-");
  EXPECT_TRUE(result.Notes.empty());
  // With it, the route is parsed from those 16: five steps.
  ReadText("TOOL CHANGE POSITION=0,0,450,0,0\nTOOL CHANGE ROUTE=Z-X-Y-X-Y-Z-X-Y-Z\n");
  EXPECT_EQ(h_.Machine.Route.StepCount, 5);
  EXPECT_EQ(h_.Machine.Route.Steps[4], (std::array<int32_t, 5>{0, 1, 0, 0, 0}));
}

TEST_F(MachineDefinitionTest, ARouteFollowedByARemarkKeepsItsSteps) {
  // The route ends at its first blank: the remark behind it neither turns
  // it into the default route (Z first, then X and Y) nor adds steps.
  const DefinitionReadResult result = ReadText(
      "TOOL CHANGE POSITION=0,0,450,0,0\n"
      "TOOL CHANGE ROUTE=XY-Z      (X and Y first, then Z)\n");
  EXPECT_TRUE(result.Notes.empty());
  EXPECT_EQ(h_.Machine.RouteText, "XY-Z      (X and");
  EXPECT_EQ(h_.Machine.Route.StepCount, 2);
  EXPECT_EQ(h_.Machine.Route.Steps[0], (std::array<int32_t, 5>{1, 1, 0, 0, 0}));
  EXPECT_EQ(h_.Machine.Route.Steps[1], (std::array<int32_t, 5>{0, 0, 1, 0, 0}));
}

TEST(ParseAxisRoute, StepsOfAxes) {
  struct Case {
    const char* text;
    int32_t steps;
    std::vector<std::array<int32_t, 5>> flags;
  } cases[] = {
      {"", 2, {{0, 0, 1, 0, 0}, {1, 1, 0, 0, 0}}},
      {"Z-XY", 2, {{0, 0, 1, 0, 0}, {1, 1, 0, 0, 0}}},
      {"Z-X-Y-X-Y-Z", 5, {{0, 0, 1}, {1}, {0, 1}, {1}, {0, 1}}},  // a sixth group is ignored
      {"ZQ-X", 1, {{0, 0, 1, 0, 0}}},                             // Q ends the scan
      {"Z-AC", 2, {{0, 0, 1, 0, 0}, {0, 0, 0, 1, 1}}},            // the rotary letters
      // A lower-case letter is any other character: it ends the scan.
      {"Z-xY", 2, {{0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}}},
      {"z-XY", 1, {{0, 0, 0, 0, 0}}},
      {"Z-ac", 2, {{0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    const ToolChangeRoute route = ParseAxisRoute(c.text, 'A', 'C');
    EXPECT_EQ(route.StepCount, c.steps) << c.text;
    for (size_t s = 0; s < c.flags.size(); ++s) EXPECT_EQ(route.Steps[s], c.flags[s]) << c.text;
  }
  EXPECT_EQ(ParseAxisRoute(" ", ' ', ' ').Steps[0], (std::array<int32_t, 5>{}));
}

TEST_F(MachineDefinitionTest, PartModelsAndTheirOffsets) {
  Part("vice1.stl");
  Part("head.stl");
  Part("head2.stl");
  Part("sub/table.stl");
  const DefinitionReadResult result = ReadText(
      "VICE MODEL OFFSET=1,2,3\n"
      "VICE MODEL=vice1.stl\n"
      "VICE MODEL=VICE1.STL\n"  // found whatever its case
      "VICE MODEL=missing.stl\n"
      "VICE MODEL=vice1.stl\n"
      "HEAD(YX) MODEL=head.stl\n"
      "HEAD(XY) MODEL=head2.stl\n"
      "HEAD(ZY) MODEL OFFSET=1,1,1 T\n"
      "HEAD MODEL OFFSET=5,5,5\n"
      "TABLE MODEL OFFSET=0,0,-50\n"
      "TABLE MODEL=sub\\table.stl\n"
      "BASIC MODEL OFFSET=9,9,9\n");
  const MachinePartModels& parts = h_.Parts;
  ASSERT_EQ(parts.ViceNames.size(), 3u);  // the missing file is left out
  EXPECT_EQ(std::filesystem::path(parts.ViceNames[1]).filename(), "vice1.stl");
  // Three vices, one offset: every vice gets it.
  EXPECT_EQ(parts.ViceOffsets, (std::vector<Vec3>(3, Vec3{1, 2, 3})));
  // Not in the current folder nor beside the file: announced as written.
  EXPECT_EQ(Messages(), (std::vector<std::string>{"missing.stl"}));
  EXPECT_EQ(h_.Host.Messages[0].Caption, "ファイルが存在しないか読めない状態です!");
  EXPECT_TRUE(h_.Host.Messages[0].Topmost);
  EXPECT_TRUE(NoteMentions(result, "oguma.mtl:4:"));
  EXPECT_EQ(parts.Heads[kHeadXY].Name, folder_.Path().string() + "head2.stl");
  EXPECT_EQ(parts.Heads[kHeadYZ].Offset, (Vec3{1, 1, 1}));
  EXPECT_EQ(parts.Heads[kHeadYZ].TFlag, 1);
  EXPECT_EQ(parts.Heads[kHeadMain].TFlag, 0);
  EXPECT_EQ(parts.Heads[kHeadMain].Offset, (Vec3{5, 5, 5}));
  EXPECT_EQ(parts.Tables[kTableMain].Offset, (Vec3{0, 0, -50}));
  EXPECT_EQ(parts.Tables[kTableMain].Name, folder_.Path().string() + "sub/table.stl");
  EXPECT_EQ(parts.BasicOffset, (Vec3{9, 9, 9}));
  EXPECT_TRUE(parts.BasicNames.empty());
}

TEST_F(MachineDefinitionTest, EveryViceHasAnOffsetForTheLoader) {
  // The loader places vice i by offset i: the vices beyond the offsets given
  // take a copy of the last.
  Part("vice.stl");
  ReadText(
      "VICE MODEL OFFSET=1,2,3\n"
      "VICE MODEL=vice.stl\n"
      "VICE MODEL=vice.stl\n"
      "VICE MODEL=vice.stl\n");
  EXPECT_EQ(h_.Parts.ViceOffsets, (std::vector<Vec3>(3, Vec3{1, 2, 3})));
}

TEST_F(MachineDefinitionTest, ListsStopAtFiveAndLongNamesAreRefused) {
  Part("v.stl");
  std::string content;
  for (int i = 0; i < 7; ++i)
    content += "VICE MODEL=v.stl\nBASIC MODEL=v.stl\nVICE MODEL OFFSET=1,1,1\n";
  content += "HEAD MODEL=" + std::string(256, 'h') + "\n";
  content += "NAME=" + std::string(256, 'n') + "\n";
  const DefinitionReadResult result = ReadText(content);
  EXPECT_EQ(h_.Parts.ViceNames.size(), 5u);
  EXPECT_EQ(h_.Parts.BasicNames.size(), 5u);
  EXPECT_EQ(h_.Parts.ViceOffsets.size(), 5u);
  EXPECT_EQ(h_.Parts.Heads[kHeadMain].Name, "");
  EXPECT_EQ(h_.Machine.Name, "");
  // Noted once each: vices, basic models, vice offsets; the head; the name;
  // v.stl taken from beside the file.
  EXPECT_EQ(result.Notes.size(), 6u);
  EXPECT_EQ(Messages(), (std::vector<std::string>{std::string(256, 'h')}));
  content = "HEAD MODEL=" + std::string(255 - folder_.Path().string().size(), 'h') + "\n";
  ReadText(content);  // fits: only unreadable
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(MachineDefinitionTest, ViceChosenByTheUserIsKeptByAReloadWithFlagZero) {
  Part("v.stl");
  Part("h.stl");
  ReadText(
      "VICE MODEL=v.stl\nVICE MODEL OFFSET=1,2,3\nHEAD MODEL=h.stl\nTABLE MODEL OFFSET=4,4,4\n");
  h_.Parts.ViceKept = 1;
  ReadText("NAME=RELOAD\n", 0);
  EXPECT_EQ(h_.Parts.ViceNames.size(), 1u);
  EXPECT_EQ(h_.Parts.ViceOffsets, (std::vector<Vec3>{Vec3{}}));  // zeroed, kept
  EXPECT_EQ(h_.Parts.Heads[kHeadMain].Name, "");
  EXPECT_EQ(h_.Parts.Tables[kTableMain].Offset, (Vec3{4, 4, 4}));  // until a reader sets it
  ReadText("NAME=RELOAD\n", 1);
  EXPECT_TRUE(h_.Parts.ViceNames.empty());
  EXPECT_EQ(h_.Parts.ViceKept, 0);
}

TEST(HasMachinePartModels, AnyNamedPartCounts) {
  MachinePartModels parts;
  EXPECT_EQ(HasMachinePartModels(parts), 0);
  parts.Tables[kTableZ].Name = "z.stl";
  EXPECT_EQ(HasMachinePartModels(parts), 1);
  parts = {};
  parts.ViceNames.push_back("v.stl");
  EXPECT_EQ(HasMachinePartModels(parts), 1);
}

TEST_F(MachineDefinitionTest, Name) {
  ReadText("NAME= OGUMA 1\n");
  EXPECT_EQ(h_.Machine.Name, "OGUMA 1");
}

TEST_F(MachineDefinitionTest, ReadRefreshesTheDisplayAndTheShell) {
  h_.Ctl.Offsets.ActiveWorkOffset = {1, 2, 3, 4, 5};
  h_.Ctl.PendingEnds.Count = 3;
  ReadText("NAME=X\n");
  for (DisplayList list : kMachineLists) EXPECT_TRUE(h_.Ctl.Display.NeedsRebuild(list)) << list;
  EXPECT_EQ(h_.Ctl.Frame.Origin, (std::array<double, 3>{1, 2, 3}));
  EXPECT_EQ(h_.Ctl.Frame.Rotary2, 5.0);
  EXPECT_EQ(h_.Ctl.PendingEnds.Count, 0);
  EXPECT_EQ(h_.Host.Updates(ShellUpdate::kStatusTextTable), 1);
  EXPECT_EQ(h_.Host.Updates(ShellUpdate::kViewCentre), 1);
  EXPECT_EQ(h_.File.State, kFileRead);
  EXPECT_EQ(h_.File.Time, std::filesystem::last_write_time(path_));
}

TEST_F(MachineDefinitionTest, MissingFileLeavesThePreviousMachine) {
  ReadText("NAME=KEPT\nATC TYPE=WAIT\nROTARY TYPE=HEAD\n");
  h_.Ctl.PendingEnds.Count = 2;
  const DefinitionReadResult result = h_.Read((folder_.Path() / "none.mtl").string());
  EXPECT_EQ(result.State, kFileMissing);
  EXPECT_EQ(h_.File.State, kFileMissing);
  EXPECT_EQ(h_.Machine.Name, "KEPT");
  EXPECT_EQ(h_.Kinematics.RotaryType, kRotaryHead);
  EXPECT_EQ(h_.Machine.AtcType, kAtcDirect);  // reset before the file is opened
  EXPECT_EQ(h_.Ctl.PendingEnds.Count, 0);
}

TEST_F(MachineDefinitionTest, ModelFilesAreOpenedAsWrittenThenBesideTheFile) {
  // A machine folder "mc" under the current folder. Its meshes are named as
  // the user runs the program: from the current folder ("mc/head.stl"), or
  // by the bare name of a mesh beside the file.
  const CurrentFolder current(folder_.Path());
  const std::string head = folder_.Write("mc/head.stl", "solid p\nendsolid p\n");
  const std::string table = folder_.Write("mc/table.stl", "solid p\nendsolid p\n");
  folder_.Write("vice.stl", "solid p\nendsolid p\n");
  folder_.Write("mc/vice.stl", "solid p\nendsolid p\n");
  const DefinitionReadResult result =
      h_.Read(folder_.Write("mc/machine.mtl",
                            "HEAD MODEL=mc/head.stl\nTABLE MODEL=table.stl\nVICE MODEL=vice.stl\n"
                            "BASIC MODEL=mc/base.stl\n"));
  const MachinePartModels& parts = h_.Parts;
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::equivalent(parts.Heads[kHeadMain].Name, head));
  EXPECT_TRUE(fs::equivalent(parts.Tables[kTableMain].Name, table));
  // Found as written, the mesh of the current folder is taken.
  ASSERT_EQ(parts.ViceNames.size(), 1u);
  EXPECT_TRUE(fs::equivalent(parts.ViceNames[0], folder_.Path() / "vice.stl"));
  EXPECT_TRUE(parts.BasicNames.empty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"mc/base.stl"}));
  // The notes say where the table came from and that the base is missing.
  ASSERT_EQ(result.Notes.size(), 2u);
  EXPECT_EQ(result.Notes[0].Line, 2);
  EXPECT_NE(result.Notes[0].Message.find("table.stl is not found as written; "), std::string::npos);
  EXPECT_NE(result.Notes[0].Message.find("beside the machine definition is used"),
            std::string::npos);
  EXPECT_EQ(result.Notes[1].Line, 4);
  EXPECT_NE(result.Notes[1].Message.find("mc/base.stl cannot be read"), std::string::npos);
}

TEST(ShippedMachines, ReadWithoutNotesOrMessages) {
  struct Case {
    const char* file;
    int32_t rotaryType;
    size_t vices;
  } cases[] = {{"oguma.mtl", kRotaryNone, 1}, {"oguma5x.mtl", kRotaryTable, 0}};
  // Read from their own folder, as the program reads them from its own.
  const CurrentFolder current(VESTAN_DATA_DIR);
  for (const Case& c : cases) {
    MachineHarness h;
    h.Ctl.Read(std::string(VESTAN_DATA_DIR) + "/hanuc.ctl");
    const DefinitionReadResult result = h.Read(std::string(VESTAN_DATA_DIR) + "/" + c.file);
    ASSERT_EQ(result.State, kFileRead) << c.file;
    for (const DefinitionNote& note : result.Notes) ADD_FAILURE() << FormatNote(note);
    EXPECT_TRUE(h.Host.Texts(RecordingHost::Call::kMessage).empty()) << c.file;
    EXPECT_EQ(h.Kinematics.RotaryType, c.rotaryType) << c.file;
    EXPECT_EQ(h.Parts.ViceNames.size(), c.vices) << c.file;
    EXPECT_FALSE(h.Parts.Heads[kHeadMain].Name.empty()) << c.file;
    EXPECT_EQ(h.Limits.Enabled[2], 1) << c.file;
  }
  MachineHarness h;
  h.Ctl.Read(std::string(VESTAN_DATA_DIR) + "/hanuc.ctl");
  h.Read(std::string(VESTAN_DATA_DIR) + "/oguma5x.mtl");
  EXPECT_EQ(h.Ctl.Controller.Rotary[0].Letter, 'A');
  EXPECT_EQ(h.Ctl.Controller.Rotary[1].Letter, 'C');
  EXPECT_EQ(h.Limits.Enabled, (std::array<int32_t, 5>{1, 1, 1, 1, 1}));
  EXPECT_EQ(h.Limits.Minimum[3], -120.0);
  EXPECT_EQ(h.Machine.Route.StepCount, 3);
  EXPECT_EQ(h.Machine.Route.Steps[1], (std::array<int32_t, 5>{0, 0, 0, 1, 1}));
  EXPECT_EQ(h.Machine.MaximumFeedrate, (std::array<float, 3>{20000, 20000, 15000}));
  EXPECT_FALSE(h.Parts.Tables[kTable1].Name.empty());
  EXPECT_FALSE(h.Parts.Tables[kTable2].Name.empty());
  EXPECT_EQ(h.Kinematics.SecondTableCentre, (Vec3{0, 0, -180}));
}

}  // namespace
}  // namespace vestan
