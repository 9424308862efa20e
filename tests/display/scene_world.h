// Every record a frame of the whole scene draws from, for the display tests:
// the definitions (a 3-axis machine unless a test reads another), the colour
// materials, the workpiece document, the view looking straight down, the
// machine position and a tool table with its tool change.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>

#include "display/scene.h"
#include "display/view_mapping.h"
#include "model/stock.h"
#include "model/tool_records.h"

namespace vestan::testing {

struct SceneWorld {
  Definitions Defs;
  ColourMaterials Materials;
  WorkDocument Work;
  ViewState View;
  ViewCamera Camera;
  MachinePositionState Position;
  ToolRecords Tools;
  DisplayListTable Flags;
  PickState Pick;
  int32_t ToolNumber = 0;
  int32_t ToolInSpindle = 1;

  SceneWorld(int32_t width = 160, int32_t height = 120) {
    CreateColourMaterials(Defs.Colors, {}, Materials);
    View.Perspective = 0;
    View.Azimuth = 0;
    View.Elevation = 0;
    UpdateViewAngleTrig(View);
    SetViewSize(Camera, width, height);
  }

  // A box stock as the workpiece.
  void MakeBox(const std::array<double, 6>& box, double pitch) {
    ASSERT_EQ(CreateBoxModel(Work.Workpiece(), box, pitch), kModelOk);
    Work.WorkPresent = 1;
  }

  // Looking straight down at middle, pixels to the millimetre.
  void LookAt(const Vec3& middle, double pixelsPerMillimetre) {
    Camera.Zoom = pixelsPerMillimetre * View.DisplayScale / Camera.HalfHeight;
    for (size_t k = 0; k < 3; ++k) Camera.Centre[k] = middle[k] / View.DisplayScale;
  }

  // Reads a tool table text into folder (ending in "/") and makes tool `tool`
  // current on this machine.
  void UseTool(const std::string& folder, const std::string& text, int32_t tool) {
    const std::string path = folder + "scene.ttl";
    std::ofstream(path, std::ios::binary) << text;
    Tools.Kinematics = Defs.Kinematics;
    Tools.Machine = Defs.Machine;
    ASSERT_EQ(Tools.ReadTable(path).State, kFileRead);
    Tools.Set(tool);
    Defs.Tools = Tools.Table;
    ToolNumber = tool;
  }

  Scene Make() {
    Scene scene{Defs,          Materials,     Work,          View,  Camera,
                Position,      Tools.Current, Tools.Profile, Tools.Mesh, Flags,
                0,             1,             0.0,           nullptr,    nullptr,
                nullptr,       {},            SceneFrameKind::kIdle, nullptr};
    scene.CurrentToolNumber = ToolNumber;
    scene.ToolInSpindle = ToolInSpindle;
    scene.Pick = &Pick;
    return scene;
  }

  // The pixel (x right, y down) where the frame shows a machine point of the
  // table side.
  std::pair<int, int> PixelOf(const Vec3& p) const {
    Vec3 shift;
    SetTableShift(Defs.Machine, Position.MachinePosition, shift);
    const MachineDisplayFrame display =
        MakeMachineDisplayFrame(Defs.Kinematics, Position, shift, Camera);
    const WindowPoint w = ModelToWindow(View, Camera, Defs.Machine.MachineOrientation,
                                        MachineToDisplayCoordinates(display, p));
    return {static_cast<int>(std::floor(w.X)), static_cast<int>(std::floor(w.Y))};
  }
};

}  // namespace vestan::testing
