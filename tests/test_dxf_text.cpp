// Texts as paths, on drawings written by ezdxf (scripts/make-text-drawings.py): the
// characters the codes stand for against ezdxf's plain text, and each glyph's strokes
// against the LFF font file as a reader of its own here reads it, under the text's
// placement. Tests that need LibreCAD's fonts skip when they are not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/DXFIn.h"
#include "dxf/DXFTextCodes.h"
#include "dxf/DXFEncoding.h"
#include "model/TextFile.h"
#include "tests/DXFText.h"
#include "tests/reference/PathGeometry.h"
#include "tests/TextImport.h"

using namespace veltrane;

namespace {

const std::string c_strData = std::string(VELTRANE_SOURCE_DIR) + "/tests/data/ezdxf/";
const std::string c_strFonts = "/usr/share/librecad/fonts/";

// (The Windows build looks for them where LibreCAD installs itself; under Wine there is none.)
#ifdef _WIN32
bool HaveFonts() { return false; }
#else
bool HaveFonts() { return std::filesystem::exists(c_strFonts + "standard.lff"); }
#endif

#define SKIP_WITHOUT_FONTS() \
  if (!HaveFonts()) GTEST_SKIP() << "LibreCAD's LFF fonts are not installed in " << c_strFonts << " (librecad-data)"

// ---- A plain reader of LFF, kept apart from the importer's --------------------------
struct TPt {
  double x, y, bulge;  // bulge: of the segment that ends here, as the file writes it
};
struct TFontRef {
  std::map<uint32_t, std::vector<std::vector<TPt>>> glyphs;
  double letter = 3, word = 6.75;
};

TFontRef ReadLff(const std::string& strFile) {
  TFontRef f;
  std::ifstream in(strFile);
  std::string line;
  uint32_t cur = 0;
  std::map<uint32_t, std::vector<uint32_t>> refs;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    line.erase(0, line.find_first_not_of(" \t") == std::string::npos ? line.size() : line.find_first_not_of(" \t"));
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.find("LetterSpacing:") != std::string::npos) f.letter = std::stod(line.substr(line.find(':') + 1));
      if (line.find("WordSpacing:") != std::string::npos) f.word = std::stod(line.substr(line.find(':') + 1));
      continue;
    }
    if (line[0] == '[') {
      cur = static_cast<uint32_t>(std::stoul(line.substr(1, line.find(']') - 1), nullptr, 16));
      f.glyphs[cur];
      continue;
    }
    if (line[0] == 'C') {
      refs[cur].push_back(static_cast<uint32_t>(std::stoul(line.substr(1), nullptr, 16)));
      continue;
    }
    std::vector<TPt> stroke;
    std::stringstream ss(line);
    std::string v;
    while (std::getline(ss, v, ';')) {
      if (v.find_first_not_of(' ') == std::string::npos) continue;
      TPt p{0, 0, 0};
      std::stringstream vs(v);
      std::string a, b, c;
      std::getline(vs, a, ',');
      std::getline(vs, b, ',');
      p.x = std::stod(a);
      p.y = std::stod(b);
      if (std::getline(vs, c, ',') && !c.empty() && c[0] == 'A') p.bulge = std::stod(c.substr(1));
      stroke.push_back(p);
    }
    f.glyphs[cur].push_back(stroke);
  }
  for (auto& [c, list] : refs)
    for (uint32_t r : list)
      for (const auto& s : f.glyphs[r]) f.glyphs[c].push_back(s);
  return f;
}

// Right edge of a glyph: its vertices, and cx + R where an arc passes the direction 0.
double GlyphRight(const std::vector<std::vector<TPt>>& g) {
  double r = 0;
  for (const auto& s : g)
    for (size_t i = 0; i < s.size(); ++i) {
      r = std::max(r, s[i].x);
      if (i == 0 || s[i].bulge == 0) continue;
      const double ang = 4 * std::atan(s[i].bulge);
      const double dx = s[i].x - s[i - 1].x, dy = s[i].y - s[i - 1].y, L = std::hypot(dx, dy);
      const double R = L / (2 * std::fabs(std::sin(ang / 2)));
      // Sample the arc finely: the largest X is where the direction 0 is passed.
      const double mx = (s[i].x + s[i - 1].x) / 2, my = (s[i].y + s[i - 1].y) / 2;
      const double h = R * std::cos(ang / 2) * (ang > 0 ? 1 : -1);
      const double cx = mx - h * dy / L, cy = my + h * dx / L;
      const double a0 = std::atan2(s[i - 1].y - cy, s[i - 1].x - cx);
      for (int k = 0; k <= 20000; ++k) r = std::max(r, cx + R * std::cos(a0 + ang * k / 20000));
    }
  return r;
}

// ---- The importer's strokes of one layer -------------------------------------------
using TStroke = std::vector<TfPoint>;

// A drawing's texts on one layer read as paths.
struct TTextImport : veltrane::testing::TImport {
  TTextImport(const std::string& strDrawing, const std::string& strLayer)
      : TImport(strDrawing, {strLayer}, [](TDXFIn& in) { in.SetTextAsPaths(true); }) {}
  // Each path's points; every path is a polyline.
  std::vector<TStroke> Strokes() {
    std::vector<TStroke> out;
    for (const TDXFEntity& r : in.Records(0)) {
      EXPECT_EQ(r.EntityType, eDXFET_PolyLine);
      TStroke s;
      for (int k = 0; k < r.nVertexCount; ++k)
        s.push_back(in.Vertices()[static_cast<size_t>(r.nFirstVertex + k)].fPoint);
      out.push_back(s);
    }
    return out;
  }
};

std::vector<TStroke> ImportedStrokes(const std::string& strLayer, std::vector<std::string>* pReport = nullptr,
                                     std::vector<std::string>* pFacts = nullptr) {
  TTextImport im(ReadWholeFile(c_strData + "text_r2018.dxf"), strLayer);
  if (pReport) *pReport = im.in.ImportReport();
  if (pFacts) *pFacts = im.in.ImportFacts();
  return im.Strokes();
}

// What a TEXT's placement does to a point of text space (font units already scaled).
struct TPlacement {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  TfPoint operator()(double x, double y) const { return TfPoint{a * x + b * y + tx, c * x + d * y + ty}; }
};

// Every vertex of every font stroke, in order, must be found among the imported
// strokes (a distorted arc adds points between them; a similar one keeps them alone).
void ExpectStrokes(const std::string& strLayer, const std::string& strFont, const std::u32string& text, double h,
                   double wf, double obl, const TPlacement& P, double fShiftX = 0, double fScaleX = 1,
                   double fScaleY = 1) {
  const TFontRef f = ReadLff(c_strFonts + strFont + ".lff");
  const double s = h / 9.0, t = std::tan(obl * std::numbers::pi / 180);
  std::vector<TStroke> expected;
  double pen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i) pen += f.letter * s * wf;
    if (text[i] == ' ') {
      pen += f.word * s * wf;
      continue;
    }
    const auto& g = f.glyphs.at(static_cast<uint32_t>(text[i]));
    for (const auto& stroke : g) {
      TStroke e;
      for (const TPt& p : stroke) {
        const double x = (pen + p.x * s * wf + p.y * s * t) * fScaleX + fShiftX, y = p.y * s * fScaleY;
        e.push_back(P(x, y));
      }
      expected.push_back(e);
    }
    pen += GlyphRight(g) * s * wf;
  }
  const std::vector<TStroke> got = ImportedStrokes(strLayer);
  ASSERT_EQ(got.size(), expected.size()) << strLayer;
  std::vector<bool> used(got.size(), false);
  auto near = [](const TfPoint& a, const TfPoint& b) { return std::hypot(a.fX - b.fX, a.fY - b.fY) < 1e-6; };
  for (const TStroke& e : expected) {
    bool bFound = false;
    for (size_t k = 0; k < got.size() && !bFound; ++k) {
      if (used[k] || !near(got[k].front(), e.front()) || !near(got[k].back(), e.back())) continue;
      size_t j = 0;
      for (const TfPoint& p : got[k])
        if (j < e.size() && near(p, e[j])) ++j;
      if (j == e.size()) bFound = used[k] = true;
    }
    EXPECT_TRUE(bFound) << strLayer << ": no imported stroke from (" << e.front().fX << "," << e.front().fY << ")";
  }
}

TPlacement Rotated(double deg, double x, double y, double mx = 1, double my = 1) {
  const double c = std::cos(deg * std::numbers::pi / 180), s = std::sin(deg * std::numbers::pi / 180);
  return TPlacement{c * mx, -s * my, s * mx, c * my, x, y};
}

double TextWidth(const std::string& strFont, const std::u32string& text, double h, double wf) {
  const TFontRef f = ReadLff(c_strFonts + strFont + ".lff");
  const double s = h / 9.0;
  double pen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i) pen += f.letter * s * wf;
    pen += text[i] == ' ' ? f.word * s * wf : GlyphRight(f.glyphs.at(static_cast<uint32_t>(text[i]))) * s * wf;
  }
  return pen;
}

// ---- The drawing's texts as a small reader of pairs finds them ----------------------
std::map<std::string, std::string> RawTexts() {
  std::map<std::string, std::string> out;  // layer -> text (MTEXT: codes 3 then 1)
  std::ifstream in(c_strData + "text_r2018.dxf");
  std::string code, value, kind, layer, head, tail;
  auto flush = [&] {
    if ((kind == "TEXT" || kind == "MTEXT" || kind == "ATTRIB") && !layer.empty())
      out[layer] = (kind == "MTEXT" ? "M" : "T") + head + tail;
    kind.clear(), layer.clear(), head.clear(), tail.clear();
  };
  while (std::getline(in, code) && std::getline(in, value)) {
    while (!value.empty() && value.back() == '\r') value.pop_back();
    const int c = std::stoi(code);
    if (c == 0) {
      flush();
      kind = value;
    } else if (c == 8) layer = value;
    else if (c == 3) head += value;
    else if (c == 1) tail = value;
  }
  flush();
  return out;
}

}  // namespace

TEST(TextCodes, PlainTextAsEzdxfGivesIt) {
  // Where the codes' meaning in CAD programs differs from ezdxf's reading, the CAD
  // programs' meaning counts: "\U+XXXX" in a UTF-8 drawing is still an escape.
  const std::map<std::string, std::string> c_Override = {{"M_COLUMN", "col1\ncol2 \u00b0\u00b1"}};
  const auto raw = RawTexts();
  std::ifstream tsv(c_strData + "text_r2018.tsv");
  std::string line;
  int n = 0;
  while (std::getline(tsv, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t a = line.find('\t'), b = line.find('\t', a + 1);
    const std::string kind = line.substr(0, a), layer = line.substr(a + 1, b - a - 1);
    std::string want = line.substr(b + 1);
    for (size_t p; (p = want.find("\\n")) != std::string::npos;) want.replace(p, 2, "\n");
    if (c_Override.count(layer)) want = c_Override.at(layer);
    if (!raw.count(layer)) continue;  // inside a block
    const std::string& r = raw.at(layer);
    const std::u32string cps = Utf8ToCodePoints(DXFUnescapeUnicode(r.substr(1)));
    const std::u32string got = r[0] == 'M' ? PlainMText(ParseMText(cps, 1, 1)) : ResolvePercentCodes(cps);
    EXPECT_EQ(CodePointsToUtf8(got), want) << layer;
    ++n;
  }
  EXPECT_GE(n, 20);
}

TEST(TextCodes, PercentCodesOfCadPrograms) {
  const struct {
    const char* in;
    const char* out;
  } c_Cases[] = {{"%%c5", "\u00d85"}, {"%%D", "\u00b0"}, {"%%p1", "\u00b11"}, {"50%%%", "50%"},
                 {"%%u%%oA%%k", "A"}, {"%%065B", "AB"}, {"%%", "%%"}, {"%%x", "%%x"}};
  for (const auto& c : c_Cases)
    EXPECT_EQ(CodePointsToUtf8(ResolvePercentCodes(Utf8ToCodePoints(c.in))), c.out) << c.in;
}

TEST(TextCodes, MTextFormats) {
  const auto lines = ParseMText(U"a{\\H2x;\\W0.5;\\Q10;\\T1.5;\\fsimplex|b1;b}c\\H3;d\\Pe", 2.0, 1.0);
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].Runs.size(), 4u);
  EXPECT_EQ(lines[0].Runs[1].strText, U"b");
  EXPECT_DOUBLE_EQ(lines[0].Runs[1].fHeight, 4.0);
  EXPECT_DOUBLE_EQ(lines[0].Runs[1].fWidthFactor, 0.5);
  EXPECT_DOUBLE_EQ(lines[0].Runs[1].fOblique, 10.0);
  EXPECT_DOUBLE_EQ(lines[0].Runs[1].fTracking, 1.5);
  EXPECT_EQ(lines[0].Runs[1].strFont, "simplex");
  EXPECT_DOUBLE_EQ(lines[0].Runs[2].fHeight, 2.0);  // the group's format ends with it
  EXPECT_DOUBLE_EQ(lines[0].Runs[3].fHeight, 3.0);
  EXPECT_DOUBLE_EQ(lines[1].Runs[0].fHeight, 3.0);  // a paragraph keeps the format
}

// One row per TEXT layer of the drawing: its text, font, height, width factor,
// oblique angle, and the placement the test expects (rotation and point).
// Wrapping with every character one unit wide: words move to the next line when they do
// not fit, a line's trailing spaces take no room, a word wider than the column stands
// alone, leading spaces never make a line of their own, Chinese breaks anywhere.
TEST(TextCodes, WrapsAtSpacesAndBetweenChineseCharacters) {
  auto measure = [](const TMTextLine& l) {
    double w = 0;
    for (const TMTextRun& r : l.Runs) w += static_cast<double>(r.strText.size());
    return w;
  };
  auto text = [](const std::vector<TMTextLine>& lines) {
    std::vector<std::u32string> out;
    for (const TMTextLine& l : lines) {
      std::u32string s;
      for (const TMTextRun& r : l.Runs) s += r.strText;
      out.push_back(s);
    }
    return out;
  };
  struct TCase {
    std::u32string in;
    double width;
    std::vector<std::u32string> out;
  };
  const std::vector<TCase> cases = {
      {U"aa bb cc", 5, {U"aa bb", U"cc"}},
      {U"aa bb cc", 8, {U"aa bb cc"}},
      {U"aa bb cc", 0, {U"aa bb cc"}},
      {U"abcdefgh ij", 3, {U"abcdefgh", U"ij"}},
      {U"   lead x", 4, {U"   lead", U"x"}},
      {U"aa    bb", 3, {U"aa", U"bb"}},
      {U"\u4e2d\u6587\u5b57\u7b26", 2, {U"\u4e2d\u6587", U"\u5b57\u7b26"}},
      {U"ab\u4e2d\u6587", 3, {U"ab\u4e2d", U"\u6587"}},
  };
  for (const TCase& c : cases) {
    TMTextLine line;
    line.Runs.push_back(TMTextRun{});
    line.Runs[0].strText = c.in;
    EXPECT_EQ(text(WrapMTextLines({line}, c.width, measure)), c.out) << CodePointsToUtf8(c.in) << " in " << c.width;
  }
  // Runs keep their formats across the breaks: "aa " bold-ish, "bb cc" another height.
  TMTextLine two;
  two.Runs.resize(2);
  two.Runs[0].strText = U"aa ", two.Runs[0].fHeight = 2;
  two.Runs[1].strText = U"bb cc", two.Runs[1].fHeight = 3;
  const auto lines = WrapMTextLines({two}, 5, measure);
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].Runs.size(), 2u);
  EXPECT_EQ(lines[0].Runs[0].fHeight, 2);
  EXPECT_EQ(lines[0].Runs[1].strText, U"bb");
  EXPECT_EQ(lines[1].Runs[0].fHeight, 3);
  EXPECT_EQ(lines[1].Runs[0].strText, U"cc");
}

TEST(TextPaths, GlyphStrokesAreTheFontsUnderThePlacement) {
  SKIP_WITHOUT_FONTS();
  ExpectStrokes("T_LEFT", "standard", U"AB", 2.5, 1, 0, Rotated(0, 10, 20));
  ExpectStrokes("T_ROT", "standard", U"Hi", 5, 1, 0, Rotated(30, 0, 0));
  ExpectStrokes("T_WIDTH", "romans", U"Wo", 3, 0.7, 0, Rotated(0, 5, 5));
  ExpectStrokes("T_OBLIQUE", "iso", U"Ok", 4, 1, 15, Rotated(0, 0, 0));
  ExpectStrokes("T_STYLEW", "simplex", U"Sw", 3, 1.5, 10, Rotated(0, 0, 0));
  ExpectStrokes("T_MISSING", "standard", U"Mf", 3, 1, 0, Rotated(0, 0, 0));
  ExpectStrokes("T_PERCENT", "standard", U"\u00d810 \u00b0 \u00b10.1 100%", 3, 1, 0, Rotated(0, 0, 0));
  ExpectStrokes("T_BACK", "standard", U"Bk", 3, 1, 0, Rotated(0, 0, 0, -1, 1));
  ExpectStrokes("T_UPSIDE", "standard", U"Up", 3, 1, 0, Rotated(0, 0, 0, 1, -1));
  ExpectStrokes("T_ATTRIB", "standard", U"At", 2, 1, 0, Rotated(0, 7, 8));
  // Mirrored plane (0,0,-1): X changes sign.
  ExpectStrokes("T_PLANE", "standard", U"Pl", 2, 1, 0, TPlacement{-1, 0, 0, 1, -3, 4});
}

TEST(TextPaths, Alignments) {
  SKIP_WITHOUT_FONTS();
  const double wCap = TextWidth("standard", U"Cap", 2, 1), wRt = TextWidth("standard", U"Rt", 2, 1);
  ExpectStrokes("T_CENTER", "standard", U"Cap", 2, 1, 0, Rotated(0, 50, 10), -wCap / 2);
  ExpectStrokes("T_RIGHT", "standard", U"Rt", 2, 1, 0, Rotated(45, 0, 30), -wRt / 2 * 2);
  const double wMid = TextWidth("standard", U"Mid", 3, 1);
  ExpectStrokes("T_MIDDLE", "standard", U"Mid", 3, 1, 0, Rotated(0, 20, 20 - 1.5), -wMid / 2);
  const double wTop = TextWidth("standard", U"Top", 3, 1);
  ExpectStrokes("T_TOPC", "standard", U"Top", 3, 1, 0, Rotated(0, 0, -3), -wTop / 2);
  const double wMR = TextWidth("standard", U"MR", 3, 1);
  {
    // Middle right, rotated 10 degrees: the shift is in the text's own axes.
    const double c = std::cos(10 * std::numbers::pi / 180), s = std::sin(10 * std::numbers::pi / 180);
    ExpectStrokes("T_MIDR", "standard", U"MR", 3, 1, 0, TPlacement{c, -s, s, c, 5 + s * 1.5, -5 - c * 1.5}, -wMR);
  }
  ExpectStrokes("T_BOTL", "standard", U"gy", 3, 1, 0, Rotated(0, 1, 2));
  const double wFit = TextWidth("standard", U"Fit", 2, 1);
  const double k = std::hypot(40, 10) / wFit;
  ExpectStrokes("T_ALIGNED", "standard", U"Fit", 2, 1, 0, Rotated(std::atan2(10, 40) * 180 / std::numbers::pi, 0, 0),
                0, k, k);
  ExpectStrokes("T_FIT", "standard", U"Fit", 2, 1, 0, Rotated(0, 0, 0), 0, 40 / wFit, 1);
}

TEST(TextPaths, NestedMirroredBlock) {
  SKIP_WITHOUT_FONTS();
  // OUTER at (30,40), scale (-1,1), 15 degrees, holds LABEL at (5,0) turned 90 degrees,
  // which holds "Bl" at (1,2): the text's X axis is LABEL's Y, mirrored and turned.
  const double r = 15 * std::numbers::pi / 180, c = std::cos(r), s = std::sin(r);
  // OUTER: p -> R15 * diag(-1,1) p + (30,40); LABEL: p -> R90 p + (5,0).
  auto outer = [&](double x, double y) { return TfPoint{c * -x - s * y + 30, s * -x + c * y + 40}; };
  // The text's point (x,y) in LABEL: (1 + x, 2 + y); in OUTER: R90 -> (-(2+y), 1+x) + (5,0).
  const TfPoint o = outer(5 - 2, 1), ex = outer(5 - 2, 1 + 1), ey = outer(5 - 3, 1);
  ExpectStrokes("T_BLOCK", "standard", U"Bl", 2, 1, 0,
                TPlacement{ex.fX - o.fX, ey.fX - o.fX, ex.fY - o.fY, ey.fY - o.fY, o.fX, o.fY});
}

TEST(TextPaths, MTextLinesStandAtTheirSpacing) {
  SKIP_WITHOUT_FONTS();
  // Three lines of height 2.5 from the top left at (0,50): baselines 2.5 below the top,
  // then 5/3 of the height apart.
  double minY = 1e9, maxY = -1e9;
  for (const auto& s : ImportedStrokes("M_LINES"))
    for (const auto& p : s) minY = std::min(minY, p.fY), maxY = std::max(maxY, p.fY);
  EXPECT_NEAR(maxY, 50.0, 1e-9);
  EXPECT_NEAR(minY, 50 - 2.5 - 2 * 2.5 * 5 / 3, 1e-9);
}

TEST(TextPaths, ReportNamesFontsAndFallbacks) {
  SKIP_WITHOUT_FONTS();
  std::vector<std::string> report, facts;
  ImportedStrokes("T_MISSING", &report, &facts);
  EXPECT_NE(std::find(facts.begin(), facts.end(), "layer T_MISSING: 1 text as paths, font standard"), facts.end());
  EXPECT_NE(std::find(report.begin(), report.end(), "font \"nosuch.shx\" not found, drawn with \"standard\" (1 text)"),
            report.end());
  ImportedStrokes("T_UNICODE", &report, &facts);
  bool bFallback = false;
  for (const auto& l : report) bFallback = bFallback || l.find("layer T_UNICODE: '") == 0;
  EXPECT_TRUE(bFallback) << "characters standard lacks come from another font, and the report says which";
}

TEST(TextPaths, OffByDefault) {
  veltrane::testing::TImport im(ReadWholeFile(c_strData + "text_r2018.dxf"), {"T_LEFT"});
  EXPECT_TRUE(im.in.Records(0).empty());
  const auto report = im.in.ImportReport();
  EXPECT_NE(std::find(report.begin(), report.end(), "layer T_LEFT: 1 TEXT not imported"), report.end());
}

// ---- TrueType outlines against ezdxf's own (text2path, drawn by matplotlib) ----------
namespace {

const std::string c_strLiberation = "/usr/share/fonts/truetype/liberation/";
constexpr double c_fCell = 1000.0;  // each text of the drawing in its own square

struct TOutlineText {
  double cx = 0, cy = 0, size = 0;
  std::vector<std::vector<TfPoint>> Outlines;
};

std::vector<TOutlineText> ReadOutlineExpect() {
  std::ifstream in(c_strData + "truetype.expect");
  std::vector<TOutlineText> out;
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    std::istringstream head(line);
    TOutlineText t;
    size_t n = 0;
    head >> t.cx >> t.cy >> t.size >> n;
    for (size_t i = 0; i < n && std::getline(in, line); ++i) {
      std::istringstream pts(line);
      std::vector<TfPoint> poly;
      double x, y;
      while (pts >> x >> y) poly.push_back(TfPoint{x, y});
      t.Outlines.push_back(poly);
    }
    out.push_back(t);
  }
  return out;
}

// The largest distance from a vertex of From to the polylines of To.
double FarthestVertex(const std::vector<std::vector<TfPoint>>& From, const std::vector<std::vector<TfPoint>>& To) {
  double worst = 0.0;
  for (const auto& poly : From)
    for (const TfPoint& p : poly) worst = std::max(worst, veltrane::reference::DistanceToPolylines(p, To));
  return worst;
}

// A polyline with bulges as points: each arc by 8 points of its own circle (for an arc of
// a quarter turn, within 0.5 % of its radius).
std::vector<TfPoint> Densified(const std::vector<TDXFVertex>& v) {
  std::vector<TfPoint> out;
  for (size_t i = 0; i < v.size(); ++i) {
    out.push_back(v[i].fPoint);
    if (i + 1 == v.size() || v[i].fBulge == 0.0) continue;
    const TfPoint A = v[i].fPoint, B = v[i + 1].fPoint;
    const double theta = 4 * std::atan(v[i].fBulge), L = std::hypot(B.fX - A.fX, B.fY - A.fY);
    // The centre lies on the chord's perpendicular bisector, (L/2) / tan(theta/2) from its middle.
    const double mx = (A.fX + B.fX) / 2, my = (A.fY + B.fY) / 2, k = L / 2 / std::tan(theta / 2);
    const double nx = -(B.fY - A.fY) / L, ny = (B.fX - A.fX) / L;
    const double cx = mx + k * nx, cy = my + k * ny, r = std::hypot(A.fX - cx, A.fY - cy);
    const double a0 = std::atan2(A.fY - cy, A.fX - cx);
    for (int j = 1; j < 8; ++j) {
      const double a = a0 + theta * j / 8;
      out.push_back(TfPoint{cx + r * std::cos(a), cy + r * std::sin(a)});
    }
  }
  return out;
}

}  // namespace

// 240 random TEXTs in Liberation Sans (every alignment, rotations, width factors, mirror
// flags; scripts/make-text-drawings.py --truetype): each outline within 2 % of the cap
// height of ezdxf's outline of the same text from the same font file, both ways, and as
// many outlines as ezdxf draws; as short moves, and as arcs within 0.005.
TEST(TextPaths, TrueTypeOutlinesFollowEzdxfsRendering) {
  if (!std::filesystem::exists(c_strLiberation + "LiberationSans-Regular.ttf"))
    GTEST_SKIP() << "Liberation Sans is not installed in " << c_strLiberation << " (fonts-liberation)";
  const std::vector<TOutlineText> expected = ReadOutlineExpect();
  ASSERT_GE(expected.size(), 200u);
  for (double fArcs : {0.0, 0.005}) {
    TFixedImportAnswers answers("", {"TT"});
    TDXFIn in(&answers, nullptr);
    in.SetTextAsPaths(true);
    in.SetFontFolder(c_strLiberation);
    in.SetCurvesAsArcs(fArcs);
    in.ReadBuffer(ReadWholeFile(c_strData + "truetype_r2018.dxf"));
    std::map<std::pair<long, long>, std::vector<std::vector<TfPoint>>> ours;
    size_t nArcs = 0;
    for (const TDXFEntity& r : in.Records(0)) {
      std::vector<TDXFVertex> v(in.Vertices().begin() + r.nFirstVertex,
                                in.Vertices().begin() + r.nFirstVertex + r.nVertexCount);
      ASSERT_FALSE(v.empty());
      for (const TDXFVertex& x : v) nArcs += x.fBulge != 0.0;
      ours[{std::lround(v[0].fPoint.fX / c_fCell), std::lround(v[0].fPoint.fY / c_fCell)}].push_back(Densified(v));
    }
    EXPECT_EQ(nArcs > 0, fArcs > 0);
    size_t nBad = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const TOutlineText& t = expected[i];
      const auto& got = ours[{std::lround(t.cx / c_fCell), std::lround(t.cy / c_fCell)}];
      const double tol = 0.02 * t.size;
      const double d1 = FarthestVertex(got, t.Outlines), d2 = FarthestVertex(t.Outlines, got);
      if (got.size() != t.Outlines.size() || d1 > tol || d2 > tol) {
        if (++nBad <= 5)
          ADD_FAILURE() << "text " << i << " at (" << t.cx << "," << t.cy << "), arcs " << fArcs << ": "
                        << got.size() << " outlines, ezdxf " << t.Outlines.size() << "; farthest " << d1 / t.size
                        << " and " << d2 / t.size << " of the cap height";
      }
    }
    EXPECT_EQ(nBad, 0u) << "of " << expected.size() << " texts, arcs " << fArcs;
    const auto facts = in.ImportFacts();
    EXPECT_NE(std::find(facts.begin(), facts.end(), "layer TT: 240 texts as paths, font liberationsans-regular"),
              facts.end());
  }
}

// Every character of GB2312's first level (3,755, tests/data/gb2312_level1.txt) in a text
// of the single-stroke style "txt" is drawn: from a single-stroke font where one has it,
// else from the installed Chinese outline font, and the report names which.
TEST(TextPaths, EveryCommonChineseCharacterGetsGlyphs) {
  SKIP_WITHOUT_FONTS();
  if (!std::filesystem::exists("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"))
    GTEST_SKIP() << "WenQuanYi Zen Hei is not installed (fonts-wqy-zenhei)";
  std::string chars = ReadWholeFile(std::string(VELTRANE_SOURCE_DIR) + "/tests/data/gb2312_level1.txt");
  while (!chars.empty() && (chars.back() == '\n' || chars.back() == '\r')) chars.pop_back();
  const std::u32string all = Utf8ToCodePoints(chars);
  ASSERT_EQ(all.size(), 3755u);
  // A drawing in UTF-8: one text of 100 characters per line.
  veltrane::testing::TDXFText d({"CN"});
  for (size_t i = 0; i < all.size(); i += 100)
    d.Add("TEXT", {{8, "CN"}, {10, "0"}, {20, std::to_string(-20 * static_cast<int>(i / 100))}, {40, "10"},
                   {1, CodePointsToUtf8(all.substr(i, 100))}});
  TTextImport im(d.Text(), "CN");
  const auto report = im.in.ImportReport();
  size_t nOutline = 0, nStroke = 0;
  for (const std::string& l : report) {
    EXPECT_EQ(l.find("no font has"), std::string::npos) << l;
    if (l.rfind("layer CN: ", 0) != 0) continue;
    const size_t at = l.find(" characters) from ");
    const size_t open = l.rfind("(", at);
    const size_t n = at == std::string::npos ? 0 : std::stoul(l.substr(open + 1, at - open - 1));
    (l.find("(outline)") != std::string::npos ? nOutline : nStroke) += n;
  }
  EXPECT_GT(nStroke, 0u) << "single-stroke fonts have some (LibreCAD's unicode and azomix)";
  EXPECT_GT(nOutline, 0u) << "the outline font the rest";
  EXPECT_EQ(nOutline + nStroke, 3755u);
  EXPECT_GE(im.in.Records(0).size(), 3755u) << "each character at least one path";
}

// \A sets lower runs at the bottom, middle or top of their line: the top of a capital
// B of height 3 beside an A of height 6 stands 3, 4.5 or 6 above the baseline.
TEST(TextPaths, MTextRunsAlignInTheirLine) {
  SKIP_WITHOUT_FONTS();
  for (const auto& [code, fTop] : std::vector<std::pair<std::string, double>>{{"", 3}, {"\\A0;", 3}, {"\\A1;", 4.5}, {"\\A2;", 6}}) {
    veltrane::testing::TDXFText d({"M"});
    d.Add("MTEXT", {{8, "M"}, {10, "0"}, {20, "0"}, {40, "3"}, {71, "7"}, {1, code + "{\\H6;A}B"}});
    // Attachment 7: the last baseline at the insertion point.
    double fRightTop = -1e300, fTopA = -1e300;
    const std::vector<TStroke> strokes = TTextImport(d.Text(), "M").Strokes();
    ASSERT_FALSE(strokes.empty());
    // A spans x < 6 * 6/9 (its glyph is narrower than its height), B lies beyond.
    for (const TStroke& s : strokes)
      for (const TfPoint& p : s)
        (p.fX > 4.5 ? fRightTop : fTopA) = std::max(p.fX > 4.5 ? fRightTop : fTopA, p.fY);
    EXPECT_NEAR(fTopA, 6, 1e-6) << code;
    EXPECT_NEAR(fRightTop, fTop, 1e-6) << code;
  }
}

// An MTEXT with a column width wraps at its spaces: as many words per line as fit, at
// least one. Lines stand 5/3 of the height apart; widths come from the plain LFF reader.
TEST(TextPaths, MTextWrapsAtItsColumnWidth) {
  SKIP_WITHOUT_FONTS();
  const double h = 3, wPair = TextWidth("standard", U"AB CD", h, 1), wWord = TextWidth("standard", U"AB", h, 1);
  const std::vector<std::pair<double, size_t>> cases = {{0, 1}, {wPair + 0.01, 2}, {wWord + 0.01, 4}, {0.5, 4}, {1000, 1}};
  for (const auto& [fWidth, nLines] : cases) {
    veltrane::testing::TDXFText d({"M"});
    d.Add("MTEXT", {{8, "M"}, {10, "0"}, {20, "0"}, {40, "3"}, {41, veltrane::testing::TDXFText::N(fWidth)},
                    {71, "1"}, {1, "AB CD EF GH"}});
    // Capitals without descenders: line k spans y from -3 - 5k to -5k.
    std::map<long, double> right;  // line: largest x
    for (const TStroke& s : TTextImport(d.Text(), "M").Strokes())
      for (const TfPoint& p : s) {
        const long nLine = std::lround(std::floor(-p.fY / 5 + 1e-9));
        EXPECT_LE(-p.fY - 5 * nLine, 3 + 1e-6) << "width " << fWidth << ": a point between lines";
        right[nLine] = std::max(right.count(nLine) ? right[nLine] : -1e300, p.fX);
      }
    EXPECT_EQ(right.size(), nLines) << "width " << fWidth;
    if (nLines == 2) {
      EXPECT_NEAR(right[0], wPair, 1e-6);
    }
    for (const auto& [n, x] : right) {
      if (fWidth > 0 && nLines < 4) {
        EXPECT_LE(x, fWidth + 1e-9) << "line " << n;
      }
    }
  }
}
