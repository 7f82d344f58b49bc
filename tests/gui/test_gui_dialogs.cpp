// The dialogs as the user sees them: the fields they show and what their buttons do.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/Dialogs.h"
#include "dxf/ImportDialogs.h"
#include "gui/GuiFixture.h"
#include "settings/VLTRegistry.h"

namespace veltrane::test {
namespace {

TEST(Dialogs, PlotOptionsShowsAndReturnsItsFields) {
  TfrmPlotOptions d;
  EXPECT_EQ(d.windowTitle(), "Plot Options");
  d.SetFields({"0", "1", "-2", "102", "-1"});
  d.edtYAxis->setText("4");
  TPlotOptionsFields f = d.Fields();
  EXPECT_EQ(f.strXAxis, "0");
  EXPECT_EQ(f.strYAxis, "4");
  EXPECT_EQ(f.strXMax, "102");
}

TEST(Dialogs, ShiftAndAxisStartFromTheirDefaults) {
  TfrmShift s;
  EXPECT_EQ(s.edtX->text(), "0");
  EXPECT_EQ(s.edtY->text(), "0");
  EXPECT_TRUE(s.rdAbsolute->isChecked());
  TfrmAxis a;
  EXPECT_EQ(a.Axis(), eYAxis);
  QTest::mouseClick(a.rdXAxis, Qt::LeftButton);
  EXPECT_EQ(a.Axis(), eXAxis);
}

TEST(Dialogs, RangeLimitsTakeEveryFieldOrNone) {
  TRangeLimits l;
  l.m_nXspanRight = 120.5;
  TScriptedPrompts p;
  TfrmSpan d(l, &p);
  EXPECT_EQ(d.windowTitle(), "Machine Range Limits");
  EXPECT_EQ(d.edtXRight->text(), "120.5");
  EXPECT_FALSE(d.edtXRight->isEnabled());  // the limits are off
  QTest::mouseClick(d.chkRangeEnable, Qt::LeftButton);
  EXPECT_TRUE(d.edtXRight->isEnabled());
  d.edtXLeft->setText("-5");
  d.edtYTop->setText("top");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Rejected);  // still open
  EXPECT_EQ(d.Limits(), l);
  ASSERT_EQ(p.Messages.size(), 1u);
  d.edtYTop->setText("80");
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_TRUE(d.Limits().m_bEnableSpan);
  EXPECT_EQ(d.Limits().m_nXspanLeft, -5);
  EXPECT_EQ(d.Limits().m_nYspanTop, 80);
}

TEST(Dialogs, SequenceOrderKeepsTheListOrder) {
  TfrmSequenceOrder d;
  EXPECT_EQ(d.windowTitle(), "Sequence Order");
  d.SetOrder({"1", "2", "3"});
  QListWidgetItem* it = d.lbSequences->takeItem(2);
  d.lbSequences->insertItem(0, it);
  EXPECT_EQ(d.Order(), (TStringList{"3", "1", "2"}));
  EXPECT_EQ(d.lbSequences->dragDropMode(), QAbstractItemView::InternalMove);
}

TEST(Dialogs, SelectLayerTakesAtMostFive) {
  TScriptedPrompts prompts;
  TfrmLayer d({"A", "B", "C", "D", "E", "F", "G"}, &prompts);
  EXPECT_EQ(d.windowTitle(), "Select Layer");
  EXPECT_TRUE(d.btnCancel->isDefault());
  for (int i = 0; i < 6; ++i) {
    d.lbLayers->setCurrentRow(0);
    QTest::mouseClick(d.btnAdd, Qt::LeftButton);
  }
  EXPECT_EQ(d.Seletedlayers->count(), 5);
  EXPECT_EQ(d.Selection().SelectedList(), (TStringList{"A", "B", "C", "D", "E"}));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].second, TLayerSelection::c_sLimitWarning);
  d.Seletedlayers->setCurrentRow(1);
  QTest::mouseClick(d.btnRemove, Qt::LeftButton);
  EXPECT_EQ(d.Selection().SelectedList(), (TStringList{"A", "C", "D", "E"}));
  EXPECT_EQ(d.lbLayers->item(d.lbLayers->count() - 1)->text(), "B");  // back at the end
}

TEST(Dialogs, ImportOptionsStoresWhatOkConfirms) {
  TVLTRegistry reg;
  reg.SetDXFInImportMatching("");
  reg.SetSplineMovesPerSection(0);
  TScriptedPrompts prompts;
  {
    TfrmImportOptions d(reg, &prompts);
    EXPECT_EQ(d.windowTitle(), "Import Options");
    EXPECT_TRUE(d.rdDefault->isChecked());
    const TImportOptionsFields shown = LoadImportOptions(reg);
    EXPECT_EQ(d.edtRelative->text().toStdString(), shown.strRelativePercent);
    EXPECT_EQ(d.edtMoves->text().toStdString(), shown.strMovesPerSection);
    EXPECT_EQ(d.cbConvertUnits->currentText(), "drawing units");  // options beyond the design: off
    EXPECT_FALSE(d.chkPaperSpace->isChecked());
    EXPECT_FALSE(d.chkInnerFirst->isChecked());
    EXPECT_FALSE(d.chkOptimiseTravel->isChecked());
    EXPECT_FALSE(d.chkRemoveDuplicates->isChecked());
    EXPECT_FALSE(d.chkCheckCutOrder->isChecked());
    EXPECT_FALSE(d.chkCurvesAsArcs->isChecked());
    d.rdAbsolute->setChecked(true);
    d.edtAbsolute->setText("0.25");
    d.edtMoves->setText("12");
    d.cbConvertUnits->setCurrentIndex(1);
    d.chkPaperSpace->setChecked(true);
    d.chkInnerFirst->setChecked(true);
    d.chkOptimiseTravel->setChecked(true);
    d.chkRemoveDuplicates->setChecked(true);
    d.chkCheckCutOrder->setChecked(true);
    d.chkCurvesAsArcs->setChecked(true);
    d.edtArcTolerance->setText("0.02");
    d.chkFitPolylines->setChecked(true);
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  }
  EXPECT_DOUBLE_EQ(reg.DXFInImportAbsoluteMatch(), 0.25);
  EXPECT_EQ(reg.SplineMovesPerSection(), 12);
  EXPECT_EQ(reg.DXFInConvertUnits(), 1);
  EXPECT_TRUE(reg.DXFInIncludePaperSpace());
  EXPECT_TRUE(reg.DXFInCutInnerFirst());
  EXPECT_TRUE(reg.DXFInOptimiseTravel());
  EXPECT_TRUE(reg.DXFInRemoveDuplicates());
  EXPECT_TRUE(reg.CheckCutOrder());
  EXPECT_DOUBLE_EQ(reg.DXFInArcTolerance(), 0.02);
  EXPECT_TRUE(reg.DXFInFitPolylines());
  {
    TfrmImportOptions d(reg, &prompts);  // shown as stored
    EXPECT_EQ(d.cbConvertUnits->currentText(), "millimetres");
    EXPECT_TRUE(d.chkPaperSpace->isChecked());
    EXPECT_TRUE(d.chkInnerFirst->isChecked());
  }
  reg.SetDXFInConvertUnits(0);
  reg.SetDXFInIncludePaperSpace(false);
  reg.SetDXFInCutInnerFirst(false);
  reg.SetDXFInOptimiseTravel(false);
  reg.SetDXFInRemoveDuplicates(false);
  reg.SetCheckCutOrder(false);
  reg.SetDXFInArcTolerance(0);
  reg.SetDXFInFitPolylines(false);
  {
    TfrmImportOptions d(reg, &prompts);
    EXPECT_TRUE(d.rdAbsolute->isChecked());
    d.edtMoves->setText("many");
    d.accept();  // refused: the dialog stays open
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_FALSE(prompts.Messages.empty());
  }
  EXPECT_EQ(reg.SplineMovesPerSection(), 12);
  reg.SetDXFInImportMatching("");
  reg.SetSplineMovesPerSection(0);
}

TEST(Dialogs, AboutShowsNameAndVersion) {
  TfrmAbout d;
  EXPECT_EQ(d.windowTitle(), "About Veltrane");
  auto* ver = d.findChild<QLabel*>("lblVersion");
  ASSERT_NE(ver, nullptr);
  EXPECT_TRUE(ver->text().contains(VELTRANE_VERSION));
  bool bOk = false;
  for (QPushButton* b : d.findChildren<QPushButton*>()) bOk |= b->text() == "&OK";
  EXPECT_TRUE(bOk);
  EXPECT_FALSE(SplashPixmap().isNull());
}

}  // namespace
}  // namespace veltrane::test
