// The interpreter's geometric transformations: scaling, polar coordinates,
// the G68 coordinate rotation, the tilted working planes (G68.2, G254,
// CYCLE800, PLANE) and their forms, rotated work offsets, the program
// position after tool-tip control, tool vectors from orientation angles, and
// the few lookups the interpreter makes (a tool by name, the TOOL CALL
// extras, the tool-change route, the arc length of a tilted tool).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "definitions/tool_table.h"
#include "nc/nc_context.h"
#include "nc/transform_state.h"

namespace vestan {

// p turned by angle (degrees, with the axis's direction sign) about rotary
// axis k (0 or 1) of the machine through centre.
Vec3 TurnAboutRotary(const MachineKinematics& kinematics, const ControllerDefinition& controller,
                     size_t k, double angle, const Vec3& centre, const Vec3& p);

// value := (value - centre) * factor + centre on an axis (0 X, 1 Y, 2 Z)
// that scaling covers: the uniform factor when scaling is uniform, else the
// axis's own. Other axes and scaling off leave it.
void ApplyScalingToAxis(const ScalingState& scaling, int32_t axis, double& value);
// The inverse of ApplyScalingToAxis: the programmed value of a scaled one (a
// factor of 0 leaves it).
void UnscaleAxis(const ScalingState& scaling, int32_t axis, double& value);

// The radius of (x, y) and its angle in degrees in [0, 360): the arc cosine
// of x / radius (clamped), 360 less it below the X axis; 0 at the origin.
void PolarFromCartesian(double x, double y, double& radius, double& angle);

// After a G68 block's scan, the slot the block filled (the next one, while
// fewer than two are in force): the default angle when it gave neither an
// angle nor an axis word, its axes by the axis word (none: the plane's), its
// exact cosine and sine; the rotation is then active. A second slot replaces
// a first given by an axis word unless a second rotation was asked for; an
// angle of 0 then ends the rotation.
void StartCoordinateRotation(CoordinateRotation& rotation, const NcPlaneState& plane,
                             double defaultAngle);

// The plane's matrix from its three angles (about X, then Y, then Z, each
// turning the matrix from the left), its inverse, origin 0.
void BuildPlaneRotation(TiltedPlaneState& plane);

// The plane's matrix from the swivel parameters: the angles about the axes
// the order code names, applied third to first from the left onto the
// plane in force (additive) or the identity; codes from 155 on turn by two
// projection angles, the second with its sine negated. The origin is the
// matrix times the shift after the rotation plus the shift before it. An
// order code no table names turns nothing. Returns the parameters' move
// flag.
int32_t BuildTiltedPlaneMatrix(TiltedPlaneState& plane, const TiltedPlaneParams& params);

// After a G68.2, G254, CYCLE800 or PLANE block's scan: the plane by its
// form. The rotated-offset form writes the target work offset from the
// plane and turns the plane off; G254 takes the unit axes through the
// machine's rotary axes at the plane angles as the columns (the plane's
// axes, its tool axis last); the swivel and
// spatial forms build the matrix and book the tool length; any other form
// takes the three angles as Z-X-Z Euler angles (OSP only with convention
// 313, or 323 for Z-Y-Z). Returns true when the block ends as a macro call
// does.
bool ApplyTiltedPlaneForm(NcContext& context, const NcPassRecords& records);

// OSP CALL OO88: writes the work offset of targetCode (55-59 the entries 2
// to 6, 1-48 the entries 7 to 54): the offset in force plus the programmed
// point turned about rotary axis 1 by minus the machine's rotary 1, about
// rotary axis 2 by minus the programmed fifth value, and about rotary axis
// 1 by the machine's rotary 1 plus the programmed fourth value, each through
// its table centre; the rotary values are the offset in force's. Returns
// false, writing nothing, for another code or no offset in force.
bool ComputeRotatedWorkOffset(NcContext& context, const NcPassRecords& records,
                              const AxisPosition& programmed, int32_t targetCode);

// G68.2 writing a rotated work offset: target = the source offset's point
// (x, y, z) turned about the rotary centres by the source's fourth value
// and the two angles (codes are G numbers: entry = code - 53). Returns
// false, writing nothing, when either entry lies outside the table.
bool ComputeRotatedWorkOffsetFromPlane(NcContext& context, const NcPassRecords& records,
                                       int32_t sourceCode, double x, double y, double z,
                                       double firstAngle, double secondAngle, int32_t targetCode);

// The program position at which the machine position stands under the work
// offset in force; with lessToolLength the reference length beyond the
// tool's own taken off along the spindle (the machine's tool direction when
// it gives one, else Z), as the machine position was derived.
AxisPosition ProgramPositionAtMachine(const NcContext& context, const NcPassRecords& records,
                                      bool lessToolLength);

// When a tool-centre mode ends (G49, TRAFOOF, M129, OSP G170): the program
// position again from the machine position, without the tool-length effect
// (SIEMENS and HEIDENHAIN: the length axis less the length in force), into
// the move's start and end and every program-position copy.
void ResyncProgramPosition(NcContext& context, const NcPassRecords& records);

// Orientation conventions of ToolVectorFromAngles.
inline constexpr int32_t kOrientEuler = 0;  // ORIEULER
inline constexpr int32_t kOrientRpy = 1;    // ORIRPY
inline constexpr int32_t kOrientRpy2 = 2;   // ORIRPY2

// The tool axis (0, 0, 1) turned by angles a, b, c (degrees): Euler
// Rz(a)Rx(b), RPY Rz(a)Ry(b)Rx(c), RPY2 Rx(a)Ry(b). Another convention
// leaves vector as it was.
void ToolVectorFromAngles(int32_t convention, double a, double b, double c, Vec3& vector);

// The lowest tool number (1 to the highest) of a defined tool whose name is
// exactly name; 0 when none.
int32_t FindToolByName(const ToolTable& table, std::string_view name);

// The rest of a HEIDENHAIN TOOL CALL line after the tool number: DL and DR
// (0 unless given, by the first two "D"s), and the spindle speed, the whole
// number after "S", when the text has one.
void ParseToolCallExtras(std::string_view text, NcModalState& modal);

// The word a tool change may start with.
enum class ToolChangeWord { kT, kM06 };

// Whether the word starts the machine's tool-change route: M06 always
// counts, a T word only with ATC type 1 (DIRECT); the tool changes when the
// next tool (with ATC type 3 (WAIT2) and a T number in the block, that
// number) differs from the tool in the spindle. With a route the route's
// steps are queued as ends of moves at the tool change position and the
// length offset is off; otherwise the queue is emptied. Returns true when
// the route was queued.
bool StartToolChangeRoute(NcContext& context, const NcPassRecords& records, ToolChangeWord word);

// What the arc length of a tilted tool depends on: the tool's length, the
// tilt angle at the start and end of the move (radians), the arc's motion
// mode (2 G02, 3 G03) and the settings' tool length mode.
struct TiltedArcInputs {
  double ToolLength = 0.0;
  double StartTilt = 0.0;
  double EndTilt = 0.0;
  int32_t MotionMode = 0;
  int32_t LengthMode = 0;
};

// The arc length at the tool's reference point when that lies further out
// than the programmed radii: the mean of the larger radii times the angle;
// otherwise length stays.
void ComputeTiltedArcLength(double& length, double angle, double startRadius, double endRadius,
                            const TiltedArcInputs& inputs);

}  // namespace vestan
