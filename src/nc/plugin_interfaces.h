// What the NC reader asks of a read plug-in (a module that supplies the tool
// path in place of an NC file) and of the NC-comment plug-in (a module that
// defines tools from NC comments). The plug-in loader adapts a loaded
// module's entry points to these interfaces; a module may lack any entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/tool_table.h"
#include "foundation/vector_math.h"
#include "model/position_state.h"

namespace vestan {

// A read plug-in's entry points ("VSREADTOTALBLOCK" ... "VSREADCLOSE").
enum class ReadPluginEntry : int32_t {
  kTotalBlock,
  kOpen,
  kTool,
  kToolLength,
  kArbor,
  kStartPoint,
  kPath,
  kPathIjk,
  kClose,
};

// The kind a path record takes after the IJK form delivered it: the XY
// plane, which that form cannot name.
inline constexpr int32_t kPluginIjkRecordKind = 17;

// Record types from this one on are tool changes (to the type less it).
inline constexpr int32_t kPluginToolChangeType = 1000;

// One path record as a read plug-in fills it.
struct PluginPathRecord {
  int32_t LineNumber = 0;  // 0 none
  // The motion: 0 rapid, 1 line, 2 and 3 arcs; a tool change from
  // kPluginToolChangeType on.
  int32_t Type = 0;
  // The record's kind: its plane, 17, 18 or 19 as G17 to G19.
  int32_t Kind = kPluginIjkRecordKind;
  // The kind-specific block: the feed of the move.
  double Feed = 0.0;
  AxisPosition End{};
  Vec3 Centre{};
  Vec3 ToolAxis{};
  int32_t Delivered = 0;  // non-zero when a record came
};

// Bytes of a plug-in tool's name, its end included.
inline constexpr size_t kPluginToolNameBytes = 96;

// A tool a plug-in delivers into the tool table's entry 0, before its kind is
// mapped: 1100, 1000 and kinds of 100 or more carry extra radius values,
// T-THROW three shape values.
struct PluginTool {
  ToolRecord Tool;
  std::string Name;  // fewer than kPluginToolNameBytes bytes
  std::array<double, 2> ExtraRadii{};
  std::array<double, 3> ShapeValues{};
  int32_t MagazineOrder = 0;
};

// A plug-in tool's length record, with the further values of kind 3.
struct PluginToolLength {
  ToolShankRecord Shank;
  float Value = 0.0f;
  std::array<float, 2> Extra{};
};

class ReadPlugin {
 public:
  virtual ~ReadPlugin() = default;
  // Whether the module has the entry; a missing entry is never called.
  virtual bool Has(ReadPluginEntry entry) const = 0;
  virtual void Open(std::string_view programPath) = 0;
  virtual void ReadTool(PluginTool& tool) = 0;
  virtual void ReadToolLength(PluginToolLength& length) = 0;
  virtual void ReadArbor(ArborRecord& arbor) = 0;
  virtual void ReadStartPoint(AxisPosition& start) = 0;
  // The next path record; record.Delivered stays 0 at the end. Returns the
  // entry point's result.
  virtual int32_t ReadPath(PluginPathRecord& record) = 0;
  // The same in IJK form, for a module without "VSREADPATH".
  virtual int32_t ReadPathIjk(PluginPathRecord& record) = 0;
  virtual void Close() = 0;
};

// The NC-comment plug-in's entry points: each kind from an NC line
// ("VSNCCOMTOOL") or from the program file ("VSNCCOMTOOLF").
enum class CommentPluginEntry : int32_t {
  kTool,
  kToolFile,
  kToolLength,
  kToolLengthFile,
  kArbor,
  kArborFile,
};

// Where a comment plug-in call reads from: the current NC line, or (the
// file-level entries) the NC program file.
enum class CommentPluginSource : int32_t { kLine, kFile };

// Statuses the plug-in sets per kind: above 0 when it delivered, 2 when it
// asks not to be called again in this run.
inline constexpr int32_t kCommentPluginDone = 2;

class CommentPlugin {
 public:
  virtual ~CommentPlugin() = default;
  virtual bool Has(CommentPluginEntry entry) const = 0;
  // text: the NC line, or the NC program's path for the file source.
  virtual void DefineTool(CommentPluginSource source, std::string_view text, PluginTool& tool,
                          int32_t& status) = 0;
  virtual void DefineToolLength(CommentPluginSource source, std::string_view text,
                                PluginToolLength& length, int32_t& status) = 0;
  virtual void DefineArbor(CommentPluginSource source, std::string_view text, ArborRecord& arbor,
                           int32_t& status) = 0;
};

}  // namespace vestan
