// The move trace of an NC program: a pass reset, then NextNcMove and
// FinishMove until the program ends, one line per move that moves (motion
// mode, start, end, arc centre, angle and length, feed; "%.4f"), for golden
// traces.
#pragma once

#include <string>
#include <vector>

#include "nc/block_end.h"
#include "nc/block_trace.h"
#include "nc/motion_driver.h"
#include "nc/nc_reader_pass.h"
#include "support/scratch_folder.h"

namespace vestan::testing {

inline std::string FormatMoveTrace(const NcContext& context) {
  const NcMove& move = context.Move;
  const BlockEndState& end = context.BlockEnd;
  std::string out;
  AppendInt(out, "mm=", move.MotionMode);
  AppendTuple(out, " s=", std::array<double, 3>{end.Previous[0], end.Previous[1], end.Previous[2]});
  AppendTuple(out, " e=", std::array<double, 3>{end.Current[0], end.Current[1], end.Current[2]});
  if (IsArcMotion(move.MotionMode)) {
    AppendTuple(out, " c=", move.Centre);
    AppendNumber(out, " ang=", move.ArcAngle);
    AppendNumber(out, " len=", move.Length);
  }
  AppendNumber(out, " F=", move.Feed);
  return out;
}

struct MotionPass : NcReaderPass {
  using NcReaderPass::NcReaderPass;

  // Runs the program text to its end (or an alarm) and returns the trace.
  std::vector<std::string> Trace(const std::string& text) {
    ScratchFolder folder;
    Start(folder.Write("prog.nc", text));
    ResetMotionDriver(Driver);
    NcContext& context = World->Context;
    if (!Driver.RadiusOffsetInterference)
      Driver.RadiusOffsetInterference = [this](const NcContext&, double radius) {
        Interferences.push_back(radius);
      };
    std::vector<std::string> lines;
    for (int guard = 0; guard < 10000; ++guard) {
      NextNcMove(context, World->Records, Reader, Driver);
      if (Modal().AlarmCode != kAlarmNone) break;
      const bool moves = Modal().MoveExists != 0;
      FinishMove(context, World->Records);
      if (moves) lines.push_back(FormatMoveTrace(context));
      if (Modal().EndState == kEndHandled) break;
    }
    return lines;
  }

  MotionDriver Driver;
  std::vector<double> Interferences;
};

}  // namespace vestan::testing
