#include "automation/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/controller_definition.h"
#include "platform/recording_host.h"
#include "support/current_folder.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

// The command line read from a scratch folder that is current and holds
// the NC programs the cases name.
class CommandLine : public ::testing::Test {
 protected:
  CommandLine() : here_(scratch_.Path()) {
    for (const char* name : {"prog.nc", "a b.nc", "second.nc", "O1000"})
      scratch_.Write(name, "G0X0\n");
  }

  void Parse(std::string_view line) {
    ParseCommandLine(line, {request_, paths_, settings_, difference_}, host_);
  }
  std::vector<std::string> Log() const { return host_.Texts(RecordingHost::Call::kLog); }
  bool Logged(std::string_view part) const {
    for (const std::string& line : Log())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  ScratchFolder scratch_;
  testing::CurrentFolder here_;
  CommandLineRequest request_;
  DefinitionFilePaths paths_;
  Settings settings_;
  DifferenceSettings difference_;
  RecordingHost host_;
};

TEST_F(CommandLine, AnEmptyLineAsksForNothing) {
  paths_.SettingsFile = "other.ini";
  Parse("  \t ");
  EXPECT_EQ(paths_.SettingsFile, "vestan.ini");
  EXPECT_EQ(request_.startWorker, 0);
  EXPECT_EQ(request_.runMode, 0);
  EXPECT_TRUE(Log().empty());
}

TEST_F(CommandLine, FileArgumentsByTheirEnding) {
  Parse("shop.INI colours.ctc b.TTL ignored.ttl h.ctl m.MTL job.mac w.dmez prog.nc");
  EXPECT_EQ(paths_.SettingsFile, "shop.INI");
  EXPECT_EQ(paths_.ColourFile, "colours.ctc");
  EXPECT_EQ(paths_.ToolTable, "b.TTL");  // the second is ignored
  EXPECT_EQ(paths_.Controller, "h.ctl");
  EXPECT_EQ(paths_.Machine, "m.MTL");
  EXPECT_EQ(paths_.MacroFile, "job.mac");
  EXPECT_EQ(paths_.WorkLoad, "w.dmez");
  EXPECT_EQ(paths_.NcProgram, "prog.nc");
  for (const CommandLineRequest::Flag* flag :
       {&request_.settingsGiven, &request_.colourFileGiven, &request_.toolTableGiven,
        &request_.controllerGiven, &request_.machineGiven, &request_.macroGiven,
        &request_.workLoadRequested, &request_.ncProgramGiven, &request_.startWorker})
    EXPECT_EQ(*flag, 1);
  EXPECT_TRUE(Logged("a second tool table is ignored: ignored.ttl"));
}

TEST_F(CommandLine, AnNcNameThatDoesNotOpenIsJoinedWithTheNextWord) {
  Parse("a b.nc -X5n");
  EXPECT_EQ(paths_.NcProgram, "a b.nc");
  EXPECT_EQ(request_.ncProgramGiven, 1);
  EXPECT_EQ(request_.runMode, 5);
  EXPECT_EQ(request_.keepInterferenceReportClosed, 1);
  EXPECT_EQ(request_.exitCodeFlag, 1);
}

TEST_F(CommandLine, AJoinedNameMayBeOfAnotherKind) {
  Parse("my tools.ttl");
  EXPECT_EQ(paths_.ToolTable, "my tools.ttl");
  EXPECT_EQ(request_.ncProgramGiven, 0);
  EXPECT_TRUE(paths_.NcProgram.empty());
}

// The program goes on to the option: a name is never joined with it.
TEST_F(CommandLine, AnNcProgramThatNeverOpensLeavesAnEmptyNameAndTheOptions) {
  Parse("missing part.nc -X4 -T atc");
  EXPECT_TRUE(paths_.NcProgram.empty());
  EXPECT_EQ(request_.ncProgramGiven, 1);
  EXPECT_EQ(request_.runMode, 4);
  EXPECT_EQ(paths_.ToolTable, "atc.TTL");
  EXPECT_TRUE(Logged("the NC program \"missing part.nc\" cannot be opened"));
}

TEST_F(CommandLine, TheNcProgramIsFoundWhateverTheCaseOfItsName) {
  Parse("PROG.NC second.nc");
  EXPECT_EQ(paths_.NcProgram, "PROG.NC");
  EXPECT_TRUE(Logged("a second NC program is ignored: second.nc"));
}

// Every absolute path begins with "/": only "-" starts an option.
TEST_F(CommandLine, AnAbsolutePathIsAFileNotAnOption) {
  const std::string program = scratch_.Path() + "prog.nc";
  Parse(program + " /opt/shop/tools/atc.ttl -X2");
  EXPECT_EQ(paths_.NcProgram, program);
  EXPECT_EQ(paths_.ToolTable, "/opt/shop/tools/atc.ttl");
  EXPECT_EQ(request_.runMode, 2);
}

TEST_F(CommandLine, StlAxisBehindAQuotedOrUnquotedName) {
  struct Case {
    std::string_view Line;
    std::string WorkLoad;
    int32_t Axis;
  };
  const Case cases[] = {
      {"\"w.stl\"+Z", "w.stl", 3},
      {"w.stl-X", "w.stl", -1},
      {"\"my w.STL\"-y", "my w.STL", -2},
      {"w.stl+Q", "w.stl", 3},  // any other letter: Z
      {"w.stl", "w.stl", 0},
      {"-D w.stl+Y,W", "w.stl", 2},
      {"-D \"w w.stl\"-Z", "w w.stl", -3},
  };
  for (const Case& c : cases) {
    CommandLineRequest request;
    DefinitionFilePaths paths;
    Settings settings;
    ParseCommandLine(c.Line, {request, paths, settings, difference_}, host_);
    EXPECT_EQ(paths.WorkLoad, c.WorkLoad) << c.Line;
    EXPECT_EQ(settings.StlAxis, c.Axis) << c.Line;
    EXPECT_EQ(request.workLoadRequested, 1) << c.Line;
  }
}

TEST_F(CommandLine, OptionsWithTheirValues) {
  Parse(
      "-I shop -IC \"my colours\" -T atc,5 -c hanuc.ctl -M oguma -S M(1,2,3,4) "
      "-P(0.5,0.25) -(10,20,800,600) -G 3 -F15 -N -VA -D(0,1,2,10,11,12)");
  EXPECT_EQ(paths_.SettingsFile, "shop.INI");
  EXPECT_EQ(paths_.ColourFile, "my colours.CTC");
  EXPECT_EQ(paths_.ToolTable, "atc.TTL");
  EXPECT_EQ(request_.initialTool, 5);
  EXPECT_EQ(paths_.Controller, "hanuc.ctl");
  EXPECT_EQ(paths_.Machine, "oguma.MTL");
  EXPECT_EQ(settings_.ControlPoint, (std::array<double, 5>{1, 2, 3, 4, 0}));
  EXPECT_EQ(settings_.ControlPointMachine, 1);
  EXPECT_EQ(request_.controlPointGiven, 1);
  EXPECT_EQ(request_.controlPointMachine, 1);
  EXPECT_EQ(settings_.Pitch.WorkPitch, 0.5);
  EXPECT_EQ(settings_.Pitch.WorkPitchSetting, 0.5);
  EXPECT_EQ(settings_.Pitch.MovePitch, 0.25);
  EXPECT_EQ(request_.workPitchGiven, 1);
  EXPECT_EQ(request_.movePitchGiven, 1);
  EXPECT_EQ(settings_.WindowX, 10);
  EXPECT_EQ(settings_.WindowY, 20);
  EXPECT_EQ(settings_.WindowWidth, 800);
  EXPECT_EQ(settings_.WindowHeight, 600);
  EXPECT_EQ(request_.windowRectGiven, 1);
  EXPECT_EQ(request_.idealProcessor, 3);
  EXPECT_EQ(request_.infoFontHeight, 15);
  EXPECT_EQ(request_.noMenu, 1);
  EXPECT_EQ(request_.verifyMode, 1);
  EXPECT_EQ(request_.verifyAfterRun, 1);
  EXPECT_EQ(settings_.Stock.Box, (std::array<double, 6>{0, 1, 2, 10, 11, 12}));
  EXPECT_EQ(request_.stockShapeKind, 1);
  EXPECT_EQ(request_.workLoadRequested, 1);
  EXPECT_TRUE(Log().empty()) << Log().front();
}

TEST_F(CommandLine, ACylinderStockAndAControlPointOfThreeValues) {
  paths_.WorkLoad = "from before.dme";
  Parse("-D y(1,2,3,40,50,10) -S(5,6,7)");
  EXPECT_EQ(settings_.Stock.CylinderAxis, 1);
  EXPECT_EQ(settings_.Stock.Cylinder, (std::array<double, 6>{1, 2, 3, 40, 50, 10}));
  EXPECT_EQ(request_.stockShapeKind, 3);
  EXPECT_TRUE(paths_.WorkLoad.empty());
  EXPECT_EQ(settings_.ControlPoint, (std::array<double, 5>{5, 6, 7, 0, 0}));
  EXPECT_EQ(request_.controlPointMachine, 0);
}

TEST_F(CommandLine, UnknownOptionsAndPitchesThatAreNoPitchAreSkipped) {
  Parse("-Q -Zfoo -P(0,-1) -T -X9 prog.nc");
  EXPECT_EQ(request_.workPitchGiven, 0);
  EXPECT_EQ(request_.movePitchGiven, 0);
  EXPECT_EQ(request_.toolTableGiven, 0);
  EXPECT_EQ(paths_.NcProgram, "prog.nc");
  EXPECT_EQ(request_.runMode, 0);
  EXPECT_TRUE(Logged("the option -Q is unknown and skipped"));
  EXPECT_TRUE(Logged("the option -Z is unknown and skipped"));
  EXPECT_TRUE(Logged("-T needs a file name"));
  EXPECT_TRUE(Logged("-X needs a run mode"));
}

// Run modes, saves and jobs after the reconciliation at the end.
TEST_F(CommandLine, RunModesSavesAndJobs) {
  struct Case {
    std::string_view Line;
    int32_t RunMode, SelectOnly, KeepLength, SaveKind, Batch, Silent, Worker, Verify;
  };
  const Case cases[] = {
      {"prog.nc -X1", 1, 0, 0, 0, 0, 0, 1, 0},
      {"prog.nc -X20", 2, 1, 0, 0, 0, 0, 1, 0},
      {"prog.nc -X 30n", 3, 1, 1, 0, 0, 0, 1, 0},
      {"prog.nc -X4n", 4, 0, 1, 0, 0, 0, 1, 0},
      {"-X4", 0, 0, 0, 0, 0, 0, 0, 0},  // no NC program: mode 0
      {"prog.nc -X6", 6, 0, 0, 0, 1, 1, 1, 0},
      {"prog.nc -X1 -O out", 1, 0, 0, 0, 0, 0, 1, 0},  // X1 drops the save
      {"prog.nc -X5 -O out.stl,b2", 5, 0, 0, 4, 0, 0, 1, 0},
      {"prog.nc -O out.stl,b", 0, 0, 0, 3, 1, 1, 1, 0},  // a conversion run
      {"w.dme -O out.stl", 0, 0, 0, 2, 1, 1, 1, 0},
      {"prog.nc w.dme -O out", 0, 0, 0, 0, 0, 0, 1, 0},  // both: no conversion
      {"-XM(1,2,3) w.dme", 0, 0, 0, 0, 1, 0, 1, 0},      // no save: job dropped
      {"prog.nc -X4 -V6", 4, 0, 0, 0, 0, 0, 1, 1},
      {"-V6", 0, 0, 0, 0, 1, 1, 0, 6},
      {"prog.nc -V5", 0, 0, 0, 0, 0, 0, 1, 5},
  };
  for (const Case& c : cases) {
    CommandLineRequest r;
    DefinitionFilePaths paths;
    Settings settings;
    ParseCommandLine(c.Line, {r, paths, settings, difference_}, host_);
    EXPECT_EQ(r.runMode, c.RunMode) << c.Line;
    EXPECT_EQ(r.selectOnly, c.SelectOnly) << c.Line;
    EXPECT_EQ(r.keepLengthReportClosed, c.KeepLength) << c.Line;
    EXPECT_EQ(r.saveKind, c.SaveKind) << c.Line;
    EXPECT_EQ(r.batchMode, c.Batch) << c.Line;
    EXPECT_EQ(r.silentMode, c.Silent) << c.Line;
    EXPECT_EQ(r.startWorker, c.Worker) << c.Line;
    EXPECT_EQ(r.verifyMode, c.Verify) << c.Line;
  }
}

TEST_F(CommandLine, AModelJobNeedsAWorkpieceAndASaveAndNeverCuts) {
  Parse("prog.nc -X5 w.dme -XM (1.5,-2,3) -O moved.dme,W");
  EXPECT_EQ(request_.moveJob, 1);
  EXPECT_EQ(request_.moveAmount, (std::array<double, 3>{1.5, -2, 3}));
  EXPECT_EQ(request_.runMode, 0);
  EXPECT_EQ(request_.ncProgramGiven, 0);
  EXPECT_EQ(request_.saveKind, kSaveDme);
  EXPECT_EQ(request_.saveCoordinates, 1);
  EXPECT_EQ(paths_.WorkSave, "moved.dme");
  EXPECT_EQ(request_.batchMode, 1);
  EXPECT_EQ(request_.startWorker, 1);
}

TEST_F(CommandLine, TheJobsOfX) {
  struct Case {
    std::string_view Job;
    int32_t Rotate, Axis, Paint, Pen, Difference, Silent;
    double Angle;
  };
  const Case cases[] = {
      {"-XRY30", 1, 1, 0, 0, 0, 0, 30},   {"-XR-45", 1, 0, 0, 0, 0, 0, -45},
      {"-XPP", 0, 0, 1, 0, 0, 1, 0},      {"-XPC", 0, 0, 2, 0, 0, 1, 0},
      {"-XP7C", 0, 0, 0, 7, 0, 1, 0},     {"-XP12C", 0, 0, 0, 12, 0, 1, 0},
      {"-XPAC", 0, 0, 0, 16, 0, 1, 0},    {"-XP19C", 0, 0, 0, 0, 0, 1, 0},  // no pen 19
      {"-XD+0.1H5", 0, 0, 0, 0, 1, 1, 0},
  };
  for (const Case& c : cases) {
    CommandLineRequest r;
    DefinitionFilePaths paths;
    Settings settings;
    const std::string line = "w.dme -O out.dme " + std::string(c.Job);
    ParseCommandLine(line, {r, paths, settings, difference_}, host_);
    EXPECT_EQ(r.rotateJob, c.Rotate) << c.Job;
    EXPECT_EQ(r.rotateAxis, c.Axis) << c.Job;
    EXPECT_EQ(r.rotateAngle, c.Angle) << c.Job;
    EXPECT_EQ(r.paintJob, c.Paint) << c.Job;
    EXPECT_EQ(r.penJob, c.Pen) << c.Job;
    EXPECT_EQ(r.differenceJob, c.Difference) << c.Job;
    EXPECT_EQ(r.silentMode, c.Silent) << c.Job;
    EXPECT_EQ(r.batchMode, 1) << c.Job;
  }
  EXPECT_TRUE(Logged("-XP: there is no pen 19"));
  EXPECT_EQ(difference_.Pen, 5);
  EXPECT_EQ(difference_.PenColouring, 1);
}

TEST_F(CommandLine, ABasicModelWithItsTitleAndOptions) {
  Parse("-K \"C:\\parts\\design.stl\",W,MX10,MZ,S(1,2,3)(2,1,0.5)");
  EXPECT_EQ(paths_.BasicModel, "C:\\parts\\design.stl");
  EXPECT_EQ(paths_.BasicModelTitle, "design.stl");
  EXPECT_EQ(request_.basicModelGiven, 1);
  EXPECT_EQ(settings_.BasicModelGiven, 1);
  const ModelFileOptions& o = request_.basicModelOptions;
  EXPECT_EQ(o.CoordinateSystem, 1);
  EXPECT_EQ(o.MoveOn, (std::array<int32_t, 3>{1, 0, 1}));
  EXPECT_EQ(o.Move, (std::array<double, 3>{10, 0, 0}));
  EXPECT_EQ(o.ScaleCentre, (std::array<double, 3>{1, 2, 3}));
  EXPECT_EQ(o.ScaleRate, (std::array<double, 3>{2, 1, 0.5}));
  EXPECT_EQ(o.ScaleOn, (std::array<int32_t, 3>{1, 0, 1}));
  EXPECT_EQ(request_.workLoadRequested, 0);
}

TEST_F(CommandLine, ModelFileArguments) {
  struct Case {
    std::string_view Text;
    std::string Name;
    int32_t Axis, Coordinates, ScaleFromController;
    std::array<double, 3> Rate;
    size_t End;  // where the cursor stops
  };
  const Case cases[] = {
      {"w", "w.DME", 0, -1, 0, {1, 1, 1}, 1},
      {"w.dmf,M next", "w.dmf", 0, 0, 0, {1, 1, 1}, 7},
      {"w.stl-Z,S2", "w.stl", -3, -1, 0, {2, 2, 2}, 10},
      {"w.stl,S", "w.stl", 0, -1, 1, {1, 1, 1}, 7},
      {"w.stl,S(5,5,5)", "w.stl", 0, -1, 1, {1, 1, 1}, 14},
      {"\"a,b.dme\"+X,Q,W", "a,b.dme", 1, 1, 0, {1, 1, 1}, 15},  // Q skipped
  };
  for (const Case& c : cases) {
    size_t cursor = 0;
    const ModelFileArgument model = ParseModelFileArgument(c.Text, cursor);
    EXPECT_EQ(model.Name, c.Name) << c.Text;
    EXPECT_EQ(model.StlAxis, c.Axis) << c.Text;
    EXPECT_EQ(model.Options.CoordinateSystem, c.Coordinates) << c.Text;
    EXPECT_EQ(model.Options.ScaleFromController, c.ScaleFromController) << c.Text;
    EXPECT_EQ(model.Options.ScaleRate, c.Rate) << c.Text;
    EXPECT_EQ(cursor, c.End) << c.Text;
    EXPECT_FALSE(model.Refused) << c.Text;
  }
}

// "S" alone takes the factors the controller enables, once it is read.
TEST_F(CommandLine, ScaleFromTheControllerIsResolvedWhenTheWorkIsLoaded) {
  Parse("-D w.stl,S");
  ModelFileOptions& options = request_.workFileOptions;
  ASSERT_EQ(options.ScaleFromController, 1);
  ControllerDefinition controller;
  controller.ScaleFactor = {2.0, 3.0, 1.0};
  controller.ScaleEffect = {1, 0, 1};
  ResolveControllerScale(options, controller);
  EXPECT_EQ(options.ScaleRate, (std::array<double, 3>{2, 1, 1}));
  EXPECT_EQ(options.ScaleOn, (std::array<int32_t, 3>{1, 0, 0}));
  EXPECT_EQ(options.ScaleCentre, (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(options.ScaleFromController, 0);
  controller.ScaleFactor = {9, 9, 9};
  ResolveControllerScale(options, controller);  // once only
  EXPECT_EQ(options.ScaleRate[0], 2);
}

TEST_F(CommandLine, SaveArguments) {
  struct Case {
    std::string_view Text;
    std::string Name;
    int32_t Kind, Coordinates;
  };
  const Case cases[] = {
      {"out", "out.DME", kSaveDme, -1},
      {"out.Stl", "out.Stl", kSaveStlText, -1},
      {"out.stl,b", "out.stl", kSaveStlBinary, -1},
      {"out.stl,B2,M", "out.stl", kSaveStlBinaryBigEndian, 0},
      {"\"my out.dmez\",W", "my out.dmez", kSaveDme, 1},
      {"out.dme,b", "out.dme", kSaveDme, -1},  // binary is for STL only
  };
  for (const Case& c : cases) {
    size_t cursor = 0;
    const SaveFileArgument save = ParseSaveFileArgument(c.Text, cursor);
    EXPECT_EQ(save.Name, c.Name) << c.Text;
    EXPECT_EQ(save.SaveKind, c.Kind) << c.Text;
    EXPECT_EQ(save.Coordinates, c.Coordinates) << c.Text;
    EXPECT_EQ(cursor, c.Text.size()) << c.Text;
  }
}

// A name longer than 255 characters is refused whole (a name cut short
// could name another file); so is a word of 1,024 characters or more.
TEST_F(CommandLine, OverLongNamesAndWordsAreRefusedNeverCut) {
  const std::string name255 = std::string(251, 'n') + ".ttl";
  const std::string name256 = std::string(252, 'n') + ".ttl";
  // 255 characters of Japanese are 765 bytes: characters are counted.
  std::string japanese;
  for (int i = 0; i < 251; ++i) japanese += "工";
  japanese += ".CTL";
  const std::string word(1024, 'w');
  Parse(name256 + " -T " + name256 + " -O " + std::string(300, 'o') + " " + word + ".nc " +
        japanese + " -M " + std::string(252, 'm'));
  EXPECT_EQ(request_.toolTableGiven, 0);
  EXPECT_TRUE(paths_.ToolTable.empty());
  EXPECT_EQ(request_.saveKind, kSaveNone);
  EXPECT_TRUE(paths_.WorkSave.empty());
  EXPECT_EQ(request_.ncProgramGiven, 0);
  EXPECT_EQ(paths_.Controller, japanese);
  EXPECT_EQ(request_.machineGiven, 0);  // 252 + ".MTL"
  EXPECT_TRUE(Logged("a word of 1027 characters is refused"));
  EXPECT_TRUE(Logged("the name of 256 characters is refused"));

  CommandLineRequest r;
  DefinitionFilePaths paths;
  ParseCommandLine("-T " + name255, {r, paths, settings_, difference_}, host_);
  EXPECT_EQ(paths.ToolTable, name255);
}

TEST_F(CommandLine, AShortcutIsReplacedByItsTarget) {
  // A minimal shortcut: header, no id list, link info with a local path.
  std::string lnk("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46\x02\0\0\0", 24);
  lnk.append(76 - lnk.size(), '\0');
  const std::string target = scratch_.Path() + "prog.nc";
  const uint32_t size = 28 + static_cast<uint32_t>(target.size()) + 2;
  const uint32_t fields[] = {size, 28, 1, 0, 28, 0, 28 + static_cast<uint32_t>(target.size()) + 1};
  for (uint32_t field : fields)
    for (int b = 0; b < 4; ++b) lnk.push_back(static_cast<char>(field >> (8 * b) & 0xFF));
  lnk += target + '\0' + '\0';
  scratch_.Write("Program.lnk", lnk);
  Parse("Program.lnk broken.lnk");
  EXPECT_EQ(paths_.NcProgram, target);
  EXPECT_EQ(request_.ncProgramGiven, 1);
  EXPECT_TRUE(Logged("the shortcut broken.lnk cannot be read"));
}

TEST(JoinCommandLine, ArgumentsWithBlanksAreQuotedUpToTheirOptionsComma) {
  const char* argv[] = {"vestan9", "-T", "my tools,5", "a b.nc", "-X5", "-D", "w w.stl,W"};
  EXPECT_EQ(JoinCommandLine(7, argv), "-T \"my tools\",5 \"a b.nc\" -X5 -D \"w w.stl\",W");
  const char* none[] = {"vestan9"};
  EXPECT_EQ(JoinCommandLine(1, none), "");
}

}  // namespace
}  // namespace vestan
