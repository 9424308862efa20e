// What the program records about the system it runs on (the version box
// shows it; the version code also chooses the newer file dialogs), and the
// optional desktop features of the original platform, each mapped to what
// this one has or to a documented no-op.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vestan {

// Version codes: the base code of a system, and the stored code it becomes.
// This system has no name in the original table: it takes the code of a
// later client system (80), stored as 280.
inline constexpr int32_t kOsBaseCodeLaterClient = 80;
inline constexpr int32_t kOsCodeUnrecognised = 200;

// The stored form of a version code: a base code below 100 is raised by 200
// (0, not recognised, gives 200), one of 100 to 199 by 100, one of 200 or
// more stays.
int32_t StoredOsVersionCode(int32_t code);

struct OsVersion {
  int32_t Code = kOsCodeUnrecognised;  // stored code
  int32_t Build = 0;                   // no build number here
  std::string Name;                    // "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64"
  std::string ServicePack;             // always empty here
};

// The system's version code: the later-client code, plus 100 when wide is 1.
// There is no build number here; build is set to 0.
int32_t GetOsVersionNumbers(int32_t wide, int32_t& build);
// The stored version code, build and name: the distribution's name from
// /etc/os-release, then the kernel's name and release from uname.
OsVersion GetOsName();
// The update suffix of old systems ("_XP", "_2K", "_S2"): none exist here, so
// always empty with level 0.
std::string GetOsUpdateSuffix(int32_t& level);

// Memory in KB. The page file is taken as physical memory plus swap (what
// can be committed); virtual memory is the process's address space.
struct MemoryStatusKb {
  double TotalPhysical = 0;
  double AvailablePhysical = 0;
  double TotalPageFile = 0;
  double AvailablePageFile = 0;
  double TotalVirtual = 0;
  double AvailableVirtual = 0;
};
MemoryStatusKb GetMemoryStatusKb();

// Processor count and kind. Type as the original platform numbered it
// (8664 for x86-64, 586 for 32-bit x86, 0 otherwise); level the processor
// family, revision the low bytes of model << 8 | stepping (x86 only, else 0).
struct ProcessorInfo {
  int32_t Count = 1;
  int32_t Type = 0;
  int32_t Level = 0;
  int32_t Revision = 0;
};
ProcessorInfo GetProcessorInfo();

// The other top-level windows: a desktop here gives no program the others'
// windows, so the count is 0 and no list is written.
int32_t CountOtherWindows(bool list);
// Dialog theme textures: the toolkit's dialogs follow the desktop theme by
// themselves; nothing to do, nothing to free.
inline void EnableDialogTheme() {}
inline void FreeThemeLibrary() {}

// Desktop composition: present for stored codes 240-299. Never reported as
// enabled: windows here have no invisible borders for the docking offsets to
// make up for.
struct DwmComposition {
  int32_t Present = 0;
  int32_t Enabled = 0;
};
DwmComposition QueryDwmComposition(int32_t storedCode);

// Whether the command line's ideal processor applies: it is 0 or more, the
// machine has at least 2 processors and more than that number. The system
// here has no preferred-processor hint (pinning the thread would forbid the
// other processors, which the hint never does), so nothing more is done.
bool SetMainThreadIdealProcessor(int32_t idealProcessor, int32_t processorCount);

// Readers of the system's files, apart for tests.
// PRETTY_NAME, else NAME and VERSION, of an os-release text; empty when none.
std::string OsReleaseName(std::string_view osRelease);
// The value in kB of a /proc/meminfo or /proc/self/status key ("MemTotal");
// -1 when absent.
int64_t ProcKilobytes(std::string_view text, std::string_view key);
// "cpu family", "model" and "stepping" of the first processor of a
// /proc/cpuinfo text; -1 each when absent.
struct CpuIdentity {
  int32_t Family = -1;
  int32_t Model = -1;
  int32_t Stepping = -1;
};
CpuIdentity ParseCpuInfo(std::string_view cpuinfo);

}  // namespace vestan
