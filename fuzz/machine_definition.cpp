// Machine definitions (.MTL), read into fresh records with part files beside
// them that the checks can read ("part.stl" and the names the seeds give), so
// that the model lists and the pairing of vice offsets run; the meshes are
// not loaded. Reading the same file again gives the same records (speeds
// and tool change time are kept from file to file by design: the second
// read starts from the first one's), and every number the records hold is
// finite: the reader refuses what is not.
#include <cmath>
#include <memory>

#include "definitions/definition_test_support.h"
#include "definitions/machine_definition_file.h"
#include "fuzz_support.h"
#include "support/current_folder.h"

using namespace vestan;

namespace {

template <typename Values>
bool AllFinite(const Values& values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

void CheckFinite(const vestan::testing::MachineHarness& h) {
  const MachineDefinition& m = h.Machine;
  FUZZ_CHECK(AllFinite(m.ToolChangePosition) && AllFinite(m.ViewCentre) &&
             std::isfinite(m.ToolChangeTime) && AllFinite(m.RapidRate) &&
             AllFinite(m.RapidAcceleration) && AllFinite(m.MaximumFeedrate) &&
             AllFinite(m.CuttingAcceleration));
  const MachineKinematics& k = h.Kinematics;
  for (const RotaryAxisGeometry& r : k.Rotary)
    FUZZ_CHECK(AllFinite(r.Vector) && AllFinite(r.GivenVector) && std::isfinite(r.TiltCos) &&
               std::isfinite(r.TiltSin) && std::isfinite(r.TurnCos) && std::isfinite(r.TurnSin) &&
               std::isfinite(r.GivenAngle));
  FUZZ_CHECK(AllFinite(k.TablePosition) && AllFinite(k.TableOffset) && AllFinite(k.HeadPosition) &&
             AllFinite(k.HeadOffset) && AllFinite(k.SecondTableCentre) &&
             std::isfinite(k.ToolHolderOffset) && AllFinite(k.ToolDirection) &&
             std::isfinite(k.AngleHeadA) && std::isfinite(k.AngleHeadB) &&
             std::isfinite(k.AngleHeadC));
  FUZZ_CHECK(AllFinite(h.Limits.Minimum) && AllFinite(h.Limits.Maximum));
  for (size_t axis = 0; axis < 5; ++axis)
    FUZZ_CHECK(h.Limits.Enabled[axis] == 0 || h.Limits.Minimum[axis] <= h.Limits.Maximum[axis]);
  const MachinePartModels& p = h.Parts;
  FUZZ_CHECK(AllFinite(p.BasicOffset));
  for (const Vec3& offset : p.ViceOffsets) FUZZ_CHECK(AllFinite(offset));
  for (const PartModel& part : p.Tables) FUZZ_CHECK(AllFinite(part.Offset));
  for (const PartModel& part : p.Heads) FUZZ_CHECK(AllFinite(part.Offset));
  // Vices beyond the offsets given take the last one.
  FUZZ_CHECK(p.ViceOffsets.empty() || p.ViceOffsets.size() >= p.ViceNames.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char kPart[] = "solid p\nendsolid p\n";
  for (const char* name : {"part.stl", "oguma_head.stl", "oguma5x_trunnion.stl",
                           "oguma5x_rotary.stl", "oguma_table.stl", "oguma_vice.stl"})
    fuzz::WriteScratchFile(name, kPart);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratchFile("vestan.mtl", fuzz::AsText(data, size));
  const vestan::testing::CurrentFolder inScratch(fuzz::ProcessFolder().Path());
  auto harness = std::make_unique<vestan::testing::MachineHarness>();
  FUZZ_CHECK(harness->Read(path).State == kFileRead);
  CheckFinite(*harness);
  // Again, over the records of the first read.
  auto twice = std::make_unique<vestan::testing::MachineHarness>();
  twice->Read(path);
  twice->Read(path);
  FUZZ_CHECK(twice->Machine == harness->Machine);
  FUZZ_CHECK(twice->Kinematics == harness->Kinematics);
  FUZZ_CHECK(twice->Limits == harness->Limits);
  FUZZ_CHECK(twice->Parts == harness->Parts);
  FUZZ_CHECK(twice->Ctl.Controller == harness->Ctl.Controller);
  return 0;
}
