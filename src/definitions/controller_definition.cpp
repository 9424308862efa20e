#include "definitions/controller_definition.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <set>
#include <span>
#include <utility>

#include "foundation/single_precision.h"
#include "foundation/text_fields.h"

namespace vestan {

namespace {

enum class Key {
  kName,
  kReplaceType,
  kReplace,
  kNameColour,
  kUnitScale,
  kUnitDeg,
  kUnit,
  kDecimalPoint,
  kProduct,
  kOnlyG40,
  kInitialPlane,
  kReturnLevel,
  kCheckF0,
  kRTolerance,
  kCodeCheck,
  kCheckChar,
  kCheckRadiusOffset,
  kCheckReverseArc,
  kSmoothAngle,
  kWarningLevel,
  kFeedrate,
  kToolOffsetMemory,
  kG10Mode,
  kG92Mode,
  kG49Mode,
  kG00Mode,
  kG00Path,
  kOptionalSkip,
  kStopCharacter,
  kLathe,
  kCut,
  kConcaveArcFeed,
  kStopOption,
  kWaitMCode,
  kCycleD,
  kG73D,
  kG83D,
  kG83OspD1,
  kG83OspD2,
  kClearance,  // "G7" or "G8", a digit and " CLEARANCE"
  kCycleL0,
  kSpindleControl,
  kCycleK0,
  kScaleEffect,
  kScale,
  kRotationAngle,
  kLengthOffsetType,
  kChar,
  kAxisCode,
  kRotaryCode,
  kMemory,
  kEor,
  kType,
  kZcCoordinate,
  kAutoLengthOffset,
  kAutoLengthPosition,
  kDCodeValue,
  kHCodeValue,
  kAutomaticToolOffset,
  kTclVectorInterpolation,
  kTclCoordinate,
  kToolCenterControl,
  kRotaryChar,
  kRotaryLock,
  kIncrementalChar,
  kRotaryRoute,
  kRotaryDirection,
  kRotaryRange,
  kAngleDecision,
  kRunType,
  kViewCenter,
  kNo60Bit2,
};

// What a key stands for: its kind and the axis, rotary axis or table slot.
struct KeyTarget {
  Key Kind;
  int32_t Index = 0;
};
using ControllerKey = KeyEntry<KeyTarget>;

// Matching order: a key that begins another comes after it.
constexpr auto kKeys = std::to_array<ControllerKey>({
    {"NAME(MAX20)", {Key::kName}},
    {"REPLACE TYPE", {Key::kReplaceType}},
    {"REPLACE", {Key::kReplace}},
    {"NAME COLOR", {Key::kNameColour}},
    {"UNIT(SCALE)", {Key::kUnitScale}},
    {"UNIT(DEG)", {Key::kUnitDeg}},
    {"UNIT", {Key::kUnit}},
    {"DECIMAL POINT", {Key::kDecimalPoint}},
    {"PRODUCT", {Key::kProduct}},
    {"ONLY G40", {Key::kOnlyG40}},
    {"INITIAL PLANE", {Key::kInitialPlane}},
    {"RETURN LEVEL", {Key::kReturnLevel}},
    {"CHECK F0", {Key::kCheckF0}},
    {"R-TOLERANCE", {Key::kRTolerance}},
    {"CODE CHECK", {Key::kCodeCheck}},
    {"CHECK CHAR", {Key::kCheckChar}},
    {"CHECK RADIUS OFFSET", {Key::kCheckRadiusOffset}},
    {"CHECK REVERSE ARC", {Key::kCheckReverseArc}},
    {"SMOOTH ANGLE", {Key::kSmoothAngle}},
    {"WARNING LEVEL", {Key::kWarningLevel}},
    {"FEEDRATE", {Key::kFeedrate}},
    {"TOOL OFFSET MEMORY", {Key::kToolOffsetMemory}},
    {"G10MODE", {Key::kG10Mode}},
    {"G92MODE", {Key::kG92Mode}},
    {"G49MODE", {Key::kG49Mode}},
    {"G00MODE", {Key::kG00Mode}},
    {"G00PATH", {Key::kG00Path}},
    {"OPTIONAL BLOCK SKIP", {Key::kOptionalSkip}},
    {"STOP CHARACTER", {Key::kStopCharacter}},
    {"LATHE", {Key::kLathe}},
    {"CUT ", {Key::kCut}},
    {"CONCAVE-ARC FEED", {Key::kConcaveArcFeed}},
    {"STOP OPTION", {Key::kStopOption}},
    {"WAIT M-CODE", {Key::kWaitMCode}},
    {"CYCLE(D)", {Key::kCycleD}},
    {"G73_D", {Key::kG73D}},
    {"G83_D", {Key::kG83D}},
    {"G83_OSP_D1", {Key::kG83OspD1}},
    {"G83_OSP_D2", {Key::kG83OspD2}},
    {"G7", {Key::kClearance, 0}},
    {"G8", {Key::kClearance, 10}},
    {"CYCLE(L0)", {Key::kCycleL0}},
    {"SPINDLE CONTROL", {Key::kSpindleControl}},
    {"CYCLE(K0)", {Key::kCycleK0}},
    {"SCALE EFFECT(", {Key::kScaleEffect}},
    {"SCALE(X)", {Key::kScale, 0}},
    {"SCALE(Y)", {Key::kScale, 1}},
    {"SCALE(Z)", {Key::kScale, 2}},
    {"ROTATION ANGLE", {Key::kRotationAngle}},
    {"LENGTH OFFSET TYPE", {Key::kLengthOffsetType}},
    {"CHAR(X)", {Key::kChar, 0}},
    {"CHAR(Y)", {Key::kChar, 1}},
    {"CHAR(Z)", {Key::kChar, 2}},
    {"X-CODE", {Key::kAxisCode, 0}},
    {"Y-CODE", {Key::kAxisCode, 1}},
    {"Z-CODE", {Key::kAxisCode, 2}},
    {"A-CODE", {Key::kRotaryCode, 0}},
    {"B-CODE", {Key::kRotaryCode, 1}},
    {"C-CODE", {Key::kRotaryCode, 2}},
    {"MEMORY", {Key::kMemory}},
    {"EOR", {Key::kEor}},
    {"TYPE", {Key::kType}},
    {"Z-CE COORDINATE", {Key::kZcCoordinate}},
    {"AUTO LENGTH OFFSET", {Key::kAutoLengthOffset}},
    {"AUTO LENGTH POSITION", {Key::kAutoLengthPosition}},
    {"D-CODE VALUE", {Key::kDCodeValue}},
    {"H-CODE VALUE", {Key::kHCodeValue}},
    {"AUTOMATIC TOOL OFFSET", {Key::kAutomaticToolOffset}},
    {"TCL VECTOR INTERPOLATION", {Key::kTclVectorInterpolation}},
    {"TCL COORDINATE", {Key::kTclCoordinate}},
    {"TOOL CENTER CONTROL", {Key::kToolCenterControl}},
    {"ROTARY1 CHAR", {Key::kRotaryChar, 0}},
    {"ROTARY2 CHAR", {Key::kRotaryChar, 1}},
    {"ROTARY1 LOCK", {Key::kRotaryLock, kRotary1Lock}},
    {"ROTARY1 UNLOCK", {Key::kRotaryLock, kRotary1Unlock}},
    {"ROTARY2 LOCK", {Key::kRotaryLock, kRotary2Lock}},
    {"ROTARY2 UNLOCK", {Key::kRotaryLock, kRotary2Unlock}},
    {"INC-X CHAR", {Key::kIncrementalChar, kIncX}},
    {"INC-Y CHAR", {Key::kIncrementalChar, kIncY}},
    {"INC-Z CHAR", {Key::kIncrementalChar, kIncZ}},
    {"INC-ROTARY1 CHAR", {Key::kIncrementalChar, kIncRotary1}},
    {"INC-ROTARY2 CHAR", {Key::kIncrementalChar, kIncRotary2}},
    {"INC-I CHAR", {Key::kIncrementalChar, kIncI}},
    {"INC-J CHAR", {Key::kIncrementalChar, kIncJ}},
    {"INC-K CHAR", {Key::kIncrementalChar, kIncK}},
    {"ROTARY1 ROUTE", {Key::kRotaryRoute, 0}},
    {"ROTARY2 ROUTE", {Key::kRotaryRoute, 1}},
    {"ROTARY1 DIRECTION", {Key::kRotaryDirection, 0}},
    {"ROTARY2 DIRECTION", {Key::kRotaryDirection, 1}},
    {"ROTARY1 RANGE", {Key::kRotaryRange, 0}},
    {"ROTARY2 RANGE", {Key::kRotaryRange, 1}},
    {"ANGLE DECISION", {Key::kAngleDecision}},
    {"RUN TYPE", {Key::kRunType}},
    {"VIEW CENTER", {Key::kViewCenter}},
    {"NO60_BIT2", {Key::kNo60Bit2}},
});

// A value word and its code.
using WordCode = KeyEntry<int32_t>;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first key the line begins with, with its length.
std::optional<std::pair<KeyTarget, size_t>> MatchControllerKey(std::string_view line) {
  const ControllerKey* key = MatchKeyTable(kKeys, line, 0);
  if (key == nullptr) return std::nullopt;
  // "G73 CLEARANCE": only a digit may stand between the prefix and the word
  // (no later key begins with G).
  if (key->Key.Kind == Key::kClearance) {
    if (line.size() < 3 || !IsDigit(line[2]) || !MatchesKeyAt(line, 3, " CLEARANCE"))
      return std::nullopt;
    return std::pair{key->Key, size_t{13}};
  }
  return std::pair{key->Key, key->Text.size()};
}

// Rules of the unit keys: the words from the first number character on.
constexpr auto kFineUnits = std::to_array<WordCode>({{"1/100000", 100000},
                                                     {"0.00001", 100000},
                                                     {".00001", 100000},
                                                     {"1/1000", 1000},
                                                     {"0.001", 1000},
                                                     {".001", 1000}});
constexpr auto kLengthUnits = std::to_array<WordCode>({{"1/10000", 10000},
                                                       {"0.0001", 10000},
                                                       {".0001", 10000},
                                                       {"1/1000", 1000},
                                                       {"0.001", 1000},
                                                       {".001", 1000},
                                                       {"1/100", 100},
                                                       {"0.01", 100},
                                                       {".01", 100}});

class ControllerReader {
 public:
  ControllerReader(std::string_view fileName, const ControllerReadRecords& records)
      : fileName_(fileName), r_(records), c_(records.Controller) {}

  DefinitionReadResult Read();

 private:
  void Reset();
  void ReadLine(std::string_view line);
  void ApplyKey(const KeyTarget& key, size_t keyEnd, std::string_view line);
  void Finish();
  void NoteRefusals();

  // The cursor behind the key's blanks and "=".
  size_t Value(size_t keyEnd) const {
    int32_t c = static_cast<int32_t>(std::min(keyEnd, line_.size()));
    SkipBlanksAndEquals(c, line_);
    return static_cast<size_t>(c);
  }
  bool Is(size_t cursor, std::string_view word) const { return MatchesKeyAt(line_, cursor, word); }
  // Sets field to the code of the first word found at the value; unknown
  // words leave it.
  template <typename Field>
  void SetByWord(Field& field, size_t keyEnd, std::initializer_list<WordCode> words) const {
    const size_t cursor = Value(keyEnd);
    for (const WordCode& w : words) {
      if (Is(cursor, w.Text)) {
        field = w.Key;
        return;
      }
    }
  }
  void SetIfWord(int32_t& field, size_t keyEnd, std::string_view word, int32_t code) const {
    SetByWord(field, keyEnd, {{word, code}});
  }
  // The single character of a character value; none at the end of the line.
  std::optional<char> Character(size_t keyEnd) const {
    const size_t cursor = Value(keyEnd);
    if (cursor >= line_.size() || line_[cursor] == '\n') return std::nullopt;
    return line_[cursor];
  }
  double Number(size_t keyEnd) const {
    int32_t c = static_cast<int32_t>(std::min(keyEnd, line_.size()));
    return ParseNumber(c, line_);
  }
  // N numbers: the first behind the key, the others after commas.
  template <size_t N>
  std::array<double, N> Numbers(size_t keyEnd) const {
    std::array<double, N> numbers{};
    int32_t c = static_cast<int32_t>(std::min(keyEnd, line_.size()));
    ValueList values(c, line_);
    for (double& number : numbers) number = values.NextNumber();
    return numbers;
  }
  // Whether the key's values keep the rule; a refused line is noted with
  // its key and changes nothing.
  bool Takes(size_t keyEnd, std::span<const double> values, NumberRule rule) {
    return Noted(keyEnd, BrokenNumberRule(values, rule));
  }
  bool Takes(size_t keyEnd, double value, NumberRule rule) {
    return Takes(keyEnd, std::span<const double>(&value, 1), rule);
  }
  bool Noted(size_t keyEnd, std::optional<std::string> why) {
    if (!why) return true;
    std::string key(line_.substr(0, std::min(keyEnd, line_.size())));
    for (char& c : key) c = ToUpperAscii(c);
    refused_.push_back(RefusedKeyNote(key, *why));
    return false;
  }
  template <size_t N>
  void ReadUnit(size_t keyEnd, const std::array<WordCode, N>& words, int32_t& divisor) const;
  void ReadName(size_t keyEnd);
  void ReadAxisCode(int32_t axis, size_t keyEnd);
  void ReadEor(size_t keyEnd);

  std::string_view fileName_;
  const ControllerReadRecords& r_;
  ControllerDefinition& c_;
  DefinitionReadResult result_;
  std::string_view line_;
  int32_t lineNumber_ = 0;
  std::vector<std::string> refused_;
  // Each message is noted once per read (a full table says so only once).
  std::set<std::string> noted_;
};

DefinitionReadResult ControllerReader::Read() {
  Reset();
  const std::optional<std::vector<std::string>> lines = ReadWatchedDefinition(fileName_, r_.File);
  result_.State = r_.File.State;
  if (!lines) return std::move(result_);
  // The plane is chosen anew from this file's initial plane: a machine plane
  // that an earlier mapping left is no program plane.
  r_.Plane.PlaneCode = c_.initialPlane;
  for (const std::string& line : *lines) {
    ++lineNumber_;
    line_ = line;
    ReadLine(line);
    NoteRefusals();
  }
  lineNumber_ = 0;
  line_ = {};
  Finish();
  return std::move(result_);
}

void ControllerReader::Reset() {
  FreeReplaceTable(c_.Tables);
  FreeControllerTables(c_.Tables, r_.Subprograms);
  c_ = ControllerDefinition{};
  ClearOffsetMemoryForRead(r_.Offsets);
}

void ControllerReader::NoteRefusals() {
  for (std::string& message : refused_) {
    if (!noted_.insert(message).second) continue;
    result_.Notes.push_back({std::string(fileName_), lineNumber_, std::move(message)});
  }
  refused_.clear();
}

void ControllerReader::ReadLine(std::string_view line) {
  if (const auto key = MatchControllerKey(line)) {
    ApplyKey(key->first, key->second, line);
    return;
  }
  if (IsDigit(line.size() > 1 ? line[1] : '\0')) {
    const char letter = ToUpperAscii(line[0]);
    if (letter == 'D' || letter == 'H' || letter == 'F')
      ReadOffsetMemoryLine(line, 0, r_.Offsets, refused_);
  }
}

template <size_t N>
void ControllerReader::ReadUnit(size_t keyEnd, const std::array<WordCode, N>& words,
                                int32_t& divisor) const {
  const int32_t start =
      FindNumberStart(line_, static_cast<int32_t>(std::min(keyEnd, line_.size())));
  if (start < 0) return;
  if (const WordCode* unit = MatchKeyTable(words, line_, static_cast<size_t>(start)))
    divisor = unit->Key;
}

void ControllerReader::ReadName(size_t keyEnd) {
  const size_t start = Value(keyEnd);
  std::string_view name = line_.substr(std::min(start, line_.size()));
  if (!name.empty() && name.back() == '\n') name.remove_suffix(1);
  if (name.size() > kMaxControllerName) {
    refused_.push_back("the controller name of " + std::to_string(name.size()) +
                       " characters is longer than " + std::to_string(kMaxControllerName) +
                       "; it is ignored");
    return;
  }
  c_.Name = std::string(name);
}

void ControllerReader::ReadAxisCode(int32_t axis, size_t keyEnd) {
  static constexpr std::array<char, 3> kLetters{'X', 'Y', 'Z'};
  static constexpr std::array<char, 3> kArcLetters{'I', 'J', 'K'};
  // Machine slots 0, 1, 2, then the same reversed.
  static constexpr std::array<std::string_view, 6> kWords{"X", "Y", "Z", "-X", "-Y", "-Z"};
  const size_t a = static_cast<size_t>(axis);
  c_.ProgramReverse[a] = 0;
  const size_t cursor = Value(keyEnd);
  for (size_t slot = 0; slot < kWords.size(); ++slot) {
    const bool reversed = slot >= 3;
    if (!Is(cursor, kWords[slot])) continue;
    if (reversed) c_.ProgramReverse[a] = 1;
    c_.AddressLetters[slot % 3] = kLetters[a];
    c_.ArcLetters[slot % 3] = kArcLetters[a];
    return;
  }
}

void ControllerReader::ReadEor(size_t keyEnd) {
  const size_t equals = line_.find('=', std::min(keyEnd, line_.size()));
  if (equals == std::string_view::npos) return;
  size_t i = equals + 1;
  while (i < line_.size() && (line_[i] == ' ' || line_[i] == '\t')) ++i;
  if (i < line_.size() && line_[i] != '\n') c_.EndOfRecordLetter = line_[i];
}

void ControllerReader::ApplyKey(const KeyTarget& key, size_t keyEnd, std::string_view line) {
  const size_t i = static_cast<size_t>(key.Index);
  ControllerTables& tables = c_.Tables;
  switch (key.Kind) {
    case Key::kName:
      ReadName(keyEnd);
      return;
    case Key::kReplaceType: {
      const int32_t start = FindNumberStart(line, static_cast<int32_t>(keyEnd));
      if (start >= 0 && line[static_cast<size_t>(start)] == '2') c_.ReplaceType = 2;
      return;
    }
    case Key::kReplace:
      ReadReplaceLine(line, keyEnd, tables, refused_);
      return;
    case Key::kNameColour: {
      int32_t c = static_cast<int32_t>(keyEnd);
      ValueList values(c, line);
      std::array<double, 6> colours{};
      for (double& colour : colours) colour = values.NextFloat();
      if (!Takes(keyEnd, colours, NumberRule::kFinite)) return;
      for (size_t k = 0; k < colours.size(); ++k) c_.NameColours[k] = TruncateToInt32(colours[k]);
      return;
    }
    case Key::kUnitScale:
      ReadUnit(keyEnd, kFineUnits, c_.ScaleDivisor);
      return;
    case Key::kUnitDeg:
      ReadUnit(keyEnd, kFineUnits, c_.AngleDivisor);
      return;
    case Key::kUnit:
      // "UNIT(...)" lines of other kinds are no length unit.
      if (line.size() > 5 && line[5] == '(') return;
      ReadUnit(keyEnd, kLengthUnits, c_.LengthDivisor);
      c_.Tolerance = c_.LengthDivisor == 10000 ? 0.00005 : 0.0005;
      return;
    case Key::kDecimalPoint: {
      const size_t cursor = Value(keyEnd);
      c_.DecimalPointMode = Is(cursor, "NORMAL") ? 3
                            : Is(cursor, "NO")   ? 0
                            : Is(cursor, "YES")  ? 1
                                                 : 2;
      return;
    }
    case Key::kProduct: {
      const size_t cursor = Value(keyEnd);
      if (Is(cursor, "OSP")) {
        c_.productCode = kProductOsp;
        c_.isOsp = 1;
        c_.TableCoordinate = 1;
        c_.WorkOffsetResetValue = 0;
        r_.Offsets.SelectedWorkOffset = 0;
      } else if (Is(cursor, "MAZAK")) {
        c_.isMazak = 1;
      } else if (Is(cursor, "SIEMENS")) {
        c_.isSiemens = 1;
        c_.TableCoordinate = 1;
      } else if (Is(cursor, "HEIDENHAIN")) {
        c_.isHeidenhain = 1;
        c_.TableCoordinate = 1;
        c_.productCode = kProductHeidenhain;
      }
      return;
    }
    case Key::kOnlyG40:
      SetByWord(c_.OnlyG40, keyEnd, {{"OFFSET", 1}, {"RESET", 2}});
      return;
    case Key::kInitialPlane:
      SetByWord(c_.initialPlane, keyEnd,
                {{"XY", 17}, {"G17", 17}, {"ZX", 18}, {"G18", 18}, {"YZ", 19}, {"G19", 19}});
      r_.Plane.PlaneCode = c_.initialPlane;
      return;
    case Key::kReturnLevel:
      SetByWord(c_.ReturnLevel, keyEnd, {{"R", 0}, {"G99", 0}, {"INITIAL", 1}, {"G98", 1}});
      return;
    case Key::kCheckF0:
      SetIfWord(c_.CheckF0, keyEnd, "YES", 1);
      return;
    case Key::kRTolerance: {
      const float tolerance = RoundToSingle(Number(keyEnd));
      if (Takes(keyEnd, tolerance, NumberRule::kNotNegative)) c_.RTolerance = tolerance;
      return;
    }
    case Key::kCodeCheck:
      SetIfWord(c_.CodeCheck, keyEnd, "YES", 1);
      return;
    case Key::kCheckChar:
      ReadCheckCharLine(line, keyEnd, tables);
      return;
    case Key::kCheckRadiusOffset:
      ReadRadiusOffsetCheckLine(line, keyEnd, tables);
      return;
    case Key::kCheckReverseArc:
      SetIfWord(c_.CheckReverseArc, keyEnd, "YES", 1);
      return;
    case Key::kSmoothAngle: {
      const float angle = RoundToSingle(Number(keyEnd));
      if (Takes(keyEnd, angle, NumberRule::kNotNegative)) c_.SmoothAngle = angle;
      return;
    }
    case Key::kWarningLevel: {
      int32_t c = static_cast<int32_t>(keyEnd);
      c_.WarningLevel = ParseInteger(c, line);
      return;
    }
    case Key::kFeedrate:
      SetByWord(c_.FeedrateMode, keyEnd,
                {{"DIRECT", 0}, {"INDIRECT", 1}, {"AUTO1", 2}, {"AUTO2", 3}});
      return;
    case Key::kToolOffsetMemory:
      if (const std::optional<char> letter = Character(keyEnd)) {
        const char upper = ToUpperAscii(*letter);
        if (upper >= 'A' && upper <= 'C') c_.offsetMemoryType = upper - 'A' + 1;
      }
      return;
    case Key::kG10Mode:
      SetByWord(c_.offsetMemoryType, keyEnd, {{"FANUC-A", 1}, {"FANUC-B", 2}, {"FANUC-C", 3}});
      return;
    case Key::kG92Mode:
      SetByWord(c_.G92Mode, keyEnd, {{"NORMAL", 0}, {"MOVE", 1}});
      return;
    case Key::kG49Mode:
      SetByWord(c_.G49Mode, keyEnd, {{"NORMAL", 0}, {"KEEP", 1}});
      return;
    case Key::kG00Mode:
      // The rapid-path kind: 0 and 9 no decomposition, 1 and 2 the two
      // decompositions; UNKNOWN also selects its own interference message.
      SetByWord(c_.G00Mode, keyEnd,
                {{"LINE", 0}, {"ASYNC1", 1}, {"ASYNC2", 2}, {"ASYNC", 1}, {"UNKNOWN", 9}});
      return;
    case Key::kG00Path:
      SetIfWord(c_.G00Path, keyEnd, "LINE", 1);
      return;
    case Key::kOptionalSkip:
      ReadOptionalSkipLine(line, keyEnd, tables, refused_);
      return;
    case Key::kStopCharacter:
      ReadStopCharacterLine(line, keyEnd, tables, refused_);
      return;
    case Key::kLathe:
      ReadLatheLine(line, keyEnd, tables, refused_);
      return;
    case Key::kCut:
      ReadCutLine(line, keyEnd, tables, refused_);
      return;
    case Key::kConcaveArcFeed:
      SetIfWord(c_.ConcaveArcFeed, keyEnd, "KEEP", 0);
      return;
    case Key::kStopOption:
      SetByWord(c_.StopOption, keyEnd,
                {{"NONE", 0}, {"NORMAL", 1}, {"M01", 2}, {"SINGLE", 3}, {"DEFINE", 4}});
      return;
    case Key::kWaitMCode:
      ReadWaitLine(line, keyEnd, tables, refused_);
      return;
    case Key::kCycleD:
    case Key::kG73D:
    case Key::kG83OspD2:
    case Key::kG83D:
    case Key::kG83OspD1: {
      // Return amounts of the peck cycles.
      const double amount = Number(keyEnd);
      if (!Takes(keyEnd, amount, NumberRule::kNotNegative)) return;
      if (key.Kind != Key::kG83D && key.Kind != Key::kG83OspD1) c_.G73D = amount;
      if (key.Kind != Key::kG73D && key.Kind != Key::kG83OspD2) c_.G83D = amount;
      return;
    }
    case Key::kClearance: {
      const double clearance = Number(keyEnd);
      if (Takes(keyEnd, clearance, NumberRule::kFinite))
        c_.CycleClearance[i + static_cast<size_t>(line[2] - '0')] = clearance;
      return;
    }
    case Key::kCycleL0:
      SetIfWord(c_.CycleL0Ignore, keyEnd, "IGNORE", 1);
      return;
    case Key::kSpindleControl:
      if (const std::optional<char> letter = Character(keyEnd)) {
        c_.SpindleControl = 1;
        c_.SpindleControlLetter = *letter;
      }
      return;
    case Key::kCycleK0:
      SetIfWord(c_.CycleK0Ignore, keyEnd, "IGNORE", 1);
      return;
    case Key::kScaleEffect: {
      if (keyEnd >= line.size()) return;
      const char axis = ToUpperAscii(line[keyEnd]);
      if (axis < 'X' || axis > 'Z') return;
      SetIfWord(c_.ScaleEffect[static_cast<size_t>(axis - 'X')], keyEnd + 2, "OFF", 0);
      return;
    }
    case Key::kScale: {
      const double factor = Number(keyEnd);
      if (Takes(keyEnd, factor, NumberRule::kNonZero)) c_.ScaleFactor[i] = factor;
      return;
    }
    case Key::kRotationAngle: {
      const double angle = Number(keyEnd);
      if (Takes(keyEnd, angle, NumberRule::kFinite)) c_.RotationAngle = angle;
      return;
    }
    case Key::kLengthOffsetType:
      SetByWord(c_.LengthOffsetType, keyEnd, {{"FANUC-A", 0}, {"FANUC-B", 1}, {"FANUC-C", 2}});
      return;
    case Key::kChar:
      if (const std::optional<char> letter = Character(keyEnd)) {
        c_.ProgramLetters[i] = *letter;
        c_.AddressLetters[i] = *letter;
      }
      return;
    case Key::kAxisCode:
      ReadAxisCode(key.Index, keyEnd);
      return;
    case Key::kRotaryCode: {
      const std::string reversed{'-', static_cast<char>('A' + key.Index)};
      if (Is(Value(keyEnd), reversed)) c_.LetterReverseAbc[i] = 1;
      return;
    }
    case Key::kMemory:
      ReadOffsetMemoryLine(line, Value(keyEnd), r_.Offsets, refused_);
      return;
    case Key::kEor:
      ReadEor(keyEnd);
      return;
    case Key::kType: {
      const size_t cursor = Value(keyEnd);
      if (Is(cursor, "WIRE")) {
        c_.TclVectorInterpolation = 1;
        c_.Wire = 1;
      } else if (Is(cursor, "LATHE")) {
        c_.Lathe = {1, 1};
        c_.initialPlane = 18;
        r_.Plane.PlaneCode = 18;
      }
      return;
    }
    case Key::kZcCoordinate:
      SetIfWord(c_.ZcCoordinate, keyEnd, "Z-C", 1);
      return;
    case Key::kAutoLengthOffset:
      SetIfWord(c_.AutoLengthOffset, keyEnd, "YES", 1);
      return;
    case Key::kAutoLengthPosition:
      SetByWord(c_.AutoLengthPosition, keyEnd,
                {{"BOTTOM", 0}, {"BALL-CENTER", 1}, {"F-CENTER", 2}, {"R-HEIGHT", 3}});
      return;
    case Key::kDCodeValue:
      SetIfWord(c_.DCodeAuto, keyEnd, "AUTO", 1);
      return;
    case Key::kHCodeValue:
      SetIfWord(c_.HCodeAuto, keyEnd, "AUTO", 1);
      return;
    case Key::kAutomaticToolOffset:
      SetIfWord(c_.AutomaticToolOffset, keyEnd, "YES", 1);
      return;
    case Key::kTclVectorInterpolation:
      SetIfWord(c_.TclVectorInterpolation, keyEnd, "VECTOR", 1);
      return;
    case Key::kTclCoordinate:
      SetIfWord(c_.TableCoordinate, keyEnd, "TABLE", 0);
      return;
    case Key::kToolCenterControl:
      SetByWord(c_.ToolCenterControl[0], keyEnd, {{"NO", 0}, {"TYPE1", 1}, {"TYPE2", 2}});
      c_.ToolCenterControl[1] = c_.ToolCenterControl[0];
      return;
    case Key::kRotaryChar:
      if (const std::optional<char> letter = Character(keyEnd)) c_.Rotary[i].Letter = *letter;
      return;
    case Key::kRotaryLock:
      ReadRotaryLockLine(line, keyEnd, static_cast<RotaryLockCode>(key.Index), tables, refused_);
      return;
    case Key::kIncrementalChar:
      if (const std::optional<char> letter = Character(keyEnd)) c_.IncrementalLetters[i] = *letter;
      return;
    case Key::kRotaryRoute:
      if (Is(Value(keyEnd), "SHORTEST")) c_.Rotary[i].ShortestRoute = {1, 1};
      return;
    case Key::kRotaryDirection:
      if (Is(Value(keyEnd), "REVERSE")) c_.Rotary[i].DirectionSign = -1;
      return;
    case Key::kRotaryRange: {
      const std::array<double, 2> range = Numbers<2>(keyEnd);
      if (!Noted(keyEnd, BrokenRange(range[0], range[1]))) return;
      c_.Rotary[i].RangeMinimum = range[0];
      c_.Rotary[i].RangeMaximum = range[1];
      c_.Rotary[i].RangeGiven = 1;
      return;
    }
    case Key::kAngleDecision:
      SetIfWord(c_.AngleDecision, keyEnd, "FANUC-2", 1);
      return;
    case Key::kRunType:
      ReadRunTypeLine(line, keyEnd, tables);
      return;
    case Key::kViewCenter: {
      const std::array<double, 3> centre = Numbers<3>(keyEnd);
      if (!Takes(keyEnd, centre, NumberRule::kFinite)) return;
      c_.ViewCentre = centre;
      c_.ViewCentreGiven = 1;
      return;
    }
    case Key::kNo60Bit2: {
      int32_t c = static_cast<int32_t>(keyEnd);
      if (ParseFloat(c, line) == 1.0f) c_.No60Bit = 1;
      return;
    }
  }
}

void ControllerReader::Finish() {
  DeleteWaitFiles(c_.Tables);
  StatusAxisLabels& labels = r_.AxisLabels;
  for (size_t axis = 0; axis < 3; ++axis) labels.Set(axis, c_.ProgramLetters[axis]);
  for (size_t rotary = 0; rotary < 2; ++rotary) {
    RotaryAxisRules& rules = c_.Rotary[rotary];
    labels.Set(3 + rotary, rules.Letter);
    const char letter = ToUpperAscii(rules.Letter);
    if (letter >= 'A' && letter <= 'C')
      rules.Reverse = c_.LetterReverseAbc[static_cast<size_t>(letter - 'A')];
  }
  FinishControllerDefinition(c_);
  SelectPlaneAxes(c_.Planes, r_.Plane);
  ComposeWorkOffset(r_.Offsets);
  SelectToolLengthAxis(c_, r_.Plane);
  if (c_.isHeidenhain != 0) {
    c_.EndOfRecordLetter = ' ';
    c_.DecimalPointMode = 3;
  }
  r_.Display.RequestRebuild(kListCoordinateAxes);
}

// The code of the program plane that the address letters (first, second)
// span, -19 when they span none; only the XY cases fix the program axes.
struct PlaneCase {
  int32_t Code;
  bool SetsAxes;
};
PlaneCase PlaneOf(char first, char second, const std::array<char, 3>& p) {
  if (first == p[0] && second == p[1]) return {17, true};
  if (first == p[1] && second == p[0]) return {-17, true};
  if (first == p[2] && second == p[0]) return {18, false};
  if (first == p[0] && second == p[2]) return {-18, false};
  if (first == p[1] && second == p[2]) return {19, false};
  return {-19, false};
}

}  // namespace

DefinitionReadResult ReadControllerDefinition(std::string_view fileName,
                                              const ControllerReadRecords& records) {
  return ControllerReader(fileName, records).Read();
}

void SelectToolLengthAxis(const ControllerDefinition& controller, NcPlaneState& plane) {
  constexpr int32_t kFanucB = 1;
  plane.ToolLengthAxis = controller.LengthOffsetType == kFanucB ? plane.PlaneAxes[2]
                                                                : controller.Planes.ProgramAxes[2];
}

void FinishControllerDefinition(ControllerDefinition& controller) {
  const std::array<char, 3>& slot = controller.AddressLetters;
  const std::array<char, 3>& program = controller.ProgramLetters;
  const auto sign = [&](size_t axis) { return controller.ProgramReverse[axis] != 0 ? -1 : 1; };
  struct Plane {
    char First, Second;
    int32_t Sign;
    std::array<int32_t, 3> Axes;
  };
  const std::array<Plane, 3> planes{{
      {slot[0], slot[1], sign(0) * sign(1), {0, 1, 2}},
      {slot[2], slot[0], sign(0) * sign(2), {2, 0, 1}},
      {slot[1], slot[2], sign(1) * sign(2), {1, 2, 0}},
  }};
  PlaneMapping& mapping = controller.Planes;
  mapping.ProgramAxes = {0, 1, 2};
  for (size_t k = 0; k < planes.size(); ++k) {
    const PlaneCase found = PlaneOf(planes[k].First, planes[k].Second, program);
    mapping.Codes[k] = found.Code * planes[k].Sign;
    if (found.SetsAxes) mapping.ProgramAxes = planes[k].Axes;
  }
}

}  // namespace vestan
