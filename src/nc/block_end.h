// Completing a block's end position (near-zero snap, tool length, OSP
// work-offset rotation and angle correction, coordinate rotation, mirror
// image), the rotary-axis warning report and the tool-length report line.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "definitions/settings.h"
#include "machine/rotary_solution.h"
#include "model/current_tool.h"
#include "nc/nc_context.h"

namespace vestan {

// End values closer to 0 than this become exactly 0.
inline constexpr double kNearZero = 1e-6;

// Completes the live move's end: the previous position becomes the current
// one, the end point (snapped) the new current position, then the tool
// length, the OSP rotation and angle correction, the coordinate rotation
// (not on the G68 block itself) and the mirror image are applied, to the arc
// centre and radial vectors too. The block that ends a rotation takes the
// plane axes it does not give from the current position instead.
void FinishMove(NcContext& context, const NcPassRecords& records);

// Whether the block end left the tool somewhere else than the commanded
// end: a coordinate rotation in force (past the block that starts it), a
// mirror image or an OSP work-offset rotation. The tool's place is then
// BlockEndState::Current, the move's start BlockEndState::Previous.
bool BlockEndTransformed(const NcContext& context);

// Adds the tool-length vector to the first three values of p by the mode in
// force: nothing under polar interpolation (outside a reference return);
// X onto the cylinder's linear axis under cylindrical interpolation; X, Y, Z
// under an OSP angle correction; the length in force on the length axis
// under a coordinate rotation; else X and Z.
void AddToolLengthVector(std::span<double> p, const NcContext& context,
                         const NcPassRecords& records);

// p[a0], p[a1] turned by (cos, sin) from a0 toward +a1, then offset (all
// three); with angle 0 only offset.
void RotateThenOffsetPoint(std::span<double> p, const std::array<int32_t, 3>& axes, double angle,
                           double cos, double sin, const Vec3& offset);
// The inverse of RotateThenOffsetPoint.
void OffsetThenUnrotatePoint(std::span<double> p, const std::array<int32_t, 3>& axes, double angle,
                             double cos, double sin, const Vec3& offset);
// p turned by (cos, sin) from a0 toward +a1 about the centre (given along
// a0, a1, a2); aboutOrigin: turned about the origin, then shifted by the
// centre in all three axes.
void RotateTranslatePoint(std::span<double> p, const std::array<int32_t, 3>& axes, double cos,
                          double sin, const Vec3& centre, bool aboutOrigin);

// The warning report's name: the NC program's path with its extension
// replaced by (or, without one, followed by) "_warning.txt".
std::string WarningReportPath(std::string_view ncProgram);

// With the warning option on: the warning count cleared and the report
// created with its header. False when it could not be created (logged).
bool OpenWarningReport(BlockEndState& state, std::string_view ncProgram, Host& host);

// With the warning option on: the block and the rotary angles before and
// after a long rotary movement into the report (opened on the first).
void CheckLongRotaryMove(NcContext& context, const NcPassRecords& records, double before1,
                         double before2, double after1, double after2);

// The rotary solutions' long-movement hook, writing into the pass's report.
LongRotaryMoveWarning RotaryWarningReport(NcContext& context, const NcPassRecords& records);

// What the tool-length report line reads besides the results.
struct ToolLengthReportInputs {
  const InterferenceCheckSettings& Checks;  // ARBOR, HEIGHT, CHIP-W CHECK
  int32_t CuttingMode = 0;
  int32_t EnglishMode = 0;
  int32_t ToolNumber = 0;
  int32_t Temporary = 0;  // "TMP:" in place of the number
  std::string_view ToolName;
  int32_t ArborDefined = 0;
  int32_t CutterKind = 0;  // Lu and Lt are given for kinds 2 to 9
  int32_t ShapeKind = 0;   // 5 tip width, 9 centre height
};

// The outgoing tool's line of the length report ("" when no check is in its
// report mode, the run is beyond mode 3 or no step cut since the last line):
// the tool, then the arbor, height and chip-width fields in UTF-8, ending in
// "\n". The results and the data-present flag are cleared.
std::string FormatToolLengthCheck(const ToolLengthReportInputs& in, ToolLengthChecks& results,
                                  int32_t& dataPresent);

}  // namespace vestan
