#include "definitions/tool_table.h"

#include <algorithm>

namespace vestan {

void AllocToolTables(ToolTable& table) {
  const size_t entries = static_cast<size_t>(std::max(table.MaxToolNumber, 0)) + 1;
  table.Defined.assign(entries, 0);
  table.Lengths.assign(entries, 0.0f);
  table.Pens.assign(entries, 0);
}

}  // namespace vestan
