// The main window's plot: drawing, rulers, mouse modes, wheel and keys, and the
// window's layout.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/Captions.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "tools/ProgramStats.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "tools/LookAhead.h"

namespace veltrane {

namespace {

// A one-pixel bevel inset by nInset: cTopLeft on the top and left edges, cBottomRight on
// the others (dark over light looks sunken, light over dark raised).
void Bevel(QPainter& p, int W, int H, int nInset, const QColor& cTopLeft, const QColor& cBottomRight) {
  const int l = nInset, t = nInset, r = W - 1 - nInset, b = H - 1 - nInset;
  p.setPen(cTopLeft);
  p.drawLine(l, t, r, t);
  p.drawLine(l, t, l, b);
  p.setPen(cBottomRight);
  p.drawLine(l, b, r, b);
  p.drawLine(r, t, r, b);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Plot

void TfrmMain::GenerateAndDraw() {
  m_tmrRegenerate.stop();
  m_View.m_nCurrentLine = m_nCurrentLine;
  m_View.m_nCurrentSequence = m_nCurrentSequence;
  // The display list depends on the text, the ranges, the axes and the plot's size, not
  // on the caret: a caret move only repaints.
  m_View.AdjustXAndYRangesToDisplay();
  TDisplayKey key{m_nProgramVersion,      m_View.m_fXRange,       m_View.m_fYRange,
                  m_Interp.XAxisNumber(), m_Interp.YAxisNumber(), m_View.Width(),
                  m_View.Height(),        m_View.m_bShowOriginal};
  if (!(key == m_LastDisplayKey)) {
    // Only typed changes since the last pass, nothing else: the pass follows them.
    TDisplayKey before = key;
    before.nProgramVersion = m_nChangeBase;
    TPlotRect changed;
    if (m_PendingChange && m_nProgramVersion == m_nChangeVersion && before == m_LastDisplayKey) {
      m_View.GenerateDisplayListAfterChange(*m_PendingChange);
    } else {
      m_View.GenerateDisplayList();
    }
    if (m_Interp.ChangedEntries(changed)) {
      const int m = TPlotView::c_nDrawingMargin;
      m_PictureDamage |= QRect(QPoint(changed.Left - m, changed.Top - m), QPoint(changed.Right + m, changed.Bottom + m));
    } else {
      m_bPictureStale = true;
    }
    m_PendingChange.reset();
    m_LastDisplayKey = key;
  }
  UpdateScrollBars();
  m_rulerHorizontal->update();
  m_rulerVertical->update();
  m_pbPlot->update();
  UpdateGraphStatus();
  if (m_nProgramVersion != m_nEstimatedVersion) ScheduleEstimate();
}

void TfrmMain::UpdateScrollBars() {
  m_bScrollSync = true;
  for (auto [bar, state] : {std::pair{m_sbHorizontal, m_View.HorizontalBar()},
                            std::pair{m_sbVertical, m_View.VerticalBar()}}) {
    int page = std::clamp(state.nPageSize, 0, TPlotView::c_nScrollMax);
    bar->setPageStep(std::max(page, 1));
    bar->setRange(0, TPlotView::c_nScrollMax - page);
    bar->setValue(state.nPosition);
  }
  m_bScrollSync = false;
}

void TfrmMain::ZoomExtents() {
  m_View.ZoomExtents();
  GenerateAndDraw();
}

void TfrmMain::ZoomExtentsCZ() {
  m_View.ZoomExtentsCZ();
  GenerateAndDraw();
}

void TfrmMain::UpdateGraphStatus() {
  m_GraphStatus->SetPanelText(c_nXAxisPanel, QString::number(m_Interp.XAxisNumber()));
  m_GraphStatus->SetPanelText(c_nYAxisPanel, QString::number(m_Interp.YAxisNumber()));
  QString s, e;
  const auto& ends = m_Interp.EndPointList();
  if (m_nCurrentLine >= 0 && static_cast<size_t>(m_nCurrentLine) < ends.size()) {
    const TEndPoints& p = ends[static_cast<size_t>(m_nCurrentLine)];
    auto point = [](const TfPoint& f) {
      return "(" + QString::fromStdString(StringFromDouble(f.fX)) + "," +
             QString::fromStdString(StringFromDouble(f.fY)) + ")";
    };
    s = point(p.fStartPoint);
    e = point(p.fEndPoint);
  }
  for (auto [n, text] : {std::pair{c_nEntityStartPanel, s}, std::pair{c_nEntityEndPanel, e}}) {
    m_GraphStatus->SetPanelText(n, text);
    int w = m_GraphStatus->TextWidth(text);
    m_GraphStatus->SetPanelWidth(n, w >= 93 ? w + 8 : 100);
  }
  m_GraphStatus->SetPanelText(c_nSequencePanel, QString::number(m_nCurrentSequence));
  const double t = m_bShowTime && m_nCurrentSequence > 0 ? SequenceTime(m_nCurrentSequence) : -1;
  const QString strTime = t >= 0 ? QString::fromStdString("Time: " + FormatDuration(t)) : QString();
  m_GraphStatus->SetPanelText(c_nTimePanel, strTime);
  m_GraphStatus->SetPanelWidth(c_nTimePanel, m_GraphStatus->TextWidth(strTime) + 12);
}

void TfrmMain::PaintPlot(QPainter& p) {
  const int W = m_pbPlot->width(), H = m_pbPlot->height();
  const TPictureKey key{m_View.m_bShowLimits, m_View.m_fLimitX, m_View.m_fLimitY,        m_View.m_fXRange,
                        m_View.m_fYRange,     m_View.Width(),    m_View.Height(), m_View.m_bShowOriginal};
  const qreal fRatio = m_pbPlot->devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::ceil(W * fRatio)), static_cast<int>(std::ceil(H * fRatio)));
  if (m_bPictureStale || !(key == m_PictureKey) || m_PlotPicture.size() != pixels ||
      m_PlotPicture.devicePixelRatio() != fRatio) {
    m_PlotPicture = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_PlotPicture.setDevicePixelRatio(fRatio);
    QPainter picture(&m_PlotPicture);
    TPainterCanvas cv(picture);
    m_View.DrawBase(cv, nullptr);
  } else if (!m_PictureDamage.isEmpty()) {
    // Only where the entries changed: everything else drawn there again, in order.
    QPainter picture(&m_PlotPicture);
    picture.setClipRect(m_PictureDamage);
    TPainterCanvas cv(picture);
    const TPlotRect clip{m_PictureDamage.left(), m_PictureDamage.top(), m_PictureDamage.right(),
                         m_PictureDamage.bottom()};
    m_View.DrawBase(cv, &clip);
  }
  m_PictureKey = key;
  m_bPictureStale = false;
  m_PictureDamage = QRect();
  p.drawImage(0, 0, m_PlotPicture);
  {
    TPainterCanvas cv(p);
    m_View.DrawSelection(cv);
  }
  const QPalette& pal = palette();
  // A two-pixel sunken frame.
  Bevel(p, W, H, 0, pal.color(QPalette::Dark), pal.color(QPalette::Light));
  Bevel(p, W, H, 1, pal.color(QPalette::Shadow), pal.color(QPalette::Midlight));
  if (m_bZoomBoxActive) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(m_PZStart, m_ZoomBoxEnd).normalized());
  }
}

void TfrmMain::PaintRuler(QPainter& p, bool bHorizontal) {
  TPaintBox* r = bHorizontal ? m_rulerHorizontal : m_rulerVertical;
  const int W = r->width(), H = r->height();
  const QPalette& pal = palette();
  p.fillRect(0, 0, W, H, pal.button());
  Bevel(p, W, H, 0, pal.color(QPalette::Dark), pal.color(QPalette::Light));
  QFont f("Arial");
  f.setPointSize(8);
  f.setBold(true);
  p.setFont(f);
  p.setPen(pal.color(QPalette::ButtonText));
  const int ascent = p.fontMetrics().ascent();
  if (bHorizontal) {
    for (const TRulerTick& t : TPlotView::RulerTicks(m_View.m_fXRange, W, true)) {
      p.drawLine(t.nPixel, 1, t.nPixel, 10);
      p.drawText(t.nPixel + 3, 3 + ascent, QString::fromStdString(StringFromDouble(t.fValue)));
    }
  } else {
    // The ruler is narrower than a number is long: each label is turned to run upwards
    // from its tick, so that it shows whole; where, the plot view says.
    const std::vector<TRulerTick> ticks = TPlotView::RulerTicks(m_View.m_fYRange, H, false);
    std::vector<QString> texts;
    std::vector<int32_t> lengths;
    for (const TRulerTick& t : ticks) {
      texts.push_back(QString::fromStdString(StringFromDouble(t.fValue)));
      lengths.push_back(p.fontMetrics().horizontalAdvance(texts.back()));
    }
    const std::vector<int32_t> starts = TPlotView::VerticalLabelStarts(ticks, lengths, H);
    m_VerticalRulerLabels.clear();
    for (size_t k = 0; k < ticks.size(); ++k) {
      p.drawLine(W - 10, ticks[k].nPixel, W - 1, ticks[k].nPixel);
      if (starts[k] < 0) continue;
      p.save();
      p.translate(W - 11, starts[k]);
      p.rotate(-90);
      p.drawText(0, 0, texts[k]);
      p.restore();
      m_VerticalRulerLabels.push_back({texts[k], QRect(W - 11 - ascent, starts[k] - lengths[k], ascent, lengths[k])});
    }
  }
}

void TfrmMain::PaintGrip(QPainter& p) {
  const int W = m_pnlSplitter->width(), H = m_pnlSplitter->height();
  const QPalette& pal = palette();
  p.fillRect(0, 0, W, H, pal.button());
  Bevel(p, W, H, 0, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(W - 2, 1, W - 2, H - 2);
}

void TfrmMain::UpdateCursor() {
  switch (m_GraphMouseMode) {
    case eZoomIn:
    case eZoomOut:
    case eZoomBox:
      m_pbPlot->setCursor(Qt::CrossCursor);
      break;
    case ePan:
      m_pbPlot->setCursor(Qt::OpenHandCursor);
      break;
    case eChangeStartPoint:
      m_pbPlot->setCursor(Qt::SizeAllCursor);
      break;
    case eReorderSequence:
      m_pbPlot->setCursor(Qt::PointingHandCursor);
      break;
    default:
      m_pbPlot->unsetCursor();
      break;
  }
}

void TfrmMain::EndMouseModes() {
  bool bRedraw = m_bZoomBoxActive;
  m_GraphMouseMode = eNormal;
  m_bPanActive = m_bZoomBoxActive = m_bChangePointActive = false;
  m_Document.m_nReorderNum = 0;
  if (QAction* a = Action("sbPan")) {
    for (const TCaptionEntry& c : CaptionTable())
      if (std::string_view(c.strControl) == "sbPan")
        a->setToolTip(QString::fromUtf8(m_bChinese ? c.strChinese : c.strEnglish));
  }
  UpdateCursor();
  if (bRedraw) m_pbPlot->update();
}

void TfrmMain::SetGraphMouseMode(EGraphMouseMode evMode) {
  if (m_GraphMouseMode == evMode) {
    EndMouseModes();
    return;
  }
  EndMouseModes();
  m_GraphMouseMode = evMode;
  if (evMode == ePan) Action("sbPan")->setToolTip("End Pan");
  if (evMode == eReorderSequence) m_Document.m_nReorderNum = 0;
  UpdateCursor();
}

void TfrmMain::MoveCursorToZoomCentre() {
  QCursor::setPos(m_pbPlot->mapToGlobal(QPoint(m_currentX, m_currentY)));
}

void TfrmMain::ZoomAt(bool bIn, QPoint Point) {
  if (bIn)
    m_View.ZoomIn(Point.x(), Point.y());
  else
    m_View.ZoomOut(Point.x(), Point.y());
  m_currentX = m_pbPlot->width() / 2;
  m_currentY = m_pbPlot->height() / 2;
  GenerateAndDraw();
}

void TfrmMain::PlotMousePress(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  m_ptPlotMouse = pt;
  m_memProgram->setReadOnly(true);
  m_forcus = true;
  m_pbPlot->setFocus(Qt::MouseFocusReason);
  if (e->button() == Qt::RightButton) {
    m_ptContextMenu = pt;  // the menu's commands act where the user clicked, not where the menu item is
    if (m_nCurrentSequence > 0)
      m_pmSequence->popup(m_pbPlot->mapToGlobal(pt));
    else if (m_bCopy)
      m_pmPaste->popup(m_pbPlot->mapToGlobal(pt));
    UpdateToolEnableState();
    return;
  }
  if (e->button() != Qt::LeftButton) {
    EndMouseModes();
    GenerateAndDraw();
    return;
  }
  switch (m_GraphMouseMode) {
    case eNormal:
      if (m_bLineSelectApplied) {
        m_bLineSelectApplied = false;
        break;
      }
      SelectListLineFromGraph(pt);
      m_temppoint = pt;
      m_bDragArmed = m_nCurrentSequence > 0;
      m_bDragUndoSaved = false;
      break;
    case eZoomIn:
    case eZoomOut:
      ZoomAt(m_GraphMouseMode == eZoomIn, pt);
      EndMouseModes();
      break;
    case eZoomBox:
      if (!m_bZoomBoxActive) {
        m_bZoomBoxActive = true;
        m_PZStart = m_ZoomBoxEnd = pt;
      } else {
        int x0 = m_PZStart.x(), y0 = m_PZStart.y(), x1 = pt.x(), y1 = pt.y();
        TPlotView::NormaliseZoomBox(x0, y0, x1, y1);
        m_View.ZoomBox(x0, y0, x1, y1);
        EndMouseModes();
        GenerateAndDraw();
      }
      break;
    case ePan:
      m_bPanActive = true;
      m_PZStart = pt;
      m_pbPlot->setCursor(Qt::ClosedHandCursor);
      break;
    case eChangeStartPoint:
      EndMouseModes();
      break;
    case eReorderSequence: {
      SelectListLineFromGraph(pt);
      if (m_nCurrentSequence > 0) {
        bool bFinished = false;
        if (m_Document.ReorderByClick(m_nCurrentSequence, bFinished)) AfterProgramChange(true);
        if (bFinished) EndMouseModes();
      }
      break;
    }
  }
  UpdateToolEnableState();
}

void TfrmMain::PlotMouseMove(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  m_ptPlotMouse = pt;
  if (m_GraphMouseMode == eChangeStartPoint) {
    ChangeStartFollow(pt);
  } else if (m_GraphMouseMode == eZoomBox && m_bZoomBoxActive) {
    m_ZoomBoxEnd = pt;
    m_pbPlot->update();
  } else if (m_GraphMouseMode == ePan && m_bPanActive) {
    QPoint d = pt - m_PZStart;
    if (d.isNull()) return;
    m_View.Pan(d.x(), d.y());
    m_PZStart = pt;
    GenerateAndDraw();
  } else if (m_GraphMouseMode == eNormal && m_bDragArmed && (e->buttons() & Qt::LeftButton) &&
             m_nCurrentSequence > 0) {
    DragSequence(pt);
  }
}

void TfrmMain::PlotMouseRelease(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) m_bDragArmed = false;
  if (e->button() == Qt::LeftButton && m_bPanActive) {
    m_bPanActive = false;
    UpdateCursor();
  }
}

void TfrmMain::PlotDoubleClick(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || m_GraphMouseMode != eNormal) return PlotMousePress(e);
  if (m_nCurrentLine >= 0) m_memProgram->SelectLine(m_nCurrentLine, false);
  m_bLineSelectApplied = true;
  UpdateEditControls();
}

void TfrmMain::PlotWheel(QWheelEvent* e) {
  if (!m_forcus) return;
  const int d = e->angleDelta().y();
  if (d == 0) return;
  if (m_GraphMouseMode == ePan) {
    m_View.Pan(0, d > 0 ? 10 : -10);
    GenerateAndDraw();
    return;
  }
  ZoomAt(d > 0, e->position().toPoint());
  MoveCursorToZoomCentre();
}

bool TfrmMain::PlotKey(QKeyEvent* e) {
  if (!m_forcus) return false;
  switch (e->key()) {
    case Qt::Key_Escape:
      EndMouseModes();
      return true;
    case Qt::Key_Left:
      m_View.Pan(-10, 0);
      GenerateAndDraw();
      return true;
    case Qt::Key_Up:
      m_View.Pan(0, -10);
      GenerateAndDraw();
      return true;
    case Qt::Key_Right:
      m_View.Pan(10, 0);
      GenerateAndDraw();
      return true;
    case Qt::Key_Down:
      m_View.Pan(0, 10);
      GenerateAndDraw();
      return true;
    case Qt::Key_Delete:
      DeleteCurrentSequence();
      return true;
    default:
      break;
  }
  const QString t = e->text();
  if (t.isEmpty()) return false;
  const QPoint mouse = m_pbPlot->mapFromGlobal(QCursor::pos());
  const QChar c = t[0];
  if (c == '+' || c == '=' || c == '-' || c == '_') {
    ZoomAt(c == '+' || c == '=', mouse);
    MoveCursorToZoomCentre();
    return true;
  }
  if (c == 'C' || c == 'c') {
    const int cx = m_pbPlot->width() / 2, cy = m_pbPlot->height() / 2;
    m_View.Pan(cx - mouse.x(), cy - mouse.y());
    GenerateAndDraw();
    m_currentX = cx;
    m_currentY = cy;
    MoveCursorToZoomCentre();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Layout

bool TfrmMain::eventFilter(QObject* o, QEvent* e) {
  // The client area's own size decides the layout, whenever it changes.
  if (o == m_Client && e->type() == QEvent::Resize) FormResize();
  return QMainWindow::eventFilter(o, e);
}

void TfrmMain::FormResize() {
  // Sizes a hidden window passes through while it is made say nothing about its layout.
  if (m_bDestroying || !m_Pages || !isVisible()) return;
  const int CW = m_Client->width(), CH = m_Client->height();
  int nToolBar = 0;
  if (!m_ToolBar->isHidden()) {
    nToolBar = m_ToolBar->sizeHint().height();
    m_ToolBar->setGeometry(0, 0, CW, nToolBar);
  }
  int nBottom = CH;
  auto placeBar = [&](TPanelBar* bar) {
    if (bar->isHidden()) return 0;
    int h = bar->sizeHint().height();
    nBottom -= h;
    bar->setGeometry(0, nBottom, CW, h);
    return h;
  };
  const int nFile = placeBar(m_FileStatus);
  const int nGraph = placeBar(m_GraphStatus);
  const int T = c_nBorder + nToolBar;
  const int M = c_nBorder + nFile + nGraph;

  const int A = CW - (c_nGraphLeftBorder + c_nDragButtonWidth + c_nBorder);
  int Xr;
  if (A < m_nListWidth + c_nMinPlotWidth) {
    Xr = 38 + c_nMinPlotWidth - 1;
    m_nListWidth = std::max(A - c_nMinPlotWidth, c_nMinListWidth);
  } else {
    Xr = A + c_nGraphLeftBorder - m_nListWidth - 1;
  }
  m_nListWidth = std::max(m_nListWidth, c_nMinListWidth);
  auto place = [](QWidget* w, int l, int t, int r, int b) {
    w->setGeometry(l, t, std::max(r - l, 0), std::max(b - t, 0));
  };
  const int nRulerBottom = CH - M - c_nScrollThickness - c_nRulerThickness - 1;
  place(m_sbVertical, 2, T, 17, nRulerBottom);
  place(m_rulerVertical, 18, T, 37, nRulerBottom);
  const int nScrollTop = CH - M - c_nScrollThickness;
  place(m_sbHorizontal, 38, nScrollTop, Xr, CH - M - 1);
  place(m_rulerHorizontal, 38, nScrollTop - c_nRulerThickness, Xr, nScrollTop - 1);
  place(m_pbPlot, 38, T, Xr, nRulerBottom);
  place(m_Pages, Xr + c_nDragButtonWidth + 1, T, Xr + 7 + m_nListWidth, CH - M - 1);
  place(m_pnlSplitter, Xr + 1, T, Xr + c_nDragButtonWidth, CH - M - 1);
  m_nXAxisLength = m_pbPlot->width() - (c_nAxisMargin + c_nBorderMargin);
  m_nYAxisLength = m_pbPlot->height() - (c_nAxisMargin + c_nBorderMargin);
  // The name, then 90 pixels for the state, then the text encoding.
  m_FileStatus->SetPanelWidth(0, std::max(m_FileStatus->width() - 90 - m_FileStatus->PanelWidth(2), 0));
  m_FileStatus->SetPanelWidth(1, 90);

  m_View.SetPlotSize(std::max(m_pbPlot->width(), 1), std::max(m_pbPlot->height(), 1));
  if (m_bSplitterDrag)
    m_View.AdjustXRangeToDisplay();
  else
    m_View.AdjustXAndYRangesToDisplay();
  m_View.SetScrollBars();
  GenerateAndDraw();
}

}  // namespace veltrane
