// The three column sets by axis. The set of direction d (kDirectionX 0,
// kDirectionY 1, kDirectionZ 2) runs along axis d; its columns are addressed
// by the grid indexes of the next two axes, inner (d + 1) % 3 and outer
// (d + 2) % 3, at column n[inner] * outer + inner: Z (ix, iy), X (iy, iz),
// Y (iz, ix).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/dexel_model.h"

namespace vestan {

// Grid points per axis: nx, ny, nz.
using GridCounts = std::array<int32_t, 3>;

inline GridCounts CountsOf(const DexelModel& m) { return {m.CountX, m.CountY, m.CountZ}; }

inline const std::vector<double>& GridLinesOf(const DexelModel& m, int axis) {
  return axis == 0 ? m.GridX : axis == 1 ? m.GridY : m.GridZ;
}

inline int InnerAxis(int d) { return (d + 1) % 3; }
inline int OuterAxis(int d) { return (d + 2) % 3; }

inline int32_t ColumnOf(const GridCounts& n, int d, int32_t inner, int32_t outer) {
  return n[InnerAxis(d)] * outer + inner;
}

}  // namespace vestan
