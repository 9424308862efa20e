// The view as 4 x 4 matrices: the projection, the model-view transform of a
// frame and the turn of the machine orientation. Matrices are column-major
// as OpenGL takes them (element 4 * column + row), so the scene loads or
// multiplies them as they are.
#pragma once

#include <array>
#include <cstdint>

#include "definitions/view_state.h"
#include "display/view_camera.h"
#include "foundation/vector_math.h"

namespace vestan {

using Matrix4 = std::array<double, 16>;
// x, y, z, w.
using Vec4 = std::array<double, 4>;

Matrix4 IdentityMatrix4();
// a * b: b acts first, as glMultMatrix(b) on a current matrix a.
Matrix4 MultiplyMatrix4(const Matrix4& a, const Matrix4& b);
Vec4 TransformVec4(const Matrix4& m, const Vec4& v);
// m * translation, m * scaling, m * rotation: as glTranslated, glScaled and
// glRotated about a coordinate axis (0 X, 1 Y, 2 Z) by the angle of (cos,
// sin) do to the current matrix m.
void TranslateMatrix4(Matrix4& m, const Vec3& by);
void ScaleMatrix4(Matrix4& m, double by);
void RotateMatrix4(Matrix4& m, int axis, double cos, double sin);

// The projection: parallel over (-aspect, aspect) x (-1, 1), or perspective
// with the field of view, both from the near to the far plane. In
// perspective it keeps tan(field of view / 2) in the camera.
Matrix4 SetProjection(const ViewState& view, ViewCamera& camera);

// The model-view matrix of a frame, for points in view units: about the
// view centre, turned by the elevation and the azimuth and the machine
// orientation, zoomed, with the centre at the eye distance in front of the
// eye.
Matrix4 ApplyViewTransform(const ViewState& view, const ViewCamera& camera, int32_t orientation);

// The machine orientation's turn (identity for code 0 and unlisted codes).
Matrix4 RotateByMachineOrientation(int32_t orientation);

}  // namespace vestan
