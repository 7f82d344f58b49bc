// The main window's path tools: radius compensation, fillets, lead in/out, add at end,
// the change of a closed sequence's start by the mouse, copy, paste, batch copy, tabs,
// reset and the offset terms of absolute moves.
#include <QAction>
#include <QCursor>
#include <QSignalBlocker>
#include <cstdlib>

#include "app/PaintBox.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "model/NumberFormat.h"
#include "transform/PathCommands.h"
#include "transform/Tabs.h"

namespace veltrane {

namespace {

// The dialogs' captions; the one-sequence and all commands share them.
std::string PathCaption(EPathOp evOp) {
  switch (evOp) {
    case EPathOp::eCompensate: return "Tool radius compensation";
    case EPathOp::eFillet: return "Fillet Corners...";
    case EPathOp::eLeadInOut: return "Lead In/Out Sequence";
    case EPathOp::eAddEnd: return "Add at End Sequence";
    case EPathOp::eChangeStart: break;
  }
  return "";
}

// What the core says of each sequence while a command runs over all of them, kept for one
// message after the work: a warning per refused sequence would stop the work at every
// sequence, and the user wants the list, not a row of boxes.
class TSequenceRefusals : public IUserPrompts {
 public:
  explicit TSequenceRefusals(IUserPrompts* pUser) : m_pUser(pUser) {}
  void ShowMessage(EMessageKind evKind, const std::string& strText) override {
    if (evKind == EMessageKind::eWarning && strText.rfind(c_sUnableToTransform, 0) == 0)
      m_Refused.push_back(strText);
    else if (evKind == EMessageKind::eInformation && strText.rfind(c_sSequenceNotice, 0) == 0)
      m_Notices.push_back(strText);  // changed, with something left undone
    else
      m_pUser->ShowMessage(evKind, strText);  // a fault of the program, not of a sequence
  }
  EAnswer Ask(const std::string& strQuestion, bool bAllowCancel) override {
    return m_pUser->Ask(strQuestion, bAllowCancel);
  }
  // One warning naming each refused sequence and its reason (the first ones of a long list),
  // then what was left undone in sequences that were changed.
  void Show(bool bOthersChanged) const {
    if (m_Refused.empty() && m_Notices.empty()) return;
    constexpr size_t c_nShown = 30;  // more lines do not fit a message box
    std::string t;
    for (size_t i = 0; i < m_Refused.size() && i < c_nShown; ++i) {
      if (i > 0) t += '\n';
      t += m_Refused[i];
    }
    if (m_Refused.size() > c_nShown) {
      t += '\n';
      t += std::to_string(m_Refused.size() - c_nShown);
      t += " more sequences could not be changed.";
    }
    if (!m_Refused.empty() && bOthersChanged) t += "\nThe other sequences were changed.";
    const size_t nRoom = m_Refused.size() < c_nShown ? c_nShown - m_Refused.size() : 0;
    for (size_t i = 0; i < m_Notices.size() && i < nRoom; ++i) {
      if (!t.empty()) t += '\n';
      t += m_Notices[i];
    }
    if (m_Notices.size() > nRoom) {
      t += '\n';
      t += std::to_string(m_Notices.size() - nRoom);
      t += " more sequences were changed with parts left uncut.";
    }
    m_pUser->ShowMessage(m_Refused.empty() ? EMessageKind::eInformation : EMessageKind::eWarning, t);
  }

 private:
  IUserPrompts* m_pUser;
  std::vector<std::string> m_Refused, m_Notices;
};

}  // namespace

TfPoint TfrmMain::PlotToProgram(QPoint Point) const {
  const TfRange x = m_View.m_fXRange, y = m_View.m_fYRange;
  const double w = std::max(1, m_pbPlot->width()), h = std::max(1, m_pbPlot->height());
  return TfPoint{x.fFrom + Point.x() * (x.fTo - x.fFrom) / w, y.fTo - Point.y() * (y.fTo - y.fFrom) / h};
}

void TfrmMain::PathToolCommand(EPathOp evOp, bool bAll) {
  EndMouseModes();
  FlushPendingWork();
  if (bAll ? m_Document.m_Program.empty() : m_nCurrentSequence <= 0) return;
  ClearCurrentLineMark();
  TPathRequest r;
  r.evOp = evOp;
  if (!m_pPrompts->PathToolSettings(evOp, PathCaption(evOp), r)) {
    GenerateAndDraw();
    return;
  }
  SyncTransformerFlags();
  bool bChanged = false, bWorkDone = false;
  TSequenceRefusals refusals(m_pPrompts);
  try {
    if (!bAll) {
      const TPathOutcome o = PathToolSequence(m_Document, m_Transformer, m_nCurrentSequence, r);
      bChanged = o.bDone;
      if (o.bFound && !o.bDone)
        m_pPrompts->ShowMessage(EMessageKind::eWarning,
                                c_sUnableToTransform + std::to_string(m_nCurrentSequence) + ": " + o.strReason);
      if (!o.strNotice.empty()) {
        refusals.ShowMessage(EMessageKind::eInformation,
                             c_sSequenceNotice + std::to_string(m_nCurrentSequence) + ": " + o.strNotice);
        bWorkDone = true;  // told after the program is drawn again
      }
    } else if (evOp == EPathOp::eLeadInOut || evOp == EPathOp::eAddEnd) {
      const auto pProgress = m_pPrompts->StartProgress(PathCaption(evOp));
      PathToolWholeProgram(m_Document, m_Transformer, r, pProgress.get());
      bChanged = true;
    } else {
      const TStringList before = m_Document.m_Program;
      const auto pProgress = m_pPrompts->StartProgress(PathCaption(evOp));
      PathToolEachSequence(m_Document, m_Transformer, r, &refusals, pProgress.get());
      bChanged = m_Document.m_Program != before;
      bWorkDone = true;
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
  if (bAll && evOp == EPathOp::eFillet) ZoomExtents();
  // The refused sequences once, over the changed program.
  if (bWorkDone) refusals.Show(bChanged);
}

void TfrmMain::ChangeStartCommand() {
  FlushPendingWork();
  if (m_nCurrentSequence <= 0 || !m_bSequenceClosed) return;
  EndMouseModes();
  m_GraphMouseMode = eChangeStartPoint;
  m_bChangePointActive = true;
  m_ptChangeStart = m_pbPlot->mapFromGlobal(QCursor::pos());
  SaveForUndo();
  UpdateCursor();
}

void TfrmMain::ChangeStartFollow(QPoint Point) {
  if (!m_bChangePointActive || m_nCurrentSequence <= 0) return;
  const QPoint d = Point - m_ptChangeStart;
  if (std::abs(d.x()) + std::abs(d.y()) < 5) return;
  m_ptChangeStart = Point;
  TPathRequest r;
  r.evOp = EPathOp::eChangeStart;
  const TfPoint p = PlotToProgram(Point);
  r.fX = p.fX;
  r.fY = p.fY;
  SyncTransformerFlags();
  try {
    // The mode took its undo step when it began.
    if (PathToolSequence(m_Document, m_Transformer, m_nCurrentSequence, r, false).bDone)
      AfterProgramChange(true);
  } catch (const ETransformError& e) {
    EndMouseModes();
    ShowTransformError(e);
  }
}

void TfrmMain::CopySequenceCommand() {
  EndMouseModes();
  FlushPendingWork();
  if (m_nCurrentSequence <= 0) return;
  if (m_Document.GetSequenceStringFromProgram(m_nCurrentSequence)) m_bCopy = true;
  UpdateToolEnableState();
}

void TfrmMain::PasteSequenceCommand(QPoint Point) {
  EndMouseModes();
  FlushPendingWork();
  if (!m_Document.m_CopyList.empty()) {
    const TfPoint p = PlotToProgram(Point);
    SaveForUndo();
    if (m_Document.PasteSeqence(p.fX, p.fY)) {
      AfterProgramChange(true);
      return;
    }
    m_pPrompts->ShowMessage(EMessageKind::eWarning,
                            "The program has no layer end marker to put the sequence before.");
  }
  GenerateAndDraw();
}

void TfrmMain::PasteSequenceAtMouse() {
  // Where the mouse is over the plot; from a menu away from the plot, where it last was
  // there, and the status bar says where that is.
  const QPoint here = m_pbPlot->mapFromGlobal(QCursor::pos());
  const bool bOver = m_pbPlot->rect().contains(here);
  const QPoint at = bOver ? here : m_ptPlotMouse;
  const bool bPasted = !m_Document.m_CopyList.empty();
  PasteSequenceCommand(at);
  if (bPasted && !bOver) {
    const TfPoint p = PlotToProgram(at);
    const QString note = QString::fromStdString("Pasted at (" + StringFromDouble(p.fX) + "," + StringFromDouble(p.fY) +
                                                "), where the mouse last was over the plot");
    m_GraphStatus->SetPanelText(c_nNotePanel, note);
    m_GraphStatus->SetPanelWidth(c_nNotePanel, m_GraphStatus->TextWidth(note) + 12);
  }
}

void TfrmMain::BatchCopyCommand() {
  EndMouseModes();
  FlushPendingWork();
  if (m_nCurrentSequence <= 0) return;
  double v[2][2] = {{0, 0}, {0, 0}};
  if (!m_pPrompts->BatchCopySettings(v)) return;
  const int32_t nX = static_cast<int32_t>(v[0][1]), nY = static_cast<int32_t>(v[1][1]);
  const int32_t nMade = m_Document.BatchCopy(m_nCurrentSequence, v[0][0], nX, v[1][0], nY);
  if (nMade < std::max(0, nX * nY - 1))
    m_pPrompts->ShowMessage(EMessageKind::eWarning,
                            "The program has no layer end marker to put the copies before.");
  AfterProgramChange(nMade > 0);
}

void TfrmMain::AddTabsCommand(bool bAll) {
  EndMouseModes();
  FlushPendingWork();
  if (bAll ? m_Document.m_Program.empty() : m_nCurrentSequence <= 0) return;
  ClearCurrentLineMark();
  // The dialog starts from the choices confirmed last time.
  TTabRequest r;
  if (m_Registry.TabsCount() > 0) r.nCount = std::min(m_Registry.TabsCount(), c_nMaxTabsPerPath);
  if (m_Registry.TabsLength() > 0) r.fLength = m_Registry.TabsLength();
  if (m_Registry.TabsBySpacing() && m_Registry.TabsSpacing() > 0) r.fSpacing = m_Registry.TabsSpacing();
  r.bOnArcs = !m_Registry.TabsOffArcs();
  if (!m_pPrompts->TabSettings(bAll ? c_sAddTabsAllCaption : c_sAddTabsCaption, r)) {
    GenerateAndDraw();
    return;
  }
  m_Registry.SetTabsBySpacing(r.fSpacing > 0);
  if (r.fSpacing > 0)
    m_Registry.SetTabsSpacing(r.fSpacing);
  else
    m_Registry.SetTabsCount(r.nCount);
  m_Registry.SetTabsLength(r.fLength);
  m_Registry.SetTabsOffArcs(!r.bOnArcs);
  SyncTransformerFlags();
  bool bChanged = false, bWorkDone = false;
  TSequenceRefusals refusals(m_pPrompts);
  try {
    if (bAll) {
      int32_t nTabbed = 0;
      const auto pProgress = m_pPrompts->StartProgress(c_sAddTabsAllCaption);
      const auto failed = AddTabsToAll(m_Document, m_Transformer, r, &refusals, &nTabbed, pProgress.get());
      bChanged = nTabbed > 0;
      bWorkDone = true;
      if (nTabbed == 0 && failed.empty())
        m_pPrompts->ShowMessage(EMessageKind::eInformation, "The program has no closed sequence to add tabs to.");
    } else {
      const TPathOutcome o = AddTabsToSequence(m_Document, m_Transformer, m_nCurrentSequence, r);
      bChanged = o.bDone;
      if (o.bFound && !o.bDone)
        m_pPrompts->ShowMessage(EMessageKind::eWarning,
                                c_sUnableToTransform + std::to_string(m_nCurrentSequence) + ": " + o.strReason);
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
  if (bWorkDone) refusals.Show(bChanged);
}

void TfrmMain::ResetSequenceCommand() {
  EndMouseModes();
  FlushPendingWork();
  if (m_nCurrentSequence <= 0) return;
  if (m_Document.ResetSequence(m_nCurrentSequence))
    AfterProgramChange(true);
  else
    GenerateAndDraw();
}

void TfrmMain::OffsetTermsToggled() {
  EndMouseModes();
  FlushPendingWork();
  SyncTransformerFlags();
  const bool bOn = Action("mniAddParToMA")->isChecked();
  const TStringList before = m_Document.m_Program;
  try {
    const auto pProgress = m_pPrompts->StartProgress(Action("mniAddParToMA")->text().remove('&').toStdString());
    SetOffsetTermsAll(m_Document, m_Transformer, bOn, pProgress.get());
  } catch (const ECancelled&) {
    // Nothing was changed: the menu says so again.
    QSignalBlocker block(Action("mniAddParToMA"));
    Action("mniAddParToMA")->setChecked(!bOn);
    m_Transformer.b_AddParToMA = !bOn;
    GenerateAndDraw();
    return;
  }
  AfterProgramChange(m_Document.m_Program != before);
}

}  // namespace veltrane
