#include <gtest/gtest.h>

#include "nc/recording_plugins.h"

namespace vestan {
namespace {

// The fakes stand for modules in the reader's tests: what they deliver and
// how a path runs out must hold.
TEST(RecordingReadPlugin, DeliversItsPathThenNothing) {
  RecordingReadPlugin fake;
  ReadPlugin& plugin = fake;
  fake.Entries = {ReadPluginEntry::kOpen, ReadPluginEntry::kPathIjk};
  PluginPathRecord first;
  first.LineNumber = 10;
  fake.Path.push_back(first);
  EXPECT_FALSE(plugin.Has(ReadPluginEntry::kPath));
  plugin.Open("part.nc");
  PluginPathRecord record;
  EXPECT_EQ(plugin.ReadPathIjk(record), 1);
  EXPECT_EQ(record.LineNumber, 10);
  EXPECT_EQ(record.Delivered, 1);
  EXPECT_EQ(plugin.ReadPathIjk(record), 0);
  EXPECT_EQ(record.Delivered, 0);
  EXPECT_EQ(fake.Calls,
            (std::vector<std::string>{"VSREADOPEN part.nc", "VSREADPATHIJK", "VSREADPATHIJK"}));
}

TEST(RecordingCommentPlugin, RecordsTheEntryOfEachSource) {
  RecordingCommentPlugin fake;
  CommentPlugin& plugin = fake;
  fake.ToolStatus = kCommentPluginDone;
  PluginTool tool;
  int32_t status = 0;
  plugin.DefineTool(CommentPluginSource::kLine, "T1(D10)", tool, status);
  EXPECT_EQ(status, kCommentPluginDone);
  ArborRecord arbor;
  plugin.DefineArbor(CommentPluginSource::kFile, "part.nc", arbor, status);
  ASSERT_EQ(fake.Calls.size(), 2u);
  EXPECT_EQ(fake.Calls[0].Entry, CommentPluginEntry::kTool);
  EXPECT_EQ(fake.Calls[1].Entry, CommentPluginEntry::kArborFile);
  EXPECT_EQ(fake.Calls[1].Text, "part.nc");
}

}  // namespace
}  // namespace vestan
