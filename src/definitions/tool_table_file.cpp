#include "definitions/tool_table_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <optional>
#include <string>

#include "definitions/arbor_table.h"
#include "definitions/cutter_kinds.h"
#include "definitions/dxf_profile.h"
#include "definitions/tool_geometry.h"
#include "foundation/path_text.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"

namespace vestan {

namespace {

// Longest arbor table name the file paths hold, and longest name of a tool's
// own arbor table (a line of the original file buffer).
constexpr size_t kMaxArborTableName = 255;
constexpr size_t kMaxToolArborName = 1023;
constexpr int32_t kMaxLayoutOrder = 200;
// Longest name an outline tool takes from its file.
constexpr size_t kMaxFileTitle = 255;

enum class ToolKey {
  kLength2A,
  kLength2,
  kLength3A,
  kLength3,
  kLength,
  kArbor3,
  kArbor2,
  kArbor,
  kAtl,
  kShift,
  kPen,
  kLimits,
  kLimit,
  kOptF,
  kLayout1,
  kName,
};

// Tested after the cutter keys, longer keys before the keys they begin with.
constexpr std::array<KeyEntry<ToolKey>, 16> kToolKeys = {{
    {"LENGTH2A", ToolKey::kLength2A},
    {"LENGTH2", ToolKey::kLength2},
    {"LENGTH3A", ToolKey::kLength3A},
    {"LENGTH3", ToolKey::kLength3},
    {"LENGTH", ToolKey::kLength},
    {"ARBOR3", ToolKey::kArbor3},
    {"ARBOR2", ToolKey::kArbor2},
    {"ARBOR", ToolKey::kArbor},
    {"ATL", ToolKey::kAtl},
    {"SHIFT", ToolKey::kShift},
    {"PEN", ToolKey::kPen},
    {"LIMITS", ToolKey::kLimits},
    {"LIMIT", ToolKey::kLimit},
    {"OPT-F", ToolKey::kOptF},
    {"LAYOUT1", ToolKey::kLayout1},
    {"NAME=", ToolKey::kName},
}};

// Tool kinds whose LENGTH2A/LENGTH3A shank stays outside the cutting length.
bool KeepsPlainShank(int32_t kind) {
  return kind == kToolVertical || kind == kToolTThrow || kind == kToolSphere || kind == kToolRadius;
}

int32_t Clamp(int32_t index, std::string_view line) {
  return std::min(index, static_cast<int32_t>(line.size()));
}

// The file name of an ATL line: after blanks, tabs, "=" and full-width
// spaces, up to the newline.
std::string_view AtlName(std::string_view line, size_t from) {
  size_t i = std::min(from, line.size());
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '=') {
      ++i;
    } else if (c == '\x81' && i + 1 < line.size() && line[i + 1] == '\x40') {
      i += 2;  // full-width space (cp932)
    } else {
      break;
    }
  }
  size_t end = line.size();
  if (end > i && line[end - 1] == '\n') --end;
  return line.substr(i, end - i);
}

// A percentage of a tool's circular cross-section, as an area.
float PercentOfSection(float percent, float diameter) {
  const double d = diameter;
  return RoundToSingle(percent * kPi * d * d / 400.0);
}

// Whether a LIMIT value at the cursor is a percentage: a '%' before the next
// comma, or anywhere behind it when no comma follows.
bool PercentBeforeNextValue(std::string_view rest) {
  if (rest.find(',') == std::string_view::npos) return rest.find('%') != std::string_view::npos;
  return HasPercentBeforeComma(rest);
}

// The file name without its folder.
std::string_view FileTitle(std::string_view name) {
  const size_t slash = FindLastPathSeparator(name);
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

template <typename Values>
bool AllFinite(const Values& values) {
  return std::all_of(std::begin(values), std::end(values),
                     [](double v) { return std::isfinite(v); });
}

bool IsFinite(const ArborRecord& a) { return AllFinite(a.StepDiameter) && AllFinite(a.StepLength); }

// Whether every number a tool's records hold is finite: a value beyond a
// float reads as infinity and would carry into every cut and check.
bool IsFinite(const ToolTable& table, size_t t) {
  const ToolRecord& r = table.Records[t];
  const ToolShankRecord& s = table.Shanks[t];
  const ToolFeedRecord& f = table.FeedTables[t];
  const std::array<double, 21> values{r.Diameter,           r.CornerRadius,     r.LowerCornerRadius,
                                      r.CornerCentreRadius, r.TipHeight,        r.BottomAngle,
                                      r.BottomAngleWidth,   r.TaperAngle,       r.TaperWidth,
                                      r.SideParam,          r.BladeWidth,       r.NeckDiameter,
                                      r.CuttingLength,      s.ProtrusionLength, s.NeckLength,
                                      s.TransitionLength,   s.NeckAngle,        s.ShankAngle,
                                      s.ShankDiameter,      s.NeckDiameter,     table.Lengths[t]};
  const auto segment = [](const ProfileSegment& g) {
    return AllFinite(std::array<double, 9>{g.X1, g.Y1, g.X2, g.Y2, g.CentreX, g.CentreY, g.Radius,
                                           g.StartAngle, g.EndAngle});
  };
  return AllFinite(values) && AllFinite(r.ProfileMax) && AllFinite(r.ImportOffset) &&
         std::all_of(r.ProfileSegments.begin(), r.ProfileSegments.end(), segment) &&
         IsFinite(table.Arbors[t]) && AllFinite(table.Limits[t].Values) &&
         std::all_of(f.Table.begin(), f.Table.end(),
                     AllFinite<std::array<float, kMaxFeedPairs + 1>>) &&
         std::all_of(f.PairX.begin(), f.PairX.end(), AllFinite<std::array<float, kMaxFeedPairs>>);
}

// A tool's records as they stand before a key is read, to be put back when
// the key gives a number that is not finite.
struct ToolSnapshot {
  ToolRecord Record;
  ToolShankRecord Shank;
  ArborRecord Arbor;
  ToolLimitRecord Limit;
  ToolFeedRecord Feed;
  float Length;
};

ToolSnapshot TakeSnapshot(const ToolTable& table, size_t t) {
  return {table.Records[t], table.Shanks[t],     table.Arbors[t],
          table.Limits[t],  table.FeedTables[t], table.Lengths[t]};
}

void PutBack(ToolTable& table, size_t t, ToolSnapshot&& snapshot) {
  table.Records[t] = std::move(snapshot.Record);
  table.Shanks[t] = snapshot.Shank;
  table.Arbors[t] = snapshot.Arbor;
  table.Limits[t] = snapshot.Limit;
  table.FeedTables[t] = snapshot.Feed;
  table.Lengths[t] = snapshot.Length;
}

std::string_view From(std::string_view line, int32_t cursor) {
  return line.substr(static_cast<size_t>(Clamp(std::max(cursor, 0), line)));
}

class ToolTableReader {
 public:
  ToolTableReader(std::string_view fileName, ToolTable& table, ToolTableFiles& files,
                  ImportedToolMesh& mesh, const ToolTableReadOptions& options,
                  const ImportedMeshLoader& loadMesh)
      : fileName_(fileName),
        table_(table),
        files_(files),
        mesh_(mesh),
        options_(options),
        loadMesh_(loadMesh) {}

  ToolTableReadResult Read();

 private:
  void Note(std::string message) {
    result_.Notes.push_back({std::string(fileName_), lineNumber_, std::move(message)});
  }
  void ClearTable();
  // Applies the line rules; false ends the reading.
  bool ReadLine(std::string_view line);
  void ReadDefaultArborTable(std::string_view line);
  void StartTool(int32_t tool);
  void ScanKeys(std::string_view line, int32_t start);
  void ReadToolKey(const KeyEntry<ToolKey>& entry, int32_t& cursor, std::string_view line);
  void ReadImportedOutline(ToolRecord& record);
  void LoadImportedMesh(ToolRecord& record);
  void ReadLengthKey(ToolKey key, int32_t& cursor, std::string_view line);
  void ReadLimitKey(bool limits, int32_t& cursor, std::string_view line);
  void ReadFeedKey(int32_t& cursor, std::string_view line);
  void ReadLayoutKey(int32_t& cursor, std::string_view line);
  // After a key: when a number of the tool's records is not finite, the
  // records go back to what they were before the key, with a note.
  bool KeepIfFinite(std::string_view key, ToolSnapshot& before);
  void PostProcess();

  std::string_view fileName_;
  ToolTable& table_;
  ToolTableFiles& files_;
  ImportedToolMesh& mesh_;
  const ToolTableReadOptions& options_;
  const ImportedMeshLoader& loadMesh_;
  ToolTableReadResult result_;
  int32_t lineNumber_ = 0;
  bool magazineSeen_ = false;
  int32_t tool_ = 0;  // tool of the last MAGAZINE line; 0 before the first
  bool layoutFullNoted_ = false;
};

ToolTableReadResult ToolTableReader::Read() {
  ClearTable();
  const std::optional<std::vector<std::string>> lines =
      ReadWatchedDefinition(fileName_, files_.ToolTable);
  result_.State = files_.ToolTable.State;
  if (!lines) return std::move(result_);
  for (const std::string& line : *lines) {
    ++lineNumber_;
    if (!ReadLine(line)) break;
  }
  lineNumber_ = 0;
  PostProcess();
  return std::move(result_);
}

void ToolTableReader::ClearTable() {
  table_.Layout = ToolLayout{};
  if (ReleaseToolBuffers(table_)) mesh_.Release();
  // Every array must hold MaxToolNumber + 1 entries before any is indexed.
  const size_t entries = static_cast<size_t>(std::max(table_.MaxToolNumber, 0)) + 1;
  if (table_.Entries() != entries || table_.Defined.size() != entries) AllocToolTables(table_);
  for (size_t t = 0; t < table_.Entries(); ++t) {
    ToolRecord& record = table_.Records[t];
    // Only an outline import sets these; they are kept as they were.
    const auto classStart = record.ProfileClassStart;
    const auto lastOutward = record.LastOutwardIndex;
    const auto profileMax = record.ProfileMax;
    record = ToolRecord{};
    record.ProfileClassStart = classStart;
    record.LastOutwardIndex = lastOutward;
    record.ProfileMax = profileMax;
    table_.Defined[t] = 0;
    table_.Shanks[t] = ToolShankRecord{};
    table_.Arbors[t] = ArborRecord{};
    table_.Limits[t] = ToolLimitRecord{};
    table_.FeedTables[t] = ToolFeedRecord{};
    table_.Lengths[t] = 0.0f;
    table_.Pens[t] = 0;
  }
  files_.ArborTable.State = kFileNotWatched;
  table_.MaxMagazineNumber = 11;
  table_.DefaultArbor = ArborRecord{};
  result_.StartTool = 1;
}

bool ToolTableReader::ReadLine(std::string_view line) {
  if (MatchesKey(line, "I")) {
    int32_t cursor = 1;
    result_.StartTool = TruncateToInt32(ParseFloat(cursor, line));
    return true;
  }
  if (line[0] == '#') return true;
  if (!magazineSeen_) {
    if (MatchesKey(line, "ATL")) {
      ReadDefaultArborTable(line);
      return true;
    }
    if (const std::optional<ArborKeyMatch> key = MatchArborKey(line, 0)) {
      const ArborRecord before = table_.DefaultArbor;
      table_.DefaultArbor.Present = 1;
      table_.DefaultArbor.Form = key->Form;
      int32_t cursor = Clamp(key->Length + 1, line);
      ReadArborSteps(key->Form, cursor, line, table_.DefaultArbor);
      if (!IsFinite(table_.DefaultArbor)) {
        Note(RefusedKeyNote(line.substr(0, static_cast<size_t>(key->Length)),
                            "a value is not a finite number"));
        table_.DefaultArbor = before;
      }
      return true;
    }
  }
  if (MatchesKey(line, "MAGAZINE")) {
    // The number stands right behind the key: blanks may precede it, "=" may not.
    const int32_t tool = ConvertInteger(line.substr(8));
    if (tool < 1 || tool > table_.MaxToolNumber || !table_.InRange(tool)) {
      Note("MAGAZINE " + std::to_string(tool) + " is outside 1.." +
           std::to_string(table_.MaxToolNumber) + "; the rest of the file is not read");
      return false;
    }
    magazineSeen_ = true;
    StartTool(tool);
    ScanKeys(line, 10);
    return true;
  }
  // Tool keys before the first tool have nothing to apply to.
  if (tool_ > 0) ScanKeys(line, 0);
  return true;
}

void ToolTableReader::ReadDefaultArborTable(std::string_view line) {
  const std::string_view name = AtlName(line, 3);
  if (name.size() > kMaxArborTableName) {
    Note("arbor table name of " + std::to_string(name.size()) + " characters is longer than " +
         std::to_string(kMaxArborTableName) + "; the line is ignored");
    return;
  }
  files_.ArborTableName = std::string(name);
  ReadArborTable(files_.ArborTableName, fileName_, table_.DefaultArbor, &files_.ArborTable);
  if (!IsFinite(table_.DefaultArbor)) {
    Note("ATL: the arbor table holds a value that is not a finite number; it is ignored");
    table_.DefaultArbor = ArborRecord{};
  }
}

void ToolTableReader::StartTool(int32_t tool) {
  tool_ = tool;
  const size_t t = static_cast<size_t>(tool);
  table_.Defined[t] = 1;
  table_.Records[t].Defined = 1;
  table_.MaxMagazineNumber = std::max(table_.MaxMagazineNumber, tool);
  table_.Shanks[t].Kind = kShankNone;
  if (table_.DefaultArbor.Present == 1)
    table_.Arbors[t] = table_.DefaultArbor;
  else
    table_.Arbors[t].Present = 0;
  table_.Lengths[t] = 0.0f;
  table_.Pens[t] = 0;
  table_.FeedTables[t].Enabled = {};
}

void ToolTableReader::ScanKeys(std::string_view line, int32_t start) {
  const int32_t size = static_cast<int32_t>(line.size());
  int32_t cursor = Clamp(start, line);
  SkipBlanksAndEquals(cursor, line);
  ToolRecord& record = table_.Records[static_cast<size_t>(tool_)];
  bool cutterRead = false;
  while (cursor < size) {
    const int32_t keyStart = cursor;
    bool matched = false;
    if (!cutterRead) {
      if (const std::optional<CutterKey> cutter = MatchCutterKey(line, cursor)) {
        const std::string_view key = CutterKeyText(*cutter);
        ToolSnapshot before = TakeSnapshot(table_, static_cast<size_t>(tool_));
        ReadCutterKey(*cutter, cursor, line, record, options_.EnglishMode);
        // The outline or mesh is read only for a key whose own numbers hold.
        if (KeepIfFinite(key, before)) {
          if (*cutter == CutterKey::kImportTool) ReadImportedOutline(record);
          if (*cutter == CutterKey::kImport) LoadImportedMesh(record);
          // A mesh too wide for a float's size is not kept either.
          if (!KeepIfFinite(key, before) && *cutter == CutterKey::kImport) {
            mesh_.Release();
          }
        }
        cutterRead = true;
        matched = true;
      }
    }
    if (!matched) {
      if (const KeyEntry<ToolKey>* entry =
              MatchKeyTable(kToolKeys, line, static_cast<size_t>(cursor))) {
        if (entry->Key == ToolKey::kName) return;  // the rest of the line is a name
        ToolSnapshot before = TakeSnapshot(table_, static_cast<size_t>(tool_));
        ReadToolKey(*entry, cursor, line);
        KeepIfFinite(entry->Text, before);
        matched = true;
      }
    }
    if (!matched || cursor <= keyStart) cursor = keyStart + 1;
    // On to the next word: a letter, "(" or the newline that ends the line.
    int32_t next = -1;
    for (int32_t i = std::max(cursor, 0); i < size; ++i) {
      const char c = line[i];
      if (IsAsciiLetter(c) || c == '(' || c == '\n') {
        next = i;
        break;
      }
    }
    if (next < 0 || next >= size - 1) return;
    cursor = next;
  }
}

bool ToolTableReader::KeepIfFinite(std::string_view key, ToolSnapshot& before) {
  const size_t t = static_cast<size_t>(tool_);
  if (IsFinite(table_, t)) return true;
  Note(std::string(key) + " of tool " + std::to_string(tool_) +
       ": a value is not a finite number; the key is ignored");
  PutBack(table_, t, ToolSnapshot(before));
  return false;
}

void ToolTableReader::ReadToolKey(const KeyEntry<ToolKey>& entry, int32_t& cursor,
                                  std::string_view line) {
  const size_t t = static_cast<size_t>(tool_);
  const ToolKey key = entry.Key;
  // Most values are searched from one character past the key, so that a
  // digit right behind it is not read.
  const int32_t keyEnd = cursor + static_cast<int32_t>(entry.Text.size());
  switch (key) {
    case ToolKey::kLength2A:
    case ToolKey::kLength2:
    case ToolKey::kLength3A:
    case ToolKey::kLength3:
    case ToolKey::kLength:
      cursor = Clamp(keyEnd, line);
      ReadLengthKey(key, cursor, line);
      return;
    case ToolKey::kArbor3:
    case ToolKey::kArbor2:
    case ToolKey::kArbor: {
      const ArborForm form = key == ToolKey::kArbor3   ? kArborTriples
                             : key == ToolKey::kArbor2 ? kArborPairs2
                                                       : kArborPairs;
      ArborRecord& arbor = table_.Arbors[t];
      // A kegaki tool carries no holder.
      if (table_.Records[t].Kind != kToolKegaki) arbor.Present = 1;
      arbor.Form = form;
      cursor = Clamp(keyEnd + 1, line);
      ReadArborSteps(form, cursor, line, arbor);
      return;
    }
    case ToolKey::kAtl: {
      const std::string_view name = AtlName(line, static_cast<size_t>(keyEnd));
      cursor = static_cast<int32_t>(line.size()) - 1;
      if (name.size() > kMaxToolArborName) {
        Note("arbor table name of " + std::to_string(name.size()) + " characters is longer than " +
             std::to_string(kMaxToolArborName) + "; it is ignored");
        return;
      }
      std::string completed(name);
      ReadArborTable(completed, fileName_, table_.Arbors[t], nullptr);
      return;
    }
    case ToolKey::kShift:
      cursor = Clamp(keyEnd + 1, line);
      table_.Lengths[t] = ParseFloat(cursor, line);
      return;
    case ToolKey::kPen: {
      cursor = Clamp(keyEnd + 1, line);
      const int32_t pen = TruncateToInt32(ParseFloat(cursor, line));
      table_.Pens[t] = pen < 1 ? 0 : std::min(pen, 15);
      return;
    }
    case ToolKey::kLimits:
    case ToolKey::kLimit:
      cursor = keyEnd;
      ReadLimitKey(key == ToolKey::kLimits, cursor, line);
      return;
    case ToolKey::kOptF:
      cursor = Clamp(keyEnd + 1, line);
      ReadFeedKey(cursor, line);
      return;
    case ToolKey::kLayout1:
      cursor = Clamp(keyEnd + 1, line);
      ReadLayoutKey(cursor, line);
      return;
    case ToolKey::kName:
      return;
  }
}

void ToolTableReader::ReadImportedOutline(ToolRecord& record) {
  const size_t t = static_cast<size_t>(tool_);
  int32_t count = 0;
  std::vector<ProfileSegment> segments;
  DxfProfileRead read;
  if (record.ProfileFile && !record.ProfileFile->empty()) {
    read = ReadDxfProfile(*record.ProfileFile, count, segments, record.ProfileMax);
    for (DefinitionNote& note : read.Notes) result_.Notes.push_back(std::move(note));
  }
  if (read.Status != DxfProfileStatus::kRead || count < 1) {
    if (!record.ProfileFile || record.ProfileFile->empty())
      Note("IMPORT-TOOL names no outline file; tool " + std::to_string(tool_) + " has no outline");
    else if (read.Status == DxfProfileStatus::kRead)
      Note("the outline " + *record.ProfileFile + " has no path from its lowest point; tool " +
           std::to_string(tool_) + " has no outline");
    // The tool keeps its kind but no outline, not even one of an earlier
    // definition of the tool.
    record.ProfileSegments = {};
    record.ProfileCount = 0;
    record.CuttingSegmentCount = 0;
    return;
  }
  record.Kind = kToolImportedProfile;
  record.ProfileCount = count;
  record.ProfileSegments.assign(segments.begin(), segments.begin() + count);
  record.ProfileClassStart = ClassifyProfileSegments(record.ProfileSegments);
  const ProfileDimensions d =
      DeriveToolFromProfile(record.ProfileSegments, record.ProfileClassStart);
  record.LastOutwardIndex = d.LastOutwardIndex;
  record.Diameter = d.Diameter;
  record.CornerRadius = d.CornerRadius;
  record.TipHeight = d.TipHeight;
  record.CuttingLength = d.CuttingLength;
  table_.Shanks[t].ShankDiameter = d.ShankDiameter;
  table_.Shanks[t].ProtrusionLength = d.ProtrusionLength;
  table_.Arbors[t].StepDiameter[0] = d.ArborDiameter;
  table_.Arbors[t].StepLength[0] = d.ArborLength;
  record.CuttingSegmentCount = count;
  const std::string_view title = FileTitle(*record.ProfileFile);
  if (title.size() > kMaxFileTitle) {
    Note("outline file name of " + std::to_string(title.size()) + " characters is longer than " +
         std::to_string(kMaxFileTitle) + "; tool " + std::to_string(tool_) + " has no name");
    record.Name.reset();
  } else {
    record.Name = std::string(title);
  }
}

void ToolTableReader::LoadImportedMesh(ToolRecord& record) {
  // One mesh exists at a time: loading replaces the one of an earlier IMPORT.
  if (!loadMesh_) return;
  const std::string name = record.Name.value_or(std::string());
  loadMesh_(name, record.ImportOffset, mesh_);
  const ImportedToolMesh& mesh = mesh_;
  if (mesh.FacetCount < 1) {
    // Kind IMPORT stays; the size is not taken from an empty box.
    const std::string tool = "; tool " + std::to_string(tool_) + " has no shape";
    if (name.empty())
      Note("IMPORT names no STL file" + tool);
    else
      Note("STL file \"" + name + "\" " +
           (mesh.StlKind == 0 ? "cannot be read"
            : mesh.NotFinite  ? "holds a number that is not finite"
                              : "holds no facet") +
           tool);
    return;
  }
  record.Diameter =
      RoundToSingle(((mesh.BoxMax[0] - mesh.BoxMin[0]) + (mesh.BoxMax[1] - mesh.BoxMin[1])) / 2.0);
  record.CuttingLength = RoundToSingle(mesh.BoxMax[2] - mesh.BoxMin[2]);
}

void ToolTableReader::ReadLengthKey(ToolKey key, int32_t& cursor, std::string_view line) {
  const size_t t = static_cast<size_t>(tool_);
  ToolRecord& record = table_.Records[t];
  ToolShankRecord& shank = table_.Shanks[t];
  const bool kegaki = record.Kind == kToolKegaki;
  switch (key) {
    case ToolKey::kLength: {
      if (!kegaki) shank.Kind = kShankLength;
      shank.ProtrusionLength = ParseFloat(cursor, line);
      const int32_t before = cursor;
      const float neck = ParseFloatAfterSemicolon(cursor, line);
      if (cursor != before) {
        shank.NeckDiameter = neck;
        shank.ShankDiameter = record.Diameter;
      } else {
        shank.NeckDiameter = -1.0f;
      }
      break;
    }
    case ToolKey::kLength2:
    case ToolKey::kLength3:
      if (!kegaki) shank.Kind = key == ToolKey::kLength2 ? kShankStraight : kShankAngled;
      shank.ProtrusionLength = ParseFloat(cursor, line);
      shank.NeckDiameter = ParseFloatAfterSemicolon(cursor, line);
      shank.NeckLength = ParseFloatAfterComma(cursor, line);
      // The neck diameter behind the neck length is the one that counts.
      shank.NeckDiameter = ParseFloatAfterSemicolon(cursor, line);
      shank.TransitionLength = ParseFloatAfterComma(cursor, line);
      if (key == ToolKey::kLength3) {
        shank.NeckAngle = ParseFloatAfterComma(cursor, line);
        shank.ShankAngle = ParseFloatAfterComma(cursor, line);
      }
      shank.ShankDiameter = ParseFloatAfterComma(cursor, line);
      break;
    case ToolKey::kLength2A:
    case ToolKey::kLength3A: {
      const bool angled = key == ToolKey::kLength3A;
      if (!kegaki) {
        if (KeepsPlainShank(record.Kind))
          shank.Kind = angled ? kShankAngled : kShankStraight;
        else
          shank.Kind = angled ? kShankAngledCutting : kShankStraightCutting;
      }
      shank.ProtrusionLength = ParseFloat(cursor, line);
      shank.NeckLength = ParseFloatAfterComma(cursor, line);
      shank.TransitionLength = ParseFloatAfterComma(cursor, line);
      if (angled) {
        shank.NeckAngle = ParseFloatAfterComma(cursor, line);
        shank.ShankAngle = ParseFloatAfterComma(cursor, line);
      }
      shank.ShankDiameter = ParseFloatAfterComma(cursor, line);
      shank.NeckDiameter = -1.0f;
      if (!angled)
        record.CuttingLength =
            std::max(record.CuttingLength, shank.NeckLength + shank.TransitionLength);
      break;
    }
    default:
      return;
  }
  // For an outline tool the segments before the shank are the cutting part.
  if (record.Kind == kToolImportedProfile && record.ProfileClassStart[1] > 0)
    record.CuttingSegmentCount = record.ProfileClassStart[1];
}

void ToolTableReader::ReadLimitKey(bool limits, int32_t& cursor, std::string_view line) {
  const size_t t = static_cast<size_t>(tool_);
  const bool perTool =
      cursor < static_cast<int32_t>(line.size()) && ToUpperAscii(line[cursor]) == 'P';
  if (perTool) ++cursor;
  cursor = Clamp(cursor + 1, line);
  ToolLimitRecord& limit = table_.Limits[t];
  limit.Kind = (limits ? 2 : 1) + (perTool ? 10 : 0);
  const float diameter = table_.Records[t].Diameter;
  const auto convert = [diameter](float value, bool percent) {
    return percent ? PercentOfSection(value, diameter) : value;
  };
  const float first = ParseFloat(cursor, line);
  const std::string_view rest = From(line, cursor);
  if (rest.find(',') == std::string_view::npos) {
    // One value stands for all four.
    limit.Values.fill(convert(first, rest.find('%') != std::string_view::npos));
    return;
  }
  limit.Values[0] = convert(first, PercentBeforeNextValue(rest));
  for (int k = 1; k < 4; ++k) {
    const float value = ParseFloatAfterComma(cursor, line);
    const std::string_view after = From(line, cursor);
    const bool percent =
        k < 3 ? PercentBeforeNextValue(after) : after.find('%') != std::string_view::npos;
    limit.Values[k] = convert(value, percent);
  }
}

void ToolTableReader::ReadFeedKey(int32_t& cursor, std::string_view line) {
  ToolFeedRecord& feed = table_.FeedTables[static_cast<size_t>(tool_)];
  // The character after the separator behind the key chooses the variant.
  int variant = 0;
  if (cursor < static_cast<int32_t>(line.size())) {
    switch (ToUpperAscii(line[cursor])) {
      case 'V':
        variant = 1;
        break;
      case 'U':
        variant = 2;
        break;
      case 'D':
        variant = 3;
        break;
      default:
        break;
    }
  }
  feed.Enabled[variant] = 1;
  feed.Table[variant][0] = ParseFloat(cursor, line);
  int32_t count = 0;
  for (int i = 0; i < kMaxFeedPairs; ++i) {
    const float x = ParseFloatAfterComma(cursor, line);
    if (x == 0.0f) break;
    feed.PairX[variant][i] = x;
    const float y = ParseFloatAfterComma(cursor, line);
    if (y == 0.0f) break;
    feed.Table[variant][i + 1] = y;
    count = i + 1;
  }
  feed.PairCount[variant] = count;
}

void ToolTableReader::ReadLayoutKey(int32_t& cursor, std::string_view line) {
  const double x = ParseNumber(cursor, line);
  const double y = ParseNumberAfterComma(cursor, line);
  const double z = ParseNumberAfterComma(cursor, line);
  if (!AllFinite(std::array<double, 3>{x, y, z})) {
    Note("LAYOUT1 of tool " + std::to_string(tool_) +
         ": a value is not a finite number; the key is ignored");
    return;
  }
  ToolLayout& layout = table_.Layout;
  if (tool_ >= kLayoutEntries || layout.Count >= kMaxLayoutOrder) {
    if (!layoutFullNoted_)
      Note("LAYOUT1 of tool " + std::to_string(tool_) +
           " does not fit the layout (tools 0..200, 200 positions); ignored");
    layoutFullNoted_ = true;
    return;
  }
  const size_t t = static_cast<size_t>(tool_);
  layout.Placed[t] = 1;
  layout.Position[t] = {x, y, z};
  ++layout.Count;
  layout.Order[static_cast<size_t>(layout.Count)] = tool_;
}

void ToolTableReader::PostProcess() {
  for (size_t t = 0; t < table_.Entries(); ++t) {
    if (table_.Records[t].Kind == kToolKegaki) table_.Shanks[t].Kind = kShankNone;
    // Only a tool with a shank has a holder.
    if (table_.Shanks[t].Kind == kShankNone) table_.Arbors[t].Present = 0;
  }
  // A single layout position is no layout.
  if (table_.Layout.Count == 1) table_.Layout = ToolLayout{};

  if (options_.CommandLineToolNumber > 0) result_.StartTool = options_.CommandLineToolNumber;
  const int32_t start = result_.StartTool;
  if (!table_.InRange(start))
    Note("start tool " + std::to_string(start) + " is outside 0.." +
         std::to_string(table_.MaxToolNumber) + "; it is an undefined tool");
}

}  // namespace

ToolTableReadResult ReadToolTable(std::string_view fileName, ToolTable& table,
                                  ToolTableFiles& files, ImportedToolMesh& mesh,
                                  const ToolTableReadOptions& options,
                                  const ImportedMeshLoader& loadMesh) {
  return ToolTableReader(fileName, table, files, mesh, options, loadMesh).Read();
}

bool TakesBasePointLength(const ToolTable& table, size_t t, int32_t mode) {
  if (mode < kBaseBallCentre || mode > kBaseArborTop || t >= table.Entries()) return false;
  return table.Shanks[t].Kind != kShankNone || table.Records[t].Kind == kToolImportedMesh;
}

bool BasePointReadsToolSetUp(int32_t mode) {
  return mode == kBaseFullRadiusCentre || mode == kBaseArborTop;
}

bool AddToolBasePointLength(ToolTable& table, size_t t, int32_t mode,
                            const ToolBaseHeights& heights) {
  if (t >= table.Entries()) return true;
  const double add = ToolBasePointHeight(mode, table.Records[t], table.Shanks[t], heights);
  const float length = RoundToSingle(table.Lengths[t] + add);
  if (!std::isfinite(length)) return false;
  table.Lengths[t] = length;
  return true;
}

}  // namespace vestan
