// The main window's program tools: the program check, automatic code insertion, the
// table page (build, export, send) and the controller link.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QFontDatabase>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/FileNames.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "model/TextFile.h"
#include "tools/AutoCodeInsert.h"
#include "tools/ControllerLink.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramCheck.h"
#include "tools/ProgramStats.h"
#include "transform/CutOrderCheck.h"

namespace veltrane {

// ---------------------------------------------------------------------------------------
// Program check and automatic code insertion

void TfrmMain::CheckProgram() {
  EndMouseModes();
  FlushPendingWork();
  TProgramCheck check(m_Document.m_Program);
  check.Check();
  TStringList report = check.Report();
  if (m_Registry.CheckCutOrder()) {  // beyond the four checks, on request
    report.push_back(c_sCheckingCutOrder);
    const auto f = FirstCutOrderFinding(m_Document.m_Program);
    report.push_back(f ? CutOrderFindingText(*f) : "  ..OK");
  }
  if (m_Registry.CheckMotion()) {
    report.push_back(c_sCheckingMotion);
    TMotionCheckOptions o = ReadMotionCheckOptions(m_Registry);
    o.Limits = m_RangeLimits;  // as the window uses them now
    const std::vector<std::string> findings = CheckMotion(m_Document.m_Program, o);
    report.insert(report.end(), findings.begin(), findings.end());
    if (findings.empty()) report.push_back("  ..OK");
  }
  // The report quotes the program (labels): as text for the window.
  for (std::string& l : report) l = FromProgram(l).toUtf8().toStdString();
  m_pPrompts->ShowProgramCheck(report);
}

void TfrmMain::ProgramStatistics() {
  EndMouseModes();
  FlushPendingWork();
  const std::string strName =
      m_strFileName.isEmpty() ? std::string("the program") : QFileInfo(m_strFileName).fileName().toStdString();
  m_pPrompts->ProgramStatistics(m_Document.m_Program, strName, m_Registry,
                                [this](int32_t nLine) { SelectProgramLine(nLine + 1); });
  // The dialog may have changed the defaults or whether the time is shown.
  m_bShowTime = m_Registry.EstimateShowTime();
  m_nEstimatedVersion = ~uint64_t{0};
  m_SequenceTimes.clear();
  ScheduleEstimate();
  UpdateGraphStatus();
}

void TfrmMain::SelectProgramLine(int32_t nLine) {
  if (nLine < 0 || static_cast<size_t>(nLine) >= m_Document.m_Program.size()) return;
  if (m_Pages->currentIndex() != 0) m_Pages->setCurrentIndex(0);
  ProcessProgramLineChange(m_nCurrentLine);
  FlushPendingWork();
  m_memProgram->GotoLine(nLine);
  SetCurrentLine(nLine);
  m_Document.m_nCaretLine = m_nCurrentLine;
  m_nCurrentSequence = m_Document.CalculateCurrentSequence();
  GenerateAndDraw();
  UpdateToolEnableState();
}

void TfrmMain::ScheduleEstimate() {
  if (!m_bShowTime) {
    m_tmrEstimate.stop();
    m_SequenceTimes.clear();
    return;
  }
  m_tmrEstimate.start();
}

void TfrmMain::StartEstimate() {
  // Only the newest program counts: a run still going for an older one stops.
  if (m_pEstimateCancel) m_pEstimateCancel->store(true);
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  m_pEstimateCancel = cancel;
  auto program = std::make_shared<const TStringList>(m_Document.m_Program);
  const TEstimateSettings settings = ReadEstimateSettings(m_Registry);
  const uint64_t nVersion = m_nProgramVersion;
  m_bEstimateRunning = true;
  m_EstimatePool.start([this, program, settings, cancel, nVersion] {
    const TProgramStats st = ComputeProgramStats(*program, settings, "", cancel.get());
    if (st.bCancelled) return;
    std::vector<std::pair<int32_t, double>> times;
    times.reserve(st.Sequences.size());
    for (const TStatsRow& r : st.Sequences) times.emplace_back(r.nSequence, r.fTime);
    // Delivered on the window's thread; dropped if the window is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, times = std::move(times), cancel, nVersion]() mutable {
          if (cancel->load()) return;
          m_bEstimateRunning = false;
          m_SequenceTimes = std::move(times);
          m_nEstimatedVersion = nVersion;
          UpdateGraphStatus();
          if (nVersion != m_nProgramVersion) ScheduleEstimate();
        },
        Qt::QueuedConnection);
  });
}

double TfrmMain::SequenceTime(int32_t nSequence) const {
  for (const auto& [n, t] : m_SequenceTimes)
    if (n == nSequence) return t;
  return -1;
}

void TfrmMain::AutoCodeInsertCommand() {
  EndMouseModes();
  FlushPendingWork();
  if (!m_pPrompts->AutoCodeInsert(m_LayerList, m_Registry)) return;
  const std::string strProblem = AutoCodeInsertProblem(m_Document.m_Program);
  if (!strProblem.empty()) {
    m_pPrompts->ShowMessage(EMessageKind::eWarning, strProblem);
    return;
  }
  TStringList result = InsertAutoCode(m_Document.m_Program, ReadAutoCodeTexts(m_Registry));
  // The moves in canonical form, as after any transformation; one undo step for all. A big
  // program shows its progress; Cancel leaves it as it was.
  SyncTransformerFlags();
  try {
    const auto pProgress = m_pPrompts->StartProgress("Automatic Code Insertion");
    TTransformerProgress progress(m_Transformer, pProgress.get());
    TUseList use(m_Transformer, result);
    m_Transformer.RewriteCanonical();
  } catch (const ECancelled&) {
    GenerateAndDraw();
    return;
  }
  m_Document.ReplaceProgram(std::move(result));
  AfterProgramChange(true);
}

// ---------------------------------------------------------------------------------------
// The table page

void TfrmMain::CreateTablePage() {
  auto* page = new QWidget;
  page->setObjectName("TableList");
  auto* v = new QVBoxLayout(page);
  auto* codes = new QGroupBox("Move Codes", page);
  codes->setObjectName("GroupTypeEdit");
  auto* g = new QGridLayout(codes);
  // Two fields a row, so that the table itself keeps the height of the page.
  int nField = 0;
  for (auto [name, caption] :
       {std::pair{"mo_code", "MOVE :"}, std::pair{"ma_code", "MOVEABS :"}, std::pair{"mc_code", "MOVECIRC :"}}) {
    g->addWidget(new QLabel(caption, codes), nField / 2, (nField % 2) * 2);
    auto* e = new QLineEdit(codes);
    e->setObjectName(name);
    g->addWidget(e, nField / 2, (nField % 2) * 2 + 1);
    ++nField;
  }
  auto* lt = new QLabel("Table start :", codes);
  lt->setObjectName("labelTable");
  g->addWidget(lt, 1, 2);
  auto* et = new QLineEdit(codes);
  et->setObjectName("TableStart");
  g->addWidget(et, 1, 3);
  v->addWidget(codes);
  auto* data = new QGroupBox("Data Structure", page);
  data->setObjectName("GroupDataStru");
  auto* gd = new QGridLayout(data);
  auto* fix = new QRadioButton("Fixed data length", data);
  fix->setObjectName("RadioFixLen");
  auto* ll = new QLabel("Length:", data);
  ll->setObjectName("labLength");
  auto* el = new QLineEdit("6", data);
  el->setObjectName("edtListLen");
  auto* flex = new QRadioButton("Flexible data length", data);
  flex->setObjectName("RadioFlexible");
  gd->addWidget(fix, 0, 0);
  gd->addWidget(ll, 0, 1);
  gd->addWidget(el, 0, 2);
  gd->addWidget(flex, 1, 0);
  v->addWidget(data);
  auto enableLength = [ll, el, fix] {
    ll->setEnabled(fix->isChecked());
    el->setEnabled(fix->isChecked());
  };
  connect(fix, &QRadioButton::toggled, this, enableLength);
  auto* fmt = new QGroupBox("File Format", page);
  fmt->setObjectName("GroupFileformat");
  auto* vf = new QHBoxLayout(fmt);
  for (auto [name, caption] : {std::pair{"RadioBasic", "BASIC Program"}, std::pair{"RadioTableList", "Table List"},
                               std::pair{"RadioCSV", "CSV"}}) {
    auto* r = new QRadioButton(caption, fmt);
    r->setObjectName(name);
    vf->addWidget(r);
  }
  v->addWidget(fmt);
  auto* buttons = new QHBoxLayout;
  for (auto [name, caption] : {std::pair{"btnApply", "Apply"}, std::pair{"btnSaveTable", "Export File"},
                               std::pair{"btnSend", "Send to Controller"}}) {
    auto* b = new QPushButton(caption, page);
    b->setObjectName(name);
    buttons->addWidget(b);
  }
  v->addLayout(buttons);
  connect(page->findChild<QPushButton*>("btnApply"), &QPushButton::clicked, this, [this] { TableApply(); });
  connect(page->findChild<QPushButton*>("btnSaveTable"), &QPushButton::clicked, this, [this] { TableExport(); });
  connect(page->findChild<QPushButton*>("btnSend"), &QPushButton::clicked, this, [this] { SendProgram(); });
  // A table as long as a big program's: the program editor's lines, read only.
  auto* list = new TRichEditPlus(page);
  list->setObjectName("memTablelist");
  list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  list->setReadOnly(true);
  v->addWidget(list, 1);
  m_Pages->addTab(page, "TableList");
  fix->setChecked(true);
  findChild<QRadioButton*>("RadioBasic")->setChecked(true);
}

void TfrmMain::pcMoveDataChange(int nPage) { m_evOutputType = nPage == 1 ? eTable : eProgram; }

TTableFields TfrmMain::TableFieldsFromPage() const {
  TTableFields f;
  auto text = [this](const char* n) { return findChild<QLineEdit*>(n)->text().toStdString(); };
  f.strMoCode = text("mo_code");
  f.strMaCode = text("ma_code");
  f.strMcCode = text("mc_code");
  f.strTableStart = text("TableStart");
  f.strLength = text("edtListLen");
  f.bFixed = findChild<QRadioButton*>("RadioFixLen")->isChecked();
  f.evFormat = findChild<QRadioButton*>("RadioTableList")->isChecked() ? ETableFormat::eTableList
               : findChild<QRadioButton*>("RadioCSV")->isChecked()     ? ETableFormat::eCsv
                                                                       : ETableFormat::eBasic;
  return f;
}

void TfrmMain::ShowTableFields(const TTableFields& f) {
  findChild<QLineEdit*>("mo_code")->setText(QString::fromStdString(f.strMoCode));
  findChild<QLineEdit*>("ma_code")->setText(QString::fromStdString(f.strMaCode));
  findChild<QLineEdit*>("mc_code")->setText(QString::fromStdString(f.strMcCode));
  findChild<QLineEdit*>("TableStart")->setText(QString::fromStdString(f.strTableStart));
  findChild<QLineEdit*>("edtListLen")->setText(QString::fromStdString(f.strLength));
  findChild<QRadioButton*>(f.bFixed ? "RadioFixLen" : "RadioFlexible")->setChecked(true);
  findChild<QRadioButton*>(f.evFormat == ETableFormat::eTableList ? "RadioTableList"
                           : f.evFormat == ETableFormat::eCsv     ? "RadioCSV"
                                                                  : "RadioBasic")
      ->setChecked(true);
}

void TfrmMain::TableApply() {
  FlushPendingWork();
  auto* pane = findChild<TRichEditPlus*>("memTablelist");
  pane->SetLines({});
  TTableFields f = TableFieldsFromPage();
  m_nDataStructure = f.bFixed ? 0 : 1;
  m_nFileFormat = static_cast<int32_t>(f.evFormat);
  const TTableResult r = BuildTable(m_Document.m_Program, f);
  findChild<QLineEdit*>("edtListLen")->setText(QString::fromStdString(f.strLength));
  if (!r.strError.empty()) {
    m_pPrompts->ShowMessage(EMessageKind::eError, r.strError);
    return;
  }
  pane->SetLines(MakeEditorLines(r.Lines, m_Codec, nullptr, 0.0, 1.0));
}

void TfrmMain::TableExport() {
  if (m_evOutputType != eTable) {
    m_pPrompts->ShowMessage(EMessageKind::eInformation, c_sNoCodeForSave);
    return;
  }
  const std::string strLast = m_Registry.LastListExportFile();
  std::string strFolder;
  const size_t p = strLast.find_last_of("\\/");
  if (p != std::string::npos && p >= 3) strFolder = strLast.substr(0, p);
  std::string strFile;
  // A cancelled dialog keeps the table file sent last.
  if (!m_pPrompts->SaveTableFileName(TableSaveDialog(static_cast<ETableFormat>(m_nFileFormat)), strFolder,
                                      strFile))
    return;
  TStringList lines;
  const TRichEditPlus* pane = findChild<TRichEditPlus*>("memTablelist");
  if (pane->LineCount() > 1 || pane->LineLength(0) > 0)
    for (int i = 0; i < pane->LineCount(); ++i) lines.push_back(ToProgram(pane->Line(i)));
  try {
    SaveLines(strFile, lines);
  } catch (const EFileError& e) {
    m_pPrompts->ShowMessage(EMessageKind::eError, e.what());
    return;
  }
  m_Registry.SetLastListExportFile(strFile);
  m_strTableFile = WindowFileName(strFile);
}

// ---------------------------------------------------------------------------------------
// Controller link

void TfrmMain::ControllerLinkConfig() {
  EndMouseModes();
  TLinkFields f = ReadLinkFields(m_Registry);
  if (!m_pPrompts->EditControllerLink(f)) return;
  WriteLinkFields(m_Registry, f);
}

void TfrmMain::SendProgram() {
  EndMouseModes();
  // A table goes as a table; the program always goes as a program.
  const bool bTablePage = m_evOutputType == eTable;
  if (bTablePage && m_strTableFile.isEmpty()) {
    // The table page sends the table file saved last; say which step is missing.
    const TRichEditPlus* pane = findChild<TRichEditPlus*>("memTablelist");
    const bool bBuilt = pane && (pane->LineCount() > 1 || pane->LineLength(0) > 0);
    m_pPrompts->ShowMessage(EMessageKind::eInformation, bBuilt ? c_sTableMustBeSaved : c_sTableMustBeBuilt);
    return;
  }
  const std::string strFile = CoreFileName(bTablePage ? m_strTableFile : m_strFileName);
  const bool bTable = bTablePage && m_nFileFormat == static_cast<int32_t>(ETableFormat::eTableList);
  const bool bCsv = bTablePage && m_nFileFormat == static_cast<int32_t>(ETableFormat::eCsv);
  const TSendOutcome o = SendToController(m_Registry, strFile, bTable, bCsv);
  std::string strMessage = o.strMessage;
  if (o.bStarted && !bTablePage && m_bProgramModified)
    strMessage += "\nThe program has changes that are not saved: the controller gets the file as it was last saved.";
  if (!strMessage.empty())
    m_pPrompts->ShowMessage(o.bStarted ? EMessageKind::eInformation : EMessageKind::eWarning, strMessage);
}

}  // namespace veltrane
