// Every cutter kind cut at one pose on nine tool axes: each column end the
// cut leaves on every dexel line of the three directions is compared with the
// exact solid of the tool, worked out here from the numbers of its tool table
// line alone and found on each line by sampling and bisection.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "model/cut_world.h"
#include "model/dexel_axes.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_world.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

using testing::CutWorld;
using testing::ToolWorld;

// --- The exact solids --------------------------------------------------------

// A point of the tool in its own frame: x and y across the axis, h up the
// axis from the tip.
struct ToolPoint {
  double x, y, h;
  double Rho() const { return std::hypot(x, y); }
};

// Positive inside the solid, not positive outside, and continuous: where
// it changes sign is the solid's surface.
using Inside = std::function<double(const ToolPoint&)>;

// A solid of revolution given by its half-section: positive inside.
Inside Revolved(std::function<double(double rho, double h)> section) {
  return [section](const ToolPoint& p) { return section(p.Rho(), p.h); };
}

// Radius of a circular arc of radius r about (centreRho, centreH) at height
// h, on its outer side.
double ArcRadius(double centreRho, double centreH, double r, double h) {
  const double d = h - centreH;
  return centreRho + std::sqrt(std::max(0.0, r * r - d * d));
}

// Inside a disc of the section.
double Disc(double rho, double h, double centreRho, double centreH, double r) {
  return r - std::hypot(rho - centreRho, h - centreH);
}

constexpr double kEndless = 1e9;
const double kDegree = kPi / 180;

struct Solid {
  std::string Name;
  int32_t Tool;
  Inside In;
  double Reach;  // no point of the solid lies farther from the axis
  // An IMPORT tool: the box of x, y within +-5 and z 0 to 10 as its mesh.
  bool MeshBox = false;
};

// Test names show the solid's name.
void PrintTo(const Solid& solid, std::ostream* out) { *out << solid.Name; }

// A flat-bottomed tool whose radius at height h is radius(h).
Inside FlatBottom(std::function<double(double)> radius) {
  return Revolved(
      [radius](double rho, double h) { return std::min(h, radius(std::max(h, 0.0)) - rho); });
}

// A T-THROW blade of width b from the tip, radius r at its flat, corner
// radii low (at the tip) and high (at the top), or a taper to the radius
// top at the blade's top; the neck of radius neck runs up from inside the
// blade (from the centre of the low corner), so it stays joined to a blade
// that narrows to less than the neck at its top.
Inside TThrow(double r, double b, double low, double high, double top, double neck) {
  return Revolved([=](double rho, double h) {
    const double t = std::clamp(h, 0.0, b);
    double radius = r;
    if (top != r)
      radius = r + (top - r) * t / b;
    else if (t < low)
      radius = ArcRadius(r - low, low, low, t);
    else if (t > b - high)
      radius = ArcRadius(r - high, b - high, high, t);
    const double blade = std::min({h, b - h, radius - rho});
    return std::max(blade, std::min(h - low, neck - rho));
  });
}

// The corner arc of radius c that joins a line h = tan(g) (rho - p) from
// below (a cone from a point flat of radius p) with a side rho = r + tan(a)
// (h - hr), both seen from inside: its centre and where it touches either.
struct Corner {
  double Rho, H;       // centre
  double LowH, HighH;  // heights where it touches the cone and the side
};
Corner RoundCorner(double g, double p, double a, double r, double hr, double c) {
  // Inward unit normals: n1 up from the cone, n2 in from the side.
  const double n1r = -std::sin(g), n1h = std::cos(g);
  const double n2r = -std::cos(a), n2h = std::sin(a);
  // n1 . C = n1 . (p, 0) + c and n2 . C = n2 . (r, hr) + c.
  const double k1 = n1r * p + c, k2 = n2r * r + n2h * hr + c;
  const double det = n1r * n2h - n1h * n2r;
  Corner corner;
  corner.Rho = (k1 * n2h - n1h * k2) / det;
  corner.H = (n1r * k2 - n2r * k1) / det;
  corner.LowH = corner.H - c * n1h;
  corner.HighH = corner.H - c * n2h;
  return corner;
}

// The general rotational tool: a cone of angle g from the point flat p, the
// corner arc c and a side tapering at a through (r, tan(g) (r - p)) up to
// the cutting length, then straight on.
Inside GeneralTool(double r, double p, double g, double c, double a, double length) {
  const double hr = std::tan(g) * (r - p);
  const Corner k = RoundCorner(g, p, a, r, hr, c);
  const auto radius = [=](double h) {
    if (h < k.LowH) return p + h / std::tan(g);
    if (h < k.HighH) return ArcRadius(k.Rho, k.H, c, h);
    return r + std::tan(a) * (std::min(h, length) - hr);
  };
  return Revolved([=](double rho, double h) {
    return std::min(p > 0 ? h : kEndless, radius(std::max(h, 0.0)) - rho + std::min(h, 0.0));
  });
}

// An oval tool: the ellipse of radial half-axis e and axial half-axis t
// about the height t, joined to the side r by an arc c (none: c 0).
Inside Oval(double r, double t, double e, double c) {
  double joinH = t, centreH = t;  // ellipse up to joinH, the arc up to centreH
  if (c > 0) {
    // The point of the ellipse whose inward normal reaches r - c at c.
    const auto centreRho = [&](double theta, double& h) {
      const double pr = e * std::sin(theta), ph = t - t * std::cos(theta);
      double nr = -std::sin(theta) / e, nh = std::cos(theta) / t;
      const double n = std::hypot(nr, nh);
      nr /= n;
      nh /= n;
      h = ph + c * nh;
      joinH = ph;
      return pr + c * nr;
    };
    double lo = 0, hi = kPi / 2, h = 0;
    for (int i = 0; i < 200; ++i) {
      const double mid = (lo + hi) / 2;
      (centreRho(mid, h) < r - c ? lo : hi) = mid;
    }
    centreRho(lo, h);
    centreH = h;
  } else if (e > r) {
    joinH = centreH = t - t * std::sqrt(1 - r * r / (e * e));
  }
  return Revolved([=](double rho, double h) {
    double radius = r;
    if (h < joinH) {
      const double d = (h - t) / t;
      radius = e * std::sqrt(std::max(0.0, 1 - d * d));
    } else if (h < centreH) {
      radius = ArcRadius(r - c, centreH, c, h);
    }
    return radius - rho + std::min(h, 0.0);
  });
}

// A RADIUS tool: a torus of tube c about the ring r - c at height c, the
// body from c up with a centre hole of radius hole up to the height depth,
// and the pilot of that radius above it.
Inside RadiusTool(double r, double c, double hole, double depth) {
  return Revolved([=](double rho, double h) {
    const double torus = Disc(rho, h, r - c, c, c);
    const double body = std::min({h - c, r - rho, std::max(rho - hole, h - depth)});
    const double pilot = std::min(h - depth, hole - rho);
    return std::max({torus, body, pilot});
  });
}

std::vector<Solid> Solids() {
  const double g30 = 30 * kDegree, a10 = 10 * kDegree;
  // TAPERBALL 2,10: the side at 10 degrees touches the ball about (0, 2).
  const double tangentH = 2 - 2 * std::sin(a10);
  const double sideAt0 = 2 * std::cos(a10) - tangentH * std::tan(a10);
  // RADIUS 20,5,3: the hole's radius is where the torus's inner side stands
  // at the height 3.
  const double hole5 = 10 - 5 - std::sqrt(25.0 - 4.0);
  return {
      {"FLAT", 1, FlatBottom([](double) { return 5.0; }), 5},
      {"BALL", 2, Revolved([](double rho, double h) {
         return std::max(Disc(rho, h, 0, 5, 5), std::min(h - 5, 5 - rho));
       }),
       5},
      {"BULL", 3, FlatBottom([](double h) { return h < 2 ? ArcRadius(4, 2, 2, h) : 6.0; }), 6},
      {"hollow corner", 4, Revolved([](double rho, double h) {
         return std::min({h, 6 - rho, -Disc(rho, h, 6, 0, 2)});
       }),
       6},
      {"DRILL", 5, Revolved([g30](double rho, double h) {
         return std::min(4 - rho, (h - std::tan(g30) * rho) * std::cos(g30));
       }),
       4},
      {"point flat", 6, GeneralTool(5, 1, g30, 0, 0, 40), 5},
      {"general", 7, GeneralTool(5, 0, g30, 1, a10, 40), 5 + std::tan(a10) * 40},
      {"TAPERBALL", 8, Revolved([=](double rho, double h) {
         const double side = sideAt0 + std::tan(a10) * std::min(h, 40.0);
         return std::max(Disc(rho, h, 0, 2, 2), std::min(h - tangentH, side - rho));
       }),
       sideAt0 + std::tan(a10) * 40},
      {"VERTICAL", 9, FlatBottom([](double) { return 5.0; }), 5},
      {"OVAL", 10, Oval(5, 4, 8, 0), 5},
      {"OVAL round", 11, Oval(5, 4, 5, 0), 5},
      {"OVALR", 12, Oval(5, 4, 8, 1.5), 5},
      {"SPHERE", 13, Revolved([](double rho, double h) {
         return std::max(Disc(rho, h, 0, 5, 5), std::min(h - 5, 2 - rho));
       }),
       5},
      {"RADIUS", 14, RadiusTool(10, 5, hole5, 3), 10},
      {"RADIUS deep hole", 15, RadiusTool(10, 4, 2, 6), 10},
      {"KEGAKI", 16, FlatBottom([](double) { return 1.5; }), 1.5},
      {"T-THROW corners", 17, TThrow(10, 3, 1, 1, 10, 4), 10},
      {"T-THROW no flat", 18, TThrow(10, 2, 1, 1, 10, 4), 10},
      {"T-THROW two corners", 19, TThrow(10, 4, 1.5, 0.5, 10, 4), 10},
      {"T-THROW low corner", 20, TThrow(10, 3, 1, 0, 10, 4), 10},
      {"T-THROW high corner", 21, TThrow(10, 3, 0, 1, 10, 4), 10},
      {"T-THROW square", 22, TThrow(10, 3, 0, 0, 10, 4), 10},
      {"T-THROW widening", 23, TThrow(10, 3, 0, 0, 12, 4), 12},
      {"T-THROW narrowing", 24, TThrow(10, 3, 0, 0, 8, 4), 10},
      {"T-THROW ball", 25, TThrow(6, 12, 6, 6, 6, 2), 6},
      {"IMPORT-TOOL", 26, FlatBottom([](double h) { return h < 2 ? ArcRadius(3, 2, 2, h) : 5.0; }),
       5},
      {"IMPORT-TOOL hollow", 27, Revolved([](double rho, double h) {
         return std::min({h, 5 - rho, -Disc(rho, h, 5, 0, 2)});
       }),
       5},
      {"IMPORT", 28,
       [](const ToolPoint& p) {
         return std::min({5 - std::fabs(p.x), 5 - std::fabs(p.y), p.h, 10 - p.h});
       },
       std::sqrt(50.0), true},
  };
}

// --- Where a dexel line crosses a solid --------------------------------------

// The tool's frame: its axis and two directions across it.
struct Frame {
  Vec3 Tip, Axis, U, V;
  ToolPoint Local(const Vec3& p) const {
    const Vec3 d = VectorSub(p, Tip);
    return {VectorDot(d, U), VectorDot(d, V), VectorDot(d, Axis)};
  }
};

Frame MakeFrame(const Vec3& tip, const Vec3& axis) {
  const Vec3 helper = std::fabs(axis[2]) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
  Vec3 u = VectorCross(helper, axis);
  const double n = VectorLength(u);
  for (double& c : u) c /= n;
  return {tip, axis, u, VectorCross(axis, u)};
}

// The intervals of w where f is positive within [low, high]: f sampled at
// steps, each change of sign found by bisection, and each sampled extremum
// that may cross zero between samples (a grazed edge) refined by golden
// section first.
std::vector<double> PositiveIntervals(const std::function<double(double)>& f, double low,
                                      double high, double step) {
  const int n = std::max(2, static_cast<int>(std::ceil((high - low) / step)));
  std::vector<double> w(n + 1), v(n + 1);
  for (int i = 0; i <= n; ++i) {
    w[i] = low + (high - low) * i / n;
    v[i] = f(w[i]);
  }
  const auto root = [&](double a, double b) {
    const bool insideA = f(a) > 0;
    for (int k = 0; k < 80; ++k) {
      const double m = (a + b) / 2;
      ((f(m) > 0) == insideA ? a : b) = m;
    }
    return (a + b) / 2;
  };
  // The extremum of f on [a, b], the largest when up.
  const auto extremum = [&](double a, double b, bool up) {
    const double r = (std::sqrt(5.0) - 1) / 2;
    for (int k = 0; k < 100; ++k) {
      const double c = b - r * (b - a), d = a + r * (b - a);
      const bool left = up ? f(c) > f(d) : f(c) < f(d);
      (left ? b : a) = left ? d : c;
    }
    return (a + b) / 2;
  };
  std::vector<double> ends;
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      // Only an extremum the samples could have missed crossing zero: one
      // within a few of its neighbours' steps of it.
      const double a = v[i] - v[i - 1], b = v[i + 1] - v[i];
      const bool near = std::fabs(v[i]) <= 4 * std::max(std::fabs(a), std::fabs(b));
      const bool peak = v[i] <= 0 && a >= 0 && b <= 0 && (a > 0 || b < 0);
      const bool dip = v[i] > 0 && a <= 0 && b >= 0 && (a < 0 || b > 0);
      if (near && (peak || dip)) {
        const double m = extremum(w[i - 1], w[i + 1], peak);
        if ((f(m) > 0) == peak) {
          // Two crossings the samples stepped over, on either side of m;
          // each side's own crossing is taken with it.
          if (m > w[i]) {
            ends.push_back(root(w[i], m));
            ends.push_back(root(m, w[i + 1]));
            continue;
          }
          ends.push_back(root(w[i - 1], m));
          ends.push_back(root(m, w[i]));
        }
      }
    }
    if ((v[i] > 0) != (v[i + 1] > 0)) ends.push_back(root(w[i], w[i + 1]));
  }
  std::sort(ends.begin(), ends.end());
  // Pairs of ends, from the state at low.
  std::vector<double> intervals;
  bool inside = v[0] > 0;
  if (inside) intervals.push_back(low);
  for (double e : ends) {
    intervals.push_back(e);
    inside = !inside;
  }
  if (inside) intervals.push_back(high);
  return intervals;
}

// The stock [low, high] less the intervals.
std::vector<double> Subtract(double low, double high, const std::vector<double>& intervals) {
  std::vector<double> material;
  double from = low;
  for (size_t k = 0; k + 1 < intervals.size(); k += 2) {
    const double a = std::max(intervals[k], low), b = std::min(intervals[k + 1], high);
    if (a >= b || b <= from) continue;
    if (a > from) {
      material.push_back(from);
      material.push_back(a);
    }
    from = std::max(from, b);
  }
  if (from < high) {
    material.push_back(from);
    material.push_back(high);
  }
  return material;
}

// Material pieces shorter than tiny dropped and gaps shorter than tiny
// closed: a line that grazes the tool may keep or lose a sliver.
std::vector<double> WithoutSlivers(const std::vector<double>& values, double tiny) {
  std::vector<double> out;
  for (size_t k = 0; k + 1 < values.size(); k += 2) {
    if (values[k + 1] - values[k] < tiny) continue;
    if (!out.empty() && values[k] - out.back() < tiny)
      out.back() = values[k + 1];
    else {
      out.push_back(values[k]);
      out.push_back(values[k + 1]);
    }
  }
  return out;
}

// The closed box of x, y within +-5 and z 0 to 10, two facets a side.
void MakeBoxMesh(ImportedToolMesh& mesh) {
  const auto corner = [](int i) {
    return Vec3{(i & 1) ? 5.0 : -5.0, (i & 2) ? 5.0 : -5.0, (i & 4) ? 10.0 : 0.0};
  };
  const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& side : sides) {
    for (const std::array<int, 3> facet : {std::array<int, 3>{side[0], side[1], side[2]},
                                           std::array<int, 3>{side[0], side[2], side[3]}}) {
      StlTriangle t{};
      for (int v = 0; v < 3; ++v)
        for (int k = 0; k < 3; ++k) t[3 + 3 * v + k] = corner(facet[v])[k];
      mesh.Triangles.push_back(t);
    }
  }
  mesh.FacetCount = static_cast<int32_t>(mesh.Triangles.size());
  mesh.BoxMin = {-5, -5, 0};
  mesh.BoxMax = {5, 5, 10};
}

// --- The cases -----------------------------------------------------------------

constexpr double kStock = 24, kPitch = 0.5;
// The reference's sampling step; slivers a grazing line may keep or lose;
// how near a column end lies to the solid (the single-precision diameter of
// a TAPERBALL and a torus's quartic stay within it).
constexpr double kStep = 0.05, kSliver = 1e-4, kTolerance = 1e-5;

struct Axis {
  const char* Name;
  Vec3 Direction;
};

std::vector<Axis> Axes() {
  const auto unit = [](Vec3 v) {
    const double n = VectorLength(v);
    for (double& c : v) c /= n;
    return v;
  };
  const double s = std::sin(30 * kDegree), c = std::cos(30 * kDegree);
  return {{"vertical", {0, 0, 1}},
          {"downward", {0, 0, -1}},
          {"+X", {1, 0, 0}},
          {"-X", {-1, 0, 0}},
          {"-Y", {0, -1, 0}},
          {"30 degrees", {s, 0, c}},
          {"general", unit({0.31, -0.52, 0.79})},
          {"shallow from vertical", unit({0.041, 0.023, 1})},
          {"shallow from flat", unit({0.83, -0.55, 0.06})}};
}

class ExactSolid : public ::testing::TestWithParam<Solid> {};

struct SolidWorld : CutWorld {
  ToolWorld Tools{30};
  SolidWorld() {
    // The outlines are named as a user names them: beside the table.
    const testing::CurrentFolder folder(VESTAN_FIXTURES_DIR "/model");
    const DefinitionReadResult result = Tools.ReadTable("exact_solids.ttl");
    EXPECT_TRUE(result.Notes.empty()) << FormatNote(result.Notes.front());
    Run.MotionMode = 1;
  }
};

TEST_P(ExactSolid, EveryColumnEndLiesOnTheSolid) {
  const Solid& solid = GetParam();
  for (const Axis& axis : Axes()) {
    SolidWorld w;
    w.MakeBox({0, 0, 0, kStock, kStock, kStock}, kPitch);
    w.Tools.Set(solid.Tool);
    w.Tool = w.Tools.Current;
    // Off the grid lines, the tool's heights and radii on none of them:
    // the cutting part about the middle of the stock.
    const Vec3 middle{12.13, 11.87, 12.31};
    Vec3 tip;
    for (int k = 0; k < 3; ++k) tip[k] = middle[k] - 3 * axis.Direction[k];
    const Frame frame = MakeFrame(tip, axis.Direction);
    if (solid.MeshBox) {
      // The machine holds the mesh in the tool's frame, its origin the
      // reference length up the axis from the tip.
      MakeBoxMesh(w.Tools.Mesh);
      w.Cut.Records.Mesh = &w.Tools.Mesh;
      w.Cut.Records.Position = &w.Tools.Position;
      const double ref = w.Tools.Position.ReferenceLength;
      Placement& placed = w.Tools.Position.ToolFrame;
      for (int k = 0; k < 3; ++k) {
        placed[k] = frame.U[k];
        placed[3 + k] = frame.V[k];
        placed[6 + k] = frame.Axis[k];
        placed[9 + k] = tip[k] + ref * frame.Axis[k];
      }
    }
    CutToolPoseIntoModel(w.Cut, w.Model(), tip, axis.Direction);

    int mismatches = 0;
    std::ostringstream report;
    report.precision(10);
    const DexelModel& model = w.Model();
    for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
      const int inner = InnerAxis(d), outer = OuterAxis(d);
      const std::vector<double>& innerLines = GridLinesOf(model, inner);
      const std::vector<double>& outerLines = GridLinesOf(model, outer);
      for (size_t b = 0; b < outerLines.size(); ++b) {
        for (size_t a = 0; a < innerLines.size(); ++a) {
          Vec3 base{};
          base[inner] = innerLines[a];
          base[outer] = outerLines[b];
          // Where the line runs within the solid's reach of the axis.
          Vec3 rel = VectorSub(base, frame.Tip);
          const double ad = frame.Axis[d], ra = VectorDot(rel, frame.Axis);
          const double qa = 1 - ad * ad, qb = 2 * (rel[d] - ra * ad),
                       qc = VectorDot(rel, rel) - ra * ra -
                            (solid.Reach + 0.1) * (solid.Reach + 0.1);
          double low = -1, high = kStock + 1;
          if (qa > 1e-12) {
            const double disc = qb * qb - 4 * qa * qc;
            if (disc <= 0) continue;
            low = std::max(low, (-qb - std::sqrt(disc)) / (2 * qa));
            high = std::min(high, (-qb + std::sqrt(disc)) / (2 * qa));
          } else if (qc > 0) {
            continue;
          }
          // Below the tip plane all along: no tool there.
          const double hLow = ra + (low - base[d]) * ad, hHigh = ra + (high - base[d]) * ad;
          std::vector<double> expected;
          if (low < high && std::max(hLow, hHigh) > 0) {
            const auto f = [&](double at) {
              Vec3 p = base;
              p[d] = at;
              return solid.In(frame.Local(p));
            };
            expected = Subtract(0, kStock, PositiveIntervals(f, low, high, kStep));
          } else {
            expected = {0, kStock};
          }
          const std::span<const double> got = DexelColumnValues(
              model.SetByDirection(d),
              ColumnOf(CountsOf(model), d, static_cast<int32_t>(a), static_cast<int32_t>(b)));
          const std::vector<double> kernel =
              WithoutSlivers(std::vector<double>(got.begin(), got.end()), kSliver);
          expected = WithoutSlivers(expected, kSliver);
          bool same = kernel.size() == expected.size();
          for (size_t k = 0; same && k < kernel.size(); ++k)
            same = std::fabs(kernel[k] - expected[k]) <= kTolerance;
          if (same) continue;
          if (++mismatches <= 4) {
            report << "\n  direction " << d << " line (" << innerLines[a] << ", " << outerLines[b]
                   << "): cut";
            for (double value : kernel) report << ' ' << value;
            report << ", exact";
            for (double value : expected) report << ' ' << value;
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << solid.Name << " on the " << axis.Name << " axis" << report.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExactSolid, ::testing::ValuesIn(Solids()),
                         [](const ::testing::TestParamInfo<Solid>& info) {
                           std::string name = info.param.Name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace vestan
