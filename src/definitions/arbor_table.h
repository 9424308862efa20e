// Arbor (holder) tables: the step notation of the ARBOR, ARBOR2 and ARBOR3
// keys, and arbor table files holding one holder in that notation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "definitions/definition_file.h"
#include "definitions/tool_table.h"

namespace vestan {

// An ARBOR3, ARBOR2 or ARBOR key (without case) at pos of the line.
struct ArborKeyMatch {
  ArborForm Form;
  int32_t Length;  // characters of the key
};
std::optional<ArborKeyMatch> MatchArborKey(std::string_view line, size_t pos);

// Reads the steps of one holder in the given form. The first value is searched
// from the cursor, every later one after the next comma; at most ten steps.
// The holder's earlier steps do not count: StepCount starts from 0.
void ReadArborSteps(ArborForm form, int32_t& cursor, std::string_view line, ArborRecord& arbor);

// Reads the first ARBOR3, ARBOR2 or ARBOR line (at column 0) of an arbor table
// file into arbor, which is cleared first and has no holder when the file
// cannot be read or holds no such line. A name without a folder is taken from
// the folder of the tool table file and completed in place. watch is the
// default holder's file record (state and time), null for a tool's own holder.
// Returns kFileRead or kFileMissing.
int32_t ReadArborTable(std::string& name, std::string_view toolTableName, ArborRecord& arbor,
                       WatchedFile* watch);

}  // namespace vestan
