#include "definitions/offset_memory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

#include "definitions/controller_definition.h"
#include "foundation/number_text.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"

namespace vestan {

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Index just past the integer part of the number that starts at start.
size_t IntegerEnd(std::string_view line, size_t start) {
  size_t i = start;
  if (i < line.size() && line[i] == '-') ++i;
  while (i < line.size() && IsDigit(line[i])) ++i;
  return i;
}

// Index just past the number (sign, digits, point, exponent) at start.
size_t NumberEnd(std::string_view line, size_t start) {
  size_t i = start;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) ++i;
  while (i < line.size() && (IsDigit(line[i]) || line[i] == '.')) ++i;
  if (i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
    size_t j = i + 1;
    if (j < line.size() && (line[j] == '-' || line[j] == '+')) ++j;
    if (j < line.size() && IsDigit(line[j])) {
      while (j < line.size() && IsDigit(line[j])) ++j;
      i = j;
    }
  }
  return i;
}

// The number a letter stands for: searched from one past the letter, its
// integer part. Sets numberEnd just past its digits.
int32_t LetterNumber(std::string_view line, size_t letterEnd, size_t& numberEnd) {
  int32_t c = static_cast<int32_t>(std::min(letterEnd, line.size()));
  const int32_t number = TruncateToInt32(ParseFloat(c, line));
  numberEnd = IntegerEnd(line, static_cast<size_t>(c));
  return number;
}

struct ToolOffsetValue {
  float Geometry = 0.0f;
  float Wear = 0.0f;
};

// Geometry from `from`; the wear is the number after the geometry and a
// comma, blank or tab, 0 when no number follows there.
ToolOffsetValue ReadToolOffsetValue(std::string_view line, size_t from) {
  ToolOffsetValue value;
  int32_t c = static_cast<int32_t>(std::min(from, line.size()));
  value.Geometry = ParseFloat(c, line);
  if (static_cast<size_t>(c) >= line.size() || line[c] == '\n') return value;
  size_t i = NumberEnd(line, static_cast<size_t>(c));
  if (i >= line.size() || (line[i] != ',' && line[i] != ' ' && line[i] != '\t')) return value;
  bool comma = false;
  while (i < line.size() &&
         (line[i] == ' ' || line[i] == '\t' || (line[i] == ',' && !std::exchange(comma, true))))
    ++i;
  if (i < line.size() && (IsDigit(line[i]) || line[i] == '-' || line[i] == '.' || line[i] == '+'))
    value.Wear = RoundToSingle(ConvertDouble(line.substr(i)));
  return value;
}

void ReadWorkValues(std::string_view line, size_t from, WorkOffsetValues& values) {
  int32_t c = static_cast<int32_t>(std::min(from, line.size()));
  ValueList list(c, line);
  for (double& value : values) value = list.NextNumber();
}

std::string OutsideNote(std::string_view what, int32_t number, int32_t low, int32_t high) {
  return std::string(what) + " number " + std::to_string(number) + " is outside " +
         std::to_string(low) + ".." + std::to_string(high) + "; the line is ignored";
}

// Which offset an offset line names.
enum class OffsetForm { kNone, kD, kH, kF, kWork };
struct OffsetLine {
  OffsetForm Form = OffsetForm::kNone;
  int32_t Number = 0;     // D/H/F number or work entry; -1 when out of range
  size_t ValueStart = 0;  // where its values are searched from
  int32_t G5Digit = 0;    // the digit of a G5x line, else 0
};

// Classifies the offset at cursor (behind "MEMORY" and its blanks and "=",
// or the start of a bare D/H/F line); out-of-range numbers give Number -1
// and a message.
OffsetLine ClassifyOffset(std::string_view line, size_t cursor, std::string* message) {
  OffsetLine offset;
  if (cursor >= line.size()) return offset;
  const auto refuse = [&](std::string text) {
    offset.Number = -1;
    if (message != nullptr) *message = std::move(text);
  };
  const char letter = ToUpperAscii(line[cursor]);
  if (letter == 'D' || letter == 'H' || letter == 'F') {
    offset.Form = letter == 'D' ? OffsetForm::kD : letter == 'H' ? OffsetForm::kH : OffsetForm::kF;
    offset.Number = LetterNumber(line, cursor + 1, offset.ValueStart);
    const int32_t low = letter == 'F' ? 0 : 1;
    if (offset.Number < low || offset.Number >= kOffsetNumbers)
      refuse(OutsideNote(std::string(1, letter), offset.Number, low, kOffsetNumbers - 1));
  } else if (MatchesKeyAt(line, cursor, "EXOFS")) {
    offset.Form = OffsetForm::kWork;
    offset.ValueStart = cursor + 5;
  } else if (MatchesKeyAt(line, cursor, "WK")) {
    offset.Form = OffsetForm::kWork;
    offset.Number = LetterNumber(line, cursor + 2, offset.ValueStart);
    if (offset.Number < 0 || offset.Number >= kWorkOffsetEntries)
      refuse(OutsideNote("WK", offset.Number, 0, kWorkOffsetEntries - 1));
  } else if (MatchesKeyAt(line, cursor, "G5")) {
    offset.Form = OffsetForm::kWork;
    const size_t digit = cursor + 2;
    // G54-G59 only: G50-G53 would name entries below the external offset.
    if (digit < line.size() && line[digit] >= '4' && line[digit] <= '9') {
      offset.G5Digit = line[digit] - '0';
      offset.Number = offset.G5Digit - 3;
      offset.ValueStart = digit + 2;
    } else {
      refuse("only G54 to G59 are work offsets; the line is ignored");
    }
  }
  return offset;
}

// The name of a work offset line: EXOFS, G54-G59 or WKn.
std::string WorkOffsetName(const OffsetLine& offset, std::string_view line, size_t cursor) {
  if (MatchesKeyAt(line, cursor, "EXOFS")) return "EXOFS";
  if (offset.G5Digit != 0) return "G5" + std::to_string(offset.G5Digit);
  return "WK" + std::to_string(offset.Number);
}

bool IsBareToolOffsetLine(std::string_view line) {
  if (line.size() < 2 || !IsDigit(line[1])) return false;
  const char letter = ToUpperAscii(line[0]);
  return letter == 'D' || letter == 'H' || letter == 'F';
}

// --- Rewriting the file ----------------------------------------------------

struct RawLine {
  std::string_view Text;  // without its line end
  std::string_view End;   // "\r\n", "\n" or "" for a last line without one
};

std::vector<RawLine> SplitRawLines(std::string_view content) {
  std::vector<RawLine> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t newline = content.find('\n', start);
    if (newline == std::string_view::npos) {
      lines.push_back({content.substr(start), {}});
      break;
    }
    const bool cr = newline > start && content[newline - 1] == '\r';
    const size_t textEnd = cr ? newline - 1 : newline;
    lines.push_back(
        {content.substr(start, textEnd - start), content.substr(textEnd, newline + 1 - textEnd)});
    start = newline + 1;
  }
  return lines;
}

// The line as the reader sees it: cut at a NUL byte, ending in "\n".
std::string ReaderView(std::string_view text) {
  std::string line(text.substr(0, std::min(text.find('\0'), text.size())));
  line.push_back('\n');
  return line;
}

// The cursor behind "MEMORY" and its blanks and "=", or nothing for a line
// that is no MEMORY line.
std::optional<size_t> MemoryCursor(std::string_view line) {
  if (!MatchesKey(line, "MEMORY")) return std::nullopt;
  int32_t c = 6;
  SkipBlanksAndEquals(c, line);
  return static_cast<size_t>(c);
}

// A value the file's six decimals show as 0 is 0 there: its line would read
// back as 0 and go at the next save.
bool PrintsAsZero(double value) {
  std::string text;
  AppendFixed(text, value);
  return text == "0.000000" || text == "-0.000000";
}

bool AllZero(const WorkOffsetValues& values) {
  return std::all_of(values.begin(), values.end(), PrintsAsZero);
}

// Writes content as path + ".new", keeps the old file as ".bak" and puts
// ".new" in its place; restores the old file when the last rename fails.
int32_t ReplaceThroughBackup(const fs::path& path, std::string_view content, std::string* error) {
  const auto fail = [error](int32_t code, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return code;
  };
  const std::string target = path.string();
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0)
    return fail(kOffsetsNotRead, "the file cannot be read: " + std::string(std::strerror(errno)));
  if ((old.st_mode & S_IWUSR) == 0) return fail(kOffsetsNotWritten, "the file is write-protected");

  const std::string fresh = target + ".new";
  const std::string backup = target + ".bak";
  std::FILE* out = std::fopen(fresh.c_str(), "wb");
  if (out == nullptr)
    return fail(kOffsetsNotWritten, "cannot create " + fresh + ": " + std::strerror(errno));
  bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
  written = std::fflush(out) == 0 && written;
  written = ::fsync(::fileno(out)) == 0 && written;
  const int reason = errno;
  written = std::fclose(out) == 0 && written;
  if (written) written = ::chmod(fresh.c_str(), old.st_mode & 07777) == 0;
  if (!written) {
    ::unlink(fresh.c_str());
    return fail(kOffsetsNotWritten, "cannot write " + fresh + ": " + std::strerror(reason));
  }
  if (std::rename(target.c_str(), backup.c_str()) != 0) {
    const int why = errno;
    ::unlink(fresh.c_str());
    return fail(kOffsetsNotReplaced,
                "cannot rename the file to " + backup + ": " + std::strerror(why));
  }
  if (std::rename(fresh.c_str(), target.c_str()) != 0) {
    const int why = errno;
    if (std::rename(backup.c_str(), target.c_str()) != 0) {
      // Neither name could be put back: keep both copies and say where they are.
      return fail(kOffsetsNotReplaced, "cannot rename " + fresh + ": " + std::strerror(why) +
                                           "; the previous file is " + backup +
                                           " and the new one " + fresh);
    }
    ::unlink(fresh.c_str());
    return fail(kOffsetsNotReplaced, "cannot rename " + fresh + ": " + std::strerror(why));
  }
  return kOffsetsSaved;
}

// The file to rewrite: the definition's path, or the file a link points at.
fs::path RewriteTarget(std::string_view fileName) {
  fs::path path = ResolveDefinitionPath(fileName);
  std::error_code ec;
  if (fs::is_symlink(path, ec)) {
    const fs::path target = fs::canonical(path, ec);
    if (!ec) path = target;
  }
  return path;
}

// A last line without a line end gets one before lines are added after it.
void EndLastLine(std::string& text, std::string_view lineEnd) {
  if (!text.empty() && text.back() != '\n') text.append(lineEnd);
}

// How one writer rewrites its kind of offset line.
struct OffsetRewrite {
  OffsetForm Form = OffsetForm::kNone;
  int32_t Count = 0;       // numbers or entries of the table
  bool BareLines = false;  // lines of the form without the word MEMORY count too
  std::function<bool(size_t number)> IsZero;
  // The name of a number whose values are not all finite, else nothing.
  std::function<std::optional<std::string>(size_t number)> Unwritable;
  // Appends the line of a number: over an existing line (its reader view and
  // cursor given) or, with no line, as a new one.
  std::function<void(std::string& text, const OffsetLine& offset, std::string_view line,
                     std::optional<size_t> cursor, std::string_view lineEnd)>
      AppendLine;
};

// Reads the file, replaces or drops its lines of the rewrite's kind, adds
// the offsets it lacks, and replaces the file.
int32_t RewriteOffsetLines(std::string_view fileName, WatchedFile& watch, std::string* error,
                           const OffsetRewrite& rewrite) {
  // A value beyond any number cannot be written so that it reads back.
  for (size_t n = 0; n < static_cast<size_t>(rewrite.Count); ++n) {
    if (const std::optional<std::string> name = rewrite.Unwritable(n)) {
      if (error != nullptr) *error = *name + " is not a finite number; nothing is saved";
      return kOffsetsNotFinite;
    }
  }
  const fs::path path = RewriteTarget(fileName);
  std::error_code ec;
  const std::optional<std::string> content =
      fs::is_regular_file(path, ec) ? ReadFileBytes(path.string()) : std::nullopt;
  if (!content) {
    if (error != nullptr) *error = "the file " + path.string() + " cannot be read";
    return kOffsetsNotRead;
  }
  const std::vector<RawLine> lines = SplitRawLines(*content);
  // New lines take the file's own line end.
  const std::string_view lineEnd =
      !lines.empty() && lines.front().End == "\r\n" ? std::string_view("\r\n") : "\n";
  std::string text;
  text.reserve(content->size() + 1024);
  std::vector<uint8_t> seen(static_cast<size_t>(rewrite.Count), 0);
  for (const RawLine& raw : lines) {
    const std::string line = ReaderView(raw.Text);
    const std::optional<size_t> cursor =
        rewrite.BareLines && IsBareToolOffsetLine(line) ? 0 : MemoryCursor(line);
    const OffsetLine offset = cursor ? ClassifyOffset(line, *cursor, nullptr) : OffsetLine{};
    if (offset.Form != rewrite.Form || offset.Number < 0) {
      text.append(raw.Text).append(raw.End);
      continue;
    }
    const size_t n = static_cast<size_t>(offset.Number);
    seen[n] = 1;
    if (!rewrite.IsZero(n))
      rewrite.AppendLine(text, offset, line, cursor, raw.End.empty() ? lineEnd : raw.End);
  }
  for (size_t n = 0; n < seen.size(); ++n) {
    if (seen[n] != 0 || rewrite.IsZero(n)) continue;
    EndLastLine(text, lineEnd);
    OffsetLine offset;
    offset.Form = rewrite.Form;
    offset.Number = static_cast<int32_t>(n);
    rewrite.AppendLine(text, offset, {}, std::nullopt, lineEnd);
  }
  const int32_t result = ReplaceThroughBackup(path, text, error);
  if (result == kOffsetsSaved) {
    if (const std::optional<FileTime> time = LastWriteTime(path)) watch.Time = *time;
  }
  return result;
}

}  // namespace

void ClearOffsetMemoryForRead(OffsetMemory& memory) {
  for (std::vector<float>* table :
       {&memory.DGeometry, &memory.DWear, &memory.HGeometry, &memory.HWear})
    std::fill(table->begin(), table->end(), 0.0f);
  std::fill(memory.WorkOffsets.begin(), memory.WorkOffsets.end(), WorkOffsetValues{});
  for (ReferencePoint& point : memory.ReferencePoints) point.Given = 0;
  memory.SelectedWorkOffset = 1;
}

bool ReadOffsetMemoryLine(std::string_view line, size_t cursor, OffsetMemory& memory,
                          std::vector<std::string>& refused) {
  // A value beyond any float or double would read as infinity, and written
  // back it would shift the values behind it: the line changes nothing.
  const auto finite = [&](std::string_view name, std::span<const double> values) {
    const std::optional<std::string> why = BrokenNumberRule(values, NumberRule::kFinite);
    if (why) {
      // Built by appending: g++ 12 warns falsely on operator+ here.
      std::string key(cursor > 0 ? "MEMORY " : "");
      key.append(name);
      refused.push_back(RefusedKeyNote(key, *why));
    }
    return !why;
  };
  const auto numbered = [](char letter, size_t number) {
    std::string name(1, letter);
    name.append(std::to_string(number));
    return name;
  };
  if (MatchesKeyAt(line, cursor, "REF-PT")) {
    size_t c = cursor + 6;
    size_t point = 0;
    if (c < line.size() && line[c] >= '1' && line[c] <= '4')
      point = static_cast<size_t>(line[c++] - '1');
    int32_t pc = static_cast<int32_t>(c);
    ValueList values(pc, line);
    std::array<double, 5> read{};
    for (double& value : read) value = values.NextFloat();
    if (!finite(std::string("REF-PT").append(std::to_string(point + 1)), read)) return true;
    ReferencePoint& ref = memory.ReferencePoints[point];
    ref.Given = 1;
    for (size_t k = 0; k < read.size(); ++k) ref.Values[k] = RoundToSingle(read[k]);
    return true;
  }
  std::string message;
  const OffsetLine offset = ClassifyOffset(line, cursor, &message);
  if (offset.Form == OffsetForm::kNone) return false;
  if (offset.Number < 0) {
    refused.push_back(std::move(message));
    return true;
  }
  const size_t n = static_cast<size_t>(offset.Number);
  switch (offset.Form) {
    case OffsetForm::kD:
    case OffsetForm::kH: {
      const ToolOffsetValue value = ReadToolOffsetValue(line, offset.ValueStart);
      const bool d = offset.Form == OffsetForm::kD;
      const double both[] = {value.Geometry, value.Wear};
      if (!finite(numbered(d ? 'D' : 'H', n), both)) break;
      (d ? memory.DGeometry : memory.HGeometry)[n] = value.Geometry;
      (d ? memory.DWear : memory.HWear)[n] = value.Wear;
      break;
    }
    case OffsetForm::kF: {
      int32_t c = static_cast<int32_t>(std::min(offset.ValueStart, line.size()));
      const float value = ParseFloat(c, line);
      const double read[] = {value};
      if (finite(numbered('F', n), read)) memory.FTable[n] = value;
      break;
    }
    case OffsetForm::kWork: {
      WorkOffsetValues values{};
      ReadWorkValues(line, offset.ValueStart, values);
      if (finite(WorkOffsetName(offset, line, cursor), values)) memory.WorkOffsets[n] = values;
      break;
    }
    case OffsetForm::kNone:
      break;
  }
  return true;
}

const WorkOffsetValues& ComposeWorkOffset(OffsetMemory& memory) {
  const int32_t selected = memory.SelectedWorkOffset;
  memory.ActiveWorkOffset = memory.WorkOffsets[0];
  if (selected > 0 && selected < kWorkOffsetEntries) {
    const WorkOffsetValues& entry = memory.WorkOffsets[static_cast<size_t>(selected)];
    for (size_t i = 0; i < entry.size(); ++i) memory.ActiveWorkOffset[i] += entry[i];
  }
  return memory.ActiveWorkOffset;
}

void WriteOffsetValues(std::string& out, const WorkOffsetValues& values, std::string_view lineEnd) {
  out.push_back('(');
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.push_back(',');
    std::string number;
    AppendFixed(number, values[i]);
    if (number.find('.') != std::string::npos) {
      while (!number.empty() && number.back() == '0') number.pop_back();
      if (!number.empty() && number.back() == '.') number.pop_back();
    }
    out.append(number);
  }
  out.push_back(')');
  out.append(lineEnd);
}

int32_t SaveToolOffsetMemory(ToolOffsetKind kind, std::string_view fileName,
                             const OffsetMemory& memory, const ControllerDefinition& controller,
                             WatchedFile& watch, std::string* error) {
  const bool radius = kind == ToolOffsetKind::kRadius;
  const std::vector<float>& geometry = radius ? memory.DGeometry : memory.HGeometry;
  const std::vector<float>& wear = radius ? memory.DWear : memory.HWear;
  const bool twoValues = controller.offsetMemoryType >= 2;
  OffsetRewrite rewrite;
  rewrite.Form = radius ? OffsetForm::kD : OffsetForm::kH;
  rewrite.Count = kOffsetNumbers;
  // A bare D or H line is an offset line as well: left alone it would bring
  // back a value cleared since.
  rewrite.BareLines = true;
  // Number 0 is none.
  rewrite.IsZero = [&](size_t n) {
    return n == 0 || (PrintsAsZero(geometry[n]) && (!twoValues || PrintsAsZero(wear[n])));
  };
  rewrite.Unwritable = [&](size_t n) -> std::optional<std::string> {
    if (n == 0 || (std::isfinite(geometry[n]) && std::isfinite(wear[n]))) return std::nullopt;
    return std::string(radius ? "D" : "H").append(std::to_string(n));
  };
  rewrite.AppendLine = [&](std::string& text, const OffsetLine& offset, std::string_view,
                           std::optional<size_t> cursor, std::string_view lineEnd) {
    const size_t n = static_cast<size_t>(offset.Number);
    char head[32];
    std::snprintf(head, sizeof head, "%c%02d= ", radius ? 'D' : 'H', offset.Number);
    if (cursor != size_t{0}) text.append("MEMORY ");
    text.append(head);
    AppendFixed(text, geometry[n]);
    if (twoValues) {
      text.push_back(',');
      AppendFixed(text, wear[n]);
    }
    text.append(lineEnd);
  };
  return RewriteOffsetLines(fileName, watch, error, rewrite);
}

int32_t SaveWorkOffsetMemory(std::string_view fileName, const OffsetMemory& memory,
                             const ControllerDefinition& controller, WatchedFile& watch,
                             std::string* error) {
  OffsetRewrite rewrite;
  rewrite.Form = OffsetForm::kWork;
  rewrite.Count = kWorkOffsetEntries;
  rewrite.IsZero = [&](size_t entry) { return AllZero(memory.WorkOffsets[entry]); };
  rewrite.Unwritable = [&](size_t entry) -> std::optional<std::string> {
    const WorkOffsetValues& values = memory.WorkOffsets[entry];
    if (std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); }))
      return std::nullopt;
    return entry == 0 ? std::string("EXOFS")
                      : std::string("work offset ").append(std::to_string(entry));
  };
  rewrite.AppendLine = [&](std::string& text, const OffsetLine& offset, std::string_view line,
                           std::optional<size_t> cursor, std::string_view lineEnd) {
    const int32_t entry = offset.Number;
    // A line keeps its own form and number; a new G54-G59 is a WK line for
    // the other dialects.
    const bool exofs = cursor ? MatchesKeyAt(line, *cursor, "EXOFS") : entry == 0;
    const int32_t g5 = cursor ? offset.G5Digit
                       : entry >= 1 && entry <= 6 && controller.productCode == kProductDefault
                           ? entry + 3
                           : 0;
    text.append(exofs     ? std::string("MEMORY EXOFS= ")
                : g5 != 0 ? "MEMORY G5" + std::to_string(g5) + "= "
                          : "MEMORY WK" + std::to_string(entry) + "= ");
    WriteOffsetValues(text, memory.WorkOffsets[static_cast<size_t>(entry)], lineEnd);
  };
  return RewriteOffsetLines(fileName, watch, error, rewrite);
}

}  // namespace vestan
