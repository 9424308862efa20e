// The tool table of the running program: per-tool records indexed by tool
// number 0..MaxToolNumber, the default holder and the magazine layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "definitions/gang_tools.h"

namespace vestan {

inline constexpr int32_t kDefaultMaxToolNumber = 200;

// Cutter kind codes.
enum ToolKind : int32_t {
  kToolDrill = 0,  // also the general rotational cutter
  kToolBall = 1,
  kToolFlat = 2,
  kToolBull = 3,
  kToolTaperBall = 4,
  kToolVertical = 5,
  kToolOval = 6,
  kToolTThrow = 7,
  kToolSphere = 8,
  kToolRadius = 9,
  kToolKegaki = 99,
  kToolImportedProfile = 990,
  kToolImportedMesh = 999,
};

// Shank kinds: what the LENGTH keys gave. The 1x forms count the shank as
// part of the cutting length.
enum ShankKind : int32_t {
  kShankNone = 0,
  kShankLength = 1,
  kShankStraight = 2,
  kShankAngled = 3,
  kShankStraightCutting = 12,
  kShankAngledCutting = 13,
};

// Value of Lengths[0] meaning "no length set for tool 0".
inline constexpr float kNoToolZeroLength = -0.0123f;

// One element of an imported 2-D tool outline (x radial, y along the axis).
struct ProfileSegment {
  int32_t Kind = 0;  // 1 line, 2 clockwise arc, 3 counter-clockwise arc
  int32_t LineTypeIndex = 0;
  int32_t LineTypeValue = 0;
  int32_t Colour = 0;
  double X1 = 0.0, Y1 = 0.0;
  double X2 = 0.0, Y2 = 0.0;
  double CentreX = 0.0, CentreY = 0.0;
  double Radius = 0.0;
  double StartAngle = 0.0, EndAngle = 0.0;
  int32_t Class = -1;  // -1 unclassified, 0 none, 1 cutting part, 2 neck/shank, 3 arbor

  friend bool operator==(const ProfileSegment&, const ProfileSegment&) = default;
};

// The cutting part of one tool.
struct ToolRecord {
  int32_t Defined = 0;
  int32_t Kind = 0;
  float Diameter = 0.0f;
  float CornerRadius = 0.0f;
  float LowerCornerRadius = 0.0f;
  float CornerCentreRadius = 0.0f;
  float TipHeight = 0.0f;
  float BottomAngle = 0.0f;       // degrees
  float BottomAngleWidth = 0.0f;  // the ";" value behind the bottom angle
  float TaperAngle = 0.0f;        // degrees
  float TaperWidth = 0.0f;        // the ";" value behind the taper angle
  float SideParam = 0.0f;
  float BladeWidth = 0.0f;
  float NeckDiameter = 0.0f;
  float CuttingLength = 0.0f;
  int32_t ProfileCount = 0;
  int32_t CuttingSegmentCount = 0;
  std::array<int32_t, 3> ProfileClassStart{-1, -1, -1};
  int32_t LastOutwardIndex = 0;
  std::vector<ProfileSegment> ProfileSegments{};
  std::array<double, 2> ProfileMax{};
  std::array<double, 3> ImportOffset{};
  // Absent and empty differ: an empty pair of quotes gives an empty name.
  std::optional<std::string> Name{};
  std::optional<std::string> ProfileFile{};

  friend bool operator==(const ToolRecord&, const ToolRecord&) = default;
};

// The stepped shank behind the cutter (LENGTH keys).
struct ToolShankRecord {
  int32_t Kind = kShankNone;
  float ProtrusionLength = 0.0f;
  float NeckLength = 0.0f;
  float TransitionLength = 0.0f;
  float NeckAngle = 0.0f;   // degrees
  float ShankAngle = 0.0f;  // degrees
  float ShankDiameter = 0.0f;
  float NeckDiameter = -1.0f;  // -1 = not given

  friend bool operator==(const ToolShankRecord&, const ToolShankRecord&) = default;
};

inline constexpr int kMaxArborSteps = 10;

// Arbor forms: how the step values were written.
enum ArborForm : int32_t { kArborPairs = 0, kArborPairs2 = 1, kArborTriples = 2 };

// The holder (arbor) as steps of diameter and length.
struct ArborRecord {
  int32_t Present = 0;
  int32_t Form = kArborPairs;
  int32_t StepCount = 0;
  std::array<float, kMaxArborSteps + 1> StepDiameter{};  // triples use all eleven
  std::array<float, kMaxArborSteps> StepLength{};
  std::array<int32_t, kMaxArborSteps> StepFlag{};  // triples only

  // The steps held, whatever a record from elsewhere claims.
  int32_t HeldSteps() const {
    return StepCount < 0 ? 0 : (StepCount > kMaxArborSteps ? kMaxArborSteps : StepCount);
  }

  friend bool operator==(const ArborRecord&, const ArborRecord&) = default;
};

inline constexpr int kFeedVariants = 4;
inline constexpr int kMaxFeedPairs = 19;

// The feed optimisation tables of the OPT-F keys; variant 0 plain, 1 V, 2 U, 3 D.
struct ToolFeedRecord {
  std::array<int32_t, kFeedVariants> Enabled{};
  std::array<int32_t, kFeedVariants> PairCount{};
  // Per variant: the base value, then y of each pair.
  std::array<std::array<float, kMaxFeedPairs + 1>, kFeedVariants> Table{};
  std::array<std::array<float, kMaxFeedPairs>, kFeedVariants> PairX{};

  friend bool operator==(const ToolFeedRecord&, const ToolFeedRecord&) = default;
};

// LIMIT (1, or 11 with P) and LIMITS (2, or 12 with P) values.
struct ToolLimitRecord {
  int32_t Kind = 0;
  std::array<float, 4> Values{};

  friend bool operator==(const ToolLimitRecord&, const ToolLimitRecord&) = default;
};

inline constexpr int kLayoutEntries = 201;  // tools 0..200

// Magazine layout positions of the LAYOUT1 keys.
struct ToolLayout {
  std::array<int32_t, kLayoutEntries> Placed{};
  std::array<std::array<double, 3>, kLayoutEntries> Position{};
  std::array<int32_t, kLayoutEntries> Order{};  // entries 1..Count
  int32_t Count = 0;

  friend bool operator==(const ToolLayout&, const ToolLayout&) = default;
};

struct ToolTable {
  // Highest tool number (the setting "MAX MAGAZINE"); fixed once allocated.
  int32_t MaxToolNumber = kDefaultMaxToolNumber;
  std::vector<uint8_t> Defined;
  std::vector<ToolRecord> Records;
  std::vector<ToolShankRecord> Shanks;
  std::vector<ArborRecord> Arbors;
  std::vector<ToolFeedRecord> FeedTables;
  std::vector<ToolLimitRecord> Limits;
  std::vector<float> Lengths;  // SHIFT and the tool base point
  std::vector<int32_t> Pens;   // 0-15

  // The holder every tool starts with (ARBOR or ATL lines before the first tool).
  ArborRecord DefaultArbor;
  ToolLayout Layout;
  // Highest MAGAZINE number read, at least 11.
  int32_t MaxMagazineNumber = 11;
  // The gang tools and their hit records.
  GangToolList Gang;

  // True for a tool number that indexes every array.
  bool InRange(int32_t tool) const { return tool >= 0 && static_cast<size_t>(tool) < Entries(); }
  // Number of entries every array holds (0 before allocation).
  size_t Entries() const;
};

// Sizes every array for MaxToolNumber + 1 tools (at least one), cleared.
void AllocToolTables(ToolTable& table);

// Drops every tool's name, profile file and outline. Returns true when a tool
// of kind IMPORT was among them: its shared mesh goes with it, which the
// owner of that mesh releases.
bool ReleaseToolBuffers(ToolTable& table);

// Releases the per-tool buffers and the arrays themselves.
bool FreeToolTables(ToolTable& table);

}  // namespace vestan
