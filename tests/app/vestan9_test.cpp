// The built vestan9 executable, copied into a folder of its own (so that
// folder is both its current and its program folder) and run there.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/dexel_model.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/stl_file.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

struct Program {
  testing::ScratchFolder Folder;
  Program() {
    std::filesystem::copy_file(VESTAN9_EXECUTABLE, Folder / "vestan9");
  }
  // Runs it with the arguments; returns its exit status as the shell sees
  // it. A guard ends a program that hangs.
  int Run(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "cd '" + Folder.Path() + "' && " + environment +
                                " timeout 60 ./vestan9 " + arguments + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) const {
    return testing::ScratchFolder::Read(Folder / name);
  }
};

TEST(Vestan9, StartsAndEndsInAnEmptyFolder) {
  Program p;
  EXPECT_EQ(p.Run("", "VESTAN_TRACE=1"), 0);
  EXPECT_TRUE(std::filesystem::exists(p.Folder / "vestan.log"));
  EXPECT_NE(p.Read("vestan.log").find("VESTAN9 ended, exit code 0"), std::string::npos);
  const std::string err = p.Read("err.txt");
  EXPECT_NE(err.find("title:  - NCデータ未選択(atc,hanuc,oguma) 干渉チェック-YNNN\n"), std::string::npos) << err;
  EXPECT_NE(err.find("status 6: 通常加工モード\n"), std::string::npos) << err;
  // The settings are written at the end, with defaults where there was no file.
  EXPECT_TRUE(std::filesystem::exists(p.Folder / "vestan.ini"));
}

TEST(Vestan9, EnglishWithTheMessageFileBesideIt) {
  Program p;
  std::filesystem::copy_file(std::string(VESTAN_DATA_DIR) + "/vestan9.mes",
                             p.Folder / "vestan9.mes");
  EXPECT_EQ(p.Run("", "VESTAN_TRACE=1"), 0);
  const std::string err = p.Read("err.txt");
  EXPECT_NE(err.find("title:  - Not Selected(atc,hanuc,oguma)Check-YNNN\n"), std::string::npos) << err;
  EXPECT_NE(err.find("status 5: Workpiece(G54)\n"), std::string::npos) << err;
}

// Unattended work that fails ends the program with the failure's code and
// the log says why; a batch run leaves the settings file alone.
TEST(Vestan9, UnattendedFailuresEndWithTheirCodes) {
  struct Case {
    std::string Arguments;
    int Code;
    std::string LogLine;
  };
  const Case cases[] = {
      {"-Dmissing.dme prog.nc -X6", 2, "The workpiece was not loaded."},
      {"missing.mac", 4, "Macro missing.mac could not be opened; nothing was run."},
      {"bad.mac", 3, "bad.mac(1): the NC program was not selected"},
  };
  for (const Case& c : cases) {
    Program p;
    p.Folder.Write("prog.nc", "G0X0\n");
    p.Folder.Write("bad.mac", "SELECT_NCDATA nowhere.nc\nEXIT\n");
    EXPECT_EQ(p.Run(c.Arguments), c.Code) << c.Arguments;
    const std::string log = p.Read("vestan.log");
    EXPECT_NE(log.find(c.LogLine), std::string::npos) << c.Arguments << "\n" << log;
    EXPECT_NE(log.find("VESTAN9 ended, exit code " + std::to_string(c.Code)), std::string::npos)
        << c.Arguments;
  }
  Program p;
  p.Run("-Dmissing.dme prog.nc -X6");
  EXPECT_FALSE(std::filesystem::exists(p.Folder / "vestan.ini"));
}

// Work after which a window would stay open (a select-only run, a macro
// without EXIT) ends the headless program once the worker has ended.
TEST(Vestan9, WorkThatLeavesTheWindowOpenEndsTheProgramWithoutAWindow) {
  for (const std::string arguments : {"prog.nc -X1", "open.mac"}) {
    Program p;
    p.Folder.Write("prog.nc", "G0X0\n");
    p.Folder.Write("open.mac", "SELECT_NCDATA prog.nc\n");
    EXPECT_EQ(p.Run(arguments), 0) << arguments << p.Read("err.txt");
    EXPECT_NE(p.Read("vestan.log").find("VESTAN9 ended, exit code 0"), std::string::npos);
  }
}

// The shipped definitions and example program in a folder of their own.
struct ExampleFolder : Program {
  ExampleFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(VESTAN_DATA_DIR))
      std::filesystem::copy_file(entry.path(), Folder / entry.path().filename().string());
  }
};

// Material volume of a model's Z columns, each cell weighted as the grid
// point's share of the area (halved at the edges).
double ZVolume(const DexelModel& model) {
  const DexelSet& z = model.Slots[model.CurrentSlot].Z;
  double volume = 0.0;
  for (int32_t column = 0; column < model.ColumnsZ; ++column) {
    const int32_t ix = column % model.CountX, iy = column / model.CountX;
    const double wx = ix == 0 || ix == model.CountX - 1 ? 0.5 : 1.0;
    const double wy = iy == 0 || iy == model.CountY - 1 ? 0.5 : 1.0;
    const std::span<const double> values = DexelColumnValues(z, column);
    for (size_t i = 0; i + 1 < values.size(); i += 2) volume += (values[i + 1] - values[i]) * wx * wy;
  }
  return volume * model.Pitch * model.Pitch;
}

// The removed volume of the example (face, pocket, holes) lies in this
// range on any stock that holds the whole program at work pitch 1.
constexpr double kExampleRemovedLow = 16000.0, kExampleRemovedHigh = 30000.0;

// The main job from the command line: the stock fitted to the program, its
// verify report, the run, the cut model saved, the program ended.
TEST(Vestan9, ACommandLineRunVerifiesCutsAndSaves) {
  ExampleFolder p;
  // A conversion run saves the fitted stock uncut, to weigh the cut against.
  ASSERT_EQ(p.Run("example.nc -O stock.dme"), 0) << p.Read("err.txt");
  ASSERT_EQ(p.Run("example.nc -X6 -V -O cut.dme"), 0) << p.Read("err.txt");

  const std::string log = p.Read("vestan.log");
  for (const std::string line : {"NC program: " + p.Folder / "example.nc",
                                 std::string("VESTAN9 ended, exit code 0")})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_NE(p.Read("verify.txt").find("Verify report of " + p.Folder / "example.nc"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(p.Folder / "interference.txt"));  // nothing hit
  EXPECT_FALSE(std::filesystem::exists(p.Folder / "vestan.ini.new"));

  DexelModel stock, cut;
  ASSERT_EQ(LoadDmeFile(stock, p.Folder / "stock.dme", 0, WorkOffsetFrame{}), kModelOk);
  ASSERT_EQ(LoadDmeFile(cut, p.Folder / "cut.dme", 0, WorkOffsetFrame{}), kModelOk);
  const double removed = ZVolume(stock) - ZVolume(cut);
  EXPECT_GT(removed, kExampleRemovedLow);
  EXPECT_LT(removed, kExampleRemovedHigh);
}

// The shipped settings start the run on the fitted stock's top corner (the
// tool's tip on the top face). The verify pass before the run ends elsewhere;
// the run's first line, the "%", must not carry the tool from there to the
// start point as a rapid, which at a pitch that puts a dexel layer on the top
// face grazed that face and stopped the run with a rapid-cut alarm.
TEST(Vestan9, ARunFromTheBoxTopStartPointCutsAtEveryPitch) {
  for (const std::string pitch : {"0.1", "0.2", "0.25", "0.3"}) {
    ExampleFolder p;
    p.Folder.Write("raster.nc",
                   "%\nG00 Z50.\nG00 X0 Y0\nG01 Z-1. F1000\nX10.\nY1.\nX0.\nG00 Z10.\n%\n");
    const std::string pitches = "\"-P(" + pitch + "," + pitch + ")\" raster.nc";
    ASSERT_EQ(p.Run(pitches + " -O stock.dme"), 0) << pitch << p.Read("err.txt");
    EXPECT_EQ(p.Run(pitches + " -X6 -V -O cut.dme"), 0) << pitch << p.Read("vestan.log");
    const std::string log = p.Read("vestan.log");
    EXPECT_EQ(log.find("G00 interference"), std::string::npos) << pitch << "\n" << log;
    EXPECT_FALSE(std::filesystem::exists(p.Folder / "interference.txt")) << pitch;

    DexelModel stock, cut;
    ASSERT_EQ(LoadDmeFile(stock, p.Folder / "stock.dme", 0, WorkOffsetFrame{}), kModelOk);
    ASSERT_EQ(LoadDmeFile(cut, p.Folder / "cut.dme", 0, WorkOffsetFrame{}), kModelOk);
    // The stock is fitted to the cutting extents: the tool sweeps nearly all of it.
    EXPECT_GT(ZVolume(stock) - ZVolume(cut), 0.9 * ZVolume(stock)) << pitch;
  }
}

// A macro over the stock of the command line, silent (-V6): the program
// selected, its verify report, the run, the work saved as DME and binary
// STL, the view as PNG.
TEST(Vestan9, AMacroSelectsVerifiesCutsAndSaves) {
  ExampleFolder p;
  // The run starts at the settings' start point, above the stock.
  std::string settings = p.Read("vestan.ini");
  const std::string boxTop = "NEW CONTROL POINT=BOX-TOP";
  ASSERT_NE(settings.find(boxTop), std::string::npos);
  settings.replace(settings.find(boxTop), boxTop.size(), "NEW CONTROL POINT=CURRENT");
  p.Folder.Write("vestan.ini", settings);
  p.Folder.Write("job.mac",
                 "# the example, unattended\n"
                 "SELECT_NCDATA example.nc\n"
                 "VERIFY\n"
                 "CUT(REAL)\n"
                 "SAVE_WORK out.dme\n"
                 "SAVE_WORK \"out b.stl\",b\n"
                 "SAVE_IMAGE view\n"
                 "EXIT\n");
  ASSERT_EQ(p.Run("\"-D(-50,-50,80,50,50,110)\" -V6 job.mac"), 0) << p.Read("err.txt");

  const std::string log = p.Read("vestan.log");
  for (const char* line : {"job.mac(2): SELECT_NCDATA example.nc", "job.mac(4): CUT(REAL)",
                           "job.mac(8): EXIT", "Macro job.mac complete.",
                           "VESTAN9 ended, exit code 0"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_NE(p.Read("verify.txt").find("Verify report of " + p.Folder / "example.nc"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(p.Folder / "view.PNG"));

  DexelModel model;
  ASSERT_EQ(LoadDmeFile(model, p.Folder / "out.dme", 0, WorkOffsetFrame{}), kModelOk);
  const double removed = 100.0 * 100.0 * 30.0 - ZVolume(model);
  EXPECT_GT(removed, kExampleRemovedLow);
  EXPECT_LT(removed, kExampleRemovedHigh);
  EXPECT_EQ(DetectStlKind(p.Folder / "out b.stl"), kStlBinary);
  EXPECT_GT(CountStlFacets(kStlBinary, p.Folder / "out b.stl"), 1000);
}

// After a run that a check stopped, the macro goes no further: its break is
// shown and logged, and the program ends with the macro's failure.
TEST(Vestan9, AMacroBreaksOffAfterARunThatStoppedEarly) {
  ExampleFolder p;
  // Under the shipped settings the tool starts on the stock's top, so the
  // first rapid move touches it and the rapid check ends the run.
  p.Folder.Write("job.mac", "SELECT_NCDATA example.nc\nCUT(REAL)\nSAVE_WORK out.dme\nEXIT\n");
  EXPECT_EQ(p.Run("\"-D(-50,-50,80,50,50,110)\" job.mac"), 4) << p.Read("err.txt");
  const std::string log = p.Read("vestan.log");
  EXPECT_NE(log.find("job.mac(3): the run before stopped early; the macro ends here"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Macro job.mac broken off."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(p.Folder / "out.dme"));
}

}  // namespace
}  // namespace vestan
