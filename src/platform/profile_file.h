// Profile files ("[section]" lines, then "key=value" lines), read and written
// the way the Windows profile calls do: section and key names compared
// without ASCII case, the first matching section and key win, a missing key
// gives the caller's default. A write changes only the bytes of the value it
// replaces or the line it adds; comments, other sections, line ends and
// cp932 text stay exactly as they were.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vestan {

class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string content) : content_(std::move(content)) {}

  // The value of key in section: blanks around it removed, and one pair of
  // enclosing double or single quotes. Nothing when the key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view fallback) const;
  // The leading decimal integer of the value (0 when there is none,
  // saturating); fallback when the key is missing or its value empty.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t fallback) const;

  // Replaces the value where the key stands (the key's own spelling and the
  // text up to the value are kept), else adds "key=value" after the last key
  // of the section, else adds the section at the end. The value reads back as
  // given: one with surrounding blanks or its own enclosing quotes is stored
  // in double quotes. A value that the stored one already reads as changes
  // nothing. False, with nothing changed, for an empty name, a section name
  // with "]", a key with "=", surrounding blanks or a leading "[", or any
  // line break.
  bool SetString(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Content() const { return content_; }

 private:
  std::string content_;
};

inline constexpr int32_t kProfileLoaded = 1;
inline constexpr int32_t kProfileMissing = 0;
inline constexpr int32_t kProfileUnreadable = -1;

// Reads the file into profile. A missing file gives an empty profile and
// kProfileMissing; a file that exists but cannot be read gives
// kProfileUnreadable and an empty profile.
int32_t LoadProfileFile(std::string_view path, ProfileFile& profile);

// Replaces the file with the profile's content through a temporary file
// beside it (kFileReplaced, or a negative code with the reason in error).
int32_t SaveProfileFile(std::string_view path, const ProfileFile& profile,
                        std::string* error = nullptr);

// One write as the platform call makes it: load, set, save. A file that
// exists but cannot be read is not written (kProfileUnreadable).
int32_t WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view value, std::string* error = nullptr);

}  // namespace vestan
