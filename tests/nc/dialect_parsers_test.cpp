#include "nc/dialect_parsers.h"

#include <gtest/gtest.h>

#include "nc/block_trace.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"
#include "nc/nc_world.h"

namespace vestan::testing {
namespace {

std::unique_ptr<NcWorld> Ready(Dialect dialect) {
  auto world = MakeNcWorld(dialect);
  world->Defs.Settings.ControlPoint = {};
  ResetNcModalState(world->Context, world->Records);
  return world;
}

TEST(HeidenhainCycleDef, DatumShiftAndDatumNumber) {
  auto w = Ready(Dialect::kHeidenhain);
  OffsetMemory& offsets = w->Memory.Offsets;
  offsets.WorkOffsets[0] = {1.0, 2.0, 3.0, 0.0, 0.0};
  offsets.WorkOffsets[3] = {10.0, 20.0, 30.0, 40.0, 0.0};
  std::string_view line = " 7.1 #3\n";
  size_t position = 0;
  ParseHeidenhainCycleDef(position, line, w->Context, w->Records);
  EXPECT_EQ(offsets.SelectedWorkOffset, 3);
  EXPECT_EQ(offsets.ActiveWorkOffset, (WorkOffsetValues{11.0, 22.0, 33.0, 40.0, 0.0}));

  line = " 7.2 Y+5\n";
  position = 0;
  ParseHeidenhainCycleDef(position, line, w->Context, w->Records);
  EXPECT_DOUBLE_EQ(offsets.WorkOffsets[1][1], 5.0);
  EXPECT_DOUBLE_EQ(offsets.ActiveWorkOffset[1], 7.0);

  // A datum number outside the table changes nothing.
  for (const std::string_view bad :
       {" 7.1 #201\n", " 7.1 #-1\n", " 247 DATUM SETTING Q339=+250\n"}) {
    position = 0;
    ParseHeidenhainCycleDef(position, bad, w->Context, w->Records);
    EXPECT_EQ(offsets.SelectedWorkOffset, 3) << bad;
  }
  line = " 247 DATUM SETTING Q339=+2\n";
  position = 0;
  ParseHeidenhainCycleDef(position, line, w->Context, w->Records);
  EXPECT_EQ(offsets.SelectedWorkOffset, 2);

  line = " 203 UNIVERSAL DRILLING\n";
  position = 0;
  ParseHeidenhainCycleDef(position, line, w->Context, w->Records);
  EXPECT_EQ(w->Modal().HeidenhainCycle, 203);
}

TEST(HeidenhainQParameter, SlotsByDigitAndCycle) {
  auto w = Ready(Dialect::kHeidenhain);
  NcModalState& modal = w->Modal();
  const auto parse = [&](std::string_view text) {
    size_t position = 0;
    ParseHeidenhainQParameter(position, text, modal, 1000);
    return position;
  };
  modal.DecimalPointMode = kDecimalPointNormal;
  parse("01=-20\n");  // Q201
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[3], -20.0);
  modal.DecimalPointMode = 0;
  parse("01=-20\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[3], -0.02);
  parse("02=5.\n");  // Q202
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[4], 5.0);
  EXPECT_EQ(modal.Interp.CycleBlockFlag, 1);
  parse("03=2000\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[1], 2.0);
  parse("04=50\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[5], 50.0);
  modal.CannedCycle = 83;
  parse("03=2500\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[2], 2.5);
  parse("04=1000\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[1], 1.0);
  parse("05=7\n");
  EXPECT_DOUBLE_EQ(modal.Interp.CycleSlots[5], 7.0);
}

TEST(HeidenhainQParameter, CycleParametersByNumber) {
  InterpreterState interp;
  struct Case {
    std::string_view Text;  // from the number's first digit
    int32_t Number;
    double Value;
  };
  const Case cases[] = {
      {"201=-20 ;DEPTH\n", 201, -20.0},
      {"206=150\n", 206, 150.0},
      {"203=+2.5 ;SURFACE\n", 203, 2.5},
      {"204 =50\n", 204, 50.0},
      {"202= 5\n", 202, 0.0},  // a blank after "=": an empty value
      {"299=7\n", 299, 7.0},
  };
  for (const Case& c : cases) {
    StoreHeidenhainCycleParameter(0, c.Text, interp);
    EXPECT_DOUBLE_EQ(interp.CycleParameter(c.Number), c.Value) << c.Text;
  }
  // Numbers outside Q200 to Q299 are not kept.
  const InterpreterState before = interp;
  for (const std::string_view other : {"1=5\n", "300=5\n", "20=5\n", "=5\n"})
    StoreHeidenhainCycleParameter(0, other, interp);
  EXPECT_EQ(interp.CycleParameters, before.CycleParameters);
  EXPECT_DOUBLE_EQ(interp.CycleParameter(300), 0.0);
}

TEST(PlaneSpatial, SpatialAnglesAndReset) {
  auto w = Ready(Dialect::kHeidenhain);
  const std::string_view line = "SPATIAL SPA+0 SPB+45 SPC+0 SEQ- TURN F2000\n";
  size_t position = 0;
  ParsePlaneSpatial(position, line, w->Context, w->Records);
  const TiltedPlaneState& plane = w->Modal().TiltedPlane;
  EXPECT_EQ(plane.Angles, (std::array<double, 3>{0.0, 45.0, 0.0}));
  EXPECT_EQ(plane.SolutionSign, -1);
  EXPECT_EQ(w->Modal().LastGCode, 682);
  EXPECT_EQ(plane.Form, kTiltedSpatial);

  w->Context.Move.End[3] = 30.0;
  w->Memory.Offsets.ActiveWorkOffset = {5, 5, 5, 0, 0};
  w->Modal().TiltedPlane.State = 1;  // as the block applying it leaves it
  w->Modal().TiltedPlane.Active = 1;
  position = 0;
  ParsePlaneSpatial(position, "RESET STAY\n", w->Context, w->Records);
  EXPECT_EQ(position, 5u);
  EXPECT_EQ(plane.Angles, (std::array<double, 3>{}));
  EXPECT_EQ(plane.Form, 0);
  EXPECT_EQ(plane.State, 0);  // the plane ends
  EXPECT_EQ(plane.Active, 0);
  EXPECT_EQ(w->Modal().LastGCode, 69);
  EXPECT_DOUBLE_EQ(w->Context.Move.End[3], 0.0);
  EXPECT_DOUBLE_EQ(w->Memory.Offsets.ActiveWorkOffset[0], 0.0);
}

TEST(Cycle800, ArgumentLists) {
  Cycle800Record record;
  record.CarrierName = "OLD";
  size_t position = 0;
  EXPECT_EQ(ParseCycle800(position, ",\"0\")\n", record), 0);
  EXPECT_EQ(position, 4u);
  EXPECT_TRUE(record.CarrierName.empty());

  position = 0;
  EXPECT_EQ(ParseCycle800(position, ")\n", record), 0);
  EXPECT_EQ(position, 1u);

  position = 0;
  const std::string_view full = "1,\"TC1\",100110,57,1,2,3,0,45,90,4,5,6,-1,100)\n";
  EXPECT_EQ(ParseCycle800(position, full, record), 1);
  EXPECT_EQ(record.RetractMode, 1);
  EXPECT_EQ(record.CarrierName, "TC1");
  EXPECT_EQ(record.SwivelDigits, (std::array<int32_t, 6>{1, 0, 0, 1, 1, 0}));
  EXPECT_EQ(record.Mode, 57);
  EXPECT_EQ(record.Values, (std::array<double, 9>{1, 2, 3, 0, 45, 90, 4, 5, 6}));
  EXPECT_EQ(record.Direction, -1);
  EXPECT_EQ(record.LastInteger, 100);

  position = 0;
  EXPECT_EQ(ParseCycle800(position, ",\"\",100000,0)\n", record), 0);
  EXPECT_EQ(record.RetractMode, 0);
  EXPECT_EQ(record.Mode, 0);
}

TEST(OspCallArgs, TurnsTheSourceIntoTheTarget) {
  auto w = Ready(Dialect::kOsp);
  OffsetMemory& offsets = w->Memory.Offsets;
  MachineKinematics& kinematics = w->Defs.Kinematics;
  // Rotary 1 about X, rotary 2 about Z, both through the origin.
  kinematics.Rotary[0].Axis = 0;
  kinematics.Rotary[0].OtherAxes = {1, 2};
  kinematics.Rotary[1].Axis = 2;
  kinematics.Rotary[1].OtherAxes = {0, 1};
  offsets.WorkOffsets[2] = {10.0, 0.0, 0.0, 0.0, 0.0};
  w->Context.Move.End = {1.0, 0.0, 0.0, 0.0, 0.0};
  size_t position = 0;
  ParseOspCallArgs(position, " PH=2 PP=5 PB=90 PX=5. PCA=12\n", w->Context, w->Records);
  const WorkOffsetValues& target = offsets.WorkOffsets[5];
  EXPECT_NEAR(target[0], 0.0, 1e-12);
  EXPECT_NEAR(target[1], 15.0, 1e-12);
  EXPECT_DOUBLE_EQ(target[3], 12.0);
  EXPECT_EQ(offsets.SelectedWorkOffset, 5);
  // The machine stays: program X 1 under offset 0 is X -14 under the target.
  EXPECT_NEAR(w->Context.Move.End[1], -15.0, 1e-12);

  // A source outside the table writes nothing.
  position = 0;
  ParseOspCallArgs(position, " PH=201 PP=6\n", w->Context, w->Records);
  EXPECT_EQ(offsets.WorkOffsets[6], (WorkOffsetValues{}));
  EXPECT_EQ(offsets.SelectedWorkOffset, 5);
}

}  // namespace
}  // namespace vestan::testing
