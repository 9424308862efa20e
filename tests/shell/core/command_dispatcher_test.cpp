// The command dispatcher in process, headless: a session over a copy of the
// shipped definitions in a scratch folder (its settings file is written
// there), the commands sent as the batch worker sends them.
#include "shell/core/command_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/model_flag_passes.h"
#include "modelfiles/dme_file.h"
#include "platform/profile_file.h"
#include "platform/recording_host.h"
#include "simulation/session_files.h"
#include "simulation/verify_report.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"
#include "support/stl_meshes.h"

namespace vestan {
namespace {

// G54 lies at machine (-50, -50, 110) in the shipped controller.
constexpr double kG54[3] = {-50, -50, 110};

// Cuts at Z-4 from (10, 20) to (40, 30), then rises to Z-1 cutting.
constexpr const char* kTwoDepthProgram =
    "%\nG90 G54 G00 X10. Y20. Z5.\nG01 Z-4. F500\nX40. Y30.\nZ-1.\nG00 Z5.\nM30\n%\n";
// A 2.5D pocket: plunged from Z5 to Z-5 at (10, 10), its outline cut at
// that depth up to (30, 25).
constexpr const char* kPocketProgram =
    "%\nG90 G54 G00 X10. Y10. Z5.\nG01 Z-5. F300\nX30.\nY25.\nX10.\nY10.\nG00 Z5.\nM30\n%\n";
// Rapid moves only: (10, 20, 5), then (30, 40, 2).
constexpr const char* kRapidProgram = "%\nG90 G54 G00 X10. Y20. Z5.\nX30. Y40. Z2.\nM30\n%\n";

class RecordingRunPort final : public RunCommandPort {
 public:
  std::vector<int32_t> Modes;
  bool Busy = false;
  void RunCommand(int32_t cuttingMode) override { Modes.push_back(cuttingMode); }
  bool RunBusy() const override { return Busy; }
};

// The headless answers, but the stock dialogs say OK as a person would;
// the other dialogs record their openings and give the answers set here.
class StockDialogs final : public HeadlessDialogs {
 public:
  using HeadlessDialogs::HeadlessDialogs;
  bool EditStock(int32_t, StockDefinition&, int32_t&) override { return true; }
  bool Open(int32_t command) override {
    Opened.push_back(command);
    return OpenAnswer;
  }
  // The work file dialog picks WorkFile with the ticks of Ticks.
  bool SelectWorkFile(std::string& path, WorkLoadOptions& options) override {
    Opened.push_back(32784);
    path = WorkFile;
    options.Reverse = Ticks.Reverse;
    options.Rotate = Ticks.Rotate;
    return !WorkFile.empty();
  }
  bool EditReverse(WorkLoadOptions&) override {
    Opened.push_back(159);
    return ReverseAnswer;
  }
  bool EditRotaryCentre(WorkLoadOptions& options) override {
    Opened.push_back(235);
    options.RotaryAngle = RotaryAngle;
    return true;
  }
  bool EditModelRead(int32_t dialog, ModelLoadSettings&) override {
    Opened.push_back(dialog);
    return ReadAnswer;
  }
  std::vector<int32_t> Opened;
  bool OpenAnswer = false;
  std::string WorkFile;
  WorkLoadOptions Ticks;
  bool ReverseAnswer = true;
  double RotaryAngle = 90.0;
  bool ReadAnswer = true;
};

struct World {
  testing::ScratchFolder Folder;
  testing::CurrentFolder Here{Folder.Path()};
  RecordingHost Host;
  std::unique_ptr<Session> Owned;
  ShellState Shell;
  std::unique_ptr<StockDialogs> Dialogs;
  std::unique_ptr<CommandDispatcher> D;

  World() {
    std::filesystem::copy(VESTAN_DATA_DIR, Folder / "data", std::filesystem::copy_options::recursive);
    Owned = std::make_unique<Session>(Host);
    Session& s = *Owned;
    ReadSettingsInto(s, {Folder.Path(), Folder / "data/vestan9", 0});
    EXPECT_EQ(ReadToolTableInto(s).State, kFileRead);
    EXPECT_EQ(ReadControllerInto(s).State, kFileRead);
    EXPECT_EQ(ReadMachineInto(s, 1).State, kFileRead);
    EXPECT_EQ(ReadToolTableInto(s).State, kFileRead);
    s.App.EnglishMode = 1;
    Dialogs = std::make_unique<StockDialogs>(s.CommandLine);
    D = std::make_unique<CommandDispatcher>(s, Shell, *Dialogs);
    D->Automation.store(1);
    // As the main window starts: nothing selected yet.
    EnableNcMenuItems(Shell.Menu, false);
  }
  Session& S() { return *Owned; }
  DexelModel& Work() { return S().Work.Workpiece(); }

  // Sends a command with its file name in place, as the batch worker does.
  int64_t WithFile(int32_t id, std::string& slot, const std::string& path) {
    slot = path;
    Shell.PathPreset = 1;
    return D->Execute(id, 0);
  }
  int64_t Select(const std::string& program, int32_t id = 32771) {
    return WithFile(id, S().Defs.Paths.NcProgram, Folder.Write("prog.nc", program));
  }
  // The workpiece from "INITIAL SIZE", as a load with a box stock given
  // on the command line and no file.
  void BuildInitialBox(const std::array<double, 6>& box) {
    S().Defs.Settings.Stock.Box = box;
    S().CommandLine.stockShapeKind.store(1);
    S().Defs.Paths.WorkLoad.clear();
    ASSERT_EQ(D->Execute(32784, 0), 1);
    ASSERT_EQ(S().Work.WorkPresent, 1);
  }
  // The pitch fixed, and a 20 x 10 x 5 box from the origin as an STL file.
  std::string BoxStlAtPitch(double pitch) {
    PitchSettings& p = S().Defs.Settings.Pitch;
    p.AutoPitch = 0;
    p.WorkPitchSetting = p.WorkPitch = pitch;
    return Folder.Write("part.stl", testing::AsciiStl(testing::BoxMesh({0, 0, 0}, {20, 10, 5})));
  }
  bool Logged(const std::string& text) const {
    const std::vector<std::string> lines = Host.Texts(RecordingHost::Call::kLog);
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
  // The material's world bounds.
  std::array<double, 6> Bounds() {
    Vec3 lo, hi;
    ComputeMaterialBounds(Work(), lo, hi);
    return {lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]};
  }
};

void ExpectBox(const std::array<double, 6>& actual, const std::array<double, 6>& expected,
               double tolerance, const char* what) {
  for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " " << i;
}

TEST(SelectNcProgram, AMissingFileIsLoggedUnderAutomationAndShownOtherwise) {
  World w;
  const std::string missing = w.Folder / "nothere.nc";
  EXPECT_EQ(w.WithFile(32771, w.S().Defs.Paths.NcProgram, missing), 0);
  EXPECT_TRUE(w.Logged(missing + " - The NC data does not exist."));
  EXPECT_EQ(w.Shell.NcSelected, 0);
  EXPECT_EQ(w.Shell.PathPreset, 0);
  EXPECT_FALSE(FindCommand(w.Shell.Menu, 32776)->Enabled);
  EXPECT_TRUE(w.Host.Messages.empty());

  w.D->Automation.store(0);
  EXPECT_EQ(w.WithFile(32772, w.S().Defs.Paths.NcProgram, missing), 0);
  ASSERT_EQ(w.Host.Messages.size(), 1u);
  EXPECT_EQ(w.Host.Messages[0].Caption, "The NC data does not exist.");
  EXPECT_EQ(w.Host.Messages[0].Text, missing);
  EXPECT_EQ(w.Shell.NcSelected, 0);
}

// A file found only beside the program is offered with a question, which
// automation never asks: it takes the answer no.
TEST(SelectNcProgram, TheProgramFoldersFileIsNotTakenUnasked) {
  World w;
  w.S().Defs.Paths.ProgramFolder = w.Folder / "data/";
  w.Folder.Write("data/side.nc", kRapidProgram);
  w.S().Defs.Paths.NcFolder = w.Folder / "elsewhere/";
  EXPECT_EQ(w.WithFile(32771, w.S().Defs.Paths.NcProgram, "side.nc"), 0);
  EXPECT_TRUE(w.Host.Messages.empty());
  EXPECT_TRUE(w.Logged("Is the one of the program side folder acceptable?"));
  EXPECT_EQ(w.Shell.NcSelected, 0);

  w.D->Automation.store(0);
  w.Host.Answers.push_back(MessageAnswer::kYes);
  EXPECT_EQ(w.WithFile(32771, w.S().Defs.Paths.NcProgram, "side.nc"), 1);
  EXPECT_EQ(w.S().Defs.Paths.NcProgram, w.Folder / "data/side.nc");
  EXPECT_EQ(w.Shell.NcSelected, 1);
}

TEST(SelectNcProgram, SelectingEnablesTheProgramsCommandsAndClearsThePreset) {
  World w;
  EXPECT_EQ(w.Select(kRapidProgram), 1);
  EXPECT_EQ(w.Shell.NcSelected, 1);
  EXPECT_EQ(w.Shell.PathPreset, 0);
  for (int32_t id : {32773, 32774, 32775, 32776, 32777, 32778})
    EXPECT_TRUE(FindCommand(w.Shell.Menu, id)->Enabled) << id;
  EXPECT_EQ(w.S().Work.WorkPresent, 0);  // 32771 builds no workpiece
}

// 32772's box: the cutting moves' extent (machine coordinates, start and
// end of each) widened by the X and Y margins, Z from the lowest to the
// highest cutting point;
// without cutting moves all moves' X and Y and a 10 high box 5 below them.
TEST(SelectNcProgram, SelectAndDefineFitsABoxToTheProgram) {
  struct Case {
    const char* Name;
    const char* Program;
    std::array<double, 6> Box;
  };
  const Case cases[] = {
      // From the lowest to the highest cutting point (the tip after each
      // cutting move): Z-4 to Z-1, so the rapid approach at Z5 stays clear.
      {"cutting", kTwoDepthProgram,
       {10 + kG54[0] - 2, 20 + kG54[1] - 3, -4 + kG54[2], 40 + kG54[0] + 2, 30 + kG54[1] + 3,
        -1 + kG54[2]}},
      // Every cut ends at Z-5: the box reaches up to where the plunge began.
      {"pocket at one depth", kPocketProgram,
       {10 + kG54[0] - 2, 10 + kG54[1] - 3, -5 + kG54[2], 30 + kG54[0] + 2, 25 + kG54[1] + 3,
        5 + kG54[2]}},
      {"rapid only", kRapidProgram,
       {10 + kG54[0] - 2, 20 + kG54[1] - 3, 2 + kG54[2] - 15, 30 + kG54[0] + 2, 40 + kG54[1] + 3,
        2 + kG54[2] - 5}},
  };
  for (const Case& c : cases) {
    World w;
    w.S().Defs.Settings.WorkMargin = {2.0f, 3.0f, 0.0f};
    w.S().Defs.Settings.Pitch.AutoPitch = 0;
    w.S().Defs.Settings.Pitch.WorkPitchSetting = 0.5;
    ASSERT_EQ(w.Select(c.Program, 32772), 1) << c.Name;
    ASSERT_EQ(w.S().Work.WorkPresent, 1) << c.Name;
    const WorkExtent& e = w.S().Work.Extent;
    ExpectBox({e.Min[0], e.Min[1], e.Min[2], e.Max[0], e.Max[1], e.Max[2]}, c.Box, 1e-9, c.Name);
    ExpectBox(w.Bounds(), c.Box, 0.5, c.Name);
    EXPECT_EQ(w.D->NcErrorReported.load(), 0);
  }
}

// A program whose cutting moves all lie at one height gives no box: the
// program is selected and the reason logged.
TEST(SelectNcProgram, AFlatCuttingPathFitsNoBox) {
  World w;
  EXPECT_EQ(w.Select("%\nG90 G54 G00 X10. Y20. Z-4.\nG01 X40. F500\nM30\n%\n", 32772), 1);
  EXPECT_EQ(w.Shell.NcSelected, 1);
  EXPECT_EQ(w.S().Work.WorkPresent, 0);
  EXPECT_TRUE(w.Logged("The cutting moves lie at one height"));
}

// With a workpiece present 32772 asks before replacing it; automation never
// asks and keeps it, a person may say yes.
TEST(SelectNcProgram, SelectAndDefineKeepsTheWorkpieceUnlessTheAnswerIsYes) {
  struct Case {
    bool Automated;
    MessageAnswer Answer;
    bool Replaced;
  };
  for (const Case& c : {Case{true, MessageAnswer::kYes, false}, Case{false, MessageAnswer::kNo, false},
                        Case{false, MessageAnswer::kYes, true}}) {
    World w;
    w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
    const std::array<double, 6> before = w.Bounds();
    w.D->Automation.store(c.Automated ? 1 : 0);
    w.Host.Answers.push_back(c.Answer);
    EXPECT_EQ(w.Select(kTwoDepthProgram, 32772), 1);
    EXPECT_EQ(w.Shell.NcSelected, 1);
    EXPECT_EQ(w.Host.Messages.size(), c.Automated ? 0u : 1u);
    if (!c.Automated) {
      EXPECT_EQ(w.Host.Messages[0].Text, "Do you update the work?");
    }
    EXPECT_EQ(w.Bounds() != before, c.Replaced) << c.Automated << " " << c.Replaced;
  }
}

TEST(VerifyReport, WrittenForACleanProgramAndRefusedWithNcErrors) {
  World w;
  EXPECT_EQ(w.D->Execute(32773, 1), 0);  // nothing selected yet
  ASSERT_EQ(w.Select(kTwoDepthProgram), 1);
  EXPECT_EQ(w.D->Execute(32773, 1), 1);
  EXPECT_TRUE(std::filesystem::exists(VerifyReportPath(w.S().Defs)));

  // An arc whose end lies off its circle is an NC error.
  const char* arc = "%\nG90 G54 G00 X0 Y0 Z5.\nG02 X10. Y0. I3. J0. F100\nM30\n%\n";
  w.S().CommandLine.runMode.store(5);
  ASSERT_EQ(w.Select(arc), 1);
  EXPECT_EQ(w.D->Execute(32773, 1), -1);
  EXPECT_EQ(w.D->NcErrorReported.load(), 1);
  EXPECT_TRUE(w.Logged(w.Folder / "prog.nc"));
  EXPECT_TRUE(w.Host.Messages.empty());
  EXPECT_EQ(w.Select(arc, 32772), -1);
  EXPECT_EQ(w.Shell.NcSelected, 1);  // selected all the same
}

// A run reads the program, the definitions and the workpiece: nothing
// changes them under it.
TEST(RunCommands, CommandsThatChangeWhatARunReadsWaitForItsEnd) {
  World w;
  RecordingRunPort port;
  w.D->SetRunPort(&port);
  ASSERT_EQ(w.Select(kRapidProgram), 1);
  port.Busy = true;
  for (int32_t id : {32771, 32773, 32784, 32786, 32781, 32898})
    EXPECT_EQ(w.D->Execute(id, 0), 0) << id;
  EXPECT_TRUE(w.Logged("refused: a run is going"));
  EXPECT_EQ(w.S().Defs.Controller.ToolCenterControl[0], 0);
  EXPECT_EQ(w.D->Execute(32776, 0), 1);  // the run's own mode may change
  EXPECT_EQ(w.D->Execute(32856, 0), 1);
}

// What the run control is handed: nothing without it or before a selection.
TEST(RunCommands, GoToTheRunControlOnlyAfterASelection) {
  World w;
  EXPECT_EQ(w.D->Execute(32774, 0), 0);
  EXPECT_TRUE(w.Logged("no run control"));
  RecordingRunPort port;
  w.D->SetRunPort(&port);
  EXPECT_EQ(w.D->Execute(32774, 0), 0);
  EXPECT_TRUE(w.Logged("no NC program selected"));
  EXPECT_TRUE(port.Modes.empty());
  ASSERT_EQ(w.Select(kRapidProgram), 1);
  EXPECT_EQ(w.D->Execute(32774, 0), 1);
  EXPECT_EQ(w.D->Execute(32775, 0), 1);
  EXPECT_EQ(w.D->Execute(32776, 0), 1);
  EXPECT_EQ(port.Modes, (std::vector<int32_t>{1, 2, 3}));
}

// A saved workpiece loads back as the same model, in every model format
// the save writes; the compressed one leaves no plain file behind.
TEST(WorkFiles, SaveThenLoadGivesTheSameModel) {
  for (const char* name : {"w.dme", "w.DMEZ"}) {
    World w;
    w.S().Defs.Settings.Pitch.AutoPitch = 0;
    w.S().Defs.Settings.Pitch.WorkPitchSetting = 2.0;
    w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
    SetDexelMarks(w.Work());  // flags travel too
    const std::string saved = BuildDmeImage(w.Work(), 0, w.S().Frame);
    ASSERT_EQ(w.WithFile(32786, w.S().Defs.Paths.WorkSave, w.Folder / name), 1) << name;
    EXPECT_EQ(w.Shell.PathPreset, 0);
    ASSERT_EQ(w.D->Execute(32789 + 1, 0), 1);  // peel: the loaded model must bring them back
    ASSERT_EQ(w.WithFile(32784, w.S().Defs.Paths.WorkLoad, w.Folder / name), 1) << name;
    EXPECT_EQ(BuildDmeImage(w.Work(), 0, w.S().Frame), saved) << name;
    EXPECT_EQ(w.S().Defs.Paths.WorkLoad, w.Folder / name);
    EXPECT_FALSE(std::filesystem::exists(w.Folder / "tmp.dme"));
  }
}

// The command line's STL kinds: text, binary, and binary with its numbers
// byte-swapped (the facet count after the 80-byte header shows which).
TEST(WorkFiles, EverySaveKindOfTheCommandLine) {
  World w;
  w.S().Defs.Settings.Pitch.AutoPitch = 0;
  w.S().Defs.Settings.Pitch.WorkPitchSetting = 5.0;
  w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
  struct Case {
    int32_t Kind;
    const char* Name;
  };
  for (const Case& c : {Case{kSaveStlText, "text.stl"}, Case{kSaveStlBinary, "binary.stl"},
                        Case{kSaveStlBinaryBigEndian, "swapped.stl"}}) {
    const int32_t kind = c.Kind;
    w.S().CommandLine.saveKind.store(kind);
    const std::string path = w.Folder / c.Name;
    ASSERT_EQ(w.WithFile(32786, w.S().Defs.Paths.WorkSave, path), 1) << kind;
    const std::string bytes = testing::ScratchFolder::Read(path);
    ASSERT_GT(bytes.size(), 84u) << kind;
    if (kind == kSaveStlText) {
      EXPECT_EQ(bytes.rfind("solid", 0), 0u);
      continue;
    }
    uint32_t count = 0;
    for (size_t i = 0; i < 4; ++i) {
      const uint32_t byte = static_cast<uint8_t>(bytes[80 + (kind == kSaveStlBinary ? i : 3 - i)]);
      count |= byte << (8 * i);
    }
    EXPECT_EQ(bytes.size(), 84u + 50u * count) << kind;
  }
}

// The definition files the file commands read, each with the path in place;
// a file that is not there reads nothing and says so.
TEST(DefinitionCommands, ReadTheNamedFile) {
  World w;
  struct Case {
    int32_t Id;
    std::string* Slot;
    std::string Path;
  };
  Session& s = w.S();
  for (const Case& c : {Case{32781, &s.Defs.Paths.ToolTable, w.Folder / "data/atc.ttl"},
                        Case{32782, &s.Defs.Paths.Controller, w.Folder / "data/hanuc.ctl"},
                        Case{32783, &s.Defs.Paths.Machine, w.Folder / "data/oguma5x.mtl"}}) {
    EXPECT_EQ(w.WithFile(c.Id, *c.Slot, c.Path), 1) << c.Id;
    EXPECT_EQ(w.Shell.PathPreset, 0);
    EXPECT_EQ(w.WithFile(c.Id, *c.Slot, w.Folder / "none"), 0) << c.Id;
  }
  // The five-axis machine's rotary axes are in force.
  EXPECT_EQ(w.WithFile(32783, s.Defs.Paths.Machine, w.Folder / "data/oguma5x.mtl"), 1);
  EXPECT_NE(s.Defs.Kinematics.RotaryType, kRotaryNone);
}

// Difference painting loads the basic model named on the command line onto
// the workpiece's grid and marks where the workpiece stands out of it: the
// top 10 above the basic model's, not the common bottom.
TEST(WorkpieceCommands, DifferencePaintingMarksWhatStandsOutOfTheBasicModel) {
  World w;
  w.S().Defs.Settings.Pitch.AutoPitch = 0;
  w.S().Defs.Settings.Pitch.WorkPitchSetting = 2.0;
  w.BuildInitialBox({0, 0, 80, 100, 50, 110});
  EXPECT_EQ(w.D->Execute(32893, 0), 0);  // no basic model named
  w.S().Defs.Paths.BasicModel =
      w.Folder.Write("basic.stl", testing::AsciiStl(testing::BoxMesh({0, 0, 80}, {100, 50, 100})));
  ASSERT_EQ(w.D->Execute(32893, 0), 1);
  EXPECT_EQ(w.S().Work.BasicModelLoaded, 1);
  const DexelSet& z = w.Work().ZSet();
  const int32_t column = ColumnIndexZ(w.Work(), 10, 10);
  const int32_t count = z.Counts[static_cast<size_t>(column)];
  ASSERT_EQ(count, 2);
  const size_t at = static_cast<size_t>(column) * static_cast<size_t>(z.Stride);
  EXPECT_EQ(z.Flags[at] & kFlagMark, 0);
  EXPECT_EQ(z.Flags[at + 1] & kFlagMark, kFlagMark);
}

TEST(WorkFiles, AFileThatCannotBeReadKeepsTheOldWorkpiece) {
  World w;
  w.S().Defs.Settings.Pitch.AutoPitch = 0;
  w.S().Defs.Settings.Pitch.WorkPitchSetting = 2.0;
  w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
  const std::array<double, 6> before = w.Bounds();
  const std::string bad = w.Folder.Write("bad.dme", "V1.0M not a model");
  EXPECT_EQ(w.WithFile(32784, w.S().Defs.Paths.WorkLoad, bad), 0);
  EXPECT_EQ(w.S().Work.WorkPresent, 1);
  EXPECT_EQ(w.Bounds(), before);
  // A compressed file where the codec cannot be had.
  w.D->Compression.Available = 1;
  ASSERT_EQ(w.WithFile(32786, w.S().Defs.Paths.WorkSave, w.Folder / "keep.DMEZ"), 1);
  w.D->Compression.Available = 0;
  w.D->Automation.store(0);
  EXPECT_EQ(w.WithFile(32784, w.S().Defs.Paths.WorkLoad, w.Folder / "keep.DMEZ"), 0);
  ASSERT_FALSE(w.Host.Messages.empty());
  EXPECT_EQ(w.Host.Messages.back().Text, "Please run on Windows 8 or later.");
  EXPECT_EQ(w.Bounds(), before);
  w.D->Automation.store(1);
  const std::string missing = w.Folder / "gone.dme";
  EXPECT_EQ(w.WithFile(32784, w.S().Defs.Paths.WorkLoad, missing), 0);
  EXPECT_TRUE(w.Logged(missing + " - The Work data does not exist."));
  EXPECT_EQ(w.Bounds(), before);
  EXPECT_EQ(w.Shell.PathPreset, 0);
}

// The stock tails: the shapes of "INITIAL SIZE2" and "CYLINDER", the
// control point by "NEW CONTROL POINT", written back to the settings file.
TEST(StockCommands, BuildTheStockAndPlaceTheControlPoint) {
  World w;
  Settings& settings = w.S().Defs.Settings;
  settings.Pitch.AutoPitch = 0;
  settings.Pitch.WorkPitchSetting = 1.0;
  // Centred in X on G54, from its front in Y, hanging below its top in Z.
  settings.Stock.Reference = {0, -1, 1};
  settings.Stock.ReferenceSizes = {40, 1, 2, 30, 0, 0, 20, 0, 5};
  ASSERT_EQ(w.D->Execute(32911, 0), 1);
  const std::array<double, 6> box{-50 - 20 - 1, -50, 110 - 20, -50 + 20 + 2, -50 + 30, 110 + 5};
  ExpectBox(w.Bounds(), box, 1e-9, "origin box");
  EXPECT_EQ(settings.Stock.Box, box);  // the two-point definition follows
  // Box top: the tool over the minimum corner, its length above the top.
  const double length = w.S().Nc.Position.ToolLength;
  EXPECT_EQ(settings.ControlPoint[0], box[0] - kG54[0]);
  EXPECT_EQ(settings.ControlPoint[1], box[1] - kG54[1]);
  EXPECT_EQ(settings.ControlPoint[2], box[5] - kG54[2] + length);
  ProfileFile file;
  ASSERT_EQ(LoadProfileFile(w.S().Defs.Paths.SettingsFile, file), kProfileLoaded);
  EXPECT_EQ(file.GetString("Define", "NEW CONTROL POINT", ""), "BOX-TOP");

  settings.NewControlPoint = 2;
  settings.SpecifiedPoint = {1, 2, 300};
  settings.Stock.CylinderAxis = 2;
  settings.Stock.Cylinder = {0, 0, 100, -20, 40, 0};  // negative length: down from the base
  ASSERT_EQ(w.D->Execute(32896, 0), 1);
  ExpectBox(w.Bounds(), {-20, -20, 80, 20, 20, 100}, 1.0, "cylinder");
  EXPECT_EQ(settings.ControlPoint[2], 300);
  ASSERT_EQ(LoadProfileFile(w.S().Defs.Paths.SettingsFile, file), kProfileLoaded);
  EXPECT_EQ(file.GetString("Define", "NEW CONTROL POINT", ""), "SPECIFY");
  // The shipped file is left alone.
  EXPECT_NE(w.S().Defs.Paths.SettingsFile.find(w.Folder.Path()), std::string::npos);
}

TEST(StockCommands, AreNotAutomated) {
  World w;
  HeadlessDialogs headless(w.S().CommandLine);
  CommandDispatcher d(w.S(), w.Shell, headless);
  for (int32_t id : {32911, 32787, 32896}) EXPECT_EQ(d.Execute(id, 0), 0) << id;
  EXPECT_EQ(w.S().Work.WorkPresent, 0);
}

TEST(StockCommands, AReversedTwoPointBoxIsRefused) {
  World w;
  w.D->Automation.store(0);
  w.S().Defs.Settings.Stock.Box = {0, 10, 0, 10, 5, 10};
  EXPECT_EQ(w.D->Execute(32787, 0), 0);
  ASSERT_EQ(w.Host.Messages.size(), 1u);
  EXPECT_EQ(w.Host.Messages[0].Text, "The maximum and the minimum of Y value are reversed.");
  EXPECT_EQ(w.S().Work.WorkPresent, 0);
}

// Paint, peel and the pen's peel change flags only; move and rotate move
// the material exactly.
TEST(WorkpieceCommands, PaintPeelMoveAndRotate) {
  World w;
  w.S().Defs.Settings.Pitch.AutoPitch = 0;
  w.S().Defs.Settings.Pitch.WorkPitchSetting = 2.0;
  for (int32_t id : {32789, 32790, 32820, 32826, 32827}) EXPECT_EQ(w.D->Execute(id, 0), 0) << id;
  w.BuildInitialBox({0, 0, 80, 100, 50, 110});
  std::vector<uint8_t>& flags = w.Work().ZSet().Flags;
  const int32_t first = w.Work().ZSet().Counts[0];
  ASSERT_GT(first, 0);
  EXPECT_EQ(w.D->Execute(32789, 0), 1);
  EXPECT_EQ(flags[0] & kFlagMark, kFlagMark);
  EXPECT_EQ(w.D->Execute(32790, 0), 1);
  EXPECT_EQ(flags[0] & kFlagMark, 0);

  flags[0] = 3 << kPenTagShift;
  flags[1] = 5 << kPenTagShift;
  w.S().CommandLine.penJob.store(3);
  EXPECT_EQ(w.D->Execute(32820, 0), 1);
  EXPECT_EQ(flags[0] >> kPenTagShift, 0);
  EXPECT_EQ(flags[1] >> kPenTagShift, 5);
  w.S().CommandLine.penJob.store(16);
  EXPECT_EQ(w.D->Execute(32820, 0), 1);
  EXPECT_EQ(flags[1] >> kPenTagShift, 0);
  w.S().CommandLine.penJob.store(0);
  EXPECT_EQ(w.D->Execute(32820, 0), 0);

  const std::array<double, 6> start = w.Bounds();
  w.S().CommandLine.moveAmount = {10, 0, -5};
  EXPECT_EQ(w.D->Execute(32827, 0), 1);
  ExpectBox(w.Bounds(), {start[0] + 10, start[1], start[2] - 5, start[3] + 10, start[4], start[5] - 5},
            1e-9, "moved");
  // A quarter turn about machine Z: (x, y) goes to (-y, x).
  const std::array<double, 6> moved = w.Bounds();
  w.S().Defs.Settings.RotationInWork = 0;
  w.S().CommandLine.rotateAxis = 2;
  w.S().CommandLine.rotateAngle = 90;
  EXPECT_EQ(w.D->Execute(32826, 0), 1);
  ExpectBox(w.Bounds(), {-moved[4], moved[0], moved[2], -moved[1], moved[3], moved[5]}, 1e-9,
            "turned");
}

TEST(Toggles, StopOptionsAndModesAreSetAndChecked) {
  World w;
  for (int32_t option = 0; option <= 4; ++option) {
    EXPECT_EQ(w.D->Execute(32853 + option, 0), 1);
    EXPECT_EQ(w.S().Defs.Controller.StopOption, option);
    for (int32_t id = 32853; id <= 32857; ++id)
      EXPECT_EQ(FindCommand(w.Shell.Menu, id)->Checked, id == 32853 + option) << option << " " << id;
  }
  for (int32_t mode = 0; mode <= 2; ++mode) {
    EXPECT_EQ(w.D->Execute(32897 + mode, 0), 1);
    EXPECT_EQ(w.S().Defs.Controller.ToolCenterControl, (std::array<int32_t, 2>{mode, mode}));
    EXPECT_TRUE(FindCommand(w.Shell.Menu, 32897 + mode)->Checked);
  }
  struct Flip {
    int32_t Id;
    std::function<int32_t()> Flag;
  };
  Session& s = w.S();
  for (const Flip& f : {Flip{32901, [&] { return s.View.Perspective; }},
                        Flip{32902, [&] { return s.Defs.Settings.RealRotation.load(); }},
                        Flip{32908, [&] { return s.Defs.Settings.RealRapid.load(); }},
                        Flip{32828, [&] { return w.D->Toggles.CoordinateAxes; }}}) {
    const int32_t before = f.Flag();
    EXPECT_EQ(w.D->Execute(f.Id, 0), 1);
    EXPECT_EQ(f.Flag(), before != 0 ? 0 : 1) << f.Id;
    EXPECT_EQ(FindCommand(w.Shell.Menu, f.Id)->Checked, f.Flag() != 0) << f.Id;
  }
  // The plug-ins' items are not the menu's 32901-32903.
  const int32_t perspective = w.S().View.Perspective;
  EXPECT_EQ(w.D->Execute(kPluginCommandFirst, 0), 0);
  EXPECT_EQ(w.S().View.Perspective, perspective);
  // The path display.
  EXPECT_EQ(w.D->Execute(32777, 0), 1);
  EXPECT_EQ(w.S().Display.PathDisplay.load(), 1);
  EXPECT_TRUE(w.S().Display.NeedsRebuild(kListPath));
  EXPECT_TRUE(FindCommand(w.Shell.Menu, 32777)->Checked);
  EXPECT_EQ(w.D->Execute(12345, 0), 0);
}

TEST(OtherCommands, ExitImageAndDialogs) {
  World w;
  EXPECT_EQ(w.D->Execute(105, 0), 0);
  int32_t exits = 0;
  w.D->Exit = [&exits] { ++exits; };
  EXPECT_EQ(w.D->Execute(105, 0), 1);
  EXPECT_EQ(exits, 1);

  // The image gets ".PNG" when its name has no such ending.
  std::vector<std::string> images;
  w.D->ImageFile = w.Folder / "view";
  EXPECT_EQ(w.D->Execute(32889, 0), 0);  // nobody can save it yet
  w.D->SaveImage = [&images](const std::string& path) {
    images.push_back(path);
    return 1;
  };
  w.D->ImageFile = w.Folder / "view";
  EXPECT_EQ(w.D->Execute(32889, 0), 1);
  w.D->ImageFile = w.Folder / "view.png";
  EXPECT_EQ(w.D->Execute(32889, 0), 1);
  EXPECT_EQ(images, (std::vector<std::string>{w.Folder / "view.PNG", w.Folder / "view.png"}));

  // A dialog nobody can answer is cancelled.
  EXPECT_EQ(w.D->Execute(32779, 0), 0);
  EXPECT_EQ(w.D->Execute(138, 0), 0);
}

// A box the program's box cannot be built at (no usable pitch): the
// program is selected, the failure told, and the command not done.
TEST(SelectNcProgram, ABoxThatCannotBeBuiltIsNotDone) {
  World w;
  w.S().Defs.Settings.Pitch.AutoPitch = 0;
  w.S().Defs.Settings.Pitch.WorkPitchSetting = 0.0;
  EXPECT_EQ(w.Select(kPocketProgram, 32772), 0);
  EXPECT_EQ(w.Shell.NcSelected, 1);
  EXPECT_EQ(w.S().Work.WorkPresent, 0);
  EXPECT_TRUE(w.Logged("Memory over! - Data size error"));
}

// The editor opens at selection when asked, for a program selected alone;
// not when a workpiece is fitted to it, nor in batch mode.
TEST(SelectNcProgram, OnlyAProgramSelectedAloneOpensInTheEditor) {
  struct Case {
    int32_t Id;
    int32_t Batch;
    bool Opens;
  };
  for (const Case& c : {Case{32771, 0, true}, Case{32772, 0, false}, Case{32771, 1, false}}) {
    World w;
    w.S().Defs.Settings.Editor.SelectOpen = 1;
    w.S().CommandLine.batchMode.store(c.Batch);
    ASSERT_EQ(w.Select(kPocketProgram, c.Id), 1) << c.Id;
    const std::vector<int32_t>& opened = w.Dialogs->Opened;
    EXPECT_EQ(std::count(opened.begin(), opened.end(), 32813), c.Opens ? 1 : 0) << c.Id << c.Batch;
  }
}

// The pitch dialog's OK: with a workpiece the new pitch waits for its next
// definition, which the user is told; without one nothing is said.
TEST(OtherCommands, ThePitchDialogTellsThatAWorkpieceKeepsItsPitch) {
  World w;
  w.D->Automation.store(0);
  w.Dialogs->OpenAnswer = true;
  EXPECT_EQ(w.D->Execute(138, 0), 1);
  EXPECT_TRUE(w.Host.Messages.empty());
  w.D->Automation.store(1);
  w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
  w.D->Automation.store(0);
  EXPECT_EQ(w.D->Execute(138, 0), 1);
  ASSERT_EQ(w.Host.Messages.size(), 1u);
  EXPECT_EQ(w.Host.Messages[0].Text, "Work pitch is reflected, When redefining work.");
  EXPECT_EQ(w.Host.Messages[0].Caption, "VESTAN9");
}

// The menu switches a run reads move by move change while it reads them
// (ThreadSanitizer shows any access that is not atomic).
TEST(Toggles, SwitchesARunReadsChangeSafelyWhileItRuns) {
  World w;
  RecordingRunPort port;
  w.D->SetRunPort(&port);
  port.Busy = true;
  Session& s = w.S();
  const int32_t rotation = s.Defs.Settings.RealRotation;
  std::atomic<bool> done{false};
  std::atomic<int64_t> seen{0};
  std::thread run([&] {
    while (!done.load()) {
      seen += s.Defs.Controller.StopOption + s.Defs.Settings.RealRotation +
              s.Defs.Settings.RealRapid + s.Defs.Settings.SoundOn;
    }
  });
  for (int32_t round = 0; round < 50; ++round) {
    for (int32_t id : {32853, 32854, 32855, 32856, 32857, 32902, 32908, 32794})
      EXPECT_EQ(w.D->Execute(id, 0), 1) << id;
  }
  done.store(true);
  run.join();
  EXPECT_EQ(s.Defs.Controller.StopOption, 4);
  EXPECT_EQ(s.Defs.Settings.RealRotation, rotation);  // switched an even number of times
}

// The command line's move and scale of its STL work file, in the order the
// file is read: scaled about the centre, then moved; the headless read
// settings keep them. A file picked in the dialog does not take them, and a
// DME file is not moved (the log says so).
TEST(WorkFiles, TheCommandLinesMoveAndScalePlaceItsStlFile) {
  World w;
  Session& s = w.S();
  const std::string stl = w.BoxStlAtPitch(0.5);
  ModelFileOptions& options = s.CommandLine.workFileOptions;
  options.MoveOn = {1, 0, 0};
  options.Move = {10, 0, 0};
  options.ScaleOn = {0, 0, 1};
  options.ScaleRate = {1, 1, 2};
  options.ScaleCentre = {0, 0, 1};
  s.CommandLine.workLoadRequested.store(1);
  HeadlessDialogs headless(s.CommandLine);
  CommandDispatcher d(s, w.Shell, headless);
  d.Automation.store(1);
  s.Defs.Paths.WorkLoad = stl;
  ASSERT_EQ(d.Execute(32784, 0), 1);
  ExpectBox(w.Bounds(), {10, 0, -1, 30, 10, 9}, 0.5, "command line's file");

  w.D->Automation.store(0);
  w.Dialogs->WorkFile = stl;
  ASSERT_EQ(w.D->Execute(32784, 0), 1);
  ExpectBox(w.Bounds(), {0, 0, 0, 20, 10, 5}, 0.5, "picked file");

  w.D->Automation.store(1);
  ASSERT_EQ(w.WithFile(32786, s.Defs.Paths.WorkSave, w.Folder / "part.dme"), 1);
  ASSERT_EQ(w.WithFile(32784, s.Defs.Paths.WorkLoad, w.Folder / "part.dme"), 1);
  ExpectBox(w.Bounds(), {0, 0, 0, 20, 10, 5}, 0.5, "DME file");
  EXPECT_TRUE(w.Logged("the move and scale options are for STL files; not applied."));
}

// The dialogs of a workpiece load: the file dialog's ticks open the reverse
// settings and the rotary centre (whose angle is kept with its sine and
// cosine; the rotate request ends with the load), then the read settings
// of the file's kind. Cancelling any of them keeps the old workpiece.
TEST(WorkFiles, TheLoadsDialogsFollowTheTicksAndTheFileKind) {
  World w;
  Session& s = w.S();
  const std::string stl = w.BoxStlAtPitch(1.0);
  w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
  ASSERT_EQ(w.WithFile(32786, s.Defs.Paths.WorkSave, w.Folder / "box.dme"), 1);
  const std::array<double, 6> box = w.Bounds();
  w.D->Automation.store(0);
  StockDialogs& dialogs = *w.Dialogs;
  dialogs.WorkFile = stl;
  dialogs.Ticks.Reverse = dialogs.Ticks.Rotate = 1;
  dialogs.RotaryAngle = 30;
  ASSERT_EQ(w.D->Execute(32784, 0), 1);
  EXPECT_EQ(dialogs.Opened, (std::vector<int32_t>{32784, 159, 235, 282}));
  EXPECT_NEAR(w.Shell.WorkLoad.RotarySin, 0.5, 1e-12);
  EXPECT_NEAR(w.Shell.WorkLoad.RotaryCos, std::sqrt(3.0) / 2, 1e-12);
  EXPECT_EQ(w.Shell.WorkLoad.Rotate, 0);

  struct Cancel {
    bool Reverse, Read;
  };
  for (const Cancel& c : {Cancel{false, true}, Cancel{true, false}}) {
    w.D->Automation.store(1);
    w.BuildInitialBox({-50, -50, 80, 50, 50, 110});
    w.D->Automation.store(0);
    dialogs.ReverseAnswer = c.Reverse;
    dialogs.ReadAnswer = c.Read;
    EXPECT_EQ(w.D->Execute(32784, 0), 0);
    EXPECT_EQ(w.Bounds(), box);
    EXPECT_EQ(w.Shell.WorkLoad.Reverse, c.Reverse ? 1 : 0);
    EXPECT_EQ(w.Shell.WorkLoad.Rotate, 0);
  }
  dialogs.ReverseAnswer = dialogs.ReadAnswer = true;
  dialogs.Ticks = {};

  // Which read settings a file kind is asked: STL unless "STL SELECT" is
  // off; DME only with "DME SELECT" on and the work frame shifted.
  struct Case {
    std::string File;
    int32_t StlSelect, DmeSelect, Shifted;
    int32_t Dialog;  // 0 none
  };
  const std::string dme = w.Folder / "box.dme";
  for (const Case& c : {Case{stl, 1, 0, 0, 282}, Case{stl, 0, 0, 0, 0}, Case{dme, 1, 1, 1, 288},
                        Case{dme, 1, 1, 0, 0}, Case{dme, 1, 0, 1, 0}}) {
    s.Defs.Settings.StlSelect = c.StlSelect;
    s.Defs.Settings.DmeSelect = c.DmeSelect;
    s.Frame.FrameOffset = c.Shifted;
    dialogs.Opened.clear();
    dialogs.WorkFile = c.File;
    EXPECT_EQ(w.D->Execute(32784, 0), 1) << c.File;
    const std::vector<int32_t> expected =
        c.Dialog == 0 ? std::vector<int32_t>{32784} : std::vector<int32_t>{32784, c.Dialog};
    EXPECT_EQ(dialogs.Opened, expected) << c.File << " " << c.StlSelect << c.DmeSelect << c.Shifted;
  }
}

}  // namespace
}  // namespace vestan
