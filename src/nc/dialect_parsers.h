// The dialect-specific argument lists of a block: HEIDENHAIN Q parameters,
// CYCL DEF and PLANE, the SIEMENS CYCLE800 call and the OSP work-offset
// conversion call. Each reads the line from a position the interpreter
// gives and advances it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nc/nc_context.h"

namespace vestan {

// One HEIDENHAIN cycle parameter; position at the digits after the Q word's
// first digit. An optional "0" is skipped, the next digit chooses the slot
// and how its value (after an optional "=") is read.
void ParseHeidenhainQParameter(size_t& position, std::string_view line, NcModalState& modal,
                               int32_t unitScale);

// A HEIDENHAIN cycle parameter assignment ("Q201=-20", the value up to the
// next blank); position at the parameter number's first digit, and it stays.
// Q200 to Q299 are kept by number for the cycles 200 to 209; other numbers
// are left to the slots above.
void StoreHeidenhainCycleParameter(size_t position, std::string_view line,
                                   InterpreterState& interp);

// The text after CYCL DEF: the datum shift (7.0 to 7.3, a datum number by
// "7.1 #n"), the datum setting 247 with Q339, or the cycle number 200-209.
// A datum number outside the work-offset table changes nothing.
void ParseHeidenhainCycleDef(size_t& position, std::string_view line, NcContext& context,
                             const NcPassRecords& records);

// The text after PLANE and its blank: RESET or SPATIAL with SPA, SPB, SPC
// and an optional SEQ sign.
void ParsePlaneSpatial(size_t& position, std::string_view line, NcContext& context,
                       const NcPassRecords& records);

// The argument list after "CYCLE800(". Returns 1 when a full parameter set
// was read (mode not 0), else 0.
int32_t ParseCycle800(size_t& position, std::string_view line, Cycle800Record& record);

// The arguments of "CALL OO88": reads PH, PP, PA, PB, PC?, PX, PY, PZ, turns
// the source entry plus the shifts through both rotary axes into the target
// entry, makes the target the work offset in force and keeps the machine
// where it was. Source or target outside the work-offset table: nothing is
// written (logged).
void ParseOspCallArgs(size_t& position, std::string_view line, NcContext& context,
                      const NcPassRecords& records);

// Recomposes the work offset in force: the external offset, the selected
// entry, the G92 shift and the G52 local shift. The program positions
// (interpreter, live start and end) shift by the change, so that the machine
// stays where it is: a changed offset moves the coordinates, never the tool.
// The frame is refreshed.
void RecomposeWorkOffset(NcContext& context, const NcPassRecords& records);

// Makes work-offset entry `entry` the one in force and recomposes. An entry
// outside the table changes nothing and returns false.
bool SelectWorkOffset(int32_t entry, NcContext& context, const NcPassRecords& records);

// before + n + after, for the log's notes on refused numbers.
std::string NumberNote(std::string_view before, int64_t n, std::string_view after);

}  // namespace vestan
