#include "simulation/run_reports.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/number_text.h"
#include "foundation/path_text.h"
#include "simulation/interference_texts.h"

namespace vestan {

namespace {

constexpr std::array<std::string_view, kReportFileCount> kReportNames = {
    "alarm.txt", "interference.txt", "interference2.txt", "limitp.txt", "limitsp.txt"};

constexpr std::string_view kDashes = "--------------";
constexpr std::string_view kAlarmHeader = "<<< ALARM INFORMATION >>>\n";
constexpr std::string_view kInterferenceHeader = "<<< INTERFERENCE INFORMATION >>>\n";
constexpr std::string_view kInterference2Header = "<<< INTERFERENCE2 INFORMATION >>>\n";

// The pairs the detailed report names, in its order; the BASIC pairs are
// not among them.
constexpr std::array<InterferencePair, 20> kSummaryPairs = {
    kPairToolVice,   kPairToolTable,   kPairToolTable1,  kPairToolTable2, kPairArborVice,
    kPairArborTable, kPairArborTable1, kPairArborTable2, kPairHeadWork,   kPairHeadVice,
    kPairHeadTable,  kPairHeadTable1,  kPairHeadTable2,  kPairHead1Work,  kPairHead1Vice,
    kPairHead1Table, kPairHead1Table1, kPairHead2Work,   kPairHead2Vice,  kPairHead2Table};

// Names joined by a separator; the pairs of one group after the first are
// written as a comma and the partner ("ARBORvsVICE,TABLE1").
class NameList {
 public:
  explicit NameList(std::string_view separator) : separator_(separator) {}

  void Add(std::string_view name) {
    Separate();
    text_ += name;
    group_ = {};
  }
  void AddPair(InterferencePair pair) {
    const InterferenceKind& kind = KindOfStop(StopKindOfPair(pair));
    if (kind.Group == "TOOL") {
      Add(kind.StopName);
    } else if (kind.Group == group_) {
      text_ += ',';
      text_ += kind.Partner;
    } else {
      Separate();
      text_ += kind.StopName;
      group_ = kind.Group;
    }
  }
  const std::string& Text() const { return text_; }

 private:
  void Separate() {
    if (!text_.empty()) text_ += separator_;
  }

  std::string_view separator_;
  std::string text_;
  std::string_view group_;
};

void Put(FileStream& stream, std::string_view bytes) {
  if (stream) std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
}

// The NC line always ends with its line feed in a report, even one that
// was never read.
std::string LineWithEnd(std::string_view line) {
  std::string text(line);
  if (text.empty() || text.back() != '\n') text += '\n';
  return text;
}

// "line:", or inside a subprogram level "name:line:" with the level's own
// line counter.
std::string LinePrefix(const NcContext& nc) {
  const SubprogramStack& stack = nc.Subprograms;
  if (stack.Depth > 0 && stack.Depth <= kMaxSubprogramLevels) {
    const SubprogramLevel& level = stack.Levels[static_cast<size_t>(stack.Depth - 1)];
    return level.Name + ":" + std::to_string(static_cast<int32_t>(level.LineCounter)) + ":";
  }
  return std::to_string(static_cast<int32_t>(nc.Modal.MainLineCounter)) + ":";
}

// The position of a report entry: the line prefix and the NC line.
std::string PositionText(const NcContext& nc) {
  return LinePrefix(nc) + LineWithEnd(nc.Line.View());
}

void AppendPose(std::string& text, const ReportPose& pose) {
  static constexpr std::array<char, 3> kAxes = {'X', 'Y', 'Z'};
  for (size_t a = 0; a < 3; ++a) {
    text += kAxes[a];
    AppendFixed(text, pose.Tip[a]);
  }
  for (size_t r = 0; r < 2; ++r) {
    text += pose.RotaryLetters[r];
    AppendFixed(text, pose.RotaryAngles[r]);
  }
}

FileStream CreateReport(RunReports& reports, const RunReportLinks& links, ReportFile report) {
  const std::string_view name = kReportNames[report];
  FileStream stream = OpenFileStream(name, "w");
  if (!stream && reports.CreateWarned[report] == 0) {
    reports.CreateWarned[report] = 1;
    links.Shell.Log(FormatInterferenceText(InterferenceTextId::kReportNotCreated, links.EnglishMode,
                                           std::string(name).c_str()));
  }
  return stream;
}

// Closes a report; a write or close that failed is logged.
void FinishReport(FileStream& stream, const RunReportLinks& links, ReportFile report) {
  if (!stream) return;
  std::FILE* file = stream.release();
  const bool failed = std::ferror(file) != 0;
  const bool closeFailed = std::fclose(file) != 0;
  if (failed || closeFailed)
    links.Shell.Log(FormatInterferenceText(InterferenceTextId::kReportNotWritten, links.EnglishMode,
                                           std::string(kReportNames[report]).c_str()));
}

void OpenOnDesktop(const RunReportLinks& links, ReportFile report) {
  links.Shell.OpenWithDesktop(kReportNames[report]);
}

bool HasStopClassCondition(const RunReportLinks& links) {
  const NcContext& nc = links.Nc;
  const InterferenceHits& hits = nc.Run.Hits;
  const InterferenceCheckSettings& checks = links.Checks;
  const bool contact = hits.ContactFlag != 0;
  if (checks.Interference == kCheckStop && contact &&
      RapidConditionOf(nc, checks) != RapidCondition::kNone)
    return true;
  if (checks.ArborCheck == kArborCheckStop &&
      (hits.ArborHitFlag != 0 || hits.BodyHitFlag != 0 || hits.AttachmentHitFlag != 0))
    return true;
  if (checks.HeightCheck == kLimitCheckStop && hits.HeightHitFlag != 0) return true;
  if (checks.ChipWidthCheck == kLimitCheckStop && hits.ChipWidthHitFlag != 0) return true;
  for (size_t pair = 0; pair < kNamedPairCount; ++pair)
    if (checks.Pairs[pair] == kCheckStop && hits.Pairs[pair] != 0) return true;
  return checks.SpindleCheck == kCheckStop && contact &&
         SpindleConditionOf(nc, checks) != SpindleCondition::kNone;
}

// The step's stop-class conditions as the detailed report names them,
// evaluated afresh from the settings and the hits.
std::string StopClassNames(const RunReportLinks& links) {
  const NcContext& nc = links.Nc;
  const InterferenceHits& hits = nc.Run.Hits;
  const InterferenceCheckSettings& checks = links.Checks;
  const bool contact = hits.ContactFlag != 0;
  NameList names("+");
  if (checks.Interference == kCheckStop && contact) {
    const RapidCondition rapid = RapidConditionOf(nc, checks);
    if (rapid == RapidCondition::kTooFast) names.Add("TOO FAST");
    if (rapid == RapidCondition::kRapidMove) names.Add("RAPID(G00)");
  }
  if (checks.HeightCheck == kLimitCheckStop && hits.HeightHitFlag != 0) names.Add("LENGTH");
  if (checks.ChipWidthCheck == kLimitCheckStop && hits.ChipWidthHitFlag != 0) names.Add("CHIP");
  if (checks.ArborCheck == kArborCheckStop) {
    if (hits.BodyHitFlag != 0)
      names.Add("TAPER");
    else if (hits.ArborHitFlag != 0)
      names.Add("ARBOR");
  }
  if (checks.SpindleCheck == kCheckStop && contact) {
    const SpindleCondition spindle = SpindleConditionOf(nc, checks);
    if (spindle == SpindleCondition::kStopped) names.Add("SPINDLE");
    if (spindle == SpindleCondition::kBelowRange) names.Add("LOW SPINDLE");
    if (spindle == SpindleCondition::kAboveRange) names.Add("OVER SPINDLE");
  }
  for (InterferencePair pair : kSummaryPairs)
    if (checks.Pairs[pair] == kCheckStop && hits.Pairs[pair] != 0) names.AddPair(pair);
  return names.Text();
}

// The registered stop flags as "interference.txt" names them.
std::string StopFlagNames(const InterferenceStopState& stops) {
  NameList names(" + ");
  for (size_t kind = 0; kind < kStopKindCount; ++kind) {
    if (stops.Flags[kind] == 0) continue;
    if (kind < kStopFirstPair)
      names.Add(KindOfStop(kind).StopName);
    else
      names.AddPair(static_cast<InterferencePair>(kind - kStopFirstPair));
  }
  return names.Text();
}

ReportFile InterferenceReportFile(const RunReports& reports) {
  return reports.DetailedReport == 1 ? kInterference2Report : kInterferenceReport;
}

}  // namespace

void ResetRunReports(RunReports& reports) {
  reports.AlarmStream.reset();
  reports.InterferenceStream.reset();
  reports.OffsetAlarm = 0;
  reports.Stops.ReportState = kReportNothingPending;
  reports.CreateWarned = {};
}

void WriteRadiusOffsetAlarm(RunReports& reports, const RunReportLinks& links,
                            int32_t alarmReportOption, double radiusOffset) {
  if (alarmReportOption > 0 && !reports.AlarmStream) {
    reports.AlarmStream = CreateReport(reports, links, kAlarmReport);
    Put(reports.AlarmStream, std::string(kAlarmHeader) + std::string(kDashes));
  }
  std::string entry = "\nINTERFERENCE IN RADIUS(";
  AppendFixed(entry, radiusOffset, 3);
  entry += ") OFFSET\n";
  entry += std::to_string(static_cast<int32_t>(links.Nc.Modal.MainLineCounter)) + ":";
  entry += LineWithEnd(links.Nc.Line.View());
  Put(reports.AlarmStream, entry);
  reports.OffsetAlarm = 1;
  links.Control.OffsetAlarmRaised.store(1);
}

std::function<void(const NcContext&, double)> RadiusOffsetAlarmWriter(RunReports& reports,
                                                                      const RunReportLinks& links,
                                                                      int32_t alarmReportOption) {
  return [&reports, links, alarmReportOption](const NcContext&, double radiusOffset) {
    WriteRadiusOffsetAlarm(reports, links, alarmReportOption, radiusOffset);
  };
}

void CloseAlarmReport(RunReports& reports, const RunReportLinks& links, int32_t alarmReportOption) {
  reports.OffsetAlarm = 0;
  if (!reports.AlarmStream) return;
  FinishReport(reports.AlarmStream, links, kAlarmReport);
  if (links.BatchMode == 0 && alarmReportOption == kRadiusOpen) OpenOnDesktop(links, kAlarmReport);
}

void OpenInterference2Report(RunReports& reports, const RunReportLinks& links) {
  if (reports.InterferenceStream || !HasStopClassCondition(links)) return;
  // The file's existence is the user's switch between the two reports.
  std::error_code ec;
  const std::string_view name = kReportNames[kInterference2Report];
  if (!std::filesystem::exists(ToNativePath(name), ec)) {
    reports.DetailedReport = 0;
    return;
  }
  reports.DetailedReport = 1;
  reports.InterferenceStream = CreateReport(reports, links, kInterference2Report);
  Put(reports.InterferenceStream, std::string(kInterference2Header) + std::string(kDashes));
  reports.LastReportedLine = 0;
}

void WriteInterferenceReport(RunReports& reports, const RunReportLinks& links) {
  InterferenceStopState& stops = reports.Stops;
  // The run asks after every move while the rapid check is on; only a move
  // that registered stop-class kinds has an entry (and a status text, a
  // sound) to give.
  if (std::none_of(stops.Flags.begin(), stops.Flags.end(), [](uint8_t f) { return f != 0; }))
    return;
  if (reports.DetailedReport == 0) {
    FileStream& stream = reports.InterferenceStream;
    if (stream) {
      Put(stream, "\n");
    } else {
      stream = CreateReport(reports, links, kInterferenceReport);
      Put(stream, std::string(kInterferenceHeader) + std::string(kDashes) + "\n");
    }
    Put(stream, StopFlagNames(stops) + "\n" + PositionText(links.Nc));
  }
  links.Control.StepStatus = 0;
  if (stops.ReportState == kReportPending) links.Control.InterferenceStopRaised.store(1);
  GetInterferenceKindName(stops, links.EnglishMode);
  stops.Flags = {};
  if (links.BatchMode == 0) links.Shell.RequestShellUpdate(ShellUpdate::kSecondView);
  if (links.SoundOn != 0) links.Shell.PlaySound("SystemHand");
  stops.ReportState = kReportWritten;
}

void FormatInterferenceSummary(RunReports& reports, const RunReportLinks& links) {
  if (reports.DetailedReport != 1 || !reports.InterferenceStream) return;
  const int32_t line = CurrentLineNumber(links.Nc);
  if (line != reports.LastReportedLine) {
    Put(reports.InterferenceStream, "\n");
    Put(reports.InterferenceStream, PositionText(links.Nc));
  }
  reports.LastReportedLine = line;
  Put(reports.InterferenceStream, StopClassNames(links) + ":");
}

void WriteInterferenceStepLine(RunReports& reports, int32_t step, int32_t steps,
                               const ReportPose& pose) {
  if (reports.DetailedReport != 1 || !reports.InterferenceStream) return;
  std::string text = std::to_string(step) + "/" + std::to_string(steps) + ":";
  AppendPose(text, pose);
  Put(reports.InterferenceStream, text + "\n");
}

void CloseInterferenceReport(RunReports& reports, const RunReportLinks& links) {
  InterferenceStopState& stops = reports.Stops;
  if (stops.ReportState == kReportPending) WriteInterferenceReport(reports, links);
  if (stops.ReportState > kReportNothingPending) stops.ReportState = kReportNothingPending;
  stops.Flags = {};
  if (reports.InterferenceStream) {
    const ReportFile report = InterferenceReportFile(reports);
    FinishReport(reports.InterferenceStream, links, report);
    if (links.BatchMode == 0 && links.NoReportOpening == 0) OpenOnDesktop(links, report);
  }
  reports.DetailedReport = 0;
}

void OpenCuttingLimitReport(RunReports& reports, const RunReportLinks& links,
                            const ToolTable& tools, int32_t tool) {
  const int32_t type = tool >= 0 && static_cast<size_t>(tool) < tools.Limits.size()
                           ? tools.Limits[static_cast<size_t>(tool)].Kind
                           : 0;
  int32_t kind = kLimitReportNone;
  if (type == 11) kind = kLimitReportSection;
  if (type == 12) kind = kLimitReportRate;
  if (kind == kLimitReportNone) return;
  // The old report is closed before the new one is created: both may be one file.
  FinishReport(reports.LimitStream, links,
               reports.LimitKind == kLimitReportRate ? kLimitSpeedReport : kLimitReport);
  reports.LimitKind = kind;
  reports.LimitStream =
      CreateReport(reports, links, kind == kLimitReportRate ? kLimitSpeedReport : kLimitReport);
  reports.LimitLineCount = 0;
}

void WriteCuttingLimitLine(RunReports& reports, const NcContext& nc, const ReportPose& pose,
                           double value) {
  if (!reports.LimitStream) return;
  std::string text = LinePrefix(nc);
  AppendPose(text, pose);
  text += ':';
  AppendFixed(text, value);
  text += "(A)\n";
  Put(reports.LimitStream, text);
  ++reports.LimitLineCount;
}

void CloseCuttingLimitReport(RunReports& reports, const RunReportLinks& links) {
  if (!reports.LimitStream) return;
  const ReportFile report =
      reports.LimitKind == kLimitReportRate ? kLimitSpeedReport : kLimitReport;
  FinishReport(reports.LimitStream, links, report);
  if (reports.LimitLineCount > 0 && links.BatchMode == 0) OpenOnDesktop(links, report);
}

}  // namespace vestan
