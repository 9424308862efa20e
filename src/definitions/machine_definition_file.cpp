#include "definitions/machine_definition_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "definitions/tool_direction.h"
#include "foundation/path_text.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"
#include "platform/host.h"

namespace vestan {

namespace {

constexpr std::string_view kUnreadableCaption = "ファイルが存在しないか読めない状態です!";

enum class Key {
  kName,
  kAtcType,
  kRoute,
  kToolChangePosition,
  kToolChangeTime,
  kRapid,
  kRapidAcceleration,
  kMaximumFeedrate,
  kMaximumFeedrateAll,
  kAcceleration,
  kAxisDirection,
  kRotaryType,
  kRotaryAxis,
  kAxisAngle,
  kAxisVector,
  kTableType,
  kTable2Type,
  kHeadType,
  kAngleHead,
  kToolDirection,
  kTablePosition,
  kTableOffset,
  kHeadPosition,
  kHeadOffset,
  kToolHolderOffset,
  kBasicModelOffset,
  kViceModelOffset,
  kTableModelOffset,
  kHeadModelOffset,
  kBasicModel,
  kViceModel,
  kTableModel,
  kHeadModel,
  kMove,
  kStrokeRange,
  kViewCenter,
};

// What a key stands for: its kind and the axis, rotary axis, head or table
// part.
struct KeyTarget {
  Key Kind;
  size_t Index = 0;
};
using MachineKey = KeyEntry<KeyTarget>;

// Matching order: the model OFFSET keys come before the model file keys they
// begin with, MAXIMUM FEEDRATE(X) before MAXIMUM FEEDRATE.
constexpr auto kKeys = std::to_array<MachineKey>({
    {"NAME", {Key::kName}},
    {"ATC TYPE", {Key::kAtcType}},
    {"TOOL CHANGE ROUTE", {Key::kRoute}},
    {"TOOL CHANGE POSITION", {Key::kToolChangePosition}},
    {"TOOL CHANGE TIME", {Key::kToolChangeTime}},
    {"RAPID(X)", {Key::kRapid, 0}},
    {"RAPID(Y)", {Key::kRapid, 1}},
    {"RAPID(Z)", {Key::kRapid, 2}},
    {"RAPID ACCELERATION(X)", {Key::kRapidAcceleration, 0}},
    {"RAPID ACCELERATION(Y)", {Key::kRapidAcceleration, 1}},
    {"RAPID ACCELERATION(Z)", {Key::kRapidAcceleration, 2}},
    {"MAXIMUM FEEDRATE(X)", {Key::kMaximumFeedrate, 0}},
    {"MAXIMUM FEEDRATE(Y)", {Key::kMaximumFeedrate, 1}},
    {"MAXIMUM FEEDRATE(Z)", {Key::kMaximumFeedrate, 2}},
    {"MAXIMUM FEEDRATE", {Key::kMaximumFeedrateAll}},
    {"ACCELERATION(X)", {Key::kAcceleration, 0}},
    {"ACCELERATION(Y)", {Key::kAcceleration, 1}},
    {"ACCELERATION(Z)", {Key::kAcceleration, 2}},
    {"MAXIMUM ACCELERATION(X)", {Key::kAcceleration, 0}},
    {"MAXIMUM ACCELERATION(Y)", {Key::kAcceleration, 1}},
    {"MAXIMUM ACCELERATION(Z)", {Key::kAcceleration, 2}},
    {"AXIS DIRECTION", {Key::kAxisDirection}},
    {"ROTARY TYPE", {Key::kRotaryType}},
    {"ROTARY AXIS1", {Key::kRotaryAxis, 0}},
    {"ROTARY AXIS2", {Key::kRotaryAxis, 1}},
    {"AXIS1 ANGLE", {Key::kAxisAngle, 0}},
    {"AXIS2 ANGLE", {Key::kAxisAngle, 1}},
    {"AXIS1 VECTOR", {Key::kAxisVector, 0}},
    {"AXIS2 VECTOR", {Key::kAxisVector, 1}},
    {"TABLE1 TYPE", {Key::kTableType}},
    {"TABLE TYPE", {Key::kTableType}},
    {"TABLE2 TYPE", {Key::kTable2Type}},
    {"HEAD1 TYPE", {Key::kHeadType, 1}},
    {"HEAD2 TYPE", {Key::kHeadType, 2}},
    {"HEAD TYPE", {Key::kHeadType, 0}},
    {"ANGLE HEAD(", {Key::kAngleHead}},
    {"TOOL DIRECTION", {Key::kToolDirection}},
    {"TABLE POSITION", {Key::kTablePosition}},
    {"TABLE OFFSET", {Key::kTableOffset}},
    {"HEAD POSITION", {Key::kHeadPosition}},
    {"HEAD OFFSET", {Key::kHeadOffset}},
    {"TOOL HOLDER OFFSET", {Key::kToolHolderOffset}},
    {"BASIC MODEL OFFSET", {Key::kBasicModelOffset}},
    {"VICE MODEL OFFSET", {Key::kViceModelOffset}},
    {"TABLE MODEL OFFSET", {Key::kTableModelOffset, kTableMain}},
    {"TABLE(X) MODEL OFFSET", {Key::kTableModelOffset, kTableX}},
    {"TABLE(Y) MODEL OFFSET", {Key::kTableModelOffset, kTableY}},
    {"TABLE(Z) MODEL OFFSET", {Key::kTableModelOffset, kTableZ}},
    {"TABLE1 MODEL OFFSET", {Key::kTableModelOffset, kTable1}},
    {"TABLE2 MODEL OFFSET", {Key::kTableModelOffset, kTable2}},
    {"HEAD MODEL OFFSET", {Key::kHeadModelOffset, kHeadMain}},
    {"HEAD(XYZ) MODEL OFFSET", {Key::kHeadModelOffset, kHeadMain}},
    {"HEAD(X) MODEL OFFSET", {Key::kHeadModelOffset, kHeadX}},
    {"HEAD(Y) MODEL OFFSET", {Key::kHeadModelOffset, kHeadY}},
    {"HEAD(Z) MODEL OFFSET", {Key::kHeadModelOffset, kHeadZ}},
    {"HEAD(XY) MODEL OFFSET", {Key::kHeadModelOffset, kHeadXY}},
    {"HEAD(YX) MODEL OFFSET", {Key::kHeadModelOffset, kHeadXY}},
    {"HEAD(YZ) MODEL OFFSET", {Key::kHeadModelOffset, kHeadYZ}},
    {"HEAD(ZY) MODEL OFFSET", {Key::kHeadModelOffset, kHeadYZ}},
    {"HEAD(ZX) MODEL OFFSET", {Key::kHeadModelOffset, kHeadZX}},
    {"HEAD(XZ) MODEL OFFSET", {Key::kHeadModelOffset, kHeadZX}},
    {"HEAD1 MODEL OFFSET", {Key::kHeadModelOffset, kHead1}},
    {"HEAD2 MODEL OFFSET", {Key::kHeadModelOffset, kHead2}},
    {"BASIC MODEL", {Key::kBasicModel}},
    {"VICE MODEL", {Key::kViceModel}},
    {"TABLE MODEL", {Key::kTableModel, kTableMain}},
    {"TABLE(X) MODEL", {Key::kTableModel, kTableX}},
    {"TABLE(Y) MODEL", {Key::kTableModel, kTableY}},
    {"TABLE(Z) MODEL", {Key::kTableModel, kTableZ}},
    {"TABLE1 MODEL", {Key::kTableModel, kTable1}},
    {"TABLE2 MODEL", {Key::kTableModel, kTable2}},
    {"HEAD MODEL", {Key::kHeadModel, kHeadMain}},
    {"HEAD(XYZ) MODEL", {Key::kHeadModel, kHeadMain}},
    {"HEAD(X) MODEL", {Key::kHeadModel, kHeadX}},
    {"HEAD(Y) MODEL", {Key::kHeadModel, kHeadY}},
    {"HEAD(Z) MODEL", {Key::kHeadModel, kHeadZ}},
    {"HEAD(XY) MODEL", {Key::kHeadModel, kHeadXY}},
    {"HEAD(YX) MODEL", {Key::kHeadModel, kHeadXY}},
    {"HEAD(YZ) MODEL", {Key::kHeadModel, kHeadYZ}},
    {"HEAD(ZY) MODEL", {Key::kHeadModel, kHeadYZ}},
    {"HEAD(ZX) MODEL", {Key::kHeadModel, kHeadZX}},
    {"HEAD(XZ) MODEL", {Key::kHeadModel, kHeadZX}},
    {"HEAD1 MODEL", {Key::kHeadModel, kHead1}},
    {"HEAD2 MODEL", {Key::kHeadModel, kHead2}},
    {"MOVE(X)", {Key::kMove, 0}},
    {"MOVE(Y)", {Key::kMove, 1}},
    {"MOVE(Z)", {Key::kMove, 2}},
    {"STROKE RANGE(", {Key::kStrokeRange}},
    {"VIEW CENTER", {Key::kViewCenter}},
});

// A value word and its code.
using WordCode = KeyEntry<int32_t>;

// "RIGHT" names the machine axis pointing right on the screen, "BACK" the
// one pointing away from the viewer.
constexpr auto kAxisDirections = std::to_array<WordCode>({{"RIGHT-Y,BACK+X", 1},
                                                          {"RIGHT-X,BACK-Y", 2},
                                                          {"RIGHT+Y,BACK-X", 3},
                                                          {"RIGHT+Z,BACK+Y", 10},
                                                          {"RIGHT+Z,BACK+X", 11},
                                                          {"RIGHT+Z,BACK-Y", 12},
                                                          {"RIGHT+Z,BACK-X", 13},
                                                          {"RIGHT-Z,BACK+Y", 20},
                                                          {"RIGHT-Z,BACK+X", 21},
                                                          {"RIGHT-Z,BACK-Y", 22},
                                                          {"RIGHT-Z,BACK-X", 23},
                                                          {"RIGHT+X,BACK-Z", 30},
                                                          {"RIGHT-Y,BACK-Z", 31},
                                                          {"RIGHT-X,BACK-Z", 32},
                                                          {"RIGHT+Y,BACK-Z", 33},
                                                          {"RIGHT+X,BACK+Z", 40},
                                                          {"RIGHT-Y,BACK+Z", 41},
                                                          {"RIGHT-X,BACK+Z", 42},
                                                          {"RIGHT+Y,BACK+Z", 43}});

constexpr auto kTableTypes = std::to_array<WordCode>({{"PLANE", kTablePlane},
                                                      {"CIRCLE", kTableCircle},
                                                      {"AXIS", kTableAxis},
                                                      {"LATHE", kTableLathe}});

// The letter of the key's line at column 13 of "STROKE RANGE(X)=", and where
// its two values are searched from.
constexpr size_t kStrokeLetterColumn = 13;
constexpr size_t kStrokeValueColumn = 16;

// Machine axis a rotary axis turns about, its other two axes in cyclic order
// and the default letter.
struct RotaryAxisChoice {
  int32_t Axis;
  std::array<int32_t, 2> Others;
  char DefaultLetter;
};

// A stroke range of a letter that is no linear axis: kept until the rotary
// letters are known.
struct PendingStroke {
  char Letter;
  double Minimum, Maximum;
};

void AnnounceUnreadable(std::string_view fileName, Host& host) {
  HostMessage message;
  message.Caption = std::string(kUnreadableCaption);
  message.Text = std::string(fileName);
  message.Topmost = true;
  host.ShowMessage(message);
}

class MachineReader {
 public:
  MachineReader(std::string_view fileName, int32_t clearFlag, const MachineReadRecords& records,
                Host& host)
      : fileName_(fileName),
        clearFlag_(clearFlag),
        r_(records),
        host_(host),
        m_(records.Machine),
        k_(records.Kinematics) {}

  DefinitionReadResult Read();

 private:
  void ResetRecords();
  void ApplyKey(const KeyTarget& key, size_t keyEnd);
  void Finish();
  void DeriveTilts();
  void DeriveToolDirection();
  void Note(std::string message, int32_t line) {
    if (noted_.insert(message).second)
      result_.Notes.push_back({std::string(fileName_), line, std::move(message)});
  }
  void Note(std::string message) { Note(std::move(message), lineNumber_); }

  size_t Value(size_t keyEnd) const {
    int32_t c = static_cast<int32_t>(std::min(keyEnd, line_.size()));
    SkipBlanksAndEquals(c, line_);
    return static_cast<size_t>(c);
  }
  bool Is(size_t cursor, std::string_view word) const { return MatchesKeyAt(line_, cursor, word); }
  template <size_t N>
  std::optional<int32_t> WordAt(size_t cursor, const std::array<WordCode, N>& words) const {
    if (const WordCode* word = MatchKeyTable(words, line_, cursor)) return word->Key;
    return std::nullopt;
  }
  template <size_t N>
  std::array<double, N> Numbers(size_t from) const {
    std::array<double, N> numbers{};
    int32_t c = static_cast<int32_t>(std::min(from, line_.size()));
    ValueList values(c, line_);
    for (double& number : numbers) number = values.NextNumber();
    return numbers;
  }
  double Number(size_t from) const { return Numbers<1>(from)[0]; }
  float Float(size_t from) const { return RoundToSingle(Number(from)); }
  // The text behind the blanks and "=" up to the newline.
  std::string_view Text(size_t keyEnd) const {
    std::string_view text = line_.substr(std::min(Value(keyEnd), line_.size()));
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
  }
  // Whether the key's values keep the rule; a refused line is noted with
  // its key and changes nothing.
  bool Noted(size_t keyEnd, std::optional<std::string> why) {
    if (!why) return true;
    std::string key(line_.substr(0, std::min(keyEnd, line_.size())));
    for (char& c : key) c = ToUpperAscii(c);
    Note(RefusedKeyNote(key, *why));
    return false;
  }
  bool Takes(size_t keyEnd, std::span<const double> values, NumberRule rule) {
    return Noted(keyEnd, BrokenNumberRule(values, rule));
  }
  bool Takes(size_t keyEnd, double value, NumberRule rule) {
    return Takes(keyEnd, std::span<const double>(&value, 1), rule);
  }
  // N numbers of the key when they keep the rule.
  template <size_t N>
  std::optional<std::array<double, N>> Checked(size_t keyEnd,
                                               NumberRule rule = NumberRule::kFinite) {
    const std::array<double, N> values = Numbers<N>(keyEnd);
    if (!Takes(keyEnd, values, rule)) return std::nullopt;
    return values;
  }
  // A float of the key when it keeps the rule.
  std::optional<float> CheckedFloat(size_t keyEnd, NumberRule rule) {
    const float value = Float(keyEnd);
    if (!Takes(keyEnd, value, rule)) return std::nullopt;
    return value;
  }
  // A model file of the line: readable, or nothing (announced and noted).
  std::optional<std::string> ModelFile(size_t keyEnd);
  bool ReadText(std::string_view text, size_t capacity, std::string_view what, std::string& field);
  void ReadAtcType(size_t keyEnd);
  void ReadRotaryAxis(size_t rotary, size_t keyEnd);
  void ReadAngleHead(size_t keyEnd);
  void ReadStrokeRange();

  std::string_view fileName_;
  int32_t clearFlag_;
  const MachineReadRecords& r_;
  Host& host_;
  MachineDefinition& m_;
  MachineKinematics& k_;
  DefinitionReadResult result_;
  std::string_view line_;
  int32_t lineNumber_ = 0;
  std::vector<PendingStroke> pendingStrokes_;
  std::set<std::string> noted_;
};

DefinitionReadResult MachineReader::Read() {
  m_.AtcType = kAtcDirect;
  m_.AtcSubType = 0;
  m_.ToolChangePositionGiven = 0;
  m_.ToolChangePosition[3] = m_.ToolChangePosition[4] = 0.0;
  m_.ViewCentreGiven = 0;
  r_.PendingEnds.Count = 0;
  r_.PendingEnds.ReadIndex = 0;
  const std::optional<std::vector<std::string>> lines = ReadWatchedDefinition(fileName_, r_.File);
  result_.State = r_.File.State;
  if (!lines) return std::move(result_);

  ResetRecords();
  ClearMachineModel(r_.Parts, clearFlag_);
  for (const std::string& line : *lines) {
    ++lineNumber_;
    line_ = line;
    if (const MachineKey* key = MatchKeyTable(kKeys, line_, 0))
      ApplyKey(key->Key, key->Text.size());
  }
  lineNumber_ = 0;
  line_ = {};
  Finish();
  return std::move(result_);
}

void MachineReader::ResetRecords() {
  // What the file does not set stays from the previous file: the speeds and
  // the tool change time; the holders and the plug-in's name are not the
  // file's at all.
  MachineDefinition fresh;
  fresh.ToolChangeTime = m_.ToolChangeTime;
  fresh.RapidRate = m_.RapidRate;
  fresh.RapidAcceleration = m_.RapidAcceleration;
  fresh.MaximumFeedrate = m_.MaximumFeedrate;
  fresh.CuttingAcceleration = m_.CuttingAcceleration;
  fresh.Holders = std::move(m_.Holders);
  fresh.SelectedHolder = m_.SelectedHolder;
  fresh.PluginName = std::move(m_.PluginName);
  m_ = std::move(fresh);
  k_ = MachineKinematics{};
  r_.Limits = StrokeLimits{};
}

std::optional<std::string> MachineReader::ModelFile(size_t keyEnd) {
  const std::string_view written = Text(keyEnd);
  if (written.size() > kMaxPartModelName) {
    // Cut to fit, the name would name another file.
    Note("a model file name of " + std::to_string(written.size()) + " characters is longer than " +
         std::to_string(kMaxPartModelName) + "; the model is left out");
    AnnounceUnreadable(written, host_);
    return std::nullopt;
  }
  const auto readable = [](const std::string& name) {
    return !name.empty() && CanOpenForReading(ResolveDefinitionPath(name).string());
  };
  // The name as written, from the current folder; else beside this file,
  // where a machine's folder keeps its meshes.
  const std::string asWritten(written);
  if (readable(asWritten)) {
    std::error_code error;
    const std::filesystem::path found =
        std::filesystem::absolute(ResolveDefinitionPath(asWritten), error);
    return error ? ResolveDefinitionPath(asWritten).string() : found.string();
  }
  const std::string beside = PathFrom(FolderPart(fileName_), written);
  if (beside != asWritten && readable(beside)) {
    Note("the model file " + asWritten + " is not found as written; " + beside +
         " beside the machine definition is used");
    return ResolveDefinitionPath(beside).string();
  }
  AnnounceUnreadable(written, host_);
  Note("the model file " + asWritten +
       " cannot be read, as written or beside the machine definition; the model is left out");
  return std::nullopt;
}

bool MachineReader::ReadText(std::string_view text, size_t capacity, std::string_view what,
                             std::string& field) {
  if (text.size() > capacity) {
    Note(std::string(what) + " of " + std::to_string(text.size()) + " characters is longer than " +
         std::to_string(capacity) + "; it is ignored");
    return false;
  }
  field = std::string(text);
  return true;
}

void MachineReader::ReadAtcType(size_t keyEnd) {
  const size_t cursor = Value(keyEnd);
  if (Is(cursor, "DIRECT")) {
    m_.AtcType = kAtcDirect;
    const size_t t = cursor + 7;  // "DIRECT T12,3"
    if (t < line_.size() && line_[t] == 'T') {
      m_.AtcSubType = 4;
      int32_t c = static_cast<int32_t>(t + 1);
      m_.AtcNumbers[0] = ParseInteger(c, line_);
      m_.AtcNumbers[1] = ParseIntegerAfterComma(c, line_);
    }
  } else if (Is(cursor, "WAIT2")) {
    m_.AtcType = kAtcWait2;
  } else if (Is(cursor, "WAIT")) {
    m_.AtcType = kAtcWait;
  }
}

void MachineReader::ReadRotaryAxis(size_t rotary, size_t keyEnd) {
  static constexpr std::array<RotaryAxisChoice, 3> kChoices{
      {{0, {1, 2}, 'A'}, {1, {2, 0}, 'B'}, {2, {0, 1}, 'C'}}};
  RotaryAxisGeometry& axis = k_.Rotary[rotary];
  axis.Vector = {0.0, 0.0, 0.0};
  const size_t cursor = Value(keyEnd);
  const char c = cursor < line_.size() ? ToUpperAscii(line_[cursor]) : '\0';
  const size_t choice = c == 'X' || c == 'A'   ? 0
                        : c == 'Y' || c == 'B' ? 1
                        : c == 'Z' || c == 'C' ? 2
                                               : 3;
  char& letter = r_.Controller.Rotary[rotary].Letter;
  if (choice < kChoices.size()) {
    axis.Axis = kChoices[choice].Axis;
    axis.OtherAxes = kChoices[choice].Others;
    if (letter == ' ') letter = kChoices[choice].DefaultLetter;
  }
  axis.Vector[static_cast<size_t>(axis.Axis)] = 1.0;
  r_.AxisLabels.Set(3 + rotary, letter);
}

void MachineReader::ReadAngleHead(size_t keyEnd) {
  if (keyEnd >= line_.size()) return;
  const char c = ToUpperAscii(line_[keyEnd]);
  const double value = Number(keyEnd + 2);
  if (!Takes(keyEnd + 2, value, NumberRule::kFinite)) return;
  if (c == 'A' || c == 'X') {
    k_.AngleHeadA = value;
    if (k_.AngleHeadB != 0.0 && value != 0.0) k_.AngleHeadB = 0.0;
  } else if (c == 'B' || c == 'Y') {
    k_.AngleHeadB = value;
    if (k_.AngleHeadA != 0.0 && value != 0.0) k_.AngleHeadA = 0.0;
  } else if (c == 'C' || c == 'Z') {
    k_.AngleHeadC = value;
  }
}

void MachineReader::ReadStrokeRange() {
  if (line_.size() <= kStrokeValueColumn) {
    Note("the stroke range line is too short for its axis and values; it is ignored");
    return;
  }
  const char letter = ToUpperAscii(line_[kStrokeLetterColumn]);
  const std::array<double, 2> range = Numbers<2>(kStrokeValueColumn);
  // The key with its letter and ")".
  if (!Noted(kStrokeLetterColumn + 2, BrokenRange(range[0], range[1]))) return;
  StrokeLimits& limits = r_.Limits;
  for (size_t axis = 0; axis < 3; ++axis) {
    if (ToUpperAscii(r_.Controller.AddressLetters[axis]) != letter) continue;
    limits.Minimum[axis] = range[0];
    limits.Maximum[axis] = range[1];
    limits.Enabled[axis] = 1;
    limits.AnyLimit = 1;
    return;
  }
  pendingStrokes_.push_back({letter, range[0], range[1]});
}

void MachineReader::ApplyKey(const KeyTarget& key, size_t keyEnd) {
  const size_t i = key.Index;
  MachinePartModels& parts = r_.Parts;
  switch (key.Kind) {
    case Key::kName:
      ReadText(Text(keyEnd), kMaxPartModelName, "the machine name", m_.Name);
      return;
    case Key::kAtcType:
      ReadAtcType(keyEnd);
      return;
    case Key::kRoute:
      // The route text is its first characters; its parser ends the route at
      // the first character that is no axis or step.
      m_.RouteText = std::string(Text(keyEnd).substr(0, kMaxRouteText));
      return;
    case Key::kToolChangePosition:
      if (const auto position = Checked<5>(keyEnd)) {
        m_.ToolChangePosition = *position;
        m_.ToolChangePositionGiven = 1;
      }
      return;
    case Key::kToolChangeTime:
      if (const auto time = CheckedFloat(keyEnd, NumberRule::kNotNegative))
        m_.ToolChangeTime = *time;
      return;
    // A rate or acceleration of 0 would make every move take forever.
    case Key::kRapid:
      if (const auto rate = CheckedFloat(keyEnd, NumberRule::kPositive)) m_.RapidRate[i] = *rate;
      return;
    case Key::kRapidAcceleration:
      if (const auto rate = CheckedFloat(keyEnd, NumberRule::kPositive))
        m_.RapidAcceleration[i] = *rate;
      return;
    case Key::kMaximumFeedrate:
      if (const auto rate = CheckedFloat(keyEnd, NumberRule::kPositive))
        m_.MaximumFeedrate[i] = *rate;
      return;
    case Key::kMaximumFeedrateAll:
      if (const auto rate = CheckedFloat(keyEnd, NumberRule::kPositive))
        m_.MaximumFeedrate.fill(*rate);
      return;
    case Key::kAcceleration:
      if (const auto rate = CheckedFloat(keyEnd, NumberRule::kPositive))
        m_.CuttingAcceleration[i] = *rate;
      return;
    case Key::kAxisDirection:
      if (const auto code = WordAt(Value(keyEnd), kAxisDirections)) m_.MachineOrientation = *code;
      return;
    case Key::kRotaryType: {
      const size_t cursor = Value(keyEnd);
      const int32_t type = Is(cursor, "HEAD")    ? kRotaryHead
                           : Is(cursor, "TABLE") ? kRotaryTable
                           : Is(cursor, "MIX")   ? kRotaryMix
                                                 : kRotaryNone;
      if (type == kRotaryNone) return;
      k_.RotaryType = type;
      if (r_.AppSettings.ToolBasePointGiven == 0)
        r_.AppSettings.ToolBasePoint = type == kRotaryHead ? 5 : 0;  // ARBOR-TOP, else BOTTOM
      return;
    }
    case Key::kRotaryAxis:
      ReadRotaryAxis(i, keyEnd);
      return;
    case Key::kAxisAngle:
      if (const auto angle = Checked<1>(keyEnd)) k_.Rotary[i].GivenAngle = (*angle)[0];
      return;
    case Key::kAxisVector: {
      const auto given = Checked<3>(keyEnd);
      if (!given) return;
      const std::array<double, 3>& v = *given;
      const double s = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
      if (!Noted(keyEnd, std::isfinite(s) ? std::nullopt
                                          : std::optional<std::string>("the vector is too long")))
        return;
      if (!(s > 0.0)) return;
      k_.Rotary[i].GivenVector = {v[0] / s, v[1] / s, v[2] / s};
      k_.Rotary[i].VectorGiven = 1;
      return;
    }
    case Key::kTableType:
      k_.TableType = WordAt(Value(keyEnd), kTableTypes).value_or(kTableOther);
      return;
    case Key::kTable2Type:
      k_.SecondTableType = WordAt(Value(keyEnd), kTableTypes).value_or(kTableOther);
      return;
    case Key::kHeadType:
      if (Is(Value(keyEnd), "NO"))
        (i == 0 ? k_.HeadType : i == 1 ? k_.Head1Type : k_.Head2Type) = kHeadNone;
      return;
    case Key::kAngleHead:
      ReadAngleHead(keyEnd);
      return;
    case Key::kToolDirection:
      if (const auto direction = Checked<3>(keyEnd)) k_.ToolDirection = *direction;
      return;
    case Key::kTablePosition:
      if (const auto position = Checked<3>(keyEnd)) k_.TablePosition = *position;
      return;
    case Key::kTableOffset:
      if (const auto offset = Checked<3>(keyEnd)) k_.TableOffset = *offset;
      return;
    case Key::kHeadPosition:
      if (const auto position = Checked<3>(keyEnd)) k_.HeadPosition = *position;
      return;
    case Key::kHeadOffset:
      if (const auto offset = Checked<3>(keyEnd)) k_.HeadOffset = *offset;
      return;
    case Key::kToolHolderOffset:
      if (const auto offset = Checked<1>(keyEnd)) k_.ToolHolderOffset = (*offset)[0];
      return;
    case Key::kBasicModelOffset:
      if (const auto offset = Checked<3>(keyEnd)) parts.BasicOffset = *offset;
      return;
    case Key::kViceModelOffset:
      if (parts.ViceOffsets.size() >= kMaxListedModels) {
        Note("the machine holds " + std::to_string(kMaxListedModels) +
             " vice offsets; further VICE MODEL OFFSET lines are ignored");
        return;
      }
      if (const auto offset = Checked<3>(keyEnd)) parts.ViceOffsets.push_back(*offset);
      return;
    case Key::kTableModelOffset:
      if (const auto offset = Checked<3>(keyEnd)) parts.Tables[i].Offset = *offset;
      return;
    case Key::kHeadModelOffset:
      if (const auto offset = Checked<3>(keyEnd)) {
        parts.Heads[i].Offset = *offset;
        if (line_.find('T', keyEnd) != std::string_view::npos) parts.Heads[i].TFlag = 1;
      }
      return;
    case Key::kBasicModel:
    case Key::kViceModel: {
      const bool basic = key.Kind == Key::kBasicModel;
      std::vector<std::string>& names = basic ? parts.BasicNames : parts.ViceNames;
      if (names.size() >= kMaxListedModels) {
        Note("the machine holds " + std::to_string(kMaxListedModels) +
             (basic ? " basic" : " vice") + " models; further ones are ignored");
        return;
      }
      if (std::optional<std::string> name = ModelFile(keyEnd)) names.push_back(std::move(*name));
      return;
    }
    case Key::kTableModel:
      parts.Tables[i].Name = ModelFile(keyEnd).value_or(std::string());
      return;
    case Key::kHeadModel:
      parts.Heads[i].Name = ModelFile(keyEnd).value_or(std::string());
      return;
    case Key::kMove:
      if (Is(Value(keyEnd), "TABLE")) m_.TableMoves[i] = 1;
      return;
    case Key::kStrokeRange:
      ReadStrokeRange();
      return;
    case Key::kViewCenter:
      if (const auto centre = Checked<3>(keyEnd)) {
        m_.ViewCentre = *centre;
        m_.ViewCentreGiven = 1;
      }
      return;
  }
}

void MachineReader::DeriveTilts() {
  // From an angle: rotary 1's, else rotary 2's.
  for (RotaryAxisGeometry& axis : k_.Rotary) {
    if (axis.GivenAngle == 0.0) continue;
    const double c = std::cos(axis.GivenAngle * kRadiansPerDegree);
    const double s = std::sin(axis.GivenAngle * kRadiansPerDegree);
    axis.Vector[static_cast<size_t>(axis.Axis)] = c;
    axis.Vector[static_cast<size_t>(axis.OtherAxes[0])] = s;
    axis.Tilted = 1;
    axis.TiltCos = c;
    axis.TiltSin = s;
    axis.TurnCos = 1.0;
    axis.TurnSin = 0.0;
    break;
  }
  // From a vector: rotary 1's, else rotary 2's.
  for (size_t rotary = 0; rotary < k_.Rotary.size(); ++rotary) {
    RotaryAxisGeometry& axis = k_.Rotary[rotary];
    if (axis.VectorGiven == 0) continue;
    // The turn is taken in the plane of X and Y: an axis about Z has no
    // partner there.
    if (axis.Axis == 2) {
      Note(
          "AXIS" + std::to_string(rotary + 1) + " VECTOR is ignored: the rotary axis turns about Z",
          0);
      break;
    }
    const size_t a = static_cast<size_t>(axis.Axis);
    const size_t b = 1 - a;
    const Vec3& given = axis.GivenVector;
    const double r = std::hypot(given[0], given[1]);
    const double t = std::atan2(given[2], r);
    axis.Vector[a] = std::cos(t);
    axis.Vector[2] = std::sin(t);
    axis.Tilted = 1;
    axis.TiltCos = std::cos(t);
    axis.TiltSin = std::sin(t);
    double u;
    if (given[a] == 0.0)
      u = given[b] > 0.0 ? kHalfPi : -kHalfPi;
    else if (given[a] > 0.0)
      u = std::atan(given[b] / given[a]);
    else
      u = std::atan(given[b] / given[a]) + (given[b] > 0.0 ? kPi : -kPi);
    axis.TurnCos = std::cos(u);
    axis.TurnSin = std::sin(u);
    const double oldA = axis.Vector[a];
    const double oldB = axis.Vector[b];
    axis.Vector[b] = axis.TurnCos * oldB + axis.TurnSin * oldA;
    axis.Vector[a] = axis.TurnCos * oldA - axis.TurnSin * oldB;
    break;
  }
}

void MachineReader::DeriveToolDirection() {
  if (k_.AngleHeadA != 0.0 || k_.AngleHeadB != 0.0) {
    k_.ToolDirectionInUse = 1;
    k_.ToolDirection = ComputeDirectionFromAngles(k_.AngleHeadA, k_.AngleHeadB, k_.AngleHeadC);
  } else if (k_.ToolDirection != Vec3{0.0, 0.0, 1.0}) {
    k_.ToolDirectionInUse = 1;
    ComputeDirectionAngles(k_.ToolDirection, k_.AngleHeadA, k_.AngleHeadC);
  }
}

void MachineReader::Finish() {
  ControllerDefinition& controller = r_.Controller;
  // Stroke ranges of rotary letters, now that the letters are known.
  for (const PendingStroke& stroke : pendingStrokes_) {
    for (size_t rotary = 0; rotary < 2; ++rotary) {
      const char letter = controller.Rotary[rotary].Letter;
      if (letter == ' ' || ToUpperAscii(letter) != stroke.Letter) continue;
      StrokeLimits& limits = r_.Limits;
      limits.Minimum[3 + rotary] = stroke.Minimum;
      limits.Maximum[3 + rotary] = stroke.Maximum;
      limits.Enabled[3 + rotary] = 1;
      limits.AnyLimit = 1;
      break;
    }
  }
  r_.Display.RequestRebuild(kMachineLists);

  for (RotaryAxisRules& rules : controller.Rotary) {
    const char letter = ToUpperAscii(rules.Letter);
    if (letter >= 'A' && letter <= 'C')
      rules.Reverse = controller.LetterReverseAbc[static_cast<size_t>(letter - 'A')];
  }
  if (k_.RotaryType == kRotaryTable) {
    k_.SecondTableCentre = k_.TablePosition;
    for (int32_t other : k_.Rotary[1].OtherAxes)
      k_.SecondTableCentre[static_cast<size_t>(other)] +=
          k_.TableOffset[static_cast<size_t>(other)];
  }
  DeriveTilts();
  DeriveToolDirection();
  // Vices beyond the offsets given take the last offset, before the loader
  // places vice i by offset i.
  MachinePartModels& parts = r_.Parts;
  if (!parts.ViceOffsets.empty() && parts.ViceOffsets.size() < parts.ViceNames.size())
    parts.ViceOffsets.resize(parts.ViceNames.size(), parts.ViceOffsets.back());

  if (controller.isHeidenhain != 0) m_.AtcType = kAtcDirect;
  if (m_.ToolChangePositionGiven != 0)
    m_.Route =
        ParseAxisRoute(m_.RouteText, controller.Rotary[0].Letter, controller.Rotary[1].Letter);
  host_.RequestShellUpdate(ShellUpdate::kStatusTextTable);
  m_.TableMoveCount =
      static_cast<int32_t>(std::count(m_.TableMoves.begin(), m_.TableMoves.end(), 1));
  r_.Display.RequestRebuild(kListCoordinateAxes);
  host_.RequestShellUpdate(ShellUpdate::kViewCentre);
}

}  // namespace

DefinitionReadResult ReadMachineDefinition(std::string_view fileName, int32_t clearFlag,
                                           const MachineReadRecords& records,
                                           Host& host) {
  return MachineReader(fileName, clearFlag, records, host).Read();
}

int32_t CheckFileReadable(std::string_view fileName, Host& host) {
  if (!fileName.empty() && CanOpenForReading(ResolveDefinitionPath(fileName).string())) return 1;
  AnnounceUnreadable(fileName, host);
  return 0;
}

void ClearMachineModel(MachinePartModels& parts, int32_t all) {
  parts.BasicNames.clear();
  if (all == 1) parts.ViceKept = 0;
  if (all == 1 || parts.ViceKept == 0) {
    parts.ViceNames.clear();
    parts.ViceOffsets.clear();
  }
  parts.BasicOffset = {};
  for (Vec3& offset : parts.ViceOffsets) offset = {};
  for (size_t t = 0; t < parts.Tables.size(); ++t) {
    parts.Tables[t].Name.clear();
    if (t == kTable1 || t == kTable2) parts.Tables[t].Offset = {};
  }
  for (PartModel& head : parts.Heads) {
    head.Name.clear();
    head.Offset = {};
    head.TFlag = 0;
  }
}

int32_t HasMachinePartModels(const MachinePartModels& parts) {
  const auto named = [](const PartModel& part) { return !part.Name.empty(); };
  return !parts.BasicNames.empty() || !parts.ViceNames.empty() ||
                 std::any_of(parts.Tables.begin(), parts.Tables.end(), named) ||
                 std::any_of(parts.Heads.begin(), parts.Heads.end(), named)
             ? 1
             : 0;
}

ToolChangeRoute ParseAxisRoute(std::string_view text, char rotary1Letter, char rotary2Letter) {
  ToolChangeRoute route;
  if (text.empty()) {
    route.StepCount = 2;
    route.Steps[0][2] = 1;
    route.Steps[1][0] = route.Steps[1][1] = 1;
    return route;
  }
  // Letters as written: any other character, a lower-case axis letter
  // included, ends the route.
  const char r1 = rotary1Letter;
  const char r2 = rotary2Letter;
  size_t step = 0;
  for (const char c : text) {
    if (c == '-') {
      if (step + 1 >= static_cast<size_t>(kMaxRouteSteps)) break;
      ++step;
      continue;
    }
    const size_t axis = c == 'X'              ? 0
                        : c == 'Y'            ? 1
                        : c == 'Z'            ? 2
                        : c != ' ' && c == r1 ? 3
                        : c != ' ' && c == r2 ? 4
                                              : 5;
    if (axis == 5) break;
    route.Steps[step][axis] = 1;
  }
  route.StepCount = static_cast<int32_t>(step) + 1;
  return route;
}

}  // namespace vestan
