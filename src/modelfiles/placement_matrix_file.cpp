#include "modelfiles/placement_matrix_file.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "foundation/number_text.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"

namespace vestan {

namespace {

// The leading number of a line is taken from its first 63 characters.
constexpr size_t kMatrixLineCharacters = 63;

}  // namespace

PlacementMatrixRead ReadPlacementMatrix(std::string_view fileName, Placement& placement) {
  PlacementMatrixRead read;
  if (fileName.empty()) return read;
  const FileStream file = OpenFileStream(fileName, "r");
  if (!file) return read;
  read.Opened = true;
  // Only the start of a line counts; the rest of a longer one is passed over.
  char buffer[kMatrixLineCharacters + 1];
  while (read.Lines < static_cast<int32_t>(placement.size()) &&
         std::fgets(buffer, sizeof buffer, file.get()) != nullptr) {
    const std::string_view line(buffer);
    if (!line.empty() && line.back() != '\n')
      for (int c = std::fgetc(file.get()); c != EOF && c != '\n'; c = std::fgetc(file.get())) {
      }
    const double value = ConvertDouble(line.substr(0, kMatrixLineCharacters));
    if (std::isfinite(value)) {
      placement[read.Lines] = value;
    } else if (read.Error.empty()) {
      read.Error = "line " + std::to_string(read.Lines + 1) + " is not a finite number";
    }
    ++read.Lines;
  }
  return read;
}

int32_t WriteMatrixDebug(const Placement& placement, int32_t checkMatrix, std::string_view folder) {
  if (checkMatrix == 0) return 0;
  std::string text;
  for (double value : placement) {
    AppendFixed(text, value);
    text += '\n';
  }
  const std::filesystem::path path = folder.empty() ? std::filesystem::path("matrix.txt")
                                                    : std::filesystem::path(folder) / "matrix.txt";
  return ReplaceFileContents(path.string(), text);
}

}  // namespace vestan
