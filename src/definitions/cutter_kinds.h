// The cutter keys of a tool's lines in the tool table: the general CUTTER key,
// the named kinds, and the two keys that import a shape from another file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "definitions/tool_table.h"

namespace vestan {

enum class CutterKey {
  kCutter,
  kDrill,
  kBall,
  kFlat,
  kBull,
  kKegaki,
  kTaperBall,
  kVertical,
  kOvalR,
  kOval,
  kTThrow,
  kSphere,
  kRadius,
  kImportTool,
  kImport,
};

// The cutter key standing at pos of the line (prefix match without case, in
// the order that lets a longer key win over one it begins with).
std::optional<CutterKey> MatchCutterKey(std::string_view line, size_t pos);

// The key's text as it stands in the file.
std::string_view CutterKeyText(CutterKey key);

// Reads the cutter key that stands at the cursor into record: values behind
// the key, then an optional quoted name. Fields the key does not name keep
// their values. The cursor is left where the last field was read.
void ReadCutterKey(CutterKey key, int32_t& cursor, std::string_view line, ToolRecord& record,
                   bool englishMode);

// Kind of a general cutter from its dimensions: diameter D, corner radius R,
// corner centre radius E, tip height F, bottom angle G, taper angle A.
int32_t CutterKindFromDimensions(float diameter, float cornerRadius, float cornerCentreRadius,
                                 float tipHeight, float bottomAngle, float taperAngle);

// Name a DRILL gets when the line gives none (cp932 in Japanese mode).
std::string DefaultDrillName(bool englishMode);

}  // namespace vestan
