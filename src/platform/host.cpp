#include "platform/host.h"

#include <cstdio>
#include <string>

#include "foundation/text_encoding.h"
#include "platform/file_open.h"
#include "platform/log_file.h"

namespace vestan {

namespace {

void WriteLineToStderr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace

HeadlessHost::HeadlessHost(std::string logPath, bool echoToStderr)
    : logPath_(std::move(logPath)), echoToStderr_(echoToStderr) {}

MessageAnswer HeadlessHost::ShowMessage(const HostMessage& message) {
  Log(message.Caption + ": " + message.Text);
  return message.UnattendedAnswer;
}

void HeadlessHost::SetWindowTitle(std::string_view title) {
  if (echoToStderr_) WriteLineToStderr(title);
}

void HeadlessHost::Log(std::string_view text) {
  if (echoToStderr_) WriteLineToStderr(text);
  if (logPath_.empty()) return;
  FileStream stream = OpenFileStream(logPath_, "a");
  if (!stream) return;
  const std::string entry = FormatLogEntry(LocalTimeNow(), Utf8ToCp932(text)) + "\n";
  std::fwrite(entry.data(), 1, entry.size(), stream.get());
}

bool HeadlessHost::OpenWithDesktop(std::string_view path) {
  Log("Not opened (no desktop): " + std::string(path));
  return false;
}

bool HeadlessHost::StartProgram(const ProgramStart& start) {
  std::string line = "Not started (no desktop): " + start.Program;
  for (const std::string& argument : start.Arguments) line += " " + argument;
  Log(line);
  return false;
}

}  // namespace vestan
