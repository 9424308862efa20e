#include "nc/run_control.h"

#include <algorithm>
#include <cstdio>

namespace vestan {

namespace {

void NoteOverflow(ProcessSnapshotTable& table, Host& host) {
  if (table.Overflowed != 0) return;
  table.Overflowed = 1;
  host.Log("Process snapshots stop: the run has more than " + std::to_string(kMaxProcesses) +
           " processes");
}

bool InTable(int32_t process) {
  return process >= 0 && static_cast<size_t>(process) < kMaxProcesses;
}

bool ProcessRemovedMaterial(const RunState& run, int32_t process) {
  return process >= 0 && static_cast<size_t>(process) < run.ProcessCutFlags.size() &&
         run.ProcessCutFlags[static_cast<size_t>(process)] != 0;
}

}  // namespace

bool WaitWhilePaused(RunControl& control, Host& host) {
  while (control.Paused.load() != 0) {
    if (control.Abort.load() != 0) return false;
    host.Sleep(kPausedSleepMs);
  }
  return control.Abort.load() == 0;
}

bool WaitForRedraw(RunControl& control, Host& host) {
  control.RedrawOnce.store(0);
  control.RedrawRequest.store(1);
  while (control.RedrawRequest.load() != 0) {
    if (control.Abort.load() != 0) return false;
    host.Sleep(kRedrawSleepMs);
  }
  return control.Abort.load() == 0;
}

int32_t RunTimerInterval(const RunControl& control) {
  const bool slow =
      control.CuttingMode.load() == kCuttingShowResult && control.ShowSteps.load() == 0;
  return slow ? kRunTimerSlowMs : kRunTimerFastMs;
}

std::string SnapshotBaseName(std::string_view ncProgram) {
  const size_t cut = ncProgram.find_last_of(".\\/");
  if (cut == std::string_view::npos || ncProgram[cut] != '.') return std::string(ncProgram);
  return std::string(ncProgram.substr(0, cut));
}

void ArmProcessSnapshots(ProcessSnapshotTable& table, RunState& run, int32_t currentTool,
                         std::string_view ncProgram) {
  run.CurrentProcess = 0;
  std::fill(run.ProcessCutFlags.begin(), run.ProcessCutFlags.end(), 0);
  table.ProcessTools.fill(0);
  table.ProcessTools[0] = currentTool;
  table.SaveEachProcess = 1;
  table.Overflowed = 0;
  table.BaseName = SnapshotBaseName(ncProgram);
}

bool StoreProcessTool(ProcessSnapshotTable& table, const RunState& run, int32_t tool, Host& host) {
  if (!InTable(run.CurrentProcess)) {
    if (table.SaveEachProcess != 0) NoteOverflow(table, host);
    return false;
  }
  table.ProcessTools[static_cast<size_t>(run.CurrentProcess)] = tool;
  return true;
}

std::string NextProcessSnapshot(ProcessSnapshotTable& table, RunState& run, Host& host) {
  const int32_t closed = run.CurrentProcess;
  if (table.SaveEachProcess == 0 || closed < 0) return {};
  const bool removed = ProcessRemovedMaterial(run, closed);
  if (closed == 0 && !removed) return {};
  run.CurrentProcess = closed + 1;
  if (!removed) return {};
  if (!InTable(closed) || table.Overflowed != 0) {
    NoteOverflow(table, host);
    return {};
  }
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "_%03d_T%03d.DME", static_cast<int>(run.CurrentProcess),
                static_cast<int>(table.ProcessTools[static_cast<size_t>(closed)]));
  return table.BaseName + suffix;
}

}  // namespace vestan
