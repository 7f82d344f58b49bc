// The real dialogs behind the main window's questions.
#include "app/AppPrompts.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QMessageBox>
#include <QProgressDialog>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/Dialogs.h"
#include "app/FileNames.h"
#include "app/Language.h"
#include "app/PathDialogs.h"
#include "app/StatsDialog.h"
#include "app/ToolDialogs.h"

namespace veltrane {

namespace {
const char* c_strFilter = "BASIC program (*.bas)";

// Qt's progress dialog, shown at once: its own timer, which would show it while a question
// of the same command is open, is stopped for good.
class TProgressWindow : public QProgressDialog {
 public:
  using QProgressDialog::QProgressDialog;
  void ShowNow() { forceShow(); }
};

// A progress dialog over the window, modal so that nothing else changes while the work
// runs; Cancel ends the work at its next report. It never stands over a question: it is
// made only when the work has run half a second with no question open (there is no
// timer that could show it while a dialog of the same command waits for the user), and
// it hides while a question, warning or dialog is open and comes back after.
class TDialogProgress : public IProgress {
 public:
  TDialogProgress(QWidget* pParent, const std::string& strTitle, bool bCancel)
      : m_pParent(pParent), m_strTitle(strTitle), m_bCancel(bCancel) {
    Live().push_back(this);
  }
  ~TDialogProgress() override { std::erase(Live(), this); }
  bool Report(const std::string& strStage, double fDone) override {
    if (m_bCancelled) return false;
    if (!m_pDialog) {
      if (s_nQuestions > 0 || std::chrono::steady_clock::now() - m_Since < ShowAfter()) return true;
      Make();
    }
    const QString strLabel = Localised(QString::fromStdString(strStage) + "...");
    if (m_pDialog->labelText() != strLabel) m_pDialog->setLabelText(strLabel);
    m_pDialog->setValue(static_cast<int>(std::clamp(fDone, 0.0, 1.0) * 999));  // lets Cancel be pressed
    m_bCancelled = m_pDialog->wasCanceled();
    return !m_bCancelled;
  }

  // Every progress dialog alive steps aside while a question is open.
  class TQuestion {
   public:
    TQuestion() {
      if (s_nQuestions++ == 0)
        for (TDialogProgress* p : Live()) p->StepAside();
    }
    ~TQuestion() {
      if (--s_nQuestions == 0)
        for (TDialogProgress* p : Live()) p->ComeBack();
    }
    TQuestion(const TQuestion&) = delete;
    TQuestion& operator=(const TQuestion&) = delete;
  };

 private:
  // Half a second; the window tests set VELTRANE_PROGRESS_DELAY_MS to see the window at
  // once on work that a fast machine finishes quickly.
  static std::chrono::milliseconds ShowAfter() {
    bool bSet = false;
    const int n = qEnvironmentVariableIntValue("VELTRANE_PROGRESS_DELAY_MS", &bSet);
    return std::chrono::milliseconds(bSet && n >= 0 ? n : 500);
  }
  static std::vector<TDialogProgress*>& Live() {
    static std::vector<TDialogProgress*> s_Live;
    return s_Live;
  }
  static inline int s_nQuestions = 0;

  void Make() {
    m_pDialog = std::make_unique<TProgressWindow>(m_pParent);
    if (!m_bCancel) m_pDialog->setCancelButton(nullptr);
    m_pDialog->setWindowTitle(Localised(QString::fromStdString(m_strTitle)));
    LocaliseWidgets(m_pDialog.get());  // its Cancel button
    m_pDialog->setWindowModality(Qt::WindowModal);
    m_pDialog->setAutoClose(false);
    m_pDialog->setAutoReset(false);
    m_pDialog->setRange(0, 1000);
    m_pDialog->setMinimumWidth(360);
    m_pDialog->ShowNow();
  }
  void StepAside() {
    if (m_pDialog && m_pDialog->isVisible()) {
      m_pDialog->hide();
      m_bAside = true;
    }
  }
  void ComeBack() {
    // Work that has not shown its dialog yet waits another half second of its own.
    m_Since = std::chrono::steady_clock::now();
    if (m_bAside) m_pDialog->show();
    m_bAside = false;
  }

  QWidget* m_pParent;
  std::string m_strTitle;
  bool m_bCancel;
  std::unique_ptr<TProgressWindow> m_pDialog;
  std::chrono::steady_clock::time_point m_Since = std::chrono::steady_clock::now();
  bool m_bAside = false, m_bCancelled = false;
};

// Every dialog shows itself in the chosen language, with no progress dialog over it.
int Exec(QDialog& d) {
  TDialogProgress::TQuestion question;
  LocaliseWidgets(&d);
  return d.exec();
}
}  // namespace

void TQtAppPrompts::ShowMessage(EMessageKind evKind, const std::string& strText) {
  const QMessageBox::Icon icon = evKind == EMessageKind::eInformation ? QMessageBox::Information
                                 : evKind == EMessageKind::eWarning   ? QMessageBox::Warning
                                                                      : QMessageBox::Critical;
  QMessageBox box(icon, "Veltrane", Localised(QString::fromStdString(strText)), QMessageBox::Ok, m_pParent);
  Exec(box);
}

EAnswer TQtAppPrompts::Ask(const std::string& strQuestion, bool bAllowCancel) {
  auto buttons = QMessageBox::Yes | QMessageBox::No;
  if (bAllowCancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, "Veltrane", Localised(QString::fromStdString(strQuestion)), buttons,
                  m_pParent);
  const int r = Exec(box);
  return r == QMessageBox::Yes ? EAnswer::eYes : r == QMessageBox::No ? EAnswer::eNo : EAnswer::eCancel;
}

bool TQtAppPrompts::OpenFileName(const std::string& strTitle, const std::string& strInitialFolder,
                                 std::string& strFileName) {
  QFileDialog d(m_pParent, QString::fromStdString(strTitle), QString::fromStdString(strInitialFolder), c_strFilter);
  d.setAcceptMode(QFileDialog::AcceptOpen);
  d.setFileMode(QFileDialog::ExistingFile);
  d.setDefaultSuffix("bas");
  if (Exec(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  strFileName = d.selectedFiles().front().toStdString();
  return true;
}

bool TQtAppPrompts::SaveFileName(const std::string& strTitle, const std::string& strInitialFolder,
                                 std::string& strFileName) {
  QFileDialog d(m_pParent, QString::fromStdString(strTitle), QString::fromStdString(strInitialFolder), c_strFilter);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setFileMode(QFileDialog::AnyFile);
  d.setDefaultSuffix("bas");
  d.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (Exec(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  strFileName = d.selectedFiles().front().toStdString();
  return true;
}

bool TQtAppPrompts::EditPlotOptions(TPlotOptionsFields& Fields) {
  TfrmPlotOptions d(m_pParent);
  d.SetFields(Fields);
  if (Exec(d) != QDialog::Accepted) return false;
  Fields = d.Fields();
  return true;
}

bool TQtAppPrompts::OrderSequences(TStringList& Order) {
  TfrmSequenceOrder d(m_pParent);
  d.SetOrder(Order);
  if (Exec(d) != QDialog::Accepted) return false;
  Order = d.Order();
  return true;
}

void TQtAppPrompts::ImportOptions(TVLTRegistry& Registry) {
  TfrmImportOptions d(Registry, this, m_pParent);
  Exec(d);
}

bool TQtAppPrompts::EnterValue(const std::string& strCaption, const std::string& strMessage,
                               std::string& strText) {
  TfrmEnterValue d(m_pParent);
  d.setWindowTitle(QString::fromStdString(strCaption));
  // A carriage return in the message breaks the line.
  QString m = QString::fromStdString(strMessage);
  m.replace('\r', '\n');
  d.lblMessage->setText(m);
  d.edtValue->setText(QString::fromStdString(strText));
  d.edtValue->selectAll();
  if (Exec(d) != QDialog::Accepted) return false;
  strText = d.edtValue->text().toStdString();
  return true;
}

bool TQtAppPrompts::EnterShift(const std::string& strCaption, std::string& strX, std::string& strY,
                               bool& bRelative) {
  TfrmShift d(m_pParent);
  d.setWindowTitle(QString::fromStdString(strCaption));
  if (Exec(d) != QDialog::Accepted) return false;
  strX = d.edtX->text().toStdString();
  strY = d.edtY->text().toStdString();
  bRelative = d.rdRelative->isChecked();
  return true;
}

bool TQtAppPrompts::ChooseAxis(const std::string& strCaption, EAxis& evAxis) {
  TfrmAxis d(m_pParent);
  d.setWindowTitle(QString::fromStdString(strCaption));
  if (Exec(d) != QDialog::Accepted) return false;
  evAxis = d.Axis();
  return true;
}

bool TQtAppPrompts::EditRangeLimits(TRangeLimits& Limits) {
  TfrmSpan d(Limits, this, m_pParent);
  if (Exec(d) != QDialog::Accepted) return false;
  Limits = d.Limits();
  return true;
}

bool TQtAppPrompts::DrawingFileName(const std::string& strInitialFolder, std::string& strFileName) {
  QFileDialog d(m_pParent, "Open DXF File", QString::fromStdString(strInitialFolder),
                "DXF file (*.dxf)");
  d.setAcceptMode(QFileDialog::AcceptOpen);
  d.setFileMode(QFileDialog::ExistingFile);
  d.setDefaultSuffix("dxf");
  if (Exec(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  strFileName = CoreFileName(d.selectedFiles().front());
  return true;
}

bool TQtAppPrompts::ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) {
  TfrmLayer d(DrawingLayers, this, m_pParent);
  if (Exec(d) != QDialog::Accepted) return false;
  SelectedLayers = d.Selection().SelectedList();
  return true;
}

std::unique_ptr<IProgress> TQtAppPrompts::StartProgress(const std::string& strTitle, bool bCancel) {
  return std::make_unique<TDialogProgress>(m_pParent, strTitle, bCancel);
}

void TQtAppPrompts::About() {
  TfrmAbout d(m_pParent);
  Exec(d);
}

bool TQtAppPrompts::PathToolSettings(EPathOp evOp, const std::string& strCaption, TPathRequest& Request) {
  const QString title = QString::fromStdString(strCaption);
  switch (evOp) {
    case EPathOp::eCompensate: {
      TfrmCompensation d(this, m_pParent);
      if (Exec(d) != QDialog::Accepted) return false;
      Request = d.Request();
      return true;
    }
    case EPathOp::eFillet: {
      TfrmFilletCorners d(this, m_pParent);
      if (Exec(d) != QDialog::Accepted) return false;
      Request = d.Request();
      return true;
    }
    case EPathOp::eLeadInOut: {
      TfrmLeadInOut d(this, m_pParent);
      d.setWindowTitle(title);
      if (Exec(d) != QDialog::Accepted) return false;
      Request = d.Request();
      return true;
    }
    case EPathOp::eAddEnd: {
      TfrmAddEnd d(m_pParent);
      d.setWindowTitle(title);
      if (Exec(d) != QDialog::Accepted) return false;
      Request = d.Request();
      return true;
    }
    case EPathOp::eChangeStart: break;
  }
  return false;
}

bool TQtAppPrompts::EditTextEncoding(TTextEncodingFields& Fields) {
  TfrmTextEncoding d(Fields, m_pParent);
  if (Exec(d) != QDialog::Accepted) return false;
  Fields = d.Fields();
  return true;
}

bool TQtAppPrompts::BatchCopySettings(double mVal[2][2]) {
  TBatCopy d(this, m_pParent);
  if (Exec(d) != QDialog::Accepted) return false;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) mVal[r][c] = d.mVal[r][c];
  return true;
}

bool TQtAppPrompts::TabSettings(const std::string& strCaption, TTabRequest& Request) {
  TfrmAddTabs d(this, Request, m_pParent);
  d.setWindowTitle(QString::fromStdString(strCaption));
  if (Exec(d) != QDialog::Accepted) return false;
  Request = d.Request();
  return true;
}

void TQtAppPrompts::ProgramStatistics(const TStringList& Program, const std::string& strName,
                                      TVLTRegistry& Registry, const std::function<void(int32_t)>& SelectLine) {
  TfrmProgramStats d(Program, strName, Registry, this, SelectLine, m_pParent);
  Exec(d);
}

void TQtAppPrompts::ShowProgramCheck(const TStringList& Report) {
  // A modal dialog runs its own event loop: the main window takes no input meanwhile.
  TfrmProgramCheck d(m_pParent);
  d.SetReport(Report);
  Exec(d);
}

bool TQtAppPrompts::AutoCodeInsert(const TLayerContent& Layers, TVLTRegistry& Registry) {
  TfrmAutoCodeInsert d(Layers, Registry, m_pParent);
  return Exec(d) == QDialog::Accepted;
}

bool TQtAppPrompts::EditControllerLink(TLinkFields& Fields) {
  TfrmControllerLink d(Fields, m_pParent);
  if (Exec(d) != QDialog::Accepted) return false;
  Fields = d.Fields();
  return true;
}

bool TQtAppPrompts::SaveTableFileName(const TTableSaveDialog& Dialog, const std::string& strInitialFolder,
                                      std::string& strFileName) {
  QFileDialog d(m_pParent, QString::fromStdString(Dialog.strTitle), QString::fromStdString(strInitialFolder),
                QString::fromStdString(Dialog.strFilter));
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setDefaultSuffix(QString::fromStdString(Dialog.strExtension));
  if (Exec(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  strFileName = CoreFileName(d.selectedFiles().front());
  return true;
}

}  // namespace veltrane
