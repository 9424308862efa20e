// The records a cut reads and writes, out of a session, with a box stock to
// cut, for the cutting kernel tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model/cut_grid_context.h"
#include "model/stock.h"
#include "platform/recording_host.h"
#include "simulation/session.h"

namespace vestan::testing {

struct CutWorld {
  RecordingHost Host;
  Session S{Host};
  CurrentTool& Tool = S.Tool;
  ToolLengthChecks& Lengths = S.Lengths;
  InterferenceCheckSettings& Checks = S.Defs.Checks;
  RunState& Run = S.Run;
  WorkDocument& Document = S.Work;
  CutContext Cut{CutRecordsOf(S)};

  DexelModel& Model() { return Document.Workpiece(); }

  // A box stock as the workpiece.
  void MakeBox(const std::array<double, 6>& box, double pitch, int32_t slots = 1) {
    Model().SlotCount = slots;
    ASSERT_EQ(CreateBoxModel(Model(), box, pitch), kModelOk);
    Document.WorkPresent = 1;
    BindCutGrids(Cut.Grids, Model());
  }

  // Sets the pose of an axial segment from base along a unit axis: pose
  // points, the tip plane through base, every context's full range and zero
  // sums.
  void SetSegment(const Vec3& base, const Vec3& axis, int32_t segment, double cutLimit = 1e9) {
    ToolPose& pose = Cut.Pose;
    pose.Tip = pose.Point1 = base;
    pose.Axis = pose.Normal = axis;
    pose.PlaneConstant = -VectorDot(base, axis);
    pose.AxisLengthSquared = VectorDot(axis, axis);
    pose.AxisLength = std::sqrt(pose.AxisLengthSquared);
    pose.CutLimit = cutLimit;
    for (CutGridContext& grid : Cut.Grids) {
      grid.PosePoints[0] = ToContextFrame(grid, base);
      grid.PoseAxis = ToContextFrame(grid, axis);
      grid.Segment = segment;
      grid.RangeU0 = grid.RangeV0 = 0;
      grid.RangeU1 = grid.LastU;
      grid.RangeV1 = grid.LastV;
      grid.RemovedVolume = 0;
      grid.RemovedCount = 0;
    }
  }

  // Column (a, b) of a direction: 2 Z (a along X, b along Y), 1 Y (a along
  // Z, b along X), 0 X (a along Y, b along Z).
  int32_t ColumnIndex(int direction, int32_t a, int32_t b) const {
    const DexelModel& m = Document.Workpiece();
    const int32_t across = direction == kDirectionZ   ? m.CountX
                           : direction == kDirectionY ? m.CountZ
                                                      : m.CountY;
    return across * b + a;
  }
  std::vector<double> Column(int direction, int32_t a, int32_t b) const {
    const std::span<const double> values = DexelColumnValues(
        Document.Workpiece().SetByDirection(direction), ColumnIndex(direction, a, b));
    return {values.begin(), values.end()};
  }
  std::vector<uint8_t> Flags(int direction, int32_t a, int32_t b) const {
    const std::span<const uint8_t> flags = DexelColumnFlags(
        Document.Workpiece().SetByDirection(direction), ColumnIndex(direction, a, b));
    return {flags.begin(), flags.end()};
  }
};

// Values compared to within rounding.
inline void ExpectValues(const std::vector<double>& got, const std::vector<double>& expected,
                         const std::string& where) {
  ASSERT_EQ(got.size(), expected.size()) << where;
  for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], expected[k], 1e-9) << where;
}

// Every column of both models alike, values, flags and attributes.
inline void ExpectSameModel(const DexelModel& a, const DexelModel& b, const std::string& where) {
  for (int direction : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& sa = a.SetByDirection(direction);
    const DexelSet& sb = b.SetByDirection(direction);
    ASSERT_EQ(sa.Counts, sb.Counts) << where << " direction " << direction;
    for (int32_t c = 0; c < sa.Columns; ++c) {
      if (sa.Counts[c] == 0) continue;
      const auto same = [&](auto x, auto y) { return std::equal(x.begin(), x.end(), y.begin()); };
      ASSERT_TRUE(same(DexelColumnValues(sa, c), DexelColumnValues(sb, c)) &&
                  same(DexelColumnFlags(sa, c), DexelColumnFlags(sb, c)) &&
                  same(DexelColumnAttributes(sa, c), DexelColumnAttributes(sb, c)))
          << where << " direction " << direction << " column " << c;
    }
  }
  EXPECT_EQ(a.BlockDirty, b.BlockDirty) << where;
}

}  // namespace vestan::testing
