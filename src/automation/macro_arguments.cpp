#include "automation/macro_arguments.h"

#include "foundation/text_fields.h"

namespace vestan {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The value a check takes for its letter; letters it does not take are off.
int32_t CheckValue(char letter, std::string_view letters) {
  const size_t at = letters.find(ToUpperAscii(letter));
  return at == std::string_view::npos ? 0 : static_cast<int32_t>(at);
}

}  // namespace

bool ExpandPathVariables(std::string_view text, const PathVariables& variables, std::string& out) {
  out.clear();
  size_t at = 0;
  while (at < text.size()) {
    if (text.compare(at, 2, "$(") == 0) {
      const size_t close = text.find(')', at + 2);
      if (close != std::string_view::npos && close - (at + 2) <= kMacroVariableNameMax) {
        const std::string_view name = text.substr(at + 2, close - at - 2);
        if (MatchesKey(name, "ncdir")) {
          out += variables.NcFolder;
        } else if (MatchesKey(name, "workdir")) {
          out += variables.WorkFolder;
        }
        at = close + 1;
        if (out.size() > kMacroArgumentMaxLength) break;
        continue;
      }
    }
    out += text[at++];
    if (out.size() > kMacroArgumentMaxLength) break;
  }
  if (out.size() <= kMacroArgumentMaxLength) return true;
  out.clear();
  return false;
}

MacroArgumentResult ReadMacroArgument(std::string_view source, size_t at,
                                      const PathVariables& variables, std::string& target) {
  MacroArgumentResult result;
  result.End = at;
  if (at >= source.size() || !IsBlank(source[at])) return result;
  while (at < source.size() && IsBlank(source[at])) ++at;
  std::string_view argument;
  if (at < source.size() && source[at] == '"') {
    const size_t close = source.find('"', at + 1);
    const size_t end = close == std::string_view::npos ? source.size() : close;
    argument = source.substr(at + 1, end - at - 1);
    result.End = close == std::string_view::npos ? source.size() : close + 1;
  } else {
    argument = source.substr(at);
    result.End = source.size();
  }
  if (argument.size() > kMacroArgumentMaxLength || !ExpandPathVariables(argument, variables, target)) {
    target.clear();
    result.Status = MacroArgumentStatus::kTooLong;
    return result;
  }
  result.Status = MacroArgumentStatus::kRead;
  return result;
}

void SetInterferenceCheckModes(std::string_view text, InterferenceCheckSettings& checks) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  const auto letter = [&](size_t i) { return at + i < text.size() ? text[at + i] : ' '; };
  // Each check's letters at the values they set ("-" a letter it does not take).
  checks.Interference = CheckValue(letter(0), "NYS");
  checks.ArborCheck = CheckValue(letter(1), "NOCYS");
  checks.HeightCheck = CheckValue(letter(2), "NOYS");
  checks.ChipWidthCheck = CheckValue(letter(3), "NOYS");
  UpdateMachineCheckFlag(checks);
}

}  // namespace vestan
