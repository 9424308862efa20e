// Controller definitions (.CTL) with their tables and the offset memory. The
// input is two files, A and B (FuzzedDataProvider's string, then the rest;
// the last byte picks the kind of offset line saved). Reading A and then B
// into the same records gives what reading B into fresh ones does (all but
// the F table and the values of reference points not given, which a read
// keeps by design), and the notes are the same. B's offset memory, saved
// into B (its D, H or work lines) and read back, gives the values it had to
// the six decimals the lines hold, nothing shifted or lost; saving once more
// changes no byte. The wait files the reader deletes can only name files of
// the scratch folder, which is current and holds no folders; each file is
// written again before it is read.
#include "definitions/controller_definition.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "definitions/definition_test_support.h"
#include "fuzz_support.h"
#include "support/current_folder.h"

using namespace vestan;

namespace {

using Harness = vestan::testing::ControllerHarness;

DefinitionReadResult ReadInto(Harness& harness, const std::string& text) {
  const std::string path = fuzz::WriteScratchFile("vestan.ctl", text);
  DefinitionReadResult result = harness.Read(path);
  FUZZ_CHECK(result.State == kFileRead);
  return result;
}

// Everything a read sets: not the F table, nor the values of a reference
// point the file does not give, which a read keeps by design.
void CheckSameRead(const Harness& a, const Harness& b) {
  FUZZ_CHECK(a.Controller == b.Controller);
  OffsetMemory x = a.Offsets;
  OffsetMemory y = b.Offsets;
  x.FTable = y.FTable;
  for (size_t k = 0; k < x.ReferencePoints.size(); ++k)
    if (x.ReferencePoints[k].Given == 0) x.ReferencePoints[k].Values = y.ReferencePoints[k].Values;
  FUZZ_CHECK(x == y);
  FUZZ_CHECK(a.Plane == b.Plane);
  FUZZ_CHECK(a.AxisLabels == b.AxisLabels);
}

bool SameNotes(const DefinitionReadResult& a, const DefinitionReadResult& b) {
  if (a.Notes.size() != b.Notes.size()) return false;
  for (size_t i = 0; i < a.Notes.size(); ++i)
    if (FormatNote(a.Notes[i]) != FormatNote(b.Notes[i])) return false;
  return true;
}

// Within what "%f" keeps of a value, and the float it is read back as.
bool Close(double before, double after) {
  return std::fabs(before - after) <= 1e-6 + std::fabs(before) * 1e-6;
}

template <typename Values>
void CheckClose(const Values& before, const Values& after) {
  for (size_t i = 0; i < before.size(); ++i) FUZZ_CHECK(Close(before[i], after[i]));
}

// Saves one kind of offset line (0 D, 1 H, 2 work): each save waits for the
// disk, so one kind a run.
int32_t Save(int kind, const Harness& h, WatchedFile& watch, const std::string& path) {
  if (kind == 2) return SaveWorkOffsetMemory(path, h.Offsets, h.Controller, watch);
  return SaveToolOffsetMemory(kind == 0 ? ToolOffsetKind::kRadius : ToolOffsetKind::kLength, path,
                              h.Offsets, h.Controller, watch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const int kind = provider.ConsumeIntegralInRange(0, 2);  // from the input's end
  const std::string a = provider.ConsumeRandomLengthString(size);
  const std::string b = provider.ConsumeRemainingBytesAsString();
  const vestan::testing::CurrentFolder inScratch(fuzz::ProcessFolder().Path());

  auto both = std::make_unique<Harness>();
  ReadInto(*both, a);
  const DefinitionReadResult second = ReadInto(*both, b);
  auto fresh = std::make_unique<Harness>();
  const DefinitionReadResult alone = ReadInto(*fresh, b);
  CheckSameRead(*both, *fresh);
  FUZZ_CHECK(SameNotes(second, alone));

  // The offsets through the file and back.
  const std::string path = fuzz::WriteScratchFile("vestan.ctl", b);
  WatchedFile watch;
  FUZZ_CHECK(Save(kind, *fresh, watch, path) == kOffsetsSaved);
  const std::string saved = vestan::testing::ScratchFolder::Read(path);
  auto back = std::make_unique<Harness>();
  back->Read(path);
  const OffsetMemory& before = fresh->Offsets;
  const OffsetMemory& after = back->Offsets;
  CheckClose(before.DGeometry, after.DGeometry);
  CheckClose(before.HGeometry, after.HGeometry);
  if (fresh->Controller.offsetMemoryType >= 2) {
    CheckClose(before.DWear, after.DWear);
    CheckClose(before.HWear, after.HWear);
  }
  for (size_t entry = 0; entry < before.WorkOffsets.size(); ++entry)
    CheckClose(before.WorkOffsets[entry], after.WorkOffsets[entry]);
  // The file read back may have lost its wait files: write what was saved.
  fuzz::WriteScratchFile("vestan.ctl", saved);
  FUZZ_CHECK(Save(kind, *back, watch, path) == kOffsetsSaved);
  FUZZ_CHECK(vestan::testing::ScratchFolder::Read(path) == saved);
  return 0;
}
