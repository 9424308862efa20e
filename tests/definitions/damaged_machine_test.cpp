// Damaged machine definitions: the reader takes what it can and never steps
// outside a line, a list or an axis.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "definitions/machine_definition_file.h"

namespace vestan {
namespace {

using testing::LinesOf;
using testing::MachineHarness;
using testing::Noise;
using testing::TempFolder;
using testing::WithValues;

// Every key once.
const char kEveryKey[] =
    "NAME=M\nATC TYPE=DIRECT T1,2\nTOOL CHANGE ROUTE=Z-XY\nTOOL CHANGE POSITION=1,2,3,4,5\n"
    "TOOL CHANGE TIME=1\nRAPID(X)=1\nRAPID ACCELERATION(Y)=1\nMAXIMUM FEEDRATE(Z)=1\n"
    "MAXIMUM FEEDRATE=1\nACCELERATION(X)=1\nMAXIMUM ACCELERATION(Y)=1\n"
    "AXIS DIRECTION=RIGHT+Z,BACK-X\nROTARY TYPE=MIX\nROTARY AXIS1=X\nROTARY AXIS2=Y\n"
    "AXIS1 ANGLE=10\nAXIS2 VECTOR=1,2,3\nTABLE1 TYPE=AXIS\nTABLE2 TYPE=PLANE\nHEAD2 TYPE=NO\n"
    "ANGLE HEAD(B)=10\nTOOL DIRECTION=0,1,1\nTABLE POSITION=1,2,3\nTABLE OFFSET=1,2,3\n"
    "HEAD POSITION=1,2,3\nHEAD OFFSET=1,2,3\nTOOL HOLDER OFFSET=1\nBASIC MODEL OFFSET=1,2,3\n"
    "VICE MODEL OFFSET=1,2,3\nTABLE(Y) MODEL OFFSET=1,2,3\nHEAD(ZX) MODEL OFFSET=1,2,3 T\n"
    "BASIC MODEL=b.stl\nVICE MODEL=v.stl\nTABLE2 MODEL=t.stl\nHEAD(XZ) MODEL=h.stl\n"
    "MOVE(Z)=TABLE\nSTROKE RANGE(A)=1,2\nSTROKE RANGE(X)=1,2\nVIEW CENTER=1,2,3\n";

TEST(DamagedMachine, EveryTruncationReads) {
  TempFolder folder;
  for (const char* part : {"b.stl", "v.stl", "t.stl", "h.stl"}) folder.Write(part, "solid\n");
  MachineHarness h;
  const std::string full = kEveryKey;
  for (size_t length = 0; length <= full.size(); ++length) {
    const DefinitionReadResult result = h.Read(folder.Write("t.mtl", full.substr(0, length)));
    ASSERT_EQ(result.State, kFileRead) << length;
  }
  EXPECT_EQ(h.Parts.Heads[kHeadZX].TFlag, 1);
  EXPECT_EQ(h.Limits.Enabled, (std::array<int32_t, 5>{1, 0, 0, 1, 0}));
}

TEST(DamagedMachine, BinaryNoiseReads) {
  TempFolder folder;
  MachineHarness h;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    const std::string content = std::string(kEveryKey) + Noise(32 * 1024, seed);
    ASSERT_EQ(h.Read(folder.Write("t.mtl", content)).State, kFileRead) << seed;
    EXPECT_LE(h.Parts.ViceNames.size(), kMaxListedModels);
    EXPECT_LE(h.Parts.ViceOffsets.size(), kMaxListedModels);
    EXPECT_LE(h.Parts.BasicNames.size(), kMaxListedModels);
    EXPECT_LE(h.Machine.Route.StepCount, kMaxRouteSteps);
  }
  // Noise behind every key, and every key alone: cut where its fixed
  // columns would be read.
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    const std::string content = WithValues(kEveryKey, Noise(200, seed));
    EXPECT_EQ(h.Read(folder.Write("t.mtl", content)).State, kFileRead);
  }
  std::string keysAlone;
  for (const std::string& line : LinesOf(kEveryKey))
    keysAlone += line.substr(0, line.find('=')) + "\n";
  EXPECT_EQ(h.Read(folder.Write("t.mtl", keysAlone)).State, kFileRead);
}

TEST(DamagedMachine, VeryLongLinesRead) {
  TempFolder folder;
  MachineHarness h;
  for (const std::string& filler : {std::string(100000, '9'), std::string(100000, ','),
                                    std::string(100000, 'T'), std::string(100000, ' ')}) {
    // Each key with its value and the filler, then with the filler alone.
    std::string content = WithValues(kEveryKey, filler);
    for (const std::string& line : LinesOf(kEveryKey)) content += line + filler + "\n";
    ASSERT_EQ(h.Read(folder.Write("t.mtl", content)).State, kFileRead) << filler[0];
    EXPECT_LE(h.Machine.Name.size(), kMaxPartModelName);
    EXPECT_LE(h.Machine.RouteText.size(), kMaxRouteText);
    for (const std::string& name : h.Parts.ViceNames) EXPECT_FALSE(name.empty());
  }
}

TEST(DamagedMachine, NumbersOutOfRangeAreRefusedWithANote) {
  TempFolder folder;
  const std::string path = testing::CopyFixture(folder, "out_of_range.mtl");
  MachineHarness h;
  const DefinitionReadResult result = h.Read(path);
  ASSERT_EQ(result.State, kFileRead);
  EXPECT_EQ(testing::NoteLines(result),
            (std::vector<std::string>{
                "2: RAPID(X): 0 is not above 0; the line is ignored",
                "3: RAPID(Y): -5000 is not above 0; the line is ignored",
                "4: RAPID(Z): a value is not a finite number; the line is ignored",
                "5: RAPID ACCELERATION(X): 0 is not above 0; the line is ignored",
                "6: MAXIMUM FEEDRATE: a value is not a finite number; the line is ignored",
                "7: ACCELERATION(Y): -0.3 is not above 0; the line is ignored",
                "8: TOOL CHANGE TIME: -1 is below 0; the line is ignored",
                "9: TOOL CHANGE POSITION: a value is not a finite number; the line is ignored",
                "10: STROKE RANGE(X): the minimum 500 exceeds the maximum -500; the line is "
                "ignored",
                "11: STROKE RANGE(Y): a value is not a finite number; the line is ignored",
                "13: AXIS1 VECTOR: the vector is too long; the line is ignored",
                "14: TABLE POSITION: a value is not a finite number; the line is ignored",
                "15: ANGLE HEAD(A): a value is not a finite number; the line is ignored",
                "16: VICE MODEL OFFSET: a value is not a finite number; the line is ignored",
            }));
  // The values at program start stand; no limit, vector or position is given.
  const MachineDefinition fresh;
  EXPECT_EQ(h.Machine.RapidRate, fresh.RapidRate);
  EXPECT_EQ(h.Machine.RapidAcceleration, fresh.RapidAcceleration);
  EXPECT_EQ(h.Machine.MaximumFeedrate, fresh.MaximumFeedrate);
  EXPECT_EQ(h.Machine.CuttingAcceleration, fresh.CuttingAcceleration);
  EXPECT_EQ(h.Machine.ToolChangeTime, fresh.ToolChangeTime);
  EXPECT_EQ(h.Machine.ToolChangePositionGiven, 0);
  EXPECT_EQ(h.Limits.AnyLimit, 0);
  EXPECT_EQ(h.Kinematics.Rotary[0].VectorGiven, 0);
  EXPECT_EQ(h.Kinematics.Rotary[0].Vector, (Vec3{1, 0, 0}));
  EXPECT_EQ(h.Kinematics.TablePosition, (Vec3{0, 0, 0}));
  EXPECT_EQ(h.Kinematics.AngleHeadA, 0.0);
  EXPECT_EQ(h.Kinematics.ToolDirectionInUse, 0);
  EXPECT_TRUE(h.Parts.ViceOffsets.empty());
}

}  // namespace
}  // namespace vestan
