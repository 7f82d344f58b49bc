// Reading LFF fonts and finding a style's font. An LFF glyph is "[hex] c", then one
// line per stroke ("x,y;x,y,Abulge;...", the bulge belonging to the segment that ends at
// its vertex) or "Chex" to include another glyph's strokes.
#include "dxf/DXFStrokeFont.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "model/FilePath.h"
#include "model/NumberFormat.h"
#include "model/Text.h"
#include "model/TextFile.h"

namespace veltrane {

namespace {

// A glyph may include another that includes a third; deeper chains are cycles.
constexpr int c_nMaxGlyphIncludes = 8;

bool HexValue(std::string_view s, char32_t& c) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t n = 0;
  for (char ch : s) {
    int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
    if (d < 0) return false;
    n = n * 16 + static_cast<uint32_t>(d);
  }
  c = n;
  return true;
}

// The largest X a stroke reaches, its arcs' bulges included.
double StrokeRight(const std::vector<TDXFVertex>& s) {
  double r = -1e300;
  for (size_t i = 0; i < s.size(); ++i) {
    r = std::max(r, s[i].fPoint.fX);
    if (i + 1 < s.size() && s[i].fBulge != 0.0) {
      const TfPoint A = s[i].fPoint, B = s[i + 1].fPoint;
      const double theta = 4 * std::atan(s[i].fBulge);
      const double L = std::hypot(B.fX - A.fX, B.fY - A.fY);
      if (L == 0.0) continue;
      const double R = std::fabs(L / 2 / std::sin(theta / 2));
      const double g = std::atan2(B.fY - A.fY, B.fX - A.fX);
      const double d = theta >= 0 ? g + (std::numbers::pi - theta) / 2 : g - (std::numbers::pi + theta) / 2;
      const double cx = A.fX + R * std::cos(d), cy = A.fY + R * std::sin(d);
      // The arc reaches cx + R when it passes the direction 0 from its centre.
      const double a0 = std::atan2(A.fY - cy, A.fX - cx);
      const double turn = 2 * std::numbers::pi;
      double toZero = theta >= 0 ? std::fmod(turn - a0, turn) : std::fmod(a0 + turn, turn);
      if (toZero < 0) toZero += turn;
      if (toZero <= std::fabs(theta)) r = std::max(r, cx + R);
    }
  }
  return r;
}

}  // namespace

bool TStrokeFont::Load(const std::string& strPath) {
  std::string text;
  try {
    text = ReadWholeFile(strPath);
  } catch (const std::exception&) {
    return false;
  }
  std::filesystem::path p = FsPath(strPath);
  strName = LowerCase(Utf8Name(p.stem()));
  return Parse(text);
}

bool TStrokeFont::Parse(const std::string& strText) {
  m_Glyphs.clear();
  std::unordered_map<char32_t, std::vector<char32_t>> includes;
  TStrokeGlyph* pGlyph = nullptr;
  char32_t cCurrent = 0;
  size_t nPos = 0;
  while (nPos <= strText.size()) {
    size_t nEnd = strText.find('\n', nPos);
    if (nEnd == std::string::npos) nEnd = strText.size();
    std::string_view line = TrimView(std::string_view(strText).substr(nPos, nEnd - nPos));
    nPos = nEnd + 1;
    if (line.empty()) continue;
    if (line[0] == '#') {
      // "# LetterSpacing: 3" and the like.
      const size_t c = line.find(':');
      if (c == std::string_view::npos) continue;
      const std::string_view key = TrimView(line.substr(1, c - 1)), value = TrimView(line.substr(c + 1));
      double f = 0.0;
      if (!TryStrToFloat(value, f) || !std::isfinite(f)) continue;
      if (key == "LetterSpacing") m_fLetterSpacing = f;
      else if (key == "WordSpacing") m_fWordSpacing = f;
      else if (key == "LineSpacingFactor" && f > 0) m_fLineSpacingFactor = f;
      continue;
    }
    if (line[0] == '[') {
      const size_t close = line.find(']');
      std::string_view hex = line.substr(1, close == std::string_view::npos ? 0 : close - 1);
      if (!hex.empty() && hex[0] == '#') hex.remove_prefix(1);
      pGlyph = nullptr;
      if (HexValue(hex, cCurrent)) pGlyph = &m_Glyphs[cCurrent];
      continue;
    }
    if (!pGlyph) continue;
    if (line[0] == 'C') {
      char32_t c = 0;
      if (HexValue(line.substr(1), c)) includes[cCurrent].push_back(c);
      continue;
    }
    std::vector<TDXFVertex> stroke;
    size_t v = 0;
    bool bBad = false;
    while (v <= line.size() && !bBad) {
      size_t e = line.find(';', v);
      if (e == std::string_view::npos) e = line.size();
      std::string_view item = line.substr(v, e - v);
      v = e + 1;
      if (TrimView(item).empty()) continue;
      double xy[2] = {0, 0}, bulge = 0.0;
      int n = 0;
      size_t f = 0;
      while (f <= item.size()) {
        size_t g = item.find(',', f);
        if (g == std::string_view::npos) g = item.size();
        std::string_view field = TrimView(item.substr(f, g - f));
        f = g + 1;
        if (!field.empty() && field[0] == 'A') {
          if (!TryStrToFloat(field.substr(1), bulge)) bBad = true;
        } else if (n < 2) {
          if (!TryStrToFloat(field, xy[n++])) bBad = true;
        }
      }
      if (n < 2) bBad = true;
      if (bBad) break;
      if (bulge != 0.0 && !stroke.empty()) stroke.back().fBulge = bulge;
      stroke.push_back(TDXFVertex{TfPoint{xy[0], xy[1], 0.0}, 0.0, 0});
    }
    if (!bBad && stroke.size() >= 2) pGlyph->Strokes.push_back(std::move(stroke));
  }
  // Included glyphs' strokes, followed as far as c_nMaxGlyphIncludes steps.
  for (auto& [c, list] : includes) {
    std::vector<char32_t> todo = list;
    for (int depth = 0; depth < c_nMaxGlyphIncludes && !todo.empty(); ++depth) {
      std::vector<char32_t> next;
      for (char32_t d : todo) {
        if (d == c) continue;
        const auto it = m_Glyphs.find(d);
        if (it != m_Glyphs.end()) {
          const auto strokes = it->second.Strokes;
          auto& own = m_Glyphs[c].Strokes;
          own.insert(own.end(), strokes.begin(), strokes.end());
        }
        const auto inc = includes.find(d);
        if (inc != includes.end()) next.insert(next.end(), inc->second.begin(), inc->second.end());
      }
      todo = std::move(next);
    }
  }
  for (auto& [c, g] : m_Glyphs) {
    g.fRight = 0.0;
    for (const auto& s : g.Strokes) g.fRight = std::max(g.fRight, StrokeRight(s));
  }
  return !m_Glyphs.empty();
}

const TStrokeGlyph* TStrokeFont::Glyph(char32_t c) const {
  const auto it = m_Glyphs.find(c);
  return it == m_Glyphs.end() ? nullptr : &it->second;
}

TFontLibrary::TFontLibrary(const std::string& strUserFolder) {
  if (!TrimView(strUserFolder).empty()) m_Folders.push_back(strUserFolder);
#ifdef _WIN32
  m_Folders.push_back("C:\\Program Files\\LibreCAD\\resources\\fonts");
#else
  m_Folders.push_back("/usr/share/librecad/fonts");
  m_Folders.push_back("/usr/local/share/librecad/fonts");
#endif
}

bool TFontLibrary::IsTrueTypeName(const std::string& strStyleFont) {
  const std::string s = LowerCase(TrimView(strStyleFont));
  for (const char* ext : {".ttf", ".ttc", ".otf"})
    if (s.size() > 4 && s.compare(s.size() - 4, 4, ext) == 0) return true;
  return false;
}

std::string TFontLibrary::StrokeFontName(const std::string& strStyleFont) {
  std::string s = LowerCase(TrimView(strStyleFont));
  const size_t slash = s.find_last_of("\\/");
  if (slash != std::string::npos) s = s.substr(slash + 1);
  const size_t dot = s.rfind('.');
  if (dot != std::string::npos && dot > 0) s = s.substr(0, dot);
  // SHX fonts and their single-stroke counterparts among LibreCAD's fonts.
  static const std::pair<const char*, const char*> aliases[] = {
      {"", "standard"},          {"txt", "standard"},       {"monotxt", "standard"},  {"isocp", "iso"},
      {"isocp2", "iso"},         {"isocp3", "iso"},         {"isoct", "iso"},         {"isoct2", "iso"},
      {"isoct3", "iso"},         {"isocpeur", "iso"},       {"isocteur", "iso"},      {"iso3098b", "iso3098"},
      {"complex", "romanc"},     {"italic", "italicc"},     {"gothice", "gothgbt"},   {"gothicg", "gothgrt"},
      {"gothici", "gothitt"},    {"cyrillic", "cyrillic_ii"}, {"cyriltlc", "cyrillic_ii"},
      {"gbcbig", "unicode"},     {"hztxt", "unicode"},      {"chineset", "unicode"},  {"bigfont", "unicode"},
      {"romans", "romans"},      {"simplex", "simplex"}};
  for (const auto& [from, to] : aliases)
    if (s == from) return to;
  return s;
}

std::string TFontLibrary::FindFile(const std::string& strName) const {
  for (const std::string& folder : m_Folders) {
    std::error_code ec;
    const std::filesystem::path p = FsPath(folder) / FsPath(strName + ".lff");
    if (std::filesystem::is_regular_file(p, ec)) return Utf8Name(p);
  }
  return std::string();
}

const TStrokeFont* TFontLibrary::Named(const std::string& strName) {
  const auto it = m_Loaded.find(strName);
  if (it != m_Loaded.end()) return it->second.get();
  std::unique_ptr<TStrokeFont> font;
  const std::string strFile = FindFile(strName);
  if (!strFile.empty()) {
    font = std::make_unique<TStrokeFont>();
    if (!font->Load(strFile)) font.reset();
    else font->strName = strName;
  }
  const TStrokeFont* p = font.get();
  m_Loaded.emplace(strName, std::move(font));
  return p;
}

const TStrokeFont* TFontLibrary::FontFor(const std::string& strStyleFont, std::string& strNote) {
  strNote.clear();
  const std::string strWanted = StrokeFontName(strStyleFont);
  const bool bTrueType = IsTrueTypeName(strStyleFont);
  const std::string strShown = TrimView(strStyleFont).empty() ? std::string("(none)") : Trim(strStyleFont);
  if (!bTrueType)
    if (const TStrokeFont* p = Named(strWanted)) return p;
  // The chain: standard, then unicode, then any installed font.
  for (const char* strName : {"standard", "unicode"})
    if (const TStrokeFont* p = Named(strName)) {
      strNote = bTrueType ? "TrueType font \"" : "font \"";
      strNote += strShown;
      strNote += bTrueType ? "\" drawn with the single-stroke font \"" : "\" not found, drawn with \"";
      strNote += p->strName;
      strNote += bTrueType ? "\" (this build draws no TrueType outlines)" : "\"";
      return p;
    }
  return nullptr;
}

const TStrokeGlyph* TFontLibrary::Glyph(const TStrokeFont* pFont, char32_t c, const TStrokeFont*& pUsed) {
  pUsed = pFont;
  if (pFont)
    if (const TStrokeGlyph* g = pFont->Glyph(c)) return g;
  const auto cached = m_FallbackCache.find(c);
  if (cached != m_FallbackCache.end()) {
    pUsed = cached->second;
    return pUsed ? pUsed->Glyph(c) : nullptr;
  }
  if (!m_bAllListed) {
    m_bAllListed = true;
    for (const std::string& folder : m_Folders) {
      std::error_code ec;
      for (std::filesystem::directory_iterator it(FsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        if (LowerCase(Utf8Name(p.extension())) == ".lff") m_AllNames.push_back(LowerCase(Utf8Name(p.stem())));
      }
    }
    std::sort(m_AllNames.begin(), m_AllNames.end());
    m_AllNames.erase(std::unique(m_AllNames.begin(), m_AllNames.end()), m_AllNames.end());
    // The font made to cover most characters is asked first.
    const auto u = std::find(m_AllNames.begin(), m_AllNames.end(), "unicode");
    if (u != m_AllNames.end()) std::rotate(m_AllNames.begin(), u, u + 1);
  }
  for (const std::string& name : m_AllNames) {
    const TStrokeFont* p = Named(name);
    if (p && p != pFont)
      if (const TStrokeGlyph* g = p->Glyph(c)) {
        m_FallbackCache.emplace(c, p);
        pUsed = p;
        return g;
      }
  }
  m_FallbackCache.emplace(c, nullptr);
  pUsed = nullptr;
  return nullptr;
}

}  // namespace veltrane
