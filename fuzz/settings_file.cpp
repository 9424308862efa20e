// The settings file "vestan.ini" read at start-up into fresh records, then
// written back as at exit and read again: every value the writer puts back
// reads as it was (stock numbers to the six decimals "%f" keeps, alphas to
// the one "%3.1f" keeps; the pen flags are not written by design), and a
// second save changes no byte.
#include <cmath>
#include <memory>
#include <string>

#include "definitions/settings_world.h"
#include "definitions/settings_writer.h"
#include "fuzz_support.h"

using namespace vestan;

namespace {

using World = vestan::testing::SettingsWorld;

bool Close(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance + std::fabs(a) * 1e-6;
}

template <typename Values>
void CheckClose(const Values& a, const Values& b) {
  for (size_t i = 0; i < a.size(); ++i) FUZZ_CHECK(Close(a[i], b[i], 1e-6));
}

std::string Saved(World& w) {
  FUZZ_CHECK(SaveSettings(w.settings, w.colors, w.paths, nullptr, w.host, 1) == kSettingsSaved);
  return vestan::testing::ScratchFolder::Read(w.Current() + "vestan.ini");
}

void CheckSameWritten(const World& a, const World& b) {
  const Settings& s = a.settings;
  const Settings& t = b.settings;
  FUZZ_CHECK(s.SavePlacement == t.SavePlacement && s.ViewP == t.ViewP && s.ViewT == t.ViewT);
  FUZZ_CHECK(s.SaveWorkColor == t.SaveWorkColor && s.SaveToolColor == t.SaveToolColor &&
             s.SaveMachineColor == t.SaveMachineColor && s.SaveLineColor == t.SaveLineColor &&
             s.SaveBackground == t.SaveBackground);
  const ColorSet& x = a.colors.Live;
  const ColorSet& y = b.colors.Live;
  if (s.SaveWorkColor == 1) {
    FUZZ_CHECK(x.Pens == y.Pens && x.Penki == y.Penki && x.Base == y.Base);
    FUZZ_CHECK(Close(a.colors.WorkAlpha, b.colors.WorkAlpha, 0.051));
  }
  if (s.SaveToolColor == 1) {
    FUZZ_CHECK(x.ToolTop == y.ToolTop && x.ToolSide == y.ToolSide && x.Arbor == y.Arbor);
    FUZZ_CHECK(s.ToolTopColorMode == t.ToolTopColorMode);
    FUZZ_CHECK(Close(a.colors.ToolAlpha, b.colors.ToolAlpha, 0.051));
  }
  if (s.SaveMachineColor == 1) {
    FUZZ_CHECK(x.HeadStar == y.HeadStar && x.HeadStarStar == y.HeadStarStar && x.Head == y.Head &&
               x.Head1 == y.Head1 && x.Head2 == y.Head2 && x.TableStar == y.TableStar &&
               x.Table == y.Table && x.Table1 == y.Table1 && x.Table2 == y.Table2 &&
               x.Vice == y.Vice && x.Basic == y.Basic);
    FUZZ_CHECK(Close(a.colors.MachineAlpha, b.colors.MachineAlpha, 0.051));
  }
  if (s.SaveLineColor != 0) {
    FUZZ_CHECK(x.TopPath == y.TopPath && x.TopPath2 == y.TopPath2 &&
               x.Construction == y.Construction && s.TopPathColorMode == t.TopPathColorMode);
  }
  if (s.SaveBackground == 1) FUZZ_CHECK(x.Background == y.Background);
  const StockDefinition& p = s.Stock;
  const StockDefinition& q = t.Stock;
  CheckClose(p.Box, q.Box);
  CheckClose(p.ReferenceSizes, q.ReferenceSizes);
  CheckClose(p.Cylinder, q.Cylinder);
  FUZZ_CHECK(p.Reference == q.Reference && p.CylinderAxis == q.CylinderAxis);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto world = std::make_unique<World>();
  world->Read(fuzz::AsText(data, size));
  FUZZ_CHECK(world->paths.SettingsFile == world->Current() + "vestan.ini");
  const std::string first = Saved(*world);
  auto again = std::make_unique<World>();
  again->Read(first);
  CheckSameWritten(*world, *again);
  FUZZ_CHECK(Saved(*again) == first);
  return 0;
}
