#include "model/current_tool.h"

#include <algorithm>

namespace vestan {

void SetCurrentTool(int32_t tool, double /*pitch*/, ToolChangeRecords& records) {
  const ToolTable& table = records.Table;
  CurrentTool& current = records.Current;
  if (!table.InRange(tool)) {
    current.Tool = ToolRecord{};
    current.Shank = ToolShankRecord{};
    current.Arbor = ArborRecord{};
    records.Position.ToolLength = 0.0f;
  } else {
    const size_t t = static_cast<size_t>(tool);
    current.Tool = table.Records[t];
    current.Shank = table.Shanks[t];
    current.Arbor = table.Arbors[t];
    const bool noLength = tool == 0 && table.Lengths[0] == kNoToolZeroLength;
    records.Position.ToolLength = noLength ? 0.0f : table.Lengths[t];
    // Tool 0 with a negative pen keeps the pen of the previous tool.
    if (tool > 0 || table.Pens[0] >= 0) {
      current.PenNumber = std::clamp(table.Pens[t], 0, 15);
      current.PenTag = static_cast<uint8_t>(current.PenNumber << 4);
    }
  }
  if (tool >= 1) records.Compensation.PluginTool = 0;
  records.Display.RequestRebuild(kListTool);
}

}  // namespace vestan
