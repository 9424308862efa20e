// A GL seam that records instead of drawing: what each display list holds
// (triangles with their normal and material, outlines and points with their
// colour), which lists were made, deleted and called, the frame state, and
// any call made out of order (a vertex outside a primitive, a list inside a
// list).
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "display/gl_calls.h"
#include "foundation/vector_math.h"

namespace vestan::testing {

class GlRecorder final : public GlCalls {
 public:
  struct Triangle {
    std::array<Vec3, 3> P;
    Vec3 Normal{};
    GlColour Material{};
  };
  struct Outline {
    std::vector<Vec3> P;
    GlColour Colour{};
    GlPrimitive Kind = GlPrimitive::kLineLoop;
    bool Stippled = false;  // drawn while line stipple was on
  };
  // A quad or polygon: its points with their normals, and its material.
  struct Face {
    GlPrimitive Kind = GlPrimitive::kPolygon;
    std::vector<Vec3> P;
    std::vector<Vec3> N;
    GlColour Material{};
  };
  struct List {
    std::vector<Triangle> Triangles;
    std::vector<Face> Faces;
    std::vector<Outline> Outlines;
    // Capabilities switched and materials set while the list was compiled.
    std::vector<std::string> Calls;
    std::vector<Vec3> Points;
    std::vector<GlColour> PointColours;
    int MaterialChanges = 0;
    float PointSize = 0;
  };

  std::map<uint32_t, List> Lists;
  std::vector<uint32_t> Made, Deleted, Called;
  // The model-view matrix each list was last called under.
  std::map<uint32_t, Matrix4> CallMatrices;
  std::vector<std::string> Errors;
  // Frame state.
  std::vector<std::string> Frame;
  GlLight Light;
  Matrix4 Projection{}, ModelView{};
  uint32_t NextName = 1;

  uint32_t GenLists(int32_t count) override {
    const uint32_t first = NextName;
    NextName += static_cast<uint32_t>(count);
    return first;
  }
  void NewList(uint32_t id) override {
    if (compiling_ != 0) Errors.push_back("NewList inside list " + std::to_string(compiling_));
    compiling_ = id;
    Lists[id] = List{};
    Made.push_back(id);
  }
  void EndList() override {
    if (compiling_ == 0) Errors.push_back("EndList outside a list");
    if (primitive_ >= 0) Errors.push_back("EndList inside a primitive");
    compiling_ = 0;
  }
  bool IsList(uint32_t id) override { return Lists.count(id) != 0; }
  void DeleteList(uint32_t id) override {
    Lists.erase(id);
    Deleted.push_back(id);
  }
  void CallList(uint32_t id) override {
    Called.push_back(id);
    CallMatrices[id] = ModelView;
    Frame.push_back("CallList " + std::to_string(id));
  }

  void Begin(GlPrimitive primitive) override {
    if (primitive_ >= 0) Errors.push_back("Begin inside a primitive");
    primitive_ = static_cast<int>(primitive);
    vertices_.clear();
    normals_.clear();
  }
  void End() override {
    if (primitive_ < 0) Errors.push_back("End outside a primitive");
    List& list = Current();
    const auto kind = static_cast<GlPrimitive>(primitive_);
    if (kind == GlPrimitive::kLineLoop || kind == GlPrimitive::kLines ||
        kind == GlPrimitive::kLineStrip) {
      list.Outlines.push_back({vertices_, colour_, kind, stippled_});
    } else if (kind == GlPrimitive::kQuads) {
      if (vertices_.size() % 4 != 0) Errors.push_back("quads of uneven points");
      for (size_t q = 0; q + 4 <= vertices_.size(); q += 4)
        list.Faces.push_back({kind, {vertices_.begin() + q, vertices_.begin() + q + 4},
                              {normals_.begin() + q, normals_.begin() + q + 4}, material_});
    } else if (kind == GlPrimitive::kPolygon) {
      list.Faces.push_back({kind, vertices_, normals_, material_});
    }
    primitive_ = -1;
  }
  void Vertex(const Vec3& p) override {
    if (primitive_ < 0) {
      Errors.push_back("Vertex outside a primitive");
      return;
    }
    vertices_.push_back(p);
    normals_.push_back(normal_);
    List& list = Current();
    if (primitive_ == static_cast<int>(GlPrimitive::kPoints)) {
      list.Points.push_back(p);
      list.PointColours.push_back(colour_);
    }
  }
  void Normal(const Vec3& n) override { normal_ = n; }
  void Triangles(std::span<const float> normals, std::span<const float> vertices) override {
    if (primitive_ >= 0) Errors.push_back("Triangles inside a primitive");
    if (normals.size() != vertices.size() || vertices.size() % 9 != 0)
      Errors.push_back("Triangles of uneven arrays");
    List& list = Current();
    const auto point = [](std::span<const float> a, size_t at) {
      return Vec3{a[at], a[at + 1], a[at + 2]};
    };
    for (size_t t = 0; t + 9 <= std::min(normals.size(), vertices.size()); t += 9)
      list.Triangles.push_back({{point(vertices, t), point(vertices, t + 3), point(vertices, t + 6)},
                                point(normals, t),
                                material_});
  }
  void Material(const GlColour& colour) override {
    if (primitive_ >= 0) Errors.push_back("Material inside a primitive");
    material_ = colour;
    ++Current().MaterialChanges;
    Current().Calls.push_back("Material");
  }
  void Colour(const GlColour& colour) override { colour_ = colour; }
  void PointSize(float size) override { Current().PointSize = size; }
  void LineWidth(float) override {}
  void LineStipple(int32_t factor, uint16_t pattern) override {
    char text[40];
    std::snprintf(text, sizeof text, "LineStipple %d %04x", factor, pattern);
    (compiling_ != 0 ? Lists[compiling_].Calls : Frame).push_back(text);
  }

  void Enable(GlCapability capability) override {
    if (capability == GlCapability::kLineStipple) stippled_ = true;
    (compiling_ != 0 ? Lists[compiling_].Calls : Frame).push_back("Enable " + Name(capability));
  }
  void Disable(GlCapability capability) override {
    if (capability == GlCapability::kLineStipple) stippled_ = false;
    (compiling_ != 0 ? Lists[compiling_].Calls : Frame).push_back("Disable " + Name(capability));
  }
  void UseAlphaBlending() override { Frame.push_back("UseAlphaBlending"); }
  void SetLight0(const GlLight& light) override {
    Light = light;
    Frame.push_back("SetLight0");
  }
  void ClearColour(const GlColour&) override { Frame.push_back("ClearColour"); }
  void Viewport(int32_t width, int32_t height) override {
    Frame.push_back("Viewport " + std::to_string(width) + " " + std::to_string(height));
  }
  void Clear() override { Frame.push_back("Clear"); }
  void LoadMatrix(GlMatrixMode mode, const Matrix4& m) override {
    (mode == GlMatrixMode::kProjection ? Projection : ModelView) = m;
    Frame.push_back(mode == GlMatrixMode::kProjection ? "LoadProjection" : "LoadModelView");
  }
  void MultMatrix(const Matrix4& m) override {
    ModelView = MultiplyMatrix4(ModelView, m);
    Frame.push_back("MultMatrix");
  }
  void ReadPixels(int32_t, int32_t, GlPixelFormat, std::span<uint8_t>) override {}

  // Every triangle of the lists called, in order.
  std::vector<Triangle> CalledTriangles() const {
    std::vector<Triangle> all;
    for (const uint32_t id : Called) {
      const auto it = Lists.find(id);
      if (it != Lists.end())
        all.insert(all.end(), it->second.Triangles.begin(), it->second.Triangles.end());
    }
    return all;
  }

 private:
  static std::string Name(GlCapability c) {
    switch (c) {
      case GlCapability::kCullFace:
        return "CullFace";
      case GlCapability::kNormalize:
        return "Normalize";
      case GlCapability::kLighting:
        return "Lighting";
      case GlCapability::kLight0:
        return "Light0";
      case GlCapability::kBlend:
        return "Blend";
      case GlCapability::kDepthTest:
        return "DepthTest";
      case GlCapability::kLineStipple:
        return "LineStipple";
    }
    return "?";
  }
  List& Current() {
    if (compiling_ == 0) {
      Errors.push_back("drawing outside a list");
      return outside_;
    }
    return Lists[compiling_];
  }

  uint32_t compiling_ = 0;
  int primitive_ = -1;
  bool stippled_ = false;
  std::vector<Vec3> vertices_, normals_;
  Vec3 normal_{};
  GlColour material_{}, colour_{};
  List outside_;
};

}  // namespace vestan::testing
