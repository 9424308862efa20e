#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ScratchFolder;

TEST(HeadlessHost, MessagesBecomeCp932LogLinesAndTakeUnattendedAnswerNothingStarts) {
  ScratchFolder scratch;
  HeadlessHost host(scratch / "vestan.log", false);
  HostMessage question;
  question.Text = "書き込み保護されています";
  question.Buttons = MessageButtons::kYesNo;
  question.UnattendedAnswer = MessageAnswer::kNo;
  EXPECT_EQ(host.ShowMessage(question), MessageAnswer::kNo);
  host.Log("second");
  EXPECT_FALSE(host.OpenWithDesktop("report.txt"));
  EXPECT_FALSE(host.StartProgram({"gedit", {"+12", "a b.nc"}, ""}));
  host.PlaySound("toolchg.wav", SoundWait::kUntilPlayed);  // silent, returns

  const std::string log = ScratchFolder::Read(scratch / "vestan.log");
  // Each line: 19 characters of time, the fullwidth colon 0x81 0x46, the text.
  const std::string first = log.substr(0, log.find('\n'));
  EXPECT_EQ(first.substr(19),
            "\x81\x46VESTAN9: \x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x95\xDB\x8C\xEC\x82\xB3\x82\xEA"
            "\x82\xC4\x82\xA2\x82\xDC\x82\xB7");
  EXPECT_NE(log.find("\x81\x46second\n"), std::string::npos);
  EXPECT_NE(log.find("report.txt"), std::string::npos);
  EXPECT_NE(log.find("Not started (no desktop): gedit +12 a b.nc\n"), std::string::npos);
}

}  // namespace
}  // namespace vestan
