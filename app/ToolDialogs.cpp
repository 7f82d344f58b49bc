// The program tools' dialogs.
#include "app/ToolDialogs.h"

#include "app/Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/DialogParts.h"
#include "app/FileNames.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

using namespace dialogparts;

TfrmProgramCheck::TfrmProgramCheck(QWidget* parent) : QDialog(parent) {
  setObjectName("frmProgramCheck");
  setWindowTitle("Program Check");
  memReport = new QPlainTextEdit(this);
  memReport->setObjectName("memReport");
  memReport->setReadOnly(true);
  memReport->setMinimumSize(420, 220);
  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, [this] {
    m_bChecking = false;
    accept();
  });
  auto* v = new QVBoxLayout(this);
  v->addWidget(memReport, 1);
  auto* h = new QHBoxLayout;
  h->addStretch(1);
  h->addWidget(btnOK);
  v->addLayout(h);
}

void TfrmProgramCheck::SetReport(const TStringList& Report) {
  QStringList lines;
  // Each line in the chosen language; what it quotes from the program stays as it is.
  for (const std::string& l : Report) lines << Localised(QString::fromUtf8(l.c_str()));
  memReport->setPlainText(lines.join('\n'));
}

namespace {

QPlainTextEdit* TextField(QWidget* parent, const char* strName) {
  auto* e = new QPlainTextEdit(parent);
  e->setObjectName(strName);
  e->setMinimumHeight(60);
  e->setMinimumWidth(220);  // room for a statement or two beside the widest label
  return e;
}

std::string Text(const QPlainTextEdit* e) {
  // Stored with CR LF between lines.
  return S(e->toPlainText().replace('\n', "\r\n"));
}

QString Shown(const std::string& s) {
  TStringList lines = TextLines(s);
  QStringList q;
  for (const std::string& l : lines) q << Q(l);
  return q.join('\n');
}

}  // namespace

TfrmAutoCodeInsert::TfrmAutoCodeInsert(const TLayerContent& Layers, TVLTRegistry& Registry, QWidget* parent)
    : QDialog(parent), m_Layers(Layers), m_Registry(Registry) {
  setObjectName("frmAutoCodeInsert");
  setWindowTitle("Automatic Code Insertion");
  LayerTab = new QTabBar(this);
  LayerTab->setObjectName("LayerTab");
  grpProgram = new QGroupBox("Program", this);
  grpProgram->setObjectName("grpProgram");
  auto* fp = new QFormLayout(grpProgram);
  fp->addRow("Add at Start", memProgramStart = TextField(grpProgram, "memProgramStart"));
  fp->addRow("Add at End", memProgramEnd = TextField(grpProgram, "memProgramEnd"));
  grpSequence = new QGroupBox("Sequence", this);
  grpSequence->setObjectName("grpSequence");
  auto* fs = new QFormLayout(grpSequence);
  fs->addRow("Add at Start", memLayer[eSequenceStartCode] = TextField(grpSequence, "memSequenceStart"));
  fs->addRow("Add after Initial Position",
             memLayer[eSequenceInitialCode] = TextField(grpSequence, "memSequenceInitial"));
  fs->addRow("Add at End", memLayer[eSequenceEndCode] = TextField(grpSequence, "memSequenceEnd"));
  grpLayer = new QGroupBox("Layer", this);
  grpLayer->setObjectName("grpLayer");
  auto* fl = new QFormLayout(grpLayer);
  fl->addRow("Add at Start", memLayer[eLayerStartCode] = TextField(grpLayer, "memLayerStart"));
  fl->addRow("Add at Each Movement", memLayer[eLayerEachCode] = TextField(grpLayer, "memLayerEach"));
  fl->addRow("Add at End", memLayer[eLayerEndCode] = TextField(grpLayer, "memLayerEnd"));
  btnInsert = new QPushButton("&Insert", this);
  btnInsert->setObjectName("btnInsert");
  btnClose = new QPushButton("&Close", this);
  btnClose->setObjectName("btnClose");
  connect(btnInsert, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
  // The program's texts and a layer's share one place of one size: changing the tab never
  // changes the dialog's size.
  m_pPages = new QStackedWidget(this);
  m_pPages->addWidget(grpProgram);
  auto* layerPage = new QWidget(this);
  auto* h = new QHBoxLayout(layerPage);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(grpSequence);
  h->addWidget(grpLayer);
  m_pPages->addWidget(layerPage);
  auto* v = new QVBoxLayout(this);
  v->addWidget(LayerTab);
  v->addWidget(m_pPages, 1);
  auto* b = new QHBoxLayout;
  b->addStretch(1);
  b->addWidget(btnInsert);
  b->addWidget(btnClose);
  v->addLayout(b);
  InitLayerList();
  connect(LayerTab, &QTabBar::currentChanged, this, [this](int n) {
    LayerTabChanging(m_nShownTab);
    LayerTabChange(n);
  });
}

void TfrmAutoCodeInsert::InitLayerList() {
  LayerTab->addTab("Program");
  const int n = std::clamp(m_Layers.nUseLayer, 0, TAutoCodeTexts::c_nSlots);
  for (int i = 0; i < n; ++i) LayerTab->addTab("Layer:" + Q(m_Layers.sLayerName[i]));
  InitStringList();
}

void TfrmAutoCodeInsert::InitStringList() {
  m_Texts = ReadAutoCodeTexts(m_Registry);
  memProgramStart->setPlainText(Shown(m_Texts.strProgramStart));
  memProgramEnd->setPlainText(Shown(m_Texts.strProgramEnd));
  LayerTabChange(LayerTab->currentIndex() < 0 ? 0 : LayerTab->currentIndex());
}

void TfrmAutoCodeInsert::LayerTabChanging(int nLeaving) {
  if (nLeaving < 1) return;
  auto& slot = m_Texts.Layer[static_cast<size_t>(nLeaving - 1)];
  for (int k = 0; k < c_nAutoCodeKinds; ++k) slot[static_cast<size_t>(k)] = Text(memLayer[static_cast<size_t>(k)]);
}

void TfrmAutoCodeInsert::LayerTabChange(int nNew) {
  m_nShownTab = nNew;
  const bool bProgram = nNew < 1;
  m_pPages->setCurrentIndex(bProgram ? 0 : 1);
  if (bProgram) return;
  const auto& slot = m_Texts.Layer[static_cast<size_t>(nNew - 1)];
  for (int k = 0; k < c_nAutoCodeKinds; ++k)
    memLayer[static_cast<size_t>(k)]->setPlainText(Shown(slot[static_cast<size_t>(k)]));
}

void TfrmAutoCodeInsert::btnOKClick() {
  LayerTabChanging(m_nShownTab);
  m_Texts.strProgramStart = Text(memProgramStart);
  m_Texts.strProgramEnd = Text(memProgramEnd);
  WriteAutoCodeTexts(m_Registry, m_Texts, std::clamp(m_Layers.nUseLayer, 0, TAutoCodeTexts::c_nSlots));
  accept();
}

TfrmControllerLink::TfrmControllerLink(const TLinkFields& f, QWidget* parent) : QDialog(parent) {
  setObjectName("frmControllerLink");
  setWindowTitle("Controller Link Configuration");
  auto combo = [this](QWidget* p, const char* strName, std::initializer_list<const char*> items,
                      const std::string& strValue) {
    auto* c = new QComboBox(p);
    c->setObjectName(strName);
    c->setEditable(true);
    for (const char* s : items) c->addItem(s);
    c->setCurrentText(Q(strValue));
    return c;
  };
  auto* top = new QFormLayout;
  auto* lr = new QHBoxLayout;
  edtLoader = Edit(this, "edtLoader");
  edtLoader->setMinimumWidth(320);  // a whole path shows
  edtLoader->setText(Q(f.strLoader));
  btnBrowse = new QPushButton("...", this);
  btnBrowse->setObjectName("btnBrowse");
  lr->addWidget(edtLoader, 1);
  lr->addWidget(btnBrowse);
  top->addRow("Loader Executable:", lr);
  cbCommsLink = combo(this, "cbCommsLink", {"Serial", "USB", "PCI", "Ethernet"}, f.strLinkType);
  top->addRow("Communications Link:", cbCommsLink);
  chkLoadWhileRunning = new QCheckBox("Load While Programs are Running", this);
  chkLoadWhileRunning->setObjectName("chkLoadWhileRunning");
  chkLoadWhileRunning->setChecked(f.bLoadWhileRunning);

  grpSerial = new QGroupBox("Serial Parameters", this);
  grpSerial->setObjectName("grpSerial");
  auto* fs = new QFormLayout(grpSerial);
  auto* port = new QHBoxLayout;
  port->addWidget(new QLabel("COM", grpSerial));
  port->addWidget(cbSerialPort = combo(grpSerial, "cbSerialPort", {"1", "2", "3", "4", "5", "6", "7", "8", "9"},
                                       f.strPort));
  fs->addRow("Port:", port);
  fs->addRow("Baud Rate:", cbBaudRate = combo(grpSerial, "cbBaudRate",
                                               {"1200", "2400", "4800", "9600", "19200", "38400"}, f.strBaud));
  fs->addRow("Data Bits:", cbDataBits = combo(grpSerial, "cbDataBits", {"7", "8"}, f.strDataBits));
  fs->addRow("Parity:", cbParity = combo(grpSerial, "cbParity", {"even", "odd", ""}, f.strParity));
  fs->addRow("Stop Bits:", cbStopBits = combo(grpSerial, "cbStopBits", {"1", "2"}, f.strStopBits));
  auto* sb = new QHBoxLayout;
  btnSlowDefaults = new QPushButton("Slow Defaults", grpSerial);
  btnSlowDefaults->setObjectName("btnSlowDefaults");
  btnFastDefaults = new QPushButton("Fast Defaults", grpSerial);
  btnFastDefaults->setObjectName("btnFastDefaults");
  sb->addWidget(btnSlowDefaults);
  sb->addWidget(btnFastDefaults);
  fs->addRow(sb);
  grpUSB = new QGroupBox("USB Parameters", this);
  grpUSB->setObjectName("grpUSB");
  auto* fu = new QFormLayout(grpUSB);
  fu->addRow("Channel", edtUSBChannel = Edit(grpUSB, "edtUSBChannel"));
  edtUSBChannel->setText(Q(f.strUSBChannel));
  edtUSBChannel->setReadOnly(true);
  grpPCI = new QGroupBox("PCI Parameters", this);
  grpPCI->setObjectName("grpPCI");
  auto* fc = new QFormLayout(grpPCI);
  fc->addRow("Board:", edtPCIBoard = Edit(grpPCI, "edtPCIBoard"));
  edtPCIBoard->setText(Q(f.strPCIBoard));
  grpEthernet = new QGroupBox("Ethernet Parameters", this);
  grpEthernet->setObjectName("grpEthernet");
  auto* fe = new QFormLayout(grpEthernet);
  fe->addRow("Host:", edtHost = Edit(grpEthernet, "edtHost"));
  fe->addRow("tcp port:", edtTcpPort = Edit(grpEthernet, "edtTcpPort"));
  edtHost->setText(Q(f.strHost));
  edtTcpPort->setText(Q(f.strTcpPort));

  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addWidget(chkLoadWhileRunning);
  for (QGroupBox* g : {grpSerial, grpUSB, grpPCI, grpEthernet}) v->addWidget(g);
  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton("OK", QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton("Cancel", QDialogButtonBox::RejectRole);
  ok->setObjectName("btnOK");
  cancel->setObjectName("btnCancel");
  ok->setDefault(true);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  v->addWidget(box);
  connect(cbCommsLink, &QComboBox::currentTextChanged, this, [this] { RefreshParameterGroup(); });
  connect(btnSlowDefaults, &QPushButton::clicked, this, [this] { SlowDefaults(); });
  connect(btnFastDefaults, &QPushButton::clicked, this, [this] { FastDefaults(); });
  connect(btnBrowse, &QPushButton::clicked, this, [this] { Browse(); });
  RefreshParameterGroup();
}

void TfrmControllerLink::RefreshParameterGroup() {
  const QString t = cbCommsLink->currentText();
  grpSerial->setVisible(t == "Serial");
  grpUSB->setVisible(t == "USB");
  grpPCI->setVisible(t == "PCI");
  grpEthernet->setVisible(t == "Ethernet");
}

void TfrmControllerLink::SlowDefaults() {
  cbBaudRate->setCurrentText("9600");
  cbDataBits->setCurrentText("7");
  cbParity->setCurrentText("even");
  cbStopBits->setCurrentText("2");
}

void TfrmControllerLink::FastDefaults() {
  cbBaudRate->setCurrentText("38400");
  cbDataBits->setCurrentText("8");
  cbParity->setCurrentText("even");
  cbStopBits->setCurrentText("1");
}

void TfrmControllerLink::Browse() {
  const QString current = edtLoader->text();
#ifdef _WIN32
  const QString filter = "Executable Files (*.exe)";
#else
  const QString filter = "Executable Files (*)";
#endif
  const QString start = QFileInfo::exists(current) ? current : QString();
  const QString picked = QFileDialog::getOpenFileName(this, "Loader Executable", start, filter);
  if (picked.isEmpty()) return;
  edtLoader->setText(QFileInfo::exists(picked) ? picked : QString());
}

TLinkFields TfrmControllerLink::Fields() const {
  TLinkFields f;
  f.strLoader = CoreFileName(edtLoader->text());
  f.strLinkType = S(cbCommsLink->currentText());
  f.bLoadWhileRunning = chkLoadWhileRunning->isChecked();
  f.strPort = S(cbSerialPort->currentText());
  f.strBaud = S(cbBaudRate->currentText());
  f.strDataBits = S(cbDataBits->currentText());
  f.strParity = S(cbParity->currentText());
  f.strStopBits = S(cbStopBits->currentText());
  f.strUSBChannel = S(edtUSBChannel->text());
  f.strPCIBoard = S(edtPCIBoard->text());
  f.strHost = S(edtHost->text());
  f.strTcpPort = S(edtTcpPort->text());
  return f;
}

}  // namespace veltrane
