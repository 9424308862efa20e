#include "platform/log_file.h"

#include <gtest/gtest.h>

#include "platform/recording_host.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

TEST(LogFile, EntryStartsWithLocalTimeAndFullwidthColon) {
  std::tm time{};
  time.tm_year = 2024 - 1900;
  time.tm_mon = 2;
  time.tm_mday = 2;
  time.tm_hour = 9;
  time.tm_min = 5;
  time.tm_sec = 3;
  EXPECT_EQ(FormatLogEntry(time, "prog.nc"), "2024/03/02 09:05:03\x81\x46prog.nc");
}

TEST(LogFile, OpensInMissingLogFolderAndAppendsEntries) {
  ScratchFolder scratch;
  const std::string folder = scratch / "logs";
  LogFile log;
  OpenLogFile(log, folder);
  ASSERT_TRUE(log.Stream);
  WriteLogLine(log, "a.nc");
  AppendLogText(log, " - The Work data does not exist.\n");
  CloseLogFile(log);
  OpenLogFile(log, folder + "/");
  WriteLogLine(log, "b.nc");
  AppendLogText(log, "\n");
  CloseLogFile(log);

  const std::string text = ScratchFolder::Read(folder + "/vestan.log");
  const size_t first = text.find('\n');
  ASSERT_NE(first, std::string::npos);
  // "yyyy/mm/dd hh:mm:ss" is 19 characters, then the two-byte colon.
  EXPECT_EQ(text.substr(19, 2), "\x81\x46");
  EXPECT_EQ(text.substr(21, first - 21), "a.nc - The Work data does not exist.");
  EXPECT_EQ(text.substr(first + 1 + 21), "b.nc\n");
}

TEST(LogFile, ClosedLogWritesNothing) {
  ScratchFolder scratch;
  LogFile log;
  OpenLogFile(log, scratch / "missing/twice");  // two levels: cannot be made
  EXPECT_FALSE(log.Stream);
  WriteLogLine(log, "ignored");
  AppendLogText(log, "ignored\n");
  CloseLogFile(log);
  EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
}

TEST(OutputFile, CreatesOneMissingFolderLevel) {
  ScratchFolder scratch;
  RecordingHost host;
  const std::string folder = scratch / "reports";
  FileStream stream = OpenOutputFile(false, folder + "/length.txt", folder, &host, 1);
  ASSERT_TRUE(stream);
  std::fputs("first\n", stream.get());
  stream.reset();
  stream = OpenOutputFile(true, folder + "/length.txt", folder, &host, 1);
  ASSERT_TRUE(stream);
  std::fputs("second\n", stream.get());
  stream.reset();
  EXPECT_EQ(ScratchFolder::Read(folder + "/length.txt"), "first\nsecond\n");
  EXPECT_TRUE(host.Messages.empty());
}

TEST(OutputFile, TwoMissingLevelsFailWithWarning) {
  ScratchFolder scratch;
  const std::string folder = scratch / "a/b";
  const std::string path = folder + "/verify.txt";
  for (const int32_t english : {1, 0}) {
    RecordingHost host;
    EXPECT_FALSE(OpenOutputFile(false, path, folder, &host, english));
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Caption, path);
    EXPECT_EQ(host.Messages[0].Text, english ? "Write protect" : "書き込み保護されています");
    EXPECT_TRUE(host.Messages[0].Topmost);
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "a"));
  // Without a host nothing is shown.
  EXPECT_FALSE(OpenOutputFile(false, path, folder, nullptr, 1));
}

TEST(OutputFile, EmptyFolderCreatesNothing) {
  ScratchFolder scratch;
  RecordingHost host;
  EXPECT_FALSE(OpenOutputFile(false, scratch / "new/out.txt", "", &host, 1));
  EXPECT_FALSE(std::filesystem::exists(scratch / "new"));
  EXPECT_EQ(host.Messages.size(), 1u);
}

}  // namespace
}  // namespace vestan
