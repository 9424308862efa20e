// A new stock's placement turned with the table by the work offset's rotary
// values.
#include "machine/model_placement.h"

#include <gtest/gtest.h>

#include "model/stock.h"

namespace vestan {
namespace {

const Placement kStock{1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 20, 30};

// A table machine turning about X (rotary 1) and then about Z (rotary 2).
MachineKinematics Machine(int32_t type) {
  MachineKinematics k;
  k.RotaryType = type;
  k.Rotary[0].Axis = 0;
  k.Rotary[1].Axis = 2;
  k.TablePosition = {0, 0, 5};
  k.TableOffset = {1, 2, 0};
  return k;
}

void ExpectPlacement(const DexelModel& model, const Placement& expected) {
  for (size_t k = 0; k < 12; ++k) EXPECT_NEAR(model.Placement[k], expected[k], 1e-12) << k;
  const Matrix3 inverse = InvertMatrix3(PlacementMatrix(expected));
  for (size_t k = 0; k < 9; ++k) EXPECT_NEAR(model.InverseMatrix[k], inverse[k], 1e-12) << k;
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(model.NegTranslation[k], -model.Placement[9 + k]);
}

TEST(ModelPlacement, TableMachineTurnsByRotaryOneThenTwo) {
  DexelModel model;
  model.Placement = kStock;
  ControllerDefinition controller;
  // A = 90: (x, y, z) -> (x, -z, y) about the table position; C = 0.
  ComputeModelPlacementMatrix(model, Machine(kRotaryTable), controller, {0, 0, 0, 90, 0});
  // TP + TO + R2(R1(t - TP) - TO) = (0,0,5) + (1,2,0) + ((10,-25,20) - (1,2,0)).
  ExpectPlacement(model, {1, 0, 0, 0, 0, 1, 0, -1, 0, 10, -25, 25});
  // C = 90 as well: (x, y) -> (-y, x) after it.
  model.Placement = kStock;
  ComputeModelPlacementMatrix(model, Machine(kRotaryTable), controller, {0, 0, 0, 90, 90});
  // R1(t - TP) - TO = (9, -27, 20); R2 of it (27, 9, 20); plus (1, 2, 5).
  ExpectPlacement(model, {0, 1, 0, 0, 0, 1, 1, 0, 0, 28, 11, 25});
}

TEST(ModelPlacement, MixMachineTurnsByRotaryTwoAboutTheTablePosition) {
  DexelModel model;
  model.Placement = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 5};  // at the table position
  ControllerDefinition controller;
  ComputeModelPlacementMatrix(model, Machine(kRotaryMix), controller, {0, 0, 0, 30, 90});
  ExpectPlacement(model, {0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 5});
}

TEST(ModelPlacement, HeadMachinesAndZeroAnglesKeepThePlacement) {
  ControllerDefinition controller;
  const struct {
    int32_t Type;
    WorkOffsetValues Offset;
  } cases[] = {{kRotaryHead, {0, 0, 0, 45, 30}},
               {kRotaryNone, {0, 0, 0, 45, 30}},
               {kRotaryTable, {1, 2, 3, 0, 0}},
               {kRotaryMix, {1, 2, 3, 0, 0}}};
  for (const auto& c : cases) {
    DexelModel model;
    model.Placement = kStock;
    model.NegTranslation = {1, 1, 1};  // stale: derived anew
    ComputeModelPlacementMatrix(model, Machine(c.Type), controller, c.Offset);
    ExpectPlacement(model, kStock);
  }
}

}  // namespace
}  // namespace vestan
