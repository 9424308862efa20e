#include "display/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace vestan {

namespace {

// The surfaceless display is one per process and, once initialised, stays
// so: terminating it would end every other context on it, and the driver
// leaves part of its state unfreed when it is terminated.
struct SharedDisplay {
  std::mutex Lock;
  EGLDisplay Display = EGL_NO_DISPLAY;
};

std::string EglError(const char* what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
  return std::string(what) + " failed (EGL error " + code + ")";
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

EGLDisplay AcquireDisplay(std::string* error) {
  static SharedDisplay shared;
  std::lock_guard<std::mutex> hold(shared.Lock);
  if (shared.Display != EGL_NO_DISPLAY) return shared.Display;
  const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    SetError(error, "EGL has no platform displays (eglGetPlatformDisplayEXT)");
    return EGL_NO_DISPLAY;
  }
  const EGLDisplay display =
      getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) {
    SetError(error, EglError("the surfaceless EGL display"));
    return EGL_NO_DISPLAY;
  }
  EGLint major = 0, minor = 0;
  if (eglInitialize(display, &major, &minor) != EGL_TRUE) {
    SetError(error, EglError("eglInitialize of the surfaceless display"));
    return EGL_NO_DISPLAY;
  }
  shared.Display = display;
  return display;
}

// The framebuffer object calls, which OpenGL 1.x headers do not declare.
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;

  template <typename T>
  static bool Load(T& call, const char* name) {
    call = reinterpret_cast<T>(eglGetProcAddress(name));
    return call != nullptr;
  }
  bool LoadAll() {
    return Load(GenFramebuffers, "glGenFramebuffers") &&
           Load(DeleteFramebuffers, "glDeleteFramebuffers") &&
           Load(BindFramebuffer, "glBindFramebuffer") &&
           Load(CheckFramebufferStatus, "glCheckFramebufferStatus") &&
           Load(GenRenderbuffers, "glGenRenderbuffers") &&
           Load(DeleteRenderbuffers, "glDeleteRenderbuffers") &&
           Load(BindRenderbuffer, "glBindRenderbuffer") &&
           Load(RenderbufferStorage, "glRenderbufferStorage") &&
           Load(FramebufferRenderbuffer, "glFramebufferRenderbuffer");
  }
};

// One framebuffer: its object and its colour and depth storage.
struct Framebuffer {
  GLuint Object = 0;
  GLuint Colour = 0;
  GLuint Depth = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

}  // namespace

struct OffscreenContext::Impl {
  EGLDisplay Display = EGL_NO_DISPLAY;
  EGLContext Context = EGL_NO_CONTEXT;
  FramebufferCalls Calls;
  Framebuffer Frame;

  void DeleteFramebuffer(Framebuffer& frame) {
    if (frame.Object != 0) Calls.DeleteFramebuffers(1, &frame.Object);
    if (frame.Colour != 0) Calls.DeleteRenderbuffers(1, &frame.Colour);
    if (frame.Depth != 0) Calls.DeleteRenderbuffers(1, &frame.Depth);
    frame = Framebuffer{};
  }

  // Makes a framebuffer of the size and binds it; the context is current.
  bool MakeFramebuffer(int32_t width, int32_t height, Framebuffer& frame, std::string* error) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (width <= 0 || height <= 0 || width > largest || height > largest) {
      SetError(error, "a view of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels cannot be drawn offscreen (at most " +
                          std::to_string(largest) + " a side)");
      return false;
    }
    // An error left by earlier drawing must not fail this framebuffer.
    for (int n = 0; n < 16 && glGetError() != GL_NO_ERROR; ++n) {
    }
    frame.Width = width;
    frame.Height = height;
    Calls.GenRenderbuffers(1, &frame.Colour);
    Calls.BindRenderbuffer(GL_RENDERBUFFER, frame.Colour);
    Calls.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    Calls.GenRenderbuffers(1, &frame.Depth);
    Calls.BindRenderbuffer(GL_RENDERBUFFER, frame.Depth);
    Calls.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    Calls.GenFramebuffers(1, &frame.Object);
    Calls.BindFramebuffer(GL_FRAMEBUFFER, frame.Object);
    Calls.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  frame.Colour);
    Calls.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  frame.Depth);
    const GLenum status = Calls.CheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
      SetError(error, "the offscreen framebuffer of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels is not complete");
      DeleteFramebuffer(frame);
      return false;
    }
    glViewport(0, 0, width, height);
    return true;
  }

  bool Current() {
    if (eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, Context) != EGL_TRUE)
      return false;
    Calls.BindFramebuffer(GL_FRAMEBUFFER, Frame.Object);
    return true;
  }
};

OffscreenContext::OffscreenContext() = default;
OffscreenContext::~OffscreenContext() { Close(); }

bool OffscreenContext::Open(int32_t width, int32_t height, std::string* error) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->Display = AcquireDisplay(error);
  if (impl->Display == EGL_NO_DISPLAY) return false;
  const auto fail = [&](const std::string& text) {
    SetError(error, text);
    if (impl->Context != EGL_NO_CONTEXT) {
      eglMakeCurrent(impl->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(impl->Display, impl->Context);
    }
    return false;
  };
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) return fail(EglError("eglBindAPI(OpenGL)"));
  // Display lists, lighting and immediate mode need the compatibility
  // profile; no config is needed since nothing is drawn to a surface.
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  impl->Context =
      eglCreateContext(impl->Display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (impl->Context == EGL_NO_CONTEXT)
    return fail(EglError("eglCreateContext (OpenGL compatibility profile)"));
  if (eglMakeCurrent(impl->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, impl->Context) != EGL_TRUE)
    return fail(EglError("eglMakeCurrent without a surface"));
  if (!impl->Calls.LoadAll()) return fail("OpenGL has no framebuffer objects");
  std::string reason;
  if (!impl->MakeFramebuffer(width, height, impl->Frame, &reason)) return fail(reason);
  impl_ = std::move(impl);
  return true;
}

bool OffscreenContext::Resize(int32_t width, int32_t height, std::string* error) {
  if (!impl_) {
    SetError(error, "no offscreen context is open");
    return false;
  }
  if (width == impl_->Frame.Width && height == impl_->Frame.Height) return MakeCurrent();
  if (!MakeCurrent()) {
    SetError(error, EglError("eglMakeCurrent"));
    return false;
  }
  Framebuffer frame;
  if (!impl_->MakeFramebuffer(width, height, frame, error)) {
    impl_->Calls.BindFramebuffer(GL_FRAMEBUFFER, impl_->Frame.Object);
    return false;
  }
  impl_->DeleteFramebuffer(impl_->Frame);
  impl_->Frame = frame;
  return true;
}

bool OffscreenContext::MakeCurrent() { return impl_ && impl_->Current(); }

void OffscreenContext::Release() {
  if (impl_) eglMakeCurrent(impl_->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void OffscreenContext::Close() {
  if (!impl_) return;
  if (impl_->Current()) impl_->DeleteFramebuffer(impl_->Frame);
  eglMakeCurrent(impl_->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(impl_->Display, impl_->Context);
  impl_.reset();
}

bool OffscreenContext::IsOpen() const { return impl_ != nullptr; }
int32_t OffscreenContext::Width() const { return impl_ ? impl_->Frame.Width : 0; }
int32_t OffscreenContext::Height() const { return impl_ ? impl_->Frame.Height : 0; }

std::string OffscreenContext::Description() const {
  if (!impl_ || !impl_->Current()) return {};
  const auto text = [](GLenum name) {
    const auto* s = reinterpret_cast<const char*>(glGetString(name));
    return std::string(s != nullptr ? s : "?");
  };
  return text(GL_RENDERER) + ", OpenGL " + text(GL_VERSION);
}

}  // namespace vestan
