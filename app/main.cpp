// veltrane: the desktop application. An optional argument names a program to open;
// "--screenshot FILE" saves a picture of the whole window once it is shown, then quits.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>

#include "app/Dialogs.h"
#include "app/frmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString strProgram, strScreenshot;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == "--screenshot" && i + 1 < args.size())
      strScreenshot = args[++i];
    else if (!args[i].startsWith("--"))
      strProgram = args[i];
  }

  // The splash stays on screen for one second while the window is made.
  QSplashScreen splash(veltrane::SplashPixmap());
  splash.show();
  QElapsedTimer shown;
  shown.start();
  QApplication::processEvents();

  QApplication::setApplicationName("Veltrane");
  veltrane::TfrmMain frmMain;
  while (shown.elapsed() < 1000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(20);
  }
  frmMain.show();
  splash.finish(&frmMain);
  // Opened once the window has its size, so that the plot fits the program.
  if (!strProgram.isEmpty()) {
    QString strError;
    if (!frmMain.OpenProgram(strProgram, strError)) QMessageBox::warning(&frmMain, "Veltrane", strError);
  }

  if (!strScreenshot.isEmpty()) {
    QTimer::singleShot(500, &frmMain, [&] {
      frmMain.FlushPendingWork();
      QPixmap pm = frmMain.grab();
      if (!pm.save(strScreenshot, "PNG")) {
        fprintf(stderr, "veltrane: cannot write %s\n", qPrintable(strScreenshot));
        QApplication::exit(1);
        return;
      }
      printf("screenshot written to %s\n", qPrintable(strScreenshot));
      QApplication::exit(0);
    });
  }
  return QApplication::exec();
}
