// The main window: a program file in a plain editor.
#include "app/frmMain.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>

#include "model/TextFile.h"

namespace veltrane {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Veltrane");
  m_memProgram = new QPlainTextEdit(this);
  m_memProgram->setObjectName("memProgram");
  m_memProgram->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_memProgram->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setCentralWidget(m_memProgram);
  resize(900, 650);
}

bool TfrmMain::OpenProgram(const QString& strFileName, QString& strError) {
  try {
    // Program text is single-byte text; Latin-1 keeps every byte as it is.
    m_Document.m_Program = LoadLines(strFileName.toLocal8Bit().toStdString());
  } catch (const EFileError& e) {
    strError = QString::fromLocal8Bit(e.what());
    return false;
  }
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(m_Document.m_Program.size()));
  for (const auto& l : m_Document.m_Program) lines << QString::fromLatin1(l.data(), static_cast<qsizetype>(l.size()));
  m_memProgram->setPlainText(lines.join('\n'));
  m_strFileName = strFileName;
  setWindowTitle("Veltrane - " + QFileInfo(strFileName).fileName());
  return true;
}

}  // namespace veltrane
