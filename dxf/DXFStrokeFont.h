// Single-stroke fonts for drawing texts as tool paths: LibreCAD's LFF fonts (each glyph
// a few polylines of lines and arcs, cap height 9 units), and the library that finds a
// style's font by name, with a fallback the import report can name.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dxf/DXFRecords.h"

namespace veltrane {

// One glyph: its strokes in font units (bulge on a vertex: the segment to the next one,
// as in DXF) and how far the pen moves on after it.
struct TStrokeGlyph {
  std::vector<std::vector<TDXFVertex>> Strokes;
  double fRight = 0.0;  // the largest X of its strokes, 0 for none
};

class TStrokeFont {
 public:
  // The height of a capital letter in font units: a text of height h is scaled by h / 9.
  static constexpr double c_fCapHeight = 9.0;
  // Reads an LFF file; false when it cannot be read or holds no glyph.
  bool Load(const std::string& strPath);
  // Parses LFF text (for tests and fonts held in memory).
  bool Parse(const std::string& strText);
  const TStrokeGlyph* Glyph(char32_t c) const;
  double LetterSpacing() const { return m_fLetterSpacing; }
  double WordSpacing() const { return m_fWordSpacing; }
  double LineSpacingFactor() const { return m_fLineSpacingFactor; }
  size_t GlyphCount() const { return m_Glyphs.size(); }
  std::string strName;  // the file's name without its folder and extension

 private:
  std::unordered_map<char32_t, TStrokeGlyph> m_Glyphs;
  double m_fLetterSpacing = 3.0, m_fWordSpacing = 6.75, m_fLineSpacingFactor = 1.0;
};

// Finds fonts in the user's folder first, then in the system's LibreCAD fonts folder.
// Fonts are read once per library, when first asked for.
class TFontLibrary {
 public:
  // strUserFolder may be empty. The system folders are searched after it.
  explicit TFontLibrary(const std::string& strUserFolder);
  // The folders searched, in order.
  const std::vector<std::string>& Folders() const { return m_Folders; }
  // The font for a style's font file name ("txt", "romans.shx", "arial.ttf", ""), and,
  // when it is not the font asked for, a note saying what stands in for it. Null when
  // no single-stroke font is installed at all.
  const TStrokeFont* FontFor(const std::string& strStyleFont, std::string& strNote);
  // The glyph of c from pFont, else from the first font of the fallback chain (the
  // "unicode" font, then every other installed font) that has it; pUsed tells which.
  // Null when no font has it.
  const TStrokeGlyph* Glyph(const TStrokeFont* pFont, char32_t c, const TStrokeFont*& pUsed);
  // A font by its file name without extension, or null.
  const TStrokeFont* Named(const std::string& strName);
  // The single-stroke font for a style font name: the name itself, else its SHX or
  // TrueType counterpart ("txt" is "standard", "isocp" is "iso", "arial" is "standard").
  static std::string StrokeFontName(const std::string& strStyleFont);
  static bool IsTrueTypeName(const std::string& strStyleFont);

 private:
  std::string FindFile(const std::string& strName) const;
  std::vector<std::string> m_Folders;
  std::map<std::string, std::unique_ptr<TStrokeFont>> m_Loaded;  // null: not found
  std::vector<std::string> m_AllNames;  // every font file of the folders, sorted
  bool m_bAllListed = false;
  std::unordered_map<char32_t, const TStrokeFont*> m_FallbackCache;
};

}  // namespace veltrane
