#include "machine/model_placement.h"

#include <array>

#include "machine/rotary_axes.h"

namespace vestan {

void ComputeModelPlacementMatrix(DexelModel& model, const MachineKinematics& kinematics,
                                 const ControllerDefinition& controller,
                                 const WorkOffsetValues& activeWorkOffset) {
  Placement& p = model.Placement;
  const bool table = kinematics.RotaryType == kRotaryTable;
  if (table || kinematics.RotaryType == kRotaryMix) {
    const RotarySinCos sinCos =
        ComputeRotarySinCos(controller, {activeWorkOffset[3], activeWorkOffset[4]});
    const RotaryAxisFrame first = DescribeRotaryAxis(kinematics, 0);
    const RotaryAxisFrame second = DescribeRotaryAxis(kinematics, 1);
    const auto turn = [&](const Vec3& v) {
      const Vec3 turned = table ? RotateThroughRotaryAxis(first, sinCos[0], sinCos[1], v) : v;
      return RotateInAxisPlane(turned, sinCos[3], sinCos[2], second.Axis, second.P, second.Q);
    };
    for (size_t c = 0; c < 3; ++c) {
      const Vec3 column = turn({p[3 * c], p[3 * c + 1], p[3 * c + 2]});
      for (size_t r = 0; r < 3; ++r) p[3 * c + r] = column[r];
    }
    const Vec3& tp = kinematics.TablePosition;
    const Vec3 t = VectorSub({p[9], p[10], p[11]}, tp);
    Vec3 moved;
    if (table) {
      // TP + TO + R2(R1(t - TP) - TO)
      const Vec3& to = kinematics.TableOffset;
      const Vec3 first1 = RotateThroughRotaryAxis(first, sinCos[0], sinCos[1], t);
      moved = VectorAdd(VectorAdd(tp, to),
                        RotateInAxisPlane(VectorSub(first1, to), sinCos[3], sinCos[2], second.Axis,
                                          second.P, second.Q));
    } else {
      // TP + R2(t - TP)
      moved = VectorAdd(tp, turn(t));
    }
    for (size_t k = 0; k < 3; ++k) p[9 + k] = moved[k];
  }
  model.InverseMatrix = InvertMatrix3(PlacementMatrix(p));
  for (size_t k = 0; k < 3; ++k) model.NegTranslation[k] = -p[9 + k];
}

}  // namespace vestan
