// Resolving the codes of drawing texts into characters and formats.
#include "dxf/DXFTextCodes.h"

#include <cmath>
#include <cstdint>

#include "model/NumberFormat.h"
#include "model/Text.h"

namespace veltrane {

namespace {

constexpr char32_t c_cDiameter = 0x00D8, c_cDegree = 0x00B0, c_cPlusMinus = 0x00B1;
constexpr int c_nTabSpaces = 4;

char32_t Lower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// The special character of a "%%x" code, or 0.
char32_t PercentLetter(char32_t c) {
  switch (Lower(c)) {
    case 'c': return c_cDiameter;
    case 'd': return c_cDegree;
    case 'p': return c_cPlusMinus;
    default: return 0;
  }
}

// The MTEXT content being read, with the format in force.
class TMTextReader {
 public:
  TMTextReader(std::u32string_view s, double fHeight, double fWidth) : m_s(s) {
    m_Format.fHeight = fHeight > 0 ? fHeight : 1.0;
    m_Format.fWidthFactor = fWidth > 0 ? fWidth : 1.0;
    m_Lines.emplace_back();
  }
  std::vector<TMTextLine> Read();

 private:
  bool More() const { return m_i < m_s.size(); }
  char32_t Peek(size_t k = 0) const { return m_i + k < m_s.size() ? m_s[m_i + k] : 0; }
  void Put(char32_t c) {
    auto& runs = m_Lines.back().Runs;
    if (runs.empty() || runs.back().bStacked || !SameFormat(runs.back(), m_Format)) {
      TMTextRun r = m_Format;
      r.strText.clear();
      runs.push_back(r);
    }
    runs.back().strText += c;
  }
  static bool SameFormat(const TMTextRun& a, const TMTextRun& b) {
    return a.strFont == b.strFont && a.fHeight == b.fHeight && a.fWidthFactor == b.fWidthFactor &&
           a.fOblique == b.fOblique && a.fTracking == b.fTracking && a.nAlign == b.nAlign;
  }
  // The text up to the next ";" (or the end), which is consumed.
  std::u32string Expression(bool bEscapes) {
    std::u32string out;
    while (More()) {
      char32_t c = m_s[m_i++];
      if (bEscapes && c == '\\' && More() && Peek() == ';') {
        out += ';';
        ++m_i;
        continue;
      }
      if (c == ';') break;
      out += c;
    }
    return out;
  }
  // A number, with an "x" making it a factor on the value in force.
  double Number(double fCurrent, bool bRelative) {
    std::string digits;
    size_t k = m_i;
    if (k < m_s.size() && (m_s[k] == '+' || m_s[k] == '-')) digits += static_cast<char>(m_s[k++]);
    while (k < m_s.size() && ((m_s[k] >= '0' && m_s[k] <= '9') || m_s[k] == '.' || m_s[k] == 'e' || m_s[k] == 'E'))
      digits += static_cast<char>(m_s[k++]);
    double f = 0.0;
    if (digits.empty() || !TryStrToFloat(digits, f) || !std::isfinite(f)) return fCurrent;
    m_i = k;
    if (bRelative && Peek() == 'x') {
      ++m_i;
      return fCurrent * std::fabs(f);
    }
    return bRelative ? std::fabs(f) : f;
  }
  void Terminator() {
    if (Peek() == ';') ++m_i;
  }
  void Stack();

  std::u32string_view m_s;
  size_t m_i = 0;
  TMTextRun m_Format;
  std::vector<TMTextRun> m_Saved;  // the formats of the open "{" groups
  std::vector<TMTextLine> m_Lines;
};

void TMTextReader::Stack() {
  const std::u32string e = Expression(true);
  TMTextRun r = m_Format;
  r.strText.clear();
  r.bStacked = true;
  size_t k = 0;
  bool bLower = false;
  while (k < e.size()) {
    char32_t c = e[k++];
    bool bEscaped = false;
    if (c == '\\' && k < e.size()) {
      c = e[k++];
      bEscaped = true;
    }
    if (c < 32) c = ' ';
    if (!bLower && !bEscaped && (c == '^' || c == '/' || c == '#')) {
      r.cStackType = static_cast<char>(c);
      bLower = true;
      continue;
    }
    (bLower ? r.strLower : r.strText) += c;
  }
  m_Lines.back().Runs.push_back(r);
}

std::vector<TMTextLine> TMTextReader::Read() {
  while (More()) {
    char32_t c = m_s[m_i++];
    if (c == '\\') {
      const char32_t cmd = Peek();
      if (cmd == '\\' || cmd == '{' || cmd == '}') {
        ++m_i;
        Put(cmd);
        continue;
      }
      if (!More()) break;
      ++m_i;
      switch (cmd) {
        case '~': Put(' '); break;
        case 'P':
        case 'N': m_Lines.emplace_back(); break;
        case 'X': break;
        case 'S': Stack(); break;
        case 'L': case 'l': case 'O': case 'o': case 'K': case 'k': break;  // lines are not cut
        case 'A': {
          const char32_t a = Peek();
          if (More()) ++m_i;
          m_Format.nAlign = a >= '0' && a <= '2' ? static_cast<int>(a - '0') : 0;
          Terminator();
          break;
        }
        case 'H': m_Format.fHeight = Number(m_Format.fHeight, true); Terminator(); break;
        case 'W': m_Format.fWidthFactor = Number(m_Format.fWidthFactor, true); Terminator(); break;
        case 'T': m_Format.fTracking = Number(m_Format.fTracking, true); Terminator(); break;
        case 'Q': m_Format.fOblique = Number(m_Format.fOblique, false); Terminator(); break;
        case 'C': case 'c': Number(0.0, false); Terminator(); break;
        case 'p': Expression(false); break;
        case 'f':
        case 'F': {
          const std::u32string e = Expression(false);
          const std::u32string name = e.substr(0, e.find('|'));
          if (!name.empty()) m_Format.strFont = CodePointsToUtf8(name);
          break;
        }
        default:  // no code: the characters stand as they are
          Put('\\');
          Put(cmd);
          break;
      }
      continue;
    }
    if (c == '{') {
      m_Saved.push_back(m_Format);
      continue;
    }
    if (c == '}') {
      if (!m_Saved.empty()) {
        m_Format = m_Saved.back();
        m_Saved.pop_back();
      }
      continue;
    }
    if (c == '\n') {
      m_Lines.emplace_back();
      continue;
    }
    if (c == '\t') {
      for (int k = 0; k < c_nTabSpaces; ++k) Put(' ');
      continue;
    }
    if (c < 32) c = ' ';
    if (c == '%' && Peek() == '%' && PercentLetter(Peek(1))) {
      c = PercentLetter(Peek(1));
      m_i += 2;
    }
    Put(c);
  }
  return m_Lines;
}

}  // namespace

std::u32string Utf8ToCodePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    uint32_t c = n == 0 ? b : n == 1 ? (b & 0x1F) : n == 2 ? (b & 0x0F) : (b & 0x07);
    bool bOk = n >= 0 && i + static_cast<size_t>(n) < s.size() + (n == 0 ? 1 : 0);
    for (int k = 1; bOk && k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((t & 0xC0) != 0x80) bOk = false;
      else c = (c << 6) | (t & 0x3F);
    }
    if (!bOk) {
      out += static_cast<char32_t>(b);
      ++i;
      continue;
    }
    out += static_cast<char32_t>(c);
    i += static_cast<size_t>(n) + 1;
  }
  return out;
}

std::string CodePointsToUtf8(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) AppendUtf8(out, static_cast<uint32_t>(c));
  return out;
}

std::u32string ResolvePercentCodes(std::u32string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && s[i + 1] == '%') {
      const char32_t c = s[i + 2];
      if (const char32_t l = PercentLetter(c)) {
        out += l;
        i += 2;
        continue;
      }
      if (c == '%') {
        out += '%';
        i += 2;
        continue;
      }
      const char32_t lc = Lower(c);
      if (lc == 'u' || lc == 'o' || lc == 'k') {
        i += 2;
        continue;
      }
      if (c >= '0' && c <= '9') {
        // %%nnn: three digits give a character number.
        uint32_t n = 0;
        size_t k = i + 2;
        while (k < s.size() && k < i + 5 && s[k] >= '0' && s[k] <= '9') n = n * 10 + (s[k++] - '0');
        if (k == i + 5) {
          out += static_cast<char32_t>(n);
          i = k - 1;
          continue;
        }
      }
    }
    out += s[i];
  }
  return out;
}

std::vector<TMTextLine> ParseMText(std::u32string_view s, double fHeight, double fWidthFactor) {
  return TMTextReader(s, fHeight, fWidthFactor).Read();
}

std::u32string PlainMText(const std::vector<TMTextLine>& Lines) {
  std::u32string out;
  size_t n = Lines.size();
  if (n > 0 && Lines.back().Runs.empty()) --n;  // a break at the end opens no line
  for (size_t i = 0; i < n; ++i) {
    if (i) out += '\n';
    for (const TMTextRun& r : Lines[i].Runs) {
      out += r.strText;
      if (r.bStacked && r.cStackType) {
        out += static_cast<char32_t>(r.cStackType);
        out += r.strLower;
      }
    }
  }
  return out;
}

namespace {

// Chinese, Japanese and the like break between any two characters.
bool BreaksAnywhere(char32_t c) { return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF); }

}  // namespace

std::vector<TMTextLine> WrapMTextLines(const std::vector<TMTextLine>& Lines, double fWidth,
                                       const std::function<double(const TMTextLine&)>& Measure) {
  // A piece of one run's text; a word is the pieces up to and with its space.
  struct TPiece {
    size_t nRun;
    std::u32string strText;
  };
  using TWord = std::vector<TPiece>;
  std::vector<TMTextLine> out;
  for (const TMTextLine& line : Lines) {
    if (!(fWidth > 0) || Measure(line) <= fWidth) {
      out.push_back(line);
      continue;
    }
    std::vector<TWord> words(1);
    for (size_t r = 0; r < line.Runs.size(); ++r) {
      if (line.Runs[r].bStacked) {
        if (!words.back().empty()) words.emplace_back();
        words.back().push_back(TPiece{r, {}});
        words.emplace_back();
        continue;
      }
      std::u32string piece;
      for (char32_t c : line.Runs[r].strText) {
        if (BreaksAnywhere(c) && !piece.empty() && piece.back() != U' ') {
          words.back().push_back(TPiece{r, piece});
          piece.clear();
          words.emplace_back();
        }
        piece += c;
        if (c == U' ' || BreaksAnywhere(c)) {
          words.back().push_back(TPiece{r, piece});
          piece.clear();
          words.emplace_back();
        }
      }
      if (!piece.empty()) words.back().push_back(TPiece{r, piece});
    }
    if (words.back().empty()) words.pop_back();
    // A line of the given words; bTrim: without the spaces at its end, which take no room.
    auto build = [&](const std::vector<const TWord*>& ws, bool bTrim) {
      TMTextLine l;
      size_t nLast = SIZE_MAX;
      for (const TWord* w : ws)
        for (const TPiece& p : *w) {
          if (nLast == p.nRun && !line.Runs[p.nRun].bStacked) {
            l.Runs.back().strText += p.strText;
          } else {
            l.Runs.push_back(line.Runs[p.nRun]);
            if (!l.Runs.back().bStacked) l.Runs.back().strText = p.strText;
          }
          nLast = p.nRun;
        }
      while (bTrim && !l.Runs.empty()) {
        TMTextRun& r = l.Runs.back();
        while (!r.bStacked && !r.strText.empty() && r.strText.back() == U' ') r.strText.pop_back();
        if (r.bStacked || !r.strText.empty()) break;
        l.Runs.pop_back();
      }
      return l;
    };
    // A word of spaces alone (a stacked fraction's piece has no text but is no space).
    auto spaces = [](const TWord& w) {
      for (const TPiece& p : w)
        for (char32_t c : p.strText)
          if (c != U' ') return false;
      return w.empty() || !w.front().strText.empty();
    };
    // Greedy: the line's width grows by what a word adds after the one before it (a
    // character's place depends on its neighbour alone), so each word is measured with
    // its neighbour instead of the whole line again.
    std::vector<const TWord*> current;
    double fCurrent = 0.0;  // the current line's width with its trailing spaces
    bool bText = false;     // the current line holds more than spaces
    for (const TWord& word : words) {
      const double fLastOpen = current.empty() ? 0.0 : Measure(build({current.back()}, false));
      const std::vector<const TWord*> pair =
          current.empty() ? std::vector<const TWord*>{&word} : std::vector<const TWord*>{current.back(), &word};
      const double fAdded = Measure(build(pair, false)) - fLastOpen;
      const double fTrial = fCurrent - fLastOpen + Measure(build(pair, true));
      // Spaces never break a line: at its end they take no room.
      if (bText && !spaces(word) && fTrial > fWidth) {
        out.push_back(build(current, true));
        current = {&word};
        fCurrent = Measure(build(current, false));
        bText = !spaces(word);
      } else {
        current.push_back(&word);
        fCurrent += fAdded;
        bText = bText || !spaces(word);
      }
    }
    if (!current.empty()) out.push_back(build(current, true));
  }
  return out;
}

// "'é' (U+00E9)": a character as the import report names it.
std::string CharName(char32_t c) {
  static const char* const hex = "0123456789ABCDEF";
  std::string s = "'";
  AppendUtf8(s, static_cast<uint32_t>(c));
  s += "' (U+";
  std::string h;
  for (uint32_t n = c; n > 0 || h.size() < 4; n >>= 4) h.insert(h.begin(), hex[n & 15]);
  s += h;
  s += ")";
  return s;
}

}  // namespace veltrane
