#include "model/model_history.h"

#include <algorithm>

namespace vestan {

namespace {

// Slots of the ring: SlotCount, kept within the slots that exist.
int32_t RingSize(const DexelModel& model) {
  return std::clamp(model.SlotCount, 1, static_cast<int32_t>(model.Slots.size()));
}

// Bytes of the own arrays of the set's columns longer than its stride.
uint64_t LongColumnsBytes(const DexelSet& set) {
  uint64_t bytes = 0;
  for (int32_t count : set.Counts) bytes += LongColumnBytes(count, set.Stride);
  return bytes;
}

}  // namespace

void PushModelHistory(DexelModel& model) {
  if (!model.Allocated()) return;
  const int32_t ring = RingSize(model);
  const int32_t from = model.CurrentSlot;
  const int32_t to = from + 1 >= ring ? 0 : from + 1;
  model.CurrentSlot = to;
  model.HighestSlot = std::max(model.HighestSlot, to);
  if (to != from) {
    // The display keeps a drawing per slot; the new slot starts from the old one's.
    const size_t begin = static_cast<size_t>(from) * kBlockListsPerSlot;
    const size_t target = static_cast<size_t>(to) * kBlockListsPerSlot;
    if (std::max(begin, target) + kBlockListsPerSlot <= model.BlockLists.size())
      std::copy_n(model.BlockLists.begin() + begin, kBlockListsPerSlot,
                  model.BlockLists.begin() + target);
    // A copy of the slot is a deep copy: the sets own their long columns, and
    // whatever the target slot held before (the oldest or an undone state) goes.
    model.Slots[to] = model.Slots[from];
  }
  SelectModelHistorySlot(model);
}

void PopModelHistory(DexelModel& model) {
  if (!model.Allocated()) return;
  --model.CurrentSlot;
  if (model.CurrentSlot < 0)
    model.CurrentSlot = std::clamp(model.HighestSlot, 0, RingSize(model) - 1);
  SelectModelHistorySlot(model);
}

uint64_t EstimateModelMemory(const DexelModel& model) {
  if (model.CountX == 0 || !model.Allocated()) return 0;
  uint64_t bytes = DexelModelBytes(model.Slots.size(), model.CountX, model.CountY, model.CountZ);
  for (const ModelHistorySlot& slot : model.Slots)
    bytes += LongColumnsBytes(slot.Z) + LongColumnsBytes(slot.X) + LongColumnsBytes(slot.Y);
  return bytes;
}

}  // namespace vestan
