#include "automation/macro_runner.h"

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "automation/command_line.h"
#include "automation/difference_argument.h"
#include "automation/macro_arguments.h"
#include "foundation/path_text.h"
#include "foundation/text_fields.h"
#include "platform/child_process.h"
#include "platform/file_open.h"
#include "platform/virtual_keys.h"

namespace vestan {

namespace {

enum class Keyword {
  kComment,
  kLoadWork,
  kSaveWork,
  kSelectNc,
  kSelectBasicModel,
  kLoadToolTable,
  kLoadController,
  kLoadMachine,
  kVerifySilent,
  kVerify,
  kSetInterferenceCheck,
  kSetMachineCheck,
  kSetWorkPitch,
  kSetMovePitch,
  kSetPitch,
  kCutReal,
  kCutSkip,
  kCutResult,
  kDiff,
  kKey,
  kUndo,
  kMinimize,
  kMaximize,
  kRestore,
  kSleep,
  kSaveImage,
  kExec,
  kExit,
  kContinue,
};

// Tried in this order: a keyword is listed before a shorter one it begins with.
constexpr std::array<KeyEntry<Keyword>, 29> kKeywords = {{
    {"#", Keyword::kComment},
    {"LOAD_WORK", Keyword::kLoadWork},
    {"SAVE_WORK", Keyword::kSaveWork},
    {"SELECT_NCDATA", Keyword::kSelectNc},
    {"SELECT_BASIC_MODEL", Keyword::kSelectBasicModel},
    {"LOAD_TTL", Keyword::kLoadToolTable},
    {"LOAD_CTL", Keyword::kLoadController},
    {"LOAD_MTL", Keyword::kLoadMachine},
    {"VERIFY SILENT", Keyword::kVerifySilent},
    {"VERIFY", Keyword::kVerify},
    {"SET_INTERFERENCE_CHECK", Keyword::kSetInterferenceCheck},
    {"SET_MACHINE_CHECK", Keyword::kSetMachineCheck},
    {"SET_WORK_PITCH", Keyword::kSetWorkPitch},
    {"SET_MOVE_PITCH", Keyword::kSetMovePitch},
    {"SET_PITCH", Keyword::kSetPitch},
    {"CUT(REAL)", Keyword::kCutReal},
    {"CUT(SKIP)", Keyword::kCutSkip},
    {"CUT(RESULT)", Keyword::kCutResult},
    {"DIFF", Keyword::kDiff},
    {"KEY", Keyword::kKey},
    {"UNDO", Keyword::kUndo},
    {"MINIMIZE_WINDOW", Keyword::kMinimize},
    {"MAXIMIZE_WINDOW", Keyword::kMaximize},
    {"RESTORE_WINDOW", Keyword::kRestore},
    {"SLEEP", Keyword::kSleep},
    {"SAVE_IMAGE", Keyword::kSaveImage},
    {"EXEC", Keyword::kExec},
    {"EXIT", Keyword::kExit},
    {"CONTINUE", Keyword::kContinue},
}};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The key the view takes as undo.
constexpr int32_t kUndoKey = 'C';

std::string_view TrimEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || IsBlank(line.back()))) line.remove_suffix(1);
  return line;
}

// A pitch: a finite number above 0.
bool IsPitch(double value) { return value > 0 && value < 1e300; }

// The number at the start of text (blanks skipped); none when it holds none.
std::optional<double> NumberAt(std::string_view text, size_t& at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  size_t used = 0;
  const double value = ConvertDouble(text.substr(at), used);
  if (used == 0) return std::nullopt;
  at += used;
  return value;
}

// One run of a macro file.
class MacroRun {
 public:
  explicit MacroRun(AutomationContext& c)
      : c_(c), r_(c.S.CommandLine), silent_(c.S.CommandLine.silentMode.load() != 0) {}

  int32_t Run() {
    if (r_.workLoadRequested.load() != 0) {
      // A work file named on the command line that does not load ends the
      // macro before it starts.
      const bool named = Read([this] { return !c_.S.Defs.Paths.WorkLoad.empty(); });
      const int64_t loaded = c_.Target.SendCommand(command::kLoadWork, 0);
      r_.workLoadRequested = 0;
      if (loaded != 1 && (named || c_.Unattended)) {
        Log("The workpiece was not loaded; the macro is not run.");
        c_.Target.PostProgramEnd();
        return kAutomationWorkNotLoaded;
      }
    }

    std::string file;
    c_.Port.OnMainThread([&] {
      file = c_.S.Defs.Paths.MacroFile;
      ncFolder_ = c_.S.Defs.Paths.NcFolder;
      workFolder_ = c_.S.Defs.Paths.WorkModelFolder;
    });
    name_ = FileNamePart(file);
    const std::optional<std::string> content = ReadFileBytes(ToNativePath(file));
    if (!content) {
      // Nothing of the macro has run: that is a break, not a completion.
      Log("Macro " + file + " could not be opened; nothing was run.");
      c_.Port.OnMainThread([&] {
        c_.Shell.Macro.Name = name_;
        c_.Shell.Macro.Running = 0;
        c_.Shell.Macro.Completed = 0;
        c_.Shell.Macro.Broken = 1;
      });
      if (!silent_) c_.Port.RefreshStatusBar();
      return kAutomationMacroFailed;
    }
    c_.Port.OnMainThread([&] {
      c_.Shell.Macro.Name = name_;
      c_.Shell.Macro.Running = 1;
      c_.Shell.Macro.Broken = 0;
      c_.Shell.Macro.Completed = 0;
    });

    const std::vector<std::string> lines = SplitLines(*content);
    bool exitSeen = false;
    for (lineNumber_ = 1; lineNumber_ <= lines.size(); ++lineNumber_) {
      if (c_.Port.Stopping()) {
        breakPending_ = true;
        Log("The program is ending; the macro stops.");
        break;
      }
      const std::string_view line = TrimEnd(lines[lineNumber_ - 1]);
      if (breakPending_) {
        if (MatchesKey(line, "CONTINUE")) {
          breakPending_ = false;
          continue;
        }
        LogLine("the run before stopped early; the macro ends here");
        result_ = kAutomationMacroFailed;
        break;
      }
      if (line.empty()) continue;
      if (line.size() > kMacroLineMax) {
        Problem("a line holds at most 511 characters; the line is skipped");
        if (ended_) break;
        continue;
      }
      if (!silent_) c_.Port.RefreshStatusBar();
      const KeyEntry<Keyword>* entry = MatchKeyTable(kKeywords, line, 0);
      if (entry == nullptr) continue;
      if (entry->Key != Keyword::kComment) LogLine(line);
      if (entry->Key == Keyword::kExit) {
        exitSeen = true;
        break;
      }
      Act(entry->Key, line, entry->Text.size());
      if (ended_) break;
    }

    const bool broken = breakPending_ || ended_;
    if (broken && result_ == kAutomationDone) result_ = kAutomationMacroFailed;
    c_.Port.OnMainThread([&] {
      c_.Shell.Macro.Running = 0;
      c_.Shell.Macro.Completed = broken ? 0 : 1;
      c_.Shell.Macro.Broken = broken ? 1 : 0;
    });
    if (!silent_) c_.Port.RefreshStatusBar();
    Log(broken ? "Macro " + name_ + " broken off." : "Macro " + name_ + " complete.");
    if (exitSeen) c_.Target.PostProgramEnd();
    return result_;
  }

 private:
  template <typename F>
  std::invoke_result_t<F&> Read(F f) {
    std::invoke_result_t<F&> value{};
    c_.Port.OnMainThread([&] { value = f(); });
    return value;
  }

  void Log(const std::string& text) { c_.S.Shell.Log(text); }
  void LogLine(std::string_view text) {
    Log(name_ + "(" + std::to_string(lineNumber_) + "): " + std::string(text));
  }
  // A line that cannot be carried out: logged; unattended, it ends the macro.
  void Problem(std::string_view what, int32_t code = kAutomationMacroFailed) {
    LogLine(what);
    if (c_.Unattended) Fail(code);
  }
  void Fail(int32_t code) {
    if (result_ == kAutomationDone) result_ = code;
    ended_ = true;
  }

  // Reads the argument behind the keyword into name (left empty when the
  // line has none). False when it was refused (logged).
  bool Argument(std::string_view line, size_t at, std::optional<std::string>& name,
                size_t* end = nullptr) {
    std::string target;
    const MacroArgumentResult result = ReadMacroArgument(line, at, {ncFolder_, workFolder_}, target);
    if (end != nullptr) *end = result.End;
    if (result.Status == MacroArgumentStatus::kTooLong) {
      Problem("the argument is longer than 255 characters; the line is skipped");
      return false;
    }
    if (result.Status == MacroArgumentStatus::kRead) name = std::move(target);
    return true;
  }

  void Act(Keyword keyword, std::string_view line, size_t at) {
    switch (keyword) {
      case Keyword::kComment:
      case Keyword::kSetMachineCheck:
      case Keyword::kContinue:
      case Keyword::kExit:
        return;
      case Keyword::kLoadWork:
        return LoadWork(line, at);
      case Keyword::kSaveWork:
        return SaveWork(line, at);
      case Keyword::kSelectNc:
        return SelectNc(line, at);
      case Keyword::kSelectBasicModel:
        return SelectBasicModel(line, at);
      case Keyword::kLoadToolTable:
        return LoadDefinition(line, at, &DefinitionFilePaths::ToolTable, command::kLoadToolTable);
      case Keyword::kLoadController:
        return LoadDefinition(line, at, &DefinitionFilePaths::Controller, command::kLoadController);
      case Keyword::kLoadMachine:
        return LoadDefinition(line, at, &DefinitionFilePaths::Machine, command::kLoadMachine);
      case Keyword::kVerifySilent:
        return Verify(silent_ ? 6 : 5, 1);
      case Keyword::kVerify:
        return silent_ ? Verify(6, 1) : Verify(1, 0);
      case Keyword::kSetInterferenceCheck:
        c_.Port.OnMainThread([&] { SetInterferenceCheckModes(line.substr(at), c_.S.Defs.Checks); });
        return;
      case Keyword::kSetWorkPitch:
      case Keyword::kSetMovePitch:
      case Keyword::kSetPitch:
        return Pitch(keyword, line, at);
      case Keyword::kCutReal:
        return Cut(2, command::kRealCut);
      case Keyword::kCutSkip:
        return Cut(3, command::kSkipCut);
      case Keyword::kCutResult: {
        const std::string_view rest = line.substr(at);
        const bool silentRun = rest.size() > 1 && IsBlank(rest[0]) && MatchesKey(rest.substr(1), "SILENT");
        return Cut(silentRun ? 5 : 4, command::kResultCut);
      }
      case Keyword::kDiff:
        return Difference(line, at);
      case Keyword::kKey:
        return Key(line, at);
      case Keyword::kUndo:
        c_.Target.SendKey(kUndoKey, false);
        return;
      case Keyword::kMinimize:
        c_.Target.SendSystemCommand(kSystemMinimize);
        return;
      case Keyword::kMaximize:
        c_.Target.SendSystemCommand(kSystemMaximize);
        return;
      case Keyword::kRestore:
        c_.Target.SendSystemCommand(kSystemRestore);
        return;
      case Keyword::kSleep:
        return Sleep(line, at);
      case Keyword::kSaveImage:
        return SaveImage(line, at);
      case Keyword::kExec:
        return Exec(line, at);
    }
  }

  void LoadWork(std::string_view line, size_t at) {
    std::optional<std::string> name;
    if (!Argument(line, at, name)) return;
    if (name) {
      c_.Port.OnMainThread([&] {
        c_.S.Defs.Paths.WorkLoad = *name;
        r_.stockShapeKind = 0;
      });
    }
    r_.workLoadRequested = 1;
    const int64_t loaded = c_.Target.SendCommand(command::kLoadWork, 0);
    r_.workLoadRequested = 0;
    if (loaded != 1) Problem("the workpiece was not loaded", kAutomationWorkNotLoaded);
  }

  void SaveWork(std::string_view line, size_t at) {
    size_t end = at;
    std::optional<std::string> name;
    if (!Argument(line, at, name, &end)) return;
    if (!name) name = Read([this] { return c_.S.Defs.Paths.WorkSave; });
    // The binary options: behind the closing quote, or at the end of an
    // unquoted name.
    std::string suffix(TrimEnd(line.substr(end)));
    if (suffix.empty()) {
      const size_t comma = name->rfind(',');
      if (comma != std::string::npos && (EqualsIgnoringAsciiCase(name->substr(comma), ",b") ||
                                         EqualsIgnoringAsciiCase(name->substr(comma), ",b2"))) {
        suffix = name->substr(comma);
        name->resize(comma);
      }
    }
    if (name->find('"') != std::string::npos) {
      Problem("a save name holds no quote; the line is skipped", kAutomationCommandFailed);
      return;
    }
    const std::string text = "\"" + *name + "\"" + suffix;
    size_t cursor = 0;
    const SaveFileArgument save = ParseSaveFileArgument(text, cursor);
    for (const std::string& problem : save.Problems) LogLine(problem);
    if (save.Refused) {
      Problem("nothing is saved", kAutomationCommandFailed);
      return;
    }
    c_.Port.OnMainThread([&] { c_.S.Defs.Paths.WorkSave = save.Name; });
    r_.saveKind = save.SaveKind;
    const int64_t saved = c_.Target.SendCommand(command::kSaveWork, save.SaveKind);
    r_.saveKind = kSaveNone;
    if (saved != 1) Problem("the workpiece was not saved", kAutomationCommandFailed);
  }

  void SelectNc(std::string_view line, size_t at) {
    std::optional<std::string> name;
    if (!Argument(line, at, name)) return;
    if (name) c_.Port.OnMainThread([&] { c_.S.Defs.Paths.NcProgram = *name; });
    r_.ncProgramGiven = 1;
    const int64_t selected = c_.Target.SendCommand(command::kSelectNc, 0);
    r_.ncProgramGiven = 0;
    if (selected != 1) Problem("the NC program was not selected", kAutomationNcError);
  }

  void SelectBasicModel(std::string_view line, size_t at) {
    std::optional<std::string> name;
    if (!Argument(line, at, name)) return;
    const bool taken = Read([&] {
      if (c_.S.Work.WorkPresent == 0) return false;
      DefinitionFilePaths& paths = c_.S.Defs.Paths;
      if (name) {
        paths.BasicModel = *name;
        paths.BasicModelTitle = FileNamePart(*name);
      }
      if (MenuItem* item = FindCommand(c_.Shell.Menu, command::kDifference))
        item->Enabled = !paths.BasicModel.empty();
      return true;
    });
    if (!taken) {
      LogLine("no workpiece: the basic model is not taken");
      return;
    }
    if (!silent_) c_.Port.RefreshStatusBar();
  }

  void LoadDefinition(std::string_view line, size_t at, std::string DefinitionFilePaths::*path,
                      int32_t id) {
    std::optional<std::string> name;
    if (!Argument(line, at, name)) return;
    c_.Port.OnMainThread([&] {
      if (name) c_.S.Defs.Paths.*path = *name;
      c_.Shell.PathPreset = 1;
    });
    if (c_.Target.SendCommand(id, 0) != 1) Problem("the file was not read", kAutomationCommandFailed);
  }

  void Verify(int32_t mode, int64_t quiet) {
    r_.verifyMode = mode;
    const int64_t result = c_.Target.SendCommand(command::kVerify, quiet);
    r_.verifyMode = 0;
    if (result == -1) {
      Problem("the verify report found NC errors", kAutomationNcError);
    } else if (result != 1) {
      Problem("no verify report was written", kAutomationCommandFailed);
    }
  }

  void Pitch(Keyword keyword, std::string_view line, size_t at) {
    std::optional<double> first = NumberAt(line, at);
    std::optional<double> second;
    if (keyword == Keyword::kSetPitch) {
      while (at < line.size() && IsBlank(line[at])) ++at;
      if (at < line.size() && line[at] == ',') {
        ++at;
        second = NumberAt(line, at);
        if (!second || !IsPitch(*second)) {
          Problem("the move pitch is no pitch; the line is skipped");
          return;
        }
      }
    }
    if (!first || !IsPitch(*first)) {
      Problem("no pitch is given; the line is skipped");
      return;
    }
    c_.Port.OnMainThread([&] {
      PitchSettings& pitch = c_.S.Defs.Settings.Pitch;
      if (keyword == Keyword::kSetMovePitch) {
        pitch.MovePitch = *first;
        pitch.MovePitchLinked = 0;
        return;
      }
      pitch.WorkPitchSetting = pitch.WorkPitch = *first;
      pitch.AutoPitch = 0;
      if (keyword != Keyword::kSetPitch) return;
      if (second) {
        pitch.MovePitch = *second;
        pitch.MovePitchLinked = 0;
      } else {
        pitch.MovePitchLinked = 1;
        pitch.MovePitch = pitch.MovePitchFactor * pitch.WorkPitch;
      }
    });
  }

  void Cut(int32_t attendedMode, int32_t id) {
    int64_t started = 0;
    if (silent_) {
      // The command line's own values come back after the run's start.
      const int32_t keepLength = r_.keepLengthReportClosed.exchange(1);
      const int32_t keepInterference = r_.keepInterferenceReportClosed.exchange(1);
      const int32_t batch = r_.batchMode.exchange(1);
      r_.runMode = 6;
      started = c_.Target.SendCommand(command::kResultCut, 0);
      r_.keepLengthReportClosed = keepLength;
      r_.keepInterferenceReportClosed = keepInterference;
      r_.batchMode = batch;
    } else {
      r_.runMode = attendedMode;
      started = c_.Target.SendCommand(id, 0);
    }
    if (started != 1) {
      Problem("the run was not started", kAutomationCommandFailed);
      return;
    }
    if (!WaitWhileRunBusy(c_)) return;
    c_.Port.EndLogSection();
    if (c_.Port.RunStoppedEarly()) breakPending_ = true;
  }

  void Difference(std::string_view line, size_t at) {
    const bool basicModel = Read([this] { return !c_.S.Defs.Paths.BasicModel.empty(); });
    if (!basicModel) {
      Problem("no basic model: no difference painting", kAutomationCommandFailed);
      return;
    }
    const size_t sign = line.find_first_of("+-", at);
    if (sign != std::string_view::npos) {
      c_.Port.OnMainThread([&] { ParseDiffArgument(line.substr(sign), c_.S.Defs.Difference); });
    }
    r_.differenceJob = 1;
    const int64_t result = c_.Target.SendCommand(command::kDifference, 0);
    r_.differenceJob = 0;
    if (result != 1) Problem("the difference painting failed", kAutomationCommandFailed);
  }

  void Key(std::string_view line, size_t at) {
    // One separator, then the key's character.
    if (at + 1 >= line.size()) {
      Problem("no key is named; the line is skipped");
      return;
    }
    const char c = line[at + 1];
    const char upper = ToUpperAscii(c);
    if (upper == 'F' && at + 2 < line.size() && line[at + 2] >= '1' && line[at + 2] <= '9') {
      c_.Target.SendKey(vk::F(line[at + 2] - '0'), true);
      return;
    }
    // The zoom box and the centring at the cursor need a person at the mouse.
    if (upper == 'M' || upper == 'Z') return;
    const int32_t key = VirtualKeyForCharacter(c);
    if (key == 0) {
      Problem("no key types that character; the line is skipped");
      return;
    }
    c_.Target.SendKey(key, false);
  }

  void Sleep(std::string_view line, size_t at) {
    const std::optional<double> ms = NumberAt(line, at);
    auto left = static_cast<int64_t>(ms && *ms > 0 && *ms < 1e15 ? *ms : 0);
    while (left > 0 && !c_.Port.Stopping()) {
      const int64_t step = left < kRunPollMs ? left : kRunPollMs;
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
      left -= step;
    }
  }

  void SaveImage(std::string_view line, size_t at) {
    std::optional<std::string> name;
    if (!Argument(line, at, name)) return;
    c_.Port.OnMainThread([&] {
      if (name && c_.ImageFile != nullptr) *c_.ImageFile = *name;
      c_.Shell.PathPreset = 1;
    });
    if (c_.Target.SendCommand(command::kSaveImage, 0) != 1)
      Problem("the image was not saved", kAutomationCommandFailed);
  }

  void Exec(std::string_view line, size_t at) {
    if (at >= line.size() || !IsBlank(line[at])) {
      Problem("no program is named; the line is skipped", kAutomationCommandFailed);
      return;
    }
    std::string command;
    if (!ExpandPathVariables(line.substr(at), {ncFolder_, workFolder_}, command)) {
      Problem("the command is longer than 255 characters; the line is skipped",
              kAutomationCommandFailed);
      return;
    }
    const ChildResult child = RunChildProcess(SplitCommandArguments(command));
    if (!child.Started) {
      Problem("the program could not be started: " + child.Error, kAutomationCommandFailed);
    } else if (child.ExitStatus != 0) {
      LogLine("the program ended with code " + std::to_string(child.ExitStatus));
    }
  }

  AutomationContext& c_;
  CommandLineRequest& r_;
  const bool silent_;
  std::string name_;
  std::string ncFolder_;
  std::string workFolder_;
  size_t lineNumber_ = 0;
  bool breakPending_ = false;
  // The macro ends at this line (a failure while unattended).
  bool ended_ = false;
  int32_t result_ = kAutomationDone;
};

}  // namespace

bool WaitWhileRunBusy(AutomationContext& context) {
  while (context.Target.RunBusy()) {
    if (context.Port.Stopping()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRunPollMs));
  }
  return true;
}

int32_t RunMacroFile(AutomationContext& context) { return MacroRun(context).Run(); }

}  // namespace vestan
