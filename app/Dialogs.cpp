// The dialogs.
#include "app/Dialogs.h"
#include "app/TextCodec.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/DialogParts.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

using namespace dialogparts;

TfrmEnterValue::TfrmEnterValue(QWidget* parent) : QDialog(parent) {
  setObjectName("frmEnterValue");
  lblMessage = new QLabel(this);
  lblMessage->setObjectName("lblMessage");
  edtValue = Edit(this, "edtValue");
  auto* v = new QVBoxLayout(this);
  v->addWidget(lblMessage);
  v->addWidget(edtValue);
  v->addWidget(OkCancel(this));
}

TfrmShift::TfrmShift(QWidget* parent) : QDialog(parent) {
  setObjectName("frmShift");
  auto* to = new QGroupBox("Shift start to", this);
  to->setObjectName("grpShiftTo");
  auto* f = new QFormLayout(to);
  f->addRow("X", edtX = Edit(to, "edtX"));
  f->addRow("Y", edtY = Edit(to, "edtY"));
  auto* type = new QGroupBox("Shift Type", this);
  type->setObjectName("grpShiftType");
  auto* t = new QVBoxLayout(type);
  t->addWidget(rdRelative = new QRadioButton("Relative", type));
  t->addWidget(rdAbsolute = new QRadioButton("Absolute", type));
  rdRelative->setObjectName("rdRelative");
  rdAbsolute->setObjectName("rdAbsolute");
  edtX->setText("0");
  edtY->setText("0");
  rdAbsolute->setChecked(true);
  auto* v = new QVBoxLayout(this);
  auto* h = new QHBoxLayout;
  h->addWidget(to);
  h->addWidget(type);
  v->addLayout(h);
  v->addWidget(OkCancel(this));
}

TfrmAxis::TfrmAxis(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAxis");
  auto* g = new QGroupBox("Mirror about ", this);
  g->setObjectName("grpMirrorAbout");
  auto* l = new QVBoxLayout(g);
  l->addWidget(rdXAxis = new QRadioButton("&X Axis", g));
  l->addWidget(rdYAxis = new QRadioButton("&Y Axis", g));
  rdXAxis->setObjectName("rdXAxis");
  rdYAxis->setObjectName("rdYAxis");
  rdYAxis->setChecked(true);
  auto* v = new QVBoxLayout(this);
  v->addWidget(g);
  v->addWidget(OkCancel(this));
}

EAxis TfrmAxis::Axis() const { return rdXAxis->isChecked() ? eXAxis : eYAxis; }

TfrmSpan::TfrmSpan(const TRangeLimits& Limits, IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_Limits(Limits), m_pPrompts(pPrompts) {
  setObjectName("frmSpan");
  setWindowTitle("Machine Range Limits");
  chkRangeEnable = new QCheckBox("Use range setting", this);
  chkRangeEnable->setObjectName("chkRangeEnable");
  auto* g = new QGroupBox("Range", this);
  g->setObjectName("grpRange");
  auto* f = new QFormLayout(g);
  f->addRow("X+", edtXRight = Edit(g, "edtXRight"));
  f->addRow("X-", edtXLeft = Edit(g, "edtXLeft"));
  f->addRow("Y+", edtYTop = Edit(g, "edtYTop"));
  f->addRow("Y-", edtYBottom = Edit(g, "edtYBottom"));
  auto* v = new QVBoxLayout(this);
  v->addWidget(chkRangeEnable);
  v->addWidget(g);
  v->addWidget(OkCancel(this));
  const TRangeFields r = RangeFieldsFrom(Limits);
  chkRangeEnable->setChecked(r.bEnable);
  edtXRight->setText(Q(r.strXRight));
  edtXLeft->setText(Q(r.strXLeft));
  edtYTop->setText(Q(r.strYTop));
  edtYBottom->setText(Q(r.strYBottom));
  connect(chkRangeEnable, &QCheckBox::toggled, this, [this] { chkRangeEnableClick(); });
  chkRangeEnableClick();
}

void TfrmSpan::chkRangeEnableClick() {
  for (QLineEdit* e : {edtXRight, edtXLeft, edtYTop, edtYBottom}) e->setEnabled(chkRangeEnable->isChecked());
}

void TfrmSpan::accept() {
  TRangeFields r;
  r.bEnable = chkRangeEnable->isChecked();
  r.strXRight = S(edtXRight->text());
  r.strXLeft = S(edtXLeft->text());
  r.strYTop = S(edtYTop->text());
  r.strYBottom = S(edtYBottom->text());
  if (RangeLimitsFromFields(r, m_Limits, m_pPrompts)) QDialog::accept();
}

TfrmPlotOptions::TfrmPlotOptions(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPlotOptions");
  setWindowTitle("Plot Options");
  auto* axes = new QGroupBox("Axes", this);
  auto* fa = new QFormLayout(axes);
  fa->addRow("X", edtXAxis = Edit(axes, "edtXAxis"));
  fa->addRow("Y", edtYAxis = Edit(axes, "edtYAxis"));
  auto* ext = new QGroupBox("Extents", this);
  auto* fe = new QFormLayout(ext);
  fe->addRow("X min", edtXMin = Edit(ext, "edtXMin"));
  fe->addRow("X max", edtXMax = Edit(ext, "edtXMax"));
  fe->addRow("Y min", edtYMin = Edit(ext, "edtYMin"));
  auto* v = new QVBoxLayout(this);
  auto* h = new QHBoxLayout;
  h->addWidget(axes);
  h->addWidget(ext);
  v->addLayout(h);
  v->addWidget(OkCancel(this));
}

void TfrmPlotOptions::SetFields(const TPlotOptionsFields& f) {
  edtXAxis->setText(Q(f.strXAxis));
  edtYAxis->setText(Q(f.strYAxis));
  edtXMin->setText(Q(f.strXMin));
  edtXMax->setText(Q(f.strXMax));
  edtYMin->setText(Q(f.strYMin));
}

TPlotOptionsFields TfrmPlotOptions::Fields() const {
  return TPlotOptionsFields{S(edtXAxis->text()), S(edtYAxis->text()), S(edtXMin->text()), S(edtXMax->text()),
                            S(edtYMin->text())};
}

TfrmSequenceOrder::TfrmSequenceOrder(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSequenceOrder");
  setWindowTitle("Sequence Order");
  lbSequences = new QListWidget(this);
  lbSequences->setObjectName("lbSequences");
  lbSequences->setDragDropMode(QAbstractItemView::InternalMove);
  lbSequences->setDefaultDropAction(Qt::MoveAction);
  lbSequences->setToolTip("Drag entries in list to change order");
  auto* v = new QVBoxLayout(this);
  v->addWidget(new QLabel("Drag entries in list to change order", this));
  v->addWidget(lbSequences);
  v->addWidget(OkCancel(this));
  resize(240, 420);
}

void TfrmSequenceOrder::SetOrder(const TStringList& Order) {
  lbSequences->clear();
  for (const auto& s : Order) lbSequences->addItem(Q(s));
}

TStringList TfrmSequenceOrder::Order() const {
  TStringList r;
  for (int i = 0; i < lbSequences->count(); ++i) r.push_back(S(lbSequences->item(i)->text()));
  return r;
}

TfrmLayer::TfrmLayer(const TStringList& DrawingLayers, IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_Selection(DrawingLayers), m_pPrompts(pPrompts) {
  setObjectName("frmLayer");
  setWindowTitle("Select Layer");
  lbLayers = new QListWidget(this);
  lbLayers->setObjectName("lbLayers");
  Seletedlayers = new QListWidget(this);
  Seletedlayers->setObjectName("Seletedlayers");
  btnAdd = new QPushButton(">", this);
  btnAdd->setObjectName("btnAdd");
  btnRemove = new QPushButton("<", this);
  btnRemove->setObjectName("btnRemove");
  auto* g = new QGridLayout;
  g->addWidget(new QLabel("Layers in drawing", this), 0, 0);
  g->addWidget(new QLabel("Seleted  Layers", this), 0, 2);
  g->addWidget(lbLayers, 1, 0);
  auto* mid = new QVBoxLayout;
  mid->addStretch();
  mid->addWidget(btnAdd);
  mid->addWidget(btnRemove);
  mid->addStretch();
  g->addLayout(mid, 1, 1);
  g->addWidget(Seletedlayers, 1, 2);
  auto* v = new QVBoxLayout(this);
  v->addLayout(g);
  QDialogButtonBox* box = OkCancel(this, true);
  btnOK = box->findChild<QPushButton*>("btnOK");
  btnCancel = box->findChild<QPushButton*>("btnCancel");
  v->addWidget(box);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmLayer::AddSelected);
  connect(btnRemove, &QPushButton::clicked, this, &TfrmLayer::RemoveSelected);
  connect(lbLayers, &QListWidget::itemDoubleClicked, this, [this] { AddSelected(); });
  connect(Seletedlayers, &QListWidget::itemDoubleClicked, this, [this] { RemoveSelected(); });
  Refill();
}

void TfrmLayer::Refill() {
  lbLayers->clear();
  Seletedlayers->clear();
  for (const auto& s : m_Selection.DrawingList()) lbLayers->addItem(Q(s));
  for (const auto& s : m_Selection.SelectedList()) Seletedlayers->addItem(Q(s));
}

void TfrmLayer::AddSelected() {
  int n = lbLayers->currentRow();
  if (n < 0) return;
  if (m_Selection.Add(n, m_pPrompts)) Refill();
}

void TfrmLayer::RemoveSelected() {
  int n = Seletedlayers->currentRow();
  if (n < 0) return;
  if (m_Selection.Remove(n)) Refill();
}

TfrmImportOptions::TfrmImportOptions(TVLTRegistry& Registry, IUserPrompts* pPrompts, QWidget* parent)
    : QDialog(parent), m_Registry(Registry), m_pPrompts(pPrompts) {
  setObjectName("frmImportOptions");
  setWindowTitle("Import Options");
  auto* match = new QGroupBox("Endpoint Matching", this);
  auto* gm = new QGridLayout(match);
  rdDefault = new QRadioButton("Default", match);
  rdDefault->setObjectName("rdDefault");
  rdRelative = new QRadioButton("Relative", match);
  rdRelative->setObjectName("rdRelative");
  rdAbsolute = new QRadioButton("Absolute", match);
  rdAbsolute->setObjectName("rdAbsolute");
  edtRelative = Edit(match, "edtRelative");
  edtAbsolute = Edit(match, "edtAbsolute");
  gm->addWidget(rdDefault, 0, 0);
  gm->addWidget(rdRelative, 1, 0);
  gm->addWidget(edtRelative, 2, 0);
  gm->addWidget(new QLabel("% of span", match), 2, 1);
  gm->addWidget(rdAbsolute, 3, 0);
  gm->addWidget(edtAbsolute, 4, 0);
  gm->addWidget(new QLabel("drawing units", match), 4, 1);
  auto* spline = new QGroupBox("Spline Approximation", this);
  auto* fs = new QFormLayout(spline);
  fs->addRow("Moves per Spline Section", edtMoves = Edit(spline, "edtMoves"));
  chkCurvesAsArcs = new QCheckBox("Curves as arcs within", spline);
  chkCurvesAsArcs->setObjectName("chkCurvesAsArcs");
  fs->addRow(chkCurvesAsArcs, edtArcTolerance = Edit(spline, "edtArcTolerance"));
  chkFitPolylines = new QCheckBox("Also runs of short lines in polylines", spline);
  chkFitPolylines->setObjectName("chkFitPolylines");
  fs->addRow(chkFitPolylines);
  auto* units = new QGroupBox("Units and Layouts", this);
  auto* fu = new QFormLayout(units);
  cbConvertUnits = new QComboBox(units);
  cbConvertUnits->setObjectName("cbConvertUnits");
  cbConvertUnits->addItems({"drawing units", "millimetres", "inches"});
  fu->addRow("Convert to", cbConvertUnits);
  auto checkBox = [](QGroupBox* group, QFormLayout* form, const char* name, const char* caption) {
    auto* c = new QCheckBox(caption, group);
    c->setObjectName(name);
    form->addRow(c);
    return c;
  };
  chkPaperSpace = checkBox(units, fu, "chkPaperSpace", "Include paper space");
  auto* order = new QGroupBox("Cut Order", this);
  auto* fo = new QFormLayout(order);
  chkInnerFirst = checkBox(order, fo, "chkInnerFirst", "Cut inner paths first");
  chkOptimiseTravel = checkBox(order, fo, "chkOptimiseTravel", "Optimise travel");
  chkRemoveDuplicates = checkBox(order, fo, "chkRemoveDuplicates", "Remove duplicate elements");
  chkCheckCutOrder = checkBox(order, fo, "chkCheckCutOrder", "Check cut order in Check Program");
  auto* text = new QGroupBox("Text", this);
  auto* ft = new QFormLayout(text);
  chkTextAsPaths = checkBox(text, ft, "chkTextAsPaths", "Text as paths");
  ft->addRow("Own fonts folder", edtFontFolder = Edit(text, "edtFontFolder"));
  auto* v = new QVBoxLayout(this);
  v->addWidget(match);
  v->addWidget(spline);
  v->addWidget(units);
  v->addWidget(order);
  v->addWidget(text);
  v->addWidget(OkCancel(this));

  TImportOptionsFields f = LoadImportOptions(m_Registry);
  cbConvertUnits->setCurrentIndex(static_cast<int>(f.evConvertUnits));
  chkPaperSpace->setChecked(f.bIncludePaperSpace);
  chkInnerFirst->setChecked(f.bCutInnerFirst);
  chkOptimiseTravel->setChecked(f.bOptimiseTravel);
  chkRemoveDuplicates->setChecked(f.bRemoveDuplicates);
  chkCheckCutOrder->setChecked(f.bCheckCutOrder);
  (f.evMatching == EImportMatching::eAbsolute   ? rdAbsolute
   : f.evMatching == EImportMatching::eRelative ? rdRelative
                                                : rdDefault)
      ->setChecked(true);
  edtRelative->setText(Q(f.strRelativePercent));
  edtAbsolute->setText(Q(f.strAbsolute));
  edtMoves->setText(Q(f.strMovesPerSection));
  chkCurvesAsArcs->setChecked(f.bCurvesAsArcs);
  edtArcTolerance->setText(Q(f.strArcTolerance));
  chkFitPolylines->setChecked(f.bFitPolylines);
  chkTextAsPaths->setChecked(f.bTextAsPaths);
  edtFontFolder->setText(Q(f.strFontFolder));
}

TImportOptionsFields TfrmImportOptions::Fields() const {
  TImportOptionsFields f;
  f.evMatching = rdRelative->isChecked()   ? EImportMatching::eRelative
                 : rdAbsolute->isChecked() ? EImportMatching::eAbsolute
                                           : EImportMatching::eDefault;
  f.strRelativePercent = S(edtRelative->text());
  f.strAbsolute = S(edtAbsolute->text());
  f.strMovesPerSection = S(edtMoves->text());
  f.bCurvesAsArcs = chkCurvesAsArcs->isChecked();
  f.strArcTolerance = S(edtArcTolerance->text());
  f.bFitPolylines = chkFitPolylines->isChecked();
  f.evConvertUnits = static_cast<EDXFConvertUnits>(std::clamp(cbConvertUnits->currentIndex(), 0, 2));
  f.bIncludePaperSpace = chkPaperSpace->isChecked();
  f.bCutInnerFirst = chkInnerFirst->isChecked();
  f.bOptimiseTravel = chkOptimiseTravel->isChecked();
  f.bRemoveDuplicates = chkRemoveDuplicates->isChecked();
  f.bCheckCutOrder = chkCheckCutOrder->isChecked();
  f.bTextAsPaths = chkTextAsPaths->isChecked();
  f.strFontFolder = S(edtFontFolder->text());
  return f;
}

void TfrmImportOptions::accept() {
  if (StoreImportOptions(Fields(), m_Registry, m_pPrompts)) QDialog::accept();
}

TfrmTextEncoding::TfrmTextEncoding(const TTextEncodingFields& f, QWidget* parent) : QDialog(parent), m_Fields(f) {
  setObjectName("frmTextEncoding");
  setWindowTitle("Text Encoding");
  auto* form = new QFormLayout;
  auto* current = new QLabel(Q(f.strCurrent), this);
  current->setObjectName("lblCurrentEncoding");
  form->addRow("This program:", current);
  cbLegacy = new QComboBox(this);
  cbLegacy->setObjectName("cbLegacyEncoding");
  size_t n = 0;
  const TEncodingChoice* choices = LegacyEncodings(n);
  for (size_t i = 0; i < n; ++i) {
    cbLegacy->addItem(QString::fromUtf8(choices[i].strCaption), QString::fromLatin1(choices[i].strName));
    if (f.strLegacy == choices[i].strName) cbLegacy->setCurrentIndex(static_cast<int>(i));
  }
  form->addRow("Files that are not UTF-8 are read as:", cbLegacy);
  chkNewFilesLegacy = new QCheckBox("Write new and imported programs in this code page (else UTF-8)", this);
  chkNewFilesLegacy->setObjectName("chkNewFilesLegacy");
  chkNewFilesLegacy->setChecked(f.bNewFilesLegacy);
  chkConvert = new QCheckBox("Convert this program to UTF-8", this);
  chkConvert->setObjectName("chkConvertToUtf8");
  chkConvert->setEnabled(f.strCurrent.rfind("UTF-8", 0) != 0);
  auto* v = new QVBoxLayout(this);
  v->addLayout(form);
  v->addWidget(chkNewFilesLegacy);
  v->addWidget(chkConvert);
  v->addWidget(OkCancel(this));
}

TTextEncodingFields TfrmTextEncoding::Fields() const {
  TTextEncodingFields f = m_Fields;
  f.strLegacy = cbLegacy->currentData().toString().toStdString();
  f.bNewFilesLegacy = chkNewFilesLegacy->isChecked();
  f.bConvertToUtf8 = chkConvert->isEnabled() && chkConvert->isChecked();
  return f;
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("About Veltrane");
  auto* v = new QVBoxLayout(this);
  auto* img = new QLabel(this);
  img->setPixmap(SplashPixmap().scaledToWidth(320, Qt::SmoothTransformation));
  v->addWidget(img);
  auto* name = new QLabel("<b>Veltrane</b>", this);
  name->setObjectName("lblProduct");
  v->addWidget(name);
  auto* ver = new QLabel("Version " VELTRANE_VERSION, this);
  ver->setObjectName("lblVersion");
  v->addWidget(ver);
  auto* date = new QLabel(QString("Built ") + __DATE__, this);
  date->setObjectName("lblBuildDate");
  v->addWidget(date);
  v->addWidget(new QLabel("Drawings to motion programs, for cutting, dispensing\n"
                          "and engraving machines. Copyright the Veltrane developers.",
                          this));
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  v->addWidget(ok, 0, Qt::AlignRight);
}

QPixmap SplashPixmap() {
  QPixmap pm(480, 270);
  pm.fill(QColor(16, 32, 64));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A tool path: a rounded plate with a slot, drawn with direction marks.
  QPainterPath path;
  path.addRoundedRect(QRectF(60, 60, 220, 140), 24, 24);
  path.addEllipse(QPointF(120, 130), 22, 22);
  path.addRoundedRect(QRectF(170, 110, 80, 40), 20, 20);
  p.setPen(QPen(QColor(0, 255, 255), 2));
  p.drawPath(path);
  p.setPen(QPen(QColor(192, 192, 192), 1, Qt::DashLine));
  p.drawLine(20, 250, 60, 190);
  p.setPen(QPen(QColor(0, 200, 0), 1));
  p.drawEllipse(QPointF(20, 250), 5, 5);
  p.setPen(QColor(255, 255, 255));
  QFont f("Sans", 28, QFont::Bold);
  p.setFont(f);
  p.drawText(QRect(290, 80, 180, 60), Qt::AlignLeft | Qt::AlignVCenter, "Veltrane");
  p.setFont(QFont("Sans", 10));
  p.drawText(QRect(292, 140, 180, 60), Qt::AlignLeft | Qt::TextWordWrap, "Drawings in,\nmotion programs out");
  return pm;
}

}  // namespace veltrane
