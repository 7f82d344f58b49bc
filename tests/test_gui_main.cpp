// The window tests run on the offscreen platform, each process with its own settings file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "gui/GuiFixture.h"

namespace veltrane::test {

void WindowTest::ClickLine(int nLine, int nColumn) {
  TRichEditPlus& e = Editor();
  const QRect r = e.cursorRect(TTextPos{nLine, nColumn});
  QPoint p = r.center() + QPoint(1, 0);
  QMouseEvent press(QEvent::MouseButtonPress, p, e.viewport()->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, p, e.viewport()->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(e.viewport(), &press);
  QApplication::sendEvent(e.viewport(), &release);
  QApplication::processEvents();
}

}  // namespace veltrane::test

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests run as parallel processes: each gets a settings file of its own.
  QTemporaryDir settings;
  if (settings.isValid()) qputenv("VELTRANE_SETTINGS", settings.filePath("settings.conf").toLocal8Bit());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
