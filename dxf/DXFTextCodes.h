// The characters a drawing's texts stand for: the "%%" codes of TEXT and ATTRIB, and
// MTEXT's inline codes (paragraphs, fonts, heights, widths, oblique, tracking,
// alignment, stacked fractions), read into lines of runs that share one format.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// UTF-8 to code points; a byte that starts no character stands for itself (Latin-1).
std::u32string Utf8ToCodePoints(std::string_view s);
std::string CodePointsToUtf8(std::u32string_view s);

// A TEXT's or ATTRIB's string with its "%%" codes resolved: %%c, %%d, %%p give the
// diameter, degree and plus-minus signs, %%% a percent sign, %%nnn the character with
// that number; %%u, %%o, %%k (under-, over-, strike-lines) are dropped.
std::u32string ResolvePercentCodes(std::u32string_view s);

// One stretch of MTEXT in one format. Heights and factors are absolute values.
struct TMTextRun {
  std::u32string strText;
  std::string strFont;       // empty: the style's font
  double fHeight = 1.0;
  double fWidthFactor = 1.0;
  double fOblique = 0.0;     // degrees
  double fTracking = 1.0;    // factor on the space between characters
  int nAlign = 0;            // \A: 0 bottom, 1 centre, 2 top of the line
  bool bStacked = false;     // the upper part of a stacked fraction...
  std::u32string strLower;   // ...and its lower part
  char cStackType = 0;       // '/', '#' or '^'
};

struct TMTextLine {
  std::vector<TMTextRun> Runs;
};

// The lines of an MTEXT's content (codes 3 and 1 joined): \P and line ends break lines,
// \N (a column break) too. fHeight is the entity's text height, strFont empty.
std::vector<TMTextLine> ParseMText(std::u32string_view s, double fHeight, double fWidthFactor);

// The plain text of the lines: runs joined, lines by "\n", a stack as upper, type,
// lower.
std::u32string PlainMText(const std::vector<TMTextLine>& Lines);

// Lines wider than fWidth (as Measure finds them) broken at their spaces: each line takes
// as many words as fit, at least one; a line's trailing spaces do not count. A word may
// run across several runs; a stacked fraction is a word of its own.
std::vector<TMTextLine> WrapMTextLines(const std::vector<TMTextLine>& Lines, double fWidth,
                                       const std::function<double(const TMTextLine&)>& Measure);

// "'é' (U+00E9)": a character as the import report names it.
std::string CharName(char32_t c);

}  // namespace veltrane
