#include "nc/block_interpreter.h"

#include <array>
#include <cmath>
#include <string>

#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "foundation/vector_math.h"
#include "machine/rotary_solution.h"
#include "machine/work_offset_frame.h"
#include "nc/arc_geometry.h"
#include "nc/comment_commands.h"
#include "nc/coordinate_transforms.h"
#include "nc/dialect_parsers.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"
#include "nc/position_update.h"
#include "nc/tool_length_offset.h"

namespace vestan {

namespace {

constexpr int32_t kCodeNone = -1;

enum class Dialect { kDefault, kOsp, kHeidenhain };

// What a G code does; one table per dialect maps codes onto these.
enum class GAction : uint8_t {
  kNone,
  kMotion,
  kDwell,
  kNurbs,
  kCylindrical,
  kOffsetInput,
  kOspPlaneRotationEnd,
  kOspPlaneRotationStart,
  kPolarInterpolation,
  kOspWorkOffsetSelect,
  kOspAxisConvert,
  kPlane,
  kReferenceCheck,
  kReferenceReturn,
  kCornerArc,
  kCompensation,
  kLengthOffset,
  kScalingOff,
  kScalingOn,
  kLocalShift,
  kMachineCoordinates,
  kOspLengthCancel,
  kOspLengthOn,
  kWorkOffset,
  kMacroCall,
  kRotation,
  kRotationOff,
  kCannedCycle,
  kPositioning,
  kCoordinateSetting,
  kReturnLevel,
  kOspMotion,
  kOspCylindrical,
  kMazakDiameter,
  kOspRotationAboutY,
  kOspArc,
  kNurbsQ,
  kOspPolar,
  kOspToolCentre,
  kTiltFromRotary,
  kOspLengthVector,
  kOspTilt,
};

inline constexpr size_t kGTableSize = 470;
using GTable = std::array<GAction, kGTableSize>;

constexpr void Fill(GTable& t, size_t from, size_t to, GAction a) {
  for (size_t c = from; c <= to; ++c) t[c] = a;
}

constexpr GTable MakeGTable(Dialect d) {
  GTable t{};
  const bool def = d == Dialect::kDefault;
  const bool osp = d == Dialect::kOsp;
  Fill(t, 0, 3, GAction::kMotion);
  if (def || osp) t[4] = GAction::kDwell;
  if (def) t[6] = GAction::kNurbs;
  t[7] = GAction::kCylindrical;
  t[107] = GAction::kCylindrical;
  if (def) t[10] = GAction::kOffsetInput;
  if (osp) t[10] = GAction::kOspPlaneRotationEnd;
  if (osp) t[11] = GAction::kOspPlaneRotationStart;
  if (def) Fill(t, 12, 13, GAction::kPolarInterpolation);
  if (osp) t[15] = GAction::kOspWorkOffsetSelect;
  if (osp) t[16] = GAction::kOspAxisConvert;
  Fill(t, 17, 19, GAction::kPlane);
  t[27] = GAction::kReferenceCheck;
  t[28] = GAction::kReferenceReturn;
  t[30] = GAction::kReferenceReturn;
  t[39] = GAction::kCornerArc;
  Fill(t, 40, 42, GAction::kCompensation);
  Fill(t, 43, 44, GAction::kLengthOffset);
  t[49] = GAction::kLengthOffset;
  t[50] = GAction::kScalingOff;
  t[51] = GAction::kScalingOn;
  if (def) t[52] = GAction::kLocalShift;
  if (def) t[53] = GAction::kMachineCoordinates;
  if (osp) t[53] = GAction::kOspLengthCancel;
  if (osp) t[56] = GAction::kOspLengthOn;
  if (def) Fill(t, 54, 59, GAction::kWorkOffset);
  Fill(t, 65, 67, GAction::kMacroCall);
  if (def) t[68] = GAction::kRotation;
  if (def) t[69] = GAction::kRotationOff;
  // OSP exchanges the meanings of G68 and G69.
  if (osp) t[69] = GAction::kRotation;
  if (osp) t[68] = GAction::kRotationOff;
  Fill(t, 73, 89, GAction::kCannedCycle);
  Fill(t, 90, 91, GAction::kPositioning);
  t[92] = GAction::kCoordinateSetting;
  Fill(t, 98, 99, GAction::kReturnLevel);
  if (osp) Fill(t, 100, 103, GAction::kOspMotion);
  if (osp) t[119] = GAction::kOspCylindrical;
  if (def) Fill(t, 122, 123, GAction::kMazakDiameter);
  if (osp) Fill(t, 126, 127, GAction::kOspRotationAboutY);
  if (osp) Fill(t, 132, 133, GAction::kOspArc);
  if (def) t[132] = GAction::kNurbsQ;
  if (osp) Fill(t, 136, 138, GAction::kOspPolar);
  if (osp) Fill(t, 169, 170, GAction::kOspToolCentre);
  Fill(t, 254, 255, GAction::kTiltFromRotary);
  if (osp) Fill(t, 353, 354, GAction::kOspLengthVector);
  if (osp) Fill(t, 468, 469, GAction::kOspTilt);
  return t;
}

constexpr std::array<GTable, 3> kGTables{MakeGTable(Dialect::kDefault), MakeGTable(Dialect::kOsp),
                                         MakeGTable(Dialect::kHeidenhain)};

// What the G codes of a block ask of the words that follow them.
struct BlockCodes {
  int32_t Dwell = 0;
  int32_t OffsetInput = 0;  // G10 with an offset memory
  int32_t G10 = 0;
  int32_t G10L = 0;  // 2 or 20: work-offset input; 10-13 data kind
  int32_t G10P = kCodeNone;
  int32_t G10PGiven = 0;
  int32_t G10PValue = 0;  // as written, before L decides what it numbers
  int32_t Reference = 0;  // G28 or G30
  int32_t G30 = 0;
  int32_t Scaling = 0;  // G51
  int32_t Mirror = 0;   // G50.1, G51.1
  std::array<int32_t, 3> MirrorGiven{};
  Vec3 MirrorCentre{};
  int32_t LocalShift = 0;
  int32_t Rotation = 0;     // G68
  int32_t TiltedPlane = 0;  // G68.2, G254, CYCLE800, PLANE
  int32_t CoordinateSetting = 0;
  AxisPosition SetValues{};
  std::array<int32_t, 5> SetGiven{};
  int32_t CylinderRadius = 0;      // G7.1, G107
  int32_t WorkOffsetExtended = 0;  // G54.1
  int32_t SubprogramCall = 0;      // 98 or 198
  int32_t Motion = 0;              // a motion code in the block
  int32_t OspG127 = 0;
  int32_t OspG137 = 0;
  int32_t OspG16 = 0;
  int32_t OspCallOo88 = 0;
  int32_t HeidenhainCircleCentre = 0;  // CC
  int32_t HeidenhainCircle = 0;
  int32_t HeidenhainPolar = 0;
  int32_t Orientation = 0;         // SIEMENS A2= ... C3=
  Vec3 RotationCentre{};           // G68's X, Y, Z by program axis
  int32_t MazakDiameterInput = 0;  // G10.9
};

class BlockScan {
 public:
  BlockScan(NcContext& context, const NcPassRecords& records)
      : c_(context),
        r_(records),
        modal_(context.Modal),
        in_(context.Modal.Interp),
        move_(context.Move),
        ctl_(records.Defs.Controller),
        offsets_(records.Memory.Offsets),
        line_(context.Line.View()) {
    dialect_ = IsHeidenhainDialect(ctl_) ? Dialect::kHeidenhain
               : IsOspDialect(ctl_)      ? Dialect::kOsp
                                         : Dialect::kDefault;
  }

  void Run();

 private:
  bool Osp() const { return dialect_ == Dialect::kOsp; }
  bool Heidenhain() const { return dialect_ == Dialect::kHeidenhain; }
  bool Default() const { return dialect_ == Dialect::kDefault; }
  bool Siemens() const { return ctl_.isSiemens != 0; }
  bool Mazak() const { return ctl_.isMazak != 0; }
  bool Incremental() const { return modal_.PositioningMode == 1; }
  bool InCycle() const { return modal_.CannedCycle != kNoCannedCycle; }
  bool ArcMotion() const { return IsArcMotion(modal_.MotionMode); }
  bool At(std::string_view text) const { return line_.substr(p_).starts_with(text); }
  char Peek(size_t ahead) const { return p_ + ahead < end_ ? line_[p_ + ahead] : '\0'; }
  void EndBlock() { ended_ = true; }
  void Log(const std::string& text) { r_.Shell.Log(text); }

  void StartBlock();
  bool UserCodes();
  void Dispatch();
  bool Keyword();
  bool HeidenhainLineWord();
  void GWord();
  void ApplyG(int32_t code, int32_t suffix, GAction action);
  void MWord();
  void TWord();
  void AxisWord(size_t axis);
  void RotaryWord(size_t k);
  bool MazakRotaryForm();
  void RotaryValue(size_t k, double value);
  void CentreWord(size_t k);
  void RWord();
  void PWord();
  void QWord();
  void LWord();
  void DWord();
  void HWord();
  void FWord();
  void SWord();
  void Comment();
  void SelectWorkOffsetEntry(int32_t entry);
  void RecomposeKeepingMachine();
  void NoteOffsetChange(const WorkOffsetValues& before);
  void CallHeidenhainCycle();
  void CancelLengthOffset(bool endToolCentre = true);
  void StartToolCentre();
  void CallSubprogram(const SubprogramCall& call);
  void ReturnFromSubprogram();
  double ReadValue();
  int32_t ReadInt() { return ParseNcWordInt(line_, p_); }
  void SkipNumber();
  double ReadDivided(int32_t divisor);
  void ReadDwellTime();
  void Complete();
  void CompleteArc();
  void SetMirrorImage();
  void SelectG10WorkOffset();
  void EndCoordinateRotation();
  void PointToolAlong(const Vec3& axis);
  bool SiemensOrientation();
  void CompleteCoordinateSetting();
  void CompleteCycleBlock();
  void CompleteOspWorkOffsetCall();
  void RecordCode(std::array<uint8_t, kCodeTableSize>& table, int32_t code) const;
  const BlockInterpreterHooks* Hooks() const { return r_.BlockHooks; }

  NcContext& c_;
  const NcPassRecords& r_;
  NcModalState& modal_;
  InterpreterState& in_;
  NcMove& move_;
  const ControllerDefinition& ctl_;
  OffsetMemory& offsets_;
  std::string_view line_;
  Dialect dialect_ = Dialect::kDefault;
  size_t p_ = 0;
  size_t end_ = 0;
  bool ended_ = false;
  BlockCodes b_;
  // Where the program stood before this block's words.
  AxisPosition programAtStart_{};
};

void BlockScan::RecordCode(std::array<uint8_t, kCodeTableSize>& table, int32_t code) const {
  // Codes of 200 and above exist (G254, G353) but the tables hold 0-199.
  if (ctl_.CodeCheck != 0 && code >= 0 && code < kCodeTableSize)
    table[static_cast<size_t>(code)] = 1;
}

double BlockScan::ReadValue() {
  double value = 0.0;
  ParseNcWordValue(line_, p_, ctl_.LengthDivisor, modal_.DecimalPointMode, value);
  return value;
}

void BlockScan::SkipNumber() {
  const size_t next = line_.find_first_of(kWordTerminators, p_);
  p_ = next == std::string_view::npos || next > end_ ? end_ : next;
}

double BlockScan::ReadDivided(int32_t divisor) {
  double value = 0.0;
  ParseNcWordDivided(line_, p_, divisor, value);
  SkipNumber();
  return value;
}

void BlockScan::ReadDwellTime() {
  ParseNcWordPer1000Mode(line_, p_, modal_.DecimalPointMode, in_.DwellTime);
  SkipNumber();
}

void BlockScan::StartBlock() {
  move_.Start = move_.End;
  // No arc until the block makes one; blocks read ahead by compensation
  // must not keep the sweep of the block before them.
  move_.ArcAngle = 0.0;
  move_.Length = 0.0;
  in_.TiltAngleAtStart = modal_.TiltAngle;
  in_.TiltKindAtStart = in_.TiltKind;
  if (Heidenhain()) in_.PolarGiven = 0;
  in_.CentreWords = {};
  in_.CentreGiven = 0;
  in_.ArcForm = 0;
  in_.RadiusMismatch = 0;
  move_.Feed = in_.FeedCopy;
  in_.ToolSeen = 0;
  in_.AxisGiven = {};
  in_.AnyAxisGiven = 0;
  in_.ReferenceReturnMode = kReferenceNone;
  in_.DwellFlag = 0;
  in_.CycleStarted = 0;
  in_.CutStateChanged = 0;
  programAtStart_ = modal_.ProgramPosition;
  move_.EndsRotation = 0;
  move_.EndsRotationWords = 0;
  // A move restored from the look-ahead may carry an older switch.
  move_.CuttingEnabled = modal_.CuttingEnabled;
  modal_.MoveExists = 0;
  modal_.MachineCoordinates = 0;
  end_ = line_.size();
  if (end_ > 0 && line_[end_ - 1] == '\n') --end_;
  if (Siemens() || Heidenhain()) {
    const size_t semicolon = line_.find(';');
    if (semicolon != std::string_view::npos && semicolon < end_) end_ = semicolon;
    if (const std::optional<std::string_view> text = SemicolonCommentText(line_))
      ParseCommentCommand(
          *text, {c_.Snapshots, c_.Run, modal_.Tools.CurrentToolNumber, r_.Defs.Paths.NcProgram});
  }
}

bool BlockScan::UserCodes() {
  const ControllerTables& t = ctl_.Tables;
  struct Code {
    const std::string& Text;
    int32_t* Flag;
    int32_t Value;
    bool Cut;
  };
  int32_t cut = modal_.CuttingEnabled;
  const std::array<Code, 10> codes{
      {{t.Lathe[0].On, &in_.LatheModes[0], 1, false},
       {t.Lathe[1].On, &in_.LatheModes[1], 1, false},
       {t.Lathe[0].Off, &in_.LatheModes[0], 0, false},
       {t.Lathe[1].Off, &in_.LatheModes[1], 0, false},
       {t.CutOnCode, &cut, 1, true},
       {t.CutOffCode, &cut, 0, true},
       {t.RotaryLockCodes[kRotary1Lock], &in_.RotaryLocked[0], 1, false},
       {t.RotaryLockCodes[kRotary1Unlock], &in_.RotaryLocked[0], 0, false},
       {t.RotaryLockCodes[kRotary2Lock], &in_.RotaryLocked[1], 1, false},
       {t.RotaryLockCodes[kRotary2Unlock], &in_.RotaryLocked[1], 0, false}}};
  for (const Code& code : codes) {
    if (code.Text.empty() || line_[p_] != code.Text[0] || !At(code.Text)) continue;
    *code.Flag = code.Value;
    p_ += code.Text.size();
    if (code.Cut) {
      modal_.CuttingEnabled = cut;
      move_.CuttingEnabled = cut;
      in_.CutStateChanged = 1;
      if (ctl_.TclVectorInterpolation != 0) modal_.ToolAxisInterpolation = 0;
    } else {
      modal_.LatheMode = in_.LatheModes[0] != 0 || in_.LatheModes[1] != 0 ? 1 : 0;
    }
    return true;
  }
  return false;
}

void BlockScan::Run() {
  StartBlock();
  const bool anyUserCode =
      !ctl_.Tables.Lathe[0].On.empty() || !ctl_.Tables.Lathe[1].On.empty() ||
      !ctl_.Tables.Lathe[0].Off.empty() || !ctl_.Tables.Lathe[1].Off.empty() ||
      !ctl_.Tables.CutOnCode.empty() || !ctl_.Tables.CutOffCode.empty() ||
      !ctl_.Tables.RotaryLockCodes[0].empty() || !ctl_.Tables.RotaryLockCodes[1].empty() ||
      !ctl_.Tables.RotaryLockCodes[2].empty() || !ctl_.Tables.RotaryLockCodes[3].empty();
  while (p_ < end_ && !ended_) {
    if (anyUserCode && UserCodes()) continue;
    Dispatch();
  }
  Complete();
}

void BlockScan::Dispatch() {
  const char ch = line_[p_];
  if (ch == 'G') return GWord();
  if (ch == 'T') return TWord();
  if (ch == 'M') return MWord();
  for (size_t axis = 0; axis < 3; ++axis) {
    if (ch == ctl_.ProgramLetters[axis]) return AxisWord(axis);
  }
  if (ch == 'K' && InCycle() && modal_.ToolAxisMode == kToolAxisOff && !Osp()) {
    ++p_;
    int32_t count = ReadInt();
    if (count == 0 && ctl_.CycleK0Ignore != 0) count = 1;
    if (Heidenhain()) count = 1;
    in_.RepeatCount = count;
    return;
  }
  for (size_t k = 0; k < 3; ++k) {
    if (ch == ctl_.ArcLetters[k]) return CentreWord(k);
  }
  if (Heidenhain() && HeidenhainLineWord()) return;
  if (Keyword()) return;
  switch (ch) {
    case 'R':
      return RWord();
    case 'P':
      return PWord();
    case 'Q':
      return QWord();
    case 'L':
      return LWord();
    case 'D':
      return DWord();
    case 'H':
      return HWord();
    case 'F':
      return FWord();
    case 'S':
      return SWord();
    case 'N':
      ++p_;
      if (Osp() && At("CYL")) {
        in_.OspCylinder = 1;
        p_ += 3;
        return;
      }
      in_.SequenceNumber = ReadInt();
      return;
    case 'O':
      if (Siemens() && At("ORIEULER")) {
        in_.OrientationConvention = kOrientEuler;
        p_ += 8;
        return;
      }
      if (Siemens() && At("ORIRPY")) {
        p_ += 6;
        in_.OrientationConvention = kOrientRpy;
        if (Peek(0) == '2') {
          in_.OrientationConvention = kOrientRpy2;
          ++p_;
        }
        return;
      }
      ++p_;
      in_.ProgramNumber = ReadInt();
      return;
    case 'W':
      ++p_;
      in_.OspTargetWorkOffset = ReadInt();
      return;
    case '(':
      return Comment();
    case '*':
      if (Heidenhain()) {
        EndBlock();
        return;
      }
      break;
    case 'A':
      if (ctl_.TclVectorInterpolation != 0) {
        ++p_;
        const double degrees = ReadDivided(ctl_.AngleDivisor);
        modal_.TiltAngle = degrees * kRadiansPerDegree;
        in_.TiltKind = 1;
        modal_.ToolAxisInterpolation = 0;
        return;
      }
      break;
    case 'B':
      if (Osp() && b_.OspG127 != 0) {
        ++p_;
        const double angle = ReadDivided(ctl_.AngleDivisor);
        modal_.Rotation.Slots[0].Angle = angle;
        return;
      }
      break;
    default:
      break;
  }
  for (size_t k = 0; k < 2; ++k) {
    if (ctl_.Rotary[k].Letter != ' ' && ch == ctl_.Rotary[k].Letter) return RotaryWord(k);
  }
  ++p_;
}

void BlockScan::Comment() {
  ++p_;
  const size_t close = line_.find(')', p_);
  const size_t stop = close == std::string_view::npos || close > end_ ? end_ : close;
  const std::string_view text = line_.substr(p_, stop - p_);
  if (r_.ActiveReadPlugin < 0 && Hooks() != nullptr && Hooks()->SeeComment)
    Hooks()->SeeComment(c_, r_, text);
  ParseCommentCommand(
      text, {c_.Snapshots, c_.Run, modal_.Tools.CurrentToolNumber, r_.Defs.Paths.NcProgram});
  p_ = stop < end_ ? stop + 1 : end_;
}

void BlockScan::CallSubprogram(const SubprogramCall& call) {
  EndBlock();
  if (c_.Subprograms.Depth >= kMaxSubprogramLevels) {
    Log(NumberNote("subprogram call beyond ", kMaxSubprogramLevels, " levels ignored"));
    return;
  }
  if (Hooks() != nullptr && Hooks()->CallSubprogram) Hooks()->CallSubprogram(c_, r_, call);
}

void BlockScan::ReturnFromSubprogram() {
  if (c_.Subprograms.Depth <= 0) return;
  if (Hooks() != nullptr && Hooks()->ReturnFromSubprogram) Hooks()->ReturnFromSubprogram(c_, r_);
  EndBlock();
}

bool BlockScan::Keyword() {
  const char ch = line_[p_];
  if (Mazak() && MazakRotaryForm()) return true;
  if (Siemens()) {
    if (SiemensOrientation()) return true;
    if (At("CYCLE800(")) {
      p_ += 9;
      const int32_t full = ParseCycle800(p_, line_, in_.Cycle800);
      TiltedPlaneState& plane = modal_.TiltedPlane;
      if (full != 0) {
        const Cycle800Record& rec = in_.Cycle800;
        TiltedPlaneParams& params = modal_.Swivel;
        params.Additive = rec.SwivelDigits[5] == 1 ? 1 : 0;
        params.OrderCode = rec.Mode;
        params.Angles = {rec.Values[3], rec.Values[4], rec.Values[5]};
        params.ShiftBefore = {rec.Values[0], rec.Values[1], rec.Values[2]};
        params.ShiftAfter = {rec.Values[6], rec.Values[7], rec.Values[8]};
        plane.State = 1;
        plane.Form = kTiltedSwivel;
        modal_.LastGCode = 682;
        b_.TiltedPlane = 1;
      } else {
        plane.State = 0;
        plane.Active = 0;
        modal_.LastGCode = 69;
        modal_.Length.LengthCompensationActive = 0;
      }
      return true;
    }
  }
  if (Heidenhain()) {
    if (At("CYCL DEF") || At("CYCLDEF")) {
      p_ += At("CYCL DEF") ? 8 : 7;
      const WorkOffsetValues before = offsets_.ActiveWorkOffset;
      ParseHeidenhainCycleDef(p_, line_, c_, r_);
      NoteOffsetChange(before);
      EndBlock();  // the rest of the line names the cycle
      return true;
    }
    if (At("CYCL CALL") || At("CYCLCALL")) {
      p_ += At("CYCL CALL") ? 9 : 8;
      CallHeidenhainCycle();
      return true;
    }
    if (At("BLK")) {
      EndBlock();
      return true;
    }
    if (At("BEGIN PGM") || At("BEGINPGM")) {
      modal_.ProgramStarted = 1;
      EndBlock();
      return true;
    }
    if (At("END PGM") || At("ENDPGM")) {
      if (c_.Subprograms.Depth > 0) {
        ReturnFromSubprogram();
      } else {
        modal_.EndState = kEndReached;
      }
      EndBlock();
      return true;
    }
    if (At("CALL PGM") || At("CALLPGM")) {
      p_ += At("CALL PGM") ? 8 : 7;
      while (p_ < end_ && (line_[p_] == ' ' || line_[p_] == '\t')) ++p_;
      CallSubprogram({SubprogramCallKind::kByName, line_.substr(p_, end_ - p_), 0});
      return true;
    }
    if (At("PLANE ")) {
      p_ += 6;
      ParsePlaneSpatial(p_, line_, c_, r_);
      if (modal_.LastGCode == 682) b_.TiltedPlane = 1;
      EndBlock();  // TURN, STAY, MB and its feed belong to the plane
      return true;
    }
  }
  if (Osp() && ch == 'C' && At("CALL")) {
    p_ += 4;
    while (p_ < end_ && (line_[p_] == ' ' || line_[p_] == '\t')) ++p_;
    if (At("OO88")) {
      p_ += 4;
      const WorkOffsetValues before = offsets_.ActiveWorkOffset;
      ParseOspCallArgs(p_, line_, c_, r_);
      NoteOffsetChange(before);
      modal_.LastGCode = 8110;
      b_.OspCallOo88 = 1;
      EndBlock();
      return true;
    }
    const bool byNumber = Peek(0) == 'O' && ctl_.Tables.MemoryRun != 0;
    size_t q = p_ + 1;
    CallSubprogram(
        byNumber ? SubprogramCall{SubprogramCallKind::kByNumberMemory, {}, ParseNcWordInt(line_, q)}
                 : SubprogramCall{SubprogramCallKind::kByName, line_.substr(p_, end_ - p_), 0});
    return true;
  }
  if (Osp() && ch == 'R' && At("RTS") && c_.Subprograms.Depth > 0) {
    p_ += 3;
    ReturnFromSubprogram();
    return true;
  }
  if (Osp() && (At("HA") || At("DA"))) {
    const int32_t tool = modal_.Tools.CurrentToolNumber;
    if (ch == 'H') {
      modal_.LengthOffsetNumber = tool;
    } else {
      in_.RadiusOffsetNumber = tool;
    }
    p_ += 2;
    return true;
  }
  return false;
}

// CYCL CALL, or M99 in a line: the defined cycle at the block's end point,
// from the level the tool starts at, fed at Q206 (a Q206 never given, or
// FAUTO, leaves the feed in force rather than feeding at 0).
void BlockScan::CallHeidenhainCycle() {
  modal_.CannedCycle = modal_.HeidenhainCycle;
  in_.RepeatCount = 1;
  in_.AnyAxisGiven = 1;
  modal_.LastMCode = 0;
  if (modal_.HeidenhainCycle == kNoCannedCycle) return;
  in_.CycleStarted = 1;
  const double feed = in_.CycleParameter(206);
  if (feed > 0.0) move_.Feed = feed;
}

bool BlockScan::SiemensOrientation() {
  const char letter = line_[p_];
  const char form = Peek(1);
  if (letter < 'A' || letter > 'C' || form < '2' || form > '5' || Peek(2) != '=') return false;
  p_ += 3;
  double value = ParseNcWordRaw(line_, p_);
  if (form > '3') return true;  // read and ignored
  const size_t k = static_cast<size_t>(letter - 'A');
  const int32_t kind = form == '2' ? 1 : 2;
  if (kind == 2 && ctl_.ProgramReverse[k] != 0) value = -value;
  if (in_.OrientationForm != kind && r_.Control.CuttingMode.load() > kCuttingIdle)
    r_.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
  if (in_.OrientationForm != kind) in_.OrientationValues = {};
  in_.OrientationForm = kind;
  in_.OrientationValues[k] = value;
  modal_.ToolAxisMode = kToolAxisVector;
  b_.Orientation = 1;
  return true;
}

bool BlockScan::HeidenhainLineWord() {
  const char ch = line_[p_];
  const char next = Peek(1);
  const auto isAxisOrBlank = [](char c) {
    return c == ' ' || c == '\t' || c == 'X' || c == 'Y' || c == 'Z';
  };
  const std::array<int32_t, 3>& axes = modal_.Plane.PlaneAxes;
  const size_t a = static_cast<size_t>(axes[0]), bAxis = static_cast<size_t>(axes[1]);
  if (ch == 'L' && (isAxisOrBlank(next) || next == 'P')) {
    modal_.LastGCode = 1;
    modal_.MotionMode = kMotionLinear;
    modal_.Length.LengthCompensationActive = 1;
    modal_.CannedCycle = kNoCannedCycle;
    p_ += next == 'P' ? 2 : 1;
    // M91 or M92 makes the line a move in machine coordinates, of that kind.
    for (size_t m = line_.find('M', p_); m < end_; m = line_.find('M', m + 1)) {
      size_t q = m + 1;
      const int32_t code = ParseNcWordInt(line_, q);
      if (code == 91 || code == 92) modal_.MachineCoordinates = code;
    }
    if (next == 'P') {
      b_.HeidenhainPolar = 1;
      in_.PolarGiven = 1;
      PolarFromCartesian(move_.End[a] - in_.CircleCentre[a],
                         move_.End[bAxis] - in_.CircleCentre[bAxis], in_.PolarRadius,
                         in_.PolarAngle);
    }
    return true;
  }
  if (ch == 'C' && next == 'C') {
    b_.HeidenhainCircleCentre = 1;
    in_.PolarAngle = 0.0;
    p_ += 2;
    return true;
  }
  if (ch == 'C' && (isAxisOrBlank(next) || next == 'P') && !At("CYCL")) {
    modal_.MotionMode = kMotionClockwise;
    in_.CentreGiven = 1;
    modal_.Length.LengthCompensationActive = 1;
    modal_.CannedCycle = kNoCannedCycle;
    b_.HeidenhainCircle = 1;
    if (next == 'P') {
      b_.HeidenhainPolar = 1;
      in_.PolarGiven = 1;
      PolarFromCartesian(move_.End[a] - in_.CircleCentre[a],
                         move_.End[bAxis] - in_.CircleCentre[bAxis], in_.PolarRadius,
                         in_.PolarAngle);
    }
    p_ += next == 'P' ? 2 : 1;
    return true;
  }
  if (ch == 'D' && next == 'R' && (Peek(2) == '+' || Peek(2) == '-')) {
    const bool ccw = (Peek(2) == '+') != (modal_.Plane.PlaneCode < 0);
    modal_.MotionMode = ccw ? kMotionCounterClockwise : kMotionClockwise;
    p_ += 3;
    return true;
  }
  if (ch == 'R' && (next == 'L' || next == 'R' || next == '0')) {
    in_.RadiusCompensationSide = next == 'L' ? 1 : next == 'R' ? -1 : 0;
    if (modal_.Plane.PlaneCode < 0) in_.RadiusCompensationSide = -in_.RadiusCompensationSide;
    p_ += 2;
    return true;
  }
  if (ch == 'F' && (At("FMAX") || At("F MAX"))) {
    modal_.MotionMode = kMotionRapid;
    p_ += At("FMAX") ? 4 : 5;
    return true;
  }
  if (ch == 'P' && (next == 'A' || next == 'R') && b_.HeidenhainPolar != 0) {
    p_ += 2;
    const double value = ParseNcWordRaw(line_, p_);
    (next == 'A' ? in_.PolarAngle : in_.PolarRadius) = value;
    return true;
  }
  return false;
}

void BlockScan::GWord() {
  ++p_;
  const int32_t code = ReadInt();
  const int32_t suffix = DecimalSuffixDigit(line_, p_);
  modal_.LastGCode = code;
  RecordCode(in_.GCodeUsed, code);
  const GTable& table = kGTables[static_cast<size_t>(dialect_)];
  const GAction action = code >= 0 && static_cast<size_t>(code) < table.size()
                             ? table[static_cast<size_t>(code)]
                             : GAction::kNone;
  ApplyG(code, suffix, action);
}

void BlockScan::StartToolCentre() {
  modal_.ToolAxisMode =
      ctl_.ToolCenterControl[0] != 0 ? ctl_.ToolCenterControl[0] : kToolAxisAngles;
  modal_.Length.LengthCompensationActive = 1;
  ApplyToolLengthOffset(modal_, r_);
}

// G49 and its kin end a tool-centre mode too; OSP G53 cancels the length
// offset alone.
void BlockScan::CancelLengthOffset(bool endToolCentre) {
  const bool toolCentre = endToolCentre && modal_.ToolAxisMode != kToolAxisOff;
  modal_.Length.LengthCompensationActive = 0;
  modal_.Length.PreviousToolLength = 0.0;
  modal_.ToolLengthCopy = 0.0;
  if (!endToolCentre) return;
  modal_.ToolAxisMode = kToolAxisOff;
  if (toolCentre) ResyncProgramPosition(c_, r_);
}

// The composed work offset changed from before without a move: under
// compensation the moves read ahead of this block still belong to the old
// offset, and the motion driver takes the new one into force.
void BlockScan::NoteOffsetChange(const WorkOffsetValues& before) {
  if (in_.CompensationStart == 0 || offsets_.ActiveWorkOffset == before) return;
  CompensatedOffsetChange& change = in_.OffsetChange;
  if (change.Pending == 0) change.Old = before;
  change.New = offsets_.ActiveWorkOffset;
  change.Pending = 1;
}

void BlockScan::SelectWorkOffsetEntry(int32_t entry) {
  const WorkOffsetValues before = offsets_.ActiveWorkOffset;
  if (!SelectWorkOffset(entry, c_, r_)) return;
  NoteOffsetChange(before);
  if (r_.Control.CuttingMode.load() > kCuttingIdle)
    r_.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
}

// A changed entry or shift of the offset in force (G10 L2, G52): the tool
// stays where it is, and the next absolute move goes to the new coordinates.
void BlockScan::RecomposeKeepingMachine() {
  const WorkOffsetValues before = offsets_.ActiveWorkOffset;
  RecomposeWorkOffset(c_, r_);
  NoteOffsetChange(before);
}

void BlockScan::ApplyG(int32_t code, int32_t suffix, GAction action) {
  switch (action) {
    case GAction::kNone:
      return;
    case GAction::kMotion:
    case GAction::kOspMotion:
    case GAction::kOspArc: {
      int32_t motion = action == GAction::kMotion      ? code
                       : action == GAction::kOspMotion ? code - 100
                                                       : code - 130;
      if (modal_.Plane.PlaneCode < 0 && (motion == 2 || motion == 3)) motion = 5 - motion;
      if (motion == 2 || motion == 3) in_.ArcSeen = 1;
      modal_.MotionMode = motion;
      b_.Motion = 1;
      // A motion code ends a canned cycle, as G80 does.
      modal_.CannedCycle = kNoCannedCycle;
      return;
    }
    case GAction::kDwell:
      in_.DwellFlag = 1;
      b_.Dwell = 1;
      return;
    case GAction::kNurbs:
    case GAction::kNurbsQ:
      if (action == GAction::kNurbs && suffix != 2) return;
      modal_.MotionMode = kMotionNurbs;
      if (Hooks() != nullptr && Hooks()->ReadNurbsBlocks)
        Hooks()->ReadNurbsBlocks(c_, r_, p_, action == GAction::kNurbs ? 'K' : 'Q');
      EndBlock();
      return;
    case GAction::kCylindrical:
      if (code == 7 && suffix != 1) return;
      modal_.Cylindrical.On = 1;
      b_.CylinderRadius = 1;
      SelectPlaneAxes(ctl_.Planes, modal_.Plane);
      return;
    case GAction::kOffsetInput:
      if (suffix == 9) {
        if (Mazak()) b_.MazakDiameterInput = 1;
        return;
      }
      b_.G10 = 1;
      if (ctl_.offsetMemoryType > 0) b_.OffsetInput = 1;
      return;
    case GAction::kOspPlaneRotationEnd:
      in_.OspPlaneRotation = 0;
      return;
    case GAction::kOspPlaneRotationStart:
      in_.OspPlaneRotation = 1;
      in_.OspRotationPlaneAxes = modal_.Plane.PlaneAxes;
      return;
    case GAction::kPolarInterpolation:
      if (suffix == 1) modal_.Polar.On = code == 12 ? 1 : 0;
      return;
    case GAction::kOspWorkOffsetSelect:
      in_.OspG15Selection = 1;
      return;
    case GAction::kOspAxisConvert:
      // The H word selects as under G15; the block's end then takes entry 0.
      in_.OspG15Selection = 1;
      b_.OspG16 = 1;
      return;
    case GAction::kPlane:
      modal_.Plane.PlaneCode = code;
      SelectPlaneAxes(ctl_.Planes, modal_.Plane);
      SelectToolLengthAxis(ctl_, modal_.Plane);
      return;
    case GAction::kReferenceCheck:
      in_.ReferenceReturnMode = kReferenceCheck;
      b_.Reference = 1;
      in_.IntermediateGiven = {};
      return;
    case GAction::kReferenceReturn:
      in_.ReferenceReturnMode = kReferenceReturn;
      b_.Reference = 1;
      b_.G30 = code == 30 ? 1 : 0;
      in_.ReferencePointNumber = code == 30 ? 1 : 0;  // G30 alone: the second point
      in_.IntermediateGiven = {};
      return;
    case GAction::kCornerArc:
      in_.CornerArc = 1;
      return;
    case GAction::kCompensation: {
      int32_t side = code == 41 ? 1 : code == 42 ? -1 : 0;
      if (modal_.Plane.PlaneCode < 0) side = -side;
      in_.RadiusCompensationSide = side;
      in_.CompensationStart = side != 0 ? 1 : 0;
      if (side == 0) modal_.RadiusOffset = 0.0;
      return;
    }
    case GAction::kLengthOffset:
      if (code == 43 && (suffix == 4 || suffix == 5)) {
        // Tool-tip control turns the tool by the rotary axes; without any
        // the block is a plain G43.
        if (r_.Defs.Kinematics.RotaryType != kRotaryNone)
          modal_.ToolAxisMode = suffix == 4 ? kToolAxisAngles : kToolAxisVector;
        else
          Log(NumberNote("G43.", suffix, ": the machine has no rotary axes; taken as G43"));
      } else if (code == 49) {
        CancelLengthOffset();
        return;
      }
      modal_.Length.LengthCompensationActive = code == 44 ? -1 : 1;
      return;
    case GAction::kScalingOff:
      if (Default() && suffix == 1) {
        modal_.LastGCode = 501;
        b_.Mirror = 1;
        return;
      }
      modal_.Scaling.On = 0;
      return;
    case GAction::kScalingOn:
      if (Default() && suffix == 1) {
        modal_.LastGCode = 511;
        b_.Mirror = 1;
        return;
      }
      modal_.Scaling.On = 1;
      modal_.Scaling.Centre = {move_.End[0], move_.End[1], move_.End[2]};
      modal_.Scaling.Uniform = Default() ? 0 : 1;
      if (!Default()) modal_.Scaling.UniformFactor = 1.0;
      b_.Scaling = 1;
      return;
    case GAction::kLocalShift:
      b_.LocalShift = 1;
      return;
    case GAction::kMachineCoordinates:
      if (suffix == 1) {
        modal_.LastGCode = 531;
        return;
      }
      modal_.MachineCoordinates = 1;
      return;
    case GAction::kOspLengthCancel:
      // The length offset alone; a tool-centre mode stays (G170 ends it).
      CancelLengthOffset(false);
      return;
    case GAction::kOspLengthOn:
      modal_.Length.LengthCompensationActive = 1;
      return;
    case GAction::kWorkOffset:
      if (code == 54 && suffix == 1) {
        b_.WorkOffsetExtended = 1;
        SelectWorkOffsetEntry(7);
        return;
      }
      SelectWorkOffsetEntry(code - 53);
      return;
    case GAction::kMacroCall:
      EndBlock();
      return;
    case GAction::kRotation:
      if (suffix == 2 && Default()) {
        modal_.LastGCode = 682;
        modal_.TiltedPlane.State = 1;
        // Its I, J, K are Euler angles, whatever form G254 or CYCLE800 left.
        modal_.TiltedPlane.Form = kTiltedEuler;
        b_.TiltedPlane = 1;
        return;
      }
      b_.Rotation = 1;
      if (modal_.Rotation.Count >= 0 &&
          modal_.Rotation.Count < static_cast<int32_t>(kRotationSlots))
        modal_.Rotation.Slots[static_cast<size_t>(modal_.Rotation.Count)] = RotationSlot{};
      if (Osp()) move_.End = move_.Start;
      return;
    case GAction::kRotationOff:
      EndCoordinateRotation();
      modal_.TiltedPlane.State = 0;
      modal_.TiltedPlane.Active = 0;
      modal_.TransformState = 0;
      return;
    case GAction::kCannedCycle:
      modal_.CannedCycle = code;
      in_.CyclePositioningMode = modal_.PositioningMode;
      if (code != kNoCannedCycle) in_.CycleStarted = 1;
      return;
    case GAction::kPositioning:
      modal_.PositioningMode = code == 91 ? 1 : 0;
      return;
    case GAction::kCoordinateSetting:
      b_.CoordinateSetting = 1;
      b_.SetGiven = {};
      return;
    case GAction::kReturnLevel:
      modal_.ReturnLevel = code == 98 ? 1 : 0;
      return;
    case GAction::kOspCylindrical:
      modal_.Cylindrical.On = 1;
      return;
    case GAction::kMazakDiameter:
      if (Mazak() && suffix == 1) in_.DiameterMode = code == 123 ? 1 : 0;
      return;
    case GAction::kOspRotationAboutY:
      if (code == 127) {
        // Only on the cylinder, with no rotation or polar interpolation.
        if (in_.OspCylinder != 0 && modal_.Rotation.State != kRotationActive &&
            modal_.Polar.On == 0) {
          b_.OspG127 = 1;
          modal_.Rotation = CoordinateRotation{};
          modal_.Rotation.Slots[0].AxisWord = kRotationAxisJ;
        }
      } else if (modal_.Rotation.State == kRotationActive) {
        EndCoordinateRotation();
        modal_.TransformState = 0;
      }
      return;
    case GAction::kOspPolar:
      if (code == 137) {
        modal_.Polar.On = 1;
        b_.OspG137 = 1;
      } else if (code == 136) {
        modal_.Polar.On = 0;
        in_.OspCylinder = 0;
        // Leaving polar interpolation takes Y back to 0, as a move.
        if (move_.End[1] != 0.0) {
          move_.End[1] = 0.0;
          modal_.ProgramPosition[1] = 0.0;
          in_.AxisGiven[1] = 1;
          in_.AnyAxisGiven = 1;
        }
      } else {
        in_.OspCylinder = 1;
      }
      if (code != 137 && modal_.Cylindrical.On != 0) {
        modal_.Plane.PlaneCode = 18;
        SelectPlaneAxes(ctl_.Planes, modal_.Plane);
      }
      return;
    case GAction::kOspToolCentre:
      if (code == 169) {
        StartToolCentre();
      } else {
        CancelLengthOffset();
      }
      return;
    case GAction::kTiltFromRotary:
      if (code == 254) {
        modal_.TiltedPlane.State = 1;
        modal_.TiltedPlane.Form = kTiltedFromRotaryAxes;
        modal_.TiltedPlane.Angles = {move_.End[3], move_.End[4], 0.0};
        b_.TiltedPlane = 1;
      } else {
        modal_.TiltedPlane.State = 0;
        modal_.TiltedPlane.Active = 0;
      }
      return;
    case GAction::kOspLengthVector:
    case GAction::kOspTilt:
      if (action == GAction::kOspTilt) {
        modal_.TiltedPlane.State = code == 469 ? 1 : 0;
        if (code == 468) modal_.TiltedPlane.Active = 0;
      }
      return;
  }
}

void BlockScan::MWord() {
  ++p_;
  size_t afterCode = p_;
  while (afterCode < end_ && line_[afterCode] >= '0' && line_[afterCode] <= '9') ++afterCode;
  while (afterCode < end_ && (line_[afterCode] == ' ' || line_[afterCode] == '\t')) ++afterCode;
  const int32_t code = ReadInt();
  modal_.LastMCode = code;
  RecordCode(in_.MCodeUsed, code);
  switch (code) {
    case 2:
    case 30:
      if (ctl_.Tables.MemoryRun != 0) {
        modal_.EndState = modal_.CycleMoveCount > 0 ? kEndReached : kEndHandled;
        if (Heidenhain() && modal_.EndState == kEndHandled)
          ClearRotaryWrapFlags(0, ctl_, r_.Defs.Limits, r_.Memory.ShortestRoute);
        EndBlock();
      }
      return;
    case 3:
      modal_.SpindleState = 1;
      return;
    case 4:
      modal_.SpindleState = -1;
      return;
    case 5:
      modal_.SpindleState = 0;
      return;
    case 6:
      if (r_.Defs.Machine.Route.StepCount > 0) StartToolChangeRoute(c_, r_, ToolChangeWord::kM06);
      return;
    case 29:
      in_.RigidTapping = 1;
      return;
    case 52:
    case 54:
      if (Osp()) modal_.ReturnLevel = code == 52 ? 1 : 0;
      return;
    case 98:
    case 198:
      if (!Default()) return;
      if (afterCode < end_ && line_[afterCode] == '<') {
        const size_t open = afterCode;
        const size_t close = line_.find('>', open);
        if (close != std::string_view::npos && close < end_ && open + 1 < close &&
            IsAsciiLetter(line_[open + 1])) {
          const std::string_view name = line_.substr(open + 1, close - open - 1);
          p_ = close + 1;
          CallSubprogram({SubprogramCallKind::kByName, name, 0});
        }
        return;
      }
      b_.SubprogramCall = code;
      return;
    case 99:
      if (Heidenhain()) {
        CallHeidenhainCycle();
        return;
      }
      ReturnFromSubprogram();
      return;
    case 109:
      if (Osp()) modal_.Cylindrical.On = 0;
      return;
    case 126:
    case 127:
      if (Heidenhain())
        ClearRotaryWrapFlags(code == 126 ? 1 : 0, ctl_, r_.Defs.Limits,
                             r_.Memory.ShortestRoute);
      return;
    case 128:
      if (Heidenhain()) StartToolCentre();
      return;
    case 129:
      if (Heidenhain()) CancelLengthOffset();
      return;
    default:
      return;
  }
}

void BlockScan::TWord() {
  if (Heidenhain()) {
    // The only T word of the dialect is TOOL CALL; its line is its own.
    if (!At("TOOL CALL") && !At("TOOLCALL")) {
      ++p_;
      return;
    }
    p_ += At("TOOL CALL") ? 9 : 8;
    while (p_ < end_ && (line_[p_] == ' ' || line_[p_] == '\t')) ++p_;
    const int32_t tool = ReadInt();
    modal_.BlockTool = tool;
    if (tool >= 0) modal_.Tools.NextToolNumber = tool;
    in_.ToolSeen = 1;
    ParseToolCallExtras(line_.substr(p_, end_ - p_), modal_);
    EndBlock();
    return;
  }
  if (Siemens() && At("TRAORI")) {
    p_ += 6;
    StartToolCentre();
    return;
  }
  if (Siemens() && At("TRAFOOF")) {
    p_ += 7;
    CancelLengthOffset();
    return;
  }
  ++p_;
  if (Siemens() && Peek(0) == '=') {
    ++p_;
    int32_t tool = 0;
    if (Peek(0) == '"') {
      const size_t close = line_.find('"', p_ + 1);
      const size_t stop = close == std::string_view::npos || close > end_ ? end_ : close;
      tool = FindToolByName(r_.Defs.Tools, line_.substr(p_ + 1, stop - p_ - 1));
      p_ = stop < end_ ? stop + 1 : end_;
    } else {
      tool = ReadInt();
    }
    modal_.BlockTool = tool;
    modal_.Tools.NextToolNumber = tool;
    in_.ToolSeen = 1;
    return;
  }
  const int32_t tool = ReadInt();
  if (Mazak() && in_.ToolSeen != 0 && tool == 0) return;
  modal_.BlockTool = tool;
  in_.ToolSeen = 1;
  if (tool >= 0) {
    // A number beyond the tool table is an undefined tool, never an index
    // past the table.
    if (tool > r_.Defs.Tools.MaxToolNumber) {
      Log(NumberNote("T", tool, " is beyond the tool table; no tool"));
      modal_.Tools.NextToolNumber = 0;
    } else {
      modal_.Tools.NextToolNumber = tool;
    }
  }
  if (r_.Defs.Machine.Route.StepCount > 0) StartToolChangeRoute(c_, r_, ToolChangeWord::kT);
}

void BlockScan::AxisWord(size_t axis) {
  ++p_;
  if (b_.Dwell != 0 && axis == 0 && Default()) {
    ReadDwellTime();
    return;
  }
  double value = ReadValue();
  if (ctl_.ProgramReverse[axis] != 0) value = -value;
  in_.AxisGiven[axis] = 1;
  in_.AnyAxisGiven = 1;
  if (b_.G10L == 2 || b_.G10L == 20) {
    if (b_.G10P < 0 || b_.G10P >= kWorkOffsetEntries) return;
    WorkOffsetValues& entry = offsets_.WorkOffsets[static_cast<size_t>(b_.G10P)];
    entry[axis] = Incremental() ? entry[axis] + value : value;
    return;
  }
  if (b_.LocalShift != 0) {
    in_.LocalShift[axis] = Incremental() ? in_.LocalShift[axis] + value : value;
    return;
  }
  if (b_.Reference != 0) {
    in_.IntermediatePoint[axis] = Incremental() ? move_.Start[axis] + value : value;
    in_.IntermediateGiven[axis] = 1;
    return;
  }
  if (b_.CoordinateSetting != 0) {
    b_.SetValues[axis] = value;
    b_.SetGiven[axis] = 1;
    return;
  }
  if (b_.Mirror != 0) {
    if (axis < 3) {
      b_.MirrorGiven[axis] = 1;
      b_.MirrorCentre[axis] = value;
    }
    return;
  }
  if (b_.Scaling != 0) return;
  if (b_.Rotation != 0) {
    b_.RotationCentre[axis] = value;
    return;
  }
  if (b_.MazakDiameterInput != 0 && axis == 0) {
    in_.DiameterMode = value != 0.0 ? 1 : 0;
    return;
  }
  if (modal_.MachineCoordinates != 0) {
    double program = value - offsets_.ActiveWorkOffset[axis];
    if (modal_.Length.BAxisLength != 0) program -= modal_.Length.ToolLengthVector[axis];
    modal_.ProgramPosition[axis] = program;
    move_.End[axis] = program;
    return;
  }
  if (Incremental()) value += modal_.ProgramPosition[axis];
  modal_.ProgramPosition[axis] = value;
  if (axis == 0 && in_.DiameterMode != 0 && (Mazak() || ctl_.AutomaticToolOffset != 0 || Osp()) &&
      !(Osp() && (modal_.Polar.On != 0 || modal_.Cylindrical.On != 0)))
    value /= 2.0;
  ApplyScalingToAxis(modal_.Scaling, static_cast<int32_t>(axis), value);
  move_.End[axis] = value;
}

void BlockScan::RotaryWord(size_t k) {
  ++p_;
  RotaryValue(k, ReadDivided(ctl_.AngleDivisor));
}

// MAZAK "AB=" and "AC=" give the B or C rotary position as written; "AT="
// is read and left.
bool BlockScan::MazakRotaryForm() {
  const char letter = Peek(1);
  if (line_[p_] != 'A' || Peek(2) != '=' || (letter != 'B' && letter != 'C' && letter != 'T'))
    return false;
  p_ += 3;
  const double value = ReadDivided(1);
  for (size_t k = 0; k < 2 && letter != 'T'; ++k) {
    if (ToUpperAscii(ctl_.Rotary[k].Letter) == letter) {
      RotaryValue(k, value);
      break;
    }
  }
  return true;
}

void BlockScan::RotaryValue(size_t k, double value) {
  if (ctl_.Rotary[k].Reverse != 0) value = -value;
  const size_t axis = 3 + k;
  if (k == 1 && ToUpperAscii(ctl_.Rotary[1].Letter) == 'C' && b_.CylinderRadius != 0) {
    modal_.Cylindrical.Divisor = value;
    if (value == 0.0) modal_.Cylindrical.On = 0;
    return;
  }
  if (k == 1 && ToUpperAscii(ctl_.Rotary[1].Letter) == 'C' && b_.OspG137 != 0) {
    // The C angle the polar interpolation turns from; C does not move.
    modal_.Polar.AngleOffset = value;
    return;
  }
  in_.AxisGiven[axis] = 1;
  in_.AnyAxisGiven = 1;
  if (modal_.LastGCode == 682 && b_.TiltedPlane != 0) {
    modal_.TiltedPlane.Angles[k] = value;
    return;
  }
  if (modal_.MachineCoordinates != 0 && k == 0) {
    value -= offsets_.ActiveWorkOffset[axis];
  } else if (Incremental()) {
    value += modal_.ProgramPosition[axis];
  }
  modal_.ProgramPosition[axis] = value;
  move_.End[axis] = value;
  if (k == 0 && ToUpperAscii(ctl_.Rotary[0].Letter) == 'B' && modal_.Length.BAxisLength != 0)
    ComputeToolLengthVector(value, c_, r_);
}

void BlockScan::CentreWord(size_t k) {
  if (Heidenhain() && b_.HeidenhainPolar != 0 && Peek(1) == 'P' &&
      (Peek(2) == 'A' || Peek(2) == 'R')) {
    // IPA, IPR: the polar angle or radius changed by the value.
    const char which = Peek(2);
    p_ += 3;
    (which == 'A' ? in_.PolarAngle : in_.PolarRadius) += ParseNcWordRaw(line_, p_);
    return;
  }
  ++p_;
  if (b_.Scaling != 0 && Default()) {
    const double factor = ReadDivided(ctl_.ScaleDivisor);
    modal_.Scaling.Factors[k] = factor;
    return;
  }
  if (b_.Scaling != 0 && Osp()) {
    modal_.Scaling.Factors[k] = ParseNcWordRaw(line_, p_);
    return;
  }
  double value = ReadValue();
  if (b_.Rotation != 0 && Default()) {
    const int32_t count = modal_.Rotation.Count;
    if (count >= 0 && count < static_cast<int32_t>(kRotationSlots))
      modal_.Rotation.Slots[static_cast<size_t>(count)].AxisWord = static_cast<int32_t>(k) + 1;
    return;
  }
  if (ctl_.ProgramReverse[k] != 0) value = -value;
  if (modal_.Scaling.On != 0 && modal_.ToolAxisMode != kToolAxisVector) {
    const double factor =
        modal_.Scaling.Uniform != 0 ? modal_.Scaling.UniformFactor : modal_.Scaling.Factors[k];
    if (modal_.Scaling.Enabled[k] != 0) value *= factor;
  }
  in_.CentreWords[k] = value;
  in_.CentreGiven = 1;
  in_.ArcForm = kArcByCentre;
  if (b_.TiltedPlane != 0 && modal_.LastGCode == 682) modal_.TiltedPlane.Angles[k] = value;
}

void BlockScan::RWord() {
  ++p_;
  if (b_.OffsetInput != 0 && b_.G10L != 2 && b_.G10L != 20) {
    const double value = ReadValue();
    const int32_t n = b_.G10P;
    if (n <= 0 || n >= kOffsetNumbers) {
      Log(NumberNote("G10 offset number ", n, " is outside the offset memory; ignored"));
      return;
    }
    const size_t i = static_cast<size_t>(n);
    const auto store = [this](std::vector<float>& table, size_t index, double v) {
      table[index] = RoundToSingle(Incremental() ? table[index] + v : v);
    };
    const int32_t kind = b_.G10L;
    if (ctl_.offsetMemoryType <= 1 || (ctl_.offsetMemoryType == 2 && kind == 10)) {
      store(offsets_.HGeometry, i, value);
      store(offsets_.DGeometry, i, value);
    } else if (ctl_.offsetMemoryType == 2) {
      store(offsets_.HWear, i, value);
      store(offsets_.DWear, i, value);
    } else if (kind == 10) {
      store(offsets_.HGeometry, i, value);
    } else if (kind == 11 || kind == 1) {
      store(offsets_.HWear, i, value);
    } else if (kind == 12) {
      store(offsets_.DGeometry, i, value);
    } else {
      store(offsets_.DWear, i, value);
    }
    return;
  }
  if (b_.Rotation != 0 && Default()) {
    const double angle = ReadDivided(ctl_.AngleDivisor);
    const int32_t count = modal_.Rotation.Count;
    if (count >= 0 && count < static_cast<int32_t>(kRotationSlots))
      modal_.Rotation.Slots[static_cast<size_t>(count)].Angle = angle;
    return;
  }
  const double value = ReadValue();
  if (InCycle() && !(b_.Motion != 0 && ArcMotion())) {
    in_.CycleRPoint = value;
    return;
  }
  if (ArcMotion()) {
    in_.ArcRadius = value;
    in_.ArcForm = kArcByRadius;
  }
}

// G10 L2 numbers the work offsets from G54, L20 the extended ones after
// G59; P may come before or after L.
void BlockScan::SelectG10WorkOffset() {
  const int32_t n = b_.G10PValue;
  // In 64 bits: a P near the integer limit must not wrap into the table.
  const int64_t entry = b_.G10L == 20 ? int64_t{n} + 6 : n;
  if (entry < 0 || entry >= kWorkOffsetEntries) {
    Log(NumberNote("G10 work offset ", n, " is outside the table; ignored"));
    b_.G10P = kCodeNone;
    return;
  }
  b_.G10P = static_cast<int32_t>(entry);
}

void BlockScan::PWord() {
  if (Heidenhain() && At("PLANE ")) return;  // handled as a keyword
  ++p_;
  if (b_.Dwell != 0) {
    ReadDwellTime();
    return;
  }
  if (b_.G10 != 0) {
    const int32_t n = ReadInt();
    b_.G10PGiven = 1;
    b_.G10PValue = n;
    if (b_.G10L == 2 || b_.G10L == 20) {
      SelectG10WorkOffset();
      return;
    }
    b_.G10P = n;
    return;
  }
  if (b_.WorkOffsetExtended != 0) {
    const int32_t n = ReadInt();
    if (n < 1 || n >= kWorkOffsetEntries - 6) {
      Log(NumberNote("G54.1 P", n, " is outside the work-offset table; ignored"));
      return;
    }
    SelectWorkOffsetEntry(n + 6);
    return;
  }
  if (b_.G30 != 0) {
    const int32_t n = ReadInt();
    if (n < 1 || n > kReferencePointCount) {
      Log(NumberNote("G30 P", n, " names no reference point; ignored"));
      return;
    }
    in_.ReferencePointNumber = n - 1;
    return;
  }
  if (b_.SubprogramCall != 0) {
    const int32_t n = ReadInt();
    CallSubprogram({b_.SubprogramCall == 98 ? SubprogramCallKind::kByNumberMemory
                                            : SubprogramCallKind::kByNumberFile,
                    {},
                    n});
    return;
  }
  if (b_.Scaling != 0) {
    double factor = 0.0;
    if (Osp()) {
      factor = ParseNcWordRaw(line_, p_);
    } else {
      factor = ReadDivided(ctl_.ScaleDivisor);
    }
    modal_.Scaling.UniformFactor = factor;
    modal_.Scaling.Uniform = 1;
    return;
  }
  if (b_.Rotation != 0 && Osp() && in_.OspPlaneRotation != 0) {
    modal_.Rotation.Slots[0].Angle = ParseNcWordRaw(line_, p_);
    return;
  }
  if (InCycle()) {
    ReadDwellTime();
  }
}

void BlockScan::QWord() {
  ++p_;
  if (Heidenhain() && Peek(0) >= '0' && Peek(0) <= '9') {
    StoreHeidenhainCycleParameter(p_, line_, in_);
    ++p_;
    ParseHeidenhainQParameter(p_, line_, modal_, ctl_.LengthDivisor);
    return;
  }
  if (modal_.ToolAxisMode == kToolAxisVector && IsAsciiLetter(Peek(0))) {
    const char kind = line_[p_++];
    modal_.TiltAngle = ParseNcWordRaw(line_, p_) * kRadiansPerDegree;
    in_.TiltKind = kind == 'R' ? 1 : kind == 'L' ? -1 : 0;
    return;
  }
  if (b_.TiltedPlane != 0 && modal_.LastGCode == 682) {
    modal_.TiltedPlane.Code = ReadInt();
    return;
  }
  const double value = ReadValue();
  if (InCycle()) in_.CycleQ = Heidenhain() ? std::fabs(value) : value;
}

void BlockScan::LWord() {
  ++p_;
  const int32_t n = ReadInt();
  if (b_.G10 != 0 && Default()) {
    if (n == 2 || n == 20 || (b_.OffsetInput != 0 && n >= 10 && n <= 13) ||
        (b_.OffsetInput != 0 && n == 1))
      b_.G10L = n;
    if ((n == 2 || n == 20) && b_.G10PGiven != 0) SelectG10WorkOffset();
    return;
  }
  in_.RepeatCount = n == 0 && ctl_.CycleL0Ignore != 0 ? 1 : n;
}

void BlockScan::DWord() {
  ++p_;
  int32_t n = ReadInt();
  // Numbers from 1000 on, zero and negative ones mean no offset.
  if (n < 0 || n >= kOffsetNumbers) n = 0;
  in_.RadiusOffsetNumber = n;
  const size_t i = static_cast<size_t>(n);
  if (n > 0 && ctl_.DCodeAuto != 0) offsets_.DGeometry[i] = r_.Tool.Tool.Diameter / 2.0f;
  const double radius =
      n > 0 ? static_cast<double>(offsets_.DGeometry[i]) + static_cast<double>(offsets_.DWear[i])
            : 0.0;
  modal_.RadiusOffset = in_.RadiusCompensationSide * radius;
}

void BlockScan::HWord() {
  ++p_;
  int32_t n = ReadInt();
  if (Osp() && in_.OspG15Selection != 0) {
    SelectWorkOffsetEntry(n);
    return;
  }
  // H0 and numbers from 1000 on cancel the length offset.
  if (n <= 0 || n >= kOffsetNumbers) {
    if (ctl_.AutomaticToolOffset == 0) {
      modal_.LengthOffsetNumber = 0;
      modal_.Length.PreviousToolLength = 0.0;
      modal_.ToolLengthCopy = 0.0;
    }
    return;
  }
  modal_.LengthOffsetNumber = n;
  const size_t i = static_cast<size_t>(n);
  if (ctl_.HCodeAuto != 0) offsets_.HGeometry[i] = c_.Position.ToolLength;
  const double length =
      modal_.Length.LengthCompensationActive *
      (static_cast<double>(offsets_.HGeometry[i]) + static_cast<double>(offsets_.HWear[i]));
  modal_.Length.PreviousToolLength = length;
  modal_.ToolLengthCopy = length;
}

void BlockScan::FWord() {
  ++p_;
  if (b_.Dwell != 0 && Osp()) {
    ReadDwellTime();
    return;
  }
  if (in_.RigidTapping != 0 && (modal_.CannedCycle == 84 || modal_.CannedCycle == 74)) {
    in_.TappingPitch = ParseNcWordRaw(line_, p_);
    return;
  }
  const double feed = ReadFeedWord(ctl_, offsets_, line_, p_);
  in_.FeedCopy = feed;
  modal_.Feed = feed;
  move_.Feed = feed;
  if (Heidenhain() && modal_.MotionMode == kMotionRapid) modal_.MotionMode = kMotionLinear;
}

void BlockScan::SWord() {
  ++p_;
  if (Siemens() && At("UPA")) {
    p_ += 3;
    modal_.MachineCoordinates = 1;
    return;
  }
  if (in_.RigidTapping != 0) {
    in_.RigidTappingSpeed = ParseNcWordRaw(line_, p_);
    return;
  }
  in_.SpindleWord = ReadInt();
  modal_.SpindleSpeed = in_.SpindleWord;
}

void BlockScan::PointToolAlong(const Vec3& axis) {
  const RotaryModalInputs inputs = MakeRotaryModalInputs(c_, r_);
  const RotarySolver solver{r_.Defs.Kinematics, ctl_, inputs, c_.RotarySolve, {}};
  RotaryAngles angles = ChooseRotaryAnglesForToolAxis(
      solver, axis, {move_.Start[3], move_.Start[4]}, MachineRotaryRanges(r_.Defs.Limits));
  for (size_t k = 0; k < 2; ++k) {
    if (ctl_.Rotary[k].Reverse != 0) angles[k] = -angles[k];
    move_.End[3 + k] = angles[k];
    modal_.ProgramPosition[3 + k] = angles[k];
  }
}

void BlockScan::CompleteArc() {
  const std::array<int32_t, 3>& axes = modal_.Plane.PlaneAxes;
  const size_t a = static_cast<size_t>(axes[0]);
  const size_t b = static_cast<size_t>(axes[1]);
  const size_t n = static_cast<size_t>(axes[2]);
  if (Heidenhain()) {
    if (in_.ArcForm == kArcByCentre) {
      for (const size_t k : {a, b}) {
        move_.Centre[k] = Incremental() ? move_.Start[k] + in_.CentreWords[k] : in_.CentreWords[k];
      }
    } else {
      move_.Centre = in_.CircleCentre;
    }
    if (in_.PolarGiven != 0) {
      move_.End[a] =
          move_.Centre[a] + in_.PolarRadius * std::cos(in_.PolarAngle * kRadiansPerDegree);
      move_.End[b] =
          move_.Centre[b] + in_.PolarRadius * std::sin(in_.PolarAngle * kRadiansPerDegree);
    }
  } else if (in_.ArcForm == kArcByCentre) {
    move_.Centre[a] = move_.Start[a] + in_.CentreWords[a];
    move_.Centre[b] = move_.Start[b] + in_.CentreWords[b];
    move_.Centre[n] = move_.Start[n];
  } else if (in_.ArcForm == kArcByRadius &&
             (move_.Start[a] != move_.End[a] || move_.Start[b] != move_.End[b])) {
    move_.Centre =
        ArcCentreFromRadius(move_.Start, move_.End, axes, in_.ArcRadius, modal_.MotionMode);
  }
  const bool byCentre = in_.ArcForm == kArcByCentre || (Heidenhain() && in_.CentreGiven != 0);
  if ((!byCentre && in_.PolarGiven == 0) && move_.Start[a] == move_.End[a] &&
      move_.Start[b] == move_.End[b]) {
    move_.ArcAngle = 0.0;
    move_.Length = 0.0;
    return;
  }
  if (ComputeArcSweep(move_, axes, ctl_.RTolerance)) {
    in_.RadiusMismatch = 1;
    modal_.AlarmCode = kAlarmArcRadii;
  }
  if (modal_.ToolAxisInterpolation != 0) {
    const TiltedArcInputs inputs{modal_.Length.PreviousToolLength, in_.TiltAngleAtStart,
                                 modal_.TiltAngle, modal_.MotionMode,
                                 r_.Defs.Settings.ToolBasePoint};
    ComputeTiltedArcLength(move_.Length, move_.ArcAngle, move_.StartRadius, move_.EndRadius,
                           inputs);
  }
}

void BlockScan::CompleteCoordinateSetting() {
  AxisPosition values = modal_.ProgramPosition;
  for (size_t i = 0; i < values.size(); ++i) {
    if (b_.SetGiven[i] != 0) values[i] = b_.SetValues[i];
  }
  if (ctl_.G92Mode == 0 || in_.G92Recorded != 0) {
    for (size_t i = 0; i < values.size(); ++i) {
      const double d = modal_.ProgramPosition[i] - values[i];
      if (Default()) in_.G92Shift[i] += d;
      offsets_.ActiveWorkOffset[i] += d;
    }
    modal_.ProgramPosition = values;
    modal_.DrawPosition = values;
    move_.Start = values;
    move_.End = values;
    const Definitions& defs = r_.Defs;
    UpdateWorkOffsetFrame(offsets_.ActiveWorkOffset, defs.Kinematics, defs.Controller, r_.Frame,
                          r_.Display);
  } else {
    move_.End = values;
  }
  if (in_.G92Recorded == 0) {
    in_.G92Reference = values;
    in_.G92Recorded = 1;
  }
}

void BlockScan::CompleteCycleBlock() {
  if (!InCycle()) return;
  const size_t n = static_cast<size_t>(modal_.Plane.PlaneAxes[2]);
  if (in_.AxisGiven[n] != 0)
    in_.CycleDepth = Incremental() ? modal_.ProgramPosition[n] - programAtStart_[n] : move_.End[n];
  // A repeat count of 0 keeps the cycle's words but drills nothing and moves
  // nowhere, in incremental mode too.
  if (in_.RepeatCount > 0 || (in_.AnyAxisGiven == 0 && in_.CycleStarted == 0)) return;
  move_.End = move_.Start;
  modal_.ProgramPosition = programAtStart_;
}

// OSP CALL OO88 with a W word also writes the rotated work offset of that
// code from the block's end; the tool stays where it was.
void BlockScan::CompleteOspWorkOffsetCall() {
  const int32_t code = in_.OspTargetWorkOffset;
  if (code != 0) {
    const int32_t selected = offsets_.SelectedWorkOffset;
    const bool inTable = selected >= 0 && selected < kWorkOffsetEntries;
    const WorkOffsetValues inForce =
        inTable ? offsets_.WorkOffsets[static_cast<size_t>(selected)] : WorkOffsetValues{};
    if (!ComputeRotatedWorkOffset(c_, r_, move_.End, code)) {
      Log(NumberNote("OO88: W", code, " names no work offset; nothing written"));
    } else if (inTable && offsets_.WorkOffsets[static_cast<size_t>(selected)] != inForce) {
      RecomposeKeepingMachine();
    }
  }
  move_.End = move_.Start;
  modal_.ProgramPosition = move_.Start;
}

// An active rotation is ended by this block's block end, which takes the
// block's end from where the rotation left the tool; one not in force is
// just cleared.
void BlockScan::EndCoordinateRotation() {
  if (modal_.Rotation.State == kRotationActive) {
    move_.EndsRotation = 1;
    return;
  }
  modal_.Rotation = CoordinateRotation{};
}

// G51.1 mirrors each axis it names about the value given (scaled like the
// axis words); G50.1 ends the mirror of each axis it names, or of all when it
// names none. Neither moves the tool: an axis whose mirror changes has its
// end and programmed position taken over into the new frame.
void BlockScan::SetMirrorImage() {
  MirrorImageState& mirror = c_.BlockEnd.Mirror;
  const bool anyGiven = b_.MirrorGiven[0] != 0 || b_.MirrorGiven[1] != 0 || b_.MirrorGiven[2] != 0;
  for (size_t i = 0; i < 3; ++i) {
    const int32_t axis = static_cast<int32_t>(i);
    const bool was = mirror.Mirrored[i] != 0;
    double centre = mirror.Centre[i];
    bool now = was;
    if (modal_.LastGCode == 511 && b_.MirrorGiven[i] != 0) {
      now = true;
      centre = b_.MirrorCentre[i];
      ApplyScalingToAxis(modal_.Scaling, axis, centre);
    } else if (modal_.LastGCode == 501 && (b_.MirrorGiven[i] != 0 || !anyGiven)) {
      now = false;
    }
    double rawOld = mirror.Centre[i], rawNew = centre;
    UnscaleAxis(modal_.Scaling, axis, rawOld);
    UnscaleAxis(modal_.Scaling, axis, rawNew);
    const auto carry = [&](double& value, double oldCentre, double newCentre) {
      const double seen = was ? 2.0 * oldCentre - value : value;
      value = now ? 2.0 * newCentre - seen : seen;
    };
    if (was != now || (now && centre != mirror.Centre[i])) {
      carry(move_.End[i], mirror.Centre[i], centre);
      carry(modal_.ProgramPosition[i], rawOld, rawNew);
      move_.Start[i] = move_.End[i];
    }
    mirror.Mirrored[i] = now ? 1 : 0;
    if (now) mirror.Centre[i] = centre;
  }
  mirror.On = mirror.Mirrored[0] != 0 || mirror.Mirrored[1] != 0 || mirror.Mirrored[2] != 0;
}

void BlockScan::Complete() {
  const std::array<int32_t, 3>& axes = modal_.Plane.PlaneAxes;
  if (b_.Mirror != 0) SetMirrorImage();
  if (b_.OspCallOo88 != 0) CompleteOspWorkOffsetCall();
  if (b_.OspG127 != 0) {
    StartCoordinateRotation(modal_.Rotation, modal_.Plane, 0.0);
    modal_.TransformState = modal_.Rotation.State == kRotationActive ? 1 : 0;
    move_.End = move_.Start;
  }
  if (b_.Rotation != 0) {
    CoordinateRotation& rotation = modal_.Rotation;
    NcPlaneState plane = modal_.Plane;
    if (Osp() && in_.OspPlaneRotation != 0) plane.PlaneAxes = in_.OspRotationPlaneAxes;
    StartCoordinateRotation(rotation, plane, ctl_.RotationAngle);
    modal_.TransformState = rotation.State == kRotationActive ? 1 : 0;
    if (rotation.State == kRotationActive && rotation.Count > 0) {
      // The centre words by program axis, into the slot's axes.
      RotationSlot& slot = rotation.Slots[static_cast<size_t>(rotation.Count - 1)];
      for (size_t i = 0; i < 3; ++i)
        slot.Centre[i] = b_.RotationCentre[static_cast<size_t>(slot.Axes[i])];
    }
  }
  if (b_.TiltedPlane != 0 && ApplyTiltedPlaneForm(c_, r_)) EndBlock();

  const bool vectorWords =
      in_.CentreWords[0] != 0.0 || in_.CentreWords[1] != 0.0 || in_.CentreWords[2] != 0.0;
  if (modal_.ToolAxisMode == kToolAxisVector && modal_.MotionMode == kMotionLinear &&
      (vectorWords || b_.Orientation != 0)) {
    Vec3 axis = in_.CentreWords;
    if (b_.Orientation != 0) {
      axis = in_.OrientationValues;
      if (in_.OrientationForm == 1) {
        const Vec3 angles = in_.OrientationValues;
        ToolVectorFromAngles(in_.OrientationConvention, angles[0], angles[1], angles[2], axis);
      }
    }
    PointToolAlong(axis);
  } else if (ArcMotion() && b_.HeidenhainCircleCentre == 0) {
    move_.MotionMode = modal_.MotionMode;
    CompleteArc();
  } else if (Heidenhain() && in_.PolarGiven != 0) {
    const size_t a = static_cast<size_t>(axes[0]), b = static_cast<size_t>(axes[1]);
    move_.End[a] =
        in_.CircleCentre[a] + in_.PolarRadius * std::cos(in_.PolarAngle * kRadiansPerDegree);
    move_.End[b] =
        in_.CircleCentre[b] + in_.PolarRadius * std::sin(in_.PolarAngle * kRadiansPerDegree);
  }
  if (b_.HeidenhainCircleCentre != 0) {
    // CC names the pole; the tool stays where it is.
    in_.CircleCentre = {move_.End[0], move_.End[1], move_.End[2]};
    in_.CircleCentreGiven = 1;
    move_.End = move_.Start;
    modal_.ProgramPosition = move_.Start;
    in_.AxisGiven = {};
    in_.AnyAxisGiven = 0;
  }
  if (Heidenhain() && modal_.MotionMode == kMotionLinear && in_.CentreGiven != 0 &&
      b_.HeidenhainCircle == 0)
    move_.Length = 0.0;
  if (b_.CoordinateSetting != 0) CompleteCoordinateSetting();
  if (b_.LocalShift != 0) RecomposeKeepingMachine();
  // An entry written by G10 that the composed offset holds: the external
  // offset or the one in force.
  if ((b_.G10L == 2 || b_.G10L == 20) && (b_.G10P == 0 || b_.G10P == offsets_.SelectedWorkOffset))
    RecomposeKeepingMachine();
  if (b_.OspG16 != 0) SelectWorkOffsetEntry(0);
  in_.OspG15Selection = 0;
  CompleteCycleBlock();
  move_.MotionMode = modal_.MotionMode;
  for (size_t i = 0; i < move_.End.size(); ++i) {
    if (move_.End[i] != move_.Start[i]) modal_.MoveExists = 1;
  }
  if (move_.EndsRotation != 0)
    for (size_t i = 0; i < 3; ++i)
      if (in_.AxisGiven[i] != 0) move_.EndsRotationWords |= 1 << i;
  // A full circle ends where it starts, yet goes round.
  if (IsArcMotion(move_.MotionMode) && move_.Length > 0.0) modal_.MoveExists = 1;
}

}  // namespace

void InterpretNcBlock(NcContext& context, const NcPassRecords& records) {
  const BlockInterpreterHooks* hooks = records.BlockHooks;
  if (records.ActiveReadPlugin >= 0) {
    context.Move.Start = context.Move.End;
    context.Modal.MoveExists = 0;
    PluginPathRecord record;
    if (hooks != nullptr && hooks->NextPluginRecord && hooks->NextPluginRecord(context, record))
      ApplyPluginPathRecord(record, context, records);
    return;
  }
  BlockScan scan(context, records);
  scan.Run();
}

void ApplyPluginPathRecord(const PluginPathRecord& record, NcContext& context,
                           const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  if (record.Type >= kPluginToolChangeType) {
    const int32_t tool = record.Type - kPluginToolChangeType;
    modal.BlockTool = tool;
    if (tool >= 0) modal.Tools.NextToolNumber = tool;
    return;
  }
  NcMove& move = context.Move;
  move.End = record.End;
  context.Modal.MotionMode = record.Type;
  move.MotionMode = record.Type;
  move.Centre = record.Centre;
  move.Feed = record.Feed;
  // A kind that names no plane keeps the one in force.
  if (record.Kind == 17 || record.Kind == 18 || record.Kind == 19) {
    modal.Plane.PlaneCode = record.Kind;
    SelectPlaneAxes(records.Defs.Controller.Planes, modal.Plane);
    SelectToolLengthAxis(records.Defs.Controller, modal.Plane);
  }
  if (VectorLength(record.ToolAxis) > 0.0) {
    const RotaryModalInputs inputs = MakeRotaryModalInputs(context, records);
    const RotaryAngles angles =
        SolveRotaryAnglesFromVector(records.Defs.Kinematics, records.Defs.Controller, inputs,
                                    records.Defs.Limits, record.ToolAxis);
    move.End[3] = angles[0];
    move.End[4] = angles[1];
    modal.ToolAxisMode = kToolAxisVector;
    modal.Length.LengthCompensationActive = 1;
    modal.Length.PreviousToolLength = context.Position.ToolLength;
    if (records.Control.CuttingMode.load() > kCuttingIdle)
      records.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
  }
  if (IsArcMotion(record.Type)) {
    if (ComputeArcSweep(move, modal.Plane.PlaneAxes, records.Defs.Controller.RTolerance))
      modal.Interp.RadiusMismatch = 1;
  }
  // A record that goes somewhere is a move, a full circle too.
  if (move.End != move.Start || (IsArcMotion(record.Type) && move.Length > 0.0))
    modal.MoveExists = 1;
}

}  // namespace vestan
