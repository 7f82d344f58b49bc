// The main window under the offscreen platform: it opens a program into its editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "app/frmMain.h"

using namespace veltrane;

TEST(MainWindow, OpensAProgramIntoTheEditor) {
  TfrmMain frm;
  EXPECT_EQ(frm.windowTitle(), "Veltrane");
  QString strError;
  ASSERT_TRUE(frm.OpenProgram(VELTRANE_SOURCE_DIR "/examples/bracket.bas", strError)) << strError.toStdString();
  frm.show();
  QApplication::processEvents();
  EXPECT_EQ(frm.windowTitle(), "Veltrane - bracket.bas");
  EXPECT_EQ(frm.memProgram()->document()->blockCount(),
            static_cast<int>(frm.Document().m_Program.size()));
  EXPECT_EQ(frm.memProgram()->document()->findBlockByNumber(5).text(), "    MOVE(80,0)");
}

TEST(MainWindow, MissingFileLeavesTheEditorAlone) {
  TfrmMain frm;
  frm.memProgram()->setPlainText("kept");
  QString strError;
  EXPECT_FALSE(frm.OpenProgram("/nonexistent/x.bas", strError));
  EXPECT_FALSE(strError.isEmpty());
  EXPECT_EQ(frm.memProgram()->toPlainText(), "kept");
  EXPECT_TRUE(frm.FileName().isEmpty());
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
