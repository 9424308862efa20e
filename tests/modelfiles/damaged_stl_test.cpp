// Damaged STL files: every reader, under every kind, reads what is there and
// nothing beyond it (run under the sanitizers to catch any overrun).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/definition_test_support.h"
#include "definitions/view_state.h"
#include "modelfiles/stl_display.h"
#include "modelfiles/stl_facets.h"
#include "modelfiles/stl_file.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::Noise;

std::string Word(uint32_t w) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((w >> (8 * i)) & 0xFF));
  return bytes;
}

const char kAscii[] =
    "solid s\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n   vertex 1 0 0\n"
    "   vertex 0 1 0\n  endloop\n endfacet\n facet normal 1 0 0\n  outer loop\n"
    "   vertex 0 0 0\n   vertex 0 1 0\n   vertex 0 0 1\n  endloop\n endfacet\nendsolid s\n";

// Every reader on the file, the detected kind and every kind forced; the
// facets read never exceed the count, and the records and ordering take them.
void ReadEveryWay(const std::string& path, const std::string& label) {
  std::vector<int32_t> kinds{
      DetectStlKind(path), kStlUnreadable, kStlAscii, kStlBinary, kStlBinarySwapped, 1, -7};
  for (const int32_t kind : kinds) {
    const int32_t count = CountStlFacets(kind, path);
    ASSERT_GE(count, 0) << label;
    std::vector<StlTriangle> triangles;
    Vec3 lo, hi;
    const int32_t read = ReadStlTriangles(kind, count, path, {1, 2, 3}, lo, hi, triangles);
    EXPECT_LE(read, count) << label << " kind " << kind;
    EXPECT_EQ(static_cast<size_t>(read), triangles.size()) << label;
    // A count larger than the file's facets only bounds the read.
    const AngleHeadAngles head{30, 0, 45};
    ReadToolStl(kind, count + 1000, path, {}, lo, hi, triangles, &head);
    std::vector<StlFacetRecord> records;
    BuildFacetRecords(triangles, records);
    BuildTriangleBuckets(triangles, records);
    size_t polygons = 0;
    ReadStlToDisplayList(kind, path, {}, ViewState{}, [&](const StlPolygon&) { ++polygons; });
  }
}

TEST(DamagedStl, NoiseAndCutsReadWithoutOverrun) {
  testing::ScratchFolder folder;
  const std::string binary = std::string(80, ' ') + Word(3) + Noise(150, 1);
  const std::vector<std::pair<std::string, std::string>> files{
      {"noise", Noise(4000, 2)},
      {"binary cut in a record", binary.substr(0, 84 + 50 + 17)},
      {"binary cut in the header", binary.substr(0, 60)},
      {"binary count far beyond", std::string(80, ' ') + Word(0xFFFFFFFFu) + Noise(100, 3)},
      {"ascii cut", std::string(kAscii).substr(0, 120)},
      {"ascii noise lines", "solid x\n" + Noise(3000, 4)},
      {"ascii without newlines", "facet normal " + std::string(5000, '9') + " vertex 1"},
      {"ascii NUL bytes", std::string("solid\0facet normal 0 0 1\nvertex\0 1 2 3\n", 40)},
      {"empty", ""},
  };
  for (const auto& [label, bytes] : files) ReadEveryWay(folder.Write("d.stl", bytes), label);
  // Cuts of a good ASCII file at every length, and bytes flipped in it.
  for (size_t cut = 0; cut < sizeof kAscii; cut += 7)
    ReadEveryWay(folder.Write("c.stl", std::string(kAscii).substr(0, cut)), "cut");
  for (uint32_t seed = 0; seed < 40; ++seed) {
    std::string bytes = kAscii;
    const std::string noise = Noise(8, seed);
    for (size_t i = 0; i < 4; ++i)
      bytes[static_cast<unsigned char>(noise[2 * i]) % bytes.size()] = noise[2 * i + 1];
    ReadEveryWay(folder.Write("f.stl", bytes), "flipped");
  }
  ReadEveryWay(folder / "missing.stl", "missing");
}

TEST(DamagedStl, BinaryShorterThanItsCountGivesTheFacetsItHolds) {
  testing::ScratchFolder folder;
  // Count 3, two whole records and half of a third: two facets, no stale third.
  std::string bytes = std::string(80, ' ') + Word(3);
  for (int f = 0; f < 2; ++f) {
    for (float v : {0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) {
      uint32_t w;
      std::memcpy(&w, &v, 4);
      bytes += Word(w);
    }
    bytes += std::string(2, '\0');
  }
  bytes += std::string(25, '\x7f');
  const std::string path = folder.Write("short.stl", bytes);
  // A count beyond what the size holds is no binary file the detection knows.
  EXPECT_EQ(DetectStlKind(path), kStlUnreadable);
  EXPECT_EQ(CountStlFacets(kStlBinary, path), 2);
  std::vector<StlTriangle> triangles(5, StlTriangle{9, 9, 9});
  Vec3 lo, hi;
  EXPECT_EQ(ReadStlTriangles(kStlBinary, 3, path, {}, lo, hi, triangles), 2);
  EXPECT_EQ(triangles.size(), 2u);
  EXPECT_EQ(hi, (Vec3{1, 1, 0}));
}

}  // namespace
}  // namespace vestan
