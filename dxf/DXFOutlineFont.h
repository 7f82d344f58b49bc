// TrueType outline fonts (.ttf, .otf with TrueType outlines, the faces of a .ttc
// collection) read for their glyph outlines: the character map, the quadratic contours
// (composite glyphs resolved), the advance widths and the kerning pairs. Fonts with
// PostScript outlines (CFF) are not read. Every offset in the file is checked before it
// is followed: a damaged or hostile font gives missing glyphs, never a read outside the
// file.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace veltrane {

struct TOutlinePoint {
  double fX = 0.0, fY = 0.0;
  bool bOn = true;  // on the curve; off: the control point of a quadratic piece
};

class TTrueTypeFace {
 public:
  // Reads face nFace of a font file; false when it is no TrueType-outline font.
  bool Load(const std::string& strPath, uint32_t nFace = 0);
  bool Parse(std::string strData, uint32_t nFace = 0);
  // The glyph of a character, 0 when the font has none.
  uint32_t GlyphIndex(char32_t c) const;
  // The contours of a glyph in font units, as the file gives them: closed, each point on
  // the curve or a control point. False for a glyph that cannot be read.
  bool Contours(uint32_t nGlyph, std::vector<std::vector<TOutlinePoint>>& Out) const;
  double Advance(uint32_t nGlyph) const;
  // The kerning between two glyphs in font units (usually negative), 0 for none.
  double Kerning(uint32_t nLeft, uint32_t nRight) const;
  double UnitsPerEm() const { return m_nUnitsPerEm; }
  uint32_t GlyphCount() const { return m_nGlyphs; }

 private:
  bool AddContours(uint32_t nGlyph, const double M[6], int nDepth, size_t& nBudget,
                   std::vector<std::vector<TOutlinePoint>>& Out) const;
  bool GlyphRange(uint32_t nGlyph, size_t& nStart, size_t& nEnd) const;
  uint32_t U8(size_t o) const { return o < m_Data.size() ? static_cast<unsigned char>(m_Data[o]) : 0; }
  uint32_t U16(size_t o) const { return U8(o) << 8 | U8(o + 1); }
  int32_t S16(size_t o) const { return static_cast<int16_t>(static_cast<uint16_t>(U16(o))); }
  uint32_t U32(size_t o) const { return U16(o) << 16 | U16(o + 2); }
  bool Has(size_t o, size_t n) const { return o <= m_Data.size() && n <= m_Data.size() - o; }

  std::string m_Data;
  size_t m_nGlyf = 0, m_nGlyfEnd = 0, m_nLoca = 0, m_nLocaEnd = 0, m_nHmtx = 0, m_nHmtxEnd = 0;
  size_t m_nCmap = 0;  // the chosen subtable, 0 for none
  uint32_t m_nCmapFormat = 0;
  bool m_bSymbol = false;  // a symbol font's map holds its characters from U+F000 on
  uint32_t m_nGlyphs = 0, m_nHMetrics = 0, m_nUnitsPerEm = 1000;
  bool m_bLongLoca = false;
  std::unordered_map<uint32_t, int16_t> m_Kerning;  // left << 16 | right
};

}  // namespace veltrane
