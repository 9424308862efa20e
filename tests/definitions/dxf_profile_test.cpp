#include "definitions/dxf_profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "definition_test_support.h"
#include "definitions/tool_geometry.h"

namespace vestan {
namespace {

using testing::TempFolder;

const std::string kOutline = std::string(VESTAN_FIXTURES_DIR) + "/definitions/tool_outline.dxf";

std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// Group-code text of the entities of a test outline.
std::string Line(double x1, double y1, double x2, double y2, const std::string& lineType = "",
                 int colour = -1) {
  std::string dxf = "  0\nLINE\n  8\n0\n";
  if (!lineType.empty()) dxf += "  6\n" + lineType + "\n";
  if (colour >= 0) dxf += " 62\n" + std::to_string(colour) + "\n";
  return dxf + " 10\n" + Number(x1) + "\n 20\n" + Number(y1) + "\n 30\n0.0\n 11\n" + Number(x2) +
         "\n 21\n" + Number(y2) + "\n 31\n0.0\n";
}

std::string Arc(double cx, double cy, double r, double a0, double a1,
                const std::string& lineType = "") {
  std::string dxf = "  0\nARC\n";
  if (!lineType.empty()) dxf += "  6\n" + lineType + "\n";
  return dxf + " 10\n" + Number(cx) + "\n 20\n" + Number(cy) + "\n 40\n" + Number(r) + "\n 50\n" +
         Number(a0) + "\n 51\n" + Number(a1) + "\n";
}

std::string LineType(const std::string& name, int dashes) {
  return "  0\nLTYPE\n  2\n" + name + "\n 70\n0\n 73\n" + std::to_string(dashes) + "\n 40\n0.0\n";
}

std::string Dxf(const std::string& lineTypes, const std::string& entities) {
  return "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLTYPE\n" + lineTypes +
         "  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n" + entities +
         "  0\nENDSEC\n  0\nEOF\n";
}

struct Outline {
  DxfProfileRead Read;
  int32_t Count = -7;  // untouched unless the file is read
  std::vector<ProfileSegment> Segments;
  std::array<double, 2> Max{-3, -3};
};

Outline ReadOutline(const std::string& path) {
  Outline o;
  o.Read = ReadDxfProfile(path, o.Count, o.Segments, o.Max);
  return o;
}

class DxfProfileTest : public ::testing::Test {
 protected:
  Outline ReadText(const std::string& content) {
    return ReadOutline(folder_.Write("outline.dxf", content));
  }
  TempFolder folder_;
};

TEST_F(DxfProfileTest, FixtureIsMovedToTheOriginAndChainedFromTheTip) {
  const Outline o = ReadOutline(kOutline);
  ASSERT_EQ(o.Read.Status, DxfProfileStatus::kRead);
  EXPECT_TRUE(o.Read.Notes.empty());
  // The axis line at x = 25 is gone, the rest moved by (-25, -100).
  ASSERT_EQ(o.Count, 8);
  ASSERT_EQ(o.Segments.size(), 8u);
  EXPECT_EQ(o.Max, (std::array<double, 2>{20, 80}));
  struct Expected {
    int kind;
    double x1, y1, x2, y2;
    int lineTypeIndex, lineTypeValue, colour;
  };
  const Expected expected[] = {
      {1, 0, 0, 3, 0, 2, 0, 7},      // bottom
      {3, 3, 0, 5, 2, 2, 0, 7},      // corner arc
      {1, 5, 2, 5, 20, 2, 0, 7},     // side, drawn downwards
      {1, 5, 20, 6, 25, 4, 2, 3},    // neck
      {1, 6, 25, 6, 50, 4, 2, 3},    // shank
      {1, 6, 50, 20, 50, 5, 6, 5},   // holder face
      {1, 20, 50, 20, 80, 5, 6, 5},  // holder side, drawn downwards
      {1, 20, 80, 0, 80, 5, 6, 5},   // holder top
  };
  for (int i = 0; i < 8; ++i) {
    const ProfileSegment& s = o.Segments[i];
    const Expected& e = expected[i];
    EXPECT_EQ(s.Kind, e.kind) << i;
    EXPECT_EQ(s.X1, e.x1) << i;
    EXPECT_EQ(s.Y1, e.y1) << i;
    EXPECT_EQ(s.X2, e.x2) << i;
    EXPECT_EQ(s.Y2, e.y2) << i;
    EXPECT_EQ(s.LineTypeIndex, e.lineTypeIndex) << i;
    EXPECT_EQ(s.LineTypeValue, e.lineTypeValue) << i;
    EXPECT_EQ(s.Colour, e.colour) << i;
    EXPECT_EQ(s.Class, i) << i;  // the position in the chain
  }
  const ProfileSegment& arc = o.Segments[1];
  EXPECT_EQ(arc.CentreX, 3);
  EXPECT_EQ(arc.CentreY, 2);
  EXPECT_EQ(arc.Radius, 2);
  EXPECT_EQ(arc.StartAngle, 270);
  EXPECT_EQ(arc.EndAngle, 0);
  EXPECT_EQ(o.Segments[0].CentreX, 0);  // lines keep no centre
}

TEST_F(DxfProfileTest, ArcMetAtItsEndIsTurned) {
  // A quarter arc 0°..90° about (0,0), reached from the line that ends at (0,5).
  const Outline o = ReadText(Dxf("", Line(-3, 8, 0, 5) + Arc(0, 0, 5, 0, 90)));
  ASSERT_EQ(o.Count, 2);
  const ProfileSegment& arc = o.Segments[1];
  EXPECT_EQ(arc.Kind, 2);
  EXPECT_EQ(arc.StartAngle, 90);
  EXPECT_EQ(arc.EndAngle, 0);
  EXPECT_EQ(arc.X1, 3);  // moved by +3 in x
  EXPECT_EQ(arc.Y1, 5);
  EXPECT_EQ(arc.X2, 8);
  EXPECT_EQ(arc.Y2, 0);
  EXPECT_EQ(arc.CentreX, 3);
}

TEST_F(DxfProfileTest, RadiusIsCutToFourDecimalsAndTinyAnglesSnapToZero) {
  const Outline o = ReadText(Dxf("", Arc(10, 10, 2.99999, 0.000001, 90)));
  ASSERT_EQ(o.Segments.size(), 1u);
  EXPECT_EQ(o.Segments[0].Radius, 29999 / 10000.0);
  EXPECT_EQ(o.Segments[0].StartAngle, 0.0);
  double angle = -9.9e-6;
  SnapNearZeroAngle(angle);
  EXPECT_EQ(angle, 0.0);
  angle = 1e-5;
  SnapNearZeroAngle(angle);
  EXPECT_EQ(angle, 1e-5);
}

// Line and arc end points are single-precision values, in every build: the
// optimiser may not fold the rounding away.
TEST_F(DxfProfileTest, EndPointsAreRoundedToSinglePrecision) {
  // Arc about (1, 0.1), radius 0.1, 270°..0°: it ends at (1.1, 0.1) as floats.
  // The float nearest 1.1 is 9227469 * 2^-23, the one nearest 0.1 is
  // 13421773 * 2^-27. The line puts the lower left corner at the origin.
  const Outline o = ReadText(Dxf("", Line(0, 0, 1, 0) + Arc(1, 0.1, 0.1, 270, 0)));
  ASSERT_EQ(o.Count, 2);
  const ProfileSegment& arc = o.Segments[1];
  EXPECT_EQ(arc.X1, 1.0);
  EXPECT_EQ(arc.Y1, 0.0);  // 0.1 - 0.1
  EXPECT_EQ(arc.X2, 9227469.0 / (1 << 23));
  EXPECT_EQ(arc.X2, 1.1000000238418579);
  EXPECT_EQ(arc.Y2, 13421773.0 / (1 << 27));
  EXPECT_EQ(arc.Y2, 0.10000000149011612);

  // A ball end whose axis stands at x = 25.1: the arc starts on the axis at
  // the same float as the axis line, so the axis line is dropped and the
  // outline starts at the tip. float(25.1) and float(30.1) share their
  // fraction (both below 32, spacing 2^-19), so the side lies at exactly 5.
  const Outline ball = ReadText(Dxf("", Arc(25.1, 5, 5, 270, 0) + Line(30.1, 5, 30.1, 20) +
                                            Line(30.1, 20, 25.1, 20) + Line(25.1, 20, 25.1, 0)));
  ASSERT_EQ(ball.Read.Status, DxfProfileStatus::kRead);
  EXPECT_EQ(ball.Count, 3);
  ASSERT_EQ(ball.Segments.size(), 3u);
  EXPECT_EQ(ball.Max, (std::array<double, 2>{5, 20}));
  EXPECT_EQ(ball.Segments[0].Kind, 3);
  EXPECT_EQ(ball.Segments[0].X1, 0.0);
  EXPECT_EQ(ball.Segments[0].Y1, 0.0);
  EXPECT_EQ(ball.Segments[1].X1, 5.0);
  EXPECT_EQ(ball.Segments[2].X2, 0.0);  // the top ends on the axis
}

TEST_F(DxfProfileTest, SmallGapsChainLargerOnesEndTheChain) {
  struct Case {
    double gap;
    int32_t count;
  };
  for (const Case c : {Case{0.00005, 2}, Case{0.0002, 1}}) {
    const Outline o =
        ReadText(Dxf("", Line(0, 0, 1, 0) + Line(1 + c.gap, 0, 1 + c.gap, 4) + Line(-1, 3, -2, 9)));
    EXPECT_EQ(o.Count, c.count) << c.gap;
    EXPECT_EQ(o.Segments.size(), 3u) << c.gap;  // the rest stays behind the chain
  }
}

TEST_F(DxfProfileTest, LineTypesAreLookedUpByName) {
  const std::string types = LineType("ByBlock", 0) + LineType("CONTINUOUS", 0) +
                            LineType("DASHED", 2) + LineType(std::string(70, 'L') + "A", 3);
  const Outline o = ReadText(Dxf(
      types, Line(0, 0, 1, 0) + Line(1, 0, 1, 1, "DASHED") + Line(1, 1, 2, 1, "dashed") +
                 Line(2, 1, 2, 2, std::string(63, 'L') + "B") + Line(2, 2, 3, 2, "CONTINUOUS")));
  ASSERT_EQ(o.Count, 5);
  const int32_t index[] = {0, 2, 0, 3, 1};  // no name and an unknown name give entry 0
  const int32_t value[] = {0, 2, 0, 3, 0};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(o.Segments[i].LineTypeIndex, index[i]) << i;
    EXPECT_EQ(o.Segments[i].LineTypeValue, value[i]) << i;
  }
  // Names longer than 63 characters are compared by their first 63 on both sides.
  ASSERT_EQ(o.Read.Notes.size(), 1u);

  // Without a linetype table every element has index and value 0.
  const Outline bare = ReadText(Dxf("", Line(0, 0, 1, 0, "DASHED")));
  EXPECT_EQ(bare.Segments[0].LineTypeIndex, 0);
  EXPECT_EQ(bare.Segments[0].LineTypeValue, 0);
}

TEST_F(DxfProfileTest, LineTypeTableHoldsTwoHundredEntries) {
  std::string types;
  for (int i = 0; i < 205; ++i) types += LineType(std::string(1, 'T').append(std::to_string(i)), i);
  const Outline o = ReadText(Dxf(types, Line(0, 0, 1, 0, "T0") + Line(1, 0, 1, 1, "T199") +
                                            Line(1, 1, 2, 1, "T200") + Line(2, 1, 2, 2, "T204")));
  ASSERT_EQ(o.Count, 4);
  EXPECT_EQ(o.Segments[1].LineTypeIndex, 199);
  EXPECT_EQ(o.Segments[1].LineTypeValue, 199);
  // Entries past the table are not there: their names fall back to entry 0.
  EXPECT_EQ(o.Segments[2].LineTypeIndex, 0);
  EXPECT_EQ(o.Segments[3].LineTypeIndex, 0);
  ASSERT_EQ(o.Read.Notes.size(), 1u);
  EXPECT_NE(o.Read.Notes[0].Message.find("200"), std::string::npos);
}

TEST_F(DxfProfileTest, ThreeHundredElementsAtMost) {
  // A staircase of 301 lines, all connected.
  std::string entities;
  for (int i = 0; i < 301; ++i)
    entities += i % 2 == 0 ? Line(i / 2 + 1, i / 2, i / 2 + 2, i / 2)
                           : Line(i / 2 + 2, i / 2, i / 2 + 2, i / 2 + 1);
  const Outline o = ReadText(Dxf("", entities));
  EXPECT_EQ(o.Count, 300);
  EXPECT_EQ(o.Segments.size(), 300u);
  ASSERT_EQ(o.Read.Notes.size(), 1u);
  EXPECT_NE(o.Read.Notes[0].Message.find("300"), std::string::npos);
}

TEST_F(DxfProfileTest, EntityEndsOnlyAtItsLastCode) {
  // The first line lacks its code 21: it goes on through the arc's pairs and
  // the next line's, and ends with the next line's code 21.
  const std::string entities = "  0\nLINE\n 10\n0\n 20\n0\n 11\n4\n" + Arc(5, 5, 1, 0, 90) +
                               Line(4, 0, 4, 3) + Line(4, 3, 1, 3);
  const Outline o = ReadText(Dxf("", entities));
  ASSERT_EQ(o.Segments.size(), 2u);
  EXPECT_EQ(o.Segments[0].Kind, 1);
  EXPECT_EQ(o.Segments[1].Kind, 1);
}

TEST_F(DxfProfileTest, AxisLinesAloneLeaveAnEmptyChain) {
  const Outline o = ReadText(Dxf("", Line(2, 0, 2, 5) + Line(2, 5, 2, 9)));
  EXPECT_EQ(o.Read.Status, DxfProfileStatus::kRead);
  EXPECT_EQ(o.Count, 0);
  EXPECT_TRUE(o.Segments.empty());
  EXPECT_EQ(o.Max, (std::array<double, 2>{-3, -3}));
}

TEST_F(DxfProfileTest, UnreadableAndDamagedFilesAreRefusedWhole) {
  struct Case {
    const char* name;
    std::string content;
    DxfProfileStatus status;
  };
  const std::string good = Line(0, 0, 1, 0);
  const Case cases[] = {
      {"empty", "", DxfProfileStatus::kNoElements},
      {"no line or arc", Dxf(LineType("A", 0), "  0\nCIRCLE\n 10\n1\n 20\n1\n 40\n3\n"),
       DxfProfileStatus::kNoElements},
      {"group code is text", good + "LINE\n0\n", DxfProfileStatus::kDamaged},
      {"group code is a decimal", good + "1.5\nX\n", DxfProfileStatus::kDamaged},
      {"code without value", good + "  0\n", DxfProfileStatus::kDamaged},
      {"coordinate is text", "  0\nLINE\n 10\nabc\n", DxfProfileStatus::kDamaged},
      {"coordinate with trailing text", "  0\nLINE\n 10\n1.5mm\n", DxfProfileStatus::kDamaged},
      {"coordinate beyond single precision", "  0\nLINE\n 10\n1e300\n", DxfProfileStatus::kDamaged},
      {"radius beyond the integer cut", Arc(0, 0, 1e6, 0, 90), DxfProfileStatus::kDamaged},
      {"colour is text", "  0\nLINE\n 62\nred\n", DxfProfileStatus::kDamaged},
      {"binary DXF", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x00\x02",
       DxfProfileStatus::kDamaged},
  };
  for (const Case& c : cases) {
    const Outline o = ReadText(c.content);
    EXPECT_EQ(o.Read.Status, c.status) << c.name;
    EXPECT_EQ(o.Count, -7) << c.name;
    EXPECT_TRUE(o.Segments.empty()) << c.name;
    EXPECT_EQ(o.Max, (std::array<double, 2>{-3, -3})) << c.name;
    EXPECT_FALSE(o.Read.Notes.empty()) << c.name;
  }
  const Outline missing = ReadOutline((folder_.Path() / "missing.dxf").string());
  EXPECT_EQ(missing.Read.Status, DxfProfileStatus::kCannotOpen);
  EXPECT_EQ(missing.Count, -7);
  const Outline folder = ReadOutline(folder_.Path().string());
  EXPECT_EQ(folder.Read.Status, DxfProfileStatus::kCannotOpen);

  // Values of pairs that are not read may be anything, and of any length;
  // blank lines may end the file.
  const Outline loose = ReadText(" 999\n\x01\xff\n 999\n" + std::string(2000, 'x') + "\n" + good +
                                 "  0\nEOF\n\n  \n");
  EXPECT_EQ(loose.Read.Status, DxfProfileStatus::kRead);
  EXPECT_EQ(loose.Count, 1);
  // Lines ending in CR LF, as written on the original platform.
  std::string crlf;
  for (const char c :
       Dxf(LineType("CONTINUOUS", 0) + LineType("DASHED", 2), good + Line(1, 0, 1, 1, "DASHED"))) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  const Outline windows = ReadText(crlf);
  ASSERT_EQ(windows.Count, 2);
  EXPECT_EQ(windows.Segments[1].LineTypeValue, 2);
}

TEST_F(DxfProfileTest, TruncatedAndGarbledFilesNeverBreakTheReader) {
  std::string fixture;
  {
    std::ifstream in(kOutline, std::ios::binary);
    fixture.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_FALSE(fixture.empty());
  // Cut after every line: any status, never more than the whole outline.
  for (size_t cut = fixture.find('\n'); cut != std::string::npos;
       cut = fixture.find('\n', cut + 1)) {
    const Outline o = ReadText(fixture.substr(0, cut + 1));
    if (o.Read.Status == DxfProfileStatus::kRead) {
      EXPECT_LE(o.Count, 8) << cut;
    }
  }
  // Bytes of every value overwritten one at a time.
  uint32_t seed = 7;
  for (size_t i = 0; i < fixture.size(); i += 11) {
    std::string garbled = fixture;
    seed = seed * 1664525u + 1013904223u;
    garbled[i] = static_cast<char>(seed >> 24);
    const Outline o = ReadText(garbled);
    EXPECT_LE(o.Segments.size(), 9u) << i;
    if (o.Read.Status != DxfProfileStatus::kRead) {
      EXPECT_EQ(o.Count, -7) << i;
    }
  }
}

}  // namespace
}  // namespace vestan
