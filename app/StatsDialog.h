// "Program Statistics": the defaults of the time estimate, the totals and a sortable
// table of every layer and sequence (a double click on a sequence selects it), and the
// options of the motion check and of the time shown in the graph status bar.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "model/Records.h"
#include "tools/ProgramStats.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace veltrane {

class IUserPrompts;
class TVLTRegistry;

class TfrmProgramStats : public QDialog {
  Q_OBJECT
 public:
  // SelectLine is called with the first line of the sequence double-clicked.
  TfrmProgramStats(const TStringList& Program, const std::string& strName, TVLTRegistry& Registry,
                   IUserPrompts* pPrompts, std::function<void(int32_t nLine)> SelectLine,
                   QWidget* parent = nullptr);
  // Reads the defaults, stores them and computes again; false (after a message) when a
  // field holds no number in range.
  bool Recalculate();
  const TProgramStats& Stats() const { return m_Stats; }

  QLineEdit *edtSpeed, *edtAccel, *edtDecel, *edtTravelSpeed, *edtBlend, *edtPierce, *edtMinCircle;
  QCheckBox *chkShowTime, *chkCheckMotion;
  QLabel *lblTotals, *lblNotes;
  QTableWidget* tblRows;

 private:
  void Fill();
  void StoreOptions();
  const TStringList& m_Program;
  std::string m_strName;
  TVLTRegistry& m_Registry;
  IUserPrompts* m_pPrompts;
  std::function<void(int32_t)> m_SelectLine;
  TProgramStats m_Stats;
};

}  // namespace veltrane
