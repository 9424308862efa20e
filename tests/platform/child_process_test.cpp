#include "platform/child_process.h"

#include <gtest/gtest.h>

namespace vestan {
namespace {

TEST(ChildProcess, SplitsAtBlanksKeepingQuotedParts) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandArguments("  prog  -a\tb "), (V{"prog", "-a", "b"}));
  EXPECT_EQ(SplitCommandArguments("\"my tool\" -x \"b c\""), (V{"my tool", "-x", "b c"}));
  EXPECT_EQ(SplitCommandArguments("a\"b c\"d"), (V{"ab cd"}));
  EXPECT_EQ(SplitCommandArguments("p \"open ended"), (V{"p", "open ended"}));
  EXPECT_EQ(SplitCommandArguments("p \"\""), (V{"p", ""}));
  EXPECT_TRUE(SplitCommandArguments(" \t").empty());
}

TEST(ChildProcess, WaitsAndReportsHowTheProgramEnded) {
  const ChildResult ok = RunChildProcess({"sh", "-c", "exit 3"});
  EXPECT_TRUE(ok.Started);
  EXPECT_EQ(ok.ExitStatus, 3);
  // No shell in between: "$HOME" reaches the program as written.
  const ChildResult literal = RunChildProcess({"test", "$HOME", "=", "$HOME"});
  EXPECT_EQ(literal.ExitStatus, 0);
  const ChildResult killed = RunChildProcess({"sh", "-c", "kill -9 $$"});
  EXPECT_EQ(killed.ExitStatus, 128 + 9);
  const ChildResult missing = RunChildProcess({"/no/such/program"});
  EXPECT_FALSE(missing.Started);
  EXPECT_FALSE(missing.Error.empty());
  EXPECT_FALSE(RunChildProcess({}).Started);
}

}  // namespace
}  // namespace vestan
