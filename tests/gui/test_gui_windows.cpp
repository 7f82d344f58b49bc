// The window on Windows (run under Wine by ctest --preset windows-gui): its settings in
// the registry, a program with CR LF line ends in a folder named with Chinese characters
// and spaces, and the legacy code pages through Windows' own conversions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/TextCodec.h"
#include "gui/GuiFixture.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace veltrane::test {
namespace {

QString RegistryString(const wchar_t* pValue) {
  wchar_t buf[2048];
  DWORD size = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Harmark\\Veltrane", pValue, RRF_RT_REG_SZ, nullptr, buf,
                   &size) != ERROR_SUCCESS)
    return QString();
  return QString::fromWCharArray(buf);
}

// The settings in the registry while a test runs (no VELTRANE_SETTINGS).
class RegistrySettings {
 public:
  RegistrySettings() : m_strSaved(qgetenv("VELTRANE_SETTINGS")) { qunsetenv("VELTRANE_SETTINGS"); }
  ~RegistrySettings() { qputenv("VELTRANE_SETTINGS", m_strSaved); }

 private:
  QByteArray m_strSaved;
};

}  // namespace

TEST(WindowsWindow, OpensAndSavesACrLfProgramInAFolderWithChineseCharactersAndSpaces) {
  RegistrySettings registry;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString folder = dir.filePath(QString::fromUtf8("图纸 和 程序"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString file = folder + QString::fromUtf8("/支架 1.bas");
  const QByteArray text = "'$StartSeq(1)\r\ncadseq1:\r\n    MOVEABS(15,25)\r\n'$EndSeq(1)\r\n";
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  {
    TTestPrompts prompts;
    TfrmMain frm(&prompts);
    frm.show();
    QApplication::processEvents();
    QString strError;
    ASSERT_TRUE(frm.OpenProgram(file, strError)) << strError.toStdString();
    ASSERT_GE(frm.memProgram()->LineCount(), 3);
    EXPECT_EQ(frm.memProgram()->Line(2), "    MOVEABS(15,25)");
    const QString copy = folder + QString::fromUtf8("/支架 2.bas");
    ASSERT_TRUE(frm.SaveFile(copy));
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), text);
    EXPECT_TRUE(prompts.Messages.empty());
  }
  // The window keeps the name of the program it opened in the registry.
  EXPECT_EQ(QDir::fromNativeSeparators(RegistryString(L"LastBasicFile")).toStdString(),
            QFileInfo(file).absoluteFilePath().toStdString());
}

TEST(WindowsWindow, LegacyCodePagesGoThroughWindows) {
  const QString chinese = QString::fromUtf8("切割 孔");
  for (const char* name : {"GB18030", "Big5"}) {
    TTextCodec codec(name);
    EXPECT_EQ(codec.Name(), QByteArray(name));
    std::string bytes;
    ASSERT_TRUE(codec.Encode(chinese, bytes)) << name;
    EXPECT_NE(bytes, chinese.toStdString()) << name;
    EXPECT_EQ(codec.Decode(bytes), chinese) << name;
  }
  // "切割" in GBK.
  EXPECT_EQ(TTextCodec("GB18030").Decode("\xC7\xD0\xB8\xEE"), QString::fromUtf8("切割"));
  // A character a code page does not hold is named.
  TTextCodec western("windows-1252");
  EXPECT_EQ(western.Name(), QByteArray("windows-1252"));
  QString bad;
  std::string bytes;
  EXPECT_FALSE(western.Encode(QString::fromUtf8("ab中c"), bytes, &bad));
  EXPECT_EQ(bad, QString::fromUtf8("中"));
  ASSERT_TRUE(western.Encode(QString::fromUtf8("café"), bytes));
  EXPECT_EQ(bytes, "caf\xE9");
}

}  // namespace veltrane::test

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settings;
  if (settings.isValid()) qputenv("VELTRANE_SETTINGS", settings.filePath("settings.conf").toLocal8Bit());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
