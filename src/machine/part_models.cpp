#include "machine/part_models.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "definitions/definition_file.h"
#include "model/triangle_geometry.h"
#include "modelfiles/stl_file.h"

namespace vestan {

namespace {

// A pair check is on from 1 (check) upwards.
bool AnyOn(const InterferenceCheckSettings& checks, std::initializer_list<std::string_view> pairs) {
  for (std::string_view pair : pairs)
    for (size_t i = 0; i < kPairCheckKeys.size(); ++i)
      if (std::string_view(kPairCheckKeys[i]) == pair && checks.Pairs[i] >= 1) return true;
  return false;
}

// A part file's facets with the offset added to every vertex, and their box.
void ReadPart(const std::string& name, const Vec3& offset, std::vector<StlTriangle>& triangles,
              Vec3& boxMin, Vec3& boxMax) {
  const std::filesystem::path path = ResolveDefinitionPath(name);
  const int32_t kind = DetectStlKind(path);
  ReadStlTriangles(kind, CountStlFacets(kind, path), path, offset, boxMin, boxMax, triangles);
}

void LoadStructure(const std::string& name, const Vec3& offset, StructureMesh& mesh) {
  ReadPart(name, offset, mesh.Triangles, mesh.BoxMin, mesh.BoxMax);
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  BuildTriangleBuckets(mesh.Triangles, mesh.Records);
}

void LoadHead(const PartModel& part, HeadMesh& mesh) {
  ReadPart(part.Name, part.Offset, mesh.Triangles, mesh.BoxMin, mesh.BoxMax);
  MakeBoxCorners(mesh.BoxMin, mesh.BoxMax, mesh.BoxCorners);
}

void LoadTable1(const PartModel& part, int32_t rotaryType, MachinePartMeshes& meshes) {
  for (StructureMesh& group : meshes.Table1) group = {};
  if (rotaryType == kRotaryTable) {
    std::vector<StlTriangle> whole;
    Vec3 lo, hi;
    ReadPart(part.Name, part.Offset, whole, lo, hi);
    PartitionTableMesh(whole, lo, hi, meshes.Table1);
    meshes.Table1GroupCount = static_cast<int32_t>(kTable1Groups);
    return;
  }
  LoadStructure(part.Name, part.Offset, meshes.Table1[0]);
  meshes.Table1GroupCount = 1;
}

void LoadParts(const MachinePartSources& sources, MachinePartMeshes& meshes, bool onlyMissing) {
  const MachinePartModels& parts = sources.Parts;
  const int32_t rotaryType = sources.Kinematics.RotaryType;
  const MachinePartNeeds needs = NeededMachineParts(sources.Checks, rotaryType);
  const auto wanted = [onlyMissing](bool needed, const PartModel& part, bool loaded) {
    return needed && !part.Name.empty() && !(onlyMissing && loaded);
  };
  const PartModel& table = parts.Tables[kTableMain];
  if (wanted(needs.Table, table, meshes.Table.FacetCount() != 0))
    LoadStructure(table.Name, table.Offset, meshes.Table);
  const PartModel& table1 = parts.Tables[kTable1];
  if (wanted(needs.Table1, table1, meshes.Table1GroupCount != 0))
    LoadTable1(table1, rotaryType, meshes);
  const PartModel& table2 = parts.Tables[kTable2];
  if (wanted(needs.Table2, table2, meshes.Table2.FacetCount() != 0))
    LoadStructure(table2.Name, table2.Offset, meshes.Table2);
  if (!onlyMissing || meshes.Vices[0].FacetCount() == 0) LoadStructureMeshes(parts, meshes);
  const auto loadHead = [&](bool needed, HeadPart which, HeadMesh& mesh) {
    if (wanted(needed, parts.Heads[which], mesh.FacetCount() != 0))
      LoadHead(parts.Heads[which], mesh);
  };
  loadHead(needs.Head2, kHead2, meshes.Head2);
  loadHead(needs.Head1, kHead1, meshes.Head1);
  loadHead(needs.Head, kHeadMain, meshes.Head);
  if (needs.Basic && (!onlyMissing || meshes.Basic[0].FacetCount() == 0))
    LoadBasicModels(parts, sources.Kinematics, meshes);
}

bool AllAtLeast(const StlTriangle& t, size_t axis, double level) {
  return t[3 + axis] >= level && t[6 + axis] >= level && t[9 + axis] >= level;
}

bool AllAtMost(const StlTriangle& t, size_t axis, double level) {
  return t[3 + axis] <= level && t[6 + axis] <= level && t[9 + axis] <= level;
}

// The group of a facet among the bands below lo, between and above hi on
// each axis; a facet in the middle band on every axis goes to centreGroup.
size_t BandGroup(const StlTriangle& t, const Vec3& lo, const Vec3& hi, size_t centreGroup) {
  const auto byXThenY = [&](size_t xHigh, size_t xLow, size_t yHigh, size_t yLow, size_t rest) {
    if (AllAtLeast(t, 0, hi[0])) return xHigh;
    if (AllAtMost(t, 0, lo[0])) return xLow;
    if (AllAtLeast(t, 1, hi[1])) return yHigh;
    if (AllAtMost(t, 1, lo[1])) return yLow;
    return rest;
  };
  const auto byY = [&](size_t yHigh, size_t yLow, size_t rest) {
    return AllAtLeast(t, 1, hi[1]) ? yHigh : AllAtMost(t, 1, lo[1]) ? yLow : rest;
  };
  if (AllAtLeast(t, 2, hi[2])) return byXThenY(11, 10, 13, 12, 5);
  if (AllAtMost(t, 2, lo[2])) return byXThenY(7, 6, 9, 8, 2);
  if (AllAtLeast(t, 0, hi[0])) return byY(17, 16, 3);
  if (AllAtMost(t, 0, lo[0])) return byY(15, 14, 0);
  return byY(4, 1, centreGroup);
}

// Copies each facet, in input order, into its group; each group with facets
// gets its box (from 1e9 / -1e9), its records and their order.
template <size_t N>
void FillGroups(std::span<const StlTriangle> triangles, const Vec3& lo, const Vec3& hi,
                size_t centreGroup, std::array<StructureMesh, N>& groups) {
  std::vector<uint8_t> groupOf(triangles.size());
  std::array<size_t, N> sizes{};
  for (size_t i = 0; i < triangles.size(); ++i) {
    groupOf[i] = static_cast<uint8_t>(BandGroup(triangles[i], lo, hi, centreGroup));
    ++sizes[groupOf[i]];
  }
  for (size_t g = 0; g < N; ++g) {
    groups[g] = {};
    groups[g].BoxMin = {1e9, 1e9, 1e9};
    groups[g].BoxMax = {-1e9, -1e9, -1e9};
    groups[g].Triangles.reserve(sizes[g]);
  }
  for (size_t i = 0; i < triangles.size(); ++i) {
    StructureMesh& group = groups[groupOf[i]];
    group.Triangles.push_back(triangles[i]);
    for (size_t k = 3; k < 12; ++k) {
      const size_t axis = k % 3;
      group.BoxMin[axis] = std::min(group.BoxMin[axis], triangles[i][k]);
      group.BoxMax[axis] = std::max(group.BoxMax[axis], triangles[i][k]);
    }
  }
  for (StructureMesh& group : groups) {
    BuildFacetRecords(group.Triangles, group.Records);
    BuildTriangleBuckets(group.Triangles, group.Records);
  }
}

// The centre in X and Y and the top in Z of the table that carries the work;
// a table without a loaded mesh gives its position from the definition.
Vec3 BasicReferencePoint(const MachineKinematics& kinematics, const MachinePartMeshes& meshes) {
  const auto centreTop = [](const StructureMesh& mesh) {
    return Vec3{(mesh.BoxMin[0] + mesh.BoxMax[0]) / 2, (mesh.BoxMin[1] + mesh.BoxMax[1]) / 2,
                mesh.BoxMax[2]};
  };
  switch (kinematics.RotaryType) {
    case kRotaryHead:
      return meshes.Table.FacetCount() != 0 ? centreTop(meshes.Table) : Vec3{};
    case kRotaryTable:
      return meshes.Table2.FacetCount() != 0 ? centreTop(meshes.Table2)
                                             : kinematics.SecondTableCentre;
    default:
      return meshes.Table1GroupCount != 0 && meshes.Table1[0].FacetCount() != 0
                 ? centreTop(meshes.Table1[0])
                 : kinematics.TablePosition;
  }
}

}  // namespace

MachinePartNeeds NeededMachineParts(const InterferenceCheckSettings& checks, int32_t rotaryType) {
  MachinePartNeeds needs;
  needs.Table = AnyOn(checks, {"TOOL-TABLE CHECK", "ARBOR-TABLE CHECK", "HEAD-TABLE CHECK",
                               "HEAD1-TABLE CHECK", "HEAD2-TABLE CHECK"});
  needs.Table1 = (rotaryType == kRotaryTable || rotaryType == kRotaryMix) &&
                 AnyOn(checks, {"TOOL-TABLE1 CHECK", "ARBOR-TABLE1 CHECK", "HEAD-TABLE1 CHECK",
                                "HEAD1-TABLE1 CHECK"});
  needs.Table2 = rotaryType == kRotaryTable &&
                 AnyOn(checks, {"TOOL-TABLE2 CHECK", "ARBOR-TABLE2 CHECK", "HEAD-TABLE2 CHECK"});
  needs.Head2 =
      rotaryType == kRotaryHead && AnyOn(checks, {"HEAD2-WORK CHECK", "HEAD2-VICE CHECK",
                                                  "HEAD2-TABLE CHECK", "HEAD2-BASIC CHECK"});
  needs.Head1 = rotaryType != kRotaryTable &&
                AnyOn(checks, {"HEAD1-WORK CHECK", "HEAD1-VICE CHECK", "HEAD1-TABLE1 CHECK",
                               "HEAD1-TABLE CHECK", "HEAD1-BASIC CHECK"});
  needs.Head = AnyOn(checks, {"HEAD-WORK CHECK", "HEAD-VICE CHECK", "HEAD-TABLE2 CHECK",
                              "HEAD-TABLE1 CHECK", "HEAD-TABLE CHECK", "HEAD-BASIC CHECK"});
  needs.Basic = AnyOn(checks, {"TOOL-BASIC CHECK", "ARBOR-BASIC CHECK", "HEAD2-BASIC CHECK",
                               "HEAD1-BASIC CHECK", "HEAD-BASIC CHECK"});
  // The further head groups check nothing, but their BASIC checks load the
  // base all the same.
  for (const size_t check : kFurtherBasicChecks)
    if (check < checks.PartChecks.size() && checks.PartChecks[check] >= 1) needs.Basic = true;
  return needs;
}

void BuildMachineModel(const MachinePartSources& sources, MachinePartMeshes& meshes) {
  LoadParts(sources, meshes, true);
}

void LoadMachinePartModels(const MachinePartSources& sources, MachinePartMeshes& meshes) {
  LoadParts(sources, meshes, false);
}

void LoadStructureMeshes(const MachinePartModels& parts, MachinePartMeshes& meshes) {
  for (size_t i = 0; i < meshes.Vices.size(); ++i) {
    meshes.Vices[i] = {};
    if (i >= parts.ViceNames.size() || parts.ViceNames[i].empty()) continue;
    const Vec3 offset = i < parts.ViceOffsets.size() ? parts.ViceOffsets[i] : Vec3{};
    LoadStructure(parts.ViceNames[i], offset, meshes.Vices[i]);
  }
}

void LoadBasicModels(const MachinePartModels& parts, const MachineKinematics& kinematics,
                     MachinePartMeshes& meshes) {
  const size_t files = std::min(parts.BasicNames.size(), kMaxListedModels);
  if (files == 0) return;
  FreeBasicGroups(meshes);
  const Vec3 reference = BasicReferencePoint(kinematics, meshes);
  meshes.BasicFileCount = static_cast<int32_t>(files);
  if (files == 1) {
    std::vector<StlTriangle> whole;
    ReadPart(parts.BasicNames[0], parts.BasicOffset, whole, meshes.Basic[0].BoxMin,
             meshes.Basic[0].BoxMax);
    FreeBox& box = meshes.BasicFreeBoxes[0];
    ComputeFreeBox(whole, reference, box.Min, box.Max);
    PartitionBasicMesh(whole, box.Min, box.Max, meshes.Basic);
    return;
  }
  for (size_t i = 0; i < files; ++i) {
    if (parts.BasicNames[i].empty()) continue;
    StructureMesh& mesh = meshes.Basic[i];
    ReadPart(parts.BasicNames[i], parts.BasicOffset, mesh.Triangles, mesh.BoxMin, mesh.BoxMax);
    BuildFacetRecords(mesh.Triangles, mesh.Records);
    // The free box takes the facets in file order.
    FreeBox& box = meshes.BasicFreeBoxes[i];
    ComputeFreeBox(mesh.Triangles, reference, box.Min, box.Max);
    BuildTriangleBuckets(mesh.Triangles, mesh.Records);
  }
}

void PartitionTableMesh(std::span<const StlTriangle> triangles, const Vec3& boxMin,
                        const Vec3& boxMax, std::array<StructureMesh, kTable1Groups>& groups) {
  Vec3 first, second;
  for (size_t a = 0; a < 3; ++a) {
    first[a] = boxMin[a] + (boxMax[a] - boxMin[a]) / 3;
    second[a] = boxMin[a] + 2 * (boxMax[a] - boxMin[a]) / 3;
  }
  FillGroups(triangles, first, second, 18, groups);
}

void PartitionBasicMesh(std::span<const StlTriangle> triangles, const Vec3& freeMin,
                        const Vec3& freeMax, std::array<StructureMesh, kBasicGroups>& groups) {
  FillGroups(triangles, freeMin, freeMax, 0, groups);
}

void ComputeFreeBox(std::span<const StlTriangle> triangles, const Vec3& reference, Vec3& freeMin,
                    Vec3& freeMax) {
  freeMin = {-1e11, -1e11, -1e11};
  freeMax = {1e11, 1e11, 1e11};
  for (const StlTriangle& t : triangles) {
    Vec3 lo, hi;
    ComputeBoundingBox({t[3], t[4], t[5]}, {t[6], t[7], t[8]}, {t[9], t[10], t[11]}, lo, hi);
    std::array<double, 3> separation{};
    std::array<int, 3> side{};
    for (size_t a = 0; a < 3; ++a) {
      if (reference[a] - hi[a] > 0) {
        separation[a] = reference[a] - hi[a];
        side[a] = -1;
      } else if (lo[a] - reference[a] > 0) {
        separation[a] = lo[a] - reference[a];
        side[a] = 1;
      }
    }
    size_t axis = 0;
    if (separation[1] > separation[axis]) axis = 1;
    if (separation[2] > separation[axis]) axis = 2;
    const auto spans = [&](size_t a) { return hi[a] >= freeMax[a] && lo[a] <= freeMin[a]; };
    if (spans((axis + 1) % 3) && spans((axis + 2) % 3)) continue;
    if (side[axis] == 1)
      freeMax[axis] = std::min(freeMax[axis], lo[axis]);
    else
      freeMin[axis] = std::max(freeMin[axis], hi[axis]);
  }
}

void FreeMachineModel(MachinePartMeshes& meshes) {
  meshes.Table = {};
  for (StructureMesh& group : meshes.Table1) group = {};
  meshes.Table1GroupCount = 0;
  meshes.Table2 = {};
  FreeStructureMeshes(meshes);
  meshes.Head = {};
  meshes.Head1 = {};
  meshes.Head2 = {};
  FreeBasicGroups(meshes);
}

void FreeStructureMeshes(MachinePartMeshes& meshes) {
  for (StructureMesh& vice : meshes.Vices) vice = {};
}

void FreeBasicGroups(MachinePartMeshes& meshes) {
  for (StructureMesh& slot : meshes.Basic) slot = {};
  meshes.BasicFreeBoxes.fill(FreeBox{});
  meshes.BasicFileCount = 0;
}

}  // namespace vestan
