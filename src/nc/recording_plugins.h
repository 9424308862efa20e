// Plug-ins for tests: they have the entries a test lists, record every call
// by name in order, and deliver what the test put in them.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "nc/plugin_interfaces.h"

namespace vestan {

class RecordingReadPlugin : public ReadPlugin {
 public:
  std::set<ReadPluginEntry> Entries;
  std::vector<std::string> Calls;  // entry names, "VSREADOPEN path" with its argument
  PluginTool Tool;
  PluginToolLength ToolLength;
  ArborRecord Arbor;
  AxisPosition StartPoint{};
  // Handed out one per path call; then nothing is delivered.
  std::deque<PluginPathRecord> Path;

  bool Has(ReadPluginEntry entry) const override { return Entries.count(entry) != 0; }
  void Open(std::string_view programPath) override {
    Calls.push_back("VSREADOPEN " + std::string(programPath));
  }
  void ReadTool(PluginTool& tool) override {
    Calls.push_back("VSREADTOOL");
    tool = Tool;
  }
  void ReadToolLength(PluginToolLength& length) override {
    Calls.push_back("VSREADTOOLLEN");
    length = ToolLength;
  }
  void ReadArbor(ArborRecord& arbor) override {
    Calls.push_back("VSREADARBOR");
    arbor = Arbor;
  }
  void ReadStartPoint(AxisPosition& start) override {
    Calls.push_back("VSREADSTARTPOINT");
    start = StartPoint;
  }
  int32_t ReadPath(PluginPathRecord& record) override { return Next("VSREADPATH", record); }
  int32_t ReadPathIjk(PluginPathRecord& record) override { return Next("VSREADPATHIJK", record); }
  void Close() override { Calls.push_back("VSREADCLOSE"); }

 private:
  int32_t Next(const char* name, PluginPathRecord& record) {
    Calls.push_back(name);
    if (Path.empty()) {
      record.Delivered = 0;
      return 0;
    }
    record = Path.front();
    record.Delivered = 1;
    Path.pop_front();
    return 1;
  }
};

class RecordingCommentPlugin : public CommentPlugin {
 public:
  std::set<CommentPluginEntry> Entries;
  // The entry and the text of every call.
  struct Call {
    CommentPluginEntry Entry;
    std::string Text;
  };
  std::vector<Call> Calls;
  PluginTool Tool;
  PluginToolLength ToolLength;
  ArborRecord Arbor;
  // The status each kind answers with.
  int32_t ToolStatus = 1;
  int32_t ToolLengthStatus = 1;
  int32_t ArborStatus = 1;

  bool Has(CommentPluginEntry entry) const override { return Entries.count(entry) != 0; }
  void DefineTool(CommentPluginSource source, std::string_view text, PluginTool& tool,
                  int32_t& status) override {
    Record(source, CommentPluginEntry::kTool, text);
    tool = Tool;
    status = ToolStatus;
  }
  void DefineToolLength(CommentPluginSource source, std::string_view text, PluginToolLength& length,
                        int32_t& status) override {
    Record(source, CommentPluginEntry::kToolLength, text);
    length = ToolLength;
    status = ToolLengthStatus;
  }
  void DefineArbor(CommentPluginSource source, std::string_view text, ArborRecord& arbor,
                   int32_t& status) override {
    Record(source, CommentPluginEntry::kArbor, text);
    arbor = Arbor;
    status = ArborStatus;
  }

 private:
  // The line entry of a kind is followed by its file entry.
  void Record(CommentPluginSource source, CommentPluginEntry lineEntry, std::string_view text) {
    const int32_t offset = source == CommentPluginSource::kFile ? 1 : 0;
    Calls.push_back({static_cast<CommentPluginEntry>(static_cast<int32_t>(lineEntry) + offset),
                     std::string(text)});
  }
};

}  // namespace vestan
