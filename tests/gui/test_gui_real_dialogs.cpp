// The window as a user drives it: every command through its real dialogs, answered
// through their widgets while the event loop and its timers run (a progress window
// included), and what it writes compared with what veltrane-cli writes for the same
// operation.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QMenu>

#include "app/Dialogs.h"
#include "app/PathDialogs.h"
#include "app/ToolDialogs.h"
#include "gui/DialogDriver.h"
#include "gui/GuiFixture.h"
#include "plot/Interpreter.h"

namespace veltrane::test {
namespace {

// A user reads a dialog before answering it: longer than the progress window's delay, so
// that a progress window that would show itself over the dialog has the time to.
constexpr int c_nReadMs = 650;

QByteArray Unix(QByteArray s) { return s.replace("\r\n", "\n"); }

const QString c_strExampleDxf = VELTRANE_SOURCE_DIR "/examples/bracket.dxf";
const QString c_strExampleBas = VELTRANE_SOURCE_DIR "/examples/bracket.bas";

// How a command is reached: a menu entry, a tool button, or an entry of the plot's pop-up
// menu after a right click on the plot.
enum class EVia { eMenu, eToolButton, ePopup };

// Progress windows show as soon as work reports, for work a fast machine ends quickly.
struct TProgressAtOnce {
  TProgressAtOnce() { qputenv("VELTRANE_PROGRESS_DELAY_MS", "0"); }
  ~TProgressAtOnce() { qunsetenv("VELTRANE_PROGRESS_DELAY_MS"); }
};

class RealDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    FirstStartSettings();
    // The tests open a copy: File > Save must never write over the shipped example.
    ASSERT_TRUE(QFile::copy(c_strExampleBas, Path("bracket.bas")));
    QFile(Path("bracket.bas")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    m_strBracketBas = Path("bracket.bas");
    // The drawing too: a file dialog on Windows reads a name beginning with "/" on the
    // drive it shows, which need not be the source tree's.
    ASSERT_TRUE(QFile::copy(c_strExampleDxf, Path("bracket.dxf")));
    m_strBracketDxf = Path("bracket.dxf");
    m_pFrm = std::make_unique<TfrmMain>();  // the real dialogs
    m_pFrm->resize(1000, 700);
    m_pFrm->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    // Closing asks about unsaved work: No.
    TDialogDriver d;
    d.On("Save program changes?", [](QWidget* w) { TDialogDriver::Click(w, "No"); });
    if (m_pFrm->isVisible() && m_pFrm->ProgramModified()) d.Run([&] { m_pFrm->close(); });
    m_pFrm.reset();
  }

  TfrmMain& Frm() { return *m_pFrm; }
  QString Path(const QString& strName) const { return m_Dir.filePath(strName); }

  // Runs a menu command or tool button with the driver's script; fails the test on any
  // window the script did not foresee.
  void Run(const char* strAction, TDialogDriver& Driver) {
    QAction* a = Frm().Action(strAction);
    ASSERT_NE(a, nullptr) << strAction;
    Driver.Run([&] { a->trigger(); });
    ExpectWentAsScripted(strAction, Driver);
  }
  // The command's windows came as the script says, and nothing else.
  static void ExpectWentAsScripted(const char* strAction, const TDialogDriver& Driver) {
    EXPECT_TRUE(Driver.Errors.isEmpty()) << strAction << ": " << Driver.Errors.join("; ").toStdString()
                                         << "\nseen: " << Driver.Seen.join(" | ").toStdString();
  }
  // File > Open through the file dialog.
  void OpenThroughDialog(const QString& strPath) {
    TDialogDriver d;
    d.On("Open Program File", [=](QWidget* w) { TDialogDriver::ChooseFile(w, strPath); });
    Run("mniOpen", d);
  }
  // File > Save As through the file dialog; the bytes written.
  QByteArray SaveAs(const QString& strName) {
    const QString p = Path(strName);
    TDialogDriver d;
    d.On("Save Program File", [=](QWidget* w) { TDialogDriver::ChooseFile(w, p); });
    Run("mniSaveAs", d);
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // veltrane-cli with the arguments given: its standard output, or the file it wrote.
  static QByteArray Cli(const QStringList& Args, int* pExit = nullptr, QByteArray* pErr = nullptr) {
    QProcess p;
    p.start(VELTRANE_CLI, Args);
    EXPECT_TRUE(p.waitForFinished(120000));
    if (pExit) *pExit = p.exitCode();
    if (pErr) *pErr = p.readAllStandardError();
    return p.readAllStandardOutput();
  }
  QByteArray CliFile(QStringList Args, int* pExit = nullptr, QByteArray* pErr = nullptr) {
    const QString out = Path("cli-" + QString::number(++m_nCli) + ".bas");
    Args << "-o" << out;
    Cli(Args, pExit, pErr);
    QFile f(out);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // A program of n × n squares with a round hole in each: big enough that whole-program
  // work takes longer than the progress window's delay.
  QString WriteSheet(int n) {
    QByteArray s = "'$Layer0:SHEET\r\n";
    int k = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const QByteArray x = QByteArray::number(i * 20), y = QByteArray::number(j * 20);
        for (int h = 0; h < 2; ++h) {
          ++k;
          const QByteArray nk = QByteArray::number(k);
          s += "'$StartSeq(" + nk + ")\r\ncadseq" + nk + ":\r\n";
          if (h == 0)
            s += "    MOVEABS(" + x + "," + y + ")\r\n    MOVE(10,0)\r\n    MOVE(0,10)\r\n    MOVE(-10,0)\r\n"
                 "    MOVE(0,-10)\r\n";
          else
            s += "    MOVEABS(" + QByteArray::number(i * 20 + 7) + "," + QByteArray::number(j * 20 + 5) +
                 ")\r\n    MOVECIRC(0,0,-2,0,1)\r\n";
          s += "'$EndSeq(" + nk + ")\r\n";
        }
      }
    s += "'$EndLayer0:SHEET\r\n";
    QFile f(Path("sheet.bas"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(s);
    return Path("sheet.bas");
  }
  // Selects the sequence of an editor line by clicking it, as a user does.
  void ClickLine(int nLine) {
    TRichEditPlus& e = *Frm().memProgram();
    const QPoint p = e.cursorRect(TTextPos{nLine, 0}).center() + QPoint(1, 0);
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QApplication::processEvents();
  }
  // A command reached as the user reaches it.
  void Reach(const char* strAction, EVia evVia, TDialogDriver& Driver) {
    QAction* a = Frm().Action(strAction);
    ASSERT_NE(a, nullptr) << strAction;
    ASSERT_TRUE(a->isEnabled()) << strAction;
    switch (evVia) {
      case EVia::eMenu:
        Driver.Run([&] { a->trigger(); });
        break;
      case EVia::eToolButton: {
        auto* bar = Frm().findChild<QToolBar*>("ToolBar");
        ASSERT_NE(bar, nullptr);
        auto* button = qobject_cast<QAbstractButton*>(bar->widgetForAction(a));
        ASSERT_NE(button, nullptr) << strAction;
        Driver.Run([&] { TDialogDriver::Press(button); });
        break;
      }
      case EVia::ePopup: {
        QWidget* plot = Frm().pbPlot();
        QTest::mouseClick(plot, Qt::RightButton, Qt::NoModifier, plot->rect().center());
        QMenu* menu = nullptr;
        for (QMenu* m : Frm().findChildren<QMenu*>())
          if (m->isVisible() && m->actions().contains(a)) menu = m;
        ASSERT_NE(menu, nullptr) << "no pop-up menu with " << strAction;
        const QPoint at = menu->actionGeometry(a).center();
        Driver.Run([&] { QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, at); });
        break;
      }
    }
    ExpectWentAsScripted(strAction, Driver);
  }
  static TDialogDriver::TAnswer Read(TDialogDriver::TAnswer Then) {
    return [Then](QWidget* w) {
      QTest::qWait(c_nReadMs);
      Then(w);
    };
  }
  static TDialogDriver::TAnswer Ok() {
    return [](QWidget* w) { TDialogDriver::Click(w, "OK"); };
  }
  // The layer dialog answered with clicks: each layer picked and added, then OK.
  static TDialogDriver::TAnswer Layers(QStringList Names) {
    return [Names](QWidget* w) {
      auto* l = qobject_cast<TfrmLayer*>(w);
      if (!l) {
        ADD_FAILURE() << "not the layer dialog: " << w->windowTitle().toStdString();
        return TDialogDriver::Escape(w);
      }
      for (const QString& strLayer : Names) {
        TDialogDriver::PickItems(l->lbLayers, {strLayer});
        TDialogDriver::Press(l->btnAdd);
      }
      TDialogDriver::Click(w, "OK");
    };
  }
  // The editor shows the program's lines, and the plot was made again from them.
  void ExpectInSyncAndPlotted() {
    Frm().FlushPendingWork();
    QStringList lines;
    for (const auto& l : Frm().Document().m_Program) lines << QString::fromLatin1(l.c_str());
    EXPECT_EQ(Frm().memProgram()->toPlainText(), lines.join('\n'));
    TStringList text = Frm().Document().m_Program;
    TInterpreter plain;
    plain.SetProgram(&text);
    plain.Interpret();
    TfRange x, y, wx, wy;
    ASSERT_TRUE(plain.GetExtents(x, y));
    ASSERT_TRUE(Frm().Interpreter().GetExtents(wx, wy));
    EXPECT_EQ(wx, x);
    EXPECT_EQ(wy, y);
  }

  QTemporaryDir m_Dir;
  QString m_strBracketBas, m_strBracketDxf;  // the examples' copies
  std::unique_ptr<TfrmMain> m_pFrm;
  int m_nCli = 0;
};

// File > Import > DXF: the file dialog, then the layer dialog, which the user reads and
// answers with clicks while no progress window covers it; the program is the one the
// command line makes with those layers.
TEST_F(RealDialogTest, ImportThroughTheLayerDialog) {
  TDialogDriver d;
  d.On("Open DXF File", [this](QWidget* w) { TDialogDriver::ChooseFile(w, m_strBracketDxf); });
  d.On("Select Layer", Read([](QWidget* w) {
         EXPECT_EQ(QApplication::activeWindow(), w);
         Layers({"OUTLINE", "HOLES"})(w);
       }));
  Run("mniImportDXF", d);
  EXPECT_EQ(d.nProgressShown, 0);
  const QByteArray window = SaveAs("imported.bas");
  ASSERT_FALSE(window.isEmpty());
  EXPECT_EQ(Unix(window), Unix(Cli({"import", m_strBracketDxf, "--layers", "OUTLINE,HOLES"})));
}

// Cancel at each question of the import leaves the empty program as it was.
TEST_F(RealDialogTest, ImportCancelledAtEachQuestion) {
  for (int nStage = 0; nStage < 2; ++nStage) {
    TDialogDriver d;
    d.On("Open DXF File", [this, nStage](QWidget* w) {
      if (nStage == 0)
        TDialogDriver::Click(w, "Cancel");
      else
        TDialogDriver::ChooseFile(w, m_strBracketDxf);
    });
    if (nStage == 1) d.On("Select Layer", Read([](QWidget* w) { TDialogDriver::Click(w, "Cancel"); }));
    Run("mniImportDXF", d);
    EXPECT_TRUE(Frm().Document().m_Program.empty()) << nStage;
  }
}

// Radius Compensate All with sequences that cannot take the radius: one warning after
// the work names them with their reasons, the others change, and the file saved is what
// the command line writes (which exits 3: partly done).
TEST_F(RealDialogTest, CompensateAllNamesTheRefusedSequencesOnce) {
  OpenThroughDialog(m_strBracketBas);
  TDialogDriver d;
  d.On("Tool radius compensation", [](QWidget* w) {
    auto* c = qobject_cast<TfrmCompensation*>(w);
    ASSERT_NE(c, nullptr);
    TDialogDriver::Type(c->edtCompensation, "6");
    TDialogDriver::Press(c->rdRight);
    TDialogDriver::Click(w, "OK");
  });
  QString strWarning;
  d.On("Unable to perform this transform on sequence 2: ", Read([&](QWidget* w) {
         strWarning = TDialogDriver::Text(w);
         TDialogDriver::Click(w, "OK");
       }));
  const int nUndo = Frm().UndoHistory().Count();
  Run("mniCompensation", d);
  EXPECT_EQ(strWarning.count("Unable to perform this transform on sequence"), 2) << strWarning.toStdString();
  EXPECT_TRUE(strWarning.contains("sequence 3: ")) << strWarning.toStdString();
  EXPECT_TRUE(strWarning.endsWith("The other sequences were changed.")) << strWarning.toStdString();
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  int nExit = 0;
  QByteArray err;
  const QByteArray cli = CliFile({"transform", m_strBracketBas, "--all", "compensate", "6", "--right"}, &nExit, &err);
  EXPECT_EQ(nExit, 3);
  EXPECT_TRUE(err.contains("sequence 2: ")) << err.toStdString();
  EXPECT_EQ(Unix(SaveAs("compensated.bas")), Unix(cli));
}

// A program big enough that the work shows its progress window: the refusals come once,
// after the progress window has gone; Cancel in the progress window changes nothing.
TEST_F(RealDialogTest, CompensateAllOnABigProgram) {
  OpenThroughDialog(WriteSheet(100));
  // The work takes a fraction of a second here: its progress window shows at once.
  TProgressAtOnce atOnce;
  const TStringList before = Frm().Document().m_Program;
  const int nUndo = Frm().UndoHistory().Count();
  auto compensation = [](QWidget* w) {
    auto* c = qobject_cast<TfrmCompensation*>(w);
    ASSERT_NE(c, nullptr);
    TDialogDriver::Type(c->edtCompensation, "2.5");  // too big for the holes' inside
    TDialogDriver::Press(c->rdRight);
    TDialogDriver::Click(w, "OK");
  };
  {
    TDialogDriver d;
    d.On("Tool radius compensation", compensation);
    d.On("Tool radius compensation", [](QWidget* w) { TDialogDriver::Click(w, "Cancel"); });  // the progress
    Run("mniCompensation", d);
    EXPECT_EQ(d.nProgressShown, 1);
    EXPECT_EQ(Frm().Document().m_Program, before);
    EXPECT_EQ(Frm().UndoHistory().Count(), nUndo);
  }
  TDialogDriver d;
  d.On("Tool radius compensation", compensation);
  QString strWarning;
  d.On("Unable to perform this transform on sequence 2: ", Read([&](QWidget* w) {
         strWarning = TDialogDriver::Text(w);
         TDialogDriver::Click(w, "OK");
       }));
  Run("mniCompensation", d);
  EXPECT_GE(d.nProgressShown, 1);
  EXPECT_TRUE(strWarning.contains("9970 more sequences could not be changed.")) << strWarning.toStdString();
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  EXPECT_EQ(Unix(SaveAs("sheet-compensated.bas")),
            Unix(CliFile({"transform", Path("sheet.bas"), "--all", "compensate", "2.5", "--right"})));
}

// Answers to the dialogs of the sequence tools, typed and clicked into their widgets.
template <class TDialog>
TDialog* As(QWidget* w) {
  auto* d = qobject_cast<TDialog*>(w);
  EXPECT_NE(d, nullptr) << "not the expected dialog: " << w->windowTitle().toStdString();
  return d;
}
TDialogDriver::TAnswer ShiftTo(QString x, QString y, bool bRelative) {
  return [=](QWidget* w) {
    auto* d = As<TfrmShift>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtX, x);
    TDialogDriver::Type(d->edtY, y);
    TDialogDriver::Press(bRelative ? d->rdRelative : d->rdAbsolute);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Value(QString v) {
  return [=](QWidget* w) {
    auto* d = As<TfrmEnterValue>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtValue, v);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Axis(bool bX) {
  return [=](QWidget* w) {
    auto* d = As<TfrmAxis>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Press(bX ? d->rdXAxis : d->rdYAxis);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Radius(QString r, bool bRight, bool bAbsolute = false) {
  return [=](QWidget* w) {
    auto* d = As<TfrmCompensation>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtCompensation, r);
    TDialogDriver::Press(bRight ? d->rdRight : d->rdLeft);
    if (d->chkAbsoluteMode->isChecked() != bAbsolute) TDialogDriver::Press(d->chkAbsoluteMode);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Fillet(QString deg, QString r) {
  return [=](QWidget* w) {
    auto* d = As<TfrmFilletCorners>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtAngle, deg);
    TDialogDriver::Type(d->edtRadius, r);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Lead(QString in, bool bInCw, QString out, bool bOutCw) {
  return [=](QWidget* w) {
    auto* d = As<TfrmLeadInOut>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtLeadIn, in);
    TDialogDriver::Press(bInCw ? d->rdInClockwise : d->rdInAntiClockwise);
    TDialogDriver::Type(d->edtLeadOut, out);
    TDialogDriver::Press(bOutCw ? d->rdOutClockwise : d->rdOutAntiClockwise);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer AddEnd(QString dist) {
  return [=](QWidget* w) {
    auto* d = As<TfrmAddEnd>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Type(d->edtAddEnd, dist);
    TDialogDriver::Click(w, "OK");
  };
}
TDialogDriver::TAnswer Tabs(QString n, QString length, bool bSpacing, bool bOnArcs) {
  return [=](QWidget* w) {
    auto* d = As<TfrmAddTabs>(w);
    if (!d) return TDialogDriver::Escape(w);
    TDialogDriver::Press(bSpacing ? d->rdSpacing : d->rdCount);
    TDialogDriver::Type(bSpacing ? d->edtSpacing : d->edtCount, n);
    TDialogDriver::Type(d->edtLength, length);
    if (d->chkOnArcs->isChecked() != bOnArcs) TDialogDriver::Press(d->chkOnArcs);
    TDialogDriver::Click(w, "OK");
  };
}
// The grid's cells are typed into as a user does: a cell chosen, its text typed, Return.
TDialogDriver::TAnswer Batch(QString dx, QString nx, QString dy, QString ny) {
  return [=](QWidget* w) {
    auto* d = As<TBatCopy>(w);
    if (!d) return TDialogDriver::Escape(w);
    const QString cells[2][2] = {{dx, nx}, {dy, ny}};
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 2; ++c) {
        QTableWidget* g = d->sgBatCopy;
        const QRect rc = g->visualRect(g->model()->index(r + 1, c + 1));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, rc.center());
        QTest::keyClick(g, Qt::Key_F2);  // edits the cell, its text selected
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : g->findChildren<QLineEdit*>())
          if (e->isVisible()) editor = e;
        if (!editor) {
          ADD_FAILURE() << "no cell editor";
          continue;
        }
        editor->selectAll();
        QTest::keyClicks(editor, cells[r][c]);
        QTest::keyClick(editor, Qt::Key_Return);
      }
    TDialogDriver::Click(w, "OK");
  };
}

// The program check's report window shows what the command line's check prints.
TEST_F(RealDialogTest, CheckProgramShowsTheCommandLinesReport) {
  const QString faulty = Path("faulty.bas");
  ASSERT_TRUE(QFile::copy(VELTRANE_SOURCE_DIR "/tests/data/faulty.bas", faulty));
  OpenThroughDialog(faulty);
  QString strReport;
  TDialogDriver d;
  d.On("Program Check", Read([&](QWidget* w) {
         auto* c = As<TfrmProgramCheck>(w);
         if (!c) return TDialogDriver::Escape(w);
         strReport = c->memReport->toPlainText();
         TDialogDriver::Press(c->btnOK);
       }));
  Run("mniCheckProgram", d);
  int nExit = 0;
  const QByteArray cli = Cli({"check", faulty}, &nExit);
  EXPECT_EQ(nExit, 1);
  EXPECT_EQ("Program Check\n" + strReport.toStdString() + "\n", Unix(cli).toStdString());
}

// Every dialog that changes nothing when cancelled: reached, shown, cancelled; the
// program and its history stay as they were. Then each again with OK where OK stores
// settings only.
TEST_F(RealDialogTest, DialogsCancelledChangeNothing) {
  OpenThroughDialog(m_strBracketBas);
  ClickLine(5);
  const TStringList before = Frm().Document().m_Program;
  const int nUndo = Frm().UndoHistory().Count();
  // Cancel, or Escape where the dialog has OK only.
  const auto cancel = [](QWidget* w) {
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
      if (TDialogDriver::Plain(b->text()) == "Cancel") return TDialogDriver::Click(w, "Cancel");
    QTest::keyClick(w, Qt::Key_Escape);
  };
  const std::vector<std::pair<const char*, const char*>> dialogs = {
      {"mniShift", "Shift Sequence"}, {"mniScale", "Scale Sequence"}, {"mniRotate", "Rotate Sequence"},
      {"mniMirror", "Mirror Sequence"}, {"mniRadiusCompSeq", "Tool radius compensation"},
      {"mniFilletCornersSequence", "Fillet Corners..."}, {"mniLeadInOut", "Lead In/Out Sequence"},
      {"mniAddTabs", "Add Tabs"}, {"mniBatteryCopySeq", "Batch Copy"},
      {"mniShiftAll", "Shift All"}, {"mniScaleAll", "Scale All"}, {"mniRotateAll", "Rotate All"},
      {"mniMirrorAll", "Mirror All"}, {"mniCompensation", "Tool radius compensation"},
      {"mniFilletCornersAll", "Fillet Corners..."}, {"mniLeadInOutAll", "Lead In/Out Sequence"},
      {"mniAddTabsAll", "Add Tabs to All"}, {"mniReorderSequences", "Sequence Order"},
      {"mniOptions", "Plot Options"}, {"sbOptions", "Plot Options"}, {"mniRangeSetting", "Machine Range Limits"},
      {"mniTextEncoding", "Text Encoding"}, {"mniControllerLinkConfig", "Controller Link Configuration"},
      {"mniImportOptions", "Import Options"}, {"mniOpen", "Open Program File"}, {"sbOpenFile", "Open Program File"},
      {"mniSaveAs", "Save Program File"}, {"mniImportDXF", "Open DXF File"}, {"mniAppendDXF", "Open DXF File"},
      {"mniAppendBASIC", "Open Program File"}};
  for (const auto& [strAction, strTitle] : dialogs) {
    TDialogDriver d;
    d.On(strTitle, cancel);
    Run(strAction, d);
    EXPECT_EQ(Frm().Document().m_Program, before) << strAction;
    EXPECT_EQ(Frm().UndoHistory().Count(), nUndo) << strAction;
    ClickLine(5);
  }
  // The add-at-end dialog has OK only; the about box, the statistics and the code
  // insertion close without a change.
  const std::vector<std::tuple<const char*, const char*, const char*>> closing = {
      {"mniAbout", "About Veltrane", "OK"}, {"mniProgramStats", "Program Statistics", "Close"},
      {"mniAutoCodeInsert", "Automatic Code Insertion", "Close"}, {"mniOptions", "Plot Options", "OK"},
      {"mniRangeSetting", "Machine Range Limits", "OK"}, {"mniTextEncoding", "Text Encoding", "OK"},
      {"mniControllerLinkConfig", "Controller Link Configuration", "OK"}, {"mniImportOptions", "Import Options", "OK"}};
  for (const auto& [strAction, strTitle, strButton] : closing) {
    TDialogDriver d;
    d.On(strTitle, [b = QString(strButton)](QWidget* w) { TDialogDriver::Click(w, b); });
    Run(strAction, d);
    EXPECT_EQ(Frm().Document().m_Program, before) << strAction;
    EXPECT_EQ(Frm().UndoHistory().Count(), nUndo) << strAction;
  }
}

// New, Close and Open on a changed program ask first: Cancel keeps the work and its
// history, No drops both. Unchanged, nothing is asked.
TEST_F(RealDialogTest, ChangedWorkIsAskedAbout) {
  OpenThroughDialog(m_strBracketBas);
  TDialogDriver unchanged;  // any question would be unexpected
  Run("mniNew", unchanged);
  EXPECT_TRUE(Frm().Document().m_Program.empty());
  EXPECT_TRUE(Frm().FileName().isEmpty());
  OpenThroughDialog(m_strBracketBas);
  ClickLine(5);
  TDialogDriver reverse;
  Run("mniReverse", reverse);
  const TStringList changed = Frm().Document().m_Program;
  ASSERT_TRUE(Frm().ProgramModified());
  for (const char* strAction : {"mniNew", "sbNewFile", "mniClose", "mniOpen", "mniImportDXF"}) {
    TDialogDriver d;
    d.On("Save program changes?", Read([](QWidget* w) { TDialogDriver::Click(w, "Cancel"); }));
    Run(strAction, d);
    EXPECT_EQ(Frm().Document().m_Program, changed) << strAction;
    EXPECT_EQ(Frm().UndoHistory().Count(), 1) << strAction;
  }
  TDialogDriver d;
  d.On("Save program changes?", [](QWidget* w) { TDialogDriver::Click(w, "No"); });
  Run("mniNew", d);
  EXPECT_TRUE(Frm().Document().m_Program.empty());
  EXPECT_FALSE(Frm().ProgramModified());
  EXPECT_EQ(Frm().UndoHistory().Count(), 0);
}

// Import Options confirmed through the dialog are the settings the command line then
// imports with: the window and the command line give the same program.
TEST_F(RealDialogTest, ImportOptionsReachTheImport) {
  TDialogDriver options;
  options.On("Import Options", [](QWidget* w) {
    auto* o = As<TfrmImportOptions>(w);
    if (!o) return TDialogDriver::Escape(w);
    TDialogDriver::Type(o->edtMoves, "4");
    if (!o->chkOptimiseTravel->isChecked()) TDialogDriver::Press(o->chkOptimiseTravel);
    TDialogDriver::Click(w, "OK");
  });
  Run("mniImportOptions", options);
  TDialogDriver d;
  d.On("Open DXF File", [this](QWidget* w) { TDialogDriver::ChooseFile(w, m_strBracketDxf); });
  d.On("Select Layer", Layers({"OUTLINE", "HOLES"}));
  Run("mniImportDXF", d);
  // The settings file is the test's own, and the command line reads the same one.
  EXPECT_EQ(Unix(SaveAs("imported.bas")), Unix(Cli({"import", m_strBracketDxf, "--layers", "OUTLINE,HOLES"})));
}

// Every entry of the menus, the tool bar and the plot's pop-up menus, reached with a
// sequence selected, its windows closed as a user who changes their mind closes them:
// none hangs, none leaves a progress window over a question, and the window stays whole.
TEST_F(RealDialogTest, EveryEntryCanBeReachedAndLeft) {
  OpenThroughDialog(m_strBracketBas);
  // Not here: closing the window, a browser for the guide, starting a loader.
  const QStringList skipped = {"mniExit", "mniHelpTopics", "sbHelp", "mniSendProgram"};
  QList<QAction*> entries;
  for (QAction* a : Frm().findChildren<QAction*>()) {
    const QString n = a->objectName();
    if (n.isEmpty() || a->menu() || skipped.contains(n) || a->isSeparator()) continue;
    entries << a;
  }
  ASSERT_GT(entries.size(), 90);
  int nReached = 0;
  for (QAction* a : entries) {
    if (Frm().Document().m_Program.empty()) OpenThroughDialog(m_strBracketBas);  // after New or Close
    ClickLine(5);
    if (!a->isEnabled()) continue;
    ++nReached;
    TDialogDriver d;
    d.OnAnyOther([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    d.Run([&] { a->trigger(); }, 20000);
    EXPECT_TRUE(d.Errors.isEmpty()) << a->objectName().toStdString() << ": " << d.Errors.join("; ").toStdString();
    QTest::keyClick(Frm().pbPlot(), Qt::Key_Escape);  // ends a mouse mode
    ASSERT_TRUE(Frm().isVisible()) << a->objectName().toStdString();
  }
  EXPECT_GT(nReached, 80);
}

// One command of the menus, the tool bar or the plot's pop-up menu, the answers to its
// dialog, and the same operation on the command line.
struct TCommandCase {
  const char* strName;    // the test's name
  const char* strAction;  // the action behind the entry
  EVia evVia;
  const char* strTitle;   // the dialog's caption; null when the command asks nothing
  TDialogDriver::TAnswer Answer;
  QStringList Cli;        // veltrane-cli transform PROGRAM <these>
};

// Test names show the case's name, not its bytes.
void PrintTo(const TCommandCase& c, std::ostream* pOut) { *pOut << c.strName; }

std::vector<TCommandCase> CommandCases() {
  const EVia m = EVia::eMenu, t = EVia::eToolButton, p = EVia::ePopup;
  const QStringList s1 = {"--sequence", "1"}, all = {"--all"};
  return {
      {"ReverseMenu", "mniReverse", m, nullptr, nullptr, s1 + QStringList{"reverse"}},
      {"ReverseButton", "sbReverse", t, nullptr, nullptr, s1 + QStringList{"reverse"}},
      {"ReversePopup", "ReverseSquence1", p, nullptr, nullptr, s1 + QStringList{"reverse"}},
      {"ShiftMenu", "mniShift", m, "Shift Sequence", ShiftTo("5", "7", false), s1 + QStringList{"shift", "5", "7"}},
      {"ShiftButton", "sbShift", t, "Shift Sequence", ShiftTo("3", "-2.5", true),
       s1 + QStringList{"shift", "3", "-2.5", "--relative"}},
      {"ShiftPopup", "ShiftSequence1", p, "Shift Sequence", ShiftTo("-4", "9", false),
       s1 + QStringList{"shift", "-4", "9"}},
      {"ScaleMenu", "mniScale", m, "Scale Sequence", Value("1.5"), s1 + QStringList{"scale", "1.5"}},
      {"ScaleButton", "sbScale", t, "Scale Sequence", Value("0.25"), s1 + QStringList{"scale", "0.25"}},
      {"ScalePopup", "S1", p, "Scale Sequence", Value("3"), s1 + QStringList{"scale", "3"}},
      {"RotateMenu", "mniRotate", m, "Rotate Sequence", Value("30"), s1 + QStringList{"rotate", "30"}},
      {"RotateButton", "sbRotate", t, "Rotate Sequence", Value("-90"), s1 + QStringList{"rotate", "-90"}},
      {"RotatePopup", "RotateSequence1", p, "Rotate Sequence", Value("12.5"), s1 + QStringList{"rotate", "12.5"}},
      {"MirrorMenu", "mniMirror", m, "Mirror Sequence", Axis(true), s1 + QStringList{"mirror", "x"}},
      {"MirrorButton", "sbMirror", t, "Mirror Sequence", Axis(false), s1 + QStringList{"mirror", "y"}},
      {"MirrorPopup", "MirrorSequence1", p, "Mirror Sequence", Axis(true), s1 + QStringList{"mirror", "x"}},
      {"CompensateMenu", "mniRadiusCompSeq", m, "Tool radius compensation", Radius("2", false),
       s1 + QStringList{"compensate", "2"}},
      {"CompensatePopup", "RadiusCompensationSequence1", p, "Tool radius compensation", Radius("1.5", true),
       s1 + QStringList{"compensate", "1.5", "--right"}},
      {"FilletMenu", "mniFilletCornersSequence", m, "Fillet Corners...", Fillet("100", "3"),
       s1 + QStringList{"fillet", "100", "3"}},
      {"FilletPopup", "FilletCornersSequence1", p, "Fillet Corners...", Fillet("95", "1.25"),
       s1 + QStringList{"fillet", "95", "1.25"}},
      {"LeadInOutMenu", "mniLeadInOut", m, "Lead In/Out Sequence", Lead("2", true, "3", false),
       s1 + QStringList{"leadinout", "2", "cw", "3", "acw"}},
      {"LeadInOutPopup", "LeadInOutSequence1", p, "Lead In/Out Sequence", Lead("1", false, "0", true),
       s1 + QStringList{"leadinout", "1", "acw", "0", "cw"}},
      {"AddEndMenu", "mniAddEndSeq", m, "Add at End Sequence", AddEnd("10"), s1 + QStringList{"addend", "10"}},
      {"AddEndPopup", "AddatEndSequence1", p, "Add at End Sequence", AddEnd("2.5"), s1 + QStringList{"addend", "2.5"}},
      {"TabsMenu", "mniAddTabs", m, "Add Tabs", Tabs("4", "2", false, true), s1 + QStringList{"tabs", "4", "2"}},
      {"TabsPopup", "AddTabs1", p, "Add Tabs", Tabs("30", "1", true, false),
       s1 + QStringList{"tabs", "30", "1", "--spacing", "--off-arcs"}},
      {"BatchCopyMenu", "mniBatteryCopySeq", m, "Batch Copy", Batch("100", "3", "80", "2"),
       s1 + QStringList{"batchcopy", "100", "3", "80", "2"}},
      {"BatchCopyPopup", "BatteryCopy1", p, "Batch Copy", Batch("0", "1", "-60", "4"),
       s1 + QStringList{"batchcopy", "0", "1", "-60", "4"}},
      {"ReverseAll", "mniReverseAll", m, nullptr, nullptr, all + QStringList{"reverse"}},
      {"ShiftAll", "mniShiftAll", m, "Shift All", ShiftTo("10", "10", true), all + QStringList{"shift", "10", "10", "--relative"}},
      {"ScaleAll", "mniScaleAll", m, "Scale All", Value("2"), all + QStringList{"scale", "2"}},
      {"RotateAll", "mniRotateAll", m, "Rotate All", Value("45"), all + QStringList{"rotate", "45"}},
      {"MirrorAll", "mniMirrorAll", m, "Mirror All", Axis(false), all + QStringList{"mirror", "y"}},
      {"CompensateAll", "mniCompensation", m, "Tool radius compensation", Radius("1", false),
       all + QStringList{"compensate", "1"}},
      {"FilletAll", "mniFilletCornersAll", m, "Fillet Corners...", Fillet("100", "2"), all + QStringList{"fillet", "100", "2"}},
      {"LeadInOutAll", "mniLeadInOutAll", m, "Lead In/Out Sequence", Lead("1", false, "1", false),
       all + QStringList{"leadinout", "1", "acw", "1", "acw"}},
      {"AddEndAll", "mniAddEndAll", m, "Add at End Sequence", AddEnd("5"), all + QStringList{"addend", "5"}},
      {"TabsAll", "mniAddTabsAll", m, "Add Tabs to All", Tabs("20", "1", true, true),
       all + QStringList{"tabs", "20", "1", "--spacing"}},
      {"OffsetTerms", "mniAddParToMA", m, nullptr, nullptr, QStringList{"offset-terms", "on"}},
  };
}

class CommandTest : public RealDialogTest, public ::testing::WithParamInterface<TCommandCase> {};

// The command through its entry and dialog, saved through File > Save As, is what the
// command line writes for the same operation.
TEST_P(CommandTest, WritesWhatTheCommandLineWrites) {
  const TCommandCase& c = GetParam();
  OpenThroughDialog(m_strBracketBas);
  ClickLine(5);  // MOVE(80,0): sequence 1, the bracket's outline
  ASSERT_EQ(Frm().CurrentSequence(), 1);
  const TStringList before = Frm().Document().m_Program;
  const int nUndo = Frm().UndoHistory().Count();
  TDialogDriver d;
  if (c.strTitle) d.On(c.strTitle, c.Answer);
  Reach(c.strAction, c.evVia, d);
  // One undo step; the editor and the plot show the new text.
  EXPECT_TRUE(Frm().ProgramModified());
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  ExpectInSyncAndPlotted();
  int nExit = -1;
  QByteArray err;
  const QByteArray cli = CliFile(QStringList{"transform", m_strBracketBas} + c.Cli, &nExit, &err);
  EXPECT_EQ(nExit, 0) << err.toStdString();
  EXPECT_EQ(Unix(SaveAs("window.bas")).toStdString(), Unix(cli).toStdString());
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
}

INSTANTIATE_TEST_SUITE_P(Entries, CommandTest, ::testing::ValuesIn(CommandCases()),
                         [](const ::testing::TestParamInfo<TCommandCase>& i) { return std::string(i.param.strName); });

// What the window shows in the dialogs it opens: the prompt and the starting value, and
// the shift dialog's absolute zero; the mirror dialog's Y axis.
TEST_F(RealDialogTest, TheDialogsOpenWithThePromptAndTheStartingValue) {
  OpenThroughDialog(m_strBracketBas);
  ClickLine(5);
  QStringList shown;
  const auto value = [&](QWidget* w) {
    if (auto* v = As<TfrmEnterValue>(w)) shown << v->lblMessage->text() + "|" + v->edtValue->text();
    TDialogDriver::Escape(w);
  };
  TDialogDriver d;
  d.On("Scale Sequence", value);
  Run("mniScale", d);
  d.On("Rotate All", value);
  Run("mniRotateAll", d);
  d.On("Shift Sequence", [&](QWidget* w) {
    if (auto* t = As<TfrmShift>(w)) shown << t->edtX->text() + "," + t->edtY->text() + (t->rdAbsolute->isChecked() ? " absolute" : "");
    TDialogDriver::Escape(w);
  });
  Run("mniShift", d);
  d.On("Mirror Sequence", [&](QWidget* w) {
    if (auto* a = As<TfrmAxis>(w)) shown << (a->rdYAxis->isChecked() ? "Y" : "X");
    TDialogDriver::Escape(w);
  });
  Run("mniMirror", d);
  EXPECT_EQ(shown.join(" / ").toStdString(),
            "Enter scale factor:|1 / Enter rotation angle in degrees \n(+ve is anticlockwise):|0 / 0,0 absolute / Y");
}

// A command that its answer or the program refuses: the message says why, and neither
// the program nor its history changes.
struct TRefusalCase {
  const char* strName;
  const char* strProgram;  // the program opened; null: the example
  int nLine;               // the editor line clicked to choose the sequence
  const char* strAction;
  const char* strTitle;    // the dialog answered; null when the command asks nothing
  TDialogDriver::TAnswer Answer;
  const char* strMessage;  // the message's start; one ending in ": " goes on with the reason
};

void PrintTo(const TRefusalCase& c, std::ostream* pOut) { *pOut << c.strName; }

std::vector<TRefusalCase> RefusalCases() {
  return {
      {"ShiftNotANumber", nullptr, 16, "mniShift", "Shift Sequence", ShiftTo("x", "1", true),
       "Invalid shift specified!"},
      {"ScaleTooLarge", nullptr, 16, "mniScale", "Scale Sequence", Value("2000000"), "Invalid scale factor"},
      // The hole of radius 5 runs clockwise: to its right lies its inside.
      {"CompensationLargerThanTheHole", nullptr, 16, "mniRadiusCompSeq", "Tool radius compensation",
       Radius("6", true), "Unable to perform this transform on sequence 2: "},
      // Numbered as the editor numbers it; the canonical rewrite on opening kept the line.
      {"LineThatCannotBeTransformed", "'$StartSeq(1)\ncadseq1:\n    MOVEABS(0,0)\n    MOVE(1,2,3)\n'$EndSeq(1)\n", 3,
       "mniReverse", nullptr, nullptr, "Line 4 cannot be transformed: "},
  };
}

class RefusalTest : public RealDialogTest, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(RefusalTest, SaysWhyAndChangesNothing) {
  const TRefusalCase& c = GetParam();
  if (c.strProgram) {
    QFile f(Path("own.bas"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.strProgram);
    f.close();
    OpenThroughDialog(Path("own.bas"));
  } else {
    OpenThroughDialog(m_strBracketBas);
  }
  ClickLine(c.nLine);
  ASSERT_GT(Frm().CurrentSequence(), 0);
  const TStringList before = Frm().Document().m_Program;
  const int nUndo = Frm().UndoHistory().Count();
  TDialogDriver d;
  if (c.strTitle) d.On(c.strTitle, c.Answer);
  QString strMessage;
  d.On(c.strMessage, [&](QWidget* w) {
    strMessage = TDialogDriver::Text(w);
    TDialogDriver::Click(w, "OK");
  });
  Run(c.strAction, d);
  if (QString(c.strMessage).endsWith(": ")) {
    EXPECT_GT(strMessage.size(), qsizetype(strlen(c.strMessage))) << "no reason given";
  }
  EXPECT_EQ(Frm().Document().m_Program, before);
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo);
  EXPECT_TRUE(Frm().memProgram()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest, ::testing::ValuesIn(RefusalCases()),
                         [](const ::testing::TestParamInfo<TRefusalCase>& i) { return std::string(i.param.strName); });

// Compensating again compounds; in absolute mode it starts from the copy kept before the
// first compensation. Each is one undo step.
TEST_F(RealDialogTest, CompensationInAbsoluteModeStartsFromTheUncompensatedCopy) {
  OpenThroughDialog(m_strBracketBas);
  const TStringList before = Frm().Document().m_Program;
  const auto compensate = [&](const char* strAction, bool bAbsolute) {
    ClickLine(5);
    TDialogDriver d;
    d.On("Tool radius compensation", Radius("1", false, bAbsolute));
    Run(strAction, d);
  };
  compensate("mniRadiusCompSeq", false);
  const TStringList once = Frm().Document().m_Program;
  EXPECT_EQ(once[4], "    MOVEABS(1,1)");
  compensate("mniRadiusCompSeq", false);
  EXPECT_EQ(Frm().Document().m_Program[4], "    MOVEABS(2,2)");
  compensate("RadiusCompensationSequence1", true);
  EXPECT_EQ(Frm().Document().m_Program, once);
  for (int i = 0; i < 3; ++i) Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
}

// The tabs dialog starts from the choices confirmed last; over all sequences at once,
// those the tabs do not fit are named and the others are cut, as one undo step.
TEST_F(RealDialogTest, TabsStartFromTheLastChoicesAndNameWhatDoesNotFit) {
  OpenThroughDialog(m_strBracketBas);
  const TStringList before = Frm().Document().m_Program;
  ClickLine(5);
  TDialogDriver first;
  first.On("Add Tabs", Tabs("2", "3", false, true));
  Run("mniAddTabs", first);
  Frm().Undo();
  ASSERT_EQ(Frm().Document().m_Program, before);
  ClickLine(5);
  QString strCount, strLength;
  TDialogDriver again;
  again.On("Add Tabs", [&](QWidget* w) {
    if (auto* t = As<TfrmAddTabs>(w)) {
      strCount = t->edtCount->text();
      strLength = t->edtLength->text();
    }
    TDialogDriver::Escape(w);
  });
  Run("AddTabs1", again);
  EXPECT_EQ(strCount, "2");
  EXPECT_EQ(strLength, "3");
  EXPECT_EQ(Frm().Document().m_Program, before);
  TDialogDriver all;
  all.On("Add Tabs to All", Tabs("3", "9", false, true));
  all.On("Unable to perform this transform on sequence 3: ", Ok());
  Run("mniAddTabsAll", all);
  TStringList numbers;
  ASSERT_TRUE(GetSequenceNumberList(Frm().Document().m_Program, numbers, nullptr));
  EXPECT_EQ(numbers, (TStringList{"1", "4", "5", "2", "6", "7", "3"}));
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
}

// Range limits confirmed in their dialog warn about the moves outside and frame the plot;
// cancelled, the dialog changes nothing and warns no more.
TEST_F(RealDialogTest, RangeLimitsWarnAndFrameThePlot) {
  OpenThroughDialog(m_strBracketBas);
  TDialogDriver d;
  d.On("Machine Range Limits", [](QWidget* w) {
    auto* s = As<TfrmSpan>(w);
    if (!s) return TDialogDriver::Escape(w);
    if (!s->chkRangeEnable->isChecked()) TDialogDriver::Press(s->chkRangeEnable);
    TDialogDriver::Type(s->edtXLeft, "0");
    TDialogDriver::Type(s->edtXRight, "50");
    TDialogDriver::Type(s->edtYBottom, "0");
    TDialogDriver::Type(s->edtYTop, "100");
    TDialogDriver::Click(w, "OK");
  });
  d.On("Warning! Moves are outside machine limits!", Ok());
  Run("mniRangeSetting", d);
  EXPECT_TRUE(Frm().PlotView().m_bShowLimits);
  EXPECT_EQ(TVLTRegistry().XspanRight(), 50);
  QImage img(Frm().pbPlot()->size(), QImage::Format_RGB32);
  Frm().pbPlot()->render(&img);
  EXPECT_EQ(QColor(img.pixel(img.width() - 4, 4)), QColor(128, 128, 128));  // outside: grey
  const TRangeLimits limits = Frm().RangeLimits();
  TDialogDriver cancel;
  cancel.On("Machine Range Limits", [](QWidget* w) { TDialogDriver::Click(w, "Cancel"); });
  Run("mniRangeSetting", cancel);
  EXPECT_EQ(Frm().RangeLimits(), limits);
}

// A drawing imported with look-ahead on for arcs gets the look-ahead forms, and moves
// outside the range limits are warned about.
TEST_F(RealDialogTest, ImportAppliesLookAheadAndChecksTheRange) {
  m_pFrm.reset();
  {
    TVLTRegistry reg;
    TRangeLimits l;
    l.m_bEnableSpan = true;  // everything but the origin is outside
    WriteRangeLimits(l, reg);
    reg.SetLookAheadMoveCirc(true);
  }
  m_pFrm = std::make_unique<TfrmMain>();
  m_pFrm->show();
  QApplication::processEvents();
  TDialogDriver d;
  d.On("Open DXF File", [this](QWidget* w) { TDialogDriver::ChooseFile(w, m_strBracketDxf); });
  d.On("Select Layer", Layers({"OUTLINE", "HOLES"}));
  d.On("Warning! Moves are outside machine limits!", Ok());
  Run("mniImportDXF", d);
  bool bCircSP = false, bCirc = false;
  for (const auto& s : Frm().Document().m_Program) {
    bCircSP |= s.rfind("    MOVECIRCSP(", 0) == 0;
    bCirc |= s.rfind("    MOVECIRC(", 0) == 0;
  }
  EXPECT_TRUE(bCircSP);
  EXPECT_FALSE(bCirc);
}

// A drawing appended numbers its sequences after the program's, as one undo step.
TEST_F(RealDialogTest, AppendedDrawingNumbersAfterTheProgram) {
  OpenThroughDialog(m_strBracketBas);
  const TStringList before = Frm().Document().m_Program;
  ASSERT_TRUE(QFile::copy(VELTRANE_SOURCE_DIR "/tests/data/ezdxf/square_r12.dxf", Path("square.dxf")));
  TDialogDriver d;
  d.On("Open DXF File", [this](QWidget* w) { TDialogDriver::ChooseFile(w, Path("square.dxf")); });
  d.On("Select Layer", Layers({"WALLS"}));
  Run("mniAppendDXF", d);
  const auto& p = Frm().Document().m_Program;
  ASSERT_GT(p.size(), before.size());
  EXPECT_NE(std::find(p.begin(), p.end(), "'$StartSeq(4)"), p.end());
  EXPECT_NE(std::find(p.begin(), p.end(), "appseq4:"), p.end());
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
}

}  // namespace
}  // namespace veltrane::test
