// Line reader over the drawing's bytes.
#include "dxf/DXFLines.h"

#include <cstring>
#include <vector>

#include "dxf/DXFRecords.h"
#include "model/Text.h"

namespace veltrane {

TDXFLines::TDXFLines(std::string strBuffer) : m_Buffer(std::move(strBuffer)) {
  static const char c_sBinarySentinel[] = "AutoCAD Binary DXF";
  if (m_Buffer.compare(0, sizeof c_sBinarySentinel - 1, c_sBinarySentinel) == 0)
    throw EDXFError("This is a binary DXF file; save the drawing as ASCII DXF and import it again", 0);
  // Wide text: a byte-order mark, or the NUL bytes that ASCII characters carry there.
  const auto byte = [&](size_t i) { return i < m_Buffer.size() ? static_cast<unsigned char>(m_Buffer[i]) : 0x100u; };
  const bool bUtf32 = (byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0) ||
                      (byte(0) == 0 && byte(1) == 0 && byte(2) == 0xFE && byte(3) == 0xFF);
  const bool bUtf16 = (byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) ||
                      (m_Buffer.size() >= 4 && ((byte(0) == 0) != (byte(1) == 0)) && ((byte(2) == 0) != (byte(3) == 0)));
  if (bUtf32 || bUtf16)
    throw EDXFError(std::string("The drawing is written in ") + (bUtf32 ? "UTF-32" : "UTF-16") +
                        "; save it as ASCII DXF and import it again",
                    0);
  if (m_Buffer.size() >= 3 && m_Buffer.compare(0, 3, "\xEF\xBB\xBF") == 0) m_nStart = 3;
  m_nPos = m_nStart;
  const size_t nEnd = m_Buffer.find_first_of("\r\n", m_nStart);
  m_bLfCr = nEnd != std::string::npos && m_Buffer[nEnd] == '\n' && nEnd + 1 < m_Buffer.size() &&
            m_Buffer[nEnd + 1] == '\r';
}

bool TDXFLines::Next(std::string_view& strLine) {
  const size_t n = m_Buffer.size();
  if (m_nPos >= n) return false;
  m_nLastPos = m_nPos;
  m_nLastLine = m_nLine;
  const char* base = m_Buffer.data();
  const char* p = base + m_nPos;
  const char* end = base + n;
  const char* q = p;
  while (q < end && *q != '\n' && *q != '\r') ++q;
  // Trimmed as TrimView does, here where it is done for every line.
  const char* a = p;
  const char* b = q;
  while (a < b && static_cast<unsigned char>(*a) <= 32) ++a;
  while (b > a && static_cast<unsigned char>(b[-1]) <= 32) --b;
  strLine = std::string_view(a, static_cast<size_t>(b - a));
  if (q < end) {
    if (q + 1 < end && ((*q == '\r' && q[1] == '\n') || (m_bLfCr && *q == '\n' && q[1] == '\r'))) ++q;
    ++q;
  }
  m_nPos = static_cast<size_t>(q - base);
  ++m_nLine;
  if (m_pObserver && m_nLine > m_nObserved) {
    m_nObserved = m_nLine;
    m_pObserver->Line(strLine);
  }
  return true;
}

std::string TDXFLines::Truncation() const {
  // The lines from the end backwards, trimmed; the first one seen is the last.
  const std::string_view text(m_Buffer.data() + m_nStart, m_Buffer.size() - m_nStart);
  std::vector<std::string_view> last;
  std::string strSection, strInner;
  bool bSectionOpen = false, bDone = false;
  bool bBlockKnown = false, bTableKnown = false;
  size_t nEnd = text.size();
  bool bUnended = !text.empty() && text.back() != '\n' && text.back() != '\r';
  while (!bDone && nEnd > 0) {
    size_t nStart = text.find_last_of("\r\n", nEnd - 1);
    nStart = nStart == std::string_view::npos ? 0 : nStart + 1;
    const std::string_view line = TrimView(text.substr(nStart, nEnd - nStart));
    nEnd = nStart > 0 ? nStart - 1 : 0;
    if (nStart == 0) bDone = true;
    if (last.size() < 2 && !line.empty()) {
      last.push_back(line);
      if (last.size() == 2 && last[0] == "EOF" && last[1] == "0") return {};
    }
    // A last line without its line end may be a name cut in the middle ("TAB" of
    // "TABLES"); the words that open and close sections have no longer form.
    const bool bMaybeCut = bUnended;
    bUnended = false;
    if (line == "ENDSEC") return {};  // cut between sections: nothing of one is missing
    if (line == "SECTION") {
      bSectionOpen = true;
      break;
    }
    if (bMaybeCut) continue;
    if (!bTableKnown && (line == "ENDTAB" || line == "TABLE")) {
      bTableKnown = true;
      if (line == "TABLE" && strInner.empty()) strInner = "a table";
    }
    if (!bBlockKnown && (line == "ENDBLK" || line == "BLOCK")) {
      bBlockKnown = true;
      if (line == "BLOCK" && strInner.empty()) strInner = "a block";
    }
    if (!line.empty() && line != "2" && line != "0") strSection = std::string(line.substr(0, 40));
  }
  if (!bSectionOpen) return {};
  // The line count of the whole file, as the reader numbers lines.
  int nLines = 0;
  for (size_t i = 0; i < text.size(); ++nLines) {
    while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
    if (i + 1 < text.size() && ((text[i] == '\r' && text[i + 1] == '\n') || (m_bLfCr && text[i] == '\n' && text[i + 1] == '\r'))) ++i;
    ++i;
  }
  std::string s = strSection.empty() ? "the file ends inside a section" : "the file ends inside the " + strSection + " section";
  if (!strInner.empty()) s += " (in " + strInner + ")";
  return s + " at line " + std::to_string(nLines);
}

}  // namespace veltrane
