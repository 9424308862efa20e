#include "definitions/arbor_table.h"

#include <array>

#include "foundation/path_text.h"
#include "foundation/text_fields.h"

namespace vestan {

namespace {

// Longer keys first: "ARBOR" begins the other two.
constexpr std::array<KeyEntry<ArborForm>, 3> kArborKeys = {
    {{"ARBOR3", kArborTriples}, {"ARBOR2", kArborPairs2}, {"ARBOR", kArborPairs}}};

}  // namespace

std::optional<ArborKeyMatch> MatchArborKey(std::string_view line, size_t pos) {
  if (const KeyEntry<ArborForm>* key = MatchKeyTable(kArborKeys, line, pos))
    return ArborKeyMatch{key->Key, static_cast<int32_t>(key->Text.size())};
  return std::nullopt;
}

void ReadArborSteps(ArborForm form, int32_t& cursor, std::string_view line, ArborRecord& arbor) {
  arbor.StepCount = 0;
  ValueList values(cursor, line);
  switch (form) {
    case kArborPairs:
      for (int i = 0; i < kMaxArborSteps; ++i) {
        arbor.StepDiameter[i] = values.NextFloat();
        if (arbor.StepDiameter[i] == 0.0f) break;
        arbor.StepLength[i] = values.NextFloat();
        arbor.StepCount = i + 1;
      }
      break;
    case kArborPairs2:
      for (int i = 0; i < kMaxArborSteps; ++i) {
        arbor.StepDiameter[i] = values.NextFloat();
        // A zero step after a zero length ends the holder and is not a step.
        if (i > 0 && arbor.StepDiameter[i] == 0.0f && arbor.StepLength[i - 1] == 0.0f) {
          --arbor.StepCount;
          break;
        }
        arbor.StepLength[i] = values.NextFloat();
        arbor.StepCount = i + 1;
      }
      break;
    case kArborTriples:
      arbor.StepDiameter[0] = values.NextFloat();
      for (int i = 0; i < kMaxArborSteps; ++i) {
        const float length = values.NextFloat();
        const float flag = values.NextFloat();
        const float next = values.NextFloat();
        if (length == 0.0f && next == 0.0f) break;
        arbor.StepLength[i] = length;
        arbor.StepFlag[i] = TruncateToInt32(flag);
        arbor.StepDiameter[i + 1] = next;
        arbor.StepCount = i + 1;
      }
      break;
  }
}

int32_t ReadArborTable(std::string& name, std::string_view toolTableName, ArborRecord& arbor,
                       WatchedFile* watch) {
  arbor = ArborRecord{};
  if (!HasFolderPart(name)) name = FolderPart(toolTableName) + name;
  const std::filesystem::path path = ResolveDefinitionPath(name);
  if (watch != nullptr) {
    if (const std::optional<FileTime> time = LastWriteTime(path)) watch->Time = *time;
  }
  const std::optional<std::vector<std::string>> lines = ReadDefinitionLines(path);
  if (!lines) {
    if (watch != nullptr) watch->State = kFileMissing;
    return kFileMissing;
  }
  if (watch != nullptr) watch->State = kFileRead;
  for (const std::string& line : *lines) {
    if (line[0] == '#') continue;
    const std::optional<ArborKeyMatch> key = MatchArborKey(line, 0);
    if (!key) continue;
    arbor.Present = 1;
    arbor.Form = key->Form;
    int32_t cursor = key->Length;
    ReadArborSteps(key->Form, cursor, line, arbor);
    return kFileRead;
  }
  return kFileRead;
}

}  // namespace vestan
