#include "definitions/settings.h"

#include <algorithm>

namespace vestan {

void UpdateMachineCheckFlag(InterferenceCheckSettings& checks) {
  const auto stops = [](int32_t value) { return value == 2; };
  checks.MachineCheckStops =
      (checks.Interference == 2 || checks.ArborCheck == 4 || checks.HeightCheck == 3 ||
       checks.ChipWidthCheck == 3 || checks.SpindleCheck == 2 ||
       std::any_of(checks.Pairs.begin(), checks.Pairs.end(), stops) ||
       std::any_of(checks.PartChecks.begin(), checks.PartChecks.end(), stops))
          ? 1
          : 0;
}

}  // namespace vestan
