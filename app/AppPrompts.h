// What the main window asks the user: messages, questions, file names and the choices of
// its dialogs. The application answers with real dialogs; tests script the answers.
#pragma once

#include <string>

#include "model/Records.h"
#include "model/UserPrompts.h"
#include "plot/PlotOptions.h"

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

 private:
  QWidget* m_pParent;
};

}  // namespace veltrane
