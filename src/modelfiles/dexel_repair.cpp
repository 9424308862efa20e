#include "modelfiles/dexel_repair.h"

#include <algorithm>
#include <cmath>

namespace vestan {

namespace {

// A missing probe counts as a column of this many values.
constexpr int32_t kNoProbeCount = 9999999;

const std::vector<double>& GridOf(const DexelModel& model, int axis) {
  return axis == kDirectionX ? model.GridX : axis == kDirectionY ? model.GridY : model.GridZ;
}

// Where the probes of one repaired column are: for a grid index g along the
// column, the first and the second probe column, and the coordinate each of
// them tests.
struct ProbeLayout {
  int FirstSet = 0, SecondSet = 0;
  int32_t FirstColumn(int32_t g) const { return FirstBase + g * FirstStep; }
  int32_t SecondColumn(int32_t g) const { return SecondBase + g * SecondStep; }
  int32_t FirstBase = 0, FirstStep = 0, SecondBase = 0, SecondStep = 0;
  double FirstTests = 0.0, SecondTests = 0.0;
};

ProbeLayout LayoutFor(const DexelModel& m, int direction, int32_t column) {
  ProbeLayout p;
  if (direction == kDirectionX) {
    // X column (y = j, z = k): Z columns (g, j) test z(k); Y columns (g, k) test y(j).
    const int32_t j = column % m.CountY, k = column / m.CountY;
    p.FirstSet = kDirectionZ;
    p.FirstBase = ColumnIndexZ(m, 0, j);
    p.FirstStep = 1;
    p.FirstTests = m.GridZ[k];
    p.SecondSet = kDirectionY;
    p.SecondBase = ColumnIndexY(m, k, 0);
    p.SecondStep = m.CountZ;
    p.SecondTests = m.GridY[j];
  } else if (direction == kDirectionY) {
    // Y column (x = i, z = k): Z columns (i, g) test z(k); X columns (g, k) test x(i).
    const int32_t k = column % m.CountZ, i = column / m.CountZ;
    p.FirstSet = kDirectionZ;
    p.FirstBase = ColumnIndexZ(m, i, 0);
    p.FirstStep = m.CountX;
    p.FirstTests = m.GridZ[k];
    p.SecondSet = kDirectionX;
    p.SecondBase = ColumnIndexX(m, 0, k);
    p.SecondStep = 1;
    p.SecondTests = m.GridX[i];
  } else {
    // Z column (x = i, y = j): X columns (j, g) test x(i); Y columns (g, i) test y(j).
    const int32_t i = column % m.CountX, j = column / m.CountX;
    p.FirstSet = kDirectionX;
    p.FirstBase = ColumnIndexX(m, j, 0);
    p.FirstStep = m.CountY;
    p.FirstTests = m.GridX[i];
    p.SecondSet = kDirectionY;
    p.SecondBase = ColumnIndexY(m, 0, i);
    p.SecondStep = 1;
    p.SecondTests = m.GridY[j];
  }
  return p;
}

struct Probe {
  bool Found = false;
  int32_t Column = 0;
  int32_t Count = kNoProbeCount;
  int32_t CountBefore = kNoProbeCount;
};

// Among the probe columns at g0..g1: an even count only, the smaller the
// better, an equal one taken only below the middle; done once a 2-value
// column is chosen beyond g0.
template <typename ColumnAt>
Probe ChooseProbe(const DexelSet& set, const std::vector<int32_t>& countsBefore, int32_t g0,
                  int32_t g1, ColumnAt columnAt) {
  Probe chosen;
  const int32_t mid = (g0 + g1) / 2;
  for (int32_t g = g0; g <= g1; ++g) {
    const int32_t column = columnAt(g);
    const int32_t count = DexelColumnCount(set, column);
    if (count % 2 == 0 &&
        (!chosen.Found || count < chosen.Count || (count == chosen.Count && g < mid))) {
      chosen.Found = true;
      chosen.Column = column;
      chosen.Count = count;
    }
    if (chosen.Found && chosen.Count == 2 && g > g0) break;
  }
  if (chosen.Found && static_cast<size_t>(chosen.Column) < countsBefore.size())
    chosen.CountBefore = countsBefore[chosen.Column];
  return chosen;
}

// The coordinate lies in one of the probe's intervals, bounds included.
bool ProbeSaysMaterial(const DexelSet& set, const Probe& probe, double coordinate) {
  const std::span<const double> w = DexelColumnValues(set, probe.Column);
  for (size_t m = 0; m + 1 < w.size(); m += 2)
    if (w[m] <= coordinate && coordinate <= w[m + 1]) return true;
  return false;
}

uint8_t SegmentVerdict(const DexelModel& model, const ProbeLayout& layout,
                       const std::vector<double>& grid, double low, double high,
                       const DexelRepairState& state) {
  const double origin = grid.front(), pitch = model.Pitch;
  const int32_t last = static_cast<int32_t>(grid.size()) - 1;
  // The grid lines strictly between low and high.
  double first = std::ceil((low - origin) / pitch);
  double end = std::floor((high - origin) / pitch);
  first = std::max(first, 0.0);
  end = std::min(end, static_cast<double>(last));
  if (!(first <= last) || !(end >= 0) || first > end) return kSegmentNoGridLine;
  int32_t g0 = static_cast<int32_t>(first), g1 = static_cast<int32_t>(end);
  if (grid[g0] <= low) ++g0;
  if (grid[g1] >= high) --g1;
  if (g1 < g0) return kSegmentNoGridLine;

  const DexelSet& firstSet = model.SetByDirection(layout.FirstSet);
  const DexelSet& secondSet = model.SetByDirection(layout.SecondSet);
  const Probe one = ChooseProbe(firstSet, state.CountsBefore[layout.FirstSet], g0, g1,
                                [&](int32_t g) { return layout.FirstColumn(g); });
  if (one.Found && one.Count <= 2)
    return ProbeSaysMaterial(firstSet, one, layout.FirstTests) ? kSegmentMaterial
                                                               : kSegmentEmptyFirstFew;
  const Probe two = ChooseProbe(secondSet, state.CountsBefore[layout.SecondSet], g0, g1,
                                [&](int32_t g) { return layout.SecondColumn(g); });
  if (two.Found && two.Count <= 2)
    return ProbeSaysMaterial(secondSet, two, layout.SecondTests) ? kSegmentMaterial
                                                                 : kSegmentEmptySecondFew;
  const auto testFirst = [&] {
    return ProbeSaysMaterial(firstSet, one, layout.FirstTests) ? kSegmentMaterial
                                                               : kSegmentEmptyFirstMany;
  };
  const auto testSecond = [&] {
    return ProbeSaysMaterial(secondSet, two, layout.SecondTests) ? kSegmentMaterial
                                                                 : kSegmentEmptySecondMany;
  };
  const int32_t n1 = one.Count, n2 = two.Count;
  if (n1 == n2 && n1 % 2 == 0)
    return two.CountBefore < one.CountBefore ? testSecond() : testFirst();
  if (n1 <= n2 && n1 % 2 == 0) return testFirst();
  if (n2 <= n1 && n2 % 2 == 0) return testSecond();
  return kSegmentNoProbe;
}

// The column rebuilt from its segments' verdicts.
struct RebuiltColumn {
  std::vector<double> Values;
  std::vector<uint8_t> Flags;
  std::vector<int32_t> Attributes;

  size_t Size() const { return Values.size(); }
  void Push(double v, uint8_t f, int32_t a) {
    Values.push_back(v);
    Flags.push_back(f);
    Attributes.push_back(a);
  }
  void ReplaceLast(double v, uint8_t f, int32_t a) {
    Values.back() = v;
    Flags.back() = f;
    Attributes.back() = a;
  }
};

void Rebuild(std::span<const double> v, std::span<const uint8_t> f, std::span<const int32_t> a,
             const std::vector<uint8_t>& verdicts, RebuiltColumn& out) {
  out = RebuiltColumn{};
  const size_t n = v.size();
  out.Push(v[0], f[0], a[0]);
  // The output still is the column's first value alone: every earlier
  // segment was passed over.
  bool untouched = true;
  for (size_t s = 0; s + 1 < n; ++s) {
    const bool lastSegment = s + 2 == n;
    const bool even = out.Size() % 2 == 0;
    const uint8_t verdict = verdicts[s];
    if (verdict == kSegmentMaterial) {
      if (even)
        out.ReplaceLast(v[s + 1], f[s + 1], a[s + 1]);  // the interval goes on
      else
        out.Push(v[s + 1], f[s + 1], a[s + 1]);  // it closes here
      untouched = false;
    } else if (verdict >= kSegmentEmptySecondMany) {
      if (lastSegment) continue;
      if (even) {
        out.Push(v[s + 1], f[s + 1], a[s + 1]);  // a new interval may start here
      } else if (out.Size() == 1 && s >= 1 && untouched) {
        out.Push(v[s], f[s], a[s]);
        out.Push(v[s + 1], f[s + 1], a[s + 1]);
      } else {
        out.ReplaceLast(v[s + 1], f[s + 1], a[s + 1]);  // the open interval starts later
      }
      untouched = false;
    } else if (!lastSegment) {
      // Undecided: a value whose hit touched a facet's edge is dropped.
      if (f[s + 1] == 0) {
        out.Push(v[s + 1], 0, a[s + 1]);
        untouched = false;
      }
    } else if (even) {
      out.ReplaceLast(v[n - 1], f[n - 1], a[n - 1]);
    } else {
      out.Push(v[n - 1], f[n - 1], a[n - 1]);
    }
  }
}

}  // namespace

void PrepareDexelRepair(const DexelModel& model, DexelRepairState& state) {
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = model.SetByDirection(d);
    state.CountsBefore[d].assign(set.Counts.begin(), set.Counts.end());
    state.OddSets[d] = 0;
  }
}

std::vector<uint8_t> ComputeSegmentVerdicts(const DexelModel& model, int direction, int32_t column,
                                            const DexelRepairState& state) {
  const DexelSet& set = model.SetByDirection(direction);
  const std::span<const double> v = DexelColumnValues(set, column);
  std::vector<uint8_t> verdicts;
  if (v.size() < 2) return verdicts;
  const ProbeLayout layout = LayoutFor(model, direction, column);
  const std::vector<double>& grid = GridOf(model, direction);
  verdicts.reserve(v.size() - 1);
  for (size_t s = 0; s + 1 < v.size(); ++s)
    verdicts.push_back(SegmentVerdict(model, layout, grid, v[s], v[s + 1], state));
  return verdicts;
}

void RepairDexelModel(DexelModel& model, int32_t pass, DexelRepairState& state,
                      ProgressState* progress) {
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  RebuiltColumn out;
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    if (pass != 0 && state.OddSets[d] == 0) continue;
    DexelSet& set = model.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      const int32_t count = DexelColumnCount(set, c);
      // A single value cannot be rebuilt; pass 1 empties it, as every column
      // still odd.
      if (pass == 0 && count == 1) state.OddSets[d] = 1;
      if (pass == 0 ? count <= 2 : count % 2 == 0) continue;
      const std::vector<uint8_t> verdicts = ComputeSegmentVerdicts(model, d, c, state);
      values.resize(count);
      flags.resize(count);
      attributes.resize(count);
      GetDexelColumn(set, c, values, flags, attributes);
      Rebuild(values, flags, attributes, verdicts, out);
      if (out.Size() % 2 != 0) {
        if (pass == 0) {
          state.OddSets[d] = 1;
        } else {
          SetDexelColumn(set, c, {}, {}, {});
          continue;
        }
      }
      SetDexelColumn(set, c, out.Values, out.Flags, out.Attributes);
    }
    if (progress != nullptr && progress->Pump.PumpDuringWork != 0) PumpPendingMessage(*progress);
  }
}

void RepairSlicedModel(DexelModel& model, ProgressState* progress) {
  DexelRepairState state;
  PrepareDexelRepair(model, state);
  RepairDexelModel(model, 0, state, progress);
  if (state.OddSets[0] != 0 || state.OddSets[1] != 0 || state.OddSets[2] != 0)
    RepairDexelModel(model, 1, state, progress);
}

}  // namespace vestan
