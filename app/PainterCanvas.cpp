// QPainter adapter of the plot's canvas.
#include "app/PainterCanvas.h"

#include <QPen>

namespace veltrane {

TPainterCanvas::TPainterCanvas(QPainter& Painter) : m_Painter(Painter) {
  m_Painter.setRenderHint(QPainter::Antialiasing, false);
  m_Painter.setBrush(Qt::NoBrush);
  m_Painter.setPen(QPen(Qt::black, 1));
}

TPainterCanvas::~TPainterCanvas() { Flush(); }

void TPainterCanvas::Flush() {
  if (m_Run.size() >= 2) m_Painter.drawPolyline(m_Run.constData(), static_cast<int>(m_Run.size()));
  m_Run.clear();
}

void TPainterCanvas::FillRect(int x0, int y0, int x1, int y1, TColor c) {
  Flush();
  m_Painter.fillRect(QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)), ToQColor(c));
}

void TPainterCanvas::SetPen(TColor c, int nWidth, bool bDashed) {
  if (c == m_Pen && nWidth == m_nPenWidth && bDashed == m_bDashed) return;
  Flush();
  m_Pen = c;
  m_nPenWidth = nWidth;
  m_bDashed = bDashed;
  QPen pen(ToQColor(c), nWidth, bDashed ? Qt::DashLine : Qt::SolidLine);
  m_Painter.setPen(pen);
}

void TPainterCanvas::MoveTo(int x, int y) {
  if (QPoint(x, y) == m_Pos && !m_Run.isEmpty()) return;  // the polyline goes on from here
  Flush();
  m_Pos = QPoint(x, y);
}

void TPainterCanvas::LineTo(int x, int y) {
  QPoint p(x, y);
  if (m_Run.isEmpty()) m_Run.push_back(m_Pos);
  // A zero-length step adds nothing the user could see.
  if (p != m_Pos) m_Run.push_back(p);
  m_Pos = p;
}

void TPainterCanvas::Ellipse(int x0, int y0, int x1, int y1) {
  Flush();
  m_Painter.drawEllipse(QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
}

void TPainterCanvas::TextOut(int x, int y, const std::string& s) {
  Flush();
  QFontMetrics fm = m_Painter.fontMetrics();
  m_Painter.drawText(QPoint(x, y + fm.ascent()), QString::fromStdString(s));
}

}  // namespace veltrane
