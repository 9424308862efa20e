#include "definitions/controller_tables.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "definitions/definition_file.h"
#include "definitions/nc_modal_state.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

// The line without its closing newline.
size_t ContentEnd(std::string_view line) {
  return !line.empty() && line.back() == '\n' ? line.size() - 1 : line.size();
}

// One token: blanks, tabs and "=" skipped, then up to the next blank, tab or
// the end of the line's content.
std::string_view Token(std::string_view line, size_t cursor) {
  const size_t end = ContentEnd(line);
  size_t start = std::min(cursor, end);
  while (start < end && (line[start] == ' ' || line[start] == '\t' || line[start] == '=')) ++start;
  size_t stop = start;
  while (stop < end && line[stop] != ' ' && line[stop] != '\t') ++stop;
  return line.substr(start, stop - start);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

// Stores a code token, or refuses it whole when it does not fit.
bool StoreCode(std::string_view token, std::string& code, std::string_view what,
               std::vector<std::string>& refused) {
  if (token.size() > kMaxCodeLength) {
    refused.push_back(std::string(what) + " " + Quoted(token) + " is longer than " +
                      std::to_string(kMaxCodeLength) + " characters; it is ignored");
    return false;
  }
  code = std::string(token);
  return true;
}

}  // namespace

void FreeReplaceTable(ControllerTables& tables) { tables.Replace = {}; }

void FreeControllerTables(ControllerTables& tables, SubprogramStack& subprograms) {
  for (std::vector<uint8_t>& table : tables.MemoryRunTables) table = {};
  tables.MemoryRunCounters = {};
  ClearSubprogramStack(subprograms);
}

void ReadReplaceLine(std::string_view line, size_t cursor, ControllerTables& tables,
                     std::vector<std::string>& refused) {
  const std::string_view rest = line.substr(std::min(cursor, line.size()));
  const size_t open = rest.find_first_of("\"'");
  if (open == std::string_view::npos) return;
  const char quote = rest[open];
  const size_t searchEnd = rest.find(quote, open + 1);
  if (searchEnd == std::string_view::npos) return;
  const size_t replaceOpen = rest.find(quote, searchEnd + 1);
  if (replaceOpen == std::string_view::npos) return;
  const size_t replaceEnd = rest.find(quote, replaceOpen + 1);
  if (replaceEnd == std::string_view::npos || searchEnd == open + 1) return;
  if (tables.Replace.size() >= kMaxReplaceEntries) {
    refused.push_back("the REPLACE table holds " + std::to_string(kMaxReplaceEntries) +
                      " entries; further REPLACE lines are ignored");
    return;
  }
  tables.Replace.push_back(
      {std::string(rest.substr(open + 1, searchEnd - open - 1)),
       std::string(rest.substr(replaceOpen + 1, replaceEnd - replaceOpen - 1))});
}

void ReadCheckCharLine(std::string_view line, size_t cursor, ControllerTables& tables) {
  const size_t open = line.find('"', std::min(cursor, line.size()));
  if (open == std::string_view::npos) return;
  const size_t close = line.find('"', open + 1);
  if (close == std::string_view::npos) return;
  tables.CheckChar = std::string(line.substr(open + 1, close - open - 1));
}

void ReadRadiusOffsetCheckLine(std::string_view line, size_t cursor, ControllerTables& tables) {
  const size_t end = ContentEnd(line);
  int32_t skipped = static_cast<int32_t>(std::min(cursor, end));
  SkipBlanksAndEquals(skipped, line);
  size_t pos = static_cast<size_t>(skipped);
  while (pos < end) {
    size_t found = end;
    for (size_t i = pos; i < end && found == end; ++i) {
      if (MatchesKeyAt(line, i, "STOP")) {
        tables.RadiusCheckStop = 1;
      } else if (MatchesKeyAt(line, i, "LIST")) {
        tables.RadiusCheckList = kRadiusList;
      } else if (MatchesKeyAt(line, i, "OPEN")) {
        tables.RadiusCheckList = kRadiusOpen;
      } else if (MatchesKeyAt(line, i, "PENKI")) {
        tables.RadiusCheckPenki = 1;
      } else {
        continue;
      }
      found = i;
    }
    if (found == end) break;
    const size_t plus = line.find('+', found);
    if (plus == std::string_view::npos || plus >= end) break;
    pos = plus + 1;
  }
  if (tables.RadiusCheckStop != 0 || tables.RadiusCheckList != kRadiusListNone ||
      tables.RadiusCheckPenki != 0)
    tables.RadiusCheckOn = 1;
}

void ReadOptionalSkipLine(std::string_view line, size_t cursor, ControllerTables& tables,
                          std::vector<std::string>& refused) {
  const auto apply = [&](float value) {
    const int32_t level = std::max(TruncateToInt32(value), 1);
    if (level > kMaxSkipLevel) {
      refused.push_back("optional skip level " + std::to_string(level) + " is above " +
                        std::to_string(kMaxSkipLevel) + "; it is ignored");
      return;
    }
    tables.SkipLevels[static_cast<size_t>(level)] = 1;
  };
  int32_t c = static_cast<int32_t>(std::min(cursor, line.size()));
  apply(ParseFloat(c, line));
  for (;;) {
    const size_t comma = line.find(',', static_cast<size_t>(c));
    if (comma == std::string_view::npos) break;
    c = static_cast<int32_t>(comma + 1);
    apply(ParseFloat(c, line));
  }
  tables.AnySkipLevel = 0;
  for (int32_t level = 1; level <= kMaxSkipLevel; ++level)
    if (tables.SkipLevels[static_cast<size_t>(level)] != 0) tables.AnySkipLevel = 1;
}

void ReadStopCharacterLine(std::string_view line, size_t cursor, ControllerTables& tables,
                           std::vector<std::string>& refused) {
  const size_t equals = line.find('=', std::min(cursor, line.size()));
  if (equals == std::string_view::npos) return;
  const size_t end = ContentEnd(line);
  size_t pos = equals + 1;
  while (pos < end) {
    const size_t stop = std::min(line.find_first_of(" \t,", pos), end);
    const std::string_view token = line.substr(pos, stop - pos);
    pos = stop + 1;
    if (token.empty()) continue;
    if (token.size() > kMaxStopStringLength) {
      refused.push_back("stop string " + Quoted(token) + " is longer than " +
                        std::to_string(kMaxStopStringLength) + " characters; it is ignored");
    } else if (tables.StopStrings.size() >= kMaxStopStrings) {
      refused.push_back("the stop strings hold " + std::to_string(kMaxStopStrings) +
                        " entries; further ones are ignored");
    } else {
      tables.StopStrings.emplace_back(token);
    }
  }
}

void ReadLatheLine(std::string_view line, size_t cursor, ControllerTables& tables,
                   std::vector<std::string>& refused) {
  if (cursor >= line.size()) return;
  size_t set = 0;
  switch (line[cursor]) {
    case ' ':
      cursor += 1;
      break;
    case '1':
      cursor += 2;
      break;
    case '2':
      set = 1;
      cursor += 2;
      break;
    default:
      return;
  }
  LatheCodes& codes = tables.Lathe[set];
  if (MatchesKeyAt(line, cursor, "ON CODE"))
    StoreCode(Token(line, cursor + 7), codes.On, "lathe ON code", refused);
  else if (MatchesKeyAt(line, cursor, "OFF CODE"))
    StoreCode(Token(line, cursor + 8), codes.Off, "lathe OFF code", refused);
}

void ReadCutLine(std::string_view line, size_t cursor, ControllerTables& tables,
                 std::vector<std::string>& refused) {
  if (MatchesKeyAt(line, cursor, "ON CODE")) {
    if (StoreCode(Token(line, cursor + 7), tables.CutOnCode, "cut ON code", refused) &&
        !tables.CutOnCode.empty() && tables.CutOffCode.empty())
      tables.CuttingEnabledAtStart = 0;
  } else if (MatchesKeyAt(line, cursor, "OFF CODE")) {
    StoreCode(Token(line, cursor + 8), tables.CutOffCode, "cut OFF code", refused);
  }
}

void ReadWaitLine(std::string_view line, size_t cursor, ControllerTables& tables,
                  std::vector<std::string>& refused) {
  const size_t end = ContentEnd(line);
  size_t pos = std::min(cursor, end);
  // A name belongs to the entry before it; none when that entry was refused.
  bool latestKept = false;
  for (;;) {
    const size_t comma = line.find(',', pos);
    const bool last = comma == std::string_view::npos || comma >= end;
    const size_t itemEnd = last ? end : comma;
    size_t number = itemEnd;
    size_t letter = itemEnd;
    for (size_t i = pos; i < itemEnd; ++i) {
      const char c = line[i];
      if (number == itemEnd && (IsDigit(c) || c == '-' || c == '.')) number = i;
      if (letter == itemEnd && (IsAsciiLetter(c) || c == '(')) letter = i;
    }
    if (number < letter) {
      latestKept = tables.Waits.size() < kMaxWaitEntries;
      if (latestKept)
        tables.Waits.push_back({ConvertInteger(line.substr(number, itemEnd - number)), "waitfile"});
      else
        refused.push_back("the wait table holds " + std::to_string(kMaxWaitEntries) +
                          " entries; further codes are ignored");
    } else if (letter < itemEnd && latestKept) {
      // The name as written: a separator before its first letter ("/tmp",
      // "\\server") belongs to it.
      size_t start = pos;
      while (start < letter && (line[start] == ' ' || line[start] == '\t' || line[start] == '='))
        ++start;
      std::string_view name = line.substr(start, itemEnd - start);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
      if (name.size() > kMaxWaitFileName)
        refused.push_back("wait file name " + Quoted(name) + " is longer than " +
                          std::to_string(kMaxWaitFileName) + " characters; it is ignored");
      else
        tables.Waits.back().FileName = std::string(name);
    }
    if (last) break;
    pos = comma + 1;
  }
}

void ReadRotaryLockLine(std::string_view line, size_t cursor, RotaryLockCode code,
                        ControllerTables& tables, std::vector<std::string>& refused) {
  StoreCode(Token(line, cursor), tables.RotaryLockCodes[code], "rotary lock code", refused);
}

void ReadRunTypeLine(std::string_view line, size_t cursor, ControllerTables& tables) {
  int32_t c = static_cast<int32_t>(std::min(cursor, line.size()));
  SkipBlanksAndEquals(c, line);
  if (!MatchesKeyAt(line, static_cast<size_t>(c), "MEMORY")) return;
  tables.MemoryRun = 1;
  for (size_t t = 0; t + 1 < kMemoryRunTableCount; ++t)
    if (tables.MemoryRunTables[t].empty())
      tables.MemoryRunTables[t].assign(kMemoryRunTableBytes, 0);
}

int32_t DeleteWaitFiles(const ControllerTables& tables) {
  int32_t deleted = 0;
  for (const WaitEntry& wait : tables.Waits) {
    const std::filesystem::path path = ResolveDefinitionPath(wait.FileName);
    if (!CanOpenForReading(path.string())) continue;
    std::error_code ec;
    if (std::filesystem::remove(path, ec)) ++deleted;
  }
  return deleted;
}

}  // namespace vestan
