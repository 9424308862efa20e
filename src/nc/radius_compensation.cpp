#include "nc/radius_compensation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/single_precision.h"
#include "machine/work_offset_frame.h"
#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"
#include "nc/path_intersection.h"

namespace vestan {
namespace {

// Gaps of an inner corner up to this are joined without an alarm.
constexpr double kInterferenceGap = 0.01;
// Offset ends closer than this (summed over the plane axes) meet.
constexpr double kCornerClosed = 0.001;

struct PlaneAxes {
  size_t A, B, N;
};

PlaneAxes Axes(const NcModalState& modal) {
  const std::array<int32_t, 3>& a = modal.Plane.PlaneAxes;
  return {static_cast<size_t>(a[0]), static_cast<size_t>(a[1]), static_cast<size_t>(a[2])};
}

// A block that leaves the tool where it is in the plane is no plane move,
// whatever motion code is modal; a full circle goes round.
bool MovesInPlane(const NcMove& move, const PlaneAxes& p) {
  return move.Start[p.A] != move.End[p.A] || move.Start[p.B] != move.End[p.B] ||
         (IsArcMotion(move.MotionMode) && move.Length > 0.0);
}

// The tangent at the end (atEnd) or the start of a programmed move.
std::array<double, 2> Tangent(const NcMove& move, const PlaneAxes& p, bool atEnd) {
  if (!IsArcMotion(move.MotionMode))
    return {move.End[p.A] - move.Start[p.A], move.End[p.B] - move.Start[p.B]};
  const Vec3& radial = atEnd ? move.EndRadial : move.StartRadial;
  if (move.MotionMode == kMotionCounterClockwise) return {-radial[p.B], radial[p.A]};
  return {radial[p.B], -radial[p.A]};
}

Vec3 Plane3(const AxisPosition& p) { return {p[0], p[1], p[2]}; }

// An offset record as a path element, with the programmed move's motion and
// centre (an offset arc keeps its centre).
PathElement Element(const NcMove& offset, const NcMove& programmed) {
  return {programmed.MotionMode, Plane3(offset.Start), Plane3(offset.End), programmed.Centre,
          offset.StartRadius};
}

enum class Collected {
  kPlaneBlock,     // the live move is the next block that moves in the plane
  kProgramEnded,   // no such block came
  kOffsetChanged,  // the live block changed the work offset
};

// Queues the blocks that do not move in the plane (their normal-axis moves
// and tool-axis changes) until one does, or one changes the work offset.
Collected CollectNonPlaneBlocks(NcContext& context, const NcPassRecords& records,
                                NcReader& reader, MotionDriver& driver, bool readFirst) {
  NcModalState& modal = context.Modal;
  const PlaneAxes p = Axes(modal);
  for (bool read = readFirst;; read = true) {
    if (read) {
      // Nothing after the program's end (M02, M30, END PGM) is read ahead.
      if (modal.EndState != kEndRunning) return Collected::kProgramEnded;
      if (ReadNcLine(context, records, reader) != 1) return Collected::kProgramEnded;
      if (IsProgramStartMark(context.Line.View(), records.Defs.Controller.EndOfRecordLetter))
        return Collected::kProgramEnded;
      InterpretNcBlock(context, records);
    }
    if (modal.Interp.CornerArc != 0) {
      driver.CornerArcRequest = 1;
      modal.Interp.CornerArc = 0;
    }
    if (modal.Interp.CompensationStart == 0) driver.Phase = kCompensationCancelling;
    if (modal.Interp.OffsetChange.Pending != 0)
      return Collected::kOffsetChanged;
    const NcMove& move = context.Move;
    if (MovesInPlane(move, p)) return Collected::kPlaneBlock;
    if (driver.Phase == kCompensationCancelling && records.Defs.Controller.OnlyG40 == 2)
      return Collected::kPlaneBlock;
    if (move.End[p.N] != move.Start[p.N])
      driver.NormalMoves.emplace_back(move.End[p.N], move.MotionMode);
    if (modal.ToolAxisInterpolation != 0)
      driver.ToolAxisChanges.emplace_back(move.ToolAxisStart, move.ToolAxisEnd);
  }
}

// An arc record's end (atEnd) or start radial vector and radius from its
// centre.
void RecomputeRadial(NcMove& move, const PlaneAxes& p, bool atEnd) {
  const AxisPosition& at = atEnd ? move.End : move.Start;
  const double da = at[p.A] - move.Centre[p.A], db = at[p.B] - move.Centre[p.B];
  const double r = std::hypot(da, db);
  Vec3& radial = atEnd ? move.EndRadial : move.StartRadial;
  radial = {};
  if (r > 0.0) radial[p.A] = da / r, radial[p.B] = db / r;
  (atEnd ? move.EndRadius : move.StartRadius) = r;
}

// After a work-offset change the current offset record starts where the
// previous offset move ends, in the new coordinates; a block that does not
// move in the plane also ends there.
void LeaveFromPreviousOffsetEnd(NcContext& context, const PlaneAxes& p) {
  const CompensatedOffsetChange& change = context.Modal.Interp.OffsetChange;
  LookAheadMoves& ahead = context.LookAhead;
  NcMove& current = ahead.OffsetCurrent;
  const bool moves = MovesInPlane(ahead.ProgramCurrent, p);
  for (const size_t i : {p.A, p.B}) {
    current.Start[i] = ahead.OffsetPrevious.End[i] + change.Old[i] - change.New[i];
    if (!moves) current.End[i] = current.Start[i];
  }
  if (moves && IsArcMotion(current.MotionMode)) RecomputeRadial(current, p, false);
}

// A work-offset change ended the look-ahead at the live block: the previous
// offset move is the result, without a corner and under the old offset.
void EndAtOffsetChange(NcContext& context, const NcPassRecords& records,
                       const MotionDriver& driver, const PlaneAxes& p) {
  ComputeOffsetCorner(context, records, driver.Phase);
  ShiftLookAheadMoves(context);
  LeaveFromPreviousOffsetEnd(context, p);
  RestorePreviousOffsetMove(context);
  ApplyWorkOffsetChange(context, records, OffsetChangeUse::kOld);
  context.Modal.MoveExists = 1;
}

void QueueOuterCorner(NcContext& context, MotionDriver& driver, const PlaneAxes& p) {
  const LookAheadMoves& ahead = context.LookAhead;
  const double r = context.Modal.RadiusOffset;
  const int32_t direction = r > 0.0 ? kMotionClockwise : kMotionCounterClockwise;
  const Vec3 corner = Plane3(ahead.ProgramPrevious.End);
  const Vec3 target = Plane3(ahead.OffsetCurrent.Start);
  driver.Points.clear();
  driver.PointIndex = 0;
  if (driver.CornerArcRequest != 0) {
    driver.Points.push_back({direction, target});
    driver.ArcCentre = corner;
    driver.CornerArcRequest = 0;
    return;
  }
  ComputeOuterCornerPoints(direction, Plane3(ahead.OffsetPrevious.End), target, corner, r,
                           static_cast<int32_t>(p.A), static_cast<int32_t>(p.B), driver.Points);
  if (!driver.NormalMoves.empty())
    for (QueuedPoint& point : driver.Points) point.Position[p.N] = driver.NormalMoves.back().first;
}

// An arc record cut at parameter t: the part before (keepStart) or after.
void CutArc(NcMove& move, double t, bool keepStart) {
  const double kept = keepStart ? t : 1.0 - t;
  move.ArcAngle *= kept;
  move.Length *= kept;
}

void TrimInnerCorner(NcContext& context, const NcPassRecords& records, MotionDriver& driver,
                     const PlaneAxes& p) {
  LookAheadMoves& ahead = context.LookAhead;
  NcMove& previous = ahead.OffsetPrevious;
  NcMove& current = ahead.OffsetCurrent;
  const int32_t unit = records.Defs.Controller.LengthDivisor;
  const auto same = [unit](double a, double b) { return ToUnitInt(a, unit) == ToUnitInt(b, unit); };
  if (same(previous.End[p.A], current.Start[p.A]) && same(previous.End[p.B], current.Start[p.B])) {
    RestorePreviousOffsetMove(context);
    return;
  }
  NcMove& programPrevious = ahead.ProgramPrevious;
  NcMove& programCurrent = ahead.ProgramCurrent;
  const PathElement first = Element(previous, programPrevious);
  const PathElement second = Element(current, programCurrent);
  const PathIntersections cut =
      IntersectPathElements(first, second, static_cast<int32_t>(p.A), static_cast<int32_t>(p.B));
  if (cut.Count == 1 && cut.Status == kIntersectionUsable) {
    const Vec3& at = cut.Points[0][1];
    for (size_t i = 0; i < 3; ++i) current.Start[i] = at[i];
    if (IsArcMotion(second.MotionMode)) {
      CutArc(current, cut.Parameters[0][1], false);
      NcMove withCentre = current;
      withCentre.Centre = second.Centre;
      RecomputeRadial(withCentre, p, false);
      current.StartRadial = withCentre.StartRadial;
    }
    RestorePreviousOffsetMove(context);
    NcMove& move = context.Move;
    for (size_t i = 0; i < 3; ++i) move.End[i] = cut.Points[0][0][i];
    if (IsArcMotion(first.MotionMode)) {
      move.ArcAngle = programPrevious.ArcAngle;
      CutArc(move, cut.Parameters[0][0], true);
      RecomputeRadial(move, p, true);
    }
    return;
  }
  // No crossing to trim to, and the two ends differ in the plane: a straight
  // connecting move.
  driver.Points.clear();
  driver.PointIndex = 0;
  driver.Points.push_back({kMotionLinear, Plane3(current.Start)});
  const bool wide = std::fabs(previous.End[p.A] - current.Start[p.A]) > kInterferenceGap ||
                    std::fabs(previous.End[p.B] - current.Start[p.B]) > kInterferenceGap;
  if (wide && records.Defs.Controller.Tables.RadiusCheckOn != 0 &&
      driver.Options.DataCheck == 0 && driver.RadiusOffsetInterference)
    driver.RadiusOffsetInterference(context, context.Modal.RadiusOffset);
  RestorePreviousOffsetMove(context);
}

}  // namespace

void ComputeOffsetCorner(NcContext& context, const NcPassRecords& records, int32_t mode) {
  const NcModalState& modal = context.Modal;
  const ControllerDefinition& ctl = records.Defs.Controller;
  const PlaneAxes p = Axes(modal);
  const double r = RoundToSingle(modal.RadiusOffset);
  const NcMove& move = context.Move;
  NcMove& out = context.LookAhead.OffsetNext;
  const NcMove& last = context.LookAhead.OffsetCurrent;
  out = move;
  if (IsArcMotion(move.MotionMode)) {
    const double d = move.MotionMode == kMotionClockwise ? r : -r;
    const double r0 = move.StartRadius, r1 = move.EndRadius;
    if (mode != kOffsetStart) {
      for (const size_t i : {p.A, p.B}) out.Start[i] = move.Start[i] + d * move.StartRadial[i];
      out.StartRadius = d + r0;
    }
    if (mode != kOffsetEnd) {
      for (const size_t i : {p.A, p.B}) out.End[i] = move.End[i] + d * move.EndRadial[i];
      out.EndRadius = d + r1;
    }
    out.Length =
        r0 != 0.0 ? std::fabs(out.StartRadius + out.EndRadius) * move.Length / r0 * 0.5 : 0.0;
    const double unit = ctl.LengthDivisor > 0 ? 1.0 / ctl.LengthDivisor : 0.0;
    if (std::fabs(out.StartRadius) > unit && d < 0.0 && ctl.ConcaveArcFeed != 0 && r0 != 0.0)
      out.Feed = std::max(0.0, std::fabs(out.StartRadius) * move.Feed / r0);
    if (ctl.Tables.RadiusCheckOn != 0 && (ToUnitInt(out.StartRadius, ctl.LengthDivisor) < 0 ||
                                          ToUnitInt(out.EndRadius, ctl.LengthDivisor) < 0))
      context.Modal.AlarmCode = kAlarmRadiusOffset;
    return;
  }
  const double va = RoundToSingle(move.End[p.A] - move.Start[p.A]);
  const double vb = RoundToSingle(move.End[p.B] - move.Start[p.B]);
  const double length = std::hypot(va, vb);
  const double k = length > 0.0 ? r / length : 0.0;
  const double da = -k * vb, db = k * va;
  if (mode == kOffsetEnd) {
    out.Start[p.A] = last.End[p.A];
    out.Start[p.B] = last.End[p.B];
    return;
  }
  out.End[p.A] += da;
  out.End[p.B] += db;
  if (mode == kOffsetBoth) {
    out.Start[p.A] += da;
    out.Start[p.B] += db;
  }
}

int32_t DetectOuterCorner(const NcContext& context) {
  const PlaneAxes p = Axes(context.Modal);
  const std::array<double, 2> previous = Tangent(context.LookAhead.ProgramPrevious, p, true);
  const std::array<double, 2> current = Tangent(context.LookAhead.ProgramCurrent, p, false);
  // Positive for a turn to the left.
  const double z = previous[0] * current[1] - previous[1] * current[0];
  const double r = context.Modal.RadiusOffset;
  return (r < 0.0 && z > 0.0) || (r > 0.0 && z < 0.0) ? 1 : 0;
}

void ComputeOuterCornerPoints(int32_t direction, const Vec3& p1, const Vec3& p2, const Vec3& c,
                              double r, int32_t first, int32_t second,
                              std::vector<QueuedPoint>& points) {
  const size_t a = static_cast<size_t>(first), b = static_cast<size_t>(second);
  if (std::fabs(p1[a] - p2[a]) + std::fabs(p1[b] - p2[b]) < kCornerClosed) {
    points.push_back({kMotionLinear, p2});
    return;
  }
  const double aa = p1[a] - c[a], ab = p1[b] - c[b];
  const double ba = p2[a] - c[a], bb = p2[b] - c[b];
  const double q = std::min((aa * ba + ab * bb) / (r * r), 1.0);
  if (q == 1.0) {
    points.push_back({kMotionLinear, p2});
    return;
  }
  double theta = std::acos(std::max(q, -1.0));
  const double cross = aa * bb - ab * ba;
  if ((direction == kMotionCounterClockwise && cross < 0.0) ||
      (direction == kMotionClockwise && cross > 0.0))
    theta = 2.0 * std::numbers::pi - theta;
  // The offset vectors turned by 90 degrees into the direction of travel.
  const auto turn = [direction](double x, double y) {
    return direction == kMotionClockwise ? std::array<double, 2>{y, -x}
                                         : std::array<double, 2>{-y, x};
  };
  const std::array<double, 2> t1 = turn(aa, ab), t2 = turn(ba, bb);
  if (theta <= std::numbers::pi / 2.0) {
    const double s = std::tan(theta / 2.0);
    Vec3 point = p1;
    point[a] += s * t1[0];
    point[b] += s * t1[1];
    points.push_back({kMotionLinear, point});
  } else {
    Vec3 out1 = p1, out2 = p2;
    out1[a] += t1[0];
    out1[b] += t1[1];
    out2[a] -= t2[0];
    out2[b] -= t2[1];
    points.push_back({kMotionLinear, out1});
    if (out2[a] != out1[a] || out2[b] != out1[b]) points.push_back({kMotionLinear, out2});
  }
  points.push_back({kMotionLinear, p2});
}

AxisPosition ApplyWorkOffsetChange(NcContext& context, const NcPassRecords& records,
                                   OffsetChangeUse use) {
  CompensatedOffsetChange& change = context.Modal.Interp.OffsetChange;
  AxisPosition shift{};
  if (change.Pending == 0) return shift;
  const Definitions& defs = records.Defs;
  WorkOffsetValues& active = records.Memory.Offsets.ActiveWorkOffset;
  const WorkOffsetValues before = active;
  active = use == OffsetChangeUse::kOld ? change.Old : change.New;
  if (use == OffsetChangeUse::kNew) {
    for (size_t i = 0; i < shift.size(); ++i) shift[i] = change.Old[i] - change.New[i];
    for (size_t i = 0; i < shift.size(); ++i) context.Move.End[i] += shift[i];
  }
  if (use != OffsetChangeUse::kOld) change.Pending = 0;
  if (active != before)
    UpdateWorkOffsetFrame(active, defs.Kinematics, defs.Controller, records.Frame,
                          records.Display);
  return shift;
}

bool TakeCollectedMove(NcContext& context, const NcPassRecords& records, MotionDriver& driver) {
  NcMove& move = context.Move;
  const size_t normal = static_cast<size_t>(context.Modal.Plane.PlaneAxes[2]);
  if (driver.NormalIndex < static_cast<int32_t>(driver.NormalMoves.size())) {
    const auto [value, mode] = driver.NormalMoves[static_cast<size_t>(driver.NormalIndex)];
    const bool last = driver.NormalIndex + 1 == static_cast<int32_t>(driver.NormalMoves.size());
    // The values were programmed before the change, in the old coordinates.
    const AxisPosition shift = ApplyWorkOffsetChange(
        context, records, last ? OffsetChangeUse::kNew : OffsetChangeUse::kOld);
    move.Start = move.End;
    move.End[normal] = value + shift[normal];
    move.MotionMode = mode;
    context.Modal.MoveExists = move.End[normal] != move.Start[normal] ? 1 : 0;
    if (++driver.NormalIndex >= static_cast<int32_t>(driver.NormalMoves.size())) {
      driver.NormalMoves.clear();
      driver.NormalIndex = 0;
    }
    return true;
  }
  if (driver.ToolAxisIndex < static_cast<int32_t>(driver.ToolAxisChanges.size())) {
    const auto& [from, to] = driver.ToolAxisChanges[static_cast<size_t>(driver.ToolAxisIndex)];
    move.Start = move.End;
    move.ToolAxisStart = from;
    move.ToolAxisEnd = to;
    context.Modal.MoveExists = 1;
    if (++driver.ToolAxisIndex >= static_cast<int32_t>(driver.ToolAxisChanges.size())) {
      driver.ToolAxisChanges.clear();
      driver.ToolAxisIndex = 0;
    }
    return true;
  }
  return false;
}

void StartCompensation(NcContext& context, const NcPassRecords& records, NcReader& reader,
                       MotionDriver& driver) {
  const PlaneAxes p = Axes(context.Modal);
  driver.Phase = kCompensationOn;
  if (!MovesInPlane(context.Move, p) && context.Modal.MoveExists == 0)
    SkipNonMotionBlocks(context, records, reader);
  // A change among the skipped blocks: nothing has run under compensation yet.
  ApplyWorkOffsetChange(context, records, OffsetChangeUse::kNewInPlace);
  ComputeOffsetCorner(context, records, kOffsetStart);
  ShiftLookAheadMoves(context);
  const Collected collected = CollectNonPlaneBlocks(context, records, reader, driver, true);
  if (collected == Collected::kOffsetChanged) {
    EndAtOffsetChange(context, records, driver, p);
    return;
  }
  const bool next = collected == Collected::kPlaneBlock;
  if (!next || driver.Phase != kCompensationOn) {
    if (next && driver.Phase == kCompensationCancelling) {
      // The block read next cancels: its way back follows the start-up
      // move, which is the result.
      ComputeOffsetCorner(context, records, kOffsetEnd);
      ShiftLookAheadMoves(context);
      RestorePreviousOffsetMove(context);
    } else {
      // Nothing follows in the plane: the start-up move as offset.
      RestoreCurrentOffsetMove(context);
      driver.Phase = kCompensationOff;
    }
    context.Modal.MoveExists = 1;
    return;
  }
  ComputeOffsetCorner(context, records, kOffsetBoth);
  ShiftLookAheadMoves(context);
  RestorePreviousOffsetMove(context);
  NcMove& move = context.Move;
  move.End[p.A] = context.LookAhead.OffsetCurrent.Start[p.A];
  move.End[p.B] = context.LookAhead.OffsetCurrent.Start[p.B];
  if (IsArcMotion(move.MotionMode)) RecomputeRadial(move, p, true);
  context.Modal.MoveExists = 1;
}

void ContinueCompensation(NcContext& context, const NcPassRecords& records, NcReader& reader,
                          MotionDriver& driver) {
  NcModalState& modal = context.Modal;
  const PlaneAxes p = Axes(modal);
  if (driver.Phase == kCompensationCancelling) {
    RestoreCurrentOffsetMove(context);
    driver.Phase = kCompensationOff;
    const NcMove& move = context.Move;
    const bool still = move.Start[p.A] == move.End[p.A] && move.Start[p.B] == move.End[p.B] &&
                       move.Start[p.N] == move.End[p.N] && move.Length == 0.0;
    if (!still) modal.MoveExists = 1;
    return;
  }
  RestoreCurrentMove(context);
  InterpretNcBlock(context, records);
  const Collected next = CollectNonPlaneBlocks(context, records, reader, driver, false);
  if (next == Collected::kProgramEnded) {
    // The program ended while compensation was on: the last offset move.
    RestoreCurrentOffsetMove(context);
    driver.Phase = kCompensationOff;
    modal.MoveExists = 1;
    return;
  }
  if (next == Collected::kOffsetChanged) {
    EndAtOffsetChange(context, records, driver, p);
    return;
  }
  ComputeOffsetCorner(context, records, driver.Phase);
  ShiftLookAheadMoves(context);
  modal.MoveExists = 1;
  if (driver.Phase != kCompensationOn) {
    RestorePreviousOffsetMove(context);
    return;
  }
  if (!MovesInPlane(context.LookAhead.ProgramPrevious, p)) {
    // The block of a work-offset change: as at the start-up, straight on to
    // the next offset start.
    RestorePreviousOffsetMove(context);
    NcMove& move = context.Move;
    move.End[p.A] = context.LookAhead.OffsetCurrent.Start[p.A];
    move.End[p.B] = context.LookAhead.OffsetCurrent.Start[p.B];
    modal.MoveExists = move.End != move.Start ? 1 : 0;
    return;
  }
  driver.OuterCorner = DetectOuterCorner(context);
  if (driver.OuterCorner != 0) {
    QueueOuterCorner(context, driver, p);
    RestorePreviousOffsetMove(context);
    return;
  }
  TrimInnerCorner(context, records, driver, p);
}

}  // namespace vestan
