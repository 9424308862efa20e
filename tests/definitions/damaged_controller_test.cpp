// Damaged controller definitions: the reader and the offset writers take
// what they can and never step outside a line or a table.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "definitions/controller_definition.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::ControllerHarness;
using testing::LinesOf;
using testing::Noise;
using testing::NoteLines;
using testing::TempFolder;
using testing::WithValues;

// Every key of the file once, each with a value that exercises it.
const char kEveryKey[] =
    "NAME(MAX20)=N\nREPLACE TYPE=2\nREPLACE \"A\" \"B\"\nNAME COLOR=1,2,3,4,5,6\n"
    "UNIT(SCALE)=.001\nUNIT(DEG)=.001\nUNIT=.01\nDECIMAL POINT=YES\nPRODUCT=OSP\n"
    "ONLY G40=RESET\nINITIAL PLANE=G18\nRETURN LEVEL=R\nCHECK F0=YES\nR-TOLERANCE=1\n"
    "CODE CHECK=YES\nCHECK CHAR=\";\"\nCHECK RADIUS OFFSET=STOP+LIST\nCHECK REVERSE ARC=YES\n"
    "SMOOTH ANGLE=1\nWARNING LEVEL=2\nFEEDRATE=AUTO1\nTOOL OFFSET MEMORY=B\nG10MODE=FANUC-A\n"
    "G92MODE=MOVE\nG49MODE=KEEP\nG00MODE=ASYNC\nG00PATH=LINE\nOPTIONAL BLOCK SKIP=1,2\n"
    "STOP CHARACTER=M1,M2\nLATHE2 ON CODE=M3\nCUT ON CODE=M4\nCONCAVE-ARC FEED=KEEP\n"
    "STOP OPTION=SINGLE\nWAIT M-CODE=1,A,2\nCYCLE(D)=1\nG73_D=1\nG83_D=1\nG83_OSP_D1=1\n"
    "G83_OSP_D2=1\nG89 CLEARANCE=1\nCYCLE(L0)=IGNORE\nSPINDLE CONTROL=S\nCYCLE(K0)=IGNORE\n"
    "SCALE EFFECT(X)=OFF\nSCALE(X)=2\nROTATION ANGLE=1\nLENGTH OFFSET TYPE=FANUC-B\nCHAR(X)=U\n"
    "X-CODE=-Y\nA-CODE=-A\nMEMORY D01=1,2\nMEMORY WK9=(1,2,3,4,5)\nMEMORY REF-PT3=1,2\n"
    "EOR=%\nTYPE=LATHE\nZ-CE COORDINATE=Z-C\nAUTO LENGTH OFFSET=YES\n"
    "AUTO LENGTH POSITION=R-HEIGHT\nD-CODE VALUE=AUTO\nH-CODE VALUE=AUTO\n"
    "AUTOMATIC TOOL OFFSET=YES\nTCL VECTOR INTERPOLATION=VECTOR\nTCL COORDINATE=TABLE\n"
    "TOOL CENTER CONTROL=TYPE1\nROTARY1 CHAR=A\nROTARY2 LOCK=M5\nINC-K CHAR=W\n"
    "ROTARY1 ROUTE=SHORTEST\nROTARY2 DIRECTION=REVERSE\nROTARY2 RANGE=1,2\n"
    "ANGLE DECISION=FANUC-2\nRUN TYPE=MEMORY\nVIEW CENTER=1,2,3\nNO60_BIT2=1\nD5=1\nH5=1\nF5=1\n";

TEST(DamagedController, EveryTruncationReads) {
  TempFolder folder;
  testing::CurrentFolder here(folder.Path());  // wait files named here are deleted
  ControllerHarness h;
  const std::string full = kEveryKey;
  for (size_t length = 0; length <= full.size(); ++length) {
    const DefinitionReadResult result = h.Read(folder.Write("t.ctl", full.substr(0, length)));
    ASSERT_EQ(result.State, kFileRead) << length;
  }
  EXPECT_EQ(h.Controller.LengthDivisor, 100);
  EXPECT_EQ(h.Offsets.DGeometry[5], 1.0f);
}

TEST(DamagedController, BinaryNoiseReads) {
  TempFolder folder;
  testing::CurrentFolder here(folder.Path());  // wait files named here are deleted
  ControllerHarness h;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    const std::string content = std::string(kEveryKey) + Noise(32 * 1024, seed);
    ASSERT_EQ(h.Read(folder.Write("t.ctl", content)).State, kFileRead) << seed;
    EXPECT_LE(h.Controller.Tables.Replace.size(), kMaxReplaceEntries);
    EXPECT_LE(h.Controller.Tables.StopStrings.size(), kMaxStopStrings);
    EXPECT_LE(h.Controller.Tables.Waits.size(), kMaxWaitEntries);
  }
  // Noise behind every key.
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    const std::string content = WithValues(kEveryKey, Noise(200, seed));
    EXPECT_EQ(h.Read(folder.Write("t.ctl", content)).State, kFileRead);
  }
}

TEST(DamagedController, VeryLongLinesRead) {
  TempFolder folder;
  testing::CurrentFolder here(folder.Path());  // wait files named here are deleted
  ControllerHarness h;
  for (const std::string& filler :
       {std::string(100000, '9'), std::string(100000, ','), std::string(100000, '"'),
        std::string(100000, ' '), std::string(100000, '+'), std::string(100000, '\'')}) {
    // Each key with its value and the filler, then with the filler alone.
    std::string content = WithValues(kEveryKey, filler);
    for (const std::string& line : LinesOf(kEveryKey)) content += line + filler + "\n";
    const DefinitionReadResult result = h.Read(folder.Write("t.ctl", content));
    ASSERT_EQ(result.State, kFileRead) << filler[0];
    EXPECT_LE(h.Controller.Name.size(), kMaxControllerName);
    for (const std::string& stop : h.Controller.Tables.StopStrings)
      EXPECT_LE(stop.size(), kMaxStopStringLength);
    for (const WaitEntry& wait : h.Controller.Tables.Waits)
      EXPECT_LE(wait.FileName.size(), kMaxWaitFileName);
  }
}

TEST(DamagedController, NumbersOutOfRangeAreRefusedWithANoteAndNeverWrittenBack) {
  TempFolder folder;
  const std::string path = testing::CopyFixture(folder, "out_of_range.ctl");
  ControllerHarness h;
  const DefinitionReadResult result = h.Read(path);
  ASSERT_EQ(result.State, kFileRead);
  EXPECT_EQ(NoteLines(result),
            (std::vector<std::string>{
                "3: MEMORY D1: a value is not a finite number; the line is ignored",
                "6: MEMORY G54: a value is not a finite number; the line is ignored",
                "8: MEMORY REF-PT1: a value is not a finite number; the line is ignored",
                "9: H3: a value is not a finite number; the line is ignored",
                "10: R-TOLERANCE: -0.01 is below 0; the line is ignored",
                "11: SMOOTH ANGLE: a value is not a finite number; the line is ignored",
                "12: SCALE(X): a value is 0; the line is ignored",
                "13: SCALE(Y): a value is not a finite number; the line is ignored",
                "14: ROTATION ANGLE: a value is not a finite number; the line is ignored",
                "15: G73_D: -1 is below 0; the line is ignored",
                "16: G81 CLEARANCE: a value is not a finite number; the line is ignored",
                "17: ROTARY1 RANGE: the minimum 10 exceeds the maximum -10; the line is ignored",
                "18: VIEW CENTER: a value is not a finite number; the line is ignored",
                "19: NAME COLOR: a value is not a finite number; the line is ignored",
            }));
  // What the refused lines would have changed keeps its earlier value.
  const ControllerDefinition& c = h.Controller;
  EXPECT_EQ(h.Offsets.DGeometry[1], 5.0f);
  EXPECT_EQ(h.Offsets.DWear[1], 0.5f);
  EXPECT_EQ(h.Offsets.HGeometry[3], 0.0f);
  EXPECT_EQ(h.Offsets.WorkOffsets[1], (WorkOffsetValues{10, 20, 30, 0, 0}));
  EXPECT_EQ(h.Offsets.ReferencePoints[0].Given, 0);
  EXPECT_EQ(c.RTolerance, 0.0f);
  EXPECT_EQ(c.SmoothAngle, 0.0f);
  EXPECT_EQ(c.ScaleFactor, (std::array<double, 3>{1, 1, 1}));
  EXPECT_EQ(c.RotationAngle, 0.0);
  EXPECT_EQ(c.G73D, 0.1);
  EXPECT_EQ(c.CycleClearance[11], 0.0);
  EXPECT_EQ(c.Rotary[0].RangeGiven, 0);
  EXPECT_EQ(c.ViewCentreGiven, 0);
  EXPECT_EQ(c.NameColours, ControllerDefinition{}.NameColours);

  // Saved back and read again, every offset is where it was: nothing
  // shifted, nothing lost.
  ASSERT_EQ(SaveWorkOffsetMemory(path, h.Offsets, h.Controller, h.File), kOffsetsSaved);
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path, h.Offsets, h.Controller, h.File),
            kOffsetsSaved);
  const std::string saved = TempFolder::Read(path);
  EXPECT_EQ(saved.find("inf"), std::string::npos);
  const OffsetMemory before = h.Offsets;
  h.Read(path);
  EXPECT_EQ(h.Offsets.DGeometry, before.DGeometry);
  EXPECT_EQ(h.Offsets.DWear, before.DWear);
  EXPECT_EQ(h.Offsets.WorkOffsets, before.WorkOffsets);
}

TEST(DamagedController, OffsetsThatAreNoFiniteNumberAreNotSaved) {
  TempFolder folder;
  const std::string content = "NAME(MAX20)=N\nMEMORY G54= (1,2,3,4,5)\nMEMORY D01= 1,0\n";
  const std::string path = folder.Write("t.ctl", content);
  ControllerHarness h;
  h.Read(path);
  // Values a dialog or a program may have set.
  h.Offsets.WorkOffsets[3][1] = std::numeric_limits<double>::infinity();
  h.Offsets.DWear[7] = std::numeric_limits<float>::quiet_NaN();
  std::string error;
  EXPECT_EQ(SaveWorkOffsetMemory(path, h.Offsets, h.Controller, h.File, &error), kOffsetsNotFinite);
  EXPECT_EQ(error, "work offset 3 is not a finite number; nothing is saved");
  EXPECT_EQ(
      SaveToolOffsetMemory(ToolOffsetKind::kRadius, path, h.Offsets, h.Controller, h.File, &error),
      kOffsetsNotFinite);
  EXPECT_EQ(error, "D7 is not a finite number; nothing is saved");
  EXPECT_EQ(TempFolder::Read(path), content);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
}

TEST(DamagedController, OffsetsThatPrintAsZeroAreZero) {
  TempFolder folder;
  const std::string path =
      folder.Write("t.ctl", "MEMORY D01= 1e-7,0\nMEMORY WK9= (0,-1e-9,0,0,0)\n");
  ControllerHarness h;
  h.Read(path);
  ASSERT_EQ(h.Offsets.DGeometry[1], 1e-7f);
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path, h.Offsets, h.Controller, h.File),
            kOffsetsSaved);
  ASSERT_EQ(SaveWorkOffsetMemory(path, h.Offsets, h.Controller, h.File), kOffsetsSaved);
  // A line that would read back as 0 goes, as a zero offset's line does.
  EXPECT_EQ(TempFolder::Read(path), "");
}

TEST(DamagedController, OffsetsOfADamagedFileAreSavedWithItsOtherBytesKept) {
  TempFolder folder;
  testing::CurrentFolder here(folder.Path());  // wait files named here are deleted
  ControllerHarness h;
  const std::string content = std::string("MEMORY D01=1\n") + Noise(4096, 7) + "\nMEMORY D02=2";
  const std::string path = folder.Write("t.ctl", content);
  h.Read(path);
  h.Offsets.DGeometry[3] = 3.0f;
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path, h.Offsets, h.Controller, h.File),
            kOffsetsSaved);
  EXPECT_EQ(TempFolder::Read(path + ".bak"), content);
  h.Read(path);
  EXPECT_EQ(h.Offsets.DGeometry[3], 3.0f);
}

}  // namespace
}  // namespace vestan
