// The tool made current at a tool change: copies of its tool table records
// and the radii, heights and slopes derived from them by cutter kind.
#pragma once

#include <array>
#include <cstdint>

#include "definitions/controller_definition.h"
#include "definitions/display_list_table.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/machine_definition.h"
#include "definitions/settings.h"
#include "definitions/tool_base_point.h"
#include "definitions/tool_table.h"
#include "foundation/geometry.h"
#include "model/length_compensation.h"
#include "model/position_state.h"

namespace vestan {

struct ToolProfile;  // model/tool_profile.h

struct CurrentTool {
  ToolRecord Tool;                    // the set-up may raise its CuttingLength
  ToolShankRecord Shank;              // ProtrusionLength may be replaced
  ArborRecord Arbor;                  // step diameters may be widened
  int32_t PenNumber = 0;              // 0-15
  uint8_t PenTag = 0;                 // pen << 4, the high nibble of a value's flag byte
  std::array<uint8_t, 2> EdgeTags{};  // the pen tag again, for the cutting kernel
  ToolHolderRecord Holder;            // the machine's holder in use
  // How far the tool reaches out of the spindle and the reach its holder is
  // measured for; plug-in tools give them, table tools leave both 0.
  double Reach = 0.0;
  double ReachReference = 0.0;

  double CornerRadiusAbs = 0.0;
  double PointFlatRadius = 0.0;   // flat at the point of a drill
  double BottomRadius = 0.0;      // where the flat or conical bottom ends
  double ArcCentreRadius = 0.0;   // corner-arc centre: radius ...
  double FullRadiusHeight = 0.0;  // ... and height above the tip
  double ArcTopRadius = 0.0;      // radius at the upper end of the corner arc
  double EnvelopeRadius = 0.0;    // radius at the top of the cutting part
  // Bottom cone: height = BottomSlope * radius + BottomOffset.
  double BottomSlope = 0.0;
  double BottomOffset = 0.0;
  // Side (taper) line: height = SideSlope * radius + SideOffset.
  double SideSlope = 0.0;
  double SideOffset = 0.0;
  // Heights of the bottom, and of the side line at ArcTopRadius and EnvelopeRadius.
  double BottomEdgeHeight = 0.0;
  double UpperHeightA = 0.0;
  double UpperHeightB = 0.0;
  // OVAL: the ellipse's semi-axes and where it meets the corner arc.
  double OvalHeight = 0.0;
  double OvalRadius = 0.0;
  double OvalJoinHeight = 0.0;
  // T-THROW: height of the blade's flat side and radius of its lower arc centre.
  double BladeFlatHeight = 0.0;
  double LowerArcCentreRadius = 0.0;
  // VERTICAL: (r - S)^2; 0 for other kinds.
  double CentreZoneRadiusSquared = 0.0;
  double CuttingRadius = 0.0;  // where the shank part begins
  double NeckRadius = 0.0;
  int32_t HasUpperPoint = 0;  // the neck differs from the cutting radius
  double NeckTopHeight = 0.0;
  double NeckEndRadius = 0.0;  // angled shanks: radius at the top of the neck cone
  double ShankRadius = 0.0;
  double ShankRise = 0.0;  // height of the shank's start above the neck length
  // Height gained per unit of radius on the neck and shank cones.
  double NeckTaperRatio = 0.0;
  double ShankTaperRatio = 0.0;
  double ArborBaseHeight = 0.0;  // the holder face above the tip
  // Per arbor step: radius (never below the step beneath), bottom and top.
  std::array<double, kMaxArborSteps + 1> ArborStepRadius{};
  std::array<double, kMaxArborSteps> ArborStepBottom{};
  std::array<double, kMaxArborSteps> ArborStepTop{};
};

// Length-check results kept beside the current tool: the cutting kernel
// raises them, the run's length report prints and clears them.
struct ToolLengthChecks {
  double ShankClearLength = 0.0;
  double NeckClearLength = 0.0;  // -1 when no clear neck length exists
  double ArborClearLength = 0.0;
  double MaxCutHeight = 0.0;
  double TipWidth = 0.0;
  double CentreHeight = 0.0;
};

// What a tool's set-up is derived from, read only.
struct ToolSetUpSources {
  const ToolTable& Table;
  const MachineDefinition& Machine;  // the holder in use
  const MachineKinematics& Kinematics;
  const InterferenceCheckSettings& Checks;
  const PitchSettings& Pitch;
};

// The records a tool change reads and writes.
struct ToolChangeRecords {
  ToolTable& Table;  // kinds 12 and 13 may raise a cutting length
  CurrentTool& Current;
  ToolProfile& Profile;
  MachinePositionState& Position;
  LengthCompensationState& Compensation;
  DisplayListTable& Display;
  const MachineDefinition& Machine;
  const MachineKinematics& Kinematics;
  // The rotary axis letters.
  const ControllerDefinition& Controller;
  // ARBOR CLEARANCE and HEIGHT CHECK TYPE.
  const InterferenceCheckSettings& Checks;
  // The work model's grid pitch: the clearance of ARBOR CLEARANCE YES and
  // the spacing of the profile's arc points.
  const PitchSettings& Pitch;
};

// What a tool change derives the tool from.
inline ToolSetUpSources SetUpSourcesOf(const ToolChangeRecords& records) {
  return {records.Table, records.Machine, records.Kinematics, records.Checks, records.Pitch};
}

// Makes tool `tool` current: copies its records, derives its shape, widens
// the holder parts by the arbor clearance when pitch > 0 and builds its
// profile. A tool number outside the table is an undefined tool. What the
// change sets off above (the length offset booking, the tool-length vector,
// the shape of an imported STL tool) follows in the session's tool change.
void SetCurrentTool(int32_t tool, double pitch, ToolChangeRecords& records);

// Tool `tool` set up as SetCurrentTool would make it current, into records of
// the caller's own: its copy and shape into setUp, its profile, and its
// length value and reference length into lengths (ToolLength,
// ReferenceLength). Nothing else changes: not the current tool, the length
// in force nor the table (a raised cutting length stays in setUp). An
// undefined tool leaves setUp's shape and profile as they were.
void DeriveToolSetUp(int32_t tool, double pitch, const ToolSetUpSources& sources,
                     CurrentTool& setUp, ToolProfile& profile, MachinePositionState& lengths);

// The heights the tool table's base-point lengths read after a tool change:
// the corner-arc centre and the machine's reference length.
inline ToolBaseHeights TableBaseHeights(const ToolChangeRecords& records) {
  return {records.Current.FullRadiusHeight, records.Position.ReferenceLength};
}

// A holder diameter widened by the ARBOR CLEARANCE setting: by its value, or
// for YES by the grid pitch.
float WidenByArborClearance(float diameter, const InterferenceCheckSettings& checks,
                            double gridPitch);

// Radius where the corner arc (radius R) of an oval tool of diameter D meets
// its ellipse of semi-axes Rc (radial) and Ht (axial); 0 when no root lies
// strictly between D/2 - R and D/2.
double SolveOvalJoin(double ovalRadius, double ovalHeight, double cornerRadius, double diameter);

// The angle head of the machine, or none when its tool direction is +Z.
inline const AngleHeadAngles* AngleHeadInUse(const MachineKinematics& machine,
                                             AngleHeadAngles& angles) {
  if (machine.ToolDirectionInUse == 0) return nullptr;
  angles = {machine.AngleHeadA, machine.AngleHeadB, machine.AngleHeadC};
  return &angles;
}

}  // namespace vestan
