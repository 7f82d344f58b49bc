// The program editor: its edit records and the combined history, the line normaliser on
// the line the caret leaves, and the red current line.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <random>

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

// Return and Shift+Return break the line alike; a backspace at a line's start joins it
// again, and Undo takes that back.
TEST_F(WindowTest, ReturnBreaksTheLineAndBackspaceAtItsStartJoinsIt) {
  Editor().setFocus();
  for (Qt::KeyboardModifier m : {Qt::NoModifier, Qt::ShiftModifier}) {
    Editor().selectAll();
    QTest::keyClick(&Editor(), Qt::Key_Delete);
    QTest::keyClicks(&Editor(), "ab");
    QTest::keyClick(&Editor(), Qt::Key_Return, m);
    QTest::keyClicks(&Editor(), "cd");
    EXPECT_EQ(Frm().Document().m_Program, (TStringList{"ab", "cd"})) << m;
    QTest::keyClick(&Editor(), Qt::Key_Home);
    QTest::keyClick(&Editor(), Qt::Key_Backspace);
    EXPECT_EQ(Frm().Document().m_Program, TStringList{"abcd"}) << m;
    Frm().Undo();
    EXPECT_EQ(Frm().Document().m_Program, (TStringList{"ab", "cd"})) << m;
    ExpectInSync();
  }
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


// The editor against a plain model of its text (one string, the caret and the selection's
// other end as places in it): seeded random keys, Latin and wider characters.
TEST(EditorModel, RandomKeysDoWhatTheModelDoes) {
  TRichEditPlus e;
  e.resize(300, 200);
  std::mt19937 rng(81226);
  QString text;
  qsizetype caret = 0, anchor = 0;
  auto lineStart = [&](qsizetype p) { return p == 0 ? 0 : text.lastIndexOf('\n', p - 1) + 1; };
  auto lineEnd = [&](qsizetype p) {
    const qsizetype n = text.indexOf('\n', p);
    return n < 0 ? text.size() : n;
  };
  auto replace = [&](const QString& s) {
    const qsizetype a = std::min(caret, anchor), b = std::max(caret, anchor);
    text.replace(a, b - a, s);
    caret = anchor = a + s.size();
  };
  const QString chars = QString::fromUtf8("ab1(,)\u00e9\u4e2d");
  for (int k = 0; k < 4000; ++k) {
    const int op = static_cast<int>(rng() % 11);
    const bool bShift = rng() % 3 == 0;
    const Qt::KeyboardModifiers mods = bShift ? Qt::ShiftModifier : Qt::NoModifier;
    const bool bSel = caret != anchor;
    switch (op) {
      case 0: case 1: case 2: {
        const QString c = chars.mid(static_cast<qsizetype>(rng() % chars.size()), 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, c);
        QApplication::sendEvent(&e, &press);
        replace(c);
        break;
      }
      case 3:
        QTest::keyClick(&e, Qt::Key_Return);
        replace("\n");
        break;
      case 4:
        QTest::keyClick(&e, Qt::Key_Backspace);
        if (!bSel && caret > 0) anchor = caret - 1;
        replace("");
        break;
      case 5:
        QTest::keyClick(&e, Qt::Key_Delete);
        if (!bSel && caret < text.size()) anchor = caret + 1;
        replace("");
        break;
      case 6:
      case 7: {
        const bool bLeft = op == 6;
        QTest::keyClick(&e, bLeft ? Qt::Key_Left : Qt::Key_Right, mods);
        if (!bShift && bSel)
          caret = bLeft ? std::min(caret, anchor) : std::max(caret, anchor);
        else
          caret = std::clamp<qsizetype>(caret + (bLeft ? -1 : 1), 0, text.size());
        if (!bShift) anchor = caret;
        break;
      }
      case 8:
      case 9: {
        const bool bHome = op == 8;
        const bool bCtrl = rng() % 2 == 0;
        QTest::keyClick(&e, bHome ? Qt::Key_Home : Qt::Key_End, mods | (bCtrl ? Qt::ControlModifier : Qt::NoModifier));
        caret = bCtrl ? (bHome ? 0 : text.size()) : (bHome ? lineStart(caret) : lineEnd(caret));
        if (!bShift) anchor = caret;
        break;
      }
      default: {
        // A selection set through the history's offsets, which count CR LF line breaks.
        const qsizetype a = static_cast<qsizetype>(rng() % (text.size() + 1));
        const qsizetype b = static_cast<qsizetype>(rng() % (text.size() + 1));
        auto crlf = [&](qsizetype p) { return static_cast<int32_t>(p + text.left(p).count('\n')); };
        e.SetSelection(crlf(a), crlf(b) - crlf(a));
        anchor = a;
        caret = b;
        ASSERT_EQ(e.SelStart(), crlf(std::min(a, b))) << k;
        ASSERT_EQ(e.SelLength(), crlf(std::max(a, b)) - crlf(std::min(a, b))) << k;
        break;
      }
    }
    ASSERT_EQ(e.toPlainText(), text) << "key " << k << ", op " << op;
    auto pos = [&](qsizetype p) {
      const qsizetype s = lineStart(p);
      return TTextPos{static_cast<int>(text.left(s).count('\n')), static_cast<int>(p - s)};
    };
    ASSERT_EQ(e.Caret(), pos(caret)) << "key " << k << ", op " << op;
    ASSERT_EQ(e.Anchor(), pos(anchor)) << "key " << k << ", op " << op;
    ASSERT_EQ(e.SelectedText(), text.mid(std::min(caret, anchor), std::abs(caret - anchor))) << k;
  }
}


// Moving by lines and pages keeps the column's place and the caret in view; the mouse
// places, drags and double-clicks; a long line scrolls sideways to the caret.
TEST(EditorModel, MovesScrollingAndTheMouse) {
  TRichEditPlus e;
  e.resize(300, 200);
  e.show();
  QStringList lines;
  for (int i = 0; i < 200; ++i) lines << (i % 3 == 1 ? "ab" : "abcdef word" + QString::number(i));
  lines << QString(500, 'x');
  e.setPlainText(lines.join('\n'));
  e.SetCaret({0, 5});
  QTest::keyClick(&e, Qt::Key_Down);
  EXPECT_EQ(e.Caret(), (TTextPos{1, 2}));  // the short line's end
  QTest::keyClick(&e, Qt::Key_Down);
  EXPECT_EQ(e.Caret(), (TTextPos{2, 5}));  // the column's place again
  const int nPage = e.verticalScrollBar()->pageStep();
  ASSERT_GT(nPage, 3);
  QTest::keyClick(&e, Qt::Key_PageDown);
  EXPECT_EQ(e.Caret().nLine, 2 + nPage);
  QTest::keyClick(&e, Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(e.Anchor().nLine, 2 + nPage);
  EXPECT_EQ(e.Caret().nLine, 2 + 2 * nPage);
  EXPECT_TRUE(e.viewport()->rect().contains(e.cursorRect()));
  QTest::keyClick(&e, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(e.Caret(), (TTextPos{200, 500}));
  EXPECT_GT(e.horizontalScrollBar()->value(), 0);
  EXPECT_TRUE(e.viewport()->rect().contains(e.cursorRect()));
  QTest::keyClick(&e, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(e.horizontalScrollBar()->value(), 0);
  EXPECT_EQ(e.verticalScrollBar()->value(), 0);
  // A drag from one place to another selects between them; a double click selects a word.
  const QPoint from = e.cursorRect({3, 2}).center() + QPoint(1, 0), to = e.cursorRect({5, 4}).center() + QPoint(1, 0);
  QTest::mousePress(e.viewport(), Qt::LeftButton, {}, from);
  QMouseEvent move(QEvent::MouseMove, to, e.viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(e.viewport(), &move);
  QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, to);
  EXPECT_EQ(e.Anchor(), (TTextPos{3, 2}));
  EXPECT_EQ(e.Caret(), (TTextPos{5, 4}));
  QTest::mouseDClick(e.viewport(), Qt::LeftButton, {}, e.cursorRect({6, 9}).center());
  EXPECT_EQ(e.SelectedText(), "word6");
  // Ctrl with the arrows moves by words.
  e.SetCaret({0, 0});
  QTest::keyClick(&e, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 7}));
  QTest::keyClick(&e, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(e.SelectedText(), "abcdef ");
}

}  // namespace
}  // namespace veltrane::test
