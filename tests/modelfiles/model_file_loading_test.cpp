// The general loader: DME files of both header layouts, DMF height maps, the
// cross sets derived from heights, and refusals.
#include "modelfiles/model_file_loading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "model/model_history.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::FileBytes;
using testing::ScratchFolder;

const WorkOffsetFrame kNoFrame{};
const ModelLoadSettings kMachine{};

struct Dmf {
  int32_t nx = 3, ny = 2;
  double pitch = 1.0;
  double scale = 0.0;
  int32_t tagLevel = 0;
  int32_t uniform = 0;
  Vec3 translation{0, 0, 0};
  std::vector<float> heights;  // float heights (scale 0)
  std::vector<int32_t> words;  // integer heights (scale != 0)
  std::vector<uint8_t> tags;
  std::vector<int32_t> attributes;
  float base = 0.0f;
  int32_t baseWord = 0;

  std::string Bytes() const {
    FileBytes b;
    b.Text("DMF HEADER 16 B.");
    for (double v : {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0}) b.Put(v);
    for (double v : translation) b.Put(v);
    b.Put(nx).Put(ny).Put(int32_t{0}).Put(pitch).Put(0.0).Put(scale).Put(tagLevel).Put(uniform);
    if (scale == 0.0)
      for (float h : heights) b.Put(h);
    else
      for (int32_t w : words) b.Put(w);
    for (uint8_t t : tags) b.Put(t);
    for (int32_t a : attributes) b.Put(a);
    b.Put(int32_t{0}).Put(int32_t{0});
    if (scale == 0.0)
      b.Put(base);
    else
      b.Put(baseWord);
    return b.Data;
  }
};

std::vector<double> Values(const DexelModel& model, int direction, int32_t column) {
  const auto v = DexelColumnValues(model.SetByDirection(direction), column);
  return {v.begin(), v.end()};
}

TEST(ProfileIntervals, UnderTopAndOverBottom) {
  const std::vector<double> p{0, 1, 2, 3};
  struct Case {
    const char* name;
    bool underTop;
    std::vector<double> h;
    double level;
    std::vector<double> expected;
  };
  const std::vector<Case> cases = {
      // Rising 0 -> 10 crosses 5 at 0 + 5/10; falling 10 -> 0 at 2 + 5/10.
      {"hill", true, {0, 10, 10, 0}, 5, {0.5, 2.5}},
      {"above the top", true, {0, 10, 10, 0}, 11, {}},
      {"below the lowest", true, {0, 10, 10, 0}, -1, {0, 3}},
      {"starts and ends high", true, {10, 0, 0, 10}, 5, {0, 0.5, 2.5, 3}},
      // A sample on the level is taken as it is.
      {"sample on the level", true, {0, 5, 10, 0}, 5, {1, 2.5}},
      {"valley", false, {10, 0, 0, 10}, 5, {0.5, 2.5}},
      {"below the bottom", false, {10, 0, 0, 10}, -1, {}},
      {"above the highest", false, {10, 0, 0, 10}, 11, {0, 3}},
      {"bottom sample on the level", false, {10, 5, 0, 10}, 5, {1, 2.5}},
  };
  for (const Case& c : cases) {
    const auto [low, high] = std::minmax_element(c.h.begin(), c.h.end());
    std::vector<double> out;
    const int32_t n = c.underTop
                          ? ProfileIntervalsUnderTop(c.h, *low, *high, 1.0, c.level, p, out)
                          : ProfileIntervalsOverBottom(c.h, *low, *high, 1.0, c.level, p, out);
    EXPECT_EQ(out, c.expected) << c.name;
    EXPECT_EQ(n, static_cast<int32_t>(c.expected.size())) << c.name;
  }
}

TEST(DmfFile, ScaledIntegerHeightsAreRoundedToFloat) {
  ScratchFolder scratch;
  Dmf dmf;
  dmf.nx = 2;
  dmf.scale = 0.01;
  dmf.words = {1234, 1234, 1234, 1234};
  dmf.baseWord = 0;
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("h.dmf", dmf.Bytes()), kMachine, kNoFrame),
            kModelOk);
  const double height = static_cast<float>(1234 * 0.01);
  EXPECT_EQ(Values(model, kDirectionZ, 0), (std::vector<double>{0.0, height}));
  // nz = ceil(12.34 / 1) + 1.
  EXPECT_EQ(model.CountZ, 14);
  EXPECT_EQ(model.MaxCorner()[2], height);
}

TEST(DmfFile, UniformHeightBuildsABox) {
  ScratchFolder scratch;
  Dmf dmf;
  dmf.uniform = 1;
  dmf.tagLevel = 2;
  dmf.translation = {10, 20, 99};
  dmf.heights = {2.0f};
  dmf.tags = {0x30};
  dmf.attributes = {55};
  dmf.base = 0.5f;
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("u.DMF", dmf.Bytes()), kMachine, kNoFrame),
            kModelOk);
  // Origin (10, 20, base); nz = ceil((2 - 0.5) / 1) + 1 = 3.
  EXPECT_EQ(model.OriginX, 10);
  EXPECT_EQ(model.OriginY, 20);
  EXPECT_EQ(model.OriginZ, 0.5);
  ASSERT_EQ(model.CountZ, 3);
  for (int32_t c = 0; c < model.ColumnsZ; ++c) {
    EXPECT_EQ(Values(model, kDirectionZ, c), (std::vector<double>{0.5, 2.0}));
    EXPECT_EQ(DexelColumnFlags(model.ZSet(), c)[1], 0x30);
    EXPECT_EQ(DexelColumnAttributes(model.ZSet(), c)[1], 55);
  }
  // Levels 0.5 and 1.5 lie under the top; 2.5 above it.
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Values(model, kDirectionY, ColumnIndexY(model, 0, i)), (std::vector<double>{20, 21}));
    EXPECT_EQ(Values(model, kDirectionY, ColumnIndexY(model, 1, i)), (std::vector<double>{20, 21}));
    EXPECT_TRUE(Values(model, kDirectionY, ColumnIndexY(model, 2, i)).empty());
  }
  EXPECT_EQ(Values(model, kDirectionX, ColumnIndexX(model, 1, 0)), (std::vector<double>{10, 12}));
  EXPECT_EQ(model.SideFlags(), (std::array<uint8_t, 6>{1, 1, 1, 1, 0, 1}));
}

TEST(DmfFile, SampleBelowTheBaseLeavesNoMaterial) {
  ScratchFolder scratch;
  Dmf dmf;
  dmf.tagLevel = 2;
  dmf.heights = {2, -1, 2, 2, -1, 2};
  dmf.tags = {1, 2, 3, 4, 5, 6};
  dmf.attributes = {10, 20, 30, 40, 50, 60};
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("b.DMF", dmf.Bytes()), kMachine, kNoFrame),
            kModelOk);
  ASSERT_EQ(model.CountZ, 3);  // ceil(2 / 1) + 1
  EXPECT_TRUE(Values(model, kDirectionZ, ColumnIndexZ(model, 1, 0)).empty());
  EXPECT_TRUE(Values(model, kDirectionZ, ColumnIndexZ(model, 1, 1)).empty());
  // Per-sample tags and attributes go to the top value.
  const int32_t corner = ColumnIndexZ(model, 2, 1);
  EXPECT_EQ(DexelColumnFlags(model.ZSet(), corner)[1], 6);
  EXPECT_EQ(DexelColumnAttributes(model.ZSet(), corner)[1], 60);
  for (int32_t k = 0; k < 3; ++k)
    EXPECT_TRUE(Values(model, kDirectionY, ColumnIndexY(model, k, 1)).empty()) << k;
  // Along X at level 0: 2 -> -1 crosses at 2/3, -1 -> 2 at 1 + 1/3.
  const std::vector<double> x = Values(model, kDirectionX, ColumnIndexX(model, 0, 0));
  ASSERT_EQ(x.size(), 4u);
  EXPECT_EQ(x[0], 0);
  EXPECT_DOUBLE_EQ(x[1], 2.0 / 3);
  EXPECT_DOUBLE_EQ(x[2], 1 + 1.0 / 3);
  EXPECT_EQ(x[3], 2);
}

TEST(DmfFile, WorkImportTakesTheFramePlacement) {
  ScratchFolder scratch;
  Dmf dmf;
  dmf.heights = {1, 1, 1, 1, 1, 1};
  WorkOffsetFrame frame;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  frame.Origin = {7, 8, 9};
  ModelLoadSettings work;
  work.ImportChoice = 1;
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("w.DMF", dmf.Bytes()), work, frame),
            kModelOk);
  EXPECT_EQ(model.Placement, (Placement{0, 1, 0, -1, 0, 0, 0, 0, 1, 7, 8, 9}));
  EXPECT_EQ(model.Placed, 1);
}

TEST(DmfFile, DamagedFilesAreRefused) {
  ScratchFolder scratch;
  Dmf good;
  good.tagLevel = 2;
  good.heights = {1, 2, 3, 1, 2, 3};
  good.tags = std::vector<uint8_t>(6, 1);
  good.attributes = std::vector<int32_t>(6, 9);
  struct Case {
    const char* name;
    Dmf dmf;
  };
  std::vector<Case> cases;
  const auto add = [&](const char* name, auto change) {
    Dmf d = good;
    change(d);
    cases.push_back({name, d});
  };
  add("pitch 0", [](Dmf& d) { d.pitch = 0; });
  add("negative pitch", [](Dmf& d) { d.pitch = -1; });
  add("pitch not a number", [](Dmf& d) { d.pitch = std::nan(""); });
  // x(2) = 2 * 1e308 overflows; nz = ceil(3 / 1e308) + 1 = 2 stays usable.
  add("last grid line beyond a double", [](Dmf& d) { d.pitch = 1e308; });
  add("one sample per row", [](Dmf& d) { d.nx = 1; });
  add("more samples than stored", [](Dmf& d) { d.ny = 3; });
  add("counts far beyond the file", [](Dmf& d) { d.nx = d.ny = 40000; });
  add("height not a number", [](Dmf& d) { d.heights[4] = std::numeric_limits<float>::infinity(); });
  add("scaled height beyond a float", [](Dmf& d) {
    d.scale = 1e300;
    d.words = {1, 1, 1, 1, 1, 1};
  });
  add("scale not a number", [](Dmf& d) {
    d.scale = std::nan("");
    d.words = {1, 1, 1, 1, 1, 1};
  });
  add("every height on the base", [](Dmf& d) { d.heights = std::vector<float>(6, 0.0f); });
  add("attributes missing", [](Dmf& d) { d.attributes.pop_back(); });
  for (const Case& c : cases) {
    DexelModel model;
    testing::MakeSampleModel(model, false);
    EXPECT_EQ(
        LoadModelFileIdentity(model, scratch.Write("d.DMF", c.dmf.Bytes()), kMachine, kNoFrame),
        kModelBadGrid)
        << c.name;
    EXPECT_EQ(model.CountX, 0) << c.name;
  }
  // Every truncation, and noise over the fields and samples.
  const std::string bytes = good.Bytes();
  for (size_t length = 0; length < bytes.size(); ++length) {
    DexelModel model;
    ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("t.DMF", bytes.substr(0, length)),
                                    kMachine, kNoFrame),
              kModelBadGrid)
        << length;
  }
  // Noise over every field except the pitch, the scale, the heights and the
  // base level: those decide nz, and a height far above the base is a large
  // model, not a damaged file.
  std::vector<size_t> noisePlaces;
  for (size_t at = 0; at < bytes.size(); ++at) {
    const bool sizing = (at >= 124 && at < 132) || (at >= 140 && at < 148) ||
                        (at >= 156 && at < 156 + 4 * 6) || at >= bytes.size() - 4;
    if (!sizing) noisePlaces.push_back(at);
  }
  std::mt19937 random(2026);
  for (int round = 0; round < 200; ++round) {
    std::string noisy = bytes;
    for (int hit = 0; hit < 4; ++hit)
      noisy[noisePlaces[random() % noisePlaces.size()]] = static_cast<char>(random());
    DexelModel model;
    const int32_t result =
        LoadModelFileIdentity(model, scratch.Write("n.DMF", noisy), kMachine, kNoFrame);
    ASSERT_TRUE(result == kModelOk || (result < 0 && model.CountX == 0)) << round;
  }
}

// Nothing of a refused model is left allocated.
void ExpectNothingAllocated(const DexelModel& model) {
  EXPECT_EQ(model.CountX, 0);
  EXPECT_FALSE(model.Allocated());
  EXPECT_TRUE(model.GridX.empty() && model.GridY.empty() && model.GridZ.empty());
  EXPECT_TRUE(model.BlockLists.empty() && model.BlockDirty.empty() && model.BlockLowX.empty());
}

TEST(ModelMemoryLimit, DmfGridBeyondTheLimitIsRefusedBeforeAllocating) {
  ScratchFolder scratch;
  // 3 x 3 samples of height 2 over base 0, pitch 1: nz = 3, 27 columns and 9
  // grid lines, 120 + 48 + 6 + 27 * (4 + 13 * 8) per slot + 9 * 8.
  Dmf dmf;
  dmf.nx = dmf.ny = 3;
  dmf.uniform = 1;
  dmf.heights = {2.0f};
  const std::string path = scratch.Write("m.DMF", dmf.Bytes());
  struct Case {
    int32_t slots;
    uint64_t limit;
    int32_t result;
  };
  const Case cases[] = {
      {1, 174 + 27 * 108 + 9 * 8, kModelOk},
      {1, 174 + 27 * 108 + 9 * 8 - 1, kModelNoMemory},
      {2, 2 * (174 + 27 * 108) + 9 * 8, kModelOk},
      {2, 2 * (174 + 27 * 108) + 9 * 8 - 1, kModelNoMemory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    ModelLoadSettings settings;
    settings.MemoryLimit = c.limit;
    DexelModel model;
    testing::MakeSampleModel(model, false);
    FreeDexelModel(model);
    model.SlotCount = c.slots;
    ASSERT_EQ(LoadModelFileIdentity(model, path, settings, kNoFrame), c.result);
    if (c.result == kModelNoMemory) {
      ExpectNothingAllocated(model);
    } else {
      EXPECT_EQ(model.CountZ, 3);
      EXPECT_EQ(EstimateModelMemory(model), c.limit);
    }
  }

  // A file of 172 bytes declaring 40000 x 40000 samples up to 10000 above
  // the base: 40000 * 40000 + 2 * 40000 * 10001 columns, above 250 GB.
  Dmf huge = dmf;
  huge.nx = huge.ny = 40000;
  huge.heights = {10000.0f};
  const std::string hugePath = scratch.Write("huge.DMF", huge.Bytes());
  ModelLoadSettings small;
  small.MemoryLimit = 256u << 20;
  DexelModel model;
  EXPECT_EQ(LoadModelFileIdentity(model, hugePath, small, kNoFrame), kModelNoMemory);
  ExpectNothingAllocated(model);
  // By default the limit is the machine's memory.
  if (DexelModelBytes(1, 40000, 40000, 10001) <= PhysicalMemoryBytes())
    GTEST_SKIP() << "this machine has memory for the huge grid";
  EXPECT_EQ(ModelLoadSettings{}.MemoryLimit, PhysicalMemoryBytes());
  EXPECT_EQ(LoadModelFileIdentity(model, hugePath, kMachine, kNoFrame), kModelNoMemory);
  ExpectNothingAllocated(model);
}

TEST(ModelMemoryLimit, DmfCrossSetsCountWithTheSlots) {
  ScratchFolder scratch;
  // Two rows of 20 samples going 0, 10, 0, 10, ... over base 0, pitch 1:
  // nz = 11. Along X each level 1..10 is crossed by all 19 pairs and the
  // last sample stands on it: 20 values, a long column of 72 bytes and
  // blocks of 176, 32 and 96 bytes for its 160, 20 and 80, in both rows.
  // Level 0 and every Y column keep two values.
  Dmf dmf;
  dmf.nx = 20;
  dmf.ny = 2;
  for (int s = 0; s < 40; ++s) dmf.heights.push_back(s % 2 == 0 ? 0.0f : 10.0f);
  // Columns 20 * 2 + 2 * 11 + 20 * 11, grid lines 20 + 2 + 11.
  const uint64_t slots = 174 + 282 * 108 + 33 * 8;
  const uint64_t need = slots + 2 * 10 * (72 + 176 + 32 + 96);
  const std::string path = scratch.Write("w.DMF", dmf.Bytes());
  ModelLoadSettings settings;
  settings.MemoryLimit = need - 1;
  ASSERT_GE(settings.MemoryLimit, slots);
  DexelModel model;
  EXPECT_EQ(LoadModelFileIdentity(model, path, settings, kNoFrame), kModelNoMemory);
  ExpectNothingAllocated(model);
  // The bound takes every level a pair spans and one more on either side.
  settings.MemoryLimit = need + 1024;
  ASSERT_EQ(LoadModelFileIdentity(model, path, settings, kNoFrame), kModelOk);
  EXPECT_EQ(model.CountZ, 11);
  EXPECT_EQ(EstimateModelMemory(model), need);
}

TEST(ModelMemoryLimit, DmeOnBothReaders) {
  ScratchFolder scratch;
  DexelModel saved;
  testing::MakeSampleModel(saved, true);
  const std::string image = BuildDmeImage(saved, 0, kNoFrame);
  const std::string path = scratch.Write("s.DME", image);
  // 5 x 4 x 3 points: 20 + 12 + 15 columns, 12 grid lines; and, as the
  // values the file stores (13 bytes each, the records without their
  // counts) could all be in long columns of 9, one of 232 bytes (72, and
  // blocks of 80, 32 and 48) for every 117 bytes begun.
  const uint64_t values = image.size() - 152 - 47 * 4;
  const uint64_t bytes = 174 + 47 * 108 + 12 * 8 + (values + 116) / 117 * 232;
  DexelModel model;
  EXPECT_EQ(LoadDmeFile(model, path, 0, kNoFrame, bytes - 1), kModelNoMemory);
  ExpectNothingAllocated(model);
  ASSERT_EQ(LoadDmeFile(model, path, 0, kNoFrame, bytes), kModelOk);
  testing::ExpectSameModel(saved, model);

  ModelLoadSettings settings;
  settings.MemoryLimit = bytes - 1;
  EXPECT_EQ(LoadModelFileIdentity(model, path, settings, kNoFrame), kModelNoMemory);
  ExpectNothingAllocated(model);
  settings.MemoryLimit = bytes;
  ASSERT_EQ(LoadModelFileIdentity(model, path, settings, kNoFrame), kModelOk);
  testing::ExpectSameModel(saved, model);
}

TEST(ModelFileLoading, DmeHeaderLayouts) {
  ScratchFolder scratch;
  DexelModel saved;
  testing::MakeSampleModel(saved, false);
  const std::string image = BuildDmeImage(saved, 0, kNoFrame);
  // "v1.0" in lower case: the placement is read and snapped.
  std::string lower = image;
  lower[0] = 'v';
  const Placement nearly{0.99999, 1e-10, 0, 0, 1, 0, 0, 0, -0.99999, 1e-10, 2.5, 0};
  std::memcpy(lower.data() + 12, nearly.data(), sizeof nearly);
  DexelModel model;
  ASSERT_EQ(LoadModelFileIdentity(model, scratch.Write("l.DME", lower), kMachine, kNoFrame),
            kModelOk);
  EXPECT_EQ(model.Placement, (Placement{1, 0, 0, 0, 1, 0, 0, 0, -1, 0, 2.5, 0}));
  // The older layout: no placement block, counts right after the header.
  std::string older = "OLD DME FILE" + image.substr(108);
  DexelModel old;
  ASSERT_EQ(LoadModelFileIdentity(old, scratch.Write("o.DME", older), kMachine, kNoFrame),
            kModelOk);
  EXPECT_EQ(old.Placed, 0);
  testing::ExpectSameModel(saved, old);
  EXPECT_EQ(LoadDmeFile(old, scratch.Write("o.DME", older), 0, kNoFrame), kModelBadGrid);
}

TEST(ModelFileLoading, UnknownEndingLeavesTheModelAlone) {
  ScratchFolder scratch;
  DexelModel model, before;
  testing::MakeSampleModel(model, true);
  testing::MakeSampleModel(before, true);
  const std::string text = scratch.Write("model.txt", BuildDmeImage(model, 0, kNoFrame));
  EXPECT_EQ(LoadModelFileIdentity(model, text, kMachine, kNoFrame), kModelBadGrid);
  testing::ExpectSameModel(before, model);
  EXPECT_EQ(ModelFileKindOf("a.dmf"), ModelFileKind::kDmf);
  EXPECT_EQ(ModelFileKindOf("a.Stl"), ModelFileKind::kStl);
  EXPECT_EQ(ModelFileKindOf("a.DMEZ"), ModelFileKind::kUnknown);
}

}  // namespace
}  // namespace vestan
