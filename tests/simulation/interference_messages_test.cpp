#include "simulation/interference_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulation/run_world.h"

namespace vestan {
namespace {

using testing::RunWorld;
using Call = RecordingHost::Call;

constexpr const char* kProgram = "PARTS\\O1234.NC";

// A world at main line 42 with tool 5 in the spindle; tool 3 was the one
// before.
RunWorld& AtLine42(RunWorld& w) {
  w.Nc.Modal.MainLineCounter = 42;
  w.Nc.Modal.Tools.CurrentToolNumber = 5;
  w.Facts.PreviousTool = 3;
  w.Defs.Paths.NcProgram = kProgram;
  return w;
}

// The caption (the message) of the only box shown, or "" when none or more.
std::string OnlyCaption(const RunWorld& w) {
  return w.Host.Messages.size() == 1 ? w.Host.Messages[0].Caption : std::string();
}

TEST(InterferenceMessagesTest, APlainKindIsATopmostBoxOverTheProgramName) {
  for (int32_t english : {1, 0}) {
    RunWorld w;
    AtLine42(w).EnglishMode = english;
    ShowInterferenceMessage(w.Messages(), 0, kProgram, 2);
    ASSERT_EQ(w.Host.Messages.size(), 1u);
    const HostMessage& box = w.Host.Messages[0];
    EXPECT_EQ(box.Caption, english != 0 ? "Arbor interfered." : "工具保持具が干渉しました");
    EXPECT_EQ(box.Text, kProgram);
    EXPECT_TRUE(box.Topmost);
    EXPECT_EQ(box.Icon, MessageIcon::kNone);
    EXPECT_EQ(box.Buttons, MessageButtons::kOk);
    EXPECT_EQ(w.Host.Count(Call::kLog), 0);
  }
}

TEST(InterferenceMessagesTest, ALogLineTakesTheMessageAsTextNeverAsFormat) {
  RunWorld w;
  AtLine42(w).Nc.Modal.MainLineCounter = 7;
  // A "%n" would write through a stray pointer if the message were the format.
  ShowMessageOrLog(w.Messages(), 1, kProgram, "100%n done %d%s", "unused");
  // The offending NC character of alarm 104 may itself be a "%".
  w.Facts.RefusedColumn = 3;
  w.Facts.RefusedCharacter = '%';
  ShowInterferenceMessage(w.Messages(), 1, kProgram, 104);
  // Texts without "%" keep their bytes.
  ShowInterferenceMessage(w.Messages(), 1, kProgram, 38);
  EXPECT_EQ(w.Host.Texts(Call::kLog),
            (std::vector<std::string>{"(7) - 100%n done %d%s", "(7) - 3\"%\" - Invalid Character!",
                                      "(7) - HEADvsWORK interfered."}));
  EXPECT_TRUE(w.Host.Messages.empty());
}

TEST(InterferenceMessagesTest, FormattedAlarmsInBothLanguages) {
  struct Case {
    int32_t code;
    const char* english;
    const char* japanese;
  };
  const std::vector<Case> cases = {
      {91, "Over Stroke of Y-axis!", "Y軸の可動範囲を越えました!"},
      {101, "G02/G03 IJK Error - Invalid IJK Value.",
       "G02/G03 IJK Error - 始点の半径と終点の半径が大きく異なる"},
      {102, "Zero Feedrate!", "送り速度が0です!"},
      {103, "Start Code(%) is not Fonud !", "開始コード(%)が見つかりません!"},
      {104, "17\"Q\" - Invalid Character!", "17文字目\"Q\" - 不正文字検出!"},
      {105, "17th - Double decimal points!", "17文字目 - 小数点重複!"},
      {106, "Over Offset - Reverse Arc!(42Line)", "過剰オフセット - 円弧が反転!(42行目)"},
      {107, "Over Offset - Alarm(42Line)", "過剰オフセット - アラーム(42行目)"},
      // The line suffix follows the language.
      {108, "A-Axis Lock(42Line)", "A軸Lock中!(42行目)"},
      {109, "C-Axis Lock(42Line)", "C軸Lock中!(42行目)"},
  };
  for (const Case& c : cases) {
    for (int32_t english : {1, 0}) {
      RunWorld w;
      AtLine42(w).EnglishMode = english;
      w.Facts.OverStrokeLetter = 'Y';
      w.Facts.RefusedColumn = 17;
      w.Facts.RefusedCharacter = 'Q';
      w.Defs.Controller.EndOfRecordLetter = '%';
      w.Defs.Controller.Rotary[0].Letter = 'A';
      w.Defs.Controller.Rotary[1].Letter = 'C';
      ShowInterferenceMessage(w.Messages(), 0, kProgram, c.code);
      EXPECT_EQ(OnlyCaption(w), english != 0 ? c.english : c.japanese) << c.code;
    }
  }
}

TEST(InterferenceMessagesTest, StartCodeTextsDifferInTheBoxAndTheLog) {
  RunWorld w;
  AtLine42(w).Defs.Controller.EndOfRecordLetter = ' ';  // none
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 103);
  EXPECT_EQ(OnlyCaption(w), "Start Code() is not Fonud !");
  w.Defs.Controller.EndOfRecordLetter = '%';
  ShowInterferenceMessage(w.Messages(), 1, kProgram, 103);
  w.EnglishMode = 0;
  ShowInterferenceMessage(w.Messages(), 1, kProgram, 103);
  EXPECT_EQ(w.Host.Texts(Call::kLog),
            (std::vector<std::string>{"(42) - Start Code(%) is Not Found !",
                                      "(42) - 開始コード(%)が見つかりません!"}));
}

TEST(InterferenceMessagesTest, RapidCutTextsByRunControllerAndToolChange) {
  struct Case {
    const char* name;
    int32_t cuttingMode;
    int32_t g00Mode;
    int32_t toolChange;
    int32_t english;
    int32_t toLog;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"outside a run", 0, 0, 0, 1, 0, "The tool was dameged."},
      {"outside a run, Japanese", 0, 0, 0, 0, 0, "工具が干渉しました"},
      {"run", 1, 0, 0, 1, 0, "The tool was dameged. (G00 interference)"},
      {"run, no rapid path", 3, 9, 0, 1, 0, "G00 interference or it's possible"},
      {"run, English at a tool change", 1, 0, 1, 1, 0, "The tool was dameged. (G00 interference)"},
      {"run, Japanese box", 1, 0, 0, 0, 0, "工具が破損しました(G00干渉) --- Jキーで干渉位置と往復"},
      {"run, Japanese box, no rapid path", 1, 9, 0, 0, 0,
       "G00干渉、もしくはその可能性あり --- Jキーで干渉位置と往復"},
      {"run, Japanese box at a tool change", 1, 0, 1, 0, 0,
       "工具交換(T03→T05)中にT05が干渉\n --- Jキーで干渉位置と往復"},
      {"run, Japanese log at a tool change", 1, 9, 1, 0, 1,
       "(42) - 工具交換(T03→T05)中にT05がG00干渉、もしくはその可能性あり"},
      {"run, English log", 2, 0, 0, 1, 1, "(42) - The tool was dameged. (G00 interference)"},
  };
  for (const Case& c : cases) {
    RunWorld w;
    AtLine42(w).EnglishMode = c.english;
    w.Defs.Controller.G00Mode = c.g00Mode;
    w.Facts.ToolChangeInProgress = c.toolChange;
    ShowInterferenceMessage(w.Messages(c.cuttingMode), c.toLog, kProgram, 1);
    const std::vector<std::string> logs = w.Host.Texts(Call::kLog);
    const std::string shown = c.toLog != 0 ? (logs.size() == 1 ? logs[0] : "") : OnlyCaption(w);
    EXPECT_EQ(shown, c.expected) << c.name;
  }
}

TEST(InterferenceMessagesTest, SpindleSpeedAndToolChangeKinds) {
  RunWorld w;
  AtLine42(w).Defs.Checks.SpindleLimits = {100.0, 1000.0};
  w.Nc.Modal.SpindleSpeed = 50.0;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 10);
  w.Nc.Modal.SpindleSpeed = 2000.0;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 10);
  // Kinds 2, 4 and 5 name the tools during a tool change.
  w.EnglishMode = 0;
  w.Facts.ToolChangeInProgress = 1;
  for (int32_t code : {2, 4, 5, 3}) ShowInterferenceMessage(w.Messages(), 0, kProgram, code);
  w.EnglishMode = 1;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 5);
  std::vector<std::string> captions;
  for (const HostMessage& box : w.Host.Messages) captions.push_back(box.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{
                          "Low Spindle Speed",
                          "Over Spindle Speed",
                          "工具交換(T03→T05)中にT05の工具保持具が干渉しました\n",
                          "工具交換(T03→T05)中にT05の内径無効部分で切削しました\n",
                          "工具交換(T03→T05)中にT05の工具側テーパー部が干渉しました\n",
                          "有効刃長を越えて切削しました",
                          "During tool change(T03→T05), the tool side (taper) of T05 interfered.\n",
                      }));
}

TEST(InterferenceMessagesTest, CodesWithoutATextShowNothing) {
  RunWorld w;
  AtLine42(w);
  for (int32_t code : {0, 15, 16, 22, 23, 28, 29, 35, 36, 43, 44, 46, 90, 100, 110, -1})
    ShowInterferenceMessage(w.Messages(), 0, kProgram, code);
  for (int32_t code : {15, 100}) ShowInterferenceMessage(w.Messages(), 1, kProgram, code);
  EXPECT_TRUE(w.Host.Events.empty());
}

TEST(InterferenceMessagesTest, FirstPairHitInCodeOrderOrTheRapidCut) {
  RunWorld w;
  AtLine42(w);
  ShowFirstInterferenceMessage(w.Messages(0));
  w.Hits().Pairs[kPairHeadWork] = 1;
  w.Hits().Pairs[kPairHead1Vice] = 1;
  w.Checks().Pairs.fill(0);  // the settings are not consulted
  ShowFirstInterferenceMessage(w.Messages(0));
  ASSERT_EQ(w.Host.Messages.size(), 2u);
  EXPECT_EQ(w.Host.Messages[0].Caption, "The tool was dameged.");
  EXPECT_EQ(w.Host.Messages[1].Caption, "HEAD1vsVICE interfered.");
  EXPECT_EQ(w.Host.Messages[1].Text, kProgram);
}

TEST(InterferenceMessagesTest, GangToolTextsNameTheToolsInEachLanguagesOrder) {
  struct Case {
    const char* name;
    int32_t cuttingMode;
    int32_t currentTool;
    int32_t duringChange;
    const char* english;
    const char* japanese;
  };
  const std::vector<Case> cases = {
      {"tool change", 1, 5, 1, "T07 interference during tool change(T03→T05).\n",
       "工具交換(T03→T05)中にT07が干渉\n"},
      {"cutting", 1, 5, 0, "T07 interference during cutting by T05.\n",
       "T05による加工動作中にT07が干渉\n"},
      {"no tool", 0, 0, 0, "T07 interference when tool isn't chosen.\n",
       "工具未選択状態でT07が干渉\n"},
      {"selecting", 0, 5, 0, "T07 interference in selecting T05\n", "T05選択状態でT07が干渉\n"},
  };
  for (const Case& c : cases) {
    for (int32_t english : {1, 0}) {
      RunWorld w;
      AtLine42(w).EnglishMode = english;
      w.Nc.Modal.Tools.CurrentToolNumber = c.currentTool;
      // Tool 1 stands for the spindle when no tool is chosen.
      w.Defs.Tools.Gang.Tools = {
          {c.currentTool == 0 ? 1 : 5, {}}, {6, {0, 0}}, {7, {1, c.duringChange}}, {8, {1, 0}}};
      ShowInterferenceMessage(w.Messages(c.cuttingMode), 0, kProgram, 13);
      ASSERT_EQ(w.Host.Messages.size(), 1u) << c.name;
      EXPECT_EQ(w.Host.Messages[0].Text, english != 0 ? c.english : c.japanese) << c.name;
      EXPECT_EQ(w.Host.Messages[0].Caption,
                english != 0 ? "KUSHIHA and TABLE1 interfered" : "くし刃とTABLE1の干渉")
          << c.name;
    }
  }
}

TEST(InterferenceMessagesTest, GangToolCaptionsAndWhenTheGangPathIsTaken) {
  RunWorld w;
  AtLine42(w).Defs.Tools.Gang.Tools = {{5, {1, 0}}};
  for (int32_t code : {8, 11, 12, 14}) ShowInterferenceMessage(w.Messages(), 0, kProgram, code);
  ShowInterferenceMessage(w.Messages(), 1, kProgram, 11);  // the log carries the caption only
  // A multi-tool pass shows the plain messages.
  w.Facts.MultiToolPassRunning = 1;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 11);
  w.Facts.MultiToolPassRunning = 0;
  // Tool 5 is a gang tool but none was hit: nothing.
  w.Defs.Tools.Gang.Tools[0].Hit.HitFlag = 0;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 12);
  // The current tool is no gang tool: the plain message.
  w.Nc.Modal.Tools.CurrentToolNumber = 2;
  ShowInterferenceMessage(w.Messages(), 0, kProgram, 14);
  std::vector<std::string> captions;
  for (const HostMessage& box : w.Host.Messages) captions.push_back(box.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{
                          "KUSHIHA interfered", "KUSHIHA and VICE interfered",
                          "KUSHIHA and TABLE2 interfered", "KUSHIHA and TABLE interfered",
                          "TOOLvsVICE interfered.", "TOOLvsTABLE interfered."}));
  EXPECT_EQ(w.Host.Texts(Call::kLog),
            std::vector<std::string>{"(42) - KUSHIHA and VICE interfered"});
}

}  // namespace
}  // namespace vestan
