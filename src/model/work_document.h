// The workpiece document: the work models, the basic (reference) model and
// the difference model, with the flags that say whether a workpiece exists
// and may be cut. The application owns one; tests build their own.
#pragma once

#include <array>
#include <cstdint>

#include "model/dexel_model.h"
#include "model/work_pitch.h"

namespace vestan {

// Work states of the work-state dialog: above 0 the workpiece is not cut.
inline constexpr int32_t kWorkAvailable = 0;
inline constexpr int32_t kWorkIgnored = 1;

struct WorkDocument {
  WorkModels Work;  // record 0 is the workpiece
  // Non-zero while a work model exists (a stock was made or a model loaded).
  int32_t WorkPresent = 0;
  // The work-state dialog's value; above 0 means no cutting.
  int32_t WorkState = kWorkAvailable;
  // The work definition's corners, kept from the work definition and after a
  // move of the workpiece.
  WorkExtent Extent;

  // The basic (reference) model on the workpiece's grid, started
  // ReferenceShift cells before it on each axis and ended as many after it.
  DexelModel BasicModel;
  int32_t BasicModelLoaded = 0;
  std::array<int32_t, 3> ReferenceShift{5, 5, 5};

  // The basic model grown or shrunk by the difference margin, built on demand.
  DexelModel DifferenceModel;

  DexelModel& Workpiece() { return Work.Work(); }
  const DexelModel& Workpiece() const { return Work.Work(); }
  // A workpiece exists and may be cut.
  bool MayCut() const { return WorkPresent != 0 && WorkState <= kWorkAvailable; }
};

}  // namespace vestan
