// The main window: layout, captions in both languages, the file lifecycle and its
// questions, help and the command states.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <set>
#include <QToolBar>
#include <QUrl>

#include "app/Captions.h"
#include "gui/GuiFixture.h"
#include "model/NumberFormat.h"
#include "model/TextFile.h"

namespace veltrane::test {
namespace {

struct TRect {
  int l, t, r, b;
};

void ExpectRect(QWidget* w, TRect r) {
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->geometry(), QRect(r.l, r.t, r.r - r.l, r.b - r.t)) << w->objectName().toStdString();
}

// The layout rules, written out for one client size.
void ExpectLayout(TfrmMain& f, int nListWidthBefore) {
  QWidget* client = f.centralWidget();
  const int CW = client->width(), CH = client->height();
  auto height = [](QWidget* w) { return w->isHidden() ? 0 : w->height(); };
  const int T = 2 + height(f.findChild<QToolBar*>("ToolBar"));
  const int M = 2 + height(f.FileStatus()) + height(f.GraphStatus());
  const int A = CW - 32;
  int Xr, nList = nListWidthBefore;
  if (A < nList + 50) {
    Xr = 87;
    nList = std::max(A - 50, 50);
  } else {
    Xr = A + 24 - nList - 1;
  }
  EXPECT_EQ(f.ListWidth(), nList);
  const int rulerBottom = CH - M - 16 - 20 - 1;
  ExpectRect(f.findChild<QWidget*>("sbVertical"), {2, T, 17, rulerBottom});
  ExpectRect(f.findChild<QWidget*>("rulerVertical"), {18, T, 37, rulerBottom});
  ExpectRect(f.findChild<QWidget*>("sbHorizontal"), {38, CH - M - 16, Xr, CH - M - 1});
  ExpectRect(f.findChild<QWidget*>("rulerHorizontal"), {38, CH - M - 36, Xr, CH - M - 17});
  ExpectRect(f.pbPlot(), {38, T, Xr, rulerBottom});
  ExpectRect(f.Pages(), {Xr + 7, T, Xr + 7 + nList, CH - M - 1});
  ExpectRect(f.findChild<QWidget*>("pnlSplitter"), {Xr + 1, T, Xr + 6, CH - M - 1});
  // The name takes what the state and the text encoding leave.
  EXPECT_EQ(f.FileStatus()->PanelWidth(0), f.FileStatus()->width() - 90 - f.FileStatus()->PanelWidth(2));
  EXPECT_EQ(f.PlotView().Width(), f.pbPlot()->width());
  EXPECT_EQ(f.Interpreter().PlotRect().Right - f.Interpreter().PlotRect().Left,
            f.pbPlot()->width());
}

TEST_F(WindowTest, LayoutFollowsTheWindowSize) {
  EXPECT_EQ(Frm().ListWidth(), 330);  // a window wider than 660 starts with 330
  ExpectLayout(Frm(), 330);
  for (QSize s : {QSize(1200, 800), QSize(700, 400), QSize(420, 300)}) {
    int before = Frm().ListWidth();
    Frm().resize(s);
    QApplication::processEvents();
    ExpectLayout(Frm(), before);
  }
  // Hiding the bars gives their room to the plot and the pages.
  for (const char* n : {"mniToolbar", "mniFileStatus", "mniGraphStatus"})
    Frm().Action(n)->trigger();
  QApplication::processEvents();
  EXPECT_EQ(Frm().pbPlot()->y(), 2);
  ExpectLayout(Frm(), Frm().ListWidth());
  // Never smaller than 360 by 240.
  Frm().resize(100, 100);
  QApplication::processEvents();
  EXPECT_GE(Frm().width(), 360);
  EXPECT_GE(Frm().height(), 240);
}

TEST_F(WindowTest, TheSplitterMovesTheBorderBetweenPlotAndText) {
  OpenExample();
  QWidget* grip = Frm().findChild<QWidget*>("pnlSplitter");
  const int before = Frm().ListWidth();
  const double fYSpan = Frm().PlotView().m_fYRange.fTo - Frm().PlotView().m_fYRange.fFrom;
  const double fXFrom = Frm().PlotView().m_fXRange.fFrom;
  QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(3, 100));
  QMouseEvent move(QEvent::MouseMove, QPointF(-97, 100), grip->mapToGlobal(QPointF(-97, 100)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grip, &move);
  QTest::mouseRelease(Frm().findChild<QWidget*>("pnlSplitter"), Qt::LeftButton, {}, QPoint(3, 100));
  EXPECT_EQ(Frm().ListWidth(), before + 100);
  ExpectLayout(Frm(), before + 100);
  // While dragging only the x range follows: scale and left edge stay.
  EXPECT_DOUBLE_EQ(Frm().PlotView().m_fXRange.fFrom, fXFrom);
  EXPECT_NEAR(Frm().PlotView().m_fYRange.fTo - Frm().PlotView().m_fYRange.fFrom, fYSpan,
              1e-9 * fYSpan);
}

QString ShownText(TfrmMain& f, const TCaptionEntry& c) {
  const QString name = c.strControl;
  if (QAction* a = f.findChild<QAction*>(name)) return c.bHint ? a->toolTip() : a->text();
  if (auto* g = f.findChild<QGroupBox*>(name)) return g->title();
  if (auto* b = f.findChild<QAbstractButton*>(name)) return b->text();
  if (auto* l = f.findChild<QLabel*>(name)) return l->text();
  return "<missing " + name + ">";
}

TEST_F(WindowTest, CaptionsInBothLanguages) {
  int nStartUpDifferences = 0;
  for (const TCaptionEntry& c : CaptionTable()) {
    EXPECT_EQ(ShownText(Frm(), c), QString::fromUtf8(c.StartUpText())) << c.strControl;
    if (c.strStartUp) ++nStartUpDifferences;
  }
  EXPECT_EQ(nStartUpDifferences, 13);
  EXPECT_EQ(Frm().Action("Plot1")->text(), "&View");

  OpenExample();
  ClickLine(5);
  const auto program = Frm().Document().m_Program;
  const int nLine = Frm().CurrentLine();

  Frm().Action("mniChinese")->trigger();
  EXPECT_TRUE(Frm().Action("mniChinese")->isChecked());
  EXPECT_FALSE(Frm().Action("mniEnglish")->isChecked());
  for (const TCaptionEntry& c : CaptionTable())
    EXPECT_EQ(ShownText(Frm(), c), QString::fromUtf8(c.strChinese)) << c.strControl;
  EXPECT_EQ(Frm().findChild<QMenu*>("mniFile")->title(), QString::fromUtf8("文件(&F)"));
  // The page tabs and the status texts follow too.
  EXPECT_EQ(Frm().Pages()->tabText(0), QString::fromUtf8("BASIC 程序"));
  EXPECT_EQ(Frm().FileStatus()->PanelText(1), QString::fromUtf8("未修改"));

  for (int round = 0; round < 2; ++round) {  // a second choice changes nothing further
    Frm().Action("mniEnglish")->trigger();
    for (const TCaptionEntry& c : CaptionTable())
      EXPECT_EQ(ShownText(Frm(), c), QString::fromUtf8(c.strEnglish)) << c.strControl;
    EXPECT_TRUE(Frm().Action("mniEnglish")->isChecked());
  }
  EXPECT_EQ(Frm().Action("Plot1")->text(), "&Plot");
  EXPECT_EQ(Frm().Document().m_Program, program);
  EXPECT_EQ(Frm().CurrentLine(), nLine);
  EXPECT_FALSE(Frm().ProgramModified());
}

TEST_F(WindowTest, ShortcutsAndHints) {
  EXPECT_EQ(Frm().Action("mniSaveAs")->shortcut(), QKeySequence("Ctrl+Shift+S"));
  EXPECT_EQ(Frm().Action("mniSelectAll")->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(Frm().Action("mniOptions")->shortcut(), QKeySequence("Ctrl+P"));
  EXPECT_EQ(Frm().Action("mniAbout")->shortcut(), QKeySequence("Ctrl+F10"));
  EXPECT_EQ(Frm().Action("sbShift")->toolTip(), "Shift  Sequence");
  // No two commands claim one shortcut.
  std::map<QString, QString> seen;
  for (QAction* a : Frm().findChildren<QAction*>()) {
    if (a->shortcut().isEmpty()) continue;
    auto [it, fresh] = seen.emplace(a->shortcut().toString(), a->objectName());
    EXPECT_TRUE(fresh) << a->objectName().toStdString() << " and " << it->second.toStdString();
  }
}

TEST_F(WindowTest, CommandStatesFollowProgramAndSequence) {
  EXPECT_FALSE(Frm().Action("mniReorderSequences")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniUndo")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniDeleteSequence")->isEnabled());
  OpenExample();
  EXPECT_TRUE(Frm().Action("mniReorderSequences")->isEnabled());
  ClickLine(5);
  EXPECT_EQ(Frm().CurrentSequence(), 1);
  EXPECT_TRUE(Frm().Action("mniDeleteSequence")->isEnabled());
  EXPECT_TRUE(Frm().Action("mniReverse")->isEnabled());
  EXPECT_TRUE(Frm().Action("mniRadiusCompSeq")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniPasteSeq")->isEnabled()) << "nothing copied yet";
  EXPECT_TRUE(Frm().Action("mniCheckProgram")->isEnabled());
  ClickLine(0);
  EXPECT_EQ(Frm().CurrentSequence(), 0);
  EXPECT_FALSE(Frm().Action("mniDeleteSequence")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniRadiusCompSeq")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniChangeStart")->isEnabled());
  EXPECT_FALSE(Frm().Action("mniCut")->isEnabled());
  Editor().selectAll();
  EXPECT_TRUE(Frm().Action("mniCut")->isEnabled());
}

// ---- file lifecycle

// Opening shows its progress; Cancel at any point leaves the program, its file name, its
// encoding, the editor and the history as they were.
TEST_F(WindowTest, CancelledOpeningChangesNothing) {
  OpenExample();
  ClickLine(5);
  Frm().Action("mniReverse")->trigger();  // modified, with history
  const TStringList before = Frm().Document().m_Program;
  const QString strName = Frm().FileName(), strText = Editor().toPlainText();
  const int nHistory = Frm().UndoHistory().Count();
  const QString other = WriteFile("other.bas", "MOVE(1,2)\r\n'\xE5\x9B\xBE\r\n");
  for (int k : {1, 2, 3}) {
    m_Prompts.Answers = {EAnswer::eNo};
    m_Prompts.OpenNames.push_back(other.toStdString());
    m_Prompts.ProgressReports.clear();
    m_Prompts.CancelAtReport = k;
    Frm().OpenFile();
    EXPECT_EQ(m_Prompts.ProgressReports.size(), static_cast<size_t>(k));
    EXPECT_EQ(Frm().Document().m_Program, before);
    EXPECT_EQ(Frm().FileName(), strName);
    EXPECT_EQ(Editor().toPlainText(), strText);
    EXPECT_EQ(Frm().UndoHistory().Count(), nHistory);
    EXPECT_TRUE(Frm().ProgramModified());
    EXPECT_TRUE(m_Prompts.Messages.empty());
    ExpectInSync();
  }
  m_Prompts.CancelAtReport = 0;
  m_Prompts.Answers = {EAnswer::eNo};
  m_Prompts.OpenNames.push_back(other.toStdString());
  Frm().OpenFile();
  EXPECT_EQ(Frm().FileName(), other);
  EXPECT_EQ(Editor().toPlainText(), QString("    MOVE(1,2)\n'") + QChar(0x56FE));
  EXPECT_EQ(Frm().Document().m_Program, (TStringList{"    MOVE(1,2)", "'\xE5\x9B\xBE"}));
}

// A whole-program command on a big program shows the editor's refresh as progress
// (without Cancel: the change is made); the caret stays where it was.
TEST_F(WindowTest, BigProgramsShowTheEditorsRefreshAsProgress) {
  struct TLower {
    size_t nWas = TfrmMain::s_nLinesForProgress;
    TLower() { TfrmMain::s_nLinesForProgress = 12; }
    ~TLower() { TfrmMain::s_nLinesForProgress = nWas; }
  } lower;
  OpenExample();
  ClickLine(5);
  const TTextPos caret = Editor().Caret();
  m_Prompts.ProgressReports.clear();
  Frm().Action("mniReverseAll")->trigger();
  EXPECT_EQ(m_Prompts.Titles.back(), "Progress without Cancel: Veltrane");
  ASSERT_FALSE(m_Prompts.ProgressReports.empty());
  EXPECT_EQ(m_Prompts.ProgressReports.back().second, 1.0);
  EXPECT_EQ(Editor().Caret(), caret);
  const TStringList reversed = Frm().Document().m_Program;
  EXPECT_NE(reversed, LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas"));
  ExpectInSync();
  // Cancel is never offered there: a scripted cancel is not taken.
  m_Prompts.CancelAtReport = 1;
  Frm().Action("mniUndo")->trigger();
  m_Prompts.CancelAtReport = 0;
  EXPECT_NE(Frm().Document().m_Program, reversed);
  ExpectInSync();
}

TEST_F(WindowTest, OpenAsksForAFileAndLoadsIt) {
  QString f = WriteFile("a.bas", "MOVE(1,2)\r\nMOVE(3,4)\r\n");
  m_Prompts.OpenNames.push_back(f.toStdString());
  Frm().OpenFile();
  ASSERT_GE(m_Prompts.Titles.size(), 2u);
  EXPECT_EQ(m_Prompts.Titles[m_Prompts.Titles.size() - 2], "Open Program File");
  EXPECT_EQ(m_Prompts.Titles.back(), "Progress: Opening a.bas");
  EXPECT_EQ(m_Prompts.ProgressReports.back().second, 1.0);
  EXPECT_EQ(Frm().FileName(), f);
  // Opening writes every move line in canonical form.
  EXPECT_EQ(Frm().Document().m_Program, (TStringList{"    MOVE(1,2)", "    MOVE(3,4)"}));
  EXPECT_EQ(Frm().BackList(), Frm().Document().m_Program);
  EXPECT_EQ(Frm().FileStatus()->PanelText(0), f);
  EXPECT_EQ(Frm().FileStatus()->PanelText(1), "Not Modified");
  ExpectInSync();
  // A cancelled dialog or a file gone since leaves everything as it is.
  m_Prompts.OpenNames.push_back(std::nullopt);
  m_Prompts.OpenNames.push_back(Path("gone.bas").toStdString());
  Frm().OpenFile();
  Frm().OpenFile();
  EXPECT_EQ(Frm().FileName(), f);
  EXPECT_EQ(Frm().Document().m_Program.size(), 2u);
}

TEST_F(WindowTest, EditingMarksTheProgramModified) {
  OpenExample();
  Editor().setFocus();
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClicks(&Editor(), "x");
  EXPECT_TRUE(Frm().ProgramModified());
  EXPECT_EQ(Frm().FileStatus()->PanelText(1), "Modified");
  ExpectInSync();
  // A typed move shows in the plot once the edit's work has run.
  const size_t nEntries = Frm().Document().m_DisplayList.size();
  QTest::keyClick(&Editor(), Qt::Key_Return);
  QTest::keyClicks(&Editor(), "MOVE(5,5)");
  Frm().FlushPendingWork();
  EXPECT_EQ(Frm().Document().m_DisplayList.size(), nEntries + 1);
  EXPECT_EQ(Frm().Document().m_DisplayList.back().nLine,
            static_cast<int>(Frm().Document().m_Program.size()) - 1);
}

TEST_F(WindowTest, SaveStripsTrailingBlanksAndWritesCrLf) {
  QString f = WriteFile("b.bas", "' note   \nSPEED=10\t\n");
  Open(f);
  Frm().Action("mniSave")->trigger();
  EXPECT_EQ(ReadFile(f), QByteArray("' note\r\nSPEED=10\r\n"));
  EXPECT_EQ(Line(0), "' note");  // in the editor too
  ExpectInSync();
  EXPECT_FALSE(Frm().ProgramModified());
}

TEST_F(WindowTest, ANumberBeyondRangeIsNamedOnOpening) {
  Open(WriteFile("huge.bas", "    MOVEABS(0,0)\n    MOVE(2e308,0)\n"));
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_EQ(m_Prompts.Messages[0].first, EMessageKind::eWarning);
  EXPECT_EQ(m_Prompts.Messages[0].second, "Line 2: 2e308 is beyond the range of numbers; the plot leaves it out");
  EXPECT_EQ(Line(1), "    MOVE(2e308,0)");  // kept as written
}

TEST_F(WindowTest, SaveWithoutANameAsksForOne) {
  QTest::keyClicks(&Editor(), "MOVE(1,1)");
  m_Prompts.SaveNames.push_back(std::nullopt);
  Frm().Action("mniSave")->trigger();
  EXPECT_EQ(m_Prompts.Titles.back(), "Save Program File");
  EXPECT_TRUE(Frm().ProgramModified());
  EXPECT_TRUE(Frm().FileName().isEmpty());

  QString f = Path("new.bas");
  m_Prompts.SaveNames.push_back(f.toStdString());
  Frm().Action("mniSave")->trigger();
  EXPECT_EQ(Frm().FileName(), f);
  EXPECT_EQ(ReadFile(f), QByteArray("MOVE(1,1)\r\n"));
  EXPECT_FALSE(Frm().ProgramModified());
  TVLTRegistry reg;
  EXPECT_EQ(reg.LastBasicFile(), f.toStdString());

  // After Close, Save asks for a new name again.
  Frm().CloseFile();
  QTest::keyClicks(&Editor(), "MOVE(2,2)");
  m_Prompts.SaveNames.push_back(std::nullopt);
  size_t nTitles = m_Prompts.Titles.size();
  Frm().Action("mniSave")->trigger();
  EXPECT_EQ(m_Prompts.Titles.size(), nTitles + 1);
}

TEST_F(WindowTest, AFailedSaveKeepsTheProgramModified) {
  QTest::keyClicks(&Editor(), "MOVE(1,1)");
  const QString bad = Path("no/such/folder/x.bas");
  EXPECT_FALSE(Frm().SaveFile(bad));
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_EQ(m_Prompts.Messages[0].second.rfind("Error creating file " + bad.toStdString() + ": ", 0), 0u);
  EXPECT_EQ(m_Prompts.Messages[0].first, EMessageKind::eInformation);
  EXPECT_TRUE(Frm().ProgramModified());
  // A close whose save fails is cancelled.
  m_Prompts.Answers = {EAnswer::eYes};
  m_Prompts.SaveNames.push_back(bad.toStdString());
  Frm().CloseFile();
  EXPECT_EQ(Frm().Document().m_Program, TStringList{"MOVE(1,1)"});
}

TEST_F(WindowTest, AFailedSaveLeavesThePreviousFileWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "a read-only folder does not stop writes on Windows (test_platform has a failed replace)";
#else
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
#endif
  QDir(m_Dir.path()).mkdir("ro");
  QString f = Path("ro/keep.bas");
  WriteFile("ro/keep.bas", "MOVE(9,9)\r\n");
  Open(f);
  QTest::keyClicks(&Editor(), "X");
  QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_FALSE(Frm().SaveFile(f));
  QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(ReadFile(f), QByteArray("MOVE(9,9)\r\n"));
  EXPECT_TRUE(Frm().ProgramModified());
}

// Save writes through a link to its target, keeps the file's permissions, and leaves
// a file without write permission alone (as the superuser too).
TEST_F(WindowTest, SaveFollowsLinksAndKeepsReadOnlyFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and mode bits are POSIX's (QFile::link makes a shortcut on Windows)";
#endif
  WriteFile("target.bas", "MOVE(9,9)\r\n");
  QFile::setPermissions(Path("target.bas"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  ASSERT_TRUE(QFile::link(Path("target.bas"), Path("link.bas")));
  Open(Path("link.bas"));
  QTest::keyClicks(&Editor(), "X");
  ASSERT_TRUE(Frm().SaveFile(Path("link.bas")));
  EXPECT_TRUE(QFileInfo(Path("link.bas")).isSymLink());
  const QByteArray saved = ReadFile(Path("target.bas"));
  EXPECT_TRUE(saved.startsWith("X") && saved.endsWith("MOVE(9,9)\r\n")) << saved.toStdString();
  const auto modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                        QFile::ExeOther;
  EXPECT_EQ(QFile::permissions(Path("target.bas")) & modeBits,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

  QFile::setPermissions(Path("target.bas"), QFile::ReadOwner | QFile::ReadGroup);
  QTest::keyClicks(&Editor(), "Y");
  m_Prompts.Messages.clear();
  EXPECT_FALSE(Frm().SaveFile(Path("link.bas")));
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_EQ(m_Prompts.Messages[0].second, Path("link.bas").toStdString() + " is read-only");
  EXPECT_EQ(ReadFile(Path("target.bas")), saved);
  EXPECT_TRUE(Frm().ProgramModified());
}

TEST_F(WindowTest, ClosingTheWindowAsksAndMayStayOpen) {
  QTest::keyClicks(&Editor(), "MOVE(1,1)");
  m_Prompts.Answers = {EAnswer::eCancel};
  EXPECT_FALSE(Frm().close());
  EXPECT_TRUE(Frm().isVisible());
  // Yes, then a cancelled save dialog: still open.
  m_Prompts.Answers = {EAnswer::eYes};
  m_Prompts.SaveNames.push_back(std::nullopt);
  EXPECT_FALSE(Frm().close());
  m_Prompts.Answers = {EAnswer::eNo};
  EXPECT_TRUE(Frm().close());
}

TEST_F(WindowTest, AppendingAProgramToItselfRenumbersItsSequences) {
  OpenExample();
  const size_t n = Frm().Document().m_Program.size();
  m_Prompts.OpenNames.push_back(VELTRANE_SOURCE_DIR "/examples/bracket.bas");
  Frm().Action("mniAppendBASIC")->trigger();
  EXPECT_EQ(Frm().Document().m_Program.size(), 2 * n);
  TStringList numbers;
  EXPECT_TRUE(GetSequenceNumberList(Frm().Document().m_Program, numbers, nullptr));
  EXPECT_EQ(numbers, (TStringList{"1", "2", "3", "4", "5", "6"}));
  EXPECT_FALSE(ListHasDuplicates(numbers, "Sequence", nullptr));
  EXPECT_TRUE(Frm().ProgramModified());
  ExpectInSync();
}

TEST_F(WindowTest, SettingsAreWrittenWhenTheWindowGoes) {
  m_Prompts.PlotOptions = [](TPlotOptionsFields& f) {
    f.strXAxis = "2";
    f.strYAxis = "2";
    return true;
  };
  Frm().ChangeOptions();
  EXPECT_EQ(Frm().Interpreter().XAxisNumber(), 2);
  EXPECT_EQ(Frm().Interpreter().YAxisNumber(), 3);  // Y equal to X becomes X + 1
  EXPECT_EQ(Frm().GraphStatus()->PanelText(TfrmMain::c_nYAxisPanel), "3");
  m_pFrm.reset();
  TVLTRegistry reg;
  EXPECT_EQ(reg.XAxis(), 2);
  EXPECT_EQ(reg.YAxis(), 3);
  TfrmMain again(&m_Prompts);
  EXPECT_EQ(again.Interpreter().YAxisNumber(), 3);
}

TEST_F(WindowTest, VerticalRulerLabelsShowWhole) {
#ifdef _WIN32
  // Under Wine the offscreen platform finds no font files and draws every character as a
  // box, taller than any label; the ruler's labels are checked in the native build.
  GTEST_SKIP() << "no fonts on the offscreen platform under Wine";
#endif
  // Each label runs upwards from its tick: it must lie inside the 20-pixel ruler across,
  // and clear of the next label along it.
  for (const char* strProgram : {"", "    MOVE(0,100)\n    MOVE(0,-1234.5)\n"}) {
    Open(WriteFile("ruler.bas", strProgram));
    Frm().FlushPendingWork();
    QWidget* r = Frm().findChild<QWidget*>("rulerVertical");
    ASSERT_NE(r, nullptr);
    QFont f("Arial");
    f.setPointSize(8);
    f.setBold(true);
    const QFontMetrics fm(f);
    std::vector<std::pair<int, int>> spans;  // each label's bottom and top pixel
    std::set<std::string> labels;
    for (const TRulerTick& t : TPlotView::RulerTicks(Frm().PlotView().m_fYRange, r->height(), false)) {
      const std::string s = StringFromDouble(t.fValue);
      labels.insert(s);
      // The label's ink, turned: its height lies across the ruler from the baseline
      // 11 pixels in from the edge, its width along the ruler upwards from the tick.
      const QRect ink = fm.tightBoundingRect(QString::fromStdString(s));
      EXPECT_GE(r->width() - 11 + ink.top(), 0) << s;
      EXPECT_LE(r->width() - 11 + ink.bottom(), r->width() - 1) << s;
      spans.emplace_back(t.nPixel - 3 - ink.left(), t.nPixel - 3 - ink.right());
    }
    // And in the picture: beside the ticks, nothing dark reaches the ruler's far edge, as
    // a label written across the narrow ruler would.
    const QImage img = r->grab().toImage();
    std::vector<int> ticks;
    for (const TRulerTick& t : TPlotView::RulerTicks(Frm().PlotView().m_fYRange, r->height(), false))
      ticks.push_back(t.nPixel);
    int nDark = 0;
    for (int y = 0; y < img.height(); ++y) {
      if (std::any_of(ticks.begin(), ticks.end(), [y](int t) { return std::abs(t - y) <= 1; })) continue;
      for (int x = img.width() - 6; x < img.width() - 1; ++x) nDark += qGray(img.pixel(x, y)) < 90;
    }
    EXPECT_EQ(nDark, 0);
    std::sort(spans.begin(), spans.end(), std::greater<>());
    for (size_t i = 1; i < spans.size(); ++i) EXPECT_LT(spans[i].first, spans[i - 1].second) << "labels overlap";
    EXPECT_GT(labels.size(), 3u) << "every tick has its own value";
  }
}

TEST_F(WindowTest, EveryToolbarButtonHasItsOwnDrawnIconAtBothScales) {
  std::vector<QImage> seen;
  for (const char* n : {"sbReverse", "sbShift", "sbScale", "sbRotate", "sbMirror", "sbUndo", "sbReset", "sbZoomIn", "sbPan"}) {
    const QIcon icon = Frm().Action(n)->icon();
    for (qreal dpr : {1.0, 2.0}) {
      const QImage img = icon.pixmap(QSize(20, 20), dpr).toImage();
      EXPECT_EQ(img.width(), static_cast<int>(20 * dpr)) << n;  // drawn at that size, not scaled up
      int nInk = 0;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) nInk += qAlpha(img.pixel(x, y)) > 128;
      EXPECT_GT(nInk, 10 * dpr * dpr) << n;
      if (dpr == 1.0) {
        for (const QImage& other : seen) EXPECT_NE(img, other) << n;
        seen.push_back(img);
      }
    }
  }
}

TEST_F(WindowTest, HelpOpensTheGuideBesideTheProgramOnlyWhenItExists) {
  std::vector<QUrl> opened;
  Frm().OpenUrl = [&](const QUrl& u) {
    opened.push_back(u);
    return true;
  };
  const QString exe = QCoreApplication::applicationFilePath();
  const QString guide = TfrmMain::HelpFileName(exe);
#ifdef _WIN32
  EXPECT_EQ(guide, exe.chopped(4) + ".html");  // test_gui.exe: test_gui.html
#else
  EXPECT_EQ(guide, exe + ".html");
#endif
  {
    // An installed package keeps the guide with its documentation.
    QTemporaryDir root;
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/doc/veltrane");
    const QString installed = root.path() + "/usr/share/doc/veltrane/veltrane.html";
    QFile f(installed);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_EQ(TfrmMain::HelpFileName(root.path() + "/usr/bin/veltrane"), installed);
  }
  QFile::remove(guide);
  Frm().Action("mniHelpTopics")->trigger();
  EXPECT_TRUE(opened.empty());
  {
    QFile f(guide);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html></html>");
  }
  Frm().Action("sbHelp")->trigger();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(guide));
  EXPECT_TRUE(m_Prompts.Messages.empty());
  // With no program to show it, the window says where the guide is.
  Frm().OpenUrl = [](const QUrl&) { return false; };
  Frm().Action("mniHelpTopics")->trigger();
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_EQ(m_Prompts.Messages[0].second,
            "The user guide is " + QDir::toNativeSeparators(guide).toStdString() + "; no program to open it was found.");
  QFile::remove(guide);
  Frm().Action("mniAbout")->trigger();
  EXPECT_EQ(m_Prompts.nAbout, 1);
}

}  // namespace
}  // namespace veltrane::test
