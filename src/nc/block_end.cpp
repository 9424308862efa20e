#include "nc/block_end.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "definitions/controller_definition.h"
#include "nc/coordinate_transforms.h"

namespace vestan {
namespace {

bool IsOsp(const NcPassRecords& records) { return IsOspDialect(records.Defs.Controller); }

bool ReferenceReturnRunning(const NcModalState& modal) {
  return modal.Interp.ReferenceReturnMode != kReferenceNone ||
         (modal.LastGCode >= 27 && modal.LastGCode <= 29);
}

size_t LengthAxis(const NcModalState& modal) {
  const int32_t axis = modal.Plane.ToolLengthAxis;
  return axis >= 0 && axis <= 2 ? static_cast<size_t>(axis) : 2;
}

// The tool length or the extra offset on a position, by the mode in force.
void AddLength(std::span<double> p, const NcContext& context, const NcPassRecords& records) {
  const NcModalState& modal = context.Modal;
  if (modal.Length.BAxisLength != 0)
    AddToolLengthVector(p, context, records);
  else if (context.BlockEnd.ExtraLengthOffset != 0 && modal.ToolTipLength == 0)
    p[LengthAxis(modal)] += modal.Length.PreviousToolLength;
}

// The arc's radial vectors turned in the plane of axes and the normal
// recomputed from them.
void TurnArcVectors(NcMove& move, BlockEndState& state, const std::array<int32_t, 3>& axes,
                    double cos, double sin) {
  const size_t a = static_cast<size_t>(axes[0]), b = static_cast<size_t>(axes[1]);
  for (Vec3* v : {&move.StartRadial, &move.EndRadial}) {
    const double va = (*v)[a], vb = (*v)[b];
    (*v)[a] = va * cos - vb * sin;
    (*v)[b] = vb * cos + va * sin;
  }
  state.ArcNormal = VectorCross(move.StartRadial, move.EndRadial);
}

void ApplyOspRotation(NcContext& context, const NcPassRecords& records, bool arc) {
  BlockEndState& state = context.BlockEnd;
  OspWorkOffsetRotation& rot = state.OspRotation;
  NcMove& move = context.Move;
  const size_t entry = static_cast<size_t>(records.Memory.Offsets.SelectedWorkOffset);
  std::vector<WorkOffsetValues>& table = context.Modal.WorkOffsetTransforms;
  if (entry >= table.size()) return;
  const Vec3 offset{table[entry][0], table[entry][1], table[entry][2]};
  switch (rot.State) {
    case kOspStarting:
      OffsetThenUnrotatePoint(move.End, rot.Axes, rot.Angle, rot.Cos, rot.Sin, offset);
      rot.State = kOspActive;
      break;
    case kOspActive:
      RotateThenOffsetPoint(state.Current, rot.Axes, rot.Angle, rot.Cos, rot.Sin, offset);
      if (arc) {
        RotateThenOffsetPoint(move.Centre, rot.Axes, rot.Angle, rot.Cos, rot.Sin, offset);
        RotateThenOffsetPoint(state.CentreCopy, rot.Axes, rot.Angle, rot.Cos, rot.Sin, offset);
        if (rot.Angle != 0.0) TurnArcVectors(move, state, rot.Axes, rot.Cos, rot.Sin);
      }
      break;
    case kOspEnding:
      RotateThenOffsetPoint(move.End, rot.Axes, rot.Angle, rot.Cos, rot.Sin, offset);
      rot.Angle = 0.0;
      rot.Cos = 1.0;
      rot.Sin = 0.0;
      table[entry] = {};
      rot.State = kOspOff;
      break;
    default:
      break;
  }
}

void ApplyCoordinateRotation(NcContext& context, bool arc) {
  const CoordinateRotation& rotation = context.Modal.Rotation;
  BlockEndState& state = context.BlockEnd;
  NcMove& move = context.Move;
  const int32_t count = std::min<int32_t>(rotation.Count, static_cast<int32_t>(kRotationSlots));
  for (int32_t level = count - 1; level >= 0; --level) {
    const RotationSlot& slot = rotation.Slots[static_cast<size_t>(level)];
    const bool aboutOrigin = slot.AxisWord != kRotationAxisNone;
    if (aboutOrigin) state.RotateAboutOrigin = 1;
    // The end was scaled as it was read, so the centre is scaled alike.
    Vec3 centre = slot.Centre;
    ApplyScalingToAxis(context.Modal.Scaling, slot.Axes[0], centre[0]);
    ApplyScalingToAxis(context.Modal.Scaling, slot.Axes[1], centre[1]);
    RotateTranslatePoint(state.Current, slot.Axes, slot.Cos, slot.Sin, centre, aboutOrigin);
    if (!arc) continue;
    RotateTranslatePoint(move.Centre, slot.Axes, slot.Cos, slot.Sin, centre, aboutOrigin);
    RotateTranslatePoint(state.CentreCopy, slot.Axes, slot.Cos, slot.Sin, centre, aboutOrigin);
    TurnArcVectors(move, state, slot.Axes, slot.Cos, slot.Sin);
  }
}

void ApplyAngleCorrection(NcContext& context, const NcPassRecords& records, bool arc) {
  BlockEndState& state = context.BlockEnd;
  NcMove& move = context.Move;
  Vec3& vector = context.Modal.Length.ToolLengthVector;
  switch (state.AngleCorrection) {
    case kOspStarting:
      for (size_t i = 0; i < 3; ++i) move.End[i] -= vector[i];
      state.AngleCorrection = kOspActive;
      break;
    case kOspActive:
      AddToolLengthVector(state.Current, context, records);
      if (arc) AddToolLengthVector(state.CentreCopy, context, records);
      break;
    case kOspEnding:
      AddToolLengthVector(move.End, context, records);
      state.AngleCorrection = kOspOff;
      for (size_t i = 0; i < 3; ++i) state.Current[i] = move.End[i];
      vector = {};
      break;
    default:
      break;
  }
}

void ApplyMirrorImage(NcContext& context, bool arc) {
  BlockEndState& state = context.BlockEnd;
  MirrorImageState& mirror = state.Mirror;
  NcMove& move = context.Move;
  for (size_t i = 0; i < 3; ++i) {
    if (mirror.Mirrored[i] == 0) continue;
    state.Current[i] = 2.0 * mirror.Centre[i] - state.Current[i];
    if (!arc) continue;
    move.StartRadial[i] = -move.StartRadial[i];
    move.EndRadial[i] = -move.EndRadial[i];
    move.Centre[i] = 2.0 * mirror.Centre[i] - move.Centre[i];
    state.CentreCopy[i] = 2.0 * mirror.Centre[i] - state.CentreCopy[i];
  }
  const std::array<int32_t, 3>& axes = context.Modal.Plane.PlaneAxes;
  const bool first = mirror.Mirrored[static_cast<size_t>(axes[0])] != 0;
  const bool second = mirror.Mirrored[static_cast<size_t>(axes[1])] != 0;
  if (first != second && mirror.ReverseArc != 0 && arc) {
    mirror.ReverseArc = 0;
    move.MotionMode = 5 - move.MotionMode;
    state.ArcDirection = -state.ArcDirection;
  }
}

// The block that ends a coordinate rotation takes the axes it does not give
// from where the tool is. True when it gives any of X, Y, Z: it then moves
// there unturned.
bool EndCoordinateRotation(NcContext& context, const NcPassRecords& records, int32_t words) {
  BlockEndState& state = context.BlockEnd;
  NcModalState& modal = context.Modal;
  NcMove& move = context.Move;
  const MirrorImageState& mirror = state.Mirror;
  // Blocks read ahead under compensation already went on from the old
  // programmed position; it is theirs now.
  const bool readAhead = modal.Interp.CompensationStart != 0;
  const size_t lengthAxis = LengthAxis(modal);
  for (size_t i = 0; i < 3; ++i) {
    const bool inPlane = static_cast<int32_t>(i) == modal.Plane.PlaneAxes[0] ||
                         static_cast<int32_t>(i) == modal.Plane.PlaneAxes[1];
    if ((state.RotateAboutOrigin == 0 && !inPlane) || (words & (1 << i)) != 0) continue;
    move.End[i] = state.RotateAboutOrigin != 0 ? state.Previous[i] : state.Current[i];
    if (IsOsp(records) && state.AngleCorrection == kOspActive)
      move.End[i] -= modal.Length.ToolLengthVector[i];
    if (state.ExtraLengthOffset != 0 && modal.ToolTipLength == 0 && i == lengthAxis)
      move.End[i] -= modal.Length.PreviousToolLength;
    // A mirror image still on turns the tool's place back into the program's.
    if (mirror.On != 0 && mirror.Mirrored[i] != 0)
      move.End[i] = 2.0 * mirror.Centre[i] - move.End[i];
    if (readAhead) continue;
    // Later words, incremental ones too, go on from there.
    double programmed = move.End[i];
    UnscaleAxis(modal.Scaling, static_cast<int32_t>(i), programmed);
    modal.ProgramPosition[i] = programmed;
  }
  if (state.RotateAboutOrigin != 0)
    for (size_t i = 3; i < move.End.size(); ++i) move.End[i] = state.Previous[i];
  modal.Rotation.Count = 0;
  modal.Rotation.State = kRotationNone;
  state.RotateAboutOrigin = 0;
  return (words & 7) != 0;
}

}  // namespace

void FinishMove(NcContext& context, const NcPassRecords& records) {
  BlockEndState& state = context.BlockEnd;
  NcModalState& modal = context.Modal;
  NcMove& move = context.Move;
  state.Previous = state.Current;
  const bool ends = move.EndsRotation != 0 && modal.Rotation.State == kRotationActive;
  move.EndsRotation = 0;
  if (ends && !EndCoordinateRotation(context, records, move.EndsRotationWords)) return;
  for (double& value : move.End)
    if (std::fabs(value) < kNearZero) value = 0.0;
  state.Current = move.End;
  const bool arc = IsArcMotion(move.MotionMode);
  const bool osp = IsOsp(records);
  if (state.AngleCorrection == kOspOff) AddLength(state.Current, context, records);
  if (arc) {
    state.CentreCopy = move.Centre;
    if (state.AngleCorrection == kOspOff) AddLength(state.CentreCopy, context, records);
  }
  if (osp) ApplyOspRotation(context, records, arc);
  // The block that starts a rotation is not turned by it (OSP starts one
  // with G69 or, on the cylinder, G127).
  const bool starts = modal.LastGCode == 68 ||
                      (osp && (modal.LastGCode == 69 || modal.LastGCode == 127));
  if (modal.Rotation.State == kRotationActive && !starts) ApplyCoordinateRotation(context, arc);
  if (osp) ApplyAngleCorrection(context, records, arc);
  if (state.Mirror.On != 0) ApplyMirrorImage(context, arc);
}

bool BlockEndTransformed(const NcContext& context) {
  const NcModalState& modal = context.Modal;
  const bool rotation = modal.Rotation.State == kRotationActive && modal.LastGCode != 68;
  return rotation || context.BlockEnd.Mirror.On != 0 ||
         context.BlockEnd.OspRotation.State == kOspActive;
}

void AddToolLengthVector(std::span<double> p, const NcContext& context,
                         const NcPassRecords& records) {
  const NcModalState& modal = context.Modal;
  const Vec3& v = modal.Length.ToolLengthVector;
  const bool reference = ReferenceReturnRunning(modal);
  if (modal.Polar.On != 0 && !reference) return;
  if (modal.Cylindrical.On != 0 && !reference) {
    const int32_t axis = modal.Cylindrical.SourceAxis;
    if (axis >= 0 && axis <= 2) p[static_cast<size_t>(axis)] += v[0];
    p[2] += v[2];
    return;
  }
  if (IsOsp(records) && context.BlockEnd.AngleCorrection >= kOspStarting) {
    for (size_t i = 0; i < 3; ++i) p[i] += v[i];
    return;
  }
  if (modal.Rotation.State == kRotationActive) {
    p[LengthAxis(modal)] += modal.Length.PreviousToolLength;
    return;
  }
  p[0] += v[0];
  p[2] += v[2];
}

void RotateThenOffsetPoint(std::span<double> p, const std::array<int32_t, 3>& axes, double angle,
                           double cos, double sin, const Vec3& offset) {
  if (angle == 0.0) {
    for (size_t i = 0; i < 3; ++i) p[i] += offset[i];
    return;
  }
  const size_t a0 = static_cast<size_t>(axes[0]), a1 = static_cast<size_t>(axes[1]),
               a2 = static_cast<size_t>(axes[2]);
  const double p0 = p[a0], p1 = p[a1];
  p[a0] = p0 * cos - p1 * sin + offset[a0];
  p[a1] = p1 * cos + p0 * sin + offset[a1];
  p[a2] += offset[a2];
}

void OffsetThenUnrotatePoint(std::span<double> p, const std::array<int32_t, 3>& axes, double angle,
                             double cos, double sin, const Vec3& offset) {
  if (angle == 0.0) {
    for (size_t i = 0; i < 3; ++i) p[i] -= offset[i];
    return;
  }
  const size_t a0 = static_cast<size_t>(axes[0]), a1 = static_cast<size_t>(axes[1]),
               a2 = static_cast<size_t>(axes[2]);
  const double d0 = p[a0] - offset[a0], d1 = p[a1] - offset[a1];
  p[a0] = d0 * cos + d1 * sin;
  p[a1] = d1 * cos - d0 * sin;
  p[a2] -= offset[a2];
}

void RotateTranslatePoint(std::span<double> p, const std::array<int32_t, 3>& axes, double cos,
                          double sin, const Vec3& centre, bool aboutOrigin) {
  for (const int32_t axis : axes)
    if (axis < 0 || axis > 2) return;
  const size_t a0 = static_cast<size_t>(axes[0]), a1 = static_cast<size_t>(axes[1]),
               a2 = static_cast<size_t>(axes[2]);
  if (aboutOrigin) {
    const double p0 = p[a0], p1 = p[a1];
    p[a0] = p0 * cos - p1 * sin + centre[0];
    p[a1] = p1 * cos + p0 * sin + centre[1];
    p[a2] += centre[2];
    return;
  }
  const double d0 = p[a0] - centre[0], d1 = p[a1] - centre[1];
  p[a0] = d0 * cos - d1 * sin + centre[0];
  p[a1] = d1 * cos + d0 * sin + centre[1];
}

std::string WarningReportPath(std::string_view ncProgram) {
  const size_t slash = ncProgram.find_last_of("/\\");
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = ncProgram.rfind('.');
  std::string path(ncProgram);
  if (dot != std::string_view::npos && dot >= nameStart) path.resize(dot);
  return path + "_warning.txt";
}

bool OpenWarningReport(BlockEndState& state, std::string_view ncProgram, Host& host) {
  if (state.WarningOption < 1) return false;
  state.WarningCount = 0;
  const std::string path = WarningReportPath(ncProgram);
  state.WarningStream = OpenFileStream(path, "w");
  if (!state.WarningStream) {
    host.Log("The warning report " + path + " could not be created");
    return false;
  }
  std::fputs("<<< WARNING INFORMATION >>>\n-----------\n", state.WarningStream.get());
  return true;
}

void CheckLongRotaryMove(NcContext& context, const NcPassRecords& records, double before1,
                         double before2, double after1, double after2) {
  BlockEndState& state = context.BlockEnd;
  if (state.WarningOption < 1) return;
  if (!state.WarningStream &&
      !OpenWarningReport(state, records.Defs.Paths.NcProgram, records.Shell))
    return;
  std::FILE* out = state.WarningStream.get();
  const SubprogramStack& stack = context.Subprograms;
  const std::string& line = context.Line.Text;
  if (stack.Depth > 0 && stack.Depth <= kMaxSubprogramLevels) {
    const SubprogramLevel& level = stack.Levels[static_cast<size_t>(stack.Depth - 1)];
    std::fprintf(out, "%s:%d:%s", level.Name.c_str(), static_cast<int>(level.LineCounter),
                 line.c_str());
  } else {
    std::fprintf(out, "%d:%s", static_cast<int>(context.Modal.MainLineCounter), line.c_str());
  }
  std::fputs("* Long movement of rotary axis *\n", out);
  std::fprintf(out, "( %f , %f ) -> ( %f , %f )\n\n", before1, before2, after1, after2);
  ++state.WarningCount;
}

LongRotaryMoveWarning RotaryWarningReport(NcContext& context, const NcPassRecords& records) {
  return [&context, &records](double before1, double before2, double after1, double after2) {
    CheckLongRotaryMove(context, records, before1, before2, after1, after2);
  };
}

namespace {

void Append(std::string& out, const char* format, double value) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, value);
  out += buffer;
}

}  // namespace

std::string FormatToolLengthCheck(const ToolLengthReportInputs& in, ToolLengthChecks& results,
                                  int32_t& dataPresent) {
  const bool arbor = in.Checks.ArborCheck == 1, height = in.Checks.HeightCheck == 1,
             chip = in.Checks.ChipWidthCheck == 1;
  if ((!arbor && !height && !chip) || in.CuttingMode >= 4 || dataPresent == 0) return {};
  const bool english = in.EnglishMode != 0;
  std::string out;
  if (in.Temporary != 0) {
    out = "TMP:";
  } else {
    char number[32];
    std::snprintf(number, sizeof number, "T%02d:", static_cast<int>(in.ToolNumber));
    out = number;
  }
  out += in.ToolName;
  if (arbor) {
    if (in.ArborDefined != 0)
      Append(out, english ? ":Length=%8.3f" : ":突出=%8.3f以上", results.ArborClearLength + 1.0);
    else
      out += english ? ":ARBOR not defined " : ":ARBOR未定義（算出不能） ";
    if (in.CutterKind >= 2 && in.CutterKind <= 9) {
      const double lu = results.ShankClearLength, lt = results.NeckClearLength;
      if (lu == 0.0) {
        out += english ? ":Lu= Unsettled or Lt= Unsettled" : ":首下= 不定 or Lt= 不定";
      } else if (lt < 0.0) {
        Append(out, english ? ":Lu=%7.3f or Lt= NG" : ":首下=%7.3f or Lt= NG", lu + 1.0);
      } else {
        Append(out, english ? ":Lu=%7.3f" : ":首下=%7.3f", lu + 1.0);
        Append(out, english ? " or Lt=%7.3f" : " or Lt=%7.3f以上", lt + 1.0);
      }
    }
  }
  if (height)
    Append(out, english ? ":Height=%8.3f" : ":刃長=%8.3f以上", results.MaxCutHeight + 1.0);
  if (chip) {
    if (in.ShapeKind == 5)
      Append(out, english ? ":TipW=%8.3f" : ":チップ幅=%8.3f以上", results.TipWidth);
    else if (in.ShapeKind == 9)
      Append(out, english ? ":CenterH=%8.3f" : ":中心高さ=%8.3f以上", results.CentreHeight);
    else
      out += english ? ":NOT VERTICAL " : ":NOT VERTICAL（算出不能）";
  }
  out += '\n';
  results = ToolLengthChecks{};
  dataPresent = 0;
  return out;
}

}  // namespace vestan
