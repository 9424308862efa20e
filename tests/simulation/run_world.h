// The records the run's bookkeeping, messages and reports read and write,
// out of a session built fresh for each test over a recording host: a pass
// context with its run state, the definitions, a workpiece that may be cut,
// the run control.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/definitions.h"
#include "model/work_document.h"
#include "nc/nc_context.h"
#include "nc/run_control.h"
#include "platform/recording_host.h"
#include "simulation/interference_messages.h"
#include "simulation/run_reports.h"
#include "simulation/session.h"

namespace vestan::testing {

struct RunWorld {
  RecordingHost Host;
  Session S{Host};
  RunState& Run = S.Run;
  NcContext& Nc = S.Nc;
  Definitions& Defs = S.Defs;
  WorkDocument& Work = S.Work;
  RunControl& Control = S.Control;
  RunMessageFacts Facts;
  RunReports Reports;
  int32_t& EnglishMode = S.App.EnglishMode;
  SharedValue<int32_t>& SoundOn = S.Defs.Settings.SoundOn;
  int32_t BatchMode = 0;
  int32_t NoReportOpening = 0;

  RunWorld() {
    Work.WorkPresent = 1;
    EnglishMode = 1;
    SoundOn = 0;
  }

  InterferenceHits& Hits() { return Run.Hits; }
  InterferenceCheckSettings& Checks() { return Defs.Checks; }

  // A step that cut material with a linear move at feed 1000 (the rapid feed
  // limit 5000), the spindle at 500 forward in a given range of 100 to 1000.
  void CuttingStep() {
    Hits().ContactFlag = 1;
    Run.MotionMode = kMotionLinear;
    Nc.Move.Feed = 1000.0;
    Nc.Modal.SpindleState = 1;
    Nc.Modal.SpindleSpeed = 500.0;
    Checks().RapidFeedrate = 5000.0;
    Checks().SpindleLimits = {100.0, 1000.0};
    Checks().SpindleLimitsGiven = 1;
  }

  // The line being run: the main line counter and the NC line as read.
  void AtLine(uint32_t line, std::string_view text) {
    Nc.Subprograms.Depth = 0;
    Nc.Modal.MainLineCounter = line;
    Nc.Line.Text = std::string(text) + "\n";
  }
  // The same inside a subprogram level.
  void InSubprogram(std::string_view name, uint32_t line, std::string_view text) {
    Nc.Subprograms.Depth = 1;
    Nc.Subprograms.Levels[0].Name = std::string(name);
    Nc.Subprograms.Levels[0].LineCounter = line;
    Nc.Line.Text = std::string(text) + "\n";
  }

  InterferenceMessageLinks Messages(int32_t cuttingMode = kCuttingReal) {
    InterferenceMessageLinks links = MessageLinksOf(S, Facts);
    links.CuttingMode = cuttingMode;
    return links;
  }
  RunReportLinks Links() {
    RunReportLinks links = ReportLinksOf(S);
    links.BatchMode = BatchMode;
    links.NoReportOpening = NoReportOpening;
    return links;
  }
};

}  // namespace vestan::testing
