#include "nc/plugin_path.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "definitions/tool_geometry.h"
#include "foundation/single_precision.h"

namespace vestan {

namespace {

constexpr int32_t kBothRadiiKind = 1100;
constexpr int32_t kFirstRadiusKind = 1000;
constexpr int32_t kSecondRadiusKinds = 100;

// Puts a plug-in tool into entry 0 of the table; false when the table has no
// entries yet.
bool StoreToolEntry(ToolTable& table, const PluginTool& tool) {
  if (!table.InRange(0)) return false;
  ToolRecord& record = table.Records[0];
  record = tool.Tool;
  if (tool.Name.empty())
    record.Name.reset();
  else
    record.Name = tool.Name;
  return true;
}

int32_t ReadPathInto(NcReader& reader, PluginPathRecord& record, int32_t& delivered) {
  record.Delivered = 0;
  int32_t result = 0;
  ReadPlugin* plugin = reader.Plugin;
  if (plugin != nullptr && plugin->Has(ReadPluginEntry::kPath)) {
    result = plugin->ReadPath(record);
  } else if (plugin != nullptr && plugin->Has(ReadPluginEntry::kPathIjk)) {
    result = plugin->ReadPathIjk(record);
    record.Kind = kPluginIjkRecordKind;
  }
  delivered = record.Delivered;
  return result;
}

}  // namespace

void MapPluginToolKind(PluginTool& tool) {
  int32_t& kind = tool.Tool.Kind;
  if (kind == kBothRadiiKind) {
    kind = kToolDrill;
  } else if (kind == kFirstRadiusKind) {
    kind = kToolDrill;
    tool.ExtraRadii[1] = 0.0;
  } else if (kind >= kSecondRadiusKinds) {
    kind -= kSecondRadiusKinds;
    tool.ExtraRadii[0] = 0.0;
  } else {
    tool.ExtraRadii[1] = 0.0;
  }
  if (kind != kToolTThrow) tool.ShapeValues = {};
  // The module's buffer holds the name and its terminator.
  const size_t nul = tool.Name.find('\0');
  if (nul != std::string::npos) tool.Name.resize(nul);
  if (tool.Name.size() >= kPluginToolNameBytes) tool.Name.resize(kPluginToolNameBytes - 1);
}

void NormalizePluginTool(ToolRecord& tool) {
  const double d = tool.Diameter;
  const double r1 = tool.CornerRadius;
  const double r2 = tool.LowerCornerRadius;
  switch (tool.Kind) {
    case kToolBall:
      tool.CornerRadius = RoundToSingle(d * 0.5);
      tool.LowerCornerRadius = tool.CornerRadius;
      break;
    case kToolBull:
      tool.LowerCornerRadius = tool.CornerRadius;
      tool.CornerCentreRadius = RoundToSingle(d * 0.5 - r1);
      break;
    case kToolTaperBall:
      tool.Diameter = RoundToSingle(TaperBallDiameter(r1, tool.TaperAngle));
      break;
    case kToolRadius: {
      const double h = r2 >= r1 ? r1 : std::sqrt(std::max(0.0, r1 * r1 - (r1 - r2) * (r1 - r2)));
      tool.CornerCentreRadius = RoundToSingle(d * 0.5 - r1 - h);
      break;
    }
    case kToolDrill:
      if (tool.TaperWidth > 0.0f)
        ComputeTaperToolWidth(d, r1, tool.BottomAngle, tool.TaperAngle, tool.CuttingLength,
                              tool.TaperWidth);
      break;
    default:
      break;
  }
}

void OpenPluginNcProgram(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  ReadPlugin* plugin = reader.Plugin;
  if (plugin == nullptr) return;
  NcModalState& modal = context.Modal;
  if (plugin->Has(ReadPluginEntry::kOpen)) plugin->Open(records.Defs.Paths.NcProgram);
  if (plugin->Has(ReadPluginEntry::kTool) && records.Tools.InRange(0)) {
    ToolTable& table = records.Tools;
    table.Records[0].Kind = kToolDrill;
    table.Records[0].Name.reset();
    PluginTool tool;
    tool.Tool = table.Records[0];
    plugin->ReadTool(tool);
    MapPluginToolKind(tool);
    if (tool.Tool.Kind >= 0) NormalizePluginTool(tool.Tool);
    tool.Tool.Defined = 1;
    StoreToolEntry(table, tool);
    table.Defined[0] = 1;
    modal.Tools.CurrentToolNumber = 0;
    modal.LengthOffsetNumber = 0;
    modal.Interp.RadiusOffsetNumber = 0;
    modal.Length.PluginTool = 1;
    if (plugin->Has(ReadPluginEntry::kToolLength)) {
      PluginToolLength length;
      length.Shank = table.Shanks[0];
      plugin->ReadToolLength(length);
      table.Shanks[0] = length.Shank;
      table.Lengths[0] = length.Value;
    }
    if (plugin->Has(ReadPluginEntry::kArbor)) plugin->ReadArbor(table.Arbors[0]);
    if (reader.MakePluginToolCurrent) reader.MakePluginToolCurrent();
    records.Shell.RequestShellUpdate(ShellUpdate::kSecondView);
  }
  if (plugin->Has(ReadPluginEntry::kStartPoint)) {
    AxisPosition start = records.StartPosition;
    plugin->ReadStartPoint(start);
    records.StartPosition = start;
    modal.ProgramPosition = start;
    modal.DrawPosition = start;
    context.Position.ProgramPosition = start;
    context.Move.Start = start;
    context.Move.End = start;
  }
}

int32_t FetchPluginPathRecord(NcReader& reader, int32_t& delivered) {
  return ReadPathInto(reader, reader.Record, delivered);
}

int32_t PeekPluginPathRecord(NcReader& reader, int32_t& delivered) {
  return ReadPathInto(reader, reader.Preview, delivered);
}

void RunNcCommentPlugin(NcContext& context, const NcPassRecords& records, NcReader& reader) {
  CommentPlugin* plugin = reader.CommentTools;
  if (plugin == nullptr || reader.CommentPluginOn == 0 || !plugin->Has(CommentPluginEntry::kTool))
    return;
  ToolTable& table = records.Tools;
  if (!table.InRange(0)) return;
  CommentPluginStatus& status = context.Modal.CommentPlugin;
  const std::string_view line = context.Line.View();
  bool delivered = false;
  if (status.Tool != kCommentPluginDone) {
    PluginTool tool;
    tool.Tool = table.Records[0];
    if (table.Records[0].Name) tool.Name = *table.Records[0].Name;
    plugin->DefineTool(CommentPluginSource::kLine, line, tool, status.Tool);
    MapPluginToolKind(tool);
    if (status.Tool > 0) {
      NormalizePluginTool(tool.Tool);
      StoreToolEntry(table, tool);
      delivered = true;
    }
  }
  if (status.ToolLength != kCommentPluginDone && plugin->Has(CommentPluginEntry::kToolLength)) {
    PluginToolLength length;
    length.Shank = table.Shanks[0];
    length.Value = table.Lengths[0];
    plugin->DefineToolLength(CommentPluginSource::kLine, line, length, status.ToolLength);
    if (status.ToolLength > 0) {
      table.Shanks[0] = length.Shank;
      table.Lengths[0] = length.Value;
      delivered = true;
    }
  }
  if (status.Arbor != kCommentPluginDone && plugin->Has(CommentPluginEntry::kArbor)) {
    ArborRecord arbor = table.Arbors[0];
    plugin->DefineArbor(CommentPluginSource::kLine, line, arbor, status.Arbor);
    if (status.Arbor > 0) {
      table.Arbors[0] = arbor;
      delivered = true;
    }
  }
  if (delivered && reader.MakePluginToolCurrent) reader.MakePluginToolCurrent();
}

}  // namespace vestan
