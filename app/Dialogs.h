// The main window's dialogs: plot options, the sequence sorter, the import's layer
// choice and import options, the about box, and the splash window.
#pragma once

#include <QDialog>
#include <QSplashScreen>
#include <string>

class QCheckBox;
class QComboBox;

#include "dxf/ImportDialogs.h"
#include "model/Records.h"
#include "model/UserPrompts.h"
#include "plot/PlotOptions.h"
#include "tools/RangeLimits.h"

class QLineEdit;
class QListWidget;
class QRadioButton;
class QPushButton;
class QCheckBox;
class QComboBox;
class QLabel;

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
  QComboBox* cbConvertUnits;      // "Convert to": drawing units, millimetres, inches
  QCheckBox* chkPaperSpace;       // "Include paper space"
  QCheckBox* chkInnerFirst;       // "Cut inner paths first"
  QCheckBox* chkOptimiseTravel;   // "Optimise travel"
  QCheckBox* chkRemoveDuplicates; // "Remove duplicate elements"
  QCheckBox* chkCheckCutOrder;    // "Check cut order in Check Program"
  QCheckBox* chkCurvesAsArcs;     // "Curves as arcs within"
  QLineEdit* edtArcTolerance;
  QCheckBox* chkFitPolylines;     // "Also runs of short lines in polylines"
  QCheckBox* chkTextAsPaths;      // "Text as paths"
  QLineEdit* edtFontFolder;       // "Own fonts folder"

 private:
  TVLTRegistry& m_Registry;
  IUserPrompts* m_pPrompts;
};

// One value: a message, a text field, OK and Cancel.
class TfrmEnterValue : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmEnterValue(QWidget* parent = nullptr);
  QLabel* lblMessage;
  QLineEdit* edtValue;
};

// "Shift start to" X and Y, relative or absolute; reset to 0 and Absolute when made.
class TfrmShift : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmShift(QWidget* parent = nullptr);
  QLineEdit *edtX, *edtY;
  QRadioButton *rdRelative, *rdAbsolute;
};

// The mirror axis; Y unless X is chosen.
class TfrmAxis : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAxis(QWidget* parent = nullptr);
  EAxis Axis() const;
  QRadioButton *rdXAxis, *rdYAxis;
};

// "Machine Range Limits": the fields are taken only when every one holds a number.
class TfrmSpan : public QDialog {
  Q_OBJECT
 public:
  TfrmSpan(const TRangeLimits& Limits, IUserPrompts* pPrompts, QWidget* parent = nullptr);
  const TRangeLimits& Limits() const { return m_Limits; }
  void accept() override;
  QCheckBox* chkRangeEnable;
  QLineEdit *edtXRight, *edtXLeft, *edtYTop, *edtYBottom;

 private:
  void chkRangeEnableClick();
  TRangeLimits m_Limits;
  IUserPrompts* m_pPrompts;
};

// "Text Encoding": the program's encoding, the legacy code page taken for files that are
// not UTF-8, whether new programs are written in it, and converting the program to UTF-8.
struct TTextEncodingFields {
  std::string strCurrent;  // the program's encoding, as shown
  std::string strLegacy;   // the legacy code page's name
  bool bNewFilesLegacy = false;
  bool bConvertToUtf8 = false;
};

class TfrmTextEncoding : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmTextEncoding(const TTextEncodingFields& Fields, QWidget* parent = nullptr);
  TTextEncodingFields Fields() const;
  QComboBox* cbLegacy;
  QCheckBox *chkNewFilesLegacy, *chkConvert;

 private:
  TTextEncodingFields m_Fields;
};

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

// The product's image, drawn rather than stored.
QPixmap SplashPixmap();

}  // namespace veltrane
