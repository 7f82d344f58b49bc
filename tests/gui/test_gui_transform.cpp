// The sequence tools in the window: the current line and sequence after a command,
// dragging a sequence, look-ahead toggles, and the whole-program commands and the import
// cancelled at each report of their progress. (Each command through its dialog, range
// limits and appended drawings: test_gui_real_dialogs.cpp.)
#include <QAction>
#include <QSignalBlocker>
#include <QTest>

#include "gui/GuiFixture.h"
#include "model/TextFile.h"
#include "tools/AutoCodeInsert.h"

namespace veltrane::test {
namespace {

class TransformTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    OpenExample();
    ClickLine(16);  // MOVEABS(15,25): sequence 2
    ASSERT_EQ(Frm().CurrentSequence(), 2);
  }
};

TEST_F(TransformTest, SequenceCommandsClearTheCurrentLineMarkAndKeepTheSequence) {
  ClickLine(5);  // MOVE(80,0) of the outline
  ASSERT_EQ(Frm().CurrentLine(), 5);
  Frm().Action("mniReverse")->trigger();
  EXPECT_EQ(Frm().CurrentLine(), -1);  // line 5 holds another move now
  EXPECT_EQ(Frm().CurrentSequence(), 1);
  Frm().Action("mniReverse")->trigger();  // still the sequence to work on
  ClickLine(5);
  Frm().Undo();
  EXPECT_EQ(Frm().CurrentLine(), -1);
  EXPECT_EQ(Frm().CurrentSequence(), 1);
  // A sequence deleted is no longer the current one.
  Frm().Action("mniDeleteSequence")->trigger();
  EXPECT_EQ(Frm().CurrentSequence(), 0);
}

TEST_F(TransformTest, DraggingASequenceShiftsItInOneUndoStep) {
  Frm().FlushPendingWork();
  size_t i = EntryOfLine(17);
  ASSERT_GT(i, 0u);
  const QPoint start = SegmentMiddle(i);
  QTest::mousePress(Frm().pbPlot(), Qt::LeftButton, {}, start);
  ASSERT_EQ(Frm().CurrentSequence(), 2);
  const int nUndo = Frm().UndoHistory().Count();
  const double fScale = Frm().Interpreter().XScale();
  for (int k = 1; k <= 3; ++k) {
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(20 * k, 0)),
                     Frm().pbPlot()->mapToGlobal(QPointF(start + QPoint(20 * k, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frm().pbPlot(), &move);
  }
  QTest::mouseRelease(Frm().pbPlot(), Qt::LeftButton, {}, start + QPoint(60, 0));
  TStringList body{Line(16)};
  TTransformer t;
  t.SetProgram(&body);
  t.LoadSourceList();
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fX, 15 + 60 / fScale, 3e-4);
  EXPECT_NEAR(t.SourceMoves()[0].fEndPoint.fY, 25, 1e-9);
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  Frm().Undo();
  EXPECT_EQ(Line(16), "    MOVEABS(15,25)");
}

TEST_F(TransformTest, LookAheadTogglesRewriteTheProgramAndPersist) {
  Frm().Action("mniLookAheadforCircle")->trigger();
  EXPECT_EQ(Line(7), "    MOVECIRCSP(-20,20,-20,0,0)");
  EXPECT_TRUE(TVLTRegistry().LookAheadMoveCirc());
  Frm().Action("mniLookAheadforSequenceStart")->trigger();
  EXPECT_EQ(Line(4), "    MOVEABSSP(0,0)");
  // Made moves take the chosen forms: reversing writes a MOVEABSSP start.
  Frm().Action("mniReverse")->trigger();
  EXPECT_EQ(Line(16), "    MOVEABSSP(15,25)");
  Frm().Action("mniLookAheadforCircle")->trigger();
  EXPECT_EQ(Line(7), "    MOVECIRC(-20,20,-20,0,0)");
  EXPECT_FALSE(TVLTRegistry().LookAheadMoveCirc());
}

class DrawingTest : public WindowTest {};

TEST_F(DrawingTest, ImportAsksForTheDrawingBeforeEmptyingTheProgram) {
  OpenExample();
  ClickLine(5);
  Frm().Action("mniReverse")->trigger();  // modified, with history
  const TStringList before = Frm().Document().m_Program;
  const QString strName = Frm().FileName();
  m_Prompts.Answers = {EAnswer::eNo};
  Frm().Action("mniImportDXF")->trigger();  // the file dialog is cancelled
  EXPECT_EQ(Frm().Document().m_Program, before);
  EXPECT_EQ(Frm().FileName(), strName);
  const int nHistory = Frm().UndoHistory().Count();
  EXPECT_GT(nHistory, 0);

  // Cancelled while it runs (the progress dialog's Cancel), at any stage: nothing changes.
  for (int k : {1, 2, 4}) {
    m_Prompts.Answers = {EAnswer::eNo};
    m_Prompts.DrawingNames = {std::string(VELTRANE_SOURCE_DIR "/tests/data/ezdxf/square_r2000.dxf")};
    m_Prompts.Layers = TStringList{"WALLS"};
    m_Prompts.ProgressReports.clear();
    m_Prompts.CancelAtReport = k;
    Frm().Action("mniImportDXF")->trigger();
    EXPECT_EQ(m_Prompts.ProgressReports.size(), static_cast<size_t>(k));
    EXPECT_EQ(Frm().Document().m_Program, before);
    EXPECT_EQ(Frm().FileName(), strName);
    EXPECT_EQ(Frm().UndoHistory().Count(), nHistory);
    EXPECT_TRUE(Frm().ProgramModified());
    EXPECT_TRUE(m_Prompts.Messages.empty());
  }
  m_Prompts.CancelAtReport = 0;
  m_Prompts.ProgressReports.clear();

  m_Prompts.Answers = {EAnswer::eNo};
  m_Prompts.DrawingNames = {std::string(VELTRANE_SOURCE_DIR "/tests/data/ezdxf/square_r2000.dxf")};
  m_Prompts.Layers = TStringList{"WALLS"};
  Frm().Action("mniImportDXF")->trigger();
  ASSERT_FALSE(m_Prompts.ProgressReports.empty());
  EXPECT_EQ(m_Prompts.ProgressReports.back().second, 1.0);
  EXPECT_EQ(m_Prompts.Titles.back(), "Progress: Importing square_r2000.dxf");
  // The command-line import of all layers numbers WALLS 2; here it is the only one.
  TStringList want = LoadLines(VELTRANE_SOURCE_DIR "/tests/golden/import_square.bas");
  for (auto& l : want)
    if (l.find("Layer2:WALLS") != std::string::npos) l.replace(l.find('2'), 1, "0");
  EXPECT_EQ(Frm().Document().m_Program, want);
  EXPECT_TRUE(Frm().FileName().isEmpty());
  EXPECT_EQ(Frm().UndoHistory().Count(), 0);
  EXPECT_EQ(Frm().BackList(), Frm().Document().m_Program);
  EXPECT_TRUE(Frm().ProgramModified());
  ExpectInSync();
}

}  // namespace
}  // namespace veltrane::test

namespace veltrane::test {
namespace {

// The commands over the whole program show progress; Cancel at any report leaves the
// program and the undo history as they were (and the offset terms' check mark).
TEST_F(TransformTest, WholeProgramCommandsCancelledChangeNothing) {
  const TStringList before = Frm().Document().m_Program;
  TPathRequest lead;
  lead.evOp = EPathOp::eLeadInOut;
  lead.fLeadIn = 2;
  struct TCommand {
    const char* strAction;
    std::function<void(TTestPrompts&)> Answer;
  };
  const TCommand commands[] = {{"mniRotateAll", [](TTestPrompts& p) { p.Values = {"90"}; }},
                               {"mniReverseAll", [](TTestPrompts&) {}},
                               {"mniLeadInOutAll", [&](TTestPrompts& p) { p.PathRequests = {lead}; }},
                               {"mniAddParToMA", [](TTestPrompts&) {}},
                               {"mniAutoCodeInsert", [](TTestPrompts& p) {
                                  TAutoCodeTexts t;
                                  t.strProgramStart = "' begin";
                                  p.AutoCodeTexts = t;
                                }}};
  for (const TCommand& c : commands) {
    QAction* a = Frm().Action(c.strAction);
    const bool bChecked = a->isChecked();
    const int nUndo = Frm().UndoHistory().Count();
    // Done, it changes the program as one undo step and reports its end.
    c.Answer(m_Prompts);
    m_Prompts.ProgressReports.clear();
    a->trigger();
    EXPECT_EQ(m_Prompts.Titles.back().rfind("Progress: ", 0), 0u) << c.strAction;
    EXPECT_NE(Frm().Document().m_Program, before) << c.strAction;
    EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1) << c.strAction;
    const size_t nReports = m_Prompts.ProgressReports.size();
    ASSERT_GE(nReports, 2u) << c.strAction;
    EXPECT_EQ(m_Prompts.ProgressReports.back().second, 1.0) << c.strAction;
    Frm().Undo();
    if (a->isCheckable()) {
      QSignalBlocker block(a);
      a->setChecked(bChecked);
    }
    ASSERT_EQ(Frm().Document().m_Program, before) << c.strAction;
    // Cancelled at any of those reports, it changes nothing.
    for (size_t k = 1; k <= nReports; ++k) {
      c.Answer(m_Prompts);
      m_Prompts.CancelAtReport = static_cast<int>(k);
      m_Prompts.ProgressReports.clear();
      a->trigger();
      m_Prompts.CancelAtReport = 0;
      EXPECT_EQ(Frm().Document().m_Program, before) << c.strAction << " " << k;
      EXPECT_EQ(Frm().UndoHistory().Count(), nUndo) << c.strAction << " " << k;
      EXPECT_EQ(a->isChecked(), bChecked) << c.strAction;
    }
    ExpectInSync();
  }
}

}  // namespace
}  // namespace veltrane::test
