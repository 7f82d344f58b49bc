// The importer's passes over the drawing: sections, tables, layers, the element
// dispatch for BLOCKS and ENTITIES, arc ends, spans and tolerances, and the import.
#include "dxf/DXFIn.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <map>
#include <numbers>
#include <tuple>
#include <unordered_set>

#include "dxf/DXFPairs.h"
#include "dxf/DXFTextCodes.h"
#include "model/FilePath.h"
#include "model/TextFile.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

bool TFixedImportAnswers::ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) {
  bLayersAsked = true;
  SelectedLayers.clear();
  if (m_Layers.empty()) {
    for (const auto& l : DrawingLayers)
      if (SelectedLayers.size() < static_cast<size_t>(c_nMaxSelectedLayers) &&
          std::find(SelectedLayers.begin(), SelectedLayers.end(), l) == SelectedLayers.end())
        SelectedLayers.push_back(l);
    bTookFirstFive = DrawingLayers.size() > static_cast<size_t>(c_nMaxSelectedLayers);
    return true;
  }
  for (const auto& l : m_Layers)
    if (std::find(DrawingLayers.begin(), DrawingLayers.end(), l) != DrawingLayers.end() &&
        SelectedLayers.size() < static_cast<size_t>(c_nMaxSelectedLayers) &&
        std::find(SelectedLayers.begin(), SelectedLayers.end(), l) == SelectedLayers.end())
      SelectedLayers.push_back(l);
  return true;
}

TDXFIn::TDXFIn(IDXFImportUI* pUI, TVLTRegistry* pRegistry) : m_pUI(pUI), m_pRegistry(pRegistry) {
  // Matching settings: the first letter of the stored mode decides.
  std::string strMode = pRegistry ? pRegistry->DXFInImportMatching() : std::string();
  char c = strMode.empty() ? 'D' : strMode[0];
  if (c == 'A' || c == 'a') {
    m_bMatchAbsolute = true;
    m_bMatchDefault = false;
    m_fMatchTestValue = pRegistry ? pRegistry->DXFInImportAbsoluteMatch() : gc_fDefaultAbsoluteMatch;
  } else if (c == 'D' || c == 'd') {
    m_fMatchTestValue = gc_fDefaultRelativeMatch;
  } else {
    m_bMatchDefault = false;
    m_fMatchTestValue = pRegistry ? pRegistry->DXFInImportRelativeMatch() : gc_fDefaultRelativeMatch;
  }
  if (!std::isfinite(m_fMatchTestValue)) m_fMatchTestValue = 0.0;
  if (pRegistry) {
    m_bIncludePaperSpace = pRegistry->DXFInIncludePaperSpace();
    m_bCutInnerFirst = pRegistry->DXFInCutInnerFirst();
    m_bOptimiseTravel = pRegistry->DXFInOptimiseTravel();
    m_bRemoveDuplicates = pRegistry->DXFInRemoveDuplicates();
    m_bTextAsPaths = pRegistry->DXFInTextAsPaths();
    m_strFontFolder = pRegistry->DXFInFontFolder();
    SetCurvesAsArcs(pRegistry->DXFInArcTolerance(), pRegistry->DXFInFitPolylines());
    const int32_t n = pRegistry->DXFInConvertUnits();
    m_evConvertUnits = n == 1 ? EDXFConvertUnits::eMillimetres : n == 2 ? EDXFConvertUnits::eInches
                                                                       : EDXFConvertUnits::eDrawing;
  }
}

void TDXFIn::SetMovesPerSplineSection(int32_t nMoves) {
  // A value that is absent (0) or out of range is the 10 the options dialog shows.
  m_nMovesPerSplineSection = nMoves >= 1 && nMoves <= 50 ? nMoves : 10;
}

EDXFValueType TDXFIn::CodeValueType(int32_t n) {
  if (n == 5) return eDXFVT_HexText;
  if (n >= 10 && n <= 59) return eDXFVT_Double;
  if (n >= 60 && n <= 79) return eDXFVT_Int16;
  if (n >= 90 && n <= 99) return eDXFVT_Int32;
  if (n >= 110 && n <= 149) return eDXFVT_Double;
  if (n >= 170 && n <= 179) return eDXFVT_Int16;
  if (n >= 210 && n <= 239) return eDXFVT_Double;
  if (n >= 270 && n <= 289) return eDXFVT_Int16;
  if (n >= 290 && n <= 299) return eDXFVT_Boolean;
  if (n >= 310 && n <= 369) return eDXFVT_HexText;
  if (n >= 370 && n <= 389) return eDXFVT_Int16;
  if (n >= 390 && n <= 399) return eDXFVT_Double;
  if (n >= 400 && n <= 409) return eDXFVT_Int16;
  if ((n >= 420 && n <= 429) || (n >= 440 && n <= 449)) return eDXFVT_Int32;
  if (n >= 450 && n <= 459) return eDXFVT_Long;
  if (n >= 460 && n <= 469) return eDXFVT_Double;
  if (n >= 1010 && n <= 1059) return eDXFVT_Double;
  if (n >= 1060 && n <= 1070) return eDXFVT_Int16;
  if (n == 1071) return eDXFVT_Int32;
  return eDXFVT_Text;
}

bool TDXFIn::ToDouble(std::string_view s, double& f) { return TryStrToFloat(s, f); }

void TDXFIn::Warn(const char* strElement, std::string strReason, int nLine) {
  if (m_bDeferLayers)
    m_PendingWarnings.push_back({TDXFWarning{strElement, std::move(strReason), nLine, true}, m_nWarnLayer, m_lstRead.size()});
  else
    m_Warnings.push_back(TDXFWarning{strElement, std::move(strReason), nLine, true});
}

void TDXFIn::Note(const char* strElement, std::string strText, int nLine) {
  if (m_bDeferLayers)
    m_PendingWarnings.push_back({TDXFWarning{strElement, std::move(strText), nLine, false}, m_nWarnLayer, m_lstRead.size()});
  else
    m_Warnings.push_back(TDXFWarning{strElement, std::move(strText), nLine, false});
}

TStringList TDXFIn::WarningSummary() const {
  using TKey = std::tuple<bool, std::string, std::string>;
  std::map<TKey, std::vector<int>> groups;
  std::vector<TKey> order;
  for (const auto& w : m_Warnings) {
    TKey key{w.bSkipped, w.strElement, w.strReason};
    if (!groups.count(key)) order.push_back(key);
    groups[key].push_back(w.nLine);
  }
  TStringList out;
  for (const auto& key : order) {
    const auto& [bSkipped, strElement, strReason] = key;
    const auto& lines = groups[key];
    const std::string strCount = std::to_string(lines.size()) + " " + strElement + (lines.size() == 1 ? "" : " elements");
    std::string s = bSkipped ? "skipped " + strCount + " (" + strReason + ") at line"
                             : strCount + " " + strReason + ", at line";
    s += lines.size() == 1 ? " " : "s ";
    for (size_t i = 0; i < lines.size() && i < 10; ++i) s += (i ? ", " : "") + std::to_string(lines[i]);
    if (lines.size() > 10) s += ", ...";
    out.push_back(s);
  }
  return out;
}

bool TDXFIn::FindSection(std::string_view strSection) {
  static const std::string_view pattern[3] = {"0", "SECTION", "2"};
  int nState = 0;
  std::string_view line;
  while (m_pLines->Next(line)) {
    if (line == "ENDSEC") {
      nState = 0;
      continue;
    }
    if (nState < 3) {
      nState = line == pattern[nState] ? nState + 1 : 0;
    } else {
      if (line == strSection) return true;
      nState = 0;
    }
  }
  return false;
}

bool TDXFIn::FindTable(std::string_view strTable) {
  static const std::string_view pattern[3] = {"0", "TABLE", "2"};
  int nState = 0;
  std::string_view line;
  while (m_pLines->Next(line)) {
    if (line == "ENDSEC") return false;
    if (nState < 3) {
      nState = line == pattern[nState] ? nState + 1 : 0;
    } else {
      if (line == strTable) return true;
      nState = 0;
    }
  }
  return false;
}

bool TDXFIn::ScanLayerTable() {
  m_DrawingLayers.clear();
  enum { eWaitZero, eWaitLayer, eInEntry, eName } state = eWaitZero;
  bool bSkip = false;
  std::string_view line;
  while (m_pLines->Next(line)) {
    if (line == "ENDTAB") return false;
    if (line == "ENDSEC") return true;
    switch (state) {
      case eWaitZero:
        if (line == "0") state = eWaitLayer;
        break;
      case eWaitLayer:
        state = line == "LAYER" ? eInEntry : eWaitZero;
        bSkip = false;
        break;
      case eInEntry:
        if (line == "2" && !bSkip)
          state = eName;
        else
          bSkip = !bSkip;
        break;
      case eName:
        m_DrawingLayers.emplace_back(line);
        state = eWaitZero;
        break;
    }
  }
  return false;
}

bool TDXFIn::ScanEntityForLayer() {
  m_strCurrentLayer.clear();
  m_bPaperSpace = false;
  return ForEachPair(*m_pLines, [&](int32_t nCode, std::string_view v, int) {
    if (nCode == 8) m_strCurrentLayer = v;
    if (nCode == 67) m_bPaperSpace = v == "1";
  });
}

void TDXFIn::ScanEntitiesForLayers() {
  // Layers the elements use that the LAYER table does not list still exist; an element
  // the importer converts that names no layer is on layer "0".
  // The names seen so far, hashed: a drawing may use a layer per element.
  std::unordered_set<std::string> known(m_DrawingLayers.begin(), m_DrawingLayers.end());
  std::string_view line;
  bool bName = false;
  while (m_pLines->Next(line)) {
    if (!bName) {
      if (line == "0") bName = true;
      continue;
    }
    if (line == "ENDSEC") return;
    const bool bConverted = Converted(line);
    bool bMore = ScanEntityForLayer();
    if (m_strCurrentLayer.empty() && bConverted) m_strCurrentLayer = "0";
    if (!m_strCurrentLayer.empty() && (!m_bPaperSpace || m_bIncludePaperSpace) &&
        known.insert(m_strCurrentLayer).second)
      m_DrawingLayers.push_back(m_strCurrentLayer);
    if (!bMore) return;
  }
}

bool TDXFIn::IsConvertedElement(std::string_view name) {
  static constexpr std::string_view names[] = {"LINE",    "ARC",    "CIRCLE",     "POINT",  "SPLINE",
                                               "HELIX",   "ELLIPSE", "LWPOLYLINE", "INSERT", "POLYLINE"};
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

void TDXFIn::SelectLayer() {
  n_strSelectedNumber = 0;
  for (auto& s : m_strSelectedLayer) s.clear();
  TStringList chosen;
  if (m_DrawingLayers.size() == 1) {
    chosen.push_back(m_DrawingLayers[0]);
  } else if (m_DrawingLayers.size() > 1) {
    if (!m_pUI || !m_pUI->ChooseLayers(m_DrawingLayers, chosen)) chosen.clear();
  }
  for (const auto& c : chosen) {
    if (n_strSelectedNumber >= c_nMaxSelectedLayers) break;
    m_strSelectedLayer[static_cast<size_t>(n_strSelectedNumber++)] = c;
  }
}

int32_t TDXFIn::LayerId(std::string_view name) {
  // Elements come in runs on one layer: the last one found is tried first.
  if (m_nLastLayerId >= 0 && m_LayerNames[static_cast<size_t>(m_nLastLayerId)] == name) return m_nLastLayerId;
  const auto [it, bNew] = m_LayerIds.try_emplace(std::string(name), static_cast<int32_t>(m_LayerNames.size()));
  if (bNew) {
    m_LayerNames.emplace_back(name);
    m_NotImportedById.emplace_back();
  }
  m_nLastLayerId = it->second;
  return it->second;
}

int32_t TDXFIn::ResolveLayer(const std::string& strLayer) {
  const std::string_view name = strLayer.empty() ? std::string_view("0") : std::string_view(strLayer);
  if (m_bDeferLayers) {
    // What this element notes from here on counts only when its layer is chosen.
    m_nWarnLayer = LayerId(name);
    return m_nWarnLayer;
  }
  if (b_nolayer) return 0;
  int32_t n = -1;
  for (int32_t i = 0; i < n_strSelectedNumber; ++i)
    if (m_strSelectedLayer[static_cast<size_t>(i)] == name) n = i;
  return n;
}

void TDXFIn::EmptyLists() {
  for (auto& l : m_lstRecords) l.clear();
  m_nWrittenRecords = {};
  m_lstBlocks.clear();
  m_lstHeadofBlocks.clear();
  m_lstVertices.clear();
  m_lstInserts.clear();
  m_BlockCosts.clear();
  m_BlockCostState.clear();
  m_BlockIndex.clear();
  m_nExpanded = 0;
  for (auto& k : m_NotImported) k.clear();
  m_nPaperSpaceElements = 0;
  m_lstRead = std::vector<TDXFEntity>();
  m_bReadInserts = false;
  m_LayerNames.clear();
  m_LayerIds.clear();
  m_nLastLayerId = -1;
  m_nWarnLayer = -1;
  m_PendingWarnings.clear();
  m_NotImportedById.clear();
  m_TextStyles.clear();
  m_TextTally.clear();
  m_BlockTextTally = TTextTally();
  m_FontNotes.clear();
}

void TDXFIn::RequireSection() {
  // A picture, random bytes or an empty file has no "0 / SECTION" pair: it is no drawing,
  // and importing nothing from it would look like success.
  std::string_view line;
  bool bZero = false;
  while (m_pLines->Next(line)) {
    if (bZero && line == "SECTION") {
      m_pLines->Rewind();
      return;
    }
    bZero = line == "0";
  }
  throw EDXFError("The file is not a DXF drawing (it has no SECTION)", 0);
}

bool TDXFIn::DispatchElement(std::string_view name) {
  m_nElementLine = m_pLines->LineNumber();
  m_bPaperSpace = false;
  m_nWarnLayer = -1;
  bool bValueProcessed = false;
  if (name == "LINE") ScanLine();
  else if (name == "ARC") ScanArc(false);
  else if (name == "CIRCLE") ScanArc(true);
  else if (name == "POINT") ScanPoint();
  else if (name == "SPLINE") ScanSpline("SPLINE");
  else if (name == "HELIX") ScanSpline("HELIX");
  else if (name == "ELLIPSE") ScanEllipse();
  else if (name == "LWPOLYLINE") ScanLWPolyLine();
  else if (name == "INSERT") ScanInsert();
  else if (m_bTextAsPaths && (name == "TEXT" || name == "ATTRIB")) ScanText(name == "TEXT" ? "TEXT" : "ATTRIB");
  else if (m_bTextAsPaths && name == "MTEXT") ScanMText();
  else if (name == "POLYLINE") {
    ScanPolyLine(bValueProcessed);
    return !bValueProcessed;  // after SEQEND its own pairs follow
  } else
    return false;  // another element: its pairs follow
  return true;     // readers stop after the next code 0
}

void TDXFIn::ScanBlocks() {
  // Element numbers run on through both scans, so a block's polyline never shares its
  // number (and so its vertices) with a polyline of the drawing.
  std::string_view line;
  bool bName = false;     // the next line is an element name
  bool bInBlock = false;  // reading the pairs of the BLOCK element itself
  TBlock current;
  int nBlockLine = 0;
  bool bHaveBlock = false;
  int32_t nPendingCode = -1;
  while (m_pLines->Next(line)) {
    if (m_pStage) m_pStage->Step(static_cast<double>(m_pLines->Position()));
    if (bName) {
      bName = false;
      bInBlock = false;
      if (line == "ENDSEC") break;
      if (line == "BLOCK") {
        nBlockLine = m_pLines->LineNumber();
        BlockFlag = true;
        current = TBlock();
        current.start_index = static_cast<int32_t>(m_lstBlocks.size());
        bHaveBlock = true;
        bInBlock = true;
        continue;
      }
      if (line == "ENDBLK") {
        if (bHaveBlock) {
          current.end_index = static_cast<int32_t>(m_lstBlocks.size());
          // A name has one definition, the first, as CAD programs keep it; the others
          // and their elements are dropped.
          if (m_BlockIndex.emplace(current.BlockName, m_lstHeadofBlocks.size()).second) {
            m_lstHeadofBlocks.push_back(current);
          } else {
            Warn("BLOCK", "a second definition of block \"" + current.BlockName + "\" (the first is used)",
                 nBlockLine);
            m_lstBlocks.resize(static_cast<size_t>(current.start_index));
          }
        }
        bHaveBlock = false;
        BlockFlag = false;
        continue;
      }
      bName = DispatchElement(line);
      continue;
    }
    if (nPendingCode >= 0) {
      // The value of a pair of the BLOCK element.
      if (bInBlock && bHaveBlock) {
        double f = 0.0;
        if (nPendingCode == 2) current.BlockName = line;
        else if (nPendingCode == 10 && ToDouble(line, f)) current.fBasePoint.fX = f;
        else if (nPendingCode == 20 && ToDouble(line, f)) current.fBasePoint.fY = f;
      }
      nPendingCode = -1;
      continue;
    }
    int32_t nCode = GroupCode(line);
    if (nCode == 0)
      bName = true;
    else
      nPendingCode = nCode;
  }
  BlockFlag = false;
}

void TDXFIn::ScanEntities() {
  std::string_view line;
  bool bName = false;
  bool bSkipValue = false;
  while (m_pLines->Next(line)) {
    if (m_pStage) m_pStage->Step(static_cast<double>(m_pLines->Position()));
    if (bName) {
      bName = false;
      if (line == "ENDSEC") break;
      if (Converted(line)) {
        bName = DispatchElement(line);
        if (m_bPaperSpace && !m_bIncludePaperSpace) ++m_nPaperSpaceElements;
      } else {
        // Text, hatches, dimensions and the like: read for the report, not imported.
        const std::string name(line);
        std::string strLayer = "0";
        bool bPaper = false;
        bName = ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
          if (c == 8) strLayer = v;
          if (c == 67) bPaper = v == "1";
        });
        if (name == "SEQEND" || name == "VERTEX") continue;
        if (bPaper && !m_bIncludePaperSpace) {
          ++m_nPaperSpaceElements;
          continue;
        }
        const int32_t n = m_bDeferLayers ? -1 : ResolveLayer(strLayer);
        if (n < 0 && !m_bDeferLayers) continue;
        auto& kinds = m_bDeferLayers ? m_NotImportedById[static_cast<size_t>(LayerId(strLayer.empty() ? "0" : strLayer))]
                                     : m_NotImported[static_cast<size_t>(n)];
        auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == name; });
        if (it == kinds.end())
          kinds.emplace_back(name, 1);
        else
          ++it->second;
      }
      continue;
    }
    if (bSkipValue) {
      bSkipValue = false;
      continue;
    }
    if (GroupCode(line) == 0)
      bName = true;
    else
      bSkipValue = true;
  }
}

TStringList TDXFIn::ImportReport() const {
  TStringList out;
  if (!m_strTruncation.empty()) out.push_back(m_strTruncation + "; what came before was imported");
  for (std::string& w : WarningSummary()) out.push_back(std::move(w));
  const int32_t nLayers = LayerCount();
  bool bAny = false;
  for (int32_t k = 0; k < nLayers; ++k) {
    const auto& kinds = m_NotImported[static_cast<size_t>(k)];
    if (!kinds.empty()) {
      std::string s = "layer " + LayerName(k) + ":";
      for (size_t i = 0; i < kinds.size(); ++i)
        s += (i ? ", " : " ") + std::to_string(kinds[i].second) + " " + kinds[i].first;
      out.push_back(s + " not imported");
    }
    if (m_lstRecords[static_cast<size_t>(k)].empty() && m_nWrittenRecords[static_cast<size_t>(k)] == 0)
      out.push_back("layer " + LayerName(k) + ": nothing to import");
    else
      bAny = true;
  }
  if (m_bTextAsPaths) {
    for (const auto& [strNote, n] : m_FontNotes)
    {
      std::string s = strNote;
      s += " (";
      s += std::to_string(n);
      s += n == 1 ? " text)" : " texts)";
      out.push_back(s);
    }
    if (m_pFonts &&
        (m_BlockTextTally.nTexts > 0 ||
         std::any_of(m_TextTally.begin(), m_TextTally.end(), [](const auto& t) { return t.second.nTexts > 0; })) &&
        !m_pFonts->Named("standard") && !m_pFonts->Named("unicode")) {
      std::string s = "no single-stroke font found (looked in";
      for (const std::string& f : m_pFonts->Folders()) {
        s += ' ';
        s += f;
      }
      out.push_back(s + "): texts have no glyphs");
    }
    for (int32_t k = 0; k <= nLayers; ++k) {
      const auto it = k == nLayers ? m_TextTally.end() : m_TextTally.find(LayerName(k));
      const TTextTally& t = k == nLayers ? m_BlockTextTally : it != m_TextTally.end() ? it->second : TTextTally();
      std::string strWhere = k == nLayers ? std::string("inside blocks") : std::string("layer ");
      if (k < nLayers) strWhere += LayerName(k);
      // Characters as "'é' (U+00E9)", the first 20 of a list, with how often when more
      // than once.
      auto list = [](const std::map<char32_t, size_t>& chars) {
        std::string s;
        size_t i = 0;
        for (const auto& [c, n] : chars) {
          if (i == 20) {
            s += ", ... (" + std::to_string(chars.size()) + " characters)";
            break;
          }
          s += i++ ? ", " : "";
          s += CharName(c);
          if (n > 1) s += " (" + std::to_string(n) + " times)";
        }
        return s;
      };
      for (const auto& [strFont, chars] : t.Fallbacks) out.push_back(strWhere + ": " + list(chars) + " from " + strFont);
      if (!t.Missing.empty()) {
        std::string s = strWhere + ": no font has";
        size_t i = 0;
        for (const auto& [c, n] : t.Missing) {
          if (i == 20) {
            s += ", ...";
            break;
          }
          s += i++ ? ", " : " ";
          std::string u = "U+";
          static const char* const hex = "0123456789ABCDEF";
          std::string h;
          for (uint32_t v = c; v > 0 || h.size() < 4; v >>= 4) h.insert(h.begin(), hex[v & 15]);
          u += h;
          s += u;
          if (n > 1) {
            s += " (";
            s += std::to_string(n);
            s += " times)";
          }
        }
        out.push_back(s + "; left out");
      }
    }
  }
  if (m_nPaperSpaceElements > 0)
    out.push_back(std::to_string(m_nPaperSpaceElements) + " paper-space element" +
                  (m_nPaperSpaceElements == 1 ? "" : "s") + " not imported");
  if (!bAny) out.push_back("the drawing has nothing to import");
  return out;
}

void TDXFIn::SetTolerances(double fX, double fY) {
  double D = std::sqrt(fX * fX + fY * fY);
  m_fMatchTestLimit = m_bMatchAbsolute ? m_fMatchTestValue : D * m_fMatchTestValue;
  if (m_bMatchDefault)
    m_fMatchTestLimit = std::min(m_fMatchTestLimit, gc_fMaxDefaultMatchMillimetres / OutputMillimetresPerUnit());
  m_fCoincidenceTestLimit = D * gc_fCoincidentRelativeMatch;
}

bool TDXFIn::GetFileName() {
  m_strFileName.clear();
  for (auto& s : m_strSelectedLayer) s.clear();
  std::string strLast = m_pRegistry ? m_pRegistry->LastDXFInFile() : std::string();
  std::string strFolder;
  size_t p = strLast.find_last_of("\\/");
  if (p != std::string::npos && p >= 3) strFolder = strLast.substr(0, p);
  std::string strChosen;
  if (!m_pUI || !m_pUI->ChooseDrawingFile(strFolder, strChosen)) return false;
  std::error_code ec;
  if (strChosen.empty() || !std::filesystem::is_regular_file(FsPath(strChosen), ec)) return false;
  m_strFileName = strChosen;
  if (m_pRegistry) m_pRegistry->SetLastDXFInFile(strChosen);
  return true;
}

void TDXFIn::ReadFile() {
  if (!GetFileName()) return;
  std::string buffer;
  try {
    buffer = ReadWholeFile(m_strFileName);
  } catch (const EFileError& e) {
    throw EDXFError(e.what(), 0);
  }
  ReadBuffer(std::move(buffer));
}

// The layers the ENTITIES section uses, taken from the lines as the element reading goes
// over them: after a line "0" each line is an element name, and an element's pairs run to
// the next group code 0; its layer is the value of its last code 8 ("0" for an element
// that is converted and names none), and elements of paper space do not count unless
// they are imported.
class TDXFIn::TLayerScan : public IDXFLineObserver {
 public:
  TLayerScan(bool bIncludePaperSpace, TStringList& Layers) : m_bInclude(bIncludePaperSpace), m_Layers(Layers) {}
  void Line(std::string_view s) override {
    switch (m_eState) {
      case eWaitZero:
        if (s == "0") m_eState = eName;
        break;
      case eName:
        if (s == "ENDSEC") {
          m_eState = eDone;
          break;
        }
        m_bConverted = IsConvertedElement(s);
        m_strLayer.clear();
        m_bPaper = false;
        m_eState = eCode;
        break;
      case eCode: {
        const int32_t c = GroupCode(s);
        if (c == 0) {
          Finish();
          m_eState = eName;
        } else {
          m_nCode = c;
          m_eState = eValue;
        }
        break;
      }
      case eValue:
        if (m_nCode == 8) m_strLayer = s;
        else if (m_nCode == 67) m_bPaper = s == "1";
        m_eState = eCode;
        break;
      case eDone:
        break;
    }
  }
  bool Done() const { return m_eState == eDone; }
  // The file ended: an element cut short still names its layer.
  void End() {
    if (m_eState == eCode || m_eState == eValue) Finish();
    m_eState = eDone;
  }

 private:
  void Finish() {
    if (m_strLayer.empty() && m_bConverted) m_strLayer = "0";
    if (m_strLayer.empty() || (m_bPaper && !m_bInclude) || m_strLayer == m_strLast) return;
    m_strLast = m_strLayer;
    if (m_Known.insert(m_strLayer).second) m_Layers.push_back(m_strLayer);
  }
  enum { eWaitZero, eName, eCode, eValue, eDone } m_eState = eWaitZero;
  bool m_bInclude;
  TStringList& m_Layers;
  std::unordered_set<std::string> m_Known;
  std::string m_strLayer, m_strLast;
  int32_t m_nCode = 0;
  bool m_bConverted = false, m_bPaper = false;
};

void TDXFIn::ReadSections() {
  // Each section is read at its first "0 / SECTION / 2 / name", as a search from the
  // start of the file finds it; the reading goes on from where the section ends.
  static const std::string_view pattern[3] = {"0", "SECTION", "2"};
  bool bHeader = false, bTables = false, bBlocks = false, bEntities = false;
  int nState = 0;
  std::string_view line;
  while (!(bHeader && bTables && bBlocks && bEntities) && m_pLines->Next(line)) {
    if (line == "ENDSEC") {
      nState = 0;
      continue;
    }
    if (nState < 3) {
      nState = line == pattern[nState] ? nState + 1 : 0;
      continue;
    }
    nState = 0;
    if (!bHeader && line == "HEADER") {
      bHeader = true;
      ReadHeaderVariables();
    } else if (!bTables && line == "TABLES") {
      bTables = true;
      ReadTables();
    } else if (!bBlocks && line == "BLOCKS") {
      bBlocks = true;
      ScanBlocks();
    } else if (!bEntities && line == "ENTITIES") {
      bEntities = true;
      ReadEntities();
    }
  }
}

void TDXFIn::ReadTables() {
  // The first BLOCK_RECORD and the first LAYER table, in whichever order they stand (and
  // the text styles, when texts become paths).
  static const std::string_view pattern[3] = {"0", "TABLE", "2"};
  bool bRecords = false, bLayers = false, bStyles = !m_bTextAsPaths;
  int nState = 0;
  std::string_view line;
  while (!(bRecords && bLayers && bStyles) && m_pLines->Next(line)) {
    if (line == "ENDSEC") return;
    if (nState < 3) {
      nState = line == pattern[nState] ? nState + 1 : 0;
      continue;
    }
    nState = 0;
    if (!bRecords && line == "BLOCK_RECORD") {
      bRecords = true;
      if (ReadBlockRecords()) return;
    } else if (!bLayers && line == "LAYER") {
      bLayers = true;
      if (ScanLayerTable()) return;
    } else if (!bStyles && line == "STYLE") {
      bStyles = true;
      if (ScanStyleTable()) return;
    }
  }
}

void TDXFIn::ReadEntities() {
  TLayerScan scan(m_bIncludePaperSpace, m_EntityLayers);
  m_pLines->SetObserver(&scan);
  struct TDetach {
    TDXFLines* p;
    ~TDetach() { p->SetObserver(nullptr); }
  } detach{m_pLines};
  ScanEntities();
  // The layer list reads on where the element reading stopped, to the section's end.
  std::string_view line;
  while (!scan.Done() && m_pLines->Next(line)) {
  }
  scan.End();
}

void TDXFIn::ReadBuffer(std::string strBuffer) {
  TDXFLines lines(std::move(strBuffer));
  m_pLines = &lines;
  struct TReset {
    TDXFIn* p;
    ~TReset() {
      p->m_pLines = nullptr;
      p->m_bDeferLayers = false;
    }
  } reset{this};
  b_nolayer = false;
  m_Warnings.clear();
  RequireSection();
  m_strTruncation = lines.Truncation();
  m_nDrawingUnits = 0;
  m_strAcadVer.clear();
  m_strCodePage.clear();
  m_BlockUnits.clear();
  m_DrawingLayers.clear();
  m_EntityLayers.clear();
  EmptyLists();
  m_nEntity = 0;
  // One pass over the drawing reads its units, layers, blocks and elements; the elements
  // of every layer are kept until the layers are chosen. A sheet spends some 65 bytes
  // of the file on an element.
  m_bDeferLayers = true;
  m_lstRead.reserve(lines.Size() / 64 + 16);
  if (m_bTextAsPaths && !m_pFonts) m_pFonts = std::make_shared<TFontLibrary>(m_strFontFolder);
  std::exception_ptr failure;
  try {
    ReadSections();
  } catch (const EDXFError&) {
    failure = std::current_exception();
  }
  m_bDeferLayers = false;
  if (failure) {
    // The reading stopped at an element that makes the drawing fail once layers are
    // chosen; the units and the layer list still come from the whole drawing.
    lines.Rewind();
    ScanUnits();
    m_DrawingLayers.clear();
    if (FindSection("TABLES") && FindTable("LAYER")) ScanLayerTable();
    lines.Rewind();
    if (FindSection("ENTITIES")) ScanEntitiesForLayers();
  } else {
    // The LAYER table's names first, then those only elements use.
    const std::unordered_set<std::string> table(m_DrawingLayers.begin(), m_DrawingLayers.end());
    for (std::string& l : m_EntityLayers)
      if (!table.count(l)) m_DrawingLayers.push_back(std::move(l));
  }
  m_EntityLayers.clear();
  if (m_pUI) m_pUI->DrawingEncoding(TextEncoding());
  if (m_DrawingLayers.empty()) {
    b_nolayer = true;
    m_strCurrentLayer = "0";
    n_strSelectedNumber = 0;
  } else {
    SelectLayer();
  }
  if (n_strSelectedNumber > 0 || b_nolayer) {
    if (failure) std::rethrow_exception(failure);
    m_pProgress = m_pUI ? m_pUI->Progress() : nullptr;
    TProgressStage stage(m_pProgress, "Reading the drawing", 0.0, c_fReadShare, static_cast<double>(m_lstRead.size()));
    m_pStage = &stage;
    struct TEndStage {
      TDXFIn* p;
      ~TEndStage() { p->m_pStage = nullptr; }
    } endStage{this};
    PlaceRecords();
    stage.Done();
  } else {
    EmptyLists();  // cancelled: nothing is imported
  }
  ConvertUnits();
  double fXSpan = 0.0, fYSpan = 0.0;
  FinishRecords(fXSpan, fYSpan);
  SetTolerances(fXSpan, fYSpan);
}

void TDXFIn::PlaceRecords() {
  // Per layer read, the chosen layer it goes to (the last one of that name), or -1.
  const size_t nIds = m_LayerNames.size();
  std::vector<int32_t> slot(nIds, -1);
  for (size_t id = 0; id < nIds; ++id) {
    if (b_nolayer) slot[id] = 0;
    else
      for (int32_t i = 0; i < n_strSelectedNumber; ++i)
        if (m_strSelectedLayer[static_cast<size_t>(i)] == m_LayerNames[id]) slot[id] = i;
  }
  for (size_t id = 0; id < nIds; ++id) {
    if (slot[id] < 0) continue;
    auto& kinds = m_NotImported[static_cast<size_t>(slot[id])];
    for (auto& k : m_NotImportedById[id]) {
      auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto& e) { return e.first == k.first; });
      if (it == kinds.end()) kinds.push_back(std::move(k));
      else it->second += k.second;
    }
  }
  size_t nWarning = 0;
  auto warnUpTo = [&](size_t nPos) {
    for (; nWarning < m_PendingWarnings.size() && m_PendingWarnings[nWarning].nBefore <= nPos; ++nWarning) {
      TPendingWarning& w = m_PendingWarnings[nWarning];
      if (w.nLayerId < 0 || slot[static_cast<size_t>(w.nLayerId)] >= 0) m_Warnings.push_back(std::move(w.Warning));
    }
  };
  // Without insertions the first layer's records stay where they were read.
  const bool bInPlace = !m_bReadInserts;
  size_t nKept = 0;
  for (size_t i = 0; i < m_lstRead.size(); ++i) {
    warnUpTo(i);
    if (m_pStage) m_pStage->Step(static_cast<double>(i));
    TDXFEntity& r = m_lstRead[i];
    const int32_t s = slot[static_cast<size_t>(r.nLayer)];
    if (s < 0) continue;
    if (r.EntityType == eDXFET_InsertRef) {
      ExpandInsert(m_lstInserts[static_cast<size_t>(r.nInsert)], s);
      continue;
    }
    r.nLayer = s;
    if (bInPlace && s == 0) {
      if (nKept != i) m_lstRead[nKept] = r;
      ++nKept;
    } else
      m_lstRecords[static_cast<size_t>(s)].push_back(r);
  }
  warnUpTo(static_cast<size_t>(-1));
  m_PendingWarnings.clear();
  if (bInPlace) {
    m_lstRead.resize(nKept);
    m_lstRecords[0] = std::move(m_lstRead);
  }
  m_lstRead = std::vector<TDXFEntity>();
}

double TDXFIn::ArcLength(const TDXFEntity& r) {
  double fSweep = r.Direction == eAnticlockwise ? r.fEndAngle - r.fStartAngle : r.fStartAngle - r.fEndAngle;
  fSweep = std::fmod(fSweep, 360.0);
  if (fSweep < 0) fSweep += 360.0;
  if (fSweep == 0.0) fSweep = 360.0;  // an arc whose end equals its start is a full circle
  return std::fabs(r.fRadius) * fSweep * std::numbers::pi / 180.0;
}

void TDXFIn::FinishRecords(double& fXSpan, double& fYSpan) {
  // Values that read well can still be absurd (1e308) or overflow in the geometry (a
  // radius from a bulge between two far-apart vertices); such a record is left out with
  // a warning, never written as "inf" or as a number of hundreds of digits.
  auto ok = [](const TfPoint& p) {
    return std::fabs(p.fX) <= c_fMaxCoordinate && std::fabs(p.fY) <= c_fMaxCoordinate;
  };
  static const char* const names[] = {"", "LINE", "ARC", "POLYLINE", "CIRCLE", "SPLINE", "POINT"};
  const double fRad = std::numbers::pi / 180.0;
  // The drawing's own extents, from the starts of what is kept: a plate drawn far from the
  // origin has the span of the plate, not of the distance to the origin.
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool bFirst = true;
  // One pass: what a step needs of a record is at hand while it is read.
  for (auto& list : m_lstRecords) {
    size_t w = 0;
    for (size_t i = 0; i < list.size(); ++i) {
      TDXFEntity& r = list[i];
      if (r.EntityType == eDXFET_Arc || r.EntityType == eDXFET_Circle) {
        r.fStartPoint = TfPoint{r.fCentrePoint.fX + r.fRadius * std::cos(r.fStartAngle * fRad),
                                r.fCentrePoint.fY + r.fRadius * std::sin(r.fStartAngle * fRad)};
        r.fEndPoint = TfPoint{r.fCentrePoint.fX + r.fRadius * std::cos(r.fEndAngle * fRad),
                              r.fCentrePoint.fY + r.fRadius * std::sin(r.fEndAngle * fRad)};
      }
      bool bOk = ok(r.fStartPoint) && ok(r.fEndPoint) && ok(r.fCentrePoint) && std::fabs(r.fRadius) <= c_fMaxCoordinate;
      for (int32_t k = 0; bOk && k < r.nVertexCount; ++k)
        bOk = ok(m_lstVertices[static_cast<size_t>(r.nFirstVertex + k)].fPoint) &&
              std::isfinite(m_lstVertices[static_cast<size_t>(r.nFirstVertex + k)].fBulge);
      const char* strName = r.EntityType >= 1 && r.EntityType <= 6 ? names[r.EntityType] : "element";
      if (!bOk) {
        Warn(strName, "coordinates beyond 1e10 drawing units", r.nLine);
      } else if (r.EntityType == eDXFET_Arc && ArcLength(r) < c_fMinSagitta) {
        // Its ends meet in the program's numbers: it would be a pierce that cuts nothing.
        Warn(strName, "too small to write", r.nLine);
      } else {
        const TfPoint& p = r.fStartPoint;
        if (bFirst) {
          minX = maxX = p.fX;
          minY = maxY = p.fY;
          bFirst = false;
        }
        minX = std::min(minX, p.fX);
        maxX = std::max(maxX, p.fX);
        minY = std::min(minY, p.fY);
        maxY = std::max(maxY, p.fY);
        if (w != i) list[w] = r;
        ++w;
      }
    }
    list.resize(w);
  }
  // A drawing that contains the origin keeps the span it always had.
  if (minX <= 0 && maxX >= 0 && minY <= 0 && maxY >= 0) {
    minX = std::min(minX, 0.0), maxX = std::max(maxX, 0.0);
    minY = std::min(minY, 0.0), maxY = std::max(maxY, 0.0);
  }
  fXSpan = maxX - minX;
  fYSpan = maxY - minY;
}

TStringList TDXFIn::ReadLayers(std::string strBuffer) {
  TDXFLines lines(std::move(strBuffer));
  m_pLines = &lines;
  struct TReset {
    TDXFIn* p;
    ~TReset() { p->m_pLines = nullptr; }
  } reset{this};
  RequireSection();
  ScanUnits();
  m_DrawingLayers.clear();
  if (FindSection("TABLES") && FindTable("LAYER")) ScanLayerTable();
  lines.Rewind();
  if (FindSection("ENTITIES")) ScanEntitiesForLayers();
  return m_DrawingLayers;
}

}  // namespace veltrane
