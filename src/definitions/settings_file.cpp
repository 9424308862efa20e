#include "definitions/settings_file.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <span>
#include <utility>

#include "definitions/definition_file.h"
#include "foundation/path_text.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "platform/file_open.h"
#include "platform/host.h"
#include "platform/process_paths.h"
#include "platform/profile_file.h"

namespace vestan {

namespace {

constexpr std::string_view kHelpFile = "HELP/index.htm";

// A value word: compared without case over the word's length at the start.
bool Is(std::string_view value, std::string_view word) { return MatchesKey(value, word); }

// The code of the first word the value begins with; fallback when none.
int32_t WordCode(std::string_view value,
                 std::initializer_list<std::pair<std::string_view, int32_t>> words,
                 int32_t fallback) {
  for (const auto& [word, code] : words)
    if (Is(value, word)) return code;
  return fallback;
}

// N numbers: the first from the first number character at or after
// from, each further one after the next comma (missing ones read as 0).
template <size_t N>
void ReadNumberList(std::string_view text, size_t from, std::array<double, N>& out) {
  int32_t cursor = static_cast<int32_t>(std::min(from, text.size()));
  ValueList values(cursor, text);
  for (double& value : out) value = values.NextNumber();
}

size_t OpeningParenthesis(std::string_view text) {
  const size_t open = text.find('(');
  return open == std::string_view::npos ? 0 : open;
}

// The first of letters (either case) at or after from, or npos.
size_t FindLetter(std::string_view text, size_t from, std::string_view letters) {
  for (size_t i = from; i < text.size(); ++i) {
    if (letters.find(ToUpperAscii(text[i])) != std::string_view::npos) return i;
  }
  return std::string_view::npos;
}

// A number that follows in the text (digits present), or nothing.
std::optional<double> NumberAfter(std::string_view text, size_t from) {
  const int32_t start = FindNumberStart(text, static_cast<int32_t>(std::min(from, text.size())));
  if (start < 0) return std::nullopt;
  const std::string_view rest = text.substr(static_cast<size_t>(start));
  const size_t digit = rest.find_first_of("0123456789");
  const size_t other = rest.find_first_not_of("-.");
  if (digit == std::string_view::npos || digit != other) return std::nullopt;
  return ConvertDouble(rest);
}

float Alpha(std::string_view value) {
  const double alpha = ConvertDouble(value);
  return RoundToSingle(alpha < 0 ? 0.0 : (alpha > 1 ? 1.0 : alpha));
}

// Display mode from a translucent-capable key: 1 when alpha is 1, 0 when
// it is 0, else 2 (translucent).
int32_t ModeFromAlpha(float alpha) { return alpha == 1.0f ? 1 : (alpha == 0.0f ? 0 : 2); }

int32_t PenNumber(std::string_view digits) {
  const int32_t pen = ConvertInteger(digits);
  return pen >= 1 && pen <= 15 ? pen : 1;
}

class SettingsReader {
 public:
  SettingsReader(const SettingsTargets& t, const CommandLineRequest& commandLine,
                 const StartupEnvironment& environment, Host& host)
      : t_(t), cl_(commandLine), env_(environment), host_(host) {}

  void Read() {
    LocateFiles();
    PresetInfoPaneRects(t_.panes, kCoordinatePaneCount);
    t_.view.Perspective = 1;
    t_.settings.Editor.SelectOpen = 0;
    t_.settings.Editor.CloseEnd = 0;
    ReadTableFolders();
    ReadDmeData();
    t_.paths.NcFolder = Get("NCdata", "Target_NCdir", t_.paths.CurrentFolder);
    ReadOutputData();
    ReadDefineDisplay();
    ReadDefinePitch();
    ReadDefineDifference();
    ReadDefineChecks();
    ReadTableFiles();
    ReadExecEditor();
    t_.settings.Editor.SelfExecOption =
        Get("ExecSelf", "EXEC_OPTION", EditorSettings{}.SelfExecOption);
    ReadDefineViewAndMagazine();
    ReadVideo();
    ReadMouse();
    ReadSave();
    Finish();
  }

 private:
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const {
    return profile_.GetString(section, key, fallback);
  }
  std::string Define(std::string_view key, std::string_view fallback) const {
    return Get("Define", key, fallback);
  }
  bool Opens(std::string_view path) const {
    return CanOpenForReading(PathFrom(t_.paths.CurrentFolder, path));
  }
  void Note(const std::string& text) { host_.Log(t_.paths.SettingsFile + ": " + text); }

  // A number too large for a double (or a float) reads as infinity: such a
  // key is refused with a note and its default stands, so that nothing the
  // writer puts back can be such a number.
  bool Finite(std::string_view key, std::span<const double> values) {
    const std::optional<std::string> why = BrokenNumberRule(values, NumberRule::kFinite);
    if (why) Note(RefusedKeyNote(key, *why));
    return !why;
  }
  double DefineNumber(std::string_view key, std::string_view fallback) {
    const double value = ConvertDouble(Define(key, fallback));
    return Finite(key, std::span<const double>(&value, 1)) ? value : ConvertDouble(fallback);
  }
  float DefineFloat(std::string_view key, std::string_view fallback) {
    const double value = RoundToSingle(ConvertDouble(Define(key, fallback)));
    return RoundToSingle(Finite(key, std::span<const double>(&value, 1)) ? value
                                                                         : ConvertDouble(fallback));
  }
  // The list of a key, each value finite, else out unchanged.
  template <size_t N>
  void ReadFiniteList(std::string_view key, std::string_view text, size_t from,
                      std::array<double, N>& out) {
    std::array<double, N> values{};
    ReadNumberList(text, from, values);
    if (Finite(key, values)) out = values;
  }

  // Current folder, settings file, program file and folder, help file.
  void LocateFiles() {
    DefinitionFilePaths& paths = t_.paths;
    paths.CurrentFolder = env_.CurrentFolder;
    if (!paths.CurrentFolder.empty() && !EndsWithPathSeparator(paths.CurrentFolder))
      paths.CurrentFolder.push_back('/');
    const std::string name = paths.SettingsFile.empty() ? "vestan.ini" : paths.SettingsFile;
    paths.ProgramFile = env_.ProgramFile;
    paths.ProgramFolder = FolderPart(paths.ProgramFile);
    if (paths.ProgramFolder.size() < 3) paths.ProgramFolder = paths.CurrentFolder;
    if (HasFolderPart(name)) {
      paths.SettingsFile = name;
    } else {
      paths.SettingsFile = JoinPath(paths.CurrentFolder, name);
      if (!Opens(paths.SettingsFile)) paths.SettingsFile = JoinPath(paths.ProgramFolder, name);
    }
    paths.HelpFile =
        Opens(kHelpFile) ? std::string(kHelpFile) : JoinPath(paths.ProgramFolder, kHelpFile);

    const std::string settingsPath = PathFrom(paths.CurrentFolder, paths.SettingsFile);
    if (LoadProfileFile(settingsPath, profile_) == kProfileUnreadable)
      Note("the settings file cannot be read; every setting takes its default");
  }

  void ReadTableFolders() {
    DefinitionFilePaths& paths = t_.paths;
    paths.ToolTableFolder = Get("Table", "Target_TTLdir", paths.CurrentFolder);
    paths.ControllerFolder = Get("Table", "Target_CTLdir", paths.CurrentFolder);
    paths.MachineFolder = Get("Table", "Target_MTLdir", paths.CurrentFolder);
  }

  void ReadDmeData() {
    Settings& s = t_.settings;
    DefinitionFilePaths& paths = t_.paths;
    paths.WorkModelFolder = Get("DMEdata", "Target_DMEdir", paths.CurrentFolder);
    paths.WorkSaveFolder = paths.WorkModelFolder;
    if (Is(Get("DMEdata", "DME SELECT", "OFF"), "ON")) s.DmeSelect = 1;
    if (Is(Get("DMEdata", "DMF SELECT", "ON"), "OFF")) s.DmfSelect = 0;
    if (Is(Get("DMEdata", "STL SELECT", "ON"), "OFF")) s.StlSelect = 0;
    // The command line's work file carries its own axis ("w.stl+Z").
    const bool stockGiven = cl_.stockShapeKind >= 1 && cl_.stockShapeKind <= 3;
    if (!stockGiven && cl_.workLoadRequested == 0)
      s.StlAxis = WordCode(Get("DMEdata", "STL AXIS", "NO"),
                           {{"+X", 1}, {"-X", -1}, {"+Y", 2}, {"-Y", -2}, {"+Z", 3}, {"-Z", -3}},
                           s.StlAxis);
    if (Is(Get("DMEdata", "STL FILTER", "OFF"), "ON")) s.StlFilter = 1;
    const auto inWork = [this](std::string_view key) {
      return Is(Get("DMEdata", key, "MACHINE"), "WORK") ? 1 : 0;
    };
    s.ImportInWork = inWork("IMPORT COORDINATE");
    s.ExportInWork = inWork("EXPORT COORDINATE");
    s.InputInWork = inWork("INPUT COORDINATE");
    s.RotationInWork = inWork("ROTATION COORDINATE");

    StockDefinition& stock = s.Stock;
    if (cl_.stockShapeKind != 1) {
      const std::string box = Get("DMEdata", "INITIAL SIZE", "(0,0,0,100,100,30)");
      ReadFiniteList("INITIAL SIZE", box, OpeningParenthesis(box), stock.Box);
    }
    if (cl_.stockShapeKind != 2)
      ReadReferenceStock(
          Get("DMEdata", "INITIAL SIZE2", "(LEFT,100,0,0,FRONT,200,0,0,BOTTOM,50,0,0)"));
    if (cl_.stockShapeKind != 3) ReadCylinder(Get("DMEdata", "CYLINDER", "X(-80,0,0,80,100,40)"));

    if (cl_.basicModelGiven == 0) {
      std::string basic = Get("DMEdata", "BASIC MODEL", "");
      if (basic.empty()) basic = Get("DMEdata", "BASIC DME", "");
      if (!basic.empty()) {
        s.BasicModelGiven = 1;
        paths.BasicModel = ResolveFilePath(paths.WorkModelFolder, basic, paths);
      }
    }
  }

  // "(LEFT,w,l,h,FRONT,w,l,h,BOTTOM,h,l,h)": per axis a reference word (its
  // first letter found from the cursor on) and three numbers after commas.
  void ReadReferenceStock(std::string_view value) {
    struct Axis {
      std::string_view Letters;
      std::string_view Low;
      std::string_view High;
    };
    constexpr Axis kAxes[] = {
        {"LRC", "LEFT", "RIGHT"}, {"FBC", "FRONT", "BACK"}, {"BTC", "BOTTOM", "TOP"}};
    StockDefinition& stock = t_.settings.Stock;
    std::array<int32_t, 3> references{};
    std::array<double, 9> sizes{};
    size_t cursor = value.find('(');
    cursor = cursor == std::string_view::npos ? 0 : cursor + 1;
    for (size_t axis = 0; axis < 3; ++axis) {
      const size_t word = FindLetter(value, cursor, kAxes[axis].Letters);
      int32_t reference = 0;
      if (word != std::string_view::npos) {
        cursor = word;
        if (MatchesKeyAt(value, word, kAxes[axis].Low)) reference = -1;
        if (MatchesKeyAt(value, word, kAxes[axis].High)) reference = 1;
      }
      references[axis] = reference;
      int32_t number = static_cast<int32_t>(cursor);
      for (size_t k = 0; k < 3; ++k) sizes[axis * 3 + k] = ParseNumberAfterComma(number, value);
      cursor = static_cast<size_t>(number);
    }
    if (!Finite("INITIAL SIZE2", sizes)) return;
    stock.Reference = references;
    stock.ReferenceSizes = sizes;
  }

  // "X(x,y,z,length,outer,inner)"; without an axis letter nothing changes.
  void ReadCylinder(std::string_view value) {
    const size_t letter = FindLetter(value, 0, "XYZ");
    if (letter == std::string_view::npos) return;
    StockDefinition& stock = t_.settings.Stock;
    const char upper = ToUpperAscii(value[letter]);
    const size_t open = value.find('(', letter);
    std::array<double, 6> cylinder{};
    ReadNumberList(value, open == std::string_view::npos ? letter : open, cylinder);
    if (!Finite("CYLINDER", cylinder)) return;
    stock.CylinderAxis = upper == 'X' ? 0 : (upper == 'Y' ? 1 : 2);
    stock.Cylinder = cylinder;
  }

  void ReadOutputData() {
    Settings& s = t_.settings;
    DefinitionFilePaths& paths = t_.paths;
    paths.LogFolder = Get("OUTPUTdata", "Target_LOGdir", "");
    paths.LengthReportFolder = Get("OUTPUTdata", "Target_LENGTHdir", "");
    paths.VerifyReportFolder = Get("OUTPUTdata", "Target_VERIFYdir", "");
    s.VerifySuffix = Get("OUTPUTdata", "VERIFY SUFFIX", "txt");
    // "APPEND" is tested on its first five characters.
    if (Is(Get("OUTPUTdata", "CREATE MODE(LENGTH)", "NEW"), "APPEN")) s.CreateModeLength = 1;
    if (Is(Get("OUTPUTdata", "CREATE MODE(VERIFY)", "NEW"), "APPEN")) s.CreateModeVerify = 1;
    s.NamingModeLength = WordCode(Get("OUTPUTdata", "NAMING MODE(LENGTH)", "NO"),
                                  {{"FIXED", 1}, {"AUTO", 2}}, s.NamingModeLength);
    s.NamingModeVerify = WordCode(Get("OUTPUTdata", "NAMING MODE(VERIFY)", "FIXED"), {{"AUTO", 2}},
                                  s.NamingModeVerify);
  }

  void ReadDefineDisplay() {
    Settings& s = t_.settings;
    ColorSettings& colors = t_.colors;
    ViewState& view = t_.view;
    if (Is(Define("OPTIMIZE DRAWING", "YES"), "YES")) s.OptimizeDrawing = 1;
    s.SkipBlock = ConvertInteger(Define("SKIP BLOCK", "5"));
    s.SkipView = ConvertInteger(Define("SKIP VIEW", "5"));
    s.RealRotation = Is(Define("REAL ROTATION", "NO"), "YES") ? 1 : 0;
    s.RealRapid = Is(Define("REAL RAPID", "NO"), "YES") ? 1 : 0;
    s.MeshMode = Is(Define("MESH MODE", "NO"), "YES") ? 1 : 0;
    s.ColorMode = 0;  // "COLOR MODE" has no effect
    if (Is(Define("TOP-PATH COLOR MODE", "SPECIFIED"), "PEN")) s.TopPathColorMode = 0;
    if (Is(Define("TOOL-TOP COLOR MODE", "SPECIFIED"), "PEN")) s.ToolTopColorMode = 0;
    ReadDefineColors(profile_, colors);
    colors.WorkAlpha = Alpha(Define("WORK ALPHA", "0.5"));
    colors.BaseAlpha = Alpha(Define("BASE ALPHA", "0.5"));
    colors.ToolAlpha = Alpha(Define("TOOL ALPHA", "0.5"));
    colors.MachineAlpha = Alpha(Define("MACHINE ALPHA", "0.5"));
    s.WorkMargin[0] = DefineFloat("WORK MARGIN(X)", "0.0");
    s.WorkMargin[1] = DefineFloat("WORK MARGIN(Y)", "0.0");
    s.WorkMargin[2] = DefineFloat("WORK MARGIN(Z)", "0.0");
    if (cl_.controlPointGiven == 0) {
      const std::string point = Define("CONTROL POINT", "(0.0,0.0,200.0,0.0,0.0)");
      ReadFiniteList("CONTROL POINT", point, 0, s.ControlPoint);
      if (point.find_first_of("Mm") != std::string::npos) s.ControlPointMachine = 1;
    }
    const auto controlPointChoice = [](std::string_view value, int32_t current) {
      return WordCode(value, {{"BOX-TOP", 0}, {"CURRENT", 1}, {"SPECIFY", 2}}, current);
    };
    s.NewControlPointD =
        controlPointChoice(Define("NEW CONTROL POINTD", "CURRENT"), s.NewControlPointD);
    s.NewControlPoint =
        controlPointChoice(Define("NEW CONTROL POINT", "BOX-TOP"), s.NewControlPoint);
    ReadFiniteList("SPECIFIED POINTD", Define("SPECIFIED POINTD", "(0.0,0.0,100.0)"), 0,
                   s.SpecifiedPointD);
    ReadFiniteList("SPECIFIED POINT", Define("SPECIFIED POINT", "(0.0,0.0,100.0)"), 0,
                   s.SpecifiedPoint);
    const int32_t basePoint = WordCode(Define("TOOL BASE POINT", ""),
                                       {{"BOTTOM", 0},
                                        {"BALL-CENTER", 1},
                                        {"F-CENTER", 2},
                                        {"R-HEIGHT", 3},
                                        {"LENGTH-TOP", 4},
                                        {"ARBOR-TOP", 5}},
                                       -1);
    if (basePoint >= 0) {
      s.ToolBasePoint = basePoint;
      s.ToolBasePointGiven = 1;
    }
    s.ToolDisplay =
        WordCode(Define("TOOL DISPLAY", "ON"), {{"OFF", 0}, {"PERS", 2}}, s.ToolDisplay);
    s.MachineDisplay =
        WordCode(Define("MACHINE DISPLAY", "ON"), {{"OFF", 0}, {"PERS", 2}}, s.MachineDisplay);
    const std::string work = Define("WORK DISPLAY", "ON");
    if (Is(work, "OFF")) s.WorkDisplay = 0;
    if (Is(work, "PERS")) s.WorkDisplay = ModeFromAlpha(colors.WorkAlpha);
    const std::string base = Define("BASE DISPLAY", "OFF");
    if (Is(base, "ON")) s.BaseDisplay = 1;
    if (Is(base, "PERS")) s.BaseDisplay = ModeFromAlpha(colors.BaseAlpha);
    if (Is(Define("ROTATION CENTER DISPLAY", "OFF"), "ON")) s.RotationCentreDisplay = 1;
    if (Is(Define("CONSTRUCTION POINT", "OFF"), "ON")) s.ConstructionPoint = 1;
    s.BasicAxis =
        WordCode(Define("BASIC AXIS", "YES"), {{"NO", 0}, {"OFF", 0}, {"ON", 1}}, s.BasicAxis);
    s.ProgressName = Define("PROGRESS NAME", "");
    if (Is(Define("SOUND", "OFF"), "OFF")) s.SoundOn = 0;
    s.IgnoreG00 = Is(Define("IGNORE G00", "NO"), "YES") ? 1 : 0;
    if (Is(Define("VOLUME UNIT", "mm3"), "m3")) s.VolumeUnit = 1;
    if (cl_.offsetValueGiven == 0) s.OffsetValue = DefineNumber("OFFSET VALUE", "5.0");
    view.Perspective = Is(Define("PERSPECTIVE", "ON"), "OFF") ? 0 : 1;
    const std::string centre = Define("VIEW CENTER", "AUTO");
    if (Is(centre, "AUTO")) {
      view.FixedViewCentre = 0;
    } else {
      view.FixedViewCentre = 1;
      ReadFiniteList("VIEW CENTER", centre, 0, view.ViewCentre);
    }
    if (Is(Define("FULL VIEW", "ALL"), "WORK")) s.FullViewWork = 1;
    s.OpenGlBuffer = Is(Define("OPENGL BUFFER", "DOUBLE"), "NOT SPECIFIED") ? 1 : 2;
    s.ImeVersion = Is(Define("IME VERSION", "NEW"), "OLD") ? 0 : 1;
    const std::string zoom = Define("TOOL DIALOG ZOOM RATE", "2.0");
    s.ToolDialogZoomRate = Is(zoom, "MAX") ? 9999.0 : DefineNumber("TOOL DIALOG ZOOM RATE", "2.0");
  }

  void ReadDefinePitch() {
    PitchSettings& pitch = t_.settings.Pitch;
    pitch.MinimumPitch = DefineNumber("MINIMUM PITCH(WORK)", "0.01");
    if (cl_.workPitchGiven == 0) {
      const std::string work = Define("PITCH(WORK)", "1.0");
      if (Is(work, "AUTO")) {
        pitch.AutoPitch = 1;
        pitch.WorkPitchSetting = pitch.WorkPitch = 1.0;
        const int32_t budget = ConvertInteger(std::string_view(work).substr(4));
        pitch.ValueBudget = budget > 0 ? static_cast<uint32_t>(budget) : 20000;
      } else {
        pitch.AutoPitch = 0;
        const double value = ConvertDouble(work);
        if (value > 0 && std::isfinite(value)) {
          pitch.WorkPitchSetting = pitch.WorkPitch = value;
        } else {
          Note("PITCH(WORK) " + work + " is no pitch; the pitch stays " +
               std::to_string(pitch.WorkPitch));
        }
      }
    }
    if (cl_.movePitchGiven == 0) {
      const std::string move = Define("PITCH(MOVE)", "1.0");
      if (Is(move, "AUTO")) {
        pitch.MovePitchLinked = 1;
        const double factor = ConvertDouble(std::string_view(move).substr(4));
        pitch.MovePitchFactor = factor > 0 && std::isfinite(factor) ? factor : 1.0;
        pitch.MovePitch = pitch.MovePitchFactor * pitch.WorkPitch;
      } else {
        pitch.MovePitchLinked = 0;
        const double value = ConvertDouble(move);
        if (value > 0 && std::isfinite(value)) {
          pitch.MovePitch = value;
        } else {
          Note("PITCH(MOVE) " + move + " is no pitch; the pitch stays " +
               std::to_string(pitch.MovePitch));
        }
      }
    }
    ToolTraceSettings& trace = t_.settings.ToolTrace;
    trace.WeldingHeight = DefineNumber("WELDING(HEIGHT)", "0.5");
    trace.WeldingWidth = DefineNumber("WELDING(WIDTH)", "5.0");
    trace.GrinderDepth = DefineNumber("GRINDER(DEPTH)", "1.0");
    trace.GrinderWidth = DefineNumber("GRINDER(WIDTH)", "3.0");
    trace.PaperDepth = DefineNumber("PAPER(DEPTH)", "0.1");
    trace.PaperWidth = DefineNumber("PAPER(WIDTH)", "1.0");
    trace.BrushWidth = DefineNumber("BRUSH(WIDTH)", "1.0");
    trace.HeraWidth = DefineNumber("HERA(WIDTH)", "1.0");
  }

  void ReadDefineDifference() {
    DifferenceSettings& d = t_.difference;
    if (cl_.differenceJob == 0) {
      if (Is(Define("DIFFERENCE AREA", "PLUS"), "MINUS")) d.Area = -1;
      d.Margin = d.BuiltMargin = DefineNumber("DIFFERENCE MARGIN", "0.1");
      const std::string colour = Define("DIFFERENCE COLOR", "PENKI");
      if (Is(colour, "PEN") && !Is(colour, "PENKI")) {
        d.PenColouring = 1;
        d.Pen = PenNumber(std::string_view(colour).substr(3));
      }
      if (Is(Define("DIFFERENCE KEEP SAME COLOR", "NO"), "YES")) d.ClearPrevious = 0;
      d.EmphasisWidth = DefineNumber("DIFFERENCE OFFSET", "0.0");
    }
    const std::string target = Define("DIFFERENCE TARGET", "NO");
    if (Is(target, "PEN")) {
      d.TargetByPen = 1;
      d.TargetPen = PenNumber(std::string_view(target).substr(3));
    }
  }

  void ReadDefineChecks() {
    InterferenceCheckSettings& c = t_.checks;
    c.Interference = WordCode(Define("INTERFERENCE", "YES"),
                              {{"NO", 0}, {"TOOL", 1}, {"ARBOR", 0}, {"STOP", 2}}, 1);
    c.ArborCheck = WordCode(Define("ARBOR CHECK", "NO"),
                            {{"YES", 3}, {"OUTPUT", 1}, {"CUT", 2}, {"STOP", 4}}, 0);
    const std::string type = Define("HEIGHT CHECK TYPE", "A");
    if (Is(type, "B")) {
      c.HeightCheckType = 1;
      c.HeightCheckMargin = NumberAfter(type, 1).value_or(-0.1);
      if (!Finite("HEIGHT CHECK TYPE", std::span<const double>(&c.HeightCheckMargin, 1)))
        c.HeightCheckMargin = -0.1;
      if (c.HeightCheckMargin == 0) c.HeightCheckType = 0;
    } else {
      c.HeightCheckType = Is(type, "C") ? 2 : 0;
    }
    const auto heightCoding = [](std::string_view value) {
      return WordCode(value, {{"NO", 0}, {"OUTPUT", 1}, {"STOP", 3}}, 2);
    };
    c.HeightCheck = heightCoding(Define("HEIGHT CHECK", "NO"));
    c.ChipWidthCheck = heightCoding(Define("CHIP-W CHECK", "NO"));
    const std::string spindle = Define("SPINDLE CHECK", "NO");
    if (Is(spindle, "NO")) {
      c.SpindleCheck = 0;
      c.SpindleLimits = {0, 0};
      c.SpindleLimitsGiven = 0;
    } else {
      c.SpindleCheck = Is(spindle, "STOP") ? 2 : 1;
      ReadFiniteList("SPINDLE CHECK", spindle, 3, c.SpindleLimits);
      c.SpindleLimitsGiven = 1;
    }
    for (size_t i = 0; i < kPairCheckKeys.size(); ++i)
      c.Pairs[i] = WordCode(Define(kPairCheckKeys[i], "NO"), {{"NO", 0}, {"STOP", 2}}, 1);
    UpdateMachineCheckFlag(c);
    const std::string rapid = Define("RAPID FEEDRATE", "999999999.0");
    c.RapidFeedrate = Is(rapid, "NO") ? 999999999.0 : DefineNumber("RAPID FEEDRATE", "999999999.0");
    const auto clearance = [this](std::string_view key, int32_t& mode, double& value) {
      const std::string text = Define(key, "NO");
      mode = WordCode(text, {{"NO", 0}, {"YES", 1}}, 2);
      if (mode != 2) return;
      const double given = ConvertDouble(text);
      if (Finite(key, std::span<const double>(&given, 1)))
        value = given;
      else
        mode = 0;
    };
    clearance("TOOL CLEARANCE", c.ToolClearanceMode, c.ToolClearance);
    clearance("ARBOR CLEARANCE", c.ArborClearanceMode, c.ArborClearance);
    Settings& s = t_.settings;
    s.StopKey = WordCode(Define("STOP KEY", "CTRL"), {{"SPACE", 32}, {"PAUSE", 19}}, 17);
    s.EscapeKey = WordCode(Define("ESCAPE KEY", "ESC"), {{"BREAK", 3}, {"PAUSE", 19}}, 27);
  }

  void ReadTableFiles() {
    DefinitionFilePaths& paths = t_.paths;
    const auto file = [&](bool given, std::string& slot, std::string_view key,
                          std::string_view fallback, const std::string& folder) {
      const std::string name = given && !slot.empty() ? slot : Get("Table", key, fallback);
      slot = ResolveFilePath(folder, name, paths);
    };
    file(cl_.toolTableGiven != 0, paths.ToolTable, "TOOL_TABLE", "atc.ttl", paths.ToolTableFolder);
    file(cl_.controllerGiven != 0, paths.Controller, "CONTROLLER_TABLE", "hanuc.ctl",
         paths.ControllerFolder);
    file(cl_.machineGiven != 0, paths.Machine, "MACHINE_TABLE", "oguma.mtl", paths.MachineFolder);
  }

  void ReadExecEditor() {
    EditorSettings& e = t_.settings.Editor;
    const EditorSettings defaults;
    e.ExecProgram = Get("ExecEditor", "EXEC_PROGRAM", defaults.ExecProgram);
    e.ExecOption = Get("ExecEditor", "EXEC_OPTION", defaults.ExecOption);
    e.MacroNumber = ConvertInteger(Get("ExecEditor", "EXEC_MACRO_NO", "-1"));
    e.MacroName = Get("ExecEditor", "EXEC_MACRO_NAME", defaults.MacroName);
    e.SelectOpen = Is(Get("ExecEditor", "SELECT OPEN", "NO"), "YES") ? 1 : 0;
    e.CloseEnd = Is(Get("ExecEditor", "CLOSE END", "NO"), "YES") ? 1 : 0;
    e.TtlEditor = Get("ExecEditor", "EXEC_TTL_EDITOR", e.ExecProgram);
    e.CtlEditor = Get("ExecEditor", "EXEC_CTL_EDITOR", e.ExecProgram);
    e.MtlEditor = Get("ExecEditor", "EXEC_MTL_EDITOR", e.ExecProgram);
    e.IniEditor = Get("ExecEditor", "EXEC_INI_EDITOR", e.ExecProgram);
    e.DefEditor = Get("ExecEditor", "EXEC_DEF_EDITOR", e.ExecProgram);
  }

  void ReadDefineViewAndMagazine() {
    Settings& s = t_.settings;
    ViewState& view = t_.view;
    view.Azimuth = view.HomeAzimuth = DefineNumber("ANGLE-A", "315.0");
    view.Elevation = view.HomeElevation = DefineNumber("ANGLE-B", "45.0");
    UpdateViewAngleTrig(view);
    s.ExpandRate = DefineNumber("EXPAND RATE", "5.0");

    const std::string undo = Define("UNDO", "1");
    const int64_t depth = int64_t{ConvertInteger(undo)} + 1;
    s.UndoDepth = static_cast<int32_t>(std::clamp<int64_t>(depth, 1, kMaxUndoDepth));
    if (depth != s.UndoDepth)
      Note("UNDO " + undo + " is out of range; " + std::to_string(s.UndoDepth) +
           " history slots are used");
    s.UndoListFlags.assign(static_cast<size_t>(s.UndoDepth), 0);

    const std::string magazine = Define("MAX MAGAZINE", "200");
    int32_t maxTool = ConvertInteger(magazine);
    if (maxTool < 0 || maxTool > kMaxMagazineLimit) {
      const int32_t used = maxTool < 0 ? kDefaultMaxToolNumber : kMaxMagazineLimit;
      Note("MAX MAGAZINE " + magazine + " is out of range; " + std::to_string(used) + " is used");
      maxTool = used;
    }
    t_.tools.MaxToolNumber = maxTool;
    AllocToolTables(t_.tools);

    s.CheckMac = Is(Define("CHECK MAC", "NO"), "YES") ? 1 : 0;
    s.CheckMatrix = Is(Define("CHECK MATRIX", "NO"), "YES") ? 1 : 0;
    s.StlMatrix = Define("STL MATRIX", "");
  }

  void ReadVideo() {
    Settings& s = t_.settings;
    t_.paths.VideoFolder = Get("Video", "Target_VIDEOdir", t_.paths.CurrentFolder);
    s.VideoNameAuto = Is(Get("Video", "NAME MODE", "FIXED"), "AUTO") ? 1 : 0;
    if (Is(Get("Video", "LAP DIALOG", "NO"), "YES")) s.LapDialog = 1;
    MovieSettings& movie = t_.movie;
    movie.Recording = movie.FrameOnToolChange + movie.FrameOnAxisChange + movie.FrameEveryBlock +
                      movie.FrameOnUpdate;
  }

  void ReadMouse() {
    Settings& s = t_.settings;
    const bool downByDefault = env_.OsVersionCode == 1;
    s.MoveSwitch = downByDefault ? 1 : 0;
    s.MoveSwitch =
        WordCode(Get("Mouse", "MOVE SWITCH", downByDefault ? "RBUTTONDOWN" : "RBUTTONCLICK"),
                 {{"RBUTTONDOWN", 1}, {"RBUTTONCLICK", 0}}, s.MoveSwitch);
    if (Is(Get("Mouse", "WHEEL ZOOM", "NO"), "REVERSE")) s.WheelZoomReverse = 1;
  }

  void ReadSave() {
    Settings& s = t_.settings;
    const auto integer = [this](std::string_view key, int32_t fallback) {
      return profile_.GetInt("Save", key, fallback);
    };
    s.SavePlacement = integer("DISPLAY", 1);
    s.SaveWorkColor = integer("WORK COLOR", 1);
    s.SaveToolColor = integer("TOOL COLOR", 1);
    s.SaveMachineColor = integer("MACHINE COLOR", 1);
    s.SaveLineColor = integer("LINE COLOR", 1);
    s.SaveBackground = integer("BACKGROUND", 1);
    if (cl_.windowRectGiven == 0) {
      s.WindowX = integer("X", -1);
      s.WindowY = integer("Y", -1);
      s.WindowHeight = integer("HEIGHT", -1);
      s.WindowWidth = integer("WIDE", -1);
    }
    s.WindowShow = integer("SHOW", 1);
    s.ViewP = integer("VIEW_P", 0);
    s.ViewT = integer("VIEW_T", 0);
  }

  void Finish() {
    DefinitionFilePaths& paths = t_.paths;
    if (cl_.colourFileGiven != 0 && !paths.ColourFile.empty()) {
      if (!HasFolderPart(paths.ColourFile))
        paths.ColourFile = JoinPath(paths.CurrentFolder, paths.ColourFile);
      if (ReadColorSettings(PathFrom(paths.CurrentFolder, paths.ColourFile), t_.colors) == 1) {
        LoadColorSet(t_.colors);
      } else {
        Note("the colour file " + paths.ColourFile + " cannot be read");
      }
    }
    if (cl_.batchMode != 0) {
      t_.settings.ViewT = 0;
      t_.settings.ToolDisplay = 0;
      t_.lists.PathDisplay.store(0);
      t_.lists.PathDisplay2.store(0);
    }
  }

  const SettingsTargets& t_;
  const CommandLineRequest& cl_;
  const StartupEnvironment& env_;
  Host& host_;
  ProfileFile profile_;
};

// The path a candidate names when that file can be read: the candidate
// itself, or the file as found on disk when its name differs in letter case.
std::optional<std::string> ReadableAs(std::string_view candidate,
                                      const DefinitionFilePaths& paths) {
  const std::string full = PathFrom(paths.CurrentFolder, candidate);
  if (CanOpenForReading(full)) return std::string(candidate);
  const std::string found = ResolveDefinitionPath(ToNativePath(full)).string();
  if (!CanOpenForReading(found)) return std::nullopt;
  return found;
}

}  // namespace

StartupEnvironment DetectStartupEnvironment(int32_t osVersionCode) {
  return {CurrentFolder(), ProgramFile(), osVersionCode};
}

void ReadSettingsFile(const SettingsTargets& targets, const CommandLineRequest& commandLine,
                      const StartupEnvironment& environment, Host& host) {
  SettingsReader(targets, commandLine, environment, host).Read();
}

std::string ResolveFilePath(std::string_view folder, std::string_view name,
                            const DefinitionFilePaths& paths) {
  if (HasFolderPart(name)) return std::string(name);
  if (auto inFolder = ReadableAs(JoinPath(folder, name), paths)) return std::move(*inFolder);
  if (auto bare = ReadableAs(name, paths)) return std::move(*bare);
  return JoinPath(paths.ProgramFolder, name);
}

}  // namespace vestan
