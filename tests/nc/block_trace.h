// One trace line of the interpreter's state after a block: the modal state
// and the live move, every number printed with "%.4f", for table tests and
// golden traces.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "nc/block_interpreter.h"
#include "nc/nc_context.h"

namespace vestan::testing {

inline void AppendFormat(std::string& out, const char* format, double a) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a);
  out += buffer;
}

inline void AppendInt(std::string& out, const char* name, int32_t value) {
  out += name;
  out += std::to_string(value);
}

inline void AppendNumber(std::string& out, const char* name, double value) {
  out += name;
  AppendFormat(out, "%.4f", value);
}

template <typename Values>
void AppendTuple(std::string& out, const char* name, const Values& values) {
  out += name;
  out += '(';
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    AppendFormat(out, "%.4f", values[i]);
  }
  out += ')';
}

// mm motion, G/M last codes, pl plane, inc G91, wo work offset in force,
// T block tool/next tool, D and H numbers, los length-offset state, side
// compensation side, len tool length in force, rad radius offset, F feed,
// S spindle, cyc cycle mode, R/Q cycle words, K repeat, ax axis-given
// flags, end and ctr the move's end and centre, ang/arc the arc angle and
// length, r the radii, mis the radius mismatch, es the end state.
inline std::string FormatBlockTrace(const NcContext& context, const OffsetMemory& offsets) {
  const NcModalState& m = context.Modal;
  const InterpreterState& in = m.Interp;
  const NcMove& move = context.Move;
  std::string out;
  out.reserve(320);
  AppendInt(out, "mm=", move.MotionMode);
  AppendInt(out, " G=", m.LastGCode);
  AppendInt(out, " M=", m.LastMCode);
  AppendInt(out, " pl=", m.Plane.PlaneCode);
  AppendInt(out, " inc=", m.PositioningMode);
  AppendInt(out, " wo=", offsets.SelectedWorkOffset);
  AppendInt(out, " T=", m.BlockTool);
  AppendInt(out, "/", m.Tools.NextToolNumber);
  AppendInt(out, " D=", in.RadiusOffsetNumber);
  AppendInt(out, " H=", m.LengthOffsetNumber);
  AppendInt(out, " los=", m.Length.LengthCompensationActive);
  AppendInt(out, " side=", in.RadiusCompensationSide);
  AppendNumber(out, " len=", m.Length.PreviousToolLength);
  AppendNumber(out, " rad=", m.RadiusOffset);
  AppendNumber(out, " F=", move.Feed);
  AppendInt(out, " S=", in.SpindleWord);
  AppendInt(out, " cyc=", m.CannedCycle);
  AppendNumber(out, " R=", in.CycleRPoint);
  AppendNumber(out, " Q=", in.CycleQ);
  AppendInt(out, " K=", in.RepeatCount);
  out += " ax=";
  for (const int32_t given : in.AxisGiven) out += given != 0 ? '1' : '0';
  AppendTuple(out, " end=", move.End);
  AppendTuple(out, " ctr=", move.Centre);
  AppendNumber(out, " ang=", move.ArcAngle);
  AppendNumber(out, " arc=", move.Length);
  AppendNumber(out, " r=", move.StartRadius);
  AppendNumber(out, "/", move.EndRadius);
  AppendInt(out, " mis=", in.RadiusMismatch);
  AppendInt(out, " es=", m.EndState);
  return out;
}

// Interprets each line (a "\n" is added) and returns the trace after each.
inline std::vector<std::string> InterpretBlocks(NcContext& context, const NcPassRecords& records,
                                                const std::vector<std::string_view>& lines) {
  std::vector<std::string> traces;
  for (const std::string_view line : lines) {
    context.Line.Assign(std::string(line) + "\n");
    InterpretNcBlock(context, records);
    traces.push_back(FormatBlockTrace(context, records.Memory.Offsets));
  }
  return traces;
}

}  // namespace vestan::testing
