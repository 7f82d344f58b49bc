// The path tools' dialogs.
#include "app/PathDialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/DialogParts.h"
#include "model/NumberFormat.h"

namespace veltrane {

using namespace dialogparts;

TfrmCompensation::TfrmCompensation(IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_pPrompts(pPrompts) {
  setObjectName("frmCompensation");
  setWindowTitle("Tool radius compensation");
  auto* f = new QFormLayout;
  auto* lbl = new QLabel("Compensation value:", this);
  lbl->setObjectName("lblCompensation");
  f->addRow(lbl, edtCompensation = Edit(this, "edtCompensation"));
  edtCompensation->setText("0");
  chkAbsoluteMode = new QCheckBox("Absolute mode", this);
  chkAbsoluteMode->setObjectName("chkAbsoluteMode");
  auto* g = new QGroupBox("Compensation direction", this);
  g->setObjectName("grpCompensationDirection");
  auto* gl = new QHBoxLayout(g);
  gl->addWidget(rdLeft = new QRadioButton("Left", g));
  gl->addWidget(rdRight = new QRadioButton("Right", g));
  rdLeft->setObjectName("rdLeft");
  rdRight->setObjectName("rdRight");
  rdLeft->setChecked(true);
  auto* v = new QVBoxLayout(this);
  v->addLayout(f);
  v->addWidget(chkAbsoluteMode);
  v->addWidget(g);
  v->addWidget(OkCancel(this));
  // A negative value is pointed out as it is typed; a text that is no number on OK.
  connect(edtCompensation, &QLineEdit::textEdited, this, [this](const QString& t) {
    double f = 0;
    if (TryStrToFloat(S(t), f)) CompensationValueFromText(S(t), f, m_pPrompts);
  });
}

void TfrmCompensation::accept() {
  // The negative-value warning came while typing; OK reports only a text that is no number.
  double f = 0;
  if (!CompensationValueFromText(S(edtCompensation->text()), f, m_pPrompts, false)) return;
  m_compensation = f;
  m_bAbsoluteMode = chkAbsoluteMode->isChecked();
  QDialog::accept();
}

TPathRequest TfrmCompensation::Request() const {
  TPathRequest r;
  r.evOp = EPathOp::eCompensate;
  r.fCompensation = rdRight->isChecked() ? -m_compensation : m_compensation;
  r.bAbsolute = m_bAbsoluteMode;
  return r;
}

TfrmFilletCorners::TfrmFilletCorners(IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_pPrompts(pPrompts) {
  setObjectName("frmFilletCorners");
  setWindowTitle("Fillet Corners...");
  auto* f = new QFormLayout;
  f->addRow("Fillet angles below (deg):", edtAngle = Edit(this, "edtAngle"));
  f->addRow("Radius for the angles:", edtRadius = Edit(this, "edtRadius"));
  edtAngle->setText("0");
  edtRadius->setText("0");
  auto* v = new QVBoxLayout(this);
  v->addLayout(f);
  v->addWidget(OkOnly(this));
}

void TfrmFilletCorners::accept() {
  if (!FilletFromText(S(edtAngle->text()), S(edtRadius->text()), m_Request, m_pPrompts)) return;
  QDialog::accept();
}

TfrmLeadInOut::TfrmLeadInOut(IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_pPrompts(pPrompts) {
  setObjectName("frmLeadInOut");
  setWindowTitle("Lead In/Out Setting");
  auto group = [this](const char* strTitle, const char* strName, QLineEdit*& edt, const char* strEdit,
                      QRadioButton*& cw, QRadioButton*& acw, const char* strCw, const char* strAcw) {
    auto* g = new QGroupBox(strTitle, this);
    g->setObjectName(strName);
    auto* f = new QFormLayout(g);
    f->addRow("Radius:", edt = Edit(g, strEdit));
    edt->setText("0");
    auto* d = new QGroupBox("Direction", g);
    auto* dl = new QHBoxLayout(d);
    dl->addWidget(cw = new QRadioButton("Clockwise", d));
    dl->addWidget(acw = new QRadioButton("AntiClockwise", d));
    cw->setObjectName(strCw);
    acw->setObjectName(strAcw);
    cw->setChecked(true);
    f->addRow(d);
    return g;
  };
  auto* v = new QVBoxLayout(this);
  v->addWidget(group("Lead In Option", "grpLeadIn", edtLeadIn, "edtLeadIn", rdInClockwise, rdInAntiClockwise,
                     "rdInClockwise", "rdInAntiClockwise"));
  v->addWidget(group("Lead Out Option", "grpLeadOut", edtLeadOut, "edtLeadOut", rdOutClockwise,
                     rdOutAntiClockwise, "rdOutClockwise", "rdOutAntiClockwise"));
  v->addWidget(OkOnly(this));
}

void TfrmLeadInOut::accept() {
  if (!LeadInOutFromText(S(edtLeadIn->text()), rdInAntiClockwise->isChecked(), S(edtLeadOut->text()),
                         rdOutAntiClockwise->isChecked(), m_Request, m_pPrompts))
    return;
  QDialog::accept();
}

TfrmAddEnd::TfrmAddEnd(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAddEnd");
  setWindowTitle("Add at End");
  auto* v = new QVBoxLayout(this);
  auto* lbl = new QLabel("Reverse Tool path Distance: User Units", this);
  lbl->setObjectName("lblAddEnd");
  v->addWidget(lbl);
  v->addWidget(edtAddEnd = Edit(this, "edtAddEnd"));
  edtAddEnd->setText("0");
  v->addWidget(OkOnly(this, "OK"));
}

TPathRequest TfrmAddEnd::Request() const { return AddEndFromText(S(edtAddEnd->text())); }

TBatCopy::TBatCopy(IUserPrompts* pPrompts, QWidget* parent) : QDialog(parent), m_pPrompts(pPrompts) {
  setObjectName("BatCopy");
  setWindowTitle("Batch Copy");
  sgBatCopy = new QTableWidget(3, 3, this);
  sgBatCopy->setObjectName("sgBatCopy");
  sgBatCopy->horizontalHeader()->hide();
  sgBatCopy->verticalHeader()->hide();
  auto fixed = [this](int r, int c, const char* s) {
    auto* it = new QTableWidgetItem(s);
    it->setFlags(Qt::ItemIsEnabled);
    sgBatCopy->setItem(r, c, it);
  };
  fixed(0, 0, "");
  fixed(0, 1, "Offset");
  fixed(0, 2, "Repeat");
  fixed(1, 0, "X");
  fixed(2, 0, "Y");
  for (int r = 1; r <= 2; ++r)
    for (int c = 1; c <= 2; ++c) sgBatCopy->setItem(r, c, new QTableWidgetItem(""));
  sgBatCopy->setMinimumSize(320, 100);
  auto* v = new QVBoxLayout(this);
  v->addWidget(sgBatCopy);
  v->addWidget(OkCancel(this));
}

void TBatCopy::accept() {
  std::string cells[2][2];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      const QTableWidgetItem* it = sgBatCopy->item(r + 1, c + 1);
      cells[r][c] = it ? S(it->text()) : "";
    }
  if (!BatchCopyFromCells(cells, mVal, m_pPrompts)) return;
  QDialog::accept();
}

TfrmAddTabs::TfrmAddTabs(IUserPrompts* pPrompts, const TTabRequest& Initial, QWidget* parent)
    : QDialog(parent), m_pPrompts(pPrompts), m_Request(Initial) {
  setObjectName("frmAddTabs");
  setWindowTitle(c_sAddTabsCaption);
  auto* g = new QGroupBox("Tabs on each closed path", this);
  g->setObjectName("grpTabPlacement");
  auto* f = new QFormLayout(g);
  f->addRow(rdCount = new QRadioButton("Number of tabs:", g), edtCount = Edit(g, "edtTabCount"));
  f->addRow(rdSpacing = new QRadioButton("One tab every:", g), edtSpacing = Edit(g, "edtTabSpacing"));
  rdCount->setObjectName("rdTabCount");
  rdSpacing->setObjectName("rdTabSpacing");
  auto* f2 = new QFormLayout;
  auto* lbl = new QLabel("Tab length:", this);
  lbl->setObjectName("lblTabLength");
  f2->addRow(lbl, edtLength = Edit(this, "edtTabLength"));
  chkOnArcs = new QCheckBox("Tabs may sit on arcs", this);
  chkOnArcs->setObjectName("chkTabsOnArcs");
  edtCount->setText(QString::number(Initial.nCount > 0 ? Initial.nCount : 4));
  edtSpacing->setText(QString::fromStdString(StringFromDouble(Initial.fSpacing > 0 ? Initial.fSpacing : 100.0)));
  edtLength->setText(QString::fromStdString(StringFromDouble(Initial.fLength)));
  chkOnArcs->setChecked(Initial.bOnArcs);
  const bool bSpacing = Initial.fSpacing > 0;
  rdSpacing->setChecked(bSpacing);
  rdCount->setChecked(!bSpacing);
  auto enable = [this] {
    edtCount->setEnabled(rdCount->isChecked());
    edtSpacing->setEnabled(rdSpacing->isChecked());
  };
  enable();
  connect(rdCount, &QRadioButton::toggled, this, enable);
  auto* v = new QVBoxLayout(this);
  v->addWidget(g);
  v->addLayout(f2);
  v->addWidget(chkOnArcs);
  v->addWidget(OkCancel(this));
}

void TfrmAddTabs::accept() {
  const bool bSpacing = rdSpacing->isChecked();
  std::string strWhy;
  if (!TabRequestFromText(S((bSpacing ? edtSpacing : edtCount)->text()), bSpacing, S(edtLength->text()),
                          chkOnArcs->isChecked(), m_Request, strWhy)) {
    if (m_pPrompts) m_pPrompts->ShowMessage(EMessageKind::eWarning, strWhy);
    return;
  }
  QDialog::accept();
}

}  // namespace veltrane
