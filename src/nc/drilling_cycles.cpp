#include "nc/drilling_cycles.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace vestan {

namespace {

constexpr int32_t kRapid = 0;
constexpr int32_t kFeed = 1;
// Points kept free at the end of the queue for the end of a peck series and
// the retract.
constexpr size_t kPeckReserve = 5;

enum class Drilling { kNone, kOneFeed, kChipBreak, kDeepHole, kDeepHoleFromSurface };

Drilling DrillingOf(int32_t code) {
  switch (code) {
    case 73:
      return Drilling::kChipBreak;
    case 83:
      return Drilling::kDeepHole;
    case 200:
    case 203:
      return Drilling::kDeepHoleFromSurface;
    case 74:
    case 76:
    case 81:
    case 82:
    case 201:
    case 202:
    case 206:
    case 207:
    case 209:
      return Drilling::kOneFeed;
    default:
      return code >= 84 && code <= 199 ? Drilling::kOneFeed : Drilling::kNone;
  }
}

// Codes that leave the hole by rapid only; the others feed back to R first.
bool RetractsByRapidOnly(int32_t code) {
  return code == 73 || code == 76 || code == 81 || code == 82 || code == 83 || code == 86 ||
         (code >= 200 && code <= 203);
}

// The HEIDENHAIN return amount of a peck: 0.6 for small pecks, else a
// fiftieth of the peck up to 7.
double HeidenhainPeckReturn(double peck) {
  const double q = std::fabs(peck);
  return q <= 30.0 ? 0.6 : std::min(q / 50.0, 7.0);
}

// The points of one block, bounded by the capacity.
class CycleExpansion {
 public:
  CycleExpansion(const DrillingCycle& cycle, const DrillingCycleSettings& settings, size_t capacity,
                 std::vector<CyclePoint>* points)
      : c_(cycle), s_(settings), capacity_(capacity), points_(points) {
    a_ = Axis(cycle.PlaneAxes[0], 0);
    b_ = Axis(cycle.PlaneAxes[1], 1);
    n_ = Axis(cycle.PlaneAxes[2], 2);
  }

  // Expands every hole; false when points had to be left out.
  bool Run() {
    DeriveLevels();
    Vec3 hole{c_.End[0], c_.End[1], c_.End[2]};
    Vec3 step{0.0, 0.0, 0.0};
    if (c_.Incremental != 0) {
      step[a_] = c_.End[a_] - c_.Start[a_];
      step[b_] = c_.End[b_] - c_.Start[b_];
    }
    current_ = {c_.Start[0], c_.Start[1], c_.Start[2]};
    for (int32_t k = 0; k < c_.Repeat; ++k) {
      if (count_ >= capacity_) {
        complete_ = false;
        break;
      }
      Hole(hole);
      hole = VectorAdd(hole, step);
    }
    return complete_;
  }
  int32_t Count() const { return static_cast<int32_t>(count_); }

 private:
  static size_t Axis(int32_t axis, size_t fallback) {
    return axis >= 0 && axis <= 2 ? static_cast<size_t>(axis) : fallback;
  }

  void DeriveLevels() {
    const bool heidenhain = s_.CycleKind == kCycleKindHeidenhain;
    chipReturn_ = s_.ChipBreakReturn;
    peckReturn_ = s_.PeckReturn;
    if (heidenhain && c_.Code >= 200) {
      r_ = c_.Q203 + c_.Q200;
      z_ = c_.Q203 + c_.Q201;
      return_ = c_.Q203 + c_.Q204;
      chipReturn_ = peckReturn_ = c_.Q200;
      return;
    }
    if (heidenhain) {
      r_ = c_.InitialLevel;
      z_ = c_.InitialLevel - c_.RPoint + c_.Depth;
      chipReturn_ = peckReturn_ = HeidenhainPeckReturn(c_.Peck);
    } else if (c_.Incremental != 0) {
      r_ = c_.InitialLevel + c_.RPoint;
      z_ = r_ + c_.Depth;
    } else {
      r_ = c_.RPoint;
      z_ = c_.Depth;
    }
    if (c_.Repeat > 1 || (c_.ReturnLevelMode != kReturnToR && c_.ReturnLevelMode != kReturnToThird))
      return_ = c_.InitialLevel;
    else
      return_ = c_.ReturnLevelMode == kReturnToR ? r_ : c_.ThirdLevel;
  }

  void Emit(int32_t mode, double level) {
    current_[n_] = level;
    if (count_ >= capacity_) {
      complete_ = false;
      return;
    }
    if (points_ != nullptr) points_->push_back({mode, current_});
    ++count_;
  }

  // A peck series goes on while the points leave room for its end and the
  // retract, and the run drills pecks at all.
  bool PeckRoomLeft() {
    if (s_.CuttingMode == 2 || s_.CuttingMode == 3) return false;
    if (count_ + kPeckReserve <= capacity_) return true;
    complete_ = false;
    return false;
  }

  void Hole(const Vec3& hole) {
    if (hole[a_] != current_[a_] || hole[b_] != current_[b_]) {
      current_[a_] = hole[a_];
      current_[b_] = hole[b_];
      Emit(kRapid, current_[n_]);
    }
    if (current_[n_] != r_) Emit(kRapid, r_);
    const bool heidenhain = s_.CycleKind == kCycleKindHeidenhain;
    const int64_t slot = static_cast<int64_t>(c_.Code) - 70;
    if (!heidenhain && slot >= 0 && slot < static_cast<int64_t>(s_.Clearance.size())) {
      const double clearance = s_.Clearance[static_cast<size_t>(slot)];
      if (clearance > 0.0) Emit(kRapid, r_ - clearance);
    }
    Drill();
    if (!RetractsByRapidOnly(c_.Code)) {
      Emit(kFeed, r_);
      if (c_.ReturnLevelMode == kReturnToR) return;
    }
    Emit(kRapid, return_);
  }

  void Drill() {
    switch (DrillingOf(c_.Code)) {
      case Drilling::kNone:
        return;
      case Drilling::kOneFeed:
        Emit(kFeed, z_);
        return;
      case Drilling::kChipBreak:
        Peck(r_, c_.Peck, [&](double reached) { Emit(kRapid, reached + chipReturn_); });
        return;
      case Drilling::kDeepHole:
        if (c_.AlternativePeck != 0 && c_.AlternativeStep > 0.0) {
          AlternativePeck();
          return;
        }
        Peck(r_, c_.Peck, [&](double reached) { BackToR(reached); });
        return;
      case Drilling::kDeepHoleFromSurface:
        Peck(c_.Q203, c_.Peck, [&](double reached) { BackToR(reached); });
        return;
    }
  }

  void BackToR(double reached) {
    Emit(kRapid, r_);
    Emit(kRapid, reached + peckReturn_);
  }

  // Feeds to from - k * peck for k = 1, 2, ... with the return after each,
  // the last feed ending at the depth. A peck that is no positive number
  // never reaches the depth: it drills in one feed.
  template <typename Return>
  void Peck(double from, double peck, const Return& back) {
    if (!(peck > 0.0)) {
      Emit(kFeed, z_);
      return;
    }
    for (double k = 1.0;; k += 1.0) {
      const double target = from - k * peck;
      if (target <= z_ || !PeckRoomLeft()) break;
      Emit(kFeed, target);
      back(target);
    }
    Emit(kFeed, z_);
  }

  // G83 with the alternative peck: steps with a short return each, and a
  // return to R once a series has drilled the return value.
  void AlternativePeck() {
    double reached = r_;
    double seriesStart = r_;
    for (;;) {
      const double target = reached - c_.AlternativeStep;
      if (target <= z_ || !PeckRoomLeft()) break;
      Emit(kFeed, target);
      reached = target;
      if (seriesStart - reached >= c_.AlternativeReturn) {
        BackToR(reached);
        seriesStart = reached;
      } else {
        Emit(kRapid, reached + chipReturn_);
      }
    }
    Emit(kFeed, z_);
  }

  const DrillingCycle& c_;
  const DrillingCycleSettings& s_;
  size_t capacity_;
  std::vector<CyclePoint>* points_;
  size_t a_ = 0, b_ = 1, n_ = 2;
  double r_ = 0.0, z_ = 0.0, return_ = 0.0;
  double chipReturn_ = 0.0, peckReturn_ = 0.0;
  Vec3 current_{};
  size_t count_ = 0;
  bool complete_ = true;
};

}  // namespace

int32_t ExpandDrillingCycle(bool fill, const DrillingCycle& cycle,
                            const DrillingCycleSettings& settings, size_t capacity,
                            std::vector<CyclePoint>& points, Host& host) {
  if (fill) {
    points.clear();
    CycleExpansion expansion(cycle, settings, capacity, &points);
    expansion.Run();
    return expansion.Count();
  }
  CycleExpansion expansion(cycle, settings, kMaxCyclePointCapacity, nullptr);
  if (!expansion.Run()) {
    std::string warning = "G";
    warning += std::to_string(cycle.Code);
    warning += ": the canned cycle gives more than ";
    warning += std::to_string(kMaxCyclePointCapacity);
    warning += " points; its pecking is drilled in one feed and further holes are left out";
    host.Log(warning);
  }
  return expansion.Count();
}

}  // namespace vestan
