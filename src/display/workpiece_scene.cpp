#include "display/workpiece_scene.h"

namespace vestan {

GlLight SceneLight(int32_t orientation) {
  GlLight light;
  light.Ambient = {0.1f, 0.1f, 0.1f, 1.0f};
  light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
  light.Position = {0.5f, 0.5f, 1.0f, 0.0f};
  switch (orientation) {
    case 1:
    case 3:
      light.Position = {-0.5f, 0.5f, 1.0f, 0.0f};
      break;
    case 10:
    case 12:
      light.Position = {1.0f, 0.5f, 0.5f, 0.0f};
      break;
    case 11:
    case 13:
      light.Position = {0.5f, -1.0f, 0.5f, 0.0f};
      break;
    case 30:
    case 31:
    case 32:
    case 33:
      light.Position = {-0.5f, -1.0f, 0.5f, 0.0f};
      break;
    default:
      break;
  }
  return light;
}

Matrix4 DisplayFrameMatrix(const MachineDisplayFrame& frame, double displayScale) {
  Matrix4 m = IdentityMatrix4();
  Vec3 move = frame.Shift;
  if (frame.Turned != 0) {
    for (size_t c = 0; c < 3; ++c)
      for (size_t r = 0; r < 3; ++r) m[4 * c + r] = frame.Rotation[3 * c + r];
    move = VectorAdd(move, frame.Translation);
  }
  for (size_t r = 0; r < 3; ++r) m[12 + r] = move[r] / displayScale;
  return m;
}

void DrawWorkpieceScene(GlCalls& gl, const WorkpieceScene& scene, WorkpieceDisplayLists& lists) {
  const WorkpieceStyle& style = scene.Style;
  const bool work = scene.WorkPresent != 0 && scene.Model.Allocated();
  // The light is placed with an identity model-view: it stays with the eye.
  gl.LoadMatrix(GlMatrixMode::kModelView, IdentityMatrix4());
  gl.SetLight0(SceneLight(scene.Orientation));
  gl.Enable(GlCapability::kCullFace);
  gl.Enable(GlCapability::kNormalize);
  gl.Enable(GlCapability::kLighting);
  gl.Enable(GlCapability::kLight0);
  gl.UseAlphaBlending();
  if (work && WorkpieceListsStale(scene.Model, lists))
    BuildWorkpieceLists(gl, scene.Model, lists, style);

  gl.ClearColour(style.Materials.Clear);
  gl.Viewport(scene.Camera.Width, scene.Camera.Height);
  gl.Clear();
  gl.Enable(GlCapability::kDepthTest);
  gl.LoadMatrix(GlMatrixMode::kProjection, SetProjection(scene.View, scene.Camera));
  gl.LoadMatrix(GlMatrixMode::kModelView,
                ApplyViewTransform(scene.View, scene.Camera, scene.Orientation));
  gl.MultMatrix(DisplayFrameMatrix(scene.Display, scene.View.DisplayScale));

  if (style.WorkDisplay > 0) {
    if (style.WorkDisplay == 2)
      gl.Enable(GlCapability::kBlend);
    else
      gl.Disable(GlCapability::kBlend);
    // Outlines and points are drawn unlit.
    if (style.MeshMode != kMeshSolid)
      gl.Disable(GlCapability::kLighting);
    else
      gl.Enable(GlCapability::kLighting);
    if (work) CallWorkpieceLists(gl, scene.Model, lists, style.MeshMode);
    gl.Enable(GlCapability::kLighting);
  }
  gl.LoadMatrix(GlMatrixMode::kModelView, IdentityMatrix4());
}

}  // namespace vestan
