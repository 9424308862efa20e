#include "nc/coordinate_transforms.h"

#include <algorithm>
#include <cmath>

#include "machine/rotary_axes.h"
#include "nc/nc_words.h"
#include "nc/tool_length_offset.h"

namespace vestan {

namespace {

constexpr Matrix3 kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr int32_t kEulerZxz = 313;
constexpr int32_t kEulerZyz = 323;
constexpr int32_t kFirstProjectionCode = 155;
// Work offset entries are G numbers less 53 (G54 is entry 1).
constexpr int32_t kWorkOffsetCodeBase = 53;

struct ExactTurn {
  double Cos = 1.0;
  double Sin = 0.0;
};

// Cosine and sine of an angle in degrees, exact at multiples of 90.
ExactTurn Exact(double degrees) {
  ExactTurn t;
  GetAxisSinCos(degrees, 1, t.Sin, t.Cos);
  return t;
}

// The projection angles: exact at 90 and 180 only.
ExactTurn Projection(double degrees) {
  if (degrees == 90.0) return {0.0, 1.0};
  if (degrees == 180.0 || degrees == -180.0) return {-1.0, 0.0};
  const double radians = degrees * kRadiansPerDegree;
  return {std::cos(radians), std::sin(radians)};
}

double& At(Matrix3& m, size_t row, size_t column) { return m[3 * column + row]; }

// m := R * m, R turning by (cos, sin) about axis n (rows a, b in cyclic order).
void TurnFromLeft(Matrix3& m, size_t n, const ExactTurn& t) {
  const size_t a = (n + 1) % 3, b = (n + 2) % 3;
  for (size_t column = 0; column < 3; ++column) {
    const double ra = At(m, a, column), rb = At(m, b, column);
    At(m, a, column) = t.Cos * ra - t.Sin * rb;
    At(m, b, column) = t.Sin * ra + t.Cos * rb;
  }
}

void SetPlaneMatrix(TiltedPlaneState& plane, const Matrix3& m) {
  plane.Frame.Matrix = m;
  plane.Frame.Inverse = InvertMatrix3(m);
}

// Axes (0 X, 1 Y, 2 Z) of angles 1, 2 and 3 by rotation-order code; -1
// where an angle turns nothing.
struct OrderAxes {
  int32_t Code;
  std::array<int, 3> Axes;
};
constexpr std::array<OrderAxes, 13> kOrderAxes{{{27, {2, 1, 0}},
                                                {155, {2, 1, 0}},
                                                {125, {2, 1, -1}},
                                                {39, {2, 0, 1}},
                                                {167, {2, 0, 1}},
                                                {57, {0, 1, 2}},
                                                {185, {0, 1, 2}},
                                                {45, {0, 2, 1}},
                                                {173, {0, 2, 1}},
                                                {30, {1, 2, 0}},
                                                {158, {1, 2, 0}},
                                                {54, {1, 0, 2}},
                                                {182, {1, 0, 2}}}};

// Turns p by (cos, sin) in the plane of axes i and j: i toward j.
void Turn(Vec3& p, size_t i, size_t j, const ExactTurn& t) {
  const double u = p[i], v = p[j];
  p[i] = t.Cos * u - t.Sin * v;
  p[j] = t.Sin * u + t.Cos * v;
}

WorkOffsetValues* EntryOfCode(OffsetMemory& offsets, int32_t code) {
  const int64_t entry = static_cast<int64_t>(code) - kWorkOffsetCodeBase;
  if (entry < 0 || entry >= kWorkOffsetEntries) return nullptr;
  return &offsets.WorkOffsets[static_cast<size_t>(entry)];
}

// OSP's target codes: 55-59 the entries 2-6, 1-48 the entries 7-54.
WorkOffsetValues* OspTarget(OffsetMemory& offsets, int32_t code) {
  if (code >= 55 && code <= 59) return &offsets.WorkOffsets[static_cast<size_t>(code - 53)];
  if (code >= 1 && code <= 48) return &offsets.WorkOffsets[static_cast<size_t>(code + 6)];
  return nullptr;
}

}  // namespace

Vec3 TurnAboutRotary(const MachineKinematics& kinematics, const ControllerDefinition& controller,
                     size_t k, double angle, const Vec3& centre, const Vec3& p) {
  double sin = 0.0, cos = 1.0;
  GetAxisSinCos(angle, RotarySigns(controller)[k], sin, cos);
  const RotaryAxisFrame axis = DescribeRotaryAxis(kinematics, k);
  return VectorAdd(centre, RotateThroughRotaryAxis(axis, sin, cos, VectorSub(p, centre)));
}

void ApplyScalingToAxis(const ScalingState& scaling, int32_t axis, double& value) {
  if (scaling.On == 0 || axis < 0 || axis > 2) return;
  const size_t a = static_cast<size_t>(axis);
  if (scaling.Enabled[a] == 0) return;
  const double factor = scaling.Uniform != 0 ? scaling.UniformFactor : scaling.Factors[a];
  value = (value - scaling.Centre[a]) * factor + scaling.Centre[a];
}

void UnscaleAxis(const ScalingState& scaling, int32_t axis, double& value) {
  if (scaling.On == 0 || axis < 0 || axis > 2) return;
  const size_t a = static_cast<size_t>(axis);
  if (scaling.Enabled[a] == 0) return;
  const double factor = scaling.Uniform != 0 ? scaling.UniformFactor : scaling.Factors[a];
  if (factor != 0.0) value = (value - scaling.Centre[a]) / factor + scaling.Centre[a];
}

void PolarFromCartesian(double x, double y, double& radius, double& angle) {
  radius = std::sqrt(x * x + y * y);
  if (radius == 0.0) {
    angle = 0.0;
    return;
  }
  angle = std::acos(std::clamp(x / radius, -1.0, 1.0)) * kDegreesPerRadian;
  if (y < 0.0) angle = 360.0 - angle;
}

void StartCoordinateRotation(CoordinateRotation& rotation, const NcPlaneState& plane,
                             double defaultAngle) {
  if (rotation.Count < 0 || rotation.Count >= static_cast<int32_t>(kRotationSlots)) return;
  RotationSlot& slot = rotation.Slots[static_cast<size_t>(rotation.Count)];
  if (slot.Angle == 0.0 && slot.AxisWord == kRotationAxisNone) slot.Angle = defaultAngle;
  switch (slot.AxisWord) {
    case kRotationAxisI:
      slot.Axes = {1, 2, 0};
      break;
    case kRotationAxisJ:
      slot.Axes = {2, 0, 1};
      break;
    case kRotationAxisK:
      slot.Axes = {0, 1, 2};
      break;
    default:
      slot.Axes = plane.PlaneAxes;
      break;
  }
  const ExactTurn t = Exact(slot.Angle);
  slot.Cos = t.Cos;
  slot.Sin = t.Sin;
  ++rotation.Count;
  rotation.State = kRotationActive;
  if (rotation.Count == 2 && rotation.Slots[0].AxisWord != kRotationAxisNone &&
      rotation.SecondRotation == 0) {
    rotation.Slots[0] = rotation.Slots[1];
    rotation.Slots[1] = RotationSlot{};
    rotation.Count = 1;
    if (rotation.Slots[0].Angle == 0.0) {
      rotation.Count = 0;
      rotation.State = kRotationNone;
    }
  }
}

void BuildPlaneRotation(TiltedPlaneState& plane) {
  Matrix3 m = kIdentity;
  for (size_t axis = 0; axis < 3; ++axis) TurnFromLeft(m, axis, Exact(plane.Angles[axis]));
  SetPlaneMatrix(plane, m);
  plane.Frame.Origin = {0.0, 0.0, 0.0};
}

int32_t BuildTiltedPlaneMatrix(TiltedPlaneState& plane, const TiltedPlaneParams& params) {
  Matrix3 m = params.Additive == 1 ? plane.Frame.Matrix : kIdentity;
  const auto order = std::find_if(kOrderAxes.begin(), kOrderAxes.end(),
                                  [&](const OrderAxes& o) { return o.Code == params.OrderCode; });
  if (order != kOrderAxes.end()) {
    const std::array<int, 3>& axes = order->Axes;
    if (params.OrderCode < kFirstProjectionCode) {
      for (size_t i = 3; i-- > 0;)
        if (axes[i] >= 0) TurnFromLeft(m, static_cast<size_t>(axes[i]), Exact(params.Angles[i]));
    } else {
      TurnFromLeft(m, static_cast<size_t>(axes[0]), Projection(params.Angles[0]));
      ExactTurn second = Projection(params.Angles[1]);
      second.Sin = -second.Sin;
      TurnFromLeft(m, static_cast<size_t>(axes[1]), second);
    }
  }
  SetPlaneMatrix(plane, m);
  plane.Frame.Origin = VectorAdd(MultiplyMatrixVector(m, params.ShiftAfter), params.ShiftBefore);
  return params.Move;
}

bool ApplyTiltedPlaneForm(NcContext& context, const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  TiltedPlaneState& plane = modal.TiltedPlane;
  const ControllerDefinition& controller = records.Defs.Controller;
  modal.WorkCoordinateDisplay = 1;
  switch (plane.Form) {
    case kTiltedRotatedOffset: {
      const Vec3& origin = plane.Frame.Origin;
      ComputeRotatedWorkOffsetFromPlane(
          context, records, records.Memory.Offsets.SelectedWorkOffset + kWorkOffsetCodeBase,
          origin[0], origin[1], origin[2], plane.Angles[0], plane.Angles[1], plane.Code);
      plane.State = 0;
      plane.Active = 0;
      return true;
    }
    case kTiltedFromRotaryAxes: {
      const RotaryAngles angles{plane.Angles[0], plane.Angles[1]};
      Matrix3 m{};
      // The plane's axes are the matrix's columns: its tool axis, the
      // third, is where the rotary axes point the tool now.
      for (size_t column = 0; column < 3; ++column) {
        Vec3 unit{0.0, 0.0, 0.0};
        unit[column] = 1.0;
        const Vec3 turned =
            RotatePointThroughRotaryAxes(records.Defs.Kinematics, controller, angles, unit);
        for (size_t row = 0; row < 3; ++row) At(m, row, column) = turned[row];
      }
      SetPlaneMatrix(plane, m);
      break;
    }
    case kTiltedSwivel:
      if (BuildTiltedPlaneMatrix(plane, modal.Swivel) == 1) modal.MoveExists = 1;
      modal.Length.LengthCompensationActive = 1;
      ApplyToolLengthOffset(modal, records);
      break;
    case kTiltedSpatial:
      BuildPlaneRotation(plane);
      context.Move.End[3] = context.Move.Start[3];
      context.Move.End[4] = context.Move.Start[4];
      plane.State = 1;
      modal.Length.LengthCompensationActive = 1;
      ApplyToolLengthOffset(modal, records);
      if (records.Control.CuttingMode.load() > kCuttingIdle)
        records.Shell.RequestShellUpdate(ShellUpdate::kStatusBar);
      break;
    default: {
      if (controller.isOsp != 0 && plane.Code != kEulerZxz && plane.Code != kEulerZyz) return false;
      const size_t middle = controller.isOsp != 0 && plane.Code == kEulerZyz ? 1 : 0;
      Matrix3 m = kIdentity;
      TurnFromLeft(m, 2, Exact(plane.Angles[2]));
      TurnFromLeft(m, middle, Exact(plane.Angles[1]));
      TurnFromLeft(m, 2, Exact(plane.Angles[0]));
      SetPlaneMatrix(plane, m);
      break;
    }
  }
  plane.Active = 1;
  return false;
}

bool ComputeRotatedWorkOffset(NcContext& context, const NcPassRecords& records,
                              const AxisPosition& programmed, int32_t targetCode) {
  OffsetMemory& offsets = records.Memory.Offsets;
  const int32_t selected = offsets.SelectedWorkOffset;
  WorkOffsetValues* target = OspTarget(offsets, targetCode);
  if (target == nullptr || selected < 0 || selected >= kWorkOffsetEntries) return false;
  const WorkOffsetValues source = offsets.WorkOffsets[static_cast<size_t>(selected)];
  const MachineKinematics& k = records.Defs.Kinematics;
  const ControllerDefinition& c = records.Defs.Controller;
  const double rotary1 = context.Position.MachinePosition[3];
  Vec3 p{programmed[0], programmed[1], programmed[2]};
  p = TurnAboutRotary(k, c, 0, -rotary1, k.TablePosition, p);
  p = TurnAboutRotary(k, c, 1, -programmed[4], k.SecondTableCentre, p);
  p = TurnAboutRotary(k, c, 0, rotary1 + programmed[3], k.TablePosition, p);
  *target = {source[0] + p[0], source[1] + p[1], source[2] + p[2], source[3], source[4]};
  context.Modal.WorkCoordinateDisplay = 1;
  return true;
}

bool ComputeRotatedWorkOffsetFromPlane(NcContext& context, const NcPassRecords& records,
                                       int32_t sourceCode, double x, double y, double z,
                                       double firstAngle, double secondAngle, int32_t targetCode) {
  OffsetMemory& offsets = records.Memory.Offsets;
  const WorkOffsetValues* sourceEntry = EntryOfCode(offsets, sourceCode);
  WorkOffsetValues* target = EntryOfCode(offsets, targetCode);
  if (sourceEntry == nullptr || target == nullptr) return false;
  const WorkOffsetValues source = *sourceEntry;
  const Vec3& c1 = records.Defs.Kinematics.TablePosition;
  const Vec3& c2 = records.Defs.Kinematics.SecondTableCentre;
  Vec3 p{x + source[0] - c1[0] - c2[0], y + source[1] - c1[1], z + source[2] - c1[2]};
  Turn(p, 1, 2, Exact(source[3]));  // about X
  p[1] -= c2[1];
  Turn(p, 0, 1, Exact(secondAngle));  // about Z
  p[0] += c2[0];
  p[1] += c2[1];
  Turn(p, 1, 2, Exact(firstAngle));
  *target = {p[0] + c1[0], p[1] + c1[1], p[2] + c1[2], source[3], source[4]};
  context.Modal.WorkCoordinateDisplay = 1;
  return true;
}

AxisPosition ProgramPositionAtMachine(const NcContext& context, const NcPassRecords& records,
                                      bool lessToolLength) {
  const MachineKinematics& kinematics = records.Defs.Kinematics;
  const MachinePositionState& position = context.Position;
  AxisPosition machine = position.MachinePosition;
  if (lessToolLength) {
    const double d = ToolLengthEffect(position);
    if (kinematics.ToolDirectionInUse != 0) {
      for (size_t i = 0; i < 3; ++i) machine[i] -= d * kinematics.ToolDirection[i];
    } else {
      machine[2] -= d;
    }
  }
  return SubtractWorkOffset(machine, records.Memory.Offsets.ActiveWorkOffset);
}

void ResyncProgramPosition(NcContext& context, const NcPassRecords& records) {
  NcModalState& modal = context.Modal;
  const ControllerDefinition& controller = records.Defs.Controller;
  const bool siemensOrHeidenhain = controller.isSiemens != 0 || controller.isHeidenhain != 0;
  const AxisPosition program = ProgramPositionAtMachine(context, records, !siemensOrHeidenhain);
  context.Move.Start = context.Move.End = program;
  modal.ProgramPosition = modal.DrawPosition = program;
  context.Position.ProgramPosition = program;
  if (!siemensOrHeidenhain) return;
  const int32_t axis = modal.Plane.ToolLengthAxis;
  if (axis < 0 || axis > 2) return;
  const double length = modal.Length.PreviousToolLength;
  for (AxisPosition* p :
       {&context.Move.Start, &context.Move.End, &modal.ProgramPosition, &modal.DrawPosition})
    (*p)[static_cast<size_t>(axis)] -= length;
}

void ToolVectorFromAngles(int32_t convention, double a, double b, double c, Vec3& vector) {
  Vec3 v{0.0, 0.0, 1.0};
  switch (convention) {
    case kOrientEuler:
      Turn(v, 1, 2, Exact(b));  // about X
      Turn(v, 0, 1, Exact(a));  // about Z
      break;
    case kOrientRpy:
      Turn(v, 1, 2, Exact(c));
      Turn(v, 2, 0, Exact(b));  // about Y
      Turn(v, 0, 1, Exact(a));
      break;
    case kOrientRpy2:
      Turn(v, 2, 0, Exact(b));
      Turn(v, 1, 2, Exact(a));
      break;
    default:
      return;
  }
  vector = v;
}

int32_t FindToolByName(const ToolTable& table, std::string_view name) {
  const int32_t highest =
      std::min<int32_t>(table.MaxToolNumber, static_cast<int32_t>(table.Records.size()) - 1);
  for (int32_t t = 1; t <= highest; ++t) {
    const ToolRecord& record = table.Records[static_cast<size_t>(t)];
    if (record.Defined != 0 && record.Name.has_value() && *record.Name == name) return t;
  }
  return 0;
}

void ParseToolCallExtras(std::string_view text, NcModalState& modal) {
  modal.ToolCallDeltaLength = 0.0;
  modal.ToolCallDeltaRadius = 0.0;
  size_t from = 0;
  for (int found = 0; found < 2; ++found) {
    const size_t d = text.find('D', from);
    if (d == std::string_view::npos || d + 1 >= text.size()) break;
    size_t position = d + 2;
    if (text[d + 1] == 'L')
      modal.ToolCallDeltaLength = ParseNcWordRaw(text, position);
    else if (text[d + 1] == 'R')
      modal.ToolCallDeltaRadius = ParseNcWordRaw(text, position);
    from = d + 1;
  }
  const size_t s = text.find('S');
  if (s == std::string_view::npos) return;
  size_t position = s + 1;
  modal.SpindleSpeed = ParseNcWordInt(text, position);  // a whole number
}

bool StartToolChangeRoute(NcContext& context, const NcPassRecords& records, ToolChangeWord word) {
  NcModalState& modal = context.Modal;
  const MachineDefinition& machine = records.Defs.Machine;
  PendingMoveEnds& queue = modal.PendingEnds;
  const int32_t current = modal.Tools.CurrentToolNumber;
  bool changes = false;
  if (machine.AtcType == kAtcWait2) {
    if (word == ToolChangeWord::kM06)
      changes =
          modal.BlockTool >= 0 ? modal.BlockTool != current : modal.Tools.NextToolNumber != current;
  } else if (word == ToolChangeWord::kM06 || machine.AtcType == kAtcDirect) {
    changes = modal.Tools.NextToolNumber != current;
  }
  const int32_t steps = std::clamp<int32_t>(machine.Route.StepCount, 0, kMaxRouteSteps);
  if (!changes || machine.ToolChangePositionGiven == 0 || steps == 0) {
    queue.Count = 0;
    queue.ReadIndex = 0;
    return false;
  }
  queue.Entries.assign(static_cast<size_t>(steps), PendingMoveEnd{});
  for (size_t s = 0; s < queue.Entries.size(); ++s) {
    queue.Entries[s].AxisGiven = machine.Route.Steps[s];
    queue.Entries[s].Machine = machine.ToolChangePosition;
  }
  queue.Count = steps;
  queue.ReadIndex = 0;
  modal.Length.LengthCompensationActive = 0;
  return true;
}

void ComputeTiltedArcLength(double& length, double angle, double startRadius, double endRadius,
                            const TiltedArcInputs& inputs) {
  const bool clockwise = inputs.MotionMode == kMotionClockwise;
  if (!clockwise && inputs.MotionMode != kMotionCounterClockwise) return;
  // The reference point lies L sin(tilt) out or in by the arc's direction
  // and the length mode.
  const double sign = clockwise == (inputs.LengthMode != 0) ? -1.0 : 1.0;
  const double r1 = std::fabs(startRadius + sign * inputs.ToolLength * std::sin(inputs.StartTilt));
  const double r2 = std::fabs(endRadius + sign * inputs.ToolLength * std::sin(inputs.EndTilt));
  const double m1 = std::max(startRadius, r1), m2 = std::max(endRadius, r2);
  if (!(m1 > startRadius) && !(m2 > endRadius)) return;
  length = (m1 + m2) / 2.0 * angle;
}

}  // namespace vestan
