// The program tools in the window: the check's report, automatic code insertion, the
// table page's buttons, the controller link and sending through the stand-in loader;
// and their dialogs.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QLabel>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/StatsDialog.h"
#include "app/ToolDialogs.h"
#include "gui/GuiFixture.h"
#include "model/TextFile.h"
#include "tools/ProgramStats.h"

namespace veltrane::test {
namespace {

class ProgramToolTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    OpenExample();
  }
  template <class W>
  W* Find(const char* strName) {
    W* w = Frm().findChild<W*>(strName);
    EXPECT_NE(w, nullptr) << strName;
    return w;
  }
  void Click(const char* strButton) { Find<QPushButton>(strButton)->click(); }
  QString Table() { return Find<TRichEditPlus>("memTablelist")->toPlainText(); }
};

TEST_F(ProgramToolTest, CheckProgramShowsTheReportAndChangesNothing) {
  const TStringList before = Frm().Document().m_Program;
  Frm().Action("mniCheckProgram")->trigger();
  ASSERT_EQ(m_Prompts.CheckReports.size(), 1u);
  EXPECT_EQ(m_Prompts.CheckReports[0].size(), 8u);
  EXPECT_EQ(m_Prompts.CheckReports[0][1], "  ..OK");
  // A typed error is found in what the editor holds now.
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClick(&Editor(), Qt::Key_Return);
  QTest::keyClicks(&Editor(), "GOTO nowhere");
  Frm().Action("mniCheckProgram")->trigger();
  EXPECT_EQ(m_Prompts.CheckReports.back().back(),
            " [" + std::to_string(Frm().Document().m_Program.size() - 1) + "] - Label 'nowhere' not found");
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
  // Asked for in the settings, the cut order is checked after the four checks.
  TVLTRegistry().SetCheckCutOrder(true);
  Frm().Action("mniCheckProgram")->trigger();
  TVLTRegistry().SetCheckCutOrder(false);
  ASSERT_EQ(m_Prompts.CheckReports.back().size(), 10u);
  EXPECT_EQ(m_Prompts.CheckReports.back()[8], "Checking cut order...");
  // So is the motion, with the machine limits in use.
  TVLTRegistry().SetCheckMotion(true);
  Frm().Action("mniCheckProgram")->trigger();
  TVLTRegistry().SetCheckMotion(false);
  ASSERT_EQ(m_Prompts.CheckReports.back().size(), 10u);
  EXPECT_EQ(m_Prompts.CheckReports.back()[8], "Checking motion...");
  EXPECT_EQ(m_Prompts.CheckReports.back()[9], "  ..OK");
}

TEST_F(ProgramToolTest, StatisticsSelectASequenceAndTheStatusBarShowsItsTime) {
  // A double click on sequence 2's row (its start marker is line 14) selects it.
  m_Prompts.StatsSelectLine = 14;
  TVLTRegistry().SetEstimateShowTime(true);
  Frm().Action("mniProgramStats")->trigger();
  TVLTRegistry().SetEstimateShowTime(false);
  EXPECT_EQ(m_Prompts.Titles.back(), "Program Statistics: bracket.bas");
  EXPECT_EQ(Frm().CurrentSequence(), 2);
  // The time arrives from the worker a moment later, and follows an edit.
  const TProgramStats want = ComputeProgramStats(Frm().Document().m_Program, TEstimateSettings{}, "");
  auto shown = [&] { return Frm().GraphStatus()->PanelText(TfrmMain::c_nTimePanel).toStdString(); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm().EstimatePending(); }, 5000));
  EXPECT_EQ(shown(), "Time: " + FormatDuration(want.Sequences[1].fTime));
  ClickLine(17);  // the hole's circle, radius 5: make it radius 50
  Editor().MoveCaret(TRichEditPlus::EMove::eEndOfLine);
  for (int i = 0; i < 6; ++i) QTest::keyClick(&Editor(), Qt::Key_Backspace);
  QTest::keyClicks(&Editor(), "50,0,1)");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Frm().EstimatePending(); }, 1000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm().EstimatePending(); }, 5000));
  ClickLine(17);
  const TProgramStats now = ComputeProgramStats(Frm().Document().m_Program, TEstimateSettings{}, "");
  EXPECT_GT(now.Sequences[1].fTime, want.Sequences[1].fTime);
  EXPECT_EQ(shown(), "Time: " + FormatDuration(now.Sequences[1].fTime)) << Line(17);
}

TEST_F(ProgramToolTest, AutoCodeInsertionIsOneUndoStep) {
  const TStringList before = Frm().Document().m_Program;
  const int nUndo = Frm().UndoHistory().Count();
  TAutoCodeTexts t;
  t.strProgramStart = "' begin";
  t.Layer[1][eSequenceInitialCode] = "OP(1,ON)";
  t.Layer[1][eSequenceEndCode] = "OP(1,OFF)";
  m_Prompts.AutoCodeTexts = t;
  Frm().Action("mniAutoCodeInsert")->trigger();
  EXPECT_EQ(Line(0), "' begin");
  EXPECT_EQ(Line(18), "OP(1,ON)");  // after the first hole's start move
  EXPECT_EQ(Frm().UndoHistory().Count(), nUndo + 1);
  ExpectInSync();
  Frm().Undo();
  EXPECT_EQ(Frm().Document().m_Program, before);
  // "&Close" inserts nothing.
  m_Prompts.AutoCodeTexts.reset();
  Frm().Action("mniAutoCodeInsert")->trigger();
  EXPECT_EQ(Frm().Document().m_Program, before);
}

TEST_F(ProgramToolTest, AutoCodeRefusesAProgramWithoutLayerSlots) {
  QString text;
  for (int i = 0; i < 7; ++i) text += QString("'$Layer%1:L\n'$EndLayer%1:L\n").arg(i);
  Open(WriteFile("seven.bas", text.toLatin1()));
  const TStringList before = Frm().Document().m_Program;
  m_Prompts.AutoCodeTexts = TAutoCodeTexts{};
  Frm().Action("mniAutoCodeInsert")->trigger();
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_NE(m_Prompts.Messages[0].second.find("more than six layers"), std::string::npos);
  EXPECT_EQ(Frm().Document().m_Program, before);
}

TEST_F(ProgramToolTest, TablePageBuildsExportsAndSends) {
  Frm().Pages()->setCurrentIndex(1);
  ASSERT_EQ(Frm().OutputType(), eTable);
  Find<QLineEdit>("mo_code")->setText("5");
  Find<QLineEdit>("ma_code")->setText("6");
  Find<QLineEdit>("mc_code")->setText("7");
  Find<QLineEdit>("TableStart")->setText("100");
  Find<QRadioButton>("RadioFlexible")->click();
  EXPECT_FALSE(Find<QLineEdit>("edtListLen")->isEnabled());
  Find<QRadioButton>("RadioTableList")->click();
  Click("btnApply");
  const QStringList lines = Table().split('\n');
  ASSERT_GT(lines.size(), 4);
  EXPECT_EQ(lines[0], "100:10");
  EXPECT_EQ(lines[1], "101:6");
  // The same as the command-line tool's table of the example.
  TStringList golden = LoadLines(VELTRANE_SOURCE_DIR "/tests/golden/table_list_flexible.lst");
  ASSERT_EQ(static_cast<size_t>(lines.size()), golden.size());
  for (size_t i = 0; i < golden.size(); ++i)
    EXPECT_EQ(lines[static_cast<qsizetype>(i)].toStdString(), golden[i]) << i;

  // Export through its dialog, then send the table through the stand-in loader.
  const QString dir = Path("a folder with 'quotes' and blanks");
  QDir().mkpath(dir);
#ifdef _WIN32
  const std::string strTable = (dir + "/part one.lst").toStdString();  // no quotes in Windows names
#else
  const std::string strTable = (dir + "/part \"one\".lst").toStdString();
#endif
  m_Prompts.TableNames = {strTable};
  Click("btnSaveTable");
  EXPECT_EQ(m_Prompts.Titles.back(), "Save as Table list File");
  EXPECT_EQ(LoadLines(strTable).size(), golden.size());
  EXPECT_EQ(Frm().TableFileName().toStdString(), strTable);
  // A cancelled export keeps the file last exported.
  m_Prompts.TableNames = {std::nullopt};
  Click("btnSaveTable");
  EXPECT_EQ(Frm().TableFileName().toStdString(), strTable);

  TLinkFields link;
  link.strLoader = VELTRANE_STAND_IN_LOADER;
  link.strLinkType = "USB";
  link.strUSBChannel = "3";
  m_Prompts.NewLink = link;
  Frm().Action("mniControllerLinkConfig")->trigger();
  TVLTRegistry reg;
  EXPECT_EQ(reg.CommLinkType(), "USB");
  EXPECT_EQ(reg.CommsParameters(), "3");
  const std::string strLog = Path("loader.log").toStdString();
  qputenv("VELTRANE_LOADER_LOG", QByteArray::fromStdString(strLog));
  Click("btnSend");
  std::string got;
  for (int i = 0; i < 400 && got.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    QFile f(QString::fromStdString(strLog));
    if (f.open(QIODevice::ReadOnly)) got = f.readLine().trimmed().toStdString();
  }
  EXPECT_EQ(got.rfind("would download table '" + strTable + "'", 0), 0u) << got;
  EXPECT_NE(got.find("over USB:3"), std::string::npos) << got;
  // The user is told that the loader was started, with what.
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_EQ(m_Prompts.Messages[0].second, "The loader program " + link.strLoader + " was started to send " +
                                              strTable + " to the controller.");
  m_Prompts.Messages.clear();
  // From the program page the saved program goes as a program; unsaved edits are named.
  Frm().Pages()->setCurrentIndex(0);
  Editor().MoveCaret(TRichEditPlus::EMove::eEnd);
  QTest::keyClicks(&Editor(), "'");
  ASSERT_TRUE(Frm().ProgramModified());
  Frm().Action("mniSendProgram")->trigger();
  ASSERT_EQ(m_Prompts.Messages.size(), 1u);
  EXPECT_NE(m_Prompts.Messages[0].second.find("not saved"), std::string::npos);
  std::string second;
  for (int i = 0; i < 400 && second.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    QFile f(QString::fromStdString(strLog));
    if (f.open(QIODevice::ReadOnly)) {
      f.readLine();
      second = f.readLine().trimmed().toStdString();
    }
  }
  qunsetenv("VELTRANE_LOADER_LOG");
  EXPECT_EQ(second.rfind("would download program '" + Frm().FileName().toStdString() + "'", 0), 0u) << second;
}

TEST_F(ProgramToolTest, SendingRefusesWhatCannotBeLoaded) {
  // The example was opened from its file; a new program has none.
  Frm().Action("mniNew")->trigger();
  Frm().Action("mniSendProgram")->trigger();
  ASSERT_FALSE(m_Prompts.Messages.empty());
  EXPECT_EQ(m_Prompts.Messages.back().second, "Program must be saved before it can be loaded on a controller!");
  // The table page sends a table: none built, none saved.
  Frm().Pages()->setCurrentIndex(1);
  Frm().Action("mniSendProgram")->trigger();
  EXPECT_EQ(m_Prompts.Messages.back().second, c_sTableMustBeBuilt);
  // A CSV table is never sent.
  Find<QRadioButton>("RadioCSV")->click();
  Find<QLineEdit>("TableStart")->setText("0");
  Click("btnApply");
  m_Prompts.TableNames = {Path("t.csv").toStdString()};
  Click("btnSaveTable");
  EXPECT_EQ(m_Prompts.Titles.back(), "Save as CSV format File");
  Click("btnSend");
  EXPECT_EQ(m_Prompts.Messages.back().second, "Can not download the CSV format file to conntroller!");
  // A bad table start stops the build with the conversion message.
  Find<QLineEdit>("TableStart")->setText("x");
  Click("btnApply");
  EXPECT_EQ(m_Prompts.Messages.back().second, "'x' is not a valid integer value");
  EXPECT_TRUE(Table().isEmpty());
}

TEST_F(ProgramToolTest, TableFieldsPersistAcrossRuns) {
  Find<QLineEdit>("mo_code")->setText("");
  Find<QLineEdit>("TableStart")->setText("7");
  Find<QRadioButton>("RadioFlexible")->click();
  Frm().Pages()->setCurrentIndex(1);
  Click("btnApply");
  m_pFrm.reset();  // shutdown stores the fields
  TVLTRegistry reg;
  EXPECT_EQ(reg.MO_Code(), "0") << "an empty code is stored as its default";
  EXPECT_EQ(reg.TableStart(), "7");
  EXPECT_EQ(reg.DataStructure(), 1);
  m_pFrm = std::make_unique<TfrmMain>(&m_Prompts);
  EXPECT_EQ(Find<QLineEdit>("TableStart")->text(), "7");
  EXPECT_TRUE(Find<QRadioButton>("RadioFlexible")->isChecked());
}

// ---------------------------------------------------------------- the dialogs

TEST(ToolDialogs, StatisticsTableSortsSelectsAndRecalculates) {
  const TStringList prog = LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas");
  TVLTRegistry reg;
  WriteEstimateSettings(TEstimateSettings{}, reg);
  TScriptedPrompts prompts;
  int32_t nSelected = -1;
  TfrmProgramStats d(prog, "bracket.bas", reg, &prompts, [&](int32_t n) { nSelected = n; });
  EXPECT_EQ(d.windowTitle(), "Program Statistics");
  ASSERT_EQ(d.tblRows->rowCount(), 5);  // two layers, three sequences
  EXPECT_TRUE(d.lblTotals->text().contains("sequences (pierces)   3"));
  // Sorted by time, the shortest first; a double click on a sequence's row selects it.
  d.tblRows->sortItems(7, Qt::AscendingOrder);
  double fLast = -1;
  for (int r = 0; r < d.tblRows->rowCount(); ++r) {
    const double t = d.tblRows->item(r, 7)->data(Qt::UserRole).toDouble();
    EXPECT_GE(t, fLast);
    fLast = t;
  }
  for (int r = 0; r < d.tblRows->rowCount(); ++r)
    if (d.tblRows->item(r, 0)->text() == "sequence" && d.tblRows->item(r, 1)->text() == "3")
      emit d.tblRows->cellDoubleClicked(r, 3);
  EXPECT_EQ(nSelected, 20);  // '$StartSeq(3)
  // A speed that is no number is refused; a slower one takes longer and is kept.
  const double fBefore = d.Stats().Program.fTime;
  d.edtSpeed->setText("fast");
  EXPECT_FALSE(d.Recalculate());
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, "The speed must be a number above 0.");
  d.edtSpeed->setText("10");
  EXPECT_TRUE(d.Recalculate());
  EXPECT_GT(d.Stats().Program.fTime, fBefore);
  EXPECT_DOUBLE_EQ(ReadEstimateSettings(reg).fSpeed, 10);
  d.chkCheckMotion->setChecked(true);
  d.accept();
  EXPECT_TRUE(reg.CheckMotion());
  reg.SetCheckMotion(false);
  WriteEstimateSettings(TEstimateSettings{}, reg);
}

TEST(ToolDialogs, ProgramCheckReportAndOk) {
  TfrmProgramCheck d;
  EXPECT_EQ(d.windowTitle(), "Program Check");
  d.SetReport({"Checking Sequence Order", "  ..OK"});
  EXPECT_EQ(d.memReport->toPlainText(), "Checking Sequence Order\n  ..OK");
  EXPECT_TRUE(d.memReport->isReadOnly());
  EXPECT_TRUE(d.m_bChecking);
  QTest::mouseClick(d.btnOK, Qt::LeftButton);
  EXPECT_FALSE(d.m_bChecking);
  EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(ToolDialogs, AutoCodeTabsKeepTheirTextsAndInsertStoresThem) {
  TVLTRegistry reg;
  TAutoCodeTexts none;
  WriteAutoCodeTexts(reg, none, 6);
  reg.SetProgramStartText("' hello");
  TLayerContent layers;
  layers.nUseLayer = 2;
  layers.sLayerName[0] = "OUTLINE";
  layers.sLayerName[1] = "HOLES";
  TfrmAutoCodeInsert d(layers, reg);
  EXPECT_EQ(d.windowTitle(), "Automatic Code Insertion");
  ASSERT_EQ(d.LayerTab->count(), 3);
  EXPECT_EQ(d.LayerTab->tabText(1), "Layer:OUTLINE");
  EXPECT_EQ(d.memProgramStart->toPlainText(), "' hello");
  EXPECT_FALSE(d.grpProgram->isHidden());
  d.LayerTab->setCurrentIndex(2);
  EXPECT_TRUE(d.grpProgram->isHidden());
  d.memLayer[eLayerEachCode]->setPlainText("WAIT IDLE\nPRINT 1");
  d.LayerTab->setCurrentIndex(1);
  EXPECT_EQ(d.memLayer[eLayerEachCode]->toPlainText(), "");
  d.LayerTab->setCurrentIndex(2);
  EXPECT_EQ(d.memLayer[eLayerEachCode]->toPlainText(), "WAIT IDLE\nPRINT 1");
  QTest::mouseClick(d.btnInsert, Qt::LeftButton);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(reg.LayerEachText(1), "WAIT IDLE\r\nPRINT 1");
  EXPECT_EQ(reg.ProgramStartText(), "' hello");
}

TEST(ToolDialogs, LayoutsGiveTheFieldsTheirRoomAndNothingJumps) {
  TVLTRegistry reg;
  TLayerContent layers;
  layers.nUseLayer = 1;
  layers.sLayerName[0] = "OUTLINE";
  TfrmAutoCodeInsert d(layers, reg);
  d.show();
  QApplication::processEvents();
  const QSize first = d.size();
  d.LayerTab->setCurrentIndex(1);
  QApplication::processEvents();
  EXPECT_EQ(d.size(), first);  // the tab changes, the dialog does not
  EXPECT_GE(d.findChild<QPlainTextEdit*>("memSequenceInitial")->width(), 200);
  TLinkFields f;
  f.strLinkType = "USB";
  TfrmControllerLink c(f);
  c.show();
  QApplication::processEvents();
  EXPECT_GE(c.edtLoader->width(), 300);
}

TEST_F(ProgramToolTest, TheTablePaneHasTheHeightOfThePage) {
  Frm().Pages()->setCurrentIndex(1);
  QApplication::processEvents();
  EXPECT_GE(Find<TRichEditPlus>("memTablelist")->height(), 250);
}

TEST(ToolDialogs, ControllerLinkShowsTheGroupOfItsLinkType) {
  TLinkFields f;
  ParseLinkParameters("Ethernet", "10.1.2.3:5001", f);
  f.strLinkType = "Ethernet";
  TfrmControllerLink d(f);
  EXPECT_EQ(d.windowTitle(), "Controller Link Configuration");
  EXPECT_FALSE(d.grpEthernet->isHidden());
  EXPECT_TRUE(d.grpSerial->isHidden());
  EXPECT_EQ(d.edtHost->text(), "10.1.2.3");
  EXPECT_EQ(d.edtTcpPort->text(), "5001");
  d.cbCommsLink->setCurrentText("Serial");
  EXPECT_FALSE(d.grpSerial->isHidden());
  EXPECT_TRUE(d.grpEthernet->isHidden());
  d.btnFastDefaults->click();
  EXPECT_EQ(BuildLinkParameters(d.Fields()), "1:38400,8,e,1");
  d.btnSlowDefaults->click();
  EXPECT_EQ(BuildLinkParameters(d.Fields()), "1:9600,7,e,2");
  EXPECT_TRUE(d.edtUSBChannel->isReadOnly());
}

}  // namespace
}  // namespace veltrane::test
