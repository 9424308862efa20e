#include "model/model_offset.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "model/column_operations.h"
#include "model/dexel_axes.h"

namespace vestan {

namespace {

bool InRange(int32_t index, int32_t count) { return index >= 0 && index < count; }

// The grid levels from trunc((low - g0) / pitch) to ceil((high - g0) /
// pitch), kept on the grid; false when none is left.
bool LevelRange(double low, double high, const std::vector<double>& grid, double pitch,
                int32_t& first, int32_t& last) {
  const double a = std::max(std::trunc((low - grid.front()) / pitch), 0.0);
  const double b = std::min(std::ceil((high - grid.front()) / pitch), grid.size() - 1.0);
  if (!(a <= b)) return false;
  first = static_cast<int32_t>(a);
  last = static_cast<int32_t>(b);
  return true;
}

// How far a contribution reaches across its line.
enum class Reach {
  kSphere,      // ball: h^2 = r^2 - (o p)^2 - delta^2 >= 0
  kErode,       // ball of a shrink: the same, > 0
  kDiscInside,  // disc on levels inside a segment: h^2 = r^2 - (o p)^2 >= 0
  kDiscStrict,  // disc across its own plane: r inside, sqrt(r^2 - delta^2) for r > delta
};

// The half-length h of the interval that a contribution at distance delta
// along the values' axis and offset cells across puts on a line; false when
// it does not reach. Plain and swept passes share it, so both compute the
// same numbers.
bool ReachHeight(Reach reach, double r, int32_t offset, double pitch, double delta, double& h) {
  const double across = offset * pitch;
  double h2 = 0;
  switch (reach) {
    case Reach::kSphere:
    case Reach::kErode:
      h2 = r * r - across * across - delta * delta;
      if (reach == Reach::kErode ? !(h2 > 0) : !(h2 >= 0)) return false;
      break;
    case Reach::kDiscInside:
      if (delta != 0) return false;
      h2 = r * r - across * across;
      if (!(h2 >= 0)) return false;
      break;
    case Reach::kDiscStrict:
      if (delta == 0) {
        h = r;
        return true;
      }
      if (!(r > delta)) return false;
      h2 = r * r - delta * delta;
      break;
  }
  h = std::sqrt(h2);
  return true;
}

// Distance of a level from a segment along the values' axis: 0 inside.
double DistanceFromSegment(double level, double s, double e) {
  return level < s ? s - level : level > e ? level - e : 0.0;
}

struct Clamp {
  double low;
  double high;
};

void ApplyClamp(std::span<double> values, int32_t count, const Clamp* clamp) {
  if (clamp == nullptr || count < 1) return;
  values[0] = std::max(values[0], clamp->low);
  values[count - 1] = std::min(values[count - 1], clamp->high);
}

// Whether a column holds flag 0 and attribute 0 on every value, as a rebuilt
// one does.
bool Rebuilt(const DexelSet& set, int32_t column) {
  const auto flags = DexelColumnFlags(set, column);
  const auto attributes = DexelColumnAttributes(set, column);
  return std::all_of(flags.begin(), flags.end(), [](uint8_t f) { return f == 0; }) &&
         std::all_of(attributes.begin(), attributes.end(), [](int32_t a) { return a == 0; });
}

bool WithinLimits(std::span<const double> v, const Clamp* clamp) {
  return clamp == nullptr || v.empty() || (v.front() >= clamp->low && v.back() <= clamp->high);
}

// Whether uniting [a, b] leaves the values as they are: [a, b] has no
// length, or lies in the first pair that reaches a, and the next pair does
// not touch that one (the union would join them; a dangling last value would
// be dropped).
bool UnionKeeps(std::span<const double> v, double a, double b) {
  if (a >= b) return true;
  if (v.size() % 2 != 0) return false;
  size_t p = 0;
  while (p + 1 < v.size() && v[p + 1] < a) p += 2;
  return p + 1 < v.size() && v[p] <= a && b <= v[p + 1] &&
         (p + 2 >= v.size() || v[p + 2] > v[p + 1]);
}

// Whether subtracting [a, b] leaves the values as they are: every pair lies
// apart from it or touches it (a dangling last value would be dropped).
bool SubtractionKeeps(std::span<const double> v, double a, double b) {
  if (v.size() % 2 != 0) return false;
  for (size_t p = 0; p + 1 < v.size(); p += 2)
    if (!(v[p] >= b || a >= v[p + 1])) return false;
  return true;
}

// Writes a rebuilt column with flag 0 and attribute 0. A column that holds
// exactly these values with flag 0 and attribute 0 already is left alone:
// the write would change nothing.
void WriteRebuilt(DexelSet& set, int32_t column, std::span<const double> values,
                  const OffsetWork& work) {
  const auto now = DexelColumnValues(set, column);
  const auto sameBits = [](double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
  };
  if (std::equal(now.begin(), now.end(), values.begin(), values.end(), sameBits) &&
      Rebuilt(set, column))
    return;
  SetDexelColumn(set, column, values, work.ZeroFlags, work.ZeroAttributes);
}

// Reads a target column into the work's target buffer.
int32_t ReadTarget(const DexelSet& set, int32_t column, OffsetWork& work) {
  return std::max(GetDexelColumnValues(set, column, work.Target), 0);
}

// Unites [a, b] into the target buffer, counting the work; false when the
// column would overflow.
bool Unite(OffsetWork& work, int32_t& count, double a, double b) {
  ++work.Unions;
  return AddIntervalToColumn(work.Target, count, a, b);
}

void RowDone(OffsetWork& work, int32_t columns) { ProgressRowDone(work.Progress, columns); }

// --- Same-set passes ---------------------------------------------------------

// One neighbour of a same-set pass: the target column lies inner, outer
// cells from the source's place, and every source pair [s, e] becomes
// [s - h, e + h] there.
struct Neighbour {
  int32_t inner;
  int32_t outer;
  double h;
};

// Neighbours (a, b) in -k..k of a ball (or of a disc when reach is the
// disc's own plane) that reach.
std::vector<Neighbour> BallNeighbours(Reach reach, double r, int32_t k, double pitch) {
  std::vector<Neighbour> list;
  for (int32_t b = -k; b <= k; ++b)
    for (int32_t a = -k; a <= k; ++a) {
      double h;
      if (ReachHeight(reach, r, a, pitch, b * pitch, h)) list.push_back({a, b, h});
    }
  return list;
}

void SameSetPlain(const DexelModel& source, int d, const std::vector<Neighbour>& neighbours,
                  int32_t shift, const Clamp* clamp, DexelModel& target, OffsetWork& work) {
  const DexelSet& from = source.SetByDirection(d);
  DexelSet& to = target.SetByDirection(d);
  const GridCounts ns = CountsOf(source), nt = CountsOf(target);
  for (int32_t j = 0; j < ns[OuterAxis(d)]; ++j) {
    for (int32_t i = 0; i < ns[InnerAxis(d)]; ++i) {
      const auto v = DexelColumnValues(from, ColumnOf(ns, d, i, j));
      if (v.empty()) continue;
      for (const Neighbour& n : neighbours) {
        const int32_t ti = i + shift + n.inner, tj = j + shift + n.outer;
        if (!InRange(ti, nt[InnerAxis(d)]) || !InRange(tj, nt[OuterAxis(d)])) continue;
        const int32_t column = ColumnOf(nt, d, ti, tj);
        int32_t count = ReadTarget(to, column, work);
        bool fits = true;
        for (size_t p = 0; fits && p + 1 < v.size(); p += 2)
          fits = Unite(work, count, v[p] - n.h, v[p + 1] + n.h);
        if (!fits) {
          ++to.RefusedWrites;
          continue;
        }
        ApplyClamp(work.Target, count, clamp);
        WriteRebuilt(to, column, std::span(work.Target.data(), count), work);
      }
    }
    RowDone(work, ns[InnerAxis(d)]);
  }
}

// The same union, gathered per target column: every neighbour's source
// column is grown into a buffer first, and the target written once.
void SameSetSwept(const DexelModel& source, int d, const std::vector<Neighbour>& neighbours,
                  int32_t shift, const Clamp* clamp, DexelModel& target, OffsetWork& work) {
  const DexelSet& from = source.SetByDirection(d);
  DexelSet& to = target.SetByDirection(d);
  const GridCounts ns = CountsOf(source), nt = CountsOf(target);
  std::span<double> gathered(work.Source);
  for (int32_t tj = 0; tj < nt[OuterAxis(d)]; ++tj) {
    for (int32_t ti = 0; ti < nt[InnerAxis(d)]; ++ti) {
      int32_t gatheredCount = 0;
      bool touched = false, fits = true;
      for (const Neighbour& n : neighbours) {
        const int32_t i = ti - shift - n.inner, j = tj - shift - n.outer;
        if (!InRange(i, ns[InnerAxis(d)]) || !InRange(j, ns[OuterAxis(d)])) continue;
        const auto v = DexelColumnValues(from, ColumnOf(ns, d, i, j));
        if (v.empty()) continue;
        touched = true;
        for (size_t p = 0; fits && p + 1 < v.size(); p += 2) {
          ++work.Unions;
          fits = AddIntervalToColumn(gathered, gatheredCount, v[p] - n.h, v[p + 1] + n.h);
        }
      }
      if (!touched) continue;
      const int32_t column = ColumnOf(nt, d, ti, tj);
      int32_t count = ReadTarget(to, column, work);
      for (int32_t p = 0; fits && p + 1 < gatheredCount; p += 2)
        fits = AddIntervalToColumn(work.Target, count, gathered[p], gathered[p + 1]);
      if (!fits) {
        ++to.RefusedWrites;
        continue;
      }
      ApplyClamp(work.Target, count, clamp);
      WriteRebuilt(to, column, std::span(work.Target.data(), count), work);
    }
    const int32_t j = tj - shift;
    if (InRange(j, ns[OuterAxis(d)])) RowDone(work, ns[InnerAxis(d)]);
  }
}

// Whether every value of the set lies within the clamp limits. Then every
// interval a clamped pass unites meets the limits, clamping a column is
// cutting it to them, and clamping once after all unions gives what clamping
// after each gives: the swept passes may run.
bool WithinClamp(const DexelSet& set, const Clamp* clamp) {
  if (clamp == nullptr) return true;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const auto v = DexelColumnValues(set, c);
    if (!v.empty() && (!(v.front() >= clamp->low) || !(v.back() <= clamp->high))) return false;
  }
  return true;
}

void SameSet(const DexelModel& source, int d, const std::vector<Neighbour>& neighbours,
             int32_t shift, const Clamp* clamp, DexelModel& target, OffsetWork& work) {
  if (work.Passes == OffsetPasses::kSwept && WithinClamp(source.SetByDirection(d), clamp) &&
      WithinClamp(target.SetByDirection(d), clamp))
    SameSetSwept(source, d, neighbours, shift, clamp, target, work);
  else
    SameSetPlain(source, d, neighbours, shift, clamp, target, work);
}

// --- Cross passes ------------------------------------------------------------

// A cross pass writes the set along the source's inner axis (kInner) or
// along its outer axis (kOuter). Its target columns are addressed by the
// source's other cross index moved by an offset, and by a level on the
// source's value axis; each contribution is an interval about q, the
// source column's grid coordinate on the target's axis.
enum class Relation { kInner, kOuter };

struct CrossPass {
  int d;  // the source set
  Relation relation;
  Reach reach;
  double r;         // the distance
  int32_t offsets;  // offsets -offsets..offsets across
  int32_t shift;    // source index + shift = target index

  // The target set; its lines run along the source axis that q lies on, and
  // the source's other cross axis carries the offset.
  int TargetSet() const { return relation == Relation::kInner ? InnerAxis(d) : OuterAxis(d); }
  // The target column of source index `across` (the index not on the
  // centre axis) moved by offset, at level; -1 when outside the grid.
  int32_t TargetColumn(const GridCounts& nt, int32_t across, int32_t offset, int32_t level) const {
    const int e = TargetSet();
    const int32_t moved = across + shift + offset;
    if (relation == Relation::kInner)
      return InRange(moved, nt[InnerAxis(e)]) ? ColumnOf(nt, e, moved, level) : -1;
    return InRange(moved, nt[OuterAxis(e)]) ? ColumnOf(nt, e, level, moved) : -1;
  }
};

// What both forms of a cross pass read and write: the source set, the target
// set, both grids' counts, the target's levels along the source's values and
// its grid lines along the target set's own axis, where the centres lie.
struct CrossSets {
  CrossSets(const CrossPass& pass, const DexelModel& source, DexelModel& target)
      : from(source.SetByDirection(pass.d)),
        to(target.SetByDirection(pass.TargetSet())),
        ns(CountsOf(source)),
        nt(CountsOf(target)),
        levels(GridLinesOf(target, pass.d)),
        centres(GridLinesOf(target, pass.TargetSet())) {}
  const DexelSet& from;
  DexelSet& to;
  GridCounts ns, nt;
  const std::vector<double>& levels;
  const std::vector<double>& centres;
};

void CrossPlain(const CrossPass& pass, const DexelModel& source, const Clamp* clamp,
                DexelModel& target, OffsetWork& work) {
  const int d = pass.d;
  const CrossSets sets(pass, source, target);
  const auto& [from, to, ns, nt, levels, centres] = sets;
  const bool erode = pass.reach == Reach::kErode;
  // Unites (or subtracts) [q - h, q + h] at one level and offset.
  const auto apply = [&](int32_t across, int32_t offset, int32_t level, double q, double h) {
    const int32_t column = pass.TargetColumn(nt, across, offset, level);
    if (column < 0) return;
    // A read and write that would change nothing is left out.
    const auto now = DexelColumnValues(to, column);
    if ((erode ? now.empty() || SubtractionKeeps(now, q - h, q + h)
               : UnionKeeps(now, q - h, q + h)) &&
        WithinLimits(now, clamp) && Rebuilt(to, column)) {
      if (!erode || !now.empty()) ++work.Unions;
      return;
    }
    int32_t count = ReadTarget(to, column, work);
    if (erode) {
      if (count == 0) return;
      ++work.Unions;
      SubtractIntervalFromColumn(work.Target, count, q - h, q + h);
    } else if (!Unite(work, count, q - h, q + h)) {
      ++to.RefusedWrites;
      return;
    }
    ApplyClamp(work.Target, count, clamp);
    WriteRebuilt(to, column, std::span(work.Target.data(), count), work);
  };
  for (int32_t j = 0; j < ns[OuterAxis(d)]; ++j) {
    for (int32_t i = 0; i < ns[InnerAxis(d)]; ++i) {
      const auto v = DexelColumnValues(from, ColumnOf(ns, d, i, j));
      if (v.empty()) continue;
      const bool innerCentre = pass.relation == Relation::kInner;
      const double q = centres[(innerCentre ? i : j) + pass.shift];
      const int32_t across = innerCentre ? j : i;
      // A shrink removes a ball about every value; growth sweeps every pair.
      const size_t step = erode ? 1 : 2;
      for (size_t p = 0; p + step - 1 < v.size(); p += step) {
        const double s = v[p], e = v[p + step - 1];
        int32_t first, last;
        if (!LevelRange(s - pass.r, e + pass.r, levels, source.Pitch, first, last)) continue;
        for (int32_t l = first; l <= last; ++l) {
          const double delta = erode ? levels[l] - s : DistanceFromSegment(levels[l], s, e);
          for (int32_t o = -pass.offsets; o <= pass.offsets; ++o) {
            double h;
            if (ReachHeight(pass.reach, pass.r, o, source.Pitch, delta, h))
              apply(across, o, l, q, h);
          }
        }
      }
    }
    RowDone(work, ns[InnerAxis(d)]);
  }
}

// The smallest distance of any segment of a column from a level, walking
// from the first segment that may still reach it; infinity when none does.
double NearestSegment(std::span<const double> v, size_t& from, double level, double r) {
  while (from + 1 < v.size() && level - v[from + 1] > r) from += 2;
  double nearest = std::numeric_limits<double>::infinity();
  for (size_t p = from; p + 1 < v.size() && v[p] - level <= r; p += 2)
    nearest = std::min(nearest, DistanceFromSegment(level, v[p], v[p + 1]));
  return nearest;
}

// The growth of a cross pass gathered per target column. For one value of
// the index that picks the target columns and one level, the source columns
// along the centre axis each give an interval about their centre, as large
// as their nearest segment allows (the others' intervals about the same
// centre lie inside it). A run of neighbours at the same distance whose
// intervals overlap one another unites to one interval from the first
// interval's start to the last one's end.
void CrossSwept(const CrossPass& pass, const DexelModel& source, const Clamp* clamp,
                DexelModel& target, OffsetWork& work) {
  const int d = pass.d;
  const CrossSets sets(pass, source, target);
  const auto& [from, to, ns, nt, levels, centres] = sets;
  const bool innerCentre = pass.relation == Relation::kInner;
  const int32_t along = ns[innerCentre ? InnerAxis(d) : OuterAxis(d)];
  const int32_t acrossCount = ns[innerCentre ? OuterAxis(d) : InnerAxis(d)];
  // Two neighbours' intervals of half-length h overlap when 2 h reaches the
  // widest spacing of their centres (rounding is monotone, so the computed
  // ends overlap too).
  double widest = 0;
  for (int32_t t = 0; t + 1 < along; ++t)
    widest = std::max(widest, centres[t + 1 + pass.shift] - centres[t + pass.shift]);
  const double overlapSpan = widest * (1 + 1e-12);

  std::vector<std::span<const double>> columns(along);
  std::vector<size_t> next(along);
  // Levels where some column's distance may differ from the level below: the
  // levels within reach of a segment's end, with one more on either side.
  // Between them every column is inside a segment or out of reach throughout,
  // so the runs, and what they give each offset, stay the same.
  std::vector<uint8_t> changes(levels.size());
  const auto markEnd = [&](double end) {
    int32_t a, b;
    if (!LevelRange(end - pass.r, end + pass.r, levels, source.Pitch, a, b)) return;
    std::fill(changes.begin() + std::max(a - 1, 0),
              changes.begin() + std::min<size_t>(b + 2, changes.size()), uint8_t{1});
  };
  struct Run {
    int32_t first, last;
    double delta;
  };
  std::vector<Run> runs;
  // What the runs give the target column of each offset.
  struct Gathered {
    std::vector<double> values;
    bool touched = false;
    bool fits = true;
    int64_t unions = 0;
  };
  std::vector<Gathered> byOffset(2 * static_cast<size_t>(pass.offsets) + 1);
  std::span<double> gathering(work.Source);
  const double* q = centres.data() + pass.shift;
  const auto gather = [&](int32_t o, Gathered& g) {
    int32_t count = 0;
    g = Gathered{};
    for (const Run& run : runs) {
      double h;
      if (!g.fits || !ReachHeight(pass.reach, pass.r, o, source.Pitch, run.delta, h)) continue;
      g.touched = true;
      g.unions += run.last - run.first + 1;
      if (h == 0) continue;  // intervals of no length change nothing
      if (run.first < run.last && 2 * h >= overlapSpan) {
        g.fits = AddIntervalToColumn(gathering, count, q[run.first] - h, q[run.last] + h);
      } else {
        for (int32_t t = run.first; g.fits && t <= run.last; ++t)
          g.fits = AddIntervalToColumn(gathering, count, q[t] - h, q[t] + h);
      }
    }
    g.values.assign(gathering.begin(), gathering.begin() + count);
  };
  for (int32_t f = 0; f < acrossCount; ++f) {
    int32_t firstLevel = std::numeric_limits<int32_t>::max(), lastLevel = -1;
    for (int32_t t = 0; t < along; ++t) {
      const int32_t column = innerCentre ? ColumnOf(ns, d, t, f) : ColumnOf(ns, d, f, t);
      columns[t] = DexelColumnValues(from, column);
      next[t] = 0;
      int32_t a, b;
      if (columns[t].size() >= 2 && LevelRange(columns[t].front() - pass.r,
                                               columns[t][columns[t].size() / 2 * 2 - 1] + pass.r,
                                               levels, source.Pitch, a, b)) {
        firstLevel = std::min(firstLevel, a);
        lastLevel = std::max(lastLevel, b);
      }
    }
    if (lastLevel < firstLevel) {
      RowDone(work, along);
      continue;
    }
    std::fill(changes.begin() + firstLevel, changes.begin() + lastLevel + 1, uint8_t{0});
    for (int32_t t = 0; t < along; ++t)
      for (size_t p = 0; p + 1 < columns[t].size(); p += 2) {
        markEnd(columns[t][p]);
        markEnd(columns[t][p + 1]);
      }
    for (int32_t l = firstLevel; l <= lastLevel; ++l) {
      if (l == firstLevel || changes[l] != 0) {
        runs.clear();
        for (int32_t t = 0; t < along; ++t) {
          // Segments further than r give intervals of no length at most,
          // which change nothing.
          const double nearest = NearestSegment(columns[t], next[t], levels[l], pass.r);
          if (!(nearest <= pass.r)) continue;
          if (!runs.empty() && runs.back().last == t - 1 && runs.back().delta == nearest)
            runs.back().last = t;
          else
            runs.push_back({t, t, nearest});
        }
        for (int32_t o = -pass.offsets; o <= pass.offsets; ++o)
          gather(o, byOffset[o + pass.offsets]);
      }
      for (int32_t o = -pass.offsets; o <= pass.offsets; ++o) {
        const Gathered& g = byOffset[o + pass.offsets];
        const int32_t column = pass.TargetColumn(nt, f, o, l);
        if (column < 0 || !g.touched) continue;
        work.Unions += g.unions;
        int32_t count = ReadTarget(to, column, work);
        bool fits = g.fits;
        for (size_t p = 0; fits && p + 1 < g.values.size(); p += 2)
          fits = AddIntervalToColumn(work.Target, count, g.values[p], g.values[p + 1]);
        if (!fits) {
          ++to.RefusedWrites;
          continue;
        }
        ApplyClamp(work.Target, count, clamp);
        WriteRebuilt(to, column, std::span(work.Target.data(), count), work);
      }
    }
    RowDone(work, along);
  }
}

void Cross(const CrossPass& pass, const DexelModel& source, const Clamp* clamp, DexelModel& target,
           OffsetWork& work) {
  if (work.Passes == OffsetPasses::kSwept && pass.reach != Reach::kErode &&
      WithinClamp(target.SetByDirection(pass.TargetSet()), clamp))
    CrossSwept(pass, source, clamp, target, work);
  else
    CrossPlain(pass, source, clamp, target, work);
}

// --- Fill passes -------------------------------------------------------------

bool InsideSegment(std::span<const double> v, double x) {
  for (size_t p = 0; p + 1 < v.size(); p += 2)
    if (v[p] <= x && x <= v[p + 1]) return true;
  return false;
}

void UniteInto(DexelSet& set, int32_t column, double a, double b, OffsetWork& work) {
  if (UnionKeeps(DexelColumnValues(set, column), a, b) && Rebuilt(set, column)) {
    ++work.Unions;
    return;
  }
  int32_t count = ReadTarget(set, column, work);
  if (!Unite(work, count, a, b)) {
    ++set.RefusedWrites;
    return;
  }
  WriteRebuilt(set, column, std::span(work.Target.data(), count), work);
}

// Where the lines of `tested` at two neighbouring indexes a and a + 1 (along
// axis `between`) are both inside material at a grid point of axis `along`,
// the line of `filled` through that point gets the cell [a, a + 1].
void FillBetween(DexelModel& m, int tested, int between, int filled, OffsetWork& work) {
  const GridCounts n = CountsOf(m);
  const DexelSet& t = m.SetByDirection(tested);
  DexelSet& f = m.SetByDirection(filled);
  const int along = tested;                // the tested lines run along it
  const int other = 3 - tested - between;  // the third axis, fixed per row
  const std::vector<double>& cells = GridLinesOf(m, between);
  const std::vector<double>& points = GridLinesOf(m, along);
  // Grid indexes by axis, for addressing a line of any set.
  const auto column = [&n](int set, std::array<int32_t, 3> index) {
    return ColumnOf(n, set, index[InnerAxis(set)], index[OuterAxis(set)]);
  };
  for (int32_t c = 0; c < n[other]; ++c) {
    for (int32_t a = 0; a + 1 < n[between]; ++a) {
      std::array<int32_t, 3> index{};
      index[other] = c;
      index[between] = a;
      const auto low = DexelColumnValues(t, column(tested, index));
      index[between] = a + 1;
      const auto high = DexelColumnValues(t, column(tested, index));
      if (low.empty() || high.empty()) continue;
      for (int32_t g = 0; g < n[along]; ++g) {
        if (!InsideSegment(low, points[g]) || !InsideSegment(high, points[g])) continue;
        index[along] = g;
        UniteInto(f, column(filled, index), cells[a], cells[a + 1], work);
      }
    }
    RowDone(work, 0);
  }
}

// --- Gap removal ---------------------------------------------------------------

template <typename Join>
int32_t FoldPairs(std::span<const double> v, std::span<double> out, Join join) {
  const size_t n = v.size();
  if (n == 2) {
    out[0] = v[0];
    out[1] = v[1];
    return 2;
  }
  if (n < 4) return 0;
  out[0] = v[0];
  out[1] = v[1];
  int32_t w = 2;
  for (size_t p = 2; p + 1 < n; p += 2) {
    if (join(out[w - 2], out[w - 1], v[p], v[p + 1])) {
      out[w - 1] = v[p + 1];
    } else {
      out[w] = v[p];
      out[w + 1] = v[p + 1];
      w += 2;
    }
  }
  return w;
}

struct Cells {
  double g0, pitch;
  double Cell(double v) const { return std::trunc((v - g0) / pitch); }
  bool OnLine(double v) const { return Cell(v) == (v - g0) / pitch; }
};

}  // namespace

OffsetWork::OffsetWork(ProgressState& progress, OffsetPasses passes)
    : Progress(progress),
      Passes(passes),
      Source(kMaxColumnValues),
      Target(kMaxColumnValues),
      ZeroFlags(kMaxColumnValues, 0),
      ZeroAttributes(kMaxColumnValues, 0) {}

bool CopyModelIntoGrid(const DexelModel& source, int32_t shift, DexelModel& target) {
  if (!source.Allocated() || !target.Allocated() || shift < 0) return false;
  const GridCounts ns = CountsOf(source), nt = CountsOf(target);
  for (int k = 0; k < 3; ++k)
    if (static_cast<int64_t>(ns[k]) + 2 * static_cast<int64_t>(shift) > nt[k]) return false;
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& from = source.SetByDirection(d);
    DexelSet& to = target.SetByDirection(d);
    for (int32_t j = 0; j < ns[OuterAxis(d)]; ++j)
      for (int32_t i = 0; i < ns[InnerAxis(d)]; ++i) {
        const int32_t c = ColumnOf(ns, d, i, j);
        SetDexelColumn(to, ColumnOf(nt, d, i + shift, j + shift), DexelColumnValues(from, c),
                       DexelColumnFlags(from, c), DexelColumnAttributes(from, c));
      }
  }
  return true;
}

void OffsetDexelsBySphere(const DexelModel& source, int direction, int32_t k, double d,
                          DexelModel& target, OffsetWork& work) {
  const double r = std::fabs(d);
  const std::vector<Neighbour> neighbours = BallNeighbours(Reach::kErode, r, k, source.Pitch);
  const DexelSet& from = source.SetByDirection(direction);
  DexelSet& to = target.SetByDirection(direction);
  const GridCounts n = CountsOf(source);
  const int32_t nInner = n[InnerAxis(direction)], nOuter = n[OuterAxis(direction)];
  for (int32_t j = 0; j < nOuter; ++j) {
    for (int32_t i = 0; i < nInner; ++i) {
      const auto v = DexelColumnValues(from, ColumnOf(n, direction, i, j));
      if (v.empty()) continue;
      for (const Neighbour& nb : neighbours) {
        const int32_t ti = i + nb.inner, tj = j + nb.outer;
        if (!InRange(ti, nInner) || !InRange(tj, nOuter)) continue;
        const int32_t column = ColumnOf(n, direction, ti, tj);
        const auto now = DexelColumnValues(to, column);
        if (now.empty()) continue;
        // A read and write that would change nothing is left out.
        if (std::all_of(v.begin(), v.end(),
                        [&](double x) { return SubtractionKeeps(now, x - nb.h, x + nb.h); }) &&
            Rebuilt(to, column))
          continue;
        int32_t count = ReadTarget(to, column, work);
        for (size_t p = 0; p < v.size() && count > 0; ++p) {
          ++work.Unions;
          SubtractIntervalFromColumn(work.Target, count, v[p] - nb.h, v[p] + nb.h);
        }
        WriteRebuilt(to, column, std::span(work.Target.data(), count), work);
      }
    }
    RowDone(work, nInner);
  }
}

void ErodeInnerAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                               DexelModel& target, OffsetWork& work) {
  CrossPlain({direction, Relation::kInner, Reach::kErode, std::fabs(d), k, 0}, source, nullptr,
             target, work);
}

void ErodeOuterAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                               DexelModel& target, OffsetWork& work) {
  CrossPlain({direction, Relation::kOuter, Reach::kErode, std::fabs(d), k, 0}, source, nullptr,
             target, work);
}

void DilateSameSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                           DexelModel& target, OffsetWork& work) {
  SameSet(source, direction, BallNeighbours(Reach::kSphere, d, k, source.Pitch), k, nullptr, target,
          work);
}

void DilateInnerAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                                DexelModel& target, OffsetWork& work) {
  Cross({direction, Relation::kInner, Reach::kSphere, d, k, k}, source, nullptr, target, work);
}

void DilateOuterAxisSetBySphere(const DexelModel& source, int direction, int32_t k, double d,
                                DexelModel& target, OffsetWork& work) {
  Cross({direction, Relation::kOuter, Reach::kSphere, d, k, k}, source, nullptr, target, work);
}

void DilateSameSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                  double low, double high, DexelModel& target, OffsetWork& work) {
  const Clamp clamp{low, high};
  SameSet(source, direction, BallNeighbours(Reach::kSphere, d, k, source.Pitch), 0, &clamp, target,
          work);
}

void DilateInnerAxisSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                       double low, double high, DexelModel& target,
                                       OffsetWork& work) {
  const Clamp clamp{low, high};
  Cross({direction, Relation::kInner, Reach::kSphere, d, k, 0}, source, &clamp, target, work);
}

void DilateOuterAxisSetBySphereClamped(const DexelModel& source, int direction, int32_t k, double d,
                                       double low, double high, DexelModel& target,
                                       OffsetWork& work) {
  const Clamp clamp{low, high};
  Cross({direction, Relation::kOuter, Reach::kSphere, d, k, 0}, source, &clamp, target, work);
}

void DilateZSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  std::vector<Neighbour> neighbours = BallNeighbours(Reach::kSphere, d, k, source.Pitch);
  for (Neighbour& n : neighbours) n.h = 0;  // the pairs are copied as they are
  SameSet(source, kDirectionZ, neighbours, k, nullptr, target, work);
}

void DilateZToXByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  Cross({kDirectionZ, Relation::kInner, Reach::kDiscInside, d, k, k}, source, nullptr, target,
        work);
}

void DilateZToYByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  Cross({kDirectionZ, Relation::kOuter, Reach::kDiscInside, d, k, k}, source, nullptr, target,
        work);
}

void DilateXSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  // Offsets along y, the X set's inner axis.
  std::vector<Neighbour> neighbours;
  for (int32_t b = -k; b <= k; ++b) {
    double h;
    if (ReachHeight(Reach::kDiscInside, d, b, source.Pitch, 0, h)) neighbours.push_back({b, 0, h});
  }
  SameSet(source, kDirectionX, neighbours, k, nullptr, target, work);
}

void DilateYSetByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  // Offsets along x, the Y set's outer axis.
  std::vector<Neighbour> neighbours;
  for (int32_t a = -k; a <= k; ++a) {
    double h;
    if (ReachHeight(Reach::kDiscInside, d, a, source.Pitch, 0, h)) neighbours.push_back({0, a, h});
  }
  SameSet(source, kDirectionY, neighbours, k, nullptr, target, work);
}

void DilateXToYByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  Cross({kDirectionX, Relation::kInner, Reach::kDiscStrict, d, 0, k}, source, nullptr, target,
        work);
}

void DilateYToXByDisc(const DexelModel& source, int32_t k, double d, DexelModel& target,
                      OffsetWork& work) {
  Cross({kDirectionY, Relation::kOuter, Reach::kDiscStrict, d, 0, k}, source, nullptr, target,
        work);
}

void StretchZSet(const DexelModel& source, int32_t k, double d, DexelModel& target,
                 OffsetWork& work) {
  SameSet(source, kDirectionZ, {{0, 0, d}}, k, nullptr, target, work);
}

void CopyYColumnsVertically(const DexelModel& source, int32_t k, int32_t m, DexelModel& target,
                            OffsetWork& work) {
  // Levels along z, the Y set's inner axis.
  std::vector<Neighbour> copies;
  for (int32_t c = -m; c <= m; ++c)
    if (c != 0) copies.push_back({c, 0, 0.0});
  SameSet(source, kDirectionY, copies, k, nullptr, target, work);
}

void CopyXColumnsVertically(const DexelModel& source, int32_t k, int32_t m, DexelModel& target,
                            OffsetWork& work) {
  // Levels along z, the X set's outer axis.
  std::vector<Neighbour> copies;
  for (int32_t c = -m; c <= m; ++c)
    if (c != 0) copies.push_back({0, c, 0.0});
  SameSet(source, kDirectionX, copies, k, nullptr, target, work);
}

void FillZSetFromSideSets(DexelModel& target, OffsetWork& work) {
  if (!target.Allocated()) return;
  FillBetween(target, kDirectionX, 2, kDirectionZ, work);  // X lines of levels l, l + 1
  FillBetween(target, kDirectionY, 2, kDirectionZ, work);  // Y lines of levels l, l + 1
}

void FillSideSetsFromZSet(DexelModel& target, OffsetWork& work) {
  if (!target.Allocated()) return;
  FillBetween(target, kDirectionZ, 0, kDirectionX, work);  // Z lines at ix, ix + 1
  FillBetween(target, kDirectionZ, 1, kDirectionY, work);  // Z lines at iy, iy + 1
}

void OffsetWorkModel(const DexelModel& source, int32_t k, int32_t kind, double d,
                     DexelModel& target, OffsetWork& work) {
  if (!source.Allocated() || !target.Allocated()) return;
  if (d <= 0) {
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      OffsetDexelsBySphere(source, dir, k, d, target, work);
      ErodeInnerAxisSetBySphere(source, dir, k, d, target, work);
      ErodeOuterAxisSetBySphere(source, dir, k, d, target, work);
    }
  } else if (kind == kOffsetNormal) {
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      DilateSameSetBySphere(source, dir, k, d, target, work);
      DilateInnerAxisSetBySphere(source, dir, k, d, target, work);
      DilateOuterAxisSetBySphere(source, dir, k, d, target, work);
    }
  } else if (kind == kOffsetZ) {
    const int32_t m = static_cast<int32_t>(std::trunc(d / source.Pitch));
    StretchZSet(source, k, d, target, work);
    CopyYColumnsVertically(source, k, m, target, work);
    CopyXColumnsVertically(source, k, m, target, work);
    FillSideSetsFromZSet(target, work);
  } else {
    DilateZSetByDisc(source, k, d, target, work);
    DilateZToXByDisc(source, k, d, target, work);
    DilateZToYByDisc(source, k, d, target, work);
    DilateYSetByDisc(source, k, d, target, work);
    DilateYToXByDisc(source, k, d, target, work);
    DilateXSetByDisc(source, k, d, target, work);
    DilateXToYByDisc(source, k, d, target, work);
    FillZSetFromSideSets(target, work);
  }
  MergeNarrowGaps(target);
}

int PrepareOffsetTarget(const DexelModel& source, double d, DexelModel& target, int32_t& k) {
  const auto refuse = [&target](int code) {
    FreeDexelModel(target);
    target.CountX = 0;
    return code;
  };
  k = 0;
  if (!source.Allocated() || !std::isfinite(d) || d == 0) return refuse(kModelBadGrid);
  const double cells = std::ceil(std::fabs(d) / source.Pitch);
  if (!(cells <= 1e9)) return refuse(kModelBadGrid);
  const int32_t shift = d > 0 ? static_cast<int32_t>(cells) : 0;
  constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();
  for (int32_t n : {source.CountX, source.CountY, source.CountZ})
    if (n + 2 * static_cast<int64_t>(shift) > kMaxCount) return refuse(kModelBadGrid);
  FreeDexelModel(target);
  target = DexelModel{};
  target.SlotCount = 1;
  target.Pitch = source.Pitch;
  target.CountX = source.CountX + 2 * shift;
  target.CountY = source.CountY + 2 * shift;
  target.CountZ = source.CountZ + 2 * shift;
  if (const int code = InitDexelGrids(target); code != kModelOk) return refuse(code);
  target.OriginX = source.OriginX - shift * source.Pitch;
  target.OriginY = source.OriginY - shift * source.Pitch;
  target.OriginZ = source.OriginZ - shift * source.Pitch;
  target.Placement = source.Placement;
  if (const int code = AllocDexelModel(target); code != kModelOk) return refuse(code);
  CopyModelIntoGrid(source, shift, target);
  k = static_cast<int32_t>(cells);
  return kModelOk;
}

int MakeOffsetModel(const DexelModel& source, int32_t kind, double d, DexelModel& target,
                    ProgressState& progress, OffsetPasses passes) {
  if (d == 0 && source.Allocated()) return 0;
  int32_t k;
  if (const int code = PrepareOffsetTarget(source, d, target, k); code != kModelOk) return code;
  const uint64_t total = 3 * (static_cast<uint64_t>(source.ColumnsZ) + source.ColumnsX +
                              static_cast<uint64_t>(source.ColumnsY));
  BeginProgress(progress, kProgressGivenTotal, total, "", 0, "オフセット中", "Offset");
  OffsetWork work(progress, passes);
  OffsetWorkModel(source, k, kind, d, target, work);
  EndProgress(progress);

  target.MinCorner() = {target.GridX.front(), target.GridY.front(), target.GridZ.front()};
  target.MaxCorner() = {target.GridX.back(), target.GridY.back(), target.GridZ.back()};
  target.RangeLastX = target.LastX;
  target.RangeLastY = target.LastY;
  target.RangeLastZ = target.LastZ;
  target.RangeReserved = 0;
  target.SideFlags() = {};
  target.InverseMatrix = source.InverseMatrix;
  target.NegTranslation = source.NegTranslation;
  target.Placed = source.Placed;
  return kModelOk;
}

int32_t CloseOneCellGaps(std::span<const double> values, double g0, double pitch,
                         std::span<double> out) {
  const Cells cells{g0, pitch};
  return FoldPairs(values, out, [&cells](double start, double end, double s, double e) {
    return cells.OnLine(end) && cells.OnLine(s) && cells.Cell(s) == cells.Cell(end) + 1 &&
           (start == end || s == e);
  });
}

int32_t MergeGapsWithinCell(std::span<const double> values, double g0, double pitch,
                            std::span<double> out) {
  const Cells cells{g0, pitch};
  return FoldPairs(values, out, [&cells](double, double end, double s, double) {
    return cells.OnLine(s) ? cells.Cell(s) == cells.Cell(end) + 1
                           : cells.Cell(s) == cells.Cell(end);
  });
}

void MergeNarrowGaps(DexelModel& model) {
  if (!model.Allocated()) return;
  std::vector<double> closed(kMaxColumnValues), merged(kMaxColumnValues);
  const std::vector<uint8_t> zeroFlags(kMaxColumnValues, 0);
  const std::vector<int32_t> zeroAttributes(kMaxColumnValues, 0);
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    DexelSet& set = model.SetByDirection(d);
    const double g0 = GridLinesOf(model, d).front();
    for (int32_t c = 0; c < set.Columns; ++c) {
      const auto v = DexelColumnValues(set, c);
      if (v.empty()) continue;
      const int32_t n1 = CloseOneCellGaps(v, g0, model.Pitch, closed);
      const int32_t n2 = MergeGapsWithinCell(std::span(closed.data(), n1), g0, model.Pitch, merged);
      if (n2 != static_cast<int32_t>(v.size()))
        SetDexelColumn(set, c, std::span(merged.data(), n2), zeroFlags, zeroAttributes);
    }
  }
}

}  // namespace vestan
