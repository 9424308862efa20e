// Helpers shared by the benchmarks: a scratch folder for their files, and
// every record a tool change and a pose cut need (the tests' tool records
// and the run's, out of one session), with one tool in slot 1, and the
// material a model holds.
#pragma once

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "model/current_tool.h"
#include "model/cut_grid_context.h"
#include "model/dexel_model.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_profile.h"
#include "model/tool_records.h"

namespace vestan::bench {

// A folder for the benchmark's files, removed at exit of the run.
struct BenchFolder {
  std::string path;
  BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vestan-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern + "/";
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Everything a tool change and a pose cut need, with one tool in slot 1.
struct KernelWorld : testing::ToolRecords {
  ToolLengthChecks& Lengths = S.Lengths;
  RunState& Run = S.Run;
  WorkDocument& Document = S.Work;
  CutContext Cut{CutRecordsOf(S)};

  // The tool: a cutter kind (kToolFlat, kToolBall ...), its diameter and
  // corner radius.
  KernelWorld(int32_t kind, double diameter, double cornerRadius) : ToolRecords(1) {
    ToolRecord& record = Table.Records[1];
    record.Defined = 1;
    record.Kind = kind;
    record.Diameter = static_cast<float>(diameter);
    record.CornerRadius = static_cast<float>(cornerRadius);
    record.CuttingLength = 60;
    if (kind == kToolImportedMesh) MakeCylinderMesh(diameter / 2, record.CuttingLength);
    Set(1);
    Run.MotionMode = 1;
    Document.WorkPresent = 1;
  }

  // The tool on a straight shank of 12 from 20 above its tip (after a
  // transition of 5), 40 out of a holder of 40 across and 30 long, with the
  // body and holder clearances searched (ARBOR CHECK 1) rather than cut.
  void WithBodyAndHolder() {
    Table.Shanks[1] = {kShankStraight, 40, 20, 5, 0, 0, 12, -1};
    Table.Arbors[1] = {1, kArborPairs, 1, {40}, {30}, {}};
    Checks.ArborCheck = 1;
    Set(1);
  }

  // A closed cylinder standing on the tool tip: 250 sides of two facets and
  // a fan of 250 at each end, 1000 facets.
  void MakeCylinderMesh(double radius, double height) {
    constexpr int kSides = 250;
    const auto at = [&](int k, double z) {
      const double a = kTwoPi * (k + 0.25) / kSides;
      return Vec3{radius * std::cos(a), radius * std::sin(a), z};
    };
    const auto facet = [this](const Vec3& p, const Vec3& q, const Vec3& r) {
      Mesh.Triangles.push_back({0, 0, 0, p[0], p[1], p[2], q[0], q[1], q[2], r[0], r[1], r[2]});
    };
    for (int k = 0; k < kSides; ++k) {
      facet(at(k, 0), at(k + 1, 0), at(k + 1, height));
      facet(at(k, 0), at(k + 1, height), at(k, height));
      facet({0, 0, 0}, at(k + 1, 0), at(k, 0));
      facet({0, 0, height}, at(k, height), at(k + 1, height));
    }
    Mesh.FacetCount = static_cast<int32_t>(Mesh.Triangles.size());
    Mesh.BoxMin = {-radius, -radius, 0};
    Mesh.BoxMax = {radius, radius, height};
  }

  // The machine holds the tool the reference length above its tip, the
  // axis along +Z: a mesh tool is placed by the frame the position update
  // would give there (no rotary turned).
  void HoldAt(const Vec3& tip) {
    const double spindle = tip[2] + Position.ReferenceLength;
    Position.MachinePosition = {tip[0], tip[1], spindle, 0, 0};
    Position.ToolFrame = {1, 0, 0, 0, 1, 0, 0, 0, 1, tip[0], tip[1], spindle};
  }
};

// The material of a model by its Z columns, each over the area it stands for.
inline double MaterialVolume(const DexelModel& m) {
  double volume = 0;
  for (int32_t j = 0; j < m.CountY; ++j)
    for (int32_t i = 0; i < m.CountX; ++i) {
      const std::span<const double> v = DexelColumnValues(m.ZSet(), ColumnIndexZ(m, i, j));
      double length = 0;
      for (size_t k = 0; k + 1 < v.size(); k += 2) length += v[k + 1] - v[k];
      const double weight = (i == 0 || i == m.CountX - 1 ? 0.5 : 1.0) *
                            (j == 0 || j == m.CountY - 1 ? 0.5 : 1.0) * m.Pitch * m.Pitch;
      volume += weight * length;
    }
  return volume;
}

}  // namespace vestan::bench
