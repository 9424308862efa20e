#include "nc/nurbs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "nc/nc_modal_operations.h"
#include "nc/nc_words.h"

namespace vestan {

namespace {

void RefuseCurve(NcContext& context, const NcPassRecords& records, const std::string& why) {
  context.Modal.AlarmCode = kAlarmNurbsData;
  records.Shell.Log("NURBS curve refused at line " + std::to_string(CurrentLineNumber(context)) +
                    ": " + why);
}

// The words of one line of the curve.
struct NurbsLineWords {
  bool Coordinate = false;
  bool Weight = false;
  std::array<bool, 3> Given{};
};

double ScaledCoordinate(const NcModalState& modal, size_t axis, double value) {
  const ScalingState& s = modal.Scaling;
  if (s.On == 0 || modal.LastGCode == 92 || s.Enabled[axis] == 0) return value;
  const double factor = s.Uniform != 0 ? s.UniformFactor : s.Factors[axis];
  return s.Centre[axis] + (value - s.Centre[axis]) * factor;
}

}  // namespace

void AllocNurbsBuffers(NurbsCurve& curve) {
  if (curve.Allocated != 0) return;
  for (std::vector<double>* v : {&curve.X, &curve.Y, &curve.Z, &curve.Weights})
    v->assign(kNurbsMaxPoints, 0.0);
  curve.Knots.assign(kNurbsMaxKnots, 0.0);
  curve.Allocated = 1;
}

void FreeNurbsBuffers(NurbsCurve& curve) {
  curve = NurbsCurve{};
}

int32_t ReadNurbsBlocks(NcContext& context, const NcPassRecords& records, NcReader& reader,
                        size_t offset, char knotLetter) {
  NurbsCurve& curve = context.Nurbs;
  NcModalState& modal = context.Modal;
  const ControllerDefinition& controller = records.Defs.Controller;
  AllocNurbsBuffers(curve);
  modal.Interp.AnyAxisGiven = 1;
  curve.Order = kNurbsDefaultOrder;
  curve.PointCount = 0;
  curve.KnotCount = 0;
  size_t point = 0;
  bool knotsOnly = false;
  bool first = true;
  for (;;) {
    const std::string_view line = context.Line.View();
    NurbsLineWords words;
    size_t p = first ? std::min(offset, line.size()) : 0;
    while (p < line.size()) {
      const char c = line[p];
      if (c == knotLetter) {
        ++p;
        const double knot = ParseNcWordRaw(line, p);
        if (point >= kNurbsMaxKnots) {
          RefuseCurve(context, records, "more than 1010 knots");
          return 0;
        }
        curve.Knots[point] = knot;
        continue;
      }
      size_t axis = 3;
      for (size_t a = 0; a < 3; ++a)
        if (c == controller.ProgramLetters[a]) axis = a;
      if (axis < 3) {
        ++p;
        double value = 0.0;
        ParseNcWordValue(line, p, controller.LengthDivisor, modal.DecimalPointMode, value);
        if (controller.ProgramReverse[axis] != 0) value = -value;
        if (modal.PositioningMode == 1) value += modal.ProgramPosition[axis];
        value = ScaledCoordinate(modal, axis, value);
        if (point >= kNurbsMaxPoints) {
          RefuseCurve(context, records, "more than 1000 control points");
          return 0;
        }
        std::vector<double>& coordinates = axis == 0 ? curve.X : axis == 1 ? curve.Y : curve.Z;
        coordinates[point] = value;
        context.Move.End[axis] = value;
        modal.ProgramPosition[axis] = value;
        words.Coordinate = true;
        words.Given[axis] = true;
        continue;
      }
      if (c == 'R') {
        ++p;
        const double weight = ParseNcWordRaw(line, p);
        if (point >= kNurbsMaxPoints) {
          RefuseCurve(context, records, "more than 1000 control points");
          return 0;
        }
        // A weight of 0 or less gives no point of the curve.
        if (!(weight > 0.0)) {
          RefuseCurve(context, records, "a weight of 0 or less");
          return 0;
        }
        curve.Weights[point] = weight;
        words.Weight = true;
        continue;
      }
      if (first && c == 'P') {
        ++p;
        const int32_t order = ParseNcWordInt(line, p);
        if (order < 1 || order > kNurbsMaxOrder) {
          RefuseCurve(context, records, "order " + std::to_string(order) + " is not 1 to 16");
          return 0;
        }
        curve.Order = order;
        continue;
      }
      if (first && c == 'F') {
        ++p;
        const double feed = ReadFeedWord(controller, records.Memory.Offsets, line, p);
        modal.Feed = feed;
        context.Move.Feed = feed;
        continue;
      }
      ++p;
    }
    const bool pointLine = words.Coordinate || words.Weight;
    if (!knotsOnly && pointLine) {
      if (point >= kNurbsMaxPoints) {
        RefuseCurve(context, records, "more than 1000 control points");
        return 0;
      }
      std::array<std::vector<double>*, 3> axes{&curve.X, &curve.Y, &curve.Z};
      for (size_t a = 0; a < 3; ++a)
        if (!words.Given[a]) (*axes[a])[point] = modal.ProgramPosition[a];
      if (!words.Weight) curve.Weights[point] = 1.0;
    }
    ++point;
    if (knotsOnly) {
      if (point >= static_cast<size_t>(curve.KnotCount)) return 1;
    } else if (!pointLine) {
      knotsOnly = true;
      curve.PointCount = static_cast<int32_t>(point - 1);
      curve.KnotCount = curve.PointCount + curve.Order;
      if (static_cast<size_t>(curve.KnotCount) > kNurbsMaxKnots) {
        RefuseCurve(context, records, "more than 1010 knots");
        return 0;
      }
      if (point >= static_cast<size_t>(curve.KnotCount)) return 1;
    }
    if (ReadNcLine(context, records, reader) == 0) return 0;
    if (!knotsOnly) context.Move.Start = context.Move.End;
    first = false;
  }
}

void ComputeBsplineBasis(const NurbsCurve& curve, int32_t order, int32_t span, double t,
                         std::span<double> out) {
  // n[m] is the function of control point span - order + 1 + m; one slot
  // more for the next-lower term of the last.
  std::array<double, kNurbsMaxOrder + 1> n{};
  const int32_t base = span - order + 1;
  n[static_cast<size_t>(order - 1)] = 1.0;
  const auto knot = [&curve](int32_t j) { return curve.Knots[static_cast<size_t>(j)]; };
  for (int32_t r = 2; r <= order; ++r) {
    for (int32_t m = order - r; m < order; ++m) {
      const int32_t j = base + m;
      const size_t i = static_cast<size_t>(m);
      double value = 0.0;
      const double left = knot(j + r - 1) - knot(j);
      if (left != 0.0) value += (t - knot(j)) / left * n[i];
      const double right = knot(j + r) - knot(j + 1);
      if (right != 0.0) value += (knot(j + r) - t) / right * n[i + 1];
      n[i] = value;
    }
  }
  std::copy_n(n.begin(), static_cast<size_t>(order), out.begin());
}

bool EvaluateNurbsPoint(const NurbsCurve& curve, const ControllerDefinition& controller,
                        int32_t order, int32_t span, double t, AxisPosition& out) {
  std::array<double, kNurbsMaxOrder> basis{};
  ComputeBsplineBasis(curve, order, span, t, basis);
  Vec3 sum{};
  double weights = 0.0;
  for (int32_t m = 0; m < order; ++m) {
    const size_t j = static_cast<size_t>(span - order + 1 + m);
    const double bw = basis[static_cast<size_t>(m)] * curve.Weights[j];
    sum[0] += bw * curve.X[j];
    sum[1] += bw * curve.Y[j];
    sum[2] += bw * curve.Z[j];
    weights += bw;
  }
  if (weights == 0.0) return false;
  const Vec3 point{sum[0] / weights, sum[1] / weights, sum[2] / weights};
  if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2]))
    return false;
  // Program X, Y, Z go to the machine slots their letters drive.
  for (size_t slot = 0; slot < 3; ++slot) {
    for (size_t a = 0; a < 3; ++a)
      if (controller.AddressLetters[slot] == controller.ProgramLetters[a]) out[slot] = point[a];
  }
  return true;
}

double GetNurbsSpanLength(const NurbsCurve& curve, const ControllerDefinition& controller,
                          int32_t span) {
  const double t0 = curve.Knots[static_cast<size_t>(span)];
  const double t1 = curve.Knots[static_cast<size_t>(span + 1)];
  AxisPosition previous{};
  double length = 0.0;
  for (int32_t m = 0; m <= 10; ++m) {
    const double t = m == 0 ? t0 : m == 10 ? t1 : t0 + m * (t1 - t0) / 10;
    AxisPosition at = previous;
    if (!EvaluateNurbsPoint(curve, controller, curve.Order, span, t, at)) continue;
    if (m > 0)
      length += std::sqrt((at[0] - previous[0]) * (at[0] - previous[0]) +
                          (at[1] - previous[1]) * (at[1] - previous[1]) +
                          (at[2] - previous[2]) * (at[2] - previous[2]));
    previous = at;
  }
  return length;
}

double GetNurbsCurveLength(const NurbsCurve& curve, const ControllerDefinition& controller) {
  double length = 0.0;
  for (int32_t i = FirstNurbsSpan(curve); i <= LastNurbsSpan(curve); ++i) {
    if (curve.Knots[static_cast<size_t>(i + 1)] == curve.Knots[static_cast<size_t>(i)]) continue;
    length += GetNurbsSpanLength(curve, controller, i);
  }
  return length;
}

}  // namespace vestan
