// TfrmMain: the main window. For now it shows one program file in a plain editor; the
// plot, the sequence tools and the menus arrive with the application shell.
#pragma once

#include <QMainWindow>
#include <QString>

#include "model/ProgramDocument.h"

class QPlainTextEdit;

namespace veltrane {

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);

  // Loads a program file into the editor; false with a message in strError on failure.
  bool OpenProgram(const QString& strFileName, QString& strError);

  QPlainTextEdit* memProgram() const { return m_memProgram; }
  const TProgramDocument& Document() const { return m_Document; }
  const QString& FileName() const { return m_strFileName; }

 private:
  QPlainTextEdit* m_memProgram = nullptr;
  TProgramDocument m_Document;
  QString m_strFileName;
};

}  // namespace veltrane
