// Fonts for drawing texts as tool paths: LibreCAD's single-stroke LFF fonts (each glyph a
// few polylines of lines and arcs, cap height 9 units) and TrueType outline fonts (each
// glyph its closed outlines, scaled to the same cap height), and the library that finds a
// style's font by name, with a fallback the import report can name.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dxf/DXFOutlineFont.h"
#include "dxf/DXFRecords.h"

namespace veltrane {

// One glyph: its strokes in font units (bulge on a vertex: the segment to the next one,
// as in DXF) and how far the pen moves on after it.
struct TStrokeGlyph {
  std::vector<std::vector<TDXFVertex>> Strokes;
  double fRight = 0.0;  // the largest X of its strokes (an outline glyph: its advance), 0 for none
  // Outline glyphs: the least and largest X of the outline's points, control points
  // included (left > right: no outline), and each contour as quadratic pieces, start,
  // control, end, control, end ... back to the start (a straight piece's control point
  // is its middle). Strokes hold the same contours as short moves.
  double fInkLeft = 1.0, fInkRight = 0.0;
  std::vector<std::vector<TfPoint>> Quads;
};

class TStrokeFont {
 public:
  // The height of a capital letter in font units: a text of height h is scaled by h / 9.
  static constexpr double c_fCapHeight = 9.0;
  // Reads an LFF file; false when it cannot be read or holds no glyph.
  bool Load(const std::string& strPath);
  // Parses LFF text (for tests and fonts held in memory).
  bool Parse(const std::string& strText);
  // Reads face nFace of a TrueType font; its glyphs are made from their outlines when
  // first asked for. False when the file holds no TrueType outlines.
  bool LoadOutline(const std::string& strPath, uint32_t nFace = 0);
  bool ParseOutline(std::string strData, uint32_t nFace = 0);
  bool IsOutline() const { return m_pFace != nullptr; }
  const TStrokeGlyph* Glyph(char32_t c) const;
  // The pen's move between two characters beside their advances (TrueType kerning), in
  // font units.
  double Kerning(char32_t cLeft, char32_t cRight) const;
  // How far the descender of "p" reaches below the baseline, in font units.
  double Descent() const { return m_fDescent; }
  double LetterSpacing() const { return m_fLetterSpacing; }
  double WordSpacing() const { return m_fWordSpacing; }
  double LineSpacingFactor() const { return m_fLineSpacingFactor; }
  size_t GlyphCount() const { return m_Glyphs.size(); }
  std::string strName;  // the file's name without its folder and extension

 private:
  void UseFace(std::shared_ptr<TTrueTypeFace> face);
  // An outline font fills m_Glyphs as glyphs are asked for, and m_Missing with the
  // characters it lacks.
  mutable std::unordered_map<char32_t, TStrokeGlyph> m_Glyphs;
  mutable std::unordered_set<char32_t> m_Missing;
  std::shared_ptr<const TTrueTypeFace> m_pFace;
  double m_fScale = 1.0;  // font units per outline unit
  double m_fLetterSpacing = 3.0, m_fWordSpacing = 6.75, m_fLineSpacingFactor = 1.0, m_fDescent = 3.0;
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
  // The glyph of c from pFont, else from the first font of the fallback chain that has
  // it: the single-stroke fonts ("unicode", then every other installed one) and the
  // outline fonts that cover most scripts, in that order for a single-stroke font and the
  // other way round for an outline font. pUsed tells which; null when no font has it.
  const TStrokeGlyph* Glyph(const TStrokeFont* pFont, char32_t c, const TStrokeFont*& pUsed);
  // A font by its file name without extension, or null.
  const TStrokeFont* Named(const std::string& strName);
  // A TrueType font by its file name ("arial.ttf", any case), from the user's folder or
  // the system's font folders; null when none is found or it holds no outlines.
  const TStrokeFont* OutlineNamed(const std::string& strFileName);
  // The folders searched for TrueType fonts after the user's, in order.
  static std::vector<std::string> SystemOutlineFolders();
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
  std::unordered_map<char32_t, const TStrokeFont*> m_FallbackCache[2];  // single-stroke texts', outline texts'
  std::map<std::string, std::string> m_OutlineFiles;  // lower-case file name: path
  bool m_bOutlinesListed = false, m_bUserFolder = false;
};

}  // namespace veltrane
