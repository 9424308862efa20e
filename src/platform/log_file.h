// The program's log "vestan.log": time-stamped entries appended by the main
// window, in the log folder of the settings.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "platform/file_open.h"

namespace vestan {

inline constexpr std::string_view kLogFileName = "vestan.log";
// The fullwidth colon between time and text, in the Japanese code page.
inline constexpr std::string_view kLogSeparator = "\x81\x46";

// The log stream; empty while the log is closed.
struct LogFile {
  FileStream Stream;
};

// "yyyy/mm/dd hh:mm:ss" of the local time, the fullwidth colon, then text.
// No line end: the caller finishes the line.
std::string FormatLogEntry(const std::tm& localTime, std::string_view text);

// The log path: the log folder joined with "vestan.log".
std::string LogFilePath(std::string_view logFolder);

// Opens the log for appending; when its folder is missing and logFolder is
// not empty, creates that folder and tries once more. Stays closed on failure.
void OpenLogFile(LogFile& log, std::string_view logFolder);
// Writes one entry with the current local time; nothing while closed.
void WriteLogLine(LogFile& log, std::string_view text);
// Writes the rest of an entry's line (the caller's text, usually ending in
// "\n"); nothing while closed.
void AppendLogText(LogFile& log, std::string_view text);
void CloseLogFile(LogFile& log);

// The local time now, broken down.
std::tm LocalTimeNow();

}  // namespace vestan
