// The command line and the settings file together, as start-up reads them:
// what the command line gave stays, the rest comes from the file.
#include <gtest/gtest.h>

#include <string>

#include "automation/command_line.h"
#include "definitions/settings_world.h"
#include "support/current_folder.h"

namespace vestan {
namespace {

TEST(StartUpFiles, TheCommandLinesValuesOutliveTheSettingsFile) {
  testing::SettingsWorld w;
  w.scratch.Write("cwd/atc.ttl", "MAX TOOL=10\n");
  w.scratch.Write("cwd/prog.nc", "G0X0\n");
  w.WriteSettings(
      "[Table]\nTOOL_TABLE=other.ttl\nCONTROLLER_TABLE=key.ctl\n"
      "[DMEdata]\nSTL AXIS=-Y\n"
      "[Define]\nCONTROL POINT=(9,9,9)\nPITCH(WORK)=3\nPITCH(MOVE)=4\n"
      "DIFFERENCE MARGIN=7\n"
      "[Save]\nX=1\nY=2\nWIDE=3\nHEIGHT=4\n");
  testing::CurrentFolder here(w.Current());

  ParseCommandLine("-T ATC,5 -(10,20,800,600) -P(0.5,0.25) -S(1,2,3) -D \"w.stl\"+Z prog.nc -X5 -V",
                   {w.commandLine, w.paths, w.settings, w.difference}, w.host);
  w.Read();

  // "ATC.TTL" finds atc.ttl; the controller comes from the settings.
  EXPECT_EQ(w.paths.ToolTable, w.Current() + "atc.ttl");
  EXPECT_EQ(w.paths.Controller, w.Program() + "key.ctl");
  EXPECT_EQ(w.commandLine.initialTool, 5);
  EXPECT_EQ(w.settings.WindowX, 10);
  EXPECT_EQ(w.settings.WindowY, 20);
  EXPECT_EQ(w.settings.WindowWidth, 800);
  EXPECT_EQ(w.settings.WindowHeight, 600);
  EXPECT_EQ(w.settings.Pitch.WorkPitch, 0.5);
  EXPECT_EQ(w.settings.Pitch.MovePitch, 0.25);
  EXPECT_EQ(w.settings.ControlPoint, (std::array<double, 5>{1, 2, 3, 0, 0}));
  EXPECT_EQ(w.settings.StlAxis, 3);
  EXPECT_EQ(w.difference.Margin, 7);  // no difference job: from the file
  EXPECT_EQ(w.paths.WorkLoad, "w.stl");
  EXPECT_EQ(w.paths.NcProgram, "prog.nc");
  EXPECT_EQ(w.commandLine.runMode, 5);
  EXPECT_EQ(w.commandLine.verifyMode, 1);
  EXPECT_EQ(w.commandLine.startWorker, 1);
}

}  // namespace
}  // namespace vestan
