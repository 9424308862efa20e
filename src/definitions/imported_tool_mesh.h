// The one triangle mesh of an imported STL tool: loaded by the tool table
// reader for the last IMPORT tool, reread by the tool change.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"

namespace vestan {

struct ImportedToolMesh {
  std::string FileName;  // empty: no imported tool
  int32_t StlKind = 0;
  int32_t FacetCount = 0;
  // The file held a number beyond a float (or one that is none): its facets
  // are not taken.
  bool NotFinite = false;
  std::vector<StlTriangle> Triangles;
  // The box of no vertex, as the STL reader reports it.
  Vec3 BoxMin{1e11, 1e11, 1e11};
  Vec3 BoxMax{-1e11, -1e11, -1e11};
  // The 8 corners of the box, x varying fastest, then y, then z.
  std::array<Vec3, 8> BoxCorners{};

  void Release() {
    FileName.clear();
    StlKind = 0;
    FacetCount = 0;
    NotFinite = false;
    Triangles = {};
    BoxMin = {1e11, 1e11, 1e11};
    BoxMax = {-1e11, -1e11, -1e11};
    BoxCorners = {};
  }
};

}  // namespace vestan
