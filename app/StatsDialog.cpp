// The program statistics dialog.
#include "app/StatsDialog.h"

#include "app/Language.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/DialogParts.h"
#include "model/NumberFormat.h"
#include "model/UserPrompts.h"
#include "settings/VLTRegistry.h"
#include "tools/MotionCheck.h"

namespace veltrane {

using namespace dialogparts;

namespace {

// A cell that sorts by its number rather than by its text.
class TNumberItem : public QTableWidgetItem {
 public:
  TNumberItem(double f, const QString& strText) : QTableWidgetItem(strText) {
    setData(Qt::UserRole, f);
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  bool operator<(const QTableWidgetItem& o) const override {
    return data(Qt::UserRole).toDouble() < o.data(Qt::UserRole).toDouble();
  }
};

QString Fixed(double f, int n) { return QString::number(f, 'f', n); }

}  // namespace

TfrmProgramStats::TfrmProgramStats(const TStringList& Program, const std::string& strName, TVLTRegistry& Registry,
                                   IUserPrompts* pPrompts, std::function<void(int32_t)> SelectLine, QWidget* parent)
    : QDialog(parent),
      m_Program(Program),
      m_strName(strName),
      m_Registry(Registry),
      m_pPrompts(pPrompts),
      m_SelectLine(std::move(SelectLine)) {
  setObjectName("frmProgramStats");
  setWindowTitle("Program Statistics");
  const TEstimateSettings s = ReadEstimateSettings(Registry);
  auto* g = new QGroupBox("Estimate (where the program sets no value of its own)", this);
  g->setObjectName("grpEstimate");
  auto* grid = new QFormLayout(g);
  auto field = [&](const char* strLabel, const char* strName, double f) {
    QLineEdit* e = Edit(g, strName);
    e->setText(Q(StringFromDouble(f)));
    grid->addRow(strLabel, e);
    return e;
  };
  edtSpeed = field("Speed (units/s):", "edtSpeed", s.fSpeed);
  edtAccel = field("Acceleration (units/s\u00b2):", "edtAccel", s.fAccel);
  edtDecel = field("Deceleration (units/s\u00b2):", "edtDecel", s.fDecel);
  edtTravelSpeed = field("Travel speed (units/s):", "edtTravelSpeed", s.fTravelSpeed);
  edtBlend = field("Blend joints turning up to (deg):", "edtBlend", s.fBlendDegrees);
  edtPierce = field("Pierce time per sequence (s):", "edtPierce", s.fPierceTime);
  auto* recalc = new QPushButton("&Recalculate", g);
  recalc->setObjectName("btnRecalculate");
  grid->addRow(recalc);
  connect(recalc, &QPushButton::clicked, this, [this] { Recalculate(); });

  lblTotals = new QLabel(this);
  lblTotals->setObjectName("lblTotals");
  lblTotals->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lblTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblNotes = new QLabel(this);
  lblNotes->setObjectName("lblNotes");
  lblNotes->setWordWrap(true);
  tblRows = new QTableWidget(0, 8, this);
  tblRows->setObjectName("tblRows");
  tblRows->setHorizontalHeaderLabels(
      {"Scope", "Name", "Layer", "Sequences", "Cut length", "Travel length", "Moves", "Time (s)"});
  tblRows->verticalHeader()->hide();
  tblRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblRows->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblRows->setMinimumSize(620, 220);
  connect(tblRows, &QTableWidget::cellDoubleClicked, this, [this](int nRow, int) {
    const QTableWidgetItem* it = tblRows->item(nRow, 0);
    if (it && it->data(Qt::UserRole + 1).isValid() && m_SelectLine) m_SelectLine(it->data(Qt::UserRole + 1).toInt());
  });

  auto* o = new QGroupBox("Options", this);
  auto* ol = new QFormLayout(o);
  chkShowTime = new QCheckBox("Show the current sequence's time in the graph status bar", o);
  chkShowTime->setObjectName("chkShowTime");
  chkShowTime->setChecked(Registry.EstimateShowTime());
  ol->addRow(chkShowTime);
  chkCheckMotion = new QCheckBox("Check motion in Check Program", o);
  chkCheckMotion->setObjectName("chkCheckMotion");
  chkCheckMotion->setChecked(Registry.CheckMotion());
  ol->addRow(chkCheckMotion);
  edtMinCircle = Edit(o, "edtMinCircle");
  edtMinCircle->setText(Q(StringFromDouble(ReadMotionCheckOptions(Registry).fMinCircleRadius)));
  ol->addRow("Report full circles with a radius below:", edtMinCircle);

  auto* v = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(g);
  top->addWidget(lblTotals, 1);
  v->addLayout(top);
  v->addWidget(tblRows, 1);
  v->addWidget(lblNotes);
  v->addWidget(o);
  v->addWidget(OkOnly(this, "&Close"));
  m_Stats = ComputeProgramStats(m_Program, s, m_strName);
  Fill();
  connect(this, &QDialog::finished, this, [this] { StoreOptions(); });
}

bool TfrmProgramStats::Recalculate() {
  TEstimateSettings s;
  struct TField {
    QLineEdit* e;
    double* f;
    bool bZero;
    const char* strWhat;
  };
  const TField fields[] = {{edtSpeed, &s.fSpeed, false, "speed"},
                           {edtAccel, &s.fAccel, false, "acceleration"},
                           {edtDecel, &s.fDecel, false, "deceleration"},
                           {edtTravelSpeed, &s.fTravelSpeed, false, "travel speed"},
                           {edtBlend, &s.fBlendDegrees, true, "blend angle"},
                           {edtPierce, &s.fPierceTime, true, "pierce time"}};
  for (const TField& f : fields) {
    double v = 0;
    if (!TryStrToFloat(S(f.e->text()), v) || !std::isfinite(v) || v < 0 || (v == 0 && !f.bZero)) {
      if (m_pPrompts)
        m_pPrompts->ShowMessage(EMessageKind::eWarning, std::string("The ") + f.strWhat + " must be a number " +
                                                            (f.bZero ? "of 0 or more." : "above 0."));
      f.e->setFocus();
      return false;
    }
    *f.f = v;
  }
  WriteEstimateSettings(s, m_Registry);
  m_Stats = ComputeProgramStats(m_Program, s, m_strName);
  Fill();
  return true;
}

void TfrmProgramStats::Fill() {
  std::string strTotals = StatsTable(m_Stats);
  strTotals = strTotals.substr(0, strTotals.find("\n\n"));
  lblTotals->setText(Q(strTotals));
  QStringList notes;
  for (const std::string& n : m_Stats.Notes) notes << Q(n);
  lblNotes->setText(notes.join("\n"));
  lblNotes->setVisible(!notes.isEmpty());
  tblRows->setSortingEnabled(false);
  tblRows->setRowCount(0);
  auto add = [&](const TStatsRow& r) {
    const int n = tblRows->rowCount();
    tblRows->insertRow(n);
    auto* scope = new QTableWidgetItem(Localised(Q(r.strScope)));
    if (r.strScope == "sequence") scope->setData(Qt::UserRole + 1, r.nFirstLine);
    tblRows->setItem(n, 0, scope);
    if (r.strScope == "sequence")
      tblRows->setItem(n, 1, new TNumberItem(r.nSequence, QString::number(r.nSequence)));
    else
      tblRows->setItem(n, 1, new QTableWidgetItem(Q(r.strName)));
    tblRows->setItem(n, 2, new QTableWidgetItem(Q(r.strScope == "layer" ? r.strName : r.strLayer)));
    tblRows->setItem(n, 3, new TNumberItem(r.nSequences, QString::number(r.nSequences)));
    tblRows->setItem(n, 4, new TNumberItem(r.fCut, Fixed(r.fCut, 3)));
    tblRows->setItem(n, 5, new TNumberItem(r.fTravel, Fixed(r.fTravel, 3)));
    tblRows->setItem(n, 6, new TNumberItem(r.Moves(), QString::number(r.Moves())));
    tblRows->setItem(n, 7, new TNumberItem(r.fTime, Fixed(r.fTime, 2)));
  };
  for (const TStatsRow& r : m_Stats.Layers) add(r);
  for (const TStatsRow& r : m_Stats.Sequences) add(r);
  tblRows->setSortingEnabled(true);
  tblRows->resizeColumnsToContents();
}

void TfrmProgramStats::StoreOptions() {
  m_Registry.SetEstimateShowTime(chkShowTime->isChecked());
  m_Registry.SetCheckMotion(chkCheckMotion->isChecked());
  double f = 0;
  if (TryStrToFloat(S(edtMinCircle->text()), f) && std::isfinite(f) && f >= 0)
    m_Registry.SetCheckMinCircleRadius(f);
  else if (m_pPrompts)
    m_pPrompts->ShowMessage(EMessageKind::eWarning,
                            "The smallest circle radius must be a number of 0 or more; it was not changed.");
}

}  // namespace veltrane
