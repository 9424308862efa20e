#include "display/view_image.h"

#include <vector>

#include "display/frame_readback.h"
#include "display/png_image.h"

namespace vestan {

bool PrepareOffscreenView(OffscreenView& view, int32_t width, int32_t height,
                          DisplayListTable& flags, std::string* error) {
  if (view.Context.IsOpen()) {
    // The overlay's triad sits at pixel distances from the corner.
    flags.RequestRebuild(kListOverlay);
    return view.Context.Resize(width, height, error);
  }
  if (!view.Context.Open(width, height, error)) return false;
  // A new context holds no lists: every list must be made again.
  const uint32_t base = view.Gl.GenLists(kReservedListNames);
  view.Lists = SceneLists{};
  view.Lists.Work.ListBase = base;
  for (int id = 1; id < kFixedListCount; ++id) flags.RequestRebuild(static_cast<DisplayList>(id));
  if (base == 0) {
    if (error != nullptr) *error = "no display list names could be reserved";
    view.Context.Close();
    return false;
  }
  return true;
}

void AttachWorkpiece(OffscreenView& view, DexelModel& model, int32_t workIndex) {
  AllocDisplayListIds(model, view.Lists.Work.ListBase, workIndex, view.Lists.Work);
}

int32_t DrawOffscreenView(OffscreenView& view, const Scene& scene, std::string* error) {
  const FrameGeometry frame = MakeFrameGeometry(scene.Camera.Width, scene.Camera.Height);
  if (frame.ImageBytes == 0) {
    if (error != nullptr) *error = "the view has no size to draw";
    return kImageNotDrawn;
  }
  const bool fresh = !view.Context.IsOpen();
  if (!PrepareOffscreenView(view, frame.Width, frame.Height, scene.Flags, error))
    return kImageNotDrawn;
  DexelModel& model = scene.Work.Workpiece();
  if (scene.Work.WorkPresent != 0 && model.Allocated() &&
      (fresh || !view.Lists.Work.Covers(model)))
    AttachWorkpiece(view, model, view.Lists.Work.WorkIndex);
  DrawScene(view.Gl, scene, view.Lists);
  return kFileReplaced;
}

int32_t SaveViewImage(OffscreenView& view, const Scene& scene, std::string_view imageName,
                      std::string* error, std::string* written) {
  const int32_t drawn = DrawOffscreenView(view, scene, error);
  if (drawn != kFileReplaced) return drawn;
  const FrameGeometry frame = MakeFrameGeometry(scene.Camera.Width, scene.Camera.Height);
  std::vector<uint8_t> pixels;
  ReadFrameBuffer(view.Gl, frame, GlPixelFormat::kRgb, pixels);
  const std::string path = PngImageName(imageName);
  if (written != nullptr) *written = path;
  return WritePngImage(path, pixels, frame.RowBytes, frame.Width, frame.Height, error);
}

}  // namespace vestan
