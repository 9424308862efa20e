#include "definitions/settings_file.h"

#include <gtest/gtest.h>

#include "settings_world.h"

namespace vestan {
namespace {

using testing::Join;
using testing::ScratchFolder;
using testing::SettingsWorld;

TEST(SettingsFile, BareNameIsLookedUpInCurrentThenProgramFolder) {
  {
    SettingsWorld w;
    w.WriteSettings("[Define]\nUNDO=3\n");
    w.scratch.Write("bin/vestan.ini", "[Define]\nUNDO=7\n");
    w.Read();
    EXPECT_EQ(w.paths.SettingsFile, w.Current() + "vestan.ini");
    EXPECT_EQ(w.settings.UndoDepth, 4);
    EXPECT_EQ(w.paths.ProgramFolder, w.Program());
    EXPECT_EQ(w.paths.CurrentFolder, w.Current());
  }
  {
    SettingsWorld w;
    w.scratch.Write("bin/vestan.ini", "[Define]\nUNDO=7\n");
    w.Read();
    EXPECT_EQ(w.paths.SettingsFile, w.Program() + "vestan.ini");
    EXPECT_EQ(w.settings.UndoDepth, 8);
  }
  {
    // A name with a folder part is used as it is, even when it is missing.
    SettingsWorld w;
    w.scratch.Write("bin/vestan.ini", "[Define]\nUNDO=7\n");
    w.paths.SettingsFile = "conf\\mine.ini";
    w.Read();
    EXPECT_EQ(w.paths.SettingsFile, "conf\\mine.ini");
    EXPECT_EQ(w.settings.UndoDepth, 2);
    w.scratch.Write("cwd/conf/mine.ini", "[Define]\nUNDO=5\n");
    w.Read();
    EXPECT_EQ(w.settings.UndoDepth, 6);
  }
}

TEST(SettingsFile, ProgramFolderAndHelpFile) {
  SettingsWorld w;
  w.environment.ProgramFile = "/x";  // folder "/" is too short: the current folder
  w.Read();
  EXPECT_EQ(w.paths.ProgramFolder, w.Current());
  EXPECT_EQ(w.paths.HelpFile, w.Current() + "HELP/index.htm");
  w.scratch.Write("cwd/HELP/index.htm", "<html>");
  w.Read();
  EXPECT_EQ(w.paths.HelpFile, "HELP/index.htm");
}

TEST(SettingsFile, DefinitionFileResolution) {
  struct Case {
    std::string_view lines;
    std::string_view onDisk;    // file made under the scratch folder, or empty
    std::string_view expected;  // "@cwd/", "@bin/" and "@" stand for those folders
  };
  const Case cases[] = {
      {"TOOL_TABLE=sub/x.ttl\n", "", "sub/x.ttl"},
      {"TOOL_TABLE=C:\\tools\\atc.ttl\n", "", "C:\\tools\\atc.ttl"},
      {"Target_TTLdir=\nTOOL_TABLE=atc.ttl\n", "", "@bin/atc.ttl"},
      {"", "", "@bin/atc.ttl"},
      {"", "cwd/atc.ttl", "@cwd/atc.ttl"},
      {"Target_TTLdir=@tools\n", "tools/atc.ttl", "@tools/atc.ttl"},
      {"Target_TTLdir=@tools/\n", "tools/atc.ttl", "@tools/atc.ttl"},
      {"Target_TTLdir=@tools\n", "cwd/atc.ttl", "atc.ttl"},
      {"Target_TTLdir=@tools\n", "tools/ATC.TTL", "@tools/ATC.TTL"},
      {"Target_TTLdir=@tools\nTOOL_TABLE=mill.ttl\n", "", "@bin/mill.ttl"},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    const auto expand = [&w](std::string_view text) {
      std::string out;
      for (char ch : text) {
        if (ch == '@')
          out.append(w.scratch.Path());
        else
          out.push_back(ch);
      }
      return out;
    };
    if (!c.onDisk.empty()) w.scratch.Write(c.onDisk, "MAGAZINE 1\n");
    w.Read(Join({"[Table]\n", expand(c.lines)}));
    EXPECT_EQ(w.paths.ToolTable, expand(c.expected)) << c.lines << " / " << c.onDisk;
  }
}

TEST(SettingsFile, ControllerMachineAndBasicModelFiles) {
  SettingsWorld w;
  w.scratch.Write("cwd/hanuc.ctl", "");
  w.scratch.Write("models/base.dme", "");
  w.Read(Join({"[Table]\nTarget_MTLdir=", w.scratch / "machines",
               "\n[DMEdata]\nTarget_DMEdir=", w.scratch / "models", "\nBASIC DME=base.dme\n"}));
  EXPECT_EQ(w.paths.Controller, w.Current() + "hanuc.ctl");
  EXPECT_EQ(w.paths.Machine, w.Program() + "oguma.mtl");
  EXPECT_EQ(w.paths.BasicModel, w.scratch / "models/base.dme");
  EXPECT_EQ(w.settings.BasicModelGiven, 1);
  EXPECT_EQ(w.paths.WorkSaveFolder, w.scratch / "models");
  EXPECT_EQ(w.paths.NcFolder, w.Current());
  EXPECT_EQ(w.paths.LogFolder, "");
}

TEST(SettingsFile, LongNamesAreKeptWhole) {
  SettingsWorld w;
  const std::string name = std::string(300, 'd') + "/" + std::string(300, 'n') + ".ttl";
  w.Read(Join(
      {"[Table]\nTOOL_TABLE=", name, "\n[Define]\nPROGRESS NAME=", std::string(40, 'p'), "\n"}));
  EXPECT_EQ(w.paths.ToolTable, name);
  EXPECT_EQ(w.settings.ProgressName, std::string(40, 'p'));
}

TEST(SettingsFile, OutputAndStockWords) {
  SettingsWorld w;
  w.Read(
      "[DMEdata]\n"
      "DME SELECT=on\nDMF SELECT=OFF\nSTL SELECT=off\nSTL AXIS=-Y\nSTL FILTER=ON\n"
      "IMPORT COORDINATE=WORK\nEXPORT COORDINATE=work\nINPUT COORDINATE=MACHINE\n"
      "INITIAL SIZE=(-10,-20,-30,10,20,0.5)\n"
      "INITIAL SIZE2=(RIGHT,120,1,2,CENTER,80,3,4,TOP,40.5,5,6)\n"
      "CYLINDER=(-80,0,0,80,100,40)\n"
      "[OUTPUTdata]\n"
      "CREATE MODE(LENGTH)=append\nCREATE MODE(VERIFY)=APPENX\nVERIFY SUFFIX=csv\n"
      "NAMING MODE(LENGTH)=AUTO\nNAMING MODE(VERIFY)=FIXED\n");
  const Settings& s = w.settings;
  EXPECT_EQ(s.DmeSelect, 1);
  EXPECT_EQ(s.DmfSelect, 0);
  EXPECT_EQ(s.StlSelect, 0);
  EXPECT_EQ(s.StlAxis, -2);
  EXPECT_EQ(s.StlFilter, 1);
  EXPECT_EQ(s.ImportInWork, 1);
  EXPECT_EQ(s.ExportInWork, 1);
  EXPECT_EQ(s.InputInWork, 0);
  EXPECT_EQ(s.Stock.Box, (std::array<double, 6>{-10, -20, -30, 10, 20, 0.5}));
  EXPECT_EQ(s.Stock.Reference, (std::array<int32_t, 3>{1, 0, 1}));
  EXPECT_EQ(s.Stock.ReferenceSizes, (std::array<double, 9>{120, 1, 2, 80, 3, 4, 40.5, 5, 6}));
  // Without an axis letter the cylinder stays as it was.
  EXPECT_EQ(s.Stock.CylinderAxis, 0);
  EXPECT_EQ(s.Stock.Cylinder, StockDefinition{}.Cylinder);
  EXPECT_EQ(s.CreateModeLength, 1);
  EXPECT_EQ(s.CreateModeVerify, 1);  // five characters of APPEND
  EXPECT_EQ(s.VerifySuffix, "csv");
  EXPECT_EQ(s.NamingModeLength, 2);
  EXPECT_EQ(s.NamingModeVerify, 1);
}

TEST(SettingsFile, CylinderAxisAndReferenceDefaults) {
  struct Case {
    std::string_view value;
    int32_t axis;
    std::array<double, 6> numbers;
  };
  const Case cases[] = {
      {"Y(-80,0,0,80,100,40.5)", 1, {-80, 0, 0, 80, 100, 40.5}},
      {"z(1,2,3,4,5)", 2, {1, 2, 3, 4, 5, 0}},
      {"X", 0, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SettingsWorld w;
    w.settings.Stock.CylinderAxis = 2;
    w.Read(Join({"[DMEdata]\nCYLINDER=", c.value, "\n"}));
    EXPECT_EQ(w.settings.Stock.CylinderAxis, c.axis) << c.value;
    EXPECT_EQ(w.settings.Stock.Cylinder, c.numbers) << c.value;
  }
  SettingsWorld w;
  w.Read();
  EXPECT_EQ(w.settings.Stock.Reference, (std::array<int32_t, 3>{-1, -1, -1}));
  EXPECT_EQ(w.settings.Stock.ReferenceSizes, StockDefinition{}.ReferenceSizes);
}

TEST(SettingsFile, CommandLineGivenValuesSkipTheirKeys) {
  const std::string file =
      "[Table]\nTOOL_TABLE=key.ttl\n"
      "[DMEdata]\nSTL AXIS=+Z\nINITIAL SIZE=(1,1,1,2,2,2)\nCYLINDER=Z(1,1,1,1,1,1)\n"
      "BASIC MODEL=key.dme\n"
      "[Define]\nCONTROL POINT=(1,2,3,4,5)\nOFFSET VALUE=9\nDIFFERENCE AREA=MINUS\n"
      "DIFFERENCE MARGIN=3\nDIFFERENCE TARGET=PEN4\nPITCH(WORK)=3\nPITCH(MOVE)=4\n"
      "[Save]\nX=10\nY=20\nHEIGHT=30\nWIDE=40\nSHOW=3\n";
  SettingsWorld w;
  for (CommandLineRequest::Flag* flag :
       {&w.commandLine.toolTableGiven, &w.commandLine.basicModelGiven,
        &w.commandLine.stockShapeKind, &w.commandLine.controlPointGiven,
        &w.commandLine.offsetValueGiven, &w.commandLine.differenceJob,
        &w.commandLine.workPitchGiven, &w.commandLine.movePitchGiven,
        &w.commandLine.windowRectGiven})
    *flag = 1;
  w.paths.ToolTable = "given.ttl";
  w.paths.BasicModel = "given.dme";
  w.settings.Stock.Box = {5, 5, 5, 6, 6, 6};
  w.settings.ControlPoint = {7, 7, 7, 7, 7};
  w.settings.OffsetValue = 0.5;
  w.settings.Pitch.WorkPitch = 0.2;
  w.settings.Pitch.MovePitch = 0.1;
  w.settings.WindowX = 1;
  w.difference.Margin = 0.7;
  w.Read(file);
  EXPECT_EQ(w.paths.ToolTable, w.Program() + "given.ttl");  // still resolved
  EXPECT_EQ(w.paths.BasicModel, "given.dme");
  EXPECT_EQ(w.settings.StlAxis, 0);
  EXPECT_EQ(w.settings.Stock.Box, (std::array<double, 6>{5, 5, 5, 6, 6, 6}));
  EXPECT_EQ(w.settings.Stock.CylinderAxis, 2);  // another kind: read
  EXPECT_EQ(w.settings.ControlPoint, (std::array<double, 5>{7, 7, 7, 7, 7}));
  EXPECT_EQ(w.settings.OffsetValue, 0.5);
  EXPECT_EQ(w.difference.Area, 1);
  EXPECT_EQ(w.difference.Margin, 0.7);
  EXPECT_EQ(w.difference.TargetPen, 4);  // the target is read all the same
  EXPECT_EQ(w.settings.Pitch.WorkPitch, 0.2);
  EXPECT_EQ(w.settings.Pitch.MovePitch, 0.1);
  EXPECT_EQ(w.settings.WindowX, 1);
  EXPECT_EQ(w.settings.WindowShow, 3);
}

TEST(SettingsFile, ACommandLineWorkFileKeepsItsStlAxis) {
  SettingsWorld w;
  w.commandLine.workLoadRequested = 1;
  w.settings.StlAxis = 3;  // "w.stl"+Z
  w.Read("[DMEdata]\nSTL AXIS=-Y\n");
  EXPECT_EQ(w.settings.StlAxis, 3);
}

TEST(SettingsFile, BatchModeForcesDisplaysOff) {
  const std::string file = "[Define]\nTOOL DISPLAY=PERS\n[Save]\nVIEW_T=1\nVIEW_P=1\n";
  SettingsWorld w;
  w.lists.PathDisplay = 1;
  w.lists.PathDisplay2 = 1;
  w.commandLine.batchMode = 1;
  w.Read(file);
  EXPECT_EQ(w.settings.ToolDisplay, 0);
  EXPECT_EQ(w.settings.ViewT, 0);
  EXPECT_EQ(w.settings.ViewP, 1);
  EXPECT_EQ(w.lists.PathDisplay.load(), 0);
  EXPECT_EQ(w.lists.PathDisplay2.load(), 0);

  SettingsWorld interactive;
  interactive.lists.PathDisplay = 1;
  interactive.Read(file);
  EXPECT_EQ(interactive.settings.ToolDisplay, 2);
  EXPECT_EQ(interactive.settings.ViewT, 1);
  EXPECT_EQ(interactive.lists.PathDisplay.load(), 1);
}

TEST(SettingsFile, CommandLineColourFileIsMadeLive) {
  SettingsWorld w;
  w.scratch.Write("cwd/mine.ctc", "VICE COLOR=(1,2,3)\nWORK COLOR=(4,5,6)0\n");
  w.commandLine.colourFileGiven = 1;
  w.paths.ColourFile = "mine.ctc";
  w.Read("[Define]\nVICE COLOR=(9,9,9)\nARBOR COLOR=(8,8,8)\n");
  EXPECT_EQ(w.paths.ColourFile, w.Current() + "mine.ctc");
  EXPECT_EQ(w.colors.Live.Vice, MakeColour(1, 2, 3));
  EXPECT_EQ(w.colors.Live.Pens[0], MakeColour(4, 5, 6));
  EXPECT_EQ(w.colors.Live.PenShown[0], 0);
  EXPECT_EQ(w.colors.Live.Arbor, MakeColour(8, 8, 8));  // from the settings file

  SettingsWorld missing;
  missing.commandLine.colourFileGiven = 1;
  missing.paths.ColourFile = "none.ctc";
  missing.Read("[Define]\nVICE COLOR=(9,9,9)\n");
  EXPECT_EQ(missing.colors.Live.Vice, MakeColour(9, 9, 9));
  EXPECT_EQ(missing.host.Texts(RecordingHost::Call::kLog).size(), 1u);
}

TEST(SettingsFile, EditorVideoMouseAndSaveSections) {
  SettingsWorld w;
  w.movie.FrameOnToolChange = 1;
  w.movie.FrameEveryBlock = 1;
  w.environment.OsVersionCode = 1;
  w.Read(
      "[ExecEditor]\nEXEC_PROGRAM=gedit\nEXEC_MACRO_NO=3\nSELECT OPEN=yes\n"
      "EXEC_CTL_EDITOR=kate\n"
      "[ExecSelf]\nEXEC_OPTION=-X4 job.nc\n"
      "[Video]\nNAME MODE=AUTO\nLAP DIALOG=YES\n"
      "[Mouse]\nWHEEL ZOOM=REVERSE\n"
      "[Save]\nDISPLAY=0\nLINE COLOR=2\nX=-8\nWIDE=1024\n");
  const Settings& s = w.settings;
  EXPECT_EQ(s.Editor.ExecProgram, "gedit");
  EXPECT_EQ(s.Editor.ExecOption, "%1");
  EXPECT_EQ(s.Editor.MacroNumber, 3);
  EXPECT_EQ(s.Editor.MacroName, "VESTANJUMP.MAC");
  EXPECT_EQ(s.Editor.SelectOpen, 1);
  EXPECT_EQ(s.Editor.CloseEnd, 0);
  EXPECT_EQ(s.Editor.TtlEditor, "gedit");
  EXPECT_EQ(s.Editor.CtlEditor, "kate");
  EXPECT_EQ(s.Editor.SelfExecOption, "-X4 job.nc");
  EXPECT_EQ(s.VideoNameAuto, 1);
  EXPECT_EQ(s.LapDialog, 1);
  EXPECT_EQ(w.movie.Recording, 2);
  EXPECT_EQ(w.paths.VideoFolder, w.Current());
  EXPECT_EQ(s.MoveSwitch, 1);  // version code 1: right button down by default
  EXPECT_EQ(s.WheelZoomReverse, 1);
  EXPECT_EQ(s.SavePlacement, 0);
  EXPECT_EQ(s.SaveLineColor, 2);
  EXPECT_EQ(s.SaveWorkColor, 1);
  EXPECT_EQ(s.WindowX, -8);
  EXPECT_EQ(s.WindowY, -1);
  EXPECT_EQ(s.WindowWidth, 1024);
  EXPECT_EQ(s.WindowShow, 1);
  EXPECT_EQ(w.panes.Count, kCoordinatePaneCount);

  SettingsWorld other;
  other.Read("[Mouse]\nMOVE SWITCH=RBUTTONDOWN\n");
  EXPECT_EQ(other.settings.MoveSwitch, 1);
  SettingsWorld plain;
  plain.Read();
  EXPECT_EQ(plain.settings.MoveSwitch, 0);
  EXPECT_EQ(plain.settings.Editor.EditorKind, 0);
}

TEST(SettingsFile, ShippedSettingsNameTheShippedFiles) {
  SettingsWorld w;
  w.Read(ScratchFolder::Read(VESTAN_DATA_DIR "/vestan.ini"));
  EXPECT_TRUE(w.host.Events.empty());
  const std::string bin = w.Program();
  EXPECT_EQ(w.paths.ToolTable, bin + "atc.ttl");
  EXPECT_EQ(w.paths.Controller, bin + "hanuc.ctl");
  EXPECT_EQ(w.paths.Machine, bin + "oguma.mtl");
  // The shipped file states the defaults.
  SettingsWorld defaults;
  defaults.Read();
  EXPECT_EQ(w.colors.Live, defaults.colors.Live);
  EXPECT_EQ(w.checks.Pairs, defaults.checks.Pairs);
  EXPECT_EQ(w.tools.MaxToolNumber, defaults.tools.MaxToolNumber);
  EXPECT_EQ(w.settings.SoundOn, defaults.settings.SoundOn);
  EXPECT_EQ(w.settings.Stock.Cylinder, defaults.settings.Stock.Cylinder);
}

}  // namespace
}  // namespace vestan
