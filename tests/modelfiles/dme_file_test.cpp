// The DME file: layout, round trips, header letters, clamping on reading and
// damaged files.
#include "modelfiles/dme_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "model/stock.h"
#include "modelfiles/model_file_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::FileBytes;
using testing::ScratchFolder;

const WorkOffsetFrame kNoFrame{};

// The fixed part of a DME file: header, placement, counts, pitch, origin.
FileBytes DmeHead(const std::string& tag, int32_t nx, int32_t ny, int32_t nz, double pitch,
                  const Placement& placement = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) {
  FileBytes b;
  b.Text(tag);
  for (double v : placement) b.Put(v);
  b.Put(nx).Put(ny).Put(nz).Put(pitch).Put(0.0).Put(0.0).Put(0.0);
  return b;
}

// A 2 x 2 x 2 grid (pitch 1, origin 0) with one Z column [zLow, 1] and every
// other column empty: 4 Z, 4 Y and 4 X records.
std::string SmallDme(double zLow) {
  FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
  b.Column({zLow, 1.0}, 0x21, 77);
  for (int c = 0; c < 11; ++c) b.Column({});
  return b.Data;
}

TEST(DmeFile, LayoutOfASmallModel) {
  DexelModel model;
  ASSERT_EQ(CreateBoxModel(model, {0, 0, 0, 1, 1, 1}, 1.0), kModelOk);
  const std::string image = BuildDmeImage(model, 0, kNoFrame);
  // 2 x 2 x 2 grid: 4 columns per set, each [0, 1] (two values of 13 bytes).
  ASSERT_EQ(image.size(), 152u + 3 * 4 * (4 + 2 * 13));
  EXPECT_EQ(image.substr(0, 12), "V1.0M       ");
  int32_t nx = 0;
  double pitch = 0, firstValue = 0;
  std::memcpy(&nx, image.data() + 108, 4);
  std::memcpy(&pitch, image.data() + 120, 8);
  std::memcpy(&firstValue, image.data() + 152 + 4 + 8, 8);  // second value of column 0
  EXPECT_EQ(nx, 2);
  EXPECT_EQ(pitch, 1.0);
  EXPECT_EQ(firstValue, 1.0);
}

TEST(DmeFile, RoundTripsBitForBit) {
  ScratchFolder scratch;
  for (bool placed : {false, true}) {
    SCOPED_TRACE(placed ? "placed model" : "identity placement");
    DexelModel saved, loaded;
    testing::MakeSampleModel(saved, placed);
    const std::string path = scratch / "work.DME";
    ASSERT_EQ(SaveWorkModel(saved, path, 0, 0, kNoFrame), kSaveOk);
    ASSERT_EQ(GetDmeVariant(path), kDmeVariantMachine);
    ASSERT_EQ(LoadDmeFile(loaded, path, 0, kNoFrame), kModelOk);
    testing::ExpectSameModel(saved, loaded);
    EXPECT_EQ(loaded.Placed, placed ? 1 : 0);
    // The long column kept its own arrays, the 8-value one stayed inline.
    EXPECT_EQ(DexelColumnCount(loaded.ZSet(), ColumnIndexZ(loaded, 2, 1)), 9);
    EXPECT_EQ(DexelColumnCount(loaded.ZSet(), ColumnIndexZ(loaded, 1, 1)), 8);
    EXPECT_EQ(loaded.RangeLastZ, loaded.LastZ);
  }
}

TEST(DmeFile, BoxStockRoundTripKeepsBoundsAndSides) {
  ScratchFolder scratch;
  DexelModel saved, loaded;
  ASSERT_EQ(CreateBoxModel(saved, {-1, -2, -3, 3, 2, 1}, 0.5), kModelOk);
  const std::string path = scratch / "box.dme";  // lower case counts as ".DME"
  ASSERT_EQ(SaveWorkModel(saved, path, 0, 0, kNoFrame), kSaveOk);
  ASSERT_EQ(LoadDmeFile(loaded, path, 0, kNoFrame), kModelOk);
  testing::ExpectSameModel(saved, loaded);
  EXPECT_EQ(loaded.MinCorner(), (Vec3{-1, -2, -3}));
  EXPECT_EQ(loaded.MaxCorner(), (Vec3{3, 2, 1}));
  EXPECT_EQ(loaded.SideFlags(), (std::array<uint8_t, 6>{}));
}

TEST(DmeFile, HeaderLetterFollowsTheFrame) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSampleModel(model, true);
  WorkOffsetFrame frame;
  struct Case {
    const char* name;
    int32_t inWork;
    Vec3 origin;
    int32_t rotated;
    char letter;
  };
  for (const Case& c :
       {Case{"machine", 0, {5, 6, 7}, 1, 'M'}, Case{"trivial", 1, {0, 0, 0}, 0, 'N'},
        Case{"offset", 1, {5, 6, 7}, 0, 'W'}, Case{"rotated", 1, {0, 0, 0}, 1, 'W'}}) {
    SCOPED_TRACE(c.name);
    frame.Origin = c.origin;
    frame.FrameRotated = c.rotated;
    const std::string image = BuildDmeImage(model, c.inWork, frame);
    EXPECT_EQ(image.substr(0, 12), std::string("V1.0") + c.letter + "       ");
    Placement stored;
    std::memcpy(stored.data(), image.data() + 12, sizeof stored);
    if (c.letter != 'W') {
      EXPECT_EQ(stored, model.Placement);
    }
  }
  // Offset only: translation' = translation - origin, rotation kept.
  frame.Origin = {5, 6, 7};
  frame.FrameRotated = 0;
  Placement stored;
  std::memcpy(stored.data(), BuildDmeImage(model, 1, frame).data() + 12, sizeof stored);
  EXPECT_EQ(stored[9], 12.5 - 5);
  EXPECT_EQ(stored[10], -3.25 - 6);
  EXPECT_EQ(stored[11], 0.1 - 7);
  EXPECT_EQ(stored[0], model.Placement[0]);
}

TEST(DmeFile, WorkFrameSaveAndLoadReturnsThePlacement) {
  ScratchFolder scratch;
  DexelModel saved, loaded;
  testing::MakeSampleModel(saved, true);
  // A frame turned 30 degrees about Z and moved.
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  WorkOffsetFrame frame;
  frame.Matrix = {c, s, 0, -s, c, 0, 0, 0, 1};
  frame.InverseMatrix = InvertMatrix3(frame.Matrix);
  frame.FrameRotated = 1;
  frame.FrameOffset = 1;
  frame.Origin = {100, -50, 25};
  const std::string path = scratch / "w.DME";
  ASSERT_EQ(SaveWorkModel(saved, path, 0, 1, frame), kSaveOk);
  EXPECT_EQ(GetDmeVariant(path), kDmeVariantWork);
  ASSERT_EQ(LoadDmeFile(loaded, path, 1, frame), kModelOk);
  for (int k = 0; k < 12; ++k) EXPECT_NEAR(loaded.Placement[k], saved.Placement[k], 1e-12) << k;
  // Loaded with mode 0 the stored (work-frame) placement stays: the Z image
  // of the model's X axis is no longer (0, 1, 0).
  ASSERT_EQ(LoadDmeFile(loaded, path, 0, frame), kModelOk);
  EXPECT_GT(std::fabs(loaded.Placement[1] - 1.0), 0.1);
}

TEST(DmeFile, RotatedFrameStoresInverseRotationTimesPlacement) {
  ScratchFolder scratch;
  DexelModel saved, loaded;
  ASSERT_EQ(CreateBoxModel(saved, {0, 0, 0, 1, 1, 1}, 1.0), kModelOk);
  // Model turned a quarter about X (X stays, Y -> Z, Z -> -Y), moved to
  // (1, 2, 3).
  saved.Placement = {1, 0, 0, 0, 0, 1, 0, -1, 0, 1, 2, 3};
  FinishModelPlacement(saved);
  // Frame turned a quarter about Z: (x, y, z) -> (-y, x, z); its inverse
  // (x, y, z) -> (y, -x, z). Origin (1, 0, 0).
  WorkOffsetFrame frame;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  frame.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  frame.FrameRotated = 1;
  frame.FrameOffset = 1;
  frame.Origin = {1, 0, 0};
  const std::string image = BuildDmeImage(saved, 1, frame);
  Placement stored;
  std::memcpy(stored.data(), image.data() + 12, sizeof stored);
  // Columns: inverse of (1,0,0), (0,0,1), (0,-1,0); translation: inverse of
  // (1,2,3) - (1,0,0) = (0,2,3), that is (2, 0, 3). Applying the model
  // rotation after the inverse would give (0,0,-1), (1,0,0), (0,-1,0).
  EXPECT_EQ(stored, (Placement{0, -1, 0, 0, 0, 1, -1, 0, 0, 2, 0, 3}));
  // Mode 1 turns it back exactly: every element is 0 or +-1.
  ASSERT_EQ(LoadDmeFile(loaded, scratch.Write("r.DME", image), 1, frame), kModelOk);
  EXPECT_EQ(loaded.Placement, saved.Placement);
}

TEST(DmeFile, FirstAndLastValuesAreClampedToTheGrid) {
  ScratchFolder scratch;
  struct Case {
    double zLow;
    double storedLow;
    uint8_t lowFlag;
  };
  // Grid z(0) = 0, z(1) = 1. A column from -0.5 is raised to 0 and reaches
  // the face; one from 0.5 leaves the face open.
  for (const Case& c : {Case{-0.5, 0.0, 0}, Case{0.5, 0.5, 1}, Case{0.0, 0.0, 0}}) {
    SCOPED_TRACE(c.zLow);
    DexelModel model;
    ASSERT_EQ(LoadDmeFile(model, scratch.Write("c.DME", SmallDme(c.zLow)), 0, kNoFrame), kModelOk);
    EXPECT_EQ(DexelColumnValues(model.ZSet(), 0)[0], c.storedLow);
    EXPECT_EQ(DexelColumnFlags(model.ZSet(), 0)[1], 0x21);
    EXPECT_EQ(DexelColumnAttributes(model.ZSet(), 0)[1], 77);
    EXPECT_EQ(model.SideFlags()[4], c.lowFlag);
    EXPECT_EQ(model.SideFlags()[5], 0);  // ends on z(1)
    // The lowest first value is taken before clamping.
    EXPECT_EQ(model.MinCorner()[2], c.zLow);
  }
}

TEST(DmeFile, VariantIsTheLetterAtByteFour) {
  ScratchFolder scratch;
  struct Case {
    std::string header;
    int32_t variant;
  };
  for (const Case& c : {Case{"V1.0M       ", 1}, Case{"V1.0W       ", 2}, Case{"V1.0N       ", 3},
                        Case{"V1.0X       ", 0}, Case{"XXXXW       ", 2}, Case{"V1.0W", 0}}) {
    EXPECT_EQ(GetDmeVariant(scratch.Write("v.dme", c.header)), c.variant) << c.header;
  }
  EXPECT_EQ(GetDmeVariant(scratch / "missing.dme"), 0);
}

TEST(DmeFile, SaveRefusesWhatItCannotWrite) {
  ScratchFolder scratch;
  DexelModel model, absent;
  testing::MakeSampleModel(model, false);
  std::string error;
  EXPECT_EQ(SaveWorkModel(model, scratch / "model.txt", 0, 0, kNoFrame, &error), kSaveUnknownKind);
  EXPECT_FALSE(std::filesystem::exists(scratch / "model.txt"));
  EXPECT_EQ(SaveWorkModel(absent, scratch / "a.DME", 0, 0, kNoFrame), kSaveNoModel);
  EXPECT_EQ(SaveWorkModel(model, scratch / "no/such/folder/a.DME", 0, 0, kNoFrame),
            kSaveTempNotCreated);
}

TEST(DmeFile, FailedSaveKeepsThePreviousFile) {
  ScratchFolder scratch;
  DexelModel model;
  testing::MakeSampleModel(model, false);
  // A write-protected file stays as it is.
  const std::string kept = scratch.Write("kept.DME", "previous");
  ::chmod(kept.c_str(), 0444);
  std::string error;
  EXPECT_EQ(SaveWorkModel(model, kept, 0, 0, kNoFrame, &error), kSaveNotWritten);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ScratchFolder::Read(kept), "previous");
  // A folder in the way: the rename fails and no temporary file is left.
  std::filesystem::create_directory(scratch / "dir.DME");
  EXPECT_EQ(SaveWorkModel(model, scratch / "dir.DME", 0, 0, kNoFrame), kSaveNotRenamed);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // kept.DME and dir.DME
}

// Damaged files: each is refused with -20 and leaves the model absent.
TEST(DmeFile, DamagedFilesAreRefused) {
  ScratchFolder scratch;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"negative ny", DmeHead("V1.0M       ", 2, -2, 2, 1.0).Data},
      {"one grid point", DmeHead("V1.0M       ", 2, 1, 2, 1.0).Data},
      {"pitch 0", DmeHead("V1.0M       ", 2, 2, 2, 0.0).Data},
      {"pitch not a number", DmeHead("V1.0M       ", 2, 2, 2, nan).Data},
      {"placement not a number",
       DmeHead("V1.0M       ", 2, 2, 2, 1.0, {nan, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}).Data},
      // Counts within 32 bits whose records the file cannot hold: refused
      // before the 1.6e9 columns are allocated.
      {"counts beyond the file", DmeHead("V1.0M       ", 40000, 40000, 2, 1.0).Data},
      {"column products beyond 32 bits", DmeHead("V1.0M       ", 70000, 70000, 2, 1.0).Data},
      {"empty file", ""},
  };
  {
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
    b.Column({0.0, nan});
    for (int c = 0; c < 11; ++c) b.Column({});
    cases.push_back({"value not a number", b.Data});
  }
  {
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
    b.Column({0.5, 0.2});
    for (int c = 0; c < 11; ++c) b.Column({});
    cases.push_back({"values that do not ascend", b.Data});
  }

  {
    // Finite pitch, but x(2) = 2 * 1e308 is not a number a grid line can be.
    FileBytes b = DmeHead("V1.0M       ", 3, 2, 2, 1e308);
    for (int c = 0; c < 6 + 6 + 4; ++c) b.Column({});
    cases.push_back({"last grid line beyond a double", b.Data});
  }
  {
    // The image of the model's Z axis is lost: no inverse to take poses back.
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0, {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    for (int c = 0; c < 12; ++c) b.Column({});
    cases.push_back({"placement that cannot be inverted", b.Data});
  }
  {
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
    b.Put(int32_t{-3});
    cases.push_back({"negative column count", b.Data});
  }
  {
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
    b.Put(int32_t{1000});  // 13000 bytes announced, 40 left
    for (int c = 0; c < 10; ++c) b.Put(int32_t{0});
    cases.push_back({"column beyond the file", b.Data});
  }
  {
    FileBytes b = DmeHead("V1.0M       ", 2, 2, 2, 1.0);
    b.Column(std::vector<double>(kMaxColumnValues + 1, 0.5));
    for (int c = 0; c < 11; ++c) b.Column({});
    cases.push_back({"column longer than a column may be", b.Data});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DexelModel model;
    testing::MakeSampleModel(model, false);
    EXPECT_EQ(LoadDmeFile(model, scratch.Write("bad.DME", c.bytes), 0, kNoFrame), kModelBadGrid);
    EXPECT_EQ(model.CountX, 0);
    EXPECT_FALSE(model.Allocated());
  }
  DexelModel model;
  EXPECT_EQ(LoadDmeFile(model, scratch / "missing.DME", 0, kNoFrame), kModelBadGrid);
}

TEST(DmeFile, EveryTruncationAndNoiseIsRefusedSafely) {
  ScratchFolder scratch;
  // A 2 x 2 x 2 model with a long column: every field kind within 400 bytes.
  DexelModel sample;
  ASSERT_EQ(CreateBoxModel(sample, {0, 0, 0, 1, 1, 1}, 1.0), kModelOk);
  testing::PutTestColumn(sample, kDirectionZ, 1, 1, 9, 0.0, 0.1);
  const std::string image = BuildDmeImage(sample, 0, kNoFrame);
  for (size_t length = 0; length < image.size(); ++length) {
    DexelModel model;
    ASSERT_EQ(LoadDmeFile(model, scratch.Write("t.DME", image.substr(0, length)), 0, kNoFrame),
              kModelBadGrid)
        << length;
    ASSERT_EQ(model.CountX, 0);
  }
  // Noise over the counts and records: refused or read, never a crash.
  std::mt19937 random(26);
  for (int round = 0; round < 200; ++round) {
    std::string noisy = image;
    for (int hit = 0; hit < 8; ++hit) {
      const size_t at = 108 + random() % (noisy.size() - 108);
      noisy[at] = static_cast<char>(random());
    }
    DexelModel model;
    const int32_t result = LoadDmeFile(model, scratch.Write("n.DME", noisy), 0, kNoFrame);
    ASSERT_TRUE(result == kModelOk || (result == kModelBadGrid && model.CountX == 0)) << round;
  }
}

TEST(DmeFile, ModelBoundsAreTheBoxOfThePlacedCorners) {
  DexelModel model;
  // A quarter turn about Z moved by (10, 0, 0): x' = 10 - y, y' = x.
  model.Placement = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 0, 0};
  Vec3 low{0, 0, 0}, high{2, 3, 4};
  ComputeModelBounds(model, low, high);
  EXPECT_EQ(low, (Vec3{7, 0, 0}));
  EXPECT_EQ(high, (Vec3{10, 2, 4}));
}

}  // namespace
}  // namespace vestan
