// Closed triangle meshes made in code for the STL slicing tests and
// benchmark (boxes, a box turned about Z, a geodesic sphere, a mushroom of
// two boxes), written as binary or ASCII STL, with their enclosed volume and
// surface area.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/single_precision.h"
#include "foundation/vector_math.h"

namespace vestan::testing {

using Facet = std::array<Vec3, 3>;
// Facets wound counter-clockwise seen from outside.
using Mesh = std::vector<Facet>;

inline void Append(Mesh& to, const Mesh& from) { to.insert(to.end(), from.begin(), from.end()); }

// The box as 12 facets, each face split along a diagonal.
inline Mesh BoxMesh(const Vec3& lo, const Vec3& hi) {
  const auto corner = [&](int i) {
    return Vec3{(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]};
  };
  // Faces as corner indexes, counter-clockwise from outside.
  constexpr int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  Mesh mesh;
  for (const auto& f : kFaces) {
    mesh.push_back({corner(f[0]), corner(f[1]), corner(f[2])});
    mesh.push_back({corner(f[0]), corner(f[2]), corner(f[3])});
  }
  return mesh;
}

// The mesh turned by degrees about the Z axis through centre.
inline Mesh TurnedAboutZ(const Mesh& mesh, double degrees, const Vec3& centre) {
  const double a = degrees * kRadiansPerDegree, c = std::cos(a), s = std::sin(a);
  Mesh out = mesh;
  for (Facet& f : out)
    for (Vec3& p : f) {
      const double x = p[0] - centre[0], y = p[1] - centre[1];
      p = {centre[0] + c * x - s * y, centre[1] + s * x + c * y, p[2]};
    }
  return out;
}

// A geodesic sphere: each face of an icosahedron split into frequency^2
// facets (20 * frequency^2 in all), the points pushed onto the sphere. A
// point shared by faces is computed once, so the mesh is closed bit for bit.
inline Mesh GeodesicSphere(double radius, int frequency, const Vec3& centre) {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  const std::array<Vec3, 12> v{{{-1, t, 0},
                                {1, t, 0},
                                {-1, -t, 0},
                                {1, -t, 0},
                                {0, -1, t},
                                {0, 1, t},
                                {0, -1, -t},
                                {0, 1, -t},
                                {t, 0, -1},
                                {t, 0, 1},
                                {-t, 0, -1},
                                {-t, 0, 1}}};
  constexpr int kFaces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                 {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                 {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                 {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  using Key = std::vector<std::pair<int, int>>;  // (corner, weight), by corner
  std::map<Key, Vec3> points;
  const auto point = [&](const std::array<int, 3>& corners, const std::array<int, 3>& weights) {
    Key key;
    for (int k = 0; k < 3; ++k)
      if (weights[k] != 0) key.push_back({corners[k], weights[k]});
    std::sort(key.begin(), key.end());
    const auto found = points.find(key);
    if (found != points.end()) return found->second;
    Vec3 p{};
    for (const auto& [corner, weight] : key)
      for (int a = 0; a < 3; ++a) p[a] += weight * v[corner][a];
    const double length = VectorLength(p);
    for (int a = 0; a < 3; ++a) p[a] = centre[a] + radius * p[a] / length;
    points.emplace(key, p);
    return p;
  };
  Mesh mesh;
  const int n = frequency;
  for (const auto& f : kFaces) {
    const std::array<int, 3> c{f[0], f[1], f[2]};
    const auto at = [&](int i, int j) { return point(c, {n - i - j, i, j}); };
    for (int i = 0; i < n; ++i)
      for (int j = 0; i + j < n; ++j) {
        mesh.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
        if (i + j + 1 < n) mesh.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
      }
  }
  // Wind every facet outward.
  for (Facet& facet : mesh) {
    const Vec3 normal = VectorCross(VectorSub(facet[1], facet[0]), VectorSub(facet[2], facet[0]));
    if (VectorDot(normal, VectorSub(facet[0], centre)) < 0) std::swap(facet[1], facet[2]);
  }
  return mesh;
}

// A mushroom: a 4 x 4 x 6 stem under a 12 x 12 x 3 cap, as two closed boxes
// meeting at z = 6, centred on (cx, cy).
inline Mesh MushroomMesh(double cx = 0, double cy = 0) {
  Mesh mesh = BoxMesh({cx - 2, cy - 2, 0}, {cx + 2, cy + 2, 6});
  Append(mesh, BoxMesh({cx - 6, cy - 6, 6}, {cx + 6, cy + 6, 9}));
  return mesh;
}

// The mesh as a binary file stores it: every coordinate to float.
inline Mesh AsStored(const Mesh& mesh) {
  Mesh out = mesh;
  for (Facet& f : out)
    for (Vec3& p : f)
      for (double& c : p) c = RoundToSingle(c);
  return out;
}

inline Vec3 FacetNormal(const Facet& f) {
  const Vec3 n = VectorCross(VectorSub(f[1], f[0]), VectorSub(f[2], f[0]));
  const double length = VectorLength(n);
  return length > 0 ? Vec3{n[0] / length, n[1] / length, n[2] / length} : Vec3{};
}

inline std::string BinaryStl(const Mesh& mesh, bool bigEndian = false) {
  std::string bytes(80, ' ');
  const auto word = [&bytes, bigEndian](uint32_t w) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<char>(w >> (bigEndian ? 24 - 8 * i : 8 * i)));
  };
  const auto value = [&word](double d) { word(std::bit_cast<uint32_t>(RoundToSingle(d))); };
  word(static_cast<uint32_t>(mesh.size()));
  for (const Facet& f : mesh) {
    for (double c : FacetNormal(f)) value(c);
    for (const Vec3& p : f)
      for (double c : p) value(c);
    bytes.append(2, '\0');
  }
  return bytes;
}

inline std::string AsciiStl(const Mesh& mesh) {
  std::string text = "solid mesh\n";
  char line[160];
  for (const Facet& f : mesh) {
    const Vec3 n = FacetNormal(f);
    std::snprintf(line, sizeof line, "  facet normal %.17g %.17g %.17g\n    outer loop\n", n[0],
                  n[1], n[2]);
    text += line;
    for (const Vec3& p : f) {
      std::snprintf(line, sizeof line, "      vertex %.17g %.17g %.17g\n", p[0], p[1], p[2]);
      text += line;
    }
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid mesh\n";
}

// Volume enclosed by a closed, outward-wound mesh (divergence theorem).
inline double EnclosedVolume(const Mesh& mesh) {
  double volume = 0;
  for (const Facet& f : mesh) volume += VectorDot(f[0], VectorCross(f[1], f[2])) / 6.0;
  return volume;
}

inline double SurfaceArea(const Mesh& mesh) {
  double area = 0;
  for (const Facet& f : mesh)
    area += VectorLength(VectorCross(VectorSub(f[1], f[0]), VectorSub(f[2], f[0]))) / 2.0;
  return area;
}

}  // namespace vestan::testing
