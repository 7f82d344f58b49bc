// The program editor: its edit records and the combined history, the line normaliser on
// the line the caret leaves, and the red current line.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>

#include "gui/GuiFixture.h"

namespace veltrane::test {
namespace {

TEST_F(WindowTest, CrLfOffsetsCountTwoPerLineBreak) {
  Editor().setPlainText("ab\ncd\n\nef");
  for (TTextPos pos : {TTextPos{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 2}, {2, 0}, {3, 0}, {3, 2}})
    EXPECT_EQ(Editor().FromCrLfOffset(Editor().ToCrLfOffset(pos)), pos);
  EXPECT_EQ(Editor().ToCrLfOffset({1, 0}), 4);  // "ab\r\n" before "cd"
  EXPECT_EQ(Editor().CharAt(2), '\r');
  EXPECT_EQ(Editor().CharAt(3), '\n');
  EXPECT_EQ(Editor().CharAt(4), 'c');
  EXPECT_EQ(Editor().CharAt(100), 0);
  Editor().SetSelection(1, 4);
  EXPECT_EQ(Editor().SelText(), "b\r\nc");
  EXPECT_EQ(Editor().SelLength(), 4);
}

TEST_F(WindowTest, UndoTakesBackAWholeWord) {
  OpenExample();
  const auto before = Frm().Document().m_Program;
  Editor().setFocus();
  Editor().MoveCaret(TRichEditPlus::EMove::eEndOfLine);
  QTest::keyClicks(&Editor(), " hello");
  EXPECT_EQ(Frm().Document().m_Program[0], before[0] + " hello");
  EXPECT_TRUE(Frm().Action("mniUndo")->isEnabled());
  Frm().Action("mniUndo")->trigger();
  EXPECT_EQ(Frm().Document().m_Program, before);
  ExpectInSync();
}

TEST_F(WindowTest, AnArrowKeySplitsTypingIntoTwoUndos) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "ab");
  QTest::keyClick(&Editor(), Qt::Key_Left);
  QTest::keyClicks(&Editor(), "cd");
  EXPECT_EQ(Editor().toPlainText(), "acdb");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "ab");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "");
  EXPECT_TRUE(Frm().Document().m_Program.empty());
  EXPECT_FALSE(Frm().Action("mniUndo")->isEnabled());
}

// A key with Alt, Ctrl or Meta never edits the text unless it is a recorded command;
// every other way text comes in (AltGr, input methods, drops) leaves a record that Undo
// takes back, and nothing earlier with it.
TEST_F(WindowTest, TextNeverChangesWithoutARecord) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "ab");
  QTest::keyClick(&Editor(), Qt::Key_Left);  // ends the typing record
  const bool bModified = Frm().ProgramModified();
  using TKey = std::pair<Qt::Key, Qt::KeyboardModifiers>;
  for (auto [key, mods] : {TKey{Qt::Key_V, Qt::AltModifier}, TKey{Qt::Key_K, Qt::ControlModifier},
                           TKey{Qt::Key_X, Qt::MetaModifier}, TKey{Qt::Key_Delete, Qt::AltModifier},
                           TKey{Qt::Key_D, Qt::AltModifier | Qt::ShiftModifier}}) {
    QTest::keyClick(&Editor(), key, mods);
    EXPECT_EQ(Editor().toPlainText(), "ab") << key;
  }
  EXPECT_EQ(Frm().ProgramModified(), bModified);
  // Ctrl with a movement still moves.
  QTest::keyClick(&Editor(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Editor().Caret(), (TTextPos{0, 2}));

  // AltGr as Windows reports it: Ctrl+Alt with the character.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, "@");
  QApplication::sendEvent(&Editor(), &press);
  EXPECT_EQ(Editor().toPlainText(), "ab@");
  // An input method's committed text.
  QInputMethodEvent commit;
  commit.setCommitString("xy");
  QApplication::sendEvent(&Editor(), &commit);
  EXPECT_EQ(Editor().toPlainText(), "ab@xy");
  // A drop of text.
  auto* mime = new QMimeData;
  mime->setText("Z");
  Editor().setAcceptDrops(true);
  const QPoint at = Editor().cursorRect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Editor().viewport(), &enter);
  QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Editor().viewport(), &drop);
  EXPECT_EQ(Editor().toPlainText(), "ab@xyZ");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "ab@xy");
  delete mime;
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "ab@");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "ab");
  ExpectInSync();
}

TEST_F(WindowTest, BackspaceAtTheStartOfALineAndItsUndo) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "ab");
  QTest::keyClick(&Editor(), Qt::Key_Return);
  QTest::keyClicks(&Editor(), "cd");
  EXPECT_EQ(Frm().Document().m_Program, (TStringList{"ab", "cd"}));
  QTest::keyClick(&Editor(), Qt::Key_Home);
  QTest::keyClick(&Editor(), Qt::Key_Backspace);
  EXPECT_EQ(Frm().Document().m_Program, TStringList{"abcd"});
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, (TStringList{"ab", "cd"}));
  ExpectInSync();
}

TEST_F(WindowTest, ShiftReturnBreaksTheLineLikeReturn) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "ab");
  QTest::keyClick(&Editor(), Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(&Editor(), "cd");
  EXPECT_EQ(Frm().Document().m_Program, (TStringList{"ab", "cd"}));
  ExpectInSync();
}

TEST_F(WindowTest, CutPasteAndDeleteAreUndone) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "MOVE(1,2)");
  Editor().SetSelection(0, 4);
  Frm().Action("mniCut")->trigger();
  EXPECT_EQ(Editor().toPlainText(), "(1,2)");
  EXPECT_EQ(QApplication::clipboard()->text(), "MOVE");
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  Frm().Action("mniPaste")->trigger();
  EXPECT_EQ(Editor().toPlainText(), "(1,2)MOVE");
  Editor().SetSelection(0, 1);
  Frm().Action("mniDelete")->trigger();
  EXPECT_EQ(Editor().toPlainText(), "1,2)MOVE");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "(1,2)MOVE");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "(1,2)");
  Frm().Undo();
  EXPECT_EQ(Editor().toPlainText(), "MOVE(1,2)");
  ExpectInSync();
}

TEST_F(WindowTest, SevenTransformationsLeaveSixUndos) {
  const QString f =
      WriteFile("s.bas", "'$StartSeq(1)\r\ncadseq1:\r\n    MOVE(1,0)\r\n'$EndSeq(1)\r\n");
  Open(f);
  std::vector<TStringList> states{Frm().Document().m_Program};
  for (int i = 0; i < 7; ++i) {
    m_Prompts.OpenNames.push_back(f.toStdString());
    Frm().AppendBASIC();  // a whole-program change with a snapshot
    states.push_back(Frm().Document().m_Program);
  }
  for (int i = 7; i > 1; --i) {
    Frm().Undo();
    EXPECT_EQ(Frm().Document().m_Program, states[static_cast<size_t>(i - 1)]) << i;
  }
  EXPECT_TRUE(Frm().Action("mniUndo")->isEnabled());
  Frm().Undo();  // the seventh has no snapshot left: the history empties
  EXPECT_EQ(Frm().Document().m_Program, states[1]);
  EXPECT_EQ(Frm().UndoHistory().Count(), 0);
  EXPECT_FALSE(Frm().Action("mniUndo")->isEnabled());
  ExpectInSync();
}

TEST_F(WindowTest, AnEditAfterATransformationIsUndoneFirst) {
  const QString f =
      WriteFile("s.bas", "'$StartSeq(1)\r\ncadseq1:\r\n    MOVE(1,0)\r\n'$EndSeq(1)\r\n");
  Open(f);
  const auto opened = Frm().Document().m_Program;
  m_Prompts.OpenNames.push_back(f.toStdString());
  Frm().AppendBASIC();
  const auto appended = Frm().Document().m_Program;
  Editor().setFocus();
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClicks(&Editor(), "xy");
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, appended);
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, opened);
  ExpectInSync();
}

TEST_F(WindowTest, TheLineLeftIsWrittenCanonically) {
  Editor().setFocus();
  QTest::keyClicks(&Editor(), "mo(1,2)");
  QTest::keyClick(&Editor(), Qt::Key_Return);
  QTest::keyClicks(&Editor(), "mo(3,4)");
  ClickLine(0);
  ClickLine(1);  // leaving line 0 normalises it
  EXPECT_EQ(Line(0), "MOVE(1,2)");
  EXPECT_EQ(Frm().Document().m_Program[0], "MOVE(1,2)");
  QTest::keyClick(&Editor(), Qt::Key_Up);  // the arrow keys move to a new line too
  EXPECT_EQ(Line(1), "MOVE(3,4)");
  EXPECT_EQ(Frm().CurrentLine(), 0);
  ExpectInSync();
}

int RedPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixelColor(x, y) == QColor(255, 0, 0)) ++n;
  return n;
}

TEST_F(WindowTest, TheCaretsLineIsRedInThePlotAndInTheText) {
  OpenExample();
  Frm().FlushPendingWork();
  EXPECT_EQ(RedPixels(Frm().pbPlot()->grab().toImage()), 0);
  ClickLine(5);  // MOVE(80,0): the bottom edge
  EXPECT_EQ(Frm().CurrentLine(), 5);
  EXPECT_EQ(Editor().ColoredLine(), 5);
  // The editor draws that line's text in red, and only that line.
  const QImage text = Editor().viewport()->grab().toImage();
  const QRect lineRect(0, Editor().cursorRect(TTextPos{5, 0}).top(), text.width(), Editor().cursorRect().height());
  EXPECT_GT(RedPixels(text.copy(lineRect)), 10);
  EXPECT_EQ(RedPixels(text), RedPixels(text.copy(lineRect)));
  const QImage img = Frm().pbPlot()->grab().toImage();
  const int nRed = RedPixels(img);
  // The bottom edge runs 80 units across most of the plot's width.
  EXPECT_GT(nRed, Frm().pbPlot()->width() / 2);
  const auto& d = Frm().Document().m_DisplayList;
  size_t i = EntryOfLine(5);
  ASSERT_GT(i, 0u);
  QPoint mid = SegmentMiddle(i);
  EXPECT_EQ(img.pixelColor(mid), QColor(255, 0, 0));
  EXPECT_EQ(d[i].nLine, 5);
  // The rest of its sequence is lime.
  size_t j = EntryOfLine(6);
  EXPECT_EQ(img.pixelColor(SegmentMiddle(j)), QColor(0, 255, 0));
}

}  // namespace
}  // namespace veltrane::test

namespace veltrane::test {
namespace {

// Typing in a big program follows the change: a few lines run again, the plot's picture is
// redrawn where entries moved, and both are what a whole pass and a whole drawing give.
TEST_F(WindowTest, TypingInABigProgramRunsOnlyWhatChanged) {
  QByteArray text;
  for (int k = 1; k <= 600; ++k)
    text += "'$StartSeq(" + QByteArray::number(k) + ")\r\n    MOVEABS(" + QByteArray::number(k % 30 * 20) + "," +
            QByteArray::number(k / 30 * 20) + ")\r\n    MOVE(10,0)\r\n    MOVECIRC(0,10,0,5,0)\r\n    MOVE(-10,0)\r\n" +
            "'$EndSeq(" + QByteArray::number(k) + ")\r\n";
  Open(WriteFile("big.bas", text));
  Frm().FlushPendingWork();
  const int nLine = 6 * 300 + 2;  // MOVE(10,0) of sequence 301
  ASSERT_EQ(Line(nLine), "    MOVE(10,0)");
  ClickLine(nLine, 11);
  Editor().setFocus();
  auto picture = [&] { return Frm().pbPlot()->grab().toImage(); };
  // A digit, a line broken and joined again, the digit taken back.
  const std::pair<Qt::Key, const char*> keys[] = {{Qt::Key_5, "    MOVE(105,0)"},
                                                  {Qt::Key_Return, "    MOVE(105"},
                                                  {Qt::Key_Backspace, "    MOVE(105,0)"},
                                                  {Qt::Key_Backspace, "    MOVE(10,0)"}};
  for (const auto& [key, strLine] : keys) {
    QTest::keyClick(&Editor(), key);
    EXPECT_EQ(Line(nLine), strLine);
    Frm().FlushPendingWork();
    EXPECT_LT(Frm().Interpreter().LinesRun(), 2 * 1024u);
    const QImage followed = picture();
    const auto display = Frm().Document().m_DisplayList;
    const auto ends = Frm().Document().m_EndPointList;
    // A whole pass and a whole drawing of the same text.
    Frm().Interpreter().Interpret();
    Frm().InvalidatePlotPicture();
    EXPECT_EQ(Frm().Document().m_DisplayList, display);
    EXPECT_EQ(Frm().Document().m_EndPointList, ends);
    EXPECT_TRUE(picture() == followed);
  }
  ExpectInSync();
}

}  // namespace
}  // namespace veltrane::test
