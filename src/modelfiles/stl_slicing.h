// Slicing an STL mesh onto the dexel lines of a model: the import options
// and transforms that take a vertex into model coordinates, the bounds of a
// mesh, and the two slicers (every crossing of every line, or one interval per
// line as seen from one side).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "platform/progress.h"
#include "platform/system_memory.h"

namespace vestan {

// What the STL read settings ask of every vertex: per axis a scale about a
// centre, then a mirror about a centre. The coordinate system of the file and
// the side the grid is filled from are the import choice and the STL AXIS
// setting (ModelLoadSettings).
struct StlImportOptions {
  std::array<int32_t, 3> Scale{};  // 1 scales the axis
  Vec3 ScaleRate{1.0, 1.0, 1.0};
  Vec3 ScaleCentre{};
  std::array<int32_t, 3> Mirror{};  // 1 mirrors the axis
  Vec3 MirrorCentre{};

  bool AnyScaleOrMirror() const;
};

// How the slicers take a vertex from the file into the coordinates of the
// model being filled; set by SetupStlImportTransform for one load.
struct StlImportTransform {
  int32_t Active = 0;             // some transform applies
  int32_t PlacementPrepared = 0;  // the slicers use the placement, not scale and mirror
  int32_t Translate = 0;
  Vec3 Translation{};  // the model's negated translation
  int32_t Rotate = 0;
  Matrix3 InverseRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};  // of the model's rotation
  // The file is in work coordinates: each vertex is first taken through the
  // work frame (turned when WorkRotated, then moved by WorkOrigin).
  int32_t WorkCoordinates = 0;
  int32_t WorkRotated = 0;
  Matrix3 WorkRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 WorkOrigin{};
};

// Prepares transform for model. workCoordinates: the import choice (1 the file
// is in work coordinates). Nothing is left active when the file already is in
// the model's coordinates.
void SetupStlImportTransform(StlImportTransform& transform, const DexelModel& model,
                             int32_t workCoordinates, const WorkOffsetFrame& frame);
// Clears the four flags (active, placement prepared, translate, rotate).
void ResetStlImportFlags(StlImportTransform& transform);

// A vertex scaled per axis (c + (p - c) * rate), then mirrored (2m - p).
void ScaleMirrorStlPoint(const StlImportOptions& options, Vec3& point);
// A vertex through the work frame (when the file is in work coordinates),
// the translation, then the inverse rotation.
void PlaceStlPoint(const StlImportTransform& transform, Vec3& point);
// A normal under the scale and mirror: (0, 0, 0) when the axes are not all
// scaled alike, else negated on every mirrored axis.
void ScaleMirrorStlNormal(const StlImportOptions& options, Vec3& normal);
// A normal turned by the work frame (file in work coordinates) and by the
// inverse rotation.
void RotateStlNormal(const StlImportTransform& transform, Vec3& normal);

// The unit normal of a facet from vector. A zero vector leaves out as it is;
// one with a component exactly 0 and the two others of exactly equal
// magnitude gives +-1 in those two (unscaled, so that a plane at 45 degrees
// stays exact); any other is divided by its length.
void NormalizeFacetNormal(const Vec3& vector, Vec3& out);

// The box of every vertex of the file after the scale and mirror. False when
// the file holds no facet or a vertex that is not a finite number.
bool MeasureStlBounds(int32_t kind, const std::filesystem::path& path,
                      const StlImportOptions& options, Vec3& maximum, Vec3& minimum);

// The three axes of one slicing pass (0 X, 1 Y, 2 Z): the set along Line is
// filled; the column of the grid line at index i on First and j on Second is
// j * (points on First) + i. (0, 1, 2) fills the Z set, (2, 0, 1) the Y set,
// (1, 2, 0) the X set.
struct StlSliceAxes {
  int First = 0;
  int Second = 1;
  int Line = 2;
};
inline constexpr StlSliceAxes kSliceZ{0, 1, 2};
inline constexpr StlSliceAxes kSliceY{2, 0, 1};
inline constexpr StlSliceAxes kSliceX{1, 2, 0};

// What a slicing pass reads beside the file and the model.
struct StlSliceContext {
  const StlImportOptions* Options = nullptr;      // none: no scale or mirror
  const StlImportTransform* Transform = nullptr;  // none: not prepared
  ProgressState* Progress = nullptr;              // bytes read are added to it
  // The hits of one pass are gathered before they are written: a file that
  // would take more than this is refused.
  uint64_t MemoryLimit = PhysicalMemoryBytes();
};

// Bits of a raw hit's flag byte: the dexel line lies on the facet's box edge.
inline constexpr uint8_t kHitFirstMin = 0x01;
inline constexpr uint8_t kHitFirstMax = 0x02;
inline constexpr uint8_t kHitSecondMin = 0x04;
inline constexpr uint8_t kHitSecondMax = 0x08;

// Every crossing of a dexel line of the set along axes.Line with a facet,
// added to the line's column as a raw hit (unsorted; flag byte as above,
// attribute 0). Every column of the set is emptied first; materialMax and
// materialMin on the line axis start at -999999999.9 / +999999999.9 and take
// in every hit. Vertices go through the placement when the transform is
// prepared and active, else through the scale and mirror. Returns kModelOk;
// kModelBadGrid when a line would meet more than kMaxColumnValues facets;
// kModelNoMemory when the hits would take more than the memory limit. On a
// refusal the set is left empty.
int32_t SliceStlIntoModel(int32_t kind, const std::filesystem::path& path, StlSliceAxes axes,
                          DexelModel& model, Vec3& materialMax, Vec3& materialMin,
                          const StlSliceContext& context);

// One interval per dexel line of the set along axes.Line: direction +1 from
// materialMin up to the highest surface over the line, -1 from the lowest
// surface up to materialMax. Every column starts as the empty pair at that
// end; a line over no facet keeps it. The facet's own normal is used (taken
// through the transforms as its vertices are; recomputed when that leaves it
// zero); a height more than 5.0 beyond the facet's range counts as the
// grid's far end.
void SliceStlIntoModelA(int32_t kind, const std::filesystem::path& path, StlSliceAxes axes,
                        int32_t direction, DexelModel& model, Vec3& materialMax, Vec3& materialMin,
                        const StlSliceContext& context);

namespace detail {
// True only when the line along the third axis through (u, v) passes the
// triangle (9 doubles) so far outside, in the plane of axes a1 and a2, that
// IntersectTriangleWithLine must answer 0: on the outer side of an edge by
// more than a millionth of the longest edge. Lets the slicer skip the exact
// test's arc cosines for most lines of a facet's box that miss it.
bool LineClearlyMissesTriangle(const std::array<double, 9>& triangle, int a1, int a2, double u,
                               double v);
}  // namespace detail

}  // namespace vestan
