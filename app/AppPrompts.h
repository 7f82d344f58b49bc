// What the main window asks the user: messages, questions, file names and the choices of
// its dialogs. The application answers with real dialogs; tests script the answers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/Dialogs.h"
#include "model/Progress.h"
#include "model/Records.h"
#include "model/UserPrompts.h"
#include "plot/PlotOptions.h"
#include "tools/ControllerLink.h"
#include "tools/RangeLimits.h"
#include "tools/TableExport.h"
#include "transform/PathCommands.h"
#include "transform/Tabs.h"

class QWidget;

namespace veltrane {

class TVLTRegistry;

class IAppPrompts : public IUserPrompts {
 public:
  // A file to open (it must exist) or to save to; false when cancelled.
  virtual bool OpenFileName(const std::string& strTitle, const std::string& strInitialFolder,
                            std::string& strFileName) = 0;
  virtual bool SaveFileName(const std::string& strTitle, const std::string& strInitialFolder,
                            std::string& strFileName) = 0;
  // The plot options; false when cancelled.
  virtual bool EditPlotOptions(TPlotOptionsFields& Fields) = 0;
  // The sequence sorter; false when cancelled.
  virtual bool OrderSequences(TStringList& Order) = 0;
  // The import options dialog, which stores what it confirms.
  virtual void ImportOptions(TVLTRegistry& Registry) = 0;
  // The about box.
  virtual void About() = 0;
  // The value dialog: caption, message and the text, which it changes; false on Cancel.
  virtual bool EnterValue(const std::string& strCaption, const std::string& strMessage,
                          std::string& strText) = 0;
  // The shift dialog, which starts at 0, 0 and Absolute; false on Cancel.
  virtual bool EnterShift(const std::string& strCaption, std::string& strX, std::string& strY,
                          bool& bRelative) = 0;
  // The axis dialog; false on Cancel.
  virtual bool ChooseAxis(const std::string& strCaption, EAxis& evAxis) = 0;
  // The range limits dialog; false on Cancel.
  virtual bool EditRangeLimits(TRangeLimits& Limits) = 0;
  // A drawing to import or append (it must exist); false when cancelled.
  virtual bool DrawingFileName(const std::string& strInitialFolder, std::string& strFileName) = 0;
  // The layer dialog: up to five of the drawing's layers; false when cancelled.
  virtual bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) = 0;
  // The dialog of a path tool (compensation, fillet, lead in/out, add at end) under the
  // caption given; false on Cancel.
  virtual bool PathToolSettings(EPathOp evOp, const std::string& strCaption, TPathRequest& Request) = 0;
  // The text encoding dialog; false on Cancel.
  virtual bool EditTextEncoding(TTextEncodingFields& Fields) = 0;
  // The batch-copy grid: rows X and Y, columns offset and repeat; false on Cancel.
  virtual bool BatchCopySettings(double mVal[2][2]) = 0;
  // The tabs dialog under the caption given, starting from Request's choices; false on
  // Cancel.
  virtual bool TabSettings(const std::string& strCaption, TTabRequest& Request) = 0;
  // The program check's report window; returns when the user has pressed OK.
  virtual void ShowProgramCheck(const TStringList& Report) = 0;
  // The program statistics dialog, which stores its choices; SelectLine selects a
  // sequence by its first line.
  virtual void ProgramStatistics(const TStringList& Program, const std::string& strName, TVLTRegistry& Registry,
                                 const std::function<void(int32_t nLine)>& SelectLine) = 0;
  // The automatic code insertion dialog, which stores its texts on "&Insert"; false on
  // "&Close".
  virtual bool AutoCodeInsert(const TLayerContent& Layers, TVLTRegistry& Registry) = 0;
  // The controller link configuration; false on Cancel.
  virtual bool EditControllerLink(TLinkFields& Fields) = 0;
  // The save dialog of a table export; false when cancelled.
  virtual bool SaveTableFileName(const TTableSaveDialog& Dialog, const std::string& strInitialFolder,
                                 std::string& strFileName) = 0;
  // Long work: a progress dialog that shows itself when the work takes more than about
  // half a second, and goes with the object returned; with Cancel unless the work has
  // gone too far to be taken back.
  virtual std::unique_ptr<IProgress> StartProgress(const std::string& strTitle, bool bCancel = true) = 0;
};

// The real dialogs, owned by the window given.
class TQtAppPrompts : public IAppPrompts {
 public:
  explicit TQtAppPrompts(QWidget* pParent) : m_pParent(pParent) {}
  void ShowMessage(EMessageKind evKind, const std::string& strText) override;
  EAnswer Ask(const std::string& strQuestion, bool bAllowCancel) override;
  bool OpenFileName(const std::string& strTitle, const std::string& strInitialFolder,
                    std::string& strFileName) override;
  bool SaveFileName(const std::string& strTitle, const std::string& strInitialFolder,
                    std::string& strFileName) override;
  bool EditPlotOptions(TPlotOptionsFields& Fields) override;
  bool OrderSequences(TStringList& Order) override;
  void ImportOptions(TVLTRegistry& Registry) override;
  void About() override;
  bool EnterValue(const std::string& strCaption, const std::string& strMessage,
                  std::string& strText) override;
  bool EnterShift(const std::string& strCaption, std::string& strX, std::string& strY,
                  bool& bRelative) override;
  bool ChooseAxis(const std::string& strCaption, EAxis& evAxis) override;
  bool EditRangeLimits(TRangeLimits& Limits) override;
  bool DrawingFileName(const std::string& strInitialFolder, std::string& strFileName) override;
  bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) override;
  bool PathToolSettings(EPathOp evOp, const std::string& strCaption, TPathRequest& Request) override;
  bool BatchCopySettings(double mVal[2][2]) override;
  bool EditTextEncoding(TTextEncodingFields& Fields) override;
  bool TabSettings(const std::string& strCaption, TTabRequest& Request) override;
  void ShowProgramCheck(const TStringList& Report) override;
  void ProgramStatistics(const TStringList& Program, const std::string& strName, TVLTRegistry& Registry,
                         const std::function<void(int32_t nLine)>& SelectLine) override;
  bool AutoCodeInsert(const TLayerContent& Layers, TVLTRegistry& Registry) override;
  bool EditControllerLink(TLinkFields& Fields) override;
  bool SaveTableFileName(const TTableSaveDialog& Dialog, const std::string& strInitialFolder,
                         std::string& strFileName) override;
  std::unique_ptr<IProgress> StartProgress(const std::string& strTitle, bool bCancel = true) override;

 private:
  QWidget* m_pParent;
};

}  // namespace veltrane
