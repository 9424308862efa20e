#include "model/general_cutting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <span>
#include <vector>

#include "definitions/tool_geometry.h"
#include "model/column_cut.h"
#include "model/column_operations.h"
#include "model/cut_face_flags.h"
#include "model/dexel_intersections.h"
#include "model/main_pass_workers.h"

namespace vestan {

namespace {

// How far a row has come past a solid: not met yet, meeting it, passed it.
// Across a row the solids are convex, so a passed solid is not met again.
constexpr int kNotMet = -1, kMeeting = 0, kPassed = 1;

void Update(int& state, bool hit) {
  if (hit)
    state = kMeeting;
  else if (state == kMeeting)
    state = kPassed;
}

bool Hit(const DexelCrossings& c) { return c.Count >= 2; }

// Intervals of the tool on one line with room to split two of them.
struct IntervalList {
  int32_t Count = 0;
  std::array<double, 6> Values{};

  // Widens the list to the hull of the solid's crossings (first to last).
  void Join(const DexelCrossings& c) {
    if (!Hit(c)) return;
    const double low = c.W[0], high = c.W[c.Count - 1];
    if (Count == 0) {
      Values[0] = low;
      Values[1] = high;
      Count = 2;
    } else {
      Values[0] = std::min(Values[0], low);
      Values[Count - 1] = std::max(Values[Count - 1], high);
    }
  }
  void Join(const IntervalList& other) {
    if (other.Count < 2) return;
    DexelCrossings hull;
    hull.Count = 2;
    hull.W[0] = other.Values[0];
    hull.W[1] = other.Values[other.Count - 1];
    Join(hull);
  }
  // Takes the solid's first crossing pair out of the list.
  void Remove(const DexelCrossings& c) {
    if (Hit(c) && Count >= 2) SubtractIntervalFromColumn(Values, Count, c.W[0], c.W[1]);
  }
  void Append(const DexelCrossings& c) {
    if (!Hit(c) || Count + 2 > static_cast<int32_t>(Values.size())) return;
    Values[Count] = c.W[0];
    Values[Count + 1] = c.W[1];
    Count += 2;
  }
  static IntervalList Of(const DexelCrossings& c) {
    IntervalList list;
    for (int32_t k = 0; k + 1 < c.Count; k += 2) list.Append(Pair(c.W[k], c.W[k + 1]));
    return list;
  }
  static IntervalList Of(const ToolIntervals& set) {
    IntervalList list;
    list.Count = set.Count;
    std::copy_n(set.Values.begin(), set.Count, list.Values.begin());
    return list;
  }
  static DexelCrossings Pair(double low, double high) {
    DexelCrossings c;
    c.Count = 2;
    c.W[0] = low;
    c.W[1] = high;
    return c;
  }
};

// One call of the general cutter on one context.
class GeneralCutter {
 public:
  GeneralCutter(CutContext& cut, CutGridContext& grid)
      : cut_(cut),
        grid_(grid),
        tool_(cut.Records.Tool),
        t_(cut.Records.Tool.Tool),
        pose_(cut.Pose),
        run_(cut.Records.Run),
        checks_(cut.Records.Checks) {}

  // Whether the cut set the move's face flags (the last value stands in
  // the run's record).
  bool Stamped() const { return stamped_; }

  void Run() {
    // The tool's kind is taken once per pass, not once per line.
    switch (t_.Kind) {
      case kToolBall:
        return RunLines([this] { CutBall(); });
      case kToolFlat:
      case kToolVertical:
        if (FlatAlongGrid()) return RunFlatAlongGrid();
        return RunLines([this] { CutFlat(); });
      case kToolRadius:
        return RunLines([this] { CutRadius(); });
      case kToolTThrow:
        return RunLines([this] { CutTThrow(); });
      case kToolSphere:
        return RunLines([this] { CutSphere(); });
      default:
        if (t_.CornerRadius < 0) return RunLines([this] { CutHollowCorner(); });
        return RunLines([this] { CutDefault(); });
    }
  }

 private:
  // Visits the lines of the pass, cutting each with cutLine.
  template <typename CutLine>
  void RunLines(CutLine&& cutLine) {
    const BeyondTest beyond = MakeBeyondTest();
    int32_t row = -1;
    std::vector<int32_t>& deferred = cut_.DeferredLines;
    deferred.clear();
    VisitRangeColumns(grid_, cut_.Reach, [&](int32_t i, int32_t j) {
      if (j != row) {
        row = j;
        body_ = neck_ = chip_ = kNotMet;
        deferred.clear();
      }
      // A line beyond the material only moves the row states, and they
      // matter only to a line of the same row that is cut later: such lines
      // wait for one (most rows far up a tilted tool never see one).
      if (beyond.On && beyond.Holds(grid_, i, j)) {
        deferred.push_back(i);
        return false;
      }
      if (!deferred.empty()) {
        for (int32_t k : deferred) {
          StartLine(k, j);
          UpdateRowStates();
        }
        deferred.clear();
      }
      StartLine(i, j);
      cutLine();
      return false;
    });
  }

  // A flat tool's endless body without a neck step, its axis along the lines
  // or exactly along u or v: a line's crossing takes a few operations, done
  // here as IntersectDexelWithEndlessCylinder does them, without the solids'
  // dispatch per line; the row state and the cut are CutFlat's.
  bool FlatAlongGrid() const {
    return flatSolid_ == FlatSolid::kEndless && !hasNeck_ &&
           (lineAxis_.Along || lineAxis_.AcrossExact) && !MakeBeyondTest().On;
  }
  void RunFlatAlongGrid() {
    const Vec3& base = P(0);
    const Vec3& axis = lineAxis_.A;
    const double radius = flatRadius_;
    const bool along = lineAxis_.Along, alongV = lineAxis_.AlongV;
    int32_t row = -1;
    VisitRangeColumns(grid_, cut_.Reach, [&](int32_t i, int32_t j) {
      if (j != row) {
        row = j;
        body_ = kNotMet;
      }
      if (body_ == kPassed) return false;
      StartLine(i, j);
      const double du = base[0] - u_, dv = base[1] - v_;
      double low = 0.0, high = 0.0;
      bool hit = false;
      if (along) {
        if (radius * radius > du * du + dv * dv) {
          hit = true;
          if (axis[2] > 0) {
            low = base[2];
            high = 1e7;
          } else {
            low = -1e7;
            high = base[2];
          }
        }
      } else {
        // The axis parameter is fixed on the line, the offset across the axis
        // is the other coordinate.
        const double t = alongV ? -dv * axis[1] : -du * axis[0];
        const double offset = alongV ? du : dv;
        if (!(t < 0 || radius <= std::fabs(offset))) {
          const double h2 = radius * radius - offset * offset;
          if (h2 > 0) {
            const double h = std::sqrt(h2);
            low = base[2] - h;
            high = base[2] + h;
            hit = true;
          }
        }
      }
      Update(body_, hit);
      // Most lines the body meets have lost that part already.
      if (!hit) return false;
      const MetColumn met = MeetColumn(grid_, i, j, {low, high});
      if (met) CutMetInterval(met, low, high, true);
      return false;
    });
  }

  // Whether the part of a line that the pass's solids can reach lies beyond
  // the column's material: the line within the reach of the axis, not below
  // the lowest axis parameter. Nothing could be cut there. What does not
  // change along the pass is taken once.
  struct BeyondTest {
    // Along the lines the reach is endless; nearly across them the bounds
    // along w would lose their precision.
    bool On = false;
    Vec3 Base{}, Axis{};
    // 1 / s, -A.w / s and 1 / A.w: the margin dwarfs what multiplying by
    // them rounds differently from dividing.
    double InverseS = 0.0, NegAxisWOverS = 0.0, InverseAxisW = 0.0;
    double RadiusSquared = 0.0, AbsBaseW = 0.0;
    bool HasAxialLow = false;
    double AxialLow = 0.0;

    bool Holds(const CutGridContext& grid, int32_t i, int32_t j) const {
      const double du = Base[0] - grid.CoordU[i], dv = Base[1] - grid.CoordV[j];
      const double q = Axis[0] * du + Axis[1] * dv;
      const double rest = RadiusSquared - (du * du + dv * dv - q * q * InverseS);
      if (rest < 0) return false;
      // Squared distance from the axis along the line: d^2 + s (z - z0)^2.
      const double z0 = NegAxisWOverS * q, half = std::sqrt(rest * InverseS);
      double low = z0 - half, high = z0 + half;
      if (HasAxialLow) {
        const double z = (AxialLow + q) * InverseAxisW;  // where t = A.w z - q is AxialLow
        if (Axis[2] > 0)
          low = std::max(low, z);
        else
          high = std::min(high, z);
      }
      const double margin = 1e-6 + 1e-9 * (AbsBaseW + std::fabs(low) + std::fabs(high));
      const std::span<const double> values = DexelColumnValues(*grid.Set, j * grid.CountU + i);
      return values.back() < Base[2] + low - margin || values.front() > Base[2] + high + margin;
    }
  };

  BeyondTest MakeBeyondTest() const {
    const PassReach& reach = cut_.Reach;
    BeyondTest test;
    test.Base = P(0);
    test.Axis = A();
    const double s = test.Axis[0] * test.Axis[0] + test.Axis[1] * test.Axis[1];
    test.On = !(reach.Radius < 0 || s == 0.0 || std::fabs(test.Axis[2]) < 0.01);
    test.InverseS = 1 / s;
    test.NegAxisWOverS = -test.Axis[2] / s;
    test.InverseAxisW = 1 / test.Axis[2];
    const double radius = reach.Radius * (1 + 1e-9) + 1e-6;
    test.RadiusSquared = radius * radius;
    test.AbsBaseW = std::fabs(test.Base[2]);
    test.HasAxialLow = reach.AxialLow > -std::numeric_limits<double>::infinity();
    test.AxialLow = reach.AxialLow;
    return test;
  }

  // On a line beyond the material only the row states move: the solids that
  // carry them are tried as CutLine tries them.
  void UpdateRowStates() {
    const double h = tool_.FullRadiusHeight;
    switch (t_.Kind) {
      case kToolBall:
        Body(P(1), h, pose_.Radius);
        Neck();
        return;
      case kToolFlat:
      case kToolVertical:
        if (body_ != kPassed) Update(body_, Hit(FlatBody()));
        Neck();
        return;
      case kToolRadius:
        if (chip_ != kPassed) Update(chip_, Hit(Endless(P(2), t_.CornerCentreRadius)));
        if (Hit(Body(P(1), h, pose_.Radius))) Neck();
        return;
      case kToolTThrow:
      case kToolSphere:
        Body(P(1), h, tool_.CuttingRadius);
        return;
      default:
        Body(P(4), t_.CornerRadius < 0 ? h - tool_.CornerRadiusAbs : tool_.UpperHeightB,
             pose_.Radius);
        Neck();
        return;
    }
  }

  void StartLine(int32_t i, int32_t j) {
    i_ = i;
    j_ = j;
    u_ = grid_.CoordU[i];
    v_ = grid_.CoordV[j];
  }
  // The height of the line's point at value 0 above the tip plane; only some
  // lines need it.
  double LineHeight() const { return LineHeightOf(pose_, grid_, i_, j_); }

  // --- Solids on the current line ----------------------------------------

  const Vec3& P(int k) const { return grid_.PosePoints[k]; }
  const Vec3& A() const { return grid_.PoseAxis; }

  DexelCrossings Cylinder(const Vec3& base, double radius, double length) const {
    return IntersectDexelWithCylinder(base, lineAxis_, radius, length, u_, v_);
  }
  DexelCrossings Endless(const Vec3& base, double radius) const {
    return IntersectDexelWithEndlessCylinder(base, lineAxis_, radius, u_, v_);
  }
  DexelCrossings Cone(const Vec3& base, double r0, double k, double length) const {
    return IntersectDexelWithCone(base, A(), r0, k, length, u_, v_);
  }
  DexelCrossings Torus(const Vec3& base, double ring, double tube) const {
    return IntersectDexelWithTorus(base, A(), ring, tube, u_, v_);
  }
  // A ball about Point1 of the squared radius.
  DexelCrossings Ball(double radiusSquared) const { return BallAbout(P(1), radiusSquared); }
  DexelCrossings BallAbout(const Vec3& centre, double radiusSquared) const {
    const double du = centre[0] - u_, dv = centre[1] - v_;
    const double d2 = du * du + dv * dv;
    if (!(radiusSquared > d2)) return {};
    const double h = std::sqrt(radiusSquared - d2);
    return IntervalList::Pair(centre[2] - h, centre[2] + h);
  }

  // The body above the cutting part, from base, reaching to the tool's
  // length measured from height from; the row state decides whether it is
  // tried at all. (Results are built in place: a copy of a freshly written
  // result stalls on store forwarding.)
  DexelCrossings Body(const Vec3& base, double from, double radius) {
    const bool tried = body_ != kPassed;
    const DexelCrossings c = tried ? BodySolid(base, from, radius) : DexelCrossings{};
    if (tried) Update(body_, Hit(c));
    return c;
  }
  DexelCrossings BodySolid(const Vec3& base, double from, double radius) const {
    if (bodyEndless_) return Endless(base, radius);
    return bodyLength_ > from ? Cylinder(base, radius, bodyLength_ - from) : DexelCrossings{};
  }

  // The neck step above the cutting part.
  DexelCrossings Neck() {
    const bool tried = hasNeck_ && neck_ != kPassed;
    const DexelCrossings c = tried ? Endless(P(5), tool_.NeckRadius) : DexelCrossings{};
    if (tried) Update(neck_, Hit(c));
    return c;
  }

  // --- Cutting --------------------------------------------------------------

  // The move's face flags for a piece [low, high] (only in a cutting feed);
  // returns them. (The cut takes the returned copy: reading back the bytes
  // just stored stalls on store forwarding.)
  std::array<uint8_t, 2> StampFaces(const std::array<double, 2>& faces) {
    if (!stamping_) return run_.CutFaceFlags;
    std::array<uint8_t, 2> flags =
        TestPointOutsideToolBand(cut_, grid_.AxisW, LineHeight(), faces);
    stamped_ = true;
    if (vertical_)
      FlagCentreZoneFaces(cut_, grid_.AxisU, grid_.AxisV, grid_.AxisW, u_, v_, faces, flags);
    run_.CutFaceFlags = flags;
    return flags;
  }

  // Removes one interval; returns whether material went.
  bool CutInterval(double low, double high, bool heightCheck) {
    const MetColumn met = MeetColumn(grid_, i_, j_, {low, high});
    return met && CutMetInterval(met, low, high, heightCheck);
  }
  // The same for a column the interval meets.
  [[gnu::always_inline]] bool CutMetInterval(MetColumn met, double low, double high,
                                             bool heightCheck) {
    const std::array<uint8_t, 2> flags = StampFaces({low, high});
    const std::span<const double> pieces =
        CutMetColumn(cut_, grid_, i_, j_, met, {low, high}, flags, run_.CutFaceAttributes);
    if (pieces.empty()) return false;
    if (heightCheck && heightCheck_)
      RecordCutHeight(cut_, grid_.AxisW, LineHeight(), pieces);
    if (chipWidthCheck_)
      RecordChipWidth(cut_, grid_.AxisU, grid_.AxisV, grid_.AxisW, u_, v_, pieces);
    return true;
  }

  void CutList(const IntervalList& list) {
    for (int32_t k = 0; k + 1 < list.Count; k += 2)
      CutInterval(list.Values[k], list.Values[k + 1], true);
  }

  void CutMerged(const DexelCrossings& first, const DexelCrossings& neck) {
    // Without a neck step the merge is the first interval itself.
    if (neck.Count != 2) {
      if (first.Count == 2) CutInterval(first.W[0], first.W[1], true);
      return;
    }
    ToolIntervals set;
    MergeSolidIntervals(set, first, neck);
    CutList(IntervalList::Of(set));
  }

  // --- Cutter kinds -------------------------------------------------------

  // Tip shape, corner torus and taper cone joined, then body and neck step.
  void CutDefault() {
    const double rc = tool_.CornerRadiusAbs;
    // Built in place (see Body).
    const DexelCrossings tip = [&] {
      if (t_.Kind == kToolOval)
        return IntersectDexelWithSpheroid(P(0), A(), tool_.OvalRadius, tool_.OvalHeight,
                                          tool_.OvalJoinHeight, u_, v_);
      if (tool_.BottomEdgeHeight > 0)
        return Cone(P(0), tool_.PointFlatRadius, 1 / tool_.BottomSlope, tool_.BottomEdgeHeight);
      if (tool_.BottomRadius > 0)
        return Cylinder(P(0), tool_.ArcCentreRadius, tool_.FullRadiusHeight);
      if (t_.Kind == kToolTaperBall) return Ball(rc * rc);
      return DexelCrossings{};
    }();
    const DexelCrossings taper = tool_.EnvelopeRadius > tool_.ArcTopRadius
                                     ? Cone(P(3), tool_.ArcTopRadius, 1 / tool_.SideSlope,
                                            tool_.UpperHeightB - tool_.UpperHeightA)
                                     : DexelCrossings{};
    const DexelCrossings body = Body(P(4), tool_.UpperHeightB, pose_.Radius);
    // The list is joined in the chain's order: tip, torus, taper.
    IntervalList list;
    list.Join(tip);
    if (t_.Kind != kToolTaperBall && tool_.ArcTopRadius > tool_.BottomRadius &&
        !TorusLeavesCutAlone(tip, taper, body))
      list.Join(Torus(P(2), tool_.ArcCentreRadius, rc));
    list.Join(taper);
    if (!hasNeck_) {
      // The merge without a neck step: a body that hits widens the list to
      // their hull, or stands for an empty list.
      if (body.Count == 2) {
        if (list.Count == 2) {
          list.Values[0] = std::min(list.Values[0], body.W[0]);
          list.Values[1] = std::max(list.Values[1], body.W[1]);
        } else {
          list = IntervalList::Of(body);
        }
      }
      if (list.Count == 2) CutInterval(list.Values[0], list.Values[1], true);
      return;
    }
    ToolIntervals set;
    set.Count = list.Count;
    std::copy_n(list.Values.begin(), 2, set.Values.begin());
    MergeSolidIntervals(set, body, Neck());
    CutList(IntervalList::Of(set));
  }

  // Whether the corner torus cannot change the current line's cut, so that
  // its quartic need not be solved. Without a neck step the line is cut by
  // the hull of all solids; the torus's crossings lie between its end planes
  // (t = 0 and 2a), so it can only move an end of the other solids' hull
  // [low, high] out into the stretch of those planes beyond it. Where that
  // stretch lies in air (no column value within it, outside the column's
  // material), the end only marks where the cut starts: nothing is written
  // there and every comparison with the column's values comes out the same;
  // the face flags read the same when the whole stretch lies within the
  // cutting length. (This test and InAir are kept out of line: inlined, they
  // slowed the other kinds' passes, whose loops' code moved.)
  [[gnu::noinline]] bool TorusLeavesCutAlone(const DexelCrossings& tip,
                                             const DexelCrossings& taper,
                                             const DexelCrossings& body) const {
    if (!torusSlab_ || hasNeck_) return false;
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const DexelCrossings* c : {&tip, &taper, &body}) {
      if (!Hit(*c)) continue;
      low = std::min(low, c->W[0]);
      high = std::max(high, c->W[c->Count - 1]);
    }
    if (!(low < high)) return false;
    const Vec3& b = P(2);
    const double q = A()[0] * (b[0] - u_) + A()[1] * (b[1] - v_);
    const double w0 = b[2] + q * inverseAxisW_, w1 = b[2] + (q + torusTop_) * inverseAxisW_;
    // Far above the rounding of the torus's crossings and of these bounds.
    const double slack = 1e-6 + 1e-9 * (std::fabs(b[2]) + std::fabs(w0) + std::fabs(w1));
    const double from = std::min(w0, w1) - slack, to = std::max(w0, w1) + slack;
    const bool below = from < low, above = to > high;
    if (!below && !above) return true;
    return InAir(below ? from : low, low, high, above ? to : high);
  }

  // Whether the stretches [from1, to1] and [from2, to2] (from1 <= to1 <=
  // from2 <= to2; one of no length is of no concern) lie outside the current
  // column's material, clear of its values, and, when the cut stamps faces,
  // within the cutting length.
  [[gnu::noinline]] bool InAir(double from1, double to1, double from2, double to2) const {
    const bool first = from1 < to1, second = from2 < to2;
    const std::span<const double> values = DexelColumnValues(*grid_.Set, j_ * grid_.CountU + i_);
    const double margin = 1e-9 * (1 + std::fabs(from1) + std::fabs(to2));
    const double low1 = from1 - margin, high1 = to1 + margin;
    const double low2 = from2 - margin, high2 = to2 + margin;
    // The values ascend: an odd count below a stretch puts it in material.
    const auto firstFrom = [&](double bound) {
      return static_cast<size_t>(std::lower_bound(values.begin(), values.end(), bound) -
                                 values.begin());
    };
    const size_t below1 = first ? firstFrom(low1) : 0, below2 = second ? firstFrom(low2) : 0;
    if (first && below1 < values.size() && values[below1] <= high1) return false;
    if (second && below2 < values.size() && values[below2] <= high2) return false;
    if ((first && below1 % 2 != 0) || (second && below2 % 2 != 0)) return false;
    if (!stamping_ || run_.CycleFeedFlag != 0) return true;
    // A stretch's ends are the farthest faces in it that could be stamped;
    // the height above the tip plane is linear along the line.
    const double line = LineHeight(), limit = pose_.CutLimit;
    const double n = pose_.Normal[grid_.AxisW];
    const auto within = [&](double from, double to) {
      const double h0 = n * from + line, h1 = n * to + line;
      const double m = 1e-9 * (1 + std::fabs(h0) + std::fabs(h1) + std::fabs(limit));
      return std::fabs(h0) < limit - m && std::fabs(h1) < limit - m;
    };
    return (!first || within(from1, to1)) && (!second || within(from2, to2));
  }

  // A hollow corner: the body less the corner torus, then tip and neck.
  void CutHollowCorner() {
    const double rc = tool_.CornerRadiusAbs, h = tool_.FullRadiusHeight;
    const DexelCrossings body = Body(P(4), h - rc, pose_.Radius);
    if (Hit(body)) {
      IntervalList list = IntervalList::Of(body);
      const DexelCrossings corner = Torus(P(3), tool_.ArcTopRadius, rc);
      list.Remove(corner);
      if (corner.Count >= 4) list.Remove(IntervalList::Pair(corner.W[2], corner.W[3]));
      CutList(list);
    }
    DexelCrossings tip;
    if (h > rc) tip = Cylinder(P(0), tool_.ArcCentreRadius, t_.CuttingLength);
    CutMerged(tip, Neck());
  }

  void CutBall() {
    const DexelCrossings ball = Ball(pose_.RadiusSquared);
    const DexelCrossings body = Body(P(1), tool_.FullRadiusHeight, pose_.Radius);
    const DexelCrossings neck = Neck();
    ToolIntervals set;
    MergeSolidIntervals(set, ball, {});
    if (neck.Count != 2) {
      // Without a neck step the body widens the ball to their hull.
      if (set.Count == 2) return CutMerged(Hull(ball, body), neck);
      return CutMerged(body, neck);
    }
    MergeSolidIntervals(set, body, neck);
    CutList(IntervalList::Of(set));
  }

  // The ball on its neck, which runs up from the ball's centre: where the
  // neck is narrower a line may meet the two apart.
  void CutSphere() {
    const DexelCrossings ball = Ball(pose_.RadiusSquared);
    const DexelCrossings neck = Body(P(1), tool_.FullRadiusHeight, tool_.CuttingRadius);
    ToolIntervals set;
    MergeSolidIntervals(set, ball, neck);
    CutList(IntervalList::Of(set));
  }

  // The hull of two crossing pairs, the second only when it is one.
  static DexelCrossings Hull(const DexelCrossings& a, const DexelCrossings& b) {
    DexelCrossings hull = a;
    if (b.Count == 2) {
      hull.W[0] = std::min(a.W[0], b.W[0]);
      hull.W[1] = std::max(a.W[1], b.W[1]);
    }
    return hull;
  }

  // The body is the cutting part itself.
  void CutFlat() {
    const bool tried = body_ != kPassed;
    const DexelCrossings body = tried ? FlatBody() : DexelCrossings{};
    if (tried) Update(body_, Hit(body));
    CutMerged(body, Neck());
  }
  DexelCrossings FlatBody() const {
    switch (flatSolid_) {
      case FlatSolid::kEndless:
        return Endless(P(0), flatRadius_);
      case FlatSolid::kCutting:
        return Cylinder(P(0), flatRadius_, t_.CuttingLength);
      case FlatSolid::kNeckLength:
        return Cylinder(P(0), flatRadius_, tool_.Shank.NeckLength);
      default:
        return {};
    }
  }

  void CutRadius() {
    if (checks_.ChipWidthCheck == 1) {
      ProbeChipWidth();
    } else if (chip_ != kPassed) {
      const DexelCrossings tip = Endless(P(2), t_.CornerCentreRadius);
      Update(chip_, Hit(tip));
      if (Hit(tip) && CutInterval(tip.W[0], tip.W[1], false) && checks_.ChipWidthCheck > 0)
        run_.Hits.ChipWidthHitFlag = 1;
    }
    const DexelCrossings body = Body(P(1), tool_.FullRadiusHeight, pose_.Radius);
    if (Hit(body)) {
      IntervalList list = IntervalList::Of(body);
      const double probeHeight =
          checks_.ChipWidthCheck == 1 ? cut_.Records.Lengths.CentreHeight : t_.TipHeight;
      const double h = probeHeight - t_.CornerRadius;
      if (h > 0) list.Remove(Cylinder(P(1), t_.CornerCentreRadius, h));
      list.Append(Neck());
      CutList(list);
    }
    CutList(IntervalList::Of(Torus(P(0), tool_.BottomRadius, tool_.CornerRadiusAbs)));
  }

  // The chip probe: a cylinder of the corner's offset at CentreHeight that
  // climbs by 0.1 while it would still remove material; it cuts a copy only.
  void ProbeChipWidth() {
    double& height = cut_.Records.Lengths.CentreHeight;
    // Beyond this the endless cylinder itself ends.
    constexpr double kHighest = 1e7;
    for (;;) {
      run_.Hits.ChipWidthHitFlag = 0;
      if (chip_ == kPassed || !(height < kHighest)) return;
      const double radius = ComputeCornerOffset(t_.Diameter, t_.CornerRadius, height);
      const DexelCrossings probe = Endless(P(2), radius);
      Update(chip_, Hit(probe));
      if (!Hit(probe)) return;
      const std::array<uint8_t, 2> flags = StampFaces({probe.W[0], probe.W[1]});
      double volume = 0;  // a probe removes nothing
      const ColumnCut c = MakeColumnCut(grid_, i_, j_, {probe.W[0], probe.W[1]}, flags,
                                        run_.CutFaceAttributes, CutRule::kRecording);
      if (ProbeColumnInterval(cut_, grid_, c, volume).empty()) return;
      run_.Hits.ChipWidthHitFlag = 1;
      height += 0.1;
      for (int k = 0; k < 3; ++k) grid_.PosePoints[2][k] = P(0)[k] + height * A()[k];
    }
  }

  // The blade of a T-THROW tool: the corner arcs at its tip (R) and at its
  // top (R2), the flat side between them or a taper instead, then the neck
  // as the body. The blade is convex, so a line meets it in one interval:
  // the hull of where it meets the pieces that make it up.
  void CutTThrow() {
    const double R = tool_.CornerRadiusAbs, R2 = t_.LowerCornerRadius;
    const double W = t_.TaperWidth, D = t_.Diameter;
    const double flat = tool_.BladeFlatHeight;
    IntervalList blade;
    if (R > 0) blade.Join(BladeCorner(P(0), R, false));
    if (flat > 0) {
      if (R == 0 && R2 == 0 && W != 0 && W != D) {
        if (W > D) {
          blade.Join(Cone(P(0), tool_.ArcTopRadius, (W - D) / flat / 2, flat));
        } else {
          // Narrowing upwards: the cone from the blade's top down the axis.
          Vec3 top, down;
          for (int k = 0; k < 3; ++k) {
            top[k] = P(0)[k] + flat * A()[k];
            down[k] = -A()[k];
          }
          blade.Join(IntersectDexelWithCone(top, down, t_.TaperWidth / 2.0f, (D - W) / flat / 2,
                                            flat, u_, v_));
        }
      } else {
        blade.Join(Cylinder(P(1), tool_.ArcTopRadius, flat));
      }
    }
    if (R2 > 0) blade.Join(BladeCorner(P(2), R2, true));
    CutList(blade);
    const DexelCrossings body = Body(P(1), tool_.FullRadiusHeight, tool_.CuttingRadius);
    if (Hit(body)) CutInterval(body.W[0], body.W[1], true);
  }

  // One corner of a T-THROW blade of the given radius, from base, the lowest
  // point of its arc's circle on the axis: the half of the torus about the
  // ring r - radius that faces the blade's middle (the upper half at the
  // blade's top, the lower at its tip), with the core inside the ring. A
  // corner as wide as the blade is half a ball.
  IntervalList BladeCorner(const Vec3& base, double radius, bool upper) {
    const double ring = tool_.ArcTopRadius - radius;
    const double from = upper ? radius : 0.0;
    IntervalList corner;
    if (ring > 0) {
      corner = WithinAxial(Torus(base, ring, radius), base, from, from + radius);
      corner.Join(Cylinder(AlongPoseAxis(base, from), ring, radius));
    } else {
      const Vec3 centre = AlongPoseAxis(base, radius);
      corner = WithinAxial(BallAbout(centre, radius * radius), base, from, from + radius);
    }
    return corner;
  }

  // The point at axis parameter t from base, in the context's frame.
  Vec3 AlongPoseAxis(const Vec3& base, double t) const {
    return {base[0] + t * A()[0], base[1] + t * A()[1], base[2] + t * A()[2]};
  }

  // The crossing pairs cut to where the axis parameter from base lies in
  // [low, high]: the slab between the two planes across the axis.
  IntervalList WithinAxial(const DexelCrossings& c, const Vec3& base, double low,
                           double high) const {
    IntervalList list;
    const Vec3& a = A();
    // Along the line the axis parameter is a[2] (w - base w) - q.
    const double q = a[0] * (base[0] - u_) + a[1] * (base[1] - v_);
    double wLow = -std::numeric_limits<double>::infinity();
    double wHigh = std::numeric_limits<double>::infinity();
    if (a[2] != 0.0) {
      const double w0 = base[2] + (low + q) / a[2], w1 = base[2] + (high + q) / a[2];
      wLow = std::min(w0, w1);
      wHigh = std::max(w0, w1);
    } else if (-q < low || -q > high) {
      return list;
    }
    for (int32_t k = 0; k + 1 < c.Count; k += 2) {
      const double w0 = std::max(c.W[k], wLow), w1 = std::min(c.W[k + 1], wHigh);
      if (w0 < w1) list.Append(IntervalList::Pair(w0, w1));
    }
    return list;
  }

  CutContext& cut_;
  CutGridContext& grid_;
  const CurrentTool& tool_;
  const ToolRecord& t_;
  const ToolPose& pose_;
  RunState& run_;
  const InterferenceCheckSettings& checks_;

  int body_ = kNotMet, neck_ = kNotMet, chip_ = kNotMet;
  bool stamped_ = false;
  int32_t i_ = 0, j_ = 0;
  double u_ = 0.0, v_ = 0.0;
  // The flat tools' cutting radius, halved in single precision.
  const double flatRadius_ = t_.Diameter / 2.0f;
  // The pose's axis as the pass's lines see it. A chip probe moves Point2
  // only, never the axis.
  const LineAxis lineAxis_{grid_.PoseAxis};
  // What stays the same for every line of the pass, read once (the cut
  // writes through pointers the compiler cannot tell apart from these).
  const bool hasNeck_ = tool_.HasUpperPoint != 0;
  const bool stamping_ = run_.MotionMode > kMotionRapid;
  const bool vertical_ = t_.Kind == kToolVertical;
  const bool heightCheck_ = checks_.HeightCheck > 0;
  const bool chipWidthCheck_ = vertical_ && checks_.ChipWidthCheck >= 1;
  // The body above the cutting part: endless, or this long from the tip.
  const bool bodyEndless_ =
      tool_.CuttingRadius <= tool_.ShankRadius && tool_.CuttingRadius == tool_.NeckRadius;
  const double bodyLength_ = tool_.CuttingRadius > tool_.ShankRadius
                                 ? static_cast<double>(tool_.Shank.NeckLength)
                                 : static_cast<double>(t_.CuttingLength);
  // The corner torus's end planes along the lines, when the axis meets them
  // steeply enough for a useful bound.
  const bool torusSlab_ = std::fabs(grid_.PoseAxis[2]) >= 0.1 && tool_.CornerRadiusAbs >= 0 &&
                          std::isfinite(tool_.CornerRadiusAbs);
  const double inverseAxisW_ = 1 / grid_.PoseAxis[2];
  const double torusTop_ = 2 * tool_.CornerRadiusAbs;
  // Which solid the flat tools' cutting part is.
  enum class FlatSolid { kEndless, kCutting, kNeckLength, kNone };
  const FlatSolid flatSolid_ = tool_.CuttingRadius <= tool_.ShankRadius
                                   ? (tool_.CuttingRadius == tool_.NeckRadius
                                          ? FlatSolid::kEndless
                                          : FlatSolid::kCutting)
                               : tool_.Shank.NeckLength > 0 ? FlatSolid::kNeckLength
                                                            : FlatSolid::kNone;
};


// --- The main pass on several threads ----------------------------------------
//
// Rows are independent: a line's cut edits only its own column, the row
// states start afresh on every row, and what rows share is either taken
// apart and merged in a fixed order (the removed volume's terms, the move's
// face flags) or merged where the order cannot matter (counts, update-block
// flags, hit flags, highest values). So the result is the one-thread result
// bit for bit.

// Dexel lines of each row of the context's range that the pass may visit
// (as VisitRangeColumns finds them, or more), into work; their sum.
int64_t RowWorkOf(const CutGridContext& grid, const PassReach& reach, int32_t v0, int32_t v1,
                  std::vector<int64_t>& work) {
  work.assign(static_cast<size_t>(std::max(v1 - v0 + 1, 0)), 0);
  const int32_t u0 = std::max(grid.RangeU0, 0), u1 = std::min(grid.RangeU1, grid.LastU);
  if (u1 < u0) return 0;
  const bool limited = reach.Radius >= 0 && std::isfinite(reach.Radius);
  const ReachTest test = limited ? MakeReachTest(grid, reach) : ReachTest{};
  int64_t sum = 0;
  for (int32_t j = v0; j <= v1; ++j) {
    int32_t first = u0, last = u1;
    if (limited && !ReachableColumns(grid, test, j, first, last)) continue;
    work[static_cast<size_t>(j - v0)] = last - first + 1;
    sum += last - first + 1;
  }
  return sum;
}

// Room for a long column per line the pass may visit, taken before the
// threads start: a column's growth then never moves the set's long columns
// under another thread's reading.
void ReserveLongColumns(DexelSet& set, int64_t lines) {
  const size_t needed = set.LongColumns.size() + static_cast<size_t>(lines);
  if (set.LongColumns.capacity() < needed)
    set.LongColumns.reserve(std::max(needed, 2 * set.LongColumns.capacity()));
}

// Adds the volume terms of the tasks that are done, in task order, to
// their contexts' sums: on the thread that finished a task, while later
// tasks still run, so that little of the one-order summation is left when
// the last task is done. One thread folds at a time; one that finds
// another folding leaves its task to it, which looks again after it stops.
void FoldFinishedTasks(MainPassWorkers& workers, size_t count) {
  for (;;) {
    if (workers.Folding.exchange(true)) return;
    size_t next = workers.Folded.load(std::memory_order_relaxed);
    for (; next < count && workers.TaskDone[next].load(); ++next) {
      const MainPassWorkers::Task& task = workers.Tasks[next];
      double& sum = workers.Sums[static_cast<size_t>(task.Context)];
      for (double term : task.VolumeTerms) sum += term;
    }
    workers.Folded.store(next, std::memory_order_relaxed);
    workers.Folding.store(false);
    if (next == count || !workers.TaskDone[next].load()) return;
  }
}

bool CutMainPassOnThreads(CutContext& cut) {
  if (cut.Threads == 1) return false;
  const CurrentTool& tool = cut.Records.Tool;
  // The chip probe climbs from line to line.
  if (tool.Tool.Kind == kToolRadius && cut.Records.Checks.ChipWidthCheck == 1) return false;
  for (CutGridContext& grid : cut.Grids) RefreshCutGrid(grid);
  // The ranges' columns bound the lines: a small pass is known small before
  // its rows are measured.
  int64_t bound = 0;
  for (const CutGridContext& grid : cut.Grids) {
    if (grid.Set == nullptr) continue;
    const int64_t u = std::min(grid.RangeU1, grid.LastU) - std::max(grid.RangeU0, 0) + 1;
    const int64_t v = std::min(grid.RangeV1, grid.LastV) - std::max(grid.RangeV0, 0) + 1;
    if (u > 0 && v > 0) bound += u * v;
  }
  if (bound < cut.ParallelMinColumns) return false;

  std::array<int64_t, 3> lines{};
  std::array<std::vector<int64_t>, 3> rowWork;
  int64_t total = 0;
  for (int c = 0; c < 3; ++c) {
    const CutGridContext& grid = cut.Grids[c];
    if (grid.Set == nullptr) continue;
    const int32_t v0 = std::max(grid.RangeV0, 0), v1 = std::min(grid.RangeV1, grid.LastV);
    lines[c] = RowWorkOf(grid, cut.Reach, v0, v1, rowWork[c]);
    total += lines[c];
  }
  if (total == 0 || total < cut.ParallelMinColumns) return false;
  // The machine's count is asked once: the pool keeps it.
  const int32_t threads = cut.Threads > 0 ? cut.Threads
                          : cut.Workers   ? cut.Workers->Pool.Threads()
                                          : DefaultThreadCount("VESTAN_CUT_THREADS");
  if (threads <= 1) return false;
  if (!cut.Workers || cut.Workers->Pool.Threads() != threads)
    cut.Workers = std::make_unique<MainPassWorkers>(threads, cut.Records);
  MainPassWorkers& workers = *cut.Workers;
  // Each thread used gets at least half the threshold's lines: a pose of
  // a few such shares gains little from more threads and would keep them
  // all spinning between poses.
  const int32_t used = static_cast<int32_t>(
      std::clamp<int64_t>(total / std::max<int64_t>(cut.ParallelMinColumns / 2, 1), 2, threads));

  // Row ranges of about equal work, several per thread so that uneven rows
  // even out.
  const int64_t share = std::max<int64_t>(total / (used * MainPassWorkers::kTasksPerThread), 1);
  size_t taskCount = 0;
  const auto nextTask = [&]() -> MainPassWorkers::Task& {
    if (taskCount == workers.Tasks.size()) workers.Tasks.emplace_back();
    return workers.Tasks[taskCount++];
  };
  for (int c = 0; c < 3; ++c) {
    const CutGridContext& grid = cut.Grids[c];
    if (lines[c] == 0) continue;
    ReserveLongColumns(*grid.Set, lines[c]);
    const int32_t v0 = std::max(grid.RangeV0, 0);
    const std::vector<int64_t>& work = rowWork[c];
    int64_t sum = 0;
    int32_t first = -1;
    for (size_t r = 0; r < work.size(); ++r) {
      if (work[r] == 0 && first < 0) continue;
      if (first < 0) first = v0 + static_cast<int32_t>(r);
      sum += work[r];
      if (sum >= share || r + 1 == work.size()) {
        MainPassWorkers::Task& task = nextTask();
        task.Context = c;
        task.FirstRow = first;
        task.LastRow = v0 + static_cast<int32_t>(r);
        sum = 0;
        first = -1;
      }
    }
  }

  RunState& run = cut.Records.Run;
  ToolLengthChecks& lengths = cut.Records.Lengths;
  const std::array<uint8_t, 2> faceFlags = run.CutFaceFlags;
  const size_t blockCount = cut.Grids[kContextZ].Model->BlockDirty.size();
  const std::span<MainPassWorkers::Thread> threadsUsed(workers.Threads.data(),
                                                      static_cast<size_t>(used));
  for (MainPassWorkers::Thread& thread : threadsUsed) {
    RunState& r = thread.Run;
    r.MotionMode = run.MotionMode;
    r.CuttingEnabled = run.CuttingEnabled;
    r.CycleFeedFlag = run.CycleFeedFlag;
    r.CutFaceAttributes = run.CutFaceAttributes;
    r.Hits.HeightHitFlag = 0;
    r.Hits.ChipWidthHitFlag = 0;
    thread.Lengths = lengths;
    CutContext& local = *thread.Cut;
    local.Pose = cut.Pose;
    local.Reach = cut.Reach;
    local.PlainColumnScan = cut.PlainColumnScan;
    local.ColumnEditLock = &workers.ColumnEditLock;
    // Left clear by the last pass's merge.
    if (thread.Dirty.size() != blockCount) thread.Dirty.assign(blockCount, 0);
  }

  if (workers.TaskDoneRoom < taskCount) {
    workers.TaskDone = std::make_unique<std::atomic<bool>[]>(taskCount);
    workers.TaskDoneRoom = taskCount;
  }
  for (size_t k = 0; k < taskCount; ++k) workers.TaskDone[k].store(false, std::memory_order_relaxed);
  for (int c = 0; c < 3; ++c) workers.Sums[static_cast<size_t>(c)] = cut.Grids[c].RemovedVolume;
  workers.Folded.store(0, std::memory_order_relaxed);

  workers.Pool.Run(static_cast<int32_t>(taskCount), [&](int32_t k, int32_t t) {
    MainPassWorkers::Task& task = workers.Tasks[static_cast<size_t>(k)];
    MainPassWorkers::Thread& thread = workers.Threads[static_cast<size_t>(t)];
    CutContext& local = *thread.Cut;
    thread.Run.CutFaceFlags = faceFlags;
    CutGridContext grid = cut.Grids[task.Context];
    grid.RangeV0 = task.FirstRow;
    grid.RangeV1 = task.LastRow;
    grid.RemovedVolume = 0.0;
    grid.RemovedCount = 0;
    grid.VisitedColumns = 0;
    task.VolumeTerms.clear();
    grid.VolumeTerms = &task.VolumeTerms;
    if (grid.Blocks.Dirty != nullptr) grid.Blocks.Dirty = thread.Dirty.data();
    grid.MarkCache = {};
    GeneralCutter cutter(local, grid);
    cutter.Run();
    task.RemovedCount = grid.RemovedCount;
    task.Visited = grid.VisitedColumns;
    task.Stamped = cutter.Stamped();
    task.FaceFlags = thread.Run.CutFaceFlags;
    workers.TaskDone[static_cast<size_t>(k)].store(true);
    FoldFinishedTasks(workers, taskCount);
  }, used);

  // Every task was done and folded before the run returned.
  for (int c = 0; c < 3; ++c) cut.Grids[c].RemovedVolume = workers.Sums[static_cast<size_t>(c)];
  for (size_t k = 0; k < taskCount; ++k) {
    const MainPassWorkers::Task& task = workers.Tasks[k];
    CutGridContext& grid = cut.Grids[task.Context];
    grid.RemovedCount += task.RemovedCount;
    grid.VisitedColumns += task.Visited;
    if (task.Stamped) run.CutFaceFlags = task.FaceFlags;
  }
  std::vector<uint8_t>& dirty = cut.Grids[kContextZ].Model->BlockDirty;
  for (MainPassWorkers::Thread& thread : threadsUsed) {
    if (thread.Run.Hits.HeightHitFlag != 0) run.Hits.HeightHitFlag = 1;
    if (thread.Run.Hits.ChipWidthHitFlag != 0) run.Hits.ChipWidthHitFlag = 1;
    lengths.MaxCutHeight = std::max(lengths.MaxCutHeight, thread.Lengths.MaxCutHeight);
    lengths.TipWidth = std::max(lengths.TipWidth, thread.Lengths.TipWidth);
    if (thread.Dirty.size() == dirty.size()) {
      uint8_t* own = thread.Dirty.data();
      for (size_t b = 0; b < dirty.size(); ++b) dirty[b] |= own[b];
      std::fill(thread.Dirty.begin(), thread.Dirty.end(), uint8_t{0});
    }
  }
  return true;
}

}  // namespace

MainPassWorkers::MainPassWorkers(int32_t threads, const CutRecords& records)
    : Threads(static_cast<size_t>(std::max(threads, 1))), Pool(threads) {
  for (Thread& thread : Threads)
    thread.Cut = std::make_unique<CutContext>(
        CutRecords{records.Tool, thread.Lengths, records.Checks, thread.Run, records.Document,
                   records.Mesh, records.Position});
}

void CutMainPass(CutContext& cut) {
  // Up a tilted tool the range reaches far beyond the material.
  for (CutGridContext& grid : cut.Grids) ClipRangeToMaterial(grid, cut.Reach);
  if (!CutMainPassOnThreads(cut))
    for (CutGridContext& grid : cut.Grids) CutDexelGrid3(cut, grid);
}

int32_t CutDexelGrid3(CutContext& cut, CutGridContext& grid) {
  RefreshCutGrid(grid);
  GeneralCutter(cut, grid).Run();
  return 0;
}

PassReach GeneralCutReach(const CutContext& cut) {
  const CurrentTool& tool = cut.Records.Tool;
  const ToolRecord& t = tool.Tool;
  const ToolPose& pose = cut.Pose;
  if (t.Kind == kToolRadius && cut.Records.Checks.ChipWidthCheck == 1) return {};
  const double rc = tool.CornerRadiusAbs;
  double radius = 0.0;
  bool finite = true;
  // Each solid's widest radius, as a sum of magnitudes.
  const auto take = [&](std::initializer_list<double> parts) {
    double sum = 0.0;
    for (double part : parts) sum += std::fabs(part);
    finite = finite && std::isfinite(sum);
    radius = std::max(radius, sum);
  };
  // The body, the neck step and the flat tools' cutting part.
  take({pose.Radius});
  take({tool.CuttingRadius});
  take({tool.NeckRadius});
  take({t.Diameter / 2.0f});
  switch (t.Kind) {
    case kToolFlat:
    case kToolVertical:
      break;
    case kToolBall:
    case kToolSphere:
      take({std::sqrt(pose.RadiusSquared)});
      break;
    case kToolRadius:
      take({t.CornerCentreRadius});
      take({tool.BottomRadius, rc});
      break;
    case kToolTThrow:
      take({std::sqrt(pose.RadiusSquared)});
      take({tool.ArcCentreRadius, rc});
      take({tool.ArcTopRadius});
      take({tool.ArcTopRadius - t.LowerCornerRadius, t.LowerCornerRadius});
      if (t.TaperWidth != 0) {
        take({tool.ArcTopRadius, (t.TaperWidth - t.Diameter) / 2});
        take({t.TaperWidth / 2.0f, (t.Diameter - t.TaperWidth) / 2});
      }
      break;
    default:
      take({tool.ArcCentreRadius, rc});  // tip cylinder and corner torus
      take({rc});                        // the taper ball's ball
      take({tool.OvalRadius});
      if (tool.BottomEdgeHeight > 0)
        take({tool.PointFlatRadius, tool.BottomEdgeHeight / tool.BottomSlope});
      if (tool.EnvelopeRadius > tool.ArcTopRadius)
        take({tool.ArcTopRadius, (tool.UpperHeightB - tool.UpperHeightA) / tool.SideSlope});
      break;
  }
  if (!finite) return {};

  PassReach reach;
  reach.Radius = radius;
  // Every solid runs up the axis from its base on the outline, the ball
  // about Point1 down to its radius below it, as long as no length is
  // negative.
  const double lengths[] = {tool.FullRadiusHeight,
                            t.CuttingLength,
                            t.BladeWidth,
                            tool.Shank.NeckLength,
                            tool.BottomEdgeHeight,
                            tool.UpperHeightB - tool.UpperHeightA,
                            tool.OvalJoinHeight,
                            t.LowerCornerRadius,
                            rc,
                            t.TipHeight};
  for (double length : lengths)
    if (!(length >= 0)) return reach;
  double low = 0.0;
  if (t.Kind == kToolBall || t.Kind == kToolTThrow || t.Kind == kToolSphere)
    low = tool.FullRadiusHeight - std::sqrt(pose.RadiusSquared);
  else if (t.Kind == kToolTaperBall)
    low = tool.FullRadiusHeight - rc;
  low = std::min(low, 0.0);
  for (const Vec3* point : {&pose.Point1, &pose.Point2, &pose.Point3, &pose.Point4})
    low = std::min(low, VectorDot(VectorSub(*point, pose.Tip), pose.Axis));
  if (tool.HasUpperPoint != 0)
    low = std::min(low, VectorDot(VectorSub(pose.Point5, pose.Tip), pose.Axis));
  reach.AxialLow = low;
  return reach;
}

}  // namespace vestan
