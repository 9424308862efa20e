#include "modelfiles/stl_display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modelfiles/stl_file.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

std::vector<StlPolygon> Draw(int32_t kind, const std::string& path, const Vec3& offset,
                             const ViewState& view, ProgressState* progress = nullptr) {
  std::vector<StlPolygon> polygons;
  ReadStlToDisplayList(
      kind, path, offset, view, [&](const StlPolygon& p) { polygons.push_back(p); }, progress);
  return polygons;
}

// One binary facet of the given floats, little-endian or big-endian.
std::string BinaryFacet(const std::array<float, 12>& v, bool bigEndian) {
  std::string bytes(80, ' ');
  const auto put = [&](uint32_t w) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<char>((w >> (bigEndian ? 24 - 8 * i : 8 * i)) & 0xFF));
  };
  put(1);
  for (float f : v) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    put(w);
  }
  return bytes + std::string(2, '\0');
}

TEST(ReadStlToDisplayList, BinaryFacetsInDisplayUnitsWithTheirNormalAsRead) {
  testing::ScratchFolder folder;
  const std::array<float, 12> facet{0, 0, 0, 500, 0, 0, 0, 1000, 0, 0, 0, -500};
  const ViewState view;
  for (bool big : {false, true}) {
    const std::string path = folder.Write(big ? "be.stl" : "le.stl", BinaryFacet(facet, big));
    const int32_t kind = DetectStlKind(path);
    const std::vector<StlPolygon> polygons = Draw(kind, path, {0, 500, 0}, view);
    ASSERT_EQ(polygons.size(), 1u) << big;
    EXPECT_EQ(polygons[0].Normal, (Vec3{0, 0, 0})) << big;  // no recomputed normal
    // (vertex + (0,500,0)) / 500.
    EXPECT_EQ(polygons[0].Vertices[0], (Vec3{1, 1, 0})) << big;
    EXPECT_EQ(polygons[0].Vertices[1], (Vec3{0, 3, 0})) << big;
    EXPECT_EQ(polygons[0].Vertices[2], (Vec3{0, 1, -1})) << big;
  }
  EXPECT_TRUE(Draw(kStlUnreadable, folder / "le.stl", {}, view).empty());
}

TEST(ReadStlToDisplayList, AsciiPolygonsHoldThreeVertices) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("a.stl",
                                        "solid a\n"
                                        "facet normal 0 0 1\n outer loop\n"
                                        "  vertex 0 0 0\n  vertex 500 0 0\n  vertex 0 500 0\n"
                                        "  vertex 9 9 9\n  vertex 8 8 8\n"  // beyond the third
                                        " endloop\nendfacet\n"
                                        "facet normal 1 0 0\n outer loop\n"
                                        "  vertex 0 0 0\n  vertex 0 500 0\n"  // two only
                                        " end loop\nendfacet\n"
                                        "facet normal 0 1 0\n outer loop\n"
                                        "  vertex 0 0 500\n  vertex 500 0 500\n  vertex 0 0 0\n"
                                        " endloop\nendfacet\n"
                                        "endsolid a\n");
  const std::vector<StlPolygon> polygons = Draw(kStlAscii, path, {0, 0, 0}, ViewState{});
  ASSERT_EQ(polygons.size(), 2u);
  EXPECT_EQ(polygons[0].Vertices[2], (Vec3{0, 1, 0}));
  EXPECT_EQ(polygons[1].Normal, (Vec3{0, 1, 0}));
  EXPECT_EQ(polygons[1].Vertices[0], (Vec3{0, 0, 1}));
}

TEST(ReadStlToDisplayList, ModelRotationTurnsVerticesAboutItsCentre) {
  testing::ScratchFolder folder;
  const std::string path =
      folder.Write("r.stl", BinaryFacet({0, 0, 1, 2, 0, 0, 1, 0, 0, 1, 0, 7}, false));
  ViewState view;
  view.DisplayScale = 1.0;
  view.ModelRotation = {1, {1, 0, 0}, 2, 0.0, 1.0};  // a quarter turn about Z through (1,0,0)
  const std::vector<StlPolygon> polygons = Draw(kStlBinary, path, {0, 0, 0}, view);
  ASSERT_EQ(polygons.size(), 1u);
  // (2,0,0): (1,0,0) from the centre turns to (0,1,0), so (1,1,0).
  EXPECT_EQ(polygons[0].Vertices[0], (Vec3{1, 1, 0}));
  EXPECT_EQ(polygons[0].Vertices[1], (Vec3{1, 0, 0}));
  EXPECT_EQ(polygons[0].Vertices[2], (Vec3{1, 0, 7}));
  EXPECT_EQ(polygons[0].Normal, (Vec3{0, 0, 1}));
}

TEST(ReadStlToDisplayList, PumpsOncePerAsciiLineWhileAllowed) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write(
      "p.stl", "solid\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nendloop\nendfacet\n");
  ProgressState progress;
  uint32_t clock = 0;
  progress.Clock = [&clock] { return clock += 4000; };  // past the pump interval every time
  int taken = 0;
  progress.Pump.TakeMessage = [&taken](PendingMessage&) { return ++taken, false; };
  Draw(kStlAscii, path, {}, ViewState{}, &progress);
  EXPECT_EQ(taken, 0);  // the shell has not allowed pumping
  progress.Pump.PumpDuringWork = 1;
  Draw(kStlAscii, path, {}, ViewState{}, &progress);
  EXPECT_EQ(taken, 6);
}

TEST(RotateInDisplayPlane, EachAxis) {
  const double c = 0.6, s = 0.8;
  struct Case {
    int32_t axis;
    Vec3 in, out;
  } cases[] = {
      {0, {5, 1, 2}, {5, 1 * c - 2 * s, 1 * s + 2 * c}},
      {1, {1, 5, 2}, {1 * c + 2 * s, 5, 2 * c - 1 * s}},
      {2, {1, 2, 5}, {1 * c - 2 * s, 1 * s + 2 * c, 5}},
  };
  for (const Case& k : cases) {
    DisplayModelRotation rotation{1, {0, 0, 0}, k.axis, c, s};
    Vec3 v = k.in;
    RotateInDisplayPlane(rotation, v);
    EXPECT_EQ(v, k.out) << k.axis;
    // About a centre: the same turn of the point's offset from it.
    rotation.Centre = {10, 20, 30};
    Vec3 p = VectorAdd(k.in, rotation.Centre);
    RotateAboutDisplayCentre(rotation, p);
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(p[i], k.out[i] + rotation.Centre[i], 1e-12);
  }
}

}  // namespace
}  // namespace vestan
