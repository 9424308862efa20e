#include "shell/core/window_texts.h"

#include <cstdio>
#include <string_view>

#include "model/dexel_model.h"
#include "simulation/session.h"

namespace vestan {

namespace {

std::string_view Pick(int32_t english, std::string_view en, std::string_view ja) {
  return english != 0 ? en : ja;
}

// A path's file name with its extension; both separators count.
std::string FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// A path's file name without folder and extension.
std::string BareNameOf(std::string_view path) {
  std::string name = FileNameOf(path);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

char CheckLetter(int32_t position, int32_t value) {
  // Rows by position, columns by value 0..3; other values give "S".
  static constexpr char kLetters[4][4] = {
      {'N', 'Y', 'S', 'S'},  // INTERFERENCE
      {'N', 'O', 'C', 'Y'},  // ARBOR CHECK
      {'N', 'O', 'Y', 'S'},  // HEIGHT CHECK
      {'N', 'O', 'Y', 'S'},  // CHIP-W CHECK
  };
  return value >= 0 && value <= 3 ? kLetters[position][value] : 'S';
}

}  // namespace

std::string CheckLetters(const std::array<int32_t, 4>& checks) {
  std::string letters;
  for (int32_t i = 0; i < 4; ++i) letters += CheckLetter(i, checks[static_cast<size_t>(i)]);
  return letters;
}

std::optional<std::string> UpdateWindowTitle(const TitleFacts& f) {
  const bool busy = f.CuttingMode >= 1 || f.ProgressActive != 0;
  if (f.DisplaySuspended != 0 && busy) return std::nullopt;
  const int32_t en = f.EnglishMode;
  std::string title = f.MachineName + " - ";
  title += f.NcProgram.empty() ? std::string(Pick(en, "Not Selected", "NCデータ未選択"))
                               : FileNameOf(f.NcProgram);
  if (!f.WorkFile.empty()) title += "/" + FileNameOf(f.WorkFile);
  title += "(" + BareNameOf(f.ToolTable) + "," + BareNameOf(f.Controller) + "," +
           BareNameOf(f.Machine) + ")";
  if (f.CuttingMode >= 1) {
    title += " - ";
    if (f.CuttingMode == 1) {
      title += std::string(Pick(en, "Cutting : Real:", "加工 : 実切削:")) + std::to_string(f.SkipView);
    } else if (f.CuttingMode == 2) {
      title += std::string(Pick(en, "Cutting : Skip:", "加工 : スキップ:")) +
               std::to_string(f.SkipBlock);
    } else if (f.CuttingMode == 3) {
      title += Pick(en, "Cutting : Result", "加工 : 結果表示");
    }
  } else if (!f.ProgressLabel.empty()) {
    title += " - " + f.ProgressLabel;
  }
  title += std::string(Pick(en, "Check-", " 干渉チェック-")) + CheckLetters(f.Checks);
  return title;
}

std::string WorkCoordinateText(int32_t number, int32_t productCode, int32_t en) {
  char text[64];
  if (productCode != 0) {
    std::snprintf(text, sizeof text, en != 0 ? "Workpiece%d" : "座標系%d", number);
  } else if (number >= 1 && number <= 6) {
    std::snprintf(text, sizeof text, en != 0 ? "Workpiece(G5%d)" : "座標系(G5%d)", number + 3);
  } else if (number >= 7) {
    std::snprintf(text, sizeof text, en != 0 ? "Workpiece(P%d)" : "座標系(P%d)", number - 6);
  } else {
    // 0, and a negative number no offset memory holds.
    return std::string(Pick(en, "No Workpiece", "座標系なし"));
  }
  return text;
}

std::string MachiningModeText(const StatusFacts& f) {
  const int32_t en = f.EnglishMode;
  if (f.ToolCentreType == 1) {
    return std::string(f.Siemens != 0 ? Pick(en, "TCL(AXIS-ROT)", "先端点制御(AXIS-ROT)")
                                      : Pick(en, "TCL TYPE1", "先端点制御タイプ1"));
  }
  if (f.ToolCentreType == 2) {
    if (f.Siemens == 0) return std::string(Pick(en, "TCL TYPE2", "先端点制御タイプ2"));
    switch (f.OrientationForm) {
      case 1: return "TCL(EULER)";
      case 2: return std::string(Pick(en, "TCL(RPY)", "先端点制御(RPY)"));
      case 3: return std::string(Pick(en, "TCL(RPY2)", "先端点制御(RPY2)"));
      default: return std::string(Pick(en, "TCL(VECTOR)", "先端点制御(VECTOR)"));
    }
  }
  if (f.WorkPlane != 0) return std::string(Pick(en, "Work Plane", "傾斜面加工"));
  if (f.Osp != 0 && f.AngleCorrection != 0) {
    std::string text(Pick(en, "Angle Hosei", "旋回補正"));
    if (f.CoordinateRotation != 0) text += Pick(en, "(Rot)", "(回転)");
    return text;
  }
  if (f.CoordinateRotation != 0) {
    return std::string(en != 0 ? "Coordinate Rotation" : (f.Osp != 0 ? "傾斜加工" : "3次元座標変換"));
  }
  if (f.Polar != 0) {
    return std::string(en != 0 ? "Polar Coordinate" : (f.Osp != 0 ? "座標変換(G137)" : "極座標補間"));
  }
  if (f.Cylindrical != 0) {
    const bool zc = (f.PlaneCode < 0 ? -f.PlaneCode : f.PlaneCode) == 18;
    if (en != 0) return zc ? "Cylindrical(Z-C)" : "Cylindrical(C-Z)";
    if (f.Osp != 0) return zc ? "側面創成加工(内面選択)" : "側面創成加工(外面選択)";
    return zc ? "円筒補間(ZC)" : "円筒補間(CZ)";
  }
  return std::string(Pick(en, "Normal", "通常加工モード"));
}

StatusBarTexts UpdateStatusBar(const StatusFacts& f, MacroStatus& macro) {
  const int32_t en = f.EnglishMode;
  StatusBarTexts parts;
  if (f.HeldAtStop != 0) {
    if (f.RadiusOffsetAlarm != 0) {
      parts[3] = "OFFSET ALARM";
    } else if (!f.InterferenceStopText.empty()) {
      parts[3] = f.InterferenceStopText;
    } else {
      parts[3] = Pick(en, "STOP", "停止");
    }
    if (f.StopBlinkOn != 0) parts[4] = "G or ESC";
  }
  if (macro.Running != 0) {
    parts[9] = std::string(Pick(en, "Runnning MAC:", "マクロ実行中:")) + macro.Name;
  } else if (macro.Broken != 0 && f.DisplaySuspended == 0) {
    parts[9] = std::string(Pick(en, "Break Macro:", "マクロ中断:")) + macro.Name;
    macro.Broken = 0;
  } else if (macro.Completed != 0 && f.DisplaySuspended == 0) {
    parts[9] = Pick(en, "Complete Macro", "マクロ正常終了");
    macro.Completed = 0;
  }
  parts[7] = std::string(Pick(en, "Basic:", "基準:")) +
             (f.BasicModelTitle.empty() ? std::string("NONE") : f.BasicModelTitle);
  if (f.DifferencePaintMode == 1) {
    parts[7] += " + -";
  } else if (f.DifferencePaintMode == 2) {
    parts[7] += " +";
  } else if (f.DifferencePaintMode >= 3) {
    parts[7] += " -";
  }
  const char* open = f.DisplayFlags[0] == 0 ? "|" : (f.DisplayFlags[1] != 0 ? "[" : " ");
  const char* close = f.ViewLayout == 1 ? "|" : (f.DisplayFlags[2] != 0 ? "]" : " ");
  parts[8] = std::string(Pick(en, "Disp", "描画")) + open + (f.Perspective != 0 ? "◎" : "○") + close;
  parts[5] = WorkCoordinateText(f.WorkCoordinate, f.ProductCode, en);
  parts[6] = MachiningModeText(f);
  return parts;
}

TitleFacts TitleFactsOf(const Session& s) {
  TitleFacts f;
  f.EnglishMode = s.App.EnglishMode;
  f.MachineName = s.Defs.Machine.Name;
  f.NcProgram = s.Defs.Paths.NcProgram;
  if (s.Work.WorkPresent != 0) f.WorkFile = s.Defs.Paths.WorkLoad;
  f.ToolTable = s.Defs.Paths.ToolTable;
  f.Controller = s.Defs.Paths.Controller;
  f.Machine = s.Defs.Paths.Machine;
  f.CuttingMode = s.Control.CuttingMode.load();
  f.SkipView = s.Defs.Settings.SkipView;
  f.SkipBlock = s.Defs.Settings.SkipBlock;
  f.ProgressLabel = s.Progress.TitleLabel;
  f.Checks = {s.Defs.Checks.Interference, s.Defs.Checks.ArborCheck, s.Defs.Checks.HeightCheck,
              s.Defs.Checks.ChipWidthCheck};
  return f;
}

StatusFacts StatusFactsOf(const Session& s) {
  StatusFacts f;
  const NcModalState& m = s.Nc.Modal;
  const ControllerDefinition& c = s.Defs.Controller;
  f.EnglishMode = s.App.EnglishMode;
  f.HeldAtStop = s.Control.LinePendingAtStop.load();
  f.BasicModelTitle = s.Defs.Paths.BasicModelTitle;
  f.Perspective = s.View.Perspective;
  f.ProductCode = c.productCode;
  f.WorkCoordinate = s.Memory.Offsets.SelectedWorkOffset;
  f.ToolCentreType = m.ToolAxisMode == kToolAxisAngles ? 1 : (m.ToolAxisMode == kToolAxisVector ? 2 : 0);
  f.Siemens = c.isSiemens;
  f.Osp = IsOspDialect(c) ? 1 : 0;
  f.OrientationForm = m.Interp.OrientationConvention;
  f.WorkPlane = m.TiltedPlane.Active;
  f.AngleCorrection = m.Interp.OspPlaneRotation;
  f.CoordinateRotation = m.Rotation.State == kRotationActive ? 1 : 0;
  f.Polar = m.Polar.On;
  f.Cylindrical = m.Cylindrical.On;
  f.PlaneCode = m.Plane.PlaneCode;
  return f;
}

std::string ResetDifferencePaint(Session& s, int32_t& differencePaintMode, bool warn) {
  if (s.Work.DifferenceModel.Allocated()) FreeDexelModel(s.Work.DifferenceModel);
  if (s.Work.BasicModel.Allocated()) FreeDexelModel(s.Work.BasicModel);
  s.Work.BasicModelLoaded = 0;
  s.Defs.Difference.BuiltArea = 0;
  differencePaintMode = 0;
  std::string warning;
  if (warn) {
    warning = std::string(Pick(s.App.EnglishMode,
                               "When you use function of [Paint Difference]. Please respecify "
                               "Basic Model.",
                               "差分塗り機能使用時は、基準形状を再指定して下さい。"));
  }
  s.Defs.Paths.BasicModel.clear();
  s.Defs.Paths.BasicModelTitle.clear();
  return warning;
}

}  // namespace vestan
