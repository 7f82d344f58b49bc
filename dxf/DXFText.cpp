// Texts as tool paths: TEXT, ATTRIB and MTEXT are laid out glyph by glyph in
// single-stroke fonts and placed as CAD programs place them (alignment, height, width
// factor, oblique angle, rotation, mirror flags, the plane they are drawn in). Each
// glyph stroke becomes a polyline record of the text's layer, so chaining, ordering and
// block insertion treat it as any other polyline.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "dxf/DXFArcFit.h"
#include "dxf/DXFIn.h"
#include "dxf/DXFPairs.h"
#include "dxf/DXFTextCodes.h"
#include "geometry/PointMath.h"
#include "model/Text.h"

namespace veltrane {

namespace {

constexpr double c_fDegree = std::numbers::pi / 180.0;
// MTEXT lines stand this many text heights apart at a line spacing factor of 1.
constexpr double c_fMTextLinePitch = 5.0 / 3.0;
// The depth below the baseline that "bottom" alignment puts on the alignment point, in
// text heights (the descender of the single-stroke fonts).
constexpr double c_fDescent = 1.0 / 3.0;
// A glyph's quadratic piece is halved at most this often to fit arcs to it (256 pieces).
constexpr int c_nMaxArcHalvings = 8;
// Stacked fractions are drawn at this share of the text height.
constexpr double c_fStackScale = 0.7;
// Arcs of glyphs distorted by a width factor or an oblique angle are traced by this many
// straight moves per turn.
constexpr int c_nGlyphArcSamplesPerTurn = 64;

// p' = (m0 x + m1 y + m4, m2 x + m3 y + m5)
void Compose(const double A[6], const double B[6], double out[6]) {  // A after B
  const double r[6] = {A[0] * B[0] + A[1] * B[2], A[0] * B[1] + A[1] * B[3], A[2] * B[0] + A[3] * B[2],
                       A[2] * B[1] + A[3] * B[3], A[0] * B[4] + A[1] * B[5] + A[4], A[2] * B[4] + A[3] * B[5] + A[5]};
  std::copy(r, r + 6, out);
}
TfPoint Apply(const double M[6], const TfPoint& p) {
  return TfPoint{M[0] * p.fX + M[1] * p.fY + M[4], M[2] * p.fX + M[3] * p.fY + M[5]};
}


TfVector3 Cross(const TfVector3& a, const TfVector3& b) {
  return TfVector3{a.fY * b.fZ - a.fZ * b.fY, a.fZ * b.fX - a.fX * b.fZ, a.fX * b.fY - a.fY * b.fX};
}

}  // namespace

// One glyph laid out in text space: its strokes are mapped by G.
struct TDXFIn::TGlyphPlacement {
  const TStrokeGlyph* pGlyph = nullptr;
  double G[6] = {1, 0, 0, 1, 0, 0};
  std::vector<TDXFVertex> Extra;  // a stroke of its own (a fraction's bar), in text space
};

void TDXFIn::PlaneAxes(const TDXFPlane& Plane, TfVector3& Ax, TfVector3& Ay, TfVector3& N) {
  const TfVector3& n0 = Plane.fNormal;
  const double len = std::sqrt(n0.fX * n0.fX + n0.fY * n0.fY + n0.fZ * n0.fZ);
  if (!(len > 0.0) || !std::isfinite(len)) {
    Ax = TfVector3{1, 0, 0}, Ay = TfVector3{0, 1, 0}, N = TfVector3{0, 0, 1};
    return;
  }
  N = TfVector3{n0.fX / len, n0.fY / len, n0.fZ / len};
  // The arbitrary axis rule: Ax = Wy x N near the world's Z axis, else Wz x N.
  if (std::fabs(N.fX) < 1.0 / 64 && std::fabs(N.fY) < 1.0 / 64)
    Ax = TfVector3{N.fZ, 0.0, -N.fX};
  else
    Ax = TfVector3{-N.fY, N.fX, 0.0};
  const double la = std::sqrt(Ax.fX * Ax.fX + Ax.fY * Ax.fY + Ax.fZ * Ax.fZ);
  Ax = TfVector3{Ax.fX / la, Ax.fY / la, Ax.fZ / la};
  Ay = Cross(N, Ax);
}

bool TDXFIn::ScanStyleTable() {
  // Entries "0 STYLE" with their pairs, up to "0 ENDTAB".
  std::string_view line;
  TTextStyle st;
  std::string strName;
  bool bIn = false;
  auto finish = [&] {
    if (bIn && !strName.empty()) m_TextStyles[UpperCase(strName)] = st;
    st = TTextStyle();
    strName.clear();
  };
  while (m_pLines->Next(line)) {
    const int32_t nCode = GroupCode(line);
    if (!m_pLines->Next(line)) break;
    if (nCode == 0) {
      finish();
      if (line == "ENDTAB" || line == "ENDSEC") return line == "ENDSEC";
      bIn = line == "STYLE";
      continue;
    }
    if (!bIn) continue;
    double f = 0.0;
    switch (nCode) {
      case 2: strName = line; break;
      case 3: st.strFont = line; break;
      case 40: if (ToDouble(line, f)) st.fHeight = f; break;
      case 41: if (ToDouble(line, f) && f > 0) st.fWidth = f; break;
      case 50: if (ToDouble(line, f)) st.fOblique = f; break;
      case 71: if (ToDouble(line, f)) st.nFlags = static_cast<int32_t>(f); break;
      default: break;
    }
  }
  finish();
  return true;
}

std::u32string TDXFIn::DecodeText(const std::string& strBytes) const {
  const std::string strEncoding = TextEncoding();
  std::string utf8;
  if (m_TextDecoder) {
    utf8 = m_TextDecoder(strBytes, strEncoding);
  } else if (strEncoding == "UTF-8" || IsValidUtf8(strBytes)) {
    utf8 = DXFUnescapeUnicode(strBytes);
  } else {
    for (char ch : strBytes) AppendUtf8(utf8, static_cast<unsigned char>(ch));
    utf8 = DXFUnescapeUnicode(utf8);
  }
  return Utf8ToCodePoints(utf8);
}

TDXFIn::TTextTally& TDXFIn::Tally(const std::string& strLayer) {
  if (BlockFlag) return m_BlockTextTally;
  return m_TextTally[strLayer.empty() ? std::string("0") : strLayer];
}

void TDXFIn::StoreGlyphs(const std::vector<TGlyphPlacement>& Glyphs, const double F[6], const std::string& strLayer) {
  auto store = [&](const std::vector<TDXFVertex>& stroke, const double M[6]) {
    const double det = M[0] * M[3] - M[1] * M[2];
    const double s = std::sqrt(std::fabs(det));
    const bool bSimilar = s > 0 && (std::fabs(M[0] - M[3]) + std::fabs(M[1] + M[2]) <= 1e-9 * s ||
                                    std::fabs(M[0] + M[3]) + std::fabs(M[1] - M[2]) <= 1e-9 * s);
    std::vector<TDXFVertex> chain;
    chain.reserve(stroke.size());
    for (size_t k = 0; k < stroke.size(); ++k) {
      const TDXFVertex& v = stroke[k];
      if (v.fBulge != 0.0 && !bSimilar && k + 1 < stroke.size()) {
        // Distorted: the arc is traced in glyph space and mapped point by point.
        const TfPoint A = v.fPoint, B = stroke[k + 1].fPoint;
        const double theta = 4 * std::atan(v.fBulge);
        const double L = std::hypot(B.fX - A.fX, B.fY - A.fY);
        if (L > 0.0) {
          const double R = std::fabs(L / 2 / std::sin(theta / 2));
          const double g = std::atan2(B.fY - A.fY, B.fX - A.fX);
          const double d = theta >= 0 ? g + (std::numbers::pi - theta) / 2 : g - (std::numbers::pi + theta) / 2;
          const double cx = A.fX + R * std::cos(d), cy = A.fY + R * std::sin(d);
          const double a0 = std::atan2(A.fY - cy, A.fX - cx);
          const int n = std::max(2, static_cast<int>(std::ceil(c_nGlyphArcSamplesPerTurn * std::fabs(theta) /
                                                                (2 * std::numbers::pi))));
          for (int j = 0; j < n; ++j) {
            const double a = a0 + theta * j / n;
            chain.push_back(TDXFVertex{Apply(M, TfPoint{cx + R * std::cos(a), cy + R * std::sin(a)}), 0.0, 0});
          }
          continue;
        }
      }
      chain.push_back(TDXFVertex{Apply(M, v.fPoint), bSimilar ? (det < 0 ? -v.fBulge : v.fBulge) : 0.0, 0});
    }
    if (chain.size() < 2 ||
        std::all_of(chain.begin(), chain.end(), [&](const TDXFVertex& v) { return v.fPoint == chain.front().fPoint; }))
      return;
    chain.back().fBulge = 0.0;
    StoreVertexChain(chain, strLayer, false);
  };
  for (const TGlyphPlacement& g : Glyphs) {
    double M[6];
    Compose(F, g.G, M);
    if (g.pGlyph && m_fArcTolerance > 0 && !g.pGlyph->Quads.empty()) {
      for (const auto& q : g.pGlyph->Quads) StoreOutlineArcs(q, M, strLayer);
    } else if (g.pGlyph) {
      for (const auto& stroke : g.pGlyph->Strokes) store(stroke, M);
    }
    if (!g.Extra.empty()) store(g.Extra, M);
  }
}

namespace {

// Appends the quadratic piece a, m, b as one arc when one keeps within D of it, else as
// a biarc (two arcs meeting at the incentre of the triangle a m b, tangent to the piece
// at both ends and to each other there), split in halves until the arcs keep within D of
// the piece. Chain ends at a.
void QuadraticAsArcs(const TfPoint& a, const TfPoint& m, const TfPoint& b, double D, int nDepth,
                     std::vector<TDXFVertex>& Chain) {
  using namespace pointmath;
  const TfPoint u = Sub(m, a), v = Sub(b, m), chord = Sub(b, a);
  const double la = Len(v), lb = Len(chord), lm = Len(u);
  auto at = [&](double t) { return Add(Add(Mul(a, (1 - t) * (1 - t)), Mul(m, 2 * t * (1 - t))), Mul(b, t * t)); };
  // Straight (the control point on the chord between the ends, within D): one straight
  // move.
  const double along = Dot(u, chord);
  const bool bOnLine = lb == 0.0 || std::fabs(pointmath::Cross(u, chord)) <= D * lb;
  if (la == 0.0 || lm == 0.0 || (bOnLine && along >= 0 && along <= lb * lb)) {
    Chain.push_back(TDXFVertex{b, 0.0, 0});
    return;
  }
  if (bOnLine) {  // on the line but running past an end and back: out to the turn, then on
    const TfPoint e = Sub(u, v);  // a - 2m + b, negated
    const double e2 = Dot(e, e);
    Chain.push_back(TDXFVertex{at(e2 > 0 ? std::clamp(Dot(u, e) / e2, 0.0, 1.0) : 0.5), 0.0, 0});
    Chain.push_back(TDXFVertex{b, 0.0, 0});
    return;
  }
  auto worst = [&](auto&& distance) {
    double f = 0.0;
    for (double t : {0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875}) f = std::max(f, distance(at(t)));
    return f;
  };
  // A piece close to a circular arc (as fonts draw round letters) is that one arc.
  const double phi = std::atan2(pointmath::Cross(u, chord), Dot(u, chord));
  const double b0 = std::tan(phi / 2);
  if (worst([&](const TfPoint& p) { return DistanceToBulgeSegment(p, a, b, b0); }) <= D) {
    Chain.back().fBulge = b0;
    Chain.push_back(TDXFVertex{b, 0.0, 0});
    return;
  }
  const TfPoint J = Mul(Add(Add(Mul(a, la), Mul(m, lb)), Mul(b, lm)), 1 / (la + lb + lm));
  // An arc turns by twice the angle between its tangent at one end and its chord.
  const TfPoint c1 = Sub(J, a), c2 = Sub(b, J);
  const double phi1 = std::atan2(pointmath::Cross(u, c1), Dot(u, c1));
  const double phi2 = std::atan2(pointmath::Cross(c2, v), Dot(c2, v));
  const double b1 = std::tan(phi1 / 2), b2 = std::tan(phi2 / 2);
  const double fWorst = worst([&](const TfPoint& p) {
    return std::min(DistanceToBulgeSegment(p, a, J, b1), DistanceToBulgeSegment(p, J, b, b2));
  });
  if (fWorst > D && nDepth < c_nMaxArcHalvings) {
    const TfPoint am = Mid(a, m), mb = Mid(m, b), h = Mid(am, mb);
    QuadraticAsArcs(a, am, h, D, nDepth + 1, Chain);
    QuadraticAsArcs(h, mb, b, D, nDepth + 1, Chain);
    return;
  }
  Chain.back().fBulge = b1;
  Chain.push_back(TDXFVertex{J, b2, 0});
  Chain.push_back(TDXFVertex{b, 0.0, 0});
}

}  // namespace

// An outline contour of quadratic pieces written as arcs within the arc tolerance. The
// placement is affine, so each placed piece is the quadratic piece of the placed points.
void TDXFIn::StoreOutlineArcs(const std::vector<TfPoint>& q, const double M[6], const std::string& strLayer) {
  if (q.size() < 3) return;
  std::vector<TDXFVertex> chain{TDXFVertex{Apply(M, q[0]), 0.0, 0}};
  for (size_t i = 0; i + 2 < q.size(); i += 2) {
    const TfPoint m = Apply(M, q[i + 1]), b = Apply(M, q[i + 2]);
    // A tolerance far below the piece's size asks for no more than rounding allows.
    const double fSize = std::hypot(m.fX - chain.back().fPoint.fX, m.fY - chain.back().fPoint.fY) +
                         std::hypot(b.fX - m.fX, b.fY - m.fY);
    QuadraticAsArcs(chain.back().fPoint, m, b, std::max(m_fArcTolerance, 1e-9 * fSize), 0, chain);
  }
  if (chain.size() < 2) return;
  chain.back().fBulge = 0.0;
  StoreVertexChain(chain, strLayer, false);
}

namespace {

// The glyphs of one run of text from the pen position on; returns the pen after it.
// s: the scale from font units, w: the width factor, tanOblique: the slant. fInkLeft and
// fInkRight grow to the run's extent along the line: an outline glyph's outline, a
// single-stroke glyph's pen positions before and after it.
double LayRun(TFontLibrary& Fonts, const TStrokeFont* pFont, std::u32string_view text, double fHeight,
              double fWidth, double fOblique, double fTracking, double fPen, double fRise,
              std::vector<TDXFIn::TGlyphPlacement>& out, std::set<std::string>& Used,
              std::map<std::string, std::map<char32_t, size_t>>& Fallbacks, std::map<char32_t, size_t>& Missing,
              double& fInkLeft,
              double& fInkRight) {
  const double s = fHeight / TStrokeFont::c_fCapHeight;
  const double t = std::tan(std::clamp(fOblique, -85.0, 85.0) * c_fDegree);
  const double fLetter = pFont ? pFont->LetterSpacing() : 3.0, fWord = pFont ? pFont->WordSpacing() : 6.75;
  const bool bKerning = pFont && pFont->IsOutline();
  bool bFirst = true;
  char32_t cBefore = 0;
  for (char32_t c : text) {
    if (!bFirst) fPen += fLetter * s * fWidth * fTracking;
    bFirst = false;
    if (bKerning && cBefore) fPen += pFont->Kerning(cBefore, c) * s * fWidth;
    cBefore = c;
    if (c == ' ' || c == 0x3000) {
      fPen += fWord * s * fWidth;
      continue;
    }
    const TStrokeFont* pUsed = nullptr;
    const TStrokeGlyph* g = Fonts.Glyph(pFont, c, pUsed);
    if (!g) {
      ++Missing[c];
      fPen += fWord * s * fWidth;
      continue;
    }
    if (pUsed) Used.insert(pUsed->strName);
    if (pUsed != pFont && pUsed) ++Fallbacks[pUsed->strName + (pUsed->IsOutline() ? " (outline)" : "")][c];
    TDXFIn::TGlyphPlacement p;
    p.pGlyph = g;
    const double G[6] = {s * fWidth, s * t, 0.0, s, fPen, fRise};
    std::copy(G, G + 6, p.G);
    out.push_back(p);
    if (pUsed && pUsed->IsOutline()) {
      if (g->fInkLeft <= g->fInkRight) {
        fInkLeft = std::min(fInkLeft, fPen + g->fInkLeft * s * fWidth);
        fInkRight = std::max(fInkRight, fPen + g->fInkRight * s * fWidth);
      }
      fPen += g->fRight * s * fWidth;
    } else {
      fInkLeft = std::min(fInkLeft, fPen);
      fPen += g->fRight * s * fWidth;
      fInkRight = std::max(fInkRight, fPen);
    }
  }
  return fPen;
}

}  // namespace

void TDXFIn::ScanText(const char* strElement) {
  const int nLine = m_pLines->LineNumber();
  std::string strLayer = "0", strStyle = "STANDARD", strText;
  TDXFPlane Plane;
  double p1[2] = {0, 0}, p2[2] = {0, 0}, fHeight = 0.0, fWidth = 0.0, fRotation = 0.0, fOblique = 0.0;
  bool bHave1 = false, bHave2 = false, bWidth = false, bOblique = false, bFlags = false, bBad = false;
  int32_t nFlags = 0, nH = 0, nV = 0, nAttribFlags = 0;
  const bool bAttrib = std::string_view(strElement) == "ATTRIB";
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    double f = 0.0;
    const bool bNumber = CodeValueType(c) != eDXFVT_Text && CodeValueType(c) != eDXFVT_HexText;
    if (bNumber && !ToDouble(v, f)) {
      if (c == 10 || c == 20 || c == 40) bBad = true;
      return;
    }
    switch (c) {
      case 1: strText = v; break;
      case 7: strStyle = v; break;
      case 8: strLayer = v; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: p1[0] = f, bHave1 = true; break;
      case 20: p1[1] = f; break;
      case 30: Plane.fElevation = f; break;
      case 11: p2[0] = f, bHave2 = true; break;
      case 21: p2[1] = f; break;
      case 40: fHeight = f; break;
      case 41: fWidth = f, bWidth = true; break;
      case 50: fRotation = f; break;
      case 51: fOblique = f, bOblique = true; break;
      case 70: nAttribFlags = static_cast<int32_t>(f); break;
      case 71: nFlags = static_cast<int32_t>(f), bFlags = true; break;
      case 72: nH = static_cast<int32_t>(f); break;
      case 73: if (!bAttrib) nV = static_cast<int32_t>(f); break;
      case 74: if (bAttrib) nV = static_cast<int32_t>(f); break;
      default: Plane.Read(c, f); break;
    }
  });
  if (bBad || !bHave1) {
    Warn(strElement, bBad ? "unreadable number" : "missing coordinates", nLine);
    return;
  }
  if (!BlockFlag && (ResolveLayer(strLayer) < 0 || LeftInPaperSpace())) return;
  if (bAttrib && (nAttribFlags & 1)) return;  // an invisible attribute shows nothing
  const auto itStyle = m_TextStyles.find(UpperCase(strStyle));
  const TTextStyle style = itStyle == m_TextStyles.end() ? TTextStyle() : itStyle->second;
  if (!(fHeight > 0)) fHeight = style.fHeight;
  if (!(fHeight > 0) || !std::isfinite(fHeight)) {
    Warn(strElement, "text height not positive", nLine);
    return;
  }
  if (!bWidth || !(fWidth > 0)) fWidth = style.fWidth > 0 ? style.fWidth : 1.0;
  // Aligned and fit texts are stretched between their two points: no width factor.
  const bool bBetween = (nH == 3 || nH == 5) && nV == 0;
  if (bBetween) fWidth = 1.0;
  if (!bOblique) fOblique = style.fOblique;
  if (!bFlags) nFlags = style.nFlags;
  const std::u32string text = ResolvePercentCodes(DecodeText(strText));
  TTextTally& tally = Tally(strLayer);
  ++tally.nTexts;
  std::string strNote;
  const TStrokeFont* pFont = m_pFonts->FontFor(style.strFont, strNote);
  if (!strNote.empty()) ++m_FontNotes[strNote];
  std::vector<TGlyphPlacement> glyphs;
  double fInkLeft = 1e300, fInkRight = -1e300;
  const double fAdvance = LayRun(*m_pFonts, pFont, text, fHeight, fWidth, fOblique, 1.0, 0.0, 0.0, glyphs,
                                 tally.Fonts, tally.Fallbacks, tally.Missing, fInkLeft, fInkRight);
  // A single-stroke text spans from its start to the pen after it; an outline text is
  // aligned by its outline, as CAD programs align TrueType texts.
  const bool bOutline = pFont && pFont->IsOutline() && fInkLeft <= fInkRight;
  const double x0 = bOutline ? fInkLeft : 0.0;
  const double w = bOutline ? fInkRight - fInkLeft : std::max(fAdvance, 0.0);
  const double fDescent = bOutline ? fHeight * pFont->Descent() / TStrokeFont::c_fCapHeight : fHeight * c_fDescent;
  // Where the text stands: the alignment decides which point counts and how the text
  // sits on it.
  double L[6] = {1, 0, 0, 1, 0, 0};
  double ox = p1[0], oy = p1[1];
  const bool bAligned = nH != 0 || nV != 0;
  if (bAligned && bHave2) ox = p2[0], oy = p2[1];
  if (bBetween) {
    // Aligned and fit: the baseline runs from the first point to the second, and the
    // text is mirrored about its middle.
    ox = p1[0], oy = p1[1];
    const double dx = p2[0] - p1[0], dy = p2[1] - p1[1], len = std::hypot(dx, dy);
    if (bHave2 && len > 0 && w > 0) {
      fRotation = std::atan2(dy, dx) / c_fDegree;
      const double k = len / w;
      L[0] = k;
      L[3] = nH == 3 ? k : 1.0;
      L[4] = -(x0 + w / 2) * k;
      ox = (p1[0] + p2[0]) / 2, oy = (p1[1] + p2[1]) / 2;
    }
  } else {
    double dx = 0, dy = 0;
    if (nH == 1 || nH == 4) dx = -x0 - w / 2;
    else if (nH == 2) dx = -x0 - w;
    // "Middle" centres the text between the top of its capitals and the bottom of its
    // descenders (the single-stroke fonts: its capitals).
    if (nH == 4) dy = bOutline ? -(fHeight - fDescent) / 2 : -fHeight / 2;
    else if (nV == 1) dy = fDescent;
    else if (nV == 2) dy = -fHeight / 2;
    else if (nV == 3) dy = -fHeight;
    L[4] = dx, L[5] = dy;
  }
  // Backwards and upside down mirror the text about its alignment point.
  const double mx = (nFlags & 2) ? -1.0 : 1.0, my = (nFlags & 4) ? -1.0 : 1.0;
  const double Mirror[6] = {mx, 0, 0, my, 0, 0};
  Compose(Mirror, L, L);
  // Rotation in the plane, then the plane's axes to the world, seen from above.
  TfVector3 Ax, Ay, N;
  PlaneAxes(Plane, Ax, Ay, N);
  if (!Plane.IsWorld()) NoteTilted(strElement, Plane, nLine);
  const double c = std::cos(fRotation * c_fDegree), s = std::sin(fRotation * c_fDegree);
  const TfVector3 X{Ax.fX * c + Ay.fX * s, Ax.fY * c + Ay.fY * s, Ax.fZ * c + Ay.fZ * s};
  const TfVector3 Y = Cross(N, X);
  const double e = Plane.IsWorld() ? 0.0 : Plane.fElevation;
  const TfPoint O{Ax.fX * ox + Ay.fX * oy + N.fX * e, Ax.fY * ox + Ay.fY * oy + N.fY * e};
  const double Frame[6] = {X.fX, Y.fX, X.fY, Y.fY, O.fX, O.fY};
  double F[6];
  Compose(Frame, L, F);
  StoreGlyphs(glyphs, F, strLayer);
}

void TDXFIn::ScanMText() {
  const int nLine = m_pLines->LineNumber();
  std::string strLayer = "0", strStyle = "STANDARD", strHead, strTail;
  TDXFPlane Plane;
  double P[3] = {0, 0, 0}, D[3] = {0, 0, 0}, fHeight = 0.0, fRotation = 0.0, fSpacing = 1.0, fColumnWidth = 0.0;
  bool bHave = false, bDir = false, bBad = false;
  int32_t nAttach = 1;
  ForEachPair(*m_pLines, [&](int32_t c, std::string_view v, int) {
    double f = 0.0;
    const bool bNumber = CodeValueType(c) != eDXFVT_Text && CodeValueType(c) != eDXFVT_HexText;
    if (bNumber && !ToDouble(v, f)) {
      if (c == 10 || c == 20 || c == 40) bBad = true;
      return;
    }
    switch (c) {
      case 1: strTail = v; break;
      case 3: strHead += v; break;
      case 7: strStyle = v; break;
      case 8: strLayer = v; break;
      case 67: m_bPaperSpace = v == "1"; break;
      case 10: P[0] = f, bHave = true; break;
      case 20: P[1] = f; break;
      case 30: P[2] = f; break;
      case 11: D[0] = f, bDir = true; break;
      case 21: D[1] = f, bDir = true; break;
      case 31: D[2] = f; break;
      case 40: fHeight = f; break;
      case 41: fColumnWidth = f; break;
      case 44: if (f > 0) fSpacing = f; break;
      case 50: fRotation = f; break;
      case 71: nAttach = static_cast<int32_t>(f); break;
      default: Plane.Read(c, f); break;
    }
  });
  if (bBad || !bHave) {
    Warn("MTEXT", bBad ? "unreadable number" : "missing coordinates", nLine);
    return;
  }
  if (!BlockFlag && (ResolveLayer(strLayer) < 0 || LeftInPaperSpace())) return;
  const auto itStyle = m_TextStyles.find(UpperCase(strStyle));
  const TTextStyle style = itStyle == m_TextStyles.end() ? TTextStyle() : itStyle->second;
  if (!(fHeight > 0)) fHeight = style.fHeight;
  if (!(fHeight > 0) || !std::isfinite(fHeight)) {
    Warn("MTEXT", "text height not positive", nLine);
    return;
  }
  std::vector<TMTextLine> lines = ParseMText(DecodeText(strHead + strTail), fHeight, style.fWidth);
  TTextTally& tally = Tally(strLayer);
  ++tally.nTexts;
  std::string strNote;
  const TStrokeFont* pStyleFont = m_pFonts->FontFor(style.strFont, strNote);
  if (!strNote.empty()) ++m_FontNotes[strNote];
  // One line's glyphs from x = 0 on its baseline; returns the pen after it. bReport:
  // the fonts and characters count in the report (not when the line is only measured).
  auto layLine = [&](const TMTextLine& Line, std::vector<TGlyphPlacement>& line, TTextTally& t, bool bReport) {
    double fLineHeight = 0.0;
    for (const TMTextRun& r : Line.Runs) fLineHeight = std::max(fLineHeight, r.fHeight);
    if (fLineHeight <= 0) fLineHeight = fHeight;
    double fPen = 0.0, fInkLeft = 1e300, fInk = -1e300;
    for (const TMTextRun& r : Line.Runs) {
      const TStrokeFont* pFont = pStyleFont;
      if (!r.strFont.empty()) {
        std::string strRunNote;
        pFont = m_pFonts->FontFor(r.strFont, strRunNote);
        if (!strRunNote.empty() && bReport) ++m_FontNotes[strRunNote];
      }
      if (!r.bStacked) {
        // \A: a run lower than the line sits on its baseline, its middle or its top.
        const double fRise = r.nAlign == 1 ? (fLineHeight - r.fHeight) / 2 : r.nAlign == 2 ? fLineHeight - r.fHeight : 0.0;
        fPen = LayRun(*m_pFonts, pFont, r.strText, r.fHeight, r.fWidthFactor, r.fOblique, r.fTracking, fPen, fRise,
                      line, t.Fonts, t.Fallbacks, t.Missing, fInkLeft, fInk);
        continue;
      }
      // A stacked fraction: the upper part over the lower at a smaller height; "/" draws
      // a bar between them, "#" sets them side by side with a slash.
      const double h = r.fHeight * c_fStackScale;
      const double fGap = (pFont ? pFont->LetterSpacing() : 3.0) * r.fHeight / TStrokeFont::c_fCapHeight;
      const double x0 = fPen + (fPen > 0 ? fGap : 0.0);
      if (r.cStackType == '#') {
        std::u32string inline_text = r.strText + U"/" + r.strLower;
        fPen = LayRun(*m_pFonts, pFont, inline_text, h, r.fWidthFactor, r.fOblique, r.fTracking, x0, r.fHeight - h,
                      line, t.Fonts, t.Fallbacks, t.Missing, fInkLeft, fInk);
        continue;
      }
      double fInkUp = x0, fInkDown = x0;
      const double fUp = LayRun(*m_pFonts, pFont, r.strText, h, r.fWidthFactor, r.fOblique, r.fTracking, x0,
                                r.cStackType ? r.fHeight * 0.6 : 0.0, line, t.Fonts, t.Fallbacks, t.Missing,
                                fInkLeft, fInkUp);
      double fDown = x0;
      if (r.cStackType)
        fDown = LayRun(*m_pFonts, pFont, r.strLower, h, r.fWidthFactor, r.fOblique, r.fTracking, x0,
                       -r.fHeight * 0.3, line, t.Fonts, t.Fallbacks, t.Missing, fInkLeft, fInkDown);
      fPen = std::max(fUp, fDown);
      if (r.cStackType == '/') {
        TGlyphPlacement bar;
        bar.Extra = {TDXFVertex{TfPoint{x0, r.fHeight * 0.45}, 0.0, 0},
                     TDXFVertex{TfPoint{fPen, r.fHeight * 0.45}, 0.0, 0}};
        line.push_back(bar);
      }
    }
    return fPen;
  };
  // Lines longer than the column are broken at their spaces, as CAD programs wrap them.
  if (fColumnWidth > 0 && std::isfinite(fColumnWidth))
    lines = WrapMTextLines(lines, fColumnWidth, [&](const TMTextLine& Line) {
      std::vector<TGlyphPlacement> scratch;
      TTextTally t;
      return layLine(Line, scratch, t, false);
    });
  // Line by line, each moved to its place.
  std::vector<TGlyphPlacement> all;
  double fBaseline = 0.0;
  const int col = std::clamp(nAttach, 1, 9) - 1;
  for (size_t i = 0; i < lines.size(); ++i) {
    double fLineHeight = 0.0;
    for (const TMTextRun& r : lines[i].Runs) fLineHeight = std::max(fLineHeight, r.fHeight);
    if (fLineHeight <= 0) fLineHeight = fHeight;
    if (i == 0) {
      fBaseline = -fLineHeight;
    } else {
      fBaseline -= c_fMTextLinePitch * fSpacing * std::max(fLineHeight, fHeight);
    }
    std::vector<TGlyphPlacement> line;
    const double fPen = layLine(lines[i], line, tally, true);
    // Each line sits on its own by the attachment's column: left, centre or right.
    const double dx = col % 3 == 1 ? -fPen / 2 : col % 3 == 2 ? -fPen : 0.0;
    for (TGlyphPlacement& g : line) {
      g.G[4] += dx;  // a bar's stroke moves with its placement
      g.G[5] += fBaseline;
      all.push_back(g);
    }
  }
  // The attachment's row: the top of the first line, the middle, or the last baseline.
  const double fTotal = -fBaseline;
  const int row = col / 3;
  const double dy = row == 1 ? fTotal / 2 : row == 2 ? fTotal : 0.0;
  // The text's own X direction: the direction vector when given (world), else the
  // rotation in the plane.
  TfVector3 Ax, Ay, N;
  PlaneAxes(Plane, Ax, Ay, N);
  TfVector3 X;
  if (bDir && (D[0] != 0 || D[1] != 0 || D[2] != 0)) {
    X = TfVector3{D[0], D[1], D[2]};
  } else {
    const double c = std::cos(fRotation * c_fDegree), s = std::sin(fRotation * c_fDegree);
    X = TfVector3{Ax.fX * c + Ay.fX * s, Ax.fY * c + Ay.fY * s, Ax.fZ * c + Ay.fZ * s};
  }
  // Only the part of X in the plane counts.
  const double xn = X.fX * N.fX + X.fY * N.fY + X.fZ * N.fZ;
  X = TfVector3{X.fX - xn * N.fX, X.fY - xn * N.fY, X.fZ - xn * N.fZ};
  const double lx = std::sqrt(X.fX * X.fX + X.fY * X.fY + X.fZ * X.fZ);
  if (!(lx > 0)) X = Ax;
  else X = TfVector3{X.fX / lx, X.fY / lx, X.fZ / lx};
  const TfVector3 Y = Cross(N, X);
  if (!Plane.IsWorld()) NoteTilted("MTEXT", Plane, nLine);
  const double F[6] = {X.fX, Y.fX, X.fY, Y.fY, P[0] + Y.fX * dy, P[1] + Y.fY * dy};
  StoreGlyphs(all, F, strLayer);
}

}  // namespace veltrane
