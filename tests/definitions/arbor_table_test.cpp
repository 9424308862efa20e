#include "definitions/arbor_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definition_test_support.h"

namespace vestan {
namespace {

using testing::TempFolder;

TEST(ArborSteps, EachFormEndsItsStepsByItsOwnRule) {
  struct Case {
    ArborForm form;
    std::string values;
    int32_t steps;
    std::vector<float> diameters;  // the first steps' diameters
    std::vector<float> lengths;
  };
  const Case cases[] = {
      {kArborPairs, "30,50,40,20,0\n", 2, {30, 40}, {50, 20}},
      {kArborPairs, "30\n", 1, {30}, {0}},  // a step without a length
      {kArborPairs, "0,50\n", 0, {}, {}},
      {kArborPairs2, "30,50,40,0,0\n", 1, {30}, {50}},  // the zero-length step is dropped
      {kArborPairs2, "30,50,40,10\n", 2, {30, 40}, {50, 10}},
      {kArborPairs2, "0,50\n", 1, {0}, {50}},
      {kArborTriples, "20,30,1,25,0,0,0\n", 1, {20, 25}, {30}},
      {kArborTriples, "20\n", 0, {20}, {}},
  };
  for (const Case& c : cases) {
    ArborRecord arbor;
    arbor.StepCount = 7;  // an earlier holder's steps do not count
    int32_t cursor = 0;
    ReadArborSteps(c.form, cursor, c.values, arbor);
    EXPECT_EQ(arbor.StepCount, c.steps) << c.values;
    for (size_t i = 0; i < c.diameters.size(); ++i)
      EXPECT_EQ(arbor.StepDiameter[i], c.diameters[i]) << c.values << " step " << i;
    for (size_t i = 0; i < c.lengths.size(); ++i)
      EXPECT_EQ(arbor.StepLength[i], c.lengths[i]) << c.values << " step " << i;
  }
}

TEST(ArborSteps, TriplesHoldElevenDiametersAndTheirFlags) {
  std::string line = "10";
  for (int i = 1; i <= 12; ++i)
    line.append(",")
        .append(std::to_string(5 * i))
        .append(",")
        .append(std::to_string(i % 2))
        .append(".9,")
        .append(std::to_string(10 + i));
  line += "\n";
  ArborRecord arbor;
  int32_t cursor = 0;
  ReadArborSteps(kArborTriples, cursor, line, arbor);
  EXPECT_EQ(arbor.StepCount, 10);  // at most ten steps
  EXPECT_EQ(arbor.StepDiameter[0], 10.0f);
  EXPECT_EQ(arbor.StepDiameter[10], 20.0f);
  EXPECT_EQ(arbor.StepLength[9], 50.0f);
  EXPECT_EQ(arbor.StepFlag[0], 1);  // 1.9 truncated
  EXPECT_EQ(arbor.StepFlag[1], 0);
}

TEST(ArborTableFile, ReadsTheFirstKeyLineAfterComments) {
  TempFolder folder;
  const std::string path = folder.Write("holder.atl",
                                        "# a holder\n"
                                        "  ARBOR 99,99\n"
                                        "ARBOR2 30,50,40,0,0\n"
                                        "ARBOR 10,10\n");
  std::string name = path;
  ArborRecord arbor;
  WatchedFile watch;
  EXPECT_EQ(ReadArborTable(name, "", arbor, &watch), kFileRead);
  EXPECT_EQ(watch.State, kFileRead);
  EXPECT_EQ(watch.Time, std::filesystem::last_write_time(path));
  EXPECT_EQ(arbor.Present, 1);
  EXPECT_EQ(arbor.Form, kArborPairs2);
  EXPECT_EQ(arbor.StepCount, 1);
  EXPECT_EQ(arbor.StepDiameter[0], 30.0f);
}

TEST(ArborTableFile, NoKeyLineOrNoFileMeansNoHolder) {
  TempFolder folder;
  std::string name = folder.Write("indented.atl", " ARBOR 30,50\n\tARBOR3 1,2,3,4\n");
  ArborRecord arbor;
  arbor.Present = 1;
  arbor.StepCount = 3;
  WatchedFile watch;
  EXPECT_EQ(ReadArborTable(name, "", arbor, &watch), kFileRead);
  EXPECT_EQ(arbor.Present, 0);
  EXPECT_EQ(arbor.StepCount, 0);

  // A missing default holder file: state -1, time kept.
  watch.Time = FileTime{} + std::chrono::hours(5);
  const FileTime before = watch.Time;
  name = (folder.Path() / "none.atl").string();
  arbor.Present = 1;
  EXPECT_EQ(ReadArborTable(name, "", arbor, &watch), kFileMissing);
  EXPECT_EQ(watch.State, kFileMissing);
  EXPECT_EQ(watch.Time, before);
  EXPECT_EQ(arbor.Present, 0);
}

TEST(ArborTableFile, BareNameIsTakenFromTheToolTableFolder) {
  TempFolder folder;
  folder.Write("tables/BT40.ATL", "ARBOR 32,45\n");
  const std::string toolTable = (folder.Path() / "tables").string() + "\\atc.ttl";
  std::string name = "bt40.atl";  // other case than on disk
  ArborRecord arbor;
  WatchedFile watch;
  EXPECT_EQ(ReadArborTable(name, toolTable, arbor, &watch), kFileRead);
  EXPECT_EQ(name, (folder.Path() / "tables").string() + "\\bt40.atl");  // completed in place
  EXPECT_EQ(arbor.StepCount, 1);
  EXPECT_EQ(arbor.StepDiameter[0], 32.0f);

  // A tool table name without a folder leaves the name as it is.
  name = "bt40.atl";
  EXPECT_EQ(ReadArborTable(name, "atc.ttl", arbor, nullptr), kFileMissing);
  EXPECT_EQ(name, "bt40.atl");
}

}  // namespace
}  // namespace vestan
