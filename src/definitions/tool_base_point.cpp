#include "definitions/tool_base_point.h"

namespace vestan {

double ToolBasePointHeight(int32_t mode, const ToolRecord& tool, const ToolShankRecord& shank,
                           const ToolBaseHeights& heights) {
  switch (mode) {
    case kBaseBallCentre:
      return tool.Kind == kToolBall || tool.Kind == kToolTaperBall ? tool.CornerRadius : 0.0;
    case kBaseFullRadiusCentre:
      return heights.FullRadiusHeight;
    case kBaseCornerHeight:
      return tool.BottomAngle == 0.0f ? tool.CornerRadius : 0.0;
    case kBaseLengthTop:
      return shank.ProtrusionLength;
    case kBaseArborTop:
      return heights.ArborTopHeight;
    default:
      return 0.0;
  }
}

}  // namespace vestan
