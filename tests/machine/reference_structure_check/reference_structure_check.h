#pragma once
// The head, tool and arbor structure checks as they stood before the
// search indexes: every facet scanned in order, every head triangle placed,
// every column under a triangle's box tested against it.
// The checks' tests compare the library's results with these.

#include "machine/interference_geometry.h"
#include "machine/structure_interference.h"

namespace vestan::reference {

int32_t CheckHeadInterference(StructureCheckContext& context);
int32_t CheckHead1Interference(StructureCheckContext& context);
int32_t CheckHead2Interference(StructureCheckContext& context);
int32_t CheckToolArborInterference(StructureCheckContext& context, const ToolRings& rings,
                                   const Vec3& tip);
int32_t TestTriangleAgainstDexels(TriangleVertices triangle, TrianglePlane& plane,
                                  const DexelWindow& window, const DexelSet& set);

}  // namespace vestan::reference
