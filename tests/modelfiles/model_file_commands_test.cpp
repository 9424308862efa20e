// The open and save commands around the compressed forms: what is loaded,
// what is refused with which message, and what stays untouched.
#include "modelfiles/model_file_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::FileBytes;
using testing::ScratchFolder;

struct Commands : ::testing::Test {
  ScratchFolder Scratch;
  ModelLoadSettings Settings;
  WorkOffsetFrame Frame;
  CompressionApiCache Api;
  DexelModel Saved;
  void SetUp() override { testing::MakeSampleModel(Saved, true); }

  ModelFileOutcome Open(DexelModel& model, const std::string& path) {
    return OpenWorkModelFile(model, path, Settings, Frame, Api);
  }
  ModelFileOutcome Save(const std::string& path, int32_t exportCoordinate = 0) {
    return SaveWorkModelFile(Saved, path, 0, exportCoordinate, Frame, Api);
  }
};

TEST_F(Commands, CompressedSaveAndOpenRoundTrip) {
  const std::string path = Scratch / "work.DMEZ";
  ASSERT_EQ(Save(path).Result, kSaveOk);
  EXPECT_EQ(IsCompressedFile(path), 1);
  DexelModel loaded;
  const ModelFileOutcome opened = Open(loaded, path);
  ASSERT_EQ(opened.Result, kModelOk);
  EXPECT_TRUE(opened.Text.empty());
  testing::ExpectSameModel(Saved, loaded);
  // Nothing but the target is left in its folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Scratch.Path()), {}), 1);
}

// Points the system's temporary folder at another folder while it lives.
class TemporaryFolderOverride {
 public:
  explicit TemporaryFolderOverride(const std::string& folder) {
    if (const char* value = std::getenv("TMPDIR")) previous_ = value;
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryFolderOverride() {
    if (previous_)
      ::setenv("TMPDIR", previous_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> previous_;
};

TEST_F(Commands, CompressedFormsLeaveNoTemporaryFiles) {
  const std::string temporary = Scratch / "temporary";
  std::filesystem::create_directory(temporary);
  {
    const TemporaryFolderOverride override(temporary);
    ASSERT_EQ(Save(Scratch / "a.DMEZ").Result, kSaveOk);
    DexelModel loaded;
    EXPECT_EQ(Open(loaded, Scratch / "a.DMEZ").Result, kModelOk);
    const std::string packed = ScratchFolder::Read(Scratch / "a.DMEZ");
    const std::string cut = Scratch.Write("cut.DMEZ", packed.substr(0, packed.size() - 3));
    EXPECT_LT(Open(loaded, cut).Result, 0);
    EXPECT_LT(Save(Scratch / "no/folder/b.DMEZ").Result, 0);
  }
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

TEST_F(Commands, CompressedFileNamedDmeIsDetected) {
  ASSERT_EQ(Save(Scratch / "a.DMEZ").Result, kSaveOk);
  std::filesystem::rename(Scratch / "a.DMEZ", Scratch / "a.dme");
  DexelModel loaded;
  ASSERT_EQ(Open(loaded, Scratch / "a.dme").Result, kModelOk);
  testing::ExpectSameModel(Saved, loaded);
}

TEST_F(Commands, RefusedFilesLeaveTheModelUntouched) {
  ASSERT_EQ(Save(Scratch / "plain.DME").Result, kSaveOk);
  ASSERT_EQ(Save(Scratch / "good.DMEZ").Result, kSaveOk);
  const std::string packed = ScratchFolder::Read(Scratch / "good.DMEZ");
  std::string badCheck = packed;
  badCheck[6] = static_cast<char>(badCheck[6] ^ 0x40);
  std::filesystem::rename(Scratch / "plain.DME", Scratch / "plain.DMEZ");
  struct Case {
    const char* name;
    std::string path;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"plain file named .DMEZ", Scratch / "plain.DMEZ", "Broken Data?"},
      {"header check byte", Scratch.Write("check.DMEZ", badCheck), "Broken Data?"},
      {"truncated chunk", Scratch.Write("cut.DMEZ", packed.substr(0, packed.size() - 3)),
       "Broken Data?"},
      {"unknown ending", Scratch / "good.txt", "Data Destroyed!"},
  };
  std::filesystem::copy_file(Scratch / "good.DMEZ", Scratch / "good.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DexelModel model;
    testing::MakeSampleModel(model, false);
    const ModelFileOutcome outcome = Open(model, c.path);
    EXPECT_LT(outcome.Result, 0);
    EXPECT_EQ(outcome.Text, c.text);
    EXPECT_EQ(outcome.Caption, outcome.Result == kModelBadGrid ? "Data error" : "Warning");
    DexelModel reference;
    testing::MakeSampleModel(reference, false);
    testing::ExpectSameModel(reference, model);
  }
}

TEST_F(Commands, DamagedPlainFileIsDataDestroyed) {
  DexelModel model;
  testing::MakeSampleModel(model, false);
  const ModelFileOutcome outcome = Open(model, Scratch.Write("bad.DME", "V1.0M   short"));
  EXPECT_EQ(outcome.Result, kModelBadGrid);
  EXPECT_EQ(outcome.Text, "Data Destroyed!");
  EXPECT_EQ(outcome.Caption, "Data error");
  EXPECT_EQ(model.CountX, 0);
}

TEST_F(Commands, ModelOrPlainFileBeyondTheMemoryLimitIsMemoryOver) {
  ASSERT_EQ(Save(Scratch / "s.DME").Result, kSaveOk);
  ASSERT_EQ(Save(Scratch / "s.DMEZ").Result, kSaveOk);
  const uint64_t plainBytes = std::filesystem::file_size(Scratch / "s.DME");
  // The sample's 5 x 4 x 3 grid in one slot (47 columns, 12 grid lines), and
  // for the values the file stores (its records without the counts, 13
  // bytes a value) long columns of 9, 232 bytes for every 117 begun.
  const uint64_t values = plainBytes - 152 - 47 * 4;
  const uint64_t modelBytes = 174 + 47 * 108 + 12 * 8 + (values + 116) / 117 * 232;
  ASSERT_LT(plainBytes, modelBytes);
  struct Case {
    const char* name;
    std::string path;
    uint64_t limit;
    bool keepsTheModel;  // refused before the loader runs
  };
  const std::vector<Case> cases = {
      {"plain model", Scratch / "s.DME", modelBytes - 1, false},
      {"decompressed model", Scratch / "s.DMEZ", modelBytes - 1, false},
      {"decompressed file", Scratch / "s.DMEZ", plainBytes - 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settings.MemoryLimit = c.limit;
    DexelModel model;
    testing::MakeSampleModel(model, false);
    const ModelFileOutcome outcome = Open(model, c.path);
    EXPECT_EQ(outcome.Result, c.keepsTheModel ? kCompressSourceTooLarge : kModelNoMemory);
    EXPECT_EQ(outcome.Text, "Memory over!");
    EXPECT_EQ(outcome.Caption, "Data size error");
    if (c.keepsTheModel) {
      DexelModel reference;
      testing::MakeSampleModel(reference, false);
      testing::ExpectSameModel(reference, model);
    } else {
      EXPECT_EQ(model.CountX, 0);
      EXPECT_FALSE(model.Allocated());
    }
  }
  Settings.MemoryLimit = modelBytes;
  DexelModel model;
  ASSERT_EQ(Open(model, Scratch / "s.DMEZ").Result, kModelOk);
  testing::ExpectSameModel(Saved, model);
}

TEST_F(Commands, HeaderLetterSetsTheImportChoiceInAnOffsetFrame) {
  Frame.Origin = {10, 20, 30};
  Frame.FrameOffset = 1;
  ASSERT_EQ(Save(Scratch / "w.DME", 1).Result, kSaveOk);
  ASSERT_EQ(Save(Scratch / "m.DME", 0).Result, kSaveOk);
  DexelModel model;
  Settings.ImportChoice = 0;
  ASSERT_EQ(Open(model, Scratch / "w.DME").Result, kModelOk);
  EXPECT_EQ(Settings.ImportChoice, 1);
  // The offset is subtracted on saving and added back on loading.
  for (int k = 0; k < 12; ++k) EXPECT_NEAR(model.Placement[k], Saved.Placement[k], 1e-12) << k;
  ASSERT_EQ(Open(model, Scratch / "m.DME").Result, kModelOk);
  EXPECT_EQ(Settings.ImportChoice, 0);
  testing::ExpectSameModel(Saved, model);
}

TEST_F(Commands, HeaderWithoutLetterGoesToTheGeneralLoader) {
  std::string image = BuildDmeImage(Saved, 0, Frame);
  image[4] = 'Q';
  DexelModel model;
  ASSERT_EQ(Open(model, Scratch.Write("q.DME", image)).Result, kModelOk);
  testing::ExpectSameModel(Saved, model);
}

TEST_F(Commands, DmfCompressedOrPlainUnderEitherName) {
  FileBytes dmf;
  dmf.Text("DMF HEADER 16 B.");
  for (double v : {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0}) dmf.Put(v);
  dmf.Put(int32_t{2}).Put(int32_t{2}).Put(int32_t{0}).Put(1.0).Put(0.0).Put(0.0);
  dmf.Put(int32_t{0}).Put(int32_t{0});
  for (float h : {1.0f, 2.0f, 3.0f, 4.0f}) dmf.Put(h);
  dmf.Put(int32_t{0}).Put(int32_t{0}).Put(0.0f);
  const std::string plain = Scratch.Write("h.DMF", dmf.Data);
  ASSERT_EQ(CompressFile(plain, Scratch / "h.DMFZ"), kCompressOk);
  for (const std::string& path : {plain, Scratch / "h.DMFZ", Scratch.Write("p.DMFZ", dmf.Data)}) {
    DexelModel model;
    ASSERT_EQ(Open(model, path).Result, kModelOk) << path;
    EXPECT_EQ(model.CountZ, 5) << path;  // ceil(4 / 1) + 1
  }
}

TEST_F(Commands, FailedSaveKeepsThePreviousFileAndSaysWhy) {
  const std::string previous = Scratch.Write("old.DMEZ", "previous");
  ::chmod(previous.c_str(), 0444);
  const ModelFileOutcome outcome = Save(previous);
  EXPECT_LT(outcome.Result, 0);
  EXPECT_NE(outcome.Text.find("old.DMEZ"), std::string::npos);
  EXPECT_EQ(ScratchFolder::Read(previous), "previous");
  EXPECT_LT(Save(Scratch / "work.DMFZ").Result, 0);  // nothing writes a DMF
  EXPECT_FALSE(std::filesystem::exists(Scratch / "work.DMFZ"));
}

}  // namespace
}  // namespace vestan
