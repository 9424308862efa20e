// The meshes of the machine's parts (tables, vices, base and heads) loaded
// from the part model files the machine definition names: which parts the
// checks need, loading, grouping them into boxed partitions, the base's free
// box, and freeing them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "definitions/machine_definition.h"
#include "definitions/settings.h"
#include "foundation/geometry.h"
#include "foundation/vector_math.h"
#include "machine/structure_search.h"
#include "modelfiles/stl_facets.h"

namespace vestan {

inline constexpr size_t kTable1Groups = 19;
inline constexpr size_t kBasicGroups = 18;

// A part that the tool, the arbor or a head is tested against: its facets in
// decreasing order of their tops, a record for each, their box, and the
// plan grid that finds the facets under a box (IndexStructureMesh).
struct StructureMesh {
  std::vector<StlTriangle> Triangles;
  std::vector<StlFacetRecord> Records;
  Vec3 BoxMin{1e11, 1e11, 1e11};
  Vec3 BoxMax{-1e11, -1e11, -1e11};
  FacetGrid Grid;

  int32_t FacetCount() const { return static_cast<int32_t>(Triangles.size()); }
};

// A head: its facets, their box and the box's 8 corners (MakeBoxCorners),
// and its facets in boxed leaves (IndexHeadMesh).
struct HeadMesh {
  std::vector<StlTriangle> Triangles;
  Vec3 BoxMin{1e11, 1e11, 1e11};
  Vec3 BoxMax{-1e11, -1e11, -1e11};
  std::array<Vec3, 8> BoxCorners{};
  FacetLeaves Leaves;

  int32_t FacetCount() const { return static_cast<int32_t>(Triangles.size()); }
};

// The largest box about the work that the base leaves free.
struct FreeBox {
  Vec3 Min{-1e11, -1e11, -1e11};
  Vec3 Max{1e11, 1e11, 1e11};
};

struct MachinePartMeshes {
  StructureMesh Table;
  // 0 not loaded, kTable1Groups on a TABLE machine, 1 on a MIX machine.
  int32_t Table1GroupCount = 0;
  std::array<StructureMesh, kTable1Groups> Table1;
  StructureMesh Table2;
  std::array<StructureMesh, kMaxListedModels> Vices;
  // One base file: its partition groups; several: file i whole in slot i.
  std::array<StructureMesh, kBasicGroups> Basic;
  std::array<FreeBox, kMaxListedModels> BasicFreeBoxes;
  // Base files loaded: 1 partitioned into groups, more each in a slot.
  int32_t BasicFileCount = 0;
  HeadMesh Head;
  HeadMesh Head1;
  HeadMesh Head2;
};

// Where the part meshes come from: the part names and offsets, the machine's
// rotary type and table position, and the checks that decide what is needed.
struct MachinePartSources {
  const MachinePartModels& Parts;
  const MachineKinematics& Kinematics;
  const InterferenceCheckSettings& Checks;
};

// Builds the search index of a mesh whose facets, records and order are
// final; every loader below calls them.
void IndexStructureMesh(StructureMesh& mesh);
void IndexHeadMesh(HeadMesh& mesh);

// The parts the checks in force need on this rotary type (a part is loaded
// only when its file is named too).
struct MachinePartNeeds {
  bool Table = false;
  bool Table1 = false;
  bool Table2 = false;
  bool Head2 = false;
  bool Head1 = false;
  bool Head = false;
  bool Basic = false;
};
MachinePartNeeds NeededMachineParts(const InterferenceCheckSettings& checks, int32_t rotaryType);

// Loads every needed part that is not loaded yet (the vices when the first
// vice slot is empty, the base when its first slot is); for a change of the
// checks.
void BuildMachineModel(const MachinePartSources& sources, MachinePartMeshes& meshes);

// Loads every needed part and the vices, whatever is loaded: after the
// machine definition was read and the meshes freed. Order: TABLE, TABLE1,
// TABLE2, vices, HEAD2, HEAD1, HEAD, then the base.
void LoadMachinePartModels(const MachinePartSources& sources, MachinePartMeshes& meshes);

// Loads each named vice i with vice offset i (0 when none is given) into
// vice slot i.
void LoadStructureMeshes(const MachinePartModels& parts, MachinePartMeshes& meshes);

// Loads the base files: one file partitioned around its free box, several
// each whole into a slot of its own with a free box each. The free boxes are
// taken about the centre top of the table that carries the work.
void LoadBasicModels(const MachinePartModels& parts, const MachineKinematics& kinematics,
                     MachinePartMeshes& meshes);

// Splits a tilting table's mesh into kTable1Groups groups by the thirds of
// its box [boxMin, boxMax] on each axis: groups by the band each facet lies
// wholly in, each with copies of its facets, records, order and box.
void PartitionTableMesh(std::span<const StlTriangle> triangles, const Vec3& boxMin,
                        const Vec3& boxMax, std::array<StructureMesh, kTable1Groups>& groups);

// Splits one base mesh into kBasicGroups groups around its free box; facets
// across the free box on every axis join group 0.
void PartitionBasicMesh(std::span<const StlTriangle> triangles, const Vec3& freeMin,
                        const Vec3& freeMax, std::array<StructureMesh, kBasicGroups>& groups);

// The free box about reference: starting from +-1e11, each facet in turn
// narrows it on the axis along which the facet lies farthest from reference,
// unless the facet spans the box on both other axes.
void ComputeFreeBox(std::span<const StlTriangle> triangles, const Vec3& reference, Vec3& freeMin,
                    Vec3& freeMax);

// Frees every part mesh.
void FreeMachineModel(MachinePartMeshes& meshes);
void FreeStructureMeshes(MachinePartMeshes& meshes);
void FreeBasicGroups(MachinePartMeshes& meshes);

}  // namespace vestan
