// Shared pieces of the window tests: scripted answers to every question the window asks,
// and a shown main window on a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppPrompts.h"
#include "app/PaintBox.h"
#include "app/RichEditPlus.h"
#include "app/frmMain.h"
#include "settings/VLTRegistry.h"
#include "tools/AutoCodeInsert.h"

namespace veltrane::test {

class TTestPrompts : public IAppPrompts {
 public:
  // Messages and questions as the core's scripted prompts answer them.
  void ShowMessage(EMessageKind evKind, const std::string& strText) override {
    Scripted.ShowMessage(evKind, strText);
  }
  EAnswer Ask(const std::string& strQuestion, bool bAllowCancel) override {
    return Scripted.Ask(strQuestion, bAllowCancel);
  }
  bool OpenFileName(const std::string& strTitle, const std::string&,
                    std::string& strFileName) override {
    Titles.push_back(strTitle);
    if (OpenNames.empty()) return false;
    auto n = OpenNames.front();
    OpenNames.pop_front();
    if (!n) return false;
    strFileName = *n;
    return true;
  }
  bool SaveFileName(const std::string& strTitle, const std::string&,
                    std::string& strFileName) override {
    Titles.push_back(strTitle);
    if (SaveNames.empty()) return false;
    auto n = SaveNames.front();
    SaveNames.pop_front();
    if (!n) return false;
    strFileName = *n;
    return true;
  }
  bool EditPlotOptions(TPlotOptionsFields& Fields) override {
    ShownPlotOptions = Fields;
    return PlotOptions ? PlotOptions(Fields) : false;
  }
  bool OrderSequences(TStringList& Order) override {
    ShownOrder = Order;
    return NewOrder ? NewOrder(Order) : false;
  }
  void ImportOptions(TVLTRegistry&) override { ++nImportOptions; }
  void About() override { ++nAbout; }
  // The value, shift and axis dialogs answer from one script of texts; none: Cancel.
  bool EnterValue(const std::string& strCaption, const std::string& strMessage,
                  std::string& strText) override {
    Titles.push_back(strCaption);
    ShownTexts.push_back(strMessage + "|" + strText);
    if (Values.empty()) return false;
    strText = Values.front();
    Values.pop_front();
    return true;
  }
  bool EnterShift(const std::string& strCaption, std::string& strX, std::string& strY,
                  bool& bRelative) override {
    Titles.push_back(strCaption);
    ShownTexts.push_back(strX + "," + strY + (bRelative ? " relative" : " absolute"));
    if (Values.size() < 3) return false;
    strX = Values[0];
    strY = Values[1];
    bRelative = Values[2] == "relative";
    Values.erase(Values.begin(), Values.begin() + 3);
    return true;
  }
  bool ChooseAxis(const std::string& strCaption, EAxis& evAxis) override {
    Titles.push_back(strCaption);
    if (Values.empty()) return false;
    evAxis = Values.front() == "x" ? eXAxis : eYAxis;
    Values.pop_front();
    return true;
  }
  bool EditRangeLimits(TRangeLimits& Limits) override {
    ShownLimits = Limits;
    if (!NewLimits) return false;
    Limits = *NewLimits;
    return true;
  }
  bool DrawingFileName(const std::string&, std::string& strFileName) override {
    Titles.push_back("Open DXF File");
    if (DrawingNames.empty()) return false;
    auto n = DrawingNames.front();
    DrawingNames.pop_front();
    if (!n) return false;
    strFileName = *n;
    return true;
  }
  bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) override {
    ShownLayers = DrawingLayers;
    if (!Layers) return false;
    SelectedLayers = *Layers;
    return true;
  }
  bool PathToolSettings(EPathOp, const std::string& strCaption, TPathRequest& Request) override {
    Titles.push_back(strCaption);
    if (PathRequests.empty()) return false;
    Request = PathRequests.front();
    PathRequests.pop_front();
    return true;
  }
  bool TabSettings(const std::string& strCaption, TTabRequest& Request) override {
    Titles.push_back(strCaption);
    TabInitials.push_back(Request);
    if (TabRequests.empty()) return false;
    Request = TabRequests.front();
    TabRequests.pop_front();
    return true;
  }
  bool EditTextEncoding(TTextEncodingFields& Fields) override {
    Titles.push_back("Text Encoding");
    ShownEncoding = Fields;
    if (!EncodingAnswer) return false;
    Fields = *EncodingAnswer;
    return true;
  }
  bool BatchCopySettings(double mVal[2][2]) override {
    Titles.push_back("Batch Copy");
    if (!BatchValues) return false;
    for (int i = 0; i < 4; ++i) mVal[i / 2][i % 2] = (*BatchValues)[static_cast<size_t>(i)];
    return true;
  }
  void ShowProgramCheck(const TStringList& Report) override { CheckReports.push_back(Report); }
  // Progress: every report is kept (stage and share); the user cancels at report number
  // CancelAtReport (counted from 1 over all the work), never when it is 0.
  std::unique_ptr<IProgress> StartProgress(const std::string& strTitle, bool bCancel) override {
    struct TScripted : IProgress {
      TTestPrompts* p;
      bool bCancel;
      TScripted(TTestPrompts* pPrompts, bool b) : p(pPrompts), bCancel(b) {}
      bool Report(const std::string& strStage, double fDone) override {
        p->ProgressReports.emplace_back(strStage, fDone);
        return !bCancel || p->CancelAtReport == 0 || static_cast<int>(p->ProgressReports.size()) < p->CancelAtReport;
      }
    };
    Titles.push_back(std::string(bCancel ? "Progress: " : "Progress without Cancel: ") + strTitle);
    return std::make_unique<TScripted>(this, bCancel);
  }
  std::vector<std::pair<std::string, double>> ProgressReports;
  int CancelAtReport = 0;
  void ProgramStatistics(const TStringList&, const std::string& strName, TVLTRegistry&,
                         const std::function<void(int32_t)>& SelectLine) override {
    Titles.push_back("Program Statistics: " + strName);
    if (StatsSelectLine >= 0) SelectLine(StatsSelectLine);
  }
  bool AutoCodeInsert(const TLayerContent& LayersShown, TVLTRegistry& Registry) override {
    ShownAutoCodeLayers = LayersShown;
    if (!AutoCodeTexts) return false;
    WriteAutoCodeTexts(Registry, *AutoCodeTexts, TAutoCodeTexts::c_nSlots);
    return true;
  }
  bool EditControllerLink(TLinkFields& Fields) override {
    ShownLink = Fields;
    if (!NewLink) return false;
    Fields = *NewLink;
    return true;
  }
  bool SaveTableFileName(const TTableSaveDialog& Dialog, const std::string&, std::string& strFileName) override {
    Titles.push_back(Dialog.strTitle);
    if (TableNames.empty()) return false;
    auto n = TableNames.front();
    TableNames.pop_front();
    if (!n) return false;
    strFileName = *n;
    return true;
  }

  TScriptedPrompts Scripted;
  decltype(Scripted.Messages)& Messages = Scripted.Messages;
  decltype(Scripted.Questions)& Questions = Scripted.Questions;
  decltype(Scripted.Answers)& Answers = Scripted.Answers;
  std::vector<std::string> Titles;
  std::deque<std::optional<std::string>> OpenNames, SaveNames;
  std::function<bool(TPlotOptionsFields&)> PlotOptions;
  std::function<bool(TStringList&)> NewOrder;
  TPlotOptionsFields ShownPlotOptions;
  TStringList ShownOrder;
  int nImportOptions = 0, nAbout = 0;
  std::deque<std::string> Values;
  std::vector<std::string> ShownTexts;
  std::optional<TRangeLimits> NewLimits;
  TRangeLimits ShownLimits;
  std::deque<std::optional<std::string>> DrawingNames;
  std::optional<TStringList> Layers;
  TStringList ShownLayers;
  std::deque<TPathRequest> PathRequests;
  std::deque<TTabRequest> TabRequests;
  int32_t StatsSelectLine = -1;
  TTextEncodingFields ShownEncoding;
  std::optional<TTextEncodingFields> EncodingAnswer;  // the line the statistics dialog's double click selects
  std::vector<TTabRequest> TabInitials;  // what the tabs dialog was shown with
  std::optional<std::array<double, 4>> BatchValues;  // X offset, X repeat, Y offset, Y repeat
  std::vector<TStringList> CheckReports;
  std::optional<TAutoCodeTexts> AutoCodeTexts;  // stored on "&Insert"; none: "&Close"
  TLayerContent ShownAutoCodeLayers;
  std::optional<TLinkFields> NewLink;
  TLinkFields ShownLink;
  std::deque<std::optional<std::string>> TableNames;
};

// Every window test starts from the settings a first start sees.
inline void FirstStartSettings() {
  TVLTRegistry reg;
  reg.SetXAxis(0);
  reg.SetYAxis(1);
  reg.SetLookAheadMove(false);
  reg.SetLookAheadMoveCirc(false);
  reg.SetLookAheadStartSequence(false);
  WriteRangeLimits(TRangeLimits{}, reg);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    FirstStartSettings();
    m_pFrm = std::make_unique<TfrmMain>(&m_Prompts);
    m_pFrm->resize(1000, 700);
    m_pFrm->show();
    QApplication::processEvents();
  }
  void TearDown() override { m_pFrm.reset(); }

  TfrmMain& Frm() { return *m_pFrm; }
  TRichEditPlus& Editor() { return *m_pFrm->memProgram(); }
  QString Path(const QString& strName) const { return m_Dir.filePath(strName); }
  QString WriteFile(const QString& strName, const QByteArray& data) {
    QFile f(Path(strName));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return Path(strName);
  }
  static QByteArray ReadFile(const QString& strPath) {
    QFile f(strPath);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }
  void Open(const QString& strPath) {
    QString strError;
    ASSERT_TRUE(m_pFrm->OpenProgram(strPath, strError)) << strError.toStdString();
    QApplication::processEvents();
  }
  void OpenExample() { Open(VELTRANE_SOURCE_DIR "/examples/bracket.bas"); }
  std::string Line(int n) const {
    return m_pFrm->memProgram()->Line(n).toStdString();
  }
  // The editor's text and the program's lines are always the same.
  void ExpectInSync() {
    const auto& p = m_pFrm->Document().m_Program;
    QStringList lines;
    for (const auto& l : p) lines << QString::fromLatin1(l.c_str());
    EXPECT_EQ(m_pFrm->memProgram()->toPlainText(), lines.join('\n'));
  }
  // Puts the caret at the start of a line as a click of the user would.
  void ClickLine(int nLine, int nColumn = 0);
  // The pixel in the middle of the display segment that ends at entry i.
  QPoint SegmentMiddle(size_t i) const {
    const auto& d = m_pFrm->Document().m_DisplayList;
    return QPoint((d[i - 1].Point.X + d[i].Point.X) / 2, (d[i - 1].Point.Y + d[i].Point.Y) / 2);
  }
  // The first display entry of a program line (not its first point).
  size_t EntryOfLine(int nLine) const {
    const auto& d = m_pFrm->Document().m_DisplayList;
    for (size_t i = 1; i < d.size(); ++i)
      if (d[i].nLine == nLine) return i;
    return 0;
  }

  QTemporaryDir m_Dir;
  TTestPrompts m_Prompts;
  std::unique_ptr<TfrmMain> m_pFrm;
};

}  // namespace veltrane::test
