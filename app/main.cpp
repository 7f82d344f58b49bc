// veltrane: the desktop application. An optional argument names a program to open.
#include <QApplication>
#include <QMessageBox>

#include "app/frmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Veltrane");
  veltrane::TfrmMain frmMain;
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    QString strError;
    if (!frmMain.OpenProgram(args[1], strError)) QMessageBox::warning(&frmMain, "Veltrane", strError);
  }
  frmMain.show();
  return QApplication::exec();
}
