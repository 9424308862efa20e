#include "platform/profile_file.h"

#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

// One line of the file: [begin, end) is its text without the line end;
// next is where the following line starts.
struct Line {
  size_t Begin;
  size_t End;
  size_t Next;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Calls f(line, text) for each line until f returns false.
template <class F>
void ForEachLine(std::string_view content, F f) {
  size_t start = content.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
  while (start < content.size()) {
    size_t newline = content.find('\n', start);
    Line line{start, newline == std::string_view::npos ? content.size() : newline, 0};
    line.Next = newline == std::string_view::npos ? content.size() : newline + 1;
    if (line.End > line.Begin && content[line.End - 1] == '\r') --line.End;
    if (!f(line, content.substr(line.Begin, line.End - line.Begin))) return;
    start = line.Next;
  }
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.front() != '[') return std::nullopt;
  const size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

// Key and value of a "key=value" line.
struct Entry {
  std::string_view Key;
  std::string_view Value;
  size_t ValueOffset;  // where the value starts within the line
};

std::optional<Entry> ParseEntry(std::string_view text) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  size_t valueOffset = equals + 1;
  while (valueOffset < text.size() && IsBlank(text[valueOffset])) ++valueOffset;
  return Entry{Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)), valueOffset};
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The text to store so that the value reads back as it is: in double quotes
// when reading would otherwise remove its blanks or its own enclosing quotes.
std::string StoredValue(std::string_view value) {
  if (Trim(value) == value && StripQuotes(value) == value) return std::string(value);
  std::string quoted(1, '"');
  quoted.append(value);
  quoted.push_back('"');
  return quoted;
}

std::string_view LineEndOf(std::string_view content, const Line& line) {
  return content.substr(line.End, line.Next - line.End);
}

// The line end the file uses first; LF for a file without one.
std::string_view FileLineEnd(std::string_view content) {
  const size_t newline = content.find('\n');
  if (newline != std::string_view::npos && newline > 0 && content[newline - 1] == '\r')
    return "\r\n";
  return "\n";
}

// What the last line needs before more lines follow it: nothing after "\n";
// "\n" after a lone CR (a second CR would become part of the line's value);
// the file's line end after a line without one.
std::string_view LastLineEnd(std::string_view content) {
  if (content.empty() || content.back() == '\n') return "";
  return content.back() == '\r' ? "\n" : FileLineEnd(content);
}

}  // namespace

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
  std::optional<std::string> found;
  bool inSection = false;
  bool sectionSeen = false;
  ForEachLine(content_, [&](const Line&, std::string_view text) {
    if (const auto name = SectionName(text)) {
      if (sectionSeen) return false;  // only the first section of that name counts
      inSection = SameName(*name, section);
      sectionSeen = inSection;
      return true;
    }
    if (!inSection) return true;
    const auto entry = ParseEntry(text);
    if (!entry || !SameName(entry->Key, key)) return true;
    found = std::string(StripQuotes(entry->Value));
    return false;
  });
  return found;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  auto value = Find(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

int32_t ProfileFile::GetInt(std::string_view section, std::string_view key,
                            int32_t fallback) const {
  const auto value = Find(section, key);
  if (!value || value->empty()) return fallback;
  return ConvertInteger(*value);
}

bool ProfileFile::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
  // A key starting with "[" could read back as a section line.
  if (section.empty() || key.empty() || Trim(key) != key || Trim(section) != section ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      key.front() == '[' || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
    return false;

  bool inSection = false;
  bool sectionSeen = false;
  bool replaced = false;
  std::optional<Line> anchor;  // the line a new key goes after
  ForEachLine(content_, [&](const Line& line, std::string_view text) {
    if (const auto name = SectionName(text)) {
      if (sectionSeen) return false;
      inSection = SameName(*name, section);
      sectionSeen = inSection;
      if (inSection) anchor = line;
      return true;
    }
    if (!inSection) return true;
    const auto entry = ParseEntry(text);
    if (!entry) return true;
    if (!SameName(entry->Key, key)) {
      anchor = line;
      return true;
    }
    // Compared as it reads: a stored value that reads as the new one stays.
    if (StripQuotes(entry->Value) != value) {
      const size_t from = line.Begin + entry->ValueOffset;
      content_.replace(from, line.End - from, StoredValue(value));
    }
    replaced = true;
    return false;
  });
  if (replaced) return true;

  const std::string entryText = std::string(key) + "=" + StoredValue(value);
  if (anchor) {
    const std::string_view ownEnd = LineEndOf(content_, *anchor);
    if (ownEnd.find('\n') == std::string_view::npos) {
      // The last line of the file: the new entry starts a line of its own.
      content_ += LastLineEnd(content_);
      content_ += entryText;
    } else {
      content_.insert(anchor->Next, entryText + std::string(ownEnd));
    }
    return true;
  }

  const std::string eol(FileLineEnd(content_));
  if (!content_.empty()) {
    content_ += LastLineEnd(content_);
    content_ += eol;  // a blank line before the new section
  }
  content_ += "[" + std::string(section) + "]" + eol + entryText + eol;
  return true;
}

int32_t LoadProfileFile(std::string_view path, ProfileFile& profile) {
  profile = ProfileFile();
  std::error_code ec;
  if (!std::filesystem::exists(ToNativePath(path), ec) && !ec) return kProfileMissing;
  auto content = ReadFileBytes(path);
  if (!content) return kProfileUnreadable;
  profile = ProfileFile(std::move(*content));
  return kProfileLoaded;
}

int32_t SaveProfileFile(std::string_view path, const ProfileFile& profile, std::string* error) {
  return ReplaceFileContents(path, profile.Content(), error);
}

int32_t WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view value, std::string* error) {
  ProfileFile profile;
  if (LoadProfileFile(path, profile) == kProfileUnreadable) {
    if (error != nullptr) *error = "cannot read the file";
    return kProfileUnreadable;
  }
  const std::string before = profile.Content();
  if (!profile.SetString(section, key, value)) {
    if (error != nullptr) *error = "unusable section, key or value";
    return kFileNotWritten;
  }
  if (profile.Content() == before && !before.empty()) return kFileReplaced;
  return SaveProfileFile(path, profile, error);
}

}  // namespace vestan
