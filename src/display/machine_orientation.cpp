#include "display/machine_orientation.h"

#include <array>
#include <cstddef>

namespace vestan {

namespace {

// out[i] = Sign[i] * in[From[i]].
struct SignedPermutation {
  int32_t Code;
  std::array<int, 3> From;
  std::array<int, 3> Sign;
};

constexpr int X = 0, Y = 1, Z = 2;

// new (x, y, z) from the view vector's (x, y, z).
constexpr std::array<SignedPermutation, 19> kRemap = {{
    {1, {Y, X, Z}, {1, -1, 1}},    {2, {X, Y, Z}, {-1, -1, 1}},   {3, {Y, X, Z}, {-1, 1, 1}},
    {10, {Z, Y, X}, {-1, 1, 1}},   {11, {Y, Z, X}, {1, 1, 1}},    {12, {Z, Y, X}, {1, -1, 1}},
    {13, {Y, Z, X}, {-1, -1, 1}},  {20, {Z, Y, X}, {1, 1, -1}},   {21, {Y, Z, X}, {1, -1, -1}},
    {22, {Z, Y, X}, {-1, -1, -1}}, {23, {Y, Z, X}, {-1, 1, -1}},  {30, {X, Z, Y}, {1, 1, -1}},
    {31, {Z, X, Y}, {1, -1, -1}},  {32, {X, Z, Y}, {-1, -1, -1}}, {33, {Z, X, Y}, {-1, 1, -1}},
    {40, {X, Z, Y}, {1, -1, 1}},   {41, {Z, X, Y}, {-1, -1, 1}},  {42, {X, Z, Y}, {-1, 1, 1}},
    {43, {Z, X, Y}, {1, 1, 1}},
}};

// new (x, y, z) from the machine vector's (x, y, z).
constexpr std::array<SignedPermutation, 19> kToView = {{
    {1, {Y, X, Z}, {-1, 1, 1}},   {2, {X, Y, Z}, {-1, -1, 1}},   {3, {Y, X, Z}, {1, -1, 1}},
    {10, {Z, Y, X}, {1, 1, -1}},  {11, {Z, X, Y}, {1, 1, 1}},    {12, {Z, Y, X}, {1, -1, 1}},
    {13, {Z, X, Y}, {1, -1, -1}}, {20, {Z, Y, X}, {-1, 1, 1}},   {21, {Z, X, Y}, {-1, 1, -1}},
    {22, {Z, Y, X}, {-1, -1, -1}}, {23, {Z, X, Y}, {-1, -1, 1}}, {30, {X, Z, Y}, {1, -1, 1}},
    {31, {Y, Z, X}, {-1, -1, 1}}, {32, {X, Z, Y}, {-1, -1, -1}}, {33, {Y, Z, X}, {1, -1, -1}},
    {40, {X, Z, Y}, {1, 1, -1}},  {41, {Y, Z, X}, {-1, 1, -1}},  {42, {X, Z, Y}, {-1, 1, 1}},
    {43, {Y, Z, X}, {1, 1, 1}},
}};

void Apply(const std::array<SignedPermutation, 19>& table, int32_t code, Vec3& v) {
  for (const SignedPermutation& p : table) {
    if (p.Code != code) continue;
    const Vec3 in = v;
    for (std::size_t i = 0; i < 3; ++i) v[i] = p.Sign[i] * in[static_cast<std::size_t>(p.From[i])];
    return;
  }
}

}  // namespace

void RemapByMachineOrientation(int32_t code, Vec3& v) { Apply(kRemap, code, v); }

void MapToViewOrientation(int32_t code, Vec3& v) { Apply(kToView, code, v); }

}  // namespace vestan
