// The display lists' rebuild flags and the path display switches: set by
// whoever changes the data a list shows, cleared by the list's builder.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vestan {

// Fixed display list numbers.
enum DisplayList : int {
  kListOverlay = 1,
  kListCoordinateAxes = 2,
  kListBaseModels = 3,
  kListTool = 4,
  kListHeadCarrier = 11,
  kListHeadSlideX = 12,
  kListHeadSlideY = 13,
  kListHeadSlideZ = 14,
  kListHeadSlideXY = 15,
  kListHeadSlideYZ = 16,
  kListHeadSlideZX = 17,
  kListHead1 = 18,
  kListHead2 = 19,
  kListTable = 21,
  kListTableSlideX = 22,
  kListTableSlideY = 23,
  kListTableSlideZ = 24,
  kListRotaryTable1 = 25,
  kListRotaryTable2 = 26,
  kListVice = 27,
  kListPickPoint = 28,
  kListRotationCentre = 30,
  kListPath = 31,
  kListPath2 = 32,
  kListExtraModel = 33,
};

inline constexpr int kFixedListCount = 34;  // lists 1..33; index 0 unused

struct DisplayListTable {
  // One byte per fixed list: 1 = rebuild before the next frame. Written by the
  // simulation thread, read by the painting thread.
  std::array<std::atomic<uint8_t>, kFixedListCount> Rebuild{};
  // Tool-path display switches (on/off).
  std::atomic<int32_t> PathDisplay{0};
  std::atomic<int32_t> PathDisplay2{0};

  void RequestRebuild(DisplayList list) { Rebuild[list].store(1, std::memory_order_relaxed); }
  template <std::size_t N>
  void RequestRebuild(const std::array<DisplayList, N>& lists) {
    for (DisplayList list : lists) RequestRebuild(list);
  }
  bool NeedsRebuild(DisplayList list) const {
    return Rebuild[list].load(std::memory_order_relaxed) != 0;
  }
  void ClearRebuild(DisplayList list) { Rebuild[list].store(0, std::memory_order_relaxed); }
};

// The slide lists and both head lists: what a new tool profile changes.
inline constexpr std::array<DisplayList, 9> kSlideAndHeadLists = {
    kListHeadCarrier, kListHeadSlideX,  kListHeadSlideY, kListHeadSlideZ, kListHeadSlideXY,
    kListHeadSlideYZ, kListHeadSlideZX, kListHead1,      kListHead2};

// Every list built from the machine definition.
inline constexpr std::array<DisplayList, 20> kMachineLists = {
    kListOverlay,     kListCoordinateAxes, kListBaseModels,   kListHeadCarrier, kListHeadSlideX,
    kListHeadSlideY,  kListHeadSlideZ,     kListHeadSlideXY,  kListHeadSlideYZ, kListHeadSlideZX,
    kListHead1,       kListHead2,          kListTable,        kListTableSlideX, kListTableSlideY,
    kListTableSlideZ, kListRotaryTable1,   kListRotaryTable2, kListVice,        kListPickPoint};

}  // namespace vestan
