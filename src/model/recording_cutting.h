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
    bool SetTool = false;  // else a cut pose
    int32_t Tool = 0;
    double Pitch = 0.0;
    Vec3 Tip{};
    Vec3 Axis{};
  };

  std::vector<Call> Calls;
  CutOutputs Answer;  // what Outputs returns

  void SetTool(int32_t tool, double pitch) override {
    Call call;
    call.SetTool = true;
    call.Tool = tool;
    call.Pitch = pitch;
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
