// Layer selection and import options without windows.
#include "dxf/ImportDialogs.h"

#include <algorithm>
#include <charconv>

#include "dxf/DXFRecords.h"
#include "model/NumberFormat.h"
#include "model/Text.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

bool TLayerSelection::Add(int nIndex, IUserPrompts* pPrompts) {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Drawing.size())) return false;
  if (m_Selected.size() >= static_cast<size_t>(c_nMaxSelectedLayers)) {
    if (pPrompts) pPrompts->ShowMessage(EMessageKind::eWarning, c_sLimitWarning);
    return false;
  }
  const std::string name = m_Drawing[static_cast<size_t>(nIndex)];
  if (std::find(m_Selected.begin(), m_Selected.end(), name) != m_Selected.end()) return false;
  m_Selected.push_back(name);
  m_Drawing.erase(m_Drawing.begin() + nIndex);
  return true;
}

bool TLayerSelection::Remove(int nIndex) {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_Selected.size())) return false;
  m_Drawing.push_back(m_Selected[static_cast<size_t>(nIndex)]);
  m_Selected.erase(m_Selected.begin() + nIndex);
  return true;
}

std::string FormatOptionNumber(double f) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, 6);
  std::string s(buf, r.ptr);
  if (s.size() < 10) s.insert(0, 10 - s.size(), ' ');
  return s;
}

TImportOptionsFields LoadImportOptions(TVLTRegistry& reg) {
  TImportOptionsFields f;
  std::string mode = reg.DXFInImportMatching();
  char c = mode.empty() ? 'D' : mode[0];
  f.evMatching = (c == 'A' || c == 'a')   ? EImportMatching::eAbsolute
                 : (c == 'R' || c == 'r') ? EImportMatching::eRelative
                                          : EImportMatching::eDefault;
  double rel = reg.DXFInImportRelativeMatch();
  if (!(rel > gc_fMinRelativeMatch)) rel = gc_fDefaultRelativeMatch;
  double abs = reg.DXFInImportAbsoluteMatch();
  if (!(abs > gc_fMinAbsoluteMatch)) abs = gc_fDefaultAbsoluteMatch;
  f.strRelativePercent = FormatOptionNumber(rel * 100);
  f.strAbsolute = FormatOptionNumber(abs);
  int32_t moves = reg.SplineMovesPerSection();
  f.strMovesPerSection = std::to_string(moves >= 1 && moves <= 50 ? moves : 10);
  const int32_t units = reg.DXFInConvertUnits();
  f.evConvertUnits = units == 1 ? EDXFConvertUnits::eMillimetres : units == 2 ? EDXFConvertUnits::eInches
                                                                               : EDXFConvertUnits::eDrawing;
  f.bIncludePaperSpace = reg.DXFInIncludePaperSpace();
  f.bCutInnerFirst = reg.DXFInCutInnerFirst();
  f.bOptimiseTravel = reg.DXFInOptimiseTravel();
  f.bRemoveDuplicates = reg.DXFInRemoveDuplicates();
  f.bCheckCutOrder = reg.CheckCutOrder();
  const double fArcs = reg.DXFInArcTolerance();
  f.bCurvesAsArcs = fArcs > 0;
  f.strArcTolerance = FormatOptionNumber(fArcs > 0 ? fArcs : 0.01);
  f.bFitPolylines = reg.DXFInFitPolylines();
  f.bTextAsPaths = reg.DXFInTextAsPaths();
  f.strFontFolder = reg.DXFInFontFolder();
  return f;
}

bool StoreImportOptions(const TImportOptionsFields& f, TVLTRegistry& reg, IUserPrompts* pPrompts) {
  reg.SetDXFInImportMatching(f.evMatching == EImportMatching::eRelative   ? "Relative"
                             : f.evMatching == EImportMatching::eAbsolute ? "Absolute"
                                                                          : "Default");
  auto refuse = [&](const std::string& strText, const char* strField) {
    if (pPrompts)
      pPrompts->ShowMessage(EMessageKind::eError,
                            "'" + strText + "' is not a valid number for " + strField);
    return false;
  };
  double rel = 0.0, abs = 0.0;
  if (!TryStrToFloat(f.strRelativePercent, rel)) return refuse(f.strRelativePercent, "% of span");
  reg.SetDXFInImportRelativeMatch(rel / 100);
  if (!TryStrToFloat(f.strAbsolute, abs)) return refuse(f.strAbsolute, "drawing units");
  reg.SetDXFInImportAbsoluteMatch(abs);
  int32_t moves = 0;
  if (!TryStrToInt(f.strMovesPerSection, moves)) return refuse(f.strMovesPerSection, "Moves per Spline Section");
  reg.SetSplineMovesPerSection(moves);
  reg.SetDXFInConvertUnits(static_cast<int32_t>(f.evConvertUnits));
  reg.SetDXFInIncludePaperSpace(f.bIncludePaperSpace);
  reg.SetDXFInCutInnerFirst(f.bCutInnerFirst);
  reg.SetDXFInOptimiseTravel(f.bOptimiseTravel);
  reg.SetDXFInRemoveDuplicates(f.bRemoveDuplicates);
  reg.SetCheckCutOrder(f.bCheckCutOrder);
  double fArcs = 0.0;
  if (f.bCurvesAsArcs && (!TryStrToFloat(f.strArcTolerance, fArcs) || !(fArcs > 0)))
    return refuse(f.strArcTolerance, "Curves as arcs within");
  reg.SetDXFInArcTolerance(f.bCurvesAsArcs ? fArcs : 0.0);
  reg.SetDXFInFitPolylines(f.bFitPolylines);
  reg.SetDXFInTextAsPaths(f.bTextAsPaths);
  reg.SetDXFInFontFolder(Trim(f.strFontFolder));
  return true;
}

}  // namespace veltrane
