// The main window.
#include "app/frmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/Captions.h"
#include "app/FileNames.h"
#include "app/Language.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/RichEditPlus.h"
#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "settings/WindowPlacement.h"
#include "tools/LookAhead.h"

namespace veltrane {

namespace {

void Enable(QAction* a, bool b) {
  if (a) a->setEnabled(b);
}

}  // namespace

TfrmMain::TfrmMain(IAppPrompts* pPrompts, QWidget* parent)
    : QMainWindow(parent), m_pPrompts(pPrompts) {
  if (!m_pPrompts) {
    m_pOwnPrompts = std::make_unique<TQtAppPrompts>(this);
    m_pPrompts = m_pOwnPrompts.get();
  }
  setObjectName("frmMain");
  setWindowTitle("Veltrane");
  setMinimumSize(c_nMinWidth, c_nMinHeight);
  OpenUrl = [](const QUrl& u) { return QDesktopServices::openUrl(u); };

  m_Document.SetPrompts(m_pPrompts);
  m_Document.SetHooks(this);
  m_Interp.SetProgram(&m_Document.m_Program);
  m_Interp.SetDisplayList(&m_Document.m_DisplayList);
  m_Interp.SetEndPointList(&m_Document.m_EndPointList);
  m_Interp.SetAddDisList(&m_Document.m_AddDisList);
  m_Interp.SetAdditional(&*m_BackList, false);
  m_View.OnBeep = [] { QApplication::beep(); };

  m_Client = new QWidget(this);
  m_Client->setObjectName("client");
  setCentralWidget(m_Client);

  m_memProgram = new TRichEditPlus;
  m_memProgram->setObjectName("memProgram");
  m_memProgram->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_memProgram->setContextMenuPolicy(Qt::NoContextMenu);
  m_memProgram->setAcceptDrops(false);
  m_pUndoList = std::make_unique<TUndoList>(&m_memProgram->EditUndo(), m_memProgram,
                                            &m_TransformationUndoList);
  m_memProgram->m_InputFilter = [this](const QString& t) { return AcceptTyped(t); };

  CreateMenus();
  CreateToolBar();
  CreatePlot();
  CreatePages();
  // The file's name, whether it is modified, and its text encoding.
  m_FileStatus = new TPanelBar(3, m_Client);
  m_FileStatus->setObjectName("FileStatusBar");
  // The design's thirteen panels, then one for a short note (where a paste went).
  m_GraphStatus = new TPanelBar(14, m_Client);
  m_GraphStatus->setObjectName("GraphStatusBar");
  for (int i = 0; i < 13; ++i) m_GraphStatus->SetPanelWidth(i, 12);
  ShowGraphStatusLabels();
  for (int i : {c_nXAxisPanel, c_nYAxisPanel, c_nSequencePanel})
    m_GraphStatus->SetPanelWidth(i, 40);
  for (int i : {c_nEntityStartPanel, c_nEntityEndPanel}) m_GraphStatus->SetPanelWidth(i, 100);

  connect(m_memProgram, &TRichEditPlus::LinesChanged, this, &TfrmMain::OnLinesChanged);
  connect(m_memProgram, &TRichEditPlus::textChanged, this, &TfrmMain::OnEditorTextChanged);
  connect(m_memProgram, &TRichEditPlus::selectionChanged, this, &TfrmMain::UpdateEditControls);
  connect(m_memProgram, &TRichEditPlus::CaretMovedByUser, this,
          &TfrmMain::UpdateForCursorOnNewLine);
  connect(m_memProgram, &TRichEditPlus::UndoRequested, this, &TfrmMain::Undo);
  connect(m_memProgram, &TRichEditPlus::RedoRequested, this, &TfrmMain::Redo);
  connect(m_memProgram, &TRichEditPlus::Clicked, this, [this] {
    m_memProgram->setReadOnly(false);
    m_forcus = false;
  });
  m_tmrRegenerate.setSingleShot(true);
  m_tmrRegenerate.setInterval(0);
  connect(&m_tmrRegenerate, &QTimer::timeout, this, &TfrmMain::GenerateAndDraw);
  // The estimate waits for a pause in typing.
  m_tmrEstimate.setSingleShot(true);
  m_tmrEstimate.setInterval(300);
  connect(&m_tmrEstimate, &QTimer::timeout, this, &TfrmMain::StartEstimate);

  ReadSettings();
  PlaceOnScreen();
  m_nListWidth = width() > 660 ? 330 : width() / 2;
  m_Client->installEventFilter(this);
  m_Pages->setCurrentIndex(0);
  UpdateFileStatus();
  UpdateToolEnableState();
  UpdateEditControls();
  FormResize();
}

TfrmMain::~TfrmMain() {
  m_bDestroying = true;
  m_tmrRegenerate.stop();
  m_tmrEstimate.stop();
  if (m_pEstimateCancel) m_pEstimateCancel->store(true);
  m_EstimatePool.waitForDone();
  WriteSettings();
  // The editor's signals must not reach a half-destroyed window.
  disconnect(m_memProgram, nullptr, this, nullptr);
}

// ---------------------------------------------------------------------------------------
// Settings

void TfrmMain::ReadSettings() {
  m_bShowTime = m_Registry.EstimateShowTime();
  m_EstimatePool.setMaxThreadCount(1);
  int32_t x = m_Registry.XAxis(), y = m_Registry.YAxis();
  m_Interp.SetXAxisNumber(x);
  m_Interp.SetYAxisNumber(y == x ? x + 1 : y);
  Action("mniLookAheadforLine")->setChecked(m_Registry.LookAheadMove());
  Action("mniLookAheadforSequenceStart")->setChecked(m_Registry.LookAheadStartSequence());
  Action("mniLookAheadforCircle")->setChecked(m_Registry.LookAheadMoveCirc());
  m_RangeLimits = ReadRangeLimits(m_Registry);
  ShowRangeInPlot();
  SyncTransformerFlags();
  const TTableFields table = ReadTableFields(m_Registry);
  ShowTableFields(table);
  m_nDataStructure = table.bFixed ? 0 : 1;
  m_nFileFormat = static_cast<int32_t>(table.evFormat);
}

// The frame the window system draws around the window: known once shown, else a usual one.
static TWindowFrame WindowFrame(const QWidget& w) {
  const QRect outer = w.frameGeometry(), inner = w.geometry();
  if (w.isVisible() && outer != inner)
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
  return {8, 32, 8, 8};
}

static TWindowRect ToWindowRect(const QRect& r) { return {r.left(), r.top(), r.width(), r.height()}; }

void TfrmMain::PlaceOnScreen() {
  // The place of the last run where there is one, else the usual size in the middle of
  // the screen; either way all of the window on the screen's free area, whatever the
  // screen's size and scale.
  QScreen* pScreen = screen() ? screen() : QGuiApplication::primaryScreen();
  const std::optional<TWindowPlacement> stored = ParseWindowPlacement(m_Registry.WindowPlacement());
  const TWindowFrame frame = WindowFrame(*this);
  if (stored) {
    // The screen the stored place was on, when it is still there.
    const QPoint centre(stored->Rect.nLeft + stored->Rect.nWidth / 2, stored->Rect.nTop + stored->Rect.nHeight / 2);
    if (QScreen* s = QGuiApplication::screenAt(centre)) pScreen = s;
  }
  if (!pScreen) {
    resize(1000, 700);
    return;
  }
  const TWindowRect area = ToWindowRect(pScreen->availableGeometry());
  const TWindowRect wished = stored ? stored->Rect : CentredWindowRect(1000, 700, area, frame);
  const TWindowRect r = FitWindowRect(wished, area, frame, c_nMinWidth, c_nMinHeight);
  setGeometry(r.nLeft, r.nTop, r.nWidth, r.nHeight);
  m_rcPlaced = geometry();
  if (stored && stored->bMaximised) setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // The real frame is known now: a window that still reaches beyond the free area (a
  // larger frame than thought, another screen) is brought onto it.
  // Only the place chosen here, at the first showing: a size set since is meant.
  const bool bPlaced = m_rcPlaced.isValid() && geometry() == m_rcPlaced;
  m_rcPlaced = QRect();
  if (!bPlaced || isMaximized() || isFullScreen() || !screen()) return;
  const TWindowRect area = ToWindowRect(screen()->availableGeometry());
  const TWindowRect now = ToWindowRect(geometry());
  const TWindowRect r = FitWindowRect(now, area, WindowFrame(*this), c_nMinWidth, c_nMinHeight);
  if (!(r == now)) setGeometry(r.nLeft, r.nTop, r.nWidth, r.nHeight);
}

void TfrmMain::WriteSettings() {
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  if (normal.isValid())
    m_Registry.SetWindowPlacement(FormatWindowPlacement({ToWindowRect(normal), isMaximized()}));
  m_Registry.SetXAxis(m_Interp.XAxisNumber());
  m_Registry.SetYAxis(m_Interp.YAxisNumber());
  m_Registry.SetLookAheadMove(Action("mniLookAheadforLine")->isChecked());
  m_Registry.SetLookAheadStartSequence(Action("mniLookAheadforSequenceStart")->isChecked());
  m_Registry.SetLookAheadMoveCirc(Action("mniLookAheadforCircle")->isChecked());
  // The table fields as typed, the layout and format of the last build.
  TTableFields table = TableFieldsFromPage();
  table.bFixed = m_nDataStructure == 0;
  table.evFormat = static_cast<ETableFormat>(m_nFileFormat);
  WriteTableFields(m_Registry, table);
}

// ---------------------------------------------------------------------------------------
// The program text: the editor and the document's lines kept equal

void TfrmMain::SyncEditorFromProgram() {
  const TStringList& p = m_Document.m_Program;
  const int nVScroll = m_memProgram->verticalScrollBar()->value();
  const int nHScroll = m_memProgram->horizontalScrollBar()->value();
  const TTextPos caret = m_memProgram->Caret();
  // A big program shows progress. The change is made already, so the dialog has no Cancel.
  const auto pProgress = p.size() >= s_nLinesForProgress ? m_pPrompts->StartProgress("Veltrane", false) : nullptr;
  ShowEditorLines(MakeEditorLines(p, m_Codec, pProgress.get(), 0.0, 1.0));
  // The caret and the view stay where they were.
  m_memProgram->SetCaret(caret);
  m_memProgram->verticalScrollBar()->setValue(nVScroll);
  m_memProgram->horizontalScrollBar()->setValue(nHScroll);
}

TEditorLines TfrmMain::MakeEditorLines(const TStringList& Lines, const TTextCodec& Codec,
                                               IProgress* pProgress, double fFrom, double fTo) const {
  TProgressStage stage(pProgress, "Showing the program", fFrom, fTo, static_cast<double>(Lines.size()));
  TEditorLines text;
  text.reserve(Lines.size());
  const bool bAscii = Codec.AsciiCompatible();
  for (size_t i = 0; i < Lines.size(); ++i) {
    const std::string& l = Lines[i];
    // An ASCII line is its own text: no decoding.
    if (bAscii && std::all_of(l.begin(), l.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
      text.PushLatin1(l);
    else
      text.push_back(Codec.Decode(l));
    if (i % 4096 == 0) stage.Step(static_cast<double>(i));
  }
  stage.Done();
  return text;
}

void TfrmMain::ShowEditorLines(TEditorLines Lines) {
  m_bSyncing = true;
  m_memProgram->SetLines(std::move(Lines));
  m_bSyncing = false;
  ++m_nProgramVersion;
  m_memProgram->SetTextColor(m_nCurrentLine);
}

void TfrmMain::OnLinesChanged(int nFirst, int nRemoved, int nAdded) {
  if (m_bSyncing) return;
  TStringList& prog = m_Document.m_Program;
  const bool bWasEmpty = prog.empty();
  if (prog.empty()) prog.emplace_back();  // an empty editor still holds one empty line
  const size_t nBefore = static_cast<size_t>(m_memProgram->LineCount() - nAdded + nRemoved);
  bool bTracked = true;
  if (nFirst < 0 || nRemoved < 1 || prog.size() != nBefore || static_cast<size_t>(nFirst + nRemoved) > prog.size()) {
    // Not what a change of the lines the program has can give: take every line again.
    prog.clear();
    for (int i = 0; i < m_memProgram->LineCount(); ++i) prog.push_back(ToProgram(m_memProgram->Line(i)));
    bTracked = false;
  } else {
    const auto at = prog.begin() + nFirst;
    const int nCommon = std::min(nRemoved, nAdded);
    for (int i = 0; i < nCommon; ++i) at[i] = ToProgram(m_memProgram->Line(nFirst + i));
    if (nAdded > nRemoved) {
      TStringList lines;
      lines.reserve(static_cast<size_t>(nAdded - nRemoved));
      for (int i = nCommon; i < nAdded; ++i) lines.push_back(ToProgram(m_memProgram->Line(nFirst + i)));
      prog.insert(at + nCommon, std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    } else if (nRemoved > nAdded) {
      prog.erase(at + nCommon, at + nRemoved);
    }
  }
  if (prog.size() == 1 && prog[0].empty()) prog.clear();
  // The display pass may follow the change rather than run the whole program, when the
  // program's lines are the editor's (an empty program has none, the editor one).
  const TLineChange change{static_cast<size_t>(nFirst), static_cast<size_t>(nRemoved), static_cast<size_t>(nAdded)};
  if (!bTracked || bWasEmpty || prog.empty()) {
    m_PendingChange.reset();
  } else if (m_PendingChange && m_nProgramVersion == m_nChangeVersion) {
    m_PendingChange = CombineChanges(*m_PendingChange, change);
  } else {
    m_PendingChange = change;
    m_nChangeBase = m_nProgramVersion;
  }
  ++m_nProgramVersion;
  m_nChangeVersion = m_nProgramVersion;
  // A change made other than by undoing or redoing: what was undone cannot come back.
  if (!m_bHistoryStep) m_pUndoList->ClearRedo();
}

void TfrmMain::OnEditorTextChanged() {
  if (m_bSyncing) return;
  SetModified(true);
  m_pUndoList->TestAddEdit();
  UpdateToolEnableState();
  ScheduleRegenerate();
}

void TfrmMain::ScheduleRegenerate() { m_tmrRegenerate.start(); }

void TfrmMain::FlushPendingWork() {
  if (m_tmrRegenerate.isActive()) {
    m_tmrRegenerate.stop();
    GenerateAndDraw();
  }
}

void TfrmMain::AfterProgramChange(bool bChanged) {
  if (bChanged) {
    if (!m_bHistoryStep) m_pUndoList->ClearRedo();
    SyncEditorFromProgram();
    SetModified(true);
  }
  if (m_nCurrentLine >= static_cast<int32_t>(m_Document.m_Program.size())) SetCurrentLine(-1);
  m_Document.m_nCaretLine = m_nCurrentLine;
  if (m_nCurrentLine >= 0) {
    m_nCurrentSequence = m_Document.CalculateCurrentSequence();
  } else if (m_nCurrentSequence > 0 && !FindSequenceBody(m_Document.m_Program, m_nCurrentSequence)) {
    m_nCurrentSequence = 0;  // the sequence selected is gone
  }
  GenerateAndDraw();
  UpdateToolEnableState();
}

void TfrmMain::CommandOutOfMemory(const QString& strCaption, bool bChanged) {
  // A command that ran out of memory half way is taken back to the snapshot it made,
  // so the program is never left half changed.
  bool bRestored = !bChanged;
  if (bChanged) {
    try {
      Undo();
      bRestored = true;
    } catch (const std::bad_alloc&) {
    }
  }
  QString strCommand = strCaption;
  strCommand.remove('&');
  const QString strFile = m_strFileName.isEmpty() ? QString("the program") : QFileInfo(m_strFileName).fileName();
  m_pPrompts->ShowMessage(EMessageKind::eError,
                          "Not enough memory for " + strCommand.toStdString() + " on " + strFile.toStdString() +
                              (bRestored ? "; the program is as it was before." : "; use Undo to take the change back."));
}

void TfrmMain::SaveForUndo() {
  ++m_nSnapshotsTaken;
  m_pUndoList->AddTransformation();
  UpdateToolEnableState();
}

void TfrmMain::BeginBulkEdit() { m_memProgram->setUpdatesEnabled(false); }
void TfrmMain::EndBulkEdit() { m_memProgram->setUpdatesEnabled(true); }

void TfrmMain::SetModified(bool b) {
  if (m_bProgramModified == b) return;
  m_bProgramModified = b;
  UpdateFileStatus();
}

void TfrmMain::UpdateFileStatus() {
  m_FileStatus->SetPanelText(0, m_strFileName);
  m_FileStatus->SetPanelText(1, Localised(QString(m_bProgramModified ? "Modified" : "Not Modified")));
  const QString encoding =
      m_WideForm.Wide() ? QString::fromStdString(m_WideForm.Name()) + (m_WideForm.bByteOrderMark ? " with BOM" : "")
                        : m_Codec.Caption();
  m_FileStatus->SetPanelText(2, encoding);
  m_FileStatus->SetPanelWidth(2, m_FileStatus->TextWidth(encoding) + 12);
  UpdateTitle();
}

void TfrmMain::UpdateTitle() {
  QString t = "Veltrane";
  if (!m_strFileName.isEmpty()) t += " - " + QFileInfo(m_strFileName).fileName();
  setWindowTitle(t);
}

void TfrmMain::ApplyLookAheadChoices() {
  TStringList& p = m_Document.m_Program;
  if (Action("mniLookAheadforLine")->isChecked())
    LookAheadLine(p);
  else
    RecoverLookAheadLine(p);
  if (Action("mniLookAheadforCircle")->isChecked())
    LookAheadCircle(p);
  else
    RecoverLookAheadCircle(p);
}

// ---------------------------------------------------------------------------------------
// File lifecycle

bool TfrmMain::AskSaveProgramOrCancel() {
  if (!m_bProgramModified) return true;
  switch (m_pPrompts->Ask("Save program changes?", true)) {
    case EAnswer::eNo:
      return true;
    case EAnswer::eCancel:
      return false;
    case EAnswer::eYes:
      break;
  }
  return m_strFileName.isEmpty() ? SaveNewFile() : SaveFile(m_strFileName);
}

void TfrmMain::SetBackList(TSharedLines Lines) {
  m_BackList = std::move(Lines);
  m_Interp.SetAdditional(&*m_BackList, m_View.m_bShowOriginal);
}

void TfrmMain::ClearProgram() {
  SetCurrentLine(-1);
  m_Codec = NewProgramCodec();
  m_WideForm = {};
  m_Document.m_Program.clear();
  m_Document.m_OriginalList.clear();
  m_Document.m_ListWithoutCmp.clear();
  SetBackList({});
  m_bCopy = false;
  SyncEditorFromProgram();
  m_memProgram->EmptyUndoList();
  m_pUndoList->ClearAll();
  m_strFileName.clear();
  m_strTableFile.clear();
  if (auto* t = findChild<TRichEditPlus*>("memTablelist")) t->SetLines({});
  MarkUnmodified();
  m_nCurrentSequence = 0;
  UpdateFileStatus();
  GenerateAndDraw();
  UpdateToolEnableState();
  UpdateEditControls();
}

std::string TfrmMain::ToProgram(const QString& s) const {
  std::string b;
  // Text reaches the editor only through the input filter, so it always fits; should it
  // not, UTF-8 keeps it rather than losing it.
  if (!m_Codec.Encode(s, b)) {
    const QByteArray u = s.toUtf8();
    b.assign(u.constData(), static_cast<size_t>(u.size()));
  }
  return b;
}

TTextCodec TfrmMain::NewProgramCodec() {
  return m_Registry.NewFilesLegacy() ? TTextCodec(LegacyEncoding(m_Registry, m_bChinese)) : TTextCodec("UTF-8");
}

bool TfrmMain::AcceptTyped(const QString& strText) {
  QString bad;
  if (m_Codec.CanEncode(strText, &bad)) return true;
  const std::string q = "The character " + CharacterName(bad).toStdString() + " cannot be written in " +
                        m_Codec.Caption().toStdString() + ", the encoding of this program.\nConvert the program to UTF-8?";
  if (m_pPrompts->Ask(q, false) != EAnswer::eYes) return false;
  ConvertProgramToUtf8();
  return true;
}

bool TfrmMain::BringIntoProgramEncoding(TStringList& Lines, const TTextCodec& From) {
  TStringList recoded = Lines;
  QString bad;
  if (Recode(recoded, From, m_Codec, &bad)) {
    Lines = std::move(recoded);
    return true;
  }
  const std::string q = "The character " + CharacterName(bad).toStdString() + " cannot be written in " +
                        m_Codec.Caption().toStdString() + ", the encoding of this program.\nConvert the program to UTF-8?";
  if (m_pPrompts->Ask(q, false) != EAnswer::eYes) return false;
  ConvertProgramToUtf8();
  return Recode(Lines, From, m_Codec);
}

void TfrmMain::ClearCurrentLineMark() {
  SetCurrentLine(-1);
  m_Document.m_nCaretLine = -1;
}

void TfrmMain::ShowTransformError(const ETransformError& e) {
  const ETransformError shown(e.nLine, FromProgram(e.strLine).toUtf8().toStdString(), e.what());
  m_pPrompts->ShowMessage(EMessageKind::eError, TransformErrorMessage(shown));
}

void TfrmMain::ConvertProgramToUtf8() {
  if (m_WideForm.Wide()) {  // read as UTF-8 already: only the bytes written change
    m_WideForm = {};
    m_bProgramModified = true;
    UpdateFileStatus();
    return;
  }
  if (m_Codec.IsUtf8()) return;
  const TTextCodec from = m_Codec, to("UTF-8");
  auto recode = [&](TStringList& l) { Recode(l, from, to); };
  FlushPendingWork();
  recode(m_Document.m_Program);
  const bool bBackShared = m_BackList.SharesWith(m_Document.m_OriginalList);
  recode(m_Document.m_OriginalList.Edit());
  recode(m_Document.m_ListWithoutCmp);
  recode(m_Document.m_CopyList);
  if (bBackShared) {
    SetBackList(m_Document.m_OriginalList);
  } else {
    TStringList back = *m_BackList;
    recode(back);
    SetBackList(std::move(back));
  }
  m_TransformationUndoList.ForEach(recode);
  m_pUndoList->ClearRedo();  // its copies of the program are in the old encoding
  m_Codec = to;
  // The editor's text is the same; only the bytes behind it change.
  m_bProgramModified = true;
  UpdateFileStatus();
}

void TfrmMain::TextEncodingCommand() {
  EndMouseModes();
  TTextEncodingFields f;
  f.strCurrent = m_FileStatus->PanelText(2).toStdString();
  f.strLegacy = LegacyEncoding(m_Registry, m_bChinese).toStdString();
  f.bNewFilesLegacy = m_Registry.NewFilesLegacy();
  if (!m_pPrompts->EditTextEncoding(f)) return;
  m_Registry.SetLegacyEncoding(f.strLegacy);
  m_Registry.SetNewFilesLegacy(f.bNewFilesLegacy);
  if (f.bConvertToUtf8) ConvertProgramToUtf8();
  UpdateFileStatus();
}

void TfrmMain::NewFile() {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) return;
  ClearProgram();
}

void TfrmMain::CloseFile() {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) return;
  ClearProgram();
}

QString TfrmMain::InitialFolder() const {
  QString last = QString::fromStdString(const_cast<TVLTRegistry&>(m_Registry).LastBasicFile());
  int n = std::max(last.lastIndexOf('/'), last.lastIndexOf('\\'));
  return n >= 3 ? last.left(n) : QString();
}

bool TfrmMain::LoadProgramText(TStringList Lines, const TTextCodec& Codec, IProgress* pProgress) {
  // Everything that takes long is made aside first: cancelled, nothing has changed.
  TEditorLines editorLines;
  try {
    TProgressStage preparing(pProgress, "Reading the program", 0.0, 0.6, 1.0);
    SyncTransformerFlags();
    PrepareOpenedProgram(Lines, LookAheadChoices(), m_Transformer);
    preparing.Done();
    editorLines = MakeEditorLines(Lines, Codec, pProgress, 0.6, 1.0);
  } catch (const ECancelled&) {
    return false;
  }
  SetCurrentLine(-1);
  m_Codec = Codec;
  m_Document.m_Program = std::move(Lines);
  m_Document.m_OriginalList = m_Document.m_Program;
  SetBackList(m_Document.m_OriginalList);
  m_Document.m_ListWithoutCmp.clear();
  ShowEditorLines(std::move(editorLines));
  m_nBackListVersion = m_nProgramVersion;
  m_memProgram->EmptyUndoList();
  m_pUndoList->ClearAll();
  MarkUnmodified();
  m_Document.m_nCaretLine = -1;
  m_nCurrentSequence = 0;
  UpdateFileStatus();
  UpdateToolEnableState();
  UpdateEditControls();
  ZoomExtents();
  // A number beyond the range of doubles cannot be plotted or transformed: say where it is
  // rather than plot the program without it.
  std::string strNumber;
  const int32_t n = FirstMoveOutOfRange(m_Document.m_Program, strNumber);
  if (n >= 0)
    m_pPrompts->ShowMessage(EMessageKind::eWarning, "Line " + std::to_string(n + 1) + ": " + strNumber +
                                                        " is beyond the range of numbers; the plot leaves it out");
  return true;
}

bool TfrmMain::OpenProgram(const QString& strFileName, QString& strError) {
  TStringList lines;
  TWideText form;
  try {
    lines = LoadLines(CoreFileName(strFileName), &form);
  } catch (const EFileError& e) {
    strError = QString::fromLocal8Bit(e.what());
    return false;
  }
  // The name, the encoding and the text change together, or not at all when cancelled.
  // (A UTF-16 or UTF-32 program is read as UTF-8 and written back in its own form.)
  const TTextCodec codec = form.Wide() ? TTextCodec("UTF-8")
                                       : DetectEncoding(lines, LegacyEncoding(m_Registry, m_bChinese),
                                                        LegacyEncodingChosen(m_Registry));
  const auto pProgress = m_pPrompts->StartProgress("Opening " + QFileInfo(strFileName).fileName().toStdString());
  if (!LoadProgramText(std::move(lines), codec, pProgress.get())) return true;  // cancelled: nothing to report
  m_WideForm = form;
  m_strFileName = QFileInfo(strFileName).absoluteFilePath();
  m_Registry.SetLastBasicFile(m_strFileName.toStdString());
  UpdateFileStatus();
  return true;
}

void TfrmMain::OpenFile() {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) return;
  std::string strName;
  if (!m_pPrompts->OpenFileName("Open Program File", InitialFolder().toStdString(), strName))
    return;
  QString name = QString::fromStdString(strName);
  if (!QFileInfo::exists(name)) return;  // gone since the dialog: nothing is loaded
  QString strError;
  if (!OpenProgram(name, strError))
    m_pPrompts->ShowMessage(EMessageKind::eError, strError.toStdString());
}

bool TfrmMain::SaveFile(const QString& strFileName) {
  EndMouseModes();
  // Trailing blanks go from the lines, in the editor too.
  bool bStripped = false;
  for (auto& l : m_Document.m_Program) {
    size_t n = l.size();
    while (n > 0 && (l[n - 1] == ' ' || l[n - 1] == '\t')) --n;
    if (n != l.size()) {
      l.resize(n);
      bStripped = true;
    }
  }
  if (bStripped) SyncEditorFromProgram();
  std::string data;
  size_t nBytes = 0;
  for (const auto& l : m_Document.m_Program) nBytes += l.size() + 2;
  data.reserve(nBytes + 3);
  if (m_Codec.Bom() && !m_WideForm.Wide()) data = "\xEF\xBB\xBF";
  for (const auto& l : m_Document.m_Program) {
    data += l;
    data += "\r\n";
  }
  if (m_WideForm.Wide()) data = Utf8ToWide(data, m_WideForm);
  // The core's writer follows links, keeps the replaced file's permissions and refuses
  // read-only files and devices, as every command's output does.
  try {
    WriteFileAtomically(CoreFileName(strFileName), data);
  } catch (const EFileError& e) {
    m_pPrompts->ShowMessage(EMessageKind::eInformation, e.what());
    return false;
  }
  if (m_memProgram->ClearUndoListOnSave()) m_memProgram->EmptyUndoList();
  m_strFileName = QFileInfo(strFileName).absoluteFilePath();
  MarkUnmodified();
  UpdateFileStatus();
  return true;
}

bool TfrmMain::SaveNewFile() {
  std::string strName;
  if (!m_pPrompts->SaveFileName("Save Program File", InitialFolder().toStdString(), strName))
    return false;
  QString name = QString::fromStdString(strName);
  if (!SaveFile(name)) return false;
  m_Registry.SetLastBasicFile(m_strFileName.toStdString());
  return true;
}

void TfrmMain::AppendBASIC() {
  EndMouseModes();
  std::string strName;
  if (!m_pPrompts->OpenFileName("Open Program File", InitialFolder().toStdString(), strName))
    return;
  if (!QFileInfo::exists(QString::fromStdString(strName))) return;
  TStringList lines;
  try {
    lines = LoadLines(CoreFileName(QString::fromStdString(strName)));
  } catch (const EFileError& e) {
    m_pPrompts->ShowMessage(EMessageKind::eError, e.what());
    return;
  }
  // The appended program's text in this program's encoding.
  const TTextCodec from = DetectEncoding(lines, LegacyEncoding(m_Registry, m_bChinese), LegacyEncodingChosen(m_Registry));
  if (!lines.empty() && !BringIntoProgramEncoding(lines, from)) return;
  if (!lines.empty()) {
    SaveForUndo();
    RenumberSequences(m_Document.NextSequenceNumber(), lines);
    auto& p = m_Document.m_Program;
    p.insert(p.end(), lines.begin(), lines.end());
    AfterProgramChange(true);
  }
  UpdateToolEnableState();
  ZoomExtents();
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) {
    e->ignore();
    return;
  }
  e->accept();
}

// ---------------------------------------------------------------------------------------
// Commands

void TfrmMain::Undo() {
  RunHistoryStep([this] { return m_pUndoList->Count() > 0 && m_pUndoList->Undo(); });
}

void TfrmMain::Redo() {
  RunHistoryStep([this] { return m_pUndoList->Redo(); });
}

void TfrmMain::RunHistoryStep(const std::function<bool()>& Step) {
  EndMouseModes();
  ClearCurrentLineMark();
  FlushPendingWork();
  const uint64_t nVersion = m_nProgramVersion;
  // An edit is undone or redone in the editor, whose lines become the program's; a
  // snapshot replaces the program, whose lines then go to the editor.
  m_bHistoryStep = true;
  bool bDone = false;
  try {
    bDone = Step();
    if (bDone) AfterProgramChange(m_nProgramVersion == nVersion);
  } catch (...) {
    m_bHistoryStep = false;
    throw;
  }
  m_bHistoryStep = false;
  if (bDone) {
    UpdateModifiedFromHistory();
    FlushPendingWork();
  }
  UpdateToolEnableState();
  UpdateEditControls();
}

void TfrmMain::MarkUnmodified() {
  m_bProgramModified = false;
  m_nSavedFingerprint = TextFingerprint(m_Document.m_Program);
}

void TfrmMain::UpdateModifiedFromHistory() {
  SetModified(!m_nSavedFingerprint || *m_nSavedFingerprint != TextFingerprint(m_Document.m_Program));
}

void TfrmMain::Reset() {
  EndMouseModes();
  if (m_BackList.empty()) return;
  TStringList before = m_Document.m_Program;
  m_Document.m_Program = *m_BackList;
  ApplyLookAheadChoices();
  if (m_Document.m_Program == *m_BackList)
    m_Document.m_OriginalList = m_BackList;
  else
    m_Document.m_OriginalList = m_Document.m_Program;
  AfterProgramChange(before != m_Document.m_Program);
  m_nBackListVersion = m_nProgramVersion;  // nothing left to reset
  UpdateToolEnableState();
  CheckRange();
  ZoomExtents();
}

void TfrmMain::ChangeOptions() {
  EndMouseModes();
  TPlotOptionsFields fields = LoadPlotOptions(m_Interp, m_View);
  if (!m_pPrompts->EditPlotOptions(fields)) return;
  ApplyPlotOptions(fields, m_Interp, m_View);
  m_Registry.SetXAxis(m_Interp.XAxisNumber());
  m_Registry.SetYAxis(m_Interp.YAxisNumber());
  m_View.SetWorldRanges();
  m_View.SetScrollBars();
  GenerateAndDraw();
}

void TfrmMain::ReorderSequencesByDialog() {
  EndMouseModes();
  bool bChanged = m_Document.ReorderSequences(
      [this](TStringList& Order) { return m_pPrompts->OrderSequences(Order); });
  if (bChanged) {
    SetCurrentLine(-1);
    AfterProgramChange(true);
  }
}

void TfrmMain::DeleteCurrentSequence() {
  if (m_nCurrentSequence <= 0) return;
  const size_t nBefore = m_Document.m_Program.size();
  m_Document.DeleteSequence(m_nCurrentSequence);
  if (m_Document.m_Program.size() == nBefore) return;
  SetCurrentLine(-1);
  AfterProgramChange(true);
}

QString TfrmMain::HelpFileName(const QString& strExecutable) {
  if (strExecutable.isEmpty()) return QString();
  // The user guide is an HTML page next to the executable ("veltrane.html"); on Windows
  // a compiled help file beside it ("veltrane.chm") comes first when there is one. An
  // installed package keeps the guide with its documentation.
  QString strBase = strExecutable;
#ifdef _WIN32
  if (strBase.endsWith(".exe", Qt::CaseInsensitive)) strBase.chop(4);
  if (QFileInfo::exists(strBase + ".chm")) return strBase + ".chm";
#endif
  const QString strBeside = strBase + ".html";
  const QString strInstalled =
      QFileInfo(strExecutable).absolutePath() + "/../share/doc/veltrane/" + QFileInfo(strBase).fileName() + ".html";
  if (!QFileInfo::exists(strBeside) && QFileInfo::exists(strInstalled)) return QDir::cleanPath(strInstalled);
  return strBeside;
}

void TfrmMain::ShowHelp() {
  QString f = HelpFileName(QCoreApplication::applicationFilePath());
  if (f.isEmpty() || !QFileInfo::exists(f)) return;
  // Without a program to show it the guide is still there: say where.
  if (OpenUrl && !OpenUrl(QUrl::fromLocalFile(f)))
    m_pPrompts->ShowMessage(EMessageKind::eInformation,
                            "The user guide is " + QDir::toNativeSeparators(f).toStdString() +
                                "; no program to open it was found.");
}

// ---------------------------------------------------------------------------------------
// Command states

void TfrmMain::UpdateToolEnableState() {
  const bool bSeq = m_nCurrentSequence > 0;
  for (const char* n : {"mniReverse",
                        "mniShift",
                        "mniScale",
                        "mniRotate",
                        "mniMirror",
                        "mniRadiusCompSeq",
                        "mniFilletCornersSequence",
                        "mniLeadInOut",
                        "mniAddEndSeq",
                        "mniAddTabs",
                        "mniCopySeq",
                        "mniBatteryCopySeq",
                        "mniDeleteSequence",
                        "mniResetSeq",
                        "sbReverse",
                        "sbShift",
                        "sbScale",
                        "sbRotate",
                        "sbMirror",
                        "ReverseSquence1",
                        "ShiftSequence1",
                        "S1",
                        "RotateSequence1",
                        "MirrorSequence1",
                        "RadiusCompensationSequence1",
                        "FilletCornersSequence1",
                        "LeadInOutSequence1",
                        "AddatEndSequence1",
                        "AddTabs1",
                        "Copy1",
                        "BatteryCopy1",
                        "DeleteSequence1",
                        "ResetSequence1"})
    Enable(Action(n), bSeq);
  // The start can be changed on closed sequences only, however the sequence was chosen.
  if (bSeq && (m_nCurrentSequence != m_nClosedTestedSequence || m_nProgramVersion != m_nClosedTestedVersion))
    TestClosedSequence();
  if (!bSeq)
    for (const char* n : {"ChangeSeqBegPoint", "mniChangeStart"}) Enable(Action(n), false);
  const bool bProgram = !m_Document.m_Program.empty();
  for (const char* n :
       {"mniReverseAll", "mniShiftAll", "mniScaleAll", "mniRotateAll", "mniMirrorAll",
        "mniCompensation", "mniFilletCornersAll", "mniLeadInOutAll", "mniAddEndAll", "mniAddTabsAll",
        "mniReorderSequences", "mniCheckProgram", "mniAutoCodeInsert", "mniProgramStats"})
    Enable(Action(n), bProgram);
  // Reset has something to do once the program changed since it was opened or imported.
  Enable(Action("sbReset"), !m_BackList.empty() && m_nProgramVersion != m_nBackListVersion);
  const bool bUndo = m_pUndoList->Count() > 0;
  Enable(Action("mniUndo"), bUndo);
  Enable(Action("sbUndo"), bUndo);
  Enable(Action("mniRedo"), m_pUndoList->CanRedo());
  Enable(Action("mniPasteSeq"), m_bCopy);
  Enable(Action("Paste1"), m_bCopy);
}

void TfrmMain::UpdateEditControls() {
  const bool bSel = m_memProgram->HasSelection();
  for (const char* n : {"mniCut", "mniCopy", "mniDelete"}) Enable(Action(n), bSel);
  Enable(Action("mniUndo"), m_pUndoList->Count() > 0);
  Enable(Action("mniRedo"), m_pUndoList->CanRedo());
}

// ---------------------------------------------------------------------------------------
// Editor and plot selection

void TfrmMain::SetCurrentLine(int32_t nLine) {
  m_nCurrentLine = nLine;
  m_View.m_nCurrentLine = nLine;
  m_memProgram->SetTextColor(nLine);
}

void TfrmMain::ProcessProgramLineChange(int32_t nLine) {
  if (nLine < 0 || static_cast<size_t>(nLine) >= m_Document.m_Program.size()) return;
  std::string s = m_Document.m_Program[static_cast<size_t>(nLine)];
  m_Parser.ParseLine(s);
  if (s == m_Document.m_Program[static_cast<size_t>(nLine)]) return;
  m_memProgram->ReplaceLine(nLine, FromProgram(s));  // the change reaches the program lines like any edit
}

void TfrmMain::UpdateForCursorOnNewLine() {
  FlushPendingWork();
  int32_t nLine = m_memProgram->CalculateCurrentLine();
  if (nLine == m_nCurrentLine) return;
  ProcessProgramLineChange(m_nCurrentLine);
  FlushPendingWork();
  SelectGraphLineFromList();
}

void TfrmMain::SelectGraphLineFromList() {
  SetCurrentLine(m_memProgram->CalculateCurrentLine());
  m_Document.m_nCaretLine = m_nCurrentLine;
  m_nCurrentSequence = m_Document.CalculateCurrentSequence();
  GenerateAndDraw();
  UpdateToolEnableState();
}

void TfrmMain::SelectListLineFromGraph(QPoint Point) {
  const auto& d = m_Interp.DisplayList();
  if (d.size() < 2) return;
  int32_t i = m_View.HitTest(TPixelPoint{Point.x(), Point.y()});
  if (i < 0) {
    SetCurrentLine(-1);
  } else {
    if (m_Pages->currentIndex() != 0) m_Pages->setCurrentIndex(0);
    ProcessProgramLineChange(m_nCurrentLine);
    FlushPendingWork();
    int32_t nLine = m_Interp.DisplayList()[static_cast<size_t>(i)].nLine;
    m_memProgram->GotoLine(nLine);
    SetCurrentLine(nLine);
  }
  m_Document.m_nCaretLine = m_nCurrentLine;
  m_nCurrentSequence = m_Document.CalculateCurrentSequence();
  GenerateAndDraw();
}

}  // namespace veltrane
