// SVG output of the plot.
#include "plot/SvgCanvas.h"

#include <cstdio>

namespace veltrane {

namespace {

std::string Hex(TColor c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
  return buf;
}

std::string Escape(const std::string& s) {
  std::string r;
  for (char ch : s) {
    switch (ch) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default: r += ch;
    }
  }
  return r;
}

}  // namespace

TSvgCanvas::TSvgCanvas(int nWidth, int nHeight) : m_nWidth(nWidth), m_nHeight(nHeight) {
  m_Out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << nWidth << "\" height=\"" << nHeight
        << "\" viewBox=\"0 0 " << nWidth << ' ' << nHeight << "\">\n";
}

std::string TSvgCanvas::PenAttributes() const {
  std::string s = "fill=\"none\" stroke=\"" + Hex(m_Pen) + "\" stroke-width=\"" + std::to_string(m_nPenWidth) + "\"";
  if (m_bDashed) s += " stroke-dasharray=\"4 2\"";
  return s;
}

void TSvgCanvas::Flush() {
  if (m_Run.size() >= 2) {
    m_Out << "<polyline " << PenAttributes() << " points=\"";
    for (size_t i = 0; i < m_Run.size(); ++i) m_Out << (i ? " " : "") << m_Run[i].first << ',' << m_Run[i].second;
    m_Out << "\"/>\n";
  }
  m_Run.clear();
}

void TSvgCanvas::FillRect(int x0, int y0, int x1, int y1, TColor c) {
  Flush();
  m_Out << "<rect x=\"" << x0 << "\" y=\"" << y0 << "\" width=\"" << (x1 - x0) << "\" height=\"" << (y1 - y0)
        << "\" fill=\"" << Hex(c) << "\"/>\n";
}

void TSvgCanvas::SetPen(TColor c, int nWidth, bool bDashed) {
  if (c == m_Pen && nWidth == m_nPenWidth && bDashed == m_bDashed) return;
  Flush();
  m_Pen = c;
  m_nPenWidth = nWidth;
  m_bDashed = bDashed;
}

void TSvgCanvas::MoveTo(int x, int y) {
  if (x == m_nX && y == m_nY && !m_Run.empty()) return;
  Flush();
  m_nX = x;
  m_nY = y;
}

void TSvgCanvas::LineTo(int x, int y) {
  if (m_Run.empty()) m_Run.emplace_back(m_nX, m_nY);
  m_Run.emplace_back(x, y);
  m_nX = x;
  m_nY = y;
}

void TSvgCanvas::Ellipse(int x0, int y0, int x1, int y1) {
  Flush();
  m_Out << "<ellipse cx=\"" << (x0 + x1) / 2.0 << "\" cy=\"" << (y0 + y1) / 2.0 << "\" rx=\"" << (x1 - x0) / 2.0
        << "\" ry=\"" << (y1 - y0) / 2.0 << "\" " << PenAttributes() << "/>\n";
}

void TSvgCanvas::TextOut(int x, int y, const std::string& s) {
  Flush();
  m_Out << "<text x=\"" << x << "\" y=\"" << y << "\" font-family=\"Arial\" font-size=\"8pt\" font-weight=\"bold\" "
        << "dominant-baseline=\"hanging\" fill=\"#000000\">" << Escape(s) << "</text>\n";
}

std::string TSvgCanvas::Text() {
  Flush();
  return m_Out.str() + "</svg>\n";
}

}  // namespace veltrane
