#include "definitions/definition_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

#include "foundation/path_text.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"

namespace vestan {

namespace fs = std::filesystem;

namespace {

std::string_view TrimTrailingBlanksAndDots(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.remove_suffix(1);
  return s;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// The entry of folder whose name matches component without case, if any.
std::optional<fs::path> FindNoCase(const fs::path& folder, std::string_view component, bool last) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) return std::nullopt;
  const std::string_view wanted = last ? TrimTrailingBlanksAndDots(component) : component;
  if (wanted.empty()) return std::nullopt;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return std::nullopt;
    const std::string name = it->path().filename().string();
    if (EqualsIgnoringAsciiCase(name, wanted)) return folder / name;
  }
  return std::nullopt;
}

// A number as short as it reads back: a value read as a float as the float
// it is (-0.01, not -0.009999999776482582).
std::string NoteNumber(double value) {
  char text[32];
  const float single = RoundToSingle(value);
  const std::to_chars_result r = single == value ? std::to_chars(text, text + sizeof text, single)
                                                 : std::to_chars(text, text + sizeof text, value);
  return std::string(text, r.ptr);
}

}  // namespace

std::string FormatNote(const DefinitionNote& note) {
  std::string text = note.File;
  if (note.Line > 0) {
    text.push_back(':');
    text.append(std::to_string(note.Line));
  }
  text.append(": ");
  text.append(note.Message);
  return text;
}

fs::path ResolveDefinitionPath(std::string_view name) {
  const std::string text = ToNativePath(name);
  const fs::path written(text);
  if (text.empty() || Exists(written)) return written;

  fs::path resolved = written.root_path();
  const fs::path relative = written.relative_path();
  for (auto it = relative.begin(); it != relative.end(); ++it) {
    const std::string component = it->string();
    const bool last = std::next(it) == relative.end();
    fs::path candidate = resolved / component;
    if (component.empty() || component == "." || component == ".." || Exists(candidate)) {
      resolved = std::move(candidate);
      continue;
    }
    const std::optional<fs::path> match = FindNoCase(resolved, component, last);
    if (!match) return written;
    resolved = *match;
  }
  return resolved;
}

std::optional<FileTime> LastWriteTime(const fs::path& path) {
  std::error_code ec;
  const FileTime time = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return time;
}

std::optional<std::vector<std::string>> ReadDefinitionLines(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return SplitLines(content);
}

std::optional<std::vector<std::string>> ReadWatchedDefinition(std::string_view fileName,
                                                              WatchedFile& watch) {
  const fs::path path = ResolveDefinitionPath(fileName);
  if (const std::optional<FileTime> time = LastWriteTime(path)) watch.Time = *time;
  std::optional<std::vector<std::string>> lines = ReadDefinitionLines(path);
  watch.State = lines ? kFileRead : kFileMissing;
  return lines;
}

std::optional<std::string> BrokenNumberRule(std::span<const double> values, NumberRule rule) {
  for (const double v : values) {
    if (!std::isfinite(v)) return std::string("a value is not a finite number");
  }
  for (const double v : values) {
    switch (rule) {
      case NumberRule::kFinite:
        break;
      case NumberRule::kNotNegative:
        if (v < 0.0) return NoteNumber(v) + " is below 0";
        break;
      case NumberRule::kPositive:
        if (v <= 0.0) return NoteNumber(v) + " is not above 0";
        break;
      case NumberRule::kNonZero:
        if (v == 0.0) return std::string("a value is 0");
        break;
    }
  }
  return std::nullopt;
}

std::optional<std::string> BrokenRange(double minimum, double maximum) {
  const double both[] = {minimum, maximum};
  if (std::optional<std::string> why = BrokenNumberRule(both, NumberRule::kFinite)) return why;
  if (minimum > maximum)
    return "the minimum " + NoteNumber(minimum) + " exceeds the maximum " + NoteNumber(maximum);
  return std::nullopt;
}

std::string RefusedKeyNote(std::string_view key, std::string_view why) {
  std::string note(key);
  note.append(": ").append(why).append("; the line is ignored");
  return note;
}

}  // namespace vestan
