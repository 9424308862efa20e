// A CuttingSeam for tests: records every call in order and answers with the
// outputs the test sets.
#pragma once

#include <cstdint>
#include <vector>

#include "model/cutting_seam.h"

namespace vestan {

class RecordingCutting : public CuttingSeam {
 public:
  struct Call {
    bool Mount = false;  // a mount (Tool), an unmount (Tool -1) or else a cut pose
    int32_t Tool = 0;
    double Pitch = 0.0;
    Vec3 Tip{};
    Vec3 Axis{};
  };

  std::vector<Call> Calls;
  CutOutputs Answer;  // what Outputs returns

  ToolSetUp Mounted;  // what MountTool returns

  const ToolSetUp& MountTool(int32_t tool, double pitch) override {
    Call call;
    call.Mount = true;
    call.Tool = tool;
    call.Pitch = pitch;
    Calls.push_back(call);
    return Mounted;
  }
  void UnmountTool() override {
    Call call;
    call.Mount = true;
    call.Tool = -1;
    Calls.push_back(call);
  }
  void CutPose(const Vec3& tip, const Vec3& axis) override {
    Call call;
    call.Tip = tip;
    call.Axis = axis;
    Calls.push_back(call);
  }
  CutOutputs Outputs() const override { return Answer; }
};

}  // namespace vestan
