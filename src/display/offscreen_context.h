// An OpenGL context that needs no display: EGL on Mesa's surfaceless
// platform, an OpenGL compatibility profile (display lists, lighting), and a
// framebuffer object of the view's size with a depth buffer, so that the
// scene can be drawn and read back with no window at all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vestan {

class OffscreenContext {
 public:
  OffscreenContext();
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Makes the context with a framebuffer of width x height and makes it
  // current on this thread. False, with the reason in error, when EGL, the
  // compatibility profile or the framebuffer cannot be had; nothing is left
  // open then.
  bool Open(int32_t width, int32_t height, std::string* error = nullptr);
  // Gives the framebuffer another size; the context and its display lists
  // stay. False (the old framebuffer kept) when the size cannot be had.
  bool Resize(int32_t width, int32_t height, std::string* error = nullptr);
  // Makes the context and its framebuffer current on this thread.
  bool MakeCurrent();
  // Leaves no context current on this thread.
  void Release();
  // Closes everything; the context's lists go with it.
  void Close();

  bool IsOpen() const;
  int32_t Width() const;
  int32_t Height() const;
  // The GL renderer and version, for the log.
  std::string Description() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vestan
