// The placement of an STL model read from a text file of twelve numbers (the
// STL MATRIX setting), and the placement written to "matrix.txt" for
// inspection (the CHECK MATRIX setting).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/vector_math.h"

namespace vestan {

// What reading a matrix file gave.
struct PlacementMatrixRead {
  bool Opened = false;  // the file was named and opened
  int32_t Lines = 0;    // values taken from it (at most 12)
  // Not empty when a line gave a number that is not finite: the line
  // (counted from 1) and what was wrong. That value keeps the given one.
  std::string Error;
};

// When fileName is not empty and opens, fills placement from its lines in
// placement order (X column, Y column, Z column, translation), each line's
// leading number (0 when it has none). A file of fewer than 12 lines keeps
// the given values for the rest. Otherwise placement stays as it is.
PlacementMatrixRead ReadPlacementMatrix(std::string_view fileName, Placement& placement);

// Writes "matrix.txt" into folder (the current folder when empty), one value
// per line as "%f", replacing any earlier one, when checkMatrix is on.
// Returns kFileReplaced, 0 when the check is off, or the negative code of
// ReplaceFileContents.
int32_t WriteMatrixDebug(const Placement& placement, int32_t checkMatrix,
                         std::string_view folder = {});

}  // namespace vestan
