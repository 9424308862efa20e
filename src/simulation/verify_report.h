// The verify report: the last NC data check summed up through the user's
// template "verify_form.def" (plain text copied, $-keys replaced by values),
// or a short fixed report in English or Japanese when there is no template.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "simulation/nc_data_check.h"
#include "simulation/session.h"

namespace vestan {

inline constexpr std::string_view kVerifyTemplateName = "verify_form.def";

// Seconds as " %02d:%02d:%02d" (hours, minutes, seconds; a leading blank),
// or " %d:%02d:%02d" beyond 99 hours.
void FormatHhMmSs(std::string& out, int32_t seconds);

// What the keys read besides the check's results.
struct VerifyFacts {
  const NcCheckResults& Results;
  const Definitions& Defs;
  const OffsetMemory& Offsets;
  uint64_t ProgramSize = 0;
  double RemovedVolume = 0.0;
};

// One template (its whole text) expanded. The $GCODEW key takes the
// work-offset codes out of the results' G-code table.
std::string ExpandVerifyTemplate(std::string_view text, VerifyFacts& facts, NcCheckResults& results);

// The fixed report, without a template.
std::string FixedVerifyReport(const VerifyFacts& facts, int32_t englishMode);

// The report's path by the naming mode: beside the NC program as
// "<program>_verify.<suffix>" (AUTO), or "verify.<suffix>" in the verify
// folder (FIXED).
std::string VerifyReportPath(const Definitions& defs);

// Results of WriteVerifyReport.
inline constexpr int32_t kVerifyWritten = 1;
inline constexpr int32_t kVerifyNoCheck = -1;   // the last check read no program
inline constexpr int32_t kVerifyNotWritten = -2;

// Writes the report of results for the session's NC program: the template
// from the current folder, else from the program folder, else the fixed
// report; appended or replaced by the create mode. Unless noOpen, the file is
// opened on the desktop. A check that could not read its program gives no
// report (the reason is shown).
int32_t WriteVerifyReport(Session& session, NcCheckResults& results, int32_t noOpen);

}  // namespace vestan
