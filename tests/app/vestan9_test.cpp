// The built vestan9 executable, copied into a folder of its own (so that
// folder is both its current and its program folder) and run there.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

// Unattended work this build cannot do ends the program with -1, which the
// shell sees as 255; the settings file is left alone.
TEST(Vestan9, UnattendedWorkItCannotDoFails) {
  Program p;
  p.Folder.Write("prog.nc", "G0X0\n");
  EXPECT_EQ(p.Run("prog.nc -X6"), 255);
  EXPECT_NE(p.Read("vestan.log").find("unattended work"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(p.Folder / "vestan.ini"));
}

}  // namespace
}  // namespace vestan
