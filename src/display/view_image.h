// Images of the view with no window: the offscreen context the program draws
// in when it has no display, and saving the view as a PNG image (the save
// image command, 32889, which the macro keyword SAVE_IMAGE sends).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "display/gl_calls.h"
#include "display/offscreen_context.h"
#include "display/scene.h"

namespace vestan {

// An image that could not be drawn (no offscreen context of the view's
// size); beside the results of WritePngImage.
inline constexpr int32_t kImageNotDrawn = -12;

// What the program draws in without a window: the context, the calls made on
// it and the scene's lists in it.
struct OffscreenView {
  OffscreenContext Context;
  OpenGlCalls Gl;
  SceneLists Lists;
};

// Makes the view's context current at the size: the first call makes the
// context and reserves the list names (then no workpiece has lists in it
// yet and every fixed list is marked for a rebuild), a later one only
// resizes. False with the reason in error.
bool PrepareOffscreenView(OffscreenView& view, int32_t width, int32_t height,
                          DisplayListTable& flags, std::string* error = nullptr);

// Gives a workpiece that was just made or loaded its lists in the view (ids
// and every block marked for a rebuild). Call it when the workpiece changes
// as a whole.
void AttachWorkpiece(OffscreenView& view, DexelModel& model, int32_t workIndex = 0);

// Draws the whole scene offscreen at the camera's size, the workpiece given
// its lists first when the view has none for it: kFileReplaced, or
// kImageNotDrawn with the reason in error. The frame stays in the context
// for a read-back.
int32_t DrawOffscreenView(OffscreenView& view, const Scene& scene, std::string* error = nullptr);

// Saves the view: draws the whole scene offscreen at the camera's size, reads
// the frame back and writes it as a PNG image named by
// PngImageName(imageName) (into written, when given). Returns kFileReplaced,
// kImageNotDrawn or a result of WritePngImage, with the reason in error.
int32_t SaveViewImage(OffscreenView& view, const Scene& scene, std::string_view imageName,
                      std::string* error = nullptr, std::string* written = nullptr);

}  // namespace vestan
