// The paint box and the panel bar.
#include "app/PaintBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>

namespace veltrane {

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (OnPaint) OnPaint(p);
}

void TPaintBox::mousePressEvent(QMouseEvent* e) {
  if (OnMousePress) OnMousePress(e);
}
void TPaintBox::mouseMoveEvent(QMouseEvent* e) {
  if (OnMouseMove) OnMouseMove(e);
}
void TPaintBox::mouseReleaseEvent(QMouseEvent* e) {
  if (OnMouseRelease) OnMouseRelease(e);
}
void TPaintBox::mouseDoubleClickEvent(QMouseEvent* e) {
  if (OnDoubleClick)
    OnDoubleClick(e);
  else
    QWidget::mouseDoubleClickEvent(e);
}
void TPaintBox::wheelEvent(QWheelEvent* e) {
  if (OnWheel) OnWheel(e);
}
void TPaintBox::keyPressEvent(QKeyEvent* e) {
  if (!OnKey || !OnKey(e)) QWidget::keyPressEvent(e);
}

TPanelBar::TPanelBar(int nPanels, QWidget* parent)
    : QWidget(parent), m_Panels(static_cast<size_t>(nPanels)) {}

void TPanelBar::SetPanelText(int i, const QString& s) {
  auto& p = m_Panels.at(static_cast<size_t>(i));
  if (p.strText == s) return;
  p.strText = s;
  update();
}

void TPanelBar::SetPanelWidth(int i, int nWidth) {
  auto& p = m_Panels.at(static_cast<size_t>(i));
  if (p.nWidth == nWidth) return;
  p.nWidth = nWidth;
  update();
}

int TPanelBar::TextWidth(const QString& s) const { return fontMetrics().horizontalAdvance(s); }

QSize TPanelBar::sizeHint() const { return QSize(200, fontMetrics().height() + 6); }

void TPanelBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  int x = 0;
  for (size_t i = 0; i < m_Panels.size(); ++i) {
    const bool bLast = i + 1 == m_Panels.size();
    int w = bLast ? std::max(0, width() - x) : m_Panels[i].nWidth;
    QRect r(x, 1, w - 2, height() - 2);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, m_Panels[i].strText);
    x += w;
  }
}

}  // namespace veltrane
