#include "display/view_image.h"

#include <vector>

#include "display/frame_readback.h"
#include "display/png_image.h"

namespace vestan {

bool PrepareOffscreenView(OffscreenView& view, int32_t width, int32_t height, std::string* error) {
  if (view.Context.IsOpen()) return view.Context.Resize(width, height, error);
  if (!view.Context.Open(width, height, error)) return false;
  // A new context holds no lists: every workpiece list must be made again.
  const uint32_t base = view.Gl.GenLists(kReservedListNames);
  view.Lists = WorkpieceDisplayLists{};
  view.Lists.ListBase = base;
  if (base == 0) {
    if (error != nullptr) *error = "no display list names could be reserved";
    view.Context.Close();
    return false;
  }
  return true;
}

void AttachWorkpiece(OffscreenView& view, DexelModel& model, int32_t workIndex) {
  AllocDisplayListIds(model, view.Lists.ListBase, workIndex, view.Lists);
}

int32_t SaveViewImage(OffscreenView& view, const WorkpieceScene& scene, std::string_view imageName,
                      std::string* error, std::string* written) {
  const FrameGeometry frame = MakeFrameGeometry(scene.Camera.Width, scene.Camera.Height);
  if (frame.ImageBytes == 0) {
    if (error != nullptr) *error = "the view has no size to draw";
    return kImageNotDrawn;
  }
  const bool fresh = !view.Context.IsOpen();
  if (!PrepareOffscreenView(view, frame.Width, frame.Height, error)) return kImageNotDrawn;
  if (scene.WorkPresent != 0 && scene.Model.Allocated() &&
      (fresh || !view.Lists.Covers(scene.Model)))
    AttachWorkpiece(view, scene.Model, view.Lists.WorkIndex);
  DrawWorkpieceScene(view.Gl, scene, view.Lists);
  std::vector<uint8_t> pixels;
  ReadFrameBuffer(view.Gl, frame, GlPixelFormat::kRgb, pixels);
  const std::string path = PngImageName(imageName);
  if (written != nullptr) *written = path;
  return WritePngImage(path, pixels, frame.RowBytes, frame.Width, frame.Height, error);
}

}  // namespace vestan
