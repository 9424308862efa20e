#include "definitions/controller_definition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition_test_support.h"

namespace vestan {
namespace {

using testing::ControllerHarness;
using testing::NoteMentions;
using testing::TempFolder;

class ControllerDefinitionTest : public ::testing::Test {
 protected:
  DefinitionReadResult ReadText(std::string_view content) {
    path_ = folder_.Write("hanuc.ctl", content);
    return h_.Read(path_);
  }
  const ControllerDefinition& C() const { return h_.Controller; }

  TempFolder folder_;
  ControllerHarness h_;
  std::string path_;
};

TEST_F(ControllerDefinitionTest, UnitKeysSetTheirDivisorsOnly) {
  struct Case {
    const char* line;
    int32_t length, angle, scale;
    double tolerance;
  } cases[] = {
      {"UNIT=1/10000", 10000, 1000, 1000, 0.00005},
      {"UNIT=0.0001", 10000, 1000, 1000, 0.00005},
      {"UNIT=.01", 100, 1000, 1000, 0.0005},
      {"UNIT = 1/100", 100, 1000, 1000, 0.0005},
      {"UNIT=0.001", 1000, 1000, 1000, 0.0005},
      {"unit=1/10000", 10000, 1000, 1000, 0.00005},  // keys ignore letter case
      {"UNIT(DEG)=0.00001", 1000, 100000, 1000, 0.0005},
      {"UNIT(SCALE)=1/100000", 1000, 1000, 100000, 0.0005},
      {"UNIT=5", 1000, 1000, 1000, 0.0005},          // no such unit
      {" UNIT=1/10000", 1000, 1000, 1000, 0.0005},   // a key starts the line
      {"UNIT (=1/10000", 1000, 1000, 1000, 0.0005},  // sixth character "("
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ReadText(std::string(c.line) + "\n").State, kFileRead);
    EXPECT_EQ(C().LengthDivisor, c.length) << c.line;
    EXPECT_EQ(C().AngleDivisor, c.angle) << c.line;
    EXPECT_EQ(C().ScaleDivisor, c.scale) << c.line;
    EXPECT_EQ(C().Tolerance, c.tolerance) << c.line;
  }
}

TEST_F(ControllerDefinitionTest, DecimalPointWordsAndHeidenhainForcing) {
  struct Case {
    const char* text;
    int32_t mode;
  } cases[] = {
      {"DECIMAL POINT=NORMAL\n", 3},
      {"DECIMAL POINT=NO\n", 0},
      {"DECIMAL POINT=YES\n", 1},
      {"DECIMAL POINT=CALC\n", 2},
      {"DECIMAL POINT=NO\nPRODUCT=HEIDENHAIN\nEOR=%\n", 3},
  };
  for (const Case& c : cases) {
    ReadText(c.text);
    EXPECT_EQ(C().DecimalPointMode, c.mode) << c.text;
  }
  EXPECT_EQ(C().isHeidenhain, 1);
  EXPECT_EQ(C().productCode, kProductHeidenhain);
  EXPECT_EQ(C().EndOfRecordLetter, ' ');  // forced blank
}

TEST_F(ControllerDefinitionTest, ProductOspSelectsNoWorkOffset) {
  ReadText(
      "MEMORY EXOFS=(1,2,3,0,0)\n"
      "MEMORY G54=(100,0,0,0,0)\n"
      "TCL COORDINATE=TABLE\n"
      "PRODUCT=OSP\n");
  EXPECT_EQ(C().productCode, kProductOsp);
  EXPECT_EQ(C().isOsp, 1);
  EXPECT_EQ(C().TableCoordinate, 1);
  EXPECT_EQ(C().WorkOffsetResetValue, 0);
  EXPECT_EQ(h_.Offsets.SelectedWorkOffset, 0);
  // Only the external offset is active (no G54).
  EXPECT_EQ(h_.Offsets.ActiveWorkOffset, (WorkOffsetValues{1, 2, 3, 0, 0}));
  EXPECT_EQ(h_.Frame.Origin, (std::array<double, 3>{1, 2, 3}));

  ReadText("TCL COORDINATE=TABLE\nPRODUCT=SIEMENS\n");
  EXPECT_EQ(C().TableCoordinate, 1);
  EXPECT_EQ(C().isSiemens, 1);
  ReadText("PRODUCT=SIEMENS\nTCL COORDINATE=TABLE\n");
  EXPECT_EQ(C().TableCoordinate, 0);
  ReadText("PRODUCT=MAZAK\n");
  EXPECT_EQ(C().isMazak, 1);
  EXPECT_EQ(C().productCode, kProductDefault);
  EXPECT_EQ(h_.Offsets.SelectedWorkOffset, 1);
}

TEST_F(ControllerDefinitionTest, LatheTypeSetsTheInitialPlaneAfterAnEarlierLine) {
  ReadText("INITIAL PLANE=G17\nTYPE=LATHE\n");
  EXPECT_EQ(C().initialPlane, 18);
  EXPECT_EQ(C().Lathe, (std::array<int32_t, 2>{1, 1}));
  EXPECT_EQ(h_.Plane.PlaneCode, 18);
  EXPECT_EQ(h_.Plane.PlaneAxes, (std::array<int32_t, 3>{2, 0, 1}));
  ReadText("INITIAL PLANE=YZ\n");
  EXPECT_EQ(h_.Plane.PlaneCode, 19);
  EXPECT_EQ(h_.Plane.PlaneAxes, (std::array<int32_t, 3>{1, 2, 0}));
  ReadText("TYPE=WIRE\n");
  EXPECT_EQ(C().Wire, 1);
  EXPECT_EQ(C().TclVectorInterpolation, 1);
  EXPECT_EQ(h_.Plane.PlaneCode, 17);  // every read starts from the initial plane
}

TEST_F(ControllerDefinitionTest, AxisCodesMapProgramPlanesOntoTheMachine) {
  struct Case {
    const char* text;
    std::array<int32_t, 3> codes;
    std::array<int32_t, 3> programAxes;
    int32_t plane;  // after selecting program plane 17
    std::array<int32_t, 3> planeAxes;
    int32_t toolLengthAxis;
  } cases[] = {
      // Defaults: (X,Y) +17, (Z,X) +18, (Y,Z) +19.
      {"", {17, 18, 19}, {0, 1, 2}, 17, {0, 1, 2}, 2},
      // X and Y swapped: slots hold Y, X, Z. G17 (Y,X) = -17; G18 (Z,Y)
      // matches nothing: -19; G19 (X,Z) = -18.
      {"X-CODE=Y\nY-CODE=X\n", {-17, -19, -18}, {0, 1, 2}, -17, {0, 1, 2}, 2},
      // X on machine Z, Z reversed on machine X: slots Z, Y, X; sZ = -1.
      // G17 (Z,Y): -19; G18 (X,Z) = -18 times -1; G19 (Y,X) = -17 times -1,
      // with axes (1,2,0). Program G17 is found as G19's code.
      {"X-CODE=Z\nZ-CODE=-X\n", {-19, 18, 17}, {1, 2, 0}, 19, {1, 2, 0}, 0},
      // Reversed Y alone: every code holding Y changes its sign.
      {"Y-CODE=-Y\n", {-17, 18, -19}, {0, 1, 2}, -17, {0, 1, 2}, 2},
  };
  for (const Case& c : cases) {
    ReadText(c.text);
    EXPECT_EQ(C().Planes.Codes, c.codes) << c.text;
    EXPECT_EQ(C().Planes.ProgramAxes, c.programAxes) << c.text;
    EXPECT_EQ(h_.Plane.PlaneCode, c.plane) << c.text;
    EXPECT_EQ(h_.Plane.PlaneAxes, c.planeAxes) << c.text;
    EXPECT_EQ(h_.Plane.ToolLengthAxis, c.toolLengthAxis) << c.text;
  }
  ReadText("Z-CODE=-X\n");
  EXPECT_EQ(C().AddressLetters[0], 'Z');
  EXPECT_EQ(C().ArcLetters[0], 'K');
  EXPECT_EQ(C().ProgramReverse, (std::array<int32_t, 3>{0, 0, 1}));
  ReadText("Z-CODE=-X\nZ-CODE=Z\n");  // the later line clears the reverse flag
  EXPECT_EQ(C().ProgramReverse[2], 0);
}

TEST_F(ControllerDefinitionTest, ToolLengthAxisFollowsTheLengthOffsetType) {
  struct Case {
    const char* type;
    int32_t axis;
  } cases[] = {
      {"FANUC-A", 2},  // the machine axis of program Z
      {"FANUC-B", 1},  // the normal of plane 18 (axes 2, 0, 1)
      {"FANUC-C", 2},  // left as program Z's axis
  };
  for (const Case& c : cases) {
    ReadText(std::string("INITIAL PLANE=ZX\nLENGTH OFFSET TYPE=") + c.type + "\n");
    EXPECT_EQ(h_.Plane.ToolLengthAxis, c.axis) << c.type;
  }
}

TEST_F(ControllerDefinitionTest, ScalarKeys) {
  const DefinitionReadResult result = ReadText(
      "NAME(MAX20)= MY CONTROL\n"
      "NAME COLOR=10.9,20,30,40,50,60\n"
      "REPLACE TYPE=2\n"
      "ONLY G40=RESET\n"
      "RETURN LEVEL=R POINT\n"
      "CHECK F0=YES\n"
      "CODE CHECK=NO\n"
      "CHECK REVERSE ARC=YES\n"
      "R-TOLERANCE=0.02\n"
      "SMOOTH ANGLE=5\n"
      "WARNING LEVEL=3\n"
      "FEEDRATE=AUTO2\n"
      "TOOL OFFSET MEMORY=a\n"
      "G92MODE=MOVE\n"
      "G49MODE=KEEP\n"
      "G00MODE=ASYNC2\n"
      "G00PATH=LINE\n"
      "CONCAVE-ARC FEED=KEEP\n"
      "STOP OPTION=DEFINE\n"
      "CYCLE(D)=0.5\n"
      "G83_OSP_D2=0.7\n"
      "G73 CLEARANCE=2\n"
      "G81 CLEARANCE=1.5\n"
      "G7X CLEARANCE=9\n"
      "CYCLE(L0)=IGNORE\n"
      "CYCLE(K0)=USE\n"
      "SPINDLE CONTROL=S\n"
      "SCALE EFFECT(Y)=OFF\n"
      "SCALE EFFECT(Q)=OFF\n"
      "SCALE(Z)=2.5\n"
      "ROTATION ANGLE=30\n"
      "CHAR(X)=U\n"
      "B-CODE=-B\n"
      "A-CODE=A\n"
      "EOR %\n"
      "Z-CE COORDINATE=Z-C\n"
      "AUTO LENGTH OFFSET=YES\n"
      "AUTO LENGTH POSITION=F-CENTER\n"
      "D-CODE VALUE=AUTO\n"
      "AUTOMATIC TOOL OFFSET=YES\n"
      "TOOL CENTER CONTROL=TYPE2\n"
      "ROTARY1 CHAR=B\n"
      "ROTARY2 CHAR=C\n"
      "INC-X CHAR=U\n"
      "INC-ROTARY2 CHAR=H\n"
      "ROTARY2 ROUTE=SHORTEST\n"
      "ROTARY1 DIRECTION=REVERSE\n"
      "ROTARY1 RANGE=-30, 120\n"
      "ANGLE DECISION=FANUC-2\n"
      "VIEW CENTER=1,2,3\n"
      "NO60_BIT2=1\n");
  EXPECT_TRUE(result.Notes.empty());
  EXPECT_EQ(C().Name, "MY CONTROL");
  EXPECT_EQ(C().NameColours, (std::array<int32_t, 6>{10, 20, 30, 40, 50, 60}));
  EXPECT_EQ(C().ReplaceType, 2);
  EXPECT_EQ(C().OnlyG40, 2);
  EXPECT_EQ(C().ReturnLevel, 0);
  EXPECT_EQ(C().CheckF0, 1);
  EXPECT_EQ(C().CodeCheck, 0);
  EXPECT_EQ(C().CheckReverseArc, 1);
  EXPECT_EQ(C().RTolerance, 0.02f);
  EXPECT_EQ(C().SmoothAngle, 5.0f);
  EXPECT_EQ(C().WarningLevel, 3);
  EXPECT_EQ(C().FeedrateMode, 3);
  EXPECT_EQ(C().offsetMemoryType, 1);
  EXPECT_EQ(C().G92Mode, 1);
  EXPECT_EQ(C().G49Mode, 1);
  EXPECT_EQ(C().G00Mode, 2);
  EXPECT_EQ(C().G00Path, 1);
  EXPECT_EQ(C().ConcaveArcFeed, 0);
  EXPECT_EQ(C().StopOption, 4);
  EXPECT_EQ(C().G73D, 0.7);  // CYCLE(D) first set both
  EXPECT_EQ(C().G83D, 0.5);
  EXPECT_EQ(C().CycleClearance[3], 2.0);   // G73 - 70
  EXPECT_EQ(C().CycleClearance[11], 1.5);  // G81 - 70
  for (size_t k = 0; k < 20; ++k) {
    if (k == 3 || k == 11) continue;
    EXPECT_EQ(C().CycleClearance[k], 0.0) << k;
  }
  EXPECT_EQ(C().CycleL0Ignore, 1);
  EXPECT_EQ(C().CycleK0Ignore, 0);
  EXPECT_EQ(C().SpindleControl, 1);
  EXPECT_EQ(C().SpindleControlLetter, 'S');
  EXPECT_EQ(C().ScaleEffect, (std::array<int32_t, 3>{1, 0, 1}));
  EXPECT_EQ(C().ScaleFactor, (std::array<double, 3>{1, 1, 2.5}));
  EXPECT_EQ(C().RotationAngle, 30.0);
  EXPECT_EQ(C().ProgramLetters, (std::array<char, 3>{'U', 'Y', 'Z'}));
  EXPECT_EQ(C().AddressLetters, (std::array<char, 3>{'U', 'Y', 'Z'}));
  EXPECT_EQ(C().LetterReverseAbc, (std::array<int32_t, 3>{0, 1, 0}));
  EXPECT_EQ(C().EndOfRecordLetter, ' ');  // no "=": ignored
  EXPECT_EQ(C().ZcCoordinate, 1);
  EXPECT_EQ(C().AutoLengthOffset, 1);
  EXPECT_EQ(C().AutoLengthPosition, 2);
  EXPECT_EQ(C().DCodeAuto, 1);
  EXPECT_EQ(C().HCodeAuto, 0);
  EXPECT_EQ(C().AutomaticToolOffset, 1);
  EXPECT_EQ(C().ToolCenterControl, (std::array<int32_t, 2>{2, 2}));
  EXPECT_EQ(C().Rotary[0].Letter, 'B');
  EXPECT_EQ(C().Rotary[0].Reverse, 1);  // from B-CODE=-B
  EXPECT_EQ(C().Rotary[1].Reverse, 0);
  EXPECT_EQ(C().Rotary[0].DirectionSign, -1);
  EXPECT_EQ(C().Rotary[1].ShortestRoute, (std::array<uint8_t, 2>{1, 1}));
  EXPECT_EQ(C().Rotary[0].RangeGiven, 1);
  EXPECT_EQ(C().Rotary[0].RangeMinimum, -30.0);
  EXPECT_EQ(C().Rotary[0].RangeMaximum, 120.0);
  EXPECT_EQ(C().IncrementalLetters[kIncX], 'U');
  EXPECT_EQ(C().IncrementalLetters[kIncRotary2], 'H');
  EXPECT_EQ(C().IncrementalLetters[kIncY], '\0');
  EXPECT_EQ(C().AngleDecision, 1);
  EXPECT_EQ(C().ViewCentre, (std::array<double, 3>{1, 2, 3}));
  EXPECT_EQ(C().ViewCentreGiven, 1);
  EXPECT_EQ(C().No60Bit, 1);
  // Program letters, then the rotary letters.
  EXPECT_EQ(h_.AxisLabels.Labels, (std::array<std::string, 5>{"\tU", "\tY", "\tZ", "\tB", "\tC"}));
}

TEST_F(ControllerDefinitionTest, G00ModeWords) {
  struct Case {
    const char* word;
    int32_t mode;
  } cases[] = {{"LINE", 0},   {"ASYNC1", 1},  {"ASYNC", 1},
               {"ASYNC2", 2}, {"UNKNOWN", 9}, {"FAST", 0}};
  for (const Case& c : cases) {
    ReadText(std::string("G00MODE=") + c.word + "\n");
    EXPECT_EQ(C().G00Mode, c.mode) << c.word;
  }
}

TEST_F(ControllerDefinitionTest, EveryReadStartsFromTheDefaults) {
  ReadText("UNIT=.01\nNAME(MAX20)=FIRST\nSTOP CHARACTER=M1\nMEMORY D01=5\nMEMORY F3=7\n");
  ASSERT_EQ(C().LengthDivisor, 100);
  ASSERT_EQ(h_.Offsets.DGeometry[1], 5.0f);
  h_.Subprograms.Depth = 3;
  h_.Subprograms.Levels[0].Name = "O1234";
  ReadText("DECIMAL POINT=YES\n");
  EXPECT_EQ(C().LengthDivisor, 1000);
  EXPECT_EQ(C().Name, "");
  EXPECT_TRUE(C().Tables.StopStrings.empty());
  EXPECT_EQ(h_.Offsets.DGeometry[1], 0.0f);
  EXPECT_EQ(h_.Offsets.FTable[3], 7.0f);  // the F table is kept
  EXPECT_EQ(h_.Subprograms.Depth, 0);
  EXPECT_EQ(h_.Subprograms.Levels[0].Name, "");
  // The later of two lines wins.
  ReadText("UNIT=.01\nUNIT=1/10000\n");
  EXPECT_EQ(C().LengthDivisor, 10000);
}

TEST_F(ControllerDefinitionTest, StateAndTime) {
  ReadText("UNIT=.01\n");
  EXPECT_EQ(h_.File.State, kFileRead);
  EXPECT_EQ(h_.File.Time, std::filesystem::last_write_time(path_));
  EXPECT_TRUE(h_.Display.NeedsRebuild(kListCoordinateAxes));
}

TEST_F(ControllerDefinitionTest, MissingFileLeavesTheDefaultsAndDerivesNothing) {
  ReadText("UNIT=.01\nMEMORY G54=(5,0,0,0,0)\nINITIAL PLANE=ZX\n");
  ASSERT_EQ(h_.Plane.PlaneCode, 18);
  h_.Display.ClearRebuild(kListCoordinateAxes);
  const DefinitionReadResult result = h_.Read((folder_.Path() / "none.ctl").string());
  EXPECT_EQ(result.State, kFileMissing);
  EXPECT_EQ(h_.File.State, kFileMissing);
  EXPECT_EQ(C().LengthDivisor, 1000);
  EXPECT_EQ(h_.Offsets.WorkOffsets[1], (WorkOffsetValues{}));
  // No plane, tool-length axis or work offset derivation.
  EXPECT_EQ(h_.Plane.PlaneCode, 18);
  EXPECT_EQ(h_.Offsets.ActiveWorkOffset, (WorkOffsetValues{5, 0, 0, 0, 0}));
  EXPECT_FALSE(h_.Display.NeedsRebuild(kListCoordinateAxes));
}

TEST_F(ControllerDefinitionTest, OverlongNameIsRefusedWhole) {
  const DefinitionReadResult result =
      ReadText("NAME(MAX20)=ABCDEFGHIJKLMNOPQRSTU\n");  // 21 characters
  EXPECT_EQ(C().Name, "");
  EXPECT_TRUE(NoteMentions(result, "hanuc.ctl:1:"));
  ReadText("NAME(MAX20)=ABCDEFGHIJKLMNOPQRST");  // 20, last line without newline
  EXPECT_EQ(C().Name, "ABCDEFGHIJKLMNOPQRST");
}

TEST(ShippedController, ReadsWithoutNotes) {
  ControllerHarness h;
  const DefinitionReadResult result = h.Read(std::string(VESTAN_DATA_DIR) + "/hanuc.ctl");
  ASSERT_EQ(result.State, kFileRead);
  for (const DefinitionNote& note : result.Notes) ADD_FAILURE() << FormatNote(note);
  const ControllerDefinition& c = h.Controller;
  EXPECT_EQ(c.Name, "HANUC 3-AXIS");
  EXPECT_EQ(c.LengthDivisor, 1000);
  EXPECT_EQ(c.DecimalPointMode, 2);
  EXPECT_EQ(c.productCode, kProductDefault);
  EXPECT_EQ(c.offsetMemoryType, 3);
  EXPECT_EQ(c.ReturnLevel, 1);
  EXPECT_EQ(c.EndOfRecordLetter, '%');
  EXPECT_EQ(c.StopOption, 1);
  EXPECT_EQ(c.Tables.StopStrings, (std::vector<std::string>{"M100", "M101"}));
  EXPECT_EQ(c.Tables.CuttingEnabledAtStart, 1);  // OFF code defined before ON
  EXPECT_EQ(c.Tables.RadiusCheckOn, 1);
  EXPECT_EQ(c.Planes.Codes, (std::array<int32_t, 3>{17, 18, 19}));
  EXPECT_EQ(h.Plane.PlaneCode, 17);
  EXPECT_EQ(h.Plane.ToolLengthAxis, 2);
  EXPECT_EQ(h.Offsets.DGeometry[3], 6.0f);
  EXPECT_EQ(h.Offsets.DWear[3], -0.01f);
  EXPECT_EQ(h.Offsets.HGeometry[2], 95.5f);
  EXPECT_EQ(h.Offsets.HWear[3], 0.02f);
  EXPECT_EQ(h.Offsets.SelectedWorkOffset, 1);
  EXPECT_EQ(h.Offsets.ActiveWorkOffset, (WorkOffsetValues{-50, -50, 110, 0, 0}));
  EXPECT_EQ(h.AxisLabels.Labels[0], "\tX");
}

}  // namespace
}  // namespace vestan
