#include "display/gl_calls.h"

#include <GL/gl.h>

#include <algorithm>

#include "display/frame_readback.h"

namespace vestan {

namespace {

GLenum Primitive(GlPrimitive primitive) {
  switch (primitive) {
    case GlPrimitive::kLineLoop:
      return GL_LINE_LOOP;
    case GlPrimitive::kPoints:
      return GL_POINTS;
    case GlPrimitive::kLines:
      return GL_LINES;
    case GlPrimitive::kLineStrip:
      return GL_LINE_STRIP;
    case GlPrimitive::kQuads:
      return GL_QUADS;
    case GlPrimitive::kPolygon:
      return GL_POLYGON;
  }
  return GL_POINTS;
}

GLenum Capability(GlCapability capability) {
  switch (capability) {
    case GlCapability::kCullFace:
      return GL_CULL_FACE;
    case GlCapability::kNormalize:
      return GL_NORMALIZE;
    case GlCapability::kLighting:
      return GL_LIGHTING;
    case GlCapability::kLight0:
      return GL_LIGHT0;
    case GlCapability::kBlend:
      return GL_BLEND;
    case GlCapability::kDepthTest:
      return GL_DEPTH_TEST;
    case GlCapability::kLineStipple:
      return GL_LINE_STIPPLE;
  }
  return GL_DEPTH_TEST;
}

}  // namespace

uint32_t OpenGlCalls::GenLists(int32_t count) { return glGenLists(count); }
void OpenGlCalls::NewList(uint32_t id) { glNewList(id, GL_COMPILE); }
void OpenGlCalls::EndList() { glEndList(); }
bool OpenGlCalls::IsList(uint32_t id) { return glIsList(id) == GL_TRUE; }
void OpenGlCalls::DeleteList(uint32_t id) { glDeleteLists(id, 1); }
void OpenGlCalls::CallList(uint32_t id) { glCallList(id); }

void OpenGlCalls::Begin(GlPrimitive primitive) { glBegin(Primitive(primitive)); }
void OpenGlCalls::End() { glEnd(); }
void OpenGlCalls::Vertex(const Vec3& p) { glVertex3d(p[0], p[1], p[2]); }
void OpenGlCalls::Normal(const Vec3& n) { glNormal3d(n[0], n[1], n[2]); }
void OpenGlCalls::Triangles(std::span<const float> normals, std::span<const float> vertices) {
  const size_t points = std::min(normals.size(), vertices.size()) / 3;
  if (points < 3) return;
  // Arrays are read when the call is made, so a list being compiled keeps
  // its own copy of the points.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, vertices.data());
  glNormalPointer(GL_FLOAT, 0, normals.data());
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(points - points % 3));
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}
void OpenGlCalls::Material(const GlColour& colour) {
  glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, colour.data());
}
void OpenGlCalls::Colour(const GlColour& colour) { glColor3fv(colour.data()); }
void OpenGlCalls::PointSize(float size) { glPointSize(size); }
void OpenGlCalls::LineWidth(float width) { glLineWidth(width); }
void OpenGlCalls::LineStipple(int32_t factor, uint16_t pattern) { glLineStipple(factor, pattern); }

void OpenGlCalls::Enable(GlCapability capability) { glEnable(Capability(capability)); }
void OpenGlCalls::Disable(GlCapability capability) { glDisable(Capability(capability)); }
void OpenGlCalls::UseAlphaBlending() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void OpenGlCalls::SetLight0(const GlLight& light) {
  glLightfv(GL_LIGHT0, GL_AMBIENT, light.Ambient.data());
  glLightfv(GL_LIGHT0, GL_DIFFUSE, light.Diffuse.data());
  glLightfv(GL_LIGHT0, GL_SPECULAR, light.Specular.data());
  glLightfv(GL_LIGHT0, GL_POSITION, light.Position.data());
}

void OpenGlCalls::ClearColour(const GlColour& colour) {
  glClearColor(colour[0], colour[1], colour[2], colour[3]);
}
void OpenGlCalls::Viewport(int32_t width, int32_t height) { glViewport(0, 0, width, height); }
void OpenGlCalls::Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void OpenGlCalls::LoadMatrix(GlMatrixMode mode, const Matrix4& m) {
  glMatrixMode(mode == GlMatrixMode::kProjection ? GL_PROJECTION : GL_MODELVIEW);
  glLoadMatrixd(m.data());
  glMatrixMode(GL_MODELVIEW);
}
void OpenGlCalls::MultMatrix(const Matrix4& m) { glMultMatrixd(m.data()); }

void OpenGlCalls::ReadPixels(int32_t width, int32_t height, GlPixelFormat format,
                             std::span<uint8_t> pixels) {
  const FrameGeometry frame = MakeFrameGeometry(width, height);
  if (frame.ImageBytes == 0 || pixels.size() < frame.ImageBytes) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, format == GlPixelFormat::kBgr ? GL_BGR : GL_RGB,
               GL_UNSIGNED_BYTE, pixels.data());
}

}  // namespace vestan
