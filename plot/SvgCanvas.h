// A canvas that writes SVG: the plot as the window draws it, for reviews and documents.
// Consecutive line segments of one pen become one polyline.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "plot/Canvas.h"

namespace veltrane {

class TSvgCanvas : public ICanvas {
 public:
  TSvgCanvas(int nWidth, int nHeight);
  void FillRect(int x0, int y0, int x1, int y1, TColor c) override;
  void SetPen(TColor c, int nWidth, bool bDashed) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& s) override;
  // The finished document.
  std::string Text();

 private:
  void Flush();
  std::string PenAttributes() const;
  std::ostringstream m_Out;
  int m_nWidth, m_nHeight;
  TColor m_Pen;
  int m_nPenWidth = 1;
  bool m_bDashed = false;
  int m_nX = 0, m_nY = 0;
  std::vector<std::pair<int, int>> m_Run;  // the polyline being collected
};

}  // namespace veltrane
