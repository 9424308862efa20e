// The shipped example program run on the shipped definitions and stock, as
// a user runs it: the settings, tool table, controller and machine from
// data/, the box of "INITIAL SIZE" at the work pitch, the run through
// SimulationThreadProc and the reports closed as the shell closes them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "model/cut_statistics.h"
#include "platform/file_open.h"
#include "simulation/run_loop.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

std::string ShippedExample() {
  std::ifstream in(std::string(VESTAN_DATA_DIR) + "/example.nc", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces one whole line of text; the test fails when it is not there.
std::string ReplaceLine(std::string text, const std::string& line, const std::string& by) {
  const size_t at = text.find("\n" + line + "\n");
  EXPECT_NE(at, std::string::npos) << line;
  if (at != std::string::npos) text.replace(at + 1, line.size(), by);
  return text;
}

struct ExampleRun {
  testing::FolderSession Run;
  Session& S = Run.S;

  // The INTERFERENCE setting as the settings file gives it: 0 NO, 1 YES
  // (break), 2 STOP.
  explicit ExampleRun(int32_t interference) {
    testing::ReadShippedDefinitions(S, Run.Folder.Path());
    S.Defs.Checks.Interference = interference;
    UpdateMachineCheckFlag(S.Defs.Checks);
    const std::array<double, 6>& box = S.Defs.Settings.Stock.Box;
    testing::MakeBoxStock(S, box, S.Defs.Settings.Pitch.WorkPitch);
    S.Control.CuttingMode.store(kCuttingShowResult);
  }

  // Runs program (the example's text, or a variant of it) to its end and
  // closes the reports as the shell does after the run.
  void RunProgram(const std::string& text) {
    S.Defs.Paths.NcProgram = Run.Folder.Write("example.nc", text);
    EXPECT_EQ(SimulationThreadProc(S), 0);
    RunPass& pass = *S.Pass;
    CloseInterferenceReport(pass.Reports, pass.ReportLinks);
    CloseCuttingLimitReport(pass.Reports, pass.ReportLinks);
  }
  double Removed() { return -ComputeCutAmountStats(S.Work.Workpiece()); }
  std::string Path(const std::string& name) { return Run.Folder.Path() + "/" + name; }
};

// Every length offset the example calls (G43 Hn after each Tn M6) is in the
// shipped controller's offset memory, with tool n's length out of its
// holder for the tools the offsets were added for.
TEST(ExampleRun, TheShippedControllerHoldsEveryHOffsetTheExampleCalls) {
  testing::FolderSession run;
  testing::ReadShippedDefinitions(run.S, run.Folder.Path());
  const OffsetMemory& offsets = run.S.Memory.Offsets;
  const std::string text = ShippedExample();
  const std::regex call("G43 H([0-9]+)");
  int calls = 0;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), call); m != std::sregex_iterator();
       ++m, ++calls)
    EXPECT_GT(offsets.HGeometry[std::stoul((*m)[1])], 0.0f) << (*m)[0];
  EXPECT_EQ(calls, 3);
  const ToolTable& tools = run.S.Defs.Tools;
  for (size_t t : {6u, 7u}) EXPECT_EQ(offsets.HGeometry[t], tools.Shanks[t].ProtrusionLength) << t;
}

// The shipped settings have the rapid check on (INTERFERENCE=YES). With it
// at break or at stop the example runs to its end, cuts what it cuts with
// the check off, and reports nothing: no rapid touches the stock, the
// plunges stay within tool 1's cutting-load limit, and the magazine's
// tools are changed, not mounted together.
TEST(ExampleRun, ShippedExampleRunsToItsEndWithTheRapidCheckOn) {
  ExampleRun off(0);
  off.RunProgram(ShippedExample());
  ASSERT_EQ(off.S.Nc.Modal.EndState, kEndHandled);
  const double removed = off.Removed();
  // The face (100 x 100 x 0.5); the pocket below it (60 x 40 with corners
  // of radius 5, from Z-0.5 to Z-5.5); sixteen holes of D8.5 whose point
  // (bottom angle 31 degrees, a cone 4.25 tan 31 high) reaches Z-12: eight
  // from the face (11.5 deep), four from the pocket's floor (6.5), four on
  // its side walls (half of each, 9 on average). The chamfer's point stays
  // inside the holes. The columns at work pitch 1 come within 1 %.
  const double face = 100 * 100 * 0.5, pocket = (60 * 40 - (4 - kPi) * 25) * 5;
  const double section = kPi * 4.25 * 4.25, point = section * 4.25 * std::tan(31 * kPi / 180) * 2 / 3;
  const double holes = 8 * (section * 11.5 - point) + 4 * (section * 6.5 - point) +
                       4 * (section * 9.0 - point);
  EXPECT_NEAR(removed, face + pocket + holes, 0.01 * (face + pocket + holes));

  for (int32_t setting : {1, 2}) {
    ExampleRun r(setting);
    r.RunProgram(ShippedExample());
    EXPECT_EQ(r.S.Nc.Modal.EndState, kEndHandled) << setting;
    EXPECT_EQ(r.S.Nc.Modal.AlarmCode, kAlarmNone) << setting;
    EXPECT_EQ(r.S.Pass->Steps.End, MoveEnd::kNone) << setting;
    EXPECT_EQ(r.S.Nc.Modal.Tools.CurrentToolNumber, 7) << setting;
    EXPECT_EQ(r.Removed(), removed) << setting;
    EXPECT_FALSE(std::filesystem::exists(r.Path("interference.txt"))) << setting;
    EXPECT_FALSE(std::filesystem::exists(r.Path("limitp.txt"))) << setting;
    EXPECT_EQ(r.S.Pass->Reports.Stops.StatusText, "") << setting;
  }
}

// The first two pocket levels entered at rapid feed: each plunge cuts the
// faced top (Z-0.5) down to its level. At the stop value each plunge is one
// entry naming RAPID(G00) at its line, and the run goes on to the end; at
// the break value the run ends at the first.
TEST(ExampleRun, RapidPlungesAreReportedAtStopAndEndTheRunAtBreak) {
  std::string text = ShippedExample();
  text = ReplaceLine(text, "G01 Z-1.5 F300", "G00 Z-1.5");
  text = ReplaceLine(text, "G01 Z-2.5 F300", "G00 Z-2.5");
  // The rows after each plunge are fed as before.
  for (int32_t i = 0; i < 2; ++i) text = ReplaceLine(text, "F1000", "G01 F1000");

  ExampleRun stop(2);
  stop.RunProgram(text);
  EXPECT_EQ(stop.S.Nc.Modal.EndState, kEndHandled);
  EXPECT_EQ(stop.S.Nc.Modal.Tools.CurrentToolNumber, 7);
  // Lines 41 and 67 of the example, each written with its line end.
  EXPECT_EQ(ReadFileBytes(stop.Path("interference.txt")).value_or("none"),
            "<<< INTERFERENCE INFORMATION >>>\n"
            "--------------\n"
            "RAPID(G00)\n"
            "41:G00 Z-1.5\n"
            "\n"
            "RAPID(G00)\n"
            "67:G00 Z-2.5\n");
  EXPECT_EQ(stop.S.Pass->Reports.Stops.StatusText, "RAPID(G00)干渉");

  ExampleRun brk(1);
  brk.RunProgram(text);
  EXPECT_NE(brk.S.Nc.Modal.EndState, kEndHandled);
  EXPECT_EQ(brk.S.Pass->Steps.End, MoveEnd::kStopHit);
  EXPECT_EQ(brk.S.Control.RunEndedByCheck.load(), 1);
  EXPECT_EQ(brk.S.Nc.Modal.MainLineCounter, 41u);
  EXPECT_FALSE(std::filesystem::exists(brk.Path("interference.txt")));
  EXPECT_LT(brk.Removed(), stop.Removed());
}

}  // namespace
}  // namespace vestan
