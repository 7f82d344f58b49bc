// Typing benchmark: what a keystroke costs in a big program in the window. For each size
// it opens a program of sequences, puts the caret in a move near the middle, types
// characters into a number and deletes them again, and prints the medians of the time
// from the key to the window being idle again (the editor, the program lines, the plot),
// for keys within a line and for Return (a new line).
//
//   QT_QPA_PLATFORM=offscreen veltrane-bench-typing [LINES ...]   (default 10000 300000 1000000)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/RichEditPlus.h"
#include "app/frmMain.h"

using namespace veltrane;

namespace {

QByteArray MakeProgram(size_t nLines) {
  QByteArray text;
  std::vector<std::string> lines{"'$Layer0:L0"};
  for (int k = 1; lines.size() + 1 < nLines; ++k) {
    for (const std::string& l :
         {"'$StartSeq(" + std::to_string(k) + ")", "cadseq" + std::to_string(k) + ":",
          "    MOVEABS(" + std::to_string(k % 300 * 20) + "," + std::to_string(k / 300 * 20) + ")",
          std::string("    MOVE(10,0)"), std::string("    MOVECIRC(0,10,0,5,0)"), std::string("    MOVE(-10,0)"),
          std::string("    MOVE(0,-10)"), "'$EndSeq(" + std::to_string(k) + ")"})
      lines.push_back(l);
  }
  lines.resize(nLines - 1);
  lines.push_back("'$EndLayer0:L0");
  for (const auto& l : lines) text += QByteArray::fromStdString(l) + "\r\n";
  return text;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Milliseconds from a key to an idle window.
double Key(TfrmMain& w, int nKey, const QString& strText) {
  const auto t0 = std::chrono::steady_clock::now();
  QKeyEvent press(QEvent::KeyPress, nKey, Qt::NoModifier, strText);
  QApplication::sendEvent(w.memProgram(), &press);
  QKeyEvent release(QEvent::KeyRelease, nKey, Qt::NoModifier, strText);
  QApplication::sendEvent(w.memProgram(), &release);
  QApplication::processEvents();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  qputenv("VELTRANE_SETTINGS", dir.filePath("settings.conf").toLocal8Bit());
  QApplication app(argc, argv);
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stoul(argv[i]));
  if (sizes.empty()) sizes = {10000, 300000, 1000000};
  std::printf("| lines | key in a line ms | Return ms | Backspace joining lines ms |\n|---|---|---|---|\n");
  for (size_t n : sizes) {
    const QString strFile = dir.filePath("p.bas");
    QFile f(strFile);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(MakeProgram(n));
    f.close();
    TfrmMain w;
    w.show();
    QString strError;
    if (!w.OpenProgram(strFile, strError)) return 1;
    QApplication::processEvents();
    // The caret after "MOVE(10" in a sequence near the middle.
    int nLine = static_cast<int>(n / 2);
    while (!w.memProgram()->Line(nLine).startsWith("    MOVE(10")) ++nLine;
    // Clicked there, as the user would: the line's sequence becomes the current one.
    TRichEditPlus& e = *w.memProgram();
    e.SetCaret({nLine, 0});
    e.EnsureCaretVisible();
    QApplication::processEvents();
    const QPoint at = e.cursorRect(TTextPos{nLine, 11}).center() + QPoint(1, 0);
    QMouseEvent press(QEvent::MouseButtonPress, at, e.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, e.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(e.viewport(), &press);
    QApplication::sendEvent(e.viewport(), &release);
    QApplication::processEvents();
    if (w.CurrentSequence() <= 0 || e.Caret().nColumn != 11) return 1;
    std::vector<double> keys, returns, joins;
    for (int r = 0; r < 7; ++r) {
      keys.push_back(Key(w, Qt::Key_5, "5"));
      keys.push_back(Key(w, Qt::Key_Backspace, ""));
      returns.push_back(Key(w, Qt::Key_Return, "\r"));
      joins.push_back(Key(w, Qt::Key_Backspace, ""));
    }
    std::printf("| %zu | %.2f | %.2f | %.2f |\n", n, Median(keys), Median(returns), Median(joins));
  }
  return 0;
}
