// The main window.
#include "app/frmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QGridLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/Captions.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/RichEditPlus.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "tools/LookAhead.h"

namespace veltrane {

namespace {

QString FromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

std::string ToLatin1(const QString& s) {
  QByteArray b = s.toLatin1();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

std::string FileNameBytes(const QString& s) {
  QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// Marks a command that a later part of the program will carry out: present, disabled.
constexpr const char* c_sPendingProperty = "veltranePending";

bool IsPending(const QAction* a) { return a->property(c_sPendingProperty).toBool(); }

void Enable(QAction* a, bool b) {
  if (a) a->setEnabled(b && !IsPending(a));
}

// The toolbar's pictures, drawn so that nothing has to be shipped beside the program.
QIcon ToolIcon(const QString& strKind) {
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(10, 36, 106), 1.6);
  p.setPen(pen);
  auto glass = [&](const char* sign) {
    p.drawEllipse(QRectF(3, 3, 10, 10));
    p.drawLine(QPointF(12, 12), QPointF(17, 17));
    if (*sign) p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
    if (*sign == '+') p.drawLine(QPointF(8, 5.5), QPointF(8, 10.5));
  };
  if (strKind == "new") {
    p.drawRect(QRectF(5, 2, 10, 16));
  } else if (strKind == "open") {
    p.drawRect(QRectF(2, 6, 16, 11));
    p.drawLine(QPointF(2, 6), QPointF(6, 3));
    p.drawLine(QPointF(6, 3), QPointF(10, 6));
  } else if (strKind == "save") {
    p.drawRect(QRectF(3, 3, 14, 14));
    p.drawRect(QRectF(6, 3, 8, 5));
  } else if (strKind == "options") {
    p.drawLine(QPointF(3, 17), QPointF(3, 3));
    p.drawLine(QPointF(3, 17), QPointF(17, 17));
    p.drawLine(QPointF(5, 14), QPointF(10, 7));
    p.drawLine(QPointF(10, 7), QPointF(16, 10));
  } else if (strKind == "extents") {
    p.drawRect(QRectF(3, 3, 14, 14));
    p.drawRect(QRectF(7, 7, 6, 6));
  } else if (strKind == "extentscz") {
    p.drawRect(QRectF(3, 3, 14, 14));
    p.drawLine(QPointF(10, 5), QPointF(10, 15));
    p.drawLine(QPointF(5, 10), QPointF(15, 10));
  } else if (strKind == "redraw") {
    p.drawArc(QRectF(4, 4, 12, 12), 30 * 16, 300 * 16);
    p.drawLine(QPointF(15, 6), QPointF(16, 2));
  } else if (strKind == "zoomin") {
    glass("+");
  } else if (strKind == "zoomout") {
    glass("-");
  } else if (strKind == "zoombox") {
    p.setPen(QPen(QColor(10, 36, 106), 1.2, Qt::DashLine));
    p.drawRect(QRectF(2, 2, 11, 11));
    p.setPen(pen);
    p.drawLine(QPointF(11, 11), QPointF(17, 17));
  } else if (strKind == "pan") {
    p.drawLine(QPointF(10, 2), QPointF(10, 18));
    p.drawLine(QPointF(2, 10), QPointF(18, 10));
    p.drawLine(QPointF(10, 2), QPointF(7, 5));
    p.drawLine(QPointF(10, 2), QPointF(13, 5));
    p.drawLine(QPointF(18, 10), QPointF(15, 7));
    p.drawLine(QPointF(18, 10), QPointF(15, 13));
  } else if (strKind == "help") {
    p.drawEllipse(QRectF(2, 2, 16, 16));
    p.drawText(QRectF(2, 2, 16, 16), Qt::AlignCenter, "?");
  } else {
    // Sequence tools and the history: a letter in a frame.
    p.setPen(QPen(QColor(0, 128, 0), 1.2));
    p.drawRoundedRect(QRectF(1.5, 1.5, 17, 17), 3, 3);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(QColor(10, 36, 106));
    p.drawText(QRectF(1, 1, 18, 18), Qt::AlignCenter, strKind);
  }
  return QIcon(pm);
}

}  // namespace

TfrmMain::TfrmMain(IAppPrompts* pPrompts, QWidget* parent) : QMainWindow(parent), m_pPrompts(pPrompts) {
  if (!m_pPrompts) {
    m_pOwnPrompts = std::make_unique<TQtAppPrompts>(this);
    m_pPrompts = m_pOwnPrompts.get();
  }
  setObjectName("frmMain");
  setWindowTitle("Veltrane");
  setMinimumSize(c_nMinWidth, c_nMinHeight);
  OpenUrl = [](const QUrl& u) { QDesktopServices::openUrl(u); };

  m_Document.SetPrompts(m_pPrompts);
  m_Document.SetHooks(this);
  m_Interp.SetProgram(&m_Document.m_Program);
  m_Interp.SetDisplayList(&m_Document.m_DisplayList);
  m_Interp.SetEndPointList(&m_Document.m_EndPointList);
  m_Interp.SetAddDisList(&m_Document.m_AddDisList);
  m_Interp.SetAdditional(&m_BackList, false);
  m_View.OnBeep = [] { QApplication::beep(); };

  m_Client = new QWidget(this);
  m_Client->setObjectName("client");
  setCentralWidget(m_Client);

  m_memProgram = new TRichEditPlus;
  m_memProgram->setObjectName("memProgram");
  m_memProgram->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_memProgram->setContextMenuPolicy(Qt::NoContextMenu);
  m_memProgram->setAcceptDrops(false);
  m_pUndoList = std::make_unique<TUndoList>(&m_memProgram->EditUndo(), m_memProgram, &m_TransformationUndoList);

  CreateMenus();
  CreateToolBar();
  CreatePlot();
  CreatePages();
  m_FileStatus = new TPanelBar(2, m_Client);
  m_FileStatus->setObjectName("FileStatusBar");
  m_GraphStatus = new TPanelBar(13, m_Client);
  m_GraphStatus->setObjectName("GraphStatusBar");
  const char* labels[13] = {"Axes:", "X", "", "Y", "", "Entity:", "Start", "", "End", "", "Sequence:", "", ""};
  for (int i = 0; i < 13; ++i) {
    m_GraphStatus->SetPanelText(i, labels[i]);
    m_GraphStatus->SetPanelWidth(i, m_GraphStatus->TextWidth(labels[i]) + 12);
  }
  for (int i : {c_nXAxisPanel, c_nYAxisPanel, c_nSequencePanel}) m_GraphStatus->SetPanelWidth(i, 40);
  for (int i : {c_nEntityStartPanel, c_nEntityEndPanel}) m_GraphStatus->SetPanelWidth(i, 100);

  connect(m_memProgram->document(), &QTextDocument::contentsChange, this, &TfrmMain::OnContentsChange);
  connect(m_memProgram, &QPlainTextEdit::textChanged, this, &TfrmMain::OnEditorTextChanged);
  connect(m_memProgram, &QPlainTextEdit::selectionChanged, this, &TfrmMain::UpdateEditControls);
  connect(m_memProgram, &TRichEditPlus::CaretMovedByUser, this, &TfrmMain::UpdateForCursorOnNewLine);
  connect(m_memProgram, &TRichEditPlus::UndoRequested, this, &TfrmMain::Undo);
  connect(m_memProgram, &TRichEditPlus::Clicked, this, [this] {
    m_memProgram->setReadOnly(false);
    m_forcus = false;
  });
  m_tmrRegenerate.setSingleShot(true);
  m_tmrRegenerate.setInterval(0);
  connect(&m_tmrRegenerate, &QTimer::timeout, this, &TfrmMain::GenerateAndDraw);

  ReadSettings();
  resize(1000, 700);
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
  WriteSettings();
  // The editor's signals must not reach a half-destroyed window.
  disconnect(m_memProgram->document(), nullptr, this, nullptr);
  disconnect(m_memProgram, nullptr, this, nullptr);
}

// ---------------------------------------------------------------------------------------
// Construction

QAction* TfrmMain::MakeAction(QMenu* pMenu, const char* strName, const QString& strCaption,
                              const QKeySequence& Shortcut, std::function<void()> onTrigger) {
  auto* a = new QAction(strCaption, this);
  a->setObjectName(strName);
  if (!Shortcut.isEmpty()) {
    a->setShortcut(Shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
  }
  if (onTrigger) connect(a, &QAction::triggered, this, [this, onTrigger] {
      if (!m_bDestroying) onTrigger();
    });
  if (pMenu) pMenu->addAction(a);
  addAction(a);  // shortcuts work while the menu bar is hidden or elsewhere
  return a;
}

QAction* TfrmMain::PendingAction(QMenu* pMenu, const char* strName, const QString& strCaption) {
  QAction* a = MakeAction(pMenu, strName, strCaption, QKeySequence(), nullptr);
  a->setProperty(c_sPendingProperty, true);
  a->setEnabled(false);
  return a;
}

void TfrmMain::CreateMenus() {
  auto menu = [this](QMenu* parentMenu, const char* name, const QString& caption) {
    QMenu* m = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
  };
  QMenu* f = menu(nullptr, "mniFile", "&File");
  MakeAction(f, "mniNew", "&New", QKeySequence("Ctrl+N"), [this] { NewFile(); });
  MakeAction(f, "mniOpen", "&Open", QKeySequence("Ctrl+O"), [this] { OpenFile(); });
  MakeAction(f, "mniSave", "&Save", QKeySequence("Ctrl+S"), [this] {
    EndMouseModes();
    if (m_strFileName.isEmpty())
      SaveNewFile();
    else
      SaveFile(m_strFileName);
  });
  MakeAction(f, "mniSaveAs", "Save &As", QKeySequence("Ctrl+Shift+S"), [this] {
    EndMouseModes();
    SaveNewFile();
  });
  MakeAction(f, "mniClose", "&Close", QKeySequence(), [this] { CloseFile(); });
  f->addSeparator();
  QMenu* imp = menu(f, "mniImport", "&Import");
  PendingAction(imp, "mniImportDXF", "&DXF");
  MakeAction(f, "mniImportOptions", "I&mport Options", QKeySequence(), [this] {
    EndMouseModes();
    m_pPrompts->ImportOptions(m_Registry);
  });
  QMenu* app = menu(f, "mniAppend", "A&ppend");
  PendingAction(app, "mniAppendDXF", "&DXF");
  MakeAction(app, "mniAppendBASIC", "Harmark&BASIC", QKeySequence(), [this] { AppendBASIC(); });
  f->addSeparator();
  MakeAction(f, "mniExit", "E&xit", QKeySequence(), [this] { close(); });

  QMenu* v = menu(nullptr, "Plot1", "&View");
  MakeAction(v, "mniRedraw", "&Redraw", QKeySequence("F5"), [this] { GenerateAndDraw(); });
  MakeAction(v, "mniZoomExtents", "Zoom &Extents", QKeySequence("F6"), [this] { ZoomExtents(); });
  MakeAction(v, "mniZoomExtentsCZ", "Zoom Extents, Centre Zero", QKeySequence("Ctrl+F6"), [this] { ZoomExtentsCZ(); });
  MakeAction(v, "mniZoomIn", "Zoom &In", QKeySequence("F3"), [this] { SetGraphMouseMode(eZoomIn); });
  MakeAction(v, "mniZoomOut", "Zoom &Out", QKeySequence("F4"), [this] { SetGraphMouseMode(eZoomOut); });
  MakeAction(v, "mniZoomBox", "Zoom &Box", QKeySequence(), [this] { SetGraphMouseMode(eZoomBox); });
  MakeAction(v, "mniPan", "&Pan", QKeySequence(), [this] { SetGraphMouseMode(ePan); });
  QAction* orig = MakeAction(v, "mniDisplayOriginal", "&Display Original Pattern", QKeySequence(), nullptr);
  orig->setCheckable(true);
  connect(orig, &QAction::toggled, this, [this](bool b) {
    m_View.m_bShowOriginal = b;
    m_Interp.SetAdditional(&m_BackList, b);
    GenerateAndDraw();
  });
  v->addSeparator();
  PendingAction(v, "mniRangeSetting", "&Machine Range Limits...");
  MakeAction(v, "mniOptions", "Op&tions", QKeySequence("Ctrl+P"), [this] { ChangeOptions(); });

  QMenu* e = menu(nullptr, "Edit1", "&Edit");
  MakeAction(e, "mniCut", "Cu&t", QKeySequence("Ctrl+X"), [this] {
    m_memProgram->CutToClipboardWithUndo();
    m_pUndoList->TestAddEdit();
    UpdateToolEnableState();
  });
  QAction* copy = MakeAction(e, "mniCopy", "&Copy", QKeySequence("Ctrl+C"), [this] { m_memProgram->copy(); });
  copy->setShortcutContext(Qt::WidgetShortcut);  // the editor copies by itself
  MakeAction(e, "mniPaste", "&Paste", QKeySequence("Ctrl+V"), [this] {
    if (m_memProgram->isReadOnly()) return;
    m_memProgram->PasteFromClipboardWithUndo();
    m_pUndoList->TestAddEdit();
    UpdateToolEnableState();
  });
  MakeAction(e, "mniDelete", "&Delete", QKeySequence("Ctrl+Del"), [this] {
    if (m_memProgram->isReadOnly()) return;
    m_memProgram->ClearSelectionWithUndo();
    m_pUndoList->TestAddEdit();
    UpdateToolEnableState();
  });
  MakeAction(e, "mniSelectAll", "Select A&ll", QKeySequence("Ctrl+A"), [this] { m_memProgram->selectAll(); });
  MakeAction(e, "mniUndo", "&Undo", QKeySequence("Ctrl+Z"), [this] { Undo(); });

  QMenu* t = menu(nullptr, "mniTools", "&Tools");
  PendingAction(t, "mniReverse", "&Reverse Sequence...");
  PendingAction(t, "mniShift", "S&hift  Sequence...");
  PendingAction(t, "mniScale", "&Scale  Sequence...");
  PendingAction(t, "mniRotate", "R&otate  Sequence...");
  PendingAction(t, "mniMirror", "&Mirror  Sequence...");
  PendingAction(t, "mniRadiusCompSeq", "Radius &Compensate Sequence...");
  PendingAction(t, "mniFilletCornersSequence", "&Fillet Corners of Sequence...");
  PendingAction(t, "mniLeadInOut", "&Lead In/Out Sequence...");
  PendingAction(t, "mniAddEndSeq", "Add at End of Sequence...");
  PendingAction(t, "mniChangeStart", "Change Start of Sequence...");
  t->addSeparator();
  PendingAction(t, "mniReverseAll", "Re&verse All...");
  PendingAction(t, "mniShiftAll", "Shi&ft All...");
  PendingAction(t, "mniScaleAll", "S&cale All...");
  PendingAction(t, "mniRotateAll", "Ro&tate All...");
  PendingAction(t, "mniMirrorAll", "M&irror All...");
  PendingAction(t, "mniCompensation", "Radius Com&pensate All...");
  PendingAction(t, "mniFilletCornersAll", "&Fillet Corners All...");
  PendingAction(t, "mniLeadInOutAll", "Lead In/Out All...");
  PendingAction(t, "mniAddEndAll", "Add at End All...");
  t->addSeparator();
  MakeAction(t, "mniReorderSequences", "Reorder Se&quences...", QKeySequence(), [this] { ReorderSequencesByDialog(); });
  MakeAction(t, "mniReorderSeqInGraph", "Reorder Sequences in &Graph", QKeySequence(), [this] {
    SetGraphMouseMode(eReorderSequence);
  });
  PendingAction(t, "mniCopySeq", "Copy Sequence");
  PendingAction(t, "mniBatteryCopySeq", "Batch Copy Sequence...");
  PendingAction(t, "mniPasteSeq", "Paste Sequence");
  MakeAction(t, "mniDeleteSequence", "&Delete Sequence...", QKeySequence(), [this] { DeleteCurrentSequence(); });
  PendingAction(t, "mniResetSeq", "Reset Sequence...");
  t->addSeparator();
  PendingAction(t, "mniAutoCodeInsert", "A&uto Code Inserter...");
  PendingAction(t, "mniCheckProgram", "Chec&k Program");
  t->addSeparator();
  for (auto [name, caption] : {std::pair{"mniLookAheadforLine", "Look Ahead for Line"},
                               std::pair{"mniLookAheadforSequenceStart", "Look Ahead for Sequence Start"},
                               std::pair{"mniLookAheadforCircle", "Look Ahead for Circle"}}) {
    QAction* a = PendingAction(t, name, caption);
    a->setCheckable(true);
  }
  PendingAction(t, "mniAddParToMA", "Add Parameters to MOVEABS");

  QMenu* c = menu(nullptr, "mniControllerLink", "&ControllerLink");
  PendingAction(c, "mniControllerLinkConfig", "&Configuration...");
  PendingAction(c, "mniSendProgram", "&Send Program...");

  QMenu* w = menu(nullptr, "mniWindows", "&Windows");
  for (auto [name, caption] : {std::pair{"mniToolbar", "&Tool Bar"}, std::pair{"mniFileStatus", "&File Status Bar"},
                               std::pair{"mniGraphStatus", "&Graph Status"}}) {
    QAction* a = MakeAction(w, name, caption, QKeySequence(), nullptr);
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::toggled, this, [this, n = std::string(name)](bool b) {
      QWidget* bar = n == "mniToolbar" ? static_cast<QWidget*>(m_ToolBar)
                     : n == "mniFileStatus" ? static_cast<QWidget*>(m_FileStatus)
                                            : static_cast<QWidget*>(m_GraphStatus);
      bar->setVisible(b);
      FormResize();
    });
  }

  QMenu* h = menu(nullptr, "mniHelp", "&Help");
  MakeAction(h, "mniHelpTopics", "&Help Topics", QKeySequence("Ctrl+H"), [this] { ShowHelp(); });
  MakeAction(h, "mniAbout", "&About Veltrane", QKeySequence("Ctrl+F10"), [this] { m_pPrompts->About(); });

  QMenu* l = menu(nullptr, "mniLanguage", "&Language");
  auto* group = new QActionGroup(this);
  QAction* en = MakeAction(l, "mniEnglish", "&English", QKeySequence(), [this] { mniEnglishClick(); });
  QAction* zh = MakeAction(l, "mniChinese", QString::fromUtf8(c_strChineseMenuCaption), QKeySequence(),
                           [this] { mniChineseClick(); });
  for (QAction* a : {en, zh}) {
    a->setCheckable(true);
    group->addAction(a);
  }
  en->setChecked(true);

  // The plot's menus.
  m_pmSequence = new QMenu(this);
  m_pmSequence->setObjectName("pmSequence");
  PendingAction(m_pmSequence, "ReverseSquence1", "Reverse Sequence");
  PendingAction(m_pmSequence, "ShiftSequence1", "Shift Sequence");
  PendingAction(m_pmSequence, "S1", "Scale Sequence");
  PendingAction(m_pmSequence, "RotateSequence1", "Rotate Sequence");
  PendingAction(m_pmSequence, "MirrorSequence1", "Mirror Sequence");
  PendingAction(m_pmSequence, "RadiusCompensationSequence1", "Radius Compensation Sequence");
  PendingAction(m_pmSequence, "FilletCornersSequence1", "Fillet Corners Sequence");
  PendingAction(m_pmSequence, "LeadInOutSequence1", "Lead In/Out Sequence");
  PendingAction(m_pmSequence, "AddatEndSequence1", "Add at End Sequence");
  PendingAction(m_pmSequence, "ChangeSeqBegPoint", "Change the start of sequence");
  m_pmSequence->addSeparator();
  PendingAction(m_pmSequence, "Copy1", "Copy");
  PendingAction(m_pmSequence, "BatteryCopy1", "Batch Copy");
  MakeAction(m_pmSequence, "DeleteSequence1", "Delete ", QKeySequence(), [this] { DeleteCurrentSequence(); });
  PendingAction(m_pmSequence, "ResetSequence1", "Reset ");
  m_pmPaste = new QMenu(this);
  m_pmPaste->setObjectName("pmPaste");
  PendingAction(m_pmPaste, "Paste1", "Paste");
}

void TfrmMain::CreateToolBar() {
  m_ToolBar = new QToolBar(m_Client);
  m_ToolBar->setObjectName("ToolBar");
  m_ToolBar->setIconSize(QSize(20, 20));
  auto button = [this](const char* name, const char* hint, const char* icon, std::function<void()> onClick) {
    QAction* a = MakeAction(nullptr, name, hint, QKeySequence(), std::move(onClick));
    a->setToolTip(hint);
    a->setIcon(ToolIcon(icon));
    m_ToolBar->addAction(a);
    return a;
  };
  auto pending = [&](const char* name, const char* hint, const char* icon) {
    QAction* a = button(name, hint, icon, nullptr);
    a->setProperty(c_sPendingProperty, true);
    a->setEnabled(false);
  };
  button("sbNewFile", "New program", "new", [this] { NewFile(); });
  button("sbOpenFile", "Load program file", "open", [this] { OpenFile(); });
  button("sbSaveFile", "Save program", "save", [this] { Action("mniSave")->trigger(); });
  m_ToolBar->addSeparator();
  button("sbOptions", "Graph Options", "options", [this] { ChangeOptions(); });
  button("sbZoomExtents", "Zoom Extents", "extents", [this] { ZoomExtents(); });
  button("sbZoomExtentsCZ", "Zoom Extents, Centre Zero", "extentscz", [this] { ZoomExtentsCZ(); });
  button("sbDraw", "Redraw", "redraw", [this] { GenerateAndDraw(); });
  button("sbZoomIn", "Zoom In", "zoomin", [this] { SetGraphMouseMode(eZoomIn); });
  button("sbZoomOut", "Zoom Out", "zoomout", [this] { SetGraphMouseMode(eZoomOut); });
  button("sbZoomBox", "Zoom Box", "zoombox", [this] { SetGraphMouseMode(eZoomBox); });
  button("sbPan", "Pan", "pan", [this] { SetGraphMouseMode(ePan); });
  m_ToolBar->addSeparator();
  pending("sbReverse", "Reverse  Sequence", "Rv");
  pending("sbShift", "Shift  Sequence", "Sh");
  pending("sbScale", "Scale  Sequence", "Sc");
  pending("sbRotate", "Rotate  Sequence", "Ro");
  pending("sbMirror", "Mirror  Sequence", "Mi");
  m_ToolBar->addSeparator();
  button("sbUndo", "Undo", "Un", [this] { Undo(); });
  button("sbReset", "Reset", "Rs", [this] { Reset(); });
  button("sbHelp", "Help", "help", [this] { ShowHelp(); });
}

void TfrmMain::CreatePlot() {
  m_sbVertical = new QScrollBar(Qt::Vertical, m_Client);
  m_sbVertical->setObjectName("sbVertical");
  m_sbHorizontal = new QScrollBar(Qt::Horizontal, m_Client);
  m_sbHorizontal->setObjectName("sbHorizontal");
  for (QScrollBar* s : {m_sbVertical, m_sbHorizontal}) {
    s->setRange(0, TPlotView::c_nScrollMax);
    connect(s, &QScrollBar::valueChanged, this, [this, s](int nPos) {
      if (m_bScrollSync) return;
      if (s == m_sbHorizontal)
        m_View.ScrollHorizontal(nPos);
      else
        m_View.ScrollVertical(nPos);
      GenerateAndDraw();
    });
  }
  m_rulerVertical = new TPaintBox(m_Client);
  m_rulerVertical->setObjectName("rulerVertical");
  m_rulerVertical->OnPaint = [this](QPainter& p) { PaintRuler(p, false); };
  m_rulerHorizontal = new TPaintBox(m_Client);
  m_rulerHorizontal->setObjectName("rulerHorizontal");
  m_rulerHorizontal->OnPaint = [this](QPainter& p) { PaintRuler(p, true); };

  m_pbPlot = new TPaintBox(m_Client);
  m_pbPlot->setObjectName("pbPlot");
  m_pbPlot->setMouseTracking(true);
  m_pbPlot->setFocusPolicy(Qt::ClickFocus);
  m_pbPlot->OnPaint = [this](QPainter& p) { PaintPlot(p); };
  m_pbPlot->OnMousePress = [this](QMouseEvent* e) { PlotMousePress(e); };
  m_pbPlot->OnMouseMove = [this](QMouseEvent* e) { PlotMouseMove(e); };
  m_pbPlot->OnMouseRelease = [this](QMouseEvent* e) { PlotMouseRelease(e); };
  m_pbPlot->OnDoubleClick = [this](QMouseEvent* e) { PlotDoubleClick(e); };
  m_pbPlot->OnWheel = [this](QWheelEvent* e) { PlotWheel(e); };
  m_pbPlot->OnKey = [this](QKeyEvent* e) { return PlotKey(e); };

  m_pnlSplitter = new TPaintBox(m_Client);
  m_pnlSplitter->setObjectName("pnlSplitter");
  m_pnlSplitter->setCursor(Qt::SplitHCursor);
  m_pnlSplitter->OnPaint = [this](QPainter& p) { PaintGrip(p); };
  m_pnlSplitter->OnMousePress = [this](QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    m_bSplitterDrag = true;
    m_nSplitterStartX = m_pnlSplitter->mapTo(m_Client, e->position().toPoint()).x();
    m_nSplitterStartWidth = m_nListWidth;
  };
  m_pnlSplitter->OnMouseMove = [this](QMouseEvent* e) {
    if (!m_bSplitterDrag) return;
    int x = m_pnlSplitter->mapTo(m_Client, e->position().toPoint()).x();
    m_nListWidth = m_nSplitterStartWidth + m_nSplitterStartX - x;
    FormResize();
  };
  m_pnlSplitter->OnMouseRelease = [this](QMouseEvent*) {
    m_bSplitterDrag = false;
  };
}

void TfrmMain::CreatePages() {
  m_Pages = new QTabWidget(m_Client);
  m_Pages->setObjectName("PageControl");
  m_Pages->addTab(m_memProgram, "BASIC Program");

  // The table list page; its commands arrive with the table export.
  auto* page = new QWidget;
  page->setObjectName("TableList");
  auto* v = new QVBoxLayout(page);
  auto* codes = new QGroupBox("Move Codes", page);
  codes->setObjectName("GroupTypeEdit");
  auto* g = new QGridLayout(codes);
  int row = 0;
  for (auto [name, caption] : {std::pair{"edtMOCode", "MOVE"}, std::pair{"edtMACode", "MOVEABS"},
                               std::pair{"edtMCCode", "MOVECIRC"}}) {
    g->addWidget(new QLabel(caption, codes), row, 0);
    auto* e = new QLineEdit(codes);
    e->setObjectName(name);
    g->addWidget(e, row++, 1);
  }
  auto* lt = new QLabel("Table start :", codes);
  lt->setObjectName("labelTable");
  g->addWidget(lt, row, 0);
  auto* et = new QLineEdit(codes);
  et->setObjectName("edtTableStart");
  g->addWidget(et, row, 1);
  v->addWidget(codes);
  auto* data = new QGroupBox("Data Structure", page);
  data->setObjectName("GroupDataStru");
  auto* gd = new QGridLayout(data);
  auto* fix = new QRadioButton("Fixed data length", data);
  fix->setObjectName("RadioFixLen");
  fix->setChecked(true);
  auto* ll = new QLabel("Length:", data);
  ll->setObjectName("labLength");
  auto* el = new QLineEdit(data);
  el->setObjectName("edtLength");
  auto* flex = new QRadioButton("Flexible data length", data);
  flex->setObjectName("RadioFlexible");
  gd->addWidget(fix, 0, 0);
  gd->addWidget(ll, 0, 1);
  gd->addWidget(el, 0, 2);
  gd->addWidget(flex, 1, 0);
  v->addWidget(data);
  auto* fmt = new QGroupBox("File Format", page);
  fmt->setObjectName("GroupFileformat");
  auto* vf = new QVBoxLayout(fmt);
  for (auto [name, caption] : {std::pair{"RadioText", "Text"}, std::pair{"RadioBinary", "Binary"}}) {
    auto* r = new QRadioButton(caption, fmt);
    r->setObjectName(name);
    vf->addWidget(r);
  }
  v->addWidget(fmt);
  for (auto [name, caption] : {std::pair{"btnApply", "Apply"}, std::pair{"btnSaveTable", "Export File"},
                               std::pair{"btnSend", "Send to Controller"}}) {
    auto* b = new QPushButton(caption, page);
    b->setObjectName(name);
    b->setEnabled(false);
    v->addWidget(b);
  }
  auto* list = new QPlainTextEdit(page);
  list->setObjectName("memTable");
  list->setReadOnly(true);
  v->addWidget(list, 1);
  m_Pages->addTab(page, "TableList");
}

// ---------------------------------------------------------------------------------------
// Language

void TfrmMain::ApplyCaption(const char* strControl, bool bHint, const QString& strText) {
  const QString name = QString::fromLatin1(strControl);
  for (QAction* a : findChildren<QAction*>(name)) {
    if (bHint)
      a->setToolTip(strText);
    else
      a->setText(strText);
  }
  if (bHint) return;
  for (QMenu* m : findChildren<QMenu*>(name)) m->setTitle(strText);
  for (QGroupBox* g : findChildren<QGroupBox*>(name)) g->setTitle(strText);
  for (QAbstractButton* b : findChildren<QAbstractButton*>(name)) b->setText(strText);
  for (QLabel* l : findChildren<QLabel*>(name)) l->setText(strText);
}

void TfrmMain::SetLanguage(bool bChinese) {
  m_bChinese = bChinese;
  Action("mniEnglish")->setChecked(!bChinese);
  Action("mniChinese")->setChecked(bChinese);
  for (const TCaptionEntry& c : CaptionTable())
    ApplyCaption(c.strControl, c.bHint, QString::fromUtf8(bChinese ? c.strChinese : c.strEnglish));
  if (m_GraphMouseMode == ePan) Action("sbPan")->setToolTip("End Pan");
}

void TfrmMain::mniEnglishClick() { SetLanguage(false); }
void TfrmMain::mniChineseClick() { SetLanguage(true); }

QAction* TfrmMain::Action(const char* strName) const { return findChild<QAction*>(QString::fromLatin1(strName)); }

// ---------------------------------------------------------------------------------------
// Settings

void TfrmMain::ReadSettings() {
  int32_t x = m_Registry.XAxis(), y = m_Registry.YAxis();
  m_Interp.SetXAxisNumber(x);
  m_Interp.SetYAxisNumber(y == x ? x + 1 : y);
  Action("mniLookAheadforLine")->setChecked(m_Registry.LookAheadMove());
  Action("mniLookAheadforSequenceStart")->setChecked(m_Registry.LookAheadStartSequence());
  Action("mniLookAheadforCircle")->setChecked(m_Registry.LookAheadMoveCirc());
}

void TfrmMain::WriteSettings() {
  m_Registry.SetXAxis(m_Interp.XAxisNumber());
  m_Registry.SetYAxis(m_Interp.YAxisNumber());
  m_Registry.SetLookAheadMove(Action("mniLookAheadforLine")->isChecked());
  m_Registry.SetLookAheadStartSequence(Action("mniLookAheadforSequenceStart")->isChecked());
  m_Registry.SetLookAheadMoveCirc(Action("mniLookAheadforCircle")->isChecked());
}

// ---------------------------------------------------------------------------------------
// The program text: the editor and the document's lines kept equal

void TfrmMain::SyncEditorFromProgram() {
  const TStringList& p = m_Document.m_Program;
  QString text;
  size_t n = 0;
  for (const auto& l : p) n += l.size() + 1;
  text.reserve(static_cast<qsizetype>(n));
  for (size_t i = 0; i < p.size(); ++i) {
    if (i) text += QChar('\n');
    text += FromLatin1(p[i]);
  }
  m_bSyncing = true;
  const int nVScroll = m_memProgram->verticalScrollBar()->value();
  const int nCaret = m_memProgram->textCursor().position();
  m_memProgram->setPlainText(text);
  QTextCursor c = m_memProgram->textCursor();
  c.setPosition(std::min(nCaret, m_memProgram->document()->characterCount() - 1));
  m_memProgram->setTextCursor(c);
  m_memProgram->verticalScrollBar()->setValue(nVScroll);
  m_nSyncedBlocks = m_memProgram->document()->blockCount();
  m_bSyncing = false;
  ++m_nProgramVersion;
  m_memProgram->SetTextColor(m_nCurrentLine);
}

void TfrmMain::OnContentsChange(int nPosition, int nRemoved, int nAdded) {
  (void)nRemoved;
  if (m_bSyncing) return;
  QTextDocument* doc = m_memProgram->document();
  TStringList& prog = m_Document.m_Program;
  const int nBlocks = doc->blockCount();
  if (prog.empty()) prog.emplace_back();  // an empty editor still holds one empty line
  QTextBlock first = doc->findBlock(nPosition);
  QTextBlock last = doc->findBlock(nPosition + nAdded);
  if (!first.isValid()) first = doc->lastBlock();
  if (!last.isValid()) last = doc->lastBlock();
  const int nFirst = first.blockNumber();
  const int nNewCount = last.blockNumber() - nFirst + 1;
  const int nOldCount = nNewCount - (nBlocks - m_nSyncedBlocks);
  if (nOldCount < 0 || static_cast<size_t>(nFirst + nOldCount) > prog.size() ||
      static_cast<size_t>(m_nSyncedBlocks) != prog.size()) {
    // Not what a single change can give: take every line again.
    prog.clear();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) prog.push_back(ToLatin1(b.text()));
  } else {
    TStringList lines;
    lines.reserve(static_cast<size_t>(nNewCount));
    for (QTextBlock b = first; b.isValid() && b.blockNumber() <= last.blockNumber(); b = b.next())
      lines.push_back(ToLatin1(b.text()));
    auto at = prog.begin() + nFirst;
    prog.erase(at, at + nOldCount);
    prog.insert(prog.begin() + nFirst, lines.begin(), lines.end());
  }
  m_nSyncedBlocks = nBlocks;
  if (prog.size() == 1 && prog[0].empty()) prog.clear();
  ++m_nProgramVersion;
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
    SyncEditorFromProgram();
    SetModified(true);
  }
  if (m_nCurrentLine >= static_cast<int32_t>(m_Document.m_Program.size())) SetCurrentLine(-1);
  m_Document.m_nCaretLine = m_nCurrentLine;
  m_nCurrentSequence = m_Document.CalculateCurrentSequence();
  GenerateAndDraw();
  UpdateToolEnableState();
}

void TfrmMain::SaveForUndo() {
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
  m_FileStatus->SetPanelText(1, m_bProgramModified ? "Modified" : "Not Modified");
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
    case EAnswer::eNo: return true;
    case EAnswer::eCancel: return false;
    case EAnswer::eYes: break;
  }
  return m_strFileName.isEmpty() ? SaveNewFile() : SaveFile(m_strFileName);
}

void TfrmMain::ClearProgram() {
  SetCurrentLine(-1);
  m_Document.m_Program.clear();
  m_Document.m_OriginalList.clear();
  m_Document.m_ListWithoutCmp.clear();
  m_BackList.clear();
  m_bCopy = false;
  SyncEditorFromProgram();
  m_memProgram->EmptyUndoList();
  m_pUndoList->ClearAll();
  m_strFileName.clear();
  m_strTableFile.clear();
  if (auto* t = findChild<QPlainTextEdit*>("memTable")) t->clear();
  m_bProgramModified = false;
  m_nCurrentSequence = 0;
  UpdateFileStatus();
  GenerateAndDraw();
  UpdateToolEnableState();
  UpdateEditControls();
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

void TfrmMain::LoadProgramText(TStringList Lines) {
  SetCurrentLine(-1);
  m_Document.m_Program = std::move(Lines);
  ApplyLookAheadChoices();
  m_Document.m_OriginalList = m_Document.m_Program;
  m_BackList = m_Document.m_Program;
  m_Document.m_ListWithoutCmp.clear();
  SyncEditorFromProgram();
  m_memProgram->EmptyUndoList();
  m_pUndoList->ClearAll();
  m_memProgram->moveCursor(QTextCursor::Start);
  m_bProgramModified = false;
  m_Document.m_nCaretLine = -1;
  m_nCurrentSequence = 0;
  UpdateFileStatus();
  UpdateToolEnableState();
  UpdateEditControls();
  ZoomExtents();
}

bool TfrmMain::OpenProgram(const QString& strFileName, QString& strError) {
  TStringList lines;
  try {
    lines = LoadLines(FileNameBytes(strFileName));
  } catch (const EFileError& e) {
    strError = QString::fromLocal8Bit(e.what());
    return false;
  }
  m_strFileName = QFileInfo(strFileName).absoluteFilePath();
  LoadProgramText(std::move(lines));
  m_Registry.SetLastBasicFile(m_strFileName.toStdString());
  UpdateFileStatus();
  return true;
}

void TfrmMain::OpenFile() {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) return;
  std::string strName;
  if (!m_pPrompts->OpenFileName("Open Program File", InitialFolder().toStdString(), strName)) return;
  QString name = QString::fromStdString(strName);
  if (!QFileInfo::exists(name)) return;  // gone since the dialog: nothing is loaded
  QString strError;
  if (!OpenProgram(name, strError)) m_pPrompts->ShowMessage(EMessageKind::eError, strError.toStdString());
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
  QSaveFile f(strFileName);
  if (!f.open(QIODevice::WriteOnly)) {
    m_pPrompts->ShowMessage(EMessageKind::eInformation, "Error creating file " + strFileName.toStdString());
    return false;
  }
  QByteArray data;
  for (const auto& l : m_Document.m_Program) {
    data.append(l.data(), static_cast<qsizetype>(l.size()));
    data.append("\r\n");
  }
  if (f.write(data) != data.size() || !f.commit()) {
    f.cancelWriting();
    m_pPrompts->ShowMessage(EMessageKind::eInformation, "Error saving file " + strFileName.toStdString());
    return false;
  }
  if (m_memProgram->ClearUndoListOnSave()) m_memProgram->EmptyUndoList();
  m_strFileName = QFileInfo(strFileName).absoluteFilePath();
  m_bProgramModified = false;
  UpdateFileStatus();
  return true;
}

bool TfrmMain::SaveNewFile() {
  std::string strName;
  if (!m_pPrompts->SaveFileName("Save Program File", InitialFolder().toStdString(), strName)) return false;
  QString name = QString::fromStdString(strName);
  if (!SaveFile(name)) return false;
  m_Registry.SetLastBasicFile(m_strFileName.toStdString());
  return true;
}

void TfrmMain::AppendBASIC() {
  EndMouseModes();
  std::string strName;
  if (!m_pPrompts->OpenFileName("Open Program File", InitialFolder().toStdString(), strName)) return;
  if (!QFileInfo::exists(QString::fromStdString(strName))) return;
  TStringList lines;
  try {
    lines = LoadLines(FileNameBytes(QString::fromStdString(strName)));
  } catch (const EFileError& e) {
    m_pPrompts->ShowMessage(EMessageKind::eError, e.what());
    return;
  }
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
  EndMouseModes();
  TUndoList& u = *m_pUndoList;
  if (u.Count() == 0) return;
  const bool bSnapshot = u.Get(u.Count() - 1) == TUndoList::eTransformation;
  u.Undo();
  if (bSnapshot) {
    AfterProgramChange(true);
  } else {
    SetModified(true);
    FlushPendingWork();
    AfterProgramChange(false);
  }
  UpdateEditControls();
}

void TfrmMain::Reset() {
  EndMouseModes();
  if (m_BackList.empty()) return;
  TStringList before = m_Document.m_Program;
  m_Document.m_Program = m_BackList;
  ApplyLookAheadChoices();
  m_Document.m_OriginalList = m_Document.m_Program;
  AfterProgramChange(before != m_Document.m_Program);
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
#ifdef _WIN32
  if (strExecutable.size() <= 4) return QString();
  return strExecutable.left(strExecutable.size() - 3) + "chm";
#else
  // The user guide is an HTML page next to the executable.
  if (strExecutable.isEmpty()) return QString();
  return strExecutable + ".html";
#endif
}

void TfrmMain::ShowHelp() {
  QString f = HelpFileName(QCoreApplication::applicationFilePath());
  if (f.isEmpty() || !QFileInfo::exists(f)) return;
  if (OpenUrl) OpenUrl(QUrl::fromLocalFile(f));
}

// ---------------------------------------------------------------------------------------
// Command states

void TfrmMain::UpdateToolEnableState() {
  const bool bSeq = m_nCurrentSequence > 0;
  for (const char* n : {"mniReverse", "mniShift", "mniScale", "mniRotate", "mniMirror", "mniRadiusCompSeq",
                        "mniFilletCornersSequence", "mniLeadInOut", "mniAddEndSeq", "mniCopySeq",
                        "mniBatteryCopySeq", "mniDeleteSequence", "mniResetSeq", "sbReverse", "sbShift", "sbScale",
                        "sbRotate", "sbMirror", "ReverseSquence1", "ShiftSequence1", "S1", "RotateSequence1",
                        "MirrorSequence1", "RadiusCompensationSequence1", "FilletCornersSequence1",
                        "LeadInOutSequence1", "AddatEndSequence1", "Copy1", "BatteryCopy1", "DeleteSequence1",
                        "ResetSequence1"})
    Enable(Action(n), bSeq);
  if (!bSeq)
    for (const char* n : {"ChangeSeqBegPoint", "mniChangeStart"}) Enable(Action(n), false);
  const bool bProgram = !m_Document.m_Program.empty();
  for (const char* n : {"mniReverseAll", "mniShiftAll", "mniScaleAll", "mniRotateAll", "mniMirrorAll",
                        "mniCompensation", "mniFilletCornersAll", "mniLeadInOutAll", "mniAddEndAll",
                        "mniReorderSequences", "mniCheckProgram", "mniAutoCodeInsert"})
    Enable(Action(n), bProgram);
  const bool bUndo = m_pUndoList->Count() > 0;
  Enable(Action("mniUndo"), bUndo);
  Enable(Action("sbUndo"), bUndo);
  Enable(Action("mniPasteSeq"), m_bCopy);
  Enable(Action("Paste1"), m_bCopy);
}

void TfrmMain::UpdateEditControls() {
  const bool bSel = m_memProgram->textCursor().hasSelection();
  for (const char* n : {"mniCut", "mniCopy", "mniDelete"}) Enable(Action(n), bSel);
  Enable(Action("mniUndo"), m_pUndoList->Count() > 0);
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
  QTextBlock b = m_memProgram->document()->findBlockByNumber(nLine);
  if (!b.isValid()) return;
  QTextCursor c(b);
  c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
  c.insertText(FromLatin1(s));  // the change reaches the program lines like any edit
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

// ---------------------------------------------------------------------------------------
// Plot

void TfrmMain::GenerateAndDraw() {
  m_tmrRegenerate.stop();
  m_View.m_nCurrentLine = m_nCurrentLine;
  m_View.m_nCurrentSequence = m_nCurrentSequence;
  // The display list depends on the text, the ranges, the axes and the plot's size, not
  // on the caret: a caret move only repaints.
  m_View.AdjustXAndYRangesToDisplay();
  TDisplayKey key{m_nProgramVersion, m_View.m_fXRange, m_View.m_fYRange, m_Interp.XAxisNumber(),
                  m_Interp.YAxisNumber(), m_View.Width(), m_View.Height(), m_View.m_bShowOriginal};
  if (!(key == m_LastDisplayKey)) {
    m_View.GenerateDisplayList();
    m_LastDisplayKey = key;
  }
  UpdateScrollBars();
  m_rulerHorizontal->update();
  m_rulerVertical->update();
  m_pbPlot->update();
  UpdateGraphStatus();
}

void TfrmMain::UpdateScrollBars() {
  m_bScrollSync = true;
  for (auto [bar, state] : {std::pair{m_sbHorizontal, m_View.HorizontalBar()}, std::pair{m_sbVertical, m_View.VerticalBar()}}) {
    int page = std::clamp(state.nPageSize, 0, TPlotView::c_nScrollMax);
    bar->setPageStep(std::max(page, 1));
    bar->setRange(0, TPlotView::c_nScrollMax - page);
    bar->setValue(state.nPosition);
  }
  m_bScrollSync = false;
}

void TfrmMain::ZoomExtents() {
  m_View.ZoomExtents();
  GenerateAndDraw();
}

void TfrmMain::ZoomExtentsCZ() {
  m_View.ZoomExtentsCZ();
  GenerateAndDraw();
}

void TfrmMain::UpdateGraphStatus() {
  m_GraphStatus->SetPanelText(c_nXAxisPanel, QString::number(m_Interp.XAxisNumber()));
  m_GraphStatus->SetPanelText(c_nYAxisPanel, QString::number(m_Interp.YAxisNumber()));
  QString s, e;
  const auto& ends = m_Interp.EndPointList();
  if (m_nCurrentLine >= 0 && static_cast<size_t>(m_nCurrentLine) < ends.size()) {
    const TEndPoints& p = ends[static_cast<size_t>(m_nCurrentLine)];
    auto point = [](const TfPoint& f) {
      return QString::fromStdString("(" + StringFromDouble(f.fX) + "," + StringFromDouble(f.fY) + ")");
    };
    s = point(p.fStartPoint);
    e = point(p.fEndPoint);
  }
  for (auto [n, text] : {std::pair{c_nEntityStartPanel, s}, std::pair{c_nEntityEndPanel, e}}) {
    m_GraphStatus->SetPanelText(n, text);
    int w = m_GraphStatus->TextWidth(text);
    m_GraphStatus->SetPanelWidth(n, w >= 93 ? w + 8 : 100);
  }
  m_GraphStatus->SetPanelText(c_nSequencePanel, QString::number(m_nCurrentSequence));
}

void TfrmMain::PaintPlot(QPainter& p) {
  {
    TPainterCanvas cv(p);
    m_View.DrawGraph(cv);
  }
  const QPalette& pal = palette();
  const int W = m_pbPlot->width(), H = m_pbPlot->height();
  // A two-pixel sunken frame.
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(0, 0, W - 1, 0);
  p.drawLine(0, 0, 0, H - 1);
  p.setPen(pal.color(QPalette::Shadow));
  p.drawLine(1, 1, W - 2, 1);
  p.drawLine(1, 1, 1, H - 2);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, H - 1, W - 1, H - 1);
  p.drawLine(W - 1, 0, W - 1, H - 1);
  if (m_bZoomBoxActive) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(m_PZStart, m_ZoomBoxEnd).normalized());
  }
}

void TfrmMain::PaintRuler(QPainter& p, bool bHorizontal) {
  TPaintBox* r = bHorizontal ? m_rulerHorizontal : m_rulerVertical;
  const int W = r->width(), H = r->height();
  const QPalette& pal = palette();
  p.fillRect(0, 0, W, H, pal.button());
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(0, 0, W - 1, 0);
  p.drawLine(0, 0, 0, H - 1);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, H - 1, W - 1, H - 1);
  p.drawLine(W - 1, 0, W - 1, H - 1);
  QFont f("Arial");
  f.setPointSize(8);
  f.setBold(true);
  p.setFont(f);
  p.setPen(pal.color(QPalette::ButtonText));
  const int ascent = p.fontMetrics().ascent();
  if (bHorizontal) {
    for (const TRulerTick& t : TPlotView::RulerTicks(m_View.m_fXRange, W, true)) {
      p.drawLine(t.nPixel, 1, t.nPixel, 10);
      p.drawText(t.nPixel + 3, 3 + ascent, QString::fromStdString(StringFromDouble(t.fValue)));
    }
  } else {
    for (const TRulerTick& t : TPlotView::RulerTicks(m_View.m_fYRange, H, false)) {
      p.drawLine(W - 10, t.nPixel, W - 1, t.nPixel);
      p.drawText(3, t.nPixel - 3 + ascent, QString::fromStdString(StringFromDouble(t.fValue)));
    }
  }
}

void TfrmMain::PaintGrip(QPainter& p) {
  const int W = m_pnlSplitter->width(), H = m_pnlSplitter->height();
  const QPalette& pal = palette();
  p.fillRect(0, 0, W, H, pal.button());
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, 0, W - 1, 0);
  p.drawLine(0, 0, 0, H - 1);
  p.setPen(pal.color(QPalette::Shadow));
  p.drawLine(0, H - 1, W - 1, H - 1);
  p.drawLine(W - 1, 0, W - 1, H - 1);
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(W - 2, 1, W - 2, H - 2);
}

void TfrmMain::UpdateCursor() {
  switch (m_GraphMouseMode) {
    case eZoomIn:
    case eZoomOut:
    case eZoomBox: m_pbPlot->setCursor(Qt::CrossCursor); break;
    case ePan: m_pbPlot->setCursor(Qt::OpenHandCursor); break;
    case eChangeStartPoint: m_pbPlot->setCursor(Qt::SizeAllCursor); break;
    case eReorderSequence: m_pbPlot->setCursor(Qt::PointingHandCursor); break;
    default: m_pbPlot->unsetCursor(); break;
  }
}

void TfrmMain::EndMouseModes() {
  bool bRedraw = m_bZoomBoxActive;
  m_GraphMouseMode = eNormal;
  m_bPanActive = m_bZoomBoxActive = m_bChangePointActive = false;
  m_Document.m_nReorderNum = 0;
  if (QAction* a = Action("sbPan")) {
    for (const TCaptionEntry& c : CaptionTable())
      if (std::string_view(c.strControl) == "sbPan")
        a->setToolTip(QString::fromUtf8(m_bChinese ? c.strChinese : c.strEnglish));
  }
  UpdateCursor();
  if (bRedraw) m_pbPlot->update();
}

void TfrmMain::SetGraphMouseMode(EGraphMouseMode evMode) {
  if (m_GraphMouseMode == evMode) {
    EndMouseModes();
    return;
  }
  EndMouseModes();
  m_GraphMouseMode = evMode;
  if (evMode == ePan) Action("sbPan")->setToolTip("End Pan");
  if (evMode == eReorderSequence) m_Document.m_nReorderNum = 0;
  UpdateCursor();
}

void TfrmMain::MoveCursorToZoomCentre() {
  QCursor::setPos(m_pbPlot->mapToGlobal(QPoint(m_currentX, m_currentY)));
}

void TfrmMain::ZoomAt(bool bIn, QPoint Point) {
  if (bIn)
    m_View.ZoomIn(Point.x(), Point.y());
  else
    m_View.ZoomOut(Point.x(), Point.y());
  m_currentX = m_pbPlot->width() / 2;
  m_currentY = m_pbPlot->height() / 2;
  GenerateAndDraw();
}

void TfrmMain::PlotMousePress(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  m_memProgram->setReadOnly(true);
  m_forcus = true;
  m_pbPlot->setFocus(Qt::MouseFocusReason);
  if (e->button() == Qt::RightButton) {
    if (m_nCurrentSequence > 0)
      m_pmSequence->popup(m_pbPlot->mapToGlobal(pt));
    else if (m_bCopy)
      m_pmPaste->popup(m_pbPlot->mapToGlobal(pt));
    UpdateToolEnableState();
    return;
  }
  if (e->button() != Qt::LeftButton) {
    EndMouseModes();
    GenerateAndDraw();
    return;
  }
  switch (m_GraphMouseMode) {
    case eNormal:
      if (m_bLineSelectApplied) {
        m_bLineSelectApplied = false;
        break;
      }
      SelectListLineFromGraph(pt);
      m_temppoint = pt;
      break;
    case eZoomIn:
    case eZoomOut:
      ZoomAt(m_GraphMouseMode == eZoomIn, pt);
      EndMouseModes();
      break;
    case eZoomBox:
      if (!m_bZoomBoxActive) {
        m_bZoomBoxActive = true;
        m_PZStart = m_ZoomBoxEnd = pt;
      } else {
        int x0 = m_PZStart.x(), y0 = m_PZStart.y(), x1 = pt.x(), y1 = pt.y();
        TPlotView::NormaliseZoomBox(x0, y0, x1, y1);
        m_View.ZoomBox(x0, y0, x1, y1);
        EndMouseModes();
        GenerateAndDraw();
      }
      break;
    case ePan:
      m_bPanActive = true;
      m_PZStart = pt;
      m_pbPlot->setCursor(Qt::ClosedHandCursor);
      break;
    case eChangeStartPoint: EndMouseModes(); break;
    case eReorderSequence: {
      SelectListLineFromGraph(pt);
      if (m_nCurrentSequence > 0) {
        bool bFinished = false;
        if (m_Document.ReorderByClick(m_nCurrentSequence, bFinished)) AfterProgramChange(true);
        if (bFinished) EndMouseModes();
      }
      break;
    }
  }
  UpdateToolEnableState();
}

void TfrmMain::PlotMouseMove(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (m_GraphMouseMode == eZoomBox && m_bZoomBoxActive) {
    m_ZoomBoxEnd = pt;
    m_pbPlot->update();
  } else if (m_GraphMouseMode == ePan && m_bPanActive) {
    QPoint d = pt - m_PZStart;
    if (d.isNull()) return;
    m_View.Pan(d.x(), d.y());
    m_PZStart = pt;
    GenerateAndDraw();
  }
  // Dragging a sequence and moving its start point are carried out by the transformer.
}

void TfrmMain::PlotMouseRelease(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && m_bPanActive) {
    m_bPanActive = false;
    UpdateCursor();
  }
}

void TfrmMain::PlotDoubleClick(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || m_GraphMouseMode != eNormal) return PlotMousePress(e);
  if (m_nCurrentLine >= 0) m_memProgram->SelectLine(m_nCurrentLine, false);
  m_bLineSelectApplied = true;
  UpdateEditControls();
}

void TfrmMain::PlotWheel(QWheelEvent* e) {
  if (!m_forcus) return;
  const int d = e->angleDelta().y();
  if (d == 0) return;
  if (m_GraphMouseMode == ePan) {
    m_View.Pan(0, d > 0 ? 10 : -10);
    GenerateAndDraw();
    return;
  }
  ZoomAt(d > 0, e->position().toPoint());
  MoveCursorToZoomCentre();
}

bool TfrmMain::PlotKey(QKeyEvent* e) {
  if (!m_forcus) return false;
  switch (e->key()) {
    case Qt::Key_Escape: EndMouseModes(); return true;
    case Qt::Key_Left: m_View.Pan(-10, 0); GenerateAndDraw(); return true;
    case Qt::Key_Up: m_View.Pan(0, -10); GenerateAndDraw(); return true;
    case Qt::Key_Right: m_View.Pan(10, 0); GenerateAndDraw(); return true;
    case Qt::Key_Down: m_View.Pan(0, 10); GenerateAndDraw(); return true;
    case Qt::Key_Delete: DeleteCurrentSequence(); return true;
    default: break;
  }
  const QString t = e->text();
  if (t.isEmpty()) return false;
  const QPoint mouse = m_pbPlot->mapFromGlobal(QCursor::pos());
  const QChar c = t[0];
  if (c == '+' || c == '=' || c == '-' || c == '_') {
    ZoomAt(c == '+' || c == '=', mouse);
    MoveCursorToZoomCentre();
    return true;
  }
  if (c == 'C' || c == 'c') {
    const int cx = m_pbPlot->width() / 2, cy = m_pbPlot->height() / 2;
    m_View.Pan(cx - mouse.x(), cy - mouse.y());
    GenerateAndDraw();
    m_currentX = cx;
    m_currentY = cy;
    MoveCursorToZoomCentre();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Layout

bool TfrmMain::eventFilter(QObject* o, QEvent* e) {
  // The client area's own size decides the layout, whenever it changes.
  if (o == m_Client && e->type() == QEvent::Resize) FormResize();
  return QMainWindow::eventFilter(o, e);
}

void TfrmMain::FormResize() {
  // Sizes a hidden window passes through while it is made say nothing about its layout.
  if (m_bDestroying || !m_Pages || !isVisible()) return;
  const int CW = m_Client->width(), CH = m_Client->height();
  int nToolBar = 0;
  if (!m_ToolBar->isHidden()) {
    nToolBar = m_ToolBar->sizeHint().height();
    m_ToolBar->setGeometry(0, 0, CW, nToolBar);
  }
  int nBottom = CH;
  auto placeBar = [&](TPanelBar* bar) {
    if (bar->isHidden()) return 0;
    int h = bar->sizeHint().height();
    nBottom -= h;
    bar->setGeometry(0, nBottom, CW, h);
    return h;
  };
  const int nFile = placeBar(m_FileStatus);
  const int nGraph = placeBar(m_GraphStatus);
  const int T = c_nBorder + nToolBar;
  const int M = c_nBorder + nFile + nGraph;

  const int A = CW - (c_nGraphLeftBorder + c_nDragButtonWidth + c_nBorder);
  int Xr;
  if (A < m_nListWidth + c_nMinPlotWidth) {
    Xr = 38 + c_nMinPlotWidth - 1;
    m_nListWidth = std::max(A - c_nMinPlotWidth, c_nMinListWidth);
  } else {
    Xr = A + c_nGraphLeftBorder - m_nListWidth - 1;
  }
  m_nListWidth = std::max(m_nListWidth, c_nMinListWidth);
  auto place = [](QWidget* w, int l, int t, int r, int b) { w->setGeometry(l, t, std::max(r - l, 0), std::max(b - t, 0)); };
  const int nRulerBottom = CH - M - c_nScrollThickness - c_nRulerThickness - 1;
  place(m_sbVertical, 2, T, 17, nRulerBottom);
  place(m_rulerVertical, 18, T, 37, nRulerBottom);
  const int nScrollTop = CH - M - c_nScrollThickness;
  place(m_sbHorizontal, 38, nScrollTop, Xr, CH - M - 1);
  place(m_rulerHorizontal, 38, nScrollTop - c_nRulerThickness, Xr, nScrollTop - 1);
  place(m_pbPlot, 38, T, Xr, nRulerBottom);
  place(m_Pages, Xr + c_nDragButtonWidth + 1, T, Xr + 7 + m_nListWidth, CH - M - 1);
  place(m_pnlSplitter, Xr + 1, T, Xr + c_nDragButtonWidth, CH - M - 1);
  m_nXAxisLength = m_pbPlot->width() - (c_nAxisMargin + c_nBorderMargin);
  m_nYAxisLength = m_pbPlot->height() - (c_nAxisMargin + c_nBorderMargin);
  m_FileStatus->SetPanelWidth(0, std::max(m_FileStatus->width() - 90, 0));

  m_View.SetPlotSize(std::max(m_pbPlot->width(), 1), std::max(m_pbPlot->height(), 1));
  if (m_bSplitterDrag)
    m_View.AdjustXRangeToDisplay();
  else
    m_View.AdjustXAndYRangesToDisplay();
  m_View.SetScrollBars();
  GenerateAndDraw();
}

}  // namespace veltrane
