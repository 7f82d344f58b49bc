// The path tools' dialogs: tool radius compensation, fillet corners, lead in/out, add at
// end, batch copy and tabs. Each reads its texts through the core's rules and refuses, staying
// open, when a text cannot be used.
#pragma once

#include <QDialog>

#include "model/UserPrompts.h"
#include "transform/PathCommands.h"
#include "transform/Tabs.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTableWidget;

namespace veltrane {

class TfrmCompensation : public QDialog {
  Q_OBJECT
 public:
  TfrmCompensation(IUserPrompts* pPrompts, QWidget* parent = nullptr);
  void accept() override;
  TPathRequest Request() const;
  QLineEdit* edtCompensation;
  QCheckBox* chkAbsoluteMode;
  QRadioButton *rdLeft, *rdRight;
  bool m_bAbsoluteMode = false;
  double m_compensation = 0;

 private:
  IUserPrompts* m_pPrompts;
};

class TfrmFilletCorners : public QDialog {
  Q_OBJECT
 public:
  TfrmFilletCorners(IUserPrompts* pPrompts, QWidget* parent = nullptr);
  void accept() override;
  const TPathRequest& Request() const { return m_Request; }
  QLineEdit *edtAngle, *edtRadius;

 private:
  IUserPrompts* m_pPrompts;
  TPathRequest m_Request;
};

class TfrmLeadInOut : public QDialog {
  Q_OBJECT
 public:
  TfrmLeadInOut(IUserPrompts* pPrompts, QWidget* parent = nullptr);
  void accept() override;
  const TPathRequest& Request() const { return m_Request; }
  QLineEdit *edtLeadIn, *edtLeadOut;
  QRadioButton *rdInClockwise, *rdInAntiClockwise, *rdOutClockwise, *rdOutAntiClockwise;

 private:
  IUserPrompts* m_pPrompts;
  TPathRequest m_Request;
};

class TfrmAddEnd : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAddEnd(QWidget* parent = nullptr);
  TPathRequest Request() const;
  QLineEdit* edtAddEnd;
};

// "Batch Copy": offsets and repeats in X and Y.
class TBatCopy : public QDialog {
  Q_OBJECT
 public:
  TBatCopy(IUserPrompts* pPrompts, QWidget* parent = nullptr);
  void accept() override;
  QTableWidget* sgBatCopy;
  double mVal[2][2] = {{0, 0}, {0, 0}};  // rows X, Y; columns offset, repeat

 private:
  IUserPrompts* m_pPrompts;
};

// "Add Tabs": tabs per path or a spacing, their length, and whether they may sit on
// arcs. It starts from the choices stored last time and stores what OK confirms.
class TfrmAddTabs : public QDialog {
  Q_OBJECT
 public:
  TfrmAddTabs(IUserPrompts* pPrompts, const TTabRequest& Initial, QWidget* parent = nullptr);
  void accept() override;
  const TTabRequest& Request() const { return m_Request; }
  QRadioButton *rdCount, *rdSpacing;
  QLineEdit *edtCount, *edtSpacing, *edtLength;
  QCheckBox* chkOnArcs;

 private:
  IUserPrompts* m_pPrompts;
  TTabRequest m_Request;
};

}  // namespace veltrane
