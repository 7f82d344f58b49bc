// The drawing in memory, read line by line: each line is trimmed of blanks and control
// characters; LF, CR LF and lone CR all end a line, and so does LF CR in a file whose first
// line ends that way. Rewinding replaces reopening the file.
#pragma once

#include <string>
#include <string_view>

namespace veltrane {

// Sees every line of the drawing once, in order, while a pass reads it: stepping back
// and reading a line again does not show it twice.
class IDXFLineObserver {
 public:
  virtual ~IDXFLineObserver() = default;
  virtual void Line(std::string_view strLine) = 0;
};

class TDXFLines {
 public:
  // Takes the file's bytes; a UTF-8 byte-order mark is skipped. A binary DXF, or one
  // written in UTF-16 or UTF-32, raises EDXFError naming it, as its lines mean nothing as
  // text here.
  explicit TDXFLines(std::string strBuffer);

  bool Next(std::string_view& strLine);  // false at the end of the file
  void Rewind() { m_nPos = m_nStart; m_nLine = 0; }
  // Steps back over the last line read, once: the next Next() reads it again.
  void Back() { m_nPos = m_nLastPos; m_nLine = m_nLastLine; }
  int LineNumber() const { return m_nLine; }  // 1-based number of the last line read
  // Shows every line read from here on to pObserver (null: none).
  void SetObserver(IDXFLineObserver* pObserver) {
    m_pObserver = pObserver;
    m_nObserved = m_nLine;
  }
  bool AtEnd() const { return m_nPos >= m_Buffer.size(); }
  // How far the reading has come, in bytes of the drawing, and the drawing's size.
  size_t Position() const { return m_nPos - m_nStart; }
  size_t Size() const { return m_Buffer.size() - m_nStart; }
  // Where a drawing cut short ends: empty when its last pair is "0" "EOF", or when it ends
  // between sections (some writers leave EOF out); else "the file ends inside the ENTITIES
  // section at line 812" (in a table or a block, it says so).
  std::string Truncation() const;

 private:
  std::string m_Buffer;
  size_t m_nStart = 0;
  size_t m_nPos = 0, m_nLastPos = 0;
  int m_nLine = 0, m_nLastLine = 0;
  bool m_bLfCr = false;  // "\n\r" is one line end
  IDXFLineObserver* m_pObserver = nullptr;
  int m_nObserved = 0;  // the last line shown to it
};

}  // namespace veltrane
