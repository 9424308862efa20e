#include "simulation/interference_messages.h"

#include <optional>
#include <string>

#include "simulation/interference_bookkeeping.h"
#include "simulation/interference_texts.h"

namespace vestan {

namespace {

using Id = InterferenceTextId;

int32_t MainLine(const InterferenceMessageLinks& links) {
  return static_cast<int32_t>(links.Nc.Modal.MainLineCounter);
}

int32_t ToolInSpindle(const InterferenceMessageLinks& links) {
  return links.Nc.Modal.Tools.CurrentToolNumber;
}

// "(line) - message". The message is an argument, never the format: an NC
// character "%" in it stays as it is. The host ends the line itself, so a
// message's own last line feed is dropped.
std::string LogLine(const InterferenceMessageLinks& links, std::string_view message) {
  if (!message.empty() && message.back() == '\n') message.remove_suffix(1);
  std::string line = "(";
  line += std::to_string(MainLine(links));
  line += ") - ";
  line += message;
  return line;
}

void ShowBox(const InterferenceMessageLinks& links, std::string_view caption,
             std::string_view text) {
  HostMessage box;
  box.Caption = std::string(caption);
  box.Text = std::string(text);
  box.Buttons = MessageButtons::kOk;
  box.Icon = MessageIcon::kNone;
  box.Topmost = true;
  links.Shell.ShowMessage(box);
}

void Deliver(const InterferenceMessageLinks& links, int32_t toLog, std::string_view text,
             std::string_view message) {
  if (toLog != 0)
    links.Shell.Log(LogLine(links, message));
  else
    ShowBox(links, message, text);
}

// Code 1: a rapid move cut material.
std::string RapidCutMessage(const InterferenceMessageLinks& links, int32_t toLog) {
  const int32_t english = links.EnglishMode;
  if (links.CuttingMode <= 0) return InterferenceText(Id::kRapidOutsideRun).In(english);
  const bool noRapidPath = links.Defs.Controller.G00Mode == 9;
  std::string message;
  if (links.Facts.ToolChangeInProgress != 0) {
    // Only the Japanese texts name the tools; the English ones have no conversion.
    const int32_t tool = ToolInSpindle(links);
    message = FormatInterferenceText(
        noRapidPath ? Id::kRapidPossibleToolChange : Id::kRapidDamagedToolChange, english,
        links.Facts.PreviousTool, tool, tool);
  } else {
    message = InterferenceText(noRapidPath ? Id::kRapidPossible : Id::kRapidDamaged).In(english);
  }
  if (toLog == 0) message += InterferenceText(Id::kJumpKeyHint).In(english);
  return message;
}

std::optional<Id> ToolChangeText(int32_t code) {
  switch (code) {
    case 2:
      return Id::kArborToolChange;
    case 4:
      return Id::kBottomToolChange;
    case 5:
      return Id::kTaperToolChange;
    default:
      return std::nullopt;
  }
}

// The formatted alarms (91, 103 to 109); none for other codes.
std::optional<std::string> AlarmMessage(const InterferenceMessageLinks& links, int32_t toLog,
                                        int32_t code) {
  const int32_t english = links.EnglishMode;
  const RunMessageFacts& facts = links.Facts;
  const ControllerDefinition& controller = links.Defs.Controller;
  switch (code) {
    case 91:
      return FormatInterferenceText(Id::kOverStroke, english, facts.OverStrokeLetter);
    case 103: {
      // The program-start character; a blank means none.
      const char letter = controller.EndOfRecordLetter;
      const std::string start = letter == ' ' ? std::string() : std::string(1, letter);
      return FormatInterferenceText(toLog != 0 ? Id::kStartCodeLog : Id::kStartCodeBox, english,
                                    start.c_str());
    }
    case 104:
      return FormatInterferenceText(Id::kInvalidCharacter, english, facts.RefusedColumn,
                                    facts.RefusedCharacter);
    case 105:
      return FormatInterferenceText(Id::kDoublePoint, english, facts.RefusedColumn);
    case 106:
      return FormatInterferenceText(Id::kReverseArc, english, MainLine(links));
    case 107:
      return FormatInterferenceText(Id::kOffsetAlarm, english, MainLine(links));
    case 108:
    case 109:
      return FormatInterferenceText(Id::kRotaryLock, english,
                                    controller.Rotary[code == 108 ? 0 : 1].Letter, MainLine(links));
    default:
      return std::nullopt;
  }
}

bool HandledByGangTools(const InterferenceMessageLinks& links, int32_t code) {
  if (code != 8 && (code < 11 || code > 14)) return false;
  if (links.Facts.MultiToolPassRunning != 0) return false;
  const GangToolList& gang = links.Defs.Tools.Gang;
  const int32_t tool = ToolInSpindle(links);
  return gang.IsGangTool(tool) || (tool == 0 && gang.IsGangTool(1));
}

}  // namespace

void ShowMessageOrLog(const InterferenceMessageLinks& links, int32_t toLog, std::string_view text,
                      std::string_view english, std::string_view japanese) {
  Deliver(links, toLog, text, links.EnglishMode != 0 ? english : japanese);
}

void ShowInterferenceMessage(const InterferenceMessageLinks& links, int32_t toLog,
                             std::string_view text, int32_t code) {
  if (HandledByGangTools(links, code)) {
    ShowToolChangeInterference(links, toLog, code);
    return;
  }
  if (links.Facts.ToolChangeInProgress != 0) {
    if (const std::optional<Id> id = ToolChangeText(code)) {
      const int32_t tool = ToolInSpindle(links);
      Deliver(links, toLog, text,
              FormatInterferenceText(*id, links.EnglishMode, links.Facts.PreviousTool, tool, tool));
      return;
    }
  }
  if (code == 1) {
    Deliver(links, toLog, text, RapidCutMessage(links, toLog));
    return;
  }
  if (code == 10) {
    const bool below = links.Defs.Checks.SpindleLimits[0] > links.Nc.Modal.SpindleSpeed;
    const BilingualText& t = InterferenceText(below ? Id::kLowSpindle : Id::kOverSpindle);
    ShowMessageOrLog(links, toLog, text, t.English, t.Japanese);
    return;
  }
  if (const std::optional<std::string> alarm = AlarmMessage(links, toLog, code)) {
    Deliver(links, toLog, text, *alarm);
    return;
  }
  if (const std::optional<Id> id = PlainKindText(code)) {
    const BilingualText& t = InterferenceText(*id);
    ShowMessageOrLog(links, toLog, text, t.English, t.Japanese);
  }
}

void ShowFirstInterferenceMessage(const InterferenceMessageLinks& links) {
  int32_t code = 1;
  const InterferenceHits& hits = links.Nc.Run.Hits;
  for (size_t pair = 0; pair < kNamedPairCount; ++pair) {
    if (hits.Pairs[pair] != 0) {
      code = CodeOfPair(static_cast<InterferencePair>(pair));
      break;
    }
  }
  ShowInterferenceMessage(links, 0, links.Defs.Paths.NcProgram, code);
}

void ShowToolChangeInterference(const InterferenceMessageLinks& links, int32_t toLog,
                                int32_t code) {
  const GangTool* hit = nullptr;
  for (const GangTool& gang : links.Defs.Tools.Gang.Tools) {
    if (gang.Hit.HitFlag != 0) {
      hit = &gang;
      break;
    }
  }
  if (hit == nullptr) return;

  const int32_t english = links.EnglishMode;
  const int32_t tool = ToolInSpindle(links);
  const int32_t previous = links.Facts.PreviousTool;
  // The English texts name the gang tool first, the Japanese ones last.
  std::string tools;
  if (hit->Hit.DuringToolChange != 0) {
    tools = english != 0
                ? FormatInterferenceText(Id::kGangToolChange, english, hit->Tool, previous, tool)
                : FormatInterferenceText(Id::kGangToolChange, english, previous, tool, hit->Tool);
  } else if (links.CuttingMode >= 1 || tool != 0) {
    const Id id = links.CuttingMode >= 1 ? Id::kGangCutting : Id::kGangSelecting;
    tools = english != 0 ? FormatInterferenceText(id, english, hit->Tool, tool)
                         : FormatInterferenceText(id, english, tool, hit->Tool);
  } else {
    tools = FormatInterferenceText(Id::kGangNoTool, english, hit->Tool);
  }

  Id caption = Id::kGangOther;
  if (code >= 11 && code <= 14)
    caption = static_cast<Id>(static_cast<size_t>(Id::kGangVice) + static_cast<size_t>(code - 11));
  const char* captionText = InterferenceText(caption).In(english);
  if (toLog != 0)
    links.Shell.Log(LogLine(links, captionText));
  else
    ShowBox(links, captionText, tools);
}

}  // namespace vestan
