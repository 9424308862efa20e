#include "platform/process_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vestan {
namespace {

TEST(ProcessPaths, ProgramFileIsThisTestProgram) {
  const std::string program = ProgramFile();
  EXPECT_EQ(std::filesystem::path(program).filename(), "platform_tests");
  EXPECT_TRUE(std::filesystem::path(program).is_absolute());
  const std::string current = CurrentFolder();
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.back(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(current, std::filesystem::current_path()));
}

}  // namespace
}  // namespace vestan
