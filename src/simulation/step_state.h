// The run's per-step state that lives from move to move, the ways a move
// ends the run, and what the run asks of the display.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "model/position_state.h"

namespace vestan {

// The most interpolation steps one move (or one NURBS span, or one turning
// revolution) may take; a move needing more ends the run with
// kAlarmMoveSteps.
inline constexpr int64_t kMaxStepsPerMove = 100'000'000;

// Why the run ends after a move; kNone: the next move follows.
enum class MoveEnd {
  kNone,
  kAlarm,        // the interpreter's alarm code (rotary lock, step count, NURBS data)
  kOverStroke,   // MoveStepState::OverStrokeAxis passed its stroke
  kStopHit,      // a stop-class interference broke the run off
  kCuttingLoad,  // a cutting-load limit of kind 1 or 2 was exceeded
  kAbort,        // the shell's abort
};

// What lives from move to move within one pass of the run.
struct MoveStepState {
  // The rotary radii at the start and at the end of the move: the end radii
  // of one move are the start radii of the next.
  std::array<double, 2> StartRadii{1.0, 1.0};
  std::array<double, 2> EndRadii{1.0, 1.0};
  // Where the machine stood when the move began.
  AxisPosition MachineStart{};
  // The line counter at the last redraw of skip cutting.
  int64_t LastSkipRedrawLine = 0;
  // The coordinate modes as the previous block left them: their changes are
  // the transitions the special blocks handle.
  int32_t PolarBefore = 0;
  int32_t CylindricalBefore = 0;
  // The cylinder's divisor while cylindrical interpolation was on: the block
  // that ends it clears the interpreter's.
  double CylinderDivisor = 0.0;
  int32_t ToolAxisModeBefore = 0;

  // What the last move found.
  int64_t Steps = 0;  // of the move (NURBS: of the last span)
  int32_t OverStrokeAxis = -1;
  char OverStrokeLetter = ' ';
  int32_t CuttingLoadAlarm = 0;
  int32_t BlockAlarm = 0;  // a step of the block raised an alarm
  MoveEnd End = MoveEnd::kNone;

  // Tests read the poses here: per step "%.4f" tip X Y Z, axis X Y Z and
  // StepStatus; none: nothing is written.
  std::string* PoseTrace = nullptr;
};

// What the run asks of the display; the display fills it. Without a window
// nothing is painted and no redraw is waited for.
struct RunViewHooks {
  int32_t Window = 0;
  int32_t MultiProgram = 0;  // several programs in one run
  // The position and status panes at a step (0 at a jump).
  std::function<void(int32_t step)> PaintStatusPosition;
  std::function<void()> DrawStatusTexts;
};

}  // namespace vestan
