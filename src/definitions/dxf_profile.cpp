#include "definitions/dxf_profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "definitions/tool_geometry.h"
#include "foundation/single_precision.h"

namespace vestan {

namespace {

// End points closer than this on both axes are the same point of the path.
constexpr double kChainTolerance = 1e-4;

std::string_view WithoutNewline(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A group code: an integer on a line of its own, blanks around it allowed.
std::optional<int32_t> ParseGroupCode(std::string_view line) {
  const std::string_view text = TrimBlanks(WithoutNewline(line));
  int32_t code = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return code;
}

// A decimal value line; nothing else may stand on it.
std::optional<double> ParseDecimal(std::string_view line) {
  std::string_view text = TrimBlanks(WithoutNewline(line));
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

// Linetype names are compared over their first 63 characters on both sides.
std::string_view LineTypeName(std::string_view line) {
  return WithoutNewline(line).substr(0, kMaxLineTypeName);
}

// A value as it stands, in quotes, for a note (at most 40 characters).
std::string Quoted(std::string_view line) {
  std::string text(1, '"');
  text.append(TrimBlanks(WithoutNewline(line)).substr(0, 40));
  text.push_back('"');
  return text;
}

struct LineTypeEntry {
  std::string Name;
  int32_t Value = 0;  // number of dash elements; 0 for a continuous line
};

struct Point {
  double X, Y;
};

bool SamePoint(Point a, Point b) {
  return std::fabs(a.X - b.X) <= kChainTolerance && std::fabs(a.Y - b.Y) <= kChainTolerance;
}

Point StartOf(const ProfileSegment& s) { return {s.X1, s.Y1}; }
Point EndOf(const ProfileSegment& s) { return {s.X2, s.Y2}; }

class DxfReader {
 public:
  DxfReader(std::string_view fileName, const std::vector<std::string>& lines)
      : fileName_(fileName), lines_(lines) {}

  // Reads the LTYPE, LINE and ARC entities; false when the file is damaged.
  bool Read(std::vector<ProfileSegment>& elements);
  std::vector<DefinitionNote>& Notes() { return notes_; }

 private:
  enum class Entity { kNone, kLineType, kLine, kArc };

  void Note(size_t lineIndex, std::string message) {
    notes_.push_back(
        {std::string(fileName_), static_cast<int32_t>(lineIndex + 1), std::move(message)});
  }
  // Applies one group; false when its value cannot be read.
  bool Apply(int32_t code, std::string_view value, size_t valueLine,
             std::vector<ProfileSegment>& elements);
  bool Number(std::string_view value, size_t valueLine, double& out);
  bool Integer(std::string_view value, size_t valueLine, int32_t& out);
  bool SingleCoordinate(std::string_view value, size_t valueLine, double& out);
  void Finish(std::vector<ProfileSegment>& elements);
  bool MoreElementsFollow(size_t from) const;

  std::string_view fileName_;
  const std::vector<std::string>& lines_;
  std::vector<DefinitionNote> notes_;
  std::vector<LineTypeEntry> lineTypes_;
  Entity entity_ = Entity::kNone;
  std::string pendingLineTypeName_;
  std::string currentLineTypeName_;
  ProfileSegment element_;
  bool tableFullNoted_ = false;
  bool longNameNoted_ = false;
};

bool DxfReader::Number(std::string_view value, size_t valueLine, double& out) {
  const std::optional<double> number = ParseDecimal(value);
  if (!number) {
    Note(valueLine, Quoted(value) + " is not a number; the outline is not read");
    return false;
  }
  out = *number;
  return true;
}

bool DxfReader::Integer(std::string_view value, size_t valueLine, int32_t& out) {
  double number = 0.0;
  if (!Number(value, valueLine, number)) return false;
  if (std::fabs(number) >= 2147483648.0) {
    Note(valueLine, "integer value out of range; the outline is not read");
    return false;
  }
  out = static_cast<int32_t>(number);
  return true;
}

bool DxfReader::SingleCoordinate(std::string_view value, size_t valueLine, double& out) {
  double number = 0.0;
  if (!Number(value, valueLine, number)) return false;
  const float single = RoundToSingle(number);
  if (!std::isfinite(single)) {
    Note(valueLine, "coordinate out of range; the outline is not read");
    return false;
  }
  out = single;
  return true;
}

bool DxfReader::Apply(int32_t code, std::string_view value, size_t valueLine,
                      std::vector<ProfileSegment>& elements) {
  switch (entity_) {
    case Entity::kNone: {
      if (code != 0) return true;
      const std::string_view name = WithoutNewline(value);
      if (name.starts_with("LTYPE")) {
        entity_ = Entity::kLineType;
        pendingLineTypeName_.clear();
      } else if (name.starts_with("LINE") || name.starts_with("ARC")) {
        entity_ = name.starts_with("LINE") ? Entity::kLine : Entity::kArc;
        element_ = ProfileSegment{};
        element_.Kind = entity_ == Entity::kLine ? 1 : 3;
        currentLineTypeName_.clear();
      }
      return true;
    }
    case Entity::kLineType:
      if (code == 2) {
        if (WithoutNewline(value).size() > kMaxLineTypeName && !longNameNoted_) {
          Note(valueLine, "linetype names are compared by their first 63 characters");
          longNameNoted_ = true;
        }
        pendingLineTypeName_ = LineTypeName(value);
      } else if (code == 73) {
        int32_t dashes = 0;
        if (!Integer(value, valueLine, dashes)) return false;
        if (lineTypes_.size() < kMaxLineTypes) {
          lineTypes_.push_back({pendingLineTypeName_, dashes});
        } else if (!tableFullNoted_) {
          Note(valueLine, "more than 200 linetypes; the further ones are ignored");
          tableFullNoted_ = true;
        }
        entity_ = Entity::kNone;
      }
      return true;
    case Entity::kLine:
    case Entity::kArc: {
      const bool line = entity_ == Entity::kLine;
      ProfileSegment& e = element_;
      switch (code) {
        case 6:
          if (WithoutNewline(value).size() > kMaxLineTypeName && !longNameNoted_) {
            Note(valueLine, "linetype names are compared by their first 63 characters");
            longNameNoted_ = true;
          }
          currentLineTypeName_ = LineTypeName(value);
          return true;
        case 62:
          return Integer(value, valueLine, e.Colour);
        case 10:
          return line ? SingleCoordinate(value, valueLine, e.X1)
                      : Number(value, valueLine, e.CentreX);
        case 20:
          return line ? SingleCoordinate(value, valueLine, e.Y1)
                      : Number(value, valueLine, e.CentreY);
        case 11:
          return line ? SingleCoordinate(value, valueLine, e.X2) : true;
        case 21:
          if (!line) return true;
          if (!SingleCoordinate(value, valueLine, e.Y2)) return false;
          Finish(elements);
          return true;
        case 40: {
          if (line) return true;
          double radius = 0.0;
          if (!Number(value, valueLine, radius)) return false;
          // Cut toward zero to four decimals.
          const double tenThousandths = std::trunc(radius * 10000.0);
          if (std::fabs(tenThousandths) >= 2147483648.0) {
            Note(valueLine, "arc radius out of range; the outline is not read");
            return false;
          }
          e.Radius = static_cast<int32_t>(tenThousandths) / 10000.0;
          return true;
        }
        case 50:
          if (line) return true;
          if (!Number(value, valueLine, e.StartAngle)) return false;
          SnapNearZeroAngle(e.StartAngle);
          return true;
        case 51: {
          if (line) return true;
          if (!Number(value, valueLine, e.EndAngle)) return false;
          SnapNearZeroAngle(e.EndAngle);
          double c = 0.0, s = 0.0;
          AngleCosSin(e.StartAngle, c, s);
          e.X1 = RoundToSingle(e.CentreX + e.Radius * c);
          e.Y1 = RoundToSingle(e.CentreY + e.Radius * s);
          AngleCosSin(e.EndAngle, c, s);
          e.X2 = RoundToSingle(e.CentreX + e.Radius * c);
          e.Y2 = RoundToSingle(e.CentreY + e.Radius * s);
          if (!std::isfinite(e.X1) || !std::isfinite(e.Y1) || !std::isfinite(e.X2) ||
              !std::isfinite(e.Y2)) {
            Note(valueLine, "arc out of range; the outline is not read");
            return false;
          }
          Finish(elements);
          return true;
        }
        default:
          return true;
      }
    }
  }
  return true;
}

void DxfReader::Finish(std::vector<ProfileSegment>& elements) {
  // An unknown name takes index 0, and with it the first entry's value.
  size_t index = 0;
  for (size_t i = 0; i < lineTypes_.size(); ++i) {
    if (lineTypes_[i].Name == currentLineTypeName_) {
      index = i;
      break;
    }
  }
  element_.LineTypeIndex = static_cast<int32_t>(index);
  element_.LineTypeValue = lineTypes_.empty() ? 0 : lineTypes_[index].Value;
  element_.Class = kProfileUnclassified;
  elements.push_back(element_);
  entity_ = Entity::kNone;
}

bool DxfReader::MoreElementsFollow(size_t from) const {
  for (size_t i = from; i + 1 < lines_.size(); ++i) {
    if (ParseGroupCode(lines_[i]) != 0) continue;
    const std::string_view name = WithoutNewline(lines_[i + 1]);
    if (name.starts_with("LINE") || name.starts_with("ARC")) return true;
  }
  return false;
}

bool DxfReader::Read(std::vector<ProfileSegment>& elements) {
  // Blank lines at the end are no pairs.
  size_t end = lines_.size();
  while (end > 0 && TrimBlanks(WithoutNewline(lines_[end - 1])).empty()) --end;
  for (size_t i = 0; i < end; i += 2) {
    const std::optional<int32_t> code = ParseGroupCode(lines_[i]);
    if (!code) {
      Note(i,
           Quoted(lines_[i]) + " is not a group code; the file is not a text DXF and is not read");
      return false;
    }
    if (i + 1 >= end) {
      Note(i, "group code " + std::to_string(*code) + " has no value; the outline is not read");
      return false;
    }
    const std::string_view value = lines_[i + 1];
    if (entity_ == Entity::kNone && *code == 0 && WithoutNewline(value) == "EOF") break;
    if (!Apply(*code, value, i + 1, elements)) return false;
    if (elements.size() == kMaxProfileSegments) {
      if (MoreElementsFollow(i + 2))
        Note(i + 1, "more than 300 lines and arcs; the further ones are not read");
      break;
    }
  }
  return true;
}

// Moves the outline so that its lower left corner lies at the origin, after
// dropping the lines on the tool axis (the leftmost vertical lines).
void Normalise(std::vector<ProfileSegment>& elements, std::array<double, 2>& maximum) {
  std::array<double, 2> min{}, max{};
  ComputeProfileBounds(elements, min, max);
  std::erase_if(elements, [&](const ProfileSegment& s) {
    return s.Kind == 1 && s.X1 == min[0] && s.X2 == min[0];
  });
  double minX = 1e9, minY = 1e9;
  for (const ProfileSegment& s : elements) {
    minX = std::min({minX, s.X1, s.X2});
    minY = std::min({minY, s.Y1, s.Y2});
  }
  for (ProfileSegment& s : elements) {
    if (minX != 0.0) {
      s.X1 -= minX;
      s.X2 -= minX;
      if (s.Kind != 1) s.CentreX -= minX;
    }
    if (minY != 0.0) {
      s.Y1 -= minY;
      s.Y2 -= minY;
      if (s.Kind != 1) s.CentreY -= minY;
    }
  }
  ComputeProfileBounds(elements, min, maximum);
}

// The lowest left point of the continuous lines, where the path starts.
Point StartPoint(const std::vector<ProfileSegment>& elements) {
  Point threshold{1e8, 1e8};
  Point start{1e9, 1e9};
  for (const ProfileSegment& s : elements) {
    if (s.LineTypeValue != 0) continue;
    for (const Point p : {StartOf(s), EndOf(s)}) {
      if (p.X <= threshold.X && p.Y <= threshold.Y) {
        start = p;
        threshold = p;
      }
    }
  }
  return start;
}

// Orders the elements into one path from start, turning those met at their
// end; returns how many connect.
int32_t Chain(std::vector<ProfileSegment>& elements, Point start) {
  size_t k = 0;
  Point current = start;
  std::optional<Point> previous;
  while (k < elements.size()) {
    size_t found = elements.size();
    bool reversed = false;
    for (size_t j = k; j < elements.size(); ++j) {
      const ProfileSegment& s = elements[j];
      if (SamePoint(StartOf(s), current) && (!previous || !SamePoint(EndOf(s), *previous))) {
        found = j;
        break;
      }
      if (SamePoint(EndOf(s), current) && (!previous || !SamePoint(StartOf(s), *previous))) {
        found = j;
        reversed = true;
        break;
      }
    }
    if (found == elements.size()) break;
    elements[found].Class = static_cast<int32_t>(k);
    std::swap(elements[found], elements[k]);
    ProfileSegment& s = elements[k];
    if (reversed) {
      std::swap(s.X1, s.X2);
      std::swap(s.Y1, s.Y2);
      if (s.Kind != 1) {
        std::swap(s.StartAngle, s.EndAngle);
        s.Kind = 2;
      }
    }
    previous = StartOf(s);
    current = EndOf(s);
    ++k;
  }
  return static_cast<int32_t>(k);
}

}  // namespace

void SnapNearZeroAngle(double& angle) {
  if (std::fabs(angle) < 1e-5) angle = 0.0;
}

DxfProfileRead ReadDxfProfile(std::string_view fileName, int32_t& count,
                              std::vector<ProfileSegment>& segments,
                              std::array<double, 2>& maximum) {
  DxfProfileRead result;
  const std::optional<std::vector<std::string>> lines =
      ReadDefinitionLines(ResolveDefinitionPath(fileName));
  if (!lines) {
    result.Status = DxfProfileStatus::kCannotOpen;
    result.Notes.push_back({std::string(fileName), 0, "the outline file cannot be read"});
    return result;
  }
  DxfReader reader(fileName, *lines);
  std::vector<ProfileSegment> elements;
  const bool readable = reader.Read(elements);
  result.Notes = std::move(reader.Notes());
  if (!readable) {
    result.Status = DxfProfileStatus::kDamaged;
    return result;
  }
  if (elements.empty()) {
    result.Status = DxfProfileStatus::kNoElements;
    result.Notes.push_back({std::string(fileName), 0, "the outline file holds no LINE or ARC"});
    return result;
  }
  Normalise(elements, maximum);
  count = Chain(elements, StartPoint(elements));
  segments = std::move(elements);
  result.Status = DxfProfileStatus::kRead;
  return result;
}

}  // namespace vestan
