// The read plug-in's path in place of an NC file (opening the program, the
// tool and start point it gives, its path records) and the NC-comment
// plug-in that defines tools from the comments of NC lines.
#pragma once

#include <cstdint>

#include "definitions/tool_table.h"
#include "nc/line_reader.h"
#include "nc/nc_context.h"
#include "nc/plugin_interfaces.h"

namespace vestan {

// Opens the program in the read plug-in and takes what the module gives
// before the path: the tool into tool table entry 0 (made current through
// reader.MakePluginToolCurrent), its length and holder, and the start
// position. Missing entries are skipped.
void OpenPluginNcProgram(NcContext& context, const NcPassRecords& records, NcReader& reader);

// The next path record into reader.Record ("VSREADPATH", else the IJK form,
// whose records take kind 17); delivered is non-zero when one came. Returns
// the entry's result, 0 when the module has neither entry.
int32_t FetchPluginPathRecord(NcReader& reader, int32_t& delivered);

// The same into the view's preview record.
int32_t PeekPluginPathRecord(NcReader& reader, int32_t& delivered);

// A plug-in tool's kind mapped for use: 1100 kind 0 with both extra radii,
// 1000 kind 0 with the first, 100 and above the kind less 100 with the
// second, any other kind without the second; T-THROW keeps its shape values,
// other kinds lose them. The name is cut at its first NUL and to fewer than
// kPluginToolNameBytes bytes.
void MapPluginToolKind(PluginTool& tool);

// The dimensions a plug-in tool leaves to be derived from the others, by
// cutter kind.
void NormalizePluginTool(ToolRecord& tool);

// Offers the current line to the NC-comment plug-in (when it is switched on
// and has "VSNCCOMTOOL"): tool, length and holder into tool table entry 0,
// each kind unless the plug-in asked not to be called again; the tool is
// made current when any of them delivered.
void RunNcCommentPlugin(NcContext& context, const NcPassRecords& records, NcReader& reader);

}  // namespace vestan
