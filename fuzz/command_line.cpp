// The command line: any text. Every name taken holds at most 255
// characters, the request is consistent after the reconciliation (a run
// mode only with an NC program, a job never with a run, a save only with
// something to save), and every value stays in its range.
#include "automation/command_line.h"

#include <filesystem>
#include <string>

#include "foundation/text_encoding.h"
#include "fuzz_support.h"
#include "platform/recording_host.h"

using namespace vestan;

namespace {

size_t Characters(const std::string& name) {
  if (!IsValidUtf8(name)) return name.size();
  size_t count = 0;
  for (char c : name) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Names the line gives are tried from a folder of the run's own.
  static const bool inScratch = [] {
    std::filesystem::current_path(fuzz::ProcessFolder().Path());
    return true;
  }();
  (void)inScratch;
  CommandLineRequest r;
  DefinitionFilePaths paths;
  Settings settings;
  DifferenceSettings difference;
  RecordingHost host;
  ParseCommandLine(fuzz::AsText(data, size), {r, paths, settings, difference}, host);

  for (const std::string* name :
       {&paths.SettingsFile, &paths.ColourFile, &paths.ToolTable, &paths.Controller, &paths.Machine,
        &paths.NcProgram, &paths.WorkLoad, &paths.WorkSave, &paths.BasicModel, &paths.MacroFile})
    FUZZ_CHECK(Characters(*name) <= kMaxCommandLineName);
  FUZZ_CHECK(r.runMode >= 0 && r.runMode <= 6);
  FUZZ_CHECK(r.runMode == 0 || r.ncProgramGiven != 0);
  const bool job = r.moveJob != 0 || r.rotateJob != 0 || r.paintJob != 0 || r.penJob != 0 ||
                   r.differenceJob != 0;
  if (job) FUZZ_CHECK(r.runMode == 0 && r.workLoadRequested != 0 && r.saveKind != kSaveNone);
  if (r.saveKind != kSaveNone) FUZZ_CHECK(job || r.runMode >= 2 || r.batchMode != 0);
  FUZZ_CHECK(r.saveKind >= kSaveNone && r.saveKind <= kSaveStlBinaryBigEndian);
  FUZZ_CHECK(r.penJob >= 0 && r.penJob <= 16);
  FUZZ_CHECK(r.paintJob >= 0 && r.paintJob <= 2);
  FUZZ_CHECK(r.verifyMode == 0 || r.verifyMode == 1 || r.verifyMode == 5 || r.verifyMode == 6);
  FUZZ_CHECK(difference.Pen >= 1 && difference.Pen <= 15);
  FUZZ_CHECK(settings.StlAxis >= -3 && settings.StlAxis <= 3);
  FUZZ_CHECK(r.rotateAxis >= 0 && r.rotateAxis <= 2);
  FUZZ_CHECK(settings.Stock.CylinderAxis >= 0 && settings.Stock.CylinderAxis <= 2);
  return 0;
}
