#include "definitions/offset_memory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "definition_test_support.h"

namespace vestan {
namespace {

using testing::ControllerHarness;
using testing::NoteMentions;
using testing::TempFolder;

namespace fs = std::filesystem;

class OffsetMemoryTest : public ::testing::Test {
 protected:
  DefinitionReadResult ReadText(std::string_view content) {
    path_ = folder_.Write("hanuc.ctl", content);
    return h_.Read(path_);
  }
  OffsetMemory& M() { return h_.Offsets; }
  std::string File() const { return TempFolder::Read(path_); }

  TempFolder folder_;
  ControllerHarness h_;
  std::string path_;
};

TEST_F(OffsetMemoryTest, ToolOffsetForms) {
  struct Case {
    const char* line;
    char letter;
    int32_t number;
    float geometry, wear;
  } cases[] = {
      {"MEMORY D01= 5.000000,0.010000", 'D', 1, 5.0f, 0.01f},
      {"MEMORY D01= 5 0.01", 'D', 1, 5.0f, 0.01f},
      {"MEMORY D01= 5\t0.01", 'D', 1, 5.0f, 0.01f},
      {"MEMORY D01= 5 , 0.01", 'D', 1, 5.0f, 0.01f},
      {"MEMORY D01= 5", 'D', 1, 5.0f, 0.0f},
      {"MEMORY D01= 5,", 'D', 1, 5.0f, 0.0f},
      {"MEMORY D01= 5,X", 'D', 1, 5.0f, 0.0f},  // a wear that is no number
      {"MEMORY D1=-2.5", 'D', 1, -2.5f, 0.0f},
      {"MEMORY D120=3.5,1", 'D', 120, 3.5f, 1.0f},  // numbers above 99 take three digits
      {"MEMORY D001=4", 'D', 1, 4.0f, 0.0f},        // the value follows the whole number
      {"MEMORY=H07= 100.5,-0.02", 'H', 7, 100.5f, -0.02f},
      {"memory h999=1", 'H', 999, 1.0f, 0.0f},
      {"D120=3.5", 'D', 120, 3.5f, 0.0f},  // without the word MEMORY
      {"H3 = 50", 'H', 3, 50.0f, 0.0f},
  };
  for (const Case& c : cases) {
    const DefinitionReadResult result = ReadText(std::string(c.line) + "\n");
    EXPECT_TRUE(result.Notes.empty()) << c.line;
    const bool d = c.letter == 'D';
    EXPECT_EQ((d ? M().DGeometry : M().HGeometry)[c.number], c.geometry) << c.line;
    EXPECT_EQ((d ? M().DWear : M().HWear)[c.number], c.wear) << c.line;
  }
}

TEST_F(OffsetMemoryTest, FTableWorkOffsetsAndReferencePoints) {
  const DefinitionReadResult result = ReadText(
      "MEMORY F12=300\n"
      "F120=1500\n"
      "MEMORY G54= (10,-20.5,0,0,0)\n"
      "MEMORY G59=(1,1,1,1,1)\n"
      "MEMORY WK150= (1,2,3,4,5)\n"
      "MEMORY WK0=(9,0,0,0,0)\n"
      "MEMORY EXOFS=(1,0,0,0,0)\n"
      "MEMORY REF-PT2=1,2,3,4,5\n"
      "MEMORY REF-PT=7,8\n");
  EXPECT_TRUE(result.Notes.empty());
  EXPECT_EQ(M().FTable[12], 300.0f);
  EXPECT_EQ(M().FTable[120], 1500.0f);
  EXPECT_EQ(M().WorkOffsets[1], (WorkOffsetValues{10, -20.5, 0, 0, 0}));
  EXPECT_EQ(M().WorkOffsets[6], (WorkOffsetValues{1, 1, 1, 1, 1}));
  EXPECT_EQ(M().WorkOffsets[150], (WorkOffsetValues{1, 2, 3, 4, 5}));
  EXPECT_EQ(M().WorkOffsets[0], (WorkOffsetValues{1, 0, 0, 0, 0}));  // EXOFS after WK0
  EXPECT_EQ(M().ReferencePoints[1].Given, 1);
  EXPECT_EQ(M().ReferencePoints[1].Values, (std::array<float, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(M().ReferencePoints[0].Given, 1);  // any other character: point 1
  EXPECT_EQ(M().ReferencePoints[0].Values, (std::array<float, 5>{7, 8, 0, 0, 0}));
  EXPECT_EQ(M().ReferencePoints[2].Given, 0);
}

TEST_F(OffsetMemoryTest, NumbersOutsideTheirTablesAreRefused) {
  for (const char* line :
       {"MEMORY D0=5", "MEMORY D1000=5", "MEMORY H-1=5", "MEMORY F1000=5",
        "MEMORY WK201=(1,1,1,1,1)", "MEMORY WK-1=(1,1,1,1,1)", "MEMORY G50=(1,1,1,1,1)",
        "MEMORY G53=(1,1,1,1,1)", "MEMORY G5X=(1,1,1,1,1)", "D99999999999=5"}) {
    const DefinitionReadResult result = ReadText(std::string(line) + "\n");
    EXPECT_EQ(result.Notes.size(), 1u) << line;
    EXPECT_TRUE(NoteMentions(result, "hanuc.ctl:1:")) << line;
    for (const WorkOffsetValues& entry : M().WorkOffsets)
      ASSERT_EQ(entry, (WorkOffsetValues{})) << line;
  }
}

TEST_F(OffsetMemoryTest, ComposeAddsTheExternalOffset) {
  ReadText("MEMORY EXOFS=(1,0,0,0,0)\nMEMORY G55=(100,50,0,2,3)\n");
  M().SelectedWorkOffset = 2;
  EXPECT_EQ(&ComposeWorkOffset(M()), &M().ActiveWorkOffset);  // reports the composed offset
  testing::FollowWorkOffset(M(), h_.Frame);
  EXPECT_EQ(M().ActiveWorkOffset, (WorkOffsetValues{101, 50, 0, 2, 3}));
  EXPECT_EQ(h_.Frame.Origin, (std::array<double, 3>{101, 50, 0}));
  EXPECT_EQ(h_.Frame.Rotary1, 2.0);
  EXPECT_EQ(h_.Frame.Rotary2, 3.0);
  EXPECT_EQ(h_.Frame.Matrix, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  // No selection, or one outside the table: the external offset alone.
  for (int32_t selected : {0, 201, -4, 1 << 30}) {
    M().SelectedWorkOffset = selected;
    ComposeWorkOffset(M());
    EXPECT_EQ(M().ActiveWorkOffset, (WorkOffsetValues{1, 0, 0, 0, 0})) << selected;
  }
}

TEST(WriteOffsetValues, TrimsTrailingZeros) {
  std::string out;
  WriteOffsetValues(out, {1.5, 2, 0, -0.25, 123456.000001}, "\n");
  EXPECT_EQ(out, "(1.5,2,0,-0.25,123456.000001)\n");
  out.clear();
  WriteOffsetValues(out, {-0.0000001, 10, 100.1, 0.5, -7}, "\r\n");
  EXPECT_EQ(out, "(-0,10,100.1,0.5,-7)\r\n");  // "-0.000000" keeps its sign
}

TEST_F(OffsetMemoryTest, SavingToolOffsetsRewritesOnlyTheirLines) {
  const std::string original =
      "NAME(MAX20)=TEST\n"
      "MEMORY D05= 1.000000,0.000000\n"
      "; a remark\n"
      "MEMORY H01= 100.000000,0.000000\n"
      "MEMORY D07= 3.000000,0.000000\n"
      "MEMORY D0=9\n"  // refused when read: kept as written
      "UNIT=1/1000\n";
  ReadText(original);
  M().DGeometry[5] = 2.5f;
  M().DGeometry[7] = 0.0f;  // its line goes
  M().DGeometry[2] = 1.25f;
  M().DWear[2] = -0.5f;
  M().DGeometry[300] = 7.0f;
  M().HGeometry[1] = 50.0f;  // not a D line: stays as written
  std::string error;
  ASSERT_EQ(
      SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File, &error),
      kOffsetsSaved)
      << error;
  EXPECT_EQ(File(),
            "NAME(MAX20)=TEST\n"
            "MEMORY D05= 2.500000,0.000000\n"
            "; a remark\n"
            "MEMORY H01= 100.000000,0.000000\n"
            "MEMORY D0=9\n"
            "UNIT=1/1000\n"
            "MEMORY D02= 1.250000,-0.500000\n"
            "MEMORY D300= 7.000000,0.000000\n");
  EXPECT_EQ(TempFolder::Read(path_ + ".bak"), original);
  EXPECT_FALSE(fs::exists(path_ + ".new"));
  EXPECT_EQ(h_.File.Time, fs::last_write_time(path_));

  // Read back: the same offsets.
  const std::vector<float> geometry = M().DGeometry;
  h_.Read(path_);
  EXPECT_EQ(M().DGeometry, geometry);
  EXPECT_EQ(M().DWear[2], -0.5f);
}

TEST_F(OffsetMemoryTest, OneValueFormBareLinesAndLengthOffsets) {
  ReadText(
      "TOOL OFFSET MEMORY=A\n"
      "D05=1\n"
      "D06=1\n"
      "MEMORY H02= 5\n");
  M().DGeometry[5] = 2.5f;
  M().DWear[5] = 9.0f;  // not written in the one-value form
  M().DGeometry[6] = 0.0f;
  M().HGeometry[2] = 0.0f;
  M().HWear[2] = 1.0f;  // ignored by the one-value form: the line goes
  M().HGeometry[4] = 4.0f;
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File),
            kOffsetsSaved);
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kLength, path_, M(), h_.Controller, h_.File),
            kOffsetsSaved);
  // A bare D line keeps its form; one that became zero goes, so that the
  // cleared value does not come back at the next read.
  EXPECT_EQ(File(),
            "TOOL OFFSET MEMORY=A\n"
            "D05= 2.500000\n"
            "MEMORY H04= 4.000000\n");
}

TEST_F(OffsetMemoryTest, SavingKeepsEachLineEnding) {
  ReadText("UNIT=1/1000\r\nMEMORY D01= 1.000000,0.000000\r\nMEMORY D02=2\nREMARK");
  M().DGeometry[1] = 3.0f;
  M().DGeometry[2] = 4.0f;
  M().DGeometry[3] = 5.0f;
  ASSERT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File),
            kOffsetsSaved);
  EXPECT_EQ(File(),
            "UNIT=1/1000\r\n"
            "MEMORY D01= 3.000000,0.000000\r\n"
            "MEMORY D02= 4.000000,0.000000\n"
            "REMARK\r\n"  // the last line ends before a new one follows
            "MEMORY D03= 5.000000,0.000000\r\n");
}

TEST_F(OffsetMemoryTest, SavingWorkOffsets) {
  ReadText(
      "PRODUCT=OSP\n"
      "MEMORY G54= (1,2,3,4,5)\n"
      "MEMORY EXOFS= (9,9,9,9,9)\n"
      "MEMORY WK7=(7,0,0,0,0)\n"
      "MEMORY G5X=(1,1,1,1,1)\n");
  M().WorkOffsets[1] = {10.5, -20, 0, 0, 0};
  M().WorkOffsets[0] = {};
  M().WorkOffsets[7] = {};
  M().WorkOffsets[2] = {1, 0, 0, 0, 0.125};
  M().WorkOffsets[150] = {1, 2, 3, 4, 5};
  ASSERT_EQ(SaveWorkOffsetMemory(path_, M(), h_.Controller, h_.File), kOffsetsSaved);
  // The G54 line keeps its form; a new G55 of an OSP controller is WK2.
  EXPECT_EQ(File(),
            "PRODUCT=OSP\n"
            "MEMORY G54= (10.5,-20,0,0,0)\n"
            "MEMORY G5X=(1,1,1,1,1)\n"
            "MEMORY WK2= (1,0,0,0,0.125)\n"
            "MEMORY WK150= (1,2,3,4,5)\n");

  ReadText("UNIT=1/1000\n");
  M().WorkOffsets[0] = {1, 0, 0, 0, 0};
  M().WorkOffsets[6] = {6, 0, 0, 0, 0};
  ASSERT_EQ(SaveWorkOffsetMemory(path_, M(), h_.Controller, h_.File), kOffsetsSaved);
  EXPECT_EQ(File(),
            "UNIT=1/1000\n"
            "MEMORY EXOFS= (1,0,0,0,0)\n"
            "MEMORY G59= (6,0,0,0,0)\n");
  h_.Read(path_);
  EXPECT_EQ(M().WorkOffsets[6], (WorkOffsetValues{6, 0, 0, 0, 0}));
}

TEST_F(OffsetMemoryTest, FailedSavesLeaveEverythingAsItWas) {
  const std::string original = "MEMORY D01= 1.000000,0.000000\n";
  ReadText(original);
  folder_.Write("hanuc.ctl.bak", "old backup\n");
  const FileTime stored = h_.File.Time;
  M().DGeometry[1] = 2.0f;
  const auto expectUntouched = [&](const char* what) {
    EXPECT_EQ(File(), original) << what;
    EXPECT_EQ(TempFolder::Read(path_ + ".bak"), "old backup\n") << what;
    EXPECT_EQ(h_.File.Time, stored) << what;
  };

  // ".new" cannot be created.
  fs::create_directory(path_ + ".new");
  std::string error;
  EXPECT_EQ(
      SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File, &error),
      kOffsetsNotWritten);
  EXPECT_FALSE(error.empty());
  expectUntouched("new is a folder");
  fs::remove(path_ + ".new");

  // A write-protected file stays as it is.
  fs::permissions(path_, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File),
            kOffsetsNotWritten);
  expectUntouched("write-protected");
  EXPECT_FALSE(fs::exists(path_ + ".new"));
  fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);

  // No file to rewrite.
  EXPECT_EQ(
      SaveWorkOffsetMemory((folder_.Path() / "none.ctl").string(), M(), h_.Controller, h_.File),
      kOffsetsNotRead);
  EXPECT_FALSE(fs::exists(folder_.Path() / "none.ctl.new"));
  EXPECT_EQ(h_.File.Time, stored);
}

TEST_F(OffsetMemoryTest, ABackupThatCannotBeReplacedStopsBeforeTheFileMoves) {
  const std::string original = "MEMORY D01=1\n";
  ReadText(original);
  folder_.Write("hanuc.ctl.bak/keep", "x");  // a folder in the way of the backup
  M().DGeometry[1] = 2.0f;
  EXPECT_EQ(SaveToolOffsetMemory(ToolOffsetKind::kRadius, path_, M(), h_.Controller, h_.File),
            kOffsetsNotReplaced);
  EXPECT_EQ(File(), original);
  EXPECT_FALSE(fs::exists(path_ + ".new"));
}

}  // namespace
}  // namespace vestan
