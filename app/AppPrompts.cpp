// The real dialogs behind the main window's questions.
#include "app/AppPrompts.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QMessageBox>
#include <QProgressDialog>

#include "app/Dialogs.h"
#include "app/FileNames.h"
#include "app/Language.h"
#include "app/PathDialogs.h"
#include "app/StatsDialog.h"
#include "app/ToolDialogs.h"

namespace veltrane {

namespace {
const char* c_strFilter = "BASIC program (*.bas)";

// Every dialog shows itself in the chosen language.
int Exec(QDialog& d) {
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

namespace {

// A progress dialog over the window, modal so that nothing else changes while the work
// runs; Cancel ends the work at its next report.
class TDialogProgress : public IProgress {
 public:
  TDialogProgress(QWidget* pParent, const std::string& strTitle, bool bCancel) : m_Dialog(pParent) {
    if (!bCancel) m_Dialog.setCancelButton(nullptr);
    m_Dialog.setWindowTitle(Localised(QString::fromStdString(strTitle)));
    LocaliseWidgets(&m_Dialog);  // its Cancel button
    m_Dialog.setWindowModality(Qt::WindowModal);
    m_Dialog.setMinimumDuration(500);
    m_Dialog.setAutoClose(false);
    m_Dialog.setAutoReset(false);
    m_Dialog.setRange(0, 1000);
    m_Dialog.setMinimumWidth(360);
    m_Dialog.setValue(0);
  }
  bool Report(const std::string& strStage, double fDone) override {
    const QString strLabel = Localised(QString::fromStdString(strStage) + "...");
    if (m_Dialog.labelText() != strLabel) m_Dialog.setLabelText(strLabel);
    m_Dialog.setValue(static_cast<int>(std::clamp(fDone, 0.0, 1.0) * 999));  // shows it when the work is long
    return !m_Dialog.wasCanceled();
  }

 private:
  QProgressDialog m_Dialog;
};

}  // namespace

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
