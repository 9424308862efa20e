// Profile files: reading any content, and writes chosen by the input. Every
// accepted write reads back as written, leaves every other key's value as it
// was, and a refused write or a write of the stored value changes no byte.
#include "platform/profile_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text_fields.h"
#include "fuzz_support.h"

using namespace vestan;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Section and key names the content holds (the first dozen of each), paired
// each with each: the keys a write must leave alone.
std::vector<std::pair<std::string, std::string>> NamesIn(std::string_view content) {
  constexpr size_t kMost = 12;
  std::set<std::string> sections, keys;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  for (const std::string& line : SplitLines(content)) {
    std::string_view text = std::string_view(line).substr(0, line.size() - 1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = Trim(text);
    if (text.starts_with('[')) {
      const size_t close = text.find(']');
      if (close != std::string_view::npos && sections.size() < kMost)
        sections.emplace(Trim(text.substr(1, close - 1)));
    } else if (const size_t equals = text.find('=');
               equals != std::string_view::npos && keys.size() < kMost) {
      keys.emplace(Trim(text.substr(0, equals)));
    }
  }
  std::vector<std::pair<std::string, std::string>> names;
  for (const std::string& section : sections)
    for (const std::string& key : keys) names.emplace_back(section, key);
  return names;
}

bool Accepted(std::string_view section, std::string_view key, std::string_view value) {
  const auto lineBreak = [](std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
  };
  return !section.empty() && !key.empty() && Trim(section) == section && Trim(key) == key &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         key.front() != '[' && !lineBreak(section) && !lineBreak(key) && !lineBreak(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  ProfileFile profile(provider.ConsumeRandomLengthString(4096));
  for (int write = 0; write < 8 && provider.remaining_bytes() > 0; ++write) {
    const std::string section = provider.ConsumeRandomLengthString(24);
    const std::string key = provider.ConsumeRandomLengthString(24);
    const std::string value = provider.ConsumeRandomLengthString(48);
    profile.GetInt(section, key, 7);

    const std::string before = profile.Content();
    std::vector<std::pair<std::pair<std::string, std::string>, std::optional<std::string>>> others;
    for (auto& name : NamesIn(before)) {
      if (EqualsIgnoringAsciiCase(name.first, section) && EqualsIgnoringAsciiCase(name.second, key))
        continue;
      std::optional<std::string> found = profile.Find(name.first, name.second);
      others.emplace_back(std::move(name), std::move(found));
    }
    const bool same = profile.Find(section, key) == value;

    const bool accepted = profile.SetString(section, key, value);
    FUZZ_CHECK(accepted == Accepted(section, key, value));
    if (!accepted || same) FUZZ_CHECK(profile.Content() == before);
    if (accepted) FUZZ_CHECK(profile.Find(section, key) == value);
    for (const auto& [name, found] : others)
      FUZZ_CHECK(profile.Find(name.first, name.second) == found);
  }
  return 0;
}
