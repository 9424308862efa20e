#include "platform/system_info.h"

#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <optional>

#include "platform/file_open.h"

namespace vestan {

namespace {

// The usual user address space of a 64-bit process: 128 TiB.
constexpr double kAddressSpaceBytes = 140737488355328.0;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Calls f(line) for every line of text until f returns false.
template <class F>
void ForEachLine(std::string_view text, F f) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!f(line) || end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// A shell-style value of os-release: quotes removed, backslash escapes taken.
std::string Unquote(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out.push_back(value[i]);
  }
  return out;
}

int64_t LeadingInteger(std::string_view text) {
  text = Trim(text);
  int64_t value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() ? value : -1;
}

std::optional<std::string> ReadSystemFile(const char* path) { return ReadFileBytes(path); }

}  // namespace

int32_t StoredOsVersionCode(int32_t code) {
  if (code >= 200) return code;
  if (code >= 100) return code + 100;
  if (code <= 0) return kOsCodeUnrecognised;
  return code + 200;
}

int32_t GetOsVersionNumbers(int32_t wide, int32_t& build) {
  build = 0;
  return kOsBaseCodeLaterClient + (wide == 1 ? 100 : 0);
}

OsVersion GetOsName() {
  OsVersion version;
  version.Code = StoredOsVersionCode(GetOsVersionNumbers(0, version.Build));
  std::optional<std::string> release = ReadSystemFile("/etc/os-release");
  if (!release) release = ReadSystemFile("/usr/lib/os-release");
  if (release) version.Name = OsReleaseName(*release);
  utsname system{};
  if (::uname(&system) == 0) {
    if (!version.Name.empty()) version.Name += ", ";
    version.Name += std::string(system.sysname) + " " + system.release;
  }
  return version;
}

std::string GetOsUpdateSuffix(int32_t& level) {
  level = 0;
  return {};
}

MemoryStatusKb GetMemoryStatusKb() {
  MemoryStatusKb memory;
  if (const std::optional<std::string> info = ReadSystemFile("/proc/meminfo")) {
    const int64_t total = ProcKilobytes(*info, "MemTotal");
    int64_t available = ProcKilobytes(*info, "MemAvailable");
    if (available < 0) available = ProcKilobytes(*info, "MemFree");
    const int64_t swapTotal = ProcKilobytes(*info, "SwapTotal");
    const int64_t swapFree = ProcKilobytes(*info, "SwapFree");
    if (total >= 0) memory.TotalPhysical = static_cast<double>(total);
    if (available >= 0) memory.AvailablePhysical = static_cast<double>(available);
    memory.TotalPageFile =
        memory.TotalPhysical + static_cast<double>(swapTotal > 0 ? swapTotal : 0);
    memory.AvailablePageFile =
        memory.AvailablePhysical + static_cast<double>(swapFree > 0 ? swapFree : 0);
  }
  double addressSpace = kAddressSpaceBytes;
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<double>(limit.rlim_cur) < addressSpace)
    addressSpace = static_cast<double>(limit.rlim_cur);
  memory.TotalVirtual = addressSpace / 1024.0;
  memory.AvailableVirtual = memory.TotalVirtual;
  if (const std::optional<std::string> status = ReadSystemFile("/proc/self/status")) {
    const int64_t used = ProcKilobytes(*status, "VmSize");
    if (used > 0 && static_cast<double>(used) < memory.TotalVirtual)
      memory.AvailableVirtual = memory.TotalVirtual - static_cast<double>(used);
  }
  return memory;
}

ProcessorInfo GetProcessorInfo() {
  ProcessorInfo info;
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  info.Count = online > 0 ? static_cast<int32_t>(online) : 1;
  utsname system{};
  const std::string_view machine = ::uname(&system) == 0 ? system.machine : "";
  const bool x86 = machine == "x86_64" || machine == "i386" || machine == "i486" ||
                   machine == "i586" || machine == "i686";
  info.Type = machine == "x86_64" ? 8664 : (x86 ? 586 : 0);
  if (x86) {
    if (const std::optional<std::string> cpuinfo = ReadSystemFile("/proc/cpuinfo")) {
      const CpuIdentity cpu = ParseCpuInfo(*cpuinfo);
      info.Level = cpu.Family > 0 ? cpu.Family : 0;
      // A 16-bit revision, as the original platform gives it.
      if (cpu.Model >= 0 && cpu.Stepping >= 0)
        info.Revision = ((cpu.Model & 0xFF) << 8) | (cpu.Stepping & 0xFF);
    }
  }
  return info;
}

int32_t CountOtherWindows(bool) { return 0; }

DwmComposition QueryDwmComposition(int32_t storedCode) {
  DwmComposition composition;
  composition.Present = storedCode >= 240 && storedCode <= 299 ? 1 : 0;
  return composition;
}

bool SetMainThreadIdealProcessor(int32_t idealProcessor, int32_t processorCount) {
  return idealProcessor >= 0 && processorCount >= 2 && processorCount > idealProcessor;
}

std::string OsReleaseName(std::string_view osRelease) {
  std::string pretty, name, version;
  ForEachLine(osRelease, [&](std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return true;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string value = Unquote(line.substr(equals + 1));
    if (key == "PRETTY_NAME") pretty = value;
    if (key == "NAME") name = value;
    if (key == "VERSION") version = value;
    return true;
  });
  if (!pretty.empty()) return pretty;
  if (!name.empty() && !version.empty()) return name + " " + version;
  return name;
}

int64_t ProcKilobytes(std::string_view text, std::string_view key) {
  int64_t value = -1;
  ForEachLine(text, [&](std::string_view line) {
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ':') return true;
    value = LeadingInteger(line.substr(key.size() + 1));
    return false;
  });
  return value;
}

CpuIdentity ParseCpuInfo(std::string_view cpuinfo) {
  CpuIdentity cpu;
  bool seen = false;
  ForEachLine(cpuinfo, [&](std::string_view line) {
    if (Trim(line).empty()) return !seen;  // a blank line ends the first processor
    seen = true;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view key = Trim(line.substr(0, colon));
    const int64_t value = LeadingInteger(line.substr(colon + 1));
    const int32_t field = value >= 0 && value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
    if (key == "cpu family") cpu.Family = field;
    if (key == "model") cpu.Model = field;
    if (key == "stepping") cpu.Stepping = field;
    return true;
  });
  return cpu;
}

}  // namespace vestan
