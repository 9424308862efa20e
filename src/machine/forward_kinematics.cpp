#include "machine/forward_kinematics.h"

namespace vestan {

namespace {

// Both rotary axes with the sines and cosines of one pair of angles.
struct RotaryTurns {
  std::array<RotaryAxisFrame, 2> Axes;
  RotarySinCos SinCos;

  RotaryTurns(const MachineKinematics& kinematics, const RotarySinCos& sinCos)
      : Axes{DescribeRotaryAxis(kinematics, 0), DescribeRotaryAxis(kinematics, 1)},
        SinCos(sinCos) {}

  Vec3 Turn(size_t k, const Vec3& v) const {
    return RotateThroughRotaryAxis(Axes[k], SinCos[2 * k], SinCos[2 * k + 1], v);
  }
  Vec3 TurnBack(size_t k, const Vec3& v) const {
    return RotateThroughRotaryAxis(Axes[k], -SinCos[2 * k], SinCos[2 * k + 1], v);
  }
  // A plain axis leaves its own component exactly as it was; an inclined one
  // turns all three.
  bool KeepsOwnComponent(size_t k) const {
    return Axes[k].Inclination == RotaryInclination::kNone && Axes[k].Axis >= 0;
  }
  size_t Own(size_t k) const { return static_cast<size_t>(Axes[k].Axis); }
};

Vec3 Linear(const AxisPosition& m) { return {m[0], m[1], m[2]}; }

// The table offset in rotary 2's plane only.
Vec3 PlaneTableOffset(const MachineKinematics& k, const RotaryTurns& turns) {
  Vec3 offset{0.0, 0.0, 0.0};
  if (turns.Axes[1].Axis < 0) return offset;
  offset[static_cast<size_t>(turns.Axes[1].P)] =
      k.TableOffset[static_cast<size_t>(turns.Axes[1].P)];
  offset[static_cast<size_t>(turns.Axes[1].Q)] =
      k.TableOffset[static_cast<size_t>(turns.Axes[1].Q)];
  return offset;
}

// The tool length as a vector from the spindle to the tip, reversed: along
// the tool direction when it is in use, else along Z.
Vec3 LengthVector(const MachineKinematics& k, double length) {
  if (k.ToolDirectionInUse != 0)
    return {length * k.ToolDirection[0], length * k.ToolDirection[1], length * k.ToolDirection[2]};
  return {0.0, 0.0, length};
}

// A point s of the spindle's frame, from its reference point unturned (the
// tip: s = (0, 0, -L)).
Vec3 TipPoint(double length) { return {0.0, 0.0, -length}; }

// HEAD: from the machine point to s, R1(R2(s - HP) - HO).
Vec3 HeadVector(const MachineKinematics& k, const RotaryTurns& turns, const Vec3& s) {
  const Vec3 spindle = turns.Turn(1, VectorSub(s, k.HeadPosition));
  return turns.Turn(0, VectorSub(spindle, k.HeadOffset));
}

// MIX: s before the table turns, relative to M + HP.
Vec3 MixHeadVector(const MachineKinematics& k, const RotaryTurns& turns, const Vec3& s) {
  return turns.Turn(0, VectorSub(s, k.HeadPosition));
}

Vec3 TurnAboutTable(const RotaryTurns& turns, const Vec3& centre, const Vec3& point, bool back) {
  const Vec3 relative = VectorSub(point, centre);
  Vec3 out = VectorAdd(centre, back ? turns.TurnBack(1, relative) : turns.Turn(1, relative));
  if (turns.KeepsOwnComponent(1)) out[turns.Own(1)] = point[turns.Own(1)];
  return out;
}

// Where the kinematics put a point s of the spindle's frame: the tip is s =
// -L along Z, or along the tool direction on a table machine.
Vec3 SpindlePoint(const MachineKinematics& k, const RotaryTurns& turns, const Vec3& s,
                  const AxisPosition& machine) {
  const Vec3 m = Linear(machine);
  switch (k.RotaryType) {
    case kRotaryHead:
      return VectorAdd(m, HeadVector(k, turns, s));
    case kRotaryTable: {
      const Vec3 offset = PlaneTableOffset(k, turns);
      const Vec3 p = VectorAdd(VectorSub(m, k.TablePosition), s);
      const Vec3 q = VectorSub(turns.Turn(0, p), offset);
      return VectorAdd(VectorAdd(turns.Turn(1, q), offset), k.TablePosition);
    }
    default: {
      const Vec3 head = VectorAdd(VectorAdd(m, k.HeadPosition), MixHeadVector(k, turns, s));
      return TurnAboutTable(turns, k.TablePosition, head, false);
    }
  }
}

Vec3 ToolTip(const MachineKinematics& k, const RotaryTurns& turns, double length,
             const AxisPosition& machine) {
  if (k.RotaryType != kRotaryTable) return SpindlePoint(k, turns, TipPoint(length), machine);
  const Vec3 s = LengthVector(k, length);
  return SpindlePoint(k, turns, {-s[0], -s[1], -s[2]}, machine);
}

// A direction of the spindle's frame turned as the tool axis turns.
Vec3 TurnDirection(const MachineKinematics& k, const RotaryTurns& turns, const Vec3& d) {
  return k.RotaryType == kRotaryHead ? turns.Turn(0, turns.Turn(1, d))
                                     : turns.Turn(1, turns.Turn(0, d));
}

AxisPosition Posture(const MachineKinematics& k, const RotaryTurns& turns, double length,
                     const Vec3& tip, const RotaryAngles& angles) {
  Vec3 m;
  switch (k.RotaryType) {
    case kRotaryHead:
      m = VectorSub(tip, HeadVector(k, turns, TipPoint(length)));
      break;
    case kRotaryTable: {
      const Vec3 offset = PlaneTableOffset(k, turns);
      const Vec3 q =
          VectorAdd(turns.TurnBack(1, VectorSub(VectorSub(tip, k.TablePosition), offset)), offset);
      m = VectorAdd(VectorAdd(turns.TurnBack(0, q), k.TablePosition), LengthVector(k, length));
      break;
    }
    default: {
      const Vec3 head = TurnAboutTable(turns, k.TablePosition, tip, true);
      m = VectorSub(VectorSub(head, k.HeadPosition), MixHeadVector(k, turns, TipPoint(length)));
      break;
    }
  }
  return {m[0], m[1], m[2], angles[0], angles[1]};
}

}  // namespace

void ComputeToolTipAndAxis(const MachineKinematics& kinematics,
                           const ControllerDefinition& controller, double toolLength,
                           const AxisPosition& machine, Vec3& tip, Vec3& axis) {
  const RotaryTurns turns(kinematics, ComputeRotarySinCos(controller, {machine[3], machine[4]}));
  tip = ToolTip(kinematics, turns, toolLength, machine);
  axis = TurnDirection(kinematics, turns, kinematics.ToolDirection);
  SnapToolAxis(axis);
}

Placement ComputeToolFrame(const MachineKinematics& kinematics, const RotarySinCos& sinCos,
                           const AxisPosition& machine) {
  Placement frame{};
  const RotaryTurns turns(kinematics, sinCos);
  for (int k = 0; k < 3; ++k) {
    Vec3 unit{0.0, 0.0, 0.0};
    unit[static_cast<size_t>(k)] = 1.0;
    const Vec3 image = TurnDirection(kinematics, turns, unit);
    for (int i = 0; i < 3; ++i) frame[static_cast<size_t>(3 * k + i)] = image[i];
  }
  const Vec3 origin = SpindlePoint(kinematics, turns, {0.0, 0.0, 0.0}, machine);
  for (int i = 0; i < 3; ++i) frame[static_cast<size_t>(9 + i)] = origin[i];
  return frame;
}

AxisPosition ComputeToolPosture(const MachineKinematics& kinematics,
                                const ControllerDefinition& controller, double toolLength,
                                const Vec3& tip, const RotaryAngles& angles) {
  const RotaryTurns turns(kinematics, ComputeRotarySinCos(controller, angles));
  return Posture(kinematics, turns, toolLength, tip, angles);
}

AxisPosition RotatePointAndAxisThroughRotaryAxes(const MachineKinematics& kinematics,
                                                 const ControllerDefinition& controller,
                                                 const ToolTipControlLengths& lengths,
                                                 const Vec3& tip, const RotaryAngles& angles) {
  const double length = kinematics.RotaryType == kRotaryTable
                            ? lengths.Reference + lengths.InForce - lengths.Value
                            : lengths.InForce;
  return ComputeToolPosture(kinematics, controller, length, tip, angles);
}

void CorrectRotaryCentre(const MachineKinematics& kinematics, const RotarySinCos& tableSinCos,
                         Vec3& point) {
  const RotaryTurns turns(kinematics, tableSinCos);
  if (kinematics.RotaryType == kRotaryTable) {
    const Vec3 offset = PlaneTableOffset(kinematics, turns);
    const Vec3 inner = turns.Turn(1, VectorSub(VectorSub(point, kinematics.TablePosition), offset));
    point = VectorAdd(kinematics.TablePosition, turns.Turn(0, VectorAdd(offset, inner)));
  } else if (kinematics.RotaryType == kRotaryMix) {
    point = TurnAboutTable(turns, kinematics.TablePosition, point, false);
  }
}

void CorrectRotaryCentre2(const MachineKinematics& kinematics, const RotarySinCos& tableSinCos,
                          Vec3& point) {
  const RotaryTurns turns(kinematics, tableSinCos);
  if (kinematics.RotaryType == kRotaryTable) {
    const Vec3 offset = PlaneTableOffset(kinematics, turns);
    const Vec3 outer =
        VectorSub(turns.TurnBack(0, VectorSub(point, kinematics.TablePosition)), offset);
    point = VectorAdd(VectorAdd(kinematics.TablePosition, offset), turns.TurnBack(1, outer));
  } else if (kinematics.RotaryType == kRotaryMix) {
    point = TurnAboutTable(turns, kinematics.TablePosition, point, true);
  }
}

}  // namespace vestan
