#include "modelfiles/stl_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/file_open.h"

namespace vestan {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(VESTAN_FIXTURES_DIR) / "modelfiles";

class StlFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vestan_stl_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  fs::path dir_;
};

void PutWord(std::string& bytes, uint32_t w, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian ? 24 - 8 * i : 8 * i;
    bytes.push_back(static_cast<char>((w >> shift) & 0xFF));
  }
}

void PutFloat(std::string& bytes, float f, bool bigEndian) {
  uint32_t w;
  std::memcpy(&w, &f, 4);
  PutWord(bytes, w, bigEndian);
}

// A binary STL: header, count word, then facets of 12 floats each.
std::string Binary(const std::vector<std::array<float, 12>>& facets, bool bigEndian,
                   const std::string& header = "", uint32_t count = UINT32_MAX) {
  std::string bytes = header;
  bytes.resize(80, ' ');
  PutWord(bytes, count == UINT32_MAX ? static_cast<uint32_t>(facets.size()) : count, bigEndian);
  for (const auto& f : facets) {
    for (float v : f) PutFloat(bytes, v, bigEndian);
    bytes += std::string(2, '\0');
  }
  return bytes;
}

const std::array<float, 12> kFlat{0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0};  // zero normal

TEST_F(StlFile, ReadsTheCubeFixturesWithOffset) {
  for (const char* name : {"cube_ascii.stl", "cube_binary.stl"}) {
    const fs::path path = kFixtures / name;
    const int32_t kind = DetectStlKind(path);
    EXPECT_EQ(kind, std::string(name) == "cube_ascii.stl" ? kStlAscii : kStlBinary) << name;
    ASSERT_EQ(CountStlFacets(kind, path), 12) << name;
    std::vector<StlTriangle> triangles;
    Vec3 lo{}, hi{};
    ASSERT_EQ(ReadStlTriangles(kind, 12, path, {1, 2, 3}, lo, hi, triangles), 12) << name;
    EXPECT_EQ(lo, (Vec3{-4, -3, 3})) << name;
    EXPECT_EQ(hi, (Vec3{6, 7, 13})) << name;
    // Facet 2 is on the top; the binary file stores a zero normal there.
    EXPECT_EQ(triangles[2][0], 0) << name;
    EXPECT_EQ(triangles[2][2], 1) << name;
  }
}

TEST_F(StlFile, DetectsKinds) {
  const std::vector<std::array<float, 12>> two{kFlat, kFlat};
  struct Case {
    const char* name;
    std::string bytes;
    int32_t kind;
  };
  const Case cases[] = {
      {"binary with facet in header", Binary(two, false, "solid facet"), kStlBinary},
      {"big-endian count", Binary(two, true), kStlBinarySwapped},
      {"84 bytes count 0", Binary({}, false), kStlBinary},
      {"trailing bytes", Binary(two, false, "", 1) + std::string(60, 'x'), kStlBinary},
      {"count above capacity", Binary(two, false, "", 5), kStlUnreadable},
      {"short text with facet", "solid s\nfacet normal 0 0 1\n", kStlAscii},
      {"short text without", "solid s\n", kStlUnreadable},
      {"empty", "", kStlUnreadable},
      // Only offsets 0 to 249 of the first 256 bytes are searched for "facet".
      {"facet at 249", "solid " + std::string(243, 'a') + "facet normal 0 0 1\n", kStlAscii},
      {"facet at 250", "solid " + std::string(244, 'a') + "facet normal 0 0 1\n", kStlUnreadable},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectStlKind(Write("f.stl", c.bytes)), c.kind) << c.name;
  EXPECT_EQ(DetectStlKind(dir_ / "missing.stl"), kStlUnreadable);
}

TEST_F(StlFile, SwappedBinaryReadsLikeLittleEndian) {
  const std::vector<std::array<float, 12>> facets{{0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                                                  {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
  const fs::path little = Write("le.stl", Binary(facets, false));
  const fs::path big = Write("be.stl", Binary(facets, true));
  ASSERT_EQ(DetectStlKind(big), kStlBinarySwapped);
  std::vector<StlTriangle> a, b;
  Vec3 lo{}, hi{};
  ASSERT_EQ(ReadStlTriangles(kStlBinary, 2, little, {0, 0, 0}, lo, hi, a), 2);
  ASSERT_EQ(ReadStlTriangles(kStlBinarySwapped, 2, big, {0, 0, 0}, lo, hi, b), 2);
  EXPECT_EQ(a, b);
  // Zero normal: right-hand rule of the vertices, (1,0,0) x (0,0,1) = (0,-1,0).
  EXPECT_EQ(a[1][0], 0);
  EXPECT_EQ(a[1][1], -1);
  EXPECT_EQ(a[1][2], 0);
}

TEST_F(StlFile, BinaryCountIsNotTrustedBeyondTheFile) {
  // A count of 1000 over two facets: only what the file holds is counted and read.
  const fs::path path = Write("lying.stl", Binary({kFlat, kFlat}, false, "", 1000));
  EXPECT_EQ(CountStlFacets(kStlBinary, path), 2);
  std::vector<StlTriangle> triangles;
  Vec3 lo{}, hi{};
  EXPECT_EQ(ReadStlTriangles(kStlBinary, 1000, path, {0, 0, 0}, lo, hi, triangles), 2);
  EXPECT_EQ(triangles.size(), 2u);
  // An empty binary file yields nothing and the untouched box.
  const fs::path empty = Write("empty.stl", Binary({}, false));
  EXPECT_EQ(ReadStlTriangles(kStlBinary, 0, empty, {0, 0, 0}, lo, hi, triangles), 0);
  EXPECT_EQ(lo, (Vec3{1e11, 1e11, 1e11}));
  EXPECT_EQ(hi, (Vec3{-1e11, -1e11, -1e11}));
}

TEST_F(StlFile, AsciiKeywordsAndNormals) {
  const std::string text =
      "solid t\n"
      "  facet normal 1 0.2 0\n"
      "    outer loop\n"
      "      vertex 1 2 3\n"
      "      vertex +4 5e1 -6\n"
      "      vertex 7\t8 9\n"
      "      vertex 99 99 99\n"  // a fourth vertex has no slot
      "    end loop\n"
      "  end facet\n"
      "  FACET normal 0 0 1\n"  // upper case is not a keyword
      "  facet normal 0 0 0\n"
      "    outer loop\n"
      "      vertex 0 0 0\n"
      "      vertex 1 0 0\n"
      "      vertex 0 1 0\n"
      "    endloop\n"
      "  endfacet\n"
      "end solid t\n"
      "  facet normal 0 0 1\n"
      "  endfacet\n";
  const fs::path path = Write("t.stl", text);
  ASSERT_EQ(DetectStlKind(path), kStlAscii);
  ASSERT_EQ(CountStlFacets(kStlAscii, path), 2);
  std::vector<StlTriangle> t;
  Vec3 lo{}, hi{};
  ASSERT_EQ(ReadStlTriangles(kStlAscii, 2, path, {0, 0, 0}, lo, hi, t), 2);
  EXPECT_EQ(t[0], (StlTriangle{1, 0, 0, 1, 2, 3, 4, 50, -6, 7, 8, 9}));
  EXPECT_EQ(t[1][0], 0);  // an ASCII zero normal stays zero
  EXPECT_EQ(t[1][1], 0);
  EXPECT_EQ(t[1][2], 0);
  EXPECT_EQ(lo, (Vec3{0, 0, -6}));
  EXPECT_EQ(hi, (Vec3{7, 50, 9}));
}

TEST_F(StlFile, BoxComesFromTheVertexLinesRead) {
  // A facet with two vertex lines, then an unfinished facet that the count
  // (one "endfacet") leaves no room for: the box holds exactly the vertices
  // stored, with the offset, and no unset corner.
  const std::string text =
      "solid t\n"
      "facet normal 0 0 1\n outer loop\n  vertex 1 1 1\n  vertex 2 1 1\n endloop\nendfacet\n"
      "facet normal 0 0 1\n outer loop\n  vertex 3 0.5 1\n";
  const fs::path path = Write("partial.stl", text);
  std::vector<StlTriangle> t;
  Vec3 lo{}, hi{};
  ReadStlTriangles(kStlAscii, CountStlFacets(kStlAscii, path), path, {100, 100, 100}, lo, hi, t);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(lo, (Vec3{101, 101, 101}));
  EXPECT_EQ(hi, (Vec3{102, 101, 101}));
}

TEST_F(StlFile, ToolShapeTurnsWithTheAngleHead) {
  const fs::path path = Write("tool.stl", Binary({{0, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0}}, false));
  std::vector<StlTriangle> t;
  Vec3 lo{}, hi{};
  AngleHeadAngles onlyTurn{0, 0, 30};
  ReadToolStl(kStlBinary, 1, path, {0, 0, 0}, lo, hi, t, &onlyTurn);
  EXPECT_EQ(t[0], (StlTriangle{0, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0}));

  AngleHeadAngles tilt{90, 0, 0};
  ReadToolStl(kStlBinary, 1, path, {0, 0, 0}, lo, hi, t, &tilt);
  // (y, z) = (0, 1) becomes (-1, 0) exactly, for the normal and the vertex.
  EXPECT_EQ(t[0][1], -1);
  EXPECT_EQ(t[0][2], 0);
  EXPECT_EQ(t[0][4], -1);
  EXPECT_EQ(t[0][5], 0);
  EXPECT_EQ(lo[1], -1);

  AngleHeadAngles tiltAndTurn{0, -90, 90};
  ReadToolStl(kStlBinary, 1, path, {0, 0, 0}, lo, hi, t, &tiltAndTurn);
  // Vertex (0,0,1): (z, x) by -90 gives (0, -1) -> (-1, 0, 0); then (x, y) by 90 -> (0, -1, 0).
  EXPECT_EQ(t[0][3], 0);
  EXPECT_EQ(t[0][4], -1);
  EXPECT_EQ(t[0][5], 0);
}

TEST_F(StlFile, TinyVertexValuesBecomeZero) {
  // 1e-14 as a float lies just below 1e-14: it is cleared like any smaller value.
  const fs::path binary =
      Write("tiny.stl", Binary({{0, 0, 1, 1e-14f, 2e-14f, 0, 1, 0, 0, 0, 1, 0}}, false));
  std::vector<StlTriangle> t;
  Vec3 lo{}, hi{};
  ASSERT_EQ(ReadStlTriangles(kStlBinary, 1, binary, {0, 0, 0}, lo, hi, t), 1);
  EXPECT_EQ(t[0][3], 0.0);
  EXPECT_EQ(t[0][4], static_cast<double>(2e-14f));
}

// Three facets through the writers and two that write nothing: equal points
// once rounded to float, and points in a line.
uint32_t WriteSample(StlWriterState& state) {
  uint32_t counter = 0;
  BeginStlFile(state);
  WriteStlTriangle(state, counter, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  WriteStlTriangle(state, counter, {1, 0, 0}, {1 + 1e-12, 0, 0}, {0, 0, 1});
  WriteStlTriangle(state, counter, {0, 0, 0}, {1, 0, 0}, {2, 0, 0});
  WriteStlFacet(state, {0, 0, 2}, {0.5, 0.25, 3}, {1.5, 0.25, 3}, {0.5, 1.25, 3});
  counter += 1;
  WriteStlTriangle(state, counter, {0, 0, 0}, {0, 0, 1}, {0, 1, 0});
  return counter;
}

// What the sample's facets read back as: the triangles' unit normals by the
// right-hand rule, (1,0,0) x (0,1,0) = (0,0,1) and (0,0,1) x (0,1,0) =
// (-1,0,0); the given normal unchanged (its 2 is no unit length, so the
// reader's clean-up leaves it).
const std::vector<StlTriangle> kSampleFacets{
    {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0},
    {0, 0, 2, 0.5, 0.25, 3, 1.5, 0.25, 3, 0.5, 1.25, 3},
    {-1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0},
};

TEST_F(StlFile, WrittenFilesReadBackWithTheSameFacets) {
  const struct {
    int32_t mode;
    int32_t kind;
  } cases[] = {{kStlWriteAscii, kStlAscii},
               {kStlWriteBinary, kStlBinary},
               {kStlWriteSwapped, kStlBinarySwapped}};
  for (const auto& c : cases) {
    StlWriterState state;
    state.BinaryMode = c.mode;
    EXPECT_EQ(WriteSample(state), 3u) << c.mode;
    const std::string path = (dir_ / "out.stl").string();
    ASSERT_EQ(FinishStlFile(state, path), kFileReplaced) << c.mode;
    EXPECT_EQ(DetectStlKind(path), c.kind) << c.mode;
    ASSERT_EQ(CountStlFacets(c.kind, path), 3) << c.mode;
    std::vector<StlTriangle> t;
    Vec3 lo, hi;
    ASSERT_EQ(ReadStlTriangles(c.kind, 3, path, {0, 0, 0}, lo, hi, t), 3);
    EXPECT_EQ(t, kSampleFacets) << c.mode;
    if (c.mode != kStlWriteAscii) {
      EXPECT_EQ(fs::file_size(path), 84u + 50u * 3u) << c.mode;  // the count matches the records
    }
  }
}

TEST_F(StlFile, AsciiFacetLines) {
  StlWriterState state;
  BeginStlFile(state);
  WriteStlFacet(state, {0, 0, 1}, {1, 2, 3}, {-4.5, 5, 6}, {7, 8, 1e-7});
  ASSERT_EQ(FinishStlFile(state, (dir_ / "a.stl").string()), kFileReplaced);
  std::ifstream in(dir_ / "a.stl", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(text,
            "solid\n"
            "  facet normal 0.000000 0.000000 1.000000\n"
            "    outer loop\n"
            "      vertex 1.000000 2.000000 3.000000\n"
            "      vertex -4.500000 5.000000 6.000000\n"
            "      vertex 7.000000 8.000000 0.000000\n"
            "    endloop\n"
            "  endfacet\n"
            "endsolid\n");
}

TEST_F(StlFile, BinaryCountIsTheRecordsWrittenWhateverTheCallerCounted) {
  StlWriterState state;
  state.BinaryMode = kStlWriteSwapped;
  BeginStlFile(state);
  WriteStlFacet(state, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});  // not counted by the writer
  const std::string path = (dir_ / "c.stl").string();
  ASSERT_EQ(FinishStlFile(state, path), kFileReplaced);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.size(), 84u + 50u);
  EXPECT_EQ(bytes.substr(0, 80), std::string(80, ' '));
  EXPECT_EQ(bytes.substr(80, 4), std::string("\0\0\0\1", 4));  // 1, big-endian
}

TEST_F(StlFile, PointsInTheWorkpieceFrame) {
  // Offset (1,1,0); the rotation a quarter turn about Z: X goes to Y, Y to -X.
  StlWriterState state;
  state.BinaryMode = kStlWriteBinary;
  state.ToWorkpiece = 1;
  state.WorkOffset = {1, 1, 0};
  state.WorkRotation = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  BeginStlFile(state);
  // Shifted only: (2,1,0) - (1,1,0) = (1,0,0); the normal stays.
  WriteStlFacet(state, {1, 0, 0}, {2, 1, 0}, {1, 2, 0}, {1, 1, 3});
  state.Rotate = 1;
  // Shifted, then turned: (1,0,0) -> (0,1,0), (0,1,0) -> (-1,0,0); the
  // normal (1,0,0) turns to (0,1,0).
  WriteStlFacet(state, {1, 0, 0}, {2, 1, 0}, {1, 2, 0}, {1, 1, 3});
  const std::string path = (dir_ / "w.stl").string();
  ASSERT_EQ(FinishStlFile(state, path), kFileReplaced);
  std::vector<StlTriangle> t;
  Vec3 lo, hi;
  ASSERT_EQ(ReadStlTriangles(kStlBinary, 2, path, {0, 0, 0}, lo, hi, t), 2);
  EXPECT_EQ(t[0], (StlTriangle{1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 3}));
  EXPECT_EQ(t[1], (StlTriangle{0, 1, 0, 0, 1, 0, -1, 0, 0, 0, 0, 3}));
}

TEST_F(StlFile, FailedSaveIsReportedAndKeepsThePreviousFile) {
  StlWriterState state;
  WriteSample(state);
  std::string error;
  EXPECT_EQ(FinishStlFile(state, (dir_ / "missing" / "x.stl").string(), &error),
            kFileTempNotCreated);
  EXPECT_FALSE(error.empty());

  const fs::path kept = Write("kept.stl", "old");
  fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read);
  WriteSample(state);
  error.clear();
  EXPECT_EQ(FinishStlFile(state, kept.string(), &error), kFileNotWritten);
  EXPECT_FALSE(error.empty());
  std::ifstream in(kept, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace vestan
