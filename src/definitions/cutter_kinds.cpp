#include "definitions/cutter_kinds.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "definitions/tool_geometry.h"
#include "foundation/single_precision.h"
#include "foundation/text_fields.h"
#include "foundation/vector_math.h"

namespace vestan {

namespace {

// Tested in this order: "OVALR" before "OVAL", "IMPORT-TOOL" before "IMPORT".
constexpr std::array<KeyEntry<CutterKey>, 15> kCutterKeys = {{
    {"CUTTER", CutterKey::kCutter},
    {"DRILL", CutterKey::kDrill},
    {"BALL", CutterKey::kBall},
    {"FLAT", CutterKey::kFlat},
    {"BULL", CutterKey::kBull},
    {"KEGAKI", CutterKey::kKegaki},
    {"TAPERBALL", CutterKey::kTaperBall},
    {"VERTICAL", CutterKey::kVertical},
    {"OVALR", CutterKey::kOvalR},
    {"OVAL", CutterKey::kOval},
    {"T-THROW", CutterKey::kTThrow},
    {"SPHERE", CutterKey::kSphere},
    {"RADIUS", CutterKey::kRadius},
    {"IMPORT-TOOL", CutterKey::kImportTool},
    {"IMPORT", CutterKey::kImport},
}};

void ClearAngles(ToolRecord& r) {
  r.BottomAngleWidth = 0.0f;
  r.BottomAngle = 0.0f;
  r.TaperAngle = 0.0f;
  r.SideParam = 0.0f;
}

void ReadName(int32_t& cursor, std::string_view line, ToolRecord& r) {
  ParseQuotedField(cursor, line, r.Name);
}

void ReadGeneralCutter(ValueList& v, int32_t& cursor, std::string_view line, ToolRecord& r) {
  r.Diameter = v.NextFloat();
  r.CornerRadius = v.NextFloat();
  r.CornerCentreRadius = v.NextFloat();
  r.TipHeight = v.NextFloat();
  r.BottomAngle = v.NextFloat();
  r.BottomAngleWidth = r.BottomAngle > 0.0f ? v.FloatAfterSemicolon(0.0f) : 0.0f;
  r.TaperAngle = v.NextFloat();
  r.SideParam = 0.0f;
  r.TaperWidth = r.TaperAngle > 0.0f ? v.FloatAfterSemicolon(0.0f) : 0.0f;
  r.CuttingLength = v.NextFloat();
  if (r.TaperWidth > 0.0f)
    ComputeTaperToolWidth(r.Diameter, r.CornerRadius, r.BottomAngle, r.TaperAngle, r.CuttingLength,
                          r.TaperWidth);
  ReadName(cursor, line, r);
  r.Kind = CutterKindFromDimensions(r.Diameter, r.CornerRadius, r.CornerCentreRadius, r.TipHeight,
                                    r.BottomAngle, r.TaperAngle);
}

}  // namespace

std::optional<CutterKey> MatchCutterKey(std::string_view line, size_t pos) {
  if (const KeyEntry<CutterKey>* entry = MatchKeyTable(kCutterKeys, line, pos)) return entry->Key;
  return std::nullopt;
}

std::string_view CutterKeyText(CutterKey key) {
  for (const KeyEntry<CutterKey>& entry : kCutterKeys)
    if (entry.Key == key) return entry.Text;
  return {};
}

std::string DefaultDrillName(bool englishMode) {
  return englishMode ? "Drill" : "\x83\x68\x83\x8a\x83\x8b";  // ドリル in cp932
}

int32_t CutterKindFromDimensions(float diameter, float cornerRadius, float cornerCentreRadius,
                                 float tipHeight, float bottomAngle, float taperAngle) {
  const float d = diameter, r = cornerRadius, g = bottomAngle, a = taperAngle;
  if (d == 2.0f * r && g == 0.0f && a == 0.0f) return kToolBall;
  if (d > 0.0f && r == 0.0f && g == 0.0f && a == 0.0f) return kToolFlat;
  if (d > 0.0f && r <= 0.0f) return kToolDrill;
  if (d > 0.0f && r > 0.0f && g == 0.0f && a == 0.0f) return kToolBull;
  if (r > 0.0f && r == tipHeight && cornerCentreRadius == 0.0f && g == 0.0f && a > 0.0f) {
    const double expected = TaperBallDiameter(r, a);
    return std::fabs(static_cast<double>(d) - expected) < 1e-5 ? kToolTaperBall : kToolDrill;
  }
  return kToolDrill;
}

void ReadCutterKey(CutterKey key, int32_t& cursor, std::string_view line, ToolRecord& r,
                   bool englishMode) {
  cursor = std::min(cursor + static_cast<int32_t>(CutterKeyText(key).size()),
                    static_cast<int32_t>(line.size()));
  ValueList v(cursor, line);
  switch (key) {
    case CutterKey::kCutter:
      ReadGeneralCutter(v, cursor, line, r);
      return;
    case CutterKey::kDrill: {
      const float d = v.NextFloat();
      const float g = v.NextFloat();
      const float l = v.NextFloat();
      r.Diameter = d;
      r.CornerRadius = 0.0f;
      r.CornerCentreRadius = d / 2.0f;
      // From the taper angle the record holds before this key clears it.
      r.TipHeight = RoundToSingle(d / 2.0f * std::tan(r.TaperAngle * kRadiansPerDegree));
      r.BottomAngle = g;
      r.TaperAngle = 0.0f;
      r.CuttingLength = l;
      r.SideParam = 0.0f;
      ReadName(cursor, line, r);
      if (!r.Name) r.Name = DefaultDrillName(englishMode);
      r.Kind = kToolDrill;
      return;
    }
    case CutterKey::kBall:
      r.Diameter = v.NextFloat();
      r.CornerRadius = r.Diameter / 2.0f;
      r.CornerCentreRadius = 0.0f;
      r.TipHeight = r.Diameter / 2.0f;
      ClearAngles(r);
      r.CuttingLength = v.NextFloat();
      ReadName(cursor, line, r);
      r.Kind = kToolBall;
      return;
    case CutterKey::kFlat:
    case CutterKey::kKegaki:
      r.Diameter = v.NextFloat();
      r.CornerRadius = 0.0f;
      r.CornerCentreRadius = 0.0f;
      r.TipHeight = 0.0f;
      ClearAngles(r);
      r.CuttingLength = v.NextFloat();
      ReadName(cursor, line, r);
      r.Kind = key == CutterKey::kKegaki || (r.Name && MatchesKey(*r.Name, "KEGAKI")) ? kToolKegaki
                                                                                      : kToolFlat;
      return;
    case CutterKey::kBull:
      r.Diameter = v.NextFloat();
      r.CornerRadius = v.NextFloat();
      if (r.CornerRadius > 0.0f) {
        r.Kind = kToolBull;
        r.CornerCentreRadius = r.Diameter / 2.0f - r.CornerRadius;
        r.TipHeight = r.CornerRadius;
      } else if (r.CornerRadius < 0.0f) {
        r.Kind = kToolDrill;
        r.CornerCentreRadius = 0.0f;
        r.TipHeight = -r.CornerRadius;
      } else {
        r.Kind = kToolFlat;
        r.CornerCentreRadius = 0.0f;
        r.TipHeight = 0.0f;
      }
      ClearAngles(r);
      r.CuttingLength = v.NextFloat();
      ReadName(cursor, line, r);
      return;
    case CutterKey::kTaperBall:
      r.CornerRadius = v.NextFloat();
      r.TaperAngle = v.NextFloat();
      r.TaperWidth = v.FloatAfterSemicolon(0.0f);
      r.CuttingLength = v.NextFloat();
      r.CornerCentreRadius = 0.0f;
      r.TipHeight = 0.0f;
      r.BottomAngleWidth = 0.0f;
      r.BottomAngle = 0.0f;
      r.SideParam = 0.0f;
      r.Diameter = RoundToSingle(TaperBallDiameter(r.CornerRadius, r.TaperAngle));
      if (r.TaperWidth > 0.0f)
        ComputeTaperToolWidth(r.Diameter, r.CornerRadius, r.BottomAngle, r.TaperAngle,
                              r.CuttingLength, r.TaperWidth);
      ReadName(cursor, line, r);
      r.Kind = kToolTaperBall;
      return;
    case CutterKey::kVertical:
      r.Diameter = v.NextFloat();
      r.SideParam = v.NextFloat();
      r.CuttingLength = v.NextFloat();
      r.CornerRadius = 0.0f;
      r.CornerCentreRadius = 0.0f;
      r.TipHeight = 0.0f;
      r.BottomAngleWidth = 0.0f;
      r.BottomAngle = 0.0f;
      r.TaperAngle = 0.0f;
      ReadName(cursor, line, r);
      r.Kind = kToolVertical;
      return;
    case CutterKey::kOval:
    case CutterKey::kOvalR:
      r.Diameter = v.NextFloat();
      r.TipHeight = v.NextFloat();
      r.CornerCentreRadius = v.NextFloat();
      r.CornerRadius = key == CutterKey::kOvalR ? v.NextFloat() : 0.0f;
      ClearAngles(r);
      r.CuttingLength = v.NextFloat();
      ReadName(cursor, line, r);
      r.Kind = kToolOval;
      return;
    case CutterKey::kTThrow: {
      r.Diameter = v.NextFloat();
      r.TaperWidth = v.FloatAfterSemicolon(0.0f);
      const float blade = v.NextFloat();
      r.BladeWidth = blade;
      r.CornerRadius = v.NextFloat();
      r.LowerCornerRadius = v.NextFloat();
      // A width of its own that is not the diameter means a blade without radii.
      if (r.TaperWidth != 0.0f && r.TaperWidth != r.Diameter) {
        r.CornerRadius = 0.0f;
        r.LowerCornerRadius = 0.0f;
      }
      r.NeckDiameter = v.NextFloat();
      r.CuttingLength = 5.0f * blade;
      ClearAngles(r);
      r.BladeWidth = std::max({r.BladeWidth, r.CornerRadius + r.LowerCornerRadius,
                               2.0f * r.CornerRadius, 2.0f * r.LowerCornerRadius});
      ReadName(cursor, line, r);
      r.Kind = kToolTThrow;
      return;
    }
    case CutterKey::kSphere:
      r.Diameter = v.NextFloat();
      r.NeckDiameter = v.NextFloat();
      r.CuttingLength = 5.0f * r.Diameter;
      ReadName(cursor, line, r);
      r.Kind = kToolSphere;
      return;
    case CutterKey::kRadius:
      r.Diameter = v.NextFloat();
      r.CornerRadius = v.NextFloat();
      r.TipHeight = v.NextFloat();
      r.CornerCentreRadius =
          RoundToSingle(ComputeCornerOffset(r.Diameter, r.CornerRadius, r.TipHeight));
      ClearAngles(r);
      r.CuttingLength = r.CornerRadius;
      ReadName(cursor, line, r);
      r.Kind = kToolRadius;
      return;
    case CutterKey::kImportTool:
      // The outline comes from the DXF profile reader; while no file gives a
      // segment the tool keeps its kind and has no profile.
      r.Diameter = 10.0f;
      r.CuttingLength = 10.0f;
      r.TipHeight = 0.0f;
      r.CornerCentreRadius = 0.0f;
      r.CornerRadius = 0.0f;
      ClearAngles(r);
      ParseQuotedField(cursor, line, r.ProfileFile);
      return;
    case CutterKey::kImport:
      // The mesh of the file named here, and the size taken from it, come
      // from the STL tool reader.
      ParseQuotedField(cursor, line, r.Name);
      for (double& offset : r.ImportOffset) offset = v.NumberAfterComma();
      r.NeckDiameter = v.NextFloat();
      r.TipHeight = 0.0f;
      r.CornerCentreRadius = 0.0f;
      r.CornerRadius = 0.0f;
      ClearAngles(r);
      r.Kind = kToolImportedMesh;
      return;
  }
}

}  // namespace vestan
