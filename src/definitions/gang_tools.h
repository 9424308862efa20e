// The gang (KUSHIHA) tools of the tool table: which tools are gang tools,
// in list order, and per gang tool the hit record the checks leave for the
// interference messages.
#pragma once

#include <cstdint>
#include <vector>

namespace vestan {

struct GangHitRecord {
  int32_t HitFlag = 0;
  // The hit happened during a tool change.
  int32_t DuringToolChange = 0;
};

struct GangTool {
  int32_t Tool = 0;
  GangHitRecord Hit;
};

struct GangToolList {
  std::vector<GangTool> Tools;

  bool IsGangTool(int32_t tool) const {
    for (const GangTool& gang : Tools)
      if (gang.Tool == tool) return true;
    return false;
  }
};

}  // namespace vestan
