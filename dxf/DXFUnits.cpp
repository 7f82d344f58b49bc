// Drawing units: the header's $INSUNITS and the units of each block, the scaling of
// blocks drawn in other units, the optional conversion of the whole drawing to
// millimetres or inches, and the matching tolerance's default in those units.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "dxf/DXFIn.h"
#include "dxf/DXFPairs.h"

namespace veltrane {

namespace {

struct TUnit {
  const char* strName;
  double fMillimetres;  // millimetres per unit
};

// $INSUNITS codes 0 to 20; 0 is "no units".
constexpr TUnit c_Units[] = {
    {"no units", 0.0},        {"inches", 25.4},        {"feet", 304.8},
    {"miles", 1609344.0},     {"millimetres", 1.0},    {"centimetres", 10.0},
    {"metres", 1000.0},       {"kilometres", 1e6},     {"microinches", 25.4e-6},
    {"mils", 0.0254},         {"yards", 914.4},        {"angstroms", 1e-7},
    {"nanometres", 1e-6},     {"microns", 1e-3},       {"decimetres", 100.0},
    {"decametres", 1e4},      {"hectometres", 1e5},    {"gigametres", 1e12},
    {"astronomical units", 1.495978707e14}, {"light years", 9.4607304725808e18},
    {"parsecs", 3.0856775814913673e19},
};

}  // namespace

double TDXFIn::MillimetresPerUnit(int32_t nUnits) {
  return nUnits > 0 && nUnits < static_cast<int32_t>(std::size(c_Units)) ? c_Units[nUnits].fMillimetres : 0.0;
}

std::string TDXFIn::UnitName(int32_t nUnits) {
  return nUnits > 0 && nUnits < static_cast<int32_t>(std::size(c_Units)) ? c_Units[nUnits].strName : "no units";
}

void TDXFIn::ScanUnits() {
  m_nDrawingUnits = 0;
  m_strAcadVer.clear();
  m_strCodePage.clear();
  m_BlockUnits.clear();
  if (FindSection("HEADER")) ReadHeaderVariables();
  m_pLines->Rewind();
  if (FindSection("TABLES") && FindTable("BLOCK_RECORD")) ReadBlockRecords();
  m_pLines->Rewind();
}

void TDXFIn::ReadHeaderVariables() {
  // "9 / $INSUNITS" names the variable; its value is the next pair's (code 70).
  // $ACADVER (code 1) and $DWGCODEPAGE (code 3) tell how the drawing's texts are encoded.
  std::string_view line;
  std::string strVariable;
  bool bName = false;
  while (m_pLines->Next(line)) {
    if (line == "ENDSEC") break;
    if (bName) {
      bName = false;
      strVariable = std::string(line);
      continue;
    }
    const int32_t c = GroupCode(line);
    std::string_view v;
    if (c == 9) {
      bName = true;
      continue;
    }
    if (!m_pLines->Next(v)) break;
    // The section's closing pair ends it (variables are named by code 9, which no
    // other section uses).
    if (c == 0 && v == "ENDSEC") break;
    if (strVariable == "$INSUNITS" && c == 70) {
      int32_t n = 0;
      if (TryStrToInt(v, n) && MillimetresPerUnit(n) > 0) m_nDrawingUnits = n;
    } else if (strVariable == "$ACADVER" && c == 1) {
      m_strAcadVer = std::string(v);
    } else if (strVariable == "$DWGCODEPAGE" && c == 3) {
      m_strCodePage = std::string(v);
    }
    strVariable.clear();
  }
}

bool TDXFIn::ReadBlockRecords() {
  // Each BLOCK_RECORD: its name (code 2) and its insertion units (code 70).
  std::string_view line;
  std::string strName;
  int32_t nUnits = 0;
  auto flush = [&] {
    if (!strName.empty() && nUnits > 0) m_BlockUnits.emplace(strName, nUnits);
    strName.clear();
    nUnits = 0;
  };
  while (m_pLines->Next(line)) {
    const int32_t c = GroupCode(line);
    std::string_view v;
    if (!m_pLines->Next(v)) break;
    if (c == 0) {
      flush();
      if (v == "ENDTAB") return false;
      if (v == "ENDSEC") return true;
    } else if (c == 2) {
      strName = v;
    } else if (c == 70) {
      int32_t n = 0;
      if (TryStrToInt(v, n) && MillimetresPerUnit(n) > 0) nUnits = n;
    }
  }
  return false;
}

double TDXFIn::BlockUnitScale(const std::string& strBlock, const std::string& strContainer) const {
  // A block drawn in other units than what it is inserted into is scaled by their ratio,
  // as CAD programs show it; unknown units on either side leave it as it is.
  auto units = [&](const std::string& name) {
    if (name.empty()) return m_nDrawingUnits;
    const auto it = m_BlockUnits.find(name);
    return it == m_BlockUnits.end() ? 0 : it->second;
  };
  const double fInner = MillimetresPerUnit(units(strBlock)), fOuter = MillimetresPerUnit(units(strContainer));
  return fInner > 0 && fOuter > 0 ? fInner / fOuter : 1.0;
}

double TDXFIn::ConversionFactor() const {
  const double f = MillimetresPerUnit(m_nDrawingUnits);
  if (f <= 0) return 1.0;  // a drawing without units is taken as it is
  switch (m_evConvertUnits) {
    case EDXFConvertUnits::eMillimetres: return f;
    case EDXFConvertUnits::eInches: return f / 25.4;
    case EDXFConvertUnits::eDrawing: break;
  }
  return 1.0;
}

double TDXFIn::OutputMillimetresPerUnit() const {
  switch (m_evConvertUnits) {
    case EDXFConvertUnits::eMillimetres: return 1.0;
    case EDXFConvertUnits::eInches: return 25.4;
    case EDXFConvertUnits::eDrawing: break;
  }
  const double f = MillimetresPerUnit(m_nDrawingUnits);
  return f > 0 ? f : 1.0;  // no units: taken as millimetres
}

void TDXFIn::ConvertUnits() {
  const double k = ConversionFactor();
  if (k == 1.0) return;
  auto scale = [k](TfPoint& p) {
    p.fX *= k;
    p.fY *= k;
  };
  for (auto& list : m_lstRecords)
    for (TDXFEntity& r : list) {
      scale(r.fStartPoint);
      scale(r.fEndPoint);
      scale(r.fCentrePoint);
      r.fRadius *= k;
    }
  for (TDXFVertex& v : m_lstVertices) scale(v.fPoint);
}

TStringList TDXFIn::ImportFacts() const {
  TStringList out;
  std::string s = m_nDrawingUnits > 0 ? "drawing units: " + UnitName(m_nDrawingUnits)
                                      : std::string("the drawing has no units; its numbers are taken as they are");
  if (m_nDrawingUnits > 0 && m_evConvertUnits != EDXFConvertUnits::eDrawing)
    s += std::string(", converted to ") + (m_evConvertUnits == EDXFConvertUnits::eInches ? "inches" : "millimetres");
  out.push_back(s);
  // Small distances keep three significant digits rather than rounding to 0.
  auto distance = [](double f) {
    if (f >= 1e-4 || f == 0.0) return StringFromDouble(f);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, 3);
    return std::string(buf, r.ptr);
  };
  s = "matching tolerance " + distance(m_fMatchTestLimit);
  s += m_fLargestGap > 0 ? ", largest gap closed " + distance(m_fLargestGap) : ", no gaps closed";
  out.push_back(s);
  if (m_bCutInnerFirst) {
    s = "cut order: inner paths first, " + std::to_string(m_InnerFirst.nInside) +
        (m_InnerFirst.nInside == 1 ? " path" : " paths") + " inside others";
    if (m_InnerFirst.nTouching > 0)
      s += "; " + std::to_string(m_InnerFirst.nTouching) +
           (m_InnerFirst.nTouching == 1 ? " pair touches or crosses" : " pairs touch or cross") +
           " and is not taken as inside";
    out.push_back(s);
  }
  if (m_bTextAsPaths)
    for (int32_t i = 0; i <= LayerCount(); ++i) {
      const auto it = i == LayerCount() ? m_TextTally.end() : m_TextTally.find(LayerName(i));
      const TTextTally& t = i == LayerCount() ? m_BlockTextTally : it != m_TextTally.end() ? it->second : TTextTally();
      if (t.nTexts == 0) continue;
      std::string strFacts = i == LayerCount() ? std::string("inside blocks") : std::string("layer ");
      if (i < LayerCount()) strFacts += LayerName(i);
      strFacts += ": ";
      strFacts += std::to_string(t.nTexts);
      strFacts += t.nTexts == 1 ? " text as paths" : " texts as paths";
      if (!t.Fonts.empty()) {
        strFacts += ", font";
        strFacts += t.Fonts.size() == 1 ? " " : "s ";
        bool bFirst = true;
        for (const std::string& f : t.Fonts) {
          if (!bFirst) strFacts += ", ";
          strFacts += f;
          bFirst = false;
        }
      }
      out.push_back(strFacts);
    }
  if (m_bRemoveDuplicates)
    for (int32_t i = 0; i < LayerCount(); ++i) {
      const size_t n = m_nDuplicates[static_cast<size_t>(i)];
      if (n > 0)
        out.push_back("layer " + LayerName(i) + ": " + std::to_string(n) +
                      (n == 1 ? " duplicate element" : " duplicate elements") + " removed");
    }
  if (m_bOptimiseTravel)
    out.push_back("travel between paths: " + StringFromDouble(m_fTravelBefore) + " in the first order, " +
                  StringFromDouble(m_fTravelAfter) + " optimised");
  return out;
}

}  // namespace veltrane
