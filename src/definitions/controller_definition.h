// The controller definition (.CTL): how NC programs are read (units,
// decimal point, dialect, axis letters, modal rules, cycle options, stop and
// rotary rules), the status bar's axis labels it sets, and its reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/controller_tables.h"
#include "definitions/definition_file.h"
#include "definitions/display_list_table.h"
#include "definitions/nc_modal_state.h"
#include "definitions/offset_memory.h"
#include "foundation/shared_value.h"

namespace vestan {

inline constexpr size_t kMaxControllerName = 20;

// Dialect codes of productCode.
inline constexpr int32_t kProductDefault = 0;
inline constexpr int32_t kProductOsp = 1;
inline constexpr int32_t kProductHeidenhain = 11;

// Rules of one rotary axis.
struct RotaryAxisRules {
  char Letter = ' ';         // blank: no such axis
  int8_t DirectionSign = 1;  // -1: ROTARY DIRECTION=REVERSE
  // ROUTE=SHORTEST: the switch as the file sets it (the running switch is in
  // ControllerMemory), and whether the file fixed it.
  std::array<uint8_t, 2> ShortestRoute{};
  int32_t RangeGiven = 0;
  double RangeMinimum = 0.0;
  double RangeMaximum = 0.0;
  // The reverse flag of its letter when that is A, B or C.
  int32_t Reverse = 0;

  friend bool operator==(const RotaryAxisRules&, const RotaryAxisRules&) = default;
};

// Incremental letter slots.
enum IncrementalLetter : size_t {
  kIncX = 0,
  kIncY,
  kIncZ,
  kIncRotary1,
  kIncRotary2,
  kIncI,
  kIncJ,
  kIncK,
};

struct ControllerDefinition {
  // Units and numbers. LengthDivisor is the reciprocal of the least length
  // increment (100, 1000 or 10000).
  int32_t LengthDivisor = 1000;
  double Tolerance = 0.0005;
  int32_t AngleDivisor = 1000;
  int32_t ScaleDivisor = 1000;
  // 0 NO, 1 YES, 2 other, 3 NORMAL.
  int32_t DecimalPointMode = 0;

  // Dialect.
  int32_t isMazak = 0;
  int32_t isSiemens = 0;
  int32_t isHeidenhain = 0;
  int32_t isOsp = 0;
  int32_t productCode = kProductDefault;
  int32_t TableCoordinate = 1;
  // What the interpreter's reset selects (1 = G54; 0 for OSP).
  int32_t WorkOffsetResetValue = 1;

  std::string Name;  // at most 20 characters
  // Text colour then background colour of the name, red, green, blue.
  std::array<int32_t, 6> NameColours{255, 0, 0, 255, 255, 0};

  // Modes.
  int32_t offsetMemoryType = 3;  // 1 A, 2 B, 3 C: below 2 one value per number
  int32_t G92Mode = 0;           // 1 MOVE
  int32_t G49Mode = 0;           // 1 KEEP
  int32_t G00Path = 0;           // 1 LINE
  int32_t G00Mode = 0;           // 0 and 9 no decomposition, 1 and 2 the decompositions
  int32_t OnlyG40 = 1;           // 1 OFFSET, 2 RESET
  int32_t ReturnLevel = 1;       // 0 R point, 1 initial point
  int32_t FeedrateMode = 0;      // 0 DIRECT, 1 INDIRECT, 2 AUTO1, 3 AUTO2
  int32_t LengthOffsetType = 0;  // 0 FANUC-A, 1 FANUC-B, 2 FANUC-C
  int32_t ConcaveArcFeed = 1;    // 0 KEEP
  // 0 none, 1 M00, 2 M00 and M01, 3 single block, 4 stop strings; the menu
  // switches it while a run reads it.
  SharedValue<int32_t> StopOption = 0;
  int32_t initialPlane = 17;
  int32_t CheckF0 = 0;
  int32_t CodeCheck = 0;
  int32_t CheckReverseArc = 0;
  float SmoothAngle = 0.0f;
  float RTolerance = 0.0f;
  int32_t WarningLevel = 1;
  double G73D = 0.1;
  double G83D = 0.1;
  // Clearance of G70-G89, indexed by the G number minus 70.
  std::array<double, 20> CycleClearance{};
  int32_t CycleL0Ignore = 0;
  int32_t CycleK0Ignore = 0;
  int32_t SpindleControl = 0;
  char SpindleControlLetter = ' ';
  std::array<double, 3> ScaleFactor{1.0, 1.0, 1.0};
  std::array<int32_t, 3> ScaleEffect{1, 1, 1};
  std::array<double, 3> ScaleCentre{0.1, 0.1, 0.1};
  double RotationAngle = 0.0;
  int32_t Wire = 0;
  std::array<int32_t, 2> Lathe{};
  int32_t ZcCoordinate = 0;
  int32_t AutoLengthOffset = 0;
  int32_t DCodeAuto = 0;
  int32_t HCodeAuto = 0;
  int32_t AutomaticToolOffset = 0;
  int32_t AutoLengthPosition = 0;  // 0 BOTTOM, 1 BALL-CENTER, 2 F-CENTER, 3 R-HEIGHT
  int32_t TclVectorInterpolation = 0;
  std::array<int32_t, 2> ToolCenterControl{};  // 0 NO, 1 TYPE1, 2 TYPE2 (kept twice)
  char EndOfRecordLetter = ' ';
  int32_t No60Bit = 0;
  std::array<double, 3> ViewCentre{};
  int32_t ViewCentreGiven = 0;
  int32_t ReplaceType = 1;

  // Letters. Program X, Y, Z; per machine axis slot (X, Y, Z of the
  // machine) the address letter that drives it and its arc-centre letter.
  std::array<char, 3> ProgramLetters{'X', 'Y', 'Z'};
  std::array<char, 3> AddressLetters{'X', 'Y', 'Z'};
  std::array<char, 3> ArcLetters{'I', 'J', 'K'};
  // Reverse flags of program X, Y, Z and of the letters A, B, C.
  std::array<int32_t, 3> ProgramReverse{};
  std::array<int32_t, 3> LetterReverseAbc{};
  std::array<RotaryAxisRules, 2> Rotary{};
  // 0: no incremental letter.
  std::array<char, 8> IncrementalLetters{};
  int32_t AngleDecision = 0;  // 1 FANUC-2

  // Derived by FinishControllerDefinition.
  PlaneMapping Planes;

  ControllerTables Tables;

  friend bool operator==(const ControllerDefinition&, const ControllerDefinition&) = default;
};

// The status bar's axis labels: a tab and the letter of program X, Y, Z,
// rotary 1 and rotary 2.
struct StatusAxisLabels {
  std::array<std::string, 5> Labels{"\tX", "\tY", "\tZ", "\t ", "\t "};
  void Set(size_t axis, char letter) { Labels[axis] = std::string{'\t', letter}; }

  friend bool operator==(const StatusAxisLabels&, const StatusAxisLabels&) = default;
};

// What a controller definition read writes besides the definition itself.
struct ControllerReadRecords {
  ControllerDefinition& Controller;
  OffsetMemory& Offsets;
  WatchedFile& File;
  NcPlaneState& Plane;
  SubprogramStack& Subprograms;
  StatusAxisLabels& AxisLabels;
  DisplayListTable& Display;
};

// Reads the controller definition file fileName from the defaults (its
// tables, the D and H offsets and the work offsets cleared; the F table
// kept). A missing file leaves the defaults with the state -1 and derives
// nothing. Otherwise every key is read, the wait files are deleted, the axis
// labels, rotary reverse flags, plane mapping, plane, tool-length axis and
// active work offset follow from it; the caller then brings the work offset
// frame up to date. Refused values are noted; unknown lines and words are
// ignored.
DefinitionReadResult ReadControllerDefinition(std::string_view fileName,
                                              const ControllerReadRecords& records);

// Derives the plane mapping from the address letters, program letters and
// program reverse flags.
void FinishControllerDefinition(ControllerDefinition& controller);

// The tool-length axis by the length offset type: FANUC-B the plane's normal
// axis, the others the machine axis of program Z.
void SelectToolLengthAxis(const ControllerDefinition& controller, NcPlaneState& plane);

// The dialect by the product code or the dialect key.
inline bool IsOspDialect(const ControllerDefinition& controller) {
  return controller.productCode == kProductOsp || controller.isOsp != 0;
}
inline bool IsHeidenhainDialect(const ControllerDefinition& controller) {
  return controller.productCode == kProductHeidenhain || controller.isHeidenhain != 0;
}

}  // namespace vestan
