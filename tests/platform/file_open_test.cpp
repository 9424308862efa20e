#include "platform/file_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

TEST(FileOpen, BackslashesSeparateFolders) {
  ScratchFolder scratch;
  scratch.Write("sub/a.txt", "x");
  EXPECT_TRUE(OpenFileStream(scratch.Path() + "sub\\a.txt", "r"));
  EXPECT_FALSE(OpenFileStream("", "r"));
  EXPECT_FALSE(CanOpenForReading(scratch / "sub"));  // a folder is no file
  EXPECT_EQ(ReadFileBytes(scratch / "sub/a.txt"), "x");
  EXPECT_FALSE(ReadFileBytes(scratch / "none.txt"));
}

TEST(FileOpen, ReplaceKeepsModeAndLeavesNoTemporaryFile) {
  ScratchFolder scratch;
  const std::string file = scratch.Write("vestan.ini", "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  EXPECT_EQ(ReplaceFileContents(file, "new"), kFileReplaced);
  EXPECT_EQ(ScratchFolder::Read(file), "new");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1);
}

TEST(FileOpen, ReplaceThroughLinkKeepsLink) {
  ScratchFolder scratch;
  const std::string target = scratch.Write("real.ini", "old");
  std::filesystem::create_symlink(target, scratch / "link.ini");
  EXPECT_EQ(ReplaceFileContents(scratch / "link.ini", "new"), kFileReplaced);
  EXPECT_TRUE(std::filesystem::is_symlink(scratch / "link.ini"));
  EXPECT_EQ(ScratchFolder::Read(target), "new");
}

TEST(FileOpen, FailedReplaceReportsAndLeavesOldState) {
  ScratchFolder scratch;
  std::string error;
  EXPECT_EQ(ReplaceFileContents(scratch / "missing/x.ini", "new", &error), kFileTempNotCreated);
  EXPECT_FALSE(error.empty());
  // A folder in the way: the rename fails, the folder and its file stay.
  scratch.Write("taken/keep.txt", "keep");
  error.clear();
  EXPECT_EQ(ReplaceFileContents(scratch / "taken", "new", &error), kFileNotRenamed);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ScratchFolder::Read(scratch / "taken/keep.txt"), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1);
}

TEST(FileOpen, WriteProtectedFileIsNotReplaced) {
  ScratchFolder scratch;
  const std::string file = scratch.Write("vestan.ini", "pinned");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  std::string error;
  EXPECT_EQ(ReplaceFileContents(file, "new", &error), kFileNotWritten);
  EXPECT_NE(error.find("write-protected"), std::string::npos);
  EXPECT_EQ(ScratchFolder::Read(file), "pinned");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1);
}

// A file written in pieces: the target keeps its old content until the
// commit, and a file abandoned before it leaves nothing behind.
TEST(FileOpen, ReplacementFileInPieces) {
  ScratchFolder scratch;
  const std::string file = scratch.Write("part.stl", "old");
  const auto entries = [&] {
    return std::distance(std::filesystem::directory_iterator(scratch.Path()),
                         std::filesystem::directory_iterator());
  };
  {
    ReplacementFile out;
    ASSERT_EQ(out.Open(file), kFileReplaced);
    EXPECT_TRUE(out.Write("0123"));
    EXPECT_TRUE(out.Write("456789"));
    EXPECT_EQ(entries(), 2);
    EXPECT_EQ(ScratchFolder::Read(file), "old");
  }
  EXPECT_EQ(entries(), 1);
  EXPECT_EQ(ScratchFolder::Read(file), "old");

  ReplacementFile out;
  ASSERT_EQ(out.Open(file), kFileReplaced);
  EXPECT_TRUE(out.Write("0123456789"));
  EXPECT_TRUE(out.WriteAt(2, "ab"));
  EXPECT_EQ(out.Commit(), kFileReplaced);
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(ScratchFolder::Read(file), "01ab456789");
  EXPECT_EQ(entries(), 1);
  std::string error;
  EXPECT_EQ(out.Commit(&error), kFileNotWritten);  // nothing open any more
  EXPECT_FALSE(out.Write("x"));

  // A folder that does not exist: nothing is written, and the reason is given.
  ReplacementFile nowhere;
  EXPECT_EQ(nowhere.Open(scratch / "missing/x.dme", &error), kFileTempNotCreated);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(nowhere.Write("x"));
  EXPECT_EQ(nowhere.Commit(), kFileNotWritten);
}

TEST(FileOpen, PipesAreNotReadAsFiles) {
  ScratchFolder scratch;
  ASSERT_EQ(::mkfifo((scratch / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(CanOpenForReading(scratch / "pipe"));  // would block
  EXPECT_FALSE(ReadFileBytes(scratch / "pipe"));
}

}  // namespace
}  // namespace vestan
