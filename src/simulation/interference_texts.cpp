#include "simulation/interference_texts.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace vestan {

namespace {

using Id = InterferenceTextId;

struct Entry {
  Id Key;
  BilingualText Text;
};

// The spellings are the program's own (including "dameged" and "Fonud");
// stored reports and users' scripts may look for them.
constexpr std::array<Entry, static_cast<size_t>(Id::kTextCount)> kTexts = {{
    {Id::kArbor, {"Arbor interfered.", "工具保持具が干渉しました"}},
    {Id::kOverLength, {"Cut in an invalid part of tool length.", "有効刃長を越えて切削しました"}},
    {Id::kBottom, {"Cut in an invalid part of bottom.", "内径の無効部分で切削しました"}},
    {Id::kTaper, {"Tool side (*tapa*) interfered.", "工具側テーパ部が干渉しました"}},
    {Id::kTooFast, {"RAPID Interference(Too fast Feedrate).", "早送り干渉(送り速度が速すぎます)"}},
    {Id::kOverload, {"Too heavy Cutting. Tool was dameged.", "工具が過負荷で破損しました"}},
    {Id::kAttachment, {"Attachment interfered", "アタッチメントが干渉しました"}},
    {Id::kSpindleStop, {"Spindle Stop", "主軸回転停止中に干渉しました"}},
    {Id::kLowSpindle, {"Low Spindle Speed", "主軸回転数が指定範囲より少ないです"}},
    {Id::kOverSpindle, {"Over Spindle Speed", "主軸回転数が指定範囲を超えています"}},
    {Id::kToolVice, {"TOOLvsVICE interfered.", "工具とバイスが干渉しています。"}},
    {Id::kToolTable2, {"TOOLvsTABLE2 interfered.", "工具とTABLE2が干渉しています。"}},
    {Id::kToolTable1, {"TOOLvsTABLE1 interfered.", "工具とTABLE1が干渉しています。"}},
    {Id::kToolTable, {"TOOLvsTABLE interfered.", "工具とTABLEが干渉しています。"}},
    {Id::kToolBasic, {"TOOLvsBASIC interfered.", "TOOLとBASICが干渉しています。"}},
    {Id::kArborVice, {"ARBORvsVICE interfered.", "ARBORとVICEが干渉しています。"}},
    {Id::kArborTable2, {"ARBORvsTABLE2 interfered.", "ARBORとTABLE2が干渉しています。"}},
    {Id::kArborTable1, {"ARBORvsTABLE1 interfered.", "ARBORとTABLE1が干渉しています。"}},
    {Id::kArborTable, {"ARBORvsTABLE interfered.", "ARBORとTABLEが干渉しています。"}},
    {Id::kArborBasic, {"ARBORvsBASIC interfered.", "ARBORとBASICが干渉しています。"}},
    {Id::kHead2Work, {"HEAD2vsWORK interfered.", "HEAD2とWORKが干渉しています。"}},
    {Id::kHead2Vice, {"HEAD2vsVICE interfered.", "HEAD2とVICEが干渉しています。"}},
    {Id::kHead2Table, {"HEAD2vsTABLE interfered.", "HEAD2とTABLEが干渉しています。"}},
    {Id::kHead2Basic, {"HEAD2vsBASIC interfered.", "HEAD2とBASICが干渉しています。"}},
    {Id::kHead1Work, {"HEAD1vsWORK interfered.", "HEAD1とWORKが干渉しています。"}},
    {Id::kHead1Vice, {"HEAD1vsVICE interfered.", "HEAD1とVICEが干渉しています。"}},
    {Id::kHead1Table1, {"HEAD1vsTABLE1 interfered.", "HEAD1とTABLE1が干渉しています。"}},
    {Id::kHead1Table, {"HEAD1vsTABLE interfered.", "HEAD1とTABLEが干渉しています。"}},
    {Id::kHead1Basic, {"HEAD1vsBASIC interfered.", "HEAD1とBASICが干渉しています。"}},
    {Id::kHeadWork, {"HEADvsWORK interfered.", "HEADとWORKが干渉しています。"}},
    {Id::kHeadVice, {"HEADvsVICE interfered.", "HEADとVICEが干渉しています。"}},
    {Id::kHeadTable2, {"HEADvsTABLE2 interfered.", "HEADとTABLE2が干渉しています。"}},
    {Id::kHeadTable1, {"HEADvsTABLE1 interfered.", "HEADとTABLE1が干渉しています。"}},
    {Id::kHeadTable, {"HEADvsTABLE interfered.", "HEADとTABLEが干渉しています。"}},
    {Id::kHeadBasic, {"HEADvsBASIC interfered.", "HEADとBASICが干渉しています。"}},
    {Id::kArcError,
     {"G02/G03 IJK Error - Invalid IJK Value.",
      "G02/G03 IJK Error - 始点の半径と終点の半径が大きく異なる"}},
    {Id::kZeroFeed, {"Zero Feedrate!", "送り速度が0です!"}},
    {Id::kOverStroke, {"Over Stroke of %c-axis!", "%c軸の可動範囲を越えました!"}},
    {Id::kStartCodeBox, {"Start Code(%s) is not Fonud !", "開始コード(%s)が見つかりません!"}},
    {Id::kStartCodeLog, {"Start Code(%s) is Not Found !", "開始コード(%s)が見つかりません!"}},
    {Id::kInvalidCharacter, {"%d\"%c\" - Invalid Character!", "%d文字目\"%c\" - 不正文字検出!"}},
    {Id::kDoublePoint, {"%dth - Double decimal points!", "%d文字目 - 小数点重複!"}},
    {Id::kReverseArc,
     {"Over Offset - Reverse Arc!(%dLine)", "過剰オフセット - 円弧が反転!(%d行目)"}},
    {Id::kOffsetAlarm, {"Over Offset - Alarm(%dLine)", "過剰オフセット - アラーム(%d行目)"}},
    // The line suffixes follow the language (they were given crossed).
    {Id::kRotaryLock, {"%c-Axis Lock(%dLine)", "%c軸Lock中!(%d行目)"}},
    {Id::kRapidPossible, {"G00 interference or it's possible", "G00干渉、もしくはその可能性あり"}},
    {Id::kRapidPossibleToolChange,
     {"G00 interference or it's possible",
      "工具交換(T%02d→T%02d)中にT%02dがG00干渉、もしくはその可能性あり\n"}},
    {Id::kRapidDamaged,
     {"The tool was dameged. (G00 interference)", "工具が破損しました(G00干渉)"}},
    {Id::kRapidDamagedToolChange,
     {"The tool was dameged. (G00 interference)", "工具交換(T%02d→T%02d)中にT%02dが干渉\n"}},
    {Id::kJumpKeyHint, {"", " --- Jキーで干渉位置と往復"}},
    {Id::kRapidOutsideRun, {"The tool was dameged.", "工具が干渉しました"}},
    {Id::kArborToolChange,
     {"During tool change(T%02d→T%02d), the arbor of T%02d interfered.\n",
      "工具交換(T%02d→T%02d)中にT%02dの工具保持具が干渉しました\n"}},
    {Id::kBottomToolChange,
     {"During tool change(T%02d→T%02d), T%02d cut in an invalid part of bottom.\n",
      "工具交換(T%02d→T%02d)中にT%02dの内径無効部分で切削しました\n"}},
    {Id::kTaperToolChange,
     {"During tool change(T%02d→T%02d), the tool side (taper) of T%02d interfered.\n",
      "工具交換(T%02d→T%02d)中にT%02dの工具側テーパー部が干渉しました\n"}},
    {Id::kGangToolChange,
     {"T%02d interference during tool change(T%02d→T%02d).\n",
      "工具交換(T%02d→T%02d)中にT%02dが干渉\n"}},
    {Id::kGangCutting,
     {"T%02d interference during cutting by T%02d.\n", "T%02dによる加工動作中にT%02dが干渉\n"}},
    {Id::kGangNoTool,
     {"T%02d interference when tool isn't chosen.\n", "工具未選択状態でT%02dが干渉\n"}},
    {Id::kGangSelecting,
     {"T%02d interference in selecting T%02d\n", "T%02d選択状態でT%02dが干渉\n"}},
    {Id::kGangVice, {"KUSHIHA and VICE interfered", "くし刃とバイスの干渉"}},
    {Id::kGangTable2, {"KUSHIHA and TABLE2 interfered", "くし刃とTABLE2の干渉"}},
    {Id::kGangTable1, {"KUSHIHA and TABLE1 interfered", "くし刃とTABLE1の干渉"}},
    {Id::kGangTable, {"KUSHIHA and TABLE interfered", "くし刃とTABLEの干渉"}},
    {Id::kGangOther, {"KUSHIHA interfered", "くし刃干渉"}},
    {Id::kCollideSuffix, {" Collide", "干渉"}},
    {Id::kReportNotCreated,
     {"%s cannot be created: the report of this run is not written.",
      "%sを作成できません。この実行のレポートは書き込まれません。"}},
    {Id::kReportNotWritten,
     {"%s could not be written completely.", "%sを最後まで書き込めませんでした。"}},
}};

// Each entry stands at its own id's place, so a lookup is an index.
constexpr bool InIdOrder() {
  for (size_t i = 0; i < kTexts.size(); ++i)
    if (static_cast<size_t>(kTexts[i].Key) != i) return false;
  return true;
}
static_assert(InIdOrder(), "kTexts must list every text in InterferenceTextId order");

}  // namespace

const BilingualText& InterferenceText(InterferenceTextId id) {
  return kTexts[static_cast<size_t>(id)].Text;
}

std::string FormatInterferenceText(InterferenceTextId id, int32_t englishMode, ...) {
  const char* format = InterferenceText(id).In(englishMode);
  va_list arguments;
  va_start(arguments, englishMode);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  }
  va_end(again);
  return text;
}

}  // namespace vestan
