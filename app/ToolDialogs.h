// The program tools' dialogs: the program check's report, automatic code insertion and
// the controller link configuration.
#pragma once

#include <QDialog>
#include <array>

#include "model/Records.h"
#include "tools/AutoCodeInsert.h"
#include "tools/ControllerLink.h"

class QComboBox;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace veltrane {

class TVLTRegistry;

// "Program Check": the report and OK.
class TfrmProgramCheck : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProgramCheck(QWidget* parent = nullptr);
  void SetReport(const TStringList& Report);
  QPlainTextEdit* memReport;
  QPushButton* btnOK;
  bool m_bChecking = true;  // until OK is pressed
};

// "Automatic Code Insertion": a "Program" tab and one tab per layer of the last import.
class TfrmAutoCodeInsert : public QDialog {
  Q_OBJECT
 public:
  TfrmAutoCodeInsert(const TLayerContent& Layers, TVLTRegistry& Registry, QWidget* parent = nullptr);
  void InitLayerList();
  void InitStringList();
  // "&Insert": stores every text (an empty one deletes its value) and confirms.
  void btnOKClick();
  QTabBar* LayerTab;
  QGroupBox *grpProgram, *grpSequence, *grpLayer;
  QStackedWidget* m_pPages;
  QPlainTextEdit *memProgramStart, *memProgramEnd;
  std::array<QPlainTextEdit*, c_nAutoCodeKinds> memLayer{};
  QPushButton *btnInsert, *btnClose;

 private:
  void LayerTabChanging(int nLeaving);
  void LayerTabChange(int nNew);
  TLayerContent m_Layers;
  TVLTRegistry& m_Registry;
  TAutoCodeTexts m_Texts;
  int m_nShownTab = 0;
};

// "Controller Link Configuration".
class TfrmControllerLink : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmControllerLink(const TLinkFields& Fields, QWidget* parent = nullptr);
  TLinkFields Fields() const;
  void RefreshParameterGroup();
  void SlowDefaults();
  void FastDefaults();
  QLineEdit* edtLoader;
  QPushButton* btnBrowse;
  QComboBox* cbCommsLink;
  QCheckBox* chkLoadWhileRunning;
  QGroupBox *grpSerial, *grpUSB, *grpPCI, *grpEthernet;
  QComboBox *cbSerialPort, *cbBaudRate, *cbDataBits, *cbParity, *cbStopBits;
  QLineEdit *edtUSBChannel, *edtPCIBoard, *edtHost, *edtTcpPort;
  QPushButton *btnSlowDefaults, *btnFastDefaults;

 private:
  void Browse();
};

}  // namespace veltrane
