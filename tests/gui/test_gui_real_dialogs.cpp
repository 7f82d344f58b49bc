// The window as a user drives it: every command through its real dialogs, answered
// through their widgets while the event loop and its timers run (a progress window
// included), and what it writes compared with what veltrane-cli writes for the same
// operation.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QRadioButton>
#include <QPushButton>
#include <QTableWidget>

#include "app/Dialogs.h"
#include "app/PathDialogs.h"
#include "app/ToolDialogs.h"
#include "gui/DialogDriver.h"
#include "gui/GuiFixture.h"

namespace veltrane::test {
namespace {

// A user reads a dialog before answering it: longer than the progress window's delay, so
// that a progress window that would show itself over the dialog has the time to.
constexpr int c_nReadMs = 650;

QByteArray Unix(QByteArray s) { return s.replace("\r\n", "\n"); }

// Progress windows show as soon as work reports, for work a fast machine ends quickly.
struct TProgressAtOnce {
  TProgressAtOnce() { qputenv("VELTRANE_PROGRESS_DELAY_MS", "0"); }
  ~TProgressAtOnce() { qunsetenv("VELTRANE_PROGRESS_DELAY_MS"); }
};

class RealDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    TVLTRegistry reg;
    reg.SetXAxis(0);
    reg.SetYAxis(1);
    reg.SetLookAheadMove(false);
    reg.SetLookAheadMoveCirc(false);
    reg.SetLookAheadStartSequence(false);
    WriteRangeLimits(TRangeLimits{}, reg);
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
  static TDialogDriver::TAnswer Read(TDialogDriver::TAnswer Then) {
    return [Then](QWidget* w) {
      QTest::qWait(c_nReadMs);
      Then(w);
    };
  }
  static TDialogDriver::TAnswer Ok() {
    return [](QWidget* w) { TDialogDriver::Click(w, "OK"); };
  }

  QTemporaryDir m_Dir;
  std::unique_ptr<TfrmMain> m_pFrm;
  int m_nCli = 0;
};

const QString c_strBracketDxf = VELTRANE_SOURCE_DIR "/examples/bracket.dxf";
const QString c_strBracketBas = VELTRANE_SOURCE_DIR "/examples/bracket.bas";

// File > Import > DXF: the file dialog, then the layer dialog, which the user reads and
// answers with clicks while no progress window covers it; the program is the one the
// command line makes with those layers.
TEST_F(RealDialogTest, ImportThroughTheLayerDialog) {
  TDialogDriver d;
  d.On("Open DXF File", [](QWidget* w) { TDialogDriver::ChooseFile(w, c_strBracketDxf); });
  d.On("Select Layer", Read([](QWidget* w) {
         auto* l = qobject_cast<TfrmLayer*>(w);
         ASSERT_NE(l, nullptr);
         EXPECT_EQ(QApplication::activeWindow(), w);
         for (const char* strLayer : {"OUTLINE", "HOLES"}) {
           TDialogDriver::PickItems(l->lbLayers, {strLayer});
           TDialogDriver::Press(l->btnAdd);
         }
         TDialogDriver::Click(w, "OK");
       }));
  Run("mniImportDXF", d);
  EXPECT_EQ(d.nProgressShown, 0);
  const QByteArray window = SaveAs("imported.bas");
  ASSERT_FALSE(window.isEmpty());
  EXPECT_EQ(Unix(window), Unix(Cli({"import", c_strBracketDxf, "--layers", "OUTLINE,HOLES"})));
}

// Cancel at each question of the import leaves the empty program as it was.
TEST_F(RealDialogTest, ImportCancelledAtEachQuestion) {
  for (int nStage = 0; nStage < 2; ++nStage) {
    TDialogDriver d;
    d.On("Open DXF File", [nStage](QWidget* w) {
      if (nStage == 0)
        TDialogDriver::Click(w, "Cancel");
      else
        TDialogDriver::ChooseFile(w, c_strBracketDxf);
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
  OpenThroughDialog(c_strBracketBas);
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
  const QByteArray cli = CliFile({"transform", c_strBracketBas, "--all", "compensate", "6", "--right"}, &nExit, &err);
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

}  // namespace
}  // namespace veltrane::test
