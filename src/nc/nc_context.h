// The state one NC pass shares between the line reader, the block
// interpreter, the motion driver and whoever consumes the moves (the run, the
// data check, the path drawing): the current line, the subprogram levels,
// the modal state, the live move with its look-ahead copies and the process
// snapshots, grouped in one NcContext per pass; and the records of the
// definitions and the run that a pass reads and writes besides it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definitions.h"
#include "definitions/display_list_table.h"
#include "definitions/nc_modal_state.h"
#include "definitions/offset_memory.h"
#include "definitions/reader_links.h"
#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "machine/rotary_solution.h"
#include "model/current_tool.h"
#include "model/length_compensation.h"
#include "model/position_state.h"
#include "model/run_state.h"
#include "model/tool_profile.h"
#include "nc/block_end_state.h"
#include "nc/interpreter_state.h"
#include "nc/nurbs_curve.h"
#include "nc/run_control.h"
#include "nc/transform_state.h"
#include "platform/host.h"

namespace vestan {

// Bytes one NC line holds, its line end included.
inline constexpr size_t kNcLineCapacity = 1023;

struct NcLineBuffer {
  // The line; after a read it ends with one "\n".
  std::string Text;

  // Replaces the line; false and the buffer unchanged for a line longer than
  // kNcLineCapacity.
  bool Assign(std::string_view line) {
    if (line.size() > kNcLineCapacity) return false;
    Text.assign(line);
    return true;
  }
  std::string_view View() const { return Text; }
  int32_t Length() const { return static_cast<int32_t>(Text.size()); }
};

// The move handed to the run, the data check and the path drawing; the
// look-ahead copies have the same fields.
struct NcMove {
  int32_t SourceLine = 0;  // line that produced the move
  int32_t MotionMode = kMotionRapid;
  AxisPosition Start{};
  AxisPosition End{};
  Vec3 Centre{};       // arcs only
  Vec3 StartRadial{};  // (start - centre) / start radius, in the plane
  Vec3 EndRadial{};    // (end - centre) / end radius
  // In the offset stream of the look-ahead the offset radii and length.
  double StartRadius = 0.0;
  double EndRadius = 0.0;  // differs from the start radius on a spiral
  double ArcAngle = 0.0;
  double Length = 0.0;
  double Feed = 0.0;
  // Kept only while a coordinate rotation is in force.
  Vec3 RotationAxis{};
  Vec3 RotatedRadial{};
  // Kept only in tool-vector mode with a lead angle, a tilt angle or a
  // tool-axis interpolation.
  Vec3 ToolAxisStart{};
  Vec3 ToolAxisEnd{};
  int32_t CuttingEnabled = 1;  // 0: the move removes nothing
  // The block ends the coordinate rotation (G69): its block end does, so
  // that moves read before it and finished after it stay turned.
  int32_t EndsRotation = 0;
  int32_t EndsRotationWords = 0;  // bit i: axis i (X, Y, Z) given in that block
  int32_t ToolAxisInterpolation = 0;
  double LeadAngle = 0.0;
  int32_t TiltKind = 0;
  double TiltAngle = 0.0;
};

// The moves cutter-radius compensation looks at: two as programmed, three as
// displaced by the radius offset.
struct LookAheadMoves {
  NcMove ProgramPrevious;
  NcMove ProgramCurrent;
  NcMove OffsetPrevious;
  NcMove OffsetCurrent;
  NcMove OffsetNext;
};

inline constexpr int32_t kNoCannedCycle = 80;
inline constexpr int32_t kNoTool = -1;
// Tool-axis modes: off, rotary angles given (G43.4), tool vector given (G43.5).
inline constexpr int32_t kToolAxisOff = 0;
inline constexpr int32_t kToolAxisAngles = 1;
inline constexpr int32_t kToolAxisVector = 2;

// End states of the program.
inline constexpr int32_t kEndRunning = 0;
inline constexpr int32_t kEndReached = 1;  // no more lines
inline constexpr int32_t kEndHandled = 2;

// Alarm codes; any code above 0 ends a run.
inline constexpr int32_t kAlarmNone = 0;
inline constexpr int32_t kAlarmArcRadii = 1;  // start and end radius differ
inline constexpr int32_t kAlarmInterpreter = 2;
inline constexpr int32_t kAlarmNoStartCode = 3;   // data check
inline constexpr int32_t kAlarmCharacter = 4;     // a character not allowed
inline constexpr int32_t kAlarmTwoPoints = 5;     // two decimal points in one word
inline constexpr int32_t kAlarmRadiusOffset = 6;  // offset larger than an arc radius
inline constexpr int32_t kAlarmRotaryLock = 8;    // and 9: the run's rotary-lock checks
inline constexpr int32_t kAlarmRotaryUnlock = 9;
// The run refuses a move of more interpolation steps than it can take, or a
// move pitch of 0 or less.
inline constexpr int32_t kAlarmMoveSteps = 10;
// A NURBS curve that cannot be held or evaluated: an order outside 1 to 16,
// more points or knots than the buffers hold, a weight of 0 or less, a
// point whose weighted basis sums to 0.
inline constexpr int32_t kAlarmNurbsData = 11;

// Canned-cycle point arrays: their first and their largest capacity.
inline constexpr size_t kCyclePointCapacity = 1000;
inline constexpr size_t kMaxCyclePointCapacity = 50000;

// What the NC-comment plug-in delivered this run, per kind: above 0 data,
// 2 "do not call again".
struct CommentPluginStatus {
  int32_t Tool = 0;
  int32_t ToolLength = 0;
  int32_t Arbor = 0;
};

// The interpreter's modal state. The composed work offset and the number in
// force are the offset memory's.
struct NcModalState {
  // The motion mode in force (0 G00, 1-3 G01-G03, 0x84 NURBS) and the NC
  // cutting switch (the controller's OFF/ON CODE M codes). Each move carries
  // its own copies: with blocks read ahead these are already the later
  // blocks'.
  int32_t MotionMode = kMotionRapid;
  int32_t CuttingEnabled = 1;

  // Plane and tool-length axis; the controller definition's reader sets them
  // too.
  NcPlaneState Plane;
  int32_t PlaneCodeAtStart = 17;
  // Ends of moves the interpreter queued; a machine definition read drops
  // them.
  PendingMoveEnds PendingEnds;
  // The length in force (PreviousToolLength), the tool-length vector and the
  // length-offset flags; a tool change reads and writes them.
  LengthCompensationState Length;
  // The tool in the spindle and the next tool (kNoTool none); a tool table
  // read sets them too.
  NcToolNumbers Tools;

  // Motion.
  int32_t LastGCode = 0;   // 353 for G353 and so on
  int32_t LastMCode = -1;  // -1 before the first
  int32_t MoveExists = 0;  // the block moves at least one axis
  int32_t CannedCycle = kNoCannedCycle;
  int32_t HeidenhainCycle = kNoCannedCycle;
  int32_t DecimalPointMode = 0;
  int32_t ReturnLevel = 1;  // 0 R point (G99), 1 initial point (G98)
  int32_t LatheMode = 0;
  double Feed = 0.0;
  // Spindle: 1 after M03, -1 after M04, 0 after M05; the S word's speed.
  int32_t SpindleState = 0;
  double SpindleSpeed = 0.0;

  // Tool.
  int32_t BlockTool = 0;           // the tool number of the block
  int32_t LengthOffsetNumber = 0;  // H in force
  // A second copy of the length in force, set together with it.
  double ToolLengthCopy = 0.0;
  // The wear a BOTTOM tool point books with the length; 0 after a reset.
  float ProgramLengthWear = 0.0f;
  double RadiusOffset = 0.0;  // signed: the side of the path; 0 none
  int32_t ToolChangeState = -1;
  int32_t ToolAxisMode = kToolAxisOff;
  int32_t ToolAxisInterpolation = 0;
  // Keeps a MAZAK tool-length vector tilting with B.
  int32_t ToolAxisOverride = 0;
  double LeadAngle = 0.0;
  double TiltAngle = 0.0;
  Vec3 ToolAxisNormal{};  // the two tool-axis vectors' cross product

  // Work offsets at the start of the run, and the OSP rotation's transform
  // per work offset.
  WorkOffsetValues WorkOffsetAtStart{};
  int32_t SelectedWorkOffsetAtStart = 0;
  std::vector<WorkOffsetValues> WorkOffsetsAtStart =
      std::vector<WorkOffsetValues>(kWorkOffsetEntries, WorkOffsetValues{});
  std::vector<WorkOffsetValues> WorkOffsetTransforms =
      std::vector<WorkOffsetValues>(kWorkOffsetEntries, WorkOffsetValues{});

  // Positioning: 0 absolute (G90), 1 incremental (G91).
  int32_t PositioningMode = 0;
  // A plain G53 block (1), or a HEIDENHAIN line with M91 or M92 (91, 92),
  // positions in machine coordinates; the motion driver's
  // reference return is at stage kReferencePointReached at a reference point.
  int32_t MachineCoordinates = 0;
  int32_t ReferenceReturnStage = 0;
  // Tool-tip control length: moves derived from the machine position lose
  // the length in force on the tool-length axis.
  int32_t ToolTipLength = 0;

  // Coordinate transformations and interpolation forms.
  ScalingState Scaling;
  CoordinateRotation Rotation;
  TiltedPlaneState TiltedPlane;
  TiltedPlaneParams Swivel;
  PolarState Polar;
  CylindricalState Cylindrical;

  // HEIDENHAIN TOOL CALL: the length and radius deltas.
  double ToolCallDeltaLength = 0.0;
  double ToolCallDeltaRadius = 0.0;

  // Coordinate rotation or tilted plane: 0 none, above 0 in force.
  int32_t TransformState = 0;
  double RotationAngle = 0.0;
  double RotationCos = 1.0;
  double RotationSin = 0.0;
  int32_t WorkCoordinateDisplay = 1;

  // Program positions of the interpreter and of the path drawing.
  AxisPosition ProgramPosition{};
  AxisPosition DrawPosition{};

  // Counters.
  uint32_t MainLineCounter = 0;  // lines read from the main program
  int32_t BlockLine = 0;         // source line of the block being interpreted
  int32_t ShownLine = 0;
  int32_t CycleMoveCount = 0;
  int32_t OffsetMoveCount = 0;

  // Run state.
  int32_t EndState = kEndRunning;
  int32_t AlarmCode = kAlarmNone;
  std::array<int32_t, 4> ReportCounters{};  // alarm and interference reports
  // 0 while waiting for the program-start character.
  int32_t ProgramStarted = 1;
  // A start character was met inside a subprogram level.
  int32_t SubprogramEnd = 0;

  CommentPluginStatus CommentPlugin;
  // Canned-cycle points: the motion mode and a value per point.
  std::vector<int32_t> CyclePointModes;
  std::vector<double> CyclePointValues;

  // The block interpreter's words, shifts, code tables and dialect records.
  InterpreterState Interp;
};

// One pass's NC state. The run, the data check and the path drawing each
// build their own; Run is the cutting state of the move the pass handed out
// last.
struct NcContext {
  explicit NcContext(RunState& run) : Run(run) {}
  NcContext(const NcContext&) = delete;
  NcContext& operator=(const NcContext&) = delete;

  RunState& Run;
  NcLineBuffer Line;
  SubprogramStack Subprograms;
  NcModalState Modal;
  NcMove Move;  // the live move
  LookAheadMoves LookAhead;
  ProcessSnapshotTable Snapshots;
  // Where the pass has the machine: program, machine, tool tip and axis.
  MachinePositionState Position;
  // What the rotary solutions keep from one to the next.
  RotarySolveContext RotarySolve;
  // The block end positions FinishMove leaves.
  BlockEndState BlockEnd;
  // The curve of the last G6.2 block.
  NurbsCurve Nurbs;
};

// What a pass reads and writes besides its context.
struct NcPassRecords {
  // Settings (start position, tool length mode), controller, tools,
  // machine: read only.
  const Definitions& Defs;
  // The offset memory and the rotary route switches the program changes:
  // the application's own for a run, a copy for a pass that must leave them
  // as they are.
  ControllerMemory& Memory;
  // The tool table's no-tool entry (tool 0), which a reset clears and a
  // read or NC-comment plug-in fills, and the start position a read plug-in
  // gives: the application's own in every pass (the same records as Defs').
  ToolTable& Tools;
  AxisPosition& StartPosition;
  // The frame of the composed work offset; model files are loaded into and
  // saved in it.
  WorkOffsetFrame& Frame;
  DisplayListTable& Display;
  const CurrentTool& Tool;
  const ToolProfile& Profile;
  // The reader takes back the line held at a stop and clears the one-shot
  // stop.
  RunControl& Control;
  Host& Shell;
  // The read plug-in that supplies the program (0 to 2); -1 none.
  int32_t ActiveReadPlugin = -1;
  // Subprogram calls, plug-in records, NURBS and comments; none when null.
  const BlockInterpreterHooks* BlockHooks = nullptr;
};

// Number of the line being read: the innermost subprogram level's counter,
// else the main line counter.
int32_t CurrentLineNumber(const NcContext& context);

}  // namespace vestan
