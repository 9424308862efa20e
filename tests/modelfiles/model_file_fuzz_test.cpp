// Inputs kept from fuzzing the model files: each goes through the open
// command as the fuzz target sends it and is refused within the memory
// limit, whatever it declares.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "model/model_history.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

const fs::path kInputs = fs::path(VESTAN_FIXTURES_DIR) / "modelfiles" / "fuzz";
constexpr uint64_t kFuzzLimit = 64u << 20;

ModelFileOutcome OpenAs(const std::string& input, const std::string& ending, uint64_t limit,
                        DexelModel& model) {
  ScratchFolder scratch;
  const std::string path =
      scratch.Write("input" + ending, ScratchFolder::Read((kInputs / input).string()));
  ModelLoadSettings settings;
  settings.MemoryLimit = limit;
  CompressionApiCache api;
  return OpenWorkModelFile(model, path, settings, WorkOffsetFrame{}, api);
}

TEST(ModelFileFuzzInputs, RefusedWithinTheLimit) {
  struct Case {
    const char* file;
    const char* ending;
    int32_t result;
  };
  const Case cases[] = {
      // A uniform DMF of 172 bytes: 40000 x 40000 samples of one height
      // 10000 above the base, over 250 GB of columns.
      {"huge_grid.dmf", ".DMF", kModelNoMemory},
      // 60 x 60 samples in a checkerboard of 0 and 1000: 13 MB of slots, but
      // about 94 MB more of long columns in the cross sets (below).
      {"rough_heights.dmf", ".DMF", kModelNoMemory},
      // A sound header of 44 bytes announcing 4 GiB - 1 of plain data in four
      // chunks of one stored byte each, which cannot hold it.
      {"huge_plain.dmez", ".DMEZ", kCompressBadData},
      // The same with four-byte streams, which may: beyond the limit.
      {"huge_plain_coded.dmez", ".DMEZ", kCompressSourceTooLarge},
  };
  std::set<std::string> listed;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    listed.insert(c.file);
    DexelModel model;
    const ModelFileOutcome outcome = OpenAs(c.file, c.ending, kFuzzLimit, model);
    EXPECT_EQ(outcome.Result, c.result);
    const bool broken = c.result == kCompressBadData;
    EXPECT_EQ(outcome.Text, broken ? "Broken Data?" : "Memory over!");
    EXPECT_EQ(outcome.Caption, broken ? "Warning" : "Data size error");
    EXPECT_FALSE(model.Allocated());
    EXPECT_EQ(model.CountX, 0);
  }
  // Every kept input has its case.
  for (const fs::directory_entry& entry : fs::directory_iterator(kInputs))
    EXPECT_TRUE(listed.contains(entry.path().filename().string())) << entry.path();
}

TEST(ModelFileFuzzInputs, RoughHeightsLoadWithinTheirTrueSize) {
  // Slots: 60 * 60 + 2 * 60 * 1001 columns, 60 + 60 + 1001 grid lines. Every
  // row and column of samples alternates 0 and 1000: at each level 1..1000
  // all 59 pairs cross it and one end stands above it, 60 values in each of
  // the 60 X and 60 Y columns of that level: a long column of 72 bytes and
  // blocks of 496, 80 and 256 bytes for its 480, 60 and 240.
  const uint64_t slots = 174 + (3600 + 2 * 60 * 1001) * 108ull + 1121 * 8;
  const uint64_t need = slots + 2 * 60 * 1000 * (72 + 496 + 80 + 256ull);
  DexelModel model;
  ASSERT_EQ(OpenAs("rough_heights.dmf", ".DMF", 2 * need, model).Result, kModelOk);
  EXPECT_EQ(model.CountZ, 1001);
  EXPECT_EQ(EstimateModelMemory(model), need);
}

}  // namespace
}  // namespace vestan

namespace vestan {
namespace {

// An old-format DME file opened under an offset work frame turned a quarter
// about Z: its save reloads.
TEST(ModelFileFuzzInputs, OldDmeUnderATurnedFrameReloadsFromItsSave) {
  WorkOffsetFrame frame;
  frame.Origin = {10.5, -3.25, 0.125};
  frame.FrameOffset = 1;
  frame.FrameRotated = 1;
  frame.Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  frame.InverseMatrix = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  ScratchFolder scratch;
  const std::string path = scratch.Write(
      "input.DME", ScratchFolder::Read((fs::path(VESTAN_FIXTURES_DIR) / "modelfiles" /
                                        "old_dme_turned_frame.dme")
                                           .string()));
  ModelLoadSettings settings;
  settings.MemoryLimit = kFuzzLimit;
  settings.ImportChoice = 1;
  CompressionApiCache api;
  DexelModel model;
  ASSERT_EQ(OpenWorkModelFile(model, path, settings, frame, api).Result, kModelOk);
  const std::string image = BuildDmeImage(model, 0, frame);
  const std::string again = scratch.Write("again.DME", image);
  DexelModel reloaded;
  ASSERT_EQ(LoadDmeFile(reloaded, again, 0, frame, kFuzzLimit), kModelOk);
  EXPECT_EQ(BuildDmeImage(reloaded, 0, frame), image);
}

}  // namespace
}  // namespace vestan
