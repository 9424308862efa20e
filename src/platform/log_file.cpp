#include "platform/log_file.h"

#include <cstdio>

#include "foundation/path_text.h"

namespace vestan {

std::string FormatLogEntry(const std::tm& localTime, std::string_view text) {
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04d/%02d/%02d %02d:%02d:%02d", localTime.tm_year + 1900,
                localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                localTime.tm_sec);
  std::string entry(stamp);
  entry.append(kLogSeparator);
  entry.append(text);
  return entry;
}

std::string LogFilePath(std::string_view logFolder) { return JoinPath(logFolder, kLogFileName); }

void OpenLogFile(LogFile& log, std::string_view logFolder) {
  // Appending, with the same one-level folder creation as an output file.
  log.Stream = OpenOutputFile(true, LogFilePath(logFolder), logFolder, nullptr, 0);
}

void WriteLogLine(LogFile& log, std::string_view text) {
  if (!log.Stream) return;
  const std::string entry = FormatLogEntry(LocalTimeNow(), text);
  std::fwrite(entry.data(), 1, entry.size(), log.Stream.get());
}

void AppendLogText(LogFile& log, std::string_view text) {
  if (!log.Stream) return;
  std::fwrite(text.data(), 1, text.size(), log.Stream.get());
}

void CloseLogFile(LogFile& log) { log.Stream.reset(); }

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace vestan
