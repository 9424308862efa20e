#include "nc/dialect_parsers.h"

#include <string>

#include "foundation/text_fields.h"
#include "machine/work_offset_frame.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_words.h"

namespace vestan {

namespace {

constexpr int32_t kPeckChipBreak = 73;
constexpr int32_t kPeckDeep = 83;

bool At(std::string_view line, size_t position, std::string_view text) {
  return position <= line.size() && line.substr(position).starts_with(text);
}

void SkipBlanks(std::string_view line, size_t& position) {
  while (position < line.size() && (line[position] == ' ' || line[position] == '\t')) ++position;
}

bool InWorkOffsetTable(int32_t entry) { return entry >= 0 && entry < kWorkOffsetEntries; }

void RefreshFrame(const NcPassRecords& records) {
  const Definitions& defs = records.Defs;
  UpdateWorkOffsetFrame(records.Memory.Offsets.ActiveWorkOffset, defs.Kinematics, defs.Controller,
                        records.Frame, records.Display);
}

// Integer at an int cursor of the text-field parsers.
int32_t CursorOf(size_t position) { return static_cast<int32_t>(position); }

// The cursor moved past the number it stands on: up to the next letter, ",",
// ")" or the line end.
void SkipNumber(std::string_view line, int32_t& cursor) {
  size_t c = static_cast<size_t>(cursor);
  while (c < line.size() && !IsAsciiLetter(line[c]) && line[c] != ',' && line[c] != ')' &&
         line[c] != '\n')
    ++c;
  cursor = static_cast<int32_t>(c);
}

// The program positions (interpreter, live start and end) moved by what the
// composed offset moved, so that the machine stays where it is.
void KeepMachine(const WorkOffsetValues& before, const WorkOffsetValues& after,
                 NcContext& context) {
  for (size_t i = 0; i < before.size(); ++i) {
    const double d = before[i] - after[i];
    context.Modal.ProgramPosition[i] += d;
    context.Move.Start[i] += d;
    context.Move.End[i] += d;
  }
}

}  // namespace

std::string NumberNote(std::string_view before, int64_t n, std::string_view after) {
  std::string note;
  note.reserve(before.size() + after.size() + 24);
  note.append(before);
  note.append(std::to_string(n));
  note.append(after);
  return note;
}

void RecomposeWorkOffset(NcContext& context, const NcPassRecords& records) {
  OffsetMemory& offsets = records.Memory.Offsets;
  const WorkOffsetValues before = offsets.ActiveWorkOffset;
  ComposeWorkOffset(offsets);
  const InterpreterState& interp = context.Modal.Interp;
  for (size_t i = 0; i < before.size(); ++i)
    offsets.ActiveWorkOffset[i] += interp.G92Shift[i] + interp.LocalShift[i];
  KeepMachine(before, offsets.ActiveWorkOffset, context);
  context.Modal.WorkCoordinateDisplay = 1;
  RefreshFrame(records);
}

bool SelectWorkOffset(int32_t entry, NcContext& context, const NcPassRecords& records) {
  if (!InWorkOffsetTable(entry)) {
    records.Shell.Log(NumberNote("work offset ", entry, " is outside the table; ignored"));
    return false;
  }
  records.Memory.Offsets.SelectedWorkOffset = entry;
  RecomposeWorkOffset(context, records);
  return true;
}

void ParseHeidenhainQParameter(size_t& position, std::string_view line, NcModalState& modal,
                               int32_t unitScale) {
  if (position < line.size() && line[position] == '0') ++position;
  if (position >= line.size()) return;
  const char digit = line[position++];
  SkipBlanks(line, position);
  if (position < line.size() && line[position] == '=') ++position;
  InterpreterState& interp = modal.Interp;
  std::array<double, 6>& slot = interp.CycleSlots;
  const bool peck = modal.CannedCycle == kPeckChipBreak || modal.CannedCycle == kPeckDeep;
  double value = 0.0;
  switch (digit) {
    case '1':
      ParseNcWordPer1000Mode(line, position, modal.DecimalPointMode, value);
      slot[3] = value;
      break;
    case '2':
      ParseNcWordValue(line, position, unitScale, modal.DecimalPointMode, slot[4]);
      interp.CycleBlockFlag = 1;
      break;
    case '3':
      if (peck) {
        ParseNcWordValue(line, position, unitScale, modal.DecimalPointMode, slot[2]);
      } else {
        ParseNcWordPer1000(line, position, value);
        slot[1] = value;
      }
      break;
    case '4':
      if (peck) {
        ParseNcWordPer1000(line, position, value);
        slot[1] = value;
      } else {
        slot[5] = ParseNcWordRaw(line, position);
      }
      break;
    case '5':
      if (peck) slot[5] = ParseNcWordRaw(line, position);
      break;
    default:
      break;
  }
}

void StoreHeidenhainCycleParameter(size_t position, std::string_view line,
                                   InterpreterState& interp) {
  int64_t number = 0;
  size_t digits = 0;
  for (; position < line.size() && line[position] >= '0' && line[position] <= '9'; ++position)
    if (++digits <= 9) number = number * 10 + (line[position] - '0');
  const int64_t index = number - kFirstCycleParameter;
  if (digits == 0 || index < 0 || index >= static_cast<int64_t>(interp.CycleParameters.size()))
    return;
  SkipBlanks(line, position);
  if (position < line.size() && line[position] == '=') ++position;
  interp.CycleParameters[static_cast<size_t>(index)] = ParseNcWordToBlank(line, position);
}

void ParseHeidenhainCycleDef(size_t& position, std::string_view line, NcContext& context,
                             const NcPassRecords& records) {
  OffsetMemory& offsets = records.Memory.Offsets;
  SkipBlanks(line, position);
  if (At(line, position, "7.0")) {
    position += 3;
    return;
  }
  if (At(line, position, "7.1") || At(line, position, "7.2") || At(line, position, "7.3")) {
    const size_t axis = static_cast<size_t>(line[position + 2] - '1');
    position += 3;
    SkipBlanks(line, position);
    if (axis == 0 && position < line.size() && line[position] == '#') {
      ++position;
      const int32_t datum = ParseNcWordInt(line, position);
      SelectWorkOffset(datum, context, records);
      return;
    }
    ++position;  // the axis letter
    double value = 0.0;
    ParseNcWordValue(line, position, records.Defs.Controller.LengthDivisor,
                     context.Modal.DecimalPointMode, value);
    const WorkOffsetValues before = offsets.ActiveWorkOffset;
    offsets.WorkOffsets[1][axis] = value;
    offsets.ActiveWorkOffset[axis] = offsets.WorkOffsets[0][axis] + value;
    // A datum shift moves the coordinates, not the tool.
    KeepMachine(before, offsets.ActiveWorkOffset, context);
    context.Modal.WorkCoordinateDisplay = 1;
    RefreshFrame(records);
    return;
  }
  if (At(line, position, "247")) {
    for (const size_t word : {3, 5, 7}) {
      position += word;
      SkipBlanks(line, position);
    }
    if (!At(line, position, "Q339")) return;
    position += 4;
    SkipBlanks(line, position);
    if (position < line.size() && line[position] == '=') ++position;
    const int32_t datum = ParseNcWordInt(line, position);
    SelectWorkOffset(datum, context, records);
    return;
  }
  if (At(line, position, "20") && position + 2 < line.size() && line[position + 2] >= '0' &&
      line[position + 2] <= '9') {
    context.Modal.HeidenhainCycle = 200 + (line[position + 2] - '0');
    position += 3;
  }
}

void ParsePlaneSpatial(size_t& position, std::string_view line, NcContext& context,
                       const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  TiltedPlaneState& plane = modal.TiltedPlane;
  if (At(line, position, "RESET")) {
    position += 5;
    modal.LastGCode = 69;
    plane.Angles = {};
    OffsetMemory& offsets = records.Memory.Offsets;
    for (size_t i = 0; i < 3; ++i) offsets.ActiveWorkOffset[i] = offsets.WorkOffsets[0][i];
    plane.Form = 0;
    // The plane ends here, as with G69.
    plane.State = 0;
    plane.Active = 0;
    context.Move.End[3] = 0.0;
    context.Move.End[4] = 0.0;
    return;
  }
  if (!At(line, position, "SPATIAL")) return;
  position += 7;
  constexpr std::array<std::string_view, 3> kAngles{"SPA", "SPB", "SPC"};
  for (size_t i = 0; i < kAngles.size(); ++i) {
    const size_t found = line.find(kAngles[i], position);
    if (found == std::string_view::npos) break;
    position = found + kAngles[i].size();
    plane.Angles[i] = ParseNcWordRaw(line, position);
  }
  const size_t seq = line.find("SEQ", position);
  if (seq != std::string_view::npos) {
    position = seq + 3;
    const char sign = position < line.size() ? line[position] : '\0';
    plane.SolutionSign = sign == '+' ? 1 : sign == '-' ? -1 : 0;
    if (position < line.size()) ++position;
  }
  modal.LastGCode = 682;
  plane.Form = kTiltedSpatial;
}

int32_t ParseCycle800(size_t& position, std::string_view line, Cycle800Record& record) {
  record.CarrierName.clear();
  if (At(line, position, ",\"0\"")) {
    position += 4;
    return 0;
  }
  if (position >= line.size() || line[position] == '\n') return 0;
  if (line[position] == ')') {
    ++position;
    return 0;
  }
  int32_t cursor = CursorOf(position);
  if (line[position] == ',') {
    record.RetractMode = 0;
  } else {
    record.RetractMode = ParseInteger(cursor, line);
  }
  // The carrier name: the next quoted text; "" names none.
  const size_t open = line.find('"', static_cast<size_t>(cursor));
  if (open != std::string_view::npos) {
    const size_t close = line.find('"', open + 1);
    if (close != std::string_view::npos) {
      record.CarrierName.assign(line.substr(open + 1, close - open - 1));
      cursor = static_cast<int32_t>(close + 1);
    }
  }
  int32_t word = ParseIntegerAfterComma(cursor, line);
  if (word < 0) word = -word;
  for (size_t i = record.SwivelDigits.size(); i-- > 0;) {
    record.SwivelDigits[i] = word % 10;
    word /= 10;
  }
  record.Mode = ParseIntegerAfterComma(cursor, line);
  if (record.Mode == 0) {
    position = static_cast<size_t>(cursor);
    return 0;
  }
  for (double& value : record.Values) value = ParseNumberAfterComma(cursor, line);
  record.Direction = ParseIntegerAfterComma(cursor, line);
  record.LastInteger = ParseIntegerAfterComma(cursor, line);
  position = static_cast<size_t>(cursor);
  return 1;
}

void ParseOspCallArgs(size_t& position, std::string_view line, NcContext& context,
                      const NcPassRecords& records) {
  OffsetMemory& offsets = records.Memory.Offsets;
  OspCallArgs args;
  args.Target = offsets.SelectedWorkOffset;
  int32_t cursor = CursorOf(position);
  while (static_cast<size_t>(cursor) < line.size()) {
    const size_t c = static_cast<size_t>(cursor);
    if (line[c] != 'P' || c + 1 >= line.size() || !IsAsciiLetter(line[c + 1])) {
      ++cursor;
      continue;
    }
    const char name = line[c + 1];
    const char second = c + 2 < line.size() ? line[c + 2] : '\0';
    cursor += 2;
    if (name == 'C' && (second == 'A' || second == 'B' || second == 'C')) ++cursor;
    const double value = ParseNumber(cursor, line);
    switch (name) {
      case 'H':
        args.Source = TruncateToInt32(value);
        break;
      case 'P':
        args.Target = TruncateToInt32(value);
        break;
      case 'A':
        args.AngleA = value;
        break;
      case 'B':
        args.AngleB = value;
        break;
      case 'C':
        if (second == 'A') {
          args.TargetRotary1 = value;
        } else if (second == 'B') {
          args.TargetRotary2 = value;
        } else if (second == 'C') {
          args.TargetThird = value;
        } else {
          args.TargetC = value;
        }
        break;
      case 'X':
      case 'Y':
      case 'Z':
        args.Shift[static_cast<size_t>(name - 'X')] = value;
        break;
      default:
        break;
    }
    SkipNumber(line, cursor);
  }
  position = static_cast<size_t>(cursor);
  context.Modal.Interp.OspCall = args;
  if (!InWorkOffsetTable(args.Source) || !InWorkOffsetTable(args.Target)) {
    const int32_t bad = InWorkOffsetTable(args.Source) ? args.Target : args.Source;
    records.Shell.Log(NumberNote("OO88: work offset ", bad, " is outside the table; ignored"));
    return;
  }
  const WorkOffsetValues& source = offsets.WorkOffsets[static_cast<size_t>(args.Source)];
  const MachineKinematics& kinematics = records.Defs.Kinematics;
  const ControllerDefinition& controller = records.Defs.Controller;
  Vec3 p{source[0] + args.Shift[0], source[1] + args.Shift[1], source[2] + args.Shift[2]};
  // The second table rides on the first: turn through it first.
  p = TurnAboutRotary(kinematics, controller, 1, args.AngleB, kinematics.SecondTableCentre, p);
  p = TurnAboutRotary(kinematics, controller, 0, args.AngleA, kinematics.TablePosition, p);
  WorkOffsetValues target{p[0], p[1], p[2], args.TargetRotary1, args.TargetRotary2};
  for (size_t k = 0; k < 2; ++k) {
    if (ToUpperAscii(controller.Rotary[k].Letter) == 'C' && args.TargetC != 0.0)
      target[3 + k] = args.TargetC;
  }
  offsets.WorkOffsets[static_cast<size_t>(args.Target)] = target;
  SelectWorkOffset(args.Target, context, records);
  if (records.Control.CuttingMode.load() > kCuttingIdle)
    records.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
}

}  // namespace vestan
