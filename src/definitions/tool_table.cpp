#include "definitions/tool_table.h"

#include <algorithm>

namespace vestan {

size_t ToolTable::Entries() const {
  // The smallest array bounds every index, should the arrays ever disagree.
  return std::min({Defined.size(), Records.size(), Shanks.size(), Arbors.size(), FeedTables.size(),
                   Limits.size(), Lengths.size(), Pens.size()});
}

void AllocToolTables(ToolTable& table) {
  const size_t entries = static_cast<size_t>(std::max(table.MaxToolNumber, 0)) + 1;
  table.Defined.assign(entries, 0);
  table.Records.assign(entries, ToolRecord{});
  table.Shanks.assign(entries, ToolShankRecord{});
  table.Arbors.assign(entries, ArborRecord{});
  table.FeedTables.assign(entries, ToolFeedRecord{});
  table.Limits.assign(entries, ToolLimitRecord{});
  table.Lengths.assign(entries, 0.0f);
  table.Pens.assign(entries, 0);
}

bool ReleaseToolBuffers(ToolTable& table) {
  bool meshReleased = false;
  for (ToolRecord& record : table.Records) {
    record.Name.reset();
    record.ProfileFile.reset();
    if (record.ProfileCount > 0 || !record.ProfileSegments.empty()) {
      record.ProfileSegments.clear();
      record.ProfileSegments.shrink_to_fit();
      record.ProfileCount = 0;
      record.CuttingSegmentCount = 0;
    }
    if (record.Kind == kToolImportedMesh) meshReleased = true;
  }
  return meshReleased;
}

bool FreeToolTables(ToolTable& table) {
  const bool meshReleased = ReleaseToolBuffers(table);
  table.Defined = {};
  table.Records = {};
  table.Shanks = {};
  table.Arbors = {};
  table.FeedTables = {};
  table.Limits = {};
  table.Lengths = {};
  table.Pens = {};
  return meshReleased;
}

}  // namespace vestan
