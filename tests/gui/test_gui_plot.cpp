// The plot in the window: picking a segment selects its line, the mouse modes, the wheel
// and the keys, the options dialog, reordering by dialog and by clicks.
#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include "gui/GuiFixture.h"

namespace veltrane::test {
namespace {

double Span(const TfRange& r) { return r.fTo - r.fFrom; }

TEST_F(WindowTest, ClickingASegmentSelectsItsLine) {
  OpenExample();
  Frm().FlushPendingWork();
  size_t i = EntryOfLine(6);  // MOVE(0,30): the right edge
  ASSERT_GT(i, 0u);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, SegmentMiddle(i));
  EXPECT_EQ(Frm().CurrentLine(), 6);
  EXPECT_EQ(Editor().Caret().nLine, 6);
  EXPECT_EQ(Editor().ColoredLine(), 6);
  EXPECT_EQ(Frm().CurrentSequence(), 1);
  EXPECT_EQ(Frm().GraphStatus()->PanelText(TfrmMain::c_nEntityStartPanel), "(80,0)");
  EXPECT_EQ(Frm().GraphStatus()->PanelText(TfrmMain::c_nEntityEndPanel), "(80,30)");
  EXPECT_EQ(Frm().GraphStatus()->PanelText(TfrmMain::c_nSequencePanel), "1");
  EXPECT_GE(Frm().GraphStatus()->PanelWidth(TfrmMain::c_nEntityStartPanel), 100);
  EXPECT_TRUE(Editor().isReadOnly());  // keys now go to the plot
  EXPECT_TRUE(Frm().PlotHasKeyboard());
  // A click far from every segment clears the selection.
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(Frm().pbPlot()->width() - 3, 3));
  EXPECT_EQ(Frm().CurrentLine(), -1);
  EXPECT_EQ(Frm().CurrentSequence(), 0);
  // A click in the editor gives it the keys again.
  ClickLine(2);
  EXPECT_FALSE(Editor().isReadOnly());
  EXPECT_FALSE(Frm().PlotHasKeyboard());
}

TEST_F(WindowTest, ADoubleClickSelectsTheWholeLine) {
  OpenExample();
  Frm().FlushPendingWork();
  QPoint p = SegmentMiddle(EntryOfLine(5));
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(Frm().pbPlot(), Qt::LeftButton, {}, p);
  EXPECT_EQ(Editor().SelectedText(), "    MOVE(80,0)");
}

TEST_F(WindowTest, ZoomModesActAtTheClick) {
  OpenExample();
  TPlotView& v = Frm().PlotView();
  const QPoint centre(Frm().pbPlot()->width() / 2, Frm().pbPlot()->height() / 2);
  const double fX = Span(v.m_fXRange), fY = Span(v.m_fYRange);
  const double cx = (v.m_fXRange.fFrom + v.m_fXRange.fTo) / 2;
  Frm().Action("mniZoomIn")->trigger();
  EXPECT_EQ(Frm().GraphMouseMode(), eZoomIn);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, centre);
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);
  EXPECT_NEAR(Span(v.m_fXRange), fX / 2, fX * 1e-3);
  EXPECT_NEAR(Span(v.m_fYRange), fY / 2, fY * 1e-3);
  EXPECT_NEAR((v.m_fXRange.fFrom + v.m_fXRange.fTo) / 2, cx, fX * 1e-2);
  Frm().Action("sbZoomOut")->trigger();
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, centre);
  EXPECT_NEAR(Span(v.m_fXRange), fX, fX * 1e-3);
  // Choosing the active tool again leaves its mode.
  Frm().Action("mniZoomBox")->trigger();
  Frm().Action("mniZoomBox")->trigger();
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);
}

TEST_F(WindowTest, ZoomBoxTakesTheAreaBetweenTwoClicks) {
  OpenExample();
  TPlotView& v = Frm().PlotView();
  Frm().Action("sbZoomBox")->trigger();
  const TfPoint a = v.PixelToUnits(300, 100), b = v.PixelToUnits(100, 300);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(300, 300));  // bottom right first
  QTest::mouseMove(Frm().pbPlot(), QPoint(200, 200));
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);
  // The box is 200 pixels square, the plot is wider than high: y is exact, x widened.
  EXPECT_NEAR(v.m_fYRange.fFrom, b.fY, 1e-3);
  EXPECT_NEAR(v.m_fYRange.fTo, a.fY, 1e-3);
  EXPECT_LE(v.m_fXRange.fFrom, b.fX + 1e-6);
  EXPECT_GE(v.m_fXRange.fTo, a.fX - 1e-6);
}

TEST_F(WindowTest, PanDragsTheView) {
  OpenExample();
  TPlotView& v = Frm().PlotView();
  const TfRange x0 = v.m_fXRange, y0 = v.m_fYRange;
  const double p = Span(x0) / v.Width();
  Frm().Action("mniPan")->trigger();
  EXPECT_EQ(Frm().Action("sbPan")->toolTip(), "End Pan");
  QTest::mousePress(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(200, 200));
  QMouseEvent move(QEvent::MouseMove, QPointF(230, 190),
                   Frm().pbPlot()->mapToGlobal(QPointF(230, 190)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(Frm().pbPlot(), &move);
  QTest::mouseRelease(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(230, 190));
  EXPECT_NEAR(v.m_fXRange.fFrom, x0.fFrom - 30 * p, p * 1e-3);
  EXPECT_NEAR(v.m_fYRange.fFrom, y0.fFrom - 10 * p, p * 1e-3);
  EXPECT_EQ(Frm().GraphMouseMode(), ePan);  // stays until left
  Frm().Action("sbPan")->trigger();
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);
  EXPECT_EQ(Frm().Action("sbPan")->toolTip(), "Pan");
}

TEST_F(WindowTest, WheelAndKeysNeedAClickOnThePlotFirst) {
  OpenExample();
  TPlotView& v = Frm().PlotView();
  const double fX = Span(v.m_fXRange);
  QPoint c(Frm().pbPlot()->width() / 2, Frm().pbPlot()->height() / 2);
  QWheelEvent wheel(QPointF(c), Frm().pbPlot()->mapToGlobal(QPointF(c)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(Frm().pbPlot(), &wheel);
  EXPECT_DOUBLE_EQ(Span(v.m_fXRange), fX);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(3, 3));
  QApplication::sendEvent(Frm().pbPlot(), &wheel);
  EXPECT_NEAR(Span(v.m_fXRange), fX / 2, fX * 1e-3);
  const double from = v.m_fXRange.fFrom, p = Span(v.m_fXRange) / v.Width();
  QTest::keyClick(Frm().pbPlot(), Qt::Key_Left);
  EXPECT_NEAR(v.m_fXRange.fFrom, from + 10 * p, p * 1e-3);
  Frm().Action("mniZoomIn")->trigger();
  QTest::keyClick(Frm().pbPlot(), Qt::Key_Escape);
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);
}

TEST_F(WindowTest, ScrollBarsMoveOverTheWorld) {
  OpenExample();
  auto* h = Frm().findChild<QScrollBar*>("sbHorizontal");
  TPlotView& v = Frm().PlotView();
  EXPECT_EQ(h->value(), v.HorizontalBar().nPosition);
  EXPECT_EQ(h->pageStep(), v.HorizontalBar().nPageSize);
  const double span = Span(v.m_fXRange);
  h->setValue(0);
  EXPECT_NEAR(v.m_fXRange.fFrom, v.m_fWorldXRange.fFrom, span * 1e-6);
  EXPECT_NEAR(Span(v.m_fXRange), span, span * 1e-6);  // spans are single precision
}

TEST_F(WindowTest, PlotOptionsCancelledChangeNothing) {
  OpenExample();
  const TfRange x = Frm().PlotView().m_fXRange;
  m_Prompts.PlotOptions = [](TPlotOptionsFields& f) {
    f.strXAxis = "5";
    return false;
  };
  Frm().Action("mniOptions")->trigger();
  EXPECT_EQ(m_Prompts.ShownPlotOptions.strXAxis, "0");
  EXPECT_EQ(m_Prompts.ShownPlotOptions.strYAxis, "1");
  EXPECT_EQ(Frm().Interpreter().XAxisNumber(), 0);
  EXPECT_EQ(Frm().PlotView().m_fXRange, x);
  m_Prompts.PlotOptions = [](TPlotOptionsFields& f) {
    f.strXMin = "-10";
    f.strXMax = "90";
    f.strYMin = "abc";  // not a number: keeps its value
    return true;
  };
  const double yFrom = Frm().PlotView().m_fYRange.fFrom;
  Frm().Action("sbOptions")->trigger();
  EXPECT_DOUBLE_EQ(Frm().PlotView().m_fXRange.fFrom, -10);
  EXPECT_NEAR(Frm().PlotView().m_fYRange.fFrom, yFrom, 1e-9);
}

TEST_F(WindowTest, ReorderByTheDialog) {
  OpenExample();
  m_Prompts.NewOrder = [](TStringList&) { return false; };
  Frm().Action("mniReorderSequences")->trigger();
  EXPECT_EQ(m_Prompts.ShownOrder, (TStringList{"1", "2", "3"}));
  EXPECT_FALSE(Frm().ProgramModified());
  EXPECT_EQ(Frm().UndoHistory().Count(), 0);
  m_Prompts.NewOrder = [](TStringList& o) {
    o = {"3", "1", "2"};
    return true;
  };
  Frm().Action("mniReorderSequences")->trigger();
  TStringList order;
  GetSequenceNumberList(Frm().Document().m_Program, order, nullptr);
  EXPECT_EQ(order, (TStringList{"3", "1", "2"}));
  EXPECT_TRUE(Frm().ProgramModified());
  ExpectInSync();
  Frm().Undo();
  GetSequenceNumberList(Frm().Document().m_Program, order, nullptr);
  EXPECT_EQ(order, (TStringList{"1", "2", "3"}));
}

TEST_F(WindowTest, ReorderByClicksInThePlot) {
  OpenExample();
  Frm().FlushPendingWork();
  Frm().Action("mniReorderSeqInGraph")->trigger();
  EXPECT_EQ(Frm().GraphMouseMode(), eReorderSequence);
  for (int nLine : {17, 13, 5}) {  // sequences 3, 2, 1 by one of their moves
    const auto& d = Frm().Document().m_DisplayList;
    int line = -1;
    // Lines move as blocks are reordered: find this sequence's move by its text.
    const std::string text = nLine == 17   ? "    MOVECIRC(0,0,4,0,1)"
                             : nLine == 13 ? "    MOVECIRC(0,0,5,0,1)"
                                           : "    MOVE(80,0)";
    for (size_t k = 0; k < Frm().Document().m_Program.size(); ++k)
      if (Frm().Document().m_Program[k] == text) line = static_cast<int>(k);
    ASSERT_GE(line, 0);
    size_t i = EntryOfLine(line);
    ASSERT_GT(i, 0u);
    QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, QPoint(d[i].Point.X, d[i].Point.Y));
  }
  TStringList order;
  GetSequenceNumberList(Frm().Document().m_Program, order, nullptr);
  EXPECT_EQ(order, (TStringList{"3", "2", "1"}));
  EXPECT_EQ(Frm().GraphMouseMode(), eNormal);  // every sequence placed
  ExpectInSync();
}

TEST_F(WindowTest, DeleteKeyInThePlotDeletesTheSequence) {
  OpenExample();
  Frm().FlushPendingWork();
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, SegmentMiddle(EntryOfLine(5)));
  ASSERT_EQ(Frm().CurrentSequence(), 1);
  QTest::keyClick(Frm().pbPlot(), Qt::Key_Delete);
  TStringList order;
  GetSequenceNumberList(Frm().Document().m_Program, order, nullptr);
  EXPECT_EQ(order, (TStringList{"2", "3"}));
  EXPECT_EQ(Frm().CurrentSequence(), 0);
  ExpectInSync();
  Frm().Undo();
  GetSequenceNumberList(Frm().Document().m_Program, order, nullptr);
  EXPECT_EQ(order, (TStringList{"1", "2", "3"}));
}

TEST_F(WindowTest, ResetReturnsToTheOpenedProgram) {
  EXPECT_FALSE(Frm().Action("sbReset")->isEnabled());  // nothing opened
  OpenExample();
  EXPECT_FALSE(Frm().Action("sbReset")->isEnabled());  // nothing changed
  const auto opened = Frm().Document().m_Program;
  Editor().setFocus();
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClicks(&Editor(), "zz");
  EXPECT_TRUE(Frm().Action("sbReset")->isEnabled());
  Frm().Action("sbReset")->trigger();
  EXPECT_EQ(Frm().Document().m_Program, opened);
  EXPECT_FALSE(Frm().Action("sbReset")->isEnabled());
  ExpectInSync();
}

TEST_F(WindowTest, TheOriginalPatternShowsWhatWasDeleted) {
  OpenExample();
  Frm().FlushPendingWork();
  auto teal = [&] {
    const QImage img = Frm().pbPlot()->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) == QColor(0, 128, 128)) ++n;
    return n;
  };
  EXPECT_EQ(teal(), 0);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {},
                    SegmentMiddle(EntryOfLine(17)));  // the larger hole
  ASSERT_EQ(Frm().CurrentSequence(), 2);
  Frm().Action("mniDeleteSequence")->trigger();
  Frm().Action("mniDisplayOriginal")->trigger();
  EXPECT_TRUE(Frm().Interpreter().AdditionalShown());
  // The deleted hole is still there, dashed in teal.
  EXPECT_GT(teal(), 20);
  Frm().Action("mniDisplayOriginal")->trigger();
  EXPECT_EQ(teal(), 0);
}

}  // namespace
}  // namespace veltrane::test
