// The main window's sequence tools and drawings: the affine commands, dragging a
// sequence, look-ahead choices, machine range limits, and importing or appending a DXF.
#include <QAction>
#include <QFileInfo>
#include <QMouseEvent>
#include <cstdlib>

#include "app/PaintBox.h"
#include "app/FileNames.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "dxf/DXFEncoding.h"
#include "model/Text.h"
#include "dxf/DXFIn.h"
#include "model/SequenceMarkup.h"
#include "tools/LookAhead.h"

namespace veltrane {

// ---------------------------------------------------------------------------------------
// Affine commands

void TfrmMain::SyncTransformerFlags() {
  const TLookAheadChoices c = LookAheadChoices();
  m_Transformer.b_MOsp = c.b_MOsp;
  m_Transformer.b_MAsp = c.b_MAsp;
  m_Transformer.b_MCsp = c.b_MCsp;
}

TLookAheadChoices TfrmMain::LookAheadChoices() const {
  TLookAheadChoices c;
  c.b_MOsp = Action("mniLookAheadforLine")->isChecked();
  c.b_MAsp = Action("mniLookAheadforSequenceStart")->isChecked();
  c.b_MCsp = Action("mniLookAheadforCircle")->isChecked();
  return c;
}

void TfrmMain::TransformCommand(ETransformOp evOp, bool bAll) {
  EndMouseModes();
  FlushPendingWork();
  if (bAll ? m_Document.m_Program.empty() : m_nCurrentSequence <= 0) return;
  ClearCurrentLineMark();
  const std::string strCaption = TransformCaption(evOp, bAll);
  TTransformRequest r;
  r.evOp = evOp;
  bool bGo = true;
  switch (evOp) {
    case ETransformOp::eReverse:
      break;
    case ETransformOp::eShift: {
      std::string x = "0", y = "0";
      bool bRelative = false;
      bGo = m_pPrompts->EnterShift(strCaption, x, y, bRelative) &&
            ShiftFromText(x, y, bRelative, r, m_pPrompts);
      break;
    }
    case ETransformOp::eScale: {
      std::string t = "1";
      bGo = m_pPrompts->EnterValue(strCaption, c_sScalePrompt, t) && ScaleFromText(t, r, m_pPrompts);
      break;
    }
    case ETransformOp::eRotate: {
      std::string t = "0";
      bGo = m_pPrompts->EnterValue(strCaption, c_sRotatePrompt, t);
      if (bGo) r = RotateFromText(t);
      break;
    }
    case ETransformOp::eMirror:
      bGo = m_pPrompts->ChooseAxis(strCaption, r.evAxis);
      break;
  }
  if (!bGo) {
    GenerateAndDraw();
    return;
  }
  SyncTransformerFlags();
  bool bChanged = false;
  try {
    if (bAll) {
      // A whole program takes a second or more when big: progress, and Cancel.
      const auto pProgress = m_pPrompts->StartProgress(strCaption);
      bChanged = TransformAll(m_Document, m_Transformer, r, m_pPrompts, pProgress.get());
    } else {
      bChanged = TransformSequence(m_Document, m_Transformer, m_nCurrentSequence, r);
    }
  } catch (const ETransformError& e) {
    ShowTransformError(e);
  } catch (const ECancelled&) {
    bChanged = false;  // nothing was changed
  }
  if (bChanged)
    AfterProgramChange(true);
  else
    GenerateAndDraw();
}

void TfrmMain::TestClosedSequence() {
  m_bSequenceClosed = false;
  m_nClosedTestedSequence = m_nCurrentSequence;
  m_nClosedTestedVersion = m_nProgramVersion;
  if (m_nCurrentSequence <= 0 || !m_Document.GetSequenceFromProgram(m_nCurrentSequence, true)) return;
  TStringList body = std::move(m_Document.m_TransformationList);
  m_Document.m_TransformationList.clear();
  {
    TUseList use(m_Transformer, body);
    m_Transformer.LoadSourceList(false);
    m_Transformer.CheckCloseGraph();
  }
  m_bSequenceClosed = m_Transformer.b_closed;
  for (const char* n : {"ChangeSeqBegPoint", "mniChangeStart"})
    if (QAction* a = Action(n))
      a->setEnabled(m_bSequenceClosed);
}

void TfrmMain::DragSequence(QPoint Point) {
  const QPoint d = Point - m_temppoint;
  if (std::abs(d.x()) + std::abs(d.y()) < 20) return;
  m_temppoint = Point;
  TTransformRequest r;
  r.evOp = ETransformOp::eShift;
  r.bRelative = true;
  r.fX = d.x() / m_Interp.XScale();
  r.fY = -d.y() / m_Interp.YScale();
  SyncTransformerFlags();
  try {
    // One undo step for the whole drag, taken at its first step.
    if (TransformSequence(m_Document, m_Transformer, m_nCurrentSequence, r, !m_bDragUndoSaved)) {
      m_bDragUndoSaved = true;
      AfterProgramChange(true);
    }
  } catch (const ETransformError& e) {
    m_bDragArmed = false;
    ShowTransformError(e);
  }
}

// ---------------------------------------------------------------------------------------
// Look-ahead

void TfrmMain::LookAheadToggled(const std::string& strName) {
  EndMouseModes();
  FlushPendingWork();
  SyncTransformerFlags();
  TStringList& p = m_Document.m_Program;
  const TStringList before = p;
  const bool bOn = Action(strName.c_str())->isChecked();
  if (strName == "mniLookAheadforLine")
    bOn ? LookAheadLine(p) : RecoverLookAheadLine(p);
  else if (strName == "mniLookAheadforSequenceStart")
    bOn ? LookAheadSequenceStart(p) : RecoverLookAheadSequenceStart(p);
  else
    bOn ? LookAheadCircle(p) : RecoverLookAheadCircle(p);
  m_Registry.SetLookAheadMove(Action("mniLookAheadforLine")->isChecked());
  m_Registry.SetLookAheadStartSequence(Action("mniLookAheadforSequenceStart")->isChecked());
  m_Registry.SetLookAheadMoveCirc(Action("mniLookAheadforCircle")->isChecked());
  AfterProgramChange(p != before);
}

// ---------------------------------------------------------------------------------------
// Machine range limits

void TfrmMain::ShowRangeInPlot() {
  m_View.m_bShowLimits = m_RangeLimits.m_bEnableSpan;
  m_View.m_fLimitX = TfRange{m_RangeLimits.m_nXspanLeft, m_RangeLimits.m_nXspanRight};
  m_View.m_fLimitY = TfRange{m_RangeLimits.m_nYspanBottom, m_RangeLimits.m_nYspanTop};
}

void TfrmMain::RangeSetting() {
  EndMouseModes();
  TRangeLimits l = m_RangeLimits;
  if (!m_pPrompts->EditRangeLimits(l)) return;
  m_RangeLimits = l;
  WriteRangeLimits(m_RangeLimits, m_Registry);
  ShowRangeInPlot();
  CheckRange();
  m_pbPlot->update();
}

void TfrmMain::CheckRange() {
  FlushPendingWork();
  TfRange x, y;
  m_Interp.GetExtents(x, y);
  if (MovesOutsideRange(m_RangeLimits, x, y))
    m_pPrompts->ShowMessage(EMessageKind::eWarning, c_sOutsideRangeWarning);
}

// ---------------------------------------------------------------------------------------
// Drawings

namespace {

// The importer's questions: the drawing is already chosen, the layers go to the window.
class TWindowImportUI : public IDXFImportUI {
 public:
  TWindowImportUI(std::string strFile, IAppPrompts* pPrompts, IProgress* pProgress)
      : m_strFile(std::move(strFile)), m_pPrompts(pPrompts), m_pGiven(pProgress) {}
  bool ChooseDrawingFile(const std::string&, std::string& strFileName) override {
    strFileName = m_strFile;
    return true;
  }
  void DrawingEncoding(const std::string& strEncoding) override {
    m_Codec = TTextCodec(QByteArray::fromStdString(strEncoding));
  }
  // The dialog shows the names as text; the importer gets them back as the drawing's bytes.
  bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) override {
    TStringList shown;
    for (const std::string& l : DrawingLayers) shown.push_back(Utf8(l));
    TStringList chosen;
    bLayersCancelled = !m_pPrompts->ChooseLayers(shown, chosen);
    SelectedLayers.clear();
    for (const std::string& c : chosen) {
      const auto it = std::find(shown.begin(), shown.end(), c);
      SelectedLayers.push_back(it == shown.end() ? c : DrawingLayers[static_cast<size_t>(it - shown.begin())]);
    }
    return !bLayersCancelled;
  }
  // Shown once the layers are chosen; gone with the importer's questions.
  IProgress* Progress() override {
    if (m_pGiven) return m_pGiven;
    if (!m_pProgress)
      m_pProgress = m_pPrompts->StartProgress("Importing " + QFileInfo(WindowFileName(m_strFile)).fileName().toStdString());
    return m_pProgress.get();
  }
  // A name of the drawing as UTF-8, its "\\U+XXXX" escapes resolved.
  std::string Utf8(const std::string& strName) const {
    return DXFUnescapeUnicode(m_Codec.Decode(strName).toUtf8().toStdString());
  }
  bool bLayersCancelled = false;

 private:
  std::string m_strFile;
  IAppPrompts* m_pPrompts;
  TTextCodec m_Codec;
  IProgress* m_pGiven;
  std::unique_ptr<IProgress> m_pProgress;
};

}  // namespace

bool TfrmMain::AskDrawingFile(std::string& strFile) {
  std::string strLast = m_Registry.LastDXFInFile(), strFolder;
  size_t p = strLast.find_last_of("\\/");
  if (p != std::string::npos && p >= 3) strFolder = strLast.substr(0, p);
  if (!m_pPrompts->DrawingFileName(strFolder, strFile)) return false;
  if (!QFileInfo::exists(WindowFileName(strFile))) {
    m_pPrompts->ShowMessage(EMessageKind::eError, "Cannot open file " + strFile);
    return false;
  }
  return true;
}

bool TfrmMain::RunImporter(const std::string& strFile, bool bUseSplineSetting, TStringList& Lines,
                           IProgress* pProgress) {
  TWindowImportUI ui(strFile, m_pPrompts, pProgress);
  TDXFIn importer(&ui, &m_Registry);
  if (bUseSplineSetting) importer.SetMovesPerSplineSection(m_Registry.SplineMovesPerSection());
  TLayerContent content;
  try {
    importer.Import(Lines, content);
  } catch (const ECancelled&) {
    return false;  // nothing has changed yet
  } catch (const std::exception& e) {
    m_pPrompts->ShowMessage(EMessageKind::eError, e.what());
    return false;
  }
  if (ui.bLayersCancelled) return false;
  // The layer names as text: in UTF-8 in the markers, which the caller brings into the
  // program's encoding, and for the code insertion's layer tabs.
  for (std::string& l : Lines)
    if (StartsWithText(l, "'$Layer") || StartsWithText(l, "'$EndLayer")) {
      const size_t colon = l.find(':');
      if (colon != std::string::npos) l = l.substr(0, colon + 1) + ui.Utf8(l.substr(colon + 1));
    }
  for (std::string& n : content.sLayerName) n = ui.Utf8(n);
  m_LayerList = content;
  TStringList w = importer.ImportReport();
  if (!w.empty()) {
    std::string t = "Import report:";
    for (const auto& l : w) t += "\n" + l;
    for (const auto& l : importer.ImportFacts()) t += "\n" + l;
    m_pPrompts->ShowMessage(EMessageKind::eWarning, t);
  }
  return true;
}

void TfrmMain::ImportDXF() {
  EndMouseModes();
  if (!AskSaveProgramOrCancel()) return;
  // The drawing is chosen and read before the program is emptied: a cancelled dialog or
  // an unreadable drawing leaves the program, its file name and its history alone.
  std::string strFile;
  if (!AskDrawingFile(strFile)) return;
  // One progress dialog for the import and the program's text, both made aside: Cancel
  // at any point leaves everything as it was.
  const auto pProgress =
      m_pPrompts->StartProgress("Importing " + QFileInfo(WindowFileName(strFile)).fileName().toStdString());
  TPartProgress importing(pProgress.get(), 0.0, 0.75);
  TStringList lines;
  const TLayerContent layersBefore = m_LayerList;  // the importer sets the drawing's
  if (!RunImporter(strFile, true, lines, &importing)) return;
  // The converted drawing is UTF-8; a new program in the legacy code page takes it when
  // every layer name fits, else it stays UTF-8.
  TTextCodec codec = NewProgramCodec();
  if (!Recode(lines, TTextCodec("UTF-8"), codec)) codec = TTextCodec("UTF-8");
  SyncTransformerFlags();
  PrepareImportedProgram(lines, LookAheadChoices(), m_Transformer);
  TEditorLines editorLines;
  try {
    editorLines = MakeEditorLines(lines, codec, pProgress.get(), 0.75, 1.0);
  } catch (const ECancelled&) {
    m_LayerList = layersBefore;
    return;
  }
  ClearProgram();
  m_Codec = codec;
  m_Document.m_Program = std::move(lines);
  m_Document.m_OriginalList = m_Document.m_Program;
  SetBackList(m_Document.m_OriginalList);
  ShowEditorLines(std::move(editorLines));
  m_nBackListVersion = m_nProgramVersion;
  // A drawing converted but not saved yet is work that closing must ask about.
  m_bProgramModified = !m_Document.m_Program.empty();
  if (m_bProgramModified) m_nSavedFingerprint.reset();
  UpdateFileStatus();
  AfterProgramChange(false);
  ZoomExtents();
  CheckRange();
}

void TfrmMain::AppendDXF() {
  EndMouseModes();
  std::string strFile;
  if (!AskDrawingFile(strFile)) return;
  TStringList lines;
  if (!RunImporter(strFile, false, lines) || lines.empty()) return;
  if (!BringIntoProgramEncoding(lines, TTextCodec("UTF-8"))) return;
  FlushPendingWork();
  SyncTransformerFlags();
  PrepareImportedProgram(lines, LookAheadChoices(), m_Transformer);
  SaveForUndo();
  RenumberSequences(m_Document.NextSequenceNumber(), lines);
  auto& p = m_Document.m_Program;
  p.insert(p.end(), lines.begin(), lines.end());
  AfterProgramChange(true);
  ZoomExtents();
  CheckRange();
}

}  // namespace veltrane
