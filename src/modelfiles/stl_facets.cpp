#include "modelfiles/stl_facets.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vestan {

namespace {

Vec3 Vertex(const StlTriangle& t, size_t k) { return {t[3 + 3 * k], t[4 + 3 * k], t[5 + 3 * k]}; }

int32_t AxisPlaneOf(const StlTriangle& t) {
  for (size_t axis = 0; axis < 3; ++axis)
    if (t[3 + axis] == t[6 + axis] && t[3 + axis] == t[9 + axis]) return static_cast<int32_t>(axis);
  return kFacetPlaneGeneral;
}

// Facet indexes and their tops, position by position; they move together.
struct Ordering {
  std::vector<uint32_t> facet;
  std::vector<double> top;

  explicit Ordering(std::span<const StlFacetRecord> records)
      : facet(records.size()), top(records.size()) {
    std::iota(facet.begin(), facet.end(), 0u);
    for (size_t i = 0; i < records.size(); ++i) top[i] = records[i].BoxMax[2];
  }
};

// The selection ordering of positions [from, to) without its scans. Each
// step of the scan takes the largest top left and places every facet with
// that top; so the steps take the tops from the largest down, and a step
// needs only where that top's facets stand at the time (the first of them,
// then the others in position order) to make the scan's swaps.
void OrderByTop(Ordering& o, size_t from, size_t to) {
  const std::span<uint32_t> facet = std::span(o.facet).subspan(from, to - from);
  const std::span<double> top = std::span(o.top).subspan(from, to - from);
  const size_t n = facet.size();
  if (n < 2) return;
  // Facets by their first position in the range: where each stands now, and
  // which stands at each position.
  std::vector<uint32_t> standsAt(n), standing(n);
  std::iota(standsAt.begin(), standsAt.end(), 0u);
  std::iota(standing.begin(), standing.end(), 0u);
  std::vector<uint32_t> byTop;
  byTop.reserve(n);
  for (uint32_t f = 0; f < n; ++f)
    if (!std::isnan(top[f])) byTop.push_back(f);
  std::sort(byTop.begin(), byTop.end(), [&](uint32_t a, uint32_t b) { return top[a] > top[b]; });
  const auto swap = [&](size_t a, size_t b) {
    std::swap(standing[a], standing[b]);
    standsAt[standing[a]] = static_cast<uint32_t>(a);
    standsAt[standing[b]] = static_cast<uint32_t>(b);
  };
  std::vector<uint32_t> positions;
  size_t group = 0;
  for (size_t p = 0; p + 1 < n && group < byTop.size();) {
    // Nothing is greater than a top that is not a number: it stays.
    if (std::isnan(top[standing[p]])) {
      ++p;
      continue;
    }
    const double largest = top[byTop[group]];
    positions.clear();
    for (; group < byTop.size() && top[byTop[group]] == largest; ++group)
      positions.push_back(standsAt[byTop[group]]);
    std::sort(positions.begin(), positions.end());
    swap(p, positions[0]);
    for (size_t i = 1; i < positions.size(); ++i) swap(positions[i], p + i);
    p += positions.size();
  }
  const std::vector<uint32_t> oldFacet(facet.begin(), facet.end());
  const std::vector<double> oldTop(top.begin(), top.end());
  for (size_t i = 0; i < n; ++i) {
    facet[i] = oldFacet[standing[i]];
    top[i] = oldTop[standing[i]];
  }
}

// Puts both arrays in the order given (order[i] is the facet that goes to i),
// in place, one cycle of the permutation at a time.
void Arrange(std::span<const uint32_t> order, std::span<StlTriangle> triangles,
             std::span<StlFacetRecord> records) {
  std::vector<bool> placed(order.size());
  for (size_t start = 0; start < order.size(); ++start) {
    if (placed[start]) continue;
    const StlTriangle triangle = triangles[start];
    const StlFacetRecord record = records[start];
    size_t at = start;
    for (size_t from = order[at]; from != start; at = from, from = order[at]) {
      triangles[at] = triangles[from];
      records[at] = records[from];
      placed[at] = true;
    }
    triangles[at] = triangle;
    records[at] = record;
    placed[at] = true;
  }
}

// The merge of the ordered buckets [starts[j], starts[j + 1]).
std::vector<uint32_t> MergeBuckets(const Ordering& o, std::span<const size_t> starts) {
  const size_t buckets = starts.size() - 1;
  std::vector<size_t> next(starts.begin(), starts.end() - 1);
  std::vector<uint32_t> merged;
  merged.reserve(o.facet.size());
  while (merged.size() < o.facet.size()) {
    size_t chosen = buckets;
    double best = -1e10;
    for (size_t j = 0; j < buckets; ++j) {
      if (next[j] < starts[j + 1] && o.top[next[j]] > best) {
        best = o.top[next[j]];
        chosen = j;
      }
    }
    if (chosen == buckets) {
      // Tops at or below -1e10 (or not numbers) win no comparison against
      // the start: they compete without it rather than being lost.
      for (size_t j = 0; j < buckets; ++j)
        if (next[j] < starts[j + 1] && (chosen == buckets || o.top[next[j]] > o.top[next[chosen]]))
          chosen = j;
    }
    size_t& at = next[chosen];
    const double top = o.top[at];
    merged.push_back(o.facet[at++]);
    while (at < starts[chosen + 1] && o.top[at] == top) merged.push_back(o.facet[at++]);
  }
  return merged;
}

// Directions from the point to the three vertices, on the given axes only.
template <size_t N>
struct Directions {
  std::array<std::array<double, N>, 3> u{};
  bool nearVertex = false;
};

template <size_t N>
Directions<N> DirectionsTo(TriangleVertices t, const Vec3& point, const std::array<int, N>& axes) {
  Directions<N> d;
  for (size_t k = 0; k < 3; ++k) {
    double length2 = 0;
    for (size_t i = 0; i < N; ++i) {
      const size_t axis = static_cast<size_t>(axes[i]);
      d.u[k][i] = t[3 * k + axis] - point[axis];
      length2 += d.u[k][i] * d.u[k][i];
    }
    const double length = std::sqrt(length2);
    if (length < 0.01) d.nearVertex = true;
    for (double& c : d.u[k]) c /= length;
  }
  return d;
}

template <size_t N>
double Cosine(const std::array<double, N>& a, const std::array<double, N>& b) {
  double dot = 0;
  for (size_t i = 0; i < N; ++i) dot += a[i] * b[i];
  return std::clamp(dot, -1.0, 1.0);
}

bool OppositeSigns(double a, double b) { return (a < 0 && b > 0) || (a > 0 && b < 0); }

// The test's common part: near a vertex, on an edge, or the angle sum, whose
// second and third angles count negative where sideOf (the component of the
// cross product of two directions the reference was taken from) disagrees
// with the first pair's.
template <size_t N, typename SideOf>
int32_t Classify(const Directions<N>& d, SideOf sideOf, int32_t insideCode) {
  if (d.nearVertex) return kPointNearVertex;
  const std::array<double, 3> cosines{Cosine(d.u[0], d.u[1]), Cosine(d.u[1], d.u[2]),
                                      Cosine(d.u[2], d.u[0])};
  for (double c : cosines)
    if (c < -0.999999) return kPointOnEdge;
  const double reference = sideOf(d.u[0], d.u[1]);
  double sum = std::acos(cosines[0]);
  const double second = std::acos(cosines[1]);
  const double third = std::acos(cosines[2]);
  sum += OppositeSigns(sideOf(d.u[1], d.u[2]), reference) ? -second : second;
  sum += OppositeSigns(sideOf(d.u[2], d.u[0]), reference) ? -third : third;
  return std::fabs(sum) > 6.0 ? insideCode : kPointOutside;
}

}  // namespace

void BuildFacetRecords(std::span<const StlTriangle> triangles,
                       std::vector<StlFacetRecord>& records) {
  records.resize(triangles.size());
  for (size_t i = 0; i < triangles.size(); ++i) {
    const StlTriangle& t = triangles[i];
    StlFacetRecord& r = records[i];
    const Vec3 p0 = Vertex(t, 0), p1 = Vertex(t, 1), p2 = Vertex(t, 2);
    r.AxisPlane = AxisPlaneOf(t);
    ComputePlaneFromTriangle(p0, p1, p2, r.Plane);
    ComputeBoundingBox(p0, p1, p2, r.BoxMin, r.BoxMax);
  }
}

void SortFacetsByTop(std::span<StlTriangle> triangles, std::span<StlFacetRecord> records) {
  const size_t n = std::min(triangles.size(), records.size());
  Ordering o(records.first(n));
  OrderByTop(o, 0, n);
  Arrange(o.facet, triangles, records);
}

int32_t TriangleBucketCount(int64_t facetCount) {
  if (facetCount < 5000) return 1;
  const int64_t k = facetCount / 5000;
  return static_cast<int32_t>(k < 3 ? 2 : std::min<int64_t>(k, 50));
}

void BuildTriangleBuckets(std::span<StlTriangle> triangles, std::span<StlFacetRecord> records) {
  const size_t n = std::min(triangles.size(), records.size());
  const size_t buckets = static_cast<size_t>(TriangleBucketCount(static_cast<int64_t>(n)));
  if (buckets == 1) {
    SortFacetsByTop(triangles.first(n), records.first(n));
    return;
  }
  Ordering o(records.first(n));
  std::vector<size_t> starts(buckets + 1, n);
  for (size_t j = 0; j < buckets; ++j) starts[j] = j * (n / buckets);
  for (size_t j = 0; j < buckets; ++j) OrderByTop(o, starts[j], starts[j + 1]);
  Arrange(MergeBuckets(o, starts), triangles, records);
}

int32_t TestPointInTriangle(TriangleVertices triangle, const Vec3& point) {
  const Directions<3> d = DirectionsTo<3>(triangle, point, {0, 1, 2});
  // The reference is the first non-zero of the z, x and y components of
  // u1 x u2; without one no turn can be judged.
  constexpr std::array<size_t, 3> kComponents{2, 0, 1};
  constexpr std::array<int32_t, 3> kInsideCodes{kPointInsideXY, kPointInsideYZ, kPointInsideZX};
  const Vec3 cross = VectorCross(d.u[0], d.u[1]);
  size_t c = 0;
  while (c < 3 && cross[kComponents[c]] == 0.0) ++c;
  const size_t component = kComponents[std::min<size_t>(c, 2)];
  const auto sideOf = [component](const Vec3& u, const Vec3& v) {
    return VectorCross(u, v)[component];
  };
  return Classify(d, sideOf, c < 3 ? kInsideCodes[c] : kPointOutside);
}

int32_t TestPointInTriangle2D(TriangleVertices triangle, const Vec3& point, int a, int b) {
  if (a < 0 || a > 2 || b < 0 || b > 2) return kPointOutside;
  const Directions<2> d = DirectionsTo<2>(triangle, point, {a, b});
  using Planar = std::array<double, 2>;
  const auto sideOf = [](const Planar& u, const Planar& v) { return u[0] * v[1] - u[1] * v[0]; };
  return Classify(d, sideOf, sideOf(d.u[0], d.u[1]) == 0.0 ? kPointOutside : kPointInsideXY);
}

}  // namespace vestan
