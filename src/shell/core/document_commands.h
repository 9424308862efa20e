// The menu commands that change the document: selecting the NC program (and
// fitting a box workpiece to it), the data check with its verify report, the
// definition files, loading, building and saving the workpiece, its paint,
// pens, move and rotation, difference painting and the control point. Each
// takes its file from the paths when the path is preset or the automation
// runs, else from the dialog port; under automation a message that would
// wait for a person goes to the log, and a question takes its "no".
#pragma once

#include <cstdint>
#include <string>

#include "modelfiles/compressed_model_file.h"
#include "shell/core/dialog_port.h"
#include "shell/core/shell_state.h"
#include "simulation/nc_data_check.h"
#include "simulation/session.h"

namespace vestan {

// What the document commands work on.
struct DocumentContext {
  Session& S;
  ShellState& Shell;
  DialogPort& Dialogs;
  CompressionApiCache& Compression;
  // The batch worker or the macro runner sent the command, or the program
  // runs unattended: nobody is asked.
  bool Automated = false;
};

// Command results the automation relies on.
inline constexpr int64_t kCommandDone = 1;
inline constexpr int64_t kCommandNotDone = 0;  // cancelled, refused or failed
inline constexpr int64_t kCommandNcErrors = -1;

// The stock shapes the work definition builds.
enum class StockShape {
  kOriginBox,    // "INITIAL SIZE2": sides placed about the work origin
  kTwoPointBox,  // "INITIAL SIZE": minimum and maximum corner
  kCylinder,     // "CYLINDER"
};

// Selects the NC program (32771; with defineWork 32772, which then fits a
// box workpiece to its cutting moves). kCommandDone when selected,
// kCommandNotDone when not (cancelled, or the file is found nowhere: a box,
// or under automation the log line "<path> - The NC data does not
// exist."), kCommandNcErrors when selected but the data check found NC
// errors. ncErrors is set when they were reported.
int64_t SelectNcProgram(DocumentContext& context, bool defineWork, bool& ncErrors);

// The data check of the whole program and its verify report (32773):
// kCommandDone when the report was written, kCommandNcErrors when the check
// found NC errors (reported; to the log for run modes 4 and above or under
// automation), kCommandNotDone otherwise. noOpen: the report is not opened.
int64_t WriteProgramVerifyReport(DocumentContext& context, int32_t noOpen, bool& ncErrors);

// The definition file commands (32781 tool table, 32782 controller, 32783
// machine): the file chosen, then read with what depends on it.
int64_t ReadDefinitionFileCommand(DocumentContext& context, int32_t command);

// Loads the workpiece file (32784). With a stock given on the command line
// and no file named, the stock is built instead. The old workpiece stays
// when the new one cannot be had. kCommandDone when a workpiece was loaded
// or built.
int64_t LoadWorkpiece(DocumentContext& context);

// Saves the workpiece (32786): ".STL" names as STL (text, binary or
// byte-swapped binary by the command line's save kind), ".DMEZ" compressed,
// others as DME; a name without a folder goes to the work save folder.
int64_t SaveWorkpiece(DocumentContext& context);

// The stock dialogs and their tail (32911, 32787, 32896): the old workpiece
// replaced by the stock, the control point placed by "NEW CONTROL POINT".
int64_t DefineStockWorkpiece(DocumentContext& context, StockShape shape);

// Builds the box (minimum X, Y, Z then maximum X, Y, Z, machine
// coordinates) as the new workpiece at the chosen pitch and places the
// control point. False, with the old workpiece gone and the failure shown,
// when it cannot be built.
bool BuildBoxWorkpiece(DocumentContext& context, const std::array<double, 6>& box);

// The box 32772 fits to the data check's results: the cutting moves' extent
// in X and Y widened on each side by the X and Y work margins, in Z from the
// lowest to the highest cutting point; without cutting moves the extent of
// all moves in X and Y and, in Z, a height of 10 whose top lies 5 below the
// lowest point. False when the program has no moves at all.
bool BoxAroundProgram(const NcCheckResults& results, const Settings& settings,
                      std::array<double, 6>& box);

// Places the control point by "NEW CONTROL POINT" (box top, current,
// specified) from the workpiece's bounds and writes the choice back to the
// settings file.
void PlaceControlPoint(DocumentContext& context);

// Paint (32789), peel (32790), the pen dialog's peel (32820), rotation
// (32826), move (32827), difference painting (32893) and the basic model
// (32851). Each needs a workpiece (the basic model too).
int64_t PaintWholeWorkpiece(DocumentContext& context, bool paint);
int64_t PeelPen(DocumentContext& context);
int64_t RotateWorkpiece(DocumentContext& context);
int64_t MoveWorkpiece(DocumentContext& context);
int64_t PaintDifference(DocumentContext& context);
int64_t LoadBasicModel(DocumentContext& context);

}  // namespace vestan
