// Small widgets the main window lays out by hand: a paint box whose painting and input
// the window supplies, and a status bar of fixed-width panels.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace veltrane {

class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);
  std::function<void(QPainter&)> OnPaint;
  std::function<void(QMouseEvent*)> OnMousePress, OnMouseMove, OnMouseRelease, OnDoubleClick;
  std::function<void(QWheelEvent*)> OnWheel;
  std::function<bool(QKeyEvent*)> OnKey;  // true when the key was used

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};

// A status bar of panels, each with its own width; the last one takes what is left.
class TPanelBar : public QWidget {
  Q_OBJECT
 public:
  explicit TPanelBar(int nPanels, QWidget* parent = nullptr);
  int PanelCount() const { return static_cast<int>(m_Panels.size()); }
  QString PanelText(int i) const { return m_Panels.at(static_cast<size_t>(i)).strText; }
  int PanelWidth(int i) const { return m_Panels.at(static_cast<size_t>(i)).nWidth; }
  void SetPanelText(int i, const QString& s);
  void SetPanelWidth(int i, int nWidth);
  int TextWidth(const QString& s) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  struct TPanel {
    QString strText;
    int nWidth = 50;
  };
  std::vector<TPanel> m_Panels;
};

}  // namespace veltrane
