// The batch worker: the one unattended job of the command line (a macro
// file, a model job, or a work load, NC selection, verify report, run and
// save), carried out by sending the main window the commands a user would
// choose and waiting for each run to end.
#pragma once

#include <cstdint>

#include "automation/macro_runner.h"

namespace vestan {

// Carries out the command line's request once and returns kAutomationDone
// or the first failure (see macro_runner.h). Asks for the program's end
// where the request ends the program; otherwise the program stays open.
int32_t BatchWorkerThread(AutomationContext& context);

}  // namespace vestan
