// The plot's canvas on a QPainter. Consecutive segments of one pen are collected and
// drawn as one polyline, so that a program of a million moves paints in a few calls.
#pragma once

#include <QPainter>
#include <QPoint>
#include <QVector>

#include "plot/Canvas.h"

namespace veltrane {

class TPainterCanvas : public ICanvas {
 public:
  explicit TPainterCanvas(QPainter& Painter);
  ~TPainterCanvas() override;
  void FillRect(int x0, int y0, int x1, int y1, TColor c) override;
  void SetPen(TColor c, int nWidth, bool bDashed) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& s) override;
  void Flush();

  static QColor ToQColor(TColor c) { return QColor(c.r, c.g, c.b); }

 private:
  QPainter& m_Painter;
  TColor m_Pen{0, 0, 0};
  int m_nPenWidth = 1;
  bool m_bDashed = false;
  QPoint m_Pos;
  QVector<QPoint> m_Run;
};

}  // namespace veltrane
