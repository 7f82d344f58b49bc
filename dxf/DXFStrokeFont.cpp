// Reading LFF fonts and finding a style's font. An LFF glyph is "[hex] c", then one
// line per stroke ("x,y;x,y,Abulge;...", the bulge belonging to the segment that ends at
// its vertex) or "Chex" to include another glyph's strokes.
#include "dxf/DXFStrokeFont.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "geometry/PointMath.h"
#include "model/FilePath.h"
#include "model/NumberFormat.h"
#include "model/Text.h"
#include "model/TextFile.h"

namespace veltrane {

namespace {

using pointmath::Mid;

// A glyph may include another that includes a third; deeper chains are cycles.
constexpr int c_nMaxGlyphIncludes = 8;
// Curved pieces of outlines are drawn by short moves that keep within this distance of
// the curve, in font units (a 9-unit capital letter: about two thousandths of its height).
constexpr double c_fOutlineFlatness = 0.02;
// Nor does one curved piece take more moves than this, nor one glyph (the most intricate
// Chinese glyphs take a few thousand).
constexpr int c_nMaxMovesPerPiece = 64;
constexpr size_t c_nMaxGlyphMoves = 50000;

// A TrueType contour (points on the curve and control points between them, two control
// points in a row meeting at their middle) as quadratic pieces from its start back to it.
std::vector<TfPoint> QuadraticPieces(const std::vector<TOutlinePoint>& c, double k) {
  const size_t n = c.size();
  auto at = [&](size_t i) { return TfPoint{c[i % n].fX * k, c[i % n].fY * k}; };
  size_t s = 0;
  while (s < n && !c[s].bOn) ++s;
  // The points after the start, ending with the start itself; a contour of control
  // points alone starts between its last and first.
  std::vector<std::pair<TfPoint, bool>> seq;
  TfPoint start;
  if (s < n) {
    start = at(s);
    for (size_t i = s + 1; i <= s + n; ++i) seq.emplace_back(at(i), c[i % n].bOn);
  } else {
    start = Mid(at(n - 1), at(0));
    for (size_t i = 0; i < n; ++i) seq.emplace_back(at(i), false);
    seq.emplace_back(start, true);
  }
  std::vector<TfPoint> q{start};
  bool bControl = false;
  TfPoint ctrl;
  for (const auto& [p, bOn] : seq) {
    if (bOn) {
      q.push_back(bControl ? ctrl : Mid(q.back(), p));
      q.push_back(p);
      bControl = false;
    } else {
      if (bControl) {
        q.push_back(ctrl);
        q.push_back(Mid(ctrl, p));
      }
      ctrl = p, bControl = true;
    }
  }
  return q;
}

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
      stroke.push_back(TDXFVertex{TfPoint{xy[0], xy[1]}, 0.0, 0});
    }
    if (!bBad && stroke.size() >= 2) pGlyph->Strokes.push_back(std::move(stroke));
  }
  // Included glyphs' strokes, followed as far as c_nMaxGlyphIncludes steps; each glyph
  // is included once however often it is named (a font naming one glyph many times over
  // at every step would otherwise grow without bound).
  const auto own = m_Glyphs;  // each glyph's strokes before any inclusion
  for (auto& [c, list] : includes) {
    std::vector<char32_t> todo = list;
    std::unordered_set<char32_t> seen{c};
    for (int depth = 0; depth < c_nMaxGlyphIncludes && !todo.empty(); ++depth) {
      std::vector<char32_t> next;
      for (char32_t d : todo) {
        if (!seen.insert(d).second) continue;
        const auto it = own.find(d);
        if (it != own.end()) {
          auto& strokes = m_Glyphs[c].Strokes;
          strokes.insert(strokes.end(), it->second.Strokes.begin(), it->second.Strokes.end());
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

bool TStrokeFont::LoadOutline(const std::string& strPath, uint32_t nFace) {
  auto face = std::make_shared<TTrueTypeFace>();
  if (!face->Load(strPath, nFace)) return false;
  UseFace(std::move(face));
  strName = LowerCase(Utf8Name(FsPath(strPath).stem()));
  return true;
}

bool TStrokeFont::ParseOutline(std::string strData, uint32_t nFace) {
  auto face = std::make_shared<TTrueTypeFace>();
  if (!face->Parse(std::move(strData), nFace)) return false;
  UseFace(std::move(face));
  return true;
}

void TStrokeFont::UseFace(std::shared_ptr<TTrueTypeFace> face) {
  m_Glyphs.clear();
  m_Missing.clear();
  // Scaled so that the capital X stands as high as a single-stroke font's capital, its
  // height taken from the baseline of the small x to the top of the capital's outline
  // points; a font without them is taken as 0.7 of its em high.
  const double em = face->UnitsPerEm();
  std::vector<std::vector<TOutlinePoint>> c;
  auto extreme = [&](char32_t ch, bool bTop, double fElse) {
    const uint32_t g = face->GlyphIndex(ch);
    if (!g || !face->Contours(g, c) || c.empty()) return fElse;
    double v = bTop ? -1e300 : 1e300;
    for (const auto& contour : c)
      for (const TOutlinePoint& p : contour) v = bTop ? std::max(v, p.fY) : std::min(v, p.fY);
    return v;
  };
  const double fBase = extreme('x', false, 0.0);
  double fCap = extreme('X', true, fBase + 0.7 * em) - fBase;
  if (!(fCap > 0.05 * em) || !(fCap < 4 * em)) fCap = 0.7 * em;
  m_fScale = c_fCapHeight / fCap;
  m_fDescent = std::max(0.0, fBase - extreme('p', false, fBase - 0.2 * em)) * m_fScale;
  const uint32_t nSpace = face->GlyphIndex(' ');
  m_fWordSpacing = (nSpace ? face->Advance(nSpace) : 0.25 * em) * m_fScale;
  m_fLetterSpacing = 0.0;
  m_fLineSpacingFactor = 1.0;
  m_pFace = std::move(face);
}

const TStrokeGlyph* TStrokeFont::Glyph(char32_t c) const {
  const auto it = m_Glyphs.find(c);
  if (it != m_Glyphs.end()) return &it->second;
  if (!m_pFace || m_Missing.count(c)) return nullptr;
  const uint32_t g = m_pFace->GlyphIndex(c);
  std::vector<std::vector<TOutlinePoint>> contours;
  if (!g || !m_pFace->Contours(g, contours)) {
    m_Missing.insert(c);
    return nullptr;
  }
  TStrokeGlyph glyph;
  glyph.fRight = m_pFace->Advance(g) * m_fScale;
  double fLeft = 1e300, fRight = -1e300;
  size_t nMoves = 0;
  for (const auto& contour : contours) {
    std::vector<TfPoint> q = QuadraticPieces(contour, m_fScale);
    std::vector<TDXFVertex> stroke{TDXFVertex{q.front(), 0.0, 0}};
    for (size_t i = 0; i + 2 < q.size(); i += 2) {
      const TfPoint &a = q[i], &m = q[i + 1], &b = q[i + 2];
      fLeft = std::min({fLeft, a.fX, m.fX, b.fX});
      fRight = std::max({fRight, a.fX, m.fX, b.fX});
      // A quadratic piece strays from its chord by a quarter of |a - 2m + b| at most, and
      // from n equal chords by that over n squared.
      const double d = std::hypot(a.fX - 2 * m.fX + b.fX, a.fY - 2 * m.fY + b.fY);
      const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(d / (4 * c_fOutlineFlatness)))), 1,
                               c_nMaxMovesPerPiece);
      nMoves += static_cast<size_t>(n);
      if (nMoves > c_nMaxGlyphMoves) {  // no letter: a damaged or hostile font
        m_Missing.insert(c);
        return nullptr;
      }
      for (int j = 1; j <= n; ++j) {
        const double t = static_cast<double>(j) / n, u = 1 - t;
        stroke.push_back(TDXFVertex{TfPoint{u * u * a.fX + 2 * u * t * m.fX + t * t * b.fX,
                                            u * u * a.fY + 2 * u * t * m.fY + t * t * b.fY},
                                    0.0, 0});
      }
    }
    if (stroke.size() < 3) continue;
    glyph.Strokes.push_back(std::move(stroke));
    glyph.Quads.push_back(std::move(q));
  }
  if (fLeft <= fRight) glyph.fInkLeft = fLeft, glyph.fInkRight = fRight;
  return &m_Glyphs.emplace(c, std::move(glyph)).first->second;
}

double TStrokeFont::Kerning(char32_t cLeft, char32_t cRight) const {
  if (!m_pFace) return 0.0;
  return m_pFace->Kerning(m_pFace->GlyphIndex(cLeft), m_pFace->GlyphIndex(cRight)) * m_fScale;
}

TFontLibrary::TFontLibrary(const std::string& strUserFolder) {
  m_bUserFolder = !TrimView(strUserFolder).empty();
  if (m_bUserFolder) m_Folders.push_back(strUserFolder);
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

std::vector<std::string> TFontLibrary::SystemOutlineFolders() {
  std::vector<std::string> folders;
#ifdef _WIN32
  const std::string strWindows = EnvironmentValue("WINDIR");
  folders.push_back((strWindows.empty() ? std::string("C:\\Windows") : strWindows) + "\\Fonts");
  const std::string strLocal = EnvironmentValue("LOCALAPPDATA");
  if (!strLocal.empty()) folders.push_back(strLocal + "\\Microsoft\\Windows\\Fonts");
#else
  folders = {"/usr/share/fonts", "/usr/local/share/fonts"};
  const std::string strHome = EnvironmentValue("HOME");
  if (!strHome.empty()) {
    folders.push_back(strHome + "/.local/share/fonts");
    folders.push_back(strHome + "/.fonts");
  }
#endif
  return folders;
}

const TStrokeFont* TFontLibrary::OutlineNamed(const std::string& strFileName) {
  std::string strKey = LowerCase(Trim(strFileName));
  const size_t slash = strKey.find_last_of("\\/");
  if (slash != std::string::npos) strKey = strKey.substr(slash + 1);
  if (strKey.empty()) return nullptr;
  const std::string strLoadedKey = "outline:" + strKey;
  const auto it = m_Loaded.find(strLoadedKey);
  if (it != m_Loaded.end()) return it->second.get();
  if (!m_bOutlinesListed) {
    // Every TrueType file of the folders, the user's first (a name found twice keeps the
    // first), the system's folders searched through their subfolders.
    m_bOutlinesListed = true;
    std::vector<std::string> folders;
    if (!m_Folders.empty() && m_bUserFolder) folders.push_back(m_Folders.front());
    for (const std::string& f : SystemOutlineFolders()) folders.push_back(f);
    for (const std::string& folder : folders) {
      std::error_code ec;
      for (std::filesystem::recursive_directory_iterator
               it(FsPath(folder), std::filesystem::directory_options::skip_permission_denied, ec),
           end;
           !ec && it != end; it.increment(ec)) {
        const std::string strExt = LowerCase(Utf8Name(it->path().extension()));
        if (strExt == ".ttf" || strExt == ".ttc" || strExt == ".otf")
          m_OutlineFiles.emplace(LowerCase(Utf8Name(it->path().filename())), Utf8Name(it->path()));
      }
    }
  }
  std::unique_ptr<TStrokeFont> font;
  const auto file = m_OutlineFiles.find(strKey);
  if (file != m_OutlineFiles.end()) {
    font = std::make_unique<TStrokeFont>();
    if (!font->LoadOutline(file->second)) font.reset();
  }
  const TStrokeFont* p = font.get();
  m_Loaded.emplace(strLoadedKey, std::move(font));
  return p;
}

const TStrokeFont* TFontLibrary::FontFor(const std::string& strStyleFont, std::string& strNote) {
  strNote.clear();
  const std::string strWanted = StrokeFontName(strStyleFont);
  const bool bTrueType = IsTrueTypeName(strStyleFont);
  const std::string strShown = TrimView(strStyleFont).empty() ? std::string("(none)") : Trim(strStyleFont);
  if (!bTrueType)
    if (const TStrokeFont* p = Named(strWanted)) return p;
  if (bTrueType) {
    if (const TStrokeFont* p = OutlineNamed(strShown)) return p;
    // Fonts of the same measures that free systems carry in place of the common ones.
    static const std::pair<const char*, const char*> substitutes[] = {
        {"arial", "liberationsans-regular.ttf"},     {"arialbd", "liberationsans-bold.ttf"},
        {"ariali", "liberationsans-italic.ttf"},     {"times", "liberationserif-regular.ttf"},
        {"timesbd", "liberationserif-bold.ttf"},     {"cour", "liberationmono-regular.ttf"},
        {"courbd", "liberationmono-bold.ttf"},       {"simsun", "wqy-zenhei.ttc"},
        {"simhei", "wqy-zenhei.ttc"},                {"msyh", "wqy-microhei.ttc"},
        {"arialuni", "wqy-zenhei.ttc"}};
    for (const auto& [from, to] : substitutes)
      if (strWanted == from)
        if (const TStrokeFont* p = OutlineNamed(to)) {
          strNote = "TrueType font \"" + strShown + "\" not found, drawn with \"" + p->strName + "\"";
          return p;
        }
  }
  // The chain: standard, then unicode, then any installed font.
  for (const char* strName : {"standard", "unicode"})
    if (const TStrokeFont* p = Named(strName)) {
      strNote = bTrueType ? "TrueType font \"" : "font \"";
      strNote += strShown;
      strNote += bTrueType ? "\" not found, drawn with the single-stroke font \"" : "\" not found, drawn with \"";
      strNote += p->strName;
      strNote += "\"";
      return p;
    }
  return nullptr;
}

const TStrokeGlyph* TFontLibrary::Glyph(const TStrokeFont* pFont, char32_t c, const TStrokeFont*& pUsed) {
  pUsed = pFont;
  if (pFont)
    if (const TStrokeGlyph* g = pFont->Glyph(c)) return g;
  // A single-stroke text asks the single-stroke fonts first, an outline text the outline
  // fonts, so that a letter looks like its neighbours where any font allows.
  const bool bOutlineFirst = pFont && pFont->IsOutline();
  auto& cache = m_FallbackCache[bOutlineFirst ? 1 : 0];
  const auto cached = cache.find(c);
  if (cached != cache.end()) {
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
  auto found = [&](const TStrokeFont* p) {
    const TStrokeGlyph* g = p && p != pFont ? p->Glyph(c) : nullptr;
    if (g) cache.emplace(c, p), pUsed = p;
    return g;
  };
  auto fromStrokes = [&]() -> const TStrokeGlyph* {
    for (const std::string& name : m_AllNames)
      if (const TStrokeGlyph* g = found(Named(name))) return g;
    return nullptr;
  };
  // The outline fonts made to cover Chinese and most other scripts.
  auto fromOutlines = [&]() -> const TStrokeGlyph* {
    for (const char* strFile : {"wqy-zenhei.ttc", "wqy-microhei.ttc", "simsun.ttc", "msyh.ttc", "simhei.ttf",
                                "dejavusans.ttf", "arialuni.ttf", "arial.ttf"})
      if (const TStrokeGlyph* g = found(OutlineNamed(strFile))) return g;
    return nullptr;
  };
  if (const TStrokeGlyph* g = bOutlineFirst ? fromOutlines() : fromStrokes()) return g;
  if (const TStrokeGlyph* g = bOutlineFirst ? fromStrokes() : fromOutlines()) return g;
  cache.emplace(c, nullptr);
  pUsed = nullptr;
  return nullptr;
}

}  // namespace veltrane
