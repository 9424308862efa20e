// The list-valued parts of the controller definition: text replacements,
// block-end characters, radius-offset check options, optional-skip levels,
// stop strings, wait codes, lathe, cut and rotary lock codes, and the
// memory-run tables; how their keys are read, and their release.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vestan {

struct SubprogramStack;

inline constexpr size_t kMaxReplaceEntries = 1000;
inline constexpr size_t kMaxStopStrings = 20;
inline constexpr size_t kMaxStopStringLength = 10;
inline constexpr size_t kMaxWaitEntries = 16;
inline constexpr size_t kMaxWaitFileName = 14;
inline constexpr size_t kMaxCodeLength = 20;
inline constexpr int32_t kMaxSkipLevel = 9;
inline constexpr size_t kMemoryRunTableCount = 5;
inline constexpr size_t kMemoryRunTableBytes = 4000;

// One REPLACE line: every occurrence of Search in an NC line becomes
// Replacement (which may be empty; Search never is).
struct ReplaceEntry {
  std::string Search;
  std::string Replacement;

  friend bool operator==(const ReplaceEntry&, const ReplaceEntry&) = default;
};

struct WaitEntry {
  int32_t Code = 0;  // the M code number
  std::string FileName = "waitfile";

  friend bool operator==(const WaitEntry&, const WaitEntry&) = default;
};

// Lathe mode codes of one lathe set; empty means not defined.
struct LatheCodes {
  std::string On;
  std::string Off;

  friend bool operator==(const LatheCodes&, const LatheCodes&) = default;
};

enum RadiusOffsetListMode : int32_t { kRadiusListNone = 0, kRadiusList = 1, kRadiusOpen = 2 };

// Rotary lock code slots.
enum RotaryLockCode : size_t {
  kRotary1Lock = 0,
  kRotary1Unlock = 1,
  kRotary2Lock = 2,
  kRotary2Unlock = 3,
};

struct ControllerTables {
  std::vector<ReplaceEntry> Replace;
  // The block-end characters ("CHECK CHAR").
  std::string CheckChar;

  // CHECK RADIUS OFFSET.
  int32_t RadiusCheckStop = 0;
  int32_t RadiusCheckList = kRadiusListNone;
  int32_t RadiusCheckPenki = 0;
  int32_t RadiusCheckOn = 0;

  // Optional block skip: one flag per level, 1-9 in use; AnySkipLevel is 1
  // when one of them is on.
  std::array<uint8_t, kMaxSkipLevel + 1> SkipLevels{};
  uint8_t AnySkipLevel = 0;

  // Texts that stop a run at a block (stop option 4).
  std::vector<std::string> StopStrings;
  std::vector<WaitEntry> Waits;

  std::array<LatheCodes, 2> Lathe{};
  // M codes switching cutting on and off; with only an ON code given before
  // an OFF code, runs start with cutting off.
  std::string CutOnCode;
  std::string CutOffCode;
  int32_t CuttingEnabledAtStart = 1;

  std::array<std::string, 4> RotaryLockCodes{};

  // RUN TYPE=MEMORY: subprograms run from memory. The NC reader fills the
  // tables (the fifth is its own) and their counters.
  int32_t MemoryRun = 0;
  std::array<std::vector<uint8_t>, kMemoryRunTableCount> MemoryRunTables{};
  std::array<int32_t, kMemoryRunTableCount> MemoryRunCounters{};

  friend bool operator==(const ControllerTables&, const ControllerTables&) = default;
};

// Empties the REPLACE table.
void FreeReplaceTable(ControllerTables& tables);
// Releases the memory-run tables with their counters and clears the NC
// reader's subprogram levels.
void FreeControllerTables(ControllerTables& tables, SubprogramStack& subprograms);

// The list keys. Each reads the line from `cursor` (just behind its key)
// and appends to refused a message for each part it had to refuse: an entry
// past a table's capacity, a text longer than its slot (refused whole, never
// shortened), a level out of range. Malformed lines are skipped silently.
void ReadReplaceLine(std::string_view line, size_t cursor, ControllerTables& tables,
                     std::vector<std::string>& refused);
void ReadCheckCharLine(std::string_view line, size_t cursor, ControllerTables& tables);
void ReadRadiusOffsetCheckLine(std::string_view line, size_t cursor, ControllerTables& tables);
void ReadOptionalSkipLine(std::string_view line, size_t cursor, ControllerTables& tables,
                          std::vector<std::string>& refused);
void ReadStopCharacterLine(std::string_view line, size_t cursor, ControllerTables& tables,
                           std::vector<std::string>& refused);
void ReadLatheLine(std::string_view line, size_t cursor, ControllerTables& tables,
                   std::vector<std::string>& refused);
void ReadCutLine(std::string_view line, size_t cursor, ControllerTables& tables,
                 std::vector<std::string>& refused);
void ReadWaitLine(std::string_view line, size_t cursor, ControllerTables& tables,
                  std::vector<std::string>& refused);
void ReadRotaryLockLine(std::string_view line, size_t cursor, RotaryLockCode code,
                        ControllerTables& tables, std::vector<std::string>& refused);
void ReadRunTypeLine(std::string_view line, size_t cursor, ControllerTables& tables);

// Deletes every wait file of the table that exists, so that none is left
// from an earlier run. Returns how many were deleted.
int32_t DeleteWaitFiles(const ControllerTables& tables);

}  // namespace vestan
