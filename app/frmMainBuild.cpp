// The main window's construction: menus, toolbar, plot widgets, pages, and the
// captions of both languages.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
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
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/Captions.h"
#include "app/Language.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "tools/LookAhead.h"

namespace veltrane {

namespace {

// The toolbar's pictures, drawn so that nothing has to be shipped beside the program.
template <class ArrowHead>
void DrawToolIcon(QPainter& p, const QString& strKind, ArrowHead arrowHead) {
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
  } else if (strKind == "reverse") {
    // A path with its direction turned round.
    p.drawLine(QPointF(3, 7), QPointF(17, 7));
    arrowHead(QPointF(17, 7), 0);
    p.setPen(QPen(QColor(0, 128, 0), 1.6));
    p.drawLine(QPointF(17, 13), QPointF(3, 13));
    arrowHead(QPointF(3, 13), 180);
  } else if (strKind == "shift") {
    // A part moved along an arrow to where it goes.
    p.drawRect(QRectF(2.5, 11.5, 6, 6));
    p.setPen(QPen(QColor(10, 36, 106), 1.2, Qt::DashLine));
    p.drawRect(QRectF(11.5, 2.5, 6, 6));
    p.setPen(QPen(QColor(0, 128, 0), 1.6));
    p.drawLine(QPointF(8, 12), QPointF(12.5, 7.5));
    arrowHead(QPointF(12.5, 7.5), -45);
  } else if (strKind == "scale") {
    // A small part and the same part larger about one corner.
    p.drawRect(QRectF(2.5, 9.5, 8, 8));
    p.setPen(QPen(QColor(10, 36, 106), 1.2, Qt::DashLine));
    p.drawRect(QRectF(2.5, 2.5, 15, 15));
    p.setPen(QPen(QColor(0, 128, 0), 1.6));
    p.drawLine(QPointF(9, 11), QPointF(15, 5));
    arrowHead(QPointF(15, 5), -45);
  } else if (strKind == "rotate") {
    // A turn about a centre.
    p.drawArc(QRectF(3.5, 3.5, 13, 13), 90 * 16, 270 * 16);
    arrowHead(QPointF(10, 3.5), 0);
    p.setBrush(QColor(0, 128, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(10, 10), 1.6, 1.6);
  } else if (strKind == "mirror") {
    // A shape and its image across a dashed axis.
    p.setPen(QPen(QColor(0, 128, 0), 1.2, Qt::DashLine));
    p.drawLine(QPointF(10, 1.5), QPointF(10, 18.5));
    p.setPen(pen);
    p.drawPolygon(QPolygonF({QPointF(8, 4), QPointF(8, 16), QPointF(2.5, 16)}));
    p.drawPolygon(QPolygonF({QPointF(12, 4), QPointF(12, 16), QPointF(17.5, 16)}));
  } else if (strKind == "undo") {
    // An arrow bending back.
    p.drawArc(QRectF(5, 5, 12, 10), 0 * 16, 200 * 16);
    p.drawArc(QRectF(5, 5, 12, 10), 180 * 16, -180 * 16);
    arrowHead(QPointF(5.2, 11), 100);
  } else if (strKind == "reset") {
    // Back to the start: a bar and two heads pointing to it.
    p.drawLine(QPointF(3.5, 4), QPointF(3.5, 16));
    p.setBrush(QColor(10, 36, 106));
    p.drawPolygon(QPolygonF({QPointF(4.5, 10), QPointF(11, 4.5), QPointF(11, 15.5)}));
    p.drawPolygon(QPolygonF({QPointF(10.5, 10), QPointF(17, 4.5), QPointF(17, 15.5)}));
  }
}

QIcon ToolIcon(const QString& strKind) {
  // Drawn once for ordinary screens and once at twice the size for dense ones, so that
  // every icon stays crisp.
  QIcon icon;
  for (int nScale : {1, 2}) {
    QPixmap pm(20 * nScale, 20 * nScale);
    pm.setDevicePixelRatio(nScale);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // An arrow's head at a point, pointing in a direction (degrees, y down).
    auto arrowHead = [&p](QPointF at, double fDegrees) {
      const double a = fDegrees * 3.14159265358979 / 180.0;
      for (double side : {-1.0, 1.0}) {
        const double b = a + side * 2.6;
        p.drawLine(at, at + QPointF(4.0 * std::cos(b), 4.0 * std::sin(b)));
      }
    };
    DrawToolIcon(p, strKind, arrowHead);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

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
  if (onTrigger)
    connect(a, &QAction::triggered, this, [this, onTrigger, strCaption] {
      if (m_bDestroying) return;
      const uint64_t nSnapshots = m_nSnapshotsTaken;
      try {
        onTrigger();
      } catch (const std::bad_alloc&) {
        CommandOutOfMemory(strCaption, nSnapshots != m_nSnapshotsTaken);
      }
    });
  if (pMenu) pMenu->addAction(a);
  addAction(a);  // shortcuts work while the menu bar is hidden or elsewhere
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
  MakeAction(imp, "mniImportDXF", "&DXF", QKeySequence(), [this] { ImportDXF(); });
  MakeAction(f, "mniImportOptions", "I&mport Options", QKeySequence(), [this] {
    EndMouseModes();
    m_pPrompts->ImportOptions(m_Registry);
  });
  QMenu* app = menu(f, "mniAppend", "A&ppend");
  MakeAction(app, "mniAppendDXF", "&DXF", QKeySequence(), [this] { AppendDXF(); });
  MakeAction(app, "mniAppendBASIC", "Harmark&BASIC", QKeySequence(), [this] { AppendBASIC(); });
  MakeAction(f, "mniTextEncoding", "Text &Encoding...", QKeySequence(), [this] { TextEncodingCommand(); });
  f->addSeparator();
  MakeAction(f, "mniExit", "E&xit", QKeySequence(), [this] { close(); });

  QMenu* v = menu(nullptr, "Plot1", "&View");
  MakeAction(v, "mniRedraw", "&Redraw", QKeySequence("F5"), [this] { GenerateAndDraw(); });
  MakeAction(v, "mniZoomExtents", "Zoom &Extents", QKeySequence("F6"), [this] { ZoomExtents(); });
  MakeAction(v, "mniZoomExtentsCZ", "Zoom Extents, Centre Zero", QKeySequence("Ctrl+F6"),
             [this] { ZoomExtentsCZ(); });
  MakeAction(v, "mniZoomIn", "Zoom &In", QKeySequence("F3"),
             [this] { SetGraphMouseMode(eZoomIn); });
  MakeAction(v, "mniZoomOut", "Zoom &Out", QKeySequence("F4"),
             [this] { SetGraphMouseMode(eZoomOut); });
  MakeAction(v, "mniZoomBox", "Zoom &Box", QKeySequence(), [this] { SetGraphMouseMode(eZoomBox); });
  MakeAction(v, "mniPan", "&Pan", QKeySequence(), [this] { SetGraphMouseMode(ePan); });
  QAction* orig =
      MakeAction(v, "mniDisplayOriginal", "&Display Original Pattern", QKeySequence(), nullptr);
  orig->setCheckable(true);
  connect(orig, &QAction::toggled, this, [this](bool b) {
    m_View.m_bShowOriginal = b;
    m_Interp.SetAdditional(&*m_BackList, b);
    GenerateAndDraw();
  });
  v->addSeparator();
  MakeAction(v, "mniRangeSetting", "&Machine Range Limits...", QKeySequence(), [this] { RangeSetting(); });
  MakeAction(v, "mniOptions", "Op&tions", QKeySequence("Ctrl+P"), [this] { ChangeOptions(); });

  QMenu* e = menu(nullptr, "Edit1", "&Edit");
  MakeAction(e, "mniCut", "Cu&t", QKeySequence("Ctrl+X"), [this] {
    m_memProgram->CutToClipboardWithUndo();
    m_pUndoList->TestAddEdit();
    UpdateToolEnableState();
  });
  QAction* copy =
      MakeAction(e, "mniCopy", "&Copy", QKeySequence("Ctrl+C"), [this] { m_memProgram->copy(); });
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
  MakeAction(e, "mniSelectAll", "Select A&ll", QKeySequence("Ctrl+A"),
             [this] { m_memProgram->selectAll(); });
  MakeAction(e, "mniUndo", "&Undo", QKeySequence("Ctrl+Z"), [this] { Undo(); });
  // Both keys users know for it: Ctrl+Y from Windows, Ctrl+Shift+Z from elsewhere.
  QAction* redo = MakeAction(e, "mniRedo", "&Redo", QKeySequence("Ctrl+Y"), [this] { Redo(); });
  redo->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});

  QMenu* t = menu(nullptr, "mniTools", "&Tools");
  MakeAction(t, "mniReverse", "&Reverse Sequence...", QKeySequence(), [this] { TransformCommand(ETransformOp::eReverse, false); });
  MakeAction(t, "mniShift", "S&hift  Sequence...", QKeySequence(), [this] { TransformCommand(ETransformOp::eShift, false); });
  MakeAction(t, "mniScale", "&Scale  Sequence...", QKeySequence(), [this] { TransformCommand(ETransformOp::eScale, false); });
  MakeAction(t, "mniRotate", "R&otate  Sequence...", QKeySequence(), [this] { TransformCommand(ETransformOp::eRotate, false); });
  MakeAction(t, "mniMirror", "&Mirror  Sequence...", QKeySequence(), [this] { TransformCommand(ETransformOp::eMirror, false); });
  MakeAction(t, "mniRadiusCompSeq", "Radius &Compensate Sequence...", QKeySequence(), [this] { PathToolCommand(EPathOp::eCompensate, false); });
  MakeAction(t, "mniFilletCornersSequence", "&Fillet Corners of Sequence...", QKeySequence(), [this] { PathToolCommand(EPathOp::eFillet, false); });
  MakeAction(t, "mniLeadInOut", "&Lead In/Out Sequence...", QKeySequence(), [this] { PathToolCommand(EPathOp::eLeadInOut, false); });
  MakeAction(t, "mniAddEndSeq", "Add at End of Sequence...", QKeySequence(), [this] { PathToolCommand(EPathOp::eAddEnd, false); });
  MakeAction(t, "mniChangeStart", "Change Start of Sequence...", QKeySequence(), [this] { ChangeStartCommand(); });
  MakeAction(t, "mniAddTabs", "Add Tabs...", QKeySequence(), [this] { AddTabsCommand(false); });
  t->addSeparator();
  MakeAction(t, "mniReverseAll", "Re&verse All...", QKeySequence(), [this] { TransformCommand(ETransformOp::eReverse, true); });
  MakeAction(t, "mniShiftAll", "Shi&ft All...", QKeySequence(), [this] { TransformCommand(ETransformOp::eShift, true); });
  MakeAction(t, "mniScaleAll", "S&cale All...", QKeySequence(), [this] { TransformCommand(ETransformOp::eScale, true); });
  MakeAction(t, "mniRotateAll", "Ro&tate All...", QKeySequence(), [this] { TransformCommand(ETransformOp::eRotate, true); });
  MakeAction(t, "mniMirrorAll", "M&irror All...", QKeySequence(), [this] { TransformCommand(ETransformOp::eMirror, true); });
  MakeAction(t, "mniCompensation", "Radius Com&pensate All...", QKeySequence(), [this] { PathToolCommand(EPathOp::eCompensate, true); });
  MakeAction(t, "mniFilletCornersAll", "&Fillet Corners All...", QKeySequence(), [this] { PathToolCommand(EPathOp::eFillet, true); });
  MakeAction(t, "mniLeadInOutAll", "Lead In/Out All...", QKeySequence(), [this] { PathToolCommand(EPathOp::eLeadInOut, true); });
  MakeAction(t, "mniAddEndAll", "Add at End All...", QKeySequence(), [this] { PathToolCommand(EPathOp::eAddEnd, true); });
  MakeAction(t, "mniAddTabsAll", "Add Tabs to All...", QKeySequence(), [this] { AddTabsCommand(true); });
  t->addSeparator();
  MakeAction(t, "mniReorderSequences", "Reorder Se&quences...", QKeySequence(),
             [this] { ReorderSequencesByDialog(); });
  MakeAction(t, "mniReorderSeqInGraph", "Reorder Sequences in &Graph", QKeySequence(),
             [this] { SetGraphMouseMode(eReorderSequence); });
  MakeAction(t, "mniCopySeq", "Copy Sequence", QKeySequence(), [this] { CopySequenceCommand(); });
  MakeAction(t, "mniBatteryCopySeq", "Batch Copy Sequence...", QKeySequence(), [this] { BatchCopyCommand(); });
  MakeAction(t, "mniPasteSeq", "Paste Sequence", QKeySequence(), [this] { PasteSequenceAtMouse(); });
  MakeAction(t, "mniDeleteSequence", "&Delete Sequence...", QKeySequence(),
             [this] { DeleteCurrentSequence(); });
  MakeAction(t, "mniResetSeq", "Reset Sequence...", QKeySequence(), [this] { ResetSequenceCommand(); });
  t->addSeparator();
  MakeAction(t, "mniAutoCodeInsert", "A&uto Code Inserter...", QKeySequence(), [this] { AutoCodeInsertCommand(); });
  MakeAction(t, "mniCheckProgram", "Chec&k Program", QKeySequence(), [this] { CheckProgram(); });
  MakeAction(t, "mniProgramStats", "Program Statistics...", QKeySequence(), [this] { ProgramStatistics(); });
  t->addSeparator();
  for (auto [name, caption] :
       {std::pair{"mniLookAheadforLine", "Look Ahead for Line"},
        std::pair{"mniLookAheadforSequenceStart", "Look Ahead for Sequence Start"},
        std::pair{"mniLookAheadforCircle", "Look Ahead for Circle"}}) {
    QAction* a = MakeAction(t, name, caption, QKeySequence(), nullptr);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n = std::string(name)] { LookAheadToggled(n); });
  }
  QAction* terms = MakeAction(t, "mniAddParToMA", "Add Parameters to MOVEABS", QKeySequence(), nullptr);
  terms->setCheckable(true);
  connect(terms, &QAction::triggered, this, [this] { OffsetTermsToggled(); });

  QMenu* c = menu(nullptr, "mniControllerLink", "&ControllerLink");
  MakeAction(c, "mniControllerLinkConfig", "&Configuration...", QKeySequence(), [this] { ControllerLinkConfig(); });
  MakeAction(c, "mniSendProgram", "&Send Program...", QKeySequence(), [this] { SendProgram(); });

  QMenu* w = menu(nullptr, "mniWindows", "&Windows");
  for (auto [name, caption] :
       {std::pair{"mniToolbar", "&Tool Bar"}, std::pair{"mniFileStatus", "&File Status Bar"},
        std::pair{"mniGraphStatus", "&Graph Status"}}) {
    QAction* a = MakeAction(w, name, caption, QKeySequence(), nullptr);
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::toggled, this, [this, n = std::string(name)](bool b) {
      QWidget* bar = n == "mniToolbar"      ? static_cast<QWidget*>(m_ToolBar)
                     : n == "mniFileStatus" ? static_cast<QWidget*>(m_FileStatus)
                                            : static_cast<QWidget*>(m_GraphStatus);
      bar->setVisible(b);
      FormResize();
    });
  }

  QMenu* h = menu(nullptr, "mniHelp", "&Help");
  MakeAction(h, "mniHelpTopics", "&Help Topics", QKeySequence("Ctrl+H"), [this] { ShowHelp(); });
  MakeAction(h, "mniAbout", "&About Veltrane", QKeySequence("Ctrl+F10"),
             [this] { m_pPrompts->About(); });

  QMenu* l = menu(nullptr, "mniLanguage", "&Language");
  auto* group = new QActionGroup(this);
  QAction* en =
      MakeAction(l, "mniEnglish", "&English", QKeySequence(), [this] { mniEnglishClick(); });
  QAction* zh = MakeAction(l, "mniChinese", QString::fromUtf8(c_strChineseMenuCaption),
                           QKeySequence(), [this] { mniChineseClick(); });
  for (QAction* a : {en, zh}) {
    a->setCheckable(true);
    group->addAction(a);
  }
  en->setChecked(true);

  // The plot's menus.
  m_pmSequence = new QMenu(this);
  m_pmSequence->setObjectName("pmSequence");
  MakeAction(m_pmSequence, "ReverseSquence1", "Reverse Sequence", QKeySequence(),
             [this] { TransformCommand(ETransformOp::eReverse, false); });
  MakeAction(m_pmSequence, "ShiftSequence1", "Shift Sequence", QKeySequence(),
             [this] { TransformCommand(ETransformOp::eShift, false); });
  MakeAction(m_pmSequence, "S1", "Scale Sequence", QKeySequence(),
             [this] { TransformCommand(ETransformOp::eScale, false); });
  MakeAction(m_pmSequence, "RotateSequence1", "Rotate Sequence", QKeySequence(),
             [this] { TransformCommand(ETransformOp::eRotate, false); });
  MakeAction(m_pmSequence, "MirrorSequence1", "Mirror Sequence", QKeySequence(),
             [this] { TransformCommand(ETransformOp::eMirror, false); });
  MakeAction(m_pmSequence, "RadiusCompensationSequence1", "Radius Compensation Sequence", QKeySequence(),
             [this] { PathToolCommand(EPathOp::eCompensate, false); });
  MakeAction(m_pmSequence, "FilletCornersSequence1", "Fillet Corners Sequence", QKeySequence(),
             [this] { PathToolCommand(EPathOp::eFillet, false); });
  MakeAction(m_pmSequence, "LeadInOutSequence1", "Lead In/Out Sequence", QKeySequence(),
             [this] { PathToolCommand(EPathOp::eLeadInOut, false); });
  MakeAction(m_pmSequence, "AddatEndSequence1", "Add at End Sequence", QKeySequence(),
             [this] { PathToolCommand(EPathOp::eAddEnd, false); });
  MakeAction(m_pmSequence, "ChangeSeqBegPoint", "Change the start of sequence", QKeySequence(),
             [this] { ChangeStartCommand(); });
  MakeAction(m_pmSequence, "AddTabs1", "Add Tabs...", QKeySequence(), [this] { AddTabsCommand(false); });
  m_pmSequence->addSeparator();
  MakeAction(m_pmSequence, "Copy1", "Copy", QKeySequence(), [this] { CopySequenceCommand(); });
  MakeAction(m_pmSequence, "BatteryCopy1", "Batch Copy", QKeySequence(), [this] { BatchCopyCommand(); });
  MakeAction(m_pmSequence, "DeleteSequence1", "Delete ", QKeySequence(),
             [this] { DeleteCurrentSequence(); });
  MakeAction(m_pmSequence, "ResetSequence1", "Reset ", QKeySequence(), [this] { ResetSequenceCommand(); });
  m_pmPaste = new QMenu(this);
  m_pmPaste->setObjectName("pmPaste");
  // The plot's own menu pastes at the point that was right-clicked.
  MakeAction(m_pmPaste, "Paste1", "Paste", QKeySequence(), [this] { PasteSequenceCommand(m_ptContextMenu); });
}

void TfrmMain::CreateToolBar() {
  m_ToolBar = new QToolBar(m_Client);
  m_ToolBar->setObjectName("ToolBar");
  m_ToolBar->setIconSize(QSize(20, 20));
  auto button = [this](const char* name, const char* hint, const char* icon,
                       std::function<void()> onClick) {
    QAction* a = MakeAction(nullptr, name, hint, QKeySequence(), std::move(onClick));
    a->setToolTip(hint);
    a->setIcon(ToolIcon(icon));
    m_ToolBar->addAction(a);
    return a;
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
  button("sbReverse", "Reverse  Sequence", "reverse", [this] { TransformCommand(ETransformOp::eReverse, false); });
  button("sbShift", "Shift  Sequence", "shift", [this] { TransformCommand(ETransformOp::eShift, false); });
  button("sbScale", "Scale  Sequence", "scale", [this] { TransformCommand(ETransformOp::eScale, false); });
  button("sbRotate", "Rotate  Sequence", "rotate", [this] { TransformCommand(ETransformOp::eRotate, false); });
  button("sbMirror", "Mirror  Sequence", "mirror", [this] { TransformCommand(ETransformOp::eMirror, false); });
  m_ToolBar->addSeparator();
  button("sbUndo", "Undo", "undo", [this] { Undo(); });
  button("sbReset", "Reset", "reset", [this] { Reset(); });
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
  m_pnlSplitter->OnMouseRelease = [this](QMouseEvent*) { m_bSplitterDrag = false; };
}

void TfrmMain::CreatePages() {
  m_Pages = new QTabWidget(m_Client);
  m_Pages->setObjectName("PageControl");
  m_Pages->addTab(m_memProgram, "BASIC Program");

  CreateTablePage();
  connect(m_Pages, &QTabWidget::currentChanged, this, [this](int n) { pcMoveDataChange(n); });
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
  SetChineseTexts(bChinese);  // the dialogs and messages follow
  Action("mniEnglish")->setChecked(!bChinese);
  Action("mniChinese")->setChecked(bChinese);
  for (const TCaptionEntry& c : CaptionTable())
    ApplyCaption(c.strControl, c.bHint, QString::fromUtf8(bChinese ? c.strChinese : c.strEnglish));
  if (m_GraphMouseMode == ePan) Action("sbPan")->setToolTip(Localised(QString("End Pan")));
  // Beyond the caption table: the page tabs and the status bars.
  m_Pages->setTabText(0, Localised(QString("BASIC Program")));
  m_Pages->setTabText(1, Localised(QString("TableList")));
  ShowGraphStatusLabels();
  UpdateFileStatus();
  UpdateGraphStatus();
}

void TfrmMain::ShowGraphStatusLabels() {
  const char* labels[13] = {"Axes:", "X", "", "Y", "", "Entity:", "Start", "", "End", "", "Sequence:", "", ""};
  for (int i = 0; i < 13; ++i) {
    if (!*labels[i]) continue;
    const QString t = Localised(QString(labels[i]));
    m_GraphStatus->SetPanelText(i, t);
    m_GraphStatus->SetPanelWidth(i, m_GraphStatus->TextWidth(t) + 12);
  }
}

void TfrmMain::mniEnglishClick() { SetLanguage(false); }
void TfrmMain::mniChineseClick() { SetLanguage(true); }

QAction* TfrmMain::Action(const char* strName) const {
  return findChild<QAction*>(QString::fromLatin1(strName));
}

}  // namespace veltrane
