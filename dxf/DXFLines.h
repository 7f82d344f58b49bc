// The drawing in memory, read line by line: each line is trimmed of blanks and control
// characters; LF, CR LF and lone CR all end a line. Rewinding replaces reopening the file.
#pragma once

#include <string>
#include <string_view>

namespace veltrane {

class TDXFLines {
 public:
  // Takes the file's bytes; a UTF-8 byte-order mark is skipped. A binary DXF raises
  // EDXFError, as its lines mean nothing as text.
  explicit TDXFLines(std::string strBuffer);

  bool Next(std::string_view& strLine);  // false at the end of the file
  void Rewind() { m_nPos = m_nStart; m_nLine = 0; }
  int LineNumber() const { return m_nLine; }  // 1-based number of the last line read
  bool AtEnd() const { return m_nPos >= m_Buffer.size(); }
  // How far the reading has come, in bytes of the drawing, and the drawing's size.
  size_t Position() const { return m_nPos - m_nStart; }
  size_t Size() const { return m_Buffer.size() - m_nStart; }

 private:
  std::string m_Buffer;
  size_t m_nStart = 0;
  size_t m_nPos = 0;
  int m_nLine = 0;
};

}  // namespace veltrane
