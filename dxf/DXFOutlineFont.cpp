// Reading TrueType outlines. The file is big-endian throughout; a table is found by its
// four-letter tag in the face's table directory, and every read goes through the bounded
// readers of TTrueTypeFace, which give 0 past the end of the data.
#include "dxf/DXFOutlineFont.h"

#include <algorithm>
#include <cstring>

#include "model/TextFile.h"

namespace veltrane {

namespace {

// A composite glyph may use others that are composite in turn; deeper is a cycle.
constexpr int c_nMaxCompositeDepth = 8;
// More points and contours than this in one glyph, its parts' included, is no real glyph
// (the largest CJK glyphs have a few hundred).
constexpr size_t c_nMaxGlyphPoints = 1u << 16;

bool Tag(const std::string& s, size_t o, const char* tag) { return o + 4 <= s.size() && std::memcmp(&s[o], tag, 4) == 0; }

}  // namespace

bool TTrueTypeFace::Load(const std::string& strPath, uint32_t nFace) {
  std::string data;
  try {
    data = ReadWholeFile(strPath);
  } catch (const std::exception&) {
    return false;
  }
  return Parse(std::move(data), nFace);
}

bool TTrueTypeFace::Parse(std::string strData, uint32_t nFace) {
  *this = TTrueTypeFace();
  m_Data = std::move(strData);
  size_t dir = 0;
  if (Tag(m_Data, 0, "ttcf")) {
    if (nFace >= U32(8)) return false;
    dir = U32(12 + 4 * static_cast<size_t>(nFace));
  } else if (nFace != 0) {
    return false;
  }
  const uint32_t nVersion = U32(dir);
  if (nVersion != 0x00010000 && !Tag(m_Data, dir, "true")) return false;  // "OTTO": CFF outlines
  const uint32_t nTables = U16(dir + 4);
  if (!Has(dir + 12, 16 * static_cast<size_t>(nTables))) return false;
  size_t head = 0, maxp = 0, hhea = 0, cmap = 0, kern = 0, nCmapLen = 0, nKernLen = 0;
  for (uint32_t i = 0; i < nTables; ++i) {
    const size_t rec = dir + 12 + 16 * static_cast<size_t>(i);
    const size_t off = U32(rec + 8), len = U32(rec + 12);
    if (!Has(off, len)) continue;
    if (Tag(m_Data, rec, "head") && len >= 54) head = off;
    else if (Tag(m_Data, rec, "maxp") && len >= 6) maxp = off;
    else if (Tag(m_Data, rec, "hhea") && len >= 36) hhea = off;
    else if (Tag(m_Data, rec, "cmap")) cmap = off, nCmapLen = len;
    else if (Tag(m_Data, rec, "kern")) kern = off, nKernLen = len;
    else if (Tag(m_Data, rec, "glyf")) m_nGlyf = off, m_nGlyfEnd = off + len;
    else if (Tag(m_Data, rec, "loca")) m_nLoca = off, m_nLocaEnd = off + len;
    else if (Tag(m_Data, rec, "hmtx")) m_nHmtx = off, m_nHmtxEnd = off + len;
  }
  if (!head || !maxp || !hhea || !cmap || !m_nGlyf || !m_nLoca || !m_nHmtx) return false;
  m_nUnitsPerEm = U16(head + 18);
  if (m_nUnitsPerEm < 16 || m_nUnitsPerEm > 16384) return false;
  m_bLongLoca = S16(head + 50) != 0;
  m_nGlyphs = U16(maxp + 4);
  // loca holds one offset more than there are glyphs.
  const size_t nLocaEntries = (m_nLocaEnd - m_nLoca) / (m_bLongLoca ? 4 : 2);
  if (nLocaEntries == 0) return false;
  m_nGlyphs = std::min<uint32_t>(m_nGlyphs, static_cast<uint32_t>(nLocaEntries - 1));
  m_nHMetrics = std::min<uint32_t>(U16(hhea + 34), static_cast<uint32_t>((m_nHmtxEnd - m_nHmtx) / 4));
  if (m_nGlyphs == 0 || m_nHMetrics == 0) return false;

  // The character map: a full Unicode map (format 12) before the basic plane's (format
  // 4), a symbol font's map last.
  int nBest = 0;
  const uint32_t nMaps = U16(cmap + 2);
  for (uint32_t i = 0; i < nMaps && Has(cmap + 4 + 8 * static_cast<size_t>(i), 8); ++i) {
    const size_t rec = cmap + 4 + 8 * static_cast<size_t>(i);
    const uint32_t nPlatform = U16(rec), nEncoding = U16(rec + 2);
    const size_t off = cmap + U32(rec + 4);
    if (U32(rec + 4) >= nCmapLen) continue;
    const uint32_t nFormat = U16(off);
    int nRank = 0;
    if (nFormat == 12 && (nPlatform == 0 || (nPlatform == 3 && nEncoding == 10))) nRank = 3;
    else if (nFormat == 4 && (nPlatform == 0 || (nPlatform == 3 && nEncoding == 1))) nRank = 2;
    else if (nFormat == 4 && nPlatform == 3 && nEncoding == 0) nRank = 1;
    if (nRank > nBest) nBest = nRank, m_nCmap = off, m_nCmapFormat = nFormat, m_bSymbol = nRank == 1;
  }
  if (!m_nCmap) return false;

  // Kerning: the horizontal pairs of a Microsoft-style kern table (format 0), each
  // subtable read within its own length, values of several subtables added.
  if (kern && U16(kern) == 0) {
    const size_t end = kern + nKernLen;
    size_t sub = kern + 4;
    const uint32_t nSubtables = U16(kern + 2);
    for (uint32_t i = 0; i < nSubtables && sub + 14 <= end; ++i) {
      const size_t nLength = U16(sub + 2);
      const uint32_t nCoverage = U16(sub + 4);
      if (nLength < 14 || nLength > end - sub) break;
      // Format 0, horizontal, kerning values (not minimums), along the line.
      if ((nCoverage >> 8) == 0 && (nCoverage & 0x7) == 1) {
        const size_t nPairs = std::min<size_t>(U16(sub + 6), (nLength - 14) / 6);
        for (size_t p = 0; p < nPairs; ++p) {
          const size_t pair = sub + 14 + 6 * p;
          int16_t& v = m_Kerning[U16(pair) << 16 | U16(pair + 2)];
          v = static_cast<int16_t>(std::clamp<int32_t>(v + S16(pair + 4), -32768, 32767));
        }
      }
      sub += nLength;
    }
  }
  return true;
}

uint32_t TTrueTypeFace::GlyphIndex(char32_t c) const {
  if (!m_nCmap) return 0;
  uint32_t code = static_cast<uint32_t>(c);
  if (m_bSymbol && code < 0x100) code += 0xF000;
  uint32_t g = 0;
  if (m_nCmapFormat == 12) {
    const uint32_t nGroups = U32(m_nCmap + 12);
    size_t lo = 0, hi = nGroups;
    if (!Has(m_nCmap + 16, 12 * static_cast<size_t>(nGroups))) hi = (m_Data.size() - std::min(m_Data.size(), m_nCmap + 16)) / 12;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2, grp = m_nCmap + 16 + 12 * mid;
      const uint32_t start = U32(grp), end = U32(grp + 4);
      if (code < start) hi = mid;
      else if (code > end) lo = mid + 1;
      else {
        g = U32(grp + 8) + (code - start);
        break;
      }
    }
  } else if (code <= 0xFFFF) {
    const size_t nSegments = U16(m_nCmap + 6) / 2;
    const size_t ends = m_nCmap + 14, starts = ends + 2 * nSegments + 2, deltas = starts + 2 * nSegments,
                 ranges = deltas + 2 * nSegments;
    if (!Has(ranges, 2 * nSegments)) return 0;
    // The first segment whose end is at or past the code.
    size_t lo = 0, hi = nSegments;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (U16(ends + 2 * mid) < code) lo = mid + 1;
      else hi = mid;
    }
    if (lo == nSegments || U16(starts + 2 * lo) > code) return 0;
    const uint32_t nDelta = U16(deltas + 2 * lo), nRange = U16(ranges + 2 * lo);
    if (nRange == 0) {
      g = (code + nDelta) & 0xFFFF;
    } else {
      const size_t at = ranges + 2 * lo + nRange + 2 * static_cast<size_t>(code - U16(starts + 2 * lo));
      g = U16(at);
      if (g) g = (g + nDelta) & 0xFFFF;
    }
  }
  return g < m_nGlyphs ? g : 0;
}

bool TTrueTypeFace::GlyphRange(uint32_t nGlyph, size_t& nStart, size_t& nEnd) const {
  if (nGlyph >= m_nGlyphs) return false;
  size_t a, b;
  if (m_bLongLoca) a = U32(m_nLoca + 4 * static_cast<size_t>(nGlyph)), b = U32(m_nLoca + 4 * static_cast<size_t>(nGlyph) + 4);
  else a = 2 * static_cast<size_t>(U16(m_nLoca + 2 * static_cast<size_t>(nGlyph))), b = 2 * static_cast<size_t>(U16(m_nLoca + 2 * static_cast<size_t>(nGlyph) + 2));
  if (b < a || b > m_nGlyfEnd - m_nGlyf) return false;
  nStart = m_nGlyf + a, nEnd = m_nGlyf + b;
  return true;
}

double TTrueTypeFace::Advance(uint32_t nGlyph) const {
  const uint32_t i = std::min(nGlyph, m_nHMetrics - 1);
  return U16(m_nHmtx + 4 * static_cast<size_t>(i));
}

double TTrueTypeFace::Kerning(uint32_t nLeft, uint32_t nRight) const {
  if (m_Kerning.empty()) return 0.0;
  const auto it = m_Kerning.find(nLeft << 16 | nRight);
  return it == m_Kerning.end() ? 0.0 : it->second;
}

bool TTrueTypeFace::Contours(uint32_t nGlyph, std::vector<std::vector<TOutlinePoint>>& Out) const {
  Out.clear();
  const double I[6] = {1, 0, 0, 1, 0, 0};
  size_t nBudget = c_nMaxGlyphPoints;
  return AddContours(nGlyph, I, 0, nBudget, Out);
}

// M maps a point of the glyph: (M0 x + M1 y + M4, M2 x + M3 y + M5).
bool TTrueTypeFace::AddContours(uint32_t nGlyph, const double M[6], int nDepth, size_t& nBudget,
                                std::vector<std::vector<TOutlinePoint>>& Out) const {
  size_t o, end;
  if (!GlyphRange(nGlyph, o, end)) return false;
  if (o == end) return true;  // a glyph without outline, as the space
  if (end - o < 10) return false;
  const int32_t nContours = S16(o);
  if (nContours >= 0) {
    // A simple glyph: the contours' last point numbers, the instructions (skipped), then
    // the flags and the coordinates, each coordinate a step from the one before.
    size_t p = o + 10;
    if (p + 2 * static_cast<size_t>(nContours) + 2 > end) return false;
    // Contours count against the budget as points do, before anything is made of them.
    if (static_cast<size_t>(nContours) > nBudget) return false;
    nBudget -= static_cast<size_t>(nContours);
    std::vector<uint32_t> ends(static_cast<size_t>(nContours));
    for (int32_t i = 0; i < nContours; ++i, p += 2) {
      ends[i] = U16(p);
      if (i > 0 && ends[i] < ends[i - 1]) return false;
    }
    if (nContours == 0) return true;
    const size_t nPoints = static_cast<size_t>(ends.back()) + 1;
    if (nPoints > nBudget) return false;  // no real glyph has so many points
    nBudget -= nPoints;
    p += 2 + U16(p);
    std::vector<uint8_t> flags(nPoints);
    for (size_t i = 0; i < nPoints;) {
      if (p >= end) return false;
      const uint8_t f = static_cast<uint8_t>(U8(p++));
      flags[i++] = f;
      if (f & 8) {
        if (p >= end) return false;
        for (uint32_t r = U8(p++); r > 0 && i < nPoints; --r) flags[i++] = f;
      }
    }
    std::vector<TOutlinePoint> pts(nPoints);
    for (int axis = 0; axis < 2; ++axis) {
      const uint8_t nShort = axis == 0 ? 2 : 4, nSame = axis == 0 ? 16 : 32;
      int32_t v = 0;
      for (size_t i = 0; i < nPoints; ++i) {
        const uint8_t f = flags[i];
        if (f & nShort) {
          if (p + 1 > end) return false;
          const int32_t d = static_cast<int32_t>(U8(p++));
          v += (f & nSame) ? d : -d;
        } else if (!(f & nSame)) {
          if (p + 2 > end) return false;
          v += S16(p);
          p += 2;
        }
        (axis == 0 ? pts[i].fX : pts[i].fY) = v;
        pts[i].bOn = (f & 1) != 0;
      }
    }
    size_t first = 0;
    for (uint32_t e : ends) {
      std::vector<TOutlinePoint> contour;
      for (size_t i = first; i <= e; ++i) {
        const TOutlinePoint& q = pts[i];
        contour.push_back(TOutlinePoint{M[0] * q.fX + M[1] * q.fY + M[4], M[2] * q.fX + M[3] * q.fY + M[5], q.bOn});
      }
      first = static_cast<size_t>(e) + 1;
      if (contour.size() >= 2) Out.push_back(std::move(contour));
    }
    return true;
  }
  // A composite glyph: other glyphs, each moved and perhaps scaled.
  if (nDepth >= c_nMaxCompositeDepth) return false;
  size_t p = o + 10;
  for (;;) {
    if (p + 4 > end) return false;
    const uint32_t f = U16(p), nPart = U16(p + 2);
    p += 4;
    if (nBudget == 0) return false;  // each part counts as a point, so nesting cannot explode
    --nBudget;
    double dx = 0, dy = 0;
    if (f & 1) {  // words
      if (p + 4 > end) return false;
      if (f & 2) dx = S16(p), dy = S16(p + 2);
      p += 4;
    } else {
      if (p + 2 > end) return false;
      if (f & 2) dx = static_cast<int8_t>(U8(p)), dy = static_cast<int8_t>(U8(p + 1));
      p += 2;
    }
    // Without "x and y values" the arguments name points to be matched; the part is
    // left where it stands.
    double a = 1, b = 0, c = 0, d = 1;
    auto f2dot14 = [&](size_t at) { return S16(at) / 16384.0; };
    if (f & 8) {
      if (p + 2 > end) return false;
      a = d = f2dot14(p);
      p += 2;
    } else if (f & 0x40) {
      if (p + 4 > end) return false;
      a = f2dot14(p), d = f2dot14(p + 2);
      p += 4;
    } else if (f & 0x80) {
      if (p + 8 > end) return false;
      a = f2dot14(p), b = f2dot14(p + 2), c = f2dot14(p + 4), d = f2dot14(p + 6);
      p += 8;
    }
    // The part's own map (x' = a x + c y + dx, y' = b x + d y + dy), then M.
    const double P[6] = {a, c, b, d, dx, dy};
    const double R[6] = {M[0] * P[0] + M[1] * P[2], M[0] * P[1] + M[1] * P[3], M[2] * P[0] + M[3] * P[2],
                         M[2] * P[1] + M[3] * P[3], M[0] * P[4] + M[1] * P[5] + M[4], M[2] * P[4] + M[3] * P[5] + M[5]};
    if (nPart != nGlyph && !AddContours(nPart, R, nDepth + 1, nBudget, Out)) return false;
    if (!(f & 0x20)) break;  // no more parts
  }
  return true;
}

}  // namespace veltrane
