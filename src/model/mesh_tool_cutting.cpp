#include "model/mesh_tool_cutting.h"

namespace vestan {

int32_t CutWithMeshTool(CutContext&, DexelModel&) { return 0; }

}  // namespace vestan
