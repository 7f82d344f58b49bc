// The main window's dialogs: plot options, the sequence sorter, the import's layer
// choice and import options, the about box, and the splash window.
#pragma once

#include <QDialog>
#include <QSplashScreen>

#include "dxf/ImportDialogs.h"
#include "model/Records.h"
#include "model/UserPrompts.h"
#include "plot/PlotOptions.h"

class QLineEdit;
class QListWidget;
class QRadioButton;
class QPushButton;

namespace veltrane {

class TVLTRegistry;

class TfrmPlotOptions : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmPlotOptions(QWidget* parent = nullptr);
  void SetFields(const TPlotOptionsFields& f);
  TPlotOptionsFields Fields() const;
  QLineEdit *edtXAxis, *edtYAxis, *edtXMin, *edtXMax, *edtYMin;
};

class TfrmSequenceOrder : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSequenceOrder(QWidget* parent = nullptr);
  void SetOrder(const TStringList& Order);
  TStringList Order() const;
  QListWidget* lbSequences;
};

class TfrmLayer : public QDialog {
  Q_OBJECT
 public:
  TfrmLayer(const TStringList& DrawingLayers, IUserPrompts* pPrompts, QWidget* parent = nullptr);
  const TLayerSelection& Selection() const { return m_Selection; }
  void AddSelected();     // the add button
  void RemoveSelected();  // the remove button
  QListWidget *lbLayers, *Seletedlayers;
  QPushButton *btnAdd, *btnRemove, *btnOK, *btnCancel;

 private:
  void Refill();
  TLayerSelection m_Selection;
  IUserPrompts* m_pPrompts;
};

class TfrmImportOptions : public QDialog {
  Q_OBJECT
 public:
  TfrmImportOptions(TVLTRegistry& Registry, IUserPrompts* pPrompts, QWidget* parent = nullptr);
  TImportOptionsFields Fields() const;
  void accept() override;  // stores the fields; a refused field keeps the dialog open
  QRadioButton *rdDefault, *rdRelative, *rdAbsolute;
  QLineEdit *edtRelative, *edtAbsolute, *edtMoves;

 private:
  TVLTRegistry& m_Registry;
  IUserPrompts* m_pPrompts;
};

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

// The product's image, drawn rather than stored.
QPixmap SplashPixmap();

}  // namespace veltrane
