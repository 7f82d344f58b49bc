// Line reader over the drawing's bytes.
#include "dxf/DXFLines.h"

#include <cstring>

#include "dxf/DXFRecords.h"
#include "model/Text.h"

namespace veltrane {

TDXFLines::TDXFLines(std::string strBuffer) : m_Buffer(std::move(strBuffer)) {
  static const char c_sBinarySentinel[] = "AutoCAD Binary DXF";
  if (m_Buffer.compare(0, sizeof c_sBinarySentinel - 1, c_sBinarySentinel) == 0)
    throw EDXFError("This is a binary DXF file; save the drawing as ASCII DXF and import it again", 0);
  if (m_Buffer.size() >= 3 && m_Buffer.compare(0, 3, "\xEF\xBB\xBF") == 0) m_nStart = 3;
  m_nPos = m_nStart;
}

bool TDXFLines::Next(std::string_view& strLine) {
  const size_t n = m_Buffer.size();
  if (m_nPos >= n) return false;
  const char* base = m_Buffer.data();
  const char* p = base + m_nPos;
  const char* end = base + n;
  const char* q = p;
  while (q < end && *q != '\n' && *q != '\r') ++q;
  strLine = TrimView(std::string_view(p, static_cast<size_t>(q - p)));
  if (q < end) {
    if (*q == '\r' && q + 1 < end && q[1] == '\n') ++q;
    ++q;
  }
  m_nPos = static_cast<size_t>(q - base);
  ++m_nLine;
  return true;
}

}  // namespace veltrane
