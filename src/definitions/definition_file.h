// What every definition-file reader shares: finding the file (either path
// separator, case-insensitive lookup), its last-write time, reading it as
// lines, the per-file state and the notes a reader leaves about refused input.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vestan {

// Per-file state kept by each reader and watched by the change check.
inline constexpr int32_t kFileNotWatched = 0;  // nothing to watch (or already reported)
inline constexpr int32_t kFileRead = 1;
inline constexpr int32_t kFileMissing = -1;

using FileTime = std::filesystem::file_time_type;

// A definition file as its reader last saw it.
struct WatchedFile {
  int32_t State = kFileNotWatched;
  // Last-write time taken just before the file was opened; kept as it was
  // when the time could not be read.
  FileTime Time{};
};

// Something a reader refused, for the log: a number outside its range, a
// name too long for its entry, a table already full. Text that matches no key
// is skipped without a note (the formats allow remarks anywhere), and missing
// values read as 0.
struct DefinitionNote {
  std::string File;
  int32_t Line = 0;  // 1-based; 0 for the file as a whole
  std::string Message;
};

// What a reader reports: the file's state and its notes.
struct DefinitionReadResult {
  int32_t State = kFileNotWatched;
  std::vector<DefinitionNote> Notes;
};

// "file:line: message" (or "file: message").
std::string FormatNote(const DefinitionNote& note);

// What the numbers of a key must be for a reader to take them. A number
// beyond any double or float ("1e999", "1e39" read as a float) would read as
// infinity and could not be written back; lengths, times, speeds and scales
// have a sign or a zero their meaning rules out.
enum class NumberRule {
  kFinite,       // any finite number
  kNotNegative,  // finite and at least 0: tolerances, times, return amounts
  kPositive,     // finite and above 0: speeds, feedrates, accelerations
  kNonZero,      // finite and not 0: scale factors
};

// Why the values break the rule ("a value is not a finite number", "-2 is
// below 0", "0 is not above 0", "a value is 0"), or nothing when every one
// keeps it.
std::optional<std::string> BrokenNumberRule(std::span<const double> values, NumberRule rule);
inline std::optional<std::string> BrokenNumberRule(double value, NumberRule rule) {
  return BrokenNumberRule(std::span<const double>(&value, 1), rule);
}
// The same for a range, whose minimum must not exceed its maximum.
std::optional<std::string> BrokenRange(double minimum, double maximum);
// The note of a refused key: "KEY: why; the line is ignored".
std::string RefusedKeyNote(std::string_view key, std::string_view why);

// The path a definition file name stands for: "\" read as a separator, and a
// component that does not exist as written matched case-insensitively (ASCII)
// in its folder, the last one also with trailing blanks and dots dropped as
// the original platform does. Unresolvable names come back as written.
std::filesystem::path ResolveDefinitionPath(std::string_view name);

// Last-write time of the file, when it can be read.
std::optional<FileTime> LastWriteTime(const std::filesystem::path& path);

// The file's lines as SplitLines gives them; no value when it is not a
// readable regular file.
std::optional<std::vector<std::string>> ReadDefinitionLines(const std::filesystem::path& path);

// What a reader of a watched file does first: the file's last-write time
// into watch (kept as it was when it cannot be read), then its lines, with
// watch.State kFileRead, or no value with kFileMissing.
std::optional<std::vector<std::string>> ReadWatchedDefinition(std::string_view fileName,
                                                              WatchedFile& watch);

}  // namespace vestan
