// The OpenGL calls the display makes, behind one small interface: the lists,
// primitives and materials the list builders emit and the state a frame
// sets. OpenGlCalls forwards them to the current GL context; a test records
// them instead.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "display/colour_materials.h"
#include "display/view_transform.h"
#include "foundation/vector_math.h"

namespace vestan {

// Primitives drawn point by point.
enum class GlPrimitive { kLineLoop, kPoints, kLines, kLineStrip, kQuads, kPolygon };

enum class GlCapability {
  kCullFace,
  kNormalize,
  kLighting,
  kLight0,
  kBlend,
  kDepthTest,
  kLineStipple,
};

enum class GlMatrixMode { kProjection, kModelView };

// Pixel layouts of a frame read back: red first, or blue first as a movie
// frame wants it.
enum class GlPixelFormat { kRgb, kBgr };

// Light 0: a directional light when Position[3] is 0.
struct GlLight {
  GlColour Ambient{};
  GlColour Diffuse{};
  GlColour Specular{};
  std::array<float, 4> Position{};
};

class GlCalls {
 public:
  virtual ~GlCalls() = default;

  // Display lists.
  // Reserves count consecutive list names; returns the first, 0 on failure.
  virtual uint32_t GenLists(int32_t count) = 0;
  // Starts compiling list id (GL_COMPILE).
  virtual void NewList(uint32_t id) = 0;
  virtual void EndList() = 0;
  virtual bool IsList(uint32_t id) = 0;
  virtual void DeleteList(uint32_t id) = 0;
  virtual void CallList(uint32_t id) = 0;

  // Primitives.
  virtual void Begin(GlPrimitive primitive) = 0;
  virtual void End() = 0;
  virtual void Vertex(const Vec3& p) = 0;
  // The normal of the vertices that follow.
  virtual void Normal(const Vec3& n) = 0;
  // Triangles from arrays (GL_TRIANGLES): three floats a point, three points
  // a triangle, each point with its normal.
  virtual void Triangles(std::span<const float> normals, std::span<const float> vertices) = 0;
  // Ambient and diffuse of the front faces.
  virtual void Material(const GlColour& colour) = 0;
  // The current colour (red, green, blue) of unlit drawing.
  virtual void Colour(const GlColour& colour) = 0;
  virtual void PointSize(float size) = 0;
  virtual void LineWidth(float width) = 0;
  // The dash pattern of stippled lines: each bit of pattern, low bit first,
  // drawn (1) or left out (0) for factor pixels.
  virtual void LineStipple(int32_t factor, uint16_t pattern) = 0;

  // Frame state.
  virtual void Enable(GlCapability capability) = 0;
  virtual void Disable(GlCapability capability) = 0;
  // Source alpha over one minus source alpha.
  virtual void UseAlphaBlending() = 0;
  virtual void SetLight0(const GlLight& light) = 0;
  virtual void ClearColour(const GlColour& colour) = 0;
  virtual void Viewport(int32_t width, int32_t height) = 0;
  // Clears the colour and the depth buffer.
  virtual void Clear() = 0;
  virtual void LoadMatrix(GlMatrixMode mode, const Matrix4& m) = 0;
  // Multiplies the model-view matrix by m.
  virtual void MultMatrix(const Matrix4& m) = 0;

  // Reads (0, 0, width, height) of the frame as unsigned bytes into pixels,
  // rows bottom-up, each padded to a multiple of 4 bytes.
  virtual void ReadPixels(int32_t width, int32_t height, GlPixelFormat format,
                          std::span<uint8_t> pixels) = 0;
};

// The calls made on whatever GL context is current on this thread.
class OpenGlCalls final : public GlCalls {
 public:
  uint32_t GenLists(int32_t count) override;
  void NewList(uint32_t id) override;
  void EndList() override;
  bool IsList(uint32_t id) override;
  void DeleteList(uint32_t id) override;
  void CallList(uint32_t id) override;
  void Begin(GlPrimitive primitive) override;
  void End() override;
  void Vertex(const Vec3& p) override;
  void Normal(const Vec3& n) override;
  void Triangles(std::span<const float> normals, std::span<const float> vertices) override;
  void Material(const GlColour& colour) override;
  void Colour(const GlColour& colour) override;
  void PointSize(float size) override;
  void LineWidth(float width) override;
  void LineStipple(int32_t factor, uint16_t pattern) override;
  void Enable(GlCapability capability) override;
  void Disable(GlCapability capability) override;
  void UseAlphaBlending() override;
  void SetLight0(const GlLight& light) override;
  void ClearColour(const GlColour& colour) override;
  void Viewport(int32_t width, int32_t height) override;
  void Clear() override;
  void LoadMatrix(GlMatrixMode mode, const Matrix4& m) override;
  void MultMatrix(const Matrix4& m) override;
  void ReadPixels(int32_t width, int32_t height, GlPixelFormat format,
                  std::span<uint8_t> pixels) override;
};

}  // namespace vestan
