#include "automation/command_line.h"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/difference_argument.h"
#include "definitions/definition_file.h"
#include "foundation/path_text.h"
#include "foundation/text_encoding.h"
#include "foundation/text_fields.h"
#include "modelfiles/dme_file.h"
#include "platform/file_open.h"
#include "platform/host.h"
#include "platform/shortcut_file.h"

namespace vestan {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberStart(char c) { return IsDigit(c) || c == '-' || c == '.'; }

size_t SkipBlanks(std::string_view text, size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// The end of the word at `at`: the next blank outside quotes.
size_t WordEnd(std::string_view text, size_t at) {
  bool quoted = false;
  for (; at < text.size(); ++at) {
    if (text[at] == '"') quoted = !quoted;
    if (!quoted && IsBlank(text[at])) break;
  }
  return at;
}

// Characters of a name: code points of UTF-8, else bytes.
size_t CharacterCount(std::string_view name) {
  if (!IsValidUtf8(name)) return name.size();
  size_t count = 0;
  for (char c : name) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// A piece of the command line for a log line.
std::string Shown(std::string_view text) {
  constexpr size_t kShown = 60;
  return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

bool HasModelFileEnding(std::string_view name) {
  for (std::string_view ending : {".DME", ".DMF", ".DMEZ", ".DMFZ", ".STL"})
    if (HasFileEnding(name, ending)) return true;
  return false;
}

void AppendEnding(std::string& name, std::string_view ending) {
  if (!HasFileEnding(name, ending)) name.append(ending);
}

// +X 1, +Y 2, +Z 3, -X -1, -Y -2, -Z -3: any letter but X and Y means Z.
int32_t StlAxisCode(char sign, char letter) {
  const char upper = ToUpperAscii(letter);
  const int32_t axis = upper == 'X' ? 1 : (upper == 'Y' ? 2 : 3);
  return sign == '-' ? -axis : axis;
}

// A sign and an axis letter at `at` ("+Z"); 0 when none stands there.
int32_t StlAxisAt(std::string_view text, size_t at) {
  if (at + 1 >= text.size() || (text[at] != '+' && text[at] != '-') || !IsAsciiLetter(text[at + 1]))
    return 0;
  return StlAxisCode(text[at], text[at + 1]);
}

// An unquoted "w.stl-X": the sign and letter are cut off and give the axis.
int32_t CutStlAxis(std::string& name) {
  if (name.size() < 6) return 0;
  const int32_t axis = StlAxisAt(name, name.size() - 2);
  if (axis == 0 || !HasFileEnding(std::string_view(name).substr(0, name.size() - 2), ".STL"))
    return 0;
  name.resize(name.size() - 2);
  return axis;
}

// The number standing at `at`, read in the "C" way; the cursor moves behind
// it. Nothing standing there reads as 0 and leaves the cursor.
double NumberAt(std::string_view text, size_t& at) {
  if (at >= text.size() || !IsNumberStart(text[at])) return 0.0;
  size_t consumed = 0;
  const double value = ConvertDouble(text.substr(at), consumed);
  at += consumed;
  // A lone "-" or "." takes no number but is passed.
  if (consumed == 0) ++at;
  return value;
}

// The numbers of "(a,b,...)" at `at`, read as the settings' number lists
// are: from the first number character, then after each comma, a missing
// one as 0. The cursor moves behind ")". present tells how many were
// written (commas + 1).
struct NumberList {
  std::vector<double> Values;
  size_t Present = 0;
  bool Closed = true;
};
NumberList NumbersInParentheses(std::string_view text, size_t& at, size_t count) {
  NumberList list;
  size_t close = text.find(')', at);
  if (close == std::string_view::npos) {
    list.Closed = false;
    close = WordEnd(text, at);
  }
  const std::string_view inner = text.substr(at + 1, close > at ? close - at - 1 : 0);
  int32_t cursor = 0;
  ValueList values(cursor, inner);
  for (size_t i = 0; i < count; ++i) list.Values.push_back(values.NextNumber());
  if (inner.find_first_not_of(" \t") != std::string_view::npos) {
    list.Present = 1;
    for (char c : inner) list.Present += c == ',';
  }
  at = close < text.size() ? close + 1 : close;
  return list;
}

// A name at `at` (blanks skipped): quoted, or up to a blank or one of stops.
struct NameAt {
  std::string Text;
  bool Quoted = false;
  bool Found = false;
};
NameAt ReadName(std::string_view text, size_t& at, std::string_view stops) {
  NameAt name;
  at = SkipBlanks(text, at);
  if (at >= text.size()) return name;
  name.Found = true;
  if (text[at] == '"') {
    name.Quoted = true;
    const size_t close = text.find('"', at + 1);
    const size_t end = close == std::string_view::npos ? text.size() : close;
    name.Text = text.substr(at + 1, end - at - 1);
    at = close == std::string_view::npos ? text.size() : close + 1;
    return name;
  }
  const size_t start = at;
  while (at < text.size() && !IsBlank(text[at]) && stops.find(text[at]) == std::string_view::npos)
    ++at;
  name.Text = text.substr(start, at - start);
  return name;
}

// The end of the option at `at`: the next "," or blank.
size_t OptionEnd(std::string_view text, size_t at) {
  while (at < text.size() && text[at] != ',' && !IsBlank(text[at])) ++at;
  return at;
}

// "S...": uniform scale, scale about a centre, or the controller's factors.
void ParseScale(std::string_view text, size_t& at, ModelFileOptions& options,
                std::vector<std::string>& problems) {
  options.ScaleCentre = {0.0, 0.0, 0.0};
  options.ScaleRate = {1.0, 1.0, 1.0};
  options.ScaleFromController = 0;
  if (at < text.size() && text[at] == '(') {
    const NumberList centre = NumbersInParentheses(text, at, 3);
    if (!centre.Closed) problems.push_back("the scale centre lacks its \")\"");
    for (size_t i = 0; i < 3; ++i) options.ScaleCentre[i] = centre.Values[i];
  }
  if (at < text.size() && text[at] == '(') {
    const NumberList factors = NumbersInParentheses(text, at, 3);
    if (!factors.Closed) problems.push_back("the scale factors lack their \")\"");
    for (size_t i = 0; i < 3; ++i) options.ScaleRate[i] = factors.Values[i];
  } else if (at < text.size() && IsNumberStart(text[at])) {
    options.ScaleRate.fill(NumberAt(text, at));
  } else {
    options.ScaleFromController = 1;
  }
  for (size_t i = 0; i < 3; ++i) options.ScaleOn[i] = options.ScaleRate[i] != 1.0 ? 1 : 0;
}

void RefuseLongName(std::string_view name, bool& refused, std::vector<std::string>& problems) {
  if (CharacterCount(name) <= kMaxCommandLineName) return;
  refused = true;
  problems.push_back("the name of " + std::to_string(CharacterCount(name)) +
                     " characters is refused (at most 255): " + Shown(name));
}

class CommandLineParser {
 public:
  CommandLineParser(std::string_view text, const CommandLineTargets& targets, Host& log)
      : s_(text),
        r_(targets.Request),
        paths_(targets.Paths),
        settings_(targets.AppSettings),
        difference_(targets.Difference),
        log_(log) {}

  void Parse() {
    paths_.SettingsFile = "vestan.ini";
    while (true) {
      p_ = SkipBlanks(s_, p_);
      if (p_ >= s_.size()) break;
      const size_t end = WordEnd(s_, p_);
      if (end - p_ > kMaxCommandLineToken) {
        Note("a word of " + std::to_string(end - p_) + " characters is refused (at most " +
             std::to_string(kMaxCommandLineToken) + "): " + Shown(s_.substr(p_)));
        p_ = end;
        continue;
      }
      if (s_[p_] == '-') {
        Option();
      } else {
        FileArgument(end);
      }
    }
    Reconcile();
  }

 private:
  enum class Taken { kYes, kNcNotFound };

  void Note(const std::string& text) { log_.Log("Command line: " + text); }
  void Notes(const std::vector<std::string>& problems, std::string_view what) {
    for (const std::string& problem : problems) Note(std::string(what) + ": " + problem);
  }

  // ---- File arguments ----

  void FileArgument(size_t wordEnd) {
    if (s_[p_] == '"') {
      size_t at = p_;
      const NameAt name = ReadName(s_, at, "");
      const int32_t axis = StlAxisAt(s_, at);
      if (axis != 0) at += 2;
      p_ = at;
      SkipRestOfWord("the file argument");
      if (Classify(name.Text, true, axis, 0) == Taken::kNcNotFound) NcNotFound(name.Text);
      return;
    }
    // An unquoted name that does not open as an NC program is joined with
    // the next word ("a b.nc") and tried again, up to an option.
    const size_t start = p_;
    size_t end = wordEnd;
    while (true) {
      const std::string name(s_.substr(start, end - start));
      if (Classify(name, false, 0, 0) == Taken::kYes) {
        p_ = end;
        return;
      }
      const size_t next = SkipBlanks(s_, end);
      if (next >= s_.size() || s_[next] == '-') {
        NcNotFound(name);
        p_ = next;
        return;
      }
      // The joined name may be of another kind ("my tools.ttl").
      r_.ncProgramGiven = 0;
      end = WordEnd(s_, next);
      if (end - start > kMaxCommandLineToken) {
        Note("a name of more than " + std::to_string(kMaxCommandLineToken) +
             " characters is refused: " + Shown(s_.substr(start)));
        p_ = end;
        return;
      }
    }
  }

  // The NC program stays asked for, with an empty name, so that the work
  // that needs it fails when it comes to select it.
  void NcNotFound(std::string_view name) {
    Note("the NC program \"" + Shown(name) + "\" cannot be opened");
    r_.ncProgramGiven = 1;
    ncTaken_ = true;
  }

  // Takes a file argument by its ending; each kind only from its first
  // file (a later one, or one an option named, is skipped).
  Taken Classify(std::string name, bool quoted, int32_t axis, int32_t depth) {
    if (!quoted && axis == 0) axis = CutStlAxis(name);
    if (axis != 0) settings_.StlAxis = axis;
    if (name.empty()) {
      Note("an empty file name is skipped");
      return Taken::kYes;
    }
    bool refused = false;
    std::vector<std::string> problems;
    RefuseLongName(name, refused, problems);
    if (refused) {
      Notes(problems, "file argument");
      return Taken::kYes;
    }
    struct Definition {
      std::string_view Ending;
      CommandLineRequest::Flag& Given;
      std::string& Path;
      std::string_view What;
    };
    const Definition definitions[] = {
        {".INI", r_.settingsGiven, paths_.SettingsFile, "settings file"},
        {".CTC", r_.colourFileGiven, paths_.ColourFile, "colour file"},
        {".TTL", r_.toolTableGiven, paths_.ToolTable, "tool table"},
        {".CTL", r_.controllerGiven, paths_.Controller, "controller definition"},
        {".MTL", r_.machineGiven, paths_.Machine, "machine definition"},
        {".MAC", r_.macroGiven, paths_.MacroFile, "macro file"},
    };
    for (const Definition& d : definitions) {
      if (!HasFileEnding(name, d.Ending)) continue;
      if (d.Given != 0) {
        Note("a second " + std::string(d.What) + " is ignored: " + Shown(name));
      } else {
        d.Path = name;
        d.Given = 1;
        if (d.Ending == ".MAC") r_.startWorker = 1;
      }
      return Taken::kYes;
    }
    if (HasModelFileEnding(name)) {
      if (r_.workLoadRequested != 0) {
        Note("a second workpiece is ignored: " + Shown(name));
      } else {
        paths_.WorkLoad = name;
        r_.workLoadRequested = 1;
        r_.stockShapeKind = 0;
      }
      return Taken::kYes;
    }
    if (HasFileEnding(name, ".lnk")) {
      std::string target = name;
      if (depth > 0) {
        Note("a shortcut to a shortcut is skipped: " + Shown(name));
      } else if (!ResolveShortcut(target)) {
        Note("the shortcut " + Shown(name) + " cannot be read; it is skipped");
      } else {
        const Taken taken = Classify(target, true, 0, depth + 1);
        if (taken == Taken::kNcNotFound) NcNotFound(target);
      }
      return Taken::kYes;
    }
    if (ncTaken_) {
      Note("a second NC program is ignored: " + Shown(name));
      return Taken::kYes;
    }
    // The NC program: taken when it opens; else the name is emptied.
    paths_.NcProgram = name;
    r_.ncProgramGiven = 1;
    if (CanOpenForReading(ResolveDefinitionPath(name).string())) {
      ncTaken_ = true;
      return Taken::kYes;
    }
    paths_.NcProgram.clear();
    return Taken::kNcNotFound;
  }

  // ---- Options ----

  void Option() {
    const size_t start = p_;
    size_t at = p_ + 1;
    if (at >= s_.size() || IsBlank(s_[at])) {
      Note("a \"-\" without an option letter is skipped");
      p_ = at;
      return;
    }
    const char letter = s_[at];
    const char upper = ToUpperAscii(letter);
    ++at;
    if (letter == '(') {
      WindowRect(at);
    } else if (upper == 'I') {
      const bool colour = at < s_.size() && ToUpperAscii(s_[at]) == 'C' &&
                          (at + 1 == s_.size() || IsBlank(s_[at + 1]));
      if (colour) {
        ++at;
        DefinitionOption(at, ".CTC", r_.colourFileGiven, paths_.ColourFile, "-IC");
      } else {
        DefinitionOption(at, ".INI", r_.settingsGiven, paths_.SettingsFile, "-I");
      }
    } else if (upper == 'T') {
      if (DefinitionOption(at, ".TTL", r_.toolTableGiven, paths_.ToolTable, "-T", ",") &&
          at < s_.size() && s_[at] == ',') {
        ++at;
        r_.initialTool = TruncateToInt32(NumberAt(s_, at));
      }
    } else if (upper == 'C') {
      DefinitionOption(at, ".CTL", r_.controllerGiven, paths_.Controller, "-C");
    } else if (upper == 'M') {
      DefinitionOption(at, ".MTL", r_.machineGiven, paths_.Machine, "-M");
    } else if (upper == 'O') {
      SaveOption(at);
    } else if (upper == 'K') {
      BasicModelOption(at);
    } else if (upper == 'D') {
      WorkOption(at);
    } else if (upper == 'S') {
      ControlPoint(at);
    } else if (upper == 'P') {
      Pitches(at);
    } else if (upper == 'G' || upper == 'F') {
      at = SkipBlanks(s_, at);
      if (at < s_.size() && IsNumberStart(s_[at])) {
        const int32_t value = TruncateToInt32(NumberAt(s_, at));
        (upper == 'G' ? r_.idealProcessor : r_.infoFontHeight) = value;
      } else {
        Note(std::string("-") + letter + " needs a number");
      }
    } else if (upper == 'N') {
      r_.noMenu = 1;
    } else if (upper == 'V') {
      VerifyOption(at);
    } else if (upper == 'X') {
      RunOption(at);
    } else {
      Note("the option -" + std::string(1, letter) + " is unknown and skipped");
      at = WordEnd(s_, start);
    }
    p_ = at;
    SkipRestOfWord(s_.substr(start, 2));
  }

  // What is left of a word after its option or file was read is skipped.
  void SkipRestOfWord(std::string_view what) {
    if (p_ >= s_.size() || IsBlank(s_[p_])) return;
    const size_t end = WordEnd(s_, p_);
    Note("\"" + Shown(s_.substr(p_, end - p_)) + "\" after " + std::string(what) + " is skipped");
    p_ = end;
  }

  // A file name after an option; false when none could be taken. A word
  // that begins with "-" after blanks is the next option, not a name.
  bool OptionName(size_t& at, std::string_view option, std::string_view stops, NameAt& name) {
    const size_t before = at;
    const size_t next = SkipBlanks(s_, at);
    if (next >= s_.size() || (next > before && s_[next] == '-')) {
      Note(std::string(option) + " needs a file name");
      return false;
    }
    name = ReadName(s_, at, stops);
    if (name.Text.empty()) {
      Note(std::string(option) + " needs a file name");
      return false;
    }
    return true;
  }

  bool DefinitionOption(size_t& at, std::string_view ending, CommandLineRequest::Flag& given,
                        std::string& path, std::string_view option, std::string_view stops = "") {
    NameAt name;
    if (!OptionName(at, option, stops, name)) return false;
    AppendEnding(name.Text, ending);
    bool refused = false;
    std::vector<std::string> problems;
    RefuseLongName(name.Text, refused, problems);
    Notes(problems, option);
    if (refused) return false;
    path = name.Text;
    given = 1;
    return true;
  }

  void SaveOption(size_t& at) {
    if (!HasArgument(at, "-O")) return;
    SaveFileArgument save = ParseSaveFileArgument(s_, at);
    Notes(save.Problems, "-O");
    if (save.Refused) return;
    paths_.WorkSave = save.Name;
    r_.saveKind = save.SaveKind;
    r_.saveCoordinates = save.Coordinates;
  }

  void BasicModelOption(size_t& at) {
    if (!HasArgument(at, "-K")) return;
    ModelFileArgument model = ParseModelFileArgument(s_, at);
    Notes(model.Problems, "-K");
    if (model.Refused) return;
    if (model.StlAxis != 0) settings_.StlAxis = model.StlAxis;
    paths_.BasicModel = model.Name;
    paths_.BasicModelTitle = FileNamePart(model.Name);
    r_.basicModelGiven = 1;
    settings_.BasicModelGiven = 1;
    r_.basicModelOptions = model.Options;
  }

  void WorkOption(size_t& at) {
    at = SkipBlanks(s_, at);
    const bool box = at < s_.size() && s_[at] == '(';
    const bool cylinder =
        at + 1 < s_.size() && s_[at + 1] == '(' &&
        std::string_view("XYZ").find(ToUpperAscii(s_[at])) != std::string_view::npos;
    if (box || cylinder) {
      StockDefinition& stock = settings_.Stock;
      if (cylinder) stock.CylinderAxis = ToUpperAscii(s_[at++]) - 'X';
      const NumberList numbers = NumbersInParentheses(s_, at, 6);
      if (!numbers.Closed) Note("-D: the stock lacks its \")\"");
      for (size_t i = 0; i < 6; ++i) (cylinder ? stock.Cylinder : stock.Box)[i] = numbers.Values[i];
      paths_.WorkLoad.clear();
      r_.stockShapeKind = cylinder ? 3 : 1;
      r_.workLoadRequested = 1;
      return;
    }
    if (!HasArgument(at, "-D")) return;
    ModelFileArgument model = ParseModelFileArgument(s_, at);
    Notes(model.Problems, "-D");
    if (model.Refused) return;
    if (model.StlAxis != 0) settings_.StlAxis = model.StlAxis;
    paths_.WorkLoad = model.Name;
    r_.stockShapeKind = 0;
    r_.workLoadRequested = 1;
    r_.workFileOptions = model.Options;
  }

  // An argument follows (after blanks), and it is not the next option.
  bool HasArgument(size_t& at, std::string_view option) {
    const size_t next = SkipBlanks(s_, at);
    if (next < s_.size() && !(next > at && s_[next] == '-')) return true;
    Note(std::string(option) + " needs an argument");
    return false;
  }

  void ControlPoint(size_t& at) {
    at = SkipBlanks(s_, at);
    const bool machine = at < s_.size() && ToUpperAscii(s_[at]) == 'M';
    if (machine) ++at;
    if (at >= s_.size() || s_[at] != '(') {
      Note("-S needs \"(x,y,z)\"");
      return;
    }
    const NumberList numbers = NumbersInParentheses(s_, at, 5);
    if (!numbers.Closed) Note("-S: the control point lacks its \")\"");
    for (size_t i = 0; i < 5; ++i)
      settings_.ControlPoint[i] = i < 3 || numbers.Present > i ? numbers.Values[i] : 0.0;
    settings_.ControlPointMachine = machine ? 1 : 0;
    r_.controlPointGiven = 1;
    r_.controlPointMachine = machine ? 1 : 0;
  }

  void Pitches(size_t& at) {
    at = SkipBlanks(s_, at);
    if (at >= s_.size() || s_[at] != '(') {
      Note("-P needs \"(work pitch,move pitch)\"");
      return;
    }
    const NumberList numbers = NumbersInParentheses(s_, at, 2);
    PitchSettings& pitch = settings_.Pitch;
    const auto usable = [](double value) { return value > 0 && std::isfinite(value); };
    // A pitch that is no pitch is left to the settings file.
    if (usable(numbers.Values[0])) {
      pitch.WorkPitchSetting = pitch.WorkPitch = numbers.Values[0];
      pitch.AutoPitch = 0;
      r_.workPitchGiven = 1;
    } else {
      Note("-P: the work pitch " + std::to_string(numbers.Values[0]) + " is no pitch");
    }
    if (usable(numbers.Values[1])) {
      pitch.MovePitch = numbers.Values[1];
      pitch.MovePitchLinked = 0;
      r_.movePitchGiven = 1;
    } else {
      Note("-P: the move pitch " + std::to_string(numbers.Values[1]) + " is no pitch");
    }
  }

  void WindowRect(size_t& at) {
    --at;  // the "(" itself opens the numbers
    const NumberList numbers = NumbersInParentheses(s_, at, 4);
    if (!numbers.Closed) Note("-(: the window placement lacks its \")\"");
    settings_.WindowX = TruncateToInt32(numbers.Values[0]);
    settings_.WindowY = TruncateToInt32(numbers.Values[1]);
    settings_.WindowWidth = TruncateToInt32(numbers.Values[2]);
    settings_.WindowHeight = TruncateToInt32(numbers.Values[3]);
    r_.windowRectGiven = 1;
  }

  void VerifyOption(size_t& at) {
    const char next = at < s_.size() ? ToUpperAscii(s_[at]) : ' ';
    r_.verifyMode = 1;
    if (next == '5' || next == '6') {
      r_.verifyMode = next - '0';
      ++at;
    } else if (next == 'A') {
      r_.verifyAfterRun = 1;
      ++at;
    }
  }

  bool Next(size_t& at, char wanted) {
    if (at >= s_.size() || ToUpperAscii(s_[at]) != wanted) return false;
    ++at;
    return true;
  }

  void RunOption(size_t& at) {
    at = SkipBlanks(s_, at);
    const char c = at < s_.size() ? ToUpperAscii(s_[at]) : ' ';
    ++at;
    switch (c) {
      case '1':
      case '2':
        r_.runMode = c - '0';
        if (Next(at, '0')) r_.selectOnly = 1;
        return;
      case '3':
      case '4':
        r_.runMode = c - '0';
        if (Next(at, '0')) r_.selectOnly = 1;
        if (Next(at, 'N')) r_.keepLengthReportClosed = 1;
        return;
      case '5':
        r_.runMode = 5;
        r_.exitCodeFlag = 1;
        if (Next(at, '0')) {
          r_.selectOnly = 1;
        } else if (Next(at, 'N')) {
          r_.keepInterferenceReportClosed = 1;
        }
        return;
      case '6':
        r_.runMode = 6;
        r_.exitCodeFlag = 1;
        r_.silentMode = 1;
        r_.batchMode = 1;
        if (Next(at, '0')) r_.selectOnly = 1;
        return;
      case 'M':
        MoveJob(at);
        return;
      case 'R':
        RotateJob(at);
        return;
      case 'P':
        PaintJob(at);
        return;
      case 'D': {
        r_.differenceJob = 1;
        r_.silentMode = 1;
        r_.batchMode = 1;
        const size_t end = WordEnd(s_, at);
        ParseDiffArgument(s_.substr(at, end - at), difference_);
        at = end;
        return;
      }
      default:
        --at;
        Note("-X needs a run mode 1-6 or a job M, R, P or D");
        return;
    }
  }

  void MoveJob(size_t& at) {
    r_.batchMode = 1;
    const size_t open = SkipBlanks(s_, at);
    if (open >= s_.size() || s_[open] != '(') {
      Note("-XM needs the move \"(x,y,z)\"");
      return;
    }
    at = open;
    const NumberList numbers = NumbersInParentheses(s_, at, 3);
    if (!numbers.Closed) Note("-XM: the move lacks its \")\"");
    for (size_t i = 0; i < 3; ++i) r_.moveAmount[i] = numbers.Values[i];
    r_.moveJob = 1;
  }

  void RotateJob(size_t& at) {
    r_.batchMode = 1;
    r_.rotateJob = 1;
    const char axis = at < s_.size() ? ToUpperAscii(s_[at]) : ' ';
    if (axis == 'X' || axis == 'Y' || axis == 'Z') {
      r_.rotateAxis = axis - 'X';
      ++at;
    }
    if (at < s_.size() && IsNumberStart(s_[at])) {
      r_.rotateAngle = NumberAt(s_, at);
    } else {
      r_.rotateAngle = 0.0;
      Note("-XR needs an angle; it turns by 0");
    }
  }

  void PaintJob(size_t& at) {
    r_.silentMode = 1;
    r_.batchMode = 1;
    const auto at0 = [&](size_t k) { return at + k < s_.size() ? ToUpperAscii(s_[at + k]) : ' '; };
    if (at0(0) == 'P' || at0(0) == 'C') {
      r_.paintJob = at0(0) == 'P' ? 1 : 2;
      ++at;
      return;
    }
    if (at0(0) == 'A' && at0(1) == 'C') {
      r_.penJob = 16;
      at += 2;
      return;
    }
    int32_t pen = 0;
    size_t length = 0;
    if (at0(0) == '1' && IsDigit(at0(1)) && at0(2) == 'C') {
      pen = 10 + (at0(1) - '0');
      length = 3;
    } else if (IsDigit(at0(0)) && at0(0) != '0' && at0(1) == 'C') {
      pen = at0(0) - '0';
      length = 2;
    }
    if (length == 0) {
      Note("-XP needs P, C, AC or a pen number and C");
      return;
    }
    at += length;
    // Pens are 1-15 (16 is every pen); a higher number names no colour.
    if (pen > 16) {
      Note("-XP: there is no pen " + std::to_string(pen) + "; nothing is peeled");
      return;
    }
    r_.penJob = pen;
  }

  // ---- After the last word ----

  void Reconcile() {
    if (r_.ncProgramGiven == 0) r_.runMode = 0;
    const bool anyJob = r_.moveJob != 0 || r_.rotateJob != 0 || r_.paintJob != 0 ||
                        r_.penJob != 0 || r_.differenceJob != 0;
    if (anyJob) {
      if (r_.workLoadRequested == 0 || r_.saveKind == kSaveNone) {
        Note("a model job needs a workpiece and -O to save it; the job is dropped");
        r_.moveJob = r_.rotateJob = r_.paintJob = r_.penJob = r_.differenceJob = 0;
      }
      // A job never cuts.
      r_.runMode = 0;
      r_.ncProgramGiven = 0;
    }
    const bool jobLeft = r_.moveJob != 0 || r_.rotateJob != 0 || r_.paintJob != 0 ||
                         r_.penJob != 0 || r_.differenceJob != 0;
    if (!jobLeft && r_.saveKind != kSaveNone && r_.runMode < 2) {
      const bool conversion =
          r_.runMode == 0 && ((r_.ncProgramGiven != 0) != (r_.workLoadRequested != 0));
      if (conversion) {
        r_.silentMode = 1;
        r_.batchMode = 1;
      } else {
        Note(
            "-O needs a run (-X2 to -X6), or one NC program or workpiece to convert; "
            "nothing is saved");
        r_.saveKind = kSaveNone;
      }
    }
    if (r_.runMode >= 1 && r_.verifyMode > 1) {
      r_.verifyMode = 1;
    } else if (r_.verifyMode == 6) {
      r_.silentMode = 1;
      r_.batchMode = 1;
    }
    if (r_.workLoadRequested != 0 || r_.ncProgramGiven != 0 || jobLeft || r_.macroGiven != 0)
      r_.startWorker = 1;
  }

  std::string_view s_;
  size_t p_ = 0;
  CommandLineRequest& r_;
  DefinitionFilePaths& paths_;
  Settings& settings_;
  DifferenceSettings& difference_;
  Host& log_;
  bool ncTaken_ = false;
};

}  // namespace

void ParseCommandLine(std::string_view commandLine, const CommandLineTargets& targets, Host& log) {
  CommandLineParser(commandLine, targets, log).Parse();
}

std::string JoinCommandLine(int argc, const char* const argv[]) {
  std::string line;
  bool afterOption = false;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view argument = argv[i];
    if (!line.empty()) line.push_back(' ');
    const bool blank = argument.find_first_of(" \t") != std::string_view::npos;
    if (!blank) {
      line.append(argument);
    } else {
      // After an option the name ends at a comma (",5", ",W", ",b").
      const size_t comma = afterOption ? argument.find(',') : std::string_view::npos;
      line.push_back('"');
      line.append(argument.substr(0, comma));
      line.push_back('"');
      if (comma != std::string_view::npos) line.append(argument.substr(comma));
    }
    afterOption = !argument.empty() && argument.front() == '-';
  }
  return line;
}

ModelFileArgument ParseModelFileArgument(std::string_view text, size_t& cursor) {
  ModelFileArgument model;
  NameAt name = ReadName(text, cursor, ",");
  model.Name = std::move(name.Text);
  if (name.Quoted) {
    model.StlAxis = StlAxisAt(text, cursor);
    if (model.StlAxis != 0) cursor += 2;
  } else {
    model.StlAxis = CutStlAxis(model.Name);
  }
  if (model.Name.empty()) {
    model.Refused = true;
    model.Problems.push_back("no file name");
  }
  if (!HasModelFileEnding(model.Name)) model.Name += ".DME";
  RefuseLongName(model.Name, model.Refused, model.Problems);

  ModelFileOptions& options = model.Options;
  while (cursor < text.size() && text[cursor] == ',') {
    ++cursor;
    const char c = cursor < text.size() ? ToUpperAscii(text[cursor]) : ' ';
    const char axis = cursor + 1 < text.size() ? ToUpperAscii(text[cursor + 1]) : ' ';
    if (c == 'W') {
      options.CoordinateSystem = 1;
      ++cursor;
    } else if (c == 'M' && (axis == 'X' || axis == 'Y' || axis == 'Z')) {
      cursor += 2;
      const size_t index = static_cast<size_t>(axis - 'X');
      options.MoveOn[index] = 1;
      options.Move[index] = NumberAt(text, cursor);
    } else if (c == 'M') {
      options.CoordinateSystem = 0;
      ++cursor;
    } else if (c == 'S') {
      ++cursor;
      ParseScale(text, cursor, options, model.Problems);
    }
    const size_t end = OptionEnd(text, cursor);
    if (end != cursor) {
      model.Problems.push_back("the option \"" + Shown(text.substr(cursor, end - cursor)) +
                               "\" is skipped");
      cursor = end;
    }
  }
  return model;
}

SaveFileArgument ParseSaveFileArgument(std::string_view text, size_t& cursor) {
  SaveFileArgument save;
  NameAt name = ReadName(text, cursor, ",\"");
  save.Name = std::move(name.Text);
  if (save.Name.empty()) {
    save.Refused = true;
    save.Problems.push_back("no file name");
  }
  if (!HasModelFileEnding(save.Name)) save.Name += ".DME";
  RefuseLongName(save.Name, save.Refused, save.Problems);
  const bool stl = HasFileEnding(save.Name, ".STL");
  save.SaveKind = stl ? kSaveStlText : kSaveDme;

  while (cursor < text.size() && text[cursor] == ',') {
    ++cursor;
    const char c = cursor < text.size() ? ToUpperAscii(text[cursor]) : ' ';
    if (c == 'W' || c == 'M') {
      save.Coordinates = c == 'W' ? 1 : 0;
      ++cursor;
    } else if (c == 'B') {
      ++cursor;
      const bool swapped = cursor < text.size() && text[cursor] == '2';
      if (swapped) ++cursor;
      if (stl) {
        save.SaveKind = swapped ? kSaveStlBinaryBigEndian : kSaveStlBinary;
      } else {
        save.Problems.push_back("binary is for STL files only");
      }
    }
    const size_t end = OptionEnd(text, cursor);
    if (end != cursor) {
      save.Problems.push_back("the option \"" + Shown(text.substr(cursor, end - cursor)) +
                              "\" is skipped");
      cursor = end;
    }
  }
  if (save.Refused) save.SaveKind = kSaveNone;
  return save;
}

}  // namespace vestan
