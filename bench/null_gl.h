// A GL seam that does nothing, for benchmarks that count or keep what the
// builders emit: override the calls of interest.
#pragma once

#include <cstdint>
#include <span>

#include "display/gl_calls.h"

namespace vestan::bench {

class NullGl : public GlCalls {
 public:
  uint32_t GenLists(int32_t) override { return 1; }
  void NewList(uint32_t) override {}
  void EndList() override {}
  bool IsList(uint32_t) override { return false; }
  void DeleteList(uint32_t) override {}
  void CallList(uint32_t) override {}
  void Begin(GlPrimitive) override {}
  void End() override {}
  void Vertex(const Vec3&) override {}
  void Normal(const Vec3&) override {}
  void Triangles(std::span<const float>, std::span<const float>) override {}
  void Material(const GlColour&) override {}
  void Colour(const GlColour&) override {}
  void PointSize(float) override {}
  void LineWidth(float) override {}
  void LineStipple(int32_t, uint16_t) override {}
  void Enable(GlCapability) override {}
  void Disable(GlCapability) override {}
  void UseAlphaBlending() override {}
  void SetLight0(const GlLight&) override {}
  void ClearColour(const GlColour&) override {}
  void Viewport(int32_t, int32_t) override {}
  void Clear() override {}
  void LoadMatrix(GlMatrixMode, const Matrix4&) override {}
  void MultMatrix(const Matrix4&) override {}
  void ReadPixels(int32_t, int32_t, GlPixelFormat, std::span<uint8_t>) override {}
};

}  // namespace vestan::bench
