// The path tools in the window where nothing is asked: the start of a closed sequence
// following the mouse, copy and paste, reset and the offset terms; and the tools'
// dialogs themselves. (Each tool through its dialog: test_gui_real_dialogs.cpp.)
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QCursor>
#include <QMouseEvent>
#include <QTest>

#include "app/PathDialogs.h"
#include "gui/GuiFixture.h"
#include "model/NumberFormat.h"

namespace veltrane::test {
namespace {

class PathToolTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    OpenExample();
    ClickLine(5);  // MOVE(80,0): sequence 1, the bracket's closed outline
    ASSERT_EQ(Frm().CurrentSequence(), 1);
  }
};

TEST_F(PathToolTest, TheStartFollowsTheMouseInOneUndoStep) {
  Frm().FlushPendingWork();
  // A plain click on the outline selects it and finds it closed.
  const size_t i = EntryOfLine(5);
  ASSERT_GT(i, 0u);
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, SegmentMiddle(i));
  ASSERT_EQ(Frm().CurrentSequence(), 1);
  ASSERT_TRUE(Frm().SequenceClosed());
  ASSERT_TRUE(Frm().Action("ChangeSeqBegPoint")->isEnabled());
  const int nUndo = Frm().UndoHistory().Count();
  Frm().Action("ChangeSeqBegPoint")->trigger();
  // Moves of under five pixels do nothing; then the start goes to the nearest point.
  const QPoint target = SegmentMiddle(i);
  for (QPoint p : {target + QPoint(40, 0), target + QPoint(41, 1), target}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), Frm().pbPlot()->mapToGlobal(QPointF(p)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Frm().pbPlot(), &move);
  }
  const TfPoint want = Frm().PlotToProgram(target);
  TStringList body{Line(4)};
  TTransformer t;
  t.SetProgram(&body);
  t.LoadSourceList();
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fX, want.fX, 1e-3);
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fY, 0, 1e-9);
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  // A click ends the mode.
  QTest::mouseClick(Frm().pbPlot(), Qt::LeftButton, {}, target);
  const TStringList after = Frm().Document().m_Program;
  QMouseEvent move(QEvent::MouseMove, QPointF(target + QPoint(30, 30)),
                   Frm().pbPlot()->mapToGlobal(QPointF(target + QPoint(30, 30))), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(Frm().pbPlot(), &move);
  EXPECT_EQ(Frm().Document().m_Program, after);
  ExpectInSync();
}

TEST_F(PathToolTest, CopyPasteAndReset) {
  ClickLine(16);
  Frm().Action("Copy1")->trigger();
  ASSERT_TRUE(Frm().SequenceCopied());
  EXPECT_TRUE(Frm().Action("mniPasteSeq")->isEnabled());
  const QPoint at(100, 100);
  const TfPoint p = Frm().PlotToProgram(at);
  Frm().PasteSequenceCommand(at);
  const auto& prog = Frm().Document().m_Program;
  // The copy stands, after an empty line, before the last layer's end marker.
  size_t nEnd = prog.size() - 1;
  while (nEnd > 0 && prog[nEnd].rfind("'$EndLayer", 0) != 0) --nEnd;
  ASSERT_GE(nEnd, 5u);
  EXPECT_EQ(prog[nEnd], "'$EndLayer1:HOLES");
  EXPECT_EQ(prog[nEnd - 1], "'$EndSeq(4)");
  TStringList start{prog[nEnd - 3]};
  TTransformer t;
  t.SetProgram(&start);
  t.LoadSourceList();
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fX, p.fX, 1e-3);
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fY, p.fY, 1e-3);
  ExpectInSync();

  // From the Tools menu, away from the plot: where the mouse last was over the plot.
  const QPoint last(120, 80);
  QMouseEvent move(QEvent::MouseMove, QPointF(last), Frm().pbPlot()->mapToGlobal(QPointF(last)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(Frm().pbPlot(), &move);
  QCursor::setPos(Frm().mapToGlobal(QPoint(-50, -50)));
  ASSERT_FALSE(Frm().pbPlot()->rect().contains(Frm().pbPlot()->mapFromGlobal(QCursor::pos())));
  {
    Frm().Action("mniPasteSeq")->trigger();
    const TfPoint q = Frm().PlotToProgram(last);
    EXPECT_EQ(Frm().GraphStatus()->PanelText(TfrmMain::c_nNotePanel).toStdString(),
              "Pasted at (" + StringFromDouble(q.fX) + "," + StringFromDouble(q.fY) +
                  "), where the mouse last was over the plot");
    Frm().Undo();
  }

  // Reset brings a changed sequence back to its text at opening.
  ClickLine(16);
  Frm().Action("mniReverse")->trigger();
  EXPECT_EQ(Line(17), "    MOVECIRC(0,0,5,0,0)");
  ClickLine(16);
  Frm().Action("ResetSequence1")->trigger();
  EXPECT_EQ(Line(17), "    MOVECIRC(0,0,5,0,1)");
}

TEST_F(PathToolTest, OffsetTermsOnAndOff) {
  const TStringList before = Frm().Document().m_Program;
  QAction* a = Frm().Action("mniAddParToMA");
  ASSERT_TRUE(a->isCheckable());
  a->trigger();
  EXPECT_EQ(Line(4), "    MOVEABS(offset_x+0,offset_y+0)");
  EXPECT_EQ(Line(16), "    MOVEABS(offset_x+15,offset_y+25)");
  a->trigger();
  EXPECT_EQ(Frm().Document().m_Program, before);
  Frm().Undo();
  EXPECT_EQ(Line(4), "    MOVEABS(offset_x+0,offset_y+0)");
}

// ---------------------------------------------------------------- the dialogs

TEST(PathDialogs, CompensationWarnsAboutNegativeValuesAndNegatesRight) {
  TScriptedPrompts prompts;
  TfrmCompensation d(&prompts);
  EXPECT_EQ(d.windowTitle(), "Tool radius compensation");
  EXPECT_EQ(d.edtCompensation->text(), "0");
  EXPECT_TRUE(d.rdLeft->isChecked());
  d.edtCompensation->clear();
  QTest::keyClicks(d.edtCompensation, "-2");
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "Error! The compensation value must be positive!");
  d.edtCompensation->setText("abc");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Rejected) << "a text that is no number keeps the dialog open";
  EXPECT_EQ(prompts.Messages.back().second, "'abc' is not a valid floating point value");
  d.edtCompensation->setText("1.5");
  QTest::mouseClick(d.rdRight, Qt::LeftButton);
  QTest::mouseClick(d.chkAbsoluteMode, Qt::LeftButton);
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(d.Request().fCompensation, -1.5);
  EXPECT_TRUE(d.Request().bAbsolute);
  d.edtCompensation->setText("");
  d.accept();
  EXPECT_DOUBLE_EQ(d.Request().fCompensation, 0) << "an empty value is 0";
}

TEST(PathDialogs, FilletLeadAndAddEndRead) {
  TScriptedPrompts prompts;
  TfrmFilletCorners f(&prompts);
  EXPECT_EQ(f.edtAngle->text(), "0");
  f.edtAngle->setText("x");
  f.accept();
  EXPECT_EQ(f.result(), QDialog::Rejected);
  f.edtAngle->setText("95");
  f.edtRadius->setText("r");
  f.accept();
  EXPECT_EQ(f.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(f.Request().fMaxAngleDegrees, 95);
  EXPECT_DOUBLE_EQ(f.Request().fRadius, 0) << "a radius that is no number is 0";

  TfrmLeadInOut l(&prompts);
  EXPECT_TRUE(l.rdInClockwise->isChecked());
  EXPECT_TRUE(l.rdOutClockwise->isChecked());
  l.edtLeadIn->setText("2");
  QTest::mouseClick(l.rdOutAntiClockwise, Qt::LeftButton);
  l.accept();
  EXPECT_DOUBLE_EQ(l.Request().fLeadIn, 2);
  EXPECT_FALSE(l.Request().bLeadInAnti);
  EXPECT_TRUE(l.Request().bLeadOutAnti);

  TfrmAddEnd a;
  EXPECT_EQ(a.edtAddEnd->text(), "0");
  a.edtAddEnd->setText("oops");
  EXPECT_DOUBLE_EQ(a.Request().fAddEnd, 0);
  a.edtAddEnd->setText("12.5");
  EXPECT_DOUBLE_EQ(a.Request().fAddEnd, 12.5);
}

TEST(PathDialogs, AddTabsTakesACountOrASpacing) {
  TScriptedPrompts prompts;
  TfrmAddTabs d(&prompts, TTabRequest{});
  EXPECT_TRUE(d.rdCount->isChecked());
  EXPECT_EQ(d.edtCount->text(), "4");
  EXPECT_FALSE(d.edtSpacing->isEnabled());
  EXPECT_TRUE(d.chkOnArcs->isChecked());
  d.edtCount->setText("2.5");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Rejected);
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "The number of tabs must be a whole number from 1 to 10000.");
  QTest::mouseClick(d.rdSpacing, Qt::LeftButton);
  EXPECT_TRUE(d.edtSpacing->isEnabled());
  EXPECT_FALSE(d.edtCount->isEnabled());
  d.edtSpacing->setText("50");
  d.edtLength->setText("2.5");
  d.chkOnArcs->setChecked(false);
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(d.Request().fSpacing, 50);
  EXPECT_DOUBLE_EQ(d.Request().fLength, 2.5);
  EXPECT_FALSE(d.Request().bOnArcs);
  // Shown again with those choices, it starts from them.
  TfrmAddTabs again(&prompts, d.Request());
  EXPECT_TRUE(again.rdSpacing->isChecked());
  EXPECT_EQ(again.edtSpacing->text(), "50");
  EXPECT_FALSE(again.chkOnArcs->isChecked());
}

TEST(PathDialogs, BatchCopyRefusesCellsThatAreNoNumbers) {
  TScriptedPrompts prompts;
  TBatCopy d(&prompts);
  EXPECT_EQ(d.windowTitle(), "Batch Copy");
  EXPECT_EQ(d.sgBatCopy->item(0, 1)->text(), "Offset");
  EXPECT_EQ(d.sgBatCopy->item(0, 2)->text(), "Repeat");
  EXPECT_EQ(d.sgBatCopy->item(1, 0)->text(), "X");
  EXPECT_EQ(d.sgBatCopy->item(2, 0)->text(), "Y");
  d.sgBatCopy->item(1, 1)->setText("20");
  d.sgBatCopy->item(1, 2)->setText("abc");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Rejected);
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "Error getting data from dialog!");
  d.sgBatCopy->item(1, 2)->setText("3");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(d.mVal[0][0], 20);
  EXPECT_DOUBLE_EQ(d.mVal[0][1], 3);
  EXPECT_DOUBLE_EQ(d.mVal[1][1], 0) << "an empty cell is 0";
}

}  // namespace
}  // namespace veltrane::test

namespace veltrane::test {
namespace {

TEST_F(WindowTest, ChangeStartIsOfferedForClosedSequencesHoweverChosen) {
  Open(WriteFile("two.bas",
                 "'$StartSeq(1)\ncadseq1:\n    MOVEABS(0,0)\n    MOVE(10,0)\n    MOVE(0,10)\n    MOVE(-10,-10)\n"
                 "'$EndSeq(1)\n'$StartSeq(2)\ncadseq2:\n    MOVEABS(20,0)\n    MOVE(10,0)\n'$EndSeq(2)\n"));
  ClickLine(3);
  ASSERT_EQ(Frm().CurrentSequence(), 1);
  EXPECT_TRUE(Frm().Action("mniChangeStart")->isEnabled());
  ClickLine(10);
  ASSERT_EQ(Frm().CurrentSequence(), 2);
  EXPECT_FALSE(Frm().Action("mniChangeStart")->isEnabled()) << "an open sequence chosen in the editor";
  EXPECT_FALSE(Frm().Action("ChangeSeqBegPoint")->isEnabled());
  ClickLine(4);
  EXPECT_TRUE(Frm().Action("ChangeSeqBegPoint")->isEnabled());
}

}  // namespace
}  // namespace veltrane::test
