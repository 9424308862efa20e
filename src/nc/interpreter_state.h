// The block interpreter's own modal and per-block state: positioning and
// reference returns, the arc and axis words of the block, compensation
// numbers, G92 and G52 shifts, the code-used tables, the user code flags,
// and the dialects' records (HEIDENHAIN cycle slots and polar circles, the
// SIEMENS CYCLE800 arguments, the OSP work-offset call).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/vector_math.h"
#include "model/position_state.h"

namespace vestan {

struct NcContext;
struct NcPassRecords;
struct PluginPathRecord;

// Codes the code-used tables record.
inline constexpr int32_t kCodeTableSize = 200;

// Reference-return modes of a block.
inline constexpr int32_t kReferenceNone = 0;
inline constexpr int32_t kReferenceReturn = 1;  // G28, G30
// From the reference point through the intermediate point to the target.
inline constexpr int32_t kReturnFromReference = 2;
inline constexpr int32_t kReferenceCheck = 3;   // G27

// Arc forms.
inline constexpr int32_t kArcByCentre = 1;
inline constexpr int32_t kArcByRadius = 2;

// HEIDENHAIN cycle parameters kept by number: Q200 and the 99 after it.
inline constexpr int32_t kFirstCycleParameter = 200;
inline constexpr size_t kCycleParameterCount = 100;

// The SIEMENS CYCLE800 arguments as written.
struct Cycle800Record {
  int32_t RetractMode = 0;
  std::string CarrierName;
  std::array<int32_t, 6> SwivelDigits{};  // hundred-thousands first
  int32_t Mode = 0;
  // X0, Y0, Z0, A, B, C, X1, Y1, Z1.
  std::array<double, 9> Values{};
  int32_t Direction = 0;
  int32_t LastInteger = 0;
};

// The arguments of the OSP work-offset conversion call ("CALL OO88").
struct OspCallArgs {
  int32_t Source = 0;          // PH
  int32_t Target = 0;          // PP
  double AngleA = 0.0;         // PA
  double AngleB = 0.0;         // PB
  double TargetRotary1 = 0.0;  // PCA
  double TargetRotary2 = 0.0;  // PCB
  double TargetThird = 0.0;    // PCC
  double TargetC = 0.0;        // PC followed by another letter
  Vec3 Shift{};                // PX, PY, PZ
};

// A work-offset change met while compensation is on: the new composed work
// offset the motion driver takes into force with the first move in the new
// coordinates, and the old one, under which the moves programmed before the
// change still run. The changed block's own move is in the new coordinates.
struct CompensatedOffsetChange {
  int32_t Pending = 0;
  AxisPosition New{};
  AxisPosition Old{};
};

struct InterpreterState {
  // Positioning mode copied when a canned cycle is called.
  int32_t CyclePositioningMode = 0;

  // Per block: axis words given (X, Y, Z, rotary 1, rotary 2) and any of them.
  std::array<int32_t, 5> AxisGiven{};
  int32_t AnyAxisGiven = 0;
  // Per block: I, J, K and whether and how an arc was given.
  Vec3 CentreWords{};
  int32_t CentreGiven = 0;
  int32_t ArcForm = 0;
  double ArcRadius = 0.0;
  int32_t ArcSeen = 0;
  int32_t RadiusMismatch = 0;  // |r1 - r2| reached R-TOLERANCE

  // Reference returns (per block) and the G30 point number; the axes named
  // in the block move to the intermediate point, and returning from the
  // reference point then on to the target point.
  int32_t ReferenceReturnMode = kReferenceNone;
  int32_t ReferencePointNumber = 0;
  AxisPosition IntermediatePoint{};
  std::array<int32_t, 5> IntermediateGiven{};
  AxisPosition TargetPoint{};

  // Compensation: +1 left (G41), -1 right (G42), 0 off; the D number. The
  // length-offset state (1 G43, -1 G44, 0 G49) is the length compensation's
  // flag, the H number the modal state's.
  int32_t RadiusCompensationSide = 0;
  int32_t CompensationStart = 0;
  int32_t RadiusOffsetNumber = 0;
  int32_t CornerArc = 0;  // G39
  CompensatedOffsetChange OffsetChange;

  // X words halved (MAZAK G123.1, OSP).
  int32_t DiameterMode = 0;

  // Dwell, repeat and cycle words.
  int32_t DwellFlag = 0;
  double DwellTime = 0.0;
  int32_t RepeatCount = 1;
  double CycleRPoint = 0.0;
  double CycleQ = 0.0;
  // The cycle's depth on the plane's normal axis, modal: the level itself in
  // absolute mode, the word as written (from R) in incremental mode.
  double CycleDepth = 0.0;
  // Per block: the block starts a cycle (a cycle code, or a HEIDENHAIN cycle
  // call); the initial level is taken there.
  int32_t CycleStarted = 0;
  int32_t SequenceNumber = 0;
  int32_t ProgramNumber = 0;

  // Spindle: the S word; after M29 the next S is the rigid-tapping speed.
  int32_t SpindleWord = 0;
  int32_t RigidTapping = 0;
  double RigidTappingSpeed = 0.0;
  double TappingPitch = 0.0;

  // The last F word.
  double FeedCopy = 0.0;
  int32_t ToolSeen = 0;

  // Codes 0-199 seen while the controller's code check is on.
  std::array<uint8_t, kCodeTableSize> GCodeUsed{};
  std::array<uint8_t, kCodeTableSize> MCodeUsed{};

  // User code flags.
  std::array<int32_t, 2> LatheModes{};
  int32_t CutStateChanged = 0;
  std::array<int32_t, 2> RotaryLocked{};

  // G92 shift, the first G92's values and whether one was recorded; the G52
  // local shift of the work offset in force.
  AxisPosition G92Shift{};
  AxisPosition G92Reference{};
  int32_t G92Recorded = 0;
  AxisPosition LocalShift{};
  // The work-offset shift: 1 while the run is to take the program position
  // afresh from the machine position, 2 once it is over; with its amount.
  int32_t WorkOffsetShiftState = 0;
  double WorkOffsetShiftAmount = 0.0;

  // Tilt angle and kind at the start of the move.
  double TiltAngleAtStart = 0.0;
  int32_t TiltKindAtStart = 0;
  int32_t TiltKind = 0;

  // SIEMENS orientation convention and the block's orientation words.
  int32_t OrientationConvention = 0;
  int32_t OrientationForm = 0;  // 0 none, 1 angles (A2=...), 2 vector (A3=...)
  Vec3 OrientationValues{};

  // HEIDENHAIN: cycle parameter slots 1-5 (index 0 unused), the cycle-block
  // flag; the pole, polar radius and angle and their flags.
  std::array<double, 6> CycleSlots{};
  // The cycle parameters Q200 to Q299 by number, as the cycle definition
  // assigned them.
  std::array<double, kCycleParameterCount> CycleParameters{};
  // Parameter Q number; 0 for one never assigned or outside the table.
  double CycleParameter(int32_t number) const {
    const int64_t i = int64_t{number} - kFirstCycleParameter;
    return i >= 0 && i < static_cast<int64_t>(CycleParameters.size())
               ? CycleParameters[static_cast<size_t>(i)]
               : 0.0;
  }
  int32_t CycleBlockFlag = 0;
  Vec3 CircleCentre{};
  int32_t CircleCentreGiven = 0;
  int32_t PolarGiven = 0;
  double PolarRadius = 0.0;
  double PolarAngle = 0.0;

  // OSP: the W target, G15 selection, the cylinder flag, the call record.
  int32_t OspTargetWorkOffset = 0;
  int32_t OspG15Selection = 0;
  int32_t OspCylinder = 0;
  int32_t OspPlaneRotation = 0;  // G11 .. G10
  // The plane's axes when G11 started the plane-rotation mode: a rotation
  // started in that mode turns in them.
  std::array<int32_t, 3> OspRotationPlaneAxes{0, 1, 2};
  OspCallArgs OspCall;

  Cycle800Record Cycle800;
};

// Where a subprogram call comes from.
enum class SubprogramCallKind : int32_t {
  kByName,          // M98 <NAME>, HEIDENHAIN CALL PGM, OSP CALL name
  kByNumberMemory,  // M98 P n, OSP CALL O n
  kByNumberFile,    // M198 P n
};

struct SubprogramCall {
  SubprogramCallKind Kind = SubprogramCallKind::kByName;
  std::string_view Name;
  int32_t Number = 0;
};

// The interpreter's seams to the line reading and the read plug-in, filled
// by whoever owns them. An empty hook does nothing (a call is ignored, no
// plug-in record is taken).
struct BlockInterpreterHooks {
  // Pushes a level; the interpreter has checked that fewer than the
  // maximum are open.
  std::function<void(NcContext&, const NcPassRecords&, const SubprogramCall&)> CallSubprogram;
  // Leaves the innermost level; called only at a depth above 0.
  std::function<void(NcContext&, const NcPassRecords&)> ReturnFromSubprogram;
  // The active read plug-in's next path record; false when none came.
  std::function<bool(NcContext&, PluginPathRecord&)> NextPluginRecord;
  // G6.2 and G132: the NURBS blocks from offset in the current line (where
  // the words after the G code begin) on.
  std::function<void(NcContext&, const NcPassRecords&, size_t offset, char knotLetter)>
      ReadNurbsBlocks;
  // The NC-comment plug-in's view of a comment.
  std::function<void(NcContext&, const NcPassRecords&, std::string_view comment)> SeeComment;
};

}  // namespace vestan
