// The machine definition records: the machine (name, tool changer, speeds,
// orientation on screen, holders), its kinematics (rotary axes, heads,
// tables, tool direction), its stroke limits and the names and offsets of
// its part models. Filled by the machine definition reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "definitions/tool_table.h"
#include "foundation/vector_math.h"

namespace vestan {

// A holder of the machine: a stack of steps like a tool's arbor.
struct ToolHolderRecord {
  int32_t Present = 0;
  int32_t StepCount = 0;
  std::array<float, kMaxArborSteps> StepDiameter{};
  std::array<float, kMaxArborSteps> StepLength{};

  friend bool operator==(const ToolHolderRecord&, const ToolHolderRecord&) = default;
};

inline constexpr size_t kMaxRouteText = 16;
inline constexpr int32_t kMaxRouteSteps = 5;

// The tool change route: which axes (X, Y, Z, rotary 1, rotary 2) move in
// each step.
struct ToolChangeRoute {
  int32_t StepCount = 0;
  std::array<std::array<int32_t, 5>, kMaxRouteSteps> Steps{};

  friend bool operator==(const ToolChangeRoute&, const ToolChangeRoute&) = default;
};

// ATC types.
inline constexpr int32_t kAtcDirect = 1;
inline constexpr int32_t kAtcWait = 2;
inline constexpr int32_t kAtcWait2 = 3;

struct MachineDefinition {
  std::string Name;  // at most 255 characters
  // Filled by the synchronisation plug-in from the name.
  std::string PluginName;
  int32_t AtcType = kAtcDirect;
  int32_t AtcSubType = 0;  // 4 with "DIRECT T..."
  std::array<int32_t, 2> AtcNumbers{};
  std::string RouteText;  // at most 16 characters
  ToolChangeRoute Route;
  // X, Y, Z, rotary 1, rotary 2.
  std::array<double, 5> ToolChangePosition{};
  int32_t ToolChangePositionGiven = 0;
  // Kept from file to file: a file without them keeps the last ones given.
  float ToolChangeTime = 1.0f;
  std::array<float, 3> RapidRate{10000.0f, 10000.0f, 10000.0f};
  std::array<float, 3> RapidAcceleration{0.1f, 0.1f, 0.1f};
  std::array<float, 3> MaximumFeedrate{10000.0f, 10000.0f, 10000.0f};
  std::array<float, 3> CuttingAcceleration{0.3f, 0.3f, 0.3f};
  // How the display turns the machine: the AXIS DIRECTION code.
  int32_t MachineOrientation = 0;
  Vec3 ViewCentre{};
  int32_t ViewCentreGiven = 0;
  // Axes X, Y, Z that move the table, and how many do.
  std::array<uint8_t, 3> TableMoves{};
  int32_t TableMoveCount = 0;

  // The machine's holders and the one in use; none unless given.
  std::vector<ToolHolderRecord> Holders;
  int32_t SelectedHolder = 0;

  friend bool operator==(const MachineDefinition&, const MachineDefinition&) = default;
};

// Rotary types.
inline constexpr int32_t kRotaryNone = 0;
inline constexpr int32_t kRotaryHead = 1;
inline constexpr int32_t kRotaryTable = 2;
inline constexpr int32_t kRotaryMix = 3;

struct RotaryAxisGeometry {
  // The machine axis it turns about (0 X, 1 Y, 2 Z) and the other two in
  // cyclic order.
  int32_t Axis = 0;
  std::array<int32_t, 2> OtherAxes{1, 2};
  Vec3 Vector{1.0, 0.0, 0.0};
  int32_t Tilted = 0;
  double TiltCos = 1.0, TiltSin = 0.0;
  double TurnCos = 1.0, TurnSin = 0.0;
  // AXIS VECTOR as given (divided by its squared length), and AXIS ANGLE.
  Vec3 GivenVector{};
  int32_t VectorGiven = 0;
  double GivenAngle = 0.0;

  friend bool operator==(const RotaryAxisGeometry&, const RotaryAxisGeometry&) = default;
};

// Table and head types.
inline constexpr int32_t kTableOther = 0;
inline constexpr int32_t kTablePlane = 1;
inline constexpr int32_t kTableCircle = 2;
inline constexpr int32_t kTableAxis = 3;
inline constexpr int32_t kTableLathe = 4;
inline constexpr int32_t kHeadNone = 0;

struct MachineKinematics {
  int32_t RotaryType = kRotaryNone;
  std::array<RotaryAxisGeometry, 2> Rotary{RotaryAxisGeometry{},
                                           RotaryAxisGeometry{2, {0, 1}, {0.0, 0.0, 1.0}}};
  Vec3 TablePosition{};
  Vec3 TableOffset{};
  Vec3 HeadPosition{};
  Vec3 HeadOffset{};
  // Centre of the second table of a TABLE machine.
  Vec3 SecondTableCentre{};
  int32_t TableType = kTablePlane;
  int32_t SecondTableType = kTableCircle;
  int32_t HeadType = 2;
  int32_t Head1Type = 2;
  int32_t Head2Type = 2;
  // TOOL HOLDER OFFSET: from the spindle gauge line to the holder face.
  double ToolHolderOffset = 0.0;
  // Tool direction of an angle head and its angles in degrees: A tilts about
  // X, B about Y, C turns about Z after the tilt.
  Vec3 ToolDirection{0.0, 0.0, 1.0};
  double AngleHeadA = 0.0;
  double AngleHeadB = 0.0;
  double AngleHeadC = 0.0;
  // 1 when the tool direction differs from +Z.
  int32_t ToolDirectionInUse = 0;

  friend bool operator==(const MachineKinematics&, const MachineKinematics&) = default;
};

// Axes of the stroke limits: X, Y, Z, rotary 1, rotary 2.
struct StrokeLimits {
  std::array<int32_t, 5> Enabled{};
  int32_t AnyLimit = 0;
  std::array<double, 5> Minimum{};
  std::array<double, 5> Maximum{};

  friend bool operator==(const StrokeLimits&, const StrokeLimits&) = default;
};

inline constexpr size_t kMaxPartModelName = 255;
inline constexpr size_t kMaxListedModels = 5;  // basic models, vices, vice offsets

enum TablePart : size_t {
  kTableMain,
  kTableX,
  kTableY,
  kTableZ,
  kTable1,
  kTable2,
  kTablePartCount
};
enum HeadPart : size_t {
  kHeadMain,  // also HEAD(XYZ)
  kHeadX,
  kHeadY,
  kHeadZ,
  kHeadXY,  // also HEAD(YX)
  kHeadYZ,  // also HEAD(ZY)
  kHeadZX,  // also HEAD(XZ)
  kHead1,
  kHead2,
  kHeadPartCount
};

// A part's model file (empty: none) and the offset added to its vertices.
struct PartModel {
  std::string Name;
  Vec3 Offset{};
  int32_t TFlag = 0;  // heads only: "T" on the offset line

  friend bool operator==(const PartModel&, const PartModel&) = default;
};

// The part models' names and offsets; the machine model loads the meshes.
struct MachinePartModels {
  std::vector<std::string> BasicNames;
  Vec3 BasicOffset{};
  std::vector<std::string> ViceNames;
  std::vector<Vec3> ViceOffsets;
  std::array<PartModel, kTablePartCount> Tables{};
  std::array<PartModel, kHeadPartCount> Heads{};
  // 1 when the user chose the vice file: a reload keeps the vice list.
  int32_t ViceKept = 0;

  friend bool operator==(const MachinePartModels&, const MachinePartModels&) = default;
};

}  // namespace vestan
